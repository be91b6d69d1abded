#pragma once
// The machine's identity as programs ask for it: Windows version, computer and user names,
// and the beep (recorded in the journal). GetSystemDefaultLangID is in Libraries.h.
#include <string>

#include "platform/system/WinTypes.h"

namespace win {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_ICONHAND = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
inline constexpr UINT MB_ICONASTERISK = 0x00000040;

inline constexpr DWORD MAX_COMPUTERNAME_LENGTH = 15;

struct OSVERSIONINFO {
  DWORD dwOSVersionInfoSize = sizeof(OSVERSIONINFO);
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  char szCSDVersion[128] = {};
};

// False with 122 when dwOSVersionInfoSize is not the size of the structure.
BOOL GetVersionEx(OSVERSIONINFO* info);
// The computer name: machine.ini host=, else the real host's name; upper case, at most 15
// characters. size in: buffer size; out: length (or the size needed, with 111).
BOOL GetComputerName(char* buffer, DWORD* size);
// The machine's one user (machine.ini user=). size in: buffer size; out: length with NUL.
BOOL GetUserName(char* buffer, DWORD* size);
BOOL MessageBeep(UINT type);

}  // namespace win
