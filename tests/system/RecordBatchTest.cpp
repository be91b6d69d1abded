// A batch of file calls keeps their records in one commit of state.db: another process
// sees none of them before the batch ends and all of them after, also when the unit of
// work fails half-way; a staging writer is recorded at once, before its file appears,
// whatever batch is open (a killed program's staging file must be known as its own).
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/system/FileAttributes.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/Sqlite.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

// state.db as another process reads it.
class OtherReader {
 public:
  // The machine makes its state store when first asked for it.
  explicit OtherReader(Machine& m) : db_((m.State(), m.Dir() / "state.db"), false) {}
  std::int64_t Count(const std::string& sql) {
    auto st = db_.Prepare(sql);
    return st.Step() ? st.ColumnInt(0) : -1;
  }
  std::int64_t JournalLines() { return Count("SELECT count(*) FROM journal"); }
  std::int64_t AttributeRecords() { return Count("SELECT count(*) FROM attrs"); }

 private:
  SqliteDb db_;
};

// A machine with C:\src\Lib.dll and an empty C:\dst, and its state.db as another
// process reads it.
class RecordBatches : public ::testing::Test {
 protected:
  RecordBatches() {
    testfiles::PutFile(pc.c() / "src" / "Lib.dll", "library");
    fs::create_directories(pc.c() / "dst");
  }
  TempMachine pc;
  OtherReader other{pc.machine()};
};

}  // namespace

TEST_F(RecordBatches, RecordsOfTheCallsReachOtherProcessesTogetherWhenTheBatchEnds) {
  const auto lines = other.JournalLines();
  const auto records = other.AttributeRecords();
  {
    RecordBatch batch(pc.machine());
    ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\dst\\Lib.dll", TRUE));
    ASSERT_TRUE(SetFileAttributes("C:\\dst\\Lib.dll", FILE_ATTRIBUTE_READONLY));
    {
      RecordBatch inner(pc.machine());  // a unit inside a unit: the outer one commits
      ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\dst\\Two.dll", TRUE));
    }
    // This process sees its own records at once; others only after the commit.
    EXPECT_EQ(GetFileAttributes("C:\\dst\\LIB.DLL"), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(other.JournalLines(), lines);
    EXPECT_EQ(other.AttributeRecords(), records);
  }
  EXPECT_EQ(other.JournalLines(), lines + 2);
  EXPECT_EQ(other.AttributeRecords(), records + 1);

  // After the batch, each call commits on its own again.
  ASSERT_TRUE(DeleteFile("C:\\dst\\Two.dll"));
  EXPECT_EQ(other.JournalLines(), lines + 3);
}

TEST_F(RecordBatches, AUnitThatFailsHalfWayKeepsTheRecordsOfTheCallsItMade) {
  const auto records = other.AttributeRecords();
  try {
    RecordBatch batch(pc.machine());
    ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\dst\\Lib.dll", TRUE));
    ASSERT_TRUE(SetFileAttributes("C:\\dst\\Lib.dll", FILE_ATTRIBUTE_HIDDEN));
    throw std::runtime_error("the unit stops here");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(other.AttributeRecords(), records + 1);
  EXPECT_EQ(GetFileAttributes("C:\\dst\\lib.dll"), FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(RecordBatches, AStagingWriterIsRecordedBeforeItsFileAppears) {
  const auto lines = other.JournalLines();
  RecordBatch batch(pc.machine());
  ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\dst\\Lib.dll", TRUE));
  EXPECT_EQ(other.JournalLines(), lines);
  // A copy to a staging name: its writer is recorded in a commit of its own, which takes
  // what the batch held so far with it.
  ASSERT_TRUE(CopyFile("C:\\src\\Lib.dll", "C:\\dst\\is-AB12C.tmp", TRUE));
  EXPECT_EQ(other.Count("SELECT count(*) FROM staging"), 1);
  EXPECT_EQ(other.JournalLines(), lines + 1);
}
