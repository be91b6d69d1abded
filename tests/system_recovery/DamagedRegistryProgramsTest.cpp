// Tolvane and Install on a PC whose registry is damaged, missing or empty, or whose state is
// missing: each ends at once with an error naming the file (Install shows it too), and the
// PC stays as it was; no database is ever made anew.
#include <gtest/gtest.h>

#include <map>

#include "platform/system/Machine.h"
#include "support/DamagedRegistry.h"
#include "tests/system_recovery/RecoveryTestSupport.h"

using namespace recovery;

namespace {

std::map<std::string, std::string> Contents(const fs::path& dir) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator();
       ++it)
    if (!it->is_symlink() && it->is_regular_file())
      out[it->path().string()] = testfiles::ReadFile(it->path());
  return out;
}

// The PC as the programs must leave it: its drives, its registry file, and a journal in
// which the program did nothing but beep.
struct Before {
  explicit Before(const fs::path& pc)
      : pc(pc),
        drives(Contents(pc / "drives" / "c")),
        registry(testfiles::ReadFile(pc / "registry.db")) {}
  void Check(const std::string& program) const {
    EXPECT_EQ(Contents(pc / "drives" / "c"), drives);
    EXPECT_EQ(testfiles::ReadFile(pc / "registry.db"), registry);
    EXPECT_FALSE(fs::exists(pc / "registry.db-wal"));
    win::Machine m(pc);
    for (auto& e : m.ReadJournal()) {
      if (e.program == program) {
        EXPECT_EQ(e.kind, "beep") << e.text;
      }
    }
  }
  fs::path pc;
  std::map<std::string, std::string> drives;
  std::string registry;
};

}  // namespace

TEST(DamagedRegistryPrograms, TolvaneEndsWithAnErrorNamingTheFileAndChangesNothing) {
  Scratch s("wi-damaged-tolvane-");
  const fs::path tpl = s.dir() / "tpl", media = s.dir() / "media", pc = s.dir() / "pc";
  ASSERT_EQ(Machine(s.dir(), {"new", tpl.string(), "--simulated-time"}).rc, 0);
  ASSERT_EQ(
      RunProgram(s.dir(), WI_BINARY_DIR "/tools/media/media", {media.string(), "--tolvane"}).rc, 0);
  fs::copy_file(WI_BINARY_DIR "/tolvane/Tolvane", media / "Tolvane");
  fs::create_directory_symlink(media, tpl / "drives" / "d");
  testfiles::PutFile(s.dir() / "script.txt", "click bAnnuler\n");
  auto run = [&] {
    return RunProgram(
        s.dir(), (media / "Tolvane").string(), {},
        {"WINPC=" + pc.string(), "WI_UI_SCRIPT=" + (s.dir() / "script.txt").string()});
  };
  for (auto d : damaged::AllDamages()) {
    SCOPED_TRACE(damaged::Name(d));
    CopyPc(tpl, pc);
    damaged::Apply(pc, d);
    const Before before(pc);
    Result r = run();
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find((pc / "registry.db").string() + ": the registry of the machine " +
                         damaged::Problem(d)),
              std::string::npos)
        << r.err;
    before.Check("Tolvane");
  }
  // Without its state, the PC is left without one.
  CopyPc(tpl, pc);
  fs::remove(pc / "state.db");
  const auto drives = Contents(pc / "drives" / "c");
  Result r = run();
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.err.find((pc / "state.db").string() + ": the state of the machine is missing"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(pc / "state.db"));
  EXPECT_EQ(Contents(pc / "drives" / "c"), drives);
}

TEST(DamagedRegistryPrograms, InstallShowsAnErrorNamingTheFileAndChangesNothing) {
  Scratch s("wi-damaged-install-");
  const fs::path tpl = s.dir() / "tpl", pc = s.dir() / "pc";
  ASSERT_EQ(Machine(s.dir(), {"new", tpl.string(), "--simulated-time"}).rc, 0);
  ASSERT_EQ(RunProgram(s.dir(), WI_BINARY_DIR "/tools/media/media",
                       {(tpl / "drives/d").string(), "--install"})
                .rc,
            0);
  fs::copy_file(WI_BINARY_DIR "/wizard/Install", tpl / "drives/d/Install.exe");
  testfiles::PutFile(s.dir() / "script.txt",
                     "dialog Erreur | registry.db: the registry of the machine | ok\n");
  for (auto d : damaged::AllDamages()) {
    SCOPED_TRACE(damaged::Name(d));
    CopyPc(tpl, pc);
    damaged::Apply(pc, d);
    const Before before(pc);
    Result r = RunProgram(s.dir(), WI_BINARY_DIR "/tools/machine/machine",
                          {"run", pc.string(), "D:\\Install.exe"},
                          {"WI_UI_SCRIPT=" + (s.dir() / "script.txt").string()});
    EXPECT_EQ(r.rc, 1) << r.err;
    EXPECT_NE(r.err.find("Install: " + (pc / "registry.db").string()), std::string::npos) << r.err;
    before.Check("Install");
  }
}
