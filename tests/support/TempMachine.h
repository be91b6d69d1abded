#pragma once
// A throw-away machine for one test: a fresh folder made current for this process, with
// simulated time; removed at the end of the test.
#include <filesystem>
#include <random>
#include <string>

#include "platform/system/Clock.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"

// The settings of a machine running `os`, its user an administrator or not.
inline win::MachineSettings OsSettings(win::OsVersion os, bool admin = true) {
  win::MachineSettings s;
  s.os = os;
  s.admin = admin;
  return s;
}

class TempMachine {
 public:
  using Creator = void (*)(const std::filesystem::path&, const win::MachineSettings&);

  // A bare machine by default; win::CreateMachine gives a PC as Windows leaves it after
  // its setup.
  explicit TempMachine(win::MachineSettings settings = {},
                       Creator create = &win::Machine::CreateBare,
                       const std::string& prefix = "wi-test-") {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           (prefix + std::to_string(rd()) + "-" + std::to_string(rd()));
    settings.simulatedTime = true;
    create(dir_, settings);
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
  std::filesystem::path d() const { return dir_ / "drives" / "d"; }

 private:
  std::filesystem::path dir_;
  win::Machine* machine_;
};
