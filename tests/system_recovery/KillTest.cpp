// The real Tolvane killed with SIGKILL at points spread over a server installation on a
// fresh PC. After each kill the PC is restarted (`machine boot`) and must hold sound
// databases, no half-written file and no temporary file anywhere; then a forced removal and
// a new installation must leave what a clean installation leaves: the same files, registry
// values and services.
//
// WI_KILL_POINTS sets the number of points (12 when unset); scripts/kill-test.sh runs 200.
// The counts are printed in any case.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "platform/system/Sqlite.h"
#include "tests/system_recovery/RecoveryTestSupport.h"

using namespace recovery;

namespace {

const std::string kInstallScript = "check VcRadioButton2\nclick bOK\ndialog information | | ok\n";
const std::string kForcedRemovalScript =
    "check VcRadioButton4\nclick bOK\n"
    "dialog * | La désinstallation brutale de Firebird peut provoquer la panne | yes\n"
    "dialog information | =Firebird a été désinstallé! | ok\nclick bAnnuler\n";
// Shared counts of the system's run-time libraries: never removed, so every installation
// adds to them, the killed one included.
const std::string kRuntimeCounts[] = {"\"C:\\\\WINDOWS\\\\system32\\\\msvcrt.dll\"=dword:",
                                      "\"C:\\\\WINDOWS\\\\system32\\\\msvcp60.dll\"=dword:"};

// What an installation leaves on a PC, as compared after a repair.
struct Snapshot {
  std::map<std::string, std::string> files;  // below drives/c; an empty folder maps to "<folder>"
  std::map<std::string, std::set<std::string>>
      registry;  // key -> its value lines; keys with values only
  std::map<std::string, unsigned> runtimeCounts;
  std::string services;
};

Snapshot Take(const fs::path& scratch, const fs::path& pc) {
  Snapshot s;
  s.files = Files(pc);
  std::istringstream text(Machine(scratch, {"reg", pc.string(), "export"}).out);
  std::string line, key;
  while (std::getline(text, line)) {
    if (line.empty() || line == "REGEDIT4") continue;
    if (line[0] == '[') {
      key = line;
      continue;
    }
    bool runtime = false;
    for (const auto& prefix : kRuntimeCounts)
      if (line.rfind(prefix, 0) == 0) {
        s.runtimeCounts[prefix] = unsigned(std::stoul(line.substr(prefix.size()), nullptr, 16));
        runtime = true;
      }
    if (!runtime) s.registry[key].insert(line);
  }
  s.services = Machine(scratch, {"services", pc.string()}).out;
  return s;
}

// Each installation puts old files aside in a new folder BACKUPnnn of the installation
// folder and removes it at its end when it stayed empty. A killed run never gets there, and
// neither removal knows the folder: it stays, empty, beside a repaired installation.
bool KilledRunsBackupFolder(const std::string& path, const std::string& content) {
  const std::string folder = "Program Files/Firebird/Firebird_1_5/BACKUP";
  return content == "<folder>" && path.rfind(folder, 0) == 0 && path.size() == folder.size() + 3;
}

// The differences, a few lines of them; empty when the repaired PC is a clean installation.
std::string Compare(const Snapshot& clean, const Snapshot& repaired) {
  std::ostringstream out;
  int shown = 0;
  auto note = [&](const std::string& what) {
    if (shown++ < 8) out << "  " << what << "\n";
  };
  for (const auto& [path, content] : clean.files) {
    auto it = repaired.files.find(path);
    if (it == repaired.files.end())
      note("missing file " + path);
    else if (it->second != content)
      note("different file " + path);
  }
  for (const auto& [path, content] : repaired.files)
    if (!clean.files.count(path) && !KilledRunsBackupFolder(path, content))
      note("extra file " + path);
  if (clean.registry != repaired.registry) note("registry values differ");
  for (const auto& [name, count] : clean.runtimeCounts) {
    auto it = repaired.runtimeCounts.find(name);
    if (it == repaired.runtimeCounts.end() || it->second < count)
      note("shared count lost: " + name);
  }
  if (clean.services != repaired.services) note("services differ:\n" + repaired.services);
  return out.str();
}

int TolvaneChanges(win::SqliteDb& state) {
  auto st =
      state.Prepare("SELECT count(*) FROM journal WHERE program = 'Tolvane' AND kind <> 'beep'");
  return st.Step() ? int(st.ColumnInt(0)) : 0;
}

class KillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path tpl = Tpl();
    ASSERT_EQ(Machine(dir(), {"new", tpl.string(), "--simulated-time"}).rc, 0);
    ASSERT_EQ(
        RunProgram(dir(), WI_BINARY_DIR "/tools/media/media", {Media().string(), "--tolvane"}).rc,
        0);
    fs::copy_file(WI_BINARY_DIR "/tolvane/Tolvane", Media() / "Tolvane");
    fs::create_directory_symlink(Media(), tpl / "drives" / "d");
    testfiles::PutFile(dir() / "install.txt", kInstallScript);
    testfiles::PutFile(dir() / "removal.txt", kForcedRemovalScript);
  }
  const fs::path& dir() const { return scratch_.dir(); }
  fs::path Tpl() const { return dir() / "tpl"; }
  fs::path Media() const { return dir() / "media"; }
  std::vector<std::string> Env(const fs::path& pc, const std::string& script) const {
    return {"WINPC=" + pc.string(), "WI_UI_SCRIPT=" + (dir() / script).string()};
  }
  Result Tolvane(const fs::path& pc, const std::string& script) {
    return RunProgram(dir(), (Media() / "Tolvane").string(), {}, Env(pc, script));
  }

  Scratch scratch_{"wi-kill-"};
};

}  // namespace

TEST_F(KillTest, AKilledServerInstallationLeavesASoundPcThatARepairMakesClean) {
  const int points = KillPointCount(12);

  // The clean installation, and every content a file of the PC may rightly have: as it was,
  // as on the media, as installed.
  const fs::path clean = dir() / "clean";
  CopyPc(Tpl(), clean);
  Result r = Tolvane(clean, "install.txt");
  ASSERT_EQ(r.rc, 0) << r.err;
  const Snapshot reference = Take(dir(), clean);
  int changes;
  {
    win::SqliteDb state(clean / "state.db", false);
    changes = TolvaneChanges(state);
  }
  ASSERT_GT(changes, 20);
  std::set<std::string> sound;
  for (const auto& [path, content] : Files(Tpl())) sound.insert(content);
  for (const auto& [path, content] : reference.files) sound.insert(content);
  for (auto& e : fs::directory_iterator(Media() / "Files"))
    sound.insert(testfiles::ReadFile(e.path()));

  std::mt19937 rng(20260);
  int finished = 0, corruptions = 0, halfWritten = 0, leftovers = 0, failedRepairs = 0;
  int leftBeforeBoot = 0, marksBeforeBoot = 0;
  const fs::path pc = dir() / "pc";
  for (int point = 1; point <= points; ++point) {
    // After the k-th change Tolvane records, and a little later: spread over the whole run.
    const int after = std::max(1, int(std::int64_t(point) * changes / (points + 1)));
    SCOPED_TRACE("kill point " + std::to_string(point) + ", after change " + std::to_string(after));
    CopyPc(Tpl(), pc);
    pid_t pid = Spawn((Media() / "Tolvane").string(), {}, Env(pc, "install.txt"));
    ASSERT_GT(pid, 0);
    bool exited = false;
    {
      win::SqliteDb state(pc / "state.db", false);
      int status;
      while (TolvaneChanges(state) < after) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
          exited = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    if (!exited) {
      std::this_thread::sleep_for(std::chrono::microseconds(rng() % 1500));
      ::kill(pid, SIGKILL);
      int status = 0;
      ::waitpid(pid, &status, 0);
      exited = !WIFSIGNALED(status);
    }
    finished += exited ? 1 : 0;
    for (const auto& t : Temporaries(pc))
      (IsOpeningMark(t) ? marksBeforeBoot : leftBeforeBoot) += 1;

    r = Machine(dir(), {"boot", pc.string()});
    EXPECT_EQ(r.rc, 0) << r.err;
    for (const char* db : {"registry.db", "state.db"}) {
      win::SqliteDb check(pc / db, false);
      std::string result = check.IntegrityCheck();
      if (result != "ok") {
        ++corruptions;
        ADD_FAILURE() << db << ": " << result;
      }
    }
    for (const auto& [path, content] : Files(pc))
      if (content != "<folder>" && !sound.count(content)) {
        ++halfWritten;
        ADD_FAILURE() << "half-written: " << path << " (" << content.size() << " bytes)";
      }
    for (const auto& t : Temporaries(pc)) {
      ++leftovers;
      ADD_FAILURE() << "left: " << t;
    }

    r = Tolvane(pc, "removal.txt");
    EXPECT_EQ(r.rc, 0) << r.err;
    Result again = Tolvane(pc, "install.txt");
    EXPECT_EQ(again.rc, 0) << again.err;
    std::string differences = Compare(reference, Take(dir(), pc));
    if (r.rc != 0 || again.rc != 0 || !differences.empty()) {
      ++failedRepairs;
      ADD_FAILURE() << "not a clean installation after the repair:\n" << differences;
    }
  }
  std::printf(
      "kill points: %d (finished before their point: %d), corruptions: %d (databases; half-written "
      "files: %d), "
      "leftovers: %d after the restart (before it: %d temporaries, %d marks of the killed "
      "program), "
      "failed recoveries: %d\n",
      points, finished, corruptions, halfWritten, leftovers, leftBeforeBoot, marksBeforeBoot,
      failedRepairs);
  EXPECT_LT(finished, std::max(2, points / 10));
}
