#pragma once
// What the shell tree, the shell list, their item data and their drag-and-drop objects
// share: shortcut texts and the default key table, the FORMATETC list and its enumerator,
// CF_HDROP / "Shell IDList Array" builders, the drop source, new folders, the list's
// column texts, context-menu plumbing with the fallback Send To submenu, scrolling steps,
// small window helpers; the folder reference TScShellLocator with its stored "Pidl"
// property, the details adapter, and the node and item data TScShTreeData and
// TScShListData. User-interface thread only.
//
// COM objects made here (enumerator, drop source, details adapter) start with a reference
// count of 0 unless said otherwise: the creator takes the first reference.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Messages.h"
#include "platform/forms/ShortCuts.h"
#include "platform/shell/Com.h"
#include "platform/shell/ContextMenu.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/Menus.h"
#include "platform/shell/Ole.h"
#include "platform/shell/ShellFolder.h"
#include "shellcontrols/UScShellUtils.h"

class TControl;
class TWinControl;
class TStringList;

// ---- Unit start-up ------------------------------------------------------------------
// Registers "Shell IDList Array", makes the column-width store, starts OLE, reads the
// hover metrics. Counter-guarded; the helpers below call it themselves.
void StartShellControlsUnit();
void StopShellControlsUnit();
// Starts the unit unless it runs already (without counting another start).
void EnsureShellControlsStarted();

// ---- Unit-wide values ---------------------------------------------------------------
inline constexpr int ScUnfocusedRefreshDelay = 2000;  // ms, change -> refresh, not focused
inline constexpr int ScFocusedRefreshDelay = 400;     // ms, focused
inline constexpr int ScSelectionFollowDelay = 500;    // ms, keyboard selection -> list
inline constexpr int ScNewFolderTries = 50;
inline constexpr int ScHorzScrollMargin = 26;  // px, drag auto-scroll
inline constexpr int ScVertScrollMargin = 20;
inline constexpr int ScAutoScrollPeriod = 100;  // ms between two auto-scroll steps
inline constexpr win::UINT ScScrollMessages[2] = {win::WM_HSCROLL, win::WM_VSCROLL};
extern int MouseHoverTime;    // 400 ms unless the system says otherwise
extern int MouseHoverWidth;   // 2
extern int MouseHoverHeight;  // 2

extern win::UINT ShellIdListFormat;  // RegisterClipboardFormat("Shell IDList Array")
// Column widths last saved by a shell list (the stream's int32 count, then the widths).
extern std::vector<std::int32_t> ColumnWidthStore;
// The "DirectoryCols" value in force when a list's file columns were last set.
struct TScRememberedCols {
  std::uint8_t Data[22] = {};
  std::int32_t Length = 0;
};
extern TScRememberedCols RememberedDirectoryCols;

// ---- Shortcuts and the default key table ----------------------------------------------

struct TScShellControlDefKeyRec {
  std::string Text;
  TShortCut ShortCut = 0;
};
enum TScShellControlDefKey {
  sckSelectAll,
  sckDelete,
  sckCopy,
  sckCut,
  sckPaste,
  sckRefresh,
  sckRename
};
extern TScShellControlDefKeyRec ShellControlDefKeys[7];
// Parses the texts once (later calls do nothing).
void InitShellControlDefKeys();
bool ShellControlDefKeysParsed();

// ---- FORMATETC list and its enumerator ------------------------------------------------
class TScFormatEtcList : public TObject {
 public:
  TScFormatEtcList() = default;
  ~TScFormatEtcList() override;
  TScFormatEtcList(const TScFormatEtcList&) = delete;
  TScFormatEtcList& operator=(const TScFormatEtcList&) = delete;
  // One record per format: no device, DVASPECT_CONTENT, lindex -1, TYMED_HGLOBAL.
  void Add(const std::vector<win::CLIPFORMAT>& Formats);
  // A deep copy of the record (device block included).
  void AddRecord(const win::FORMATETC& Format);
  void Clear();
  win::HRESULT QueryGetData(const win::FORMATETC* Format) const;
  // A new enumerator at position 0 (reference count 0).
  class TScFormatEtcList_IEnumFormatEtc* CreateEnumerator();
  int Count() const { return int(FItems.size()); }
  const win::FORMATETC& Item(int Index) const { return *FItems.at(Index); }

 private:
  std::vector<win::FORMATETC*> FItems;
};

class TScFormatEtcList_IEnumFormatEtc : public TObject, public win::IEnumFORMATETC {
 public:
  explicit TScFormatEtcList_IEnumFormatEtc(TScFormatEtcList* List, int Position = 0);
  win::HRESULT QueryInterface(win::REFIID riid, void** ppv) override;
  win::ULONG AddRef() override;
  win::ULONG Release() override;
  win::HRESULT Next(win::ULONG celt, win::FORMATETC* rgelt, win::ULONG* fetched) override;
  win::HRESULT Skip(win::ULONG celt) override;
  win::HRESULT Reset() override;
  win::HRESULT Clone(win::IEnumFORMATETC** ppenum) override;

 private:
  std::int32_t FRefCount = 0;
  TScFormatEtcList* FList;
  std::int32_t FPosition;
};

// ---- Drop source -----------------------------------------------------------------------
class TDropSource_shlvtv : public TObject, public win::IDropSource {
 public:
  explicit TDropSource_shlvtv(int Button);  // 0 left, 1 right, 2 middle
  win::HRESULT QueryInterface(win::REFIID riid, void** ppv) override;
  win::ULONG AddRef() override;
  win::ULONG Release() override;
  win::HRESULT QueryContinueDrag(win::BOOL EscapePressed, win::DWORD KeyState) override;
  win::HRESULT GiveFeedback(win::DWORD Effect) override;
  win::DWORD ButtonMask() const { return FButtonMask; }

 private:
  std::int32_t FRefCount = 0;
  win::DWORD FButtonMask;
};

// ---- Global memory ---------------------------------------------------------------------
win::HRESULT BuildHDropGlobal(const std::vector<std::string>& Paths, win::HGLOBAL* Handle);
// Parent null: written as the empty list.
win::HRESULT BuildIdListArrayGlobal(win::LPCITEMIDLIST Parent,
                                    const std::vector<win::LPCITEMIDLIST>& Children,
                                    win::HGLOBAL* Handle);
win::HGLOBAL DuplicateGlobal(win::HGLOBAL Handle);  // null on failure
// Copy/move/link abilities that all items of a dragged "Shell IDList Array" share; 7 when
// the format is not there.
win::DWORD GetPreferredDropEffect(win::IDataObject* Data);

// ---- New folders -----------------------------------------------------------------------
// "Nouveau dossier", "Nouveau dossier (2)" ... then "fldr", "fldr2" ...; false (after a
// warning) when none could be made.
bool CreateUniqueNewFolder(const std::string& Directory, std::string& Name);

// ---- Texts of the list's columns -------------------------------------------------------
using TDateTime = double;  // days since 1899-12-30, time as the fraction
std::string FormatFileSizeKB(std::int64_t Size);
TDateTime FileTimeToLocalDateTime(const win::FILETIME& FileTime);
// "dd/mm/yyyy hh:nn" of a local date-time (the short date and time formats).
std::string FormatShortDateTime(TDateTime Value);
void FileSizeAndDateTexts(win::LPCITEMIDLIST AbsolutePidl, std::string& SizeText,
                          std::string& DateText);
std::string FileTypeText(win::LPCITEMIDLIST AbsolutePidl, win::DWORD Attributes);
void ComputeDetailTexts(win::LPCITEMIDLIST AbsolutePidl, win::DWORD Attributes,
                        std::string& SizeText, std::string& DateText, std::string& TypeText);
std::string GetItemDisplayName(win::IShellFolder* Folder, win::LPCITEMIDLIST RelativeId,
                               win::DWORD Flags);

// ---- Shell context menus ---------------------------------------------------------------
// On success the caller releases *ContextMenu and destroys *Popup.
win::HRESULT CreateItemContextMenu(win::HWND Owner, win::IShellFolder* Folder, win::UINT Count,
                                   win::LPCITEMIDLIST_ARRAY Ids, win::UINT Flags, win::UINT FirstId,
                                   win::IContextMenu** ContextMenu, win::HMENU* Popup);
win::HRESULT InvokeContextMenuCommand(win::HWND Owner, win::IContextMenu* ContextMenu,
                                      const std::string& Verb);
win::HRESULT InvokeContextMenuCommand(win::HWND Owner, win::IContextMenu* ContextMenu,
                                      win::UINT Offset);
// Offset of the verb's command; -1 when no command has it.
int FindContextMenuVerb(win::IContextMenu* ContextMenu, const std::string& Verb);
// The window of the control's top-level form, else null.
win::HWND GetOwnerFormWindow(TControl* Control);

// ---- Item ids and folders --------------------------------------------------------------
// *Folder (release), *ParentPidl and *LastId (ShellFree) are the caller's.
win::HRESULT BindToParentFolder(win::LPCITEMIDLIST AbsolutePidl, win::IShellFolder** Folder,
                                win::LPITEMIDLIST* ParentPidl, win::LPITEMIDLIST* LastId);
win::HRESULT GetPidlUIObject(win::LPCITEMIDLIST AbsolutePidl, win::REFIID riid, void** Object);
win::HRESULT GetDesktopDropTarget(win::IDropTarget** Target);
win::HRESULT GetDesktopDirParts(win::LPITEMIDLIST* ParentPidl, win::LPITEMIDLIST* LastId);

// ---- Scrolling -------------------------------------------------------------------------
void ScrollControlStep(TWinControl* Control, int Bar, int Code);
bool ScrollByWheel(TWinControl* Control, bool Vertical, int LineCode, int PageCode);

// ---- Fallback Send To submenu ----------------------------------------------------------
// Entries (no directories, no hidden files) of Directory\Pattern with their small icon
// index as object (-1 when the path cannot be parsed).
void ListSendToEntries(const std::string& Directory, const std::vector<std::string>& Patterns,
                       TStringList* List);
// The shared Send To list (null until the first InitSendToMenu fills it).
TStringList* SendToList();
void InitSendToMenu(win::IContextMenu* ContextMenu, TMessage& Message);
void DrawSendToItem(win::IContextMenu* ContextMenu, TMessage& Message);
void MeasureSendToItem(win::IContextMenu* ContextMenu, TMessage& Message);
void SendToMenuChar(win::IContextMenu* ContextMenu, TMessage& Message);
void ShowMenuHint(win::IContextMenu* ContextMenu, TMessage& Message,
                  const std::function<void(const std::string&)>& HintEvent);
void DropOnSendToTarget(const std::string& EntryName, win::IDataObject* Data);

// ---- Miscellaneous ---------------------------------------------------------------------
// A failed OLE call passed on: the system's text for the code.
class EOleSysError : public Exception {
 public:
  EOleSysError(std::string Message, win::HRESULT Code)
      : Exception(std::move(Message)), ErrorCode(Code) {}
  win::HRESULT ErrorCode;
};
[[noreturn]] void OleError(win::HRESULT Code);
void OleCheck(win::HRESULT Code);  // raises EOleSysError for a failure code
[[noreturn]] void RaiseSysError(win::DWORD Code);
bool IsNotDriveRoot(const std::string& Path);
void SetWindowStyleBits(win::HWND Window, win::DWORD Bits, bool On);
void SleepWithHourglass(int Milliseconds);
void CreateSortedStringList(TStringList*& List);

// =========================================================================================
// TScShellLocator: a folder by absolute pidl (kind 0, null = desktop) or by special-folder
// id (kind 1, resolved lazily). Stored as the binary property "Pidl".
class TScShellLocator : public TPersistent {
  WI_CLASS(TScShellLocator, TPersistent)
 public:
  TScShellLocator() = default;
  ~TScShellLocator() override;
  TScShellLocator(const TScShellLocator&) = delete;
  TScShellLocator& operator=(const TScShellLocator&) = delete;

  std::uint8_t Kind() const { return FKind; }
  std::uint8_t SpecialFolder() const { return FSpecialFolder; }
  // Makes the locator kind 1 (fires OnChange when something changed).
  void SetSpecialFolder(std::uint8_t Id);
  // Owned by the locator; null = desktop.
  win::LPITEMIDLIST Pidl();
  void SetPidl(win::LPCITEMIDLIST Value);
  void Clear() { SetPidl(nullptr); }
  std::string Path();
  void Assign(TPersistent* Source) override;
  bool Equals(TScShellLocator* Other);
  TNotifyEvent OnChange;

  void DefineProperties(TFiler& Filer) override;
  // The stored bytes (tests and other filers).
  void ReadPidl(const std::string& Data);
  void WritePidl(std::string& Data) const;
  bool HasPidlData() const { return FPidl != nullptr || FKind == 1; }

 protected:
  virtual void Change();

 private:
  void FreePidl();
  std::uint8_t FKind = 0;
  win::LPITEMIDLIST FPidl = nullptr;
  std::uint8_t FSpecialFolder = 0;
};

// The column source of a folder (null when it has none). The caller releases it.
win::IShellDetails* GetShellDetails(win::IShellFolder* Folder);

class TShellFolder2ToShellDetailsAdapter : public TObject, public win::IShellDetails {
 public:
  explicit TShellFolder2ToShellDetailsAdapter(win::IShellFolder2* Folder);
  ~TShellFolder2ToShellDetailsAdapter() override;
  win::HRESULT QueryInterface(win::REFIID riid, void** ppv) override;
  win::ULONG AddRef() override;
  win::ULONG Release() override;
  // Only the columns the folder shows by default; others E_INVALIDARG.
  win::HRESULT GetDetailsOf(win::LPCITEMIDLIST pidl, win::UINT column,
                            win::SHELLDETAILS* details) override;
  win::HRESULT ColumnClick(win::UINT column) override;  // E_NOTIMPL

 private:
  std::atomic<std::int32_t> FRefCount{0};
  win::IShellFolder2* FFolder;
};

// =========================================================================================
// Data of a shell tree node. The tree sets the own folder of the root node.
class TScCustomShellTree;
class TScShTreeData : public TObject {
 public:
  explicit TScShTreeData(TScCustomShellTree* Tree);
  ~TScShTreeData() override;
  TScShTreeData(const TScShTreeData&) = delete;
  TScShTreeData& operator=(const TScShTreeData&) = delete;

  // Stores ParentData and a copy of RelativePidl; drops the absolute cache.
  void Init(TScShTreeData* ParentData, win::LPCITEMIDLIST RelativePidl);
  TScCustomShellTree* Tree() const { return FTree; }
  TScShTreeData* ParentData() const { return FParentData; }
  win::LPITEMIDLIST RelativePidl() const { return FRelativePidl; }
  // Owned and cached; null for the root on the desktop.
  win::LPITEMIDLIST AbsolutePidl();
  win::ComPtr<win::IShellFolder> ParentFolder();
  win::ComPtr<win::IShellFolder> ShellFolder();  // desktop failure raises EOleSysError
  void SetOwnFolder(win::IShellFolder* Folder);  // root node only
  std::string Path();
  bool CanRename();
  void SetRelativePidl(win::LPCITEMIDLIST Value);  // after a rename (copied)
  void Invalidate();
  win::HRESULT GetDropTarget(win::HWND Window, win::IDropTarget** Target);

 private:
  TScCustomShellTree* FTree;
  TScShTreeData* FParentData = nullptr;
  win::LPITEMIDLIST FRelativePidl = nullptr;
  win::LPITEMIDLIST FAbsolutePidl = nullptr;
  win::ComPtr<win::IShellFolder> FOwnFolder;
  win::ComPtr<win::IShellFolder> FRootParentFolder;
};

// What item data asks of the list that owns it: TScCustomShellList implements this.
class IScShListDataOwner {
 public:
  virtual win::IShellFolder* CurrentShellFolder() = 0;  // no reference added
  virtual win::LPCITEMIDLIST CurrentFolderPidl() = 0;   // the list's folder list
  virtual win::IShellDetails* DetailsSource() = 0;      // no reference added; may be null

 protected:
  ~IScShListDataOwner() = default;
};

class TScShListData : public TObject {
 public:
  explicit TScShListData(IScShListDataOwner* List);
  ~TScShListData() override;
  TScShListData(const TScShListData&) = delete;
  TScShListData& operator=(const TScShListData&) = delete;

  IScShListDataOwner* List() const { return FList; }
  win::LPITEMIDLIST RelativePidl() const { return FRelativePidl; }
  // Takes ownership (no copy) and invalidates.
  void SetRelativePidl(win::LPITEMIDLIST Value);
  void Invalidate();
  win::LPITEMIDLIST AbsolutePidl();  // owned, cached
  std::string Path();
  win::DWORD Attributes();
  bool IsFolder();
  bool CanRename();
  bool IsShortcut();
  std::string DisplayName();
  std::string ColumnText(int Index);
  void ComputeColumnTexts();

 private:
  IScShListDataOwner* FList;
  win::LPITEMIDLIST FAbsolutePidl = nullptr;
  win::LPITEMIDLIST FRelativePidl = nullptr;
  bool FColumnTextsReady = false;
  bool FDisplayNameReady = false;
  std::string FDisplayName;
  std::string FSizeText, FTypeText, FModifiedText;
};

// Data of a shell combo item: released and freed on destruction.
class TScShComboData : public TObject {
 public:
  TScShComboData() = default;
  ~TScShComboData() override;
  TScShComboData(const TScShComboData&) = delete;
  TScShComboData& operator=(const TScShComboData&) = delete;
  win::ComPtr<win::IUnknown> Interface1, Interface2;
  win::LPITEMIDLIST Pidl1 = nullptr, Pidl2 = nullptr, Pidl3 = nullptr;
};
