// Tolvane's server installation and the wizard's run on a Windows NT 4.0 PC, which replace
// files the PC already has (its C run-time library, its services file), killed with
// SIGKILL just before file calls of the run: before every call inside each placement that
// replaces a file, and before calls drawn at random over the whole run. After each kill the
// PC is restarted (`machine boot`); every file the run replaces must then be there, whole,
// as it was or as the run leaves it, a replaced one with its backup beside the new copy,
// and nothing temporary may be left on the drive.
//
// The calls are those that change names on disk, numbered by the preloaded
// tests/support/KillAtCall.c in a first run that is let finish. WI_KILL_POINTS sets how many
// calls are drawn at random (2 when unset); scripts/kill-test.sh --os nt4 draws 200.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "tests/system_recovery/RecoveryTestSupport.h"

using namespace recovery;

namespace {

// A program the test starts on the PC pc with the variables given.
struct Program {
  std::string name;  // the executable's file name, by which the preloaded library finds it
  std::function<pid_t(const fs::path& pc, const std::vector<std::string>& variables)> start;
};

struct Replaced {
  std::string old, fresh;
  std::vector<std::string> backups;  // where the run leaves the old content
};

struct Counts {
  int points = 0, finished = 0, inside = 0, missing = 0, mixed = 0, lostBackups = 0, leftovers = 0;
};

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Nt4KillTest : public ::testing::Test {
 protected:
  const fs::path& dir() const { return scratch_.dir(); }
  fs::path Pc() const { return dir() / "pc"; }

  std::vector<std::string> Variables(const std::string& program, const std::string& more) const {
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {"LD_PRELOAD=" WI_KILL_AT_CALL_LIBRARY, "WI_KILL_PROGRAM=" + program, more,
            // The library is loaded ahead of the sanitizers' runtime.
            std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") +
                "verify_asan_link_order=0"};
  }

  // The run let finish on a copy of tpl: each call's text (number, call, host paths), and
  // the files it replaces.
  std::vector<std::string> DryRun(const fs::path& tpl, const Program& program,
                                  std::map<std::string, Replaced>& replaced) {
    CopyPc(tpl, Pc());
    const auto before = Files(Pc());
    const fs::path trace = dir() / "trace.txt";
    fs::remove(trace);
    EXPECT_EQ(Wait(program.start(Pc(), Variables(program.name, "WI_KILL_TRACE=" + trace.string()))),
              0);
    const auto after = Files(Pc());
    for (const auto& [rel, content] : before) {
      auto it = after.find(rel);
      if (it == after.end() || it->second == content || content == "<folder>") continue;
      Replaced& r = replaced[rel];
      r.old = content;
      r.fresh = it->second;
      for (const auto& [other, kept] : after)
        if (kept == content) r.backups.push_back(other);
    }
    std::vector<std::string> calls;
    std::istringstream in(testfiles::ReadFile(trace));
    for (std::string line; std::getline(in, line);) calls.push_back(line + "\t");
    return calls;
  }

  // Before every call of each placement, from the first call that names the file or its
  // backup to the one after the last, and before calls drawn at random.
  static std::set<int> KillPoints(const std::vector<std::string>& calls, const fs::path& pc,
                                  const std::map<std::string, Replaced>& replaced, int& inside) {
    std::set<int> points;
    for (const auto& [rel, r] : replaced) {
      std::vector<std::string> names = r.backups;
      names.push_back(rel);
      int first = 0, last = 0;
      for (int i = 0; i < int(calls.size()); ++i)
        for (const auto& name : names) {
          const std::string path = (pc / "drives" / "c" / name).string() + "\t";
          const std::string& call = calls[size_t(i)];
          if (call.find(" " + path) == std::string::npos &&
              call.find("\t" + path) == std::string::npos)
            continue;
          if (!first) first = i + 1;
          last = i + 1;
        }
      EXPECT_GT(first, 0) << "no call names " << rel;
      for (int n = first; first && n <= last + 1; ++n) points.insert(n);
    }
    inside = int(points.size());
    const int draws = KillPointCount(2);
    std::mt19937 rng(20261);
    for (int i = 0; i < draws; ++i)
      points.insert(1 + int(rng() % std::max<size_t>(1, calls.size())));
    return points;
  }

  // After a kill and a restart: each replaced file is there, old or new, a new one with
  // its backup; no temporary is left on the drive.
  static void Check(const fs::path& pc, const std::map<std::string, Replaced>& replaced,
                    Counts& counts) {
    const auto now = Files(pc);
    auto holds = [&](const std::string& rel, const std::string& content) {
      auto it = now.find(rel);
      return it != now.end() && it->second == content;
    };
    // Named, not bound: clang 14 cannot capture a structured binding in a lambda.
    for (const auto& entry : replaced) {
      const std::string& rel = entry.first;
      const auto& r = entry.second;
      auto it = now.find(rel);
      if (it == now.end()) {
        ++counts.missing;
        ADD_FAILURE() << "missing: " << rel;
      } else if (it->second != r.old && it->second != r.fresh) {
        ++counts.mixed;
        ADD_FAILURE() << "neither old nor new: " << rel << " (" << it->second.size() << " bytes)";
      } else if (!r.backups.empty() && it->second == r.fresh &&
                 std::none_of(r.backups.begin(), r.backups.end(),
                              [&](const std::string& b) { return holds(b, r.old); })) {
        ++counts.lostBackups;
        ADD_FAILURE() << "replaced without its backup: " << rel;
      }
    }
    for (const auto& t : Temporaries(pc / "drives" / "c")) {
      ++counts.leftovers;
      ADD_FAILURE() << "left: " << t;
    }
  }

  void KillAtPoints(const fs::path& tpl, const Program& program, const std::string& library) {
    std::map<std::string, Replaced> replaced;
    const auto calls = DryRun(tpl, program, replaced);
    ASSERT_TRUE(replaced.count("WINNT/system32/" + library)) << "the run replaces no " << library;
    Counts counts;
    const std::set<int> points = KillPoints(calls, Pc(), replaced, counts.inside);
    for (int point : points) {
      SCOPED_TRACE("killed before call " + std::to_string(point) + " of " +
                   std::to_string(calls.size()) +
                   (point <= int(calls.size()) ? ": " + calls[size_t(point - 1)] : ""));
      CopyPc(tpl, Pc());
      const int rc = Wait(
          program.start(Pc(), Variables(program.name, "WI_KILL_AT_CALL=" + std::to_string(point))));
      ++counts.points;
      counts.finished += rc != 128 + SIGKILL;
      Result r = Machine(dir(), {"boot", Pc().string()});
      EXPECT_EQ(r.rc, 0) << r.err;
      Check(Pc(), replaced, counts);
    }
    std::printf(
        "%s: kill points: %d (inside placements: %d, finished before their point: %d), files "
        "missing: %d, neither old nor new: %d, replaced without backup: %d, leftovers after the "
        "restart: %d\n",
        program.name.c_str(), counts.points, counts.inside, counts.finished, counts.missing,
        counts.mixed, counts.lostBackups, counts.leftovers);
  }

  // A new NT 4.0 PC.
  fs::path NewPc(const std::string& name) {
    fs::path tpl = dir() / name;
    EXPECT_EQ(Machine(dir(), {"new", tpl.string(), "--os", "nt4", "--simulated-time"}).rc, 0);
    return tpl;
  }

  Scratch scratch_{"wi-kill-nt4-"};
};

}  // namespace

TEST_F(Nt4KillTest, TolvanesServerInstallationNeverLosesAReplacedFile) {
  const fs::path tpl = NewPc("tpl"), media = dir() / "media";
  ASSERT_EQ(RunProgram(dir(), WI_BINARY_DIR "/tools/media/media", {media.string(), "--tolvane"}).rc,
            0);
  fs::copy_file(WI_BINARY_DIR "/tolvane/Tolvane", media / "Tolvane");
  fs::create_directory_symlink(media, tpl / "drives" / "d");
  testfiles::PutFile(dir() / "install.txt",
                     "check VcRadioButton2\nclick bOK\ndialog information | | ok\n");
  const Program tolvane{"Tolvane", [&](const fs::path& pc, std::vector<std::string> variables) {
                          variables.push_back("WINPC=" + pc.string());
                          variables.push_back("WI_UI_SCRIPT=" + (dir() / "install.txt").string());
                          return Spawn((media / "Tolvane").string(), {}, variables);
                        }};
  KillAtPoints(tpl, tolvane, "msvcrt.dll");
}

TEST_F(Nt4KillTest, TheWizardsRunNeverLosesAReplacedFile) {
  const fs::path tpl = NewPc("tpl");
  ASSERT_EQ(RunProgram(dir(), WI_BINARY_DIR "/tools/media/media",
                       {(tpl / "drives/d").string(), "--install"})
                .rc,
            0);
  fs::copy_file(WI_BINARY_DIR "/wizard/Install", tpl / "drives/d/Install.exe");
  // The server: the NT 4.0 system libraries first, then the Firebird server.
  testfiles::PutFile(dir() / "wizard.txt",
                     "wait 20\nclick ActionNext\ncheck rbServeur\nclick ActionNext\n"
                     "click ActionNext\n");
  const Program wizard{"Install.exe", [&](const fs::path& pc, std::vector<std::string> variables) {
                         variables.push_back("WI_UI_SCRIPT=" + (dir() / "wizard.txt").string());
                         return Spawn(WI_BINARY_DIR "/tools/machine/machine",
                                      {"run", pc.string(), "D:\\Install.exe"}, variables);
                       }};
  KillAtPoints(tpl, wizard, "msvcrt.dll");
}
