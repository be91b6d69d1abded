#pragma once
// advapi32's access tokens, security identifiers and privileges, as far as programs test
// group membership and enable the shutdown privilege. The machine has one user: its token
// holds the administrators group when machine.ini says admin=1.
//
// Privileges held: an administrator holds every privilege below but SeTcbPrivilege; a plain
// user holds SeShutdownPrivilege and SeChangeNotifyPrivilege (the machines are
// workstations, where users may shut down). Enabling a privilege that is not held leaves
// the last error 1300. Windows 95/98/Me has none of these calls: they fail with 120.
#include <cstdint>
#include <string>

#include "platform/system/Files.h"
#include "platform/system/WinTypes.h"

namespace win {

using PSID = void*;

struct SID_IDENTIFIER_AUTHORITY {
  BYTE Value[6];
};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NULL_SID_AUTHORITY = {{0, 0, 0, 0, 0, 0}};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_WORLD_SID_AUTHORITY = {{0, 0, 0, 0, 0, 1}};
inline constexpr SID_IDENTIFIER_AUTHORITY SECURITY_NT_AUTHORITY = {{0, 0, 0, 0, 0, 5}};
inline constexpr DWORD SECURITY_BUILTIN_DOMAIN_RID = 32;
inline constexpr DWORD DOMAIN_ALIAS_RID_ADMINS = 544;
inline constexpr DWORD DOMAIN_ALIAS_RID_USERS = 545;

struct SID_AND_ATTRIBUTES {
  PSID Sid;
  DWORD Attributes;
};
struct TOKEN_GROUPS {
  DWORD GroupCount;
  SID_AND_ATTRIBUTES Groups[1];  // GroupCount entries
};
inline constexpr DWORD SE_GROUP_MANDATORY = 0x1;
inline constexpr DWORD SE_GROUP_ENABLED_BY_DEFAULT = 0x2;
inline constexpr DWORD SE_GROUP_ENABLED = 0x4;

struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];  // PrivilegeCount entries
};
inline constexpr DWORD SE_PRIVILEGE_ENABLED_BY_DEFAULT = 0x1;
inline constexpr DWORD SE_PRIVILEGE_ENABLED = 0x2;
inline constexpr char SE_SHUTDOWN_NAME[] = "SeShutdownPrivilege";

enum TOKEN_INFORMATION_CLASS { TokenUser = 1, TokenGroups = 2, TokenPrivileges = 3 };

inline constexpr DWORD TOKEN_ASSIGN_PRIMARY = 0x0001;
inline constexpr DWORD TOKEN_DUPLICATE = 0x0002;
inline constexpr DWORD TOKEN_IMPERSONATE = 0x0004;
inline constexpr DWORD TOKEN_QUERY = 0x0008;
inline constexpr DWORD TOKEN_QUERY_SOURCE = 0x0010;
inline constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr DWORD TOKEN_ADJUST_GROUPS = 0x0040;
inline constexpr DWORD TOKEN_ADJUST_DEFAULT = 0x0080;
inline constexpr DWORD TOKEN_ALL_ACCESS = 0xF01FF;

inline constexpr DWORD ERROR_NO_SUCH_PRIVILEGE = 1313;

// Pseudo handles of the calling process and thread.
HANDLE GetCurrentProcess();
HANDLE GetCurrentThread();

// The thread never impersonates, so it has no token of its own: fails with 1008.
BOOL OpenThreadToken(HANDLE thread, DWORD access, BOOL openAsSelf, HANDLE* token);
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token);
// TokenGroups and TokenPrivileges. A buffer too small (or null) fails with 122 and gives
// the size needed in *returnLength. Needs TOKEN_QUERY.
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                         DWORD* returnLength);

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE subAuthorityCount,
                              DWORD sub0, DWORD sub1, DWORD sub2, DWORD sub3, DWORD sub4,
                              DWORD sub5, DWORD sub6, DWORD sub7, PSID* sid);
BOOL EqualSid(PSID a, PSID b);
PSID FreeSid(PSID sid);  // null on success
// "S-1-5-32-544" (a helper for messages and tests).
std::string SidToText(PSID sid);

// systemName must be null (the local machine).
BOOL LookupPrivilegeValue(const char* systemName, const std::string& name, LUID* luid);
// Returns TRUE when the call was carried out; the last error is then 0 when every
// privilege was changed and 1300 when one is not held. Needs TOKEN_ADJUST_PRIVILEGES (5).
BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                           DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                           DWORD* returnLength);

// Whether this process has the named privilege enabled (ExitWindowsEx asks).
bool IsPrivilegeEnabled(const std::string& name);

}  // namespace win
