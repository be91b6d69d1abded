// The `machine` command: dispatches to the subcommands registered by the other units.
#include <iostream>
#include <string>
#include <vector>

#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "tools/machine/MachineCommand.h"

namespace {
// Error lines stay on one line whatever the message holds: line breaks become blanks, any
// other control byte or byte that is not text is shown escaped.
std::string OneLine(std::string s) {
  for (char& c : s)
    if (c == '\n' || c == '\r') c = ' ';
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return win::EscapeBytes(s);
}
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << "machine: missing command (machine --help lists them)\n";
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << MachineUsageText();
    return 0;
  }
  const MachineCommand* command = FindMachineCommand(args[0]);
  if (!command) {
    std::cerr << "machine: unknown command \"" << OneLine(args[0])
              << "\" (machine --help lists them)\n";
    return 2;
  }
  win::InstallMachineCreator();
  win::Machine::SetProgramName("machine");
  try {
    return command->run(std::vector<std::string>(args.begin() + 1, args.end()));
  } catch (const UsageError& e) {
    std::cerr << "machine " << command->name << ": " << OneLine(e.what()) << " (usage: machine "
              << command->usage << ")\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "machine " << command->name << ": " << OneLine(e.what()) << "\n";
    return 1;
  }
}
