#include "platform/forms/UiDriver.h"

#include <cstdlib>

#include "platform/forms/ActnList.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/ViewDriver.h"
#include "platform/forms/WindowPainter.h"
#include "platform/system/Clock.h"

namespace UiDriver {
namespace {

std::uint64_t g_waitUntil = 0;
bool g_waiting = false;
// A user acts no sooner than this after the program went idle for a command, so timers
// the program set for its start (and other near ones) fire first.
constexpr std::uint64_t kUserDelayMs = 100;
bool g_ready = false;
std::uint64_t g_readyAt = 0;

// True while the next command holds back for a timer due within the user's delay.
bool commandHeldBack(std::uint64_t* until) {
  if (!g_ready || !UiScript::HasPendingCommands()) return false;
  std::uint64_t due;
  if (!win::NextTimerDue(&due) || due > g_readyAt + kUserDelayMs) return false;
  *until = g_readyAt + kUserDelayMs;
  return true;
}

[[noreturn]] void fail(const std::string& m) { throw EUiScriptError(m); }

std::string describe(TComponent* c) {
  return std::string(c->ClassName()) + " " + (c->Name().empty() ? "(sans nom)" : c->Name());
}

TComponent* lookIn(TComponent* root, const std::string& name) {
  if (!root) return nullptr;
  if (AnsiCompareText(root->Name(), name) == 0) return root;
  return root->FindComponent(name);
}

// Where a bare name is looked for, in order.
std::vector<TComponent*> searchOrder() {
  std::vector<TComponent*> out;
  auto add = [&](TComponent* c) {
    if (c && std::find(out.begin(), out.end(), c) == out.end()) out.push_back(c);
  };
  TForm* active = Screen->ActiveForm();
  add(active);
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TForm* f = Screen->Forms(i);
    if (active && f->Parent() && active->ContainsControl(f) && f->Showing()) add(f);
  }
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i)->Showing()) add(Screen->Forms(i));
  for (int i = 0; i < Screen->FormCount(); ++i) add(Screen->Forms(i));
  if (Application)
    for (int i = 0; i < Application->ComponentCount(); ++i) add(Application->Components(i));
  return out;
}

TControl* usable(TComponent* c) {
  auto* ctl = dynamic_cast<TControl*>(c);
  if (!ctl) return nullptr;
  if (!ctl->Showing()) fail(describe(c) + " is not visible");
  for (const TControl* p = ctl; p; p = p->Parent())
    if (!p->Enabled()) fail(describe(c) + " is disabled");
  return ctl;
}

void focus(TControl* c) {
  auto* w = dynamic_cast<TWinControl*>(c);
  if (w && w->CanFocus() && !w->Focused()) {
    w->SetFocus();
    if (auto* f = dynamic_cast<TForm*>(w->ParentForm())) f->SetActiveControl(w);
  }
}

struct ShiftScope {
  explicit ShiftScope(TShiftState s) { SetKeyboardShiftState(s); }
  ~ShiftScope() { SetKeyboardShiftState(0); }
};

// The key going down: dialog keys the control does not want go to its form; true when the
// form used the key (or it was an Alt shortcut, which is only ever an accelerator).
bool keyDown(TWinControl* target, win::WORD key, TShiftState shift) {
  Application->HintInput(TMessage{win::WM_KEYDOWN, key, 0, 0});
  ShiftScope scope(shift);
  if (DialogKey(target, key, shift) || (shift & ssAlt)) return true;
  target->Perform(win::WM_KEYDOWN, key);
  return false;
}

void keyUp(TWinControl* target, win::WORD key, TShiftState shift) {
  ShiftScope scope(shift);
  target->Perform(win::WM_KEYUP, key);
}

void sendKey(TWinControl* target, win::WORD key, TShiftState shift) {
  if (keyDown(target, key, shift)) return;
  if (key == win::VK_SPACE || key == win::VK_RETURN || key == win::VK_ESCAPE ||
      (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) {
    ShiftScope scope(shift);
    char ch = key >= 'A' && key <= 'Z' && !(shift & ssShift) ? char(key - 'A' + 'a') : char(key);
    if (!DialogChar(target, ch, shift))
      target->Perform(win::WM_CHAR, win::WPARAM(static_cast<unsigned char>(ch)));
  }
  // The character's handler may have moved the focus (an accelerator): the key comes up there.
  if (FocusedControl() && FocusedControl()->Showing()) target = FocusedControl();
  keyUp(target, key, shift);
}

TWinControl* keyTarget() {
  if (auto* f = FocusedControl(); f && f->Showing()) return f;
  if (auto* a = Screen->ActiveForm()) return a;
  fail("no form is shown to receive keys");
}

}  // namespace

TForm* FindForm(const std::string& name) {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (AnsiCompareText(Screen->Forms(i)->Name(), name) == 0) return Screen->Forms(i);
  return nullptr;
}

TComponent* Find(TComponent* root, const std::string& name) {
  if (name.empty()) fail("no component name given");
  if (root) {
    if (auto* c = lookIn(root, name)) return c;
  }
  size_t dot = name.find('.');
  if (dot != std::string::npos) {
    std::string owner = name.substr(0, dot), rest = name.substr(dot + 1);
    TComponent* r = FindForm(owner);
    if (!r && Application) r = Application->FindComponent(owner);
    if (!r) fail("no form or data module \"" + owner + "\"");
    auto* c = r->FindComponent(rest);
    if (!c) fail("no component \"" + rest + "\" on " + owner);
    return c;
  }
  if (!root)
    for (auto* r : searchOrder())
      if (auto* c = lookIn(r, name)) return c;
  std::string where = root                   ? root->Name()
                      : Screen->ActiveForm() ? Screen->ActiveForm()->Name()
                                             : "";
  fail("no component \"" + name + "\"" + (where.empty() ? "" : " on " + where));
}

void Click(TComponent* root, const std::string& name) {
  TComponent* c = Find(root, name);
  if (auto* a = dynamic_cast<TAction*>(c)) {
    a->Update();
    if (!a->Enabled()) fail("the action " + a->Name() + " is disabled");
    a->Execute();
    return;
  }
  TControl* ctl = usable(c);
  if (!ctl) fail(describe(c) + " cannot be clicked");
  if (auto* w = dynamic_cast<TWinControl*>(ctl); w && w->TabStop()) focus(w);
  Application->HintInput(TMessage{win::WM_LBUTTONDOWN, 0, 0, 0});
  ctl->Perform(win::WM_LBUTTONDOWN, 0,
               win::MAKELPARAM(win::WORD(ctl->Width() / 2), win::WORD(ctl->Height() / 2)));
  ctl->Perform(win::WM_LBUTTONUP, 0,
               win::MAKELPARAM(win::WORD(ctl->Width() / 2), win::WORD(ctl->Height() / 2)));
}

void Type(TComponent* root, const std::string& name, const std::string& text) {
  TComponent* c = Find(root, name);
  auto* e = dynamic_cast<TCustomEdit*>(c);
  if (!e) fail(describe(c) + " is not an edit");
  usable(e);
  if (e->ReadOnly()) fail(describe(c) + " is read-only");
  focus(e);
  e->SelectAll();
  if (text.empty()) e->Perform(win::WM_KEYDOWN, win::VK_DELETE);
  for (char ch : text) e->Perform(win::WM_CHAR, win::WPARAM(static_cast<unsigned char>(ch)));
}

void Check(TComponent* root, const std::string& name, bool checked) {
  TComponent* c = Find(root, name);
  TControl* ctl = usable(c);
  if (auto* cb = dynamic_cast<TCheckBox*>(ctl)) {
    focus(cb);
    if (cb->Checked() != checked) cb->SetChecked(checked);
    return;
  }
  if (auto* rb = dynamic_cast<TRadioButton*>(ctl)) {
    if (!checked) fail(describe(c) + ": a radio button is unchecked by checking another");
    focus(rb);
    if (!rb->Checked()) rb->Perform(win::BM_CLICK);
    return;
  }
  if (auto* sb = dynamic_cast<TSpeedButton*>(ctl); sb && sb->GroupIndex()) {
    if (sb->Down() != checked) sb->Perform(win::BM_CLICK);
    if (sb->Down() != checked) fail(describe(c) + " cannot be raised (AllowAllUp is False)");
    return;
  }
  // Painted controls of other libraries (a custom radio button) publish a Boolean Checked
  // and check on a click: focus and a press released in the middle, as a user does.
  const TPropInfo* prop = ctl->ClassInfo()->FindProp("Checked");
  if (prop && prop->kind == pkBool && prop->get) {
    auto isChecked = [&] { return AnsiCompareText(prop->get(ctl).s, "True") == 0; };
    // Nothing to do leaves it alone: such a control may check itself on focus.
    if (isChecked() == checked) return;
    focus(ctl);
    if (isChecked() != checked) {
      auto at = win::MAKELPARAM(win::WORD(ctl->Width() / 2), win::WORD(ctl->Height() / 2));
      ctl->Perform(win::WM_LBUTTONDOWN, 0, at);
      ctl->Perform(win::WM_LBUTTONUP, 0, at);
    }
    if (isChecked() != checked)
      fail(describe(c) +
           (checked ? " cannot be checked by a click" : " cannot be unchecked by a click"));
    return;
  }
  fail(describe(c) + " cannot be checked");
}

void Select(TComponent* root, const std::string& name, const std::string& item) {
  TComponent* c = Find(root, name);
  // Views: a node path (levels separated by backslashes) or an item caption.
  if (auto* tree = dynamic_cast<TCustomTreeView*>(c)) {
    ViewDriver::SelectPath(tree, item);
    return;
  }
  if (auto* list = dynamic_cast<TCustomListView*>(c)) {
    ViewDriver::SelectItem(list, item);
    return;
  }
  auto* lb = dynamic_cast<TCustomListBox*>(c);
  if (!lb) fail(describe(c) + " is not a list box");
  usable(lb);
  int index = -1;
  if (item.size() > 1 && item[0] == '#') {
    char* end = nullptr;
    long v = std::strtol(item.c_str() + 1, &end, 10);
    if (*end || v < 0 || v >= lb->Count())
      fail(describe(c) + " has no line " + item + " (" + std::to_string(lb->Count()) + " lines)");
    index = int(v);
  } else {
    for (int i = 0; i < lb->Count() && index < 0; ++i)
      if (AnsiCompareText(lb->Items()->Get(i), item) == 0) index = i;
    if (index < 0) {
      std::string lines;
      for (int i = 0; i < lb->Count(); ++i)
        lines += (i ? ", \"" : "\"") + lb->Items()->Get(i) + "\"";
      fail(describe(c) + " has no line \"" + item + "\" (lines: " + lines + ")");
    }
  }
  focus(lb);
  lb->SelectByUser(index);
}

void Close(TForm* form) {
  if (!form) form = Screen->ActiveForm();
  if (!form) fail("no form is shown to close");
  form->Close();
}

void Close(const std::string& name) {
  if (name.empty()) return Close(static_cast<TForm*>(nullptr));
  TForm* f = FindForm(name);
  if (!f) f = dynamic_cast<TForm*>(Find(nullptr, name));
  if (!f) fail("no form \"" + name + "\"");
  Close(f);
}

void Key(win::WORD key, TShiftState shift) { sendKey(keyTarget(), key, shift); }

void KeyDown(win::WORD key, TShiftState shift) { keyDown(keyTarget(), key, shift); }

void KeyUp(win::WORD key, TShiftState shift) { keyUp(keyTarget(), key, shift); }

void Chars(const std::string& text) {
  if (!text.empty())
    Application->HintInput(
        TMessage{win::WM_CHAR, win::WPARAM(static_cast<unsigned char>(text[0])), 0, 0});
  for (char ch : text) {
    TWinControl* target = keyTarget();
    if (!DialogChar(target, ch, KeyboardShiftState()))
      target->Perform(win::WM_CHAR, win::WPARAM(static_cast<unsigned char>(ch)));
  }
}

void MoveMouse(TComponent* root, const std::string& name, int x, int y) {
  TComponent* c = Find(root, name);
  auto* ctl = dynamic_cast<TControl*>(c);
  if (!ctl) fail(describe(c) + " is not a control");
  if (!ctl->Showing()) fail(describe(c) + " is not visible");
  if (x < 0 || y < 0) x = ctl->Width() / 2, y = ctl->Height() / 2;
  // The pointer lands on whatever lies topmost there (a child, a sibling on top), as with a
  // real mouse: the point goes to form coordinates and is hit-tested back.
  TControl* hit = ctl;
  win::POINT local{x, y};
  if (auto* form = dynamic_cast<TForm*>(ctl->ParentForm()); form && form != ctl) {
    win::POINT p{x, y};
    for (TControl* q = ctl; q != form; q = q->Parent()) {
      win::POINT off =
          q->Parent() != form ? ControlPaint::ClientOffset(q->Parent()) : win::POINT{0, 0};
      p.x += q->Left() + off.x, p.y += q->Top() + off.y;
    }
    hit = WindowPainter::ControlAt(form, p.x, p.y, &local);
  } else if (form) {
    hit = WindowPainter::ControlAt(form, x, y, &local);
  }
  if (!hit) hit = ctl, local = win::POINT{x, y};
  Application->MouseMoved(hit, local);
  if (MouseControl() == hit)
    hit->Perform(win::WM_MOUSEMOVE, 0,
                 win::MAKELPARAM(win::WORD(short(local.x)), win::WORD(short(local.y))));
}

void MoveMouseAway() { Application->MouseMoved(nullptr, win::POINT{}); }

void RunUntilIdle() {
  for (int n = 0; Application->HandleMessage(); ++n)
    if (n > 100000) fail("the program never goes idle (messages keep coming)");
}

void Advance(std::uint64_t ms) {
  if (!win::clock::IsSimulated()) fail("Advance needs the simulated clock");
  std::uint64_t target = win::TimerClock() + ms;
  for (;;) {
    RunUntilIdle();
    std::uint64_t now = win::TimerClock(), due;
    if (now >= target) return;
    std::uint64_t next = win::NextTimerDue(&due) && due < target ? std::max(due, now) : target;
    win::clock::Advance(next - now);
  }
}

bool WaitingUntil(std::uint64_t* until) {
  if (g_waiting && win::TimerClock() >= g_waitUntil) g_waiting = false;
  if (g_waiting) {
    *until = g_waitUntil;
    return true;
  }
  return commandHeldBack(until);
}

void Reset() { g_waiting = g_ready = false; }

void Execute(const UiScript::Command& cmd) {
  const auto& a = cmd.args;
  if (cmd.verb == "click")
    Click(nullptr, a.at(0));
  else if (cmd.verb == "type")
    Type(nullptr, a.at(0), a.at(1));
  else if (cmd.verb == "check")
    Check(nullptr, a.at(0), true);
  else if (cmd.verb == "uncheck")
    Check(nullptr, a.at(0), false);
  else if (cmd.verb == "select")
    Select(nullptr, a.at(0), a.at(1));
  else if (cmd.verb == "close")
    Close(a.empty() ? std::string() : a[0]);
  else if (cmd.verb == "wait") {
    g_waitUntil = win::TimerClock() + std::strtoull(a.at(0).c_str(), nullptr, 10);
    g_waiting = true;
  } else
    fail("unknown command " + cmd.verb);
}

bool RunNextCommand() {
  std::uint64_t until;
  if (g_waiting && WaitingUntil(&until)) return false;
  if (!UiScript::HasPendingCommands()) return false;
  if (!g_ready) g_ready = true, g_readyAt = win::TimerClock();
  if (commandHeldBack(&until)) return false;
  g_ready = false;
  auto cmd = UiScript::NextCommand();
  if (!cmd) return false;
  try {
    Execute(*cmd);
  } catch (const EUiScriptError& e) {
    // Errors of the command itself name the script line; those of dialogs it opened
    // already say what went wrong.
    std::string m = e.what();
    if (m.rfind(cmd->where, 0) == 0 || m.find("unexpected") != std::string::npos) throw;
    UiScript::Fail(cmd->where + ": " + cmd->verb + (cmd->args.empty() ? "" : " " + cmd->args[0]) +
                   ": " + m);
  } catch (const std::exception& e) {
    Application->HandleException(e);
  }
  return true;
}

}  // namespace UiDriver
