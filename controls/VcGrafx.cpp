#include "controls/VcGrafx.h"

#include <memory>

#include "controls/VcCommon.h"
#include "platform/forms/ControlPaint.h"

void DrawTransparentBitmap(TCanvas* canvas, TBitmap* bitmap, const TRect& dest, const TRect& source,
                           TColor transparent) {
  int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (!canvas || !bitmap || dw <= 0 || dh <= 0) return;
  // Both work bitmaps go with the scope, also when a step throws.
  auto work = std::make_unique<TBitmap>(dw, dh);
  auto mask = std::make_unique<TBitmap>(dw, dh);
  mask->SetMonochrome(true);
  win::HDC workDC = work->Canvas().Handle();
  win::HDC maskDC = mask->Canvas().Handle();

  win::StretchBlt(workDC, 0, 0, dw, dh, bitmap->Canvas().Handle(), source.left, source.top,
                  source.right - source.left, source.bottom - source.top, win::SRCCOPY);

  // Colour to monochrome: pixels of the background colour become 1.
  win::COLORREF t = ColorToRGB(transparent);
  win::SetBkColor(workDC, t);
  win::BitBlt(maskDC, 0, 0, dw, dh, workDC, 0, 0, win::SRCCOPY);

  if (t != 0) {
    // Monochrome to colour: 1 takes the background (black), 0 the text colour (white).
    win::SetBkColor(workDC, 0x000000);
    win::SetTextColor(workDC, 0xFFFFFF);
    win::BitBlt(workDC, 0, 0, dw, dh, maskDC, 0, 0, win::SRCAND);
  }

  // The mask lands on the target through its text and background colours: make them black
  // and white for the blit whatever the canvas font and brush say, then put them back.
  win::HDC dc = canvas->Handle();
  win::COLORREF oldText = win::SetTextColor(dc, 0x000000);
  win::COLORREF oldBk = win::SetBkColor(dc, 0xFFFFFF);
  canvas->SetCopyMode(cmSrcAnd);
  win::BitBlt(dc, dest.left, dest.top, dw, dh, maskDC, 0, 0, win::SRCAND);
  win::SetTextColor(dc, oldText);
  win::SetBkColor(dc, oldBk);
  canvas->SetCopyMode(cmSrcPaint);
  win::BitBlt(dc, dest.left, dest.top, dw, dh, workDC, 0, 0, win::SRCPAINT);
}

void DrawParentImage(TControl* Control, TCanvas* Canvas) {
  TWinControl* parent = Control->Parent();
  if (!parent) return;
  win::HDC dc = Canvas->Handle();
  int saved = win::SaveDC(dc);
  win::OffsetViewportOrgEx(dc, -Control->Left(), -Control->Top(), nullptr);
  win::IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
  // The parent's background (what erasing paints), then its own painting, both into dc.
  ControlPaint::PaintStandardControl(dc, parent);
  if (auto* cc = dynamic_cast<TCustomControl*>(parent); cc && cc->Canvas()) {
    TCanvas* pc = cc->Canvas();
    win::HDC previous = pc->HandleAllocated() ? pc->Handle() : nullptr;
    ControlPaint::CopyFont(pc->Font(), parent->Font());
    pc->Brush().SetColor(parent->Color());
    pc->SetHandle(dc);
    try {
      parent->Perform(win::WM_PAINT);
    } catch (...) {
      pc->SetHandle(previous);
      win::RestoreDC(dc, saved);
      throw;
    }
    pc->SetHandle(previous);
  }
  win::RestoreDC(dc, saved);
}

TPictureBitmap::TPictureBitmap()
    : FPicture(std::make_unique<TImagePicture>()), FBitmap(std::make_unique<TBitmap>()) {
  FPicture->OnChange = [this](TObject*) {
    FStale = true;
    if (OnChange) OnChange();
  };
}

TBitmap* TPictureBitmap::Bitmap() const {
  if (FStale) {
    FStale = false;
    const int w = FPicture->Width(), h = FPicture->Height();
    FBitmap->SetSize(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) FBitmap->Canvas().SetPixels(x, y, FPicture->Pixels(x, y));
  }
  return FBitmap.get();
}
