#pragma once
// Short (8.3) names of the machine's files. A long name gets its short name the first time
// one is asked for (NAME~N.EXT, the first free N in its folder) and keeps it, so paths
// written in short form (WININIT.INI, delayed moves) resolve back to the same file later.
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

namespace win {

class Machine;

// True when name already is a valid 8.3 name (then it is its own short name).
bool IsShortName(const std::string& name);
// The short name of the entry longName in the host folder dir (assigned on first use).
std::string ShortNameOf(Machine& m, const std::string& dir, const std::string& longName);
// The short names of names, entries of the folder whose state key is dirKey and whose
// whole listing is entries: one query for the folder, and one transaction for the names
// that get their short name now.
std::unordered_map<std::string, std::string> ShortNamesIn(Machine& m, const std::string& dirKey,
                                                          const std::vector<std::string>& entries,
                                                          const std::vector<std::string>& names);
// The actual name of the entry of dir whose short name is shortName, or empty.
std::string LongNameOfShort(Machine& m, const std::filesystem::path& dir,
                            const std::string& shortName);
// Forgets the short names recorded for entries of dir (or for one entry when longName is
// given), after a deletion or a move.
void ForgetShortName(Machine& m, const std::string& dir, const std::string& longName);

}  // namespace win
