#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/system/Files.h"
#include "platform/system/Registry.h"
#include "platform/system/Restart.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {
const auto& Put = testfiles::PutFile;
const auto& Get = testfiles::ReadFile;
}  // namespace

TEST(Restart, NtCarriesOutPendingMovesInOrderAndClearsThem) {
  MachineSettings s;
  s.admin = false;  // the restart acts with the system's rights
  TempMachine pc(s);
  fs::path sys = pc.c() / "WINDOWS/system32";
  Put(sys / "gds32.dll", "old");
  Put(sys / "gds32000.dll", "new");
  Put(sys / "junk.tmp", "x");
  pc.machine().LockFile(sys / "gds32.dll");
  ASSERT_FALSE(DeleteFile("C:\\WINDOWS\\system32\\gds32.dll"));
  RegImportText("REGEDIT4\n[HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager]\n");
  {
    // The user cannot record delayed moves (HKLM), so record them as an administrator would.
    MachineSettings admin = s;
    admin.admin = true;
    pc.machine().SaveSettings(admin);
    ASSERT_TRUE(MoveFileEx("C:\\WINDOWS\\system32\\gds32000.dll",
                           "C:\\WINDOWS\\system32\\gds32.dll",
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
    ASSERT_TRUE(MoveFileEx("C:\\WINDOWS\\system32\\junk.tmp", "", MOVEFILE_DELAY_UNTIL_REBOOT));
    pc.machine().SaveSettings(s);
  }
  // Hooks stay for the process: the counter outlives the test and the hook is added once,
  // so that a repeated run sees one call per boot.
  static int hookRuns = 0;
  static const bool hooked = (AddBootHook([](Machine&) { ++hookRuns; }), true);
  (void)hooked;
  int before = hookRuns;
  BootMachine(pc.machine());
  EXPECT_EQ(hookRuns, before + 1);
  EXPECT_EQ(Get(sys / "gds32.dll"), "new");
  EXPECT_FALSE(fs::exists(sys / "gds32000.dll"));
  EXPECT_FALSE(fs::exists(sys / "junk.tmp"));
  EXPECT_FALSE(pc.machine().IsFileInUse(sys / "gds32.dll"));
  HKEY k;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                         0, KEY_READ, &k),
            0);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueEx(k, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size),
            LONG(ERROR_FILE_NOT_FOUND));
  RegCloseKey(k);
  bool journaled = false;
  for (auto& e : pc.machine().ReadJournal())
    journaled |= e.kind == "restart" && e.text.find("pending move done") != std::string::npos;
  EXPECT_TRUE(journaled);
}

TEST(Restart, Win9xCarriesOutWininitRenamesInShortNames) {
  MachineSettings s;
  s.os = OsVersion::Win98;
  TempMachine pc(s);
  Put(pc.c() / "Program Files/Maker App/Library.dll", "old");
  Put(pc.c() / "Program Files/Maker App/Library000.dll", "new");
  Put(pc.c() / "WINDOWS/gone.txt", "x");
  char src[MAX_PATH], dst[MAX_PATH];
  ASSERT_GT(GetShortPathName("C:\\Program Files\\Maker App\\Library000.dll", src, MAX_PATH), 0u);
  ASSERT_GT(GetShortPathName("C:\\Program Files\\Maker App\\Library.dll", dst, MAX_PATH), 0u);
  EXPECT_STREQ(dst, "C:\\PROGRA~1\\MAKERA~1\\LIBRARY.DLL");
  Put(pc.c() / "WINDOWS/WININIT.INI", std::string("[other]\r\nk=v\r\n[rename]\r\n") + dst + "=" +
                                          src + "\r\nNUL=C:\\WINDOWS\\gone.txt\r\n");
  BootMachine(pc.machine());
  EXPECT_EQ(Get(pc.c() / "Program Files/Maker App/Library.dll"), "new");
  EXPECT_FALSE(fs::exists(pc.c() / "Program Files/Maker App/Library000.dll"));
  EXPECT_FALSE(fs::exists(pc.c() / "WINDOWS/gone.txt"));
  EXPECT_FALSE(fs::exists(pc.c() / "WINDOWS/WININIT.INI"));
  EXPECT_TRUE(fs::exists(pc.c() / "WINDOWS/WININIT.BAK"));
}

// Damage that only a full read finds stops the restart before it does anything (the
// damage a file check sees is tested at the machine command).
TEST(Restart, DamageInsideTheDatabaseStopsItToo) {
  TempMachine pc;
  for (int i = 0; i < 400; ++i)
    RegImportText("REGEDIT4\n[HKLM\\SOFTWARE\\Fill\\K" + std::to_string(i) + "]\n\"v\"=\"" +
                  std::string(200, 'x') + "\"\n");
  pc.machine().CloseDatabases();
  std::string bytes = Get(pc.dir() / "registry.db");
  ASSERT_GT(bytes.size(), 8 * 4096u);
  // The middle page of the file becomes noise; the header and the schema stay sound.
  size_t page = (bytes.size() / 4096 / 2) * 4096;
  for (size_t i = page; i < page + 4096; ++i) bytes[i] = char(i * 7);
  std::ofstream(pc.dir() / "registry.db", std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_THROW(BootMachine(pc.machine()), MachineError);
  for (auto& e : pc.machine().ReadJournal()) EXPECT_NE(e.kind, "restart") << e.text;
}
