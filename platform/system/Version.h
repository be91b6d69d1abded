#pragma once
// version.dll's calls over the machine's files: the version resource of a PE file.
// String values come back as UTF-8 (the block holds them as UTF-16; the size that
// GetFileVersionInfoSize asks for leaves room for the converted copies).
#include <string>

#include "platform/system/WinTypes.h"

namespace win {

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VS_FFI_FILEFLAGSMASK = 0x0000003F;
inline constexpr DWORD VS_FF_DEBUG = 0x01;
inline constexpr DWORD VS_FF_PRERELEASE = 0x02;
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
inline constexpr DWORD VOS__WINDOWS32 = 0x00000004;
inline constexpr DWORD VFT_UNKNOWN = 0;
inline constexpr DWORD VFT_APP = 1;
inline constexpr DWORD VFT_DLL = 2;

// A bare file name ("comcat.dll") is looked for as the library loader would: the
// program's folder, the system folder, the 16-bit system folder (NT), the Windows folder,
// the current folder. 0 with the last error on failure: 2/3 missing file, 193 not a PE
// file, 11 a damaged PE file, 1813 a PE file without version resource.
DWORD GetFileVersionInfoSize(const std::string& path, DWORD* handle);
BOOL GetFileVersionInfo(const std::string& path, DWORD handle, DWORD len, void* data);
// subBlock "\\": the VS_FIXEDFILEINFO (len = 52). "\\VarFileInfo\\Translation": the
// language and code page pairs (len in bytes). "\\StringFileInfo\\040C04E4\\FileVersion":
// the text, UTF-8 and NUL-terminated (len = bytes with the NUL). Names compare without
// regard to case. False (and len 0) when the value is missing.
BOOL VerQueryValue(const void* block, const std::string& subBlock, void** buffer, UINT* len);

}  // namespace win
