// The `machine` command on PCs whose files are damaged: one line naming the file and what is
// wrong, a non-zero exit, and the PC left as it was.
#include <gtest/gtest.h>

#include <random>

#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "support/DamagedRegistry.h"
#include "support/MachineCommand.h"

namespace fs = std::filesystem;

namespace {

using machinecmd::ExpectOneLineError;
using machinecmd::Result;

class DamagedMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ =
        fs::temp_directory_path() / ("wi-damaged-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
    pc_ = (root_ / "pc").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Result Run(const std::vector<std::string>& args) { return machinecmd::Run(root_, args); }
  fs::path root_;
  std::string pc_;
};

// Every file below the PC's drives, with its content.
std::map<std::string, std::string> Drives(const fs::path& pc) {
  std::map<std::string, std::string> out;
  for (auto& e : fs::recursive_directory_iterator(pc / "drives"))
    if (e.is_regular_file()) out[e.path().string()] = testfiles::ReadFile(e.path());
  return out;
}

}  // namespace

TEST_F(DamagedMachine, EveryCommandThatNeedsTheRegistryRefusesADamagedOne) {
  ASSERT_EQ(Run({"new", pc_}).rc, 0);
  std::ofstream(root_ / "in.reg")
      << "REGEDIT4\n[HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
         "\"Later\"=\"C:\\\\WINDOWS\\\\later.exe\"\n";
  ASSERT_EQ(Run({"reg", pc_, "import", (root_ / "in.reg").string()}).rc, 0);
  const fs::path copy = root_ / "copy";
  for (auto d : damaged::AllDamages()) {
    SCOPED_TRACE(damaged::Name(d));
    fs::remove_all(copy);
    fs::copy(pc_, copy, fs::copy_options::recursive);
    ASSERT_EQ(Run({"lock", copy.string(), "C:\\WINDOWS\\system32\\msvcrt.dll"}).rc, 0);
    {
      // A replacement waiting for the restart.
      win::Machine::Use(copy);
      testfiles::Put("C:\\WINDOWS\\system32\\msvcrt000.dll", "new");
      ASSERT_TRUE(win::MoveFileEx(
          "C:\\WINDOWS\\system32\\msvcrt000.dll", "C:\\WINDOWS\\system32\\msvcrt.dll",
          win::MOVEFILE_REPLACE_EXISTING | win::MOVEFILE_DELAY_UNTIL_REBOOT));
      win::Machine::Current().CloseDatabases();
    }
    damaged::Apply(copy, d);
    const std::string before = testfiles::ReadFile(copy / "registry.db");
    const auto drives = Drives(copy);
    const std::string journal = Run({"log", copy.string()}).out;
    ASSERT_NE(journal, "");

    const std::string file =
        (copy / "registry.db").string() + ": the registry of the machine " + damaged::Problem(d);
    ExpectOneLineError(Run({"boot", copy.string()}), file);
    ExpectOneLineError(Run({"reg", copy.string(), "export"}), file);
    ExpectOneLineError(Run({"reg", copy.string(), "import", (root_ / "in.reg").string()}), file);
    ExpectOneLineError(Run({"services", copy.string()}), file);

    // Nothing of the restart happened: no rename, no RunOnce, the lock holds, the journal
    // (which still reads) has no new line; the registry file is as it was.
    EXPECT_EQ(testfiles::ReadFile(copy / "drives/c/WINDOWS/system32/msvcrt000.dll"), "new");
    EXPECT_EQ(Run({"log", copy.string()}).out, journal);
    win::Machine m(copy);
    EXPECT_TRUE(m.IsFileInUse(copy / "drives/c/WINDOWS/system32/msvcrt.dll"));
    EXPECT_EQ(Drives(copy), drives);
    EXPECT_EQ(testfiles::ReadFile(copy / "registry.db"), before);
    EXPECT_EQ(fs::exists(copy / "registry.db"), d != damaged::Damage::Missing);
    EXPECT_FALSE(fs::exists(copy / "registry.db-wal"));
  }
  // The sound PC restarts.
  auto r = Run({"boot", pc_});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(Run({"log", pc_}).out.find("RunOnce (HKLM) Later"), std::string::npos);
}

// A settings file damaged into control characters and stray bytes is shown escaped: the
// error is one readable line whatever the file holds.
TEST_F(DamagedMachine, ADamagedSettingsFileIsShownEscaped) {
  ASSERT_EQ(Run({"new", pc_}).rc, 0);
  std::ofstream(fs::path(pc_) / "machine.ini", std::ios::binary | std::ios::trunc)
      << "[machine]\nos=xp\n\x1b[2J\x07user\xff\x01=x\rz\n";
  for (const char* command : {"boot", "log"}) {
    SCOPED_TRACE(command);
    Result r = Run({command, pc_});
    ExpectOneLineError(r, "machine.ini:3: ");
    EXPECT_NE(r.err.find("\\x1B[2J\\x07user\\xFF\\x01"), std::string::npos) << r.err;
    for (char c : r.err.substr(0, r.err.size() - 1))
      EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) << int(c);
  }
}
