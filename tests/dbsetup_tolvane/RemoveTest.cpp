// Uninstallation and forced removal.
#include "dbsetup/NTServices.h"
#include "platform/system/Clock.h"
#include "platform/system/Services.h"
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"
#include "tests/support/MachineRegistry.h"

using namespace dbt;

namespace {

const char* const kRunning =
    "Le serveur Firebird est actif sur cette machine!\r\nVoulez-vous l'arrêter maintenant ? (Tous "
    "les clients connectés risquent de perdre leurs données!)";

class Remove : public EngineTest {
 protected:
  Remove() { MakeMedia(); }
  // The registry export without the keys that hold nothing (the platform makes some of
  // those on first access).
  std::string RegistryValues() {
    std::istringstream in(win::RegExportText(""));
    std::string line, key, out;
    while (std::getline(in, line)) {
      if (line.rfind('[', 0) == 0) {
        key = line;
      } else if (!line.empty()) {
        if (!key.empty()) out += key + "\n";
        key.clear();
        out += line + "\n";
      }
    }
    return out;
  }
  bool ServiceExists(const std::string& name) {
    for (auto& s : win::ListServices())
      if (s.name == name) return true;
    return false;
  }
};

TEST_F(Remove, UninstallOfAServerLeavesNoTrace) {
  InstallServer();
  const long crt = SharedCount(SysDir() + "msvcrt.dll"),
             cpp = SharedCount(SysDir() + "msvcp60.dll");
  Put(kTarget + "firebird.log", "log");
  Put(kTarget + "HOST.LCK", "lock");
  Put(kTarget + "other.lck", "lock");
  engine_->StartGuardian();
  UiScript::Expect("Avertissement", std::string("=") + kRunning, "yes");
  engine_->Uninstall(kDefaultInstance);
  EXPECT_FALSE(Exists("C:\\Program Files\\Firebird"));
  EXPECT_TRUE(Exists("C:\\Program Files"));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kInstancesKey));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kMakerKey));
  EXPECT_FALSE(ServiceExists("FirebirdGuardianDefaultInstance"));
  EXPECT_FALSE(ServiceExists("FirebirdServerDefaultInstance"));
  EXPECT_FALSE(Exists(SysDir() + "gds32.dll"));
  EXPECT_EQ(SharedCount(SysDir() + "gds32.dll"), -1);
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbserver.exe"), -1);
  // The run-time libraries of the system stay, and so do their counts.
  EXPECT_TRUE(Exists(SysDir() + "msvcrt.dll"));
  EXPECT_TRUE(Exists(SysDir() + "msvcp60.dll"));
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), crt);
  EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), cpp);
}

// Other products count on the system's run-time libraries: no uninstallation lowers their
// counts, not even repeated ones of an instance kept for another installation.
TEST_F(Remove, UninstallsNeverLowerTheSystemRuntimeCounts) {
  for (const char* name : {"msvcrt.dll", "msvcp60.dll"}) {
    Put(SysDir() + name, "another product's copy");
    for (int i = 0; i < 3; ++i) TWindowsInstaller::IncrementSharedDllCount(SysDir() + name);
  }
  InstallServer();
  EXPECT_GT(SharedCount(SysDir() + "msvcrt.dll"), 3);
  EXPECT_GT(SharedCount(SysDir() + "msvcp60.dll"), 3);
  // Two more installations count on the same files.
  for (int i = 0; i < 2; ++i)
    for (const auto& f : engine_->GetInstalledFiles())
      TWindowsInstaller::IncrementSharedDllCount(f.FileName);
  const long crt = SharedCount(SysDir() + "msvcrt.dll"),
             cpp = SharedCount(SysDir() + "msvcp60.dll");
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    engine_->Uninstall(kDefaultInstance);
    EXPECT_TRUE(Exists(kTarget + "bin\\fbserver.exe"));
    EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), crt);
    EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), cpp);
  }
  // The forced removal takes the instance, never the system's libraries or their counts.
  engine_->BrutalRemove(kDefaultInstance);
  EXPECT_FALSE(Exists(kTarget + "bin\\fbserver.exe"));
  EXPECT_TRUE(Exists(SysDir() + "msvcrt.dll"));
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), crt);
  EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), cpp);
}

TEST_F(Remove, DecliningToStopTheServerChangesNothing) {
  InstallServer();
  engine_->StartGuardian();
  UiScript::Expect("Avertissement", kRunning, "cancel");
  EXPECT_THROW(engine_->Uninstall(kDefaultInstance), EAbort);
  EXPECT_EQ(DialogCount(), 1u);
  EXPECT_TRUE(Exists(kTarget + "bin\\fbserver.exe"));
  EXPECT_TRUE(engine_->IsServerRunning());
}

// Everything comes back as it was, but for the counts of the system's run-time libraries:
// the uninstallation leaves those, so the second installation adds its share once more.
TEST_F(Remove, InstallUninstallInstallGivesTheSameMachine) {
  const long crt0 = std::max(0L, SharedCount(SysDir() + "msvcrt.dll"));
  const long cpp0 = std::max(0L, SharedCount(SysDir() + "msvcp60.dll"));
  InstallServer();
  auto withoutRuntimeCounts = [this] {
    std::string out, line;
    std::istringstream in(RegistryValues());
    while (std::getline(in, line))
      if (line.find("msvcrt.dll\"=") == std::string::npos &&
          line.find("msvcp60.dll\"=") == std::string::npos)
        out += line + "\n";
    return out;
  };
  const std::string registry = withoutRuntimeCounts();
  const auto files = Tree(machine_.c());
  const long crt = SharedCount(SysDir() + "msvcrt.dll"),
             cpp = SharedCount(SysDir() + "msvcp60.dll");
  engine_->Uninstall(kDefaultInstance);
  EXPECT_NE(withoutRuntimeCounts(), registry);
  InstallServer();
  EXPECT_EQ(withoutRuntimeCounts(), registry);
  EXPECT_EQ(Tree(machine_.c()), files);
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), crt + (crt - crt0));
  EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), cpp + (cpp - cpp0));
}

TEST_F(Remove, UninstallOfAClientReleasesTheSystemClientOnce) {
  InstallClient();
  InstallClient();  // counted twice: the system client library stays after one release
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 2);
  EXPECT_EQ(SharedCount(SysDir() + "gds32.dll"), 2);
  engine_->Uninstall(kDefaultInstance);
  EXPECT_TRUE(Exists(SysDir() + "gds32.dll"));
  EXPECT_EQ(SharedCount(SysDir() + "gds32.dll"), 1);
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kMakerKey));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kInstancesKey));
  // The target's client files were counted twice as well.
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbclient.dll"), 1);
  EXPECT_TRUE(Exists(kTarget + "bin\\fbclient.dll"));
}

TEST_F(Remove, AServerAnotherInstallationCountsOnKeepsWorking) {
  InstallServer();
  for (const auto& f : engine_->GetInstalledFiles())
    TWindowsInstaller::IncrementSharedDllCount(f.FileName);
  Put(kTarget + "firebird.log", "log");
  const std::string users = Read(kTarget + "security.fdb");
  engine_->Uninstall(kDefaultInstance);
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbserver.exe"), 1);
  for (const char* f :
       {"bin\\fbserver.exe", "bin\\fbguard.exe", "firebird.conf", "aliases.conf", "security.fdb",
        "security.fbk", "firebird.log", "bin\\isql.exe", "stop server.cmd", "bin\\msvcrt.dll"})
    EXPECT_TRUE(Exists(kTarget + f)) << f;
  EXPECT_EQ(Read(kTarget + "security.fdb"), users);
  EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, kDefaultInstance), kTarget);
  EXPECT_TRUE(ServiceExists("FirebirdGuardianDefaultInstance"));
  EXPECT_TRUE(ServiceExists("FirebirdServerDefaultInstance"));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kMakerKey));
}

TEST_F(Remove, UninstallWithoutARegisteredFolder) {
  Put(kTarget + "bin\\fbserver.exe", "x");
  WriteRegString(win::HKEY_LOCAL_MACHINE, kMakerKey, "Version", "1.5.3.4870");
  WriteRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "Other", "C:\\Other\\");
  CreateNTService("x.exe", "FirebirdGuardianDefaultInstance", "G", true, "");
  CreateNTService("y.exe", "FirebirdServerDefaultInstance", "S", true, "");
  engine_->Uninstall(kDefaultInstance);
  EXPECT_TRUE(Exists(kTarget + "bin\\fbserver.exe"));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kMakerKey));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kInstancesKey));
  EXPECT_FALSE(ServiceExists("FirebirdGuardianDefaultInstance"));
  EXPECT_FALSE(ServiceExists("FirebirdServerDefaultInstance"));
}

TEST_F(Remove, ALockedFileIsTriedFiveTimesThenReportedAndRemovalGoesOn) {
  InstallServer();
  machine_.machine().LockFile(Host(kTarget + "bin\\gbak.exe"));
  UiScript::Expect("Erreur", "=Ne peut pas supprimer le fichier : " + kTarget + "bin\\gbak.exe",
                   "ok");
  win::DWORD t0 = win::GetTickCount();
  engine_->Uninstall(kDefaultInstance);
  win::DWORD spent = win::GetTickCount() - t0;
  // Four pauses between the five attempts, and the one-second wait after deleting each
  // of the two services.
  EXPECT_EQ(spent, 4000u + 2000u);
  EXPECT_TRUE(Exists(kTarget + "bin\\gbak.exe"));
  EXPECT_FALSE(Exists(kTarget + "bin\\gfix.exe"));
  EXPECT_FALSE(Exists(kTarget + "firebird.conf"));
}

TEST_F(Remove, BackupServicesAreStoppedNeverDeleted) {
  InstallServer();
  CreateNTService("b1.exe", "MarqetoFBBackup", "B1", false, "");
  CreateNTService("b2.exe", "FirebirdBackup", "B2", false, "");
  StartNTService("MarqetoFBBackup");
  StartNTService("FirebirdBackup");
  engine_->Uninstall(kDefaultInstance);
  EXPECT_TRUE(ServiceExists("MarqetoFBBackup"));
  EXPECT_TRUE(ServiceExists("FirebirdBackup"));
  EXPECT_FALSE(IsNTServiceRunning("MarqetoFBBackup"));
  EXPECT_FALSE(IsNTServiceRunning("FirebirdBackup"));

  StartNTService("FirebirdBackup");
  engine_->BrutalRemove(kDefaultInstance);
  EXPECT_TRUE(ServiceExists("FirebirdBackup"));
  EXPECT_FALSE(IsNTServiceRunning("FirebirdBackup"));
}

TEST_F(Remove, ForcedRemovalIgnoresCountsAndOtherInstances) {
  InstallServer();
  for (const auto& f : engine_->GetInstalledFiles())
    TWindowsInstaller::IncrementSharedDllCount(f.FileName);
  engine_->StartGuardian();
  Put(kTarget + "IPLicense.txt", "licence");
  Put(kTarget + "bin\\instsvc.exe", "x");
  Put(SysDir() + "fbclient.dll", "x");
  Put(SysDir() + "Firebird2Control.cpl", "x");
  WriteRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "Other", "C:\\Other\\");
  engine_->BrutalRemove(kDefaultInstance);
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_FALSE(Exists("C:\\Program Files\\Firebird"));
  for (const char* f : {"gds32.dll", "fbclient.dll", "Firebird2Control.cpl"})
    EXPECT_FALSE(Exists(SysDir() + f)) << f;
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbserver.exe"), -1);
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kInstancesKey));
  EXPECT_FALSE(RegKeyExists(win::HKEY_LOCAL_MACHINE, kMakerKey));
  EXPECT_FALSE(ServiceExists("FirebirdGuardianDefaultInstance"));
  EXPECT_TRUE(Exists(SysDir() + "msvcrt.dll"));
}

TEST_F(Remove, ForcedRemovalClearsTheDefaultFolderWhenNothingIsRegistered) {
  Put(kTarget + "bin\\fbserver.exe", "x");
  Put(kTarget + "security.fdb", "x");
  engine_->BrutalRemove(kDefaultInstance);
  EXPECT_FALSE(Exists("C:\\Program Files\\Firebird"));
}

TEST_F(Remove, ForcedRemovalWithoutProgramFilesLeavesTheCurrentFolderAlone) {
  SetProgramFilesValue("");
  win::SetCurrentDirectory("C:\\");
  Put("C:\\Firebird\\Firebird_1_5\\security.fdb", "someone's users");
  engine_->BrutalRemove(kDefaultInstance);
  EXPECT_EQ(Read("C:\\Firebird\\Firebird_1_5\\security.fdb"), "someone's users");
}

}  // namespace
