#include "shellcontrols/UScShellControls.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "platform/forms/ClassesImpl.h"
#include "platform/forms/Controls.h"
#include "platform/forms/ForegroundWindow.h"
#include "platform/forms/Forms.h"
#include "platform/forms/MessageDialogs.h"
#include "platform/forms/Screen.h"
#include "platform/forms/SystemMetrics.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/shell/Drives.h"
#include "platform/shell/FileInfo.h"
#include "platform/system/Clock.h"
#include "platform/system/ErrorMessages.h"
#include "platform/system/Exceptions.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Text.h"
#include "shellcontrols/UScShConsts.h"
#include "shellcontrols/UScTreeList.h"

using namespace win;

// ---- Unit-wide values -------------------------------------------------------------------

int MouseHoverTime = 400;
int MouseHoverWidth = 2;
int MouseHoverHeight = 2;
UINT ShellIdListFormat = 0;
std::vector<std::int32_t> ColumnWidthStore;
TScRememberedCols RememberedDirectoryCols;
TScShellControlDefKeyRec ShellControlDefKeys[7] = {
    {SScKeySelectAll, 0}, {SScKeyDelete, 0},  {SScKeyCopy, 0},  {SScKeyCut, 0},
    {SScKeyPaste, 0},     {SScKeyRefresh, 0}, {SScKeyRename, 0}};

namespace {
int gInitCount = 0;
bool gKeysParsed = false;
TStringList* gSendToList = nullptr;

constexpr UINT SPI_GETMOUSEHOVERWIDTH = 0x62;
constexpr UINT SPI_GETMOUSEHOVERHEIGHT = 0x64;
constexpr UINT SPI_GETMOUSEHOVERTIME = 0x66;
}  // namespace

void EnsureShellControlsStarted() {
  if (gInitCount == 0) StartShellControlsUnit();
}

void StartShellControlsUnit() {
  if (gInitCount++ != 0) return;
  StartShellUtilsUnit();
  ShellIdListFormat = RegisterClipboardFormat(CFSTR_SHELLIDLIST);
  ColumnWidthStore.clear();
  RememberedDirectoryCols = TScRememberedCols{};
  OleInitialize(nullptr);
  UINT value = 0;
  if (SystemParametersInfo(SPI_GETMOUSEHOVERTIME, 0, &value, 0)) MouseHoverTime = int(value);
  if (SystemParametersInfo(SPI_GETMOUSEHOVERWIDTH, 0, &value, 0)) MouseHoverWidth = int(value);
  if (SystemParametersInfo(SPI_GETMOUSEHOVERHEIGHT, 0, &value, 0)) MouseHoverHeight = int(value);
}

void StopShellControlsUnit() {
  if (gInitCount == 0 || --gInitCount != 0) return;
  delete gSendToList;
  gSendToList = nullptr;
  ColumnWidthStore.clear();
  OleUninitialize();
  gKeysParsed = false;
  for (auto& k : ShellControlDefKeys) k.ShortCut = 0;
  StopShellUtilsUnit();
}

// ---- The default key table ------------------------------------------------------------------

void InitShellControlDefKeys() {
  if (gKeysParsed) return;
  for (auto& k : ShellControlDefKeys) k.ShortCut = TextToShortCut(GetShellResString(k.Text));
  gKeysParsed = true;
}

bool ShellControlDefKeysParsed() { return gKeysParsed; }

// ---- New folders ---------------------------------------------------------------------------

namespace {
void ShowFolderWarning(DWORD code, const std::string& name) {
  std::string msg =
      FormatStrPos(GetShellResString(SScCannotCreateFolder), {SysErrorMessage(code), name});
  MessageDlg(msg, mtWarning, MsgButtons({mbOK}), 0);
}
}  // namespace

bool CreateUniqueNewFolder(const std::string& Directory, std::string& Name) {
  std::string dir = Directory;
  if (dir.empty()) {
    char buffer[MAX_PATH + 1] = {};
    GetCurrentDirectory(sizeof(buffer), buffer);
    dir = buffer;
  }
  dir = IncludeTrailingChar(dir, '\\');
  const std::string base = GetShellResString(SScNewFolder);
  for (int scheme = 0; scheme < 2; ++scheme) {
    for (int n = 1; n <= ScNewFolderTries; ++n) {
      std::string name = scheme == 0 ? (n == 1 ? base : base + " (" + std::to_string(n) + ")")
                                     : (n == 1 ? std::string("fldr") : "fldr" + std::to_string(n));
      if (CreateDirectory(dir + name)) {
        Name = name;
        return true;
      }
      DWORD err = GetLastError();
      if (err == ERROR_ALREADY_EXISTS) continue;
      ShowFolderWarning(err, name);
      break;
    }
  }
  ShowFolderWarning(ERROR_ALREADY_EXISTS, base);
  return false;
}

// ---- Column texts --------------------------------------------------------------------------

std::string FormatFileSizeKB(std::int64_t Size) {
  std::int64_t kb = Size / 1024 + (Size % 1024 ? 1 : 0);
  // "%.0n": thousands separated by the French separator (a blank).
  std::string digits = std::to_string(kb), grouped;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count && count % 3 == 0 && *it != '-') grouped.insert(grouped.begin(), ' ');
    grouped.insert(grouped.begin(), *it);
    ++count;
  }
  std::string fmt = GetShellResString(SScSizeKB);
  auto pos = fmt.find("%s");
  if (pos != std::string::npos) fmt.replace(pos, 2, grouped);
  return fmt;
}

namespace {
// Days from 1899-12-30 to the date (proleptic Gregorian).
double EncodeDate(int y, int m, int d) {
  auto days = [](int y, int m, int d) {
    y -= m <= 2;
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;  // days since 1970-01-01
  };
  return double(days(y, m, d) - days(1899, 12, 30));
}
void DecodeDate(double dt, int& y, int& m, int& d) {
  long z = long(std::floor(dt)) + (25569 - 25569);  // days since 1899-12-30
  z -= 25569;                                       // to 1970-01-01
  z += 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long yy = yoe + era * 400;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = int(yy + (m <= 2));
}
}  // namespace

TDateTime FileTimeToLocalDateTime(const FILETIME& FileTime) {
  FILETIME local;
  SYSTEMTIME st;
  FileTimeToLocalFileTime(&FileTime, &local);
  FileTimeToSystemTime(&local, &st);
  return EncodeDate(st.wYear, st.wMonth, st.wDay) +
         (st.wHour * 3600000.0 + st.wMinute * 60000.0 + st.wSecond * 1000.0 + st.wMilliseconds) /
             86400000.0;
}

std::string FormatShortDateTime(TDateTime Value) {
  int y, m, d;
  DecodeDate(Value, y, m, d);
  double frac = Value - std::floor(Value);
  long ms = long(std::llround(frac * 86400000.0));
  int hh = int(ms / 3600000) % 24, nn = int(ms / 60000) % 60;
  char buffer[40];
  std::snprintf(buffer, sizeof(buffer), "%02d/%02d/%04d %02d:%02d", d, m, y, hh, nn);
  return buffer;
}

void FileSizeAndDateTexts(LPCITEMIDLIST AbsolutePidl, std::string& SizeText,
                          std::string& DateText) {
  SizeText.clear();
  DateText.clear();
  std::string path = PidlToPath(AbsolutePidl);
  if (path.size() <= 3) return;
  WIN32_FIND_DATA fd;
  HANDLE h = FindFirstFile(path, &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  FindClose(h);
  if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    SizeText = FormatFileSizeKB((std::int64_t(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow);
  FILETIME t = fd.ftLastWriteTime;
  if (t.dwLowDateTime == 0 && t.dwHighDateTime == 0) t = fd.ftCreationTime;
  DateText = FormatShortDateTime(FileTimeToLocalDateTime(t));
}

std::string FileTypeText(LPCITEMIDLIST AbsolutePidl, DWORD Attributes) {
  if (!(Attributes & SFGAO_FILESYSTEM)) return GetShellResString(SScSystemFolder);
  SHFILEINFO info{};
  if (!SHGetFileInfoA(reinterpret_cast<const char*>(AbsolutePidl), 0, &info, sizeof(info),
                      SHGFI_TYPENAME | SHGFI_PIDL))
    return "";
  return info.szTypeName;
}

void ComputeDetailTexts(LPCITEMIDLIST AbsolutePidl, DWORD Attributes, std::string& SizeText,
                        std::string& DateText, std::string& TypeText) {
  FileSizeAndDateTexts(AbsolutePidl, SizeText, DateText);
  TypeText = FileTypeText(AbsolutePidl, Attributes);
}

std::string GetItemDisplayName(IShellFolder* Folder, LPCITEMIDLIST RelativeId, DWORD Flags) {
  if (!Folder) return "";
  STRRET sr;
  if (FAILED(Folder->GetDisplayNameOf(RelativeId, Flags, &sr))) return "";
  std::string s;
  StrRetToString(RelativeId, sr, s);
  FreeStrRet(sr);
  return s;
}

// ---- Context menus -------------------------------------------------------------------------

HRESULT CreateItemContextMenu(HWND Owner, IShellFolder* Folder, UINT Count, LPCITEMIDLIST_ARRAY Ids,
                              UINT Flags, UINT FirstId, IContextMenu** ContextMenu, HMENU* Popup) {
  *ContextMenu = nullptr;
  *Popup = nullptr;
  void* out = nullptr;
  HRESULT hr = Folder->GetUIObjectOf(Owner, Count, Ids, IID_IContextMenu, nullptr, &out);
  if (FAILED(hr)) return hr;
  *ContextMenu = static_cast<IContextMenu*>(out);
  try {
    *Popup = CreatePopupMenu();
    OleCheck((*ContextMenu)->QueryContextMenu(*Popup, 0, FirstId, 0x7FFF, Flags));
  } catch (...) {
    (*ContextMenu)->Release();
    *ContextMenu = nullptr;
    if (*Popup) DestroyMenu(*Popup);
    *Popup = nullptr;
    throw;
  }
  return hr;
}

HRESULT InvokeContextMenuCommand(HWND Owner, IContextMenu* ContextMenu, UINT Offset) {
  CMINVOKECOMMANDINFO info;
  info.cbSize = 36;
  info.fMask = 0;
  info.hwnd = Owner;
  info.lpVerb = MAKEINTRESOURCEA(Offset);
  info.nShow = 1;  // SW_SHOWNORMAL
  return ContextMenu->InvokeCommand(&info);
}

HRESULT InvokeContextMenuCommand(HWND Owner, IContextMenu* ContextMenu, const std::string& Verb) {
  int offset = FindContextMenuVerb(ContextMenu, Verb);
  // A menu without the verb runs nothing (rather than its first command).
  if (offset < 0) return E_INVALIDARG;
  return InvokeContextMenuCommand(Owner, ContextMenu, UINT(offset));
}

int FindContextMenuVerb(IContextMenu* ContextMenu, const std::string& Verb) {
  HMENU popup = CreatePopupMenu();
  int result = -1;
  try {
    OleCheck(ContextMenu->QueryContextMenu(popup, 0, 1000, 0x7FFF, CMF_EXPLORE));
    int count = GetMenuItemCount(popup);
    for (int i = 0; i < count && result < 0; ++i) {
      UINT id = GetMenuItemID(popup, i);
      if (id == 0xFFFFFFFF || id < 1000) continue;
      char buffer[261] = {};
      if (SUCCEEDED(ContextMenu->GetCommandString(id - 1000, GCS_VERBA, nullptr, buffer, 261)) &&
          win::AsciiSameText(buffer, Verb))
        result = int(id - 1000);
    }
  } catch (...) {
    DestroyMenu(popup);
    throw;
  }
  DestroyMenu(popup);
  return result;
}

HWND GetOwnerFormWindow(TControl* Control) {
  if (!Control) return nullptr;
  TControl* top = Control;
  while (top->Parent()) top = top->Parent();
  if (auto* form = dynamic_cast<TForm*>(top)) return form->Handle();
  return nullptr;
}

// ---- Item ids and folders ------------------------------------------------------------------

HRESULT BindToParentFolder(LPCITEMIDLIST AbsolutePidl, IShellFolder** Folder,
                           LPITEMIDLIST* ParentPidl, LPITEMIDLIST* LastId) {
  *Folder = nullptr;
  *ParentPidl = nullptr;
  *LastId = nullptr;
  LPITEMIDLIST own = nullptr;
  LPCITEMIDLIST list = AbsolutePidl;
  if (list && !PidlSize(list)) return E_INVALIDARG;  // malformed: never the desktop's folder
  if (PidlSize(list) <= 2) {
    HRESULT hr = PathToPidl(GetSpecialFolderPath(nullptr, CSIDL_DESKTOP), &own);
    if (FAILED(hr)) return hr;
    list = own;
  }
  TScIdListArray ids(list);
  int count = ids.Count();
  HRESULT hr;
  if (count <= 1) {
    hr = GetDesktopFolder(Folder);
    if (SUCCEEDED(hr)) *LastId = CopyPidl(nullptr, list);
  } else {
    *ParentPidl = CopyPidl(nullptr, ids.ParentPidl(1));
    *LastId = CopyPidl(nullptr, ids.ItemId(count - 1));
    hr = GetShellFolder(*ParentPidl, Folder);
  }
  if (FAILED(hr)) {
    ShellFree(*ParentPidl);
    ShellFree(*LastId);
    *ParentPidl = *LastId = nullptr;
  }
  ShellFree(own);
  return hr;
}

HRESULT GetPidlUIObject(LPCITEMIDLIST AbsolutePidl, REFIID riid, void** Object) {
  *Object = nullptr;
  IShellFolder* folder = nullptr;
  LPITEMIDLIST parent = nullptr, last = nullptr;
  HRESULT hr = BindToParentFolder(AbsolutePidl, &folder, &parent, &last);
  if (SUCCEEDED(hr)) {
    LPCITEMIDLIST items[1] = {last};
    hr = folder->GetUIObjectOf(nullptr, 1, items, riid, nullptr, Object);
    folder->Release();
  }
  ShellFree(parent);
  ShellFree(last);
  return hr;
}

HRESULT GetDesktopDropTarget(IDropTarget** Target) {
  *Target = nullptr;
  LPITEMIDLIST desk = nullptr;
  HRESULT hr = PathToPidl(GetSpecialFolderPath(nullptr, CSIDL_DESKTOP), &desk);
  if (FAILED(hr)) return hr;
  hr = GetPidlUIObject(desk, IID_IDropTarget, reinterpret_cast<void**>(Target));
  ShellFree(desk);
  return hr;
}

HRESULT GetDesktopDirParts(LPITEMIDLIST* ParentPidl, LPITEMIDLIST* LastId) {
  *ParentPidl = *LastId = nullptr;
  LPITEMIDLIST desk = nullptr;
  HRESULT hr = PathToPidl(GetSpecialFolderPath(nullptr, CSIDL_DESKTOP), &desk);
  if (FAILED(hr)) return hr;
  TScIdListArray ids(desk);
  int count = ids.Count();
  if (count == 0) {
    hr = E_FAIL;
  } else {
    *ParentPidl = CopyPidl(nullptr, ids.ParentPidl(1));
    *LastId = CopyPidl(nullptr, ids.ItemId(count - 1));
    if (!*ParentPidl || !*LastId) hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) {
    ShellFree(*ParentPidl);
    ShellFree(*LastId);
    *ParentPidl = *LastId = nullptr;
  }
  ShellFree(desk);
  return hr;
}

// ---- Scrolling -----------------------------------------------------------------------------

void ScrollControlStep(TWinControl* Control, int Bar, int Code) {
  if (!Control || Bar < 0 || Bar > 1) return;
  // The toolkit keeps no scroll-bar ranges: the control decides whether it can scroll.
  SendMessage(Control->Handle(), ScScrollMessages[Bar], WPARAM(Code), 0);
}

bool ScrollByWheel(TWinControl* Control, bool Vertical, int LineCode, int PageCode) {
  constexpr int wheelLines = 3;  // the system's default wheel setting
  int bar = Vertical ? 1 : 0;
  if (wheelLines == -1) {
    ScrollControlStep(Control, bar, PageCode);
  } else {
    int n = Vertical ? wheelLines : 1;
    for (int i = 0; i < n; ++i) ScrollControlStep(Control, bar, LineCode);
  }
  return true;
}

// ---- Send To -------------------------------------------------------------------------------

void ListSendToEntries(const std::string& Directory, const std::vector<std::string>& Patterns,
                       TStringList* List) {
  for (const auto& pattern : Patterns) {
    WIN32_FIND_DATA fd;
    HANDLE h = FindFirstFile(Directory + "\\" + pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do {
      if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)) continue;
      LPITEMIDLIST pidl = nullptr;
      int icon = -1;
      if (SUCCEEDED(PathToPidl(Directory + "\\" + fd.cFileName, &pidl)) && pidl)
        icon = GetPidlIconIndex(pidl, SHGFI_SMALLICON);
      ShellFree(pidl);
      List->AddObject(fd.cFileName, reinterpret_cast<TObject*>(std::intptr_t(icon)));
    } while (FindNextFile(h, &fd));
    FindClose(h);
  }
}

TStringList* SendToList() { return gSendToList; }

namespace {
IContextMenu2* AsMenu2(IContextMenu* menu) {
  void* out = nullptr;
  if (menu && SUCCEEDED(menu->QueryInterface(IID_IContextMenu2, &out)) && out)
    return static_cast<IContextMenu2*>(out);
  return nullptr;
}
bool Forward(IContextMenu* menu, TMessage& Message) {
  if (IContextMenu2* m2 = AsMenu2(menu)) {
    m2->HandleMenuMsg(Message.Msg, Message.WParam, Message.LParam);
    m2->Release();
    return true;
  }
  return false;
}
std::string WithoutExtension(const std::string& name) {
  auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}
}  // namespace

void InitSendToMenu(IContextMenu* ContextMenu, TMessage& Message) {
  try {
    if (Forward(ContextMenu, Message)) return;
    auto popup = reinterpret_cast<HMENU>(Message.WParam);
    if (GetMenuItemCount(popup) != 1 || !(GetMenuState(popup, 0, MF_BYPOSITION) & MF_GRAYED))
      return;
    if (!gSendToList) CreateSortedStringList(gSendToList);
    gSendToList->Clear();
    DeleteMenu(popup, 0, MF_BYPOSITION);
    ListSendToEntries(GetSpecialFolderPath(nullptr, CSIDL_SENDTO), {"*"}, gSendToList);
    for (int i = 0; i < gSendToList->Count(); ++i)
      AppendMenu(popup, MF_OWNERDRAW, UINT_PTR(i) + 1,
                 reinterpret_cast<const char*>(std::uintptr_t(i)));
  } catch (...) {
  }
}

namespace {
// The system menu font, made for one drawing or measuring; the caller deletes it.
HFONT CreateMenuFont() {
  NONCLIENTMETRICS metrics;
  if (!SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  return CreateFontIndirect(&metrics.lfMenuFont);
}
}  // namespace

void DrawSendToItem(IContextMenu* ContextMenu, TMessage& Message) {
  try {
    if (Forward(ContextMenu, Message)) return;
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    if (!dis || dis->CtlType != ODT_MENU || dis->itemData >= 1000 || !gSendToList || !dis->hDC)
      return;
    HDC dc = dis->hDC;
    const int index = int(dis->itemData);
    const bool valid = dis->itemID != UINT(-1) && index < gSendToList->Count();
    const bool selected = valid && (dis->itemState & ODS_SELECTED);
    FillRect(dc, &dis->rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
    Message.Result = 1;
    if (!valid) return;
    const RECT& r = dis->rcItem;
    HFONT font = CreateMenuFont();
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    COLORREF oldText =
        SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    TextOut(dc, r.left + 32, r.top + 2, WithoutExtension(gSendToList->Strings(index)));
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldText);
    if (font) {
      SelectObject(dc, oldFont);
      DeleteObject(font);
    }
    const int icon = int(reinterpret_cast<std::intptr_t>(gSendToList->Objects(index)));
    if (icon >= 0)
      ImageList_Draw(GetSystemImageList(0), icon, dc, r.left + 8, r.top + 2, ILD_TRANSPARENT);
  } catch (...) {
  }
}

void MeasureSendToItem(IContextMenu* ContextMenu, TMessage& Message) {
  try {
    if (Forward(ContextMenu, Message)) return;
    auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
    if (!mis || mis->CtlType != ODT_MENU || mis->itemData >= 1000 || !gSendToList) return;
    if (int(mis->itemData) >= gSendToList->Count()) return;
    std::string text = WithoutExtension(gSendToList->Strings(int(mis->itemData)));
    HDC dc = CreateScreenDC();
    HFONT font = CreateMenuFont();
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE extent{};
    GetTextExtentPoint32(dc, text, &extent);
    if (font) {
      SelectObject(dc, old);
      DeleteObject(font);
    }
    DeleteDC(dc);
    mis->itemWidth = UINT(extent.cx + 32);
    mis->itemHeight = UINT(GetSystemMetrics(SM_CYMENU) + 2);
    Message.Result = 1;
  } catch (...) {
  }
}

void SendToMenuChar(IContextMenu* ContextMenu, TMessage& Message) {
  try {
    if (Forward(ContextMenu, Message)) return;
    auto menu = reinterpret_cast<HMENU>(Message.LParam);
    UINT flags = UINT(Message.WParam >> 16) & 0xFFFF;
    if (!gSendToList || !(flags & MF_POPUP)) return;
    char ch = char(std::toupper(static_cast<unsigned char>(Message.WParam & 0xFF)));
    int count = std::min(GetMenuItemCount(menu), gSendToList->Count());
    // No entry begins with the letter: the answer is 1 (MNC_CLOSE as the whole answer, not
    // in the command's word), which leaves the menu open.
    if (count <= 0) {
      Message.Result = MNC_CLOSE;
      return;
    }
    int start = 0;
    for (int i = 0; i < count; ++i)
      if (GetMenuState(menu, UINT(i), MF_BYPOSITION) & MFS_HILITE) {
        start = i;
        break;
      }
    auto first = [&](int i) {
      std::string s = gSendToList->Strings(i);
      return s.empty() ? '\0' : char(std::toupper(static_cast<unsigned char>(s[0])));
    };
    int found = -1, matches = 0;
    for (int k = 1; k <= count; ++k) {
      int i = (start + k) % count;
      if (first(i) == ch) {
        if (found < 0) found = i;
        ++matches;
      }
    }
    if (found < 0)
      Message.Result = MNC_CLOSE;
    else
      Message.Result = LRESULT((UINT(matches > 1 ? MNC_SELECT : MNC_EXECUTE) << 16) | UINT(found));
  } catch (...) {
  }
}

void ShowMenuHint(IContextMenu* ContextMenu, TMessage& Message,
                  const std::function<void(const std::string&)>& HintEvent) {
  if (!ContextMenu || !HintEvent) return;
  try {
    UINT id = UINT(Message.WParam & 0xFFFF);
    UINT flags = UINT(Message.WParam >> 16) & 0xFFFF;
    std::string hint;
    if (id >= 1000 && !(flags & (MF_POPUP | MF_SYSMENU))) {
      char buffer[261] = {};
      if (SUCCEEDED(ContextMenu->GetCommandString(id - 1000, GCS_HELPTEXTA, nullptr, buffer, 261)))
        hint = buffer;
    }
    HintEvent(hint);
  } catch (...) {
  }
}

void SendToMenuMessage(IContextMenu* ContextMenu, TMessage& Message) {
  switch (Message.Msg) {
    case WM_INITMENUPOPUP:
      InitSendToMenu(ContextMenu, Message);
      break;
    case WM_DRAWITEM:
      DrawSendToItem(ContextMenu, Message);
      break;
    case WM_MEASUREITEM:
      MeasureSendToItem(ContextMenu, Message);
      break;
    case WM_MENUCHAR:
      SendToMenuChar(ContextMenu, Message);
      break;
    default:
      break;
  }
}

void DropOnSendToTarget(const std::string& EntryName, IDataObject* Data) {
  LPITEMIDLIST sendTo = nullptr;
  OleCheck(SHGetSpecialFolderLocation(nullptr, CSIDL_SENDTO, &sendTo));
  IShellFolder* folder = nullptr;
  HRESULT hr = GetShellFolder(sendTo, &folder);
  ShellFree(sendTo);
  if (FAILED(hr) || !folder) OleError(FAILED(hr) ? hr : E_FAIL);
  LPITEMIDLIST item = nullptr;
  IDropTarget* target = nullptr;
  try {
    std::u16string wide = ToWide(EntryName);
    if (wide.size() > 260) wide.resize(260);
    ULONG eaten = 0;
    OleCheck(folder->ParseDisplayName(nullptr, nullptr, wide.c_str(), &eaten, &item, nullptr));
    LPCITEMIDLIST items[1] = {item};
    OleCheck(folder->GetUIObjectOf(nullptr, 1, items, IID_IDropTarget, nullptr,
                                   reinterpret_cast<void**>(&target)));
    DWORD effect = DROPEFFECT_COPY;
    POINTL pt;
    target->DragEnter(Data, MK_LBUTTON, pt, &effect);
    effect = DROPEFFECT_COPY;
    target->DragOver(MK_LBUTTON, pt, &effect);
    effect = DROPEFFECT_COPY;
    target->Drop(Data, MK_LBUTTON, pt, &effect);
  } catch (...) {
    if (target) target->Release();
    ShellFree(item);
    folder->Release();
    throw;
  }
  target->Release();
  ShellFree(item);
  folder->Release();
}

// ---- Miscellaneous -------------------------------------------------------------------------

void RaiseSysError(DWORD Code) { throw EOSError(SysErrorMessage(Code), Code); }

void OleError(HRESULT Code) {
  std::string text = SysErrorMessage(DWORD(Code));
  if (text.empty()) text = SysErrorMessage(HRESULT_CODE(Code));
  if (text.empty()) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "Erreur OLE %08X", unsigned(DWORD(Code)));
    text = buffer;
  }
  throw EOleSysError(text, Code);
}

void OleCheck(HRESULT Code) {
  if (FAILED(Code)) OleError(Code);
}

bool IsNotDriveRoot(const std::string& Path) {
  // UTF-8 has no double-byte lead bytes, so only the length decides.
  return Path.size() > 3;
}

void SetWindowStyleBits(HWND Window, DWORD Bits, bool On) {
  if (!Window) return;
  // The toolkit keeps styles on its controls, not on the handles: nothing to write here.
  (void)Bits;
  (void)On;
}

void SleepWithHourglass(int Milliseconds) {
  TCursor old = Screen->Cursor();
  Screen->SetCursor(crHourGlass);
  try {
    Sleep(DWORD(Milliseconds));
  } catch (...) {
    Screen->SetCursor(old);
    throw;
  }
  Screen->SetCursor(old);
}

void CreateSortedStringList(TStringList*& List) {
  List = new TStringList;
  List->SetSorted(true);
  List->SetDuplicates(dupIgnore);
}

TScHourglass::TScHourglass() : FOld(Screen->Cursor()) { Screen->SetCursor(crHourGlass); }
TScHourglass::~TScHourglass() { Screen->SetCursor(FOld); }

TScNoCriticalErrors::TScNoCriticalErrors() : FOld(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
TScNoCriticalErrors::~TScNoCriticalErrors() { SetErrorMode(FOld); }

TShortCut ShortCutOf(WORD Key, TShiftState Shift) {
  TShortCut sc = TShortCut(Key & 0xFF);
  if (Shift & ssShift) sc |= scShift;
  if (Shift & ssCtrl) sc |= scCtrl;
  if (Shift & ssAlt) sc |= scAlt;
  return sc;
}

TWinControl* ControlAtScreen(TWinControl* Root, TPoint At) {
  for (int i = Root->ControlCount() - 1; i >= 0; --i) {
    auto* child = dynamic_cast<TWinControl*>(Root->Controls(i));
    if (!child || !child->Visible()) continue;
    TPoint p = ScScreenToClient(child, At);
    if (p.x >= 0 && p.y >= 0 && p.x < child->Width() && p.y < child->Height())
      return ControlAtScreen(child, At);
  }
  return Root;
}

// ---- Details adapter ------------------------------------------------------------------------

IShellDetails* GetShellDetails(IShellFolder* Folder) {
  if (!Folder) return nullptr;
  void* out = nullptr;
  if (SUCCEEDED(Folder->QueryInterface(IID_IShellFolder2, &out)) && out) {
    auto* f2 = static_cast<IShellFolder2*>(out);
    SHELLDETAILS sd;
    HRESULT hr = f2->GetDetailsOf(nullptr, 0, &sd);
    if (SUCCEEDED(hr)) FreeStrRet(sd.str);
    IShellDetails* result = nullptr;
    if (SUCCEEDED(hr)) {
      result = new TShellFolder2ToShellDetailsAdapter(f2);
      result->AddRef();
    }
    f2->Release();
    if (result) return result;
  }
  out = nullptr;
  if (SUCCEEDED(Folder->QueryInterface(IID_IShellDetails, &out)) && out)
    return static_cast<IShellDetails*>(out);
  out = nullptr;
  if (SUCCEEDED(Folder->CreateViewObject(nullptr, IID_IShellDetails, &out)) && out)
    return static_cast<IShellDetails*>(out);
  return nullptr;
}

TShellFolder2ToShellDetailsAdapter::TShellFolder2ToShellDetailsAdapter(IShellFolder2* Folder)
    : FFolder(Folder) {
  if (FFolder) FFolder->AddRef();
}

TShellFolder2ToShellDetailsAdapter::~TShellFolder2ToShellDetailsAdapter() {
  if (FFolder) FFolder->Release();
}

HRESULT TShellFolder2ToShellDetailsAdapter::QueryInterface(REFIID riid, void** ppv) {
  return QueryOneInterface<IShellDetails>(this, IID_IShellDetails, riid, ppv);
}

ULONG TShellFolder2ToShellDetailsAdapter::AddRef() { return ULONG(++FRefCount); }

ULONG TShellFolder2ToShellDetailsAdapter::Release() {
  std::int32_t n = --FRefCount;
  if (n == 0) delete this;
  return ULONG(n);
}

HRESULT TShellFolder2ToShellDetailsAdapter::GetDetailsOf(LPCITEMIDLIST pidl, UINT column,
                                                         SHELLDETAILS* details) {
  SHCOLSTATEF state = 0;
  HRESULT hr = FFolder->GetDefaultColumnState(column, &state);
  if (FAILED(hr) || (state & SHCOLSTATE_ONBYDEFAULT))
    return FFolder->GetDetailsOf(pidl, column, details);
  return E_INVALIDARG;
}

HRESULT TShellFolder2ToShellDetailsAdapter::ColumnClick(UINT) { return E_NOTIMPL; }
