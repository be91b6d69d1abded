// Message dialogs without a script, answered as a person does: keys and clicks posted to
// the dialog's windows, handled by its modal loop.
#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/MessageDialogs.h"
#include "tests/forms_dialogs/Person.h"

namespace {

using Buttons = std::initializer_list<TMsgDlgBtn>;

class MessageDialogPerson : public PersonTest {
 protected:
  TModalResult Ask(Buttons buttons, TMsgDlgType type = mtConfirmation) {
    return MessageDlg("Voulez-vous continuer ?", type, MsgButtons(buttons), 0);
  }
  std::string Focused() {
    TWinControl* f = FocusedControl();
    return f ? f->Name() : "";
  }
};

TEST_F(MessageDialogPerson, EnterPressesTheDefaultButtonOfEverySet) {
  struct Case {
    Buttons buttons;
    TModalResult result;
  };
  for (const Case& c :
       {Case{{mbOK}, mrOk}, Case{{mbYes, mbNo}, mrYes}, Case{{mbYes, mbNo, mbCancel}, mrYes},
        Case{{mbOK, mbCancel}, mrOk}, Case{{mbYes, mbNo, mbIgnore}, mrYes}}) {
    Person p;
    p.Key(win::VK_RETURN);
    EXPECT_EQ(Ask(c.buttons), c.result);
    EXPECT_EQ(p.Left(), 0u);
  }
}

TEST_F(MessageDialogPerson, EscapeIsCancelElseNoElseOk) {
  struct Case {
    Buttons buttons;
    TModalResult result;
  };
  for (const Case& c :
       {Case{{mbOK}, mrOk}, Case{{mbYes, mbNo}, mrNo}, Case{{mbYes, mbNo, mbCancel}, mrCancel},
        Case{{mbOK, mbCancel}, mrCancel}, Case{{mbYes, mbNo, mbIgnore}, mrNo}}) {
    Person p;
    p.Key(win::VK_ESCAPE);
    EXPECT_EQ(Ask(c.buttons), c.result);
  }
}

TEST_F(MessageDialogPerson, TabMovesTheFocusAmongTheButtonsAndEnterPressesTheFocusedOne) {
  {
    Person p;
    p.Look([&](TForm&) { EXPECT_EQ(Focused(), "Yes"); })
        .Key(win::VK_TAB)
        .Look([&](TForm&) { EXPECT_EQ(Focused(), "No"); })
        .Key(win::VK_RETURN);
    EXPECT_EQ(Ask({mbYes, mbNo, mbCancel}), mrNo);
  }
  {
    // Shift+Tab from the first button wraps round to the last.
    Person p;
    p.Key(win::VK_TAB, ssShift)
        .Look([&](TForm&) { EXPECT_EQ(Focused(), "Cancel"); })
        .Key(win::VK_RETURN);
    EXPECT_EQ(Ask({mbYes, mbNo, mbCancel}), mrCancel);
  }
  {
    // Three Tabs past three buttons come back to Yes; Escape still cancels from anywhere.
    Person p;
    p.Key(win::VK_TAB)
        .Key(win::VK_TAB)
        .Key(win::VK_TAB)
        .Look([&](TForm&) { EXPECT_EQ(Focused(), "Yes"); })
        .Key(win::VK_ESCAPE);
    EXPECT_EQ(Ask({mbYes, mbNo, mbCancel}), mrCancel);
  }
}

TEST_F(MessageDialogPerson, UnderlinedLettersPressTheirButtonsAloneOrWithAlt) {
  {
    Person p;
    p.Chars("n");
    EXPECT_EQ(Ask({mbYes, mbNo}), mrNo);
  }
  {
    Person p;
    p.Chars("I");
    EXPECT_EQ(Ask({mbYes, mbNo, mbIgnore}, mtWarning), mrIgnore);
  }
  {
    Person p;
    p.Key('O', ssAlt);
    EXPECT_EQ(Ask({mbYes, mbNo, mbCancel}), mrYes);
  }
  {
    // Alt+letter as the system character, and a letter no caption marks does nothing.
    Person p;
    p.Chars("z").Then([] { win::PostMessage(Person::Target(), win::WM_SYSCHAR, 'i', 0); });
    EXPECT_EQ(Ask({mbYes, mbNo, mbIgnore}, mtWarning), mrIgnore);
    EXPECT_EQ(p.Taken(), 2);
  }
}

TEST_F(MessageDialogPerson, ClicksPressTheButtons) {
  for (auto [name, result] :
       {std::pair{"Yes", mrYes}, std::pair{"No", mrNo}, std::pair{"Cancel", mrCancel}}) {
    Person p;
    p.Click(name);
    EXPECT_EQ(Ask({mbYes, mbNo, mbCancel}), result);
  }
  // The help button answers nothing: the dialog stays until a real answer.
  Person p;
  p.Click("Help").Click("OK");
  EXPECT_EQ(Ask({mbOK, mbHelp}), mrOk);
  EXPECT_EQ(p.Taken(), 2);
}

TEST_F(MessageDialogPerson, TheCloseBoxCancelsOrIsOkAloneAndIsIgnoredOnYesNo) {
  {
    Person p;
    p.CloseBox();
    EXPECT_EQ(Ask({mbYes, mbNo, mbCancel}), mrCancel);
  }
  {
    Person p;
    p.CloseBox();
    EXPECT_EQ(Ask({mbOK}, mtInformation), mrOk);
  }
  {
    Person p;
    p.CloseBox().Look([](TForm& f) { EXPECT_TRUE(f.Visible()); }).Click("No");
    EXPECT_EQ(Ask({mbYes, mbNo}), mrNo);
  }
}

TEST_F(MessageDialogPerson, TheDialogIsModalAboveItsOwnerAndGivesTheFocusBack) {
  TForm owner(nullptr);
  owner.SetName("frmOwner");
  auto* edit = new TEdit(&owner);
  edit->SetName("eName");
  edit->SetParent(&owner);
  owner.Show();
  edit->SetFocus();
  int exits = 0, clicks = 0;
  edit->OnExit = [&](TObject*) { ++exits; };
  auto* go = new TButton(&owner);
  go->SetName("bGo");
  go->SetParent(&owner);
  go->OnClick = [&](TObject*) { ++clicks; };
  Person p;
  // The owner is disabled while the dialog shows: its clicks and keys are lost.
  p.Then([&] {
    Person::PostClick(go, -1, -1);
    win::PostMessage(edit->Handle(), win::WM_CHAR, 'x', 0);
  });
  p.Look([&](TForm& f) {
     EXPECT_EQ(clicks, 0);
     EXPECT_EQ(edit->Text(), "");
     EXPECT_EQ(f.Caption(), "Confirmation");
     EXPECT_EQ(ModalForm(), &f);
     EXPECT_EQ(Focused(), "Yes");
   }).Key(win::VK_RETURN);
  EXPECT_EQ(Ask({mbYes, mbNo}), mrYes);
  EXPECT_EQ(Screen->ActiveForm(), &owner);
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(exits, 1);
  Person::PostClick(go, -1, -1);
  UiDriver::RunUntilIdle();
  EXPECT_EQ(clicks, 1);

  // What the person answered is recorded like a scripted answer.
  auto& d = UiScript::Dialogs().back();
  EXPECT_EQ(d.kind, "confirmation");
  EXPECT_EQ(d.message, "Voulez-vous continuer ?");
  EXPECT_EQ(d.answer, "&Oui");
  EXPECT_EQ(d.result, mrYes);
}

TEST_F(MessageDialogPerson, LongLinesWrapAtHalfTheScreen) {
  std::string longLine;
  for (int i = 0; i < 40; ++i) longLine += "mot ";
  std::unique_ptr<TMessageForm> f(
      CreateMessageDialog(longLine + "\r\nfin", mtInformation, MsgButtons({mbOK})));
  EXPECT_LE(f->Message->Width(), Screen->Width() / 2);
  EXPECT_GE(f->Message->Height(), 3 * 13);
  // Everything fits: the label inside the form, the button below the text.
  EXPECT_LE(f->Message->Left() + f->Message->Width(), f->ClientWidth());
  EXPECT_GT(f->Buttons[0]->Top(), f->Message->Top() + f->Message->Height());
  EXPECT_EQ(f->ActiveControl(), f->Buttons[0]);
}

TEST_F(MessageDialogPerson, WithoutAnyoneToAnswerTheDialogFailsNamingIt) {
  // No script and no display: nobody can answer, so no waiting.
  try {
    Ask({mbYes, mbNo});
    FAIL() << "no failure";
  } catch (const EUiScriptError& e) {
    std::string m = e.what();
    EXPECT_NE(m.find("unexpected dialog \"Confirmation\": \"Voulez-vous continuer ?\""),
              std::string::npos)
        << m;
    EXPECT_NE(m.find("no display"), std::string::npos) << m;
  }
  // A person who stops answering is a failure too, not a hang.
  Person p;
  p.Key(win::VK_TAB);
  EXPECT_THROW(Ask({mbYes, mbNo}), EUiScriptError);
}

TEST_F(MessageDialogPerson, AScriptStillAnswersWhenThereIsAPersonToo) {
  UiScript::SetScripted(true);
  Person p;  // present, but never asked
  UiScript::Expect("confirmation", "continuer", "non");
  EXPECT_EQ(Ask({mbYes, mbNo}), mrNo);
  EXPECT_EQ(p.Taken(), 0);
  // An unexpected dialog still ends the run with its error.
  EXPECT_THROW(Ask({mbYes, mbNo}), EUiScriptError);
  EXPECT_EQ(p.Taken(), 0);
}

TEST(MessageDialogProgram, HeadlessWithoutScriptExitsWithAnErrorNamingTheDialog) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setenv("WI_HEADLESS", "1", 1);
        unsetenv("WI_UI_SCRIPT");
        win::clock::SetSimulated(true);
        MessageDlg("L'installation du serveur est terminée!", mtInformation, MsgButtons({mbOK}), 0);
        std::exit(0);
      },
      ::testing::ExitedWithCode(3),
      "unexpected dialog \"Information\": \"L'installation du serveur est terminée!\"");
}

}  // namespace
