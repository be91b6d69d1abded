// Entry of the Install program: one copy at a time, the forms, then the message loop.
#include "platform/forms/Forms.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "wizard/OneInst.h"
#include "wizard/ReportPrinting.h"
#include "wizard/WizardControls.h"
#include "wizard/dmDoInstallUnit.h"
#include "wizard/frmEndInstallUnit.h"
#include "wizard/frmMainUnit.h"
#include "wizard/frmSelectConfigSourceUnit.h"
#include "wizard/frmSelectDriveUnit.h"
#include "wizard/frmSelectItemsUnit.h"
#include "wizard/frmWelcomeUnit.h"

namespace {
const char* const STitle = "Installation minimum MARQETO";
const char* const SCaption = " Environnement minimum pour les programmes MARQETO";
const char* const SProductName = "Environnement minimum MARQETO";
const char* const SConfigFile = "install_base.cfg";
const char* const SFilesDir = "Files\\";
const char* const SBaseDir = "Base\\";
}  // namespace

int main() {
  win::InstallMachineCreator();
  win::Machine::SetProgramName("Install");
  RegisterWizardControls();
  InstallReportPrinter();
  Application->Initialize();
  Application->SetTitle(STitle);
  if (AlreadyRunning()) return 0;
  try {
    Application->CreateForm(frmMain);
    Application->CreateForm(dmDoInstall);
    Application->CreateForm(frmSelectItems);
    Application->CreateForm(frmSelectDrive);
    Application->CreateForm(frmSelectConfigSource);
    Application->CreateForm(frmEndInstall);
    Application->CreateForm(frmWelcome);
    frmMain->Setup(SCaption, SConfigFile, SProductName, SFilesDir, SBaseDir);
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    // Nothing can be shown without the forms; the plan file or a form failed to load.
    Application->ShowException(e);
    return 1;
  }
  Application->Run();
  return 0;
}
