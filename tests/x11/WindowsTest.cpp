// The X11 back end in this process, under Xvfb with a window manager: which forms are
// windows, what the window manager learns of them, dialogs above their owner, popups, the
// pointer leaving, and input given while the program was busy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>

#include "controls/VcBHints.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/HintWindow.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/WindowPainter.h"
#include "platform/system/Clock.h"
#include "platform/system/Machine.h"
#include "tests/support/XSession.h"
#include "wizard/frmSelectDriveUnit.h"

namespace {

using Clock = std::chrono::steady_clock;

// Lets the back end take what the server sent and repaint, until `done` or 10 seconds.
bool PumpUntil(const std::function<bool()>& done) {
  for (auto until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
    DisplayBackend::WaitForInput(10);
    Application->ProcessMessages();
    if (done()) return true;
  }
  return false;
}

// What xprop reads of a window's properties.
std::string Xprop(const std::string& display, unsigned long window, const std::string& names) {
  std::string out;
  FILE* p =
      popen(("xprop -display " + display + " -id " + std::to_string(window) + " " + names + " 2>&1")
                .c_str(),
            "r");
  if (!p) return out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

xsession::Picture ClientPicture(TForm* f) {
  win::Surface s;
  WindowPainter::PaintClient(f, s);
  return xsession::Picture{s.width, s.height, s.pixels};
}

class WindowsOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!xsession::HaveXvfb() || !xsession::HaveWindowManager())
      GTEST_SKIP() << "Xvfb or openbox is not installed";
    // A window manager holds clicks back until it has focused the window: without one, the
    // server hands input on at once.
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    server_ =
        &xsession::XServer::ForThisProcess(std::string(info->name()) != "InputWhileBusyIsDropped");
    ASSERT_FALSE(server_->Display().empty()) << "Xvfb or the window manager did not start";
    unsetenv("WI_SNAPSHOT_DIR");
    win::clock::SetSimulated(false);
    win::Machine::SetProgramName("Install");
    Application->Reset();
    ASSERT_TRUE(person_.Open(server_->Display()));
  }
  void TearDown() override {
    // The windows go while the server still runs.
    forms_.clear();
    DisplayBackend::Refresh();
    person_.Close();
    setenv("WI_HEADLESS", "1", 1);
  }
  TForm* NewForm(const std::string& caption, int w, int h) {
    forms_.push_back(std::make_unique<TForm>(nullptr));
    TForm* f = forms_.back().get();
    f->SetCaption(caption);
    f->SetBorderStyle(bsDialog);
    f->SetPosition(poScreenCenter);
    f->SetClientWidth(w);
    f->SetClientHeight(h);
    return f;
  }
  // The window shows the form's client area as the headless painter paints it.
  bool ShowsPicture(unsigned long window, TForm* f) {
    return PumpUntil(
        [&] { return xsession::PictureDiff(person_, window, ClientPicture(f), 0, 0) == 0; });
  }
  xsession::XServer* server_ = nullptr;
  xsession::XClient person_;
  std::vector<std::unique_ptr<TForm>> forms_;
};

// A top-level form is a window with its UTF-8 title, class, fixed size and centred place; a
// form placed in a panel of it is drawn inside it and is no window; a modal form is a dialog
// above its owner, holds the keyboard, leaves the owner deaf to clicks, and its close box
// reaches it as a close (Cancel); the owner gets the keyboard back.
TEST_F(WindowsOnX11, FormsAreWindowsTheWayTheWindowManagerExpects) {
  TForm* main = NewForm("Étape d'installation", 400, 300);
  auto* panel = new TPanel(main);
  panel->SetBounds(10, 10, 200, 150);
  panel->SetParent(main);
  int ownerClicks = 0;
  auto* button = new TButton(main);
  button->SetBounds(250, 250, 100, 25);
  button->SetCaption("OK");
  button->SetParent(main);
  button->OnClick = [&](TObject*) { ++ownerClicks; };
  forms_.push_back(std::make_unique<TForm>(nullptr));
  TForm* inner = forms_.back().get();
  inner->SetBorderStyle(bsNone);
  inner->SetCaption("Inner step");
  inner->SetColor(clWhite);
  inner->SetParent(panel);
  inner->SetBounds(0, 0, 200, 150);
  main->Show();
  inner->Show();
  unsigned long window = 0;
  ASSERT_TRUE(
      PumpUntil([&] { return (window = person_.FindWindow("Étape d'installation")) != 0; }));

  EXPECT_EQ(person_.Property(window, "_NET_WM_NAME"), "Étape d'installation");
  EXPECT_EQ(person_.Property(window, "WM_NAME"), "\xC9tape d'installation");
  std::string instance, cls;
  ASSERT_TRUE(person_.Class(window, &instance, &cls));
  EXPECT_EQ(instance, "install");
  EXPECT_EQ(cls, "Install");
  int minW, minH, maxW, maxH;
  ASSERT_TRUE(person_.SizeHints(window, &minW, &minH, &maxW, &maxH));
  EXPECT_EQ(minW, 400);
  EXPECT_EQ(maxW, 400);
  EXPECT_EQ(minH, 300);
  EXPECT_EQ(maxH, 300);
  int x = 0, y = 0;
  ASSERT_TRUE(person_.RootPosition(window, &x, &y));
  win::POINT o = WindowPainter::ClientOrigin(main);
  EXPECT_EQ(x, (1024 - main->Width()) / 2 + o.x);
  EXPECT_EQ(y, (768 - main->Height()) / 2 + o.y);
  EXPECT_EQ(person_.FindWindow("Inner step"), 0u) << "a form with a parent is no window";
  EXPECT_TRUE(ShowsPicture(window, main));
  EXPECT_TRUE(PumpUntil([&] { return person_.FocusWindow() == window; }));

  // The same inner form hidden: its place shows the panel again.
  inner->Hide();
  EXPECT_TRUE(ShowsPicture(window, main));

  TForm* dialog = NewForm("Confirmation", 200, 80);
  dialog->SetPosition(poOwnerFormCenter);
  auto* timer = new TTimer(dialog);
  timer->SetInterval(10);
  unsigned long dialogWindow = 0;
  bool above = false, focused = false, boxClicked = false, centred = false;
  std::string props;
  unsigned long owner = 0;
  timer->OnTimer = [&](TObject*) {
    timer->SetEnabled(false);
    dialogWindow = person_.WaitForWindow("Confirmation");
    if (!dialogWindow) {
      dialog->SetModalResult(mrAbort);
      return;
    }
    owner = person_.TransientFor(dialogWindow);
    // Centred on its owner.
    int ox = 0, oy = 0, dx = 0, dy = 0;
    person_.RootPosition(window, &ox, &oy);
    person_.RootPosition(dialogWindow, &dx, &dy);
    centred = dx - ox == (main->ClientWidth() - dialog->ClientWidth()) / 2 &&
              dy - oy == (main->ClientHeight() - dialog->ClientHeight()) / 2;
    for (auto until = Clock::now() + std::chrono::seconds(10);
         Clock::now() < until && !(above && focused);) {
      above = person_.IsAbove(dialogWindow, window);
      focused = person_.FocusWindow() == dialogWindow;
    }
    person_.Click(window, 260, 262);  // the owner's button: nothing happens while the dialog shows
    props = Xprop(server_->Display(), dialogWindow,
                  "_NET_WM_WINDOW_TYPE _NET_WM_STATE _MOTIF_WM_HINTS _NET_WM_ALLOWED_ACTIONS");
    boxClicked = person_.ClickCloseBox(dialogWindow);
  };
  timer->SetEnabled(true);
  TModalResult r = dialog->ShowModal();
  ASSERT_NE(dialogWindow, 0u);
  EXPECT_EQ(owner, window);
  EXPECT_TRUE(above);
  EXPECT_TRUE(focused);
  EXPECT_TRUE(boxClicked);
  EXPECT_EQ(r, mrCancel);
  // A modal dialog: moved and closed, never resized, minimized or maximized (the window
  // manager used here keeps a minimize of its own whatever the hints say).
  EXPECT_NE(props.find("_NET_WM_WINDOW_TYPE_DIALOG"), std::string::npos) << props;
  EXPECT_NE(props.find("_NET_WM_STATE_MODAL"), std::string::npos) << props;
  EXPECT_NE(props.find("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x1, 0x24, "), std::string::npos)
      << props;
  EXPECT_EQ(props.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << props;
  EXPECT_EQ(props.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << props;
  EXPECT_EQ(ownerClicks, 0);
  EXPECT_TRUE(person_.WaitUntilGone(dialogWindow));
  EXPECT_TRUE(PumpUntil([&] { return person_.FocusWindow() == window; }));
  EXPECT_TRUE(centred);
  // What the dialog covered shows again.
  EXPECT_TRUE(ShowsPicture(window, main));
  // Once the dialog is gone the owner's button works again.
  person_.Click(window, 260, 262);
  EXPECT_TRUE(PumpUntil([&] { return ownerClicks == 1; }));

  // A Yes/No question must be answered: its close box is disabled (Escape says No).
  timer->OnTimer = [&](TObject*) {
    timer->SetEnabled(false);
    if (unsigned long box = person_.WaitForWindow("Confirmation")) {
      props = Xprop(server_->Display(), box, "_MOTIF_WM_HINTS");
      person_.Key("Escape");
    }
  };
  props.clear();
  timer->SetEnabled(true);
  EXPECT_EQ(MessageDlg("Continuer ?", mtConfirmation, MsgButtons({mbYes, mbNo}), 0), mrNo);
  EXPECT_NE(props.find("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x1, 0x4, "), std::string::npos)
      << props;
}

// A hint shows in a frameless window above the form; the pointer leaving the form's window
// reaches the control it was over.
TEST_F(WindowsOnX11, HintsArePopupsAndThePointerLeavingIsHeard) {
  TForm* main = NewForm("Pointer", 300, 200);
  auto* panel = new TPanel(main);
  panel->SetBounds(20, 20, 100, 100);
  panel->SetParent(main);
  int entered = 0, left = 0;
  panel->OnMouseEnter = [&](TObject*) { ++entered; };
  panel->OnMouseLeave = [&](TObject*) { ++left; };
  main->Show();
  unsigned long window = 0;
  ASSERT_TRUE(PumpUntil([&] { return (window = person_.FindWindow("Pointer")) != 0; }));
  person_.MoveTo(window, 50, 50);
  EXPECT_TRUE(PumpUntil([&] { return entered == 1; }));
  int x = 0, y = 0;
  person_.RootPosition(window, &x, &y);
  person_.MoveTo(window, -x + 2, -y + 2);  // the screen's corner, off the window
  EXPECT_TRUE(PumpUntil([&] { return left == 1; }));

  auto hint = std::make_unique<THintWindow>(nullptr);
  hint->ActivateHint(win::RECT{600, 500, 700, 520}, "Aide");
  std::vector<unsigned long> popups;
  ASSERT_TRUE(PumpUntil([&] { return !(popups = person_.Popups()).empty(); }));
  ASSERT_EQ(popups.size(), 1u);
  EXPECT_TRUE(person_.OverrideRedirect(popups[0]));
  ASSERT_TRUE(person_.RootPosition(popups[0], &x, &y));
  EXPECT_EQ(x, 600);
  EXPECT_EQ(y, 500);
  EXPECT_TRUE(person_.IsAbove(popups[0], window));
  win::Surface expected;
  hint->PaintTo(expected);
  EXPECT_TRUE(PumpUntil([&] {
    return xsession::PictureDiff(
               person_, popups[0],
               xsession::Picture{expected.width, expected.height, expected.pixels}, 0, 0) == 0;
  }));
  hint->Hide();
  EXPECT_TRUE(PumpUntil([&] { return person_.Popups().empty(); }));
}

// Space held on a focused button while the keyboard repeats clicks it once, when it comes up.
TEST_F(WindowsOnX11, SpaceHeldOnAButtonClicksItOnce) {
  person_.RepeatKeys(20, 20);
  TForm* main = NewForm("Espace", 200, 100);
  int clicks = 0;
  auto* button = new TButton(main);
  button->SetBounds(20, 20, 100, 25);
  button->SetCaption("OK");
  button->SetParent(main);
  button->OnClick = [&](TObject*) { ++clicks; };
  main->Show();
  unsigned long window = 0;
  ASSERT_TRUE(PumpUntil([&] { return (window = person_.FindWindow("Espace")) != 0; }));
  ASSERT_TRUE(PumpUntil([&] { return person_.FocusWindow() == window; }));
  ASSERT_TRUE(button->Focused());
  person_.Press("space", true);
  auto until = Clock::now() + std::chrono::milliseconds(300);
  PumpUntil([&] { return Clock::now() > until; });  // the key repeats meanwhile
  EXPECT_TRUE(button->Pressed());
  EXPECT_EQ(clicks, 0);
  person_.Press("space", false);
  EXPECT_TRUE(PumpUntil([&] { return clicks > 0; }));
  until = Clock::now() + std::chrono::milliseconds(100);
  PumpUntil([&] { return Clock::now() > until; });
  EXPECT_EQ(clicks, 1);
  person_.RepeatKeys(660, 40);  // the server's usual rate, for the tests after
}

// Clicks and keys given while the hourglass showed are dropped when it goes; later ones work.
TEST_F(WindowsOnX11, InputWhileBusyIsDropped) {
  TForm* main = NewForm("Busy", 300, 200);
  int clicks = 0;
  auto* button = new TButton(main);
  button->SetBounds(20, 20, 100, 25);
  button->SetCaption("Go");
  button->SetParent(main);
  button->OnClick = [&](TObject*) { ++clicks; };
  main->Show();
  unsigned long window = 0;
  ASSERT_TRUE(PumpUntil([&] { return (window = person_.FindWindow("Busy")) != 0; }));
  ASSERT_TRUE(PumpUntil([&] { return person_.FocusWindow() == window; }));

  Screen->SetCursor(crHourGlass);
  person_.Click(window, 40, 30);
  person_.Key("Return");
  Screen->SetCursor(crDefault);
  for (int i = 0; i < 20; ++i) PumpUntil([] { return true; });
  EXPECT_EQ(clicks, 0);

  person_.Click(window, 40, 30);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
}

// A French keyboard (fr, oss variant): AltGr+E types "€", AltGr+O "œ", the dead circumflex then E
// "ê"; they reach the drive step's base folder through the input method, as UTF-8.
TEST_F(WindowsOnX11, AFrenchKeyboardTypesThroughTheInputMethod) {
  ASSERT_EQ(std::system(("setxkbmap -display " + server_->Display() + " fr oss").c_str()), 0);
  forms_.push_back(std::make_unique<TfrmSelectDrive>(nullptr));
  auto* step = static_cast<TfrmSelectDrive*>(forms_.back().get());
  step->InitForm();
  step->SetCaption("Disque");
  step->SetPosition(poScreenCenter);
  step->Show();
  step->edMarqetoFolder->SetFocus();
  unsigned long window = 0;
  ASSERT_TRUE(PumpUntil([&] { return (window = person_.FindWindow("Disque")) != 0; }));
  ASSERT_TRUE(PumpUntil([&] { return person_.FocusWindow() == window; }));
  person_.Key("e", "altgr");
  person_.Key("o", "altgr");
  person_.Key("dead_circumflex");
  person_.Key("e");
  EXPECT_TRUE(PumpUntil([&] { return step->edMarqetoFolder->Text() == "€œê"; }))
      << step->edMarqetoFolder->Text();
  // The server is the whole process's: the next test finds its usual keyboard.
  std::system(("setxkbmap -display " + server_->Display() + " us").c_str());
}

// A balloon hint's window is shaped to the balloon: its corners show what lies beneath.
TEST_F(WindowsOnX11, ABalloonHintIsShapedToItsBalloon) {
  TForm* main = NewForm("Bulle", 300, 200);
  main->SetColor(clWhite);
  auto* balloons = new TVcBalloonHints(main);
  balloons->SetShowBalloon(true);
  auto* panel = new TPanel(main);
  panel->SetBounds(20, 20, 100, 100);
  panel->SetColor(clWhite);
  panel->SetParent(main);
  panel->SetHint("Le serveur Firebird");
  panel->SetShowHint(true);
  main->Show();
  unsigned long window = 0;
  ASSERT_TRUE(PumpUntil([&] { return (window = person_.FindWindow("Bulle")) != 0; }));
  // (The application links the forms it owns; this one is the test's.)
  auto* balloon = dynamic_cast<TVcCustomHintWindow*>(Application->HintWindow());
  ASSERT_NE(balloon, nullptr);
  TVcBalloonHints::ApplySettings(balloons, balloon);
  int hidePause = Application->HintHidePause();
  Application->SetHintHidePause(60000);
  Application->ActivateHint(panel, win::POINT{50, 50});
  std::vector<unsigned long> popups;
  ASSERT_TRUE(PumpUntil([&] { return !(popups = person_.Popups()).empty(); }));
  int x = 0, y = 0;
  ASSERT_TRUE(person_.RootPosition(popups[0], &x, &y));
  xsession::Picture hint = person_.Grab(popups[0]);
  int outside = 0;
  EXPECT_TRUE(PumpUntil([&] {
    if (person_.Popups().empty()) return false;  // (checked while the hint shows)
    xsession::Picture screen = person_.Grab(person_.Root());
    outside = 0;
    for (auto [cx, cy] : {std::pair{1, 1},
                          {hint.width - 2, 1},
                          {1, hint.height - 2},
                          {hint.width - 2, hint.height - 2}})
      outside += screen.At(x + cx, y + cy) != 0xFFFFE1;  // not the hint's pale yellow
    return outside >= 3;
  })) << outside
      << " corners of 4 show the screen";
  Application->CancelHint();
  Application->SetHintHidePause(hidePause);
}

}  // namespace
