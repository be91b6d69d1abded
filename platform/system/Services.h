#pragma once
// The service control manager (NT only; Windows 95/98/Me gives 120 from every call).
//
// Services are kept where Windows keeps them, under HKLM
// "SYSTEM\CurrentControlSet\Services\<name>" (Type, Start, ErrorControl, ImagePath,
// DisplayName, ObjectName, Group, DependOnService, Description, DeleteFlag). Nothing is
// executed: the run state lives in the machine's state.db with the Windows status values,
// shaped by per-service test settings (fails to start, start delay, stop hangs). While a
// service is not stopped, the executable of its ImagePath is in use (deleting it gives 5).
//
// Handles are raw, as Windows has them: every handle from OpenSCManager, CreateService and
// OpenService is closed with CloseServiceHandle. Open service handles are recorded with
// their process, so a service marked for deletion goes when the last handle of any living
// process closes (and the service is stopped).
#include <string>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;

inline constexpr DWORD DELETE = 0x00010000;
inline constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
inline constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
inline constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
inline constexpr DWORD SC_MANAGER_LOCK = 0x0008;
inline constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
inline constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
inline constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;

inline constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
inline constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
inline constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
inline constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
inline constexpr DWORD SERVICE_START = 0x0010;
inline constexpr DWORD SERVICE_STOP = 0x0020;
inline constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
inline constexpr DWORD SERVICE_INTERROGATE = 0x0080;
inline constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
inline constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;

inline constexpr DWORD SERVICE_KERNEL_DRIVER = 0x01;
inline constexpr DWORD SERVICE_FILE_SYSTEM_DRIVER = 0x02;
inline constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x10;
inline constexpr DWORD SERVICE_WIN32_SHARE_PROCESS = 0x20;
inline constexpr DWORD SERVICE_INTERACTIVE_PROCESS = 0x100;

inline constexpr DWORD SERVICE_BOOT_START = 0;
inline constexpr DWORD SERVICE_SYSTEM_START = 1;
inline constexpr DWORD SERVICE_AUTO_START = 2;
inline constexpr DWORD SERVICE_DEMAND_START = 3;
inline constexpr DWORD SERVICE_DISABLED = 4;

inline constexpr DWORD SERVICE_ERROR_IGNORE = 0;
inline constexpr DWORD SERVICE_ERROR_NORMAL = 1;
inline constexpr DWORD SERVICE_ERROR_SEVERE = 2;
inline constexpr DWORD SERVICE_ERROR_CRITICAL = 3;

inline constexpr DWORD SERVICE_CONTROL_STOP = 1;
inline constexpr DWORD SERVICE_CONTROL_PAUSE = 2;
inline constexpr DWORD SERVICE_CONTROL_CONTINUE = 3;
inline constexpr DWORD SERVICE_CONTROL_INTERROGATE = 4;

inline constexpr DWORD SERVICE_STOPPED = 1;
inline constexpr DWORD SERVICE_START_PENDING = 2;
inline constexpr DWORD SERVICE_STOP_PENDING = 3;
inline constexpr DWORD SERVICE_RUNNING = 4;

inline constexpr DWORD SERVICE_ACCEPT_STOP = 0x1;

inline constexpr DWORD SERVICE_CONFIG_DESCRIPTION = 1;
inline constexpr DWORD SERVICE_NO_CHANGE = 0xFFFFFFFF;

inline constexpr DWORD ERROR_DEPENDENT_SERVICES_RUNNING = 1051;
inline constexpr DWORD ERROR_DATABASE_DOES_NOT_EXIST = 1065;
inline constexpr DWORD ERROR_PROCESS_ABORTED = 1067;
inline constexpr DWORD ERROR_SERVICE_DEPENDENCY_FAIL = 1068;
inline constexpr DWORD ERROR_SERVICE_DEPENDENCY_DELETED = 1075;
inline constexpr DWORD ERROR_SERVICE_NEVER_STARTED = 1077;

struct SERVICE_STATUS {
  DWORD dwServiceType = 0;
  DWORD dwCurrentState = 0;
  DWORD dwControlsAccepted = 0;
  DWORD dwWin32ExitCode = 0;
  DWORD dwServiceSpecificExitCode = 0;
  DWORD dwCheckPoint = 0;
  DWORD dwWaitHint = 0;
};

struct SERVICE_DESCRIPTION {
  char* lpDescription;
};

// machineName null or empty (or this host's name); databaseName null or "ServicesActive".
// A user who is not an administrator gets 5 for any right beyond connecting, enumerating
// and querying the lock status.
SC_HANDLE OpenSCManager(const char* machineName, const char* databaseName, DWORD access);
// Errors: 1073 the name exists, 1072 it is marked for deletion, 1078 the display name is
// taken (by a name or a display name), 123 a name that is empty, longer than 256 or holds
// a slash or backslash, 87 other bad parameters. dependencies: names separated by NULs,
// ending with two NULs (or null). startName null: LocalSystem.
SC_HANDLE CreateService(SC_HANDLE manager, const std::string& name, const std::string& displayName,
                        DWORD access, DWORD serviceType, DWORD startType, DWORD errorControl,
                        const std::string& binaryPath, const char* loadOrderGroup, DWORD* tagId,
                        const char* dependencies, const char* startName, const char* password);
// 1060 when there is no such service (a service marked for deletion still opens).
SC_HANDLE OpenService(SC_HANDLE manager, const std::string& name, DWORD access);
// 1056 when not stopped, 1058 disabled, 1072 marked for deletion. A service that fails to
// start is started all the same and then reports STOPPED.
BOOL StartService(SC_HANDLE service, DWORD argc, const char** argv);
// SERVICE_CONTROL_STOP and SERVICE_CONTROL_INTERROGATE: 1062 when the service is stopped,
// 1061 while it is starting or stopping, 1051 when running services depend on it.
BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);
BOOL QueryServiceStatus(SC_HANDLE service, SERVICE_STATUS* status);
// Marks the service; it goes when the last handle on it closes. 1072 when already marked.
BOOL DeleteService(SC_HANDLE service);
BOOL CloseServiceHandle(SC_HANDLE handle);
// Changes the settings given; SERVICE_NO_CHANGE or null keeps a setting, an empty
// dependency list (two NULs) removes the dependencies. The same checks as CreateService,
// and 1072 when the service is marked for deletion. The new settings apply at its next start.
BOOL ChangeServiceConfig(SC_HANDLE service, DWORD serviceType, DWORD startType, DWORD errorControl,
                         const char* binaryPath, const char* loadOrderGroup, DWORD* tagId,
                         const char* dependencies, const char* startName, const char* password,
                         const char* displayName);
// SERVICE_CONFIG_DESCRIPTION only (Windows 2000 and later; 120 on NT 4). A null
// description changes nothing, an empty one removes it.
BOOL ChangeServiceConfig2(SC_HANDLE service, DWORD infoLevel, void* info);
using PFN_ChangeServiceConfig2A = BOOL (*)(SC_HANDLE, DWORD, void*);

// ---- the machine's side ------------------------------------------------------------------

// How a simulated service behaves; kept in state.db, set before or after creating it.
struct ServiceTestSettings {
  bool failsToStart = false;  // reaches STOPPED instead of RUNNING
  DWORD startDelayMs = 0;     // START_PENDING until that much clock time has passed
  bool stopHangs = false;     // a stop leaves it STOP_PENDING until the next boot
  friend bool operator==(const ServiceTestSettings&, const ServiceTestSettings&) = default;
};
void SetServiceTestSettings(const std::string& name, const ServiceTestSettings& settings);
ServiceTestSettings GetServiceTestSettings(const std::string& name);

struct ServiceInfo {
  std::string name;
  std::string displayName;
  std::string commandLine;  // ImagePath
  std::string description;
  std::string account;  // ObjectName
  std::vector<std::string> dependencies;
  DWORD serviceType = 0;
  DWORD startType = 0;
  DWORD errorControl = 0;
  DWORD state = SERVICE_STOPPED;
  bool markedForDeletion = false;
  ServiceTestSettings test;
};
// Every service of the machine, by name (works on any platform; empty on 9x machines).
std::vector<ServiceInfo> ListServices();
// "STOPPED", "START_PENDING", "STOP_PENDING", "RUNNING".
std::string ServiceStateName(DWORD state);
// "BOOT", "SYSTEM", "AUTO", "DEMAND", "DISABLED".
std::string ServiceStartTypeName(DWORD startType);

// What a restart does to services: every service stops, deletions are carried out, open
// handles are forgotten, then the automatic ones (Start = 2) are started.
void BootServices();

}  // namespace win
