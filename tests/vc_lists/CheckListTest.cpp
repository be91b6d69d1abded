// The check list: per-line state kept in step with the lines, toggling by mouse and key,
// events only for the user's toggles, stored item states, re-created windows, painting.
#include <gtest/gtest.h>

#include <memory>

#include "controls/VcChkLst.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/system/Clock.h"

namespace {

struct Fixture : ::testing::Test {
  std::unique_ptr<TForm> form;
  TVcCheckList* list = nullptr;
  std::vector<std::string> events;
  void SetUp() override {
    win::clock::SetSimulated(true);
    form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(200);
    form->SetClientHeight(150);
    list = new TVcCheckList(form.get());
    list->SetParent(form.get());
    list->SetBounds(10, 10, 150, 100);
    list->OnChanging = [this](TObject*, int i, TCheckBoxState s, bool&) {
      events.push_back("changing " + std::to_string(i) + " " + std::to_string(int(s)));
    };
    list->OnChange = [this](TObject*, int i, TCheckBoxState s) {
      events.push_back("change " + std::to_string(i) + " " + std::to_string(int(s)));
    };
  }
  void Fill(std::initializer_list<const char*> lines) {
    for (auto* l : lines) list->Items()->Add(l);
  }
  // A press and release at a point of the client area.
  void Click(int x, int y) {
    list->Perform(win::WM_LBUTTONDOWN, 0, win::MAKELPARAM(win::WORD(x), win::WORD(y)));
    list->Perform(win::WM_LBUTTONUP, 0, win::MAKELPARAM(win::WORD(x), win::WORD(y)));
  }
  void Space() {
    list->Perform(win::WM_KEYDOWN, win::VK_SPACE);
    list->Perform(win::WM_CHAR, ' ');
    list->Perform(win::WM_KEYUP, win::VK_SPACE);
  }
};

using CheckList = Fixture;

TEST_F(CheckList, TheWizardsCallsWorkByObjectTagWithoutEvents) {
  TObject tagA, tagB, tagC;
  list->Items()->AddObject("Serveur Firebird", &tagA);
  list->Items()->AddObject("Client Firebird", &tagB);
  list->Items()->AddObject("Police OCR", &tagC);
  EXPECT_EQ(list->CheckedCount(), 0);
  list->SetItemChecked(list->Items()->IndexOfObject(&tagA), true);
  list->SetItemChecked(list->Items()->IndexOfObject(&tagC), true);
  list->SetItemEnabled(list->Items()->IndexOfObject(&tagB), false);
  list->SetItemState(1, cbGrayed);
  EXPECT_EQ(list->CheckedCount(), 2);  // grayed does not count
  list->SetItemIndex(2);
  EXPECT_EQ(list->Items()->Get(list->ItemIndex()), "Police OCR");
  EXPECT_FALSE(list->GetItemEnabled(1));
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(list->Style(), lbOwnerDrawFixed);
  EXPECT_EQ(list->ItemHeight(), std::max(13, GetFontHeight(list->Font())));
}

TEST_F(CheckList, PacketsFollowTheirLines) {
  list->SetSorted(true);
  Fill({"moyen", "zèbre"});
  list->SetItemChecked(0, true);           // moyen
  int at = list->Items()->Add("abricot");  // the window puts it first
  EXPECT_EQ(at, 0);
  EXPECT_FALSE(list->GetItemChecked(0));
  EXPECT_TRUE(list->GetItemChecked(1));
  list->SetItemEnabled(1, false);
  list->Items()->Put(1, "moyen bis");  // replacing keeps state and flag
  EXPECT_TRUE(list->GetItemChecked(1));
  EXPECT_FALSE(list->GetItemEnabled(1));
  list->CheckItems()->Move(1, 2);
  EXPECT_TRUE(list->GetItemChecked(2));
  EXPECT_FALSE(list->GetItemEnabled(2));
  EXPECT_EQ(list->Items()->Get(2), "moyen bis");
  list->Items()->Delete(2);  // deleting drops them
  EXPECT_EQ(list->CheckItems()->PacketCount(), 2);
  EXPECT_EQ(list->CheckedCount(), 0);
  EXPECT_THROW(list->GetItemChecked(2), EListError);
  try {
    list->Items()->Get(5);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "Indice de liste hors limites (5)");
  }
  EXPECT_THROW(list->Items()->GetObject(7), EStringListError);
  // The list that holds the lines while the window is made anew says the same.
  try {
    TPacketStringList().Get(3);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "Indice de liste hors limites (3)");
  }
  list->Items()->Clear();
  EXPECT_EQ(list->CheckItems()->PacketCount(), 0);
  EXPECT_EQ(list->CheckedCount(), 0);
  std::string longLine(5000, 'x');
  list->Items()->Add(longLine);
  EXPECT_EQ(list->Items()->Get(0), longLine);
}

TEST_F(CheckList, ToggleCyclesAndAsksFirst) {
  Fill({"a", "b"});
  list->SetItemIndex(0);
  list->ToggleItemState();
  EXPECT_EQ(list->GetItemState(0), cbChecked);
  list->ToggleItemState();
  EXPECT_EQ(list->GetItemState(0), cbUnchecked);
  list->SetItemState(0, cbGrayed);
  list->ToggleItemState();  // grayed goes to checked even without AllowGrayed
  EXPECT_EQ(list->GetItemState(0), cbChecked);
  list->SetAllowGrayed(true);
  list->SetItemState(0, cbUnchecked);
  list->ToggleItemState();
  EXPECT_EQ(list->GetItemState(0), cbGrayed);
  EXPECT_EQ(events,
            (std::vector<std::string>{"changing 0 1", "change 0 1", "changing 0 0", "change 0 0",
                                      "changing 0 1", "change 0 1", "changing 0 2", "change 0 2"}));
  events.clear();
  list->OnChanging = [this](TObject*, int, TCheckBoxState, bool& allow) {
    events.push_back("vetoed");
    allow = false;
  };
  list->ToggleItemState();
  EXPECT_EQ(list->GetItemState(0), cbGrayed);
  EXPECT_EQ(events, std::vector<std::string>{"vetoed"});
  events.clear();
  list->SetItemEnabled(0, false);
  list->ToggleItemState();
  list->SetItemIndex(-1);
  list->ToggleItemState();
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckList, MouseTogglesOnTheGlyphOrAnywhereWhenAsked) {
  Fill({"un", "deux", "trois"});
  int h = list->ItemHeight();
  Click(60, h + 2);  // on the text of line 1: selects only
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_FALSE(list->GetItemChecked(1));
  Click(5, h + 2);  // on its glyph (width 11 + 4 from the left)
  EXPECT_TRUE(list->GetItemChecked(1));
  Click(14, 2 * h + 1);  // last pixel column of line 2's glyph area
  EXPECT_TRUE(list->GetItemChecked(2));
  Click(15, 2);  // just right of it
  EXPECT_FALSE(list->GetItemChecked(0));
  list->SetToggleOnItemClick(true);
  Click(100, 2);
  EXPECT_TRUE(list->GetItemChecked(0));
  EXPECT_EQ(list->CheckedCount(), 3);
  // A press, then a release outside: armed, nothing toggled.
  list->Perform(win::WM_LBUTTONDOWN, 0, win::MAKELPARAM(5, 2));
  list->Perform(win::WM_LBUTTONUP, 0, win::MAKELPARAM(500, 2));
  EXPECT_TRUE(list->GetItemChecked(0));
  EXPECT_TRUE(list->ToggleArmed());
}

TEST_F(CheckList, SpaceTogglesAndIsNoSearchKey) {
  Fill({"alpha", " beta"});
  list->SetItemIndex(0);
  Space();
  EXPECT_TRUE(list->GetItemChecked(0));
  EXPECT_EQ(list->ItemIndex(), 0);  // " beta" was not searched for
  EXPECT_EQ(list->SearchText(), "");
  list->Perform(win::WM_CHAR, 'b');  // other characters still search... none begins with b
  EXPECT_EQ(list->ItemIndex(), 0);
}

TEST_F(CheckList, DisablingTheControlResetsEveryLinesFlag) {
  Fill({"a", "b", "c"});
  list->SetItemEnabled(1, false);
  list->SetEnabled(false);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(list->GetItemEnabled(i));
  list->SetEnabled(true);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(list->GetItemEnabled(i));
}

TEST_F(CheckList, RecreatingTheWindowKeepsLinesStatesAndSelection) {
  TObject tag;
  Fill({"a", "b", "c"});
  list->Items()->PutObject(2, &tag);
  list->SetItemState(0, cbGrayed);
  list->SetItemEnabled(2, false);
  list->SetItemIndex(1);
  list->HandleNeeded();
  list->SetFrameVisible(true);  // re-creates the window
  ASSERT_EQ(list->Items()->Count(), 3);
  EXPECT_EQ(list->Items()->GetObject(2), &tag);
  EXPECT_EQ(list->GetItemState(0), cbGrayed);
  EXPECT_FALSE(list->GetItemEnabled(2));
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(list->CheckItems()->PacketCount(), 3);
  list->Items()->Clear();
  list->SetFrameVisible(false);
  EXPECT_EQ(list->Items()->Count(), 0);
}

TEST_F(CheckList, CustomGlyphsSwitchTheStripAndTheItemHeight) {
  TImagePicture strip;
  strip.SetSize(6 * 20, 20);
  list->SetCustomGlyphs(&strip);
  EXPECT_TRUE(list->UseCustomGlyphs());
  EXPECT_EQ(list->GlyphWidth(), 20);
  EXPECT_EQ(list->GlyphHeight(), 20);
  EXPECT_EQ(list->ItemHeight(), std::max(22, GetFontHeight(list->Font())));
  strip.SetSize(6 * 16, 16);  // another strip, the frame size with it
  strip.SetPixels(17, 1, clRed);
  list->SetCustomGlyphs(&strip);
  EXPECT_EQ(list->GlyphWidth(), 16);
  // Stored with the form, so that a form gives the list its own strip.
  list->SetName("L");
  std::unique_ptr<TComponent> copy(
      CreateComponentFromText(WriteComponentToText(list), "copy", nullptr));
  auto* back = dynamic_cast<TVcCheckList*>(copy.get());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->UseCustomGlyphs());
  EXPECT_EQ(back->GlyphWidth(), 16);
  EXPECT_EQ(back->CustomGlyphs()->Pixels(17, 1), clRed);
  TImagePicture empty;
  list->SetCustomGlyphs(&empty);
  EXPECT_FALSE(list->UseCustomGlyphs());
  EXPECT_EQ(list->GlyphWidth(), 11);
  EXPECT_EQ(CheckGlyphs()->Width(), 66);
  EXPECT_EQ(CheckGlyphs()->Height(), 11);
}

TEST_F(CheckList, StoredItemStatesRoundTrip) {
  form->SetName("F");
  list->SetName("CheckList");
  Fill({"un", "deux", "trois"});
  list->SetItemState(1, cbChecked);
  list->SetItemState(2, cbGrayed);
  list->SetItemEnabled(0, false);
  std::string text = WriteComponentToText(list);
  EXPECT_NE(text.find("Items.Strings = ("), std::string::npos) << text;
  EXPECT_NE(text.find("Items.ItemEnabled = (\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Items.ItemState = (\n"), std::string::npos) << text;
  EXPECT_LT(text.find("Items.Strings"), text.find("Items.ItemEnabled"));

  std::unique_ptr<TComponent> copy(CreateComponentFromText(text, "copy", nullptr));
  auto* back = dynamic_cast<TVcCheckList*>(copy.get());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Items()->Count(), 3);
  EXPECT_FALSE(back->GetItemEnabled(0));
  EXPECT_EQ(back->GetItemState(1), cbChecked);
  EXPECT_EQ(back->GetItemState(2), cbGrayed);
  EXPECT_EQ(back->Items()->Get(2), "trois");

  // A shorter list leaves the other lines as they are; a longer one fails.
  std::unique_ptr<TComponent> partial(
      CreateComponentFromText("object C: TVcCheckList\n  Items.Strings = (\n    'a'\n    'b')\n  "
                              "Items.ItemState = (\n    1)\nend\n",
                              "partial", nullptr));
  auto* p = dynamic_cast<TVcCheckList*>(partial.get());
  EXPECT_EQ(p->GetItemState(0), cbChecked);
  EXPECT_EQ(p->GetItemState(1), cbUnchecked);
  EXPECT_ANY_THROW(std::unique_ptr<TComponent>(
      CreateComponentFromText("object C: TVcCheckList\n  Items.Strings = (\n    'a')\n  "
                              "Items.ItemEnabled = (\n    True\n    False)\nend\n",
                              "long", nullptr)));
  // An empty list stores no states.
  TVcCheckList empty(nullptr);
  empty.SetName("E");
  EXPECT_EQ(WriteComponentToText(&empty).find("ItemState"), std::string::npos);
}

TEST_F(CheckList, PaintsTheGlyphFrameOfEachLineLeftOfItsText) {
  Fill({"un", "deux", "trois"});
  list->SetColor(clWindow);
  list->SetItemState(1, cbChecked);
  list->SetItemEnabled(2, false);
  list->SetItemIndex(0);
  form->SetVisible(true);
  win::Surface s;
  WindowPainter::PaintClient(form.get(), s);
  // The client area starts 2 pixels inside the list; glyph 4 pixels from the line's left.
  int ox = 10 + 2 + 4, h = list->ItemHeight();
  auto glyphTop = [&](int line) { return 10 + 2 + line * h + (h - 11) / 2; };
  auto px = [&](int x, int y) { return s.Row(y)[x]; };
  const auto grey = win::PixelFromColor(0x808080), white = win::PixelFromColor(0xFFFFFF),
             black = win::PixelFromColor(0x000000), silver = win::PixelFromColor(0xC0C0C0);
  // Line 0: unchecked, enabled: grey border, white inside.
  EXPECT_EQ(px(ox, glyphTop(0)), grey);
  EXPECT_EQ(px(ox + 5, glyphTop(0) + 5), white);
  // Line 1: the black check mark (column 2 of the mark's third row, frame coordinates 2,4).
  EXPECT_EQ(px(ox + 2, glyphTop(1) + 4), black);
  EXPECT_EQ(px(ox + 5, glyphTop(1) + 2), white);
  // Line 2: disabled: silver inside.
  EXPECT_EQ(px(ox + 5, glyphTop(2) + 5), silver);
  // Selection covers the text area only: it starts GlyphWidth + 8 from the line's left.
  const auto highlight = win::PixelFromColor(win::GetSysColor(win::COLOR_HIGHLIGHT));
  EXPECT_EQ(px(10 + 2 + 19 + 40, 10 + 2 + h / 2), highlight);
  EXPECT_NE(px(10 + 2 + 17, 10 + 2 + h / 2), highlight);
}

// The controls asked to paint at once, as the display would paint them.
std::vector<TControl*> g_repainted;

// What changes is repainted, and only that: a state change repaints the line's glyph when
// the line is in sight; an update of the lines paints nothing until it ends, then once.
TEST_F(CheckList, RepaintsWhatChangedOnly) {
  for (int i = 0; i < 20; ++i) list->Items()->Add("ligne " + std::to_string(i));
  const int h = list->ItemHeight(), d = (h - 11) / 2;
  const win::RECT g = list->GlyphRect(1);
  EXPECT_EQ((std::vector<long>{g.left, g.top, g.right, g.bottom}),
            (std::vector<long>{0, h + d, 15, 2 * h - d}));
  int before = list->InvalidateCount();
  list->SetItemState(1, cbGrayed);
  EXPECT_EQ(list->InvalidateCount(), before + 1);
  list->SetItemState(1, cbGrayed);    // unchanged
  list->SetItemState(19, cbChecked);  // out of sight
  EXPECT_EQ(list->InvalidateCount(), before + 1);

  int drawn = 0;
  list->OnDrawItem = [&](TWinControl*, int, win::RECT, TOwnerDrawState) { ++drawn; };
  form->SetVisible(true);
  win::Surface s;
  auto* saved = ControlRepaintHook;
  ControlRepaintHook = [](TControl* c) { g_repainted.push_back(c); };
  list->Items()->BeginUpdate();
  list->Items()->Add("encore");
  WindowPainter::PaintClient(form.get(), s);
  EXPECT_EQ(drawn, 0);
  EXPECT_TRUE(g_repainted.empty());
  list->Items()->EndUpdate();
  ControlRepaintHook = saved;
  EXPECT_EQ(g_repainted, std::vector<TControl*>{list});
  WindowPainter::PaintClient(form.get(), s);
  EXPECT_GT(drawn, 0);
}

}  // namespace
