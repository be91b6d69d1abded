#pragma once
// The class library's thread class: Execute runs on a thread of its own. Execute is virtual,
// so a thread must not run before its most derived constructor has ended: one created running
// is made with TThread::New, which starts it once the object is complete; one created
// suspended runs from its Resume (or Start). The destructor asks it to terminate and waits for
// it (resuming it first when it never ran), so a derived class whose Execute waits on
// something of its own must make it return before its members go.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/forms/Classes.h"

// A thread created running other than through TThread::New.
class EThread : public Exception {
 public:
  using Exception::Exception;
};

class TThread : public TObject {
 public:
  // Throws EThread when createSuspended is false outside TThread::New.
  explicit TThread(bool createSuspended);
  ~TThread() override;
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Constructs a T (derived from TThread) and, when it was created running, starts it.
  template <class T, class... Args>
  static T* New(Args&&... args) {
    t_creating = true;
    T* thread;
    try {
      thread = new T(std::forward<Args>(args)...);
    } catch (...) {
      t_creating = false;
      throw;
    }
    thread->AfterConstruction();
    return thread;
  }

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
  void AfterConstruction();
  // Set by New until the TThread constructor it calls has begun.
  static thread_local bool t_creating;
  bool FCreateSuspended;
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::thread FThread;
  bool FStarted = false, FFinished = false;
  std::atomic<bool> FTerminated{false};
  bool FFreeOnTerminate = false;
  std::exception_ptr FFatal;
};
