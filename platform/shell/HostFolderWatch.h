#pragma once
// Watches of host folders through the host's file events (inotify), for the change
// handles of ChangeNotify.h.
//
// The kernel watches are the process's WatchService's, shared with the folder listings; its
// reader thread runs while at least one watch exists, and also walks the folders made
// later. A subtree watch holds a kernel watch on every folder below its root (folders made
// later are added as their creation is seen), so it counts against the host's per-user
// watch limit folder by folder. Nothing runs while nothing changes: the reader sleeps in
// poll() until the kernel has events. A lost event queue (overflow) reports a change to
// every watch and walks the subtrees again. In a forked child the parent's watches report
// nothing.
//
// Names of the machine's own temporary files (".~wi...", written then renamed into place)
// are ignored: their rename into the real name is the change.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "platform/system/WinTypes.h"

namespace win {

class HostWatches;

class HostFolderWatch {
 public:
  // Called on a matching change, from the reader thread or from a thread inside Sync();
  // it must not call back into this unit.
  using Notify = std::function<void()>;

  // Watches dir (and its subtree) for the changes of filter (FILE_NOTIFY_CHANGE_*). Null
  // with error set (ERROR_TOO_MANY_OPEN_FILES, ERROR_NOT_ENOUGH_MEMORY when the host's
  // watch limit is reached, ERROR_PATH_NOT_FOUND) when it cannot be watched whole.
  static std::unique_ptr<HostFolderWatch> Start(const std::filesystem::path& dir, bool subtree,
                                                DWORD filter, Notify notify, DWORD& error);
  ~HostFolderWatch();
  HostFolderWatch(const HostFolderWatch&) = delete;
  HostFolderWatch& operator=(const HostFolderWatch&) = delete;

  // Handles the events the kernel has already queued for the process's watches (and waits
  // for the walks of folders they made), then runs whileHeld before any later event is
  // handled: a change made before the call has been notified when it returns, and one made
  // after it is notified after whileHeld.
  static void Sync(const std::function<void()>& whileHeld = {});

  // Kernel watches held by this process for all its folder watches.
  static std::size_t KernelWatchCount();

 private:
  HostFolderWatch(std::shared_ptr<HostWatches> service, std::uint64_t id);
  std::shared_ptr<HostWatches> service_;
  std::uint64_t id_;
};

}  // namespace win
