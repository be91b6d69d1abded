#include "buttons/VcRadioButtonStandIn.h"

void TVcRadioButton::DefineProps(TPropList&) {}

void RegisterVcRadioButtonStandIn() { RegisterClass<TVcRadioButton>(); }
