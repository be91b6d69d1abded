// The dialog in this process: its description, the folder field and the busy cursor.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "buttons/VcRadChk.h"
#include "controls/VcBtnEdt.h"
#include "dbsetup/dmFirebirdInstallUnit.h"
#include "dbsetup/frmMainUnit.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/WindowPainter.h"
#include "platform/system/Clock.h"
#include "platform/system/MachineSetup.h"
#include "shellcontrols/FScFolderBrowseDlg.h"
#include "toolkit/RegistryHelpers.h"
#include "tools/media/SampleMedia.h"

namespace fs = std::filesystem;

namespace {

class FrmMain : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    dir_ =
        fs::temp_directory_path() / ("wi-frmmain-" + std::to_string(rd()) + std::to_string(rd()));
    win::MachineSettings s;
    s.simulatedTime = true;
    win::CreateMachine(dir_, s);
    win::Machine::Use(dir_);
    UiScript::Reset();
    Application->Reset();
    Screen->SetCursor(crDefault);
    Screen->ClearCursorHistory();
  }
  void TearDown() override {
    delete form_;
    delete dmFirebirdInstall;
    dmFirebirdInstall = nullptr;
    EXPECT_EQ(UiScript::UnusedAnswers(), std::vector<std::string>{});
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  TfrmMain& Create() {
    dmFirebirdInstall = new TdmFirebirdInstall(nullptr);
    form_ = new TfrmMain(nullptr);
    form_->InitForm();
    return *form_;
  }
  fs::path dir_;
  TfrmMain* form_ = nullptr;
};

TEST_F(FrmMain, DescriptionBuildsTheDialog) {
  TfrmMain& f = Create();
  EXPECT_EQ(f.Caption(), "Firebird 1.5");
  EXPECT_EQ(f.ClientWidth(), 563);
  EXPECT_EQ(f.ClientHeight(), 304);
  EXPECT_EQ(f.BorderStyle(), bsDialog);
  EXPECT_EQ(f.Position(), poScreenCenter);
  EXPECT_EQ(f.Font()->Height(), -13);
  EXPECT_EQ(f.bOK->Caption(), "OK");
  EXPECT_TRUE(f.bOK->Default());
  EXPECT_EQ(f.VcRadioButton3->Caption(), "Désinstaller Firebird ");
  EXPECT_EQ(f.VcRadioButton4->Caption(), "Désinstallation brutale de Firebird");
  EXPECT_EQ(f.Label1->Caption(), "Dossier d'installation :  ");
  EXPECT_TRUE(f.VcRadioButton1->Checked());
  EXPECT_TRUE(f.VcRadioButton1->TabStop());
  EXPECT_EQ(f.VcRadioButton1->TabOrder(), 1);
  EXPECT_EQ(f.VcRadioButton2->TabOrder(), 2);
  EXPECT_EQ(f.VcRadioButton3->TabOrder(), 3);
  EXPECT_EQ(f.VcButtonEdit1->TabOrder(), 4);
  EXPECT_EQ(f.VcRadioButton4->TabOrder(), 5);
  EXPECT_FALSE(f.VcButtonEdit1->Enabled());
  EXPECT_EQ(f.VcButtonEdit1->Color(), clSilver);
  EXPECT_EQ(f.ScFolderBrowseDlg1->Title(), "Dossier d'installation :");
  EXPECT_EQ(f.ScFolderBrowseDlg1->Options(), 1u << scfbReadOnly);
  EXPECT_EQ(f.ScFolderBrowseDlg1->BaseFolder()->Kind(), 1);  // My Computer, stored by id
  EXPECT_EQ(f.ScFolderBrowseDlg1->BaseFolder()->SpecialFolder(), 0x11);
  EXPECT_EQ(f.ActionInstallClient->Caption(), "ActionInstallClient");
  // The picture keeps its size and sits in the middle of its lowered panel.
  EXPECT_EQ(f.Image1->Width(), 85);
  EXPECT_EQ(f.Image1->Height(), 84);
  EXPECT_EQ(f.Image1->Left(), (f.Panel2->ClientWidth() - 85) / 2);
  EXPECT_EQ(f.Image1->Top(), (f.Panel2->ClientHeight() - 84) / 2);
  EXPECT_FALSE(Application->Terminated());
}

TEST_F(FrmMain, FolderFieldShowsTheRegisteredFolderWithItsBackslashElseTheDefault) {
  EXPECT_EQ(Create().VcButtonEdit1->Text(), "C:\\Program Files\\Firebird\\Firebird_1_5");
  delete form_;
  form_ = nullptr;
  delete dmFirebirdInstall;
  WriteRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, kDefaultInstance, "D:\\Bases\\FB15");
  EXPECT_EQ(Create().VcButtonEdit1->Text(), "D:\\Bases\\FB15\\");
}

// A transparent radio button pauses 10 ms after taking its parent's picture, at each paint.
TEST_F(FrmMain, ATransparentRadioButtonPausesAfterItsParentsPicture) {
  TfrmMain& f = Create();
  f.Show();
  win::Surface s;
  auto paintTime = [&] {
    const win::DWORD before = win::GetTickCount();
    WindowPainter::PaintClient(&f, s);
    return win::GetTickCount() - before;
  };
  EXPECT_EQ(paintTime(), 0u);
  f.VcRadioButton2->SetTransparent(true);
  EXPECT_EQ(paintTime(), 10u);
}

// The driver checks the painted radio buttons as a click does: one checked at a time, and
// a checked one cannot be unchecked directly.
TEST_F(FrmMain, DriverChecksThePaintedRadioButtons) {
  TfrmMain& f = Create();
  f.Show();
  UiDriver::Check(&f, "VcRadioButton3", true);
  EXPECT_TRUE(f.VcRadioButton3->Checked());
  EXPECT_TRUE(f.VcRadioButton3->Focused());
  EXPECT_FALSE(f.VcRadioButton1->Checked());
  EXPECT_FALSE(f.VcRadioButton2->Checked());
  EXPECT_FALSE(f.VcRadioButton4->Checked());
  EXPECT_THROW(UiDriver::Check(&f, "VcRadioButton3", false), EUiScriptError);
  EXPECT_TRUE(f.VcRadioButton3->Checked());
  // Already unchecked: nothing happens, not even the check that focusing would bring.
  UiDriver::Check(&f, "VcRadioButton1", false);
  EXPECT_FALSE(f.VcRadioButton1->Checked());
  EXPECT_TRUE(f.VcRadioButton3->Checked());
}

// A failed action leaves the default cursor behind, and the dialog in place.
TEST_F(FrmMain, FailedActionRestoresTheCursor) {
  TfrmMain& f = Create();
  f.SourceDir = "C:\\Empty\\Files\\";
  UiScript::Expect("Erreur", "Ne peut pas copier le fichier", "ok");
  EXPECT_THROW(f.bOK->Click(), EAbort);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_NE(std::find(Screen->CursorHistory().begin(), Screen->CursorHistory().end(), crHourGlass),
            Screen->CursorHistory().end());
  EXPECT_FALSE(Application->Terminated());
}

// The completion message ends with the address list: singular or plural heading, and
// nothing but its two line breaks when the machine has no address.
TEST_F(FrmMain, ServerCompletionMessageFollowsTheNumberOfAddresses) {
  const std::string done =
      "L'installation du serveur Firebird est terminée!\r\nCe poste peut aussi fonctionner "
      "comme client, Il n'est\r\npas nécessaire d'installer le client.\r\n\r\n";
  const std::string clients = "Vous en aurez besoin pour installer les postes clients!\r\n\r\n";
  struct Case {
    std::vector<std::string> ipv4;
    std::string tail;
  } cases[] = {
      {{"10.1.2.3"}, "Veuillez noter l'adresse IP suivante:\r\n" + clients + "10.1.2.3\r\n"},
      {{"10.1.2.3", "192.168.7.9"},
       "Veuillez noter les adresses IP suivantes:\r\n" + clients + "10.1.2.3\r\n192.168.7.9\r\n"},
      {{}, ""},
  };
  media::MediaOptions options;
  options.install = false;
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ipv4.size());
    // A PC of its own for each case: a second installation would meet the first.
    delete form_;
    form_ = nullptr;
    delete dmFirebirdInstall;
    win::MachineSettings settings;
    settings.simulatedTime = true;
    settings.ipv4 = c.ipv4;
    fs::path pc = dir_ / ("pc" + std::to_string(n++));
    win::CreateMachine(pc, settings);
    win::Machine::Use(pc);
    media::CreateSampleMedia(pc / "drives" / "c" / "Media", options);
    TfrmMain& f = Create();
    f.SourceDir = "C:\\Media\\Files\\";
    f.VcRadioButton2->SetChecked(true);
    UiScript::Expect("Information", done + c.tail, "ok", true);
    f.bOK->Click();
    EXPECT_EQ(f.ModalResult(), mrCancel);  // closed
    EXPECT_EQ(Screen->Cursor(), crDefault);
  }
}

}  // namespace
