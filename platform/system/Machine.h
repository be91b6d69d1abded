#pragma once
// The simulated Windows PC: a folder holding machine.ini, drives/<letter>/..., registry.db
// and state.db. Every platform call resolves its paths and state through the current machine.
// Its jobs live in units of their own: the settings (MachineSettings), path resolution
// (PathResolver), the databases (StateStore) and the journal (MachineJournal); a Machine
// puts them together for one PC.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/MachineJournal.h"
#include "platform/system/MachineSettings.h"
#include "platform/system/PathResolver.h"
#include "platform/system/StateStore.h"
#include "platform/system/Text.h"
#include "platform/system/WinTypes.h"

namespace win {

class DirectoryCache;
class SqliteDb;

class Machine {
 public:
  // Opens an existing machine folder. Throws MachineError when machine.ini is missing or
  // malformed. Leftovers of programs killed on the machine are swept first.
  explicit Machine(const std::filesystem::path& dir);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // The machine programs act on: the one set by Use(), else $WINPC, else the default
  // machine (created on first use as a Windows XP PC with an administrator).
  static Machine& Current();
  // Makes dir the current machine of this process (tests, tools). The machine it replaces
  // goes: refused (MachineError) while other threads run, which may be using it.
  static Machine& Use(const std::filesystem::path& dir);
  static bool HasCurrent();
  static std::filesystem::path DefaultDir();
  // Writes machine.ini and the bare drive C: with the Windows and system folders. The
  // full layout of a new PC (registry basics, system libraries...) is CreateMachine's.
  static void CreateBare(const std::filesystem::path& dir, const MachineSettings& settings);
  // Hook set by the machine setup unit, used when the default machine must be created.
  static void SetCreator(
      std::function<void(const std::filesystem::path&, const MachineSettings&)> f);

  const std::filesystem::path& Dir() const { return dir_; }
  const MachineSettings& Settings() const { return settings_; }
  void SaveSettings(const MachineSettings& settings);
  bool IsNT() const { return settings_.IsNT(); }

  // Paths: see PathResolver.
  using Resolved = ResolvedPath;
  PathResolver& Paths() { return paths_; }
  bool Resolve(const std::string& winPath, Resolved& out) const {
    return paths_.Resolve(winPath, out);
  }
  std::filesystem::path HostPath(const std::string& winPath) const {
    return paths_.HostPath(winPath);
  }
  std::string WindowsPath(const std::filesystem::path& host) const {
    return paths_.WindowsPath(host);
  }
  std::string FullPathName(const std::string& winPath) const {
    return paths_.FullPathName(winPath);
  }
  std::string CurrentDirectory() const { return paths_.CurrentDirectory(); }
  void SetCurrentDirectoryPath(const std::string& dir) { paths_.SetCurrentDirectoryPath(dir); }
  std::filesystem::path DriveRoot(char letter) const { return paths_.DriveRootText(letter); }
  std::string DriveRootText(char letter) const { return paths_.DriveRootText(letter); }
  DirectoryCache& Folders() const { return paths_.Folders(); }
  void NoteChanged(const std::string& host, bool present, unsigned char type) {
    paths_.NoteChanged(host, present, type);
  }
  static std::string KeyOf(const Resolved& r) { return PathResolver::KeyOf(r); }
  std::string StateKey(const Resolved& r) const { return paths_.StateKey(r); }
  std::string StateKeyOfHost(const std::string& host) const { return paths_.StateKeyOfHost(host); }
  static std::string HostFolderOf(const std::string& host) {
    return PathResolver::HostFolderOf(host);
  }
  static std::string HostNameOf(const std::string& host) { return PathResolver::HostNameOf(host); }

  // Databases: see StateStore.
  SqliteDb& State() { return store_.State(); }
  SqliteDb& RegistryDb() { return store_.RegistryDb(); }
  void CheckRegistry() { store_.CheckRegistry(); }
  void CloseDatabases() { store_.CloseDatabases(); }

  // Files in use: locked by `machine lock`, or reported by a provider (the image of a
  // running service). Deleting gives 5, overwriting 32; reading and copying work.
  bool IsFileInUse(const std::filesystem::path& host);
  // Same, for a file whose state key (see StateKey) the caller has.
  bool IsKeyInUse(const std::string& key);
  void LockFile(const std::filesystem::path& host);
  void UnlockAll();
  using InUseProvider = std::function<bool(Machine&, const std::string& stateKey)>;
  static void AddInUseProvider(InUseProvider provider);

  // The journal of what programs did to this machine: see MachineJournal.
  void Journal(const std::string& kind, const std::string& text) { journal_.Write(kind, text); }
  std::vector<JournalEntry> ReadJournal() { return journal_.Read(); }
  static void SetProgramName(const std::string& name) { MachineJournal::SetProgramName(name); }
  static const std::string& ProgramName() { return MachineJournal::ProgramName(); }

 private:
  void Load();
  std::filesystem::path dir_;
  MachineSettings settings_;
  PathResolver paths_;
  StateStore store_;
  MachineJournal journal_;
  std::filesystem::path openingMark_;  // this process's mark of having the machine open
  int openingPid_ = 0;                 // a forked child holds a copy that is not its own
};

}  // namespace win
