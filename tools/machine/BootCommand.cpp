// machine boot DIR: the simulated restart.
#include "platform/system/Machine.h"
#include "platform/system/Restart.h"
#include "tools/machine/MachineCommand.h"

namespace {

int RunBoot(const std::vector<std::string>& args) {
  if (args.size() > 1) throw UsageError("unexpected argument \"" + args[1] + "\"");
  win::BootMachine(OpenMachineArgument(args, 0));
  return 0;
}

const bool registered = RegisterMachineCommand(
    {"boot", "boot DIR",
     "restarts the PC: delayed moves are carried out, locks released, services and RunOnce "
     "entries started",
     RunBoot});

}  // namespace
