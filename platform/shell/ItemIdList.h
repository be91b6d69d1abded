#pragma once
// Item-id lists: the shell's names of folders and files.
//
// Layout as Windows has it: a list is a run of items, each starting with its total length
// as an unsigned 16-bit little-endian count (the two length bytes included), ended by a
// 16-bit zero. The empty list (just the zero) is the desktop. Lists made by the shell are
// allocated with the task allocator (CoTaskMemAlloc / SHGetMalloc) and belong to the caller.
//
// Our item format (the bytes after the length of each item; byte offsets from the item's
// start, all numbers little-endian):
//   2      kind byte
//   kind 0x1F  "root item" (a virtual folder below the desktop), cb = 20:
//          3  sort byte (0x50), 4..19 the folder's CLSID (My Computer:
//          {20D04FE0-3AEA-1069-A2D8-08002B30309D}).
//   kind 0x2F  drive, cb = 7: 3..6 "X:\" and a zero byte.
//   kind 0x31  file-system folder, 0x32 file-system file:
//          3..6   FILE_ATTRIBUTE_* (DWORD)
//          7..14  size in bytes (64-bit; 0 for folders)
//          15..22 last-write time (FILETIME, UTC)
//          23..30 creation time (FILETIME, UTC)
//          31..   the long name, UTF-8, zero-terminated, then the short (8.3) name,
//                 zero-terminated (empty when the long name already is one).
// A file-system item's parent is a drive, a file-system folder, or (first level) the
// desktop, whose file-system children live in the user's desktop folder.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell/Com.h"

namespace win {

#pragma pack(push, 1)
struct SHITEMID {
  USHORT cb;
  BYTE abID[1];
};
struct ITEMIDLIST {
  SHITEMID mkid;
};
#pragma pack(pop)
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using PITEMID_CHILD = ITEMIDLIST*;
using PCUITEMID_CHILD = const ITEMIDLIST*;
using LPCITEMIDLIST_ARRAY = const LPCITEMIDLIST*;

// A list is walked by its own lengths up to its terminator, wherever it lies (the task
// allocator, a global block, a caller's array). A list whose memory is the caller's to
// vouch for gets a sane bound only: it ends within kMaxIdListBytes, every item length at
// least 3. A list of bytes from outside (a data object, a file) is walked within the size
// that came with it, so a truncated list or an item running past the data is refused, never
// read past its end.
inline constexpr std::size_t kMaxIdListBytes = 0x10000;
// The size of a well-formed list (terminator included) within `limit` bytes (and the bound);
// 0 for null or a malformed list.
UINT ILSizeWithin(LPCITEMIDLIST pidl, std::size_t limit);
// The same within the bound only.
UINT ILValidSize(LPCITEMIDLIST pidl);
bool ILIsValid(LPCITEMIDLIST pidl);
bool ILIsValid(LPCITEMIDLIST pidl, std::size_t maxBytes);

// shell32's list helpers (Windows names). A malformed list counts as none: size and count
// 0, clones and combinations null, never equal.
UINT ILGetSize(LPCITEMIDLIST pidl);       // terminator included; 0 for null
LPITEMIDLIST ILNext(LPCITEMIDLIST pidl);  // null at the terminator or for null
bool ILIsEmpty(LPCITEMIDLIST pidl);       // null or just the terminator
UINT ILGetCount(LPCITEMIDLIST pidl);
LPITEMIDLIST ILClone(LPCITEMIDLIST pidl);       // task allocator; null for null
LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST pidl);  // the first item alone
LPITEMIDLIST ILCombine(LPCITEMIDLIST parent, LPCITEMIDLIST child);
LPITEMIDLIST ILFindLastID(LPCITEMIDLIST pidl);  // the last item (the terminator when empty)
BOOL ILRemoveLastID(LPITEMIDLIST pidl);         // cuts the last item in place
void ILFree(LPITEMIDLIST pidl);
BOOL ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b);  // byte equality

// Our item format, for the shell's own folders and for tests.
namespace pidl {

inline constexpr BYTE KIND_ROOT = 0x1F;
inline constexpr BYTE KIND_DRIVE = 0x2F;
inline constexpr BYTE KIND_FOLDER = 0x31;
inline constexpr BYTE KIND_FILE = 0x32;

struct FileItem {
  bool folder = false;
  DWORD attributes = 0;
  std::uint64_t size = 0;
  FILETIME lastWrite, creation;
  std::string name;
  std::string shortName;
};

// One item as bytes (length prefix included, no terminator).
std::string RootItem(const GUID& clsid);
std::string DriveItem(char letter);
std::string FileItemBytes(const FileItem& item);
// A task-allocated list of the given items (each from the builders above).
LPITEMIDLIST Make(const std::vector<std::string>& items);
// The items of a valid list as byte strings; nullopt for a malformed one.
std::optional<std::vector<std::string>> Split(LPCITEMIDLIST list);

// Readers of one item (the list's first item); nullopt when it is not of that kind or is
// malformed.
std::optional<GUID> AsRoot(LPCITEMIDLIST item);
std::optional<char> AsDrive(LPCITEMIDLIST item);  // upper-case letter
std::optional<FileItem> AsFile(LPCITEMIDLIST item);

}  // namespace pidl

}  // namespace win
