#pragma once
// The change-watching thread of a shell tree or list: one wait covers the control event
// and up to 63 folder change-notification handles; a change posts `message` (wParam: the
// slot of the folder) to the owner's window. The owner talks to the thread only through
// the control event, the acknowledgement event and the command fields; every command but
// stop is acknowledged.
#include <atomic>
#include <string>
#include <vector>

#include "platform/forms/Threads.h"
#include "platform/shell/ChangeNotify.h"

class TChangeHandlerThread : public TThread {
 public:
  // Watched folders at most: a wait covers 64 handles, one of them the control event.
  static constexpr int MaxWatches = 63;
  enum TCommand : unsigned char { cmdNone, cmdAdd, cmdClearAll, cmdStop };

  TChangeHandlerThread(win::HWND window, win::UINT message);
  // Stops the thread (waiting up to 30 s, then as long as the thread class does) and
  // closes every watch handle, a still-pending one and both events.
  ~TChangeHandlerThread() override;

  // Watches path; slot: the slot used. False for an empty or unwatchable path, a full
  // table, or no answer within 2 s.
  bool AddWatch(const std::string& path, win::DWORD filter, int& slot, bool watchSubtree);
  // Closes every watch (waits up to 2 s for the thread to have done it).
  void ClearWatches();

  win::HWND Window() const { return FWindow; }
  win::UINT Message() const { return FMessage; }

 protected:
  void Execute() override;

 private:
  // Sends the placed command and waits for its acknowledgement.
  bool Command(TCommand command);
  win::HANDLE FControlEvent = nullptr;
  win::HANDLE FAckEvent = nullptr;
  // Written by the owner before the control event, read after the acknowledgement; atomic
  // so that a command answered late (after a time-out) stays well defined.
  std::atomic<win::HANDLE> FPendingHandle{win::INVALID_HANDLE_VALUE};
  win::HWND FWindow = nullptr;
  win::UINT FMessage = 0;
  std::vector<win::HANDLE> FSlots;
  std::atomic<int> FAddedSlot{-1};
  std::atomic<TCommand> FCommand{cmdNone};
  // The last command was acknowledged in time (so a pending handle is the owner's again).
  bool FLastAcknowledged = true;
};
