#pragma once
// Listings of the host folders that path resolution has looked into, names folded for the
// machine's case-insensitive lookups, so that a change of any process (this one included)
// is seen at the next lookup.
//
// Below the machine's folder, a listing is kept true by a kernel watch (inotify, through
// the process's WatchService) on its folder and on every folder above it: this process's
// own changes, announced through Changed, are taken as they are; any other change drops the
// listing of its folder, and makes every folder's place be checked again by a stat before
// it is trusted; a lost event queue drops every watched listing. A trusted listing answers
// without a system call besides one read of the watches. Elsewhere (links on the way, other
// file systems, no watch to be had), a listing serves again only while its folder has the
// identity and change time it had when it was read. A listing read in the same clock tick
// as the folder's last change could miss a change made later in that tick; such a listing
// is used once and not kept, unless the file system stamps every change after a look at
// the folder with a new time.
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/system/WatchService.h"

namespace win {

class DirectoryCache {
 public:
  struct Entry {
    std::string name;        // as on disk
    unsigned char type = 0;  // DT_REG, DT_DIR, DT_LNK..., DT_UNKNOWN when not told
  };
  struct Found {
    Entry entry;
    std::string folderKey;  // the folder's resolved host path (links followed)
    // The folder's identity, as proven by the stat or the watch that let its listing answer.
    dev_t dev = 0;
    ino_t ino = 0;
  };
  // Unchecked: asked without a stat, the listing is not known to be current.
  enum class Result { Present, Absent, Unreadable, Unchecked };

  // fold: the machine's case folding. probeDir: the machine's own folder, below which
  // folders are watched, and where the file system's time stamps may be tried (a scratch
  // folder is made and removed there).
  DirectoryCache(std::function<std::string(const std::string&)> fold, std::string probeDir);
  ~DirectoryCache();
  DirectoryCache(const DirectoryCache&) = delete;
  DirectoryCache& operator=(const DirectoryCache&) = delete;

  // The entry of the host folder dir named comp, the exact spelling first, else the first
  // listed whose folded name matches. dirStat is a stat of dir taken just before, or null:
  // then only a trusted listing answers, else Unchecked.
  Result Find(const std::string& dir, const struct stat* dirStat, const std::string& comp,
              Found& out);
  Result Find(const std::string& dir, const struct stat& dirStat, const std::string& comp,
              Found& out) {
    return Find(dir, &dirStat, comp, out);
  }
  // After this process created (present) or removed a name in the host folder dir, in the
  // same call that looked it up there: a kept listing takes the change and the folder's new
  // time, where the file system stamps every change after a look with a new time (else
  // the listing is dropped and read again). A name that another process made in dir while
  // the call ran is found when asked for as spelled (the folder is then read again), and
  // under other spellings once the folder is read again or changes.
  void Changed(const std::string& dir, const std::string& name, bool present, unsigned char type);
  // Drops the listings of dir and of the folders below it (dir was removed or moved).
  void Forget(const std::string& dir);
  // While the calling thread runs one unit of work made of several calls (the placement of
  // a file), the changes of other processes are looked for at its first lookup only: a
  // change made while the unit runs is seen by the next one, as if made a moment later.
  // Units nest; the calls of other threads look as always.
  void BeginUnit();
  void EndUnit();
  // For what a caller works out from the listings inside a unit of work: whether the
  // calling thread runs a unit that has looked for outside changes already, with the
  // unit's number and the listings' generation, which moves with any change to them. What
  // was worked out at the same unit and generation holds.
  bool UnitLooked(std::uint64_t& unit, std::uint64_t& generation);
  void Clear();

  // Folders read from disk so far (tests and benchmarks).
  std::uint64_t Listings() const { return listings_; }
  // Whether the listings of folders on dir's file system take this process's own changes
  // (see Changed) rather than being read again after each.
  bool KeepsOwnChanges(const std::string& dir);

 private:
  struct Folder {
    dev_t dev = 0;
    ino_t ino = 0;
    struct timespec mtime {};
    bool patched = false;  // has taken changes of this process since it was read
    int wd = -1;           // its watch, when the watches keep it true
    // Watched since a lookup before: a stat taken after that one proves the folder's place.
    bool armed = false;
    std::uint64_t trusted = 0;  // the epoch its place was last proven in
    std::string key;
    std::vector<Entry> entries;
    std::vector<std::int32_t> next;                          // next entry with the same folded name
    std::unordered_map<std::string, std::int32_t> byFolded;  // first entry of each name
  };
  // A change this process made and announced, until its event is read.
  struct Expected {
    int wd;
    std::string name;
    bool present;
  };
  bool Read(const std::string& dir, Folder& f, bool& keep);
  bool FineTimes(dev_t dev);
  Result Lookup(Folder& f, const std::string& dir, const std::string& comp, bool checked,
                Found& out);
  static void Patch(Folder& f, const std::string& folded, const std::string& name, bool present,
                    unsigned char type);
  // Whether the calling thread runs the unit of work, under the lock.
  bool InOwnUnit() const { return unitDepth_ > 0 && unitThread_ == std::this_thread::get_id(); }
  bool Watching();
  bool Watch(const std::string& dir);
  void Drain();
  void Take(const WatchEvent& e);
  void Abandon(const std::string& dir);
  void DropWatches();

  std::function<std::string(const std::string&)> fold_;
  std::string probeDir_;
  std::mutex mutex_;
  std::unordered_map<std::string, Folder> folders_;
  std::unordered_map<dev_t, bool> fineTimes_;
  std::atomic<std::uint64_t> listings_{0};

  WatchQueue watch_;
  bool noWatch_ = false;     // the kernel gave no watch: listings by change time only
  std::uint64_t epoch_ = 1;  // moves on at any change not this process's own
  std::unordered_map<std::string, int> wdOf_;  // watched folders, this one's and above
  std::unordered_map<int, std::string> pathOf_;
  std::vector<Expected> expected_;
  // The unit of work running (see BeginUnit): its thread, depth, and whether it has looked.
  std::thread::id unitThread_;
  int unitDepth_ = 0;
  bool unitLooked_ = false;
  std::uint64_t unitSerial_ = 0;
  std::uint64_t generation_ = 0;
};

}  // namespace win
