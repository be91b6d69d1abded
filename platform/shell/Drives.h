#pragma once
// The machine's drives as kernel32 reports them: every drives/<letter> folder of the
// machine is a drive. Types: A: and B: removable; a drive whose folder is a link to a host
// folder (installation media) a CD-ROM; the others fixed. Z: (the host's root) is not
// listed.
#include <string>

#include "platform/system/WinTypes.h"

namespace win {

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

DWORD GetLogicalDrives();  // bit 0 A:, bit 2 C: ...
// root: "C:\", "C:" or "c:\x" (the drive of the path). DRIVE_NO_ROOT_DIR for a drive the
// machine lacks or a malformed root.
UINT GetDriveType(const std::string& root);
inline UINT GetDriveTypeA(const std::string& root) { return GetDriveType(root); }
// The label is the drive folder's ".label" file's first line, else "" ("CDROM" for CDs).
BOOL GetVolumeInformation(const std::string& root, char* volumeName, DWORD volumeSize,
                          DWORD* serial, DWORD* maxComponent, DWORD* fsFlags, char* fsName,
                          DWORD fsNameSize);

}  // namespace win
