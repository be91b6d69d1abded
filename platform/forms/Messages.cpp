#include "platform/forms/Messages.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/system/Clock.h"

namespace win {
namespace {

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  std::uint64_t due;
  TIMERPROC proc;
};

struct Queue {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<MSG> messages;
  std::vector<Timer> timers;  // touched only by the owning thread
};

struct Window {
  WNDPROC proc;
  std::shared_ptr<Queue> queue;
};

// Built on first use and never destroyed: components freed by static destructors at exit
// (the application's forms) still destroy their handles, in whatever order those run, and
// registrations from other files' start-up code find the tables ready.
struct Tables {
  std::mutex mutex;
  std::map<HWND, Window> windows;
  std::map<std::thread::id, std::shared_ptr<Queue>> queues;
  std::uintptr_t next = 0x10000;
};
Tables& tables() {
  static Tables& t = *new Tables;
  return t;
}

// Takes the thread's queue out of the table when the thread ends: a later thread given the
// same id starts with a queue of its own, and the table does not grow with every thread.
// The windows the thread made keep the queue while they live.
struct QueueRelease {
  ~QueueRelease() {
    auto& t = tables();
    std::lock_guard lock(t.mutex);
    t.queues.erase(std::this_thread::get_id());
  }
};

std::shared_ptr<Queue> threadQueue() {
  auto& t = tables();
  std::lock_guard lock(t.mutex);
  auto& q = t.queues[std::this_thread::get_id()];
  if (!q) {
    q = std::make_shared<Queue>();
    // Made once a thread; a queue asked for after it went (at exit) stays to the end.
    thread_local QueueRelease release;
  }
  return q;
}

}  // namespace

HWND CreateWindowHandle(WNDPROC proc) {
  auto q = threadQueue();
  auto& t = tables();
  std::lock_guard lock(t.mutex);
  HWND h = reinterpret_cast<HWND>(t.next);
  t.next += 4;
  t.windows[h] = Window{std::move(proc), q};
  return h;
}

BOOL DestroyWindow(HWND hwnd) {
  std::shared_ptr<Queue> q;
  {
    std::lock_guard lock(tables().mutex);
    auto it = tables().windows.find(hwnd);
    if (it == tables().windows.end()) return 0;
    q = it->second.queue;
    tables().windows.erase(it);
  }
  // The window's timers and pending messages go with it.
  std::lock_guard lock(q->mutex);
  std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd; });
  std::erase_if(q->messages, [&](const MSG& m) { return m.hwnd == hwnd; });
  return 1;
}

BOOL IsWindow(HWND hwnd) {
  std::lock_guard lock(tables().mutex);
  return tables().windows.count(hwnd) ? 1 : 0;
}

WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc) {
  std::lock_guard lock(tables().mutex);
  auto it = tables().windows.find(hwnd);
  if (it == tables().windows.end()) return {};
  std::swap(it->second.proc, proc);
  return proc;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  {
    std::lock_guard lock(tables().mutex);
    auto it = tables().windows.find(hwnd);
    if (it == tables().windows.end()) return 0;
    proc = it->second.proc;
  }
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_DEVICECHANGE ? TRUE : 0; }

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Queue> q;
  {
    std::lock_guard lock(tables().mutex);
    auto it = tables().windows.find(hwnd);
    if (it == tables().windows.end()) return 0;
    q = it->second.queue;
  }
  {
    std::lock_guard lock(q->mutex);
    q->messages.push_back(MSG{hwnd, msg, wParam, lParam});
  }
  q->posted.notify_all();
  return 1;
}

void PostQuitMessage(int exitCode) {
  auto q = threadQueue();
  {
    std::lock_guard lock(q->mutex);
    q->messages.push_back(MSG{nullptr, WM_QUIT, WPARAM(exitCode), 0});
  }
  q->posted.notify_all();
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  auto q = threadQueue();
  std::lock_guard lock(q->mutex);
  auto fits = [&](HWND h, UINT m) {
    if (hwnd && h != hwnd) return false;
    return !(filterMin || filterMax) || (m >= filterMin && m <= filterMax);
  };
  for (auto it = q->messages.begin(); it != q->messages.end(); ++it) {
    if (!fits(it->hwnd, it->message)) continue;
    *msg = *it;
    if (remove & PM_REMOVE) q->messages.erase(it);
    return 1;
  }
  // Nothing posted: the earliest due timer.
  std::uint64_t now = TimerClock();
  Timer* best = nullptr;
  for (auto& t : q->timers)
    if (t.due <= now && fits(t.hwnd, WM_TIMER) && (!best || t.due < best->due)) best = &t;
  if (!best) return 0;
  *msg = MSG{best->hwnd, WM_TIMER, best->id, 0};
  if (remove & PM_REMOVE) best->due = now + std::max<UINT>(best->elapse, 1);
  return 1;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (msg->message == WM_TIMER) {
    TIMERPROC proc;
    {
      auto q = threadQueue();
      std::lock_guard lock(q->mutex);
      for (auto& t : q->timers)
        if (t.hwnd == msg->hwnd && t.id == msg->wParam) proc = t.proc;
    }
    if (proc) {
      proc(msg->hwnd, WM_TIMER, msg->wParam, DWORD(TimerClock()));
      return 0;
    }
  }
  if (!msg->hwnd) return 0;
  return SendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

std::uint64_t TimerClock() { return clock::Now() / clock::kTicksPerMs; }

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (hwnd && !IsWindow(hwnd)) return 0;
  auto q = threadQueue();
  std::lock_guard lock(q->mutex);
  if (!hwnd && !id) {
    // A timer without a window gets an id of its own.
    id = 1;
    for (auto& t : q->timers)
      if (!t.hwnd && t.id >= id) id = t.id + 1;
  }
  std::uint64_t due = TimerClock() + std::max<UINT>(elapse, 1);
  for (auto& t : q->timers)
    if (t.hwnd == hwnd && t.id == id) {
      t.elapse = elapse, t.due = due, t.proc = std::move(proc);
      return id ? id : 1;
    }
  q->timers.push_back(Timer{hwnd, id, elapse, due, std::move(proc)});
  return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  auto q = threadQueue();
  std::lock_guard lock(q->mutex);
  auto n = std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  // A WM_TIMER already handed out stays valid; nothing else is queued for it.
  return n ? 1 : 0;
}

bool NextTimerDue(std::uint64_t* due) {
  auto q = threadQueue();
  std::lock_guard lock(q->mutex);
  bool any = false;
  for (auto& t : q->timers)
    if (!any || t.due < *due) *due = t.due, any = true;
  return any;
}

std::size_t MessageQueueCount() {
  std::lock_guard lock(tables().mutex);
  return tables().queues.size();
}

void WaitMessage(DWORD timeoutMs) {
  auto q = threadQueue();
  std::unique_lock lock(q->mutex);
  q->posted.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                     [&] { return !q->messages.empty(); });
}

}  // namespace win
