#include "shellcontrols/UScShellTree.h"

#include <functional>

#include "platform/forms/Forms.h"
#include "platform/forms/HintWindow.h"
#include "platform/forms/Screen.h"
#include "platform/shell/ChangeNotify.h"
#include "platform/shell/Drives.h"
#include "platform/shell/FileInfo.h"
#include "platform/system/Clock.h"
#include "platform/system/SystemInfo.h"
#include "shellcontrols/UScShellDataObjects.h"
#include "shellcontrols/UScShellTreeCommands.h"
#include "shellcontrols/UScShellTreeDragDrop.h"

using namespace win;

namespace {

constexpr int SB_HORZ = 0, SB_VERT = 1;
constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2,
              SB_PAGEDOWN = 3;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr DWORD DBT_DEVICEARRIVAL = 0x8000, DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr DWORD AddItemAttributes = 0xF20B0000;

bool Designing(const TComponent* c) { return c->ComponentState() & csDesigning; }

TPoint PointOf(LPARAM lp) { return {short(lp & 0xFFFF), short((lp >> 16) & 0xFFFF)}; }

int CALLBACK_CompareNodes(LPARAM a, LPARAM b, LPARAM data) {
  auto* tree = reinterpret_cast<TScCustomShellTree*>(data);
  TScShTreeData* d1 = tree->NodeData(reinterpret_cast<TTreeNode*>(a));
  TScShTreeData* d2 = tree->NodeData(reinterpret_cast<TTreeNode*>(b));
  if (!d1 || !d2) return 0;
  try {
    ComPtr<IShellFolder> folder = d1->ParentFolder();
    if (!folder) return 0;
    HRESULT hr = folder->CompareIDs(0, d1->RelativePidl(), d2->RelativePidl());
    if (FAILED(hr)) return 0;
    return short(hr & 0xFFFF);
  } catch (const Exception&) {
    return 0;
  }
}

}  // namespace

struct TScCustomShellTree::TLock {
  explicit TLock(TScCustomShellTree* t) : T(t) { ++T->FLockCount; }
  ~TLock() { --T->FLockCount; }
  TScCustomShellTree* T;
};

void TScCustomShellTree::DefineProps(TPropList&) {}

void TScShellTree::DefineProps(TPropList& p) {
  p.Object("BaseFolder", &TScCustomShellTree::BaseFolder);
  p.Set("Options", &TScCustomShellTree::Options, &TScCustomShellTree::SetOptions,
        {"scstoAutoFill", "scstoVirtualFolders", "scstoDesignInteractive",
         "scstoDefaultKeyHandling", "scstoContextMenus", "scstoDynamicRefresh",
         "scstoIncludeNonFolders", "scstoOleDrag", "scstoOleDrop", "scstoShowHidden"},
        ScShellTreeDefaultOptions);
  p.Event("OnAddItem", &TScCustomShellTree::OnAddItem);
  p.Event("OnDeleteItem", &TScCustomShellTree::OnDeleteItem);
  p.Event("OnInsertItem", &TScCustomShellTree::OnInsertItem);
  p.Event("OnPopupHint", &TScCustomShellTree::OnPopupHint);
  p.Event("OnCustomDrawSh", &TScCustomShellTree::OnCustomDrawSh);
  p.Event("OnCustomDrawShEx", &TScCustomShellTree::OnCustomDrawShEx);
  p.Event("OnFillComplete", &TScCustomShellTree::OnFillComplete);
  p.Event("OnFillStart", &TScCustomShellTree::OnFillStart);
  p.Event("OnNodeContextMenu", &TScCustomTreeView::OnNodeContextMenu);
}

WI_REGISTER_CLASS(TScShellTree);

// ---- Life ----------------------------------------------------------------------------------

TScCustomShellTree::TScCustomShellTree(TComponent* Owner)
    : TScCustomTreeView(Owner),
      FBaseFolder(new TScShellLocator),
      FSelectedFolder(new TScShellLocator),
      FDragDrop(std::make_unique<TScShellTreeDragDrop>(*this)),
      FCommands(std::make_unique<TScShellTreeCommands>(*this)) {
  StartShellControlsUnit();
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->OnTimer = [this](TObject* s) { TimerHandler(s); };
  FBaseFolder->OnChange = [this](TObject* s) { BaseFolderChanged(s); };
  FSelectedFolder->OnChange = [this](TObject* s) { SelectedFolderChanged(s); };
  SetShowRoot(false);
  UpdateDragDropStyle();
  FImages = std::make_unique<TCustomImageList>(nullptr);
  FImages->SetWidth(16);
  FImages->SetHeight(16);
  FImages->SetShareImages(true);
  FImages->SetHandle(GetSystemImageList(0));
  SetImages(FImages.get());
  DeviceChangeHandler()->Register<TScCustomShellTree, &TScCustomShellTree::DeviceChange>(this);
}

TScCustomShellTree::~TScCustomShellTree() {
  DeviceChangeHandler()->Unregister<TScCustomShellTree, &TScCustomShellTree::DeviceChange>(this);
  FDragDrop->RevokeTarget();
  FDragDrop.reset();
  FChangeThread.reset();
  // The base class drops its nodes without events: the data goes here.
  for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext())
    if (NodeData(n)) n->SetData(nullptr);
  for (const TScShTreeData* d : FShellData) delete d;
  FShellData.clear();
  SetImages(nullptr);
}

void TScCustomShellTree::Loaded() {
  if (HasOption(scstoAutoFill) && !FLinkedCombo) {
    if (Items()->Count() == 0) Fill();
    if (FShellList) FShellList->FollowerFolder()->Assign(FSelectedFolder.get());
  }
  FLoading = -1;
  try {
    TScCustomTreeView::Loaded();
  } catch (...) {
    FLoading = 0;
    throw;
  }
  FLoading = 0;
}

void TScCustomShellTree::Notification(TComponent* C, TOperation Op) {
  TScCustomTreeView::Notification(C, Op);
  if (Op != opRemove) return;
  if (FShellList && FShellList->FollowerComponent() == C) FShellList = nullptr;
  if (FLinkedCombo && FLinkedCombo->FollowerComponent() == C) FLinkedCombo = nullptr;
}

void TScCustomShellTree::CreateWnd() {
  TScCustomTreeView::CreateWnd();
  if (HasOption(scstoOleDrop) && !Designing(this)) FDragDrop->RegisterTarget();
  if (!IsLoading()) {
    if (HasOption(scstoAutoFill) && Items()->Count() == 0)
      PostMessage(Handle(), WM_SCDEFERREDFILL, 0, 0);
    if (FShellList) FShellList->FollowerFolder()->Assign(FSelectedFolder.get());
  }
}

void TScCustomShellTree::DestroyWnd() {
  FWindowDestroying = 1;
  try {
    Items()->BeginUpdate();
    {
      TLock lock(this);
      SetSelected(nullptr);
      Items()->Clear();
    }
    Items()->EndUpdate();
    FDragDrop->RevokeTarget();
    TScCustomTreeView::DestroyWnd();
  } catch (...) {
    FWindowDestroying = 0;
    throw;
  }
  FWindowDestroying = 0;
}

// ---- Properties ----------------------------------------------------------------------------

void TScCustomShellTree::SetBaseFolder(TScShellLocator* Value) {
  if (IsLoading()) return;
  FBaseFolder->Assign(Value);
}

void TScCustomShellTree::SetSelectedFolder(TScShellLocator* Value) {
  if (IsLoading() || FLockCount > 0) {
    if (FShellList) FShellList->FollowerFolder()->Assign(FSelectedFolder.get());
    return;
  }
  FSelectedFolder->Assign(Value);
}

void TScCustomShellTree::SetShellList(IScShellTreeFollower* Value) {
  if (Value == FShellList) return;
  IScShellTreeFollower* old = FShellList;
  FShellList = Value;
  if (old) {
    old->SetShellTree(nullptr);
    old->FollowerComponent()->RemoveFreeNotification(this);
  }
  if (Value) {
    Value->SetShellTree(this);
    Value->FollowerComponent()->FreeNotification(this);
    Value->FollowerFolder()->Assign(FSelectedFolder.get());
  }
}

void TScCustomShellTree::SetLinkedCombo(IScShellTreeFollower* Value) {
  if (Value == FLinkedCombo) return;
  if (FLinkedCombo) FLinkedCombo->FollowerComponent()->RemoveFreeNotification(this);
  FLinkedCombo = Value;
  if (Value) Value->FollowerComponent()->FreeNotification(this);
}

void TScCustomShellTree::SetOptions(TScShellTreeOptions Value) {
  Value &= 0xFFFF;
  const TScShellTreeOptions old = FOptions;
  FOptions = Value;
  if (HandleAllocated()) {
    if ((old ^ Value) & ScOpt(scstoOleDrop)) {
      if (Value & ScOpt(scstoOleDrop))
        FDragDrop->RegisterTarget();
      else
        FDragDrop->RevokeTarget();
    }
    if (((old ^ Value) & ScOpt(scstoDynamicRefresh)) && !Designing(this)) {
      if (Value & ScOpt(scstoDynamicRefresh))
        StartChangeWatching();
      else if (FChangeThread)
        FChangeThread->ClearWatches();
    }
  }
  UpdateDragDropStyle();
}

void TScCustomShellTree::UpdateDragDropStyle() {
  // The toolkit has no automatic drag mode: only the OLE drag option counts.
  SetStyle(TVS_DISABLEDRAGDROP, !HasOption(scstoOleDrag));
}

std::string TScCustomShellTree::SelectedPath() {
  TScShTreeData* d = NodeData(Selected());
  return d ? d->Path() : std::string();
}

TScShTreeData* TScCustomShellTree::NodeData(TTreeNode* Node) const {
  if (!Node) return nullptr;
  auto* d = static_cast<const TScShTreeData*>(Node->Data());
  if (!d || !FShellData.count(d)) return nullptr;
  return const_cast<TScShTreeData*>(d);
}

TTreeNode* TScCustomShellTree::FirstShellRootNode() const {
  for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->getNextSibling())
    if (IsShellNode(n)) return n;
  return nullptr;
}

HWND TScCustomShellTree::OwnerWindow() { return GetOwnerFormWindow(this); }

LPITEMIDLIST TScCustomShellTree::NodeAbsolutePidl(TTreeNode* Node) {
  TScShTreeData* d = NodeData(Node);
  return d ? d->AbsolutePidl() : nullptr;
}

DWORD TScCustomShellTree::EnumFlags() const {
  DWORD f = SHCONTF_FOLDERS;
  if (HasOption(scstoShowHidden)) f |= SHCONTF_INCLUDEHIDDEN;
  if (HasOption(scstoIncludeNonFolders)) f |= SHCONTF_NONFOLDERS;
  return f;
}

// ---- Filling -------------------------------------------------------------------------------

void TScCustomShellTree::Fill() {
  if (FBusy || IsEditing()) {
    FRefreshPending = 1;
    return;
  }
  TScHourglass hourglass;
  {
    TLock lock(this);
    SetSelected(nullptr);
    Items()->Clear();
  }
  ComPtr<IShellFolder> folder;
  if (LPITEMIDLIST base = FBaseFolder->Pidl())
    OleCheck(GetShellFolder(base, folder.put()));
  else
    OleCheck(GetDesktopFolder(folder.put()));
  FillNode(folder.get(), nullptr);
  FProgramSelection = -1;
  if (LPITEMIDLIST sel = FSelectedFolder->Pidl()) {
    SelectPidl(sel);
  } else if (TTreeNode* first = Items()->Item(0)) {
    first->SetSelected(true);
  }
  FProgramSelection = 0;
  FlushPending(false);
  if (HasOption(scstoDynamicRefresh) && !Designing(this) && HandleAllocated())
    StartChangeWatching();
}

void TScCustomShellTree::FillNode(IShellFolder* Folder, TTreeNode* Node) {
  DoFillStart();
  struct TComplete {
    TScCustomShellTree* T;
    ~TComplete() { T->DoFillComplete(); }
  } complete{this};
  if (!Folder) return;
  const bool rootFill = Node == nullptr;
  LPITEMIDLIST absolute = nullptr;
  if (Node) {
    absolute = NodeAbsolutePidl(Node);
  } else {
    LPITEMIDLIST base = FBaseFolder->Pidl();
    LPITEMIDLIST forIcon = CopyPidl(nullptr, base);  // the empty list for the desktop
    std::string text;
    int image = 0, selected = 0;
    try {
      GetPidlDisplayName(forIcon, text);
      image = GetPidlIconIndex(forIcon, SHGFI_SMALLICON);
      selected = GetPidlIconIndex(forIcon, SHGFI_SMALLICON | SHGFI_OPENICON);
    } catch (...) {
      ShellFree(forIcon);
      throw;
    }
    ShellFree(forIcon);
    auto* data = new TScShTreeData(this);
    data->Init(nullptr, base);
    data->SetOwnFolder(Folder);
    FShellData.insert(data);
    Node = Items()->AddObject(nullptr, text, data);
    Node->SetImageIndex(image);
    Node->SetSelectedIndex(selected);
    DoInsertItem(Node);
    absolute = data->AbsolutePidl();
  }
  ComPtr<IEnumIDList> list;
  if (FAILED(Folder->EnumObjects(OwnerWindow(), EnumFlags(), list.put())) || !list) {
    Node->SetHasChildren(true);  // tried again on the next expansion
    return;
  }
  HRESULT hr;
  for (;;) {
    LPITEMIDLIST id = nullptr;
    ULONG fetched = 0;
    hr = list->Next(1, &id, &fetched);
    if (hr != S_OK) {
      ShellFree(id);
      break;
    }
    HRESULT added;
    try {
      added = AddItem(Folder, absolute, id, Node);
    } catch (...) {
      ShellFree(id);
      throw;
    }
    ShellFree(id);
    OleCheck(added);
  }
  if (Node->Count() == 0) Node->SetHasChildren(false);
  if (hr != S_FALSE) {
    if (hr == E_FAIL) {
      Node->SetHasChildren(true);  // a drive without media stays expandable
      return;
    }
    OleError(hr);
  }
  SortChildren(Node);
  if (rootFill) Node->Expand(false);
}

HRESULT TScCustomShellTree::AddItem(IShellFolder* Folder, LPCITEMIDLIST ParentAbsolute,
                                    LPCITEMIDLIST RelativeId, TTreeNode* ParentNode) {
  if (!RelativeId) return S_OK;
  ULONG attrs = AddItemAttributes;
  HRESULT hr = Folder->GetAttributesOf(1, &RelativeId, &attrs);
  if (FAILED(hr)) return hr;
  if (!HasOption(scstoVirtualFolders) && !(attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
    return S_OK;
  if (!DoAddItem(Folder, ParentAbsolute, RelativeId, attrs)) return S_OK;
  std::string text = GetItemDisplayName(Folder, RelativeId, SHGDN_INFOLDER);
  auto* data = new TScShTreeData(this);
  data->Init(NodeData(ParentNode), RelativeId);
  FShellData.insert(data);
  TTreeNode* node;
  try {
    node = Items()->AddChildObject(ParentNode, text, data);
  } catch (...) {
    FShellData.erase(data);
    delete data;
    throw;
  }
  const bool hasChildren =
      HasOption(scstoIncludeNonFolders)
          ? (attrs & (SFGAO_FOLDER | SFGAO_HASSUBFOLDER)) != 0
          : (attrs & (SFGAO_FOLDER | SFGAO_HASSUBFOLDER)) == (SFGAO_FOLDER | SFGAO_HASSUBFOLDER);
  node->SetHasChildren(hasChildren);
  // The system image list holds the share overlay as 1 and the shortcut overlay as 2.
  if (attrs & SFGAO_SHARE)
    node->SetOverlayIndex(1);
  else if (attrs & SFGAO_LINK)
    node->SetOverlayIndex(2);
  if (attrs & SFGAO_HIDDEN) node->SetCut(true);
  node->SetImageIndex(0);
  node->SetSelectedIndex(0);
  DoInsertItem(node);
  return S_OK;
}

bool TScCustomShellTree::DoAddItem(IShellFolder* Folder, LPCITEMIDLIST ParentAbsolute,
                                   LPCITEMIDLIST RelativeId, DWORD Attributes) {
  bool allow = true;
  OnAddItem(this, Folder, ParentAbsolute, RelativeId, Attributes, allow);
  return allow;
}

void TScCustomShellTree::DoInsertItem(TTreeNode* Node) {
  FLastInserted = Node;
  OnInsertItem(this, Node);
}

void TScCustomShellTree::GetImageIndex(TTreeNode* Node) {
  if (TScShTreeData* d = NodeData(Node); d && Node->ImageIndex() == 0) {
    LPITEMIDLIST abs = d->AbsolutePidl();
    LPITEMIDLIST forIcon = CopyPidl(nullptr, abs);
    Node->SetImageIndex(GetPidlIconIndex(forIcon, SHGFI_SMALLICON));
    ShellFree(forIcon);
  }
  TScCustomTreeView::GetImageIndex(Node);
}

void TScCustomShellTree::GetSelectedIndex(TTreeNode* Node) {
  if (TScShTreeData* d = NodeData(Node); d && Node->SelectedIndex() == 0) {
    LPITEMIDLIST forIcon = CopyPidl(nullptr, d->AbsolutePidl());
    Node->SetSelectedIndex(GetPidlIconIndex(forIcon, SHGFI_SMALLICON | SHGFI_OPENICON));
    ShellFree(forIcon);
  }
  TScCustomTreeView::GetSelectedIndex(Node);
}

void TScCustomShellTree::SortChildren(TTreeNode* Node) {
  if (Node)
    Node->CustomSort(&CALLBACK_CompareNodes, LPARAM(this), false);
  else
    CustomSort(&CALLBACK_CompareNodes, LPARAM(this), true);
}

bool TScCustomShellTree::CanExpand(TTreeNode* Node) {
  if (FLoading) return false;
  const bool allowed = TScCustomTreeView::CanExpand(Node);
  if (allowed) FillOnExpand(Node);
  return allowed;
}

void TScCustomShellTree::FillOnExpand(TTreeNode* Node) {
  TScShTreeData* d = NodeData(Node);
  if (!d || Node->Count() > 0 || !Node->HasChildren()) return;
  TScHourglass hourglass;
  ComPtr<IShellFolder> folder = d->ShellFolder();
  if (!folder) return;
  FillNode(folder.get(), Node);
}

TTreeNode* TScCustomShellTree::FindChildNode(TTreeNode* Node, LPCITEMIDLIST RelativeId) {
  TScShTreeData* d = NodeData(Node);
  if (!d || !RelativeId) return nullptr;
  ComPtr<IShellFolder> folder = d->ShellFolder();
  if (!folder) return nullptr;
  for (TTreeNode* c = Node->GetFirstChild(); c; c = c->getNextSibling()) {
    TScShTreeData* cd = NodeData(c);
    if (cd && folder->CompareIDs(0, cd->RelativePidl(), RelativeId) == 0) return c;
  }
  return nullptr;
}

// ---- Selection -----------------------------------------------------------------------------

void TScCustomShellTree::SelectPidl(LPCITEMIDLIST AbsolutePidl) {
  if (FLockCount > 0) return;
  FProgramSelection = -1;
  TScIdListArray base(FBaseFolder->Pidl());
  TScIdListArray target(AbsolutePidl);
  const int baseCount = FBaseFolder->Pidl() ? base.Count() : 0;
  const int targetCount = AbsolutePidl ? target.Count() : 0;
  TTreeNode* root = FirstShellRootNode();
  Items()->BeginUpdate();
  struct TEnd {
    TTreeNodes* N;
    ~TEnd() { N->EndUpdate(); }
  } end{Items()};
  if (!root) return;
  if (targetCount == 0) {
    root->SetSelected(true);
    return;
  }
  if (targetCount <= baseCount) {
    root->SetSelected(true);
    root->Expand(false);
    return;
  }
  root->Expand(false);
  TTreeNode* node = root;
  for (int i = baseCount; i < targetCount; ++i) {
    LPITEMIDLIST id = CopyPidl(nullptr, target.ItemId(i));
    TTreeNode* child = FindChildNode(node, id);
    if (!child) {
      TScShTreeData* d = NodeData(node);
      ComPtr<IShellFolder> folder = d->ShellFolder();
      FLastInserted = nullptr;
      HRESULT hr = folder ? AddItem(folder.get(), d->AbsolutePidl(), id, node) : E_FAIL;
      if (FAILED(hr) || !FLastInserted || FLastInserted->Parent() != node) {
        ShellFree(id);
        MessageBeep(UINT(-1));
        break;
      }
      child = FLastInserted;
    }
    ShellFree(id);
    node = child;
    const bool last = i == targetCount - 1;
    if (!last || (FShellList && FShellList->HideTreeFolders())) node->Expand(false);
  }
  node->SetSelected(true);
  node->MakeVisible();
}

void TScCustomShellTree::SyncSelection(TTreeNode* Node) {
  TLock lock(this);
  FSelectedFolder->SetPidl(NodeAbsolutePidl(Node));
  if (FShellList) FShellList->TreeChanged(Node);
  if (FLinkedCombo) FLinkedCombo->TreeChanged(Node);
}

void TScCustomShellTree::Change(TTreeNode* Node) {
  if (!IsShellNode(Node)) {
    TScCustomTreeView::Change(Node);
    return;
  }
  if (FLockCount > 0 || IsLoading()) {
    TLock lock(this);
    FSelectedFolder->SetPidl(NodeAbsolutePidl(Node));
    return;
  }
  TScCustomTreeView::Change(Node);
  if (FProgramSelection || !FShellList) {
    SyncSelection(Node);
    FProgramSelection = 0;
  } else {
    FTimer->SetEnabled(false);
    FTimer->SetTag(1);
    FTimer->SetInterval(ScSelectionFollowDelay);
    FTimer->SetEnabled(true);
  }
}

void TScCustomShellTree::TimerHandler(TObject*) {
  FTimer->SetEnabled(false);
  const int tag = FTimer->Tag();
  FTimer->SetTag(0);
  if (tag == 1) {
    if (TTreeNode* sel = Selected(); IsShellNode(sel)) SyncSelection(sel);
  } else if (tag == 2) {
    Refresh();
  }
}

void TScCustomShellTree::FlushPending(bool Linked) {
  if (Linked) {
    if (FShellList) FShellList->FlushPending(false);
    if (FLinkedCombo) FLinkedCombo->FlushPending(false);
  }
  if (FTimer->Enabled()) TimerHandler(FTimer);
}

void TScCustomShellTree::SelectedFolderChanged(TObject*) {
  if (Items()->Count() > 0) SelectPidl(FSelectedFolder->Pidl());
}

void TScCustomShellTree::BaseFolderChanged(TObject*) {
  if (IsLoading()) return;
  {
    TLock lock(this);
    FSelectedFolder->Clear();
  }
  if (HasOption(scstoAutoFill)) {
    FProgramSelection = -1;
    Fill();
  }
}

void TScCustomShellTree::SelectAncestor(int Levels) {
  TTreeNode* node = Selected();
  if (!node || !node->Parent()) return;
  for (int i = 0; i < Levels && node->Parent(); ++i) node = node->Parent();
  FProgramSelection = -1;
  node->SetSelected(true);
}

// ---- Refresh -------------------------------------------------------------------------------

void TScCustomShellTree::Refresh() {
  if (FBusy || IsEditing()) {
    FRefreshPending = 1;
    return;
  }
  if (Items()->Count() == 0) {
    Fill();
    return;
  }
  TScHourglass hourglass;
  Items()->BeginUpdate();
  struct TEnd {
    TScCustomShellTree* T;
    ~TEnd() {
      T->Items()->EndUpdate();
      T->DoFillComplete();
    }
  };
  DoFillStart();
  TEnd end{this};
  TTreeNode* remembered = Selected();
  {
    TLock lock(this);
    SetSelected(nullptr);
    std::vector<TTreeNode*> tops;
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->getNextSibling()) tops.push_back(n);
    for (TTreeNode* n : tops)
      if (IsShellNode(n)) Merge(n, remembered);
  }
  FProgramSelection = -1;
  if (remembered) remembered->SetSelected(true);
  FProgramSelection = 0;
}

void TScCustomShellTree::Merge(TTreeNode* Node, TTreeNode*& Remembered) {
  if (!(Node->Count() > 0 || !Node->HasChildren())) return;
  TScShTreeData* d = NodeData(Node);
  if (!d) return;
  ComPtr<IShellFolder> folder = d->ShellFolder();
  if (!folder) return;
  TScPidlList old;
  old.SetFolder(folder.get());
  old.SetDuplicates(dupAccept);
  for (TTreeNode* c = Node->GetFirstChild(); c; c = c->getNextSibling())
    if (TScShTreeData* cd = NodeData(c)) old.AddObject(cd->RelativePidl(), c);
  old.Sort();
  TScPidlList fresh;
  fresh.SetAllocator(GetShellMalloc());
  ComPtr<IEnumIDList> list;
  if (SUCCEEDED(folder->EnumObjects(OwnerWindow(), EnumFlags(), list.put())) && list) {
    for (;;) {
      LPITEMIDLIST id = nullptr;
      ULONG fetched = 0;
      if (list->Next(1, &id, &fetched) != S_OK) {
        ShellFree(id);
        break;
      }
      fresh.Add(id);
    }
  }
  for (int i = fresh.Count() - 1; i >= 0; --i) {
    int index;
    if (old.Find(fresh.Items(i), index)) {
      fresh.Delete(i);
      old.Delete(index);
    }
  }
  for (int i = old.Count() - 1; i >= 0; --i) {
    auto* gone = static_cast<TTreeNode*>(old.Objects(i));
    if (Remembered && (Remembered == gone || Remembered->HasAsParent(gone)))
      Remembered = gone->Parent();
    old.Delete(i);
    gone->Delete();
  }
  bool added = false;
  LPITEMIDLIST absolute = d->AbsolutePidl();
  for (int i = 0; i < fresh.Count(); ++i)
    if (SUCCEEDED(AddItem(folder.get(), absolute, fresh.Items(i), Node))) added = true;
  if (added) SortChildren(Node);
  std::vector<TTreeNode*> children;
  for (TTreeNode* c = Node->GetFirstChild(); c; c = c->getNextSibling()) children.push_back(c);
  for (TTreeNode* c : children) Merge(c, Remembered);
}

// ---- Renaming and new folders --------------------------------------------------------------

bool TScCustomShellTree::CanEdit(TTreeNode* Node) {
  TScShTreeData* d = NodeData(Node);
  if (!d) return TScCustomTreeView::CanEdit(Node);
  return d->CanRename() && TScCustomTreeView::CanEdit(Node) && !Designing(this);
}

void TScCustomShellTree::Edit(const TVITEMA& Item) {
  TTreeNode* node = Items()->GetNode(Item.hItem);
  TScShTreeData* d = NodeData(node);
  if (!d) {
    TScCustomTreeView::Edit(Item);
    return;
  }
  if (!Item.pszText) return;  // cancelled
  std::string text = Item.pszText;
  OnEdited(this, node, text);
  FCommands->Rename(node, d, text);
}

bool TScCustomShellTree::CreateNewFolder(bool) { return FCommands->CreateNewFolder(); }

void TScCustomShellTree::Delete(TTreeNode* Node) {
  TScShTreeData* d = NodeData(Node);
  if (FLastInserted == Node) FLastInserted = nullptr;
  if (FDraggedNode == Node) FDraggedNode = nullptr;
  if (d) OnDeleteItem(this, Node, d);
  TScCustomTreeView::Delete(Node);
  if (d) {
    FShellData.erase(d);
    Node->SetData(nullptr);
    delete d;
  }
}

// ---- Change watching -----------------------------------------------------------------------

void TScCustomShellTree::StartChangeWatching() {
  if (!FChangeThread)
    FChangeThread = std::make_unique<TChangeHandlerThread>(Handle(), WM_SCCHANGENOTIFY);
  FChangeThread->ClearWatches();
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    std::string root = "?:\\";
    root[0] = char('A' + i);
    const UINT type = GetDriveType(root);
    if (type == DRIVE_FIXED || type == DRIVE_REMOTE || type == DRIVE_RAMDISK) WatchDrive(root);
  }
}

void TScCustomShellTree::WatchDrive(const std::string& Path) {
  if (!FChangeThread)
    FChangeThread = std::make_unique<TChangeHandlerThread>(Handle(), WM_SCCHANGENOTIFY);
  if (Path.empty()) {
    FChangeThread->ClearWatches();
    return;
  }
  std::string root = IncludeTrailingChar(Path.substr(0, 2), '\\');
  DWORD filter = FILE_NOTIFY_CHANGE_DIR_NAME;
  if (HasOption(scstoIncludeNonFolders)) filter |= FILE_NOTIFY_CHANGE_FILE_NAME;
  int slot = -1;
  FChangeThread->AddWatch(root, filter, slot, true);
}

void TScCustomShellTree::ChangeNotified() {
  if (FIgnoreNextNotification || FBusy) {
    FIgnoreNextNotification = 0;
    return;
  }
  FTimer->SetEnabled(false);
  FTimer->SetTag(2);
  FTimer->SetInterval(Focused() ? ScFocusedRefreshDelay : ScUnfocusedRefreshDelay);
  FTimer->SetEnabled(true);
}

void TScCustomShellTree::DeviceChange(TObject*, TMessage& Message) {
  if (Message.WParam != DBT_DEVICEARRIVAL && Message.WParam != DBT_DEVICEREMOVECOMPLETE) return;
  ValidateMyComputer();
  LockMyComputerValidation();
  try {
    Refresh();
  } catch (...) {
    UnlockMyComputerValidation();
    throw;
  }
  UnlockMyComputerValidation();
}

// ---- Keys, verbs and the context menu ------------------------------------------------------

bool TScCustomShellTree::WantsKey(WORD Key) const {
  return IsEditing() || TScCustomTreeView::WantsKey(Key);
}

void TScCustomShellTree::KeyDown(WORD& Key, TShiftState Shift) {
  TScCustomTreeView::KeyDown(Key, Shift);
  if (IsEditing() || Designing(this) || !HasOption(scstoDefaultKeyHandling)) return;
  FCommands->KeyDown(Key, Shift);
}

HRESULT TScCustomShellTree::InvokeVerb(TTreeNode* Node, const std::string& Verb) {
  return FCommands->InvokeVerb(Node, Verb);
}

void TScCustomShellTree::DoNodeContextMenu(TTreeNode* Node, TPoint& Pos, TPopupMenu*& Menu) {
  TScCustomTreeView::DoNodeContextMenu(Node, Pos, Menu);
  if (HasOption(scstoContextMenus) && !Designing(this) && Node) {
    ShowNodeContextMenu(Node, Pos);
    Menu = nullptr;
  }
}

void TScCustomShellTree::ShowNodeContextMenu(TTreeNode* Node, TPoint Pos) {
  FCommands->ShowContextMenu(Node, Pos);
}

void TScCustomShellTree::SendToItem(TTreeNode* Node, int Index) { FCommands->SendTo(Node, Index); }

// ---- OLE drag and drop ---------------------------------------------------------------------

IDropSource* TScCustomShellTree::CreateDropSource(int Button) {
  return new TDropSource_shlvtv(Button);
}

DWORD TScCustomShellTree::GetAllowedEffects(TTreeNode* Node) {
  return FDragDrop->AllowedEffects(Node);
}
void TScCustomShellTree::BeginOleDrag(int Button) { FDragDrop->BeginDrag(Button); }
HRESULT TScCustomShellTree::DragEnter(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FDragDrop->DragEnter(Data, KeyState, Pt, Effect);
}
HRESULT TScCustomShellTree::DragOver(DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FDragDrop->DragOver(KeyState, Pt, Effect);
}
HRESULT TScCustomShellTree::DragLeave() { return FDragDrop->DragLeave(); }
HRESULT TScCustomShellTree::Drop(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FDragDrop->Drop(Data, KeyState, Pt, Effect);
}
void TScCustomShellTree::DragScroll(TPoint ClientPt) { FDragDrop->Scroll(ClientPt); }

// ---- Mouse wheel ---------------------------------------------------------------------------

bool TScCustomShellTree::WheelToOther(bool Down, TShiftState Shift, TPoint MousePos,
                                      bool& Handled) {
  TWinControl* top = this;
  while (top->Parent()) top = top->Parent();
  TWinControl* under = ControlAtScreen(top, MousePos);
  if (!under || under == this) return false;
  if (auto* tree = dynamic_cast<TScCustomShellTree*>(under)) {
    Handled =
        Down ? tree->DoMouseWheelDown(Shift, MousePos) : tree->DoMouseWheelUp(Shift, MousePos);
    return true;
  }
  if (auto* list = dynamic_cast<TScCustomListView*>(under)) {
    const short delta = Down ? -120 : 120;
    list->Perform(WM_MOUSEWHEEL, WPARAM(WORD(delta)) << 16,
                  MAKELPARAM(WORD(MousePos.x), WORD(MousePos.y)));
    Handled = true;
    return true;
  }
  return false;
}

bool TScCustomShellTree::DoMouseWheelDown(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (WheelToOther(true, Shift, MousePos, handled) && handled) return true;
  return ScrollByWheel(this, true, SB_LINEDOWN, SB_PAGEDOWN);
}

bool TScCustomShellTree::DoMouseWheelUp(TShiftState Shift, TPoint MousePos) {
  bool handled = false;
  if (WheelToOther(false, Shift, MousePos, handled) && handled) return true;
  return ScrollByWheel(this, true, SB_LINEUP, SB_PAGEUP);
}

// ---- Custom draw ---------------------------------------------------------------------------

TScCustomDraw* TScCustomShellTree::DoCustomDraw(NMCUSTOMDRAW* Notification, LRESULT* Result) {
  TScCustomDraw* cd = CreateCustomDraw(Notification, Result);
  TTreeNode* node = (Notification->dwDrawStage & CDDS_ITEM)
                        ? Items()->GetNode(HTREEITEM(Notification->dwItemSpec))
                        : nullptr;
  try {
    DoCustomDrawSh(cd, node, NodeData(node));
    cd->Apply();
  } catch (...) {
    delete cd;
    throw;
  }
  if (Notification->dwDrawStage & CDDS_PREPAINT)
    *Result |= CDRF_NOTIFYITEMDRAW;  // item pre-paint too
  return cd;
}

void TScCustomShellTree::DoCustomDrawSh(TScCustomDraw* CD, TTreeNode* Node, TScShTreeData* Data) {
  OnCustomDrawShEx(this, CD, Node, Data);
  if (CD->Stage() == 4) OnCustomDrawSh(this, CD, Node, Data);
}

// ---- Messages ------------------------------------------------------------------------------

void TScCustomShellTree::CnNotify(TMessage& M) {
  auto* hdr = reinterpret_cast<NMHDR*>(M.LParam);
  const int code = int(hdr->code);
  if (code == NM_CLICK) {
    FProgramSelection = -1;
  } else if ((code == TVN_BEGINDRAGA || code == TVN_BEGINRDRAGA) && HasOption(scstoOleDrag)) {
    FDragDrop->NodeDragged(*reinterpret_cast<NMTREEVIEWA*>(M.LParam),
                           code == TVN_BEGINDRAGA ? 0 : 1);
    return;
  }
  TScCustomTreeView::WndProc(M);
}

void TScCustomShellTree::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_SCCHANGENOTIFY:
      ChangeNotified();
      return;
    case WM_SCDEFERREDFILL:
      if (Items()->Count() == 0) Fill();
      return;
    case CM_WANTSPECIALKEY:
      if (IsEditing()) {
        M.Result = 1;
        return;
      }
      break;
    case CM_DESIGNHITTEST:
      if (HasOption(scstoDesignInteractive)) {
        const TPoint p = PointOf(M.LParam);
        const THitTests hit = GetHitTestInfoAt(p.x, p.y);
        M.Result = (hit & (htOnItem | htOnButton | htOnRight)) || p.x > ClientWidth() ? 1 : 0;
        return;
      }
      break;
    case CN_NOTIFY:
      CnNotify(M);
      return;
    case TVM_DELETEITEM:
      if (HTREEITEM(M.LParam) == TVI_ROOT || M.LParam == 0) {
        TLock lock(this);
        TScCustomTreeView::WndProc(M);
        return;
      }
      break;
    case WM_INITMENUPOPUP:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_MENUCHAR:
      TScCustomTreeView::WndProc(M);
      FCommands->MenuMessage(M);
      return;
    case WM_MENUSELECT:
      TScCustomTreeView::WndProc(M);
      if (FCommands->ContextMenu() && OnPopupHint)
        ShowMenuHint(FCommands->ContextMenu(), M,
                     [this](const std::string& s) { OnPopupHint(this, s); });
      return;
    case WM_NCDESTROY: {
      {
        TLock lock(this);
        FDragDrop->RevokeTarget();
        FChangeThread.reset();
      }
      TScCustomTreeView::WndProc(M);
      return;
    }
    case WM_WINDOWPOSCHANGED:
      if (FWindowDestroying) return;
      break;
    case WM_PAINT: {
      HIMAGELIST h = FImages->HandleAllocated() ? FImages->Handle() : nullptr;
      if (!h) break;
      const COLORREF saved = ImageList_GetBkColor(h);
      ImageList_SetBkColor(h, ColorToRGB(Color()));
      try {
        TScCustomTreeView::WndProc(M);
      } catch (...) {
        ImageList_SetBkColor(h, saved);
        throw;
      }
      ImageList_SetBkColor(h, saved);
      return;
    }
    case WM_MOUSEWHEEL: {
      const short delta = short((M.WParam >> 16) & 0xFFFF);
      const TPoint p = PointOf(M.LParam);
      if (delta < 0 ? DoMouseWheelDown(0, p) : DoMouseWheelUp(0, p)) {
        M.Result = 0;
        return;
      }
      break;
    }
    default:
      break;
  }
  TScCustomTreeView::WndProc(M);
}

TDropTarget_shtv* TScCustomShellTree::RegisteredDropTarget() const {
  return FDragDrop->RegisteredTarget();
}
