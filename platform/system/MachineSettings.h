#pragma once
// A PC's settings (machine.ini): its Windows version, user, network and clock.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

enum class OsVersion { Win95, Win98, WinMe, NT351, NT4, Win2000, WinXP };

// "95", "98", "me", "nt351", "nt4", "2000", "xp".
std::string OsVersionName(OsVersion v);
std::optional<OsVersion> ParseOsVersion(const std::string& name);

struct MachineSettings {
  OsVersion os = OsVersion::WinXP;
  std::string userName = "Administrateur";
  bool admin = true;
  std::string hostName;                          // empty: the real host's name
  std::optional<std::vector<std::string>> ipv4;  // unset: the real host's addresses
  int timeZoneBias = 60;                         // minutes added to UTC to get local time
  WORD languageId = 0x040C;                      // French (France)
  bool simulatedTime = false;                    // sleeping advances the clock at once
  std::string windowsDir;                        // empty: C:\WINDOWS, or C:\WINNT on NT 4/2000

  bool IsNT() const;
  std::string WindowsDir() const;  // without trailing backslash
  std::string SystemDir() const;   // SYSTEM32 on NT, SYSTEM on 9x
};

class MachineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// machine.ini read; throws MachineError naming the file and line when it is missing or
// malformed.
MachineSettings ParseSettings(const std::filesystem::path& file);
std::string SettingsText(const MachineSettings& s);
// Writes file whole or not at all (a temporary beside it, renamed over it).
void WriteFileAtomically(const std::filesystem::path& file, const std::string& text);

}  // namespace win
