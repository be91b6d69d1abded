// Service names at and beyond their limits, through every call that takes one.
#include <gtest/gtest.h>

#include "platform/system/LastError.h"
#include "platform/system/Registry.h"
#include "platform/system/Services.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

SC_HANDLE Create(SC_HANDLE scm, const std::string& name) {
  return CreateService(scm, name, "", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                       SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\svc.exe", nullptr, nullptr,
                       nullptr, nullptr, nullptr);
}

}  // namespace

TEST(ServiceNames, EmptyOrTooLongNamesAreRefusedEverywhereAndHarmNothing) {
  TempMachine pc;
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  SC_HANDLE kept = Create(scm, "Kept");
  ASSERT_NE(kept, nullptr);
  ASSERT_TRUE(StartService(kept, 0, nullptr));

  for (const std::string& bad : {std::string(), std::string(256, 'x'), std::string(4000, 'z')}) {
    SCOPED_TRACE(bad.size());
    SetLastError(0);
    EXPECT_EQ(Create(scm, bad), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
    SetLastError(0);
    EXPECT_EQ(OpenService(scm, bad, SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
  }
  SetLastError(0);
  EXPECT_EQ(OpenService(scm, "a\\b", SERVICE_ALL_ACCESS), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_NAME));
  auto list = ListServices();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, "Kept");
  EXPECT_EQ(list[0].state, DWORD(SERVICE_RUNNING));
  CloseServiceHandle(kept);
  CloseServiceHandle(scm);
}

TEST(ServiceNames, TheLongestNameLivesAFullLife) {
  TempMachine pc;
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  const std::string name(255, 'L');
  SC_HANDLE s = Create(scm, name);
  ASSERT_NE(s, nullptr) << GetLastError();
  EXPECT_TRUE(StartService(s, 0, nullptr));
  CloseServiceHandle(s);
  auto list = ListServices();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].name, name);
  EXPECT_EQ(list[0].displayName, name);  // an empty display name is the name
  s = OpenService(scm, std::string(255, 'l'), SERVICE_ALL_ACCESS);
  ASSERT_NE(s, nullptr);
  SERVICE_STATUS st;
  EXPECT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
  EXPECT_TRUE(DeleteService(s));
  CloseServiceHandle(s);
  EXPECT_TRUE(ListServices().empty());
  CloseServiceHandle(scm);
}
