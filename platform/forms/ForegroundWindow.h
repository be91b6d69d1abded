#pragma once
// The foreground window: which top-level window the user works in, bringing one to the
// front, and the thread-input calls programs use to be allowed to. One foreground window
// per process; the input of all windows belongs to one thread.
#include "platform/forms/Messages.h"
#include "platform/system/Process.h"

namespace win {

inline constexpr UINT SPI_GETFOREGROUNDLOCKTIMEOUT = 0x2000;
inline constexpr UINT SPI_SETFOREGROUNDLOCKTIMEOUT = 0x2001;
inline constexpr UINT SPIF_SENDCHANGE = 0x2;

HWND GetForegroundWindow();
BOOL SetForegroundWindow(HWND hwnd);
BOOL BringWindowToTop(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmdShow);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId);
DWORD GetCurrentThreadId();
BOOL AttachThreadInput(DWORD attach, DWORD attachTo, BOOL doAttach);
// Serves the foreground lock timeout and SPI_GETNONCLIENTMETRICS (SystemMetrics.h).
BOOL SystemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT winIni);

}  // namespace win
