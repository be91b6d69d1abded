#pragma once
// Regions (rectangle lists) and the clipping of device contexts.
#include <vector>

#include "platform/forms/graphics/GdiTypes.h"

namespace win {

// --- Regions -------------------------------------------------------------------------
HRGN CreateRectRgn(int l, int t, int r, int b);
HRGN CreateRectRgnIndirect(const RECT* r);
HRGN CreateEllipticRgn(int l, int t, int r, int b);
HRGN CreateRoundRectRgn(int l, int t, int r, int b, int w, int h);
HRGN CreatePolygonRgn(const POINT* pts, int count, int fillMode);
BOOL SetRectRgn(HRGN rgn, int l, int t, int r, int b);
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
int GetRgnBox(HRGN rgn, RECT* out);
BOOL PtInRegion(HRGN rgn, int x, int y);
BOOL RectInRegion(HRGN rgn, const RECT* r);
BOOL EqualRgn(HRGN a, HRGN b);
// The rectangles of a region, sorted top to bottom, left to right (tests, back-ends).
std::vector<RECT> GetRegionRects(HRGN rgn);

// Clipping, in logical coordinates at the time of the call.
int SelectClipRgn(HDC hdc, HRGN rgn);  // null removes the clip; the region is copied
int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode);
int IntersectClipRect(HDC hdc, int l, int t, int r, int b);
int ExcludeClipRect(HDC hdc, int l, int t, int r, int b);
int OffsetClipRgn(HDC hdc, int dx, int dy);
int GetClipBox(HDC hdc, RECT* out);
int GetClipRgn(HDC hdc, HRGN out);  // 1 with a clip, 0 without, -1 on error
BOOL PtVisible(HDC hdc, int x, int y);
BOOL RectVisible(HDC hdc, const RECT* r);

}  // namespace win
