#pragma once
// The shell's context menus of file-system items and folders (IShellFolder::GetUIObjectOf
// with IID_IContextMenu, CreateViewObject for a folder's background). Commands, by offset
// from the first id given to QueryContextMenu, and their verbs:
//    0 "open"      a folder: opened (journal "shell", "open <path>"); a file: ShellExecute
//    1 "explore"   folders only; as open
//   16 "link"      makes "Raccourci vers <name>.lnk" beside the item
//   17 "delete"    deletes the items (folders with their contents)
//   18 "rename"    nothing by itself: callers start their own label edit
//   19 "properties" journaled only
//   24 "cut", 25 "copy"  put the items on the OLE clipboard (cut marks them to be moved)
//   26 "paste"     copies (or moves, after cut) the clipboard's files into the folder
//   27 "newfolder" background menu: "Nouveau dossier" (numbered when taken)
// A sub-menu "Envoyer vers" holds one grayed placeholder, as the shell's does before its
// owner fills it. Every action goes through the machine's file calls, is journaled (kind
// "shell") and sends its SHChangeNotify; deletes and replacements ask first
// (FileOperation.h), and a declined question answers S_FALSE. The menu objects do not
// implement IContextMenu2.
// A drive root, My Computer ("::{CLSID}") or the desktop offers only open, explore, paste
// (a drive or the desktop), link (not My Computer) and properties: never delete, cut,
// copy, rename or Send To.
#include <string>
#include <vector>

#include "platform/shell/Com.h"
#include "platform/shell/Menus.h"

namespace win {

inline constexpr IID IID_IContextMenu = {0x000214E4, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IContextMenu2 = {0x000214F4, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr UINT CMF_NORMAL = 0x0;
inline constexpr UINT CMF_DEFAULTONLY = 0x1;
inline constexpr UINT CMF_VERBSONLY = 0x2;
inline constexpr UINT CMF_EXPLORE = 0x4;
inline constexpr UINT CMF_NOVERBS = 0x8;
inline constexpr UINT CMF_CANRENAME = 0x10;
inline constexpr UINT CMF_NODEFAULT = 0x20;
inline constexpr UINT CMF_INCLUDESTATIC = 0x40;

inline constexpr UINT GCS_VERBA = 0x0;
inline constexpr UINT GCS_HELPTEXTA = 0x1;
inline constexpr UINT GCS_VALIDATEA = 0x2;
inline constexpr UINT GCS_VERBW = 0x4;
inline constexpr UINT GCS_HELPTEXTW = 0x5;

// Command offsets of our menus.
inline constexpr UINT SHCMD_OPEN = 0, SHCMD_EXPLORE = 1, SHCMD_LINK = 16, SHCMD_DELETE = 17,
                      SHCMD_RENAME = 18, SHCMD_PROPERTIES = 19, SHCMD_CUT = 24, SHCMD_COPY = 25,
                      SHCMD_PASTE = 26, SHCMD_NEWFOLDER = 27;

struct CMINVOKECOMMANDINFO {
  DWORD cbSize = sizeof(CMINVOKECOMMANDINFO);
  DWORD fMask = 0;
  HWND hwnd = nullptr;
  LPCSTR lpVerb = nullptr;  // a verb text, or MAKEINTRESOURCEA(offset)
  LPCSTR lpParameters = nullptr;
  LPCSTR lpDirectory = nullptr;
  int nShow = 1;
  DWORD dwHotKey = 0;
  HANDLE hIcon = nullptr;
};
inline LPCSTR MAKEINTRESOURCEA(UINT i) { return reinterpret_cast<LPCSTR>(std::uintptr_t(WORD(i))); }
inline bool IS_INTRESOURCE(const void* p) {
  return (reinterpret_cast<std::uintptr_t>(p) >> 16) == 0;
}

class IContextMenu : public IUnknown {
 public:
  // Adds the items at indexMenu with ids first + offset (only offsets that fit below
  // last); the result is MAKE_HRESULT(0, 0, largest offset used + 1).
  virtual HRESULT QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                   UINT flags) = 0;
  // An unknown verb or offset: E_INVALIDARG; a failed file call: HRESULT_FROM_WIN32.
  virtual HRESULT InvokeCommand(CMINVOKECOMMANDINFO* info) = 0;
  // GCS_VERBA / GCS_HELPTEXTA (French help text) / GCS_VALIDATEA for an offset.
  virtual HRESULT GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, char* name,
                                   UINT cchMax) = 0;
};

class IContextMenu2 : public IContextMenu {
 public:
  virtual HRESULT HandleMenuMsg(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// The menu of file-system items (full paths, all in folderPath; My Computer as its parsing
// name), or with no items the background menu of folderPath. Served by IShellFolder::GetUIObjectOf
// / CreateViewObject.
HRESULT CreateFileContextMenu(const std::string& folderPath,
                              const std::vector<std::string>& itemPaths, REFIID riid, void** ppv);

}  // namespace win
