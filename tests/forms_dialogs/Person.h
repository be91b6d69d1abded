#pragma once
// A person at the screen, for dialogs shown without a UI script: whenever the program waits
// for input (the application's input waiter, as a display back end installs it), the next
// step runs; it looks at the active form and posts key and mouse messages to its windows
// through the real message queue. Running out of steps is a failure, never a hang.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Clock.h"
#include "tests/support/TempMachine.h"

class Person {
 public:
  Person() {
    Application->InputWaiter = [this](int) {
      // What the last step posted has been handled: the keys are up again.
      SetKeyboardShiftState(0);
      if (steps_.empty())
        throw EUiScriptError("the person was asked for more than the test planned");
      auto step = std::move(steps_.front());
      steps_.pop_front();
      ++taken_;
      step();
    };
  }
  ~Person() {
    Application->InputWaiter = nullptr;
    SetKeyboardShiftState(0);
  }
  Person(const Person&) = delete;
  Person& operator=(const Person&) = delete;

  // Adds what the person does the next time the program waits.
  Person& Then(std::function<void()> step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  // A key on the focused control (the active form when none): Alt makes it a system key.
  Person& Key(win::WORD key, TShiftState shift = 0) {
    return Then([key, shift] { PostKey(key, shift); });
  }
  Person& Chars(const std::string& text) {
    return Then([text] {
      for (char c : text)
        win::PostMessage(Target(), win::WM_CHAR, win::WPARAM(static_cast<unsigned char>(c)), 0);
    });
  }
  // A click in the middle of the named control of the active form.
  Person& Click(const std::string& name) {
    return Then([name] { PostClick(Find(name), -1, -1); });
  }
  // A double click on a point of the named control.
  Person& DoubleClick(const std::string& name, int x, int y) {
    return Then([name, x, y] { PostClick(Find(name), x, y, true); });
  }
  // The window manager's close box of the active form (WM_CLOSE).
  Person& CloseBox() {
    return Then([] { win::PostMessage(Screen->ActiveForm()->Handle(), win::WM_CLOSE, 0, 0); });
  }
  // Leaves the dialog without its answer, one of three ways: 0 Escape, 1 the named cancel
  // button, 2 the close box.
  Person& Dismiss(int way, const std::string& cancelButton) {
    if (way == 0) return Key(win::VK_ESCAPE);
    if (way == 1) return Click(cancelButton);
    return CloseBox();
  }
  // Looks without acting (checks on the shown dialog); the program waits again after it,
  // so a Look is always followed by another step.
  Person& Look(std::function<void(TForm&)> look) {
    return Then([look = std::move(look)] {
      ASSERT_NE(Screen->ActiveForm(), nullptr);
      look(*Screen->ActiveForm());
      win::PostMessage(Screen->ActiveForm()->Handle(), win::WM_NULL, 0, 0);
    });
  }

  size_t Left() const { return steps_.size(); }
  int Taken() const { return taken_; }

  static win::HWND Target() {
    if (TWinControl* f = FocusedControl(); f && f->Showing()) return f->Handle();
    return Screen->ActiveForm()->Handle();
  }
  static TWinControl* Find(const std::string& name) {
    auto* c = dynamic_cast<TWinControl*>(Screen->ActiveForm()->FindComponent(name));
    if (!c) throw EUiScriptError("no window \"" + name + "\" on the active form");
    return c;
  }
  static void PostKey(win::WORD key, TShiftState shift) {
    SetKeyboardShiftState(shift & ~ssAlt);
    bool alt = shift & ssAlt;
    win::PostMessage(Target(), alt ? win::WM_SYSKEYDOWN : win::WM_KEYDOWN, key, 0);
    win::PostMessage(Target(), win::WM_KEYUP, key, 0);
  }
  static void PostClick(TWinControl* c, int x, int y, bool twice = false) {
    if (x < 0) x = c->Width() / 2, y = c->Height() / 2;
    auto at = win::MAKELPARAM(win::WORD(x), win::WORD(y));
    win::PostMessage(c->Handle(), win::WM_LBUTTONDOWN, 1, at);
    win::PostMessage(c->Handle(), win::WM_LBUTTONUP, 0, at);
    if (!twice) return;
    win::PostMessage(c->Handle(), win::WM_LBUTTONDBLCLK, 1, at);
    win::PostMessage(c->Handle(), win::WM_LBUTTONUP, 0, at);
  }

 private:
  std::deque<std::function<void()>> steps_;
  int taken_ = 0;
};

// No script: the dialogs wait for the person (tests give them one through Person).
class PersonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("WI_HEADLESS", "1", 1);
    win::clock::SetSimulated(true);
    UiScript::Reset();
    UiScript::SetScripted(false);
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  void TearDown() override {
    Application->InputWaiter = nullptr;
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    UiScript::Reset();
  }
};

// A dialog component answered by a person on a bare simulated PC; Form is the form it shows.
template <class DialogForm, class Dialog>
class DialogPersonTest : public PersonTest {
 protected:
  static DialogForm& Form(TForm& f) { return dynamic_cast<DialogForm&>(f); }
  TempMachine pc_;
  Dialog dialog_{nullptr};
};
