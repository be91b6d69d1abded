// Where Tolvane's toolkit differs from Install's: every file failure is shown once and
// ends the action silently, the source is not checked first, AskConfirm returns the
// modal result.
#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

class TolvaneVariant : public ToolkitTest {};

TEST_F(TolvaneVariant, CopyAndDeleteErrorsAreShownThenAbortSilently) {
  UiScript::Expect("Erreur",
                   "=Ne peut pas copier le fichier :\r\nC:\\src\\a.dll\r\nDestination :\r\n"
                   "C:\\dest\\a.dll\r\nAccès refusé.\r\n",
                   "ok");
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  EXPECT_THROW(ReportCopyError("C:\\src\\a.dll", "C:\\dest\\a.dll"), EAbort);

  UiScript::Expect("Erreur",
                   "=Ne peut pas supprimer le fichier :\r\nC:\\x.dll\r\nAccès refusé.\r\n", "ok");
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  EXPECT_THROW(ReportDeleteError("C:\\x.dll"), EAbort);

  UiScript::Expect("Erreur",
                   "=Ne peut pas supprimer le fichier :\r\nC:\\x.dll\r\nAccès refusé.\r\n", "ok");
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  ReportDeleteError("C:\\x.dll", true);  // told to go on: returns
  EXPECT_EQ(UiScript::Dialogs().size(), 3u);
}

TEST_F(TolvaneVariant, ParentDirFallsBackOnTheFirstCharacter) {
  std::string p;
  for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{{"C:\\A\\B\\", "C:\\A\\"},
                                                                         {"C:\\A\\B", "C:\\A\\"},
                                                                         {"C:\\A", "C:\\"},
                                                                         {"abcd", "a"},
                                                                         {"x", "x"},
                                                                         {"", ""}}) {
    ExtractParentDir(in, p);
    EXPECT_EQ(p, out) << in;
  }
}

TEST_F(TolvaneVariant, MissingSourceKeepsTheTargetAndIsShownAsCopyError) {
  Put("C:\\dest\\a.dll", "old");
  UiScript::Expect("Erreur", "Ne peut pas copier le fichier :\r\nC:\\src\\a.dll\r\n", "ok");
  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\a.dll", "C:\\src\\a.dll"), 1);
  bool reboot;
  EXPECT_THROW(TWindowsInstaller::InstallFile("C:\\src\\a.dll", "C:\\dest", "", reboot), EAbort);
  // The target never left its place; the backup made before the copy stays, as every step
  // already done does.
  EXPECT_EQ(Read("C:\\dest\\a.dll"), "old");
  EXPECT_EQ(Read("C:\\dest\\a.dll_0"), "old");
}

TEST_F(TolvaneVariant, AskConfirmReturnsTheModalResult) {
  UiScript::Expect("Confirmation", "=sure?", "no");
  UiScript::Expect("Avertissement", "=now?", "yes");
  EXPECT_EQ(AskConfirm("sure?"), mrNo);
  EXPECT_EQ(AskYesNoCancel("now?"), mrYes);
}

}  // namespace
