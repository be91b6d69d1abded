#pragma once
// A throw-away PC with a Program Files folder and services files, sample media on its
// drive D:, one engine, and dialog expectations; shared by the tests of both builds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>

#include "dbsetup/dmFirebirdInstallUnit.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Registry.h"
#include "platform/system/Services.h"
#include "tests/support/ScriptedMachineTest.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"
#include "tools/media/SampleMedia.h"

namespace dbt {

inline const std::string kSource = "D:\\Files\\";
inline const std::string kTarget = "C:\\Program Files\\Firebird\\Firebird_1_5\\";
inline const std::string kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

using testfiles::Exists;
using testfiles::Host;
using testfiles::Put;
using testfiles::Read;

inline std::string SysDir() {
  std::string d;
  GetSystemDir(d);
  return d;
}

inline std::string WinDir() {
  std::string d;
  GetWindowsDir(d);
  return d;
}

// The SharedDLLs count of a file, or -1 without a value.
inline long SharedCount(const std::string& file) {
  win::HKEY key = nullptr;
  if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kSharedDlls, 0, win::KEY_READ, &key) != 0)
    return -1;
  win::DWORD value = 0, size = sizeof value, type = 0;
  long r = win::RegQueryValueEx(key, file, nullptr, &type, reinterpret_cast<win::BYTE*>(&value),
                                &size) == 0
               ? long(value)
               : -1;
  win::RegCloseKey(key);
  return r;
}

inline std::string RegString(win::HKEY root, const std::string& key, const std::string& name) {
  std::string v;
  ReadRegString(root, key, name, v);
  return v;
}

inline bool RegValueExists(win::HKEY root, const std::string& key, const std::string& name) {
  win::HKEY k = nullptr;
  if (win::RegOpenKeyEx(root, key, 0, win::KEY_READ, &k) != 0) return false;
  win::DWORD size = 0;
  bool r = win::RegQueryValueEx(k, name, nullptr, nullptr, nullptr, &size) == 0;
  win::RegCloseKey(k);
  return r;
}

inline bool RegKeyExists(win::HKEY root, const std::string& key) {
  win::HKEY k = nullptr;
  if (win::RegOpenKeyEx(root, key, 0, win::KEY_READ, &k) != 0) return false;
  win::RegCloseKey(k);
  return true;
}

inline std::int32_t RegInt(const std::string& key, const std::string& name) {
  bool exists = false;
  std::int32_t v = 0;
  ReadRegInteger(win::HKEY_LOCAL_MACHINE, key, name, exists, v);
  return exists ? v : -1;
}

// Every file below a host folder with its content, for comparing whole trees.
inline std::map<std::string, std::string> Tree(const std::filesystem::path& root) {
  std::map<std::string, std::string> out;
  for (auto& e : std::filesystem::recursive_directory_iterator(root)) {
    std::string rel = std::filesystem::relative(e.path(), root).generic_string();
    if (e.is_directory()) {
      out[rel + "/"] = "";
    } else {
      out[rel] = testfiles::ReadFile(e.path());
    }
  }
  return out;
}

// A PC as Windows leaves it after its setup (system libraries, services file, registry
// basics), with simulated time; removed at the end of the test.
class SetupPc : public TempMachine {
 public:
  explicit SetupPc(win::MachineSettings settings)
      : TempMachine(std::move(settings), &win::CreateMachine, "wi-dbsetup-") {}
};

class EngineTest : public ScriptedMachineTest<SetupPc> {
 protected:
  explicit EngineTest(win::MachineSettings settings = {})
      : ScriptedMachineTest(std::move(settings)) {
    servicesText_ = Read(ServicesFile());
    engine_ = std::make_unique<TdmFirebirdInstall>(nullptr);
  }
  // Sample media on D: (D:\Files\ and D:\Files\Base\...).
  void MakeMedia(const media::MediaOptions& options = {}) {
    media::CreateSampleMedia(machine_.dir() / "drives" / "d", options);
  }
  std::string ServicesFile() { return win::ServicesFilePath(machine_.machine().Settings()); }
  // The services file as the new PC had it, plus the Firebird line.
  std::string ServicesWithFirebird() const { return servicesText_ + kServicesLine + "\r\n"; }

 public:
  bool InstallServer() {
    bool reboot = false;
    engine_->InstallServer(kSource, kTarget, kDefaultInstance, reboot);
    return reboot;
  }
  bool InstallClient() {
    bool reboot = false;
    engine_->InstallClient(kSource, kTarget, kDefaultInstance, reboot);
    return reboot;
  }

 protected:
  // The number of dialogs shown so far.
  size_t DialogCount() const { return UiScript::Dialogs().size(); }

  std::string servicesText_;
  std::unique_ptr<TdmFirebirdInstall> engine_;
};

}  // namespace dbt
