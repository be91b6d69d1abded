#pragma once
// Files with chosen contents, times and versions on a throw-away machine, and dialog
// expectations, for the toolkit tests of both program variants.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/forms/UiScript.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/PeFile.h"
#include "support/TempMachine.h"

namespace tk {

using namespace std::chrono_literals;
using Time = std::filesystem::file_time_type;

inline std::filesystem::path Host(const std::string& winPath) {
  return win::Machine::Current().HostPath(winPath);
}

inline void Put(const std::string& winPath, const std::string& content) {
  auto h = Host(winPath);
  std::filesystem::create_directories(h.parent_path());
  std::ofstream(h, std::ios::binary) << content;
}

// A PE file carrying the version a.b.c.d; `tag` makes contents tell copies apart.
inline void PutVersioned(const std::string& winPath, win::WORD a, win::WORD b, win::WORD c,
                         win::WORD d, const std::string& tag = "") {
  win::PeVersionSpec spec;
  spec.major = a, spec.minor = b, spec.release = c, spec.build = d;
  spec.description = tag;
  auto bytes = win::BuildPeFile(spec);
  Put(winPath, std::string(bytes.begin(), bytes.end()));
}

inline std::string Read(const std::string& winPath) {
  std::ifstream in(Host(winPath), std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline bool Exists(const std::string& winPath) { return std::filesystem::exists(Host(winPath)); }

inline void SetTime(const std::string& winPath, Time t) {
  std::filesystem::last_write_time(Host(winPath), t);
}

inline Time BaseTime() {
  return std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 30);
}

inline win::DWORD Attributes(const std::string& winPath) {
  return win::GetFileAttributes(winPath);
}

// A machine and an empty dialog script for each test; no dialog may be left unanswered.
class ToolkitTest : public ::testing::Test {
 protected:
  explicit ToolkitTest(win::MachineSettings settings = {}) : machine_(settings) {
    UiScript::Reset();
  }
  void TearDown() override {
    auto unused = UiScript::UnusedAnswers();
    EXPECT_TRUE(unused.empty()) << "unused dialog answer: " << unused.front();
  }
  static win::MachineSettings Os(win::OsVersion os) {
    win::MachineSettings s;
    s.os = os;
    return s;
  }
  TempMachine machine_;
};

}  // namespace tk
