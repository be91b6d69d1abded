#pragma once
// The window of TOpenDialog for the person at the screen, titled "Ouvrir" or the dialog's
// Title. "Regarder dans :" lists the machine's drives and the folders leading to the
// current one; the list shows the current folder's sub-folders, then the files that the
// type chosen under "Fichiers de type :" lets through; "Nom de fichier :" takes a name or
// a path. Everything goes through the platform's file calls, so it browses the simulated
// PC, never the host.
//
// Double-clicking a folder (or Enter on it) opens it and Backspace in the list goes up;
// double-clicking a file picks it. "Ouvrir" (Enter) takes the typed text relative to the
// current folder: a folder opens, a name with * or ? filters the list, a file is picked.
// A missing file is refused with ofFileMustExist, a missing folder always.
#include <string>
#include <vector>

#include "platform/forms/Forms.h"

class TOpenDialog;
class TComboBox;
class TEdit;
class TListBox;

class TOpenFileDialogForm : public TForm {
  WI_CLASS(TOpenFileDialogForm, TForm)
 public:
  explicit TOpenFileDialogForm(TComponent* owner);
  // Takes the dialog's title, filter, options and starting place (InitialDir, else the
  // folder of FileName, else the current folder, else C:\).
  void Setup(const TOpenDialog& dialog);
  // The folder listed, without a trailing backslash except at a drive's root ("C:\").
  const std::string& Folder() const { return FFolder; }
  // Lists path when it is a folder; false (and a message) when it cannot be read.
  bool OpenFolder(const std::string& path);
  // After OK: the full name of the file chosen, and the type shown (from 1).
  const std::string& FileName() const { return FFileName; }
  int FilterIndex() const { return FFilterIndex; }

  TLabel* LookInLabel = nullptr;
  TComboBox* LookIn = nullptr;
  TListBox* FileList = nullptr;
  TLabel* FileNameLabel = nullptr;
  TEdit* FileNameEdit = nullptr;
  TLabel* FileTypeLabel = nullptr;
  TComboBox* FileType = nullptr;
  TButton* OpenButton = nullptr;
  TButton* CancelButton = nullptr;

 private:
  struct Entry {
    std::string name;
    bool folder = false;
  };
  void FillLookIn();
  void FillList();
  void OpenClick();
  // Opens the list's line: a folder is entered, a file picked.
  void OpenEntry(int index);
  void AcceptTyped(const std::string& text);
  void Pick(const std::string& path);
  // Fills the name field by program; unlike typing, it leaves FFolderChosen as it is.
  void ShowName(const std::string& name);
  void Refuse(const std::string& message);
  std::string FFolder, FFileName;
  std::vector<std::string> FLookInPaths;                      // by LookIn line
  std::vector<Entry> FEntries;                                // by FileList line
  std::vector<std::pair<std::string, std::string>> FFilters;  // description, patterns
  std::string FPatterns;  // ';'-separated: the type's, or a typed pattern
  int FFilterIndex = 1;
  unsigned FOptions = 0;
  std::string FDefaultExt;
  bool FFolderChosen = false;  // the last choice was a folder line, not typed text
  bool FSettingName = false;   // the name field changes by program, not by typing
};
