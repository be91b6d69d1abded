// The attribute records a process has read serve it again only until anything is committed
// to state.db: what another program writes (here through a connection of its own, as any
// other process would) is what the next call sees. Inside a transaction, what it read and
// wrote serves, and no longer than the part of it that wrote it.
#include <gtest/gtest.h>

#include "platform/system/FileAttributes.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using namespace win;

namespace {
void SetRecord(SqliteDb& db, const std::string& key, DWORD attrs) {
  auto st = db.Prepare("INSERT OR REPLACE INTO attrs(path, attrs) VALUES(?, ?)");
  st.Bind(1, key).Bind(2, std::int64_t(attrs));
  st.Step();
}
}  // namespace

TEST(AttributeRecords, WhatAnotherProgramCommitsIsSeenAtTheNextCall) {
  TempMachine pc;
  ASSERT_TRUE(WriteWholeFile("C:\\a.txt", "a"));
  ASSERT_TRUE(WriteWholeFile("C:\\b.txt", "b"));
  const std::string a = "C:\\A.TXT";
  // Asked twice: the second answer may come from what the first read.
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));

  SqliteDb other(pc.dir() / "state.db", false);
  SetRecord(other, a, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  // A change to another file's record counts too: any commit.
  EXPECT_EQ(GetFileAttributes("C:\\b.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  SetRecord(other, "C:\\B.TXT", FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributes("C:\\b.txt"), DWORD(FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(DeleteFile("C:\\b.txt"), FALSE) << "read-only as the other program made it";

  // The log carried over and started again, then one write: the same number of frames
  // as before the restart, yet another state.
  other.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  SetRecord(other, a, FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_SYSTEM));
  other.Exec("DELETE FROM attrs WHERE path = '" + a + "'");
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));

  // This process's own changes, and a database opened again, are seen as well.
  ASSERT_TRUE(SetFileAttributes("C:\\a.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_READONLY));
  pc.machine().CloseDatabases();
  SetRecord(other, a, FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
}

TEST(AttributeRecords, ALockTakenOrReleasedByAnotherProgramCountsAtTheNextCall) {
  TempMachine pc;
  ASSERT_TRUE(WriteWholeFile("C:\\lib.dll", "1"));
  Machine& m = pc.machine();
  const fs::path lib = pc.c() / "lib.dll";
  EXPECT_FALSE(m.IsFileInUse(lib));
  EXPECT_FALSE(m.IsFileInUse(lib));  // the answer kept
  SqliteDb other(pc.dir() / "state.db", false);
  other.Exec("INSERT INTO locks(path) VALUES('C:\\LIB.DLL')");
  EXPECT_TRUE(m.IsFileInUse(lib));
  EXPECT_FALSE(WriteWholeFile("C:\\lib.dll", "3"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(DeleteFile("C:\\lib.dll"));
  other.Exec("DELETE FROM locks");
  EXPECT_FALSE(m.IsFileInUse(lib));
  EXPECT_TRUE(WriteWholeFile("C:\\lib.dll", "4"));
  EXPECT_TRUE(DeleteFile("C:\\lib.dll"));
}

TEST(AttributeRecords, InsideATransactionAPartRolledBackLeavesNoAnswerBehind) {
  TempMachine pc;
  ASSERT_TRUE(WriteWholeFile("C:\\a.txt", "a"));
  const std::string a = "C:\\A.TXT";
  SqliteTransaction outer(pc.machine().State());
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_TRUE(SetFileAttributes("C:\\a.txt", FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  {
    SqliteTransaction part(pc.machine().State());  // a call that fails after its write
    StoreFileAttributes(pc.machine(), a, FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_READONLY));
  }
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  outer.Commit();
  EXPECT_EQ(GetFileAttributes("C:\\a.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
}

// Records forgotten inside a transaction, of a file or of a whole folder, answer as
// forgotten at once; the records of other names keep their answers.
TEST(AttributeRecords, InsideATransactionForgottenRecordsAnswerAsForgotten) {
  TempMachine pc;
  ASSERT_TRUE(CreateDirectory("C:\\Dir", nullptr));
  for (const char* f : {"C:\\Dir\\in.txt", "C:\\Dir2.txt", "C:\\b.txt"}) {
    ASSERT_TRUE(WriteWholeFile(f, "x"));
    ASSERT_TRUE(SetFileAttributes(f, FILE_ATTRIBUTE_HIDDEN));
  }
  Machine& m = pc.machine();
  SqliteTransaction tx(m.State());
  const std::string dir = "C:\\DIR";
  for (const char* f : {"C:\\Dir\\in.txt", "C:\\Dir2.txt", "C:\\b.txt"})
    ASSERT_EQ(GetFileAttributes(f), DWORD(FILE_ATTRIBUTE_HIDDEN));
  ForgetAttributes(m, dir);
  EXPECT_EQ(GetFileAttributes("C:\\Dir\\in.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributes("C:\\Dir2.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));  // not below
  ForgetAttributes(m, "C:\\B.TXT");
  EXPECT_EQ(GetFileAttributes("C:\\b.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  tx.Commit();
  EXPECT_EQ(GetFileAttributes("C:\\Dir\\in.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributes("C:\\Dir2.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
}

// A folder's records go with it, its own and those below; a sibling whose name only starts
// with the folder's ("Dir.txt", "Dir -old") keeps its own, in state.db itself.
TEST(AttributeRecords, AFolderForgottenOrMovedTakesItsRecordsAndNoSiblings) {
  TempMachine pc;
  ASSERT_TRUE(CreateDirectory("C:\\Dir", nullptr));
  ASSERT_TRUE(CreateDirectory("C:\\Dir\\Sub", nullptr));
  const char* files[] = {"C:\\Dir\\in.txt", "C:\\Dir\\Sub\\deep.txt", "C:\\Dir.txt",
                         "C:\\Dir -old"};
  for (const char* f : files) ASSERT_TRUE(WriteWholeFile(f, "x"));
  for (const char* p : {"C:\\Dir", "C:\\Dir\\Sub", files[0], files[1], files[2], files[3]})
    ASSERT_TRUE(SetFileAttributes(p, FILE_ATTRIBUTE_HIDDEN));
  SqliteDb other(pc.dir() / "state.db", false);
  auto stored = [&] {
    std::vector<std::string> keys;
    auto st = other.Prepare("SELECT path FROM attrs ORDER BY path");
    while (st.Step()) keys.push_back(st.ColumnText(0));
    return keys;
  };
  ASSERT_EQ(stored().size(), 6u);

  ASSERT_TRUE(MoveFile("C:\\Dir", "C:\\Moved"));
  EXPECT_EQ(stored(), (std::vector<std::string>{"C:\\DIR -OLD", "C:\\DIR.TXT", "C:\\MOVED",
                                                "C:\\MOVED\\IN.TXT", "C:\\MOVED\\SUB",
                                                "C:\\MOVED\\SUB\\DEEP.TXT"}));
  // Moved back: the records at the target's name are cleared first, the siblings' stay.
  ASSERT_TRUE(MoveFile("C:\\Moved", "C:\\Dir"));
  EXPECT_EQ(stored(),
            (std::vector<std::string>{"C:\\DIR", "C:\\DIR -OLD", "C:\\DIR.TXT", "C:\\DIR\\IN.TXT",
                                      "C:\\DIR\\SUB", "C:\\DIR\\SUB\\DEEP.TXT"}));
  ForgetAttributes(pc.machine(), "C:\\DIR");
  EXPECT_EQ(stored(), (std::vector<std::string>{"C:\\DIR -OLD", "C:\\DIR.TXT"}));
  EXPECT_EQ(GetFileAttributes("C:\\Dir.txt"), DWORD(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributes("C:\\Dir\\in.txt"), DWORD(FILE_ATTRIBUTE_ARCHIVE));
}
