// Painted controls and balloon hints driven by pointer moves rather than direct messages:
// a label's fly-by colour follows the pointer, and a resting pointer shows the balloon
// window that the component put in place of the plain one. Simulated clock.
#include <gtest/gtest.h>

#include <memory>

#include "controls/VcBHints.h"
#include "controls/VcLabel.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/system/Clock.h"

namespace {

struct HoverFixture : ::testing::Test {
  std::unique_ptr<TForm> form;
  TVcLabel* label = nullptr;
  TButton* button = nullptr;
  void SetUp() override {
    win::clock::SetSimulated(true);
    Screen->SetSize(800, 600);
    Application->SetShowHint(true);
    Application->SetHintPause(500);
    Application->SetHintHidePause(2500);
    form = std::make_unique<TForm>(Application);
    form->SetName("HoverBalloonForm");
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 800, 600);
    label = new TVcLabel(form.get());
    label->SetName("Fly");
    label->SetParent(form.get());
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 100, 20);
    label->SetCaption("Survol");
    button = new TButton(form.get());
    button->SetName("Btn");
    button->SetParent(form.get());
    button->SetBounds(200, 200, 100, 30);
    button->SetHint("Une bulle");
    button->SetShowHint(true);
    form->SetVisible(true);
  }
  void TearDown() override {
    UiDriver::MoveMouseAway();
    Application->CancelHint();
    form.reset();  // frees the balloon component, which restores the plain window class
    Application->HintWindowClass = nullptr;
  }
};

TEST_F(HoverFixture, LabelFlyByFollowsThePointer) {
  int entered = 0, left = 0;
  label->OnMouseEnter = [&](TObject*) { ++entered; };
  label->OnMouseLeave = [&](TObject*) { ++left; };
  label->Font()->SetColor(clGreen);
  label->SetFlyByEnabled(true);
  label->SetFlyByColor(clRed);
  UiDriver::MoveMouse(nullptr, "Fly", 5, 5);
  EXPECT_EQ(label->Font()->Color(), clRed);
  UiDriver::MoveMouse(nullptr, "Fly", 50, 8);  // still inside: no second entry
  EXPECT_EQ(entered, 1);
  UiDriver::MoveMouse(nullptr, "Btn");
  EXPECT_EQ(label->Font()->Color(), clGreen);
  EXPECT_EQ(left, 1);
  EXPECT_FALSE(label->IsMouseInside());
}

TEST_F(HoverFixture, RestingPointerShowsTheBalloonWindow) {
  auto* hints = new TVcBalloonHints(form.get());
  hints->SetShowBalloon(true);
  UiDriver::MoveMouse(nullptr, "Btn", 20, 10);
  UiDriver::Advance(499);
  EXPECT_FALSE(Application->HintShowing());
  UiDriver::Advance(1);
  ASSERT_TRUE(Application->HintShowing());
  auto* w = dynamic_cast<TVcCustomHintWindow*>(Application->HintWindow());
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->Active());
  EXPECT_EQ(w->Caption(), "Une bulle");
  EXPECT_EQ(w->HintInfo().HintControl, button);
  // The balloon hides on the application's hide pause like the plain window.
  UiDriver::Advance(2500);
  EXPECT_FALSE(Application->HintShowing());
  // A click ends it too.
  UiDriver::MoveMouse(nullptr, "Fly");
  UiDriver::MoveMouse(nullptr, "Btn");
  UiDriver::Advance(500);
  ASSERT_TRUE(Application->HintShowing());
  UiDriver::Click(nullptr, "Btn");
  EXPECT_FALSE(Application->HintShowing());
}

TEST_F(HoverFixture, WithoutTheComponentThePlainWindowShows) {
  UiDriver::MoveMouse(nullptr, "Btn");
  UiDriver::Advance(500);
  ASSERT_TRUE(Application->HintShowing());
  EXPECT_EQ(dynamic_cast<TVcCustomHintWindow*>(Application->HintWindow()), nullptr);
  EXPECT_EQ(Application->HintWindow()->Caption(), "Une bulle");
}

}  // namespace
