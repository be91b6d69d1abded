#pragma once
// Windows file attributes of the machine's files, kept in state.db by canonical host path
// (the host file system has no place for them). A file without a record has the archive
// bit, as a newly written file has on Windows.
#include <filesystem>

#include "platform/system/WinTypes.h"

namespace win {

class Machine;

// The stored bits (read-only, hidden, system, archive, temporary), without the folder bit.
DWORD StoredAttributes(Machine& m, const std::filesystem::path& host, bool isDirectory);
void StoreAttributes(Machine& m, const std::filesystem::path& host, DWORD attributes);
// Same for a path known to be a file: the default (archive only) leaves no record.
void StoreFileAttributes(Machine& m, const std::filesystem::path& host, DWORD attributes);
// After a deletion: forgets the record of host and of everything below it.
void ForgetAttributes(Machine& m, const std::filesystem::path& host);
// After a move: records of from (and below) now belong to to.
void MoveAttributes(Machine& m, const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace win
