// What checking item-id lists as they are walked costs. With 20,000 live task-allocator
// lists (absolute lists of three items, as a shell list holds them), times in the same run,
// in alternating rounds:
//   - the plain walk of the lengths (no check: the baseline),
//   - ILGetSize, which refuses item lengths below 3 and lists past the sane bound,
//   - a byte-ordered TScPidlList sort of 5,000 of them (sizes taken once per entry).
// Prints the times and the ratio bounded / plain.
//
//   bench_PidlWalkBench [lists]      (default 20000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/shell/ItemIdList.h"
#include "shellcontrols/UScShellUtils.h"

using namespace win;
using Clock = std::chrono::steady_clock;

namespace {

std::string Item(std::mt19937& rng) {
  pidl::FileItem f;
  f.name = "fichier" + std::to_string(rng() % 100000) + ".txt";
  return pidl::FileItemBytes(f);
}

UINT PlainSize(LPCITEMIDLIST p) {
  const BYTE* b = reinterpret_cast<const BYTE*>(p);
  std::size_t at = 0;
  for (USHORT cb; (cb = USHORT(b[at] | (b[at + 1] << 8))) != 0;) at += cb;
  return UINT(at + 2);
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int n = std::max(1000, bench::CountArgument(argc, argv, 1, 20000));
  std::mt19937 rng(7);
  std::vector<LPITEMIDLIST> lists;
  lists.reserve(size_t(n));
  for (int i = 0; i < n; ++i)
    lists.push_back(pidl::Make({pidl::DriveItem('C'), Item(rng), Item(rng)}));
  double plain = 0, bounded = 0, sort = 0;
  std::uint64_t check = 0;
  const int rounds = 5, passes = 20;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    for (int k = 0; k < passes; ++k)
      for (auto l : lists) check += PlainSize(l);
    auto t1 = Clock::now();
    for (int k = 0; k < passes; ++k)
      for (auto l : lists) check -= ILGetSize(l);
    auto t2 = Clock::now();
    TScPidlList sorted;
    for (int i = 0; i < 5000 && i < n; ++i) sorted.Add(lists[std::size_t(i)]);
    sorted.SetSorted(true);
    auto t3 = Clock::now();
    plain += Seconds(t0, t1);
    bounded += Seconds(t1, t2);
    sort += Seconds(t2, t3);
  }
  if (check != 0) {
    std::fprintf(stderr, "sizes differ\n");
    return 1;
  }
  const double per = double(rounds) * passes * n;
  std::printf(
      "lists %d: plain walk %.1f ns, bounded walk %.1f ns, ratio %.2f; sort of 5000 %.2f ms\n", n,
      plain / per * 1e9, bounded / per * 1e9, bounded / plain, sort / rounds * 1e3);
  for (auto l : lists) ILFree(l);
  return 0;
}
