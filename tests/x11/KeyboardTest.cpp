// Both programs finished by a person with the keyboard alone, under a window manager: no
// pointer event is sent.
#include "tests/x11/ProgramOnX11.h"

namespace {

using namespace x11_test;

const char* const kWizard = " Environnement minimum pour les programmes MARQETO";
// The wizard's Next and Cancel buttons in its client area.
constexpr int kNextX = 605, kCancelX = 693;
// Tolvane's "Annuler" in its client area (the button row laid out from the right).
constexpr int kAnnulerLeft = 563 - 10 - 75, kAnnulerTop = 304 - 45 + 10;

class KeyboardOnX11 : public ProgramOnX11 {
 protected:
  // Black pixels of a button's caption (enabled, or focused) in the wizard's window.
  int ButtonInk(unsigned long window, int centreX) {
    return CountColour(person_.Grab(window), centreX - 40, 446, centreX + 30, 463, 0x000000);
  }
  bool WaitFor(const std::function<bool()>& done, int seconds = 20) {
    for (auto until = Clock::now() + std::chrono::seconds(seconds); Clock::now() < until;) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  bool Focused(unsigned long window) {
    return WaitFor([&] { return person_.FocusWindow() == window; });
  }
  // From the welcome step with keys: Enter; on the item step Shift+Tab twice reaches the
  // type group and checks its first button, Right moves to "Serveur"; Tab to Next, Enter.
  void RunServeur(unsigned long window) {
    ASSERT_TRUE(Focused(window));
    ASSERT_TRUE(WaitFor([&] { return ButtonInk(window, kNextX) > 0; })) << "welcome step";
    person_.Key("Return");
    ASSERT_TRUE(WaitFor([&] { return ButtonInk(window, kNextX) == 0; })) << "item step";
    person_.Key("Tab", "shift");
    person_.Key("Tab", "shift");
    person_.Key("Right");
    ASSERT_TRUE(WaitFor([&] { return ButtonInk(window, kNextX) > 0; })) << "a type is chosen";
    for (int i = 0; i < 3; ++i) person_.Key("Tab");
    person_.Key("Return");
  }
};

// Welcome: Enter goes on (Next has the focus). Item step: Shift+Tab twice reaches the type
// group and checks its first button, Right moves to "Serveur"; Tab to Next, Enter runs the
// installation; the report gets the focus and is copied whole (Ctrl+A, Ctrl+C) to the
// desktop's clipboard; Tab reaches Next, Space starts the next installer,
// which is missing: its error shows, and once answered the wizard ends.
TEST_F(KeyboardOnX11, InstallIsFinishedWithKeysAlone) {
  fs::path pc = MakePc("pc", "", "--both --next 'Next\\Setup.exe'");
  StartDisplay(true);
  Start(pc, "Install.exe");
  unsigned long window = person_.WaitForWindow(kWizard);
  ASSERT_NE(window, 0u) << Slurp(err_);
  ASSERT_NO_FATAL_FAILURE(RunServeur(window));
  ASSERT_TRUE(WaitFor([&] {
    return ButtonInk(window, kCancelX) == 0 && ButtonInk(window, kNextX) > 0;
  })) << "the run ends with Next enabled";
  // The report has the focus: Ctrl+A, Ctrl+C, and the desktop's clipboard holds it.
  person_.Key("a", "control");
  person_.Key("c", "control");
  std::string copied;
  EXPECT_TRUE(WaitFor([&] {
    Shell("timeout 5 xclip -o -selection clipboard -display " + server_->Display(), &copied);
    return copied.rfind("Démarrage de l'installation...\nInstallation du serveur Firebird...\n",
                        0) == 0;
  })) << copied;
  EXPECT_NE(copied.find("\nFin de l'installation."), std::string::npos) << copied;
  person_.Key("Tab");
  person_.Key("space");
  unsigned long error = person_.WaitForWindow("Erreur");
  ASSERT_NE(error, 0u) << Slurp(err_);
  EXPECT_TRUE(Running()) << "the wizard waits for the error to be read";
  ASSERT_TRUE(Focused(error));
  person_.Key("Return");
  EXPECT_EQ(WaitForExit(20), 0) << Slurp(err_);
  EXPECT_NE(Journal(pc).find("FirebirdGuardianDefaultInstance"), std::string::npos);
}

// NT 4.0 with msvcrt.dll in use: "Oui" to the restart question ends the Windows session:
// the wizard and Tolvane, open beside it on the same PC, both close (once), and the journal
// says so after the restart request that `machine boot` carries out.
TEST_F(KeyboardOnX11, TheRestartEndsTheSessionOfEveryProgramOfThePc) {
  fs::path pc = MakePc("pc", "--os nt4");
  std::string out;
  ASSERT_EQ(
      Shell(Machine() + " lock " + Quote(pc.string()) + " 'C:\\WINNT\\system32\\msvcrt.dll'", &out),
      0)
      << out;
  StartDisplay(true);
  Start(pc, "Tolvane.exe");
  pid_t tolvane = child_;
  fs::path tolvaneErr = err_;
  ASSERT_NE(person_.WaitForWindow("Firebird 1.5"), 0u) << Slurp(tolvaneErr);
  Start(pc, "Install.exe");
  unsigned long window = person_.WaitForWindow(kWizard);
  ASSERT_NE(window, 0u) << Slurp(err_);
  ASSERT_NO_FATAL_FAILURE(RunServeur(window));
  unsigned long question = person_.WaitForWindow("Avertissement", 30);
  ASSERT_NE(question, 0u) << Slurp(err_);
  ASSERT_TRUE(Focused(question));
  person_.Key("o", "alt");
  EXPECT_EQ(WaitForExit(20), 0) << Slurp(err_);
  EXPECT_EQ(xsession::WaitForExit(tolvane, 20), 0) << Slurp(tolvaneErr);
  std::string journal = Journal(pc);
  size_t requested = journal.find("restart requested (EWX_REBOOT");
  EXPECT_NE(requested, std::string::npos) << journal;
  EXPECT_GT(journal.find("end of the session: Install"), requested) << journal;
  EXPECT_GT(journal.find("end of the session: Tolvane"), requested) << journal;
  EXPECT_EQ(journal.find("end of the session: Install"),
            journal.rfind("end of the session: Install"));
}

// Tolvane: Down checks the server installation, Enter runs the default OK, Enter closes the
// completion message, and the program ends. Another start: Tab twice reaches "Annuler";
// Space held shows it pressed, released it ends the program with nothing done.
TEST_F(KeyboardOnX11, TolvaneInstallsTheServerWithKeysAndSpacePressesAButton) {
  fs::path pc = MakePc("pc", "");
  StartDisplay(true);
  Start(pc, "Tolvane.exe");
  unsigned long window = person_.WaitForWindow("Firebird 1.5");
  ASSERT_NE(window, 0u) << Slurp(err_);
  ASSERT_TRUE(Focused(window));
  person_.Key("Down");
  person_.Key("Return");
  unsigned long info = person_.WaitForWindow("Information", 30);
  ASSERT_NE(info, 0u) << Slurp(err_);
  ASSERT_TRUE(Focused(info));
  person_.Key("Return");
  EXPECT_EQ(WaitForExit(20), 0) << Slurp(err_);
  EXPECT_NE(Journal(pc).find("FirebirdGuardianDefaultInstance"), std::string::npos);

  fs::path other = MakePc("other", "");
  Start(other, "Tolvane.exe");
  window = person_.WaitForWindow("Firebird 1.5");
  ASSERT_NE(window, 0u) << Slurp(err_);
  ASSERT_TRUE(Focused(window));
  person_.Key("Tab");
  person_.Key("Tab");
  auto face = [&] {
    xsession::Picture p = person_.Grab(window);
    std::vector<std::uint32_t> px;
    for (int y = kAnnulerTop; y < kAnnulerTop + 25; ++y)
      for (int x = kAnnulerLeft; x < kAnnulerLeft + 75; ++x) px.push_back(p.At(x, y));
    return px;
  };
  std::vector<std::uint32_t> up;
  ASSERT_TRUE(WaitFor([&] {
    up = face();
    return CountColour(person_.Grab(window), kAnnulerLeft, kAnnulerTop, kAnnulerLeft + 1,
                       kAnnulerTop + 25, 0x000000) > 0;
  })) << "Annuler has the focus (its black frame)";
  person_.Press("space", true);
  EXPECT_TRUE(WaitFor([&] { return face() != up; })) << "pressed in";
  EXPECT_TRUE(Running());
  person_.Press("space", false);
  EXPECT_EQ(WaitForExit(20), 0) << Slurp(err_);
  EXPECT_EQ(Journal(other).find("Firebird"), std::string::npos);
}

}  // namespace
