#include "shellcontrols/UScShellItemData.h"

#include "platform/shell/Drives.h"
#include "platform/shell/FileInfo.h"
#include "shellcontrols/UScShellControls.h"

using namespace win;

// =========================================================================================
// TScShTreeData

TScShTreeData::TScShTreeData(TScCustomShellTree* Tree) : FTree(Tree) {}

TScShTreeData::~TScShTreeData() {
  ShellFree(FAbsolutePidl);
  ShellFree(FRelativePidl);
}

void TScShTreeData::Init(TScShTreeData* ParentData, LPCITEMIDLIST RelativePidl) {
  FParentData = ParentData;
  ShellFree(FRelativePidl);
  FRelativePidl = RelativePidl ? CopyPidl(nullptr, RelativePidl) : nullptr;
  ShellFree(FAbsolutePidl);
  FAbsolutePidl = nullptr;
}

LPITEMIDLIST TScShTreeData::AbsolutePidl() {
  if (FAbsolutePidl) return FAbsolutePidl;
  if (FParentData)
    FAbsolutePidl = ConcatPidls(nullptr, FParentData->AbsolutePidl(), FRelativePidl);
  else if (FRelativePidl)
    FAbsolutePidl = CopyPidl(nullptr, FRelativePidl);
  return FAbsolutePidl;
}

ComPtr<IShellFolder> TScShTreeData::ParentFolder() {
  if (FParentData) return FParentData->ShellFolder();
  FRootParentFolder.Reset();
  IShellFolder* folder = nullptr;
  LPITEMIDLIST parent = nullptr, last = nullptr;
  if (SUCCEEDED(BindToParentFolder(AbsolutePidl(), &folder, &parent, &last)))
    FRootParentFolder = ComPtr<IShellFolder>::Attach(folder);
  ShellFree(parent);
  ShellFree(last);
  return FRootParentFolder;
}

ComPtr<IShellFolder> TScShTreeData::ShellFolder() {
  if (FOwnFolder) return FOwnFolder;
  if (AbsolutePidl()) {
    ComPtr<IShellFolder> parent = ParentFolder();
    if (!parent) return {};
    void* out = nullptr;
    if (SUCCEEDED(parent->BindToObject(FRelativePidl, nullptr, IID_IShellFolder, &out)) && out)
      return ComPtr<IShellFolder>::Attach(static_cast<IShellFolder*>(out));
    return {};
  }
  IShellFolder* desktop = nullptr;
  HRESULT hr = SHGetDesktopFolder(&desktop);
  if (FAILED(hr) || !desktop) OleError(FAILED(hr) ? hr : E_FAIL);
  return ComPtr<IShellFolder>::Attach(desktop);
}

void TScShTreeData::SetOwnFolder(IShellFolder* Folder) {
  FOwnFolder = ComPtr<IShellFolder>(Folder);
}

std::string TScShTreeData::Path() {
  char buffer[MAX_PATH + 1] = {};
  if (!SHGetPathFromIDListA(AbsolutePidl(), buffer)) return "";
  return buffer;
}

bool TScShTreeData::CanRename() {
  LPITEMIDLIST abs = AbsolutePidl();
  if (!abs || PidlSize(abs) <= 2 || !FParentData) return false;
  ComPtr<IShellFolder> parent = ParentFolder();
  if (!parent) return false;
  ULONG mask = 0x40000177;
  LPCITEMIDLIST items[1] = {FRelativePidl};
  if (FAILED(parent->GetAttributesOf(1, items, &mask))) return false;
  return (mask & SFGAO_CANRENAME) != 0;
}

void TScShTreeData::SetRelativePidl(LPCITEMIDLIST Value) {
  ShellFree(FAbsolutePidl);
  FAbsolutePidl = nullptr;
  ShellFree(FRelativePidl);
  FOwnFolder.Reset();
  FRelativePidl = CopyPidl(nullptr, Value);
  if (FParentData)
    FAbsolutePidl = ConcatPidls(nullptr, FParentData->AbsolutePidl(), FRelativePidl);
  else
    FAbsolutePidl = CopyPidl(nullptr, FRelativePidl);
}

void TScShTreeData::Invalidate() {
  ShellFree(FAbsolutePidl);
  FAbsolutePidl = nullptr;
  FOwnFolder.Reset();
}

HRESULT TScShTreeData::GetDropTarget(HWND Window, IDropTarget** Target) {
  *Target = nullptr;
  if (FParentData) {
    ComPtr<IShellFolder> folder = FParentData->ShellFolder();
    if (!folder) return E_FAIL;
    LPCITEMIDLIST items[1] = {FRelativePidl};
    return folder->GetUIObjectOf(Window, 1, items, IID_IDropTarget, nullptr,
                                 reinterpret_cast<void**>(Target));
  }
  if (LPITEMIDLIST abs = AbsolutePidl())
    return GetPidlUIObject(abs, IID_IDropTarget, reinterpret_cast<void**>(Target));
  return GetDesktopDropTarget(Target);
}

// =========================================================================================
// TScShListData

TScShListData::TScShListData(IScShListDataOwner* List) : FList(List) {}

TScShListData::~TScShListData() {
  ShellFree(FAbsolutePidl);
  ShellFree(FRelativePidl);
}

void TScShListData::SetRelativePidl(LPITEMIDLIST Value) {
  if (Value != FRelativePidl) ShellFree(FRelativePidl);
  FRelativePidl = Value;
  Invalidate();
}

void TScShListData::Invalidate() {
  ShellFree(FAbsolutePidl);
  FAbsolutePidl = nullptr;
  FDisplayName.clear();
  FDisplayNameReady = false;
  FColumnTextsReady = false;
}

LPITEMIDLIST TScShListData::AbsolutePidl() {
  if (!FAbsolutePidl)
    FAbsolutePidl =
        ConcatPidls(nullptr, FList ? FList->CurrentFolderPidl() : nullptr, FRelativePidl);
  return FAbsolutePidl;
}

std::string TScShListData::Path() { return PidlToPath(AbsolutePidl()); }

DWORD TScShListData::Attributes() {
  ULONG mask = 0xF00F0037;
  std::string path = Path();
  if (path.size() == 3 && path[1] == ':' && GetDriveType(path) == 2) mask &= ~SFGAO_READONLY;
  IShellFolder* folder = FList ? FList->CurrentShellFolder() : nullptr;
  if (!folder) return 0;
  LPCITEMIDLIST items[1] = {FRelativePidl};
  folder->GetAttributesOf(1, items, &mask);
  return mask;
}

bool TScShListData::IsFolder() { return (Attributes() & SFGAO_FOLDER) != 0; }
bool TScShListData::CanRename() { return (Attributes() & SFGAO_CANRENAME) != 0; }

bool TScShListData::IsShortcut() {
  std::string path = Path();
  auto dot = path.rfind('.');
  auto slash = path.rfind('\\');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return AnsiSameText(path.substr(dot), ".lnk");
}

std::string TScShListData::DisplayName() {
  if (!FDisplayNameReady) {
    SHFILEINFO info{};
    if (SHGetFileInfoA(reinterpret_cast<const char*>(AbsolutePidl()), 0, &info, sizeof(info),
                       SHGFI_PIDL | SHGFI_DISPLAYNAME)) {
      FDisplayName = info.szDisplayName;
      FDisplayNameReady = true;
    }
  }
  return FDisplayName;
}

std::string TScShListData::ColumnText(int Index) {
  if (Index == 0) return "";
  if (IShellDetails* details = FList ? FList->DetailsSource() : nullptr) {
    SHELLDETAILS sd;
    if (FAILED(details->GetDetailsOf(FRelativePidl, UINT(Index), &sd))) return "";
    std::string s;
    StrRetToString(FRelativePidl, sd.str, s);
    FreeStrRet(sd.str);
    return s;
  }
  ComputeColumnTexts();
  switch (Index) {
    case 1:
      return FSizeText;
    case 2:
      return FTypeText;
    case 3:
      return FModifiedText;
    default:
      return "";
  }
}

void TScShListData::ComputeColumnTexts() {
  if (FColumnTextsReady) return;
  LPITEMIDLIST abs = AbsolutePidl();
  FileSizeAndDateTexts(abs, FSizeText, FModifiedText);
  FTypeText = FileTypeText(abs, Attributes());
  FColumnTextsReady = true;
}

TScShComboData::~TScShComboData() {
  Interface1.Reset();
  Interface2.Reset();
  ShellFree(Pidl1);
  ShellFree(Pidl2);
  ShellFree(Pidl3);
}
