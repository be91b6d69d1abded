// Two processes on one PC: one writes (services started and stopped, attributes changed,
// files locked and unlocked) while the other reads the same records. No read may fail
// because the other process wrote, whatever moment the write lands.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Services.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

constexpr const char* kFile = "C:\\Svc\\data.txt";

// Writes until the parent closes its end of stop, telling it once the first round is done;
// then exits with the number of rounds done modulo 256 (at least 1).
[[noreturn]] void WriteUntilStopped(const fs::path& pc, int started, int stop) {
  int rounds = 0;
  try {
    Machine& m = Machine::Use(pc);
    SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE svc = OpenService(scm, "Busy", SERVICE_ALL_ACCESS);
    if (!svc) ::_exit(255);
    const fs::path locked = m.HostPath(kFile);
    for (;;) {
      SERVICE_STATUS st;
      StartService(svc, 0, nullptr);
      SetFileAttributes(kFile, rounds % 2 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL);
      m.LockFile(locked);
      QueryServiceStatus(svc, &st);
      ControlService(svc, SERVICE_CONTROL_STOP, &st);
      m.UnlockAll();
      if (++rounds == 1 && ::write(started, "x", 1) != 1) ::_exit(255);
      struct pollfd p {
        stop, POLLIN, 0
      };
      if (::poll(&p, 1, 0) > 0) break;
    }
  } catch (...) {
    ::_exit(254);
  }
  ::_exit(1 + rounds % 200);
}

}  // namespace

TEST(TwoProcesses, ReadsNeverFailWhileAnotherProcessWrites) {
  std::random_device rd;
  const fs::path pc =
      fs::temp_directory_path() / ("wi-two-" + std::to_string(rd()) + std::to_string(rd()));
  MachineSettings settings;  // real time: a start ends while the other process reads
  CreateMachine(pc, settings);
  {
    Machine& m = Machine::Use(pc);
    fs::create_directories(m.DriveRoot('C') / "Svc");
    std::ofstream(m.DriveRoot('C') / "Svc" / "svc.exe") << "MZ";
    std::ofstream(m.DriveRoot('C') / "Svc" / "data.txt") << "data";
    SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE svc = CreateService(
        scm, "Busy", "Busy", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
        SERVICE_ERROR_NORMAL, "C:\\Svc\\svc.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(svc, nullptr);
    SetServiceTestSettings("Busy", {false, 2, false});
    CloseServiceHandle(svc);
    CloseServiceHandle(scm);
    m.CloseDatabases();  // nothing of this process's connections goes to the child
  }
  int started[2], stop[2];
  ASSERT_EQ(::pipe(started), 0);
  ASSERT_EQ(::pipe(stop), 0);
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    ::close(started[0]);
    ::close(stop[1]);
    WriteUntilStopped(pc, started[1], stop[0]);
  }
  ::close(started[1]);
  ::close(stop[0]);
  char c;
  ASSERT_EQ(::read(started[0], &c, 1), 1);

  Machine& m = Machine::Current();
  const fs::path file = m.HostPath(kFile);
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE svc = OpenService(scm, "Busy", SERVICE_QUERY_STATUS);
  ASSERT_NE(svc, nullptr);
  int failures = 0;
  std::string first;
  for (int i = 0; i < 1000; ++i) {
    SERVICE_STATUS st;
    if (!QueryServiceStatus(svc, &st)) {
      ++failures;
      if (first.empty()) first = "QueryServiceStatus: error " + std::to_string(GetLastError());
    }
    if (GetFileAttributes(kFile) == INVALID_FILE_ATTRIBUTES) {
      ++failures;
      if (first.empty()) first = "GetFileAttributes: error " + std::to_string(GetLastError());
    }
    try {
      m.IsFileInUse(file);
      if (ListServices().size() != 1) ++failures;
    } catch (const std::exception& e) {
      ++failures;
      if (first.empty()) first = e.what();
    }
  }
  ::close(stop[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) >= 1 && WEXITSTATUS(status) <= 200)
      << "the writer failed: " << status;
  EXPECT_EQ(failures, 0) << first;
  CloseServiceHandle(svc);
  CloseServiceHandle(scm);
  ::close(started[0]);
  std::error_code ec;
  fs::remove_all(pc, ec);
}
