#include "controls/VcBHints.h"

#include <algorithm>

#include "controls/VcGrafx.h"
#include "platform/forms/ControlPaint.h"
#include "platform/forms/Screen.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {
constexpr int kMinWidth = 55;  // narrower balloons leave no room for the pointer
constexpr int kBalloonMargin = 15;

bool IsUpper(TVcHintCorner c) { return c == hcUpperLeft || c == hcUpperRight; }
bool IsLeft(TVcHintCorner c) { return c == hcLowerLeft || c == hcUpperLeft; }

// Keeps a setting of the hints and hands it on to their window, when there is one.
template <class T>
void KeepAndPass(T& setting, const T& v, TVcCustomHintWindow* w, T TVcCustomHintWindow::*field) {
  setting = v;
  if (w) w->*field = v;
}
}  // namespace

// --- TVcBalloonBitmaps -------------------------------------------------------------------

void TVcBalloonBitmaps::DefineProps(TPropList& p) {
  using B = TVcBalloonBitmaps;
  p.Object("LowerRight", &B::LowerRight);
  p.Object("LowerLeft", &B::LowerLeft);
  p.Object("UpperLeft", &B::UpperLeft);
  p.Object("UpperRight", &B::UpperRight);
  p.Color("TransparentColor", &B::TransparentColor, &B::SetTransparentColor, clOlive);
  p.Event("OnChange", &B::OnChange);
}

TVcBalloonBitmaps::TVcBalloonBitmaps() {
  for (auto& b : FBitmaps) b.OnChange = [this] { OnChange(this); };
}

void TVcBalloonBitmaps::SetPicture(TVcHintCorner c, TImagePicture* b) {
  if (b != Picture(c)) Picture(c)->Assign(b);
}

bool TVcBalloonBitmaps::AnyBitmap() const {
  return std::any_of(std::begin(FBitmaps), std::end(FBitmaps),
                     [](const TPictureBitmap& b) { return !b.Empty(); });
}

// --- TVcBalloonHints -----------------------------------------------------------------------

void TVcBalloonHints::DefineProps(TPropList& p) {
  AboutProp(p);
  p.Enum<TVcBalloonHints, TAlignment>(
      "Alignment", &TVcBalloonHints::Alignment, &TVcBalloonHints::SetAlignment,
      {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify);
  p.Object("Bitmaps", &TVcBalloonHints::Bitmaps);
  p.Int("CaptionWidth", &TVcBalloonHints::CaptionWidth, &TVcBalloonHints::SetCaptionWidth, 100);
  p.Color("Color", &TVcBalloonHints::Color, &TVcBalloonHints::SetColor, clInfoBk);
  p.Enum<TVcBalloonHints, TVcHintCorner>(
      "Corner", &TVcBalloonHints::Corner, &TVcBalloonHints::SetCorner,
      {"hcLowerRight", "hcLowerLeft", "hcUpperLeft", "hcUpperRight"}, hcUpperRight);
  p.Enum<TVcBalloonHints, TVcBalloonStyle>("BalloonStyle", &TVcBalloonHints::BalloonStyle,
                                           &TVcBalloonHints::SetBalloonStyle,
                                           {"bsStandard", "bsBubble"}, bsStandard);
  p.Object("Font", &TVcBalloonHints::Font);
  p.Int("HintPause", &TVcBalloonHints::HintPause, &TVcBalloonHints::SetHintPause, 500);
  p.Int("HintShortPause", &TVcBalloonHints::HintShortPause, &TVcBalloonHints::SetHintShortPause,
        50);
  p.Bool("Shadow", &TVcBalloonHints::Shadow, &TVcBalloonHints::SetShadow, false);
  p.Bool("ShowBalloon", &TVcBalloonHints::ShowBalloon, &TVcBalloonHints::SetShowBalloon, false);
  p.Event("OnSetHintWinSize", &TVcBalloonHints::OnSetHintWinSize);
  p.Event("OnSetHintRect", &TVcBalloonHints::OnSetHintRect);
  p.Event("OnShowHint", &TVcBalloonHints::OnShowHint);
}

WI_REGISTER_CLASS(TVcBalloonHints);

TVcBalloonHints::TVcBalloonHints(TComponent* owner)
    : TComponent(owner), FBitmaps(new TVcBalloonBitmaps), FFont(new TFont) {
  FFont->SetName("MS Sans Serif");
  FFont->SetSize(8);
  FFont->OnChange = [this](TObject*) { PassFont(); };
  if (!(ComponentState() & csDesigning)) {
    TApplication* app = Application;
    bool show = app->ShowHint();
    app->SetShowHint(false);
    FSavedHintWindowClass = app->HintWindowClass;
    app->HintWindowClass = [](TComponent* o) -> TCustomControl* {
      return new TVcCustomHintWindow(o);
    };
    app->SetShowHint(show);
  }
  SetHintShortPause(50);
}

TVcBalloonHints::~TVcBalloonHints() {
  TApplication* app = Application;
  if (!app->IsDestroying()) {
    bool show = app->ShowHint();
    app->SetShowHint(false);
    app->HintWindowClass = FSavedHintWindowClass;
    app->SetShowHint(show);
  }
  // A window made from a class set by another component may still point here.
  if (FHintWindow) FHintWindow->FHints = nullptr;
  delete FBitmaps;
  delete FFont;
}

void TVcBalloonHints::ApplySettings(TVcBalloonHints* hints, TVcCustomHintWindow* w) {
  if (!hints || !w) return;
  if (w->FHints && w->FHints != hints) w->FHints->FHintWindow = nullptr;
  hints->FHintWindow = w;
  w->FHints = hints;
  w->FCaptionWidth = hints->FCaptionWidth;
  w->SetColor(hints->FColor);
  w->FBalloonStyle = hints->FBalloonStyle;
  w->FCorner = hints->FCorner;
  w->FAlignment = hints->FAlignment;
  w->FBitmaps = hints->FBitmaps;
  w->FOnSetHintWinSize = hints->OnSetHintWinSize;
  w->FOnSetHintRect = hints->OnSetHintRect;
  hints->PassFont();
}

void TVcBalloonHints::PassFont() {
  if (!FHintWindow) return;
  FHintWindow->Font()->Assign(FFont);
  FHintWindow->SyncCanvasFont();
}

void TVcBalloonHints::SetFont(TFont* v) {
  if (v && v != FFont) FFont->Assign(v);  // the change notice passes it on
}

void TVcBalloonHints::SetColor(int v) {
  FColor = v;
  if (FHintWindow) FHintWindow->SetColor(v);
}

void TVcBalloonHints::SetCaptionWidth(int v) {
  KeepAndPass(FCaptionWidth, v, FHintWindow, &TVcCustomHintWindow::FCaptionWidth);
}

void TVcBalloonHints::SetBalloonStyle(TVcBalloonStyle v) {
  KeepAndPass(FBalloonStyle, v, FHintWindow, &TVcCustomHintWindow::FBalloonStyle);
}

void TVcBalloonHints::SetAlignment(TAlignment v) {
  KeepAndPass(FAlignment, v, FHintWindow, &TVcCustomHintWindow::FAlignment);
}

void TVcBalloonHints::SetCorner(TVcHintCorner v) {
  KeepAndPass(FCorner, v, FHintWindow, &TVcCustomHintWindow::FCorner);
}

void TVcBalloonHints::SetOnSetHintWinSize(const TSetHintWinSizeEvent& v) {
  KeepAndPass(OnSetHintWinSize, v, FHintWindow, &TVcCustomHintWindow::FOnSetHintWinSize);
}

void TVcBalloonHints::SetOnSetHintRect(const TSetHintRectEvent& v) {
  KeepAndPass(OnSetHintRect, v, FHintWindow, &TVcCustomHintWindow::FOnSetHintRect);
}

int TVcBalloonHints::HintPause() const { return Application->HintPause(); }
void TVcBalloonHints::SetHintPause(int v) { Application->SetHintPause(v); }
int TVcBalloonHints::HintShortPause() const { return Application->HintShortPause(); }
void TVcBalloonHints::SetHintShortPause(int v) { Application->SetHintShortPause(v); }

// --- TVcCustomHintWindow ---------------------------------------------------------------------

void TVcCustomHintWindow::DefineProps(TPropList& p) { p.Object("Font", &TControl::Font); }

TVcCustomHintWindow::TVcCustomHintWindow(TComponent* owner) : THintWindow(owner) {
  Font()->SetName("MS Sans Serif");
  Font()->SetSize(8);
  TApplication* app = Application;
  if (owner == app) {
    app->OnShowHint = [this](std::string& s, bool& canShow, THintInfo& info) {
      ShowHintHandler(s, canShow, info);
    };
    if (!(ComponentState() & csDesigning))
      for (int i = 0; i < app->ComponentCount(); ++i) {
        auto* form = dynamic_cast<TForm*>(app->Components(i));
        if (!form) continue;
        for (int j = 0; j < form->ComponentCount(); ++j)
          if (auto* h = dynamic_cast<TVcBalloonHints*>(form->Components(j)))
            TVcBalloonHints::ApplySettings(h, this);
      }
  }
}

TVcCustomHintWindow::~TVcCustomHintWindow() {
  if (FHints && FHints->FHintWindow == this) FHints->FHintWindow = nullptr;
  // The application must not call into a window that is gone.
  if (Owner() == static_cast<TApplication*>(Application)) Application->OnShowHint = nullptr;
}

void TVcCustomHintWindow::SyncCanvasFont() {
  TCanvas* c = Canvas();
  if (!c) return;
  ControlPaint::CopyFont(c->Font(), Font());
  c->Brush().SetStyle(bsClear);
}

void TVcCustomHintWindow::ShowHintHandler(std::string& hintStr, bool& canShow, THintInfo& info) {
  if (FHints) info.HintColor = FHints->Color();
  canShow = true;
  info.HintMaxWidth = FCaptionWidth;
  if (FHints && FHints->OnShowHint) FHints->OnShowHint(hintStr, canShow, info);
  FHintInfo = info;
  SetColor(info.HintColor);
}

void TVcCustomHintWindow::CreateParams(TCreateParams& params) {
  THintWindow::CreateParams(params);
  params.Style = WS_POPUP | 0x20;
  params.WindowClassStyle |= CS_SAVEBITS;
}

bool TVcCustomHintWindow::IsHintMsg(const TMessage& m) {
  // Mouse moves are judged by the distance from the anchor instead.
  return (m.Msg >= WM_KEYFIRST && m.Msg <= WM_KEYLAST) || m.Msg == CM_ACTIVATE ||
         m.Msg == CM_DEACTIVATE || m.Msg == CM_APPKEYDOWN || m.Msg == CM_APPSYSCOMMAND ||
         m.Msg == WM_COMMAND || (m.Msg > WM_MOUSEMOVE && m.Msg <= WM_MOUSEWHEEL);
}

void TVcCustomHintWindow::HintTextChanged() {
  SyncCanvasFont();
  TCanvas* c = Canvas();
  TRect r{0, 0, FCaptionWidth, 0};
  if (c) DrawText(c->Handle(), Caption(), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  FOnSetHintRect(this, c, r, Caption(), FCornerInUse);
  int w = std::max<int>(r.right - r.left, kMinWidth);
  InflateRect(&r, kBalloonMargin, kBalloonMargin);
  int h = r.bottom - r.top;
  FOnSetHintWinSize(this, c, w, h, Caption(), FCornerInUse);
  w = std::max(w, kMinWidth);
  SetBounds(Left(), Top(), w, h);
}

TPoint TVcCustomHintWindow::Anchor() const {
  if (FHintInfo.HintControl) return ControlToScreen(FHintInfo.HintControl, FHintInfo.CursorPos);
  return TPoint{Left(), Top()};
}

void TVcCustomHintWindow::ActivateHint(const TRect& rect, const std::string& hint) {
  TRect r = rect;
  SetCaption(hint);
  FOnSetHintRect(this, Canvas(), r, hint, FCornerInUse);
  SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  const bool balloon = FHints && FHints->ShowBalloon();
  const int margin = balloon ? kBalloonMargin : 2;
  InflateRect(&r, margin, margin);
  TPoint anchor = Anchor();
  if (balloon) OffsetRect(&r, anchor.x - r.left, anchor.y - r.top);
  int W = std::max<int>(r.right - r.left, kMinWidth), H = r.bottom - r.top;
  FOnSetHintWinSize(this, Canvas(), W, H, hint, FCornerInUse);
  W = std::max(W, kMinWidth);
  if (FHints && !FHints->ShowBalloon()) FCorner = hcLowerRight;
  FCornerInUse = FCorner;
  const int L = r.left, T = r.top;
  int X = 0, Y = 0;
  switch (FCornerInUse) {
    case hcLowerRight:
      X = L + 1, Y = T;
      break;
    case hcLowerLeft:
      X = L - W - 1, Y = T;
      break;
    case hcUpperLeft:
      X = L - W - 1, Y = T - H;
      break;
    case hcUpperRight:
      X = L + 1, Y = T - H;
      break;
  }
  if (Y < 0) {
    FCornerInUse = FCorner == hcUpperRight ? hcLowerRight : hcLowerLeft;
    Y = T;
  }
  if (Y + H > Screen->Height()) {
    FCornerInUse = FCornerInUse == hcLowerRight ? hcUpperRight : hcUpperLeft;
    Y = T - H;
  }
  if (X + W > Screen->Width()) {
    FCornerInUse = FCornerInUse == hcLowerRight ? hcLowerLeft : hcUpperLeft;
    X = L - W - 1;
  }
  if (X < 0) {
    FCornerInUse = FCornerInUse == hcLowerLeft ? hcLowerRight : hcUpperRight;
    X = L + 1;
  }
  SetBounds(X, Y, W, H);
  Show();
  Invalidate();
  FActive = true;
}

void TVcCustomHintWindow::PassMouse(TMessage& m) {
  TControl* c = FHintInfo.HintControl;
  if (!c) return;
  int x = short(LOWORD(DWORD(m.LParam))), y = short(HIWORD(DWORD(m.LParam)));
  TPoint origin = ControlToScreen(c, TPoint{0, 0});
  x += Left() - origin.x, y += Top() - origin.y;
  c->Perform(m.Msg, m.WParam, MAKELPARAM(WORD(x), WORD(y)));
}

void TVcCustomHintWindow::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFOCUS:
      // A hint never keeps the focus: straight back to the window that lost it.
      if (TWinControl* previous = FindControl(HWND(m.WParam));
          previous && previous != this && previous->CanFocus())
        previous->SetFocus();
      return;
    case WM_ERASEBKGND:
      m.Result = 1;
      return;
    case WM_NCPAINT:
      return;
    case WM_NCHITTEST:
      m.Result = HTTRANSPARENT;
      return;
    case CM_TEXTCHANGED:
      HintTextChanged();
      return;
    case WM_MOUSEMOVE:
      if (FActive) {
        TPoint a = Anchor();
        TRect box{a.x - 2 - Left(), a.y - 2 - Top(), a.x + 2 - Left(), a.y + 2 - Top()};
        TPoint p{short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
        if (!PtInRect(&box, p)) {
          FActive = false;
          Application->CancelHint();
        }
      }
      PassMouse(m);
      return;
    default:
      if (m.Msg >= WM_LBUTTONDOWN && m.Msg <= WM_MBUTTONDBLCLK) {
        PassMouse(m);
        return;
      }
      THintWindow::WndProc(m);
  }
}

void TVcCustomHintWindow::DrawFromBitmaps(TCanvas* c) {
  static const TVcHintCorner order[] = {hcUpperRight, hcUpperLeft, hcLowerRight, hcLowerLeft};
  TBitmap* bmp = FBitmaps->Bitmap(FCornerInUse);
  TVcHintCorner from = FCornerInUse;
  if (bmp->Empty())
    for (TVcHintCorner k : order)
      if (!FBitmaps->Bitmap(k)->Empty()) {
        bmp = FBitmaps->Bitmap(k), from = k;
        break;
      }
  int w = bmp->Width(), h = bmp->Height();
  TRect src{0, 0, w, h};
  // A negative extent mirrors: start at the far edge and go back.
  if (IsUpper(from) != IsUpper(FCornerInUse)) src.top = h - 1, src.bottom = -1;
  if (IsLeft(from) != IsLeft(FCornerInUse)) src.left = w - 1, src.right = -1;
  c->SetCopyMode(cmSrcCopy);
  HDC dc = c->Handle();
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, 0xFFFFFF);
  DrawTransparentBitmap(c, bmp, ClientRect(), src, FBitmaps->TransparentColor());
}

void TVcCustomHintWindow::Paint() {
  TCanvas* c = Canvas();
  if (!c) return;
  SyncCanvasFont();
  const bool balloon = FHints && FHints->ShowBalloon();
  const bool shadow = FHints && FHints->Shadow();
  const TColor hintColor = Color();
  TRect r = ClientRect();
  if (balloon) InflateRect(&r, -kBalloonMargin, -kBalloonMargin);
  c->Brush().SetStyle(bsSolid);
  c->Brush().SetColor(hintColor);
  c->Pen().SetColor(clBlack);
  c->Pen().SetWidth(1);
  TRect B = r;
  if (balloon) InflateRect(&B, 4, 4);
  const TRect C = ClientRect();
  const int bw = B.right - B.left, bh = B.bottom - B.top;
  if (IsUpper(FCornerInUse))
    B.top = C.top + 2, B.bottom = B.top + bh;
  else
    B.bottom = C.bottom - 2, B.top = B.bottom - bh;
  if (IsLeft(FCornerInUse))
    B.left = C.left + 2, B.right = B.left + bw;
  else
    B.right = C.right - 2, B.left = B.right - bw;
  FOnSetHintRect(this, c, B, Caption(), FCornerInUse);

  if (FBitmaps && FBitmaps->AnyBitmap()) {
    DrawFromBitmaps(c);
  } else if (balloon) {
    if (shadow) {
      c->Pen().SetColor(clBtnShadow);
      c->Brush().SetColor(clBtnShadow);
      c->RoundRect(B.left + 2, B.top + 2, B.right + 2, B.bottom + 2, 20, 20);
      c->RoundRect(B.left + 1, B.top + 1, B.right + 1, B.bottom + 1, 20, 20);
    }
    c->Pen().SetColor(clBtnShadow);
    c->Brush().SetColor(hintColor);
    c->RoundRect(B.left, B.top, B.right, B.bottom, 20, 20);
    // The pointer leaves from the client corner nearest the anchor (the balloon's far side).
    const bool up = IsUpper(FCornerInUse), left = IsLeft(FCornerInUse);
    const int sx = left ? -1 : 1, sy = up ? -1 : 1;  // direction from that corner inward
    const int cx = left ? C.right - 1 : C.left, cy = up ? C.bottom - 1 : C.top;
    const int edgeY = up ? B.bottom - 1 : B.top;
    const int bodyX = left ? B.right - 1 : B.left;
    if (FBalloonStyle == bsStandard) {
      TPoint tip{cx + 2 * sx, cy + 2 * sy};
      TPoint a{bodyX + (left ? 4 : 5) * sx, edgeY}, b{bodyX + 28 * sx, edgeY};
      c->Polygon({tip, a, b});
      c->Pen().SetColor(hintColor);
      c->MoveTo(a.x + sx, edgeY);
      c->LineTo(b.x, edgeY);
    } else {
      auto ellipse = [&](int x1, int y1, int x2, int y2) {
        c->Ellipse(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
      };
      ellipse(cx, cy, cx + 8 * sx, cy + 8 * sy);
      ellipse(cx + 6 * sx, cy + 7 * sy, cx + 22 * sx, edgeY + 3 * sy);
    }
  } else {
    c->FillRect(B);
    if (shadow) {
      TRect in = DrawSides(c, B, clBtnHighlight, clBlack, AllSides);
      DrawSides(c, in, hintColor, clBtnShadow, AllSides);
    } else {
      DrawSides(c, B, clBtnShadow, clBtnShadow, AllSides);
    }
  }

  TRect t = B;
  if (balloon)
    InflateRect(&t, -4, -4);
  else
    OffsetRect(&t, FAlignment == taRightJustify ? -2 : FAlignment == taCenter ? 0 : 2, 2);
  HDC dc = c->Handle();
  SelectObject(dc, c->Font().Handle());
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  int oldMode = SetBkMode(dc, TRANSPARENT);
  UINT align = FAlignment == taRightJustify ? DT_RIGHT
               : FAlignment == taCenter     ? DT_CENTER
                                            : DT_LEFT;
  DrawText(dc, Caption(), &t, DT_WORDBREAK | DT_NOPREFIX | align);
  SetBkMode(dc, oldMode);
}
