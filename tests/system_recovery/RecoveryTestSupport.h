#pragma once
// The real programs and the `machine` command on throw-away PCs, started as a user starts
// them: no display, a UI script in place of the user, the PC named by WINPC.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/system/Leftovers.h"
#include "support/TestFiles.h"

extern char** environ;

namespace recovery {

namespace fs = std::filesystem;

// The number of kill points WI_KILL_POINTS asks for; `fallback` when it is unset or does not
// start with a positive number.
inline int KillPointCount(int fallback) {
  const char* text = std::getenv("WI_KILL_POINTS");
  if (!text) return fallback;
  int n = 0;
  auto [end, error] = std::from_chars(text, text + std::strlen(text), n);
  return error == std::errc() && n > 0 ? n : fallback;
}

struct Result {
  int rc = -1;
  std::string out, err;
};

// Starts program with args; its output goes to outFile and errFile (or nowhere). The
// environment is this process's without a display and without another PC or script, plus
// the variables given (which replace those of the same name).
inline pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& variables, const fs::path& outFile = "/dev/null",
                   const fs::path& errFile = "/dev/null") {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string v = *e;
    for (const char* drop :
         {"DISPLAY=", "WINPC=", "WI_UI_SCRIPT=", "WI_HEADLESS=", "WI_SNAPSHOT_DIR="})
      if (v.rfind(drop, 0) == 0) v.clear();
    for (const auto& given : variables)
      if (v.rfind(given.substr(0, given.find('=') + 1), 0) == 0) v.clear();
    if (!v.empty()) env.push_back(v);
  }
  env.push_back("WI_HEADLESS=1");
  env.insert(env.end(), variables.begin(), variables.end());
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv, cenv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  for (auto& e : env) cenv.push_back(e.data());
  cenv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, cargv.data(), cenv.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Runs it to its end.
inline Result RunProgram(const fs::path& scratch, const std::string& program,
                         const std::vector<std::string>& args,
                         const std::vector<std::string>& variables = {}) {
  Result r;
  pid_t pid = Spawn(program, args, variables, scratch / "out", scratch / "err");
  if (pid < 0) return r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.rc =
      WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  r.out = testfiles::ReadFile(scratch / "out");
  r.err = testfiles::ReadFile(scratch / "err");
  return r;
}

inline Result Machine(const fs::path& scratch, const std::vector<std::string>& args) {
  return RunProgram(scratch, WI_BINARY_DIR "/tools/machine/machine", args);
}

// A folder of its own below the system's temporary folder, removed at the end.
class Scratch {
 public:
  explicit Scratch(const std::string& prefix) {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / (prefix + std::to_string(rd()) + "-" + std::to_string(rd()));
    fs::create_directories(dir_);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  const fs::path& dir() const { return dir_; }

 private:
  fs::path dir_;
};

// A copy of a PC folder; links (a drive mapped to media) stay links.
inline void CopyPc(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::remove_all(to, ec);
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

// The files below a PC's drive C by relative path, with their contents; an empty folder
// maps to "<folder>".
inline std::map<std::string, std::string> Files(const fs::path& pc) {
  std::map<std::string, std::string> out;
  const fs::path c = pc / "drives" / "c";
  for (auto it = fs::recursive_directory_iterator(c); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string rel = fs::relative(it->path(), c).string();
    if (it->is_symlink()) continue;
    if (it->is_regular_file())
      out[rel] = testfiles::ReadFile(it->path());
    else if (it->is_directory() && fs::is_empty(it->path()))
      out[rel] = "<folder>";
  }
  return out;
}

// The hidden marks a program leaves in the PC's folder while it has the PC open or is in
// its session.
inline bool IsOpeningMark(const fs::path& p) { return win::IsProcessMark(p.filename().string()); }

// Hidden write temporaries (and marks) and staging copies, anywhere below dir (a PC or one of
// its drives).
inline std::vector<std::string> Temporaries(const fs::path& dir) {
  std::vector<std::string> out;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it) {
    const std::string name = it->path().filename().string();
    if (win::IsWriteTempName(name) || win::IsStagingName(name)) out.push_back(it->path().string());
  }
  return out;
}

}  // namespace recovery
