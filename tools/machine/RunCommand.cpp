// machine run DIR PROGRAM [ARGS]: starts a program as the machine would. A native program
// runs (with WINPC and WI_WINDOWS_PATH set) and its exit code is the command's; a Windows
// program is recorded as started.
#include <iostream>

#include "platform/system/CommandLine.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/Shutdown.h"
#include "tools/machine/MachineCommand.h"

namespace {

std::string CodeText(int code) {
  switch (code) {
    case win::SE_ERR_FNF:
      return "file not found";
    case win::SE_ERR_PNF:
      return "path not found";
    case win::SE_ERR_ACCESSDENIED:
      return "access denied";
    case win::SE_ERR_BADFORMAT:
      return "not a program";
    default:
      return "error " + std::to_string(code);
  }
}

int RunRun(const std::vector<std::string>& args) {
  win::Machine& m = OpenMachineArgument(args, 0);
  const std::string& program = RequireArgument(args, 1, "Windows path of the program");
  std::string commandLine = "\"" + program + "\"";
  for (size_t i = 2; i < args.size(); ++i) commandLine += " " + win::QuoteArgument(args[i]);
  win::StartOutcome out = win::StartCommandLine(commandLine, "", win::SW_SHOWNORMAL, true);
  if (out.code <= 32)
    throw std::runtime_error("cannot start " + program + ": " + CodeText(out.code));
  if (!out.native) std::cout << "recorded as started: " << commandLine << "\n";
  if (auto r = win::PendingRestart())
    std::cerr << "machine run: " << (r->program.empty() ? "a program" : r->program)
              << " asked for a restart (machine boot " << m.Dir().string() << " carries it out)\n";
  return out.native ? out.exitCode : 0;
}

const bool registered = RegisterMachineCommand(
    {"run", "run DIR PROGRAM [ARGS...]",
     "starts PROGRAM (e.g. 'D:\\Install.exe') on the machine: a native program runs, a Windows "
     "program is recorded as started",
     RunRun});

}  // namespace
