#pragma once
// Loading libraries over the machine's files. A library is found as Windows finds it: the
// path given, else the program's folder, the system folder, the Windows folder and the
// folders of the machine's Path (HKLM ...\Session Manager\Environment); ".dll" is added
// to a name without extension. kernel32, advapi32, user32, gdi32 (and ntdll on NT) are
// always loaded. Other libraries load when their file is found (126 otherwise); a file
// that is not a PE image is refused with 193, except shell32.dll and shfolder.dll, which
// load whenever their file exists.
//
// GetProcAddress gives our own implementations of the entry points callers look up:
//   "SHGetFolderPathA"       shfolder.dll; shell32.dll on Windows 2000 and later
//   "ChangeServiceConfig2A"  advapi32.dll on NT 5 and later
// Anything else gives null and 127. Cast the result to the entry point's type
// (PFN_SHGetFolderPathA, PFN_ChangeServiceConfig2A).
#include <string>

#include "platform/system/Process.h"
#include "platform/system/WinTypes.h"

namespace win {

using FARPROC = void (*)();

HMODULE LoadLibrary(const std::string& name);
// Each LoadLibrary is matched by one FreeLibrary; the module goes with the last one.
BOOL FreeLibrary(HMODULE module);
// A module already loaded (by file name, or full path), without counting it; null name:
// the program's own module.
HMODULE GetModuleHandle(const char* name);
FARPROC GetProcAddress(HMODULE module, const std::string& name);
// The module's full Windows path; null module: the program (ProgramPath). Returns the
// length copied; a buffer too small gets the truncated text and 122.
DWORD GetModuleFileName(HMODULE module, char* buffer, DWORD size);

// The system's default language (machine.ini language=).
LANGID GetSystemDefaultLangID();

}  // namespace win
