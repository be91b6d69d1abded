// The message loop: the event sources it serves.
#include "FormTestSupport.h"
#include "platform/forms/EventSources.h"

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

}  // namespace
