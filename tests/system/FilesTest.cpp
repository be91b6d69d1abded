#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Registry.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {
const auto& Put = testfiles::PutFile;
const auto& Get = testfiles::ReadFile;
std::vector<std::string> Find(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATA d;
  HANDLE h = FindFirstFile(pattern, &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(d.cFileName);
  while (FindNextFile(h, &d));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  FindClose(h);
  return names;
}
}  // namespace

TEST(Files, CopyKeepsTimeAndAttributesAndJournals) {
  TempMachine pc;
  Put(pc.c() / "src/a.dll", "new");
  ASSERT_TRUE(SetFileAttributes("C:\\src\\a.dll", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  FILETIME t0;
  WIN32_FIND_DATA d;
  HANDLE h = FindFirstFile("C:\\SRC\\A.DLL", &d);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FindClose(h);
  t0 = d.ftLastWriteTime;
  clock::Advance(5000);
  ASSERT_TRUE(CreateDirectory("C:\\dst"));
  ASSERT_TRUE(CopyFile("c:\\src\\a.dll", "C:\\DST\\a.dll", TRUE));
  EXPECT_EQ(Get(pc.c() / "dst/a.dll"), "new");
  EXPECT_EQ(GetFileAttributes("C:\\dst\\a.dll"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
  h = FindFirstFile("C:\\dst\\a.dll", &d);
  FindClose(h);
  EXPECT_EQ(d.ftLastWriteTime, t0);
  EXPECT_FALSE(CopyFile("C:\\src\\a.dll", "C:\\dst\\a.dll", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  bool copied = false, created = false;
  for (auto& e : pc.machine().ReadJournal()) {
    copied |= e.text == "copied C:\\src\\a.dll to C:\\dst\\a.dll";
    created |= e.text == "folder created C:\\dst";
  }
  EXPECT_TRUE(copied);
  EXPECT_TRUE(created);
}

TEST(Files, BadInputGivesClearErrors) {
  TempMachine pc;
  EXPECT_FALSE(CopyFile("C:\\nothing.txt", "C:\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CopyFile("C:\\no\\nothing.txt", "C:\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  Put(pc.c() / "a.txt", "a");
  EXPECT_FALSE(CopyFile("C:\\a.txt", "C:\\missing\\a.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(CopyFile("C:\\a.txt", "C:\\..\\..\\a.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(CopyFile("C:\\a.txt", "Z:\\tmp\\a.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetFileAttributes("C:\\none"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFile("C:\\none"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateDirectory("C:\\a\\b\\c"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(CreateDirectory("C:\\a.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(RemoveDirectory("C:\\a.txt"));
  EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

TEST(Files, ReadOnlyAndInUseFilesAreProtected) {
  TempMachine pc;
  Put(pc.c() / "ro.txt", "old");
  ASSERT_TRUE(SetFileAttributes("C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteFile("C:\\ro.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WriteWholeFile("C:\\ro.txt", "x"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  Put(pc.c() / "new.txt", "new");
  EXPECT_FALSE(CopyFile("C:\\new.txt", "C:\\ro.txt", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get(pc.c() / "ro.txt"), "old");
  ASSERT_TRUE(SetFileAttributes("C:\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributes("C:\\ro.txt"), FILE_ATTRIBUTE_NORMAL);

  Put(pc.c() / "WINDOWS/system32/busy.dll", "busy");
  pc.machine().LockFile(pc.c() / "WINDOWS/system32/busy.dll");
  EXPECT_FALSE(DeleteFile("C:\\WINDOWS\\system32\\busy.dll"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CopyFile("C:\\new.txt", "C:\\WINDOWS\\system32\\busy.dll", FALSE));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(CreateFile("C:\\WINDOWS\\system32\\busy.dll", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(CopyFile("C:\\WINDOWS\\system32\\busy.dll", "C:\\copy.dll", FALSE));
  std::string data;
  EXPECT_TRUE(ReadWholeFile("C:\\WINDOWS\\system32\\busy.dll", data));
  EXPECT_EQ(data, "busy");
}

TEST(Files, FindMatchesAsWindowsDoes) {
  TempMachine pc;
  Put(pc.c() / "d/README", "");
  Put(pc.c() / "d/a.txt", "");
  Put(pc.c() / "d/B.TXT", "");
  Put(pc.c() / "d/.~wi123.tmp", "");  // a write in progress is never listed
  fs::create_directories(pc.c() / "d/sub");
  EXPECT_EQ(Find("C:\\d\\*.*"),
            (std::vector<std::string>{".", "..", "a.txt", "B.TXT", "README", "sub"}));
  EXPECT_EQ(Find("C:\\d\\*.txt"), (std::vector<std::string>{"a.txt", "B.TXT"}));
  EXPECT_EQ(Find("C:\\d\\readme.*"), (std::vector<std::string>{"README"}));
  EXPECT_EQ(Find("C:\\d\\?.TXT"), (std::vector<std::string>{"a.txt", "B.TXT"}));
  WIN32_FIND_DATA d;
  EXPECT_EQ(FindFirstFile("C:\\d\\*.dll", &d), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFile("C:\\nowhere\\*.*", &d), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(Files, ShortNamesAreStableAndResolveBack) {
  TempMachine pc;
  Put(pc.c() / "Program Files/Firebird/Firebird_1_5/bin/fbserver.exe", "x");
  Put(pc.c() / "Program Data/x", "x");
  char buf[MAX_PATH];
  ASSERT_GT(GetShortPathName("C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe", buf,
                             sizeof buf),
            0u);
  EXPECT_STREQ(buf, "C:\\PROGRA~1\\FIREBIRD\\FIREBI~1\\BIN\\FBSERVER.EXE");
  ASSERT_GT(GetShortPathName("C:\\Program Data", buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "C:\\PROGRA~2");
  ASSERT_GT(GetShortPathName("C:\\Program Files", buf, sizeof buf), 0u);
  EXPECT_STREQ(buf, "C:\\PROGRA~1");
  EXPECT_EQ(GetFileAttributes("C:\\progra~1\\FIREBIRD\\FIREBI~1\\BIN\\FBSERVER.EXE"),
            FILE_ATTRIBUTE_ARCHIVE);
  char small[4];
  EXPECT_EQ(GetShortPathName("C:\\Program Files", small, sizeof small), 12u);
}

TEST(Files, MoveAndDelayedMove) {
  TempMachine pc;
  Put(pc.c() / "a.txt", "a");
  Put(pc.c() / "b.txt", "b");
  EXPECT_FALSE(MoveFileEx("C:\\a.txt", "C:\\b.txt", 0));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileEx("C:\\a.txt", "C:\\b.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(Get(pc.c() / "b.txt"), "a");
  EXPECT_FALSE(fs::exists(pc.c() / "a.txt"));
  Put(pc.c() / "n000.dll", "n");
  ASSERT_TRUE(MoveFileEx("C:\\n000.dll", "C:\\b.txt",
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(MoveFileEx("C:\\b.txt", "", MOVEFILE_DELAY_UNTIL_REBOOT));
  HKEY k;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                         0, KEY_READ, &k),
            0);
  BYTE data[512];
  DWORD size = sizeof data, type = 0;
  ASSERT_EQ(RegQueryValueEx(k, "PendingFileRenameOperations", nullptr, &type, data, &size), 0);
  RegCloseKey(k);
  EXPECT_EQ(type, REG_MULTI_SZ);
  std::string expect = std::string("\\??\\C:\\n000.dll") + '\0' + "!\\??\\C:\\b.txt" + '\0' +
                       "\\??\\C:\\b.txt" + '\0' + '\0' + '\0';
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), expect);
}

TEST(Files, DelayedMoveIsRefusedOn9x) {
  MachineSettings s;
  s.os = OsVersion::Win98;
  TempMachine pc(s);
  Put(pc.c() / "a.txt", "a");
  EXPECT_FALSE(MoveFileEx("C:\\a.txt", "C:\\b.txt", MOVEFILE_DELAY_UNTIL_REBOOT));
  EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

TEST(Files, HandlesWriteAtomicallyAndTimesFollowTheMachineZone) {
  TempMachine pc;
  HANDLE h = CreateFile("C:\\out.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "hello", 5, &n, nullptr));
  EXPECT_FALSE(fs::exists(pc.c() / "out.bin"));  // not in place before the close
  FILETIME t;
  SYSTEMTIME st{2004, 2, 0, 29, 13, 45, 30, 0};
  ASSERT_TRUE(SystemTimeToFileTime(&st, &t));
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
  ASSERT_TRUE(CloseHandle(h));
  EXPECT_EQ(Get(pc.c() / "out.bin"), "hello");
  WIN32_FIND_DATA d;
  FindClose(FindFirstFile("C:\\out.bin", &d));
  EXPECT_EQ(d.ftLastWriteTime, t);
  FILETIME local;
  SYSTEMTIME back;
  ASSERT_TRUE(FileTimeToLocalFileTime(&t, &local));
  ASSERT_TRUE(FileTimeToSystemTime(&local, &back));
  EXPECT_EQ(back.wHour, 14);  // bias 60 minutes
  EXPECT_EQ(back.wDay, 29);
  EXPECT_EQ(back.wDayOfWeek, 0);  // a Sunday
  st.wDay = 30;
  EXPECT_FALSE(SystemTimeToFileTime(&st, &t));
  char name[MAX_PATH];
  ASSERT_NE(GetTempFileName("C:\\", "is", 0, name), 0u);
  EXPECT_EQ(GetFileAttributes(name), FILE_ATTRIBUTE_ARCHIVE);
}

TEST(Files, ProfileStrings) {
  TempMachine pc;
  const std::string ini = "C:\\WINDOWS\\WININIT.INI";
  ASSERT_TRUE(WritePrivateProfileString("rename", "C:\\A.DLL", "C:\\A000.DLL", ini));
  ASSERT_TRUE(WritePrivateProfileString("other", "k", "v", ini));
  ASSERT_TRUE(WritePrivateProfileString("Rename", "C:\\B.DLL", "C:\\B000.DLL", ini));
  EXPECT_EQ(Get(pc.c() / "WINDOWS/WININIT.INI"),
            "[rename]\r\nC:\\A.DLL=C:\\A000.DLL\r\nC:\\B.DLL=C:\\B000.DLL\r\n[other]\r\nk=v\r\n");
  char buf[64];
  EXPECT_EQ(GetPrivateProfileString("OTHER", "K", "d", buf, sizeof buf, ini), 1u);
  EXPECT_STREQ(buf, "v");
  EXPECT_EQ(GetPrivateProfileString("other", "none", "dflt", buf, sizeof buf, ini), 4u);
  EXPECT_STREQ(buf, "dflt");
}
