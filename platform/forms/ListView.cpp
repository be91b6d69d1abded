#include "platform/forms/ListView.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/ListViewWindow.h"
#include "platform/forms/StdCtrls.h"

using namespace win;

// --- TListColumn ----------------------------------------------------------------------------

void TListColumn::DefineProps(TPropList& p) {
  p.String("Caption", &TListColumn::Caption, &TListColumn::SetCaption);
  p.Int("Width", &TListColumn::Width, &TListColumn::SetWidth, 50);
  p.Enum("Alignment", &TListColumn::Alignment, &TListColumn::SetAlignment,
         {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify);
  p.Int("MinWidth", &TListColumn::MinWidth, &TListColumn::SetMinWidth, 0);
  p.Int("MaxWidth", &TListColumn::MaxWidth, &TListColumn::SetMaxWidth, 0);
  p.Int("ImageIndex", &TListColumn::ImageIndex, &TListColumn::SetImageIndex, -1);
}
void TListColumns::DefineProps(TPropList&) {}

TListColumn::TListColumn(TCollection* collection) : TCollectionItem(collection) {
  if (TCustomListView* lv = ListView()) {
    LVCOLUMNA c;
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    c.cx = FWidth;
    c.pszText = const_cast<char*>("");
    lv->Perform(LVM_INSERTCOLUMNA, WPARAM(Index()), LPARAM(&c));
  }
}

TListColumn::~TListColumn() {
  TCustomListView* lv = ListView();
  if (lv && !lv->FNative->destroying) lv->Perform(LVM_DELETECOLUMN, WPARAM(Index()), 0);
}

TCustomListView* TListColumn::ListView() const {
  auto* cols = dynamic_cast<TListColumns*>(Collection());
  return cols ? cols->Owner() : nullptr;
}

static int FormatOf(TAlignment a) {
  return a == taRightJustify ? LVCFMT_RIGHT : a == taCenter ? LVCFMT_CENTER : LVCFMT_LEFT;
}

void TListColumn::Changed() {
  TCustomListView* lv = ListView();
  if (!lv) return;
  LVCOLUMNA c;
  c.mask = LVCF_TEXT | LVCF_FMT;
  c.pszText = const_cast<char*>(FCaption.c_str());
  c.fmt = FormatOf(FAlignment);
  lv->Perform(LVM_SETCOLUMNA, WPARAM(Index()), LPARAM(&c));
}

void TListColumn::SetCaption(const std::string& v) {
  FCaption = v;
  Changed();
}
void TListColumn::SetAlignment(TAlignment v) {
  FAlignment = v;
  Changed();
}

int TListColumn::Width() const {
  TCustomListView* lv = ListView();
  if (!lv) return FWidth;
  return int(lv->Perform(LVM_GETCOLUMNWIDTH, WPARAM(Index())));
}

void TListColumn::SetWidth(int v) {
  if (FMaxWidth > 0) v = std::min(v, FMaxWidth);
  if (v >= 0) v = std::max(v, FMinWidth);
  FWidth = v;
  if (TCustomListView* lv = ListView()) {
    lv->Perform(LVM_SETCOLUMNWIDTH, WPARAM(Index()), LPARAM(v));
    FWidth = Width();
  }
}

TListColumns::TListColumns(TCustomListView* owner)
    : TCollection([](TCollection* c) { return new TListColumn(c); }), FOwner(owner) {
  SetOwner(owner);
}

// --- TListItem ------------------------------------------------------------------------------

void TListItem::DefineProps(TPropList&) {}
void TListItems::DefineProps(TPropList&) {}

TListItem::TListItem(TListItems* owner) : FOwner(owner), FSubItems(new TStringList) {
  // Sub-items are shown through LVN_GETDISPINFO: the view only learns how many there are.
  FSubItems->OnChange = [this](TObject*) {
    TCustomListView* lv = ListView();
    int i = lv && !FDeleting ? Index() : -1;
    if (i < 0) return;
    for (int k = 1; k <= FSubItems->Count(); ++k) {
      LVITEMA it;
      it.iSubItem = k;
      it.pszText = LPSTR_TEXTCALLBACKA;
      lv->Perform(LVM_SETITEMTEXTA, WPARAM(i), LPARAM(&it));
    }
    lv->Invalidate();
  };
}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const { return FOwner ? FOwner->Owner() : nullptr; }

int TListItem::Index() const {
  TCustomListView* lv = ListView();
  if (!lv) return -1;
  if (lv->OwnerData()) return FVirtualIndex;
  LVFINDINFOA fi;
  fi.flags = LVFI_PARAM;
  fi.lParam = LPARAM(this);
  return int(lv->Perform(LVM_FINDITEMA, WPARAM(-1), LPARAM(&fi)));
}

static LRESULT Send(const TListItem* t, UINT msg, WPARAM w, LPARAM l) {
  return t->ListView() ? t->ListView()->Perform(msg, w, l) : 0;
}

void TListItem::SetCaption(const std::string& v) {
  FCaption = v;
  int i = Index();
  if (i < 0) return;
  LVITEMA it;
  it.pszText = const_cast<char*>(FCaption.c_str());
  Send(this, LVM_SETITEMTEXTA, WPARAM(i), LPARAM(&it));
}

void TListItem::SetCaptionCallback() {
  int i = Index();
  if (i < 0) return;
  LVITEMA it;
  it.pszText = LPSTR_TEXTCALLBACKA;
  Send(this, LVM_SETITEMTEXTA, WPARAM(i), LPARAM(&it));
}

void TListItem::SetImageIndex(int v) {
  FImageIndex = v;
  Update();
}
void TListItem::SetIndent(int v) {
  FIndent = v;
  int i = Index();
  if (i < 0) return;
  LVITEMA it;
  it.mask = LVIF_INDENT;
  it.iItem = i;
  it.iIndent = v;
  Send(this, LVM_SETITEMA, 0, LPARAM(&it));
}
void TListItem::SetOverlayIndex(int v) {
  FOverlayIndex = v;
  LVITEMA it;
  it.stateMask = LVIS_OVERLAYMASK;
  it.state = v >= 0 ? INDEXTOOVERLAYMASK(v + 1) : 0;
  if (Index() >= 0) Send(this, LVM_SETITEMSTATE, WPARAM(Index()), LPARAM(&it));
}
void TListItem::SetStateIndex(int v) {
  FStateIndex = v;
  LVITEMA it;
  it.stateMask = LVIS_STATEIMAGEMASK;
  it.state = UINT(std::clamp(v + 1, 0, 15)) << 12;
  if (Index() >= 0) Send(this, LVM_SETITEMSTATE, WPARAM(Index()), LPARAM(&it));
}

bool TListItem::GetState(UINT bit) const {
  int i = Index();
  return i >= 0 && (UINT(Send(this, LVM_GETITEMSTATE, WPARAM(i), bit)) & bit) != 0;
}

void TListItem::SetState(UINT bit, bool v) {
  int i = Index();
  if (i < 0) return;
  LVITEMA it;
  it.stateMask = bit;
  it.state = v ? bit : 0;
  Send(this, LVM_SETITEMSTATE, WPARAM(i), LPARAM(&it));
}

void TListItem::Delete() {
  int i = Index();
  if (!FDeleting && i >= 0) Send(this, LVM_DELETEITEM, WPARAM(i), 0);
}
void TListItem::MakeVisible(bool partialOK) {
  if (Index() >= 0) Send(this, LVM_ENSUREVISIBLE, WPARAM(Index()), partialOK);
}
bool TListItem::EditCaption() {
  return Index() >= 0 && Send(this, LVM_EDITLABELA, WPARAM(Index()), 0) != 0;
}
void TListItem::CancelEdit() {
  if (ListView() && ListView()->IsEditing())
    Send(this, TCustomListView::Native::LVM_ENDEDITNOW, TRUE, 0);
}
RECT TListItem::DisplayRect(TDisplayCode code) const {
  RECT r{};
  r.left = code == drBounds  ? LVIR_BOUNDS
           : code == drIcon  ? LVIR_ICON
           : code == drLabel ? LVIR_LABEL
                             : LVIR_SELECTBOUNDS;
  if (Index() < 0 || !Send(this, LVM_GETITEMRECT, WPARAM(Index()), LPARAM(&r))) return RECT{};
  return r;
}
POINT TListItem::Position() const {
  POINT p{};
  if (Index() >= 0) Send(this, LVM_GETITEMPOSITION, WPARAM(Index()), LPARAM(&p));
  return p;
}
void TListItem::Update() {
  if (Index() >= 0) Send(this, LVM_UPDATE, WPARAM(Index()), 0);
}

void TListItem::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TListItem*>(source);
  if (!s) return TPersistent::Assign(source);
  SetCaption(s->FCaption);
  FData = s->FData;
  FImageIndex = s->FImageIndex;
  SetSubItems(s->FSubItems.get());
  if (s->FOverlayIndex >= 0) SetOverlayIndex(s->FOverlayIndex);
  if (s->FStateIndex >= 0) SetStateIndex(s->FStateIndex);
  SetIndent(s->FIndent);
}

// --- TListItems -----------------------------------------------------------------------------

TListItems::TListItems(TCustomListView* owner) : FOwner(owner) {}
TListItems::~TListItems() = default;

int TListItems::Count() const { return int(FOwner->Perform(LVM_GETITEMCOUNT)); }

void TListItems::SetCount(int v) {
  if (FOwner->OwnerData()) FOwner->Perform(LVM_SETITEMCOUNT, WPARAM(std::max(0, v)), 0);
}

TListItem* TListItems::Item(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  if (FOwner->OwnerData()) {
    auto& self = const_cast<TListItems&>(*this);
    if (!FTemp) self.FTemp.reset(FOwner->CreateListItem());
    TListItem* t = FTemp.get();
    t->FVirtualIndex = i;
    t->FCaption.clear();
    t->FSubItems->OnChange = nullptr;
    t->FSubItems->Clear();
    t->FImageIndex = -1;
    t->FData = nullptr;
    FOwner->OwnerDataFetch(t);
    return t;
  }
  LVITEMA it;
  it.mask = LVIF_PARAM;
  it.iItem = i;
  if (!FOwner->Perform(LVM_GETITEMA, 0, LPARAM(&it))) return nullptr;
  return reinterpret_cast<TListItem*>(it.lParam);
}

TListItem* TListItems::Add() { return AddItem(nullptr, -1); }
TListItem* TListItems::Insert(int index) { return AddItem(nullptr, index); }

TListItem* TListItems::AddItem(TListItem* item, int index) {
  if (FOwner->OwnerData()) return nullptr;
  if (!item) item = FOwner->CreateListItem();
  item->FOwner = this;
  LVITEMA it;
  it.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
  it.iItem = index < 0 ? Count() : index;
  it.pszText = const_cast<char*>(item->FCaption.c_str());
  it.iImage = I_IMAGECALLBACK;
  it.lParam = LPARAM(item);
  if (FOwner->Perform(LVM_INSERTITEMA, 0, LPARAM(&it)) < 0) {
    delete item;
    throw EListError("Impossible d'insérer un élément dans la liste");
  }
  if (item->FSubItems->Count()) item->FSubItems->OnChange(item->FSubItems.get());
  if (FUpdateCount == 0 && (FOwner->SortType() == stText || FOwner->SortType() == stBoth))
    FOwner->AlphaSort();
  return item;
}

void TListItems::Delete(int index) {
  if (index >= 0 && index < Count()) FOwner->Perform(LVM_DELETEITEM, WPARAM(index), 0);
}
void TListItems::Clear() { FOwner->Perform(LVM_DELETEALLITEMS); }
int TListItems::IndexOf(const TListItem* item) const {
  return item && item->FOwner == this ? item->Index() : -1;
}
void TListItems::BeginUpdate() { ++FUpdateCount; }
void TListItems::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) {
    if (FOwner->SortType() == stText || FOwner->SortType() == stBoth) FOwner->AlphaSort();
    FOwner->Invalidate();
  }
}
void TListItems::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TListItems*>(source);
  if (!src) return TPersistent::Assign(source);
  BeginUpdate();
  Clear();
  for (int i = 0; i < src->Count(); ++i) Add()->Assign(src->Item(i));
  EndUpdate();
}

// --- TCustomListView ------------------------------------------------------------------------

void TCustomListView::DefineProps(TPropList& p) {
  p.Collection("Columns", &TCustomListView::Columns);
  p.Bool("ColumnClick", &TCustomListView::ColumnClick, &TCustomListView::SetColumnClick, true);
  p.Bool("HideSelection", &TCustomListView::HideSelection, &TCustomListView::SetHideSelection,
         true);
  p.Component("LargeImages", &TCustomListView::LargeImages, &TCustomListView::SetLargeImages);
  p.Bool("MultiSelect", &TCustomListView::MultiSelect, &TCustomListView::SetMultiSelect, false);
  p.Bool("OwnerData", &TCustomListView::OwnerData, &TCustomListView::SetOwnerData, false);
  p.Bool("ReadOnly", &TCustomListView::ReadOnly, &TCustomListView::SetReadOnly, false);
  p.Bool("RowSelect", &TCustomListView::RowSelect, &TCustomListView::SetRowSelect, false);
  p.Bool("ShowColumnHeaders", &TCustomListView::ShowColumnHeaders,
         &TCustomListView::SetShowColumnHeaders, true);
  p.Component("SmallImages", &TCustomListView::SmallImages, &TCustomListView::SetSmallImages);
  p.Enum<TCustomListView, TSortType>("SortType", &TCustomListView::SortType,
                                     &TCustomListView::SetSortType,
                                     {"stNone", "stData", "stText", "stBoth"}, stNone);
  p.Component("StateImages", &TCustomListView::StateImages, &TCustomListView::SetStateImages);
  p.Enum("ViewStyle", &TCustomListView::ViewStyle, &TCustomListView::SetViewStyle,
         {"vsIcon", "vsSmallIcon", "vsList", "vsReport"}, vsIcon);
  p.Event("OnChange", &TCustomListView::OnChange);
  p.Event("OnChanging", &TCustomListView::OnChanging);
  p.Event("OnColumnClick", &TCustomListView::OnColumnClick);
  p.Event("OnCompare", &TCustomListView::OnCompare);
  p.Event("OnCustomDraw", &TCustomListView::OnCustomDraw);
  p.Event("OnCustomDrawItem", &TCustomListView::OnCustomDrawItem);
  p.Event("OnCustomDrawSubItem", &TCustomListView::OnCustomDrawSubItem);
  p.Event("OnData", &TCustomListView::OnData);
  p.Event("OnDataFind", &TCustomListView::OnDataFind);
  p.Event("OnDeletion", &TCustomListView::OnDeletion);
  p.Event("OnEdited", &TCustomListView::OnEdited);
  p.Event("OnEditing", &TCustomListView::OnEditing);
  p.Event("OnGetImageIndex", &TCustomListView::OnGetImageIndex);
  p.Event("OnInsert", &TCustomListView::OnInsert);
  p.Event("OnSelectItem", &TCustomListView::OnSelectItem);
}
void TListView::DefineProps(TPropList&) {}

TCustomListView::TCustomListView(TComponent* owner)
    : TViewControl(owner, LVS_EDITLABELS | LVS_AUTOARRANGE, 250, 150),
      FNative(new Native(*this)),
      FListItems(new TListItems(this)),
      FColumns(new TListColumns(this)) {}

TCustomListView::~TCustomListView() {
  // Items and columns go without events or messages: the parent may be gone already.
  FNative->destroying = true;
  FNative->edit.reset();
  for (Native::ItemData* t : FNative->items) {
    auto* item = reinterpret_cast<TListItem*>(t->lParam);
    if (item) item->FDeleting = true;
    delete item;
  }
  FColumns.reset();
  FListItems.reset();
  if (FNative->header) Header::Destroy(FNative->header);
  ReleaseImages();
}

void TCustomListView::UpdateScrollBars() { Perform(Native::LVM_SYNCBARS); }

void TCustomListView::CreateWnd() {
  TWinControl::CreateWnd();
  UpdateColumns();
}

void TCustomListView::DestroyWnd() {
  if (FNative->header) Header::Destroy(FNative->header);
  FNative->header = nullptr;
  TWinControl::DestroyWnd();
}

HWND TCustomListView::HeaderHandle() const {
  if (!HandleAllocated() || FViewStyle != vsReport) return nullptr;
  const_cast<TCustomListView*>(this)->UpdateColumns();
  return FNative->header;
}

// The header mirrors the columns; it exists in the report style once the window does.
void TCustomListView::UpdateColumns() {
  Native& N = *FNative;
  if (!HandleAllocated() || (FStyle & LVS_TYPEMASK) != LVS_REPORT) return;
  if (!N.header) {
    N.header = Header::Create(Handle(), 0);
    N.syncingHeader = true;
    for (size_t i = 0; i < N.cols.size(); ++i) {
      HDITEMA hi;
      hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
      hi.pszText = const_cast<char*>(N.cols[i].text.c_str());
      hi.cxy = N.cols[i].cx;
      hi.fmt = (N.cols[i].fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING;
      SendMessage(N.header, HDM_INSERTITEMA, i, LPARAM(&hi));
    }
    N.syncingHeader = false;
  }
}

void TCustomListView::UpdateColumn(int index) {
  Native& N = *FNative;
  if (!N.header || index < 0 || index >= int(N.cols.size())) return;
  HDITEMA hi;
  hi.mask = HDI_FORMAT;
  SendMessage(N.header, HDM_GETITEMA, WPARAM(index), LPARAM(&hi));
  // Sort arrows and owner drawing set by descendants stay.
  hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
  hi.pszText = const_cast<char*>(N.cols[size_t(index)].text.c_str());
  hi.cxy = N.cols[size_t(index)].cx;
  hi.fmt = (hi.fmt & ~HDF_JUSTIFYMASK) | (N.cols[size_t(index)].fmt & LVCFMT_JUSTIFYMASK);
  N.syncingHeader = true;
  SendMessage(N.header, HDM_SETITEMA, WPARAM(index), LPARAM(&hi));
  N.syncingHeader = false;
}

TListColumn* TCustomListView::Column(int i) const {
  return i >= 0 && i < FColumns->Count() ? FColumns->Items(i) : nullptr;
}

void TCustomListView::SetViewStyle(TViewStyle v) {
  static const DWORD types[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  SetStyle(LVS_TYPEMASK, false);
  SetStyle(types[v], true);
}

void TCustomListView::StyleChanged() {
  static const TViewStyle styles[] = {vsIcon, vsReport, vsSmallIcon, vsList};
  FViewStyle = styles[FStyle & LVS_TYPEMASK];
  FNative->top = 0;
  if (FViewStyle == vsReport) UpdateColumns();
}

void TCustomListView::SetOwnerData(bool v) {
  if (v == OwnerData()) return;
  FListItems->Clear();
  FNative->virtualCount = 0;
  FNative->virtualStates.clear();
  SetStyle(LVS_OWNERDATA, v);
}

void TCustomListView::SetSortType(TSortType v) {
  if (v == FSortType) return;
  FSortType = v;
  if (v != stNone) AlphaSort();
}

void TCustomListView::ImagesChanged() {
  Perform(LVM_SETIMAGELIST, LVSIL_NORMAL, LPARAM(FLargeImages ? FLargeImages->Handle() : nullptr));
  Perform(LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(FSmallImages ? FSmallImages->Handle() : nullptr));
  Perform(LVM_SETIMAGELIST, LVSIL_STATE, LPARAM(FStateImages ? FStateImages->Handle() : nullptr));
}

std::vector<TCustomImageList**> TCustomListView::ImageSlots() {
  return {&FLargeImages, &FSmallImages, &FStateImages};
}

TListItem* TCustomListView::Selected() const {
  return FListItems->Item(
      int(const_cast<TCustomListView*>(this)->Perform(LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)));
}
void TCustomListView::SetSelected(TListItem* item) {
  ClearSelection();
  if (item) {
    item->SetSelected(true);
    item->SetFocused(true);
    item->MakeVisible(false);
  }
}
TListItem* TCustomListView::ItemFocused() const {
  return FListItems->Item(
      int(const_cast<TCustomListView*>(this)->Perform(LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)));
}
void TCustomListView::SetItemFocused(TListItem* item) {
  if (item)
    item->SetFocused(true);
  else if (TListItem* f = ItemFocused())
    f->SetFocused(false);
}
int TCustomListView::SelCount() const {
  return int(const_cast<TCustomListView*>(this)->Perform(LVM_GETSELECTEDCOUNT));
}
TListItem* TCustomListView::TopItem() const {
  if (FListItems->Count() == 0) return nullptr;
  return FListItems->Item(int(const_cast<TCustomListView*>(this)->Perform(LVM_GETTOPINDEX)));
}
int TCustomListView::VisibleRowCount() const {
  return int(const_cast<TCustomListView*>(this)->Perform(LVM_GETCOUNTPERPAGE));
}
bool TCustomListView::IsEditing() const { return FNative->editing >= 0; }
TCustomEdit* TCustomListView::EditControl() const {
  return FNative->editing >= 0 ? FNative->edit.get() : nullptr;
}

TListItem* TCustomListView::GetItemAt(int x, int y) const {
  LVHITTESTINFO hi;
  hi.pt = {x, y};
  int i = int(const_cast<TCustomListView*>(this)->Perform(LVM_HITTEST, 0, LPARAM(&hi)));
  return (hi.flags & LVHT_ONITEM) ? FListItems->Item(i) : nullptr;
}

THitTests TCustomListView::GetHitTestInfoAt(int x, int y) const {
  LVHITTESTINFO hi;
  hi.pt = {x, y};
  const_cast<TCustomListView*>(this)->Perform(LVM_HITTEST, 0, LPARAM(&hi));
  // LVHT_ABOVE shares its bit with LVHT_ONITEMSTATEICON, which LVHT_ONITEM holds: an item
  // index tells them apart.
  bool onItem = hi.iItem >= 0;
  return ViewSupport::HitTestsOf(hi.flags, {{LVHT_ABOVE, onItem ? htOnStateIcon : htAbove},
                                            {LVHT_BELOW, htBelow},
                                            {LVHT_NOWHERE, htNowhere},
                                            {onItem ? LVHT_ONITEM : 0u, htOnItem},
                                            {LVHT_ONITEMICON, htOnIcon},
                                            {LVHT_ONITEMLABEL, htOnLabel},
                                            {LVHT_TOLEFT, htToLeft},
                                            {LVHT_TORIGHT, htToRight}});
}

TListItem* TCustomListView::GetNextItem(TListItem* start, TSearchDirection direction,
                                        TItemStates states) const {
  static const UINT dirs[] = {LVNI_TOLEFT, LVNI_TORIGHT, LVNI_ABOVE, LVNI_BELOW, LVNI_ALL};
  int from = start ? start->Index() : -1;
  int i = int(const_cast<TCustomListView*>(this)->Perform(LVM_GETNEXTITEM, WPARAM(from),
                                                          LPARAM(dirs[int(direction)] | states)));
  return FListItems->Item(i);
}

TListItem* TCustomListView::FindCaption(int startIndex, const std::string& value, bool partial,
                                        bool inclusive, bool wrap) const {
  LVFINDINFOA fi;
  fi.flags = LVFI_STRING | (partial ? LVFI_PARTIAL : 0) | (wrap ? LVFI_WRAP : 0);
  fi.psz = value.c_str();
  int from = inclusive ? startIndex - 1 : startIndex;
  return FListItems->Item(
      int(const_cast<TCustomListView*>(this)->Perform(LVM_FINDITEMA, WPARAM(from), LPARAM(&fi))));
}

TListItem* TCustomListView::FindData(int startIndex, void* value, bool inclusive, bool wrap) const {
  int n = FListItems->Count();
  int from = inclusive ? startIndex : startIndex + 1;
  for (int k = 0; k < n; ++k) {
    int i = from + k;
    if (i >= n) {
      if (!wrap) break;
      i -= n;
    }
    if (i < 0) continue;
    TListItem* t = FListItems->Item(i);
    if (t && t->Data() == value) return t;
  }
  return nullptr;
}

// Items put in by message have no item object: they sort by the text the window holds.
bool TCustomListView::AlphaSort() {
  using Item = Native::ItemData;
  return FNative->SortItems([&](const Item& a, const Item& b) {
    auto *i1 = reinterpret_cast<TListItem*>(a.lParam), *i2 = reinterpret_cast<TListItem*>(b.lParam);
    return ViewSupport::SortsBefore(this, i1, i2, [&](int k) {
      TListItem* i = k ? i2 : i1;
      return i ? i->Caption() : (k ? b : a).text;
    });
  });
}
bool TCustomListView::CustomSort(TLVCompare proc, LPARAM data) {
  if (!proc) return AlphaSort();
  return Perform(LVM_SORTITEMS, WPARAM(data), LPARAM(proc)) != 0;
}
void TCustomListView::Arrange() { Perform(LVM_ARRANGE, 0, 0); }
void TCustomListView::Scroll(int dx, int dy) { Perform(LVM_SCROLL, WPARAM(dx), LPARAM(dy)); }
void TCustomListView::SelectAll() {
  LVITEMA it;
  it.stateMask = it.state = LVIS_SELECTED;
  if (MultiSelect()) Perform(LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
}
void TCustomListView::ClearSelection() {
  LVITEMA it;
  it.stateMask = LVIS_SELECTED;
  Perform(LVM_SETITEMSTATE, WPARAM(-1), LPARAM(&it));
}

bool TCustomListView::CanChange(TListItem* item, TItemChange change) {
  return ViewSupport::Allowed(OnChanging, this, item, change);
}
void TCustomListView::Change(TListItem* item, TItemChange change) { OnChange(this, item, change); }
bool TCustomListView::CanEdit(TListItem* item) {
  return ViewSupport::Allowed(OnEditing, this, item);
}
void TCustomListView::Edit(const LVITEMA& item) {
  TListItem* t = FListItems->Item(item.iItem);
  if (!t || !item.pszText) return;
  std::string s = item.pszText;
  OnEdited(this, t, s);
  t->SetCaption(s);
}
int TCustomListView::OwnerDataFind(const std::string& find, int start, bool wrap) {
  int found = -1;
  OnDataFind(this, find, start, wrap, found);
  return found;
}

bool TCustomListView::IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) const {
  if (stage != cdPrePaint) return false;
  switch (target) {
    case dtControl:
      return bool(OnCustomDraw);
    case dtItem:
      return bool(OnCustomDrawItem) || bool(OnCustomDrawSubItem);
    case dtSubItem:
      return bool(OnCustomDrawSubItem);
  }
  return false;
}
bool TCustomListView::CustomDraw(const RECT& rect, TCustomDrawStage stage) {
  return stage != cdPrePaint || ViewSupport::Allowed(OnCustomDraw, this, rect);
}
bool TCustomListView::CustomDrawItem(TListItem* item, TCustomDrawState state,
                                     TCustomDrawStage stage) {
  return stage != cdPrePaint || ViewSupport::Allowed(OnCustomDrawItem, this, item, state);
}
bool TCustomListView::CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state,
                                        TCustomDrawStage stage) {
  return stage != cdPrePaint ||
         ViewSupport::Allowed(OnCustomDrawSubItem, this, item, subItem, state);
}

TListItem* TCustomListView::ItemOf(int index, LPARAM lParam) const {
  if (OwnerData()) return FListItems->Item(index);
  return lParam ? reinterpret_cast<TListItem*>(lParam) : FListItems->Item(index);
}

// The window's notifications, reflected back, become the events.
void TCustomListView::HandleNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
  auto* di = reinterpret_cast<NMLVDISPINFOA*>(hdr);
  auto changeOf = [](UINT changed) {
    return (changed & LVIF_STATE) ? ctState : (changed & LVIF_IMAGE) ? ctImage : ctText;
  };
  m.Result = 0;
  switch (hdr->code) {
    case LVN_ITEMCHANGING:
      if (TListItem* t = ItemOf(nm->iItem, nm->lParam))
        m.Result = !CanChange(t, changeOf(nm->uChanged));
      return;
    case LVN_ITEMCHANGED:
      if (TListItem* t = ItemOf(nm->iItem, nm->lParam)) ItemChanged(t, *nm, changeOf(nm->uChanged));
      return;
    case LVN_INSERTITEM:
      if (TListItem* t = ItemOf(nm->iItem, nm->lParam)) InsertItem(t);
      return;
    case LVN_DELETEALLITEMS:
      m.Result = FALSE;  // one LVN_DELETEITEM per item
      return;
    case LVN_DELETEITEM:
      if (!OwnerData() && nm->lParam) ItemDeleted(reinterpret_cast<TListItem*>(nm->lParam));
      return;
    case LVN_COLUMNCLICK:
      ColClick(Column(nm->iSubItem));
      return;
    case LVN_BEGINLABELEDITA: {
      TListItem* t = ItemOf(di->item.iItem, di->item.lParam);
      m.Result = !t || !CanEdit(t);
      return;
    }
    case LVN_ENDLABELEDITA:
      Edit(di->item);
      return;
    case LVN_GETDISPINFOA:
      if (TListItem* t = ItemOf(di->item.iItem, di->item.lParam)) FillDispInfo(t, di->item);
      return;
    case LVN_ODFINDITEMA:
      m.Result = FindOwnerData(*reinterpret_cast<NMLVFINDITEMA*>(hdr));
      return;
    case NM_CUSTOMDRAW:
      m.Result = AnswerCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(hdr));
      return;
    default:
      return;
  }
}

void TCustomListView::ItemChanged(TListItem* t, const NMLISTVIEW& nm, TItemChange change) {
  Change(t, change);
  if ((nm.uChanged & LVIF_STATE) && ((nm.uOldState ^ nm.uNewState) & LVIS_SELECTED))
    DoSelectItem(t, (nm.uNewState & LVIS_SELECTED) != 0);
}

void TCustomListView::ItemDeleted(TListItem* t) {
  t->FDeleting = true;
  try {
    Delete(t);
  } catch (...) {
    delete t;
    throw;
  }
  delete t;
}

void TCustomListView::FillDispInfo(TListItem* t, LVITEMA& item) {
  if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
    std::string s;
    if (item.iSubItem == 0)
      s = t->Caption();
    else if (item.iSubItem <= t->SubItems()->Count())
      s = t->SubItems()->Strings(item.iSubItem - 1);
    ViewSupport::CopyText(s, item.pszText, item.cchTextMax);
  }
  if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) {
    GetImageIndex(t);
    item.iImage = t->ImageIndex();
  }
  if (item.mask & LVIF_INDENT) item.iIndent = t->Indent();
}

LRESULT TCustomListView::FindOwnerData(const NMLVFINDITEMA& nm) {
  if (!(nm.lvfi.flags & LVFI_STRING)) return -1;
  return OwnerDataFind(nm.lvfi.psz ? nm.lvfi.psz : "", nm.iStart, (nm.lvfi.flags & LVFI_WRAP) != 0);
}

LRESULT TCustomListView::AnswerCustomDraw(NMLVCUSTOMDRAW& cd) {
  DWORD stage = cd.nmcd.dwDrawStage;
  if (stage == CDDS_PREPAINT) {
    if (IsCustomDrawn(dtControl, cdPrePaint) &&
        !ViewSupport::DrawOnCanvas(Canvas(), cd.nmcd.hdc,
                                   [&] { return CustomDraw(cd.nmcd.rc, cdPrePaint); }))
      return CDRF_SKIPDEFAULT;
    return IsCustomDrawn(dtItem, cdPrePaint) ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  }
  if (stage != CDDS_ITEMPREPAINT && stage != (CDDS_ITEMPREPAINT | CDDS_SUBITEM))
    return CDRF_DODEFAULT;
  bool sub = stage & CDDS_SUBITEM;
  TListItem* t = ItemOf(int(cd.nmcd.dwItemSpec), cd.nmcd.lItemlParam);
  if (!t) return CDRF_DODEFAULT;
  auto state = TCustomDrawState(cd.nmcd.uItemState);
  LRESULT r =
      ViewSupport::DrawItemWithCanvas(Canvas(), Font(), cd.nmcd, cd.clrText, cd.clrTextBk, [&] {
        return sub ? CustomDrawSubItem(t, cd.iSubItem, state, cdPrePaint)
                   : CustomDrawItem(t, state, cdPrePaint);
      });
  if (r == CDRF_NEWFONT && !sub && IsCustomDrawn(dtSubItem, cdPrePaint))
    r |= CDRF_NOTIFYSUBITEMDRAW;
  return r;
}

void TCustomListView::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY)
    HandleNotify(m);
  else if (!FNative->Answer(m))
    TWinControl::WndProc(m);
}

WI_REGISTER_CLASS(TListView);
