#include "platform/forms/Dialogs.h"

#include <memory>

#include "platform/forms/MessageDialogs.h"
#include "platform/forms/OpenFileDialogForm.h"
#include "platform/forms/PrinterSetupDialogForm.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/graphics/Printers.h"

void TOpenDialog::DefineProps(TPropList& p) {
  p.String("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt);
  p.String("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName);
  p.String("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter);
  p.Int("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex, 1);
  p.String("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir);
  p.Set("Options", &TOpenDialog::Options, &TOpenDialog::SetOptions, {"ofReadOnly",
                                                                     "ofOverwritePrompt",
                                                                     "ofHideReadOnly",
                                                                     "ofNoChangeDir",
                                                                     "ofShowHelp",
                                                                     "ofNoValidate",
                                                                     "ofAllowMultiSelect",
                                                                     "ofExtensionDifferent",
                                                                     "ofPathMustExist",
                                                                     "ofFileMustExist",
                                                                     "ofCreatePrompt",
                                                                     "ofShareAware",
                                                                     "ofNoReadOnlyReturn",
                                                                     "ofNoTestFileCreate",
                                                                     "ofNoNetworkButton",
                                                                     "ofNoLongNames",
                                                                     "ofOldStyleDialog",
                                                                     "ofNoDereferenceLinks",
                                                                     "ofEnableIncludeNotify",
                                                                     "ofEnableSizing"},
        0);
  p.String("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle);
  p.Event("OnClose", &TOpenDialog::OnClose);
  p.Event("OnShow", &TOpenDialog::OnShow);
}

bool TOpenDialog::Execute() {
  OnShow(this);
  std::string title = FTitle.empty() ? "Ouvrir" : FTitle;
  std::optional<std::string> file;
  if (PersonAnswersDialogs()) {
    std::unique_ptr<TOpenFileDialogForm> f(new TOpenFileDialogForm(nullptr));
    f->Setup(*this);
    TModalResult result = ShowDialogModal(f.get());
    if (result == mrOk) {
      file = f->FileName();
      FFilterIndex = f->FilterIndex();
    }
    UiScript::Record(UiScript::DialogRecord{"open", title, "", {}, file.value_or(""), result});
  } else {
    file = UiScript::AnswerOpenDialog(title);
  }
  OnClose(this);
  if (!file) return false;
  FFileName = *file;
  FFiles->Clear();
  FFiles->Add(*file);
  return true;
}

void TPrinterSetupDialog::DefineProps(TPropList&) {}

bool TPrinterSetupDialog::Execute() {
  if (!PersonAnswersDialogs()) return UiScript::AnswerPrinterSetup();
  std::unique_ptr<TPrinterSetupDialogForm> f(new TPrinterSetupDialogForm(nullptr));
  f->Setup(*Printer());
  TModalResult result = ShowDialogModal(f.get());
  if (result == mrOk) f->Apply(*Printer());
  UiScript::Record(UiScript::DialogRecord{
      "printer", f->Caption(), "", {"OK", "Annuler"}, result == mrOk ? "OK" : "Annuler", result});
  return result == mrOk;
}

WI_REGISTER_CLASS(TOpenDialog);
WI_REGISTER_CLASS(TPrinterSetupDialog);
