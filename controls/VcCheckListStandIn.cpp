#include "controls/VcCheckListStandIn.h"

void TVcCheckList::DefineProps(TPropList& p) {
  p.Object("Items", &TVcCheckList::Items);
  p.Int("ItemHeight", &TVcCheckList::ItemHeight, &TVcCheckList::SetItemHeight, 16);
}

WI_REGISTER_CLASS(TVcCheckList);
