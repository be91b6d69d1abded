#pragma once
// The process's kernel watches of host folders (inotify), shared by everything that follows
// changes on the host (the folder listings, the shell's change handles): one descriptor, one
// table of watches, one reader of the events.
//
// The kernel gives one watch per folder and descriptor, whoever asks: a folder watched by
// several clients is one kernel watch holding the events all of them asked for, each client
// gets the events of its own mask, and the watch goes with its last client. A removed
// watch's number is told apart from the same number given again until its end-of-watch
// event is read. The events are read by whoever asks first (Read) or, while a client wants
// them as they come, by one reader thread that sleeps in poll() until the kernel has some.
// A lost event queue (overflow) is told to every client. A forked child starts with a
// service of its own and no watch: the parent's descriptor, watches and events stay the
// parent's. The kernel's limit on watches (per user) shows as ENOSPC from Add.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace win {

// One event on a watched folder, as the kernel told it.
struct WatchEvent {
  int wd = -1;             // the folder's watch; -1 for a lost queue (IN_Q_OVERFLOW)
  std::uint32_t mask = 0;  // IN_*
  std::string_view name;   // the entry's name; empty for the folder itself
};

class WatchService {
 public:
  class Client {
   public:
    // The events of the client's watches and lost queues, in the kernel's order, on the
    // thread that reads them, under the read lock: it may Add and Remove, not Read.
    virtual void Take(const WatchEvent& e) = 0;
    // After the events of one Read were all taken, still under the read lock.
    virtual void Taken() {}
    // On the reader thread after each of its reads, outside the read lock (threaded
    // clients); Leave waits for it to end.
    virtual void Idle() {}

   protected:
    ~Client() = default;
  };

  // This process's service.
  static WatchService& Process();

  // A threaded client's events are read as they come. False with errno set when the
  // kernel gives no descriptor.
  bool Join(Client& c, bool threaded);
  // Its watches go; no call reaches it once this returns. Not from inside a call to it.
  void Leave(Client& c);

  // Watches dir for c (mask: IN_* events and IN_ONLYDIR, IN_DONT_FOLLOW...): the watch's
  // number, the same for every path of one folder; -1 with errno set.
  int Add(Client& c, const std::string& dir, std::uint32_t mask);
  void Remove(Client& c, int wd);

  // Hands every event the kernel has queued to the clients, then runs whileHeld before any
  // later event is handed: a change made before the call has been taken when it returns.
  void Read(const std::function<void()>& whileHeld = {});
  // Makes the reader thread go round once (its clients' Idle).
  void Wake();
  static bool OnReaderThread();

  // Kernel watches held for all clients.
  std::size_t Watches() const;

 private:
  struct Holder {
    Client* client;
    std::uint32_t mask;
  };
  struct Mark {
    std::vector<Holder> holders;
  };
  struct Member {
    Client* client;
    bool threaded;
  };
  struct Delivery {
    Client* client;
    std::size_t at;  // the event's place in the buffer
  };

  WatchService() = default;
  static void AfterFork();
  struct Reader {
    std::thread thread;
    int wake = -1;  // an eventfd: go round, or stop
    std::atomic<bool> stop{false};
  };
  void ReaderLoop(Reader& r, int fd);
  void RunIdle();
  void Route(std::size_t bytes);
  void Retire(int wd);

  // Lock order: idleMutex_, readMutex_, tableMutex_, and lifeMutex_ then tableMutex_. A
  // client's own locks come between readMutex_ and tableMutex_ (Take, Taken), and may be held
  // around Join: lifeMutex_ is never held with the read lock, nor while the thread is joined.
  std::mutex lifeMutex_;  // Join, Leave: the descriptor's and the thread's life
  std::mutex idleMutex_;  // held while clients' Idle run
  std::mutex readMutex_;  // one reader of the queue at a time, held while handing events
  mutable std::mutex tableMutex_;
  std::atomic<int> fd_{-1};
  std::atomic<int> wake_{-1};
  std::unique_ptr<Reader> reader_;
  std::vector<Member> members_;
  std::size_t threaded_ = 0;
  std::unordered_map<int, Mark> marks_;
  std::unordered_map<int, int> retired_;  // removed, end-of-watch event not read yet
  std::vector<Delivery> deliveries_;      // with readMutex_
  std::vector<Client*> touched_;          // with readMutex_
  alignas(8) char buffer_[64 * 1024];     // with readMutex_
  // In a forked child: the parent's service, never freed (its locks are as the fork left).
  WatchService* parents_ = nullptr;
};

// A client whose events wait until its owner takes them under a lock of its own.
class WatchQueue final : public WatchService::Client {
 public:
  WatchQueue() = default;
  ~WatchQueue();
  WatchQueue(const WatchQueue&) = delete;
  WatchQueue& operator=(const WatchQueue&) = delete;

  // Joins the process's service; false with errno set when the kernel gives no descriptor.
  bool Open();
  bool IsOpen() const { return service_ != nullptr; }
  // In a forked child, the queue's watches were the parent's: it is closed (calls do
  // nothing) until this forgets them and the events waiting, true when there were any.
  bool LeftByFork();
  int Add(const std::string& dir, std::uint32_t mask);
  void Remove(int wd);
  // Reads what the kernel has queued, and hands f every event waiting, oldest first.
  void Drain(const std::function<void(const WatchEvent&)>& f);

 private:
  struct Waiting {
    int wd;
    std::uint32_t mask;
    std::size_t at, size;  // the name in names_
  };
  void Take(const WatchEvent& e) override;
  WatchService* Live() const;

  WatchService* service_ = nullptr;
  std::mutex mutex_;
  std::atomic<bool> any_{false};
  std::vector<Waiting> waiting_;
  std::string names_;
  std::vector<Waiting> handing_;  // the owner's, while it takes them
  std::string handingNames_;
};

}  // namespace win
