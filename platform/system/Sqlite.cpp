#include "platform/system/Sqlite.h"

#include <sqlite3.h>

#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/system/SqliteVfs.h"

namespace win {

struct SqliteStatementCache {
  std::mutex mutex;
  bool open = true;
  std::unordered_map<std::string, std::vector<sqlite3_stmt*>> idle;
};

namespace {
[[noreturn]] void Fail(sqlite3* db, const std::string& what, int rc) {
  std::string msg = what;
  if (db) msg += ": " + std::string(sqlite3_errmsg(db));
  throw SqliteError(msg, rc);
}

// Numbers the connections of this process.
std::atomic<std::uint64_t> g_serial{0};
}  // namespace

bool SqliteCommitMark::operator==(const SqliteCommitMark& o) const {
  return std::memcmp(bytes, o.bytes, sizeof bytes) == 0;
}

SqliteDb::SqliteDb(const std::filesystem::path& file, bool create)
    : file_(file), cache_(std::make_shared<SqliteStatementCache>()), serial_(++g_serial) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  int rc = sqlite3_open_v2(file.c_str(), &db_, flags, SqliteVfsName());
  if (rc != SQLITE_OK) {
    std::string msg = "cannot open " + file.string();
    if (db_) msg += ": " + std::string(sqlite3_errmsg(db_));
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqliteError(msg, rc);
  }
  sqlite3_busy_timeout(db_, 10000);
  try {
    // A file that is not a database fails here, with a clear message.
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    // The log and its index stay between runs, emptied at the last close rather than
    // deleted: a program neither creates two files per database when it starts nor deletes
    // them when it ends. Emptied, the log holds nothing that could meet another database
    // put in this one's place. While the database is open the log keeps its size, and is
    // carried into the database (two flushes to disk) every 8,192 pages rather than every
    // 1,000: thousands of file calls in a row wrote more in flushes than in data.
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    Exec("PRAGMA journal_size_limit=67108864; PRAGMA wal_autocheckpoint=8192");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
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
  SqliteVfsSettle(db_);
  if (rc != SQLITE_OK) {
    std::string msg = file_.string() + ": " + (err ? err : "error");
    sqlite3_free(err);
    throw SqliteError(msg, rc);
  }
}

SqliteStatement SqliteDb::Prepare(const std::string& sql) {
  const std::string* key;
  {
    std::lock_guard lock(cache_->mutex);
    auto it = cache_->idle.try_emplace(sql).first;
    key = &it->first;  // node keys stay put when the map grows
    if (!it->second.empty()) {
      sqlite3_stmt* stmt = it->second.back();
      it->second.pop_back();
      return SqliteStatement(db_, stmt, cache_, key);
    }
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.c_str(), int(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) Fail(db_, file_.string() + ": prepare", rc);
  return SqliteStatement(db_, stmt, cache_, key);
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

bool SqliteDb::CommitMark(SqliteCommitMark& out) {
  if (InTransaction()) return false;
  // The log's index header (48 bytes) is kept twice at the start of the shared-memory
  // file: a commit writes the second copy, then the first. Read in the other order, two
  // equal copies are one header whole; it changes with every commit (its change counter,
  // last frame and salts) and when the log starts over.
  constexpr std::size_t kHeader = 48;
  const volatile unsigned char* index = walIndex_.load(std::memory_order_acquire);
  if (!index) {
    struct Lock {
      sqlite3_mutex* m;
      ~Lock() { sqlite3_mutex_leave(m); }
    } lock{sqlite3_db_mutex(db_)};
    sqlite3_mutex_enter(lock.m);
    sqlite3_file* f = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_FILE_POINTER, &f) != SQLITE_OK || !f || !f->pMethods ||
        f->pMethods->iVersion < 2 || !f->pMethods->xShmMap)
      return false;
    void volatile* region = nullptr;
    // The region this connection has mapped already; nothing is made or grown here.
    if (f->pMethods->xShmMap(f, 0, 32768, 0, &region) != SQLITE_OK || !region) return false;
    index = static_cast<const volatile unsigned char*>(region);
    walIndex_.store(index, std::memory_order_release);
  }
  unsigned char first[kHeader], second[kHeader];
  for (std::size_t i = 0; i < kHeader; ++i) first[i] = index[i];
  std::atomic_thread_fence(std::memory_order_seq_cst);
  for (std::size_t i = 0; i < kHeader; ++i) second[i] = index[kHeader + i];
  // Byte 12 (isInit) is set once the header is valid.
  if (std::memcmp(first, second, kHeader) != 0 || first[12] != 1) return false;
  std::memcpy(out.bytes, first, kHeader);
  return true;
}

bool SqliteDb::InTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

SqliteTransaction::SqliteTransaction(SqliteDb& db) : db_(db) {
  // Inside an open transaction, a savepoint: the outer one decides.
  nested_ = db_.InTransaction();
  db_.Prepare(nested_ ? "SAVEPOINT wi_nested" : "BEGIN IMMEDIATE").Step();
  if (!nested_) ++db_.txSerial_;
}
SqliteTransaction::~SqliteTransaction() {
  if (!done_) {
    ++db_.txSerial_;
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

SqliteStatement::~SqliteStatement() {
  if (!stmt_) return;
  if (cache_) {
    // Resetting also ends the read or write the statement held open.
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    std::lock_guard lock(cache_->mutex);
    if (cache_->open) {
      auto& idle = cache_->idle[*sql_];
      if (idle.size() < 4) {
        idle.push_back(stmt_);
        return;
      }
    }
  }
  sqlite3_finalize(stmt_);
}
SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}
SqliteStatement& SqliteStatement::Bind(int index, const std::string& value) {
  sqlite3_bind_text(stmt_, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
  return *this;
}
SqliteStatement& SqliteStatement::BindBlob(int index, const std::vector<std::uint8_t>& value) {
  sqlite3_bind_blob(stmt_, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
  return *this;
}
SqliteStatement& SqliteStatement::BindNull(int index) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}
bool SqliteStatement::Step() {
  int rc = sqlite3_step(stmt_);
  SqliteVfsSettle(db_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(db_, "step", rc);
}
void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
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
