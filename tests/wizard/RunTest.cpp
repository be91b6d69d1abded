// The installation run: its report lines, in order, for each kind of machine.
#include "WizardTestSupport.h"
#include "dbsetup/NTServices.h"
#include "platform/system/Clock.h"
#include "platform/system/Fonts.h"
#include "platform/system/Services.h"
#include "tests/support/MachineRegistry.h"
#include "toolkit/InstallTools2.h"

namespace wzt {
namespace {

using Lines = std::vector<std::string>;

const char* const kRebootQuestion =
    "Des fichiers actuellement utilisés par le système doivent être mis à jour, il est "
    "nécessaire de redémarrer le système pour celà. Voulez-vous redémarrer le système "
    "maintenant ?";

// The lines of the run-time library and font steps on a fresh PC.
Lines FreshTail(bool vbUpToDate) {
  Lines l = {"Librairies VisualBasic..."};
  if (vbUpToDate) {
    l.push_back("Les librairies sont déjà à jour.");
  } else {
    l.push_back("Exécution de vbrun60.exe...");
    l.push_back("vbrun60.exe a été démarré avec succès.");
  }
  l.push_back("Installation de la police OCR-B-10 BT ...");
  l.push_back("La police a été installée.");
  l.push_back("Fin de l'installation.");
  return l;
}

Lines Concat(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class RunTest : public WizardTest {
 protected:
  explicit RunTest(win::MachineSettings s = {}) : WizardTest(std::move(s)) {}
  void SetUp() override { MakeMedia(); }
};

TEST_F(RunTest, ServerOnCleanXp) {
  bool vbUpToDate = !TWindowsInstaller::VBRuntimeNeedsUpdate();
  RunType("rbServeur");
  EXPECT_EQ(Report(), Concat({"Démarrage de l'installation...",
                              "Installation du serveur Firebird...", "Serveur Firebird installé."},
                             FreshTail(vbUpToDate)));
  EXPECT_TRUE(Exists("C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe"));
  EXPECT_TRUE(IsNTServiceRunning("FirebirdGuardianDefaultInstance") ||
              IsNTServiceRunning("FirebirdServerDefaultInstance"));
  EXPECT_TRUE(Exists(ReadSystemDir() + "\\wPDF200A.dll"));
  EXPECT_EQ(DialogMessages().size(), 0u);
  // The finished end step: only Next, which reads "Quitter" without a next installer.
  auto b = ButtonState();
  EXPECT_FALSE(b.back);
  EXPECT_TRUE(b.next);
  EXPECT_FALSE(b.cancel);
  EXPECT_EQ(b.nextCaption, "Quitter");
  EXPECT_EQ(frmEndInstall->PanelButtons->Caption(), "Rapport d'installation");
  EXPECT_TRUE(frmMain->RunNextOnClose);
  Next();
  EXPECT_TRUE(Application->Terminated());
}

class Win2000RunTest : public RunTest {
 protected:
  Win2000RunTest() : RunTest(OsSettings(win::OsVersion::Win2000)) {}
};

TEST_F(Win2000RunTest, StandaloneOnClean2000RunsTheServerStepOnly) {
  bool vbUpToDate = !TWindowsInstaller::VBRuntimeNeedsUpdate();
  RunType("rbMonoPoste");
  EXPECT_EQ(Report(), Concat({"Démarrage de l'installation...",
                              "Installation du serveur Firebird...", "Serveur Firebird installé."},
                             FreshTail(vbUpToDate)));
}

TEST_F(RunTest, ClientWithLibraryPresentRuntimeUpToDateAndFontPresent) {
  Put(ReadSystemDir() + "\\GDS32.DLL", "a client library of some other installation");
  ASSERT_EQ(win::AddFontResource("D:\\Files\\Base\\TT0646Z_.TTF"), 1);
  if (TWindowsInstaller::VBRuntimeNeedsUpdate()) GTEST_SKIP() << "the new PC's run-time is old";
  RunType("rbClient");
  EXPECT_EQ(Report(),
            (Lines{"Démarrage de l'installation...", "Installation du client Firebird...",
                   "Le client Firebird est déjà présent.", "Librairies VisualBasic...",
                   "Les librairies sont déjà à jour.", "Installation de la police OCR-B-10 BT ...",
                   "La police est déjà présente.", "Fin de l'installation."}));
  EXPECT_FALSE(Exists("C:\\Program Files\\Firebird\\Firebird_1_5\\firebird.msg"));
  EXPECT_TRUE(DialogMessages().empty());
}

TEST_F(RunTest, ClientWithoutLibraryIsInstalled) {
  bool vbUpToDate = !TWindowsInstaller::VBRuntimeNeedsUpdate();
  RunType("rbClient");
  EXPECT_EQ(Report(), Concat({"Démarrage de l'installation...",
                              "Installation du client Firebird...", "Client Firebird installé."},
                             FreshTail(vbUpToDate)));
  EXPECT_TRUE(Exists(ReadSystemDir() + "\\GDS32.DLL"));
  EXPECT_FALSE(Exists("C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe"));
}

class ServerPresentTest : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    RunType("rbServeur");
    ASSERT_EQ(Report()[2], "Serveur Firebird installé.");
    DestroyWizard();
    UiScript::Reset();
    // The guardian takes its server down with it; a service already stopped refuses.
    for (const char* service :
         {"FirebirdGuardianDefaultInstance", "FirebirdServerDefaultInstance"}) {
      try {
        StopNTService(service);
      } catch (const Exception&) {
      }
    }
    ASSERT_FALSE(IsNTServiceRunning("FirebirdServerDefaultInstance"));
    vbUpToDate_ = !TWindowsInstaller::VBRuntimeNeedsUpdate();
  }
  Lines Tail() {
    // The font is there since the first run.
    Lines l = FreshTail(vbUpToDate_);
    l[l.size() - 2] = "La police est déjà présente.";
    return l;
  }
  bool vbUpToDate_ = false;
};

const char* const kStoppedQuestion =
    "Le serveur Firebird est déjà présent sur cette machine, mais il est actuellement arrêté. "
    "Voulez-vous le faire démarrer maintenant ?";

TEST_F(ServerPresentTest, YesStartsIt) {
  Expect("Confirmation", kStoppedQuestion, "Oui");
  RunType("rbServeur");
  EXPECT_EQ(Report(),
            Concat({"Démarrage de l'installation...", "Installation du serveur Firebird...",
                    "Le serveur Firebird est déjà présent.", "Démarrage du serveur Firebird...",
                    "Le serveur Firebird a redémarré."},
                   Tail()));
  EXPECT_TRUE(IsNTServiceRunning("FirebirdServerDefaultInstance") ||
              IsNTServiceRunning("FirebirdGuardianDefaultInstance"));
}

TEST_F(ServerPresentTest, NoLeavesItStopped) {
  Expect("Confirmation", kStoppedQuestion, "Non");
  RunType("rbServeur");
  EXPECT_EQ(Report(),
            Concat({"Démarrage de l'installation...", "Installation du serveur Firebird...",
                    "Le serveur Firebird est déjà présent."},
                   Tail()));
  EXPECT_FALSE(IsNTServiceRunning("FirebirdGuardianDefaultInstance"));
}

TEST_F(ServerPresentTest, GuardianThatDoesNotStartIsReportedNotCelebrated) {
  win::ServiceTestSettings fails;
  fails.failsToStart = true;
  win::SetServiceTestSettings("FirebirdGuardianDefaultInstance", fails);
  Expect("Confirmation", kStoppedQuestion, "Oui");
  Expect("Erreur", "Le serveur Firebird n'a pas pu être démarré.", "OK");
  RunType("rbServeur");
  EXPECT_EQ(Report(),
            Concat({"Démarrage de l'installation...", "Installation du serveur Firebird...",
                    "Le serveur Firebird est déjà présent.", "Démarrage du serveur Firebird..."},
                   Tail()));
  EXPECT_TRUE(frmMain->RunNextOnClose);  // the run goes on and succeeds
}

TEST_F(RunTest, NoProgramFilesFolder) {
  SetProgramFilesValue("");
  Expect("Erreur", "Dossier programmes pas trouvé.", "OK");
  RunType("rbServeur");
  EXPECT_EQ(Report(),
            (Lines{"Démarrage de l'installation...", "Installation du serveur Firebird...", "",
                   "Dossier programmes pas trouvé.", "", "L'installation a échoué.",
                   "Fin de l'installation."}));
  EXPECT_FALSE(frmMain->RunNextOnClose);
}

TEST_F(RunTest, IdenticalVersionAlreadyInstalledIsAbandoned) {
  auto target = Host("C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe");
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::copy_file(Host("D:\\Files\\Base\\Firebird15\\Files\\fbserver.exe"), target);
  Expect("Avertissement", "Un programme Firebird de version identique est déjà installé.", "OK");
  Expect("Information", "Installation abandonnée.", "OK");
  Expect("Erreur", "Opération abandonnée", "OK");
  RunType("rbServeur");
  EXPECT_EQ(Report(), (Lines{"Démarrage de l'installation...",
                             "Installation du serveur Firebird...", "", "Opération abandonnée", "",
                             "L'installation a échoué.", "Fin de l'installation."}));
}

// Windows NT 4.0 comes with older run-time libraries.
class Nt4RunTest : public RunTest {
 protected:
  Nt4RunTest() : RunTest(OsSettings(win::OsVersion::NT4)) {}
};

TEST_F(Nt4RunTest, VbrunInstallerMissingIsReportedAndTheRunGoesOn) {
  ASSERT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
  std::filesystem::remove(Host("D:\\Files\\Base\\vbrun60.exe"));
  Put(ReadSystemDir() + "\\GDS32.DLL", "present");
  Expect("Erreur", "vbrun60.exe\r\n\r\nThe specified file was not found.", "OK");
  RunType("rbClient");
  EXPECT_EQ(Report(),
            (Lines{"Démarrage de l'installation...", "Installation du client Firebird...",
                   "Le client Firebird est déjà présent.", "Librairies VisualBasic...",
                   "Exécution de vbrun60.exe...", "vbrun60.exe", "",
                   "The specified file was not found.", "Installation de la police OCR-B-10 BT ...",
                   "La police a été installée.", "Fin de l'installation."}));
  EXPECT_TRUE(frmMain->RunNextOnClose);
}

TEST_F(Nt4RunTest, VbrunInstallerIsStartedQuietlyWithoutWaiting) {
  ASSERT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
  Put(ReadSystemDir() + "\\GDS32.DLL", "present");
  StartWizard();
  Next();
  Check("rbClient");
  win::DWORD before = win::GetTickCount();
  Next();
  // A head start of three seconds for the run-time installer, and no more.
  EXPECT_GE(win::GetTickCount() - before, 3000u);
  EXPECT_LT(win::GetTickCount() - before, 10000u);
  auto started = win::StartedPrograms();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(win::SameText(started[0].path, "D:\\Files\\Base\\vbrun60.exe"));
  EXPECT_EQ(started[0].parameters, "/Q");
  EXPECT_EQ(started[0].show, win::SW_SHOWNOACTIVATE);
}

class Win98RunTest : public RunTest {
 protected:
  Win98RunTest() : RunTest(OsSettings(win::OsVersion::Win98)) {}
};

TEST_F(Win98RunTest, StandaloneFailsOnTheServerStep) {
  const char* text = "Le seveur Firebird ne peut pas être installé sur Windows 95, 98, Me.";
  Expect("Erreur", text, "OK");
  RunType("rbMonoPoste");
  EXPECT_EQ(Report(),
            (Lines{"Démarrage de l'installation...", "Installation du serveur Firebird...", "",
                   text, "", "L'installation a échoué.", "Fin de l'installation."}));
  EXPECT_FALSE(frmMain->RunNextOnClose);
}

}  // namespace
}  // namespace wzt
