#include "shellcontrols/UScChangeHandlerThread.h"

#include <vector>

namespace {
constexpr win::DWORD AckTimeoutMs = 2000;
constexpr unsigned StopTimeoutMs = 30000;
}  // namespace

TChangeHandlerThread::TChangeHandlerThread(win::HWND window, win::UINT message)
    : TThread(true), FWindow(window), FMessage(message) {
  FControlEvent = win::CreateEvent(nullptr, win::FALSE, win::FALSE, nullptr);
  FAckEvent = win::CreateEvent(nullptr, win::FALSE, win::FALSE, nullptr);
  FSlots.reserve(MaxWatches + 1);
  FSlots.assign(MaxWatches, win::INVALID_HANDLE_VALUE);
  SetFreeOnTerminate(false);
  Resume();
}

TChangeHandlerThread::~TChangeHandlerThread() {
  FCommand = cmdStop;
  win::SetEvent(FControlEvent);
  // A thread that does not stop in time is left to the thread class, which waits on:
  // the slot table must outlive the loop that reads it.
  if (!WaitFor(StopTimeoutMs)) WaitFor();
  std::vector<win::HANDLE> handles;
  for (win::HANDLE h : FSlots)
    if (h != win::INVALID_HANDLE_VALUE) handles.push_back(h);
  if (FPendingHandle != win::INVALID_HANDLE_VALUE) handles.push_back(FPendingHandle);
  FSlots.clear();
  win::CloseHandle(FControlEvent);
  win::CloseHandle(FAckEvent);
  for (win::HANDLE h : handles) win::FindCloseChangeNotification(h);
}

bool TChangeHandlerThread::Command(TCommand command) {
  FCommand = command;
  win::ResetEvent(FAckEvent);
  win::SetEvent(FControlEvent);
  FLastAcknowledged = win::WaitForSingleObject(FAckEvent, AckTimeoutMs) == win::WAIT_OBJECT_0;
  return FLastAcknowledged;
}

bool TChangeHandlerThread::AddWatch(const std::string& path, win::DWORD filter, int& slot,
                                    bool watchSubtree) {
  if (path.empty()) return false;
  win::HANDLE h =
      win::FindFirstChangeNotification(path, watchSubtree ? win::TRUE : win::FALSE, filter);
  if (h == win::INVALID_HANDLE_VALUE) return false;
  // A handle left pending by a full table is closed before the new one takes its place
  // (not after a time-out: the thread may still take it).
  if (FLastAcknowledged && FPendingHandle != win::INVALID_HANDLE_VALUE)
    win::FindCloseChangeNotification(FPendingHandle);
  FPendingHandle = h;
  if (!Command(cmdAdd)) return false;
  slot = FAddedSlot;
  return slot != -1;
}

void TChangeHandlerThread::ClearWatches() { Command(cmdClearAll); }

void TChangeHandlerThread::Execute() {
  std::vector<win::HANDLE> waits;
  std::vector<int> slotOf;
  for (;;) {
    waits.assign(1, FControlEvent);
    slotOf.assign(1, -1);
    for (int i = 0; i < int(FSlots.size()); ++i)
      if (FSlots[i] != win::INVALID_HANDLE_VALUE) {
        waits.push_back(FSlots[i]);
        slotOf.push_back(i);
      }
    const win::DWORD count = win::DWORD(waits.size());
    win::DWORD r = win::WaitForMultipleObjects(count, waits.data(), win::FALSE, win::INFINITE);
    if (r == win::WAIT_OBJECT_0) {
      switch (FCommand) {
        case cmdAdd: {
          FAddedSlot = -1;
          for (int i = 0; i < int(FSlots.size()); ++i)
            if (FSlots[i] == win::INVALID_HANDLE_VALUE) {
              FSlots[i] = FPendingHandle.load();
              FPendingHandle = win::INVALID_HANDLE_VALUE;
              FAddedSlot = i;
              break;
            }
          break;
        }
        case cmdClearAll:
          for (auto& h : FSlots)
            if (h != win::INVALID_HANDLE_VALUE) {
              win::FindCloseChangeNotification(h);
              h = win::INVALID_HANDLE_VALUE;
            }
          break;
        case cmdStop:
          return;
        default:
          break;
      }
      win::SetEvent(FAckEvent);
    } else if (r > win::WAIT_OBJECT_0 && r < win::WAIT_OBJECT_0 + count) {
      int slot = slotOf[r - win::WAIT_OBJECT_0];
      if (FWindow) win::PostMessage(FWindow, FMessage, win::WPARAM(slot), 0);
      if (!win::FindNextChangeNotification(FSlots[slot])) {
        win::FindCloseChangeNotification(FSlots[slot]);
        FSlots[slot] = win::INVALID_HANDLE_VALUE;
      }
    } else if (r > win::WAIT_ABANDONED_0 && r < win::WAIT_ABANDONED_0 + count) {
      int slot = slotOf[r - win::WAIT_ABANDONED_0];
      win::FindCloseChangeNotification(FSlots[slot]);
      FSlots[slot] = win::INVALID_HANDLE_VALUE;
    }
  }
}
