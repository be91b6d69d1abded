#pragma once
// One clock for Sleep, tick counts and file times. In simulated mode (tests, unattended
// runs) sleeping advances the clock at once instead of waiting.
#include <chrono>
#include <cstdint>
#include <ctime>

#include "platform/system/WinTypes.h"

namespace win {

void Sleep(DWORD milliseconds);
DWORD GetTickCount();
void GetSystemTimeAsFileTime(FILETIME* ft);

namespace clock {
// Now, as a FILETIME value (100 ns units since 1601-01-01 UTC).
std::uint64_t Now();
void SetSimulated(bool on);
bool IsSimulated();
// Moves the simulated clock forward (no effect on the real one).
void Advance(std::uint64_t milliseconds);
std::uint64_t FromTimePoint(std::chrono::system_clock::time_point tp);
std::chrono::system_clock::time_point ToTimePoint(std::uint64_t filetime);
// A host file time (a stat time, a utimensat time) as a FILETIME value, and back.
std::uint64_t FromTimespec(const struct timespec& ts);
struct timespec ToTimespec(std::uint64_t filetime);
inline constexpr std::uint64_t kTicksPerMs = 10000;
}  // namespace clock

}  // namespace win
