// Balloon hints: the component replaces the application's hint window, the window takes its
// settings, places the balloon by corner and screen edges, hides when the mouse moves off
// the anchor, and draws from the corner bitmaps.
#include <gtest/gtest.h>

#include <memory>

#include "controls/VcBHints.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"

namespace {

struct Fixture : ::testing::Test {
  TForm* form = nullptr;
  TButton* button = nullptr;
  TVcBalloonHints* hints = nullptr;
  void SetUp() override {
    Screen->SetSize(800, 600);
    form = new TForm(Application);
    form->SetBorderStyle(bsNone);
    form->SetBounds(0, 0, 800, 600);
    button = new TButton(form);
    button->SetParent(form);
    button->SetBounds(100, 100, 600, 400);
    button->SetHint("Une explication");
    hints = new TVcBalloonHints(form);
  }
  void TearDown() override {
    delete form;
    Application->HintWindowClass = nullptr;
  }
  TVcCustomHintWindow* Window() {
    return dynamic_cast<TVcCustomHintWindow*>(Application->HintWindow());
  }
};

TEST_F(Fixture, ComponentReplacesTheHintWindowAndRestoresIt) {
  auto* w = Window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->BalloonHints(), hints);
  EXPECT_EQ(hints->HintWindow(), w);
  EXPECT_EQ(Application->HintShortPause(), 50);
  hints->SetCaptionWidth(200);
  hints->SetCorner(hcLowerLeft);
  EXPECT_EQ(w->CaptionWidth(), 200);
  EXPECT_EQ(w->Corner(), hcLowerLeft);
  EXPECT_EQ(w->Params().Style, 0x80000020u);
  delete hints;
  hints = nullptr;
  ASSERT_NE(Application->HintWindow(), nullptr);
  EXPECT_EQ(dynamic_cast<TVcCustomHintWindow*>(Application->HintWindow()), nullptr);
}

// A balloon never keeps the focus: given it, it hands it straight back to the control that
// lost it, which hears that it lost and regained the focus and nothing else.
TEST_F(Fixture, FocusGivenToTheBalloonGoesBackToTheControlThatLostIt) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 10, 80, 20);
  int enters = 0, exits = 0;
  edit->OnEnter = [&](TObject*) { ++enters; };
  edit->OnExit = [&](TObject*) { ++exits; };
  form->Show();
  edit->SetFocus();
  Application->ActivateHint(button, {10, 10});
  auto* w = Window();
  ASSERT_TRUE(w->Visible());
  int windowEnters = 0;
  w->OnEnter = [&](TObject*) { ++windowEnters; };
  w->SetFocus();
  EXPECT_TRUE(edit->Focused());
  EXPECT_FALSE(w->Focused());
  EXPECT_EQ(FocusedControl(), edit);
  EXPECT_EQ(windowEnters, 0);
  EXPECT_EQ(enters, 2);
  EXPECT_EQ(exits, 1);
}

TEST_F(Fixture, OneWordHintIsAtLeast55Wide) {
  button->SetHint("Oui");
  Application->ActivateHint(button, {10, 10});
  auto* w = Window();
  EXPECT_TRUE(w->Visible());
  EXPECT_GE(w->Width(), 55);
  EXPECT_EQ(w->HintInfo().HintMaxWidth, 100);
}

TEST_F(Fixture, WithoutBalloonTheBoxSitsBelowRight) {
  hints->SetCorner(hcUpperLeft);
  Application->ActivateHint(button, {50, 50});  // screen (150, 150)
  auto* w = Window();
  // The application's rectangle starts 20 below the pointer; the box grows by 2 around it.
  EXPECT_EQ(w->CornerInUse(), hcLowerRight);
  EXPECT_EQ(w->Left(), 149);
  EXPECT_EQ(w->Top(), 168);
}

TEST_F(Fixture, BalloonTurnsAwayFromScreenEdges) {
  hints->SetShowBalloon(true);
  hints->SetCorner(hcUpperRight);
  form->SetHint("En haut");
  Application->ActivateHint(form, {150, 5});  // near the top of the screen
  auto* w = Window();
  EXPECT_EQ(w->CornerInUse(), hcLowerRight);
  EXPECT_EQ(w->Left(), 151);
  EXPECT_EQ(w->Top(), 5);

  hints->SetCorner(hcLowerRight);
  Application->ActivateHint(form, {790, 200});  // near the right edge
  EXPECT_EQ(w->CornerInUse(), hcLowerLeft);
  EXPECT_EQ(w->Left() + w->Width() + 1, 790);
  EXPECT_EQ(w->Top(), 200);
}

TEST_F(Fixture, MovingThreePixelsOffTheAnchorHidesTheHint) {
  hints->SetShowBalloon(true);
  hints->SetCorner(hcLowerRight);
  int moves = 0;
  button->OnMouseMove = [&](TObject*, TShiftState, int, int) { ++moves; };
  Application->ActivateHint(button, {50, 50});
  auto* w = Window();
  ASSERT_TRUE(w->Visible());
  int ax = 150 - w->Left(), ay = 150 - w->Top();
  w->Perform(win::WM_MOUSEMOVE, 0, win::MAKELPARAM(win::WORD(ax + 1), win::WORD(ay)));
  EXPECT_TRUE(w->Visible());
  w->Perform(win::WM_MOUSEMOVE, 0, win::MAKELPARAM(win::WORD(ax + 3), win::WORD(ay)));
  EXPECT_FALSE(w->Visible());
  EXPECT_FALSE(w->Active());
  EXPECT_EQ(moves, 2) << "moves go on to the hinted control";
}

TEST_F(Fixture, SingleUpperRightBitmapIsFlippedForLowerRight) {
  TImagePicture b;
  b.SetSize(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) b.SetPixels(x, y, y == 0 ? clRed : clBlue);
  hints->Bitmaps()->SetUpperRight(&b);
  hints->SetShowBalloon(true);
  hints->SetCorner(hcLowerRight);
  Application->ActivateHint(button, {50, 50});
  auto* w = Window();
  ASSERT_EQ(w->CornerInUse(), hcLowerRight);
  win::Surface s;
  w->PaintTo(s);
  EXPECT_EQ(s.Row(s.height - 1)[s.width / 2], win::PixelFromColor(0x0000FF))
      << "red row now at the bottom";
  EXPECT_EQ(s.Row(0)[s.width / 2], win::PixelFromColor(0xFF0000));
}

// The corner bitmaps are stored with the form, so that a form sets them.
TEST_F(Fixture, CornerBitmapsAreStoredWithTheForm) {
  TImagePicture b;
  b.SetSize(3, 2);
  b.SetPixels(2, 1, clRed);
  int changes = 0;
  hints->Bitmaps()->OnChange = [&](TObject*) { ++changes; };
  hints->Bitmaps()->SetLowerLeft(&b);
  hints->Bitmaps()->SetLowerLeft(hints->Bitmaps()->LowerLeft());  // its own: nothing
  EXPECT_EQ(changes, 1);
  hints->SetName("Hints");
  const std::string text = WriteComponentToText(hints);
  EXPECT_NE(text.find("Bitmaps.LowerLeft.Data"), std::string::npos) << text;
  EXPECT_EQ(text.find("Bitmaps.UpperRight"), std::string::npos) << text;
  std::unique_ptr<TComponent> copy(CreateComponentFromText(text, "copy", nullptr));
  auto* back = dynamic_cast<TVcBalloonHints*>(copy.get());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Bitmaps()->LowerLeft()->Pixels(2, 1), clRed);
  EXPECT_EQ(back->Bitmaps()->Bitmap(hcLowerLeft)->Width(), 3);
  EXPECT_TRUE(back->Bitmaps()->UpperRight()->Empty());
}

TEST_F(Fixture, BalloonPaintsBodyInTheHintColour) {
  hints->SetShowBalloon(true);
  hints->SetColor(clYellow);
  hints->SetCorner(hcLowerRight);
  Application->ActivateHint(button, {50, 50});
  auto* w = Window();
  win::Surface s;
  w->PaintTo(s);
  EXPECT_EQ(s.Row(s.height / 2)[s.width / 2 + 20], win::PixelFromColor(ColorToRGB(clYellow)));
  // The rounded body's outline, and the pointer reaching the upper-left client corner.
  std::uint32_t shadow = win::PixelFromColor(ColorToRGB(clBtnShadow));
  int outline = 0;
  for (auto px : s.pixels) outline += px == shadow;
  EXPECT_GT(outline, 2 * (s.width - 40));
  EXPECT_EQ(s.Row(2)[2], shadow) << "pointer tip";
}

}  // namespace
