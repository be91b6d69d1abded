#include "platform/forms/Dialogs.h"

#include "platform/forms/UiScript.h"

void TOpenDialog::DefineProps(TPropList& p) {
  p.String("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt);
  p.String("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName);
  p.String("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter);
  p.Int("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex, 1);
  p.String("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir);
  p.Set("Options", &TOpenDialog::Options, &TOpenDialog::SetOptions,
        {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp",
         "ofNoValidate", "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist",
         "ofFileMustExist", "ofCreatePrompt", "ofShareAware", "ofNoReadOnlyReturn",
         "ofNoTestFileCreate", "ofNoNetworkButton", "ofNoLongNames", "ofOldStyleDialog",
         "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing"},
        0);
  p.String("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle);
  p.Event("OnClose", &TOpenDialog::OnClose);
  p.Event("OnShow", &TOpenDialog::OnShow);
}

bool TOpenDialog::Execute() {
  OnShow(this);
  auto file = UiScript::AnswerOpenDialog(FTitle.empty() ? "Ouvrir" : FTitle);
  OnClose(this);
  if (!file) return false;
  FFileName = *file;
  FFiles->Clear();
  FFiles->Add(*file);
  return true;
}

void TPrinterSetupDialog::DefineProps(TPropList&) {}

bool TPrinterSetupDialog::Execute() { return UiScript::AnswerPrinterSetup(); }

WI_REGISTER_CLASS(TOpenDialog);
WI_REGISTER_CLASS(TPrinterSetupDialog);
