#pragma once
// Image lists (comctl32): same-sized images with an optional mask, drawn onto device
// contexts, with overlay images. The system image lists of the shell are two of them
// (FileInfo.h).
#include <vector>

#include "platform/forms/graphics/GdiTypes.h"
#include "platform/system/WinTypes.h"

namespace win {

struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR = 0x0000;
inline constexpr UINT ILC_COLOR24 = 0x0018;
inline constexpr UINT ILC_COLOR32 = 0x0020;
inline constexpr UINT ILD_NORMAL = 0x0000;
inline constexpr UINT ILD_TRANSPARENT = 0x0001;
inline constexpr UINT ILD_BLEND25 = 0x0002;
inline constexpr UINT ILD_FOCUS = 0x0002;
inline constexpr UINT ILD_BLEND50 = 0x0004;
inline constexpr UINT ILD_SELECTED = 0x0004;
inline constexpr UINT ILD_MASK = 0x0010;
inline constexpr UINT ILD_OVERLAYMASK = 0x0F00;
inline constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
inline constexpr COLORREF CLR_DEFAULT = 0xFF000000;
constexpr UINT INDEXTOOVERLAYMASK(UINT i) { return i << 8; }

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);  // FALSE for the system lists, which stay
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
// Adds the bitmap's images (its width / cx of them); the mask's black pixels are drawn.
// Returns the first new index, -1 on failure.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor);
BOOL ImageList_Remove(HIMAGELIST list, int index);  // -1: all
COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color);
COLORREF ImageList_GetBkColor(HIMAGELIST list);
// Overlay 1..15 shows image `index` over another (style INDEXTOOVERLAYMASK(overlay)).
BOOL ImageList_SetOverlayImage(HIMAGELIST list, int index, int overlay);
// Draws image i at x, y: masked pixels keep the background (or the list's background
// colour when it is not CLR_NONE and ILD_TRANSPARENT is not given); ILD_SELECTED blends
// with the highlight colour.
BOOL ImageList_Draw(HIMAGELIST list, int i, HDC hdc, int x, int y, UINT style);
// The colour of one pixel of an image after masking (tests): CLR_NONE for a masked pixel.
COLORREF ImageList_GetPixel(HIMAGELIST list, int i, int x, int y);
// Ours: adds an image from cx * cy pixels, row by row (CLR_NONE: transparent); and marks a
// list shared, so that ImageList_Destroy and ImageList_Remove leave it alone.
int ImageList_AddPixels(HIMAGELIST list, const std::vector<COLORREF>& pixels);
void ImageList_MakeShared(HIMAGELIST list);

}  // namespace win
