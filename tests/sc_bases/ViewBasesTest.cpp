#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "platform/forms/graphics/Gdi.h"
#include "shellcontrols/UScTreeList.h"

using namespace win;

namespace {

struct Notification {
  NMTVCUSTOMDRAW tv;
  LRESULT result = 0;
  HDC dc = CreateScreenDC();
  explicit Notification(DWORD stage) {
    tv.nmcd.hdr.code = NM_CUSTOMDRAW;
    tv.nmcd.dwDrawStage = stage;
    tv.nmcd.hdc = dc;
  }
  ~Notification() { DeleteDC(dc); }
};

class TTestTree : public TScCustomTreeView {
 public:
  using TScCustomTreeView::KeyDown;
  using TScCustomTreeView::TScCustomTreeView;
};

class TTestList : public TScCustomListView {
 public:
  using TScCustomListView::TScCustomListView;
};

struct Popups {
  std::vector<std::pair<TPopupMenu*, TPoint>> shown;
  TPopupMenu::TObserver previous;
  Popups() {
    previous = TPopupMenu::SetObserver([this](TPopupMenu* m, int x, int y) {
      shown.push_back({m, {x, y}});
    });
  }
  ~Popups() { TPopupMenu::SetObserver(previous); }
};

}  // namespace

TEST(CustomDraw, StagesFromTheDrawStage) {
  for (auto [stage, expect] : std::vector<std::pair<DWORD, int>>{{CDDS_PREPAINT, 1},
                                                                 {CDDS_POSTPAINT, 2},
                                                                 {CDDS_ITEMPREPAINT, 4},
                                                                 {CDDS_ITEMPOSTPAINT, 5},
                                                                 {CDDS_PREERASE, 0}}) {
    Notification n(stage);
    TScTvCustomDraw cd(&n.tv.nmcd, nullptr, &n.result);
    EXPECT_EQ(cd.Stage(), expect) << stage;
  }
}

TEST(CustomDraw, TreeAnswerFollowsRequestKeepResultAndSkipDefault) {
  {
    Notification n(CDDS_PREPAINT);
    TScTvCustomDraw cd(&n.tv.nmcd, nullptr, &n.result);
    cd.NotifyRequest = 1;
    n.result = 0x1234;
    cd.Apply();
    EXPECT_EQ(n.result, CDRF_NOTIFYITEMDRAW);
    cd.KeepResult = true;
    n.result = 0x1;
    cd.Apply();
    EXPECT_EQ(n.result, 0x1);  // left as the handler set it
  }
  {
    Notification n(CDDS_ITEMPREPAINT);
    TScTvCustomDraw cd(&n.tv.nmcd, nullptr, &n.result);
    cd.SkipDefault = true;
    cd.Apply();
    EXPECT_EQ(n.result, CDRF_SKIPDEFAULT);
  }
}

TEST(CustomDraw, ChangedFontAndBrushGoIntoTheItemColours) {
  Notification n(CDDS_ITEMPREPAINT);
  TFont controlFont;
  TScTvCustomDraw cd(&n.tv.nmcd, &controlFont, &n.result);
  EXPECT_FALSE(cd.FontChanged());
  EXPECT_FALSE(cd.BrushChanged());
  cd.Apply();
  EXPECT_EQ(n.result, CDRF_DODEFAULT);  // nothing changed: nothing applied
  cd.Font()->SetColor(clRed);
  cd.Brush()->SetColor(clYellow);
  cd.Apply();
  EXPECT_EQ(n.tv.clrText, ColorToRGB(clRed));
  EXPECT_EQ(n.tv.clrTextBk, ColorToRGB(clYellow));
  EXPECT_EQ(n.result, CDRF_NEWFONT);
  EXPECT_EQ(GetCurrentObject(n.dc, OBJ_FONT), HGDIOBJ(cd.Font()->Handle()));
}

TEST(CustomDraw, WithoutEventsTreeAsksNothingListAsksItemNotifications) {
  TForm form(nullptr);
  auto* tree = new TTestTree(&form);
  tree->SetParent(&form);
  auto* list = new TTestList(&form);
  list->SetParent(&form);
  Notification a(CDDS_PREPAINT);
  EXPECT_EQ(tree->DoCustomDraw(&a.tv.nmcd, &a.result), nullptr);
  EXPECT_EQ(a.result, CDRF_DODEFAULT);
  Notification b(CDDS_PREPAINT);
  EXPECT_EQ(list->DoCustomDraw(&b.tv.nmcd, &b.result), nullptr);
  EXPECT_EQ(b.result, CDRF_NOTIFYITEMDRAW);
  Notification c(CDDS_ITEMPREPAINT);
  EXPECT_EQ(list->DoCustomDraw(&c.tv.nmcd, &c.result), nullptr);
  EXPECT_EQ(c.result, CDRF_NOTIFYITEMDRAW);
}

TEST(CustomDraw, TreeItemEventGetsTheNodeAndCanSkipIt) {
  TForm form(nullptr);
  auto* tree = new TTestTree(&form);
  tree->SetParent(&form);
  TTreeNode* node = tree->Items()->Add(nullptr, "Poste de travail");
  TTreeNode* seen = nullptr;
  int ex = 0;
  tree->OnTvCustomDrawEx = [&](TObject*, TScCustomDraw*, TTreeNode*) { ++ex; };
  tree->OnTvCustomDraw = [&](TObject*, TScCustomDraw* cd, TTreeNode* n) {
    seen = n;
    cd->SkipDefault = true;
  };
  Notification pre(CDDS_PREPAINT);
  std::unique_ptr<TScCustomDraw> keep(tree->DoCustomDraw(&pre.tv.nmcd, &pre.result));
  EXPECT_EQ(pre.result, CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(seen, nullptr);  // the item event waits for the item stage
  Notification item(CDDS_ITEMPREPAINT);
  item.tv.nmcd.dwItemSpec = std::uintptr_t(node->ItemId());
  keep.reset(tree->DoCustomDraw(&item.tv.nmcd, &item.result));
  EXPECT_EQ(seen, node);
  // The item pre-paint stage has the pre-paint bit: it asks for notifications as well.
  EXPECT_EQ(item.result, CDRF_SKIPDEFAULT | CDRF_NOTIFYITEMDRAW);
  EXPECT_EQ(ex, 2);
  Notification post(CDDS_ITEMPOSTPAINT);
  post.tv.nmcd.dwItemSpec = std::uintptr_t(node->ItemId());
  keep.reset(tree->DoCustomDraw(&post.tv.nmcd, &post.result));
  EXPECT_EQ(post.result, CDRF_DODEFAULT);
}

TEST(ContextMenus, AppsKeyWithoutSelectionOpensPopupAtTopLeft) {
  Popups popups;
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 200);
  auto* tree = new TTestTree(&form);
  tree->SetParent(&form);
  tree->SetBounds(10, 20, 100, 100);
  auto* menu = new TPopupMenu(&form);
  tree->SetPopupMenu(menu);
  WORD key = 0x5D;
  tree->KeyDown(key, 0);
  EXPECT_EQ(key, 0);
  ASSERT_EQ(popups.shown.size(), 1u);
  EXPECT_EQ(popups.shown[0].first, menu);
  EXPECT_EQ(menu->PopupComponent(), tree);
  TPoint corner = ScClientToScreen(tree, {0, 0});
  EXPECT_EQ(popups.shown[0].second.x, corner.x);
  EXPECT_EQ(popups.shown[0].second.y, corner.y);
  // Shift+F10 does the same; F10 alone does not.
  key = 0x79;
  tree->KeyDown(key, ssShift);
  EXPECT_EQ(popups.shown.size(), 2u);
  key = 0x79;
  tree->KeyDown(key, 0);
  EXPECT_EQ(popups.shown.size(), 2u);
}

TEST(ContextMenus, NodeMenuHandlerMayReplaceOrDropTheMenu) {
  Popups popups;
  TForm form(nullptr);
  auto* tree = new TTestTree(&form);
  tree->SetParent(&form);
  auto* own = new TPopupMenu(&form);
  auto* other = new TPopupMenu(&form);
  tree->SetPopupMenu(own);
  TTreeNode* node = tree->Items()->Add(nullptr, "C:");

  tree->OnNodeContextMenu = [&](TObject*, TTreeNode*, TPoint&, TPopupMenu*& m) { m = nullptr; };
  tree->PopupNodeMenu(node, {5, 5});
  EXPECT_TRUE(popups.shown.empty());
  EXPECT_TRUE(tree->MenuShown());  // changed (to none): the own popup stays off for that click

  tree->OnNodeContextMenu = [&](TObject*, TTreeNode*, TPoint& p, TPopupMenu*& m) {
    m = other;
    p = {7, 8};
  };
  tree->PopupNodeMenu(node, {5, 5});
  ASSERT_EQ(popups.shown.size(), 1u);
  EXPECT_EQ(popups.shown[0].first, other);
  EXPECT_TRUE(tree->MenuShown());

  tree->OnNodeContextMenu = nullptr;
  tree->PopupNodeMenu(node, {5, 5});
  EXPECT_EQ(popups.shown.back().first, own);
  EXPECT_FALSE(tree->MenuShown());
}

TEST(SortArrows, SortColumnDefaultsAndUnchangedSetterDoesNothing) {
  TForm form(nullptr);
  auto* list = new TTestList(&form);
  list->SetParent(&form);
  EXPECT_EQ(list->SortColumn(), -1);
  EXPECT_FALSE(list->SortDescending());
  EXPECT_EQ(list->HeaderArrowStyle(), 2);
  EXPECT_TRUE(list->HeaderOwnerDrawText());
  int before = list->InvalidateCount();
  list->SetSortColumn(-1);
  list->SetSortDescending(false);
  EXPECT_EQ(list->InvalidateCount(), before);
  list->SetSortColumn(1);
  EXPECT_EQ(list->SortColumn(), 1);
}
