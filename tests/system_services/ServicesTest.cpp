#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Libraries.h"
#include "platform/system/Registry.h"
#include "platform/system/Services.h"
#include "support/TempMachine.h"
#include "support/TestFiles.h"

using namespace win;

namespace {

struct Scm {
  SC_HANDLE h = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ~Scm() {
    if (h) CloseServiceHandle(h);
  }
};

SC_HANDLE Create(SC_HANDLE scm, const std::string& name, const std::string& display,
                 const std::string& path = "C:\\Svc\\svc.exe -s",
                 DWORD start = SERVICE_AUTO_START) {
  return CreateService(scm, name, display, SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, start,
                       SERVICE_ERROR_NORMAL, path, nullptr, nullptr, nullptr, nullptr, nullptr);
}

DWORD State(SC_HANDLE service) {
  SERVICE_STATUS st;
  EXPECT_TRUE(QueryServiceStatus(service, &st));
  return st.dwCurrentState;
}

// The callers' wait: one test a second, at most 21 tests.
int PollsUntil(SC_HANDLE service, DWORD wanted) {
  for (int i = 1; i <= 21; ++i) {
    Sleep(1000);
    if (State(service) == wanted) return i;
  }
  return -1;
}

std::string RegString(const std::string& key, const std::string& name) {
  HKEY h;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return "<no key>";
  char buf[512] = {};
  DWORD size = sizeof buf, type = 0;
  LONG rc = RegQueryValueEx(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? std::string(buf) : "<none>";
}

DWORD RegDword(const std::string& key, const std::string& name) {
  HKEY h;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return 0xDEAD;
  DWORD v = 0, size = 4, type = 0;
  LONG rc = RegQueryValueEx(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
  RegCloseKey(h);
  return rc == ERROR_SUCCESS ? v : 0xDEAD;
}

}  // namespace

TEST(Services, LifecycleAndRegistryLayout) {
  TempMachine pc;
  Scm scm;
  ASSERT_NE(scm.h, nullptr);
  SC_HANDLE s =
      Create(scm.h, "FirebirdGuardianDefaultInstance", "Firebird Guardian - DefaultInstance",
             "C:\\Program Files\\Firebird\\bin\\fbguard.exe -s");
  ASSERT_NE(s, nullptr);
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\FirebirdGuardianDefaultInstance";
  EXPECT_EQ(RegDword(key, "Type"), 0x110u);
  EXPECT_EQ(RegDword(key, "Start"), 2u);
  EXPECT_EQ(RegDword(key, "ErrorControl"), 1u);
  EXPECT_EQ(RegString(key, "ImagePath"), "C:\\Program Files\\Firebird\\bin\\fbguard.exe -s");
  EXPECT_EQ(RegString(key, "DisplayName"), "Firebird Guardian - DefaultInstance");
  EXPECT_EQ(RegString(key, "ObjectName"), "LocalSystem");

  EXPECT_EQ(State(s), SERVICE_STOPPED);
  SERVICE_STATUS st;
  EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_INTERROGATE, &st));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);

  ASSERT_TRUE(StartService(s, 0, nullptr));
  EXPECT_EQ(State(s), SERVICE_RUNNING);
  EXPECT_FALSE(StartService(s, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  ASSERT_TRUE(ControlService(s, SERVICE_CONTROL_INTERROGATE, &st));
  EXPECT_EQ(st.dwCurrentState, SERVICE_RUNNING);
  ASSERT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(st.dwCurrentState, SERVICE_STOPPED);
  EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);

  // A second process sees the same state: it lives in state.db, not in this process.
  SC_HANDLE again = OpenService(scm.h, "firebirdguardiandefaultinstance", SERVICE_QUERY_STATUS);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(State(again), SERVICE_STOPPED);
  EXPECT_FALSE(StartService(again, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);  // opened without SERVICE_START
  CloseServiceHandle(again);
  CloseServiceHandle(s);
}

TEST(Services, CreationErrors) {
  TempMachine pc;
  Scm scm;
  SC_HANDLE s = Create(scm.h, "Alpha", "Alpha service");
  ASSERT_NE(s, nullptr);
  CloseServiceHandle(s);

  auto fails = [&](const std::string& name, const std::string& display, DWORD code) {
    SetLastError(0);
    EXPECT_EQ(Create(scm.h, name, display), nullptr) << name;
    EXPECT_EQ(GetLastError(), code) << name;
  };
  fails("ALPHA", "Other", ERROR_SERVICE_EXISTS);
  fails("Beta", "alpha SERVICE", ERROR_DUPLICATE_SERVICE_NAME);
  fails("Gamma", "Alpha", ERROR_DUPLICATE_SERVICE_NAME);
  fails("", "Empty", ERROR_INVALID_NAME);
  fails("a/b", "Slash", ERROR_INVALID_NAME);
  fails("a\\b", "Backslash", ERROR_INVALID_NAME);
  fails(std::string(257, 'x'), "Long", ERROR_INVALID_NAME);
  EXPECT_NE(Create(scm.h, std::string(255, 'y'), "Longest"),
            nullptr);  // a registry key name's limit

  EXPECT_EQ(OpenService(scm.h, "Missing", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

// A change is checked as a creation is, keeps what it is not given, and is refused once the
// service is marked for deletion.
TEST(Services, ChangeServiceConfigChecksLikeCreation) {
  TempMachine pc;
  Scm scm;
  CloseServiceHandle(Create(scm.h, "Alpha", "Alpha service"));
  CloseServiceHandle(Create(scm.h, "Beta", "Beta service"));
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Alpha";
  SC_HANDLE query = OpenService(scm.h, "Alpha", SERVICE_QUERY_STATUS);
  EXPECT_FALSE(ChangeServiceConfig(query, SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                                   SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseServiceHandle(query);

  SC_HANDLE s = OpenService(scm.h, "alpha", SERVICE_CHANGE_CONFIG | DELETE);
  ASSERT_NE(s, nullptr);
  auto refused = [&](DWORD type, DWORD start, const char* path, const char* account,
                     const char* display, DWORD code) {
    SetLastError(0);
    EXPECT_FALSE(ChangeServiceConfig(s, type, start, SERVICE_NO_CHANGE, path, nullptr, nullptr,
                                     nullptr, account, nullptr, display));
    EXPECT_EQ(GetLastError(), code);
  };
  refused(SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, "Beta",
          ERROR_DUPLICATE_SERVICE_NAME);
  refused(SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, nullptr, "beta SERVICE",
          ERROR_DUPLICATE_SERVICE_NAME);
  refused(SERVICE_NO_CHANGE, 7, nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER);
  refused(SERVICE_KERNEL_DRIVER, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
          ERROR_INVALID_PARAMETER);
  refused(SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, "", nullptr, nullptr, ERROR_INVALID_PARAMETER);
  // Still interactive: only the local system may run it.
  refused(SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, nullptr, ".\\fbuser", nullptr,
          ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDword(key, "Start"), 2u);
  EXPECT_EQ(RegString(key, "DisplayName"), "Alpha service");

  // Its own display name may stay; what is not given is kept.
  ASSERT_TRUE(ChangeServiceConfig(s, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                  SERVICE_NO_CHANGE, "C:\\New\\svc.exe -x", nullptr, nullptr,
                                  "Beta\0\0", ".\\fbuser", "secret", "Alpha service"));
  EXPECT_EQ(RegDword(key, "Type"), 0x10u);
  EXPECT_EQ(RegDword(key, "Start"), 3u);
  EXPECT_EQ(RegDword(key, "ErrorControl"), 1u);
  EXPECT_EQ(RegString(key, "ImagePath"), "C:\\New\\svc.exe -x");
  EXPECT_EQ(RegString(key, "ObjectName"), ".\\fbuser");
  EXPECT_EQ(RegString(key, "DependOnService"), "Beta");
  ASSERT_TRUE(ChangeServiceConfig(s, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                  nullptr, nullptr, nullptr, "\0\0", nullptr, nullptr, "Renamed"));
  EXPECT_EQ(RegString(key, "DependOnService"), "<none>");
  EXPECT_EQ(RegString(key, "DisplayName"), "Renamed");
  EXPECT_EQ(RegString(key, "ImagePath"), "C:\\New\\svc.exe -x");

  ASSERT_TRUE(DeleteService(s));
  refused(SERVICE_NO_CHANGE, SERVICE_AUTO_START, nullptr, nullptr, nullptr,
          ERROR_SERVICE_MARKED_FOR_DELETE);
  CloseServiceHandle(s);
}

TEST(Services, StartDelayCostsNoRealTime) {
  TempMachine pc;
  Scm scm;
  SetServiceTestSettings("Slow", {false, 5000, false});
  SC_HANDLE s = Create(scm.h, "Slow", "Slow");
  auto realStart = std::chrono::steady_clock::now();
  DWORD ticks = GetTickCount();
  ASSERT_TRUE(StartService(s, 0, nullptr));
  EXPECT_EQ(State(s), SERVICE_START_PENDING);
  SERVICE_STATUS st;
  EXPECT_FALSE(ControlService(s, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
  EXPECT_EQ(PollsUntil(s, SERVICE_RUNNING), 5);
  EXPECT_GE(GetTickCount() - ticks, 5000u);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
  CloseServiceHandle(s);
}

TEST(Services, ServicesThatNeverRunOrNeverStop) {
  TempMachine pc;
  Scm scm;
  SetServiceTestSettings("Broken", {true, 0, false});
  SetServiceTestSettings("Stuck", {false, 3600 * 1000, false});
  SetServiceTestSettings("Hangs", {false, 0, true});
  SC_HANDLE broken = Create(scm.h, "Broken", "Broken");
  SC_HANDLE stuck = Create(scm.h, "Stuck", "Stuck");
  SC_HANDLE hangs = Create(scm.h, "Hangs", "Hangs");

  ASSERT_TRUE(StartService(broken, 0, nullptr));  // accepted, then the service ends
  EXPECT_EQ(PollsUntil(broken, SERVICE_RUNNING), -1);
  SERVICE_STATUS st;
  ASSERT_TRUE(QueryServiceStatus(broken, &st));
  EXPECT_EQ(st.dwCurrentState, SERVICE_STOPPED);
  EXPECT_EQ(st.dwWin32ExitCode, ERROR_PROCESS_ABORTED);

  ASSERT_TRUE(StartService(stuck, 0, nullptr));
  EXPECT_EQ(PollsUntil(stuck, SERVICE_RUNNING), -1);
  EXPECT_EQ(State(stuck), SERVICE_START_PENDING);

  ASSERT_TRUE(StartService(hangs, 0, nullptr));
  ASSERT_TRUE(ControlService(hangs, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(st.dwCurrentState, SERVICE_STOP_PENDING);
  EXPECT_EQ(PollsUntil(hangs, SERVICE_STOPPED), -1);

  auto list = ListServices();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "Broken");
  EXPECT_TRUE(list[0].test.failsToStart);
  EXPECT_EQ(list[2].name, "Stuck");
  EXPECT_EQ(list[2].state, SERVICE_START_PENDING);
  EXPECT_EQ(list[2].test.startDelayMs, 3600u * 1000);
  for (auto h : {broken, stuck, hangs}) CloseServiceHandle(h);
}

TEST(Services, DeletionWaitsForTheLastHandle) {
  TempMachine pc;
  Scm scm;
  SC_HANDLE holder = Create(scm.h, "Held", "Held");
  SC_HANDLE deleter = OpenService(scm.h, "Held", SERVICE_ALL_ACCESS);
  ASSERT_TRUE(DeleteService(deleter));
  EXPECT_FALSE(DeleteService(deleter));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  CloseServiceHandle(deleter);

  SC_HANDLE probe = OpenService(scm.h, "Held", SERVICE_INTERROGATE);
  EXPECT_NE(probe, nullptr);  // still registered
  CloseServiceHandle(probe);
  EXPECT_EQ(Create(scm.h, "Held", "Held again"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_FALSE(StartService(holder, 0, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);

  CloseServiceHandle(holder);
  EXPECT_EQ(OpenService(scm.h, "Held", SERVICE_INTERROGATE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_EQ(RegDword("SYSTEM\\CurrentControlSet\\Services\\Held", "Type"), 0xDEADu);
  SC_HANDLE fresh = Create(scm.h, "Held", "Held again");
  EXPECT_NE(fresh, nullptr);
  CloseServiceHandle(fresh);
}

TEST(Services, RunningImageIsInUse) {
  TempMachine pc;
  Scm scm;
  testfiles::PutFile(pc.c() / "Program Files" / "Fb" / "bin" / "fbguard.exe", "MZ guard");
  SC_HANDLE s = Create(scm.h, "Guard", "Guard", "C:\\Program Files\\Fb\\bin\\fbguard.exe -s");
  const std::string image = "C:\\Program Files\\Fb\\bin\\fbguard.exe";
  ASSERT_TRUE(StartService(s, 0, nullptr));
  EXPECT_FALSE(DeleteFile(image));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  std::string data;
  EXPECT_TRUE(ReadWholeFile(image, data));
  EXPECT_EQ(data, "MZ guard");
  EXPECT_TRUE(CopyFile(image, "C:\\copy.exe", TRUE));

  SERVICE_STATUS st;
  ASSERT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
  EXPECT_TRUE(DeleteFile(image));
  CloseServiceHandle(s);
}

TEST(Services, DependenciesStartFirstAndHoldTheirStop) {
  TempMachine pc;
  Scm scm;
  SC_HANDLE base = Create(scm.h, "Base", "Base", "C:\\base.exe", SERVICE_DEMAND_START);
  SC_HANDLE top = CreateService(scm.h, "Top", "Top", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\top.exe", nullptr,
                                nullptr, "Base\0\0", nullptr, nullptr);
  ASSERT_NE(top, nullptr);
  ASSERT_TRUE(StartService(top, 0, nullptr));
  EXPECT_EQ(State(base), SERVICE_RUNNING);
  SERVICE_STATUS st;
  EXPECT_FALSE(ControlService(base, SERVICE_CONTROL_STOP, &st));
  EXPECT_EQ(GetLastError(), ERROR_DEPENDENT_SERVICES_RUNNING);
  EXPECT_TRUE(ControlService(top, SERVICE_CONTROL_STOP, &st));
  EXPECT_TRUE(ControlService(base, SERVICE_CONTROL_STOP, &st));
  CloseServiceHandle(top);
  CloseServiceHandle(base);
}

TEST(Services, RightsAndWindowsVersions) {
  {
    TempMachine user(OsSettings(OsVersion::WinXP, false));
    EXPECT_EQ(OpenSCManager(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    SC_HANDLE connect = OpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_NE(connect, nullptr);
    CloseServiceHandle(connect);
  }
  {
    TempMachine w98(OsSettings(OsVersion::Win98));
    EXPECT_EQ(OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
  }
  {
    TempMachine xp;
    Scm scm;
    SC_HANDLE s = Create(scm.h, "Described", "Described");
    HMODULE advapi = GetModuleHandle("advapi32.dll");
    auto change = reinterpret_cast<PFN_ChangeServiceConfig2A>(
        GetProcAddress(advapi, "ChangeServiceConfig2A"));
    ASSERT_NE(change, nullptr);
    char text[] = "Gardien du Serveur Firebird";
    SERVICE_DESCRIPTION d{text};
    ASSERT_TRUE(change(s, SERVICE_CONFIG_DESCRIPTION, &d));
    EXPECT_EQ(RegString("SYSTEM\\CurrentControlSet\\Services\\Described", "Description"), text);
    CloseServiceHandle(s);
  }
  {
    TempMachine nt4(OsSettings(OsVersion::NT4));
    EXPECT_EQ(GetProcAddress(GetModuleHandle("advapi32.dll"), "ChangeServiceConfig2A"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  }
}
