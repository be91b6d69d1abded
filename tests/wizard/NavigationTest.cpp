// The frame's steps and buttons, the item rules, Cancel.
#include <functional>

#include "WizardTestSupport.h"

namespace wzt {
namespace {

class NavigationTest : public WizardTest {
 protected:
  void SetUp() override { MakeMedia(); }
};

TEST_F(NavigationTest, ButtonsOfEachStep) {
  Application->SetHintHidePause(0);
  CreateWizard();
  // The items' explanations are long: their hints stay 20 s.
  EXPECT_EQ(Application->HintHidePause(), 20000);
  // Before the start tick: no step.
  auto b = ButtonState();
  EXPECT_FALSE(b.back);
  EXPECT_FALSE(b.next);
  EXPECT_TRUE(b.cancel);
  EXPECT_EQ(b.nextCaption, "");

  UiDriver::Advance(20);
  EXPECT_EQ(frmMain->CurrentStep(), frmWelcome);
  b = ButtonState();
  EXPECT_FALSE(b.back);
  EXPECT_TRUE(b.next);
  EXPECT_TRUE(b.cancel);
  EXPECT_EQ(b.nextCaption, "Suivant >");
  EXPECT_EQ(frmMain->ButtonPrev->Caption(), "< Précédant");
  EXPECT_EQ(frmMain->ButtonCancel->Caption(), "Annuler");
  EXPECT_EQ(frmWelcome->VcLabelInfo->Caption(),
            "Cet assistant va installer Environnement minimum MARQETO.\r\n\r\n"
            "Si le programme est déjà installé celui-ci sera conservé. Aucune donnée existante "
            "ne sera supprimée.");

  Next();
  EXPECT_EQ(frmMain->CurrentStep(), frmSelectItems);
  b = ButtonState();
  EXPECT_TRUE(b.back);
  EXPECT_FALSE(b.next);  // no install type yet
  EXPECT_TRUE(b.cancel);
  EXPECT_EQ(b.nextCaption, "Suivant >");

  Check("rbClient");
  EXPECT_TRUE(ButtonState().next);
}

TEST_F(NavigationTest, BackThenNextKeepsTheItemState) {
  StartWizard();
  Next();
  Check("rbClient");
  Click("ActionBack");
  EXPECT_EQ(frmMain->CurrentStep(), frmWelcome);
  EXPECT_EQ(frmMain->History.size(), 1u);
  EXPECT_FALSE(ButtonState().back);
  Next();
  EXPECT_EQ(frmMain->CurrentStep(), frmSelectItems);
  EXPECT_TRUE(frmSelectItems->rbClient->Checked());
  EXPECT_EQ(frmSelectItems->GetInstallType(), "Client");
  EXPECT_FALSE(frmSelectItems->IsItemChecked("FirebirdServer"));
  EXPECT_TRUE(frmSelectItems->IsItemChecked("PDFModule"));
  EXPECT_TRUE(ButtonState().next);
}

TEST_F(NavigationTest, StepFillsThePanelAndThePictureColoursItsPanel) {
  StartWizard();
  EXPECT_EQ(frmWelcome->Parent(), frmMain->PanelCurrStep);
  EXPECT_EQ(frmWelcome->Width(), frmMain->PanelCurrStep->ClientWidth());
  EXPECT_EQ(frmWelcome->Height(), frmMain->PanelCurrStep->ClientHeight());
  auto* pic = frmMain->ImageStep->Picture();
  ASSERT_FALSE(pic->Empty());
  // The stored picture's bottom-left pixel is white.
  EXPECT_EQ(frmMain->PanelImage->Color(), clWhite);
  EXPECT_EQ(frmMain->ImageStep->Left(), (frmMain->PanelImage->ClientWidth() - pic->Width()) / 2);
  EXPECT_EQ(frmMain->ImageStep->Top(), (frmMain->PanelImage->ClientHeight() - pic->Height()) / 2);
}

TEST_F(NavigationTest, CancelAsksAndOnlyYesCloses) {
  StartWizard();
  Expect("Avertissement", "Voulez-vous annuler l'installation?", "Non");
  Click("ActionAnnuler");
  EXPECT_FALSE(Application->Terminated());
  EXPECT_EQ(frmMain->CurrentStep(), frmWelcome);
  Next();
  Expect("Avertissement", "Voulez-vous annuler l'installation?", "Oui");
  Click("ActionAnnuler");
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(UiScript::Dialogs().size() == 2);
  EXPECT_EQ(Report().size(), 0u);  // nothing ran
}

TEST_F(NavigationTest, ItemRulesFollowTheInstallType) {
  StartWizard();
  Next();
  const char* names[] = {"FirebirdServer", "FirebirdClient", "VBRuntime", "OCRFont", "PDFModule"};
  auto checked = [&] {
    std::string s;
    for (auto* n : names) s += frmSelectItems->IsItemChecked(n) ? '1' : '0';
    return s;
  };
  auto allDisabled = [&] {
    for (int i = 0; i < 5; ++i)
      if (frmSelectItems->CheckList->GetItemEnabled(i)) return false;
    return true;
  };
  EXPECT_EQ(checked(), "00000");
  EXPECT_TRUE(allDisabled());
  EXPECT_EQ(frmSelectItems->GetInstallType(), "");

  Check("rbMonoPoste");
  EXPECT_EQ(checked(), "11111");
  EXPECT_EQ(frmSelectItems->GetInstallType(), "Standalone");
  Check("rbServeur");
  EXPECT_EQ(checked(), "11111");
  EXPECT_EQ(frmSelectItems->GetInstallType(), "Server");
  Check("rbClient");
  EXPECT_EQ(checked(), "01111");
  EXPECT_EQ(frmSelectItems->GetInstallType(), "Client");
  EXPECT_TRUE(allDisabled());
  Check("rbServeur");
  EXPECT_EQ(checked(), "11111");

  // The lines read as the user sees them, in order.
  auto* items = frmSelectItems->CheckList->Items();
  ASSERT_EQ(items->Count(), 5);
  EXPECT_EQ(items->Get(0), "Serveur Firebird");
  EXPECT_EQ(items->Get(2), "Bibliothèques dynamiques VisualBasic");
  EXPECT_EQ(items->Get(4), "Module de création de documents PDF");
  EXPECT_EQ(frmSelectItems->GroupBox1->Caption(), " Type d'installation standard : ");
  EXPECT_EQ(frmSelectItems->Label1->Caption(), "Éléments à installer : ");
}

TEST_F(NavigationTest, ClickedLineShowsItsExplanation) {
  StartWizard();
  Next();
  auto* list = frmSelectItems->CheckList;
  EXPECT_TRUE(list->ShowHint());
  EXPECT_FALSE(list->ParentShowHint());
  // A click on a line's glyph: it selects the line, and would toggle an enabled one.
  auto clickGlyph = [&](int line) {
    win::RECT r = list->ItemRect(line);
    auto at = win::MAKELPARAM(win::WORD(r.left + 5), win::WORD((r.top + r.bottom) / 2));
    list->Perform(win::WM_LBUTTONDOWN, 0, at);
    list->Perform(win::WM_LBUTTONUP, 0, at);
  };
  clickGlyph(1);
  EXPECT_EQ(frmSelectItems->GetSelectedItemName(), "FirebirdClient");
  EXPECT_EQ(list->Hint(),
            "Le client Firebird permet aux applications MARQETO de communiquer avec un serveur "
            "distant ou local afin d'accéder aux bases de données.");
  EXPECT_FALSE(frmSelectItems->IsItemChecked("FirebirdClient"));  // disabled lines never toggle
  clickGlyph(3);
  EXPECT_EQ(list->Hint(),
            "La police de caractères OCR est nécessaire pour imprimer des bulletins de "
            "versement. Elle doit être installée sur chaque ordinateur qui doit imprimer ces "
            "bulletins.");
  // No line selected (a click cannot unselect): the click handler clears the hint.
  list->SetItemIndex(-1);
  frmSelectItems->CheckListClick(list);
  EXPECT_EQ(frmSelectItems->GetSelectedItemName(), "");
  EXPECT_EQ(list->Hint(), "");
}

// The frame's balloon component shows a line's explanation when the pointer rests on the
// list, in its balloon window.
TEST_F(NavigationTest, ExplanationShowsInABalloon) {
  StartWizard();
  Next();
  auto* list = frmSelectItems->CheckList;
  UiDriver::Select(nullptr, "CheckList", "#3");
  UiDriver::MoveMouse(nullptr, "CheckList");
  UiDriver::Advance(500);
  ASSERT_TRUE(Application->HintShowing());
  auto* balloon = dynamic_cast<TVcCustomHintWindow*>(Application->HintWindow());
  ASSERT_NE(balloon, nullptr);
  EXPECT_EQ(balloon->Caption().rfind("La police de caractères OCR", 0), 0u);
  EXPECT_EQ(balloon->Caption(), list->Hint());
  EXPECT_EQ(balloon->HintInfo().HintControl, list);
  UiDriver::MoveMouseAway();
  Application->CancelHint();
}

TEST_F(NavigationTest, ItemNamesCompareWithoutCaseAndUnknownOnesFail) {
  StartWizard();
  frmSelectItems->CheckItem("ocrfont");
  EXPECT_TRUE(frmSelectItems->IsItemChecked("OCRFONT"));
  try {
    frmSelectItems->IsItemChecked("Printer");
    FAIL() << "no failure";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Item not found : Printer");
  }
}

TEST_F(NavigationTest, EmptyProductNameReadsAsQuestionMark) {
  StartWizard();
  frmWelcome->SetProductName("");
  EXPECT_EQ(frmWelcome->VcLabelInfo->Caption().substr(0, 29), "Cet assistant va installer ?.");
}

TEST_F(NavigationTest, NextOnAStepWithoutSuccessorFails) {
  StartWizard();
  // The hidden steps have no successor: the frame refuses to go anywhere from them.
  frmMain->History.push_back(frmSelectDrive);
  try {
    frmMain->ActionNextExecute(nullptr);
    FAIL() << "no failure";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Next step is missing.");
  }
  EXPECT_EQ(frmMain->CurrentStep(), frmSelectDrive);
  EXPECT_FALSE(frmMain->Finished);
}

}  // namespace
// Each step, placed in the frame as the frame places the current one, keeps every control
// it shows inside its parent: nothing runs past the window's edge.
TEST_F(NavigationTest, EveryStepFitsTheFrame) {
  StartWizard();
  std::string outside;
  std::function<void(TWinControl*)> check = [&](TWinControl* parent) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      TControl* c = parent->Controls(i);
      if (!c->Visible()) continue;
      win::RECT b = c->BoundsRect();
      if (b.left < 0 || b.top < 0 || b.right > parent->ClientWidth() ||
          b.bottom > parent->ClientHeight())
        outside += " " + c->Name();
      if (auto* w = dynamic_cast<TWinControl*>(c)) check(w);
    }
  };
  for (TFrmStep* step : std::vector<TFrmStep*>{frmWelcome, frmSelectItems, frmSelectDrive,
                                               frmSelectConfigSource, frmEndInstall}) {
    frmMain->History.push_back(step);
    frmMain->ShowCurrentStep();
    check(step);
  }
  EXPECT_EQ(outside, "");
}

}  // namespace wzt
