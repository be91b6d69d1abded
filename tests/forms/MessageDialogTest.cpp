#include <gtest/gtest.h>

#include "platform/forms/MessageDialogs.h"
#include "platform/forms/Screen.h"
#include "platform/forms/UiScript.h"

namespace {

class MessageDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { UiScript::Reset(); }
};

TEST_F(MessageDialogTest, AnswersByKindOrTitleAndRecordsEveryDialog) {
  UiScript::Expect("confirmation", "supprimer", "yes");
  UiScript::Expect("Erreur", "=Disque plein.", "OK");
  EXPECT_EQ(MessageDlg("Voulez-vous supprimer le fichier ?", mtConfirmation,
                       MsgButtons({mbYes, mbNo}), 0),
            mrYes);
  EXPECT_EQ(MessageDlg("Disque plein.", mtError, MsgButtons({mbOK}), 0), mrOk);
  auto& d = UiScript::Dialogs();
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].title, "Confirmation");
  EXPECT_EQ(d[0].buttons, (std::vector<std::string>{"&Oui", "&Non"}));
  EXPECT_EQ(d[0].answer, "&Oui");
  EXPECT_EQ(d[1].title, "Erreur");
  EXPECT_TRUE(UiScript::UnusedAnswers().empty());
}

TEST_F(MessageDialogTest, CaptionsAndTitlesAreFrench) {
  UiScript::Expect("*", "", "Annuler");
  EXPECT_EQ(MessageDlg("x", mtWarning, MsgButtons({mbOK, mbCancel, mbIgnore, mbAbort, mbRetry}), 0),
            mrCancel);
  auto& d = UiScript::Dialogs().back();
  EXPECT_EQ(d.title, "Avertissement");
  EXPECT_EQ(d.buttons,
            (std::vector<std::string>{"OK", "Annuler", "&Abandonner", "&Réessayer", "&Ignorer"}));
  EXPECT_EQ(MessageDlgTitle(mtInformation), "Information");
}

TEST_F(MessageDialogTest, UnexpectedDialogOrWrongAnswerFailsNamingTheDialog) {
  try {
    MessageDlg("Le service ne répond pas.", mtError, MsgButtons({mbOK}), 0);
    FAIL() << "no failure";
  } catch (const EUiScriptError& e) {
    EXPECT_NE(std::string(e.what()).find("\"Erreur\": \"Le service ne répond pas.\""),
              std::string::npos);
  }
  UiScript::Expect("error", "", "yes");
  EXPECT_THROW(MessageDlg("m", mtError, MsgButtons({mbOK}), 0), EUiScriptError);
  // An answer for another title is not taken.
  UiScript::Reset();
  UiScript::Expect("warning", "", "ok");
  EXPECT_THROW(MessageDlg("m", mtInformation, MsgButtons({mbOK}), 0), EUiScriptError);
}

TEST_F(MessageDialogTest, ScriptTextParsesAndRejectsBadLines) {
  UiScript::Load("# comment\n\ndialog Information | ligne 1\\r\\nligne 2 | ok\n");
  EXPECT_EQ(MessageDlg("ligne 1\r\nligne 2", mtInformation, MsgButtons({mbOK}), 0), mrOk);
  try {
    UiScript::Load("dialog a | b\n", "t.ui");
    FAIL();
  } catch (const EUiScriptError& e) {
    EXPECT_NE(std::string(e.what()).find("t.ui:1"), std::string::npos);
  }
  EXPECT_THROW(UiScript::Load("frobnicate x\n"), EUiScriptError);
  EXPECT_THROW(UiScript::Load("wait soon\n"), EUiScriptError);
}

TEST(ScreenTest, CursorChangesAreRecorded) {
  Screen->ClearCursorHistory();
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(Screen->Cursor(), -11);
  Screen->SetCursor(crDefault);
  EXPECT_EQ(Screen->CursorHistory(), (std::vector<TCursor>{crHourGlass, crDefault}));
}

}  // namespace
