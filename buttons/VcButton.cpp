#include "buttons/VcButton.h"

#include "platform/forms/Forms.h"
#include "platform/forms/graphics/GdiText.h"

void TVcCustomButton::DefineProps(TPropList&) {}

TVcCustomButton::TVcCustomButton(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBounds(0, 0, 115, 17);
  SetTabStop(true);
}

void TVcCustomButton::SetAlignmentVertical(TAlignmentVertical Value) {
  Restyle(FAlignmentVertical, Value);
}

void TVcCustomButton::SetLightTextStyle(bool Value) { Restyle(FLightTextStyle, Value); }

void TVcCustomButton::SetTextStyle(TTextStyle Value) { Restyle(FTextStyle, Value); }

void TVcCustomButton::SetHighlightColor(int Value) { Restyle(FHighlightColor, Value); }

void TVcCustomButton::SetShadowColor(int Value) { Restyle(FShadowColor, Value); }

void TVcCustomButton::SetShadowDepth(int Value) { Restyle(FShadowDepth, Value); }

void TVcCustomButton::MouseEnter() {
  FMouseInControl = true;
  OnMouseEnter(this);
}

void TVcCustomButton::MouseLeave() {
  FMouseInControl = false;
  OnMouseLeave(this);
}

void TVcCustomButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (CanFocus() && !Focused()) SetFocus();
  FPressed = true;
  PressedChanged();
  FTracking = true;
}

void TVcCustomButton::MouseMove(TShiftState Shift, int X, int Y) {
  OnMouseMove(this, Shift, X, Y);
  if (!FTracking) return;
  bool inside = InClient(X, Y);
  if (inside != FPressed) {
    FPressed = inside;
    PressedChanged();
  }
}

void TVcCustomButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (!FTracking) return;
  FTracking = false;
  FPressed = false;
  if (InClient(X, Y)) ClickAction();
  PressedChanged();
}

void TVcCustomButton::WndProc(TMessage& Message) {
  using namespace win;
  auto x = [&] { return int(short(LOWORD(DWORD(Message.LParam)))); };
  auto y = [&] { return int(short(HIWORD(DWORD(Message.LParam)))); };
  switch (Message.Msg) {
    // The mouse is handled here rather than by the toolkit's click logic: the press is
    // tracked, and only a release inside makes a click (ClickAction).
    case WM_LBUTTONDOWN:
      if (Enabled()) MouseDown(mbLeft, TShiftState(Message.WParam), x(), y());
      return;
    case WM_LBUTTONUP:
      if (Enabled() || FTracking) MouseUp(mbLeft, TShiftState(Message.WParam), x(), y());
      return;
    case WM_MOUSEMOVE:
      MouseMove(TShiftState(Message.WParam), x(), y());
      return;
    case BM_CLICK:
      // A programmatic click (accelerator, UI driver) is a press released inside.
      if (Enabled()) ClickAction();
      return;
    case CM_MOUSEENTER:
      FMouseInside = true;
      MouseEnter();
      return;
    case CM_MOUSELEAVE:
      FMouseInside = false;
      MouseLeave();
      return;
    case CM_ENABLEDCHANGED:
      TCustomControl::WndProc(Message);
      // A control disabled under a held button must not click when it comes up.
      if (!Enabled() && FTracking) {
        FTracking = false;
        FPressed = false;
        PressedChanged();
      }
      Invalidate();
      return;
    case CM_TEXTCHANGED:
      TCustomControl::WndProc(Message);
      Repaint();
      return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TCustomControl::WndProc(Message);
      FocusChanged();
      return;
    default:
      TCustomControl::WndProc(Message);
  }
}

void TVcCustomButton::DrawCaptionText(win::HDC DC, const std::string& Text, TRect R, unsigned Flags,
                                      TColor Color) {
  win::SetTextColor(DC, ColorToRGB(Color));
  win::DrawText(DC, Text, &R, Flags);
}

void TVcCustomButton::DrawCaption(TCanvas* Canvas, TRect Rect, unsigned Flags) {
  using namespace win;
  const std::string text = Caption();
  HDC dc = Canvas->Handle();
  HGDIOBJ oldFont = SelectObject(dc, Canvas->Font().Handle());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = GetTextColor(dc);

  TRect calc = Rect;
  DrawText(dc, text, &calc, DT_CALCRECT | DT_EXPANDTABS | DT_WORDBREAK | DT_VCENTER | DT_CENTER);
  int height = calc.bottom - calc.top;
  switch (FAlignmentVertical) {
    case avCenter:
      Rect.top = (Rect.top + Rect.bottom - height) / 2;
      Rect.bottom = Rect.top + height;
      break;
    case avBottom:
      Rect.top = Rect.bottom - height - 1;
      break;
    case avTop:
      break;
  }
  auto moved = [](TRect r, int dx, int dy) {
    return TRect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
  };
  bool right = Flags & DT_RIGHT;
  if (Enabled()) {
    if (FTextStyle == tsRaised || FTextStyle == tsRecessed) {
      TColor light = FTextStyle == tsRaised ? FHighlightColor : FShadowColor;
      TColor dark = FTextStyle == tsRaised ? FShadowColor : FHighlightColor;
      if (FTextStyle == tsRecessed || !FLightTextStyle)
        DrawCaptionText(dc, text, moved(Rect, 1, 1), Flags, dark);
      if (FTextStyle == tsRaised || !FLightTextStyle)
        DrawCaptionText(dc, text, moved(Rect, -1, -1), Flags, light);
    } else if (FTextStyle == tsShadow) {
      DrawCaptionText(dc, text, moved(Rect, right ? 0 : FShadowDepth, FShadowDepth), Flags,
                      FShadowColor);
    }
    DrawCaptionText(dc, text, right ? moved(Rect, -FShadowDepth, 0) : Rect, Flags,
                    Canvas->Font().Color());
  } else {
    DrawCaptionText(dc, text, moved(Rect, 1, 1), Flags, clBtnHighlight);
    DrawCaptionText(dc, text, Rect, Flags, clGrayText);
  }
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
}
