#pragma once
// Common dialogs. With a UI script they are answered by it ("open", "printer" lines, or
// UiScript::ExpectOpen / ExpectPrinterSetup in tests), and a dialog the script did not
// expect is an error naming it. Without a script they are modal windows for the person at
// the screen (TOpenFileDialogForm, TPrinterSetupDialogForm); without a display either, the
// same error as an unexpected dialog.
#include "platform/forms/Classes.h"

// TOpenDialog's options, as bits of Options().
enum TOpenOption {
  ofReadOnly,
  ofOverwritePrompt,
  ofHideReadOnly,
  ofNoChangeDir,
  ofShowHelp,
  ofNoValidate,
  ofAllowMultiSelect,
  ofExtensionDifferent,
  ofPathMustExist,
  ofFileMustExist,
  ofCreatePrompt,
  ofShareAware,
  ofNoReadOnlyReturn,
  ofNoTestFileCreate,
  ofNoNetworkButton,
  ofNoLongNames,
  ofOldStyleDialog,
  ofNoDereferenceLinks,
  ofEnableIncludeNotify,
  ofEnableSizing
};

class TOpenDialog : public TComponent {
  WI_CLASS(TOpenDialog, TComponent)
 public:
  explicit TOpenDialog(TComponent* owner) : TComponent(owner), FFiles(new TStringList) {}
  std::string FileName() const { return FFileName; }
  void SetFileName(const std::string& v) { FFileName = v; }
  TStrings* Files() const { return FFiles.get(); }
  std::string Filter() const { return FFilter; }
  void SetFilter(const std::string& v) { FFilter = v; }
  int FilterIndex() const { return FFilterIndex; }
  void SetFilterIndex(int v) { FFilterIndex = v; }
  std::string InitialDir() const { return FInitialDir; }
  void SetInitialDir(const std::string& v) { FInitialDir = v; }
  std::string DefaultExt() const { return FDefaultExt; }
  void SetDefaultExt(const std::string& v) { FDefaultExt = v; }
  // The title shown; empty shows "Ouvrir".
  std::string Title() const { return FTitle; }
  void SetTitle(const std::string& v) { FTitle = v; }
  unsigned Options() const { return FOptions; }
  void SetOptions(unsigned v) { FOptions = v; }
  // True when a file was chosen (FileName and Files then hold it, and FilterIndex the
  // type shown then).
  virtual bool Execute();
  TNotifyEvent OnShow, OnClose;

 private:
  std::string FFileName, FFilter, FInitialDir, FDefaultExt, FTitle;
  int FFilterIndex = 1;
  unsigned FOptions = 0;
  std::unique_ptr<TStringList> FFiles;
};

class TPrinterSetupDialog : public TComponent {
  WI_CLASS(TPrinterSetupDialog, TComponent)
 public:
  explicit TPrinterSetupDialog(TComponent* owner) : TComponent(owner) {}
  // True when the user confirmed the settings.
  bool Execute();
};
