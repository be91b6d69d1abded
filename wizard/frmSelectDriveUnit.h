#pragma once
// The drive step: the local drive and the base folder under which the programs are to be
// installed. Created at start-up and kept hidden: the fixed sequence does not reach it.
#include <string>

#include "controls/VcLabel.h"
#include "wizard/frmBaseStepUnit.h"

class TfrmSelectDrive : public TFrmStep {
  WI_CLASS(TfrmSelectDrive, TFrmStep)
 public:
  explicit TfrmSelectDrive(TComponent* AOwner);

  TPanel* Panel1 = nullptr;
  TVcLabel* VcLabel1 = nullptr;
  TListBox* ListBox1 = nullptr;
  TVcLabel* VcLabel2 = nullptr;
  TEdit* edMarqetoFolder = nullptr;
  TImage* Image2 = nullptr;
  TLabel* Label1 = nullptr;

  // The install type read from the item step when the step is entered.
  std::string InstallType;

  bool CanGoNext() override;
  void StepEnter() override;
  // "[LABEL]", "[]" when the label cannot be read; the label's case follows the letter's.
  std::string GetDriveVolumeLabel(char Letter);

  void FormCreate(TObject* Sender);
  void Panel1Resize(TObject* Sender);

 private:
  void AddDrive(char Letter);
};

extern TfrmSelectDrive* frmSelectDrive;
