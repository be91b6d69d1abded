#pragma once
// The folder-browse dialog: a non-visual component that shows a shell folder tree in a
// modal, resizable window and hands back the folder the user confirmed. BaseFolder is the
// root of the tree; SelectedFolder is the folder preselected on entry and, after OK, the
// one chosen. Each Execute builds a fresh TScFrmFolderBrowseDlg and frees it before
// returning; the form's outer size and window state carry over to the next run.
#include <memory>
#include <string>

#include "platform/forms/Buttons.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "shellcontrols/FScOpenDlg.h"
#include "shellcontrols/UScFrame.h"
#include "shellcontrols/UScShellTree.h"

enum TScFolderBrowseDlgOption : unsigned {
  scfbCreateDeleteButtons,
  scfbContextMenus,
  scfbReadOnly,
  scfbIncludeNonFolders,
  scfbOleDrag,
  scfbOleDrop,
  scfbCreateFolderIcon,
  scfbDeleteFolderIcon,
  scfbVirtualFolders,
  scfbShowHidden
};
using TScFolderBrowseDlgOptions = unsigned;  // bit i = member i; stored in 16 bits
constexpr TScFolderBrowseDlgOptions ScFbOpt(TScFolderBrowseDlgOption o) {
  return 1u << unsigned(o);
}
// [scfbContextMenus, scfbCreateFolderIcon, scfbDeleteFolderIcon, scfbShowHidden] = 0x2C2.
inline constexpr TScFolderBrowseDlgOptions ScFolderBrowseDlgDefaultOptions = 0x2C2;

// aSender: the form; aNewSel: the node's absolute list, valid only during the call.
using TScFolderBrowseSelChangeEvent = TEvent<TObject*, win::LPCITEMIDLIST>;

namespace win {
inline constexpr UINT WM_GETMINMAXINFO = 0x0024;
struct MINMAXINFO {
  POINT ptReserved{}, ptMaxSize{}, ptMaxPosition{}, ptMinTrackSize{}, ptMaxTrackSize{};
};
}  // namespace win

// The size grip in the form's bottom-right corner (a 13 x 13 child drawn with the
// classic diagonal lines; dragging it is the display back-end's resize).
class TScSizeGrip : public TCustomControl {
  WI_CLASS(TScSizeGrip, TCustomControl)
 public:
  explicit TScSizeGrip(TComponent* owner);

 protected:
  void Paint() override;
};

class TScFrmFolderBrowseDlg : public TForm {
  WI_CLASS(TScFrmFolderBrowseDlg, TForm)
 public:
  explicit TScFrmFolderBrowseDlg(TComponent* AOwner);
  ~TScFrmFolderBrowseDlg() override;

  // Published fields, in the order of the description.
  TScShellTree* ScShellTree1 = nullptr;
  TPanel* ButtonPanel = nullptr;
  TButton* OkBtn = nullptr;
  TButton* CancelBtn = nullptr;
  TButton* CreateBtn = nullptr;
  TButton* DeleteBtn = nullptr;
  TSpeedButton* CreateNewFolderBtn = nullptr;
  TSpeedButton* DeleteFolderBtn = nullptr;
  TScFrame* StatusTxt = nullptr;

  // Stores the options and applies them to the tree and the buttons.
  virtual void SetOptions(TScFolderBrowseDlgOptions Options);
  TScFolderBrowseDlgOptions Options() const { return FOptions; }
  virtual void UpdateTexts();

  // The toolkit's forms have no window state: the form keeps it, with the restored
  // (normal) bounds that a maximized window returns to.
  TWindowState WindowState() const { return FWindowState; }
  void SetWindowState(TWindowState Value);
  // The window placement's normal rectangle (the bounds when not maximized).
  win::RECT NormalBounds() const;
  TScSizeGrip* SizeGrip() const { return FSizeGrip; }
  bool SavedAutoFill() const { return FSavedAutoFill; }

  void CreateWnd() override;
  void SetBounds(int left, int top, int width, int height) override;
  void WndProc(TMessage& Msg) override;

  // Published handlers.
  void FormCreate(TObject* Sender);
  void FormResize(TObject* Sender);
  void ScShellTree1Change(TObject* Sender, TTreeNode* Node);
  void ScShellTree1AddItem(TObject* Sender, win::IShellFolder* aParentIShf,
                           win::LPCITEMIDLIST aParentAbsIdList, win::LPCITEMIDLIST aItemRelIdList,
                           win::DWORD aAttribs, bool& afAllowAdd);
  void CreateBtnClick(TObject* Sender);
  void DeleteBtnClick(TObject* Sender);

  TNotifyEvent OnFormShow, OnFormClose;
  TScFolderBrowseSelChangeEvent OnSelChange;

 protected:
  virtual void DoShow();
  virtual void DoHide();
  void Loaded() override;

 private:
  void TakeAutoFill();
  bool FSavedAutoFill = false;
  TScSizeGrip* FSizeGrip = nullptr;
  TScFolderBrowseDlgOptions FOptions = ScFolderBrowseDlgDefaultOptions;
  TWindowState FWindowState = wsNormal;
  win::RECT FNormalBounds{};
};

class TScCustomFolderBrowseDlg : public TScDialog {
  WI_CLASS(TScCustomFolderBrowseDlg, TScDialog)
 public:
  explicit TScCustomFolderBrowseDlg(TComponent* AOwner);
  ~TScCustomFolderBrowseDlg() override;

  // True when the user closed the window with OK.
  bool Execute() override;

  TScFrmFolderBrowseDlg* Form() const { return FForm; }
  TScShellLocator* BaseFolder() const { return FBaseFolder.get(); }
  // Copies the locator; never takes it over.
  void SetBaseFolder(TScShellLocator* Value);
  TScShellLocator* SelectedFolder() const { return FSelectedFolder.get(); }
  TScFolderBrowseDlgOptions Options() const { return FOptions; }
  void SetOptions(TScFolderBrowseDlgOptions Value) { FOptions = Value & 0xFFFF; }
  std::string StatusText() const { return FStatusText; }
  void SetStatusText(const std::string& Value) { FStatusText = Value; }

  TScShAddItemEvent OnAddItem;
  TScFolderBrowseSelChangeEvent OnSelChange;
  TScShTvCustomDrawEvent OnTvCustomDrawSh, OnTvCustomDrawShEx;

 protected:
  virtual TScFrmFolderBrowseDlg* CreateForm();
  virtual void CopySettingsToForm(TScFrmFolderBrowseDlg* Form);
  virtual void CopyResultsFromForm(TScFrmFolderBrowseDlg* Form);
  void CheckFormNotActive();

 private:
  TScFrmFolderBrowseDlg* FForm = nullptr;
  std::unique_ptr<TScShellLocator> FBaseFolder;
  std::unique_ptr<TScShellLocator> FSelectedFolder;
  TScFolderBrowseDlgOptions FOptions = ScFolderBrowseDlgDefaultOptions;
  std::string FStatusText;
};

class TScFolderBrowseDlg : public TScCustomFolderBrowseDlg {
  WI_CLASS(TScFolderBrowseDlg, TScCustomFolderBrowseDlg)
 public:
  explicit TScFolderBrowseDlg(TComponent* AOwner) : TScCustomFolderBrowseDlg(AOwner) {}
};
