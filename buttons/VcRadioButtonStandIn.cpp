#include "buttons/VcRadioButtonStandIn.h"

void TVcRadioButton::DefineProps(TPropList&) {}

WI_REGISTER_CLASS(TVcRadioButton);
