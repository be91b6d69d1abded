#include "platform/system/SystemInfo.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Text.h"

namespace win {

namespace {
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;

struct VersionRow {
  DWORD major, minor, build, platform;
  const char* csd;
};

VersionRow VersionOf(OsVersion v) {
  switch (v) {
    case OsVersion::Win95:
      return {4, 0, 950, VER_PLATFORM_WIN32_WINDOWS, ""};
    case OsVersion::Win98:
      return {4, 10, 1998, VER_PLATFORM_WIN32_WINDOWS, ""};
    case OsVersion::WinMe:
      return {4, 90, 3000, VER_PLATFORM_WIN32_WINDOWS, ""};
    case OsVersion::NT351:
      return {3, 51, 1057, VER_PLATFORM_WIN32_NT, ""};
    case OsVersion::NT4:
      return {4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6"};
    case OsVersion::Win2000:
      return {5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4"};
    case OsVersion::WinXP:
      return {5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 2"};
  }
  return {5, 1, 2600, VER_PLATFORM_WIN32_NT, ""};
}
}  // namespace

BOOL GetVersionEx(OSVERSIONINFO* info) {
  if (!info || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFO)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  try {
    VersionRow r = VersionOf(Machine::Current().Settings().os);
    info->dwMajorVersion = r.major;
    info->dwMinorVersion = r.minor;
    // On 9x the high word of the build number holds the major and minor version.
    info->dwBuildNumber = r.platform == VER_PLATFORM_WIN32_WINDOWS
                              ? (r.major << 24) | (r.minor << 16) | r.build
                              : r.build;
    info->dwPlatformId = r.platform;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "%s", r.csd);
    return TRUE;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
}

BOOL GetComputerName(char* buffer, DWORD* size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name;
  try {
    name = Machine::Current().Settings().hostName;
  } catch (const std::exception&) {
  }
  if (name.empty()) {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) name = host;
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
  }
  if (name.size() > MAX_COMPUTERNAME_LENGTH) name.resize(MAX_COMPUTERNAME_LENGTH);
  name = AsciiUpper(std::move(name));
  if (!buffer || *size < name.size() + 1) {
    *size = DWORD(name.size() + 1);
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = DWORD(name.size());
  return TRUE;
}

BOOL GetUserName(char* buffer, DWORD* size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string name;
  try {
    name = Machine::Current().Settings().userName;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  if (!buffer || *size < name.size() + 1) {
    *size = DWORD(name.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *size = DWORD(name.size() + 1);
  return TRUE;
}

BOOL MessageBeep(UINT type) {
  const char* kind = "default";
  switch (type & 0xF0) {
    case MB_ICONHAND:
      kind = "error";
      break;
    case MB_ICONQUESTION:
      kind = "question";
      break;
    case MB_ICONEXCLAMATION:
      kind = "warning";
      break;
    case MB_ICONASTERISK:
      kind = "information";
      break;
  }
  if (type == 0xFFFFFFFF) kind = "speaker";
  try {
    Machine::Current().Journal("beep", std::string("beep (") + kind + ")");
  } catch (const std::exception&) {
  }
  return TRUE;
}

}  // namespace win
