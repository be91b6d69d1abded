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
#include <string_view>
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
  SqliteStatement Prepare(std::string_view sql);
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
  // is rolled back: what was read inside a transaction holds while it stays the same. Its
  // values are never repeated in the process, not even by another connection: a cache that
  // kept answers of a connection since closed meets no equal value on a new one opened at
  // the same address.
  std::uint64_t TransactionSerial() const { return txSerial_.load(); }
  // The commit mark the open transaction began at, while no part of it was rolled back.
  bool TransactionStart(SqliteCommitMark& out);
  // The last transaction this connection committed (by its TransactionSerial at the
  // commit), when the log's index showed that commit and no other after the mark it began
  // at: the state at `to` is the state at `from` with that transaction's writes.
  bool LastCommit(std::uint64_t& txSerial, SqliteCommitMark& from, SqliteCommitMark& to);
  sqlite3* get() const { return db_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  sqlite3* db_ = nullptr;
  std::filesystem::path file_;
  std::shared_ptr<SqliteStatementCache> cache_;
  std::uint64_t serial_;
  std::atomic<const volatile unsigned char*> walIndex_{nullptr};
  std::atomic<std::uint64_t> txSerial_{0};
  // The log's index header as it is now, in or out of a transaction.
  bool ReadCommitMark(SqliteCommitMark& out);
  void TransactionBegan();
  void PartRolledBack();
  void Committed();
  std::mutex marksMutex_;
  bool started_ = false;  // start_ holds
  SqliteCommitMark start_;
  std::uint64_t lastSerial_ = 0;  // 0: no commit known
  SqliteCommitMark lastFrom_, lastTo_;
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

// What a read cache is told of the writes to what it answers.
enum class SqliteWrites {
  kNotReported,
  // Every write is reported (Wrote, Dropped, DroppedBelow).
  kReported,
  // Every write is reported, and the answers are few and asked in every transaction.
  kReportedKeptAcross,
};

// Answers of reads kept in memory while nothing is committed to a database: Lookup asks
// the database (query) only when the answer for key is not kept or anything was committed
// since, by any process. Inside a transaction of the connection it asks, unless the cache
// is told of every write to what it answers: then it keeps what it read and what was
// written in that transaction, until a part of it is rolled back. Kept across, what it
// kept from before a transaction answers in it too when the transaction began at the state
// it was read at, and once the transaction is committed with no other commit in between,
// what it kept and what the transaction read and wrote is the state after that commit
// (worth it for a few answers asked again and again, not for one per file).
template <typename V>
class SqliteReadCache {
 public:
  explicit SqliteReadCache(SqliteWrites writes = SqliteWrites::kNotReported)
      : writesReported_(writes != SqliteWrites::kNotReported),
        keptAcross_(writes == SqliteWrites::kReportedKeptAcross) {}

  template <typename Query>
  V Lookup(SqliteDb& db, const std::string& key, Query query) {
    if (db.InTransaction()) {
      if (!writesReported_) return query();
      std::lock_guard lock(mutex_);
      auto& answers = InTransaction(db);
      auto it = answers.find(key);
      if (it != answers.end()) return it->second;
      if (txFromKept_ && serial_ == db.Serial() && mark_ == txStart_) {
        auto kept = answers_.find(key);
        if (kept != answers_.end()) return kept->second;
      }
      return answers[key] = query();
    }
    SqliteCommitMark before;
    const bool marked = db.CommitMark(before);
    if (marked) {
      std::lock_guard lock(mutex_);
      CarryOver(db);
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
        Empty(answers_);
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
  // After a write that removed what key and the keys below it ("key/...") answer. What
  // was kept from before the transaction goes too (dropping an answer is always safe; many
  // are dropped whole rather than looked through).
  void DroppedBelow(SqliteDb& db, const std::string& key) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    EraseBelow(InTransaction(db), key);
    if (!keptAcross_) return;
    if (answers_.size() > kLookedThrough)
      Empty(answers_);
    else
      EraseBelow(answers_, key);
  }
  // After a write that no single key tells.
  void Dropped(SqliteDb& db) {
    if (!db.InTransaction()) return;
    std::lock_guard lock(mutex_);
    Empty(InTransaction(db));
    if (keptAcross_) Empty(answers_);
  }

 private:
  using Answers = std::unordered_map<std::string, V>;
  static void EraseBelow(Answers& answers, const std::string& key) {
    answers.erase(key);
    const std::string below = key + "/";
    for (auto it = answers.begin(); it != answers.end();)
      it = it->first.compare(0, below.size(), below) == 0 ? answers.erase(it) : std::next(it);
  }
  // Emptied without going through all the buckets a large map once needed (clear() does).
  static void Empty(Answers& answers) {
    if (answers.bucket_count() > 64)
      Answers().swap(answers);
    else
      answers.clear();
  }

  // The answers of db's transaction now, under the lock.
  Answers& InTransaction(SqliteDb& db) {
    if (txDb_ != db.Serial() || txSerial_ != db.TransactionSerial()) {
      CarryOver(db);
      Empty(txAnswers_);
      txDb_ = db.Serial();
      txSerial_ = db.TransactionSerial();
      txFromKept_ = keptAcross_ && serial_ == db.Serial() && db.TransactionStart(txStart_) &&
                    txStart_ == mark_;
    }
    return txAnswers_;
  }

  // Brings the kept answers over the last commit of db, when they were the state it began
  // at or they are what the cache saw of the committed transaction. Under the lock.
  void CarryOver(SqliteDb& db) {
    if (!keptAcross_) return;
    std::uint64_t committed;
    SqliteCommitMark from, to;
    if (!db.LastCommit(committed, from, to)) return;
    const bool keptAtFrom = serial_ == db.Serial() && mark_ == from;
    if (txDb_ == db.Serial() && txSerial_ == committed) {
      // Every write of that transaction was reported here: what it read and wrote is
      // the state at `to`.
      if (!keptAtFrom || answers_.size() + txAnswers_.size() > kMaxAnswers) Empty(answers_);
      if (answers_.empty()) {
        answers_.swap(txAnswers_);
      } else {
        for (auto it = txAnswers_.begin(); it != txAnswers_.end();) {
          auto next = std::next(it);
          auto moved = answers_.insert(txAnswers_.extract(it));  // the node itself, no copy
          if (!moved.inserted) moved.position->second = std::move(moved.node.mapped());
          it = next;
        }
      }
      Empty(txAnswers_);
      txSerial_ = 0;
    } else if (!keptAtFrom) {
      return;  // nothing of that transaction reached this cache: it wrote nothing here
    }
    serial_ = db.Serial();
    mark_ = to;
  }

  static constexpr std::size_t kMaxAnswers = 4096;
  static constexpr std::size_t kLookedThrough = 64;
  const bool writesReported_;
  const bool keptAcross_;
  std::mutex mutex_;
  std::uint64_t serial_ = 0;
  SqliteCommitMark mark_;
  Answers answers_;
  std::uint64_t txDb_ = 0;
  std::uint64_t txSerial_ = 0;
  bool txFromKept_ = false;  // answers_ hold at the state the transaction began at
  SqliteCommitMark txStart_;
  Answers txAnswers_;
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
