// The visual list boxes get their scroll bars from the toolkit's list box: the framed list
// box's frame goes round them, owner-drawn check-list lines stop at them, and the wheel
// goes through the list box's own wheel handling.
#include <gtest/gtest.h>

#include <memory>

#include "controls/VcChkLst.h"
#include "controls/VcLstBox.h"
#include "platform/forms/Forms.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/system/Clock.h"

using namespace win;

namespace {

struct VisualListScroll : ::testing::Test {
  std::unique_ptr<TForm> form;
  void SetUp() override {
    clock::SetSimulated(true);
    WindowPainter::InstallControlCanvas();
    form = std::make_unique<TForm>(nullptr);
    form->SetClientWidth(340);
    form->SetClientHeight(160);
  }
  std::uint32_t At(const Surface& s, TControl* c, int x, int y) {
    return s.Row(c->Top() + y)[c->Left() + x] & 0xFFFFFF;
  }
  Surface Paint() {
    form->SetVisible(true);
    Surface s;
    WindowPainter::PaintClient(form.get(), s);
    return s;
  }
};

TEST_F(VisualListScroll, FramedListBoxFramesItsBarsAndItsWideLinesScrollAcross) {
  auto* list = new TVcTabbedListBox(form.get());
  list->SetParent(form.get());
  list->SetBounds(10, 10, 150, 100);
  for (int i = 0; i < 40; ++i)
    list->Items()->Add("Ligne " + std::to_string(i) + " bien plus large que la liste");
  list->SetFrameVisible(true);
  list->SetFrameStyle(fsFlat);
  list->SetFrameColor(clRed);
  list->UpdateHorzExtent();
  EXPECT_EQ(GetScrollBarStyle(list->Handle()),
            WS_VSCROLL);  // no horizontal bar without HorzScrollBar
  list->SetHorzScrollBar(true);
  EXPECT_EQ(GetScrollBarStyle(list->Handle()), WS_VSCROLL | WS_HSCROLL);
  Surface s = Paint();
  const std::uint32_t red = PixelFromColor(0x0000FF);
  EXPECT_EQ(At(s, list, 149, 10), red);  // the frame, beside the vertical bar
  EXPECT_EQ(At(s, list, 60, 99), red);   // and under the horizontal one
  EXPECT_EQ(At(s, list, 132, 2),
            PixelFromColor(GetSysColor(COLOR_3DLIGHT)));  // the up arrow inside it
  EXPECT_EQ(At(s, list, 140, 90), PixelFromColor(GetSysColor(COLOR_BTNFACE)));  // the size box
  list->Perform(WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(list->LeftPos(), 8);
}

TEST_F(VisualListScroll, CheckListLinesStopAtTheBarWhichScrollsThem) {
  auto* list = new TVcCheckList(form.get());
  list->SetParent(form.get());
  list->SetBounds(10, 10, 150, 100);
  for (int i = 0; i < 40; ++i) list->Items()->Add("Elément " + std::to_string(i));
  list->SetItemIndex(0);  // a highlighted line
  Surface s = Paint();
  const std::uint32_t face = PixelFromColor(GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(At(s, list, 140, 6), face);  // the arrow's face, not the line's
  SendMessage(list->Handle(), WM_LBUTTONDOWN, 1, MAKELPARAM(140, 90));  // the down arrow
  SendMessage(list->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(140, 90));
  EXPECT_EQ(list->TopIndex(), 1);
  EXPECT_EQ(list->ItemIndex(), 0);  // no line was clicked
}

TEST_F(VisualListScroll, WheelGoesThroughTheListsOwnHandling) {
  auto* list = new TVcTabbedListBox(form.get());
  list->SetParent(form.get());
  list->SetBounds(10, 10, 150, 100);
  for (int i = 0; i < 40; ++i) list->Items()->Add("Ligne " + std::to_string(i));
  auto wheel = [&](int delta) {
    list->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(delta))), 0);
  };
  wheel(-WHEEL_DELTA);
  EXPECT_EQ(list->TopIndex(), 3);
  EXPECT_EQ(GetScrollPos(list->Handle(), SB_VERT), 3);
  list->SetTopIndex(2);
  wheel(WHEEL_DELTA);  // this list does not move part of the way to the top
  EXPECT_EQ(list->TopIndex(), 2);
}

}  // namespace
