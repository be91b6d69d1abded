#include "platform/forms/ListView.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/ViewSupport.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {

// Ends a label edit from the in-place editor (wParam: cancel). Private to the view.
constexpr UINT LVM_ENDEDITNOW = LV_FIRST + 0xFF;
// Brings the scroll bars up to date. Private to the view.
constexpr UINT LVM_SYNCBARS = LV_FIRST + 0xFE;
// A line of horizontal scrolling in the report view, in pixels.
constexpr int kHorzLine = 8;

struct SubItem {
  std::string text;
  bool callback = false;
};

struct ItemData {
  std::string text;
  bool textCallback = false;
  int image = 0, indent = 0;
  UINT state = 0;
  LPARAM lParam = 0;
  std::vector<SubItem> subs;  // sub-item 1 is subs[0]
};

struct ColumnData {
  std::string text;
  int fmt = LVCFMT_LEFT, cx = 50, image = 0;
};

struct Geometry {
  int view, border, rowH, hdrH, top0, clientW, clientH, smallW, smallH, largeW, largeH, stateW,
      textH, cellW, cellH, perLine;  // perLine: rows per column (list), items per row (icons)
  int right, bottom;  // the client area's right and bottom edges (the bars are beyond)
};

}  // namespace

struct TCustomListView::Native {
  std::vector<ItemData*> items;
  int virtualCount = 0;
  std::vector<UINT> virtualStates;
  std::vector<ColumnData> cols;
  HWND header = nullptr;
  bool headerMouse = false, syncingHeader = false;
  HIMAGELIST normal = nullptr, small = nullptr, state = nullptr;
  COLORREF bk = CLR_NONE, textBk = CLR_NONE, text = CLR_NONE;
  int focus = -1, anchor = -1, top = 0, editing = -1, listColW = 0;
  DWORD exStyle = 0;
  UINT callbackMask = 0;
  std::unique_ptr<ViewSupport::TInPlaceEdit> edit;
  // A press that may become a drag: the item, the button and where it went down.
  int dragItem = -1;
  bool dragRight = false;
  POINT dragFrom{};
  std::string typed;
  std::uint64_t typedAt = 0;
  bool destroying = false;
  int xOff = 0;  // report: pixels scrolled to the left
  // What the scroll bars were last worked out for: the invalidations and the items.
  int barsInvalidate = -1, barsCount = -1;
  bool syncingBars = false;
  ~Native() {
    for (ItemData* t : items) delete t;
  }
};

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
  if (ListView() && ListView()->IsEditing()) Send(this, LVM_ENDEDITNOW, TRUE, 0);
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
  p.Enum("BorderStyle", &TCustomListView::BorderStyle, &TCustomListView::SetBorderStyle,
         {"bsNone", "bsSingle"}, bsSingle);
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
  p.Enum("SortType", &TCustomListView::SortType, &TCustomListView::SetSortType,
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
    : TWinControl(owner),
      FNative(new Native),
      FListItems(new TListItems(this)),
      FColumns(new TListColumns(this)) {
  SetBounds(0, 0, 250, 150);
  SetTabStop(true);
  SetOwnColor(clWindow);
}

TCustomListView::~TCustomListView() {
  // Items and columns go without events or messages: the parent may be gone already.
  FNative->destroying = true;
  FNative->edit.reset();
  for (ItemData* t : FNative->items) {
    auto* item = reinterpret_cast<TListItem*>(t->lParam);
    if (item) item->FDeleting = true;
    delete item;
  }
  FColumns.reset();
  FListItems.reset();
  if (FNative->header) Header::Destroy(FNative->header);
  if (FLargeImages) FLargeImages->UnRegisterChanges(this);
  if (FSmallImages) FSmallImages->UnRegisterChanges(this);
  if (FStateImages) FStateImages->UnRegisterChanges(this);
  delete FCanvas;
}

void TCustomListView::UpdateScrollBars() { Perform(LVM_SYNCBARS); }

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

TCanvas* TCustomListView::Canvas() {
  if (!FCanvas) FCanvas = new TCanvas;
  return FCanvas;
}

TListColumn* TCustomListView::Column(int i) const {
  return i >= 0 && i < FColumns->Count() ? FColumns->Items(i) : nullptr;
}

void TCustomListView::SetViewStyle(TViewStyle v) {
  static const DWORD types[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  SetStyle(LVS_TYPEMASK, false);
  SetStyle(types[v], true);
}

void TCustomListView::SetStyle(DWORD bits, bool on) {
  FStyle = on ? FStyle | bits : FStyle & ~bits;
  static const TViewStyle styles[] = {vsIcon, vsReport, vsSmallIcon, vsList};
  FViewStyle = styles[FStyle & LVS_TYPEMASK];
  FNative->top = 0;
  if (FViewStyle == vsReport) UpdateColumns();
  Invalidate();
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

static void Attach(TCustomListView* lv, TCustomImageList*& slot, TCustomImageList* v,
                   std::function<void()> changed) {
  if (slot) slot->UnRegisterChanges(lv);
  slot = v;
  if (v) {
    v->RegisterChanges(lv, std::move(changed));
    v->FreeNotification(lv);
  }
}

void TCustomListView::SetLargeImages(TCustomImageList* v) {
  Attach(this, FLargeImages, v, [this] { ImagesChanged(); });
  ImagesChanged();
}
void TCustomListView::SetSmallImages(TCustomImageList* v) {
  Attach(this, FSmallImages, v, [this] { ImagesChanged(); });
  ImagesChanged();
}
void TCustomListView::SetStateImages(TCustomImageList* v) {
  Attach(this, FStateImages, v, [this] { ImagesChanged(); });
  ImagesChanged();
}

void TCustomListView::Notification(TComponent* c, TOperation op) {
  TWinControl::Notification(c, op);
  if (op != opRemove) return;
  if (c == FLargeImages) SetLargeImages(nullptr);
  if (c == FSmallImages) SetSmallImages(nullptr);
  if (c == FStateImages) SetStateImages(nullptr);
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
  THitTests r = 0;
  UINT f = hi.flags;
  // LVHT_ABOVE shares its bit with LVHT_ONITEMSTATEICON: an item index tells them apart.
  if ((f & LVHT_ABOVE) && hi.iItem < 0) r |= htAbove;
  if (f & LVHT_BELOW) r |= htBelow;
  if (f & LVHT_NOWHERE) r |= htNowhere;
  if (f & LVHT_ONITEM) r |= htOnItem;
  if (f & LVHT_ONITEMICON) r |= htOnIcon;
  if (f & LVHT_ONITEMLABEL) r |= htOnLabel;
  if ((f & LVHT_ONITEMSTATEICON) && hi.iItem >= 0) r |= htOnStateIcon;
  if (f & LVHT_TOLEFT) r |= htToLeft;
  if (f & LVHT_TORIGHT) r |= htToRight;
  return r;
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

namespace {
int DefaultCompare(LPARAM a, LPARAM b, LPARAM view) {
  auto* lv = reinterpret_cast<TCustomListView*>(view);
  auto* i1 = reinterpret_cast<TListItem*>(a);
  auto* i2 = reinterpret_cast<TListItem*>(b);
  int r = 0;
  if (lv->OnCompare)
    lv->OnCompare(lv, i1, i2, 0, r);
  else
    r = AnsiCompareText(i1->Caption(), i2->Caption());
  return r;
}
}  // namespace

bool TCustomListView::AlphaSort() { return CustomSort(nullptr, 0); }
bool TCustomListView::CustomSort(TLVCompare proc, LPARAM data) {
  return Perform(LVM_SORTITEMS, WPARAM(proc ? data : LPARAM(this)),
                 LPARAM(proc ? proc : DefaultCompare)) != 0;
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
  bool allow = true;
  OnChanging(this, item, change, allow);
  return allow;
}
void TCustomListView::Change(TListItem* item, TItemChange change) { OnChange(this, item, change); }
bool TCustomListView::CanEdit(TListItem* item) {
  bool allow = true;
  OnEditing(this, item, allow);
  return allow;
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
  bool def = true;
  if (stage == cdPrePaint) OnCustomDraw(this, rect, def);
  return def;
}
bool TCustomListView::CustomDrawItem(TListItem* item, TCustomDrawState state,
                                     TCustomDrawStage stage) {
  bool def = true;
  if (stage == cdPrePaint) OnCustomDrawItem(this, item, state, def);
  return def;
}
bool TCustomListView::CustomDrawSubItem(TListItem* item, int subItem, TCustomDrawState state,
                                        TCustomDrawStage stage) {
  bool def = true;
  if (stage == cdPrePaint) OnCustomDrawSubItem(this, item, subItem, state, def);
  return def;
}

bool TCustomListView::WantsKey(WORD key) const {
  return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT ||
         (FNative->editing >= 0 && (key == VK_RETURN || key == VK_ESCAPE));
}

void TCustomListView::HandleNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  auto itemOf = [&](int index, LPARAM lParam) -> TListItem* {
    if (OwnerData()) return FListItems->Item(index);
    return lParam ? reinterpret_cast<TListItem*>(lParam) : FListItems->Item(index);
  };
  auto changeOf = [](UINT changed) {
    return (changed & LVIF_STATE) ? ctState : (changed & LVIF_IMAGE) ? ctImage : ctText;
  };
  m.Result = 0;
  switch (hdr->code) {
    case LVN_ITEMCHANGING: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      TListItem* t = itemOf(nm->iItem, nm->lParam);
      if (t) m.Result = !CanChange(t, changeOf(nm->uChanged));
      return;
    }
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      TListItem* t = itemOf(nm->iItem, nm->lParam);
      if (!t) return;
      Change(t, changeOf(nm->uChanged));
      if ((nm->uChanged & LVIF_STATE) && ((nm->uOldState ^ nm->uNewState) & LVIS_SELECTED))
        DoSelectItem(t, (nm->uNewState & LVIS_SELECTED) != 0);
      return;
    }
    case LVN_INSERTITEM: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (TListItem* t = itemOf(nm->iItem, nm->lParam)) InsertItem(t);
      return;
    }
    case LVN_DELETEALLITEMS:
      m.Result = FALSE;
      return;  // one LVN_DELETEITEM per item
    case LVN_DELETEITEM: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (OwnerData() || !nm->lParam) return;
      auto* t = reinterpret_cast<TListItem*>(nm->lParam);
      t->FDeleting = true;
      try {
        Delete(t);
      } catch (...) {
        delete t;
        throw;
      }
      delete t;
      return;
    }
    case LVN_COLUMNCLICK:
      ColClick(Column(reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem));
      return;
    case LVN_BEGINLABELEDITA: {
      auto* nm = reinterpret_cast<NMLVDISPINFOA*>(hdr);
      TListItem* t = itemOf(nm->item.iItem, nm->item.lParam);
      m.Result = !t || !CanEdit(t);
      return;
    }
    case LVN_ENDLABELEDITA:
      Edit(reinterpret_cast<NMLVDISPINFOA*>(hdr)->item);
      m.Result = FALSE;
      return;
    case LVN_GETDISPINFOA: {
      auto* nm = reinterpret_cast<NMLVDISPINFOA*>(hdr);
      TListItem* t = itemOf(nm->item.iItem, nm->item.lParam);
      if (!t) return;
      if ((nm->item.mask & LVIF_TEXT) && nm->item.pszText && nm->item.cchTextMax > 0) {
        std::string s;
        if (nm->item.iSubItem == 0)
          s = t->Caption();
        else if (nm->item.iSubItem <= t->SubItems()->Count())
          s = t->SubItems()->Strings(nm->item.iSubItem - 1);
        size_t k = std::min(s.size(), size_t(nm->item.cchTextMax - 1));
        std::memcpy(nm->item.pszText, s.data(), k);
        nm->item.pszText[k] = 0;
      }
      if ((nm->item.mask & LVIF_IMAGE) && nm->item.iSubItem == 0) {
        GetImageIndex(t);
        nm->item.iImage = t->ImageIndex();
      }
      if (nm->item.mask & LVIF_INDENT) nm->item.iIndent = t->Indent();
      return;
    }
    case LVN_ODFINDITEMA: {
      auto* nm = reinterpret_cast<NMLVFINDITEMA*>(hdr);
      m.Result = -1;
      if (nm->lvfi.flags & LVFI_STRING)
        m.Result = OwnerDataFind(nm->lvfi.psz ? nm->lvfi.psz : "", nm->iStart,
                                 (nm->lvfi.flags & LVFI_WRAP) != 0);
      return;
    }
    case NM_CUSTOMDRAW: {
      auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
      m.Result = CDRF_DODEFAULT;
      DWORD stage = cd->nmcd.dwDrawStage;
      if (stage == CDDS_PREPAINT) {
        if (IsCustomDrawn(dtControl, cdPrePaint)) {
          Canvas()->SetHandle(cd->nmcd.hdc);
          bool def = CustomDraw(cd->nmcd.rc, cdPrePaint);
          Canvas()->SetHandle(nullptr);
          if (!def) {
            m.Result = CDRF_SKIPDEFAULT;
            return;
          }
        }
        if (IsCustomDrawn(dtItem, cdPrePaint)) m.Result |= CDRF_NOTIFYITEMDRAW;
      } else if (stage == CDDS_ITEMPREPAINT || stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM)) {
        bool sub = stage & CDDS_SUBITEM;
        TListItem* t = itemOf(int(cd->nmcd.dwItemSpec), cd->nmcd.lItemlParam);
        if (!t) return;
        auto state = TCustomDrawState(cd->nmcd.uItemState);
        m.Result = ViewSupport::DrawItemWithCanvas(
            Canvas(), Font(), cd->nmcd, cd->clrText, cd->clrTextBk, [&] {
              return sub ? CustomDrawSubItem(t, cd->iSubItem, state, cdPrePaint)
                         : CustomDrawItem(t, state, cdPrePaint);
            });
        if (m.Result == CDRF_NEWFONT && !sub && IsCustomDrawn(dtSubItem, cdPrePaint))
          m.Result |= CDRF_NOTIFYSUBITEMDRAW;
      }
      return;
    }
    default:
      return;
  }
}

void TCustomListView::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY) {
    HandleNotify(m);
    return;
  }
  bool handled = false;
  LRESULT r = NativeMessage(m, handled);
  if (handled) {
    m.Result = r;
    return;
  }
  TWinControl::WndProc(m);
}

// --- The list view window -------------------------------------------------------------------

LRESULT TCustomListView::NativeMessage(TMessage& m, bool& handled) {
  Native& N = *FNative;
  handled = true;
  const bool owner = FStyle & LVS_OWNERDATA;
  auto count = [&]() { return owner ? N.virtualCount : int(N.items.size()); };
  auto valid = [&](int i) { return i >= 0 && i < count(); };
  auto stateOf = [&](int i) -> UINT {
    return owner ? N.virtualStates[size_t(i)] : N.items[size_t(i)]->state;
  };
  auto setRaw = [&](int i, UINT s) {
    (owner ? N.virtualStates[size_t(i)] : N.items[size_t(i)]->state) = s;
  };
  auto lparamOf = [&](int i) -> LPARAM {
    return owner || !valid(i) ? 0 : N.items[size_t(i)]->lParam;
  };
  auto dispInfo = [&](int i, int sub, UINT mask, char* buf, int size) {
    NMLVDISPINFOA di;
    di.item.mask = mask;
    di.item.iItem = i;
    di.item.iSubItem = sub;
    di.item.lParam = lparamOf(i);
    di.item.state = stateOf(i);
    di.item.pszText = buf;
    di.item.cchTextMax = size;
    if (buf && size > 0) buf[0] = 0;
    ViewSupport::Notify(this, LVN_GETDISPINFOA, &di.hdr);
    if (!owner && (di.item.mask & LVIF_DI_SETITEM) && valid(i) && sub == 0) {
      ItemData* t = N.items[size_t(i)];
      if ((mask & LVIF_TEXT) && di.item.pszText) t->text = di.item.pszText, t->textCallback = false;
      if (mask & LVIF_IMAGE) t->image = di.item.iImage;
    }
    return di.item;
  };
  auto getText = [&](int i, int sub) -> std::string {
    if (!valid(i)) return "";
    bool callback = owner;
    if (!owner) {
      ItemData* t = N.items[size_t(i)];
      if (sub == 0) {
        if (!t->textCallback) return t->text;
        callback = true;
      } else if (size_t(sub) <= t->subs.size()) {
        if (!t->subs[size_t(sub - 1)].callback) return t->subs[size_t(sub - 1)].text;
        callback = true;
      }
    }
    if (!callback) return "";
    char buf[1024];
    LVITEMA it = dispInfo(i, sub, LVIF_TEXT, buf, sizeof buf);
    return it.pszText && it.pszText != LPSTR_TEXTCALLBACKA ? it.pszText : "";
  };
  auto getImage = [&](int i) {
    if (!owner && N.items[size_t(i)]->image != I_IMAGECALLBACK) return N.items[size_t(i)]->image;
    return dispInfo(i, 0, LVIF_IMAGE, nullptr, 0).iImage;
  };
  auto view = [&] { return FStyle & LVS_TYPEMASK; };
  auto geo = [&]() {
    Geometry g{};
    g.view = int(view());
    g.border = FBorderStyle == bsSingle ? 2 : 0;
    ImageList_GetIconSize(N.small, &g.smallW, &g.smallH);
    ImageList_GetIconSize(N.normal, &g.largeW, &g.largeH);
    ImageList_GetIconSize(N.state, &g.stateW, nullptr);
    g.textH = ViewSupport::TextHeight(Font());
    g.rowH = std::max({g.textH + 3, g.smallH + 1, 16});
    g.hdrH =
        g.view == int(LVS_REPORT) && !(FStyle & LVS_NOCOLUMNHEADER) ? Header::DefaultHeight() : 0;
    g.top0 = g.border + g.hdrH;
    RECT client = ClientBounds();
    g.right = client.right, g.bottom = client.bottom;
    g.clientW = std::max(0, g.right - g.border);
    g.clientH = std::max(0, g.bottom - g.top0);
    if (g.view == int(LVS_ICON)) {
      g.cellW = std::max(75, g.largeW + 16);
      g.cellH = std::max(g.largeH, 16) + g.textH + 14;
      g.perLine = std::max(1, g.clientW / g.cellW);
    } else if (g.view == int(LVS_LIST) || g.view == int(LVS_SMALLICON)) {
      int w = N.listColW;
      if (w <= 0) {
        // Wide enough for the longest caption (virtual lists: a fixed width).
        w = 150;
        if (!owner) {
          w = 40;
          for (int i = 0; i < count(); ++i)
            w = std::max(w, ViewSupport::TextWidth(Font(), getText(i, 0)) + 8);
          w += g.smallW + 4 + g.stateW;
        }
      }
      g.cellW = w;
      g.cellH = g.rowH;
      g.perLine =
          g.view == int(LVS_LIST) ? std::max(1, g.clientH / g.rowH) : std::max(1, g.clientW / w);
    }
    return g;
  };
  auto totalColW = [&] {
    int w = 0;
    for (const ColumnData& c : N.cols) w += c.cx;
    return w;
  };
  // The unit scrolled by `top`: a row (report, icons) or a column (list).
  auto unitOf = [&](const Geometry& g, int i) {
    if (g.view == int(LVS_REPORT)) return i;
    return i / g.perLine;
  };
  auto pageUnits = [&](const Geometry& g) {
    switch (g.view) {
      case LVS_REPORT:
        return std::max(1, g.clientH / g.rowH);
      case LVS_LIST:
        return std::max(1, g.clientW / g.cellW);
      default:
        return std::max(1, g.clientH / g.cellH);
    }
  };
  auto unitCount = [&](const Geometry& g) {
    int n = count();
    return g.view == int(LVS_REPORT) ? n : (n + g.perLine - 1) / g.perLine;
  };
  auto clampTop = [&](const Geometry& g) {
    N.top = std::clamp(N.top, 0, std::max(0, unitCount(g) - pageUnits(g)));
  };
  // The item's rectangles: bounds, icon, label, selection bounds (control coordinates).
  auto rects = [&](const Geometry& g, int i, RECT& bounds, RECT& icon, RECT& label,
                   RECT* state = nullptr) {
    int x, y;
    int indent = owner ? 0 : N.items[size_t(i)]->indent * std::max(g.smallW, 16);
    if (g.view == int(LVS_ICON)) {
      x = g.border + (i % g.perLine) * g.cellW;
      y = g.border + (i / g.perLine - N.top) * g.cellH;
      bounds = RECT{x, y, x + g.cellW, y + g.cellH};
      int iw = std::max(g.largeW, 16), ih = std::max(g.largeH, 16);
      icon = RECT{x + (g.cellW - iw) / 2, y + 2, x + (g.cellW + iw) / 2, y + 2 + ih};
      int tw = std::min(ViewSupport::TextWidth(Font(), getText(i, 0)) + 4, g.cellW - 2);
      label = RECT{x + (g.cellW - tw) / 2, icon.bottom + 2, x + (g.cellW + tw) / 2,
                   icon.bottom + 4 + g.textH};
      if (state)
        *state = RECT{icon.left - g.stateW, icon.bottom - g.stateW, icon.left, icon.bottom};
      return;
    }
    if (g.view == int(LVS_REPORT)) {
      x = g.border - N.xOff;
      y = g.top0 + (i - N.top) * g.rowH;
      bounds = RECT{x, y, x + totalColW(), y + g.rowH};
    } else if (g.view == int(LVS_LIST)) {
      x = g.border + (i / g.perLine - N.top) * g.cellW;
      y = g.border + (i % g.perLine) * g.rowH;
      bounds = RECT{x, y, x + g.cellW, y + g.rowH};
    } else {
      x = g.border + (i % g.perLine) * g.cellW;
      y = g.border + (i / g.perLine - N.top) * g.rowH;
      bounds = RECT{x, y, x + g.cellW, y + g.rowH};
    }
    int sx = x + 2 + indent;
    if (state) *state = RECT{sx, y, sx + g.stateW, y + g.rowH};
    sx += g.stateW;
    icon = RECT{sx, y, sx + g.smallW, y + g.rowH};
    int lx = icon.right + (g.smallW ? 2 : 0);
    if (g.view == int(LVS_REPORT)) {
      int col0 = N.cols.empty() ? 0 : N.cols[0].cx;
      label = RECT{lx, y, std::max(lx, x + col0), y + g.rowH};
    } else {
      label = RECT{lx, y,
                   std::min(lx + ViewSupport::TextWidth(Font(), getText(i, 0)) + 4, bounds.right),
                   y + g.rowH};
      bounds.right = label.right;
    }
  };
  auto subRect = [&](const Geometry& g, int i, int sub) {
    RECT b, ic, lb;
    rects(g, i, b, ic, lb);
    int x = g.border - N.xOff;
    for (int k = 0; k < sub && k < int(N.cols.size()); ++k) x += N.cols[size_t(k)].cx;
    int w = sub < int(N.cols.size()) ? N.cols[size_t(sub)].cx : 0;
    return RECT{x, b.top, x + w, b.bottom};
  };
  // The header stays on top and moves across with the columns.
  auto layoutHeader = [&](const Geometry& g) {
    if (!N.header) return;
    int left = g.border - N.xOff, right = std::max(g.right, left + totalColW());
    Header::SetBounds(N.header, g.hdrH ? RECT{left, g.border, right, g.border + g.hdrH} : RECT{});
  };
  // Header coordinates of a point of the view.
  auto toHeader = [&](POINT pt) {
    RECT hb = Header::Bounds(N.header);
    return MAKELPARAM(WORD(short(pt.x - hb.left)), WORD(short(pt.y - hb.top)));
  };
  auto ensureVisible = [&](int i, bool partial) {
    Geometry g = geo();
    int u = unitOf(g, i), page = pageUnits(g);
    (void)partial;
    if (u < N.top)
      N.top = u;
    else if (u >= N.top + page)
      N.top = u - page + 1;
    clampTop(g);
  };
  // One item's state change, asked (ITEMCHANGING) and told (ITEMCHANGED).
  std::function<bool(int, UINT, UINT)> changeState = [&](int i, UINT mask, UINT value) -> bool {
    if (!valid(i)) return false;
    UINT old = stateOf(i), now = (old & ~mask) | (value & mask);
    if (now == old) return true;
    // The focus is one item's; with LVS_SINGLESEL so is the selection.
    if ((now & ~old & LVIS_FOCUSED) && N.focus != i && valid(N.focus))
      changeState(N.focus, LVIS_FOCUSED, 0);
    if ((now & ~old & LVIS_SELECTED) && (FStyle & LVS_SINGLESEL))
      for (int k = 0; k < count(); ++k)
        if (k != i && (stateOf(k) & LVIS_SELECTED)) changeState(k, LVIS_SELECTED, 0);
    if (!valid(i)) return false;
    old = stateOf(i);
    now = (old & ~mask) | (value & mask);
    NMLISTVIEW nm;
    nm.iItem = i;
    nm.uChanged = LVIF_STATE;
    nm.uOldState = old;
    nm.uNewState = now;
    nm.lParam = lparamOf(i);
    if (ViewSupport::Notify(this, LVN_ITEMCHANGING, &nm.hdr) || !valid(i)) return false;
    setRaw(i, now);
    if (now & LVIS_FOCUSED)
      N.focus = i;
    else if (N.focus == i)
      N.focus = -1;
    nm.lParam = lparamOf(i);
    ViewSupport::Notify(this, LVN_ITEMCHANGED, &nm.hdr);
    Invalidate();
    return true;
  };
  auto selectOnly = [&](int i) {
    for (int k = 0; k < count(); ++k)
      if (k != i && (stateOf(k) & LVIS_SELECTED)) changeState(k, LVIS_SELECTED, 0);
    if (valid(i)) changeState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  };
  auto selectRange = [&](int a, int b, bool keep) {
    if (a > b) std::swap(a, b);
    for (int k = 0; k < count(); ++k) {
      bool in = k >= a && k <= b;
      if (in && !(stateOf(k) & LVIS_SELECTED))
        changeState(k, LVIS_SELECTED, LVIS_SELECTED);
      else if (!in && !keep && (stateOf(k) & LVIS_SELECTED))
        changeState(k, LVIS_SELECTED, 0);
    }
  };
  // Indexes after position `at` move by `d` (an insertion or a deletion).
  auto shiftIndexes = [&](int at, int d) {
    for (int* p : {&N.focus, &N.anchor, &N.editing, &N.dragItem})
      if (*p >= at) *p += d;
  };
  auto endEdit = [&](bool cancel) -> BOOL {
    if (N.editing < 0) return FALSE;
    int i = N.editing;
    std::string text = N.edit->Text();
    N.editing = -1;
    N.edit->OnDone = nullptr;
    N.edit->Hide();
    NMLVDISPINFOA di;
    di.item.mask = LVIF_TEXT | LVIF_PARAM;
    di.item.iItem = i;
    di.item.lParam = lparamOf(i);
    di.item.pszText = cancel ? nullptr : text.data();
    di.item.cchTextMax = int(text.size() + 1);
    if (ViewSupport::Notify(this, LVN_ENDLABELEDITA, &di.hdr) && !cancel && !owner && valid(i) &&
        !N.items[size_t(i)]->textCallback)
      N.items[size_t(i)]->text = text;
    if (CanFocus()) SetFocus();
    Invalidate();
    return TRUE;
  };
  auto editLabel = [&](int i) -> HWND {
    if (N.editing >= 0) endEdit(i >= 0 ? false : true);
    if (!valid(i)) return nullptr;
    ensureVisible(i, false);
    if (!(stateOf(i) & LVIS_FOCUSED)) changeState(i, LVIS_FOCUSED, LVIS_FOCUSED);
    NMLVDISPINFOA di;
    std::string text = getText(i, 0);
    di.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    di.item.iItem = i;
    di.item.lParam = lparamOf(i);
    di.item.state = stateOf(i);
    di.item.pszText = text.data();
    if (ViewSupport::Notify(this, LVN_BEGINLABELEDITA, &di.hdr) || !valid(i)) return nullptr;
    Geometry g = geo();
    RECT b, ic, lb;
    rects(g, i, b, ic, lb);
    N.editing = i;
    return ViewSupport::OpenLabelEditor(this, N.edit, lb, 60, text, LVM_ENDEDITNOW);
  };
  auto hitTest = [&](LVHITTESTINFO* hi, bool subItems) -> int {
    Geometry g = geo();
    hi->flags = 0;
    hi->iItem = -1;
    hi->iSubItem = 0;
    int x = hi->pt.x, y = hi->pt.y;
    if (x < g.border) hi->flags |= LVHT_TOLEFT;
    if (x >= g.right) hi->flags |= LVHT_TORIGHT;
    if (y < g.top0) hi->flags |= LVHT_ABOVE;
    if (y >= g.bottom) hi->flags |= LVHT_BELOW;
    if (hi->flags) return -1;
    int first = 0, last = count() - 1;
    if (g.view == int(LVS_REPORT)) first = last = N.top + (y - g.top0) / g.rowH;
    for (int i = std::max(0, first); i <= last && i < count(); ++i) {
      RECT b, ic, lb, st;
      rects(g, i, b, ic, lb, &st);
      POINT p{x, y};
      auto in = [&](const RECT& r) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
      };
      UINT f = 0;
      if (g.stateW && in(st))
        f = LVHT_ONITEMSTATEICON;
      else if (in(ic) && (g.view != int(LVS_REPORT) || ic.right > ic.left))
        f = LVHT_ONITEMICON;
      else if (in(lb))
        f = LVHT_ONITEMLABEL;
      else if (g.view == int(LVS_REPORT) && FRowSelect && in(b))
        f = LVHT_ONITEMLABEL;
      else if (g.view == int(LVS_ICON) && in(b) && y < lb.bottom)
        f = LVHT_ONITEMICON;
      if (!f && !(subItems && g.view == int(LVS_REPORT) && in(b))) continue;
      hi->flags = f ? f : LVHT_NOWHERE;
      hi->iItem = i;
      if (subItems && g.view == int(LVS_REPORT)) {
        int cx = g.border - N.xOff;
        for (size_t k = 0; k < N.cols.size(); ++k) {
          if (x >= cx && x < cx + N.cols[k].cx) hi->iSubItem = int(k);
          cx += N.cols[k].cx;
        }
      }
      return f ? i : (subItems ? i : -1);
    }
    hi->flags = LVHT_NOWHERE;
    return -1;
  };
  auto nextItem = [&](int start, UINT flags) -> int {
    UINT states = flags & (LVNI_FOCUSED | LVNI_SELECTED | LVNI_CUT | LVNI_DROPHILITED);
    UINT dir = flags & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT);
    auto matches = [&](int i) { return (stateOf(i) & states) == states; };
    int n = count();
    if (!dir) {
      for (int i = std::max(0, start + 1); i < n; ++i)
        if (matches(i)) return i;
      return -1;
    }
    if (!valid(start)) return -1;
    Geometry g = geo();
    int step = 0;
    switch (g.view) {
      case LVS_REPORT:
        step = dir == LVNI_ABOVE ? -1 : dir == LVNI_BELOW ? 1 : 0;
        break;
      case LVS_LIST:
        step = dir == LVNI_ABOVE    ? -1
               : dir == LVNI_BELOW  ? 1
               : dir == LVNI_TOLEFT ? -g.perLine
                                    : g.perLine;
        break;
      default:
        step = dir == LVNI_TOLEFT    ? -1
               : dir == LVNI_TORIGHT ? 1
               : dir == LVNI_ABOVE   ? -g.perLine
                                     : g.perLine;
        break;
    }
    if (!step) return -1;
    for (int i = start + step; i >= 0 && i < n; i += step) {
      // Icon rows end at their line: left and right do not wrap.
      if (g.view != int(LVS_REPORT) && g.view != int(LVS_LIST) && (step == 1 || step == -1) &&
          i / g.perLine != start / g.perLine)
        break;
      if (g.view == int(LVS_LIST) && (step == 1 || step == -1) &&
          i / g.perLine != start / g.perLine)
        break;
      if (matches(i)) return i;
    }
    return -1;
  };
  auto findItem = [&](int start, const LVFINDINFOA* fi) -> int {
    if (!fi) return -1;
    int n = count();
    if (owner) {
      NMLVFINDITEMA nm;
      nm.iStart = start + 1;
      nm.lvfi = *fi;
      return int(ViewSupport::Notify(this, LVN_ODFINDITEMA, &nm.hdr));
    }
    std::string want = (fi->flags & (LVFI_STRING | LVFI_PARTIAL)) && fi->psz ? fi->psz : "";
    for (int k = 0; k < n; ++k) {
      int i = start + 1 + k;
      if (i >= n) {
        if (!(fi->flags & LVFI_WRAP)) break;
        i -= n;
      }
      if (i < 0 || i >= n) continue;
      if (fi->flags & LVFI_PARAM) {
        if (N.items[size_t(i)]->lParam == fi->lParam) return i;
        continue;
      }
      std::string s = getText(i, 0);
      if (fi->flags & LVFI_PARTIAL) s = s.substr(0, std::min(s.size(), want.size()));
      if (AnsiCompareText(s, want) == 0) return i;
    }
    return -1;
  };
  auto deleteItem = [&](int i) {
    if (N.editing == i) endEdit(true);
    NMLISTVIEW nm;
    nm.iItem = i;
    nm.lParam = lparamOf(i);
    ViewSupport::Notify(this, LVN_DELETEITEM, &nm.hdr);
    if (!valid(i) || (!owner && N.items[size_t(i)]->lParam != nm.lParam)) return;
    if (N.focus == i) N.focus = -1;
    if (N.anchor == i) N.anchor = -1;
    if (N.dragItem == i) N.dragItem = -1;
    if (owner)
      N.virtualStates.erase(N.virtualStates.begin() + i), --N.virtualCount;
    else {
      delete N.items[size_t(i)];
      N.items.erase(N.items.begin() + i);
    }
    shiftIndexes(i + 1, -1);
  };
  auto notifyClick = [&](int code, int item, POINT pt) {
    // NM_CLICK and its kin carry the item activated (NMITEMACTIVATE's leading fields).
    NMLISTVIEW nm;
    nm.iItem = item;
    nm.ptAction = pt;
    nm.lParam = lparamOf(item);
    return ViewSupport::Notify(this, code, &nm.hdr);
  };

  // The bars: what the view scrolls by (rows, or list columns) and, in the report view, the
  // columns' pixels.
  auto syncBars = [&](bool force) {
    if (N.syncingBars ||
        (!force && N.barsInvalidate == InvalidateCount() && N.barsCount == count()))
      return;
    N.syncingBars = true;
    bool fixed = FStyle & LVS_NOSCROLL;
    ScrollBars::Settle(this, [&] {
      Geometry g = geo();
      int units = fixed ? 0 : unitCount(g), page = pageUnits(g);
      if (g.view == int(LVS_LIST)) {
        N.top = ScrollBars::SetBar(this, SB_HORZ, 0, units - 1, page, N.top);
        ScrollBars::SetBar(this, SB_VERT, 0, 0, 0, 0);
        N.xOff = 0;
      } else {
        int width = g.view == int(LVS_REPORT) && !fixed ? totalColW() : 0;
        N.top = ScrollBars::SetBar(this, SB_VERT, 0, units - 1, page, N.top);
        N.xOff = ScrollBars::SetBar(this, SB_HORZ, 0, width - 1, g.clientW, N.xOff);
      }
    });
    layoutHeader(geo());
    N.barsInvalidate = InvalidateCount();
    N.barsCount = count();
    N.syncingBars = false;
  };
  // Scrolls to a new first row or list column, or (report, across) a new left edge.
  auto scrollTo = [&](bool across, int to) {
    if (N.editing >= 0) endEdit(false);
    Geometry g = geo();
    if (across && g.view == int(LVS_REPORT)) {
      N.xOff = std::clamp(to, 0, std::max(0, totalColW() - g.clientW));
    } else {
      N.top = to;
      clampTop(g);
    }
    Invalidate();
    syncBars(true);
  };

  // Messages whose answer depends on what shows take the bars as they are now.
  switch (m.Msg) {
    case WM_PAINT:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST:
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT:
    case LVM_GETITEMPOSITION:
    case LVM_ENSUREVISIBLE:
    case LVM_SCROLL:
    case LVM_GETTOPINDEX:
    case LVM_GETCOUNTPERPAGE:
    case LVM_EDITLABELA:
    case LVM_SYNCBARS:
      syncBars(false);
      break;
    case LVM_GETNEXTITEM:
      if (m.LParam & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT)) syncBars(false);
      break;
    default:
      break;
  }

  switch (m.Msg) {
    case LVM_SYNCBARS:
      return 0;
    case WM_VSCROLL: {
      Geometry g = geo();
      if (g.view != int(LVS_LIST))
        scrollTo(false, ScrollBars::ScrollTarget(this, SB_VERT, m.WParam, N.top, 1, pageUnits(g)));
      return 0;
    }
    case WM_HSCROLL: {
      Geometry g = geo();
      if (g.view == int(LVS_LIST))
        scrollTo(true, ScrollBars::ScrollTarget(this, SB_HORZ, m.WParam, N.top, 1, pageUnits(g)));
      else if (g.view == int(LVS_REPORT))
        scrollTo(true,
                 ScrollBars::ScrollTarget(this, SB_HORZ, m.WParam, N.xOff, kHorzLine, g.clientW));
      return 0;
    }
    case WM_MOUSEWHEEL: {
      // Rows three a notch; list columns one a notch.
      int lines = ScrollBars::WheelLines(this, m);
      if (lines && view() == LVS_LIST)
        scrollTo(true, N.top + lines / 3);
      else if (lines)
        scrollTo(false, N.top + lines);
      return 0;
    }
    case LVM_GETITEMCOUNT:
      return count();
    case LVM_SETITEMCOUNT: {
      if (!owner) return TRUE;  // a preallocation hint
      int n = std::max(0, int(m.WParam));
      N.virtualStates.resize(size_t(n), 0);
      N.virtualCount = n;
      if (N.focus >= n) N.focus = -1;
      if (N.anchor >= n) N.anchor = -1;
      if (N.editing >= n) endEdit(true);
      clampTop(geo());
      Invalidate();
      return TRUE;
    }
    case LVM_INSERTITEMA: {
      auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
      if (!it || owner || it->iSubItem != 0 || it->iItem < 0) return -1;
      auto* t = new ItemData;
      if (it->mask & LVIF_TEXT) {
        t->textCallback = it->pszText == LPSTR_TEXTCALLBACKA;
        if (!t->textCallback && it->pszText) t->text = it->pszText;
      }
      if (it->mask & LVIF_IMAGE) t->image = it->iImage;
      if (it->mask & LVIF_PARAM) t->lParam = it->lParam;
      if (it->mask & LVIF_INDENT) t->indent = it->iIndent;
      UINT state = (it->mask & LVIF_STATE) ? it->state & it->stateMask : 0;
      int at = std::min(it->iItem, int(N.items.size()));
      if (FStyle & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
        bool desc = FStyle & LVS_SORTDESCENDING;
        std::string mine = t->text;
        at = 0;
        while (at < int(N.items.size())) {
          int c = AnsiCompareText(getText(at, 0), mine);
          if (desc ? c < 0 : c > 0) break;
          ++at;
        }
      }
      shiftIndexes(at, 1);
      N.items.insert(N.items.begin() + at, t);
      NMLISTVIEW nm;
      nm.iItem = at;
      nm.lParam = t->lParam;
      ViewSupport::Notify(this, LVN_INSERTITEM, &nm.hdr);
      if (state) changeState(at, state, state);
      if (FListItems->UpdateCount() == 0) Invalidate();
      return at;
    }
    case LVM_DELETEITEM: {
      int i = int(m.WParam);
      if (!valid(i)) return FALSE;
      deleteItem(i);
      clampTop(geo());
      Invalidate();
      return TRUE;
    }
    case LVM_DELETEALLITEMS: {
      if (N.editing >= 0) endEdit(true);
      NMLISTVIEW nm;
      nm.iItem = -1;
      bool quiet = ViewSupport::Notify(this, LVN_DELETEALLITEMS, &nm.hdr) != 0;
      if (owner) {
        N.virtualCount = 0;
        N.virtualStates.clear();
      }
      while (!N.items.empty()) {
        if (quiet) {
          delete N.items.back();
          N.items.pop_back();
        } else {
          deleteItem(int(N.items.size()) - 1);
        }
      }
      N.focus = N.anchor = N.dragItem = -1;
      N.top = 0;
      Invalidate();
      return TRUE;
    }
    case LVM_GETITEMA: {
      auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
      if (!it || !valid(it->iItem)) return FALSE;
      int i = it->iItem, sub = it->iSubItem;
      if (sub < 0 || (sub > 0 && sub >= std::max<int>(int(N.cols.size()), 1) && owner))
        return FALSE;
      if (it->mask & LVIF_TEXT) {
        bool cb = owner || (sub == 0 ? N.items[size_t(i)]->textCallback
                                     : size_t(sub) <= N.items[size_t(i)]->subs.size() &&
                                           N.items[size_t(i)]->subs[size_t(sub - 1)].callback);
        if (cb)
          it->pszText = LPSTR_TEXTCALLBACKA;
        else if (it->pszText && it->cchTextMax > 0) {
          std::string s = getText(i, sub);
          size_t k = std::min(s.size(), size_t(it->cchTextMax - 1));
          std::memcpy(it->pszText, s.data(), k);
          it->pszText[k] = 0;
        }
      }
      if (it->mask & LVIF_IMAGE) it->iImage = owner ? I_IMAGECALLBACK : N.items[size_t(i)]->image;
      if (it->mask & LVIF_STATE) it->state = stateOf(i) & it->stateMask;
      if (it->mask & LVIF_PARAM) it->lParam = lparamOf(i);
      if (it->mask & LVIF_INDENT) it->iIndent = owner ? 0 : N.items[size_t(i)]->indent;
      return TRUE;
    }
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA: {
      auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
      int i = m.Msg == LVM_SETITEMA ? (it ? it->iItem : -1) : int(m.WParam);
      if (!it || !valid(i) || it->iSubItem < 0) return FALSE;
      UINT mask = m.Msg == LVM_SETITEMA ? it->mask : LVIF_TEXT;
      if ((mask & LVIF_STATE) && it->iSubItem == 0 && !changeState(i, it->stateMask, it->state))
        return FALSE;
      if (owner) {
        Invalidate();
        return TRUE;
      }
      ItemData* t = N.items[size_t(i)];
      UINT changed = mask & (LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_INDENT);
      if (it->iSubItem > 0) {
        if (!(mask & LVIF_TEXT)) return TRUE;
        if (t->subs.size() < size_t(it->iSubItem)) t->subs.resize(size_t(it->iSubItem));
        SubItem& s = t->subs[size_t(it->iSubItem - 1)];
        s.callback = it->pszText == LPSTR_TEXTCALLBACKA;
        s.text = s.callback || !it->pszText ? std::string() : std::string(it->pszText);
        Invalidate();
        return TRUE;
      }
      if (changed) {
        NMLISTVIEW nm;
        nm.iItem = i;
        nm.uChanged = changed;
        nm.lParam = t->lParam;
        if (ViewSupport::Notify(this, LVN_ITEMCHANGING, &nm.hdr) || !valid(i)) return FALSE;
        t = N.items[size_t(i)];
        if (mask & LVIF_TEXT) {
          t->textCallback = it->pszText == LPSTR_TEXTCALLBACKA;
          t->text = t->textCallback || !it->pszText ? std::string() : std::string(it->pszText);
        }
        if (mask & LVIF_IMAGE) t->image = it->iImage;
        if (mask & LVIF_PARAM) t->lParam = it->lParam;
        if (mask & LVIF_INDENT) t->indent = it->iIndent;
        nm.lParam = t->lParam;
        ViewSupport::Notify(this, LVN_ITEMCHANGED, &nm.hdr);
      }
      Invalidate();
      return TRUE;
    }
    case LVM_GETITEMTEXTA: {
      auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
      int i = int(m.WParam);
      if (!it || !valid(i) || !it->pszText || it->cchTextMax <= 0) return 0;
      std::string s = getText(i, it->iSubItem);
      size_t k = std::min(s.size(), size_t(it->cchTextMax - 1));
      std::memcpy(it->pszText, s.data(), k);
      it->pszText[k] = 0;
      return LRESULT(k);
    }
    case LVM_SETITEMSTATE: {
      auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
      int i = int(m.WParam);
      if (!it) return FALSE;
      if (i == -1) {
        bool ok = true;
        for (int k = 0; k < count(); ++k) ok = changeState(k, it->stateMask, it->state) && ok;
        return ok;
      }
      return valid(i) && changeState(i, it->stateMask, it->state);
    }
    case LVM_GETITEMSTATE:
      return valid(int(m.WParam)) ? LRESULT(stateOf(int(m.WParam)) & UINT(m.LParam)) : 0;
    case LVM_GETSELECTEDCOUNT: {
      int n = 0;
      for (int k = 0; k < count(); ++k) n += (stateOf(k) & LVIS_SELECTED) ? 1 : 0;
      return n;
    }
    case LVM_GETNEXTITEM:
      return nextItem(int(m.WParam), UINT(m.LParam));
    case LVM_FINDITEMA:
      return findItem(int(m.WParam), reinterpret_cast<const LVFINDINFOA*>(m.LParam));
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      int i = int(m.WParam);
      if (!r || !valid(i)) return FALSE;
      int code = r->left, sub = m.Msg == LVM_GETSUBITEMRECT ? r->top : 0;
      if (code < LVIR_BOUNDS || code > LVIR_SELECTBOUNDS) return FALSE;
      Geometry g = geo();
      if (sub < 0 || (sub > 0 && (g.view != int(LVS_REPORT) || sub >= int(N.cols.size()))))
        return FALSE;
      RECT b, ic, lb;
      rects(g, i, b, ic, lb);
      if (sub > 0) {
        RECT s = subRect(g, i, sub);
        *r = code == LVIR_ICON ? RECT{s.left, s.top, s.left, s.bottom} : s;
        return TRUE;
      }
      switch (code) {
        case LVIR_BOUNDS:
          *r = b;
          break;
        case LVIR_ICON:
          *r = ic;
          break;
        case LVIR_LABEL:
          *r = lb;
          break;
        default:
          *r = RECT{std::min(ic.left, lb.left), std::min(ic.top, lb.top),
                    std::max(ic.right, lb.right), std::max(ic.bottom, lb.bottom)};
          if (g.view == int(LVS_REPORT) && FRowSelect) r->right = b.right;
      }
      return TRUE;
    }
    case LVM_GETITEMPOSITION: {
      auto* p = reinterpret_cast<POINT*>(m.LParam);
      if (!p || !valid(int(m.WParam))) return FALSE;
      RECT b, ic, lb;
      rects(geo(), int(m.WParam), b, ic, lb);
      *p = POINT{b.left, b.top};
      return TRUE;
    }
    case LVM_GETSTRINGWIDTHA: {
      const char* s = reinterpret_cast<const char*>(m.LParam);
      return s ? ViewSupport::TextWidth(Font(), s) : 0;
    }
    case LVM_HITTEST:
      return m.LParam ? hitTest(reinterpret_cast<LVHITTESTINFO*>(m.LParam), false) : -1;
    case LVM_SUBITEMHITTEST:
      return m.LParam ? hitTest(reinterpret_cast<LVHITTESTINFO*>(m.LParam), true) : -1;
    case LVM_ENSUREVISIBLE: {
      if (!valid(int(m.WParam))) return FALSE;
      ensureVisible(int(m.WParam), m.LParam != 0);
      Invalidate();
      return TRUE;
    }
    case LVM_SCROLL: {
      Geometry g = geo();
      int dx = int(std::intptr_t(m.WParam)), dy = int(m.LParam);
      int px = g.view == int(LVS_LIST) ? dx : dy;
      int unit = g.view == int(LVS_REPORT) || g.view == int(LVS_SMALLICON) ? g.rowH : g.cellH;
      if (g.view == int(LVS_LIST)) unit = g.cellW;
      if (px) N.top += px / unit ? px / unit : (px > 0 ? 1 : -1);
      clampTop(g);
      // The report view moves across by pixels.
      if (g.view == int(LVS_REPORT) && dx)
        N.xOff = std::clamp(N.xOff + dx, 0, std::max(0, totalColW() - g.clientW));
      Invalidate();
      syncBars(true);
      return TRUE;
    }
    case LVM_GETTOPINDEX: {
      Geometry g = geo();
      if (!count()) return 0;
      int first = g.view == int(LVS_REPORT) ? N.top : N.top * g.perLine;
      return std::min(first, count() - 1);
    }
    case LVM_GETCOUNTPERPAGE: {
      Geometry g = geo();
      if (g.view == int(LVS_REPORT)) return std::max(1, g.clientH / g.rowH);
      if (g.view == int(LVS_LIST)) return g.perLine * std::max(1, g.clientW / g.cellW);
      return count();
    }
    case LVM_REDRAWITEMS:
    case LVM_UPDATE:
    case LVM_ARRANGE:
      Invalidate();
      return TRUE;
    case LVM_GETVIEWRECT: {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      if (!r) return FALSE;
      *r = RECT{0, 0, Width(), Height()};
      return TRUE;
    }
    case LVM_EDITLABELA:
      return LRESULT(editLabel(int(m.WParam)));
    case LVM_ENDEDITNOW:
      return endEdit(m.WParam != 0);
    case LVM_GETEDITCONTROL:
      return N.editing >= 0 ? LRESULT(N.edit->Handle()) : 0;
    case LVM_SORTITEMS: {
      auto cmp = reinterpret_cast<PFNLVCOMPARE>(m.LParam);
      if (owner || !cmp) return FALSE;
      if (N.editing >= 0) endEdit(false);
      LPARAM data = LPARAM(m.WParam);
      LPARAM focusParam = valid(N.focus) ? N.items[size_t(N.focus)]->lParam : 0;
      ItemData* focusItem = valid(N.focus) ? N.items[size_t(N.focus)] : nullptr;
      ItemData* anchorItem = valid(N.anchor) ? N.items[size_t(N.anchor)] : nullptr;
      (void)focusParam;
      std::stable_sort(N.items.begin(), N.items.end(), [&](ItemData* a, ItemData* b) {
        return cmp(a->lParam, b->lParam, data) < 0;
      });
      for (int k = 0; k < count(); ++k) {
        if (N.items[size_t(k)] == focusItem) N.focus = k;
        if (N.items[size_t(k)] == anchorItem) N.anchor = k;
      }
      Invalidate();
      return TRUE;
    }
    case LVM_GETCOLUMNA: {
      auto* c = reinterpret_cast<LVCOLUMNA*>(m.LParam);
      int i = int(m.WParam);
      if (!c || i < 0 || i >= int(N.cols.size())) return FALSE;
      const ColumnData& col = N.cols[size_t(i)];
      if (c->mask & LVCF_FMT) c->fmt = col.fmt;
      if (c->mask & LVCF_WIDTH) c->cx = col.cx;
      if ((c->mask & LVCF_TEXT) && c->pszText && c->cchTextMax > 0) {
        size_t k = std::min(col.text.size(), size_t(c->cchTextMax - 1));
        std::memcpy(c->pszText, col.text.data(), k);
        c->pszText[k] = 0;
      }
      if (c->mask & LVCF_SUBITEM) c->iSubItem = i;
      if (c->mask & LVCF_IMAGE) c->iImage = col.image;
      if (c->mask & LVCF_ORDER) c->iOrder = i;
      return TRUE;
    }
    case LVM_SETCOLUMNA:
    case LVM_INSERTCOLUMNA: {
      auto* c = reinterpret_cast<LVCOLUMNA*>(m.LParam);
      int i = int(m.WParam);
      bool insert = m.Msg == LVM_INSERTCOLUMNA;
      if (!c || i < 0 || (!insert && i >= int(N.cols.size()))) return insert ? -1 : FALSE;
      if (insert) {
        i = std::min(i, int(N.cols.size()));
        N.cols.insert(N.cols.begin() + i, ColumnData{});
      }
      ColumnData& col = N.cols[size_t(i)];
      if (c->mask & LVCF_FMT)
        col.fmt = i == 0 ? LVCFMT_LEFT | (c->fmt & ~LVCFMT_JUSTIFYMASK) : c->fmt;
      if (c->mask & LVCF_WIDTH) col.cx = std::max(0, c->cx);
      if (c->mask & LVCF_TEXT)
        col.text = c->pszText && c->pszText != LPSTR_TEXTCALLBACKA ? c->pszText : "";
      if (c->mask & LVCF_IMAGE) col.image = c->iImage;
      if (N.header) {
        if (insert) {
          HDITEMA hi;
          hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
          hi.pszText = const_cast<char*>(col.text.c_str());
          hi.cxy = col.cx;
          hi.fmt = (col.fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING;
          N.syncingHeader = true;
          SendMessage(N.header, HDM_INSERTITEMA, WPARAM(i), LPARAM(&hi));
          N.syncingHeader = false;
        } else {
          UpdateColumn(i);
        }
      }
      Invalidate();
      return insert ? i : TRUE;
    }
    case LVM_DELETECOLUMN: {
      int i = int(m.WParam);
      if (i < 0 || i >= int(N.cols.size())) return FALSE;
      N.cols.erase(N.cols.begin() + i);
      if (N.header) SendMessage(N.header, HDM_DELETEITEM, WPARAM(i), 0);
      // The sub-items of later columns move one column left.
      if (i > 0)
        for (ItemData* t : N.items)
          if (t->subs.size() >= size_t(i)) t->subs.erase(t->subs.begin() + (i - 1));
      Invalidate();
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH: {
      int i = int(m.WParam);
      if (view() == LVS_LIST) return geo().cellW;
      if (view() != LVS_REPORT && N.cols.empty()) return 0;
      return i >= 0 && i < int(N.cols.size()) ? N.cols[size_t(i)].cx : 0;
    }
    case LVM_SETCOLUMNWIDTH: {
      int i = int(m.WParam), w = int(m.LParam);
      if (view() == LVS_LIST) {
        if (i != 0) return FALSE;
        N.listColW = std::max(0, w);
        Invalidate();
        return TRUE;
      }
      if (i < 0 || i >= int(N.cols.size())) return FALSE;
      if (w == LVSCW_AUTOSIZE || w == LVSCW_AUTOSIZE_USEHEADER) {
        Geometry g = geo();
        int need = w == LVSCW_AUTOSIZE_USEHEADER
                       ? ViewSupport::TextWidth(Font(), N.cols[size_t(i)].text) + 12
                       : 0;
        for (int k = 0; k < count(); ++k)
          need = std::max(need, ViewSupport::TextWidth(Font(), getText(k, i)) + 12 +
                                    (i == 0 ? g.smallW + g.stateW + 4 : 0));
        w = need;
      }
      N.cols[size_t(i)].cx = std::max(0, w);
      UpdateColumn(i);
      Invalidate();
      return TRUE;
    }
    case LVM_GETHEADER:
      return LRESULT(N.header);
    case LVM_GETIMAGELIST:
      return LRESULT(m.WParam == LVSIL_STATE   ? N.state
                     : m.WParam == LVSIL_SMALL ? N.small
                                               : N.normal);
    case LVM_SETIMAGELIST: {
      HIMAGELIST& slot = m.WParam == LVSIL_STATE   ? N.state
                         : m.WParam == LVSIL_SMALL ? N.small
                                                   : N.normal;
      Invalidate();
      return LRESULT(std::exchange(slot, HIMAGELIST(m.LParam)));
    }
    case LVM_GETBKCOLOR:
      return LRESULT(N.bk);
    case LVM_SETBKCOLOR:
      N.bk = COLORREF(m.LParam);
      Invalidate();
      return TRUE;
    case LVM_GETTEXTCOLOR:
      return LRESULT(N.text);
    case LVM_SETTEXTCOLOR:
      N.text = COLORREF(m.LParam);
      Invalidate();
      return TRUE;
    case LVM_GETTEXTBKCOLOR:
      return LRESULT(N.textBk);
    case LVM_SETTEXTBKCOLOR:
      N.textBk = COLORREF(m.LParam);
      Invalidate();
      return TRUE;
    case LVM_GETCALLBACKMASK:
      return LRESULT(N.callbackMask);
    case LVM_SETCALLBACKMASK:
      N.callbackMask = UINT(m.WParam);
      return TRUE;
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      return LRESULT(N.exStyle);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD old = N.exStyle, mask = m.WParam ? DWORD(m.WParam) : ~0u;
      N.exStyle = (old & ~mask) | (DWORD(m.LParam) & mask);
      return LRESULT(old);
    }
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
      if (!hdr || !N.header || hdr->hwndFrom != N.header) break;
      auto* nm = reinterpret_cast<NMHEADERA*>(hdr);
      if (N.syncingHeader) return 0;
      switch (hdr->code) {
        case HDN_ITEMCHANGINGA: {
          // Column limits hold while the user drags a divider.
          TListColumn* c = Column(nm->iItem);
          if (c && nm->pitem && (nm->pitem->mask & HDI_WIDTH)) {
            if (c->MaxWidth() > 0) nm->pitem->cxy = std::min(nm->pitem->cxy, c->MaxWidth());
            nm->pitem->cxy = std::max(nm->pitem->cxy, c->MinWidth());
          }
          return FALSE;
        }
        case HDN_ITEMCHANGEDA:
          if (nm->pitem && (nm->pitem->mask & HDI_WIDTH) && nm->iItem >= 0 &&
              nm->iItem < int(N.cols.size())) {
            N.cols[size_t(nm->iItem)].cx = nm->pitem->cxy;
            if (TListColumn* c = Column(nm->iItem)) c->FWidth = nm->pitem->cxy;
            Invalidate();
          }
          return 0;
        case HDN_ITEMCLICKA: {
          if (FStyle & LVS_NOSORTHEADER) return 0;
          NMLISTVIEW lv;
          lv.iItem = -1;
          lv.iSubItem = nm->iItem;
          ViewSupport::Notify(this, LVN_COLUMNCLICK, &lv.hdr);
          return 0;
        }
        case HDN_DIVIDERDBLCLICKA:
          Perform(LVM_SETCOLUMNWIDTH, WPARAM(nm->iItem), LVSCW_AUTOSIZE);
          return 0;
        default:
          return 0;
      }
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
      if (!Enabled()) return 0;
      POINT pt{short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
      Geometry g = geo();
      if (N.header && g.hdrH && pt.y >= g.border && pt.y < g.top0) {
        layoutHeader(g);
        if (m.Msg != WM_RBUTTONDOWN) {
          N.headerMouse = true;
          SendMessage(N.header, m.Msg, m.WParam, toHeader(pt));
        }
        return 0;
      }
      if (N.editing >= 0) endEdit(false);
      if (CanFocus() && !Focused()) SetFocus();
      LVHITTESTINFO hi;
      hi.pt = pt;
      int i = hitTest(&hi, false);
      bool ctrl = m.WParam & ViewSupport::MK_CONTROL, shift = m.WParam & ViewSupport::MK_SHIFT;
      bool multi = !(FStyle & LVS_SINGLESEL);
      if (m.Msg == WM_RBUTTONDOWN) {
        // The item under a right click joins the selection, unless it is in it already.
        if (i >= 0 && !(stateOf(i) & LVIS_SELECTED))
          selectOnly(i), N.anchor = i;
        else if (i >= 0)
          changeState(i, LVIS_FOCUSED, LVIS_FOCUSED);
        N.dragItem = i;
        N.dragRight = true;
        N.dragFrom = pt;
        if (!notifyClick(NM_RCLICK, i, pt)) Perform(WM_CONTEXTMENU, WPARAM(Handle()), m.LParam);
        return 0;
      }
      if (m.Msg == WM_LBUTTONDBLCLK) {
        N.dragItem = -1;
        notifyClick(NM_DBLCLK, i, pt);
        if (i >= 0) notifyClick(LVN_ITEMACTIVATE, i, pt);
        DblClick();
        return 0;
      }
      if (i < 0) {
        if (!ctrl && !shift) selectOnly(-1);
      } else if (multi && ctrl) {
        changeState(i, LVIS_SELECTED | LVIS_FOCUSED, (stateOf(i) ^ LVIS_SELECTED) | LVIS_FOCUSED);
        N.anchor = i;
      } else if (multi && shift) {
        selectRange(valid(N.anchor) ? N.anchor : i, i, false);
        changeState(i, LVIS_FOCUSED, LVIS_FOCUSED);
      } else {
        selectOnly(i);
        N.anchor = i;
      }
      N.dragItem = i;
      N.dragRight = false;
      N.dragFrom = pt;
      notifyClick(NM_CLICK, i, pt);
      Click();
      return 0;
    }
    case WM_MOUSEMOVE: {
      POINT pt{short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
      if (N.headerMouse && N.header) {
        SendMessage(N.header, m.Msg, m.WParam, toHeader(pt));
        return 0;
      }
      // A press that moves a few pixels starts a drag.
      if (valid(N.dragItem) && (m.WParam & (ViewSupport::MK_LBUTTON | ViewSupport::MK_RBUTTON)) &&
          (std::abs(pt.x - N.dragFrom.x) > 4 || std::abs(pt.y - N.dragFrom.y) > 4)) {
        NMLISTVIEW nm;
        nm.iItem = std::exchange(N.dragItem, -1);
        nm.ptAction = N.dragFrom;
        nm.lParam = lparamOf(nm.iItem);
        ViewSupport::Notify(this, N.dragRight ? LVN_BEGINRDRAG : LVN_BEGINDRAG, &nm.hdr);
      }
      break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      N.dragItem = -1;
      if (N.headerMouse && N.header && m.Msg == WM_LBUTTONUP) {
        N.headerMouse = false;
        POINT pt{short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
        SendMessage(N.header, m.Msg, m.WParam, toHeader(pt));
        return 0;
      }
      break;
    }
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      KeyDown(key, KeyboardShiftState());
      if (!key) return 0;
      NMLVKEYDOWN kd;
      kd.wVKey = key;
      ViewSupport::Notify(this, LVN_KEYDOWN, &kd.hdr);
      int n = count();
      if (!n) return 0;
      Geometry g = geo();
      int cur = valid(N.focus) ? N.focus : -1, to = -1;
      auto dirStep = [&](UINT dir) {
        if (cur < 0) return 0;
        int r = nextItem(cur, dir);
        return r < 0 ? cur : r;
      };
      int page = g.view == int(LVS_REPORT) ? pageUnits(g)
                 : g.view == int(LVS_LIST) ? g.perLine
                                           : g.perLine * pageUnits(g);
      switch (key) {
        case VK_UP:
          to = dirStep(LVNI_ABOVE);
          break;
        case VK_DOWN:
          to = dirStep(LVNI_BELOW);
          break;
        case VK_LEFT:
          to = g.view == int(LVS_REPORT) ? -1 : dirStep(LVNI_TOLEFT);
          break;
        case VK_RIGHT:
          to = g.view == int(LVS_REPORT) ? -1 : dirStep(LVNI_TORIGHT);
          break;
        case VK_HOME:
          to = 0;
          break;
        case VK_END:
          to = n - 1;
          break;
        case VK_PRIOR:
          to = std::max(0, cur - std::max(1, page - 1));
          break;
        case VK_NEXT:
          to = std::min(n - 1, std::max(0, cur) + std::max(1, page - 1));
          break;
        case VK_SPACE:
          if (cur >= 0 && (KeyboardShiftState() & ssCtrl) && !(FStyle & LVS_SINGLESEL))
            changeState(cur, LVIS_SELECTED, stateOf(cur) ^ LVIS_SELECTED);
          else if (cur >= 0)
            changeState(cur, LVIS_SELECTED, LVIS_SELECTED);
          break;
        case 0x71:  // VK_F2
          if (cur >= 0 && (FStyle & LVS_EDITLABELS)) editLabel(cur);
          break;
        case VK_RETURN: {
          NMHDR hdr;
          ViewSupport::Notify(this, NM_RETURN, &hdr);
          if (cur >= 0) notifyClick(LVN_ITEMACTIVATE, cur, POINT{});
          break;
        }
        default:
          break;
      }
      if (to >= 0 && to < n) {
        TShiftState ss = KeyboardShiftState();
        bool multi = !(FStyle & LVS_SINGLESEL);
        if (multi && (ss & ssShift)) {
          if (!valid(N.anchor)) N.anchor = cur >= 0 ? cur : to;
          selectRange(N.anchor, to, (ss & ssCtrl) != 0);
          changeState(to, LVIS_FOCUSED, LVIS_FOCUSED);
        } else if (multi && (ss & ssCtrl)) {
          changeState(to, LVIS_FOCUSED, LVIS_FOCUSED);
        } else {
          selectOnly(to);
          N.anchor = to;
        }
        ensureVisible(to, false);
      }
      return 0;
    }
    case WM_CHAR: {
      char c = char(m.WParam);
      KeyPress(c);
      if (static_cast<unsigned char>(c) < 0x20) return 0;
      // Type-ahead: letters typed within a second search together, from the focused item.
      std::uint64_t now = TimerClock();
      if (now - N.typedAt > 1000) N.typed.clear();
      N.typedAt = now;
      bool repeat = N.typed.size() == 1 && N.typed[0] == c;
      if (!repeat) N.typed += c;
      LVFINDINFOA fi;
      fi.flags = LVFI_PARTIAL | LVFI_WRAP | LVFI_STRING;
      fi.psz = N.typed.c_str();
      int start = valid(N.focus) ? N.focus : -1;
      // A new search starts at the focused item itself; one repeated letter moves on.
      int found = findItem(N.typed.size() > 1 ? start - 1 : start, &fi);
      if (found >= 0) {
        selectOnly(found);
        N.anchor = found;
        ensureVisible(found, false);
      }
      return 0;
    }
    case WM_PAINT: {
      HDC dc = HDC(m.WParam);
      if (!dc) break;
      Geometry g = geo();
      clampTop(g);
      UpdateColumns();
      layoutHeader(g);
      RECT whole{0, 0, Width(), Height()};
      COLORREF bk = N.bk != CLR_NONE ? N.bk : ControlPaint::Rgb(Color());
      NMLVCUSTOMDRAW cd;
      cd.nmcd.hdc = dc;
      cd.nmcd.rc = whole;
      cd.nmcd.dwDrawStage = CDDS_PREPAINT;
      LRESULT pre = ViewSupport::Notify(this, NM_CUSTOMDRAW, &cd.nmcd.hdr);
      if (pre & CDRF_SKIPDEFAULT) return 0;
      ViewSupport::PaintBackground(dc, whole, bk, g.border != 0);
      HGDIOBJ oldFont = SelectObject(dc, ControlPaint::FontHandle(Font()));
      if (N.header && g.hdrH) {
        SaveDC(dc);
        IntersectClipRect(dc, g.border, g.border, g.right, g.top0);
        Header::Paint(N.header, dc, ControlPaint::FontHandle(Font()));
        RestoreDC(dc, -1);
      }
      SaveDC(dc);
      IntersectClipRect(dc, g.border, g.top0, g.right, g.bottom);
      SetBkMode(dc, TRANSPARENT);
      bool showSel = Focused() || (FStyle & LVS_SHOWSELALWAYS);
      COLORREF textColor = N.text != CLR_NONE ? N.text : ControlPaint::Rgb(Font()->Color());
      bool report = g.view == int(LVS_REPORT);
      int first = report ? std::max(0, N.top) : 0;
      int last = report ? std::min(count(), N.top + pageUnits(g) + 1) : count();
      for (int i = first; i < last; ++i) {
        RECT bounds, icon, label;
        rects(g, i, bounds, icon, label);
        if (bounds.bottom <= g.top0 || bounds.top >= g.bottom || bounds.right <= g.border ||
            bounds.left >= g.right)
          continue;
        UINT st = stateOf(i);
        bool selected = (st & LVIS_SELECTED) && showSel;
        bool hot = (st & LVIS_DROPHILITED) || ((st & LVIS_SELECTED) && Focused());
        bool dim = selected && !hot;  // selection kept visible without the focus
        cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        cd.nmcd.rc = bounds;
        cd.nmcd.dwItemSpec = std::uintptr_t(i);
        cd.nmcd.lItemlParam = lparamOf(i);
        cd.nmcd.uItemState =
            (selected ? CDIS_SELECTED : 0) | (i == N.focus && Focused() ? CDIS_FOCUS : 0);
        cd.iSubItem = 0;
        cd.clrText = hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor;
        cd.clrTextBk = hot                    ? GetSysColor(COLOR_HIGHLIGHT)
                       : dim                  ? GetSysColor(COLOR_BTNFACE)
                       : N.textBk != CLR_NONE ? N.textBk
                                              : bk;
        LRESULT ir = CDRF_DODEFAULT;
        if (pre & CDRF_NOTIFYITEMDRAW) ir = ViewSupport::NotifyItemPrePaint(this, &cd.nmcd.hdr, dc);
        COLORREF itemText = cd.clrText, itemBk = cd.clrTextBk;
        if (!(ir & CDRF_SKIPDEFAULT)) {
          int columns = report ? std::max<int>(1, int(N.cols.size())) : 1;
          for (int sub = 0; sub < columns; ++sub) {
            COLORREF ct = itemText, cb = itemBk;
            LRESULT sr = CDRF_DODEFAULT;
            if (report && (ir & CDRF_NOTIFYSUBITEMDRAW)) {
              NMLVCUSTOMDRAW sc = cd;
              sc.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
              sc.nmcd.rc = subRect(g, i, sub);
              sc.iSubItem = sub;
              sr = ViewSupport::NotifyItemPrePaint(this, &sc.nmcd.hdr, dc);
              ct = sc.clrText, cb = sc.clrTextBk;
            }
            if (!(sr & CDRF_SKIPDEFAULT)) {
              if (sub == 0) {
                HIMAGELIST il = g.view == int(LVS_ICON) ? N.normal : N.small;
                if (N.state) {
                  int si = int((st & LVIS_STATEIMAGEMASK) >> 12);
                  if (si > 0)
                    ImageList_Draw(N.state, si, dc, icon.left - g.stateW, icon.top, ILD_NORMAL);
                }
                if (il) {
                  int ih = g.view == int(LVS_ICON) ? g.largeH : g.smallH;
                  int iy = g.view == int(LVS_ICON) ? icon.top : icon.top + (g.rowH - ih) / 2;
                  UINT style = ILD_TRANSPARENT | (st & LVIS_OVERLAYMASK);
                  if ((st & LVIS_CUT) || hot) style |= ILD_SELECTED;
                  ImageList_Draw(il, getImage(i), dc, icon.left, iy, style);
                }
                RECT fill = label;
                if (report && FRowSelect)
                  fill.right = bounds.right;
                else if (report)
                  fill.right = std::min<int>(
                      label.right, label.left + ViewSupport::TextWidth(Font(), getText(i, 0)) + 6);
                if (hot || dim || cb != bk) ViewSupport::FillSolid(dc, fill, cb);
                SetTextColor(dc, ct);
                RECT tr{label.left + 2, label.top, label.right - 2, label.bottom};
                UINT just = g.view == int(LVS_ICON) ? DT_CENTER : DT_LEFT;
                DrawText(dc, getText(i, 0), &tr,
                         just | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
                if (i == N.focus && Focused()) DrawFocusRect(dc, &fill);
              } else {
                RECT sr2 = subRect(g, i, sub);
                bool rowHot = FRowSelect && (hot || dim);
                if (rowHot || cb != itemBk) ViewSupport::FillSolid(dc, sr2, rowHot ? itemBk : cb);
                SetTextColor(dc, rowHot                             ? itemText
                                 : (cb != itemBk || ct != itemText) ? ct
                                                                    : textColor);
                int fmt = N.cols[size_t(sub)].fmt & LVCFMT_JUSTIFYMASK;
                UINT just = fmt == LVCFMT_RIGHT    ? DT_RIGHT
                            : fmt == LVCFMT_CENTER ? DT_CENTER
                                                   : DT_LEFT;
                RECT tr{sr2.left + 6, sr2.top, sr2.right - 6, sr2.bottom};
                DrawText(dc, getText(i, sub), &tr,
                         just | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
              }
            }
            if (sr & CDRF_NEWFONT) RestoreDC(dc, -1);
          }
        }
        if (ir & CDRF_NEWFONT) RestoreDC(dc, -1);
        if (ir & CDRF_NOTIFYPOSTPAINT) {
          cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
          ViewSupport::Notify(this, NM_CUSTOMDRAW, &cd.nmcd.hdr);
        }
      }
      RestoreDC(dc, -1);
      SelectObject(dc, oldFont);
      if (pre & CDRF_NOTIFYPOSTPAINT) {
        cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
        cd.nmcd.rc = whole;
        ViewSupport::Notify(this, NM_CUSTOMDRAW, &cd.nmcd.hdr);
      }
      return 0;
    }
    default:
      break;
  }
  handled = false;
  return 0;
}

WI_REGISTER_CLASS(TListView);
