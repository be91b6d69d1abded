#include "platform/forms/DisplayBackend.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/HintWindow.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/DisplaySurface.h"
#include "platform/system/Machine.h"

namespace DisplayBackend {
namespace {

using namespace win;

bool Headless() {
  const char* h = std::getenv("WI_HEADLESS");
  return (h && std::string(h) == "1") || !DisplayAvailable();
}

std::string SnapshotDir() {
  const char* d = std::getenv("WI_SNAPSHOT_DIR");
  return d ? d : "";
}

TShiftState ShiftFrom(UINT s) {
  return (s & 4 ? ssShift : 0) | (s & 8 ? ssCtrl : 0) | (s & 0x20 ? ssAlt : 0) |
         (s & 1 ? ssLeft : 0);
}

// A pressed button takes the focus even when Tab does not stop on it (an unchecked radio
// button); other controls take it only as tab stops, so panels and frames never do.
bool TakesFocusOnClick(TWinControl* w) {
  return w->TabStop() || dynamic_cast<TButton*>(w) || dynamic_cast<TRadioButton*>(w) ||
         dynamic_cast<TCheckBox*>(w);
}

TForm* TopForm(TControl* c) { return c ? dynamic_cast<TForm*>(c->ParentForm()) : nullptr; }

bool FixedBorder(const TForm* f) {
  return f->BorderStyle() != bsSizeable && f->BorderStyle() != bsSizeToolWin;
}

// What a window shows (client pixels), compared with what it showed: the rectangle that
// differs, empty when nothing does.
RECT Difference(const Surface& a, const Surface& b) {
  if (a.width != b.width || a.height != b.height) return RECT{0, 0, a.width, a.height};
  RECT r{a.width, a.height, 0, 0};
  for (int y = 0; y < a.height; ++y) {
    const std::uint32_t* ra = a.Row(y);
    const std::uint32_t* rb = b.Row(y);
    if (std::equal(ra, ra + a.width, rb)) continue;
    int x0 = 0, x1 = a.width;
    while (ra[x0] == rb[x0]) ++x0;
    while (ra[x1 - 1] == rb[x1 - 1]) --x1;
    r.left = std::min<LONG>(r.left, x0), r.right = std::max<LONG>(r.right, x1);
    r.top = std::min<LONG>(r.top, y), r.bottom = y + 1;
  }
  return r;
}

// What a popup paints, found by painting it on two grounds: the pixels where they agree, as
// row runs (consecutive rows with the same runs joined); empty when it paints everything.
std::vector<RECT> PaintedArea(const Surface& a, const Surface& b) {
  std::vector<RECT> area;
  std::vector<std::pair<int, int>> runs, previous;
  bool whole = true;
  size_t bandStart = 0;
  for (int y = 0; y < a.height; ++y) {
    runs.clear();
    const std::uint32_t *ra = a.Row(y), *rb = b.Row(y);
    for (int x = 0; x < a.width;) {
      while (x < a.width && ra[x] != rb[x]) ++x, whole = false;
      int start = x;
      while (x < a.width && ra[x] == rb[x]) ++x;
      if (x > start) runs.emplace_back(start, x);
    }
    if (y > 0 && runs == previous) {
      for (size_t i = bandStart; i < area.size(); ++i) area[i].bottom = y + 1;
      continue;
    }
    bandStart = area.size();
    for (auto [x0, x1] : runs) area.push_back(RECT{x0, y, x1, y + 1});
    previous = runs;
  }
  if (whole) area.clear();
  return area;
}

// A top-level form's or a popup's X window.
class Window : public IDisplayEvents {
 public:
  Window(TWinControl* c, TForm* f) : control(c), form(f), handle(c->Handle()) {}
  void OnDisplayEvent(DisplaySurface&, const DisplayEvent& e) override;
  // Paints the client area and presents what differs; false when painting failed.
  void Paint(bool force);
  void Input(const DisplayEvent& e);
  bool Blocked() const;

  TWinControl* control;
  TForm* form;  // null for popups
  HWND handle;
  std::unique_ptr<DisplaySurface> surface;
  Surface shown;
  std::vector<RECT> shape;  // popups: their outline (empty: the whole rectangle)
  bool presented = false;
  std::string title;
  int width = 0, height = 0;
  TControl* captured = nullptr;
  POINT at{};  // popups: where the window is
};

// A form's headless picture for WI_SNAPSHOT_DIR.
struct Snapshot {
  std::unique_ptr<DisplaySurface> surface;
  Surface last;
  bool written = false;
};

// Never destroyed: forms freed at exit still leave them.
std::map<TWinControl*, std::unique_ptr<Window>>& Windows() {
  static auto* w = new std::map<TWinControl*, std::unique_ptr<Window>>;
  return *w;
}
std::map<TForm*, Snapshot>& Snapshots() {
  static auto* s = new std::map<TForm*, Snapshot>;
  return *s;
}
// Hint and balloon windows, which become X windows while they show.
std::vector<TWinControl*>& Popups() {
  static auto* p = new std::vector<TWinControl*>;
  return *p;
}
std::uint64_t g_changes = 1, g_updated = 0;
TForm* g_focusedForm = nullptr;
bool g_painting = false;
bool g_busy = false;
InputHook g_inputHook;

// Input waits in this queue until the message loop handles the message posted for it, so
// clicks and keys keep their order and their handlers' failures go to the application.
std::deque<std::function<void()>>& InputQueue() {
  static auto* q = new std::deque<std::function<void()>>;
  return *q;
}
HWND InputHandle() {
  static HWND h = CreateWindowHandle([](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    auto& q = InputQueue();
    if (q.empty()) return 0;
    auto action = std::move(q.front());
    q.pop_front();
    action();
    return 0;
  });
  return h;
}
constexpr UINT WM_DISPLAYINPUT = WM_APP + 0x3F00;

// Whether w still stands for control. Input waits in the queue, and its window may be
// destroyed meanwhile: then w is only compared, never read.
bool Alive(TWinControl* control, const Window* w) {
  auto it = Windows().find(control);
  return it != Windows().end() && it->second.get() == w;
}

bool Window::Blocked() const {
  TForm* modal = ModalForm();
  return modal && form && form != modal;
}

void Window::OnDisplayEvent(DisplaySurface&, const DisplayEvent& e) {
  if (e.IsInput()) {
    InputQueue().push_back([this, target = control, e] {
      if (Alive(target, this)) Input(e);
    });
    PostMessage(InputHandle(), WM_DISPLAYINPUT, 0, 0);
    return;
  }
  switch (e.kind) {
    case DisplayEvent::Exposed:
      if (presented) surface->Present(shown, &e.area);
      break;
    case DisplayEvent::Resized:
      if (form && !FixedBorder(form) &&
          (e.x != form->ClientWidth() || e.y != form->ClientHeight())) {
        width = e.x, height = e.y;
        form->SetClientWidth(e.x);
        form->SetClientHeight(e.y);
        Changed();
      }
      break;
    case DisplayEvent::Moved:
      // The form's place is where the window manager put it (hints and dialogs follow it).
      if (form) {
        POINT o = WindowPainter::ClientOrigin(form);
        form->SetBounds(e.x - o.x, e.y - o.y, form->Width(), form->Height());
      } else {
        control->SetBounds(e.x, e.y, control->Width(), control->Height());
      }
      break;
    case DisplayEvent::LostFocus:
      if (form && g_inputHook) {
        InputHook hook = g_inputHook;
        hook(e);
      }
      break;
    case DisplayEvent::Mapped:
      if (form && TopForm(Screen->ActiveForm()) == form) {
        g_focusedForm = form;
        surface->Focus();
      }
      break;
    default:
      break;
  }
}

void Window::Input(const DisplayEvent& e) {
  if (g_inputHook) {
    DisplayEvent s = e;
    POINT o = form ? ControlToScreen(form, POINT{0, 0}) : POINT{control->Left(), control->Top()};
    s.x += o.x, s.y += o.y;
    InputHook hook = g_inputHook;
    if (hook(s)) return;
  }
  if (!control->Visible()) return;
  if (Blocked()) {
    // A disabled owner: a click only brings its dialog to the front.
    if (e.kind == DisplayEvent::MouseDown)
      if (auto it = Windows().find(ModalForm()); it != Windows().end())
        it->second->surface->Focus();
    return;
  }
  SetKeyboardShiftState(ShiftFrom(e.shift));
  switch (e.kind) {
    case DisplayEvent::MouseMove:
    case DisplayEvent::MouseDown:
    case DisplayEvent::MouseUp: {
      POINT local{e.x, e.y};
      TControl* target = form ? WindowPainter::ControlAt(form, e.x, e.y, &local) : control;
      // Enter, leave and hints follow the control really under the pointer, held button or not.
      if (e.kind == DisplayEvent::MouseMove && Application && form)
        Application->MouseMoved(target, local);
      if (e.kind != DisplayEvent::MouseDown && captured && form &&
          form->ContainsControl(captured)) {
        // The control that took the button down keeps the mouse until it comes up.
        target = captured;
        local = POINT{e.x, e.y};
        for (TControl* p = captured; p && p != form; p = p->Parent()) {
          POINT off = p->Parent() && p->Parent() != form ? ControlPaint::ClientOffset(p->Parent())
                                                         : POINT{0, 0};
          local.x -= p->Left() + off.x, local.y -= p->Top() + off.y;
        }
      }
      if (!target) return;
      UINT msg =
          e.kind == DisplayEvent::MouseMove ? WM_MOUSEMOVE
          : e.button == 1 ? (e.kind == DisplayEvent::MouseDown ? WM_LBUTTONDOWN : WM_LBUTTONUP)
          : e.button == 3 ? (e.kind == DisplayEvent::MouseDown ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                          : 0;
      if (!msg) return;
      if (Application) Application->HintInput(TMessage{msg, WPARAM(e.shift), 0, 0});
      if (msg == WM_LBUTTONDOWN) {
        captured = target;
        if (auto* w = dynamic_cast<TWinControl*>(target);
            form && w && w != form && w->CanFocus() && TakesFocusOnClick(w)) {
          w->SetFocus();
          form->SetActiveControl(w);
        }
      } else if (msg == WM_LBUTTONUP) {
        captured = nullptr;
      }
      target->Perform(msg, e.shift, MAKELPARAM(WORD(short(local.x)), WORD(short(local.y))));
      break;
    }
    case DisplayEvent::MouseWheel: {
      if (!form) return;
      // The wheel turns what has the focus, else the windowed control under the pointer.
      TWinControl* target = FocusedControl();
      if (!target || !form->ContainsControl(target)) {
        TControl* c = WindowPainter::ControlAt(form, e.x, e.y, nullptr);
        while (c && !dynamic_cast<TWinControl*>(c)) c = c->Parent();
        target = static_cast<TWinControl*>(c);
      }
      if (!target) return;
      POINT screen = ControlToScreen(form, POINT{e.x, e.y});
      if (Application) Application->HintInput(TMessage{WM_MOUSEWHEEL, 0, 0, 0});
      target->Perform(WM_MOUSEWHEEL, (WPARAM(WORD(short(e.wheelDelta))) << 16) | (e.shift & 0xFF),
                      MAKELPARAM(WORD(short(screen.x)), WORD(short(screen.y))));
      break;
    }
    case DisplayEvent::MouseLeave:
      // The pointer left the window: the controls it was over hear it leave.
      if (form && Application && TopForm(MouseControl()) == form)
        Application->MouseMoved(nullptr, POINT{});
      break;
    // A key goes down and comes up; what it types arrives apart, as characters.
    case DisplayEvent::KeyDown:
      if (form && e.key) UiDriver::KeyDown(WORD(e.key), ShiftFrom(e.shift));
      break;
    case DisplayEvent::KeyUp:
      if (form && e.key) UiDriver::KeyUp(WORD(e.key), ShiftFrom(e.shift));
      break;
    case DisplayEvent::Char:
      // Control characters are keys (Enter, Escape, Tab, Ctrl+letter), save Backspace.
      if (form && !e.text.empty() &&
          (static_cast<unsigned char>(e.text[0]) >= 0x20 || e.text[0] == '\b') &&
          e.text[0] != 0x7F && !(ShiftFrom(e.shift) & (ssCtrl | ssAlt)))
        UiDriver::Chars(e.text);
      break;
    case DisplayEvent::CloseRequest:
      if (form) form->Perform(WM_CLOSE);
      break;
    default:
      break;
  }
  SetKeyboardShiftState(0);
}

void Window::Paint(bool force) {
  Surface next;
  try {
    if (form) {
      WindowPainter::PaintClient(form, next);
    } else if (auto* hint = dynamic_cast<THintWindow*>(control)) {
      hint->PaintTo(next);
      // A balloon leaves its corners unpainted: they are not part of its window.
      Surface probe;
      hint->PaintTo(probe, ~PixelFromColor(ControlPaint::Rgb(hint->Color())) & 0xFFFFFF);
      if (std::vector<RECT> area = PaintedArea(next, probe);
          area.size() != shape.size() ||
          !std::equal(area.begin(), area.end(), shape.begin(), [](const RECT& p, const RECT& q) {
            return p.left == q.left && p.top == q.top && p.right == q.right && p.bottom == q.bottom;
          })) {
        shape = std::move(area);
        surface->SetShape(shape);
      }
    }
  } catch (const std::exception&) {
    return;  // a control that cannot paint leaves the window as it was
  }
  if (next.width <= 0 || next.height <= 0) return;
  POINT p = form ? POINT{} : POINT{control->Left(), control->Top()};
  if (next.width != width || next.height != height || (!form && (p.x != at.x || p.y != at.y))) {
    width = next.width, height = next.height;
    if (form) p = ControlToScreen(form, POINT{0, 0});
    at = p;
    surface->SetBounds(p.x, p.y, width, height);
    force = true;
  }
  RECT dirty = force || !presented ? RECT{0, 0, next.width, next.height} : Difference(next, shown);
  shown = std::move(next);
  if (dirty.right > dirty.left) surface->Present(shown, &dirty);
  presented = true;
}

// Where a form's window goes on the screen (client area), per its Position.
POINT PlaceFor(TForm* f, TForm* owner, bool* placed) {
  int sw = Screen->Width(), sh = Screen->Height();
  POINT o = WindowPainter::ClientOrigin(f);
  auto centreOn = [&](TForm* on) {
    if (on && on != f && on->Visible() && !on->Parent())
      return POINT{on->Left() + (on->Width() - f->Width()) / 2,
                   on->Top() + (on->Height() - f->Height()) / 2};
    return POINT{(sw - f->Width()) / 2, (sh - f->Height()) / 2};
  };
  POINT p{f->Left(), f->Top()};
  *placed = true;
  switch (f->Position()) {
    case poDefault:
    case poDefaultPosOnly:
      *placed = false;
      break;
    case poScreenCenter:
    case poDesktopCenter:
      p = centreOn(nullptr);
      break;
    case poMainFormCenter:
      p = centreOn(Application ? Application->MainForm() : nullptr);
      break;
    case poOwnerFormCenter: {
      TForm* on = dynamic_cast<TForm*>(f->Owner());
      if (!on || !on->Visible()) on = owner;
      if (!on && Application) on = Application->MainForm();
      p = centreOn(on);
      break;
    }
    default:
      break;
  }
  // Kept on the screen, caption first.
  p.x = std::max<LONG>(0, std::min<LONG>(p.x, sw - f->Width()));
  p.y = std::max<LONG>(0, std::min<LONG>(p.y, sh - f->Height()));
  f->SetBounds(p.x, p.y, f->Width(), f->Height());
  return POINT{p.x + o.x, p.y + o.y};
}

Window* WindowFor(TForm* form, TForm* previousActive) {
  auto& w = Windows()[form];
  if (w && w->handle == form->Handle()) return w.get();
  w = std::make_unique<Window>(form, form);
  X11WindowOptions o;
  o.title = form->Caption();
  o.className = Machine::ProgramName();
  bool placed = false;
  POINT p = PlaceFor(form, TopForm(previousActive), &placed);
  o.x = p.x, o.y = p.y, o.placed = placed;
  o.width = std::max(1, form->ClientWidth()), o.height = std::max(1, form->ClientHeight());
  o.fixedSize = FixedBorder(form);
  o.background = PixelFromColor(ControlPaint::Rgb(form->Color()));
  TForm* main = Application ? Application->MainForm() : nullptr;
  if (form != main || form->Modal()) {
    // A dialog belongs to the form that was active, else to the main form.
    TForm* owner = TopForm(previousActive);
    if (!owner || owner == form || !owner->Visible()) owner = main != form ? main : nullptr;
    auto it = owner ? Windows().find(owner) : Windows().end();
    if (it != Windows().end() && it->second->surface)
      o.transientFor = it->second->surface->NativeWindow();
    o.dialog = form->Modal() || o.transientFor != 0;
  }
  // As Windows draws their title bars: a dialog border has no minimize or maximize, a fixed
  // size no maximize, and a dialog is never minimized apart from its owner.
  o.modal = form->Modal();
  o.minimizable = !o.dialog && form->BorderStyle() != bsDialog;
  o.maximizable = !o.fixedSize && form->BorderStyle() != bsDialog;
  o.closable = form->CloseBox();
  w->surface = CreateX11Window(o, w.get());
  if (!w->surface) {
    Windows().erase(form);
    return nullptr;
  }
  w->title = o.title;
  w->width = o.width, w->height = o.height;
  if (Screen->Cursor() == crHourGlass) w->surface->SetBusyCursor(true);
  return w.get();
}

void EnsurePopup(TWinControl* popup) {
  auto& w = Windows()[popup];
  if (w && w->handle == popup->Handle() && w->surface) return;
  w = std::make_unique<Window>(popup, nullptr);
  X11WindowOptions o;
  o.popup = true;
  o.placed = true;
  o.x = popup->Left(), o.y = popup->Top();
  o.width = std::max(1, popup->Width()), o.height = std::max(1, popup->Height());
  o.background = PixelFromColor(ControlPaint::Rgb(popup->Color()));
  w->surface = CreateX11Window(o, w.get());
  w->width = o.width, w->height = o.height;
  w->at = POINT{o.x, o.y};
}

// The keyboard goes to the window of the active form (back to the owner once a dialog went).
void FocusActiveForm() {
  TForm* active = TopForm(Screen->ActiveForm());
  if (active == g_focusedForm) return;
  auto it = Windows().find(active);
  if (it == Windows().end() || !it->second->surface || !it->second->surface->Viewable()) return;
  g_focusedForm = active;
  it->second->surface->Focus();
}

// Puts back what every other window showed last (over what a closed window uncovered),
// before the program goes on with its work.
void PresentOthers(const Window* gone) {
  for (auto& [c, w] : Windows())
    if (w.get() != gone && w->surface && w->presented && w->control->Visible())
      w->surface->Present(w->shown);
}

void UpdateWindows(bool force) {
  std::vector<TWinControl*> order;
  for (auto& [c, w] : Windows()) order.push_back(c);
  for (TWinControl* c : order) {
    auto it = Windows().find(c);
    if (it == Windows().end() || !it->second->surface) continue;
    Window& w = *it->second;
    bool visible = w.control->Visible() && !(w.form && w.form->Parent());
    if (!visible) {
      w.surface->Show(false);
      continue;
    }
    if (w.form && w.form->Caption() != w.title) {
      w.title = w.form->Caption();
      w.surface->SetTitle(w.title);
    }
    w.Paint(force);
    if (Windows().count(c)) w.surface->Show(true);
  }
}

// Writes the form's snapshot when it shows something new.
void Snap(TForm* f) {
  Snapshot& s = Snapshots()[f];
  if (!s.surface)
    s.surface = CreateHeadlessSurface(f->Name().empty() ? f->Caption() : f->Name(), nullptr);
  Surface next;
  try {
    WindowPainter::PaintWindow(f, next);
  } catch (const std::exception&) {
    return;
  }
  if (s.written && next.width == s.last.width && next.height == s.last.height &&
      next.pixels == s.last.pixels)
    return;
  s.surface->Present(next);
  s.last = std::move(next);
  s.written = true;
}

void UpdateSnapshots() {
  if (SnapshotDir().empty()) return;
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (TForm* f = Screen->Forms(i); f->Showing()) Snap(f);
}

void RepaintControl(TControl* c) {
  if (g_painting) return;
  auto it = Windows().find(TopForm(c));
  if (it == Windows().end() || !it->second->surface || !it->second->control->Visible()) return;
  g_painting = true;
  struct Done {
    ~Done() { g_painting = false; }
  } done;
  it->second->Paint(false);
}

}  // namespace

void FormShown(TForm* form, TForm* previousActive) {
  WindowPainter::InstallControlCanvas();
  Changed();
  bool x11 = !Headless();
  if (!x11 && SnapshotDir().empty()) return;
  if (x11) {
    int sw = 0, sh = 0;
    if (DisplayScreenSize(&sw, &sh)) Screen->SetSize(sw, sh);
    ControlRepaintHook = RepaintControl;
    if (Application) Application->InputWaiter = [](int ms) { WaitForInput(ms); };
  }
  // What a form shows reaches the screen once the program is idle, so a window shows the
  // state its first idle update gives it (a modal form: ShowModal updates before its loop).
  if (form->Parent()) return;
  if (Window* w = x11 ? WindowFor(form, previousActive) : nullptr) w->surface->Show(true);
}

void FormHidden(TForm* form) {
  Changed();
  auto it = Windows().find(form);
  if (it == Windows().end() || !it->second->surface) return;
  it->second->surface->Show(false);
  PresentOthers(it->second.get());
}

void FormDestroyed(TForm* form) {
  Snapshots().erase(form);
  if (g_focusedForm == form) g_focusedForm = nullptr;
  auto it = Windows().find(form);
  if (it == Windows().end()) return;
  std::unique_ptr<Window> gone = std::move(it->second);
  Windows().erase(it);
  if (gone->surface && gone->presented) PresentOthers(gone.get());
}

void PopupCreated(TWinControl* popup) {
  Popups().push_back(popup);
  Changed();
}

void PopupDestroyed(TWinControl* popup) {
  auto& p = Popups();
  p.erase(std::remove(p.begin(), p.end(), popup), p.end());
  auto it = Windows().find(popup);
  if (it != Windows().end()) Windows().erase(it);
}

void Changed() { ++g_changes; }

void Update() {
  std::uint64_t now = g_changes + ControlChangeCount();
  if (now == g_updated) return;
  bool x11 = !Windows().empty();
  if (!x11 && SnapshotDir().empty()) return;
  g_updated = now;
  if (g_painting) return;
  g_painting = true;
  struct Done {
    ~Done() { g_painting = false; }
  } done;
  WindowPainter::InstallControlCanvas();
  if (x11) {
    for (TWinControl* popup : Popups())
      if (popup->Visible()) EnsurePopup(popup);
    UpdateWindows(false);
    FocusActiveForm();
  }
  UpdateSnapshots();
}

void Refresh() {
  g_updated = 0;
  Changed();
  if (g_painting) return;
  std::uint64_t now = g_changes + ControlChangeCount();
  g_painting = true;
  {
    struct Done {
      ~Done() { g_painting = false; }
    } done;
    WindowPainter::InstallControlCanvas();
    UpdateWindows(true);
    UpdateSnapshots();
  }
  g_updated = now;
}

void CursorChanged(int cursor) {
  bool busy = cursor == crHourGlass;
  if (busy == g_busy) return;
  g_busy = busy;
  for (auto& [c, w] : Windows())
    if (w->surface) w->surface->SetBusyCursor(busy);
  if (busy) return;
  // What a person clicked or typed while the hourglass showed is not acted on afterwards.
  DiscardPendingInput();
  InputQueue().clear();
  for (auto& [c, w] : Windows()) w->captured = nullptr;
}

bool UsesX11() { return !Headless(); }

void WaitForInput(int timeoutMs) {
  Update();
  PumpDisplayEvents(timeoutMs < 0 ? 1000 : timeoutMs);
}

void TakePendingInput() {
  if (!Windows().empty()) PumpDisplayEvents(0);
}

InputHook SetInputHook(InputHook hook) {
  InputHook old = std::move(g_inputHook);
  g_inputHook = std::move(hook);
  return old;
}

unsigned long NativeWindow(const TForm* form) {
  auto it = Windows().find(const_cast<TForm*>(form));
  return it == Windows().end() || !it->second->surface ? 0 : it->second->surface->NativeWindow();
}

}  // namespace DisplayBackend
