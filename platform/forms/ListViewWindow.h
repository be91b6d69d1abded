#pragma once
// The window behind TCustomListView: it keeps the items by index (with owner data, only
// their count and states) and the report columns with their header window, and answers the
// LVM_ messages and the user's mouse, keys and wheel, one function a message. Where the
// items lie is ListViewLayout's, the mouse and keys ListViewInput's, painting
// ListViewPainter's.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/ListView.h"
#include "platform/forms/ViewWindow.h"

class ListViewLayout;

struct TCustomListView::Native : ViewWindow {
  // Ends a label edit from the in-place editor (wParam: cancel). Private to the view.
  static constexpr win::UINT LVM_ENDEDITNOW = win::LV_FIRST + 0xFF;
  // Brings the scroll bars up to date. Private to the view.
  static constexpr win::UINT LVM_SYNCBARS = win::LV_FIRST + 0xFE;

  struct SubItem {
    std::string text;
    bool callback = false;
  };
  struct ItemData {
    std::string text;
    bool textCallback = false;
    int image = 0, indent = 0;
    win::UINT state = 0;
    win::LPARAM lParam = 0;
    std::vector<SubItem> subs;  // sub-item 1 is subs[0]
  };
  struct ColumnData {
    std::string text;
    int fmt = win::LVCFMT_LEFT, cx = 50, image = 0;
  };

  explicit Native(TCustomListView& view) : ViewWindow(view), V(view) {}
  ~Native() override;
  // Answers m when it is one of the window's messages.
  bool Answer(TMessage& m);
  void SyncBars(bool force) override;

  void UpdateColumns() { V.UpdateColumns(); }

  TCustomListView& V;
  std::vector<ItemData*> items;
  int virtualCount = 0;
  std::vector<win::UINT> virtualStates;
  std::vector<ColumnData> cols;
  win::HWND header = nullptr;
  bool headerMouse = false, syncingHeader = false;
  win::HIMAGELIST normal = nullptr, small = nullptr, state = nullptr;
  win::COLORREF textBk = win::CLR_NONE;
  int focus = -1, anchor = -1, top = 0, editing = -1, listColW = 0;
  win::DWORD exStyle = 0;
  win::UINT callbackMask = 0;
  // A press that may become a drag: the item, the button and where it went down.
  int dragItem = -1;
  bool dragRight = false;
  win::POINT dragFrom{};
  std::string typed;
  std::uint64_t typedAt = 0;

  // --- The items ---
  bool OwnerData() const { return V.FStyle & win::LVS_OWNERDATA; }
  win::DWORD ViewType() const { return V.FStyle & win::LVS_TYPEMASK; }
  int Count() const { return OwnerData() ? virtualCount : int(items.size()); }
  bool Valid(int i) const { return i >= 0 && i < Count(); }
  win::UINT StateOf(int i) const;
  win::LPARAM ParamOf(int i) const;
  // Asks the parent for what an item leaves to callbacks (LVN_GETDISPINFO), keeping what it
  // says to keep.
  win::LVITEMA DispInfo(int i, int sub, win::UINT mask, char* buf, int size);
  std::string TextOf(int i, int sub);
  int ImageOf(int i);
  int TotalColumnWidth() const;
  ListViewLayout Layout();

  // --- State, selection and scrolling ---
  // One item's state change, asked (ITEMCHANGING) and told (ITEMCHANGED).
  bool ChangeState(int i, win::UINT mask, win::UINT value);
  void SelectOnly(int i);
  void SelectRange(int a, int b, bool keep);
  void Focus(int i) { ChangeState(i, win::LVIS_FOCUSED, win::LVIS_FOCUSED); }
  // Indexes after position `at` move by `d` (an insertion or a deletion).
  void ShiftIndexes(int at, int d);
  void EnsureVisible(int i);
  void ClampTop();
  // Scrolls to a new first row or list column, or (report, across) a new left edge.
  void ScrollTo(bool across, int to);
  // The item in a direction (LVNI_ flags) from start, with the states asked for.
  int NextItem(int start, win::UINT flags);
  int FindItem(int start, const win::LVFINDINFOA* fi);
  void DeleteItem(int i);
  // Orders the items by before (a strict weak order), keeping the focus and the anchor with
  // their items; FALSE with owner data.
  win::BOOL SortItems(const std::function<bool(const ItemData&, const ItemData&)>& before);

  // --- Label editing ---
  win::BOOL EndEdit(bool cancel);
  win::HWND EditLabel(int i);

  // --- Columns ---
  void InsertHeaderItem(int i);
  // Column i's width to fit its texts (and its caption when header).
  int AutoWidth(int i, bool header);

  // The control's own key events (OnKeyDown, OnKeyPress), before the window's answer.
  void ControlKeyDown(win::WORD& key) { V.KeyDown(key, KeyboardShiftState()); }
  void ControlKeyPress(char& c) { V.KeyPress(c); }

  // --- Messages ---
  Reply SyncBarsMessage(TMessage&) { return 0; }
  Reply VScroll(TMessage& m);
  Reply HScroll(TMessage& m);
  Reply Wheel(TMessage& m);
  Reply GetItemCount(TMessage&) { return Count(); }
  Reply SetItemCount(TMessage& m);
  Reply InsertItem(TMessage& m);
  Reply DeleteItemMessage(TMessage& m);
  Reply DeleteAllItems(TMessage& m);
  Reply GetItem(TMessage& m);
  Reply SetItem(TMessage& m);
  Reply SetSubItemText(ItemData* t, const win::LVITEMA& it);
  Reply SetItemFields(int i, win::UINT mask, const win::LVITEMA& it);
  Reply GetItemText(TMessage& m);
  Reply SetItemState(TMessage& m);
  Reply GetItemState(TMessage& m);
  Reply GetSelectedCount(TMessage& m);
  Reply GetNextItem(TMessage& m);
  Reply FindItemMessage(TMessage& m);
  Reply GetItemRect(TMessage& m);
  Reply GetItemPosition(TMessage& m);
  Reply GetStringWidth(TMessage& m);
  Reply HitTest(TMessage& m);
  Reply EnsureVisibleMessage(TMessage& m);
  Reply Scroll(TMessage& m);
  Reply GetTopIndex(TMessage& m);
  Reply GetCountPerPage(TMessage& m);
  Reply Redraw(TMessage& m);
  Reply GetViewRect(TMessage& m);
  Reply EditLabelMessage(TMessage& m) { return win::LRESULT(EditLabel(int(m.WParam))); }
  Reply EndEditNow(TMessage& m) { return EndEdit(m.WParam != 0); }
  Reply GetEditControl(TMessage& m);
  Reply SortItemsMessage(TMessage& m);
  Reply GetColumn(TMessage& m);
  Reply SetColumn(TMessage& m);
  Reply DeleteColumn(TMessage& m);
  Reply GetColumnWidth(TMessage& m);
  Reply SetColumnWidth(TMessage& m);
  Reply GetHeader(TMessage&) { return win::LRESULT(header); }
  win::HIMAGELIST& ImageSlot(win::WPARAM which);
  Reply GetImageList(TMessage& m) { return win::LRESULT(ImageSlot(m.WParam)); }
  Reply SetImageList(TMessage& m);
  Reply SetColor(win::COLORREF& slot, TMessage& m);
  Reply GetBkColor(TMessage&) { return win::LRESULT(bk); }
  Reply SetBkColor(TMessage& m) { return SetColor(bk, m); }
  Reply GetTextColor(TMessage&) { return win::LRESULT(text); }
  Reply SetTextColor(TMessage& m) { return SetColor(text, m); }
  Reply GetTextBkColor(TMessage&) { return win::LRESULT(textBk); }
  Reply SetTextBkColor(TMessage& m) { return SetColor(textBk, m); }
  Reply GetCallbackMask(TMessage&) { return win::LRESULT(callbackMask); }
  Reply SetCallbackMask(TMessage& m);
  Reply GetExtendedStyle(TMessage&) { return win::LRESULT(exStyle); }
  Reply SetExtendedStyle(TMessage& m);
  Reply HeaderNotify(TMessage& m);
  Reply Paint(TMessage& m);
};
