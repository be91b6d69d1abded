#pragma once
// TFrmStep: the contract of every wizard step. The frame places a step borderless in its
// step panel and talks to it only through these operations.
#include <string>

#include "platform/forms/Forms.h"
#include "wizard/WizardControls.h"

class TFrmStep : public TForm {
  WI_CLASS(TFrmStep, TForm)
 public:
  explicit TFrmStep(TComponent* AOwner);

  TImage* ImageCompany = nullptr;

  virtual bool CanGoNext();
  // The picture shown in the frame's picture panel, or null.
  virtual TImagePicture* GetStepImage();
  virtual void GetNextCaption(std::string& Caption);
  // Called by the frame after the step is shown.
  virtual void StepEnter() {}
  // Called by the frame when Next leaves the step (not on Back).
  virtual void StepLeave() {}

  void FormCreate(TObject* Sender) {}
};

extern const char* const SNextCaption;
