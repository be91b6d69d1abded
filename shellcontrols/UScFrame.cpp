#include "shellcontrols/UScFrame.h"

#include "platform/forms/ControlPaint.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {

void Line(TCanvas& c, TColor color, const std::vector<TPoint>& pts) {
  c.Pen().SetColor(color);
  c.Polyline(pts);
}

// Text height of "0" in a control font, measured on a screen DC.
int CaptionHeight(const TFont* f) {
  HDC dc = CreateScreenDC();
  HGDIOBJ old = SelectObject(dc, ControlPaint::FontHandle(f));
  SIZE s{};
  GetTextExtentPoint32(dc, "0", 1, &s);
  SelectObject(dc, old);
  DeleteDC(dc);
  return s.cy;
}

bool Designing(const TComponent* c) { return c->ComponentState() & csDesigning; }

}  // namespace

void AdjustFrameRect(TScFrameStyle style, TRect& r) {
  switch (style) {
    case scfsLowered:
    case scfsRaised:
      r.left += 2, r.top += 2, r.right -= 2, r.bottom -= 2;
      break;
    case scfsDint:
    case scfsBump:
    case scfsSingle:
      r.left += 1, r.top += 1, r.right -= 1, r.bottom -= 1;
      break;
    case scfsHorzLine:
      r.top += 2;
      break;
    case scfsHorzEdge:
      r.top += 2, r.bottom -= 2;
      break;
    case scfsVertLine:
      r.left += 2;
      break;
    case scfsVertEdge:
      r.left += 2, r.right -= 2;
      break;
    default:
      break;
  }
}

void DrawLoweredFrame(TCanvas& c, const TRect& r) {
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  Line(c, clBtnShadow, {{L, B - 1}, {L, T}, {R, T}});
  Line(c, cl3DDkShadow, {{L + 1, B - 2}, {L + 1, T + 1}, {R - 1, T + 1}});
  Line(c, clBtnFace, {{L + 1, B - 1}, {R - 1, B - 1}, {R - 1, T}});
  Line(c, clBtnHighlight, {{L, B}, {R, B}, {R, T - 1}});
}

void DrawRaisedFrame(TCanvas& c, const TRect& r) {
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  Line(c, clBtnHighlight, {{L, B - 1}, {L, T}, {R, T}});
  Line(c, clBtnFace, {{L + 1, B - 2}, {L + 1, T + 1}, {R - 1, T + 1}});
  Line(c, clBtnShadow, {{L + 1, B - 1}, {R - 1, B - 1}, {R - 1, T}});
  Line(c, cl3DDkShadow, {{L, B}, {R, B}, {R, T - 1}});
}

void DrawDintFrame(TCanvas& c, const TRect& r) {
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  Line(c, clBtnShadow, {{L, B - 1}, {L, T}, {R, T}});
  Line(c, clBtnHighlight, {{L, B}, {R, B}, {R, T - 1}});
}

void DrawBumpFrame(TCanvas& c, const TRect& r) {
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  Line(c, clBtnHighlight, {{L, B - 1}, {L, T}, {R, T}});
  Line(c, clBtnShadow, {{L, B}, {R, B}, {R, T - 1}});
}

void DrawSingleFrame(TCanvas& c, const TRect& r) {
  c.Pen().SetColor(clWindowFrame);
  c.Rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
}

void DrawHorzLine(TCanvas& c, const TRect& r) {
  Line(c, clBtnShadow, {{r.left, r.top}, {r.right + 1, r.top}});
  Line(c, clBtnHighlight, {{r.left, r.top + 1}, {r.right + 1, r.top + 1}});
}

void DrawHorzEdge(TCanvas& c, const TRect& r) {
  Line(c, clBtnShadow, {{r.left, r.top}, {r.right + 1, r.top}});
  Line(c, clBtnShadow, {{r.left, r.bottom - 1}, {r.right + 1, r.bottom - 1}});
  Line(c, clBtnHighlight, {{r.left, r.top + 1}, {r.right + 1, r.top + 1}});
  Line(c, clBtnHighlight, {{r.left, r.bottom}, {r.right + 1, r.bottom}});
}

void DrawVertLine(TCanvas& c, const TRect& r) {
  Line(c, clBtnShadow, {{r.left, r.top}, {r.left, r.bottom + 1}});
  Line(c, clBtnHighlight, {{r.left + 1, r.top}, {r.left + 1, r.bottom + 1}});
}

void DrawVertEdge(TCanvas& c, const TRect& r) {
  Line(c, clBtnShadow, {{r.left, r.top}, {r.left, r.bottom + 1}});
  Line(c, clBtnShadow, {{r.right - 1, r.top}, {r.right - 1, r.bottom + 1}});
  Line(c, clBtnHighlight, {{r.left + 1, r.top}, {r.left + 1, r.bottom + 1}});
  Line(c, clBtnHighlight, {{r.right, r.top}, {r.right, r.bottom + 1}});
}

void DrawFrameCaption(TCanvas& c, TRect r, UINT format, const std::string& text) {
  HDC dc = c.Handle();
  HGDIOBJ oldFont = SelectObject(dc, c.Font().Handle());
  COLORREF oldText = SetTextColor(dc, ColorToRGB(c.Font().Color()));
  int oldMode;
  if (c.Brush().Style() == bsClear) {
    oldMode = SetBkMode(dc, TRANSPARENT);
  } else {
    oldMode = SetBkMode(dc, OPAQUE);
    SetBkColor(dc, ColorToRGB(c.Brush().Color()));
  }
  DrawTextEx(dc, text.c_str(), int(text.size()), &r, format, nullptr);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldText);
  SelectObject(dc, oldFont);
}

UINT FrameCaptionFormat(TAlignment a) {
  UINT align = a == taLeftJustify ? DT_LEFT : a == taRightJustify ? DT_RIGHT : DT_CENTER;
  return align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS;
}

void DrawGroupFrame(TCanvas& c, const TRect& r, const std::string& caption, bool enabled,
                    TColor color) {
  const int L = r.left, T = r.top, R = r.right, B = r.bottom;
  c.Brush().SetColor(color);
  c.Brush().SetStyle(bsSolid);
  if (color != clNone) c.FillRect(Rect(L, T, R + 1, B + 1));
  int h = caption.empty() ? 2 : c.TextHeight("0");
  int boxTop = T + h / 2 - 1;
  c.Brush().SetStyle(bsClear);
  c.Pen().SetColor(clBtnHighlight);
  c.Rectangle(L + 1, boxTop + 1, R + 1, B + 1);
  c.Pen().SetColor(clBtnShadow);
  c.Rectangle(L, boxTop, R, B);
  if (caption.empty()) return;
  TRect tr = Rect(L + 8, T, R - 9, T + h);
  const UINT format = DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS;
  c.Brush().SetColor(color);
  c.Brush().SetStyle(bsSolid);
  if (enabled) {
    DrawFrameCaption(c, tr, format, caption);
    return;
  }
  TColor fontColor = c.Font().Color();
  c.Font().SetColor(clBtnHighlight);
  DrawFrameCaption(c, Rect(tr.left + 1, tr.top + 1, tr.right + 1, tr.bottom + 1), format, caption);
  c.Brush().SetStyle(bsClear);
  c.Font().SetColor(clBtnShadow);
  DrawFrameCaption(c, tr, format, caption);
  c.Font().SetColor(fontColor);
}

void DrawFrameStyle(TCanvas& c, TScFrameStyle style, const TRect& r, const std::string& caption,
                    bool enabled, TColor color) {
  switch (style) {
    case scfsGroup:
      DrawGroupFrame(c, r, caption, enabled, color);
      break;
    case scfsLowered:
      DrawLoweredFrame(c, r);
      break;
    case scfsRaised:
      DrawRaisedFrame(c, r);
      break;
    case scfsDint:
      DrawDintFrame(c, r);
      break;
    case scfsBump:
      DrawBumpFrame(c, r);
      break;
    case scfsSingle:
      DrawSingleFrame(c, r);
      break;
    case scfsHorzLine:
      DrawHorzLine(c, r);
      break;
    case scfsHorzEdge:
      DrawHorzEdge(c, r);
      break;
    case scfsVertLine:
      DrawVertLine(c, r);
      break;
    case scfsVertEdge:
      DrawVertEdge(c, r);
      break;
    default:
      break;
  }
}

namespace {
const std::vector<std::string> kStyleNames = {
    "scfsNone",   "scfsGroup",    "scfsLowered",  "scfsRaised",   "scfsDint",    "scfsBump",
    "scfsSingle", "scfsHorzLine", "scfsHorzEdge", "scfsVertLine", "scfsVertEdge"};
const std::vector<std::string> kAlignNames = {"taLeftJustify", "taRightJustify", "taCenter"};
}  // namespace

void PublishFrameStyle(TPropList& p, const char* name, TScFrameStyle (TScCustomGroup::*get)() const,
                       void (TScCustomGroup::*set)(TScFrameStyle), TScFrameStyle def) {
  p.Enum<TScCustomGroup, TScFrameStyle>(name, get, set, kStyleNames, def);
}

// --- TScCustomGroup --------------------------------------------------------------------------

void TScCustomGroup::DefineProps(TPropList&) {}

void TScGroup::DefineProps(TPropList& p) {
  p.Enum<TScCustomGroup, TAlignment>("Alignment", &TScCustomGroup::Alignment,
                                     &TScCustomGroup::SetAlignment, kAlignNames, taCenter);
  p.Bool("DefaultDrawing", &TScCustomGroup::DefaultDrawing, &TScCustomGroup::SetDefaultDrawing,
         true);
  p.Int("FrameSpace", &TScCustomGroup::FrameSpace, &TScCustomGroup::SetFrameSpace, 2);
  PublishFrameStyle(p, "FrameStyle", &TScCustomGroup::FrameStyle, &TScCustomGroup::SetFrameStyle,
                    scfsGroup);
  p.Event("OnPaint", &TScCustomGroup::OnPaint);
}

WI_REGISTER_CLASS(TScGroup);

TScCustomGroup::TScCustomGroup(TComponent* owner) : TCustomControl(owner) {
  SetBounds(Left(), Top(), 64, 48);
}

void TScCustomGroup::SetAlignment(TAlignment v) {
  FAlignment = v;
  Invalidate();
}

void TScCustomGroup::SetDefaultDrawing(bool v) {
  if (v == FDefaultDrawing) return;
  FDefaultDrawing = v;
  Invalidate();
}

void TScCustomGroup::SetFrameSpace(int v) {
  FFrameSpace = v;
  Invalidate();
}

void TScCustomGroup::SetFrameStyle(TScFrameStyle v) {
  if (v == FFrameStyle) return;
  FFrameStyle = v;
  FFrameStyleChanged = true;
  if (HandleAllocated()) {
    RecreateWnd();
    // The new window recalculates its client area.
    FrameClientRect();
    AlignControls();
    Invalidate();
  }
}

LRESULT TScCustomGroup::NcCalcSize(NCCALCSIZE_PARAMS& p, bool validRects) {
  LRESULT result = 0;
  RECT r = p.rgrc[0];
  if (FFrameStyle == scfsGroup) {
    r.top += Caption().empty() ? 2 : CaptionHeight(Font());
    r.left += 2, r.right -= 2, r.bottom -= 2;
  } else {
    AdjustFrameRect(FFrameStyle, r);
  }
  if (!Caption().empty() || Designing(this) || FFrameStyleChanged) {
    result = WVR_HREDRAW | WVR_VREDRAW;
    FFrameStyleChanged = false;
  }
  p.rgrc[0] = r;
  if (validRects) p.rgrc[1] = r;
  return result;
}

TRect TScCustomGroup::FrameClientRect() {
  NCCALCSIZE_PARAMS p;
  p.rgrc[0] = Rect(0, 0, Width(), Height());
  Perform(WM_NCCALCSIZE, 0, LPARAM(&p));
  return p.rgrc[0];
}

int TScCustomGroup::ClientWidth() const {
  TRect r = const_cast<TScCustomGroup*>(this)->FrameClientRect();
  return std::max(0, int(r.right - r.left));
}

int TScCustomGroup::ClientHeight() const {
  TRect r = const_cast<TScCustomGroup*>(this)->FrameClientRect();
  return std::max(0, int(r.bottom - r.top));
}

RECT TScCustomGroup::AdjustClientRect() const {
  return const_cast<TScCustomGroup*>(this)->FrameClientRect();
}

void TScCustomGroup::DrawFrame(TCanvas& canvas, TRect r) {
  canvas.Brush().SetColor(Color());
  canvas.Brush().SetStyle(bsClear);
  r.right -= 1;
  r.bottom -= 1;
  ControlPaint::CopyFont(canvas.Font(), Font());
  DrawFrameStyle(canvas, FFrameStyle, r, Caption(), Enabled(), Color());
}

void TScCustomGroup::NcPaint(HDC dc) {
  TCanvas* canvas = Canvas();
  if (!canvas || !dc) return;
  HDC old = canvas->HandleAllocated() ? canvas->Handle() : nullptr;
  int saved = SaveDC(dc);
  try {
    canvas->SetHandle(dc);
    ControlPaint::CopyFont(canvas->Font(), Font());
    canvas->Brush().SetColor(Color());
    TRect whole = Rect(0, 0, Width(), Height());
    TRect client = FrameClientRect();
    ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    DrawFrame(*canvas, whole);
  } catch (...) {
    canvas->SetHandle(old);
    RestoreDC(dc, saved);
    throw;
  }
  canvas->SetHandle(old);
  RestoreDC(dc, saved);
}

void TScCustomGroup::Paint() {
  TCanvas* canvas = Canvas();
  if (!canvas) return;
  ControlPaint::CopyFont(canvas->Font(), Font());
  if (Color() != clNone) {
    canvas->Brush().SetColor(Color());
    canvas->Brush().SetStyle(bsSolid);
  }
  if (FDefaultDrawing && FFrameStyle != scfsGroup) {
    TRect r = FrameClientRect();
    r.left += FFrameSpace;
    r.right -= FFrameSpace;
    DrawFrameCaption(*canvas, r, FrameCaptionFormat(FAlignment), Caption());
  }
  OnPaint(this, canvas);
}

void TScCustomGroup::FrameChanged() {
  if (!HandleAllocated()) return;
  // What SetWindowPos with SWP_FRAMECHANGED does: the client area is asked for again,
  // children follow it and everything is repainted.
  FrameClientRect();
  AlignControls();
  Invalidate();
}

void TScCustomGroup::EnableChildren(bool v) {
  for (int i = 0; i < ControlCount(); ++i) Controls(i)->SetEnabled(v);
}

void TScCustomGroup::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      if (m.LParam)
        m.Result = NcCalcSize(*reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam), m.WParam != 0);
      return;
    case WM_NCPAINT:
      NcPaint(HDC(m.WParam));
      return;
    case WM_ERASEBKGND:
      if ((FDefaultDrawing || Designing(this)) && m.WParam && Color() != clNone) {
        TRect r = FrameClientRect();
        ControlPaint::FillSolid(HDC(m.WParam), r, Color());
      }
      m.Result = 1;
      return;
    case WM_PAINT:
      // The toolkit's painter sends no erase message: erase as BeginPaint would.
      if (TCanvas* c = Canvas()) Perform(WM_ERASEBKGND, WPARAM(c->Handle()));
      break;
    case CM_ENABLEDCHANGED:
      TCustomControl::WndProc(m);
      Invalidate();
      EnableChildren(Enabled());
      if (FFrameStyle == scfsGroup) FrameChanged();
      return;
    case CM_TEXTCHANGED:
    case CM_COLORCHANGED:
      TCustomControl::WndProc(m);
      Invalidate();
      if (FFrameStyle == scfsGroup) FrameChanged();
      return;
    case CM_FONTCHANGED:
      TCustomControl::WndProc(m);
      if (FFrameStyle == scfsGroup)
        FrameChanged();
      else
        Invalidate();
      return;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

// --- TScCustomFrame --------------------------------------------------------------------------

void TScCustomFrame::DefineProps(TPropList&) {}

void TScFrame::DefineProps(TPropList& p) {
  p.Enum<TScCustomFrame, TAlignment>("Alignment", &TScCustomFrame::Alignment,
                                     &TScCustomFrame::SetAlignment, kAlignNames, taCenter);
  p.Bool("DefaultDrawing", &TScCustomFrame::DefaultDrawing, &TScCustomFrame::SetDefaultDrawing,
         true);
  p.Int("FrameSpace", &TScCustomFrame::FrameSpace, &TScCustomFrame::SetFrameSpace, 2);
  p.Enum<TScCustomFrame, TScFrameStyle>("FrameStyle", &TScCustomFrame::FrameStyle,
                                        &TScCustomFrame::SetFrameStyle, kStyleNames, scfsLowered);
  p.Event("OnPaint", &TScCustomFrame::OnPaint);
}

WI_REGISTER_CLASS(TScFrame);

TScCustomFrame::TScCustomFrame(TComponent* owner) : TGraphicControl(owner) {
  SetBounds(Left(), Top(), 64, 48);
}

void TScCustomFrame::SetAlignment(TAlignment v) {
  FAlignment = v;
  Invalidate();
}

void TScCustomFrame::SetDefaultDrawing(bool v) {
  if (v == FDefaultDrawing) return;
  FDefaultDrawing = v;
  Invalidate();
}

void TScCustomFrame::SetFrameSpace(int v) {
  FFrameSpace = v;
  Invalidate();
}

void TScCustomFrame::SetFrameStyle(TScFrameStyle v) {
  FFrameStyle = v;
  Invalidate();
}

void TScCustomFrame::InvalidateFrame() {
  if (!Parent() || !Parent()->HandleAllocated()) return;
  TRect r = BoundsRect();
  AdjustFrameRect(FFrameStyle, r);
  // The toolkit repaints whole controls: the parent's area under the frame is asked for.
  Invalidate();
}

void TScCustomFrame::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
      TGraphicControl::WndProc(m);
      InvalidateFrame();
      return;
    default:
      break;
  }
  TGraphicControl::WndProc(m);
}

void TScCustomFrame::Paint() {
  TCanvas* canvas = Canvas();
  if (!canvas) return;
  TRect client = ClientRect();
  if (Color() != clNone) {
    canvas->Brush().SetColor(Color());
    canvas->Brush().SetStyle(bsSolid);
    if (FDefaultDrawing || Designing(this)) canvas->FillRect(client);
  }
  canvas->Brush().SetStyle(bsClear);
  TRect r = client;
  r.right -= 1;
  r.bottom -= 1;
  ControlPaint::CopyFont(canvas->Font(), Font());
  if (FFrameStyle == scfsGroup) {
    DrawGroupFrame(*canvas, r, Caption(), Enabled(), Color());
    return;
  }
  DrawFrameStyle(*canvas, FFrameStyle, r, Caption(), Enabled(), Color());
  if (FDefaultDrawing) {
    r.left += FFrameSpace;
    r.right -= FFrameSpace;
    DrawFrameCaption(*canvas, r, FrameCaptionFormat(FAlignment), Caption());
  }
  OnPaint(this, canvas);
}
