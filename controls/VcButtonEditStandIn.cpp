#include "controls/VcButtonEditStandIn.h"

void TVcButtonEdit::DefineProps(TPropList& p) {
  p.Event("OnButtonClick", &TVcButtonEdit::OnButtonClick);
}

WI_REGISTER_CLASS(TVcButtonEdit);
