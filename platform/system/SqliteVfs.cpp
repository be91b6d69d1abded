#include "platform/system/SqliteVfs.h"

#include <fcntl.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/system/Process.h"

namespace win {
namespace {

constexpr const char* kName = "wi-unix";
// Log writes kept for one write at most; beyond, they are written as they come. The host
// layer writes at most 128 KiB - 1 bytes in one call (it masks the length with 0x1ffff).
constexpr int kMaxKept = 128 * 1024 - 1;
constexpr int kFrameHeader = 24;
// A file control of this layer's own: do what was put off.
constexpr int kSettleOp = 0x5749;
// The host layer locks byte 120 + k of the index file for lock slot k; slots 4 to 7 are the
// readers' marks 1 to 4.
constexpr off_t kShmLockBase = 120;
constexpr int kWriteLock = 0;
constexpr int kFirstReader = 3;  // the slot of a reader that reads the database alone
constexpr int kFirstReadMark = 4;
constexpr int kLastReadMark = 7;

sqlite3_vfs* g_host = nullptr;
sqlite3_vfs g_vfs;
sqlite3_io_methods g_methods;

// A database or its log opened through this layer; the host's file follows it in the same
// allocation.
struct File {
  sqlite3_file base;
  sqlite3_file* host;
  bool log;
  // A log: its database. A database: its log while open. Both belong to one connection.
  File* peer = nullptr;
  // A log: writes kept, contiguous from start.
  unsigned char* kept = nullptr;
  int used = 0;
  int capacity = 0;
  sqlite3_int64 start = 0;
  unsigned forks = 0;          // the fork generation that kept them
  bool commitPage = false;     // the next write is the page of a commit frame
  bool barrierFailed = false;  // they could not be written at a barrier: kept, retried
  // A database: the reader slot whose exclusive lock is given up at the next call, or -1.
  int pendingUnlock = -1;
  // A database: its writer's lock, given up at the next call (with the reader's, in one
  // system call, when that call gives up the reader's slot).
  bool pendingWriteUnlock = false;
};

File* Of(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
const sqlite3_io_methods* Host(File* f) { return f->host->pMethods; }

// Writes what the log keeps. keep: on failure the writes stay, to be tried again (a barrier
// cannot report the failure; everywhere else SQLite is told and gives the frames up).
int Flush(File* log, bool keep) {
  if (log->used == 0) return SQLITE_OK;
  log->commitPage = false;
  // A child of fork() does not write what its parent's transaction left in memory.
  if (log->forks != ForkGeneration()) {
    log->used = 0;
    log->barrierFailed = false;
    return SQLITE_OK;
  }
  int rc = Host(log)->xWrite(log->host, log->kept, log->used, log->start);
  if (rc == SQLITE_OK || !keep) {
    log->used = 0;
    log->barrierFailed = false;
  }
  return rc;
}

// ---- Fewer lock calls ----
//
// The host layer keeps the locks of all its connections to one index file in the process
// and makes the system calls itself; through its replaceable "fcntl" it is asked, for one
// call on this thread:
// - to downgrade where it would unlock, then to count as taken the shared lock it already
//   holds (a reader moving its slot's mark);
// - to hold back the writer's unlock, then to give it up together with the reader's slot
//   (the end of a write transaction), where the process holds none of the locks between.
enum class Swap { kNone, kUnlockToShared, kSharedHeld, kHoldUnlock, kMergeUnlock };
thread_local Swap t_swap = Swap::kNone;
thread_local off_t t_byte = 0;
thread_local bool t_swapped = false;
thread_local int t_heldFd = -1;  // the index file whose writer's unlock is held back
// A write transaction's end put off past the call of SQLite that made it (see SqliteVfsSettle).
thread_local bool t_writeUnlockPending = false;
using FcntlFn = int (*)(int, int, ...);
FcntlFn g_hostFcntl = nullptr;

// The lock bytes of the index files (120 to 127) this process holds, by descriptor: every
// lock call of the host layer passes here.
constexpr int kTrackedFds = 4096;
std::atomic<std::uint8_t> g_held[kTrackedFds];

// The bits of the lock bytes in [from, to), as far as they are index lock bytes.
std::uint8_t LockBits(off_t from, off_t to) {
  std::uint8_t bits = 0;
  for (off_t b = std::max<off_t>(from, kShmLockBase); b < std::min<off_t>(to, kShmLockBase + 8);
       ++b)
    bits = std::uint8_t(bits | 1u << (b - kShmLockBase));
  return bits;
}

void NoteLocked(int fd, const struct flock& lock) {
  if (fd < 0 || fd >= kTrackedFds || lock.l_whence != SEEK_SET) return;
  const std::uint8_t bits =
      LockBits(lock.l_start, lock.l_len == 0 ? kShmLockBase + 8 : lock.l_start + lock.l_len);
  if (!bits) return;
  if (lock.l_type == F_UNLCK)
    g_held[fd].fetch_and(std::uint8_t(~bits));
  else
    g_held[fd].fetch_or(bits);
}

// Whether the process holds none of the lock bytes strictly between 120 and last.
bool NoneHeldBetween(int fd, off_t last) {
  if (fd < 0 || fd >= kTrackedFds) return false;
  return (g_held[fd].load() & LockBits(kShmLockBase + 1, last)) == 0;
}

int SetLock(int fd, int cmd, struct flock* lock) {
  const int rc = g_hostFcntl(fd, cmd, lock);
  if (rc == 0) NoteLocked(fd, *lock);
  return rc;
}

int SwappingFcntl(int fd, int cmd, ...) {
  va_list ap;
  va_start(ap, cmd);
  if (cmd == F_GETLK || cmd == F_SETLK || cmd == F_SETLKW) {
    auto* lock = va_arg(ap, struct flock*);
    va_end(ap);
    if (cmd == F_GETLK) return g_hostFcntl(fd, cmd, lock);
    if (t_swap != Swap::kNone && cmd == F_SETLK && lock->l_whence == SEEK_SET &&
        lock->l_start == t_byte && lock->l_len == 1) {
      if (t_swap == Swap::kUnlockToShared && lock->l_type == F_UNLCK) {
        t_swap = Swap::kNone;
        t_swapped = true;
        struct flock shared = *lock;
        shared.l_type = F_RDLCK;
        return SetLock(fd, cmd, &shared);
      }
      if (t_swap == Swap::kSharedHeld && lock->l_type == F_RDLCK) {
        t_swap = Swap::kNone;
        t_swapped = true;
        return 0;
      }
      if (t_swap == Swap::kHoldUnlock && lock->l_type == F_UNLCK) {
        t_swap = Swap::kNone;
        t_heldFd = fd;
        return 0;
      }
      if (t_swap == Swap::kMergeUnlock && lock->l_type == F_UNLCK && fd == t_heldFd &&
          NoneHeldBetween(fd, lock->l_start)) {
        t_swap = Swap::kNone;
        struct flock both = *lock;
        both.l_start = kShmLockBase;
        both.l_len = lock->l_start - kShmLockBase + 1;
        const int rc = SetLock(fd, cmd, &both);
        if (rc == 0) t_heldFd = -1;  // else the writer's unlock is tried on its own
        return rc;
      }
    }
    return SetLock(fd, cmd, lock);
  }
  if (cmd == F_GETFD || cmd == F_GETFL) {
    va_end(ap);
    return g_hostFcntl(fd, cmd);
  }
  const int arg = va_arg(ap, int);
  va_end(ap);
  return g_hostFcntl(fd, cmd, arg);
}

// The writer's unlock held back by the host layer's last call, if any: made now.
void ReleaseHeldUnlock() {
  if (t_heldFd < 0) return;
  struct flock unlock {};
  unlock.l_type = F_UNLCK;
  unlock.l_whence = SEEK_SET;
  unlock.l_start = kShmLockBase + kWriteLock;
  unlock.l_len = 1;
  SetLock(t_heldFd, F_SETLK, &unlock);
  t_heldFd = -1;
}

// Unlock exclusive then lock shared, slot k, in one system call where the host layer would
// make two.
int DowngradeShmLock(File* db, int k) {
  sqlite3_file* h = db->host;
  const bool swapping = g_hostFcntl != nullptr;
  if (swapping) {
    t_swap = Swap::kUnlockToShared;
    t_byte = kShmLockBase + k;
    t_swapped = false;
  }
  const int unlocked = Host(db)->xShmLock(h, k, 1, SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
  const bool downgraded = swapping && t_swapped && unlocked == SQLITE_OK;
  t_swap = Swap::kNone;
  // The lock kept is the shared one: the host layer is told it took it, without a call.
  // Had another connection of this process taken the slot meanwhile, the host layer answers
  // from its own books and makes no call.
  if (downgraded) {
    t_swap = Swap::kSharedHeld;
    t_byte = kShmLockBase + k;
  }
  const int rc = Host(db)->xShmLock(h, k, 1, SQLITE_SHM_LOCK | SQLITE_SHM_SHARED);
  t_swap = Swap::kNone;
  return rc;
}

// What a connection put off is done: the reader slot's unlock, and the writer's unlock unless
// kept for the end of the read.
void GiveUpPendingUnlock(File* db, bool keepWriteUnlock = false) {
  if (!db) return;
  if (db->pendingWriteUnlock && !keepWriteUnlock) {
    db->pendingWriteUnlock = false;
    t_writeUnlockPending = false;
    Host(db)->xShmLock(db->host, kWriteLock, 1, SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
  }
  if (db->pendingUnlock < 0) return;
  const int k = db->pendingUnlock;
  db->pendingUnlock = -1;
  Host(db)->xShmLock(db->host, k, 1, SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
}

// The writer's lock, then the reader's slot k, given up in one system call where the host
// layer would make two.
int EndWriteAndRead(File* db, int k) {
  sqlite3_file* h = db->host;
  db->pendingWriteUnlock = false;
  t_writeUnlockPending = false;
  t_swap = Swap::kHoldUnlock;
  t_byte = kShmLockBase + kWriteLock;
  t_heldFd = -1;
  Host(db)->xShmLock(h, kWriteLock, 1, SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
  t_swap = t_heldFd >= 0 ? Swap::kMergeUnlock : Swap::kNone;
  t_byte = kShmLockBase + k;
  const int rc = Host(db)->xShmLock(h, k, 1, SQLITE_SHM_UNLOCK | SQLITE_SHM_SHARED);
  t_swap = Swap::kNone;
  // Not merged (another connection of the process still reads in that slot, or holds a lock
  // between): the writer's unlock on its own.
  ReleaseHeldUnlock();
  return rc;
}

// Before any call of a connection on its database or log: what was put off is done first.
// A file control between the end of a write transaction and the end of its read (the commit's
// second phase) leaves the writer's unlock to go with the reader's.
int Settle(File* f, bool keepWriteUnlock = false) {
  File* log = f->log ? f : f->peer;
  int rc = SQLITE_OK;
  if (log && log->used) rc = Flush(log, log->barrierFailed);
  GiveUpPendingUnlock(f->log ? f->peer : f, keepWriteUnlock);
  return rc;
}

// ---- The file methods ----

// A call passed to the host's file once what was put off is done.
template <auto Method>
struct Settled;
template <typename... Args, int (*sqlite3_io_methods::*Method)(sqlite3_file*, Args...)>
struct Settled<Method> {
  static int Call(sqlite3_file* pf, Args... args) {
    File* f = Of(pf);
    if (int rc = Settle(f)) return rc;
    return (Host(f)->*Method)(f->host, args...);
  }
};

int Close(sqlite3_file* pf) {
  File* f = Of(pf);
  int rc = Settle(f);
  if (f->log) {
    if (f->peer) f->peer->peer = nullptr;
    std::free(f->kept);
  } else if (f->peer) {
    f->peer->peer = nullptr;
  }
  int closed = Host(f)->xClose(f->host);
  f->~File();
  return rc != SQLITE_OK ? rc : closed;
}

// A frame header whose "database size after commit" is set starts the last frame of a
// transaction.
bool IsCommitFrameHeader(const void* buf, int amt) {
  if (amt != kFrameHeader) return false;
  const auto* b = static_cast<const unsigned char*>(buf);
  return (b[4] | b[5] | b[6] | b[7]) != 0;
}

int Write(sqlite3_file* pf, const void* buf, int amt, sqlite3_int64 off) {
  File* f = Of(pf);
  if (!f->log) {
    if (int rc = Settle(f)) return rc;
    return Host(f)->xWrite(f->host, buf, amt, off);
  }
  GiveUpPendingUnlock(f->peer);
  const bool follows =
      f->used > 0 && !f->barrierFailed && off == f->start + f->used && f->forks == ForkGeneration();
  if (!follows || f->used + amt > kMaxKept) {
    if (int rc = Flush(f, f->barrierFailed)) return rc;
    if (amt > kMaxKept) return Host(f)->xWrite(f->host, buf, amt, off);
    f->start = off;
    f->forks = ForkGeneration();
  }
  if (f->used + amt > f->capacity) {
    int capacity = f->capacity ? f->capacity : 16 * 1024;
    while (capacity < f->used + amt) capacity *= 2;
    auto* grown = static_cast<unsigned char*>(std::realloc(f->kept, std::size_t(capacity)));
    if (!grown) {
      if (int rc = Flush(f, false)) return rc;
      return Host(f)->xWrite(f->host, buf, amt, off);
    }
    f->kept = grown;
    f->capacity = capacity;
  }
  std::memcpy(f->kept + f->used, buf, std::size_t(amt));
  f->used += amt;
  // The commit frame whole, the transaction goes to the file: a failure is then the
  // commit's, reported before the index tells anyone of it.
  if (f->commitPage) return Flush(f, false);
  if (IsCommitFrameHeader(buf, amt)) f->commitPage = true;
  return SQLITE_OK;
}

int FileControl(sqlite3_file* pf, int op, void* arg) {
  File* f = Of(pf);
  if (op == kSettleOp) return Settle(f);
  if (int rc = Settle(f, true)) return rc;
  int rc = Host(f)->xFileControl(f->host, op, arg);
  // The layer's name, as the host layer gives its own.
  if (op == SQLITE_FCNTL_VFSNAME && rc == SQLITE_OK && arg) {
    char** name = static_cast<char**>(arg);
    char* named = sqlite3_mprintf("%s/%z", kName, *name);
    if (named) *name = named;
  }
  return rc;
}

// Answers from memory: nothing put off needs doing first.
int SectorSize(sqlite3_file* pf) {
  File* f = Of(pf);
  return Host(f)->xSectorSize(f->host);
}
int DeviceCharacteristics(sqlite3_file* pf) {
  File* f = Of(pf);
  return Host(f)->xDeviceCharacteristics(f->host);
}

int ShmLock(sqlite3_file* pf, int offset, int n, int flags) {
  File* f = Of(pf);
  // A write transaction ends with the writer's unlock, then (unless another statement of the
  // connection still reads) the reader's: the first is put off to go with the second.
  if (f->pendingWriteUnlock && f->pendingUnlock < 0 &&
      flags == (SQLITE_SHM_UNLOCK | SQLITE_SHM_SHARED) && n == 1 && offset >= kFirstReader &&
      offset <= kLastReadMark) {
    File* log = f->peer;
    if (!log || !log->used) return EndWriteAndRead(f, offset);
  }
  if (f->pendingUnlock >= 0 && flags == (SQLITE_SHM_LOCK | SQLITE_SHM_SHARED) && n == 1 &&
      offset == f->pendingUnlock) {
    f->pendingUnlock = -1;
    if (int rc = Settle(f)) {
      // Not taken: the exclusive lock is given up as asked.
      Host(f)->xShmLock(f->host, offset, 1, SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE);
      return rc;
    }
    return DowngradeShmLock(f, offset);
  }
  if (int rc = Settle(f)) {
    // An unlock is done whatever else failed: SQLite does not ask twice.
    if (flags & SQLITE_SHM_UNLOCK) Host(f)->xShmLock(f->host, offset, n, flags);
    return rc;
  }
  // A reader moving its slot's mark takes the slot shared right after (it is the next call
  // of the connection, in the same call of SQLite): put off until then.
  if (g_hostFcntl && flags == (SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE) && n == 1 &&
      offset >= kFirstReadMark && offset <= kLastReadMark) {
    f->pendingUnlock = offset;
    return SQLITE_OK;
  }
  if (g_hostFcntl && flags == (SQLITE_SHM_UNLOCK | SQLITE_SHM_EXCLUSIVE) && n == 1 &&
      offset == kWriteLock) {
    f->pendingWriteUnlock = true;
    t_writeUnlockPending = true;
    return SQLITE_OK;
  }
  return Host(f)->xShmLock(f->host, offset, n, flags);
}

// SQLite writes the index's header after this barrier only once the frames it tells of are
// written: they must be in the file by then.
void ShmBarrier(sqlite3_file* pf) {
  File* f = Of(pf);
  File* log = f->peer;
  if (log && log->used && Flush(log, true) != SQLITE_OK) log->barrierFailed = true;
  GiveUpPendingUnlock(f);
  Host(f)->xShmBarrier(f->host);
}

int ShmUnmap(sqlite3_file* pf, int deleteFlag) {
  File* f = Of(pf);
  int rc = Settle(f);
  int unmapped = Host(f)->xShmUnmap(f->host, deleteFlag);
  return rc != SQLITE_OK ? rc : unmapped;
}

int Fetch(sqlite3_file* pf, sqlite3_int64 off, int amt, void** out) {
  File* f = Of(pf);
  *out = nullptr;
  if (int rc = Settle(f)) return rc;
  if (Host(f)->iVersion < 3 || !Host(f)->xFetch) return SQLITE_OK;
  return Host(f)->xFetch(f->host, off, amt, out);
}

int Unfetch(sqlite3_file* pf, sqlite3_int64 off, void* p) {
  File* f = Of(pf);
  if (int rc = Settle(f)) return rc;
  if (Host(f)->iVersion < 3 || !Host(f)->xUnfetch) return SQLITE_OK;
  return Host(f)->xUnfetch(f->host, off, p);
}

// ---- The layer ----

constexpr int kFileSize = int((sizeof(File) + 15) / 16 * 16);

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* pf, int flags, int* outFlags) {
  const bool log = (flags & SQLITE_OPEN_WAL) != 0;
  if (!log && !(flags & SQLITE_OPEN_MAIN_DB)) {
    // Journals and temporary files: the host's own, in place.
    return g_host->xOpen(g_host, name, pf, flags, outFlags);
  }
  auto* hostFile = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(pf) + kFileSize);
  std::memset(hostFile, 0, std::size_t(g_host->szOsFile));
  int rc = g_host->xOpen(g_host, name, hostFile, flags, outFlags);
  if (rc != SQLITE_OK || !hostFile->pMethods) {
    if (hostFile->pMethods) hostFile->pMethods->xClose(hostFile);
    pf->pMethods = nullptr;
    return rc != SQLITE_OK ? rc : SQLITE_CANTOPEN;
  }
  File* f = new (pf) File{};
  f->base.pMethods = &g_methods;
  f->host = hostFile;
  f->log = log;
  if (log) {
    sqlite3_file* db = sqlite3_database_file_object(name);
    if (db && db->pMethods == &g_methods) {
      f->peer = Of(db);
      Of(db)->peer = f;
    }
  }
  return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
  return g_host->xDelete(g_host, name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return g_host->xAccess(g_host, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
  return g_host->xFullPathname(g_host, name, n, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return g_host->xDlOpen(g_host, name); }
void DlError(sqlite3_vfs*, int n, char* out) { g_host->xDlError(g_host, n, out); }
void (*DlSym(sqlite3_vfs*, void* lib, const char* sym))(void) {
  return g_host->xDlSym(g_host, lib, sym);
}
void DlClose(sqlite3_vfs*, void* lib) { g_host->xDlClose(g_host, lib); }
int Randomness(sqlite3_vfs*, int n, char* out) { return g_host->xRandomness(g_host, n, out); }
int Sleep(sqlite3_vfs*, int us) { return g_host->xSleep(g_host, us); }
int CurrentTime(sqlite3_vfs*, double* out) { return g_host->xCurrentTime(g_host, out); }
int GetLastError(sqlite3_vfs*, int n, char* out) { return g_host->xGetLastError(g_host, n, out); }
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return g_host->xCurrentTimeInt64(g_host, out);
}
int SetSystemCall(sqlite3_vfs*, const char* name, sqlite3_syscall_ptr fn) {
  return g_host->xSetSystemCall(g_host, name, fn);
}
sqlite3_syscall_ptr GetSystemCall(sqlite3_vfs*, const char* name) {
  return g_host->xGetSystemCall(g_host, name);
}
const char* NextSystemCall(sqlite3_vfs*, const char* name) {
  return g_host->xNextSystemCall(g_host, name);
}

void Register() {
  sqlite3_initialize();
  g_host = sqlite3_vfs_find("unix");
  if (!g_host || g_host->iVersion < 3) return;

  g_methods.iVersion = 3;
  g_methods.xClose = Close;
  g_methods.xRead = Settled<&sqlite3_io_methods::xRead>::Call;
  g_methods.xWrite = Write;
  g_methods.xTruncate = Settled<&sqlite3_io_methods::xTruncate>::Call;
  g_methods.xSync = Settled<&sqlite3_io_methods::xSync>::Call;
  g_methods.xFileSize = Settled<&sqlite3_io_methods::xFileSize>::Call;
  g_methods.xLock = Settled<&sqlite3_io_methods::xLock>::Call;
  g_methods.xUnlock = Settled<&sqlite3_io_methods::xUnlock>::Call;
  g_methods.xCheckReservedLock = Settled<&sqlite3_io_methods::xCheckReservedLock>::Call;
  g_methods.xFileControl = FileControl;
  g_methods.xSectorSize = SectorSize;
  g_methods.xDeviceCharacteristics = DeviceCharacteristics;
  g_methods.xShmMap = Settled<&sqlite3_io_methods::xShmMap>::Call;
  g_methods.xShmLock = ShmLock;
  g_methods.xShmBarrier = ShmBarrier;
  g_methods.xShmUnmap = ShmUnmap;
  g_methods.xFetch = Fetch;
  g_methods.xUnfetch = Unfetch;

  g_vfs.iVersion = 3;
  g_vfs.szOsFile = kFileSize + g_host->szOsFile;
  g_vfs.mxPathname = g_host->mxPathname;
  g_vfs.zName = kName;
  g_vfs.xOpen = Open;
  g_vfs.xDelete = Delete;
  g_vfs.xAccess = Access;
  g_vfs.xFullPathname = FullPathname;
  g_vfs.xDlOpen = DlOpen;
  g_vfs.xDlError = DlError;
  g_vfs.xDlSym = DlSym;
  g_vfs.xDlClose = DlClose;
  g_vfs.xRandomness = Randomness;
  g_vfs.xSleep = Sleep;
  g_vfs.xCurrentTime = CurrentTime;
  g_vfs.xGetLastError = GetLastError;
  g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
  g_vfs.xSetSystemCall = SetSystemCall;
  g_vfs.xGetSystemCall = GetSystemCall;
  g_vfs.xNextSystemCall = NextSystemCall;

  // The downgrade needs the host's lock calls; without them a reader's unlock and lock stay
  // two calls.
  auto hostFcntl = reinterpret_cast<FcntlFn>(g_host->xGetSystemCall(g_host, "fcntl"));
  if (hostFcntl &&
      g_host->xSetSystemCall(g_host, "fcntl",
                             reinterpret_cast<sqlite3_syscall_ptr>(SwappingFcntl)) == SQLITE_OK)
    g_hostFcntl = hostFcntl;

  if (sqlite3_vfs_register(&g_vfs, 0) != SQLITE_OK) g_host = nullptr;
}

}  // namespace

void SqliteVfsSettle(sqlite3* db) {
  if (!t_writeUnlockPending) return;
  t_writeUnlockPending = false;
  sqlite3_file_control(db, "main", kSettleOp, nullptr);
}

const char* SqliteVfsName() {
  static std::once_flag once;
  std::call_once(once, Register);
  // Without the host layer SQLite's default is used.
  return g_host ? kName : nullptr;
}

}  // namespace win
