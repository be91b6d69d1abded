// The mouse over controls: enter and leave messages once per crossing, parents included,
// and hints that show after the pause, hide after the hide pause, come quicker from a
// neighbouring control and go on a click or a key. Simulated clock throughout.
#include <memory>
#include <string>
#include <vector>

#include "FormTestSupport.h"
#include "platform/forms/HintWindow.h"
#include "platform/forms/StdCtrls.h"

namespace {

struct HoverTest : FormsTest {
  std::unique_ptr<TForm> form;
  TPanel* panel = nullptr;
  TButton* a = nullptr;
  TButton* b = nullptr;
  TButton* far = nullptr;  // on the form, apart from the panel
  std::vector<std::string> log;

  void SetUp() override {
    FormsTest::SetUp();
    Application->SetShowHint(true);
    Application->SetHintPause(500);
    Application->SetHintShortPause(50);
    Application->SetHintHidePause(2500);
    form = std::make_unique<TForm>(Application);
    form->SetName("HoverForm");
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 400, 300);
    panel = new TPanel(form.get());
    panel->SetName("Panel");
    panel->SetParent(form.get());
    panel->SetBounds(10, 10, 200, 100);
    a = new TButton(form.get());
    a->SetName("A");
    a->SetParent(panel);
    a->SetBounds(10, 10, 80, 25);
    a->SetHint("Premier|Le premier bouton");
    b = new TButton(form.get());
    b->SetName("B");
    b->SetParent(panel);
    b->SetBounds(100, 10, 80, 25);
    b->SetHint("Second");
    far = new TButton(form.get());
    far->SetName("Far");
    far->SetParent(form.get());
    far->SetBounds(250, 200, 80, 25);
    far->SetHint("Loin");
    // Set after the children exist: those following their parent take it too.
    form->SetShowHint(true);
    for (TControl* c : std::vector<TControl*>{form.get(), panel, a, b, far}) {
      std::string n = c->Name();
      c->OnMouseEnter = [this, n](TObject*) { log.push_back("+" + n); };
      c->OnMouseLeave = [this, n](TObject*) { log.push_back("-" + n); };
    }
    form->SetVisible(true);
  }
  void TearDown() override {
    UiDriver::MoveMouseAway();
    form.reset();
    Application->OnShowHint = nullptr;
    FormsTest::TearDown();
  }
  bool Shown() { return Application->HintShowing(); }
  std::string ShownText() {
    return Application->HintWindow() ? Application->HintWindow()->Caption() : "";
  }
  std::vector<std::string> TakeLog() { return std::exchange(log, {}); }
};

TEST_F(HoverTest, EnterAndLeaveFollowThePointerOncePerCrossing) {
  UiDriver::MoveMouse(nullptr, "A", 5, 5);
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"+HoverForm", "+Panel", "+A"}));
  EXPECT_TRUE(a->IsMouseInside());
  EXPECT_TRUE(panel->IsMouseInside());
  EXPECT_EQ(MouseControl(), a);

  UiDriver::MoveMouse(nullptr, "A", 20, 7);  // moving inside changes nothing
  EXPECT_TRUE(TakeLog().empty());

  // To a neighbour on the same panel: the panel and form stay entered.
  UiDriver::MoveMouse(nullptr, "B");
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"-A", "+B"}));
  EXPECT_FALSE(a->IsMouseInside());
  EXPECT_TRUE(b->IsMouseInside());

  // The panel's own area between the buttons: only B is left.
  UiDriver::MoveMouse(nullptr, "Panel", 5, 80);
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"-B"}));
  EXPECT_EQ(MouseControl(), panel);

  // Across to a button outside the panel: innermost leaves first, then the entry.
  UiDriver::MoveMouse(nullptr, "Far");
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"-Panel", "+Far"}));

  UiDriver::MoveMouseAway();
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"-Far", "-HoverForm"}));
  EXPECT_EQ(MouseControl(), nullptr);
  EXPECT_FALSE(form->IsMouseInside());
}

TEST_F(HoverTest, PointerLandsOnWhatIsTopmostAndSurvivesFreedControls) {
  // A point of the panel that a button covers is the button.
  UiDriver::MoveMouse(nullptr, "Panel", 15, 15);
  EXPECT_EQ(MouseControl(), a);
  TakeLog();
  // The control under the pointer is freed: the next move does not reach it.
  delete a;
  a = nullptr;
  UiDriver::MoveMouse(nullptr, "B");
  EXPECT_EQ(TakeLog(), (std::vector<std::string>{"+B"}));
  EXPECT_EQ(MouseControl(), b);
  // Hidden controls cannot be hovered.
  far->SetVisible(false);
  EXPECT_THROW(UiDriver::MoveMouse(nullptr, "Far"), EUiScriptError);
  // A move handler sees where the pointer is.
  int mx = -1, my = -1;
  b->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { mx = x, my = y; };
  UiDriver::MoveMouse(nullptr, "B", 7, 9);
  EXPECT_EQ(mx, 7);
  EXPECT_EQ(my, 9);
}

TEST_F(HoverTest, HintShowsAfterThePauseAndHidesAfterTheHidePause) {
  UiDriver::MoveMouse(nullptr, "A", 5, 5);
  UiDriver::Advance(499);
  EXPECT_FALSE(Shown());
  // Small moves inside the control do not start the pause again.
  UiDriver::MoveMouse(nullptr, "A", 6, 6);
  UiDriver::Advance(1);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(ShownText(), "Premier");  // the short part only
  EXPECT_EQ(Application->HintControl(), a);
  // Below the pointer, in screen coordinates.
  win::POINT at = ControlToScreen(a, {6, 6});
  EXPECT_EQ(Application->HintWindow()->Left(), at.x);
  EXPECT_EQ(Application->HintWindow()->Top(), at.y + 20);

  UiDriver::Advance(2499);
  EXPECT_TRUE(Shown());
  UiDriver::Advance(1);
  EXPECT_FALSE(Shown());
  // Once hidden it stays so while the pointer rests, or moves, on the same control.
  UiDriver::MoveMouse(nullptr, "A", 30, 10);
  UiDriver::Advance(5000);
  EXPECT_FALSE(Shown());
  // Leaving and coming back starts again, with the full pause.
  UiDriver::MoveMouse(nullptr, "Panel", 5, 80);
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(499);
  EXPECT_FALSE(Shown());
  UiDriver::Advance(1);
  EXPECT_TRUE(Shown());
}

TEST_F(HoverTest, NeighbourShowsItsHintAfterTheShortPause) {
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  UiDriver::MoveMouse(nullptr, "B");
  EXPECT_FALSE(Shown());  // the old hint goes at once
  UiDriver::Advance(49);
  EXPECT_FALSE(Shown());
  UiDriver::Advance(1);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(ShownText(), "Second");
  EXPECT_EQ(Application->HintControl(), b);
  // A hint-less stretch on the way ends the quick succession.
  UiDriver::MoveMouse(nullptr, "Panel", 5, 80);
  EXPECT_FALSE(Shown());
  EXPECT_EQ(Application->HintControl(), nullptr);
  UiDriver::MoveMouse(nullptr, "Far");
  UiDriver::Advance(50);
  EXPECT_FALSE(Shown());
  UiDriver::Advance(450);
  EXPECT_TRUE(Shown());
  EXPECT_EQ(ShownText(), "Loin");
  // Passing over a control before its pause ran out shows nothing there.
  Application->CancelHint();
  UiDriver::MoveMouse(nullptr, "Panel", 5, 80);
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(200);
  UiDriver::MoveMouse(nullptr, "Panel", 5, 80);
  UiDriver::Advance(1000);
  EXPECT_FALSE(Shown());
}

TEST_F(HoverTest, ClickOrKeyCancelsTheHint) {
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  UiDriver::Click(nullptr, "A");
  EXPECT_FALSE(Shown());
  UiDriver::Advance(3000);
  EXPECT_FALSE(Shown());  // not back while the pointer stays

  // A click during the pause: the hint never comes.
  UiDriver::MoveMouse(nullptr, "B");
  UiDriver::Advance(300);
  UiDriver::Click(nullptr, "B");
  UiDriver::Advance(1000);
  EXPECT_FALSE(Shown());

  // A key.
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  UiDriver::Key(win::VK_SPACE);
  EXPECT_FALSE(Shown());

  // A click that arrives through the queue (as the display back-end posts them).
  UiDriver::MoveMouse(nullptr, "Far");
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  win::PostMessage(far->Handle(), win::WM_LBUTTONDOWN, 0, win::MAKELPARAM(5, 5));
  win::PostMessage(far->Handle(), win::WM_LBUTTONUP, 0, win::MAKELPARAM(5, 5));
  UiDriver::RunUntilIdle();
  EXPECT_FALSE(Shown());

  // A plain mouse move through the queue is not one of them.
  UiDriver::MoveMouse(nullptr, "B");
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  win::PostMessage(b->Handle(), win::WM_MOUSEMOVE, 0, win::MAKELPARAM(6, 6));
  UiDriver::RunUntilIdle();
  EXPECT_TRUE(Shown());
}

TEST_F(HoverTest, WhetherAHintMayShow) {
  // The control's own ShowHint off.
  a->SetShowHint(false);
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(1000);
  EXPECT_FALSE(Shown());
  // Back to following its parent.
  a->SetParentShowHint(true);
  EXPECT_TRUE(a->ShowHint());
  UiDriver::MoveMouse(nullptr, "B");
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::Advance(500);
  EXPECT_TRUE(Shown());
  Application->CancelHint();

  // The parent's ShowHint reaches children that follow it, down the tree.
  form->SetShowHint(false);
  EXPECT_FALSE(panel->ShowHint());
  EXPECT_FALSE(b->ShowHint());
  UiDriver::MoveMouse(nullptr, "B");
  UiDriver::Advance(1000);
  EXPECT_FALSE(Shown());
  form->SetShowHint(true);

  // No hint of its own: the parent's shows.
  b->SetHint("");
  panel->SetHint("Le panneau");
  UiDriver::MoveMouse(nullptr, "A");
  UiDriver::MoveMouse(nullptr, "B");
  UiDriver::Advance(1000);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(ShownText(), "Le panneau");
  Application->CancelHint();

  // The application's switch.
  Application->SetShowHint(false);
  UiDriver::MoveMouse(nullptr, "Far");
  UiDriver::Advance(1000);
  EXPECT_FALSE(Shown());
  Application->SetShowHint(true);
}

TEST_F(HoverTest, OnShowHintDecidesAndMayMoveTheCursorRect) {
  int calls = 0;
  Application->OnShowHint = [&](std::string& text, bool& canShow, THintInfo& info) {
    ++calls;
    EXPECT_EQ(info.HintControl, a);
    EXPECT_EQ(info.CursorPos.x, 5);
    if (calls == 1) {
      canShow = false;
      return;
    }
    text = "Changé";
    info.CursorRect = win::RECT{0, 0, 40, 25};  // only the left half of the button
  };
  UiDriver::MoveMouse(nullptr, "A", 5, 5);
  UiDriver::Advance(1000);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(Shown());
  UiDriver::MoveMouse(nullptr, "Panel", 5, 80);
  UiDriver::MoveMouse(nullptr, "A", 5, 5);
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  EXPECT_EQ(ShownText(), "Changé");
  // Inside the rectangle the hint stays; past it, it goes and comes back quickly.
  UiDriver::MoveMouse(nullptr, "A", 30, 5);
  EXPECT_TRUE(Shown());
  Application->OnShowHint = nullptr;
  UiDriver::MoveMouse(nullptr, "A", 60, 5);
  EXPECT_FALSE(Shown());
  UiDriver::Advance(50);
  EXPECT_TRUE(Shown());
  EXPECT_EQ(ShownText(), "Premier");
}

TEST_F(HoverTest, FreedHintControlEndsItsHint) {
  UiDriver::MoveMouse(nullptr, "B");
  UiDriver::Advance(500);
  ASSERT_TRUE(Shown());
  delete b;
  b = nullptr;
  EXPECT_FALSE(Shown());
  EXPECT_EQ(Application->HintControl(), nullptr);
  UiDriver::Advance(5000);
  EXPECT_FALSE(Shown());
  // Freed during its pause: nothing shows, nothing breaks.
  UiDriver::MoveMouse(nullptr, "A");
  delete a;
  a = nullptr;
  UiDriver::Advance(1000);
  EXPECT_FALSE(Shown());
}

}  // namespace
