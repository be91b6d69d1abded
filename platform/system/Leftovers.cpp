#include "platform/system/Leftovers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "platform/system/FileAttributes.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/ShortNames.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

namespace {

constexpr const char* kWritePrefix = ".~wi";

struct Writer {
  int pid = 0;
  std::uint64_t started = 0;  // 0: unknown, the process id alone decides
};

// This process, asked again after a fork (every temporary name asks, so not at each call):
// a child must not pass for its parent.
Writer Self() {
  static std::mutex mutex;
  static Writer self;
  static unsigned forks = 0;
  const unsigned generation = ForkGeneration();
  std::lock_guard lock(mutex);
  if (self.pid == 0 || forks != generation) {
    forks = generation;
    int now = int(::getpid());
    self = {now, ProcessStartTime(now)};
  }
  return self;
}

bool Gone(const Writer& w) { return !ProcessAlive(w.pid, w.started); }

// ".~wi<pid>-<start>-<n>.tmp", or ".~wi<pid>-<n>.tmp" as written before the start time
// was part of the name.
bool ParseWriteTemp(const std::string& name, Writer& w) {
  if (name.rfind(kWritePrefix, 0) != 0) return false;
  const char* p = name.c_str() + std::strlen(kWritePrefix);
  char* end = nullptr;
  long pid = std::strtol(p, &end, 10);
  if (end == p || *end != '-' || pid <= 0) return false;
  p = end + 1;
  unsigned long long first = std::strtoull(p, &end, 16);
  if (end == p) return false;
  w.pid = int(pid);
  w.started = *end == '-' ? first : 0;
  return true;
}

bool operator<(const Writer& a, const Writer& b) {
  return a.pid != b.pid ? a.pid < b.pid : a.started < b.started;
}

// The writers named by the marks and temporaries in the PC's folder whose name holds tag.
std::vector<Writer> WritersInFolder(Machine& m, const char* tag) {
  std::vector<Writer> writers;
  std::error_code ec;
  for (auto it = fs::directory_iterator(m.Dir(), ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    Writer w;
    if (name.find(tag) != std::string::npos && ParseWriteTemp(name, w)) writers.push_back(w);
  }
  return writers;
}

// The writers whose marks (or machine.ini temporaries) lie in the PC's folder though they no
// longer run: programs killed while they had the PC open.
std::set<Writer> KilledWriters(Machine& m) {
  std::set<Writer> killed;
  for (const Writer& w : WritersInFolder(m, ""))
    if (Gone(w)) killed.insert(w);
  return killed;
}

void Removed(Machine& m, const fs::path& host) {
  m.NoteChanged(host, false, 0);
  m.Journal("file", "leftover of a stopped program removed: " + m.WindowsPath(host));
}

// The host file a staging record names, when it is a plain file of the PC's own folders:
// what the record keeps is a path inside the PC, and a PC copied from another one never
// removes a file of the other (nor one its links lead to).
bool StagedFile(Machine& m, const std::string& key, Machine::Resolved& r) {
  if (!m.Resolve(key, r) || m.StateKey(r) != key) return false;
  const std::string own = CanonicalKey(m.Dir()) + "/";
  struct stat info;
  return CanonicalKey(r.host).compare(0, own.size(), own) == 0 &&
         ::lstat(r.host.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The staging copy at key, when its recorded writer is still w: removed with its records.
// The write lock is held from the test to the removal, so a writer that notes the same
// name meanwhile waits and then makes its file after this one went.
bool RemoveStaging(Machine& m, const std::string& key, const Writer& w) {
  SqliteTransaction tx(m.State());
  {
    auto st = m.State().Prepare("SELECT 1 FROM staging WHERE path = ? AND pid = ? AND started = ?");
    st.Bind(1, key).Bind(2, std::int64_t(w.pid)).Bind(3, std::int64_t(w.started));
    if (!st.Step()) return false;
  }
  bool removed = false;
  Machine::Resolved r;
  if (StagedFile(m, key, r) && ::unlink(r.host.c_str()) == 0) {
    ForgetAttributes(m, key);
    ForgetShortName(m, Machine::HostFolderOf(r.host), Machine::HostNameOf(r.host));
    Removed(m, r.host);
    removed = true;
  }
  auto del = m.State().Prepare("DELETE FROM staging WHERE path = ?");
  del.Bind(1, key);
  del.Step();
  tx.Commit();
  return removed;
}

// Drops the record of a staging name whose writer ended on its own; the file stays.
void ForgetStaging(Machine& m, const std::string& key, const Writer& w) {
  auto st = m.State().Prepare("DELETE FROM staging WHERE path = ? AND pid = ? AND started = ?");
  st.Bind(1, key).Bind(2, std::int64_t(w.pid)).Bind(3, std::int64_t(w.started));
  st.Step();
}

struct StagingRow {
  std::string key;
  Writer writer;
};

std::vector<StagingRow> StagingOfGoneWriters(Machine& m) {
  std::vector<StagingRow> rows;
  auto st = m.State().Prepare("SELECT path, pid, started FROM staging");
  while (st.Step())
    rows.push_back({st.ColumnText(0), {int(st.ColumnInt(1)), std::uint64_t(st.ColumnInt(2))}});
  std::erase_if(rows, [](const StagingRow& r) { return !Gone(r.writer); });
  return rows;
}

bool LeftoverWriteTemp(const std::string& name) {
  Writer w;
  return ParseWriteTemp(name, w) && Gone(w);
}

int RemoveWriteTemp(Machine& m, const fs::path& host) {
  if (::unlink(host.c_str()) != 0) return 0;
  if (IsProcessMark(host.filename().string())) return 0;  // no file of the user's
  Removed(m, host);
  return 1;
}

// The PC's own folders: its root (for machine.ini's temporaries) and the drive folders
// that are folders of the PC, not links to folders of the host.
int WalkWriteTemps(Machine& m) {
  int removed = 0;
  std::error_code ec;
  for (auto it = fs::directory_iterator(m.Dir(), ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    if (LeftoverWriteTemp(it->path().filename().string()) && it->is_regular_file(ec))
      removed += RemoveWriteTemp(m, it->path());
  for (auto drive = fs::directory_iterator(m.Dir() / "drives", ec);
       !ec && drive != fs::directory_iterator(); drive.increment(ec)) {
    if (!drive->is_directory(ec) || drive->is_symlink(ec)) continue;
    std::error_code walkEc;
    for (auto it = fs::recursive_directory_iterator(
             drive->path(), fs::directory_options::skip_permission_denied, walkEc);
         !walkEc && it != fs::recursive_directory_iterator(); it.increment(walkEc)) {
      if (it->is_symlink(walkEc) || it->is_directory(walkEc)) continue;
      if (LeftoverWriteTemp(it->path().filename().string()))
        removed += RemoveWriteTemp(m, it->path());
    }
  }
  return removed;
}

}  // namespace

std::string WriteTempName() {
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = std::random_device{}();
  Writer self = Self();
  char name[96];
  std::snprintf(name, sizeof name, "%s%d-%llx-%x%x.tmp", kWritePrefix, self.pid,
                static_cast<unsigned long long>(self.started), salt, counter++);
  return name;
}

bool IsWriteTempName(const std::string& name) { return name.rfind(kWritePrefix, 0) == 0; }

bool IsProcessMark(const std::string& name) {
  return IsWriteTempName(name) &&
         (name.find("-open") != std::string::npos || name.find("-session") != std::string::npos);
}

bool IsStagingName(const std::string& name) {
  if (name.size() != 12) return false;
  const std::string_view n = name;
  if (!AsciiSameText(n.substr(0, 3), "is-") || !AsciiSameText(n.substr(8), ".tmp")) return false;
  for (size_t i = 3; i < 8; ++i) {
    char c = char(std::toupper(static_cast<unsigned char>(name[i])));
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'V'))) return false;
  }
  return true;
}

void NoteStagingWriter(Machine& m, const std::string& host) {
  if (!IsStagingName(Machine::HostNameOf(host))) return;
  // Kept before the file appears, whatever batch of records is open.
  FlushRecordBatch();
  Writer self = Self();
  auto st = m.State().Prepare("INSERT OR REPLACE INTO staging(path, pid, started) VALUES(?,?,?)");
  st.Bind(1, m.StateKeyOfHost(host))
      .Bind(2, std::int64_t(self.pid))
      .Bind(3, std::int64_t(self.started));
  st.Step();
}

void ForgetStagingWriter(Machine& m, const std::string& host) {
  if (!IsStagingName(Machine::HostNameOf(host))) return;
  auto st = m.State().Prepare("DELETE FROM staging WHERE path = ?");
  st.Bind(1, m.StateKeyOfHost(host));
  st.Step();
}

namespace {
// The marks this process holds, in fixed slots: found and removed on a way out that runs
// no destructor, where nothing may be allocated nor locked. pid: 0 free, -1 being filled,
// else the process that made the mark.
struct MarkSlot {
  std::atomic<int> pid{0};
  char path[PATH_MAX];
};
MarkSlot g_marks[16];

void OnTerminate();
std::terminate_handler g_previousTerminate = nullptr;

void Hold(const fs::path& mark) {
  static std::once_flag once;
  std::call_once(once, [] { g_previousTerminate = std::set_terminate(&OnTerminate); });
  if (mark.native().size() >= PATH_MAX) return;
  for (MarkSlot& slot : g_marks) {
    int free = 0;
    if (!slot.pid.compare_exchange_strong(free, -1)) continue;
    std::memcpy(slot.path, mark.c_str(), mark.native().size() + 1);
    slot.pid.store(int(::getpid()), std::memory_order_release);
    return;
  }
}

void Let(const fs::path& mark) {
  const int self = int(::getpid());
  for (MarkSlot& slot : g_marks)
    if (slot.pid.load(std::memory_order_acquire) == self && mark.native() == slot.path) {
      slot.pid.store(0);
      return;
    }
}

void OnTerminate() {
  RemoveOpeningMarks();
  if (g_previousTerminate) g_previousTerminate();
  std::abort();
}
}  // namespace

void RemoveOpeningMarks() {
  const int self = int(::getpid());
  for (MarkSlot& slot : g_marks) {
    if (slot.pid.load(std::memory_order_acquire) != self) continue;
    ::unlink(slot.path);
    slot.pid.store(0);
  }
}

namespace {
fs::path MakeMark(Machine& m, const char* kind, unsigned n) {
  Writer self = Self();
  char name[96];
  std::snprintf(name, sizeof name, "%s%d-%llx-%s%u", kWritePrefix, self.pid,
                static_cast<unsigned long long>(self.started), kind, n);
  fs::path mark = m.Dir() / name;
  int fd = ::open(mark.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  ::close(fd);
  Hold(mark);
  return mark;
}
}  // namespace

fs::path RegisterOpening(Machine& m) {
  static std::atomic<unsigned> counter{0};
  return MakeMark(m, "open", counter++);
}

fs::path RegisterSession(Machine& m) { return MakeMark(m, "session", 0); }

std::vector<std::pair<int, std::uint64_t>> SessionMembers(Machine& m) {
  std::vector<std::pair<int, std::uint64_t>> members;
  for (const Writer& w : WritersInFolder(m, "-session"))
    if (!Gone(w)) members.emplace_back(w.pid, w.started);
  return members;
}

void UnregisterOpening(const fs::path& mark) {
  if (mark.empty()) return;
  Let(mark);
  ::unlink(mark.c_str());
}

int SweepLeftovers(Machine& m, bool walk) {
  const std::set<Writer> killed = KilledWriters(m);
  if (!walk && killed.empty()) return 0;
  int removed = 0;
  for (const auto& row : StagingOfGoneWriters(m)) {
    if (killed.count(row.writer))
      removed += RemoveStaging(m, row.key, row.writer) ? 1 : 0;
    else
      ForgetStaging(m, row.key, row.writer);  // ended on its own: what it left is kept
  }
  // Last, with the temporaries of the PC's folder, the marks that told of the killing.
  return removed + WalkWriteTemps(m);
}

bool ClearLeftoversIn(Machine& m, const fs::path& dir) {
  std::vector<fs::path> temps;
  std::vector<StagingRow> staged;
  std::optional<std::set<Writer>> killed;  // read once, at the first staging copy
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (it->is_regular_file(ec) && LeftoverWriteTemp(name)) {
      temps.push_back(it->path());
      continue;
    }
    if (!IsStagingName(name)) return false;
    const std::string key = m.StateKeyOfHost(it->path().native());
    auto st = m.State().Prepare("SELECT pid, started FROM staging WHERE path = ?");
    st.Bind(1, key);
    if (!st.Step()) return false;
    Writer w{int(st.ColumnInt(0)), std::uint64_t(st.ColumnInt(1))};
    if (!Gone(w)) return false;
    if (!killed) killed = KilledWriters(m);
    if (!killed->count(w)) return false;
    staged.push_back({key, w});
  }
  if (ec) return false;
  for (const auto& t : temps) RemoveWriteTemp(m, t);
  for (const auto& s : staged) RemoveStaging(m, s.key, s.writer);
  return fs::is_empty(dir, ec) && !ec;
}

}  // namespace win
