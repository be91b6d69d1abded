#pragma once
// Private to the drawing layer: the objects behind the handles and the DC state, shared by
// the drawing and text units.
#include <memory>
#include <utility>
#include <vector>

#include "platform/forms/graphics/Gdi.h"

namespace win::gdi {

struct FontInstance;

struct Object {
  DWORD type = 0;
  int refs = 0;          // references from DC states (current and saved)
  bool stock = false;    // never freed
  bool deleted = false;  // DeleteObject while selected: freed when the last DC lets go
  virtual ~Object() = default;
};

struct Pen : Object {
  LOGPEN lp;
};

struct Brush : Object {
  LOGBRUSH lb;
  std::shared_ptr<Surface> pattern;  // BS_PATTERN / BS_HATCHED
  bool monoPattern = false;          // 0 -> text colour, 1 -> background colour
};

struct DC;
struct Bitmap : Object {
  Surface surface;
  DC* selectedIn = nullptr;
};

struct Region : Object {
  std::vector<RECT> rects;  // disjoint
};

struct Font : Object {
  LOGFONT lf;
  std::shared_ptr<FontInstance> inst;  // realized on first use
};

struct DCState {
  Pen* pen = nullptr;
  Brush* brush = nullptr;
  Font* font = nullptr;
  Bitmap* bitmap = nullptr;
  COLORREF text = 0, bk = 0xFFFFFF;
  int bkMode = OPAQUE;
  UINT align = 0;
  int rop2 = R2_COPYPEN;
  int polyFill = ALTERNATE;
  int stretchMode = BLACKONWHITE;
  POINT viewport, window, brushOrg, cur;
  bool hasClip = false;
  std::vector<RECT> clip;  // device coordinates (relative to the DC origin)
};

struct DC {
  DCState st;
  std::vector<DCState> saved;
  bool memory = false;
  Bitmap* defaultBitmap = nullptr;  // memory DCs: the 1x1 monochrome bitmap they start with
  Surface* fixedSurface = nullptr;  // window DCs
  POINT origin;                     // of the DC on the surface
  bool hasVisible = false;
  std::vector<RECT> visible;  // surface coordinates
  int dpi = 96;
  TextSink sink;
  std::vector<RECT> eff;  // effective clip in surface coordinates
  bool effValid = false;

  Surface* surface() {
    return fixedSurface ? fixedSurface : (st.bitmap ? &st.bitmap->surface : nullptr);
  }
  // Logical -> surface coordinates.
  int SX(int x) const { return x - st.window.x + st.viewport.x + origin.x; }
  int SY(int y) const { return y - st.window.y + st.viewport.y + origin.y; }
  const std::vector<RECT>& Clip();
};

DC* LookupDC(HDC h);
// A point of a DC's state (origins, current position) as the ...Ex calls set and read it:
// false for a bad DC or a missing out-parameter; `old` may be null.
BOOL SetStatePoint(HDC h, POINT DCState::*point, POINT to, POINT* old);
BOOL GetStatePoint(HDC h, POINT DCState::*point, POINT* out);
void RegisterObject(Object* o);  // makes the handle valid
Object* Lookup(HGDIOBJ h, DWORD type = 0);

// Rectangle-list region algebra.
std::vector<RECT> Combine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode);
std::vector<RECT> IntersectRects(const std::vector<RECT>& a, const RECT& r);

// Regions: a new one of the rectangles (empty ones dropped), the one behind a handle, the
// kind of a rectangle list (NULLREGION, SIMPLEREGION, COMPLEXREGION), a rectangle from
// corners in any order.
Region* NewRegion(std::vector<RECT> rects);
Region* Rgn(HRGN h);
int Kind(const std::vector<RECT>& rs);
RECT Normalized(int l, int t, int r, int b);
// Rows (inclusive x ranges) of a rounded rectangle whose pixels span [l, r) x [t, b); rx, ry
// are corner radii (half the ellipse's extents); an ellipse is rx = width/2, ry = height/2.
std::vector<std::pair<int, int>> RoundSpans(int l, int t, int r, int b, double rx, double ry);
// Scanline fill of a polygon into rectangles (pixel centres inside the outline).
std::vector<RECT> PolygonRects(const POINT* pts, int n, int fillMode);

// Colour ink for fills in surface coordinates, honouring the DC's raster op.
std::uint32_t ToDevice(DC& dc, COLORREF c);  // monochrome surfaces get 0 or 0xFFFFFF
void FillSpanSolid(DC& dc, int y, int x0, int x1, std::uint32_t px, int rop2);
void FillRectSolid(DC& dc, RECT sr, std::uint32_t px, int rop2);   // surface coordinates
void PlotSolid(DC& dc, int x, int y, std::uint32_t px, int rop2);  // surface coordinates
bool InClip(DC& dc, int x, int y);

}  // namespace win::gdi
