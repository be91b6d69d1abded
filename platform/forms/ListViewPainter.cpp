#include "platform/forms/ListViewPainter.h"

#include <algorithm>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {
constexpr UINT kTextFormat = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
}

ListViewPainter::ListViewPainter(TCustomListView::Native& window, HDC hdc)
    : w(window), v(window.V), dc(hdc), g(window) {}

void ListViewPainter::Paint() {
  w.top = g.ClampedTop(w.top);
  w.UpdateColumns();
  g.PlaceHeader();
  w.PaintFrame(dc, cd.nmcd, g.border != 0, [&](LRESULT answer, COLORREF back) {
    pre = answer;
    bk = back;
    PaintItems();
  });
}

void ListViewPainter::PaintItems() {
  if (w.header && g.hdrH) {
    SaveDC(dc);
    IntersectClipRect(dc, g.border, g.border, g.right, g.top0);
    Header::Paint(w.header, dc, ControlPaint::FontHandle(v.Font()));
    RestoreDC(dc, -1);
  }
  SaveDC(dc);
  IntersectClipRect(dc, g.border, g.top0, g.right, g.bottom);
  SetBkMode(dc, TRANSPARENT);
  showSel = v.Focused() || (v.Style() & LVS_SHOWSELALWAYS);
  textColor = w.text != CLR_NONE ? w.text : ControlPaint::Rgb(v.Font()->Color());
  report = g.Is(LVS_REPORT);
  int first = report ? std::max(0, w.top) : 0;
  int last = report ? std::min(w.Count(), w.top + g.PageUnits() + 1) : w.Count();
  for (int k = first; k < last; ++k) PaintItem(k);
  RestoreDC(dc, -1);
}

void ListViewPainter::PaintItem(int index) {
  i = index;
  g.Rects(i, bounds, icon, label);
  if (bounds.bottom <= g.top0 || bounds.top >= g.bottom || bounds.right <= g.border ||
      bounds.left >= g.right)
    return;
  st = w.StateOf(i);
  bool selected = (st & LVIS_SELECTED) && showSel;
  hot = (st & LVIS_DROPHILITED) || ((st & LVIS_SELECTED) && v.Focused());
  dim = selected && !hot;  // selection kept visible without the focus
  cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  cd.nmcd.rc = bounds;
  cd.nmcd.dwItemSpec = std::uintptr_t(i);
  cd.nmcd.lItemlParam = w.ParamOf(i);
  cd.nmcd.uItemState =
      (selected ? CDIS_SELECTED : 0) | (i == w.focus && v.Focused() ? CDIS_FOCUS : 0);
  cd.iSubItem = 0;
  cd.clrText = hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : textColor;
  cd.clrTextBk = hot                    ? GetSysColor(COLOR_HIGHLIGHT)
                 : dim                  ? GetSysColor(COLOR_BTNFACE)
                 : w.textBk != CLR_NONE ? w.textBk
                                        : bk;
  LRESULT answer = CDRF_DODEFAULT;
  if (pre & CDRF_NOTIFYITEMDRAW) answer = ViewSupport::NotifyItemPrePaint(&v, &cd.nmcd.hdr, dc);
  itemText = cd.clrText, itemBk = cd.clrTextBk;
  if (!(answer & CDRF_SKIPDEFAULT)) PaintColumns(answer);
  w.ItemPainted(dc, cd.nmcd, answer);
}

void ListViewPainter::PaintColumns(LRESULT answer) {
  int columns = report ? std::max<int>(1, int(w.cols.size())) : 1;
  for (int sub = 0; sub < columns; ++sub) {
    COLORREF ct = itemText, cb = itemBk;
    LRESULT subAnswer = CDRF_DODEFAULT;
    if (report && (answer & CDRF_NOTIFYSUBITEMDRAW)) {
      NMLVCUSTOMDRAW sc = cd;
      sc.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
      sc.nmcd.rc = g.SubItemRect(i, sub);
      sc.iSubItem = sub;
      subAnswer = ViewSupport::NotifyItemPrePaint(&v, &sc.nmcd.hdr, dc);
      ct = sc.clrText, cb = sc.clrTextBk;
    }
    if (!(subAnswer & CDRF_SKIPDEFAULT)) {
      if (sub == 0)
        PaintFirstColumn(ct, cb);
      else
        PaintSubItem(sub, ct, cb);
    }
    if (subAnswer & CDRF_NEWFONT) RestoreDC(dc, -1);
  }
}

void ListViewPainter::PaintFirstColumn(COLORREF ct, COLORREF cb) {
  bool icons = g.Is(LVS_ICON);
  HIMAGELIST il = icons ? w.normal : w.small;
  if (w.state) {
    int si = int((st & LVIS_STATEIMAGEMASK) >> 12);
    if (si > 0) ImageList_Draw(w.state, si, dc, icon.left - g.stateW, icon.top, ILD_NORMAL);
  }
  if (il) {
    int ih = icons ? g.largeH : g.smallH;
    int iy = icons ? icon.top : icon.top + (g.rowH - ih) / 2;
    UINT style = ILD_TRANSPARENT | (st & LVIS_OVERLAYMASK);
    if ((st & LVIS_CUT) || hot) style |= ILD_SELECTED;
    ImageList_Draw(il, w.ImageOf(i), dc, icon.left, iy, style);
  }
  RECT fill = label;
  if (report && v.RowSelect())
    fill.right = bounds.right;
  else if (report)
    fill.right = std::min<int>(label.right,
                               label.left + ViewSupport::TextWidth(v.Font(), w.TextOf(i, 0)) + 6);
  if (hot || dim || cb != bk) ViewSupport::FillSolid(dc, fill, cb);
  ::SetTextColor(dc, ct);
  RECT tr{label.left + 2, label.top, label.right - 2, label.bottom};
  DrawText(dc, w.TextOf(i, 0), &tr, (icons ? DT_CENTER : DT_LEFT) | kTextFormat);
  if (i == w.focus && v.Focused()) DrawFocusRect(dc, &fill);
}

void ListViewPainter::PaintSubItem(int sub, COLORREF ct, COLORREF cb) {
  RECT r = g.SubItemRect(i, sub);
  bool rowHot = v.RowSelect() && (hot || dim);
  if (rowHot || cb != itemBk) ViewSupport::FillSolid(dc, r, rowHot ? itemBk : cb);
  ::SetTextColor(dc, rowHot ? itemText : (cb != itemBk || ct != itemText) ? ct : textColor);
  int fmt = w.cols[size_t(sub)].fmt & LVCFMT_JUSTIFYMASK;
  UINT just = fmt == LVCFMT_RIGHT ? DT_RIGHT : fmt == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
  RECT tr{r.left + 6, r.top, r.right - 6, r.bottom};
  DrawText(dc, w.TextOf(i, sub), &tr, just | kTextFormat);
}
