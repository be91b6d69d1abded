#include "platform/forms/Forms.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "platform/forms/ActnList.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/EventSources.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Machine.h"
#include "platform/system/Shutdown.h"

namespace {
const std::vector<std::string>& kBorderNames() {
  static const std::vector<std::string> names = {"bsNone",   "bsSingle",     "bsSizeable",
                                                 "bsDialog", "bsToolWindow", "bsSizeToolWin"};
  return names;
}
const std::vector<std::string>& kPositionNames() {
  static const std::vector<std::string> names = {
      "poDesigned",     "poDefault",       "poDefaultPosOnly", "poDefaultSizeOnly",
      "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"};
  return names;
}
}  // namespace

void TForm::DefineProps(TPropList& p) {
  // A form stores its client size and its visibility comes from Show.
  auto never = [](TPersistent*) { return false; };
  p.Int("Width", &TForm::Width, &TForm::SetWidth, 0).stored = never;
  p.Int("Height", &TForm::Height, &TForm::SetHeight, 0).stored = never;
  p.Bool("Visible", &TForm::Visible, &TForm::SetVisible, false).stored = never;
  p.Enum("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle, kBorderNames(), bsSizeable);
  p.Int("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight, 0);
  p.Int("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth, 0);
  p.Enum("Position", &TForm::Position, &TForm::SetPosition, kPositionNames(), poDesigned);
  p.Event("OnActivate", &TForm::OnActivate);
  p.Event("OnClose", &TForm::OnClose);
  p.Event("OnCreate", &TForm::OnCreate);
  p.Event("OnDestroy", &TForm::OnDestroy);
  p.Event("OnShow", &TForm::OnShow);
}

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
  SetVisible(false);
  Screen->AddForm(this);
}

TForm::~TForm() {
  if (FCreated) OnDestroy(this);
  DisplayBackend::FormDestroyed(this);
  Screen->RemoveForm(this);
}

void TForm::InitForm() {
  InitInheritedComponent(this);
  FCreated = true;
  OnCreate(this);
}

void TForm::SetClientWidth(int v) {
  FClientWidth = v;
  TCustomControl::SetBounds(Left(), Top(), v + 2 * Border(), Height());
  AlignControls();
}

void TForm::SetClientHeight(int v) {
  FClientHeight = v;
  TCustomControl::SetBounds(Left(), Top(), Width(), v + 2 * Border() + CaptionHeight());
  AlignControls();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  FClientWidth = std::max(0, width - 2 * Border());
  FClientHeight = std::max(0, height - 2 * Border() - CaptionHeight());
  TCustomControl::SetBounds(left, top, width, height);
}

void TForm::Show() {
  TForm* previous = Screen->ActiveForm();
  SetVisible(true);
  BringToFront();
  Screen->SetActiveForm(this);
  if (Application) Application->NoteActivity();
  OnShow(this);
  // A window that becomes active puts the keyboard on its active control, else on its first
  // in the tab order, so that keys work at once.
  if (!Parent() && Visible()) EnsureFocus();
  DisplayBackend::FormShown(this, previous);
}

void TForm::Close() {
  TCloseAction action = caHide;
  OnClose(this, action);
  if (action == caNone) return;
  if (FModalResult == mrNone) FModalResult = mrCancel;
  SetVisible(false);
  if (Screen->ActiveForm() == this) Screen->SetActiveForm(nullptr);
  if (Application && Application->MainForm() == this) Application->Terminate();
}

namespace {
std::vector<TForm*>& modalForms() {
  static auto* m = new std::vector<TForm*>;
  return *m;
}
}  // namespace

TForm* ModalForm() { return modalForms().empty() ? nullptr : modalForms().back(); }

bool BlockedByModal(const TControl* c) {
  TForm* modal = ModalForm();
  if (!modal || !c) return false;
  for (const TControl* p = c; p; p = p->Parent())
    if (p == modal) return false;
  return true;
}

TModalResult TForm::ShowModal() {
  if (FInModal) throw Exception("Impossible de rendre modale une fenêtre visible");
  TForm* previous = Screen->ActiveForm();
  // The control to give the focus back to, by handle: it may be gone by then.
  TWinControl* hadFocus = FocusedControl();
  win::HWND focusBack = hadFocus && !ContainsControl(hadFocus) ? hadFocus->Handle() : nullptr;
  FModalResult = mrNone;
  FInModal = true;
  modalForms().push_back(this);
  struct Restore {
    TForm* self;
    TForm* previous;
    ~Restore() {
      self->FInModal = false;
      auto& m = modalForms();
      m.erase(std::remove(m.begin(), m.end(), self), m.end());
      self->SetVisible(false);
      if (Screen->ActiveForm() == self || !Screen->ActiveForm())
        Screen->SetActiveForm(previous && previous->Visible() ? previous : nullptr);
    }
  } restore{this, previous};
  Show();
  // The form shows before anything answers it (its snapshot too).
  DisplayBackend::Update();
  while (FModalResult == mrNone) {
    if (!Application->HandleMessage() && FModalResult == mrNone && !Application->Terminated() &&
        !Application->WaitForWork()) {
      Application->Stalled("the modal form \"" + Caption() +
                           "\" waits for a user (no script command closes it)");
      FModalResult = mrCancel;  // no source ended the run: nobody can answer the form
    }
    if (Application->Terminated() && FModalResult == mrNone) FModalResult = mrCancel;
  }
  // Only a loop that ended normally gives the focus back (its handlers may fail).
  TWinControl* back =
      focusBack && win::IsWindow(focusBack) ? TWinControl::FindControl(focusBack) : nullptr;
  if (back && back->CanFocus()) back->SetFocus();
  return FModalResult;
}

void TForm::EnsureFocus() {
  if (Parent() || !Showing()) return;
  if (TWinControl* f = FocusedControl(); f && ContainsControl(f) && f->CanFocus()) return;
  if (FActiveControl && ContainsControl(FActiveControl) && FActiveControl->CanFocus())
    FActiveControl->SetFocus();
  else
    SelectNext(nullptr, true);
}

void TForm::SelectNext(TWinControl* current, bool forward) {
  if (auto* next = FindNextControl(current, forward, true)) {
    next->SetFocus();
    FActiveControl = next;
  }
}

namespace {

template <class F>
void forEachControl(TWinControl* w, const F& f) {
  for (int i = 0; i < w->ControlCount(); ++i) {
    TControl* c = w->Controls(i);
    f(c);
    if (auto* cw = dynamic_cast<TWinControl*>(c)) forEachControl(cw, f);
  }
}

bool usableControl(TControl* c) {
  if (!c->Showing()) return false;
  for (TControl* p = c; p; p = p->Parent())
    if (!p->Enabled()) return false;
  return true;
}

}  // namespace

bool IsAccel(char ch, const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return std::tolower(static_cast<unsigned char>(caption[i + 1])) ==
           std::tolower(static_cast<unsigned char>(ch));
  }
  return false;
}

namespace {

bool wantsKey(TWinControl* target, win::WORD key) {
  using namespace win;
  auto code = target->Perform(WM_GETDLGCODE);
  return (key == VK_TAB && (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) ||
         (key >= VK_LEFT && key <= VK_DOWN && (code & DLGC_WANTARROWS)) ||
         ((key == VK_RETURN || key == VK_ESCAPE) && (code & DLGC_WANTALLKEYS));
}

}  // namespace

bool DialogKey(TWinControl* target, win::WORD key, TShiftState shift) {
  using namespace win;
  auto* form = dynamic_cast<TForm*>(target->ParentForm());
  if (!form) return false;
  if (shift & ssAlt) {
    bool alnum = (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
    return alnum && form->Perform(CM_DIALOGCHAR, key, shift) != 0;
  }
  // Ctrl+C on a control that takes no text copies what the form shows (a message box).
  bool copy = key == 'C' && (shift & ssCtrl) &&
              !(target->Perform(WM_GETDLGCODE) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS));
  bool dialogKey = key == VK_TAB || key == VK_RETURN || key == VK_ESCAPE ||
                   (key >= VK_LEFT && key <= VK_DOWN) || copy;
  return dialogKey && !wantsKey(target, key) && form->Perform(CM_DIALOGKEY, key, shift) != 0;
}

bool DialogChar(TWinControl* target, char ch, TShiftState shift) {
  using namespace win;
  if (static_cast<unsigned char>(ch) <= ' ' || ch == 0x7F || (shift & ssCtrl)) return false;
  auto* form = dynamic_cast<TForm*>(target->ParentForm());
  if (!form) return false;
  if (!(shift & ssAlt) && (target->Perform(WM_GETDLGCODE) & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)))
    return false;
  return form->Perform(CM_DIALOGCHAR, WPARAM(static_cast<unsigned char>(ch)), shift) != 0;
}

bool IsDialogMessage(const win::MSG& msg) {
  using namespace win;
  bool input = (msg.message >= WM_KEYDOWN && msg.message <= WM_SYSCHAR) ||
               (msg.message >= WM_MOUSEMOVE && msg.message <= 0x020E);  // up to WM_MOUSEHWHEEL
  TWinControl* target = input ? TWinControl::FindControl(msg.hwnd) : nullptr;
  if (!target) return false;
  if (BlockedByModal(target)) return true;
  bool sys = msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSCHAR;
  bool key = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
  if (!key && msg.message != WM_CHAR && msg.message != WM_SYSCHAR) return false;
  TShiftState shift = KeyboardShiftState() | (sys ? ssAlt : 0);
  if (key) return DialogKey(target, WORD(msg.wParam), shift);
  return DialogChar(target, char(msg.wParam), shift);
}

void TForm::WndProc(TMessage& m) {
  using namespace win;
  if (m.Msg == CM_DIALOGKEY) {
    WORD key = WORD(m.WParam);
    TShiftState shift = TShiftState(m.LParam);
    TWinControl* focused = FocusedControl();
    if (focused && !ContainsControl(focused)) focused = nullptr;
    m.Result = 0;
    if (key == VK_TAB && !(shift & (ssAlt | ssCtrl))) {
      SelectNext(focused, !(shift & ssShift));
      // Tabbing into a group with none checked checks the button it lands on.
      if (auto* r = dynamic_cast<TRadioButton*>(FocusedControl()); r && !r->Checked())
        r->Perform(BM_CLICK);
      m.Result = 1;
    } else if (key >= VK_LEFT && key <= VK_DOWN) {
      // The arrows move among the focused control's siblings of its own kind (a group of
      // radio buttons, a row of buttons), whether or not they are tab stops.
      if (!focused || !focused->Parent()) return;
      std::vector<TWinControl*> group;
      for (auto* w : focused->Parent()->TabList())
        if (typeid(*w) == typeid(*focused) && (w == focused || w->CanFocus())) group.push_back(w);
      auto it = std::find(group.begin(), group.end(), focused);
      int n = int(group.size()), i = int(it - group.begin());
      i = ((i + (key == VK_RIGHT || key == VK_DOWN ? 1 : -1)) % n + n) % n;
      TWinControl* next = group[size_t(i)];
      next->SetFocus();
      FActiveControl = next;
      if (dynamic_cast<TRadioButton*>(next)) next->Perform(BM_CLICK);
      m.Result = 1;
    } else if (key == VK_RETURN || key == VK_ESCAPE) {
      TButton* target = nullptr;
      if (key == VK_RETURN) target = dynamic_cast<TButton*>(focused);
      if (!target)
        forEachControl(this, [&](TControl* c) {
          auto* b = dynamic_cast<TButton*>(c);
          if (!target && b && usableControl(b) && (key == VK_RETURN ? b->Default() : b->Cancel()))
            target = b;
        });
      if (target && usableControl(target)) {
        target->Perform(BM_CLICK);
        m.Result = 1;
      }
    }
    return;
  }
  if (m.Msg == CM_DIALOGCHAR) {
    char ch = char(m.WParam);
    TControl* target = nullptr;
    forEachControl(this, [&](TControl* c) {
      if (!target && usableControl(c) && IsAccel(ch, c->Caption())) target = c;
    });
    m.Result = 0;
    if (!target) return;
    m.Result = 1;
    if (auto* l = dynamic_cast<TLabel*>(target)) {
      if (auto* fc = l->FocusControl(); fc && fc->CanFocus()) fc->SetFocus();
      return;
    }
    if (auto* g = dynamic_cast<TGroupBox*>(target)) {
      if (auto* next = g->FindNextControl(nullptr, true, true)) next->SetFocus();
      return;
    }
    if (auto* w = dynamic_cast<TWinControl*>(target); w && w->CanFocus()) w->SetFocus();
    target->Perform(BM_CLICK);
    return;
  }
  if (m.Msg == WM_CLOSE) {
    Close();
    return;
  }
  if (m.Msg == WM_QUERYENDSESSION) {
    m.Result = 1;
    return;
  }
  if (m.Msg == CM_VISIBLECHANGED && !m.WParam) DisplayBackend::FormHidden(this);
  TCustomControl::WndProc(m);
}

void TDataModule::DefineProps(TPropList& p) {
  p.Event("OnCreate", &TDataModule::OnCreate);
  p.Event("OnDestroy", &TDataModule::OnDestroy);
}

void TDataModule::InitForm() {
  InitInheritedComponent(this);
  OnCreate(this);
}

void TApplication::DefineProps(TPropList&) {}

TApplication::TApplication(TComponent* owner)
    : TComponent(owner), FSources(StandardEventSources()) {}

void TApplication::AddEventSource(TEventSource* source) {
  if (source && std::find(FSources.begin(), FSources.end(), source) == FSources.end())
    FSources.push_back(source);
}

void TApplication::RemoveEventSource(TEventSource* source) { std::erase(FSources, source); }

void TApplication::Stalled(const std::string& what) {
  for (TEventSource* s : std::vector<TEventSource*>(FSources)) s->Stalled(what);
}

void TApplication::Run() {
  NoteActivity();
  // A PC whose state cannot be written leaves the program out of the session (a stale entry
  // is never signalled: its process is gone).
  auto session = [](void (*f)()) {
    try {
      f();
    } catch (const std::exception&) {
    }
  };
  session(&win::JoinSession);
  struct Leave {
    decltype(session)& leave;
    ~Leave() { leave(&win::LeaveSession); }
  } leave{session};
  if (FMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated) {
    if (HandleMessage() || FTerminated) continue;
    // The main form is gone: nothing more for a user to do.
    if (!FMainForm || !FMainForm->Visible()) break;
    if (!WaitForWork()) {
      Stalled("the program waits for a user (the script has no more commands)");
      break;  // no source ended the run: nothing more can happen
    }
  }
}

void TApplication::NoteActivity() { FLastActivity = win::TimerClock(); }

bool TApplication::WaitForWork() {
  std::uint64_t now = win::TimerClock(), next = 0;
  bool due = false, coming = false;
  for (TEventSource* s : FSources) {
    std::uint64_t at = 0;
    bool ticking = true;
    if (!s->NextDue(&at, &ticking)) continue;
    if (!due || at < next) next = at;
    due = true;
    coming |= !ticking;
  }
  if (!coming) {
    // Only ticking work (or none) is due: a user may bring more.
    int timeout = due ? int(next > now ? next - now : 0) : -1;
    for (TEventSource* s : FSources)
      if (s->WaitForUser(timeout)) return true;
    bool pending =
        std::any_of(FSources.begin(), FSources.end(), [](TEventSource* s) { return s->Pending(); });
    if (!due || pending) return pending;
    if (next > FLastActivity + std::uint64_t(FIdleLimit)) return false;
  }
  if (next > now)
    for (TEventSource* s : FSources)
      if (s->PassTime(now, next)) break;
  return true;
}

void TApplication::EndSession() {
  FSessionEnded = true;
  std::vector<TForm*> windows;
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (TForm* f = Screen->Forms(i); !f->Parent() && f->Visible()) windows.push_back(f);
  for (TForm* f : windows)
    if (!f->Perform(win::WM_QUERYENDSESSION)) return;
  for (TForm* f : windows) f->Perform(win::WM_ENDSESSION, win::TRUE);
  win::SessionEnded(win::Machine::ProgramName());
  Terminate();
}

bool TApplication::HandleMessage() {
  if (!FSessionEnded && win::SessionEnding()) {
    EndSession();
    return true;
  }
  win::MSG msg;
  if (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
    if (msg.message == win::WM_QUIT) {
      FTerminated = true;
      return true;
    }
    Dispatch(msg);
    return true;
  }
  Idle();
  // Idle: what changed reaches the screen (and the snapshots) before the next command.
  for (TEventSource* s : FSources) s->Present();
  for (TEventSource* s : FSources)
    if (s->RunReady()) {
      NoteActivity();
      for (TEventSource* t : FSources) t->Changed();
      return true;
    }
  return false;
}

void TApplication::Dispatch(const win::MSG& msg) {
  // Keys, clicks and commands from the queue end the hint, as they do from any input.
  if (msg.message != win::WM_TIMER) HintInput(TMessage{msg.message, msg.wParam, msg.lParam, 0});
  for (TEventSource* s : FSources) s->Changed();
  try {
    if (!IsDialogMessage(msg)) win::DispatchMessage(&msg);
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

void TApplication::ProcessMessages() {
  for (TEventSource* s : FSources) s->Collect();
  win::MSG msg;
  while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
    if (msg.message == win::WM_QUIT) {
      FTerminated = true;
      return;
    }
    Dispatch(msg);
  }
  for (TEventSource* s : FSources) s->Present();
}

void TApplication::Idle() {
  for (TEventSource* s : FSources) s->Idle();
  try {
    OnIdle(this);
    for (auto* l : std::vector<TActionList*>(AllActionLists())) l->UpdateActions();
    // The keyboard always has a place in the active window.
    if (TForm* active = Screen->ActiveForm()) active->EnsureFocus();
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

void TApplication::HandleException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) {
    OnException(this, e);
    return;
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  MessageDlg(e.what(), mtError, MsgButtons({mbOK}), 0);
}

void TApplication::Reset() {
  FTerminated = false;
  FSessionEnded = false;
  FMainForm = nullptr;
  CancelHint();
  SetHintControl(nullptr);
}

namespace {
// WI_IDLE_LIMIT_MS: how long an unattended program whose script is used up lets its timers
// tick before it ends as waiting for a user; tests that expect that end set it short.
int IdleLimitFromEnvironment(int fallback) {
  const char* text = std::getenv("WI_IDLE_LIMIT_MS");
  if (!text || !*text) return fallback;
  int ms = 0;
  const char* end = text + std::strlen(text);
  auto [last, error] = std::from_chars(text, end, ms);
  if (error != std::errc() || last != end || ms < 0) {
    std::fprintf(stderr, "WI_IDLE_LIMIT_MS=%s is not a number of milliseconds: %d ms used\n", text,
                 fallback);
    return fallback;
  }
  return ms;
}
}  // namespace

TApplication* TApplicationRef::Get() {
  static TApplication* app = [] {
    auto* a = new TApplication(nullptr);
    a->SetIdleLimit(IdleLimitFromEnvironment(a->IdleLimit()));
    // Hooks run in reverse order of registration, interleaved with static destructors: this
    // one runs before those of the statics made before the application (the programs' own).
    std::atexit([] { Application->DestroyComponents(); });
    return a;
  }();
  return app;
}

WI_REGISTER_CLASS(TForm);
WI_REGISTER_CLASS(TDataModule);
