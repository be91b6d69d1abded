#include "wizard/frmWelcomeUnit.h"

namespace {
const char* const SWelcome1 = "Cet assistant va installer ";
const char* const SWelcome2 =
    "Si le programme est déjà installé celui-ci sera conservé. Aucune donnée existante ne sera "
    "supprimée.";
}  // namespace

TfrmWelcome* frmWelcome = nullptr;

void TfrmWelcome::DefineProps(TPropList&) {}

TfrmWelcome::TfrmWelcome(TComponent* AOwner) : TFrmStep(AOwner) {
  // The loader keeps the first name it reads, the step base's; each step has its own.
  SetName("frmWelcome");
  Field("VcLabelInfo", VcLabelInfo);
  Method("FormResize", &TfrmWelcome::FormResize);
}

void TfrmWelcome::SetProductName(const std::string& Name) {
  std::string name = Name.empty() ? "?" : Name;
  VcLabelInfo->SetCaption(SWelcome1 + name + ".\r\n\r\n" + SWelcome2);
}

void TfrmWelcome::FormResize(TObject* Sender) {
  if (!VcLabelInfo) return;
  int w = Width(), h = Height();
  VcLabelInfo->SetBounds(20, h / 3, w - 40, h - h / 3 - 20);
}
