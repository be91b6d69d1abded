#include "platform/forms/ForegroundWindow.h"

#include "platform/forms/SystemMetrics.h"
#include "platform/system/LastError.h"

namespace win {
namespace {
HWND gForeground = nullptr;
DWORD gLockTimeout = 200000;
}  // namespace

HWND GetForegroundWindow() { return IsWindow(gForeground) ? gForeground : nullptr; }

BOOL SetForegroundWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  gForeground = hwnd;
  return TRUE;
}

BOOL BringWindowToTop(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
    return FALSE;
  }
  return TRUE;
}

BOOL IsIconic(HWND) { return FALSE; }

BOOL ShowWindow(HWND hwnd, int) { return IsWindow(hwnd); }

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
  if (processId) *processId = 1;
  return hwnd ? 1 : 0;
}

DWORD GetCurrentThreadId() { return 1; }

BOOL AttachThreadInput(DWORD attach, DWORD attachTo, BOOL) {
  // Attaching a thread to itself is refused, as Windows does.
  if (attach == attachTo || !attach || !attachTo) {
    SetLastError(87);
    return FALSE;
  }
  return TRUE;
}

BOOL SystemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT) {
  if (action == SPI_GETFOREGROUNDLOCKTIMEOUT && pvParam) {
    *static_cast<DWORD*>(pvParam) = gLockTimeout;
    return TRUE;
  }
  if (action == SPI_GETNONCLIENTMETRICS && pvParam) {
    auto* m = static_cast<NONCLIENTMETRICS*>(pvParam);
    if (m->cbSize == sizeof(NONCLIENTMETRICS)) {
      *m = ClassicNonClientMetrics();
      return TRUE;
    }
  }
  if (action == SPI_SETFOREGROUNDLOCKTIMEOUT) {
    gLockTimeout = DWORD(reinterpret_cast<std::uintptr_t>(pvParam));
    return TRUE;
  }
  SetLastError(87);
  return FALSE;
}

}  // namespace win
