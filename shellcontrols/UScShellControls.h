#pragma once
// What the shell tree, the shell list, their item data and their drag-and-drop objects
// share: shortcut texts and the default key table, new folders, the list's column texts,
// context-menu plumbing with the fallback Send To submenu, scrolling steps, small window
// helpers, and the details adapter; with the transfer helpers (UScShellTransfer.h), the
// folder reference (UScShellLocator.h) and the item data (UScShellItemData.h) it brings in.
// User-interface thread only.
//
// COM objects made here (enumerator, drop source, details adapter) start with a reference
// count of 0 unless said otherwise: the creator takes the first reference.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Messages.h"
#include "platform/forms/ShortCuts.h"
#include "platform/shell/Com.h"
#include "platform/shell/ContextMenu.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/Menus.h"
#include "platform/shell/Ole.h"
#include "platform/shell/ShellFolder.h"
#include "shellcontrols/UScShellItemData.h"
#include "shellcontrols/UScShellLocator.h"
#include "shellcontrols/UScShellTransfer.h"
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
// While a shell menu shows: the Send To submenu's messages (WM_INITMENUPOPUP, WM_DRAWITEM,
// WM_MEASUREITEM, WM_MENUCHAR) to the functions above; the others are left alone.
void SendToMenuMessage(win::IContextMenu* ContextMenu, TMessage& Message);
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

// The hourglass cursor for the life of the object; the previous cursor comes back.
class TScHourglass {
 public:
  TScHourglass();
  ~TScHourglass();
  TScHourglass(const TScHourglass&) = delete;
  TScHourglass& operator=(const TScHourglass&) = delete;

 private:
  int FOld;
};

// Critical-error boxes off for the life of the object.
class TScNoCriticalErrors {
 public:
  TScNoCriticalErrors();
  ~TScNoCriticalErrors();
  TScNoCriticalErrors(const TScNoCriticalErrors&) = delete;
  TScNoCriticalErrors& operator=(const TScNoCriticalErrors&) = delete;

 private:
  win::UINT FOld;
};

// The shortcut of a key with the modifiers held.
TShortCut ShortCutOf(win::WORD Key, TShiftState Shift);
// The deepest visible windowed control at or below Root that holds the screen point.
TWinControl* ControlAtScreen(TWinControl* Root, TPoint At);

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
