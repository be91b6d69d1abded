// File calls name their files relative to descriptors of the folders path resolution
// answered for: a folder moved, removed or replaced (by another process or by this one)
// between two calls never receives a file meant for the path, and the descriptors held stay
// few, whatever the number of folders and threads.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/CacheSwitch.h"
#include "platform/system/Files.h"
#include "platform/system/FolderHandles.h"
#include "platform/system/LastError.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/Version.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using namespace win;

namespace {
const auto& Put = testfiles::PutFile;
const auto& Read = testfiles::ReadFile;

size_t OpenDescriptors() {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++n;
  }
  return n;
}

// Another process moves dir away and makes a new folder in its place.
void ReplaceFromOutside(const fs::path& dir, const fs::path& movedTo) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0)
    _exit(::rename(dir.c_str(), movedTo.c_str()) == 0 && ::mkdir(dir.c_str(), 0755) == 0 ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
}  // namespace

TEST(FolderHandles, AFolderReplacedFromOutsideGetsTheNextFilesNotTheOldOne) {
  TempMachine pc;
  Put(pc.c() / "src" / "a.dll", "a");
  Put(pc.c() / "src" / "b.dll", "b");
  Put(pc.c() / "src" / "c.dll", "c");
  fs::create_directories(pc.c() / "dst");
  ASSERT_TRUE(CopyFile("C:\\src\\a.dll", "C:\\dst\\a.dll", TRUE));

  ReplaceFromOutside(pc.c() / "dst", pc.c() / "dst.old");
  ASSERT_TRUE(CopyFile("C:\\src\\b.dll", "C:\\dst\\b.dll", TRUE));
  EXPECT_EQ(Read(pc.c() / "dst" / "b.dll"), "b");
  EXPECT_FALSE(fs::exists(pc.c() / "dst.old" / "b.dll"));
  // A move into it, and a name made over another (a temporary name, then a rename).
  ASSERT_TRUE(CopyFile("C:\\src\\c.dll", "C:\\src\\moved.dll", TRUE));
  ASSERT_TRUE(MoveFile("C:\\src\\moved.dll", "C:\\dst\\moved.dll"));
  EXPECT_EQ(Read(pc.c() / "dst" / "moved.dll"), "c");
  ASSERT_TRUE(CopyFile("C:\\src\\a.dll", "C:\\dst\\b.dll", FALSE));
  EXPECT_EQ(Read(pc.c() / "dst" / "b.dll"), "a");
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(pc.c() / "dst.old"), {}),
            std::vector<fs::path>{pc.c() / "dst.old" / "a.dll"});

  // Inside one unit of work, as a placement runs: the change is seen at its first lookup.
  ReplaceFromOutside(pc.c() / "dst", pc.c() / "dst.older");
  {
    RecordBatch unit(pc.machine());
    ASSERT_TRUE(CopyFile("C:\\src\\c.dll", "C:\\dst\\c.dll", TRUE));
  }
  EXPECT_EQ(Read(pc.c() / "dst" / "c.dll"), "c");
  EXPECT_FALSE(fs::exists(pc.c() / "dst.older" / "c.dll"));

  // Removed from outside: the copy fails as a missing folder, and nothing appears anywhere.
  fs::remove_all(pc.c() / "dst");
  EXPECT_FALSE(CopyFile("C:\\src\\a.dll", "C:\\dst\\a.dll", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(fs::exists(pc.c() / "dst"));
}

TEST(FolderHandles, AFolderThisProcessMovedAwayIsNotWrittenThroughItsOldName) {
  TempMachine pc;
  Put(pc.c() / "src" / "a.dll", "a");
  Put(pc.c() / "src" / "b.dll", "b");
  ASSERT_TRUE(CreateDirectory("C:\\dst", nullptr));
  ASSERT_TRUE(CopyFile("C:\\src\\a.dll", "C:\\dst\\a.dll", TRUE));
  ASSERT_TRUE(MoveFile("C:\\dst", "C:\\dst.old"));
  // No folder at the old name: the copy fails rather than landing in the moved one.
  EXPECT_FALSE(CopyFile("C:\\src\\b.dll", "C:\\dst\\b.dll", TRUE));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  ASSERT_TRUE(CreateDirectory("C:\\dst", nullptr));
  ASSERT_TRUE(CopyFile("C:\\src\\b.dll", "C:\\dst\\b.dll", TRUE));
  EXPECT_EQ(Read(pc.c() / "dst" / "b.dll"), "b");
  EXPECT_FALSE(fs::exists(pc.c() / "dst.old" / "b.dll"));
  // And the moved folder is still written through its new name.
  ASSERT_TRUE(CopyFile("C:\\src\\b.dll", "C:\\dst.old\\b.dll", TRUE));
  EXPECT_EQ(Read(pc.c() / "dst.old" / "b.dll"), "b");
  // A change of case of the folder, then a file renamed in it.
  ASSERT_TRUE(MoveFile("C:\\dst", "C:\\DST"));
  ASSERT_TRUE(MoveFile("C:\\Dst\\b.dll", "C:\\dst\\B.DLL"));
  EXPECT_EQ(Read(pc.c() / "DST" / "B.DLL"), "b");
}

// A lookup's answer can be older than the folder now at its path (a unit of work keeps its
// answers): the folder opened by that path is not taken for the one the answer was about.
TEST(FolderHandles, AFolderAtTheAnsweredPathIsHeldOnlyWithTheAnsweredIdentity) {
  if (!CachesOn()) GTEST_SKIP() << "it checks what the caches keep, and they are off";
  TempMachine pc;
  Put(pc.c() / "src" / "y.dll", "y");
  fs::create_directories(pc.c() / "dst");
  FolderHandle::Release();
  Machine::Resolved before;
  ASSERT_TRUE(pc.machine().Resolve("C:\\dst\\x.dll", before));
  ASSERT_NE(before.folderIno, 0u);
  {
    const FolderHandle now(before);
    EXPECT_TRUE(now.held());
    EXPECT_STREQ(now.name(), "x.dll");
  }
  FolderHandle::Release();
  ReplaceFromOutside(pc.c() / "dst", pc.c() / "dst.old");
  {
    const FolderHandle stale(before);
    EXPECT_FALSE(stale.held());
    EXPECT_EQ(stale.dir(), AT_FDCWD);
    EXPECT_EQ(fs::path(stale.name()), before.host);
  }
  // The old folder, now under its new name, is still the one with the old identity.
  ASSERT_TRUE(CopyFile("C:\\src\\y.dll", "C:\\dst.old\\y.dll", TRUE));
  EXPECT_EQ(Read(pc.c() / "dst.old" / "y.dll"), "y");
  EXPECT_FALSE(fs::exists(pc.c() / "dst" / "y.dll"));
  // Unknown identities and paths without a folder part take the full path.
  EXPECT_FALSE(FolderHandle((pc.c() / "dst" / "z").native(), 0, 0).held());
  EXPECT_FALSE(FolderHandle("relative", before.folderDev, before.folderIno).held());
}

TEST(FolderHandles, StayBoundedOverManyFoldersAndThreads) {
  TempMachine pc;
  constexpr int kFolders = 200;
  Put(pc.c() / "src" / "lib.dll", "not a program");
  for (int i = 0; i < kFolders; ++i)
    fs::create_directories(pc.c() / "dst" / ("d" + std::to_string(i)));
  ASSERT_TRUE(CopyFile("C:\\src\\lib.dll", "C:\\dst\\d0\\lib.dll", TRUE));
  const size_t before = OpenDescriptors();
  for (int i = 1; i < kFolders; ++i)
    ASSERT_TRUE(CopyFile("C:\\src\\lib.dll", "C:\\dst\\d" + std::to_string(i) + "\\lib.dll", TRUE))
        << i;
  EXPECT_LE(FolderHandle::HeldCount(), 128u);
  EXPECT_LE(OpenDescriptors(), before + 128);

  // Several threads at once, over more folders than are held: a descriptor let go by one
  // is never closed under another's call (which would fail, or read another folder).
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  threads.reserve(4);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int n = 0; n < 3 * kFolders; ++n) {
        const int i = (n * 7 + t * 53) % kFolders;
        DWORD handle = 0;
        // Present and no program: read, and said to be no program.
        if (GetFileVersionInfoSize("C:\\dst\\d" + std::to_string(i) + "\\lib.dll", &handle) != 0 ||
            GetLastError() != ERROR_BAD_EXE_FORMAT)
          ++wrong;
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_LE(FolderHandle::HeldCount(), 128u);
  EXPECT_LE(OpenDescriptors(), before + 128);
  FolderHandle::Release();
  EXPECT_LE(OpenDescriptors(), before);
}

// A child of a fork may close its parent's descriptors and reuse their numbers.
TEST(FolderHandles, AForkedChildDoesNotUseItsParentsDescriptors) {
  if (!CachesOn()) GTEST_SKIP() << "it checks what the caches keep, and they are off";
  TempMachine pc;
  Put(pc.c() / "src" / "lib.dll", "not a program");
  fs::create_directories(pc.c() / "empty");
  DWORD handle = 0;
  ASSERT_EQ(GetFileVersionInfoSize("C:\\src\\lib.dll", &handle), 0u);
  ASSERT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The number of the parent's descriptor of src now names another folder.
    const std::string src = fs::canonical(pc.c() / "src").native();
    std::vector<int> held;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      if (fs::read_symlink(e.path(), ec).native() == src)
        held.push_back(std::stoi(e.path().filename()));
    }
    const int other = ::open((pc.c() / "empty").c_str(), O_PATH | O_DIRECTORY);
    for (int fd : held)
      if (other < 0 || ::dup2(other, fd) < 0) _exit(2);
    const size_t replaced = held.size();
    DWORD h = 0;
    _exit(replaced > 0 && GetFileVersionInfoSize("C:\\src\\lib.dll", &h) == 0 &&
                  GetLastError() == ERROR_BAD_EXE_FORMAT
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
