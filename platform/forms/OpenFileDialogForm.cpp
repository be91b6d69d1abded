#include "platform/forms/OpenFileDialogForm.h"

#include <algorithm>

#include "platform/forms/ComboBox.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/graphics/Graphics.h"
#include "platform/system/Files.h"
#include "platform/system/Text.h"

namespace {

using namespace win;

constexpr const char* kFileMissing =
    "\r\nFichier introuvable.\r\nVérifiez que le nom de fichier correct a été indiqué.";
constexpr const char* kPathMissing =
    "\r\nLe chemin d'accès n'existe pas.\r\nVérifiez que le chemin d'accès correct a été indiqué.";
constexpr const char* kFolderUnreadable = "\r\nCe dossier n'est pas accessible.";

DWORD attributes(const std::string& path) { return GetFileAttributes(path); }
bool isFolder(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
bool isFile(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The full, normalised name of `name` seen from `folder`; empty when it is no valid path.
std::string resolve(const std::string& folder, const std::string& name) {
  std::string p = name;
  bool absolute = p.size() >= 2 && p[1] == ':';
  if (!absolute)
    p = (!p.empty() && (p[0] == '\\' || p[0] == '/')) ? folder.substr(0, 2) + p : folder + "\\" + p;
  char buf[1024];
  DWORD n = GetFullPathName(p, sizeof buf, buf, nullptr);
  if (n == 0 || n >= sizeof buf) return "";
  std::string full(buf, n);
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}

// The folder's names as the disk spells them (a typed "sous" shows as "Sous").
std::string spelled(const std::string& folder) {
  std::string out = folder.substr(0, 2);
  out[0] = char(std::toupper(static_cast<unsigned char>(out[0])));
  if (folder.size() <= 3) return out + "\\";
  for (std::string part : Split(std::string_view(folder).substr(3), '\\')) {
    WIN32_FIND_DATA fd;
    HANDLE h = FindFirstFile(out + "\\" + part, &fd);
    if (h != INVALID_HANDLE_VALUE) {
      part = fd.cFileName;
      FindClose(h);
    }
    out += "\\" + part;
  }
  return out;
}

std::string parentOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return path;
  return slash <= 2 ? path.substr(0, 3) : path.substr(0, slash);
}

std::string lastName(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Names in a folder matching a pattern: folders or files, never hidden ones, nor "." "..".
std::vector<std::string> list(const std::string& folder, const std::string& pattern, bool folders) {
  std::vector<std::string> out;
  WIN32_FIND_DATA fd;
  std::string base = folder.back() == '\\' ? folder : folder + "\\";
  HANDLE h = FindFirstFile(base + pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    bool dir = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    if (dir != folders || (fd.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) || fd.cFileName == "." ||
        fd.cFileName == "..")
      continue;
    out.push_back(fd.cFileName);
  } while (FindNextFile(h, &fd));
  FindClose(h);
  return out;
}

bool sameText(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; }

void sortNames(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  names.erase(std::unique(names.begin(), names.end(), sameText), names.end());
}

}  // namespace

void TOpenFileDialogForm::DefineProps(TPropList&) {}

TOpenFileDialogForm::TOpenFileDialogForm(TComponent* owner) : TForm(owner) {
  SetName("OpenFileDialog");
  SetBorderStyle(bsDialog);
  SetCaption("Ouvrir");
  SetClientWidth(430);
  SetClientHeight(276);
  auto label = [this](const char* name, const char* caption, int left, int top) {
    auto* l = new TLabel(this);
    l->SetName(name);
    l->SetCaption(caption);
    l->SetBounds(left, top, 100, 13);
    l->SetParent(this);
    return l;
  };
  LookInLabel = label("LookInLabel", "Regarder &dans :", 8, 12);
  auto combo = [this](const char* name, int top) {
    auto* c = new TComboBox(this);
    c->SetName(name);
    c->SetBounds(110, top, 230, 21);
    c->SetParent(this);
    return c;
  };
  LookIn = combo("LookIn", 8);
  LookIn->SetDropDownCount(12);
  LookInLabel->SetFocusControl(LookIn);

  FileList = new TListBox(this);
  FileList->SetName("FileList");
  FileList->SetBounds(8, 36, 414, 170);
  FileList->SetTabStop(true);
  FileList->SetStyle(lbOwnerDrawFixed);
  FileList->SetItemHeight(16);
  FileList->SetParent(this);

  FileNameLabel = label("FileNameLabel", "&Nom de fichier :", 8, 218);
  FileNameEdit = new TEdit(this);
  FileNameEdit->SetName("FileNameEdit");
  FileNameEdit->SetBounds(110, 214, 230, 21);
  FileNameEdit->SetTabStop(true);
  FileNameEdit->SetParent(this);
  FileNameLabel->SetFocusControl(FileNameEdit);

  FileTypeLabel = label("FileTypeLabel", "Fichiers de &type :", 8, 247);
  FileType = combo("FileType", 243);
  FileTypeLabel->SetFocusControl(FileType);

  auto button = [this](const char* name, const char* caption, int top) {
    auto* b = new TButton(this);
    b->SetName(name);
    b->SetCaption(caption);
    b->SetBounds(347, top, 75, 23);
    b->SetParent(this);
    return b;
  };
  OpenButton = button("OpenButton", "&Ouvrir", 213);
  OpenButton->SetDefault(true);
  CancelButton = button("CancelButton", "Annuler", 242);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  SetActiveControl(FileNameEdit);

  OpenButton->OnClick = [this](TObject*) { OpenClick(); };
  FileList->OnClick = [this](TObject*) {
    int i = FileList->ItemIndex();
    if (i < 0) return;
    FFolderChosen = FEntries[size_t(i)].folder;
    if (FFolderChosen) return;
    ShowName(FEntries[size_t(i)].name);
  };
  FileList->OnDblClick = [this](TObject*) { OpenEntry(FileList->ItemIndex()); };
  FileList->OnKeyDown = [this](TObject*, win::WORD& key, TShiftState) {
    if (key != VK_BACK) return;
    key = 0;
    if (FFolder.size() > 3) OpenFolder(parentOf(FFolder));
  };
  FileList->OnDrawItem = [this](TWinControl*, int index, win::RECT r, TOwnerDrawState state) {
    TCanvas* c = FileList->Canvas();
    if (!c || index < 0 || index >= int(FEntries.size())) return;
    const Entry& e = FEntries[size_t(index)];
    c->Brush().SetStyle(bsSolid);
    c->Brush().SetColor(clWindow);
    c->FillRect(r);
    // A small folder (a tab over a yellow box) or a page with a folded corner.
    int x = r.left + 2, y = r.top + 2;
    c->Pen().SetColor(clBlack);
    if (e.folder) {
      c->Brush().SetColor(TColor(0x00C0FF));
      c->Polygon({{x, y + 1},
                  {x + 5, y + 1},
                  {x + 6, y + 3},
                  {x + 13, y + 3},
                  {x + 13, y + 11},
                  {x, y + 11}});
    } else {
      c->Brush().SetColor(clWhite);
      c->Polygon({{x + 2, y}, {x + 8, y}, {x + 11, y + 3}, {x + 11, y + 12}, {x + 2, y + 12}});
      c->MoveTo(x + 8, y);
      c->LineTo(x + 8, y + 3);
      c->LineTo(x + 11, y + 3);
    }
    win::RECT text{r.left + 20, r.top, r.right, r.bottom};
    bool selected = state & odSelected;
    int w = c->TextWidth(e.name) + 4;
    win::RECT band{text.left, text.top, std::min<int>(text.right, text.left + w), text.bottom};
    c->Brush().SetColor(selected ? clHighlight : clWindow);
    c->FillRect(band);
    c->Brush().SetStyle(bsClear);
    c->Font().SetColor(selected ? clHighlightText : clWindowText);
    c->TextOut(band.left + 2, band.top + (int(band.bottom - band.top) - c->TextHeight("Ag")) / 2,
               e.name);
    if (state & odFocused) c->DrawFocusRect(band);
  };
  FileNameEdit->OnChange = [this](TObject*) {
    if (!FSettingName) FFolderChosen = false;
  };
  LookIn->OnChange = [this](TObject*) {
    int i = LookIn->ItemIndex();
    if (i >= 0 && !OpenFolder(FLookInPaths[size_t(i)])) FillLookIn();
  };
  FileType->OnChange = [this](TObject*) {
    int i = FileType->ItemIndex();
    if (i < 0) return;
    FFilterIndex = i + 1;
    FPatterns = FFilters[size_t(i)].second;
    FillList();
  };
}

void TOpenFileDialogForm::Setup(const TOpenDialog& dialog) {
  SetCaption(dialog.Title().empty() ? "Ouvrir" : dialog.Title());
  FOptions = dialog.Options();
  FDefaultExt = dialog.DefaultExt();
  // "Description|patterns|Description|patterns..."; a lone description filters nothing.
  auto parts = Split(dialog.Filter(), '|');
  FFilters.clear();
  if (!dialog.Filter().empty())
    for (size_t i = 0; i < parts.size(); i += 2)
      FFilters.emplace_back(parts[i],
                            i + 1 < parts.size() && !TrimSpacesAndTabs(parts[i + 1]).empty()
                                ? TrimSpacesAndTabs(parts[i + 1])
                                : "*.*");
  if (FFilters.empty()) FFilters.emplace_back("Tous les fichiers", "*.*");
  FileType->Items()->Clear();
  for (auto& f : FFilters) FileType->Items()->Add(f.first);
  FFilterIndex = std::clamp(dialog.FilterIndex(), 1, int(FFilters.size()));
  FileType->SetItemIndex(FFilterIndex - 1);
  FPatterns = FFilters[size_t(FFilterIndex - 1)].second;

  std::string start;
  std::string name = dialog.FileName();
  if (!dialog.InitialDir().empty()) start = resolve("C:\\", dialog.InitialDir());
  if (!name.empty() &&
      (name.find('\\') != std::string::npos || name.find(':') != std::string::npos)) {
    std::string full = resolve(start.empty() ? "C:\\" : start, name);
    if (start.empty() || !isFolder(start)) start = parentOf(full);
    name = lastName(full);
  }
  if (start.empty() || !isFolder(start)) {
    char buf[1024];
    DWORD n = GetCurrentDirectory(sizeof buf, buf);
    start = n && n < sizeof buf ? resolve("C:\\", std::string(buf, n)) : "";
  }
  // Else C:, else the first drive there is.
  const std::string drives = "CDEFGHIJKLMNOPQRSTUVWXYAB";
  for (size_t i = 0; i < drives.size() && (start.empty() || !isFolder(start)); ++i)
    start = drives.substr(i, 1) + ":\\";
  ShowName(name);
  // A machine without any drive leaves the list empty.
  if (isFolder(start)) OpenFolder(start);
}

bool TOpenFileDialogForm::OpenFolder(const std::string& path) {
  std::string full = resolve(FFolder.empty() ? "C:\\" : FFolder, path);
  if (full.empty() || !isFolder(full)) {
    Refuse(path + kFolderUnreadable);
    return false;
  }
  FFolder = spelled(full);
  FFolderChosen = false;
  FillLookIn();
  FillList();
  return true;
}

void TOpenFileDialogForm::FillLookIn() {
  // The drives, with the folders leading to the current one under its drive, indented.
  FLookInPaths.clear();
  LookIn->Items()->Clear();
  int current = -1;
  for (char d = 'A'; d < 'Z'; ++d) {
    std::string root = std::string(1, d) + ":\\";
    bool mine = !FFolder.empty() && std::toupper(static_cast<unsigned char>(FFolder[0])) == d;
    if (!mine && !isFolder(root)) continue;
    FLookInPaths.push_back(root);
    LookIn->Items()->Add(root);
    if (!mine) continue;
    current = int(FLookInPaths.size()) - 1;
    std::string path = root.substr(0, 2), indent;
    for (const std::string& part : Split(FFolder.substr(3), '\\')) {
      if (part.empty()) continue;
      path += "\\" + part;
      indent += "   ";
      FLookInPaths.push_back(path);
      LookIn->Items()->Add(indent + part);
      current = int(FLookInPaths.size()) - 1;
    }
  }
  LookIn->SetItemIndex(current);
}

void TOpenFileDialogForm::FillList() {
  FEntries.clear();
  FileList->Clear();
  FFolderChosen = false;
  if (FFolder.empty()) return;
  std::vector<std::string> folders = list(FFolder, "*", true), files;
  for (const std::string& pattern : Split(FPatterns, ';')) {
    std::string p = TrimSpacesAndTabs(pattern);
    if (p.empty()) continue;
    auto found = list(FFolder, p, false);
    files.insert(files.end(), found.begin(), found.end());
  }
  sortNames(folders);
  sortNames(files);
  for (auto& f : folders) FEntries.push_back(Entry{f, true});
  for (auto& f : files) FEntries.push_back(Entry{f, false});
  for (auto& e : FEntries) FileList->Items()->Add(e.name);
}

void TOpenFileDialogForm::OpenEntry(int index) {
  if (index < 0 || index >= int(FEntries.size())) return;
  Entry e = FEntries[size_t(index)];
  std::string full = resolve(FFolder, e.name);
  if (e.folder)
    OpenFolder(full);
  else
    Pick(full);
}

void TOpenFileDialogForm::OpenClick() {
  if (FFolderChosen) {
    OpenEntry(FileList->ItemIndex());
    return;
  }
  std::string text = TrimSpacesAndTabs(FileNameEdit->Text());
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
    text = text.substr(1, text.size() - 2);
  if (!text.empty()) AcceptTyped(text);
}

void TOpenFileDialogForm::AcceptTyped(const std::string& text) {
  std::string full = resolve(FFolder, text);
  if (full.empty()) {
    Refuse(text + kPathMissing);
    return;
  }
  std::string name = lastName(full);
  if (name.find_first_of("*?") != std::string::npos) {
    // A pattern lists its folder through it until another type is chosen.
    std::string folder = parentOf(full);
    if (!isFolder(folder)) {
      Refuse(folder + kPathMissing);
      return;
    }
    FPatterns = name;
    if (folder != FFolder)
      OpenFolder(folder);
    else
      FillList();
    ShowName(name);
    return;
  }
  if (isFolder(full)) {
    if (OpenFolder(full)) {
      ShowName("");
    }
    return;
  }
  if (isFile(full)) {
    Pick(full);
    return;
  }
  if (!FDefaultExt.empty() && name.find('.') == std::string::npos) {
    full += "." + FDefaultExt;
    if (isFile(full)) {
      Pick(full);
      return;
    }
  }
  if (!isFolder(parentOf(full))) {
    Refuse(parentOf(full) + kPathMissing);
    return;
  }
  if (FOptions & (1u << ofFileMustExist)) {
    Refuse(lastName(full) + kFileMissing);
    return;
  }
  Pick(full);
}

void TOpenFileDialogForm::Pick(const std::string& path) {
  FFileName = path;
  SetModalResult(mrOk);
}

void TOpenFileDialogForm::ShowName(const std::string& name) {
  FSettingName = true;
  FileNameEdit->SetText(name);
  FSettingName = false;
}

void TOpenFileDialogForm::Refuse(const std::string& message) {
  MessageDlg(message, mtWarning, MsgButtons({mbOK}), 0);
  if (FileNameEdit->CanFocus()) FileNameEdit->SetFocus();
}

WI_REGISTER_CLASS(TOpenFileDialogForm);
