#include "toolkit/SystemServices.h"

#include <vector>

#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "platform/system/Security.h"
#include "platform/system/Shutdown.h"
#include "platform/system/SystemInfo.h"

namespace {

bool IsNT() {
  win::OSVERSIONINFO info;
  return win::GetVersionEx(&info) && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

class Token {
 public:
  ~Token() {
    if (h_) win::CloseHandle(h_);
  }
  win::HANDLE* out() { return &h_; }
  win::HANDLE get() const { return h_; }

 private:
  win::HANDLE h_ = nullptr;
};

class Sid {
 public:
  ~Sid() {
    if (p_) win::FreeSid(p_);
  }
  win::PSID* out() { return &p_; }
  win::PSID get() const { return p_; }

 private:
  win::PSID p_ = nullptr;
};

}  // namespace

bool IsAdmin() {
  if (!IsNT()) return true;
  Token token;
  if (!win::OpenThreadToken(win::GetCurrentThread(), win::TOKEN_QUERY, true, token.out())) {
    if (win::GetLastError() != win::ERROR_NO_TOKEN) return false;
    if (!win::OpenProcessToken(win::GetCurrentProcess(), win::TOKEN_QUERY, token.out()))
      return false;
  }
  Sid admins;
  if (!win::AllocateAndInitializeSid(&win::SECURITY_NT_AUTHORITY, 2,
                                     win::SECURITY_BUILTIN_DOMAIN_RID, win::DOMAIN_ALIAS_RID_ADMINS,
                                     0, 0, 0, 0, 0, 0, admins.out()))
    RaiseLastOSError();

  win::DWORD size = 0;
  if (win::GetTokenInformation(token.get(), win::TokenGroups, nullptr, 0, &size) ||
      win::GetLastError() != win::ERROR_INSUFFICIENT_BUFFER)
    RaiseLastOSError();
  // Aligned for the TOKEN_GROUPS header that the buffer starts with.
  std::vector<std::uint64_t> buffer((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));
  if (!win::GetTokenInformation(token.get(), win::TokenGroups, buffer.data(), size, &size))
    RaiseLastOSError();
  const auto* groups = reinterpret_cast<const win::TOKEN_GROUPS*>(buffer.data());
  for (win::DWORD i = 0; i < groups->GroupCount; ++i)
    if (win::EqualSid(groups->Groups[i].Sid, admins.get())) return true;
  return false;
}

void RebootWindows() {
  if (IsNT()) {
    Token token;
    if (!win::OpenProcessToken(win::GetCurrentProcess(),
                               win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, token.out()))
      return;
    win::TOKEN_PRIVILEGES privileges{};
    win::LookupPrivilegeValue(nullptr, win::SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = win::SE_PRIVILEGE_ENABLED;
    win::AdjustTokenPrivileges(token.get(), false, &privileges, 0, nullptr, nullptr);
    if (win::GetLastError() != win::ERROR_SUCCESS) return;
  }
  win::ExitWindowsEx(win::EWX_REBOOT, 0);
}
