#pragma once
// Runs the real Tolvane program on a throw-away PC: `machine new`, the sample media as
// drive D:, Tolvane copied beside the media's Files\ folder, a UI script answering its
// dialogs. The PC is inspected afterwards through the platform calls.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/system/Machine.h"
#include "support/MachineCommand.h"

namespace tolvane_test {

namespace fs = std::filesystem;

struct Result {
  int rc = -1;
  std::string out, err;
};

using machinecmd::Quote;
inline std::string Slurp(const fs::path& p) { return testfiles::ReadFile(p); }

// A text as a UI script field: CR, LF, '|' and '\' escaped.
inline std::string Esc(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else if (c == '|')
      out += "\\|";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

class TolvanePc : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ec;
    if (!root_.empty()) fs::remove_all(root_, ec);
  }

  // A new PC (extra `machine new` options) with the media (extra `media` options) as D:
  // and Tolvane on it.
  void MakePc(const std::vector<std::string>& options = {},
              const std::vector<std::string>& mediaOptions = {}) {
    std::random_device rd;
    root_ =
        fs::temp_directory_path() / ("wi-tolvane-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(root_);
    pc_ = root_ / "pc";
    media_ = root_ / "media";
    std::vector<std::string> args = {"new", pc_.string(), "--simulated-time"};
    args.insert(args.end(), options.begin(), options.end());
    Result r = Machine(args);
    ASSERT_EQ(r.rc, 0) << r.err;
    std::string media =
        Quote(WI_BINARY_DIR "/tools/media/media") + " " + Quote(media_.string()) + " --tolvane";
    for (const auto& o : mediaOptions) media += " " + Quote(o);
    r = Run(media);
    ASSERT_EQ(r.rc, 0) << r.err;
    fs::create_directory_symlink(media_, pc_ / "drives" / "d");
    fs::copy_file(WI_BINARY_DIR "/tolvane/Tolvane", media_ / "Tolvane");
  }

  Result Run(const std::string& command) {
    std::string cmd =
        command + " >" + Quote((root_ / "out").string()) + " 2>" + Quote((root_ / "err").string());
    Result r;
    int status = std::system(cmd.c_str());
    r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(root_ / "out");
    r.err = Slurp(root_ / "err");
    return r;
  }

  Result Machine(const std::vector<std::string>& args) {
    std::string cmd = Quote(WI_BINARY_DIR "/tools/machine/machine");
    for (const auto& a : args) cmd += " " + Quote(a);
    return Run(cmd);
  }

  // Runs D:\Tolvane headless with the script; the answers must all be used.
  Result Tolvane(const std::string& script) {
    fs::path file = root_ / "script.txt";
    std::ofstream(file, std::ios::binary) << script;
    std::string cmd = "env -u DISPLAY WI_HEADLESS=1 WINPC=" + Quote(pc_.string()) +
                      " WI_UI_SCRIPT=" + Quote(file.string()) + " " +
                      Quote((media_ / "Tolvane").string());
    return Run(cmd);
  }

  // The PC as this test process sees it (after the programs have run).
  win::Machine& Pc() { return win::Machine::Use(pc_); }
  fs::path C(const std::string& rel) const { return pc_ / "drives" / "c" / rel; }

  // Journal lines written by Tolvane, other than beeps.
  std::vector<std::string> TolvaneChanges() {
    std::vector<std::string> out;
    for (auto& e : Pc().ReadJournal())
      if (e.program == "Tolvane" && e.kind != "beep") out.push_back(e.kind + ": " + e.text);
    return out;
  }

  fs::path root_, pc_, media_;
};

}  // namespace tolvane_test
