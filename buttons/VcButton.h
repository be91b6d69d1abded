#pragma once
// Base of the custom-painted buttons: a windowed control that draws its own caption (plain
// or in a three-dimensional text style), follows the left mouse button to show a pressed
// face, and hands a completed click (released inside) to its descendants as ClickAction.
// It publishes nothing itself; the concrete buttons publish what they use.
#include "controls/VcCommon.h"
#include "platform/forms/Controls.h"
#include "platform/forms/graphics/Graphics.h"

class TVcCustomButton : public TCustomControl {
  WI_CLASS(TVcCustomButton, TCustomControl)
 public:
  explicit TVcCustomButton(TComponent* AOwner);

  TAlignmentVertical AlignmentVertical() const { return FAlignmentVertical; }
  virtual void SetAlignmentVertical(TAlignmentVertical Value);
  bool LightTextStyle() const { return FLightTextStyle; }
  virtual void SetLightTextStyle(bool Value);
  TTextStyle TextStyle() const { return FTextStyle; }
  virtual void SetTextStyle(TTextStyle Value);
  int HighlightColor() const { return FHighlightColor; }
  virtual void SetHighlightColor(int Value);
  int ShadowColor() const { return FShadowColor; }
  virtual void SetShadowColor(int Value);
  int ShadowDepth() const { return FShadowDepth; }
  virtual void SetShadowDepth(int Value);

  bool Pressed() const { return FPressed; }
  bool Tracking() const { return FTracking; }
  bool MouseInControl() const { return FMouseInControl; }

  void WndProc(TMessage& Message) override;

 protected:
  virtual void PressedChanged() {}
  virtual void FocusChanged() { Repaint(); }
  // Draws the caption into Rect on a transparent background with the canvas's font (which
  // the caller set from the control's); Flags are DrawText flags (DT_RIGHT shifts the shadow).
  virtual void DrawCaption(TCanvas* Canvas, TRect Rect, unsigned Flags);
  // A press released inside the control.
  virtual void ClickAction() = 0;
  virtual void MouseEnter();
  virtual void MouseLeave();
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void MouseMove(TShiftState Shift, int X, int Y);

  TAlignmentVertical FAlignmentVertical = avCenter;
  TTextStyle FTextStyle = tsNormal;
  bool FLightTextStyle = false;
  int FHighlightColor = clBtnHighlight;
  int FShadowColor = clBtnShadow;
  int FShadowDepth = 2;
  bool FTracking = false;
  bool FPressed = false;
  bool FMouseInControl = false;

 private:
  // Keeps a new look setting and repaints.
  template <class T>
  void Restyle(T& field, T v) {
    if (v == field) return;
    field = v;
    Invalidate();
  }
  bool InClient(int X, int Y) const {
    return X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
  }
  void DrawCaptionText(win::HDC DC, const std::string& Text, TRect R, unsigned Flags, TColor Color);
};
