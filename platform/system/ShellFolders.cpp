#include "platform/system/ShellFolders.h"

#include <cstring>
#include <filesystem>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"

namespace fs = std::filesystem;

namespace win {

namespace {

std::string ReadProgramFilesDir() {
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                   KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return "";
  char buf[MAX_PATH * 2] = {};
  DWORD size = sizeof buf, type = 0;
  std::string out;
  if (RegQueryValueEx(key, "ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(buf),
                      &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ))
    out.assign(buf, strnlen(buf, size));
  RegCloseKey(key);
  return out;
}

std::string WithoutBackslash(std::string p) {
  while (p.size() > 3 && p.back() == '\\') p.pop_back();
  return p;
}

// Creates every missing level; 0 or the error.
DWORD CreateLevels(const std::string& path) {
  std::string current;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('\\', pos);
    if (next == std::string::npos) next = path.size();
    current = path.substr(0, next);
    pos = next + 1;
    if (current.size() <= 3) continue;  // the drive root
    DWORD attrs = GetFileAttributes(current);
    if (attrs != INVALID_FILE_ATTRIBUTES) {
      if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ALREADY_EXISTS;
      continue;
    }
    if (!CreateDirectory(current)) return GetLastError();
  }
  return 0;
}

}  // namespace

HRESULT SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, char* path) {
  if (!path) return E_INVALIDARG;
  path[0] = '\0';
  try {
    Machine& m = Machine::Current();
    const bool create = (csidl & CSIDL_FLAG_CREATE) != 0;
    std::string folder;
    switch (csidl & ~CSIDL_FLAG_MASK) {
      case CSIDL_PROGRAM_FILES:
        folder = ReadProgramFilesDir();
        if (folder.empty()) return E_FAIL;
        break;
      case CSIDL_PROGRAM_FILES_COMMON: {
        std::string pf = ReadProgramFilesDir();
        if (pf.empty()) return E_FAIL;
        folder = WithoutBackslash(pf) + "\\Common Files";
        break;
      }
      case CSIDL_FONTS:
        folder = m.Settings().WindowsDir() + "\\Fonts";
        break;
      case CSIDL_WINDOWS:
        folder = m.Settings().WindowsDir();
        break;
      case CSIDL_SYSTEM:
        folder = m.Settings().SystemDir();
        break;
      default:
        return E_INVALIDARG;
    }
    folder = WithoutBackslash(m.FullPathName(folder));
    if (folder.empty() || folder.size() >= MAX_PATH) return E_FAIL;
    DWORD attrs = GetFileAttributes(folder);
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
      if (!create) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      if (DWORD err = CreateLevels(folder)) return HRESULT_FROM_WIN32(err);
    }
    Machine::Resolved r;
    if (m.Resolve(folder, r)) folder = WithoutBackslash(r.windows);  // case as on disk
    std::memcpy(path, folder.c_str(), folder.size() + 1);
    return S_OK;
  } catch (const std::exception&) {
    return E_FAIL;
  }
}

}  // namespace win
