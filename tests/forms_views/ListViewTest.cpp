// The list view driven through its items, its messages and user input on a form.
#include <gtest/gtest.h>

#include <cstring>

#include "../forms/FormTestSupport.h"
#include "platform/forms/Forms.h"
#include "platform/forms/ListView.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/system/Clock.h"

using namespace win;

namespace {

class ListViewTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = new TForm(Application);
    form->SetBounds(0, 0, 400, 300);
    list = new TListView(form);
    list->SetParent(form);
    list->SetBounds(10, 10, 300, 200);
    list->SetViewStyle(vsReport);
    list->SetMultiSelect(true);
    list->Columns()->Add()->SetCaption("Nom");
    list->Columns()->Add()->SetCaption("Taille");
    for (const char* s : {"Alpha", "Beta", "Gamma", "Delta"}) {
      TListItem* it = list->Items()->Add();
      it->SetCaption(s);
      it->SubItems()->Add(std::string(s) + " Ko");
    }
  }
  void TearDown() override {
    delete form;
    FormsTest::TearDown();
  }
  TListItem* Item(int i) { return list->Items()->Item(i); }
  LPARAM Center(int i) {
    RECT r = Item(i)->DisplayRect(drLabel);
    return MAKELPARAM(WORD(r.left + 4), WORD((r.top + r.bottom) / 2));
  }
  std::vector<std::string> SelectedCaptions() {
    std::vector<std::string> out;
    for (TListItem* t = list->GetNextItem(nullptr, TSearchDirection::sdAll, isSelected); t;
         t = list->GetNextItem(t, TSearchDirection::sdAll, isSelected))
      out.push_back(t->Caption());
    return out;
  }
  TForm* form;
  TListView* list;
};

TEST_F(ListViewTest, ItemsSubItemsAndIndexes) {
  EXPECT_EQ(list->Items()->Count(), 4);
  EXPECT_EQ(Item(2)->Caption(), "Gamma");
  EXPECT_EQ(Item(2)->Index(), 2);
  EXPECT_EQ(Item(9), nullptr);
  char buf[64] = "";
  LVITEMA it;
  it.iSubItem = 1;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  list->Perform(LVM_GETITEMTEXTA, 1, LPARAM(&it));
  EXPECT_STREQ(buf, "Beta Ko");  // answered through LVN_GETDISPINFO
  TListItem* ins = list->Items()->Insert(1);
  ins->SetCaption("Aleph");
  EXPECT_EQ(Item(1), ins);
  EXPECT_EQ(Item(2)->Caption(), "Beta");
  std::vector<std::string> gone;
  list->OnDeletion = [&](TObject*, TListItem* t) { gone.push_back(t->Caption()); };
  ins->Delete();
  EXPECT_EQ(list->Items()->Count(), 4);
  list->Items()->Clear();
  EXPECT_EQ(list->Items()->Count(), 0);
  EXPECT_EQ(gone, (std::vector<std::string>{"Aleph", "Delta", "Gamma", "Beta", "Alpha"}));
}

TEST_F(ListViewTest, BadIndexesGiveTheSystemAnswers) {
  LVITEMA it;
  it.mask = LVIF_TEXT;
  it.iItem = 42;
  EXPECT_EQ(list->Perform(LVM_GETITEMA, 0, LPARAM(&it)), FALSE);
  EXPECT_EQ(list->Perform(LVM_GETITEMA, 0, 0), FALSE);
  EXPECT_EQ(list->Perform(LVM_SETITEMA, 0, LPARAM(&it)), FALSE);
  EXPECT_EQ(list->Perform(LVM_DELETEITEM, 7, 0), FALSE);
  EXPECT_EQ(list->Perform(LVM_DELETEITEM, WPARAM(-1), 0), FALSE);
  EXPECT_EQ(list->Perform(LVM_GETITEMSTATE, 99, LVIS_SELECTED), 0);
  EXPECT_EQ(list->Perform(LVM_GETNEXTITEM, 99, LVNI_BELOW), -1);
  EXPECT_EQ(list->Perform(LVM_ENSUREVISIBLE, 99, 0), FALSE);
  EXPECT_EQ(list->Perform(LVM_DELETECOLUMN, 5, 0), FALSE);
  EXPECT_EQ(list->Perform(LVM_SETCOLUMNWIDTH, 5, 40), FALSE);
  EXPECT_EQ(list->Perform(LVM_GETCOLUMNWIDTH, 5, 0), 0);
  EXPECT_EQ(list->Perform(LVM_EDITLABELA, 12, 0), 0);
  RECT r{LVIR_BOUNDS, 0, 0, 0};
  EXPECT_EQ(list->Perform(LVM_GETITEMRECT, 12, LPARAM(&r)), FALSE);
  r = RECT{LVIR_LABEL, 9, 0, 0};  // no column 9
  EXPECT_EQ(list->Perform(LVM_GETSUBITEMRECT, 0, LPARAM(&r)), FALSE);
  EXPECT_EQ(list->Perform(LVM_FINDITEMA, WPARAM(-1), 0), -1);
  EXPECT_EQ(list->Column(7), nullptr);
}

TEST_F(ListViewTest, SelectionAndFocusNotifyAndCanBeRefused) {
  std::vector<std::string> log;
  list->OnChanging = [&](TObject*, TListItem* t, TItemChange ch, bool& allow) {
    allow = !(ch == ctState && t == Item(3));
  };
  list->OnSelectItem = [&](TObject*, TListItem* t, bool sel) {
    log.push_back((sel ? "+" : "-") + t->Caption());
  };
  list->SetSelected(Item(1));
  EXPECT_EQ(list->Selected(), Item(1));
  EXPECT_EQ(list->ItemFocused(), Item(1));
  Item(2)->SetSelected(true);
  EXPECT_EQ(list->SelCount(), 2);
  Item(3)->SetSelected(true);  // refused
  EXPECT_FALSE(Item(3)->Selected());
  list->SetMultiSelect(false);
  Item(0)->SetSelected(true);  // single selection drops the others
  EXPECT_EQ(SelectedCaptions(), (std::vector<std::string>{"Alpha"}));
  Item(0)->SetCut(true);
  Item(0)->SetDropTarget(true);
  EXPECT_TRUE(Item(0)->Cut());
  EXPECT_TRUE(Item(0)->DropTarget());
  EXPECT_EQ(list->Perform(LVM_GETNEXTITEM, WPARAM(-1), LVNI_CUT | LVNI_DROPHILITED), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"+Beta", "+Gamma", "-Beta", "-Gamma", "+Alpha"}));
}

TEST_F(ListViewTest, FindNextAndSortKeepSelectionWithTheItems) {
  EXPECT_EQ(list->FindCaption(0, "gam", true, true, false), Item(2));
  EXPECT_EQ(list->FindCaption(0, "gam", false, true, false), nullptr);
  EXPECT_EQ(list->FindCaption(3, "alpha", false, false, true), Item(0));  // wraps
  int tag = 7;
  Item(3)->SetData(&tag);
  EXPECT_EQ(list->FindData(0, &tag, true, false), Item(3));
  EXPECT_EQ(list->GetNextItem(Item(1), TSearchDirection::sdBelow, 0), Item(2));
  EXPECT_EQ(list->GetNextItem(Item(1), TSearchDirection::sdAbove, 0), Item(0));
  EXPECT_EQ(list->GetNextItem(Item(0), TSearchDirection::sdAbove, 0), nullptr);
  TListItem* delta = Item(3);
  delta->SetSelected(true);
  delta->SetFocused(true);
  list->AlphaSort();
  EXPECT_EQ(Item(2), delta);
  EXPECT_EQ(list->Selected(), delta);
  EXPECT_EQ(list->ItemFocused(), delta);
  list->CustomSort(
      [](LPARAM a, LPARAM b, LPARAM) {
        return -AnsiCompareText(reinterpret_cast<TListItem*>(a)->Caption(),
                                reinterpret_cast<TListItem*>(b)->Caption());
      },
      0);
  EXPECT_EQ(Item(0)->Caption(), "Gamma");
  EXPECT_EQ(Item(3)->Caption(), "Alpha");
  // Sorted insertion by the style.
  list->SetStyle(LVS_SORTASCENDING, true);
  LVITEMA it;
  it.mask = LVIF_TEXT;
  it.iItem = 99;
  it.pszText = const_cast<char*>("Bb");
  EXPECT_EQ(list->Perform(LVM_INSERTITEMA, 0, LPARAM(&it)), 0);  // before "Gamma" at the head
  // Items put in by message have no item object: sorting orders them by their text, and a
  // comparison event, which needs objects, puts them last.
  list->SetStyle(LVS_SORTASCENDING, false);
  it.iItem = 0;
  it.pszText = const_cast<char*>("Aa");
  list->Perform(LVM_INSERTITEMA, 0, LPARAM(&it));
  auto texts = [&] {
    std::string all;
    char buf[16];
    LVITEMA get;
    get.pszText = buf;
    get.cchTextMax = sizeof buf;
    for (int i = 0; i < list->Items()->Count(); ++i) {
      list->Perform(LVM_GETITEMTEXTA, WPARAM(i), LPARAM(&get));
      all += std::string(all.empty() ? "" : " ") + buf;
    }
    return all;
  };
  EXPECT_TRUE(list->AlphaSort());
  EXPECT_EQ(texts(), "Aa Alpha Bb Beta Delta Gamma");
  list->OnCompare = [](TObject*, TListItem* a, TListItem* b, int, int& r) {
    r = -AnsiCompareText(a->Caption(), b->Caption());
  };
  EXPECT_TRUE(list->AlphaSort());
  EXPECT_EQ(texts(), "Gamma Delta Beta Alpha Aa Bb");
}

TEST_F(ListViewTest, MouseSelectsWithCtrlShiftAndDoubleClicks) {
  form->Show();
  std::vector<std::string> codes;
  int clicks = 0, dbl = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  list->OnDblClick = [&](TObject*) { ++dbl; };
  list->Perform(WM_LBUTTONDOWN, 1, Center(0));
  list->Perform(WM_LBUTTONUP, 0, Center(0));
  EXPECT_EQ(SelectedCaptions(), (std::vector<std::string>{"Alpha"}));
  list->Perform(WM_LBUTTONDOWN, 1 | 4, Center(2));  // Shift: a range
  EXPECT_EQ(SelectedCaptions(), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
  list->Perform(WM_LBUTTONDOWN, 1 | 8, Center(1));  // Ctrl: a toggle
  EXPECT_EQ(SelectedCaptions(), (std::vector<std::string>{"Alpha", "Gamma"}));
  EXPECT_EQ(list->ItemFocused(), Item(1));
  list->Perform(WM_LBUTTONDBLCLK, 1, Center(3));
  EXPECT_EQ(dbl, 1);
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(list->GetItemAt(15, 15 + 17 + 60 * 17), nullptr);
  EXPECT_TRUE(list->GetHitTestInfoAt(15, 190) & htNowhere);
  EXPECT_TRUE(list->GetHitTestInfoAt(1000, 20) & htToRight);
  RECT r = Item(1)->DisplayRect(drLabel);
  EXPECT_EQ(list->GetItemAt(r.left + 3, r.top + 3), Item(1));
}

class Recorder : public TListView {
 public:
  using TListView::TListView;
  std::vector<int> codes;
  void WndProc(TMessage& m) override {
    if (m.Msg == CN_NOTIFY) codes.push_back(reinterpret_cast<NMHDR*>(m.LParam)->code);
    TListView::WndProc(m);
  }
  bool Has(int code) const { return std::find(codes.begin(), codes.end(), code) != codes.end(); }
};

TEST_F(ListViewTest, RightClickDragAndKeysNotifyTheParent) {
  auto* rec = new Recorder(form);
  rec->SetParent(form);
  rec->SetBounds(10, 10, 200, 200);
  rec->SetViewStyle(vsList);
  for (const char* s : {"un", "deux", "trois", "quatre"}) rec->Items()->Add()->SetCaption(s);
  form->Show();
  RECT r = rec->Items()->Item(1)->DisplayRect(drLabel);
  LPARAM at = MAKELPARAM(WORD(r.left + 3), WORD(r.top + 3));
  rec->Perform(WM_RBUTTONDOWN, 2, at);
  EXPECT_TRUE(rec->Has(NM_RCLICK));
  EXPECT_EQ(rec->Selected(), rec->Items()->Item(1));  // a right click selects
  rec->Perform(WM_MOUSEMOVE, 2, MAKELPARAM(WORD(r.left + 20), WORD(r.top + 10)));
  EXPECT_TRUE(rec->Has(LVN_BEGINRDRAG));
  rec->Perform(WM_RBUTTONUP, 0, at);
  rec->Perform(WM_LBUTTONDOWN, 1, at);
  rec->Perform(WM_MOUSEMOVE, 1, MAKELPARAM(WORD(r.left + 20), WORD(r.top + 10)));
  EXPECT_TRUE(rec->Has(LVN_BEGINDRAG));
  rec->Perform(WM_LBUTTONUP, 0, at);
  rec->codes.clear();
  rec->Perform(WM_KEYDOWN, VK_DELETE);
  EXPECT_TRUE(rec->Has(LVN_KEYDOWN));
  EXPECT_EQ(rec->Items()->Count(), 4);  // Delete is only passed on
  rec->Perform(WM_KEYDOWN, VK_DOWN);
  EXPECT_EQ(rec->Selected()->Caption(), "trois");
  rec->Perform(WM_KEYDOWN, VK_END);
  EXPECT_EQ(rec->Selected()->Caption(), "quatre");
  rec->Perform(WM_KEYDOWN, VK_HOME);
  EXPECT_EQ(rec->Selected()->Caption(), "un");
  rec->Perform(WM_KEYDOWN, VK_RETURN);
  EXPECT_TRUE(rec->Has(NM_RETURN));
  rec->Perform(WM_CHAR, 't');  // type-ahead
  EXPECT_EQ(rec->Selected()->Caption(), "trois");
  rec->Perform(WM_CHAR, 'r');  // "tr" still matches "trois"
  EXPECT_EQ(rec->Selected()->Caption(), "trois");
  win::clock::Advance(1500);  // a pause starts a new search
  rec->Perform(WM_CHAR, 'q');
  EXPECT_EQ(rec->Selected()->Caption(), "quatre");
}

TEST_F(ListViewTest, LabelEditingAsksAndStoresOrCancels) {
  form->Show();
  std::string edited;
  list->OnEditing = [&](TObject*, TListItem* t, bool& allow) { allow = t != Item(0); };
  list->OnEdited = [&](TObject*, TListItem*, std::string& s) {
    edited = s;
    s += "!";
  };
  EXPECT_FALSE(Item(0)->EditCaption());
  list->SetSelected(Item(1));
  list->Perform(WM_KEYDOWN, 0x71);  // F2
  ASSERT_TRUE(list->IsEditing());
  EXPECT_EQ(list->EditControl()->Text(), "Beta");
  list->EditControl()->SetText("Bêta");
  list->EditControl()->Perform(WM_KEYDOWN, VK_RETURN);
  EXPECT_FALSE(list->IsEditing());
  EXPECT_EQ(edited, "Bêta");
  EXPECT_EQ(Item(1)->Caption(), "Bêta!");
  ASSERT_TRUE(Item(2)->EditCaption());
  list->EditControl()->SetText("x");
  list->EditControl()->Perform(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(Item(2)->Caption(), "Gamma");
  ASSERT_TRUE(Item(2)->EditCaption());
  Item(2)->CancelEdit();
  EXPECT_FALSE(list->IsEditing());
  list->SetReadOnly(true);
  list->Perform(WM_KEYDOWN, 0x71);
  EXPECT_FALSE(list->IsEditing());
}

TEST_F(ListViewTest, ColumnsFollowTheHeaderAndClicksReachTheEvent) {
  form->Show();
  HWND h = list->HeaderHandle();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(SendMessage(h, HDM_GETITEMCOUNT, 0, 0), 2);
  list->Column(1)->SetWidth(80);
  list->Column(1)->SetAlignment(taRightJustify);
  HDITEMA hi;
  hi.mask = HDI_WIDTH | HDI_FORMAT;
  SendMessage(h, HDM_GETITEMA, 1, LPARAM(&hi));
  EXPECT_EQ(hi.cxy, 80);
  EXPECT_EQ(hi.fmt & HDF_JUSTIFYMASK, HDF_RIGHT);
  TListColumn* clicked = nullptr;
  list->OnColumnClick = [&](TObject*, TListColumn* c) { clicked = c; };
  // The header row sits at the top, inside the border: a click on "Taille".
  list->Perform(WM_LBUTTONDOWN, 1, MAKELPARAM(2 + 60, 8));
  list->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2 + 60, 8));
  EXPECT_EQ(clicked, list->Column(1));
  // Dragging the first divider (x = 50) widens the first column, within its limits.
  list->Column(0)->SetMaxWidth(90);
  list->Perform(WM_LBUTTONDOWN, 1, MAKELPARAM(2 + 50, 8));
  list->Perform(WM_MOUSEMOVE, 1, MAKELPARAM(2 + 70, 8));
  EXPECT_EQ(list->Column(0)->Width(), 70);
  list->Perform(WM_MOUSEMOVE, 1, MAKELPARAM(2 + 200, 8));
  list->Perform(WM_LBUTTONUP, 0, MAKELPARAM(2 + 200, 8));
  EXPECT_EQ(list->Column(0)->Width(), 90);
  RECT sub{LVIR_BOUNDS, 1, 0, 0};
  ASSERT_TRUE(list->Perform(LVM_GETSUBITEMRECT, 0, LPARAM(&sub)));
  EXPECT_EQ(sub.left, 2 + 90);
  delete list->Column(0);
  EXPECT_EQ(SendMessage(h, HDM_GETITEMCOUNT, 0, 0), 1);
  EXPECT_EQ(list->Perform(LVM_GETCOLUMNWIDTH, 0, 0), 80);
}

TEST_F(ListViewTest, ScrollingTopIndexAndPages) {
  for (int i = 0; i < 40; ++i) list->Items()->Add()->SetCaption("item " + std::to_string(i));
  int page = list->VisibleRowCount();
  EXPECT_GT(page, 3);
  EXPECT_LT(page, 44);
  EXPECT_EQ(list->TopItem(), Item(0));
  Item(43)->MakeVisible(false);
  EXPECT_EQ(list->Perform(LVM_GETTOPINDEX, 0, 0), 44 - page);
  Item(43)->SetSelected(true);
  Item(43)->SetFocused(true);
  list->Perform(WM_KEYDOWN, VK_PRIOR);
  EXPECT_EQ(list->ItemFocused()->Index(), 43 - (page - 1));
  list->Scroll(0, -1000);
  EXPECT_EQ(list->TopItem(), Item(0));
  EXPECT_GT(list->Perform(LVM_GETSTRINGWIDTHA, 0, LPARAM("Nom")), 10);
}

TEST_F(ListViewTest, OwnerDataAsksForTextsAndFinds) {
  auto* v = new TListView(form);
  v->SetParent(form);
  v->SetOwnerData(true);
  v->SetViewStyle(vsReport);
  v->Columns()->Add();
  v->OnData = [](TObject*, TListItem* t) { t->SetCaption("n" + std::to_string(t->Index())); };
  v->OnDataFind = [](TObject*, const std::string& s, int, bool, int& found) {
    found = s == "n7" ? 7 : -1;
  };
  v->Items()->SetCount(1000);
  EXPECT_EQ(v->Items()->Count(), 1000);
  EXPECT_EQ(v->Items()->Item(500)->Caption(), "n500");
  EXPECT_EQ(v->Items()->Item(1000), nullptr);
  EXPECT_EQ(v->FindCaption(0, "n7", false, true, false)->Index(), 7);
  v->Items()->Item(3)->SetSelected(true);
  EXPECT_EQ(v->SelCount(), 1);
  char buf[16] = "";
  LVITEMA it;
  it.pszText = buf;
  it.cchTextMax = sizeof buf;
  v->Perform(LVM_GETITEMTEXTA, 42, LPARAM(&it));
  EXPECT_STREQ(buf, "n42");
  v->Items()->SetCount(2);
  EXPECT_EQ(v->Items()->Item(3), nullptr);
}

TEST_F(ListViewTest, PaintingAsksImagesAndCustomDrawsItemsAndSubItems) {
  TImageList images(nullptr);
  TBitmap strip(32, 16);
  strip.Canvas().Brush().SetColor(clRed);
  strip.Canvas().FillRect(Rect(0, 0, 32, 16));
  images.Add(&strip, nullptr);
  list->SetSmallImages(&images);
  int asked = 0;
  list->OnGetImageIndex = [&](TObject*, TListItem* t) {
    ++asked;
    t->SetImageIndex(1);
  };
  std::vector<std::string> drawn;
  list->OnCustomDrawItem = [&](TCustomListView*, TListItem* t, TCustomDrawState, bool& def) {
    drawn.push_back(t->Caption());
    def = t != Item(0);
  };
  list->OnCustomDrawSubItem = [&](TCustomListView*, TListItem* t, int sub, TCustomDrawState,
                                  bool&) {
    drawn.push_back(t->Caption() + "/" + std::to_string(sub));
  };
  Item(1)->SetSelected(true);
  form->Show();
  Surface s;
  WindowPainter::PaintWindow(form, s);
  EXPECT_EQ(drawn, (std::vector<std::string>{"Alpha", "Beta", "Beta/0", "Beta/1", "Gamma",
                                             "Gamma/0", "Gamma/1", "Delta", "Delta/0", "Delta/1"}));
  EXPECT_EQ(asked, 3);  // the skipped item draws no image
  list->SetSmallImages(nullptr);
  // A destroyed image list leaves the slots it was in, and the view paints without it.
  auto* states = new TImageList(nullptr);
  list->SetStateImages(states);
  list->SetLargeImages(states);
  delete states;
  EXPECT_EQ(list->StateImages(), nullptr);
  EXPECT_EQ(list->LargeImages(), nullptr);
  EXPECT_EQ(list->Perform(LVM_GETIMAGELIST, LVSIL_STATE, 0), 0);
  WindowPainter::PaintWindow(form, s);
}

TEST_F(ListViewTest, StylesLayItemsOutDifferently) {
  RECT report = Item(1)->DisplayRect(drBounds);
  list->SetViewStyle(vsList);
  RECT lst = Item(1)->DisplayRect(drBounds);
  EXPECT_EQ(lst.left, report.left);
  EXPECT_LT(lst.top, report.top);  // no header row
  list->SetViewStyle(vsIcon);
  RECT icon0 = Item(0)->DisplayRect(drIcon), icon1 = Item(1)->DisplayRect(drIcon);
  EXPECT_EQ(icon0.top, icon1.top);  // side by side
  EXPECT_GT(icon1.left, icon0.right);
  EXPECT_EQ(list->GetNextItem(Item(0), TSearchDirection::sdRight, 0), Item(1));
  list->SetViewStyle(vsSmallIcon);
  EXPECT_EQ(list->GetNextItem(Item(1), TSearchDirection::sdLeft, 0), Item(0));
  EXPECT_EQ(list->HeaderHandle(), nullptr);
}

// The parts a point falls on, and texts given back cut to the caller's buffer.
TEST_F(ListViewTest, HitTestsAndTextsCutToTheCallersBuffer) {
  form->Show();
  RECT r = Item(1)->DisplayRect(drLabel);
  EXPECT_EQ(list->GetHitTestInfoAt(r.left + 2, (r.top + r.bottom) / 2), htOnItem | htOnLabel);
  EXPECT_EQ(list->GetHitTestInfoAt(-4, r.top), htToLeft);
  EXPECT_EQ(list->GetHitTestInfoAt(r.left, 4), htAbove);  // on the header
  EXPECT_EQ(list->GetHitTestInfoAt(r.left, 500), htBelow);
  char buf[8];
  std::memset(buf, 'x', sizeof buf);
  LVITEMA it;
  it.iSubItem = 1;
  it.pszText = buf;
  it.cchTextMax = 4;
  EXPECT_EQ(list->Perform(LVM_GETITEMTEXTA, 0, LPARAM(&it)), 3);
  EXPECT_STREQ(buf, "Alp");
  EXPECT_EQ(buf[4], 'x');
  it.cchTextMax = 0;
  EXPECT_EQ(list->Perform(LVM_GETITEMTEXTA, 0, LPARAM(&it)), 0);
  it.pszText = LPSTR_TEXTCALLBACKA;  // the callback marker is no buffer
  it.cchTextMax = 8;
  EXPECT_EQ(list->Perform(LVM_GETITEMTEXTA, 0, LPARAM(&it)), 0);
  it.pszText = buf;
  std::memset(buf, 'x', sizeof buf);
  LVCOLUMNA col;
  col.mask = LVCF_TEXT;
  col.pszText = buf;
  col.cchTextMax = 3;
  EXPECT_TRUE(list->Perform(LVM_GETCOLUMNA, 1, LPARAM(&col)));
  EXPECT_STREQ(buf, "Ta");
  EXPECT_EQ(buf[3], 'x');
}

}  // namespace

#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/ViewDriver.h"

namespace {

TEST_F(ListViewTest, DriverSelectsDoubleClicksAndEditsByCaption) {
  list->SetName("Files");
  form->Show();
  EXPECT_EQ(ViewDriver::SelectItem(list, "gamma"), Item(2));
  EXPECT_EQ(SelectedCaptions(), (std::vector<std::string>{"Gamma"}));
  int dbl = 0;
  list->OnDblClick = [&](TObject*) { ++dbl; };
  ViewDriver::DblClickItem(list, "Beta");
  EXPECT_EQ(dbl, 1);
  ViewDriver::EditItem(list, "Delta", "Epsilon");
  EXPECT_EQ(Item(3)->Caption(), "Epsilon");
  EXPECT_THROW(ViewDriver::SelectItem(list, "Zeta"), EUiScriptError);
  // The script verb reaches lists by caption.
  UiDriver::Select(form, "Files", "Alpha");
  EXPECT_EQ(list->Selected(), Item(0));
}

}  // namespace
