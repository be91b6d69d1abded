#include "platform/forms/Messages.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace win {
namespace {

struct Queue {
  std::mutex mutex;
  std::deque<MSG> messages;
};

struct Window {
  WNDPROC proc;
  std::shared_ptr<Queue> queue;
};

std::mutex g_mutex;
std::map<HWND, Window> g_windows;
std::map<std::thread::id, std::shared_ptr<Queue>> g_queues;
std::uintptr_t g_next = 0x10000;

std::shared_ptr<Queue> threadQueue() {
  std::lock_guard lock(g_mutex);
  auto& q = g_queues[std::this_thread::get_id()];
  if (!q) q = std::make_shared<Queue>();
  return q;
}

}  // namespace

HWND CreateWindowHandle(WNDPROC proc) {
  auto q = threadQueue();
  std::lock_guard lock(g_mutex);
  HWND h = reinterpret_cast<HWND>(g_next);
  g_next += 4;
  g_windows[h] = Window{std::move(proc), q};
  return h;
}

BOOL DestroyWindow(HWND hwnd) {
  std::lock_guard lock(g_mutex);
  return g_windows.erase(hwnd) ? 1 : 0;
}

BOOL IsWindow(HWND hwnd) {
  std::lock_guard lock(g_mutex);
  return g_windows.count(hwnd) ? 1 : 0;
}

WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc) {
  std::lock_guard lock(g_mutex);
  auto it = g_windows.find(hwnd);
  if (it == g_windows.end()) return {};
  std::swap(it->second.proc, proc);
  return proc;
}

LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_windows.find(hwnd);
    if (it == g_windows.end()) return 0;
    proc = it->second.proc;
  }
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Queue> q;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_windows.find(hwnd);
    if (it == g_windows.end()) return 0;
    q = it->second.queue;
  }
  std::lock_guard lock(q->mutex);
  q->messages.push_back(MSG{hwnd, msg, wParam, lParam});
  return 1;
}

void PostQuitMessage(int exitCode) {
  auto q = threadQueue();
  std::lock_guard lock(q->mutex);
  q->messages.push_back(MSG{nullptr, WM_QUIT, WPARAM(exitCode), 0});
}

BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
  auto q = threadQueue();
  std::lock_guard lock(q->mutex);
  for (auto it = q->messages.begin(); it != q->messages.end(); ++it) {
    if (hwnd && it->hwnd != hwnd) continue;
    if ((filterMin || filterMax) && (it->message < filterMin || it->message > filterMax)) continue;
    *msg = *it;
    if (remove & PM_REMOVE) q->messages.erase(it);
    return 1;
  }
  return 0;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg->hwnd) return 0;
  return SendMessage(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

}  // namespace win
