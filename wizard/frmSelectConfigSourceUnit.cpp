#include "wizard/frmSelectConfigSourceUnit.h"

#include "wizard/dmDoInstallUnit.h"

namespace {
const char* const SSearchHint =
    "Rechercher sur le serveur le répertoire WMarqeto et\r\nsélectionner le fichier Install.cfg";
}  // namespace

TfrmSelectConfigSource* frmSelectConfigSource = nullptr;

void TfrmSelectConfigSource::DefineProps(TPropList&) {}

TfrmSelectConfigSource::TfrmSelectConfigSource(TComponent* AOwner) : TFrmStep(AOwner) {
  // The loader keeps the first name it reads, the step base's; each step has its own.
  SetName("frmSelectConfigSource");
  Field("Panel1", Panel1);
  Field("VcLabel1", VcLabel1);
  Field("Animate1", Animate1);
  Field("Label1", Label1);
  Field("edConfigName", edConfigName);
  Field("OpenDialog1", OpenDialog1);
  Method("Panel1Resize", &TfrmSelectConfigSource::Panel1Resize);
  Method("edConfigNameButtonClick", &TfrmSelectConfigSource::edConfigNameButtonClick);
}

void TfrmSelectConfigSource::Panel1Resize(TObject* Sender) {
  if (!VcLabel1) return;
  VcLabel1->SetBounds(20, 20, Panel1->Width() - 40, Panel1->Height() - 40);
}

void TfrmSelectConfigSource::StepEnter() {
  TFrmStep::StepEnter();
  Animate1->SetVisible(false);
  VcLabel1->SetCaption(SSearchHint);
}

void TfrmSelectConfigSource::edConfigNameButtonClick(TObject* Sender) {
  OpenDialog1->SetFileName(dmDoInstall ? dmDoInstall->GetDefaultConfigFile() : "");
  if (OpenDialog1->Execute()) edConfigName->SetText(OpenDialog1->FileName());
}
