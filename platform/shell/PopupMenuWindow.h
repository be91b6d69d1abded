#pragma once
// The window of a popup menu on the screen, and the modal loop that runs while it shows.
//
// One window per open level (the menu, then each sub-menu opened from it), drawn in the
// classic look with the system menu font: raised border, items with their '&' letter
// underlined, separators, greyed items, the default item in bold, sub-menu arrows, the
// highlighted item in the selection colours. Owner-drawn items are measured and drawn by
// the owner window (WM_MEASUREITEM, WM_DRAWITEM), which also hears WM_INITMENUPOPUP before
// a level opens, WM_MENUSELECT as the highlight moves and WM_MENUCHAR for a letter no item
// underlines.
#include "platform/forms/HintWindow.h"
#include "platform/shell/Menus.h"

class TPopupMenuWindow : public THintWindow {
  WI_CLASS(TPopupMenuWindow, THintWindow)
 public:
  // The window of one level; `notify` is the owner window that draws owner-drawn items.
  TPopupMenuWindow(TComponent* owner, win::HMENU menu, win::HWND notify);
  win::HMENU Menu() const { return FMenu; }
  // Reads the items (measuring owner-drawn ones) and sizes the window to hold them.
  void Measure();
  // Places the window with its top-left corner at a screen point, kept on the screen; a
  // sub-menu (`beside` set: its parent item's screen rectangle) opens to the right of the
  // item, or to its left where the screen ends.
  void PlaceAt(win::POINT at, const win::RECT* beside = nullptr);
  // The item under a point of the window (-1: none, or the border).
  int ItemAt(win::POINT client) const;
  win::RECT ItemRect(int pos) const;
  // The highlighted item (-1: none).
  int Hot() const { return FHot; }
  void SetHot(int pos);
  int Count() const { return int(FItems.size()); }
  // Whether the item can be chosen or opened (not a separator, not greyed).
  bool Selectable(int pos) const;
  // The next selectable item from `from` in a direction (1 down, -1 up), wrapping round.
  int NextSelectable(int from, int step) const;
  // The item whose underlined letter is `ch` (-1: none).
  int ItemWithLetter(char ch) const;

 protected:
  void Paint() override;

 private:
  struct TItem {
    win::UINT state = 0, id = 0;
    win::HMENU sub = nullptr;
    std::string text;
    std::uintptr_t data = 0;
    int top = 0, height = 0;
  };
  void PaintItem(win::HDC dc, int pos);
  win::HMENU FMenu;
  win::HWND FNotify;
  std::vector<TItem> FItems;
  int FHot = -1;
  int FTextWidth = 0;
};

// Shows the menu at a screen point until an item is chosen (its command id) or the menu is
// dismissed (0): Escape, a click outside, the owner losing the keyboard. Without a display
// nothing can answer it: it returns 0 at once, after saving its picture in WI_SNAPSHOT_DIR
// when that is set.
win::UINT TrackPopupMenuWindow(win::HMENU menu, int x, int y, win::HWND owner);
