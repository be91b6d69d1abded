#pragma once
// A step the fixed sequence does not reach yet; created at start-up and kept hidden.
#include "wizard/frmBaseStepUnit.h"

class TfrmSelectConfigSource : public TFrmStep {
  WI_CLASS(TfrmSelectConfigSource, TFrmStep)
 public:
  explicit TfrmSelectConfigSource(TComponent* AOwner) : TFrmStep(AOwner) { SetName("frmSelectConfigSource"); }
};

extern TfrmSelectConfigSource* frmSelectConfigSource;
