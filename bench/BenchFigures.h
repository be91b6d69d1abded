#pragma once
// What every benchmark prints beside its figures: the machine's load average, which the
// figures depend on, and the medians of its rounds.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// "1-minute 5-minute 15-minute" from /proc/loadavg.
inline std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

// Milliseconds between two readings of the steady clock.
inline double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// 0 for no rounds.
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The median time in milliseconds of `runs` calls of f.
template <class F>
double MedianMs(F f, int runs) {
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    auto a = std::chrono::steady_clock::now();
    f();
    t.push_back(Ms(a, std::chrono::steady_clock::now()));
  }
  return Median(std::move(t));
}

// Argument `at` of the command line as a count: `fallback` when it is absent; when it is not
// a whole number of at least `least`, a message and exit code 2.
inline int CountArgument(int argc, char** argv, int at, int fallback, int least = 1) {
  if (argc <= at) return fallback;
  const char* text = argv[at];
  int n = 0;
  auto [end, error] = std::from_chars(text, text + std::strlen(text), n);
  if (error != std::errc() || *end || n < least) {
    std::fprintf(stderr, "%s: '%s' is not a count of at least %d\n", argv[0], text, least);
    std::exit(2);
  }
  return n;
}

}  // namespace bench
