#include "tools/machine/MachineCommand.h"

#include <algorithm>

#include "platform/system/Machine.h"

namespace {
std::vector<MachineCommand>& Registry() {
  static std::vector<MachineCommand> commands;
  return commands;
}
}  // namespace

bool RegisterMachineCommand(MachineCommand command) {
  Registry().push_back(std::move(command));
  return true;
}

const std::vector<MachineCommand>& MachineCommands() {
  auto& c = Registry();
  std::stable_sort(c.begin(), c.end(), [](const MachineCommand& a, const MachineCommand& b) {
    return a.name < b.name;
  });
  return c;
}

const MachineCommand* FindMachineCommand(const std::string& name) {
  for (const MachineCommand& c : Registry())
    if (c.name == name) return &c;
  return nullptr;
}

std::string MachineUsageText() {
  std::string out =
      "Usage: machine COMMAND ARGS...\n"
      "Creates and inspects simulated Windows PCs (a machine is a folder).\n\n";
  for (const MachineCommand& c : MachineCommands())
    out += "  machine " + c.usage + "\n      " + c.summary + "\n";
  out += "\nErrors are one line on stderr and a non-zero exit code.\n";
  return out;
}

const std::string& RequireArgument(const std::vector<std::string>& args, size_t index,
                                   const std::string& what) {
  if (index >= args.size() || args[index].empty()) throw UsageError("missing " + what);
  return args[index];
}

win::Machine& OpenMachineArgument(const std::vector<std::string>& args, size_t index) {
  const std::string& dir = RequireArgument(args, index, "machine folder DIR");
  return win::Machine::Use(dir);
}
