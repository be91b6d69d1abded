#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/system/Machine.h"
#include "platform/system/PeFile.h"
#include "platform/system/Version.h"
#include "support/MachineCommand.h"

namespace fs = std::filesystem;

namespace {

using machinecmd::ExpectOneLineError;
using machinecmd::Result;

class MachineTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("wi-tool-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Result Run(const std::vector<std::string>& args) { return machinecmd::Run(root_, args); }
  std::string Dir(const std::string& name) { return (root_ / name).string(); }
  fs::path root_;
};

}  // namespace

TEST_F(MachineTool, NewMachineExportsItsRegistry) {
  std::string pc = Dir("pc");
  auto r = Run({"new", pc});
  ASSERT_EQ(r.rc, 0) << r.err;
  r = Run({"reg", pc, "export"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out.rfind("REGEDIT4", 0), 0u);
  EXPECT_NE(r.out.find("\"ProgramFilesDir\"=\"C:\\\\Program Files\""), std::string::npos);
  EXPECT_NE(r.out.find("Session Manager\\Environment]"), std::string::npos);

  r = Run({"reg", pc, "export",
           "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("\"Arial (TrueType)\"=\"ARIAL.TTF\""), std::string::npos);
  EXPECT_EQ(r.out.find("ProgramFilesDir"), std::string::npos);

  r = Run({"log", pc});
  ASSERT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("machine créée"), std::string::npos);
}

TEST_F(MachineTool, NewTakesItsOptionsAndKeepsExistingMachines) {
  std::string pc = Dir("pc98");
  auto r = Run({"new", pc, "--os", "98", "--user", "Marie", "--no-admin", "--host", "poste3",
                "--ipv4", "none", "--simulated-time"});
  ASSERT_EQ(r.rc, 0) << r.err;
  std::string ini = testfiles::ReadFile(fs::path(pc) / "machine.ini");
  EXPECT_NE(ini.find("os=98"), std::string::npos);
  EXPECT_NE(ini.find("user=Marie"), std::string::npos);
  EXPECT_NE(ini.find("admin=0"), std::string::npos);
  EXPECT_NE(ini.find("simulated_time=1"), std::string::npos);
  EXPECT_TRUE(fs::exists(fs::path(pc) / "drives/c/WINDOWS/SERVICES"));

  ExpectOneLineError(Run({"new", pc}), "already exists");
  EXPECT_EQ(testfiles::ReadFile(fs::path(pc) / "machine.ini"), ini);

  fs::create_directories(root_ / "busy");
  std::ofstream(root_ / "busy" / "notes.txt") << "à garder";
  ExpectOneLineError(Run({"new", Dir("busy")}), "not empty");
  EXPECT_EQ(testfiles::ReadFile(root_ / "busy" / "notes.txt"), "à garder");

  ExpectOneLineError(Run({"new", Dir("x"), "--os", "vista"}), "unknown Windows version");
  ExpectOneLineError(Run({"new", Dir("x"), "--ipv4", "10.0.0.300"}), "not an IPv4 address");
  ExpectOneLineError(Run({"new", Dir("x"), "--frobnicate"}), "unknown option");
  ExpectOneLineError(Run({"new"}), "missing machine folder");
  EXPECT_FALSE(fs::exists(root_ / "x"));
}

// Every new PC has the shell folder library, the versions that did not ship it as a later
// browser left them; --no-shfolder gives the bare PC on any version.
TEST_F(MachineTool, NewPcsHaveShFolderUnlessAskedForTheBarePc) {
  struct Case {
    const char* os;
    const char* sys;
  } cases[] = {{"95", "WINDOWS/SYSTEM"},
               {"nt351", "WINNT/system32"},
               {"nt4", "WINNT/system32"},
               {"xp", "WINDOWS/system32"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.os);
    std::string full = Dir(std::string("full") + c.os), bare = Dir(std::string("bare") + c.os);
    ASSERT_EQ(Run({"new", full, "--os", c.os}).rc, 0);
    auto r = Run({"new", bare, "--os", c.os, "--no-shfolder"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(fs::exists(fs::path(full) / "drives/c" / c.sys / "shfolder.dll"));
    EXPECT_TRUE(fs::exists(fs::path(bare) / "drives/c" / c.sys / "shell32.dll"));
    EXPECT_FALSE(fs::exists(fs::path(bare) / "drives/c" / c.sys / "shfolder.dll"));
  }
}

TEST_F(MachineTool, ImportsRegistryText) {
  std::string pc = Dir("pc");
  ASSERT_EQ(Run({"new", pc}).rc, 0);
  std::ofstream(root_ / "in.reg") << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Essai]\r\n"
                                     "\"Nom\"=\"Valeur\"\r\n";
  auto r = Run({"reg", pc, "import", (root_ / "in.reg").string()});
  ASSERT_EQ(r.rc, 0) << r.err;
  r = Run({"reg", pc, "export", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Essai"});
  EXPECT_NE(r.out.find("\"Nom\"=\"Valeur\""), std::string::npos) << r.out;

  std::ofstream(root_ / "bad.reg")
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Essai]\r\nnot a value\r\n";
  ExpectOneLineError(Run({"reg", pc, "import", (root_ / "bad.reg").string()}), "machine reg");
  ExpectOneLineError(Run({"reg", pc, "import", Dir("absent.reg")}), "cannot be read");
  ExpectOneLineError(Run({"reg", pc, "rename"}), "unknown action");
}

TEST_F(MachineTool, RefusesFoldersWithoutASoundMachine) {
  ExpectOneLineError(Run({"reg", Dir("nothing"), "export"}), "machine reg");
  ExpectOneLineError(Run({"log", Dir("nothing")}), "machine log");
  fs::create_directories(root_ / "broken/drives/c");
  std::ofstream(root_ / "broken/machine.ini") << "[machine]\nos=vista\n";
  ExpectOneLineError(Run({"boot", Dir("broken")}), "unknown Windows version");
  ExpectOneLineError(Run({"bogus"}), "unknown command");
  ExpectOneLineError(Run({}), "missing command");
}

TEST_F(MachineTool, LocksFilesOfTheMachine) {
  std::string pc = Dir("pc");
  ASSERT_EQ(Run({"new", pc}).rc, 0);
  auto r = Run({"lock", pc, "c:\\windows\\system32\\MSVCRT.DLL"});
  ASSERT_EQ(r.rc, 0) << r.err;
  ExpectOneLineError(Run({"lock", pc, "C:\\WINDOWS\\absent.dll"}), "no such file");
  win::Machine m(pc);
  EXPECT_TRUE(m.IsFileInUse(fs::path(pc) / "drives/c/WINDOWS/system32/msvcrt.dll"));
  EXPECT_FALSE(m.IsFileInUse(fs::path(pc) / "drives/c/WINDOWS/system32/kernel32.dll"));
  ASSERT_EQ(Run({"boot", pc}).rc, 0);
  EXPECT_FALSE(m.IsFileInUse(fs::path(pc) / "drives/c/WINDOWS/system32/msvcrt.dll"));
}

TEST_F(MachineTool, WritesSamplePeFiles) {
  std::string file = Dir("fbserver.exe");
  auto r = Run({"pe", file, "--version", "1.5.3.4870", "--size", "70000"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(fs::file_size(file), 70000u);
  std::string bytes = testfiles::ReadFile(file);
  std::vector<std::uint8_t> block;
  ASSERT_EQ(win::ReadPeVersionBlock(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                    bytes.size(), block),
            win::PeVersionRead::Found);
  std::vector<std::uint8_t> buf(block);
  buf.resize(((block.size() + 3) & ~size_t(3)) + 4 + 2 * block.size());
  std::memcpy(&buf[(block.size() + 3) & ~size_t(3)], "UTF8", 4);
  void* p;
  win::UINT len;
  ASSERT_TRUE(win::VerQueryValue(buf.data(), "\\", &p, &len));
  auto* fixed = static_cast<win::VS_FIXEDFILEINFO*>(p);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010005u);
  EXPECT_EQ(fixed->dwFileVersionLS, (3u << 16) | 4870u);
  EXPECT_EQ(fixed->dwFileType, win::VFT_APP);
  ASSERT_TRUE(
      win::VerQueryValue(buf.data(), "\\StringFileInfo\\040C04E4\\OriginalFilename", &p, &len));
  EXPECT_STREQ(static_cast<char*>(p), "fbserver.exe");

  ASSERT_EQ(Run({"pe", Dir("gds32.dll"), "--version", "1.5.3.4870", "--dll"}).rc, 0);
  ExpectOneLineError(Run({"pe", Dir("a.dll"), "--version", "1.2.3"}), "four numbers");
  ExpectOneLineError(Run({"pe", Dir("a.dll"), "--version", "1.2.3.70000"}), "65535");
  // Past 32 bits a part once wrapped round to a small one (4294967297 read as 1).
  ExpectOneLineError(Run({"pe", Dir("a.dll"), "--version", "4294967297.0.0.0"}), "65535");
  ExpectOneLineError(Run({"pe", Dir("a.dll"), "--version", "1.2..3"}), "four numbers");
  ExpectOneLineError(Run({"pe", Dir("a.dll")}), "missing --version");
  ExpectOneLineError(Run({"pe", Dir("a.dll"), "--version", "1.0.0.0", "--size", "lots"}), "--size");
  ExpectOneLineError(Run({"pe", Dir("no/such/dir/a.dll"), "--version", "1.0.0.0"}),
                     "cannot be written");
  EXPECT_FALSE(fs::exists(root_ / "a.dll"));
}

TEST_F(MachineTool, HelpListsEverySubcommand) {
  auto r = Run({"--help"});
  ASSERT_EQ(r.rc, 0);
  for (const char* c : {"machine new DIR", "machine boot DIR", "machine reg DIR export",
                        "machine lock DIR PATH", "machine log DIR", "machine pe FILE"})
    EXPECT_NE(r.out.find(c), std::string::npos) << c;
}
