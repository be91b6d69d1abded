#pragma once
// The class library's thread class: Execute runs on a thread of its own. Derived classes
// make it suspended and Resume at the end of their constructor (Execute is virtual); the destructor
// asks it to terminate and waits for it (resuming it first when it never ran), so a derived class
// whose Execute waits on something of its own must make it return before its members go.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/forms/Classes.h"

class TThread : public TObject {
 public:
  explicit TThread(bool createSuspended);
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Resume();
  void Start() { Resume(); }
  bool Suspended() const;
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  bool Finished() const;
  // Freed by itself when Execute ends (only for threads made with new).
  bool FreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool v) { FFreeOnTerminate = v; }
  // Waits until Execute has ended.
  void WaitFor();
  // Same, at most timeoutMs milliseconds; false on time-out.
  bool WaitFor(unsigned timeoutMs);
  // An exception Execute let escape, or null.
  std::exception_ptr FatalException() const { return FFatal; }

 protected:
  virtual void Execute() = 0;

 private:
  void Run();
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::thread FThread;
  bool FStarted = false, FFinished = false;
  std::atomic<bool> FTerminated{false};
  bool FFreeOnTerminate = false;
  std::exception_ptr FFatal;
};
