#include "platform/system/StoreSchema.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;

namespace win {

namespace {

// What marks a file as one of ours (PRAGMA application_id), one value per kind, so that the
// two databases cannot pass for each other either. Files of earlier layouts have none.
constexpr std::uint32_t kStateId = 0x57695374;     // "WiSt"
constexpr std::uint32_t kRegistryId = 0x57695267;  // "WiRg"

// The layout of state.db, in PRAGMA user_version. 0: the first layout, each table keyed by
// a hidden row number beside its own key, the journal numbered through sqlite_sequence. 2:
// tables keyed by what they are looked up by, the journal numbered by its own key. 3: files
// keyed by their path inside the PC rather than on the host, every table made with the
// database, the file marked as ours.
constexpr int kStateLayout = 3;
// registry.db: 1, marked as ours since state.db's layout 3 (the layout itself unchanged).
constexpr int kRegistryLayout = 1;

struct Table {
  const char* name;
  const char* definition;  // the columns and keys, after the name
  const char* options;     // after the closing parenthesis
  const char* columns;     // copied from the first layout; null for a table it did not have
};

constexpr Table kStateTables[] = {
    {"locks", "(path TEXT PRIMARY KEY)", " WITHOUT ROWID", "path"},
    {"journal", "(id INTEGER PRIMARY KEY, time TEXT, program TEXT, kind TEXT, text TEXT)", "",
     "id, time, program, kind, text"},
    {"kv", "(key TEXT PRIMARY KEY, value TEXT)", " WITHOUT ROWID", "key, value"},
    {"attrs", "(path TEXT PRIMARY KEY, attrs INTEGER NOT NULL)", " WITHOUT ROWID", "path, attrs"},
    {"shortnames",
     "(dir TEXT NOT NULL, long TEXT NOT NULL, short TEXT NOT NULL, PRIMARY KEY(dir, long))",
     " WITHOUT ROWID", "dir, long, short"},
    {"staging", "(path TEXT PRIMARY KEY, pid INTEGER NOT NULL, started INTEGER NOT NULL)", "",
     nullptr},
    {"service_state",
     "(name TEXT PRIMARY KEY, state INTEGER NOT NULL, until INTEGER NOT NULL DEFAULT 0,"
     " exit_code INTEGER NOT NULL DEFAULT 0)",
     "", nullptr},
    {"service_tests",
     "(name TEXT PRIMARY KEY, fails INTEGER NOT NULL, delay_ms INTEGER NOT NULL,"
     " stop_hangs INTEGER NOT NULL)",
     "", nullptr},
    {"service_handles",
     "(id INTEGER PRIMARY KEY AUTOINCREMENT, pid INTEGER NOT NULL, started INTEGER NOT NULL,"
     " name TEXT NOT NULL)",
     "", nullptr},
    {"semaphores", "(name TEXT PRIMARY KEY, count INTEGER NOT NULL, maximum INTEGER NOT NULL)", "",
     nullptr},
    {"semaphore_holders",
     "(id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL, pid INTEGER NOT NULL,"
     " started INTEGER NOT NULL)",
     "", nullptr},
    {"session_fonts", "(path TEXT PRIMARY KEY, family TEXT NOT NULL, count INTEGER NOT NULL)", "",
     nullptr},
    {"broadcasts",
     "(id INTEGER PRIMARY KEY AUTOINCREMENT, program TEXT, message INTEGER, wparam INTEGER,"
     " lparam INTEGER)",
     "", nullptr},
    {"started_programs",
     "(id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT, by TEXT, path TEXT, parameters TEXT,"
     " directory TEXT, show INTEGER)",
     "", nullptr},
};
constexpr const char* kStateIndexes =
    "CREATE INDEX IF NOT EXISTS shortnames_short ON shortnames(dir, short);";

constexpr const char* kRegistrySchema =
    "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
    " name TEXT NOT NULL, folded TEXT NOT NULL, lastwrite INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE(parent, folded));"
    "CREATE TABLE vals(id INTEGER PRIMARY KEY, key INTEGER NOT NULL,"
    " name TEXT NOT NULL, folded TEXT NOT NULL, type INTEGER NOT NULL, data BLOB,"
    " UNIQUE(key, folded));"
    "INSERT INTO keys(parent, name, folded) VALUES(0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE');"
    "INSERT INTO keys(parent, name, folded) VALUES(0, 'HKEY_USERS', 'HKEY_USERS');";

std::uint32_t IdOf(StoreKind kind) { return kind == StoreKind::kState ? kStateId : kRegistryId; }
int LayoutOf(StoreKind kind) { return kind == StoreKind::kState ? kStateLayout : kRegistryLayout; }
std::string Noun(StoreKind kind) { return kind == StoreKind::kState ? "state" : "registry"; }
StoreKind Other(StoreKind kind) {
  return kind == StoreKind::kState ? StoreKind::kRegistry : StoreKind::kState;
}

// Why a file marked with application id id is not one of kind, or empty when it may be.
std::string ForeignId(std::uint32_t id, StoreKind kind) {
  if (id == 0 || id == IdOf(kind)) return "";
  std::string why = "is not a " + Noun(kind) + " database (";
  if (id == IdOf(Other(kind))) return why + "it holds " + StoreTitle(Other(kind)) + ")";
  char hex[16];
  std::snprintf(hex, sizeof hex, "%08X", id);
  return why + "application id " + hex + ")";
}

std::int64_t Pragma(SqliteDb& db, const char* name) {
  auto st = db.Prepare(std::string("PRAGMA ") + name);
  return st.Step() ? st.ColumnInt(0) : 0;
}

bool HasTable(SqliteDb& db, const std::string& name) {
  auto st = db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
  st.Bind(1, name);
  return st.Step();
}

std::uint32_t BigEndian(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

std::string Marks(StoreKind kind) {
  return "PRAGMA application_id = " + std::to_string(std::int32_t(IdOf(kind))) +
         "; PRAGMA user_version = " + std::to_string(LayoutOf(kind)) + ";";
}

void CreateStateTables(SqliteDb& db) {
  for (const Table& t : kStateTables)
    db.Exec(std::string("CREATE TABLE IF NOT EXISTS ") + t.name + t.definition + t.options);
  db.Exec(kStateIndexes);
}

// The tables of the first layout rebuilt as keyed tables, with their rows.
void RebuildFirstLayout(SqliteDb& db) {
  for (const Table& t : kStateTables) {
    if (!t.columns || !HasTable(db, t.name)) continue;
    const std::string name = t.name;
    db.Exec("ALTER TABLE " + name + " RENAME TO " + name + "_old; CREATE TABLE " + name +
            t.definition + t.options + "; INSERT OR REPLACE INTO " + name + "(" + t.columns +
            ") SELECT " + t.columns + " FROM " + name + "_old ORDER BY rowid; DROP TABLE " + name +
            "_old;");
  }
  // The journal's old numbering is no longer used.
  if (HasTable(db, "sqlite_sequence"))
    db.Exec("DELETE FROM sqlite_sequence WHERE name = 'journal'");
}

// The records keyed by host paths take the files' paths inside the PC; those of files
// outside it go.
void RekeyFiles(SqliteDb& db, const OldKeyMap& keyOf) {
  db.Exec("CREATE TEMP TABLE rekey(old TEXT PRIMARY KEY, new TEXT)");
  std::vector<std::string> old;
  {
    auto st = db.Prepare(
        "SELECT path FROM attrs UNION SELECT path FROM locks UNION SELECT path FROM staging"
        " UNION SELECT dir FROM shortnames");
    while (st.Step()) old.push_back(st.ColumnText(0));
  }
  for (const std::string& key : old) {
    auto st = db.Prepare("INSERT INTO temp.rekey(old, new) VALUES(?, ?)");
    st.Bind(1, key);
    if (std::string now = keyOf(key); !now.empty())
      st.Bind(2, now);
    else
      st.BindNull(2);
    st.Step();
  }
  for (const auto& [table, column] :
       {std::pair{"attrs", "path"}, std::pair{"locks", "path"}, std::pair{"staging", "path"},
        std::pair{"shortnames", "dir"}}) {
    const std::string t = table, c = column;
    db.Exec("DELETE FROM " + t + " WHERE " + c +
            " IN (SELECT old FROM temp.rekey WHERE new IS NULL); UPDATE OR REPLACE " + t + " SET " +
            c + " = (SELECT new FROM temp.rekey WHERE old = " + t + "." + c + ");");
  }
  db.Exec("DROP TABLE temp.rekey");
}

}  // namespace

std::string StoreTitle(StoreKind kind) {
  return kind == StoreKind::kState ? "the state of the machine" : "the registry of the machine";
}

void CreateStore(const fs::path& file, StoreKind kind) {
  std::error_code ec;
  if (fs::exists(file, ec) || ec) throw SqliteError(file.string() + ": exists already", 0);
  SqliteDb db(file, true);
  SqliteTransaction tx(db);
  if (kind == StoreKind::kState)
    CreateStateTables(db);
  else
    db.Exec(kRegistrySchema);
  db.Exec(Marks(kind));
  tx.Commit();
}

std::string StoreFileProblem(const fs::path& file, StoreKind kind) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return errno == ENOENT ? "is missing" : "cannot be read";
  if (!S_ISREG(st.st_mode)) return "is not a file";
  if (st.st_size == 0) return "is empty";
  unsigned char h[100] = {};
  {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "cannot be read";
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() < std::streamsize(sizeof h) || std::memcmp(h, "SQLite format 3", 16) != 0)
      return "is not a " + Noun(kind) + " database (unknown header)";
  }
  std::uint32_t pageSize = BigEndian(h + 16, 2);
  if (pageSize == 1) pageSize = 65536;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) || h[21] != 64 ||
      h[22] != 32 || h[23] != 32 || h[18] < 1 || h[18] > 2 || h[19] < 1 || h[19] > 2)
    return "has a damaged header";
  if (std::string foreign = ForeignId(BigEndian(h + 68, 4), kind); !foreign.empty()) return foreign;
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

std::string StoreLayoutProblem(SqliteDb& db, StoreKind kind) {
  const auto id = std::uint32_t(Pragma(db, "application_id"));
  if (std::string foreign = ForeignId(id, kind); !foreign.empty()) return foreign;
  const std::int64_t layout = Pragma(db, "user_version");
  if (layout > LayoutOf(kind))
    return "was written by a newer program (layout " + std::to_string(layout) +
           ", this one reads " + std::to_string(LayoutOf(kind)) + ")";
  if (kind == StoreKind::kState) {
    // Unmarked: a layout from before files were marked, which had these tables.
    if (id == 0 && (!HasTable(db, "journal") || !HasTable(db, "locks")))
      return "holds no state (no state tables)";
    return "";
  }
  if (layout < 1 || !HasTable(db, "keys") || !HasTable(db, "vals"))
    return "holds no registry (no registry tables)";
  auto roots = db.Prepare(
      "SELECT count(*) FROM keys WHERE parent = 0 AND folded IN ('HKEY_LOCAL_MACHINE', "
      "'HKEY_USERS')");
  if (!roots.Step() || roots.ColumnInt(0) != 2) return "has lost its root keys";
  return "";
}

bool StoreNeedsUpgrade(SqliteDb& db, StoreKind kind) {
  return Pragma(db, "application_id") == 0 || Pragma(db, "user_version") < LayoutOf(kind);
}

void UpgradeStore(SqliteDb& db, StoreKind kind, const OldKeyMap& keyOf) {
  SqliteTransaction tx(db);
  if (!StoreNeedsUpgrade(db, kind)) return;
  if (kind == StoreKind::kState) {
    const std::int64_t layout = Pragma(db, "user_version");
    if (layout < 2) RebuildFirstLayout(db);
    CreateStateTables(db);
    if (layout < 3) RekeyFiles(db, keyOf);
  }
  db.Exec(Marks(kind));
  tx.Commit();
}

}  // namespace win
