#include "platform/forms/TreeViewPainter.h"

#include "platform/forms/ControlPaint.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

TreeViewPainter::TreeViewPainter(TCustomTreeView::Native& window, HDC hdc)
    : w(window), v(window.V), dc(hdc), g(window.Geo()) {}

void TreeViewPainter::Paint() {
  w.PaintFrame(dc, cd.nmcd, g.border != 0, [&](LRESULT answer, COLORREF back) {
    pre = answer;
    bk = back;
    PaintRows();
  });
}

void TreeViewPainter::PaintRows() {
  SaveDC(dc);
  IntersectClipRect(dc, g.border, g.border, g.right, g.bottom);
  SetBkMode(dc, TRANSPARENT);
  TCustomTreeView::Native::Rows rows = w.VisibleRows();
  int top = w.TopRow(rows), page = w.PageRows() + 1;
  linePen = CreatePen(PS_DOT, 1, GetSysColor(COLOR_GRAYTEXT));
  showSel = v.Focused() || v.HasStyle(TVS_SHOWSELALWAYS);
  for (int i = top; i < int(rows.size()) && i < top + page; ++i) PaintRow(rows[size_t(i)], i - top);
  DeleteObject(linePen);
  RestoreDC(dc, -1);
}

bool TreeViewPainter::HasRootColumn(HTREEITEM t) const {
  return TCustomTreeView::Native::Level(t) > 0 || g.rootLines;
}

void TreeViewPainter::PaintRow(HTREEITEM t, int row) {
  int y = g.border + row * g.rowH, mid = y + g.rowH / 2;
  int ix = w.ItemX(g, t);
  if (v.ShowLines() && HasRootColumn(t)) PaintLines(t, y, ix);
  if (v.ShowButtons() && w.HasChildren(t) && HasRootColumn(t)) PaintButton(t, mid, ix);
  bool selected = (t->state & TVIS_SELECTED) && showSel;
  bool hot = selected || (t->state & TVIS_DROPHILITED);
  cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  cd.nmcd.rc = RECT{g.border, y, g.right, y + g.rowH};
  cd.nmcd.dwItemSpec = std::uintptr_t(t);
  cd.nmcd.lItemlParam = t->lParam;
  cd.nmcd.uItemState =
      (selected ? CDIS_SELECTED : 0) | (t == w.caret && v.Focused() ? CDIS_FOCUS : 0);
  cd.iLevel = TCustomTreeView::Native::Level(t);
  cd.clrText = hot                  ? GetSysColor(COLOR_HIGHLIGHTTEXT)
               : w.text != CLR_NONE ? w.text
                                    : ControlPaint::Rgb(v.Font()->Color());
  cd.clrTextBk = hot ? GetSysColor(COLOR_HIGHLIGHT) : bk;
  LRESULT answer = CDRF_DODEFAULT;
  if (pre & CDRF_NOTIFYITEMDRAW) answer = ViewSupport::NotifyItemPrePaint(&v, &cd.nmcd.hdr, dc);
  if (!(answer & CDRF_SKIPDEFAULT)) PaintItem(t, row, ix, hot);
  w.ItemPainted(dc, cd.nmcd, answer);
}

void TreeViewPainter::PaintLines(HTREEITEM t, int y, int ix) {
  int mid = y + g.rowH / 2, lx = ix - g.indent / 2 - 2;
  HGDIOBJ old = SelectObject(dc, linePen);
  MoveToEx(dc, lx, (t->prev || t->parent != &w.root) ? y : mid, nullptr);
  LineTo(dc, lx, t->next ? y + g.rowH : mid);
  MoveToEx(dc, lx, mid, nullptr);
  LineTo(dc, ix, mid);
  for (TreeItemData* p = t->parent; p && p != &w.root; p = p->parent)
    if (p->next && HasRootColumn(p)) {
      int px = w.ItemX(g, p) - g.indent / 2 - 2;
      MoveToEx(dc, px, y, nullptr);
      LineTo(dc, px, y + g.rowH);
    }
  SelectObject(dc, old);
}

void TreeViewPainter::PaintButton(HTREEITEM t, int mid, int ix) {
  int bx = ix - g.indent / 2 - 2;
  RECT br{bx - 4, mid - 4, bx + 5, mid + 5};
  ViewSupport::FillSolid(dc, br, bk);
  HBRUSH frame = CreateSolidBrush(GetSysColor(COLOR_GRAYTEXT));
  FrameRect(dc, &br, frame);
  DeleteObject(frame);
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, bx - 2, mid, nullptr);
  LineTo(dc, bx + 3, mid);
  if (!(t->state & TVIS_EXPANDED)) {
    MoveToEx(dc, bx, mid - 2, nullptr);
    LineTo(dc, bx, mid + 3);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void TreeViewPainter::PaintItem(HTREEITEM t, int row, int ix, bool hot) {
  int x = ix, y = g.border + row * g.rowH, iy = y + (g.rowH - g.imgH) / 2;
  if (w.stateImages) {
    int si = int((t->state & TVIS_STATEIMAGEMASK) >> 12);
    if (si > 0) ImageList_Draw(w.stateImages, si, dc, x, iy, ILD_NORMAL);
    x += g.stateW;
  }
  if (w.images) {
    int img, sel;
    w.ImagesOf(t, img, sel);
    UINT style = ILD_TRANSPARENT | (t->state & TVIS_OVERLAYMASK);
    if ((t->state & TVIS_CUT) || hot) style |= ILD_SELECTED;
    ImageList_Draw(w.images, (t->state & TVIS_SELECTED) ? sel : img, dc, x, iy, style);
  }
  RECT lr = w.LabelRect(g, t, row);
  if (hot || cd.clrTextBk != bk) ViewSupport::FillSolid(dc, lr, cd.clrTextBk);
  ::SetTextColor(dc, cd.clrText);
  RECT tr{lr.left + 2, lr.top, lr.right, lr.bottom};
  DrawText(dc, w.TextOf(t), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  if (t == w.caret && v.Focused()) DrawFocusRect(dc, &lr);
}
