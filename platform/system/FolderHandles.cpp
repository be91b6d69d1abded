#include "platform/system/FolderHandles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "platform/system/CacheSwitch.h"
#include "platform/system/Process.h"

namespace win {

// One folder's descriptor, closed when the last call using it is done.
struct FolderHandle::Held {
  int fd;
  unsigned forks;  // the fork generation it was opened in
  Held(int f, unsigned g) : fd(f), forks(g) {}
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  // A child of a fork leaves its copy alone: it may have closed it and reused the number.
  ~Held() {
    if (forks == ForkGeneration()) ::close(fd);
  }
};

namespace {

// A placement spreads its files over a few dozen source and target folders at once.
constexpr size_t kMaxHeld = 128;

struct Identity {
  dev_t dev;
  ino_t ino;
  bool operator==(const Identity& o) const { return dev == o.dev && ino == o.ino; }
};
struct IdentityHash {
  size_t operator()(const Identity& id) const {
    return std::hash<std::uint64_t>()(std::uint64_t(id.ino) * 0x9E3779B97F4A7C15ULL ^
                                      std::uint64_t(id.dev));
  }
};
struct Slot {
  std::shared_ptr<const FolderHandle::Held> held;
  std::uint64_t used = 0;
};
struct Cache {
  std::mutex mutex;
  std::unordered_map<Identity, Slot, IdentityHash> slots;
  std::uint64_t tick = 0;
  unsigned forks = 0;
};

// Never destroyed: calls made while the process exits still find it.
Cache& TheCache() {
  static Cache* cache = new Cache;
  return *cache;
}

// Under the lock: a child of a fork starts without its parent's descriptors.
void ForgetParents(Cache& c, unsigned forks) {
  if (c.forks == forks) return;
  c.slots.clear();
  c.forks = forks;
}

std::shared_ptr<const FolderHandle::Held> Take(const std::string& host, Identity id) {
  Cache& c = TheCache();
  const unsigned forks = ForkGeneration();
  {
    std::lock_guard lock(c.mutex);
    ForgetParents(c, forks);
    if (auto it = c.slots.find(id); it != c.slots.end()) {
      it->second.used = ++c.tick;
      return it->second.held;
    }
  }
  // Opened outside the lock: other threads' calls go on meanwhile.
  const std::string parent = Machine::HostFolderOf(host);
  const int fd = ::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  // The path may name another folder by now (moved, replaced): that one is not the folder
  // the lookup answered for, and is not held under its identity.
  if (::fstat(fd, &st) != 0 || st.st_dev != id.dev || st.st_ino != id.ino) {
    ::close(fd);
    return nullptr;
  }
  auto held = std::make_shared<const FolderHandle::Held>(fd, forks);
  std::lock_guard lock(c.mutex);
  ForgetParents(c, forks);
  auto [it, fresh] = c.slots.try_emplace(id);
  if (!fresh) {
    // Another thread opened it meanwhile: one descriptor is kept.
    it->second.used = ++c.tick;
    return it->second.held;
  }
  it->second = {held, ++c.tick};
  if (c.slots.size() > kMaxHeld) {
    auto oldest = c.slots.begin();
    for (auto s = c.slots.begin(); s != c.slots.end(); ++s)
      if (s->second.used < oldest->second.used) oldest = s;
    c.slots.erase(oldest);
  }
  return held;
}

}  // namespace

FolderHandle::FolderHandle(const std::string& host, dev_t dev, ino_t ino)
    : dir_(AT_FDCWD), name_(host.c_str()) {
  if (ino == 0 || !CachesOn()) return;
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash + 1 >= host.size()) return;
  held_ = Take(host, {dev, ino});
  if (!held_) return;
  dir_ = held_->fd;
  name_ = host.c_str() + slash + 1;
}

FolderHandle::~FolderHandle() = default;

size_t FolderHandle::HeldCount() {
  Cache& c = TheCache();
  std::lock_guard lock(c.mutex);
  ForgetParents(c, ForkGeneration());
  return c.slots.size();
}

void FolderHandle::Release() {
  Cache& c = TheCache();
  std::lock_guard lock(c.mutex);
  c.slots.clear();
}

}  // namespace win
