#include "platform/system/Security.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"

namespace win {

namespace {

struct Privilege {
  const char* name;
  DWORD luid;
  bool admin;  // held by an administrator
  bool user;   // held by a plain user
};
constexpr Privilege kPrivileges[] = {
    {"SeTcbPrivilege", 7, false, false},        {"SeSecurityPrivilege", 8, true, false},
    {"SeSystemtimePrivilege", 12, true, false}, {"SeBackupPrivilege", 17, true, false},
    {"SeRestorePrivilege", 18, true, false},    {"SeShutdownPrivilege", 19, true, true},
    {"SeDebugPrivilege", 20, true, false},      {"SeChangeNotifyPrivilege", 23, true, true},
};
constexpr DWORD kChangeNotify = 23;

const Privilege* FindPrivilege(DWORD luid) {
  for (auto& p : kPrivileges)
    if (p.luid == luid) return &p;
  return nullptr;
}

// Handles of this process's tokens, with the access they were opened for. The enabled
// privileges belong to the process token, shared by every handle on it.
std::mutex g_mutex;
std::map<HANDLE, DWORD> g_tokens;
std::uintptr_t g_nextToken = 0;
std::set<DWORD> g_enabledSet = {kChangeNotify};
std::filesystem::path g_enabledMachine;

// The enabled privileges of this process on the current machine: switching machines (tests)
// starts from a fresh token, as a new process would.
std::set<DWORD>& Enabled() {
  const auto& dir = Machine::Current().Dir();
  if (dir != g_enabledMachine) {
    g_enabledMachine = dir;
    g_enabledSet = {kChangeNotify};
  }
  return g_enabledSet;
}

HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(~std::uintptr_t(0));     // -1
HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(~std::uintptr_t(0) - 1);  // -2

BOOL Fail(DWORD code) {
  SetLastError(code);
  return FALSE;
}

bool IsNT() { return Machine::Current().IsNT(); }

bool Held(const Privilege& p) { return Machine::Current().Settings().admin ? p.admin : p.user; }

void RegisterCloser() {
  static std::once_flag once;
  std::call_once(once, [] {
    AddHandleCloser([](HANDLE h) {
      std::lock_guard lock(g_mutex);
      return g_tokens.erase(h) > 0;
    });
  });
}

bool TokenAccess(HANDLE token, DWORD& access) {
  std::lock_guard lock(g_mutex);
  auto it = g_tokens.find(token);
  if (it == g_tokens.end()) return false;
  access = it->second;
  return true;
}

// A SID laid out as Windows lays it out: revision, count, authority, sub-authorities.
std::vector<BYTE> MakeSid(const SID_IDENTIFIER_AUTHORITY& auth, std::initializer_list<DWORD> subs) {
  std::vector<BYTE> s(8 + 4 * subs.size());
  s[0] = 1;
  s[1] = BYTE(subs.size());
  std::memcpy(&s[2], auth.Value, 6);
  size_t i = 8;
  for (DWORD d : subs) {
    std::memcpy(&s[i], &d, 4);
    i += 4;
  }
  return s;
}

size_t SidLength(PSID sid) { return 8 + 4 * size_t(static_cast<const BYTE*>(sid)[1]); }

std::vector<std::vector<BYTE>> TokenGroupSids() {
  std::vector<std::vector<BYTE>> g;
  g.push_back(MakeSid(SECURITY_WORLD_SID_AUTHORITY, {0}));  // Everyone
  if (Machine::Current().Settings().admin)
    g.push_back(
        MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}));
  g.push_back(
      MakeSid(SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}));
  g.push_back(MakeSid(SECURITY_NT_AUTHORITY, {4}));   // Interactive
  g.push_back(MakeSid(SECURITY_NT_AUTHORITY, {11}));  // Authenticated users
  return g;
}

}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }
HANDLE GetCurrentThread() { return kCurrentThread; }

BOOL OpenThreadToken(HANDLE thread, DWORD access, BOOL, HANDLE* token) {
  if (!IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (!token) return Fail(ERROR_INVALID_PARAMETER);
  *token = nullptr;
  if (thread != kCurrentThread) return Fail(ERROR_INVALID_HANDLE);
  return Fail(ERROR_NO_TOKEN);
}

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE* token) {
  if (!IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (!token) return Fail(ERROR_INVALID_PARAMETER);
  *token = nullptr;
  if (process != kCurrentProcess) return Fail(ERROR_INVALID_HANDLE);
  if (access & ~TOKEN_ALL_ACCESS & ~0x02000000u /* MAXIMUM_ALLOWED */)
    return Fail(ERROR_ACCESS_DENIED);
  RegisterCloser();
  std::lock_guard lock(g_mutex);
  // Tagged values well apart from heap pointers and the other kinds of handles.
  HANDLE h = reinterpret_cast<HANDLE>(std::uintptr_t(0x70C00000) + 4 * ++g_nextToken);
  g_tokens[h] = access;
  *token = h;
  SetLastError(0);
  return TRUE;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info, DWORD length,
                         DWORD* returnLength) {
  if (!IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  DWORD access = 0;
  if (!TokenAccess(token, access)) return Fail(ERROR_INVALID_HANDLE);
  if (!(access & TOKEN_QUERY)) return Fail(ERROR_ACCESS_DENIED);
  if (!returnLength) return Fail(ERROR_INVALID_PARAMETER);
  if (infoClass == TokenGroups) {
    auto sids = TokenGroupSids();
    size_t head = offsetof(TOKEN_GROUPS, Groups) + sids.size() * sizeof(SID_AND_ATTRIBUTES);
    size_t total = head;
    for (auto& s : sids) total += s.size();
    *returnLength = DWORD(total);
    if (!info || length < total) return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto* base = static_cast<BYTE*>(info);
    auto* groups = static_cast<TOKEN_GROUPS*>(info);
    groups->GroupCount = DWORD(sids.size());
    size_t at = head;
    for (size_t i = 0; i < sids.size(); ++i) {
      std::memcpy(base + at, sids[i].data(), sids[i].size());
      groups->Groups[i].Sid = base + at;
      groups->Groups[i].Attributes =
          SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
      at += sids[i].size();
    }
    SetLastError(0);
    return TRUE;
  }
  if (infoClass == TokenPrivileges) {
    std::vector<LUID_AND_ATTRIBUTES> list;
    {
      std::lock_guard lock(g_mutex);
      for (auto& p : kPrivileges)
        if (Held(p))
          list.push_back({LUID{p.luid, 0}, Enabled().count(p.luid) ? SE_PRIVILEGE_ENABLED : 0u});
    }
    size_t total =
        offsetof(TOKEN_PRIVILEGES, Privileges) + list.size() * sizeof(LUID_AND_ATTRIBUTES);
    *returnLength = DWORD(total);
    if (!info || length < total) return Fail(ERROR_INSUFFICIENT_BUFFER);
    auto* privs = static_cast<TOKEN_PRIVILEGES*>(info);
    privs->PrivilegeCount = DWORD(list.size());
    for (size_t i = 0; i < list.size(); ++i) privs->Privileges[i] = list[i];
    SetLastError(0);
    return TRUE;
  }
  return Fail(ERROR_INVALID_PARAMETER);
}

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY* authority, BYTE count, DWORD s0,
                              DWORD s1, DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7,
                              PSID* sid) {
  if (!IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (!authority || !sid || count == 0 || count > 8) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
  auto* s = new BYTE[8 + 4 * count];
  s[0] = 1;
  s[1] = count;
  std::memcpy(s + 2, authority->Value, 6);
  std::memcpy(s + 8, subs, 4 * size_t(count));
  *sid = s;
  SetLastError(0);
  return TRUE;
}

BOOL EqualSid(PSID a, PSID b) {
  if (!a || !b) return Fail(ERROR_INVALID_PARAMETER);
  size_t la = SidLength(a);
  SetLastError(0);
  return la == SidLength(b) && std::memcmp(a, b, la) == 0;
}

PSID FreeSid(PSID sid) {
  delete[] static_cast<BYTE*>(sid);
  return nullptr;
}

std::string SidToText(PSID sid) {
  if (!sid) return "";
  auto* s = static_cast<const BYTE*>(sid);
  std::uint64_t auth = 0;
  for (int i = 0; i < 6; ++i) auth = (auth << 8) | s[2 + i];
  std::string out = "S-" + std::to_string(s[0]) + "-" + std::to_string(auth);
  for (size_t i = 0; i < s[1]; ++i) {
    DWORD d;
    std::memcpy(&d, s + 8 + 4 * i, 4);
    out += "-" + std::to_string(d);
  }
  return out;
}

BOOL LookupPrivilegeValue(const char* systemName, const std::string& name, LUID* luid) {
  if (!IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  if (!luid) return Fail(ERROR_INVALID_PARAMETER);
  if (systemName && *systemName) return Fail(ERROR_INVALID_PARAMETER);
  for (auto& p : kPrivileges)
    if (SameText(p.name, name)) {
      *luid = LUID{p.luid, 0};
      SetLastError(0);
      return TRUE;
    }
  return Fail(ERROR_NO_SUCH_PRIVILEGE);
}

BOOL AdjustTokenPrivileges(HANDLE token, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                           DWORD bufferLength, TOKEN_PRIVILEGES* previousState,
                           DWORD* returnLength) {
  if (!IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
  DWORD access = 0;
  if (!TokenAccess(token, access)) return Fail(ERROR_INVALID_HANDLE);
  if (!(access & TOKEN_ADJUST_PRIVILEGES)) return Fail(ERROR_ACCESS_DENIED);
  if (!disableAll && !newState) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(g_mutex);
  std::vector<LUID_AND_ATTRIBUTES> changed;
  bool allAssigned = true;
  if (disableAll) {
    for (DWORD l : Enabled()) changed.push_back({LUID{l, 0}, SE_PRIVILEGE_ENABLED});
    Enabled().clear();
  } else {
    // Check every entry before changing anything: an unknown privilege fails the call.
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i)
      if (newState->Privileges[i].Luid.HighPart != 0 ||
          !FindPrivilege(newState->Privileges[i].Luid.LowPart))
        return Fail(ERROR_NO_SUCH_PRIVILEGE);
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
      const auto& e = newState->Privileges[i];
      const Privilege* p = FindPrivilege(e.Luid.LowPart);
      if (!Held(*p)) {
        allAssigned = false;
        continue;
      }
      bool was = Enabled().count(p->luid) > 0;
      bool want = (e.Attributes & SE_PRIVILEGE_ENABLED) != 0;
      if (was != want) changed.push_back({e.Luid, was ? SE_PRIVILEGE_ENABLED : 0u});
      if (want)
        Enabled().insert(p->luid);
      else
        Enabled().erase(p->luid);
    }
  }
  if (previousState) {
    DWORD need = DWORD(offsetof(TOKEN_PRIVILEGES, Privileges) +
                       changed.size() * sizeof(LUID_AND_ATTRIBUTES));
    if (returnLength) *returnLength = need;
    if (bufferLength < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
    previousState->PrivilegeCount = DWORD(changed.size());
    for (size_t i = 0; i < changed.size(); ++i) previousState->Privileges[i] = changed[i];
  }
  SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
  return TRUE;
}

bool IsPrivilegeEnabled(const std::string& name) {
  for (auto& p : kPrivileges)
    if (SameText(p.name, name)) {
      std::lock_guard lock(g_mutex);
      return Held(p) && Enabled().count(p.luid) > 0;
    }
  return false;
}

}  // namespace win
