#pragma once
// The welcome step: names the product and promises that nothing existing is removed.
#include "controls/VcLabel.h"
#include "wizard/frmBaseStepUnit.h"

class TfrmWelcome : public TFrmStep {
  WI_CLASS(TfrmWelcome, TFrmStep)
 public:
  explicit TfrmWelcome(TComponent* AOwner);
  TVcLabel* VcLabelInfo = nullptr;
  void SetProductName(const std::string& Name);
  void FormResize(TObject* Sender);
};

extern TfrmWelcome* frmWelcome;
