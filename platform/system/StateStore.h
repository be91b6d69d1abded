#pragma once
// The databases of a PC: its state (state.db: files in use, attributes, short names,
// services, the journal...) and its registry (registry.db), opened once per process. A
// database that is missing, empty, damaged or not one of a PC is an error naming the file:
// only a new PC gets its databases (StoreSchema), and a found one is checked before anything
// is written to it.
#include <filesystem>
#include <memory>

namespace win {

class PathResolver;
class SqliteDb;
enum class StoreKind;

class StateStore {
 public:
  // paths: the PC's path resolution, which gives the keys of earlier layouts their place.
  StateStore(const std::filesystem::path& dir, const PathResolver& paths);
  ~StateStore();
  StateStore(const StateStore&) = delete;
  StateStore& operator=(const StateStore&) = delete;

  // Runtime state shared by the processes of this machine (state.db).
  SqliteDb& State();
  // The registry database (registry.db).
  SqliteDb& RegistryDb();
  // Same, with every page of the database read and checked (before a restart acts).
  void CheckRegistry();
  // Drops the open databases (after a crash test replaced them, or before removing them).
  void CloseDatabases();

 private:
  SqliteDb& Open(StoreKind kind, std::unique_ptr<SqliteDb>& slot);
  std::filesystem::path dir_;
  const PathResolver& paths_;
  std::unique_ptr<SqliteDb> state_;
  std::unique_ptr<SqliteDb> registry_;
};

}  // namespace win
