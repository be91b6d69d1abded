#pragma once
// Foundation of the shell controls: item-id lists (pidls) and their conversions, two pidl
// containers, shortcut reading, positional formatting, the system image lists, the
// process-wide device-change broadcaster and the library texts.
//
// Every pidl created here is allocated with the shell allocator (or the allocator passed)
// and belongs to the caller, who frees it with ShellFree (or that allocator).
// A null pidl and the empty list (the desktop) are distinct.
// User-interface thread only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/ImgList.h"
#include "platform/forms/Messages.h"
#include "platform/shell/Com.h"
#include "platform/shell/ItemIdList.h"
#include "platform/shell/ShellFolder.h"

// ---- Unit start-up ------------------------------------------------------------------
// Runs the start-up of UScShell95 (COM) and UScShellUtils (version record, shell
// allocator, comctl32 version) once; every operation below calls it, so callers need not.
void StartShellUtilsUnit();
// Shut-down (frees the device-change handler); later calls start the unit again.
void StopShellUtilsUnit();

// ---- System and allocator -----------------------------------------------------------
bool IsWinNT();
struct TScFileVersion {
  std::uint32_t MS = 0;  // major << 16 | minor
  std::uint32_t LS = 0;
};
// False (Version untouched) when the file has no version resource.
bool GetFileVersion(const std::string& FileName, TScFileVersion& Version);
// comctl32.dll's version read at start-up (both 0 when unreadable).
TScFileVersion GetComCtlVersion();
void* ShellAlloc(std::size_t Size);
void ShellFree(void* P);         // null ignored
win::IMalloc* GetShellMalloc();  // no reference added
// The caller releases *Folder.
win::HRESULT GetDesktopFolder(win::IShellFolder** Folder);

// ---- Pidl operations ----------------------------------------------------------------
// Lists are walked only inside their block (ItemIdList.h); a malformed one is refused: its
// size is 0, copies and binds fail, comparisons give ScPidlCompareFailed, names are empty.
int PidlSize(win::LPCITEMIDLIST Pidl);  // 0 for null (or malformed), 2 for the empty list
// Allocator null: the shell allocator. Null Pidl gives a new empty list; null on failure.
win::LPITEMIDLIST CopyPidl(win::IMalloc* Allocator, win::LPCITEMIDLIST Pidl);
win::LPITEMIDLIST ConcatPidls(win::IMalloc* Allocator, win::LPCITEMIDLIST Parent,
                              win::LPCITEMIDLIST Child);
// 0: same item. Null/empty rules first; then the desktop's CompareIDs (low 16 bits,
// signed). 0x7FFFFFFF when the shell cannot compare.
int ComparePidls(win::LPCITEMIDLIST A, win::LPCITEMIDLIST B);
inline constexpr int ScPidlCompareFailed = 0x7FFFFFFF;
// Null or empty: the desktop. *Folder null on failure; the caller releases it.
win::HRESULT GetShellFolder(win::LPCITEMIDLIST Pidl, win::IShellFolder** Folder);
win::HRESULT PathToPidl(const std::string& Path, win::LPITEMIDLIST* Pidl);
std::string PidlToPath(win::LPCITEMIDLIST Pidl);  // null = desktop; '' without a path
win::HRESULT GetSpecialFolderPidl(win::HWND Owner, std::uint8_t Id, win::LPITEMIDLIST* Pidl);
std::string GetSpecialFolderPath(win::HWND Owner, std::uint8_t Id);
void GetSpecialFolderPath(win::HWND Owner, std::uint8_t Id, std::string& Path);
// First special-folder id 0..50 whose pidl equals Pidl; 50 when none.
std::uint8_t GetSpecialFolderId(win::LPCITEMIDLIST Pidl);
int GetPidlIconIndex(win::LPCITEMIDLIST Pidl, win::UINT Flags);
// Kind 0 normal, 1 in-folder, 2 for parsing. Folder null: the desktop.
void GetDisplayNameOf(win::IShellFolder* Folder, win::LPCITEMIDLIST RelativePidl, int Kind,
                      std::string& Name);
void StrRetToString(win::LPCITEMIDLIST Pidl, const win::STRRET& StrRet, std::string& S);
void FreeStrRet(win::STRRET& StrRet);
// In-folder name of the last item. Binding failures raise EOSError.
void GetPidlDisplayName(win::LPCITEMIDLIST AbsolutePidl, std::string& Name);
std::string IncludeTrailingChar(const std::string& S, char Ch);

// ---- TScIdListArray: a view on an absolute pidl it does not own ----------------------
class TScIdListArray : public TObject {
 public:
  explicit TScIdListArray(win::LPCITEMIDLIST Pidl);
  ~TScIdListArray() override;
  TScIdListArray(const TScIdListArray&) = delete;
  TScIdListArray& operator=(const TScIdListArray&) = delete;
  int Count() const;  // 0 also for a malformed list
  // Copy of the first Count - N items (N = 1: the parent). Owned by the array, valid until
  // the next ParentPidl/ItemId call; null for N outside 0..Count or a null view.
  win::LPITEMIDLIST ParentPidl(int N);
  // Copy of the single item at Index (owned as above).
  win::LPITEMIDLIST ItemId(int Index);

 private:
  void FreeBuffer();
  bool Valid() const;
  win::LPCITEMIDLIST FPidl;
  win::LPITEMIDLIST FBuffer = nullptr;
};

// ---- TScPidlList: ordered (pidl, data) pairs ----------------------------------------
class TScPidlList : public TObject {
 public:
  TScPidlList();
  ~TScPidlList() override;
  TScPidlList(const TScPidlList&) = delete;
  TScPidlList& operator=(const TScPidlList&) = delete;

  virtual int Add(win::LPITEMIDLIST Pidl);
  // Stores the pointer itself. Sorted: duplicates per Duplicates ("TScPidlList:
  // Duplicate PIDL" for dupError, the existing index for dupIgnore).
  virtual int AddObject(win::LPITEMIDLIST Pidl, void* Data);

  bool Find(win::LPCITEMIDLIST Pidl, int& Index);
  int IndexOf(win::LPCITEMIDLIST Pidl);
  void Delete(int Index);
  void Clear();
  void Sort();

  win::LPITEMIDLIST Items(int Index) const;
  void* Objects(int Index) const;
  int Count() const { return int(FList.size()); }
  int Capacity() const { return int(FList.capacity()); }
  void SetCapacity(int Value);
  bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  // Set: pidls compared with its CompareIDs(0, ...); null: by bytes. Holds a reference.
  win::IShellFolder* Folder() const { return FFolder; }
  void SetFolder(win::IShellFolder* Value);
  // Set: the list owns the pidls and frees them through it. Holds a reference.
  win::IMalloc* Allocator() const { return FAllocator; }
  void SetAllocator(win::IMalloc* Value);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }

 private:
  struct Entry {
    win::LPITEMIDLIST Pidl;
    void* Data;
    int Size;  // PidlSize, taken once: byte comparisons need it at every step
  };
  int Compare(const Entry& A, const Entry& B) const;
  std::vector<Entry*> FList;
  bool FSorted = false;
  win::IShellFolder* FFolder = nullptr;
  win::IMalloc* FAllocator = nullptr;
  TDuplicates FDuplicates = dupError;
};

// ---- Shortcut files -----------------------------------------------------------------
struct TScShellLinkInfo {
  std::string Path;
  std::int32_t Mask = 0;  // 63 when every field below was read
  std::string Description;
  std::string Arguments;
  std::string IconLocation;
  std::int32_t IconIndex = 0;
  std::string WorkingDirectory;
  std::int32_t ShowCmd = 0;
  std::uint16_t HotKey = 0;
  std::uint8_t ResolveMode = 0;        // input: 0 or 1
  win::LPITEMIDLIST IdList = nullptr;  // the caller's after the call
  win::WIN32_FIND_DATA FindData{};
};
// Never raises: the first failing HRESULT is returned, later fields keep their values.
win::HRESULT ReadShellLink(const std::string& FileName, TScShellLinkInfo& Info, bool ReadIdList);

// ---- Positional formatting ------------------------------------------------------------
// %1..%n by the arguments (%n and a backslash-n pair: line feed; %%: percent).
// More than 50 arguments raise Exception "FormatStrPos: Too many substitution strings".
std::string FormatStrPos(const std::string& Format, const std::vector<std::string>& Args);

// ---- System image lists ---------------------------------------------------------------
// Size 0 small, 1 large. The first call on NT with comctl32 >= 4.71 installs the share and
// shortcut overlays (1 and 2).
win::HIMAGELIST GetSystemImageList(int Size);
bool SystemImageListOverlaysInstalled();

// ---- Device-change broadcaster --------------------------------------------------------
// A handler is a method pointer: Code called with Data. MakeDeviceChangeMethod gives one
// for a member function; two made for the same object and member compare equal.
using TScDeviceChangeCode = void (*)(void* Data, TObject* Sender, TMessage& Message);
template <class T, void (T::*M)(TObject*, TMessage&)>
void ScDeviceChangeThunk(void* Data, TObject* Sender, TMessage& Message) {
  (static_cast<T*>(Data)->*M)(Sender, Message);
}

inline constexpr win::UINT WM_SCDEVICECHANGE = win::WM_USER + 100;  // 1124

class TScDeviceChangeHandler : public TObject {
 public:
  TScDeviceChangeHandler();
  ~TScDeviceChangeHandler() override;
  TScDeviceChangeHandler(const TScDeviceChangeHandler&) = delete;
  TScDeviceChangeHandler& operator=(const TScDeviceChangeHandler&) = delete;
  void Register(TScDeviceChangeCode Code, void* Data);
  void Unregister(TScDeviceChangeCode Code, void* Data);  // first matching entry
  template <class T, void (T::*M)(TObject*, TMessage&)>
  void Register(T* Obj) {
    Register(&ScDeviceChangeThunk<T, M>, Obj);
  }
  template <class T, void (T::*M)(TObject*, TMessage&)>
  void Unregister(T* Obj) {
    Unregister(&ScDeviceChangeThunk<T, M>, Obj);
  }
  int HandlerCount() const { return int(FHandlers.size()); }
  win::HWND Handle() const { return FHandle; }

 private:
  win::LRESULT WndProc(win::HWND Wnd, win::UINT Msg, win::WPARAM WParam, win::LPARAM LParam);
  void Broadcast(TMessage& Message);
  struct Method {
    TScDeviceChangeCode Code;
    void* Data;
    std::uint64_t Id;  // tells apart two registrations of the same method
  };
  win::HWND FHandle = nullptr;
  std::vector<Method> FHandlers;
  std::uint64_t FLastId = 0;
};
// The singleton, created on first call.
TScDeviceChangeHandler* DeviceChangeHandler();

// ---- My Computer validation -----------------------------------------------------------
void ValidateMyComputer();
void LockMyComputerValidation();
void UnlockMyComputerValidation();
int MyComputerValidationLockCount();

// ---- Library texts --------------------------------------------------------------------
std::string GetShellResString(const std::string& S);
