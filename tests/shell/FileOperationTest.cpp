// What the shell's file operation may destroy, and only with the user's say: drive roots,
// My Computer and the desktop are never deleted or moved; moving items into their own
// folder does nothing; deletes and replacements ask first and a "no" keeps everything.
#include <gtest/gtest.h>

#include "platform/forms/UiScript.h"
#include "platform/shell/ContextMenu.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/FileOperation.h"
#include "platform/shell/Menus.h"
#include "platform/shell/Ole.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "support/PcSnapshot.h"
#include "support/TempMachine.h"

using namespace win;
using namespace testfiles;

namespace {

int Op(UINT func, const std::vector<std::string>& from, const std::string& to = "",
       WORD flags = 0) {
  std::string f = DoubleNullList(from), t = DoubleNullList({to});
  SHFILEOPSTRUCT op;
  op.wFunc = func;
  op.pFrom = f.c_str();
  op.pTo = to.empty() ? nullptr : t.c_str();
  op.fFlags = flags;
  return SHFileOperation(&op);
}

std::vector<std::string> Messages() {
  std::vector<std::string> out;
  for (const auto& r : UiScript::Dialogs()) out.push_back(r.message);
  return out;
}

class FileOperation : public ::testing::Test {
 protected:
  void SetUp() override {
    UiScript::Reset();
    CreateDirectory("C:\\Data");
    CreateDirectory("C:\\Data\\B");
    CreateDirectory("C:\\Data\\B\\Sub");
    Put("C:\\Data\\B\\Sub\\s.txt", "sub");
    Put("C:\\Data\\one.txt", "one");
    Put("C:\\Data\\two.txt", "two");
    CreateDirectory("C:\\Other");
    Put("C:\\Other\\one.txt", "OLD");
  }
  void TearDown() override {
    OleSetClipboard(nullptr);
    UiScript::Reset();
  }
  // The item's menu, for drives and virtual folders too.
  ComPtr<IContextMenu> MenuOf(const std::string& parseName) {
    LPITEMIDLIST abs = nullptr;
    EXPECT_EQ(SHParseDisplayName(parseName, &abs, 0, nullptr), S_OK) << parseName;
    LPITEMIDLIST parent = ILClone(abs);
    ILRemoveLastID(parent);
    ComPtr<IShellFolder> desktop, folder;
    SHGetDesktopFolder(desktop.put());
    if (ILIsEmpty(parent))
      folder = desktop;
    else
      desktop->BindToObject(parent, nullptr, IID_IShellFolder, folder.put_void());
    LPCITEMIDLIST last = ILFindLastID(abs);
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 1, &last, IID_IContextMenu, nullptr, menu.put_void()),
              S_OK);
    ILFree(parent);
    ILFree(abs);
    return menu;
  }
  TempMachine pc{{}, &CreateMachine};
};

TEST_F(FileOperation, DriveRootsVirtualFoldersAndTheDesktopAreNeverTakenAway) {
  std::string desktop = SpecialFolderPath(CSIDL_DESKTOPDIRECTORY);
  CreateDirectory(desktop);
  Put(desktop + "\\note.txt", "n");
  const PcSnapshot before = SnapshotDrives(pc.dir());
  ASSERT_GT(before.size(), 30u);
  for (const std::string& src : std::vector<std::string>{
           "C:\\", "c:/", "C:\\Data\\..", "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}", desktop}) {
    SCOPED_TRACE(src);
    EXPECT_TRUE(IsProtectedShellPath(src));
    EXPECT_EQ(Op(FO_DELETE, {src}, "", FOF_NOCONFIRMATION), int(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Op(FO_MOVE, {src}, "C:\\Other", FOF_NOCONFIRMATION), int(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Op(FO_RENAME, {src}, "C:\\Gone", FOF_NOCONFIRMATION), int(ERROR_ACCESS_DENIED));
  }
  // One protected item among others: nothing at all is done.
  EXPECT_EQ(Op(FO_DELETE, {"C:\\Data\\one.txt", "C:\\"}, "", FOF_NOCONFIRMATION),
            int(ERROR_ACCESS_DENIED));
  // A path that leaves its drive is no target either.
  EXPECT_NE(Op(FO_COPY, {"C:\\Data\\one.txt"}, "C:\\..\\..", FOF_NOCONFIRMATION), 0);
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
  EXPECT_TRUE(UiScript::Dialogs().empty());  // refused before any question
  EXPECT_FALSE(IsProtectedShellPath("C:\\Data"));
}

TEST_F(FileOperation, MenusOfDrivesMyComputerAndTheDesktopOfferNothingThatRemovesThem) {
  const PcSnapshot before = SnapshotDrives(pc.dir());
  for (const std::string item : {"C:\\", "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"}) {
    SCOPED_TRACE(item);
    ComPtr<IContextMenu> menu = MenuOf(item);
    ASSERT_TRUE(menu);
    HMENU popup = CreatePopupMenu();
    menu->QueryContextMenu(popup, 0, 1000, 0x7FFF, CMF_EXPLORE | CMF_CANRENAME);
    for (UINT offset : {SHCMD_DELETE, SHCMD_CUT, SHCMD_COPY, SHCMD_RENAME}) {
      EXPECT_EQ(GetMenuState(popup, 1000 + offset, MF_BYCOMMAND), 0xFFFFFFFFu) << offset;
      CMINVOKECOMMANDINFO info;
      info.lpVerb = MAKEINTRESOURCEA(offset);
      EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG) << offset;
    }
    EXPECT_NE(GetMenuState(popup, 1000 + SHCMD_OPEN, MF_BYCOMMAND), 0xFFFFFFFFu);
    EXPECT_NE(GetMenuState(popup, 1000 + SHCMD_PROPERTIES, MF_BYCOMMAND), 0xFFFFFFFFu);
    for (int i = 0; i < GetMenuItemCount(popup); ++i)
      EXPECT_EQ(GetSubMenu(popup, i), nullptr);  // no Send To
    DestroyMenu(popup);
  }
  // The desktop as an item of its own folder (the empty list).
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(desktop.put());
  LPITEMIDLIST self = pidl::Make({});
  LPCITEMIDLIST one = self;
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(desktop->GetUIObjectOf(nullptr, 1, &one, IID_IContextMenu, nullptr, menu.put_void()),
            S_OK);
  CMINVOKECOMMANDINFO info;
  info.lpVerb = "delete";
  EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
  ILFree(self);
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
}

TEST_F(FileOperation, MovingIntoTheOwnFolderDoesNothingAndCopyingNamesTheCopy) {
  const PcSnapshot before = SnapshotDrives(pc.dir());
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\B\\Sub"}, "C:\\Data\\B", FOF_RENAMEONCOLLISION), 0);
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\one.txt"}, "C:\\Data", FOF_RENAMEONCOLLISION), 0);
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
  EXPECT_TRUE(UiScript::Dialogs().empty());
  EXPECT_EQ(Op(FO_COPY, {"C:\\Data\\B\\Sub"}, "C:\\Data\\B", FOF_RENAMEONCOLLISION), 0);
  EXPECT_EQ(Read("C:\\Data\\B\\Copie de Sub\\s.txt"), "sub");
  EXPECT_EQ(Op(FO_COPY, {"C:\\Data\\B\\Sub"}, "C:\\Data\\B", FOF_RENAMEONCOLLISION), 0);
  EXPECT_TRUE(Exists("C:\\Data\\B\\Copie (2) de Sub"));
  EXPECT_EQ(Op(FO_COPY, {"C:\\Data\\one.txt"}, "C:\\Data"), int(ERROR_FILE_EXISTS));
  // Into itself or below it stays refused.
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\B"}, "C:\\Data\\B\\Sub"), int(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(Exists("C:\\Data\\B\\Sub\\s.txt"));
}

TEST_F(FileOperation, DeleteAsksFirstAndNoKeepsTheItems) {
  UiScript::Expect("confirmation", "=Voulez-vous vraiment supprimer 'one.txt' ?", "no");
  EXPECT_EQ(Op(FO_DELETE, {"C:\\Data\\one.txt"}), int(ERROR_CANCELLED));
  EXPECT_EQ(Read("C:\\Data\\one.txt"), "one");
  UiScript::Expect("confirmation",
                   "=Voulez-vous vraiment supprimer le dossier 'B' et tout son contenu ?", "no");
  EXPECT_EQ(Op(FO_DELETE, {"C:\\Data\\B"}), int(ERROR_CANCELLED));
  EXPECT_TRUE(Exists("C:\\Data\\B\\Sub\\s.txt"));
  UiScript::Expect("confirmation", "=Voulez-vous vraiment supprimer ces 2 éléments ?", "yes");
  EXPECT_EQ(Op(FO_DELETE, {"C:\\Data\\one.txt", "C:\\Data\\B"}), 0);
  EXPECT_FALSE(Exists("C:\\Data\\one.txt"));
  EXPECT_FALSE(Exists("C:\\Data\\B"));
  EXPECT_EQ(Messages().size(), 3u);
  // Without confirmation the caller decides alone.
  EXPECT_EQ(Op(FO_DELETE, {"C:\\Data\\two.txt"}, "", FOF_NOCONFIRMATION), 0);
  EXPECT_EQ(Messages().size(), 3u);
}

TEST_F(FileOperation, ReplacingAsksForEachItemAndNoKeepsTheOldBytes) {
  const std::string ask = "Ce dossier contient déjà un fichier nommé 'one.txt'.";
  UiScript::Expect("confirmation", ask, "no");
  EXPECT_EQ(Op(FO_COPY, {"C:\\Data\\one.txt", "C:\\Data\\two.txt"}, "C:\\Other"), 0);
  EXPECT_EQ(Read("C:\\Other\\one.txt"), "OLD");
  EXPECT_EQ(Read("C:\\Other\\two.txt"), "two");  // the other item was copied
  UiScript::Expect("confirmation", ask, "cancel");
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\one.txt"}, "C:\\Other"), int(ERROR_CANCELLED));
  EXPECT_EQ(Read("C:\\Other\\one.txt"), "OLD");
  EXPECT_EQ(Read("C:\\Data\\one.txt"), "one");
  UiScript::Expect("confirmation", ask, "yes");
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\one.txt"}, "C:\\Other"), 0);
  EXPECT_EQ(Read("C:\\Other\\one.txt"), "one");
  EXPECT_FALSE(Exists("C:\\Data\\one.txt"));
}

TEST_F(FileOperation, AMoveIntoAnExistingFolderMergesAndKeepsWhatWasDeclined) {
  CreateDirectory("C:\\Other\\B");
  CreateDirectory("C:\\Other\\B\\Sub");
  Put("C:\\Other\\B\\Sub\\s.txt", "OLD SUB");
  Put("C:\\Data\\B\\b.txt", "b");
  UiScript::Expect("confirmation", "Ce dossier contient déjà un dossier nommé 'B'.", "yes");
  UiScript::Expect("confirmation", "Ce dossier contient déjà un dossier nommé 'Sub'.", "yes");
  UiScript::Expect("confirmation", "un fichier nommé 's.txt'", "no");
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\B"}, "C:\\Other"), 0);
  EXPECT_EQ(Read("C:\\Other\\B\\b.txt"), "b");
  EXPECT_EQ(Read("C:\\Other\\B\\Sub\\s.txt"), "OLD SUB");
  EXPECT_EQ(Read("C:\\Data\\B\\Sub\\s.txt"), "sub");  // declined: still where it was
  EXPECT_FALSE(Exists("C:\\Data\\B\\b.txt"));
  // "Oui à tout" answers the rest of the run.
  UiScript::Expect("confirmation", "un dossier nommé 'B'", "yestoall");
  EXPECT_EQ(Op(FO_MOVE, {"C:\\Data\\B"}, "C:\\Other"), 0);
  EXPECT_EQ(Read("C:\\Other\\B\\Sub\\s.txt"), "sub");
  EXPECT_FALSE(Exists("C:\\Data\\B"));  // emptied, so removed
  // Declining the folder itself leaves both as they were.
  Put("C:\\Data\\B2\\x.txt", "x");
  Put("C:\\Other\\B2\\x.txt", "X");
  UiScript::Expect("confirmation", "un dossier nommé 'B2'", "no");
  EXPECT_EQ(Op(FO_COPY, {"C:\\Data\\B2"}, "C:\\Other"), 0);
  EXPECT_EQ(Read("C:\\Other\\B2\\x.txt"), "X");
}

TEST_F(FileOperation, ADropIntoTheOwnFolderOffersNoEffectUnlessCopying) {
  LPITEMIDLIST parent = nullptr, child = nullptr;
  ASSERT_EQ(SHParseDisplayName("C:\\Data", &parent, 0, nullptr), S_OK);
  ASSERT_EQ(SHParseDisplayName("C:\\Data\\one.txt", &child, 0, nullptr), S_OK);
  LPCITEMIDLIST last = ILFindLastID(child);
  ComPtr<IDataObject> data;
  ASSERT_EQ(CreateShellDataObject(parent, 1, &last, data.put()), S_OK);
  ComPtr<IDropTarget> target;
  ASSERT_EQ(CreateFolderDropTarget("C:\\Data", target.put()), S_OK);
  const PcSnapshot before = SnapshotDrives(pc.dir());
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  target->DragEnter(data.get(), MK_LBUTTON, {}, &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target->Drop(data.get(), 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_EQ(SnapshotDrives(pc.dir()), before);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  EXPECT_EQ(target->Drop(data.get(), MK_CONTROL, {}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(Read("C:\\Data\\Copie de one.txt"), "one");
  ILFree(parent);
  ILFree(child);
}

}  // namespace
