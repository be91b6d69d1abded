#pragma once
// The shell name space over the simulated PC:
//   Desktop (the empty list, "Bureau")
//     +- My Computer ("Poste de travail", CSIDL_DRIVES)
//     |    +- the machine's drives (A:, C:, D: ... as GetLogicalDrives gives them)
//     |         +- folders and files, through the machine's file calls
//     +- the files and folders of the user's desktop folder
// Folder objects answer IShellFolder / IShellFolder2; GetUIObjectOf gives IContextMenu
// (ContextMenu.h), IDropTarget (DragDrop.h) and IDataObject (Ole.h) for file-system items.
//
// Display names (GetDisplayNameOf, answered as STRRET_WSTR):
//   desktop: "Bureau"; FORPARSING: the desktop folder's path
//   My Computer: "Poste de travail"; FORPARSING: "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"
//   drive: "Disque local (C:)", "Disquette 3½ (A:)", "Lecteur CD (D:)", "Disque amovible
//          (E:)", "Lecteur réseau (F:)"; FORPARSING: "C:\"
//   file or folder: its long name; FORPARSING without INFOLDER: the full path
// Attributes (GetAttributesOf, ANDed over the items and the request):
//   file-system folder: FOLDER FILESYSTEM FILESYSANCESTOR HASSUBFOLDER (when it has a
//     sub-folder) CANCOPY CANMOVE CANLINK CANRENAME CANDELETE HASPROPSHEET DROPTARGET
//   file: FILESYSTEM CANCOPY CANMOVE CANLINK CANRENAME CANDELETE HASPROPSHEET, LINK for
//     ".lnk"; both READONLY / HIDDEN from the file attributes
//   drive: FOLDER FILESYSTEM FILESYSANCESTOR HASSUBFOLDER CANLINK HASPROPSHEET DROPTARGET,
//     REMOVABLE for removable and CD drives (whose READONLY is set too)
//   My Computer: FOLDER FILESYSANCESTOR HASSUBFOLDER CANLINK HASPROPSHEET
// CompareIDs(column, a, b): item by item from the first; folders (and virtual items) before
// files, then column 0 the name without regard to case, 1 the size, 2 the type text, 3 the
// last-write time (each tie broken by the name). The answer is S_OK with the low 16 bits a
// signed -1, 0 or 1; E_INVALIDARG for a malformed list.
#include <string>

#include "platform/forms/CommonControls.h"  // LVCFMT_ of the column details
#include "platform/shell/Com.h"
#include "platform/shell/ItemIdList.h"

namespace win {

inline constexpr IID IID_IShellFolder = {0x000214E6, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellFolder2 = {
    0x93F2F68C, 0x1D1B, 0x11D3, {0xA3, 0x0E, 0x00, 0xC0, 0x4F, 0x79, 0xAB, 0xD1}};
inline constexpr IID IID_IEnumIDList = {0x000214F2, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellDetails = {0x000214EC, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IShellBrowser = {0x000214E2, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr CLSID CLSID_MyComputer = {
    0x20D04FE0, 0x3AEA, 0x1069, {0xA2, 0xD8, 0x08, 0x00, 0x2B, 0x30, 0x30, 0x9D}};

// Special folders (CSIDL_FONTS, _WINDOWS, _SYSTEM, _PROGRAM_FILES in ShellFolders.h).
inline constexpr int CSIDL_DESKTOP = 0x0000;
inline constexpr int CSIDL_INTERNET = 0x0001;
inline constexpr int CSIDL_PROGRAMS = 0x0002;
inline constexpr int CSIDL_CONTROLS = 0x0003;
inline constexpr int CSIDL_PRINTERS = 0x0004;
inline constexpr int CSIDL_PERSONAL = 0x0005;
inline constexpr int CSIDL_FAVORITES = 0x0006;
inline constexpr int CSIDL_STARTUP = 0x0007;
inline constexpr int CSIDL_RECENT = 0x0008;
inline constexpr int CSIDL_SENDTO = 0x0009;
inline constexpr int CSIDL_BITBUCKET = 0x000A;
inline constexpr int CSIDL_STARTMENU = 0x000B;
inline constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
inline constexpr int CSIDL_DRIVES = 0x0011;
inline constexpr int CSIDL_NETWORK = 0x0012;
inline constexpr int CSIDL_NETHOOD = 0x0013;
inline constexpr int CSIDL_TEMPLATES = 0x0015;
inline constexpr int CSIDL_APPDATA = 0x001A;

inline constexpr DWORD SFGAO_CANCOPY = 0x1;
inline constexpr DWORD SFGAO_CANMOVE = 0x2;
inline constexpr DWORD SFGAO_CANLINK = 0x4;
inline constexpr DWORD SFGAO_STORAGE = 0x8;
inline constexpr DWORD SFGAO_CANRENAME = 0x10;
inline constexpr DWORD SFGAO_CANDELETE = 0x20;
inline constexpr DWORD SFGAO_HASPROPSHEET = 0x40;
inline constexpr DWORD SFGAO_DROPTARGET = 0x100;
inline constexpr DWORD SFGAO_CAPABILITYMASK = 0x177;
inline constexpr DWORD SFGAO_LINK = 0x10000;
inline constexpr DWORD SFGAO_SHARE = 0x20000;
inline constexpr DWORD SFGAO_READONLY = 0x40000;
inline constexpr DWORD SFGAO_GHOSTED = 0x80000;
inline constexpr DWORD SFGAO_HIDDEN = 0x80000;
inline constexpr DWORD SFGAO_DISPLAYATTRMASK = 0xFC000;
inline constexpr DWORD SFGAO_NONENUMERATED = 0x100000;
inline constexpr DWORD SFGAO_NEWCONTENT = 0x200000;
inline constexpr DWORD SFGAO_VALIDATE = 0x1000000;
inline constexpr DWORD SFGAO_REMOVABLE = 0x2000000;
inline constexpr DWORD SFGAO_COMPRESSED = 0x4000000;
inline constexpr DWORD SFGAO_BROWSABLE = 0x8000000;
inline constexpr DWORD SFGAO_FILESYSANCESTOR = 0x10000000;
inline constexpr DWORD SFGAO_FOLDER = 0x20000000;
inline constexpr DWORD SFGAO_FILESYSTEM = 0x40000000;
inline constexpr DWORD SFGAO_HASSUBFOLDER = 0x80000000;
inline constexpr DWORD SFGAO_CONTENTSMASK = 0x80000000;

inline constexpr DWORD SHGDN_NORMAL = 0x0;
inline constexpr DWORD SHGDN_INFOLDER = 0x1;
inline constexpr DWORD SHGDN_FOREDITING = 0x1000;
inline constexpr DWORD SHGDN_FORADDRESSBAR = 0x4000;
inline constexpr DWORD SHGDN_FORPARSING = 0x8000;

inline constexpr DWORD SHCONTF_FOLDERS = 0x20;
inline constexpr DWORD SHCONTF_NONFOLDERS = 0x40;
inline constexpr DWORD SHCONTF_INCLUDEHIDDEN = 0x80;

inline constexpr UINT STRRET_WSTR = 0;
inline constexpr UINT STRRET_OFFSET = 1;
inline constexpr UINT STRRET_CSTR = 2;
struct STRRET {
  UINT uType = STRRET_CSTR;
  union {
    LPOLESTR pOleStr;  // task-allocated; the receiver frees it (CoTaskMemFree)
    UINT uOffset;      // offset of 8-bit text inside the item
    char cStr[260];    // UTF-8, zero-terminated
  };
  STRRET() : cStr{} {}
};

struct SHELLDETAILS {
  int fmt = LVCFMT_LEFT;
  int cxChar = 0;  // width in characters
  STRRET str;
};

inline constexpr DWORD SHCOLSTATE_TYPE_STR = 0x1;
inline constexpr DWORD SHCOLSTATE_TYPE_INT = 0x2;
inline constexpr DWORD SHCOLSTATE_TYPE_DATE = 0x3;
inline constexpr DWORD SHCOLSTATE_ONBYDEFAULT = 0x10;
inline constexpr DWORD SHCOLSTATE_SLOW = 0x20;
inline constexpr DWORD SHCOLSTATE_HIDDEN = 0x100;
using SHCOLSTATEF = DWORD;

struct SHCOLUMNID {
  GUID fmtid;
  DWORD pid = 0;
};
struct VARIANT;
class IEnumExtraSearch;

class IEnumIDList : public IUnknown {
 public:
  // Fetches up to celt task-allocated child lists: S_OK when all were fetched, else S_FALSE.
  virtual HRESULT Next(ULONG celt, LPITEMIDLIST* rgelt, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG celt) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumIDList** ppenum) = 0;
};

class IShellFolder : public IUnknown {
 public:
  // Desktop: a full path ("C:\x\y", case-insensitive, the result spelled as on disk) or
  // "::{CLSID}" of My Computer; a folder: a name or a relative path below it. A missing
  // item gives HRESULT_FROM_WIN32(2) (3 for a missing folder on the way), a malformed
  // name E_INVALIDARG. attributes (optional) in: request, out: the item's attributes.
  virtual HRESULT ParseDisplayName(HWND owner, IBindCtx* bc, LPCOLESTR name, ULONG* eaten,
                                   LPITEMIDLIST* ppidl, ULONG* attributes) = 0;
  virtual HRESULT EnumObjects(HWND owner, DWORD flags, IEnumIDList** ppenum) = 0;
  // riid IID_IShellFolder or IID_IShellFolder2 for a folder item (one or more levels).
  virtual HRESULT BindToObject(LPCITEMIDLIST pidl, IBindCtx* bc, REFIID riid, void** ppv) = 0;
  virtual HRESULT BindToStorage(LPCITEMIDLIST pidl, IBindCtx* bc, REFIID riid, void** ppv) = 0;
  virtual HRESULT CompareIDs(LPARAM column, LPCITEMIDLIST a, LPCITEMIDLIST b) = 0;
  // IID_IShellDetails (the folder's columns), IID_IDropTarget, IID_IContextMenu (the
  // folder's background menu: paste, new folder, properties).
  virtual HRESULT CreateViewObject(HWND owner, REFIID riid, void** ppv) = 0;
  virtual HRESULT GetAttributesOf(UINT cidl, LPCITEMIDLIST_ARRAY items, ULONG* inOut) = 0;
  // IID_IContextMenu, IID_IDataObject, IID_IDropTarget (one folder item).
  virtual HRESULT GetUIObjectOf(HWND owner, UINT cidl, LPCITEMIDLIST_ARRAY items, REFIID riid,
                                UINT* reserved, void** ppv) = 0;
  virtual HRESULT GetDisplayNameOf(LPCITEMIDLIST pidl, DWORD flags, STRRET* name) = 0;
  // Renames a file-system item (journaled, change notification sent); the new child id
  // goes to *newPidl when asked. HRESULT_FROM_WIN32 of the file error on failure.
  virtual HRESULT SetNameOf(HWND owner, LPCITEMIDLIST pidl, LPCOLESTR name, DWORD flags,
                            LPITEMIDLIST* newPidl) = 0;
};

class IShellFolder2 : public IShellFolder {
 public:
  virtual HRESULT GetDefaultSearchGUID(GUID* guid) = 0;         // E_NOTIMPL
  virtual HRESULT EnumSearches(IEnumExtraSearch** ppenum) = 0;  // E_NOTIMPL
  virtual HRESULT GetDefaultColumn(DWORD reserved, ULONG* sort, ULONG* display) = 0;
  virtual HRESULT GetDefaultColumnState(UINT column, SHCOLSTATEF* flags) = 0;
  virtual HRESULT GetDetailsEx(LPCITEMIDLIST pidl, const SHCOLUMNID* scid,
                               VARIANT* v) = 0;  // E_NOTIMPL
  // Null pidl: the column's title. Columns of file-system folders: 0 "Nom", 1 "Taille",
  // 2 "Type", 3 "Modifié", 4 "Attributs" (not on by default); My Computer: 0 "Nom",
  // 1 "Type", 2 "Taille totale", 3 "Espace libre". Past the last: E_INVALIDARG.
  virtual HRESULT GetDetailsOf(LPCITEMIDLIST pidl, UINT column, SHELLDETAILS* details) = 0;
  virtual HRESULT MapColumnToSCID(UINT column, SHCOLUMNID* scid) = 0;  // E_NOTIMPL
};

class IShellDetails : public IUnknown {
 public:
  virtual HRESULT GetDetailsOf(LPCITEMIDLIST pidl, UINT column, SHELLDETAILS* details) = 0;
  virtual HRESULT ColumnClick(UINT column) = 0;
};

class IShellBrowser;

// The name space's entry points.
HRESULT SHGetDesktopFolder(IShellFolder** ppshf);
HRESULT SHGetMalloc(IMalloc** ppmalloc);
// CSIDL_DESKTOP gives the empty list, CSIDL_DRIVES My Computer's; folders with a path
// (CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_SENDTO, CSIDL_PROGRAMS, CSIDL_STARTMENU,
// CSIDL_APPDATA, CSIDL_FONTS, CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES...) their
// parsed path. Paths come from HKCU ...\Explorer\Shell Folders, else the user's profile;
// a folder that does not exist yet is created, as Windows does for the user's folders.
// Other ids: E_INVALIDARG; a path that cannot be made: HRESULT_FROM_WIN32 of the error.
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* ppidl);
// The Windows path of a special folder (empty when it has none).
std::string SpecialFolderPath(int csidl);
// The file-system path of an absolute list ("C:\", "C:\x\y"; the empty list gives the
// desktop folder's path). FALSE and path "" for items without one or a malformed list.
BOOL SHGetPathFromIDList(LPCITEMIDLIST pidl, char* path);  // path: MAX_PATH bytes
inline BOOL SHGetPathFromIDListA(LPCITEMIDLIST pidl, char* path) {
  return SHGetPathFromIDList(pidl, path);
}
// The absolute list of a path (SHILCreateFromPath / SHParseDisplayName).
HRESULT SHParseDisplayName(const std::string& name, LPITEMIDLIST* ppidl, ULONG sfgaoIn,
                           ULONG* sfgaoOut);
// No explorer runs here: E_FAIL.
HRESULT SHGetInstanceExplorer(IUnknown** ppunk);
// Converts and frees a STRRET (StrRetToBuf); pidl serves STRRET_OFFSET.
HRESULT StrRetToStr(STRRET* sr, LPCITEMIDLIST pidl, std::string* out);

}  // namespace win
