#include "platform/system/MachineJournal.h"

#include <chrono>
#include <ctime>

#include "platform/system/Clock.h"
#include "platform/system/MachineSettings.h"
#include "platform/system/Sqlite.h"
#include "platform/system/StateStore.h"

namespace win {

namespace {
std::string& ProgramNameRef() {
  static std::string name = "?";
  return name;
}
}  // namespace

void MachineJournal::SetProgramName(const std::string& name) { ProgramNameRef() = name; }
const std::string& MachineJournal::ProgramName() { return ProgramNameRef(); }

void MachineJournal::Write(const std::string& kind, const std::string& text) {
  auto t = std::chrono::system_clock::to_time_t(clock::ToTimePoint(clock::Now())) +
           std::time_t(settings_.timeZoneBias) * 60;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  try {
    auto st =
        store_.State().Prepare("INSERT INTO journal(time, program, kind, text) VALUES(?,?,?,?)");
    st.Bind(1, std::string(buf)).Bind(2, ProgramName()).Bind(3, kind).Bind(4, text);
    st.Step();
  } catch (const SqliteError&) {
    // The journal is a record for the user; losing one line must not fail the call.
  }
}

std::vector<JournalEntry> MachineJournal::Read() {
  std::vector<JournalEntry> out;
  auto st = store_.State().Prepare("SELECT id, time, program, kind, text FROM journal ORDER BY id");
  while (st.Step())
    out.push_back(
        {st.ColumnInt(0), st.ColumnText(1), st.ColumnText(2), st.ColumnText(3), st.ColumnText(4)});
  return out;
}

}  // namespace win
