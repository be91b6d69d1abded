#pragma once
// Paints a tree view window on a DC: for each row that shows, the lines and the button in
// the indent column, the state and item images and the label, asking the parent for each
// custom-draw stage it wants.
#include "platform/forms/TreeViewWindow.h"

class TreeViewPainter {
 public:
  TreeViewPainter(TCustomTreeView::Native& w, win::HDC dc);
  void Paint();

 private:
  using HTREEITEM = win::HTREEITEM;
  void PaintRows();
  void PaintRow(HTREEITEM t, int row);
  // The dotted lines to the item, and those of its ancestors that go on below it.
  void PaintLines(HTREEITEM t, int y, int ix);
  void PaintButton(HTREEITEM t, int mid, int ix);
  void PaintItem(HTREEITEM t, int row, int ix, bool hot);
  // Whether the indent column holds the item's lines and button.
  bool HasRootColumn(HTREEITEM t) const;

  TCustomTreeView::Native& w;
  TCustomTreeView& v;
  win::HDC dc;
  TCustomTreeView::Native::Geometry g;
  win::NMTVCUSTOMDRAW cd;
  win::LRESULT pre = 0;
  win::COLORREF bk = 0;
  win::HPEN linePen = nullptr;
  bool showSel = false;
};
