// machine services DIR [NAME [--fails-to-start yes|no] [--start-delay MS] [--stop-hangs yes|no]
// [--before-creation]]:
// lists the services of the machine, or sets how one of them behaves when started and stopped.
#include <iostream>
#include <optional>

#include "platform/system/Machine.h"
#include "platform/system/Services.h"
#include "tools/machine/MachineCommand.h"

namespace {

bool YesNo(const std::string& option, const std::string& value) {
  if (value == "yes") return true;
  if (value == "no") return false;
  throw UsageError(option + " takes yes or no, not \"" + value + "\"");
}

void Print(const win::ServiceInfo& s) {
  std::cout << s.name << "  \"" << s.displayName << "\""
            << (s.markedForDeletion ? "  (marked for deletion)" : "") << "\n"
            << "  command line: " << s.commandLine << "\n"
            << "  start: " << win::ServiceStartTypeName(s.startType) << "  account: " << s.account
            << "  state: " << win::ServiceStateName(s.state) << "\n";
  if (!s.description.empty()) std::cout << "  description: " << s.description << "\n";
  if (!s.dependencies.empty()) {
    std::cout << "  depends on:";
    for (auto& d : s.dependencies) std::cout << " " << d;
    std::cout << "\n";
  }
  std::cout << "  test: fails to start " << (s.test.failsToStart ? "yes" : "no") << ", start delay "
            << s.test.startDelayMs << " ms, stop hangs " << (s.test.stopHangs ? "yes" : "no")
            << "\n";
}

int RunServices(const std::vector<std::string>& args) {
  win::Machine& m = OpenMachineArgument(args, 0);
  if (!m.IsNT()) {
    if (args.size() > 1)
      throw std::runtime_error("Windows " + win::OsVersionName(m.Settings().os) +
                               " has no services");
    std::cout << "no services on Windows " << win::OsVersionName(m.Settings().os) << "\n";
    return 0;
  }
  // The services live in the registry, their run state in the machine's state: one that
  // cannot be read is an error, not "no services".
  m.RegistryDb();
  m.State();
  if (args.size() == 1) {
    auto list = win::ListServices();
    if (list.empty()) std::cout << "no services\n";
    for (auto& s : list) Print(s);
    return 0;
  }
  const std::string& name = args[1];
  if (name.rfind("--", 0) == 0) throw UsageError("a service name must come before " + name);
  // The same rule as the service manager's: such a service can never be created.
  if (name.empty() || name.size() > 255 || name.find_first_of("/\\") != std::string::npos)
    throw std::runtime_error("\"" + win::EscapeBytes(name) +
                             "\" is not a valid service name (1 to 255 characters, no / or \\)");
  // The options first, so that a service that does not exist is refused only once the
  // command line is known to be sound.
  std::optional<bool> failsToStart, stopHangs;
  std::optional<win::DWORD> startDelay;
  bool beforeCreation = false;
  for (size_t i = 2; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (option == "--before-creation") {
      beforeCreation = true;
      continue;
    }
    const std::string& value = RequireArgument(args, ++i, "value of " + option);
    if (option == "--fails-to-start") {
      failsToStart = YesNo(option, value);
    } else if (option == "--stop-hangs") {
      stopHangs = YesNo(option, value);
    } else if (option == "--start-delay") {
      try {
        size_t used = 0;
        unsigned long ms = std::stoul(value, &used);
        if (used != value.size() || ms > 0xFFFFFFFFul) throw std::out_of_range(value);
        startDelay = win::DWORD(ms);
      } catch (const std::logic_error&) {
        throw UsageError("--start-delay takes milliseconds, not \"" + value + "\"");
      }
    } else {
      throw UsageError("unknown option \"" + option + "\"");
    }
  }
  // Settings for a name no service has would wait unseen (a typo is the likely cause):
  // only --before-creation sets them for a service a program is still to create.
  std::optional<win::ServiceInfo> service;
  for (auto& s : win::ListServices())
    if (win::SameText(s.name, name)) service = s;
  if (!service && !beforeCreation)
    throw std::runtime_error(
        "no service \"" + win::EscapeBytes(name) +
        "\" on this machine (--before-creation sets one that is to be created)");
  const std::string stored = service ? service->name : name;
  win::ServiceTestSettings t = win::GetServiceTestSettings(stored);
  if (failsToStart) t.failsToStart = *failsToStart;
  if (stopHangs) t.stopHangs = *stopHangs;
  if (startDelay) t.startDelayMs = *startDelay;
  win::SetServiceTestSettings(stored, t);
  if (!service) {
    std::cout << name << ": no such service yet; its test settings apply once it is created\n";
    return 0;
  }
  service->test = t;
  Print(*service);
  return 0;
}

const bool registered = RegisterMachineCommand(
    {"services",
     "services DIR [NAME [--fails-to-start yes|no] [--start-delay MS] [--stop-hangs yes|no] "
     "[--before-creation]]",
     "lists the services (name, display name, command line, start type, account, state, test "
     "settings), or sets how service NAME behaves (--before-creation: a service still to be "
     "created)",
     RunServices});

}  // namespace
