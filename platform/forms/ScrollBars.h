#pragma once
// The window scroll bars: a vertical bar (SB_VERT) at the right and a horizontal one
// (SB_HORZ) at the bottom of a windowed control, inside its frame (TWinControl::ClientEdge)
// and outside its client area, which shrinks by SM_CXVSCROLL / SM_CYHSCROLL (16 pixels) for
// each bar shown; where both show, the size box fills the corner. Arrows are as long as the
// bar is thick; a thumb is as long as its page's share of the track, 8 pixels at least.
//
// Each bar keeps a range, a page and a position (SCROLLINFO) and shows itself when its range
// is more than a page (or, with SIF_DISABLENOSCROLL, shows disabled). The mouse on a bar
// scrolls the window through WM_VSCROLL / WM_HSCROLL: SB_LINEUP / SB_LINEDOWN on the arrows
// and SB_PAGEUP / SB_PAGEDOWN beside the thumb, repeated while the button is held (paced by
// a timer), SB_THUMBTRACK while the thumb is dragged and SB_THUMBPOSITION where it is let
// go, then SB_ENDSCROLL. The window answers by moving its content and its position
// (SetScrollInfo / SetScrollPos). Mouse coordinates are the control's own (frame included).
#include <functional>
#include <memory>

#include "platform/forms/Controls.h"
#include "platform/forms/SystemMetrics.h"

namespace win {

inline constexpr int SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2, SB_BOTH = 3;
inline constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1,
                     SB_PAGEUP = 2, SB_PAGELEFT = 2, SB_PAGEDOWN = 3, SB_PAGERIGHT = 3,
                     SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6,
                     SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8;
inline constexpr UINT SIF_RANGE = 0x1, SIF_PAGE = 0x2, SIF_POS = 0x4, SIF_DISABLENOSCROLL = 0x8,
                      SIF_TRACKPOS = 0x10, SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;
inline constexpr UINT ESB_ENABLE_BOTH = 0, ESB_DISABLE_LTUP = 1, ESB_DISABLE_RTDN = 2,
                      ESB_DISABLE_BOTH = 3;
// Window styles of a window with a bar shown (GetScrollBarStyle).
inline constexpr DWORD WS_VSCROLL = 0x00200000, WS_HSCROLL = 0x00100000;
inline constexpr int WHEEL_DELTA = 120;

struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0, nMax = 0;
  UINT nPage = 0;
  int nPos = 0, nTrackPos = 0;
};

// The bars of windows that belong to windowed controls; other handles fail (0).
int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* info);
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND hwnd, int bar);
BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw);
BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max);
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show);
// Disables one arrow, both or none (ESB_); a bar shown by SIF_DISABLENOSCROLL is disabled.
BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows);
// WS_VSCROLL and WS_HSCROLL for the bars shown.
DWORD GetScrollBarStyle(HWND hwnd);

}  // namespace win

// What a control keeps of its bars (TWinControl holds it; made by the first bar call).
struct WindowScrollBars;

namespace ScrollBars {

// SetScrollInfo and GetScrollInfo on the control itself (no window handle needed).
int SetInfo(TWinControl* c, int bar, const win::SCROLLINFO& info, bool redraw);
bool GetInfo(TWinControl* c, int bar, win::SCROLLINFO& info);
// A control's bar set from its content: range min..max, a page, a position; gives the
// position kept (within the range).
int SetBar(TWinControl* c, int bar, int min, int max, int page, int pos);
// Runs `setBars` (which sets both bars from the client area as it is) until the bars shown
// stay the same: each bar that comes or goes changes the other's page.
void Settle(TWinControl* c, const std::function<void()>& setBars);

// The bar under a point of the control (frame coordinates): SB_VERT, SB_HORZ, or -1.
int BarAt(TWinControl* c, int x, int y);
// A bar's rectangle in the control's coordinates (empty when it does not show).
win::RECT BarRect(TWinControl* c, int bar);
// Where the thumb lies along a bar, in the control's coordinates (start, end); false when
// the bar shows no thumb (disabled, or too short for one).
bool ThumbSpan(TWinControl* c, int bar, int* start, int* end);
// Mouse messages before the window's procedure: a press on a bar, and the moves and release
// of the bar it started, are the bar's own (true: taken, the control never sees them).
bool FilterMouse(TWinControl* c, TMessage& m);
// The bars and the size box, on a DC whose origin is the control's corner (WM_NCPAINT).
void Paint(TWinControl* c, win::HDC dc);
// A shown bar's thickness on the side it takes.
int VertWidth(const TWinControl* c);
int HorzHeight(const TWinControl* c);
// Ends a drag or a held arrow of this control (the window goes, or the button is lost).
void CancelTracking(TWinControl* c);
// Where a WM_VSCROLL / WM_HSCROLL (its wParam) takes a control scrolled to `pos`: line and
// page steps, the ends (far beyond the range: the caller clamps), the thumb's position
// (the whole tracked value during the bars' own drag, else the high word).
int ScrollTarget(TWinControl* c, int bar, win::WPARAM wParam, int pos, int line, int page);
// A WM_MOUSEWHEEL as lines for the window to scroll, positive down: none when the control's
// DoMouseWheel took it, else three a notch (small turns add up; the rest is kept).
int WheelLines(TWinControl* c, const TMessage& m);

}  // namespace ScrollBars
