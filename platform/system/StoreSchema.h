#pragma once
// The layouts of a PC's two databases, in one place: their tables, what marks a file as one
// of them, and the upgrades from earlier layouts. No other unit creates a table.
#include <filesystem>
#include <functional>
#include <string>

namespace win {

class SqliteDb;

enum class StoreKind { kState, kRegistry };

// What an error line calls the database: "the state of the machine", "the registry of the
// machine".
std::string StoreTitle(StoreKind kind);

// A new database of that kind at file, which must not exist (a new PC only).
void CreateStore(const std::filesystem::path& file, StoreKind kind);

// What keeps file from being a database of that kind, as far as the file itself tells
// without opening it ("is missing", "is empty", "is not a registry database (...)", "is cut
// short ..."), or empty. Nothing is written, nor made beside it.
std::string StoreFileProblem(const std::filesystem::path& file, StoreKind kind);
// What keeps the open database db from being one of that kind in a layout this program
// reads (another application's file, a newer layout, tables missing), or empty.
std::string StoreLayoutProblem(SqliteDb& db, StoreKind kind);

// Whether db, found sound, is in an earlier layout than this program writes.
bool StoreNeedsUpgrade(SqliteDb& db, StoreKind kind);
// An earlier layout's key of a file (its host path) as the file's path inside the PC, or
// empty when it names no file of the PC.
using OldKeyMap = std::function<std::string(const std::string& hostKey)>;
// Brings db to the current layout in one transaction (a process that finds the work done by
// another while it waited does nothing). Records whose key names no file of the PC go.
void UpgradeStore(SqliteDb& db, StoreKind kind, const OldKeyMap& keyOf);

}  // namespace win
