#pragma once
// The shell folder tree: one root node for a base folder, its folders below (optionally
// its files), filled when a node is first expanded, merged with the shell on refresh,
// kept current by change notifications and device arrival or removal, and followed by a
// linked shell list. Keys, the shell's context menu, OLE drag and drop and the mouse wheel
// are handled here too. User-interface thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>

#include "platform/forms/ExtCtrls.h"
#include "platform/forms/ImgList.h"
#include "shellcontrols/UScChangeHandlerThread.h"
#include "shellcontrols/UScShellControls.h"
#include "shellcontrols/UScTreeList.h"

class TScCustomShellTree;
class TDropTarget_shtv;
class TScShellTreeDragDrop;
class TScShellTreeCommands;

enum TScShellTreeOption : unsigned {
  scstoAutoFill,
  scstoVirtualFolders,
  scstoDesignInteractive,
  scstoDefaultKeyHandling,
  scstoContextMenus,
  scstoDynamicRefresh,
  scstoIncludeNonFolders,
  scstoOleDrag,
  scstoOleDrop,
  scstoShowHidden
};
using TScShellTreeOptions = unsigned;  // bit i = member i; stored in 16 bits
inline constexpr TScShellTreeOptions ScShellTreeDefaultOptions = 955;
constexpr TScShellTreeOptions ScOpt(TScShellTreeOption o) { return 1u << unsigned(o); }

// What the tree asks of the control that follows its selection: the shell list
// (TScCustomShellList implements it) or a shell combo.
class IScShellTreeFollower {
 public:
  virtual TComponent* FollowerComponent() = 0;
  virtual void SetShellTree(TScCustomShellTree* Tree) = 0;
  // The list's Folder (the combo's locator).
  virtual TScShellLocator* FollowerFolder() = 0;
  virtual void TreeChanged(TTreeNode* Node) = 0;
  virtual void FlushPending(bool Linked) = 0;
  // The list's scsloHideTreeFolders option (a combo: false).
  virtual bool HideTreeFolders() = 0;

 protected:
  ~IScShellTreeFollower() = default;
};

// The four drop-target calls as the tree and the list take them from their registered
// drop target.
class IScShellDropHandler {
 public:
  virtual win::HRESULT DragEnter(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                                 win::DWORD* Effect) = 0;
  virtual win::HRESULT DragOver(win::DWORD KeyState, win::POINTL Pt, win::DWORD* Effect) = 0;
  virtual win::HRESULT DragLeave() = 0;
  virtual win::HRESULT Drop(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                            win::DWORD* Effect) = 0;

 protected:
  ~IScShellDropHandler() = default;
};

using TScShAddItemEvent =
    TEvent<TObject*, win::IShellFolder*, win::LPCITEMIDLIST, win::LPCITEMIDLIST, win::DWORD, bool&>;
using TScShTreeDeleteItemEvent = TEvent<TObject*, TTreeNode*, TScShTreeData*>;
using TScShTreeInsertItemEvent = TEvent<TObject*, TTreeNode*>;
using TScShPopupHintEvent = TEvent<TObject*, const std::string&>;
using TScShTvCustomDrawEvent = TEvent<TObject*, TScCustomDraw*, TTreeNode*, TScShTreeData*>;

// Private messages of the tree's window.
inline constexpr win::UINT WM_SCCHANGENOTIFY = win::WM_USER + 101;
inline constexpr win::UINT WM_SCDEFERREDFILL = win::WM_USER + 103;

class TScCustomShellTree : public TScCustomTreeView, public IScShellDropHandler {
  WI_CLASS(TScCustomShellTree, TScCustomTreeView)
 public:
  explicit TScCustomShellTree(TComponent* Owner);
  ~TScCustomShellTree() override;

  TScShellLocator* BaseFolder() const { return FBaseFolder.get(); }
  void SetBaseFolder(TScShellLocator* Value);
  TScShellLocator* SelectedFolder() const { return FSelectedFolder.get(); }
  void SetSelectedFolder(TScShellLocator* Value);
  IScShellTreeFollower* ShellList() const { return FShellList; }
  void SetShellList(IScShellTreeFollower* Value);
  IScShellTreeFollower* LinkedCombo() const { return FLinkedCombo; }
  void SetLinkedCombo(IScShellTreeFollower* Value);
  TScShellTreeOptions Options() const { return FOptions; }
  void SetOptions(TScShellTreeOptions Value);
  bool HasOption(TScShellTreeOption O) const { return FOptions & ScOpt(O); }
  std::string SelectedPath();

  void Fill();
  void Refresh();
  void SelectPidl(win::LPCITEMIDLIST AbsolutePidl);
  bool CreateNewFolder(bool Unused = true);
  win::HRESULT InvokeVerb(TTreeNode* Node, const std::string& Verb);
  void SelectAncestor(int Levels);
  void FlushPending(bool Linked);
  void SortChildren(TTreeNode* Node);
  TTreeNode* FindChildNode(TTreeNode* Node, win::LPCITEMIDLIST RelativeId);
  TScShTreeData* NodeData(TTreeNode* Node) const;
  bool IsShellNode(TTreeNode* Node) const { return NodeData(Node) != nullptr; }
  TTreeNode* FirstShellRootNode() const;
  void StartChangeWatching();
  TChangeHandlerThread* ChangeThread() const { return FChangeThread.get(); }
  TTimer* Timer() const { return FTimer; }
  TDropTarget_shtv* RegisteredDropTarget() const;
  bool Busy() const { return FBusy; }
  bool RefreshPending() const { return FRefreshPending; }
  TTreeNode* DraggedNode() const { return FDraggedNode; }
  // The effects a drag of the node may have (7 when unknown).
  win::DWORD GetAllowedEffects(TTreeNode* Node);
  void BeginOleDrag(int Button);
  virtual void ShowNodeContextMenu(TTreeNode* Node, TPoint Pos);
  virtual void SendToItem(TTreeNode* Node, int Index);

  // Virtual operations, in slot order.
  virtual win::IDropSource* CreateDropSource(int Button);
  win::HRESULT DragEnter(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                         win::DWORD* Effect) override;
  win::HRESULT DragOver(win::DWORD KeyState, win::POINTL Pt, win::DWORD* Effect) override;
  win::HRESULT DragLeave() override;
  win::HRESULT Drop(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                    win::DWORD* Effect) override;
  virtual void DragScroll(TPoint ClientPt);
  virtual win::HRESULT AddItem(win::IShellFolder* Folder, win::LPCITEMIDLIST ParentAbsolute,
                               win::LPCITEMIDLIST RelativeId, TTreeNode* ParentNode);
  virtual bool DoAddItem(win::IShellFolder* Folder, win::LPCITEMIDLIST ParentAbsolute,
                         win::LPCITEMIDLIST RelativeId, win::DWORD Attributes);
  virtual void DeviceChange(TObject* Sender, TMessage& Message);
  virtual void FillNode(win::IShellFolder* Folder, TTreeNode* Node);

  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Msg) override;
  TScCustomDraw* DoCustomDraw(win::NMCUSTOMDRAW* Notification, win::LRESULT* Result) override;
  void DoNodeContextMenu(TTreeNode* Node, TPoint& Pos, TPopupMenu*& Menu) override;
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);

  TScShAddItemEvent OnAddItem;
  TScShTreeDeleteItemEvent OnDeleteItem;
  TScShTreeInsertItemEvent OnInsertItem;
  TScShPopupHintEvent OnPopupHint;
  TScShTvCustomDrawEvent OnCustomDrawSh, OnCustomDrawShEx;
  TNotifyEvent OnFillComplete, OnFillStart;

 protected:
  void Loaded() override;
  void Notification(TComponent* C, TOperation Op) override;
  bool CanExpand(TTreeNode* Node) override;
  bool CanEdit(TTreeNode* Node) override;
  void Change(TTreeNode* Node) override;
  void Delete(TTreeNode* Node) override;
  void Edit(const win::TVITEMA& Item) override;
  void GetImageIndex(TTreeNode* Node) override;
  void GetSelectedIndex(TTreeNode* Node) override;
  void KeyDown(win::WORD& Key, TShiftState Shift) override;
  bool WantsKey(win::WORD Key) const override;
  virtual void DoCustomDrawSh(TScCustomDraw* CD, TTreeNode* Node, TScShTreeData* Data);
  virtual void DoInsertItem(TTreeNode* Node);
  virtual void FillOnExpand(TTreeNode* Node);
  virtual void DoFillComplete() { OnFillComplete(this); }
  virtual void DoFillStart() { OnFillStart(this); }
  virtual void WatchDrive(const std::string& Path);

 private:
  friend class TScShellTreeDragDrop;
  friend class TScShellTreeCommands;
  struct TLock;
  void BaseFolderChanged(TObject* Sender);
  void SelectedFolderChanged(TObject* Sender);
  void TimerHandler(TObject* Sender);
  void Merge(TTreeNode* Node, TTreeNode*& Remembered);
  void SyncSelection(TTreeNode* Node);
  void UpdateDragDropStyle();
  void ChangeNotified();
  void CnNotify(TMessage& M);
  win::DWORD EnumFlags() const;
  win::HWND OwnerWindow();
  win::LPITEMIDLIST NodeAbsolutePidl(TTreeNode* Node);
  bool WheelToOther(bool Down, TShiftState Shift, TPoint MousePos, bool& Handled);

  std::unique_ptr<TScShellLocator> FBaseFolder;
  std::unique_ptr<TScShellLocator> FSelectedFolder;
  TTimer* FTimer = nullptr;
  IScShellTreeFollower* FShellList = nullptr;
  IScShellTreeFollower* FLinkedCombo = nullptr;
  TScShellTreeOptions FOptions = ScShellTreeDefaultOptions;
  std::int32_t FProgramSelection = 0;
  std::int32_t FLockCount = 0;
  std::int32_t FLoading = 0;
  std::uint8_t FIgnoreNextNotification = 0;
  std::unique_ptr<TChangeHandlerThread> FChangeThread;
  std::uint8_t FBusy = 0;
  std::uint8_t FRefreshPending = 0;
  TTreeNode* FLastInserted = nullptr;
  std::uint8_t FWindowDestroying = 0;
  std::unique_ptr<TCustomImageList> FImages;
  std::unordered_set<const TScShTreeData*> FShellData;
  // Part of the key, menu and drag state.
  TTreeNode* FDraggedNode = nullptr;
  std::unique_ptr<TScShellTreeDragDrop> FDragDrop;
  std::unique_ptr<TScShellTreeCommands> FCommands;
};

class TScShellTree : public TScCustomShellTree {
  WI_CLASS(TScShellTree, TScCustomShellTree)
 public:
  explicit TScShellTree(TComponent* Owner) : TScCustomShellTree(Owner) {}
};
