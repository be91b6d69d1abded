#include "dbsetup/frmMainUnit.h"

#include <exception>
#include <vector>

#include "buttons/VcRadChk.h"
#include "controls/VcBtnEdt.h"
#include "dbsetup/dmFirebirdInstallUnit.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/system/Libraries.h"
#include "shellcontrols/FScFolderBrowseDlg.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

TdmFirebirdInstall* dmFirebirdInstall = nullptr;
TfrmMain* frmMain = nullptr;

namespace {

const char* const SNotAdmin =
    "Vous devez avoir des droits d'Administrateur pour installer\r\nou désinstaller Firebird!";
const char* const SServerInstalled =
    "L'installation du serveur Firebird est terminée!\r\nCe poste peut aussi fonctionner comme "
    "client, Il n'est\r\npas nécessaire d'installer le client.\r\n\r\n";
const char* const SRestartNeeded =
    "Vous devez redémarrer l'ordinateur avant d'utiliser Firebird.\r\nVoulez-vous redémarrer "
    "maintenant?";
const char* const SClientInstalled = "L'installation du client Firebird est terminée!";
const char* const SUninstalled = "Firebird a été désinstallé!";
const char* const SBrutalRemoveWarning =
    "La désinstallation brutale de Firebird peut provoquer la panne des programmes qui "
    "utilisent les bases de données Firebird. Cette option n'est à utiliser qu'en cas de "
    "problèmes d'installation. Voulez-vous forcer la suppression complète du serveur Firebird "
    "1.5 ?";
const char* const SOneAddress = "Veuillez noter l'adresse IP suivante:";
const char* const SSeveralAddresses = "Veuillez noter les adresses IP suivantes:";
const char* const SClientsNeedIt = "Vous en aurez besoin pour installer les postes clients!";
const char* const SDefaultFolder = "Firebird\\Firebird_1_5";
const char* const SFilesFolder = "Files\\";

// The folder of the running program, with its trailing backslash.
std::string ProgramDir() {
  char buffer[win::MAX_PATH + 1] = {};
  win::DWORD n = win::GetModuleFileName(nullptr, buffer, sizeof(buffer));
  std::string path(buffer, n);
  size_t p = path.find_last_of("\\:");
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

}  // namespace

void TfrmMain::DefineProps(TPropList&) {}

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
  Field("ScFolderBrowseDlg1", ScFolderBrowseDlg1);
  Field("ActionList1", ActionList1);
  Field("Panel1", Panel1);
  Field("bAnnuler", bAnnuler);
  Field("bOK", bOK);
  Field("Panel3", Panel3);
  Field("Panel2", Panel2);
  Field("Image1", Image1);
  Field("VcRadioButton1", VcRadioButton1);
  Field("VcRadioButton2", VcRadioButton2);
  Field("VcRadioButton3", VcRadioButton3);
  Field("Label1", Label1);
  Field("VcButtonEdit1", VcButtonEdit1);
  Field("Bevel1", Bevel1);
  Field("ActionInstallerServeur", ActionInstallerServeur);
  Field("ActionInstallClient", ActionInstallClient);
  Field("ActionOK", ActionOK);
  Field("ActionDesinstaller", ActionDesinstaller);
  Field("VcRadioButton4", VcRadioButton4);
  Field("ActionBrutalRemove", ActionBrutalRemove);

  Method("FormCreate", &TfrmMain::FormCreate);
  Method("ActionList1Update", &TfrmMain::ActionList1Update);
  Method("bAnnulerClick", &TfrmMain::bAnnulerClick);
  Method("ActionOKExecute", &TfrmMain::ActionOKExecute);
  Method("ActionInstallClientExecute", &TfrmMain::ActionInstallClientExecute);
  Method("ActionInstallerServeurExecute", &TfrmMain::ActionInstallerServeurExecute);
  Method("ActionDesinstallerExecute", &TfrmMain::ActionDesinstallerExecute);
  Method("ActionBrutalRemoveExecute", &TfrmMain::ActionBrutalRemoveExecute);
  Method("VcButtonEdit1ButtonClick", &TfrmMain::VcButtonEdit1ButtonClick);
}

TdmFirebirdInstall& TfrmMain::Engine() const {
  if (!dmFirebirdInstall) throw Exception("dmFirebirdInstall is missing");
  return *dmFirebirdInstall;
}

void TfrmMain::FormCreate(TObject*) {
  ArrangePanelButtons(Panel1);
  Image1->SetBounds((Panel2->ClientWidth() - Image1->Width()) / 2,
                    (Panel2->ClientHeight() - Image1->Height()) / 2, Image1->Width(),
                    Image1->Height());

  // A failing folder lookup (an unreadable registry key, no shfolder.dll) must not keep
  // the administrator test from running: it is held back until that test has passed.
  std::exception_ptr lookupFailure;
  try {
    FillInstallFolder();
  } catch (...) {
    lookupFailure = std::current_exception();
  }

  SourceDir = ProgramDir() + SFilesFolder;

  bool admin = false;
  try {
    admin = IsAdmin();
  } catch (const std::exception& e) {
    // Rights that cannot be established: the dialog stays with the reason shown, as after
    // any failure of its start.
    Application->HandleException(e);
    return;
  }
  if (!admin) {
    ShowError(SNotAdmin);
    Application->Terminate();
    return;
  }
  if (lookupFailure) {
    try {
      std::rethrow_exception(lookupFailure);
    } catch (const std::exception& e) {
      Application->HandleException(e);
    }
  }
}

void TfrmMain::FillInstallFolder() {
  std::string dir;
  Engine().GetInstanceDir(kDefaultInstance, dir);
  if (dir.empty()) {
    TWindowsInstaller installer("");
    installer.GetProgramFilesDir(dir);
    dir += SDefaultFolder;
  }
  VcButtonEdit1->SetText(dir);
}

void TfrmMain::ActionList1Update(TAction*, bool&) {
  Label1->SetEnabled(true);
  ActionInstallerServeur->SetEnabled(true);
  ActionInstallClient->SetEnabled(true);
  ActionOK->SetEnabled(true);
}

void TfrmMain::bAnnulerClick(TObject*) { Close(); }

void TfrmMain::ActionOKExecute(TObject*) {
  if (VcRadioButton1->Checked())
    ActionInstallClient->Execute();
  else if (VcRadioButton2->Checked())
    ActionInstallerServeur->Execute();
  else if (VcRadioButton3->Checked())
    ActionDesinstaller->Execute();
  else if (VcRadioButton4->Checked())
    ActionBrutalRemove->Execute();
}

void TfrmMain::ActionInstallerServeurExecute(TObject*) {
  bool NeedReboot = false;
  {
    TBusyScope busy;
    Engine().InstallServer(SourceDir, VcButtonEdit1->Text(), kDefaultInstance, NeedReboot);
    if (!NeedReboot) Engine().StartGuardian();
  }

  std::vector<std::string> addresses;
  TWindowsInstaller::GetLocalIPAddresses(addresses);
  TStringList List;
  for (const auto& a : addresses) List.Add(a);
  AddIpHeader(&List);
  ShowInfo(SServerInstalled + List.Text());

  if (NeedReboot && AskConfirm(SRestartNeeded) == mrYes) RebootWindows();
  Close();
}

void TfrmMain::AddIpHeader(TStrings* List) {
  int N = List->Count();
  if (N == 0) return;
  List->Insert(0, "");
  List->Insert(0, SClientsNeedIt);
  List->Insert(0, N == 1 ? SOneAddress : SSeveralAddresses);
}

void TfrmMain::ActionInstallClientExecute(TObject*) {
  bool NeedReboot = false;  // a client installation offers no restart
  {
    TBusyScope busy;
    Engine().InstallClient(SourceDir, VcButtonEdit1->Text(), kDefaultInstance, NeedReboot);
  }
  ShowInfo(SClientInstalled);
  Close();
}

void TfrmMain::ActionDesinstallerExecute(TObject*) {
  {
    TBusyScope busy;
    Engine().Uninstall(kDefaultInstance);
  }
  ShowInfo(SUninstalled);
}

void TfrmMain::ActionBrutalRemoveExecute(TObject*) {
  if (AskYesNoCancel(SBrutalRemoveWarning) != mrYes) return;
  Repaint();  // the question's box is gone before the work starts
  {
    TBusyScope busy;
    Engine().BrutalRemove(kDefaultInstance);
  }
  ShowInfo(SUninstalled);
}

void TfrmMain::VcButtonEdit1ButtonClick(TObject*) {}
