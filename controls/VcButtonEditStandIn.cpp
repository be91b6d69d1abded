#include "controls/VcButtonEditStandIn.h"

void TVcButtonEdit::DefineProps(TPropList& p) {
  p.Event("OnButtonClick", &TVcButtonEdit::OnButtonClick);
}

void RegisterVcButtonEditStandIn() { RegisterClass<TVcButtonEdit>(); }
