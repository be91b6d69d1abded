#pragma once
// Minimal stand-ins for standard toolkit classes the wizard's forms place and that the
// desktop toolkit does not offer yet: the speed button, rich edit and printer setup dialog. They live in their own namespace so that they
// never clash with the toolkit's classes; RegisterToolkitGaps registers each under its
// toolkit name only when the toolkit has none. When the toolkit ships a class, drop it
// here and point the alias at the toolkit's header.
#include <functional>
#include <string>

#include "platform/forms/Controls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"

namespace wizgap {

class TSpeedButton : public TGraphicControl {
  WI_CLASS(TSpeedButton, TGraphicControl)
 public:
  explicit TSpeedButton(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 23, 22); }
  bool Flat() const { return FFlat; }
  void SetFlat(bool v) { FFlat = v; }

 private:
  bool FFlat = false;
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TRichEdit : public TWinControl {
  WI_CLASS(TRichEdit, TWinControl)
 public:
  explicit TRichEdit(TComponent* owner);
  ~TRichEdit() override;
  TStrings* Lines() const { return FLines; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool v) { FReadOnly = v; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle v) { FScrollBars = v; }
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool v) { FWantReturns = v; }
  // Prints the lines as one job titled Title on the default printer.
  void Print(const std::string& Title);
  // How Print reaches a printer; set by the program (the drawing layer's printer).
  static std::function<void(const std::string& title, const TStrings& lines)> PrintHandler;

 private:
  TStrings* FLines;
  bool FReadOnly = false, FWantReturns = true;
  TScrollStyle FScrollBars = ssNone;
};

class TPrinterSetupDialog : public TComponent {
  WI_CLASS(TPrinterSetupDialog, TComponent)
 public:
  explicit TPrinterSetupDialog(TComponent* owner) : TComponent(owner) {}
  // True when confirmed (answered by the UI script when no one sits at the screen).
  bool Execute();
};

}  // namespace wizgap

using TSpeedButton = wizgap::TSpeedButton;
using TRichEdit = wizgap::TRichEdit;
using TPrinterSetupDialog = wizgap::TPrinterSetupDialog;
using wizgap::ssNone;
using wizgap::ssVertical;

// Registers the classes above under their toolkit names where the toolkit has none yet.
void RegisterToolkitGaps();
