#pragma once
// Change notifications, both kinds:
// - kernel32's: FindFirstChangeNotification on a folder of the machine gives a waitable
//   handle that becomes signalled when a name (or attribute, size, time as the filter
//   says) changes in it, or below it with watchSubtree, whether the machine's programs or
//   anyone on the host made the change (HostFolderWatch.h); it stays signalled until
//   FindNextChangeNotification re-arms it, and a change made after a wait returned the
//   signal signals it again at once. Events (CreateEvent) and the waits
//   (WaitForSingleObject, WaitForMultipleObjects) work on both kinds of handle; a wait sleeps
//   until one of its handles is signalled. CloseHandle closes events,
//   FindCloseChangeNotification change handles.
// - the shell's: SHChangeNotify reports an event on items (lists or paths); windows
//   registered with SHChangeNotifyRegister whose entries cover the item get it as a posted
//   message: wParam points to two absolute lists (item 1, item 2; null when absent), lParam
//   is the event. The two lists stay valid until 256 further notifications were sent.
#include <vector>

#include "platform/forms/Messages.h"
#include "platform/shell/ItemIdList.h"

namespace win {

inline constexpr DWORD FILE_NOTIFY_CHANGE_FILE_NAME = 0x001;
inline constexpr DWORD FILE_NOTIFY_CHANGE_DIR_NAME = 0x002;
inline constexpr DWORD FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x004;
inline constexpr DWORD FILE_NOTIFY_CHANGE_SIZE = 0x008;
inline constexpr DWORD FILE_NOTIFY_CHANGE_LAST_WRITE = 0x010;
inline constexpr DWORD FILE_NOTIFY_CHANGE_SECURITY = 0x100;

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0x000;
inline constexpr DWORD WAIT_ABANDONED_0 = 0x080;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

// INVALID_HANDLE_VALUE with the last error (3 missing folder, 87 empty path or filter 0).
HANDLE FindFirstChangeNotification(const std::string& path, BOOL watchSubtree, DWORD filter);
inline HANDLE FindFirstChangeNotificationA(const std::string& path, BOOL sub, DWORD filter) {
  return FindFirstChangeNotification(path, sub, filter);
}
BOOL FindNextChangeNotification(HANDLE change);
BOOL FindCloseChangeNotification(HANDLE change);

// Unnamed events only (a name gives null with error 87).
HANDLE CreateEvent(void* securityAttributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
// Handles other than events and change handles: WAIT_FAILED with error 6. An auto-reset
// event that satisfies a wait is reset by it. waitAll is supported for events only.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// The shell's change events.
inline constexpr LONG SHCNE_RENAMEITEM = 0x00000001;
inline constexpr LONG SHCNE_CREATE = 0x00000002;
inline constexpr LONG SHCNE_DELETE = 0x00000004;
inline constexpr LONG SHCNE_MKDIR = 0x00000008;
inline constexpr LONG SHCNE_RMDIR = 0x00000010;
inline constexpr LONG SHCNE_MEDIAINSERTED = 0x00000020;
inline constexpr LONG SHCNE_MEDIAREMOVED = 0x00000040;
inline constexpr LONG SHCNE_DRIVEREMOVED = 0x00000080;
inline constexpr LONG SHCNE_DRIVEADD = 0x00000100;
inline constexpr LONG SHCNE_ATTRIBUTES = 0x00000800;
inline constexpr LONG SHCNE_UPDATEDIR = 0x00001000;
inline constexpr LONG SHCNE_UPDATEITEM = 0x00002000;
inline constexpr LONG SHCNE_UPDATEIMAGE = 0x00008000;
inline constexpr LONG SHCNE_RENAMEFOLDER = 0x00020000;
inline constexpr LONG SHCNE_FREESPACE = 0x00040000;
inline constexpr LONG SHCNE_ASSOCCHANGED = 0x08000000;
inline constexpr LONG SHCNE_ALLEVENTS = 0x7FFFFFFF;
inline constexpr LONG SHCNE_INTERRUPT = LONG(0x80000000);
inline constexpr UINT SHCNF_IDLIST = 0x0000;
inline constexpr UINT SHCNF_PATHA = 0x0001;
inline constexpr UINT SHCNF_PATH = 0x0001;
inline constexpr UINT SHCNF_DWORD = 0x0003;
inline constexpr UINT SHCNF_TYPE = 0x00FF;
inline constexpr UINT SHCNF_FLUSH = 0x1000;
inline constexpr UINT SHCNF_FLUSHNOWAIT = 0x2000;
inline constexpr int SHCNRF_InterruptLevel = 0x0001;
inline constexpr int SHCNRF_ShellLevel = 0x0002;
inline constexpr int SHCNRF_RecursiveInterrupt = 0x1000;
inline constexpr int SHCNRF_NewDelivery = 0x8000;

struct SHChangeNotifyEntry {
  LPCITEMIDLIST pidl = nullptr;  // null or empty: everything
  BOOL fRecursive = FALSE;
};

// item1 / item2: absolute lists (SHCNF_IDLIST) or UTF-8 paths (SHCNF_PATH); either may be
// null. Paths that cannot be parsed (a deleted item) are described from their text.
void SHChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2);
// An entry covers an item when the item is the entry's folder or its direct child, or
// lies anywhere below it with fRecursive. Returns the registration id, 0 on bad input.
ULONG SHChangeNotifyRegister(HWND hwnd, int sources, LONG events, UINT msg, int entries,
                             const SHChangeNotifyEntry* entry);
BOOL SHChangeNotifyDeregister(ULONG id);

}  // namespace win
