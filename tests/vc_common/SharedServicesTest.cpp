// The frame controller's pushes by property name and the shared blink clock.
#include <gtest/gtest.h>

#include "controls/VcEdit.h"
#include "platform/forms/UiDriver.h"
#include "platform/system/Clock.h"

namespace {

TEST(VcFrameController, PushesByNameOnlyIntoWillingControls) {
  TVcFrameController ctl(nullptr);
  auto* edit = new TVcEdit(nullptr);
  auto* unwilling = new TVcEdit(nullptr);
  auto* plain = new TEdit(nullptr);
  unwilling->SetUseFrameController(false);
  ctl.SetFrameStyle(fsGroove);
  edit->SetFrameController(&ctl);
  EXPECT_EQ(edit->FrameStyle(), fsGroove) << "adding pushes everything at once";
  unwilling->SetFrameController(&ctl);
  ctl.AddControl(plain);  // lacks the properties: left alone, still listed
  ctl.AddControl(edit);   // no duplicate
  EXPECT_EQ(ctl.ControlCount(), 3);
  ctl.SetFrameVisible(true);
  ctl.SetFrameSides({sdTop, sdBottom});
  EXPECT_TRUE(edit->FrameVisible());
  EXPECT_EQ(edit->FrameSides(), (TSides{sdTop, sdBottom}));
  EXPECT_FALSE(unwilling->FrameVisible());
  EXPECT_EQ(unwilling->FrameStyle(), fsFlat);

  // Colour turns the controller's ParentColor off; the control keeps its own until kind 2.
  edit->SetParentColor(true);
  ctl.SetColor(clSilver);
  EXPECT_FALSE(ctl.ParentColor());
  EXPECT_EQ(edit->Color(), clSilver);

  // FrameFlat on the controller makes the frame visible and quiet on all sides.
  ctl.SetFrameFlat(true);
  EXPECT_EQ(ctl.FrameStyle(), fsStatus);
  EXPECT_EQ(ctl.FrameSides(), AllSides);
  EXPECT_TRUE(edit->FrameFlat());

  // Governed settings are not written to the form; a destroyed control leaves the list.
  EXPECT_FALSE(edit->FrameStored());
  delete plain;
  EXPECT_EQ(ctl.ControlCount(), 2);
  delete unwilling;
  delete edit;
  EXPECT_EQ(ctl.ControlCount(), 0);
}

TEST(VcFrameController, DestroyedControllerIsForgotten) {
  auto* ctl = new TVcFrameController(nullptr);
  TVcEdit edit(nullptr);
  edit.SetFrameController(ctl);
  delete ctl;
  EXPECT_EQ(edit.FrameController(), nullptr);
  EXPECT_TRUE(edit.FrameStored());
}

// A control that answers the blink messages as a label does.
class TBlinker : public TGraphicControl {
 public:
  explicit TBlinker(bool blinking) : TGraphicControl(nullptr), FBlinking(blinking) {}
  std::vector<int> states;
  int asked = 0;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_ISBLINKING) {
      ++asked;
      m.Result = FBlinking ? 1 : 0;
      return;
    }
    if (m.Msg == CM_BLINK) {
      states.push_back(int(m.WParam));
      return;
    }
    TGraphicControl::WndProc(m);
  }

 private:
  bool FBlinking;
};

TEST(VcBlinkClock, TicksInStepAndEndsWithTheLastControl) {
  win::clock::SetSimulated(true);
  UiDriver::RunUntilIdle();
  TBlinker on(true), off(false);
  NeedBlinkingControlsList()->Add(&on);
  BlinkingControlsList->Add(&off);
  BlinkingControlsList->Add(&on);
  EXPECT_EQ(BlinkingControlsList->Count(), 2);
  UiDriver::Advance(499);
  EXPECT_TRUE(on.states.empty());
  UiDriver::Advance(1);
  EXPECT_EQ(on.states, (std::vector<int>{0})) << "the first tick shows the normal colour";
  EXPECT_EQ(off.asked, 1);
  EXPECT_TRUE(off.states.empty()) << "a control that is not blinking is only asked";
  BlinkingControlsList->SetIntervalOn(200);
  UiDriver::Advance(500);
  EXPECT_EQ(on.states, (std::vector<int>{0, 1}));
  UiDriver::Advance(200);
  EXPECT_EQ(on.states, (std::vector<int>{0, 1, 0}));

  BlinkingControlsList->Remove(&on);
  FreeBlinkingControlsListIfEmpty();
  ASSERT_NE(BlinkingControlsList, nullptr);
  BlinkingControlsList->Remove(&off);
  FreeBlinkingControlsListIfEmpty();
  EXPECT_EQ(BlinkingControlsList, nullptr);
  EXPECT_EQ(NeedBlinkingControlsList()->IntervalOn(), 500) << "a fresh list starts at 500 ms";
  FreeBlinkingControlsListIfEmpty();
  EXPECT_EQ(BlinkingControlsList, nullptr);
}

}  // namespace
