#pragma once
// Path resolution of a PC: Windows paths ("C:\\Program Files\\x", "c:/x", relative to the
// current folder) to host paths under drives/<letter>, each existing component matched
// without regard to case; missing components keep the spelling given. Names that would leave
// the drive folder ("..") are refused. Z: maps the host's root, read-only.
#include <sys/stat.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace win {

class DirectoryCache;
class Machine;

struct ResolvedPath {
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

class PathResolver {
 public:
  using Resolved = ResolvedPath;
  // machine: the PC whose short names resolve names with '~'; dir: its folder.
  PathResolver(Machine& machine, const std::filesystem::path& dir);
  ~PathResolver();
  PathResolver(const PathResolver&) = delete;
  PathResolver& operator=(const PathResolver&) = delete;

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
  // The current folder, which any thread may change.
  std::string CurrentDirectory() const;
  void SetCurrentDirectoryPath(const std::string& dir);
  // The host folder of a drive letter, or empty when the machine has no such drive.
  std::string DriveRootText(char letter) const;
  // The listings that path resolution keeps (tests and benchmarks look at its counters).
  DirectoryCache& Folders() const { return *folders_; }
  // After this process made (present) or removed the host file or folder host, in a call
  // that looked it up: the listings take the change (DirectoryCache::Changed), and the
  // answers Resolve keeps in a unit of work follow it.
  void NoteChanged(const std::string& host, bool present, unsigned char type);
  // CanonicalKey(r.host), without asking the file system when Resolve already knew it.
  static std::string KeyOf(const Resolved& r);
  // The key of a file's records in state.db: its path inside the PC, the drive letter and
  // the Windows path case-folded ("C:\\PROGRAM FILES\\X"), the same wherever the PC's folder
  // lies on the host. A link is keyed by what it leads to, a path outside every drive of the
  // PC by Z: and its host path.
  std::string StateKey(const Resolved& r) const { return StateKeyOfCanonical(KeyOf(r)); }
  std::string StateKeyOfHost(const std::string& host) const;
  // A key of an earlier layout (a canonical host path, perhaps of the PC's folder before it
  // was moved or copied) as a key of this PC, or empty when it names no file of the PC.
  std::string OldStateKey(const std::string& hostKey) const;
  // The folder and the last name of a host path given as text, as parent_path() and
  // filename() of a path would give them.
  static std::string HostFolderOf(const std::string& host);
  static std::string HostNameOf(const std::string& host);

 private:
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
  bool ResolveNow(const std::string& winPath, Resolved& out) const;
  std::string StateKeyOfCanonical(const std::string& canonical) const;
  // The key of a canonical host path in a drive of the PC, or empty.
  std::string DriveKeyOf(const std::string& canonical) const;

  Machine& machine_;
  std::filesystem::path dir_;
  // Tells this resolver from every other made in the process (one made later at the same
  // address included), for the answers kept per thread.
  const std::uint64_t serial_;
  mutable std::mutex currentMutex_;
  std::string currentDir_ = "C:\\";
  std::unique_ptr<DirectoryCache> folders_;
  // Drive folders found so far ('a'..'z'); a letter not found is asked again each time.
  mutable std::mutex rootsMutex_;
  mutable std::array<std::string, 26> roots_;
  // The resolved drives folder, and the drives that are links to folders elsewhere (by
  // their resolved targets, longest first), as of the drives folder's change time.
  mutable std::mutex keysMutex_;
  mutable std::string drivesKey_;
  mutable std::vector<std::pair<char, std::string>> linkedDrives_;
  mutable struct timespec drivesTime_ {};
  mutable ino_t drivesIno_ = 0;
};

// Canonical identity of a host path (symbolic links and "." resolved where it exists).
std::string CanonicalKey(const std::filesystem::path& host);

}  // namespace win
