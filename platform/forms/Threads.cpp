#include "platform/forms/Threads.h"

#include <chrono>

thread_local bool TThread::t_creating = false;

TThread::TThread(bool createSuspended) : FCreateSuspended(createSuspended) {
  const bool made = t_creating;
  t_creating = false;  // a thread the derived constructor makes is not this one
  if (!createSuspended && !made)
    throw EThread("a thread created running is made with TThread::New");
  FThread = std::thread([this] { Run(); });
}

void TThread::AfterConstruction() {
  if (!FCreateSuspended) Resume();
}

TThread::~TThread() {
  if (FThread.get_id() == std::this_thread::get_id()) {
    // Freed by its own thread (FreeOnTerminate): nothing left to wait for.
    FThread.detach();
    return;
  }
  Terminate();
  Resume();
  WaitFor();
  if (FThread.joinable()) FThread.join();
}

void TThread::Resume() {
  std::lock_guard lock(FLock);
  if (FStarted) return;
  FStarted = true;
  FChanged.notify_all();
}

bool TThread::Suspended() const {
  std::lock_guard lock(FLock);
  return !FStarted;
}

bool TThread::Finished() const {
  std::lock_guard lock(FLock);
  return FFinished;
}

void TThread::WaitFor() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FFinished; });
}

bool TThread::WaitFor(unsigned timeoutMs) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return FFinished; });
}

void TThread::Run() {
  {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FStarted; });
  }
  if (!FTerminated) {
    try {
      Execute();
    } catch (...) {
      FFatal = std::current_exception();
    }
  }
  bool freeSelf;
  {
    std::lock_guard lock(FLock);
    FFinished = true;
    freeSelf = FFreeOnTerminate;
    FChanged.notify_all();
  }
  if (freeSelf) delete this;
}
