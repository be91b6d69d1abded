#pragma once
#include "platform/system/WinTypes.h"

namespace win {
// The last error is kept per thread, as Windows keeps it.
DWORD GetLastError();
void SetLastError(DWORD code);
}  // namespace win
