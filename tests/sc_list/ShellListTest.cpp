// The shell list on a form over a whole PC: C:\ with its columns and order, the mask,
// the refresh after a change on disk, opening and going up, renaming through the label
// edit, verbs from keys and the context menu, stored column widths.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/shell/Menus.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Registry.h"
#include "shellcontrols/UScShellList.h"
#include "support/PcSnapshot.h"
#include "support/TempMachine.h"
#include "support/TestFiles.h"

using namespace win;
using namespace testfiles;

namespace {

class TTestList : public TScShellList {
 public:
  using TScCustomShellList::ColClick;
  using TScCustomShellList::FillItems;
  using TScCustomShellList::KeyDown;
  using TScCustomShellList::KeyPress;
  using TScCustomShellList::SetupColumns;
  using TScCustomShellList::WantsKey;
  using TScShellList::TScShellList;
  bool Network = false;
  bool IsNetworkFolder() override { return Network; }
};

// A folder whose enumeration ends with the given code after one item.
class TFailingFolder final : public ComObjectOf<IShellFolder> {
 public:
  explicit TFailingFolder(HRESULT end) : FEnd(end) {}
  void* Find(REFIID) override { return nullptr; }
  HRESULT ParseDisplayName(HWND, IBindCtx*, LPCOLESTR, ULONG*, LPITEMIDLIST*, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT EnumObjects(HWND, DWORD, IEnumIDList** ppenum) override;
  HRESULT BindToObject(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT CompareIDs(LPARAM, LPCITEMIDLIST, LPCITEMIDLIST) override { return E_NOTIMPL; }
  HRESULT CreateViewObject(HWND, REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetAttributesOf(UINT, LPCITEMIDLIST_ARRAY, ULONG*) override { return E_NOTIMPL; }
  HRESULT GetUIObjectOf(HWND, UINT, LPCITEMIDLIST_ARRAY, REFIID, UINT*, void**) override {
    return E_NOTIMPL;
  }
  HRESULT GetDisplayNameOf(LPCITEMIDLIST, DWORD, STRRET*) override { return E_NOTIMPL; }
  HRESULT SetNameOf(HWND, LPCITEMIDLIST, LPCOLESTR, DWORD, LPITEMIDLIST*) override {
    return E_NOTIMPL;
  }
  HRESULT FEnd;
};

class TOneThenEnd final : public ComObjectOf<IEnumIDList> {
 public:
  explicit TOneThenEnd(HRESULT end) : FEnd(end) {}
  void* Find(REFIID) override { return nullptr; }
  HRESULT Next(ULONG, LPITEMIDLIST* out, ULONG* fetched) override {
    if (FGiven) {
      if (fetched) *fetched = 0;
      return FEnd;
    }
    FGiven = true;
    *out = pidl::Make({pidl::DriveItem('C')});
    if (fetched) *fetched = 1;
    return S_OK;
  }
  HRESULT Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT Reset() override { return E_NOTIMPL; }
  HRESULT Clone(IEnumIDList**) override { return E_NOTIMPL; }
  HRESULT FEnd;
  bool FGiven = false;
};

HRESULT TFailingFolder::EnumObjects(HWND, DWORD, IEnumIDList** ppenum) {
  *ppenum = new TOneThenEnd(FEnd);
  return S_OK;
}

class ShellList : public ::testing::Test {
 protected:
  TempMachine pc{MachineSettings{}, &CreateMachine};
  TForm* form = nullptr;
  TTestList* list = nullptr;

  void SetUp() override {
    clock::SetSimulated(true);
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    ColumnWidthStore.clear();
    RememberedDirectoryCols = {};
    CreateDirectory("C:\\Docs");
    CreateDirectory("C:\\alpha");
    Put("C:\\Docs\\inside.txt", "x");
    Put("C:\\b.txt", std::string(1025, 'b'));
    Put("C:\\a.TXT", "a");
    Put("C:\\c.dat", "ccc");
    form = new TForm(Application);
    form->SetBounds(0, 0, 640, 480);
    list = NewList();
  }
  void TearDown() override {
    delete form;
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  TTestList* NewList() {
    auto* l = new TTestList(form);
    l->SetParent(form);
    l->SetBounds(10, 10, 600, 400);
    l->SetViewStyle(vsReport);
    return l;
  }
  void Show(TTestList* l, const std::string& path) {
    LPITEMIDLIST p = nullptr;
    ASSERT_EQ(PathToPidl(path, &p), S_OK);
    ShowList(l, p);
    ShellFree(p);
  }
  void ShowList(TTestList* l, LPCITEMIDLIST p) {
    l->Folder()->SetPidl(p);
    l->HandleNeeded();
    UiDriver::RunUntilIdle();
  }
  // The item whose path (or, without one, display name) is given.
  TListItem* ItemOf(TTestList* l, const std::string& pathOrName) {
    for (int i = 0; i < l->Items()->Count(); ++i)
      if (TScShListData* d = l->ItemData(i);
          d && (SameText(d->Path(), pathOrName) || d->DisplayName() == pathOrName))
        return l->Items()->Item(i);
    return nullptr;
  }
  std::string Text(TTestList* l, int index, int sub = 0) {
    char buffer[300] = {};
    LVITEMA it;
    it.iSubItem = sub;
    it.pszText = buffer;
    it.cchTextMax = sizeof(buffer);
    l->Perform(LVM_GETITEMTEXTA, WPARAM(index), LPARAM(&it));
    return buffer;
  }
  std::vector<std::string> Names(TTestList* l) {
    std::vector<std::string> names;
    names.reserve(size_t(l->Items()->Count()));
    for (int i = 0; i < l->Items()->Count(); ++i) names.push_back(Text(l, i));
    return names;
  }
  int IndexOf(TTestList* l, const std::string& name) {
    auto n = Names(l);
    auto it = std::find(n.begin(), n.end(), name);
    return it == n.end() ? -1 : int(it - n.begin());
  }
  void Select(TTestList* l, const std::string& name) {
    int i = IndexOf(l, name);
    ASSERT_GE(i, 0) << name;
    l->ClearSelection();
    l->SetSelected(l->Items()->Item(i));
    l->SetItemFocused(l->Items()->Item(i));
  }
  // Enter (or Escape) in the in-place editor.
  void EndEdit(TTestList* l, bool cancel) {
    ASSERT_NE(l->EditControl(), nullptr);
    l->EditControl()->Perform(WM_KEYDOWN, cancel ? VK_ESCAPE : VK_RETURN, 0);
  }
  void Key(TTestList* l, WORD key, TShiftState shift = 0) { l->KeyDown(key, shift); }
  // Pumps real time until the change thread's message armed the refresh timer.
  bool WaitForChangeMessage(TTestList* l) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!l->RefreshTimerObject()->Enabled() && std::chrono::steady_clock::now() < end) {
      Application->ProcessMessages();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return l->RefreshTimerObject()->Enabled();
  }
};

std::vector<std::string> ColumnCaptions(TTestList* l) {
  std::vector<std::string> c;
  c.reserve(size_t(l->Columns()->Count()));
  for (int i = 0; i < l->Columns()->Count(); ++i) c.push_back(l->Columns()->Items(i)->Caption());
  return c;
}

}  // namespace

TEST_F(ShellList, ShowsCWithItsColumnsFoldersFirstAndTexts) {
  Show(list, "C:\\");
  EXPECT_EQ(ColumnCaptions(list), (std::vector<std::string>{"Nom", "Taille", "Type", "Modifié"}));
  EXPECT_EQ(list->ColumnMode(), 1);
  EXPECT_TRUE(list->SharedWidths());
  EXPECT_EQ(list->Columns()->Items(1)->Alignment(), taRightJustify);
  EXPECT_EQ(list->Columns()->Items(0)->Width(), 3 * 7);  // "Nom", an empty width store
  auto names = Names(list);
  ASSERT_GE(names.size(), 6u);
  // Folders first, each group by name without regard to case.
  int docs = IndexOf(list, "Docs"), alpha = IndexOf(list, "alpha"), a = IndexOf(list, "a.TXT"),
      b = IndexOf(list, "b.txt"), c = IndexOf(list, "c.dat");
  EXPECT_LT(alpha, docs);
  EXPECT_LT(docs, a);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_EQ(IndexOf(list, "Windows") < a, true);
  EXPECT_EQ(Text(list, b, 1), "2 Ko");  // 1025 bytes
  EXPECT_EQ(Text(list, docs, 1), "");   // folders have no size
  EXPECT_FALSE(Text(list, b, 3).empty());
  EXPECT_EQ(list->AllocBy(), int(names.size()));
  ASSERT_NE(list->ItemData(b), nullptr);
  EXPECT_EQ(list->ItemData(b)->Path(), "C:\\b.txt");
  EXPECT_EQ(list->Items()->Item(0)->Focused(), true);
}

TEST_F(ShellList, HeaderClicksReverseAndReturn) {
  Show(list, "C:\\");
  auto first = Names(list);
  EXPECT_EQ(list->SortKey(), 1);
  list->ColClick(list->Columns()->Items(0));
  EXPECT_EQ(list->SortKey(), -1);
  auto reversed = Names(list);
  EXPECT_EQ(reversed, std::vector<std::string>(first.rbegin(), first.rend()));
  list->ColClick(list->Columns()->Items(0));
  EXPECT_EQ(list->SortKey(), 1);
  EXPECT_EQ(Names(list), first);
  // Another column sorts by it ascending: by size among the files.
  list->ColClick(list->Columns()->Items(1));
  EXPECT_EQ(list->SortKey(), 2);
  EXPECT_LT(IndexOf(list, "a.TXT"), IndexOf(list, "c.dat"));
  EXPECT_LT(IndexOf(list, "c.dat"), IndexOf(list, "b.txt"));
  // A handler that sorts itself keeps its choice.
  list->OnColumnClick = [this](TObject*, TListColumn*) { list->SetSortKey(3); };
  list->ColClick(list->Columns()->Items(0));
  EXPECT_EQ(list->SortKey(), 3);
}

TEST_F(ShellList, FileMaskHidesFilesButNotFolders) {
  list->SetFileMask("*.*");
  Show(list, "C:\\");
  size_t all = Names(list).size();
  EXPECT_GE(IndexOf(list, "c.dat"), 0);
  list->SetFileMask("*.TXT");
  list->Fill();
  EXPECT_GE(IndexOf(list, "a.TXT"), 0);
  EXPECT_GE(IndexOf(list, "b.txt"), 0);
  EXPECT_EQ(IndexOf(list, "c.dat"), -1);
  EXPECT_GE(IndexOf(list, "Docs"), 0);
  EXPECT_EQ(Names(list).size(), all - 1);
  list->SetFileMask("*.dat; *.txt");
  EXPECT_EQ(list->MaskPatterns(), (std::vector<std::string>{"*.dat", "*.txt"}));
  list->Fill();
  EXPECT_EQ(Names(list).size(), all);
}

TEST_F(ShellList, RefreshesAfterAChangeOnTheSimulatedClockKeepingTheSelection) {
  Show(list, "C:\\Docs");
  ASSERT_NE(list->ChangeThread(), nullptr);
  Select(list, "inside.txt");
  TListItem* kept = list->Selected();
  Put("C:\\Docs\\new.txt", "n");
  ASSERT_TRUE(WaitForChangeMessage(list));
  EXPECT_EQ(list->RefreshTimerObject()->Interval(), 2000);  // not focused
  EXPECT_EQ(IndexOf(list, "new.txt"), -1);
  UiDriver::Advance(1999);
  EXPECT_EQ(IndexOf(list, "new.txt"), -1);
  UiDriver::Advance(1);
  EXPECT_GE(IndexOf(list, "new.txt"), 0);
  EXPECT_FALSE(list->RefreshTimerObject()->Enabled());
  // The unchanged item is the same object, still selected.
  EXPECT_EQ(list->Items()->Item(IndexOf(list, "inside.txt")), kept);
  EXPECT_TRUE(kept->Selected());

  // Focused: 400 ms; a file gone is deleted.
  form->Show();
  list->SetFocus();
  DeleteFile("C:\\Docs\\new.txt");
  ASSERT_TRUE(WaitForChangeMessage(list));
  EXPECT_EQ(list->RefreshTimerObject()->Interval(), 400);
  UiDriver::Advance(400);
  EXPECT_EQ(IndexOf(list, "new.txt"), -1);
  EXPECT_EQ(Names(list), (std::vector<std::string>{"inside.txt"}));
}

TEST_F(ShellList, EnterOpensAFolderBackspaceGoesUpAndStopsAtTheDesktop) {
  Show(list, "C:\\");
  Select(list, "Docs");
  EXPECT_TRUE(list->WantsKey(VK_RETURN));  // a folder: Enter is the list's
  char enter = '\r';
  list->KeyPress(enter);
  EXPECT_EQ(enter, 0);
  UiDriver::RunUntilIdle();
  EXPECT_EQ(list->Folder()->Path(), "C:\\Docs");
  EXPECT_EQ(Names(list), (std::vector<std::string>{"inside.txt"}));
  char back = '\b';
  list->KeyPress(back);
  EXPECT_EQ(list->Folder()->Path(), "C:\\");
  EXPECT_GE(IndexOf(list, "Docs"), 0);
  // Up to My Computer, then the desktop, where Backspace does nothing.
  list->GoUp(1);
  list->GoUp(1);
  EXPECT_EQ(list->Folder()->Pidl(), nullptr);
  back = '\b';
  list->KeyPress(back);
  EXPECT_EQ(list->Folder()->Pidl(), nullptr);
  // A fixed folder does not move.
  Show(list, "C:\\Docs");
  list->SetOptions(list->Options() | ScListOpt(scsloFixedFolder));
  back = '\b';
  list->KeyPress(back);
  EXPECT_EQ(list->Folder()->Path(), "C:\\Docs");
}

TEST_F(ShellList, OpeningAFileAsksTheDefaultActionFirst) {
  Show(list, "C:\\");
  Select(list, "b.txt");
  int asked = 0;
  list->OnDefaultAction = [&](TObject*, bool& handled) {
    ++asked;
    handled = true;
  };
  list->OpenSelection();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(list->Folder()->Path(), "C:\\");
  // Two folders selected: one action for both.
  list->ClearSelection();
  list->Items()->Item(IndexOf(list, "Docs"))->SetSelected(true);
  list->Items()->Item(IndexOf(list, "alpha"))->SetSelected(true);
  list->OpenSelection();
  EXPECT_EQ(asked, 2);
}

TEST_F(ShellList, RenameThroughTheLabelEditActsOnTheMachine) {
  Show(list, "C:\\Docs");
  Select(list, "inside.txt");
  Key(list, 113);  // F2
  ASSERT_TRUE(list->IsEditing());
  list->EditControl()->SetText("renamed.txt");
  EndEdit(list, false);
  EXPECT_FALSE(list->IsEditing());
  EXPECT_TRUE(Exists("C:\\Docs\\renamed.txt"));
  EXPECT_FALSE(Exists("C:\\Docs\\inside.txt"));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"renamed.txt"}));
  EXPECT_EQ(list->ItemData(0)->Path(), "C:\\Docs\\renamed.txt");
  // The change message of our own rename is ignored: no refresh is armed.
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_FALSE(list->RefreshTimerObject()->Enabled());

  // A name the shell refuses keeps the old caption.
  Put("C:\\Docs\\other.txt", "o");
  list->Refresh();
  Select(list, "renamed.txt");
  Key(list, 113);
  ASSERT_TRUE(list->IsEditing());
  list->EditControl()->SetText("other.txt");
  EndEdit(list, false);
  EXPECT_TRUE(Exists("C:\\Docs\\renamed.txt"));
  EXPECT_GE(IndexOf(list, "renamed.txt"), 0);
}

TEST_F(ShellList, DelAndShiftDelDeleteCopyPasteFollowTheNetworkRule) {
  Show(list, "C:\\");
  Select(list, "c.dat");
  UiScript::Expect("confirmation", "=Voulez-vous vraiment supprimer 'c.dat' ?", "no");
  Key(list, VK_DELETE);
  EXPECT_EQ(Read("C:\\c.dat"), "ccc");  // answered no
  UiScript::Expect("confirmation", "=Voulez-vous vraiment supprimer 'c.dat' ?", "yes");
  Key(list, VK_DELETE);
  EXPECT_FALSE(Exists("C:\\c.dat"));
  EXPECT_EQ(IndexOf(list, "c.dat"), -1);
  Select(list, "a.TXT");
  UiScript::Expect("confirmation", "'a.TXT'", "yes");
  Key(list, VK_DELETE, ssShift);
  EXPECT_FALSE(Exists("C:\\a.TXT"));
  EXPECT_EQ(IndexOf(list, "a.TXT"), -1);

  // Copy b.txt, open Docs, paste: the copy lands there and is listed.
  Select(list, "b.txt");
  Key(list, 'C', ssCtrl);
  Select(list, "Docs");
  list->OpenSelection();
  UiDriver::RunUntilIdle();
  Key(list, 'V', ssCtrl);
  EXPECT_TRUE(Exists("C:\\Docs\\b.txt"));
  EXPECT_GE(IndexOf(list, "b.txt"), 0);

  // On a network folder, Ctrl+C leaves the list as it is, Del still refreshes.
  list->Network = true;
  Put("C:\\Docs\\late.txt", "l");
  Select(list, "b.txt");
  Key(list, 'C', ssCtrl);
  EXPECT_EQ(IndexOf(list, "late.txt"), -1);
  Select(list, "inside.txt");
  UiScript::Expect("confirmation", "'inside.txt'", "yes");
  Key(list, VK_DELETE);
  EXPECT_FALSE(Exists("C:\\Docs\\inside.txt"));
  EXPECT_GE(IndexOf(list, "late.txt"), 0);
  EXPECT_EQ(IndexOf(list, "inside.txt"), -1);
}

TEST_F(ShellList, ContextMenuRunsVerbsAndItsRenameEditsInPlace) {
  Show(list, "C:\\");
  UINT offered = 0;
  UINT answer = 0;
  PopupMenuChooser previous = SetPopupMenuChooser([&](HMENU menu, HWND) -> UINT {
    offered = UINT(GetMenuItemCount(menu));
    return answer;
  });
  Select(list, "c.dat");
  answer = 1000 + SHCMD_DELETE;
  UiScript::Expect("confirmation", "'c.dat'", "yes");
  list->ShowItemContextMenu(TPoint{20, 20});
  EXPECT_GT(offered, 0u);
  EXPECT_FALSE(Exists("C:\\c.dat"));
  EXPECT_EQ(IndexOf(list, "c.dat"), -1);

  Select(list, "b.txt");
  answer = TScCustomShellList::RenameCommandId;
  list->ShowItemContextMenu(TPoint{20, 20});
  EXPECT_TRUE(list->IsEditing());
  EXPECT_TRUE(Exists("C:\\b.txt"));
  EndEdit(list, true);

  // Nothing selected: no menu at all.
  list->ClearSelection();
  offered = 0;
  list->ShowItemContextMenu(TPoint{20, 20});
  EXPECT_EQ(offered, 0u);
  SetPopupMenuChooser(previous);
}

TEST_F(ShellList, AnEnumerationEndingWithEFailShowsWhatCameAndRaisesNothing) {
  Show(list, "C:\\");
  ComPtr<IShellFolder> failing = ComPtr<IShellFolder>::Attach(new TFailingFolder(E_FAIL));
  list->Items()->Clear();
  EXPECT_NO_THROW(list->FillItems(failing.get(), nullptr));
  EXPECT_EQ(list->Items()->Count(), 0);  // what came before the failure is not shown
  Show(list, "C:\\Docs");
  ComPtr<IShellFolder> broken = ComPtr<IShellFolder>::Attach(new TFailingFolder(E_OUTOFMEMORY));
  EXPECT_THROW(list->FillItems(broken.get(), nullptr), EOleSysError);
  // The previous folder comes back.
  EXPECT_EQ(PidlToPath(list->CurrentFolderPidl()), "C:\\Docs");
  EXPECT_EQ(list->CurrentShellFolder() == broken.get(), false);
}

TEST_F(ShellList, DirectoryColsGiveTheFileColumnWidths) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer", 0,
                     nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  const BYTE eight[8] = {10, 0, 20, 0, 30, 0, 40, 0};
  RegSetValueEx(key, "DirectoryCols", 0, REG_BINARY, eight, 8);
  list->HandleNeeded();
  list->SetupColumns(nullptr);
  EXPECT_EQ(ColumnCaptions(list), (std::vector<std::string>{"Nom", "Taille", "Type", "Modifié"}));
  EXPECT_EQ(list->ColumnMode(), 2);
  std::vector<int> widths;
  widths.reserve(4);
  for (int i = 0; i < 4; ++i) widths.push_back(list->Columns()->Items(i)->Width());
  EXPECT_EQ(widths, (std::vector<int>{10, 20, 30, 40}));
  EXPECT_EQ(RememberedDirectoryCols.Length, 8);

  // The first list's widths at the destruction of its window go to the next list.
  list->Columns()->Items(0)->SetWidth(333);
  list->DestroyWnd();
  ASSERT_GE(ColumnWidthStore.size(), 2u);
  EXPECT_EQ(ColumnWidthStore[0], 4);
  EXPECT_EQ(ColumnWidthStore[1], 333);
  TTestList* second = NewList();
  second->HandleNeeded();
  second->SetupColumns(nullptr);
  EXPECT_EQ(second->Columns()->Items(0)->Width(), 333);
  EXPECT_EQ(second->Columns()->Items(1)->Width(), 20);

  // 24 bytes are too many: the defaults.
  BYTE big[24] = {1, 0, 2, 0, 3, 0, 4, 0};
  RegSetValueEx(key, "DirectoryCols", 0, REG_BINARY, big, 24);
  RegCloseKey(key);
  ColumnWidthStore.clear();
  TTestList* third = NewList();
  third->HandleNeeded();
  third->SetupColumns(nullptr);
  widths.clear();
  for (int i = 0; i < 4; ++i) widths.push_back(third->Columns()->Items(i)->Width());
  EXPECT_EQ(widths, (std::vector<int>{200, 60, 100, 120}));
  EXPECT_EQ(RememberedDirectoryCols.Length, 10);
}

TEST_F(ShellList, ItemDataIsFreedWithItsItemAndReportedFirst) {
  Show(list, "C:\\Docs");
  int deleted = 0;
  list->OnDeleteItem = [&](TObject*, TListItem* item, TScShListData* data) {
    ++deleted;
    EXPECT_EQ(item->Data(), static_cast<void*>(static_cast<TObject*>(data)));
  };
  list->Items()->Item(0)->Delete();
  EXPECT_EQ(deleted, 1);
  list->OnDeleteItem = nullptr;  // the counter lives on this stack only
  // An item of the user's own (no shell data) is left to the base.
  TListItem* own = list->Items()->Add();
  own->SetCaption("mine");
  EXPECT_EQ(list->ItemData(own), nullptr);
  list->Refresh();  // merges in inside.txt again, keeps the user's item
  EXPECT_GE(IndexOf(list, "mine"), 0);
  EXPECT_GE(IndexOf(list, "inside.txt"), 0);
}

// Del, Shift+Del and the menu's delete on a drive (My Computer shown), on My Computer (the
// desktop shown) and on the desktop's folder (its parent shown): nothing goes, nothing is
// asked.
TEST_F(ShellList, DrivesMyComputerAndTheDesktopCannotBeDeleted) {
  std::string desktopDir = GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY);
  ASSERT_FALSE(desktopDir.empty());
  Put(desktopDir + "\\note.txt", "n");
  const PcSnapshot before = SnapshotDrives(pc.dir());
  ASSERT_GT(before.size(), 30u);
  int menus = 0, deletes = 0;
  PopupMenuChooser previous = SetPopupMenuChooser([&](HMENU menu, HWND) -> UINT {
    ++menus;
    if (GetMenuState(menu, 1000 + SHCMD_DELETE, MF_BYCOMMAND) == 0xFFFFFFFFu) return 0;
    ++deletes;
    return 1000 + SHCMD_DELETE;
  });
  form->Show();
  auto tryToDelete = [&](TListItem* item) {
    ASSERT_NE(item, nullptr);
    list->ClearSelection();
    list->SetSelected(item);
    list->SetItemFocused(item);
    list->SetFocus();
    UiDriver::Key(VK_DELETE);  // pressed as a user does, on the focused list
    UiDriver::Key(VK_DELETE, ssShift);
    list->ShowItemContextMenu(TPoint{20, 20});
  };
  LPITEMIDLIST drives = nullptr;
  ASSERT_EQ(GetSpecialFolderPidl(nullptr, CSIDL_DRIVES, &drives), S_OK);
  ShowList(list, drives);
  ShellFree(drives);
  tryToDelete(ItemOf(list, "C:\\"));
  LPITEMIDLIST desktop = CopyPidl(nullptr, nullptr);
  ShowList(list, desktop);
  ShellFree(desktop);
  tryToDelete(ItemOf(list, "Poste de travail"));
  std::string profile = desktopDir.substr(0, desktopDir.rfind('\\'));
  Show(list, profile);
  tryToDelete(ItemOf(list, desktopDir));
  SetPopupMenuChooser(previous);
  EXPECT_EQ(menus, 3);
  EXPECT_EQ(deletes, 0);
  EXPECT_TRUE(UiScript::Dialogs().empty());
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
  // The same key on an ordinary file does reach the shell, which asks first.
  Show(list, "C:\\");
  UiScript::Expect("confirmation", "'c.dat'", "no");
  Select(list, "c.dat");
  list->SetFocus();
  UiDriver::Key(VK_DELETE);
  EXPECT_EQ(UiScript::Dialogs().size(), 1u);
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
}

// A file dropped onto a sibling file goes to their own folder: moving it there changes
// nothing; Ctrl copies it there as "Copie de ...".
TEST_F(ShellList, DroppingAFileOntoASiblingChangesNothing) {
  Show(list, "C:\\");
  LPITEMIDLIST parent = nullptr, child = nullptr;
  ASSERT_EQ(PathToPidl("C:\\", &parent), S_OK);
  ASSERT_EQ(PathToPidl("C:\\b.txt", &child), S_OK);
  LPCITEMIDLIST last = ILFindLastID(child);
  ComPtr<IDataObject> data;
  ASSERT_EQ(CreateShellDataObject(parent, 1, &last, data.put()), S_OK);
  ShellFree(parent);
  ShellFree(child);
  RECT r = ItemOf(list, "C:\\a.TXT")->DisplayRect(drBounds);
  TPoint at = ScClientToScreen(list, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  const PcSnapshot before = SnapshotDrives(pc.dir());
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  list->DragEnter(data.get(), MK_LBUTTON, {at.x, at.y}, &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);  // no effect shown
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  list->Drop(data.get(), 0, {at.x, at.y}, &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
  EXPECT_EQ(IndexOf(list, "Copie de b.txt"), -1);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  list->DragEnter(data.get(), MK_LBUTTON | MK_CONTROL, {at.x, at.y}, &effect);
  list->Drop(data.get(), MK_CONTROL, {at.x, at.y}, &effect);
  EXPECT_EQ(Read("C:\\Copie de b.txt"), std::string(1025, 'b'));
  EXPECT_GE(IndexOf(list, "Copie de b.txt"), 0);
}
