#pragma once
// Ending the Windows session. A restart asked for by a program is recorded in state.db
// and the journal; `machine boot` (BootMachine) carries it out. The boot work of this
// layer runs as a boot hook: the session's fonts go, services stop and the automatic ones
// start, then the RunOnce entries of HKLM and HKCU run (each value deleted first, or after
// running when its name begins with "!"), and the restart request is cleared.
#include <optional>
#include <string>

#include "platform/system/WinTypes.h"

namespace win {

class Machine;

inline constexpr UINT EWX_LOGOFF = 0x0;
inline constexpr UINT EWX_SHUTDOWN = 0x1;
inline constexpr UINT EWX_REBOOT = 0x2;
inline constexpr UINT EWX_FORCE = 0x4;
inline constexpr UINT EWX_POWEROFF = 0x8;
inline constexpr UINT EWX_FORCEIFHUNG = 0x10;

inline constexpr DWORD SHTDN_REASON_FLAG_PLANNED = 0x80000000;
inline constexpr DWORD SHTDN_REASON_MAJOR_APPLICATION = 0x00040000;
inline constexpr DWORD SHTDN_REASON_MINOR_INSTALLATION = 0x00000002;

// Does not wait: the program goes on until the session ends. On NT, shutting down or
// restarting needs the shutdown privilege enabled (AdjustTokenPrivileges) first, else 1314.
BOOL ExitWindowsEx(UINT flags, DWORD reason);

struct RestartRequest {
  UINT flags = 0;
  DWORD reason = 0;
  std::string program;  // who asked
  std::string time;     // the machine's local time
};
// The request waiting for the next boot, if any.
std::optional<RestartRequest> PendingRestart();

// The boot work described above; registered with AddBootHook when this unit is linked.
void BootSession(Machine& m);

// The programs of the session. A program with a message loop joins it (and leaves when the
// loop ends); a restart or shut-down that ExitWindowsEx accepts ends the session of every
// program of the PC that joined: each is told at once (a signal wakes its loop), and its loop
// then sends its windows WM_QUERYENDSESSION and WM_ENDSESSION and ends the program.
void JoinSession();
void LeaveSession();
// True once this process's session on the current machine is ending.
bool SessionEnding();
// The program has closed for the end of the session: the journal says so.
void SessionEnded(const std::string& program);

}  // namespace win
