// Places a tree of 2,000 files (4 KiB to 1 MiB) with TWindowsInstaller::InstallFile, into
// an empty folder and again over older copies, and times `cp -r` of the same tree in the
// same run, in alternating rounds. Prints the times with the CPU seconds behind them (user +
// kernel), the ratios placement / cp (medians of the rounds) and the load average of the
// machine, which the figures depend on.
//
//   bench_PlacementBench [files] [rounds]      (default 2000 files, 5 rounds)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/system/Machine.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::LoadAverage;
using bench::Median;

namespace {

struct Item {
  std::string rel;  // Windows-style relative folder ("" or "d07\\")
  std::string name;
};

// Mostly small files, as an installation has them: 70% 4-16 KiB, 25% 16-256 KiB,
// 5% 256 KiB-1 MiB.
std::size_t PickSize(std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(0, 99);
  int p = pick(rng);
  auto between = [&](std::size_t lo, std::size_t hi) {
    return std::uniform_int_distribution<std::size_t>(lo, hi)(rng);
  };
  if (p < 70) return between(4 << 10, 16 << 10);
  if (p < 95) return between(16 << 10, 256 << 10);
  return between(256 << 10, 1 << 20);
}

std::vector<Item> MakeTree(const fs::path& root, int count, std::uintmax_t& bytes) {
  std::mt19937 rng(42);
  std::vector<Item> items;
  std::vector<char> data(1 << 20);
  for (auto& c : data) c = char(rng());
  bytes = 0;
  for (int i = 0; i < count; ++i) {
    char dir[16], name[32];
    std::snprintf(dir, sizeof dir, "d%02d", i % 40);
    std::snprintf(name, sizeof name, "file%04d.dll", i);
    fs::create_directories(root / dir);
    std::size_t size = PickSize(rng);
    std::ofstream(root / dir / name, std::ios::binary).write(data.data(), std::streamsize(size));
    bytes += size;
    items.push_back({std::string(dir) + "\\", name});
  }
  return items;
}

// Before each timed part: the data the previous part left dirty is written back now rather
// than during the next contender's time, and inodes freed by earlier runs are passed by for
// a minute rather than six (a file system without a journal passes by recently freed inodes,
// longer while they sit in dirty buffers), so both contenders start from the same state.
void Settle() { ::sync(); }

// Targets on a quiet machine: a fresh placement within 1.5 times `cp -r`, a placement over
// older copies (each backed up) within 2 times.
constexpr double kFreshTarget = 1.5;
constexpr double kOverTarget = 2.0;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// CPU seconds spent in user space and in the kernel, by this process or its children.
struct Cpu {
  double user = 0, sys = 0;
};
Cpu CpuNow(int who = RUSAGE_SELF) {
  struct rusage u {};
  ::getrusage(who, &u);
  return {double(u.ru_utime.tv_sec) + u.ru_utime.tv_usec / 1e6,
          double(u.ru_stime.tv_sec) + u.ru_stime.tv_usec / 1e6};
}
Cpu g_cpCpu;  // of the last cp

double TimeCp(const fs::path& src, const fs::path& dst, bool over) {
  std::string cmd = over ? "cp -r '" + src.string() + "/.' '" + dst.string() + "'"
                         : "cp -r '" + src.string() + "' '" + dst.string() + "'";
  Cpu c0 = CpuNow(RUSAGE_CHILDREN);
  auto t0 = Clock::now();
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "cp failed\n");
    std::exit(1);
  }
  double wall = Seconds(t0, Clock::now());
  Cpu c1 = CpuNow(RUSAGE_CHILDREN);
  g_cpCpu = {c1.user - c0.user, c1.sys - c0.sys};
  return wall;
}

Cpu g_cpu;  // of the last placement

double TimePlacement(const std::vector<Item>& items, const std::string& src, const std::string& dst,
                     int& placed, int& reboots) {
  placed = reboots = 0;
  Cpu c0 = CpuNow();
  auto t0 = Clock::now();
  // Each folder is made once, as `cp -r` makes it, the first time a file goes there.
  std::set<std::string> made;
  for (const auto& it : items) {
    std::string destDir = dst + it.rel;
    if (made.insert(destDir).second) CreateDirectories(destDir);
    bool reboot = false;
    placed += TWindowsInstaller::InstallFile(src + it.rel + it.name, destDir, "", reboot);
    reboots += reboot;
  }
  double wall = Seconds(t0, Clock::now());
  Cpu c1 = CpuNow();
  g_cpu = {c1.user - c0.user, c1.sys - c0.sys};
  return wall;
}

}  // namespace

int main(int argc, char** argv) {
  int count = bench::CountArgument(argc, argv, 1, 2000);
  int rounds = bench::CountArgument(argc, argv, 2, 5);
  fs::path dir = fs::temp_directory_path() / ("wi-bench-" + std::to_string(std::random_device{}()));
  win::MachineSettings settings;
  settings.simulatedTime = true;
  win::Machine::CreateBare(dir, settings);
  auto& m = win::Machine::Use(dir);
  fs::path c = m.DriveRoot('C');

  std::uintmax_t bytes = 0;
  auto items = MakeTree(c / "src", count, bytes);
  std::printf("tree: %d files, %.1f MiB; load average before: %s\n", count,
              double(bytes) / (1 << 20), LoadAverage().c_str());

  // Page cache warm for both contenders. The copy stays until the end: removing it here
  // would leave 2,000 freshly freed inodes for the timed parts to step over.
  TimeCp(c / "src", c / "warm", false);

  // Each contender places into its own new folder. Which one goes first changes from round
  // to round: a file system gets slower to allocate as a run goes on (a disk without a
  // journal passes by the inodes that earlier runs freed, more of them the fuller a group
  // gets), and always going second would charge that drift to one contender alone. The
  // figures are the medians of the rounds, so load from outside the run falls on both.
  std::vector<double> cpFresh, fresh, cpOver, over;
  int placed = 0, replaced = 0, reboots;
  auto cpu = [](const Cpu& c) {
    char text[48];
    std::snprintf(text, sizeof text, "(%.3f + %.3f)", c.user, c.sys);
    return std::string(text);
  };
  for (int round = 0; round < rounds; ++round) {
    std::string n = std::to_string(round);
    std::string dst = "C:\\dst" + n + "\\";
    const bool cpFirst = round % 2 == 0;
    Cpu cpFreshCpu, freshCpu, cpOverCpu, overCpu;
    // One part of the round: `cp -r` and the placement, in this round's order, each after
    // the file system settled.
    auto timeBoth = [&](bool isOver, Cpu& cpCpu, Cpu& placeCpu) {
      auto copy = [&] {
        Settle();
        (isOver ? cpOver : cpFresh).push_back(TimeCp(c / "src", c / ("cp" + n), isOver));
        cpCpu = g_cpCpu;
      };
      auto place = [&] {
        Settle();
        (isOver ? over : fresh)
            .push_back(TimePlacement(items, "C:\\src\\", dst, isOver ? replaced : placed, reboots));
        placeCpu = g_cpu;
      };
      if (cpFirst) copy();
      place();
      if (!cpFirst) copy();
    };
    timeBoth(false, cpFreshCpu, freshCpu);

    // Make every placed copy older than its source, so each is backed up and replaced.
    auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (auto& e : fs::recursive_directory_iterator(c / ("dst" + n)))
      if (e.is_regular_file()) fs::last_write_time(e.path(), old);
    timeBoth(true, cpOverCpu, overCpu);

    // CPU seconds (user + kernel) beside each time: where the time goes, and how much of
    // it the kernel spends for both contenders alike.
    std::printf("round %d (%s first): fresh %.3f s %s / cp %.3f s %s = %.2f\n", round + 1,
                cpFirst ? "cp" : "placement", fresh.back(), cpu(freshCpu).c_str(), cpFresh.back(),
                cpu(cpFreshCpu).c_str(), fresh.back() / cpFresh.back());
    std::printf("         over  %.3f s %s / cp %.3f s %s = %.2f\n", over.back(),
                cpu(overCpu).c_str(), cpOver.back(), cpu(cpOverCpu).c_str(),
                over.back() / cpOver.back());
  }
  double f = Median(fresh), cf = Median(cpFresh), o = Median(over), co = Median(cpOver);
  std::printf("fresh:  placement %.3f s (%d placed), cp -r %.3f s, ratio %.2f\n", f, placed, cf,
              f / cf);
  std::printf("over:   placement %.3f s (%d replaced, backups kept), cp -r %.3f s, ratio %.2f\n", o,
              replaced, co, o / co);

  std::printf("load average after: %s\n", LoadAverage().c_str());
  std::printf("targets (fresh within %.1fx of cp, over within %.1fx): fresh %s, over %s\n",
              kFreshTarget, kOverTarget, f / cf <= kFreshTarget ? "met" : "missed",
              o / co <= kOverTarget ? "met" : "missed");

  m.CloseDatabases();
  fs::remove_all(dir);
  // The deletion's dirty inode tables written back now: a next run then steps over the
  // freed inodes for one minute rather than for six.
  Settle();
  return 0;
}
