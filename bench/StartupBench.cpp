// Starts Tolvane and Install without a display on a fresh PC, each closing its first window
// at once (a UI script answers), beside /bin/true started the same way in the same run, in
// alternating rounds. Prints the median wall and CPU times of each and the load average.
//
//   bench_StartupBench [rounds] [Tolvane] [Install]
// (default 21 rounds, the programs of this build: ../tolvane/Tolvane, ../wizard/Install
// beside this benchmark)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"

extern char** environ;

namespace fs = std::filesystem;

using bench::LoadAverage;
using bench::Median;

namespace {

// Wall time of a program start (the first window shown and closed), against this target.
constexpr double kTolvaneTargetMs = 40.0;

struct Times {
  std::vector<double> wall, cpu;  // milliseconds
};

// Runs program with the extra environment and adds its wall and CPU time; false (with a
// message) when it fails.
bool Run(const std::string& program, const std::vector<std::string>& extraEnv, Times& t) {
  std::vector<std::string> env = extraEnv;
  for (char** e = environ; *e; ++e) {
    std::string s = *e;
    if (s.rfind("WINPC=", 0) == 0 || s.rfind("WI_", 0) == 0 || s.rfind("DISPLAY=", 0) == 0)
      continue;
    env.push_back(s);
  }
  std::vector<char*> envp, argv{const_cast<char*>(program.c_str()), nullptr};
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    return false;
  }
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) return false;
  double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s ended with status %d\n", program.c_str(), status);
    return false;
  }
  auto ms = [](const timeval& tv) { return tv.tv_sec * 1000.0 + tv.tv_usec / 1000.0; };
  t.wall.push_back(wall);
  t.cpu.push_back(ms(usage.ru_utime) + ms(usage.ru_stime));
  return true;
}

void Print(const char* name, const Times& t, const Times& base) {
  double w = Median(t.wall), c = Median(t.cpu), bw = Median(base.wall);
  std::printf("%-9s wall %7.1f ms (%.1fx /bin/true)  cpu %6.1f ms\n", name, w, bw > 0 ? w / bw : 0,
              c);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = bench::CountArgument(argc, argv, 1, 21);
  fs::path self = fs::canonical("/proc/self/exe").parent_path();
  std::string tolvane =
      argc > 2 ? argv[2] : (self / "../tolvane/Tolvane").lexically_normal().string();
  std::string install =
      argc > 3 ? argv[3] : (self / "../wizard/Install").lexically_normal().string();

  fs::path dir =
      fs::temp_directory_path() / ("wi-startbench-" + std::to_string(std::random_device{}()));
  win::CreateMachine(dir / "pc", win::MachineSettings{});
  fs::create_directories(dir);
  std::ofstream(dir / "close-tolvane.txt") << "close\n";
  std::ofstream(dir / "close-install.txt") << "click ButtonCancel\ndialog warning | | yes\n";
  auto envFor = [&](const char* script) {
    return std::vector<std::string>{"WINPC=" + (dir / "pc").string(), "WI_HEADLESS=1",
                                    "WI_UI_SCRIPT=" + (dir / script).string()};
  };

  std::printf("load average before: %s\n", LoadAverage().c_str());
  Times t, i, b, warm;
  // One start of each first: the page cache holds the programs and the PC's files.
  bool ok = Run(tolvane, envFor("close-tolvane.txt"), warm) &&
            Run(install, envFor("close-install.txt"), warm) && Run("/bin/true", {}, warm);
  for (int r = 0; ok && r < rounds; ++r)
    ok = Run("/bin/true", {}, b) && Run(tolvane, envFor("close-tolvane.txt"), t) &&
         Run(install, envFor("close-install.txt"), i);
  std::error_code ec;
  fs::remove_all(dir, ec);
  if (!ok) return 1;

  std::printf("%d rounds, medians\n", rounds);
  Print("/bin/true", b, b);
  Print("Tolvane", t, b);
  Print("Install", i, b);
  std::printf("load average after: %s\n", LoadAverage().c_str());
  std::printf("target (Tolvane shown and closed within %.0f ms): %s\n", kTolvaneTargetMs,
              Median(t.wall) <= kTolvaneTargetMs ? "met" : "missed");
  return 0;
}
