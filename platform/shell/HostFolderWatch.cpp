#include "platform/shell/HostFolderWatch.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/shell/ChangeNotify.h"
#include "platform/system/Leftovers.h"
#include "platform/system/WatchService.h"

namespace win {

namespace {

constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr DWORD kWriteBits = FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
constexpr DWORD kAttributeBits =
    FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY | FILE_NOTIFY_CHANGE_LAST_WRITE;

// What the kernel must report on each folder of a watch. A subtree watch always needs the
// name events, to follow its folders.
std::uint32_t KernelMask(DWORD filter, bool subtree) {
  std::uint32_t m = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
  if (subtree ||
      (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | kWriteBits)))
    m |= kNameEvents;
  if (filter & kAttributeBits) m |= IN_ATTRIB;
  if (filter & kWriteBits) m |= IN_MODIFY;
  return m;
}

// Whether an event on an entry of a watched folder is a change the filter asks for. A
// file written by the machine arrives as a rename into place, which is a write as well.
bool Matches(DWORD filter, std::uint32_t mask) {
  const bool dir = mask & IN_ISDIR;
  if (mask & kNameEvents) {
    if (filter & (dir ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME)) return true;
    if (!dir && (mask & (IN_CREATE | IN_MOVED_TO)) && (filter & kWriteBits)) return true;
  }
  if ((mask & IN_ATTRIB) && (filter & kAttributeBits)) return true;
  return (mask & IN_MODIFY) && !dir && (filter & kWriteBits);
}

bool IsDotName(const char* n) { return n[0] == '.' && (!n[1] || (n[1] == '.' && !n[2])); }

}  // namespace

class HostWatches final : public WatchService::Client {
 public:
  using NotifyPtr = std::shared_ptr<const HostFolderWatch::Notify>;

  static std::shared_ptr<HostWatches> Acquire(DWORD& error) {
    std::lock_guard lock(CurrentMutex());
    if (auto s = Current().lock(); s && !s->Forked()) return s;
    std::shared_ptr<HostWatches> s(new HostWatches);
    s->service_ = &WatchService::Process();
    if (!s->service_->Join(*s, true)) {
      error =
          errno == EMFILE || errno == ENFILE ? ERROR_TOO_MANY_OPEN_FILES : ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    Current() = s;
    return s;
  }
  static std::shared_ptr<HostWatches> Running() {
    std::lock_guard lock(CurrentMutex());
    auto s = Current().lock();
    return s && !s->Forked() ? s : nullptr;
  }

  // In a forked child the watches are the parent's: nothing here is touched.
  ~HostWatches() {
    if (!Forked()) service_->Leave(*this);
  }

  // 0 with error set when the folder cannot be watched whole.
  std::uint64_t Add(const std::string& root, bool subtree, DWORD filter,
                    HostFolderWatch::Notify notify, DWORD& error) {
    std::uint64_t id;
    {
      std::lock_guard lock(tableMutex_);
      id = nextId_++;
      Watch& w = watches_[id];
      w.root = root;
      w.subtree = subtree;
      w.filter = filter;
      w.mask = KernelMask(filter, subtree);
      w.notify = std::make_shared<const HostFolderWatch::Notify>(std::move(notify));
    }
    error = 0;
    if (!Walk(id, root, true, error, nullptr, nullptr)) {
      Remove(id);
      if (!error) error = ERROR_PATH_NOT_FOUND;
      return 0;
    }
    return id;
  }

  void Remove(std::uint64_t id) {
    if (Forked()) return;
    std::lock_guard lock(tableMutex_);
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    for (int wd : std::set<int>(it->second.wds)) Drop(id, wd);
    watches_.erase(it);
    std::erase_if(walks_, [id](const PendingWalk& p) { return p.id == id; });
    walked_.notify_all();
  }

  // Hands on what the kernel has queued; see HostFolderWatch::Sync.
  void Sync(const std::function<void()>& whileHeld) {
    const bool onReader = WatchService::OnReaderThread();
    for (bool done = false;;) {
      // The walks of folders made before the call are part of what it reports (entries
      // made in them before their watch came); the reader runs them meanwhile.
      service_->Read([&] {
        std::lock_guard table(tableMutex_);
        if (!onReader && (!walks_.empty() || walking_ != 0)) return;
        if (whileHeld) whileHeld();
        done = true;
      });
      if (done) return;
      service_->Wake();
      std::unique_lock table(tableMutex_);
      walked_.wait(table, [this] { return walks_.empty() && walking_ == 0; });
    }
  }

  std::size_t KernelWatches() const {
    std::lock_guard lock(tableMutex_);
    return dirs_.size();
  }

 private:
  struct Dir {
    std::string path;
    std::unordered_map<std::uint64_t, bool> users;  // watch id -> this folder is its root
    // A folder made later, while its first walk runs: the names events reported in it.
    bool fresh = false;
    std::set<std::string> reported;
  };
  // The entries a walk found in one of its folders (name, is a folder).
  using Found = std::vector<std::pair<int, std::vector<std::pair<std::string, bool>>>>;
  struct Watch {
    std::string root;
    bool subtree = false;
    DWORD filter = 0;
    std::uint32_t mask = 0;
    NotifyPtr notify;
    std::set<int> wds;
  };
  // A folder to add to a watch: one made later (fresh), or the whole subtree again after
  // events were lost.
  struct PendingWalk {
    std::uint64_t id;
    std::string dir;
    bool fresh;
  };
  enum AddResult { kAdded, kSkipped, kAbort };

  static std::mutex& CurrentMutex() {
    static std::mutex m;
    return m;
  }
  static std::weak_ptr<HostWatches>& Current() {
    static std::weak_ptr<HostWatches> s;
    return s;
  }

  HostWatches() = default;
  bool Forked() const { return service_ != &WatchService::Process(); }

  // Events, under the service's read lock: the notifications they call for are made once
  // the read has handed them all.
  void Take(const WatchEvent& e) override {
    std::lock_guard table(tableMutex_);
    walksQueued_ = Handle(e, notify_) || walksQueued_;
  }
  void Taken() override {
    for (auto& [id, f] : notify_) (*f)();
    notify_.clear();
    if (walksQueued_ && !WatchService::OnReaderThread()) service_->Wake();
    walksQueued_ = false;
  }
  void Idle() override { RunWalks(); }

  // One folder joins watch id (fresh: made later, its first walk follows). kAbort when the
  // watch is gone or the host's limit is hit (error set), kSkipped when the folder cannot be
  // watched (gone, not a folder, no right).
  AddResult AddOne(std::uint64_t id, const std::string& dir, bool root, bool fresh, DWORD& error,
                   int& wd) {
    std::lock_guard lock(tableMutex_);
    auto w = watches_.find(id);
    if (w == watches_.end()) return kAbort;
    wd = service_->Add(*this, dir, w->second.mask);
    if (wd < 0) {
      if (errno == ENOSPC || errno == ENOMEM) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return kAbort;
      }
      if (root) error = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
      return kSkipped;
    }
    Dir& d = dirs_[wd];
    d.path = dir;
    d.fresh = d.fresh || fresh;
    d.users[id] = d.users[id] || root;
    w->second.wds.insert(wd);
    return kAdded;
  }

  // Adds dir (and, for a subtree watch, every folder below it) to watch id. seen collects
  // the kernel watches found; found, the entries of each folder (which are then marked
  // fresh). False when the walk was cut short (the root could not be watched, the limit,
  // the watch gone).
  bool Walk(std::uint64_t id, const std::string& top, bool isRoot, DWORD& error,
            std::set<int>* seen, Found* found) {
    bool subtree;
    {
      std::lock_guard lock(tableMutex_);
      auto w = watches_.find(id);
      if (w == watches_.end()) return false;
      subtree = w->second.subtree;
    }
    std::vector<std::string> stack{top};
    bool first = true;
    while (!stack.empty()) {
      std::string dir = std::move(stack.back());
      stack.pop_back();
      int wd = -1;
      AddResult r = AddOne(id, dir, first && isRoot, found != nullptr, error, wd);
      if (r == kAbort || (r == kSkipped && first && isRoot)) return false;
      first = false;
      if (r == kSkipped) continue;
      if (seen) seen->insert(wd);
      if (!subtree) break;
      if (found) found->emplace_back(wd, std::vector<std::pair<std::string, bool>>());
      DIR* d = ::opendir(dir.c_str());
      if (!d) continue;
      while (dirent* e = ::readdir(d)) {
        if (IsDotName(e->d_name) || IsWriteTempName(e->d_name)) continue;
        bool isDir = e->d_type == DT_DIR;
        std::string child = dir + "/" + e->d_name;
        if (e->d_type == DT_UNKNOWN) {
          struct stat st;
          isDir = ::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        if (found) found->back().second.emplace_back(e->d_name, isDir);
        if (isDir) stack.push_back(std::move(child));
      }
      ::closedir(d);
    }
    return true;
  }

  // Watch id lets go of one kernel watch (removed when nobody else holds it).
  void Drop(std::uint64_t id, int wd) {
    auto d = dirs_.find(wd);
    if (d != dirs_.end()) {
      d->second.users.erase(id);
      if (d->second.users.empty()) {
        service_->Remove(*this, wd);
        dirs_.erase(d);
      }
    }
    auto w = watches_.find(id);
    if (w != watches_.end()) w->second.wds.erase(wd);
  }

  // Lets go of folder dir and everything below it (moved out of view).
  void DropBelow(std::uint64_t id, const std::string& dir) {
    auto w = watches_.find(id);
    if (w == watches_.end()) return;
    for (int wd : std::set<int>(w->second.wds)) {
      auto d = dirs_.find(wd);
      if (d == dirs_.end()) continue;
      const std::string& p = d->second.path;
      if (p == dir ||
          (p.size() > dir.size() && p.compare(0, dir.size(), dir) == 0 && p[dir.size()] == '/'))
        Drop(id, wd);
    }
  }

  // One event (tableMutex_ held). True when walks were queued.
  bool Handle(const WatchEvent& ev, std::map<std::uint64_t, NotifyPtr>& notify) {
    auto tell = [&](std::uint64_t id) {
      auto w = watches_.find(id);
      if (w != watches_.end()) notify.emplace(id, w->second.notify);
    };
    if (ev.mask & IN_Q_OVERFLOW) {
      bool walks = false;
      for (auto& [id, w] : watches_) {
        tell(id);
        if (w.subtree) {
          walks_.push_back({id, w.root, false});
          walks = true;
        }
      }
      return walks;
    }
    auto it = dirs_.find(ev.wd);
    if (it == dirs_.end()) return false;
    const std::string name(ev.name);
    if (!name.empty() && IsWriteTempName(name)) return false;
    if (ev.mask & IN_IGNORED) {
      for (auto& [id, root] : it->second.users) {
        if (root) tell(id);
        auto w = watches_.find(id);
        if (w != watches_.end()) w->second.wds.erase(ev.wd);
      }
      dirs_.erase(it);
      return false;
    }
    if (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
      for (auto& [id, root] : it->second.users)
        if (root) tell(id);
      return false;
    }
    if (name.empty()) return false;
    if (it->second.fresh && (ev.mask & (IN_CREATE | IN_MOVED_TO))) it->second.reported.insert(name);
    std::vector<std::pair<std::uint64_t, std::string>> gone;
    bool walks = false;
    for (auto& [id, root] : it->second.users) {
      auto w = watches_.find(id);
      if (w == watches_.end()) continue;
      if (Matches(w->second.filter, ev.mask)) tell(id);
      if (!w->second.subtree || !(ev.mask & IN_ISDIR)) continue;
      std::string child = it->second.path + "/" + name;
      if (ev.mask & (IN_CREATE | IN_MOVED_TO)) {
        walks_.push_back({id, std::move(child), true});
        walks = true;
      } else if (ev.mask & IN_MOVED_FROM) {
        gone.emplace_back(id, std::move(child));
      }
    }
    for (auto& [id, dir] : gone) DropBelow(id, dir);
    return walks;
  }

  // Walks queued by the handling of events, on the reader thread, without holding a lock
  // across the walk.
  void RunWalks() {
    for (;;) {
      PendingWalk p;
      {
        std::lock_guard lock(tableMutex_);
        if (walks_.empty()) return;
        p = std::move(walks_.front());
        walks_.pop_front();
        ++walking_;
      }
      struct Done {
        HostWatches* s;
        ~Done() {
          std::lock_guard lock(s->tableMutex_);
          --s->walking_;
          s->walked_.notify_all();
        }
      } done{this};
      DWORD error = 0;
      Found found;
      std::set<int> seen;
      bool whole =
          Walk(p.id, p.dir, false, error, p.fresh ? nullptr : &seen, p.fresh ? &found : nullptr);
      // Entries made in a new folder before its watch came were reported by no event: the
      // events queued until now are handled, and what is left unreported is the change.
      if (p.fresh) Sync({});
      NotifyPtr tell;
      {
        std::lock_guard lock(tableMutex_);
        auto w = watches_.find(p.id);
        bool unreported = false;
        for (auto& [wd, names] : found) {
          auto d = dirs_.find(wd);
          if (d == dirs_.end()) continue;
          for (const auto& [n, isDir] : names)
            unreported =
                unreported || (w != watches_.end() && !d->second.reported.count(n) &&
                               Matches(w->second.filter, IN_CREATE | (isDir ? IN_ISDIR : 0)));
          d->second.fresh = false;
          d->second.reported.clear();
        }
        if (w == watches_.end()) continue;
        if (!p.fresh && whole) {
          // Folders that went while events were lost.
          for (int wd : std::set<int>(w->second.wds))
            if (!seen.count(wd)) Drop(p.id, wd);
        }
        // A folder that could not be watched (the host's limit) is a change nobody will
        // report either.
        if (unreported || error) tell = w->second.notify;
      }
      if (tell) service_->Read([&] { (*tell)(); });
    }
  }

  WatchService* service_ = nullptr;
  mutable std::mutex tableMutex_;
  std::unordered_map<int, Dir> dirs_;
  std::unordered_map<std::uint64_t, Watch> watches_;
  std::deque<PendingWalk> walks_;
  int walking_ = 0;                            // walks taken from walks_ and not finished
  std::condition_variable walked_;             // with tableMutex_: a walk finished
  std::map<std::uint64_t, NotifyPtr> notify_;  // with the read lock: the watches to notify
  bool walksQueued_ = false;                   // with the read lock
  std::uint64_t nextId_ = 1;
};

std::unique_ptr<HostFolderWatch> HostFolderWatch::Start(const std::filesystem::path& dir,
                                                        bool subtree, DWORD filter, Notify notify,
                                                        DWORD& error) {
  error = 0;
  auto service = HostWatches::Acquire(error);
  if (!service) return nullptr;
  std::string root = dir.string();
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::uint64_t id = service->Add(root, subtree, filter, std::move(notify), error);
  if (!id) return nullptr;
  return std::unique_ptr<HostFolderWatch>(new HostFolderWatch(std::move(service), id));
}

HostFolderWatch::HostFolderWatch(std::shared_ptr<HostWatches> service, std::uint64_t id)
    : service_(std::move(service)), id_(id) {}

HostFolderWatch::~HostFolderWatch() { service_->Remove(id_); }

void HostFolderWatch::Sync(const std::function<void()>& whileHeld) {
  if (auto s = HostWatches::Running())
    s->Sync(whileHeld);
  else if (whileHeld)
    whileHeld();
}

std::size_t HostFolderWatch::KernelWatchCount() {
  auto s = HostWatches::Running();
  return s ? s->KernelWatches() : 0;
}

}  // namespace win
