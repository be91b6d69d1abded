#include "platform/forms/HintWindow.h"

#include <algorithm>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/Screen.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/Graphics.h"

using namespace win;

void THintWindow::DefineProps(TPropList&) {}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetOwnColor(clInfoBk);
  SetVisible(false);
  DisplayBackend::PopupCreated(this);
}

THintWindow::~THintWindow() {
  DisplayBackend::PopupDestroyed(this);
  TApplication* app = Application;
  if (app->FHintWindow == this) app->FHintWindow = nullptr;
}

void THintWindow::CreateParams(TCreateParams& params) {
  params.Style = WS_POPUP | WS_BORDER;
  params.WindowClassStyle = 0;
}

RECT THintWindow::CalcHintRect(int maxWidth, const std::string& hint) {
  RECT r{0, 0, maxWidth, 0};
  if (TCanvas* c = Canvas()) {
    c->Font().SetName(Font()->Name());
    c->Font().SetHeight(Font()->Height());
    DrawText(c->Handle(), hint, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  }
  r.right += 6, r.bottom += 2;
  return r;
}

void THintWindow::ActivateHint(const RECT& rect, const std::string& hint) {
  SetCaption(hint);
  SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  Show();
}

bool THintWindow::IsHintMsg(const TMessage& m) {
  return (m.Msg >= WM_KEYFIRST && m.Msg <= WM_KEYLAST) || m.Msg == CM_ACTIVATE ||
         m.Msg == CM_DEACTIVATE || m.Msg == CM_APPKEYDOWN || m.Msg == CM_APPSYSCOMMAND ||
         m.Msg == WM_COMMAND || (m.Msg > WM_MOUSEMOVE && m.Msg <= WM_MOUSEWHEEL);
}

void THintWindow::Paint() {
  TCanvas* c = Canvas();
  RECT r{0, 0, Width(), Height()};
  c->Brush().SetColor(Color());
  c->Pen().SetColor(clBlack);
  c->Rectangle(r);
  c->Brush().SetStyle(bsClear);
  c->Font().SetColor(clInfoText);
  RECT t{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
  DrawText(c->Handle(), Caption(), &t, DT_LEFT | DT_NOPREFIX | DT_WORDBREAK);
}

void THintWindow::PaintTo(Surface& s) { PaintTo(s, PixelFromColor(ControlPaint::Rgb(Color()))); }

void THintWindow::PaintTo(Surface& s, std::uint32_t ground) {
  s.Resize(std::max(0, Width()), std::max(0, Height()));
  std::fill(s.pixels.begin(), s.pixels.end(), ground);
  if (!ControlCanvasFactory) WindowPainter::InstallControlCanvas();
  TCanvas* c = Canvas();
  if (!c) return;
  HDC dc = CreateSurfaceDC(&s, POINT{0, 0}, RECT{0, 0, s.width, s.height});
  c->SetHandle(dc);
  try {
    Perform(WM_PAINT);
  } catch (...) {
    c->SetHandle(nullptr);
    DeleteDC(dc);
    throw;
  }
  c->SetHandle(nullptr);
  DeleteDC(dc);
}

POINT ControlToScreen(const TControl* c, POINT p) {
  while (c) {
    TWinControl* parent = c->Parent();
    if (!parent) {
      if (auto* f = dynamic_cast<const TForm*>(c)) {
        POINT o = WindowPainter::ClientOrigin(f);
        p.x += o.x, p.y += o.y;
      }
      p.x += c->Left(), p.y += c->Top();
      break;
    }
    POINT off = ControlPaint::ClientOffset(parent);
    p.x += c->Left() + off.x, p.y += c->Top() + off.y;
    c = parent;
  }
  return p;
}

// --- The application's side ----------------------------------------------------------------

namespace {
// A control without a hint of its own shows its parent's; the part after '|' is the long hint.
std::string shortHintOf(const TControl* c) {
  std::string hint;
  for (; c && hint.empty(); c = c->Parent()) hint = c->Hint();
  if (auto bar = hint.find('|'); bar != std::string::npos) hint.erase(bar);
  return hint;
}
}  // namespace

void TApplication::SetShowHint(bool v) {
  if (v == FShowHint) return;
  FShowHint = v;
  if (!v) {
    CancelHint();
    delete FHintWindow;  // its destructor clears FHintWindow
    FHintWindow = nullptr;
  } else {
    HintWindow();
  }
}

THintWindow* TApplication::HintWindow() {
  if (!FShowHint) return nullptr;
  if (!FHintWindow) {
    TCustomControl* w = HintWindowClass ? HintWindowClass(this) : new THintWindow(this);
    FHintWindow = dynamic_cast<THintWindow*>(w);
    if (!FHintWindow) delete w;
  }
  return FHintWindow;
}

void TApplication::ActivateHint(TControl* control, POINT cursorPos) {
  THintWindow* w = HintWindow();
  if (!w || !control) return;
  THintInfo info;
  info.HintControl = control;
  info.HintStr = shortHintOf(control);
  info.CursorPos = cursorPos;
  info.CursorRect = control->ClientRect();
  POINT screen = ControlToScreen(control, cursorPos);
  info.HintPos = POINT{screen.x, screen.y + 20};  // below the arrow cursor
  info.HintMaxWidth = Screen->Width();
  info.HintColor = clInfoBk;
  // The control may change what shows or refuse (a non-zero result), then the application.
  if (control->Perform(CM_HINTSHOW, 0, LPARAM(&info)) != 0) return;
  bool canShow = true;
  OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return;
  RECT r = w->CalcHintRect(info.HintMaxWidth, info.HintStr);
  OffsetRect(&r, info.HintPos.x, info.HintPos.y);
  w->SetColor(info.HintColor);
  w->ActivateHint(r, info.HintStr);
  // From here the mouse leaving the control (or OnShowHint's cursor rectangle) ends it.
  SetHintControl(control);
  FHintCursorPos = cursorPos;
  FHintCursorRect = info.CursorRect;
  FHintActive = true;
  if (FHintHidePause > 0)
    StartHintTimer(FHintHidePause, true);
  else
    StopHintTimer();
}

void TApplication::CancelHint() {
  StopHintTimer();
  FHintActive = false;
  if (FHintWindow) FHintWindow->ReleaseHandle();
}

bool TApplication::HintShowing() const { return FHintWindow && FHintWindow->Visible(); }

bool TApplication::HintAllowed(TControl* c) const {
  return FShowHint && c && c->ShowHint() && c->Showing() && !shortHintOf(c).empty();
}

void TApplication::SetHintControl(TControl* c) {
  if (c == FHintControl) return;
  if (FHintControl) RemoveFreeNotification(FHintControl);
  FHintControl = c;
  if (c) FreeNotification(c);
}

void TApplication::StopHintTimer() {
  if (FHintTimer) KillTimer(nullptr, FHintTimer);
  FHintTimer = 0;
}

void TApplication::StartHintTimer(int ms, bool hide) {
  StopHintTimer();
  FHintTimer =
      SetTimer(nullptr, 0, UINT(std::max(ms, 0)), [this, hide](HWND, UINT, UINT_PTR, DWORD) {
        StopHintTimer();  // one shot
        if (hide)
          CancelHint();
        else if (HintAllowed(FHintControl))
          ActivateHint(FHintControl, FHintCursorPos);
      });
}

void TApplication::MouseMoved(TControl* control, POINT pos) {
  TrackMouseControl(control);
  // An enter or leave handler that freed the control leaves nothing to hint about.
  if (control && MouseControl() != control) control = nullptr;
  FHintCursorPos = pos;
  TControl* target = HintAllowed(control) ? control : nullptr;
  if (target == FHintControl && (!target || PtInRect(&FHintCursorRect, pos))) return;
  // Straight on from a hint that showed, the next one needs only the short pause.
  bool wasActive = FHintActive;
  CancelHint();
  SetHintControl(target);
  if (!target) return;
  FHintActive = wasActive;
  FHintCursorRect = target->ClientRect();
  StartHintTimer(wasActive ? FHintShortPause : FHintPause, false);
}

void TApplication::HintInput(const TMessage& msg) {
  if (!FHintTimer && !HintShowing()) return;
  if (THintWindow* w = HintWindow(); !w || w->IsHintMsg(msg)) CancelHint();
}

void TApplication::Notification(TComponent* c, TOperation op) {
  TComponent::Notification(c, op);
  if (op == opRemove && c == FHintControl) {
    CancelHint();
    FHintControl = nullptr;
  }
}
