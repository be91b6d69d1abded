// The folder-browse dialog without a script: its modal loop waits for the person, whose
// keys and clicks choose or cancel.
#include <gtest/gtest.h>

#include "platform/system/Files.h"
#include "shellcontrols/FScFolderBrowseDlg.h"
#include "shellcontrols/UScShellUtils.h"
#include "tests/forms_dialogs/Person.h"
#include "tests/support/TempMachine.h"

namespace {

class FolderBrowsePerson : public PersonTest {
 protected:
  void SetUp() override {
    PersonTest::SetUp();
    win::CreateDirectory("C:\\Data");
    win::CreateDirectory("C:\\Data\\A");
    win::CreateDirectory("C:\\Data\\B");
    dlg_ = new TScFolderBrowseDlg(Application);
    win::LPITEMIDLIST p = nullptr;
    ASSERT_EQ(PathToPidl("C:\\Data\\A", &p), win::S_OK);
    dlg_->SelectedFolder()->SetPidl(p);
    ShellFree(p);
  }
  void TearDown() override {
    delete dlg_;
    PersonTest::TearDown();
  }
  TempMachine pc_{{}, &win::CreateMachine};
  TScFolderBrowseDlg* dlg_ = nullptr;
};

TEST_F(FolderBrowsePerson, ArrowsChooseAndEnterConfirms) {
  Person p;
  p.Look([](TForm& f) {
     auto& form = dynamic_cast<TScFrmFolderBrowseDlg&>(f);
     EXPECT_TRUE(form.ScShellTree1->Focused());
     EXPECT_EQ(form.ScShellTree1->SelectedPath(), "C:\\Data\\A");
   })
      .Key(win::VK_DOWN)
      .Key(win::VK_RETURN);
  EXPECT_TRUE(dlg_->Execute());
  EXPECT_EQ(dlg_->SelectedFolder()->Path(), "C:\\Data\\B");
}

TEST_F(FolderBrowsePerson, TabToOkThenEnterKeepsThePreselectedFolder) {
  Person p;
  p.Key(win::VK_TAB)
      .Look([](TForm& f) { EXPECT_TRUE(dynamic_cast<TScFrmFolderBrowseDlg&>(f).OkBtn->Focused()); })
      .Key(win::VK_RETURN);
  EXPECT_TRUE(dlg_->Execute());
  EXPECT_EQ(dlg_->SelectedFolder()->Path(), "C:\\Data\\A");
}

TEST_F(FolderBrowsePerson, EscapeCancelAndTheCloseBoxKeepTheFolder) {
  for (int way = 0; way < 3; ++way) {
    Person p;
    p.Key(win::VK_DOWN);
    p.Dismiss(way, "CancelBtn");
    EXPECT_FALSE(dlg_->Execute());
    EXPECT_EQ(dlg_->SelectedFolder()->Path(), "C:\\Data\\A");
  }
}

}  // namespace
