#pragma once
// The shell's special folders (SHGetFolderPath, as shfolder.dll and shell32.dll give it).
#include <string>

#include "platform/system/Files.h"
#include "platform/system/Process.h"
#include "platform/system/WinTypes.h"

namespace win {

using HRESULT = LONG;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = HRESULT(0x80004005);
inline constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057);
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code) {
  return code == 0 ? S_OK : HRESULT((code & 0xFFFF) | 0x80070000u);
}
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr int CSIDL_FONTS = 0x0014;
inline constexpr int CSIDL_WINDOWS = 0x0024;
inline constexpr int CSIDL_SYSTEM = 0x0025;
inline constexpr int CSIDL_PROGRAM_FILES = 0x0026;
inline constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002B;
inline constexpr int CSIDL_FLAG_CREATE = 0x8000;
inline constexpr int CSIDL_FLAG_DONT_VERIFY = 0x4000;
inline constexpr int CSIDL_FLAG_MASK = 0xFF00;
inline constexpr DWORD SHGFP_TYPE_CURRENT = 0;
inline constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

// Program Files comes from HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion"
// "ProgramFilesDir" (E_FAIL when the value is missing), Fonts is the Windows folder plus
// "\Fonts". path gets at most MAX_PATH bytes, without trailing backslash. A folder that
// does not exist gives HRESULT_FROM_WIN32(2) unless CSIDL_FLAG_CREATE asks to create it;
// an unknown folder number gives E_INVALIDARG.
HRESULT SHGetFolderPathA(HWND owner, int csidl, HANDLE token, DWORD flags, char* path);
using PFN_SHGetFolderPathA = HRESULT (*)(HWND, int, HANDLE, DWORD, char*);

}  // namespace win
