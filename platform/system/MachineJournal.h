#pragma once
// The journal of what programs did to a PC: kept in its state.db, read by `machine log`.
#include <cstdint>
#include <string>
#include <vector>

namespace win {

class StateStore;
struct MachineSettings;

struct JournalEntry {
  std::int64_t id = 0;
  std::string time;     // local time of the machine, "YYYY-MM-DD hh:mm:ss"
  std::string program;  // the program that acted
  std::string kind;     // "file", "registry", "service", "beep", "start", "restart", ...
  std::string text;
};

class MachineJournal {
 public:
  // settings: the PC's, for its time zone (they may change while the journal lives).
  MachineJournal(StateStore& store, const MachineSettings& settings)
      : store_(store), settings_(settings) {}

  void Write(const std::string& kind, const std::string& text);
  std::vector<JournalEntry> Read();
  // The name lines are written under, for this process.
  static void SetProgramName(const std::string& name);
  static const std::string& ProgramName();

 private:
  StateStore& store_;
  const MachineSettings& settings_;
};

}  // namespace win
