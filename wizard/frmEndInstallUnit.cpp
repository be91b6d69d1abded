#include "wizard/frmEndInstallUnit.h"

#include "platform/forms/graphics/StockIcons.h"
#include "wizard/frmMainUnit.h"

const char* const SQuitCaption = "Quitter";
const char* const SReportCaption = "Rapport d'installation";
const char* const SReportPrintTitle = "Update report";

TfrmEndInstall* frmEndInstall = nullptr;

void TfrmEndInstall::DefineProps(TPropList&) {}

TfrmEndInstall::TfrmEndInstall(TComponent* AOwner) : TFrmStep(AOwner) {
  // The loader keeps the first name it reads, the step base's; each step has its own.
  SetName("frmEndInstall");
  Field("PanelButtons", PanelButtons);
  Field("SpeedButtonPrint", SpeedButtonPrint);
  Field("PanelMain", PanelMain);
  Field("RichEditReport", RichEditReport);
  Field("PrinterSetupDialog", PrinterSetupDialog);
  Method("FormCreate", &TfrmEndInstall::FormCreate);
  Method("SpeedButtonPrintClick", &TfrmEndInstall::SpeedButtonPrintClick);
}

void TfrmEndInstall::FormCreate(TObject* Sender) {
  TFrmStep::FormCreate(Sender);
  SetActiveControl(RichEditReport);
  PanelButtons->SetHeight(32);
  SpeedButtonPrint->SetBounds(4, 4, 24, 24);
  // The printer glyph with its disabled look (two images: the strip sets NumGlyphs).
  SpeedButtonPrint->Glyph()->LoadFromBmp(win::PictureBmp(win::DrawPrinterGlyph()));
}

void TfrmEndInstall::GetNextCaption(std::string& Caption) {
  if (frmMain && !frmMain->NextInstaller.empty())
    TFrmStep::GetNextCaption(Caption);
  else
    Caption = SQuitCaption;
}

void TfrmEndInstall::StepEnter() {
  TFrmStep::StepEnter();
  PanelButtons->SetCaption(SReportCaption);
}

void TfrmEndInstall::SpeedButtonPrintClick(TObject* Sender) {
  if (PrinterSetupDialog->Execute()) RichEditReport->Print(SReportPrintTitle);
}
