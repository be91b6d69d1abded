// `machine services` and `machine run` as a user calls them, on machines a test has
// worked on.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/system/Libraries.h"
#include "platform/system/Machine.h"
#include "platform/system/PeFile.h"
#include "platform/system/Process.h"
#include "platform/system/Services.h"
#include "support/MachineCommand.h"

namespace fs = std::filesystem;

namespace {

using machinecmd::ExpectOneLineError;
using machinecmd::Result;

class MachineCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("wi-cmds-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
    pc_ = (root_ / "pc").string();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  Result Run(const std::vector<std::string>& args) {
    // The command opens the machine's databases itself.
    if (used_) used_->CloseDatabases();
    return machinecmd::Run(root_, args);
  }
  void NewMachine(std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"new", pc_};
    args.insert(args.end(), options.begin(), options.end());
    auto r = Run(args);
    ASSERT_EQ(r.rc, 0) << r.err;
    used_ = &win::Machine::Use(pc_);
  }
  fs::path C(const std::string& rel) { return fs::path(pc_) / "drives/c" / rel; }
  fs::path root_;
  std::string pc_;
  win::Machine* used_ = nullptr;
};

void MakeService(win::SC_HANDLE scm, const std::string& name, const std::string& display,
                 const std::string& path, win::DWORD start, bool run) {
  win::SC_HANDLE s = win::CreateService(
      scm, name, display, win::SERVICE_ALL_ACCESS, win::SERVICE_WIN32_OWN_PROCESS, start,
      win::SERVICE_ERROR_NORMAL, path, nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(s, nullptr) << name;
  if (run) {
    EXPECT_TRUE(win::StartService(s, 0, nullptr));
  }
  win::CloseServiceHandle(s);
}

}  // namespace

TEST_F(MachineCommands, ServicesShowWhatATestRunLeft) {
  NewMachine();
  auto r = Run({"services", pc_});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "no services\n");

  win::SC_HANDLE scm = win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  MakeService(scm, "FirebirdGuardianDefaultInstance", "Firebird Guardian - DefaultInstance",
              "C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbguard.exe -s",
              win::SERVICE_AUTO_START, true);
  MakeService(scm, "FirebirdServerDefaultInstance", "Firebird Server - DefaultInstance",
              "C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe -s",
              win::SERVICE_DEMAND_START, false);
  win::CloseServiceHandle(scm);

  r = Run({"services", pc_});
  ASSERT_EQ(r.rc, 0) << r.err;
  const std::string guardian =
      "FirebirdGuardianDefaultInstance  \"Firebird Guardian - DefaultInstance\"\n"
      "  command line: C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbguard.exe -s\n"
      "  start: AUTO  account: LocalSystem  state: RUNNING\n";
  const std::string server =
      "FirebirdServerDefaultInstance  \"Firebird Server - DefaultInstance\"\n"
      "  command line: C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe -s\n"
      "  start: DEMAND  account: LocalSystem  state: STOPPED\n";
  size_t g = r.out.find(guardian), s = r.out.find(server);
  EXPECT_NE(g, std::string::npos) << r.out;
  EXPECT_NE(s, std::string::npos) << r.out;
  EXPECT_LT(g, s);

  // A restart starts the automatic services only; a slow start shows as pending.
  ASSERT_EQ(Run({"services", pc_, "FirebirdGuardianDefaultInstance", "--start-delay", "2000"}).rc,
            0);
  ASSERT_EQ(Run({"boot", pc_}).rc, 0);
  r = Run({"services", pc_});
  EXPECT_NE(r.out.find("start: AUTO  account: LocalSystem  state: START_PENDING"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("start delay 2000 ms"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(server), std::string::npos) << r.out;
}

TEST_F(MachineCommands, ServiceNamesThatCannotExistAreRefused) {
  NewMachine();
  const std::string before = Run({"services", pc_}).out;
  ExpectOneLineError(Run({"services", pc_, "", "--fails-to-start", "yes"}),
                     "not a valid service name");
  ExpectOneLineError(Run({"services", pc_, std::string(256, 'x'), "--stop-hangs", "yes"}),
                     "not a valid service name");
  ExpectOneLineError(Run({"services", pc_, "a\\b", "--stop-hangs", "yes"}),
                     "not a valid service name");
  EXPECT_EQ(Run({"services", pc_}).out, before);
  EXPECT_TRUE(win::GetServiceTestSettings("").startDelayMs == 0 &&
              !win::GetServiceTestSettings("").failsToStart);

  // A name a service could have, but no service has: nothing would ever use the settings,
  // unless they are meant for a service still to be created.
  ExpectOneLineError(Run({"services", pc_, "NoSuchService", "--fails-to-start", "yes"}),
                     "no service \"NoSuchService\"");
  EXPECT_FALSE(win::GetServiceTestSettings("NoSuchService").failsToStart);
  ExpectOneLineError(
      Run({"services", pc_, "NoSuchService", "--before-creation", "--stop-hangs", "maybe"}),
      "--stop-hangs takes yes or no");
  auto ahead = Run({"services", pc_, "ToCome", "--before-creation", "--fails-to-start", "yes"});
  EXPECT_EQ(ahead.rc, 0) << ahead.err;
  EXPECT_TRUE(win::GetServiceTestSettings("ToCome").failsToStart);

  // The longest name a service can have is accepted once the service exists.
  const std::string longest(255, 'y');
  win::SC_HANDLE scm = win::OpenSCManager(nullptr, nullptr, win::SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  MakeService(scm, longest, "Longest", "C:\\x.exe", win::SERVICE_DEMAND_START, false);
  win::CloseServiceHandle(scm);
  auto r = Run({"services", pc_, longest, "--fails-to-start", "yes"});
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find("test: fails to start yes"), std::string::npos) << r.out;
}

TEST_F(MachineCommands, ServicesOnWindows98) {
  NewMachine({"--os", "98"});
  auto r = Run({"services", pc_});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "no services on Windows 98\n");
  ExpectOneLineError(Run({"services", pc_, "Svc", "--fails-to-start", "yes"}), "has no services");
}

TEST_F(MachineCommands, RunStartsNativeScriptsAndRecordsWindowsPrograms) {
  NewMachine();
  const fs::path seen = root_ / "seen.txt";
  fs::create_directories(C("Tools"));
  std::ofstream(C("Tools/job.sh")) << "#!/bin/sh\n"
                                      "{ printf '%s\\n' \"$WINPC\" \"$WI_WINDOWS_PATH\"; for a in "
                                      "\"$@\"; do printf '[%s]\\n' \"$a\"; done; } > '"
                                   << seen.string() << "'\nexit 3\n";
  fs::permissions(C("Tools/job.sh"), fs::perms::owner_all, fs::perm_options::add);
  auto r = Run({"run", pc_, "C:\\Tools\\job.sh", "A", "two words"});
  EXPECT_EQ(r.rc, 3) << r.err;  // the script's own exit code
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(testfiles::ReadFile(seen), pc_ + "\nC:\\Tools\\job.sh\n[A]\n[two words]\n");

  win::PeVersionSpec spec;
  spec.major = 6, spec.minor = 0, spec.release = 97, spec.build = 82;
  auto pe = win::BuildPeFile(spec);
  fs::create_directories(C("Media"));
  std::ofstream(C("Media/vbrun60.exe"), std::ios::binary)
      .write(reinterpret_cast<const char*>(pe.data()), std::streamsize(pe.size()));
  r = Run({"run", pc_, "c:\\media\\VBRUN60.EXE", "/Q"});
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, "recorded as started: \"c:\\media\\VBRUN60.EXE\" /Q\n");
  auto started = win::StartedPrograms();
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].path, "C:\\Media\\vbrun60.exe");
  EXPECT_EQ(started[0].parameters, "/Q");

  ExpectOneLineError(Run({"run", pc_, "C:\\Media\\absent.exe"}), "file not found");
  ExpectOneLineError(Run({"run", pc_, "C:\\Nowhere\\x.exe"}), "path not found");
  ExpectOneLineError(Run({"run", pc_}), "missing");
  EXPECT_EQ(win::StartedPrograms().size(), 1u);
}
