#pragma once
// Paints a list view window on a DC: its header, then each item that shows (its state and
// item images, its label, and in the report view its sub-items), asking the parent for
// each custom-draw stage it wants.
#include "platform/forms/ListViewLayout.h"

class ListViewPainter {
 public:
  ListViewPainter(TCustomListView::Native& w, win::HDC dc);
  void Paint();

 private:
  void PaintItems();
  void PaintItem(int i);
  void PaintColumns(win::LRESULT answer);
  // The item's images and label; ct, cb: the colours its custom draw chose.
  void PaintFirstColumn(win::COLORREF ct, win::COLORREF cb);
  void PaintSubItem(int sub, win::COLORREF ct, win::COLORREF cb);

  TCustomListView::Native& w;
  TCustomListView& v;
  win::HDC dc;
  ListViewLayout g;
  win::NMLVCUSTOMDRAW cd;
  win::LRESULT pre = 0;
  win::COLORREF bk = 0, textColor = 0;
  bool report = false, showSel = false;
  // The item being painted.
  int i = -1;
  win::RECT bounds{}, icon{}, label{};
  win::UINT st = 0;
  bool hot = false, dim = false;
  win::COLORREF itemText = 0, itemBk = 0;
};
