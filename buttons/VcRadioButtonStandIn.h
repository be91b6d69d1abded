#pragma once
// Stands in for the painted radio button until the button controls arrive: a standard
// radio button registered under the painted control's class name, so that stored
// descriptions naming TVcRadioButton load now and unchanged later.
#include "platform/forms/StdCtrls.h"

class TVcRadioButton : public TRadioButton {
  WI_CLASS(TVcRadioButton, TRadioButton)
 public:
  explicit TVcRadioButton(TComponent* AOwner) : TRadioButton(AOwner) {}
};
