#pragma once
// Stands in for the folder-browse dialog component until the shell controls arrive: a
// non-visual component with the dialog's Title and Options, registered under its class
// name. Nothing opens it; Execute answers as a cancelled dialog.
#include <string>

#include "platform/forms/Classes.h"

enum TScFolderBrowseDlgOption {
  scfbCreateDeleteButtons, scfbContextMenus, scfbReadOnly, scfbIncludeNonFolders, scfbOleDrag,
  scfbOleDrop, scfbCreateFolderIcon, scfbDeleteFolderIcon, scfbVirtualFolders, scfbShowHidden
};
using TScFolderBrowseDlgOptions = unsigned;  // bit set of TScFolderBrowseDlgOption

inline constexpr TScFolderBrowseDlgOptions kScFolderBrowseDlgDefaultOptions =
    (1u << scfbContextMenus) | (1u << scfbCreateFolderIcon) | (1u << scfbDeleteFolderIcon) |
    (1u << scfbShowHidden);

class TScFolderBrowseDlg : public TComponent {
  WI_CLASS(TScFolderBrowseDlg, TComponent)
 public:
  explicit TScFolderBrowseDlg(TComponent* AOwner) : TComponent(AOwner) {}
  std::string Title() const { return FTitle; }
  void SetTitle(const std::string& v) { FTitle = v; }
  TScFolderBrowseDlgOptions Options() const { return FOptions; }
  void SetOptions(TScFolderBrowseDlgOptions v) { FOptions = v; }
  std::string Folder() const { return FFolder; }
  void SetFolder(const std::string& v) { FFolder = v; }
  bool Execute() { return false; }

 private:
  std::string FTitle;
  std::string FFolder;
  TScFolderBrowseDlgOptions FOptions = kScFolderBrowseDlgDefaultOptions;
};

