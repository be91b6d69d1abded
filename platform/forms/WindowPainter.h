#pragma once
// Composites a top-level form into one window surface: the non-client frame and caption,
// then the client area and every visible control, parents before their children, each
// control clipped to its own bounds and to every parent's. Graphic controls paint before
// the windowed siblings that lie over them.
#include <filesystem>

#include "platform/forms/Controls.h"
#include "platform/forms/graphics/Gdi.h"

class TForm;

namespace WindowPainter {

// The form's client area on its window surface (after frame and caption).
win::POINT ClientOrigin(const TForm* form);
// Paints the whole window (frame included) into `out`, resized to the form's size.
void PaintWindow(TForm* form, win::Surface& out);
// Only the client area (what an X11 window shows; the window manager draws the frame).
void PaintClient(TForm* form, win::Surface& out);
// The deepest visible control under a point of the form's client area, and the point in
// that control's coordinates. Disabled controls are returned too (they swallow clicks).
TControl* ControlAt(TForm* form, int x, int y, win::POINT* local);
// Installs the canvas of TCustomControl, TGraphicControl and TForm (ControlCanvasFactory):
// during a paint it draws on the window surface, otherwise on a screen DC (measuring).
void InstallControlCanvas();

}  // namespace WindowPainter

// The form as it would show, frame included, written to a PNG file.
void SaveFormToPng(TForm* form, const std::filesystem::path& path);
