// The printer setup dialog without a script, answered as a person does.
#include <gtest/gtest.h>

#include "platform/forms/ComboBox.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/PrinterSetupDialogForm.h"
#include "platform/forms/graphics/Printers.h"
#include "tests/forms_dialogs/Person.h"

namespace {

class PrinterSetupPerson : public DialogPersonTest<TPrinterSetupDialogForm, TPrinterSetupDialog> {
 protected:
  void TearDown() override {
    Printer()->SetOrientation(poPortrait);
    Printer()->SetPaperSize(0);
    PersonTest::TearDown();
  }
};

TEST_F(PrinterSetupPerson, ShowsThePrinterAndOkKeepsOrientationAndPaper) {
  Person p;
  p.Look([](TForm& f) {
     EXPECT_EQ(f.Caption(), "Configuration de l'impression");
     EXPECT_EQ(Form(f).PrinterName->Text(), "Imprimante PDF");
     EXPECT_EQ(Form(f).StatusText->Caption(), "Prêt");
     EXPECT_EQ(Form(f).TypeText->Caption(), "Imprimante PDF");
     EXPECT_NE(Form(f).WhereText->Caption().find("printed"), std::string::npos);
     EXPECT_EQ(Form(f).PaperSize->Text(), "A4");
     EXPECT_TRUE(Form(f).PortraitRadio->Checked());
     EXPECT_TRUE(Form(f).OKButton->Focused());
   })
      .Key('A', ssAlt)
      .Key('T', ssAlt)
      .Key(win::VK_DOWN)
      .Look([](TForm& f) {
        EXPECT_TRUE(Form(f).LandscapeRadio->Checked());
        EXPECT_EQ(Form(f).PaperSize->Text(), "A5");
      })
      .Key(win::VK_RETURN);
  EXPECT_TRUE(dialog_.Execute());
  EXPECT_EQ(Printer()->Orientation(), poLandscape);
  EXPECT_EQ(Printer()->PaperSize(), 1);
  EXPECT_EQ(Printer()->PageWidth(), 1240);
  EXPECT_EQ(Printer()->PageHeight(), 874);
  EXPECT_EQ(UiScript::Dialogs().back().kind, "printer");
  EXPECT_EQ(UiScript::Dialogs().back().result, mrOk);

  // The next time the dialog shows what was chosen.
  Person q;
  q.Look([](TForm& f) {
     EXPECT_TRUE(Form(f).LandscapeRadio->Checked());
     EXPECT_EQ(Form(f).PaperSize->Text(), "A5");
   }).Click("OKButton");
  EXPECT_TRUE(dialog_.Execute());
}

TEST_F(PrinterSetupPerson, CancelEscapeAndTheCloseBoxChangeNothing) {
  for (int way = 0; way < 3; ++way) {
    Person p;
    p.Click("LandscapeRadio");
    p.Dismiss(way, "CancelButton");
    EXPECT_FALSE(dialog_.Execute());
    EXPECT_EQ(Printer()->Orientation(), poPortrait);
    EXPECT_EQ(Printer()->PageWidth(), 1240);
  }
}

TEST_F(PrinterSetupPerson, ThePrinterRefusesChangesWhileAJobPrints) {
  Printer()->SetTitle("Rapport");
  Printer()->BeginDoc();
  EXPECT_THROW(Printer()->SetOrientation(poLandscape), Exception);
  EXPECT_THROW(Printer()->SetPaperSize(2), Exception);
  // The dialog confirms without touching the job's pages.
  Person p;
  p.Click("LandscapeRadio").Key(win::VK_RETURN);
  EXPECT_TRUE(dialog_.Execute());
  EXPECT_EQ(Printer()->PageWidth(), 1240);
  Printer()->Abort();
  EXPECT_THROW(Printer()->SetPaperSize(9), Exception);
}

}  // namespace
