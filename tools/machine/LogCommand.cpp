// machine log DIR: the journal of what programs did to the machine.
#include <iostream>

#include "platform/system/Machine.h"
#include "tools/machine/MachineCommand.h"

namespace {

int RunLog(const std::vector<std::string>& args) {
  win::Machine& m = OpenMachineArgument(args, 0);
  if (args.size() > 1) throw UsageError("unexpected argument \"" + args[1] + "\"");
  for (const win::JournalEntry& e : m.ReadJournal())
    std::cout << e.time << "  " << e.program << "  " << e.kind << "  " << e.text << "\n";
  return 0;
}

const bool registered = RegisterMachineCommand(
    {"log", "log DIR", "prints the journal: files, registry values, services, programs started",
     RunLog});

}  // namespace
