#pragma once
// The window behind TCustomTreeView: it keeps the items (an HTREEITEM is a TreeItemData)
// and answers the TVM_ messages and the user's mouse, keys and wheel, one member function a
// message. Painting is TreeViewPainter's.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/forms/TreeView.h"
#include "platform/forms/ViewWindow.h"

struct win::TreeItemData {
  TreeItemData *parent = nullptr, *first = nullptr, *last = nullptr, *next = nullptr,
               *prev = nullptr;
  std::string text;
  bool textCallback = false;
  int image = 0, selImage = 0;
  int children = -2;  // -2: from the child items, -1: callback, 0/1: as set
  UINT state = 0;
  LPARAM lParam = 0;
  int textW = -1;  // the label text's width, measured for the horizontal bar
};

struct TCustomTreeView::Native : ViewWindow {
  // Brings the scroll bars up to date (private to the view).
  static constexpr win::UINT TVM_SYNCBARS = win::TV_FIRST + 0xFF;

  struct Geometry {
    int border, rowH, indent, imgW, imgH, stateW;
    int right, bottom;  // the client area's right and bottom edges (the bars are beyond)
    bool rootLines;
  };
  using HTREEITEM = win::HTREEITEM;
  using Rows = std::vector<HTREEITEM>;

  explicit Native(TCustomTreeView& view) : ViewWindow(view), V(view) {}
  // Answers m when it is one of the window's messages.
  bool Answer(TMessage& m);
  void SyncBars(bool force) override;

  TCustomTreeView& V;
  win::TreeItemData root;
  std::set<HTREEITEM> live;
  HTREEITEM caret = nullptr, drop = nullptr, top = nullptr, editing = nullptr;
  int indent = 19, itemHeight = 0;
  win::HIMAGELIST images = nullptr, stateImages = nullptr;
  // The font the label widths were measured in.
  win::HFONT barsFont = nullptr;

  // --- The items and where they lie ---
  bool Valid(HTREEITEM h) const { return h && live.count(h) > 0; }
  // Depth below the root (top-level items: 0).
  static int Level(const win::TreeItemData* t);
  Geometry Geo();
  // Rows shown when scrolled to the top.
  Rows VisibleRows() const;
  int PageRows();
  static int RowOf(const Rows& rows, HTREEITEM h);
  int TopRow(const Rows& rows) const { return std::max(0, top ? RowOf(rows, top) : 0); }
  std::string TextOf(HTREEITEM t);
  void ImagesOf(HTREEITEM t, int& img, int& sel);
  // Whether the item has children, as set or from its child items.
  static bool KeptChildren(const win::TreeItemData* t);
  // The same, asking the parent when it is a callback.
  bool HasChildren(HTREEITEM t);
  // Left edge of the item's icon (or label) column, the view scrolled by xOff.
  int ItemX(const Geometry& g, HTREEITEM t) const;
  // The label of an item whose text is textW wide (-1: measured now).
  win::RECT LabelRect(const Geometry& g, HTREEITEM t, int row, int textW = -1);
  // What a notification says of an item.
  win::TVITEMA ItemOf(HTREEITEM t,
                      win::UINT mask = win::TVIF_PARAM | win::TVIF_STATE | win::TVIF_HANDLE) const;
  HTREEITEM HitTest(win::TVHITTESTINFO* hi);
  win::UINT PartAt(const Geometry& g, HTREEITEM t, int x);

  // --- Selection, expansion, scrolling, editing ---
  bool Select(HTREEITEM t, win::UINT code, win::UINT action);
  bool SelectCaret(HTREEITEM t, win::UINT action);
  bool SetDropTarget(HTREEITEM t);
  bool ScrollToTop(HTREEITEM t);
  win::BOOL Expand(HTREEITEM t, win::UINT code);
  void Collapsed(HTREEITEM t, win::UINT code);
  win::BOOL ResetClosed(HTREEITEM t, win::UINT code);
  // Scrolls the item into view (across too when asked: TVM_ENSUREVISIBLE).
  void EnsureVisible(HTREEITEM t, bool across = false);
  void ScrollAcross(HTREEITEM t);
  // Scrolls to a new top row or left edge (clamped), as the bars and the wheel ask.
  void ScrollTo(int bar, int to);
  int WidestRow(const Rows& rows, bool fixed);
  win::BOOL EndEdit(bool cancel);
  win::HWND EditLabel(HTREEITEM t);
  // Deletes an item and what lies below it (the root: all), with their notifications.
  void Kill(win::TreeItemData* x);
  // An order of sibling items (a strict weak order).
  using Order = std::function<bool(win::TreeItemData*, win::TreeItemData*)>;
  void SortChildren(win::TreeItemData* parent, const Order& before, bool recurse);
  // Sorts the top-level items (and below them when recurse) and repaints.
  win::BOOL SortAll(const Order& before, bool recurse);
  // The item a key moves the caret to, expanding or collapsing on the way (null: none).
  HTREEITEM KeyTarget(win::WORD key, const Rows& rows);

  // --- Messages ---
  Reply SyncBarsMessage(TMessage&) { return 0; }
  Reply VScroll(TMessage& m);
  Reply HScroll(TMessage& m);
  Reply Wheel(TMessage& m);
  Reply InsertItem(TMessage& m);
  Reply DeleteItem(TMessage& m);
  Reply ExpandMessage(TMessage& m);
  Reply GetItemRect(TMessage& m);
  Reply GetCount(TMessage&) { return win::LRESULT(live.size()); }
  Reply GetIndent(TMessage&) { return indent; }
  Reply SetIndent(TMessage& m);
  Reply GetImageList(TMessage& m);
  Reply SetImageList(TMessage& m);
  Reply GetNextItem(TMessage& m);
  Reply GetVisibleItem(win::UINT code, HTREEITEM t);
  Reply SelectItem(TMessage& m);
  Reply GetItem(TMessage& m);
  Reply SetItem(TMessage& m);
  Reply GetItemState(TMessage& m);
  Reply EditLabelMessage(TMessage& m) { return win::LRESULT(EditLabel(HTREEITEM(m.LParam))); }
  Reply GetEditControl(TMessage& m);
  Reply EndEditNow(TMessage& m) { return EndEdit(m.WParam != 0); }
  Reply GetVisibleCount(TMessage&) { return PageRows(); }
  Reply HitTestMessage(TMessage& m);
  Reply EnsureVisibleMessage(TMessage& m);
  Reply SortChildrenMessage(TMessage& m);
  Reply SetItemHeight(TMessage& m);
  Reply GetItemHeight(TMessage&) { return Geo().rowH; }
  Reply SetBkColor(TMessage& m);
  Reply GetBkColor(TMessage&) { return win::LRESULT(bk); }
  Reply SetTextColor(TMessage& m);
  Reply GetTextColor(TMessage&) { return win::LRESULT(text); }
  // A button that went down: ends an edit, takes the focus, gives the item hit.
  HTREEITEM Press(TMessage& m, win::TVHITTESTINFO& hi);
  Reply LeftDown(TMessage& m);
  Reply DoubleClick(TMessage& m);
  Reply RightDown(TMessage& m);
  Reply KeyDown(TMessage& m);
  Reply Char(TMessage& m);
  Reply Paint(TMessage& m);
};
