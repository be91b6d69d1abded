#pragma once
// Logical fonts and text output on device contexts. Strings are UTF-8; a length of -1
// means "up to the terminating NUL".
#include <string>

#include "platform/forms/graphics/Gdi.h"

namespace win {

HFONT CreateFontIndirect(const LOGFONT* lf);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charset, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* face);
BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm);
int GetTextFace(HDC hdc, int size, char* out);

BOOL GetTextExtentPoint32(HDC hdc, const char* s, int len, SIZE* out);
BOOL GetTextExtentPoint32(HDC hdc, const std::string& s, SIZE* out);
// How many characters fit in maxExtent, and the extent of each prefix.
BOOL GetTextExtentExPoint(HDC hdc, const char* s, int len, int maxExtent, int* fit, int* dx,
                          SIZE* size);

BOOL TextOut(HDC hdc, int x, int y, const char* s, int len);
BOOL TextOut(HDC hdc, int x, int y, const std::string& s);
// dx: optional advance per character.
BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* r, const char* s, int len,
                const int* dx);
// Returns MAKELONG(width, height). Negative tab stops right-align the text that follows.
LONG TabbedTextOut(HDC hdc, int x, int y, const char* s, int len, int tabCount, const int* tabs,
                   int tabOrigin);
DWORD GetTabbedTextExtent(HDC hdc, const char* s, int len, int tabCount, const int* tabs);

// Returns the text height (with DT_VCENTER/DT_BOTTOM on one line: the offset from the
// rectangle's top to the bottom of the text); 0 on failure.
int DrawText(HDC hdc, const char* s, int len, RECT* r, UINT format);
int DrawText(HDC hdc, const std::string& s, RECT* r, UINT format);
int DrawTextEx(HDC hdc, const char* s, int len, RECT* r, UINT format, DRAWTEXTPARAMS* params);

// The stock fonts (GetStockObject).
HGDIOBJ StockFont(int index);

}  // namespace win
