// Change handles over the host's file events: what signals them (outside changes and the
// machine's own writes, by filter, in folders made later, after a lost event queue), what
// does not, and that closing the last handle leaves no thread, descriptor or kernel watch.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "platform/shell/ChangeNotify.h"
#include "platform/shell/HostFolderWatch.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "support/TempMachine.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

constexpr DWORD kNames = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

std::size_t Entries(const char* dir) {
  std::size_t n = 0;
  for ([[maybe_unused]] auto& e : fs::directory_iterator(dir)) ++n;
  return n;
}

class ChangeWatch : public ::testing::Test {
 protected:
  TempMachine pc;
  fs::path Host(const std::string& name) { return pc.c() / name; }
  // A folder made outside the machine, as a person with a shell on the host would.
  fs::path Mkdir(const std::string& name) {
    fs::create_directories(Host(name));
    return Host(name);
  }
  void Touch(const std::string& name) { std::ofstream(Host(name)) << "x"; }
  bool Signalled(HANDLE h, DWORD ms = 0) { return WaitForSingleObject(h, ms) == WAIT_OBJECT_0; }
  HANDLE Watch(const std::string& path, bool subtree, DWORD filter) {
    HANDLE h = FindFirstChangeNotification(path, subtree ? TRUE : FALSE, filter);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
    return h;
  }
};

// Counts the notifications of a HostFolderWatch; the first can be held at a gate.
struct Counter {
  std::mutex m;
  std::condition_variable cv;
  int count = 0;
  std::atomic<bool> holdFirst{false};
  std::mutex gate;
  void operator()() {
    {
      std::lock_guard lock(m);
      ++count;
      cv.notify_all();
    }
    if (holdFirst) {
      holdFirst = false;
      std::lock_guard wait(gate);
    }
  }
  bool WaitFor(int n) {
    std::unique_lock lock(m);
    return cv.wait_for(lock, std::chrono::seconds(10), [&] { return count >= n; });
  }
};

}  // namespace

TEST_F(ChangeWatch, OutsideChangesAndTheMachinesOwnWritesSignalByFilter) {
  Mkdir("W");
  HANDLE names = Watch("C:\\W", false, FILE_NOTIFY_CHANGE_FILE_NAME);
  HANDLE dirs = Watch("C:\\w", false, FILE_NOTIFY_CHANGE_DIR_NAME);
  HANDLE attrs = Watch("C:\\W", false, FILE_NOTIFY_CHANGE_ATTRIBUTES);

  Mkdir("W/sub");
  EXPECT_TRUE(Signalled(dirs, 2000));
  EXPECT_TRUE(Signalled(dirs));  // stays signalled until re-armed
  EXPECT_FALSE(Signalled(names));
  ASSERT_TRUE(FindNextChangeNotification(dirs));
  EXPECT_FALSE(Signalled(dirs));

  Touch("W/outside.txt");
  EXPECT_TRUE(Signalled(names, 2000));
  EXPECT_FALSE(Signalled(dirs));
  // A change after a wait saw the signal is kept for the re-arming; one before is not.
  Touch("W/after.txt");
  ASSERT_TRUE(FindNextChangeNotification(names));
  EXPECT_TRUE(Signalled(names));
  ASSERT_TRUE(FindNextChangeNotification(names));
  EXPECT_FALSE(Signalled(names));

  // The machine writes under a temporary name and renames it into place: one change.
  ASSERT_TRUE(WriteWholeFile("C:\\W\\own.txt", "own"));
  EXPECT_TRUE(Signalled(names, 2000));
  ASSERT_TRUE(FindNextChangeNotification(names));
  EXPECT_FALSE(Signalled(names));
  EXPECT_FALSE(Signalled(dirs));

  ::chmod(Host("W/outside.txt").c_str(), 0600);
  EXPECT_TRUE(Signalled(attrs, 2000));
  EXPECT_FALSE(Signalled(names));

  // Below a watched folder only a subtree watch sees anything.
  Touch("W/sub/deeper.txt");
  Mkdir("W/sub/deeper");
  EXPECT_FALSE(Signalled(names));
  EXPECT_FALSE(Signalled(dirs));

  // Two handles on one folder share its kernel watch; closing one keeps the other.
  std::size_t watches = HostFolderWatch::KernelWatchCount();
  EXPECT_TRUE(FindCloseChangeNotification(attrs));
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), watches);
  ASSERT_TRUE(FindCloseChangeNotification(dirs));
  Touch("W/again.txt");
  EXPECT_TRUE(Signalled(names, 2000));
  EXPECT_TRUE(FindCloseChangeNotification(names));
  EXPECT_FALSE(FindCloseChangeNotification(names));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(ChangeWatch, SubtreeWatchFollowsFoldersMadeMovedAndRemovedLater) {
  Mkdir("T/a/b");
  Mkdir("Away");
  HANDLE h = Watch("C:\\T", true, kNames);
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), 3u);
  Touch("T/a/b/deep.txt");
  EXPECT_TRUE(Signalled(h, 2000));
  ASSERT_TRUE(FindNextChangeNotification(h));

  // A folder made later is watched too, whether its files come before or after its watch.
  Mkdir("T/new");
  EXPECT_TRUE(Signalled(h, 2000));
  ASSERT_TRUE(FindNextChangeNotification(h));
  Touch("T/new/file.txt");
  EXPECT_TRUE(Signalled(h, 2000));
  ASSERT_TRUE(FindNextChangeNotification(h));

  // Files made in a new folder at once, before or after its watch came, are seen.
  HANDLE files = Watch("C:\\T", true, FILE_NOTIFY_CHANGE_FILE_NAME);
  fs::create_directories(Host("T/quick/deeper"));
  Touch("T/quick/deeper/made at once.txt");
  EXPECT_TRUE(Signalled(files, 2000));
  EXPECT_TRUE(FindCloseChangeNotification(files));
  ASSERT_TRUE(FindNextChangeNotification(h));

  // A folder moved out of the tree is no longer watched; one moved in is.
  fs::rename(Host("T/a"), Host("Away/a"));
  EXPECT_TRUE(Signalled(h, 2000));
  ASSERT_TRUE(FindNextChangeNotification(h));
  Touch("Away/a/b/ignored.txt");
  EXPECT_FALSE(Signalled(h));
  fs::rename(Host("Away/a"), Host("T/back"));
  EXPECT_TRUE(Signalled(h, 2000));
  ASSERT_TRUE(FindNextChangeNotification(h));
  Touch("T/back/b/seen.txt");
  EXPECT_TRUE(Signalled(h, 2000));

  // The watched folder itself removed: signalled, and re-arming fails.
  fs::remove_all(Host("T"));
  EXPECT_TRUE(Signalled(h, 2000));
  EXPECT_FALSE(FindNextChangeNotification(h));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(FindCloseChangeNotification(h));
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), 0u);
}

TEST_F(ChangeWatch, ALostEventQueueSignalsEveryWatchAndWalksTheSubtreeAgain) {
  Mkdir("Q");
  std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
  int limit = 16384;
  limitFile >> limit;
  if (limit > 200000) GTEST_SKIP() << "event queue too long to overflow here";
  Counter counter;
  counter.holdFirst = true;
  counter.gate.lock();
  DWORD error = 0;
  auto watch = HostFolderWatch::Start(
      Host("Q"), true, FILE_NOTIFY_CHANGE_ATTRIBUTES | kNames, [&counter] { counter(); }, error);
  ASSERT_TRUE(watch) << error;
  Touch("Q/first.txt");
  ASSERT_TRUE(counter.WaitFor(1));  // the reader thread now waits at the gate
  Touch("Q/one");
  Touch("Q/two");
  for (int i = 0; i <= limit / 2 + 10; ++i) {
    ::chmod(Host("Q/one").c_str(), i % 2 ? 0600 : 0644);
    ::chmod(Host("Q/two").c_str(), i % 2 ? 0600 : 0644);
  }
  Mkdir("Q/lost");  // the queue is full: its creation is never reported
  counter.gate.unlock();
  ASSERT_TRUE(counter.WaitFor(2));
  // The walk after the overflow takes the lost folder in.
  for (int i = 0; i < 1000 && HostFolderWatch::KernelWatchCount() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), 2u);
  int before;
  {
    std::lock_guard lock(counter.m);
    before = counter.count;
  }
  Touch("Q/lost/found.txt");
  EXPECT_TRUE(counter.WaitFor(before + 1));
}

TEST_F(ChangeWatch, ClosingTheLastHandleLeavesNoThreadDescriptorOrKernelWatch) {
  Mkdir("A/shared");
  Mkdir("B");
  // The machine's own watch on the folders its paths go through, made at the first lookup,
  // stays with the machine.
  ASSERT_NE(GetFileAttributes("C:\\A\\shared"), INVALID_FILE_ATTRIBUTES);
  // A runtime that starts a helper thread of its own with the first thread (the thread
  // sanitizer's) has it before the count.
  std::thread([] {}).join();
  const std::size_t threads = Entries("/proc/self/task"), fds = Entries("/proc/self/fd");
  HANDLE a = Watch("C:\\A", true, kNames);
  HANDLE shared = Watch("C:\\A\\shared", false, kNames);
  HANDLE b = Watch("C:\\B", false, kNames);
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), 3u);
  EXPECT_GT(Entries("/proc/self/task"), threads);
  // The subtree watch gone, the shared folder still signals its own handle.
  ASSERT_TRUE(FindCloseChangeNotification(a));
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), 2u);
  Touch("A/shared/x.txt");
  EXPECT_TRUE(Signalled(shared, 2000));
  ASSERT_TRUE(FindCloseChangeNotification(shared));
  ASSERT_TRUE(FindCloseChangeNotification(b));
  EXPECT_EQ(HostFolderWatch::KernelWatchCount(), 0u);
  EXPECT_EQ(Entries("/proc/self/task"), threads);
  EXPECT_EQ(Entries("/proc/self/fd"), fds);
  // And a new handle starts afresh.
  HANDLE again = Watch("C:\\B", false, kNames);
  Touch("B/y.txt");
  EXPECT_TRUE(Signalled(again, 2000));
  EXPECT_TRUE(FindCloseChangeNotification(again));
}

TEST_F(ChangeWatch, AnInfiniteWaitSleepsUntilAnEventOrAChange) {
  Mkdir("I");
  HANDLE change = Watch("C:\\I", false, kNames);
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  HANDLE both[] = {event, change};
  std::thread setter([&] { SetEvent(event); });
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, INFINITE), WAIT_OBJECT_0);
  setter.join();
  std::thread maker([&] { Touch("I/made.txt"); });
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
  maker.join();
  EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_TRUE(FindCloseChangeNotification(change));
}
