#include "platform/system/DirectoryCache.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace win {

namespace {

constexpr size_t kMaxFolders = 256;
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
    : fold_(std::move(fold)), probeDir_(std::move(probeDir)) {}

void DirectoryCache::Clear() {
  std::lock_guard lock(mutex_);
  folders_.clear();
}

bool DirectoryCache::KeepsOwnChanges(const std::string& dir) {
  struct stat st;
  std::lock_guard lock(mutex_);
  return ::stat(dir.c_str(), &st) == 0 && FineTimes(st.st_dev);
}

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
      auto index = std::int32_t(f.entries.size());
      f.entries.push_back({name, d->d_type});
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

DirectoryCache::Result DirectoryCache::Find(const std::string& dir, const struct stat& dirStat,
                                            const std::string& comp, Found& out) {
  std::lock_guard lock(mutex_);
  for (bool checked = false;; checked = true) {
    auto it = folders_.find(dir);
    const Folder* f = nullptr;
    Folder fresh;
    if (!checked && it != folders_.end() && it->second.dev == dirStat.st_dev &&
        it->second.ino == dirStat.st_ino && SameTime(it->second.mtime, dirStat.st_mtim)) {
      f = &it->second;
    } else {
      if (it != folders_.end()) folders_.erase(it);
      bool keep = false;
      if (!Read(dir, fresh, keep)) return Result::Unreadable;
      ++listings_;
      if (keep) {
        if (folders_.size() >= kMaxFolders) folders_.clear();
        f = &(folders_[dir] = std::move(fresh));
      } else {
        f = &fresh;
      }
    }
    out.folderKey = f->key;
    std::int32_t pick = -1;
    auto at = f->byFolded.find(fold_(comp));
    for (std::int32_t i = at == f->byFolded.end() ? -1 : at->second; i >= 0; i = f->next[size_t(i)]) {
      const Entry& e = f->entries[size_t(i)];
      if (e.type == kGone) continue;
      if (e.name == comp) {
        pick = i;
        break;
      }
      if (pick < 0) pick = i;
    }
    if (pick >= 0) {
      out.entry = f->entries[size_t(pick)];
      return Result::Present;
    }
    // A listing that took this process's own changes could miss a name another process
    // made meanwhile: asked for as spelled, the name itself says so, and the folder is read.
    struct stat st;
    if (checked || !f->patched || ::lstat((dir + "/" + comp).c_str(), &st) != 0) return Result::Absent;
  }
}

void DirectoryCache::Forget(const std::string& dir) {
  std::lock_guard lock(mutex_);
  for (auto it = folders_.begin(); it != folders_.end();) {
    const std::string& k = it->first;
    bool below = k.size() >= dir.size() && k.compare(0, dir.size(), dir) == 0 &&
                 (k.size() == dir.size() || k[dir.size()] == '/');
    it = below ? folders_.erase(it) : std::next(it);
  }
}

void DirectoryCache::Changed(const std::string& dir, const std::string& name, bool present,
                             unsigned char type) {
  std::lock_guard lock(mutex_);
  auto it = folders_.find(dir);
  if (it == folders_.end()) return;
  Folder& f = it->second;
  struct stat st;
  if (!FineTimes(f.dev) || ::stat(dir.c_str(), &st) != 0 || st.st_dev != f.dev || st.st_ino != f.ino) {
    folders_.erase(it);
    return;
  }
  f.mtime = st.st_mtim;
  f.patched = true;
  std::string folded = fold_(name);
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
    f.byFolded.emplace(std::move(folded), index);
}

}  // namespace win
