#include "platform/system/Libraries.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <vector>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/Services.h"
#include "platform/system/ShellFolders.h"

namespace fs = std::filesystem;

namespace win {

namespace {

struct Module {
  std::string key;   // folded full Windows path, or the folded name of a built-in module
  std::string path;  // full Windows path
  std::string name;  // file name, as found
  int count = 0;
  bool builtIn = false;
};

std::mutex g_mutex;
std::map<HMODULE, Module> g_modules;
std::uintptr_t g_next = 0;
std::filesystem::path g_modulesMachine;

HMODULE const kProgramModule = reinterpret_cast<HMODULE>(std::uintptr_t(0x00400000));

const char* const kBuiltIn[] = {"kernel32.dll", "advapi32.dll", "user32.dll", "gdi32.dll",
                                "ntdll.dll"};

std::string FileName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string WithDll(const std::string& name) {
  std::string file = FileName(name);
  if (!file.empty() && file.back() == '.')
    return name.substr(0, name.size() - 1);  // "x." means no extension
  return file.find('.') == std::string::npos ? name + ".dll" : name;
}

bool IsBuiltIn(const std::string& file) {
  for (const char* b : kBuiltIn)
    if (SameText(file, b)) return std::string(b) != "ntdll.dll" || Machine::Current().IsNT();
  return false;
}

// The modules of this process on the current machine (a new machine: a new process).
std::map<HMODULE, Module>& Modules() {
  const auto& dir = Machine::Current().Dir();
  if (dir != g_modulesMachine) {
    g_modulesMachine = dir;
    g_modules.clear();
  }
  return g_modules;
}

std::vector<std::string> MachinePath() {
  std::vector<std::string> out;
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE,
                   "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment", 0,
                   KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return out;
  char buf[4096] = {};
  DWORD size = sizeof buf, type = 0;
  if (RegQueryValueEx(key, "Path", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
          ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::string all(buf, strnlen(buf, size));
    size_t start = 0;
    while (start <= all.size()) {
      size_t end = all.find(';', start);
      if (end == std::string::npos) end = all.size();
      std::string dir = all.substr(start, end - start);
      // %SystemRoot% is the one variable the machine's Path uses.
      const std::string var = "%SystemRoot%";
      if (dir.size() >= var.size() && SameText(dir.substr(0, var.size()), var))
        dir = Machine::Current().Settings().WindowsDir() + dir.substr(var.size());
      if (!dir.empty()) out.push_back(dir);
      start = end + 1;
    }
  }
  RegCloseKey(key);
  return out;
}

bool FindFile(const std::string& winPath, Machine::Resolved& r) {
  if (!Machine::Current().Resolve(winPath, r)) return false;
  std::error_code ec;
  return fs::is_regular_file(r.host, ec);
}

// The file a library name names, searched as Windows searches.
bool Locate(const std::string& name, Machine::Resolved& found) {
  if (name.find_first_of("\\/:") != std::string::npos) return FindFile(name, found);
  Machine& m = Machine::Current();
  std::vector<std::string> places;
  std::string program = ProgramPath();
  if (!program.empty()) places.push_back(Folder(program));
  places.push_back(m.Settings().SystemDir());
  places.push_back(m.Settings().WindowsDir());
  places.push_back(m.CurrentDirectory());
  for (auto& p : MachinePath()) places.push_back(p);
  for (auto& p : places) {
    if (p.empty()) continue;
    std::string candidate = (p.back() == '\\' ? p : p + "\\") + name;
    if (FindFile(candidate, found)) return true;
  }
  return false;
}

bool IsPeImage(const fs::path& host) {
  std::ifstream in(host, std::ios::binary);
  char mz[2] = {};
  in.read(mz, 2);
  return in.gcount() == 2 && mz[0] == 'M' && mz[1] == 'Z';
}

HMODULE Add(Module m) {
  auto& mods = Modules();
  for (auto& [h, mod] : mods)
    if (mod.key == m.key) {
      ++mod.count;
      return h;
    }
  HMODULE h = reinterpret_cast<HMODULE>(std::uintptr_t(0x10000000) + 0x10000 * ++g_next);
  m.count = 1;
  mods.emplace(h, std::move(m));
  return h;
}

HMODULE Fail(DWORD code) {
  SetLastError(code);
  return nullptr;
}

bool IsNT5() {
  auto os = Machine::Current().Settings().os;
  return os == OsVersion::Win2000 || os == OsVersion::WinXP;
}

BOOL WINAPI_ChangeServiceConfig2A(SC_HANDLE service, DWORD level, void* info) {
  return ChangeServiceConfig2(service, level, info);
}

}  // namespace

HMODULE LoadLibrary(const std::string& rawName) {
  try {
    if (rawName.empty()) return Fail(ERROR_INVALID_PARAMETER);
    std::string name = WithDll(rawName);
    std::string file = FileName(name);
    std::lock_guard lock(g_mutex);
    if (name == file && IsBuiltIn(file)) {
      Machine& m = Machine::Current();
      SetLastError(0);
      return Add({FoldCase(file), m.Settings().SystemDir() + "\\" + file, file, 0, true});
    }
    Machine::Resolved r;
    if (!Locate(name, r)) return Fail(ERROR_MOD_NOT_FOUND);
    std::string found = FileName(r.windows);
    bool lenient = SameText(found, "shell32.dll") || SameText(found, "shfolder.dll");
    if (!lenient && !IsPeImage(r.host)) return Fail(ERROR_BAD_EXE_FORMAT);
    SetLastError(0);
    return Add({FoldCase(r.windows), r.windows, found, 0, false});
  } catch (const std::exception&) {
    return Fail(ERROR_MOD_NOT_FOUND);
  }
}

BOOL FreeLibrary(HMODULE module) {
  std::lock_guard lock(g_mutex);
  auto& mods = Modules();
  auto it = mods.find(module);
  if (it == mods.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second.count <= 0) mods.erase(it);
  return TRUE;
}

HMODULE GetModuleHandle(const char* rawName) {
  if (!rawName) return kProgramModule;
  std::string name = WithDll(rawName);
  std::string file = FileName(name);
  std::lock_guard lock(g_mutex);
  if (name == file && IsBuiltIn(file)) {
    // Always loaded: give the same handle a LoadLibrary would, without counting.
    for (auto& [h, m] : Modules())
      if (m.key == FoldCase(file)) return h;
    Machine& m = Machine::Current();
    HMODULE h = Add({FoldCase(file), m.Settings().SystemDir() + "\\" + file, file, 0, true});
    Modules()[h].count = 1 << 20;  // never unloaded
    return h;
  }
  bool byPath = name != file;
  std::string full = byPath ? FoldCase(Machine::Current().FullPathName(name)) : "";
  for (auto& [h, m] : Modules())
    if (byPath ? m.key == full : SameText(m.name, file)) return h;
  return Fail(ERROR_MOD_NOT_FOUND);
}

FARPROC GetProcAddress(HMODULE module, const std::string& name) {
  std::string file;
  {
    std::lock_guard lock(g_mutex);
    auto& mods = Modules();
    auto it = mods.find(module);
    if (it == mods.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    file = it->second.name;
  }
  FARPROC proc = nullptr;
  if (name == "SHGetFolderPathA") {
    if (SameText(file, "shfolder.dll") || (SameText(file, "shell32.dll") && IsNT5()))
      proc = reinterpret_cast<FARPROC>(&SHGetFolderPathA);
  } else if (name == "ChangeServiceConfig2A") {
    if (SameText(file, "advapi32.dll") && IsNT5())
      proc = reinterpret_cast<FARPROC>(&WINAPI_ChangeServiceConfig2A);
  }
  SetLastError(proc ? 0 : ERROR_PROC_NOT_FOUND);
  return proc;
}

DWORD GetModuleFileName(HMODULE module, char* buffer, DWORD size) {
  std::string path;
  if (!module || module == kProgramModule) {
    path = ProgramPath();
  } else {
    std::lock_guard lock(g_mutex);
    auto& mods = Modules();
    auto it = mods.find(module);
    if (it == mods.end()) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = it->second.path;
  }
  if (!buffer || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  SetLastError(0);
  return DWORD(path.size());
}

LANGID GetSystemDefaultLangID() { return Machine::Current().Settings().languageId; }

}  // namespace win
