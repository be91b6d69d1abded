#include "platform/forms/DisplayBackend.h"

#include <cstdlib>
#include <deque>
#include <map>
#include <memory>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/DisplaySurface.h"

namespace DisplayBackend {
namespace {

using namespace win;

bool Headless() {
  const char* h = std::getenv("WI_HEADLESS");
  return (h && std::string(h) == "1") || !DisplayAvailable();
}

bool FormAlive(const TForm* f) {
  if (!Screen) return false;
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i) == f) return true;
  return false;
}

bool ControlAlive(TForm* form, TControl* c) {
  if (!FormAlive(form)) return false;
  for (TControl* p = c; p; p = p->Parent())
    if (p == form) return true;
  return false;
}

TShiftState ShiftFrom(UINT s) {
  return (s & 4 ? ssShift : 0) | (s & 8 ? ssCtrl : 0) | (s & 0x20 ? ssAlt : 0) | (s & 1 ? ssLeft : 0);
}

// A pressed button takes the focus even when Tab does not stop on it (an unchecked radio
// button); other controls take it only as tab stops, so panels and frames never do.
bool TakesFocusOnClick(TWinControl* w) {
  return w->TabStop() || dynamic_cast<TButton*>(w) || dynamic_cast<TRadioButton*>(w) ||
         dynamic_cast<TCheckBox*>(w);
}

class FormWindow : public IDisplayEvents {
 public:
  explicit FormWindow(TForm* f) : form(f), handle(f->Handle()) {
    x11 = !Headless();
    std::string title = x11 || f->Name().empty() ? f->Caption() : f->Name();
    if (x11) surface = CreateX11Surface(f->Caption(), f->Left(), f->Top(), f->ClientWidth(), f->ClientHeight(), this);
    if (!surface) {
      x11 = false;
      surface = CreateHeadlessSurface(title, this);
    }
  }
  void Paint() {
    if (x11) WindowPainter::PaintClient(form, pixels);
    else WindowPainter::PaintWindow(form, pixels);
    surface->Present(pixels);
  }
  void OnDisplayEvent(DisplaySurface&, const DisplayEvent& e) override;

  TForm* form;
  HWND handle;  // tells a new form at a freed form's address from the old one
  bool x11 = false;
  std::unique_ptr<DisplaySurface> surface;
  Surface pixels;
  TControl* captured = nullptr;
};

std::map<TForm*, std::unique_ptr<FormWindow>>& Windows() {
  static std::map<TForm*, std::unique_ptr<FormWindow>> w;
  return w;
}

bool SnapshotsWanted() {
  const char* d = std::getenv("WI_SNAPSHOT_DIR");
  return d && *d;
}

void FormWindow::OnDisplayEvent(DisplaySurface&, const DisplayEvent& e) {
  if (!FormAlive(form) || !form->Visible()) return;
  SetKeyboardShiftState(ShiftFrom(e.shift));
  switch (e.kind) {
    case DisplayEvent::MouseDown:
    case DisplayEvent::MouseUp:
    case DisplayEvent::MouseMove: {
      POINT local{};
      TControl* target = WindowPainter::ControlAt(form, e.x, e.y, &local);
      // Enter, leave and hints follow the control really under the pointer, held button or not.
      if (e.kind == DisplayEvent::MouseMove && Application) Application->MouseMoved(target, local);
      if (e.kind != DisplayEvent::MouseDown && captured && ControlAlive(form, captured)) {
        // The control that took the button down keeps the mouse until it comes up.
        target = captured;
        local = POINT{e.x, e.y};
        for (TControl* p = captured; p && p != form; p = p->Parent()) {
          POINT off = p->Parent() && p->Parent() != form ? ControlPaint::ClientOffset(p->Parent()) : POINT{0, 0};
          local.x -= p->Left() + off.x, local.y -= p->Top() + off.y;
        }
      }
      if (!target) return;
      UINT msg = e.kind == DisplayEvent::MouseMove ? WM_MOUSEMOVE
               : e.button == 1 ? (e.kind == DisplayEvent::MouseDown ? WM_LBUTTONDOWN : WM_LBUTTONUP)
               : e.button == 3 ? (e.kind == DisplayEvent::MouseDown ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                               : 0;
      if (!msg) return;
      if (Application) Application->HintInput(TMessage{msg, WPARAM(e.shift), 0, 0});
      if (msg == WM_LBUTTONDOWN) {
        captured = target;
        if (auto* w = dynamic_cast<TWinControl*>(target); w && w != form && w->CanFocus() && TakesFocusOnClick(w)) {
          w->SetFocus();
          form->SetActiveControl(w);
        }
      } else if (msg == WM_LBUTTONUP) {
        captured = nullptr;
      }
      LPARAM lp = MAKELPARAM(WORD(short(local.x)), WORD(short(local.y)));
      if (auto* w = dynamic_cast<TWinControl*>(target)) PostMessage(w->Handle(), msg, e.shift, lp);
      else target->Perform(msg, e.shift, lp);
      break;
    }
    case DisplayEvent::KeyDown: {
      if (Application) Application->HintInput(TMessage{WM_KEYDOWN, WPARAM(e.key), 0, 0});
      TShiftState s = ShiftFrom(e.shift);
      // Printable keys arrive again as characters; only shortcuts and editing keys go here.
      bool printable = (e.key >= 0x30 && e.key <= 0x5A) || e.key == VK_SPACE || e.key >= 0x60;
      if (!printable || (s & (ssCtrl | ssAlt))) UiDriver::Key(WORD(e.key), s);
      break;
    }
    case DisplayEvent::Char:
      if (!e.text.empty() && static_cast<unsigned char>(e.text[0]) >= 0x20 && e.text[0] != 0x7F &&
          !(ShiftFrom(e.shift) & (ssCtrl | ssAlt)))
        UiDriver::Chars(e.text);
      break;
    case DisplayEvent::CloseRequest: form->Close(); break;
    case DisplayEvent::Exposed: surface->Present(pixels); break;
    default: break;
  }
}

}  // namespace

void FormShown(TForm* form) {
  WindowPainter::InstallControlCanvas();
  bool x11 = !Headless();
  if (!x11 && !SnapshotsWanted()) return;
  auto& w = Windows()[form];
  if (!w || w->handle != form->Handle() || w->x11 != x11) w = std::make_unique<FormWindow>(form);
  w->surface->Show(true);
  if (w->x11 && Application) Application->InputWaiter = [](int ms) { WaitForInput(ms); };
  Refresh();
}

void Refresh() {
  auto& ws = Windows();
  for (auto it = ws.begin(); it != ws.end();) {
    if (!FormAlive(it->first) || it->second->handle != it->first->Handle()) {
      it = ws.erase(it);
      continue;
    }
    FormWindow& w = *it->second;
    if (!w.form->Visible()) {
      w.surface->Show(false);
    } else {
      w.surface->Show(true);
      w.Paint();
    }
    ++it;
  }
}

bool UsesX11() { return !Headless(); }

void WaitForInput(int timeoutMs) {
  Refresh();
  // The loop handles what the events posted, then comes back here, which repaints.
  PumpDisplayEvents(timeoutMs < 0 ? 1000 : timeoutMs);
}

unsigned long NativeWindow(const TForm* form) {
  auto it = Windows().find(const_cast<TForm*>(form));
  return it == Windows().end() ? 0 : it->second->surface->NativeWindow();
}

}  // namespace DisplayBackend
