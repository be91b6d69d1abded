#include "platform/shell/ShellFolder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>

#include "platform/shell/ChangeNotify.h"
#include "platform/shell/ContextMenu.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/Drives.h"
#include "platform/shell/FileInfo.h"
#include "platform/shell/Ole.h"
#include "platform/system/Files.h"
#include "platform/system/FolderListing.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"

namespace win {

namespace {

std::string Join(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '\\') return dir + name;
  return dir + "\\" + name;
}

// -1, 0 or 1 in the order of FoldCase(a).compare(FoldCase(b)), without folded copies while
// the names are plain ASCII.
int CompareFolded(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 0x80 || y >= 0x80) {
      int r = FoldCase(a).compare(FoldCase(b));
      return r < 0 ? -1 : r > 0 ? 1 : 0;
    }
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// A name a file-system item can have in its folder.
bool PlainName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\/:*?\"<>|") == std::string::npos && name != "." &&
         name != "..";
}

// What a list names, walked from some folder.
struct Target {
  enum Kind { Desktop, MyComputer, Drive, File };
  Target() = default;
  Target(Kind k, std::string p = {}, char d = 0) : kind(k), path(std::move(p)), drive(d) {}
  Kind kind = Desktop;
  std::string path;  // Drive: "C:\"; File: full path
  char drive = 0;
  pidl::FileItem file;
  bool IsFolder() const { return kind != File || file.folder; }
};

// Whether file-system items are found right below t (the desktop's are looked up through
// its folder, and take the full way).
bool HoldsFiles(const Target& t) {
  return t.kind == Target::Drive || (t.kind == Target::File && t.file.folder);
}

// Walks the items of `list` starting at `from`; nullopt for a malformed list or an item
// that cannot be below its parent.
std::optional<Target> Walk(Target from, LPCITEMIDLIST list) {
  if (!list || !ILIsValid(list)) return std::nullopt;
  Target t = std::move(from);
  for (LPCITEMIDLIST p = list; p->mkid.cb; p = ILNext(p)) {
    if (auto g = pidl::AsRoot(p)) {
      if (t.kind != Target::Desktop || !(*g == CLSID_MyComputer)) return std::nullopt;
      t = Target{Target::MyComputer};
    } else if (auto d = pidl::AsDrive(p)) {
      if (t.kind != Target::MyComputer) return std::nullopt;
      t = Target{Target::Drive, std::string(1, *d) + ":\\", *d};
    } else if (auto f = pidl::AsFile(p)) {
      std::string parent;
      if (t.kind == Target::Desktop)
        parent = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
      else if (t.kind == Target::Drive || (t.kind == Target::File && t.file.folder))
        parent = t.path;
      else
        return std::nullopt;
      if (parent.empty() || !PlainName(f->name)) return std::nullopt;
      Target n{Target::File, Join(parent, f->name), t.drive};
      n.file = *f;
      t = n;
    } else {
      return std::nullopt;
    }
  }
  return t;
}

pidl::FileItem FromFind(const WIN32_FIND_DATA& fd) {
  pidl::FileItem f;
  f.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  f.attributes = fd.dwFileAttributes;
  f.size = f.folder ? 0 : (std::uint64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
  f.lastWrite = fd.ftLastWriteTime;
  f.creation = fd.ftCreationTime;
  f.name = fd.cFileName;
  f.shortName = fd.cAlternateFileName;
  return f;
}

// The item of an existing file or folder, looked up by its exact name in `dir`.
HRESULT FindItem(const std::string& dir, const std::string& name, pidl::FileItem* out) {
  if (name.empty() || name.find_first_of("*?\"<>|:/") != std::string::npos || name == "." ||
      name == "..")
    return E_INVALIDARG;
  WIN32_FIND_DATA fd;
  HANDLE h = FindFirstFile(Join(dir, name), &fd);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return HRESULT_FROM_WIN32(e == ERROR_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND
                                                        : ERROR_FILE_NOT_FOUND);
  }
  FindClose(h);
  *out = FromFind(fd);
  return S_OK;
}

std::string DriveName(char letter) {
  std::string root = std::string(1, letter) + ":\\";
  std::string kind;
  switch (GetDriveType(root)) {
    case DRIVE_REMOVABLE:
      kind = letter <= 'B' ? "Disquette 3½" : "Disque amovible";
      break;
    case DRIVE_CDROM:
      kind = "Lecteur CD";
      break;
    case DRIVE_REMOTE:
      kind = "Lecteur réseau";
      break;
    default:
      kind = "Disque local";
      break;
  }
  char label[64] = {};
  if (GetVolumeInformation(root, label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0) &&
      label[0] && GetDriveType(root) != DRIVE_CDROM)
    kind = label;
  return kind + " (" + std::string(1, letter) + ":)";
}

DWORD AttributesOf(const Target& t, DWORD request) {
  switch (t.kind) {
    case Target::Desktop:
      return SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR | SFGAO_FILESYSTEM;
    case Target::MyComputer:
      return SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER | SFGAO_CANLINK |
             SFGAO_HASPROPSHEET;
    case Target::Drive: {
      DWORD a = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER |
                SFGAO_CANLINK | SFGAO_HASPROPSHEET | SFGAO_DROPTARGET;
      UINT type = GetDriveType(t.path);
      if (type == DRIVE_REMOVABLE || type == DRIVE_CDROM) a |= SFGAO_REMOVABLE;
      if (type == DRIVE_CDROM) a |= SFGAO_READONLY;
      return a;
    }
    case Target::File: {
      DWORD a = SFGAO_FILESYSTEM | SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME |
                SFGAO_CANDELETE | SFGAO_HASPROPSHEET;
      if (t.file.folder) {
        a |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
        if ((request & SFGAO_HASSUBFOLDER) && FolderHasSubFolder(t.path)) a |= SFGAO_HASSUBFOLDER;
      } else {
        const std::string n = FoldCase(t.file.name);
        if (n.size() > 4 && n.ends_with(".LNK")) a |= SFGAO_LINK;
      }
      if (t.file.attributes & FILE_ATTRIBUTE_READONLY) a |= SFGAO_READONLY;
      if (t.file.attributes & FILE_ATTRIBUTE_HIDDEN) a |= SFGAO_HIDDEN;
      return a;
    }
  }
  return 0;
}

std::string TypeText(const Target& t) {
  SHFILEINFO info;
  if (t.kind == Target::File)
    SHGetFileInfo(t.path.c_str(),
                  t.file.attributes | (t.file.folder ? FILE_ATTRIBUTE_DIRECTORY : 0), &info,
                  sizeof info, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
  else if (t.kind == Target::Drive)
    return GetDriveType(t.path) == DRIVE_CDROM       ? "Lecteur CD"
           : GetDriveType(t.path) == DRIVE_REMOVABLE ? "Disquette 3½"
                                                     : "Disque local";
  else
    return "Dossier système";
  return info.szTypeName;
}

void SetStr(STRRET* sr, const std::string& s) {
  sr->uType = STRRET_WSTR;
  sr->pOleStr = CoTaskStrDup(s);
}

class EnumIDList final : public ComEnum<EnumIDList, IEnumIDList, IID_IEnumIDList, std::string> {
 public:
  explicit EnumIDList(std::vector<std::string> items, std::size_t pos = 0)
      : ComEnum(std::move(items), pos) {}
  HRESULT Next(ULONG celt, LPITEMIDLIST* rgelt, ULONG* fetched) override {
    if (!rgelt || (celt > 1 && !fetched)) return E_POINTER;
    return Take(celt, rgelt, fetched, [](const std::string& name) { return pidl::Make({name}); });
  }
};

class ShellFolder final : public ComObjectOf<IShellFolder2, IShellDetails> {
 public:
  ShellFolder(Target self, std::string absolute)
      : self_(std::move(self)), absolute_(std::move(absolute)) {}

  void* Find(REFIID riid) override {
    if (riid == IID_IUnknown || riid == IID_IShellFolder || riid == IID_IShellFolder2)
      return static_cast<IShellFolder2*>(this);
    if (riid == IID_IShellDetails) return static_cast<IShellDetails*>(this);
    return nullptr;
  }

  // The folder's file-system path (the desktop: its folder), empty for My Computer.
  std::string FolderPath() const {
    if (self_.kind == Target::Desktop) return SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
    if (self_.kind == Target::MyComputer) return {};
    return self_.path;
  }

  HRESULT ParseDisplayName(HWND, IBindCtx*, LPCOLESTR wname, ULONG* eaten, LPITEMIDLIST* ppidl,
                           ULONG* attributes) override {
    if (!ppidl) return E_POINTER;
    *ppidl = nullptr;
    if (!wname) return E_INVALIDARG;
    std::string name = FromWide(wname);
    if (eaten) *eaten = ULONG(std::u16string(wname).size());
    std::vector<std::string> items;
    std::string cur;
    std::string rest = name;
    Target at = self_;
    if (self_.kind == Target::Desktop || self_.kind == Target::MyComputer) {
      if (self_.kind == Target::Desktop &&
          SameText(name.substr(0, 40), "::" + GUIDToString(CLSID_MyComputer))) {
        items.push_back(pidl::RootItem(CLSID_MyComputer));
        at = Target{Target::MyComputer};
        rest = name.substr(40);
        if (!rest.empty() && rest[0] == '\\') rest.erase(0, 1);
        if (rest.empty()) return Finish(items, attributes, at, ppidl);
      }
      if (rest.size() < 2 || rest[1] != ':' || !std::isalpha(static_cast<unsigned char>(rest[0])))
        return E_INVALIDARG;
      char letter = char(std::toupper(static_cast<unsigned char>(rest[0])));
      if (GetDriveType(std::string(1, letter) + ":\\") == DRIVE_NO_ROOT_DIR)
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
      if (at.kind == Target::Desktop) items.push_back(pidl::RootItem(CLSID_MyComputer));
      items.push_back(pidl::DriveItem(letter));
      at = Target{Target::Drive, std::string(1, letter) + ":\\", letter};
      rest = rest.substr(2);
    } else if (self_.kind == Target::File && !self_.file.folder) {
      return E_INVALIDARG;
    }
    // The rest: names below `at`, separated by backslashes.
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= rest.size(); ++i) {
      if (i == rest.size() || rest[i] == '\\' || rest[i] == '/') {
        if (i > start) parts.push_back(rest.substr(start, i - start));
        start = i + 1;
      }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
      std::string dir =
          at.kind == Target::Desktop ? SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) : at.path;
      if (at.kind == Target::MyComputer || (at.kind == Target::File && !at.file.folder))
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
      pidl::FileItem f;
      HRESULT hr = FindItem(dir, parts[i], &f);
      if (FAILED(hr)) {
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) && i + 1 < parts.size())
          return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        return hr;
      }
      items.push_back(pidl::FileItemBytes(f));
      Target n{Target::File, Join(dir, f.name), at.drive};
      n.file = f;
      at = n;
    }
    if (items.empty()) return E_INVALIDARG;
    return Finish(items, attributes, at, ppidl);
  }

  HRESULT EnumObjects(HWND, DWORD flags, IEnumIDList** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    std::vector<std::string> items;
    bool folders = flags & SHCONTF_FOLDERS, files = flags & SHCONTF_NONFOLDERS;
    if (self_.kind == Target::Desktop && folders) items.push_back(pidl::RootItem(CLSID_MyComputer));
    if (self_.kind == Target::MyComputer) {
      if (folders) {
        DWORD mask = GetLogicalDrives();
        for (int i = 0; i < 26; ++i)
          if (mask & (1u << i)) items.push_back(pidl::DriveItem(char('A' + i)));
      }
    } else {
      std::string dir = FolderPath();
      if (self_.kind == Target::File && !self_.file.folder) return E_INVALIDARG;
      // One listing of the folder answers every item: names, attributes, sizes, times.
      std::vector<WIN32_FIND_DATA> found;
      if (dir.empty() || !ListFolder(dir, found)) {
        DWORD e = dir.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        // The desktop without its folder still shows My Computer.
        if (self_.kind != Target::Desktop)
          return self_.kind == Target::Drive ? E_FAIL
                                             : HRESULT_FROM_WIN32(e ? e : ERROR_PATH_NOT_FOUND);
      }
      items.reserve(items.size() + found.size());
      for (const WIN32_FIND_DATA& fd : found) {
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) && !(flags & SHCONTF_INCLUDEHIDDEN))
          continue;
        bool isDir = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (isDir ? !folders : !files) continue;
        items.push_back(pidl::FileItemBytes(FromFind(fd)));
      }
    }
    *ppenum = new EnumIDList(std::move(items));
    return S_OK;
  }

  HRESULT BindToObject(LPCITEMIDLIST pidl, IBindCtx*, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(riid == IID_IShellFolder || riid == IID_IShellFolder2 || riid == IID_IUnknown))
      return E_NOINTERFACE;
    auto t = Walk(self_, pidl);
    if (!t || ILIsEmpty(pidl)) return E_INVALIDARG;
    if (!t->IsFolder()) return E_INVALIDARG;
    std::string abs = absolute_;
    abs.append(reinterpret_cast<const char*>(pidl), ILGetSize(pidl) - 2);
    auto* f = new ShellFolder(*t, abs);
    HRESULT hr = f->QueryInterface(riid, ppv);
    f->Release();
    return hr;
  }
  HRESULT BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOTIMPL;
  }

  HRESULT CompareIDs(LPARAM column, LPCITEMIDLIST a, LPCITEMIDLIST b) override {
    if (!ILIsValid(a) || !ILIsValid(b)) return E_INVALIDARG;
    Target at = self_;
    LPCITEMIDLIST pa = a, pb = b;
    for (;;) {
      bool ea = pa->mkid.cb == 0, eb = pb->mkid.cb == 0;
      if (ea || eb) return Result(ea && eb ? 0 : ea ? -1 : 1);
      std::optional<Target> ta, tb;
      bool pathless = false;  // ta and tb carry their names as paths
      if (auto fa = pidl::AsFile(pa), fb = pidl::AsFile(pb);
          fa && fb && HoldsFiles(at) && PlainName(fa->name) && PlainName(fb->name)) {
        pathless = true;
        // Two file items straight from their bytes (sorting a big folder asks this thousands
        // of times); the type column needs only the names.
        ta = Target{Target::File, fa->name, at.drive};
        ta->file = std::move(*fa);
        tb = Target{Target::File, fb->name, at.drive};
        tb->file = std::move(*fb);
      } else {
        LPITEMIDLIST ia = ILCloneFirst(pa), ib = ILCloneFirst(pb);
        ta = Walk(at, ia);
        tb = Walk(at, ib);
        ILFree(ia);
        ILFree(ib);
      }
      if (!ta || !tb) return E_INVALIDARG;
      int r = CompareOne(*ta, *tb, int(column & 0xFFFF));
      if (r) return Result(r);
      if (pathless && ILNext(pa)->mkid.cb && ILNext(pb)->mkid.cb) {
        LPITEMIDLIST ia = ILCloneFirst(pa);
        ta = Walk(at, ia);
        ILFree(ia);
        if (!ta) return E_INVALIDARG;
      }
      at = *ta;
      pa = ILNext(pa);
      pb = ILNext(pb);
    }
  }

  HRESULT CreateViewObject(HWND, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IShellDetails) return QueryInterface(riid, ppv);
    std::string dir = FolderPath();
    if (riid == IID_IDropTarget) {
      if (dir.empty()) return E_NOINTERFACE;
      return CreateFolderDropTarget(dir, reinterpret_cast<IDropTarget**>(ppv));
    }
    if (riid == IID_IContextMenu) {
      if (dir.empty()) return E_NOINTERFACE;
      return CreateFileContextMenu(dir, {}, riid, ppv);
    }
    return E_NOINTERFACE;
  }

  HRESULT GetAttributesOf(UINT cidl, LPCITEMIDLIST_ARRAY items, ULONG* inOut) override {
    if (!inOut) return E_POINTER;
    if (cidl == 0) return S_OK;
    if (!items) return E_INVALIDARG;
    DWORD all = 0xFFFFFFFF;
    for (UINT i = 0; i < cidl; ++i) {
      auto t = Walk(self_, items[i]);
      if (!t) return E_INVALIDARG;
      all &= AttributesOf(*t, *inOut);
    }
    *inOut &= all;
    return S_OK;
  }

  HRESULT GetUIObjectOf(HWND, UINT cidl, LPCITEMIDLIST_ARRAY items, REFIID riid, UINT*,
                        void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (cidl == 0 || !items) return E_INVALIDARG;
    std::vector<Target> targets;
    for (UINT i = 0; i < cidl; ++i) {
      auto t = Walk(self_, items[i]);
      if (!t) return E_INVALIDARG;
      targets.push_back(*t);
    }
    if (riid == IID_IDataObject) {
      LPITEMIDLIST parent = pidl::Make({absolute_});
      HRESULT hr = CreateShellDataObject(parent, cidl, items, reinterpret_cast<IDataObject**>(ppv));
      ILFree(parent);
      return hr;
    }
    if (riid == IID_IDropTarget) {
      if (cidl != 1 || !targets[0].IsFolder() || targets[0].kind == Target::MyComputer)
        return E_NOINTERFACE;
      std::string dir = targets[0].kind == Target::Desktop
                            ? SpecialFolderPath(CSIDL_DESKTOPDIRECTORY)
                            : targets[0].path;
      return CreateFolderDropTarget(dir, reinterpret_cast<IDropTarget**>(ppv));
    }
    if (riid == IID_IContextMenu) {
      // Drives and the virtual folders get the menu too, without what would take them away.
      std::vector<std::string> paths;
      for (const auto& t : targets) {
        if (t.kind == Target::MyComputer)
          paths.push_back("::" + GUIDToString(CLSID_MyComputer));
        else if (t.kind == Target::Desktop)
          paths.push_back(SpecialFolderPath(CSIDL_DESKTOPDIRECTORY));
        else
          paths.push_back(t.path);
      }
      return CreateFileContextMenu(FolderPath(), paths, riid, ppv);
    }
    return E_NOINTERFACE;
  }

  HRESULT GetDisplayNameOf(LPCITEMIDLIST pidl, DWORD flags, STRRET* name) override {
    if (!name) return E_POINTER;
    auto t = Walk(self_, pidl);
    if (!t) return E_INVALIDARG;
    bool parsing = flags & SHGDN_FORPARSING, infolder = flags & SHGDN_INFOLDER;
    switch (t->kind) {
      case Target::Desktop:
        SetStr(name, parsing ? SpecialFolderPath(CSIDL_DESKTOPDIRECTORY) : "Bureau");
        break;
      case Target::MyComputer:
        SetStr(name, parsing ? "::" + GUIDToString(CLSID_MyComputer) : "Poste de travail");
        break;
      case Target::Drive:
        SetStr(name, parsing ? t->path : DriveName(t->drive));
        break;
      case Target::File:
        SetStr(name, parsing && !infolder ? t->path : t->file.name);
        break;
    }
    return S_OK;
  }

  HRESULT SetNameOf(HWND, LPCITEMIDLIST pidl, LPCOLESTR wname, DWORD,
                    LPITEMIDLIST* newPidl) override {
    if (newPidl) *newPidl = nullptr;
    if (!wname) return E_INVALIDARG;
    auto t = Walk(self_, pidl);
    if (!t || t->kind != Target::File || ILGetCount(pidl) != 1) return E_INVALIDARG;
    std::string name = FromWide(wname);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty() || name.find_first_of("\\/:*?\"<>|") != std::string::npos || name == "." ||
        name == "..")
      return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
    std::string dir = FolderPath();
    std::string to = Join(dir, name);
    if (name != t->file.name) {
      bool sameItem = SameText(name, t->file.name);
      if (!sameItem && GetFileAttributes(to) != INVALID_FILE_ATTRIBUTES)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
      if (!MoveFile(t->path, to)) {
        DWORD e = GetLastError();
        return HRESULT_FROM_WIN32(e ? e : ERROR_ACCESS_DENIED);
      }
      Machine::Current().Journal("shell", "renamed " + t->path + " to " + to);
      SHChangeNotify(t->file.folder ? SHCNE_RENAMEFOLDER : SHCNE_RENAMEITEM, SHCNF_PATH,
                     t->path.c_str(), to.c_str());
    }
    if (newPidl) {
      pidl::FileItem f;
      HRESULT hr = FindItem(dir, name, &f);
      if (FAILED(hr)) return hr;
      *newPidl = pidl::Make({pidl::FileItemBytes(f)});
    }
    return S_OK;
  }

  HRESULT GetDefaultSearchGUID(GUID*) override { return E_NOTIMPL; }
  HRESULT EnumSearches(IEnumExtraSearch**) override { return E_NOTIMPL; }
  HRESULT GetDefaultColumn(DWORD, ULONG* sort, ULONG* display) override {
    if (sort) *sort = 0;
    if (display) *display = 0;
    return S_OK;
  }
  HRESULT GetDefaultColumnState(UINT column, SHCOLSTATEF* flags) override {
    if (!flags) return E_POINTER;
    UINT count = self_.kind == Target::MyComputer ? 4 : 5;
    if (column >= count) return E_INVALIDARG;
    static const SHCOLSTATEF fs[] = {
        SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT, SHCOLSTATE_TYPE_INT | SHCOLSTATE_ONBYDEFAULT,
        SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT, SHCOLSTATE_TYPE_DATE | SHCOLSTATE_ONBYDEFAULT,
        SHCOLSTATE_TYPE_STR};
    *flags = self_.kind == Target::MyComputer ? SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT
                                              : fs[column];
    return S_OK;
  }
  HRESULT GetDetailsEx(LPCITEMIDLIST, const SHCOLUMNID*, VARIANT*) override { return E_NOTIMPL; }
  HRESULT GetDetailsOf(LPCITEMIDLIST pidl, UINT column, SHELLDETAILS* details) override {
    if (!details) return E_POINTER;
    bool mc = self_.kind == Target::MyComputer;
    static const char* fsTitles[] = {"Nom", "Taille", "Type", "Modifié", "Attributs"};
    static const char* mcTitles[] = {"Nom", "Type", "Taille totale", "Espace libre"};
    static const int fsWidth[] = {30, 10, 20, 20, 10}, mcWidth[] = {30, 20, 15, 15};
    UINT count = mc ? 4 : 5;
    if (column >= count) return E_INVALIDARG;
    details->fmt = (!mc && column == 1) || (mc && column >= 2) ? LVCFMT_RIGHT : LVCFMT_LEFT;
    details->cxChar = mc ? mcWidth[column] : fsWidth[column];
    if (!pidl) {
      SetStr(&details->str, mc ? mcTitles[column] : fsTitles[column]);
      return S_OK;
    }
    auto t = Walk(self_, pidl);
    if (!t) return E_INVALIDARG;
    std::string text;
    if (column == 0) {
      STRRET sr;
      GetDisplayNameOf(pidl, SHGDN_INFOLDER, &sr);
      StrRetToStr(&sr, pidl, &text);
    } else if (mc) {
      if (column == 1) text = TypeText(*t);
    } else if (t->kind == Target::File) {
      if (column == 1 && !t->file.folder) {
        std::uint64_t kb = t->file.size / 1024 + (t->file.size % 1024 ? 1 : 0);
        text = std::to_string(kb) + " Ko";
      } else if (column == 2) {
        text = TypeText(*t);
      } else if (column == 3) {
        FILETIME local;
        SYSTEMTIME st;
        FileTimeToLocalFileTime(&t->file.lastWrite, &local);
        FileTimeToSystemTime(&local, &st);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02u/%02u/%04u %02u:%02u", st.wDay, st.wMonth, st.wYear,
                      st.wHour, st.wMinute);
        text = buf;
      } else if (column == 4) {
        DWORD a = t->file.attributes;
        if (a & FILE_ATTRIBUTE_READONLY) text += 'R';
        if (a & FILE_ATTRIBUTE_HIDDEN) text += 'H';
        if (a & FILE_ATTRIBUTE_SYSTEM) text += 'S';
        if (a & FILE_ATTRIBUTE_ARCHIVE) text += 'A';
      }
    } else if (column == 2) {
      text = TypeText(*t);
    }
    SetStr(&details->str, text);
    return S_OK;
  }
  HRESULT MapColumnToSCID(UINT, SHCOLUMNID*) override { return E_NOTIMPL; }
  HRESULT ColumnClick(UINT) override { return S_FALSE; }

 private:
  static HRESULT Result(int r) {
    return MAKE_HRESULT(0, 0, USHORT(short(r < 0 ? -1 : r > 0 ? 1 : 0)));
  }

  static int Rank(const Target& t) {
    return t.kind == Target::MyComputer ? 0 : t.kind == Target::Drive ? 1 : t.file.folder ? 2 : 3;
  }

  static int CompareOne(const Target& a, const Target& b, int column) {
    int ra = Rank(a), rb = Rank(b);
    if ((ra < 3) != (rb < 3)) return ra < rb ? -1 : 1;  // folders first
    if (ra != rb) return ra < rb ? -1 : 1;
    if (a.kind == Target::Drive) return a.drive < b.drive ? -1 : a.drive > b.drive ? 1 : 0;
    if (a.kind != Target::File) return 0;
    int byName = CompareFolded(a.file.name, b.file.name);
    int r = 0;
    if (column == 1)
      r = a.file.size < b.file.size ? -1 : a.file.size > b.file.size ? 1 : 0;
    else if (column == 2)
      r = CompareFolded(TypeText(a), TypeText(b));
    else if (column == 3) {
      auto x = a.file.lastWrite.value(), y = b.file.lastWrite.value();
      r = x < y ? -1 : x > y ? 1 : 0;
    }
    return r ? (r < 0 ? -1 : 1) : byName;
  }

  HRESULT Finish(const std::vector<std::string>& items, ULONG* attributes, const Target& t,
                 LPITEMIDLIST* ppidl) {
    *ppidl = pidl::Make(items);
    if (!*ppidl) return E_OUTOFMEMORY;
    if (attributes) *attributes &= AttributesOf(t, *attributes);
    return S_OK;
  }

  Target self_;
  std::string absolute_;  // the folder's absolute list, without terminator
};

std::string ProfileHome() {
  const MachineSettings& s = Machine::Current().Settings();
  if (s.os == OsVersion::WinXP || s.os == OsVersion::Win2000)
    return "C:\\Documents and Settings\\" + s.userName;
  if (s.IsNT()) return s.WindowsDir() + "\\Profiles\\" + s.userName;
  return s.WindowsDir();
}

std::string ShellFolderValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER,
                   "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                   KEY_READ, &key) != 0)
    return {};
  char buf[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH, type = 0;
  std::string out;
  if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == 0 &&
      (type == REG_SZ || type == REG_EXPAND_SZ))
    out = std::string(buf, strnlen(buf, size));
  RegCloseKey(key);
  return out;
}

}  // namespace

std::string SpecialFolderPath(int csidl) {
  struct Entry {
    int id;
    const char* value;
    const char* below;  // below the profile home
  };
  static const Entry entries[] = {
      {CSIDL_DESKTOPDIRECTORY, "Desktop", "Bureau"},
      {CSIDL_PERSONAL, "Personal", "Mes documents"},
      {CSIDL_SENDTO, "SendTo", "SendTo"},
      {CSIDL_STARTMENU, "Start Menu", "Menu Démarrer"},
      {CSIDL_PROGRAMS, "Programs", "Menu Démarrer\\Programmes"},
      {CSIDL_STARTUP, "Startup", "Menu Démarrer\\Programmes\\Démarrage"},
      {CSIDL_APPDATA, "AppData", "Application Data"},
      {CSIDL_FAVORITES, "Favorites", "Favoris"},
      {CSIDL_RECENT, "Recent", "Recent"},
      {CSIDL_TEMPLATES, "Templates", "Modèles"},
      {CSIDL_NETHOOD, "NetHood", "Voisinage réseau"},
  };
  int id = csidl & 0xFF;
  if (!Machine::HasCurrent() && id != CSIDL_DESKTOP) {
  }
  for (const auto& e : entries) {
    if (e.id != id) continue;
    std::string v = ShellFolderValue(e.value);
    return v.empty() ? ProfileHome() + "\\" + e.below : v;
  }
  char buf[MAX_PATH + 1] = {};
  if (id == CSIDL_FONTS || id == CSIDL_WINDOWS || id == CSIDL_SYSTEM || id == CSIDL_PROGRAM_FILES ||
      id == CSIDL_PROGRAM_FILES_COMMON) {
    if (SUCCEEDED(SHGetFolderPathA(nullptr, id | CSIDL_FLAG_DONT_VERIFY, nullptr, 0, buf)))
      return buf;
  }
  return {};
}

HRESULT SHGetDesktopFolder(IShellFolder** ppshf) {
  if (!ppshf) return E_POINTER;
  *ppshf = new ShellFolder(Target{Target::Desktop}, std::string());
  return S_OK;
}

HRESULT SHGetMalloc(IMalloc** ppmalloc) { return CoGetMalloc(1, ppmalloc); }

HRESULT SHGetSpecialFolderLocation(HWND, int csidl, LPITEMIDLIST* ppidl) {
  if (!ppidl) return E_POINTER;
  *ppidl = nullptr;
  if (csidl == CSIDL_DESKTOP) {
    *ppidl = pidl::Make({});
    return S_OK;
  }
  if (csidl == CSIDL_DRIVES) {
    *ppidl = pidl::Make({pidl::RootItem(CLSID_MyComputer)});
    return S_OK;
  }
  std::string path = SpecialFolderPath(csidl);
  if (path.empty()) return E_INVALIDARG;
  if (GetFileAttributes(path) == INVALID_FILE_ATTRIBUTES) {
    // The user's folders are made on first use, parents included.
    for (std::size_t at = 3; at <= path.size(); ++at)
      if (at == path.size() || path[at] == '\\') {
        std::string part = path.substr(0, at);
        if (GetFileAttributes(part) == INVALID_FILE_ATTRIBUTES && !CreateDirectory(part))
          return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND);
      }
  }
  return SHParseDisplayName(path, ppidl, 0, nullptr);
}

HRESULT SHParseDisplayName(const std::string& name, LPITEMIDLIST* ppidl, ULONG sfgaoIn,
                           ULONG* sfgaoOut) {
  if (!ppidl) return E_POINTER;
  *ppidl = nullptr;
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(desktop.put());
  std::u16string w = ToWide(name);
  ULONG attrs = sfgaoIn;
  HRESULT hr = desktop->ParseDisplayName(nullptr, nullptr, w.c_str(), nullptr, ppidl, &attrs);
  if (sfgaoOut) *sfgaoOut = SUCCEEDED(hr) ? attrs : 0;
  return hr;
}

BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, char* path) {
  if (path) path[0] = 0;
  if (!path) return FALSE;
  auto t = Walk(Target{Target::Desktop}, pidl);
  std::string out;
  if (!t) return FALSE;
  if (t->kind == Target::Desktop)
    out = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
  else if (t->kind == Target::Drive || t->kind == Target::File)
    out = t->path;
  if (out.empty() || out.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, out.c_str(), out.size() + 1);
  return TRUE;
}

HRESULT SHGetInstanceExplorer(IUnknown** ppunk) {
  if (ppunk) *ppunk = nullptr;
  return E_FAIL;
}

HRESULT StrRetToStr(STRRET* sr, LPCITEMIDLIST pidl, std::string* out) {
  if (!sr || !out) return E_POINTER;
  out->clear();
  switch (sr->uType) {
    case STRRET_WSTR:
      *out = FromWide(sr->pOleStr);
      CoTaskMemFree(sr->pOleStr);
      sr->pOleStr = nullptr;
      sr->uType = STRRET_CSTR;
      sr->cStr[0] = 0;
      return S_OK;
    case STRRET_OFFSET:
      if (!pidl || sr->uOffset >= ILGetSize(pidl)) return E_INVALIDARG;
      *out = reinterpret_cast<const char*>(pidl) + sr->uOffset;
      return S_OK;
    case STRRET_CSTR:
      *out = std::string(sr->cStr, strnlen(sr->cStr, sizeof sr->cStr));
      return S_OK;
  }
  return E_INVALIDARG;
}

}  // namespace win
