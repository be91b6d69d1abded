#pragma once
// A throw-away machine for one test: a fresh folder made current for this process, with
// simulated time; removed at the end of the test.
#include <filesystem>
#include <random>
#include <string>

#include "platform/system/Clock.h"
#include "platform/system/Machine.h"

class TempMachine {
 public:
  explicit TempMachine(win::MachineSettings settings = {}) {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("wi-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    settings.simulatedTime = true;
    win::Machine::CreateBare(dir_, settings);
    machine_ = &win::Machine::Use(dir_);
  }
  ~TempMachine() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  win::Machine& machine() { return *machine_; }
  std::filesystem::path c() const { return dir_ / "drives" / "c"; }

 private:
  std::filesystem::path dir_;
  win::Machine* machine_;
};
