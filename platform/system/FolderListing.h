#pragma once
// The one way the machine lists a folder: what FindFirstFile / FindNextFile give, and what
// the shell shows of a whole folder. One read of the folder, one stat per entry, the
// folder's stored attributes and short names in one query each, and the short names that
// are missing given in one transaction.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/system/Files.h"
#include "platform/system/FolderHandles.h"

namespace win {

class Machine;

// The entries of winDir (less "." and ".."), ordered as FindFirstFile orders them. False
// with the last error set (3 when the folder is missing or is a file, 123 for a bad name,
// 15 a bad drive, 5 when it cannot be read).
bool ListFolder(const std::string& winDir, std::vector<WIN32_FIND_DATA>& out);

// Whether winDir has a sub-folder; stops at the first one. False when it cannot be read.
bool FolderHasSubFolder(const std::string& winDir);

// Find-mask matching as FindFirstFile does it, without regard to case: '*' any run, '?'
// one character (or none at the end of the name or before its period), "name." a name
// without extension, "x.*" also "x".
bool MatchMask(const std::string& mask, const std::string& name);

// The host folder of a listing: its path, its state key (see PathResolver::StateKey), and
// whether its drive is read-only (its files then read as read-only).
struct ListedFolder {
  std::string host;
  std::string key;
  bool readOnly = false;
};

// The entries of dir whose long or short name matches mask (see MatchMask; "*" all of
// them), ordered by folded name, "." and ".." first when withDots. False with the last
// error set when the folder cannot be read.
bool ListMatching(Machine& m, const ListedFolder& dir, const std::string& mask, bool withDots,
                  std::vector<WIN32_FIND_DATA>& out);

// The find data of the one entry name of dir, asked of the file system and of state.db on
// its own; entry is that entry as a held folder of path resolution names it. False when
// there is no such entry (or it is a broken link).
bool FindDataOf(Machine& m, const ListedFolder& dir, const std::string& name,
                const FolderHandle& entry, WIN32_FIND_DATA& d);

}  // namespace win
