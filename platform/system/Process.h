#pragma once
// Processes on the machine: the program's own path, starting programs (ShellExecute,
// WinExec) and the record of Windows programs started.
//
// Starting a file that is a native program (an ELF executable, or a script beginning with
// "#!") really runs it, with WINPC set to the machine's folder, WI_WINDOWS_PATH to its
// Windows path and WI_COMMAND_LINE to its command line, the parameters split as the C
// run-time splits them. A Windows executable (a file beginning with "MZ") is recorded in
// the machine's journal and in the started-programs table instead. Any other content is
// not a program (ShellExecute 11, last error 193).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_NORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;
inline constexpr int SW_SHOWDEFAULT = 10;

// ShellExecute's results of 32 and below.
inline constexpr int SE_ERR_FNF = 2;
inline constexpr int SE_ERR_PNF = 3;
inline constexpr int SE_ERR_ACCESSDENIED = 5;
inline constexpr int SE_ERR_OOM = 8;
inline constexpr int SE_ERR_BADFORMAT = 11;
inline constexpr int SE_ERR_SHARE = 26;
inline constexpr int SE_ERR_ASSOCINCOMPLETE = 27;
inline constexpr int SE_ERR_NOASSOC = 31;
inline constexpr int SE_ERR_DLLNOTFOUND = 32;
inline constexpr DWORD ERROR_NO_ASSOCIATION = 1155;

// The Windows path of this program: WI_WINDOWS_PATH when the machine started it, else the
// host path of the executable seen through the machine (a drive's path, or Z: plus the
// host path). SetProgramPath overrides it (tests that place "the program" somewhere).
std::string ProgramPath();
void SetProgramPath(const std::string& windowsPath);

// verb null or "open" (also "explore" for a folder). file is a program, a document opened
// through its registered association (HKCR\.ext), or a folder (recorded as opened by
// explorer.exe). A bare name is looked for in dir, the current folder, the system and
// Windows folders. Success returns a value above 32.
HINSTANCE ShellExecute(HWND hwnd, const char* verb, const std::string& file, const char* params,
                       const char* dir, int show);
// Returns a value above 31 on success, else 0, 2, 3 or 11.
UINT WinExec(const std::string& commandLine, UINT show);

// Starts a command line as the machine starts programs (RunOnce, `machine run`). The
// native process id is given when a native program was started; with wait, the call waits
// for it and gives its exit code. Returns the ShellExecute-style code (above 32: started).
struct StartOutcome {
  int code = 0;
  bool native = false;
  int pid = 0;
  int exitCode = 0;
};
StartOutcome StartCommandLine(const std::string& commandLine, const std::string& dir, int show,
                              bool wait);

// Windows programs recorded as started on this machine, oldest first.
struct StartedProgram {
  std::int64_t id = 0;
  std::string time;        // the machine's local time
  std::string by;          // the program that started it
  std::string path;        // full Windows path of the program
  std::string parameters;  // as passed
  std::string directory;   // working folder, empty for the default
  int show = 0;
};
std::vector<StartedProgram> StartedPrograms();

// Whether a native process is still running (kill(pid, 0)); a process id reused by
// another program is told apart by its start time when given.
bool ProcessAlive(int pid, std::uint64_t startTime = 0);
// The start time of a process in clock ticks since boot (from /proc), 0 when unknown.
std::uint64_t ProcessStartTime(int pid);
// Field n of /proc/<pid>/stat, counted as proc(5) does (3: the state, 20: the threads, 22:
// the start time); empty when the process or the field is not there.
std::string ProcessStatField(int pid, int n);
// Forks this process has been made by, counted from the first call: a value that changed
// since something was set up tells a child that it holds its parent's (a process id, a
// descriptor to read from), without a system call.
unsigned ForkGeneration();
// Ends the process at once, as _Exit does (no destructor, no atexit handler, no buffer
// flushed), its marks of having PCs open removed first: the next program does not take it
// for killed.
[[noreturn]] void ExitNow(int code);

}  // namespace win
