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
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16); }
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
