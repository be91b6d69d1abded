// One folder in one pass: the same entries, in the same order and with the same data as
// FindFirstFile / FindNextFile, and a fresh answer after changes made outside the machine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/system/Files.h"
#include "platform/system/FolderListing.h"
#include "platform/system/LastError.h"
#include "platform/system/ShortNames.h"
#include "support/TempMachine.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

std::vector<WIN32_FIND_DATA> ByFind(const std::string& dir) {
  std::vector<WIN32_FIND_DATA> out;
  WIN32_FIND_DATA fd;
  HANDLE h = FindFirstFile(dir + "\\*", &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (fd.cFileName != "." && fd.cFileName != "..") out.push_back(fd);
  } while (FindNextFile(h, &fd));
  FindClose(h);
  return out;
}

std::vector<std::string> Names(const std::vector<WIN32_FIND_DATA>& v) {
  std::vector<std::string> n;
  n.reserve(v.size());
  for (const auto& d : v) n.push_back(d.cFileName);
  return n;
}

std::vector<std::string> Listed(const std::string& dir) {
  std::vector<WIN32_FIND_DATA> v;
  EXPECT_TRUE(ListFolder(dir, v)) << dir;
  return Names(v);
}

class FolderListing : public ::testing::Test {
 protected:
  TempMachine pc;
  void HostPut(const std::string& rel, const std::string& text = "x") {
    std::ofstream(pc.c() / rel) << text;
  }
};

}  // namespace

TEST_F(FolderListing, GivesWhatFindGivesEntryForEntry) {
  ASSERT_TRUE(CreateDirectory("C:\\L"));
  ASSERT_TRUE(CreateDirectory("C:\\L\\Sous dossier"));
  ASSERT_TRUE(WriteWholeFile("C:\\L\\readme.txt", "hello"));
  ASSERT_TRUE(WriteWholeFile("C:\\L\\Un nom très long.document", std::string(70000, 'x')));
  ASSERT_TRUE(WriteWholeFile("C:\\L\\Un nom très long.docx", "y"));
  ASSERT_TRUE(WriteWholeFile("C:\\L\\caché.ini", "z"));
  ASSERT_TRUE(
      SetFileAttributes("C:\\L\\caché.ini", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributes("C:\\L\\Sous dossier", FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(SetFileAttributes("C:\\L\\readme.txt", FILE_ATTRIBUTE_NORMAL));
  HostPut("L/Zed.TXT");          // made outside: no record at all
  HostPut("L/.~wi123-abc.tmp");  // the machine's half-written file
  fs::create_symlink(pc.c() / "L" / "readme.txt", pc.c() / "L" / "lien.txt");
  // A record for an entry deeper down must not be taken for one of the folder's own.
  ASSERT_TRUE(WriteWholeFile("C:\\L\\Sous dossier\\readme.txt", "deep"));
  ASSERT_TRUE(SetFileAttributes("C:\\L\\Sous dossier\\readme.txt", FILE_ATTRIBUTE_HIDDEN));

  std::vector<WIN32_FIND_DATA> listed;
  ASSERT_TRUE(ListFolder("c:\\l", listed));
  // Find first (it gives the short names that a listing then reads back), then both.
  std::vector<WIN32_FIND_DATA> found = ByFind("C:\\L");
  ASSERT_TRUE(ListFolder("C:\\L\\", listed));
  ASSERT_EQ(Names(listed), Names(found));
  EXPECT_EQ(listed.size(), 7u);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    SCOPED_TRACE(listed[i].cFileName);
    EXPECT_EQ(listed[i].dwFileAttributes, found[i].dwFileAttributes);
    EXPECT_EQ(listed[i].cAlternateFileName, found[i].cAlternateFileName);
    EXPECT_EQ(listed[i].nFileSizeLow, found[i].nFileSizeLow);
    EXPECT_EQ(listed[i].nFileSizeHigh, found[i].nFileSizeHigh);
    EXPECT_EQ(listed[i].ftLastWriteTime.value(), found[i].ftLastWriteTime.value());
    EXPECT_EQ(listed[i].ftCreationTime.value(), found[i].ftCreationTime.value());
  }
  auto at = [&](const std::string& name) {
    for (const auto& d : listed)
      if (d.cFileName == name) return d;
    ADD_FAILURE() << name;
    return WIN32_FIND_DATA{};
  };
  EXPECT_EQ(at("caché.ini").dwFileAttributes,
            DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(at("Sous dossier").dwFileAttributes,
            DWORD(FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(at("readme.txt").dwFileAttributes, DWORD(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(at("Zed.TXT").dwFileAttributes, DWORD(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(at("Un nom très long.document").nFileSizeLow, 70000u);
  EXPECT_EQ(at("readme.txt").cAlternateFileName, "README.TXT");
  EXPECT_EQ(at("Zed.TXT").cAlternateFileName, "ZED.TXT");
  EXPECT_NE(at("Un nom très long.document").cAlternateFileName,
            at("Un nom très long.docx").cAlternateFileName);
}

TEST_F(FolderListing, AFolderChangedOutsideIsListedAsItIsNow) {
  ASSERT_TRUE(CreateDirectory("C:\\O"));
  ASSERT_TRUE(WriteWholeFile("C:\\O\\a.txt", "a"));
  ASSERT_TRUE(WriteWholeFile("C:\\O\\Fichier long b.txt", "b"));
  EXPECT_EQ(Listed("C:\\O"), (std::vector<std::string>{"a.txt", "Fichier long b.txt"}));
  // Made, removed and renamed by another program between two calls.
  HostPut("O/nouveau.txt");
  fs::remove(pc.c() / "O" / "a.txt");
  fs::rename(pc.c() / "O" / "Fichier long b.txt", pc.c() / "O" / "Fichier long c.txt");
  fs::create_directory(pc.c() / "O" / "Dossier");
  std::vector<WIN32_FIND_DATA> v;
  ASSERT_TRUE(ListFolder("C:\\O", v));
  EXPECT_EQ(Names(v), (std::vector<std::string>{"Dossier", "Fichier long c.txt", "nouveau.txt"}));
  EXPECT_EQ(v[0].dwFileAttributes, DWORD(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(Names(ByFind("C:\\O")), Names(v));
  EXPECT_TRUE(FolderHasSubFolder("C:\\O"));
  fs::remove(pc.c() / "O" / "Dossier");
  HostPut("O/.~wi9-0.tmp");
  fs::create_directory(pc.c() / "O" / ".~wi9-1.tmp");
  EXPECT_FALSE(FolderHasSubFolder("C:\\O"));
  EXPECT_EQ(Listed("C:\\O"), (std::vector<std::string>{"Fichier long c.txt", "nouveau.txt"}));
  // The whole folder gone.
  fs::remove_all(pc.c() / "O");
  EXPECT_FALSE(ListFolder("C:\\O", v));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(v.empty());
}

TEST_F(FolderListing, BadFoldersAreRefusedWithTheirError) {
  std::vector<WIN32_FIND_DATA> v;
  ASSERT_TRUE(WriteWholeFile("C:\\f.txt", "f"));
  EXPECT_FALSE(ListFolder("C:\\f.txt", v));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(ListFolder("C:\\..\\..", v));
  EXPECT_FALSE(ListFolder("Q:\\", v));
  EXPECT_FALSE(FolderHasSubFolder("C:\\f.txt"));
  EXPECT_TRUE(FolderHasSubFolder("C:\\"));
  EXPECT_TRUE(ListFolder("C:\\", v));
  EXPECT_FALSE(v.empty());
}

TEST_F(FolderListing, AFirstListingNumbersManySimilarNamesAroundTheTakenOnes) {
  ASSERT_TRUE(CreateDirectory("C:\\N"));
  // Taken before the listing: a real 8.3 name, and a short name given earlier.
  HostPut("N/FICHIE~2.TXT");
  HostPut("N/Fichier ancien.txt");
  ASSERT_EQ(ShortNameOf(pc.machine(), pc.c() / "N", "Fichier ancien.txt"), "FICHIE~1.TXT");
  for (int i = 0; i < 30; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Fichier %02d.txt", i);
    HostPut(std::string("N/") + name);
  }
  HostPut("N/Fichier 00.dat");
  std::vector<WIN32_FIND_DATA> listed;
  ASSERT_TRUE(ListFolder("C:\\N", listed));
  ASSERT_EQ(listed.size(), 33u);
  std::set<std::string> shortNames;
  std::map<std::string, std::string> byName;
  for (const auto& d : listed) {
    const std::string alt = d.cAlternateFileName.empty() ? d.cFileName : d.cAlternateFileName;
    EXPECT_TRUE(shortNames.insert(FoldCase(alt)).second) << alt << " given twice";
    byName[d.cFileName] = alt;
  }
  // In the folder's order, each the first number still free; other extensions apart.
  EXPECT_EQ(byName["Fichier 00.txt"], "FICHIE~3.TXT");
  EXPECT_EQ(byName["Fichier 01.txt"], "FICHIE~4.TXT");
  EXPECT_EQ(byName["Fichier 06.txt"], "FICHIE~9.TXT");
  EXPECT_EQ(byName["Fichier 07.txt"], "FICHI~10.TXT");
  EXPECT_EQ(byName["Fichier 00.dat"], "FICHIE~1.DAT");
  // Kept from then on, and the names resolve back.
  EXPECT_EQ(ShortNameOf(pc.machine(), pc.c() / "N", "Fichier 29.txt"), byName["Fichier 29.txt"]);
  EXPECT_EQ(LongNameOfShort(pc.machine(), pc.c() / "N", "fichi~10.txt"), "Fichier 07.txt");
  // Find gives the same.
  const auto found = ByFind("C:\\N");
  ASSERT_EQ(found.size(), listed.size());
  for (std::size_t i = 0; i < found.size(); ++i)
    EXPECT_EQ(found[i].cAlternateFileName, listed[i].cAlternateFileName);
}

TEST_F(FolderListing, FilesOfAReadOnlyDriveReadAsReadOnlyInEveryWay) {
  const DWORD byPath = GetFileAttributes("Z:\\etc\\passwd");
  ASSERT_NE(byPath, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(byPath & FILE_ATTRIBUTE_READONLY);
  WIN32_FIND_DATA d;
  for (const char* pattern : {"Z:\\etc\\passwd", "Z:\\etc\\passw?"}) {
    HANDLE h = FindFirstFile(pattern, &d);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << pattern;
    FindClose(h);
    EXPECT_EQ(d.dwFileAttributes, byPath) << pattern;
  }
  std::vector<WIN32_FIND_DATA> listed;
  ASSERT_TRUE(ListFolder("Z:\\etc", listed));
  bool seen = false;
  for (const auto& e : listed) {
    if (e.cFileName != "passwd") continue;
    seen = true;
    EXPECT_EQ(e.dwFileAttributes, byPath);
  }
  EXPECT_TRUE(seen);
}
