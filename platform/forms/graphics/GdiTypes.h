#pragma once
// Geometry, colour and handle types shared by the windowing toolkit and the drawing layer.
#include <cstdint>

#include "platform/system/WinTypes.h"

namespace win {

struct POINT {
  LONG x = 0, y = 0;
  friend bool operator==(const POINT&, const POINT&) = default;
};
struct SIZE {
  LONG cx = 0, cy = 0;
  friend bool operator==(const SIZE&, const SIZE&) = default;
};
struct RECT {
  LONG left = 0, top = 0, right = 0, bottom = 0;
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  friend bool operator==(const RECT&, const RECT&) = default;
};

// 0x00BBGGRR.
using COLORREF = DWORD;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE((c >> 16) & 0xFF); }

// Opaque handles of the drawing layer.
struct HDC__;
struct HBITMAP__;
struct HFONT__;
struct HBRUSH__;
struct HPEN__;
struct HRGN__;
struct HWND__;
struct HICON__;
struct HCURSOR__;
using HDC = HDC__*;
using HBITMAP = HBITMAP__*;
using HFONT = HFONT__*;
using HBRUSH = HBRUSH__*;
using HPEN = HPEN__*;
using HRGN = HRGN__*;
using HWND = HWND__*;
using HICON = HICON__*;
using HCURSOR = HCURSOR__*;
using HGDIOBJ = void*;

}  // namespace win

// ---------------------------------------------------------------------------------------
// Drawing-layer structures and constants (values as Windows defines them).
namespace win {

inline constexpr int LF_FACESIZE = 32;

struct LOGFONT {
  LONG lfHeight = 0;  // < 0: character height in pixels; > 0: cell height
  LONG lfWidth = 0;
  LONG lfEscapement = 0;  // tenths of a degree, counter-clockwise
  LONG lfOrientation = 0;
  LONG lfWeight = 0;  // 400 normal, 700 bold
  BYTE lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0;
  BYTE lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
  char lfFaceName[LF_FACESIZE] = {};
};

struct TEXTMETRIC {
  LONG tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0;
  LONG tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 0, tmOverhang = 0;
  LONG tmDigitizedAspectX = 96, tmDigitizedAspectY = 96;
  BYTE tmFirstChar = 32, tmLastChar = 255, tmDefaultChar = 31, tmBreakChar = 32;
  BYTE tmItalic = 0, tmUnderlined = 0, tmStruckOut = 0, tmPitchAndFamily = 0, tmCharSet = 0;
};

struct LOGPEN {
  UINT lopnStyle = 0;
  POINT lopnWidth;
  COLORREF lopnColor = 0;
};

struct LOGBRUSH {
  UINT lbStyle = 0;
  COLORREF lbColor = 0;
  std::uintptr_t lbHatch = 0;  // pattern brush: the bitmap handle
};

struct BITMAP {
  LONG bmType = 0, bmWidth = 0, bmHeight = 0, bmWidthBytes = 0;
  WORD bmPlanes = 1, bmBitsPixel = 0;
  void* bmBits = nullptr;
};

struct DRAWTEXTPARAMS {
  UINT cbSize = sizeof(DRAWTEXTPARAMS);
  int iTabLength = 8, iLeftMargin = 0, iRightMargin = 0;
  UINT uiLengthDrawn = 0;
};

inline constexpr DWORD MAKELONG(WORD lo, WORD hi) { return DWORD(lo) | (DWORD(hi) << 16); }
inline constexpr WORD LOWORD(DWORD v) { return WORD(v & 0xFFFF); }
inline constexpr WORD HIWORD(DWORD v) { return WORD(v >> 16); }
inline constexpr int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long p = (long long)a * b;
  long long q = p >= 0 ? (p + (c > 0 ? c : -c) / 2) / c : (p - (c > 0 ? c : -c) / 2) / c;
  return int(q);
}

// Rectangle helpers (user32).
inline BOOL SetRect(RECT* r, int l, int t, int rt, int b) {
  if (!r) return 0;
  *r = RECT{l, t, rt, b};
  return 1;
}
inline BOOL SetRectEmpty(RECT* r) { return SetRect(r, 0, 0, 0, 0); }
inline BOOL CopyRect(RECT* d, const RECT* s) {
  if (!d || !s) return 0;
  *d = *s;
  return 1;
}
inline BOOL IsRectEmpty(const RECT* r) { return !r || r->right <= r->left || r->bottom <= r->top; }
inline BOOL InflateRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->left -= dx, r->top -= dy, r->right += dx, r->bottom += dy;
  return 1;
}
inline BOOL OffsetRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->left += dx, r->top += dy, r->right += dx, r->bottom += dy;
  return 1;
}
inline BOOL PtInRect(const RECT* r, POINT p) {
  return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
inline BOOL EqualRect(const RECT* a, const RECT* b) { return a && b && *a == *b; }
inline BOOL IntersectRect(RECT* d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return 0;
  RECT r{a->left > b->left ? a->left : b->left, a->top > b->top ? a->top : b->top,
         a->right < b->right ? a->right : b->right, a->bottom < b->bottom ? a->bottom : b->bottom};
  if (IsRectEmpty(&r)) {
    *d = RECT{};
    return 0;
  }
  *d = r;
  return 1;
}
inline BOOL UnionRect(RECT* d, const RECT* a, const RECT* b) {
  if (!d || !a || !b) return 0;
  if (IsRectEmpty(a)) return (*d = *b, !IsRectEmpty(b));
  if (IsRectEmpty(b)) return (*d = *a, 1);
  *d = RECT{a->left < b->left ? a->left : b->left, a->top < b->top ? a->top : b->top,
            a->right > b->right ? a->right : b->right,
            a->bottom > b->bottom ? a->bottom : b->bottom};
  return 1;
}

// Object types (GetObjectType) and stock objects.
inline constexpr DWORD OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_FONT = 6, OBJ_BITMAP = 7,
                       OBJ_REGION = 8, OBJ_MEMDC = 10;
inline constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,
                     BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6,
                     BLACK_PEN = 7, NULL_PEN = 8, OEM_FIXED_FONT = 10, ANSI_FIXED_FONT = 11,
                     ANSI_VAR_FONT = 12, SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17;

// Pens.
inline constexpr UINT PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4,
                      PS_NULL = 5, PS_INSIDEFRAME = 6, PS_ALTERNATE = 8, PS_STYLE_MASK = 0xF;
// Brushes.
inline constexpr UINT BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3;
inline constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
                     HS_CROSS = 4, HS_DIAGCROSS = 5;

// Background modes, text alignment, binary raster operations, polygon fill modes.
inline constexpr int TRANSPARENT = 1, OPAQUE = 2;
inline constexpr UINT TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6,
                      TA_TOP = 0, TA_BOTTOM = 8, TA_BASELINE = 24;
inline constexpr int R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
                     R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8,
                     R2_MASKPEN = 9, R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12,
                     R2_COPYPEN = 13, R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16;
inline constexpr int ALTERNATE = 1, WINDING = 2;
inline constexpr int BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4;

// Ternary raster operations: the high word's low byte is the boolean function of
// pattern (0xF0), source (0xCC) and destination (0xAA).
inline constexpr DWORD SRCCOPY = 0x00CC0020, SRCPAINT = 0x00EE0086, SRCAND = 0x008800C6,
                       SRCINVERT = 0x00660046, SRCERASE = 0x00440328, NOTSRCCOPY = 0x00330008,
                       NOTSRCERASE = 0x001100A6, MERGECOPY = 0x00C000CA, MERGEPAINT = 0x00BB0226,
                       PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09, PATINVERT = 0x005A0049,
                       DSTINVERT = 0x00550009, BLACKNESS = 0x00000042, WHITENESS = 0x00FF0062;

// Regions and clipping.
inline constexpr int RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3;
inline constexpr int RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;

// Text output.
inline constexpr UINT ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4;
inline constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2,
                      DT_VCENTER = 0x4, DT_BOTTOM = 0x8, DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20,
                      DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80, DT_NOCLIP = 0x100,
                      DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
                      DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
                      DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
                      DT_WORD_ELLIPSIS = 0x40000, DT_HIDEPREFIX = 0x100000,
                      DT_PREFIXONLY = 0x200000;

// Font weights, character sets, pitch and text-metric flags.
inline constexpr LONG FW_DONTCARE = 0, FW_THIN = 100, FW_LIGHT = 300, FW_NORMAL = 400,
                      FW_MEDIUM = 500, FW_SEMIBOLD = 600, FW_BOLD = 700, FW_HEAVY = 900;
inline constexpr BYTE ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SYMBOL_CHARSET = 2, OEM_CHARSET = 255;
inline constexpr BYTE DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2;
inline constexpr BYTE FF_DONTCARE = 0x00, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30,
                      FF_SCRIPT = 0x40, FF_DECORATIVE = 0x50;
// Set when the font is NOT fixed pitch (the historical inversion of its name).
inline constexpr BYTE TMPF_FIXED_PITCH = 0x01, TMPF_VECTOR = 0x02, TMPF_TRUETYPE = 0x04,
                      TMPF_DEVICE = 0x08;

// Edges and frame controls.
inline constexpr UINT BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4,
                      BDR_SUNKENINNER = 0x8, BDR_OUTER = 0x3, BDR_INNER = 0xC, BDR_RAISED = 0x5,
                      BDR_SUNKEN = 0xA;
inline constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
                      EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
                      EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
                      EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
inline constexpr UINT BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8,
                      BF_TOPLEFT = 0x3, BF_BOTTOMRIGHT = 0xC, BF_RECT = 0xF, BF_DIAGONAL = 0x10,
                      BF_MIDDLE = 0x800, BF_SOFT = 0x1000, BF_ADJUST = 0x2000, BF_FLAT = 0x4000,
                      BF_MONO = 0x8000;
inline constexpr UINT DFC_CAPTION = 1, DFC_MENU = 2, DFC_SCROLL = 3, DFC_BUTTON = 4;
inline constexpr UINT DFCS_BUTTONCHECK = 0x0, DFCS_BUTTONRADIOIMAGE = 0x1,
                      DFCS_BUTTONRADIOMASK = 0x2, DFCS_BUTTONRADIO = 0x4, DFCS_BUTTON3STATE = 0x8,
                      DFCS_BUTTONPUSH = 0x10, DFCS_SCROLLUP = 0x0, DFCS_SCROLLDOWN = 0x1,
                      DFCS_SCROLLLEFT = 0x2, DFCS_SCROLLRIGHT = 0x3, DFCS_SCROLLCOMBOBOX = 0x5,
                      DFCS_CAPTIONCLOSE = 0x0, DFCS_CAPTIONMIN = 0x1, DFCS_CAPTIONMAX = 0x2,
                      DFCS_CAPTIONRESTORE = 0x3, DFCS_INACTIVE = 0x100, DFCS_PUSHED = 0x200,
                      DFCS_CHECKED = 0x400, DFCS_ADJUSTRECT = 0x2000, DFCS_FLAT = 0x4000,
                      DFCS_MONO = 0x8000;

// Device capabilities.
inline constexpr int HORZSIZE = 4, VERTSIZE = 6, HORZRES = 8, VERTRES = 10, BITSPIXEL = 12,
                     PLANES = 14, NUMCOLORS = 24, LOGPIXELSX = 88, LOGPIXELSY = 90,
                     PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111;

// System colour indexes.
inline constexpr int COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2,
                     COLOR_INACTIVECAPTION = 3, COLOR_MENU = 4, COLOR_WINDOW = 5,
                     COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8,
                     COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11,
                     COLOR_APPWORKSPACE = 12, COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14,
                     COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17,
                     COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
                     COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23,
                     COLOR_INFOBK = 24, COLOR_HOTLIGHT = 26, COLOR_GRADIENTACTIVECAPTION = 27,
                     COLOR_GRADIENTINACTIVECAPTION = 28, COLOR_MENUHILIGHT = 29, COLOR_MENUBAR = 30,
                     COLOR_DESKTOP = COLOR_BACKGROUND, COLOR_3DFACE = COLOR_BTNFACE,
                     COLOR_3DSHADOW = COLOR_BTNSHADOW, COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT,
                     COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT, COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;
inline constexpr int COLOR_COUNT = 31;

}  // namespace win
