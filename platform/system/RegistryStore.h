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

}  // namespace win
