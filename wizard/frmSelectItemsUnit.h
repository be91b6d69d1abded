#pragma once
// The item step: the install type chooses the items; the list shows and explains them.
#include <string>

#include "controls/VcChkLst.h"
#include "platform/forms/StdCtrls.h"
#include "wizard/frmBaseStepUnit.h"

class TfrmSelectItems : public TFrmStep {
  WI_CLASS(TfrmSelectItems, TFrmStep)
 public:
  explicit TfrmSelectItems(TComponent* AOwner);
  ~TfrmSelectItems() override;

  TLabel* Label2 = nullptr;
  TGroupBox* GroupBox1 = nullptr;
  TRadioButton* rbMonoPoste = nullptr;
  TRadioButton* rbServeur = nullptr;
  TRadioButton* rbClient = nullptr;
  TLabel* Label1 = nullptr;
  TVcCheckList* CheckList = nullptr;

  bool CanGoNext() override;

  bool IsItemChecked(const std::string& Name);
  void CheckItem(const std::string& Name);
  void UncheckItem(const std::string& Name);
  void DisableItem(const std::string& Name);
  // "Standalone", "Server", "Client", or empty before a type is chosen.
  std::string GetInstallType();
  // Internal name of the highlighted line, or empty.
  std::string GetSelectedItemName();
  void AddItem(const std::string& Name, const std::string& Text);
  void ApplyInstallType();

  void FormCreate(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void FormResize(TObject* Sender);
  void rbClick(TObject* Sender);
  void CheckListClick(TObject* Sender);

 private:
  int FindItem(const std::string& Name);
  TStringList* ItemNames = nullptr;
  bool FApplying = false;
};

extern TfrmSelectItems* frmSelectItems;
