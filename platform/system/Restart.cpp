#include "platform/system/Restart.h"

#include <fstream>
#include <mutex>
#include <vector>

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Text.h"

namespace win {

namespace {

std::vector<std::function<void(Machine&)>>& Hooks() {
  static std::vector<std::function<void(Machine&)>> hooks;
  return hooks;
}

const char* const kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string StripNt(std::string p) {
  if (p.rfind("\\??\\", 0) == 0) p.erase(0, 4);
  return p;
}

std::string Err(DWORD code) { return " (error " + std::to_string(code) + ")"; }

// Replaces target by source the way the restart does: an in-use lock no longer holds,
// a read-only target gives way.
bool ReplaceAtBoot(const std::string& source, const std::string& shortOrLongTarget, bool replace) {
  // The target keeps the long name it has on disk, also when named in short form.
  std::string target = shortOrLongTarget;
  Machine::Resolved r;
  if (Machine::Current().Resolve(target, r)) target = r.windows;
  if (GetFileAttributes(target) != INVALID_FILE_ATTRIBUTES && replace) {
    SetFileAttributes(target, FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFile(target)) return false;
  }
  return MoveFileEx(source, target, replace ? MOVEFILE_REPLACE_EXISTING : 0) != 0;
}

void RunPendingRenames(Machine& m) {
  HKEY key;
  LONG rc = RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key);
  if (rc == LONG(ERROR_FILE_NOT_FOUND)) return;
  if (rc != ERROR_SUCCESS)
    throw MachineError("the pending renames cannot be read (error " + std::to_string(rc) + ") " +
                       RegistryFailureText());
  DWORD type = 0, size = 0;
  std::string data;
  if (RegQueryValueEx(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
      ERROR_SUCCESS) {
    data.resize(size);
    RegQueryValueEx(key, "PendingFileRenameOperations", nullptr, &type,
                    reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
  }
  RegCloseKey(key);
  if (data.empty() && type == 0) return;
  // Split the list into its strings, keeping empty ones (an empty target is a deletion).
  std::vector<std::string> items;
  size_t i = 0;
  while (i < data.size()) {
    size_t z = data.find('\0', i);
    if (z == std::string::npos) z = data.size();
    items.push_back(data.substr(i, z - i));
    i = z + 1;
  }
  while (!items.empty() && items.back().empty()) items.pop_back();
  for (size_t k = 0; k < items.size(); k += 2) {
    std::string source = StripNt(items[k]);
    std::string target = k + 1 < items.size() ? items[k + 1] : "";
    if (source.empty()) continue;
    if (target.empty()) {
      SetFileAttributes(source, FILE_ATTRIBUTE_NORMAL);
      if (DeleteFile(source))
        m.Journal("restart", "pending deletion done: " + source);
      else
        m.Journal("restart", "pending deletion failed: " + source + Err(GetLastError()));
      continue;
    }
    bool replace = target[0] == '!';
    if (replace) target.erase(0, 1);
    target = StripNt(target);
    if (ReplaceAtBoot(source, target, replace))
      m.Journal("restart", "pending move done: " + source + " to " + target);
    else
      m.Journal("restart",
                "pending move failed: " + source + " to " + target + Err(GetLastError()));
  }
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValue(key, "PendingFileRenameOperations");
    RegCloseKey(key);
  }
}

void RunWininit(Machine& m) {
  std::string ini = m.Settings().WindowsDir() + "\\WININIT.INI";
  std::string text;
  if (!ReadWholeFile(ini, text)) return;
  bool inRename = false;
  for (const std::string& line : SplitLfLines(text)) {
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] == ';') continue;
    if (line[b] == '[') {
      inRename = SameText(line.substr(b), "[rename]");
      continue;
    }
    if (!inRename) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string target = line.substr(b, eq - b), source = line.substr(eq + 1);
    while (!target.empty() && target.back() == ' ') target.pop_back();
    while (!source.empty() && (source.front() == ' ')) source.erase(0, 1);
    if (SameText(target, "NUL")) {
      SetFileAttributes(source, FILE_ATTRIBUTE_NORMAL);
      if (DeleteFile(source))
        m.Journal("restart", "WININIT.INI deletion done: " + source);
      else
        m.Journal("restart", "WININIT.INI deletion failed: " + source + Err(GetLastError()));
      continue;
    }
    if (ReplaceAtBoot(source, target, true))
      m.Journal("restart", "WININIT.INI rename done: " + source + " to " + target);
    else
      m.Journal("restart",
                "WININIT.INI rename failed: " + source + " to " + target + Err(GetLastError()));
  }
  std::string bak = m.Settings().WindowsDir() + "\\WININIT.BAK";
  if (MoveFileEx(ini, bak, MOVEFILE_REPLACE_EXISTING))
    m.Journal("restart", "WININIT.INI renamed to WININIT.BAK");
  else
    m.Journal("restart", "WININIT.INI could not be renamed" + Err(GetLastError()));
}

}  // namespace

void AddBootHook(std::function<void(Machine&)> hook) { Hooks().push_back(std::move(hook)); }

void BootMachine(Machine& m) {
  if (!Machine::HasCurrent() || &Machine::Current() != &m)
    throw MachineError("the machine to restart must be the current machine (" + m.Dir().string() +
                       ")");
  // A registry that cannot be read would make the restart skip its renames, services and
  // RunOnce entries and still report a started machine: nothing is done then.
  m.CheckRegistry();
  // Windows does this work with the system's rights, whoever the user is.
  SystemRights rights;
  m.Journal("restart", "restart of the machine");
  // No program survives a restart, but one still running on the host keeps its files.
  SweepLeftovers(m, true);
  // Files locked by running programs are free while Windows starts.
  m.UnlockAll();
  if (m.IsNT())
    RunPendingRenames(m);
  else
    RunWininit(m);
  m.Journal("restart", "files in use released");
  for (auto& hook : Hooks()) hook(m);
  m.Journal("restart", "machine started");
}

}  // namespace win
