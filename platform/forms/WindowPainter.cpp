#include "platform/forms/WindowPainter.h"

#include <algorithm>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/Graphics.h"
#include "platform/forms/graphics/ImageFiles.h"

namespace {

using namespace win;

// A control's canvas: the paint's DC while one runs, a screen DC otherwise.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TControl* c) : FControl(c) {}
  ~TControlCanvas() override { ReleaseScreenDC(); }
  void BeginPaint(HDC dc) {
    ReleaseScreenDC();
    SyncFont();
    Brush().SetColor(FControl->Color());
    SetHandle(dc);
  }
  void EndPaint() { SetHandle(nullptr); }
  void SyncFont() { ControlPaint::CopyFont(Font(), FControl->Font()); }

 protected:
  void CreateHandle() override {
    SyncFont();
    FScreen = CreateScreenDC();
    SetHandle(FScreen);
  }

 private:
  void ReleaseScreenDC() {
    if (!FScreen) return;
    SetHandle(nullptr);
    DeleteDC(FScreen);
    FScreen = nullptr;
  }
  TControl* FControl;
  HDC FScreen = nullptr;
};

TCanvas* CanvasOf(TControl* c) {
  if (auto* cc = dynamic_cast<TCustomControl*>(c)) return cc->Canvas();
  if (auto* gc = dynamic_cast<TGraphicControl*>(c)) return gc->Canvas();
  return nullptr;
}

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}
bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }
RECT Offset(RECT r, POINT by) {
  return RECT{r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y};
}

// c's top-left lies at `origin` on the surface; `clip` is what its parents leave visible.
void PaintTree(TControl* c, Surface& s, POINT origin, const RECT& clip) {
  if (!c->Visible()) return;
  RECT vis =
      Intersect(clip, RECT{origin.x, origin.y, origin.x + c->Width(), origin.y + c->Height()});
  if (IsEmpty(vis)) return;
  HDC dc = CreateSurfaceDC(&s, origin, vis);
  ControlPaint::PaintStandardControl(dc, c);
  DeleteDC(dc);
  if (dynamic_cast<TWinControl*>(c)) {
    // Then the control's own non-client frame, over the whole window (wParam: a fresh DC,
    // since the standard look may leave its DC clipped to the client area).
    HDC ncdc = CreateSurfaceDC(&s, origin, vis);
    try {
      c->Perform(WM_NCPAINT, WPARAM(ncdc));
    } catch (...) {
      DeleteDC(ncdc);
      throw;
    }
    DeleteDC(ncdc);
  }
  if (auto* canvas = dynamic_cast<TControlCanvas*>(CanvasOf(c))) {
    // The control's own Paint, over its client area.
    POINT off = ControlPaint::ClientOffset(c);
    POINT co{origin.x + off.x, origin.y + off.y};
    RECT inner = Intersect(vis, Offset(ControlPaint::ClientBox(c), origin));
    HDC pdc = CreateSurfaceDC(&s, co, inner);
    canvas->BeginPaint(pdc);
    try {
      c->Perform(WM_PAINT);
    } catch (...) {
      canvas->EndPaint();
      DeleteDC(pdc);
      throw;
    }
    canvas->EndPaint();
    DeleteDC(pdc);
  }
  auto* w = dynamic_cast<TWinControl*>(c);
  if (!w) return;
  POINT off = ControlPaint::ClientOffset(c);
  RECT inner = Intersect(vis, Offset(ControlPaint::ClientBox(c), origin));
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < w->ControlCount(); ++i) {
      TControl* child = w->Controls(i);
      if ((dynamic_cast<TWinControl*>(child) != nullptr) != (pass == 1)) continue;
      PaintTree(child, s, POINT{origin.x + off.x + child->Left(), origin.y + off.y + child->Top()},
                inner);
    }
}

void PaintFrame(TForm* f, Surface& s) {
  int W = f->Width(), H = f->Height();
  int b = (W - f->ClientWidth()) / 2;
  int cap = H - f->ClientHeight() - 2 * b;
  if (b <= 0 && cap <= 0) return;
  HDC dc = CreateSurfaceDC(&s, POINT{0, 0}, RECT{0, 0, W, H});
  RECT r{0, 0, W, H};
  FillRect(dc, &r, HBRUSH(std::uintptr_t(COLOR_BTNFACE + 1)));
  DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
  if (cap > 0) {
    // Caption bar: a gradient from the active caption colour, bold caption text, close box.
    RECT bar{b, b, W - b, b + cap - 1};
    COLORREF c1 = GetSysColor(COLOR_ACTIVECAPTION), c2 = GetSysColor(COLOR_GRADIENTACTIVECAPTION);
    int span = std::max(1, int(bar.right - bar.left) - 1);
    for (int x = bar.left; x < bar.right; ++x) {
      int t = x - bar.left;
      auto mix = [&](int sh) {
        return ((int(c1 >> sh) & 0xFF) * (span - t) + (int(c2 >> sh) & 0xFF) * t) / span;
      };
      HBRUSH br = CreateSolidBrush(RGB(BYTE(mix(0)), BYTE(mix(8)), BYTE(mix(16))));
      RECT col{x, bar.top, x + 1, bar.bottom};
      FillRect(dc, &col, br);
      DeleteObject(br);
    }
    RECT close{bar.right - 18, bar.top + 2, bar.right - 2, bar.bottom - 2};
    DrawFrameControl(dc, &close, DFC_CAPTION, DFCS_CAPTIONCLOSE);
    LOGFONT lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_BOLD;
    std::string face = "MS Sans Serif";
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    HFONT font = CreateFontIndirect(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    RECT text{bar.left + 4, bar.top, close.left - 4, bar.bottom};
    DrawText(dc, f->Caption(), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  DeleteDC(dc);
}

}  // namespace

namespace WindowPainter {

POINT ClientOrigin(const TForm* f) {
  int b = (f->Width() - f->ClientWidth()) / 2;
  return POINT{b, f->Height() - f->ClientHeight() - b};
}

void PaintWindow(TForm* form, Surface& out) {
  InstallControlCanvas();
  if (out.width != form->Width() || out.height != form->Height())
    out.Resize(std::max(1, form->Width()), std::max(1, form->Height()));
  PaintFrame(form, out);
  POINT o = ClientOrigin(form);
  // The form's own position is its place on the screen, not on its surface.
  RECT client{o.x, o.y, o.x + form->ClientWidth(), o.y + form->ClientHeight()};
  bool visible = form->Visible();
  if (!visible) return;
  PaintTree(form, out, o, client);
}

void PaintClient(TForm* form, Surface& out) {
  InstallControlCanvas();
  if (out.width != form->ClientWidth() || out.height != form->ClientHeight())
    out.Resize(std::max(1, form->ClientWidth()), std::max(1, form->ClientHeight()));
  if (form->Visible())
    PaintTree(form, out, POINT{0, 0}, RECT{0, 0, form->ClientWidth(), form->ClientHeight()});
}

TControl* ControlAt(TForm* form, int x, int y, POINT* local) {
  TControl* hit = form;
  POINT p{x, y};
  for (;;) {
    auto* w = dynamic_cast<TWinControl*>(hit);
    if (!w) break;
    POINT off = hit == form ? POINT{0, 0} : ControlPaint::ClientOffset(hit);
    TControl* next = nullptr;
    // The last windowed child lies on top; graphic controls lie under windowed ones.
    for (int pass = 0; pass < 2 && !next; ++pass)
      for (int i = w->ControlCount() - 1; i >= 0; --i) {
        TControl* c = w->Controls(i);
        if ((dynamic_cast<TWinControl*>(c) != nullptr) != (pass == 0) || !c->Visible()) continue;
        int cx = p.x - off.x - c->Left(), cy = p.y - off.y - c->Top();
        if (cx >= 0 && cy >= 0 && cx < c->Width() && cy < c->Height()) {
          next = c;
          p = POINT{cx, cy};
          break;
        }
      }
    if (!next) break;
    hit = next;
  }
  if (local) *local = p;
  return hit;
}

void InstallControlCanvas() {
  if (ControlCanvasFactory) return;
  ControlCanvasFactory = [](TControl* c) -> TCanvas* { return new TControlCanvas(c); };
  ControlCanvasDeleter = [](TCanvas* c) { delete c; };
}

}  // namespace WindowPainter

void SaveFormToPng(TForm* form, const std::filesystem::path& path) {
  Surface s;
  bool wasVisible = form->Visible();
  // A form that is not shown is painted as if it were, without showing it.
  if (!wasVisible) form->SetVisible(true);
  try {
    WindowPainter::PaintWindow(form, s);
  } catch (...) {
    if (!wasVisible) form->SetVisible(false);
    throw;
  }
  if (!wasVisible) form->SetVisible(false);
  SavePng(s, path);
}
