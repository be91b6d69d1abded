// A state.db written by an earlier layout (rowid tables, the journal numbered through
// AUTOINCREMENT, files keyed by their host paths) opens with every record kept, keyed by the
// files' paths inside the PC, and goes on numbering the journal after its last line.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/system/FileAttributes.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/ShortNames.h"
#include "platform/system/Sqlite.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

// The tables as the first layout made them, with a row in each, and a table of another
// unit that the upgrade must leave as it is.
// dir: the host path the records give C:\Docs (where the PC's folder was then).
void WriteFirstLayout(const fs::path& file, const std::string& dir) {
  SqliteDb db(file, true);
  db.Exec(
      "CREATE TABLE locks(path TEXT PRIMARY KEY);"
      "CREATE TABLE journal(id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT, program TEXT, kind "
      "TEXT, text TEXT);"
      "CREATE TABLE kv(key TEXT PRIMARY KEY, value TEXT);"
      "CREATE TABLE attrs(path TEXT PRIMARY KEY, attrs INTEGER NOT NULL);"
      "CREATE TABLE shortnames(dir TEXT NOT NULL, long TEXT NOT NULL, short TEXT NOT NULL, PRIMARY "
      "KEY(dir, long));"
      "CREATE INDEX shortnames_short ON shortnames(dir, short);"
      "CREATE TABLE semaphores(name TEXT PRIMARY KEY, count INTEGER NOT NULL, max INTEGER NOT "
      "NULL);"
      "INSERT INTO semaphores VALUES('s', 1, 2);"
      "INSERT INTO kv VALUES('pending', 'x');");
  // Lines 1..3 written, then 3 deleted: AUTOINCREMENT kept 3 used, the table ends at 2.
  for (const char* text : {"first", "second", "third"}) {
    auto st =
        db.Prepare("INSERT INTO journal(time, program, kind, text) VALUES('t', 'p', 'file', ?)");
    st.Bind(1, std::string(text));
    st.Step();
  }
  db.Exec("DELETE FROM journal WHERE text = 'third'");
  auto attrs = db.Prepare("INSERT INTO attrs VALUES(?, ?)");
  attrs.Bind(1, dir + "/Long report.txt")
      .Bind(2, std::int64_t(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  attrs.Step();
  auto shortName = db.Prepare("INSERT INTO shortnames VALUES(?, ?, 'LONGRE~7.TXT')");
  shortName.Bind(1, dir).Bind(2, FoldCase("Long report.txt"));
  shortName.Step();
  auto lock = db.Prepare("INSERT INTO locks VALUES(?)");
  lock.Bind(1, dir + "/locked.dll");
  lock.Step();
}

// The PC's C:\Docs with two files, and its state.db replaced by one of the first layout.
void PutFirstLayout(TempMachine& pc, const std::string& docs) {
  fs::create_directories(pc.c() / "Docs");
  std::ofstream(pc.c() / "Docs" / "Long report.txt") << "x";
  std::ofstream(pc.c() / "Docs" / "locked.dll") << "x";
  pc.machine().CloseDatabases();
  for (const char* f : {"state.db", "state.db-wal", "state.db-shm"}) fs::remove(pc.dir() / f);
  WriteFirstLayout(pc.dir() / "state.db", docs);
}

// What the first layout's records say reaches the file calls: attributes, a short name, a
// file in use.
void ExpectFirstLayoutRecords(TempMachine& pc) {
  Machine& m = pc.machine();
  EXPECT_EQ(GetFileAttributes("C:\\Docs\\Long report.txt") &
                (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(ShortNameOf(m, pc.c() / "Docs", "Long report.txt"), "LONGRE~7.TXT");
  EXPECT_TRUE(m.IsFileInUse(pc.c() / "Docs" / "locked.dll"));
}

std::string TableSql(SqliteDb& db, const std::string& name) {
  auto st = db.Prepare("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?");
  st.Bind(1, name);
  return st.Step() ? st.ColumnText(0) : std::string();
}

}  // namespace

TEST(StateLayout, FirstLayoutOpensWithEveryRecordAndKeepsNumbering) {
  TempMachine pc;
  PutFirstLayout(pc, CanonicalKey(pc.c() / "Docs"));

  Machine& m = pc.machine();
  ExpectFirstLayoutRecords(pc);
  EXPECT_EQ(DeleteFile("C:\\Docs\\locked.dll"), FALSE);

  m.Journal("file", "fourth");
  auto lines = m.ReadJournal();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "first");
  EXPECT_EQ(lines[1].text, "second");
  EXPECT_EQ(lines.back().text, "fourth");

  SqliteDb& db = m.State();
  EXPECT_EQ(db.IntegrityCheck(), "ok");
  auto version = db.Prepare("PRAGMA user_version");
  ASSERT_TRUE(version.Step());
  EXPECT_EQ(version.ColumnInt(0), 3);
  auto attrs = db.Prepare("SELECT path FROM attrs");
  ASSERT_TRUE(attrs.Step());
  EXPECT_EQ(attrs.ColumnText(0), "C:\\DOCS\\LONG REPORT.TXT");
  for (const char* table : {"attrs", "shortnames", "kv", "locks"})
    EXPECT_NE(TableSql(db, table).find("WITHOUT ROWID"), std::string::npos) << table;
  EXPECT_EQ(TableSql(db, "journal").find("AUTOINCREMENT"), std::string::npos);
  auto kept = db.Prepare("SELECT count, max FROM semaphores WHERE name = 's'");
  ASSERT_TRUE(kept.Step());
  EXPECT_EQ(kept.ColumnInt(0), 1);
  EXPECT_EQ(kept.ColumnInt(1), 2);
  auto kv = db.Prepare("SELECT value FROM kv WHERE key = 'pending'");
  ASSERT_TRUE(kv.Step());
  EXPECT_EQ(kv.ColumnText(0), "x");

  // Opened again (by a later program), nothing is rebuilt and nothing lost.
  m.CloseDatabases();
  EXPECT_EQ(ShortNameOf(m, pc.c() / "Docs", "Long report.txt"), "LONGRE~7.TXT");
  EXPECT_EQ(m.ReadJournal().back().text, "fourth");
}

TEST(StateLayout, NewMachineHasCurrentLayoutAndRecordsWork) {
  TempMachine pc;
  Machine& m = pc.machine();
  ASSERT_TRUE(WriteWholeFile("C:\\a.txt", "x"));
  ASSERT_TRUE(SetFileAttributes("C:\\a.txt", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  m.Journal("file", "one");
  m.Journal("file", "two");
  auto lines = m.ReadJournal();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].text, "one");
  EXPECT_EQ(lines.back().text, "two");
  EXPECT_NE(TableSql(m.State(), "attrs").find("WITHOUT ROWID"), std::string::npos);
}

// The records of a PC moved before it met this layout name its old place: they follow it.
// Records of files outside the PC (a lock of a host file, a staging copy elsewhere) go.
TEST(StateLayout, AnEarlierLayoutOfAMovedPcKeepsItsRecordsAndDropsOutsideOnes) {
  TempMachine pc;
  PutFirstLayout(pc, "/old/place/pc/drives/c/Docs");
  const fs::path file = pc.dir() / "state.db";
  {
    SqliteDb db(file, false);
    db.Exec(
        "INSERT INTO locks VALUES('/etc/hosts');"
        "CREATE TABLE staging(path TEXT PRIMARY KEY, pid INTEGER NOT NULL, started INTEGER);"
        "INSERT INTO staging VALUES('/tmp/elsewhere/is-00001.tmp', 1, 1);");
  }
  Machine& m = pc.machine();
  ExpectFirstLayoutRecords(pc);
  EXPECT_FALSE(m.IsFileInUse("/etc/hosts"));
  auto count =
      m.State().Prepare("SELECT (SELECT count(*) FROM locks), (SELECT count(*) FROM staging)");
  ASSERT_TRUE(count.Step());
  EXPECT_EQ(count.ColumnInt(0), 1);
  EXPECT_EQ(count.ColumnInt(1), 0);
}
