// The real Install program, run on a machine folder through the machine command, with a
// UI script in place of the user.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "WizardTestSupport.h"
#include "platform/system/Shutdown.h"

extern char** environ;

namespace wzt {
namespace {

namespace fs = std::filesystem;

const std::string kMachineTool = WI_BINARY_DIR "/tools/machine/machine";
const std::string kMediaTool = WI_BINARY_DIR "/tools/media/media";
const std::string kInstall = WI_BINARY_DIR "/wizard/Install";

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Outcome {
  int code = -1;
  std::string err;
};

class ProgramTest : public ::testing::Test {
 protected:
  void MakePc(const std::string& os, bool simulated) {
    std::random_device rd;
    dir_ = fs::temp_directory_path() /
           ("wi-install-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    ASSERT_EQ(Shell(kMachineTool + " new " + Quote(dir_) + " --os " + os +
                    (simulated ? " --simulated-time" : ""))
                  .code,
              0);
    fs::create_directories(dir_ / "drives" / "d");
    ASSERT_EQ(Shell(kMediaTool + " " + Quote(dir_ / "drives" / "d") + " --install" +
                    (next_.empty() ? "" : " --next " + Quote(next_)))
                  .code,
              0);
    fs::copy_file(kInstall, dir_ / "drives" / "d" / "Install.exe");
    fs::permissions(dir_ / "drives" / "d" / "Install.exe", fs::perms::owner_all,
                    fs::perm_options::add);
  }
  ~ProgramTest() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path Script(const std::string& name, const std::string& text) {
    fs::path p = dir_.parent_path() / (dir_.filename().string() + "-" + name + ".txt");
    std::ofstream(p) << text;
    scripts_.push_back(p);
    return p;
  }
  void TearDown() override {
    std::error_code ec;
    for (auto& p : scripts_) fs::remove_all(p, ec);
  }
  Outcome Shell(const std::string& cmd) {
    fs::path err = fs::temp_directory_path() / ("wi-install-err-" + std::to_string(::getpid()));
    int status = std::system((cmd + " 2>" + Quote(err)).c_str());
    Outcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(err);
    std::stringstream ss;
    ss << in.rdbuf();
    o.err = ss.str();
    fs::remove(err);
    return o;
  }
  // `machine run` of the wizard, with a script or none.
  // `vars` ("NAME=value ...") are set for the run.
  Outcome Run(const std::string& args, const fs::path& script = {}, const std::string& vars = {}) {
    std::string env =
        vars + (script.empty() ? "env -u WI_UI_SCRIPT " : "WI_UI_SCRIPT=" + Quote(script) + " ");
    return Shell(env + kMachineTool + " run " + Quote(dir_) + " 'D:\\Install.exe'" +
                 (args.empty() ? "" : " " + args));
  }
  // Opens the machine in this process to look at what the program left.
  win::Machine& Look() { return win::Machine::Use(dir_); }

  fs::path dir_;
  std::string next_;
  std::vector<fs::path> scripts_;
};

const char* const kCancelYes =
    "dialog * | Voulez-vous annuler l'installation? | Oui\n"
    "click ActionAnnuler\n";

TEST_F(ProgramTest, SecondCopyEndsSilentlyWhileTheFirstRunsAndStartsAfterIt) {
  MakePc("xp", false);  // real time: the first copy really waits
  auto first = Script("first", std::string("wait 500\n") + kCancelYes);
  fs::path shown = dir_.string() + "-shown";  // the first copy's snapshots
  scripts_.push_back(shown);
  std::string cmd = "WI_SNAPSHOT_DIR=" + Quote(shown) + " WI_UI_SCRIPT=" + Quote(first) + " " +
                    kMachineTool + " run " + Quote(dir_) + " 'D:\\Install.exe'";
  pid_t pid = 0;
  const char* argv[] = {"/bin/sh", "-c", cmd.c_str(), nullptr};
  ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  // The first copy shows its window once it holds the marker.
  int status = 0;
  while (!fs::exists(shown) || fs::is_empty(shown)) {
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the first copy ended before showing";
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  // No script: a copy that showed anything would fail waiting for a user.
  const std::string idle = "WI_IDLE_LIMIT_MS=0 ";
  Outcome second = Run("", {}, idle);
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(second.err, "");
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the first copy ended before the second";

  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // Now the wizard starts: it shows its window and waits for the user.
  Outcome third = Run("", {}, idle);
  EXPECT_EQ(third.code, 3);
  EXPECT_NE(third.err.find("waits for a user"), std::string::npos) << third.err;
}

TEST_F(ProgramTest, ServerRunPrintedAndQuit) {
  MakePc("xp", true);
  auto script = Script("run",
                       "wait 20\n"
                       "click ActionNext\n"
                       "check rbServeur\n"
                       "click ActionNext\n"
                       "printer ok\n"
                       "click SpeedButtonPrint\n"
                       "click ActionNext\n");
  Outcome o = Run("", script);
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_TRUE(fs::exists(dir_ / "printed" / "Update report.pdf"));
  auto& m = Look();
  EXPECT_TRUE(
      fs::exists(m.HostPath("C:\\Program Files\\Firebird\\Firebird_1_5\\bin\\fbserver.exe")));
}

TEST_F(ProgramTest, RestartYesReopensOnTheEndStepAtBootAndHandsOver) {
  next_ = "Suite\\Setup.exe";
  MakePc("nt4", true);
  {
    auto& m = Look();
    fs::create_directories(m.HostPath("D:\\Files\\Suite"));
    std::ofstream(m.HostPath("D:\\Files\\Suite\\Setup.exe"), std::ios::binary)
        << "MZ next installer";
    std::ofstream(m.HostPath("C:\\WINNT\\system32\\GDS32.DLL"), std::ios::binary) << "client";
  }
  ASSERT_EQ(
      Shell(kMachineTool + " lock " + Quote(dir_) + " 'C:\\WINNT\\system32\\msvcrt.dll'").code, 0);
  auto first = Script("first",
                      "dialog * | Des fichiers actuellement utilisés | Oui\n"
                      "wait 20\n"
                      "click ActionNext\n"
                      "check rbClient\n"
                      "click ActionNext\n"
                      "click ActionNext\n");
  Outcome o = Run("", first);
  ASSERT_EQ(o.code, 0) << o.err;
  {
    Look();
    EXPECT_EQ(RegString(win::HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceName),
              "\"D:\\Install.exe\" R");
    ASSERT_TRUE(win::PendingRestart().has_value());
    for (auto& p : win::StartedPrograms())
      EXPECT_FALSE(win::SameText(p.path, "D:\\Files\\Suite\\Setup.exe"));
  }

  // At boot Windows runs the wizard with "R": it opens on its end step, runs at once, and
  // Next hands over to the next installer.
  auto second = Script("second", "wait 20\nclick ActionNext\n");
  Outcome boot =
      Shell("WI_UI_SCRIPT=" + Quote(second) + " " + kMachineTool + " boot " + Quote(dir_));
  ASSERT_EQ(boot.code, 0) << boot.err;
  Look();
  bool found = true;
  RegString(win::HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceName, &found);
  EXPECT_FALSE(found);
  // Windows does not wait for what RunOnce starts: give the wizard time to finish.
  bool handedOver = false;
  for (int i = 0; i < 100 && !handedOver; ++i) {
    for (auto& p : win::StartedPrograms())
      if (win::SameText(p.path, "D:\\Files\\Suite\\Setup.exe") && p.parameters == "A")
        handedOver = true;
    if (!handedOver) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(handedOver);
}

}  // namespace
}  // namespace wzt
