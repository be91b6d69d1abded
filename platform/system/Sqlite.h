#pragma once
// Thin RAII wrapper over SQLite used by the registry and the machine's state store.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace win {

class SqliteError : public std::runtime_error {
 public:
  SqliteError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

class SqliteStatement;
struct SqliteStatementCache;

// What the write-ahead log's index says of the committed state of a database. Two equal
// marks taken from one connection mean that no transaction was committed in between, by
// any connection of any process.
struct SqliteCommitMark {
  unsigned char bytes[48] = {};
  bool operator==(const SqliteCommitMark& o) const;
};

class SqliteDb {
 public:
  // Opens (creating when asked) in WAL mode with a busy timeout, so that several
  // processes of one machine can share the file.
  SqliteDb(const std::filesystem::path& file, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  void Exec(const std::string& sql);
  // Statements are kept once compiled: a statement that goes out of scope is reset and
  // handed to the next Prepare of the same text (the platform calls repeat a few queries
  // thousands of times, and compiling them cost more than running them).
  SqliteStatement Prepare(const std::string& sql);
  std::int64_t LastInsertRowId() const;
  int Changes() const;
  // "ok" when the database is sound.
  std::string IntegrityCheck();
  // The commit mark now, read without a transaction (a few loads from shared memory).
  // False while this connection has a transaction open, or when the log's index cannot be
  // read: the caller then asks the database.
  bool CommitMark(SqliteCommitMark& out);
  // Tells this connection from every other opened in this process.
  std::uint64_t Serial() const { return serial_; }
  bool InTransaction() const;
  // Moves on when a transaction (SqliteTransaction) begins and when one, or a part of one,
  // is rolled back: what was read inside a transaction holds while it stays the same.
  std::uint64_t TransactionSerial() const { return txSerial_.load(); }
  sqlite3* get() const { return db_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  sqlite3* db_ = nullptr;
  std::filesystem::path file_;
  std::shared_ptr<SqliteStatementCache> cache_;
  std::uint64_t serial_;
  std::atomic<const volatile unsigned char*> walIndex_{nullptr};
  std::atomic<std::uint64_t> txSerial_{0};
  friend class SqliteTransaction;
};

// One transaction; rolled back unless Commit() was called.
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

// Answers of reads kept in memory while nothing is committed to a database: Lookup asks
// the database (query) only when the answer for key is not kept or anything was committed
// since, by any process. Inside a transaction of the connection it asks, unless the cache
// is told of every write to what it answers (Wrote, Dropped): then it keeps what it read
// and what was written in that transaction, until a part of it is rolled back.
template <typename V>
class SqliteReadCache {
 public:
  explicit SqliteReadCache(bool writesReported = false) : writesReported_(writesReported) {}

  template <typename Query>
  V Lookup(SqliteDb& db, const std::string& key, Query query) {
    if (db.InTransaction()) {
      if (!writesReported_) return query();
      std::lock_guard lock(mutex_);
      auto& answers = InTransaction(db);
      auto it = answers.find(key);
      return it != answers.end() ? it->second : (answers[key] = query());
    }
    SqliteCommitMark before;
    const bool marked = db.CommitMark(before);
    if (marked) {
      std::lock_guard lock(mutex_);
      if (serial_ == db.Serial() && mark_ == before) {
        auto it = answers_.find(key);
        if (it != answers_.end()) return it->second;
      }
    }
    V answer = query();
    // Kept only when nothing was committed while the query ran: the answer then is the
    // state the mark stands for.
    SqliteCommitMark after;
    if (marked && db.CommitMark(after) && after == before) {
      std::lock_guard lock(mutex_);
      if (serial_ != db.Serial() || !(mark_ == before) || answers_.size() >= kMaxAnswers) {
        answers_.clear();
        serial_ = db.Serial();
        mark_ = before;
      }
      answers_[key] = answer;
    }
    return answer;
  }

  // After this process wrote value as the answer for key (outside a transaction the
  // commit itself tells).
  void Wrote(SqliteDb& db, const std::string& key, const V& value) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    InTransaction(db)[key] = value;
  }
  // After a write that removed what key and the keys below it ("key/...") answer.
  void DroppedBelow(SqliteDb& db, const std::string& key) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    auto& answers = InTransaction(db);
    answers.erase(key);
    const std::string below = key + "/";
    for (auto it = answers.begin(); it != answers.end();)
      it = it->first.compare(0, below.size(), below) == 0 ? answers.erase(it) : std::next(it);
  }
  // After a write that no single key tells.
  void Dropped(SqliteDb& db) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    InTransaction(db).clear();
  }

 private:
  // The answers of db's transaction now, under the lock.
  std::unordered_map<std::string, V>& InTransaction(const SqliteDb& db) {
    if (txDb_ != &db || txSerial_ != db.TransactionSerial()) {
      txAnswers_.clear();
      txDb_ = &db;
      txSerial_ = db.TransactionSerial();
    }
    return txAnswers_;
  }

  static constexpr std::size_t kMaxAnswers = 4096;
  const bool writesReported_;
  std::mutex mutex_;
  std::uint64_t serial_ = 0;
  SqliteCommitMark mark_;
  std::unordered_map<std::string, V> answers_;
  const SqliteDb* txDb_ = nullptr;
  std::uint64_t txSerial_ = 0;
  std::unordered_map<std::string, V> txAnswers_;
};

class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
  SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::shared_ptr<SqliteStatementCache> cache,
                  const std::string* sql)
      : db_(db), stmt_(stmt), cache_(std::move(cache)), sql_(sql) {}
  SqliteStatement(SqliteStatement&& o) noexcept
      : db_(o.db_), stmt_(o.stmt_), cache_(std::move(o.cache_)), sql_(o.sql_) {
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
  const std::string* sql_ = nullptr;             // its key there
};

}  // namespace win
