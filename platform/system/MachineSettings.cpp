#include "platform/system/MachineSettings.h"

#include <fstream>
#include <sstream>

#include "platform/system/Leftovers.h"
#include "platform/system/Sockets.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

std::string OsVersionName(OsVersion v) {
  switch (v) {
    case OsVersion::Win95:
      return "95";
    case OsVersion::Win98:
      return "98";
    case OsVersion::WinMe:
      return "me";
    case OsVersion::NT351:
      return "nt351";
    case OsVersion::NT4:
      return "nt4";
    case OsVersion::Win2000:
      return "2000";
    case OsVersion::WinXP:
      return "xp";
  }
  return "xp";
}

std::optional<OsVersion> ParseOsVersion(const std::string& name) {
  std::string n = FoldCase(TrimWhiteSpace(name));
  for (auto v : {OsVersion::Win95, OsVersion::Win98, OsVersion::WinMe, OsVersion::NT351,
                 OsVersion::NT4, OsVersion::Win2000, OsVersion::WinXP})
    if (FoldCase(OsVersionName(v)) == n) return v;
  return std::nullopt;
}

bool MachineSettings::IsNT() const {
  return os == OsVersion::NT351 || os == OsVersion::NT4 || os == OsVersion::Win2000 ||
         os == OsVersion::WinXP;
}

std::string MachineSettings::WindowsDir() const {
  if (!windowsDir.empty()) return windowsDir;
  if (os == OsVersion::NT351 || os == OsVersion::NT4 || os == OsVersion::Win2000)
    return "C:\\WINNT";
  return "C:\\WINDOWS";
}

std::string MachineSettings::SystemDir() const {
  return WindowsDir() + (IsNT() ? "\\system32" : "\\SYSTEM");
}

std::string SettingsText(const MachineSettings& s) {
  std::ostringstream o;
  o << "[machine]\n";
  o << "os=" << OsVersionName(s.os) << "\n";
  o << "user=" << s.userName << "\n";
  o << "admin=" << (s.admin ? 1 : 0) << "\n";
  if (!s.hostName.empty()) o << "host=" << s.hostName << "\n";
  if (s.ipv4) {
    o << "ipv4=";
    if (s.ipv4->empty()) o << "none";
    for (size_t i = 0; i < s.ipv4->size(); ++i) o << (i ? "," : "") << (*s.ipv4)[i];
    o << "\n";
  }
  o << "timezone=" << s.timeZoneBias << "\n";
  o << "language=" << s.languageId << "\n";
  o << "simulated_time=" << (s.simulatedTime ? 1 : 0) << "\n";
  if (!s.windowsDir.empty()) o << "windows=" << s.windowsDir << "\n";
  return o.str();
}

void WriteFileAtomically(const fs::path& file, const std::string& text) {
  // Named as the platform's own temporaries, so that a killed writer's copy is swept.
  fs::path tmp = file.parent_path() / WriteTempName();
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw MachineError("cannot write " + tmp.string());
    out << text;
    out.flush();
    if (!out) throw MachineError("cannot write " + tmp.string());
  }
  std::error_code ec;
  fs::rename(tmp, file, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw MachineError("cannot write " + file.string() + ": " + ec.message());
  }
}

MachineSettings ParseSettings(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw MachineError(file.string() + ": no machine here (machine.ini is missing)");
  MachineSettings s;
  std::string line;
  int n = 0;
  bool sawOs = false;
  // The line may hold anything: its bytes are shown escaped.
  auto bad = [&](const std::string& why) {
    throw MachineError(EscapeBytes(file.string() + ":" + std::to_string(n) + ": " + why));
  };
  auto toInt = [&](const std::string& v, long lo, long hi) {
    try {
      size_t pos = 0;
      long x = std::stol(v, &pos, 0);
      if (pos != v.size() || x < lo || x > hi) bad("value out of range: " + v);
      return x;
    } catch (const std::logic_error&) {
      bad("not a number: " + v);
    }
    return 0L;
  };
  while (std::getline(in, line)) {
    ++n;
    std::string t = TrimWhiteSpace(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t[0] == '[') {
      if (t != "[machine]") bad("unknown section " + t);
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) bad("expected key=value, found \"" + t + "\"");
    std::string key = FoldCase(TrimWhiteSpace(t.substr(0, eq)));
    std::string val = TrimWhiteSpace(t.substr(eq + 1));
    if (key == "OS") {
      auto v = ParseOsVersion(val);
      if (!v) bad("unknown Windows version \"" + val + "\" (95, 98, me, nt351, nt4, 2000, xp)");
      s.os = *v;
      sawOs = true;
    } else if (key == "USER") {
      if (val.empty()) bad("empty user name");
      s.userName = val;
    } else if (key == "ADMIN") {
      s.admin = toInt(val, 0, 1) != 0;
    } else if (key == "HOST") {
      s.hostName = val;
    } else if (key == "IPV4") {
      std::vector<std::string> ips;
      if (FoldCase(val) != "NONE" && !val.empty()) {
        for (std::string ip : SplitTerminated(val, ',')) {
          ip = TrimWhiteSpace(ip);
          if (std::uint32_t address; !ParseIPv4(ip, address)) bad("not an IPv4 address: " + ip);
          ips.push_back(ip);
        }
      }
      s.ipv4 = ips;
    } else if (key == "TIMEZONE") {
      s.timeZoneBias = int(toInt(val, -24L * 60, 24L * 60));
    } else if (key == "LANGUAGE") {
      s.languageId = WORD(toInt(val, 0, 0xFFFF));
    } else if (key == "SIMULATED_TIME") {
      s.simulatedTime = toInt(val, 0, 1) != 0;
    } else if (key == "WINDOWS") {
      s.windowsDir = val;
    } else {
      bad("unknown key \"" + t.substr(0, eq) + "\"");
    }
  }
  if (!sawOs) throw MachineError(file.string() + ": no \"os=\" line");
  return s;
}

}  // namespace win
