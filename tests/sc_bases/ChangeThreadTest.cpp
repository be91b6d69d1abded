#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/system/Files.h"
#include "shellcontrols/UScChangeHandlerThread.h"
#include "support/TempMachine.h"

namespace {

constexpr win::UINT kMsg = win::WM_USER + 101;
constexpr win::DWORD kNames = win::FILE_NOTIFY_CHANGE_FILE_NAME | win::FILE_NOTIFY_CHANGE_DIR_NAME;

// A window that keeps the slots of the change messages it gets.
struct Owner {
  std::vector<int> slots;
  win::HWND hwnd = win::CreateWindowHandle(
      [this](win::HWND, win::UINT m, win::WPARAM w, win::LPARAM) -> win::LRESULT {
        if (m == kMsg) slots.push_back(int(w));
        return 0;
      });
  ~Owner() { win::DestroyWindow(hwnd); }
  // Pumps the queue (really waiting) until n messages came or the time passed.
  bool WaitFor(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (slots.size() < n && std::chrono::steady_clock::now() < end) {
      win::MSG msg;
      while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) win::DispatchMessage(&msg);
      if (slots.size() < n) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return slots.size() >= n;
  }
};

class ChangeThread : public ::testing::Test {
 protected:
  TempMachine pc;
  std::string Folder(const std::string& name) {
    std::string path = "C:\\" + name;
    win::CreateDirectory(path);
    return path;
  }
};

}  // namespace

TEST_F(ChangeThread, ChangesPostTheSlotOncePerChange) {
  Owner owner;
  TChangeHandlerThread t(owner.hwnd, kMsg);
  int slot = -1;
  ASSERT_TRUE(t.AddWatch(Folder("a"), kNames, slot, false));
  EXPECT_EQ(slot, 0);
  int slot2 = -1;
  ASSERT_TRUE(t.AddWatch(Folder("b"), kNames, slot2, false));
  EXPECT_EQ(slot2, 1);

  win::CreateDirectory("C:\\b\\one");
  ASSERT_TRUE(owner.WaitFor(1));
  win::CreateDirectory("C:\\b\\two");
  ASSERT_TRUE(owner.WaitFor(2));
  EXPECT_EQ(owner.slots, (std::vector<int>{1, 1}));
}

TEST_F(ChangeThread, BadPathsAreRefused) {
  Owner owner;
  TChangeHandlerThread t(owner.hwnd, kMsg);
  int slot = 7;
  EXPECT_FALSE(t.AddWatch("", kNames, slot, false));
  EXPECT_FALSE(t.AddWatch("C:\\missing", kNames, slot, false));
  EXPECT_EQ(slot, 7);
}

TEST_F(ChangeThread, SixtyFourthWatchFailsWhileTheOthersKeepWorking) {
  Owner owner;
  TChangeHandlerThread t(owner.hwnd, kMsg);
  for (int i = 0; i < TChangeHandlerThread::MaxWatches; ++i) {
    int slot = -1;
    ASSERT_TRUE(t.AddWatch(Folder("w" + std::to_string(i)), kNames, slot, false)) << i;
    EXPECT_EQ(slot, i);
  }
  int slot = -1;
  EXPECT_FALSE(t.AddWatch(Folder("extra"), kNames, slot, false));
  EXPECT_EQ(slot, -1);
  win::CreateDirectory("C:\\w62\\x");
  ASSERT_TRUE(owner.WaitFor(1));
  EXPECT_EQ(owner.slots.back(), 62);
  // A second refused add closes the first pending handle and is refused the same way.
  EXPECT_FALSE(t.AddWatch(Folder("extra2"), kNames, slot, false));
}

TEST_F(ChangeThread, ClearThenAddReusesSlotZeroAndSilencesOldWatches) {
  Owner owner;
  TChangeHandlerThread t(owner.hwnd, kMsg);
  int slot = -1;
  ASSERT_TRUE(t.AddWatch(Folder("a"), kNames, slot, false));
  ASSERT_TRUE(t.AddWatch(Folder("b"), kNames, slot, false));
  t.ClearWatches();
  ASSERT_TRUE(t.AddWatch(Folder("c"), kNames, slot, false));
  EXPECT_EQ(slot, 0);
  win::CreateDirectory("C:\\a\\x");
  win::CreateDirectory("C:\\c\\x");
  ASSERT_TRUE(owner.WaitFor(1));
  // The process reads the host's events in order: a message for the change in a, made
  // first, would follow the one for c within the thread's next turn.
  EXPECT_FALSE(owner.WaitFor(2, std::chrono::milliseconds(300)));
  EXPECT_EQ(owner.slots, (std::vector<int>{0}));
}

TEST_F(ChangeThread, SubtreeWatchSeesDeeperChanges) {
  Owner owner;
  TChangeHandlerThread t(owner.hwnd, kMsg);
  Folder("deep");
  win::CreateDirectory("C:\\deep\\sub");
  int slot = -1;
  ASSERT_TRUE(t.AddWatch("C:\\deep", kNames, slot, true));
  win::CreateDirectory("C:\\deep\\sub\\x");
  ASSERT_TRUE(owner.WaitFor(1));
}

TEST_F(ChangeThread, NoWindowPostsNothingAndDestroyStopsPromptly) {
  auto start = std::chrono::steady_clock::now();
  {
    TChangeHandlerThread t(nullptr, kMsg);
    int slot = -1;
    ASSERT_TRUE(t.AddWatch(Folder("a"), kNames, slot, false));
    win::CreateDirectory("C:\\a\\x");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
