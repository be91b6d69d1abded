// Tolvane: the database server setup program. One dialog (TfrmMain) over one engine
// (TdmFirebirdInstall); no command-line parameters.
#include <cstdio>
#include <exception>

#include "dbsetup/dmFirebirdInstallUnit.h"
#include "dbsetup/frmMainUnit.h"
#include "platform/forms/Forms.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "toolkit/InstallTools2.h"

namespace {
// The temporary names of the placement engine must differ from run to run: seeded before
// the program proper starts.
const bool g_randomized = (Randomize(), true);

// The forms and the engine go while the toolkit's windows and screen still exist, not
// among the static objects at exit, whose order no unit controls.
struct TApplicationComponents {
  ~TApplicationComponents() {
    Application->DestroyComponents();
    frmMain = nullptr;
    dmFirebirdInstall = nullptr;
  }
};

}  // namespace

int main() {
  TApplicationComponents freeAtEnd;
  try {
    win::StartProgram("Tolvane");
    // Without a user, the answers and actions come from the script named by WI_UI_SCRIPT.
    UiScript::LoadFromEnvironment();

    Application->Initialize();
    Application->SetTitle("");
    dmFirebirdInstall = new TdmFirebirdInstall(Application);
    Application->CreateForm(frmMain);
    Application->Run();
    return 0;
  } catch (const EUiScriptError& e) {
    std::fprintf(stderr, "UI script: %s\n", e.what());
    return 3;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Tolvane: %s\n", e.what());
    return 1;
  }
}
