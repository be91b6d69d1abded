#include "wizard/frmSelectDriveUnit.h"

TfrmSelectDrive* frmSelectDrive = nullptr;

void TfrmSelectDrive::DefineProps(TPropList&) {}

