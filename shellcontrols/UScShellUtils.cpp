#include "shellcontrols/UScShellUtils.h"

#include <algorithm>
#include <cstring>

#include "platform/forms/Forms.h"
#include "platform/shell/FileInfo.h"
#include "platform/shell/Menus.h"
#include "platform/shell/ShellLink.h"
#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "platform/system/Libraries.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/Version.h"
#include "shellcontrols/UScShConsts.h"
#include "shellcontrols/UScShell95.h"

using namespace win;

namespace {

int gInitCount = 0;
OSVERSIONINFO gVersion;
IMalloc* gMalloc = nullptr;
TScFileVersion gComCtlVersion;
bool gOverlaysInstalled = false;
int gMyComputerLock = 0;
TScDeviceChangeHandler* gDeviceChangeHandler = nullptr;
// Folder read by TScPidlList comparisons while one list sorts or searches.
IShellFolder* gCompareFolder = nullptr;

// Holds gCompareFolder for one sort or search, cleared also when an exception passes.
struct CompareFolderScope {
  explicit CompareFolderScope(IShellFolder* f) { gCompareFolder = f; }
  ~CompareFolderScope() { gCompareFolder = nullptr; }
};

int LowSigned16(HRESULT hr) { return int(std::int16_t(std::uint16_t(DWORD(hr) & 0xFFFF))); }

// Bytes of the items of a list, without the terminator (0 for null).
int ItemBytes(LPCITEMIDLIST p) {
  int n = PidlSize(p);
  return n > 0 ? n - 2 : 0;
}

}  // namespace

void StartShellUtilsUnit() {
  if (gInitCount++ != 0) return;
  StartShell95Unit();
  gVersion = OSVERSIONINFO{};
  gVersion.dwOSVersionInfoSize = 148;
  GetVersionEx(&gVersion);
  gMalloc = nullptr;
  SHGetMalloc(&gMalloc);
  TScFileVersion v;
  if (!GetFileVersion("comctl32.dll", v)) v = TScFileVersion{};
  gComCtlVersion = v;
}

void StopShellUtilsUnit() {
  if (gInitCount == 0 || --gInitCount != 0) return;
  delete gDeviceChangeHandler;
  gDeviceChangeHandler = nullptr;
  if (gMalloc) gMalloc->Release();
  gMalloc = nullptr;
  gOverlaysInstalled = false;
  StopShell95Unit();
}

namespace {
void EnsureStarted() {
  if (gInitCount == 0) StartShellUtilsUnit();
}
}  // namespace

bool IsWinNT() {
  EnsureStarted();
  return gVersion.dwPlatformId == 2;
}

bool GetFileVersion(const std::string& FileName, TScFileVersion& Version) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSize(FileName, &handle);
  if (size == 0) return false;
  std::vector<char> block(size);
  if (!GetFileVersionInfo(FileName, handle, size, block.data())) return false;
  void* info = nullptr;
  UINT len = 0;
  if (!VerQueryValue(block.data(), "\\", &info, &len) || !info || len < sizeof(VS_FIXEDFILEINFO))
    return false;
  auto* fixed = static_cast<VS_FIXEDFILEINFO*>(info);
  Version.MS = fixed->dwFileVersionMS;
  Version.LS = fixed->dwFileVersionLS;
  return true;
}

TScFileVersion GetComCtlVersion() {
  EnsureStarted();
  return gComCtlVersion;
}

IMalloc* GetShellMalloc() {
  EnsureStarted();
  return gMalloc;
}

void* ShellAlloc(std::size_t Size) {
  IMalloc* m = GetShellMalloc();
  return m ? m->Alloc(Size) : nullptr;
}

void ShellFree(void* P) {
  if (!P) return;
  if (IMalloc* m = GetShellMalloc()) m->Free(P);
}

HRESULT GetDesktopFolder(IShellFolder** Folder) { return SHGetDesktopFolder(Folder); }

// ---- Pidl operations ----------------------------------------------------------------

int PidlSize(LPCITEMIDLIST Pidl) { return int(ILValidSize(Pidl)); }

LPITEMIDLIST CopyPidl(IMalloc* Allocator, LPCITEMIDLIST Pidl) {
  int size = Pidl ? PidlSize(Pidl) : 2;
  if (size == 0) return nullptr;  // malformed
  void* mem = Allocator ? Allocator->Alloc(size) : ShellAlloc(size);
  if (!mem) return nullptr;
  if (size > 2) std::memcpy(mem, Pidl, size - 2);
  std::memset(static_cast<BYTE*>(mem) + size - 2, 0, 2);
  return static_cast<LPITEMIDLIST>(mem);
}

LPITEMIDLIST ConcatPidls(IMalloc* Allocator, LPCITEMIDLIST Parent, LPCITEMIDLIST Child) {
  if ((Parent && !PidlSize(Parent)) || (Child && !PidlSize(Child))) return nullptr;  // malformed
  int a = ItemBytes(Parent), b = ItemBytes(Child);
  int size = a + b + 2;
  if (std::size_t(size) > kMaxIdListBytes) return nullptr;  // a list no walk would accept
  void* mem = Allocator ? Allocator->Alloc(size) : ShellAlloc(size);
  if (!mem) return nullptr;
  BYTE* out = static_cast<BYTE*>(mem);
  if (a) std::memcpy(out, Parent, a);
  if (b) std::memcpy(out + a, Child, b);
  std::memset(out + a + b, 0, 2);
  return static_cast<LPITEMIDLIST>(mem);
}

int ComparePidls(LPCITEMIDLIST A, LPCITEMIDLIST B) {
  if (!A && !B) return 0;
  if (!A || !B) return -1;
  int sa = PidlSize(A), sb = PidlSize(B);
  if (!sa || !sb) return ScPidlCompareFailed;  // malformed
  bool ea = sa == 2, eb = sb == 2;
  if (ea && eb) return 0;
  if (ea || eb) return -1;
  IShellFolder* desktop = nullptr;
  if (FAILED(GetDesktopFolder(&desktop)) || !desktop) return ScPidlCompareFailed;
  HRESULT hr = desktop->CompareIDs(0, A, B);
  desktop->Release();
  if (FAILED(hr)) return ScPidlCompareFailed;
  return LowSigned16(hr);
}

HRESULT GetShellFolder(LPCITEMIDLIST Pidl, IShellFolder** Folder) {
  *Folder = nullptr;
  if (Pidl && !PidlSize(Pidl)) return E_INVALIDARG;  // malformed: never taken as the desktop
  IShellFolder* desktop = nullptr;
  HRESULT hr = GetDesktopFolder(&desktop);
  if (FAILED(hr)) return hr;
  if (PidlSize(Pidl) <= 2) {
    *Folder = desktop;
    return hr;
  }
  void* out = nullptr;
  hr = desktop->BindToObject(Pidl, nullptr, IID_IShellFolder, &out);
  desktop->Release();
  *Folder = SUCCEEDED(hr) ? static_cast<IShellFolder*>(out) : nullptr;
  if (FAILED(hr) && out) static_cast<IShellFolder*>(out)->Release();
  return hr;
}

HRESULT PathToPidl(const std::string& Path, LPITEMIDLIST* Pidl) {
  *Pidl = nullptr;
  IShellFolder* desktop = nullptr;
  HRESULT hr = GetDesktopFolder(&desktop);
  if (FAILED(hr)) return hr;
  try {
    std::u16string wide = ToWide(Path);
    if (wide.size() > 260) wide.resize(260);
    ULONG eaten = 0;
    hr = desktop->ParseDisplayName(nullptr, nullptr, wide.c_str(), &eaten, Pidl, nullptr);
    if (FAILED(hr) && *Pidl) {
      ShellFree(*Pidl);
      *Pidl = nullptr;
    }
  } catch (...) {
    ShellFree(*Pidl);
    *Pidl = nullptr;
    desktop->Release();
    throw;
  }
  desktop->Release();
  return hr;
}

std::string PidlToPath(LPCITEMIDLIST Pidl) {
  static const USHORT empty = 0;
  char buffer[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(Pidl ? Pidl : reinterpret_cast<LPCITEMIDLIST>(&empty), buffer))
    return "";
  return buffer;
}

HRESULT GetSpecialFolderPidl(HWND Owner, std::uint8_t Id, LPITEMIDLIST* Pidl) {
  *Pidl = nullptr;
  return SHGetSpecialFolderLocation(Owner, Id & 127, Pidl);
}

void GetSpecialFolderPath(HWND Owner, std::uint8_t Id, std::string& Path) {
  Path.clear();
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(GetSpecialFolderPidl(Owner, Id, &pidl))) return;
  char buffer[MAX_PATH + 1] = {};
  if (SHGetPathFromIDListA(pidl, buffer)) Path = buffer;
  ShellFree(pidl);
}

std::string GetSpecialFolderPath(HWND Owner, std::uint8_t Id) {
  std::string path;
  GetSpecialFolderPath(Owner, Id, path);
  return path;
}

std::uint8_t GetSpecialFolderId(LPCITEMIDLIST Pidl) {
  for (std::uint8_t id = 0; id < 50; ++id) {
    LPITEMIDLIST p = nullptr;
    if (SUCCEEDED(GetSpecialFolderPidl(nullptr, id, &p)) && p) {
      bool same = ComparePidls(p, Pidl) == 0;
      ShellFree(p);
      if (same) return id;
    } else {
      ShellFree(p);
    }
  }
  return 50;
}

int GetPidlIconIndex(LPCITEMIDLIST Pidl, UINT Flags) {
  try {
    SHFILEINFO info{};
    SHGetFileInfoA(reinterpret_cast<const char*>(Pidl), 0, &info, sizeof(info),
                   Flags | SHGFI_PIDL | SHGFI_SYSICONINDEX);
    return info.iIcon;
  } catch (...) {
    return 0;
  }
}

void StrRetToString(LPCITEMIDLIST Pidl, const STRRET& StrRet, std::string& S) {
  switch (StrRet.uType) {
    case STRRET_WSTR:
      S = FromWide(StrRet.pOleStr);
      break;
    case STRRET_OFFSET:
      if (Pidl) {
        // The text lies inside the item; never read past its bytes.
        const char* base = reinterpret_cast<const char*>(Pidl);
        UINT size = UINT(PidlSize(Pidl));
        if (StrRet.uOffset < size) {
          const char* start = base + StrRet.uOffset;
          S.assign(start, strnlen(start, size - StrRet.uOffset));
        }
      }
      break;
    case STRRET_CSTR:
      S.assign(StrRet.cStr, strnlen(StrRet.cStr, sizeof(StrRet.cStr)));
      break;
    default:
      break;
  }
}

void FreeStrRet(STRRET& StrRet) {
  if (StrRet.uType == STRRET_WSTR && StrRet.pOleStr) {
    CoTaskMemFree(StrRet.pOleStr);
    StrRet.pOleStr = nullptr;
  }
}

void GetDisplayNameOf(IShellFolder* Folder, LPCITEMIDLIST RelativePidl, int Kind,
                      std::string& Name) {
  Name.clear();
  DWORD flags = Kind == 1 ? SHGDN_INFOLDER : Kind == 2 ? SHGDN_FORPARSING : SHGDN_NORMAL;
  IShellFolder* folder = Folder;
  if (!folder) {
    if (FAILED(GetDesktopFolder(&folder)) || !folder) return;
  } else {
    folder->AddRef();
  }
  STRRET sr;
  sr.uType = STRRET_CSTR;
  if (SUCCEEDED(folder->GetDisplayNameOf(RelativePidl, flags, &sr))) {
    StrRetToString(RelativePidl, sr, Name);
    FreeStrRet(sr);
  }
  folder->Release();
}

void GetPidlDisplayName(LPCITEMIDLIST AbsolutePidl, std::string& Name) {
  Name.clear();
  if (AbsolutePidl && !PidlSize(AbsolutePidl)) return;  // malformed
  IShellFolder* desktop = nullptr;
  if (FAILED(GetDesktopFolder(&desktop)) || !desktop) return;
  TScIdListArray ids(AbsolutePidl);
  int count = ids.Count();
  if (count >= 2) {
    void* out = nullptr;
    HRESULT hr = desktop->BindToObject(ids.ParentPidl(1), nullptr, IID_IShellFolder, &out);
    desktop->Release();
    if (FAILED(hr) || !out) RaiseLastOSError(DWORD(HRESULT_CODE(hr)));
    auto* parent = static_cast<IShellFolder*>(out);
    try {
      GetDisplayNameOf(parent, ids.ItemId(count - 1), 1, Name);
    } catch (...) {
      parent->Release();
      throw;
    }
    parent->Release();
  } else {
    static const USHORT empty = 0;
    try {
      GetDisplayNameOf(
          desktop, AbsolutePidl ? AbsolutePidl : reinterpret_cast<LPCITEMIDLIST>(&empty), 1, Name);
    } catch (...) {
      desktop->Release();
      throw;
    }
    desktop->Release();
  }
}

std::string IncludeTrailingChar(const std::string& S, char Ch) {
  if (S.empty()) return S;
  // A trailing byte of a multi-byte character never equals an ASCII Ch, so the plain test
  // also covers the double-byte rule.
  if (S.back() == Ch) return S;
  return S + Ch;
}

// ---- TScIdListArray -----------------------------------------------------------------

TScIdListArray::TScIdListArray(LPCITEMIDLIST Pidl) : FPidl(Pidl) {}
TScIdListArray::~TScIdListArray() { FreeBuffer(); }

void TScIdListArray::FreeBuffer() {
  ShellFree(FBuffer);
  FBuffer = nullptr;
}

// A malformed view counts as none: no items, no copies.
bool TScIdListArray::Valid() const { return FPidl && PidlSize(FPidl) != 0; }

int TScIdListArray::Count() const { return Valid() ? int(ILGetCount(FPidl)) : 0; }

namespace {
// Byte offset of item Index (the terminator's offset for Index = Count) in a valid list.
int ItemOffset(LPCITEMIDLIST pidl, int index) {
  int off = 0;
  LPCITEMIDLIST p = pidl;
  for (int i = 0; i < index && p->mkid.cb; ++i, p = ILNext(p)) off += p->mkid.cb;
  return off;
}
LPITEMIDLIST CopyBytes(const BYTE* src, int bytes) {
  auto* out = static_cast<BYTE*>(ShellAlloc(bytes + 2));
  if (!out) return nullptr;
  if (bytes) std::memcpy(out, src, bytes);
  out[bytes] = out[bytes + 1] = 0;
  return reinterpret_cast<LPITEMIDLIST>(out);
}
}  // namespace

LPITEMIDLIST TScIdListArray::ParentPidl(int N) {
  FreeBuffer();
  if (!Valid()) return nullptr;
  int count = Count();
  if (N < 0 || N > count) return nullptr;
  FBuffer = CopyBytes(reinterpret_cast<const BYTE*>(FPidl), ItemOffset(FPidl, count - N));
  return FBuffer;
}

LPITEMIDLIST TScIdListArray::ItemId(int Index) {
  FreeBuffer();
  if (!Valid() || Index < 0) return nullptr;
  int count = Count();
  if (Index >= count && count > 0) return nullptr;
  if (count == 0) {
    if (Index > 0) return nullptr;
    FBuffer = CopyBytes(nullptr, 0);
    return FBuffer;
  }
  int off = ItemOffset(FPidl, Index);
  const BYTE* p = reinterpret_cast<const BYTE*>(FPidl) + off;
  FBuffer = CopyBytes(p, reinterpret_cast<LPCITEMIDLIST>(p)->mkid.cb);
  return FBuffer;
}

// ---- TScPidlList --------------------------------------------------------------------

TScPidlList::TScPidlList() = default;

TScPidlList::~TScPidlList() {
  Clear();
  if (FFolder) FFolder->Release();
  if (FAllocator) FAllocator->Release();
}

int TScPidlList::Compare(const Entry& A, const Entry& B) const {
  if (gCompareFolder) return LowSigned16(gCompareFolder->CompareIDs(0, A.Pidl, B.Pidl));
  int sa = A.Size, sb = B.Size;
  const BYTE* pa = reinterpret_cast<const BYTE*>(A.Pidl);
  const BYTE* pb = reinterpret_cast<const BYTE*>(B.Pidl);
  int n = std::min(sa, sb);
  for (int i = 0; i < n; ++i)
    if (pa[i] != pb[i]) return int(pa[i]) - int(pb[i]);
  return sa - sb;
}

bool TScPidlList::Find(LPCITEMIDLIST Pidl, int& Index) {
  CompareFolderScope scope(FFolder);
  Entry key{const_cast<LPITEMIDLIST>(Pidl), nullptr, PidlSize(Pidl)};
  int low = 0, high = Count() - 1;
  bool result = false;
  while (low <= high) {
    int middle = (low + high) / 2;
    int r = Compare(*FList[middle], key);
    if (r < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (r == 0) {
        result = true;
        if (FDuplicates != dupAccept) low = middle;
      }
    }
  }
  Index = low;
  return result;
}

int TScPidlList::IndexOf(LPCITEMIDLIST Pidl) {
  if (FSorted) {
    int index;
    return Find(Pidl, index) ? index : -1;
  }
  CompareFolderScope scope(FFolder);
  Entry key{const_cast<LPITEMIDLIST>(Pidl), nullptr, PidlSize(Pidl)};
  for (int i = 0; i < Count(); ++i)
    if (Compare(*FList[i], key) == 0) return i;
  return -1;
}

int TScPidlList::Add(LPITEMIDLIST Pidl) { return AddObject(Pidl, nullptr); }

int TScPidlList::AddObject(LPITEMIDLIST Pidl, void* Data) {
  int index = Count();
  if (FSorted) {
    if (Find(Pidl, index)) {
      if (FDuplicates == dupIgnore) return index;
      if (FDuplicates == dupError) throw Exception(SScDuplicatePidl);
    }
  }
  FList.insert(FList.begin() + index, new Entry{Pidl, Data, PidlSize(Pidl)});
  return index;
}

void TScPidlList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) throw EListError(ListIndexErrorText(Index));
  Entry* e = FList[Index];
  if (FAllocator && e->Pidl) FAllocator->Free(e->Pidl);
  delete e;
  FList.erase(FList.begin() + Index);
}

void TScPidlList::Clear() {
  if (FAllocator)
    for (Entry* e : FList)
      if (e->Pidl) FAllocator->Free(e->Pidl);
  for (Entry* e : FList) delete e;
  FList.clear();
}

void TScPidlList::Sort() {
  CompareFolderScope scope(FFolder);
  std::stable_sort(FList.begin(), FList.end(),
                   [this](const Entry* a, const Entry* b) { return Compare(*a, *b) < 0; });
}

LPITEMIDLIST TScPidlList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(ListIndexErrorText(Index));
  return FList[Index]->Pidl;
}

void* TScPidlList::Objects(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(ListIndexErrorText(Index));
  return FList[Index]->Data;
}

void TScPidlList::SetCapacity(int Value) {
  if (Value >= Count()) FList.reserve(Value);
}

void TScPidlList::SetSorted(bool Value) {
  if (Value == FSorted) return;
  if (Value) Sort();
  FSorted = Value;
}

void TScPidlList::SetFolder(IShellFolder* Value) {
  if (Value) Value->AddRef();
  if (FFolder) FFolder->Release();
  FFolder = Value;
}

void TScPidlList::SetAllocator(IMalloc* Value) {
  if (Value) Value->AddRef();
  if (FAllocator) FAllocator->Release();
  FAllocator = Value;
}

// ---- ReadShellLink --------------------------------------------------------------------

HRESULT ReadShellLink(const std::string& FileName, TScShellLinkInfo& Info, bool ReadIdList) {
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link));
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) {
    std::u16string wide = ToWide(FileName);
    if (wide.size() > 260) wide.resize(260);
    hr = file->Load(wide.c_str(), 0);
  }
  if (SUCCEEDED(hr)) {
    if (Info.ResolveMode == 1)
      hr = link->Resolve(reinterpret_cast<HWND>(std::uintptr_t(0xFFFFFFFF)), 65536);
    else
      hr = link->Resolve(nullptr, 0);
  }
  char buffer[261];
  auto text = [&](auto get, std::string& out) {
    if (FAILED(hr)) return;
    buffer[0] = 0;
    hr = get();
    if (SUCCEEDED(hr)) out = buffer;
  };
  text([&] { return link->GetPath(buffer, 261, &Info.FindData, 0); }, Info.Path);
  text([&] { return link->GetArguments(buffer, 261); }, Info.Arguments);
  text([&] { return link->GetDescription(buffer, 261); }, Info.Description);
  if (SUCCEEDED(hr)) {
    int index = 0;
    buffer[0] = 0;
    hr = link->GetIconLocation(buffer, 261, &index);
    if (SUCCEEDED(hr)) {
      Info.IconLocation = buffer;
      Info.IconIndex = index;
    }
  }
  text([&] { return link->GetWorkingDirectory(buffer, 261); }, Info.WorkingDirectory);
  if (SUCCEEDED(hr)) {
    int show = 0;
    hr = link->GetShowCmd(&show);
    if (SUCCEEDED(hr)) Info.ShowCmd = show;
  }
  if (SUCCEEDED(hr)) {
    WORD key = 0;
    hr = link->GetHotkey(&key);
    if (SUCCEEDED(hr)) Info.HotKey = key;
  }
  if (SUCCEEDED(hr)) {
    Info.Mask = 63;
    if (ReadIdList) {
      LPITEMIDLIST list = nullptr;
      hr = link->GetIDList(&list);
      Info.IdList = list;
    } else {
      Info.IdList = nullptr;
    }
  }
  if (file) file->Release();
  if (link) link->Release();
  return hr;
}

// ---- FormatStrPos -----------------------------------------------------------------------

std::string FormatStrPos(const std::string& Format, const std::vector<std::string>& Args) {
  if (Format.empty()) return "";
  if (Args.size() > 50) throw Exception(SScTooManySubstitutions);
  std::string out;
  for (std::size_t i = 0; i < Format.size(); ++i) {
    char c = Format[i];
    if (c == '\\' && i + 1 < Format.size() && Format[i + 1] == 'n') {
      out += '\n';
      ++i;
    } else if (c == '%' && i + 1 < Format.size()) {
      char d = Format[i + 1];
      if (d >= '1' && d <= '9') {
        std::size_t j = i + 1;
        int n = 0;
        while (j < Format.size() && j < i + 3 && Format[j] >= '0' && Format[j] <= '9')
          n = n * 10 + (Format[j++] - '0');
        // An optional printf-like "!s!" after the number is dropped.
        if (j < Format.size() && Format[j] == '!') {
          std::size_t k = Format.find('!', j + 1);
          if (k != std::string::npos) j = k + 1;
        }
        // A number beyond the arguments makes the system formatter fail.
        if (n > int(Args.size())) return "";
        out += Args[n - 1];
        i = j - 1;
      } else if (d == 'n') {
        out += "\r\n";
        ++i;
      } else if (d == '0') {
        return out;
      } else {
        out += d;  // %%, %., %! and others: the character itself
        ++i;
      }
    } else {
      out += c;
    }
  }
  return out;
}

// ---- System image lists ---------------------------------------------------------------

namespace {
void InstallOverlays() {
  HMODULE shell32 = LoadLibrary("shell32.dll");
  if (!shell32) return;
  SHFILEINFO info{};
  auto small = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  auto large = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoA("C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX));
  // Our system lists carry the share hand and the shortcut arrow as images of their own.
  for (HIMAGELIST list : {small, large}) {
    if (!list) continue;
    ImageList_SetOverlayImage(list, SHIL_SHARE_OVERLAY, 1);
    ImageList_SetOverlayImage(list, SHIL_LINK_OVERLAY, 2);
  }
  gOverlaysInstalled = true;
  FreeLibrary(shell32);
}
}  // namespace

HIMAGELIST GetSystemImageList(int Size) {
  EnsureStarted();
  if (IsWinNT() && gComCtlVersion.MS >= ((4u << 16) | 71u) && !gOverlaysInstalled)
    InstallOverlays();
  SHFILEINFO info{};
  UINT flags = SHGFI_SYSICONINDEX | (Size == 0 ? SHGFI_SMALLICON : 0);
  return reinterpret_cast<HIMAGELIST>(SHGetFileInfoA("C:\\", 0, &info, sizeof(info), flags));
}

bool SystemImageListOverlaysInstalled() { return gOverlaysInstalled; }

// ---- Device-change broadcaster --------------------------------------------------------

TScDeviceChangeHandler::TScDeviceChangeHandler() {
  FHandle = CreateWindowHandle(
      [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return WndProc(w, m, wp, lp); });
}

TScDeviceChangeHandler::~TScDeviceChangeHandler() {
  if (FHandle) DestroyWindow(FHandle);
}

LRESULT TScDeviceChangeHandler::WndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Msg == WM_DEVICECHANGE) {
    // Handlers run later from the message loop, never inside the system's call.
    PostMessage(Wnd, WM_SCDEVICECHANGE, WParam, LParam);
    return DefWindowProcA(Wnd, Msg, WParam, LParam);
  }
  if (Msg == WM_SCDEVICECHANGE) {
    TMessage message{Msg, WParam, LParam, 0};
    Broadcast(message);
    return message.Result;
  }
  return DefWindowProcA(Wnd, Msg, WParam, LParam);
}

void TScDeviceChangeHandler::Broadcast(TMessage& Message) {
  // Every handler registered when the broadcast begins gets it, unless it is unregistered
  // meanwhile (by itself or another handler); one registered meanwhile waits for the next.
  const std::vector<Method> at = FHandlers;
  for (const Method& m : at) {
    bool registered = false;
    for (const Method& r : FHandlers) registered = registered || r.Id == m.Id;
    if (!registered) continue;
    try {
      m.Code(m.Data, this, Message);
    } catch (const Exception& e) {
      Application->HandleException(e);
    }
  }
}

void TScDeviceChangeHandler::Register(TScDeviceChangeCode Code, void* Data) {
  FHandlers.push_back({Code, Data, ++FLastId});
}

void TScDeviceChangeHandler::Unregister(TScDeviceChangeCode Code, void* Data) {
  for (auto it = FHandlers.begin(); it != FHandlers.end(); ++it)
    if (it->Code == Code && it->Data == Data) {
      FHandlers.erase(it);
      return;
    }
}

TScDeviceChangeHandler* DeviceChangeHandler() {
  EnsureStarted();
  if (!gDeviceChangeHandler) gDeviceChangeHandler = new TScDeviceChangeHandler;
  return gDeviceChangeHandler;
}

// ---- My Computer validation -----------------------------------------------------------

void ValidateMyComputer() {
  if (gMyComputerLock != 0) return;
  LPITEMIDLIST pidl = nullptr;
  HRESULT hr = GetSpecialFolderPidl(nullptr, 17, &pidl);
  if (FAILED(hr)) RaiseLastOSError(DWORD(HRESULT_CODE(hr)));
  IShellFolder* folder = nullptr;
  hr = GetShellFolder(pidl, &folder);
  if (FAILED(hr) || !folder) {
    ShellFree(pidl);
    RaiseLastOSError(DWORD(HRESULT_CODE(hr)));
  }
  ULONG mask = SFGAO_VALIDATE;
  folder->GetAttributesOf(0, nullptr, &mask);
  folder->Release();
  ShellFree(pidl);
}

void LockMyComputerValidation() { ++gMyComputerLock; }
void UnlockMyComputerValidation() { --gMyComputerLock; }
int MyComputerValidationLockCount() { return gMyComputerLock; }

std::string GetShellResString(const std::string& S) { return S; }
