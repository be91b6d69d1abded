#pragma once
// What the message loop serves besides its thread's queue: the event sources registered with
// the application (TApplication::AddEventSource). The loop knows none of them by name; it
// asks each in turn at the points of its step (see TApplication::HandleMessage and
// WaitForWork). The application starts with the standard ones: the display, the timers
// with the clock, the UI script, and the folders the file calls hold.
#include <cstdint>
#include <string>
#include <vector>

class TEventSource {
 public:
  virtual ~TEventSource() = default;
  // Before ProcessMessages reads the queue: what arrived outside it is queued (the
  // display's input).
  virtual void Collect() {}
  // A message or a command is handled: what shows may change.
  virtual void Changed() {}
  // The program goes idle: what a wait should not hold is let go.
  virtual void Idle() {}
  // After the idle work: what changed is presented (the screen, the snapshots).
  virtual void Present() {}
  // Runs one piece of this source's work when one is ready (a script command); true when
  // it ran.
  virtual bool RunReady() { return false; }
  // Work that is there but waits for the loop to be idle (script commands).
  virtual bool Pending() { return false; }
  // When this source has work next (TimerClock time), if it knows. `ticking`: work that may
  // come back without end (timers), which is no sign that the program gets anywhere.
  virtual bool NextDue(std::uint64_t* due, bool* ticking) { return false; }
  // Lets time pass from now until `until` (simulated: the clock jumps; real: the thread
  // waits, waking for a posted message). False when this source does not keep the time.
  virtual bool PassTime(std::uint64_t now, std::uint64_t until) { return false; }
  // Waits up to timeoutMs (-1: no limit) for a user's input, queued as messages. False when
  // this source has no user.
  virtual bool WaitForUser(int timeoutMs) { return false; }
  // Nothing can happen any more; `what` says where the program waits. A source that
  // answers for an unattended run ends it here.
  virtual void Stalled(const std::string& what) {}
};

// The standard sources, in the order the loop asks them: the display, the timers, the UI
// script, the folders. Made once, never destroyed.
std::vector<TEventSource*> StandardEventSources();
