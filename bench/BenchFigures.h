#pragma once
// What every benchmark prints beside its figures: the machine's load average, which the
// figures depend on, and the medians of its rounds.
#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
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

}  // namespace bench
