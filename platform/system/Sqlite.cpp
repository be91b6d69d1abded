#include "platform/system/Sqlite.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <unordered_map>

namespace win {

namespace {
// Lets the cache be searched with the text a caller passes, without a copy of it.
struct SqlHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view sql) const { return std::hash<std::string_view>{}(sql); }
};
}  // namespace

struct SqliteStatementCache {
  using Map = std::unordered_map<std::string, SqliteIdleStatements, SqlHash, std::equal_to<>>;
  // Where the text a caller passed at this address was found last. Callers mostly pass
  // literals, at the same address each time: comparing the text beats hashing it. A slot
  // only saves the search; what it points to is checked.
  struct Recent {
    const char* text = nullptr;
    Map::iterator it;
  };

  // The idle statements of sql, made when there are none yet. Under the mutex.
  SqliteIdleStatements& Find(std::string_view sql) {
    Recent& r = recent[(reinterpret_cast<std::uintptr_t>(sql.data()) >> 3) % std::size(recent)];
    if (!r.text || r.text != sql.data() || r.it->first != sql) {
      auto it = idle.find(sql);
      if (it == idle.end()) it = idle.emplace(std::string(sql), SqliteIdleStatements()).first;
      r = {sql.data(), it};  // map nodes stay put while the map grows
    }
    return r.it->second;
  }

  std::mutex mutex;
  bool open = true;
  Map idle;
  Recent recent[64];
};

namespace {
// Whether a failure comes of permissions: a write refused, or the index of a read-only
// database's log that could not be made.
bool Refused(sqlite3* db, int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_AUTH ||
         (primary == SQLITE_CANTOPEN && db && sqlite3_db_readonly(db, "main") == 1);
}

// A failure of db, named by its file: SQLite's words (what: the call and its own words),
// or a permission problem said as one.
[[noreturn]] void Fail(sqlite3* db, const std::string& what, int rc) {
  const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
  std::string msg = file && *file ? std::string(file) + ": " : std::string();
  if (Refused(db, rc)) throw SqliteError(msg + "cannot be written (permission denied)", rc, true);
  throw SqliteError(msg + what, rc);
}

// Set before the library starts (the first connection): no count of the memory it holds,
// which nothing here reads, and which costs a global lock around every allocation it makes
// (a few dozen per statement). Too late when it started already: it then keeps counting.
void ConfigureLibrary() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    return true;
  }();
  (void)configured;
}

// A write that would begin under a read snapshot of this connection fails with
// SQLITE_BUSY_SNAPSHOT whenever another connection committed since that snapshot began, and
// no busy timeout retries it: the write must come outside the read, or in a transaction
// begun for writing. Checked where the checks are compiled in (debug builds), so that the
// tests find such a write rather than a user on a busy PC.
void CheckNoReadSnapshot(sqlite3* db, const char* what) {
#ifndef NDEBUG
  // A read-only connection refuses the write itself, whatever it holds.
  if (sqlite3_txn_state(db, "main") == SQLITE_TXN_READ && sqlite3_db_readonly(db, "main") != 1)
    throw SqliteError(std::string(what) + " under a read snapshot of the same connection: " +
                          sqlite3_db_filename(db, "main"),
                      SQLITE_MISUSE);
#else
  (void)db;
  (void)what;
#endif
}

// Numbers the connections of this process, and their transactions.
std::atomic<std::uint64_t> g_serial{0};
std::atomic<std::uint64_t> g_txSerial{0};
}  // namespace

namespace {
// A file name as a URI path: what is not plain is percent-encoded.
std::string UriPath(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "file:";
  for (unsigned char c : path) {
    if (std::isalnum(c) || std::strchr("/-._~", c)) {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}
}  // namespace

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create)
    : SqliteDb(file, create ? SqliteOpen::kCreate : SqliteOpen::kExisting) {
  if (!create) UseWal();
}

SqliteDb::SqliteDb(const std::filesystem::path& file, SqliteOpen how)
    : file_(file), cache_(std::make_shared<SqliteStatementCache>()), serial_(++g_serial) {
  txSerial_ = ++g_txSerial;
  ConfigureLibrary();
  readOnly_ = how == SqliteOpen::kReadOnly || how == SqliteOpen::kImmutable;
  int flags = SQLITE_OPEN_FULLMUTEX | (readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
  if (how == SqliteOpen::kCreate) flags |= SQLITE_OPEN_CREATE;
  std::string name = file.string();
  if (how == SqliteOpen::kImmutable) {
    flags |= SQLITE_OPEN_URI;
    name = UriPath(name) + "?immutable=1";
  }
  int rc = sqlite3_open_v2(name.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = "cannot open " + file.string();
    if (db_) msg += ": " + std::string(sqlite3_errmsg(db_));
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError(msg, rc);
  }
  sqlite3_busy_timeout(db_, 10000);
  try {
    // Settings of this connection alone: nothing is written to the file.
    Exec("PRAGMA synchronous=NORMAL");
    // While the database is open the log keeps its size, and is carried into the database
    // (two flushes to disk) every 8,192 pages rather than every 1,000: thousands of file
    // calls in a row wrote more in flushes than in data.
    if (!readOnly_) Exec("PRAGMA journal_size_limit=67108864; PRAGMA wal_autocheckpoint=8192");
    if (how == SqliteOpen::kCreate) UseWal();
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

void SqliteDb::UseWal() {
  // A file that is not a database fails here, with a clear message.
  Exec("PRAGMA journal_mode=WAL");
  // The log and its index stay between runs, emptied at the last close rather than
  // deleted: a program neither creates two files per database when it starts nor deletes
  // them when it ends. Emptied, the log holds nothing that could meet another database
  // put in this one's place.
  int persist = 1;
  sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
}

SqliteDb::~SqliteDb() {
  {
    std::lock_guard lock(cache_->mutex);
    cache_->open = false;
    for (auto& [sql, stmts] : cache_->idle)
      for (auto* st : stmts) sqlite3_finalize(st);
    cache_->idle.clear();
  }
  if (db_) sqlite3_close_v2(db_);
}

void SqliteDb::Exec(const std::string& sql) {
  char* err = nullptr;
  int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string msg = err ? err : "error";
    sqlite3_free(err);
    Fail(db_, msg, rc);
  }
}

SqliteStatement SqliteDb::Prepare(std::string_view sql) {
  SqliteIdleStatements* idle;
  {
    std::lock_guard lock(cache_->mutex);
    idle = &cache_->Find(sql);
    if (!idle->empty()) {
      sqlite3_stmt* stmt = idle->back();
      idle->pop_back();
      return SqliteStatement(db_, stmt, cache_, idle);
    }
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(db_, std::string("prepare: ") + sqlite3_errmsg(db_), rc);
  return SqliteStatement(db_, stmt, cache_, idle);
}

std::int64_t SqliteDb::LastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
int SqliteDb::Changes() const { return sqlite3_changes(db_); }

std::string SqliteDb::IntegrityCheck() {
  auto st = Prepare("PRAGMA integrity_check");
  std::string result;
  while (st.Step()) {
    if (!result.empty()) result += "\n";
    result += st.ColumnText(0);
  }
  return result;
}

bool SqliteDb::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

bool SqliteDb::MayWrite() const {
  return !readOnly_ && !readTransaction_ && sqlite3_txn_state(db_, "main") != SQLITE_TXN_READ;
}

SqliteTransaction::SqliteTransaction(SqliteDb& db) : db_(db) {
  nested_ = db_.InTransaction();
  CheckNoReadSnapshot(db_.get(), "a write transaction");
  db_.Prepare(nested_ ? "SAVEPOINT wi_nested" : "BEGIN IMMEDIATE").Step();
  if (!nested_) db_.txSerial_ = ++g_txSerial;
}
SqliteTransaction::~SqliteTransaction() {
  if (!done_) {
    db_.txSerial_ = ++g_txSerial;
    try {
      db_.Exec(nested_ ? "ROLLBACK TO wi_nested; RELEASE wi_nested" : "ROLLBACK");
    } catch (...) {
    }
  }
}
void SqliteTransaction::Commit() {
  db_.Prepare(nested_ ? "RELEASE wi_nested" : "COMMIT").Step();
  done_ = true;
}

SqliteReadTransaction::SqliteReadTransaction(SqliteDb& db) : db_(db) {
  if (db_.InTransaction()) return;
  db_.Prepare("BEGIN").Step();
  db_.txSerial_ = ++g_txSerial;
  db_.readTransaction_ = true;
  began_ = true;
}
SqliteReadTransaction::~SqliteReadTransaction() {
  if (!began_) return;
  // Ends the read whether or not it saw all it asked for; nothing was written to keep.
  db_.txSerial_ = ++g_txSerial;
  db_.readTransaction_ = false;
  try {
    db_.Exec("COMMIT");
  } catch (...) {
    try {
      db_.Exec("ROLLBACK");
    } catch (...) {
    }
  }
}

SqliteStatement::~SqliteStatement() {
  if (!stmt_) return;
  if (cache_) {
    // Resetting also ends the read or write the statement held open. The next user finds
    // no value bound (a statement that had none bound has none to clear).
    sqlite3_reset(stmt_);
    if (bound_) sqlite3_clear_bindings(stmt_);
    std::lock_guard lock(cache_->mutex);
    if (cache_->open && idle_->size() < 4) {
      idle_->push_back(stmt_);
      return;
    }
  }
  sqlite3_finalize(stmt_);
}
SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
  bound_ = true;
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}
SqliteStatement& SqliteStatement::Bind(int index, const std::string& value) {
  bound_ = true;
  sqlite3_bind_text(stmt_, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
  return *this;
}
SqliteStatement& SqliteStatement::BindBlob(int index, const std::vector<std::uint8_t>& value) {
  bound_ = true;
  sqlite3_bind_blob(stmt_, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
  return *this;
}
SqliteStatement& SqliteStatement::BindNull(int index) {
  bound_ = true;
  sqlite3_bind_null(stmt_, index);
  return *this;
}
bool SqliteStatement::Step() {
  if (!sqlite3_stmt_readonly(stmt_) && !sqlite3_stmt_busy(stmt_))
    CheckNoReadSnapshot(db_, "a write");
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, std::string("step: ") + sqlite3_errmsg(db_), rc);
}
void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  bound_ = false;
}
std::int64_t SqliteStatement::ColumnInt(int col) const { return sqlite3_column_int64(stmt_, col); }
std::string SqliteStatement::ColumnText(int col) const {
  auto p = sqlite3_column_text(stmt_, col);
  int n = sqlite3_column_bytes(stmt_, col);
  return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
}
std::vector<std::uint8_t> SqliteStatement::ColumnBlob(int col) const {
  auto p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, col));
  int n = sqlite3_column_bytes(stmt_, col);
  return p ? std::vector<std::uint8_t>(p, p + n) : std::vector<std::uint8_t>();
}
bool SqliteStatement::ColumnIsNull(int col) const {
  return sqlite3_column_type(stmt_, col) == SQLITE_NULL;
}

}  // namespace win
