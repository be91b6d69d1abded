#pragma once
// The real programs on a throw-away PC, run as a person runs them: under a display of the
// test's own and clicked through X events, or headless with a UI script and snapshots (the
// pictures each screen state must equal).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/forms/graphics/ImageFiles.h"
#include "support/MachineCommand.h"
#include "tests/support/XSession.h"

extern char** environ;

namespace x11_test {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using machinecmd::Quote;
inline std::string Slurp(const fs::path& p) { return testfiles::ReadFile(p); }

// Runs a shell command; its exit code and its output.
inline int Shell(const std::string& command, std::string* out = nullptr) {
  std::string text;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (out) *out = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline xsession::Picture ToPicture(const win::Surface& s) {
  return xsession::Picture{s.width, s.height, s.pixels};
}

// The states a form went through in a headless run: its numbered snapshots, in order.
inline std::vector<xsession::Picture> Story(const fs::path& dir, const std::string& form) {
  std::map<std::string, fs::path> files;
  for (auto& e : fs::directory_iterator(dir)) {
    std::string n = e.path().filename().string();
    if (n.size() > 5 && n[4] == '-' && n.substr(5) == form + ".png") files[n] = e.path();
  }
  std::vector<xsession::Picture> out;
  out.reserve(files.size());
  for (auto& [n, p] : files) out.push_back(ToPicture(win::LoadPng(p)));
  return out;
}

// Pixels of a colour inside a rectangle of a picture.
inline int CountColour(const xsession::Picture& p, int left, int top, int right, int bottom,
                       std::uint32_t colour) {
  int n = 0;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) n += (p.At(x, y) & 0xFFFFFF) == colour;
  return n;
}

class ProgramOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
    std::random_device rd;
    root_ = fs::temp_directory_path() / ("wi-x11-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    if (child_ > 0) kill(child_, SIGKILL), waitpid(child_, nullptr, 0);
    person_.Close();
    server_.reset();
    std::error_code ec;
    if (!root_.empty() && !HasFailure()) fs::remove_all(root_, ec);
  }

  // A PC (`machine new` options) with the sample media as drive D: and both programs on it.
  fs::path MakePc(const std::string& name, const std::string& options = "",
                  const std::string& mediaOptions = "--both") {
    fs::path pc = root_ / name, media = root_ / (name + "-media");
    std::string out;
    EXPECT_EQ(Shell(Machine() + " new " + Quote(pc.string()) + " " + options, &out), 0) << out;
    EXPECT_EQ(Shell(Quote(WI_BINARY_DIR "/tools/media/media") + " " + Quote(media.string()) + " " +
                        mediaOptions,
                    &out),
              0)
        << out;
    fs::create_directory_symlink(media, pc / "drives" / "d");
    fs::copy_file(WI_BINARY_DIR "/wizard/Install", media / "Install.exe");
    fs::copy_file(WI_BINARY_DIR "/tolvane/Tolvane", media / "Tolvane.exe");
    return pc;
  }
  static std::string Machine() { return Quote(WI_BINARY_DIR "/tools/machine/machine"); }
  static fs::path Program(const fs::path& pc, const std::string& exe) {
    return pc / "drives" / "d" / exe;
  }

  // Runs the program headless with a script; its snapshots go to `shots`.
  int RunHeadless(const fs::path& pc, const std::string& exe, const std::string& script,
                  const fs::path& shots, std::string* out = nullptr) {
    fs::path file = root_ / (exe + "-headless.txt");
    std::ofstream(file, std::ios::binary) << script;
    return Shell("env -u DISPLAY WI_HEADLESS=1 WINPC=" + Quote(pc.string()) + " WI_UI_SCRIPT=" +
                     Quote(file.string()) + " WI_SNAPSHOT_DIR=" + Quote(shots.string()) + " " +
                     Quote(Program(pc, exe).string()),
                 out);
  }

  // A display (with a window manager when asked) and the person in front of it.
  void StartDisplay(bool windowManager, int depth = 24) {
    if (windowManager && !xsession::HaveWindowManager()) GTEST_SKIP() << "openbox is not installed";
    server_ = std::make_unique<xsession::XServer>(windowManager, 1024, 768, depth);
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    ASSERT_TRUE(person_.Open(server_->Display()));
  }

  // Starts the program on the display; a non-empty script holds the answers the person
  // cannot give yet.
  void Start(const fs::path& pc, const std::string& exe, const std::string& script = "") {
    std::vector<std::string> env;
    if (!script.empty()) {
      fs::path file = root_ / (exe + "-x11.txt");
      std::ofstream(file, std::ios::binary) << script;
      env.push_back("WI_UI_SCRIPT=" + file.string());
    }
    err_ = root_ / (exe + "-x11-err.txt");
    child_ = xsession::StartProgram(Program(pc, exe).string(), server_->Display(), pc.string(), env,
                                    "", err_.string());
  }

  // The program's exit code, or -1 while it still runs after `seconds`.
  int WaitForExit(int seconds) { return xsession::WaitForExit(child_, seconds); }
  bool Running() {
    int status = 0;
    return child_ > 0 && waitpid(child_, &status, WNOHANG) == 0;
  }

  // Waits until the window shows the client area of a headless snapshot (frame included).
  int Shows(unsigned long window, const xsession::Picture& snapshot, const std::string& name) {
    xsession::Picture shot = person_.Grab(window);
    int border = (snapshot.width - shot.width) / 2;
    int top = snapshot.height - shot.height - border;
    return xsession::WaitForPicture(person_, window, snapshot, border, top, 20,
                                    (root_ / name).string());
  }

  std::string Journal(const fs::path& pc) {
    std::string out;
    Shell(Machine() + " log " + Quote(pc.string()), &out);
    return out;
  }

  fs::path root_, err_;
  std::unique_ptr<xsession::XServer> server_;
  xsession::XClient person_;
  pid_t child_ = -1;
};

}  // namespace x11_test
