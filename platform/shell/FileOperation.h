#pragma once
// SHFileOperation: copy, move, delete and rename of files and whole folders through the
// machine's file calls, with the shell's change notifications.
//
// Unless the caller passes FOF_NOCONFIRMATION, the operation asks first, as Windows does,
// through the toolkit's message dialog (so a UI script answers it in unattended runs):
// a delete asks once for all its items; a copy or move that would replace a file, or put a
// folder into an existing one of the same name, asks for that item (Oui, Oui à tout, Non,
// Annuler). Non skips the item, Annuler stops: what was not done stays as it was. The PC
// has no recycle bin, so a delete is permanent.
#include <string>
#include <vector>

#include "platform/shell/Com.h"

namespace win {

inline constexpr UINT FO_MOVE = 1;
inline constexpr UINT FO_COPY = 2;
inline constexpr UINT FO_DELETE = 3;
inline constexpr UINT FO_RENAME = 4;
inline constexpr WORD FOF_MULTIDESTFILES = 0x1;
inline constexpr WORD FOF_SILENT = 0x4;
inline constexpr WORD FOF_RENAMEONCOLLISION = 0x8;
inline constexpr WORD FOF_NOCONFIRMATION = 0x10;
inline constexpr WORD FOF_ALLOWUNDO = 0x40;
inline constexpr WORD FOF_NOCONFIRMMKDIR = 0x200;
inline constexpr WORD FOF_NOERRORUI = 0x400;

struct SHFILEOPSTRUCT {
  HWND hwnd = nullptr;
  UINT wFunc = 0;
  const char* pFrom = nullptr;  // names, each zero-terminated, then one more zero
  const char* pTo = nullptr;    // the target folder (or names with FOF_MULTIDESTFILES)
  WORD fFlags = 0;
  BOOL fAnyOperationsAborted = FALSE;  // set when an item was skipped or the run cancelled
  void* hNameMappings = nullptr;
  const char* lpszProgressTitle = nullptr;
};

// 0 on success (skipped items included), ERROR_CANCELLED when the user cancelled, else the
// system error of the first failure (the items before it stay done).
// - A drive root, a virtual folder ("::{...}") or the user's desktop folder is never the
//   source of a delete, move or rename: 5 (ERROR_ACCESS_DENIED), nothing done.
// - Moving an item into the folder that already holds it does nothing. Copying it there
//   with FOF_RENAMEONCOLLISION names the copy "Copie de <name>", then "Copie (2) de
//   <name>"...; without it that copy fails with 80 (ERROR_FILE_EXISTS).
// - A folder cannot go into itself or below itself (87, ERROR_INVALID_PARAMETER).
// - A move into an existing folder merges: what the user declines to replace stays in the
//   source folder, which is removed only when it is left empty.
int SHFileOperation(SHFILEOPSTRUCT* op);
inline int SHFileOperationA(SHFILEOPSTRUCT* op) { return SHFileOperation(op); }

// True for what the shell never deletes, moves or renames (see above).
bool IsProtectedShellPath(const std::string& path);
// True when `path` names an item directly inside `folder` (after resolving both).
bool IsItemOfFolder(const std::string& path, const std::string& folder);

// Helpers for the shell's own menus and drop targets: a double-zero-terminated list from
// names, and the one-call forms, which confirm as above.
std::string DoubleNullList(const std::vector<std::string>& names);
DWORD ShellCopyItems(const std::vector<std::string>& paths, const std::string& toFolder, bool move,
                     bool renameOnCollision);
DWORD ShellDeleteItems(const std::vector<std::string>& paths);

}  // namespace win
