#include "wizard/frmSelectDriveUnit.h"

#include <cctype>

#include "platform/forms/graphics/StockIcons.h"
#include "platform/shell/Drives.h"
#include "platform/system/Files.h"
#include "platform/system/Text.h"
#include "wizard/frmSelectItemsUnit.h"

namespace {

const char* const SExplanation =
    "Sélectionnez un disque local. Les programmes qui vont être installés sur cette machine "
    "seront installés sur le disque sélectionné, dans le \"dossier de base\".";
const char* const SBaseFolder = "Dossier de base :";
const char* const SWarning = "Ne pas modifier le dossier de base sans instruction de MARQETO S.A.";

const char* const SClientFolder = "Marqeto";
const char* const SServerFolder = "Marqeto\\WMarqeto";
const char* const SDefaultFolder = "WMarqeto";

bool FolderExists(const std::string& path) {
  win::DWORD attrs = win::GetFileAttributes(path);
  return attrs != win::INVALID_FILE_ATTRIBUTES && (attrs & win::FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TfrmSelectDrive* frmSelectDrive = nullptr;

void TfrmSelectDrive::DefineProps(TPropList&) {}

TfrmSelectDrive::TfrmSelectDrive(TComponent* AOwner) : TFrmStep(AOwner) {
  // The loader keeps the first name it reads, the step base's; each step has its own.
  SetName("frmSelectDrive");
  Field("Panel1", Panel1);
  Field("VcLabel1", VcLabel1);
  Field("ListBox1", ListBox1);
  Field("VcLabel2", VcLabel2);
  Field("edMarqetoFolder", edMarqetoFolder);
  Field("Image2", Image2);
  Field("Label1", Label1);
  Method("FormCreate", &TfrmSelectDrive::FormCreate);
  Method("Panel1Resize", &TfrmSelectDrive::Panel1Resize);
}

void TfrmSelectDrive::FormCreate(TObject* Sender) {
  TFrmStep::FormCreate(Sender);
  VcLabel1->SetCaption(SExplanation);
  VcLabel2->SetCaption(SBaseFolder);
  Label1->SetCaption(SWarning);
  Image2->Picture()->LoadFromBmp(win::PictureBmp(win::DrawStockIcon(win::TStockIcon::Warning)));
}

void TfrmSelectDrive::Panel1Resize(TObject* Sender) {
  if (!VcLabel1) return;
  VcLabel1->SetBounds(20, 20, Panel1->Width() - 40, Panel1->Height() - 40);
}

std::string TfrmSelectDrive::GetDriveVolumeLabel(char Letter) {
  // A drive without medium must not raise the system's critical-error dialog.
  win::UINT oldMode = win::SetErrorMode(win::SEM_FAILCRITICALERRORS);
  std::string label;
  try {
    char name[261] = {};
    if (win::GetVolumeInformation(std::string(1, Letter) + ":\\", name, sizeof name, nullptr,
                                  nullptr, nullptr, nullptr, 0))
      label = name;
  } catch (...) {
    win::SetErrorMode(oldMode);
    throw;
  }
  win::SetErrorMode(oldMode);
  label = std::islower(static_cast<unsigned char>(Letter)) ? AnsiLowerCase(label)
                                                           : AnsiUpperCase(label);
  return "[" + label + "]";
}

void TfrmSelectDrive::AddDrive(char Letter) {
  ListBox1->Items()->Add(std::string(1, Letter) + ":\\ " + GetDriveVolumeLabel(Letter));
}

void TfrmSelectDrive::StepEnter() {
  TFrmStep::StepEnter();
  InstallType = frmSelectItems ? frmSelectItems->GetInstallType() : "";
  ListBox1->Items()->Clear();
  if (InstallType == "Client") {
    AddDrive('C');
    edMarqetoFolder->SetReadOnly(true);
    edMarqetoFolder->SetColor(clSilver);
    edMarqetoFolder->SetText(SClientFolder);
  } else {
    win::DWORD mask = win::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
      char letter = char('A' + i);
      if ((mask & (1u << i)) &&
          win::GetDriveType(std::string(1, letter) + ":\\") == win::DRIVE_FIXED)
        AddDrive(letter);
    }
    edMarqetoFolder->SetReadOnly(false);
    edMarqetoFolder->SetColor(clWindow);
    edMarqetoFolder->SetText(InstallType == "Server" ? SServerFolder : SDefaultFolder);
  }
  ListBox1->SetItemIndex(-1);
  TStrings* lines = ListBox1->Items();
  for (int i = 0; i < lines->Count(); ++i) {
    std::string line = lines->Get(i);
    if (line.empty()) continue;
    if (FolderExists(line.substr(0, 1) + ":\\" + edMarqetoFolder->Text())) {
      ListBox1->SetItemIndex(i);
      break;
    }
  }
}

bool TfrmSelectDrive::CanGoNext() {
  std::string folder = win::TrimWhiteSpace(edMarqetoFolder->Text());
  return ListBox1->ItemIndex() >= 0 && !folder.empty() && folder[0] != '\\';
}
