#pragma once
// Listings of the host folders that path resolution has looked into, names folded for the
// machine's case-insensitive lookups. A listing serves again only while its folder has the
// identity and change time it had when it was read, so a name created, deleted or renamed
// by any process (this one included) is seen at the next lookup. A listing read in the same
// clock tick as the folder's last change could miss a change made later in that tick; such
// a listing is used once and not kept, unless the file system stamps every change after a
// look at the folder with a new time.
#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

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
  };
  enum class Result { Present, Absent, Unreadable };

  // fold: the machine's case folding. probeDir: a folder of the machine's own where the
  // file system's time stamps may be tried (a scratch folder is made and removed there).
  DirectoryCache(std::function<std::string(const std::string&)> fold, std::string probeDir);

  // The entry of the host folder dir named comp, the exact spelling first, else the first
  // listed whose folded name matches. dirStat is a stat of dir taken just before.
  Result Find(const std::string& dir, const struct stat& dirStat, const std::string& comp,
              Found& out);
  // After this process created (present) or removed a name in the host folder dir, in the
  // same call that looked it up there: a kept listing takes the change and the folder's new
  // time, where the file system stamps every change after a look with a new time (else
  // the listing is dropped and read again). A name that another process made in dir while
  // the call ran is found when asked for as spelled (the folder is then read again), and
  // under other spellings once the folder is read again or changes.
  void Changed(const std::string& dir, const std::string& name, bool present,
               unsigned char type);
  // Drops the listings of dir and of the folders below it (dir was removed or moved).
  void Forget(const std::string& dir);
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
    std::string key;
    std::vector<Entry> entries;
    std::vector<std::int32_t> next;                   // next entry with the same folded name
    std::unordered_map<std::string, std::int32_t> byFolded;  // first entry of each name
  };
  bool Read(const std::string& dir, Folder& f, bool& keep);
  bool FineTimes(dev_t dev);

  std::function<std::string(const std::string&)> fold_;
  std::string probeDir_;
  std::mutex mutex_;
  std::unordered_map<std::string, Folder> folders_;
  std::unordered_map<dev_t, bool> fineTimes_;
  std::atomic<std::uint64_t> listings_{0};
};

}  // namespace win
