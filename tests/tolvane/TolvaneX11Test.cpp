// The real Tolvane program in a real X server (Xvfb): its dialog clicked through with X
// events, and what the server shows compared, pixel for pixel, with the headless picture
// of the same dialog in the same state. Message dialogs are still answered by the script.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "buttons/VcRadChk.h"
#include "dbsetup/dmFirebirdInstallUnit.h"
#include "dbsetup/frmMainUnit.h"
#include "platform/forms/ControlPaint.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/ImageFiles.h"
#include "tests/support/XSession.h"
#include "tests/tolvane/TolvaneRun.h"

extern char** environ;

using namespace tolvane_test;

namespace {

using Clock = std::chrono::steady_clock;

class TolvaneOnX11 : public TolvanePc {
 protected:
  void TearDown() override {
    if (child_ > 0) kill(child_, SIGKILL), waitpid(child_, nullptr, 0);
    person_.Close();
    server_.reset();
    delete form_;
    form_ = nullptr;
    delete dmFirebirdInstall;
    dmFirebirdInstall = nullptr;
    TolvanePc::TearDown();
  }

  // Starts D:\Tolvane on the display, with a script that holds only dialog answers (none:
  // the person answers them too): the clicks come from the X server.
  void StartOn(const std::string& display, const std::string& script) {
    fs::path file = root_ / "x-script.txt";
    std::ofstream(file, std::ios::binary) << script;
    std::vector<std::string> env;
    if (!script.empty()) env.push_back("WI_UI_SCRIPT=" + file.string());
    child_ = xsession::StartProgram((media_ / "Tolvane").string(), display, pc_.string(), env,
                                    (root_ / "x-out").string(), (root_ / "x-err").string());
  }

  // The program's exit code (128 + the signal when one ended it), or -1 when it is still
  // running after `seconds`.
  int WaitForExit(int seconds) { return xsession::WaitForExit(child_, seconds); }

  // The same dialog in this process, headless, on the same PC: the pictures to expect.
  TfrmMain& Reference() {
    setenv("WI_HEADLESS", "1", 1);
    Pc();
    UiScript::Reset();
    Application->Reset();
    Screen->SetCursor(crDefault);
    dmFirebirdInstall = new TdmFirebirdInstall(nullptr);
    form_ = new TfrmMain(nullptr);
    form_->InitForm();
    form_->Show();
    return *form_;
  }

  // Where a click lands on c: its middle-left part, in the form's client coordinates.
  static win::POINT ClickPoint(TControl* c) {
    win::POINT p{8, c->Height() / 2};
    for (TControl* x = c; x && !dynamic_cast<TForm*>(x); x = x->Parent()) {
      win::POINT off = x->Parent() && !dynamic_cast<TForm*>(x->Parent())
                           ? ControlPaint::ClientOffset(x->Parent())
                           : win::POINT{0, 0};
      p.x += x->Left() + off.x, p.y += x->Top() + off.y;
    }
    return p;
  }

  // Waits for the window to show `expected` (client pixels of the reference painter, from
  // ox, oy); returns the number of differing pixels of the last look.
  int WaitForPicture(unsigned long window, const win::Surface& expected, int ox, int oy,
                     const std::string& name) {
    xsession::Picture p{expected.width, expected.height, expected.pixels};
    return xsession::WaitForPicture(person_, window, p, ox, oy, 10,
                                    (root_.parent_path() / ("tolvane-x11-" + name)).string());
  }

  // A person types once the window has the keyboard.
  bool HasKeyboard(unsigned long window) {
    for (int i = 0; i < 200 && person_.FocusWindow() != window; ++i) usleep(50000);
    return person_.FocusWindow() == window;
  }

  // A screen of the headless size, so that dialogs wrap their texts alike.
  void StartDisplay() {
    server_ = std::make_unique<xsession::XServer>(false, 800, 600);
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
    ASSERT_TRUE(person_.Open(server_->Display()));
  }

  // A copy of the PC, for a headless run that gives the pictures to expect.
  fs::path CopyPc(const std::string& name) {
    fs::path copy = root_ / name;
    fs::copy(pc_, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    return copy;
  }
  Result RunHeadless(const fs::path& pc, const std::string& script, const fs::path& shots) {
    std::string file = (root_ / "headless.txt").string();
    std::ofstream(file, std::ios::binary) << script;
    return Run("env -u DISPLAY WI_HEADLESS=1 WINPC=" + Quote(pc.string()) +
               " WI_UI_SCRIPT=" + Quote(file) + " WI_SNAPSHOT_DIR=" + Quote(shots.string()) + " " +
               Quote((media_ / "Tolvane").string()));
  }
  // The numbered snapshots of one form, in order.
  static std::vector<win::Surface> Story(const fs::path& dir, const std::string& form) {
    std::vector<fs::path> files;
    for (auto& e : fs::directory_iterator(dir)) {
      std::string n = e.path().filename().string();
      if (n.size() > 5 && n[4] == '-' && n.substr(5) == form + ".png") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<win::Surface> out;
    out.reserve(files.size());
    for (auto& f : files) out.push_back(win::LoadPng(f));
    return out;
  }
  // Waits for a window to show a snapshot's client area (the frame is the window manager's).
  int Shows(unsigned long window, const win::Surface& snapshot, const std::string& name) {
    xsession::Picture shot = person_.Grab(window);
    int border = (snapshot.width - shot.width) / 2;
    return WaitForPicture(window, snapshot, border, snapshot.height - shot.height - border, name);
  }
  // A message dialog's button, counted from the left, of `count` in its row.
  void ClickDialogButton(unsigned long dialog, int index, int count) {
    xsession::Picture shot = person_.Grab(dialog);
    int row = count * 75 + (count - 1) * 8;
    person_.Click(dialog, (shot.width - row) / 2 + index * 83 + 37, shot.height - 8 - 12);
  }
  bool GuardianInstalled() {
    for (auto& e : Pc().ReadJournal())
      if (e.kind == "service" &&
          e.text.find("FirebirdGuardianDefaultInstance") != std::string::npos)
        return true;
    return false;
  }

  std::unique_ptr<xsession::XServer> server_;
  xsession::XClient person_;
  pid_t child_ = -1;
  TfrmMain* form_ = nullptr;
};

// The four actions clicked in turn, then OK on the uninstallation of a clean PC: each
// state on the screen is the headless picture, the script answers the completion message,
// the dialog stays for Annuler, and the program ends normally.
TEST_F(TolvaneOnX11, DialogClickedInARealWindowShowsTheHeadlessPicture) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  MakePc();
  StartDisplay();
  const std::string display = server_->Display();
  const std::string done =
      "dialog information | =" + Esc("Firebird a été désinstallé!") + " | ok\n";
  StartOn(display, done);
  unsigned long window = person_.WaitForWindow("Firebird 1.5");
  ASSERT_NE(window, 0u) << "no window: " << Slurp(root_ / "x-err");

  TfrmMain& f = Reference();
  win::Surface expected;
  WindowPainter::PaintClient(&f, expected);
  EXPECT_EQ(WaitForPicture(window, expected, 0, 0, "shown"), 0);

  for (TVcRadioButton* rb :
       {f.VcRadioButton2, f.VcRadioButton4, f.VcRadioButton1, f.VcRadioButton3}) {
    SCOPED_TRACE(rb->Name());
    win::POINT p = ClickPoint(rb);
    person_.Click(window, p.x, p.y);
    UiDriver::Check(&f, rb->Name(), true);
    ASSERT_TRUE(rb->Checked());
    WindowPainter::PaintClient(&f, expected);
    EXPECT_EQ(WaitForPicture(window, expected, 0, 0, rb->Name()), 0);
  }

  // The same clicks in a headless run give the picture of the dialog as its completion
  // message shows (an uninstallation leaves a clean PC as it was).
  fs::path shots = root_ / "snapshots";
  std::string script = (root_ / "headless.txt").string();
  std::ofstream(script, std::ios::binary)
      << "check VcRadioButton2\ncheck VcRadioButton4\ncheck VcRadioButton1\ncheck VcRadioButton3\n"
         "click bOK\n" +
             done + "click bAnnuler\n";
  Result r = Run("env -u DISPLAY WI_HEADLESS=1 WINPC=" + Quote(pc_.string()) +
                 " WI_UI_SCRIPT=" + Quote(script) + " WI_SNAPSHOT_DIR=" + Quote(shots.string()) +
                 " " + Quote((media_ / "Tolvane").string()));
  ASSERT_EQ(r.rc, 0) << r.err;
  win::Surface snapshot = win::LoadPng(shots / "frmMain.png");
  win::POINT o = WindowPainter::ClientOrigin(&f);

  // OK runs the uninstallation, whose completion message the script answers.
  win::POINT ok = ClickPoint(f.bOK);
  person_.Click(window, ok.x, ok.y);
  EXPECT_EQ(WaitForPicture(window, snapshot, o.x, o.y, "uninstalled"), 0);

  win::POINT cancel = ClickPoint(f.bAnnuler);
  person_.Click(window, cancel.x, cancel.y);
  EXPECT_EQ(WaitForExit(15), 0) << Slurp(root_ / "x-err");
  // Each run beeped once, before its completion message.
  int beeps = 0;
  for (auto& e : Pc().ReadJournal()) beeps += e.program == "Tolvane" && e.kind == "beep";
  EXPECT_EQ(beeps, 2);
}

// A person installs the server: the server's button, OK, then the completion message,
// which is a dialog of the program's window showing what the headless run showed, answered
// with its OK button; the program ends with the server installed.
TEST_F(TolvaneOnX11, APersonInstallsTheServerThroughItsCompletionMessage) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  MakePc();
  fs::path shots = root_ / "shots";
  Result r =
      RunHeadless(CopyPc("reference"),
                  "check VcRadioButton2\nclick bOK\n"
                  "dialog information | L'installation du serveur Firebird est terminée! | ok\n",
                  shots);
  ASSERT_EQ(r.rc, 0) << r.err;
  std::vector<win::Surface> dialogs = Story(shots, "MessageDlg");
  ASSERT_EQ(dialogs.size(), 1u);

  StartDisplay();
  StartOn(server_->Display(), "");
  unsigned long window = person_.WaitForWindow("Firebird 1.5");
  ASSERT_NE(window, 0u) << Slurp(root_ / "x-err");
  TfrmMain& f = Reference();
  win::POINT server = ClickPoint(f.VcRadioButton2), ok = ClickPoint(f.bOK);
  person_.Click(window, server.x, server.y);
  person_.Click(window, ok.x, ok.y);
  unsigned long dialog = person_.WaitForWindow("Information");
  ASSERT_NE(dialog, 0u) << Slurp(root_ / "x-err");
  EXPECT_EQ(person_.TransientFor(dialog), window);
  EXPECT_EQ(Shows(dialog, dialogs[0], "completion"), 0);
  ClickDialogButton(dialog, 0, 1);
  EXPECT_EQ(WaitForExit(30), 0) << Slurp(root_ / "x-err");
  EXPECT_TRUE(GuardianInstalled());
}

// A person with the keyboard alone: the first radio button has the keys as the dialog
// shows, Down moves to (and checks) the server's, Enter is OK, Enter answers the completion
// message.
TEST_F(TolvaneOnX11, TheKeyboardAloneInstallsTheServer) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  MakePc();
  StartDisplay();
  StartOn(server_->Display(), "");
  unsigned long window = person_.WaitForWindow("Firebird 1.5");
  ASSERT_NE(window, 0u) << Slurp(root_ / "x-err");
  ASSERT_TRUE(HasKeyboard(window)) << "the dialog takes the keyboard as it shows";
  person_.Key("Down");
  person_.Key("Return");
  unsigned long dialog = person_.WaitForWindow("Information");
  ASSERT_NE(dialog, 0u) << Slurp(root_ / "x-err");
  ASSERT_TRUE(HasKeyboard(dialog)) << "the message takes the keyboard";
  person_.Key("Return");
  EXPECT_EQ(WaitForExit(30), 0) << Slurp(root_ / "x-err");
  EXPECT_TRUE(GuardianInstalled()) << "Down then Enter ran the server's installation";
}

// With the server installed and running, the uninstallation asks whether to stop it; the
// person answers "Non" with the keyboard: nothing is removed and the dialog stays for
// Annuler.
TEST_F(TolvaneOnX11, TheUninstallQuestionAnsweredNoByKeyboardRemovesNothing) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  MakePc();
  Result r =
      RunHeadless(pc_,
                  "check VcRadioButton2\nclick bOK\n"
                  "dialog information | L'installation du serveur Firebird est terminée! | ok\n",
                  root_ / "install-shots");
  ASSERT_EQ(r.rc, 0) << r.err;
  fs::path shots = root_ / "shots";
  r = RunHeadless(
      CopyPc("reference"),
      "check VcRadioButton3\nclick bOK\n"
      "dialog warning | Le serveur Firebird est actif sur cette machine! | no\nclick bAnnuler\n",
      shots);
  ASSERT_EQ(r.rc, 0) << r.err;
  std::vector<win::Surface> dialogs = Story(shots, "MessageDlg"), frames = Story(shots, "frmMain");
  ASSERT_EQ(dialogs.size(), 1u);
  std::string before;
  for (auto& e : Pc().ReadJournal()) before += e.text + "\n";

  StartDisplay();
  StartOn(server_->Display(), "");
  unsigned long window = person_.WaitForWindow("Firebird 1.5");
  ASSERT_NE(window, 0u) << Slurp(root_ / "x-err");
  TfrmMain& f = Reference();
  win::POINT uninstall = ClickPoint(f.VcRadioButton3), ok = ClickPoint(f.bOK),
             cancel = ClickPoint(f.bAnnuler);
  person_.Click(window, uninstall.x, uninstall.y);
  person_.Click(window, ok.x, ok.y);
  unsigned long dialog = person_.WaitForWindow("Avertissement");
  ASSERT_NE(dialog, 0u) << Slurp(root_ / "x-err");
  EXPECT_EQ(Shows(dialog, dialogs[0], "question"), 0);
  ASSERT_TRUE(HasKeyboard(dialog));
  person_.Key("n", "alt");
  EXPECT_TRUE(person_.WaitUntilGone(dialog));
  EXPECT_EQ(Shows(window, frames.back(), "after-no"), 0);
  person_.Click(window, cancel.x, cancel.y);
  EXPECT_EQ(WaitForExit(30), 0) << Slurp(root_ / "x-err");
  std::string after;
  for (auto& e : Pc().ReadJournal()) after += e.text + "\n";
  EXPECT_EQ(after.substr(0, before.size()), before);
  EXPECT_EQ(after.find("deleted", before.size()), std::string::npos) << after.substr(before.size());
}

}  // namespace
