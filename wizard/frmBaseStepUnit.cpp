#include "wizard/frmBaseStepUnit.h"

const char* const SNextCaption = "Suivant >";

void TFrmStep::DefineProps(TPropList&) {}

TFrmStep::TFrmStep(TComponent* AOwner) : TForm(AOwner) {
  Field("ImageCompany", ImageCompany);
  // Bound by name: a step that publishes its own FormCreate replaces this one.
  Method("FormCreate", &TFrmStep::FormCreate);
}

bool TFrmStep::CanGoNext() { return true; }

TImagePicture* TFrmStep::GetStepImage() {
  return ImageCompany && !ImageCompany->Picture()->Empty() ? ImageCompany->Picture() : nullptr;
}

void TFrmStep::GetNextCaption(std::string& Caption) { Caption = SNextCaption; }
