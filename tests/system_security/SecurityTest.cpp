#include <gtest/gtest.h>

#include <vector>

#include "platform/system/LastError.h"
#include "platform/system/Security.h"
#include "platform/system/Shutdown.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

// The administrator test as the setup program makes it: thread token, else process
// token; size query that must fail with 122; compare every group.
enum class Admin { Yes, No, CallFailed };
Admin IsAdminByToken() {
  HANDLE token = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    if (GetLastError() != ERROR_NO_TOKEN) return Admin::CallFailed;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Admin::CallFailed;
  }
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
    CloseHandle(token);
    return Admin::CallFailed;
  }
  DWORD size = 0;
  Admin result = Admin::CallFailed;
  if (!GetTokenInformation(token, TokenGroups, nullptr, 0, &size) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    std::vector<BYTE> buffer(size);
    if (GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
      auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
      result = Admin::No;
      for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, admins)) result = Admin::Yes;
    }
  }
  FreeSid(admins);
  EXPECT_TRUE(CloseHandle(token));
  return result;
}

BOOL Enable(const char* privilege, DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), access, &token)) return FALSE;
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  EXPECT_TRUE(LookupPrivilegeValue(nullptr, privilege, &tp.Privileges[0].Luid));
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  BOOL ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  DWORD err = GetLastError();
  CloseHandle(token);
  SetLastError(err);
  return ok;
}

}  // namespace

TEST(Security, AdministratorsGroupFollowsTheMachine) {
  {
    TempMachine admin;
    EXPECT_EQ(IsAdminByToken(), Admin::Yes);
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_EQ(GetLastError(), ERROR_NO_TOKEN);
  }
  {
    TempMachine user(OsSettings(OsVersion::Win2000, false));
    EXPECT_EQ(IsAdminByToken(), Admin::No);
  }
  {
    TempMachine w98(OsSettings(OsVersion::Win98));
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
    EXPECT_EQ(IsAdminByToken(), Admin::CallFailed);
  }
}

TEST(Security, SidsCompareByValue) {
  TempMachine pc;
  PSID a = nullptr, b = nullptr, users = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0, &a));
  ASSERT_TRUE(AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 544, 0, 0, 0, 0, 0, 0, &b));
  ASSERT_TRUE(
      AllocateAndInitializeSid(&SECURITY_NT_AUTHORITY, 2, 32, 545, 0, 0, 0, 0, 0, 0, &users));
  EXPECT_TRUE(EqualSid(a, b));
  EXPECT_FALSE(EqualSid(a, users));
  EXPECT_EQ(SidToText(a), "S-1-5-32-544");
  FreeSid(a);
  FreeSid(b);
  FreeSid(users);
}

TEST(Security, PrivilegesAndRestartRequests) {
  {
    TempMachine user(OsSettings(OsVersion::WinXP, false));
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), ERROR_PRIVILEGE_NOT_HELD);
    EXPECT_FALSE(Enable(SE_SHUTDOWN_NAME, TOKEN_QUERY));  // token opened without the right
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Enable("SeDebugPrivilege"));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ALL_ASSIGNED);
    EXPECT_TRUE(Enable(SE_SHUTDOWN_NAME));  // users of a workstation may shut it down
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  }
  {
    TempMachine admin;
    EXPECT_FALSE(PendingRestart().has_value());
    EXPECT_TRUE(Enable("SeDebugPrivilege"));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(Enable("SeTcbPrivilege"));
    EXPECT_EQ(GetLastError(), ERROR_NOT_ALL_ASSIGNED);
    // A new machine is a new process: nothing enabled yet.
    EXPECT_FALSE(ExitWindowsEx(EWX_REBOOT, 0));
    EXPECT_EQ(GetLastError(), ERROR_PRIVILEGE_NOT_HELD);
    ASSERT_TRUE(Enable(SE_SHUTDOWN_NAME));
    const DWORD reason = SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION |
                         SHTDN_REASON_MINOR_INSTALLATION;
    ASSERT_TRUE(ExitWindowsEx(EWX_REBOOT, reason));
    auto request = PendingRestart();
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->flags, EWX_REBOOT);
    EXPECT_EQ(request->reason, 0x80040002u);
    bool journaled = false;
    for (auto& e : admin.machine().ReadJournal())
      if (e.kind == "restart" && e.text.find("EWX_REBOOT") != std::string::npos) journaled = true;
    EXPECT_TRUE(journaled);
    LUID luid;
    EXPECT_FALSE(LookupPrivilegeValue(nullptr, "SeNoSuchPrivilege", &luid));
    EXPECT_EQ(GetLastError(), ERROR_NO_SUCH_PRIVILEGE);
  }
  {
    TempMachine me(OsSettings(OsVersion::WinMe));
    EXPECT_TRUE(ExitWindowsEx(EWX_REBOOT, 0));  // no privileges on 9x
    EXPECT_TRUE(PendingRestart().has_value());
  }
}
