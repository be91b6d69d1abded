// The painted radio button: loading the setup dialog's description, the one-checked-per-parent
// rule, mouse tracking, focus and accelerators, and the painted glyph.
#include <gtest/gtest.h>

#include "buttons/VcRadChk.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/WindowPainter.h"
#include "platform/system/Clock.h"

namespace {

class RadioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::clock::SetSimulated(true);
    WindowPainter::InstallControlCanvas();
    form = new TForm(nullptr);
    form->SetClientWidth(320);
    form->SetClientHeight(200);
    form->SetColor(clBtnFace);
    form->Show();
  }
  void TearDown() override { delete form; }
  TVcRadioButton* Make(TWinControl* parent, int top, const std::string& caption) {
    auto* r = new TVcRadioButton(form);
    r->SetParent(parent);
    r->SetBounds(10, top, 200, 17);
    r->SetCaption(caption);
    return r;
  }
  static win::LPARAM At(int x, int y) {
    return win::MAKELPARAM(win::WORD(short(x)), win::WORD(short(y)));
  }
  // The pixels of colour c in the caption of a button made at top 10.
  int CaptionPixels(win::COLORREF c) {
    win::Surface s;
    WindowPainter::PaintClient(form, s);
    int n = 0;
    for (int y = 10; y < 27; ++y)
      for (int x = 10 + 18; x < 10 + 200; ++x) n += s.At(x, y) == c;
    return n;
  }
  win::COLORREF PixelOf(TControl* c, int x, int y) {
    win::Surface s;
    WindowPainter::PaintClient(form, s);
    int ox = 0, oy = 0;
    for (TControl* p = c; p && p != form; p = p->Parent()) ox += p->Left(), oy += p->Top();
    return s.At(ox + x, oy + y);
  }
  TForm* form = nullptr;
};

// The setup dialog's four radio buttons as its description places them.
const char* kDialog =
    "object frmRadios: TForm\n"
    "  Left = 0\n  Top = 0\n  Width = 563\n  Height = 304\n"
    "  object Panel3: TPanel\n"
    "    Left = 0\n    Top = 0\n    Width = 563\n    Height = 263\n"
    "    object Panel2: TPanel\n      Width = 185\n      Height = 263\n      TabOrder = 0\n    "
    "end\n"
    "    object VcRadioButton1: TVcRadioButton\n"
    "      Left = 212\n      Top = 24\n      Width = 269\n      Height = 17\n"
    "      Caption = 'Installer le client Firebird'\n      Checked = True\n"
    "      TabOrder = 1\n      TabStop = True\n    end\n"
    "    object VcRadioButton2: TVcRadioButton\n"
    "      Left = 212\n      Top = 52\n      Width = 269\n      Height = 17\n"
    "      Caption = 'Installer le serveur et le client Firebird '\n      TabOrder = 2\n    end\n"
    "    object VcRadioButton3: TVcRadioButton\n"
    "      Left = 212\n      Top = 80\n      Width = 237\n      Height = 17\n"
    "      Caption = 'D'#233'sinstaller Firebird '\n      TabOrder = 3\n    end\n"
    "    object Edit1: TEdit\n"
    "      Left = 216\n      Top = 170\n      Width = 325\n      Height = 24\n      TabOrder = 4\n "
    "   end\n"
    "    object VcRadioButton4: TVcRadioButton\n"
    "      Left = 212\n      Top = 108\n      Width = 297\n      Height = 17\n"
    "      Caption = 'D'#233'sinstallation brutale de Firebird'\n      TabOrder = 5\n    end\n"
    "  end\n"
    "end\n";

TEST_F(RadioTest, LoadsTheSetupDialogsRadioButtonsAndWritesOnlyWhatItRead) {
  TForm f(nullptr);
  ReadComponentFromText(&f, kDialog, "frmRadios.form");
  auto rb = [&](int i) {
    return dynamic_cast<TVcRadioButton*>(f.FindComponent("VcRadioButton" + std::to_string(i)));
  };
  for (int i = 1; i <= 4; ++i) ASSERT_NE(rb(i), nullptr) << i;
  EXPECT_EQ(rb(3)->Caption(), "D\xC3\xA9sinstaller Firebird ");
  EXPECT_EQ(rb(4)->Left(), 212);
  EXPECT_EQ(rb(4)->Top(), 108);
  EXPECT_EQ(rb(4)->Width(), 297);
  EXPECT_TRUE(rb(1)->Checked());
  EXPECT_FALSE(rb(2)->Checked());
  EXPECT_TRUE(rb(1)->TabStop());
  EXPECT_FALSE(rb(2)->TabStop());
  EXPECT_EQ(rb(1)->TabOrder(), 1);
  EXPECT_EQ(rb(2)->TabOrder(), 2);
  EXPECT_EQ(rb(3)->TabOrder(), 3);
  EXPECT_EQ(rb(4)->TabOrder(), 5);
  EXPECT_EQ(rb(1)->Color(), clWindow);
  std::string written = WriteComponentToText(&f);
  // Defaults are not written: only what the description set.
  for (const char* p :
       {"TextStyle", "Transparent", "WinMaskColor", "About", "Alignment", "Flat", "Color ="})
    EXPECT_EQ(written.find(p), std::string::npos) << p;
  EXPECT_NE(written.find("Checked = True"), std::string::npos);
}

TEST_F(RadioTest, ReadsEveryPublishedPropertyFromADescription) {
  TForm f(nullptr);
  ReadComponentFromText(
      &f,
      "object frmOne: TForm\n  object R: TVcRadioButton\n"
      "    About = aiVisualControls\n    Alignment = taLeftJustify\n"
      "    AlignmentVertical = avTop\n    Flat = True\n    HighlightColor = clRed\n"
      "    LightTextStyle = True\n    ShadowColor = clBlue\n    ShadowDepth = 3\n"
      "    TabOnEnter = True\n    TextStyle = tsShadow\n    Transparent = True\n"
      "    TransparentColor = clLime\n    UseCustomGlyphs = False\n    WinMaskColor = clAqua\n"
      "  end\nend\n",
      "one.form");
  auto* r = dynamic_cast<TVcRadioButton*>(f.FindComponent("R"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Alignment(), TLeftRight::taLeftJustify);
  EXPECT_EQ(r->AlignmentVertical(), avTop);
  EXPECT_TRUE(r->Flat());
  EXPECT_EQ(r->HighlightColor(), clRed);
  EXPECT_TRUE(r->LightTextStyle());
  EXPECT_EQ(r->ShadowDepth(), 3);
  EXPECT_EQ(r->TextStyle(), tsShadow);
  EXPECT_TRUE(r->Transparent());
  EXPECT_EQ(r->WinMaskColor(), clAqua);
  std::string back = WriteComponentToText(&f);
  EXPECT_NE(back.find("TextStyle = tsShadow"), std::string::npos);
  EXPECT_EQ(back.find("About"), std::string::npos);
}

TEST_F(RadioTest, CheckingUnchecksSiblingsOnlyAndClicksTheNewOneOnce) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 100, 300, 60);
  auto* a = Make(form, 10, "A");
  auto* b = Make(form, 30, "B");
  auto* other = Make(panel, 10, "Other");
  other->SetChecked(true);
  int clicksA = 0, clicksB = 0;
  a->OnClick = [&](TObject*) { ++clicksA; };
  b->OnClick = [&](TObject*) { ++clicksB; };
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  EXPECT_TRUE(other->Checked());
  EXPECT_EQ(clicksA, 1);
  EXPECT_EQ(clicksB, 1);
  // Same value: nothing happens.
  b->SetChecked(true);
  EXPECT_EQ(clicksB, 1);
  // The checked one is the tab stop of its group.
  EXPECT_TRUE(b->TabStop());
  EXPECT_FALSE(a->TabStop());
}

TEST_F(RadioTest, MousePressTracksAndChecksOnlyWhenReleasedInside) {
  auto* a = Make(form, 10, "A");
  int clicks = 0;
  a->OnClick = [&](TObject*) { ++clicks; };
  a->Perform(win::WM_LBUTTONDOWN, 0, At(5, 5));
  EXPECT_TRUE(a->Pressed());
  EXPECT_TRUE(a->Focused());
  EXPECT_FALSE(a->Checked());                    // focus from the mouse does not check
  a->Perform(win::WM_MOUSEMOVE, 0, At(200, 5));  // right edge is outside
  EXPECT_FALSE(a->Pressed());
  a->Perform(win::WM_MOUSEMOVE, 0, At(199, 16));
  EXPECT_TRUE(a->Pressed());
  a->Perform(win::WM_MOUSEMOVE, 0, At(-1, 5));
  a->Perform(win::WM_LBUTTONUP, 0, At(-1, 5));
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(clicks, 0);
  a->Perform(win::WM_LBUTTONDOWN, 0, At(5, 5));
  a->Perform(win::WM_MOUSEMOVE, 0, At(300, 5));
  a->Perform(win::WM_MOUSEMOVE, 0, At(5, 5));
  a->Perform(win::WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_TRUE(a->Checked());
  EXPECT_FALSE(a->Pressed());
  EXPECT_EQ(clicks, 1);
}

TEST_F(RadioTest, RightButtonAndDisabledControlDoNothing) {
  auto* a = Make(form, 10, "A");
  auto* b = Make(form, 30, "B");
  a->Perform(win::WM_RBUTTONDOWN, 0, At(5, 5));
  EXPECT_FALSE(a->Focused());
  EXPECT_FALSE(a->Pressed());
  b->SetEnabled(false);
  b->Perform(win::WM_LBUTTONDOWN, 0, At(5, 5));
  b->Perform(win::WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_FALSE(b->Checked());
  EXPECT_FALSE(b->Focused());
  // Disabled while held: the release makes no click.
  a->Perform(win::WM_LBUTTONDOWN, 0, At(5, 5));
  a->SetEnabled(false);
  a->Perform(win::WM_LBUTTONUP, 0, At(5, 5));
  EXPECT_FALSE(a->Checked());
}

TEST_F(RadioTest, FocusAndAcceleratorCheckDownArrowClicks) {
  auto* a = Make(form, 10, "&Alpha");
  auto* b = Make(form, 30, "&Beta");
  a->SetChecked(true);
  b->SetFocus();  // as tabbing onto it does
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(a->Perform(win::CM_DIALOGCHAR, 'x'), 0);
  EXPECT_EQ(a->Perform(win::CM_DIALOGCHAR, 'a'), 1);
  EXPECT_TRUE(a->Focused());
  EXPECT_TRUE(a->Checked());
  int clicks = 0;
  a->OnClick = [&](TObject*) { ++clicks; };
  EXPECT_EQ(a->Perform(win::CM_DIALOGKEY, win::VK_DOWN, ssShift), 0);
  EXPECT_EQ(a->Perform(win::CM_DIALOGKEY, win::VK_DOWN, 0), 1);
  EXPECT_EQ(clicks, 1);
  // The form's own accelerator handling lands on the same state, with one click.
  form->Show();
  EXPECT_EQ(form->Perform(win::CM_DIALOGCHAR, 'b'), 1);
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
}

// Enter on a button with TabOnEnter: a Tab key-down posted to the button, which the form
// then takes to move the focus on.
TEST_F(RadioTest, EnterMovesOnThroughAPostedTab) {
  auto* a = Make(form, 10, "A");
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 40, 100, 20);
  edit->SetTabStop(true);
  a->SetTabOnEnter(true);
  a->SetFocus();
  a->Perform(win::WM_CHAR, '\r');
  EXPECT_TRUE(a->Focused());
  win::MSG msg;
  ASSERT_TRUE(win::PeekMessage(&msg, a->Handle(), 0, 0, win::PM_NOREMOVE));
  EXPECT_EQ(msg.message, win::WM_KEYDOWN);
  EXPECT_EQ(msg.wParam, win::WPARAM(win::VK_TAB));
  UiDriver::RunUntilIdle();
  EXPECT_TRUE(edit->Focused());
}

// A description that binds the click handler before the checked state: the click runs
// while the form loads, as any SetChecked(True) runs it.
TEST_F(RadioTest, CheckedInADescriptionClicksOnceWhileLoading) {
  class TClickForm : public TForm {
   public:
    explicit TClickForm(TComponent* o) : TForm(o) { Method("RadioClick", &TClickForm::RadioClick); }
    void RadioClick(TObject*) { ++clicks; }
    int clicks = 0;
  };
  TClickForm f(nullptr);
  ReadComponentFromText(
      &f,
      "object frmClick: TForm\n  object R1: TVcRadioButton\n    OnClick = RadioClick\n"
      "    Checked = True\n  end\n  object R2: TVcRadioButton\n    OnClick = RadioClick\n"
      "  end\nend\n",
      "click.form");
  EXPECT_EQ(f.clicks, 1);
  auto* r1 = dynamic_cast<TVcRadioButton*>(f.FindComponent("R1"));
  ASSERT_NE(r1, nullptr);
  EXPECT_TRUE(r1->Checked());
}

TEST_F(RadioTest, AnActionDrivesTheCheckedState) {
  auto* a = Make(form, 10, "A");
  auto* act = new TAction(form);
  int runs = 0;
  act->OnExecute = [&](TObject*) { ++runs; };
  a->SetAction(act);
  EXPECT_FALSE(a->Checked());
  act->SetChecked(true);
  EXPECT_TRUE(a->Checked());
  EXPECT_EQ(runs, 1);  // checking runs the button's click: the action
  ASSERT_NE(a->ActionLink(), nullptr);
  EXPECT_TRUE(a->ActionLink()->IsCheckedLinked());
  // Only the action stores the state.
  std::string text = WriteComponentToText(form);
  EXPECT_EQ(text.find("Checked"), text.rfind("Checked"));
}

// --- Painting ---------------------------------------------------------------------------------

TEST_F(RadioTest, PaintsTheGlyphFrameOfItsState) {
  auto* a = Make(form, 10, "Alpha");
  form->Show();
  // Glyph at the left, centred vertically: (17 - 13) / 2 = 2. Centre pixel (6, 8).
  const win::COLORREF window = ColorToRGB(clWindow), black = 0, grey = 0x808080;
  EXPECT_EQ(PixelOf(a, 6, 8), window);
  EXPECT_EQ(PixelOf(a, 4, 2), grey);    // the outer upper-left edge
  EXPECT_EQ(PixelOf(a, 0, 0), window);  // around the glyph: the control's colour
  a->SetChecked(true);
  EXPECT_EQ(PixelOf(a, 6, 8), black);
  a->SetEnabled(false);  // frame 5: grey dot on the button face
  EXPECT_EQ(PixelOf(a, 6, 8), grey);
  EXPECT_EQ(PixelOf(a, 3, 6), ColorToRGB(clBtnFace));
  a->SetChecked(false);  // frame 4
  EXPECT_EQ(PixelOf(a, 6, 8), ColorToRGB(clBtnFace));
  // Left justify puts the glyph at the right edge.
  a->SetEnabled(true);
  a->SetAlignment(TLeftRight::taLeftJustify);
  EXPECT_EQ(PixelOf(a, 200 - 13 + 4, 2), grey);
  EXPECT_EQ(PixelOf(a, 4, 2), window);
}

TEST_F(RadioTest, TransparentButtonShowsItsParentAroundTheGlyph) {
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(0, 0, 300, 100);
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clRed);
  auto* a = Make(panel, 10, "");
  a->SetTransparent(true);
  form->Show();
  EXPECT_EQ(PixelOf(a, 0, 0), 0x0000FFu);    // the panel's red behind the olive corner
  EXPECT_EQ(PixelOf(a, 100, 8), 0x0000FFu);  // and behind the caption area
  EXPECT_EQ(PixelOf(a, 6, 8), ColorToRGB(clWindow));
}

TEST_F(RadioTest, DisabledCaptionIsEmbossedGrey) {
  auto* a = Make(form, 10, "MMMM");
  a->Font()->SetHeight(-13);
  form->Show();
  EXPECT_GT(CaptionPixels(ColorToRGB(clWindowText)), 0);
  a->SetEnabled(false);
  EXPECT_EQ(CaptionPixels(ColorToRGB(clWindowText)), 0);
  EXPECT_GT(CaptionPixels(ColorToRGB(clGrayText)), 0);
  EXPECT_GT(CaptionPixels(ColorToRGB(clBtnHighlight)), 0);
}

TEST_F(RadioTest, RaisedCaptionDrawsOnlyItsLightCopyWithLightTextStyle) {
  auto* a = Make(form, 10, "MMMM");
  a->Font()->SetHeight(-13);
  a->SetHighlightColor(clLime);
  a->SetShadowColor(clRed);
  a->SetTextStyle(tsRaised);
  EXPECT_GT(CaptionPixels(0x00FF00), 0);
  EXPECT_GT(CaptionPixels(0x0000FF), 0);
  a->SetLightTextStyle(true);
  EXPECT_GT(CaptionPixels(0x00FF00), 0);
  EXPECT_EQ(CaptionPixels(0x0000FF), 0);
  a->SetTextStyle(tsRecessed);  // only the dark copy, which is the highlight colour here
  EXPECT_GT(CaptionPixels(0x00FF00), 0);
  EXPECT_EQ(CaptionPixels(0x0000FF), 0);
}

}  // namespace
