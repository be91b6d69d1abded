#include "wizard/frmSelectDriveUnit.h"

TfrmSelectDrive* frmSelectDrive = nullptr;

void TfrmSelectDrive::DefineProps(TPropList&) {}

WI_REGISTER_CLASS(TfrmSelectDrive);
