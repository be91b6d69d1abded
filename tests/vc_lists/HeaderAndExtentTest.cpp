// The tabbed list box against the toolkit's headers (tab stops taken from section widths,
// the user dragging a divider first), its horizontal extent measured with its own font,
// and the frame settings that need the 3-D border.
#include <gtest/gtest.h>

#include <memory>

#include "controls/VcLstBox.h"
#include "platform/forms/Forms.h"
#include "platform/forms/HeaderComponents.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/WindowPainter.h"
#include "platform/system/Clock.h"

namespace {

struct HeaderFixture : ::testing::Test {
  std::unique_ptr<TForm> form;
  TVcTabbedListBox* list = nullptr;
  void SetUp() override {
    win::clock::SetSimulated(true);
    form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(400);
    form->SetClientHeight(200);
    list = new TVcTabbedListBox(form.get());
    list->SetParent(form.get());
    list->SetBounds(10, 30, 300, 120);
  }
  void Stops(std::initializer_list<int> values) {
    TIntegerList l;
    for (int v : values) l.Add(v);
    list->SetTabStops(&l);
  }
  std::vector<int> StopsNow() const {
    std::vector<int> out;
    out.reserve(size_t(list->TabStops()->Count()));
    for (int i = 0; i < list->TabStops()->Count(); ++i) out.push_back(list->TabStops()->Get(i));
    return out;
  }
  THeaderControl* Common(std::initializer_list<int> widths) {
    auto* h = new THeaderControl(form.get());
    h->SetParent(form.get());
    h->SetBounds(10, 10, 300, 17);
    for (int w : widths) h->Sections()->Add()->SetWidth(w);
    return h;
  }
};

using HeaderStops = HeaderFixture;

TEST_F(HeaderStops, CommonControlHeaderGivesLeftAndRightAlignedStops) {
  const int a = list->AvgCharWidth();
  ASSERT_GT(a, 0);
  THeaderControl* h = Common({60, 80, 100});
  // Left stops at the end of their section; a right-aligned one at the end of the next,
  // and the last section's right-aligned stop at the list's right edge. A stop beyond the
  // sections keeps its value.
  Stops({0, -1, 5, -1, 7});
  list->UpdateFromHeader(h);
  EXPECT_EQ(StopsNow(), (std::vector<int>{60 / a + 1, 1 - 240 / a, 240 / a + 1, -1, 7}));
  Stops({0, 0, -1});
  list->UpdateFromHeader(h);
  EXPECT_EQ(StopsNow(), (std::vector<int>{60 / a + 1, 140 / a + 1, 1 - 300 / a}));
  // The window has the new stops at once, in dialog units.
  EXPECT_EQ(list->TCustomListBox::TabStops(),
            (std::vector<int>{(60 / a + 1) * 4, (140 / a + 1) * 4, (1 - 300 / a) * 4}));
  // More sections than stops: the extra sections are ignored.
  Stops({0});
  list->UpdateFromHeader(h);
  EXPECT_EQ(StopsNow(), (std::vector<int>{60 / a + 1}));
}

TEST_F(HeaderStops, OldStyleHeaderNeverUsesItsLastSection) {
  const int a = list->AvgCharWidth();
  auto* h = new THeader(form.get());
  h->SetParent(form.get());
  for (const char* s : {"Nom", "Taille", "Date"}) h->Sections()->Add(s);
  h->SetSectionWidth(0, 60);
  h->SetSectionWidth(1, 80);
  h->SetSectionWidth(2, 100);
  Stops({0, -1, 9});
  list->UpdateFromHeader(h);
  EXPECT_EQ(StopsNow(), (std::vector<int>{60 / a + 1, 1 - 240 / a, 9}));
  EXPECT_THROW(h->SetSectionWidth(3, 10), EListError);
}

// What the user drags is what the list adopts; a section's bounds hold while dragging.
TEST_F(HeaderStops, DraggingADividerResizesTheSectionTheListThenFollows) {
  const int a = list->AvgCharWidth();
  THeaderControl* h = Common({60, 80});
  h->Sections()->Items(0)->SetMaxWidth(120);
  THeaderSection* resized = nullptr;
  h->OnSectionResize = [&](THeaderControl*, THeaderSection* s) { resized = s; };
  h->HandleNeeded();
  auto at = [](int x) { return win::MAKELPARAM(win::WORD(x), win::WORD(8)); };
  h->Perform(win::WM_LBUTTONDOWN, 0, at(60));  // on the first divider
  h->Perform(win::WM_MOUSEMOVE, 1, at(90));
  h->Perform(win::WM_LBUTTONUP, 0, at(90));
  EXPECT_EQ(resized, h->Sections()->Items(0));
  EXPECT_EQ(h->Sections()->Items(0)->Width(), 90);
  EXPECT_EQ(h->Sections()->Items(1)->Left(), 90);
  // The painted divider moved with it.
  form->SetVisible(true);
  win::Surface shot;
  WindowPainter::PaintClient(form.get(), shot);
  auto edge = [&](int x) {
    int n = 0;
    for (int y = 12; y < 24; ++y) n += shot.Row(y)[10 + x] != shot.Row(12)[10 + 40];
    return n;
  };
  EXPECT_GT(edge(89), 8);
  EXPECT_EQ(edge(59), 0);
  h->Perform(win::WM_LBUTTONDOWN, 0, at(90));
  h->Perform(win::WM_MOUSEMOVE, 1, at(200));
  h->Perform(win::WM_LBUTTONUP, 0, at(200));
  EXPECT_EQ(h->Sections()->Items(0)->Width(), 120);
  Stops({0});
  list->UpdateFromHeader(h);
  EXPECT_EQ(StopsNow(), (std::vector<int>{120 / a + 1}));
  // A section deleted leaves the header window too.
  h->Sections()->Delete(0);
  EXPECT_EQ(win::SendMessage(h->HeaderHandle(), win::HDM_GETITEMCOUNT, 0, 0), 1);
}

TEST_F(HeaderStops, EmptyHeadersAndOtherComponentsChangeNothing) {
  Stops({3, -4});
  list->UpdateFromHeader(Common({}));
  auto* old = new THeader(form.get());
  list->UpdateFromHeader(old);
  old->Sections()->Add("Seule");  // one section: the old header has nothing to give
  list->UpdateFromHeader(old);
  EXPECT_EQ(StopsNow(), (std::vector<int>{3, -4}));
  try {
    list->UpdateFromHeader(form.get());
    FAIL() << "a form is no header";
  } catch (const EHeaderError& e) {
    EXPECT_EQ(e.Message(),
              "Only THeader and THeaderControl components can be passed to "
              "TVcTabbedListBox.UpdateFromHeader");
  }
  EXPECT_THROW(list->UpdateFromHeader(nullptr), EHeaderError);
  EXPECT_EQ(StopsNow(), (std::vector<int>{3, -4}));
}

TEST_F(HeaderStops, HeaderControlSectionsAreReadFromAStoredForm) {
  std::unique_ptr<TComponent> c(CreateComponentFromText(
      "object H: THeaderControl\n  Sections = <\n    item\n      Text = 'Nom'\n      Width = 70\n  "
      "  end\n"
      "    item\n      Alignment = taRightJustify\n      Text = 'Taille'\n    end>\nend\n",
      "header", nullptr));
  auto* h = dynamic_cast<THeaderControl*>(c.get());
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(h->Sections()->Count(), 2);
  EXPECT_EQ(h->Sections()->Items(0)->Text(), "Nom");
  EXPECT_EQ(h->Sections()->Items(0)->Width(), 70);
  EXPECT_EQ(h->Sections()->Items(1)->Width(), 50);
  EXPECT_EQ(h->Sections()->Items(1)->Alignment(), taRightJustify);
  std::string text = WriteComponentToText(h);
  EXPECT_NE(text.find("Width = 70"), std::string::npos) << text;
}

// --- Horizontal extent ------------------------------------------------------------------------

using Extent = HeaderFixture;

TEST_F(Extent, MeasuresWithTheControlsFontEvenBeforeAnyPaint) {
  for (auto* s : {"Pomme", "Poire", "Bibliothèques dynamiques VisualBasic"}) list->Items()->Add(s);
  list->UpdateHorzExtent();
  const int small = list->HorzExtent();
  EXPECT_GT(small, 100);
  list->Font()->SetSize(30);
  list->UpdateHorzExtent();
  EXPECT_GT(list->HorzExtent(), 3 * small);
  // The tab stops count in the tabbed measure.
  list->Items()->Clear();
  list->Items()->Add("a\tb");
  list->UpdateHorzExtent();
  const int untabbed = list->HorzExtent();
  Stops({80});
  list->UpdateHorzExtent();
  EXPECT_GT(list->HorzExtent(), untabbed);
  EXPECT_GE(list->HorzExtent(), 80 * list->AvgCharWidth());
}

// A list on no form (no window, nothing ever painted) and a face the system lacks: the
// measure falls back to what the screen has, and a tiny face keeps a usable character width.
TEST_F(Extent, NoWindowAndAnUnknownFaceStillMeasure) {
  TVcTabbedListBox alone(nullptr);
  alone.Items()->Add("Une ligne assez longue");
  alone.Font()->SetName("Police introuvable");
  alone.UpdateHorzExtent();
  EXPECT_GT(alone.HorzExtent(), 40);
  alone.Font()->SetHeight(-1);
  EXPECT_GE(alone.AvgCharWidth(), 1);
  auto* h = new THeaderControl(form.get());
  h->Sections()->Add()->SetWidth(30);
  alone.TabStops()->Add(0);
  alone.UpdateFromHeader(h);
  EXPECT_EQ(alone.TabStops()->Get(0), 30 / alone.AvgCharWidth() + 1);
}

// --- Frame and border -------------------------------------------------------------------------

TEST_F(HeaderStops, AVisibleFrameTurnsTheThreeDimensionalBorderOn) {
  list->SetCtl3D(false);
  list->SetFrameVisible(true);
  EXPECT_TRUE(list->Ctl3D());
  list->SetCtl3D(false);  // afterwards it may be switched off again
  EXPECT_FALSE(list->Ctl3D());
  std::string text = WriteComponentToText(list);
  EXPECT_NE(text.find("Ctl3D = False"), std::string::npos) << text;
}

}  // namespace
