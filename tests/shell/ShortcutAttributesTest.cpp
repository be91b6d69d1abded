// A shortcut file is marked as a link in its folder, whatever the case of its extension,
// so the shell list and tree draw the shortcut overlay on it.
#include <gtest/gtest.h>

#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "support/TempMachine.h"

using namespace win;

TEST(ShortcutAttributes, OnlyFilesEndingInLnkAreLinks) {
  TempMachine pc;
  CreateDirectory("C:\\Data");
  CreateDirectory("C:\\Data\\Old.lnk");
  for (const char* name : {"Go.lnk", "UP.LNK", "notes.txt", "lnk"})
    WriteWholeFile(std::string("C:\\Data\\") + name, "");
  LPITEMIDLIST dir = nullptr;
  ASSERT_EQ(SHParseDisplayName("C:\\Data", &dir, 0, nullptr), S_OK);
  ComPtr<IShellFolder> desktop, folder;
  ASSERT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
  ASSERT_EQ(desktop->BindToObject(dir, nullptr, IID_IShellFolder, folder.put_void()), S_OK);
  ILFree(dir);
  for (auto [name, link] : {std::pair{u"Go.lnk", true},
                            {u"UP.LNK", true},
                            {u"notes.txt", false},
                            {u"lnk", false},
                            {u"Old.lnk", false}}) {
    LPITEMIDLIST item = nullptr;
    ASSERT_EQ(folder->ParseDisplayName(nullptr, nullptr, name, nullptr, &item, nullptr), S_OK);
    ULONG attrs = SFGAO_LINK;
    ASSERT_EQ(folder->GetAttributesOf(1, &item, &attrs), S_OK);
    EXPECT_EQ((attrs & SFGAO_LINK) != 0, link) << FromWide(name);
    ILFree(item);
  }
}
