#pragma once
// SHFileOperation: copy, move, delete and rename of files and whole folders through the
// machine's file calls, with the shell's change notifications. No dialogs are shown here:
// every operation runs as with FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI.
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
  BOOL fAnyOperationsAborted = FALSE;
  void* hNameMappings = nullptr;
  const char* lpszProgressTitle = nullptr;
};

// 0 on success, else the system error of the first failure (the items before it stay
// done). Copying or moving an item onto itself (same folder) with FOF_RENAMEONCOLLISION
// names the copy "Copie de <name>", then "Copie (2) de <name>"...; without it that copy
// fails with 80 (ERROR_FILE_EXISTS); an existing target of another item is replaced. A
// folder cannot go into itself or below itself (87, ERROR_INVALID_PARAMETER).
int SHFileOperation(SHFILEOPSTRUCT* op);
inline int SHFileOperationA(SHFILEOPSTRUCT* op) { return SHFileOperation(op); }

// Helpers for callers: a double-zero-terminated list from names, and the one-call forms.
std::string DoubleNullList(const std::vector<std::string>& names);
DWORD ShellCopyItems(const std::vector<std::string>& paths, const std::string& toFolder, bool move,
                     bool renameOnCollision);
DWORD ShellDeleteItems(const std::vector<std::string>& paths);

}  // namespace win
