// Databases written through our connections are the same files for any other program: it
// reads whole commits while they are written and after, a writer killed right after a commit
// leaves that commit in a sound database, and a write the file system refuses fails the
// commit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

constexpr int kRowsPerCommit = 3;
constexpr int kRowBytes = 9000;  // three pages, overflow chain included

// A connection of its own, as another program opens the database.
class PlainDb {
 public:
  explicit PlainDb(const fs::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      db_ = nullptr;
    }
    if (db_) sqlite3_busy_timeout(db_, 10000);
  }
  ~PlainDb() { sqlite3_close(db_); }
  bool open() const { return db_ != nullptr; }
  // The first column of the first row, or -1.
  std::int64_t Int(const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::int64_t v = -1;
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
  }
  std::string Text(const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::string v;
    if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      if (auto* p = sqlite3_column_text(st, 0)) v = reinterpret_cast<const char*>(p);
    sqlite3_finalize(st);
    return v;
  }

 private:
  sqlite3* db_ = nullptr;
};

// Rows whose text is their id's letter, kRowBytes long; a row that is not is damaged.
constexpr const char* kDamagedRows =
    "SELECT count(*) FROM t WHERE length(b) != 9000 OR b != replace(hex(zeroblob(4500)), '0', "
    "char(65 + id % 26))";

void InsertRows(SqliteDb& db, int rows) {
  for (int i = 0; i < rows; ++i)
    db.Exec(
        "INSERT INTO t(b) SELECT replace(hex(zeroblob(4500)), '0', "
        "char(65 + (coalesce(max(id), 0) + 1) % 26)) FROM t");
}

void Insert(SqliteDb& db, int rows) {
  SqliteTransaction tx(db);
  InsertRows(db, rows);
  tx.Commit();
}

void Create(const fs::path& file) {
  SqliteDb db(file, true);
  db.Exec("CREATE TABLE IF NOT EXISTS t(id INTEGER PRIMARY KEY, b TEXT)");
}

// Waits for a child and gives its exit code, or -1 when it did not exit.
int ExitCode(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

class SqliteLayer : public ::testing::Test {
 protected:
  SqliteLayer() {
    dir_ = fs::temp_directory_path() /
           ("wi-sqlitedurability-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / "state.db";
  }
  ~SqliteLayer() override { fs::remove_all(dir_); }
  fs::path dir_, file_;
};

}  // namespace

// A child that is killed unless waited for: a failed check does not leave it behind.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  int Wait() {
    const int code = ExitCode(pid);
    pid = -1;
    return code;
  }
};

// True when a byte is there to read without waiting.
bool Readable(int fd) {
  struct pollfd p {
    fd, POLLIN, 0
  };
  return ::poll(&p, 1, 0) > 0;
}

TEST_F(SqliteLayer, APlainConnectionInAnotherProcessReadsWholeCommitsWhileAndAfterTheyAreWritten) {
  Create(file_);
  int progress[2], done[2], report[2];
  ASSERT_EQ(::pipe(progress), 0);
  ASSERT_EQ(::pipe(done), 0);
  ASSERT_EQ(::pipe(report), 0);
  Child reader{::fork()};
  ASSERT_GE(reader.pid, 0);
  if (reader.pid == 0) {
    ::close(progress[0]);
    ::close(done[1]);
    ::close(report[0]);
    ::fcntl(progress[1], F_SETFL, O_NONBLOCK);
    // Reads until told the writing is over, then once more; tells each read done, and at
    // the end what it saw wrong.
    std::int64_t wrong = 0, reads = 0;
    {
      PlainDb db(file_);
      if (!db.open()) ::_exit(3);
      for (;;) {
        const bool last = Readable(done[0]);
        const std::int64_t rows = db.Int("SELECT count(*) FROM t");
        if (rows < 0 || rows % kRowsPerCommit != 0 || db.Int(kDamagedRows) != 0) ++wrong;
        ++reads;
        char c = 1;
        if (::write(progress[1], &c, 1) < 0 && errno != EAGAIN) ::_exit(3);
        if (last) {
          std::int64_t out[4] = {wrong, reads, rows, db.Text("PRAGMA integrity_check") == "ok"};
          if (::write(report[1], out, sizeof out) != sizeof out) ::_exit(3);
          break;
        }
      }
    }
    ::_exit(0);
  }
  ::close(progress[1]);
  ::close(done[0]);
  ::close(report[1]);
  // Two reads done after this call: one of them began after it.
  auto readsMeanwhile = [&] {
    char c;
    while (Readable(progress[0]))
      if (::read(progress[0], &c, 1) != 1) return false;
    return ::read(progress[0], &c, 1) == 1 && ::read(progress[0], &c, 1) == 1;
  };
  ASSERT_TRUE(readsMeanwhile());
  constexpr int kCommits = 150;
  {
    SqliteDb db(file_, false);
    for (int i = 0; i < kCommits; ++i) {
      Insert(db, kRowsPerCommit);
      if (i % 50 == 25) {
        ASSERT_TRUE(readsMeanwhile());
      }
    }
    // One commit larger than the others.
    Insert(db, 40 * kRowsPerCommit);
  }
  char c = 1;
  ASSERT_EQ(::write(done[1], &c, 1), 1);
  std::int64_t seen[4] = {};
  ASSERT_EQ(::read(report[0], seen, sizeof seen), ssize_t(sizeof seen));
  EXPECT_EQ(reader.Wait(), 0);
  EXPECT_EQ(seen[0], 0) << "reads that saw part of a commit or a damaged row, of " << seen[1];
  EXPECT_EQ(seen[2], (kCommits + 40) * kRowsPerCommit);
  EXPECT_EQ(seen[3], 1);
  for (int fd : {progress[0], done[1], report[0]}) ::close(fd);

  PlainDb after(file_);
  EXPECT_EQ(after.Int("SELECT count(*) FROM t"), (kCommits + 40) * kRowsPerCommit);
  EXPECT_EQ(after.Int(kDamagedRows), 0);
  EXPECT_EQ(after.Text("PRAGMA integrity_check"), "ok");
}

TEST_F(SqliteLayer, AWriterKilledRightAfterACommitLeavesItInASoundDatabase) {
  Create(file_);
  for (int round = 0; round < 3; ++round) {
    int committed[2];
    ASSERT_EQ(::pipe(committed), 0);
    Child writer{::fork()};
    ASSERT_GE(writer.pid, 0);
    if (writer.pid == 0) {
      ::close(committed[0]);
      SqliteDb db(file_, false);
      for (int i = 0;; ++i) {
        Insert(db, kRowsPerCommit);
        if (i == 5 + round * 7) {
          char c = 1;
          if (::write(committed[1], &c, 1) != 1) ::_exit(3);
          ::pause();
        }
      }
    }
    ::close(committed[1]);
    char c;
    ASSERT_EQ(::read(committed[0], &c, 1), 1);
    ::close(committed[0]);  // the guard kills the writer
  }
  // 6 + 13 + 20 commits.
  PlainDb plain(file_);
  EXPECT_EQ(plain.Text("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(plain.Int("SELECT count(*) FROM t"), 39 * kRowsPerCommit);
  EXPECT_EQ(plain.Int(kDamagedRows), 0);
  SqliteDb ours(file_, false);
  EXPECT_EQ(ours.IntegrityCheck(), "ok");
}

TEST_F(SqliteLayer, ACommitWhoseLogCannotGrowFailsAndLosesNothingBefore) {
  Create(file_);
  Child writer{::fork()};
  ASSERT_GE(writer.pid, 0);
  if (writer.pid == 0) {
    // 0: the commit failed, and the connection went on once the file could grow again.
    int code = 0;
    try {
      SqliteDb db(file_, false);
      Insert(db, kRowsPerCommit);
      struct stat st {};
      if (::stat((file_.string() + "-wal").c_str(), &st) != 0) ::_exit(4);
      ::signal(SIGXFSZ, SIG_IGN);
      struct rlimit lim {};
      ::getrlimit(RLIMIT_FSIZE, &lim);
      const rlim_t was = lim.rlim_cur;
      lim.rlim_cur = rlim_t(st.st_size);
      if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(4);
      {
        SqliteTransaction tx(db);
        InsertRows(db, 10);
        try {
          tx.Commit();
          code = 1;  // reported as done
        } catch (const SqliteError& e) {
          const int primary = e.code() & 0xff;
          if (primary != SQLITE_FULL && primary != SQLITE_IOERR) code = 5;
        }
      }
      lim.rlim_cur = was;
      if (::setrlimit(RLIMIT_FSIZE, &lim) != 0) ::_exit(4);
      if (code == 0) Insert(db, kRowsPerCommit);
    } catch (...) {
      code = 6;
    }
    ::_exit(code);
  }
  EXPECT_EQ(writer.Wait(), 0);
  PlainDb plain(file_);
  EXPECT_EQ(plain.Text("PRAGMA integrity_check"), "ok");
  EXPECT_EQ(plain.Int("SELECT count(*) FROM t"), 2 * kRowsPerCommit);
  EXPECT_EQ(plain.Int(kDamagedRows), 0);
}
