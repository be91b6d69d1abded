// The SQLite layer keeps compiled statements and the answers of reads. Neither may ever
// answer for something else: a statement handed out again has no value bound and runs its
// own text; a kept answer goes as soon as anything else may have changed it, by another
// connection or by a part of a transaction rolled back.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

class TempDb : public ::testing::Test {
 protected:
  TempDb() {
    std::random_device rd;
    dir_ = fs::temp_directory_path() /
           ("wi-sqlite-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    fs::create_directories(dir_);
    db_ = std::make_unique<SqliteDb>(File(), true);
    db_->Exec("CREATE TABLE t(k TEXT PRIMARY KEY, v INTEGER NOT NULL) WITHOUT ROWID");
  }
  ~TempDb() override {
    db_.reset();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path File() const { return dir_ / "test.db"; }

  fs::path dir_;
  std::unique_ptr<SqliteDb> db_;
};

std::int64_t One(SqliteDb& db, std::string_view sql) {
  auto st = db.Prepare(sql);
  EXPECT_TRUE(st.Step()) << sql;
  return st.ColumnInt(0);
}

void Set(SqliteDb& db, const std::string& k, std::int64_t v) {
  auto st = db.Prepare("INSERT OR REPLACE INTO t(k, v) VALUES(?, ?)");
  st.Bind(1, k).Bind(2, v);
  st.Step();
}

// A cache of t's values that counts the questions it puts to the database.
struct Values {
  explicit Values(SqliteWrites writes) : cache(writes) {}
  std::int64_t Get(SqliteDb& db, const std::string& k) {
    return cache.Lookup(db, k, [&] {
      ++asked;
      auto st = db.Prepare("SELECT v FROM t WHERE k = ?");
      st.Bind(1, k);
      return st.Step() ? st.ColumnInt(0) : std::int64_t(-1);
    });
  }
  void Put(SqliteDb& db, const std::string& k, std::int64_t v) {
    Set(db, k, v);
    cache.Wrote(db, k, v);
  }
  SqliteReadCache<std::int64_t> cache;
  int asked = 0;
};

}  // namespace

using StatementCache = TempDb;

TEST_F(StatementCache, AStatementHandedOutAgainHasNoValueBoundAndRunsItsOwnText) {
  SqliteDb& db = *db_;
  {
    auto st = db.Prepare("SELECT ?1 IS NULL");
    st.Bind(1, std::string("bound"));
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.ColumnInt(0), 0);
  }
  EXPECT_EQ(One(db, "SELECT ?1 IS NULL"), 1) << "the value bound by the last user is gone";

  // One buffer, two texts in turn: the statement of the first is not the answer to the
  // second, whatever the address says.
  char text[32];
  std::strcpy(text, "SELECT 1");
  EXPECT_EQ(One(db, std::string_view(text)), 1);
  std::strcpy(text, "SELECT 2");
  EXPECT_EQ(One(db, std::string_view(text)), 2);
  std::strcpy(text, "SELECT 21");
  EXPECT_EQ(One(db, std::string_view(text)), 21);
  EXPECT_EQ(One(db, std::string_view(text, 8)), 2) << "the text is as long as it is said to be";
}

TEST_F(StatementCache, AStatementMayOutliveItsConnection) {
  Set(*db_, "a", 1);
  auto st = db_->Prepare("SELECT v FROM t");
  ASSERT_TRUE(st.Step());
  db_.reset();  // closed once the statement is done with
  EXPECT_EQ(st.ColumnInt(0), 1);
}

using ReadCache = TempDb;

// Kept across: answers asked in every transaction of a connection stay through its own
// commits, and only through them.
TEST_F(ReadCache, KeptAnswersFollowTheConnectionsOwnCommitsAndNoOtherChange) {
  SqliteDb& db = *db_;
  Set(db, "a", 1);
  Values values(SqliteWrites::kReportedKeptAcross);
  {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 1);
    values.Put(db, "b", 2);  // a write of another key
    tx.Commit();
  }
  EXPECT_EQ(values.asked, 1);
  for (int round = 0; round < 3; ++round) {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 1);
    EXPECT_EQ(values.Get(db, "b"), 2);
    tx.Commit();
  }
  EXPECT_EQ(values.Get(db, "a"), 1);
  EXPECT_EQ(values.asked, 1) << "nothing but this connection's own transactions was committed";

  // Another connection commits after this one's last commit: seen, inside a transaction
  // and out of one.
  SqliteDb other(File(), false);
  Set(other, "a", 10);
  {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 10);
    tx.Commit();
  }
  Set(other, "b", 20);
  EXPECT_EQ(values.Get(db, "b"), 20);

  // Right after a commit of this connection, before anything is asked again.
  {
    SqliteTransaction tx(db);
    values.Put(db, "a", 11);
    tx.Commit();
  }
  Set(other, "a", 12);
  {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 12);
    tx.Commit();
  }
  // A write of this connection outside a transaction is told by its commit alone.
  EXPECT_EQ(values.Get(db, "b"), 20);
  Set(db, "b", 21);
  EXPECT_EQ(values.Get(db, "b"), 21);
}

// Another program's commit lands between this connection's commit and the moment it looks
// at the log's index again: what it kept must not pass for the state after its own commit.
TEST_F(ReadCache, ACommitRightAfterTheConnectionsOwnIsNotTakenForIt) {
  SqliteDb& db = *db_;
  Set(db, "a", 1);
  SqliteDb other(File(), false);
  struct Race {
    SqliteDb* other;
    bool armed = false;
  } race{&other};
  // Called once a commit of db is done and its lock given up (it replaces the automatic
  // carrying of the log into the database, which this test does not need).
  sqlite3_wal_hook(
      db.get(),
      [](void* arg, sqlite3*, const char*, int) {
        auto* r = static_cast<Race*>(arg);
        if (r->armed) Set(*r->other, "a", 99);
        r->armed = false;
        return SQLITE_OK;
      },
      &race);
  Values values(SqliteWrites::kReportedKeptAcross);
  for (std::int64_t v : {2, 3}) {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), v - 1);
    values.Put(db, "a", v);
    race.armed = v == 3;
    tx.Commit();
  }
  {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 99);
    tx.Commit();
  }
  EXPECT_EQ(values.Get(db, "a"), 99);
  sqlite3_wal_hook(db.get(), nullptr, nullptr);
}

TEST_F(ReadCache, WhatARolledBackTransactionOrPartOfOneWroteIsNotKept) {
  SqliteDb& db = *db_;
  Set(db, "a", 1);
  for (SqliteWrites writes : {SqliteWrites::kReported, SqliteWrites::kReportedKeptAcross}) {
    Values values(writes);
    EXPECT_EQ(values.Get(db, "a"), 1);  // kept from before the transaction
    {
      SqliteTransaction tx(db);
      EXPECT_EQ(values.Get(db, "a"), 1);
      {
        SqliteTransaction part(db);
        values.Put(db, "a", 2);
        EXPECT_EQ(values.Get(db, "a"), 2) << "a write is seen at once";
      }
      EXPECT_EQ(values.Get(db, "a"), 1);
      values.Put(db, "a", 3);
      {
        SqliteTransaction part(db);
        values.Put(db, "a", 4);
      }
      EXPECT_EQ(values.Get(db, "a"), 3) << "what the transaction wrote before the part stays";
      tx.Commit();
    }
    EXPECT_EQ(values.Get(db, "a"), 3);
    {
      SqliteTransaction tx(db);
      values.Put(db, "a", 5);
    }
    EXPECT_EQ(values.Get(db, "a"), 3);
    {
      SqliteTransaction tx(db);
      EXPECT_EQ(values.Get(db, "a"), 3);
      values.cache.Dropped(db);  // a write no key tells
      Set(db, "a", 6);
      EXPECT_EQ(values.Get(db, "a"), 6);
      tx.Commit();
    }
    EXPECT_EQ(values.Get(db, "a"), 6);
    Set(db, "a", 1);
  }
}

// A connection closed and another opened, likely at the same address: nothing of the
// first one's transactions answers in the second one's.
TEST_F(ReadCache, AnswersOfAClosedConnectionDoNotServeTheNextOne) {
  Set(*db_, "a", 1);
  Values values(SqliteWrites::kReported);
  {
    SqliteTransaction tx(*db_);
    EXPECT_EQ(values.Get(*db_, "a"), 1);
    tx.Commit();
  }
  db_.reset();
  {
    SqliteDb other(File(), false);
    Set(other, "a", 2);
  }
  db_ = std::make_unique<SqliteDb>(File(), false);
  SqliteTransaction tx(*db_);
  EXPECT_EQ(values.Get(*db_, "a"), 2);
  tx.Commit();
}
