#pragma once
// Copying a bitmap with one transparent colour, through a monochrome mask (AND the mask,
// then OR the picture with its transparent pixels blacked out), and painting a parent's
// background under a control.
#include "platform/forms/Controls.h"
#include "platform/forms/graphics/Graphics.h"

// Stretches source of the bitmap into dest of the canvas; pixels of `transparent` leave the
// canvas as it was. The canvas is left in copy mode SRCPAINT.
void DrawTransparentBitmap(TCanvas* canvas, TBitmap* bitmap, const TRect& dest, const TRect& source,
                           TColor transparent);

// Paints the parent's background (its standard look, then its own Paint) into Canvas, as
// it lies under Control. Nothing when Control has no parent.
void DrawParentImage(TControl* Control, TCanvas* Canvas);
