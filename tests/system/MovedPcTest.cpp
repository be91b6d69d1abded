// A PC is a folder: moved (mv) or copied (cp -a), it keeps its state (attributes, short
// names, locked files, running services), and the copy never reads, locks or removes a
// file of the original, which stays as it was byte for byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Services.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

// Every file and folder below dir with its bytes.
std::map<std::string, std::string> Everything(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (auto& e : fs::recursive_directory_iterator(dir))
    out[fs::relative(e.path(), dir).string()] =
        e.is_regular_file() ? testfiles::ReadFile(e.path()) : std::string("<folder>");
  return out;
}

std::string ShortPath(const std::string& path) {
  char buf[260];
  DWORD n = GetShortPathName(path, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
}

DWORD ServiceState(const std::string& name) {
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE s = OpenService(scm, name, SERVICE_QUERY_STATUS);
  SERVICE_STATUS st{};
  if (!s || !QueryServiceStatus(s, &st)) st.dwCurrentState = 0;
  if (s) CloseServiceHandle(s);
  CloseServiceHandle(scm);
  return st.dwCurrentState;
}

// What the PC set up below keeps, checked on the current machine.
void ExpectStateKept() {
  EXPECT_EQ(GetFileAttributes("C:\\Data\\Report one.txt"),
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  // Asked the other way round: names given afresh would swap.
  EXPECT_EQ(ShortPath("C:\\Data\\Report one.txt"), "C:\\DATA\\REPORT~2.TXT");
  EXPECT_EQ(ShortPath("C:\\Data\\Report two.txt"), "C:\\DATA\\REPORT~1.TXT");
  EXPECT_EQ(DeleteFile("C:\\Data\\locked.dll"), FALSE);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ServiceState("Keeper"), DWORD(SERVICE_RUNNING));
  EXPECT_EQ(WriteWholeFile("C:\\Svc\\keeper.exe", "MZ new"), false);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
}

class MovedPc : public ::testing::Test {
 protected:
  MovedPc() {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("wi-moved-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
    MachineSettings s;
    s.simulatedTime = true;
    CreateMachine(root_ / "scratch", s);
    CreateMachine(root_ / "a", s);
  }
  ~MovedPc() override {
    Machine::Use(root_ / "scratch");
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // Makes pc current and nothing else: the one opened before is let go (with its mark).
  void Open(const fs::path& pc) {
    Machine::Use(root_ / "scratch");
    Machine::Use(pc);
  }
  fs::path root_;
};

// The state above, and a program killed while it staged a copy: its mark, its staging file
// and the record of it stay in the PC.
void MakeState(const fs::path& pc) {
  Machine& m = Machine::Use(pc);
  testfiles::Put("C:\\Data\\Report one.txt", "1");
  testfiles::Put("C:\\Data\\Report two.txt", "2");
  testfiles::Put("C:\\Data\\locked.dll", "MZ");
  testfiles::Put("C:\\Svc\\keeper.exe", "MZ");
  ASSERT_TRUE(SetFileAttributes("C:\\Data\\Report one.txt", FILE_ATTRIBUTE_READONLY |
                                                                FILE_ATTRIBUTE_HIDDEN |
                                                                FILE_ATTRIBUTE_SYSTEM));
  // Asked in this order, the names get the numbers a listing would give the other way.
  ASSERT_EQ(ShortPath("C:\\Data\\Report two.txt"), "C:\\DATA\\REPORT~1.TXT");
  ASSERT_EQ(ShortPath("C:\\Data\\Report one.txt"), "C:\\DATA\\REPORT~2.TXT");
  m.LockFile(m.HostPath("C:\\Data\\locked.dll"));
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE s = CreateService(scm, "Keeper", "Keeper", SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                              "C:\\Svc\\keeper.exe", nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(s && StartService(s, 0, nullptr));
  CloseServiceHandle(s);
  CloseServiceHandle(scm);
  m.CloseDatabases();

  int staged[2];
  ASSERT_EQ(::pipe(staged), 0);
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    Machine::Use(pc);
    const bool copied = CopyFile("C:\\Data\\Report two.txt", "C:\\Data\\is-0K3Q9.tmp", TRUE);
    if (::write(staged[1], copied ? "y" : "n", 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  EXPECT_EQ(::read(staged[0], &c, 1), 1);
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  ::close(staged[0]);
  ::close(staged[1]);
  ASSERT_EQ(c, 'y');
}

}  // namespace

TEST_F(MovedPc, ACopyKeepsTheStateAndLeavesTheOriginalAsItWas) {
  MakeState(root_ / "a");
  Open(root_ / "scratch");
  const auto original = Everything(root_ / "a");
  ASSERT_TRUE(original.count("drives/c/Data/is-0K3Q9.tmp"));
  ASSERT_EQ(
      std::system(
          ("cp -a '" + (root_ / "a").string() + "' '" + (root_ / "copy").string() + "'").c_str()),
      0);

  Open(root_ / "copy");
  // The killed program's staging copy went from the copy, where the copy found it.
  EXPECT_FALSE(fs::exists(root_ / "copy/drives/c/Data/is-0K3Q9.tmp"));
  ExpectStateKept();
  // The copy's own changes stay in the copy.
  ASSERT_TRUE(SetFileAttributes("C:\\Data\\Report two.txt", FILE_ATTRIBUTE_HIDDEN));
  Machine::Current().UnlockAll();
  EXPECT_TRUE(DeleteFile("C:\\Data\\locked.dll"));
  Open(root_ / "scratch");
  EXPECT_EQ(Everything(root_ / "a"), original);
}

TEST_F(MovedPc, AMovedPcKeepsItsState) {
  MakeState(root_ / "a");
  Open(root_ / "scratch");
  fs::rename(root_ / "a", root_ / "moved");
  Open(root_ / "moved");
  EXPECT_FALSE(fs::exists(root_ / "moved/drives/c/Data/is-0K3Q9.tmp"));
  ExpectStateKept();
}
