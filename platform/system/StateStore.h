#pragma once
// The databases of a PC: its state (state.db: files in use, attributes, short names,
// services, the journal...) and its registry (registry.db), opened once per process.
#include <filesystem>
#include <memory>

namespace win {

class SqliteDb;

class StateStore {
 public:
  explicit StateStore(const std::filesystem::path& dir);
  ~StateStore();
  StateStore(const StateStore&) = delete;
  StateStore& operator=(const StateStore&) = delete;

  // Runtime state shared by the processes of this machine (state.db).
  SqliteDb& State();
  // The registry database (registry.db). Throws MachineError naming the file when it is
  // missing, empty, cut short, not a registry or unreadable: only a new machine gets a
  // registry, an existing one is never silently given a fresh one.
  SqliteDb& RegistryDb();
  // Same, with every page of the database read and checked (before a restart acts).
  void CheckRegistry();
  // Drops the open databases (after a crash test replaced them, or before removing them).
  void CloseDatabases();

 private:
  std::filesystem::path dir_;
  std::unique_ptr<SqliteDb> state_;
  std::unique_ptr<SqliteDb> registry_;
};

}  // namespace win
