#pragma once
// A step the fixed sequence does not reach yet; created at start-up and kept hidden.
#include "wizard/frmBaseStepUnit.h"

class TfrmSelectDrive : public TFrmStep {
  WI_CLASS(TfrmSelectDrive, TFrmStep)
 public:
  explicit TfrmSelectDrive(TComponent* AOwner) : TFrmStep(AOwner) { SetName("frmSelectDrive"); }
};

extern TfrmSelectDrive* frmSelectDrive;
