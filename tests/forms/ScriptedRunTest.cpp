#include <fstream>

#include "FormTestSupport.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"

namespace {

// A small program: a start timer fills the report, a name is typed, OK asks a question
// and writes the answer into the report, Close ends the program.
class TfrmRun : public TForm {
  WI_CLASS(TfrmRun, TForm)
 public:
  TEdit* eName;
  TButton* bOK;
  TRichEdit* Report;
  TTimer* StartTimer;
  explicit TfrmRun(TComponent* owner) : TForm(owner) {
    SetName("frmRun");
    SetCaption("Installation");
    eName = new TEdit(this);
    eName->SetName("eName");
    eName->SetParent(this);
    bOK = new TButton(this);
    bOK->SetName("bOK");
    bOK->SetCaption("OK");
    bOK->SetParent(this);
    bOK->OnClick = [this](TObject*) {
      auto r = MessageDlg("Installer pour " + eName->Text() + " ?", mtConfirmation,
                          MsgButtons({mbYes, mbNo}), 0);
      Report->Lines()->Add(r == mrYes ? "Oui\r\nInstallé." : "Non");
    };
    Report = new TRichEdit(this);
    Report->SetName("Report");
    Report->SetParent(this);
    Report->SetReadOnly(true);
    StartTimer = new TTimer(this);
    StartTimer->SetInterval(10);
    StartTimer->OnTimer = [this](TObject*) {
      StartTimer->SetEnabled(false);
      Report->Lines()->Add("Démarrage");
    };
  }
};
void TfrmRun::DefineProps(TPropList&) {}

using ScriptedRunTest = FormsTest;

TEST_F(ScriptedRunTest, ProgramRunsFromStartToEndOnAScript) {
  TfrmRun* form = nullptr;
  Application->CreateForm(form);
  std::unique_ptr<TfrmRun> owned(form);
  Application->RemoveComponent(form);
  UiScript::Load(
      "type eName | Dupont\n"
      "dialog confirmation | Installer pour Dupont | &Oui\n"
      "click bOK\n"
      "wait 21000\n"
      "close\n",
      "run.ui");
  auto start = win::TimerClock();
  Application->Run();
  EXPECT_EQ(form->Report->Lines()->Count(), 3);
  EXPECT_EQ(form->Report->Text(), "Démarrage\r\nOui\r\nInstallé.");
  EXPECT_GE(win::TimerClock() - start, 21000u);
  ASSERT_EQ(UiScript::Dialogs().size(), 1u);
  EXPECT_EQ(UiScript::Dialogs()[0].title, "Confirmation");
  EXPECT_EQ(UiScript::Dialogs()[0].answer, "&Oui");
  EXPECT_FALSE(form->Visible());
}

TEST_F(ScriptedRunTest, ScriptErrorsNameTheLineAndAnIdleProgramStops) {
  TfrmRun* form = nullptr;
  Application->CreateForm(form);
  std::unique_ptr<TfrmRun> owned(form);
  Application->RemoveComponent(form);
  UiScript::Load("click bMissing\n", "bad.ui");
  try {
    Application->Run();
    FAIL();
  } catch (const EUiScriptError& e) {
    EXPECT_NE(std::string(e.what()).find("bad.ui:1: click bMissing: no component \"bMissing\""),
              std::string::npos)
        << e.what();
  }
  // No command left: the program would wait for a user for ever.
  Application->Reset();
  Application->CreateForm(form);
  std::unique_ptr<TfrmRun> owned2(form);
  Application->RemoveComponent(form);
  try {
    Application->Run();
    FAIL();
  } catch (const EUiScriptError& e) {
    EXPECT_NE(std::string(e.what()).find("waits for a user"), std::string::npos);
  }
  EXPECT_EQ(form->Report->Text(), "Démarrage") << "the start timer ran before the loop gave up";
}

TEST_F(ScriptedRunTest, MessageDialogIsAModalFormWithFrenchButtons) {
  TForm owner(nullptr);
  owner.SetName("frmOwner");
  owner.Show();
  // The dialog's form, as it is built.
  std::unique_ptr<TMessageForm> f(
      CreateMessageDialog("Disque plein.", mtWarning, MsgButtons({mbYes, mbNo, mbCancel})));
  EXPECT_EQ(f->Caption(), "Avertissement");
  ASSERT_EQ(f->Buttons.size(), 3u);
  EXPECT_EQ(f->Buttons[0]->Caption(), "&Oui");
  EXPECT_EQ(f->Buttons[1]->Name(), "No");
  EXPECT_TRUE(f->Buttons[0]->Default());
  EXPECT_TRUE(f->Buttons[2]->Cancel());
  EXPECT_NE(f->Image, nullptr);
  EXPECT_EQ(f->Message->Caption(), "Disque plein.");

  // Shown modally: the answer presses its button in the dialog's loop; the owner form is
  // active again afterwards.
  UiScript::Expect("warning", "plein", "non");
  EXPECT_EQ(MessageDlg("Disque plein.", mtWarning, MsgButtons({mbYes, mbNo, mbCancel}), 0), mrNo);
  EXPECT_EQ(Screen->ActiveForm(), &owner);
  EXPECT_EQ(UiScript::Dialogs().back().buttons,
            (std::vector<std::string>{"&Oui", "&Non", "Annuler"}));

  // A modal form closed by the script's own commands, with a nested question.
  TForm modal(nullptr);
  modal.SetName("frmAsk");
  auto* b = new TButton(&modal);
  b->SetName("bGo");
  b->SetParent(&modal);
  b->OnClick = [&](TObject*) {
    if (MessageDlg("Continuer ?", mtConfirmation, MsgButtons({mbOK, mbCancel}), 0) == mrOk)
      modal.SetModalResult(mrOk);
  };
  // The modal loop runs timers too: one due 50 ms on fires before the script's click.
  TTimer t(nullptr);
  t.SetInterval(50);
  std::vector<std::string> order;
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    order.push_back("timer");
  };
  b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { order.push_back("click"); };
  UiScript::Load("click frmAsk.bGo\ndialog * | =Continuer ? | ok\n");
  EXPECT_EQ(modal.ShowModal(), mrOk);
  EXPECT_EQ(order, (std::vector<std::string>{"timer", "click"}));
  EXPECT_EQ(Screen->ActiveForm(), &owner);
  // Nothing left to close it: a clear error rather than a hang.
  EXPECT_THROW(modal.ShowModal(), EUiScriptError);
}

TEST_F(ScriptedRunTest, OpenAndPrinterDialogsAndPrintingAnswerHeadless) {
  TOpenDialog open(nullptr);
  open.SetTitle("Choisir le plan");
  UiScript::ExpectOpen("Choisir le plan", "C:\\plan.cfg");
  UiScript::ExpectOpen("*", "");
  EXPECT_TRUE(open.Execute());
  EXPECT_EQ(open.FileName(), "C:\\plan.cfg");
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.FileName(), "C:\\plan.cfg");
  TPrinterSetupDialog setup(nullptr);
  UiScript::ExpectPrinterSetup(true);
  EXPECT_TRUE(setup.Execute());
  EXPECT_THROW(setup.Execute(), EUiScriptError);

  TRichEdit report(nullptr);
  report.Lines()->Add("Démarrage de l'installation...");
  report.Lines()->Add("");
  report.Lines()->Add("Erreur\r\nL'installation a échoué.");
  EXPECT_EQ(report.Lines()->Count(), 4);
  EXPECT_EQ(report.Lines()->Get(3), "L'installation a échoué.");
  report.Lines()->Insert(0, "a\nb");
  EXPECT_EQ(report.Lines()->Get(1), "b");
  PrintedDocuments().clear();
  report.Print("Rapport");
  ASSERT_EQ(PrintedDocuments().size(), 1u);
  EXPECT_EQ(PrintedDocuments()[0].title, "Rapport");
  EXPECT_EQ(PrintedDocuments()[0].lines.size(), 6u);
}

TEST_F(ScriptedRunTest, BorderlessFormInsideAPanelIsDrivenThroughItsHost) {
  TForm host(nullptr);
  host.SetName("frmMain");
  host.SetClientWidth(400);
  host.SetClientHeight(300);
  auto* pnlStep = new TPanel(&host);
  pnlStep->SetName("pnlStep");
  pnlStep->SetParent(&host);
  pnlStep->SetAlign(alClient);
  TForm step(nullptr);
  step.SetName("frmStep");
  step.SetBorderStyle(bsNone);
  step.SetBounds(0, 0, 100, 100);
  auto* cb = new TCheckBox(&step);
  cb->SetName("cbServer");
  cb->SetParent(&step);
  int clicks = 0;
  cb->OnClick = [&](TObject*) { ++clicks; };
  step.SetParent(pnlStep);
  step.SetAlign(alClient);
  step.Show();
  host.Show();
  // A borderless form has no frame: its client area is the whole panel's inside.
  EXPECT_EQ(step.ClientWidth(), pnlStep->AdjustClientRect().Width());
  EXPECT_EQ(step.Width(), step.ClientWidth());
  EXPECT_EQ(cb->ParentForm(), &host);
  UiScript::Load("check cbServer\nuncheck cbServer\n");
  UiDriver::RunUntilIdle();
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(cb->Checked());
  step.SetParent(nullptr);
}

TEST(ScreenFontsTest, FontsComeFromTheDrawingLayerSorted) {
  TStrings* fonts = Screen->Fonts();
  ASSERT_NE(fonts, nullptr);
  ASSERT_GT(fonts->Count(), 0);
  EXPECT_GE(fonts->IndexOf("MS Sans Serif"), 0);
  for (int i = 1; i < fonts->Count(); ++i)
    EXPECT_LE(AnsiCompareText(fonts->Get(i - 1), fonts->Get(i)), 0);
}

}  // namespace
