// Entry of the Install program: one copy at a time, the forms, then the message loop.
#include <cstdio>

#include "platform/forms/Forms.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "wizard/OneInst.h"
#include "wizard/ReportPrinting.h"
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
  int exitCode = 0;
  try {
    win::StartProgram("Install");
    InstallReportPrinter();
    // Without a user, the answers and actions come from the script named by WI_UI_SCRIPT.
    UiScript::LoadFromEnvironment();

    Application->Initialize();
    Application->SetTitle(STitle);
    if (AlreadyRunning()) return 0;
    Application->CreateForm(frmMain);
    Application->CreateForm(dmDoInstall);
    Application->CreateForm(frmSelectItems);
    Application->CreateForm(frmSelectDrive);
    Application->CreateForm(frmSelectConfigSource);
    Application->CreateForm(frmEndInstall);
    Application->CreateForm(frmWelcome);
    frmMain->Setup(SCaption, SConfigFile, SProductName, SFilesDir, SBaseDir);
    Application->Run();
  } catch (const EUiScriptError& e) {
    std::fprintf(stderr, "UI script: %s\n", e.what());
    exitCode = 3;
  } catch (const std::exception& e) {
    // A form or the plan file could not be read: the wizard cannot go on. Tell the user,
    // and leave a trace for unattended runs.
    std::fprintf(stderr, "Install: %s\n", e.what());
    exitCode = 1;
    try {
      Application->ShowException(e);
    } catch (const EUiScriptError&) {
    }
  }
  // The forms go while the program's units are all still there.
  Application->DestroyComponents();
  ReleaseInstanceToken();
  return exitCode;
}
