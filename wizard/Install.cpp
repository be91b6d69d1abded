// Entry of the Install program: one copy at a time, the forms, then the message loop.
#include <cstdio>

#include "platform/forms/Forms.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "wizard/InstallForms.h"
#include "wizard/OneInst.h"
#include "wizard/ReportPrinting.h"

namespace {
const char* const STitle = "Installation minimum MARQETO";
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
    CreateInstallForms();
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
