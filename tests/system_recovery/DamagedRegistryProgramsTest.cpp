// Tolvane and Install on a PC whose registry is damaged, missing or empty: each shows its
// own error text, and the PC stays as it was; the registry is never made anew.
#include <gtest/gtest.h>

#include <map>

#include "platform/system/Machine.h"
#include "support/DamagedRegistry.h"
#include "tests/system_recovery/RecoveryTestSupport.h"

using namespace recovery;

namespace {

const std::string kReadError =
    "Lecture d'une valeur de registre impossible : \\r\\nVeuillez contrôler vos droits d'accès.";

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

TEST(DamagedRegistryPrograms, TolvaneShowsItsReadErrorAndChangesNothing) {
  Scratch s("wi-damaged-tolvane-");
  const fs::path tpl = s.dir() / "tpl", media = s.dir() / "media", pc = s.dir() / "pc";
  ASSERT_EQ(Machine(s.dir(), {"new", tpl.string(), "--simulated-time"}).rc, 0);
  ASSERT_EQ(
      RunProgram(s.dir(), WI_BINARY_DIR "/tools/media/media", {media.string(), "--tolvane"}).rc, 0);
  fs::copy_file(WI_BINARY_DIR "/tolvane/Tolvane", media / "Tolvane");
  fs::create_directory_symlink(media, tpl / "drives" / "d");
  // The error at start, and again when the user asks for a server installation anyway.
  testfiles::PutFile(s.dir() / "script.txt",
                     "dialog Erreur | =" + kReadError + " | ok\ncheck VcRadioButton2\nclick bOK\n" +
                         "dialog Erreur | =" + kReadError + " | ok\nclick bAnnuler\n");
  for (auto d : damaged::AllDamages()) {
    SCOPED_TRACE(damaged::Name(d));
    CopyPc(tpl, pc);
    damaged::Apply(pc, d);
    const Before before(pc);
    Result r =
        RunProgram(s.dir(), (media / "Tolvane").string(), {},
                   {"WINPC=" + pc.string(), "WI_UI_SCRIPT=" + (s.dir() / "script.txt").string()});
    EXPECT_EQ(r.rc, 0) << r.err;
    before.Check("Tolvane");
  }
}

TEST(DamagedRegistryPrograms, InstallReportsAFailedRunAndChangesNothing) {
  Scratch s("wi-damaged-install-");
  const fs::path tpl = s.dir() / "tpl", pc = s.dir() / "pc";
  ASSERT_EQ(Machine(s.dir(), {"new", tpl.string(), "--simulated-time"}).rc, 0);
  ASSERT_EQ(RunProgram(s.dir(), WI_BINARY_DIR "/tools/media/media",
                       {(tpl / "drives/d").string(), "--install"})
                .rc,
            0);
  fs::copy_file(WI_BINARY_DIR "/wizard/Install", tpl / "drives/d/Install.exe");
  // The server installation: the Program Files folder cannot be read, the run fails with
  // the wizard's own text and its report says so; Next then ends the wizard.
  testfiles::PutFile(s.dir() / "script.txt",
                     "wait 20\nclick ActionNext\ncheck rbServeur\nclick ActionNext\n"
                     "dialog Erreur | =Dossier programmes pas trouvé. | ok\nclick ActionNext\n");
  for (auto d : damaged::AllDamages()) {
    SCOPED_TRACE(damaged::Name(d));
    CopyPc(tpl, pc);
    damaged::Apply(pc, d);
    const Before before(pc);
    Result r = RunProgram(s.dir(), WI_BINARY_DIR "/tools/machine/machine",
                          {"run", pc.string(), "D:\\Install.exe"},
                          {"WI_UI_SCRIPT=" + (s.dir() / "script.txt").string()});
    EXPECT_EQ(r.rc, 0) << r.err;
    before.Check("Install");
  }
}
