#pragma once
// Windows file attributes of the machine's files, kept in state.db by state key (see
// PathResolver::StateKey; the host file system has no place for them). A file without a
// record has the archive bit, as a newly written file has on Windows.
#include <string>
#include <unordered_map>

#include "platform/system/WinTypes.h"

namespace win {

class Machine;

// The stored bits (read-only, hidden, system, archive, temporary), without the folder bit.
DWORD StoredAttributes(Machine& m, const std::string& key, bool isDirectory);
// The records of the entries right inside the folder folderKey, by folded entry name: one
// query for a whole listing.
std::unordered_map<std::string, DWORD> StoredAttributesIn(Machine& m, const std::string& folderKey);
// The stored bits for one entry from such records (the default when it has none).
DWORD StoredAttributesFrom(const std::unordered_map<std::string, DWORD>& records,
                           const std::string& name, bool isDirectory);
// What a file call reports from the stored bits: the folder bit, read-only for a file on a
// read-only drive, FILE_ATTRIBUTE_NORMAL for none.
DWORD ReportedAttributes(DWORD stored, bool isDirectory, bool readOnlyDrive);
void StoreAttributes(Machine& m, const std::string& key, DWORD attributes);
// Same for a path known to be a file: the default (archive only) leaves no record.
void StoreFileAttributes(Machine& m, const std::string& key, DWORD attributes);
// After a deletion: forgets the record of key and of everything below it.
void ForgetAttributes(Machine& m, const std::string& key);
// After a move: records of from (and below) now belong to to.
void MoveAttributes(Machine& m, const std::string& from, const std::string& to);

}  // namespace win
