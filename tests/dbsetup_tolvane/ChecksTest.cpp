// The checks made before anything is installed, with their exact texts.
#include "dbsetup/NTServices.h"
#include "platform/system/Services.h"
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"

using namespace dbt;

namespace {

const char* const kSame = "Un programme Firebird de version identique est déjà installé.";
const char* const kAbandon = "Installation abandonnée.";
const char* const kClientQuestion =
    "Des fichiers pour les clients Firebird / Interbase existent déjà sur cette machine. Si vous "
    "forcez l'installation du client, d'autres programmes risquent de ne plus fonctionner. "
    "Voulez-vous forcer l'installation de ces fichiers ?";
const char* const kRunning =
    "Le serveur Firebird est actif sur cette machine!\r\nVoulez-vous l'arrêter maintenant ? (Tous "
    "les clients connectés risquent de perdre leurs données!)";

class Checks : public EngineTest {
 protected:
  explicit Checks(win::MachineSettings s = {}) : EngineTest(std::move(s)) { MakeMedia(); }
  std::string Snapshot() {
    return win::RegExportText("") + "\n" + std::to_string(Tree(machine_.c()).size()) + TreeText();
  }
  std::string TreeText() {
    std::string s;
    for (auto& [k, v] : Tree(machine_.c()))
      s += k + ":" + std::to_string(std::hash<std::string>()(v)) + "\n";
    return s;
  }
};

TEST_F(Checks, IdenticalVersionIsWarnedThenAbandonedWithNothingChanged) {
  InstallServer();
  std::string before = Snapshot();
  UiScript::Expect("Avertissement", std::string("=") + kSame, "ok");
  UiScript::Expect("Information", std::string("=") + kAbandon, "ok");
  EXPECT_THROW(InstallServer(), EAbort);
  ASSERT_EQ(DialogCount(), 2u);
  EXPECT_EQ(UiScript::Dialogs()[0].message, kSame);
  EXPECT_EQ(UiScript::Dialogs()[1].message, kAbandon);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(Checks, FilesWithoutVersionCompareAsSame) {
  Put(kTarget + "bin\\fbserver.exe", "no version here");
  Put(kSource + "fbserver.exe", "nor here");
  engine_->SetPaths(kSource, kTarget, kDefaultInstance);
  UiScript::Expect("Avertissement", kSame, "ok");
  UiScript::Expect("Information", kAbandon, "ok");
  EXPECT_THROW(engine_->CheckInstalledServerVersion(), EAbort);
}

TEST_F(Checks, ADifferentVersionMustBeUninstalledFirst) {
  media::MediaOptions older;
  older.version = "1.5.2.4731";
  MakeMedia(older);
  InstallServer();
  MakeMedia();
  try {
    InstallServer();
    FAIL();
  } catch (const EAbort&) {
    FAIL() << "abandoned";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Un programme Firebird de version différente est déjà installé. Vous devez le "
              "désinstaller avant de continuer.\r\nVersion installée : 1.5.2.4731\r\nVersion à "
              "installer : 1.5.3.4870");
  }
  EXPECT_EQ(TWindowsInstaller::GetFileVersionString(kTarget + "bin\\fbserver.exe"), "1.5.2.4731");
}

class Checks98 : public Checks {
 protected:
  Checks98() : Checks(Os(win::OsVersion::Win98)) {}
};
class ChecksNT351 : public Checks {
 protected:
  ChecksNT351() : Checks(Os(win::OsVersion::NT351)) {}
};

TEST_F(Checks98, NoServerOnWindows9x) {
  try {
    InstallServer();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Le seveur Firebird ne peut pas être installé sur Windows 95, 98, Me.");
  }
  EXPECT_FALSE(Exists(kTarget));
  EXPECT_NO_THROW(engine_->CheckClientPlatform());
}

TEST_F(ChecksNT351, NothingOnNT351) {
  for (auto op : {&Checks::InstallServer, &Checks::InstallClient}) {
    try {
      (this->*op)();
      FAIL();
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Firebird ne peut pas être installé sur Windows NT 3.51");
    }
  }
}

TEST_F(Checks, ClientLibraryQuestionNoKeepsTheSystemCopy) {
  Put(SysDir() + "GDS32.DLL", "another vendor's client");
  UiScript::Expect("Avertissement", std::string("=") + kClientQuestion, "no");
  InstallClient();
  EXPECT_FALSE(engine_->GetInstallSystemClient());
  EXPECT_EQ(Read(SysDir() + "GDS32.DLL"), "another vendor's client");
  EXPECT_EQ(SharedCount(SysDir() + "gds32.dll"), -1);
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), -1);
  EXPECT_TRUE(Exists(kTarget + "bin\\gds32.dll"));
}

TEST_F(Checks, ClientLibraryQuestionCancelAbandons) {
  Put(SysDir() + "GDS32.DLL", "another vendor's client");
  UiScript::Expect("Avertissement", kClientQuestion, "cancel");
  UiScript::Expect("Information", std::string("=") + kAbandon, "ok");
  EXPECT_THROW(InstallClient(), EAbort);
  EXPECT_FALSE(Exists(kTarget));
}

TEST_F(Checks, IdenticalClientLibraryAsksNothingAndIsCounted) {
  Put(SysDir() + "GDS32.DLL", Read(kSource + "gds32.dll"));
  InstallClient();
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_TRUE(engine_->GetInstallSystemClient());
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 1);
  EXPECT_EQ(SharedCount(SysDir() + "gds32.dll"), 1);
}

TEST_F(Checks, PathFoldersAreSearchedOnceAndOnlyTheFirstDifferingCopyAsked) {
  Put(SysDir() + "GDS32.DLL", Read(kSource + "gds32.dll"));  // identical: passed over
  Put("C:\\Tools\\GDS32.DLL", "old client");
  Put("C:\\Other\\gds32.dll", "other client");
  WriteRegString(win::HKEY_CURRENT_USER, "Environment", "path",
                 "C:\\Tools;C:\\Other\\;;C:\\Tools\\");
  WriteRegString(win::HKEY_LOCAL_MACHINE,
                 "System\\CurrentControlSet\\Control\\Session Manager\\Environment", "path",
                 "c:\\tools;C:\\Other");
  UiScript::Expect("Avertissement", kClientQuestion, "yes");
  engine_->SetPaths(kSource, kTarget, kDefaultInstance);
  engine_->CheckClientDlls();
  EXPECT_EQ(DialogCount(), 1u);
  EXPECT_TRUE(engine_->GetInstallSystemClient());
  const TStringList& found = engine_->GetClientDlls();
  ASSERT_EQ(found.Count(), 3);
  EXPECT_EQ(found.Get(0), SysDir() + "GDS32.DLL");
  EXPECT_EQ(found.Get(1), "C:\\Tools\\GDS32.DLL");
  EXPECT_EQ(found.Get(2), "C:\\Other\\GDS32.DLL");
  // Tolvane keeps what it found: a second search adds nothing new, and a copy deleted
  // since stays listed (the wizard's build searches afresh).
  engine_->FindClientDlls();
  EXPECT_EQ(found.Count(), 3);
  std::filesystem::remove(Host("C:\\Tools\\GDS32.DLL"));
  engine_->FindClientDlls();
  ASSERT_EQ(found.Count(), 3);
  EXPECT_EQ(found.Get(1), "C:\\Tools\\GDS32.DLL");
}

TEST_F(Checks, RunningServerQuestion) {
  CreateNTService("C:\\fb\\fbguard.exe -s", "FirebirdGuardianDefaultInstance", "G", true, "");
  ASSERT_TRUE(StartNTService("FirebirdGuardianDefaultInstance"));

  UiScript::Expect("Avertissement", std::string("=") + kRunning, "no");
  UiScript::Expect("Information", kAbandon, "ok");
  EXPECT_THROW(InstallServer(), EAbort);
  EXPECT_FALSE(Exists(kTarget));
  EXPECT_TRUE(IsNTServiceRunning("FirebirdGuardianDefaultInstance"));

  // Yes: the services are stopped before the files are placed. The guardian exists
  // already: it takes the new installation's settings.
  UiScript::Expect("Avertissement", kRunning, "yes");
  EXPECT_NO_THROW(InstallServer());
  EXPECT_TRUE(engine_->GetStopServerAgreed());
  EXPECT_FALSE(IsNTServiceRunning("FirebirdGuardianDefaultInstance"));
  EXPECT_TRUE(Exists(kTarget + "bin\\fbserver.exe"));
}

TEST_F(Checks, InstanceRegistry) {
  std::string dir = "x";
  engine_->GetInstanceDir(kDefaultInstance, dir);
  EXPECT_EQ(dir, "");
  engine_->SetPaths(kSource, "C:\\Elsewhere", "Inst");
  EXPECT_FALSE(engine_->InstanceHasServer("Inst"));
  EXPECT_EQ(engine_->GetTargetDir(), "C:\\Elsewhere\\");  // untouched without a registration
  EXPECT_EQ(engine_->GetParentDir(), "C:\\");
  EXPECT_EQ(engine_->GetSourceDir(), kSource);
  EXPECT_EQ(engine_->GetGuardianServiceName(), "FirebirdGuardianInst");
  EXPECT_EQ(engine_->GetServerDisplayName(), "Firebird Server - Inst");

  WriteRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "Inst", "C:\\Client");
  EXPECT_FALSE(engine_->InstanceHasServer("Inst"));
  EXPECT_EQ(engine_->GetBinDir(), "C:\\Client\\bin\\");
  EXPECT_EQ(engine_->GetSourceDir(), "????");

  Put("C:\\Server\\bin\\fbserver.exe", "x");
  engine_->RegisterExistingInstance("Inst", "C:\\Server\\");
  EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "Inst"), "C:\\Client");
  engine_->RegisterExistingInstance("Other", "C:\\Server\\");
  EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "Other"), "C:\\Server\\");
  EXPECT_TRUE(engine_->InstanceHasServer("Other"));
  EXPECT_EQ(engine_->GetParentDir(), "C:\\");

  // Without an inner backslash Tolvane keeps one character (the wizard three).
  engine_->SetPaths(kSource, "C:", "Inst");
  EXPECT_EQ(engine_->GetTargetDir(), "C:\\");
  EXPECT_EQ(engine_->GetParentDir(), "C");
}

}  // namespace
