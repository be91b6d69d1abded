// machine reg DIR export [KEY] | machine reg DIR import FILE
#include <filesystem>
#include <fstream>
#include <iostream>

#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryTextReader.h"
#include "tools/machine/MachineCommand.h"

namespace {

int RunReg(const std::vector<std::string>& args) {
  RequireArgument(args, 0, "machine folder DIR");
  const std::string& action = RequireArgument(args, 1, "action (export or import)");
  if (action == "export") {
    if (args.size() > 3) throw UsageError("unexpected argument \"" + args[3] + "\"");
    OpenMachineArgument(args, 0);
    std::cout << win::RegExportText(args.size() > 2 ? args[2] : "");
    return 0;
  }
  if (action == "import") {
    const std::string& file = RequireArgument(args, 2, ".reg file to import");
    if (args.size() > 3) throw UsageError("unexpected argument \"" + args[3] + "\"");
    OpenMachineArgument(args, 0);
    std::ifstream in(file, std::ios::binary);
    if (!in || std::filesystem::is_directory(file))
      throw std::runtime_error(file + ": cannot be read");
    try {
      win::RegImportStream(in);
    } catch (const win::RegTextError& e) {
      throw std::runtime_error(file + ": " + e.what() + " (nothing imported)");
    }
    return 0;
  }
  throw UsageError("unknown action \"" + action + "\" (export or import)");
}

const bool registered = RegisterMachineCommand(
    {"reg", "reg DIR export [KEY] | reg DIR import FILE",
     "prints the registry (or the key KEY and below) as REGEDIT4 text, or merges a .reg file "
     "into it (REGEDIT4, or what the registry editor exports)",
     RunReg});

}  // namespace
