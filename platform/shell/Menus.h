#pragma once
// Popup menus (user32) as the shell's context menus fill them. A menu is data: items with
// an id or a sub-menu, a text, flags and item data. TrackPopupMenu asks a chooser (the UI
// driver, or a test) when one is set; otherwise it shows the menu's window (PopupMenuWindow)
// and waits for a person to choose.
#include <functional>
#include <string>

#include "platform/forms/Messages.h"
#include "platform/system/WinTypes.h"

namespace win {

struct HMENU__;
using HMENU = HMENU__*;

inline constexpr UINT MF_STRING = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_CHECKED = 0x0008;
inline constexpr UINT MF_POPUP = 0x0010;
inline constexpr UINT MF_HILITE = 0x0080;
inline constexpr UINT MF_OWNERDRAW = 0x0100;
inline constexpr UINT MF_BYPOSITION = 0x0400;
inline constexpr UINT MF_SEPARATOR = 0x0800;
inline constexpr UINT MF_DEFAULT = 0x1000;
inline constexpr UINT MF_SYSMENU = 0x2000;
inline constexpr UINT MFS_GRAYED = 0x0003;
inline constexpr UINT MFS_HILITE = 0x0080;
inline constexpr UINT MFS_DEFAULT = 0x1000;
inline constexpr UINT TPM_LEFTALIGN = 0x0000;
inline constexpr UINT TPM_RIGHTBUTTON = 0x0002;
inline constexpr UINT TPM_RETURNCMD = 0x0100;
inline constexpr UINT GMDI_USEDISABLED = 0x1;
inline constexpr UINT GMDI_GOINTOPOPUPS = 0x2;
inline constexpr UINT MNC_IGNORE = 0, MNC_CLOSE = 1, MNC_EXECUTE = 2, MNC_SELECT = 3;
inline constexpr UINT ODT_MENU = 1;

// WM_MEASUREITEM's record (the owner sets the two sizes).
struct MEASUREITEMSTRUCT {
  UINT CtlType = 0, CtlID = 0, itemID = 0, itemWidth = 0, itemHeight = 0;
  std::uintptr_t itemData = 0;
};

HMENU CreatePopupMenu();
HMENU CreateMenu();
BOOL DestroyMenu(HMENU menu);  // sub-menus too
BOOL IsMenu(HMENU menu);
// newItem: the command id, or the sub-menu (HMENU) with MF_POPUP; text: the caption, or
// the item data (as a pointer-sized value) with MF_OWNERDRAW.
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR newItem, const char* text);
BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);  // destroys a sub-menu
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);  // keeps a sub-menu
int GetMenuItemCount(HMENU menu);                        // -1 for a bad menu
UINT GetMenuItemID(HMENU menu, int position);            // 0xFFFFFFFF for a sub-menu or bad
HMENU GetSubMenu(HMENU menu, int position);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);  // MF_* bits; 0xFFFFFFFF when absent
int GetMenuString(HMENU menu, UINT item, char* buffer, int size, UINT flags);
std::uintptr_t GetMenuItemData(HMENU menu, UINT item, UINT flags);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
BOOL HiliteMenuItem(HWND hwnd, HMENU menu, UINT item, UINT hilite);
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags);  // 0xFFFFFFFF: none

// The chooser gets the menu and the owner window and answers the chosen command id (0:
// nothing). With TPM_RETURNCMD the id is returned; otherwise it is sent as WM_COMMAND to
// the owner and TRUE returned.
using PopupMenuChooser = std::function<UINT(HMENU menu, HWND owner)>;
PopupMenuChooser SetPopupMenuChooser(PopupMenuChooser chooser);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect);
// Looks a command up by caption (without '&', without regard to case) through sub-menus.
UINT FindMenuCommand(HMENU menu, const std::string& caption);

}  // namespace win
