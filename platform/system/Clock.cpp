#include "platform/system/Clock.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace win::clock {
namespace {
// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDelta = 11644473600ULL;

std::atomic<bool> g_simulated{false};
std::atomic<std::uint64_t> g_simOffsetMs{0};
std::mutex g_mutex;
std::uint64_t g_simBase = 0;  // FILETIME when simulation started
const auto g_processStart = std::chrono::steady_clock::now();
}  // namespace

std::uint64_t FromTimePoint(std::chrono::system_clock::time_point tp) {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(tp.time_since_epoch()).count();
  return std::uint64_t(ns / 100) + kEpochDelta * 10000000ULL;
}

std::chrono::system_clock::time_point ToTimePoint(std::uint64_t ft) {
  auto ticks = std::int64_t(ft) - std::int64_t(kEpochDelta * 10000000ULL);
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::nanoseconds(ticks * 100)));
}

std::uint64_t FromTimespec(const struct timespec& ts) {
  return (kEpochDelta + std::uint64_t(ts.tv_sec)) * 10000000ULL + std::uint64_t(ts.tv_nsec) / 100;
}

struct timespec ToTimespec(std::uint64_t ft) {
  struct timespec ts {};
  std::int64_t t = std::int64_t(ft) - std::int64_t(kEpochDelta * 10000000ULL);
  ts.tv_sec = t / 10000000;
  ts.tv_nsec = (t % 10000000) * 100;
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1000000000;
    ts.tv_sec -= 1;
  }
  return ts;
}

std::uint64_t Now() {
  if (g_simulated) {
    std::lock_guard lock(g_mutex);
    return g_simBase + g_simOffsetMs * kTicksPerMs;
  }
  return FromTimePoint(std::chrono::system_clock::now());
}

void SetSimulated(bool on) {
  std::lock_guard lock(g_mutex);
  if (on && !g_simulated) {
    g_simBase = FromTimePoint(std::chrono::system_clock::now());
    g_simOffsetMs = 0;
  }
  g_simulated = on;
}

bool IsSimulated() { return g_simulated; }

void Advance(std::uint64_t ms) {
  if (g_simulated) g_simOffsetMs += ms;
}

}  // namespace win::clock

namespace win {

void Sleep(DWORD ms) {
  if (clock::IsSimulated()) {
    clock::Advance(ms);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

DWORD GetTickCount() {
  if (clock::IsSimulated()) return DWORD(100000 + clock::g_simOffsetMs.load());
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                  clock::g_processStart)
                .count();
  return DWORD(100000 + ms);
}

void GetSystemTimeAsFileTime(FILETIME* ft) { *ft = FILETIME::from(clock::Now()); }

}  // namespace win
