#pragma once
// Files with chosen contents, times and versions on a throw-away machine, and dialog
// expectations, for the toolkit tests of both program variants.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/UiScript.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/PeFile.h"
#include "support/MachineRegistry.h"
#include "support/ScriptedMachineTest.h"
#include "support/TempMachine.h"
#include "support/TestFiles.h"

namespace tk {

using namespace std::chrono_literals;
using Time = std::filesystem::file_time_type;

using testfiles::Exists;
using testfiles::Host;
using testfiles::Put;
using testfiles::Read;

// A PE file carrying the version a.b.c.d; `tag` makes contents tell copies apart.
inline void PutVersioned(const std::string& winPath, win::WORD a, win::WORD b, win::WORD c,
                         win::WORD d, const std::string& tag = "") {
  win::PeVersionSpec spec;
  spec.major = a, spec.minor = b, spec.release = c, spec.build = d;
  spec.description = tag;
  auto bytes = win::BuildPeFile(spec);
  Put(winPath, std::string(bytes.begin(), bytes.end()));
}

inline void SetTime(const std::string& winPath, Time t) {
  std::filesystem::last_write_time(Host(winPath), t);
}

inline Time BaseTime() {
  return std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 30);
}

// `source` an hour newer than `target`, which another program holds open: a replacement that
// has to wait for the restart.
inline void MakeNewerOverLocked(const std::string& source, const std::string& target) {
  auto t = BaseTime();
  SetTime(source, t + 1h);
  SetTime(target, t);
  win::Machine::Current().LockFile(Host(target));
}

inline win::DWORD Attributes(const std::string& winPath) { return win::GetFileAttributes(winPath); }

// A machine and an empty dialog script for each test; no dialog may be left unanswered.
class ToolkitTest : public ScriptedMachineTest<> {
 protected:
  explicit ToolkitTest(win::MachineSettings settings = {})
      : ScriptedMachineTest(std::move(settings)) {}
};

}  // namespace tk
