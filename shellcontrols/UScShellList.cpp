#include "shellcontrols/UScShellList.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/forms/Forms.h"
#include "platform/forms/HintWindow.h"
#include "platform/forms/MessageDialogs.h"
#include "platform/forms/Screen.h"
#include "platform/forms/TreeView.h"
#include "platform/forms/ViewSupport.h"
#include "platform/shell/ChangeNotify.h"
#include "platform/shell/FileInfo.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Registry.h"
#include "shellcontrols/UScFileMask.h"
#include "shellcontrols/UScShConsts.h"
#include "shellcontrols/UScShellDataObjects.h"
#include "shellcontrols/UScShellListColumns.h"
#include "shellcontrols/UScShellListCommands.h"
#include "shellcontrols/UScShellListDragDrop.h"

using namespace win;

namespace {

constexpr UINT kWmWindowPosChanged = 0x0047;
constexpr int kSbHorz = 0, kSbVert = 1;
constexpr int kSbLineUp = 0, kSbLineDown = 1, kSbPageUp = 2, kSbPageDown = 3;
constexpr DWORD kDbtDeviceArrival = 0x8000, kDbtDeviceRemoveComplete = 0x8004;
constexpr HRESULT kNoMoreItems = HRESULT(0x80070103);
constexpr DWORD kShouldAddRequest = 0xF20B0000;  // HASSUBFOLDER FILESYSTEM FOLDER
                                                 // FILESYSANCESTOR REMOVABLE LINK SHARE HIDDEN
constexpr int kDefaultAllocBy = 256;

}  // namespace

// =========================================================================================

void TScCustomShellList::DefineProps(TPropList& p) {
  p.Set("Options", &TScCustomShellList::Options, &TScCustomShellList::SetOptions,
        {"scsloAutoFill", "scsloVirtualFolders", "scsloDesignInteractive",
         "scsloDefaultKeyHandling", "scsloContextMenus", "scsloFixedFolder", "scsloReserved6",
         "scsloDynamicRefresh", "scsloHideTreeFolders", "scsloOleDrag", "scsloOleDrop",
         "scsloReserved11", "scsloShowHidden"},
        ScDefaultShellListOptions);
  p.String("FileMask", &TScCustomShellList::FileMask, &TScCustomShellList::SetFileMask);
  p.Int("SortKey", &TScCustomShellList::SortKey, &TScCustomShellList::SetSortKey, 1);
  p.Event("OnPopupHint", &TScCustomShellList::OnPopupHint);
  p.Event("OnAddItem", &TScCustomShellList::OnAddItem);
  p.Event("OnDeleteItem", &TScCustomShellList::OnDeleteItem);
  p.Event("OnDefaultAction", &TScCustomShellList::OnDefaultAction);
  p.Event("OnCustomDrawSh", &TScCustomShellList::OnCustomDrawSh);
  p.Event("OnCustomDrawShEx", &TScCustomShellList::OnCustomDrawShEx);
  p.Event("OnFillComplete", &TScCustomShellList::OnFillComplete);
  p.Event("OnFillStart", &TScCustomShellList::OnFillStart);
  p.Event("OnFolderChanged", &TScCustomShellList::OnFolderChanged);
}

void TScShellList::DefineProps(TPropList&) {}
WI_REGISTER_CLASS(TScShellList);

TScCustomShellList::TScCustomShellList(TComponent* Owner)
    : TScCustomListView(Owner),
      FMask(std::make_unique<TScFileMask>()),
      FDragDrop(std::make_unique<TScShellListDragDrop>(*this)),
      FCommands(std::make_unique<TScShellListCommands>(*this)) {
  StartShellControlsUnit();
  FFolder = new TScShellLocator();
  FFolder->OnChange = [this](TObject* s) { FolderChanged(s); };
  FRefreshTimer = new TTimer(this);
  FRefreshTimer->SetEnabled(false);
  FRefreshTimer->OnTimer = [this](TObject* s) { RefreshTimer(s); };
  SetAutoArrange(true);
  FOptions = ScDefaultShellListOptions;
  FSmallImageList = new TImageList(this);
  FSmallImageList->SetWidth(16);
  FSmallImageList->SetHeight(16);
  FLargeImageList = new TImageList(this);
  FLargeImageList->SetWidth(32);
  FLargeImageList->SetHeight(32);
  // The system image lists belong to the shell: shared, never destroyed here.
  FSmallImageList->SetShareImages(true);
  FSmallImageList->SetHandle(GetSystemImageList(0));
  FLargeImageList->SetShareImages(true);
  FLargeImageList->SetHandle(GetSystemImageList(1));
  SetSmallImages(FSmallImageList);
  SetLargeImages(FLargeImageList);
  SetAllocBy(kDefaultAllocBy);
  FSortKey = 1;
  DeviceChangeHandler()->Register<TScCustomShellList, &TScCustomShellList::DeviceChange>(this);
}

TScCustomShellList::~TScCustomShellList() {
  DeviceChangeHandler()->Unregister<TScCustomShellList, &TScCustomShellList::DeviceChange>(this);
  // Our window handling (widths saved, watcher stopped, drop target revoked) must run
  // while this class still exists.
  if (HandleAllocated()) DestroyWnd();
  FDropTarget.Reset();
  delete FRefreshTimer;
  FRefreshTimer = nullptr;
  delete FChangeThread;
  FChangeThread = nullptr;
  // Item data goes with its items; the base only knows the items.
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (auto* data = ItemData(item)) {
      item->SetData(nullptr);
      delete data;
    }
  }
  delete FPendingData;
  FPendingData = nullptr;
  SetSmallImages(nullptr);
  SetLargeImages(nullptr);
  delete FSmallImageList;
  delete FLargeImageList;
  ReleaseFolder();
  delete FFolder;
  FFolder = nullptr;
  FreeMaskFilter();
}

void TScCustomShellList::ReleaseFolder() {
  FCurrentFolder.Reset();
  FDetails.Reset();
  FDetailsAsked = false;
  ShellFree(FFolderPidl);
  FFolderPidl = nullptr;
}

IShellDetails* TScCustomShellList::DetailsSource() {
  if (!FDetailsAsked) {
    FDetailsAsked = true;
    FDetails = FCurrentFolder ? ComPtr<IShellDetails>::Attach(GetShellDetails(FCurrentFolder.get()))
                              : ComPtr<IShellDetails>();
  }
  return FDetails.get();
}

HWND TScCustomShellList::OwnerWindow() { return GetOwnerFormWindow(this); }

bool TScCustomShellList::Busy() const {
  return FDragging || FCommands->MenuRunning() || (IsEditing() && !FEndingEdit);
}

void TScCustomShellList::SetOptions(TScShellListOptions Value) {
  Value &= 0xFFFF;
  if (Value == FOptions) return;
  TScShellListOptions old = FOptions;
  FOptions = Value;
  // The drop target follows its option while the window exists.
  bool dropWas = (old & ScListOpt(scsloOleDrop)) != 0, dropNow = HasOption(scsloOleDrop);
  if (HandleAllocated() && !Designing() && dropWas != dropNow) {
    if (dropNow) {
      FDropTarget = CreateListDropTarget();
      if (FDropTarget) RegisterDragDrop(Handle(), FDropTarget.get());
    } else if (FDropTarget) {
      RevokeDragDrop(Handle());
      FDropTarget.Reset();
    }
  }
}

void TScCustomShellList::SetFileMask(const std::string& Value) {
  if (Value == FMask->Text()) return;
  FMask->SetText(Value);
}

std::string TScCustomShellList::FileMask() const { return FMask->Text(); }
const std::vector<std::string>& TScCustomShellList::MaskPatterns() const {
  return FMask->Patterns();
}

// ---- Links --------------------------------------------------------------------------------

void TScCustomShellList::SetShellTree(TScCustomShellTree* Tree) {
  if (Tree == FShellTree) return;
  if (FShellTree) RemoveFreeNotification(FShellTree);
  FShellTree = Tree;
  if (FShellTree) FreeNotification(FShellTree);
}

void TScCustomShellList::SetShellCombo(TComponent* Combo) {
  if (Combo == FShellCombo) return;
  if (FShellCombo) RemoveFreeNotification(FShellCombo);
  FComboLink = Combo ? dynamic_cast<IScShellComboLink*>(Combo) : nullptr;
  FShellCombo = FComboLink ? Combo : nullptr;
  if (FShellCombo) FreeNotification(FShellCombo);
}

void TScCustomShellList::Notification(TComponent* Component, TOperation Operation) {
  TScCustomListView::Notification(Component, Operation);
  if (Operation != opRemove) return;
  if (Component == FShellTree) FShellTree = nullptr;
  if (Component == FShellCombo) {
    FShellCombo = nullptr;
    FComboLink = nullptr;
  }
}

void TScCustomShellList::FolderChanged(TObject*) {
  if (FSyncDepth <= 0) {
    ++FSyncDepth;
    try {
      if (FShellTree)
        FShellTree->SelectPidl(FFolder->Pidl());
      else if (FComboLink)
        FComboLink->ComboLocator()->SetPidl(FFolder->Pidl());
      Fill();
    } catch (...) {
      --FSyncDepth;
      throw;
    }
    --FSyncDepth;
  }
  OnFolderChanged(this);
}

void TScCustomShellList::TreeChanged(TTreeNode* Node) {
  if (!Node || !Node->Selected() || IsLoading()) return;
  auto* data = dynamic_cast<TScShTreeData*>(static_cast<TObject*>(Node->Data()));
  if (data) FFolder->SetPidl(data->AbsolutePidl());
}

void TScCustomShellList::GoUp(int Levels) {
  if (HasOption(scsloFixedFolder)) return;
  if (FShellTree) {
    FShellTree->SelectAncestor(Levels);
    return;
  }
  if (FComboLink) {
    FComboLink->ComboGoUp(Levels);
    return;
  }
  TScIdListArray ids(FFolder->Pidl());
  if (ids.Count() >= 1) FFolder->SetPidl(ids.ParentPidl(std::min(Levels, ids.Count())));
}

void TScCustomShellList::FlushPending(bool Linked) {
  if (Linked) {
    if (FComboLink) FComboLink->ComboFlushPending(false);
    if (FShellTree) FShellTree->FlushPending(false);
  }
  if (FRefreshTimer->Enabled()) RefreshTimer(FRefreshTimer);
}

TScShListData* TScCustomShellList::ItemData(TListItem* Item) const {
  if (!Item || !Item->Data()) return nullptr;
  return dynamic_cast<TScShListData*>(static_cast<TObject*>(Item->Data()));
}

TScShListData* TScCustomShellList::ItemData(int Index) const {
  return ItemData(Items()->Item(Index));
}

TScShListData* TScCustomShellList::SelectedData() const { return ItemData(Selected()); }

void TScCustomShellList::DeviceChange(TObject*, TMessage& Message) {
  DWORD event = DWORD(Message.WParam);
  if (event != kDbtDeviceArrival && event != kDbtDeviceRemoveComplete) return;
  ValidateMyComputer();
  LockMyComputerValidation();
  try {
    if (GetSpecialFolderId(FFolder->Pidl()) == CSIDL_DRIVES) Fill();
  } catch (...) {
    UnlockMyComputerValidation();
    throw;
  }
  UnlockMyComputerValidation();
}

// ---- Filling ------------------------------------------------------------------------------

void TScCustomShellList::Fill() {
  if (!HandleAllocated()) return;
  if (Busy()) {
    FRefreshPending = true;
    return;
  }
  FRefreshPending = false;
  {
    TScHourglass hourglass;
    ClearSelection();
    Items()->BeginUpdate();
    try {
      Items()->Clear();
      ComPtr<IShellFolder> folder;
      HRESULT hr = GetShellFolder(FFolder->Pidl(), folder.put());
      if (FAILED(hr) || !folder) OleError(FAILED(hr) ? hr : E_FAIL);
      BuildMaskFilter();
      try {
        FillItems(folder.get(), FFolder->Pidl());
      } catch (...) {
        FreeMaskFilter();
        throw;
      }
      FreeMaskFilter();
    } catch (...) {
      Items()->EndUpdate();
      throw;
    }
    Items()->EndUpdate();
  }
  if (HasOption(scsloDynamicRefresh) && !Designing()) StartWatching();
}

void TScCustomShellList::FillItems(IShellFolder* Folder, LPCITEMIDLIST FolderPidl) {
  Items()->BeginUpdate();
  TScNoCriticalErrors noBoxes;
  OnFillStart(this);
  LPITEMIDLIST previousPidl = FFolderPidl;
  ComPtr<IShellFolder> previousFolder = FCurrentFolder;
  std::vector<TScShListData*> found;
  auto freeFound = [&found] {
    for (auto* d : found) delete d;
    found.clear();
  };
  try {
    FFolderPidl = CopyPidl(nullptr, FolderPidl);
    FCurrentFolder = ComPtr<IShellFolder>(Folder);
    FDetails.Reset();
    FDetailsAsked = false;
    IShellDetails* details = DetailsSource();
    SetupColumns(details);

    DWORD flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
    if (HasOption(scsloShowHidden)) flags |= SHCONTF_INCLUDEHIDDEN;
    ComPtr<IEnumIDList> en;
    HRESULT hr = Folder->EnumObjects(OwnerWindow(), flags, en.put());
    if (SUCCEEDED(hr) && en) {
      found.reserve(500);
      LPITEMIDLIST id = nullptr;
      ULONG fetched = 0;
      while ((hr = en->Next(1, &id, &fetched)) == S_OK && fetched == 1) {
        if (found.size() == found.capacity()) found.reserve(found.size() + 500);
        auto* data = new TScShListData(this);
        data->SetRelativePidl(id);
        found.push_back(data);
        id = nullptr;
      }
      if (hr == S_FALSE || hr == kNoMoreItems) {
        SetAllocBy(int(found.size()));
        FPendingDetails = details != nullptr;
        for (size_t i = 0; i < found.size(); ++i) {
          TScShListData* data = found[i];
          found[i] = nullptr;
          DWORD attributes = 0;
          if (ShouldAddItem(FFolderPidl, data->RelativePidl(), attributes))
            AddItemWithData(data, attributes, true);
          else
            delete data;
        }
        found.clear();
        Resort();
        if (Items()->Count() > 0) Items()->Item(0)->SetFocused(true);
      } else if (hr == E_FAIL) {
        freeFound();  // ends silently with what was there
      } else {
        freeFound();
        OleError(hr);
      }
    }
  } catch (...) {
    freeFound();
    // The previous folder comes back.
    if (FFolderPidl != previousPidl) ShellFree(FFolderPidl);
    FFolderPidl = previousPidl;
    FCurrentFolder = previousFolder;
    FDetails.Reset();
    FDetailsAsked = false;
    Items()->EndUpdate();
    OnFillComplete(this);
    throw;
  }
  ShellFree(previousPidl);
  Items()->EndUpdate();
  OnFillComplete(this);
}

bool TScCustomShellList::ShouldAddItem(LPCITEMIDLIST FolderPidl, LPCITEMIDLIST RelativeId,
                                       DWORD& Attributes) {
  Attributes = kShouldAddRequest;
  if (FCurrentFolder)
    FCurrentFolder->GetAttributesOf(1, &RelativeId, reinterpret_cast<ULONG*>(&Attributes));
  bool accept = HasOption(scsloVirtualFolders) ||
                (Attributes & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)) != 0;
  if (accept && HasOption(scsloHideTreeFolders) && FShellTree &&
      (Attributes & (SFGAO_FOLDER | SFGAO_FILESYSTEM)) == (SFGAO_FOLDER | SFGAO_FILESYSTEM))
    accept = false;
  return accept && AcceptItem(FCurrentFolder.get(), FolderPidl, Attributes, RelativeId);
}

bool TScCustomShellList::AcceptItem(IShellFolder* Folder, LPCITEMIDLIST FolderPidl,
                                    DWORD Attributes, LPCITEMIDLIST RelativeId) {
  bool accept = true;
  if (FMask->Active() && !(Attributes & SFGAO_FOLDER)) {
    std::string name;
    GetDisplayNameOf(Folder, RelativeId, 2, name);
    size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    accept = MatchesMask(name, Attributes);
  }
  if (accept && OnAddItem) OnAddItem(this, Folder, accept, Attributes, RelativeId, FolderPidl);
  return accept;
}

void TScCustomShellList::AddNewShellItem(LPCITEMIDLIST FolderPidl, LPITEMIDLIST RelativeId) {
  try {
    DWORD attributes = 0;
    if (ShouldAddItem(FolderPidl, RelativeId, attributes)) {
      auto* data = new TScShListData(this);
      data->SetRelativePidl(RelativeId);
      RelativeId = nullptr;
      FPendingDetails = DetailsSource() != nullptr;
      AddItemWithData(data, attributes);
    } else {
      ShellFree(RelativeId);
    }
  } catch (...) {
    MessageDlg("Exception in AddNewShellItem", mtError, MsgButtons({mbOK}), 0);
    throw;
  }
}

TListItem* TScCustomShellList::AddItemWithData(TScShListData* Data, DWORD Attributes, bool Front) {
  FPendingData = Data;
  FPendingAttributes = Attributes;
  TListItem* item = nullptr;
  try {
    item = Front ? Items()->Insert(0) : Items()->Add();
  } catch (...) {
    if (FPendingData) {
      delete FPendingData;
      FPendingData = nullptr;
    }
    throw;
  }
  TakePending(item);  // when the base did not go through InsertItem
  return item;
}

void TScCustomShellList::InsertItem(TListItem* Item) {
  TakePending(Item);
  TScCustomListView::InsertItem(Item);
}

void TScCustomShellList::TakePending(TListItem* Item) {
  if (!FPendingData || !Item) return;
  Item->SetData(static_cast<TObject*>(FPendingData));
  FPendingData = nullptr;
  if (FPendingAttributes & SFGAO_SHARE)
    Item->SetOverlayIndex(0);
  else if (FPendingAttributes & SFGAO_LINK)
    Item->SetOverlayIndex(1);
  if (FPendingAttributes & SFGAO_HIDDEN) Item->SetCut(true);
  int extra = FPendingDetails ? std::max(0, Columns()->Count() - 1) : 3;
  for (int i = 0; i < extra; ++i) Item->SubItems()->Add("");
  Item->SetCaptionCallback();
  Item->SetImageIndex(I_IMAGECALLBACK);
}

void TScCustomShellList::BuildMaskFilter() { FMask->Build(FFolder->Path()); }
void TScCustomShellList::FreeMaskFilter() { FMask->Free(); }
bool TScCustomShellList::MatchesMask(const std::string& Name, DWORD Attributes) const {
  return FMask->Matches(Name, Attributes);
}

void TScCustomShellList::Refresh() {
  if (Busy()) {
    FRefreshPending = true;
    return;
  }
  if (Items()->Count() == 0 || !FCurrentFolder) {
    Fill();
    return;
  }
  FRefreshPending = false;
  TScHourglass hourglass;
  OnFillStart(this);
  BuildMaskFilter();
  try {
    TScPidlList oldList;
    if (PidlToPath(FFolderPidl).empty()) oldList.SetFolder(FCurrentFolder.get());
    oldList.SetDuplicates(dupAccept);
    for (int i = 0; i < Items()->Count(); ++i) {
      TListItem* item = Items()->Item(i);
      if (auto* data = ItemData(item)) oldList.AddObject(data->RelativePidl(), item);
    }
    oldList.SetSorted(true);

    TScPidlList newList;
    newList.SetAllocator(GetShellMalloc());
    DWORD flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
    if (HasOption(scsloShowHidden)) flags |= SHCONTF_INCLUDEHIDDEN;
    ComPtr<IEnumIDList> en;
    if (SUCCEEDED(FCurrentFolder->EnumObjects(OwnerWindow(), flags, en.put())) && en) {
      TScNoCriticalErrors noBoxes;
      LPITEMIDLIST id = nullptr;
      ULONG fetched = 0;
      while (en->Next(1, &id, &fetched) == S_OK && fetched == 1) {
        newList.Add(id);
        id = nullptr;
      }
    }
    for (int i = newList.Count() - 1; i >= 0; --i) {
      int index = 0;
      if (oldList.Find(newList.Items(i), index)) {
        oldList.Delete(index);
        newList.Delete(i);
      }
    }
    Items()->BeginUpdate();
    try {
      for (int i = 0; i < oldList.Count(); ++i)
        static_cast<TListItem*>(oldList.Objects(i))->Delete();
      SetAllocBy(newList.Count());
      FPendingDetails = DetailsSource() != nullptr;
      for (int i = 0; i < newList.Count(); ++i)
        AddNewShellItem(FFolderPidl, CopyPidl(nullptr, newList.Items(i)));
    } catch (...) {
      Items()->EndUpdate();
      throw;
    }
    Items()->EndUpdate();
  } catch (...) {
    FreeMaskFilter();
    SetAllocBy(kDefaultAllocBy);
    throw;
  }
  FreeMaskFilter();
  OnFillComplete(this);
  SetAllocBy(kDefaultAllocBy);
}

// ---- Columns ------------------------------------------------------------------------------

void TScCustomShellList::SetupColumns(IShellDetails* Details) {
  if (Columns()->Count() > 0 && FSharedWidths) SaveColumnWidths(Columns());
  Columns()->Clear();
  if (Details)
    SetupDetailsColumns(Details);
  else
    SetupFileColumns();
  UpdateHeaderArrows();
  int key = FSortKey;
  if (std::abs(key) > Columns()->Count()) key = 1;
  SetSortKey(key);
}

void TScCustomShellList::SetupFileColumns() {
  AddFileColumns(Columns());
  FColumnMode = 2;
  FSharedWidths = true;
}

void TScCustomShellList::SetupDetailsColumns(IShellDetails* Details) {
  bool fileSystem = !PidlToPath(FFolderPidl).empty();
  AddDetailsColumns(Columns(), Details, fileSystem);
  FSharedWidths = fileSystem;
  FColumnMode = 1;
}

// ---- Sorting ------------------------------------------------------------------------------

void TScCustomShellList::SetSortKey(int Key) {
  SetSortColumn(std::abs(Key) - 1);
  SetSortDescending(Key >= 0);
  FHeaderSort = true;
  if (Key != FSortKey) {
    FSortKey = Key;
    Resort();
  }
}

int TScCustomShellList::SortCompare(LPARAM A, LPARAM B, LPARAM Self) {
  auto* list = reinterpret_cast<TScCustomShellList*>(Self);
  TScShListData* a = list->ItemData(reinterpret_cast<TListItem*>(A));
  TScShListData* b = list->ItemData(reinterpret_cast<TListItem*>(B));
  if (!a || !b || !list->FCurrentFolder) return 0;
  HRESULT hr = list->FCurrentFolder->CompareIDs(LPARAM(std::abs(list->FSortKey) - 1),
                                                a->RelativePidl(), b->RelativePidl());
  if (FAILED(hr)) return 0;
  int r = short(WORD(DWORD(hr) & 0xFFFF));
  return list->FSortKey < 0 ? -r : r;
}

void TScCustomShellList::Resort() {
  if (Items()->Count() < 2) return;
  if (FSortKey == 0)
    AlphaSort();
  else
    CustomSort(&TScCustomShellList::SortCompare, LPARAM(this));
}

void TScCustomShellList::ColClick(TListColumn* Column) {
  FHeaderSort = false;
  TScCustomListView::ColClick(Column);
  if (FHeaderSort || !Column) return;
  int index = Column->Index();
  if (index == std::abs(FSortKey) - 1)
    SetSortKey(-FSortKey);
  else
    SetSortKey(index + 1);
}

// ---- Watching and refresh timer -----------------------------------------------------------

void TScCustomShellList::StartWatching() {
  FRefreshTimer->SetEnabled(false);
  if (FChangeThread)
    FChangeThread->ClearWatches();
  else
    FChangeThread = new TChangeHandlerThread(Handle(), WM_FOLDERCHANGE);
  std::string path = FFolder->Path();
  if (path.empty()) return;
  int slot = -1;
  FChangeThread->AddWatch(path, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, slot,
                          false);
}

void TScCustomShellList::RefreshTimer(TObject*) {
  FRefreshTimer->SetEnabled(false);
  ++FSyncDepth;
  try {
    FlushPending(true);
  } catch (...) {
    --FSyncDepth;
    throw;
  }
  --FSyncDepth;
  Refresh();
}

bool TScCustomShellList::IsNetworkFolder() {
  std::string path = PidlToPath(FFolderPidl);
  return path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
}

// ---- Window -------------------------------------------------------------------------------

void TScCustomShellList::Loaded() {
  TScCustomListView::Loaded();
  if (!FInCreateWnd && HasOption(scsloAutoFill) && Items()->Count() == 0 && HandleAllocated())
    PostMessage(Handle(), WM_DEFERREDFILL, 0, 0);
}

ComPtr<IDropTarget> TScCustomShellList::CreateListDropTarget() {
  return ComPtr<IDropTarget>(new TDropTarget_shlv(this));
}

ComPtr<IDataObject> TScCustomShellList::CreateSelectionDataObject() {
  std::vector<TScShListData*> selected;
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (item->Selected())
      if (TScShListData* data = ItemData(item)) selected.push_back(data);
  }
  return ComPtr<IDataObject>(new TDataObject_shlv(this, selected));
}

void TScCustomShellList::CreateWnd() {
  FInCreateWnd = true;
  try {
    TScCustomListView::CreateWnd();
  } catch (...) {
    FInCreateWnd = false;
    throw;
  }
  FInCreateWnd = false;
  FWindowGone = false;
  if (!Designing() && HasOption(scsloOleDrop)) {
    FDropTarget = CreateListDropTarget();
    if (FDropTarget && FAILED(RegisterDragDrop(Handle(), FDropTarget.get()))) FDropTarget.Reset();
  }
  if (HasOption(scsloAutoFill) && Items()->Count() == 0)
    PostMessage(Handle(), WM_DEFERREDFILL, 0, 0);
}

void TScCustomShellList::WindowGoing() {
  if (!FWindowGone) {
    FWindowGone = true;
    if (Columns()->Count() > 0 && FSharedWidths) SaveColumnWidths(Columns());
  }
  delete FChangeThread;
  FChangeThread = nullptr;
  FRefreshTimer->SetEnabled(false);
  if (FDropTarget) {
    RevokeDragDrop(Handle());
    FDropTarget.Reset();
  }
}

void TScCustomShellList::DestroyWnd() {
  // The window's last widths, watcher and drop target go before the base takes the
  // window down (whether or not WM_DESTROY comes through here).
  if (HandleAllocated()) WindowGoing();
  ++FSyncDepth;
  try {
    ClearSelection();
    Items()->Clear();
  } catch (...) {
    --FSyncDepth;
    throw;
  }
  --FSyncDepth;
  FInDestroyWnd = true;
  try {
    TScCustomListView::DestroyWnd();
  } catch (...) {
    FInDestroyWnd = false;
    throw;
  }
  FInDestroyWnd = false;
}

void TScCustomShellList::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_FOLDERCHANGE:
      if (FSelfChange || FDragging) {
        FSelfChange = false;
        return;
      }
      FRefreshTimer->SetEnabled(false);
      FRefreshTimer->SetInterval(Focused() ? ScFocusedRefreshDelay : ScUnfocusedRefreshDelay);
      FRefreshTimer->SetEnabled(true);
      return;
    case WM_EDITNEWITEM:
      EditNewItem();
      return;
    case WM_DEFERREDFILL:
      if (Items()->Count() == 0) Fill();
      return;
    case WM_SHELLBROWSER: {
      ComPtr<IUnknown> explorer;
      if (SUCCEEDED(SHGetInstanceExplorer(explorer.put())) && explorer) {
        void* browser = nullptr;
        if (SUCCEEDED(explorer->QueryInterface(IID_IShellBrowser, &browser)))
          Message.Result = LRESULT(browser);
      }
      return;
    }
    case CN_NOTIFY:
      CnNotify(Message);
      return;
    case WM_DESTROY:
      WindowGoing();
      break;
    case kWmWindowPosChanged:
      if (FInDestroyWnd) return;
      break;
    case WM_RBUTTONUP:
      if (DragStarted()) {
        SetDragStarted(false);
        // Past the base's right-button handling on purpose: a right drag's release is no
        // click, and its menu-shown mark keeps the context menu that follows closed.
        TCustomListView::WndProc(Message);  // NOLINT(bugprone-parent-virtual-call)
        return;
      }
      break;
    case WM_LBUTTONDBLCLK:
      TScCustomListView::WndProc(Message);
      if (HasOption(scsloDefaultKeyHandling) && !IsEditing() && !Designing()) OpenSelection();
      return;
    case WM_MOUSEWHEEL: {
      int delta = short(HIWORD(DWORD(Message.WParam)));
      TPoint pos{short(LOWORD(DWORD(Message.LParam))), short(HIWORD(DWORD(Message.LParam)))};
      TShiftState shift = KeyboardShiftState();
      bool handled = delta < 0 ? DoMouseWheelDown(shift, pos) : DoMouseWheelUp(shift, pos);
      if (!handled) TScCustomListView::WndProc(Message);
      return;
    }
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
    case WM_MENUSELECT:
      TScCustomListView::WndProc(Message);
      FCommands->MenuMessage(Message);
      return;
    default:
      break;
  }
  TScCustomListView::WndProc(Message);
}

void TScCustomShellList::CnNotify(TMessage& Message) {
  auto* header = reinterpret_cast<NMHDR*>(Message.LParam);
  int code = int(header->code);
  if (code == LVN_GETDISPINFOA) {
    HandleGetDispInfo(reinterpret_cast<NMLVDISPINFOA*>(Message.LParam));
    return;
  }
  if ((code == LVN_BEGINDRAG || code == LVN_BEGINRDRAG) && HasOption(scsloOleDrag)) {
    BeginOleDrag(code == LVN_BEGINDRAG ? 0 : 1);
    return;
  }
  TScCustomListView::WndProc(Message);
}

void TScCustomShellList::HandleGetDispInfo(NMLVDISPINFOA* Info) {
  LVITEMA& it = Info->item;
  TListItem* item = Items()->Item(it.iItem);
  if (!item) return;
  TScShListData* data = ItemData(item);
  if ((it.mask & LVIF_TEXT) && it.pszText && it.cchTextMax > 0) {
    std::string text;
    if (it.iSubItem > 0) {
      int n = it.iSubItem;
      if (item->SubItems()->Count() >= n) {
        text = item->SubItems()->Strings(n - 1);
        if (text.empty() && data) text = data->ColumnText(n);
      }
    } else {
      if (item->Caption().empty() && data) item->SetCaption(data->DisplayName());
      text = item->Caption();
    }
    ViewSupport::CopyText(text, it.pszText, it.cchTextMax);
  }
  if ((it.mask & LVIF_IMAGE) && it.iSubItem == 0) {
    if (OnGetImageIndex) GetImageIndex(item);
    if (item->ImageIndex() < 1 && data)
      it.iImage = GetPidlIconIndex(data->AbsolutePidl(), SHGFI_SMALLICON);
    else
      it.iImage = item->ImageIndex();
  }
}

TScCustomDraw* TScCustomShellList::DoCustomDraw(NMCUSTOMDRAW* Notification, LRESULT* Result) {
  TScCustomDraw* draw = TScCustomListView::DoCustomDraw(Notification, Result);
  if (!OnCustomDrawShEx && !OnCustomDrawSh) return draw;
  DWORD stage = Notification->dwDrawStage;
  TListItem* item = nullptr;
  TScShListData* data = nullptr;
  if (stage & CDDS_ITEM) {
    item = Items()->Item(int(Notification->dwItemSpec));
    data = ItemData(item);
  }
  if (!draw) draw = CreateCustomDraw(Notification, Result);
  OnCustomDrawShEx(this, draw, item, data);
  if (stage == CDDS_ITEMPREPAINT) OnCustomDrawSh(this, draw, item, data);
  draw->Apply();
  if (stage == CDDS_PREPAINT || stage == CDDS_ITEMPREPAINT) *Result |= CDRF_NOTIFYITEMDRAW;
  return draw;
}

// ---- Items ----------------------------------------------------------------------------

void TScCustomShellList::Delete(TListItem* Item) {
  TScShListData* data = ItemData(Item);
  FDragDrop->ItemGone(Item);
  if (!data) {
    TScCustomListView::Delete(Item);
    return;
  }
  OnDeleteItem(this, Item, data);
  Item->SetData(nullptr);
  TScCustomListView::Delete(Item);
  delete data;
}

bool TScCustomShellList::CanEdit(TListItem* Item) {
  TScShListData* data = ItemData(Item);
  if (!data) return TScCustomListView::CanEdit(Item);
  return data->CanRename() && TScCustomListView::CanEdit(Item) && !Designing();
}

void TScCustomShellList::Edit(const LVITEMA& Item) {
  TListItem* item = Items()->Item(Item.iItem);
  TScShListData* data = ItemData(item);
  if (!data) {
    TScCustomListView::Edit(Item);
    return;
  }
  FCommands->Rename(item, data, Item.pszText);
}

void TScCustomShellList::EditNewItem() { FCommands->EditNewItem(); }

// ---- The shown folder's UI objects -----------------------------------------------------

std::vector<LPCITEMIDLIST> TScCustomShellList::SelectedIds() const {
  std::vector<LPCITEMIDLIST> ids;
  for (int i = 0; i < Items()->Count(); ++i) {
    TListItem* item = Items()->Item(i);
    if (!item->Selected()) continue;
    if (TScShListData* data = ItemData(item)) ids.push_back(data->RelativePidl());
  }
  return ids;
}

HRESULT TScCustomShellList::GetSelectionUIObject(REFIID riid, void** Object) {
  *Object = nullptr;
  std::vector<LPCITEMIDLIST> ids = SelectedIds();
  if (ids.empty() || !FCurrentFolder) return E_FAIL;
  return FCurrentFolder->GetUIObjectOf(OwnerWindow(), UINT(ids.size()), ids.data(), riid, nullptr,
                                       Object);
}

HRESULT TScCustomShellList::GetItemUIObject(TListItem* Item, REFIID riid, void** Object) {
  *Object = nullptr;
  TScShListData* data = ItemData(Item);
  if (!data || !FCurrentFolder) return E_INVALIDARG;
  LPCITEMIDLIST id = data->RelativePidl();
  return FCurrentFolder->GetUIObjectOf(OwnerWindow(), 1, &id, riid, nullptr, Object);
}

HRESULT TScCustomShellList::FolderUIObject(REFIID riid, void** Object) {
  return GetPidlUIObject(FFolderPidl, riid, Object);
}

// ---- Commands ---------------------------------------------------------------------------

void TScCustomShellList::ShowItemContextMenu(TPoint P) { FCommands->ShowContextMenu(P); }
void TScCustomShellList::SendToEntry(int Index) { FCommands->SendTo(Index); }

void TScCustomShellList::KeyDown(WORD& Key, TShiftState Shift) {
  TScCustomListView::KeyDown(Key, Shift);
  if (Key == 0 || !HasOption(scsloDefaultKeyHandling) || IsEditing() || Designing()) return;
  FCommands->KeyDown(Key, Shift);
}

void TScCustomShellList::KeyPress(char& Key) {
  if (HasOption(scsloDefaultKeyHandling) && !IsEditing() && !Designing() &&
      FCommands->KeyPress(Key))
    return;
  TScCustomListView::KeyPress(Key);
}

bool TScCustomShellList::WantsKey(WORD Key) const {
  if (TScCustomListView::WantsKey(Key)) return true;
  if (!HasOption(scsloDefaultKeyHandling) || Designing()) return false;
  if (IsEditing()) return true;
  if (Key == VK_RETURN) {
    TScShListData* data = ItemData(Selected());
    return data && data->IsFolder();
  }
  return false;
}

void TScCustomShellList::PopupItemMenu(TPoint P) {
  if (HasOption(scsloContextMenus) && !Designing() && !FDragging) {
    ShowItemContextMenu(P);
    return;
  }
  TScCustomListView::PopupItemMenu(P);
}

// ---- Drag and drop ----------------------------------------------------------------------

void TScCustomShellList::BeginOleDrag(int Button) { FDragDrop->BeginDrag(Button); }
HRESULT TScCustomShellList::DragEnter(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FDragDrop->DragEnter(Data, KeyState, Pt, Effect);
}
HRESULT TScCustomShellList::DragOver(DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FDragDrop->DragOver(KeyState, Pt, Effect);
}
HRESULT TScCustomShellList::DragLeave() { return FDragDrop->DragLeave(); }
HRESULT TScCustomShellList::Drop(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FDragDrop->Drop(Data, KeyState, Pt, Effect);
}

// ---- Mouse wheel ----------------------------------------------------------------------

bool TScCustomShellList::MouseWheel(bool Down, TShiftState Shift, TPoint MousePos) {
  TWinControl* form = ParentForm();
  TWinControl* under = form ? ControlAtScreen(form, MousePos) : nullptr;
  if (under && under != this) {
    if (auto* other = dynamic_cast<TScCustomShellList*>(under))
      return Down ? other->DoMouseWheelDown(Shift, MousePos)
                  : other->DoMouseWheelUp(Shift, MousePos);
  }
  bool vertical = ViewStyle() != vsList;
  return ScrollByWheel(this, vertical, Down ? kSbLineDown : kSbLineUp,
                       Down ? kSbPageDown : kSbPageUp);
}

bool TScCustomShellList::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  return MouseWheel(true, Shift, MousePos);
}

bool TScCustomShellList::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  return MouseWheel(false, Shift, MousePos);
}
