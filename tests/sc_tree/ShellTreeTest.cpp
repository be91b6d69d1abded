// The shell folder tree on a form over a temporary PC: filling from the desktop down to
// C:\, lazy expansion, selection by item-id list, the refresh merge after changes made
// outside (change notification, then the 400/2000 ms timer), renaming, new folders, keys,
// the shell context menu, OLE drag and drop between folders, hover expansion, auto-scroll
// and the wheel.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/forms/Forms.h"
#include "platform/forms/PopupMenus.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/Menus.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "shellcontrols/UScShellDataObjects.h"
#include "shellcontrols/UScShellTree.h"
#include "support/PcSnapshot.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

constexpr WORD VK_F2 = 0x71, VK_F5 = 0x74;
constexpr UINT WM_MOUSEWHEEL = 0x020A;

bool Exists(const std::string& path) { return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

// Exposes the key handling and counts the scroll steps the tree is sent.
class TTestShellTree : public TScShellTree {
 public:
  using TScShellTree::TScShellTree;
  void PressKey(WORD& key, TShiftState shift) { KeyDown(key, shift); }
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_VSCROLL) ++VScrolls[m.WParam & 3];
    if (m.Msg == WM_HSCROLL) ++HScrolls[m.WParam & 1];
    TScShellTree::WndProc(m);
  }
  int VScrolls[4] = {};
  int HScrolls[2] = {};
};

class ShellTree : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::SetSimulated(true);
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    CreateDirectory("C:\\Data");
    CreateDirectory("C:\\Data\\A");
    CreateDirectory("C:\\Data\\B");
    CreateDirectory("C:\\Data\\B\\Sub");
    WriteWholeFile("C:\\Data\\A\\note.txt", "hello");
    form = new TForm(Application);
    form->SetBounds(0, 0, 400, 400);
    tree = new TTestShellTree(form);
    tree->SetParent(form);
    tree->SetBounds(10, 10, 300, 300);
  }
  void TearDown() override {
    SetPopupMenuChooser(nullptr);
    ClearDragSteps();
    delete form;
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  // Window made; the deferred first fill runs from the posted message.
  void Show() {
    tree->HandleNeeded();
    UiDriver::RunUntilIdle();
  }
  LPITEMIDLIST Parse(const std::string& path) {
    LPITEMIDLIST p = nullptr;
    EXPECT_EQ(PathToPidl(path, &p), S_OK) << path;
    return p;
  }
  void Select(const std::string& path) {
    LPITEMIDLIST p = Parse(path);
    tree->SelectPidl(p);
    ShellFree(p);
  }
  TTreeNode* Child(TTreeNode* node, const std::string& text) {
    for (TTreeNode* c = node ? node->GetFirstChild() : nullptr; c; c = c->getNextSibling())
      if (c->Text() == text) return c;
    return nullptr;
  }
  // Waits (real time, bounded) for the change thread's message to arm the timer.
  bool WaitForRefreshTimer() {
    for (int i = 0; i < 300; ++i) {
      Application->ProcessMessages();
      if (tree->Timer()->Enabled() && tree->Timer()->Tag() == 2) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  TPoint ScreenPointOf(TTreeNode* node) {
    RECT r = node->DisplayRect(true);
    return ScClientToScreen(tree, {(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  // Drags `node` with the left button (and `keys`) onto `target` and releases it there.
  void DragOnto(TTreeNode* node, TTreeNode* target, DWORD keys = 0) {
    TPoint over = ScreenPointOf(target);
    QueueDragStep({tree->Handle(), {over.x, over.y}, MK_LBUTTON | keys});
    QueueDragStep({tree->Handle(), {over.x, over.y}, MK_LBUTTON | keys});
    QueueDragStep({tree->Handle(), {over.x, over.y}, keys});  // button released: drop
    NMTREEVIEWA nm{};
    nm.hdr.hwndFrom = tree->Handle();
    nm.hdr.code = TVN_BEGINDRAGA;
    nm.itemNew.hItem = node->ItemId();
    nm.itemNew.lParam = LPARAM(node);
    tree->Perform(CN_NOTIFY, 0, LPARAM(&nm));
  }
  TempMachine pc{{}, &CreateMachine};
  TForm* form = nullptr;
  TTestShellTree* tree = nullptr;
};

TEST_F(ShellTree, FillsFromTheDesktopAndExpandsLazily) {
  EXPECT_EQ(tree->Options(), 955u);
  EXPECT_FALSE(tree->ShowRoot());
  int starts = 0, completes = 0;
  tree->OnFillStart = [&](TObject*) { ++starts; };
  tree->OnFillComplete = [&](TObject*) { ++completes; };
  Show();
  TTreeNode* root = tree->FirstShellRootNode();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Text(), "Bureau");  // a base folder without a list: the desktop
  EXPECT_TRUE(root->Expanded());
  EXPECT_EQ(tree->NodeData(root)->AbsolutePidl(), nullptr);
  EXPECT_FALSE(tree->NodeData(root)->CanRename());
  EXPECT_GE(starts, 1);
  EXPECT_EQ(starts, completes);
  TTreeNode* mc = Child(root, "Poste de travail");
  ASSERT_NE(mc, nullptr);
  EXPECT_EQ(mc->Count(), 0);  // not filled before its first expansion
  EXPECT_TRUE(mc->HasChildren());
  mc->Expand(false);
  TTreeNode* c = Child(mc, "Disque local (C:)");
  ASSERT_NE(c, nullptr);
  c->Expand(false);
  TTreeNode* data = Child(c, "Data");
  ASSERT_NE(data, nullptr);
  data->Expand(false);
  ASSERT_NE(Child(data, "A"), nullptr);
  EXPECT_FALSE(Child(data, "A")->HasChildren());  // only a file inside, files not shown
  EXPECT_TRUE(Child(data, "B")->HasChildren());
  EXPECT_EQ(Child(data, "A")->getNextSibling(), Child(data, "B"));  // sorted by the shell
  EXPECT_EQ(tree->NodeData(Child(data, "B"))->Path(), "C:\\Data\\B");
  EXPECT_EQ(tree->Selected(), root);
}

TEST_F(ShellTree, SelectsByListAndFollowsWithTheSelectedFolder) {
  Show();
  Select("C:\\Data\\B\\Sub");
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data\\B\\Sub");
  EXPECT_EQ(tree->SelectedFolder()->Path(), "C:\\Data\\B\\Sub");
  EXPECT_EQ(tree->Selected()->Text(), "Sub");
  tree->SelectAncestor(2);
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data");
  EXPECT_EQ(tree->SelectedFolder()->Path(), "C:\\Data");
  tree->SelectAncestor(100);  // not beyond the root
  EXPECT_EQ(tree->Selected(), tree->FirstShellRootNode());
  // Setting the selected folder moves the selection.
  TScShellLocator loc;
  LPITEMIDLIST p = Parse("C:\\Data\\A");
  loc.SetPidl(p);
  ShellFree(p);
  tree->SetSelectedFolder(&loc);
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data\\A");
}

TEST_F(ShellTree, HiddenFoldersAreAddedOnTheWayAndAMissingIdBeeps) {
  CreateDirectory("C:\\Data\\Hidden");
  CreateDirectory("C:\\Data\\Hidden\\In");
  SetFileAttributes("C:\\Data\\Hidden", FILE_ATTRIBUTE_HIDDEN);
  tree->SetOptions(tree->Options() & ~ScOpt(scstoShowHidden));
  Show();
  LPITEMIDLIST in = Parse("C:\\Data\\Hidden\\In");
  Select("C:\\Data");
  EXPECT_EQ(Child(tree->Selected(), "Hidden"), nullptr);  // not enumerated
  tree->SelectPidl(in);
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data\\Hidden\\In");
  EXPECT_TRUE(tree->Selected()->Parent()->Cut());  // hidden: drawn ghosted
  // An id that cannot be added: the deepest node reached stays selected.
  Select("C:\\Data");
  tree->Selected()->Collapse(false);
  tree->Refresh();  // the hidden folder is not enumerated: its node goes
  EXPECT_EQ(Child(tree->Selected(), "Hidden"), nullptr);
  int asked = 0;
  tree->OnAddItem = [&](TObject*, IShellFolder*, LPCITEMIDLIST, LPCITEMIDLIST, DWORD, bool& allow) {
    allow = ++asked == 1;  // the hidden folder yes, the folder inside no
  };
  tree->SelectPidl(in);
  EXPECT_EQ(asked, 3);  // "In" refused when the hidden folder fills, then when added alone
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data\\Hidden");
  ShellFree(in);
}

TEST_F(ShellTree, ChangesOutsideRefreshAfterTheTimer) {
  Show();
  Select("C:\\Data\\B\\Sub");
  ASSERT_NE(tree->ChangeThread(), nullptr);
  TTreeNode* data = tree->Selected()->Parent()->Parent();
  ASSERT_EQ(data->Text(), "Data");
  CreateDirectory("C:\\Data\\New");
  ASSERT_TRUE(WaitForRefreshTimer());
  EXPECT_EQ(tree->Timer()->Interval(), 2000);  // the tree has not the focus
  UiDriver::Advance(1990);
  EXPECT_EQ(Child(data, "New"), nullptr);
  UiDriver::Advance(20);
  EXPECT_NE(Child(data, "New"), nullptr);
  EXPECT_FALSE(tree->Timer()->Enabled());
  // A folder deleted outside goes at the next refresh; the selection inside moves up.
  RemoveDirectory("C:\\Data\\B\\Sub");
  RemoveDirectory("C:\\Data\\B");
  ASSERT_TRUE(WaitForRefreshTimer());
  form->Show();
  tree->SetFocus();
  tree->Perform(WM_SCCHANGENOTIFY);  // a further change restarts the timer
  EXPECT_EQ(tree->Timer()->Interval(), 400);
  UiDriver::Advance(401);
  EXPECT_EQ(Child(data, "B"), nullptr);
  EXPECT_EQ(tree->Selected(), data);
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data");
}

TEST_F(ShellTree, RenameAndNewFoldersIgnoreTheirOwnNotification) {
  Show();
  Select("C:\\Data\\A");
  TTreeNode* a = tree->Selected();
  std::string edited;
  tree->OnEdited = [&](TObject*, TTreeNode*, std::string& s) {
    edited = s;
    s = "Renamed";
  };
  ASSERT_TRUE(a->EditText());
  tree->EditControl()->SetText("Other");
  a->EndEdit(false);
  EXPECT_EQ(edited, "Other");
  EXPECT_TRUE(Exists("C:\\Data\\Renamed"));
  EXPECT_FALSE(Exists("C:\\Data\\A"));
  EXPECT_EQ(a->Text(), "Renamed");
  EXPECT_EQ(tree->SelectedFolder()->Path(), "C:\\Data\\Renamed");
  tree->Perform(WM_SCCHANGENOTIFY);  // the rename's own notification
  EXPECT_FALSE(tree->Timer()->Enabled());
  tree->Perform(WM_SCCHANGENOTIFY);
  EXPECT_TRUE(tree->Timer()->Enabled());

  Select("C:\\Data\\B");
  TTreeNode* b = tree->Selected();
  ASSERT_TRUE(tree->CreateNewFolder(true));
  EXPECT_TRUE(Exists("C:\\Data\\B\\Nouveau dossier"));
  EXPECT_TRUE(tree->IsEditing());
  tree->Selected()->EndEdit(true);
  Select("C:\\Data\\B");
  ASSERT_TRUE(tree->CreateNewFolder(true));
  EXPECT_TRUE(Exists("C:\\Data\\B\\Nouveau dossier (2)"));
  EXPECT_TRUE(tree->IsEditing());
  ASSERT_NE(Child(b, "Nouveau dossier (2)"), nullptr);
  EXPECT_EQ(tree->EditControl()->Text(), "Nouveau dossier (2)");
}

TEST_F(ShellTree, DefaultKeys) {
  Show();
  Select("C:\\Data\\A");
  WORD key = VK_F2;
  tree->PressKey(key, 0);
  EXPECT_EQ(key, 0);
  EXPECT_TRUE(tree->IsEditing());
  tree->Selected()->EndEdit(true);
  key = 'Q';  // unhandled: keeps its value
  tree->PressKey(key, ssCtrl);
  EXPECT_EQ(key, 'Q');
  key = VK_DELETE;
  UiScript::Expect("confirmation", "le dossier 'A'", "no");
  tree->PressKey(key, ssShift);                  // Shift+Del deletes like Del, after the question
  EXPECT_TRUE(Exists("C:\\Data\\A\\note.txt"));  // answered no
  key = VK_DELETE;
  UiScript::Expect("confirmation", "le dossier 'A'", "yes");
  tree->PressKey(key, ssShift);
  EXPECT_FALSE(Exists("C:\\Data\\A"));
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data");
  // Copy a folder and paste it into another.
  Select("C:\\Data\\B\\Sub");
  key = 'C';
  tree->PressKey(key, ssCtrl);
  Select("C:\\Data");
  key = 'V';
  tree->PressKey(key, ssCtrl);
  EXPECT_TRUE(Exists("C:\\Data\\Sub"));
  EXPECT_NE(Child(tree->Selected(), "Sub"), nullptr);
  // F5 merges a change made outside at once.
  CreateDirectory("C:\\Data\\ViaF5");
  key = VK_F5;
  tree->PressKey(key, 0);
  EXPECT_NE(Child(tree->Selected(), "ViaF5"), nullptr);
  tree->SetOptions(tree->Options() & ~ScOpt(scstoDefaultKeyHandling));
  key = VK_F5;
  tree->PressKey(key, 0);
  EXPECT_EQ(key, VK_F5);
}

TEST_F(ShellTree, ContextMenuVerbsRenameAndTheDesktopRoot) {
  Show();
  Select("C:\\Data\\A");
  TTreeNode* a = tree->Selected();
  int shown = 0;
  std::string choice = "delete";
  SetPopupMenuChooser([&](HMENU menu, HWND) -> UINT {
    ++shown;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      UINT id = GetMenuItemID(menu, i);
      if (id == 0xFFFFFFFF || id < 1000) continue;
      if (choice == "rename" && id == 1018) return id;
      if (choice == "delete" && id == 1017) return id;
    }
    return 0;
  });
  TPoint p{0, 0};
  TPopupMenu* menu = nullptr;
  choice = "rename";
  tree->DoNodeContextMenu(a, p, menu);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(menu, nullptr);
  EXPECT_TRUE(tree->IsEditing());  // rename edits the label instead of asking the shell
  a->EndEdit(true);
  EXPECT_TRUE(Exists("C:\\Data\\A"));
  choice = "delete";
  UiScript::Expect("confirmation",
                   "=Voulez-vous vraiment supprimer le dossier 'A' et tout son contenu ?", "yes");
  tree->DoNodeContextMenu(a, p, menu);
  EXPECT_EQ(shown, 2);
  EXPECT_FALSE(Exists("C:\\Data\\A"));
  EXPECT_EQ(tree->SelectedPath(), "C:\\Data");  // refreshed
  EXPECT_FALSE(tree->Busy());
  // The desktop root has no shell menu, nor the component's own.
  auto* own = new TPopupMenu(form);
  tree->SetPopupMenu(own);
  menu = own;
  tree->DoNodeContextMenu(tree->FirstShellRootNode(), p, menu);
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(menu, nullptr);
  // Without the option the component's own menu stays for every node.
  tree->SetOptions(tree->Options() & ~ScOpt(scstoContextMenus));
  menu = own;
  tree->DoNodeContextMenu(tree->Selected(), p, menu);
  EXPECT_EQ(menu, own);
  EXPECT_EQ(shown, 2);
}

TEST_F(ShellTree, DragsAFolderOntoAnotherAndRefreshes) {
  Show();
  Select("C:\\Data\\A");
  TTreeNode* a = tree->Selected();
  TTreeNode* b = Child(a->Parent(), "B");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(tree->GetAllowedEffects(a), DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);
  ASSERT_NE(tree->RegisteredDropTarget(), nullptr);
  EXPECT_EQ(RegisteredDropTarget(tree->Handle()),
            static_cast<IDropTarget*>(tree->RegisteredDropTarget()));
  DragOnto(a, b);
  EXPECT_TRUE(Exists("C:\\Data\\B\\A\\note.txt"));  // moved within the drive
  EXPECT_FALSE(Exists("C:\\Data\\A"));
  TTreeNode* data = Child(
      Child(Child(tree->FirstShellRootNode(), "Poste de travail"), "Disque local (C:)"), "Data");
  EXPECT_EQ(Child(data, "A"), nullptr);  // the tree refreshed after the drop
  EXPECT_FALSE(tree->Busy());
  EXPECT_EQ(tree->DraggedNode(), nullptr);
  EXPECT_EQ(tree->DropTarget(), nullptr);
  // The root is never dragged: no step is taken.
  DragOnto(tree->FirstShellRootNode(), data);
  EXPECT_FALSE(IsDragging());
  ClearDragSteps();
  // Clearing the drop option revokes the target.
  tree->SetOptions(tree->Options() & ~ScOpt(scstoOleDrop));
  EXPECT_EQ(RegisteredDropTarget(tree->Handle()), nullptr);
}

// Del, Shift+Del and the menu's delete on the desktop, My Computer and a drive (also as
// the tree's root): nothing on the PC goes, and nothing is even asked.
TEST_F(ShellTree, DrivesMyComputerAndTheDesktopCannotBeDeleted) {
  Show();
  const testfiles::PcSnapshot before = testfiles::SnapshotDrives(pc.dir());
  ASSERT_GT(before.size(), 30u);
  int menus = 0, deletes = 0;
  SetPopupMenuChooser([&](HMENU menu, HWND) -> UINT {
    ++menus;
    if (GetMenuState(menu, 1017, MF_BYCOMMAND) == 0xFFFFFFFFu) return 0;
    ++deletes;
    return 1017;  // the shell's delete, were it offered
  });
  form->Show();
  auto tryToDelete = [&](TTreeNode* node) {
    ASSERT_NE(node, nullptr);
    node->SetSelected(true);
    tree->SetFocus();
    UiDriver::Key(VK_DELETE);  // pressed as a user does, on the focused tree
    UiDriver::Key(VK_DELETE, ssShift);
    TPoint p{0, 0};
    TPopupMenu* menu = nullptr;
    tree->DoNodeContextMenu(node, p, menu);
  };
  TTreeNode* desktop = tree->FirstShellRootNode();
  TTreeNode* mc = Child(desktop, "Poste de travail");
  ASSERT_NE(mc, nullptr);
  mc->Expand(false);
  tryToDelete(desktop);
  tryToDelete(mc);
  tryToDelete(Child(mc, "Disque local (C:)"));
  EXPECT_EQ(menus, 2);  // My Computer's and the drive's; the desktop root has none
  // A drive as the root of the tree.
  LPITEMIDLIST c = Parse("C:\\");
  TScShellLocator base;
  base.SetPidl(c);
  ShellFree(c);
  tree->SetBaseFolder(&base);
  ASSERT_EQ(tree->FirstShellRootNode()->Text(), "Disque local (C:)");
  tryToDelete(tree->FirstShellRootNode());
  EXPECT_EQ(deletes, 0);
  EXPECT_TRUE(UiScript::Dialogs().empty());
  EXPECT_EQ(testfiles::SnapshotDrives(pc.dir()), before);
  // The same key on an ordinary folder does reach the shell, which asks first.
  UiScript::Expect("confirmation", "le dossier 'Data'", "no");
  Select("C:\\Data");
  tree->SetFocus();
  UiDriver::Key(VK_DELETE);
  EXPECT_EQ(UiScript::Dialogs().size(), 1u);
  EXPECT_EQ(testfiles::SnapshotDrives(pc.dir()), before);
}

// Dragging a folder onto the folder that holds it moves nothing; with Ctrl it is copied
// there as "Copie de ...".
TEST_F(ShellTree, DraggingAFolderOntoItsOwnFolderChangesNothing) {
  Show();
  Select("C:\\Data\\B\\Sub");
  TTreeNode* sub = tree->Selected();
  TTreeNode* b = sub->Parent();
  const testfiles::PcSnapshot before = testfiles::SnapshotDrives(pc.dir());
  DragOnto(sub, b);
  EXPECT_EQ(testfiles::SnapshotDrives(pc.dir()), before);
  EXPECT_FALSE(Exists("C:\\Data\\B\\Copie de Sub"));
  sub = Child(b, "Sub");
  ASSERT_NE(sub, nullptr);
  DragOnto(sub, b, MK_CONTROL);
  EXPECT_TRUE(Exists("C:\\Data\\B\\Copie de Sub"));
  EXPECT_TRUE(Exists("C:\\Data\\B\\Sub"));
}

TEST_F(ShellTree, CustomDrawAsksForItemNotificationsAtBothPrePaintStages) {
  Show();
  TTreeNode* root = tree->FirstShellRootNode();
  int item = 0, every = 0;
  TScShTreeData* data = nullptr;
  tree->OnCustomDrawSh = [&](TObject*, TScCustomDraw*, TTreeNode*, TScShTreeData* d) {
    ++item;
    data = d;
  };
  tree->OnCustomDrawShEx = [&](TObject*, TScCustomDraw*, TTreeNode*, TScShTreeData*) { ++every; };
  HDC dc = CreateScreenDC();
  auto draw = [&](DWORD stage) {
    NMTVCUSTOMDRAW nm{};
    nm.nmcd.hdr.code = NM_CUSTOMDRAW;
    nm.nmcd.dwDrawStage = stage;
    nm.nmcd.hdc = dc;
    nm.nmcd.dwItemSpec = std::uintptr_t(root->ItemId());
    LRESULT result = 0;
    delete tree->DoCustomDraw(&nm.nmcd, &result);
    return result;
  };
  EXPECT_EQ(draw(CDDS_PREPAINT) & CDRF_NOTIFYITEMDRAW, CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(item, 0);
  EXPECT_EQ(draw(CDDS_ITEMPREPAINT) & CDRF_NOTIFYITEMDRAW, CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(item, 1);
  EXPECT_EQ(data, tree->NodeData(root));
  EXPECT_EQ(draw(CDDS_ITEMPOSTPAINT) & CDRF_NOTIFYITEMDRAW, 0);
  EXPECT_EQ(every, 3);
  DeleteDC(dc);
}

TEST_F(ShellTree, HoverExpandsAndEdgesScrollAtMostEvery100ms) {
  Show();
  Select("C:\\Data");
  tree->Selected()->Collapse(false);
  TTreeNode* data = tree->Selected();
  RECT r = data->DisplayRect(true);
  TPoint at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  TPoint s = ScClientToScreen(tree, at);
  IDataObject* none = nullptr;
  DWORD effect = DROPEFFECT_COPY;
  tree->DragEnter(none, MK_LBUTTON, {s.x, s.y}, &effect);
  effect = DROPEFFECT_COPY;
  tree->DragOver(MK_LBUTTON, {s.x, s.y}, &effect);  // replaces the screen hover point
  EXPECT_TRUE(effect & DROPEFFECT_SCROLL);
  clock::Advance(300);
  effect = DROPEFFECT_COPY;
  tree->DragOver(MK_LBUTTON, {s.x + 1, s.y}, &effect);
  EXPECT_FALSE(data->Expanded());
  clock::Advance(150);
  tree->DragOver(MK_LBUTTON, {s.x + 1, s.y + 1}, &effect);
  EXPECT_TRUE(data->Expanded());  // still for longer than the hover time
  // Near the top edge: one line up per 100 ms at most.
  TPoint top = ScClientToScreen(tree, {150, 5});
  const int before = tree->VScrolls[0];
  clock::Advance(101);
  tree->DragOver(MK_LBUTTON, {top.x, top.y}, &effect);
  tree->DragOver(MK_LBUTTON, {top.x, top.y}, &effect);
  EXPECT_EQ(tree->VScrolls[0], before + 1);
  clock::Advance(101);
  tree->DragOver(MK_LBUTTON, {top.x, top.y}, &effect);
  EXPECT_EQ(tree->VScrolls[0], before + 2);
  TPoint left = ScClientToScreen(tree, {10, 150});
  clock::Advance(101);
  tree->DragOver(MK_LBUTTON, {left.x, left.y}, &effect);
  EXPECT_EQ(tree->HScrolls[0], 1);
  tree->DragLeave();
  EXPECT_EQ(tree->DropTarget(), nullptr);
}

TEST_F(ShellTree, WheelOverASecondTreeScrollsThatOne) {
  auto* other = new TTestShellTree(form);
  other->SetParent(form);
  other->SetBounds(320, 10, 70, 300);
  Show();
  TPoint overOther = ScClientToScreen(other, {20, 20});
  tree->Perform(WM_MOUSEWHEEL, WPARAM(WORD(-120)) << 16,
                MAKELPARAM(WORD(overOther.x), WORD(overOther.y)));
  EXPECT_EQ(other->VScrolls[1], 3);
  EXPECT_EQ(tree->VScrolls[1], 0);
  TPoint overSelf = ScClientToScreen(tree, {20, 20});
  tree->Perform(WM_MOUSEWHEEL, WPARAM(WORD(120)) << 16,
                MAKELPARAM(WORD(overSelf.x), WORD(overSelf.y)));
  EXPECT_EQ(tree->VScrolls[0], 3);
}

}  // namespace
