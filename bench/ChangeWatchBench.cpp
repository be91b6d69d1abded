// Change watching over a folder tree of 20,000 files (20 folders of 10 folders of 100
// files on drive C:), watched whole by a shell tree (a subtree watch of the drive) and in
// one leaf folder by a shell list:
// - the CPU the process spends while nothing changes (the UI thread asleep), against a
//   rescan of the same tree every 50 ms (what polling costs) measured in the same run;
// - the delay from a folder made or removed outside the machine (plain host calls) to the
//   list's and the tree's change message, against a bare inotify read on that folder in
//   the same rounds; and the list's refresh work that follows (its timer aside).
//
//   bench_ChangeWatchBench [files]      (default 20000)
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/forms/Forms.h"
#include "platform/forms/UiDriver.h"
#include "platform/shell/HostFolderWatch.h"
#include "platform/system/Machine.h"
#include "shellcontrols/UScShellList.h"
#include "shellcontrols/UScShellTree.h"
#include "shellcontrols/UScShellUtils.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::Median;
using bench::Ms;

namespace {

double CpuMs(int who) {
  rusage u{};
  ::getrusage(who, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// CPU of every thread but this one over `seconds` of sleep, in ms per second.
double IdleCpu(double seconds) {
  double all0 = CpuMs(RUSAGE_SELF), me0 = CpuMs(RUSAGE_THREAD);
  auto a = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  double wall = Ms(a, Clock::now()) / 1e3;
  double others = (CpuMs(RUSAGE_SELF) - all0) - (CpuMs(RUSAGE_THREAD) - me0);
  return std::max(0.0, others / wall);  // rusage rounds to the microsecond
}

// What polling did: the names below root listed every 50 ms.
double PollingCpu(const fs::path& root, double seconds) {
  std::atomic<bool> stop{false};
  double used = 0;
  std::thread t([&] {
    double c0 = CpuMs(RUSAGE_THREAD);
    while (!stop) {
      std::string sig;
      std::error_code ec;
      for (auto it = fs::recursive_directory_iterator(root, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        sig += it->path().filename().string() + (it->is_directory(ec) ? "/\n" : "\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    used = CpuMs(RUSAGE_THREAD) - c0;
  });
  auto a = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop = true;
  t.join();
  return used / (Ms(a, Clock::now()) / 1e3);
}

void Touch(const fs::path& p, bool make) {
  if (make) {
    int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
      [[maybe_unused]] ssize_t n = ::write(fd, "x", 1);
      ::close(fd);
    }
  } else {
    ::unlink(p.c_str());
  }
}

// Pumps the UI thread's queue until done() or 5 s.
template <class F>
bool PumpUntil(F done) {
  auto end = Clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (Clock::now() > end) return false;
    win::MSG msg;
    while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessage(&msg);
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int files = bench::CountArgument(argc, argv, 1, 20000, 200);
  std::random_device rd;
  fs::path pc = fs::temp_directory_path() / ("wi-bench-watch-" + std::to_string(rd()));
  win::MachineSettings settings;
  settings.simulatedTime = true;
  win::Machine::CreateBare(pc, settings);
  win::Machine::Use(pc);
  fs::path tree = pc / "drives" / "c" / "Arbre";
  const int perLeaf = files / 200;
  for (int a = 0; a < 20; ++a)
    for (int b = 0; b < 10; ++b) {
      fs::path leaf =
          tree / ("Dossier " + std::to_string(a)) / ("Sous-dossier " + std::to_string(b));
      fs::create_directories(leaf);
      for (int f = 0; f < perLeaf; ++f)
        Touch(leaf / ("Fichier " + std::to_string(f) + ".txt"), true);
    }
  const fs::path leaf = tree / "Dossier 7" / "Sous-dossier 3";

  auto* form = new TForm(nullptr);
  form->SetBounds(0, 0, 800, 600);
  auto* shellTree = new TScShellTree(form);
  shellTree->SetParent(form);
  shellTree->SetBounds(0, 0, 250, 580);
  auto* list = new TScShellList(form);
  list->SetParent(form);
  list->SetBounds(260, 0, 520, 580);
  list->SetViewStyle(vsReport);
  win::LPITEMIDLIST pidl = nullptr;
  PathToPidl("C:\\Arbre\\Dossier 7\\Sous-dossier 3", &pidl);
  list->Folder()->SetPidl(pidl);
  ShellFree(pidl);
  form->SetVisible(true);
  shellTree->HandleNeeded();
  list->HandleNeeded();
  UiDriver::RunUntilIdle();
  if (!shellTree->ChangeThread() || !list->ChangeThread()) {
    std::fprintf(stderr, "the tree or the list does not watch\n");
    return 1;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("change watching, %d files in %d folders; %zu kernel watches\n", perLeaf * 200, 221,
              win::HostFolderWatch::KernelWatchCount());

  double idle = IdleCpu(3.0);
  double polling = PollingCpu(tree, 3.0);
  std::printf("  idle CPU while watching        %8.3f ms/s\n", idle);
  std::printf("  baseline: a 50 ms rescan       %8.3f ms/s   ratio %.4f\n", polling,
              polling > 0 ? idle / polling : 0.0);

  // The bare host event on the same folder, read by a thread of its own.
  int in = ::inotify_init1(IN_CLOEXEC);
  ::inotify_add_watch(in, leaf.c_str(), IN_CREATE | IN_DELETE | IN_ONLYDIR);
  std::atomic<long long> bareAt{0};
  std::atomic<bool> bareStop{false};
  std::thread bare([&] {
    alignas(inotify_event) char buf[4096];
    while (!bareStop && ::read(in, buf, sizeof buf) > 0)
      bareAt = Clock::now().time_since_epoch().count();
  });

  constexpr int kRounds = 31;
  std::vector<double> listDelay, treeDelay, bareDelay, refresh;
  for (int r = 0; r < kRounds; ++r) {
    bareAt = 0;
    bool make = r % 2 == 0;
    auto t0 = Clock::now();
    // A folder: the tree watches folder names only.
    fs::path made = leaf / "Ajouté dehors";
    if (make)
      ::mkdir(made.c_str(), 0755);
    else
      ::rmdir(made.c_str());
    Clock::time_point tl{}, tt{};
    bool ok = PumpUntil([&] {
      auto now = Clock::now();
      if (tl == Clock::time_point{} && list->RefreshTimerObject()->Enabled()) tl = now;
      if (tt == Clock::time_point{} && shellTree->Timer()->Enabled()) tt = now;
      return tl != Clock::time_point{} && tt != Clock::time_point{} && bareAt != 0;
    });
    if (!ok) {
      std::fprintf(stderr, "round %d: a change was not reported (list %d, tree %d, bare %d)\n", r,
                   tl != Clock::time_point{}, tt != Clock::time_point{}, bareAt != 0);
      std::_Exit(1);
    }
    listDelay.push_back(Ms(t0, tl));
    treeDelay.push_back(Ms(t0, tt));
    bareDelay.push_back(Ms(t0, Clock::time_point(Clock::duration(bareAt.load()))));
    // The refresh the timer would run, now.
    auto a = Clock::now();
    list->FlushPending(false);
    refresh.push_back(Ms(a, Clock::now()));
    shellTree->Timer()->SetEnabled(false);
    int expect = perLeaf + (make ? 1 : 0);
    if (list->Items()->Count() != expect)
      std::fprintf(stderr, "round %d: the list shows %d items, %d expected\n", r,
                   list->Items()->Count(), expect);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PumpUntil([] { return true; });
  }
  double b = Median(bareDelay), l = Median(listDelay), t = Median(treeDelay), rf = Median(refresh);
  std::printf(
      "  outside change to the list's message   %8.3f ms   ratio %.1f   target < 100 ms: %s\n", l,
      b > 0 ? l / b : 0.0, l < 100 ? "met" : "MISSED");
  std::printf("  outside change to the tree's message   %8.3f ms   ratio %.1f\n", t,
              b > 0 ? t / b : 0.0);
  std::printf("  baseline: bare inotify read            %8.3f ms\n", b);
  std::printf("  the list's refresh after it            %8.3f ms\n", rf);
  std::printf("  (median of %d rounds)\n", kRounds);

  bareStop = true;
  Touch(leaf / "x", true);  // wakes the bare reader
  bare.join();
  ::close(in);
  delete form;
  std::error_code ec;
  fs::remove_all(pc, ec);
  return 0;
}
