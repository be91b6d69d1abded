// Faults found by the programs built on the toolkit: UI script fields that end with line
// breaks, and a script named by WI_UI_SCRIPT that only the program could start.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FormTestSupport.h"
#include "platform/forms/StdCtrls.h"
#include "platform/system/Files.h"
#include "platform/system/FolderHandles.h"
#include "tests/support/TempMachine.h"

namespace {

using RobustnessTest = FormsTest;

TEST_F(RobustnessTest, EscapedLineBreaksAtTheEndOfAFieldAreKept) {
  UiScript::Load(
      "dialog information | =Installation terminée.\\r\\n\\r\\n | ok\n"
      "dialog information | =Terminé.\\r\\n | ok\n");
  EXPECT_EQ(MessageDlg("Installation terminée.\r\n\r\n", mtInformation, MsgButtons({mbOK}), 0),
            mrOk);
  // Without its line break the message is another one.
  EXPECT_THROW(MessageDlg("Terminé.", mtInformation, MsgButtons({mbOK}), 0), EUiScriptError);
  EXPECT_EQ(MessageDlg("Terminé.\r\n", mtInformation, MsgButtons({mbOK}), 0), mrOk);
}

TEST_F(RobustnessTest, BlanksAroundFieldsAndWindowsLineEndsAreStillTrimmed) {
  UiScript::Load(
      "type eName  |   Dupont  \r\n"
      "type eName|\\tx\\n \t\r\n"
      "select lbType | \\ deux\\  \r\n"
      "dialog * |  | ok \r\n");
  auto a = UiScript::NextCommand();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->args, (std::vector<std::string>{"eName", "Dupont"}));
  auto b = UiScript::NextCommand();
  ASSERT_TRUE(b);
  EXPECT_EQ(b->args, (std::vector<std::string>{"eName", "\tx\n"}));
  auto c = UiScript::NextCommand();
  ASSERT_TRUE(c);
  EXPECT_EQ(c->args, (std::vector<std::string>{"lbType", " deux "}));
  EXPECT_EQ(MessageDlg("Voulez-vous continuer ?\r\n", mtConfirmation, MsgButtons({mbOK}), 0), mrOk);
}

// A program that copied files and waits for the user holds no folder open: the disk it
// wrote to can be unmounted while it stays open.
TEST_F(RobustnessTest, AProgramWaitingForTheUserHoldsNoFolderOpen) {
  TempMachine machine;
  ASSERT_TRUE(win::CreateDirectory("C:\\dst", nullptr));
  ASSERT_TRUE(win::WriteWholeFile("C:\\a.txt", "a"));
  ASSERT_TRUE(win::CopyFile("C:\\a.txt", "C:\\dst\\a.txt", win::TRUE));
  ASSERT_GT(win::FolderHandle::HeldCount(), 0u);
  UiDriver::RunUntilIdle();
  EXPECT_EQ(win::FolderHandle::HeldCount(), 0u);
}

// The child processes below start afresh (threadsafe death tests run the test program
// again), so the script named by the environment has not been read yet.
std::string writeScript(const std::string& name, const std::string& text) {
  auto path = std::filesystem::path(WI_BINARY_DIR) / (name + ".txt");
  std::ofstream(path) << text;
  return path.string();
}

TEST(UiScriptEnvironment, QueriesReadTheScriptOnceOnFirstUse) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("WI_UI_SCRIPT",
               writeScript("wi-lazy", "dialog * | Terminé | ok\nclick bOK\n").c_str(), 1);
        bool pending = UiScript::HasPendingCommands();
        auto unused = UiScript::UnusedAnswers();
        auto first = UiScript::NextCommand();
        bool more = UiScript::HasPendingCommands();
        std::fprintf(stderr, "pending %d unused %zu first %s more %d\n", pending, unused.size(),
                     first ? first->verb.c_str() : "-", more);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "pending 1 unused 1 first click more 0");
  std::filesystem::remove(std::filesystem::path(WI_BINARY_DIR) / "wi-lazy.txt");
}

TEST(UiScriptEnvironment, TheLoopStartsTheScriptByItself) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("WI_HEADLESS", "1", 1);
        setenv("WI_UI_SCRIPT", writeScript("wi-loop", "click bOK\n").c_str(), 1);
        win::clock::SetSimulated(true);
        auto* form = new TForm(nullptr);
        form->SetName("frmEnd");
        auto* ok = new TButton(form);
        ok->SetName("bOK");
        ok->SetParent(form);
        ok->OnClick = [](TObject*) {
          std::fprintf(stderr, "clicked\n");
          std::exit(0);
        };
        form->Show();
        for (int i = 0; i < 100; ++i) Application->HandleMessage();
        std::fprintf(stderr, "never clicked\n");
        std::exit(1);
      },
      ::testing::ExitedWithCode(0), "clicked");
  std::filesystem::remove(std::filesystem::path(WI_BINARY_DIR) / "wi-loop.txt");
}

}  // namespace
