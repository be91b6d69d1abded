#pragma once
// Standard controls: panels, buttons, radio buttons, check boxes, labels, group boxes,
// edits and list boxes.
#include <memory>

#include "platform/forms/Controls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
  WI_CLASS(TPanel, TCustomControl)
 public:
  explicit TPanel(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 185, 41); }
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut v) {
    FBevelInner = v;
    RequestAlign();
  }
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut v) {
    FBevelOuter = v;
    RequestAlign();
  }
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int v) {
    FBevelWidth = v;
    RequestAlign();
  }
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int v) {
    FBorderWidth = v;
    RequestAlign();
  }
  // Each bevel takes BevelWidth off every side, the border BorderWidth.
  win::RECT AdjustClientRect() const override;

 private:
  TBevelCut FBevelInner = bvNone, FBevelOuter = bvRaised;
  int FBevelWidth = 1, FBorderWidth = 0;
};

// Base of push buttons, check boxes and radio buttons: Space on the focused button shows it
// pressed and clicks it when it comes up, as the left mouse button does.
class TButtonControl : public TWinControl {
  WI_CLASS(TButtonControl, TWinControl)
 public:
  explicit TButtonControl(TComponent* owner) : TWinControl(owner) {}
  // Drawn pushed in: Space or the left button is down on it.
  bool Pressed() const { return FSpaceDown || FMouseDown; }
  void WndProc(TMessage& msg) override;

 private:
  bool FSpaceDown = false, FMouseDown = false;
};

class TButton : public TButtonControl {
  WI_CLASS(TButton, TButtonControl)
 public:
  explicit TButton(TComponent* owner) : TButtonControl(owner) {
    SetBounds(0, 0, 75, 25);
    SetTabStop(true);
  }
  bool Default() const { return FDefault; }
  void SetDefault(bool v) { FDefault = v; }
  bool Cancel() const { return FCancel; }
  void SetCancel(bool v) { FCancel = v; }
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int v) { FModalResult = v; }
  // Sets the form's modal result, then runs the click.
  void Click() override;

 private:
  bool FDefault = false, FCancel = false;
  int FModalResult = 0;
};

class TRadioButton : public TButtonControl {
  WI_CLASS(TRadioButton, TButtonControl)
 public:
  explicit TRadioButton(TComponent* owner) : TButtonControl(owner) { SetBounds(0, 0, 113, 17); }
  bool Checked() const { return FChecked; }
  // Checking one unchecks its siblings under the same parent. The checked button of a group
  // is its tab stop (see IsGroupTabStop).
  void SetChecked(bool v);
  // Tab stops at one radio button of a group (the buttons sharing a parent): the checked one,
  // or, while none is checked, the first that can take the focus.
  bool IsGroupTabStop() const;
  bool StopsTab() const override { return TabStop() || IsGroupTabStop(); }
  void Click() override;

 private:
  bool FChecked = false;
};

class TLabel : public TGraphicControl {
  WI_CLASS(TLabel, TGraphicControl)
 public:
  explicit TLabel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 65, 17); }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v) { FWordWrap = v; }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v) { FAutoSize = v; }
  // The control its '&' accelerator focuses.
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* c);
  // False for descendants whose Paint draws the whole face (no standard caption under it).
  bool StandardPaint() const { return FStandardPaint; }

 protected:
  void Notification(TComponent* c, TOperation op) override;
  void SetStandardPaint(bool v) { FStandardPaint = v; }

 private:
  bool FStandardPaint = true;
  bool FWordWrap = false, FAutoSize = true;
  TWinControl* FFocusControl = nullptr;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TButtonControl {
  WI_CLASS(TCheckBox, TButtonControl)
 public:
  explicit TCheckBox(TComponent* owner) : TButtonControl(owner) {
    SetBounds(0, 0, 97, 17);
    SetTabStop(true);
  }
  bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return FState; }
  // A change of state runs Click (OnClick), whether the user or the program made it.
  void SetState(TCheckBoxState v);
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool v) { FAllowGrayed = v; }
  // Unchecked -> checked -> grayed (when allowed) -> unchecked.
  void Toggle();
  void UserClick() override { Toggle(); }

 private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
};

class TGroupBox : public TCustomControl {
  WI_CLASS(TGroupBox, TCustomControl)
 public:
  explicit TGroupBox(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 185, 105); }
  // The caption band on top and a 2-pixel frame elsewhere are kept from aligned children.
  win::RECT AdjustClientRect() const override;
};

// Single-line text entry. Positions (SelStart, SelLength) count characters, not bytes.
class TCustomEdit : public TWinControl {
  WI_CLASS(TCustomEdit, TWinControl)
 public:
  explicit TCustomEdit(TComponent* owner);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  // Characters the user may type; 0: no limit. Text set by the program is not cut.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int v) { FMaxLength = v < 0 ? 0 : v; }
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool v) { FAutoSelect = v; }
  int SelStart() const;
  void SetSelStart(int v) { Select(v, 0); }
  int SelLength() const;
  void SetSelLength(int v) { Select(SelStart(), v); }
  std::string SelText() const;
  // Replaces the selection as typing or pasting would (ReadOnly does not apply).
  void SetSelText(const std::string& v);
  void Select(int start, int length);
  void SelectAll() { Select(0, -1); }
  void ClearSelection() { SetSelText(""); }
  void Clear() { SetText(""); }
  // The caret: the end of the selection that moves (with Shift held, or dragging).
  int CaretPos() const;
  // Selects from anchor to caret (characters; either order), as dragging or Shift does.
  void SelectFromTo(int anchor, int caret);
  int AnchorPos() const;
  int LeftMargin() const { return FLeftMargin; }
  int RightMargin() const { return FRightMargin; }
  void SetMargins(int left, int right);
  bool Modified() const { return FModified; }
  void SetModified(bool v) { FModified = v; }
  // The text as the window shows it (a password edit shows other characters).
  virtual std::string DisplayText() const { return GetText(); }
  // Whether the selection shows while the edit does not have the focus.
  virtual bool KeepsSelectionShown() const { return false; }
  void WndProc(TMessage& msg) override;
  TNotifyEvent OnChange;

 protected:
  void TextChanged() override;
  void DoEnter() override;
  virtual void Change() { OnChange(this); }
  void TypeChar(char c);
  void KeyDownEdit(win::WORD key, TShiftState shift);

 private:
  size_t FSelStartB = 0, FSelEndB = 0;  // byte offsets
  size_t FAnchorB = 0;
  bool FReadOnly = false, FAutoSelect = true, FModified = false;
  int FMaxLength = 0;
  int FLeftMargin = 0, FRightMargin = 0;
  bool FDroppingChar = false;
};

class TEdit : public TCustomEdit {
  WI_CLASS(TEdit, TCustomEdit)
 public:
  explicit TEdit(TComponent* owner) : TCustomEdit(owner) {}
};

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };
using TOwnerDrawState =
    unsigned;  // odSelected 1, odGrayed 2, odDisabled 4, odChecked 8, odFocused 16
inline constexpr TOwnerDrawState odSelected = 1, odGrayed = 2, odDisabled = 4, odChecked = 8,
                                 odFocused = 16;
// The item a navigation key moves a list's selection to from `cur` among `count` items, or -1
// where the key does not move it: PgUp/PgDn move by `page` (0: not at all), Left and Right move
// like Up and Down when `sideways`.
int ListKeyTarget(win::WORD key, int cur, int count, int page, bool sideways);

class TCanvas;
using TDrawItemEvent = TEvent<TWinControl*, int, win::RECT, TOwnerDrawState>;

// A list of lines with item data, one or several selected, scrolled by whole items. The
// LB_ messages are its interface; Items and the properties go through them.
class TCustomListBox : public TCustomControl {
  WI_CLASS(TCustomListBox, TCustomControl)
 public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;
  // Virtual: a descendant may serve its lines through a strings object of its own.
  virtual TStrings* Items() const { return FItems.get(); }
  int Count() const { return int(FList.size()); }
  int ItemIndex() const;
  void SetItemIndex(int v);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool v) { FMultiSelect = v; }
  bool Selected(int i) const;
  void SetSelected(int i, bool v);
  int SelCount() const;
  int TopIndex() const { return FTopIndex; }
  void SetTopIndex(int v);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int v);
  TListBoxStyle Style() const { return FStyle; }
  void SetStyle(TListBoxStyle v) {
    FStyle = v;
    Invalidate();
  }
  bool Sorted() const { return FSorted; }
  void SetSorted(bool v);
  int TabWidth() const { return FTabWidth; }
  void SetTabWidth(int v);
  // Tab stops in dialog units as LB_SETTABSTOPS left them (empty: every 32).
  const std::vector<int>& TabStops() const { return FTabStops; }
  int HorizontalExtent() const { return FHorizontalExtent; }
  // How far the lines are scrolled to the left (pixels), beside the horizontal extent.
  int LeftPos() const { return FLeftPos; }
  void SetLeftPos(int v);
  // The client area: inside the sunken edge, less the scroll bars.
  int ClientEdge() const override { return 2; }
  // The bars follow the lines: the vertical one counts items (page: the whole items
  // shown), the horizontal one the horizontal extent in pixels (page: the client width).
  void UpdateScrollBars() override;
  win::RECT ItemRect(int i) const;
  // The item under a point of the client area, or -1.
  int ItemAtPos(int x, int y) const;
  void Clear() { Perform(win::LB_RESETCONTENT); }
  // Selects an item as a click would (scrolls it into view, runs OnClick).
  void SelectByUser(int index);
  void WndProc(TMessage& msg) override;
  TDrawItemEvent OnDrawItem;

 protected:
  void Paint() override;
  // Owner-drawn items: runs OnDrawItem, or writes the text on the canvas.
  virtual void DrawItem(int index, win::RECT rect, TOwnerDrawState state);
  bool WantsKey(win::WORD key) const override;
  void Resize() override;
  // Whether the window has a horizontal bar (WS_HSCROLL, as list boxes have by default): the
  // bar then shows while the horizontal extent is wider than the list.
  virtual bool HasHorzScrollBar() const { return true; }

 private:
  struct Item {
    std::string text;
    std::uintptr_t data = 0;
    bool selected = false;
  };
  int Insert(int index, const std::string& s);
  int VisibleCount() const;
  void MakeVisible(int i);
  std::vector<Item> FList;
  std::unique_ptr<TStrings> FItems;
  int FCurSel = -1, FTopIndex = 0, FItemHeight = 13, FTabWidth = 0, FHorizontalExtent = 0,
      FLeftPos = 0;
  bool FMultiSelect = false, FSorted = false;
  TListBoxStyle FStyle = lbStandard;
  std::vector<int> FTabStops;
  friend class TListBoxStrings;
};

class TListBox : public TCustomListBox {
  WI_CLASS(TListBox, TCustomListBox)
 public:
  explicit TListBox(TComponent* owner) : TCustomListBox(owner) {}
};
