#pragma once
// The software device context: pixel surfaces, device contexts and GDI objects; with the
// regions and clipping (GdiRegions.h) and the drawing and blits (GdiDrawing.h) it brings in.
// Failures (unknown handles, bad sizes) return 0/FALSE/null as Windows does; nothing crashes.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/graphics/GdiDrawing.h"
#include "platform/forms/graphics/GdiRegions.h"
#include "platform/forms/graphics/GdiTypes.h"

namespace win {

// A pixel surface: 0x00RRGGBB per pixel, rows top to bottom. A monochrome surface holds
// only 0x000000 (0) and 0xFFFFFF (1); blits convert to and from it as Windows does.
struct Surface {
  int width = 0;
  int height = 0;
  bool monochrome = false;
  std::vector<std::uint32_t> pixels;

  Surface() = default;
  Surface(int w, int h, std::uint32_t fill = 0xFFFFFF, bool mono = false);
  void Resize(int w, int h, std::uint32_t fill = 0xFFFFFF);
  std::uint32_t* Row(int y) { return pixels.data() + std::size_t(y) * std::size_t(width); }
  const std::uint32_t* Row(int y) const {
    return pixels.data() + std::size_t(y) * std::size_t(width);
  }
  // Pixel as COLORREF; out of range gives CLR_INVALID.
  COLORREF At(int x, int y) const;
};

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
inline constexpr std::uint32_t PixelFromColor(COLORREF c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline constexpr COLORREF ColorFromPixel(std::uint32_t p) {
  return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}

// --- Device contexts -------------------------------------------------------------------
// A memory DC; its default bitmap is 1x1 monochrome, as on Windows.
HDC CreateCompatibleDC(HDC hdc);
// A DC for measuring and screen-compatible bitmaps (32-bit, 96 dpi). Free with DeleteDC.
HDC CreateScreenDC();
// Hook for the window toolkit: a DC drawing onto `surface` (which must outlive the DC),
// whose logical (0,0) lies at `origin` on the surface and which never draws outside
// `clip` (surface coordinates). Free with DeleteDC.
HDC CreateSurfaceDC(Surface* surface, POINT origin, const RECT& clip);
// Same, over a region in surface coordinates (the visible part of a window).
HDC CreateSurfaceDCRgn(Surface* surface, POINT origin, HRGN visible);
BOOL DeleteDC(HDC hdc);
// The surface a DC draws on (the selected bitmap's for a memory DC), or null.
Surface* GetDCSurface(HDC hdc);
// Origin of the DC on its surface (what CreateSurfaceDC was given; 0,0 for memory DCs).
POINT GetDCOrigin(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
// Resolution reported by GetDeviceCaps(LOGPIXELSX/Y); printers use a higher one.
void SetDCResolution(HDC hdc, int dpi);

int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int saved);  // negative: relative to the latest save

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);  // a region selects a clip and returns its kind
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(HGDIOBJ obj);
int GetObject(HGDIOBJ obj, int size, void* out);
DWORD GetObjectType(HGDIOBJ obj);

COLORREF SetTextColor(HDC hdc, COLORREF c);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF c);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
int SetROP2(HDC hdc, int rop2);
int GetROP2(HDC hdc);
int SetPolyFillMode(HDC hdc, int mode);
int SetStretchBltMode(HDC hdc, int mode);
BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* old);

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old);
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old);
BOOL GetViewportOrgEx(HDC hdc, POINT* out);
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* old);
BOOL GetWindowOrgEx(HDC hdc, POINT* out);

// --- Objects -----------------------------------------------------------------------------
HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* lp);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateBrushIndirect(const LOGBRUSH* lb);
// The brush copies the bitmap; a monochrome pattern draws 0 in the text colour and 1 in
// the background colour of the DC it is used on.
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
// bits: rows of `bpp` bits (1 or 32, rows padded to 16 bits for 1 bpp as Windows wants), or null.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// The pixels of a bitmap (also through GetObject's bmBits), or null.
Surface* GetBitmapSurface(HBITMAP bitmap);

// --- System colours ---------------------------------------------------------------------
COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors);

// --- Internal hooks ------------------------------------------------------------------------
// Called with each run of text a DC draws (device coordinates, cell top, pixel height):
// printers turn them into searchable text.
using TextSink = std::function<void(int x, int y, int height, const std::string& utf8)>;
void SetDCTextSink(HDC hdc, TextSink sink);

}  // namespace win
