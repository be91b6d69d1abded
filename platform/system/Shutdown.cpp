#include "platform/system/Shutdown.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/Fonts.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/Registry.h"
#include "platform/system/Restart.h"
#include "platform/system/Security.h"
#include "platform/system/Services.h"
#include "platform/system/Sqlite.h"

namespace win {

namespace {

constexpr char kRequestKey[] = "restart_request";
constexpr char kRunOnce[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string LocalTimeText(Machine& m) {
  auto t = std::chrono::system_clock::to_time_t(clock::ToTimePoint(clock::Now())) +
           std::time_t(m.Settings().timeZoneBias) * 60;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string Hex(DWORD v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string FlagsText(UINT flags) {
  std::string s = (flags & EWX_POWEROFF)   ? "EWX_POWEROFF"
                  : (flags & EWX_REBOOT)   ? "EWX_REBOOT"
                  : (flags & EWX_SHUTDOWN) ? "EWX_SHUTDOWN"
                                           : "EWX_LOGOFF";
  if (flags & EWX_FORCE) s += "|EWX_FORCE";
  if (flags & EWX_FORCEIFHUNG) s += "|EWX_FORCEIFHUNG";
  return s;
}

struct RunOnceEntry {
  std::string name;
  std::string command;
};

// Runs the RunOnce values of one hive. Windows deletes each value before running it, so
// that a program that fails is not run again at every start; "!" defers the deletion.
void RunOnce(Machine& m, HKEY root, const char* hive) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(root, kRunOnce, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  std::vector<RunOnceEntry> entries;
  for (DWORD i = 0;; ++i) {
    char name[1024];
    DWORD nameSize = sizeof name, type = 0, dataSize = 0;
    if (RegEnumValue(key, i, name, &nameSize, nullptr, &type, nullptr, &dataSize) != ERROR_SUCCESS)
      break;
    std::string n(name, nameSize);
    std::vector<BYTE> data(dataSize + 1);
    DWORD size = dataSize;
    if (RegQueryValueEx(key, n, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) continue;
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    entries.push_back({n, std::string(reinterpret_cast<char*>(data.data()),
                                      strnlen(reinterpret_cast<char*>(data.data()), size))});
  }
  for (auto& e : entries) {
    bool late = !e.name.empty() && e.name[0] == '!';
    if (!late) RegDeleteValue(key, e.name);
    int code = e.command.empty() ? 0 : StartCommandLine(e.command, "", SW_SHOWNORMAL, false).code;
    if (late) RegDeleteValue(key, e.name);
    m.Journal("restart",
              std::string("RunOnce (") + hive + ") " + e.name + ": " + e.command +
                  (code > 32 ? "" : " (not started, code " + std::to_string(code) + ")"));
  }
  RegCloseKey(key);
}

// The signal that tells a program of the PC that its session ends.
constexpr int kEndSignal = SIGUSR1;

// Set by the signal (or by this program's own request): the session of the machine named
// below ends. Kept per machine, so that a process that moves to another PC (tests) starts
// afresh there.
std::atomic<bool> g_endSignalled{false};
std::string g_endingMachine;

// This process's mark of being in the session, and the process that made it (a forked
// child leaves its parent's alone).
std::filesystem::path g_sessionMark;
int g_sessionPid = 0;

void OnEndSignal(int) { g_endSignalled = true; }

// Tells every other program that joined the session on this machine that it ends.
void EndOtherPrograms(Machine& m) {
  for (auto [pid, started] : SessionMembers(m))
    // The start time proves the process is still the program that joined.
    if (pid != int(::getpid()) && started && ProcessAlive(pid, started)) ::kill(pid, kEndSignal);
}

const bool g_hookRegistered = [] {
  AddBootHook(&BootSession);
  return true;
}();

}  // namespace

BOOL ExitWindowsEx(UINT flags, DWORD reason) {
  try {
    Machine& m = Machine::Current();
    bool endsWindows = (flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) != 0;
    if (m.IsNT() && endsWindows && !IsPrivilegeEnabled(SE_SHUTDOWN_NAME)) {
      SetLastError(ERROR_PRIVILEGE_NOT_HELD);
      return FALSE;
    }
    if (!endsWindows) {
      m.Journal("restart", "log off requested (" + FlagsText(flags) + ")");
      SetLastError(0);
      return TRUE;
    }
    std::string value = std::to_string(flags) + ";" + std::to_string(reason) + ";" +
                        LocalTimeText(m) + ";" + Machine::ProgramName();
    auto st = m.State().Prepare("INSERT OR REPLACE INTO kv(key, value) VALUES(?, ?)");
    st.Bind(1, std::string(kRequestKey)).Bind(2, value);
    st.Step();
    m.Journal("restart", std::string(flags & EWX_REBOOT ? "restart" : "shutdown") + " requested (" +
                             FlagsText(flags) + ", reason " + Hex(reason) + ")");
    g_endingMachine = m.Dir().string();
    g_endSignalled = true;
    EndOtherPrograms(m);
    SetLastError(0);
    return TRUE;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
}

std::optional<RestartRequest> PendingRestart() {
  auto st = Machine::Current().State().Prepare("SELECT value FROM kv WHERE key = ?");
  st.Bind(1, std::string(kRequestKey));
  if (!st.Step()) return std::nullopt;
  std::string v = st.ColumnText(0);
  RestartRequest r;
  std::istringstream ss(v);
  std::string flags, reason;
  std::getline(ss, flags, ';');
  std::getline(ss, reason, ';');
  std::getline(ss, r.time, ';');
  std::getline(ss, r.program);
  r.flags = UINT(std::strtoul(flags.c_str(), nullptr, 10));
  r.reason = DWORD(std::strtoul(reason.c_str(), nullptr, 10));
  return r;
}

void JoinSession() {
  if (!Machine::HasCurrent()) return;
  Machine& m = Machine::Current();
  struct sigaction a {};
  a.sa_handler = OnEndSignal;
  sigemptyset(&a.sa_mask);
  ::sigaction(kEndSignal, &a, nullptr);
  // A killed program's mark names a process that runs no more: the next opening sweeps it.
  LeaveSession();
  g_sessionMark = RegisterSession(m);
  g_sessionPid = int(::getpid());
}

void LeaveSession() {
  if (g_sessionPid != int(::getpid())) return;
  UnregisterOpening(g_sessionMark);
  g_sessionMark.clear();
  g_sessionPid = 0;
}

bool SessionEnding() {
  if (!g_endSignalled) return false;
  if (!Machine::HasCurrent()) return false;
  const std::string current = Machine::Current().Dir().string();
  // A signal from another program names no machine: it is this program's own.
  if (g_endingMachine.empty()) g_endingMachine = current;
  return g_endingMachine == current;
}

void SessionEnded(const std::string& program) {
  Machine::Current().Journal("restart", "end of the session: " + program +
                                            " got WM_QUERYENDSESSION and WM_ENDSESSION and closed");
}

void BootSession(Machine& m) {
  auto st = m.State().Prepare("DELETE FROM kv WHERE key = ?");
  st.Bind(1, std::string(kRequestKey));
  st.Step();
  BootFonts();
  BootServices();
  RunOnce(m, HKEY_LOCAL_MACHINE, "HKLM");
  RunOnce(m, HKEY_CURRENT_USER, "HKCU");
}

}  // namespace win
