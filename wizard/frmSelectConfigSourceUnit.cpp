#include "wizard/frmSelectConfigSourceUnit.h"

TfrmSelectConfigSource* frmSelectConfigSource = nullptr;

void TfrmSelectConfigSource::DefineProps(TPropList&) {}

WI_REGISTER_CLASS(TfrmSelectConfigSource);
