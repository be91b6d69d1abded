#pragma once
// Controls: TControl (bounds, alignment, visibility, colour, font, caption, hints, actions,
// mouse events), TWinControl (window handle and procedure, ordered children, focus, tab
// order), TCustomControl and TGraphicControl (painted; the drawing layer supplies the
// canvas through ControlCanvasFactory).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Colors.h"
#include "platform/forms/Messages.h"

class TCanvas;  // the drawing layer's
class TAction;
struct WindowScrollBars;  // ScrollBars.cpp
struct WindowScrollBarsDeleter {
  void operator()(WindowScrollBars* d) const;
};
class TWinControl;
class TControl;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = unsigned;
inline constexpr TAnchors DefaultAnchors = (1u << akLeft) | (1u << akTop);
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;
inline constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16,
                             ssMiddle = 32, ssDouble = 64;
using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TKeyEvent = TEvent<TObject*, win::WORD&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;

// Supplies the canvas of painted controls and forms (installed by the drawing layer).
// Plain pointers: set before any start-up code runs and never destroyed, so controls made
// early or freed late still reach them.
extern TCanvas* (*ControlCanvasFactory)(TControl*);
extern void (*ControlCanvasDeleter)(TCanvas*);
// Paints a control's window now (installed by a display back-end; null: Repaint only
// invalidates).
extern void (*ControlRepaintHook)(TControl*);
// Counts the Invalidate calls of every control, so a display knows when to repaint.
std::uint64_t ControlChangeCount();

class TFont : public TPersistent {
  WI_CLASS(TFont, TPersistent)
 public:
  std::string Name() const { return FName; }
  void SetName(const std::string& v) {
    if (v != FName) {
      FName = v;
      Changed();
    }
  }
  int Height() const { return FHeight; }
  void SetHeight(int v) {
    if (v != FHeight) {
      FHeight = v;
      Changed();
    }
  }
  int Size() const { return FHeight < 0 ? (-FHeight * 72 + 48) / 96 : FHeight; }
  void SetSize(int v) { SetHeight(-(v * 96 + 36) / 72); }
  int Color() const { return FColor; }
  void SetColor(int v) {
    if (v != FColor) {
      FColor = v;
      Changed();
    }
  }
  unsigned Style() const { return FStyle; }  // fsBold 1, fsItalic 2, fsUnderline 4, fsStrikeOut 8
  void SetStyle(unsigned v) {
    if (v != FStyle) {
      FStyle = v;
      Changed();
    }
  }
  int Charset() const { return FCharset; }
  void SetCharset(int v) { FCharset = v; }
  void Assign(TPersistent* source) override;
  TNotifyEvent OnChange;

 private:
  void Changed() { OnChange(this); }
  std::string FName = "MS Sans Serif";
  int FHeight = -11;
  int FColor = clWindowText;
  unsigned FStyle = 0;
  int FCharset = 1;
};

class TSizeConstraints : public TPersistent {
  WI_CLASS(TSizeConstraints, TPersistent)
 public:
  int MinWidth() const { return FMinWidth; }
  void SetMinWidth(int v) { FMinWidth = v; }
  int MinHeight() const { return FMinHeight; }
  void SetMinHeight(int v) { FMinHeight = v; }
  int MaxWidth() const { return FMaxWidth; }
  void SetMaxWidth(int v) { FMaxWidth = v; }
  int MaxHeight() const { return FMaxHeight; }
  void SetMaxHeight(int v) { FMaxHeight = v; }
  void Apply(int& w, int& h) const;

 private:
  int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

class TControl : public TComponent {
  WI_CLASS(TControl, TComponent)
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);
  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int left, int top, int width, int height);
  win::RECT BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
  virtual win::RECT ClientRect() const { return {0, 0, ClientWidth(), ClientHeight()}; }
  virtual int ClientWidth() const { return FWidth; }
  virtual int ClientHeight() const { return FHeight; }
  virtual void SetClientWidth(int v) { SetWidth(v + FWidth - ClientWidth()); }
  virtual void SetClientHeight(int v) { SetHeight(v + FHeight - ClientHeight()); }
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign v);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors v) { FAnchors = v; }
  TSizeConstraints* Constraints() const { return FConstraints.get(); }
  bool Visible() const { return FVisible; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible here and in every parent.
  bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool v);
  int Color() const { return FColor; }
  void SetColor(int v);
  bool ParentColor() const { return FParentColor; }
  // The colour a control of its class has unless told otherwise (not stored).
  virtual int DefaultColor() const { return FDefaultColor; }
  void SetParentColor(bool v);
  TFont* Font() const { return FFont.get(); }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool v);
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& v) { SetText(v); }
  std::string Text() const { return GetText(); }
  void SetText(const std::string& v);
  std::string Hint() const { return FHint; }
  void SetHint(const std::string& v) { FHint = v; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool v);
  int Cursor() const { return FCursor; }
  void SetCursor(int v) { FCursor = v; }
  TAction* Action() const { return FAction; }
  void SetAction(TAction* a);
  bool IsMouseInside() const { return FMouseInside; }

  // Messages reach a control through Perform (graphic controls) or its window procedure.
  win::LRESULT Perform(win::UINT msg, win::WPARAM wParam = 0, win::LPARAM lParam = 0);
  virtual void WndProc(TMessage& msg);
  // What the user's click does (a mouse click inside, BM_CLICK): Click, unless the
  // control first changes state (check boxes toggle, speed buttons go down).
  virtual void UserClick() { Click(); }
  virtual void Click();
  virtual void DblClick() { OnDblClick(this); }
  // The wheel turned `delta` (120 a notch, positive away from the user) with the pointer at
  // `pos` (screen): DoMouseWheelDown or DoMouseWheelUp. False when neither took it; the
  // window then scrolls by itself.
  virtual bool DoMouseWheel(TShiftState shift, int delta, win::POINT pos);
  virtual bool DoMouseWheelDown(TShiftState shift, win::POINT pos) { return false; }
  virtual bool DoMouseWheelUp(TShiftState shift, win::POINT pos) { return false; }
  void Invalidate();
  int InvalidateCount() const { return FInvalidateCount; }
  // Paints the control at once where a display shows it (else as Invalidate).
  virtual void Repaint();
  // Puts the control above its siblings (last in its parent's list).
  void BringToFront();
  // Called by the action the control follows.
  virtual void ActionChange(bool checkDefaults);
  // The form the control sits on.
  TWinControl* ParentForm() const;

  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* parent) override;

  TNotifyEvent OnClick, OnDblClick, OnResize, OnMouseEnter, OnMouseLeave;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

 protected:
  virtual std::string GetText() const { return FText; }
  // Keeps a new text (controls that hold it elsewhere, such as lines, override it).
  virtual void StoreText(const std::string& v) { FText = v; }
  virtual void TextChanged() {}
  virtual void Resize() { OnResize(this); }
  virtual void FontChanged();
  virtual void MouseDown(TMouseButton b, TShiftState s, int x, int y) {
    OnMouseDown(this, b, s, x, y);
  }
  virtual void MouseUp(TMouseButton b, TShiftState s, int x, int y);
  void Notification(TComponent* c, TOperation op) override;
  void Loaded() override;
  virtual void RequestAlign();
  bool FMouseInside = false;
  std::string FText;

 private:
  TWinControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  TAlign FAlign = alNone;
  TAnchors FAnchors = DefaultAnchors;
  std::unique_ptr<TSizeConstraints> FConstraints;
  bool FVisible = true, FEnabled = true;
  int FColor = clBtnFace;
  bool FParentColor = true;

 protected:
  // Controls with a colour of their own (edits, lists: clWindow) set it in their constructor.
  void SetOwnColor(int c) {
    FColor = FDefaultColor = c;
    FParentColor = false;
  }

 private:
  int FDefaultColor = clBtnFace;
  std::unique_ptr<TFont> FFont;
  bool FParentFont = true;
  std::string FHint;
  bool FShowHint = false, FParentShowHint = true;
  int FCursor = 0;
  TAction* FAction = nullptr;
  int FInvalidateCount = 0;
  bool FPressed = false;
  friend class TWinControl;
};

class TWinControl : public TControl {
  WI_CLASS(TWinControl, TControl)
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  // The window handle, made on first use.
  win::HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  virtual void CreateWnd();
  virtual void DestroyWnd();
  void RecreateWnd();
  // Finds the control a handle belongs to.
  static TWinControl* FindControl(win::HWND h);

  int ControlCount() const { return int(FControls.size()); }
  TControl* Controls(int i) const { return FControls.at(i); }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  bool ContainsControl(const TControl* c) const;
  void AlignControls();
  // The client area left to aligned children (panels take their bevels off it).
  virtual win::RECT AdjustClientRect() const { return ClientRect(); }
  // The frame the control draws round its client area and scroll bars (the sunken edge of
  // lists and views): the bars sit inside it.
  virtual int ClientEdge() const { return 0; }
  // The client area in the control's own coordinates: inside the frame, less the scroll bars
  // shown. ClientWidth and ClientHeight are its size.
  win::RECT ClientBounds() const;
  int ClientWidth() const override;
  int ClientHeight() const override;
  // Brings the scroll bars in line with the content; GetScrollInfo and the bars' mouse
  // handling call it first, so controls that work their bars out lazily override it.
  virtual void UpdateScrollBars() {}
  // The scroll bars' state (ScrollBars.h), made on first use when `create`.
  WindowScrollBars* ScrollBarData(bool create);

  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool v) { FTabStop = v; }
  // Whether Tab stops here (TabStop; a radio group stops at one of its buttons).
  virtual bool StopsTab() const { return FTabStop; }
  int TabOrder() const;
  void SetTabOrder(int v);
  // Children that take part in tabbing, in tab order.
  std::vector<TWinControl*> TabList() const;
  bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();
  // Moves the focus from current to the next tab stop of this form.
  TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop);
  // A control inside this one is being freed (a form forgets it as its active control).
  virtual void ControlFreed(TControl*) {}
  void SetBounds(int left, int top, int width, int height) override;
  void WndProc(TMessage& msg) override;
  void SetEnabled(bool v) override;
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

  TNotifyEvent OnEnter, OnExit;
  TKeyEvent OnKeyDown, OnKeyUp;
  TKeyPressEvent OnKeyPress;

 protected:
  virtual void KeyDown(win::WORD& key, TShiftState shift) { OnKeyDown(this, key, shift); }
  virtual void KeyPress(char& key) { OnKeyPress(this, key); }
  virtual bool WantsKey(win::WORD key) const { return false; }
  virtual void DoEnter() { OnEnter(this); }
  virtual void DoExit() { OnExit(this); }
  void Loaded() override;
  void RequestAlign() override;
  void FontChanged() override;

 private:
  win::HWND FHandle = nullptr;
  std::unique_ptr<WindowScrollBars, WindowScrollBarsDeleter> FScrollBars;
  std::vector<TControl*> FControls;
  bool FTabStop = false;
  bool FAligning = false;
  friend class TControl;
};

class TCustomControl : public TWinControl {
  WI_CLASS(TCustomControl, TWinControl)
 public:
  explicit TCustomControl(TComponent* owner) : TWinControl(owner) {}
  ~TCustomControl() override;
  TCanvas* Canvas();
  void WndProc(TMessage& msg) override;

 protected:
  virtual void Paint() {}

 private:
  TCanvas* FCanvas = nullptr;
};

class TGraphicControl : public TControl {
  WI_CLASS(TGraphicControl, TControl)
 public:
  explicit TGraphicControl(TComponent* owner) : TControl(owner) {}
  ~TGraphicControl() override;
  TCanvas* Canvas();
  void WndProc(TMessage& msg) override;

 protected:
  virtual void Paint() {}

 private:
  TCanvas* FCanvas = nullptr;
};

// The control under a window handle, or null.
TWinControl* FindControl(win::HWND h);
// The control with the keyboard focus, or null.
TWinControl* FocusedControl();
// Mouse tracking: the pointer is now over c (null: over no form). The controls it left get
// CM_MOUSELEAVE (innermost first), those it entered CM_MOUSEENTER (outermost first); a parent
// the pointer stays inside hears nothing, so each control sees each of its crossings once.
void TrackMouseControl(TControl* c);
// The innermost control the pointer is over, or null.
TControl* MouseControl();
// The modifier keys held while a key or character message is handled (set by whoever
// delivers keyboard input: the display back-end, the UI driver).
TShiftState KeyboardShiftState();
void SetKeyboardShiftState(TShiftState s);
