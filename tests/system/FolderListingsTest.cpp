// The folder listings that path resolution keeps: what another process changes in a folder
// between two calls is seen at the next call (in the folder, or in a folder above it that
// was moved or replaced), and this process's own changes keep the listings true without
// reading the folders again.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>

#include "platform/system/CacheSwitch.h"
#include "platform/system/DirectoryCache.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/RecordBatch.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {
const auto& Put = testfiles::PutFile;

std::set<std::string> Listed(const std::string& pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATA d;
  HANDLE h = FindFirstFile(pattern, &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.insert(d.cFileName);
  while (FindNextFile(h, &d));
  FindClose(h);
  return names;
}

bool Present(const std::string& path) { return GetFileAttributes(path) != INVALID_FILE_ATTRIBUTES; }

// The name as the folder's listing spells it (found without regard to case).
std::string DiskName(const std::string& path) {
  Machine::Resolved r;
  EXPECT_TRUE(Machine::Current().Resolve(path, r));
  return r.hostMissing ? "" : Machine::HostNameOf(r.host);
}
}  // namespace

TEST(FolderListings, ChangesFromOutsideBetweenTwoCallsAreSeen) {
  TempMachine pc;
  fs::path dir = pc.c() / "Data";
  Put(dir / "Alpha.txt", "a");
  // Each change below comes right after a lookup has listed the folder: in the same clock
  // tick where the machine is fast, which is when a stale listing would hide it.
  ASSERT_EQ(DiskName("C:\\data\\ALPHA.TXT"), "Alpha.txt");
  EXPECT_FALSE(Present("C:\\DATA\\beta.txt"));

  Put(dir / "Beta.txt", "b");  // created
  EXPECT_EQ(DiskName("C:\\data\\BETA.TXT"), "Beta.txt");
  EXPECT_TRUE(Present("C:\\DATA\\beta.txt"));

  fs::remove(dir / "Alpha.txt");  // deleted
  EXPECT_FALSE(Present("C:\\data\\alpha.TXT"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(DiskName("C:\\data\\ALPHA.TXT"), "");

  // Renamed by another process.
  ASSERT_EQ(std::system(
                ("mv '" + (dir / "Beta.txt").string() + "' '" + (dir / "Gamma.txt").string() + "'")
                    .c_str()),
            0);
  EXPECT_FALSE(Present("C:\\data\\BETA.txt"));
  EXPECT_TRUE(Present("C:\\data\\gamma.TXT"));
  EXPECT_EQ(Listed("C:\\DATA\\*.txt"), std::set<std::string>{"Gamma.txt"});

  // A file replaced by a folder of the same name, under another case.
  fs::remove(dir / "Gamma.txt");
  fs::create_directory(dir / "GAMMA.TXT");
  DWORD a = GetFileAttributes("C:\\data\\gamma.txt");
  ASSERT_NE(a, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(a & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(FolderListings, AFolderMovedAwayAndMadeAgainIsListedAgain) {
  TempMachine pc;
  Put(pc.c() / "Work" / "Old.dll", "x");
  ASSERT_TRUE(Present("C:\\WORK\\old.dll"));
  fs::rename(pc.c() / "Work", pc.c() / "Moved");
  fs::create_directory(pc.c() / "Work");
  Put(pc.c() / "Work" / "New.dll", "y");
  EXPECT_FALSE(Present("C:\\WORK\\old.dll"));
  EXPECT_TRUE(Present("C:\\work\\NEW.DLL"));
  EXPECT_TRUE(Present("C:\\moved\\OLD.DLL"));
  // The whole drive folder taken away: nothing under it is reported present.
  fs::remove_all(pc.c() / "Moved");
  EXPECT_FALSE(Present("C:\\moved\\OLD.DLL"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(FolderListings, OwnChangesKeepTheListingTrueWithoutReadingTheFolderAgain) {
  if (!CachesOn()) GTEST_SKIP() << "it checks what the caches keep, and they are off";
  TempMachine pc;
  Put(pc.c() / "src" / "Lib.dll", "library");
  Put(pc.c() / "dst" / "Keep.txt", "k");
  auto& folders = pc.machine().Folders();
  if (!folders.KeepsOwnChanges(pc.c().string()))
    GTEST_SKIP() << "the file system here stamps changes with a coarse clock";

  ASSERT_FALSE(Present("C:\\dst\\lib.dll"));
  ASSERT_TRUE(Present("C:\\DST\\keep.txt"));  // the drive's folder too, listed for "DST"
  ASSERT_TRUE(Present("C:\\src\\LIB.DLL"));
  const auto read = folders.Listings();
  ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\dst\\Lib.dll", TRUE));
  EXPECT_EQ(DiskName("C:\\DST\\LIB.DLL"), "Lib.dll");
  ASSERT_TRUE(MoveFile("C:\\dst\\lib.dll", "C:\\dst\\Moved.dll"));
  EXPECT_FALSE(Present("C:\\DST\\LIB.DLL"));
  EXPECT_EQ(DiskName("C:\\dst\\moved.DLL"), "Moved.dll");
  ASSERT_TRUE(CreateDirectory("C:\\dst\\Sub"));
  EXPECT_EQ(DiskName("C:\\DST\\SUB"), "Sub");
  ASSERT_TRUE(DeleteFile("C:\\dst\\MOVED.DLL"));
  EXPECT_FALSE(Present("C:\\dst\\moved.dll"));
  ASSERT_TRUE(RemoveDirectory("C:\\dst\\sub"));
  EXPECT_FALSE(Present("C:\\DST\\SUB"));
  EXPECT_EQ(folders.Listings(), read) << "a folder was read again after a change of this process";

  // An outside change after them is still seen.
  Put(pc.c() / "dst" / "Outside.txt", "o");
  EXPECT_EQ(DiskName("C:\\DST\\OUTSIDE.TXT"), "Outside.txt");
  EXPECT_EQ(Listed("C:\\dst\\*"), (std::set<std::string>{".", "..", "Keep.txt", "Outside.txt"}));
}

TEST(FolderListings, OneListingGivesEachEntryItsOwnAttributesAndShortName) {
  TempMachine pc;
  for (const char* n :
       {"a.dll", "b.dll", "c.dll", "d.dll", "e.dll", "Long Name One.txt", "Long Name Two.txt"})
    Put(pc.c() / "many" / n, n);
  fs::create_directory(pc.c() / "many" / "Folder");
  ASSERT_TRUE(SetFileAttributes("C:\\many\\b.dll", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributes("C:\\many\\Long Name Two.txt",
                                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(SetFileAttributes("C:\\many\\Folder", FILE_ATTRIBUTE_SYSTEM));
  // A record of a deeper entry belongs to that entry only.
  Put(pc.c() / "many" / "Folder" / "a.dll", "deep");
  ASSERT_TRUE(SetFileAttributes("C:\\many\\Folder\\a.dll", FILE_ATTRIBUTE_HIDDEN));

  std::map<std::string, WIN32_FIND_DATA> seen;
  WIN32_FIND_DATA d;
  HANDLE h = FindFirstFile("C:\\many\\*", &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do seen[d.cFileName] = d;
  while (FindNextFile(h, &d));
  FindClose(h);
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen["a.dll"].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(seen["b.dll"].dwFileAttributes, FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(seen["Long Name Two.txt"].dwFileAttributes,
            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(seen["Folder"].dwFileAttributes, FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(seen["Long Name One.txt"].cAlternateFileName, "LONGNA~1.TXT");
  EXPECT_EQ(seen["Long Name Two.txt"].cAlternateFileName, "LONGNA~2.TXT");
  EXPECT_EQ(seen["a.dll"].cAlternateFileName, "A.DLL");
  // The short names given by the listing are the ones the path calls use.
  char shortPath[MAX_PATH];
  ASSERT_GT(GetShortPathName("C:\\many\\Long Name Two.txt", shortPath, MAX_PATH), 0u);
  EXPECT_STREQ(shortPath, "C:\\MANY\\LONGNA~2.TXT");
  EXPECT_EQ(Listed("C:\\many\\LONGNA~1.TXT"), std::set<std::string>{"Long Name One.txt"});
}

TEST(FolderListings, ANameMadeByAnotherProcessDuringAnOwnChangeIsFoundAsSpelled) {
  TempMachine pc;
  fs::path dir = pc.c() / "Busy";
  Put(dir / "Mine.dll", "m");
  DirectoryCache cache(&FoldCase, pc.dir().string());
  auto find = [&](const std::string& name) {
    struct stat st;
    EXPECT_EQ(::stat(dir.c_str(), &st), 0);
    DirectoryCache::Found f;
    return cache.Find(dir.string(), st, name, f) == DirectoryCache::Result::Present ? f.entry.name
                                                                                    : std::string();
  };
  ASSERT_EQ(find("MINE.DLL"), "Mine.dll");
  // Another process makes Theirs.dll while this one writes Ours.dll, which it then notes:
  // the folder's time after both says nothing of the other name.
  Put(dir / "Theirs.dll", "t");
  Put(dir / "Ours.dll", "o");
  cache.Changed(dir.string(), "Ours.dll", true, DT_REG);
  EXPECT_EQ(find("OURS.DLL"), "Ours.dll");
  EXPECT_EQ(find("Theirs.dll"), "Theirs.dll");
  EXPECT_EQ(find("THEIRS.DLL"), "Theirs.dll");  // the folder was read again
  fs::remove(dir / "Mine.dll");
  cache.Changed(dir.string(), "Mine.dll", false, 0);
  EXPECT_EQ(find("mine.dll"), "");
}

TEST(FolderListings, AFolderAboveMovedOrReplacedByAnotherProcessIsSeen) {
  TempMachine pc;
  Put(pc.c() / "A" / "B" / "f.dll", "f");
  // Asked twice: the second answer comes from the listing alone, its place taken as known.
  ASSERT_TRUE(Present("C:\\A\\B\\f.dll"));
  ASSERT_TRUE(Present("C:\\a\\b\\F.DLL"));

  fs::rename(pc.c() / "A", pc.c() / "Z");
  EXPECT_FALSE(Present("C:\\A\\B\\f.dll"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(Present("C:\\z\\B\\F.dll"));

  // Another folder of the same names in its place, with other content: its own changes
  // are seen too, not those of the folder that went.
  Put(pc.c() / "A" / "B" / "g.dll", "g");
  EXPECT_FALSE(Present("C:\\A\\B\\f.dll"));
  EXPECT_TRUE(Present("C:\\A\\B\\g.dll"));
  Put(pc.c() / "A" / "B" / "h.dll", "h");
  Put(pc.c() / "Z" / "B" / "k.dll", "k");
  EXPECT_TRUE(Present("C:\\a\\b\\H.DLL"));
  EXPECT_FALSE(Present("C:\\a\\b\\K.DLL"));
  EXPECT_TRUE(Present("C:\\z\\b\\K.DLL"));

  // The machine's own move of a folder, then an outside change in it under its new name.
  ASSERT_TRUE(MoveFile("C:\\A\\B", "C:\\A\\C"));
  EXPECT_FALSE(Present("C:\\A\\B\\g.dll"));
  Put(pc.c() / "A" / "C" / "new.dll", "n");
  EXPECT_TRUE(Present("C:\\A\\C\\NEW.DLL"));
  EXPECT_TRUE(Present("C:\\A\\C\\g.dll"));
}

TEST(FolderListings, AFolderReachedThroughALinkSeesOutsideChanges) {
  TempMachine pc;
  fs::path outside = pc.dir() / "elsewhere";
  Put(outside / "One.dll", "1");
  fs::create_directory_symlink(outside, pc.c() / "Link");
  ASSERT_TRUE(Present("C:\\link\\ONE.DLL"));
  ASSERT_FALSE(Present("C:\\LINK\\two.dll"));
  Put(outside / "Two.dll", "2");
  EXPECT_TRUE(Present("C:\\LINK\\two.dll"));
  fs::remove(outside / "One.dll");
  EXPECT_FALSE(Present("C:\\link\\ONE.DLL"));
}

TEST(FolderListings, AForkedChildLeavesItsParentTheChangesToSee) {
  TempMachine pc;
  Put(pc.c() / "Shared" / "First.dll", "1");
  ASSERT_TRUE(Present("C:\\shared\\first.dll"));
  ASSERT_FALSE(Present("C:\\shared\\second.dll"));
  // Made outside while the parent is not looking; a child made by fork then looks first.
  Put(pc.c() / "Shared" / "Second.dll", "2");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0)
    _exit(Present("C:\\SHARED\\SECOND.DLL") && Present("C:\\SHARED\\FIRST.DLL") ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(Present("C:\\shared\\second.dll"));
}

TEST(FolderListings, OutsideChangesToTheNamesThisProcessJustChangedAreSeen) {
  TempMachine pc;
  Put(pc.c() / "src" / "Lib.dll", "library");
  fs::create_directories(pc.c() / "Both");
  for (int i = 0; i < 40; ++i) {
    const std::string name = "n" + std::to_string(i % 4) + ".dll";
    const std::string win = "C:\\Both\\" + name;
    const fs::path host = pc.c() / "Both" / name;
    // This process makes the name; another removes it right after, then makes it again.
    ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", win, FALSE));
    fs::remove(host);
    EXPECT_FALSE(Present(win)) << i;
    Put(host, "theirs");
    EXPECT_TRUE(Present(win)) << i;
    // This process removes it; another renames a name of its own onto it.
    ASSERT_TRUE(DeleteFile(win));
    Put(pc.c() / "Both" / "tmp.dat", "t");
    fs::rename(pc.c() / "Both" / "tmp.dat", host);
    EXPECT_TRUE(Present(win)) << i;
    EXPECT_FALSE(Present("C:\\Both\\tmp.dat")) << i;
  }
}

// A unit of work (the placement of one file) looks for outside changes at its first
// lookup; what changes while it runs is seen by the next call after it.
TEST(FolderListings, AChangeMadeWhileAUnitOfWorkRunsIsSeenByTheNextCall) {
  TempMachine pc;
  fs::path dir = pc.c() / "Data";
  Put(dir / "Alpha.txt", "a");
  Put(pc.c() / "src" / "Lib.dll", "library");
  ASSERT_TRUE(Present("C:\\Data\\Alpha.txt"));
  Put(dir / "Beta.txt", "b");  // before the unit: seen inside it
  {
    RecordBatch unit(pc.machine());
    EXPECT_TRUE(Present("C:\\DATA\\beta.txt"));
    // Its own change and another process's, to the same folder and to the same name.
    ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\Data\\Delta.dll", TRUE));
    fs::remove(dir / "Delta.dll");
    fs::remove(dir / "Alpha.txt");
    Put(dir / "Gamma.txt", "g");
  }
  EXPECT_FALSE(Present("C:\\data\\delta.dll"));
  EXPECT_FALSE(Present("C:\\data\\alpha.txt"));
  EXPECT_TRUE(Present("C:\\data\\gamma.txt"));
  EXPECT_EQ(Listed("C:\\Data\\*.txt"), (std::set<std::string>{"Beta.txt", "Gamma.txt"}));
  EXPECT_TRUE(Listed("C:\\Data\\*.dll").empty());
}

// A name another process made after the lookup found none is not replaced by a copy or a
// move that asked not to replace; one that may replace does.
TEST(FolderListings, ANameThatAppearedSinceTheLookupIsReplacedOnlyWhenAsked) {
  TempMachine pc;
  fs::path dir = pc.c() / "Data";
  Put(pc.c() / "src" / "Lib.dll", "library");
  Put(pc.c() / "src" / "Other.dll", "other");
  fs::create_directories(dir);
  RecordBatch unit(pc.machine());
  for (const char* name : {"Copy.dll", "Move.dll", "Replaced.dll"})
    ASSERT_FALSE(Present(std::string("C:\\Data\\") + name));
  for (const char* name : {"Copy.dll", "Move.dll", "Replaced.dll"}) Put(dir / name, "theirs");

  EXPECT_FALSE(CopyFile("C:\\src\\Lib.dll", "C:\\Data\\Copy.dll", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_FALSE(MoveFile("C:\\src\\Other.dll", "C:\\Data\\Move.dll"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(testfiles::ReadFile(dir / "Copy.dll"), "theirs");
  EXPECT_EQ(testfiles::ReadFile(dir / "Move.dll"), "theirs");
  EXPECT_EQ(testfiles::ReadFile(pc.c() / "src" / "Other.dll"), "other");

  EXPECT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\Data\\Replaced.dll", FALSE));
  EXPECT_EQ(testfiles::ReadFile(dir / "Replaced.dll"), "library");
  for (auto& e : fs::directory_iterator(dir))
    EXPECT_FALSE(IsWriteTempName(e.path().filename().string()));
}

// Inside a unit of work, each of its own changes is seen by its next call, whatever made
// it, and a relative path follows the current folder.
TEST(FolderListings, InsideAUnitOfWorkItsOwnChangesAreSeenAtOnce) {
  TempMachine pc;
  Put(pc.c() / "Data" / "Old.dll", "old");
  fs::create_directories(pc.c() / "Other");
  RecordBatch unit(pc.machine());
  ASSERT_TRUE(Present("C:\\Data\\Old.dll"));
  ASSERT_TRUE(MoveFile("C:\\Data\\Old.dll", "C:\\Data\\Old.dll_0"));
  EXPECT_FALSE(Present("C:\\Data\\Old.dll"));
  EXPECT_TRUE(Present("C:\\Data\\Old.dll_0"));
  ASSERT_TRUE(DeleteFile("C:\\Data\\Old.dll_0"));
  EXPECT_FALSE(Present("C:\\Data\\Old.dll_0"));

  EXPECT_FALSE(Present("C:\\Data\\New.txt"));
  HANDLE h = CreateFile("C:\\Data\\New.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "new", 3, &written, nullptr));
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_TRUE(Present("C:\\Data\\New.txt"));

  // Made under another spelling of a name looked up before, and through a folder made.
  Put(pc.c() / "src" / "Lib.dll", "library");
  EXPECT_FALSE(Present("C:\\Data\\LIB.DLL"));
  EXPECT_FALSE(Present("C:\\Data\\Sub\\Lib.dll"));
  ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\Data\\lib.dll", TRUE));
  EXPECT_TRUE(Present("C:\\Data\\LIB.DLL"));
  EXPECT_EQ(DiskName("C:\\Data\\LIB.DLL"), "lib.dll");
  ASSERT_TRUE(CreateDirectory("C:\\Data\\SUB", nullptr));
  ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\Data\\Sub\\Lib.dll", TRUE));
  EXPECT_TRUE(Present("C:\\Data\\Sub\\Lib.dll"));
  EXPECT_EQ(GetFileAttributes("C:\\src\\Lib.dll"), DWORD(FILE_ATTRIBUTE_ARCHIVE));

  ASSERT_TRUE(SetCurrentDirectory("C:\\Data"));
  EXPECT_TRUE(Present("New.txt"));
  ASSERT_TRUE(SetCurrentDirectory("C:\\Other"));
  EXPECT_FALSE(Present("New.txt"));
}
