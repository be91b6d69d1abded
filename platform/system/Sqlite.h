#pragma once
// Thin RAII wrapper over SQLite used by the registry and the machine's state store. Only the
// library's public interface is used, on its own file layer.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/system/CacheSwitch.h"

struct sqlite3;
struct sqlite3_stmt;

namespace win {

class SqliteError : public std::runtime_error {
 public:
  SqliteError(const std::string& what, int code, bool permission = false)
      : std::runtime_error(what), code_(code), permission_(permission) {}
  int code() const { return code_; }
  // The file (or its folder) may not be written by this process: a permission problem of
  // the PC, not a damaged database.
  bool PermissionDenied() const { return permission_; }

 private:
  int code_;
  bool permission_;
};

class SqliteStatement;
struct SqliteStatementCache;

// How a database is opened.
enum class SqliteOpen {
  kCreate,    // made when missing, and put in WAL mode at once
  kExisting,  // read and written, nothing changed until UseWal (the caller checks it first)
  kReadOnly,  // read only, through the write-ahead log and its index as they are
  kImmutable  // read only, the database file alone: where nothing can write it
};

class SqliteDb {
 public:
  // Opens with a busy timeout, so that several processes of one machine can share the file.
  // Throws SqliteError when it cannot.
  SqliteDb(const std::filesystem::path& file, SqliteOpen how);
  // kCreate or kExisting, then UseWal.
  SqliteDb(const std::filesystem::path& file, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // WAL mode, and the log kept between runs (see the definition). For a database found
  // sound: on any other file it is a write.
  void UseWal();
  bool ReadOnly() const { return readOnly_; }

  void Exec(const std::string& sql);
  // Statements are kept once compiled: a statement that goes out of scope is reset and
  // handed to the next Prepare of the same text (the platform calls repeat a few queries
  // thousands of times, and compiling them cost more than running them).
  SqliteStatement Prepare(std::string_view sql);
  std::int64_t LastInsertRowId() const;
  int Changes() const;
  // "ok" when the database is sound.
  std::string IntegrityCheck();
  // Tells this connection from every other opened in this process.
  std::uint64_t Serial() const { return serial_; }
  bool InTransaction() const;
  // Whether a write may start now without running into a snapshot older than the last
  // commit: no transaction, or a write transaction (not a read one, nor a statement of this
  // connection still reading outside a transaction); never on a read-only connection.
  bool MayWrite() const;
  // Moves on when a transaction begins and when one, or a part of one, is rolled back:
  // what was read inside a transaction holds while it stays the same. Its values are never
  // repeated in the process, not even by another connection.
  std::uint64_t TransactionSerial() const { return txSerial_.load(); }
  sqlite3* get() const { return db_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  sqlite3* db_ = nullptr;
  std::filesystem::path file_;
  std::shared_ptr<SqliteStatementCache> cache_;
  std::uint64_t serial_;
  std::atomic<std::uint64_t> txSerial_{0};
  std::atomic<bool> readTransaction_{false};
  bool readOnly_ = false;
  friend class SqliteTransaction;
  friend class SqliteReadTransaction;
};

// One write transaction (BEGIN IMMEDIATE: the writer's lock is taken first, so that what the
// transaction reads is the last committed state and its writes never meet a newer one);
// rolled back unless Commit() was called. Inside an open transaction, a savepoint: the
// outer one decides.
class SqliteTransaction {
 public:
  explicit SqliteTransaction(SqliteDb& db);
  ~SqliteTransaction();
  void Commit();

 private:
  SqliteDb& db_;
  bool done_ = false;
  bool nested_ = false;
};

// Several reads that see one state of the database (one snapshot), and cost one lock. Nothing
// may be written inside; inside an open transaction it does nothing.
class SqliteReadTransaction {
 public:
  explicit SqliteReadTransaction(SqliteDb& db);
  ~SqliteReadTransaction();
  SqliteReadTransaction(const SqliteReadTransaction&) = delete;
  SqliteReadTransaction& operator=(const SqliteReadTransaction&) = delete;

 private:
  SqliteDb& db_;
  bool began_ = false;
};

// Answers of reads kept for the rest of the transaction they were read in. Inside a
// transaction the database reads as it was when it began, but for what this process writes
// there: every such write to what a cache answers is reported to it (Wrote, DroppedBelow,
// Dropped). Outside a transaction, or with the caches off (CachesOn), each lookup asks the
// database.
template <typename V>
class SqliteReadCache {
 public:
  template <typename Query>
  V Lookup(SqliteDb& db, const std::string& key, Query query) {
    if (!db.InTransaction() || !CachesOn()) return query();
    {
      std::lock_guard lock(mutex_);
      Answers& answers = Current(db);
      auto it = answers.find(key);
      if (it != answers.end()) return it->second;
    }
    V answer = query();
    std::lock_guard lock(mutex_);
    Answers& answers = Current(db);
    if (answers.size() >= kMaxAnswers) Empty(answers);
    answers[key] = answer;
    return answer;
  }

  // After this process wrote value as the answer for key (outside a transaction the
  // cache keeps nothing).
  void Wrote(SqliteDb& db, const std::string& key, const V& value) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    Current(db)[key] = value;
  }
  // After a write that removed what key and the keys below it (key + separator + ...)
  // answer.
  void DroppedBelow(SqliteDb& db, const std::string& key, char separator) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    Answers& answers = Current(db);
    answers.erase(key);
    const std::string below = key + separator;
    for (auto it = answers.begin(); it != answers.end();)
      it = it->first.compare(0, below.size(), below) == 0 ? answers.erase(it) : std::next(it);
  }
  // After a write that no single key tells.
  void Dropped(SqliteDb& db) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    Empty(Current(db));
  }

 private:
  using Answers = std::unordered_map<std::string, V>;
  // Emptied without going through all the buckets a large map once needed (clear() does).
  static void Empty(Answers& answers) {
    if (answers.bucket_count() > 64)
      Answers().swap(answers);
    else
      answers.clear();
  }
  // The answers of db's transaction now, under the lock.
  Answers& Current(SqliteDb& db) {
    if (db_ != db.Serial() || tx_ != db.TransactionSerial()) {
      Empty(answers_);
      db_ = db.Serial();
      tx_ = db.TransactionSerial();
    }
    return answers_;
  }

  static constexpr std::size_t kMaxAnswers = 4096;
  std::mutex mutex_;
  std::uint64_t db_ = 0;
  std::uint64_t tx_ = 0;
  Answers answers_;
};

// The idle statements of one SQL text in a connection's cache.
using SqliteIdleStatements = std::vector<sqlite3_stmt*>;

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::shared_ptr<SqliteStatementCache> cache,
                  SqliteIdleStatements* idle)
      : db_(db), stmt_(stmt), cache_(std::move(cache)), idle_(idle) {}
  SqliteStatement(SqliteStatement&& o) noexcept
      : db_(o.db_), stmt_(o.stmt_), cache_(std::move(o.cache_)), idle_(o.idle_), bound_(o.bound_) {
    o.stmt_ = nullptr;
  }
  SqliteStatement(const SqliteStatement&) = delete;
  ~SqliteStatement();

  SqliteStatement& Bind(int index, std::int64_t value);
  SqliteStatement& Bind(int index, const std::string& value);
  SqliteStatement& BindBlob(int index, const std::vector<std::uint8_t>& value);
  SqliteStatement& BindNull(int index);
  // True while a row is available.
  bool Step();
  void Reset();
  std::int64_t ColumnInt(int col) const;
  std::string ColumnText(int col) const;
  std::vector<std::uint8_t> ColumnBlob(int col) const;
  bool ColumnIsNull(int col) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_;
  std::shared_ptr<SqliteStatementCache> cache_;  // where the statement goes back, if any
  SqliteIdleStatements* idle_ = nullptr;         // its place there (map nodes stay put)
  bool bound_ = false;                           // a value was bound since it was handed out
};

}  // namespace win
