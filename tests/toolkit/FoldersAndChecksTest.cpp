// Special folders, run-time library checks, program-start results, Windows family tests,
// the administrator test, the restart and the local addresses.
#include "platform/forms/Classes.h"
#include "platform/forms/Screen.h"
#include "platform/system/Exceptions.h"
#include "platform/system/Fonts.h"
#include "platform/system/LastError.h"
#include "platform/system/Shutdown.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

class Folders : public ToolkitTest {
 protected:
  explicit Folders(win::MachineSettings s = {}) : ToolkitTest(std::move(s)) {}
  void ShellLibraries() {
    Put("C:\\WINDOWS\\system32\\shell32.dll", "");
    Put("C:\\WINDOWS\\system32\\shfolder.dll", "");
  }
};

TEST_F(Folders, ShellFolderOfProgramFilesFromTheRegistry) {
  ShellLibraries();
  WriteRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                 "ProgramFilesDir", "C:\\Program Files");
  TWindowsInstaller inst("");
  std::string dir;
  inst.GetShellFolderPath(0x26, false, dir);
  EXPECT_EQ(dir, "C:\\Program Files");
  EXPECT_TRUE(std::filesystem::is_directory(Host("C:\\Program Files")));  // created
  inst.GetProgramFilesDir(dir);
  EXPECT_EQ(dir, "C:\\Program Files\\");

  WriteRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                 "ProgramFilesDir", "D:\\");
  TWindowsInstaller root("");
  root.GetShellFolderPath(0x26, true, dir);
  // Drive D: does not exist here: the lookup fails and gives nothing.
  EXPECT_EQ(dir, "");
}

TEST_F(Folders, MissingShellFolderLibraryIsReported) {
  Put("C:\\WINDOWS\\system32\\shell32.dll", "");
  TWindowsInstaller inst("C:\\nowhere\\");
  std::string dir;
  try {
    inst.GetShellFolderPath(0x26, false, dir);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_TRUE(e.Message().starts_with("Erreur système.  Code : ")) << e.Message();
    EXPECT_TRUE(e.Message().ends_with("\r\n\r\nshfolder.dll")) << e.Message();
  }
}

TEST_F(Folders, WritableSystemDirInsideWindowsFolder) {
  EXPECT_EQ(TWindowsInstaller::GetWritableSystemDir(), "C:\\WINDOWS\\system32\\");
  EXPECT_EQ(TWindowsInstaller::GetWindowsDir(), "C:\\WINDOWS\\");
  EXPECT_EQ(ReadSystemDir(), "C:\\WINDOWS\\system32");
}

TEST_F(Folders, VersionsCompareWordByWord) {
  EXPECT_EQ(TWindowsInstaller::CompareVersion(6, 0, 89, 64, 6, 0, 89, 64), 0);
  EXPECT_EQ(TWindowsInstaller::CompareVersion(6, 0, 89, 65, 6, 0, 89, 64), 1);
  EXPECT_EQ(TWindowsInstaller::CompareVersion(5, 9, 9, 9, 6, 0, 0, 0), -1);
  EXPECT_EQ(TWindowsInstaller::CompareVersion(0xFFFF, 0, 0, 0, 1, 0, 0, 0), 1);
}

TEST_F(Folders, VBRuntimeAtItsMinimumNeedsNothing) {
  const std::string sys = "C:\\WINDOWS\\system32\\";
  PutVersioned(sys + "asycfilt.dll", 2, 40, 4275, 1);
  PutVersioned(sys + "comcat.dll", 4, 71, 1460, 1);
  PutVersioned(sys + "msvbvm60.dll", 6, 0, 89, 64);
  PutVersioned(sys + "oleaut32.dll", 2, 40, 4275, 1);
  PutVersioned(sys + "olepro32.dll", 5, 0, 4275, 1);
  PutVersioned(sys + "stdole2.tlb", 2, 40, 4275, 1);
  EXPECT_FALSE(TWindowsInstaller::VBRuntimeNeedsUpdate());
  PutVersioned(sys + "msvbvm60.dll", 6, 0, 89, 63);
  EXPECT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
  PutVersioned(sys + "msvbvm60.dll", 6, 0, 89, 64);
  std::filesystem::remove(Host(sys + "comcat.dll"));
  EXPECT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
}

TEST_F(Folders, ProgramStartResults) {
  TWindowsInstaller::CheckShellExecuteResult("C:\\x.exe", 42);
  try {
    TWindowsInstaller::CheckShellExecuteResult("C:\\x.exe", 2);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "C:\\x.exe\r\n\r\nThe specified file was not found.");
  }
  win::SetLastError(5);
  try {
    TWindowsInstaller::CheckShellExecuteResult("C:\\x.exe", 4);
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, 5u);
  }
  win::SetLastError(0);
  EXPECT_THROW(TWindowsInstaller::CheckShellExecuteResult("C:\\x.exe", -1), EOSError);
}

TEST_F(Folders, FontAlreadyKnownIsLeftAlone) {
  Put("C:\\media\\TT0646Z_.TTF", "not really a font");
  Screen->SetFontNames({"OCR-B-10 BT"});
  ASSERT_NE(Screen->Fonts(), nullptr);
  ASSERT_GE(Screen->Fonts()->IndexOf("OCR-B-10 BT"), 0);
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\media\\TT0646Z_.TTF", "OCR-B-10 BT");
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"));
  EXPECT_TRUE(win::Broadcasts().empty());
  Screen->SetFontNames({});
}

TEST_F(Folders, NewFontIsCopiedAndRegistered) {
  ShellLibraries();
  Put("C:\\media\\TT0646Z_.TTF", "not really a font");
  const std::string fonts = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
  WriteRegString(win::HKEY_LOCAL_MACHINE, fonts, "Arial (TrueType)", "ARIAL.TTF");
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\media\\TT0646Z_.TTF", "OCR-B-10 BT (TrueType)");
  EXPECT_EQ(Read("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"), "not really a font");
  std::string v;
  ReadRegString(win::HKEY_LOCAL_MACHINE, fonts, "OCR-B-10 BT (TrueType)", v);
  EXPECT_EQ(v, "TT0646Z_.TTF");
}

class Family : public ToolkitTest {
 protected:
  explicit Family(win::OsVersion os) : ToolkitTest(Os(os)) {}
};
struct Nt4 : Family {
  Nt4() : Family(win::OsVersion::NT4) {}
};
struct W98 : Family {
  W98() : Family(win::OsVersion::Win98) {}
};
struct Xp : Family {
  Xp() : Family(win::OsVersion::WinXP) {}
};

TEST_F(Nt4, IsNT4) {
  EXPECT_TRUE(IsWinNT4());
  EXPECT_FALSE(IsWin9x());
}
TEST_F(W98, Is9xAndAlwaysAdministrator) {
  EXPECT_TRUE(IsWin9x());
  EXPECT_FALSE(IsWinNT4());
  EXPECT_TRUE(IsAdmin());
}
TEST_F(Xp, AdministratorTestFollowsTheUser) {
  EXPECT_FALSE(IsWinNT4());
  EXPECT_TRUE(IsAdmin());
  auto s = win::Machine::Current().Settings();
  s.admin = false;
  win::Machine::Current().SaveSettings(s);
  EXPECT_FALSE(IsAdmin());
}
TEST_F(Xp, RebootIsRequested) {
  EXPECT_FALSE(win::PendingRestart().has_value());
  RebootWindows();
  ASSERT_TRUE(win::PendingRestart().has_value());
  EXPECT_EQ(win::PendingRestart()->flags & win::EWX_REBOOT, win::EWX_REBOOT);
}

class Addresses : public ToolkitTest {
 protected:
  static win::MachineSettings WithAddresses() {
    win::MachineSettings s;
    s.hostName = "POSTE1";
    s.ipv4 = std::vector<std::string>{"192.168.1.10", "10.0.0.5"};
    return s;
  }
  Addresses() : ToolkitTest(WithAddresses()) {}
};

TEST_F(Addresses, AppendedInOrder) {
  std::vector<std::string> l = {"kept"};
  TWindowsInstaller::GetLocalIPAddresses(l);
  EXPECT_EQ(l, (std::vector<std::string>{"kept", "192.168.1.10", "10.0.0.5"}));
}

}  // namespace
