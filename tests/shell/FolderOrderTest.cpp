// A folder's comparison of its items, as the shell list sorts with it: folders first, then
// names without regard to case in the machine's case folding, accents and all, and lists of
// several items compared item by item.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

class FolderOrder : public ::testing::Test {
 protected:
  TempMachine pc;
  ComPtr<IShellFolder> folder;
  void SetUp() override {
    CreateDirectory("C:\\O");
    ComPtr<IShellFolder> desktop;
    SHGetDesktopFolder(desktop.put());
    LPITEMIDLIST dir = nullptr;
    ASSERT_EQ(SHParseDisplayName("C:\\O", &dir, 0, nullptr), S_OK);
    ASSERT_EQ(desktop->BindToObject(dir, nullptr, IID_IShellFolder, folder.put_void()), S_OK);
    ILFree(dir);
  }
  LPITEMIDLIST Id(const std::string& relative) {
    LPITEMIDLIST id = nullptr;
    std::u16string w = ToWide(relative);
    EXPECT_EQ(folder->ParseDisplayName(nullptr, nullptr, w.c_str(), nullptr, &id, nullptr), S_OK)
        << relative;
    return id;
  }
  int Compare(LPCITEMIDLIST a, LPCITEMIDLIST b, int column = 0) {
    HRESULT hr = folder->CompareIDs(column, a, b);
    EXPECT_TRUE(SUCCEEDED(hr));
    return short(HRESULT_CODE(hr));
  }
};

}  // namespace

TEST_F(FolderOrder, NamesSortInTheMachinesCaseFoldingFoldersFirst) {
  const std::vector<std::string> names = {"b.txt",  "B2.txt",    "_x.txt",    "Zed.txt",
                                          "a.txt",  "été.txt",   "Étage.txt", "ça.txt",
                                          "zz.txt", "A.TXT.bak", "[x].txt"};
  for (const auto& n : names) ASSERT_TRUE(WriteWholeFile("C:\\O\\" + n, n));
  CreateDirectory("C:\\O\\zdossier");
  std::vector<LPITEMIDLIST> ids;
  ids.reserve(names.size() + 1);
  for (const auto& n : names) ids.push_back(Id(n));
  ids.push_back(Id("zdossier"));
  std::sort(ids.begin(), ids.end(),
            [&](LPCITEMIDLIST a, LPCITEMIDLIST b) { return Compare(a, b) < 0; });
  std::vector<std::string> got;
  for (auto id : ids) {
    STRRET sr;
    folder->GetDisplayNameOf(id, SHGDN_INFOLDER, &sr);
    std::string s;
    StrRetToStr(&sr, id, &s);
    got.push_back(s);
  }
  std::vector<std::string> want = names;
  std::sort(want.begin(), want.end(),
            [](const std::string& a, const std::string& b) { return FoldCase(a) < FoldCase(b); });
  want.insert(want.begin(), "zdossier");
  EXPECT_EQ(got, want);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(Compare(ids[i], ids[i]), 0);
    for (std::size_t j = i + 1; j < ids.size(); ++j)
      EXPECT_EQ(Compare(ids[j], ids[i]), 1) << got[j] << " " << got[i];
  }
  for (auto id : ids) ILFree(id);
}

TEST_F(FolderOrder, ListsOfSeveralItemsCompareItemByItemAndByColumn) {
  CreateDirectory("C:\\O\\D");
  ASSERT_TRUE(WriteWholeFile("C:\\O\\D\\petit.txt", "p"));
  ASSERT_TRUE(WriteWholeFile("C:\\O\\D\\grand.doc", std::string(3000, 'g')));
  LPITEMIDLIST small = Id("D\\petit.txt"), big = Id("D\\grand.doc"), dir = Id("D");
  EXPECT_EQ(Compare(big, small), -1);     // by name
  EXPECT_EQ(Compare(big, small, 1), 1);   // by size
  EXPECT_EQ(Compare(big, small, 2), -1);  // by type: "Fichier DOC" before "Fichier TXT"
  EXPECT_EQ(Compare(dir, small), -1);     // the folder itself before what is in it
  EXPECT_EQ(Compare(small, small), 0);
  // A malformed second item is refused, not read past.
  std::string bytes(reinterpret_cast<const char*>(small), ILGetSize(small));
  bytes[ILGetSize(dir) - 2] = 2;  // the second item's length below its header
  EXPECT_EQ(folder->CompareIDs(0, reinterpret_cast<LPCITEMIDLIST>(bytes.data()), big),
            E_INVALIDARG);
  ILFree(small);
  ILFree(big);
  ILFree(dir);
}
