// Placement against damaged or hostile input, and the real `machine boot` carrying out a
// replacement the engine scheduled.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "platform/system/Registry.h"
#include "tests/support/SmallDrive.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

using namespace tk;
namespace fs = std::filesystem;

namespace {

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string HostFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Hostile : public ToolkitTest {
 protected:
  explicit Hostile(win::MachineSettings s = {}) : ToolkitTest(std::move(s)) {}
  bool Install(const std::string& source, const std::string& destDir) {
    return TWindowsInstaller::InstallFile(source, destDir, "", reboot_);
  }
  // The engine's failure text, or "" when it placed the file.
  std::string Failure(const std::string& source, const std::string& destDir) {
    try {
      Install(source, destDir);
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  }
  // A versioned PE file with its bytes as they are on disk.
  static std::string Pe(win::WORD a, win::WORD b, win::WORD c, win::WORD d) {
    win::PeVersionSpec spec;
    spec.major = a, spec.minor = b, spec.release = c, spec.build = d;
    auto bytes = win::BuildPeFile(spec);
    return std::string(bytes.begin(), bytes.end());
  }
  bool reboot_ = false;
};

// --- Damaged version resources -----------------------------------------------------------

TEST_F(Hostile, DamagedVersionResourcesCountAsNoVersionSoTheDateDecides) {
  const std::string good = Pe(9, 0, 0, 0);
  // Cut inside the resource section, and a resource directory whose offsets point nowhere.
  std::string truncated = good.substr(0, 0x400 + 40);
  std::string malformed = good;
  for (size_t i = 0x400; i < 0x400 + 96 && i < malformed.size(); ++i) malformed[i] = char(0xFF);
  auto t = BaseTime();
  for (const std::string& damaged : {truncated, malformed}) {
    SCOPED_TRACE(damaged.size());
    Put("C:\\dest\\a.dll", damaged);
    Put("C:\\src\\a.dll", good);
    EXPECT_EQ(TWindowsInstaller::GetFileVersionString("C:\\dest\\a.dll"), "?");
    // The damaged target is newer: kept, though the source has a high version.
    SetTime("C:\\dest\\a.dll", t + 1h);
    SetTime("C:\\src\\a.dll", t);
    EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\a.dll", "C:\\src\\a.dll"), -1);
    EXPECT_FALSE(Install("C:\\src\\a.dll", "C:\\dest"));
    EXPECT_EQ(Read("C:\\dest\\a.dll"), damaged);
    // Older: replaced, and the damaged copy is kept as the backup.
    SetTime("C:\\src\\a.dll", t + 2h);
    EXPECT_TRUE(Install("C:\\src\\a.dll", "C:\\dest"));
    EXPECT_EQ(Read("C:\\dest\\a.dll"), good);
    EXPECT_EQ(Read("C:\\dest\\a.dll_0"), damaged);
    fs::remove(Host("C:\\dest\\a.dll_0"));

    // A damaged source against a sound target: the date decides again.
    Put("C:\\src\\b.dll", damaged);
    Put("C:\\dest\\b.dll", Pe(1, 0, 0, 0));
    SetTime("C:\\src\\b.dll", t);
    SetTime("C:\\dest\\b.dll", t + 1h);
    EXPECT_FALSE(Install("C:\\src\\b.dll", "C:\\dest"));
    EXPECT_EQ(Read("C:\\dest\\b.dll"), Pe(1, 0, 0, 0));
  }
}

// --- Names that leave the drive, destinations that cannot be written -------------------

TEST_F(Hostile, NamesThatLeaveTheDriveAreRefusedAndNothingLandsOutside) {
  Put("C:\\src\\a.dll", "new");
  const fs::path outside = machine_.dir().parent_path();
  std::string text = Failure("C:\\src\\a.dll", "C:\\..\\..\\escaped");
  EXPECT_EQ(text,
            "Ne peut pas copier le fichier :\r\nC:\\src\\a.dll\r\nDestination :\r\n"
            "C:\\..\\..\\escaped\\a.dll\r\n" +
                SysErrorText(win::ERROR_INVALID_NAME));
  EXPECT_FALSE(fs::exists(outside / "escaped"));
  EXPECT_FALSE(fs::exists(machine_.dir() / "escaped"));

  // A source outside the drive is one that does not exist.
  EXPECT_EQ(Failure("C:\\..\\..\\..\\etc\\hostname", "C:\\dest"),
            "File not found : C:\\..\\..\\..\\etc\\hostname");
  EXPECT_FALSE(Exists("C:\\dest\\hostname"));
}

TEST_F(Hostile, AReadOnlyDriveRefusesTheCopyAndKeepsWhatIsThere) {
  // Z: shows the host's root and cannot be written through the machine.
  const fs::path host = machine_.dir() / "outside";
  fs::create_directories(host);
  std::ofstream(host / "a.dll", std::ios::binary) << "old";
  fs::last_write_time(host / "a.dll", BaseTime());
  std::string dest = "Z:" + host.string();
  std::replace(dest.begin(), dest.end(), '/', '\\');
  Put("C:\\src\\a.dll", "new");
  Put("C:\\src\\b.dll", "new");
  std::string text = Failure("C:\\src\\a.dll", dest);
  EXPECT_FALSE(text.empty());
  EXPECT_NE(text.find(SysErrorText(win::ERROR_ACCESS_DENIED)), std::string::npos) << text;
  EXPECT_EQ(HostFile(host / "a.dll"), "old");
  text = Failure("C:\\src\\b.dll", dest);
  EXPECT_TRUE(text.starts_with("Ne peut pas copier le fichier :\r\nC:\\src\\b.dll\r\n")) << text;
  EXPECT_EQ(std::distance(fs::directory_iterator(host), fs::directory_iterator()),
            1);  // neither a copy nor a backup appeared
}

// A target on a full disk: the new copy cannot be written beside it. The failure is the copy
// failure, naming the source and the target, and the target is still the old file.
TEST_F(Hostile, AFullDiskFailsTheReplacementAsACopyAndKeepsTheTarget) {
  SmallDrive drive(machine_.dir(), 'e');
  if (!drive.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
  Put("E:\\dest\\a.dll", "old");
  SetTime("E:\\dest\\a.dll", BaseTime());
  Put("C:\\src\\a.dll", std::string(64 * 1024, 'n'));
  drive.Fill();
  EXPECT_EQ(Failure("C:\\src\\a.dll", "E:\\dest"),
            "Ne peut pas copier le fichier :\r\nC:\\src\\a.dll\r\nDestination :\r\n"
            "E:\\dest\\a.dll\r\n" +
                SysErrorText(win::ERROR_DISK_FULL));
  EXPECT_FALSE(reboot_);
  EXPECT_EQ(Read("E:\\dest\\a.dll"), "old");
  EXPECT_EQ(Read("E:\\dest\\a.dll_0"), "old");  // the backup made before, which stays
  EXPECT_EQ(drive.Unmount(), "");
}

// --- A damaged registry while a replacement is scheduled -------------------------------

TEST_F(Hostile, ADamagedRegistryStopsTheScheduledReplacementAndKeepsTheTarget) {
  Put("C:\\src\\msvcrt.dll", "new");
  Put("C:\\dest\\msvcrt.dll", "old");
  MakeNewerOverLocked("C:\\src\\msvcrt.dll", "C:\\dest\\msvcrt.dll");
  auto& m = win::Machine::Current();
  m.CloseDatabases();
  const fs::path db = m.Dir() / "registry.db";
  const std::string junk(4096, 'x');
  std::ofstream(db, std::ios::binary | std::ios::trunc) << junk;
  for (fs::path side : {db.string() + "-wal", db.string() + "-shm"}) fs::remove(side);

  UiScript::Expect("Erreur",
                   "=Cannot move : \r\nC:\\dest\\msvcrt000.dll to\r\nC:\\dest\\msvcrt.dll\r\n" +
                       SysErrorText(win::ERROR_BADDB),
                   "ok");
  EXPECT_THROW(Install("C:\\src\\msvcrt.dll", "C:\\dest"), EAbort);
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll"), "old");
  EXPECT_EQ(HostFile(db), junk);
  m.CloseDatabases();
}

// --- A damaged machine.ini ---------------------------------------------------------------

TEST(DamagedMachine, TheEngineReportsTheSettingsFileAndTouchesNothing) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::random_device rd;
  const fs::path dir = fs::temp_directory_path() / ("wi-badini-" + std::to_string(rd()));
  win::Machine::CreateBare(dir, {});  // a sound machine, not made current here
  std::ofstream(dir / "machine.ini", std::ios::trunc) << "[machine]\nos=xp\nadmin=maybe\n";
  fs::create_directories(dir / "drives/c/src");
  fs::create_directories(dir / "drives/c/dest");
  std::ofstream(dir / "drives/c/src/a.dll") << "new";
  std::ofstream(dir / "drives/c/dest/a.dll") << "old";
  fs::last_write_time(dir / "drives/c/dest/a.dll", BaseTime());
  EXPECT_EXIT(
      {
        // The child runs the whole test again, in a folder of its own: it removes it.
        setenv("WINPC", dir.c_str(), 1);
        bool reboot = false;
        int code = 0;
        try {
          TWindowsInstaller::InstallFile("C:\\src\\a.dll", "C:\\dest", "", reboot);
        } catch (const std::exception& e) {
          std::fprintf(stderr, "%s\n", e.what());
          code = 7;
        }
        std::error_code ec;
        fs::remove_all(dir, ec);
        std::exit(code);
      },
      ::testing::ExitedWithCode(7), "machine\\.ini:3");
  EXPECT_EQ(HostFile(dir / "drives/c/dest/a.dll"), "old");
  EXPECT_FALSE(fs::exists(dir / "drives/c/dest/a.dll_0"));
  std::error_code ec;
  fs::remove_all(dir, ec);
}

// --- The real restart ----------------------------------------------------------------------

class BootAfterPlacement : public Hostile {};

TEST_F(BootAfterPlacement, MachineBootPutsTheNewFileInPlaceAndRemovesTheNumberedCopy) {
  ASSERT_TRUE(win::Machine::Current().IsNT());
  Put("C:\\src\\gds32.dll", "new");
  Put("C:\\WINDOWS\\system32\\gds32.dll", "old");
  MakeNewerOverLocked("C:\\src\\gds32.dll", "C:\\WINDOWS\\system32\\gds32.dll");
  EXPECT_TRUE(Install("C:\\src\\gds32.dll", "C:\\WINDOWS\\system32"));
  EXPECT_TRUE(reboot_);
  ASSERT_EQ(Read("C:\\WINDOWS\\system32\\gds32000.dll"), "new");
  win::Machine::Current().CloseDatabases();  // the command opens its own connection

  const fs::path out = machine_.dir() / "boot.out";
  std::string cmd = Quote(WI_BINARY_DIR "/tools/machine/machine") + " boot " +
                    Quote(machine_.dir().string()) + " >" + Quote(out.string()) + " 2>&1";
  int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << HostFile(out);

  EXPECT_EQ(Read("C:\\WINDOWS\\system32\\gds32.dll"), "new");
  EXPECT_FALSE(Exists("C:\\WINDOWS\\system32\\gds32000.dll"));
  EXPECT_EQ(Read("C:\\WINDOWS\\system32\\gds32.dll_0"), "old");
  EXPECT_FALSE(win::Machine::Current().IsFileInUse(Host("C:\\WINDOWS\\system32\\gds32.dll")));
  // Nothing is left to do at the next start.
  win::HKEY k;
  ASSERT_EQ(win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE,
                              "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                              win::KEY_READ, &k),
            0);
  win::DWORD type = 0, size = 0;
  EXPECT_EQ(win::RegQueryValueEx(k, "PendingFileRenameOperations", nullptr, &type, nullptr, &size),
            long(win::ERROR_FILE_NOT_FOUND));
  win::RegCloseKey(k);
}

}  // namespace
