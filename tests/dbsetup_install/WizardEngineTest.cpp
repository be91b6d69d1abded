// Where the wizard's engine differs from Tolvane's: the run-time libraries' placement and
// counts, the client-library search, the reporters' endings, the service dependency list,
// the parent folder, and the absence of the removal.
#include <chrono>

#include "dbsetup/NTServices.h"
#include "platform/system/Clock.h"
#include "platform/system/Services.h"
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"

using namespace dbt;

namespace {

// The removal is Tolvane's alone.
template <class E>
constexpr bool kHasRemoval = requires(E& e, std::string s) {
  e.Uninstall(s);
}
|| requires(E& e, std::string s) { e.BrutalRemove(s); };
template <class S>
constexpr bool kHasServiceRemoval = requires(S s) {
  DeleteNTService(s);
}
|| requires(S s) { NTServiceExists(s); };
static_assert(!kHasRemoval<TdmFirebirdInstall>);
static_assert(!kHasServiceRemoval<std::string>);

class WizardEngineTest : public EngineTest {
 protected:
  explicit WizardEngineTest(win::MachineSettings s = {}) : EngineTest(std::move(s)) { MakeMedia(); }
  // The name a file of the system folder has on disk, as it was written.
  std::string NameOnDisk(const std::string& name) {
    for (auto& e : std::filesystem::directory_iterator(Host(SysDir())))
      if (win::FoldCase(e.path().filename().string()) == win::FoldCase(name))
        return e.path().filename().string();
    return "";
  }
  const win::ServiceInfo* Service(const std::string& name) {
    services_ = win::ListServices();
    for (auto& s : services_)
      if (s.name == name) return &s;
    return nullptr;
  }
  // The message of the exception an installation ends with, failing on a silent abort.
  template <class F>
  std::string FailureOf(F f) {
    try {
      f();
    } catch (const EAbort&) {
      ADD_FAILURE() << "silent abort";
    } catch (const Exception& e) {
      return e.Message();
    }
    return "";
  }
  std::vector<win::ServiceInfo> services_;
};

// --- Run-time libraries ----------------------------------------------------------------

class WizardEngine2000 : public WizardEngineTest {
 protected:
  WizardEngine2000() : WizardEngineTest(Os(win::OsVersion::Win2000)) {}
};
class WizardEngineNT4 : public WizardEngineTest {
 protected:
  WizardEngineNT4() : WizardEngineTest(Os(win::OsVersion::NT4)) {}
};
class WizardEngine98 : public WizardEngineTest {
 protected:
  WizardEngine98() : WizardEngineTest(Os(win::OsVersion::Win98)) {}
};

// Each installation's effect on the system's run-time libraries, and what the wizard
// leaves out of "bin\".
void ExpectRuntimeCounts(long perInstallation, const std::function<void()>& install) {
  install();
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), perInstallation);
  EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), perInstallation);
  EXPECT_FALSE(Exists(kTarget + "bin\\msvcrt.dll"));
  EXPECT_FALSE(Exists(kTarget + "bin\\msvcp60.dll"));
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbclient.dll"), 1);
  EXPECT_EQ(SharedCount(kTarget + "bin\\gds32.dll"), 1);
  EXPECT_EQ(SharedCount(kTarget + "firebird.msg"), 1);
}

TEST_F(WizardEngineTest, OnXPTheRuntimeLibrariesAreCountedOncePerInstallation) {
  ExpectRuntimeCounts(1, [this] { InstallServer(); });
  EXPECT_EQ(SharedCount(kTarget + "bin\\fbserver.exe"), 1);
  // A client installation over it counts them once more.
  InstallClient();
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), 2);
  EXPECT_EQ(SharedCount(SysDir() + "msvcp60.dll"), 2);
}

TEST_F(WizardEngine2000, OnWindows2000TheRuntimeLibrariesAreCountedOnce) {
  ExpectRuntimeCounts(1, [this] { InstallServer(); });
}

TEST_F(WizardEngineNT4, OnNT4TheRuntimeLibrariesAreCountedTwice) {
  const std::string old = Read(SysDir() + "msvcrt.dll");
  ExpectRuntimeCounts(2, [this] { InstallServer(); });
  EXPECT_EQ(Read(SysDir() + "msvcrt.dll"), Read(kSource + "msvcrt.dll"));
  EXPECT_EQ(Read(kTarget + "BACKUP000\\msvcrt.dll"), old);
}

TEST_F(WizardEngine98, OnWindows98TheRuntimeLibrariesAreCountedTwice) {
  ExpectRuntimeCounts(2, [this] { InstallClient(); });
  InstallClient();
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), 4);
}

TEST_F(WizardEngineTest, TheSystemClientLibraryIsWrittenInUpperCase) {
  InstallClient();
  EXPECT_EQ(NameOnDisk("gds32.dll"), "GDS32.DLL");
  EXPECT_EQ(Read(SysDir() + "GDS32.DLL"), Read(kSource + "gds32.dll"));
  EXPECT_EQ(SharedCount(SysDir() + "GDS32.DLL"), 1);
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 1);
  // Found again by the next installation: identical, so no question, and counted again.
  InstallClient();
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 2);
  EXPECT_EQ(SharedCount(SysDir() + "GDS32.DLL"), 2);
}

// --- Client libraries already on the machine --------------------------------------------

TEST_F(WizardEngineTest, ClientDllsPresentLooksInTheSystemFolderAndBothPaths) {
  EXPECT_FALSE(engine_->ClientDllsPresent());

  Put(SysDir() + "gds32.dll", "another vendor's client");
  EXPECT_TRUE(engine_->ClientDllsPresent());
  std::filesystem::remove(Host(SysDir() + "gds32.dll"));
  EXPECT_FALSE(engine_->ClientDllsPresent());

  Put("C:\\Tools\\GDS32.DLL", "old client");
  WriteRegString(win::HKEY_CURRENT_USER, "Environment", "path", "C:\\Nothing;C:\\Tools");
  EXPECT_TRUE(engine_->ClientDllsPresent());
  WriteRegString(win::HKEY_CURRENT_USER, "Environment", "path", "C:\\Nothing");
  EXPECT_FALSE(engine_->ClientDllsPresent());
  WriteRegString(win::HKEY_LOCAL_MACHINE,
                 "System\\CurrentControlSet\\Control\\Session Manager\\Environment", "path",
                 "C:\\Tools\\");
  EXPECT_TRUE(engine_->ClientDllsPresent());
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_FALSE(Exists(kTarget));
}

TEST_F(WizardEngineTest, EverySearchStartsAfresh) {
  Put(SysDir() + "GDS32.DLL", "client");
  Put("C:\\Tools\\GDS32.DLL", "old client");
  WriteRegString(win::HKEY_CURRENT_USER, "Environment", "path", "C:\\Tools;c:\\tools\\");
  const TStringList& found = engine_->GetClientDlls();
  engine_->FindClientDlls();
  ASSERT_EQ(found.Count(), 2);
  EXPECT_EQ(found.Get(0), SysDir() + "GDS32.DLL");
  EXPECT_EQ(found.Get(1), "C:\\Tools\\GDS32.DLL");
  engine_->FindClientDlls();
  ASSERT_EQ(found.Count(), 2);
  EXPECT_EQ(found.Get(1), "C:\\Tools\\GDS32.DLL");

  std::filesystem::remove(Host("C:\\Tools\\GDS32.DLL"));
  engine_->FindClientDlls();
  ASSERT_EQ(found.Count(), 1);
  EXPECT_EQ(found.Get(0), SysDir() + "GDS32.DLL");
}

TEST_F(WizardEngineTest, ADeletedCopyIsNoLongerAskedAbout) {
  Put("C:\\Tools\\GDS32.DLL", "old client");
  WriteRegString(win::HKEY_CURRENT_USER, "Environment", "path", "C:\\Tools");
  engine_->SetPaths(kSource, kTarget, kDefaultInstance);
  UiScript::Expect("Avertissement", "Des fichiers pour les clients", "no");
  engine_->CheckClientDlls();
  EXPECT_FALSE(engine_->GetInstallSystemClient());
  std::filesystem::remove(Host("C:\\Tools\\GDS32.DLL"));
  InstallClient();
  EXPECT_EQ(DialogCount(), 1u);
  EXPECT_TRUE(engine_->GetInstallSystemClient());
  EXPECT_EQ(RegInt(kMakerKey, "SystemClientInstallCount"), 1);
}

// --- Failures reach the caller -----------------------------------------------------------

TEST_F(WizardEngineTest, AFailedCopyIsAnExceptionWithTheReportersText) {
  std::filesystem::create_directories(Host(kTarget + "firebird.msg"));  // a folder in its way
  const std::string message = FailureOf([this] { InstallClient(); });
  EXPECT_EQ(message.rfind("Ne peut pas copier le fichier :\r\n" + kSource +
                              "firebird.msg\r\nDestination :\r\n" + kTarget + "firebird.msg\r\n",
                          0),
            0u)
      << message;
  EXPECT_TRUE(message.ends_with("\r\n")) << message;  // the system's text, line end included
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_FALSE(Exists(kTarget + "bin"));
}

TEST_F(WizardEngineTest, AFailedDeleteIsAnExceptionWithTheReportersText) {
  InstallClient();
  const std::string installed = Read(kTarget + "bin\\fbclient.dll");
  machine_.machine().LockFile(Host(kTarget + "bin\\fbclient.dll"));
  const std::string message = FailureOf([this] { InstallClient(); });
  EXPECT_EQ(message, "Ne peut pas supprimer le fichier :\r\n" + kTarget + "bin\\fbclient.dll\r\n" +
                         SysErrorText(5));
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_EQ(Read(kTarget + "bin\\fbclient.dll"), installed);
}

TEST_F(WizardEngineTest, AnInstallationFolderThatCannotBeMadeFailsBeforeAnyFileIsPlaced) {
  Put("C:\\Program Files\\Firebird", "a file where the folder should be");
  const std::string message = FailureOf([this] { InstallClient(); });
  EXPECT_NE(message.find(kTarget), std::string::npos) << message;
  EXPECT_EQ(DialogCount(), 0u);
  EXPECT_EQ(SharedCount(SysDir() + "msvcrt.dll"), -1);
  EXPECT_FALSE(Exists(SysDir() + "GDS32.DLL"));
}

// --- Services ----------------------------------------------------------------------------

TEST_F(WizardEngineTest, TheDependencyListReachesTheServiceManager) {
  CreateNTService("C:\\x\\a.exe", "None", "None", "", false, "");
  CreateNTService("C:\\x\\b.exe", "One", "One", "Tcpip", false, "");
  CreateNTService("C:\\x\\c.exe", "Two", "Two", std::string("Tcpip\0Afd", 9), true, "Deux");
  ASSERT_NE(Service("None"), nullptr);
  EXPECT_TRUE(Service("None")->dependencies.empty());
  EXPECT_EQ(Service("One")->dependencies, std::vector<std::string>{"Tcpip"});
  EXPECT_EQ(Service("Two")->dependencies, (std::vector<std::string>{"Tcpip", "Afd"}));
  EXPECT_EQ(Service("Two")->description, "Deux");
  EXPECT_EQ(Service("Two")->serviceType,
            win::SERVICE_WIN32_OWN_PROCESS | win::SERVICE_INTERACTIVE_PROCESS);
  // A service whose dependency is missing cannot start: the list is in force.
  try {
    StartNTService("One");
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, win::ERROR_SERVICE_DEPENDENCY_DELETED);
  }
  EXPECT_TRUE(StartNTService("None"));
}

TEST_F(WizardEngineTest, TheFirebirdServicesHaveNoDependencies) {
  InstallServer();
  for (const char* name : {"FirebirdGuardianDefaultInstance", "FirebirdServerDefaultInstance"}) {
    const win::ServiceInfo* s = Service(name);
    ASSERT_NE(s, nullptr) << name;
    EXPECT_TRUE(s->dependencies.empty()) << name;
    EXPECT_EQ(s->startType, win::SERVICE_AUTO_START) << name;
  }
  EXPECT_TRUE(engine_->StartGuardian());
}

// A guardian that does not stop: the wait gives it its 21 seconds, then the placement
// names the program still in use.
TEST_F(WizardEngineTest, AServerThatDoesNotStopIsWaitedForThenNamed) {
  Put(kTarget + "bin\\fbguard.exe", "guardian");
  CreateNTService("\"" + kTarget + "bin\\fbguard.exe\" -s", "FirebirdGuardianDefaultInstance",
                  "Firebird Guardian - DefaultInstance", "", true, "");
  ASSERT_TRUE(StartNTService("FirebirdGuardianDefaultInstance"));
  win::SetServiceTestSettings("FirebirdGuardianDefaultInstance", {.stopHangs = true});
  UiScript::Expect("Avertissement", "Le serveur Firebird est actif", "yes");
  const win::DWORD t0 = win::GetTickCount();
  const std::string message = FailureOf([this] { InstallServer(); });
  EXPECT_GE(win::GetTickCount() - t0, 21000u);
  EXPECT_EQ(
      message.rfind("Ne peut pas supprimer le fichier :\r\n" + kTarget + "bin\\fbguard.exe\r\n", 0),
      0u)
      << message;
  EXPECT_EQ(Read(kTarget + "bin\\fbguard.exe"), "guardian");
}

// --- Paths -------------------------------------------------------------------------------

TEST_F(WizardEngineTest, AFolderWithoutAnInnerBackslashHasItsDriveRootAsParent) {
  engine_->SetPaths(kSource, "C:", kDefaultInstance);
  EXPECT_EQ(engine_->GetTargetDir(), "C:\\");
  EXPECT_EQ(engine_->GetParentDir(), "C:\\");
  engine_->SetPaths(kSource, "Firebird", kDefaultInstance);
  EXPECT_EQ(engine_->GetParentDir(), "Fir");
  engine_->SetPaths(kSource, kTarget, kDefaultInstance);
  EXPECT_EQ(engine_->GetParentDir(), "C:\\Program Files\\Firebird\\");
}

}  // namespace
