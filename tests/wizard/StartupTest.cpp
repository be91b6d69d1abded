// Start-up: the command line and the plan file as Setup reads them.
#include "WizardTestSupport.h"

namespace wzt {
namespace {

class StartupTest : public WizardTest {
 protected:
  void SetUp() override { MakeMedia(); }
};

TEST_F(StartupTest, FoldersComeFromTheProgramsOwnLocation) {
  CreateWizard();
  EXPECT_EQ(frmMain->SourceDir, "D:\\Files\\Base\\");
  EXPECT_EQ(frmMain->Caption(), " Environnement minimum pour les programmes MARQETO");
  EXPECT_EQ(frmMain->ProductName, "Environnement minimum MARQETO");
}

TEST_F(StartupTest, OnlyExactRAndAParametersSetTheMode) {
  struct Case {
    const char* args;
    const char* mode;
  } const cases[] = {{"", ""},   {"r", ""},    {"/R", ""},   {"a", ""},    {"R", "R"},
                     {"A", "A"}, {"A R", "R"}, {"R A", "A"}, {"R x", "R"}, {"\"R\"", "R"}};
  for (const auto& c : cases) {
    CreateWizard(c.args);
    EXPECT_EQ(frmMain->Mode, c.mode) << "parameters: " << c.args;
    DestroyWizard();
  }
}

TEST_F(StartupTest, StartedWithRAndAOpensOnTheWelcomeStep) {
  StartWizard("R A");
  EXPECT_EQ(frmMain->CurrentStep(), frmWelcome);
  EXPECT_FALSE(frmMain->Finished);
}

TEST_F(StartupTest, PlanFileLinesAreClassifiedAfterTrimming) {
  struct Case {
    const char* name;
    std::string text;
    std::string next;
  } const cases[] = {
      {"two lines, the last wins", "NextInstaller=first.exe\r\nNextInstaller=second.exe\r\n",
       "D:\\Files\\second.exe"},
      {"padded line", "   \tNextInstaller=Suite\\Setup.exe  \t\r\n", "D:\\Files\\Suite\\Setup.exe"},
      {"other letter case and Step= lines",
       "nextinstaller=x.exe\r\nStep=NextInstaller=y.exe\r\n"
       "Step=Welcome\r\n",
       ""},
      {"key not at the first position", "# NextInstaller=x.exe\r\n", ""},
      {"key alone gives the media folder", "NextInstaller=\r\n", "D:\\Files\\"},
      {"LF line ends", "Step=Welcome\nNextInstaller=lf.exe\n", "D:\\Files\\lf.exe"},
      {"empty file", "", ""},
  };
  for (const auto& c : cases) {
    WritePlan(c.text);
    CreateWizard();
    EXPECT_EQ(frmMain->NextInstaller, c.next) << c.name;
    DestroyWizard();
  }
}

TEST_F(StartupTest, LongValueIsCutAfter255Characters) {
  std::string value(300, 'x');
  WritePlan("NextInstaller=" + value + "\r\n");
  CreateWizard();
  EXPECT_EQ(frmMain->NextInstaller, "D:\\Files\\" + std::string(255, 'x'));
  DestroyWizard();
  // Characters, not bytes: a value of accented letters keeps 255 whole letters.
  std::string accented;
  for (int i = 0; i < 300; ++i) accented += "é";
  WritePlan("NextInstaller=" + accented + "\r\n");
  CreateWizard();
  std::string want;
  for (int i = 0; i < 255; ++i) want += "é";
  EXPECT_EQ(frmMain->NextInstaller, "D:\\Files\\" + want);
}

TEST_F(StartupTest, WithoutPlanFileThereIsNoNextInstaller) {
  RemovePlan();
  CreateWizard();
  EXPECT_EQ(frmMain->NextInstaller, "");
  std::string caption;
  frmEndInstall->GetNextCaption(caption);
  EXPECT_EQ(caption, "Quitter");
}

TEST_F(StartupTest, MediaFolderWithBlanks) {
  SetProgram("D:\\Installation MARQETO\\Install.exe");
  MakeMedia({}, "Installation MARQETO");
  WritePlan("NextInstaller=Suite.exe\r\n");
  CreateWizard();
  EXPECT_EQ(frmMain->SourceDir, "D:\\Installation MARQETO\\Files\\Base\\");
  EXPECT_EQ(frmMain->NextInstaller, "D:\\Installation MARQETO\\Files\\Suite.exe");
}

TEST_F(StartupTest, SingleInstanceMarkerIsHeldUntilReleased) {
  EXPECT_FALSE(AlreadyRunning());
  // Another holder of the same name is another copy of the wizard.
  win::HANDLE other = win::CreateSemaphore(nullptr, 0, 1, kInstanceTokenName);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  win::CloseHandle(other);
  ReleaseInstanceToken();
  ReleaseInstanceToken();  // twice is harmless
  other = win::CreateSemaphore(nullptr, 0, 1, kInstanceTokenName);
  EXPECT_EQ(win::GetLastError(), 0u);
  win::CloseHandle(other);
}

}  // namespace
}  // namespace wzt
