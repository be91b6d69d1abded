#include "platform/forms/ScrollBars.h"

#include <algorithm>
#include <cstdint>

#include "platform/forms/graphics/Gdi.h"

using namespace win;

namespace {

constexpr int kBar = 16;      // SM_CXVSCROLL: thickness, arrow length, thumb without a page
constexpr int kMinThumb = 8;  // a proportional thumb is never shorter
constexpr UINT kFirstDelay = 200, kRepeatDelay = 50;  // a held arrow or page area
constexpr UINT_PTR kRepeatTimer = 0x5CB0;             // the bars' own timer of the window
// A dragged thumb goes back where it started while the pointer is this far off the bar.
constexpr int kThumbReach = 8 * kBar;

enum Part { pNone, pLineUp, pPageUp, pThumb, pPageDown, pLineDown };

struct BarInfo {
  int min = 0, max = 0;
  UINT page = 0;
  int pos = 0;
  bool shown = false;
  bool noScroll = false;  // shown by SIF_DISABLENOSCROLL although nothing scrolls
  UINT arrowsOff = ESB_ENABLE_BOTH;
  bool used = false;  // set up by a bar call: GetScrollInfo answers
};

bool Scrollable(const BarInfo& b) {
  return b.max > b.min && (b.page == 0 || int(b.page) <= b.max - b.min);
}
int MaxPos(const BarInfo& b) { return std::max(b.min, b.max - std::max(int(b.page) - 1, 0)); }
bool Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace

struct WindowScrollBars {
  BarInfo bars[2];
  // The press being followed: its bar and part, whether the pointer is still on that part
  // (arrows and page areas), the pointer's offset into a dragged thumb, the position the
  // drag shows and the one it started from.
  int trackBar = -1;
  Part trackPart = pNone;
  bool over = false;
  int grab = 0, trackPos = 0, startPos = 0;
  POINT at{};
  int wheelRest = 0;
  bool repeating = false;
};

void WindowScrollBarsDeleter::operator()(WindowScrollBars* d) const { delete d; }

WindowScrollBars* TWinControl::ScrollBarData(bool create) {
  if (!FScrollBars && create) FScrollBars.reset(new WindowScrollBars);
  return FScrollBars.get();
}

namespace {

struct Layout {
  RECT r{};
  bool vert = true;
  int a0 = 0, a1 = 0, arrow = 0;  // the bar along its axis, and each arrow's length
  bool thumb = false;
  int t0 = 0, t1 = 0;  // the thumb along the axis
};

bool BarEnabled(const TWinControl* c, const BarInfo& b) {
  return c->Enabled() && !b.noScroll && b.arrowsOff != ESB_DISABLE_BOTH && Scrollable(b);
}

Layout LayoutOf(TWinControl* c, int bar, const BarInfo& b, int pos) {
  Layout g;
  g.r = ScrollBars::BarRect(c, bar);
  g.vert = bar == SB_VERT;
  g.a0 = g.vert ? g.r.top : g.r.left;
  g.a1 = g.vert ? g.r.bottom : g.r.right;
  int len = std::max(0, g.a1 - g.a0);
  // A bar shorter than two arrows shares its length between them.
  g.arrow = len < 2 * kBar ? len / 2 : kBar;
  int track0 = g.a0 + g.arrow, tlen = g.a1 - g.arrow - track0;
  if (!BarEnabled(c, b)) return g;
  int thumb = b.page ? MulDiv(tlen, int(b.page), b.max - b.min + 1) : kBar;
  thumb = std::max(thumb, kMinThumb);
  if (thumb > tlen) return g;
  int steps = MaxPos(b) - b.min;
  int off = steps > 0 ? MulDiv(tlen - thumb, std::clamp(pos, b.min, MaxPos(b)) - b.min, steps) : 0;
  g.thumb = true;
  g.t0 = track0 + off;
  g.t1 = g.t0 + thumb;
  return g;
}

int PosFromThumb(const Layout& g, const BarInfo& b, int thumbStart) {
  int track0 = g.a0 + g.arrow, tlen = g.a1 - g.arrow - track0;
  int room = tlen - (g.t1 - g.t0);
  if (room <= 0) return b.min;
  return b.min + MulDiv(std::clamp(thumbStart - track0, 0, room), MaxPos(b) - b.min, room);
}

// The part under a point along the bar's axis.
Part PartAt(const Layout& g, int p) {
  if (p < g.a0 + g.arrow) return pLineUp;
  if (p >= g.a1 - g.arrow) return pLineDown;
  if (!g.thumb) return pNone;
  if (p < g.t0) return pPageUp;
  if (p >= g.t1) return pPageDown;
  return pThumb;
}

int CodeOf(Part p) {
  switch (p) {
    case pLineUp:
      return SB_LINEUP;
    case pLineDown:
      return SB_LINEDOWN;
    case pPageUp:
      return SB_PAGEUP;
    case pPageDown:
      return SB_PAGEDOWN;
    default:
      return SB_ENDSCROLL;
  }
}

int ShownPos(const WindowScrollBars& d, int bar) {
  return d.trackBar == bar && d.trackPart == pThumb ? d.trackPos : d.bars[bar].pos;
}

// Sends the scroll to the window; false when the window went while it handled it.
bool SendScroll(HWND h, int bar, int code, int pos) {
  SendMessage(h, bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(WORD(code), WORD(pos)), 0);
  return TWinControl::FindControl(h) != nullptr;
}

}  // namespace

// --- The bars' state and the system calls ----------------------------------------------------

namespace {

TWinControl* Owner(HWND h, int bar) {
  if (bar != SB_VERT && bar != SB_HORZ) return nullptr;
  return TWinControl::FindControl(h);
}

void Changed(TWinControl* c, const BarInfo& old, const BarInfo& now, BOOL redraw) {
  bool shownChanged = old.shown != now.shown;
  bool looks = old.min != now.min || old.max != now.max || old.page != now.page ||
               old.pos != now.pos || old.noScroll != now.noScroll || old.arrowsOff != now.arrowsOff;
  if (shownChanged || (redraw && now.shown && looks)) c->Invalidate();
}

}  // namespace

namespace win {

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* si, BOOL redraw) {
  TWinControl* c = Owner(hwnd, bar);
  return c && si ? ScrollBars::SetInfo(c, bar, *si, redraw != 0) : 0;
}

BOOL GetScrollInfo(HWND hwnd, int bar, SCROLLINFO* si) {
  TWinControl* c = Owner(hwnd, bar);
  return c && si && ScrollBars::GetInfo(c, bar, *si) ? TRUE : FALSE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
  TWinControl* c = Owner(hwnd, bar);
  if (!c) return 0;
  int old = c->ScrollBarData(true)->bars[bar].pos;
  SCROLLINFO si;
  si.fMask = SIF_POS;
  si.nPos = pos;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return old;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO si;
  si.fMask = SIF_POS;
  return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
  if (!Owner(hwnd, bar)) return FALSE;
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  si.nMin = min, si.nMax = max;
  SetScrollInfo(hwnd, bar, &si, redraw);
  return TRUE;
}

BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  BOOL ok = GetScrollInfo(hwnd, bar, &si);
  if (!ok) si.nMin = si.nMax = 0;
  if (min) *min = si.nMin;
  if (max) *max = si.nMax;
  return ok;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  TWinControl* c = TWinControl::FindControl(hwnd);
  if (!c || bar < SB_HORZ || bar > SB_BOTH || bar == SB_CTL) return FALSE;
  WindowScrollBars& d = *c->ScrollBarData(true);
  for (int k : {SB_HORZ, SB_VERT}) {
    if (bar != SB_BOTH && bar != k) continue;
    BarInfo old = d.bars[k];
    d.bars[k].shown = show != 0;
    d.bars[k].used = true;
    if (!show && d.trackBar == k) ScrollBars::CancelTracking(c);
    Changed(c, old, d.bars[k], TRUE);
  }
  return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
  TWinControl* c = TWinControl::FindControl(hwnd);
  if (!c || bar == UINT(SB_CTL) || bar > UINT(SB_BOTH)) return FALSE;
  WindowScrollBars& d = *c->ScrollBarData(true);
  bool changed = false;
  for (int k : {SB_HORZ, SB_VERT}) {
    if (bar != UINT(SB_BOTH) && bar != UINT(k)) continue;
    BarInfo old = d.bars[k];
    d.bars[k].arrowsOff = arrows & ESB_DISABLE_BOTH;
    changed |= old.arrowsOff != d.bars[k].arrowsOff;
    Changed(c, old, d.bars[k], TRUE);
  }
  return changed ? TRUE : FALSE;
}

DWORD GetScrollBarStyle(HWND hwnd) {
  TWinControl* c = TWinControl::FindControl(hwnd);
  if (c) c->UpdateScrollBars();
  WindowScrollBars* d = c ? c->ScrollBarData(false) : nullptr;
  if (!d) return 0;
  return (d->bars[SB_VERT].shown ? WS_VSCROLL : 0) | (d->bars[SB_HORZ].shown ? WS_HSCROLL : 0);
}

}  // namespace win

// --- Geometry, the mouse and painting ----------------------------------------------------------

namespace ScrollBars {

int SetInfo(TWinControl* c, int bar, const SCROLLINFO& si, bool redraw) {
  if (bar != SB_VERT && bar != SB_HORZ) return 0;
  WindowScrollBars& d = *c->ScrollBarData(true);
  BarInfo& b = d.bars[bar];
  BarInfo old = b;
  b.used = true;
  if (si.fMask & SIF_RANGE) b.min = si.nMin, b.max = std::max(si.nMin, si.nMax);
  if (si.fMask & SIF_PAGE) b.page = si.nPage;
  if (si.fMask & SIF_POS) b.pos = si.nPos;
  b.page = std::min<UINT>(b.page, UINT(b.max - b.min + 1));
  b.pos = std::clamp(b.pos, b.min, MaxPos(b));
  if (si.fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL)) {
    // A bar shows while there is something to scroll; without, it goes (or stays greyed).
    bool need = Scrollable(b);
    b.noScroll = !need && (si.fMask & SIF_DISABLENOSCROLL);
    b.shown = need || b.noScroll;
    if (!b.shown && d.trackBar == bar) CancelTracking(c);
  }
  Changed(c, old, b, redraw);
  return b.pos;
}

bool GetInfo(TWinControl* c, int bar, SCROLLINFO& si) {
  if (bar != SB_VERT && bar != SB_HORZ) return false;
  c->UpdateScrollBars();
  WindowScrollBars* d = c->ScrollBarData(false);
  if (!d || !(d->bars[bar].used || d->bars[bar].shown)) return false;
  const BarInfo& b = d->bars[bar];
  if (si.fMask & SIF_RANGE) si.nMin = b.min, si.nMax = b.max;
  if (si.fMask & SIF_PAGE) si.nPage = b.page;
  if (si.fMask & SIF_POS) si.nPos = b.pos;
  if (si.fMask & SIF_TRACKPOS) si.nTrackPos = ShownPos(*d, bar);
  return true;
}

int SetBar(TWinControl* c, int bar, int min, int max, int page, int pos) {
  SCROLLINFO si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = min, si.nMax = max, si.nPage = UINT(std::max(page, 0)), si.nPos = pos;
  return SetInfo(c, bar, si, true);
}

void Settle(TWinControl* c, const std::function<void()>& setBars) {
  for (int round = 0; round < 3; ++round) {
    int v = VertWidth(c), h = HorzHeight(c);
    setBars();
    if (v == VertWidth(c) && h == HorzHeight(c)) return;
  }
}

int VertWidth(const TWinControl* c) {
  WindowScrollBars* d = const_cast<TWinControl*>(c)->ScrollBarData(false);
  return d && d->bars[SB_VERT].shown ? kBar : 0;
}

int HorzHeight(const TWinControl* c) {
  WindowScrollBars* d = const_cast<TWinControl*>(c)->ScrollBarData(false);
  return d && d->bars[SB_HORZ].shown ? kBar : 0;
}

RECT BarRect(TWinControl* c, int bar) {
  WindowScrollBars* d = c->ScrollBarData(false);
  if (!d || (bar != SB_VERT && bar != SB_HORZ) || !d->bars[bar].shown) return RECT{};
  int e = c->ClientEdge(), W = c->Width(), H = c->Height();
  if (bar == SB_VERT) return RECT{W - e - kBar, e, W - e, H - e - HorzHeight(c)};
  return RECT{e, H - e - kBar, W - e - VertWidth(c), H - e};
}

int BarAt(TWinControl* c, int x, int y) {
  for (int bar : {SB_VERT, SB_HORZ})
    if (Inside(BarRect(c, bar), x, y)) return bar;
  return -1;
}

bool ThumbSpan(TWinControl* c, int bar, int* start, int* end) {
  WindowScrollBars* d = c->ScrollBarData(false);
  if (!d || (bar != SB_VERT && bar != SB_HORZ) || !d->bars[bar].shown) return false;
  Layout g = LayoutOf(c, bar, d->bars[bar], ShownPos(*d, bar));
  if (!g.thumb) return false;
  if (start) *start = g.t0;
  if (end) *end = g.t1;
  return true;
}

void CancelTracking(TWinControl* c) {
  WindowScrollBars* d = c->ScrollBarData(false);
  if (!d || d->trackBar < 0) return;
  if (c->HandleAllocated()) KillTimer(c->Handle(), kRepeatTimer);
  d->trackBar = -1;
  d->trackPart = pNone;
  d->repeating = false;
  c->Invalidate();
}

namespace {

int Along(const Layout& g, int x, int y) { return g.vert ? y : x; }

// Whether the pointer is on the pressed arrow or page area (a page area is left once the
// thumb has come under the pointer); the pressed look follows.
bool FollowPointer(TWinControl* c, WindowScrollBars& d) {
  const BarInfo& b = d.bars[d.trackBar];
  Layout g = LayoutOf(c, d.trackBar, b, b.pos);
  bool on = Inside(g.r, d.at.x, d.at.y) && PartAt(g, Along(g, d.at.x, d.at.y)) == d.trackPart;
  if (on != d.over) {
    d.over = on;
    c->Invalidate();
  }
  return on;
}

// One step of a held arrow or page area, while the pointer is on it.
void Step(TWinControl* c) {
  WindowScrollBars& d = *c->ScrollBarData(false);
  if (d.trackBar < 0 || d.trackPart == pThumb) return;
  if (FollowPointer(c, d)) SendScroll(c->Handle(), d.trackBar, CodeOf(d.trackPart), 0);
}

void Repeat(HWND h, UINT, UINT_PTR, DWORD) {
  TWinControl* c = TWinControl::FindControl(h);
  WindowScrollBars* d = c ? c->ScrollBarData(false) : nullptr;
  if (!d || d->trackBar < 0) {
    KillTimer(h, kRepeatTimer);
    return;
  }
  if (!d->repeating) {
    // After the first pause the steps come quicker.
    d->repeating = true;
    SetTimer(h, kRepeatTimer, kRepeatDelay, Repeat);
  }
  Step(c);
}

void BeginTrack(TWinControl* c, WindowScrollBars& d, int bar, int x, int y) {
  const BarInfo& b = d.bars[bar];
  Layout g = LayoutOf(c, bar, b, b.pos);
  Part part = PartAt(g, Along(g, x, y));
  if (part == pNone || !BarEnabled(c, b)) return;
  if ((part == pLineUp && (b.arrowsOff & ESB_DISABLE_LTUP)) ||
      (part == pLineDown && (b.arrowsOff & ESB_DISABLE_RTDN)))
    return;
  d.trackBar = bar;
  d.trackPart = part;
  d.over = true;
  d.at = POINT{x, y};
  d.repeating = false;
  c->Invalidate();
  if (part == pThumb) {
    d.grab = Along(g, x, y) - g.t0;
    d.trackPos = d.startPos = b.pos;
    return;
  }
  HWND h = c->Handle();
  if (!SendScroll(h, bar, CodeOf(part), 0)) return;
  if (d.trackBar == bar) SetTimer(h, kRepeatTimer, kFirstDelay, Repeat);
}

void MoveTrack(TWinControl* c, WindowScrollBars& d, int x, int y) {
  d.at = POINT{x, y};
  if (d.trackPart != pThumb) {
    FollowPointer(c, d);  // the timer does the scrolling
    return;
  }
  const BarInfo& b = d.bars[d.trackBar];
  Layout g = LayoutOf(c, d.trackBar, b, d.trackPos);
  if (!g.thumb) return;
  int across = g.vert ? x : y, lo = g.vert ? g.r.left : g.r.top,
      hi = g.vert ? g.r.right : g.r.bottom;
  bool near = across >= lo - kThumbReach && across < hi + kThumbReach;
  int pos = near ? PosFromThumb(g, b, Along(g, x, y) - d.grab) : d.startPos;
  if (pos == d.trackPos) return;
  d.trackPos = pos;
  c->Invalidate();
  SendScroll(c->Handle(), d.trackBar, SB_THUMBTRACK, pos);
}

void EndTrack(TWinControl* c, WindowScrollBars& d) {
  HWND h = c->Handle();
  KillTimer(h, kRepeatTimer);
  int bar = d.trackBar;
  // The tracked position stays readable (SIF_TRACKPOS) while SB_THUMBPOSITION is handled.
  if (d.trackPart == pThumb && !SendScroll(h, bar, SB_THUMBPOSITION, d.trackPos)) return;
  d.trackBar = -1;
  d.trackPart = pNone;
  d.repeating = false;
  c->Invalidate();
  SendScroll(h, bar, SB_ENDSCROLL, 0);
}

}  // namespace

bool FilterMouse(TWinControl* c, TMessage& m) {
  WindowScrollBars* d = c->ScrollBarData(false);
  if (!d) return false;
  int x = short(LOWORD(DWORD(m.LParam))), y = short(HIWORD(DWORD(m.LParam)));
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (d->trackBar < 0) return false;
      MoveTrack(c, *d, x, y);
      return true;
    case WM_LBUTTONUP:
      if (d->trackBar < 0) return false;
      EndTrack(c, *d);
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (d->trackBar >= 0) return true;
      if (!d->bars[SB_VERT].shown && !d->bars[SB_HORZ].shown) return false;
      c->UpdateScrollBars();
      int bar = BarAt(c, x, y);
      if (bar < 0) return false;
      BeginTrack(c, *d, bar, x, y);
      return true;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      // The bars have no menu here; the window's own menu is for its client area.
      return BarAt(c, x, y) >= 0;
    default:
      return false;
  }
}

int ScrollTarget(TWinControl* c, int bar, WPARAM wParam, int pos, int line, int page) {
  switch (int(LOWORD(DWORD(wParam)))) {
    case SB_LINEUP:
      return pos - line;
    case SB_LINEDOWN:
      return pos + line;
    case SB_PAGEUP:
      return pos - page;
    case SB_PAGEDOWN:
      return pos + page;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      // The bars' own drag gives the whole position; others send it in the high word.
      WindowScrollBars* d = c->ScrollBarData(false);
      if (d && d->trackBar == bar && d->trackPart == pThumb) return d->trackPos;
      return int(HIWORD(DWORD(wParam)));
    }
    case SB_TOP:
      return INT32_MIN / 2;
    case SB_BOTTOM:
      return INT32_MAX / 2;
    default:
      return pos;
  }
}

int WheelLines(TWinControl* c, const TMessage& m) {
  int delta = short(HIWORD(DWORD(m.WParam)));
  WORD keys = LOWORD(DWORD(m.WParam));
  TShiftState shift = (keys & 4 ? ssShift : 0) | (keys & 8 ? ssCtrl : 0);  // MK_SHIFT, MK_CONTROL
  if (c->DoMouseWheel(shift, delta,
                      POINT{short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))}))
    return 0;
  WindowScrollBars& d = *c->ScrollBarData(true);
  d.wheelRest += delta;
  int notches = d.wheelRest / WHEEL_DELTA;
  d.wheelRest -= notches * WHEEL_DELTA;
  return -3 * notches;
}

// --- Painting ------------------------------------------------------------------------------------

namespace {

void Fill(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

COLORREF Inverted(COLORREF c) { return ~c & 0xFFFFFF; }

// The track: a solid scroll-bar colour, or when that is the face colour (the classic
// scheme) a dither of highlight and face; a pressed page area shows it inverted.
void PaintTrack(HDC dc, const RECT& r, bool pressed) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  COLORREF bar = GetSysColor(COLOR_SCROLLBAR), face = GetSysColor(COLOR_BTNFACE),
           light = GetSysColor(COLOR_BTNHIGHLIGHT);
  if (bar != face) {
    Fill(dc, r, pressed ? Inverted(bar) : bar);
    return;
  }
  static const std::uint8_t checker[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0,
                                           0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
  HBITMAP bits = CreateBitmap(8, 8, 1, 1, checker);
  HBRUSH brush = CreatePatternBrush(bits);
  SaveDC(dc);
  SetBkColor(dc, pressed ? Inverted(light) : light);
  SetTextColor(dc, pressed ? Inverted(face) : face);
  FillRect(dc, &r, brush);
  RestoreDC(dc, -1);
  DeleteObject(brush);
  DeleteObject(bits);
}

enum Direction { dUp, dDown, dLeft, dRight };

void PaintGlyph(HDC dc, const RECT& r, Direction dir, COLORREF color, int shift) {
  int w = r.right - r.left, h = r.bottom - r.top;
  int n = std::max(1, (std::min(w, h) - 4) / 3);  // rows of the triangle: 4 on a 16-pixel arrow
  bool vert = dir == dUp || dir == dDown;
  int cx = r.left + (w - 1) / 2 + shift, cy = r.top + (h - 1) / 2 + shift;
  int first = (vert ? cy : cx) - (n - 1) / 2;
  HBRUSH b = CreateSolidBrush(color);
  for (int i = 0; i < n; ++i) {
    int half = dir == dUp || dir == dLeft ? i : n - 1 - i;
    RECT span = vert ? RECT{cx - half, first + i, cx + half + 1, first + i + 1}
                     : RECT{first + i, cy - half, first + i + 1, cy + half + 1};
    FillRect(dc, &span, b);
  }
  DeleteObject(b);
}

// A raised button with a black arrow; pushed, it goes flat and the arrow moves a pixel;
// disabled, the arrow is etched in grey.
void PaintArrow(HDC dc, RECT r, Direction dir, bool pushed, bool disabled) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  RECT face = r;
  if (pushed)
    DrawEdge(dc, &face, EDGE_SUNKEN, BF_RECT | BF_FLAT | BF_MIDDLE);
  else
    DrawEdge(dc, &face, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  if (disabled) {
    PaintGlyph(dc, r, dir, GetSysColor(COLOR_BTNHIGHLIGHT), 1);
    PaintGlyph(dc, r, dir, GetSysColor(COLOR_BTNSHADOW), 0);
  } else {
    PaintGlyph(dc, r, dir, GetSysColor(COLOR_BTNTEXT), pushed ? 1 : 0);
  }
}

void PaintBar(TWinControl* c, HDC dc, const WindowScrollBars& d, int bar) {
  const BarInfo& b = d.bars[bar];
  Layout g = LayoutOf(c, bar, b, ShownPos(d, bar));
  bool enabled = BarEnabled(c, b);
  bool tracking = d.trackBar == bar;
  auto span = [&](int a, int z) {
    return g.vert ? RECT{g.r.left, a, g.r.right, z} : RECT{a, g.r.top, z, g.r.bottom};
  };
  int track0 = g.a0 + g.arrow, track1 = g.a1 - g.arrow;
  PaintArrow(dc, span(g.a0, track0), g.vert ? dUp : dLeft,
             tracking && d.trackPart == pLineUp && d.over,
             !enabled || (b.arrowsOff & ESB_DISABLE_LTUP));
  PaintArrow(dc, span(track1, g.a1), g.vert ? dDown : dRight,
             tracking && d.trackPart == pLineDown && d.over,
             !enabled || (b.arrowsOff & ESB_DISABLE_RTDN));
  if (!g.thumb) {
    PaintTrack(dc, span(track0, track1), false);
    return;
  }
  PaintTrack(dc, span(track0, g.t0), tracking && d.trackPart == pPageUp && d.over);
  PaintTrack(dc, span(g.t1, track1), tracking && d.trackPart == pPageDown && d.over);
  RECT thumb = span(g.t0, g.t1);
  DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
}

}  // namespace

void Paint(TWinControl* c, HDC dc) {
  WindowScrollBars* d = c->ScrollBarData(false);
  if (!d || (!d->bars[SB_VERT].shown && !d->bars[SB_HORZ].shown)) return;
  for (int bar : {SB_VERT, SB_HORZ})
    if (d->bars[bar].shown) PaintBar(c, dc, *d, bar);
  if (d->bars[SB_VERT].shown && d->bars[SB_HORZ].shown) {
    int e = c->ClientEdge();
    Fill(dc, RECT{c->Width() - e - kBar, c->Height() - e - kBar, c->Width() - e, c->Height() - e},
         GetSysColor(COLOR_BTNFACE));
  }
}

}  // namespace ScrollBars
