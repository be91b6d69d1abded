#include "platform/system/Process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/system/Clock.h"
#include "platform/system/CommandLine.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace win {

namespace {

std::mutex g_mutex;
std::string g_programPath;
std::vector<pid_t> g_children;  // started without waiting; reaped later

constexpr int kStarted = 42;

HINSTANCE Code(int c) { return reinterpret_cast<HINSTANCE>(std::intptr_t(c)); }

std::string Extension(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot);
}

bool HasPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return (dir.back() == '\\' || dir.back() == '/') ? dir + name : dir + "\\" + name;
}

enum class Kind { Missing, NoFolder, Folder, File };

// What a Windows path names, with its resolved paths.
Kind Inspect(const std::string& winPath, Machine::Resolved& r) {
  Machine& m = Machine::Current();
  if (!m.Resolve(winPath, r)) return Kind::NoFolder;
  std::error_code ec;
  if (fs::is_directory(r.host, ec)) return Kind::Folder;
  if (fs::is_regular_file(r.host, ec)) return Kind::File;
  return fs::is_directory(Machine::HostFolderOf(r.host), ec) ? Kind::Missing : Kind::NoFolder;
}

enum class Content { Native, Script, Windows, Other };

Content ContentOf(const fs::path& host) {
  std::ifstream in(host, std::ios::binary);
  char b[4] = {};
  in.read(b, 4);
  auto got = in.gcount();
  if (got >= 4 && std::memcmp(b,
                              "\x7f"
                              "ELF",
                              4) == 0)
    return Content::Native;
  if (got >= 2 && b[0] == '#' && b[1] == '!') return Content::Script;
  if (got >= 2 && b[0] == 'M' && b[1] == 'Z') return Content::Windows;
  return Content::Other;
}

std::string LocalTimeText() {
  auto t = std::chrono::system_clock::to_time_t(clock::ToTimePoint(clock::Now())) +
           std::time_t(Machine::Current().Settings().timeZoneBias) * 60;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

void Record(const std::string& path, const std::string& params, const std::string& dir, int show) {
  Machine& m = Machine::Current();
  auto& db = m.State();
  auto st = db.Prepare(
      "INSERT INTO started_programs(time, by, path, parameters, directory, show)"
      " VALUES(?,?,?,?,?,?)");
  st.Bind(1, LocalTimeText()).Bind(2, Machine::ProgramName()).Bind(3, path).Bind(4, params);
  st.Bind(5, dir).Bind(6, std::int64_t(show));
  st.Step();
  std::string text = path;
  if (!params.empty()) text += " " + params;
  text += " (show " + std::to_string(show) + ")";
  if (!dir.empty()) text += " in " + dir;
  m.Journal("start", text);
}

void ReapChildren() {
  std::lock_guard lock(g_mutex);
  for (auto it = g_children.begin(); it != g_children.end();) {
    int status;
    if (::waitpid(*it, &status, WNOHANG) != 0)
      it = g_children.erase(it);
    else
      ++it;
  }
}

// Runs a native program or script. Returns 0 or the Windows error.
DWORD SpawnNative(const fs::path& host, Content content, const std::string& winPath,
                  const std::string& commandLine, const fs::path& cwd, bool wait, int& pid,
                  int& exitCode) {
  ReapChildren();
  std::vector<std::string> argv;
  if (content == Content::Script) {
    // The interpreter line is read here, so a script needs no execute permission.
    std::ifstream in(host, std::ios::binary);
    std::string first;
    std::getline(in, first);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    std::istringstream ss(first.substr(2));
    std::string interp, arg;
    ss >> interp;
    std::getline(ss, arg);
    arg = TrimSpacesAndTabs(arg);
    if (interp.empty()) return ERROR_BAD_EXE_FORMAT;
    argv.push_back(interp);
    if (!arg.empty()) argv.push_back(arg);
  }
  argv.push_back(host.string());
  auto split = SplitCommandLine(commandLine);
  for (size_t i = 1; i < split.size(); ++i) argv.push_back(split[i]);

  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    std::string v = *e;
    if (v.rfind("WINPC=", 0) == 0 || v.rfind("WI_WINDOWS_PATH=", 0) == 0 ||
        v.rfind("WI_COMMAND_LINE=", 0) == 0)
      continue;
    env.push_back(v);
  }
  env.push_back("WINPC=" + Machine::Current().Dir().string());
  env.push_back("WI_WINDOWS_PATH=" + winPath);
  env.push_back("WI_COMMAND_LINE=" + commandLine);

  std::vector<char*> cargv, cenv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  for (auto& e : env) cenv.push_back(e.data());
  cenv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t child = 0;
  int rc = content == Content::Script
               ? posix_spawnp(&child, cargv[0], &actions, nullptr, cargv.data(), cenv.data())
               : posix_spawn(&child, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    return rc == ENOENT    ? ERROR_FILE_NOT_FOUND
           : rc == ENOEXEC ? ERROR_BAD_EXE_FORMAT
                           : ERROR_ACCESS_DENIED;
  pid = child;
  Machine::Current().Journal(
      "start", winPath + (split.size() > 1 ? " " + SplitProgram(commandLine).args : "") +
                   " (native, pid " + std::to_string(child) + ")");
  if (wait) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status)
                                 : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  } else {
    std::lock_guard lock(g_mutex);
    g_children.push_back(child);
  }
  return 0;
}

int ErrorToShellCode(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
      return SE_ERR_FNF;
    case ERROR_PATH_NOT_FOUND:
      return SE_ERR_PNF;
    case ERROR_ACCESS_DENIED:
      return SE_ERR_ACCESSDENIED;
    case ERROR_BAD_EXE_FORMAT:
      return SE_ERR_BADFORMAT;
    case ERROR_SHARING_VIOLATION:
      return SE_ERR_SHARE;
    default:
      return 0;
  }
}

// Starts a resolved program file with its parameters.
StartOutcome StartFile(const Machine::Resolved& prog, const std::string& params,
                       const std::string& dir, int show, bool wait) {
  StartOutcome out;
  std::string workDir;
  fs::path cwd;
  if (!dir.empty()) {
    Machine::Resolved d;
    std::error_code ec;
    if (!Machine::Current().Resolve(dir, d) || !fs::is_directory(d.host, ec)) {
      SetLastError(ERROR_DIRECTORY);
      out.code = SE_ERR_PNF;
      return out;
    }
    workDir = d.windows;
    cwd = d.host;
  }
  Content content = ContentOf(prog.host);
  std::string ext = Extension(prog.windows);
  if (content == Content::Windows || SameText(ext, ".bat") || SameText(ext, ".cmd")) {
    Record(prog.windows, params, workDir, show);
    SetLastError(0);
    out.code = kStarted;
    return out;
  }
  if (content == Content::Other) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    out.code = SE_ERR_BADFORMAT;
    return out;
  }
  std::string commandLine = "\"" + prog.windows + "\"" + (params.empty() ? "" : " " + params);
  if (cwd.empty()) cwd = Machine::HostFolderOf(prog.host);
  DWORD err =
      SpawnNative(prog.host, content, prog.windows, commandLine, cwd, wait, out.pid, out.exitCode);
  if (err) {
    SetLastError(err);
    out.code = ErrorToShellCode(err);
    return out;
  }
  SetLastError(0);
  out.native = true;
  out.code = kStarted;
  return out;
}

// A bare name looked for where ShellExecute looks.
Kind Search(const std::string& name, const std::string& dir, Machine::Resolved& found) {
  Machine& m = Machine::Current();
  std::vector<std::string> places;
  if (!dir.empty()) places.push_back(dir);
  places.push_back(m.CurrentDirectory());
  places.push_back(m.Settings().SystemDir());
  places.push_back(m.Settings().WindowsDir());
  std::vector<std::string> names{name};
  if (Extension(name).empty())
    for (const char* e : {".exe", ".com", ".bat", ".cmd"}) names.push_back(name + e);
  for (auto& n : names)
    for (auto& p : places) {
      Machine::Resolved r;
      Kind k = Inspect(Join(p, n), r);
      if (k == Kind::File || k == Kind::Folder) {
        found = r;
        return k;
      }
    }
  return Kind::Missing;
}

std::string RegDefault(HKEY root, const std::string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyEx(root, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return "";
  char buf[1024];
  DWORD size = sizeof buf, type = 0;
  std::string out;
  if (RegQueryValueEx(h, "", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0)
    out.assign(buf, strnlen(buf, size));
  RegCloseKey(h);
  return out;
}

// The command registered for opening a document, with its name put in, or empty.
std::string AssociationCommand(const std::string& verb, const std::string& doc,
                               const std::string& params) {
  std::string ext = Extension(doc);
  if (ext.empty()) return "";
  std::string progId = RegDefault(HKEY_CLASSES_ROOT, ext);
  if (progId.empty()) return "";
  std::string cmd = RegDefault(HKEY_CLASSES_ROOT, progId + "\\shell\\" + verb + "\\command");
  if (cmd.empty()) return "";
  bool placed = false;
  for (const char* token : {"\"%1\"", "%1", "\"%L\"", "%L"}) {
    size_t at = cmd.find(token);
    if (at != std::string::npos) {
      bool quoted = token[0] == '"';
      cmd.replace(at, std::strlen(token), quoted ? "\"" + doc + "\"" : doc);
      placed = true;
      break;
    }
  }
  if (!placed) cmd += " \"" + doc + "\"";
  if (size_t at = cmd.find("%*"); at != std::string::npos)
    cmd.replace(at, 2, params);
  else if (!params.empty())
    cmd += " " + params;
  return cmd;
}

}  // namespace

std::string ProgramPath() {
  {
    std::lock_guard lock(g_mutex);
    if (!g_programPath.empty()) return g_programPath;
  }
  if (const char* env = std::getenv("WI_WINDOWS_PATH"); env && *env) return env;
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  return Machine::Current().WindowsPath(exe);
}

void SetProgramPath(const std::string& windowsPath) {
  std::lock_guard lock(g_mutex);
  g_programPath = windowsPath;
}

HINSTANCE ShellExecute(HWND, const char* verb, const std::string& file, const char* params,
                       const char* dir, int show) {
  try {
    std::string v = verb && *verb ? verb : "open";
    std::string p = params ? params : "";
    std::string d = dir ? dir : "";
    if (file.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return Code(SE_ERR_FNF);
    }
    Machine::Resolved r;
    Kind k;
    if (HasPath(file)) {
      std::string full = file;
      bool relative = !(file.size() >= 2 && file[1] == ':') && file[0] != '\\' && file[0] != '/';
      if (relative && !d.empty()) full = Join(d, file);
      k = Inspect(full, r);
      if (k == Kind::Missing && Extension(file).empty()) {
        Machine::Resolved withExe;
        if (Inspect(full + ".exe", withExe) == Kind::File) {
          r = withExe;
          k = Kind::File;
        }
      }
    } else {
      k = Search(file, d, r);
    }
    if (k == Kind::NoFolder) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return Code(SE_ERR_PNF);
    }
    if (k == Kind::Missing) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return Code(SE_ERR_FNF);
    }
    if (k == Kind::Folder) {
      if (!SameText(v, "open") && !SameText(v, "explore")) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return Code(SE_ERR_NOASSOC);
      }
      Record(Machine::Current().Settings().WindowsDir() + "\\explorer.exe", r.windows, "", show);
      SetLastError(0);
      return Code(kStarted);
    }
    std::string ext = Extension(r.windows);
    Content content = ContentOf(r.host);
    bool program = content == Content::Native || content == Content::Script ||
                   SameText(ext, ".exe") || SameText(ext, ".com") || SameText(ext, ".bat") ||
                   SameText(ext, ".cmd");
    if (program) {
      if (!SameText(v, "open") && !SameText(v, "runas")) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return Code(SE_ERR_NOASSOC);
      }
      return Code(StartFile(r, p, d, show, false).code);
    }
    std::string cmd = AssociationCommand(v, r.windows, p);
    if (cmd.empty()) {
      SetLastError(ERROR_NO_ASSOCIATION);
      return Code(SE_ERR_NOASSOC);
    }
    return Code(StartCommandLine(cmd, d, show, false).code);
  } catch (const std::exception&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return Code(0);
  }
}

StartOutcome StartCommandLine(const std::string& commandLine, const std::string& dir, int show,
                              bool wait) {
  StartOutcome out;
  ProgramAndArgs pa = SplitProgram(commandLine);
  if (pa.program.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    out.code = SE_ERR_FNF;
    return out;
  }
  Machine::Resolved r;
  Kind k;
  if (HasPath(pa.program)) {
    k = Inspect(pa.program, r);
    if (k == Kind::Missing && Extension(pa.program).empty()) {
      Machine::Resolved withExe;
      if (Inspect(pa.program + ".exe", withExe) == Kind::File) {
        r = withExe;
        k = Kind::File;
      }
    }
  } else {
    k = Search(pa.program, dir, r);
  }
  if (k == Kind::NoFolder) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    out.code = SE_ERR_PNF;
    return out;
  }
  if (k != Kind::File) {
    SetLastError(k == Kind::Folder ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    out.code = k == Kind::Folder ? SE_ERR_ACCESSDENIED : SE_ERR_FNF;
    return out;
  }
  return StartFile(r, pa.args, dir, show, wait);
}

UINT WinExec(const std::string& commandLine, UINT show) {
  try {
    int code = StartCommandLine(commandLine, "", int(show), false).code;
    return code > 32 ? UINT(33) : UINT(code);
  } catch (const std::exception&) {
    return 0;
  }
}

std::vector<StartedProgram> StartedPrograms() {
  std::vector<StartedProgram> out;
  auto& db = Machine::Current().State();
  auto st = db.Prepare(
      "SELECT id, time, by, path, parameters, directory, show FROM started_programs ORDER BY id");
  while (st.Step())
    out.push_back({st.ColumnInt(0), st.ColumnText(1), st.ColumnText(2), st.ColumnText(3),
                   st.ColumnText(4), st.ColumnText(5), int(st.ColumnInt(6))});
  return out;
}

namespace {
std::atomic<unsigned> g_forks{0};
}  // namespace

unsigned ForkGeneration() {
  static std::once_flag once;
  std::call_once(once, [] { ::pthread_atfork(nullptr, nullptr, [] { ++g_forks; }); });
  return g_forks.load();
}

void ExitNow(int code) {
  RemoveOpeningMarks();
  std::_Exit(code);
}

std::string ProcessStatField(int pid, int n) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return {};
  // The name, in parentheses, may hold blanks: the fields are counted after its end.
  size_t close = line.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream ss(line.substr(close + 1));
  std::string field;
  for (int i = 3; ss >> field; ++i)
    if (i == n) return field;
  return {};
}

std::uint64_t ProcessStartTime(int pid) {
  return std::strtoull(ProcessStatField(pid, 22).c_str(), nullptr, 10);
}

bool ProcessAlive(int pid, std::uint64_t startTime) {
  if (pid <= 0) return false;
  if (::kill(pid, 0) != 0 && errno != EPERM) return false;
  if (ProcessStatField(pid, 3) == "Z") return false;  // ended, not yet waited for
  if (startTime && ProcessStartTime(pid) != startTime) return false;
  return true;
}

}  // namespace win
