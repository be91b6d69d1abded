// Where Install's toolkit differs from Tolvane's: failed copies and deletions reach the
// caller as exceptions, the source is checked first, questions return Booleans.
#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

class InstallVariant : public ToolkitTest {};

TEST_F(InstallVariant, CopyAndDeleteErrorsAreExceptionsWithoutDialog) {
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  try {
    ReportCopyError("C:\\src\\a.dll", "C:\\dest\\a.dll");
    FAIL() << "no exception";
  } catch (const EAbort&) {
    FAIL() << "silent abort instead of the message";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Ne peut pas copier le fichier :\r\nC:\\src\\a.dll\r\nDestination :\r\n"
              "C:\\dest\\a.dll\r\nAccès refusé.\r\n");
  }
  win::SetLastError(win::ERROR_SHARING_VIOLATION);
  try {
    ReportDeleteError("C:\\x.dll");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Ne peut pas supprimer le fichier :\r\nC:\\x.dll\r\n" +
                               SysErrorText(win::ERROR_SHARING_VIOLATION));
  }
  EXPECT_TRUE(UiScript::Dialogs().empty());

  // Told to go on, they only show the message.
  UiScript::Expect("Erreur", "=Ne peut pas supprimer le fichier :\r\nC:\\x.dll\r\ncode : 4242",
                   "ok");
  win::SetLastError(4242);
  ReportDeleteError("C:\\x.dll", true);
}

TEST_F(InstallVariant, LastErrorAndAttributesErrorsShowThenAbort) {
  UiScript::Expect("Erreur", "=\r\nAccès refusé.\r\n", "ok");
  win::SetLastError(5);
  EXPECT_THROW(ReportLastError(""), EAbort);
  UiScript::Expect(
      "Erreur", "=Ne peut pas modifier les attributs du fichier : \r\nC:\\a\r\nAccès refusé.\r\n",
      "ok");
  win::SetLastError(5);
  EXPECT_THROW(ReportAttributesError("C:\\a"), EAbort);
}

TEST_F(InstallVariant, ParentDirFallsBackOnTheDriveRoot) {
  std::string p;
  for (auto [in, out] : std::vector<std::pair<std::string, std::string>>{{"C:\\A\\B\\", "C:\\A\\"},
                                                                         {"C:\\A\\B", "C:\\A\\"},
                                                                         {"C:\\A", "C:\\"},
                                                                         {"C:\\", "C:\\"},
                                                                         {"abcd", "abc"},
                                                                         {"x", "x"},
                                                                         {"", ""}}) {
    ExtractParentDir(in, p);
    EXPECT_EQ(p, out) << in;
  }
}

TEST_F(InstallVariant, MissingSourceIsReportedBeforeAnythingIsTouched) {
  Put("C:\\dest\\a.dll", "old");
  bool reboot;
  try {
    TWindowsInstaller::InstallFile("C:\\src\\a.dll", "C:\\dest", "", reboot);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "File not found : C:\\src\\a.dll");
  }
  EXPECT_EQ(Read("C:\\dest\\a.dll"), "old");
  EXPECT_FALSE(Exists("C:\\dest\\a.dll_0"));
}

TEST_F(InstallVariant, QuestionsAnswerWithBooleansOrResults) {
  UiScript::Expect("Confirmation", "=sure?", "no");
  UiScript::Expect("Confirmation", "=sure?", "yes");
  UiScript::Expect("Avertissement", "=risky?", "yes");
  UiScript::Expect("Avertissement", "=restart?", "ignore");
  EXPECT_FALSE(AskConfirm("sure?"));
  EXPECT_TRUE(AskConfirm("sure?", 0));
  EXPECT_TRUE(AskWarningYesNo("risky?"));
  EXPECT_EQ(AskYesNoIgnore("restart?"), mrIgnore);
  EXPECT_EQ(UiScript::Dialogs().back().buttons,
            (std::vector<std::string>{"&Oui", "&Non", "&Ignorer"}));
}

TEST_F(InstallVariant, UnseededTemporaryNamesRepeat) {
  // Install never seeds: the same start gives the same first name.
  SetRandSeed(0);
  std::string a = TWindowsInstaller::GetUniqueTempName("C:\\", ".tmp");
  SetRandSeed(0);
  EXPECT_EQ(TWindowsInstaller::GetUniqueTempName("C:\\", ".tmp"), a);
}

}  // namespace
