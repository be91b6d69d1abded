// Whether a file is in use (locked, or the program of a service that is not stopped) is
// asked before every write, and answered from memory while nothing else changed: a lock
// or a service started by another program counts at the next placement, and what this
// process does inside a placement counts at once, and no longer than the part that did it.
#include <gtest/gtest.h>

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/Services.h"
#include "platform/system/Sqlite.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

// A placement as the installer makes it: one unit of work writing the file.
DWORD Place(Machine& m, const std::string& file, const std::string& data) {
  RecordBatch unit(m);
  if (!WriteWholeFile(file, data)) return GetLastError();
  return ERROR_SUCCESS;
}

class InUseAnswers : public ::testing::Test {
 protected:
  InUseAnswers() { testfiles::PutFile(pc.c() / "lib.dll", "1"); }
  Machine& m() { return pc.machine(); }
  std::int64_t LockRows() {
    auto st = other.Prepare("SELECT count(*) FROM locks");
    return st.Step() ? st.ColumnInt(0) : -1;
  }

  TempMachine pc;
  const fs::path lib = pc.c() / "lib.dll";
  // state.db as another program writes it.
  SqliteDb other{(pc.machine().State(), pc.dir() / "state.db"), false};
};

}  // namespace

TEST_F(InUseAnswers, ALockTakenOrReleasedByAnotherProgramCountsAtTheNextPlacement) {
  EXPECT_EQ(Place(m(), "C:\\lib.dll", "2"), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(Place(m(), "C:\\lib.dll", "3"), DWORD(ERROR_SUCCESS));
  other.Exec("INSERT INTO locks(path) VALUES('C:\\LIB.DLL')");
  EXPECT_EQ(Place(m(), "C:\\lib.dll", "4"), DWORD(ERROR_SHARING_VIOLATION));
  {
    RecordBatch unit(m());
    EXPECT_TRUE(m().IsFileInUse(lib));
    EXPECT_FALSE(m().IsFileInUse(pc.c() / "other.dll"));
  }
  other.Exec("DELETE FROM locks");
  EXPECT_EQ(Place(m(), "C:\\lib.dll", "6"), DWORD(ERROR_SUCCESS));
  EXPECT_FALSE(m().IsFileInUse(lib));

  // Taken right after a placement that wrote nothing of its own.
  {
    RecordBatch unit(m());
    EXPECT_FALSE(m().IsFileInUse(lib));
  }
  other.Exec("INSERT INTO locks(path) VALUES('C:\\LIB.DLL')");
  EXPECT_TRUE(m().IsFileInUse(lib));
}

TEST_F(InUseAnswers, ALockTakenInsideATransactionCountsAtOnceAndGoesWithItsPart) {
  {
    RecordBatch unit(m());
    EXPECT_FALSE(m().IsFileInUse(lib));
    m().LockFile(lib);
    EXPECT_TRUE(m().IsFileInUse(lib));
    EXPECT_FALSE(WriteWholeFile("C:\\lib.dll", "2"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  }
  EXPECT_EQ(LockRows(), 1);
  EXPECT_EQ(Place(m(), "C:\\lib.dll", "3"), DWORD(ERROR_SHARING_VIOLATION));
  {
    RecordBatch unit(m());
    EXPECT_TRUE(m().IsFileInUse(lib));
    m().UnlockAll();
    EXPECT_FALSE(m().IsFileInUse(lib));
    EXPECT_TRUE(WriteWholeFile("C:\\lib.dll", "4"));
  }
  EXPECT_EQ(LockRows(), 0);

  {
    SqliteTransaction outer(m().State());
    EXPECT_FALSE(m().IsFileInUse(lib));
    {
      SqliteTransaction part(m().State());  // a call that fails after its lock
      m().LockFile(lib);
      EXPECT_TRUE(m().IsFileInUse(lib));
    }
    EXPECT_FALSE(m().IsFileInUse(lib));
    outer.Commit();
  }
  EXPECT_FALSE(m().IsFileInUse(lib));
  {
    SqliteTransaction whole(m().State());
    m().LockFile(lib);
    EXPECT_TRUE(m().IsFileInUse(lib));
  }
  EXPECT_FALSE(m().IsFileInUse(lib));
  EXPECT_EQ(Place(m(), "C:\\lib.dll", "5"), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(LockRows(), 0);
}

// The program a service runs is in use unless the service is stopped.
TEST_F(InUseAnswers, AServiceStartedOrStoppedElsewhereCountsAtTheNextPlacement) {
  testfiles::PutFile(pc.c() / "Svc" / "svc.exe", "MZ 1");
  SC_HANDLE scm = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(scm, nullptr);
  SC_HANDLE s = CreateService(scm, "Guard", "Guard", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, "C:\\Svc\\svc.exe -s",
                              nullptr, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Place(m(), "C:\\Svc\\svc.exe", "MZ 2"), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(Place(m(), "C:\\Svc\\svc.exe", "MZ 3"), DWORD(ERROR_SUCCESS));

  // Recorded as running by another program.
  other.Exec(
      "INSERT OR REPLACE INTO service_state(name, state, until, exit_code) VALUES('GUARD', 4, 0, "
      "0)");
  EXPECT_EQ(Place(m(), "C:\\Svc\\svc.exe", "MZ 4"), DWORD(ERROR_SHARING_VIOLATION));
  other.Exec("UPDATE service_state SET state = 1");
  EXPECT_EQ(Place(m(), "C:\\Svc\\svc.exe", "MZ 5"), DWORD(ERROR_SUCCESS));

  // Started and stopped by this process inside one unit of work.
  {
    RecordBatch unit(m());
    EXPECT_TRUE(WriteWholeFile("C:\\Svc\\svc.exe", "MZ 6"));
    ASSERT_TRUE(StartService(s, 0, nullptr));
    EXPECT_FALSE(WriteWholeFile("C:\\Svc\\svc.exe", "MZ 7"));
    SERVICE_STATUS st;
    ASSERT_TRUE(ControlService(s, SERVICE_CONTROL_STOP, &st));
    EXPECT_TRUE(WriteWholeFile("C:\\Svc\\svc.exe", "MZ 8"));
    ASSERT_TRUE(StartService(s, 0, nullptr));
  }
  EXPECT_EQ(Place(m(), "C:\\Svc\\svc.exe", "MZ 9"), DWORD(ERROR_SHARING_VIOLATION));
  std::string data;
  ASSERT_TRUE(ReadWholeFile("C:\\Svc\\svc.exe", data));
  EXPECT_EQ(data, "MZ 8");
  CloseServiceHandle(s);
  CloseServiceHandle(scm);
}
