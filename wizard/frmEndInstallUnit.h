#pragma once
// The end step: the installation report, and its printing.
#include "platform/forms/StdCtrls.h"
#include "wizard/frmBaseStepUnit.h"

class TfrmEndInstall : public TFrmStep {
  WI_CLASS(TfrmEndInstall, TFrmStep)
 public:
  explicit TfrmEndInstall(TComponent* AOwner);

  TPanel* PanelButtons = nullptr;
  TSpeedButton* SpeedButtonPrint = nullptr;
  TPanel* PanelMain = nullptr;
  TRichEdit* RichEditReport = nullptr;
  TPrinterSetupDialog* PrinterSetupDialog = nullptr;

  void GetNextCaption(std::string& Caption) override;
  void StepEnter() override;

  void FormCreate(TObject* Sender);
  void SpeedButtonPrintClick(TObject* Sender);
};

extern TfrmEndInstall* frmEndInstall;

extern const char* const SQuitCaption;
extern const char* const SReportCaption;
extern const char* const SReportPrintTitle;
