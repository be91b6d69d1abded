// The shell name space over a temporary machine: parsing, enumeration, names, attributes,
// ordering, renaming, and malformed lists.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "platform/shell/FileInfo.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

std::string Name(IShellFolder* f, LPCITEMIDLIST p, DWORD flags) {
  STRRET sr;
  if (FAILED(f->GetDisplayNameOf(p, flags, &sr))) return "<fail>";
  std::string s;
  StrRetToStr(&sr, p, &s);
  return s;
}

LPITEMIDLIST Parse(const std::string& path) {
  LPITEMIDLIST l = nullptr;
  EXPECT_EQ(SHParseDisplayName(path, &l, 0, nullptr), S_OK) << path;
  return l;
}

std::vector<std::string> Children(IShellFolder* f, DWORD flags) {
  ComPtr<IEnumIDList> e;
  EXPECT_EQ(f->EnumObjects(nullptr, flags, e.put()), S_OK);
  std::vector<std::string> out;
  LPITEMIDLIST item;
  ULONG n;
  while (e && e->Next(1, &item, &n) == S_OK) {
    out.push_back(Name(f, item, SHGDN_INFOLDER));
    ILFree(item);
  }
  return out;
}

class NameSpace : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectory("C:\\Data");
    CreateDirectory("C:\\Data\\Sub");
    WriteWholeFile("C:\\Data\\b.txt", "hello");
    WriteWholeFile("C:\\Data\\A.doc", std::string(1025, 'x'));
    WriteWholeFile("C:\\Data\\hidden.txt", "");
    SetFileAttributes("C:\\Data\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  }
  TempMachine pc;
};

TEST_F(NameSpace, DesktopMyComputerAndDrives) {
  ComPtr<IShellFolder> desktop;
  ASSERT_EQ(SHGetDesktopFolder(desktop.put()), S_OK);
  LPITEMIDLIST mc = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &mc), S_OK);
  EXPECT_EQ(Name(desktop.get(), mc, SHGDN_NORMAL), "Poste de travail");
  EXPECT_EQ(Name(desktop.get(), mc, SHGDN_FORPARSING), "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}");
  char path[MAX_PATH];
  EXPECT_FALSE(SHGetPathFromIDList(mc, path));
  ComPtr<IShellFolder> drives;
  ASSERT_EQ(desktop->BindToObject(mc, nullptr, IID_IShellFolder, drives.put_void()), S_OK);
  EXPECT_EQ(Children(drives.get(), SHCONTF_FOLDERS), std::vector<std::string>{"Disque local (C:)"});
  EXPECT_EQ(Children(desktop.get(), SHCONTF_FOLDERS).front(), "Poste de travail");
  LPITEMIDLIST empty = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &empty), S_OK);
  EXPECT_EQ(ILGetSize(empty), 2u);
  EXPECT_EQ(Name(desktop.get(), empty, SHGDN_NORMAL), "Bureau");
  ASSERT_TRUE(SHGetPathFromIDList(empty, path));
  EXPECT_EQ(std::string(path), "C:\\Documents and Settings\\Administrateur\\Bureau");
  ILFree(mc);
  ILFree(empty);
}

TEST_F(NameSpace, ParsesPathsKeepingTheDiskSpellingAndRefusesBadOnes) {
  LPITEMIDLIST l = Parse("c:\\data\\B.TXT");
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetPathFromIDList(l, path));
  EXPECT_EQ(std::string(path), "C:\\Data\\b.txt");
  EXPECT_EQ(ILGetCount(l), 4u);  // My Computer, C:, Data, b.txt
  ILFree(l);
  LPITEMIDLIST none = nullptr;
  EXPECT_EQ(SHParseDisplayName("C:\\Data\\missing.txt", &none, 0, nullptr), HRESULT_FROM_WIN32(2));
  EXPECT_EQ(SHParseDisplayName("C:\\Nope\\x.txt", &none, 0, nullptr), HRESULT_FROM_WIN32(3));
  EXPECT_EQ(SHParseDisplayName("Q:\\", &none, 0, nullptr), HRESULT_FROM_WIN32(3));
  EXPECT_EQ(SHParseDisplayName("C:\\Data\\*.txt", &none, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(SHParseDisplayName("", &none, 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(none, nullptr);
}

TEST_F(NameSpace, EnumeratesByFlagsAndSortsFoldersFirstByName) {
  LPITEMIDLIST dir = Parse("C:\\Data");
  ComPtr<IShellFolder> desktop, folder;
  SHGetDesktopFolder(desktop.put());
  ASSERT_EQ(desktop->BindToObject(dir, nullptr, IID_IShellFolder, folder.put_void()), S_OK);
  EXPECT_EQ(Children(folder.get(), SHCONTF_FOLDERS), std::vector<std::string>{"Sub"});
  auto files = Children(folder.get(), SHCONTF_NONFOLDERS);
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"A.doc", "b.txt"}));
  EXPECT_EQ(Children(folder.get(), SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN).size(), 3u);

  LPITEMIDLIST a = nullptr, b = nullptr, sub = nullptr;
  folder->ParseDisplayName(nullptr, nullptr, u"A.doc", nullptr, &a, nullptr);
  folder->ParseDisplayName(nullptr, nullptr, u"b.txt", nullptr, &b, nullptr);
  folder->ParseDisplayName(nullptr, nullptr, u"Sub", nullptr, &sub, nullptr);
  auto cmp = [&](int col, LPCITEMIDLIST x, LPCITEMIDLIST y) {
    return short(HRESULT_CODE(folder->CompareIDs(col, x, y)));
  };
  EXPECT_LT(cmp(0, a, b), 0);    // names without regard to case
  EXPECT_LT(cmp(0, sub, a), 0);  // folders first, whatever the name
  EXPECT_GT(cmp(1, a, b), 0);    // by size: 1025 bytes after 5
  EXPECT_EQ(cmp(0, a, a), 0);
  // Absolute lists compare through the desktop, item by item.
  LPITEMIDLIST x = Parse("C:\\Data\\b.txt"), y = Parse("C:\\DATA\\B.TXT");
  EXPECT_EQ(short(HRESULT_CODE(desktop->CompareIDs(0, x, y))), 0);

  ULONG attrs = 0xFFFFFFFF;
  LPCITEMIDLIST both[] = {a, sub};
  ASSERT_EQ(folder->GetAttributesOf(1, &sub, &attrs), S_OK);
  EXPECT_TRUE(attrs & SFGAO_FOLDER);
  EXPECT_TRUE(attrs & SFGAO_FILESYSTEM);
  EXPECT_FALSE(attrs & SFGAO_HASSUBFOLDER);
  attrs = SFGAO_FOLDER | SFGAO_CANRENAME;
  ASSERT_EQ(folder->GetAttributesOf(2, both, &attrs), S_OK);
  EXPECT_EQ(attrs, SFGAO_CANRENAME);  // ANDed over the items

  ComPtr<IShellFolder2> f2;
  ASSERT_EQ(folder->QueryInterface(IID_IShellFolder2, f2.put_void()), S_OK);
  SHELLDETAILS col;
  std::string text;
  ASSERT_EQ(f2->GetDetailsOf(a, 1, &col), S_OK);
  StrRetToStr(&col.str, a, &text);
  EXPECT_EQ(text, "2 Ko");
  EXPECT_EQ(f2->GetDetailsOf(nullptr, 9, &col), E_INVALIDARG);
  for (auto p : {a, b, sub, x, y, dir}) ILFree(p);
}

TEST_F(NameSpace, RenamesThroughSetNameOf) {
  LPITEMIDLIST dir = Parse("C:\\Data");
  ComPtr<IShellFolder> desktop, folder;
  SHGetDesktopFolder(desktop.put());
  desktop->BindToObject(dir, nullptr, IID_IShellFolder, folder.put_void());
  LPITEMIDLIST b = nullptr, renamed = nullptr;
  folder->ParseDisplayName(nullptr, nullptr, u"b.txt", nullptr, &b, nullptr);
  ASSERT_EQ(folder->SetNameOf(nullptr, b, u"c.txt", 0x20, &renamed), S_OK);
  EXPECT_EQ(Name(folder.get(), renamed, SHGDN_INFOLDER), "c.txt");
  EXPECT_NE(GetFileAttributes("C:\\Data\\c.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(folder->SetNameOf(nullptr, renamed, u"A.doc", 0, nullptr),
            HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(folder->SetNameOf(nullptr, renamed, u"a/b", 0, nullptr),
            HRESULT_FROM_WIN32(ERROR_INVALID_NAME));
  for (auto p : {dir, b, renamed}) ILFree(p);
}

TEST_F(NameSpace, MalformedListsAreRefused) {
  ComPtr<IShellFolder> desktop;
  SHGetDesktopFolder(desktop.put());
  // An item claiming more than a list may hold, a length of 1, a drive below the desktop.
  unsigned char* longItem = static_cast<unsigned char*>(CoTaskMemAlloc(6));
  const unsigned char bytes[] = {0xFF, 0xFF, 0x31, 0, 0, 0};
  std::memcpy(longItem, bytes, 6);
  auto bad = reinterpret_cast<LPCITEMIDLIST>(longItem);
  EXPECT_FALSE(ILIsValid(bad));
  STRRET sr;
  EXPECT_EQ(desktop->GetDisplayNameOf(bad, 0, &sr), E_INVALIDARG);
  const unsigned char one[] = {1, 0, 0, 0};
  EXPECT_FALSE(ILIsValid(reinterpret_cast<LPCITEMIDLIST>(one)));
  LPITEMIDLIST driveOnly = pidl::Make({pidl::DriveItem('C')});
  EXPECT_EQ(desktop->GetDisplayNameOf(driveOnly, 0, &sr), E_INVALIDARG);
  ComPtr<IShellFolder> sub;
  EXPECT_EQ(desktop->BindToObject(driveOnly, nullptr, IID_IShellFolder, sub.put_void()),
            E_INVALIDARG);
  char path[MAX_PATH];
  EXPECT_FALSE(SHGetPathFromIDList(bad, path));
  ULONG attrs = 0;
  EXPECT_EQ(desktop->GetAttributesOf(1, &bad, &attrs), E_INVALIDARG);
  EXPECT_EQ(desktop->CompareIDs(0, bad, driveOnly), E_INVALIDARG);
  CoTaskMemFree(longItem);
  ILFree(driveOnly);
}

TEST_F(NameSpace, FileInfoGivesIconsAndTypes) {
  LPITEMIDLIST folder = Parse("C:\\Data\\Sub"), file = Parse("C:\\Data\\b.txt"),
               drive = Parse("C:\\");
  SHFILEINFO info;
  auto list = SHGetFileInfo(reinterpret_cast<const char*>(folder), 0, &info, sizeof info,
                            SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_TYPENAME);
  EXPECT_EQ(reinterpret_cast<HIMAGELIST>(list), SystemImageList(true));
  EXPECT_EQ(info.iIcon, SHIL_FOLDER);
  EXPECT_STREQ(info.szTypeName, "Dossier de fichiers");
  SHGetFileInfo(reinterpret_cast<const char*>(folder), 0, &info, sizeof info,
                SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_OPENICON);
  EXPECT_EQ(info.iIcon, SHIL_FOLDER_OPEN);
  SHGetFileInfo(reinterpret_cast<const char*>(file), 0, &info, sizeof info,
                SHGFI_PIDL | SHGFI_TYPENAME | SHGFI_DISPLAYNAME);
  EXPECT_STREQ(info.szTypeName, "Fichier TXT");
  EXPECT_STREQ(info.szDisplayName, "b.txt");
  SHGetFileInfo(reinterpret_cast<const char*>(drive), 0, &info, sizeof info,
                SHGFI_PIDL | SHGFI_SYSICONINDEX);
  EXPECT_EQ(info.iIcon, SHIL_DRIVE_FIXED);
  EXPECT_EQ(SHGetFileInfo("C:\\nothing", 0, &info, sizeof info, SHGFI_TYPENAME), 0u);
  int cx = 0, cy = 0;
  ImageList_GetIconSize(SystemImageList(false), &cx, &cy);
  EXPECT_EQ(cx, 32);
  EXPECT_EQ(ImageList_GetImageCount(SystemImageList(true)), SHIL_COUNT);
  EXPECT_FALSE(ImageList_Destroy(SystemImageList(true)));
  for (auto p : {folder, file, drive}) ILFree(p);
}

}  // namespace
