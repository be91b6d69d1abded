// The window scroll bars: their ranges and visibility, the mouse on arrows, page areas and
// thumb as the display back end delivers it, their classic pixels, and the list box, tree
// view and list view keeping their scrolling in them.
#include <gtest/gtest.h>

#include "../forms/FormTestSupport.h"
#include "platform/forms/Forms.h"
#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/ListView.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/TreeView.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"

using namespace win;

namespace {

// A list box that notes the mouse messages its procedure gets.
class TNotingListBox : public TListBox {
 public:
  using TListBox::TListBox;
  std::vector<UINT> Mouse;
  void WndProc(TMessage& m) override {
    if (m.Msg >= WM_MOUSEMOVE && m.Msg <= WM_RBUTTONUP && m.Msg != WM_MOUSEMOVE)
      Mouse.push_back(m.Msg);
    TListBox::WndProc(m);
  }
};

// The WM_VSCROLL / WM_HSCROLL a window receives: code and high word.
struct ScrollSpy {
  explicit ScrollSpy(TWinControl* c) : hwnd(c->Handle()) {
    prev = SetWindowProc(hwnd, [this](HWND h, UINT m, WPARAM w, LPARAM l) {
      if (m == WM_VSCROLL || m == WM_HSCROLL)
        codes.push_back(LOWORD(DWORD(w))), highs.push_back(HIWORD(DWORD(w)));
      return prev(h, m, w, l);
    });
  }
  ~ScrollSpy() { SetWindowProc(hwnd, prev); }
  HWND hwnd;
  WNDPROC prev;
  std::vector<int> codes, highs;
};

class ScrollBarTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = new TForm(Application);
    form->SetBounds(0, 0, 500, 400);
  }
  void TearDown() override {
    delete form;
    FormsTest::TearDown();
  }
  template <class T>
  T* Place(int w, int h) {
    auto* c = new T(form);
    c->SetParent(form);
    c->SetBounds(10, 10, w, h);
    return c;
  }
  TNotingListBox* Lines(int n) {
    auto* lb = Place<TNotingListBox>(121, 97);
    for (int i = 0; i < n; ++i) lb->Items()->Add("Ligne " + std::to_string(i));
    return lb;
  }
  // The mouse as the back end sends it: to the window, in the control's coordinates.
  static void Mouse(TWinControl* c, UINT msg, int x, int y) {
    SendMessage(c->Handle(), msg, msg == WM_LBUTTONUP ? 0 : 1,
                MAKELPARAM(WORD(short(x)), WORD(short(y))));
  }
  static SCROLLINFO Info(TWinControl* c, int bar) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    EXPECT_TRUE(GetScrollInfo(c->Handle(), bar, &si));
    return si;
  }
  // A pixel of the painted form, in c's coordinates.
  COLORREF Pixel(TControl* c, int x, int y) {
    Surface s;
    form->SetVisible(true);  // painted as shown
    WindowPainter::PaintWindow(form, s);
    form->SetVisible(false);
    POINT o = WindowPainter::ClientOrigin(form);
    return ColorFromPixel(s.Row(o.y + c->Top() + y)[o.x + c->Left() + x]) & 0xFFFFFF;
  }
  TForm* form;
};

COLORREF Sys(int i) { return GetSysColor(i); }

TEST_F(ScrollBarTest, RangePageAndPositionDecideWhatShows) {
  auto* p = Place<TPanel>(200, 100);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  EXPECT_FALSE(GetScrollInfo(p->Handle(), SB_VERT, &si));  // no bar yet
  EXPECT_FALSE(GetScrollInfo(HWND(std::uintptr_t(0x7777)), SB_VERT, &si));
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 16);

  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0, si.nMax = 99, si.nPage = 10, si.nPos = 95;
  EXPECT_EQ(SetScrollInfo(p->Handle(), SB_VERT, &si, TRUE), 90);  // the last page starts at 90
  EXPECT_EQ(GetScrollBarStyle(p->Handle()), WS_VSCROLL);
  EXPECT_EQ(p->ClientWidth(), 184);
  EXPECT_EQ(SetScrollPos(p->Handle(), SB_VERT, 50, TRUE), 90);  // gives the previous one
  EXPECT_EQ(GetScrollPos(p->Handle(), SB_VERT), 50);
  int start = 0, end = 0;
  ASSERT_TRUE(ScrollBars::ThumbSpan(p, SB_VERT, &start, &end));
  EXPECT_EQ(end - start, 8);  // 68 * 10 / 100 is under the smallest thumb

  si.nMax = 9;  // a page holds it all: the bar goes
  SetScrollInfo(p->Handle(), SB_VERT, &si, TRUE);
  EXPECT_EQ(GetScrollBarStyle(p->Handle()), 0u);
  EXPECT_EQ(p->ClientWidth(), 200);
  EXPECT_EQ(GetScrollPos(p->Handle(), SB_VERT), 0);
  si.fMask |= SIF_DISABLENOSCROLL;  // or stays, disabled and without a thumb
  SetScrollInfo(p->Handle(), SB_VERT, &si, TRUE);
  EXPECT_EQ(GetScrollBarStyle(p->Handle()), WS_VSCROLL);
  EXPECT_FALSE(ScrollBars::ThumbSpan(p, SB_VERT, nullptr, nullptr));

  EXPECT_TRUE(SetScrollRange(p->Handle(), SB_HORZ, 0, 300, TRUE));
  int lo = -1, hi = -1;
  EXPECT_TRUE(GetScrollRange(p->Handle(), SB_HORZ, &lo, &hi));
  EXPECT_EQ(hi, 300);
  EXPECT_EQ(GetScrollBarStyle(p->Handle()), WS_VSCROLL | WS_HSCROLL);
  EXPECT_EQ(p->ClientHeight(), 84);
  EXPECT_EQ(ScrollBars::BarRect(p, SB_HORZ), (RECT{0, 84, 184, 100}));  // the size box is left free
  EXPECT_TRUE(EnableScrollBar(p->Handle(), SB_HORZ, ESB_DISABLE_BOTH));
  EXPECT_FALSE(ScrollBars::ThumbSpan(p, SB_HORZ, nullptr, nullptr));
  EXPECT_TRUE(ShowScrollBar(p->Handle(), SB_BOTH, FALSE));
  EXPECT_EQ(p->ClientWidth(), 200);
  EXPECT_EQ(p->ClientHeight(), 100);
}

TEST_F(ScrollBarTest, ArrowsStepAndRepeatWhileHeldOnThem) {
  auto* lb = Lines(60);  // 7 whole lines show: the bar is 103..119 across, 2..95 down
  ScrollSpy spy(lb);
  Mouse(lb, WM_LBUTTONDOWN, 111, 87);  // the down arrow
  EXPECT_EQ(lb->TopIndex(), 1);
  UiDriver::Advance(199);
  EXPECT_EQ(lb->TopIndex(), 1);
  UiDriver::Advance(1);  // the first pause, then quicker steps
  EXPECT_EQ(lb->TopIndex(), 2);
  UiDriver::Advance(100);
  EXPECT_EQ(lb->TopIndex(), 4);
  Mouse(lb, WM_MOUSEMOVE, 50, 50);  // off the arrow: it pauses
  UiDriver::Advance(200);
  EXPECT_EQ(lb->TopIndex(), 4);
  Mouse(lb, WM_MOUSEMOVE, 111, 88);
  UiDriver::Advance(50);
  EXPECT_EQ(lb->TopIndex(), 5);
  Mouse(lb, WM_LBUTTONUP, 111, 88);
  UiDriver::Advance(500);
  EXPECT_EQ(lb->TopIndex(), 5);
  EXPECT_EQ(spy.codes, (std::vector<int>{SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN, SB_LINEDOWN,
                                         SB_LINEDOWN, SB_ENDSCROLL}));
  EXPECT_EQ(GetScrollPos(lb->Handle(), SB_VERT), 5);
  // The list never saw a press of its bar; a press on a line is its own.
  EXPECT_TRUE(lb->Mouse.empty());
  EXPECT_EQ(lb->ItemIndex(), -1);
  Mouse(lb, WM_LBUTTONDOWN, 20, 8);
  Mouse(lb, WM_LBUTTONUP, 20, 8);
  EXPECT_EQ(lb->Mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(lb->ItemIndex(), 5);
}

TEST_F(ScrollBarTest, PageAreaRepeatsUntilTheThumbReachesThePointer) {
  auto* lb = Lines(60);  // the thumb moves one pixel a line: 18..26 at the top
  ScrollSpy spy(lb);
  Mouse(lb, WM_LBUTTONDOWN, 111, 60);
  EXPECT_EQ(lb->TopIndex(), 7);
  UiDriver::Advance(1000);
  EXPECT_EQ(lb->TopIndex(), 35);  // its thumb now lies under the pointer (53..61)
  Mouse(lb, WM_LBUTTONUP, 111, 60);
  EXPECT_EQ(spy.codes.back(), SB_ENDSCROLL);
  EXPECT_EQ(std::count(spy.codes.begin(), spy.codes.end(), SB_PAGEDOWN), 5);
  Mouse(lb, WM_LBUTTONDOWN, 111, 30);  // above the thumb
  Mouse(lb, WM_LBUTTONUP, 111, 30);
  EXPECT_EQ(lb->TopIndex(), 28);
}

TEST_F(ScrollBarTest, DraggedThumbTracksThenSettlesOrGoesBackWhenLeftFarAway) {
  auto* lb = Lines(60);
  ScrollSpy spy(lb);
  Mouse(lb, WM_LBUTTONDOWN, 111, 22);  // 4 pixels into the thumb
  Mouse(lb, WM_MOUSEMOVE, 111, 32);
  EXPECT_EQ(lb->TopIndex(), 10);  // the list follows as it is dragged
  SCROLLINFO si = Info(lb, SB_VERT);
  EXPECT_EQ(si.nTrackPos, 10);
  Mouse(lb, WM_MOUSEMOVE, 111, 500);
  EXPECT_EQ(lb->TopIndex(), 53);
  Mouse(lb, WM_MOUSEMOVE, -60, 500);  // far off the bar: back where it started
  EXPECT_EQ(lb->TopIndex(), 0);
  Mouse(lb, WM_MOUSEMOVE, 112, 400);
  Mouse(lb, WM_LBUTTONUP, 112, 400);
  EXPECT_EQ(spy.codes, (std::vector<int>{SB_THUMBTRACK, SB_THUMBTRACK, SB_THUMBTRACK, SB_THUMBTRACK,
                                         SB_THUMBPOSITION, SB_ENDSCROLL}));
  EXPECT_EQ(spy.highs, (std::vector<int>{10, 53, 0, 53, 53, 0}));
  EXPECT_EQ(lb->TopIndex(), 53);  // the last line shows at the bottom
  EXPECT_LE(lb->ItemRect(59).bottom, lb->ClientHeight());
  int start = 0, end = 0;
  ASSERT_TRUE(ScrollBars::ThumbSpan(lb, SB_VERT, &start, &end));
  EXPECT_EQ(end, 79);  // against the down arrow
  EXPECT_TRUE(lb->Mouse.empty());
}

TEST_F(ScrollBarTest, PaintedAsRaisedButtonsDitheredTrackAndThumb) {
  auto* lb = Lines(60);
  lb->Perform(LB_SETHORIZONTALEXTENT, 300);  // both bars: vertical 2..79, size box 79..95
  lb->SetItemIndex(0);
  // The up arrow: a raised button with a black triangle of 4 rows, 7 wide at its base.
  EXPECT_EQ(Pixel(lb, 103, 2), Sys(COLOR_3DLIGHT));
  EXPECT_EQ(Pixel(lb, 104, 3), Sys(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(Pixel(lb, 117, 16), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(Pixel(lb, 118, 17), Sys(COLOR_3DDKSHADOW));
  EXPECT_EQ(Pixel(lb, 110, 8), Sys(COLOR_BTNTEXT));
  EXPECT_EQ(Pixel(lb, 110, 7), Sys(COLOR_BTNFACE));
  EXPECT_EQ(Pixel(lb, 107, 11), Sys(COLOR_BTNTEXT));
  EXPECT_EQ(Pixel(lb, 113, 11), Sys(COLOR_BTNTEXT));
  EXPECT_EQ(Pixel(lb, 106, 11), Sys(COLOR_BTNFACE));
  // The thumb at the top is a raised button; the track below it a dither.
  EXPECT_EQ(Pixel(lb, 103, 18), Sys(COLOR_3DLIGHT));
  EXPECT_EQ(Pixel(lb, 118, 25), Sys(COLOR_3DDKSHADOW));
  COLORREF a = Pixel(lb, 110, 40), b = Pixel(lb, 111, 40);
  EXPECT_NE(a, b);
  EXPECT_TRUE((a == Sys(COLOR_BTNHIGHLIGHT) && b == Sys(COLOR_BTNFACE)) ||
              (b == Sys(COLOR_BTNHIGHLIGHT) && a == Sys(COLOR_BTNFACE)));
  EXPECT_EQ(Pixel(lb, 110, 87), Sys(COLOR_BTNFACE));  // the size box
  // The selected line stops at the bar.
  EXPECT_EQ(Pixel(lb, 100, 8), Sys(COLOR_HIGHLIGHT));
  EXPECT_NE(Pixel(lb, 105, 8), Sys(COLOR_HIGHLIGHT));

  // Held down, the arrow goes flat and its triangle moves a pixel.
  EXPECT_EQ(Pixel(lb, 114, 70), Sys(COLOR_BTNFACE));
  Mouse(lb, WM_LBUTTONDOWN, 110, 70);
  EXPECT_EQ(Pixel(lb, 103, 63), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(Pixel(lb, 114, 70), Sys(COLOR_BTNTEXT));
  Mouse(lb, WM_LBUTTONUP, 110, 70);
  // Disabled, the triangles are etched and the thumb goes.
  lb->SetEnabled(false);
  EXPECT_EQ(Pixel(lb, 110, 8), Sys(COLOR_BTNSHADOW));
  EXPECT_EQ(Pixel(lb, 114, 12), Sys(COLOR_BTNHIGHLIGHT));
  EXPECT_FALSE(ScrollBars::ThumbSpan(lb, SB_VERT, nullptr, nullptr));
}

TEST_F(ScrollBarTest, ListBoxBarsFollowLinesExtentKeysAndWheel) {
  auto* lb = Lines(5);
  EXPECT_EQ(GetScrollBarStyle(lb->Handle()), 0u);  // everything shows
  for (int i = 5; i < 30; ++i) lb->Items()->Add("Ligne " + std::to_string(i));
  SCROLLINFO v = Info(lb, SB_VERT);
  EXPECT_EQ(v.nMax, 29);
  EXPECT_EQ(v.nPage, 7u);
  lb->Perform(LB_SETHORIZONTALEXTENT, 300);
  EXPECT_EQ(GetScrollBarStyle(lb->Handle()), WS_VSCROLL | WS_HSCROLL);
  EXPECT_EQ(Info(lb, SB_VERT).nPage, 5u);  // the horizontal bar took a line's room
  lb->Perform(WM_HSCROLL, SB_PAGERIGHT, 0);
  EXPECT_EQ(lb->LeftPos(), 101);  // a client width
  EXPECT_EQ(lb->ItemRect(0).left, -101);
  lb->Perform(WM_HSCROLL, SB_RIGHT, 0);
  EXPECT_EQ(lb->LeftPos(), 300 - 101);
  lb->Perform(LB_SETHORIZONTALEXTENT, 50);  // narrower than the list: no bar, no offset
  EXPECT_EQ(GetScrollBarStyle(lb->Handle()), WS_VSCROLL);
  EXPECT_EQ(lb->LeftPos(), 0);
  lb->Perform(WM_KEYDOWN, VK_END);
  EXPECT_EQ(GetScrollPos(lb->Handle(), SB_VERT), 23);
  lb->Perform(WM_KEYDOWN, VK_HOME);
  EXPECT_EQ(GetScrollPos(lb->Handle(), SB_VERT), 0);
  lb->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(-WHEEL_DELTA))), 0);
  EXPECT_EQ(lb->TopIndex(), 3);
  lb->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(60))), 0);  // half a notch waits for the rest
  EXPECT_EQ(lb->TopIndex(), 3);
  lb->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(60))), 0);
  EXPECT_EQ(lb->TopIndex(), 0);
  lb->Clear();
  EXPECT_EQ(GetScrollBarStyle(lb->Handle()), 0u);
}

TEST_F(ScrollBarTest, TreeBarsFollowRowsKeysExpansionAndWidth) {
  auto* tree = Place<TTreeView>(200, 200);
  std::vector<TTreeNode*> n;
  n.reserve(40);
  for (int i = 0; i < 40; ++i)
    n.push_back(tree->Items()->Add(nullptr, "Noeud " + std::to_string(i)));
  int page = tree->VisibleCount();
  SCROLLINFO v = Info(tree, SB_VERT);
  EXPECT_EQ(v.nMax, 39);
  EXPECT_EQ(int(v.nPage), page);
  EXPECT_EQ(GetScrollBarStyle(tree->Handle()), WS_VSCROLL);
  tree->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(tree->TopItem(), n[size_t(page)]);
  EXPECT_EQ(GetScrollPos(tree->Handle(), SB_VERT), page);
  tree->Perform(WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(tree->TopItem(), n[size_t(40 - page)]);
  tree->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(WHEEL_DELTA))), 0);
  EXPECT_EQ(GetScrollPos(tree->Handle(), SB_VERT), 40 - page - 3);
  n[5]->MakeVisible();
  EXPECT_EQ(GetScrollPos(tree->Handle(), SB_VERT), 5);
  tree->SetSelected(n[5]);
  tree->Perform(WM_KEYDOWN, VK_END);
  EXPECT_EQ(tree->Selected(), n[39]);
  EXPECT_EQ(GetScrollPos(tree->Handle(), SB_VERT), 40 - page);
  for (int i = 0; i < 10; ++i) tree->Items()->AddChild(n[0], "Enfant " + std::to_string(i));
  n[0]->Expand(false);
  EXPECT_EQ(Info(tree, SB_VERT).nMax, 49);

  // A label wider than the view brings the horizontal bar; scrolling moves the labels.
  EXPECT_EQ(GetScrollBarStyle(tree->Handle()), WS_VSCROLL);
  TTreeNode* wide = tree->Items()->Add(nullptr, std::string(60, 'W'));
  EXPECT_EQ(GetScrollBarStyle(tree->Handle()), WS_VSCROLL | WS_HSCROLL);
  EXPECT_EQ(tree->VisibleCount(), (196 - 16) / (196 / page));
  RECT before = n[39]->DisplayRect(true);
  tree->Perform(WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(n[39]->DisplayRect(true).left, before.left - 8);
  wide->MakeVisible();  // wider than the view: its start comes into view
  EXPECT_EQ(wide->DisplayRect(true).left, 2);
  n[39]->MakeVisible();  // and a label left of the view comes back to its edge
  EXPECT_EQ(n[39]->DisplayRect(true).left, 2);
  tree->SetStyle(TVS_NOSCROLL, true);
  EXPECT_EQ(GetScrollBarStyle(tree->Handle()), 0u);
}

class ListViewScrollTest : public ScrollBarTest {
 protected:
  TListView* Report(int items) {
    auto* lv = Place<TListView>(300, 200);
    lv->SetViewStyle(vsReport);
    lv->Columns()->Add()->SetCaption("Nom");
    lv->Columns()->Add()->SetCaption("Taille");
    lv->Column(0)->SetWidth(200);
    lv->Column(1)->SetWidth(150);
    for (int i = 0; i < items; ++i) lv->Items()->Add()->SetCaption("Fichier " + std::to_string(i));
    return lv;
  }
  // The painted header's left part (its first caption) in a list view.
  std::vector<COLORREF> HeaderBand(TListView* lv) {
    Surface s;
    form->SetVisible(true);
    WindowPainter::PaintWindow(form, s);
    form->SetVisible(false);
    POINT o = WindowPainter::ClientOrigin(form);
    std::vector<COLORREF> out;
    for (int y = 2; y < 2 + Header::DefaultHeight(); ++y)
      for (int x = 2; x < 60; ++x) out.push_back(s.Row(o.y + lv->Top() + y)[o.x + lv->Left() + x]);
    return out;
  }
};

TEST_F(ListViewScrollTest, ReportScrollsRowsDownAndColumnsAcrossUnderItsHeader) {
  auto* lv = Report(100);
  SCROLLINFO v = Info(lv, SB_VERT), h = Info(lv, SB_HORZ);
  EXPECT_EQ(v.nMax, 99);
  EXPECT_EQ(int(v.nPage), lv->VisibleRowCount());
  EXPECT_EQ(h.nMax, 349);
  EXPECT_EQ(h.nPage, 280u);  // 300 less the border and the vertical bar
  auto header = HeaderBand(lv);
  lv->Perform(WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(lv->TopItem(), lv->Items()->Item(1));
  EXPECT_EQ(HeaderBand(lv), header);  // the header stays on top
  EXPECT_EQ(Header::Bounds(lv->HeaderHandle()).left, 2);
  lv->Perform(WM_HSCROLL, SB_PAGERIGHT, 0);
  EXPECT_EQ(GetScrollPos(lv->Handle(), SB_HORZ), 70);
  EXPECT_EQ(Header::Bounds(lv->HeaderHandle()).left, 2 - 70);  // and moves across with the rows
  EXPECT_EQ(lv->Items()->Item(1)->DisplayRect(drBounds).left, 2 - 70);
  EXPECT_NE(HeaderBand(lv), header);
  lv->Perform(WM_KEYDOWN, VK_END);
  EXPECT_EQ(GetScrollPos(lv->Handle(), SB_VERT), 100 - lv->VisibleRowCount());
  lv->Items()->Item(3)->MakeVisible(false);
  EXPECT_EQ(GetScrollPos(lv->Handle(), SB_VERT), 3);
  lv->Scroll(-1000, 2 * 17);  // pixels: whole rows down, back to the left edge
  EXPECT_EQ(GetScrollPos(lv->Handle(), SB_HORZ), 0);
  lv->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(short(-WHEEL_DELTA))), 0);
  EXPECT_EQ(lv->TopItem()->Index(), GetScrollPos(lv->Handle(), SB_VERT));
  lv->Items()->Clear();
  EXPECT_EQ(GetScrollBarStyle(lv->Handle()), WS_HSCROLL);  // the columns are still wider
}

TEST_F(ListViewScrollTest, ListAndIconStylesScrollTheirOwnWay) {
  auto* lv = Report(100);
  lv->SetViewStyle(vsList);  // columns of items: across only
  EXPECT_EQ(GetScrollBarStyle(lv->Handle()), WS_HSCROLL);
  int perColumn = int(lv->Perform(LVM_GETCOUNTPERPAGE) / Info(lv, SB_HORZ).nPage);
  lv->Perform(WM_HSCROLL, SB_LINERIGHT, 0);
  EXPECT_EQ(lv->TopItem()->Index(), perColumn);
  lv->SetViewStyle(vsIcon);  // rows of icons: down only
  EXPECT_EQ(GetScrollBarStyle(lv->Handle()), WS_VSCROLL);
  lv->Perform(WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_LT(lv->Items()->Item(99)->DisplayRect(drBounds).bottom, 200);
  lv->SetOwnerData(true);  // virtual items count too
  lv->SetViewStyle(vsReport);
  lv->Items()->SetCount(2000);
  EXPECT_EQ(Info(lv, SB_VERT).nMax, 1999);
}

}  // namespace
