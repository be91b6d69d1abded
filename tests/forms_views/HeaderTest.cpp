// The header control on its own: items, hit testing, clicks and tracking by mouse, and
// the notifications its parent receives.
#include <gtest/gtest.h>

#include <vector>

#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/graphics/Gdi.h"

using namespace win;

namespace {

struct Parent {
  HWND hwnd = nullptr;
  std::vector<std::pair<int, int>> seen;  // code, item
  int refuse = 0;                         // a code to answer TRUE to
  std::vector<int> drawn;
};

class HeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent.hwnd = CreateWindowHandle([this](HWND, UINT msg, WPARAM, LPARAM l) -> LRESULT {
      if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHEADERA*>(l);
        parent.seen.push_back({nm->hdr.code, nm->iItem});
        return nm->hdr.code == parent.refuse;
      }
      if (msg == WM_DRAWITEM)
        parent.drawn.push_back(int(reinterpret_cast<DRAWITEMSTRUCT*>(l)->itemID));
      return 0;
    });
    header = Header::Create(parent.hwnd, 0);
    Header::SetBounds(header, RECT{0, 0, 300, Header::DefaultHeight()});
    for (int w : {100, 60}) {
      HDITEMA it;
      it.mask = HDI_WIDTH | HDI_TEXT;
      it.cxy = w;
      it.pszText = const_cast<char*>("col");
      SendMessage(header, HDM_INSERTITEMA, 99, LPARAM(&it));
    }
  }
  void TearDown() override {
    Header::Destroy(header);
    DestroyWindow(parent.hwnd);
  }
  int Width(int i) {
    HDITEMA it;
    it.mask = HDI_WIDTH;
    SendMessage(header, HDM_GETITEMA, WPARAM(i), LPARAM(&it));
    return it.cxy;
  }
  void Mouse(UINT msg, int x) { SendMessage(header, msg, 1, MAKELPARAM(WORD(x), 5)); }
  bool Saw(int code) {
    for (auto& s : parent.seen)
      if (s.first == code) return true;
    return false;
  }
  Parent parent;
  HWND header = nullptr;
};

TEST_F(HeaderTest, ItemsRectsAndHitTests) {
  EXPECT_EQ(SendMessage(header, HDM_GETITEMCOUNT, 0, 0), 2);
  RECT r{};
  ASSERT_TRUE(SendMessage(header, HDM_GETITEMRECT, 1, LPARAM(&r)));
  EXPECT_EQ(r.left, 100);
  EXPECT_EQ(r.right, 160);
  EXPECT_FALSE(SendMessage(header, HDM_GETITEMRECT, 2, LPARAM(&r)));
  EXPECT_FALSE(SendMessage(header, HDM_DELETEITEM, 5, 0));
  HDITEMA bad;
  EXPECT_FALSE(SendMessage(header, HDM_GETITEMA, WPARAM(-1), LPARAM(&bad)));
  HDHITTESTINFO hi;
  hi.pt = {130, 5};
  EXPECT_EQ(SendMessage(header, HDM_HITTEST, 0, LPARAM(&hi)), 1);
  EXPECT_EQ(hi.flags, HHT_ONHEADER);
  hi.pt = {101, 5};
  EXPECT_EQ(SendMessage(header, HDM_HITTEST, 0, LPARAM(&hi)), 0);
  EXPECT_EQ(hi.flags, HHT_ONDIVIDER);
  hi.pt = {250, 5};
  EXPECT_EQ(SendMessage(header, HDM_HITTEST, 0, LPARAM(&hi)), -1);
  EXPECT_EQ(hi.flags, HHT_NOWHERE);
}

TEST_F(HeaderTest, AClickIsAPressAndAReleaseOnOneItem) {
  Mouse(WM_LBUTTONDOWN, 130);
  Mouse(WM_LBUTTONUP, 131);
  EXPECT_EQ(parent.seen, (std::vector<std::pair<int, int>>{{HDN_ITEMCLICKA, 1}}));
  parent.seen.clear();
  Mouse(WM_LBUTTONDOWN, 130);
  Mouse(WM_LBUTTONUP, 40);  // released elsewhere
  EXPECT_TRUE(parent.seen.empty());
}

TEST_F(HeaderTest, TrackingADividerNotifiesAndCanBeRefused) {
  Mouse(WM_LBUTTONDOWN, 100);
  EXPECT_TRUE(Header::Tracking(header));
  Mouse(WM_MOUSEMOVE, 130);
  Mouse(WM_MOUSEMOVE, -50);  // never below zero
  EXPECT_EQ(Width(0), 0);
  Mouse(WM_MOUSEMOVE, 120);
  Mouse(WM_LBUTTONUP, 120);
  EXPECT_FALSE(Header::Tracking(header));
  EXPECT_EQ(Width(0), 120);
  EXPECT_TRUE(Saw(HDN_BEGINTRACKA) && Saw(HDN_TRACKA) && Saw(HDN_ITEMCHANGEDA) &&
              Saw(HDN_ENDTRACKA));
  EXPECT_FALSE(Saw(HDN_ITEMCLICKA));
  parent.refuse = HDN_ITEMCHANGINGA;
  Mouse(WM_LBUTTONDOWN, 120);
  Mouse(WM_MOUSEMOVE, 150);
  Mouse(WM_LBUTTONUP, 150);
  EXPECT_EQ(Width(0), 120);
  parent.refuse = HDN_BEGINTRACKA;
  Mouse(WM_LBUTTONDOWN, 120);
  EXPECT_FALSE(Header::Tracking(header));
}

TEST_F(HeaderTest, PaintsAndAsksTheParentForOwnerDrawnItems) {
  HDITEMA it;
  it.mask = HDI_FORMAT;
  it.fmt = HDF_OWNERDRAW;
  ASSERT_TRUE(SendMessage(header, HDM_SETITEMA, 1, LPARAM(&it)));
  HDC screen = CreateScreenDC();
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 300, 20);
  HGDIOBJ old = SelectObject(dc, bmp);
  Header::Paint(header, dc, HFONT(GetStockObject(DEFAULT_GUI_FONT)));
  EXPECT_EQ(parent.drawn, std::vector<int>{1});
  EXPECT_EQ(GetPixel(dc, 50, 8), GetSysColor(COLOR_BTNFACE));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  DeleteDC(screen);
}

}  // namespace
