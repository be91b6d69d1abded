#pragma once
// List boxes with a painted frame that can follow focus and the mouse, type-ahead search
// over the item texts, a horizontal extent and wheel scrolling (TVcCustomListBox), and a
// tabbed variant whose tab stops are counted in average character widths, with access to
// the tab-separated cells of a line (TVcTabbedListBox).
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/VcFrame.h"
#include "controls/VcIntLst.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"

class TVcTabbedListBox;

class EHeaderError : public Exception {
 public:
  using Exception::Exception;
};

// Tab stops in average character widths; a negative stop right-aligns at its magnitude.
// Put, Delete and Insert hand the new stops to the list box at once.
class TVcTabStopList : public TIntegerList {
  WI_CLASS(TVcTabStopList, TIntegerList)
 public:
  explicit TVcTabStopList(TVcTabbedListBox* listBox = nullptr);
  TVcTabbedListBox* ListBox() const { return FListBox; }
  void SetListBox(TVcTabbedListBox* lb) { FListBox = lb; }
  void Put(int index, int value) override;
  void Delete(int index) override;
  void Insert(int index, int value) override;

 private:
  void Refresh();
  TVcTabbedListBox* FListBox;
};

class TVcCustomListBox : public TVcFramed<TCustomListBox> {
  WI_CLASS(TVcCustomListBox, TCustomListBox)
 public:
  explicit TVcCustomListBox(TComponent* owner);
  ~TVcCustomListBox() override;

  TStrings* Items() const override { return GetItems(); }

  // The first item whose text begins with s (case-insensitive), or -1.
  virtual int FindString(const std::string& s);
  virtual void DrawItemText(int index, win::RECT rect, TOwnerDrawState state);
  int HorzExtent() const { return FHorzExtent; }
  virtual void SetHorzExtent(int v);
  bool HorzScrollBar() const { return FHorzScrollBar; }
  virtual void SetHorzScrollBar(bool v);
  virtual TStrings* GetItems() const { return TCustomListBox::Items(); }
  // Measures the items and sets HorzExtent (the controls never call it themselves).
  virtual void UpdateHorzExtent();

  bool BeepOnInvalidKey() const { return FBeepOnInvalidKey; }
  void SetBeepOnInvalidKey(bool v) { FBeepOnInvalidKey = v; }
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool v) { FTabOnEnter = v; }
  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}
  bool MouseOver() const { return PointerOver(); }
  const std::string& SearchText() const { return FSearchText; }
  TTimer* SearchTimer() const { return FSearchTimer.get(); }

  // Only with MultiSelect: selects every item.
  void SelectAll();
  // Wheel scrolling by the system's wheel lines; both report the wheel handled.
  virtual bool DoMouseWheelDown(TShiftState shift, win::POINT pos);
  virtual bool DoMouseWheelUp(TShiftState shift, win::POINT pos);
  static constexpr int WheelScrollLines = 3;

  void CreateWnd() override;
  void WndProc(TMessage& msg) override;
  // While WM_SETREDRAW has switched painting off, the frame is not repainted at once.
  void RepaintFrame() override;
  bool Redrawing() const { return FRedraw; }

  TNotifyEvent OnMatch, OnDeleteItems;

 protected:
  virtual void DoMatch() { OnMatch(this); }
  virtual void DoMouseEnter() { OnMouseEnter(this); }
  virtual void DoMouseLeave() { OnMouseLeave(this); }
  virtual void DoDeleteItems() { OnDeleteItems(this); }
  void MouseEnter() override { DoMouseEnter(); }
  void MouseLeave() override { DoMouseLeave(); }
  // The warning of an unmatched key (MessageBeep 0).
  virtual void Beep();
  void DrawItem(int index, win::RECT rect, TOwnerDrawState state) override;
  // Nothing is painted while painting is switched off.
  void Paint() override;
  // The window has its horizontal bar only with HorzScrollBar.
  bool HasHorzScrollBar() const override { return FHorzScrollBar; }
  void IncrementalSearch(const std::string& text, char typed);
  // The widest item text followed by "x", measured on a screen DC with the control's font.
  int WidestItem(const std::function<int(win::HDC, const std::string&)>& measure);
  void SearchTimerExpired(TObject*);
  // Canvas colours of an owner-drawn line for its state, then DrawItem, then the focus mark.
  void DispatchDrawItem(const win::DRAWITEMSTRUCT& dis);

 private:
  void WMChar(TMessage& m);
  std::string FSearchText;
  std::unique_ptr<TTimer> FSearchTimer;
  bool FTyping = false;
  bool FRedraw = true;
  bool FBeepOnInvalidKey = true, FTabOnEnter = false;
  int FHorzExtent = 0;
  bool FHorzScrollBar = false;
};

class TVcTabbedListBox : public TVcCustomListBox {
  WI_CLASS(TVcTabbedListBox, TVcCustomListBox)
 public:
  static constexpr int MaxTabStops = 1000;
  explicit TVcTabbedListBox(TComponent* owner);
  ~TVcTabbedListBox() override;

  TVcTabStopList* TabStops() const { return FTabStops.get(); }
  int AvgCharWidth() const { return FAvgCharWidth; }

  virtual void SetTabStops(TIntegerList* value);
  // At most 1000 stops, each in dialog units (four per average character width).
  virtual std::vector<int> GetTabStopArray() const;
  virtual std::string GetCellText(int column, int row);
  virtual void SetCellText(int column, int row, const std::string& value);
  // Takes the stops from the section widths of a THeader or THeaderControl; any other
  // component is refused with EHeaderError.
  virtual void UpdateFromHeader(TComponent* header);
  void UpdateTabStops();

  void DrawItemText(int index, win::RECT rect, TOwnerDrawState state) override;
  void UpdateHorzExtent() override;
  void CreateWnd() override;

 protected:
  void Loaded() override;
  void FontChanged() override;
  // The tab stops of GetTabStopArray converted to pixels.
  std::vector<int> TabPixels() const;
  // Text with its tabs expanded, clipped to rect, at rect.left + 2, vertically centred.
  void DrawTabbedText(int index, const win::RECT& rect);

 private:
  int FAvgCharWidth = 6;
  std::unique_ptr<TVcTabStopList> FTabStops;
};
