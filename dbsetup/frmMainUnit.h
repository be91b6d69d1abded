#pragma once
// TfrmMain: Tolvane's one dialog. Four radio buttons choose between installing the
// Firebird client, the server with its client, uninstalling and removing by force; OK runs
// the chosen action through the application's TdmFirebirdInstall.
#include <string>

#include "platform/forms/Forms.h"

class TActionList;
class TAction;
class TPanel;
class TButton;
class TImage;
class TLabel;
class TBevel;
class TStrings;
class TVcRadioButton;
class TVcButtonEdit;
class TScFolderBrowseDlg;
class TdmFirebirdInstall;

class TfrmMain : public TForm {
  WI_CLASS(TfrmMain, TForm)
 public:
  explicit TfrmMain(TComponent* AOwner);

  // Published fields, in the order the description names them.
  TScFolderBrowseDlg* ScFolderBrowseDlg1 = nullptr;
  TActionList* ActionList1 = nullptr;
  TPanel* Panel1 = nullptr;
  TButton* bAnnuler = nullptr;
  TButton* bOK = nullptr;
  TPanel* Panel3 = nullptr;
  TPanel* Panel2 = nullptr;
  TImage* Image1 = nullptr;
  TVcRadioButton* VcRadioButton1 = nullptr;
  TVcRadioButton* VcRadioButton2 = nullptr;
  TVcRadioButton* VcRadioButton3 = nullptr;
  TLabel* Label1 = nullptr;
  TVcButtonEdit* VcButtonEdit1 = nullptr;
  TBevel* Bevel1 = nullptr;
  TAction* ActionInstallerServeur = nullptr;
  TAction* ActionInstallClient = nullptr;
  TAction* ActionOK = nullptr;
  TAction* ActionDesinstaller = nullptr;
  TVcRadioButton* VcRadioButton4 = nullptr;
  TAction* ActionBrutalRemove = nullptr;

  // Published handlers.
  void FormCreate(TObject* Sender);
  void ActionList1Update(TAction* Action, bool& Handled);
  void bAnnulerClick(TObject* Sender);
  void ActionOKExecute(TObject* Sender);
  void ActionInstallClientExecute(TObject* Sender);
  void ActionInstallerServeurExecute(TObject* Sender);
  void ActionDesinstallerExecute(TObject* Sender);
  void ActionBrutalRemoveExecute(TObject* Sender);
  void VcButtonEdit1ButtonClick(TObject* Sender);

  // Puts the heading above a list of IP addresses: singular or plural heading, the
  // sentence about the client workstations, an empty line. An empty list stays empty.
  void AddIpHeader(TStrings* List);

  // The program's folder + "Files\": the source of every installation.
  std::string SourceDir;

 private:
  // The folder field: the registered instance folder, else Program Files +
  // "Firebird\Firebird_1_5".
  void FillInstallFolder();
  TdmFirebirdInstall& Engine() const;
};

// The application's engine (component name dmFirebirdInstall) and dialog, made by the
// program entry before the message loop.
extern TdmFirebirdInstall* dmFirebirdInstall;
extern TfrmMain* frmMain;
