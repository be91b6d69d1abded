#pragma once
// SHGetFileInfo: display name, type name, attributes and the system image lists with the
// icon index of an item (a path or an absolute item-id list).
//
// The system image lists: small (16x16) and large (32x32), our own drawn icons, same
// indexes in both. Overlay 1 is the share hand, overlay 2 the shortcut arrow.
#include <string>

#include "platform/forms/ImgList.h"
#include "platform/shell/ItemIdList.h"

namespace win {

inline constexpr UINT SHGFI_LARGEICON = 0x0;
inline constexpr UINT SHGFI_SMALLICON = 0x1;
inline constexpr UINT SHGFI_OPENICON = 0x2;
inline constexpr UINT SHGFI_SHELLICONSIZE = 0x4;
inline constexpr UINT SHGFI_PIDL = 0x8;
inline constexpr UINT SHGFI_USEFILEATTRIBUTES = 0x10;
inline constexpr UINT SHGFI_ICON = 0x100;
inline constexpr UINT SHGFI_DISPLAYNAME = 0x200;
inline constexpr UINT SHGFI_TYPENAME = 0x400;
inline constexpr UINT SHGFI_ATTRIBUTES = 0x800;
inline constexpr UINT SHGFI_ICONLOCATION = 0x1000;
inline constexpr UINT SHGFI_EXETYPE = 0x2000;
inline constexpr UINT SHGFI_SYSICONINDEX = 0x4000;
inline constexpr UINT SHGFI_LINKOVERLAY = 0x8000;
inline constexpr UINT SHGFI_SELECTED = 0x10000;

struct SHFILEINFO {
  HICON hIcon = nullptr;
  int iIcon = 0;
  DWORD dwAttributes = 0;
  char szDisplayName[260] = {};
  char szTypeName[80] = {};
};

// Indexes of the system image lists.
inline constexpr int SHIL_FILE = 0;  // document
inline constexpr int SHIL_FOLDER = 1;
inline constexpr int SHIL_FOLDER_OPEN = 2;
inline constexpr int SHIL_DRIVE_FIXED = 3;
inline constexpr int SHIL_DRIVE_FLOPPY = 4;
inline constexpr int SHIL_DRIVE_CDROM = 5;
inline constexpr int SHIL_DRIVE_NET = 6;
inline constexpr int SHIL_COMPUTER = 7;
inline constexpr int SHIL_DESKTOP = 8;
inline constexpr int SHIL_PROGRAM = 9;  // .exe, .com, .bat
inline constexpr int SHIL_SHARE_OVERLAY = 10;
inline constexpr int SHIL_LINK_OVERLAY = 11;
inline constexpr int SHIL_COUNT = 12;

// path: a Windows path, or (SHGFI_PIDL) an LPCITEMIDLIST passed through as const char*.
// With SHGFI_SYSICONINDEX the result is the system image list (small with
// SHGFI_SMALLICON) and iIcon the item's index; otherwise non-zero on success. Type names:
// "Dossier de fichiers", "Fichier XYZ" by extension (or "Fichier"), "Application",
// "Raccourci", "Disque local", "Poste de travail", "Bureau"... With
// SHGFI_USEFILEATTRIBUTES the path need not exist (the attributes tell file from folder).
// A missing item or malformed list gives 0.
std::uintptr_t SHGetFileInfo(const char* path, DWORD fileAttributes, SHFILEINFO* info, UINT size,
                             UINT flags);
inline std::uintptr_t SHGetFileInfoA(const char* path, DWORD attributes, SHFILEINFO* info,
                                     UINT size, UINT flags) {
  return SHGetFileInfo(path, attributes, info, size, flags);
}
// The system image lists themselves (small: 16x16, large: 32x32).
HIMAGELIST SystemImageList(bool small);

}  // namespace win
