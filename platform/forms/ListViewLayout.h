#pragma once
// Where a list view window's items lie for its style, size, images and font, worked out
// when asked: their rectangles, what the view scrolls by, what lies under a point and which
// item neighbours another. Coordinates are the control's own.
#include "platform/forms/ListViewWindow.h"

class ListViewLayout {
 public:
  explicit ListViewLayout(TCustomListView::Native& w);

  bool Is(win::DWORD type) const { return view == int(type); }
  // The unit scrolled by the window's `top`: a row (report, icons) or a column (list).
  int UnitOf(int i) const { return Is(win::LVS_REPORT) ? i : i / perLine; }
  int PageUnits() const;
  int UnitCount() const;
  // A first unit that keeps the last page full.
  int ClampedTop(int top) const;
  // The item's bounds, icon, label and state icon.
  void Rects(int i, win::RECT& bounds, win::RECT& icon, win::RECT& label,
             win::RECT* state = nullptr) const;
  win::RECT SubItemRect(int i, int sub) const;
  // The header stays on top and moves across with the columns.
  void PlaceHeader() const;
  int HitTest(win::LVHITTESTINFO* hi, bool subItems) const;
  // The item a step from start (dir: one LVNI_ direction) with the states, or -1.
  int Neighbour(int start, win::UINT dir, win::UINT states) const;

  int view = 0, border = 0, rowH = 0, hdrH = 0, top0 = 0, clientW = 0, clientH = 0;
  int smallW = 0, smallH = 0, largeW = 0, largeH = 0, stateW = 0, textH = 0;
  // perLine: rows per column (list), items per row (icons).
  int cellW = 0, cellH = 0, perLine = 0;
  int right = 0, bottom = 0;  // the client area's right and bottom edges (the bars are beyond)

 private:
  void MeasureCells();
  void IconRects(int i, win::RECT& bounds, win::RECT& icon, win::RECT& label,
                 win::RECT* state) const;
  // Which part of item i lies under p (0: none).
  win::UINT PartAt(int i, win::POINT p) const;
  int SubItemAt(int x) const;
  int Step(win::UINT dir) const;
  TCustomListView::Native& w;
};
