#include "platform/system/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/DirectoryCache.h"
#include "platform/system/FileAttributes.h"
#include "platform/system/FolderHandles.h"
#include "platform/system/FolderListing.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Machine.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/Registry.h"
#include "platform/system/ShortNames.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

namespace {

constexpr DWORD kSettableBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                FILE_ATTRIBUTE_TEMPORARY | 0x1000 | 0x2000;

std::atomic<UINT> g_errorMode{0};

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

DWORD ErrnoToError(int e) {
  switch (e) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD EcToError(const std::error_code& ec) { return ErrnoToError(ec.value()); }

struct Path {
  Machine::Resolved r;
  std::string stateKey;  // its records' key, once asked (see StateKeyOf)
  bool exists = false;
  bool isDir = false;
  bool parentExists = false;
};

// Resolves a Windows path and looks at what is there. False with the last error set when
// the name itself is unusable.
bool Look(Machine& m, const std::string& winPath, Path& p) {
  if (!m.Resolve(winPath, p.r)) return false;
  if (p.r.hostPlain) {
    p.exists = p.parentExists = true;
    p.isDir = p.r.hostIsDir;
    return true;
  }
  if (p.r.hostMissing) {
    p.parentExists = true;
    return true;
  }
  struct stat st;
  if (::stat(p.r.host.c_str(), &st) == 0) {
    p.exists = true;
    p.isDir = S_ISDIR(st.st_mode);
    p.parentExists = true;
  } else {
    const std::string parent = Machine::HostFolderOf(p.r.host);
    p.parentExists = ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return true;
}

DWORD MissingError(const Path& p) {
  return p.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

std::string Display(const Path& p) { return p.r.windows; }

bool IsDriveRoot(const Path& p) { return p.r.windows.size() <= 3; }

bool SetHostWriteTime(const fs::path& host, std::uint64_t ft) {
  struct timespec times[2] = {clock::ToTimespec(ft), clock::ToTimespec(ft)};
  return ::utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
}

// A fresh temporary name beside target; such names are never listed. The name tells its
// writer, so that what a killed program leaves can be swept (Leftovers).
fs::path TempBeside(const fs::path& target) { return target.parent_path() / WriteTempName(); }

// Whether files without a name can be made, and named later through /proc.
bool CanLinkUnnamed() {
  static const bool can = ::access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Names the unnamed file fd (whose /proc name is self) name in the folder dir: by the
// descriptor itself where this process may (one path walk less), else through /proc.
// errno tells a failure.
bool LinkUnnamed(int fd, const char* self, int dir, const char* name) {
  static std::atomic<bool> byDescriptor{true};
  if (byDescriptor.load(std::memory_order_relaxed)) {
    if (::linkat(fd, "", dir, name, AT_EMPTY_PATH) == 0) return true;
    if (errno != EPERM && errno != ENOENT) return false;
    // Without the right to, the descriptor is refused as if missing: /proc then serves.
    if (::linkat(AT_FDCWD, self, dir, name, AT_SYMLINK_FOLLOW) != 0) return false;
    byDescriptor = false;
    return true;
  }
  return ::linkat(AT_FDCWD, self, dir, name, AT_SYMLINK_FOLLOW) == 0;
}

// Renames from to to, each a name in its folder. A name that may not be replaced (one that
// appeared since the lookup found none) fails with EEXIST, where the file system can tell;
// one that cannot is renamed over as before.
bool Rename(int fromDir, const char* from, int toDir, const char* to, bool mayReplace) {
  if (!mayReplace) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
  }
  return ::renameat(fromDir, from, toDir, to) == 0;
}

// What a write finds at its target: the file to replace, or no file, which one that
// appeared meanwhile (made by another process since the lookup) may replace or not.
enum class Target { Present, Absent, MustBeNew };
Target TargetOf(bool exists, bool mayReplace) {
  return exists ? Target::Present : mayReplace ? Target::Absent : Target::MustBeNew;
}

// Writes data to a temporary file beside target, then renames it over target, so that a
// killed program leaves either the old or the new content. Nothing is synced: the rename
// guards against a program killed mid-write, which is what the machine promises; surviving
// a power loss of the host is not, and an fsync per file would cost more than the copy.
// Where there was no file, the data goes to a file without a name, which takes the name
// once whole: a killed program leaves nothing, and the folder changes once.
// folder: target's folder as resolved, in which every name is made.
DWORD AtomicWrite(const std::string& target, const FolderHandle& folder,
                  const std::function<DWORD(int fd)>& fill, std::uint64_t writeTime,
                  Target at = Target::Present) {
  struct timespec times[2] = {clock::ToTimespec(writeTime), clock::ToTimespec(writeTime)};
  const int dir = folder.dir();
  int fd = -1;
  if (at != Target::Present && CanLinkUnnamed())
    // A file system without unnamed files says so here, and a temporary name serves.
    fd = ::openat(dir, folder.held() ? "." : Machine::HostFolderOf(target).c_str(),
                  O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644);
  // A temporary name beside target, in its folder as the other names.
  auto tempName = [&] { return folder.held() ? WriteTempName() : TempBeside(target).native(); };
  if (fd >= 0) {
    DWORD err = fill(fd);
    if (!err && ::futimens(fd, times) != 0) err = ErrnoToError(errno);
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (!err && !LinkUnnamed(fd, self, dir, folder.name())) {
      if (errno != EEXIST) {
        err = ErrnoToError(errno);
      } else if (at == Target::MustBeNew) {
        err = ERROR_FILE_EXISTS;
      } else {
        const std::string tmp = tempName();
        if (!LinkUnnamed(fd, self, dir, tmp.c_str())) {
          err = ErrnoToError(errno);
        } else if (::renameat(dir, tmp.c_str(), dir, folder.name()) != 0) {
          err = ErrnoToError(errno);
          ::unlinkat(dir, tmp.c_str(), 0);
        }
      }
    }
    if (::close(fd) != 0 && !err) err = ErrnoToError(errno);
    return err;
  }
  const std::string tmp = tempName();
  fd = ::openat(dir, tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return ErrnoToError(errno);
  DWORD err = fill(fd);
  if (!err && ::futimens(fd, times) != 0) err = ErrnoToError(errno);
  if (::close(fd) != 0 && !err) err = ErrnoToError(errno);
  if (!err && !Rename(dir, tmp.c_str(), dir, folder.name(), at != Target::MustBeNew))
    err = errno == EEXIST ? ERROR_FILE_EXISTS : ErrnoToError(errno);
  if (err) ::unlinkat(dir, tmp.c_str(), 0);
  return err;
}

DWORD WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoToError(errno);
    }
    data += n;
    size -= size_t(n);
  }
  return 0;
}

// Devices whose files could not be cloned: not asked again.
std::mutex g_noCloneMutex;
std::set<dev_t> g_noClone;

// Copies the open file in (of size bytes, as its stat said) into the empty file outFd.
// A file system that shares blocks between files clones them; else the kernel copies
// without a trip through our buffers; a kernel that cannot leaves the output untouched
// and a plain read and write loop does the work.
DWORD CopyOpenFile(int in, const struct stat& inStat, int outFd) {
  if (inStat.st_size > 0) {
    bool tryClone;
    {
      std::lock_guard lock(g_noCloneMutex);
      tryClone = !g_noClone.count(inStat.st_dev);
    }
    if (tryClone) {
      if (::ioctl(outFd, FICLONE, in) == 0) return 0;
      // Another file system on the other side says nothing of this one.
      if (errno != EXDEV) {
        std::lock_guard lock(g_noCloneMutex);
        g_noClone.insert(inStat.st_dev);
      }
    }
  }
  off_t copied = 0;
  bool done = false;
  for (;;) {
    size_t want = copied < inStat.st_size ? size_t(inStat.st_size - copied) : size_t(1) << 20;
    ssize_t n = ::syscall(SYS_copy_file_range, in, nullptr, outFd, nullptr, want, 0u);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    copied += n;
    // At the end, or at the size the stat gave: done without asking once more for the end.
    if (n == 0 || copied >= inStat.st_size) {
      done = true;
      break;
    }
  }
  if (done) return 0;
  if (copied > 0) {
    // Part was copied before the kernel gave up: start over from the first byte.
    if (::lseek(in, 0, SEEK_SET) < 0 || ::lseek(outFd, 0, SEEK_SET) < 0 ||
        ::ftruncate(outFd, 0) < 0)
      return ErrnoToError(errno);
  }
  std::vector<char> buf(1 << 16);
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoToError(errno);
    }
    if (n == 0) return 0;
    if (DWORD err = WriteAll(outFd, buf.data(), size_t(n))) return err;
  }
}

// A source file opened for a copy, with what its stat told.
struct OpenSource {
  int fd = -1;
  struct stat st {};
  OpenSource() = default;
  OpenSource(const OpenSource&) = delete;
  ~OpenSource() {
    if (fd >= 0) ::close(fd);
  }
  DWORD Open(const fs::path& host) { return OpenAt(AT_FDCWD, host.c_str()); }
  DWORD Open(const Machine::Resolved& r) {
    FolderHandle folder(r);
    return OpenAt(folder.dir(), folder.name());
  }
  DWORD OpenAt(int dir, const char* name) {
    fd = ::openat(dir, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0) return ErrnoToError(errno);
    return 0;
  }
};

DWORD CopyContent(const fs::path& from, int outFd) {
  OpenSource src;
  if (DWORD err = src.Open(from)) return err;
  return CopyOpenFile(src.fd, src.st, outFd);
}

unsigned char TypeOf(const Path& p) {
  if (!p.r.hostPlain && p.exists) return DT_UNKNOWN;
  return p.isDir ? DT_DIR : DT_REG;
}

// The canonical host path: what tells two names of one file apart from two files.
const std::string& KeyOf(Path& p) {
  if (p.r.key.empty()) p.r.key = CanonicalKey(p.r.host);
  return p.r.key;
}

// The key of the file's records in state.db (see PathResolver::StateKey).
const std::string& StateKeyOf(Machine& m, Path& p) {
  if (p.stateKey.empty()) p.stateKey = m.Paths().StateKey(p.r);
  return p.stateKey;
}

// The state key of the folder holding the file whose state key is key.
std::string StateKeyFolderOf(const std::string& key) {
  const size_t slash = key.rfind('\\');
  return slash <= 2 ? key.substr(0, 3) : key.substr(0, slash);
}

DWORD AttributesOf(Machine& m, Path& p) {
  return ReportedAttributes(StoredAttributes(m, StateKeyOf(m, p), p.isDir), p.isDir, p.r.readOnly);
}

bool IsReadOnlyFile(Machine& m, Path& p) {
  return p.exists && (AttributesOf(m, p) & FILE_ATTRIBUTE_READONLY);
}

// Checks that a write may replace or create the file p: 5 on a read-only drive, folder or
// read-only file, 32 when the file is in use, 3 when its folder is missing.
DWORD CheckWritable(Machine& m, Path& p) {
  if (p.r.readOnly) return ERROR_ACCESS_DENIED;
  if (!p.exists) return p.parentExists ? 0 : ERROR_PATH_NOT_FOUND;
  if (p.isDir) return ERROR_ACCESS_DENIED;
  if (IsReadOnlyFile(m, p)) return ERROR_ACCESS_DENIED;
  if (m.IsKeyInUse(StateKeyOf(m, p))) return ERROR_SHARING_VIOLATION;
  return 0;
}

// Runs f and turns a failure of the machine's state store into a clear last error: 5 where
// the PC may not be written, 31 otherwise.
template <typename R, typename F>
R GuardOr(R failValue, F f) {
  try {
    return f();
  } catch (const SqliteError& e) {
    SetLastError(e.PermissionDenied() ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE);
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
  }
  return failValue;
}
template <typename F>
auto Guard(F f) -> decltype(f()) {
  return GuardOr(decltype(f())(0), f);
}

// Runs a guarded call on what `path` names once it resolves; FALSE, with the last error
// set, where it does not.
template <typename F>
BOOL OnPath(const std::string& path, F f) {
  return Guard([&]() -> BOOL {
    Machine& m = Machine::Current();
    Path p;
    if (!Look(m, path, p)) return FALSE;
    return f(m, p);
  });
}

// Records what a call changed (attributes, short names, its journal line) in one
// transaction of state.db: one commit per call rather than one per statement, or one per
// batch of calls (RecordBatch). The file itself is already in place; the records follow it.
template <typename F>
void Record(Machine& m, F f) {
  JoinRecordBatch(m);
  SqliteTransaction tx(m.State());
  f();
  tx.Commit();
}

// ---- find handles ----------------------------------------------------------------------

struct FindState {
  std::vector<WIN32_FIND_DATA> items;
  size_t next = 0;
};
std::mutex g_findMutex;
std::set<FindState*> g_finds;

// ---- file handles ----------------------------------------------------------------------

struct FileState {
  fs::path host;
  std::string windows;
  std::string key;  // state key of host
  int fd = -1;      // reading: the file; writing: the temporary file
  fs::path temp;    // writing only
  bool write = false;
  bool created = false;
  std::optional<std::uint64_t> writeTime;
};
std::mutex g_fileMutex;
std::set<FileState*> g_files;

std::vector<std::function<bool(HANDLE)>>& Closers() {
  static std::vector<std::function<bool(HANDLE)>> c;
  return c;
}

FileState* FileOf(HANDLE h) {
  std::lock_guard lock(g_fileMutex);
  auto* f = static_cast<FileState*>(h);
  return g_files.count(f) ? f : nullptr;
}

// ---- profile files -----------------------------------------------------------------------

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (auto& l : lines) out += l + "\r\n";
  return out;
}

bool IsSectionHeader(const std::string& line, std::string* name) {
  std::string t = TrimWhiteSpace(line);
  if (t.size() < 2 || t[0] != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  if (name) *name = TrimWhiteSpace(t.substr(1, close - 1));
  return true;
}

}  // namespace

// ---- attributes ------------------------------------------------------------------------

DWORD GetFileAttributes(const std::string& path) {
  return GuardOr(INVALID_FILE_ATTRIBUTES, [&]() -> DWORD {
    Machine& m = Machine::Current();
    Path p;
    if (!Look(m, path, p)) return INVALID_FILE_ATTRIBUTES;
    if (!p.exists) {
      SetLastError(MissingError(p));
      return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(m, p);
  });
}

BOOL SetFileAttributes(const std::string& path, DWORD attributes) {
  return OnPath(path, [&](Machine& m, Path& p) -> BOOL {
    if (!p.exists) return Fail(MissingError(p));
    if (p.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
    // The read of the current record and the write share one transaction; a record that
    // already holds what is asked is not written again.
    Record(m, [&] {
      if (p.isDir)
        StoreAttributes(m, StateKeyOf(m, p), attributes & kSettableBits);
      else
        StoreFileAttributes(m, StateKeyOf(m, p), attributes & kSettableBits);
    });
    return TRUE;
  });
}

// ---- copy, delete, move ------------------------------------------------------------------

BOOL CopyFile(const std::string& existing, const std::string& newName, BOOL failIfExists) {
  return Guard([&]() -> BOOL {
    Machine& m = Machine::Current();
    Path src, dst;
    if (!Look(m, existing, src)) return FALSE;
    if (!src.exists) return Fail(MissingError(src));
    if (src.isDir) return Fail(ERROR_ACCESS_DENIED);
    if (!Look(m, newName, dst)) return FALSE;
    if (dst.exists && !dst.isDir && KeyOf(src) == KeyOf(dst))
      return Fail(failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION);
    if (dst.exists && failIfExists) return Fail(ERROR_FILE_EXISTS);
    if (DWORD e = CheckWritable(m, dst)) return Fail(e);
    OpenSource in;
    if (DWORD e = in.Open(src.r)) return Fail(e);
    NoteStagingWriter(m, dst.r.host);
    DWORD err = AtomicWrite(
        dst.r.host, FolderHandle(dst.r), [&](int fd) { return CopyOpenFile(in.fd, in.st, fd); },
        clock::FromTimespec(in.st.st_mtim), TargetOf(dst.exists, !failIfExists));
    if (err) {
      ForgetStagingWriter(m, dst.r.host);
      return Fail(err);
    }
    m.NoteChanged(dst.r.host, true, DT_REG);
    // The copy took the name dst was resolved to (found on disk, or as given when new).
    // The source's attributes are read in the transaction that gives them to the copy.
    Record(m, [&] {
      StoreFileAttributes(m, StateKeyOf(m, dst), AttributesOf(m, src) & kSettableBits);
      m.Journal("file", "copied " + Display(src) + " to " + Display(dst));
    });
    return TRUE;
  });
}

BOOL CreateHardLink(const std::string& newName, const std::string& existing, void*) {
  return Guard([&]() -> BOOL {
    Machine& m = Machine::Current();
    const OsVersion os = m.Settings().os;
    if (os != OsVersion::Win2000 && os != OsVersion::WinXP) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    Path src, dst;
    if (!Look(m, existing, src)) return FALSE;
    if (!src.exists) return Fail(MissingError(src));
    if (src.isDir) return Fail(ERROR_ACCESS_DENIED);
    if (!Look(m, newName, dst)) return FALSE;
    if (dst.exists) return Fail(ERROR_ALREADY_EXISTS);
    if (dst.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
    if (!dst.parentExists) return Fail(ERROR_PATH_NOT_FOUND);
    if (src.r.drive != dst.r.drive) return Fail(ERROR_NOT_SAME_DEVICE);
    const FolderHandle from(src.r), to(dst.r);
    if (::linkat(from.dir(), from.name(), to.dir(), to.name(), 0) != 0) {
      if (errno == EXDEV) return Fail(ERROR_NOT_SAME_DEVICE);
      // A host file system without hard links, as a FAT volume has none.
      if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK)
        return Fail(ERROR_INVALID_FUNCTION);
      return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : ErrnoToError(errno));
    }
    m.NoteChanged(dst.r.host, true, DT_REG);
    Record(m, [&] {
      StoreFileAttributes(m, StateKeyOf(m, dst), AttributesOf(m, src) & kSettableBits);
      m.Journal("file", "linked " + Display(src) + " to " + Display(dst));
    });
    return TRUE;
  });
}

BOOL DeleteFile(const std::string& path) {
  return OnPath(path, [&](Machine& m, Path& p) -> BOOL {
    if (!p.exists) return Fail(MissingError(p));
    if (p.isDir || p.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
    if (IsReadOnlyFile(m, p)) return Fail(ERROR_ACCESS_DENIED);
    if (m.IsKeyInUse(StateKeyOf(m, p))) return Fail(ERROR_ACCESS_DENIED);
    if (::unlink(p.r.host.c_str()) != 0) return Fail(ErrnoToError(errno));
    m.NoteChanged(p.r.host, false, 0);
    Record(m, [&] {
      ForgetStagingWriter(m, p.r.host);
      ForgetAttributes(m, StateKeyOf(m, p));
      ForgetShortName(m, Machine::HostFolderOf(p.r.host), Machine::HostNameOf(p.r.host));
      m.Journal("file", "deleted " + Display(p));
    });
    return TRUE;
  });
}

namespace {

BOOL MoveNow(Machine& m, const std::string& from, const std::string& to, DWORD flags) {
  Path src, dst;
  if (!Look(m, from, src)) return FALSE;
  if (!src.exists) return Fail(MissingError(src));
  if (IsDriveRoot(src) || src.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
  if (!Look(m, to, dst)) return FALSE;
  if (dst.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
  if (!src.isDir && m.IsKeyInUse(StateKeyOf(m, src))) return Fail(ERROR_SHARING_VIOLATION);
  std::string target = dst.r.host;
  bool sameFile = dst.exists && KeyOf(src) == KeyOf(dst);
  if (sameFile) {
    // A change of case only: rename to the spelling given.
    std::string given = to;
    for (auto& c : given)
      if (c == '/') c = '\\';
    while (!given.empty() && given.back() == '\\') given.pop_back();
    target = (fs::path(Machine::HostFolderOf(src.r.host)) / given.substr(given.rfind('\\') + 1))
                 .native();
  } else if (dst.exists) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (dst.isDir || src.isDir) return Fail(ERROR_ACCESS_DENIED);
    if (DWORD e = CheckWritable(m, dst)) return Fail(e);
  } else if (!dst.parentExists) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  if (src.isDir) {
    std::string b = CanonicalKey(target);
    if (b.rfind(KeyOf(src) + "/", 0) == 0) return Fail(ERROR_ACCESS_DENIED);  // into itself
  }
  DWORD srcAttrs = StoredAttributes(m, StateKeyOf(m, src), src.isDir);
  if (!src.isDir) NoteStagingWriter(m, target);
  auto fail = [&](DWORD e) {
    if (!src.isDir) ForgetStagingWriter(m, target);
    return Fail(e);
  };
  // The target is dst as resolved, or a new spelling in the source's folder.
  const FolderHandle srcIn(src.r);
  const FolderHandle targetIn =
      sameFile ? FolderHandle(target, src.r.folderDev, src.r.folderIno) : FolderHandle(dst.r);
  // A name that appeared since the lookup is not replaced unless replacing was asked for.
  if (!Rename(srcIn.dir(), srcIn.name(), targetIn.dir(), targetIn.name(),
              sameFile || dst.exists || (flags & MOVEFILE_REPLACE_EXISTING))) {
    if (errno == EEXIST) return fail(ERROR_ALREADY_EXISTS);
    if (errno != EXDEV || src.isDir) return fail(ErrnoToError(errno));
    // Another host file system: copy, then delete the source.
    OpenSource in;
    if (DWORD e = in.OpenAt(srcIn.dir(), srcIn.name())) return fail(e);
    DWORD err = AtomicWrite(
        target, targetIn, [&](int fd) { return CopyOpenFile(in.fd, in.st, fd); },
        clock::FromTimespec(in.st.st_mtim),
        TargetOf(dst.exists, flags & MOVEFILE_REPLACE_EXISTING));
    if (err) return fail(err == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : err);
    ::unlinkat(srcIn.dir(), srcIn.name(), 0);
  }
  m.NoteChanged(src.r.host, false, 0);
  m.NoteChanged(target, true, TypeOf(src));
  if (src.isDir) m.Folders().Forget(src.r.host);
  // The name dst was resolved to now holds the file: its key and Windows path stand, unless
  // the move only changed the case of the name, or dst was a link that the move replaced.
  const bool asResolved = !sameFile && (dst.r.hostPlain || !dst.exists);
  const std::string targetKey = asResolved ? StateKeyOf(m, dst) : m.StateKeyOfHost(target);
  const std::string targetWindows = asResolved ? dst.r.windows : m.WindowsPath(target);
  Record(m, [&] {
    ForgetStagingWriter(m, src.r.host);
    ForgetShortName(m, Machine::HostFolderOf(src.r.host), Machine::HostNameOf(src.r.host));
    if (src.isDir) {
      MoveAttributes(m, StateKeyOf(m, src), targetKey);
    } else {
      ForgetAttributes(m, StateKeyOf(m, src));
      StoreFileAttributes(m, targetKey, srcAttrs);
    }
    m.Journal("file", "moved " + Display(src) + " to " + targetWindows);
  });
  return TRUE;
}

std::string NtPath(const std::string& windows) { return "\\??\\" + windows; }

BOOL RecordDelayedMove(Machine& m, const std::string& from, const std::string& to, DWORD flags) {
  if (!m.IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  Path src;
  if (!Look(m, from, src)) return FALSE;
  if (!src.exists) return Fail(MissingError(src));
  std::string target;
  if (!to.empty()) {
    Path dst;
    if (!Look(m, to, dst)) return FALSE;
    if (!dst.exists && !dst.parentExists) return Fail(ERROR_PATH_NOT_FOUND);
    target = (flags & MOVEFILE_REPLACE_EXISTING ? "!" : "") + NtPath(dst.r.windows);
  }
  HKEY key = nullptr;
  LONG rc =
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                     nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return Fail(DWORD(rc));
  std::string data;
  DWORD type = 0, size = 0;
  if (RegQueryValueEx(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
          ERROR_SUCCESS &&
      type == REG_MULTI_SZ && size > 0) {
    data.resize(size);
    RegQueryValueEx(key, "PendingFileRenameOperations", nullptr, &type,
                    reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
    // Drop the list's closing empty string; pairs are appended, then it is closed again.
    while (data.size() >= 2 && data[data.size() - 1] == '\0' && data[data.size() - 2] == '\0')
      data.pop_back();
    if (!data.empty() && data.back() != '\0') data += '\0';
  }
  data += NtPath(src.r.windows) + '\0' + target + '\0' + '\0';
  rc = RegSetValueEx(key, "PendingFileRenameOperations", 0, REG_MULTI_SZ,
                     reinterpret_cast<const BYTE*>(data.data()), DWORD(data.size()));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail(DWORD(rc));
  m.Journal("file", to.empty() ? "delayed deletion recorded: " + src.r.windows
                               : "delayed move recorded: " + src.r.windows + " to " +
                                     target.substr(target[0] == '!' ? 5 : 4));
  return TRUE;
}

}  // namespace

BOOL MoveFile(const std::string& from, const std::string& to) {
  return Guard(
      [&]() -> BOOL { return MoveNow(Machine::Current(), from, to, MOVEFILE_COPY_ALLOWED); });
}

BOOL MoveFileEx(const std::string& from, const std::string& to, DWORD flags) {
  return Guard([&]() -> BOOL {
    Machine& m = Machine::Current();
    if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) {
      if (flags & MOVEFILE_COPY_ALLOWED) return Fail(ERROR_INVALID_PARAMETER);
      return RecordDelayedMove(m, from, to, flags);
    }
    if (to.empty()) return Fail(ERROR_INVALID_PARAMETER);
    return MoveNow(m, from, to, flags);
  });
}

BOOL CreateDirectory(const std::string& path, void*) {
  return OnPath(path, [&](Machine& m, Path& p) -> BOOL {
    if (p.exists) return Fail(ERROR_ALREADY_EXISTS);
    if (p.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
    if (!p.parentExists) return Fail(ERROR_PATH_NOT_FOUND);
    if (::mkdir(p.r.host.c_str(), 0755) != 0) return Fail(ErrnoToError(errno));
    m.NoteChanged(p.r.host, true, DT_DIR);
    m.Journal("file", "folder created " + Display(p));
    return TRUE;
  });
}

BOOL RemoveDirectory(const std::string& path) {
  return OnPath(path, [&](Machine& m, Path& p) -> BOOL {
    if (!p.exists) return Fail(MissingError(p));
    if (!p.isDir) return Fail(ERROR_DIRECTORY);
    if (IsDriveRoot(p) || p.r.readOnly) return Fail(ERROR_ACCESS_DENIED);
    if (StoredAttributes(m, StateKeyOf(m, p), true) & FILE_ATTRIBUTE_READONLY)
      return Fail(ERROR_ACCESS_DENIED);
    std::error_code ec;
    // What killed programs left (hidden write temporaries, staging copies) does not count.
    if (!fs::is_empty(p.r.host, ec) && (ec || !ClearLeftoversIn(m, p.r.host)))
      return Fail(ec ? EcToError(ec) : ERROR_DIR_NOT_EMPTY);
    if (::rmdir(p.r.host.c_str()) != 0) return Fail(ErrnoToError(errno));
    m.NoteChanged(p.r.host, false, 0);
    m.Folders().Forget(p.r.host);
    Record(m, [&] {
      ForgetAttributes(m, StateKeyOf(m, p));
      ForgetShortName(m, Machine::HostFolderOf(p.r.host), Machine::HostNameOf(p.r.host));
      m.Journal("file", "folder removed " + Display(p));
    });
    return TRUE;
  });
}

// ---- find --------------------------------------------------------------------------------

HANDLE FindFirstFile(const std::string& pattern, WIN32_FIND_DATA* data) {
  return GuardOr(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
    if (!data) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
    }
    Machine& m = Machine::Current();
    std::string pat = pattern;
    for (auto& c : pat)
      if (c == '/') c = '\\';
    size_t slash = pat.rfind('\\');
    std::string dirPart, mask;
    if (slash == std::string::npos) {
      if (pat.size() >= 2 && pat[1] == ':') {
        dirPart = pat.substr(0, 2);
        mask = pat.substr(2);
      } else {
        dirPart = ".";
        mask = pat;
      }
    } else {
      dirPart = pat.substr(0, slash + 1);
      mask = pat.substr(slash + 1);
    }
    if (mask.empty()) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    const bool wild = mask.find_first_of("*?") != std::string::npos;
    // A plain name is the one answer, as the folder's listing spells it (or there is
    // none): no listing needed. Names that could be short names, or "name." (a name
    // without extension), take the full way.
    const bool plain = !wild && mask.find('~') == std::string::npos && mask.back() != '.' &&
                       mask.back() != ' ' && !IsWriteTempName(mask) && mask != "..";
    auto state = std::make_unique<FindState>();
    auto handle = [&]() -> HANDLE {
      if (state->items.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      *data = state->items[0];
      state->next = 1;
      std::lock_guard lock(g_findMutex);
      g_finds.insert(state.get());
      return static_cast<HANDLE>(state.release());
    };
    // The one entry the plain name path names, in folder; without one, in the folder its
    // resolution found, when that folder's listing answered for it (it tells what the
    // folder's own resolution would: it is there, a folder, and its key). Nothing: look the
    // full way (the entry went meanwhile, or is a broken link).
    auto plainEntry = [&](const std::string& path,
                          const ListedFolder* folder) -> std::optional<HANDLE> {
      Machine::Resolved exact;
      if (!m.Resolve(path, exact)) return std::nullopt;
      if (!folder && (exact.folderIno == 0 || exact.key.empty())) return std::nullopt;
      if (exact.hostMissing) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
      }
      ListedFolder seen;
      if (!folder) {
        seen = {Machine::HostFolderOf(exact.host), StateKeyFolderOf(m.StateKey(exact)),
                exact.readOnly};
        folder = &seen;
      }
      WIN32_FIND_DATA d;
      if (!FindDataOf(m, *folder, Machine::HostNameOf(exact.host), FolderHandle(exact), d))
        return std::nullopt;
      state->items.push_back(std::move(d));
      return handle();
    };
    if (plain)
      if (auto h = plainEntry(pat, nullptr)) return *h;
    Path dir;
    if (!Look(m, dirPart, dir)) return INVALID_HANDLE_VALUE;
    if (!dir.exists || !dir.isDir) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    const ListedFolder folder{dir.r.host, StateKeyOf(m, dir), dir.r.readOnly};
    const std::string& dirWindows = dir.r.windows;
    if (plain)
      if (auto h = plainEntry(dirWindows + (dirWindows.back() == '\\' ? "" : "\\") + mask, &folder))
        return *h;
    if (!ListMatching(m, folder, mask, !IsDriveRoot(dir) && wild, state->items))
      return INVALID_HANDLE_VALUE;
    return handle();
  });
}

BOOL FindNextFile(HANDLE find, WIN32_FIND_DATA* data) {
  std::lock_guard lock(g_findMutex);
  auto* s = static_cast<FindState*>(find);
  if (!g_finds.count(s) || !data) return Fail(ERROR_INVALID_HANDLE);
  if (s->next >= s->items.size()) return Fail(ERROR_NO_MORE_FILES);
  *data = s->items[s->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::lock_guard lock(g_findMutex);
  auto* s = static_cast<FindState*>(find);
  if (!g_finds.erase(s)) return Fail(ERROR_INVALID_HANDLE);
  delete s;
  return TRUE;
}

// ---- times -------------------------------------------------------------------------------

namespace {
std::int64_t BiasTicks() {
  return std::int64_t(Machine::Current().Settings().timeZoneBias) * 60 * 10000000LL;
}

// Days since 1601-01-01 for a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned mo, unsigned d) {
  y -= mo <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + std::int64_t(doe) - 719468 + 134774;  // 1970 -> 1601
}
}  // namespace

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
  if (!utc || !local) return Fail(ERROR_INVALID_PARAMETER);
  return Guard([&]() -> BOOL {
    *local = FILETIME::from(std::uint64_t(std::int64_t(utc->value()) + BiasTicks()));
    return TRUE;
  });
}

BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc) {
  if (!utc || !local) return Fail(ERROR_INVALID_PARAMETER);
  return Guard([&]() -> BOOL {
    *utc = FILETIME::from(std::uint64_t(std::int64_t(local->value()) - BiasTicks()));
    return TRUE;
  });
}

BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st) {
  if (!ft || !st) return Fail(ERROR_INVALID_PARAMETER);
  std::uint64_t v = ft->value();
  if (v >= 0x8000000000000000ULL) return Fail(ERROR_INVALID_PARAMETER);
  std::int64_t days = std::int64_t(v / (86400ULL * 10000000ULL));
  std::uint64_t rest = v % (86400ULL * 10000000ULL);
  // Civil date from days since 1601-01-01.
  std::int64_t z = days - 134774 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = std::int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned mo = mp < 10 ? mp + 3 : mp - 9;
  y += mo <= 2;
  st->wYear = WORD(y);
  st->wMonth = WORD(mo);
  st->wDay = WORD(d);
  st->wDayOfWeek = WORD((days + 1) % 7);  // 1601-01-01 was a Monday
  st->wHour = WORD(rest / (3600ULL * 10000000ULL));
  st->wMinute = WORD(rest / (60ULL * 10000000ULL) % 60);
  st->wSecond = WORD(rest / 10000000ULL % 60);
  st->wMilliseconds = WORD(rest / 10000ULL % 1000);
  return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft) {
  if (!st || !ft) return Fail(ERROR_INVALID_PARAMETER);
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (st->wYear % 4 == 0 && st->wYear % 100 != 0) || st->wYear % 400 == 0;
  if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 ||
      st->wDay > kDays[st->wMonth - 1] + (st->wMonth == 2 && leap) || st->wHour > 23 ||
      st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999)
    return Fail(ERROR_INVALID_PARAMETER);
  std::int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay);
  std::uint64_t v =
      std::uint64_t(days) * 86400ULL * 10000000ULL +
      (std::uint64_t(st->wHour) * 3600 + std::uint64_t(st->wMinute) * 60 + st->wSecond) *
          10000000ULL +
      std::uint64_t(st->wMilliseconds) * 10000ULL;
  *ft = FILETIME::from(v);
  return TRUE;
}

void GetSystemTime(SYSTEMTIME* st) {
  if (!st) return;
  FILETIME ft = FILETIME::from(clock::Now());
  FileTimeToSystemTime(&ft, st);
}

void GetLocalTime(SYSTEMTIME* st) {
  if (!st) return;
  FILETIME utc = FILETIME::from(clock::Now()), local;
  if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
  FileTimeToSystemTime(&local, st);
}

// ---- names and folders ---------------------------------------------------------------------

namespace {
// Copies s into buffer the way the path calls do: the length without NUL on success,
// else the size needed with the NUL.
DWORD PutString(const std::string& s, char* buffer, DWORD size) {
  if (!buffer || size < s.size() + 1) return DWORD(s.size() + 1);
  std::memcpy(buffer, s.c_str(), s.size() + 1);
  return DWORD(s.size());
}
}  // namespace

DWORD GetShortPathName(const std::string& longPath, char* buffer, DWORD size) {
  return Guard([&]() -> DWORD {
    Machine& m = Machine::Current();
    Path p;
    if (!Look(m, longPath, p)) return 0;
    if (!p.exists) {
      SetLastError(MissingError(p));
      return 0;
    }
    std::string out = p.r.windows.substr(0, 3);
    fs::path host = m.DriveRoot(p.r.drive);
    bool first = true;
    for (const std::string& comp : SplitNonEmpty(std::string_view(p.r.windows).substr(3), '\\')) {
      out += (first ? "" : "\\") + ShortNameOf(m, host, comp);
      host /= comp;
      first = false;
    }
    if (p.r.windows.size() > 3 && p.r.windows.back() == '\\') out += "\\";
    return PutString(out, buffer, size);
  });
}

DWORD GetFullPathName(const std::string& path, DWORD size, char* buffer, char** filePart) {
  return Guard([&]() -> DWORD {
    std::string full = Machine::Current().FullPathName(path);
    if (full.empty()) {
      SetLastError(ERROR_INVALID_NAME);
      return 0;
    }
    DWORD n = PutString(full, buffer, size);
    if (filePart && n < size) {
      size_t slash = full.rfind('\\');
      *filePart =
          (slash == std::string::npos || slash + 1 == full.size()) ? nullptr : buffer + slash + 1;
    }
    return n;
  });
}

UINT GetWindowsDirectory(char* buffer, UINT size) {
  return Guard([&]() -> UINT {
    Machine& m = Machine::Current();
    Machine::Resolved r;
    std::string dir = m.Settings().WindowsDir();
    if (m.Resolve(dir, r)) dir = r.windows;
    return PutString(dir, buffer, size);
  });
}

UINT GetSystemDirectory(char* buffer, UINT size) {
  return Guard([&]() -> UINT {
    Machine& m = Machine::Current();
    Machine::Resolved r;
    std::string dir = m.Settings().SystemDir();
    if (m.Resolve(dir, r)) dir = r.windows;
    return PutString(dir, buffer, size);
  });
}

DWORD GetTempPath(DWORD size, char* buffer) {
  return Guard([&]() -> DWORD {
    Machine& m = Machine::Current();
    std::string dir = m.Settings().WindowsDir() + "\\TEMP";
    Path p;
    if (Look(m, dir, p)) {
      if (!p.exists && p.parentExists && ::mkdir(p.r.host.c_str(), 0755) == 0)
        m.NoteChanged(p.r.host, true, DT_DIR);
      dir = p.r.windows;
    }
    return PutString(dir + "\\", buffer, size);
  });
}

UINT GetTempFileName(const std::string& dir, const std::string& prefix, UINT unique, char* out) {
  return Guard([&]() -> UINT {
    Machine& m = Machine::Current();
    Path d;
    if (!Look(m, dir, d)) return 0;
    if (!d.exists || !d.isDir) {
      SetLastError(ERROR_DIRECTORY);
      return 0;
    }
    std::string base = d.r.windows;
    if (base.back() != '\\') base += '\\';
    base += prefix.substr(0, 3);
    auto nameOf = [&](UINT u) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "%X", u & 0xFFFF);
      return base + hex + ".TMP";
    };
    auto put = [&](const std::string& s) -> bool {
      if (s.size() + 1 > MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
      }
      if (out) std::memcpy(out, s.c_str(), s.size() + 1);
      return true;
    };
    if (unique != 0) return put(nameOf(unique)) ? (unique & 0xFFFF) : 0;
    if (d.r.readOnly) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    UINT start = (GetTickCount() & 0xFFFF);
    for (UINT i = 0; i < 0x10000; ++i) {
      UINT u = ((start + i) & 0xFFFF);
      if (u == 0) continue;
      std::string name = nameOf(u);
      Path p;
      if (!Look(m, name, p)) return 0;
      int fd = ::open(p.r.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        SetLastError(ErrnoToError(errno));
        return 0;
      }
      ::close(fd);
      m.NoteChanged(p.r.host, true, DT_REG);
      SetHostWriteTime(p.r.host, clock::Now());
      if (!put(p.r.windows)) return 0;
      m.Journal("file", "temporary file created " + p.r.windows);
      return u;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
  });
}

DWORD GetCurrentDirectory(DWORD size, char* buffer) {
  return Guard(
      [&]() -> DWORD { return PutString(Machine::Current().CurrentDirectory(), buffer, size); });
}

BOOL SetCurrentDirectory(const std::string& path) {
  return OnPath(path, [&](Machine& m, Path& p) -> BOOL {
    if (!p.exists) return Fail(MissingError(p));
    if (!p.isDir) return Fail(ERROR_DIRECTORY);
    std::string w = p.r.windows;
    if (w.size() > 3 && w.back() == '\\') w.pop_back();
    m.SetCurrentDirectoryPath(w);
    return TRUE;
  });
}

UINT SetErrorMode(UINT mode) { return g_errorMode.exchange(mode); }

// ---- profile files -------------------------------------------------------------------------

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& file) {
  return OnPath(file, [&](Machine& m, Path& p) -> BOOL {
    if (!section && !key && !value) return TRUE;  // flush of the cached copy
    if (!section) return Fail(ERROR_INVALID_PARAMETER);
    std::string text;
    if (p.exists && !ReadWholeFile(file, text)) return FALSE;
    auto lines = SplitLfLines(text);
    // Locate the section.
    size_t start = lines.size(), end = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
      std::string name;
      if (!IsSectionHeader(lines[i], &name)) continue;
      if (start == lines.size()) {
        if (SameText(name, section)) start = i;
      } else {
        end = i;
        break;
      }
    }
    if (!key) {  // delete the whole section
      if (start == lines.size()) return TRUE;
      lines.erase(lines.begin() + std::ptrdiff_t(start), lines.begin() + std::ptrdiff_t(end));
    } else {
      if (start == lines.size()) {
        if (!value) return TRUE;
        lines.push_back(std::string("[") + section + "]");
        start = lines.size() - 1;
        end = lines.size();
      }
      size_t found = end;
      for (size_t i = start + 1; i < end; ++i) {
        size_t eq = lines[i].find('=');
        if (eq != std::string::npos && SameText(TrimWhiteSpace(lines[i].substr(0, eq)), key)) {
          found = i;
          break;
        }
      }
      if (found != end) {
        if (value)
          lines[found] = std::string(key) + "=" + value;
        else
          lines.erase(lines.begin() + std::ptrdiff_t(found));
      } else if (value) {
        // After the section's last non-empty line.
        size_t at = end;
        while (at > start + 1 && TrimWhiteSpace(lines[at - 1]).empty()) --at;
        lines.insert(lines.begin() + std::ptrdiff_t(at), std::string(key) + "=" + value);
      } else {
        return TRUE;
      }
    }
    return WriteWholeFile(file, JoinLines(lines)) ? TRUE : FALSE;
  });
}

DWORD GetPrivateProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, char* buffer, DWORD size,
                              const std::string& file) {
  return Guard([&]() -> DWORD {
    std::string result = defaultValue;
    std::string text;
    if (ReadWholeFile(file, text)) {
      bool in = false;
      for (auto& line : SplitLfLines(text)) {
        std::string name;
        if (IsSectionHeader(line, &name)) {
          if (in) break;
          in = SameText(name, section);
          continue;
        }
        if (!in) continue;
        size_t eq = line.find('=');
        if (eq != std::string::npos && SameText(TrimWhiteSpace(line.substr(0, eq)), key)) {
          result = TrimWhiteSpace(line.substr(eq + 1));
          if (result.size() >= 2 && (result[0] == '"' || result[0] == '\'') &&
              result.back() == result[0])
            result = result.substr(1, result.size() - 2);
          break;
        }
      }
    }
    if (!buffer || size == 0) return 0;
    size_t n = std::min<size_t>(result.size(), size - 1);
    std::memcpy(buffer, result.data(), n);
    buffer[n] = 0;
    return DWORD(n);
  });
}

// ---- handles -------------------------------------------------------------------------------

HANDLE CreateFile(const std::string& name, DWORD access, DWORD share, void*, DWORD disposition,
                  DWORD flags, HANDLE) {
  return GuardOr(INVALID_HANDLE_VALUE, [&]() -> HANDLE {
    Machine& m = Machine::Current();
    Path p;
    if (!Look(m, name, p)) return INVALID_HANDLE_VALUE;
    auto fail = [](DWORD e) {
      SetLastError(e);
      return INVALID_HANDLE_VALUE;
    };
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
      return fail(ERROR_INVALID_PARAMETER);
    if (p.exists && p.isDir) return fail(ERROR_ACCESS_DENIED);
    bool mustExist = disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING;
    if (!p.exists && mustExist) return fail(MissingError(p));
    if (p.exists && disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
    bool write = (access & GENERIC_WRITE) || disposition != OPEN_EXISTING;
    auto f = std::make_unique<FileState>();
    f->host = p.r.host;
    f->windows = p.r.windows;
    f->key = StateKeyOf(m, p);
    if (!write) {
      f->fd = ::open(p.r.host.c_str(), O_RDONLY | O_CLOEXEC);
      if (f->fd < 0) return fail(ErrnoToError(errno));
    } else {
      if (DWORD e = CheckWritable(m, p)) return fail(e);
      f->write = true;
      f->created = !p.exists;
      f->temp = TempBeside(p.r.host);
      NoteStagingWriter(m, p.r.host);
      f->fd = ::open(f->temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (f->fd < 0) {
        ForgetStagingWriter(m, p.r.host);
        return fail(ErrnoToError(errno));
      }
      bool keep = p.exists && (disposition == OPEN_EXISTING || disposition == OPEN_ALWAYS);
      if (keep) {
        DWORD err = CopyContent(p.r.host, f->fd);
        if (err || ::lseek(f->fd, 0, SEEK_SET) < 0) {
          ::close(f->fd);
          ::unlink(f->temp.c_str());
          return fail(err ? err : ERROR_GEN_FAILURE);
        }
      }
    }
    // OPEN_ALWAYS / CREATE_ALWAYS on an existing file report 183 alongside success.
    SetLastError(p.exists && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    std::lock_guard lock(g_fileMutex);
    FileState* raw = f.release();
    g_files.insert(raw);
    return static_cast<HANDLE>(raw);
  });
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void*) {
  FileState* f = FileOf(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (read) *read = 0;
  ssize_t n;
  do n = ::read(f->fd, buffer, toRead);
  while (n < 0 && errno == EINTR);
  if (n < 0) return Fail(ErrnoToError(errno));
  if (read) *read = DWORD(n);
  return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void*) {
  FileState* f = FileOf(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (written) *written = 0;
  if (!f->write) return Fail(ERROR_ACCESS_DENIED);
  if (DWORD e = WriteAll(f->fd, static_cast<const char*>(buffer), toWrite)) return Fail(e);
  if (written) *written = toWrite;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, DWORD* high) {
  FileState* f = FileOf(file);
  if (!f) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFF;
  }
  struct stat st;
  if (::fstat(f->fd, &st) != 0) {
    SetLastError(ErrnoToError(errno));
    return 0xFFFFFFFF;
  }
  std::uint64_t size = std::uint64_t(st.st_size);
  if (high) *high = DWORD(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return DWORD(size & 0xFFFFFFFFu);
}

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* write) {
  FileState* f = FileOf(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  struct stat st;
  bool have = ::stat(f->host.c_str(), &st) == 0 || ::fstat(f->fd, &st) == 0;
  if (!have) return Fail(ErrnoToError(errno));
  std::uint64_t w = f->writeTime ? *f->writeTime : clock::FromTimespec(st.st_mtim);
  if (creation) *creation = FILETIME::from(w);
  if (access) *access = FILETIME::from(clock::FromTimespec(st.st_atim));
  if (write) *write = FILETIME::from(w);
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME*, const FILETIME*, const FILETIME* write) {
  FileState* f = FileOf(file);
  if (!f) return Fail(ERROR_INVALID_HANDLE);
  if (!f->write) return Fail(ERROR_ACCESS_DENIED);
  if (write) f->writeTime = write->value();
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  FileState* f = nullptr;
  {
    std::lock_guard lock(g_fileMutex);
    auto* s = static_cast<FileState*>(handle);
    if (g_files.erase(s)) f = s;
  }
  if (!f) {
    for (auto& closer : Closers())
      if (closer(handle)) return TRUE;
    return Fail(ERROR_INVALID_HANDLE);
  }
  std::unique_ptr<FileState> owned(f);
  if (!f->write) {
    ::close(f->fd);
    return TRUE;
  }
  return Guard([&]() -> BOOL {
    Machine& m = Machine::Current();
    DWORD err = 0;
    if (::close(f->fd) != 0) err = ErrnoToError(errno);
    std::uint64_t t = f->writeTime ? *f->writeTime : clock::Now();
    if (!err && !SetHostWriteTime(f->temp, t)) err = ErrnoToError(errno);
    if (!err && ::rename(f->temp.c_str(), f->host.c_str()) != 0) err = ErrnoToError(errno);
    if (err) {
      ::unlink(f->temp.c_str());
      return Fail(err);
    }
    m.NoteChanged(f->host, true, DT_REG);
    Record(m, [&] {
      if (f->created) StoreFileAttributes(m, f->key, FILE_ATTRIBUTE_ARCHIVE);
      m.Journal("file", (f->created ? "created " : "written ") + f->windows);
    });
    return TRUE;
  });
}

void AddHandleCloser(std::function<bool(HANDLE)> closer) { Closers().push_back(std::move(closer)); }

// ---- whole files ---------------------------------------------------------------------------

bool ReadWholeFile(const std::string& path, std::string& data) {
  return Guard([&]() -> bool {
    Machine& m = Machine::Current();
    Path p;
    if (!Look(m, path, p)) return false;
    if (!p.exists) return Fail(MissingError(p));
    if (p.isDir) return Fail(ERROR_ACCESS_DENIED);
    std::ifstream in(p.r.host, std::ios::binary);
    if (!in) return Fail(ERROR_ACCESS_DENIED);
    std::ostringstream ss;
    ss << in.rdbuf();
    data = ss.str();
    return true;
  });
}

bool WriteWholeFile(const std::string& path, const std::string& data) {
  return Guard([&]() -> bool {
    Machine& m = Machine::Current();
    Path p;
    if (!Look(m, path, p)) return false;
    if (DWORD e = CheckWritable(m, p)) return Fail(e);
    NoteStagingWriter(m, p.r.host);
    DWORD err = AtomicWrite(
        p.r.host, FolderHandle(p.r), [&](int fd) { return WriteAll(fd, data.data(), data.size()); },
        clock::Now(), TargetOf(p.exists, true));
    if (err) {
      ForgetStagingWriter(m, p.r.host);
      return Fail(err);
    }
    m.NoteChanged(p.r.host, true, DT_REG);
    Record(m, [&] {
      if (!p.exists) StoreFileAttributes(m, StateKeyOf(m, p), FILE_ATTRIBUTE_ARCHIVE);
      m.Journal("file", (p.exists ? "written " : "created ") + p.r.windows);
    });
    return true;
  });
}

}  // namespace win
