#pragma once
// Drawing on device contexts: pixels, lines, shapes, fills, edges and frame controls, and
// the blits with their raster operations.
#include <cstdint>

#include "platform/forms/graphics/GdiTypes.h"

namespace win {

// --- Drawing ----------------------------------------------------------------------------
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF c);
BOOL SetPixelV(HDC hdc, int x, int y, COLORREF c);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL MoveToEx(HDC hdc, int x, int y, POINT* old);
BOOL GetCurrentPositionEx(HDC hdc, POINT* out);
BOOL LineTo(HDC hdc, int x, int y);  // the end point is not drawn
BOOL Polyline(HDC hdc, const POINT* pts, int count);
BOOL Polygon(HDC hdc, const POINT* pts, int count);
BOOL Rectangle(HDC hdc, int l, int t, int r, int b);
BOOL RoundRect(HDC hdc, int l, int t, int r, int b, int w, int h);
BOOL Ellipse(HDC hdc, int l, int t, int r, int b);
// A brush handle may also be a system colour index + 1, as Windows allows.
int FillRect(HDC hdc, const RECT* r, HBRUSH brush);
int FrameRect(HDC hdc, const RECT* r, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT* r);
BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush);
BOOL FrameRgn(HDC hdc, HRGN rgn, HBRUSH brush, int w, int h);
BOOL PaintRgn(HDC hdc, HRGN rgn);
// Inverts every other pixel of the rectangle's outline: drawn twice it disappears.
BOOL DrawFocusRect(HDC hdc, const RECT* r);
BOOL DrawEdge(HDC hdc, RECT* r, UINT edge, UINT flags);
BOOL DrawFrameControl(HDC hdc, RECT* r, UINT type, UINT state);

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop);
// Negative extents mirror; sampling is nearest-neighbour.
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop);
// Copies the source leaving out the pixels of colour `transparent`.
BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT transparent);

// The combined value of a ternary raster operation for 32-bit pattern, source and
// destination words (every bit independently).
std::uint32_t Rop3Apply(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d);

}  // namespace win
