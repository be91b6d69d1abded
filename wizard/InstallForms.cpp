#include "wizard/InstallForms.h"

#include "platform/forms/Forms.h"
#include "wizard/dmDoInstallUnit.h"
#include "wizard/frmEndInstallUnit.h"
#include "wizard/frmMainUnit.h"
#include "wizard/frmSelectConfigSourceUnit.h"
#include "wizard/frmSelectDriveUnit.h"
#include "wizard/frmSelectItemsUnit.h"
#include "wizard/frmWelcomeUnit.h"

namespace {
const char* const SCaption = " Environnement minimum pour les programmes MARQETO";
const char* const SProductName = "Environnement minimum MARQETO";
const char* const SConfigFile = "install_base.cfg";
const char* const SFilesDir = "Files\\";
const char* const SBaseDir = "Base\\";
}  // namespace

void CreateInstallForms() {
  Application->CreateForm(frmMain);
  Application->CreateForm(dmDoInstall);
  Application->CreateForm(frmSelectItems);
  Application->CreateForm(frmSelectDrive);
  Application->CreateForm(frmSelectConfigSource);
  Application->CreateForm(frmEndInstall);
  Application->CreateForm(frmWelcome);
  frmMain->Setup(SCaption, SConfigFile, SProductName, SFilesDir, SBaseDir);
}
