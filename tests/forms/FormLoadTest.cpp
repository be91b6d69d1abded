#include <gtest/gtest.h>

#include "platform/forms/ActnList.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/UiScript.h"

namespace {

// Stands in for the setup program's main dialog.
class TfrmSetup : public TForm {
  WI_CLASS(TfrmSetup, TForm)
 public:
  TPanel* Panel1 = nullptr;
  TPanel* Panel2 = nullptr;
  TButton* bOK = nullptr;
  TRadioButton* Radio1 = nullptr;
  TRadioButton* Radio2 = nullptr;
  TAction* ActionOK = nullptr;
  std::vector<std::string> ran;
  explicit TfrmSetup(TComponent* owner) : TForm(owner) {
    Field("Panel1", Panel1);
    Field("Panel2", Panel2);
    Field("bOK", bOK);
    Field("Radio1", Radio1);
    Field("Radio2", Radio2);
    Field("ActionOK", ActionOK);
    Method("FormCreate", &TfrmSetup::FormCreate);
    Method("ActionOKExecute", &TfrmSetup::ActionOKExecute);
    Method("ActionList1Update", &TfrmSetup::ActionList1Update);
  }
  void FormCreate(TObject*) { ran.push_back("create"); }
  void ActionOKExecute(TObject*) {
    if (Radio1->Checked())
      ran.push_back("client");
    else if (Radio2->Checked())
      ran.push_back("server");
  }
  void ActionList1Update(TAction* a, bool& handled) {
    if (a == ActionOK) a->SetEnabled(Radio1->Checked() || Radio2->Checked());
  }
};
void TfrmSetup::DefineProps(TPropList&) {}

const char* kForm =
    "object frmSetup: TfrmSetup\n"
    "  Left = 0\n"
    "  Top = 0\n"
    "  Caption = 'Firebird 1.5'\n"
    "  Font.Height = -13\n"
    "  BorderStyle = bsDialog\n"
    "  ClientHeight = 304\n"
    "  ClientWidth = 563\n"
    "  Position = poScreenCenter\n"
    "  OnCreate = FormCreate\n"
    "  object ActionList1: TActionList\n"
    "    OnUpdate = ActionList1Update\n"
    "    object ActionOK: TAction\n"
    "      Caption = 'OK'\n"
    "      OnExecute = ActionOKExecute\n"
    "    end\n"
    "  end\n"
    "  object Panel1: TPanel\n"
    "    Left = 0\n"
    "    Top = 263\n"
    "    Width = 563\n"
    "    Height = 41\n"
    "    Align = alBottom\n"
    "    TabOrder = 0\n"
    "    BevelOuter = bvNone\n"
    "    object bOK: TButton\n"
    "      Left = 392\n"
    "      Top = 12\n"
    "      Width = 75\n"
    "      Height = 25\n"
    "      Action = ActionOK\n"
    "      TabOrder = 0\n"
    "      TabStop = True\n"
    "      Default = True\n"
    "    end\n"
    "  end\n"
    "  object Panel3: TPanel\n"
    "    Left = 0\n"
    "    Top = 0\n"
    "    Width = 563\n"
    "    Height = 263\n"
    "    Align = alClient\n"
    "    TabOrder = 1\n"
    "    BevelOuter = bvNone\n"
    "    object Panel2: TPanel\n"
    "      Left = 0\n"
    "      Top = 0\n"
    "      Width = 185\n"
    "      Height = 263\n"
    "      Align = alLeft\n"
    "      TabOrder = 0\n"
    "      BevelInner = bvLowered\n"
    "      BevelOuter = bvNone\n"
    "      BevelWidth = 2\n"
    "    end\n"
    "    object Radio1: TRadioButton\n"
    "      Left = 212\n"
    "      Top = 24\n"
    "      Width = 269\n"
    "      Height = 17\n"
    "      Caption = 'Installer le client Firebird'\n"
    "      TabOrder = 1\n"
    "    end\n"
    "    object Radio2: TRadioButton\n"
    "      Left = 212\n"
    "      Top = 52\n"
    "      Width = 269\n"
    "      Height = 17\n"
    "      Caption = 'Installer le serveur et le client Firebird '\n"
    "      TabOrder = 2\n"
    "    end\n"
    "  end\n"
    "end\n";

TEST(FormLoadTest, LoadsAlignsBindsDrivesAndWritesBack) {
  UiScript::Reset();
  TfrmSetup form(nullptr);
  ReadComponentFromText(&form, kForm, "frmSetup.form");
  EXPECT_EQ(form.Caption(), "Firebird 1.5");
  EXPECT_EQ(form.ClientWidth(), 563);
  EXPECT_EQ(form.Font()->Height(), -13);
  EXPECT_EQ(form.bOK->Caption(), "OK");
  EXPECT_EQ(form.bOK->Font()->Height(), -13);  // inherited from the form
  // Aligned panels share out the client area; a panel's bevel takes room off its children.
  EXPECT_EQ(form.Panel1->Top(), 304 - 41);
  EXPECT_EQ(form.Panel2->Height(), 263);
  EXPECT_EQ(form.Panel2->AdjustClientRect().left, 2);
  EXPECT_EQ(WriteComponentToText(&form), kForm);

  // Nothing checked: the idle update disables the action and the button follows it.
  Application->Idle();
  EXPECT_FALSE(form.bOK->Enabled());
  form.Radio2->Click();
  Application->Idle();
  EXPECT_TRUE(form.bOK->Enabled());
  form.bOK->Click();
  form.Radio1->Click();
  EXPECT_FALSE(form.Radio2->Checked());
  form.bOK->Click();
  EXPECT_EQ(form.ran, (std::vector<std::string>{"server", "client"}));
}

TEST(FormLoadTest, MalformedDescriptionsNameFileLineAndExpectation) {
  auto fails = [](const std::string& text, const std::string& part) {
    TfrmSetup form(nullptr);
    try {
      ReadComponentFromText(&form, text, "bad.form");
      ADD_FAILURE() << "no failure for " << part;
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  };
  fails("object f: TfrmSetup\n  object X: TNoSuch\n  end\nend\n",
        "bad.form:2: expected a registered class, not the unknown class TNoSuch");
  fails("object f: TfrmSetup\n  Colour = clRed\nend\n",
        "bad.form:2: expected a property of TfrmSetup, not the unknown property \"Colour\"");
  fails("object f: TfrmSetup\n  BorderStyle = bsRound\nend\n",
        "bad.form:2: expected one of bsNone");
  fails("object f: TfrmSetup\n  Width = 'wide'\nend\n",
        "bad.form:2: expected an integer for Width");
  fails("object f: TfrmSetup\n  object P: TPanel\n  Left = 1\nend\n",
        "bad.form:5: expected 'end' closing f");
  fails("object f: TfrmSetup\n  OnCreate = NoHandler\nend\n", "unknown method NoHandler");
  fails("object f: TfrmSetup\nend\nend\n", "bad.form:3: expected end of the description");
  fails("object f: TfrmSetup\n  Caption = 'open\nend\n", "bad.form:2: expected a closing quote");
}

}  // namespace
