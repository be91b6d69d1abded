#include "platform/shell/ChangeNotify.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/shell/HostFolderWatch.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"

namespace win {

namespace fs = std::filesystem;

namespace {

// Waitable objects of this unit. A change handle is signalled by its host folder watch
// and stays so until it is re-armed; waits sleep on one condition variable that every
// change of state wakes.
struct Waitable {
  bool event = false;
  bool manualReset = false;
  bool signalled = false;
  // Change handles. seen: a wait has returned the signal; again: a change came after it.
  fs::path dir;
  std::shared_ptr<HostFolderWatch> watch;
  bool seen = false;
  bool again = false;
};

std::mutex waitMutex;
std::condition_variable waitCv;
std::map<HANDLE, std::unique_ptr<Waitable>>& Objects() {
  static auto* m = new std::map<HANDLE, std::unique_ptr<Waitable>>;
  return *m;
}
std::uintptr_t nextHandle = 0x5EC000;

HANDLE NewHandle(std::unique_ptr<Waitable> w) {
  HANDLE h = reinterpret_cast<HANDLE>(nextHandle += 4);
  Objects()[h] = std::move(w);
  return h;
}

Waitable* Find(HANDLE h) {
  auto it = Objects().find(h);
  return it == Objects().end() ? nullptr : it->second.get();
}

// A satisfied wait resets an auto-reset event; a change handle stays signalled, and what
// changes from then on is kept for its re-arming.
void Consume(Waitable& w) {
  if (w.event && !w.manualReset) w.signalled = false;
  if (!w.event) w.seen = true;
}

const bool closerAdded = [] {
  AddHandleCloser([](HANDLE h) {
    std::lock_guard lock(waitMutex);
    auto it = Objects().find(h);
    if (it == Objects().end() || !it->second->event) return false;
    Objects().erase(it);
    return true;
  });
  return true;
}();

// Shell notifications.
struct Registration {
  HWND hwnd;
  LONG events;
  UINT msg;
  std::vector<std::pair<std::string, bool>>
      entries;  // absolute list bytes (no terminator), recursive
};
std::mutex notifyMutex;
std::map<ULONG, Registration>& Registrations() {
  static auto* m = new std::map<ULONG, Registration>;
  return *m;
}
ULONG nextRegistration = 1;
struct Sent {
  LPITEMIDLIST items[2] = {nullptr, nullptr};
};
std::deque<std::unique_ptr<Sent>>& SentRing() {
  static auto* d = new std::deque<std::unique_ptr<Sent>>;
  return *d;
}

// The absolute list of a notification item; a path that no longer parses is described by
// its parent's list and a file item of its name.
LPITEMIDLIST ItemList(UINT type, const void* item) {
  if (!item) return nullptr;
  if (type == SHCNF_IDLIST) {
    auto l = static_cast<LPCITEMIDLIST>(item);
    return ILIsValid(l) ? ILClone(l) : nullptr;
  }
  if (type != SHCNF_PATH) return nullptr;
  std::string path = static_cast<const char*>(item);
  LPITEMIDLIST l = nullptr;
  if (SUCCEEDED(SHParseDisplayName(path, &l, 0, nullptr))) return l;
  std::size_t cut = path.find_last_of('\\');
  if (cut == std::string::npos) return nullptr;
  LPITEMIDLIST parent = nullptr;
  if (FAILED(SHParseDisplayName(path.substr(0, cut + (cut == 2 ? 1 : 0)), &parent, 0, nullptr)))
    return nullptr;
  pidl::FileItem f;
  f.name = path.substr(cut + 1);
  if (f.name.empty()) {
    ILFree(parent);
    return nullptr;
  }
  LPITEMIDLIST child = pidl::Make({pidl::FileItemBytes(f)});
  LPITEMIDLIST out = ILCombine(parent, child);
  ILFree(parent);
  ILFree(child);
  return out;
}

// Items are matched through the desktop's comparison, so a folder whose times changed
// since it was registered still covers its children.
bool Covers(const std::pair<std::string, bool>& entry, LPCITEMIDLIST item) {
  if (!item) return false;
  LPITEMIDLIST folder = pidl::Make({entry.first});  // lists are only read inside a block
  UINT n = ILGetCount(folder), m = ILGetCount(item);
  bool covers = false;
  if (m >= n && (entry.second || m <= n + 1)) {
    covers = n == 0;
    if (!covers) {
      LPITEMIDLIST prefix = ILClone(item);
      while (ILGetCount(prefix) > n) ILRemoveLastID(prefix);
      ComPtr<IShellFolder> desktop;
      SHGetDesktopFolder(desktop.put());
      HRESULT hr = desktop->CompareIDs(0, prefix, folder);
      ILFree(prefix);
      covers = SUCCEEDED(hr) && HRESULT_CODE(hr) == 0;
    }
  }
  ILFree(folder);
  return covers;
}

}  // namespace

HANDLE FindFirstChangeNotification(const std::string& path, BOOL watchSubtree, DWORD filter) {
  if (path.empty() || filter == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  Machine::Resolved r;
  if (!Machine::Current().Resolve(path, r)) return INVALID_HANDLE_VALUE;
  std::error_code ec;
  if (!fs::is_directory(r.host, ec)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  auto w = std::make_unique<Waitable>();
  w->dir = r.host;
  HANDLE h;
  {
    std::lock_guard lock(waitMutex);
    h = NewHandle(std::move(w));
  }
  // The walk that sets up a subtree watch runs outside the lock that waits take.
  DWORD error = 0;
  std::shared_ptr<HostFolderWatch> watch = HostFolderWatch::Start(
      r.host, watchSubtree != FALSE, filter,
      [h] {
        std::lock_guard lock(waitMutex);
        if (Waitable* x = Find(h)) {
          x->again = x->again || (x->signalled && x->seen);
          x->signalled = true;
          waitCv.notify_all();
        }
      },
      error);
  std::lock_guard lock(waitMutex);
  if (!watch) {
    Objects().erase(h);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  Find(h)->watch = std::move(watch);
  return h;
}

BOOL FindNextChangeNotification(HANDLE change) {
  fs::path dir;
  {
    std::lock_guard lock(waitMutex);
    Waitable* w = Find(change);
    if (!w || w->event) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    dir = w->dir;
  }
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // A change made after a wait saw the signal signals again at once; the ones before it
  // were what the signal reported.
  BOOL ok = TRUE;
  HostFolderWatch::Sync([&] {
    std::lock_guard lock(waitMutex);
    if (Waitable* w = Find(change)) {
      w->signalled = w->again;
      w->seen = w->again = false;
    } else {
      ok = FALSE;
    }
  });
  if (!ok) SetLastError(ERROR_INVALID_HANDLE);
  return ok;
}

BOOL FindCloseChangeNotification(HANDLE change) {
  std::shared_ptr<HostFolderWatch> watch;
  {
    std::lock_guard lock(waitMutex);
    auto it = Objects().find(change);
    if (it == Objects().end() || it->second->event) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    watch = std::move(it->second->watch);
    Objects().erase(it);
  }
  // Stopping the watch may wait for the reader thread, which takes waitMutex to signal.
  watch.reset();
  return TRUE;
}

HANDLE CreateEvent(void*, BOOL manualReset, BOOL initialState, const char* name) {
  (void)closerAdded;
  if (name && *name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto w = std::make_unique<Waitable>();
  w->event = true;
  w->manualReset = manualReset != FALSE;
  w->signalled = initialState != FALSE;
  std::lock_guard lock(waitMutex);
  return NewHandle(std::move(w));
}

static BOOL SetEventState(HANDLE event, bool on) {
  std::lock_guard lock(waitMutex);
  Waitable* w = Find(event);
  if (!w || !w->event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  w->signalled = on;
  waitCv.notify_all();
  return TRUE;
}

BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
  if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  bool hasChange = false;
  {
    std::lock_guard lock(waitMutex);
    for (DWORD i = 0; i < count; ++i) {
      Waitable* w = Find(handles[i]);
      if (!w || (waitAll && !w->event)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
      }
      hasChange = hasChange || !w->event;
    }
  }
  // What the host reported before the wait counts now, whatever the reader thread is at.
  if (hasChange) HostFolderWatch::Sync();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  std::unique_lock lock(waitMutex);
  for (bool last = false;;) {
    bool all = true;
    for (DWORD i = 0; i < count; ++i) {
      Waitable* w = Find(handles[i]);
      if (!w) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
      }
      if (!waitAll && w->signalled) {
        Consume(*w);
        return WAIT_OBJECT_0 + i;
      }
      all = all && w->signalled;
    }
    if (waitAll && all) {
      for (DWORD i = 0; i < count; ++i) Consume(*Find(handles[i]));
      return WAIT_OBJECT_0;
    }
    if (milliseconds == 0 || last) return WAIT_TIMEOUT;
    if (milliseconds == INFINITE) {
      waitCv.wait(lock);
    } else if (waitCv.wait_until(lock, deadline) == std::cv_status::timeout) {
      last = true;  // one more look before giving up
    }
  }
}

void SHChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2) {
  UINT type = flags & SHCNF_TYPE;
  auto sent = std::make_unique<Sent>();
  sent->items[0] = ItemList(type, item1);
  sent->items[1] = ItemList(type, item2);
  std::lock_guard lock(notifyMutex);
  bool any = false;
  for (auto& [id, r] : Registrations()) {
    if (!(r.events & eventId)) continue;
    bool covered = false;
    for (const auto& e : r.entries)
      covered = covered || Covers(e, sent->items[0]) || Covers(e, sent->items[1]);
    if (!covered && (sent->items[0] || sent->items[1])) continue;
    PostMessage(r.hwnd, r.msg, reinterpret_cast<WPARAM>(sent->items), LPARAM(eventId));
    any = true;
  }
  if (!any) {
    ILFree(sent->items[0]);
    ILFree(sent->items[1]);
    return;
  }
  auto& ring = SentRing();
  ring.push_back(std::move(sent));
  while (ring.size() > 256) {
    ILFree(ring.front()->items[0]);
    ILFree(ring.front()->items[1]);
    ring.pop_front();
  }
}

ULONG SHChangeNotifyRegister(HWND hwnd, int, LONG events, UINT msg, int entries,
                             const SHChangeNotifyEntry* entry) {
  if (!hwnd || entries < 0 || (entries > 0 && !entry)) return 0;
  Registration r{hwnd, events, msg, {}};
  for (int i = 0; i < entries; ++i) {
    if (entry[i].pidl && !ILIsValid(entry[i].pidl)) return 0;
    std::string bytes = entry[i].pidl ? std::string(reinterpret_cast<const char*>(entry[i].pidl),
                                                    ILGetSize(entry[i].pidl) - 2)
                                      : "";
    r.entries.emplace_back(bytes, entry[i].fRecursive != FALSE);
  }
  if (r.entries.empty()) r.entries.emplace_back("", true);
  std::lock_guard lock(notifyMutex);
  ULONG id = nextRegistration++;
  Registrations()[id] = std::move(r);
  return id;
}

BOOL SHChangeNotifyDeregister(ULONG id) {
  std::lock_guard lock(notifyMutex);
  return Registrations().erase(id) ? TRUE : FALSE;
}

}  // namespace win
