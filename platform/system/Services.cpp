#include "platform/system/Services.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/system/Clock.h"
#include "platform/system/CommandLine.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Sqlite.h"

namespace win {

namespace {

constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
constexpr DWORD GENERIC_READ_ = 0x80000000, GENERIC_WRITE_ = 0x40000000,
                GENERIC_EXECUTE_ = 0x20000000, GENERIC_ALL_ = 0x10000000;

struct Handle {
  bool manager = false;
  std::string name;  // the service's name as stored
  DWORD access = 0;
  std::int64_t row = 0;  // its record in service_handles
};

std::mutex g_mutex;
std::map<SC_HANDLE, Handle> g_handles;
std::uintptr_t g_next = 0;

// ---- small helpers ----------------------------------------------------------------------

template <typename T>
T Fail(DWORD code, T value) {
  SetLastError(code);
  return value;
}
BOOL Fail(DWORD code) { return Fail<BOOL>(code, FALSE); }

DWORD MapGeneric(DWORD access, DWORD read, DWORD write, DWORD execute, DWORD all) {
  DWORD out = access & ~(GENERIC_READ_ | GENERIC_WRITE_ | GENERIC_EXECUTE_ | GENERIC_ALL_);
  if (access & GENERIC_READ_) out |= read;
  if (access & GENERIC_WRITE_) out |= write;
  if (access & GENERIC_EXECUTE_) out |= execute;
  if (access & GENERIC_ALL_) out |= all;
  return out;
}

SqliteDb& Db() { return Machine::Current().State(); }

std::string Key(const std::string& name) { return FoldCase(name); }

// ---- the registry side --------------------------------------------------------------------

struct RegKey {
  HKEY h = nullptr;
  ~RegKey() {
    if (h) RegCloseKey(h);
  }
};

bool OpenServiceKey(const std::string& name, REGSAM access, RegKey& key) {
  return RegOpenKeyEx(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + name, 0, access,
                      &key.h) == ERROR_SUCCESS;
}

std::optional<DWORD> ReadDword(HKEY key, const std::string& name) {
  DWORD v = 0, size = sizeof v, type = 0;
  if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != 4)
    return std::nullopt;
  return v;
}

std::vector<BYTE> ReadRaw(HKEY key, const std::string& name, DWORD& type) {
  DWORD size = 0;
  if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
  std::vector<BYTE> data(size);
  if (size && RegQueryValueEx(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return {};
  data.resize(size);
  return data;
}

std::string ReadString(HKEY key, const std::string& name) {
  DWORD type = 0;
  auto data = ReadRaw(key, name, type);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
  return std::string(reinterpret_cast<const char*>(data.data()),
                     strnlen(reinterpret_cast<const char*>(data.data()), data.size()));
}

std::vector<std::string> ReadMulti(HKEY key, const std::string& name) {
  DWORD type = 0;
  auto data = ReadRaw(key, name, type);
  std::vector<std::string> out;
  if (type != REG_MULTI_SZ && type != REG_SZ) return out;
  std::string cur;
  for (BYTE b : data) {
    if (b == 0) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
    } else {
      cur += char(b);
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

void WriteDword(HKEY key, const std::string& name, DWORD v) {
  RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
}

LONG WriteString(HKEY key, const std::string& name, const std::string& v, DWORD type = REG_SZ) {
  return RegSetValueEx(key, name, 0, type, reinterpret_cast<const BYTE*>(v.c_str()),
                       DWORD(v.size() + 1));
}

// The names of an open key's subkeys.
std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> out;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD size = sizeof name;
    if (RegEnumKeyEx(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    out.emplace_back(name, size);
  }
  return out;
}

std::vector<std::string> ServiceNames() {
  RegKey key;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &key.h) != ERROR_SUCCESS)
    return {};
  return SubkeyNames(key.h);
}

// The stored spelling of a service's name, or empty.
std::string StoredName(const std::string& name) {
  for (auto& n : ServiceNames())
    if (SameText(n, name)) return n;
  return "";
}

bool MarkedForDeletion(const std::string& name) {
  RegKey key;
  if (!OpenServiceKey(name, KEY_QUERY_VALUE, key)) return false;
  return ReadDword(key.h, "DeleteFlag").value_or(0) != 0;
}

DWORD RegDeleteTree(HKEY root, const std::string& path) {
  RegKey key;
  if (RegOpenKeyEx(root, path, 0, KEY_ALL_ACCESS, &key.h) == ERROR_SUCCESS)
    for (auto& s : SubkeyNames(key.h)) RegDeleteTree(root, path + "\\" + s);
  return DWORD(RegDeleteKey(root, path));
}

// ---- the run state --------------------------------------------------------------------------

ServiceTestSettings TestsOf(const std::string& name) {
  auto st = Db().Prepare("SELECT fails, delay_ms, stop_hangs FROM service_tests WHERE name = ?");
  st.Bind(1, Key(name));
  ServiceTestSettings t;
  if (st.Step()) {
    t.failsToStart = st.ColumnInt(0) != 0;
    t.startDelayMs = DWORD(st.ColumnInt(1));
    t.stopHangs = st.ColumnInt(2) != 0;
  }
  return t;
}

// The services whose last recorded state is other than stopped: asked before every file
// write (a program a service runs cannot be replaced), changed seldom. Every write to
// service_state reports to it. Kept whole and shared, as the lock table's answers are: no
// copy per question.
using ServiceNamesNow = std::shared_ptr<const std::vector<std::string>>;
SqliteReadCache<ServiceNamesNow>& NotStopped() {
  static auto* c = new SqliteReadCache<ServiceNamesNow>();
  return *c;
}

struct RunState {
  DWORD state = SERVICE_STOPPED;
  std::uint64_t until = 0;
  DWORD exitCode = ERROR_SERVICE_NEVER_STARTED;
};

void SaveState(const std::string& name, const RunState& s) {
  auto st = Db().Prepare(
      "INSERT OR REPLACE INTO service_state(name, state, until, exit_code) VALUES(?,?,?,?)");
  st.Bind(1, Key(name))
      .Bind(2, std::int64_t(s.state))
      .Bind(3, std::int64_t(s.until))
      .Bind(4, std::int64_t(s.exitCode));
  st.Step();
  NotStopped().Dropped(Db());
}

// The state recorded for a service (stopped, never started, when there is none).
RunState RecordedState(const std::string& name) {
  auto st = Db().Prepare("SELECT state, until, exit_code FROM service_state WHERE name = ?");
  st.Bind(1, Key(name));
  RunState s;
  if (!st.Step()) return s;
  s.state = DWORD(st.ColumnInt(0));
  s.until = std::uint64_t(st.ColumnInt(1));
  s.exitCode = DWORD(st.ColumnInt(2));
  return s;
}

bool StartEnded(const RunState& s) {
  return s.state == SERVICE_START_PENDING && clock::Now() >= s.until;
}

// A pending start that has waited long enough has ended: running, or stopped when the
// service fails to start.
void EndStart(const std::string& name, RunState& s) {
  bool fails = TestsOf(name).failsToStart;
  s.state = fails ? SERVICE_STOPPED : SERVICE_RUNNING;
  s.exitCode = fails ? ERROR_PROCESS_ABORTED : 0;
}

// The state now. The end of a pending start is recorded by the first call that sees it, in
// a write transaction that reads the record again: the reads before it and another
// process recording the same end meanwhile fail nothing. Where nothing may be written (a
// read transaction), the end is told and left for a later call to record.
RunState CurrentState(const std::string& name) {
  RunState s = RecordedState(name);
  if (!StartEnded(s)) return s;
  SqliteDb& db = Db();
  if (!db.MayWrite()) {
    EndStart(name, s);
    return s;
  }
  SqliteTransaction tx(db);
  s = RecordedState(name);
  if (!StartEnded(s)) return s;
  EndStart(name, s);
  SaveState(name, s);
  Machine::Current().Journal(
      "service", name + (s.state == SERVICE_STOPPED ? " failed to start" : " is running"));
  tx.Commit();
  return s;
}

int LiveHandles(const std::string& name) {
  std::vector<std::int64_t> dead;
  int live = 0;
  {
    auto st = Db().Prepare("SELECT id, pid, started FROM service_handles WHERE name = ?");
    st.Bind(1, Key(name));
    while (st.Step()) {
      if (ProcessAlive(int(st.ColumnInt(1)), std::uint64_t(st.ColumnInt(2))))
        ++live;
      else
        dead.push_back(st.ColumnInt(0));
    }
  }
  for (auto id : dead) {
    auto del = Db().Prepare("DELETE FROM service_handles WHERE id = ?");
    del.Bind(1, id);
    del.Step();
  }
  return live;
}

void Forget(const std::string& name) {
  for (const char* sql :
       {"DELETE FROM service_state WHERE name = ?", "DELETE FROM service_handles WHERE name = ?"}) {
    auto st = Db().Prepare(sql);
    st.Bind(1, Key(name));
    st.Step();
  }
  NotStopped().Dropped(Db());
}

// Carries out the deletion of a marked service once nothing holds it.
void SweepDeletion(const std::string& name) {
  if (!MarkedForDeletion(name)) return;
  if (CurrentState(name).state != SERVICE_STOPPED || LiveHandles(name) > 0) return;
  RegDeleteTree(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + name);
  Forget(name);
  Machine::Current().Journal("service", "deleted " + name);
}

void SweepAll() {
  for (auto& n : ServiceNames())
    if (MarkedForDeletion(n)) SweepDeletion(n);
}

// The state key of the program a service runs, or empty.
std::string ImageKey(const std::string& imagePath) {
  std::string p = imagePath;
  const std::string var = "%SystemRoot%";
  if (p.size() >= var.size() && SameText(p.substr(0, var.size()), var))
    p = Machine::Current().Settings().WindowsDir() + p.substr(var.size());
  ProgramAndArgs pa = SplitProgram(p);
  if (pa.program.empty()) return "";
  Machine::Resolved r;
  if (!Machine::Current().Resolve(pa.program, r)) return "";
  std::error_code ec;
  if (!std::filesystem::exists(r.host, ec) && r.windows.find('.') == std::string::npos) {
    Machine::Resolved withExe;
    if (Machine::Current().Resolve(pa.program + ".exe", withExe)) r = withExe;
  }
  return Machine::Current().StateKey(r);
}

bool ImageInUse(Machine& m, const std::string& stateKey) {
  if (!m.IsNT()) return false;
  try {
    SqliteDb& db = Db();
    const ServiceNamesNow active = NotStopped().Lookup(db, "", [&] {
      std::vector<std::string> names;
      auto st = db.Prepare("SELECT name FROM service_state WHERE state <> 1");
      while (st.Step()) names.push_back(st.ColumnText(0));
      return std::make_shared<const std::vector<std::string>>(std::move(names));
    });
    for (auto& folded : *active) {
      std::string name = StoredName(folded);
      if (name.empty() || CurrentState(name).state == SERVICE_STOPPED) continue;
      RegKey key;
      if (!OpenServiceKey(name, KEY_QUERY_VALUE, key)) continue;
      if (ImageKey(ReadString(key.h, "ImagePath")) == stateKey) return true;
    }
  } catch (const std::exception&) {
  }
  return false;
}

const bool g_providerRegistered = [] {
  Machine::AddInUseProvider(&ImageInUse);
  return true;
}();

// ---- handles ----------------------------------------------------------------------------------

SC_HANDLE NewHandle(Handle h) {
  if (!h.manager) {
    auto st = Db().Prepare("INSERT INTO service_handles(pid, started, name) VALUES(?,?,?)");
    int pid = int(::getpid());
    st.Bind(1, std::int64_t(pid)).Bind(2, std::int64_t(ProcessStartTime(pid))).Bind(3, Key(h.name));
    st.Step();
    h.row = Db().LastInsertRowId();
  }
  std::lock_guard lock(g_mutex);
  SC_HANDLE sc = reinterpret_cast<SC_HANDLE>(std::uintptr_t(0x5C000000) + 8 * ++g_next);
  g_handles[sc] = std::move(h);
  return sc;
}

bool Lookup(SC_HANDLE sc, Handle& out) {
  std::lock_guard lock(g_mutex);
  auto it = g_handles.find(sc);
  if (it == g_handles.end()) return false;
  out = it->second;
  return true;
}

bool IsAdmin() { return Machine::Current().Settings().admin; }

// Runs a call on NT only, with the errors of the store turned into a failure code (5 where
// the PC may not be written).
template <typename T, typename F>
T Guard(T failure, F&& f) {
  try {
    if (!Machine::Current().IsNT()) return Fail(ERROR_CALL_NOT_IMPLEMENTED, failure);
    // The manager keeps its database with the system's rights; the caller's rights were
    // checked when its handles were opened.
    SystemRights rights;
    return f();
  } catch (const SqliteError& e) {
    return Fail(e.PermissionDenied() ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE, failure);
  } catch (const std::exception&) {
    return Fail(ERROR_GEN_FAILURE, failure);
  }
}

// The name becomes a registry key under Services, so a key name's 255 characters bound it.
bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= 255 && name.find_first_of("/\\") == std::string::npos;
}

void FillStatus(const std::string& name, const RunState& s, SERVICE_STATUS* status) {
  if (!status) return;
  *status = SERVICE_STATUS{};
  RegKey key;
  if (OpenServiceKey(name, KEY_QUERY_VALUE, key))
    status->dwServiceType = ReadDword(key.h, "Type").value_or(SERVICE_WIN32_OWN_PROCESS);
  status->dwCurrentState = s.state;
  status->dwControlsAccepted = s.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status->dwWin32ExitCode = s.state == SERVICE_STOPPED ? s.exitCode : 0;
  if (s.state == SERVICE_START_PENDING || s.state == SERVICE_STOP_PENDING) {
    status->dwCheckPoint = 1;
    status->dwWaitHint = 2000;
  }
}

// The settings a service can have: own or shared process (interactive only as the local
// system), a start type a program may set, a known error control, a tag only with a group.
bool SettingsValid(DWORD serviceType, DWORD startType, DWORD errorControl,
                   const std::string& account, bool tagWithoutGroup) {
  DWORD baseType = serviceType & ~SERVICE_INTERACTIVE_PROCESS;
  if (baseType != SERVICE_WIN32_OWN_PROCESS && baseType != SERVICE_WIN32_SHARE_PROCESS)
    return false;
  if (startType < SERVICE_AUTO_START || startType > SERVICE_DISABLED ||
      errorControl > SERVICE_ERROR_CRITICAL)
    return false;
  bool localSystem = SameText(account, "LocalSystem") || SameText(account, ".\\LocalSystem");
  if ((serviceType & SERVICE_INTERACTIVE_PROCESS) && !localSystem) return false;
  return !tagWithoutGroup;
}

// Another service than `self` goes by display (as its name or display name), or goes by
// name as its display name.
bool DisplayNameTaken(const std::string& name, const std::string& display,
                      const std::string& self) {
  for (auto& other : ServiceNames()) {
    if (!self.empty() && SameText(other, self)) continue;
    RegKey key;
    if (!OpenServiceKey(other, KEY_QUERY_VALUE, key)) continue;
    std::string otherDisplay = ReadString(key.h, "DisplayName");
    if (SameText(other, display) || (!otherDisplay.empty() && (SameText(otherDisplay, display) ||
                                                               SameText(otherDisplay, name))))
      return true;
  }
  return false;
}

void WriteDependencies(HKEY key, const char* dependencies) {
  std::string multi;
  for (const char* p = dependencies; *p; p += std::strlen(p) + 1) multi += std::string(p) + '\0';
  if (multi.empty()) {
    RegDeleteValue(key, "DependOnService");
    return;
  }
  multi += '\0';
  RegSetValueEx(key, "DependOnService", 0, REG_MULTI_SZ,
                reinterpret_cast<const BYTE*>(multi.data()), DWORD(multi.size()));
}

// Starts a service (and what it depends on); 0 or the error.
DWORD StartByName(const std::string& name, int depth) {
  if (depth > 16) return ERROR_SERVICE_DEPENDENCY_FAIL;  // a dependency loop
  RegKey key;
  if (!OpenServiceKey(name, KEY_QUERY_VALUE, key)) return ERROR_SERVICE_DOES_NOT_EXIST;
  if (ReadDword(key.h, "DeleteFlag").value_or(0)) return ERROR_SERVICE_MARKED_FOR_DELETE;
  if (ReadDword(key.h, "Start").value_or(SERVICE_DEMAND_START) == SERVICE_DISABLED)
    return ERROR_SERVICE_DISABLED;
  if (CurrentState(name).state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
  for (auto& dep : ReadMulti(key.h, "DependOnService")) {
    std::string stored = StoredName(dep);
    if (stored.empty() || MarkedForDeletion(stored)) return ERROR_SERVICE_DEPENDENCY_DELETED;
    if (CurrentState(stored).state == SERVICE_STOPPED && StartByName(stored, depth + 1) != 0)
      return ERROR_SERVICE_DEPENDENCY_FAIL;
  }
  ServiceTestSettings t = TestsOf(name);
  RunState s;
  s.state = SERVICE_START_PENDING;
  s.until = clock::Now() + std::uint64_t(t.startDelayMs) * clock::kTicksPerMs;
  s.exitCode = 0;
  SaveState(name, s);
  Machine::Current().Journal("service", "start " + name);
  CurrentState(name);  // settles at once when there is no delay
  return 0;
}

}  // namespace

SC_HANDLE OpenSCManager(const char* machineName, const char* databaseName, DWORD access) {
  return Guard<SC_HANDLE>(nullptr, [&]() -> SC_HANDLE {
    if (machineName && *machineName) {
      std::string m = machineName;
      while (!m.empty() && m[0] == '\\') m.erase(0, 1);
      const std::string& host = Machine::Current().Settings().hostName;
      char real[256] = {};
      ::gethostname(real, sizeof real - 1);
      if (!SameText(m, host.empty() ? std::string(real) : host) && !SameText(m, "localhost"))
        return Fail<SC_HANDLE>(1722 /* RPC_S_SERVER_UNAVAILABLE */, nullptr);
    }
    if (databaseName && *databaseName && !SameText(databaseName, "ServicesActive"))
      return Fail<SC_HANDLE>(ERROR_DATABASE_DOES_NOT_EXIST, nullptr);
    access = MapGeneric(access, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
                        SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
                        SC_MANAGER_CONNECT | SC_MANAGER_LOCK, SC_MANAGER_ALL_ACCESS);
    const DWORD userRights =
        SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
    if (!IsAdmin() && (access & ~userRights)) return Fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    SweepAll();
    SetLastError(0);
    return NewHandle(Handle{true, "", access | SC_MANAGER_CONNECT, 0});
  });
}

SC_HANDLE CreateService(SC_HANDLE manager, const std::string& name, const std::string& displayName,
                        DWORD access, DWORD serviceType, DWORD startType, DWORD errorControl,
                        const std::string& binaryPath, const char* loadOrderGroup, DWORD* tagId,
                        const char* dependencies, const char* startName, const char*) {
  return Guard<SC_HANDLE>(nullptr, [&]() -> SC_HANDLE {
    Handle m;
    if (!Lookup(manager, m) || !m.manager) return Fail<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if (!(m.access & SC_MANAGER_CREATE_SERVICE))
      return Fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    if (!ValidName(name)) return Fail<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    std::string display = displayName.empty() ? name : displayName;
    if (display.size() > 256 || binaryPath.empty())
      return Fail<SC_HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    std::string account = startName && *startName ? startName : "LocalSystem";
    if (!SettingsValid(serviceType, startType, errorControl, account,
                       tagId && !(loadOrderGroup && *loadOrderGroup)))
      return Fail<SC_HANDLE>(ERROR_INVALID_PARAMETER, nullptr);

    for (auto& other : ServiceNames())
      if (SameText(other, name))
        return Fail<SC_HANDLE>(
            MarkedForDeletion(other) ? ERROR_SERVICE_MARKED_FOR_DELETE : ERROR_SERVICE_EXISTS,
            nullptr);
    if (DisplayNameTaken(name, display, ""))
      return Fail<SC_HANDLE>(ERROR_DUPLICATE_SERVICE_NAME, nullptr);

    RegKey key;
    if (LONG rc = RegCreateKeyEx(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + name, 0,
                                 nullptr, 0, KEY_ALL_ACCESS, nullptr, &key.h, nullptr))
      return Fail<SC_HANDLE>(DWORD(rc), nullptr);
    WriteDword(key.h, "Type", serviceType);
    WriteDword(key.h, "Start", startType);
    WriteDword(key.h, "ErrorControl", errorControl);
    WriteString(key.h, "ImagePath", binaryPath, REG_EXPAND_SZ);
    WriteString(key.h, "DisplayName", display);
    WriteString(key.h, "ObjectName", account);
    if (loadOrderGroup && *loadOrderGroup) WriteString(key.h, "Group", loadOrderGroup);
    if (dependencies && *dependencies) WriteDependencies(key.h, dependencies);
    if (tagId) *tagId = 0;
    Forget(name);  // no state left over from an earlier service of that name
    Machine::Current().Journal("service", "create " + name + " \"" + display + "\": " + binaryPath);
    SetLastError(0);
    return NewHandle(Handle{
        false, name,
        MapGeneric(access,
                   SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                       SERVICE_ENUMERATE_DEPENDENTS,
                   SERVICE_CHANGE_CONFIG, SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE,
                   SERVICE_ALL_ACCESS),
        0});
  });
}

SC_HANDLE OpenService(SC_HANDLE manager, const std::string& name, DWORD access) {
  return Guard<SC_HANDLE>(nullptr, [&]() -> SC_HANDLE {
    Handle m;
    if (!Lookup(manager, m) || !m.manager) return Fail<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if (!ValidName(name)) return Fail<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    std::string stored = StoredName(name);
    if (stored.empty()) return Fail<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    access = MapGeneric(access,
                        SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                            SERVICE_ENUMERATE_DEPENDENTS,
                        SERVICE_CHANGE_CONFIG,
                        SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE, SERVICE_ALL_ACCESS);
    const DWORD userRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
                             SERVICE_ENUMERATE_DEPENDENTS | SERVICE_USER_DEFINED_CONTROL |
                             0x00020000 /* READ_CONTROL */;
    if (!IsAdmin() && (access & ~userRights)) return Fail<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    SetLastError(0);
    return NewHandle(Handle{false, stored, access, 0});
  });
}

namespace {
// The handle behind `service` when it is a service's, opened with `access`: 0, else the error.
DWORD ServiceHandle(SC_HANDLE service, DWORD access, Handle& h) {
  if (!Lookup(service, h) || h.manager) return ERROR_INVALID_HANDLE;
  return (h.access & access) ? 0 : ERROR_ACCESS_DENIED;
}

// The service's key opened for a change, unless the service is gone or marked for deletion:
// 0, else the error.
DWORD OpenLiveServiceKey(const std::string& name, RegKey& key) {
  if (!OpenServiceKey(name, KEY_ALL_ACCESS, key)) return ERROR_SERVICE_DOES_NOT_EXIST;
  return ReadDword(key.h, "DeleteFlag").value_or(0) ? ERROR_SERVICE_MARKED_FOR_DELETE : 0;
}
}  // namespace

BOOL StartService(SC_HANDLE service, DWORD, const char**) {
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    Handle h;
    if (DWORD err = ServiceHandle(service, SERVICE_START, h)) return Fail(err);
    if (DWORD err = StartByName(h.name, 0)) return Fail(err);
    SetLastError(0);
    return TRUE;
  });
}

BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    Handle h;
    if (!Lookup(service, h) || h.manager) return Fail(ERROR_INVALID_HANDLE);
    if (!status) return Fail(ERROR_INVALID_PARAMETER);
    DWORD needed = control == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                   : control == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                   : (control == SERVICE_CONTROL_PAUSE || control == SERVICE_CONTROL_CONTINUE)
                       ? SERVICE_PAUSE_CONTINUE
                   : (control >= 128 && control <= 255) ? SERVICE_USER_DEFINED_CONTROL
                                                        : 0;
    if (!needed) return Fail(ERROR_INVALID_PARAMETER);
    if (!(h.access & needed)) return Fail(ERROR_ACCESS_DENIED);
    RunState s = CurrentState(h.name);
    FillStatus(h.name, s, status);
    if (s.state == SERVICE_STOPPED) return Fail(ERROR_SERVICE_NOT_ACTIVE);
    if (control == SERVICE_CONTROL_INTERROGATE) {
      SetLastError(0);
      return TRUE;
    }
    if (s.state != SERVICE_RUNNING) return Fail(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    if (control != SERVICE_CONTROL_STOP) return Fail(ERROR_INVALID_SERVICE_CONTROL);
    for (auto& other : ServiceNames()) {
      if (SameText(other, h.name)) continue;
      RegKey key;
      if (!OpenServiceKey(other, KEY_QUERY_VALUE, key)) continue;
      auto deps = ReadMulti(key.h, "DependOnService");
      bool depends =
          std::any_of(deps.begin(), deps.end(), [&](auto& d) { return SameText(d, h.name); });
      if (depends && CurrentState(other).state != SERVICE_STOPPED)
        return Fail(ERROR_DEPENDENT_SERVICES_RUNNING);
    }
    s.state = TestsOf(h.name).stopHangs ? SERVICE_STOP_PENDING : SERVICE_STOPPED;
    s.exitCode = 0;
    SaveState(h.name, s);
    Machine::Current().Journal(
        "service", "stop " + h.name + (s.state == SERVICE_STOP_PENDING ? " (hangs)" : ""));
    FillStatus(h.name, s, status);
    SweepDeletion(h.name);
    SetLastError(0);
    return TRUE;
  });
}

BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status) {
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    Handle h;
    if (!Lookup(service, h) || h.manager) return Fail(ERROR_INVALID_HANDLE);
    if (!status) return Fail(ERROR_INVALID_PARAMETER);
    if (!(h.access & SERVICE_QUERY_STATUS)) return Fail(ERROR_ACCESS_DENIED);
    FillStatus(h.name, CurrentState(h.name), status);
    SetLastError(0);
    return TRUE;
  });
}

BOOL DeleteService(SC_HANDLE service) {
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    Handle h;
    if (DWORD err = ServiceHandle(service, DELETE, h)) return Fail(err);
    RegKey key;
    if (DWORD err = OpenLiveServiceKey(h.name, key)) return Fail(err);
    WriteDword(key.h, "DeleteFlag", 1);
    Machine::Current().Journal("service", "delete " + h.name + " (marked)");
    SetLastError(0);
    return TRUE;
  });
}

BOOL CloseServiceHandle(SC_HANDLE handle) {
  Handle h;
  {
    std::lock_guard lock(g_mutex);
    auto it = g_handles.find(handle);
    if (it == g_handles.end()) return Fail(ERROR_INVALID_HANDLE);
    h = it->second;
    g_handles.erase(it);
  }
  if (h.manager) return TRUE;
  try {
    auto st = Db().Prepare("DELETE FROM service_handles WHERE id = ?");
    st.Bind(1, h.row);
    st.Step();
    SystemRights rights;
    SweepDeletion(h.name);
  } catch (const std::exception&) {
    // The handle is closed; a deletion left pending is carried out by a later sweep.
  }
  return TRUE;
}

BOOL ChangeServiceConfig(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                         const char* binaryPath, const char* loadOrderGroup, DWORD* tagId,
                         const char* dependencies, const char* startName, const char*,
                         const char* displayName) {
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    Handle h;
    if (DWORD err = ServiceHandle(service, SERVICE_CHANGE_CONFIG, h)) return Fail(err);
    RegKey key;
    if (DWORD err = OpenLiveServiceKey(h.name, key)) return Fail(err);
    // The settings after the change must be those a creation would accept.
    auto keep = [&](DWORD given, const char* value, DWORD current) {
      return given == SERVICE_NO_CHANGE ? ReadDword(key.h, value).value_or(current) : given;
    };
    DWORD type = keep(serviceType, "Type", SERVICE_WIN32_OWN_PROCESS);
    DWORD start = keep(startType, "Start", SERVICE_DEMAND_START);
    DWORD errors = keep(errorControl, "ErrorControl", SERVICE_ERROR_NORMAL);
    std::string account = startName && *startName ? startName : ReadString(key.h, "ObjectName");
    if (account.empty()) account = "LocalSystem";
    std::string group = loadOrderGroup ? loadOrderGroup : ReadString(key.h, "Group");
    if (!SettingsValid(type, start, errors, account, tagId && group.empty()))
      return Fail(ERROR_INVALID_PARAMETER);
    if (binaryPath && !*binaryPath) return Fail(ERROR_INVALID_PARAMETER);
    bool newDisplay = displayName && *displayName;
    if (newDisplay && std::strlen(displayName) > 256) return Fail(ERROR_INVALID_PARAMETER);
    if (newDisplay && DisplayNameTaken(h.name, displayName, h.name))
      return Fail(ERROR_DUPLICATE_SERVICE_NAME);

    WriteDword(key.h, "Type", type);
    WriteDword(key.h, "Start", start);
    WriteDword(key.h, "ErrorControl", errors);
    if (binaryPath) WriteString(key.h, "ImagePath", binaryPath, REG_EXPAND_SZ);
    if (newDisplay) WriteString(key.h, "DisplayName", displayName);
    WriteString(key.h, "ObjectName", account);
    if (loadOrderGroup) {
      if (*loadOrderGroup)
        WriteString(key.h, "Group", loadOrderGroup);
      else
        RegDeleteValue(key.h, "Group");
    }
    if (dependencies) WriteDependencies(key.h, dependencies);
    if (tagId) *tagId = 0;
    Machine::Current().Journal("service",
                               "change " + h.name +
                                   (newDisplay ? " \"" + std::string(displayName) + "\"" : "") +
                                   (binaryPath ? ": " + std::string(binaryPath) : ""));
    SetLastError(0);
    return TRUE;
  });
}

BOOL ChangeServiceConfig2(SC_HANDLE service, DWORD infoLevel, void* info) {
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    auto os = Machine::Current().Settings().os;
    if (os == OsVersion::NT351 || os == OsVersion::NT4) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    Handle h;
    if (DWORD err = ServiceHandle(service, SERVICE_CHANGE_CONFIG, h)) return Fail(err);
    if (infoLevel != SERVICE_CONFIG_DESCRIPTION || !info) return Fail(ERROR_INVALID_PARAMETER);
    RegKey key;
    if (DWORD err = OpenLiveServiceKey(h.name, key)) return Fail(err);
    const char* text = static_cast<SERVICE_DESCRIPTION*>(info)->lpDescription;
    if (text) {
      if (*text)
        WriteString(key.h, "Description", text);
      else
        RegDeleteValue(key.h, "Description");
    }
    SetLastError(0);
    return TRUE;
  });
}

void SetServiceTestSettings(const std::string& name, const ServiceTestSettings& t) {
  auto st = Db().Prepare(
      "INSERT OR REPLACE INTO service_tests(name, fails, delay_ms, stop_hangs) VALUES(?,?,?,?)");
  st.Bind(1, Key(name)).Bind(2, std::int64_t(t.failsToStart)).Bind(3, std::int64_t(t.startDelayMs));
  st.Bind(4, std::int64_t(t.stopHangs));
  st.Step();
}

ServiceTestSettings GetServiceTestSettings(const std::string& name) { return TestsOf(name); }

std::vector<ServiceInfo> ListServices() {
  std::vector<ServiceInfo> out;
  // The starts that have ended are recorded first, each in a write of its own; then the
  // services are read as one state.
  if (Db().MayWrite()) {
    std::vector<std::string> ended;
    {
      auto st = Db().Prepare("SELECT name FROM service_state WHERE state = ? AND until <= ?");
      st.Bind(1, std::int64_t(SERVICE_START_PENDING)).Bind(2, std::int64_t(clock::Now()));
      while (st.Step()) ended.push_back(st.ColumnText(0));
    }
    for (auto& folded : ended)
      if (std::string name = StoredName(folded); !name.empty()) CurrentState(name);
  }
  SqliteReadTransaction read(Db());
  for (auto& name : ServiceNames()) {
    RegKey key;
    if (!OpenServiceKey(name, KEY_QUERY_VALUE, key)) continue;
    ServiceInfo i;
    i.name = name;
    i.displayName = ReadString(key.h, "DisplayName");
    i.commandLine = ReadString(key.h, "ImagePath");
    i.description = ReadString(key.h, "Description");
    i.account = ReadString(key.h, "ObjectName");
    i.dependencies = ReadMulti(key.h, "DependOnService");
    i.serviceType = ReadDword(key.h, "Type").value_or(0);
    i.startType = ReadDword(key.h, "Start").value_or(SERVICE_DEMAND_START);
    i.errorControl = ReadDword(key.h, "ErrorControl").value_or(SERVICE_ERROR_NORMAL);
    i.markedForDeletion = ReadDword(key.h, "DeleteFlag").value_or(0) != 0;
    i.state = CurrentState(name).state;
    i.test = TestsOf(name);
    out.push_back(std::move(i));
  }
  std::sort(out.begin(), out.end(),
            [](auto& a, auto& b) { return FoldCase(a.name) < FoldCase(b.name); });
  return out;
}

std::string ServiceStateName(DWORD state) {
  switch (state) {
    case SERVICE_STOPPED:
      return "STOPPED";
    case SERVICE_START_PENDING:
      return "START_PENDING";
    case SERVICE_STOP_PENDING:
      return "STOP_PENDING";
    case SERVICE_RUNNING:
      return "RUNNING";
    default:
      return std::to_string(state);
  }
}

std::string ServiceStartTypeName(DWORD startType) {
  switch (startType) {
    case SERVICE_BOOT_START:
      return "BOOT";
    case SERVICE_SYSTEM_START:
      return "SYSTEM";
    case SERVICE_AUTO_START:
      return "AUTO";
    case SERVICE_DEMAND_START:
      return "DEMAND";
    case SERVICE_DISABLED:
      return "DISABLED";
    default:
      return std::to_string(startType);
  }
}

void BootServices() {
  if (!Machine::Current().IsNT()) return;
  Db().Exec("DELETE FROM service_handles; DELETE FROM service_state;");
  NotStopped().Dropped(Db());
  SweepAll();
  for (auto& name : ServiceNames()) {
    RegKey key;
    if (!OpenServiceKey(name, KEY_QUERY_VALUE, key)) continue;
    if (ReadDword(key.h, "Start").value_or(SERVICE_DEMAND_START) != SERVICE_AUTO_START) continue;
    if (!ReadDword(key.h, "Type").has_value()) continue;
    if (CurrentState(name).state != SERVICE_STOPPED) continue;  // started as a dependency
    StartByName(name, 0);
  }
}

}  // namespace win
