#include "platform/forms/HeaderComponents.h"

#include <algorithm>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/graphics/Graphics.h"

using namespace win;

// --- TCustomHeader ----------------------------------------------------------------------------

void TCustomHeader::DefineProps(TPropList&) {}

TCustomHeader::TCustomHeader(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 250, Header::DefaultHeight());
}

TCustomHeader::~TCustomHeader() {
  if (FHeader) Header::Destroy(FHeader);
}

void TCustomHeader::CreateWnd() {
  TCustomControl::CreateWnd();
  if (!FHeader) {
    FHeader = Header::Create(Handle(), 0);
    SectionsChanged();
  }
}

void TCustomHeader::DestroyWnd() {
  if (FHeader) Header::Destroy(FHeader);
  FHeader = nullptr;
  TCustomControl::DestroyWnd();
}

void TCustomHeader::SectionsChanged() {
  if (!FHeader) return;
  FSyncing = true;
  while (SendMessage(FHeader, HDM_GETITEMCOUNT, 0, 0) > 0)
    SendMessage(FHeader, HDM_DELETEITEM, 0, 0);
  for (int i = 0; i < SectionCount(); ++i) {
    std::string text = SectionTextAt(i);
    HDITEMA item;
    item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    item.pszText = text.data();
    item.cxy = SectionWidthAt(i);
    TAlignment a = SectionAlignmentAt(i);
    item.fmt = HDF_STRING | (a == taRightJustify ? HDF_RIGHT
                             : a == taCenter     ? HDF_CENTER
                                                 : HDF_LEFT);
    SendMessage(FHeader, HDM_INSERTITEMA, WPARAM(i), LPARAM(&item));
  }
  FSyncing = false;
  Invalidate();
}

void TCustomHeader::Paint() {
  if (!FHeader) return;
  Header::SetBounds(FHeader, RECT{0, 0, Width(), Height()});
  Header::Paint(FHeader, Canvas()->Handle(), ControlPaint::FontHandle(Font()));
}

void TCustomHeader::HeaderNotify(TMessage& m) {
  auto* nm = reinterpret_cast<NMHEADERA*>(m.LParam);
  if (FSyncing) return;
  switch (nm->hdr.code) {
    case HDN_BEGINTRACKA:
      m.Result = AllowResize() ? 0 : 1;  // non-zero refuses the drag
      return;
    case HDN_ITEMCHANGINGA:
      if (nm->pitem && (nm->pitem->mask & HDI_WIDTH))
        nm->pitem->cxy = AcceptWidth(nm->iItem, nm->pitem->cxy);
      m.Result = 0;
      return;
    case HDN_ITEMCHANGEDA:
      if (nm->pitem && (nm->pitem->mask & HDI_WIDTH)) SectionResized(nm->iItem, nm->pitem->cxy);
      Invalidate();
      return;
    case HDN_ITEMCLICKA:
      SectionClicked(nm->iItem);
      return;
    default:
      return;
  }
}

void TCustomHeader::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NOTIFY:
      if (FHeader && reinterpret_cast<const NMHDR*>(m.LParam)->hwndFrom == FHeader) {
        HeaderNotify(m);
        return;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE:
      // The header window lies over the whole control: same coordinates.
      if (FHeader) SendMessage(FHeader, m.Msg, m.WParam, m.LParam);
      break;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

void TCustomHeader::RemoveHeaderItem(int index) {
  if (FHeader) SendMessage(FHeader, HDM_DELETEITEM, WPARAM(index), 0);
  Invalidate();
}

// --- THeaderSection ---------------------------------------------------------------------------

void THeaderSection::DefineProps(TPropList& p) {
  using S = THeaderSection;
  p.Enum("Alignment", &S::Alignment, &S::SetAlignment,
         {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify);
  p.Bool("AllowClick", &S::AllowClick, &S::SetAllowClick, true);
  p.Int("MaxWidth", &S::MaxWidth, &S::SetMaxWidth, 10000);
  p.Int("MinWidth", &S::MinWidth, &S::SetMinWidth, 0);
  p.String("Text", &S::Text, &S::SetText);
  p.Int("Width", &S::Width, &S::SetWidth, 50);
}

THeaderSection::THeaderSection(TCollection* collection) : TCollectionItem(collection) { Changed(); }

THeaderSection::~THeaderSection() {
  if (THeaderControl* h = HeaderControl(); h && !h->FDestroying) h->RemoveHeaderItem(Index());
}

THeaderControl* THeaderSection::HeaderControl() const {
  auto* sections = dynamic_cast<THeaderSections*>(Collection());
  return sections ? sections->Owner() : nullptr;
}

void THeaderSection::Changed() {
  if (THeaderControl* h = HeaderControl(); h && !h->FDestroying) h->SectionsChanged();
}

void THeaderSection::SetText(const std::string& v) {
  if (v == FText) return;
  FText = v;
  Changed();
}

void THeaderSection::SetWidth(int v) {
  v = std::clamp(v, FMinWidth, std::max(FMinWidth, FMaxWidth));
  if (v == FWidth) return;
  FWidth = v;
  Changed();
}

void THeaderSection::SetMinWidth(int v) {
  FMinWidth = std::max(0, v);
  if (FWidth < FMinWidth) SetWidth(FMinWidth);
}

void THeaderSection::SetMaxWidth(int v) {
  FMaxWidth = std::max(0, v);
  if (FWidth > FMaxWidth) SetWidth(FMaxWidth);
}

void THeaderSection::SetAlignment(TAlignment v) {
  if (v == FAlignment) return;
  FAlignment = v;
  Changed();
}

int THeaderSection::Left() const {
  int x = 0;
  for (int i = 0; i < Index(); ++i)
    x += static_cast<THeaderSection*>(Collection()->Items(i))->FWidth;
  return x;
}

THeaderSections::THeaderSections(THeaderControl* owner)
    : TCollection([](TCollection* c) { return new THeaderSection(c); }), FOwner(owner) {
  SetOwner(owner);
}

void THeaderSections::DefineProps(TPropList&) {}

// --- THeaderControl ---------------------------------------------------------------------------

void THeaderControl::DefineProps(TPropList& p) {
  p.Collection("Sections", &THeaderControl::Sections);
  p.Event("OnSectionClick", &THeaderControl::OnSectionClick);
  p.Event("OnSectionResize", &THeaderControl::OnSectionResize);
}

THeaderControl::THeaderControl(TComponent* owner)
    : TCustomHeader(owner), FSections(std::make_unique<THeaderSections>(this)) {}

THeaderControl::~THeaderControl() {
  FDestroying = true;
  FSections.reset();
}

int THeaderControl::AcceptWidth(int index, int width) const {
  const THeaderSection* s = FSections->Items(index);
  return std::clamp(width, s->MinWidth(), std::max(s->MinWidth(), s->MaxWidth()));
}

void THeaderControl::SectionResized(int index, int width) {
  THeaderSection* s = FSections->Items(index);
  s->FWidth = width;
  OnSectionResize(this, s);
}

void THeaderControl::SectionClicked(int index) {
  THeaderSection* s = FSections->Items(index);
  if (s->AllowClick()) OnSectionClick(this, s);
}

// --- THeader ----------------------------------------------------------------------------------

void THeader::DefineProps(TPropList& p) {
  p.Bool("AllowResize", &THeader::AllowResize, &THeader::SetAllowResize, true);
  p.Object("Sections", &THeader::Sections);
}

THeader::THeader(TComponent* owner)
    : TCustomHeader(owner), FSections(std::make_unique<TStringList>()) {
  // Widths stay with their positions; a new section starts at 50 pixels.
  FSections->OnChange = [this](TObject*) {
    FWidths.resize(size_t(FSections->Count()), 50);
    SectionsChanged();
  };
}

THeader::~THeader() { FSections->OnChange = {}; }

int THeader::SectionWidth(int index) const {
  if (index < 0 || index >= FSections->Count())
    throw EListError("Indice de liste hors limites (" + std::to_string(index) + ")");
  return FWidths[size_t(index)];
}

void THeader::SetSectionWidth(int index, int width) {
  SectionWidth(index);  // the index check
  FWidths[size_t(index)] = std::max(0, width);
  SectionsChanged();
}

void THeader::SectionResized(int index, int width) {
  FWidths[size_t(index)] = width;
  OnSized(this, index, width);
}

WI_REGISTER_CLASS(THeaderControl);
WI_REGISTER_CLASS(THeader);
