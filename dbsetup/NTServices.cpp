#include "dbsetup/NTServices.h"

#include "platform/system/Clock.h"
#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "platform/system/Libraries.h"
#include "platform/system/Services.h"
#include "platform/system/SystemInfo.h"

namespace {

constexpr win::DWORD kPollMs = 1000;
constexpr int kRetries = 20;  // after the first test: 21 tests in all

win::OSVERSIONINFO OsVersion() {
  win::OSVERSIONINFO vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  win::GetVersionEx(&vi);
  return vi;
}

// Closes a manager or service handle when the operation leaves, failure or not.
class TServiceHandle {
 public:
  explicit TServiceHandle(win::SC_HANDLE h = nullptr) : h_(h) {}
  ~TServiceHandle() {
    if (h_) win::CloseServiceHandle(h_);
  }
  TServiceHandle(const TServiceHandle&) = delete;
  TServiceHandle& operator=(const TServiceHandle&) = delete;
  win::SC_HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset(win::SC_HANDLE h = nullptr) {
    if (h_) win::CloseServiceHandle(h_);
    h_ = h;
  }

 private:
  win::SC_HANDLE h_;
};

win::SC_HANDLE OpenManager() {
  return win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_CREATE_SERVICE);
}

// Sleeps a second, tests, and goes on while `keepWaiting` holds for the answer: at most
// 21 tests. Returns the last answer.
template <class Test>
bool WaitFor(Test test, bool keepWaiting) {
  win::Sleep(kPollMs);
  bool state = test();
  for (int i = 0; i < kRetries && state == keepWaiting; ++i) {
    win::Sleep(kPollMs);
    state = test();
  }
  return state;
}

}  // namespace

void CheckWinNT() {
  if (OsVersion().dwPlatformId != win::VER_PLATFORM_WIN32_NT)
    throw Exception("Platform is not Windows NT");
}

namespace {

win::DWORD ServiceType(bool Interactive) {
  win::DWORD type = win::SERVICE_WIN32_OWN_PROCESS;
  if (Interactive) type |= win::SERVICE_INTERACTIVE_PROCESS;
  return type;
}

// After NT 4.0, through the entry point looked up in advapi32 when it is there.
void SetDescription(win::SC_HANDLE service, const std::string& Description) {
  win::OSVERSIONINFO vi = OsVersion();
  if (vi.dwMajorVersion <= 4 || Description.empty()) return;
  auto change = reinterpret_cast<win::PFN_ChangeServiceConfig2A>(
      win::GetProcAddress(win::GetModuleHandle("advapi32.dll"), "ChangeServiceConfig2A"));
  if (!change) return;
  std::string text = Description;
  win::SERVICE_DESCRIPTION desc{text.data()};
  if (!change(service, win::SERVICE_CONFIG_DESCRIPTION, &desc)) RaiseLastOSError();
}

// dependencies: null for none, else the service manager's list (names, each ended by a
// NUL, and a closing NUL).
void CreateService(const std::string& ImagePath, const std::string& ServiceName,
                   const std::string& DisplayName, const char* dependencies, bool Interactive,
                   const std::string& Description) {
  CheckWinNT();
  TServiceHandle manager(OpenManager());
  if (!manager) RaiseLastOSError();
  TServiceHandle service(win::CreateService(
      manager.get(), ServiceName, DisplayName, win::SERVICE_ALL_ACCESS, ServiceType(Interactive),
      win::SERVICE_AUTO_START, win::SERVICE_ERROR_NORMAL, ImagePath, nullptr, nullptr, dependencies,
      nullptr, nullptr));
  if (!service) RaiseLastOSError();
  SetDescription(service.get(), Description);
}

// Not stopped yet: running, or still stopping. The interrogation of IsNTServiceRunning
// sees only a running service, so a stop that hangs would pass for done after one test;
// the status query answers in every state.
bool IsNTServiceActive(const std::string& ServiceName) {
  TServiceHandle manager(OpenManager());
  if (!manager) return false;
  TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_QUERY_STATUS));
  if (!service) return false;
  win::SERVICE_STATUS status{};
  return win::QueryServiceStatus(service.get(), &status) &&
         status.dwCurrentState != win::SERVICE_STOPPED;
}

}  // namespace

#if WI_PROGRAM_INSTALL
void CreateNTService(const std::string& ImagePath, const std::string& ServiceName,
                     const std::string& DisplayName, const std::string& Dependencies,
                     bool Interactive, const std::string& Description) {
  std::string list = Dependencies;
  list.append(2, '\0');
  CreateService(ImagePath, ServiceName, DisplayName, Dependencies.empty() ? nullptr : list.c_str(),
                Interactive, Description);
}
#else
void CreateNTService(const std::string& ImagePath, const std::string& ServiceName,
                     const std::string& DisplayName, bool Interactive,
                     const std::string& Description) {
  CreateService(ImagePath, ServiceName, DisplayName, nullptr, Interactive, Description);
}

bool DeleteNTService(const std::string& ServiceName) {
  CheckWinNT();
  {
    TServiceHandle manager(OpenManager());
    if (!manager) RaiseLastOSError();
    TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_ALL_ACCESS));
    if (!service) RaiseLastOSError();
    for (int refusals = 0; !win::DeleteService(service.get());) {
      win::DWORD code = win::GetLastError();
      win::Sleep(kPollMs);
      if (++refusals == kRetries) RaiseLastOSError(code);
    }
  }
  return WaitFor([&] { return NTServiceExists(ServiceName); }, true);
}

bool NTServiceExists(const std::string& ServiceName) {
  CheckWinNT();
  TServiceHandle manager(OpenManager());
  if (!manager) return false;
  TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_INTERROGATE));
  return bool(service);
}

#endif

bool ReconfigureNTService(const std::string& ImagePath, const std::string& ServiceName,
                          const std::string& DisplayName, bool Interactive,
                          const std::string& Description) {
  CheckWinNT();
  TServiceHandle manager(OpenManager());
  if (!manager) RaiseLastOSError();
  TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_CHANGE_CONFIG));
  if (!service) {
    win::DWORD code = win::GetLastError();
    if (code == win::ERROR_SERVICE_DOES_NOT_EXIST) return false;
    RaiseLastOSError(code);
  }
  const char noDependencies[2] = {0, 0};
  if (!win::ChangeServiceConfig(service.get(), ServiceType(Interactive), win::SERVICE_AUTO_START,
                                win::SERVICE_ERROR_NORMAL, ImagePath.c_str(), "", nullptr,
                                noDependencies, "LocalSystem", "", DisplayName.c_str()))
    RaiseLastOSError();
  SetDescription(service.get(), Description);
  return true;
}

bool IsNTServiceRunning(const std::string& ServiceName) {
  CheckWinNT();
  TServiceHandle manager(OpenManager());
  if (!manager) return false;
  TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_INTERROGATE));
  if (!service) return false;
  win::SERVICE_STATUS status{};
  return win::ControlService(service.get(), win::SERVICE_CONTROL_INTERROGATE, &status) &&
         status.dwCurrentState == win::SERVICE_RUNNING;
}

bool StartNTService(const std::string& ServiceName) {
  CheckWinNT();
  {
    TServiceHandle manager(OpenManager());
    if (!manager) RaiseLastOSError();
    TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_START));
    if (!service) RaiseLastOSError();
    if (!win::StartService(service.get(), 0, nullptr)) RaiseLastOSError();
  }
  return WaitFor([&] { return IsNTServiceRunning(ServiceName); }, false);
}

bool StopNTService(const std::string& ServiceName) {
  CheckWinNT();
  {
    TServiceHandle manager(OpenManager());
    if (!manager) RaiseLastOSError();
    TServiceHandle service(win::OpenService(manager.get(), ServiceName, win::SERVICE_STOP));
    if (!service) RaiseLastOSError();
    win::SERVICE_STATUS status{};
    if (!win::ControlService(service.get(), win::SERVICE_CONTROL_STOP, &status)) RaiseLastOSError();
  }
  return WaitFor([&] { return IsNTServiceActive(ServiceName); }, true);
}
