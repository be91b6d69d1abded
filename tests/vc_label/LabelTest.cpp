// The label: angle and rotation rules, font replacement, blinking on the shared clock,
// fly-by colour, borders and auto size, and what its paint leaves on a form.
#include <gtest/gtest.h>

#include "controls/VcLabel.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/WindowPainter.h"

namespace {

using win::Surface;

struct Fixture : ::testing::Test {
  TForm* form = nullptr;
  void SetUp() override {
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 200, 120);
    form->SetColor(clWhite);
  }
  void TearDown() override { delete form; }
  TVcLabel* Make(int l, int t, int w, int h, const std::string& caption) {
    auto* lb = new TVcLabel(form);
    lb->SetParent(form);
    lb->SetAutoSize(false);
    lb->SetBounds(l, t, w, h);
    lb->SetCaption(caption);
    return lb;
  }
  Surface Paint() {
    Surface s;
    form->SetVisible(true);
    WindowPainter::PaintWindow(form, s);
    return s;
  }
  static int Count(const Surface& s, win::RECT r, std::uint32_t px) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += s.Row(y)[x] == px;
    return n;
  }
};

std::uint32_t Px(TColor c) { return win::PixelFromColor(ColorToRGB(c)); }

TEST_F(Fixture, AngleIsKeptInRangeAndSwitchesRotationOn) {
  auto* l = Make(0, 0, 80, 20, "Texte");
  l->SetAngle(370);
  EXPECT_EQ(l->Angle(), 10);
  EXPECT_EQ(l->Rotation(), roFlat);
  l->SetAngle(-90);
  EXPECT_EQ(l->Angle(), 270);
  // Far below -360 still lands inside 0..359. Kept as 360 + v (-40), the angle would be
  // written to the form and read back as 320, and a vertical label set to -450 would keep
  // its unrotated size (see the auto-size test).
  l->SetAngle(-400);
  EXPECT_EQ(l->Angle(), 320);

  l->SetRotation(roCurve);
  l->SetCenterPoint(cpLowerLeft);
  EXPECT_EQ(l->Angle(), 320) << "curve keeps the angle";
  EXPECT_EQ(l->CenterPoint(), cpLowerLeft);
  l->SetRotation(roFlat);
  EXPECT_EQ(l->Angle(), 0);
  EXPECT_EQ(l->CenterPoint(), cpCenter);
  l->SetAngle(45);
  l->SetRotation(roNone);
  EXPECT_EQ(l->Angle(), 0);
}

TEST_F(Fixture, RotationNeedsATrueTypeFace) {
  auto* l = Make(0, 0, 80, 20, "Texte");
  ASSERT_EQ(l->Font()->Name(), "MS Sans Serif");
  l->SetRotation(roFlat);
  EXPECT_EQ(l->Font()->Name(), "Verdana");
  l->SetAngle(30);
  l->Font()->SetName("MS Sans Serif");
  EXPECT_EQ(l->Angle(), 0) << "a face that cannot turn resets the angle";
}

TEST_F(Fixture, BlinksOnTheSharedClockAndReturnsToItsColour) {
  auto* l = Make(0, 0, 80, 20, "Texte");
  l->Font()->SetColor(clRed);
  l->SetBlinkColor(clBlue);
  EXPECT_EQ(l->Perform(CM_ISBLINKING), 0);
  l->Perform(CM_BLINK, 1);
  EXPECT_EQ(l->DisplayColor(), clRed) << "a label that does not blink ignores the clock";
  l->SetBlinking(true);
  EXPECT_EQ(l->Perform(CM_ISBLINKING), 1);
  ASSERT_NE(BlinkingControlsList, nullptr);
  BlinkingControlsList->TimerFired(nullptr);  // to the normal colour
  EXPECT_EQ(l->DisplayColor(), clRed);
  BlinkingControlsList->TimerFired(nullptr);  // to the blink colour
  EXPECT_EQ(l->DisplayColor(), clBlue);
  l->SetBlinking(false);
  EXPECT_EQ(l->DisplayColor(), clRed);

  l->SetBlinkIntervalOn(300);
  auto* other = Make(0, 30, 80, 20, "Autre");
  EXPECT_EQ(other->BlinkIntervalOn(), 300) << "the intervals are shared";
}

TEST_F(Fixture, LastLabelFreesTheClock) {
  delete form;
  form = nullptr;
  EXPECT_EQ(BlinkingControlsList, nullptr);
  TVcLabel l(nullptr);
  ASSERT_NE(BlinkingControlsList, nullptr);
  EXPECT_EQ(l.BlinkIntervalOn(), 500);
  EXPECT_EQ(l.BlinkIntervalOff(), 500);
  form = new TForm(nullptr);
}

TEST_F(Fixture, FlyByColourWhileThePointerIsOver) {
  auto* l = Make(0, 0, 80, 20, "Texte");
  int entered = 0, left = 0;
  l->OnMouseEnter = [&](TObject*) { ++entered; };
  l->OnMouseLeave = [&](TObject*) { ++left; };
  l->Font()->SetColor(clGreen);
  l->SetFlyByEnabled(true);
  l->SetFlyByColor(clRed);
  l->Perform(win::CM_MOUSEENTER);
  EXPECT_EQ(l->Font()->Color(), clRed);
  EXPECT_EQ(l->DisplayColor(), clRed);
  l->Perform(win::CM_MOUSELEAVE);
  EXPECT_EQ(l->Font()->Color(), clGreen);
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(left, 1);
}

TEST_F(Fixture, TextRectangleLeavesFrameBandAndBorders) {
  auto* l = Make(0, 0, 100, 50, "Texte");
  EXPECT_EQ(l->DeflateForBorders(Rect(0, 0, 100, 50), true).left, 0);
  l->SetFrameSides(TSides{sdLeft, sdTop});
  l->SetBorderWidth(3);
  l->SetBorderOuter(fsLowered);
  l->SetBorderInner(fsStatus);
  l->SetBevelWidth(4);
  l->SetBorderSides(TSides{sdLeft, sdRight});
  TRect r = l->DeflateForBorders(Rect(0, 0, 100, 50), true);
  EXPECT_EQ(r.left, 1 + 3 + 2 + 4);
  EXPECT_EQ(r.top, 1 + 3);
  EXPECT_EQ(r.right, 100 - 3 - 2 - 4);
  EXPECT_EQ(r.bottom, 50 - 3);
}

TEST_F(Fixture, AutoSizedFlatLabelAt90SwapsWidthAndHeight) {
  auto* l = Make(10, 10, 10, 10, "Un texte assez long");
  l->SetAutoSize(true);
  int w = l->Width(), h = l->Height();
  ASSERT_GT(w, h);
  l->SetAngle(90);
  EXPECT_EQ(l->Height(), w - 1);
  EXPECT_EQ(l->Width(), h + 1);
  // -450 is 270: upright text turned the other way, the same box.
  l->SetAngle(0);
  l->SetAngle(-450);
  EXPECT_EQ(l->Angle(), 270);
  EXPECT_EQ(l->Height(), w - 1);
  EXPECT_EQ(l->Width(), h + 1);
}

TEST_F(Fixture, PlainLabelDrawsNoBorderAndBlackFrameSides) {
  auto* plain = Make(10, 10, 80, 20, "Texte");
  plain->SetColor(clYellow);
  auto* framed = Make(10, 50, 80, 20, "");
  framed->SetColor(clYellow);
  framed->SetFrameSides(TSides{sdLeft, sdBottom});
  Surface s = Paint();
  EXPECT_EQ(s.Row(10)[10], Px(clYellow)) << "no border at all";
  EXPECT_EQ(s.Row(29)[89], Px(clYellow));
  EXPECT_GT(Count(s, {10, 10, 90, 30}, Px(clWindowText)), 10) << "the caption";
  EXPECT_EQ(s.Row(50)[10], 0u);
  EXPECT_EQ(s.Row(69)[50], 0u);
  EXPECT_EQ(s.Row(50)[50], Px(clYellow)) << "no top side";
}

TEST_F(Fixture, DisabledLabelIsEmbossedGrey) {
  auto* l = Make(10, 10, 80, 20, "Grisé");
  l->SetColor(clYellow);
  l->SetTextStyle(tsShadow);
  l->SetShadowColor(clRed);
  l->SetEnabled(false);
  Surface s = Paint();
  win::RECT r{10, 10, 90, 30};
  EXPECT_GT(Count(s, r, Px(clGrayText)), 10);
  EXPECT_GT(Count(s, r, Px(clBtnHighlight)), 5);
  EXPECT_EQ(Count(s, r, Px(clRed)), 0) << "no shadow copy when disabled";
  EXPECT_EQ(Count(s, r, Px(clWindowText)), 0);
}

TEST_F(Fixture, ShadowAndRotatedTextDrawInTheirColours) {
  auto* l = Make(10, 10, 80, 30, "Ombre");
  l->SetColor(clYellow);
  l->SetTextStyle(tsShadow);
  l->SetShadowColor(clRed);
  auto* r = Make(100, 10, 30, 100, "Tourné");
  r->SetColor(clYellow);
  r->SetAngle(90);
  r->Font()->SetColor(clBlue);
  Surface s = Paint();
  EXPECT_GT(Count(s, {10, 10, 90, 40}, Px(clRed)), 5);
  EXPECT_GT(Count(s, {10, 10, 90, 40}, Px(clWindowText)), 10);
  // Turned upright and left-justified: the text starts at the bottom and runs up.
  int first = -1, last = -1;
  for (int y = 10; y < 110; ++y)
    if (Count(s, {100, y, 130, y + 1}, Px(clBlue))) last = y, first = first < 0 ? y : first;
  ASSERT_GE(first, 0);
  EXPECT_GT(last - first, 25) << "the run is taller than a line";
  EXPECT_GT(first, 50) << "in the lower part";
  EXPECT_GE(last, 100);
}

TEST_F(Fixture, CurvedTextOnAThinLabelDoesNotFail) {
  auto* l = Make(10, 10, 4, 4, "Courbe");
  l->SetRotation(roCurve);
  l->SetBorderWidth(3);
  EXPECT_NO_THROW(Paint());
}

TEST_F(Fixture, StoredDescriptionKeepsEmptyFrameSides) {
  auto* l = Make(10, 10, 80, 20, "Texte");
  l->SetName("VcLabel1");
  form->SetName("Form1");
  std::string text = WriteComponentToText(form);
  EXPECT_NE(text.find("FrameSides = []"), std::string::npos) << text;
  EXPECT_EQ(text.find("About"), std::string::npos);
}

}  // namespace
