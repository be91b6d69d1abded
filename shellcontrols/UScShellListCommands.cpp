#include "shellcontrols/UScShellListCommands.h"

#include <functional>

#include "platform/system/Files.h"

using namespace win;

namespace {
// Carries out the default command of the items' shell menu (nothing when no menu can be
// built for them).
void InvokeMenuDefault(HWND owner, IShellFolder* folder, UINT Count, const LPCITEMIDLIST* Ids) {
  IContextMenu* menu = nullptr;
  HMENU popup = nullptr;
  try {
    if (FAILED(CreateItemContextMenu(owner, folder, Count, Ids, CMF_EXPLORE, 1000, &menu, &popup)))
      return;
  } catch (const Exception&) {
    return;  // a menu that cannot be built leaves the action undone
  }
  UINT def = GetMenuDefaultItem(popup, FALSE, 0);
  try {
    if (def != 0xFFFFFFFF && def >= 1000) InvokeContextMenuCommand(owner, menu, def - 1000);
  } catch (...) {
    DestroyMenu(popup);
    menu->Release();
    throw;
  }
  DestroyMenu(popup);
  menu->Release();
}
}  // namespace

// --- The list's own opening and verbs ---------------------------------------------------------

void TScCustomShellList::OpenItem(TListItem* Item) {
  FlushPending(true);
  TScShListData* data = ItemData(Item);
  if (!data) {
    bool handled = false;
    OnDefaultAction(this, handled);
    return;
  }
  TScHourglass hourglass;
  ULONG attributes = SFGAO_FOLDER;
  LPCITEMIDLIST id = data->RelativePidl();
  if (FCurrentFolder) FCurrentFolder->GetAttributesOf(1, &id, &attributes);
  if (attributes & SFGAO_FOLDER) {
    // Opening clears the items, and the item data with them.
    LPITEMIDLIST target = CopyPidl(nullptr, data->AbsolutePidl());
    try {
      OpenFolder(target);
    } catch (...) {
      ShellFree(target);
      throw;
    }
    ShellFree(target);
    return;
  }
  if (!data->IsShortcut() || !OpenShortcut(data)) {
    bool handled = false;
    OnDefaultAction(this, handled);
    if (!handled) InvokeDefault(Item);
  }
}

void TScCustomShellList::OpenFolder(LPCITEMIDLIST AbsolutePidl) {
  if (HasOption(scsloFixedFolder)) return;
  Items()->BeginUpdate();
  try {
    ClearSelection();
    Items()->Clear();
  } catch (...) {
    Items()->EndUpdate();
    throw;
  }
  Items()->EndUpdate();
  if (FShellTree) {
    FShellTree->SelectedFolder()->SetPidl(AbsolutePidl);
    return;
  }
  if (FComboLink) {
    FComboLink->ComboLocator()->SetPidl(AbsolutePidl);
    return;
  }
  FFolder->SetPidl(AbsolutePidl);
}

bool TScCustomShellList::OpenShortcut(TScShListData* Data) {
  try {
    TScShellLinkInfo info;
    if (FAILED(ReadShellLink(Data->Path(), info, false))) return false;
    DWORD attributes = info.FindData.dwFileAttributes;
    if (!attributes) {
      attributes = GetFileAttributes(info.Path);
      if (attributes == INVALID_FILE_ATTRIBUTES) attributes = 0;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    LPITEMIDLIST target = nullptr;
    if (FAILED(PathToPidl(info.Path, &target)) || !target) return false;
    try {
      OpenFolder(target);
    } catch (...) {
      ShellFree(target);
      return false;
    }
    ShellFree(target);
    return true;
  } catch (...) {
    return false;
  }
}

void TScCustomShellList::InvokeDefault(TListItem* Item) {
  TScShListData* data = ItemData(Item);
  if (!data || !FCurrentFolder) return;
  LPCITEMIDLIST id = data->RelativePidl();
  InvokeMenuDefault(OwnerWindow(), FCurrentFolder.get(), 1, &id);
}

void TScCustomShellList::OpenSelection() {
  std::vector<LPITEMIDLIST> copies;
  for (LPCITEMIDLIST id : SelectedIds()) copies.push_back(CopyPidl(nullptr, id));
  auto freeCopies = [&copies] {
    for (auto* p : copies) ShellFree(p);
    copies.clear();
  };
  try {
    if (copies.size() < 2) {
      if (TListItem* item = Selected()) OpenItem(item);
    } else {
      bool handled = false;
      OnDefaultAction(this, handled);
      if (!handled && FCurrentFolder) {
        std::vector<LPCITEMIDLIST> ids(copies.begin(), copies.end());
        InvokeMenuDefault(OwnerWindow(), FCurrentFolder.get(), UINT(ids.size()), ids.data());
      }
    }
  } catch (...) {
    freeCopies();
    throw;
  }
  freeCopies();
}

void TScCustomShellList::InvokeVerb(const std::string& Verb) {
  ComPtr<IContextMenu> menu;
  if (SUCCEEDED(GetSelectionUIObject(IID_IContextMenu, menu.put_void())) && menu) {
    try {
      InvokeContextMenuCommand(OwnerWindow(), menu.get(), Verb);
    } catch (const Exception&) {
      // a menu that cannot be built leaves the action undone
    }
  }
  if (!IsNetworkFolder()) Refresh();
}

void TScCustomShellList::InvokeFolderVerb(const std::string& Verb) {
  ComPtr<IContextMenu> menu;
  OleCheck(FolderUIObject(IID_IContextMenu, menu.put_void()));
  OleCheck(InvokeContextMenuCommand(OwnerWindow(), menu.get(), Verb));
}

// --- Keys, renaming and the context menu ----------------------------------------------------

void TScShellListCommands::KeyDown(WORD& Key, TShiftState Shift) {
  InitShellControlDefKeys();
  TShortCut sc = ShortCutOf(Key, Shift);
  auto is = [sc](TScShellControlDefKey k) { return ShellControlDefKeys[k].ShortCut == sc; };
  if (is(sckSelectAll)) {
    L.Items()->BeginUpdate();
    L.SelectAll();
    L.Items()->EndUpdate();
  } else if (is(sckRefresh)) {
    L.Fill();
  } else if (is(sckCopy)) {
    L.InvokeVerb("copy");
  } else if (is(sckCut)) {
    L.InvokeVerb("cut");
  } else if (is(sckPaste)) {
    try {
      L.InvokeFolderVerb("paste");
    } catch (...) {
      L.Refresh();
      throw;
    }
    L.Refresh();
  } else if (is(sckRename)) {
    if (TListItem* item = L.Selected()) item->EditCaption();
  } else if (is(sckDelete) || ShellControlDefKeys[sckDelete].ShortCut == TShortCut(sc & ~scShift)) {
    try {
      L.InvokeVerb("delete");
    } catch (...) {
      L.Refresh();
      throw;
    }
    L.Refresh();
  } else {
    return;
  }
  Key = 0;
}

bool TScShellListCommands::KeyPress(char& Key) {
  if (Key == char(VK_BACK)) {
    Key = 0;
    L.GoUp(1);
    return true;
  }
  if (Key == char(VK_RETURN)) {
    Key = 0;
    L.OpenSelection();
    return true;
  }
  return false;
}

void TScShellListCommands::Rename(TListItem* Item, TScShListData* Data, const char* Text) {
  L.FEndingEdit = true;
  try {
    if (Text && Text != LPSTR_TEXTCALLBACKA) {
      std::string text = Text;
      L.OnEdited(&L, Item, text);
      TScHourglass hourglass;
      L.FSelfChange = true;
      std::u16string wide;
      {
        LPOLESTR w = CoTaskStrDup(text);
        if (w) {
          for (const WCHAR* p = w; *p && wide.size() < 260; ++p) wide.push_back(char16_t(*p));
          CoTaskMemFree(w);
        }
      }
      std::vector<WCHAR> name(wide.begin(), wide.end());
      name.push_back(0);
      LPITEMIDLIST newId = nullptr;
      HRESULT hr = L.FCurrentFolder
                       ? L.FCurrentFolder->SetNameOf(L.OwnerWindow(), Data->RelativePidl(),
                                                     name.data(), 0x20, &newId)
                       : E_FAIL;
      if (SUCCEEDED(hr) && newId) {
        Data->SetRelativePidl(newId);
        Item->SetCaption(text);
      } else {
        // The shell refused: no change message will come for this rename.
        ShellFree(newId);
        L.FSelfChange = false;
      }
    }
  } catch (...) {
    L.FEndingEdit = false;
    throw;
  }
  L.FEndingEdit = false;
  if (L.FRefreshPending) L.Refresh();
}

void TScShellListCommands::EditNewItem() {
  for (int i = 0; i < L.Items()->Count(); ++i) {
    TListItem* item = L.Items()->Item(i);
    TScShListData* data = L.ItemData(item);
    if (!data || data->DisplayName() != L.FNewFolderName) continue;
    L.SetItemFocused(item);
    L.SetSelected(item);
    item->MakeVisible(false);
    item->EditCaption();
    return;
  }
}

void TScShellListCommands::ShowContextMenu(TPoint P) {
  std::vector<LPCITEMIDLIST> ids = L.SelectedIds();
  if (ids.empty() || !L.FCurrentFolder) return;
  HWND owner = L.OwnerWindow();
  ComPtr<IContextMenu> menu;
  if (FAILED(L.FCurrentFolder->GetUIObjectOf(owner, UINT(ids.size()), ids.data(), IID_IContextMenu,
                                             nullptr, menu.put_void())) ||
      !menu)
    return;
  HMENU popup = CreatePopupMenu();
  UINT flags = CMF_EXPLORE;
  TScShListData* selected = L.SelectedData();
  if (selected && !selected->Path().empty() && !L.ReadOnly()) flags |= CMF_CANRENAME;
  UINT chosen = 0;
  if (SUCCEEDED(menu->QueryContextMenu(popup, 0, 1000, 0x7FFF, flags))) {
    FContextMenu = menu.get();
    FMenuRunning = true;
    TPoint screen = ScClientToScreen(&L, P);
    try {
      chosen = UINT(TrackPopupMenu(popup, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                   L.Handle(), nullptr));
    } catch (...) {
      FContextMenu = nullptr;
      FMenuRunning = false;
      DestroyMenu(popup);
      throw;
    }
    FContextMenu = nullptr;
    FMenuRunning = false;
  }
  try {
    if (chosen == TScCustomShellList::RenameCommandId) {
      if (TListItem* item = L.Selected()) item->EditCaption();
    } else if (chosen > 999) {
      try {
        InvokeContextMenuCommand(owner, menu.get(), chosen - 1000);
      } catch (const Exception&) {
      }
      if (!L.IsNetworkFolder()) L.Refresh();
    } else if (chosen >= 1) {
      L.SendToEntry(int(chosen) - 1);
    }
  } catch (...) {
    DestroyMenu(popup);
    throw;
  }
  DestroyMenu(popup);
  if (L.FRefreshPending && !L.Busy()) L.Refresh();
}

void TScShellListCommands::SendTo(int Index) {
  TStringList* entries = SendToList();
  if (!entries || Index < 0 || Index >= entries->Count()) return;
  ComPtr<IDataObject> data = L.CreateSelectionDataObject();
  if (!data) return;
  try {
    DropOnSendToTarget(entries->Strings(Index), data.get());
  } catch (const Exception&) {
    // the entry could not take the items
  }
}

void TScShellListCommands::MenuMessage(TMessage& Message) {
  if (!FContextMenu) return;
  if (Message.Msg != WM_MENUSELECT) return SendToMenuMessage(FContextMenu, Message);
  std::function<void(const std::string&)> hint;
  if (L.OnPopupHint) hint = [this](const std::string& text) { L.OnPopupHint(&L, text); };
  ShowMenuHint(FContextMenu, Message, hint);
}
