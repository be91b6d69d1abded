#pragma once
// The simulated Windows PC: a folder holding machine.ini, drives/<letter>/..., registry.db
// and state.db. Every platform call resolves its paths and state through the current machine.
#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

class DirectoryCache;
class SqliteDb;

enum class OsVersion { Win95, Win98, WinMe, NT351, NT4, Win2000, WinXP };

// "95", "98", "me", "nt351", "nt4", "2000", "xp".
std::string OsVersionName(OsVersion v);
std::optional<OsVersion> ParseOsVersion(const std::string& name);

struct MachineSettings {
  OsVersion os = OsVersion::WinXP;
  std::string userName = "Administrateur";
  bool admin = true;
  std::string hostName;                          // empty: the real host's name
  std::optional<std::vector<std::string>> ipv4;  // unset: the real host's addresses
  int timeZoneBias = 60;                         // minutes added to UTC to get local time
  WORD languageId = 0x040C;                      // French (France)
  bool simulatedTime = false;                    // sleeping advances the clock at once
  std::string windowsDir;                        // empty: C:\WINDOWS, or C:\WINNT on NT 4/2000

  bool IsNT() const;
  std::string WindowsDir() const;  // without trailing backslash
  std::string SystemDir() const;   // SYSTEM32 on NT, SYSTEM on 9x
};

class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct JournalEntry {
  std::int64_t id = 0;
  std::string time;     // local time of the machine, "YYYY-MM-DD hh:mm:ss"
  std::string program;  // the program that acted
  std::string kind;     // "file", "registry", "service", "beep", "start", "restart", ...
  std::string text;
};

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
  // Makes dir the current machine of this process (tests, tools).
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

  // Paths. A Windows path ("C:\Program Files\x", "c:/x", relative to the current folder)
  // maps to a host path under drives/<letter>, matching each existing component without
  // regard to case; missing components keep the spelling given. Names that would leave
  // the drive folder ("..") are refused. Z: maps the host's root, read-only.
  struct Resolved {
    // The host path as text: every file call resolves a path, often several times, and a
    // path object would split it into names on each copy.
    std::string host;
    std::string windows;  // the full Windows path, case as found on disk where it exists
    char drive = 'C';
    bool readOnly = false;
    // What Resolve learnt on the way, so callers need not ask the file system again:
    // the path is there and is not a link (hostIsDir then tells a folder from a file),
    // or its folder is there and it is not.
    bool hostPlain = false;
    bool hostIsDir = false;
    bool hostMissing = false;
    // The canonical key of host (see CanonicalKey) when it came for free, else empty.
    std::string key;
    // The identity of the host folder holding host's last name, as proven by the stat or
    // watch that let its listing answer; 0 when no listing answered.
    dev_t folderDev = 0;
    ino_t folderIno = 0;
  };
  // False with the last error set (3 path not found, 123 bad name, 15 invalid drive).
  // Inside a unit of work (DirectoryCache::BeginUnit), a path asked for again while the
  // listings have not changed gets the answer it got before.
  bool Resolve(const std::string& winPath, Resolved& out) const;
  // Same; throws MachineError on failure.
  std::filesystem::path HostPath(const std::string& winPath) const;
  // The Windows path of a host path: inside a drive folder (or a drive's link target)
  // that drive's path, elsewhere Z: plus the host path.
  std::string WindowsPath(const std::filesystem::path& host) const;
  // Absolute, normalized Windows path (separators, "." and ".." folded) or empty.
  std::string FullPathName(const std::string& winPath) const;
  std::string CurrentDirectory() const { return currentDir_; }
  void SetCurrentDirectoryPath(const std::string& dir) { currentDir_ = dir; }
  // The host folder of a drive letter, or empty when the machine has no such drive.
  std::filesystem::path DriveRoot(char letter) const { return DriveRootText(letter); }
  std::string DriveRootText(char letter) const;
  // The listings that path resolution keeps (tests and benchmarks look at its counters).
  DirectoryCache& Folders() const { return *folders_; }
  // After this process made (present) or removed the host file or folder host, in a call
  // that looked it up: the listings take the change (DirectoryCache::Changed), and the
  // answers Resolve keeps in a unit of work follow it.
  void NoteChanged(const std::string& host, bool present, unsigned char type);
  // CanonicalKey(r.host), without asking the file system when Resolve already knew it.
  static std::string KeyOf(const Resolved& r);
  // The folder and the last name of a host path given as text, as parent_path() and
  // filename() of a path would give them.
  static std::string HostFolderOf(const std::string& host);
  static std::string HostNameOf(const std::string& host);

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

  // Files in use: locked by `machine lock`, or reported by a provider (the image of a
  // running service). Deleting gives 5, overwriting 32; reading and copying work.
  bool IsFileInUse(const std::filesystem::path& host);
  // Same, for a file whose canonical key the caller has.
  bool IsKeyInUse(const std::string& key);
  void LockFile(const std::filesystem::path& host);
  void UnlockAll();
  using InUseProvider = std::function<bool(Machine&, const std::string& canonicalKey)>;
  static void AddInUseProvider(InUseProvider provider);

  // The journal of what programs did to this machine.
  void Journal(const std::string& kind, const std::string& text);
  std::vector<JournalEntry> ReadJournal();
  static void SetProgramName(const std::string& name);
  static const std::string& ProgramName();

 private:
  void Load();
  enum class Lookup { Found, Missing, Unchecked };
  // What the listing that answered told of its folder: its resolved path and identity.
  struct FolderSeen {
    std::string key;
    dev_t dev = 0;
    ino_t ino = 0;
  };
  // The entry comp of the host folder dir. dirStat: a stat of dir taken just before, or
  // null to be answered only from a listing known to be current (else Unchecked).
  Lookup FindIn(const std::string& dir, const struct stat* dirStat, const std::string& comp,
                std::string& name, unsigned char& type, FolderSeen& folder) const;
  // FindIn without a stat where a current listing answers, else with one; Missing (and
  // isFolder false) when dir is no folder.
  Lookup FindInFolder(const std::string& dir, const std::string& comp, bool& isFolder,
                      std::string& name, unsigned char& type, FolderSeen& folder) const;
  std::filesystem::path dir_;
  MachineSettings settings_;
  bool ResolveNow(const std::string& winPath, Resolved& out) const;
  std::string currentDir_ = "C:\\";
  std::unique_ptr<SqliteDb> state_;
  std::unique_ptr<SqliteDb> registry_;
  std::unique_ptr<DirectoryCache> folders_;
  // Drive folders found so far ('a'..'z'); a letter not found is asked again each time.
  mutable std::mutex rootsMutex_;
  mutable std::array<std::string, 26> roots_;
  std::filesystem::path openingMark_;  // this process's mark of having the machine open
  int openingPid_ = 0;                 // a forked child holds a copy that is not its own
};

// Case folding used for every name comparison of the machine (ASCII and Latin letters).
std::string FoldCase(const std::string& utf8);
bool SameText(const std::string& a, const std::string& b);
// Canonical identity of a host path (symbolic links and "." resolved where it exists).
std::string CanonicalKey(const std::filesystem::path& host);
// text for an error line: control bytes and bytes that are not UTF-8 become \xNN.
std::string EscapeBytes(const std::string& text);

}  // namespace win
