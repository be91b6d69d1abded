// Server and client installations from the sample media, checked value by value.
#include "dbsetup/NTServices.h"
#include "platform/system/Restart.h"
#include "platform/system/Services.h"
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"

using namespace dbt;

namespace {

const char* const kCounted[] = {
    "firebird.msg",     "bin\\fbclient.dll",      "bin\\gds32.dll",  "bin\\fbserver.exe",
    "bin\\fbguard.exe", "bin\\fb_lock_print.exe", "bin\\gbak.exe",   "bin\\gfix.exe",
    "bin\\gsec.exe",    "bin\\gsplit.exe",        "bin\\gstat.exe",  "bin\\ib_util.dll",
    "intl\\fbintl.dll", "udf\\ib_udf.dll",        "udf\\pg_udf.dll", "udf\\fbudf.dll"};
const char* const kNotCounted[] = {
    "bin\\isql.exe",    "bin\\gpre.exe", "stop server.cmd", "start server.cmd", "bin\\msvcrt.dll",
    "bin\\msvcp60.dll", "firebird.conf", "aliases.conf",    "security.fdb",     "security.fbk"};

class Install : public EngineTest {
 protected:
  explicit Install(win::MachineSettings s = {}) : EngineTest(std::move(s)) { MakeMedia(); }
  const win::ServiceInfo* Service(const std::string& name) {
    services_ = win::ListServices();
    for (auto& s : services_)
      if (s.name == name) return &s;
    return nullptr;
  }
  void CheckServerInstallation(bool descriptions, bool backup = false) {
    EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "DefaultInstance"), kTarget);
    EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kMakerKey, "Version"), "1.5.3.4870");
    EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 1);
    EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), 2);
    EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), 2);
    EXPECT_EQ(SharedCount(SysDir() + "gds32.dll"), 1);
    for (const char* f : kCounted) EXPECT_EQ(SharedCount(kTarget + f), 1) << f;
    for (const char* f : kNotCounted) {
      EXPECT_EQ(SharedCount(kTarget + f), -1) << f;
      EXPECT_TRUE(Exists(kTarget + f)) << f;
    }
    EXPECT_EQ(Read(SysDir() + "gds32.dll"), Read(kSource + "gds32.dll"));
    EXPECT_EQ(Read(kTarget + "security.fdb"), Read(kSource + "security.fdb"));

    const win::ServiceInfo* g = Service("FirebirdGuardianDefaultInstance");
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->displayName, "Firebird Guardian - DefaultInstance");
    EXPECT_EQ(g->commandLine, "\"" + kTarget + "bin\\fbguard.exe\" -s");
    EXPECT_EQ(g->description, descriptions ? "Gardien du Serveur Firebird" : "");
    EXPECT_EQ(g->serviceType, 0x110u);
    EXPECT_EQ(g->startType, win::SERVICE_AUTO_START);
    EXPECT_EQ(g->account, "LocalSystem");
    EXPECT_TRUE(g->dependencies.empty());
    EXPECT_EQ(g->state, win::SERVICE_STOPPED);
    const win::ServiceInfo* s = Service("FirebirdServerDefaultInstance");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->displayName, "Firebird Server - DefaultInstance");
    EXPECT_EQ(s->commandLine, "\"" + kTarget + "bin\\fbserver.exe\" -s -g");
    EXPECT_EQ(s->description, descriptions ? "Serveur de bases de données Firebird" : "");
    EXPECT_EQ(s->startType, win::SERVICE_AUTO_START);
    EXPECT_EQ(s->account, "LocalSystem");

    EXPECT_EQ(Read(ServicesFile()), ServicesWithFirebird());
    EXPECT_EQ(std::string(kServicesLine).size(), 68u);
    // The backup folder goes when nothing older had to be put aside.
    EXPECT_EQ(Exists(kTarget + "BACKUP000"), backup);
    EXPECT_FALSE(Exists(kTarget + "BACKUP001"));
  }
  std::vector<win::ServiceInfo> services_;
};

class Install2000 : public Install {
 protected:
  Install2000() : Install(Os(win::OsVersion::Win2000)) {}
};
class InstallNT4 : public Install {
 protected:
  InstallNT4() : Install(Os(win::OsVersion::NT4)) {}
};
class Install98 : public Install {
 protected:
  Install98() : Install(Os(win::OsVersion::Win98)) {}
};

TEST_F(Install, ServerOnCleanXP) {
  EXPECT_FALSE(InstallServer());
  EXPECT_EQ(DialogCount(), 0u);
  CheckServerInstallation(true);
  EXPECT_FALSE(engine_->IsServerRunning());
  EXPECT_TRUE(engine_->StartGuardian());
  EXPECT_TRUE(engine_->IsServerRunning());
  EXPECT_TRUE(engine_->StartGuardian());  // already running: nothing to do
}

TEST_F(Install2000, ServerOnClean2000) {
  EXPECT_FALSE(InstallServer());
  CheckServerInstallation(true);
}

TEST_F(InstallNT4, ServerOnNT4HasNoDescriptions) {
  // NT 4.0 ships older run-time libraries: they are replaced and kept in the backup folder.
  const std::string old = Read(SysDir() + "msvcrt.dll");
  InstallServer();
  CheckServerInstallation(false, true);
  EXPECT_EQ(Read(kTarget + "BACKUP000\\msvcrt.dll"), old);
  EXPECT_EQ(Read(SysDir() + "msvcrt.dll"), Read(kSource + "msvcrt.dll"));
}

TEST_F(Install98, ClientOn98UsesTheWindowsServicesFile) {
  InstallClient();
  EXPECT_TRUE(win::ListServices().empty());
  EXPECT_EQ(Read(WinDir() + "services"), ServicesWithFirebird());
  EXPECT_TRUE(Exists(kTarget + "bin\\fbclient.dll"));
}

TEST_F(Install, ClientOnly) {
  InstallClient();
  EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "DefaultInstance"), kTarget);
  EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kMakerKey, "Version"), "1.5.3.4870");
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 1);
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), 2);
  for (const char* f : {"firebird.msg", "bin\\fbclient.dll", "bin\\gds32.dll"})
    EXPECT_EQ(SharedCount(kTarget + f), 1) << f;
  for (const char* f : {"bin\\fbserver.exe", "firebird.conf", "security.fdb", "intl", "udf"})
    EXPECT_FALSE(Exists(kTarget + f)) << f;
  EXPECT_TRUE(win::ListServices().empty());
  EXPECT_FALSE(engine_->InstanceHasServer(kDefaultInstance));
  EXPECT_EQ(Read(ServicesFile()), ServicesWithFirebird());
  // A second client installation counts again.
  InstallClient();
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 2);
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbclient.dll"), 2);
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), 4);
}

TEST_F(Install, ServicesFileEdgeCases) {
  const std::string commented = "echo 7/tcp\r\n#gds_db  3050/tcp\r\nftp 21/tcp";
  Put(ServicesFile(), commented);
  engine_->UpdateServicesFiles();
  EXPECT_EQ(Read(ServicesFile()), commented);

  Put(ServicesFile(), "echo 7/tcp\r\nftp 21/tcp");
  engine_->UpdateServicesFiles();
  EXPECT_EQ(Read(ServicesFile()),
            "echo 7/tcp\r\nftp 21/tcp\r\n" + std::string(kServicesLine) + "\r\n");

  std::filesystem::remove(Host(ServicesFile()));
  engine_->UpdateServicesFiles();
  EXPECT_FALSE(Exists(ServicesFile()));
  EXPECT_FALSE(Exists(WinDir() + "services"));
}

TEST_F(Install, ReinstallKeepsConfigurationAndReplacesCommands) {
  InstallServer();
  Put(kTarget + "firebird.conf", "my settings");
  Put(kTarget + "security.fdb", "my users");
  Put(kTarget + "stop server.cmd", "old");
  win::SetFileAttributes(kTarget + "bin\\fbclient.dll", win::FILE_ATTRIBUTE_READONLY);
  std::filesystem::remove(Host(kTarget + "bin\\fbserver.exe"));
  // The services exist from the first installation: they are taken over, not created again.
  EXPECT_NO_THROW(InstallServer());
  EXPECT_EQ(Read(kTarget + "firebird.conf"), "my settings");
  EXPECT_EQ(Read(kTarget + "security.fdb"), "my users");
  EXPECT_EQ(Read(kTarget + "stop server.cmd"), Read(kSource + "stop server.cmd"));
  EXPECT_EQ(win::GetFileAttributes(kTarget + "bin\\fbclient.dll"), win::FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(Exists(kTarget + "bin\\fbserver.exe"));
}

// The services of an installation whose registration is gone (the instance key deleted,
// the services left) are taken over with the settings of a new installation, instead of
// failing on 1073 after every file is placed.
TEST_F(Install, ServicesLeftWithoutARegisteredServerAreTakenOver) {
  win::SC_HANDLE scm = win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  for (const char* name : {"FirebirdGuardianDefaultInstance", "FirebirdServerDefaultInstance"}) {
    win::SC_HANDLE s = win::CreateService(
        scm, name, std::string("Old ") + name, win::SERVICE_ALL_ACCESS,
        win::SERVICE_WIN32_OWN_PROCESS, win::SERVICE_DEMAND_START, win::SERVICE_ERROR_IGNORE,
        "C:\\Old\\fb.exe", nullptr, nullptr, "Tcpip\0\0", ".\\fbuser", "secret");
    ASSERT_NE(s, nullptr);
    std::string old = "old description";
    win::SERVICE_DESCRIPTION d{old.data()};
    ASSERT_TRUE(win::ChangeServiceConfig2(s, win::SERVICE_CONFIG_DESCRIPTION, &d));
    win::CloseServiceHandle(s);
  }
  win::CloseServiceHandle(scm);
  ASSERT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, "DefaultInstance"), "");

  EXPECT_FALSE(InstallServer());
  EXPECT_EQ(DialogCount(), 0u);
  CheckServerInstallation(true);
  EXPECT_EQ(Service("FirebirdServerDefaultInstance")->errorControl, win::SERVICE_ERROR_NORMAL);
  EXPECT_TRUE(engine_->StartGuardian());
}

TEST_F(Install, SystemLibraryInUseIsReplacedAtTheNextBoot) {
  media::MediaOptions old;
  old.fileVersions["msvcp60.dll"] = "6.0.0.1";
  media::CreateSampleMedia(machine_.dir() / "old", old);
  std::filesystem::copy_file(machine_.dir() / "old" / "Files" / "msvcp60.dll",
                             Host(SysDir() + "msvcp60.dll"),
                             std::filesystem::copy_options::overwrite_existing);
  const std::string previous = Read(SysDir() + "msvcp60.dll");
  machine_.machine().LockFile(Host(SysDir() + "msvcp60.dll"));

  EXPECT_TRUE(InstallServer());
  EXPECT_EQ(Read(SysDir() + "msvcp60.dll"), previous);
  EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), 2);
  win::BootMachine(machine_.machine());
  EXPECT_EQ(Read(SysDir() + "msvcp60.dll"), Read(kSource + "msvcp60.dll"));
}

}  // namespace
