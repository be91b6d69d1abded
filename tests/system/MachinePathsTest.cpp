#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using win::Machine;

TEST(MachinePaths, ResolvesWithoutRegardToCaseAndKeepsTheDiskSpelling) {
  TempMachine pc;
  fs::create_directories(pc.dir() / "drives/c/Program Files/Common Files");
  Machine::Resolved r;
  ASSERT_TRUE(pc.machine().Resolve("c:/PROGRAM FILES\\common files\\New.txt", r));
  EXPECT_EQ(r.host, pc.dir() / "drives/c/Program Files/Common Files/New.txt");
  EXPECT_EQ(r.windows, "C:\\Program Files\\Common Files\\New.txt");
}

TEST(MachinePaths, RefusesNamesThatLeaveTheDrive) {
  TempMachine pc;
  Machine::Resolved r;
  EXPECT_FALSE(pc.machine().Resolve("C:\\..\\..\\etc\\passwd", r));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INVALID_NAME);
  EXPECT_TRUE(pc.machine().Resolve("C:\\WINDOWS\\..\\x", r));
  EXPECT_EQ(r.host, pc.dir() / "drives/c/x");
  EXPECT_FALSE(pc.machine().Resolve("Q:\\x", r));
  EXPECT_FALSE(pc.machine().Resolve("C:\\a<b", r));
}

// Paths already whole are taken as they are; any other form is rebuilt to the same answer.
TEST(MachinePaths, FullPathsAreTheSameWhetherGivenWholeOrNot) {
  TempMachine pc;
  Machine& m = pc.machine();
  m.SetCurrentDirectoryPath("C:\\Work");
  const std::pair<const char*, const char*> cases[] = {
      {"c:\\a\\b.txt", "C:\\a\\b.txt"},
      {"C:\\a\\b\\", "C:\\a\\b\\"},
      {"C:\\", "C:\\"},
      {"C:\\a.\\b", "C:\\a\\b"},
      {"C:\\a \\b", "C:\\a\\b"},
      {"C:\\a\\\\b", "C:\\a\\b"},
      {"C:\\a/b", "C:\\a\\b"},
      {"C:\\a\\.\\b", "C:\\a\\b"},
      {"C:\\a\\..\\b", "C:\\b"},
      {"C:\\..", ""},
      {"C:a", "C:\\a"},
      {"b.txt", "C:\\Work\\b.txt"},
      {"\\x", "C:\\x"},
      {"C:\\a...", "C:\\a"},
  };
  for (const auto& [given, full] : cases) EXPECT_EQ(m.FullPathName(given), full) << given;
}

TEST(MachinePaths, MapsHostPathsBackThroughDrives) {
  TempMachine pc;
  fs::path media = pc.dir() / "media";
  fs::create_directories(media);
  fs::create_directory_symlink(media, pc.dir() / "drives/d");
  EXPECT_EQ(pc.machine().WindowsPath(media / "Tolvane"), "D:\\Tolvane");
  EXPECT_EQ(pc.machine().WindowsPath(pc.dir() / "drives/c/WINDOWS"), "C:\\WINDOWS");
  EXPECT_EQ(pc.machine().WindowsPath("/usr/bin/env"), "Z:\\usr\\bin\\env");
}

TEST(MachineSettingsFile, CorruptIniGivesALineNumberedError) {
  TempMachine pc;
  std::ofstream(pc.dir() / "machine.ini") << "[machine]\nos=xp\nadmin=maybe\n";
  try {
    Machine m(pc.dir());
    FAIL() << "no error";
  } catch (const win::MachineError& e) {
    EXPECT_NE(std::string(e.what()).find("machine.ini:3"), std::string::npos) << e.what();
  }
  std::ofstream(pc.dir() / "machine.ini") << "os=vista\n";
  EXPECT_THROW(Machine m(pc.dir()), win::MachineError);
}

TEST(MachineJournal, KeepsEntriesInOrder) {
  TempMachine pc;
  pc.machine().Journal("file", "one");
  pc.machine().Journal("registry", "two");
  auto j = pc.machine().ReadJournal();
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0].text, "one");
  EXPECT_EQ(j[1].kind, "registry");
}

// The machine another thread may be using is not freed under it: the swap waits for this
// thread to run alone.
TEST(MachineSwap, RefusedWhileAnotherThreadRuns) {
  TempMachine pc, other;
  std::promise<void> release;
  std::thread running([done = release.get_future()]() mutable { done.wait(); });
  EXPECT_THROW(Machine::Use(pc.dir()), win::MachineError);
  EXPECT_EQ(Machine::Current().Dir(), other.dir());
  release.set_value();
  running.join();
  EXPECT_EQ(Machine::Use(pc.dir()).Dir(), pc.dir());
}
