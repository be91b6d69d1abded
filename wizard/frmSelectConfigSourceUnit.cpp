#include "wizard/frmSelectConfigSourceUnit.h"

TfrmSelectConfigSource* frmSelectConfigSource = nullptr;

void TfrmSelectConfigSource::DefineProps(TPropList&) {}

