#include "platform/system/DirectoryCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/system/CacheSwitch.h"
#include "platform/system/Leftovers.h"

namespace win {

namespace {

constexpr size_t kMaxFolders = 256;
// Watches count against a per-user limit shared with the shell's change handles (often
// 8,192): a cache holds at most this many of its own.
constexpr size_t kMaxWatches = 1024;
// Changes of names, and of the watched folder itself; not of the files' content.
constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
// The type of an entry removed from a kept listing.
constexpr unsigned char kGone = 0xFF;

// Layout of the records getdents64 fills in.
struct LinuxDirent64 {
  std::uint64_t d_ino;
  std::int64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// True when every change after now gets a later time than mtime even on a file system
// stamping with the kernel's coarse clock: a tick has passed (a whole second where the
// file system keeps no fraction).
bool TickPassed(const struct timespec& mtime, const struct timespec& now) {
  const long long granularity = mtime.tv_nsec == 0 ? 2'000'000'000LL : 25'000'000LL;
  long long diff = (static_cast<long long>(now.tv_sec) - mtime.tv_sec) * 1'000'000'000LL +
                   (now.tv_nsec - mtime.tv_nsec);
  return diff > granularity;
}

// Whether the file system holding dir gives a change made after a look at a folder a new
// time, however soon it comes: three changes in a row, each just after a stat, must each
// move the time. A kernel stamping with its coarse clock fails at once (all three fall in
// one tick).
bool ProbeFineTimes(const std::string& dir) {
  char name[64];
  std::snprintf(name, sizeof name, "/.~wi%d-probe.XXXXXX", int(::getpid()));
  std::string tmpl = dir + name;
  if (!::mkdtemp(tmpl.data())) return false;
  bool fine = true;
  int made = 0;
  for (; made < 3 && fine; ++made) {
    struct stat before, after;
    std::string file = tmpl + "/" + std::to_string(made);
    if (::stat(tmpl.c_str(), &before) != 0) {
      fine = false;
      break;
    }
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      fine = false;
      break;
    }
    ::close(fd);
    if (::stat(tmpl.c_str(), &after) != 0 || SameTime(before.st_mtim, after.st_mtim)) fine = false;
  }
  for (int i = 0; i < made; ++i) ::unlink((tmpl + "/" + std::to_string(i)).c_str());
  ::rmdir(tmpl.c_str());
  return fine;
}

}  // namespace

DirectoryCache::DirectoryCache(std::function<std::string(const std::string&)> fold,
                               std::string probeDir)
    : fold_(std::move(fold)), probeDir_(std::move(probeDir)) {
  while (probeDir_.size() > 1 && probeDir_.back() == '/') probeDir_.pop_back();
}

DirectoryCache::~DirectoryCache() = default;

void DirectoryCache::Clear() {
  std::lock_guard lock(mutex_);
  ++generation_;
  folders_.clear();
  ++epoch_;
}

bool DirectoryCache::KeepsOwnChanges(const std::string& dir) {
  struct stat st;
  std::lock_guard lock(mutex_);
  const bool below =
      !probeDir_.empty() && dir.compare(0, probeDir_.size() + 1, probeDir_ + "/") == 0;
  return (below && Watching()) || (::stat(dir.c_str(), &st) == 0 && FineTimes(st.st_dev));
}

// ---- watches ----------------------------------------------------------------------------

bool DirectoryCache::Watching() {
  // A child of a fork: the watches are its parent's, and so are the events on them.
  if (watch_.LeftByFork()) DropWatches();
  if (!watch_.IsOpen() && !noWatch_) {
    // A machine's folder reached through a link: no folder below it is named by its real
    // path, which a trusted listing must be.
    char* real = ::realpath(probeDir_.c_str(), nullptr);
    noWatch_ = !real || probeDir_ != real;
    std::free(real);
    if (noWatch_) return false;
    noWatch_ = !watch_.Open();
  }
  return watch_.IsOpen();
}

// Forgets every watch, and the listings they kept true.
void DirectoryCache::DropWatches() {
  ++generation_;
  for (const auto& [wd, path] : pathOf_) watch_.Remove(wd);
  wdOf_.clear();
  pathOf_.clear();
  expected_.clear();
  for (auto it = folders_.begin(); it != folders_.end();)
    it = it->second.wd >= 0 ? folders_.erase(it) : std::next(it);
  ++epoch_;
}

// Watches dir and every folder above it up to the machine's folder, before dir is listed
// or its place proven. False where that cannot be (outside the machine's folder, no watch
// left): dir is then checked by its change time.
bool DirectoryCache::Watch(const std::string& dir) {
  if (probeDir_.empty() || !Watching()) return false;
  if (dir != probeDir_ && dir.compare(0, probeDir_.size() + 1, probeDir_ + "/") != 0) return false;
  // From the top down: a link on the way (not watched, as a link is no folder) stops it
  // before anything below is watched.
  for (size_t end = probeDir_.size();; end = dir.find('/', end + 1)) {
    const std::string path = dir.substr(0, end);
    if (!wdOf_.count(path)) {
      if (wdOf_.size() >= kMaxWatches) {
        DropWatches();
        return false;
      }
      int wd = watch_.Add(path, kWatchMask);
      if (wd < 0) return false;
      // One folder reached by two paths: neither can be told apart by its events.
      auto [at, fresh] = pathOf_.try_emplace(wd, path);
      if (!fresh && at->second != path) return false;
      wdOf_[path] = wd;
    }
    if (end == std::string::npos) return true;
  }
}

// Forgets the listings and the watches of dir and of every folder below it: their paths
// no longer name them (moved, removed or replaced).
void DirectoryCache::Abandon(const std::string& dir) {
  ++generation_;
  auto below = [&](const std::string& k) {
    return k.size() >= dir.size() && k.compare(0, dir.size(), dir) == 0 &&
           (k.size() == dir.size() || k[dir.size()] == '/');
  };
  for (auto it = folders_.begin(); it != folders_.end();)
    it = below(it->first) ? folders_.erase(it) : std::next(it);
  for (auto it = wdOf_.begin(); it != wdOf_.end();) {
    if (!below(it->first)) {
      ++it;
      continue;
    }
    // Events already on their way for it are ignored: its number is no longer known.
    watch_.Remove(it->second);
    pathOf_.erase(it->second);
    it = wdOf_.erase(it);
  }
}

// Reads the events waiting, so that a change any process made before this call is known.
void DirectoryCache::Drain() {
  if (pathOf_.empty() || !Watching()) {
    expected_.clear();
    return;
  }
  watch_.Drain([this](const WatchEvent& e) { Take(e); });
  // The event of an announced change was queued when its call returned, before it was
  // announced: one still expected now was read by an earlier drain, and taken as foreign.
  expected_.clear();
}

void DirectoryCache::BeginUnit() {
  std::lock_guard lock(mutex_);
  if (unitDepth_ > 0 && !InOwnUnit()) return;  // another thread's
  if (unitDepth_++ == 0) {
    unitThread_ = std::this_thread::get_id();
    unitLooked_ = false;
    // Numbered across the process: an answer kept for a unit never meets another machine's.
    static std::atomic<std::uint64_t> units{0};
    unitSerial_ = ++units;
  }
}

bool DirectoryCache::UnitLooked(std::uint64_t& unit, std::uint64_t& generation) {
  std::lock_guard lock(mutex_);
  if (!InOwnUnit() || !unitLooked_) return false;
  unit = unitSerial_;
  generation = generation_;
  return true;
}

void DirectoryCache::EndUnit() {
  std::lock_guard lock(mutex_);
  if (InOwnUnit()) --unitDepth_;
}

void DirectoryCache::Take(const WatchEvent& e) {
  if (e.mask & IN_Q_OVERFLOW) {
    // Changes were lost, moves of watched folders among them: start over.
    DropWatches();
    return;
  }
  auto at = pathOf_.find(e.wd);
  if (at == pathOf_.end()) return;  // a watch given up
  const std::string path = at->second;
  if (e.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
    Abandon(path);
    ++epoch_;
    return;
  }
  const std::string name(e.name);
  if (IsWriteTempName(name)) return;  // never listed
  const bool present = e.mask & (IN_CREATE | IN_MOVED_TO);
  for (auto it = expected_.begin(); it != expected_.end(); ++it)
    if (it->wd == e.wd && it->present == present && it->name == name) {
      expected_.erase(it);
      return;
    }
  // Another process's change: its folder is read again, what was watched under the name
  // is given up (a folder moved away or replaced), and every folder's place proven again.
  Abandon(path + "/" + name);
  folders_.erase(path);
  ++epoch_;
  ++generation_;
}

// ---- listings ---------------------------------------------------------------------------

bool DirectoryCache::FineTimes(dev_t dev) {
  auto it = fineTimes_.find(dev);
  if (it != fineTimes_.end()) return it->second;
  bool fine = false;
  struct stat st;
  if (!probeDir_.empty() && ::stat(probeDir_.c_str(), &st) == 0 && st.st_dev == dev)
    fine = ProbeFineTimes(probeDir_);
  fineTimes_[dev] = fine;
  return fine;
}

bool DirectoryCache::Read(const std::string& dir, Folder& f, bool& keep) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // The time is taken before the names: a change while they are read moves it, and the
  // next lookup reads the folder again.
  struct stat st;
  struct timespec now {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  ::clock_gettime(CLOCK_REALTIME, &now);
  f.dev = st.st_dev;
  f.ino = st.st_ino;
  f.mtime = st.st_mtim;
  // The file system is tried only for a folder changed within the last tick: most folders
  // a program looks into have not changed for long.
  keep = TickPassed(st.st_mtim, now) || FineTimes(st.st_dev);

  char link[64], path[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = ::readlink(link, path, sizeof path);
  if (n > 0 && n < ssize_t(sizeof path) && path[0] == '/') {
    f.key.assign(path, size_t(n));
    // A folder removed meanwhile: its name is no key, and its listing no answer to keep.
    if (f.key.size() >= 10 && f.key.compare(f.key.size() - 10, 10, " (deleted)") == 0) {
      f.key.clear();
      keep = false;
    }
  }

  alignas(8) char buf[32768];
  bool ok = true;
  for (;;) {
    long got = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (got == 0) break;
    for (long pos = 0; pos < got;) {
      auto* d = reinterpret_cast<LinuxDirent64*>(buf + pos);
      pos += d->d_reclen;
      const char* name = d->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      f.entries.push_back({name, d->d_type});
      if (IsWriteTempName(f.entries.back().name)) {
        f.entries.pop_back();
        continue;
      }
      auto index = std::int32_t(f.entries.size() - 1);
      f.next.push_back(-1);
      auto [it, fresh] = f.byFolded.try_emplace(fold_(f.entries.back().name), index);
      if (!fresh) {
        std::int32_t last = it->second;
        while (f.next[size_t(last)] >= 0) last = f.next[size_t(last)];
        f.next[size_t(last)] = index;
      }
    }
  }
  ::close(fd);
  return ok;
}

DirectoryCache::Result DirectoryCache::Find(const std::string& dir, const struct stat* dirStat,
                                            const std::string& comp, Found& out) {
  std::lock_guard lock(mutex_);
  const bool inUnit = InOwnUnit();
  if (!inUnit || !unitLooked_) Drain();
  if (inUnit) unitLooked_ = true;
  // With the caches off no listing is kept: each lookup reads its folder.
  const bool keepListings = CachesOn();
  auto it = folders_.find(dir);
  if (!dirStat) {
    if (!keepListings || it == folders_.end() || it->second.wd < 0 || it->second.trusted != epoch_)
      return Result::Unchecked;
    return Lookup(it->second, dir, comp, true, out);
  }
  for (bool checked = false;; checked = true) {
    it = folders_.find(dir);
    Folder* f = nullptr;
    Folder fresh;
    // A watched listing is true whatever its folder's time; the stat proves its place.
    if (!checked && keepListings && it != folders_.end() && it->second.dev == dirStat->st_dev &&
        it->second.ino == dirStat->st_ino &&
        (it->second.wd >= 0 || SameTime(it->second.mtime, dirStat->st_mtim))) {
      f = &it->second;
      if (f->armed) f->trusted = epoch_;
    } else {
      // Another folder in its place: the watch of the one before is given up.
      if (it != folders_.end() &&
          (it->second.dev != dirStat->st_dev || it->second.ino != dirStat->st_ino))
        Abandon(dir);
      folders_.erase(dir);
      ++generation_;
      // Watched before it is opened: a change after the opening is told by an event.
      const bool watched = keepListings && Watch(dir);
      bool keep = false;
      if (!Read(dir, fresh, keep)) return Result::Unreadable;
      keep = keep && keepListings;
      ++listings_;
      if (watched && fresh.key == dir) {
        fresh.wd = wdOf_[dir];
        fresh.trusted = epoch_;
        keep = true;
      }
      if (keep) {
        if (folders_.size() >= kMaxFolders) folders_.clear();
        f = &(folders_[dir] = std::move(fresh));
      } else {
        f = &fresh;
      }
    }
    if (f->wd >= 0) f->armed = true;
    Result r = Lookup(*f, dir, comp, checked, out);
    if (r != Result::Unchecked) return r;
  }
}

// Unchecked here: the name may have been made by another process since the listing took
// a change of this one's; the caller reads the folder again.
DirectoryCache::Result DirectoryCache::Lookup(Folder& f, const std::string& dir,
                                              const std::string& comp, bool checked, Found& out) {
  out.folderKey = f.key;
  out.dev = f.dev;
  out.ino = f.ino;
  std::int32_t pick = -1;
  auto at = f.byFolded.find(fold_(comp));
  for (std::int32_t i = at == f.byFolded.end() ? -1 : at->second; i >= 0; i = f.next[size_t(i)]) {
    const Entry& e = f.entries[size_t(i)];
    if (e.type == kGone) continue;
    if (e.name == comp) {
      pick = i;
      break;
    }
    if (pick < 0) pick = i;
  }
  if (pick >= 0) {
    out.entry = f.entries[size_t(pick)];
    return Result::Present;
  }
  // A listing that took this process's own changes by their time could miss a name another
  // process made meanwhile: asked for as spelled, the name itself says so. A watched one
  // would have been told.
  struct stat st;
  if (checked || f.wd >= 0 || !f.patched || ::lstat((dir + "/" + comp).c_str(), &st) != 0)
    return Result::Absent;
  return Result::Unchecked;
}

void DirectoryCache::Forget(const std::string& dir) {
  std::lock_guard lock(mutex_);
  Watching();  // not the watches of a parent process
  Abandon(dir);
  ++epoch_;
}

void DirectoryCache::Changed(const std::string& dir, const std::string& name, bool present,
                             unsigned char type) {
  std::lock_guard lock(mutex_);
  ++generation_;
  Watching();  // not the watches of a parent process
  if (auto w = wdOf_.find(dir); w != wdOf_.end()) expected_.push_back({w->second, name, present});
  auto it = folders_.find(dir);
  if (it == folders_.end()) return;
  Folder& f = it->second;
  if (f.wd < 0) {
    struct stat st;
    if (!FineTimes(f.dev) || ::stat(dir.c_str(), &st) != 0 || st.st_dev != f.dev ||
        st.st_ino != f.ino) {
      folders_.erase(it);
      return;
    }
    f.mtime = st.st_mtim;
  }
  f.patched = true;
  Patch(f, fold_(name), name, present, type);
}

void DirectoryCache::Patch(Folder& f, const std::string& folded, const std::string& name,
                           bool present, unsigned char type) {
  auto head = f.byFolded.find(folded);
  std::int32_t last = -1;
  if (head != f.byFolded.end()) {
    for (std::int32_t i = head->second; i >= 0; i = f.next[size_t(i)]) {
      last = i;
      if (f.entries[size_t(i)].name != name) continue;
      f.entries[size_t(i)].type = present ? type : kGone;
      return;
    }
  }
  if (!present) return;
  auto index = std::int32_t(f.entries.size());
  f.entries.push_back({name, type});
  f.next.push_back(-1);
  if (last >= 0)
    f.next[size_t(last)] = index;
  else
    f.byFolded.emplace(folded, index);
}

}  // namespace win
