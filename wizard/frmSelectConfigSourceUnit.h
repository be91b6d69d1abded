#pragma once
// The configuration-source step: the user picks an installation configuration file on a
// server. Created at start-up and kept hidden: the fixed sequence does not reach it.
#include "controls/VcBtnEdt.h"
#include "controls/VcLabel.h"
#include "wizard/frmBaseStepUnit.h"

class TfrmSelectConfigSource : public TFrmStep {
  WI_CLASS(TfrmSelectConfigSource, TFrmStep)
 public:
  explicit TfrmSelectConfigSource(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TVcLabel* VcLabel1 = nullptr;
  TAnimate* Animate1 = nullptr;
  TLabel* Label1 = nullptr;
  TVcButtonEdit* edConfigName = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;

  bool CanGoNext() override { return true; }
  void StepEnter() override;
  void StepLeave() override {}

  void Panel1Resize(TObject* Sender);
  void edConfigNameButtonClick(TObject* Sender);
};

extern TfrmSelectConfigSource* frmSelectConfigSource;
