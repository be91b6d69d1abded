#pragma once
// The header control: a row of column items in a child window of a list view (or any
// parent window). It answers the HDM_ messages and tells its parent, with WM_NOTIFY,
// of clicks (HDN_ITEMCLICK) and width changes (HDN_BEGINTRACK, HDN_ITEMCHANGING/ED,
// HDN_ENDTRACK); items with HDF_OWNERDRAW are drawn by the parent (WM_DRAWITEM,
// ODT_HEADER). Mouse messages reach it from its parent, in its own coordinates.
#include "platform/forms/CommonControls.h"

namespace Header {

// A header window whose notifications go to `parent` (idFrom: `id`).
win::HWND Create(win::HWND parent, win::UINT_PTR id = 0);
void Destroy(win::HWND header);
// Position of the header inside its parent, for painting and hit testing.
void SetBounds(win::HWND header, const win::RECT& r);
win::RECT Bounds(win::HWND header);
// The row height the header takes.
int DefaultHeight();
// True while a press on an item or a divider awaits its release (the parent routes the
// mouse to the header meanwhile).
bool Tracking(win::HWND header);
// Draws the items on dc, whose origin is the parent's corner (the header's font: `font`).
void Paint(win::HWND header, win::HDC dc, win::HFONT font);

}  // namespace Header
