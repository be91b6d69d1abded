#pragma once
// Standard controls: panels, buttons, radio buttons, labels.
#include "platform/forms/Controls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TPanel : public TCustomControl {
  WI_CLASS(TPanel, TCustomControl)
 public:
  explicit TPanel(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 185, 41); }
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut v) { FBevelInner = v; RequestAlign(); }
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut v) { FBevelOuter = v; RequestAlign(); }
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int v) { FBevelWidth = v; RequestAlign(); }
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int v) { FBorderWidth = v; RequestAlign(); }
  // Each bevel takes BevelWidth off every side, the border BorderWidth.
  win::RECT AdjustClientRect() const override;

 private:
  TBevelCut FBevelInner = bvNone, FBevelOuter = bvRaised;
  int FBevelWidth = 1, FBorderWidth = 0;
};

class TButton : public TWinControl {
  WI_CLASS(TButton, TWinControl)
 public:
  explicit TButton(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 75, 25); SetTabStop(true); }
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

class TRadioButton : public TWinControl {
  WI_CLASS(TRadioButton, TWinControl)
 public:
  explicit TRadioButton(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 113, 17); }
  bool Checked() const { return FChecked; }
  // Checking one unchecks its siblings under the same parent.
  void SetChecked(bool v);
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

 private:
  bool FWordWrap = false, FAutoSize = true;
};
