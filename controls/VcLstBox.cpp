#include "controls/VcLstBox.h"

#include <cmath>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/Forms.h"
#include "platform/forms/HeaderComponents.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/system/SystemInfo.h"

using namespace win;

// --- TVcTabStopList ------------------------------------------------------------------------

void TVcTabStopList::DefineProps(TPropList&) {}

TVcTabStopList::TVcTabStopList(TVcTabbedListBox* listBox) : FListBox(listBox) {
  // Every 32-bit value but the lowest.
  SetMax(2147483647);
  SetMin(-2147483647);
}

void TVcTabStopList::Refresh() {
  if (FListBox) FListBox->UpdateTabStops();
}

void TVcTabStopList::Put(int index, int value) {
  TIntegerList::Put(index, value);
  Refresh();
}

void TVcTabStopList::Delete(int index) {
  TIntegerList::Delete(index);
  Refresh();
}

void TVcTabStopList::Insert(int index, int value) {
  TIntegerList::Insert(index, value);
  Refresh();
}

// --- TVcCustomListBox ----------------------------------------------------------------------

void TVcCustomListBox::DefineProps(TPropList&) {}

TVcCustomListBox::TVcCustomListBox(TComponent* owner)
    : TVcFramed<TCustomListBox>(owner), FSearchTimer(std::make_unique<TTimer>(nullptr)) {
  FSearchTimer->SetEnabled(false);
  FSearchTimer->SetInterval(1500);
  FSearchTimer->OnTimer = [this](TObject* s) { SearchTimerExpired(s); };
}

TVcCustomListBox::~TVcCustomListBox() { FSearchTimer.reset(); }

void TVcCustomListBox::Beep() { MessageBeep(0); }

int TVcCustomListBox::FindString(const std::string& s) {
  return int(Perform(LB_FINDSTRING, WPARAM(-1), LPARAM(s.c_str())));
}

void TVcCustomListBox::DrawItemText(int index, RECT rect, TOwnerDrawState) {
  TCanvas* c = Canvas();
  c->FillRect(rect);
  if (index < Items()->Count()) c->TextRect(rect, rect.left + 2, rect.top, Items()->Get(index));
}

void TVcCustomListBox::RepaintFrame() {
  if (FRedraw)
    TVcFramed<TCustomListBox>::RepaintFrame();
  else
    Invalidate();
}

void TVcCustomListBox::Paint() {
  if (FRedraw) TVcFramed<TCustomListBox>::Paint();
}

void TVcCustomListBox::SetHorzExtent(int v) {
  v &= 0xFFFF;
  if (v == FHorzExtent) return;
  FHorzExtent = v;
  Perform(LB_SETHORIZONTALEXTENT, WPARAM(v));
}

void TVcCustomListBox::SetHorzScrollBar(bool v) {
  if (v == FHorzScrollBar) return;
  FHorzScrollBar = v;
  RecreateWnd();
}

int TVcCustomListBox::WidestItem(const std::function<int(HDC, const std::string&)>& measure) {
  // The control's own font, not the canvas's: the canvas takes the font only when it
  // paints, and there may be no canvas yet. A font that cannot be made leaves the screen
  // DC's default font to measure with.
  HDC dc = CreateScreenDC();
  HFONT font = ControlPaint::FontHandle(Font());
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  int widest = 0;
  try {
    for (int i = 0; i < Items()->Count(); ++i)
      widest = std::max(widest, measure(dc, Items()->Get(i) + "x"));
  } catch (...) {
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
    throw;
  }
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return widest;
}

void TVcCustomListBox::UpdateHorzExtent() {
  SetHorzExtent(WidestItem([](HDC dc, const std::string& text) {
    SIZE sz{};
    GetTextExtentPoint32(dc, text, &sz);
    return int(sz.cx);
  }));
}

void TVcCustomListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  Perform(LB_SETHORIZONTALEXTENT, WPARAM(FHorzExtent));
}

void TVcCustomListBox::SelectAll() {
  if (MultiSelect()) Perform(LB_SETSEL, 1, LPARAM(-1));
}

bool TVcCustomListBox::DoMouseWheelDown(TShiftState, POINT) {
  SetTopIndex(TopIndex() + WheelScrollLines);
  return true;
}

bool TVcCustomListBox::DoMouseWheelUp(TShiftState, POINT) {
  // Near the top the list does not move part of the way.
  int pos = TopIndex() - WheelScrollLines;
  if (pos >= 0) SetTopIndex(pos);
  return true;
}

void TVcCustomListBox::SearchTimerExpired(TObject*) {
  if (FTyping) return;
  FSearchTimer->SetEnabled(false);
  FSearchText.clear();
}

void TVcCustomListBox::IncrementalSearch(const std::string& text, char typed) {
  int old = ItemIndex();
  int found = FindString(text);
  if (found == -1) {
    // The unmatched character is dropped: the buffer keeps what matched.
    if (FBeepOnInvalidKey) Beep();
    return;
  }
  if (MultiSelect()) {
    if (old >= 0 && old < Count()) SetSelected(old, false);
    SetItemIndex(found);
  } else {
    SetItemIndex(found);
  }
  FSearchText = text;
  KeyPress(typed);
  DoMatch();
}

void TVcCustomListBox::WMChar(TMessage& m) {
  char key = char(m.WParam);
  unsigned code = unsigned(m.WParam) & 0xFF;
  std::string t = FSearchText;
  if (code == 8) {
    if (t.empty()) {
      if (FBeepOnInvalidKey) Beep();
      IncrementalSearch(t, key);
      return;
    }
    t.pop_back();
    if (!t.empty()) {
      IncrementalSearch(t, key);
    } else {
      SetItemIndex(0);
      FSearchText.clear();
      KeyPress(key);
    }
  } else if (code == 13) {
    if (FTabOnEnter)
      PostTabKey(this);
    else
      KeyPress(key);
  } else if (code == 27) {
    SetItemIndex(-1);
  } else if (code >= 32) {
    FTyping = true;
    t += key;
    try {
      IncrementalSearch(t, key);
    } catch (...) {
      FTyping = false;
      throw;
    }
    FSearchTimer->SetEnabled(false);
    FSearchTimer->SetEnabled(true);
    FTyping = false;
  }
}

void TVcCustomListBox::DispatchDrawItem(const DRAWITEMSTRUCT& dis) {
  TOwnerDrawState st = (dis.itemState & ODS_SELECTED ? odSelected : 0) |
                       (dis.itemState & ODS_FOCUS ? odFocused : 0) |
                       (dis.itemState & ODS_DISABLED ? odDisabled : 0);
  TCanvas* c = Canvas();
  if (st & odSelected) {
    c->Brush().SetColor(clHighlight);
    c->Font().SetColor(clHighlightText);
  } else {
    c->Brush().SetColor(Color());
    c->Font().SetColor(Font()->Color());
  }
  int index = int(dis.itemID);
  if (index >= 0 && index < Count())
    DrawItem(index, dis.rcItem, st);
  else
    c->FillRect(dis.rcItem);
  if (st & odFocused) c->DrawFocusRect(dis.rcItem);
}

void TVcCustomListBox::DrawItem(int index, RECT rect, TOwnerDrawState state) {
  if (OnDrawItem)
    OnDrawItem(this, index, rect, state);
  else
    DrawItemText(index, rect, state);
}

void TVcCustomListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CHAR:
      WMChar(m);
      return;
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      if (key == VK_ESCAPE || (key >= VK_PRIOR && key <= VK_DOWN)) FSearchText.clear();
      if (key == VK_TAB) {
        // A Tab sent to the list itself (Enter with TabOnEnter) moves on as the form's Tab.
        FormTakesTab(this);
        return;
      }
      break;
    }
    case WM_GETDLGCODE:
      TVcFramed<TCustomListBox>::WndProc(m);
      if (FTabOnEnter) m.Result |= DLGC_WANTALLKEYS;
      return;
    case WM_LBUTTONDOWN:
      FSearchText.clear();
      break;
    case CN_DRAWITEM:
      DispatchDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
      m.Result = 1;
      return;
    case WM_SETREDRAW:
      FRedraw = m.WParam != 0;
      return;
    default:
      break;
  }
  TVcFramed<TCustomListBox>::WndProc(m);
}

// --- TVcTabbedListBox ----------------------------------------------------------------------

void TVcTabbedListBox::DefineProps(TPropList& p) {
  using T = TVcTabbedListBox;
  AboutProp(p);
  p.Object("TabStops", &T::TabStops).stored = [](TPersistent* o) {
    return static_cast<T*>(o)->TabStops()->Count() > 0;
  };
  p.Bool("BeepOnInvalidKey", &T::BeepOnInvalidKey, &T::SetBeepOnInvalidKey, true);
  FramedControlProps<T>(p);
  p.Int("HorzExtent", &T::HorzExtent, &T::SetHorzExtent, 0);
  p.Bool("HorzScrollBar", &T::HorzScrollBar, &T::SetHorzScrollBar, false);
  p.Bool("TabOnEnter", &T::TabOnEnter, &T::SetTabOnEnter, false);
  p.Event("OnMatch", &T::OnMatch);
  p.Event("OnDeleteItems", &T::OnDeleteItems);
}

TVcTabbedListBox::TVcTabbedListBox(TComponent* owner)
    : TVcCustomListBox(owner), FTabStops(std::make_unique<TVcTabStopList>(this)) {}

TVcTabbedListBox::~TVcTabbedListBox() { FTabStops->SetListBox(nullptr); }

void TVcTabbedListBox::SetTabStops(TIntegerList* value) {
  FTabStops->Assign(value);
  UpdateTabStops();
}

std::vector<int> TVcTabbedListBox::GetTabStopArray() const {
  int n = std::min(FTabStops->Count(), MaxTabStops);
  std::vector<int> stops(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) stops[size_t(i)] = int(unsigned(FTabStops->Get(i)) * 4u);
  return stops;
}

void TVcTabbedListBox::UpdateTabStops() {
  std::vector<int> stops = GetTabStopArray();
  Perform(LB_SETTABSTOPS, WPARAM(stops.size()), stops.empty() ? 0 : LPARAM(stops.data()));
  Invalidate();
}

std::vector<int> TVcTabbedListBox::TabPixels() const {
  std::vector<int> px = GetTabStopArray();
  for (int& v : px) v = int(std::lround(double(v) * FAvgCharWidth / 4.0));
  return px;
}

void TVcTabbedListBox::DrawTabbedText(int index, const RECT& rect) {
  if (index >= Items()->Count()) return;
  TCanvas* c = Canvas();
  int offset = (ItemHeight() - c->TextHeight("Pp")) / 2;
  std::string text = Items()->Get(index);
  std::vector<int> tabs = TabPixels();
  HDC dc = c->Handle();
  int saved = SaveDC(dc);
  try {
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    SetBkMode(dc, TRANSPARENT);
    TabbedTextOut(dc, rect.left + 2, rect.top + offset, text.c_str(), int(text.size()),
                  int(tabs.size()), tabs.empty() ? nullptr : tabs.data(), 0);
  } catch (...) {
    RestoreDC(dc, saved);
    throw;
  }
  RestoreDC(dc, saved);
}

void TVcTabbedListBox::DrawItemText(int index, RECT rect, TOwnerDrawState) {
  Canvas()->FillRect(rect);
  DrawTabbedText(index, rect);
}

void TVcTabbedListBox::UpdateHorzExtent() {
  std::vector<int> stops = GetTabStopArray();
  for (int& v : stops) v = int(std::lround(double(v) / 4.0 * FAvgCharWidth));
  SetHorzExtent(WidestItem([&](HDC dc, const std::string& text) {
    DWORD r = GetTabbedTextExtent(dc, text.c_str(), int(text.size()), int(stops.size()),
                                  stops.empty() ? nullptr : stops.data());
    return int(r & 0xFFFF);
  }));
}

void TVcTabbedListBox::CreateWnd() {
  TVcCustomListBox::CreateWnd();
  UpdateTabStops();
}

void TVcTabbedListBox::Loaded() {
  TVcCustomListBox::Loaded();
  UpdateTabStops();
}

void TVcTabbedListBox::FontChanged() {
  TVcCustomListBox::FontChanged();
  // A face too small to measure keeps one pixel: the stops are divided by it.
  FAvgCharWidth = std::max(1, GetAvgCharWidth(Font()));
}

namespace {
// Start of column `column` in `line`, or npos when the tabs run out first.
size_t ColumnStart(const std::string& line, int column) {
  size_t pos = 0;
  for (int k = 0; k < column; ++k) {
    size_t tab = line.find('\t', pos);
    if (tab == std::string::npos) return std::string::npos;
    pos = tab + 1;
  }
  return pos;
}
}  // namespace

namespace {
// Row `row`'s line and where column `column` lies in it, [start, end); EListError for a row
// or column the list does not have.
struct Cell {
  std::string line;
  size_t start, end;
};
Cell FindCell(TStrings* items, int column, int row) {
  if (row < 0 || row >= items->Count()) throw EListError("Row parameter out of range");
  if (column < 0) throw EListError("Column parameter out of range");
  Cell c{items->Get(row), 0, 0};
  c.start = ColumnStart(c.line, column);
  if (c.start == std::string::npos) throw EListError("Column parameter out of range");
  c.end = std::min(c.line.find('\t', c.start), c.line.size());
  return c;
}
}  // namespace

std::string TVcTabbedListBox::GetCellText(int column, int row) {
  const Cell c = FindCell(Items(), column, row);
  return c.line.substr(c.start, c.end - c.start);
}

void TVcTabbedListBox::SetCellText(int column, int row, const std::string& value) {
  Cell c = FindCell(Items(), column, row);
  c.line.replace(c.start, c.end - c.start, value);
  Items()->Put(row, c.line);
}

// Each stop goes through the list's Put, so the window takes it at once. Only as many
// stops as exist change: sections beyond them are ignored, stops beyond the sections stay.
void TVcTabbedListBox::UpdateFromHeader(TComponent* header) {
  auto* old = dynamic_cast<THeader*>(header);
  auto* common = dynamic_cast<THeaderControl*>(header);
  if (!old && !common)
    throw EHeaderError(
        "Only THeader and THeaderControl components can be passed to "
        "TVcTabbedListBox.UpdateFromHeader");
  const TCustomHeader* h = old ? static_cast<TCustomHeader*>(old) : common;
  const int sections = h->SectionCount();
  // The old header's last section never gives a stop of its own.
  const int n = std::min(old ? sections - 2 : sections - 1, FTabStops->Count() - 1);
  const int acw = FAvgCharWidth;
  int sum = 0;
  for (int i = 0; i <= n; ++i) {
    sum += h->SectionWidthAt(i);
    if (FTabStops->Get(i) >= 0)
      FTabStops->Put(i, sum / acw + 1);
    else if (i + 1 < sections)
      FTabStops->Put(i, 1 - (sum + h->SectionWidthAt(i + 1)) / acw);
    else
      FTabStops->Put(i, 1 - Width() / acw);
  }
}

WI_REGISTER_CLASS(TVcTabbedListBox);
