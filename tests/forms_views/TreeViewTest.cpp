// The tree view driven through its nodes, its messages and user input on a form.
#include <gtest/gtest.h>

#include <cstring>

#include "../forms/FormTestSupport.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/TreeView.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"

using namespace win;

namespace {

class TreeViewTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = new TForm(Application);
    form->SetBounds(0, 0, 300, 300);
    tree = new TTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(10, 10, 200, 200);
    root = tree->Items()->Add(nullptr, "Poste de travail");
    c = tree->Items()->AddChild(root, "C:");
    d = tree->Items()->AddChild(root, "D:");
    win = tree->Items()->AddChild(c, "Windows");
  }
  void TearDown() override {
    delete form;
    FormsTest::TearDown();
  }
  LPARAM At(int x, int y) { return MAKELPARAM(WORD(x), WORD(y)); }
  TForm* form;
  TTreeView* tree;
  TTreeNode *root, *c, *d, *win;
};

TEST_F(TreeViewTest, NodesNavigateAndCount) {
  EXPECT_EQ(tree->Items()->Count(), 4);
  EXPECT_EQ(tree->Items()->GetFirstNode(), root);
  EXPECT_EQ(root->GetFirstChild(), c);
  EXPECT_EQ(c->getNextSibling(), d);
  EXPECT_EQ(d->getPrevSibling(), c);
  EXPECT_EQ(win->Parent(), c);
  EXPECT_EQ(win->Level(), 2);
  EXPECT_EQ(root->Count(), 2);
  EXPECT_EQ(d->Index(), 1);
  EXPECT_EQ(d->AbsoluteIndex(), 3);
  EXPECT_EQ(tree->Items()->Item(2), win);
  EXPECT_EQ(tree->Items()->Item(9), nullptr);
  EXPECT_EQ(c->GetNext(), win);
  EXPECT_EQ(d->GetPrev(), win);
  EXPECT_TRUE(win->HasAsParent(root));
  EXPECT_FALSE(root->IsVisible() && !win->IsVisible() ? false : true);
  auto* first = tree->Items()->AddChildFirst(root, "A:");
  EXPECT_EQ(root->GetFirstChild(), first);
  auto* ins = tree->Items()->Insert(d, "Cd");
  EXPECT_EQ(d->getPrevSibling(), ins);
}

TEST_F(TreeViewTest, BadHandlesGiveTheSystemAnswers) {
  auto bogus = reinterpret_cast<HTREEITEM>(std::uintptr_t(0x1234));
  EXPECT_EQ(tree->Perform(TVM_DELETEITEM, 0, LPARAM(bogus)), FALSE);
  EXPECT_EQ(tree->Perform(TVM_EXPAND, TVE_EXPAND, LPARAM(bogus)), FALSE);
  EXPECT_EQ(tree->Perform(TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(bogus)), 0);
  EXPECT_EQ(tree->Perform(TVM_SELECTITEM, TVGN_CARET, LPARAM(bogus)), FALSE);
  TVITEMA it;
  it.mask = TVIF_TEXT;
  it.hItem = bogus;
  EXPECT_EQ(tree->Perform(TVM_GETITEMA, 0, LPARAM(&it)), FALSE);
  EXPECT_EQ(tree->Perform(TVM_GETITEMA, 0, 0), FALSE);
  EXPECT_EQ(tree->Items()->GetNode(bogus), nullptr);
  HTREEITEM gone = win->ItemId();
  win->Delete();
  EXPECT_EQ(tree->Perform(TVM_GETITEMSTATE, WPARAM(gone), TVIS_EXPANDED), 0);
  EXPECT_EQ(tree->Items()->Count(), 3);
}

TEST_F(TreeViewTest, ExpandingAsksAndCanBeRefusedAndFillsLazily) {
  std::vector<std::string> log;
  tree->OnExpanding = [&](TObject*, TTreeNode* n, bool& allow) {
    log.push_back("expanding " + n->Text());
    if (n == d) {
      // Lazy fill: children appear while the node expands.
      tree->Items()->AddChild(d, "Setup");
    }
    allow = n != c;
  };
  tree->OnExpanded = [&](TObject*, TTreeNode* n) { log.push_back("expanded " + n->Text()); };
  d->SetHasChildren(true);
  root->Expand(false);
  c->Expand(false);
  d->Expand(false);
  EXPECT_TRUE(root->Expanded());
  EXPECT_FALSE(c->Expanded());
  EXPECT_TRUE(d->Expanded());
  EXPECT_EQ(d->Count(), 1);
  EXPECT_EQ(log,
            (std::vector<std::string>{"expanding Poste de travail", "expanded Poste de travail",
                                      "expanding C:", "expanding D:", "expanded D:"}));
  // A node without children does not expand and asks nothing.
  log.clear();
  win->Expand(false);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(win->Expanded());
  // A reset of a node already collapsed drops its children all the same, so that the next
  // expansion fills it again.
  d->Collapse(false);
  EXPECT_TRUE(tree->Perform(TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, LPARAM(d->ItemId())));
  EXPECT_EQ(d->Count(), 0);
  d->Expand(false);
  EXPECT_EQ(d->Count(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"expanding D:", "expanded D:"}));
}

TEST_F(TreeViewTest, SelectionNotifiesAndFollowsDeletionAndCollapse) {
  std::vector<std::string> log;
  tree->OnChanging = [&](TObject*, TTreeNode* n, bool& allow) { allow = n != d; };
  tree->OnChange = [&](TObject*, TTreeNode* n) { log.push_back(n ? n->Text() : "-"); };
  win->SetSelected(true);
  EXPECT_EQ(tree->Selected(), win);
  EXPECT_TRUE(c->Expanded());  // made visible
  tree->SetSelected(d);
  EXPECT_EQ(tree->Selected(), win);  // refused
  c->Collapse(false);
  EXPECT_EQ(tree->Selected(), c);  // the selection left the collapsed branch
  c->Delete();
  EXPECT_EQ(tree->Selected(), d);
  EXPECT_EQ(log, (std::vector<std::string>{"Windows", "C:", "D:"}));
}

TEST_F(TreeViewTest, DeletionFiresForEveryNodeAndClearEmpties) {
  std::vector<std::string> gone;
  tree->OnDeletion = [&](TObject*, TTreeNode* n) { gone.push_back(n->Text()); };
  c->Delete();
  EXPECT_EQ(gone, (std::vector<std::string>{"Windows", "C:"}));
  tree->Items()->Clear();
  EXPECT_EQ(tree->Items()->Count(), 0);
  EXPECT_EQ(tree->Selected(), nullptr);
  EXPECT_EQ(gone.size(), 4u);
}

TEST_F(TreeViewTest, SortsByTextOrByComparison) {
  auto* z = tree->Items()->AddChild(root, "b:");
  root->AlphaSort();
  EXPECT_EQ(root->Item(0), z);
  EXPECT_EQ(root->Item(1), c);
  root->CustomSort(
      [](LPARAM a, LPARAM b, LPARAM) {
        return -AnsiCompareText(reinterpret_cast<TTreeNode*>(a)->Text(),
                                reinterpret_cast<TTreeNode*>(b)->Text());
      },
      0);
  EXPECT_EQ(root->Item(0), d);
  EXPECT_EQ(root->Item(2), z);
  // A node put in by message has no node object: it sorts by its text, and after the others
  // when the comparison event decides.
  TVINSERTSTRUCTA ins;
  ins.hParent = root->ItemId();
  ins.hInsertAfter = TVI_FIRST;
  ins.item.mask = TVIF_TEXT;
  ins.item.pszText = const_cast<char*>("A:");
  tree->Perform(TVM_INSERTITEMA, 0, LPARAM(&ins));
  auto texts = [&] {
    std::string all;
    char buf[16];
    TVITEMA it;
    it.mask = TVIF_TEXT;
    it.pszText = buf;
    it.cchTextMax = sizeof buf;
    it.hItem = HTREEITEM(tree->Perform(TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(root->ItemId())));
    for (; it.hItem;
         it.hItem = HTREEITEM(tree->Perform(TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(it.hItem)))) {
      tree->Perform(TVM_GETITEMA, 0, LPARAM(&it));
      all += std::string(all.empty() ? "" : " ") + buf;
    }
    return all;
  };
  EXPECT_TRUE(tree->AlphaSort(true));
  EXPECT_EQ(texts(), "A: b: C: D:");
  tree->OnCompare = [](TObject*, TTreeNode* a, TTreeNode* b, int, int& r) {
    r = -AnsiCompareText(a->Text(), b->Text());
  };
  EXPECT_TRUE(tree->AlphaSort(true));
  EXPECT_EQ(texts(), "D: C: b: A:");
}

TEST_F(TreeViewTest, MouseSelectsTogglesAndDoubleClicks) {
  root->Expand(false);
  RECT r = c->DisplayRect(true);
  ASSERT_GT(r.bottom, r.top);
  int clicks = 0, dbl = 0;
  tree->OnClick = [&](TObject*) { ++clicks; };
  tree->OnDblClick = [&](TObject*) { ++dbl; };
  tree->Perform(WM_LBUTTONDOWN, 1, At(r.left + 3, r.top + 3));
  EXPECT_EQ(tree->Selected(), c);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(tree->GetNodeAt(r.left + 3, r.top + 3), c);
  EXPECT_TRUE(tree->GetHitTestInfoAt(r.left + 3, r.top + 3) & htOnLabel);
  // The button left of the node toggles it.
  tree->Perform(WM_LBUTTONDOWN, 1, At(r.left - 11, r.top + 8));
  EXPECT_TRUE(c->Expanded());
  tree->Perform(WM_LBUTTONDBLCLK, 1, At(r.left + 3, r.top + 3));
  EXPECT_FALSE(c->Expanded());
  EXPECT_EQ(dbl, 1);
  EXPECT_TRUE(tree->GetHitTestInfoAt(r.left + 3, 190) & htNowhere);
}

TEST_F(TreeViewTest, KeysMoveExpandAndEdit) {
  tree->SetSelected(root);
  tree->Perform(WM_KEYDOWN, VK_RIGHT);  // expands
  EXPECT_TRUE(root->Expanded());
  tree->Perform(WM_KEYDOWN, VK_RIGHT);  // to the first child
  EXPECT_EQ(tree->Selected(), c);
  tree->Perform(WM_KEYDOWN, 0x6B);  // +
  EXPECT_TRUE(c->Expanded());
  tree->Perform(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(tree->Selected(), win);
  tree->Perform(WM_KEYDOWN, VK_LEFT);  // to the parent
  EXPECT_EQ(tree->Selected(), c);
  tree->Perform(WM_KEYDOWN, 0x6D);  // -
  EXPECT_FALSE(c->Expanded());
  tree->Perform(WM_KEYDOWN, VK_END);
  EXPECT_EQ(tree->Selected(), d);
  std::string edited;
  tree->OnEdited = [&](TObject*, TTreeNode*, std::string& s) {
    edited = s;
    s += "!";
  };
  tree->Perform(WM_KEYDOWN, 0x71);  // F2
  ASSERT_TRUE(tree->IsEditing());
  EXPECT_EQ(tree->EditControl()->Text(), "D:");
  tree->EditControl()->SetText("Données");
  tree->EditControl()->Perform(WM_KEYDOWN, VK_RETURN);
  EXPECT_FALSE(tree->IsEditing());
  EXPECT_EQ(edited, "Données");
  EXPECT_EQ(d->Text(), "Données!");
  // Refused and cancelled edits leave the text.
  tree->OnEditing = [&](TObject*, TTreeNode* n, bool& allow) { allow = n != c; };
  EXPECT_FALSE(c->EditText());
  ASSERT_TRUE(d->EditText());
  tree->EditControl()->SetText("x");
  tree->EditControl()->Perform(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(d->Text(), "Données!");
}

TEST_F(TreeViewTest, CallbackImagesAndCustomDrawReachTheEventsWhenPainted) {
  TImageList images(nullptr);
  TBitmap strip(32, 16);
  strip.Canvas().Brush().SetColor(clRed);
  strip.Canvas().FillRect(Rect(0, 0, 32, 16));
  images.Add(&strip, nullptr);
  tree->SetImages(&images);
  EXPECT_EQ(images.Count(), 2);
  int asked = 0;
  tree->OnGetImageIndex = [&](TObject*, TTreeNode* n) {
    ++asked;
    n->SetImageIndex(1);
  };
  std::vector<std::string> drawn;
  tree->OnCustomDrawItem = [&](TCustomTreeView*, TTreeNode* n, TCustomDrawState, bool& def) {
    drawn.push_back(n->Text());
    def = n != root;
  };
  root->Expand(false);
  form->Show();
  Surface s;
  WindowPainter::PaintWindow(form, s);
  EXPECT_EQ(drawn, (std::vector<std::string>{"Poste de travail", "C:", "D:"}));
  EXPECT_EQ(asked, 2);  // the skipped root draws no image
  tree->SetImages(nullptr);
}

// The parts a point falls on, and texts given back cut to the caller's buffer.
TEST_F(TreeViewTest, HitTestsAndTextsCutToTheCallersBuffer) {
  form->Show();
  RECT r = root->DisplayRect(true);
  int mid = (r.top + r.bottom) / 2;
  EXPECT_EQ(tree->GetHitTestInfoAt(r.left + 2, mid), htOnItem | htOnLabel);
  EXPECT_EQ(tree->GetHitTestInfoAt(r.left - 10, mid), htOnButton);
  EXPECT_EQ(tree->GetHitTestInfoAt(r.right + 4, mid), htOnRight);
  EXPECT_EQ(tree->GetHitTestInfoAt(-4, mid), htToLeft);
  EXPECT_EQ(tree->GetHitTestInfoAt(r.left, -4), htAbove);
  EXPECT_EQ(tree->GetHitTestInfoAt(r.left, 500), htBelow);
  char buf[8];
  std::memset(buf, 'x', sizeof buf);
  TVITEMA it;
  it.mask = TVIF_TEXT;
  it.hItem = root->ItemId();
  it.pszText = buf;
  it.cchTextMax = 4;
  EXPECT_TRUE(tree->Perform(TVM_GETITEMA, 0, LPARAM(&it)));
  EXPECT_STREQ(buf, "Pos");
  EXPECT_EQ(buf[4], 'x');
}

}  // namespace

#include "platform/forms/UiScript.h"
#include "platform/forms/ViewDriver.h"

namespace {

TEST_F(TreeViewTest, DriverSelectsExpandsAndEditsByPath) {
  form->Show();
  TTreeNode* n = ViewDriver::SelectPath(tree, "poste de travail\\C:\\Windows");
  EXPECT_EQ(n, win);
  EXPECT_EQ(tree->Selected(), win);
  EXPECT_TRUE(c->Expanded());
  ViewDriver::EditPath(tree, "Poste de travail\\D:", "Disque");
  EXPECT_EQ(d->Text(), "Disque");
  int dbl = 0;
  tree->OnDblClick = [&](TObject*) { ++dbl; };
  ViewDriver::DblClickPath(tree, "Poste de travail\\C:");
  EXPECT_EQ(dbl, 1);
  EXPECT_FALSE(c->Expanded());  // the double click toggled it
  EXPECT_THROW(ViewDriver::SelectPath(tree, "Poste de travail\\Z:"), EUiScriptError);
}

}  // namespace
