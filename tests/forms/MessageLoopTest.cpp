// The message loop: the event sources it serves, the exceptions its handlers let out, and
// the queues of threads that ended.
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FormTestSupport.h"
#include "platform/forms/EventSources.h"
#include "platform/forms/Messages.h"

namespace {

using MessageLoopTest = FormsTest;

// A source with work of its own: coming at a time, or ready when the loop is idle.
class TestSource : public TEventSource {
 public:
  std::uint64_t dueAt = 0;
  bool ready = false;
  int idled = 0, ran = 0;
  void Idle() override { ++idled; }
  bool RunReady() override {
    if (!ready) return false;
    ready = false;
    ++ran;
    return true;
  }
  bool NextDue(std::uint64_t* due, bool* ticking) override {
    *due = dueAt;
    *ticking = false;
    return dueAt != 0;
  }
};

TEST_F(MessageLoopTest, RegisteredSourcesAreServedAndWaitedFor) {
  TestSource source;
  Application->AddEventSource(&source);
  source.ready = true;
  EXPECT_TRUE(Application->HandleMessage());
  EXPECT_EQ(source.ran, 1);
  EXPECT_GE(source.idled, 1);
  // Work coming later: the loop lets the simulated time pass until then, not end.
  std::uint64_t target = win::TimerClock() + 250;
  source.dueAt = target;
  while (win::TimerClock() < target) {
    Application->HandleMessage();
    ASSERT_TRUE(Application->WaitForWork());
  }
  EXPECT_EQ(win::TimerClock(), target);
  // A source taken out is no longer served.
  Application->RemoveEventSource(&source);
  source.ready = true;
  while (Application->HandleMessage()) {
  }
  EXPECT_EQ(source.ran, 1);
}

TEST_F(MessageLoopTest, AnExceptionFromAHandlerGoesToTheApplicationAndTheLoopGoesOn) {
  std::vector<std::string> handled;
  std::vector<win::UINT> seen;
  Application->OnException = [&](TObject*, const std::exception& e) {
    handled.push_back(e.what());
  };
  win::HWND h = win::CreateWindowHandle(
      [&](win::HWND, win::UINT msg, win::WPARAM, win::LPARAM) -> win::LRESULT {
        seen.push_back(msg);
        if (msg == win::WM_USER) throw std::runtime_error("boom");
        return 0;
      });
  win::PostMessage(h, win::WM_USER, 0, 0);
  win::PostMessage(h, win::WM_USER + 1, 0, 0);
  EXPECT_NO_THROW(Application->ProcessMessages());
  EXPECT_EQ(handled, std::vector<std::string>{"boom"});
  EXPECT_EQ(seen, (std::vector<win::UINT>{win::WM_USER, win::WM_USER + 1}));
  win::PostMessage(h, win::WM_USER, 0, 0);
  EXPECT_NO_THROW(Application->HandleMessage());
  EXPECT_EQ(handled.size(), 2u);
  win::DestroyWindow(h);
  Application->OnException = nullptr;
}

TEST(MessageQueues, AThreadsQueueGoesWithTheThread) {
  std::size_t before = win::MessageQueueCount();
  std::thread([before] {
    win::PostQuitMessage(0);  // the thread's queue, a message left in it
    EXPECT_EQ(win::MessageQueueCount(), before + 1);
  }).join();
  EXPECT_EQ(win::MessageQueueCount(), before);
}

}  // namespace
