#include "shellcontrols/UScShellTreeCommands.h"

#include "shellcontrols/UScShellDataObjects.h"

using namespace win;

namespace {
constexpr UINT RenameCommand = 1018;  // the shell's rename at offset 18 from 1000
}  // namespace

void TScShellTreeCommands::KeyDown(WORD& Key, TShiftState Shift) {
  const WORD saved = Key;
  const TShortCut sc = ShortCutOf(Key, Shift);
  Key = 0;
  InitShellControlDefKeys();
  auto is = [&](TScShellControlDefKey k, TShortCut s) {
    return s != 0 && s == ShellControlDefKeys[k].ShortCut;
  };
  TTreeNode* sel = T.Selected();
  if (saved == 0) {
    Key = saved;
  } else if (is(sckRename, sc)) {
    if (sel) sel->EditText();
  } else if (is(sckRefresh, sc)) {
    T.Refresh();
  } else if (is(sckCut, sc)) {
    T.InvokeVerb(sel, "cut");
  } else if (is(sckCopy, sc)) {
    T.InvokeVerb(sel, "copy");
  } else if (is(sckPaste, sc)) {
    T.InvokeVerb(sel, "paste");
    T.Refresh();
  } else if (is(sckDelete, sc) || is(sckDelete, TShortCut(sc & ~scShift))) {
    T.InvokeVerb(sel, "delete");
    T.Refresh();
  } else {
    Key = saved;
  }
}

HRESULT TScShellTreeCommands::InvokeVerb(TTreeNode* Node, const std::string& Verb) {
  TScShTreeData* d = T.NodeData(Node);
  if (!d || !Node->Parent()) return S_FALSE;
  ComPtr<IShellFolder> folder = d->ParentFolder();
  if (!folder) return E_FAIL;
  LPCITEMIDLIST ids[1] = {d->RelativePidl()};
  ComPtr<IContextMenu> menu;
  OleCheck(
      folder->GetUIObjectOf(T.OwnerWindow(), 1, ids, IID_IContextMenu, nullptr, menu.put_void()));
  HRESULT hr = InvokeContextMenuCommand(T.OwnerWindow(), menu.get(), Verb);
  menu.Reset();
  T.Refresh();
  return hr;
}

void TScShellTreeCommands::ShowContextMenu(TTreeNode* Node, TPoint Pos) {
  TScShTreeData* d = T.NodeData(Node);
  if (!d) return;
  ComPtr<IShellFolder> folder = d->ParentFolder();
  LPITEMIDLIST abs = d->AbsolutePidl();
  if (!folder || !abs || PidlSize(abs) <= 2) return;
  const UINT flags = T.ReadOnly() ? CMF_EXPLORE : CMF_EXPLORE | CMF_CANRENAME;
  LPCITEMIDLIST ids[1] = {d->RelativePidl()};
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  if (FAILED(
          CreateItemContextMenu(T.OwnerWindow(), folder.get(), 1, ids, flags, 1000, &menu, &popup)))
    return;
  T.FBusy = 1;
  FContextMenu = menu;
  struct TEnd {
    TScShellTreeCommands* C;
    IContextMenu* Menu;
    HMENU Popup;
    ~TEnd() {
      C->T.FBusy = 0;
      C->FContextMenu = nullptr;
      Menu->Release();
      DestroyMenu(Popup);
    }
  };
  {
    TEnd end{this, menu, popup};
    TPoint s = ScClientToScreen(&T, Pos);
    const UINT id = UINT(
        TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, s.x, s.y, 0, T.Handle(), nullptr));
    FContextMenu = nullptr;
    if (id == RenameCommand) {
      Node->EditText();
    } else if (id >= 1000) {
      InvokeContextMenuCommand(T.OwnerWindow(), menu, UINT(id - 1000));
      T.Refresh();
    } else if (id >= 1) {
      T.SendToItem(Node, int(id) - 1);
    }
  }
  if (T.FRefreshPending) {
    T.FRefreshPending = 0;
    T.Refresh();
  }
}

void TScShellTreeCommands::SendTo(TTreeNode* Node, int Index) {
  auto* data = new TDataObject_shtv(&T, Node);
  data->AddRef();
  ComPtr<IDataObject> hold = ComPtr<IDataObject>::Attach(data);
  TStringList* list = SendToList();
  if (!list || Index < 0 || Index >= list->Count()) return;
  DropOnSendToTarget(list->Strings(Index), data);
}

void TScShellTreeCommands::MenuMessage(TMessage& M) {
  if (FContextMenu) SendToMenuMessage(FContextMenu, M);
}

namespace {
void InvalidateBelow(TScCustomShellTree* Tree, TTreeNode* Node) {
  for (TTreeNode* c = Node->GetFirstChild(); c; c = c->getNextSibling()) {
    if (TScShTreeData* d = Tree->NodeData(c)) d->Invalidate();
    InvalidateBelow(Tree, c);
  }
}
}  // namespace

void TScShellTreeCommands::Rename(TTreeNode* Node, TScShTreeData* Data, const std::string& Text) {
  TScHourglass hourglass;
  T.FIgnoreNextNotification = 1;
  ++T.FLockCount;
  struct TEnd {
    TScCustomShellTree* T;
    ~TEnd() {
      --T->FLockCount;
      const bool pending = T->FRefreshPending;
      T->FRefreshPending = 0;
      if (pending) {
        try {
          T->Refresh();
        } catch (...) {
        }
      }
    }
  } end{&T};
  ComPtr<IShellFolder> folder = Data->ParentFolder();
  if (!folder) return;
  std::u16string wide = ToWide(Text.substr(0, 260));
  LPITEMIDLIST newId = nullptr;
  HRESULT hr = folder->SetNameOf(T.OwnerWindow(), Data->RelativePidl(), wide.c_str(), 0x20, &newId);
  if (FAILED(hr) || !newId) {
    ShellFree(newId);
    return;
  }
  InvalidateBelow(&T, Node);
  Data->SetRelativePidl(newId);
  ShellFree(newId);
  Node->SetText(Text);
  LPITEMIDLIST abs = Data->AbsolutePidl();
  T.FSelectedFolder->SetPidl(abs);
  if (T.FShellList) T.FShellList->FollowerFolder()->SetPidl(abs);
  if (T.FLinkedCombo) T.FLinkedCombo->FollowerFolder()->SetPidl(abs);
}

bool TScShellTreeCommands::CreateNewFolder() {
  std::string path = T.SelectedPath();
  T.FIgnoreNextNotification = 1;
  std::string name;
  if (!CreateUniqueNewFolder(path, name)) return false;
  LPITEMIDLIST sel = T.FSelectedFolder->Pidl();
  SleepWithHourglass(!sel || PidlSize(sel) <= 2 ? 2100 : 1000);
  T.Refresh();
  TTreeNode* node = T.Selected();
  if (!node) return true;
  T.FillOnExpand(node);
  node->Expand(false);
  for (TTreeNode* c = node->GetFirstChild(); c; c = c->getNextSibling()) {
    if (c->Text() == name) {
      c->EditText();
      break;
    }
  }
  return true;
}
