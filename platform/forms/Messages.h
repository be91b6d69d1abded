#pragma once
// Window messages: handles with per-window procedures, sending and posting, one queue per
// thread while it runs (PostMessage is safe from any thread).
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/forms/graphics/GdiTypes.h"

namespace win {

inline constexpr UINT WM_NULL = 0x0000, WM_CREATE = 0x0001, WM_DESTROY = 0x0002, WM_MOVE = 0x0003,
                      WM_SIZE = 0x0005, WM_ACTIVATE = 0x0006, WM_SETFOCUS = 0x0007,
                      WM_KILLFOCUS = 0x0008, WM_ENABLE = 0x000A, WM_SETTEXT = 0x000C,
                      WM_GETTEXT = 0x000D, WM_GETTEXTLENGTH = 0x000E, WM_PAINT = 0x000F,
                      WM_CLOSE = 0x0010, WM_QUERYENDSESSION = 0x0011, WM_QUIT = 0x0012,
                      WM_ERASEBKGND = 0x0014, WM_ENDSESSION = 0x0016, WM_SHOWWINDOW = 0x0018,
                      WM_SETCURSOR = 0x0020, WM_DRAWITEM = 0x002B, WM_MEASUREITEM = 0x002C,
                      WM_SETFONT = 0x0030, WM_GETFONT = 0x0031, WM_NCPAINT = 0x0085,
                      WM_GETDLGCODE = 0x0087, WM_KEYDOWN = 0x0100, WM_KEYUP = 0x0101,
                      WM_CHAR = 0x0102, WM_SYSKEYDOWN = 0x0104, WM_SYSCHAR = 0x0106,
                      WM_COMMAND = 0x0111, WM_SYSCOMMAND = 0x0112, WM_TIMER = 0x0113,
                      WM_HSCROLL = 0x0114, WM_VSCROLL = 0x0115, WM_MOUSEMOVE = 0x0200,
                      WM_LBUTTONDOWN = 0x0201, WM_LBUTTONUP = 0x0202, WM_LBUTTONDBLCLK = 0x0203,
                      WM_RBUTTONDOWN = 0x0204, WM_RBUTTONUP = 0x0205, WM_MOUSEWHEEL = 0x020A,
                      WM_MOUSELEAVE = 0x02A3, WM_USER = 0x0400, WM_APP = 0x8000;
// Menus and devices.
inline constexpr UINT WM_CONTEXTMENU = 0x007B, WM_INITMENUPOPUP = 0x0117, WM_MENUSELECT = 0x011F,
                      WM_MENUCHAR = 0x0120, WM_DEVICECHANGE = 0x0219;
// wParam 0 switches a window's painting off, 1 on again.
inline constexpr UINT WM_SETREDRAW = 0x000B;

// Edit and list-box messages.
inline constexpr UINT EM_GETSEL = 0x00B0, EM_SETSEL = 0x00B1, EM_SETREADONLY = 0x00CF,
                      EM_LIMITTEXT = 0x00C5, EM_SETMARGINS = 0x00D3, EM_GETMARGINS = 0x00D4;
inline constexpr UINT LB_ADDSTRING = 0x0180, LB_INSERTSTRING = 0x0181, LB_DELETESTRING = 0x0182,
                      LB_RESETCONTENT = 0x0184, LB_SETSEL = 0x0185, LB_SETCURSEL = 0x0186,
                      LB_GETSEL = 0x0187, LB_GETCURSEL = 0x0188, LB_GETTEXT = 0x0189,
                      LB_GETTEXTLEN = 0x018A, LB_GETCOUNT = 0x018B, LB_GETTOPINDEX = 0x018E,
                      LB_FINDSTRING = 0x018F, LB_SETTABSTOPS = 0x0192,
                      LB_GETHORIZONTALEXTENT = 0x0193, LB_SETHORIZONTALEXTENT = 0x0194,
                      LB_SETTOPINDEX = 0x0197, LB_GETITEMRECT = 0x0198, LB_GETITEMDATA = 0x0199,
                      LB_SETITEMDATA = 0x019A, LB_SETITEMHEIGHT = 0x01A0, LB_GETITEMHEIGHT = 0x01A1,
                      LB_FINDSTRINGEXACT = 0x01A2, LB_ERR = UINT(-1);
inline constexpr UINT BM_GETCHECK = 0x00F0, BM_SETCHECK = 0x00F1, BM_CLICK = 0x00F5;
inline constexpr UINT BN_CLICKED = 0, EN_CHANGE = 0x0300, LBN_SELCHANGE = 1, LBN_DBLCLK = 2;
inline constexpr UINT VK_BACK = 0x08, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
                      VK_CONTROL = 0x11, VK_MENU = 0x12, VK_ESCAPE = 0x1B, VK_SPACE = 0x20,
                      VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24,
                      VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
                      VK_INSERT = 0x2D, VK_DELETE = 0x2E;
inline constexpr UINT DLGC_WANTARROWS = 1, DLGC_WANTTAB = 2, DLGC_WANTALLKEYS = 4,
                      DLGC_WANTCHARS = 0x80;

// The toolkit's own messages. The controls' private ones start at 0xB3E8, above these.
inline constexpr UINT CM_BASE = 0xB000;
inline constexpr UINT CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1,
                      CM_DIALOGKEY = CM_BASE + 5, CM_DIALOGCHAR = CM_BASE + 6,
                      CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
                      CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10,
                      CM_VISIBLECHANGED = CM_BASE + 11, CM_ENABLEDCHANGED = CM_BASE + 12,
                      CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14,
                      CM_CURSORCHANGED = CM_BASE + 15, CM_PARENTCTL3DCHANGED = CM_BASE + 16,
                      CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19,
                      CM_MOUSELEAVE = CM_BASE + 20, CM_MENUCHANGED = CM_BASE + 21,
                      CM_APPKEYDOWN = CM_BASE + 22, CM_BUTTONPRESSED = CM_BASE + 24,
                      CM_SHOWINGCHANGED = CM_BASE + 25, CM_ENTER = CM_BASE + 26,
                      CM_EXIT = CM_BASE + 27, CM_DESIGNHITTEST = CM_BASE + 28,
                      CM_ICONCHANGED = CM_BASE + 29, CM_WANTSPECIALKEY = CM_BASE + 30,
                      CM_INVOKEHELP = CM_BASE + 31, CM_WINDOWHOOK = CM_BASE + 32,
                      CM_RELEASE = CM_BASE + 33, CM_SHOWHINTCHANGED = CM_BASE + 34,
                      CM_PARENTSHOWHINTCHANGED = CM_BASE + 35, CM_SYSCOLORCHANGE = CM_BASE + 36,
                      CM_TABSTOPCHANGED = CM_BASE + 39, CM_CONTROLLISTCHANGE = CM_BASE + 44,
                      CM_RECREATEWND = CM_BASE + 51, CM_HINTSHOW = CM_BASE + 48,
                      CM_BORDERCHANGED = CM_BASE + 59;
// Notifications reflected back to the control that caused them.
inline constexpr UINT CN_BASE = 0xBC00;
inline constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_DRAWITEM = CN_BASE + WM_DRAWITEM,
                      CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM, CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
                      CN_CHAR = CN_BASE + WM_CHAR;

using UINT_PTR = std::uintptr_t;

// Owner-drawn items: sent to the parent, which reflects them to the control (CN_DRAWITEM).
inline constexpr UINT ODT_LISTBOX = 2, ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4,
                      ODS_SELECTED = 1, ODS_GRAYED = 2, ODS_DISABLED = 4, ODS_CHECKED = 8,
                      ODS_FOCUS = 0x10;
inline constexpr UINT EC_LEFTMARGIN = 1, EC_RIGHTMARGIN = 2;
struct DRAWITEMSTRUCT {
  UINT CtlType = 0, CtlID = 0, itemID = 0, itemAction = 0, itemState = 0;
  HWND hwndItem = nullptr;
  HDC hDC = nullptr;
  RECT rcItem;
  std::uintptr_t itemData = 0;
};

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Makes a window handle served by proc on the calling thread.
HWND CreateWindowHandle(WNDPROC proc);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
// Replaces the procedure and returns the previous one (subclassing).
WNDPROC SetWindowProc(HWND hwnd, WNDPROC proc);
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The answer of a window that does not handle a message itself: TRUE for
// WM_DEVICECHANGE (a query to remove a device is granted), 0 otherwise.
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
inline LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(hwnd, msg, wParam, lParam);
}
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Takes the next posted message of the calling thread's queue.
BOOL PeekMessage(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
LRESULT DispatchMessage(const MSG* msg);
void PostQuitMessage(int exitCode);
inline constexpr UINT PM_NOREMOVE = 0, PM_REMOVE = 1;

// Timers: when nothing is posted, PeekMessage hands out WM_TIMER (wParam: the timer's id)
// for the earliest timer of the thread that is due, then schedules it one interval later.
// Times come from the platform clock, so simulated time drives them too.
using TIMERPROC = std::function<void(HWND, UINT, UINT_PTR, DWORD)>;
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc = {});
BOOL KillTimer(HWND hwnd, UINT_PTR id);
// Milliseconds of the platform clock (not wrapping like GetTickCount).
std::uint64_t TimerClock();
// When the next timer of the calling thread falls due (TimerClock time), if any.
bool NextTimerDue(std::uint64_t* due);
// Waits (really) until a message is posted to the calling thread or timeoutMs pass.
void WaitMessage(DWORD timeoutMs);
// How many threads have a message queue (made on a thread's first message call, removed
// when the thread ends).
std::size_t MessageQueueCount();

constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return LPARAM(DWORD(lo) | (DWORD(hi) << 16)); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return WPARAM(DWORD(lo) | (DWORD(hi) << 16)); }

}  // namespace win

// A message as the controls' window procedures see it.
struct TMessage {
  win::UINT Msg = 0;
  win::WPARAM WParam = 0;
  win::LPARAM LParam = 0;
  win::LRESULT Result = 0;
};
