#include "platform/system/Machine.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Process.h"
#include "platform/system/Sqlite.h"
#include "platform/system/StoreSchema.h"

namespace fs = std::filesystem;

namespace win {

namespace {

std::unique_ptr<Machine> g_current;
std::mutex g_currentMutex;
std::function<void(const fs::path&, const MachineSettings&)> g_creator;
std::vector<Machine::InUseProvider>& Providers() {
  static std::vector<Machine::InUseProvider> p;
  return p;
}

}  // namespace

Machine::Machine(const fs::path& dir)
    : dir_(fs::absolute(dir)),
      paths_(*this, dir_),
      store_(dir_, paths_),
      journal_(store_, settings_) {
  Load();
}

Machine::~Machine() {
  if (openingPid_ == int(::getpid())) UnregisterOpening(openingMark_);
}

void Machine::Load() {
  std::error_code ec;
  if (!fs::is_directory(dir_, ec)) throw MachineError(dir_.string() + ": no such machine folder");
  settings_ = ParseSettings(dir_ / "machine.ini");
  if (!fs::is_directory(dir_ / "drives" / "c", ec))
    throw MachineError(dir_.string() + ": the machine has no drive C: (drives/c)");
  if (settings_.simulatedTime) clock::SetSimulated(true);
  // Cleaning up after killed programs must never keep a machine from opening: a state
  // that cannot be read now fails the call that needs it, with its own message.
  try {
    SweepLeftovers(*this, false);
  } catch (const std::exception&) {
  }
  openingMark_ = RegisterOpening(*this);
  openingPid_ = int(::getpid());
}

void Machine::SaveSettings(const MachineSettings& settings) {
  WriteFileAtomically(dir_ / "machine.ini", SettingsText(settings));
  settings_ = settings;
}

void Machine::CreateBare(const fs::path& dir, const MachineSettings& settings) {
  fs::create_directories(dir / "drives" / "c");
  if (!fs::exists(dir / "registry.db")) CreateStore(dir / "registry.db", StoreKind::kRegistry);
  if (!fs::exists(dir / "state.db")) CreateStore(dir / "state.db", StoreKind::kState);
  WriteFileAtomically(dir / "machine.ini", SettingsText(settings));
  auto c = dir / "drives" / "c";
  auto rel = [](const std::string& winPath) { return winPath.substr(3); };
  for (const std::string& d : {settings.WindowsDir(), settings.SystemDir()}) {
    std::string r = rel(d);
    for (auto& ch : r)
      if (ch == '\\') ch = '/';
    fs::create_directories(c / r);
  }
}

void Machine::SetCreator(std::function<void(const fs::path&, const MachineSettings&)> f) {
  g_creator = std::move(f);
}

fs::path Machine::DefaultDir() {
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
    return fs::path(x) / "winpc" / "default";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "winpc" / "default";
}

Machine& Machine::Current() {
  std::lock_guard lock(g_currentMutex);
  if (!g_current) {
    fs::path dir;
    if (const char* env = std::getenv("WINPC"); env && *env) {
      dir = env;
    } else {
      dir = DefaultDir();
      if (!fs::exists(dir / "machine.ini")) {
        MachineSettings s;
        if (g_creator)
          g_creator(dir, s);
        else
          CreateBare(dir, s);
      }
    }
    g_current = std::make_unique<Machine>(dir);
  }
  return *g_current;
}

namespace {
// The threads this process runs (1 when /proc cannot tell).
int ThreadsRunning() {
  const std::string n = ProcessStatField(int(::getpid()), 20);
  return n.empty() ? 1 : static_cast<int>(std::strtol(n.c_str(), nullptr, 10));
}

// The threads of a process that runs alone: the thread sanitizer keeps one of its own.
#if defined(__SANITIZE_THREAD__)
constexpr int kAloneThreads = 2;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int kAloneThreads = 2;
#else
constexpr int kAloneThreads = 1;
#endif
#else
constexpr int kAloneThreads = 1;
#endif
}  // namespace

Machine& Machine::Use(const fs::path& dir) {
  // Another thread may be using the current machine: it is replaced, and freed, only while
  // this thread runs alone.
  if (HasCurrent() && ThreadsRunning() > kAloneThreads)
    throw MachineError("the current machine cannot change to " + dir.string() +
                       " while other threads run");
  auto m = std::make_unique<Machine>(dir);
  std::lock_guard lock(g_currentMutex);
  g_current = std::move(m);
  return *g_current;
}

bool Machine::HasCurrent() {
  std::lock_guard lock(g_currentMutex);
  return g_current != nullptr;
}

namespace {
// The locked paths, sorted: asked before every write of every file, changed seldom and
// few, so kept whole (one answer for all paths). Every write to the table below reports
// to it.
using LockedPaths = std::shared_ptr<const std::vector<std::string>>;
SqliteReadCache<LockedPaths>& LockAnswers() {
  static auto* c = new SqliteReadCache<LockedPaths>();
  return *c;
}
}  // namespace

bool Machine::IsFileInUse(const fs::path& host) { return IsKeyInUse(StateKeyOfHost(host)); }

bool Machine::IsKeyInUse(const std::string& key) {
  SqliteDb& db = State();
  // The locks and the providers' records, read as one state.
  SqliteReadTransaction read(db);
  const LockedPaths locked = LockAnswers().Lookup(db, "", [&] {
    std::vector<std::string> paths;
    auto st = db.Prepare("SELECT path FROM locks");
    while (st.Step()) paths.push_back(st.ColumnText(0));
    std::sort(paths.begin(), paths.end());
    return std::make_shared<const std::vector<std::string>>(std::move(paths));
  });
  if (std::binary_search(locked->begin(), locked->end(), key)) return true;
  for (auto& p : Providers())
    if (p(*this, key)) return true;
  return false;
}

void Machine::LockFile(const fs::path& host) {
  SqliteDb& db = State();
  const std::string key = StateKeyOfHost(host);
  auto st = db.Prepare("INSERT OR IGNORE INTO locks(path) VALUES(?)");
  st.Bind(1, key);
  st.Step();
  LockAnswers().Dropped(db);
}

void Machine::UnlockAll() {
  SqliteDb& db = State();
  db.Exec("DELETE FROM locks");
  LockAnswers().Dropped(db);
}

void Machine::AddInUseProvider(InUseProvider provider) {
  Providers().push_back(std::move(provider));
}

}  // namespace win
