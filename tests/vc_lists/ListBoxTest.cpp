// The tabbed list box: type-ahead with its reset timer, Enter as Tab, wheel, cells, tab
// stops reaching the window, frame painting and stored frame settings.
#include <gtest/gtest.h>

#include <memory>

#include "controls/VcEdit.h"
#include "controls/VcLstBox.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/system/Clock.h"

namespace {

// Counts the warnings instead of sounding them.
class TQuietListBox : public TVcTabbedListBox {
 public:
  using TVcTabbedListBox::TVcTabbedListBox;
  int beeps = 0;
  std::string pointer;  // what reached DoMouseEnter and DoMouseLeave

 protected:
  void Beep() override { ++beeps; }
  void DoMouseEnter() override {
    pointer += "enter ";
    TVcTabbedListBox::DoMouseEnter();
  }
  void DoMouseLeave() override {
    pointer += "leave ";
    TVcTabbedListBox::DoMouseLeave();
  }
};

struct ListBoxFixture : ::testing::Test {
  std::unique_ptr<TForm> form;
  TQuietListBox* list = nullptr;
  std::vector<std::string> keys;
  int matches = 0;
  void SetUp() override {
    win::clock::SetSimulated(true);
    form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(240);
    form->SetClientHeight(160);
    list = new TQuietListBox(form.get());
    list->SetParent(form.get());
    list->SetBounds(10, 10, 150, 100);
    list->OnKeyPress = [this](TObject*, char& c) { keys.push_back(std::string(1, c)); };
    list->OnMatch = [this](TObject*) { ++matches; };
    for (auto* s : {"Pomme", "Poire", "Prune", "Abricot"}) list->Items()->Add(s);
  }
  void Type(char c) { list->Perform(win::WM_CHAR, win::WPARAM(static_cast<unsigned char>(c))); }
};

using TabbedListBox = ListBoxFixture;

TEST_F(TabbedListBox, TypeAheadExtendsThePrefixUntilTheTimerEmptiesIt) {
  Type('p');
  EXPECT_EQ(list->ItemIndex(), 0);
  Type('R');  // compared without case
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->SearchText(), "pR");
  EXPECT_EQ(matches, 2);
  EXPECT_EQ(keys, (std::vector<std::string>{"p", "R"}));
  Type('x');  // nothing begins with "pRx": beep, selection and buffer unchanged
  EXPECT_EQ(list->beeps, 1);
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->SearchText(), "pR");
  UiDriver::Advance(1499);
  EXPECT_EQ(list->SearchText(), "pR");
  UiDriver::Advance(2);
  EXPECT_EQ(list->SearchText(), "");
  Type('a');  // a new prefix
  EXPECT_EQ(list->ItemIndex(), 3);
  list->SetBeepOnInvalidKey(false);
  Type('z');
  EXPECT_EQ(list->beeps, 1);
}

TEST_F(TabbedListBox, BackspaceEscapeAndNavigationKeys) {
  Type('p');
  Type('o');
  Type('i');
  EXPECT_EQ(list->ItemIndex(), 1);
  list->Perform(win::WM_CHAR, 8);  // back to "po": Pomme
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->SearchText(), "po");
  list->Perform(win::WM_CHAR, 8);
  list->SetItemIndex(3);
  list->Perform(win::WM_CHAR, 8);  // one character left: first item, empty buffer
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->SearchText(), "");
  list->SetItemIndex(2);
  list->Perform(win::WM_CHAR, 8);  // empty buffer: beep, then the first item
  EXPECT_EQ(list->beeps, 1);
  EXPECT_EQ(list->ItemIndex(), 0);
  Type('a');
  list->Perform(win::WM_CHAR, 27);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->Perform(win::WM_KEYDOWN, win::VK_ESCAPE);
  EXPECT_EQ(list->SearchText(), "");
  Type('p');
  list->Perform(win::WM_KEYDOWN, win::VK_DOWN);
  EXPECT_EQ(list->SearchText(), "");
}

TEST_F(TabbedListBox, EnterMovesOnAsTabWhenAsked) {
  auto* next = new TEdit(form.get());
  next->SetParent(form.get());
  next->SetBounds(10, 120, 100, 21);
  form->SetVisible(true);
  list->SetFocus();
  list->Perform(win::WM_CHAR, 13);
  EXPECT_EQ(keys, std::vector<std::string>{"\r"});
  list->SetTabOnEnter(true);
  keys.clear();
  UiDriver::Key(win::VK_RETURN);
  UiDriver::RunUntilIdle();
  EXPECT_TRUE(keys.empty());
  EXPECT_TRUE(next->Focused());
}

TEST_F(TabbedListBox, WheelScrollsByWheelLinesButNotPartwayToTheTop) {
  for (int i = 0; i < 30; ++i) list->Items()->Add("ligne " + std::to_string(i));
  EXPECT_TRUE(list->DoMouseWheelDown(0, {}));
  EXPECT_EQ(list->TopIndex(), 3);
  list->SetTopIndex(2);
  EXPECT_TRUE(list->DoMouseWheelUp(0, {}));
  EXPECT_EQ(list->TopIndex(), 2);
  list->SetTopIndex(5);
  list->DoMouseWheelUp(0, {});
  EXPECT_EQ(list->TopIndex(), 2);
}

TEST_F(TabbedListBox, CellsAreTheTabSeparatedColumns) {
  list->Items()->Clear();
  list->Items()->Add("nom\tvaleur");
  list->Items()->Add("seul");
  list->Items()->Add("a\tb\tc");
  EXPECT_EQ(list->GetCellText(1, 0), "valeur");
  EXPECT_EQ(list->GetCellText(0, 1), "seul");
  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const EListError& e) {
      return e.Message();
    }
    return std::string("(none)");
  };
  EXPECT_EQ(message([&] { list->GetCellText(2, 0); }), "Column parameter out of range");
  EXPECT_EQ(message([&] { list->GetCellText(-1, 0); }), "Column parameter out of range");
  EXPECT_EQ(message([&] { list->GetCellText(9, 3); }), "Row parameter out of range");  // row first
  list->SetCellText(1, 2, "milieu");
  EXPECT_EQ(list->Items()->Get(2), "a\tmilieu\tc");
  list->SetCellText(2, 2, "");
  EXPECT_EQ(list->Items()->Get(2), "a\tmilieu\t");
  EXPECT_EQ(message([&] { list->SetCellText(1, 1, "x"); }), "Column parameter out of range");
  EXPECT_EQ(list->Items()->Get(1), "seul");
  EXPECT_THROW(list->UpdateFromHeader(form.get()), EHeaderError);
}

TEST_F(TabbedListBox, TabStopsReachTheWindowInDialogUnits) {
  list->TabStops()->Add(10);  // Add does not refresh the window
  EXPECT_TRUE(list->TCustomListBox::TabStops().empty());
  list->TabStops()->Insert(1, -20);
  EXPECT_EQ(list->TCustomListBox::TabStops(), (std::vector<int>{40, -80}));
  list->TabStops()->Put(0, 12);
  EXPECT_EQ(list->TCustomListBox::TabStops()[0], 48);
  list->TabStops()->Delete(1);
  EXPECT_EQ(list->TCustomListBox::TabStops().size(), 1u);
  TIntegerList many;
  for (int i = 0; i < 1005; ++i) many.Add(i + 1);
  list->SetTabStops(&many);
  EXPECT_EQ(list->TCustomListBox::TabStops().size(), 1000u);
  EXPECT_EQ(list->TabStops()->Count(), 1005);
  EXPECT_THROW(list->TabStops()->Add(-2147483647 - 1), EOutOfRange);
}

TEST_F(TabbedListBox, FlatFrameFollowsFocusAndMouse) {
  int entered = 0, left = 0;
  list->OnMouseEnter = [&](TObject*) { ++entered; };
  list->OnMouseLeave = [&](TObject*) { ++left; };
  list->SetFrameFlat(true);
  EXPECT_TRUE(list->FrameVisible());
  EXPECT_EQ(list->FrameStyle(), fsStatus);
  list->Perform(win::CM_MOUSEENTER);
  EXPECT_EQ(list->FrameStyle(), fsLowered);
  list->Perform(win::CM_MOUSELEAVE);
  EXPECT_EQ(list->FrameStyle(), fsStatus);
  // The pointer's coming and going reach the dynamic methods, and each event fires once.
  EXPECT_EQ(list->pointer, "enter leave ");
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(left, 1);
  form->SetVisible(true);
  list->SetFocus();
  EXPECT_EQ(list->FrameStyle(), fsLowered);
}

// The controls asked to paint at once, as the display would paint them.
std::vector<TControl*> g_repainted;

// A frame change shows at once, not at the next paint, on the list box and the edit alike.
TEST_F(TabbedListBox, FrameChangesArePaintedAtOnce) {
  auto* edit = new TVcEdit(form.get());
  edit->SetParent(form.get());
  auto* saved = ControlRepaintHook;
  ControlRepaintHook = [](TControl* c) { g_repainted.push_back(c); };
  auto check = [](auto* c) {
    c->SetFrameVisible(true);
    g_repainted.clear();
    c->SetFrameColor(clRed);
    c->SetFrameStyle(fsRaised);
    c->Perform(win::CM_PARENTCOLORCHANGED);
    EXPECT_EQ(g_repainted, std::vector<TControl*>(3, c)) << c->ClassName();
  };
  check(list);
  check(edit);
  ControlRepaintHook = saved;
}

TEST_F(TabbedListBox, StoredFlatFrameKeepsItsSidesAndStyle) {
  std::unique_ptr<TComponent> c(
      CreateComponentFromText("object L: TVcTabbedListBox\n  FrameSides = [sdTop]\n  FrameStyle = "
                              "fsRaised\n  FrameFlat = True\n"
                              "  TabStops.Integers = (\n    8\n    -30)\nend\n",
                              "stored", nullptr));
  auto* l = dynamic_cast<TVcTabbedListBox*>(c.get());
  ASSERT_NE(l, nullptr);
  EXPECT_TRUE(l->FrameFlat());
  EXPECT_EQ(l->FrameSides(), TSides{sdTop});
  EXPECT_EQ(l->FrameStyle(), fsRaised);
  EXPECT_EQ(l->TabStops()->Count(), 2);
  EXPECT_EQ(l->TCustomListBox::TabStops(), (std::vector<int>{32, -120}));
  std::string text = WriteComponentToText(l);
  EXPECT_NE(text.find("TabStops.Integers"), std::string::npos) << text;
  EXPECT_NE(text.find("FrameStyle = fsRaised"), std::string::npos) << text;
  EXPECT_EQ(text.find("About"), std::string::npos) << text;
  // A frame controller takes over the frame settings: they are no longer stored.
  TVcFrameController ctl(nullptr);
  ctl.SetName("Ctl");
  l->SetFrameController(&ctl);
  text = WriteComponentToText(l);
  EXPECT_EQ(text.find("FrameStyle ="), std::string::npos) << text;
}

TEST_F(TabbedListBox, PaintsItsFrameOverTheBorder) {
  list->SetColor(clWindow);
  list->SetFrameVisible(true);
  list->SetFrameStyle(fsFlat);
  list->SetFrameColor(clRed);
  form->SetVisible(true);
  win::Surface s;
  WindowPainter::PaintClient(form.get(), s);
  const auto red = win::PixelFromColor(0x0000FF);
  EXPECT_EQ(s.Row(10)[50], red);   // top edge
  EXPECT_EQ(s.Row(60)[10], red);   // left edge
  EXPECT_EQ(s.Row(109)[60], red);  // bottom edge
  EXPECT_NE(s.Row(11)[50], red);   // the ring inside is the control colour
  list->SetFrameSides(TSides{sdLeft});
  WindowPainter::PaintClient(form.get(), s);
  EXPECT_NE(s.Row(10)[50], red);
  EXPECT_EQ(s.Row(60)[10], red);
}

}  // namespace
