#pragma once
// The shell list: the contents of one shell folder in a list view (system icons, the file
// columns "Nom", "Taille", "Type", "Modifié" or a virtual folder's own columns, the
// folder's own sort order, a file mask, a refresh merged in after changes on disk), and
// what the user does with it: opening items and folders, the default keys, the shell
// context menu of the selection, renaming through the shell, OLE drag and drop both ways.
//
// The list never copies, moves, deletes or renames files itself: every such action is a
// verb, a drop or a rename handed to the shell's objects, followed by a merge refresh.
// While an OLE drag, the shell context menu or a caption edit runs, refresh requests only
// set a pending flag. Every shell call gets the window of the list's form as owner.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/ExtCtrls.h"
#include "platform/shell/DragDrop.h"
#include "shellcontrols/UScChangeHandlerThread.h"
#include "shellcontrols/UScShellControls.h"
#include "shellcontrols/UScShellTree.h"
#include "shellcontrols/UScTreeList.h"

class TScFileMask;
class TScShellListDragDrop;
class TScShellListCommands;

// Options, by ordinal (a 16-bit set). Ordinals 6 and 11 are kept for stored sets and have
// no effect here.
enum TScShellListOption : unsigned {
  scsloAutoFill = 0,
  scsloVirtualFolders = 1,
  scsloDesignInteractive = 2,
  scsloDefaultKeyHandling = 3,
  scsloContextMenus = 4,
  scsloFixedFolder = 5,
  scsloReserved6 = 6,
  scsloDynamicRefresh = 7,
  scsloHideTreeFolders = 8,
  scsloOleDrag = 9,
  scsloOleDrop = 10,
  scsloReserved11 = 11,
  scsloShowHidden = 12,
};
using TScShellListOptions = unsigned;  // bit set over TScShellListOption
constexpr TScShellListOptions ScListOpt(TScShellListOption o) { return 1u << unsigned(o); }
inline constexpr TScShellListOptions ScDefaultShellListOptions =
    ScListOpt(scsloAutoFill) | ScListOpt(scsloVirtualFolders) | ScListOpt(scsloDefaultKeyHandling) |
    ScListOpt(scsloContextMenus) | ScListOpt(scsloDynamicRefresh) | ScListOpt(scsloOleDrag) |
    ScListOpt(scsloOleDrop) | ScListOpt(scsloReserved11) | ScListOpt(scsloShowHidden);

// What the list asks of a linked shell combo (no combo class is part of the library; a
// component that wants to be linked implements this).
class IScShellComboLink {
 public:
  virtual TScShellLocator* ComboLocator() = 0;
  // From the selected item back to the nearest earlier item Levels indent steps up.
  virtual void ComboGoUp(int Levels) = 0;
  // With links: the linked tree's and list's FlushPending without links.
  virtual void ComboFlushPending(bool Linked) = 0;
  virtual TScShComboData* ComboItemData(int Index) = 0;

 protected:
  ~IScShellComboLink() = default;
};

// (sender, folder, var accept, attributes, relative id, folder list)
using TScShAddListItemEvent =
    TEvent<TObject*, win::IShellFolder*, bool&, win::DWORD, win::LPCITEMIDLIST, win::LPCITEMIDLIST>;
using TScShListDeleteItemEvent = TEvent<TObject*, TListItem*, TScShListData*>;
using TScShDefaultActionEvent = TEvent<TObject*, bool&>;
using TScShLvCustomDrawEvent = TEvent<TObject*, TScCustomDraw*, TListItem*, TScShListData*>;

class TScCustomShellList : public TScCustomListView,
                           public IScShListDataOwner,
                           public IScShellTreeFollower,
                           public IScShellDropHandler {
  WI_CLASS(TScCustomShellList, TScCustomListView)
 public:
  // Messages the list posts or receives.
  static constexpr win::UINT WM_SHELLBROWSER = win::WM_USER + 7;    // 0x407
  static constexpr win::UINT WM_FOLDERCHANGE = win::WM_USER + 101;  // 0x465, change thread
  static constexpr win::UINT WM_EDITNEWITEM = win::WM_USER + 102;   // 0x466
  static constexpr win::UINT WM_DEFERREDFILL = win::WM_USER + 103;  // 0x467
  // The context-menu command that edits the caption instead of running.
  static constexpr win::UINT RenameCommandId = 1018;

  explicit TScCustomShellList(TComponent* Owner);
  ~TScCustomShellList() override;

  // IScShListDataOwner
  win::IShellFolder* CurrentShellFolder() override { return FCurrentFolder.get(); }
  win::LPCITEMIDLIST CurrentFolderPidl() override { return FFolderPidl; }
  win::IShellDetails* DetailsSource() override;
  // IScShellTreeFollower
  TComponent* FollowerComponent() override { return this; }
  TScShellLocator* FollowerFolder() override { return FFolder; }
  bool HideTreeFolders() override { return HasOption(scsloHideTreeFolders); }

  // ---- Folder, options, links -----------------------------------------------------------
  TScShellLocator* Folder() const { return FFolder; }
  void SetFolder(TScShellLocator* Value) { FFolder->Assign(Value); }
  TScShellListOptions Options() const { return FOptions; }
  void SetOptions(TScShellListOptions Value);
  bool HasOption(TScShellListOption o) const { return (FOptions & ScListOpt(o)) != 0; }
  std::string FileMask() const;
  // Patterns separated by ';' (blanks around them ignored).
  void SetFileMask(const std::string& Value);
  const std::vector<std::string>& MaskPatterns() const;
  int SortKey() const { return FSortKey; }
  void SetSortKey(int Key);
  TScCustomShellTree* ShellTree() const { return FShellTree; }
  void SetShellTree(TScCustomShellTree* Tree) override;
  TComponent* ShellCombo() const { return FShellCombo; }
  // The component must implement IScShellComboLink (otherwise it is not linked).
  void SetShellCombo(TComponent* Combo);
  // 0 none yet, 1 detail columns, 2 file columns.
  int ColumnMode() const { return FColumnMode; }
  bool SharedWidths() const { return FSharedWidths; }
  bool RefreshPending() const { return FRefreshPending; }
  bool Dragging() const { return FDragging; }
  TTimer* RefreshTimerObject() const { return FRefreshTimer; }
  TChangeHandlerThread* ChangeThread() const { return FChangeThread; }
  std::string NewFolderName() const { return FNewFolderName; }
  void SetNewFolderName(const std::string& Name) { FNewFolderName = Name; }
  win::IDropTarget* RegisteredDropTarget() const { return FDropTarget.get(); }

  // ---- Contents ---------------------------------------------------------------------------
  // Clears the items and enumerates the folder afresh.
  void Fill();
  // Merges a fresh enumeration: gone items deleted, new ones added, the rest kept.
  void Refresh();
  void Resort();
  void GoUp(int Levels);
  void FolderChanged(TObject* Sender);
  // Called by a linked tree when its selection changed.
  void TreeChanged(TTreeNode* Node) override;
  // Linked tree and combo flushed (with links), then an armed refresh timer fires at once.
  void FlushPending(bool Linked) override;
  TScShListData* ItemData(TListItem* Item) const;
  TScShListData* ItemData(int Index) const;
  TScShListData* SelectedData() const;
  void DeviceChange(TObject* Sender, TMessage& Message);

  // ---- User actions -----------------------------------------------------------------------
  void OpenItem(TListItem* Item);
  void OpenFolder(win::LPCITEMIDLIST AbsolutePidl);
  bool OpenShortcut(TScShListData* Data);
  void InvokeDefault(TListItem* Item);
  void OpenSelection();
  // The selection's verb ("copy", "cut", "delete"), then a refresh unless on a network path.
  void InvokeVerb(const std::string& Verb);
  // A verb of the shown folder's own menu ("paste"); failures raise.
  void InvokeFolderVerb(const std::string& Verb);
  win::HRESULT GetSelectionUIObject(win::REFIID riid, void** Object);
  win::HRESULT GetItemUIObject(TListItem* Item, win::REFIID riid, void** Object);
  // The shell menu of the selection at a point of the list.
  void ShowItemContextMenu(TPoint P);
  // Starts an OLE drag of the selection (button 0 left, 1 right).
  void BeginOleDrag(int Button);

  // Drop handling (called by the list's registered drop target).
  win::HRESULT DragEnter(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                         win::DWORD* Effect) override;
  win::HRESULT DragOver(win::DWORD KeyState, win::POINTL Pt, win::DWORD* Effect) override;
  win::HRESULT DragLeave() override;
  win::HRESULT Drop(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                    win::DWORD* Effect) override;

  // Mouse wheel: true when handled. Over another shell tree or list, that control scrolls.
  virtual bool DoMouseWheelDown(TShiftState Shift, TPoint MousePos);
  virtual bool DoMouseWheelUp(TShiftState Shift, TPoint MousePos);

  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;
  TScCustomDraw* DoCustomDraw(win::NMCUSTOMDRAW* Notification, win::LRESULT* Result) override;

  TScShPopupHintEvent OnPopupHint;
  TScShAddListItemEvent OnAddItem;
  TScShListDeleteItemEvent OnDeleteItem;
  TScShDefaultActionEvent OnDefaultAction;
  TScShLvCustomDrawEvent OnCustomDrawSh, OnCustomDrawShEx;
  TNotifyEvent OnFillComplete, OnFillStart, OnFolderChanged;

 protected:
  void FillItems(win::IShellFolder* Folder, win::LPCITEMIDLIST FolderPidl);
  bool ShouldAddItem(win::LPCITEMIDLIST FolderPidl, win::LPCITEMIDLIST RelativeId,
                     win::DWORD& Attributes);
  virtual bool AcceptItem(win::IShellFolder* Folder, win::LPCITEMIDLIST FolderPidl,
                          win::DWORD Attributes, win::LPCITEMIDLIST RelativeId);
  void AddNewShellItem(win::LPCITEMIDLIST FolderPidl, win::LPITEMIDLIST RelativeId);
  void SetupColumns(win::IShellDetails* Details);
  void SetupFileColumns();
  void SetupDetailsColumns(win::IShellDetails* Details);
  void BuildMaskFilter();
  void FreeMaskFilter();
  bool MatchesMask(const std::string& Name, win::DWORD Attributes) const;
  void StartWatching();
  void RefreshTimer(TObject* Sender);
  // True when the shown folder's path begins with "\\".
  virtual bool IsNetworkFolder();
  // The list's drop target and the data object of its selection (null when the library
  // has none).
  win::ComPtr<win::IDropTarget> CreateListDropTarget();
  win::ComPtr<win::IDataObject> CreateSelectionDataObject();
  // Hands the selection to the Send To entry of that index.
  void SendToEntry(int Index);

  void InsertItem(TListItem* Item) override;
  void Delete(TListItem* Item) override;
  bool CanEdit(TListItem* Item) override;
  void Edit(const win::LVITEMA& Item) override;
  void ColClick(TListColumn* Column) override;
  void KeyDown(win::WORD& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  bool WantsKey(win::WORD Key) const override;
  void Notification(TComponent* Component, TOperation Operation) override;
  void Loaded() override;
  // The base's context-popup step: the shell menu takes the place of the popup menu.
  void PopupItemMenu(TPoint P) override;

 private:
  friend class TScShellListDragDrop;
  friend class TScShellListCommands;
  bool Designing() const { return (ComponentState() & csDesigning) != 0; }
  bool Busy() const;  // a drag runs or a caption is being edited
  win::HWND OwnerWindow();
  // Front: the item goes first (a fill, which sorts afterwards: the view finds an item by
  // a scan from the top, and a new item is looked up several times while it is set up).
  TListItem* AddItemWithData(TScShListData* Data, win::DWORD Attributes, bool Front = false);
  void TakePending(TListItem* Item);
  void ReleaseFolder();
  std::vector<win::LPCITEMIDLIST> SelectedIds() const;
  win::HRESULT FolderUIObject(win::REFIID riid, void** Object);
  void CnNotify(TMessage& Message);
  void HandleGetDispInfo(win::NMLVDISPINFOA* Info);
  void EditNewItem();
  bool MouseWheel(bool Down, TShiftState Shift, TPoint MousePos);
  static int SortCompare(win::LPARAM A, win::LPARAM B, win::LPARAM Self);
  // Saves the widths, stops watching and revokes the drop target (once per window).
  void WindowGoing();

  std::uint8_t FColumnMode = 0;
  bool FSharedWidths = false;
  win::ComPtr<win::IShellFolder> FCurrentFolder;
  win::LPITEMIDLIST FFolderPidl = nullptr;
  bool FDetailsAsked = false;
  win::ComPtr<win::IShellDetails> FDetails;
  TScShellLocator* FFolder = nullptr;
  TScShellListOptions FOptions = ScDefaultShellListOptions;
  TTimer* FRefreshTimer = nullptr;
  TScCustomShellTree* FShellTree = nullptr;
  TComponent* FShellCombo = nullptr;
  IScShellComboLink* FComboLink = nullptr;
  int FSortKey = 1;
  int FSyncDepth = 0;
  bool FSelfChange = false;
  TChangeHandlerThread* FChangeThread = nullptr;
  std::string FNewFolderName;
  bool FDragging = false, FRefreshPending = false;
  TScShListData* FPendingData = nullptr;
  win::DWORD FPendingAttributes = 0;
  bool FPendingDetails = false;
  bool FInCreateWnd = false, FHeaderSort = false, FInDestroyWnd = false;
  win::ComPtr<win::IDropTarget> FDropTarget;
  TCustomImageList* FSmallImageList = nullptr;
  TCustomImageList* FLargeImageList = nullptr;
  bool FEndingEdit = false;
  bool FWindowGone = false;
  std::unique_ptr<TScFileMask> FMask;
  std::unique_ptr<TScShellListDragDrop> FDragDrop;
  std::unique_ptr<TScShellListCommands> FCommands;
};

// The published form.
class TScShellList : public TScCustomShellList {
  WI_CLASS(TScShellList, TScCustomShellList)
 public:
  explicit TScShellList(TComponent* Owner) : TScCustomShellList(Owner) {}
};
