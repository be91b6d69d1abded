#include "platform/system/WatchService.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace win {

namespace {

std::atomic<WatchService*> current{nullptr};
thread_local bool onReaderThread = false;

// Events every client gets, whatever it asked for.
constexpr std::uint32_t kAlwaysTold = IN_IGNORED | IN_UNMOUNT | IN_Q_OVERFLOW;

}  // namespace

WatchService& WatchService::Process() {
  static const bool made = [] {
    current = new WatchService;
    ::pthread_atfork(nullptr, nullptr, &WatchService::AfterFork);
    return true;
  }();
  (void)made;
  return *current.load(std::memory_order_acquire);
}

// In a forked child (one thread): the parent's service, its locks as they were at the fork,
// is left as it is but for the child's copies of its descriptors, which would keep the
// parent's watches alive and could read its events.
void WatchService::AfterFork() {
  WatchService* parents = current.load();
  if (const int fd = parents->fd_; fd >= 0) ::close(fd);
  if (const int wake = parents->wake_; wake >= 0) ::close(wake);
  auto* child = new WatchService;
  child->parents_ = parents;
  current = child;
}

bool WatchService::Join(Client& c, bool threaded) {
  std::lock_guard life(lifeMutex_);
  const bool start = threaded && threaded_ == 0;
  const int wake = start ? ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC) : -1;
  if (start && wake < 0) return false;
  int fd;
  {
    std::lock_guard table(tableMutex_);
    if (fd_ < 0) {
      // Not under the read lock, which a client's notification may be waiting for.
      fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
      if (fd_ < 0) {
        const int error = errno;
        if (wake >= 0) ::close(wake);
        errno = error;
        return false;
      }
    }
    fd = fd_;
    members_.push_back({&c, threaded});
  }
  threaded_ += threaded ? 1 : 0;
  if (start) {
    reader_ = std::make_unique<Reader>();
    reader_->wake = wake;
    wake_ = wake;
    reader_->thread = std::thread([this, r = reader_.get(), fd] { ReaderLoop(*r, fd); });
  }
  return true;
}

void WatchService::Leave(Client& c) {
  bool threaded = false;
  {
    std::scoped_lock lock(idleMutex_, readMutex_, tableMutex_);
    auto m = std::find_if(members_.begin(), members_.end(),
                          [&](const Member& x) { return x.client == &c; });
    if (m == members_.end()) return;
    threaded = m->threaded;
    members_.erase(m);
    for (auto it = marks_.begin(); it != marks_.end();) {
      std::erase_if(it->second.holders, [&](const Holder& h) { return h.client == &c; });
      if (!it->second.holders.empty()) {
        ++it;
        continue;
      }
      Retire(it->first);
      it = marks_.erase(it);
    }
  }
  // The thread goes with the last threaded client, the descriptor with the last client;
  // both are let go of outside the locks that the thread and the readers take.
  std::unique_ptr<Reader> reader;
  int fd = -1;
  {
    std::lock_guard life(lifeMutex_);
    if (threaded && --threaded_ == 0) {
      reader = std::move(reader_);
      wake_ = -1;
    }
    std::lock_guard table(tableMutex_);
    if (members_.empty() && threaded_ == 0) {
      fd = fd_.exchange(-1);
      marks_.clear();
      retired_.clear();
    }
  }
  if (reader) {
    reader->stop = true;
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(reader->wake, &one, sizeof one);
    reader->thread.join();
    ::close(reader->wake);
  }
  if (fd >= 0) {
    std::lock_guard read(readMutex_);  // a read that took it before is over
    ::close(fd);
  }
}

void WatchService::Wake() {
  std::uint64_t one = 1;
  if (const int wake = wake_; wake >= 0) {
    [[maybe_unused]] ssize_t r = ::write(wake, &one, sizeof one);
  }
}

bool WatchService::OnReaderThread() { return onReaderThread; }

void WatchService::ReaderLoop(Reader& r, int fd) {
  onReaderThread = true;
  pollfd fds[2] = {{fd, POLLIN, 0}, {r.wake, POLLIN, 0}};
  while (!r.stop) {
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (r.stop) break;
    if (fds[1].revents & POLLIN) {
      std::uint64_t v;
      [[maybe_unused]] ssize_t got = ::read(r.wake, &v, sizeof v);
    }
    Read();
    RunIdle();
  }
}

void WatchService::RunIdle() {
  std::lock_guard idle(idleMutex_);
  std::vector<Client*> threaded;
  {
    std::lock_guard table(tableMutex_);
    for (const Member& m : members_)
      if (m.threaded) threaded.push_back(m.client);
  }
  for (Client* c : threaded) c->Idle();
}

int WatchService::Add(Client& c, const std::string& dir, std::uint32_t mask) {
  std::lock_guard table(tableMutex_);
  // Added to what other clients asked for on the same folder.
  const int fd = fd_;
  if (fd < 0) {
    errno = EBADF;
    return -1;
  }
  const int wd = ::inotify_add_watch(fd, dir.c_str(), mask | IN_MASK_ADD);
  if (wd < 0) return -1;
  auto& holders = marks_[wd].holders;
  auto h =
      std::find_if(holders.begin(), holders.end(), [&](const Holder& x) { return x.client == &c; });
  if (h == holders.end())
    holders.push_back({&c, mask});
  else
    h->mask |= mask;
  return wd;
}

void WatchService::Remove(Client& c, int wd) {
  std::lock_guard table(tableMutex_);
  auto it = marks_.find(wd);
  if (it == marks_.end()) return;
  std::erase_if(it->second.holders, [&](const Holder& h) { return h.client == &c; });
  if (!it->second.holders.empty()) return;
  Retire(wd);
  marks_.erase(it);
}

// A watch nobody holds goes; its end-of-watch event is still to come (tableMutex_ held).
void WatchService::Retire(int wd) {
  if (::inotify_rm_watch(fd_, wd) == 0) ++retired_[wd];
}

std::size_t WatchService::Watches() const {
  std::lock_guard table(tableMutex_);
  return marks_.size();
}

void WatchService::Read(const std::function<void()>& whileHeld) {
  std::lock_guard lock(readMutex_);
  for (int fd = fd_; fd >= 0;) {
    ssize_t got = ::read(fd, buffer_, sizeof buffer_);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    Route(std::size_t(got));
    for (const Delivery& d : deliveries_) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer_ + d.at);
      d.client->Take({e->wd, e->mask, e->len ? std::string_view(e->name) : std::string_view()});
    }
    // Room was left for the longest event: the read took all there were.
    if (std::size_t(got) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof buffer_) break;
  }
  for (Client* c : touched_) c->Taken();
  touched_.clear();
  if (whileHeld) whileHeld();
}

// Who gets each event of the buffer (readMutex_ held).
void WatchService::Route(std::size_t bytes) {
  deliveries_.clear();
  std::lock_guard table(tableMutex_);
  auto tell = [&](Client* c, std::size_t at) {
    deliveries_.push_back({c, at});
    if (std::find(touched_.begin(), touched_.end(), c) == touched_.end()) touched_.push_back(c);
  };
  for (std::size_t at = 0; at + sizeof(inotify_event) <= bytes;) {
    const auto* e = reinterpret_cast<const inotify_event*>(buffer_ + at);
    if (e->mask & IN_Q_OVERFLOW) {
      for (const Member& m : members_) tell(m.client, at);
    } else if (auto r = retired_.find(e->wd); r != retired_.end() && (e->mask & IN_IGNORED)) {
      // The end of a watch removed here; the number may already serve again.
      if (--r->second == 0) retired_.erase(r);
    } else if (auto m = marks_.find(e->wd); m != marks_.end()) {
      for (const Holder& h : m->second.holders)
        if (e->mask & ((h.mask & IN_ALL_EVENTS) | kAlwaysTold)) tell(h.client, at);
      if (e->mask & IN_IGNORED) marks_.erase(m);  // the folder went
    }
    at += sizeof(inotify_event) + e->len;
  }
}

// ---- a client whose events wait -----------------------------------------------------------

WatchQueue::~WatchQueue() {
  if (WatchService* s = Live()) s->Leave(*this);
}

bool WatchQueue::Open() {
  if (service_) return true;
  WatchService& s = WatchService::Process();
  if (!s.Join(*this, false)) return false;
  service_ = &s;
  return true;
}

bool WatchQueue::LeftByFork() {
  if (!service_ || service_ == &WatchService::Process()) return false;
  service_ = nullptr;
  waiting_.clear();
  any_ = false;
  return true;
}

// The service joined, unless it is a parent's (a forked child's queue is closed).
WatchService* WatchQueue::Live() const {
  return service_ == &WatchService::Process() ? service_ : nullptr;
}

int WatchQueue::Add(const std::string& dir, std::uint32_t mask) {
  WatchService* s = Live();
  if (!s) {
    errno = EBADF;
    return -1;
  }
  return s->Add(*this, dir, mask);
}

void WatchQueue::Remove(int wd) {
  if (WatchService* s = Live()) s->Remove(*this, wd);
}

// Events read for the owner while it does not look are kept up to the kernel's own queue
// length, and then lost as the kernel's would be. Their names are kept end to end.
void WatchQueue::Take(const WatchEvent& e) {
  constexpr std::size_t kMaxWaiting = 16384;
  std::lock_guard lock(mutex_);
  if (!waiting_.empty() && (waiting_.back().mask & IN_Q_OVERFLOW)) return;
  if (waiting_.size() >= kMaxWaiting || (e.mask & IN_Q_OVERFLOW)) {
    waiting_.clear();
    names_.clear();
    waiting_.push_back({-1, IN_Q_OVERFLOW, 0, 0});
  } else {
    waiting_.push_back({e.wd, e.mask, names_.size(), e.name.size()});
    names_.append(e.name);
  }
  any_.store(true, std::memory_order_release);
}

void WatchQueue::Drain(const std::function<void(const WatchEvent&)>& f) {
  WatchService* s = Live();
  if (!s) return;
  s->Read();
  if (!any_.load(std::memory_order_acquire)) return;
  {
    std::lock_guard lock(mutex_);
    handing_.swap(waiting_);
    handingNames_.swap(names_);
    any_.store(false, std::memory_order_relaxed);
  }
  for (const Waiting& w : handing_)
    f({w.wd, w.mask, std::string_view(handingNames_).substr(w.at, w.size)});
  handing_.clear();
  handingNames_.clear();
}

}  // namespace win
