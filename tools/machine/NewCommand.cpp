// machine new DIR [--os VERSION] [--user NAME] [--no-admin] [--host NAME]
//                 [--ipv4 a.b.c.d,...|none] [--simulated-time] [--no-shfolder]
#include <iostream>

#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Sockets.h"
#include "platform/system/Text.h"
#include "tools/machine/MachineCommand.h"

namespace {

std::vector<std::string> ParseAddresses(const std::string& list) {
  std::vector<std::string> out;
  if (list == "none") return out;
  for (const std::string& ip : win::SplitTerminated(list, ',')) {
    if (std::uint32_t address; !win::ParseIPv4(ip, address))
      throw UsageError("not an IPv4 address: \"" + ip + "\"");
    out.push_back(ip);
  }
  if (out.empty()) throw UsageError("--ipv4 needs addresses or \"none\"");
  return out;
}

int RunNew(const std::vector<std::string>& args) {
  std::string dir;
  win::MachineSettings s;
  win::MachineContents contents;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      return RequireArgument(args, ++i, "value of " + a);
    };
    if (a == "--os") {
      auto v = win::ParseOsVersion(value());
      if (!v)
        throw UsageError("unknown Windows version \"" + args[i] +
                         "\" (95, 98, me, nt351, nt4, 2000, xp)");
      s.os = *v;
    } else if (a == "--user") {
      s.userName = value();
      if (s.userName.find_first_of("\\/:*?\"<>|") != std::string::npos)
        throw UsageError("a user name cannot hold \\ / : * ? \" < > |");
    } else if (a == "--no-admin") {
      s.admin = false;
    } else if (a == "--host") {
      s.hostName = value();
    } else if (a == "--ipv4") {
      s.ipv4 = ParseAddresses(value());
    } else if (a == "--simulated-time") {
      s.simulatedTime = true;
    } else if (a == "--no-shfolder") {
      contents.shFolder = false;
    } else if (a.rfind("--", 0) == 0) {
      throw UsageError("unknown option " + a);
    } else if (dir.empty()) {
      dir = a;
    } else {
      throw UsageError("unexpected argument \"" + a + "\"");
    }
  }
  if (dir.empty()) throw UsageError("missing machine folder DIR");
  win::CreateMachine(dir, s, contents);
  std::cout << dir << ": Windows " << win::OsVersionName(s.os) << ", " << s.userName
            << (s.admin ? " (administrateur)" : "") << "\n";
  return 0;
}

const bool registered = RegisterMachineCommand(
    {"new",
     "new DIR [--os 95|98|me|nt351|nt4|2000|xp] [--user NAME] [--no-admin] [--host NAME] "
     "[--ipv4 a.b.c.d,...|none] [--simulated-time] [--no-shfolder]",
     "creates a new PC in DIR (missing or empty): Windows XP and an administrator unless told "
     "otherwise; every version has shfolder.dll (95, NT 3.51 and NT 4.0 as a later browser "
     "left it) unless --no-shfolder",
     RunNew});

}  // namespace
