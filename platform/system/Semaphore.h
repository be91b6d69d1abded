#pragma once
// Semaphores. A named one is shared by the processes of one machine: its holders are kept
// in state.db with their process id, so it lives while some living process holds a handle
// on it; a holder that died (checked with kill(pid, 0) and its start time) no longer counts.
// Handles are closed with CloseHandle.
#include <string>

#include "platform/system/Files.h"
#include "platform/system/WinTypes.h"

namespace win {

// name null or empty: an unnamed semaphore of this process. A name that already exists
// gives a handle on it and the last error 183 (ERROR_ALREADY_EXISTS); a new one leaves 0.
// 87 for counts out of range (initial < 0, maximum <= 0, initial > maximum).
HANDLE CreateSemaphore(void* securityAttributes, LONG initialCount, LONG maximumCount,
                       const char* name);
// 298 (ERROR_TOO_MANY_POSTS) when the count would pass the maximum.
BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount);

inline constexpr DWORD ERROR_TOO_MANY_POSTS = 298;

}  // namespace win
