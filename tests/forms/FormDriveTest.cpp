#include "FormTestSupport.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"

namespace {

// A wizard-like page: image on the left, a name, a choice of type and an agreement.
class TfrmPage : public TForm {
  WI_CLASS(TfrmPage, TForm)
 public:
  TAction* ActionNext = nullptr;
  TEdit* eName = nullptr;
  TCheckBox* cbAgree = nullptr;
  TListBox* lbType = nullptr;
  TImage* Image1 = nullptr;
  TTimer* Timer1 = nullptr;
  std::vector<std::string> log;
  explicit TfrmPage(TComponent* owner) : TForm(owner) {
    Field("ActionNext", ActionNext);
    Field("eName", eName);
    Field("cbAgree", cbAgree);
    Field("lbType", lbType);
    Field("Image1", Image1);
    Field("Timer1", Timer1);
    Method("ActionNextExecute", &TfrmPage::ActionNextExecute);
    Method("ActionNextUpdate", &TfrmPage::ActionNextUpdate);
    Method("eNameChange", &TfrmPage::eNameChange);
    Method("Timer1Timer", &TfrmPage::Timer1Timer);
  }
  void ActionNextExecute(TObject*) {
    log.push_back("next " + eName->Text() + " " + lbType->Items()->Get(lbType->ItemIndex()));
  }
  void ActionNextUpdate(TObject*) {
    ActionNext->SetEnabled(cbAgree->Checked() && !eName->Text().empty() &&
                           lbType->ItemIndex() >= 0);
  }
  void eNameChange(TObject*) { log.push_back("change " + eName->Text()); }
  void Timer1Timer(TObject*) {
    Timer1->SetEnabled(false);
    log.push_back("start at " + std::to_string(win::TimerClock() - startedAt));
  }
  std::uint64_t startedAt = 0;
};
void TfrmPage::DefineProps(TPropList&) {}
WI_REGISTER_CLASS(TfrmPage);

std::string pageText() {
  std::string bmp = Bmp24(3, 2, {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x808080});
  std::string data = std::string(1, char(7)) + "TBitmap";
  for (int i = 0; i < 4; ++i) data += char((bmp.size() >> (8 * i)) & 0xFF);
  data += bmp;
  return "object frmPage: TfrmPage\n"
         "  Left = 0\n"
         "  Top = 0\n"
         "  Caption = 'Choix du type d''installation'\n"
         "  BorderStyle = bsNone\n"
         "  ClientHeight = 300\n"
         "  ClientWidth = 480\n"
         "  object ActionList1: TActionList\n"
         "    object ActionNext: TAction\n"
         "      Caption = 'Suivant >'\n"
         "      OnExecute = ActionNextExecute\n"
         "      OnUpdate = ActionNextUpdate\n"
         "    end\n"
         "  end\n"
         "  object pnlButtons: TPanel\n"
         "    Left = 0\n"
         "    Top = 259\n"
         "    Width = 480\n"
         "    Height = 41\n"
         "    Align = alBottom\n"
         "    TabOrder = 1\n"
         "    object bNext: TButton\n"
         "      Left = 300\n"
         "      Top = 8\n"
         "      Width = 75\n"
         "      Height = 25\n"
         "      Action = ActionNext\n"
         "      TabOrder = 0\n"
         "      TabStop = True\n"
         "      Default = True\n"
         "    end\n"
         "    object bCancel: TButton\n"
         "      Left = 390\n"
         "      Top = 8\n"
         "      Width = 75\n"
         "      Height = 25\n"
         "      Caption = 'Annuler'\n"
         "      TabOrder = 1\n"
         "      TabStop = True\n"
         "      Cancel = True\n"
         "      ModalResult = 2\n"
         "    end\n"
         "  end\n"
         "  object pnlClient: TPanel\n"
         "    Left = 0\n"
         "    Top = 0\n"
         "    Width = 480\n"
         "    Height = 259\n"
         "    Align = alClient\n"
         "    TabOrder = 0\n"
         "    BevelOuter = bvNone\n"
         "    object pnlImage: TPanel\n"
         "      Left = 0\n"
         "      Top = 0\n"
         "      Width = 120\n"
         "      Height = 259\n"
         "      Align = alLeft\n"
         "      TabOrder = 0\n"
         "      BevelOuter = bvLowered\n"
         "      object Image1: TImage\n"
         "        Left = 1\n"
         "        Top = 1\n"
         "        Width = 3\n"
         "        Height = 2\n"
         "        AutoSize = True\n"
         "        Picture.Data = " +
         HexBlock(data, "        ") +
         "\n"
         "        Transparent = True\n"
         "      end\n"
         "    end\n"
         "    object eName: TEdit\n"
         "      Left = 140\n"
         "      Top = 16\n"
         "      Width = 200\n"
         "      Height = 21\n"
         "      TabOrder = 1\n"
         "      TabStop = True\n"
         "      MaxLength = 10\n"
         "      OnChange = eNameChange\n"
         "    end\n"
         "    object lbType: TListBox\n"
         "      Left = 140\n"
         "      Top = 48\n"
         "      Width = 200\n"
         "      Height = 65\n"
         "      TabOrder = 2\n"
         "      TabStop = True\n"
         "      Items.Strings = (\n"
         "        'Poste unique'\n"
         "        'Serveur'\n"
         "        'Client')\n"
         "    end\n"
         "    object cbAgree: TCheckBox\n"
         "      Left = 140\n"
         "      Top = 124\n"
         "      Width = 200\n"
         "      Height = 17\n"
         "      Caption = 'J''accepte'\n"
         "      TabOrder = 3\n"
         "      TabStop = True\n"
         "    end\n"
         "  end\n"
         "  object Timer1: TTimer\n"
         "    Interval = 10\n"
         "    OnTimer = Timer1Timer\n"
         "  end\n"
         "end\n";
}

using FormDriveTest = FormsTest;

TEST_F(FormDriveTest, LoadsNestedPanelsImageAndListsThenWritesTheSameText) {
  TfrmPage form(nullptr);
  ReadComponentFromText(&form, pageText(), "frmPage.form");
  EXPECT_EQ(WriteComponentToText(&form), pageText());
  // The bitmap is read bottom-up into pixels; AutoSize took its size.
  EXPECT_EQ(form.Image1->Picture()->Width(), 3);
  EXPECT_EQ(form.Image1->Picture()->Pixels(0, 0), 0x0000FF);
  EXPECT_EQ(form.Image1->Picture()->Pixels(2, 1), 0x808080);
  EXPECT_EQ(form.Image1->Picture()->Pixels(3, 0), clNone);
  // Transparent: the lower-left colour shows the parent.
  EXPECT_EQ(form.Image1->PixelAt(1, 0), 0x00FF00);
  EXPECT_EQ(form.Image1->PixelAt(0, 1), form.Image1->Parent()->Color());
  // A lowered bevel takes one pixel off the panel's children.
  EXPECT_EQ(form.Image1->Left(), 1);
  EXPECT_EQ(form.lbType->Count(), 3);
}

TEST_F(FormDriveTest, DrivenByNameWithActionUpdatesAndTimersOnTheSimulatedClock) {
  TfrmPage form(nullptr);
  ReadComponentFromText(&form, pageText(), "frmPage.form");
  form.startedAt = win::TimerClock();
  form.Show();
  UiDriver::RunUntilIdle();
  EXPECT_TRUE(form.log.empty()) << "the 10 ms timer is not due yet";
  UiDriver::Advance(10);
  ASSERT_EQ(form.log.size(), 1u);
  EXPECT_EQ(form.log[0], "start at 10");
  UiDriver::Advance(100000);  // a disabled timer stays quiet
  EXPECT_EQ(form.log.size(), 1u);

  EXPECT_THROW(UiDriver::Click(nullptr, "bNext"), EUiScriptError)
      << "disabled until the page is filled";
  UiDriver::Type(nullptr, "eName", "Société Générale");  // cut at MaxLength = 10
  EXPECT_EQ(form.eName->Text(), "Société Gé");
  EXPECT_EQ(form.log.back(), "change Société Gé");
  UiDriver::Select(nullptr, "frmPage.lbType", "serveur");
  UiDriver::Check(nullptr, "cbAgree");
  UiDriver::RunUntilIdle();
  UiDriver::Click(nullptr, "bNext");
  EXPECT_EQ(form.log.back(), "next Société Gé Serveur");

  try {
    UiDriver::Select(nullptr, "lbType", "Poste");
    FAIL();
  } catch (const EUiScriptError& e) {
    EXPECT_NE(std::string(e.what()).find("\"Poste unique\", \"Serveur\", \"Client\""),
              std::string::npos)
        << e.what();
  }
  EXPECT_THROW(UiDriver::Click(nullptr, "bNope"), EUiScriptError);
  EXPECT_THROW(UiDriver::Type(nullptr, "cbAgree", "x"), EUiScriptError);
  form.eName->SetReadOnly(true);
  EXPECT_THROW(UiDriver::Type(nullptr, "eName", "x"), EUiScriptError);
}

TEST_F(FormDriveTest, KeyboardRoutingTabEnterEscapeArrowsAndAccelerators) {
  TfrmPage form(nullptr);
  ReadComponentFromText(&form, pageText(), "frmPage.form");
  auto* bCancel = dynamic_cast<TButton*>(form.FindComponent("bCancel"));
  auto* radioA = new TRadioButton(&form);
  auto* radioB = new TRadioButton(&form);
  radioA->SetCaption("&Client");
  radioB->SetCaption("&Serveur");
  radioA->SetParent(dynamic_cast<TWinControl*>(form.FindComponent("pnlClient")));
  radioB->SetParent(dynamic_cast<TWinControl*>(form.FindComponent("pnlClient")));
  form.Show();
  form.eName->SetFocus();
  UiDriver::Key(win::VK_TAB);
  EXPECT_TRUE(form.lbType->Focused());
  UiDriver::Key(win::VK_DOWN);  // the list box wants arrows
  EXPECT_EQ(form.lbType->ItemIndex(), 0);
  UiDriver::Key(win::VK_TAB, ssShift);
  EXPECT_TRUE(form.eName->Focused());
  // Alt+S: the radio button whose caption marks S.
  UiDriver::Key('S', ssAlt);
  EXPECT_TRUE(radioB->Checked());
  EXPECT_TRUE(radioB->Focused());
  UiDriver::Key(win::VK_DOWN);  // wraps round to the first radio button of the panel
  EXPECT_TRUE(radioA->Checked());
  EXPECT_FALSE(radioB->Checked());
  // Escape presses Cancel; Enter the default button (through its action).
  UiDriver::Key(win::VK_ESCAPE);
  EXPECT_EQ(form.ModalResult(), mrCancel);
  (void)bCancel;
  form.SetModalResult(mrNone);
  form.eName->SetReadOnly(false);
  form.eName->SetText("Dupont");
  form.lbType->SetItemIndex(2);
  form.cbAgree->SetChecked(true);
  Application->Idle();
  UiDriver::Key(win::VK_RETURN);
  EXPECT_EQ(form.log.back(), "next Dupont Client");
}

// A radio group is one tab stop: its first button while none is checked (Tab landing on it
// checks it), the checked one afterwards; Space held shows a button pressed, released clicks
// it; a page covered by another takes no focus; a disabled focused control hands the focus on.
TEST_F(FormDriveTest, RadioGroupsSpaceCoveredPagesAndTheFocusThatStaysInTheWindow) {
  TForm form(nullptr);
  form.SetClientWidth(300);
  form.SetClientHeight(200);
  auto* group = new TPanel(&form);
  group->SetParent(&form);
  std::vector<TRadioButton*> radio;
  for (int i = 0; i < 3; ++i) {
    radio.push_back(new TRadioButton(&form));
    radio.back()->SetBounds(0, 20 * i, 100, 17);
    radio.back()->SetParent(group);
  }
  group->SetBounds(0, 0, 100, 60);
  auto* box = new TCheckBox(&form);
  box->SetBounds(120, 0, 100, 17);
  box->SetParent(&form);
  auto* ok = new TButton(&form);
  ok->SetBounds(120, 40, 75, 25);
  ok->SetParent(&form);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  auto* under = new TPanel(&form);
  under->SetBounds(0, 100, 300, 100);
  under->SetParent(&form);
  (new TEdit(&form))->SetParent(under);
  auto* over = new TPanel(&form);
  over->SetBounds(0, 100, 300, 100);
  over->SetParent(&form);
  form.Show();
  EXPECT_TRUE(radio[0]->Focused());
  EXPECT_FALSE(radio[0]->Checked()) << "showing the window checks nothing";
  UiDriver::Key(win::VK_TAB);
  EXPECT_TRUE(box->Focused());
  UiDriver::Key(win::VK_TAB, ssShift);
  EXPECT_TRUE(radio[0]->Focused() && radio[0]->Checked());
  UiDriver::Key(win::VK_DOWN);
  EXPECT_TRUE(radio[1]->Focused() && radio[1]->Checked() && !radio[0]->Checked());
  UiDriver::Key(win::VK_TAB);
  UiDriver::Key(win::VK_TAB, ssShift);
  EXPECT_TRUE(radio[1]->Focused()) << "the checked button is the group's stop";
  UiDriver::Key(win::VK_TAB);
  UiDriver::KeyDown(win::VK_SPACE);
  EXPECT_TRUE(box->Pressed());
  EXPECT_FALSE(box->Checked());
  UiDriver::KeyUp(win::VK_SPACE);
  EXPECT_TRUE(box->Checked() && !box->Pressed());
  UiDriver::Key(win::VK_TAB);
  ASSERT_TRUE(ok->Focused());
  UiDriver::Key(win::VK_SPACE);
  EXPECT_EQ(clicks, 1);
  UiDriver::Key(win::VK_TAB);
  EXPECT_TRUE(radio[1]->Focused()) << "the edit under the covered page is skipped";
  ok->SetFocus();
  ok->SetEnabled(false);
  Application->Idle();
  EXPECT_TRUE(radio[1]->Focused());
}

}  // namespace
