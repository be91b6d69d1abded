#pragma once
// One folder of the machine in one pass: what FindFirstFile / FindNextFile give for
// "folder\*" (less "." and ".."), with the folder's stored attributes and short names read
// in one query each instead of one per entry. For callers that show a whole folder.
#include <string>
#include <vector>

#include "platform/system/Files.h"

namespace win {

// The entries of winDir, ordered as FindFirstFile orders them. False with the last error
// set (3 when the folder is missing or is a file, 123 for a bad name, 15 a bad drive).
bool ListFolder(const std::string& winDir, std::vector<WIN32_FIND_DATA>& out);

// Whether winDir has a sub-folder; stops at the first one. False when it cannot be read.
bool FolderHasSubFolder(const std::string& winDir);

}  // namespace win
