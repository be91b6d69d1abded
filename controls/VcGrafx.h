#pragma once
// Copying a bitmap with one transparent colour, through a monochrome mask (AND the mask,
// then OR the picture with its transparent pixels blacked out), painting a parent's
// background under a control, and bitmap properties that forms store.
#include <functional>
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/graphics/Graphics.h"

// Stretches source of the bitmap into dest of the canvas; pixels of `transparent` leave the
// canvas as it was. The canvas is left in copy mode SRCPAINT.
void DrawTransparentBitmap(TCanvas* canvas, TBitmap* bitmap, const TRect& dest, const TRect& source,
                           TColor transparent);

// Paints the parent's background (its standard look, then its own Paint) into Canvas, as
// it lies under Control. Nothing when Control has no parent.
void DrawParentImage(TControl* Control, TCanvas* Canvas);

// A bitmap property that forms store: the picture is what is published and stored, the
// bitmap what is drawn, made from the picture when it is asked for after a change.
// OnChange follows every change of the picture.
class TPictureBitmap {
 public:
  TPictureBitmap();
  TPictureBitmap(const TPictureBitmap&) = delete;
  TPictureBitmap& operator=(const TPictureBitmap&) = delete;
  TImagePicture* Picture() const { return FPicture.get(); }
  TBitmap* Bitmap() const;
  bool Empty() const { return FPicture->Empty(); }
  int Width() const { return FPicture->Width(); }
  int Height() const { return FPicture->Height(); }
  std::function<void()> OnChange;

 private:
  std::unique_ptr<TImagePicture> FPicture;
  std::unique_ptr<TBitmap> FBitmap;
  mutable bool FStale = false;
};
