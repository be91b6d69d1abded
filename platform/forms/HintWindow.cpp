#include "platform/forms/HintWindow.h"

#include <algorithm>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/Screen.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/Graphics.h"

using namespace win;

void THintWindow::DefineProps(TPropList&) {}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetOwnColor(clInfoBk);
  SetVisible(false);
}

THintWindow::~THintWindow() {
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

void THintWindow::PaintTo(Surface& s) {
  s.Resize(std::max(0, Width()), std::max(0, Height()));
  std::fill(s.pixels.begin(), s.pixels.end(), PixelFromColor(ControlPaint::Rgb(Color())));
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

void TApplication::SetShowHint(bool v) {
  if (v == FShowHint) return;
  FShowHint = v;
  if (!v) {
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
  std::string hint = control->Hint();
  if (auto bar = hint.find('|'); bar != std::string::npos) hint.erase(bar);
  info.HintStr = hint;
  info.CursorPos = cursorPos;
  info.CursorRect = control->ClientRect();
  POINT screen = ControlToScreen(control, cursorPos);
  info.HintPos = POINT{screen.x, screen.y + 20};  // below the arrow cursor
  info.HintMaxWidth = Screen->Width();
  info.HintColor = clInfoBk;
  bool canShow = true;
  OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return;
  RECT r = w->CalcHintRect(info.HintMaxWidth, info.HintStr);
  OffsetRect(&r, info.HintPos.x, info.HintPos.y);
  w->SetColor(info.HintColor);
  w->ActivateHint(r, info.HintStr);
}

void TApplication::CancelHint() {
  if (FHintWindow) FHintWindow->ReleaseHandle();
}
