// The form text reader on hostile numbers and wide characters, and threads started running.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/forms/Forms.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/Threads.h"

namespace {

std::string ReadError(const std::string& text) {
  try {
    ParseFormText(text, "edge.form");
  } catch (const EReadError& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("escaped: ") + e.what();
  }
  return "read";
}

TEST(FormTextEdges, OutOfRangeNumbersAndCodesAreReadErrorsNamingFileAndLine) {
  const std::string head = "object f: TForm\n  Tag = 1\n";
  for (const char* value :
       {"99999999999999999999", "-99999999999999999999", "$1FFFFFFFFFFFFFFFF", "1e99999",
        "#99999999999999999999", "#1114112", "'a'#55296'b'", "#56320", "#55357#65"}) {
    SCOPED_TRACE(value);
    std::string error = ReadError(head + "  Caption = " + value + "\nend\n");
    EXPECT_EQ(error.rfind("edge.form:3: expected ", 0), 0u) << error;
  }
}

TEST(FormTextEdges, CharactersBeyondTheBasicPlaneRoundTrip) {
  // U+1F600 and U+10348: as codes, as a UTF-16 pair, and as UTF-8 in a quoted string.
  const std::string want = "\xF0\x9F\x98\x80-\xF0\x90\x8D\x88-\xF0\x9F\x98\x80";
  TForm form(nullptr);
  ReadComponentFromText(&form,
                        "object f: TForm\n  Caption = #128512'-'#66376'-'#55357#56832\nend\n", "a");
  EXPECT_EQ(form.Caption(), want);
  TForm again(nullptr);
  ReadComponentFromText(&again, WriteComponentToText(&form), "b");
  EXPECT_EQ(again.Caption(), want);
  ReadComponentFromText(&again, "object f: TForm\n  Caption = '" + want + "'\nend\n", "c");
  EXPECT_EQ(again.Caption(), want);
}

// Execute reads what the derived constructor sets after a pause: a thread that starts
// before construction ends reads it unset (or calls a pure virtual Execute).
class TSlowlyBuiltThread : public TThread {
 public:
  explicit TSlowlyBuiltThread(bool createSuspended) : TThread(createSuspended) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    value_ = 42;
  }
  ~TSlowlyBuiltThread() override { WaitFor(); }
  std::atomic<int> seen{-1};

 protected:
  void Execute() override { seen = value_; }

 private:
  int value_ = 0;
};

TEST(ThreadStart, ARunningThreadStartsOnlyOnceConstructed) {
  auto* running = TThread::New<TSlowlyBuiltThread>(false);
  EXPECT_FALSE(running->Suspended());
  running->WaitFor();
  EXPECT_EQ(running->seen, 42);
  delete running;

  auto* suspended = TThread::New<TSlowlyBuiltThread>(true);
  EXPECT_TRUE(suspended->Suspended());
  suspended->Start();
  suspended->WaitFor();
  EXPECT_EQ(suspended->seen, 42);
  delete suspended;

  // Made without New, a running thread could not know when its object is complete.
  EXPECT_THROW(TSlowlyBuiltThread direct(false), EThread);
}

}  // namespace
