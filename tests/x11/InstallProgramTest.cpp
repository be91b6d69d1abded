// Install as a person runs it: the real program in an X server of the test's own, clicked
// with X events; each screen state is the headless snapshot of the same state.
#include "tests/x11/ProgramOnX11.h"

namespace {

using namespace x11_test;

const char* const kTitle = " Environnement minimum pour les programmes MARQETO";
// The frame's buttons and the item step's "Serveur", in the frame's client area.
constexpr int kNextX = 605, kCancelX = 693, kButtonsY = 454, kServeurX = 417, kServeurY = 72;
// The end step's print button.
constexpr int kPrintX = 189 + 16, kPrintY = 16;
// Where the frame's Next and Cancel buttons lie on a snapshot (frame included).
constexpr int kSnapLeft = 3, kSnapTop = 22;

int TextPixels(const xsession::Picture& p, int buttonX) {
  return CountColour(p, kSnapLeft + buttonX - 40, kSnapTop + 446, kSnapLeft + buttonX + 30,
                     kSnapTop + 463, 0x000000);
}

const char* const kHeadlessScript =
    "wait 20\nclick ActionNext\ncheck rbServeur\nclick ActionNext\nprinter ok\nclick "
    "SpeedButtonPrint\n"
    "click ActionNext\n";

// The part of a picture from (x, y) on, w x h.
xsession::Picture Crop(const xsession::Picture& p, int x, int y, int w, int h) {
  xsession::Picture out{w, h, {}};
  for (int row = y; row < y + h; ++row)
    out.pixels.insert(out.pixels.end(), p.pixels.begin() + std::ptrdiff_t(row) * p.width + x,
                      p.pixels.begin() + std::ptrdiff_t(row) * p.width + x + w);
  return out;
}

class InstallOnX11 : public ProgramOnX11 {
 protected:
  bool WaitFor(const std::function<bool()>& done, int seconds = 20) {
    for (auto until = Clock::now() + std::chrono::seconds(seconds); Clock::now() < until;)
      if (done()) return true;
    return false;
  }
  // A PC whose guardian service takes 4 seconds to start: the run lasts that long.
  fs::path SlowPc(const std::string& name, const std::string& options) {
    fs::path pc = MakePc(name, options);
    std::string out;
    EXPECT_EQ(Shell(Machine() + " services " + Quote(pc.string()) +
                        " FirebirdGuardianDefaultInstance --start-delay 4000 --before-creation",
                    &out),
              0)
        << out;
    return pc;
  }
};

// The headless run's snapshots tell its story: each state once, the welcome step with its
// Next enabled, the item step before and after "Serveur", the running end step with every
// button disabled, the finished one with "Quitter" enabled. Then a person does the same on
// a display: welcome -> Next -> "Serveur" -> Next -> the run (clicks and keys meanwhile change
// nothing) -> print -> Quitter, and the window shows each of those pictures in turn.
TEST_F(InstallOnX11, APersonInstallsTheServerEnvironmentAsTheSnapshotsShow) {
  fs::path reference = SlowPc("reference", "--simulated-time");
  fs::path shots = root_ / "shots";
  std::string out;
  ASSERT_EQ(RunHeadless(reference, "Install.exe", kHeadlessScript, shots, &out), 0) << out;
  std::vector<xsession::Picture> story = Story(shots, "frmMain");
  ASSERT_EQ(story.size(), 6u) << "frame, welcome, items, Serveur, running, finished";
  const xsession::Picture &welcome = story[1], &items = story[2], &serveur = story[3],
                          &running = story[4], &finished = story[5];
  EXPECT_EQ(TextPixels(story[0], kNextX), 0) << "before the start: Next empty";
  EXPECT_GT(TextPixels(welcome, kNextX), 0) << "welcome: Next enabled";
  EXPECT_EQ(TextPixels(items, kNextX), 0) << "no item checked: Next disabled";
  EXPECT_GT(TextPixels(serveur, kNextX), 0);
  EXPECT_EQ(TextPixels(running, kNextX) + TextPixels(running, kCancelX), 0)
      << "running: everything disabled";
  EXPECT_GT(TextPixels(finished, kNextX), 0) << "finished: Quitter enabled";
  EXPECT_EQ(TextPixels(finished, kCancelX), 0);
  // The plain file of each form is its last state.
  EXPECT_EQ(ToPicture(win::LoadPng(shots / "frmMain.png")).pixels, finished.pixels);
  for (const char* step : {"frmWelcome", "frmSelectItems", "frmEndInstall"})
    EXPECT_FALSE(Story(shots, step).empty()) << step << " has pictures of its own";

  fs::path pc = SlowPc("pc", "");
  StartDisplay(false);
  Start(pc, "Install.exe", "printer ok\n");
  unsigned long window = person_.WaitForWindow(kTitle);
  ASSERT_NE(window, 0u) << Slurp(err_);
  EXPECT_EQ(Shows(window, welcome, "welcome"), 0);
  person_.Click(window, kNextX, kButtonsY);
  EXPECT_EQ(Shows(window, items, "items"), 0);
  person_.Click(window, kServeurX, kServeurY);
  EXPECT_EQ(Shows(window, serveur, "serveur"), 0);
  person_.Click(window, kNextX, kButtonsY);
  // While the run waits for the guardian: its buttons as the headless run showed them, the
  // report's first lines already there, and a window covered and uncovered comes back whole.
  xsession::Picture paused;
  auto buttonRow = [](const xsession::Picture& p, int top) {
    return std::vector<std::uint32_t>(p.pixels.begin() + std::ptrdiff_t(top) * p.width,
                                      p.pixels.begin() + std::ptrdiff_t(top + 41) * p.width);
  };
  auto reportInk = [](const xsession::Picture& p, int left, int top) {
    return CountColour(p, left + 200, top + 40, left + 730, top + 420, 0x000000);
  };
  ASSERT_TRUE(WaitFor([&] {
    xsession::Picture a = person_.Grab(window);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    paused = person_.Grab(window);
    return a.pixels == paused.pixels &&
           reportInk(paused, 0, 0) > reportInk(running, kSnapLeft, kSnapTop);
  })) << "the report shows its lines while the run waits";
  ASSERT_EQ(paused.width, running.width - 2 * kSnapLeft);
  EXPECT_EQ(buttonRow(paused, 434),
            buttonRow(Crop(running, kSnapLeft, kSnapTop, paused.width, paused.height), 434));
  person_.Cover(window);
  EXPECT_EQ(person_.Grab(window).pixels, paused.pixels) << "uncovered while busy";
  // While it runs: Next (which reads "Quitter" once it is done), Cancel and the keys.
  person_.Click(window, kNextX, kButtonsY);
  person_.Click(window, kCancelX, kButtonsY);
  person_.Key("Return");
  person_.Key("Escape");
  EXPECT_EQ(Shows(window, finished, "finished"), 0);
  // Printing comes after those clicks: had they counted, the wizard would have gone.
  person_.Click(window, kPrintX, kPrintY);
  bool printed = false;
  for (auto until = Clock::now() + std::chrono::seconds(20); !printed && Clock::now() < until;) {
    printed = fs::exists(pc / "printed") && !fs::is_empty(pc / "printed");
    if (!printed) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(printed) << Slurp(err_);
  EXPECT_TRUE(Running());
  person_.Click(window, kNextX, kButtonsY);
  EXPECT_EQ(WaitForExit(20), 0) << Slurp(err_);
  EXPECT_NE(Journal(pc).find("FirebirdGuardianDefaultInstance"), std::string::npos);
}

// The X server going away ends the program with a clear message and an error code; what it
// had done stays (here: nothing), and the wizard starts again afterwards.
TEST_F(InstallOnX11, ALostDisplayEndsTheProgramAndLeavesThePcAsItWas) {
  fs::path pc = MakePc("pc", "");
  StartDisplay(false);
  Start(pc, "Install.exe");
  unsigned long window = person_.WaitForWindow(kTitle);
  ASSERT_NE(window, 0u) << Slurp(err_);
  person_.Click(window, kNextX, kButtonsY);
  person_.Click(window, kServeurX, kServeurY);
  person_.Sync();
  std::string before = Journal(pc);
  person_.Close();
  server_->Kill();
  EXPECT_EQ(WaitForExit(20), 1);
  EXPECT_NE(Slurp(err_).find("la connexion à l'affichage X"), std::string::npos) << Slurp(err_);
  EXPECT_EQ(Journal(pc), before);
  std::string out;
  EXPECT_EQ(RunHeadless(pc, "Install.exe",
                        "wait 20\nclick ActionAnnuler\ndialog warning | Voulez-vous annuler "
                        "l'installation? | yes\n",
                        root_ / "again", &out),
            0)
      << out;
}

// Under a window manager, the frame's close box asks as Cancel does: "Non" keeps the wizard,
// "Oui" ends it, and nothing was installed.
TEST_F(InstallOnX11, TheCloseBoxEndsTheWizardWithoutAQuestion) {
  fs::path pc = MakePc("pc", "");
  StartDisplay(true);
  Start(pc, "Install.exe", "");
  unsigned long window = person_.WaitForWindow(kTitle);
  ASSERT_NE(window, 0u) << Slurp(err_);
  std::string instance, cls;
  ASSERT_TRUE(person_.Class(window, &instance, &cls));
  EXPECT_EQ(cls, "Install");
  ASSERT_TRUE(person_.ClickCloseBox(window));
  EXPECT_EQ(WaitForExit(20), 0) << Slurp(err_);
  std::string journal = Journal(pc);
  EXPECT_EQ(journal.find("  beep  "), std::string::npos) << "no question is asked";
  EXPECT_EQ(journal.find("Firebird"), std::string::npos);
}

// On a 16-bit screen the window shows its colours through the screen's masks (the welcome
// step's white and the button face in 5-6-5 bits); on an 8-bit one with a colour map the program
// refuses to start with one clear line.
TEST_F(InstallOnX11, OtherScreenDepthsAreConvertedOrRefused) {
  fs::path pc = MakePc("pc", "");
  StartDisplay(false, 16);
  Start(pc, "Install.exe");
  unsigned long window = person_.WaitForWindow(kTitle);
  ASSERT_NE(window, 0u) << Slurp(err_);
  EXPECT_TRUE(WaitFor([&] {
    xsession::Picture p = person_.Grab(window);
    return p.width > 301 && p.At(301, 200) == 0xFFFF && p.At(101, 450) == 0xC618;
  }));
  kill(child_, SIGTERM);
  WaitForExit(20);
  person_.Close();

  StartDisplay(false, 8);
  Start(pc, "Install.exe");
  EXPECT_EQ(WaitForExit(20), 1);
  std::string err = Slurp(err_);
  EXPECT_NE(err.find("n'offre pas de visuel TrueColor (profondeur 8)"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

}  // namespace
