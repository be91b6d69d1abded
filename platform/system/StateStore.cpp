#include "platform/system/StateStore.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <fstream>

#include "platform/system/MachineSettings.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;

namespace win {

StateStore::StateStore(const fs::path& dir) : dir_(dir) {}

StateStore::~StateStore() = default;

namespace {

// The layout of the state tables, in PRAGMA user_version. 0: the first layout, each table
// keyed by a hidden row number beside its own key, the journal numbered through
// sqlite_sequence. 2: tables keyed by what they are looked up by (one b-tree per table
// where there were two), the journal numbered by its own key (one page less per line).
constexpr int kStateLayout = 2;

struct StateTable {
  const char* name;
  const char* definition;  // the columns and keys, after the name
  const char* options;     // after the closing parenthesis
  const char* columns;     // copied from an older layout
};

constexpr StateTable kStateTables[] = {
    {"locks", "(path TEXT PRIMARY KEY)", " WITHOUT ROWID", "path"},
    {"journal", "(id INTEGER PRIMARY KEY, time TEXT, program TEXT, kind TEXT, text TEXT)", "",
     "id, time, program, kind, text"},
    {"kv", "(key TEXT PRIMARY KEY, value TEXT)", " WITHOUT ROWID", "key, value"},
    {"attrs", "(path TEXT PRIMARY KEY, attrs INTEGER NOT NULL)", " WITHOUT ROWID", "path, attrs"},
    {"shortnames",
     "(dir TEXT NOT NULL, long TEXT NOT NULL, short TEXT NOT NULL, PRIMARY KEY(dir, long))",
     " WITHOUT ROWID", "dir, long, short"},
};

int StateLayout(SqliteDb& db) {
  auto st = db.Prepare("PRAGMA user_version");
  return st.Step() ? int(st.ColumnInt(0)) : 0;
}

// Brings state.db to the current layout: tables made, or rebuilt with their rows from an
// older layout, in one transaction (a process that finds the work done by another while it
// waited does nothing). Tables that other units own are left to them.
void UpgradeState(SqliteDb& db) {
  SqliteTransaction tx(db);
  if (StateLayout(db) >= kStateLayout) return;
  for (const StateTable& t : kStateTables) {
    bool exists;
    {
      auto st = db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
      st.Bind(1, std::string(t.name));
      exists = st.Step();
    }
    const std::string name = t.name;
    if (!exists) {
      db.Exec("CREATE TABLE " + name + t.definition + t.options);
      continue;
    }
    db.Exec("ALTER TABLE " + name + " RENAME TO " + name +
            "_old;"
            "CREATE TABLE " +
            name + t.definition + t.options +
            ";"
            "INSERT OR REPLACE INTO " +
            name + "(" + t.columns + ") SELECT " + t.columns + " FROM " + name +
            "_old ORDER BY rowid;"
            "DROP TABLE " +
            name + "_old;");
  }
  db.Exec(
      "CREATE INDEX IF NOT EXISTS shortnames_short ON shortnames(dir, short);"
      "PRAGMA user_version = " +
      std::to_string(kStateLayout) + ";");
  // The journal's old numbering, if any, is no longer used.
  {
    auto st = db.Prepare("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'");
    if (st.Step()) db.Exec("DELETE FROM sqlite_sequence WHERE name = 'journal'");
  }
  tx.Commit();
}

}  // namespace

SqliteDb& StateStore::State() {
  if (!state_) {
    try {
      auto db = std::make_unique<SqliteDb>(dir_ / "state.db", true);
      if (StateLayout(*db) < kStateLayout) UpgradeState(*db);
      state_ = std::move(db);
    } catch (const SqliteError& e) {
      state_.reset();
      throw MachineError(std::string("machine state: ") + e.what());
    }
  }
  return *state_;
}

namespace {

std::uint32_t BigEndian(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// What is wrong with the registry file as a file, or empty. Only what SQLite would not
// tell, or would tell by making a fresh database out of it: a missing or empty file, a
// foreign header, a file cut short.
std::string RegistryFileProblem(const fs::path& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return "is missing";
  if (!S_ISREG(st.st_mode)) return "is not a file";
  if (st.st_size == 0) return "is empty";
  unsigned char h[100] = {};
  {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "cannot be read";
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() < std::streamsize(sizeof h) || std::memcmp(h, "SQLite format 3", 16) != 0)
      return "is not a registry database (unknown header)";
  }
  std::uint32_t pageSize = BigEndian(h + 16, 2);
  if (pageSize == 1) pageSize = 65536;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) || h[21] != 64 ||
      h[22] != 32 || h[23] != 32 || h[18] < 1 || h[18] > 2 || h[19] < 1 || h[19] > 2)
    return "has a damaged header";
  // With a write-ahead log waiting, the file may be behind its header until the log is
  // carried over; SQLite then decides.
  struct stat wal;
  fs::path walFile = file;
  walFile += "-wal";
  if (::stat(walFile.c_str(), &wal) == 0 && wal.st_size > 0) return "";
  std::uint64_t size = std::uint64_t(st.st_size);
  std::uint32_t pages = BigEndian(h + 28, 4);
  bool pagesValid = pages != 0 && std::memcmp(h + 24, h + 92, 4) == 0;
  if (size % pageSize != 0 || (pagesValid && size < std::uint64_t(pages) * pageSize))
    return "is cut short (" + std::to_string(size) + " bytes" +
           (pagesValid ? ", its header counts " + std::to_string(std::uint64_t(pages) * pageSize)
                       : "") +
           ")";
  return "";
}

}  // namespace

SqliteDb& StateStore::RegistryDb() {
  if (!registry_) {
    const fs::path file = dir_ / "registry.db";
    const std::string what = file.string() + ": the registry of the machine ";
    if (std::string problem = RegistryFileProblem(file); !problem.empty())
      throw MachineError(what + problem);
    try {
      auto db = std::make_unique<SqliteDb>(file, false);
      if (std::string problem = RegistryStore::SchemaProblem(*db); !problem.empty())
        throw MachineError(what + problem);
      registry_ = std::move(db);
    } catch (const SqliteError& e) {
      throw MachineError(what + "is damaged (" + e.what() + ")");
    }
  }
  return *registry_;
}

void StateStore::CheckRegistry() {
  SqliteDb& db = RegistryDb();
  std::string result;
  try {
    result = db.IntegrityCheck();
  } catch (const SqliteError& e) {
    result = e.what();
  }
  if (result != "ok") {
    registry_.reset();
    size_t eol = result.find('\n');
    throw MachineError((dir_ / "registry.db").string() +
                       ": the registry of the machine is damaged (" + result.substr(0, eol) + ")");
  }
}

void StateStore::CloseDatabases() {
  registry_.reset();
  state_.reset();
}

}  // namespace win
