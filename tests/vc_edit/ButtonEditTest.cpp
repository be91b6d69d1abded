// The framed edit and the button edit driven as a user would, and loaded from descriptions.
#include <gtest/gtest.h>

#include "controls/VcBtnEdt.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/WindowPainter.h"
#include "platform/system/Clock.h"
#include "tests/support/TempMachine.h"

namespace {

class VcEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::clock::SetSimulated(true);
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    form = new TForm(nullptr);
    form->SetBounds(0, 0, 300, 200);
    form->SetName("frmTest");
  }
  void TearDown() override {
    delete form;
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  template <class T>
  T* Add(const std::string& name, int top) {
    auto* c = new T(form);
    c->SetName(name);
    c->SetParent(form);
    c->SetTop(top);
    return c;
  }
  TForm* form = nullptr;
};

TEST_F(VcEditTest, ButtonEditDefaultsF4AndTheKeyEditLock) {
  auto* be = Add<TVcButtonEdit>("VcButtonEdit1", 10);
  int clicks = 0, alt = 0;
  be->OnButtonClick = [&](TObject*) { ++clicks; };
  be->OnAltBtnClick = [&](TObject*) { ++alt; };
  EXPECT_EQ(be->Text(), "") << "no text from the name";
  EXPECT_EQ(be->Width(), 121);
  EXPECT_EQ(be->ButtonShortCut(), 115);
  EXPECT_TRUE(be->ButtonVisible());
  EXPECT_FALSE(be->AltBtnVisible());
  EXPECT_EQ(be->ButtonNumGlyphs(), 2);
  EXPECT_EQ(be->ButtonGlyph()->Width(), 20);
  EXPECT_EQ(be->Pair()->Width(), 17) << "one visible button";
  EXPECT_EQ(be->RightMargin(), 19) << "text stops before the buttons";
  form->Show();
  be->SetFocus();
  UiDriver::Key(0x73);  // F4
  EXPECT_EQ(clicks, 1);
  UiDriver::Chars("ab");
  EXPECT_EQ(be->Text(), "ab");

  // The alt button has no shortcut: ordinary keys never press it.
  be->SetAltBtnVisible(true);
  EXPECT_EQ(be->Pair()->Width(), 34);
  UiDriver::Key('A');
  EXPECT_EQ(alt, 0);
  EXPECT_EQ(be->Text(), "aba");
  be->SetAltBtnShortCut(TextToShortCut("Ctrl+F4"));
  UiDriver::Key(0x73, ssCtrl);
  EXPECT_EQ(alt, 1);
  EXPECT_EQ(clicks, 1);

  // Hidden or disabled, F4 does nothing special.
  be->SetButtonVisible(false);
  UiDriver::Key(0x73);
  EXPECT_EQ(clicks, 1);
  be->SetButtonVisible(true);

  // Locked: typing, Backspace, Delete, paste and cut change nothing; code still can.
  be->SetAllowKeyEdit(false);
  UiDriver::Chars("xy");
  UiDriver::Key(win::VK_BACK);
  UiDriver::Key(win::VK_HOME);
  UiDriver::Key(win::VK_DELETE);
  be->Perform(0x0302);  // WM_PASTE
  be->Perform(0x0300);  // WM_CUT
  EXPECT_EQ(be->Text(), "aba");
  UiDriver::Key(0x73);
  EXPECT_EQ(clicks, 2) << "the buttons still work";
  be->SetText("set by code");
  EXPECT_EQ(be->Text(), "set by code");

  // Disabling the edit disables both buttons.
  be->SetEnabled(false);
  EXPECT_FALSE(be->Pair()->Button()->Enabled());
  EXPECT_FALSE(be->Pair()->AltBtn()->Enabled());
}

TEST_F(VcEditTest, GlyphKindsSizeAndLayout) {
  auto* be = Add<TVcButtonEdit>("be", 10);
  TBitmap custom(10, 10);
  be->SetButtonGlyph(&custom);
  EXPECT_EQ(be->ButtonKind(), bkCustom);
  EXPECT_EQ(be->ButtonGlyph()->Width(), 10);
  be->SetButtonKind(bkLookup);
  EXPECT_EQ(be->ButtonGlyph()->Width(), 20) << "the stock glyph is back";
  be->SetButtonKind(bkFolder);
  TBitmap* folder = GetButtonKindGlyph(bkFolder);
  EXPECT_EQ(GetButtonKindGlyph(bkFolder), folder) << "cached";
  EXPECT_EQ(be->ButtonGlyph()->Pixels(5, 7), TColor(folder->Surface().At(5, 7)));
  EXPECT_EQ(GetButtonKindGlyph(bkCustom), nullptr);

  // Too small for its font: grows to the font height + 2, and the pair follows.
  be->SetHeight(5);
  EXPECT_EQ(be->Height(), GetFontHeight(be->Font()));
  be->SetBounds(0, 0, 150, 25);
  EXPECT_EQ(be->Pair()->Left(), 150 - 17 - 4);
  EXPECT_EQ(be->Pair()->Height(), 22);
  be->SetAltBtnVisible(true);
  be->SetButtonVisible(false);
  EXPECT_EQ(be->Pair()->AltBtn()->Left(), 0) << "the alt button alone sits at the left";
}

TEST_F(VcEditTest, LoadsLegacyShortcutTextAndWritesTheNumber) {
  auto* be = Add<TVcButtonEdit>("be", 10);
  (void)be;
  const std::string text =
      "object frmTest: TForm\n"
      "  object be: TVcButtonEdit\n"
      "    ButtonShortCutText = 'F6'\n"
      "    Color = clSilver\n"
      "    Enabled = False\n"
      "    ReadOnly = True\n"
      "  end\n"
      "end\n";
  delete be;
  TForm loaded(nullptr);
  ReadComponentFromText(&loaded, text, "test.form");
  auto* edit = dynamic_cast<TVcButtonEdit*>(loaded.FindComponent("be"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->ButtonShortCut(), 0x75);
  EXPECT_EQ(edit->Color(), clSilver);
  EXPECT_FALSE(edit->Pair()->Button()->Enabled());
  std::string out = WriteComponentToText(&loaded);
  EXPECT_NE(out.find("ButtonShortCut = 117"), std::string::npos) << out;
  EXPECT_EQ(out.find("ShortCutText"), std::string::npos) << out;
  EXPECT_EQ(out.find("ButtonGlyph"), std::string::npos) << "stock glyphs are not stored";
}

TEST_F(VcEditTest, FlatFrameFollowsFocusAndPointer) {
  auto* a = Add<TVcEdit>("a", 10);
  auto* b = Add<TVcEdit>("b", 40);
  a->SetFrameFlat(true);
  EXPECT_TRUE(a->FrameVisible());
  EXPECT_EQ(a->FrameStyle(), fsStatus);
  form->Show();
  EXPECT_EQ(a->FrameStyle(), fsLowered) << "the first edit has the keyboard once the form shows";
  b->SetFocus();
  EXPECT_EQ(a->FrameStyle(), fsStatus);
  a->Perform(win::CM_MOUSEENTER);
  EXPECT_EQ(a->FrameStyle(), fsLowered);
  a->Perform(win::CM_MOUSELEAVE);
  EXPECT_EQ(a->FrameStyle(), fsStatus);
  a->SetFocus();
  EXPECT_EQ(a->FrameStyle(), fsLowered);
  a->Perform(win::CM_MOUSEENTER);
  a->Perform(win::CM_MOUSELEAVE);
  EXPECT_EQ(a->FrameStyle(), fsLowered) << "focused: stays emphasised when the pointer leaves";
  b->SetFocus();
  EXPECT_EQ(a->FrameStyle(), fsStatus);

  // A non-flat edit keeps its style.
  b->SetFrameStyle(fsRaised);
  b->Perform(win::CM_MOUSEENTER);
  EXPECT_EQ(b->FrameStyle(), fsRaised);
}

TEST_F(VcEditTest, FrameIsPaintedOnlyWhenVisible) {
  auto* e = Add<TVcEdit>("e", 10);
  e->SetLeft(10);
  form->Show();
  win::Surface plain, framed;
  WindowPainter::PaintClient(form, plain);
  e->SetFrameVisible(true);
  e->SetFrameStyle(fsFlat);
  e->SetFrameColor(clRed);
  e->SetFrameSides({sdLeft});
  WindowPainter::PaintClient(form, framed);
  int y = 10 + e->Height() / 2;
  EXPECT_NE(plain.At(10, y), win::COLORREF(ColorToRGB(clRed)));
  EXPECT_EQ(framed.At(10, y), win::COLORREF(ColorToRGB(clRed)));
  EXPECT_EQ(framed.At(10 + e->Width() - 1, y), win::COLORREF(ColorToRGB(clWindow)))
      << "a side left out shows the control colour";
}

// Enter becomes a Tab key-down posted to the control's own window; when the loop hands it
// over, the form moves the focus as for Tab (backwards with Shift).
TEST_F(VcEditTest, TabOnEnterMovesTheFocusThroughAPostedTabAndTypesNothing) {
  auto* a = Add<TVcEdit>("a", 10);
  auto* b = Add<TVcEdit>("b", 40);
  auto* c = Add<TVcButtonEdit>("c", 70);
  a->SetTabOnEnter(true);
  c->SetTabOnEnter(true);
  int presses = 0;
  a->OnKeyPress = [&](TObject*, char& k) {
    if (k == '\r') ++presses;
  };
  form->Show();
  a->SetFocus();
  UiDriver::Key(win::VK_RETURN);
  EXPECT_TRUE(a->Focused()) << "nothing moves before the posted key arrives";
  win::MSG msg;
  ASSERT_TRUE(win::PeekMessage(&msg, a->Handle(), 0, 0, win::PM_NOREMOVE));
  EXPECT_EQ(msg.message, win::WM_KEYDOWN);
  EXPECT_EQ(msg.wParam, win::WPARAM(win::VK_TAB));
  UiDriver::RunUntilIdle();
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(a->Text(), "");
  EXPECT_EQ(presses, 0);
  // The button edit does the same; Shift+Enter goes back.
  c->SetFocus();
  UiDriver::Key(win::VK_RETURN, ssShift);
  SetKeyboardShiftState(ssShift);
  UiDriver::RunUntilIdle();
  SetKeyboardShiftState(0);
  EXPECT_TRUE(b->Focused());
  EXPECT_EQ(c->Text(), "");
}

// Windows before 4.0 draws no 3-D edit: the buttons then sit inside a one-pixel border,
// unless the frame is painted.
TEST_F(VcEditTest, ButtonPlacementFollowsTheNewStyleControls) {
  for (auto os : {win::OsVersion::NT351, win::OsVersion::WinXP}) {
    SCOPED_TRACE(int(os));
    win::MachineSettings s;
    s.os = os;
    TempMachine pc(s);
    auto* be = Add<TVcButtonEdit>("be" + std::to_string(int(os)), 10);
    be->SetBounds(10, 10, 121, 24);
    ASSERT_TRUE(be->Ctl3D());
    const bool newStyle = os != win::OsVersion::NT351;
    EXPECT_EQ(be->Pair()->Left(), newStyle ? 121 - 17 - 4 : 121 - 17 - 1);
    EXPECT_EQ(be->Pair()->Top(), newStyle ? 0 : 1);
    be->SetFrameVisible(true);
    EXPECT_EQ(be->Pair()->Left(), 121 - 17 - 4);
    EXPECT_EQ(be->Pair()->Top(), 0);
    EXPECT_EQ(be->Pair()->Height(), 24 - 3);
  }
}

// Entering selects the whole text, on Windows 4.0 too, where the right-aligned edit is
// multi-line; not with AutoSelect off.
TEST_F(VcEditTest, EnteringARightAlignedEditOnWindows40SelectsItsText) {
  win::MachineSettings s;
  s.os = win::OsVersion::NT4;
  TempMachine pc(s);
  auto* a = Add<TVcEdit>("a", 10);
  auto* r = Add<TVcEdit>("r", 40);
  r->SetAlignment(taRightJustify);
  r->SetText("123,45");
  form->Show();
  a->SetFocus();
  r->SetFocus();
  EXPECT_EQ(r->SelStart(), 0);
  EXPECT_EQ(r->SelLength(), 6);
  r->SetAutoSelect(false);
  a->SetFocus();
  r->Select(0, 0);
  r->SetFocus();
  EXPECT_EQ(r->SelLength(), 0);
}

// CharCase, PasswordChar and HideSelection are published, so that a form sets them, and do
// what they say: the text kept in one case, shown hidden, its selection shown unfocused.
TEST_F(VcEditTest, CharCasePasswordCharAndHideSelectionComeFromTheForm) {
  std::unique_ptr<TComponent> c(CreateComponentFromText(
      "object E: TVcEdit\n  CharCase = ecUpperCase\n  HideSelection = False\n"
      "  PasswordChar = '*'\n  Text = 'mot de passé'\nend\n",
      "stored", nullptr));
  auto* e = dynamic_cast<TVcEdit*>(c.get());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Text(), "MOT DE PASSÉ");
  EXPECT_EQ(e->DisplayText(), "************");
  const std::string text = WriteComponentToText(e);
  for (const char* line : {"CharCase = ecUpperCase", "HideSelection = False", "PasswordChar = '*'"})
    EXPECT_NE(text.find(line), std::string::npos) << text;

  auto* typed = Add<TVcEdit>("typed", 10);
  typed->SetText("Déjà");
  typed->SetCharCase(ecLowerCase);
  EXPECT_EQ(typed->Text(), "déjà");
  form->Show();
  typed->SetFocus();
  UiDriver::Type(form, "typed", "VU");
  EXPECT_EQ(typed->Text(), "vu");

  // Unfocused, the selection shows only with HideSelection off.
  auto* other = Add<TVcEdit>("other", 60);
  other->SetFocus();
  typed->SelectAll();
  const auto highlight = win::COLORREF(ColorToRGB(clHighlight));
  auto highlighted = [&] {
    win::Surface s;
    WindowPainter::PaintClient(form, s);
    for (int y = typed->Top(); y < typed->Top() + typed->Height(); ++y)
      for (int x = 0; x < typed->Width(); ++x)
        if (s.At(x, y) == highlight) return true;
    return false;
  };
  EXPECT_FALSE(highlighted());
  typed->SetHideSelection(false);
  EXPECT_TRUE(highlighted());
}

}  // namespace
