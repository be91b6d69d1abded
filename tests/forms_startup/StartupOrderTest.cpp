// Start-up and exit order. The classes below register themselves, and the application and
// the screen are used, from static initialisers of this file, which run before the
// toolkit's own (objects are initialised in link order, the toolkit's library comes last).
// At exit, forms left to the application are freed while the static destructors run.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/forms/ActnList.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/WindowPainter.h"

// NOLINTBEGIN(bugprone-macro-parentheses): a class and its base are names, not expressions
#define WI_EARLY_CLASS(Cls, Base)                    \
  class Cls : public Base {                          \
    WI_CLASS(Cls, Base)                              \
   public:                                           \
    explicit Cls(TComponent* owner) : Base(owner) {} \
  };                                                 \
  void Cls::DefineProps(TPropList&) {}               \
  WI_REGISTER_CLASS(Cls)
// NOLINTEND(bugprone-macro-parentheses)

namespace {

WI_EARLY_CLASS(TEarlyForm, TForm);
WI_EARLY_CLASS(TEarlyDataModule, TDataModule);
WI_EARLY_CLASS(TEarlyPanel, TPanel);
WI_EARLY_CLASS(TEarlyButton, TButton);
WI_EARLY_CLASS(TEarlyRadioButton, TRadioButton);
WI_EARLY_CLASS(TEarlyLabel, TLabel);
WI_EARLY_CLASS(TEarlyCheckBox, TCheckBox);
WI_EARLY_CLASS(TEarlyGroupBox, TGroupBox);
WI_EARLY_CLASS(TEarlyEdit, TEdit);
WI_EARLY_CLASS(TEarlyListBox, TListBox);
WI_EARLY_CLASS(TEarlyTimer, TTimer);
WI_EARLY_CLASS(TEarlyBevel, TBevel);
WI_EARLY_CLASS(TEarlyImage, TImage);
WI_EARLY_CLASS(TEarlyRichEdit, TRichEdit);
WI_EARLY_CLASS(TEarlyAnimate, TAnimate);
WI_EARLY_CLASS(TEarlySpeedButton, TSpeedButton);
WI_EARLY_CLASS(TEarlyOpenDialog, TOpenDialog);
WI_EARLY_CLASS(TEarlyPrinterSetupDialog, TPrinterSetupDialog);
WI_EARLY_CLASS(TEarlyActionList, TActionList);
WI_EARLY_CLASS(TEarlyAction, TAction);

// A program object set up before main that already talks to the application.
struct EarlySettings {
  int forms = -1;
  EarlySettings() {
    Application->SetTitle("Installation");
    Application->SetHintPause(250);
    forms = Screen->FormCount();
  }
};
const EarlySettings g_early;

}  // namespace

TEST(StartupOrder, ApplicationAndScreenSetUpBeforeTheToolkitKeepWhatWasSet) {
  EXPECT_EQ(g_early.forms, 0);
  EXPECT_EQ(Application->Title(), "Installation");
  EXPECT_EQ(Application->HintPause(), 250);
}

TEST(StartupOrder, ClassesRegisteredBeforeTheToolkitReadTheirProperties) {
  for (const char* name : {"TEarlyForm",        "TEarlyDataModule",  "TEarlyPanel",
                           "TEarlyButton",      "TEarlyRadioButton", "TEarlyLabel",
                           "TEarlyCheckBox",    "TEarlyGroupBox",    "TEarlyEdit",
                           "TEarlyListBox",     "TEarlyTimer",       "TEarlyBevel",
                           "TEarlyImage",       "TEarlyRichEdit",    "TEarlyAnimate",
                           "TEarlySpeedButton", "TEarlyOpenDialog",  "TEarlyPrinterSetupDialog",
                           "TEarlyActionList",  "TEarlyAction"})
    EXPECT_NE(FindClassInfo(name), nullptr) << name;
  const TPropInfo* align = FindClassInfo("TEarlyPanel")->FindProp("Align");
  ASSERT_NE(align, nullptr);
  EXPECT_EQ(align->names, (std::vector<std::string>{"alNone", "alTop", "alBottom", "alLeft",
                                                    "alRight", "alClient", "alCustom"}));
  ASSERT_NE(FindClassInfo("TEarlyForm")->FindProp("BorderStyle"), nullptr);
  EXPECT_EQ(FindClassInfo("TEarlyForm")->FindProp("BorderStyle")->names.at(3), "bsDialog");
  ASSERT_NE(FindClassInfo("TEarlyPanel")->FindProp("BevelOuter"), nullptr);
  EXPECT_EQ(FindClassInfo("TEarlyPanel")->FindProp("BevelOuter")->names.at(2), "bvRaised");

  std::unique_ptr<TComponent> root(
      CreateComponentFromText("object frmEarly: TEarlyForm\n"
                              "  BorderStyle = bsDialog\n"
                              "  Position = poScreenCenter\n"
                              "  ClientWidth = 300\n"
                              "  ClientHeight = 200\n"
                              "  object Panel1: TEarlyPanel\n"
                              "    Align = alTop\n"
                              "    Height = 40\n"
                              "    object Button1: TEarlyButton\n"
                              "      Caption = '&Suivant >'\n"
                              "    end\n"
                              "  end\n"
                              "  object Bevel1: TEarlyBevel\n"
                              "    Align = alBottom\n"
                              "    Height = 2\n"
                              "  end\n"
                              "end\n",
                              "early", nullptr));
  auto* form = dynamic_cast<TEarlyForm*>(root.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->BorderStyle(), bsDialog);
  EXPECT_EQ(form->Position(), poScreenCenter);
  auto* panel = dynamic_cast<TEarlyPanel*>(form->FindComponent("Panel1"));
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->Align(), alTop);
  EXPECT_EQ(panel->Width(), 300);
  auto* bevel = dynamic_cast<TEarlyBevel*>(form->FindComponent("Bevel1"));
  ASSERT_NE(bevel, nullptr);
  EXPECT_EQ(bevel->Align(), alBottom);
  EXPECT_EQ(bevel->Top(), 198);
}

// A program that ends without freeing its forms: the application frees them at exit,
// after the toolkit's own statics may be gone. Each window, action list and drawing
// object must still unregister cleanly (AddressSanitizer reports any use after free or
// leak, which fails the child).
TEST(ExitOrder, FormsLeftToTheApplicationAreFreedCleanlyAtExit) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  static const std::filesystem::path kPng =
      std::filesystem::path(WI_BINARY_DIR) / "wi-exit-order.png";
  EXPECT_EXIT(
      {
        setenv("WI_HEADLESS", "1", 1);
        auto* form = new TEarlyForm(Application);
        form->SetCaption("Fin");
        form->SetClientWidth(200);
        form->SetClientHeight(100);
        auto* button = new TEarlyButton(form);
        button->SetParent(form);
        auto* edit = new TEarlyEdit(form);
        edit->SetParent(form);
        auto* label = new TEarlyLabel(form);
        label->SetParent(form);
        label->SetCaption("Terminé");
        auto* actions = new TEarlyActionList(form);
        auto* action = new TEarlyAction(form);
        action->SetActionList(actions);
        auto* timer = new TEarlyTimer(form);
        timer->SetInterval(1000);
        timer->SetEnabled(true);
        auto* dm = new TEarlyDataModule(Application);
        new TEarlyTimer(dm);
        form->InitForm();
        form->Show();
        // Painted once: canvases, fonts and brushes to free at exit too.
        SaveFormToPng(form, kPng);
        win::HWND handle = button->Handle();
        form->OnDestroy = [handle](TObject*) {
          std::fprintf(stderr, "form freed, button window %s\n",
                       win::IsWindow(handle) ? "alive" : "gone");
        };
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "form freed, button window alive");
  std::filesystem::remove(kPng);
}
