// Service control: waits on the simulated clock, refusals passed on with their codes.
#include <chrono>

#include "dbsetup/NTServices.h"
#include "platform/system/Clock.h"
#include "platform/system/Services.h"
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"

using namespace dbt;

namespace {

class ServiceControl : public EngineTest {
 protected:
  explicit ServiceControl(win::MachineSettings s = {}) : EngineTest(std::move(s)) {}
  const win::ServiceInfo* Find(const std::string& name) {
    services_ = win::ListServices();
    for (auto& s : services_)
      if (s.name == name) return &s;
    return nullptr;
  }
  win::DWORD OsErrorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const EOSError& e) {
      return e.ErrorCode;
    }
    return 0;
  }
  std::vector<win::ServiceInfo> services_;
};

class ServiceControlNT4 : public ServiceControl {
 protected:
  ServiceControlNT4() : ServiceControl(Os(win::OsVersion::NT4)) {}
};

class ServiceControl98 : public ServiceControl {
 protected:
  ServiceControl98() : ServiceControl(Os(win::OsVersion::Win98)) {}
};

TEST_F(ServiceControl, CreatesStartsAndStopsWithinTheWaits) {
  CreateNTService("C:\\x\\svc.exe -s", "Svc", "Sample service", true, "Une description");
  const win::ServiceInfo* s = Find("Svc");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->displayName, "Sample service");
  EXPECT_EQ(s->commandLine, "C:\\x\\svc.exe -s");
  EXPECT_EQ(s->description, "Une description");
  EXPECT_EQ(s->serviceType, win::SERVICE_WIN32_OWN_PROCESS | win::SERVICE_INTERACTIVE_PROCESS);
  EXPECT_EQ(s->startType, win::SERVICE_AUTO_START);
  EXPECT_EQ(s->errorControl, win::SERVICE_ERROR_NORMAL);
  EXPECT_TRUE(NTServiceExists("Svc"));
  EXPECT_FALSE(NTServiceExists("Other"));
  EXPECT_FALSE(IsNTServiceRunning("Svc"));
  EXPECT_FALSE(IsNTServiceRunning("Other"));

  win::SetServiceTestSettings("Svc", {.startDelayMs = 4500});
  win::DWORD t0 = win::GetTickCount();
  EXPECT_TRUE(StartNTService("Svc"));
  EXPECT_EQ(win::GetTickCount() - t0, 5000u);  // tested once a second until it runs
  EXPECT_TRUE(IsNTServiceRunning("Svc"));
  EXPECT_FALSE(StopNTService("Svc"));
  EXPECT_FALSE(IsNTServiceRunning("Svc"));
}

TEST_F(ServiceControl, AServiceThatNeverStartsGivesFalseAfter21TestsInNoRealTime) {
  CreateNTService("C:\\x\\svc.exe", "Svc", "Svc", false, "");
  win::SetServiceTestSettings("Svc", {.failsToStart = true});
  auto real0 = std::chrono::steady_clock::now();
  win::DWORD t0 = win::GetTickCount();
  EXPECT_FALSE(StartNTService("Svc"));
  EXPECT_EQ(win::GetTickCount() - t0, 21000u);
  EXPECT_LT(std::chrono::steady_clock::now() - real0, std::chrono::seconds(5));
}

// A stop the service never completes: it stays stopping, and the wait runs its 21 tests
// and says so, rather than taking the first answer that the service is no longer running.
TEST_F(ServiceControl, AStopThatHangsIsWaitedForAndReported) {
  CreateNTService("C:\\x\\svc.exe", "Svc", "Svc", false, "");
  ASSERT_TRUE(StartNTService("Svc"));
  win::SetServiceTestSettings("Svc", {.stopHangs = true});
  win::DWORD t0 = win::GetTickCount();
  EXPECT_TRUE(StopNTService("Svc"));
  EXPECT_EQ(win::GetTickCount() - t0, 21000u);
  EXPECT_FALSE(IsNTServiceRunning("Svc"));  // stopping is not running
  win::BootServices();  // the restart ends it and starts it again (automatic start)
  ASSERT_TRUE(IsNTServiceRunning("Svc"));
  win::SetServiceTestSettings("Svc", {});
  t0 = win::GetTickCount();
  EXPECT_FALSE(StopNTService("Svc"));
  EXPECT_EQ(win::GetTickCount() - t0, 1000u);
}

TEST_F(ServiceControl, RefusalsRaiseTheSystemErrors) {
  CreateNTService("C:\\x\\svc.exe", "Svc", "Svc", false, "");
  EXPECT_EQ(OsErrorOf([] { StopNTService("Svc"); }), 1062u);
  EXPECT_EQ(OsErrorOf([] { CreateNTService("C:\\y.exe", "Svc", "Autre", false, ""); }), 1073u);
  EXPECT_EQ(OsErrorOf([] { StartNTService("Missing"); }), 1060u);
  EXPECT_EQ(OsErrorOf([] { DeleteNTService("Missing"); }), 1060u);
  ASSERT_TRUE(StartNTService("Svc"));
  EXPECT_EQ(OsErrorOf([] { StartNTService("Svc"); }), 1056u);
  try {
    StopNTService("Svc");
    StopNTService("Svc");
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Erreur système.  Code : 1062.\r\n", 0), 0u) << e.what();
  }
}

TEST_F(ServiceControl, DeletionWaitsForOtherHandles) {
  CreateNTService("C:\\x\\svc.exe", "Svc", "Svc", false, "");
  win::SC_HANDLE m = win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_CONNECT);
  win::SC_HANDLE h = win::OpenService(m, "Svc", win::SERVICE_QUERY_STATUS);
  ASSERT_NE(h, nullptr);
  win::DWORD t0 = win::GetTickCount();
  EXPECT_TRUE(DeleteNTService("Svc"));  // still registered while the handle is open
  EXPECT_EQ(win::GetTickCount() - t0, 21000u);
  win::CloseServiceHandle(h);
  win::CloseServiceHandle(m);
  EXPECT_FALSE(NTServiceExists("Svc"));

  CreateNTService("C:\\x\\svc.exe", "Svc2", "Svc2", false, "");
  EXPECT_FALSE(DeleteNTService("Svc2"));
}

TEST_F(ServiceControlNT4, NoDescriptionOnNT4) {
  CreateNTService("C:\\x\\svc.exe", "Svc", "Svc", true, "Une description");
  const win::ServiceInfo* s = Find("Svc");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->description, "");
}

TEST_F(ServiceControl98, EveryOperationNeedsNT) {
  for (const auto& op : std::vector<std::function<void()>>{
           [] { CheckWinNT(); }, [] { NTServiceExists("Svc"); }, [] { IsNTServiceRunning("Svc"); },
           [] { StartNTService("Svc"); }, [] { StopNTService("Svc"); },
           [] { DeleteNTService("Svc"); },
           [] { CreateNTService("C:\\x.exe", "Svc", "Svc", false, ""); }}) {
    try {
      op();
      FAIL() << "no exception";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Platform is not Windows NT");
    }
  }
}

}  // namespace
