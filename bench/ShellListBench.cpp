// The shell list over a folder of 2,000 files: the fill (enumeration, items, sort) with
// and without the first page painted, and the merge refresh after one file made or removed
// from outside, against a plain listing of the same folder (readdir and one stat per entry,
// what the list shows) measured in the same run, in alternating rounds.
// Targets: fill <= 40 ms, one-change refresh <= 15 ms.
//
//   bench_ShellListBench [files]      (default 2000)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

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
#include "platform/forms/Forms.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/system/Clock.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "shellcontrols/UScShellList.h"
#include "shellcontrols/UScShellUtils.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using bench::LoadAverage;
using bench::Median;
using bench::Ms;

namespace {

// What a plain program does to show a folder: its names, sizes and times.
std::size_t PlainListing(const fs::path& dir) {
  std::size_t n = 0;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  int fd = ::dirfd(d);
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
    struct stat st;
    if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) ++n;
  }
  ::closedir(d);
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  int files = bench::CountArgument(argc, argv, 1, 2000);
  std::random_device rd;
  fs::path root = fs::temp_directory_path() / ("wi-bench-list-" + std::to_string(rd()));
  win::MachineSettings settings;
  settings.simulatedTime = true;
  win::Machine::CreateBare(root, settings);
  win::Machine::Use(root);
  fs::path host = root / "drives" / "c" / "Dossier";
  fs::create_directories(host);
  for (int i = 0; i < files; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "Fichier %04d.%s", i,
                  i % 3 == 0   ? "txt"
                  : i % 3 == 1 ? "dll"
                               : "doc");
    std::ofstream(host / name) << std::string(std::size_t(100 + i % 5000), 'x');
  }

  std::printf("load average before: %s\n", LoadAverage().c_str());
  auto* form = new TForm(nullptr);
  form->SetBounds(0, 0, 800, 600);
  auto* list = new TScShellList(form);
  list->SetParent(form);
  list->SetBounds(0, 0, 780, 580);
  list->SetViewStyle(vsReport);
  list->SetOptions(list->Options() & ~ScListOpt(scsloDynamicRefresh));
  win::LPITEMIDLIST pidl = nullptr;
  PathToPidl("C:\\Dossier", &pidl);
  list->Folder()->SetPidl(pidl);
  ShellFree(pidl);
  form->SetVisible(true);
  // The very first fill also gives the long names their short names, once for good.
  auto first = Clock::now();
  list->HandleNeeded();
  UiDriver::RunUntilIdle();
  double firstFill = Ms(first, Clock::now());
  win::Surface surface;
  WindowPainter::PaintWindow(form, surface);

  constexpr int kRounds = 15;
  std::vector<double> fill, fillPaint, refresh, plain;
  for (int r = 0; r < kRounds; ++r) {
    auto a = Clock::now();
    std::size_t n = PlainListing(host);
    auto b = Clock::now();
    plain.push_back(Ms(a, b));
    if (int(n) != files + r % 2) std::fprintf(stderr, "the listing saw %zu files\n", n);

    a = Clock::now();
    list->Fill();
    b = Clock::now();
    fill.push_back(Ms(a, b));

    a = Clock::now();
    list->Fill();
    WindowPainter::PaintWindow(form, surface);
    b = Clock::now();
    fillPaint.push_back(Ms(a, b));

    // One change from outside, then the refresh's own work (its timer aside).
    fs::path extra = host / "Ajouté dehors.txt";
    if (r % 2 == 0)
      std::ofstream(extra) << "x";
    else
      fs::remove(extra);
    a = Clock::now();
    list->Refresh();
    b = Clock::now();
    refresh.push_back(Ms(a, b));
    int expect = files + (r % 2 == 0 ? 1 : 0);
    if (list->Items()->Count() != expect)
      std::fprintf(stderr, "refresh shows %d items, %d expected\n", list->Items()->Count(), expect);
  }
  double p = Median(plain), f = Median(fill), fp = Median(fillPaint), rf = Median(refresh);
  std::printf("shell list, %d files (median of %d rounds):\n", files, kRounds);
  std::printf("  plain listing (readdir + stat)  %8.2f ms\n", p);
  std::printf("  first fill (short names given)  %8.2f ms\n", firstFill);
  std::printf("  fill                            %8.2f ms  ratio %6.1f  target <= 40 ms: %s\n", f,
              f / p, f <= 40 ? "met" : "MISSED");
  std::printf("  fill + first page painted       %8.2f ms  ratio %6.1f\n", fp, fp / p);
  std::printf("  refresh after one change        %8.2f ms  ratio %6.1f  target <= 15 ms: %s\n", rf,
              rf / p, rf <= 15 ? "met" : "MISSED");
  std::printf("load average after: %s\n", LoadAverage().c_str());
  delete form;
  std::error_code ec;
  fs::remove_all(root, ec);
  return 0;
}
