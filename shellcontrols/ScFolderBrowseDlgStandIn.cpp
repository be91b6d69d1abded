#include "shellcontrols/ScFolderBrowseDlgStandIn.h"

void TScFolderBrowseDlg::DefineProps(TPropList& p) {
  p.Set("Options", &TScFolderBrowseDlg::Options, &TScFolderBrowseDlg::SetOptions,
        {"scfbCreateDeleteButtons", "scfbContextMenus", "scfbReadOnly", "scfbIncludeNonFolders",
         "scfbOleDrag", "scfbOleDrop", "scfbCreateFolderIcon", "scfbDeleteFolderIcon",
         "scfbVirtualFolders", "scfbShowHidden"},
        kScFolderBrowseDlgDefaultOptions);
  p.String("Title", &TScFolderBrowseDlg::Title, &TScFolderBrowseDlg::SetTitle);
}

WI_REGISTER_CLASS(TScFolderBrowseDlg);
