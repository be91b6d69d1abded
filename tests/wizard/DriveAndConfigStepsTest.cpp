// The two step forms outside the fixed sequence: the drive step and the
// configuration-source step, each driven as a step of its own.
#include "WizardTestSupport.h"

namespace wzt {
namespace {

namespace fs = std::filesystem;

class DriveAndConfigStepsTest : public WizardTest {
 protected:
  void SetUp() override {
    MakeMedia();
    StartWizard();
  }
  fs::path Drive(char letter) const { return pc_.c().parent_path() / std::string(1, letter); }
  void MakeFolder(char letter, const std::string& rel) {
    fs::create_directories(Drive(letter) / rel);
  }
  void SetLabel(char letter, const std::string& label) {
    std::ofstream(Drive(letter) / ".label") << label << "\n";
  }
  void EnterDriveStep(TRadioButton* type) {
    if (type) type->SetChecked(true);
    frmSelectDrive->StepEnter();
  }
  std::vector<std::string> DriveLines() {
    std::vector<std::string> out;
    TStrings* items = frmSelectDrive->ListBox1->Items();
    out.reserve(size_t(items->Count()));
    for (int i = 0; i < items->Count(); ++i) out.push_back(items->Get(i));
    return out;
  }
  std::string SelectedLine() {
    int i = frmSelectDrive->ListBox1->ItemIndex();
    return i < 0 ? "" : frmSelectDrive->ListBox1->Items()->Get(i);
  }
};

TEST_F(DriveAndConfigStepsTest, DriveStepTextsAndStoredSettings) {
  auto* f = frmSelectDrive;
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(f->VcLabel1->Caption(),
            "Sélectionnez un disque local. Les programmes qui vont être installés sur cette "
            "machine seront installés sur le disque sélectionné, dans le \"dossier de base\".");
  EXPECT_EQ(f->VcLabel2->Caption(), "Dossier de base :");
  EXPECT_EQ(f->Label1->Caption(),
            "Ne pas modifier le dossier de base sans instruction de MARQETO S.A.");
  EXPECT_EQ(f->edMarqetoFolder->Text(), "WMARQETO");
  EXPECT_EQ(f->Panel1->Height(), 108);
  EXPECT_EQ(f->ListBox1->ItemHeight(), 17);
  EXPECT_EQ(f->ListBox1->Font()->Name(), "Courier New");
  EXPECT_EQ(f->ListBox1->Font()->Height(), -15);
  // The explanation follows the panel's size, which follows the form's width.
  f->SetBounds(0, 0, 500, 300);
  UiDriver::RunUntilIdle();
  EXPECT_EQ(f->Panel1->Width(), 500);
  EXPECT_EQ(f->VcLabel1->Left(), 20);
  EXPECT_EQ(f->VcLabel1->Top(), 20);
  EXPECT_EQ(f->VcLabel1->Width(), 460);
  EXPECT_EQ(f->VcLabel1->Height(), 68);
}

// The warning under the base folder has its warning icon beside it: drawn in the middle,
// the form's colour in the corners.
TEST_F(DriveAndConfigStepsTest, TheWarningHasItsIcon) {
  TImage* image = frmSelectDrive->Image2;
  ASSERT_FALSE(image->Picture()->Empty());
  EXPECT_EQ(image->Picture()->Width(), 32);
  EXPECT_EQ(image->Picture()->Height(), 32);
  const TColor face = frmSelectDrive->Color();
  EXPECT_EQ(image->PixelAt(0, 31), face);
  EXPECT_EQ(image->PixelAt(31, 0), face);
  int drawn = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) drawn += image->PixelAt(x, y) != face;
  EXPECT_GT(drawn, 300);
  EXPECT_LE(image->Left() + image->Width(), frmSelectDrive->Label1->Left());
  EXPECT_EQ(image->Top(), frmSelectDrive->Label1->Top());
}

TEST_F(DriveAndConfigStepsTest, DriveLinesShowTheLabelInBrackets) {
  SetLabel('c', "Data");
  EXPECT_EQ(frmSelectDrive->GetDriveVolumeLabel('C'), "[DATA]");
  EXPECT_EQ(frmSelectDrive->GetDriveVolumeLabel('c'), "[data]");
  // A drive the machine lacks: the label cannot be read.
  EXPECT_EQ(frmSelectDrive->GetDriveVolumeLabel('Q'), "[]");
  EnterDriveStep(frmSelectItems->rbClient);
  EXPECT_EQ(DriveLines(), (std::vector<std::string>{"C:\\ [DATA]"}));
}

TEST_F(DriveAndConfigStepsTest, ClientWithTheFolderOnCSelectsC) {
  MakeFolder('c', "Marqeto");
  MakeFolder('d', "Marqeto");
  EnterDriveStep(frmSelectItems->rbClient);
  EXPECT_EQ(frmSelectDrive->InstallType, "Client");
  EXPECT_EQ(DriveLines(), (std::vector<std::string>{"C:\\ []"}));
  EXPECT_EQ(frmSelectDrive->ListBox1->ItemIndex(), 0);
  EXPECT_TRUE(frmSelectDrive->edMarqetoFolder->ReadOnly());
  EXPECT_EQ(frmSelectDrive->edMarqetoFolder->Color(), clSilver);
  EXPECT_EQ(frmSelectDrive->edMarqetoFolder->Text(), "Marqeto");
  EXPECT_TRUE(frmSelectDrive->CanGoNext());
}

TEST_F(DriveAndConfigStepsTest, ClientWithoutTheFolderSelectsNothing) {
  // The folder elsewhere does not count: a client installs on C: only.
  MakeFolder('d', "Marqeto");
  EnterDriveStep(frmSelectItems->rbClient);
  EXPECT_EQ(DriveLines().size(), 1u);
  EXPECT_EQ(frmSelectDrive->ListBox1->ItemIndex(), -1);
  EXPECT_FALSE(frmSelectDrive->CanGoNext());
}

TEST_F(DriveAndConfigStepsTest, ListsFixedDrivesOnlyAndSelectsTheFirstHoldingTheFolder) {
  fs::create_directories(Drive('e'));
  SetLabel('e', "Backup");
  // A drive linked to a host folder is a CD-ROM: not listed, even holding the folder.
  auto host = fs::path(pc_.c()).parent_path().parent_path() / "cd-host";
  fs::create_directories(host / "Marqeto" / "WMarqeto");
  fs::create_directory_symlink(host, Drive('f'));
  MakeFolder('e', "Marqeto/WMarqeto");
  MakeFolder('d', "Marqeto/WMarqeto");
  EnterDriveStep(frmSelectItems->rbServeur);
  EXPECT_EQ(frmSelectDrive->InstallType, "Server");
  EXPECT_EQ(DriveLines(), (std::vector<std::string>{"C:\\ []", "D:\\ []", "E:\\ [BACKUP]"}));
  EXPECT_EQ(frmSelectDrive->edMarqetoFolder->Text(), "Marqeto\\WMarqeto");
  EXPECT_FALSE(frmSelectDrive->edMarqetoFolder->ReadOnly());
  EXPECT_EQ(frmSelectDrive->edMarqetoFolder->Color(), clWindow);
  EXPECT_EQ(SelectedLine(), "D:\\ []");
  EXPECT_TRUE(frmSelectDrive->CanGoNext());
}

TEST_F(DriveAndConfigStepsTest, NoTypeUsesTheDefaultFolderAndReentryStartsAfresh) {
  MakeFolder('d', "WMarqeto");
  EnterDriveStep(nullptr);
  EXPECT_EQ(frmSelectDrive->InstallType, "");
  EXPECT_EQ(frmSelectDrive->edMarqetoFolder->Text(), "WMarqeto");
  EXPECT_EQ(SelectedLine(), "D:\\ []");
  // Entering again as a client: the list is rebuilt and C: lacks the folder.
  EnterDriveStep(frmSelectItems->rbClient);
  EXPECT_EQ(DriveLines().size(), 1u);
  EXPECT_EQ(frmSelectDrive->ListBox1->ItemIndex(), -1);
  // And back to a standalone type: the field is editable again.
  MakeFolder('c', "WMarqeto");
  EnterDriveStep(frmSelectItems->rbMonoPoste);
  EXPECT_EQ(frmSelectDrive->InstallType, "Standalone");
  EXPECT_FALSE(frmSelectDrive->edMarqetoFolder->ReadOnly());
  EXPECT_EQ(SelectedLine(), "C:\\ []");
}

TEST_F(DriveAndConfigStepsTest, BaseFolderBeginningWithBackslashOrBlankKeepsNextDisabled) {
  MakeFolder('c', "WMarqeto");
  EnterDriveStep(frmSelectItems->rbMonoPoste);
  auto* edit = frmSelectDrive->edMarqetoFolder;
  ASSERT_TRUE(frmSelectDrive->CanGoNext());
  edit->SetText("\\WMarqeto");
  EXPECT_FALSE(frmSelectDrive->CanGoNext());
  edit->SetText("  \\WMarqeto ");
  EXPECT_FALSE(frmSelectDrive->CanGoNext());
  edit->SetText("");
  EXPECT_FALSE(frmSelectDrive->CanGoNext());
  edit->SetText("   ");
  EXPECT_FALSE(frmSelectDrive->CanGoNext());
  edit->SetText("  Autre ");
  EXPECT_TRUE(frmSelectDrive->CanGoNext());
  frmSelectDrive->ListBox1->SetItemIndex(-1);
  EXPECT_FALSE(frmSelectDrive->CanGoNext());
}

TEST_F(DriveAndConfigStepsTest, ConfigStepTextsAndSettings) {
  auto* f = frmSelectConfigSource;
  EXPECT_FALSE(f->Visible());
  EXPECT_EQ(f->Label1->Caption(), "Sélection du fichier de configuation ");
  EXPECT_EQ(f->OpenDialog1->Filter(),
            "Configuration d'installation|install.cfg|Tous les fichiers|*.*");
  EXPECT_EQ(f->Animate1->CommonAVI(), aviFindFolder);
  EXPECT_EQ(f->Animate1->StopFrame(), 29);
  EXPECT_FALSE(f->Animate1->Active());
  EXPECT_EQ(f->Panel1->Height(), 163);
  f->StepEnter();
  EXPECT_FALSE(f->Animate1->Visible());
  EXPECT_EQ(f->VcLabel1->Caption(),
            "Rechercher sur le serveur le répertoire WMarqeto et\r\n"
            "sélectionner le fichier Install.cfg");
  EXPECT_TRUE(f->CanGoNext());
  f->StepLeave();
  f->SetBounds(0, 0, 400, 300);
  UiDriver::RunUntilIdle();
  EXPECT_EQ(f->VcLabel1->Width(), 360);
  EXPECT_EQ(f->VcLabel1->Height(), 123);
}

TEST_F(DriveAndConfigStepsTest, OpenDialogConfirmedSetsTheFileCancelledKeepsIt) {
  auto* f = frmSelectConfigSource;
  f->StepEnter();
  f->OpenDialog1->SetFileName("C:\\ancien.cfg");
  UiScript::ExpectOpen("*", "\\\\SERVEUR\\WMarqeto\\Install.cfg");
  f->edConfigName->OnButtonClick(f->edConfigName);
  EXPECT_EQ(f->edConfigName->Text(), "\\\\SERVEUR\\WMarqeto\\Install.cfg");

  UiScript::ExpectOpen("*", "");
  f->edConfigName->OnButtonClick(f->edConfigName);
  EXPECT_EQ(f->edConfigName->Text(), "\\\\SERVEUR\\WMarqeto\\Install.cfg");
  // Each opening starts from the default file name, an empty one.
  EXPECT_EQ(f->OpenDialog1->FileName(), "");
  EXPECT_EQ(UiScript::Dialogs().size(), 2u);
}

}  // namespace
}  // namespace wzt
