#include "platform/forms/ListViewWindow.h"

#include <algorithm>
#include <utility>

#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/ListViewInput.h"
#include "platform/forms/ListViewLayout.h"
#include "platform/forms/ListViewPainter.h"
#include "platform/forms/ScrollBars.h"

using namespace win;

namespace {
// A line of horizontal scrolling in the report view, in pixels.
constexpr int kHorzLine = 8;
using Native = TCustomListView::Native;

}  // namespace

Native::~Native() {
  for (ItemData* t : items) delete t;
}

bool Native::Answer(TMessage& m) {
  constexpr bool kBars = true;
  static const MessageMap<Native> map = {
      {LVM_SYNCBARS, &Native::SyncBarsMessage, kBars},
      {WM_PAINT, &Native::Paint, kBars},
      {WM_VSCROLL, &Native::VScroll, kBars},
      {WM_HSCROLL, &Native::HScroll, kBars},
      {WM_MOUSEWHEEL, &Native::Wheel, kBars},
      {WM_KEYDOWN, ListViewInput::KeyDown, kBars},
      {WM_CHAR, ListViewInput::Char, kBars},
      {WM_LBUTTONDOWN, ListViewInput::LeftDown, kBars},
      {WM_LBUTTONDBLCLK, ListViewInput::DoubleClick, kBars},
      {WM_RBUTTONDOWN, ListViewInput::RightDown, kBars},
      {LVM_HITTEST, &Native::HitTest, kBars},
      {LVM_SUBITEMHITTEST, &Native::HitTest, kBars},
      {LVM_GETITEMRECT, &Native::GetItemRect, kBars},
      {LVM_GETSUBITEMRECT, &Native::GetItemRect, kBars},
      {LVM_GETITEMPOSITION, &Native::GetItemPosition, kBars},
      {LVM_ENSUREVISIBLE, &Native::EnsureVisibleMessage, kBars},
      {LVM_SCROLL, &Native::Scroll, kBars},
      {LVM_GETTOPINDEX, &Native::GetTopIndex, kBars},
      {LVM_GETCOUNTPERPAGE, &Native::GetCountPerPage, kBars},
      {LVM_EDITLABELA, &Native::EditLabelMessage, kBars},
      {LVM_GETNEXTITEM, &Native::GetNextItem},
      {LVM_GETITEMCOUNT, &Native::GetItemCount},
      {LVM_SETITEMCOUNT, &Native::SetItemCount},
      {LVM_INSERTITEMA, &Native::InsertItem},
      {LVM_DELETEITEM, &Native::DeleteItemMessage},
      {LVM_DELETEALLITEMS, &Native::DeleteAllItems},
      {LVM_GETITEMA, &Native::GetItem},
      {LVM_SETITEMA, &Native::SetItem},
      {LVM_SETITEMTEXTA, &Native::SetItem},
      {LVM_GETITEMTEXTA, &Native::GetItemText},
      {LVM_SETITEMSTATE, &Native::SetItemState},
      {LVM_GETITEMSTATE, &Native::GetItemState},
      {LVM_GETSELECTEDCOUNT, &Native::GetSelectedCount},
      {LVM_FINDITEMA, &Native::FindItemMessage},
      {LVM_GETSTRINGWIDTHA, &Native::GetStringWidth},
      {LVM_REDRAWITEMS, &Native::Redraw},
      {LVM_UPDATE, &Native::Redraw},
      {LVM_ARRANGE, &Native::Redraw},
      {LVM_GETVIEWRECT, &Native::GetViewRect},
      {LVM_ENDEDITNOW, &Native::EndEditNow},
      {LVM_GETEDITCONTROL, &Native::GetEditControl},
      {LVM_SORTITEMS, &Native::SortItemsMessage},
      {LVM_GETCOLUMNA, &Native::GetColumn},
      {LVM_SETCOLUMNA, &Native::SetColumn},
      {LVM_INSERTCOLUMNA, &Native::SetColumn},
      {LVM_DELETECOLUMN, &Native::DeleteColumn},
      {LVM_GETCOLUMNWIDTH, &Native::GetColumnWidth},
      {LVM_SETCOLUMNWIDTH, &Native::SetColumnWidth},
      {LVM_GETHEADER, &Native::GetHeader},
      {LVM_GETIMAGELIST, &Native::GetImageList},
      {LVM_SETIMAGELIST, &Native::SetImageList},
      {LVM_GETBKCOLOR, &Native::GetBkColor},
      {LVM_SETBKCOLOR, &Native::SetBkColor},
      {LVM_GETTEXTCOLOR, &Native::GetTextColor},
      {LVM_SETTEXTCOLOR, &Native::SetTextColor},
      {LVM_GETTEXTBKCOLOR, &Native::GetTextBkColor},
      {LVM_SETTEXTBKCOLOR, &Native::SetTextBkColor},
      {LVM_GETCALLBACKMASK, &Native::GetCallbackMask},
      {LVM_SETCALLBACKMASK, &Native::SetCallbackMask},
      {LVM_GETEXTENDEDLISTVIEWSTYLE, &Native::GetExtendedStyle},
      {LVM_SETEXTENDEDLISTVIEWSTYLE, &Native::SetExtendedStyle},
      {WM_NOTIFY, &Native::HeaderNotify},
      {WM_GETDLGCODE, &Native::DialogCode},
      {WM_MOUSEMOVE, ListViewInput::MouseMove},
      {WM_LBUTTONUP, ListViewInput::ButtonUp},
      {WM_RBUTTONUP, ListViewInput::ButtonUp},
  };
  return map.Answer(*this, m);
}

// --- The items ------------------------------------------------------------------------------

UINT Native::StateOf(int i) const {
  return OwnerData() ? virtualStates[size_t(i)] : items[size_t(i)]->state;
}

LPARAM Native::ParamOf(int i) const {
  return OwnerData() || !Valid(i) ? 0 : items[size_t(i)]->lParam;
}

LVITEMA Native::DispInfo(int i, int sub, UINT mask, char* buf, int size) {
  NMLVDISPINFOA di;
  di.item.mask = mask;
  di.item.iItem = i;
  di.item.iSubItem = sub;
  di.item.lParam = ParamOf(i);
  di.item.state = StateOf(i);
  di.item.pszText = buf;
  di.item.cchTextMax = size;
  if (buf && size > 0) buf[0] = 0;
  Notify(LVN_GETDISPINFOA, &di.hdr);
  if (!OwnerData() && (di.item.mask & LVIF_DI_SETITEM) && Valid(i) && sub == 0) {
    ItemData* t = items[size_t(i)];
    if ((mask & LVIF_TEXT) && di.item.pszText) t->text = di.item.pszText, t->textCallback = false;
    if (mask & LVIF_IMAGE) t->image = di.item.iImage;
  }
  return di.item;
}

std::string Native::TextOf(int i, int sub) {
  if (!Valid(i)) return "";
  bool callback = OwnerData();
  if (!OwnerData()) {
    ItemData* t = items[size_t(i)];
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
  LVITEMA it = DispInfo(i, sub, LVIF_TEXT, buf, sizeof buf);
  return it.pszText && it.pszText != LPSTR_TEXTCALLBACKA ? it.pszText : "";
}

int Native::ImageOf(int i) {
  if (!OwnerData() && items[size_t(i)]->image != I_IMAGECALLBACK) return items[size_t(i)]->image;
  return DispInfo(i, 0, LVIF_IMAGE, nullptr, 0).iImage;
}

int Native::TotalColumnWidth() const {
  int width = 0;
  for (const ColumnData& c : cols) width += c.cx;
  return width;
}

ListViewLayout Native::Layout() { return ListViewLayout(*this); }

// --- State, selection and scrolling ---------------------------------------------------------

bool Native::ChangeState(int i, UINT mask, UINT value) {
  if (!Valid(i)) return false;
  UINT old = StateOf(i), now = (old & ~mask) | (value & mask);
  if (now == old) return true;
  // The focus is one item's; with LVS_SINGLESEL so is the selection.
  if ((now & ~old & LVIS_FOCUSED) && focus != i && Valid(focus))
    ChangeState(focus, LVIS_FOCUSED, 0);
  if ((now & ~old & LVIS_SELECTED) && (V.FStyle & LVS_SINGLESEL))
    for (int k = 0; k < Count(); ++k)
      if (k != i && (StateOf(k) & LVIS_SELECTED)) ChangeState(k, LVIS_SELECTED, 0);
  if (!Valid(i)) return false;
  old = StateOf(i);
  now = (old & ~mask) | (value & mask);
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.uChanged = LVIF_STATE;
  nm.uOldState = old;
  nm.uNewState = now;
  nm.lParam = ParamOf(i);
  if (Notify(LVN_ITEMCHANGING, &nm.hdr) || !Valid(i)) return false;
  (OwnerData() ? virtualStates[size_t(i)] : items[size_t(i)]->state) = now;
  if (now & LVIS_FOCUSED)
    focus = i;
  else if (focus == i)
    focus = -1;
  nm.lParam = ParamOf(i);
  Notify(LVN_ITEMCHANGED, &nm.hdr);
  V.Invalidate();
  return true;
}

void Native::SelectOnly(int i) {
  for (int k = 0; k < Count(); ++k)
    if (k != i && (StateOf(k) & LVIS_SELECTED)) ChangeState(k, LVIS_SELECTED, 0);
  if (Valid(i)) ChangeState(i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void Native::SelectRange(int a, int b, bool keep) {
  if (a > b) std::swap(a, b);
  for (int k = 0; k < Count(); ++k) {
    bool in = k >= a && k <= b;
    if (in && !(StateOf(k) & LVIS_SELECTED))
      ChangeState(k, LVIS_SELECTED, LVIS_SELECTED);
    else if (!in && !keep && (StateOf(k) & LVIS_SELECTED))
      ChangeState(k, LVIS_SELECTED, 0);
  }
}

void Native::ShiftIndexes(int at, int d) {
  for (int* p : {&focus, &anchor, &editing, &dragItem})
    if (*p >= at) *p += d;
}

void Native::ClampTop() { top = Layout().ClampedTop(top); }

void Native::EnsureVisible(int i) {
  ListViewLayout g = Layout();
  int u = g.UnitOf(i), page = g.PageUnits();
  if (u < top)
    top = u;
  else if (u >= top + page)
    top = u - page + 1;
  top = g.ClampedTop(top);
}

void Native::SyncBars(bool force) {
  KeepBars(
      force, [&] { return size_t(Count()); },
      [&] {
        bool fixed = V.FStyle & LVS_NOSCROLL;
        ScrollBars::Settle(&V, [&] {
          ListViewLayout g = Layout();
          int units = fixed ? 0 : g.UnitCount(), page = g.PageUnits();
          if (g.Is(LVS_LIST)) {
            top = ScrollBars::SetBar(&V, SB_HORZ, 0, units - 1, page, top);
            ScrollBars::SetBar(&V, SB_VERT, 0, 0, 0, 0);
            xOff = 0;
          } else {
            int width = g.Is(LVS_REPORT) && !fixed ? TotalColumnWidth() : 0;
            top = ScrollBars::SetBar(&V, SB_VERT, 0, units - 1, page, top);
            xOff = ScrollBars::SetBar(&V, SB_HORZ, 0, width - 1, g.clientW, xOff);
          }
        });
        Layout().PlaceHeader();
      });
}

void Native::ScrollTo(bool across, int to) {
  if (editing >= 0) EndEdit(false);
  ListViewLayout g = Layout();
  if (across && g.Is(LVS_REPORT)) {
    xOff = std::clamp(to, 0, std::max(0, TotalColumnWidth() - g.clientW));
  } else {
    top = g.ClampedTop(to);
  }
  V.Invalidate();
  SyncBars(true);
}

int Native::NextItem(int start, UINT flags) {
  UINT states = flags & (LVNI_FOCUSED | LVNI_SELECTED | LVNI_CUT | LVNI_DROPHILITED);
  UINT dir = flags & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT);
  if (!dir) {
    for (int i = std::max(0, start + 1); i < Count(); ++i)
      if ((StateOf(i) & states) == states) return i;
    return -1;
  }
  if (!Valid(start)) return -1;
  return Layout().Neighbour(start, dir, states);
}

int Native::FindItem(int start, const LVFINDINFOA* fi) {
  if (!fi) return -1;
  int n = Count();
  if (OwnerData()) {
    NMLVFINDITEMA nm;
    nm.iStart = start + 1;
    nm.lvfi = *fi;
    return int(Notify(LVN_ODFINDITEMA, &nm.hdr));
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
      if (items[size_t(i)]->lParam == fi->lParam) return i;
      continue;
    }
    std::string s = TextOf(i, 0);
    if (fi->flags & LVFI_PARTIAL) s = s.substr(0, std::min(s.size(), want.size()));
    if (AnsiCompareText(s, want) == 0) return i;
  }
  return -1;
}

void Native::DeleteItem(int i) {
  if (editing == i) EndEdit(true);
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.lParam = ParamOf(i);
  Notify(LVN_DELETEITEM, &nm.hdr);
  if (!Valid(i) || (!OwnerData() && items[size_t(i)]->lParam != nm.lParam)) return;
  if (focus == i) focus = -1;
  if (anchor == i) anchor = -1;
  if (dragItem == i) dragItem = -1;
  if (OwnerData()) {
    virtualStates.erase(virtualStates.begin() + i), --virtualCount;
  } else {
    delete items[size_t(i)];
    items.erase(items.begin() + i);
  }
  ShiftIndexes(i + 1, -1);
}

BOOL Native::SortItems(const std::function<bool(const ItemData&, const ItemData&)>& before) {
  if (OwnerData()) return FALSE;
  if (editing >= 0) EndEdit(false);
  ItemData* focusItem = Valid(focus) ? items[size_t(focus)] : nullptr;
  ItemData* anchorItem = Valid(anchor) ? items[size_t(anchor)] : nullptr;
  std::stable_sort(items.begin(), items.end(),
                   [&](const ItemData* a, const ItemData* b) { return before(*a, *b); });
  for (int k = 0; k < Count(); ++k) {
    if (items[size_t(k)] == focusItem) focus = k;
    if (items[size_t(k)] == anchorItem) anchor = k;
  }
  V.Invalidate();
  return TRUE;
}

// --- Label editing --------------------------------------------------------------------------

BOOL Native::EndEdit(bool cancel) {
  if (editing < 0) return FALSE;
  int i = editing;
  editing = -1;
  std::string text = CloseEditor();
  NMLVDISPINFOA di;
  di.item.mask = LVIF_TEXT | LVIF_PARAM;
  di.item.iItem = i;
  di.item.lParam = ParamOf(i);
  di.item.pszText = cancel ? nullptr : text.data();
  di.item.cchTextMax = int(text.size() + 1);
  if (Notify(LVN_ENDLABELEDITA, &di.hdr) && !cancel && !OwnerData() && Valid(i) &&
      !items[size_t(i)]->textCallback)
    items[size_t(i)]->text = text;
  EditorClosed();
  return TRUE;
}

HWND Native::EditLabel(int i) {
  if (editing >= 0) EndEdit(i >= 0 ? false : true);
  if (!Valid(i)) return nullptr;
  EnsureVisible(i);
  if (!(StateOf(i) & LVIS_FOCUSED)) Focus(i);
  NMLVDISPINFOA di;
  std::string label = TextOf(i, 0);
  di.item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
  di.item.iItem = i;
  di.item.lParam = ParamOf(i);
  di.item.state = StateOf(i);
  di.item.pszText = label.data();
  if (Notify(LVN_BEGINLABELEDITA, &di.hdr) || !Valid(i)) return nullptr;
  RECT b, ic, lb;
  Layout().Rects(i, b, ic, lb);
  editing = i;
  return OpenEditor(lb, 60, label, LVM_ENDEDITNOW);
}

// --- Scrolling messages ---------------------------------------------------------------------

Native::Reply Native::VScroll(TMessage& m) {
  ListViewLayout g = Layout();
  if (!g.Is(LVS_LIST))
    ScrollTo(false, ScrollBars::ScrollTarget(&V, SB_VERT, m.WParam, top, 1, g.PageUnits()));
  return 0;
}

Native::Reply Native::HScroll(TMessage& m) {
  ListViewLayout g = Layout();
  if (g.Is(LVS_LIST))
    ScrollTo(true, ScrollBars::ScrollTarget(&V, SB_HORZ, m.WParam, top, 1, g.PageUnits()));
  else if (g.Is(LVS_REPORT))
    ScrollTo(true, ScrollBars::ScrollTarget(&V, SB_HORZ, m.WParam, xOff, kHorzLine, g.clientW));
  return 0;
}

Native::Reply Native::Wheel(TMessage& m) {
  // Rows three a notch; list columns one a notch.
  int lines = ScrollBars::WheelLines(&V, m);
  if (lines && ViewType() == LVS_LIST)
    ScrollTo(true, top + lines / 3);
  else if (lines)
    ScrollTo(false, top + lines);
  return 0;
}

Native::Reply Native::EnsureVisibleMessage(TMessage& m) {
  if (!Valid(int(m.WParam))) return FALSE;
  EnsureVisible(int(m.WParam));
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::Scroll(TMessage& m) {
  ListViewLayout g = Layout();
  int dx = int(std::intptr_t(m.WParam)), dy = int(m.LParam);
  int px = g.Is(LVS_LIST) ? dx : dy;
  int unit = g.Is(LVS_REPORT) || g.Is(LVS_SMALLICON) ? g.rowH : g.cellH;
  if (g.Is(LVS_LIST)) unit = g.cellW;
  if (px) top += px / unit ? px / unit : (px > 0 ? 1 : -1);
  top = g.ClampedTop(top);
  // The report view moves across by pixels.
  if (g.Is(LVS_REPORT) && dx)
    xOff = std::clamp(xOff + dx, 0, std::max(0, TotalColumnWidth() - g.clientW));
  V.Invalidate();
  SyncBars(true);
  return TRUE;
}

Native::Reply Native::GetTopIndex(TMessage&) {
  ListViewLayout g = Layout();
  if (!Count()) return 0;
  int first = g.Is(LVS_REPORT) ? top : top * g.perLine;
  return std::min(first, Count() - 1);
}

Native::Reply Native::GetCountPerPage(TMessage&) {
  ListViewLayout g = Layout();
  if (g.Is(LVS_REPORT)) return std::max(1, g.clientH / g.rowH);
  if (g.Is(LVS_LIST)) return g.perLine * std::max(1, g.clientW / g.cellW);
  return Count();
}

// --- Item messages --------------------------------------------------------------------------

Native::Reply Native::SetItemCount(TMessage& m) {
  if (!OwnerData()) return TRUE;  // a preallocation hint
  int n = std::max(0, int(m.WParam));
  virtualStates.resize(size_t(n), 0);
  virtualCount = n;
  if (focus >= n) focus = -1;
  if (anchor >= n) anchor = -1;
  if (editing >= n) EndEdit(true);
  ClampTop();
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::InsertItem(TMessage& m) {
  auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
  if (!it || OwnerData() || it->iSubItem != 0 || it->iItem < 0) return -1;
  auto* t = new ItemData;
  if (it->mask & LVIF_TEXT) ViewSupport::StoreText(it->pszText, t->text, t->textCallback);
  if (it->mask & LVIF_IMAGE) t->image = it->iImage;
  if (it->mask & LVIF_PARAM) t->lParam = it->lParam;
  if (it->mask & LVIF_INDENT) t->indent = it->iIndent;
  UINT st = (it->mask & LVIF_STATE) ? it->state & it->stateMask : 0;
  int at = std::min(it->iItem, int(items.size()));
  if (V.FStyle & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
    bool desc = V.FStyle & LVS_SORTDESCENDING;
    for (at = 0; at < int(items.size()); ++at) {
      int c = AnsiCompareText(TextOf(at, 0), t->text);
      if (desc ? c < 0 : c > 0) break;
    }
  }
  ShiftIndexes(at, 1);
  items.insert(items.begin() + at, t);
  NMLISTVIEW nm;
  nm.iItem = at;
  nm.lParam = t->lParam;
  Notify(LVN_INSERTITEM, &nm.hdr);
  if (st) ChangeState(at, st, st);
  if (V.FListItems->UpdateCount() == 0) V.Invalidate();
  return at;
}

Native::Reply Native::DeleteItemMessage(TMessage& m) {
  int i = int(m.WParam);
  if (!Valid(i)) return FALSE;
  DeleteItem(i);
  ClampTop();
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::DeleteAllItems(TMessage&) {
  if (editing >= 0) EndEdit(true);
  NMLISTVIEW nm;
  nm.iItem = -1;
  bool quiet = Notify(LVN_DELETEALLITEMS, &nm.hdr) != 0;
  if (OwnerData()) {
    virtualCount = 0;
    virtualStates.clear();
  }
  while (!items.empty()) {
    if (quiet) {
      delete items.back();
      items.pop_back();
    } else {
      DeleteItem(int(items.size()) - 1);
    }
  }
  focus = anchor = dragItem = -1;
  top = 0;
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::GetItem(TMessage& m) {
  auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
  if (!it || !Valid(it->iItem)) return FALSE;
  int i = it->iItem, sub = it->iSubItem;
  bool owner = OwnerData();
  if (sub < 0 || (sub > 0 && sub >= std::max<int>(int(cols.size()), 1) && owner)) return FALSE;
  if (it->mask & LVIF_TEXT) {
    const ItemData* t = owner ? nullptr : items[size_t(i)];
    bool callback =
        owner || (sub == 0 ? t->textCallback
                           : size_t(sub) <= t->subs.size() && t->subs[size_t(sub - 1)].callback);
    if (callback)
      it->pszText = LPSTR_TEXTCALLBACKA;
    else if (it->pszText && it->cchTextMax > 0)
      ViewSupport::CopyText(TextOf(i, sub), it->pszText, it->cchTextMax);
  }
  if (it->mask & LVIF_IMAGE) it->iImage = owner ? I_IMAGECALLBACK : items[size_t(i)]->image;
  if (it->mask & LVIF_STATE) it->state = StateOf(i) & it->stateMask;
  if (it->mask & LVIF_PARAM) it->lParam = ParamOf(i);
  if (it->mask & LVIF_INDENT) it->iIndent = owner ? 0 : items[size_t(i)]->indent;
  return TRUE;
}

Native::Reply Native::SetItem(TMessage& m) {
  auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
  int i = m.Msg == LVM_SETITEMA ? (it ? it->iItem : -1) : int(m.WParam);
  if (!it || !Valid(i) || it->iSubItem < 0) return FALSE;
  UINT mask = m.Msg == LVM_SETITEMA ? it->mask : LVIF_TEXT;
  if ((mask & LVIF_STATE) && it->iSubItem == 0 && !ChangeState(i, it->stateMask, it->state))
    return FALSE;
  if (OwnerData()) {
    V.Invalidate();
    return TRUE;
  }
  if (it->iSubItem > 0) return (mask & LVIF_TEXT) ? SetSubItemText(items[size_t(i)], *it) : TRUE;
  return SetItemFields(i, mask, *it);
}

Native::Reply Native::SetSubItemText(ItemData* t, const LVITEMA& it) {
  if (t->subs.size() < size_t(it.iSubItem)) t->subs.resize(size_t(it.iSubItem));
  SubItem& s = t->subs[size_t(it.iSubItem - 1)];
  ViewSupport::StoreText(it.pszText, s.text, s.callback);
  V.Invalidate();
  return TRUE;
}

// The item's own fields, asked (ITEMCHANGING) and told (ITEMCHANGED).
Native::Reply Native::SetItemFields(int i, UINT mask, const LVITEMA& it) {
  ItemData* t = items[size_t(i)];
  UINT changed = mask & (LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_INDENT);
  if (changed) {
    NMLISTVIEW nm;
    nm.iItem = i;
    nm.uChanged = changed;
    nm.lParam = t->lParam;
    if (Notify(LVN_ITEMCHANGING, &nm.hdr) || !Valid(i)) return FALSE;
    t = items[size_t(i)];
    if (mask & LVIF_TEXT) ViewSupport::StoreText(it.pszText, t->text, t->textCallback);
    if (mask & LVIF_IMAGE) t->image = it.iImage;
    if (mask & LVIF_PARAM) t->lParam = it.lParam;
    if (mask & LVIF_INDENT) t->indent = it.iIndent;
    nm.lParam = t->lParam;
    Notify(LVN_ITEMCHANGED, &nm.hdr);
  }
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::GetItemText(TMessage& m) {
  auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
  int i = int(m.WParam);
  if (!it || !Valid(i) || !it->pszText || it->cchTextMax <= 0) return 0;
  return LRESULT(ViewSupport::CopyText(TextOf(i, it->iSubItem), it->pszText, it->cchTextMax));
}

Native::Reply Native::SetItemState(TMessage& m) {
  auto* it = reinterpret_cast<LVITEMA*>(m.LParam);
  int i = int(m.WParam);
  if (!it) return FALSE;
  if (i == -1) {
    bool ok = true;
    for (int k = 0; k < Count(); ++k) ok = ChangeState(k, it->stateMask, it->state) && ok;
    return ok;
  }
  return Valid(i) && ChangeState(i, it->stateMask, it->state);
}

Native::Reply Native::GetItemState(TMessage& m) {
  return Valid(int(m.WParam)) ? LRESULT(StateOf(int(m.WParam)) & UINT(m.LParam)) : 0;
}

Native::Reply Native::GetSelectedCount(TMessage&) {
  int n = 0;
  for (int k = 0; k < Count(); ++k) n += (StateOf(k) & LVIS_SELECTED) ? 1 : 0;
  return n;
}

Native::Reply Native::GetNextItem(TMessage& m) {
  // A direction depends on what shows.
  if (m.LParam & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT)) SyncBars(false);
  return NextItem(int(m.WParam), UINT(m.LParam));
}

Native::Reply Native::FindItemMessage(TMessage& m) {
  return FindItem(int(m.WParam), reinterpret_cast<const LVFINDINFOA*>(m.LParam));
}

Native::Reply Native::GetItemRect(TMessage& m) {
  auto* r = reinterpret_cast<RECT*>(m.LParam);
  int i = int(m.WParam);
  if (!r || !Valid(i)) return FALSE;
  int code = r->left, sub = m.Msg == LVM_GETSUBITEMRECT ? r->top : 0;
  if (code < LVIR_BOUNDS || code > LVIR_SELECTBOUNDS) return FALSE;
  ListViewLayout g = Layout();
  if (sub < 0 || (sub > 0 && (!g.Is(LVS_REPORT) || sub >= int(cols.size())))) return FALSE;
  RECT b, ic, lb;
  g.Rects(i, b, ic, lb);
  if (sub > 0) {
    RECT s = g.SubItemRect(i, sub);
    *r = code == LVIR_ICON ? RECT{s.left, s.top, s.left, s.bottom} : s;
  } else if (code == LVIR_BOUNDS) {
    *r = b;
  } else if (code == LVIR_ICON) {
    *r = ic;
  } else if (code == LVIR_LABEL) {
    *r = lb;
  } else {
    *r = RECT{std::min(ic.left, lb.left), std::min(ic.top, lb.top), std::max(ic.right, lb.right),
              std::max(ic.bottom, lb.bottom)};
    if (g.Is(LVS_REPORT) && V.FRowSelect) r->right = b.right;
  }
  return TRUE;
}

Native::Reply Native::GetItemPosition(TMessage& m) {
  auto* p = reinterpret_cast<POINT*>(m.LParam);
  if (!p || !Valid(int(m.WParam))) return FALSE;
  RECT b, ic, lb;
  Layout().Rects(int(m.WParam), b, ic, lb);
  *p = POINT{b.left, b.top};
  return TRUE;
}

Native::Reply Native::GetStringWidth(TMessage& m) {
  const char* s = reinterpret_cast<const char*>(m.LParam);
  return s ? ViewSupport::TextWidth(V.Font(), s) : 0;
}

Native::Reply Native::HitTest(TMessage& m) {
  if (!m.LParam) return -1;
  return Layout().HitTest(reinterpret_cast<LVHITTESTINFO*>(m.LParam), m.Msg == LVM_SUBITEMHITTEST);
}

Native::Reply Native::Redraw(TMessage&) {
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::GetViewRect(TMessage& m) {
  auto* r = reinterpret_cast<RECT*>(m.LParam);
  if (!r) return FALSE;
  *r = RECT{0, 0, V.Width(), V.Height()};
  return TRUE;
}

Native::Reply Native::GetEditControl(TMessage&) {
  return editing >= 0 ? LRESULT(edit->Handle()) : 0;
}

Native::Reply Native::SortItemsMessage(TMessage& m) {
  auto compare = reinterpret_cast<PFNLVCOMPARE>(m.LParam);
  if (!compare) return FALSE;
  return SortItems([&](const ItemData& a, const ItemData& b) {
    return compare(a.lParam, b.lParam, LPARAM(m.WParam)) < 0;
  });
}

// --- Columns and the header -----------------------------------------------------------------

Native::Reply Native::GetColumn(TMessage& m) {
  auto* c = reinterpret_cast<LVCOLUMNA*>(m.LParam);
  int i = int(m.WParam);
  if (!c || i < 0 || i >= int(cols.size())) return FALSE;
  const ColumnData& col = cols[size_t(i)];
  if (c->mask & LVCF_FMT) c->fmt = col.fmt;
  if (c->mask & LVCF_WIDTH) c->cx = col.cx;
  if (c->mask & LVCF_TEXT) ViewSupport::CopyText(col.text, c->pszText, c->cchTextMax);
  if (c->mask & LVCF_SUBITEM) c->iSubItem = i;
  if (c->mask & LVCF_IMAGE) c->iImage = col.image;
  if (c->mask & LVCF_ORDER) c->iOrder = i;
  return TRUE;
}

void Native::InsertHeaderItem(int i) {
  const ColumnData& col = cols[size_t(i)];
  HDITEMA hi;
  hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
  hi.pszText = const_cast<char*>(col.text.c_str());
  hi.cxy = col.cx;
  hi.fmt = (col.fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING;
  syncingHeader = true;
  SendMessage(header, HDM_INSERTITEMA, WPARAM(i), LPARAM(&hi));
  syncingHeader = false;
}

Native::Reply Native::SetColumn(TMessage& m) {
  auto* c = reinterpret_cast<LVCOLUMNA*>(m.LParam);
  int i = int(m.WParam);
  bool insert = m.Msg == LVM_INSERTCOLUMNA;
  if (!c || i < 0 || (!insert && i >= int(cols.size()))) return insert ? -1 : FALSE;
  if (insert) {
    i = std::min(i, int(cols.size()));
    cols.insert(cols.begin() + i, ColumnData{});
  }
  ColumnData& col = cols[size_t(i)];
  if (c->mask & LVCF_FMT) col.fmt = i == 0 ? LVCFMT_LEFT | (c->fmt & ~LVCFMT_JUSTIFYMASK) : c->fmt;
  if (c->mask & LVCF_WIDTH) col.cx = std::max(0, c->cx);
  if (c->mask & LVCF_TEXT)
    col.text = c->pszText && c->pszText != LPSTR_TEXTCALLBACKA ? c->pszText : "";
  if (c->mask & LVCF_IMAGE) col.image = c->iImage;
  if (header && insert)
    InsertHeaderItem(i);
  else if (header)
    V.UpdateColumn(i);
  V.Invalidate();
  return insert ? i : TRUE;
}

Native::Reply Native::DeleteColumn(TMessage& m) {
  int i = int(m.WParam);
  if (i < 0 || i >= int(cols.size())) return FALSE;
  cols.erase(cols.begin() + i);
  if (header) SendMessage(header, HDM_DELETEITEM, WPARAM(i), 0);
  // The sub-items of later columns move one column left.
  if (i > 0)
    for (ItemData* t : items)
      if (t->subs.size() >= size_t(i)) t->subs.erase(t->subs.begin() + (i - 1));
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::GetColumnWidth(TMessage& m) {
  int i = int(m.WParam);
  if (ViewType() == LVS_LIST) return Layout().cellW;
  if (ViewType() != LVS_REPORT && cols.empty()) return 0;
  return i >= 0 && i < int(cols.size()) ? cols[size_t(i)].cx : 0;
}

int Native::AutoWidth(int i, bool withHeader) {
  ListViewLayout g = Layout();
  int need = withHeader ? ViewSupport::TextWidth(V.Font(), cols[size_t(i)].text) + 12 : 0;
  for (int k = 0; k < Count(); ++k)
    need = std::max(need, ViewSupport::TextWidth(V.Font(), TextOf(k, i)) + 12 +
                              (i == 0 ? g.smallW + g.stateW + 4 : 0));
  return need;
}

Native::Reply Native::SetColumnWidth(TMessage& m) {
  int i = int(m.WParam), width = int(m.LParam);
  if (ViewType() == LVS_LIST) {
    if (i != 0) return FALSE;
    listColW = std::max(0, width);
    V.Invalidate();
    return TRUE;
  }
  if (i < 0 || i >= int(cols.size())) return FALSE;
  if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER)
    width = AutoWidth(i, width == LVSCW_AUTOSIZE_USEHEADER);
  cols[size_t(i)].cx = std::max(0, width);
  V.UpdateColumn(i);
  V.Invalidate();
  return TRUE;
}

HIMAGELIST& Native::ImageSlot(WPARAM which) {
  return which == LVSIL_STATE ? state : which == LVSIL_SMALL ? small : normal;
}

Native::Reply Native::SetImageList(TMessage& m) {
  HIMAGELIST& slot = ImageSlot(m.WParam);
  V.Invalidate();
  return LRESULT(std::exchange(slot, HIMAGELIST(m.LParam)));
}

Native::Reply Native::SetColor(COLORREF& slot, TMessage& m) {
  slot = COLORREF(m.LParam);
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::SetCallbackMask(TMessage& m) {
  callbackMask = UINT(m.WParam);
  return TRUE;
}

Native::Reply Native::SetExtendedStyle(TMessage& m) {
  DWORD old = exStyle, mask = m.WParam ? DWORD(m.WParam) : ~0u;
  exStyle = (old & ~mask) | (DWORD(m.LParam) & mask);
  return LRESULT(old);
}

// The header's notifications: the columns follow it.
Native::Reply Native::HeaderNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  if (!hdr || !header || hdr->hwndFrom != header) return std::nullopt;
  auto* nm = reinterpret_cast<NMHEADERA*>(hdr);
  if (syncingHeader) return 0;
  TListColumn* c = V.Column(nm->iItem);
  bool width = nm->pitem && (nm->pitem->mask & HDI_WIDTH);
  if (hdr->code == HDN_ITEMCHANGINGA) {
    // Column limits hold while the user drags a divider.
    if (c && width) {
      if (c->MaxWidth() > 0) nm->pitem->cxy = std::min(nm->pitem->cxy, c->MaxWidth());
      nm->pitem->cxy = std::max(nm->pitem->cxy, c->MinWidth());
    }
    return FALSE;
  }
  if (hdr->code == HDN_ITEMCHANGEDA && width && nm->iItem >= 0 && nm->iItem < int(cols.size())) {
    cols[size_t(nm->iItem)].cx = nm->pitem->cxy;
    if (c) c->FWidth = nm->pitem->cxy;
    V.Invalidate();
  } else if (hdr->code == HDN_ITEMCLICKA && !(V.FStyle & LVS_NOSORTHEADER)) {
    NMLISTVIEW lv;
    lv.iItem = -1;
    lv.iSubItem = nm->iItem;
    Notify(LVN_COLUMNCLICK, &lv.hdr);
  } else if (hdr->code == HDN_DIVIDERDBLCLICKA) {
    V.Perform(LVM_SETCOLUMNWIDTH, WPARAM(nm->iItem), LVSCW_AUTOSIZE);
  }
  return 0;
}

Native::Reply Native::Paint(TMessage& m) {
  HDC dc = HDC(m.WParam);
  if (!dc) return std::nullopt;
  ListViewPainter(*this, dc).Paint();
  return 0;
}
