#include "platform/forms/ListViewLayout.h"

#include <algorithm>

#include "platform/forms/HeaderCtrl.h"

using namespace win;

ListViewLayout::ListViewLayout(TCustomListView::Native& window) : w(window) {
  const TCustomListView& v = w.V;
  view = int(w.ViewType());
  border = v.BorderStyle() == bsSingle ? 2 : 0;
  ImageList_GetIconSize(w.small, &smallW, &smallH);
  ImageList_GetIconSize(w.normal, &largeW, &largeH);
  ImageList_GetIconSize(w.state, &stateW, nullptr);
  textH = ViewSupport::TextHeight(v.Font());
  rowH = std::max({textH + 3, smallH + 1, 16});
  hdrH = Is(LVS_REPORT) && !(v.Style() & LVS_NOCOLUMNHEADER) ? Header::DefaultHeight() : 0;
  top0 = border + hdrH;
  RECT client = v.ClientBounds();
  right = client.right, bottom = client.bottom;
  clientW = std::max(0, right - border);
  clientH = std::max(0, bottom - top0);
  MeasureCells();
}

void ListViewLayout::MeasureCells() {
  if (Is(LVS_ICON)) {
    cellW = std::max(75, largeW + 16);
    cellH = std::max(largeH, 16) + textH + 14;
    perLine = std::max(1, clientW / cellW);
  } else if (Is(LVS_LIST) || Is(LVS_SMALLICON)) {
    int width = w.listColW;
    if (width <= 0) {
      // Wide enough for the longest caption (virtual lists: a fixed width).
      width = 150;
      if (!w.OwnerData()) {
        width = 40;
        for (int i = 0; i < w.Count(); ++i)
          width = std::max(width, ViewSupport::TextWidth(w.V.Font(), w.TextOf(i, 0)) + 8);
        width += smallW + 4 + stateW;
      }
    }
    cellW = width;
    cellH = rowH;
    perLine = Is(LVS_LIST) ? std::max(1, clientH / rowH) : std::max(1, clientW / width);
  }
}

int ListViewLayout::PageUnits() const {
  switch (view) {
    case LVS_REPORT:
      return std::max(1, clientH / rowH);
    case LVS_LIST:
      return std::max(1, clientW / cellW);
    default:
      return std::max(1, clientH / cellH);
  }
}

int ListViewLayout::UnitCount() const {
  int n = w.Count();
  return Is(LVS_REPORT) ? n : (n + perLine - 1) / perLine;
}

int ListViewLayout::ClampedTop(int top) const {
  return std::clamp(top, 0, std::max(0, UnitCount() - PageUnits()));
}

void ListViewLayout::IconRects(int i, RECT& bounds, RECT& icon, RECT& label, RECT* state) const {
  int x = border + (i % perLine) * cellW;
  int y = border + (i / perLine - w.top) * cellH;
  bounds = RECT{x, y, x + cellW, y + cellH};
  int iw = std::max(largeW, 16), ih = std::max(largeH, 16);
  icon = RECT{x + (cellW - iw) / 2, y + 2, x + (cellW + iw) / 2, y + 2 + ih};
  int tw = std::min(ViewSupport::TextWidth(w.V.Font(), w.TextOf(i, 0)) + 4, cellW - 2);
  label =
      RECT{x + (cellW - tw) / 2, icon.bottom + 2, x + (cellW + tw) / 2, icon.bottom + 4 + textH};
  if (state) *state = RECT{icon.left - stateW, icon.bottom - stateW, icon.left, icon.bottom};
}

void ListViewLayout::Rects(int i, RECT& bounds, RECT& icon, RECT& label, RECT* state) const {
  if (Is(LVS_ICON)) return IconRects(i, bounds, icon, label, state);
  int x, y;
  int indent = w.OwnerData() ? 0 : w.items[size_t(i)]->indent * std::max(smallW, 16);
  if (Is(LVS_REPORT)) {
    x = border - w.xOff;
    y = top0 + (i - w.top) * rowH;
    bounds = RECT{x, y, x + w.TotalColumnWidth(), y + rowH};
  } else if (Is(LVS_LIST)) {
    x = border + (i / perLine - w.top) * cellW;
    y = border + (i % perLine) * rowH;
    bounds = RECT{x, y, x + cellW, y + rowH};
  } else {
    x = border + (i % perLine) * cellW;
    y = border + (i / perLine - w.top) * rowH;
    bounds = RECT{x, y, x + cellW, y + rowH};
  }
  int sx = x + 2 + indent;
  if (state) *state = RECT{sx, y, sx + stateW, y + rowH};
  sx += stateW;
  icon = RECT{sx, y, sx + smallW, y + rowH};
  int lx = icon.right + (smallW ? 2 : 0);
  if (Is(LVS_REPORT)) {
    int col0 = w.cols.empty() ? 0 : w.cols[0].cx;
    label = RECT{lx, y, std::max(lx, x + col0), y + rowH};
  } else {
    int textW = ViewSupport::TextWidth(w.V.Font(), w.TextOf(i, 0));
    label = RECT{lx, y, std::min(lx + textW + 4, bounds.right), y + rowH};
    bounds.right = label.right;
  }
}

RECT ListViewLayout::SubItemRect(int i, int sub) const {
  RECT b, ic, lb;
  Rects(i, b, ic, lb);
  int x = border - w.xOff;
  for (int k = 0; k < sub && k < int(w.cols.size()); ++k) x += w.cols[size_t(k)].cx;
  int width = sub < int(w.cols.size()) ? w.cols[size_t(sub)].cx : 0;
  return RECT{x, b.top, x + width, b.bottom};
}

void ListViewLayout::PlaceHeader() const {
  if (!w.header) return;
  int left = border - w.xOff, r = std::max(right, left + w.TotalColumnWidth());
  Header::SetBounds(w.header, hdrH ? RECT{left, border, r, border + hdrH} : RECT{});
}

UINT ListViewLayout::PartAt(int i, POINT p) const {
  RECT b, ic, lb, st;
  Rects(i, b, ic, lb, &st);
  auto in = [&](const RECT& r) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
  };
  if (stateW && in(st)) return LVHT_ONITEMSTATEICON;
  if (in(ic) && (!Is(LVS_REPORT) || ic.right > ic.left)) return LVHT_ONITEMICON;
  if (in(lb)) return LVHT_ONITEMLABEL;
  if (Is(LVS_REPORT) && w.V.RowSelect() && in(b)) return LVHT_ONITEMLABEL;
  if (Is(LVS_ICON) && in(b) && p.y < lb.bottom) return LVHT_ONITEMICON;
  // Beside the label of a report row: the row, no part of it.
  return Is(LVS_REPORT) && in(b) ? LVHT_NOWHERE : 0;
}

int ListViewLayout::SubItemAt(int x) const {
  int sub = 0, cx = border - w.xOff;
  for (size_t k = 0; k < w.cols.size(); ++k) {
    if (x >= cx && x < cx + w.cols[k].cx) sub = int(k);
    cx += w.cols[k].cx;
  }
  return sub;
}

int ListViewLayout::HitTest(LVHITTESTINFO* hi, bool subItems) const {
  hi->iItem = -1;
  hi->iSubItem = 0;
  hi->flags = ViewSupport::OutsideFlags(hi->pt, RECT{border, top0, right, bottom},
                                        {LVHT_TOLEFT, LVHT_TORIGHT, LVHT_ABOVE, LVHT_BELOW});
  if (hi->flags) return -1;
  int first = 0, last = w.Count() - 1;
  if (Is(LVS_REPORT)) first = last = w.top + (hi->pt.y - top0) / rowH;
  for (int i = std::max(0, first); i <= last && i < w.Count(); ++i) {
    UINT part = PartAt(i, hi->pt);
    // Beside a report row's label only the sub-item test finds the row.
    if (!part || (part == LVHT_NOWHERE && !subItems)) continue;
    hi->flags = part;
    hi->iItem = i;
    if (subItems && Is(LVS_REPORT)) hi->iSubItem = SubItemAt(hi->pt.x);
    return i;
  }
  hi->flags = LVHT_NOWHERE;
  return -1;
}

int ListViewLayout::Step(UINT dir) const {
  switch (view) {
    case LVS_REPORT:
      return dir == LVNI_ABOVE ? -1 : dir == LVNI_BELOW ? 1 : 0;
    case LVS_LIST:
      return dir == LVNI_ABOVE    ? -1
             : dir == LVNI_BELOW  ? 1
             : dir == LVNI_TOLEFT ? -perLine
                                  : perLine;
    default:
      return dir == LVNI_TOLEFT    ? -1
             : dir == LVNI_TORIGHT ? 1
             : dir == LVNI_ABOVE   ? -perLine
                                   : perLine;
  }
}

int ListViewLayout::Neighbour(int start, UINT dir, UINT states) const {
  int step = Step(dir);
  if (!step) return -1;
  for (int i = start + step; i >= 0 && i < w.Count(); i += step) {
    // Rows of icons and list columns end at their line: a step of one does not wrap.
    if (!Is(LVS_REPORT) && (step == 1 || step == -1) && i / perLine != start / perLine) break;
    if ((w.StateOf(i) & states) == states) return i;
  }
  return -1;
}
