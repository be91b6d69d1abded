// machine lock DIR PATH: marks a file of the machine as in use until the next boot.
#include <filesystem>

#include "platform/system/Machine.h"
#include "tools/machine/MachineCommand.h"

namespace {

int RunLock(const std::vector<std::string>& args) {
  win::Machine& m = OpenMachineArgument(args, 0);
  const std::string& path = RequireArgument(args, 1, "Windows path of the file to lock");
  if (args.size() > 2) throw UsageError("unexpected argument \"" + args[2] + "\"");
  win::Machine::Resolved r;
  if (!m.Resolve(path, r)) throw std::runtime_error("not a path of the machine: " + path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(r.host, ec))
    throw std::runtime_error("no such file on the machine: " + path);
  m.LockFile(r.host);
  return 0;
}

const bool registered = RegisterMachineCommand(
    {"lock", "lock DIR PATH",
     "holds the file PATH (e.g. 'C:\\WINDOWS\\system32\\msvcrt.dll') in use until the next boot",
     RunLock});

}  // namespace
