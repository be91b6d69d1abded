// The Tolvane program end to end: installs, removals and refusals on throw-away PCs.
#include <optional>

#include "platform/system/Services.h"
#include "platform/system/Shutdown.h"
#include "tests/tolvane/TolvaneRun.h"
#include "toolkit/ErrorReporting.h"
#include "toolkit/RegistryHelpers.h"

using namespace tolvane_test;

namespace {

const std::string kServerDone =
    "L'installation du serveur Firebird est terminée!\r\nCe poste peut aussi fonctionner comme "
    "client, Il n'est\r\npas nécessaire d'installer le client.\r\n\r\n";
const std::string kClientDone = "L'installation du client Firebird est terminée!";
const std::string kUninstalled = "Firebird a été désinstallé!";
const std::string kRestart =
    "Vous devez redémarrer l'ordinateur avant d'utiliser Firebird.\r\nVoulez-vous redémarrer "
    "maintenant?";
const std::string kServerRunning = "Le serveur Firebird est actif sur cette machine!";
const std::string kBrutal = "La désinstallation brutale de Firebird peut provoquer la panne";
const std::string kGuardian = "FirebirdGuardianDefaultInstance";
const std::string kServer = "FirebirdServerDefaultInstance";
const std::string kInstall = "C:\\Program Files\\Firebird\\Firebird_1_5\\";

// The script's fields lose their outer line breaks, so messages that end with one are
// matched by everything before it (the exact endings are checked in FrmMainTest).
std::string Contains(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return Esc(text);
}

std::string ServerScript(const std::string& tail) {
  return "check VcRadioButton2\nclick bOK\ndialog information | " + Contains(kServerDone + tail) +
         " | ok\n";
}

class TolvaneProgram : public TolvanePc {
 protected:
  std::optional<win::ServiceInfo> Service(const std::string& name) {
    Pc();
    for (auto& s : win::ListServices())
      if (s.name == name) return s;
    return std::nullopt;
  }
  bool Running(const std::string& name) {
    auto s = Service(name);
    return s && s->state == win::SERVICE_RUNNING;
  }
  std::string InstanceDir() {
    Pc();
    std::string dir;
    ReadRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Firebird Project\\Firebird Server\\Instances",
                  "DefaultInstance", dir);
    return dir;
  }
  void InstallServer() {
    Result r = Tolvane("check VcRadioButton2\nclick bOK\ndialog information | | ok\n");
    ASSERT_EQ(r.rc, 0) << r.err;
    ASSERT_TRUE(Running(kGuardian));
  }
};

// The completion message lists the machine's addresses under a heading that follows
// their number; without any, it ends with its two line breaks.
TEST_F(TolvaneProgram, ServerInstallationShowsTheAddressesStartsTheGuardianAndEnds) {
  struct Case {
    std::string ipv4, tail;
  } cases[] = {
      {"10.1.2.3",
       "Veuillez noter l'adresse IP suivante:\r\nVous en aurez besoin pour installer les postes "
       "clients!\r\n\r\n10.1.2.3\r\n"},
      {"10.1.2.3,192.168.7.9",
       "Veuillez noter les adresses IP suivantes:\r\nVous en aurez besoin pour installer les "
       "postes clients!\r\n\r\n10.1.2.3\r\n192.168.7.9\r\n"},
      {"none", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ipv4);
    TearDown();
    MakePc({"--ipv4", c.ipv4});
    Result r = Tolvane(ServerScript(c.tail));
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(Running(kGuardian));
    EXPECT_TRUE(Service(kServer).has_value());
    EXPECT_EQ(InstanceDir(), kInstall);
    EXPECT_TRUE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbserver.exe")));
    EXPECT_FALSE(win::PendingRestart().has_value());
  }
}

// A system library in use is replaced at the next boot: the guardian waits for it, the
// restart is offered after the completion message, and the dialog closes either way.
TEST_F(TolvaneProgram, ServerInstallationWithALibraryInUseOffersTheRestart) {
  for (std::string answer : {"yes", "no"}) {
    SCOPED_TRACE(answer);
    TearDown();
    // The media's run-time library is newer than the PC's, so it must replace it.
    MakePc({"--ipv4", "none"}, {"--file", "msvcrt.dll=9.0.0.1"});
    Result r = Machine({"lock", pc_.string(), "C:\\WINDOWS\\system32\\msvcrt.dll"});
    ASSERT_EQ(r.rc, 0) << r.err;
    r = Tolvane(ServerScript("") + "dialog confirmation | =" + Esc(kRestart) + " | " + answer +
                "\n");
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_FALSE(Running(kGuardian));
    ASSERT_TRUE(Service(kGuardian).has_value());
    EXPECT_EQ(win::PendingRestart().has_value(), answer == "yes");

    const bool replacedBefore =
        Slurp(C("WINDOWS/system32/msvcrt.dll")) == Slurp(media_ / "Files" / "msvcrt.dll");
    EXPECT_FALSE(replacedBefore);
    r = Machine({"boot", pc_.string()});
    ASSERT_EQ(r.rc, 0) << r.err;
    const bool replacedAfter =
        Slurp(C("WINDOWS/system32/msvcrt.dll")) == Slurp(media_ / "Files" / "msvcrt.dll");
    EXPECT_TRUE(replacedAfter);
    EXPECT_TRUE(Running(kGuardian));
  }
}

TEST_F(TolvaneProgram, ClientInstallationNeedsNoRadioChangeAndEnds) {
  MakePc();
  Result r = Tolvane("click bOK\ndialog information | =" + Esc(kClientDone) + " | ok\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbclient.dll")));
  EXPECT_TRUE(fs::exists(C("WINDOWS/system32/gds32.dll")));
  EXPECT_FALSE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbserver.exe")));
  EXPECT_FALSE(Service(kGuardian).has_value());
}

// After an uninstallation the dialog stays open: the same run then installs the client.
TEST_F(TolvaneProgram, UninstallationKeepsTheDialogOpen) {
  MakePc();
  InstallServer();
  Result r = Tolvane(
      "check VcRadioButton3\nclick bOK\n"
      "dialog * | " +
      Esc(kServerRunning) +
      " | yes\n"
      "dialog information | =" +
      Esc(kUninstalled) +
      " | ok\n"
      "check VcRadioButton1\nclick bOK\n"
      "dialog information | =" +
      Esc(kClientDone) + " | ok\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_FALSE(Service(kGuardian).has_value());
  EXPECT_FALSE(Service(kServer).has_value());
  EXPECT_FALSE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbserver.exe")));
  EXPECT_TRUE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbclient.dll")));
}

// Only Yes on the warning removes anything; No and Cancel leave the dialog as it was.
TEST_F(TolvaneProgram, ForcedRemovalAnsweredNoCancelThenYes) {
  MakePc();
  InstallServer();
  Pc().ReadJournal();
  size_t before = TolvaneChanges().size();
  Result r = Tolvane("check VcRadioButton4\nclick bOK\ndialog * | " + Esc(kBrutal) +
                     " | no\n"
                     "click bOK\ndialog * | " +
                     Esc(kBrutal) + " | cancel\nclick bAnnuler\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(TolvaneChanges().size(), before);
  EXPECT_TRUE(Running(kGuardian));

  r = Tolvane("check VcRadioButton4\nclick bOK\ndialog * | " + Esc(kBrutal) +
              " | yes\n"
              "dialog information | =" +
              Esc(kUninstalled) + " | ok\nclick bAnnuler\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_FALSE(Service(kGuardian).has_value());
  EXPECT_FALSE(Service(kServer).has_value());
  EXPECT_EQ(InstanceDir(), "");
  EXPECT_FALSE(fs::exists(C("Program Files/Firebird/Firebird_1_5")));
  EXPECT_FALSE(fs::exists(C("WINDOWS/system32/gds32.dll")));
}

// A user without administrator rights gets the error and nothing else, even when the
// folder lookup before the test fails on an unreadable instance value.
TEST_F(TolvaneProgram, NonAdministratorIsTurnedAwayWithoutChanges) {
  const std::string script =
      "dialog Erreur | =Vous devez avoir des droits d'Administrateur pour installer\\r\\nou "
      "désinstaller Firebird! | ok\n";
  for (bool brokenInstanceValue : {false, true}) {
    SCOPED_TRACE(brokenInstanceValue);
    TearDown();
    MakePc({"--no-admin"});
    if (brokenInstanceValue) {
      std::ofstream(root_ / "bad.reg")
          << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Firebird Project\\Firebird "
             "Server\\Instances]\r\n\"DefaultInstance\"=dword:00000001\r\n";
      Result r = Machine({"reg", pc_.string(), "import", (root_ / "bad.reg").string()});
      ASSERT_EQ(r.rc, 0) << r.err;
    }
    Result r = Tolvane(script + "check VcRadioButton2\nclick bOK\n");
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(TolvaneChanges(), std::vector<std::string>{});
  }
}

// A file that cannot be copied: one error box with the reporter's text, and the dialog
// stays open for another try.
TEST_F(TolvaneProgram, CopyFailureIsReportedOnceAndTheDialogStays) {
  MakePc();
  fs::remove(media_ / "Files" / "firebird.msg");
  Pc();
  std::string text =
      CopyErrorMessage("D:\\Files\\firebird.msg", kInstall + "firebird.msg", SysErrorText(2));
  Result r = Tolvane("click bOK\ndialog Erreur | " + Contains(text) + " | ok\nclick bAnnuler\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_FALSE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbclient.dll")));
}

// A PC made as an NT 4.0 PC by `machine new` has the shell folder library a later browser
// left, so Tolvane finds its folder and installs the server; the bare PC
// (--no-shfolder) meets the error that names the library, and nothing is installed.
TEST_F(TolvaneProgram, AnNt4PcFromMachineNewRunsAServerInstallation) {
  MakePc({"--os", "nt4", "--ipv4", "none"});
  Result r = Tolvane(ServerScript(""));
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_TRUE(Running(kGuardian));
  EXPECT_EQ(InstanceDir(), kInstall);
  EXPECT_TRUE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbserver.exe")));
  EXPECT_TRUE(fs::exists(C("WINNT/system32/gds32.dll")));

  TearDown();
  MakePc({"--os", "nt4", "--no-shfolder"});
  r = Tolvane("dialog error | =" +
              Esc("Erreur système.  Code : 126.\r\nLe module spécifié est "
                  "introuvable\r\n\r\nshfolder.dll") +
              " | ok\nclick bAnnuler\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(TolvaneChanges(), std::vector<std::string>{});
}

// The system's run-time libraries are counted by other products too: another product holds
// 3, the wizard's server run counts each once more (Windows 2000 and later), and Tolvane's
// uninstallation then leaves those counts as the installations left them.
TEST_F(TolvaneProgram, UninstallingLeavesTheRuntimeCountsOfOtherProducts) {
  MakePc({"--ipv4", "none"}, {"--both"});
  fs::copy_file(WI_BINARY_DIR "/wizard/Install", media_ / "Install.exe");
  const std::string shared = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  const std::string sys = "C:\\WINDOWS\\system32\\";
  std::ofstream(root_ / "other.reg")
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" << shared << "]\r\n"
      << "\"C:\\\\WINDOWS\\\\system32\\\\msvcrt.dll\"=dword:00000003\r\n"
      << "\"C:\\\\WINDOWS\\\\system32\\\\msvcp60.dll\"=dword:00000003\r\n";
  Result r = Machine({"reg", pc_.string(), "import", (root_ / "other.reg").string()});
  ASSERT_EQ(r.rc, 0) << r.err;
  auto counts = [&] {
    Pc();
    std::vector<int> out;
    for (const char* name : {"msvcrt.dll", "msvcp60.dll"}) {
      bool exists = false;
      std::int32_t value = -1;
      ReadRegInteger(win::HKEY_LOCAL_MACHINE, shared, sys + name, exists, value);
      out.push_back(exists ? value : -1);
    }
    return out;
  };
  ASSERT_EQ(counts(), (std::vector<int>{3, 3}));

  std::ofstream(root_ / "install.txt")
      << "wait 20\nclick ActionNext\ncheck rbServeur\nclick ActionNext\nclick ActionNext\n";
  r = Run("env -u DISPLAY WI_HEADLESS=1 WINPC=" + Quote(pc_.string()) + " WI_UI_SCRIPT=" +
          Quote((root_ / "install.txt").string()) + " " + Quote((media_ / "Install.exe").string()));
  ASSERT_EQ(r.rc, 0) << r.err;
  ASSERT_TRUE(Running(kGuardian));
  EXPECT_EQ(counts(), (std::vector<int>{4, 4}));

  r = Tolvane("check VcRadioButton3\nclick bOK\ndialog * | " + Esc(kServerRunning) +
              " | yes\n"
              "dialog information | =" +
              Esc(kUninstalled) + " | ok\nclick bAnnuler\n");
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_FALSE(fs::exists(C("Program Files/Firebird/Firebird_1_5/bin/fbserver.exe")));
  EXPECT_EQ(counts(), (std::vector<int>{4, 4}));
  EXPECT_TRUE(fs::exists(C("WINDOWS/system32/msvcrt.dll")));
  EXPECT_TRUE(fs::exists(C("WINDOWS/system32/msvcp60.dll")));
}

}  // namespace
