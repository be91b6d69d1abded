// The SQLite layer keeps compiled statements and the answers of reads. Neither may ever
// answer for something else: a statement handed out again has no value bound and runs its
// own text; a kept answer serves only inside the transaction it was read in, and goes with
// a part of it rolled back.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "platform/system/CacheSwitch.h"
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

// Outside a transaction nothing is kept: another connection's commit is seen at once, even
// right after a transaction of this one that wrote nothing, and while a statement of this
// connection still reads an older state, a write is refused rather than made over it.
TEST_F(ReadCache, OutsideATransactionEveryAnswerIsTheCommittedState) {
  SqliteDb& db = *db_;
  SqliteDb other(File(), false);
  Set(db, "a", 1);
  Values values;
  EXPECT_EQ(values.Get(db, "a"), 1);
  Set(other, "a", 2);
  EXPECT_EQ(values.Get(db, "a"), 2);
  {
    SqliteTransaction empty(db);
    EXPECT_EQ(values.Get(db, "a"), 2);
    empty.Commit();
  }
  Set(other, "a", 3);
  EXPECT_EQ(values.Get(db, "a"), 3);
  EXPECT_EQ(values.asked, 4);

  auto reading = db.Prepare("SELECT k FROM t");
  ASSERT_TRUE(reading.Step());
  EXPECT_FALSE(db.MayWrite());
  Set(other, "a", 4);
  EXPECT_EQ(values.Get(db, "a"), 3) << "the state the open statement reads";
#ifndef NDEBUG
  EXPECT_THROW(Set(db, "a", 5), SqliteError);
  EXPECT_THROW(SqliteTransaction tx(db), SqliteError);
#endif
  reading.Reset();
  EXPECT_TRUE(db.MayWrite());
  EXPECT_EQ(values.Get(db, "a"), 4);
}

TEST_F(ReadCache, InsideATransactionAnswersAndWritesServeUntilItEnds) {
  if (!CachesOn()) GTEST_SKIP() << "it checks what the caches keep, and they are off";
  SqliteDb& db = *db_;
  SqliteDb other(File(), false);
  Set(db, "a", 1);
  Values values;
  {
    SqliteReadTransaction read(db);
    EXPECT_FALSE(db.MayWrite());
    EXPECT_EQ(values.Get(db, "a"), 1);
    Set(other, "a", 2);
    EXPECT_EQ(values.Get(db, "a"), 1) << "one state for the whole read";
    EXPECT_EQ(values.asked, 1);
  }
  EXPECT_EQ(values.Get(db, "a"), 2);
  {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 2);
    values.Put(db, "a", 3);
    EXPECT_EQ(values.Get(db, "a"), 3);
    tx.Commit();
  }
  values.asked = 0;
  Set(other, "a", 4);
  {
    SqliteTransaction tx(db);
    EXPECT_EQ(values.Get(db, "a"), 4) << "answers of the last transaction are gone";
    tx.Commit();
  }
  EXPECT_EQ(values.asked, 1);
}

TEST_F(ReadCache, WhatARolledBackTransactionOrPartOfOneWroteIsNotKept) {
  SqliteDb& db = *db_;
  Set(db, "a", 1);
  Values values;
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
}

// A connection closed and another opened, likely at the same address: nothing of the
// first one's transactions answers in the second one's.
TEST_F(ReadCache, AnswersOfAClosedConnectionDoNotServeTheNextOne) {
  Set(*db_, "a", 1);
  Values values;
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
