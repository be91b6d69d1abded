#pragma once
// The registry's keys and values in registry.db. Used by the registry calls, by the
// REGEDIT4 export and import, and by the restart.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system/Registry.h"
#include "platform/system/Sqlite.h"

namespace win {

class Machine;
class SqliteDb;

// A registry call that fails with a Windows error code.
struct RegistryFailure : std::runtime_error {
  RegistryFailure(DWORD c, const std::string& what) : std::runtime_error(what), code(c) {}
  DWORD code;
};

// While one lives on a thread, registry writes there act with the system's rights (the
// restart, the machine's own setup), not the user's.
class SystemRights {
 public:
  SystemRights();
  ~SystemRights();
  SystemRights(const SystemRights&) = delete;
  SystemRights& operator=(const SystemRights&) = delete;
  static bool Active();
};

struct RegKeyRow {
  std::int64_t id = 0;
  std::string name;
  std::uint64_t lastWrite = 0;
};

struct RegValueRow {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct RegRoot {
  std::int64_t id = 0;
  bool machineHive = false;  // HKEY_LOCAL_MACHINE and what maps into it
  std::string path;          // full name, e.g. "HKEY_USERS\\Administrateur"
};

// Windows' limits, in characters (UTF-16 units): a key name, a value name; the depth of a
// key below its root, and the levels one call may create.
inline constexpr size_t kMaxKeyNameChars = 255;
inline constexpr size_t kMaxValueNameChars = 16383;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxNewLevelsPerCall = 32;

// Held through every registry call of the process: its machine's registry has one
// connection.
std::recursive_mutex& RegistryCallMutex();

class RegistryStore {
 public:
  explicit RegistryStore(Machine& m);
  // Why a key or value name cannot be stored (ERROR_INVALID_PARAMETER), or empty.
  static std::string KeyNameProblem(const std::string& name);
  static std::string ValueNameProblem(const std::string& name);
  // The store of the current machine.
  static RegistryStore ForCurrent();
  // The text of the last failure to open or read registry.db in this process.
  static void NoteFailure(const std::string& what);
  static std::string LastFailure();

  std::optional<RegRoot> PredefinedRoot(HKEY key);
  // "HKEY_LOCAL_MACHINE", "HKLM", "HKEY_CURRENT_USER"... plus an optional path below it;
  // the key must exist unless create is set.
  std::optional<RegRoot> KeyByName(const std::string& fullName, bool create);

  bool KeyExists(std::int64_t id);
  std::optional<RegKeyRow> FindChild(std::int64_t parent, const std::string& name);
  // Creates the missing keys parts below parent in one transaction; returns the last id.
  // Throws RegistryFailure(ERROR_INVALID_PARAMETER) for a name or a depth beyond the limits.
  std::int64_t CreatePath(std::int64_t parent, const std::string& parentPath,
                          const std::vector<std::string>& parts);
  std::vector<RegKeyRow> Children(std::int64_t id);
  std::vector<RegValueRow> Values(std::int64_t id);
  std::optional<RegValueRow> FindValue(std::int64_t id, const std::string& name);
  std::uint64_t LastWrite(std::int64_t id);
  // Throws RegistryFailure(ERROR_INVALID_PARAMETER) for a name beyond the limit.
  void SetValue(std::int64_t id, const std::string& path, const std::string& name, DWORD type,
                const std::vector<BYTE>& data);
  // How many keys lie between id and its root (a root's child has depth 1).
  size_t Depth(std::int64_t id);
  bool DeleteValue(std::int64_t id, const std::string& path, const std::string& name);
  bool HasSubKeys(std::int64_t id);
  bool IsRootOrPredefined(std::int64_t id);
  void DeleteTree(std::int64_t id, const std::string& path);
  // The same without the journal line.
  void DeleteTreeRows(std::int64_t id);

  // Writes under HKEY_LOCAL_MACHINE are refused to a non-administrator on the NT family.
  bool WriteRefused(bool machineHive) const;
  bool IsNT() const;
  Machine& machine() { return m_; }
  SqliteDb& Db();

  // A readable form of a value for the journal.
  static std::string DescribeValue(DWORD type, const std::vector<BYTE>& data);

 private:
  std::int64_t RootId(const std::string& name);
  std::int64_t EnsurePath(std::int64_t parent, const std::vector<std::string>& parts);
  void Touch(std::int64_t id);
  Machine& m_;
};

// Many keys and values written in one transaction, as a registry text import writes them:
// each statement compiled once, the keys it made itself known without a query, no journal
// line per row (the caller writes what it did once it is committed). Rolled back unless
// committed.
class RegistryBulkWriter {
 public:
  explicit RegistryBulkWriter(RegistryStore& store);
  ~RegistryBulkWriter();
  RegistryBulkWriter(const RegistryBulkWriter&) = delete;
  RegistryBulkWriter& operator=(const RegistryBulkWriter&) = delete;
  // The child of parent with this name (any case: `folded` is FoldCase(name)), made when
  // missing.
  std::int64_t Child(std::int64_t parent, const std::string& name, const std::string& folded,
                     bool& created);
  // A value set (its place and spelling kept when it exists); the key marked as written.
  // `folded` is FoldCase(name).
  void SetValue(std::int64_t key, const std::string& name, const std::string& folded, DWORD type,
                const std::vector<BYTE>& data);
  bool DeleteValue(std::int64_t key, const std::string& name);
  // Writes the values still waiting: before the registry is written any other way.
  void Flush();
  void Commit();

 private:
  bool MadeHere(std::int64_t key) const { return key > lastBefore_; }
  void Touch(std::int64_t key);
  SqliteDb& db_;
  std::int64_t cachePages_;  // the connection's own cache size, given back at the end
  SqliteTransaction tx_;
  std::int64_t lastBefore_;  // keys above this id were made by this writer
  std::int64_t now_;
  std::int64_t touched_ = 0;
  struct PendingValue {
    std::int64_t key = 0;
    std::string name, folded;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  void AddValues(sqlite3_stmt* st, std::size_t from, std::size_t rows);
  SqliteStatement findKey_, addKey_, addKeyOnce_, updateValue_, deleteValue_, touch_;
  // Values go in rows of kRowsAtOnce: a million of them would otherwise pay a statement's
  // run each. Kept with their buffers, written over row after row.
  static constexpr std::size_t kRowsAtOnce = 64;
  std::vector<PendingValue> pending_;
  std::size_t pendingCount_ = 0;
  sqlite3_stmt* addValueOnce_ = nullptr;   // one row
  sqlite3_stmt* addValuesOnce_ = nullptr;  // kRowsAtOnce rows
};

}  // namespace win
