#pragma once
// The subcommands of the `machine` tool. Each lives in its own unit and registers itself
// at start with a static RegisterMachineCommand call, so a new subcommand needs no edit
// elsewhere.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace win {
class Machine;
}

struct MachineCommand {
  std::string name;     // "new"
  std::string usage;    // "new DIR [--os VERSION] ..."
  std::string summary;  // one line for --help
  // Receives the arguments after the subcommand's name; returns the exit code.
  std::function<int(const std::vector<std::string>& args)> run;
};

bool RegisterMachineCommand(MachineCommand command);
const std::vector<MachineCommand>& MachineCommands();
const MachineCommand* FindMachineCommand(const std::string& name);
std::string MachineUsageText();

// A command line the subcommand cannot take; reported with its usage, exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes args[index] (a machine folder) the current machine. Throws UsageError when the
// argument is missing, win::MachineError when the folder holds no sound machine.
win::Machine& OpenMachineArgument(const std::vector<std::string>& args, size_t index);
// The argument at index, or a UsageError naming what is missing.
const std::string& RequireArgument(const std::vector<std::string>& args, size_t index,
                                   const std::string& what);
