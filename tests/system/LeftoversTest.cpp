// What a program killed in the middle of a write leaves: swept when the PC is next opened,
// not counted by RemoveDirectory; and nothing a running program is writing is touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Process.h"
#include "platform/system/Restart.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

// A program on the PC that does `work` and then stops there, still running, until killed.
// The parent learns through a pipe when the work is done.
class Writer {
 public:
  Writer(const fs::path& pc, const std::function<bool()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      Machine::Use(pc);
      char ok = work() ? 1 : 0;
      if (::write(fds[1], &ok, 1) != 1) ::_exit(4);
      for (;;) ::pause();
    }
    ::close(fds[1]);
    char ok = 0;
    ready_ = ::read(fds[0], &ok, 1) == 1 && ok == 1;
    ::close(fds[0]);
  }
  // Starts writing and stops there: a file open for writing (its hidden temporary beside
  // it) in each folder given, and a staging copy "is-0K3Q9.tmp" in the first.
  Writer(const fs::path& pc, const std::vector<std::string>& folders)
      : Writer(pc, [folders] {
          for (const auto& folder : folders) {
            HANDLE h = CreateFile(folder + "\\data.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  0, nullptr);
            DWORD n;
            if (h == INVALID_HANDLE_VALUE || !WriteFile(h, "half", 4, &n, nullptr)) return false;
          }
          return CopyFile("C:\\src\\new.dll", folders[0] + "\\is-0K3Q9.tmp", TRUE) != 0;
        }) {}
  ~Writer() { Kill(); }
  bool ready() const { return ready_; }
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = 0;
  }

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

// Every name in the folder, hidden ones included.
std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> out;
  for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class Leftovers : public ::testing::Test {
 protected:
  void SetUp() override {
    testfiles::PutFile(pc_.c() / "src/new.dll", "new library");
    fs::create_directories(pc_.c() / "app/udf");
    // A file of the user's that merely looks like a staging copy.
    testfiles::PutFile(pc_.c() / "app/is-ABCDE.tmp", "mine");
    // The child opens its own connections.
    pc_.machine().CloseDatabases();
  }
  TempMachine pc_;
};

}  // namespace

TEST_F(Leftovers, SweptWhenThePcIsOpenedOnceTheirWriterIsGone) {
  Writer w(pc_.dir(), {"C:\\app", "C:\\app\\udf"});
  ASSERT_TRUE(w.ready());
  const auto during = Names(pc_.c() / "app");
  // The write temporary, is-0K3Q9.tmp, is-ABCDE.tmp and udf: data.bin would appear when
  // its handle closed.
  ASSERT_EQ(during.size(), 4u);
  // Opened while the writer runs: all of it stays.
  Machine::Use(pc_.dir());
  EXPECT_EQ(Names(pc_.c() / "app"), during);
  EXPECT_FALSE(RemoveDirectory("C:\\app\\udf"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);

  w.Kill();
  Machine& m = Machine::Use(pc_.dir());
  EXPECT_EQ(Names(pc_.c() / "app"), (std::vector<std::string>{"is-ABCDE.tmp", "udf"}));
  EXPECT_TRUE(fs::is_empty(pc_.c() / "app/udf"));
  EXPECT_EQ(testfiles::ReadFile(pc_.c() / "app/is-ABCDE.tmp"), "mine");
  int removed = 0;
  for (auto& e : m.ReadJournal())
    if (e.text.find("leftover of a stopped program removed") != std::string::npos) ++removed;
  EXPECT_EQ(removed, 3);
  // A second opening finds nothing more to do.
  Machine::Use(pc_.dir());
  EXPECT_EQ(Names(pc_.c() / "app"), (std::vector<std::string>{"is-ABCDE.tmp", "udf"}));
}

TEST_F(Leftovers, AFolderHoldingOnlyLeftoversIsEmptyToRemoveDirectory) {
  Machine& m = Machine::Use(pc_.dir());  // opened before the kill: no sweep comes between
  {
    Writer w(pc_.dir(), {"C:\\app\\udf", "C:\\app"});
    ASSERT_TRUE(w.ready());
  }
  ASSERT_EQ(Names(pc_.c() / "app/udf").size(), 2u);
  // Listings never show the hidden temporary; the staging copy is a file like any other.
  WIN32_FIND_DATA fd;
  HANDLE f = FindFirstFile("C:\\app\\udf\\*", &fd);
  std::vector<std::string> listed;
  for (BOOL more = f != INVALID_HANDLE_VALUE; more; more = FindNextFile(f, &fd))
    listed.push_back(fd.cFileName);
  FindClose(f);
  EXPECT_EQ(listed, (std::vector<std::string>{".", "..", "is-0K3Q9.tmp"}));

  EXPECT_TRUE(RemoveDirectory("C:\\app\\udf")) << GetLastError();
  EXPECT_FALSE(fs::exists(pc_.c() / "app/udf"));
  // Beside a file of the user's, the folder is not empty, and the leftover waits for the
  // next sweep.
  EXPECT_FALSE(RemoveDirectory("C:\\app"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(testfiles::ReadFile(pc_.c() / "app/is-ABCDE.tmp"), "mine");
  EXPECT_EQ(Names(pc_.c() / "app").size(), 2u);
  BootMachine(m);
  EXPECT_EQ(Names(pc_.c() / "app"), (std::vector<std::string>{"is-ABCDE.tmp"}));
}

// A staging copy that its writer moved into place, or deleted, is no longer its writer's:
// the writer's death later removes nothing.
TEST_F(Leftovers, AStagingNameThatWasMovedOrDeletedIsNoLongerSwept) {
  Writer w(pc_.dir(), [] {
    return CopyFile("C:\\src\\new.dll", "C:\\app\\is-00001.tmp", TRUE) &&
           MoveFile("C:\\app\\is-00001.tmp", "C:\\app\\placed.dll") &&
           CopyFile("C:\\src\\new.dll", "C:\\app\\is-00002.tmp", TRUE) &&
           DeleteFile("C:\\app\\is-00002.tmp");
  });
  ASSERT_TRUE(w.ready());
  // Another program makes a file of that name: it is its own.
  testfiles::PutFile(pc_.c() / "app/is-00002.tmp", "someone else's");
  w.Kill();
  Machine::Use(pc_.dir());
  EXPECT_EQ(testfiles::ReadFile(pc_.c() / "app/placed.dll"), "new library");
  EXPECT_EQ(testfiles::ReadFile(pc_.c() / "app/is-00002.tmp"), "someone else's");
}

// A staging copy that a program left when it ended on its own (a failed move reports where
// the copy is) is the user's to keep, also when a killed program makes the next opening
// sweep.
TEST_F(Leftovers, WhatAProgramLeftWhenItEndedOnItsOwnStays) {
  pid_t pid = ::fork();
  if (pid == 0) {
    Machine::Use(pc_.dir());
    std::exit(CopyFile("C:\\src\\new.dll", "C:\\app\\is-00003.tmp", TRUE) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  {
    Writer w(pc_.dir(), {"C:\\app\\udf"});
    ASSERT_TRUE(w.ready());
  }
  Machine& m = Machine::Use(pc_.dir());
  EXPECT_TRUE(fs::is_empty(pc_.c() / "app/udf"));
  BootMachine(m);
  EXPECT_EQ(testfiles::ReadFile(pc_.c() / "app/is-00003.tmp"), "new library");
}

// A program that ends at once (ExitNow, as after a lost display; or std::terminate) takes
// its mark with it: the next opening does not take it for killed, and its staging copy,
// which it ended without using, stays the user's.
TEST_F(Leftovers, AProgramEndingAtOnceLeavesNoMarkBehind) {
  for (const bool terminate : {false, true}) {
    SCOPED_TRACE(terminate ? "terminate" : "ExitNow");
    const std::string staged = terminate ? "is-00005.tmp" : "is-00004.tmp";
    pid_t pid = ::fork();
    if (pid == 0) {
      Machine::Use(pc_.dir());
      if (!CopyFile("C:\\src\\new.dll", "C:\\app\\" + staged, TRUE)) ExitNow(1);
      if (terminate) std::terminate();
      ExitNow(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(terminate ? WIFSIGNALED(status) : WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const auto& name : Names(pc_.dir()))
      EXPECT_EQ(name.rfind(".~wi" + std::to_string(pid) + "-", 0), std::string::npos) << name;
    Machine::Use(pc_.dir());
    EXPECT_EQ(testfiles::ReadFile(pc_.c() / "app" / staged), "new library");
  }
}
