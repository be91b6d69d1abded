#include "platform/forms/EventSources.h"

#include "platform/forms/DisplayBackend.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Messages.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Clock.h"
#include "platform/system/FolderHandles.h"

namespace {

// The display: its input comes in, what changed is painted once the program is idle, and
// with a user (the input waiter a back-end with a screen installs) the loop waits for them.
class TDisplaySource : public TEventSource {
 public:
  void Collect() override { DisplayBackend::TakePendingInput(); }
  void Changed() override { DisplayBackend::Changed(); }
  void Present() override { DisplayBackend::Update(); }
  bool WaitForUser(int timeoutMs) override {
    if (!Application->InputWaiter) return false;
    Application->InputWaiter(timeoutMs);
    return true;
  }
};

// The thread's timers, and the clock that brings them due.
class TTimerSource : public TEventSource {
 public:
  bool NextDue(std::uint64_t* due, bool* ticking) override {
    *ticking = true;
    return win::NextTimerDue(due);
  }
  bool PassTime(std::uint64_t now, std::uint64_t until) override {
    if (win::clock::IsSimulated())
      win::clock::Advance(until - now);
    else
      win::WaitMessage(win::DWORD(until - now));
    return true;
  }
};

// The UI script: its commands run when the program is idle, its waits are work coming, and
// an unattended run that can get no further ends with its error.
class TScriptSource : public TEventSource {
 public:
  bool RunReady() override { return UiDriver::RunNextCommand(); }
  bool Pending() override { return UiScript::HasPendingCommands(); }
  bool NextDue(std::uint64_t* due, bool* ticking) override {
    *ticking = false;
    return UiDriver::WaitingUntil(due);
  }
  void Stalled(const std::string& what) override { UiScript::Fail(what); }
};

// The folders the file calls hold: let go while the program waits, so that a host file
// system under one of the PC's drives (a removable disk) can be unmounted meanwhile.
class TFolderSource : public TEventSource {
 public:
  void Idle() override { win::FolderHandle::Release(); }
};

}  // namespace

std::vector<TEventSource*> StandardEventSources() {
  static TDisplaySource& display = *new TDisplaySource;
  static TTimerSource& timers = *new TTimerSource;
  static TScriptSource& script = *new TScriptSource;
  static TFolderSource& folders = *new TFolderSource;
  return {&display, &timers, &script, &folders};
}
