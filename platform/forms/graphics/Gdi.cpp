#include "platform/forms/graphics/Gdi.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "platform/forms/graphics/GdiInternal.h"

namespace win {

Surface::Surface(int w, int h, std::uint32_t fill, bool mono) : monochrome(mono) {
  Resize(w, h, fill);
}

void Surface::Resize(int w, int h, std::uint32_t fill) {
  width = std::max(0, w);
  height = std::max(0, h);
  pixels.assign(std::size_t(width) * std::size_t(height),
                monochrome ? (fill ? 0xFFFFFF : 0) : fill);
}

COLORREF Surface::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
  return ColorFromPixel(pixels[std::size_t(y) * width + x]);
}

namespace gdi {
namespace {

std::mutex registryMutex;
// Never destroyed: objects freed by static destructors at exit (a printer's canvas, the
// application's forms) still find their handles, whichever static was made first.
std::unordered_set<const void*>& Live() {
  static auto& live = *new std::unordered_set<const void*>;
  return live;
}
std::unordered_set<const void*>& LiveDCs() {
  static auto& live = *new std::unordered_set<const void*>;
  return live;
}

template <class T>
T* Register(T* o) {
  std::lock_guard lock(registryMutex);
  Live().insert(o);
  return o;
}

void Release(Object* o) {
  if (!o || o->stock) return;
  if (--o->refs <= 0 && o->deleted) delete o;
}
void Retain(Object* o) {
  if (o) ++o->refs;
}

void RetainState(DCState& s) { Retain(s.pen), Retain(s.brush), Retain(s.font), Retain(s.bitmap); }
void ReleaseState(DCState& s) {
  Release(s.pen), Release(s.brush), Release(s.font);
  if (s.bitmap) {
    Bitmap* b = s.bitmap;
    s.bitmap = nullptr;
    Release(b);
  }
}

Pen* MakePen(UINT style, int width, COLORREF c, bool stock = false) {
  auto* p = new Pen;
  p->type = OBJ_PEN;
  p->lp.lopnStyle = style;
  p->lp.lopnWidth = POINT{std::max(0, width), 0};
  p->lp.lopnColor = c;
  p->stock = stock;
  return Register(p);
}
Brush* MakeBrush(UINT style, COLORREF c, bool stock = false) {
  auto* b = new Brush;
  b->type = OBJ_BRUSH;
  b->lb.lbStyle = style;
  b->lb.lbColor = c;
  b->stock = stock;
  return Register(b);
}

}  // namespace

void RegisterObject(Object* o) { Register(o); }

Object* Lookup(HGDIOBJ h, DWORD type) {
  if (!h) return nullptr;
  {
    std::lock_guard lock(registryMutex);
    if (!Live().count(h)) return nullptr;
  }
  auto* o = static_cast<Object*>(h);
  if (type && o->type != type) return nullptr;
  return o;
}

BOOL SetStatePoint(HDC h, POINT DCState::*point, POINT to, POINT* old) {
  DC* dc = LookupDC(h);
  if (!dc) return 0;
  if (old) *old = dc->st.*point;
  dc->st.*point = to;
  return 1;
}

BOOL GetStatePoint(HDC h, POINT DCState::*point, POINT* out) {
  DC* dc = LookupDC(h);
  if (!dc || !out) return 0;
  *out = dc->st.*point;
  return 1;
}

DC* LookupDC(HDC h) {
  if (!h) return nullptr;
  std::lock_guard lock(registryMutex);
  return LiveDCs().count(h) ? reinterpret_cast<DC*>(h) : nullptr;
}

}  // namespace gdi

using namespace gdi;

// --- Stock objects and system colours --------------------------------------------------

namespace {

COLORREF sysColors[COLOR_COUNT] = {
    RGB(192, 192, 192),  // scroll bar
    RGB(0, 128, 128),    // desktop
    RGB(0, 0, 128),      // active caption
    RGB(128, 128, 128),  // inactive caption
    RGB(192, 192, 192),  // menu
    RGB(255, 255, 255),  // window
    RGB(0, 0, 0),        // window frame
    RGB(0, 0, 0),        // menu text
    RGB(0, 0, 0),        // window text
    RGB(255, 255, 255),  // caption text
    RGB(192, 192, 192),  // active border
    RGB(192, 192, 192),  // inactive border
    RGB(128, 128, 128),  // application workspace
    RGB(0, 0, 128),      // highlight
    RGB(255, 255, 255),  // highlight text
    RGB(192, 192, 192),  // button face
    RGB(128, 128, 128),  // button shadow
    RGB(128, 128, 128),  // grey text
    RGB(0, 0, 0),        // button text
    RGB(192, 192, 192),  // inactive caption text
    RGB(255, 255, 255),  // button highlight
    RGB(0, 0, 0),        // 3-D dark shadow
    RGB(223, 223, 223),  // 3-D light
    RGB(0, 0, 0),        // info text
    RGB(255, 255, 225),  // info background
    RGB(192, 192, 192),  // (unused index 25)
    RGB(0, 0, 255),      // hot light
    RGB(16, 132, 208),   // gradient active caption
    RGB(181, 181, 181),  // gradient inactive caption
    RGB(0, 0, 128),      // menu highlight
    RGB(192, 192, 192),  // menu bar
};

struct Stock {
  Object* objs[18] = {};
  Brush* sysBrushes[COLOR_COUNT] = {};
  Stock() {
    objs[WHITE_BRUSH] = MakeBrush(BS_SOLID, RGB(255, 255, 255), true);
    objs[LTGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(192, 192, 192), true);
    objs[GRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(128, 128, 128), true);
    objs[DKGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(64, 64, 64), true);
    objs[BLACK_BRUSH] = MakeBrush(BS_SOLID, 0, true);
    objs[NULL_BRUSH] = MakeBrush(BS_NULL, 0, true);
    objs[WHITE_PEN] = MakePen(PS_SOLID, 1, RGB(255, 255, 255), true);
    objs[BLACK_PEN] = MakePen(PS_SOLID, 1, 0, true);
    objs[NULL_PEN] = MakePen(PS_NULL, 1, 0, true);
    for (int i = 0; i < COLOR_COUNT; ++i) sysBrushes[i] = MakeBrush(BS_SOLID, sysColors[i], true);
  }
};
Stock& Stocks() {
  static Stock s;
  return s;
}

}  // namespace

// Fonts are made by the text unit.
HGDIOBJ StockFont(int index);

HGDIOBJ GetStockObject(int index) {
  if (index == OEM_FIXED_FONT || index == ANSI_FIXED_FONT || index == ANSI_VAR_FONT ||
      index == SYSTEM_FONT || index == DEFAULT_GUI_FONT)
    return StockFont(index);
  if (index < 0 || index > NULL_PEN) return nullptr;
  return Stocks().objs[index];
}

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= COLOR_COUNT) return 0;
  return sysColors[index];
}

HBRUSH GetSysColorBrush(int index) {
  if (index < 0 || index >= COLOR_COUNT) return nullptr;
  return reinterpret_cast<HBRUSH>(Stocks().sysBrushes[index]);
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors) {
  if (count < 0 || (count && (!indexes || !colors))) return 0;
  for (int i = 0; i < count; ++i) {
    if (indexes[i] < 0 || indexes[i] >= COLOR_COUNT) continue;
    sysColors[indexes[i]] = colors[i];
    Stocks().sysBrushes[indexes[i]]->lb.lbColor = colors[i];
  }
  return 1;
}

// --- Device contexts ---------------------------------------------------------------------

namespace {
DC* NewDC() {
  auto* dc = new DC;
  dc->st.pen = static_cast<Pen*>(Stocks().objs[BLACK_PEN]);
  dc->st.brush = static_cast<Brush*>(Stocks().objs[WHITE_BRUSH]);
  dc->st.font = static_cast<Font*>(static_cast<Object*>(StockFont(SYSTEM_FONT)));
  std::lock_guard lock(registryMutex);
  LiveDCs().insert(dc);
  return dc;
}
}  // namespace

HDC CreateCompatibleDC(HDC hdc) {
  DC* dc = NewDC();
  dc->memory = true;
  auto* bmp = new Bitmap;
  bmp->type = OBJ_BITMAP;
  bmp->surface = Surface(1, 1, 0, true);
  bmp->stock = true;  // belongs to the DC: DeleteObject ignores it, DeleteDC frees it
  bmp->selectedIn = dc;
  Register(bmp);
  dc->defaultBitmap = bmp;
  dc->st.bitmap = bmp;
  if (DC* src = LookupDC(hdc)) dc->dpi = src->dpi;
  return reinterpret_cast<HDC>(dc);
}

HDC CreateScreenDC() {
  static Surface screen(1, 1);
  return CreateSurfaceDC(&screen, POINT{0, 0}, RECT{0, 0, 1, 1});
}

HDC CreateSurfaceDC(Surface* surface, POINT origin, const RECT& clip) {
  if (!surface) return nullptr;
  DC* dc = NewDC();
  dc->fixedSurface = surface;
  dc->origin = origin;
  dc->hasVisible = true;
  dc->visible = {clip};
  return reinterpret_cast<HDC>(dc);
}

HDC CreateSurfaceDCRgn(Surface* surface, POINT origin, HRGN visible) {
  auto* rgn = static_cast<Region*>(Lookup(visible, OBJ_REGION));
  if (!surface || !rgn) return nullptr;
  DC* dc = NewDC();
  dc->fixedSurface = surface;
  dc->origin = origin;
  dc->hasVisible = true;
  dc->visible = rgn->rects;
  return reinterpret_cast<HDC>(dc);
}

BOOL DeleteDC(HDC hdc) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  {
    std::lock_guard lock(registryMutex);
    LiveDCs().erase(dc);
  }
  for (DCState& s : dc->saved) ReleaseState(s);
  if (dc->st.bitmap) dc->st.bitmap->selectedIn = nullptr;
  ReleaseState(dc->st);
  if (dc->defaultBitmap) {
    {
      std::lock_guard lock(registryMutex);
      Live().erase(dc->defaultBitmap);
    }
    delete dc->defaultBitmap;
  }
  delete dc;
  return 1;
}

Surface* GetDCSurface(HDC hdc) {
  DC* dc = LookupDC(hdc);
  return dc ? dc->surface() : nullptr;
}

POINT GetDCOrigin(HDC hdc) {
  DC* dc = LookupDC(hdc);
  return dc ? dc->origin : POINT{};
}

void SetDCResolution(HDC hdc, int dpi) {
  if (DC* dc = LookupDC(hdc); dc && dpi > 0) dc->dpi = dpi;
}

void SetDCTextSink(HDC hdc, TextSink sink) {
  if (DC* dc = LookupDC(hdc)) dc->sink = std::move(sink);
}

int GetDeviceCaps(HDC hdc, int index) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  Surface* s = dc->surface();
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return dc->dpi;
    case HORZRES:
    case PHYSICALWIDTH:
      return s ? s->width : 0;
    case VERTRES:
    case PHYSICALHEIGHT:
      return s ? s->height : 0;
    case HORZSIZE:
      return s ? s->width * 254 / (dc->dpi * 10) : 0;
    case VERTSIZE:
      return s ? s->height * 254 / (dc->dpi * 10) : 0;
    case BITSPIXEL:
      return s && s->monochrome ? 1 : 32;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return -1;
    default:
      return 0;
  }
}

int SaveDC(HDC hdc) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->st);
  RetainState(dc->saved.back());
  return int(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  int n = int(dc->saved.size());
  int index = saved < 0 ? n + saved + 1 : saved;  // 1-based
  if (index < 1 || index > n) return 0;
  DCState st = dc->saved[index - 1];  // its references pass to the DC
  // Bitmaps stay with the DC that has them: a restore cannot take one from another DC.
  if (st.bitmap && st.bitmap->selectedIn && st.bitmap->selectedIn != dc) return 0;
  if (dc->st.bitmap && dc->st.bitmap != st.bitmap) dc->st.bitmap->selectedIn = nullptr;
  ReleaseState(dc->st);
  for (int i = index; i < n; ++i) ReleaseState(dc->saved[i]);
  dc->st = st;
  if (dc->st.bitmap) dc->st.bitmap->selectedIn = dc;
  dc->saved.resize(index - 1);
  dc->effValid = false;
  return 1;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  DC* dc = LookupDC(hdc);
  Object* o = Lookup(obj);
  if (!dc || !o) return nullptr;
  auto swap = [&](auto*& slot) -> HGDIOBJ {
    using T = std::remove_reference_t<decltype(*slot)>;
    T* old = slot;
    slot = static_cast<T*>(o);
    Retain(o);
    Release(old);
    return old;
  };
  switch (o->type) {
    case OBJ_PEN:
      return swap(dc->st.pen);
    case OBJ_BRUSH:
      return swap(dc->st.brush);
    case OBJ_FONT:
      return swap(dc->st.font);
    case OBJ_BITMAP: {
      if (!dc->memory) return nullptr;
      auto* b = static_cast<Bitmap*>(o);
      if (b->selectedIn && b->selectedIn != dc) return nullptr;
      Bitmap* old = dc->st.bitmap;
      if (old == b) return old;
      b->selectedIn = dc;
      Retain(b);
      dc->st.bitmap = b;
      if (old) {
        old->selectedIn = nullptr;
        Release(old);
      }
      dc->effValid = false;
      return old;
    }
    case OBJ_REGION: {
      int k = SelectClipRgn(hdc, static_cast<HRGN>(obj));
      return reinterpret_cast<HGDIOBJ>(std::intptr_t(k));
    }
  }
  return nullptr;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  DC* dc = LookupDC(hdc);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN:
      return dc->st.pen;
    case OBJ_BRUSH:
      return dc->st.brush;
    case OBJ_FONT:
      return dc->st.font;
    case OBJ_BITMAP:
      return dc->st.bitmap;
  }
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ obj) {
  Object* o = Lookup(obj);
  if (!o) return 0;
  if (o->stock) return 1;
  {
    std::lock_guard lock(registryMutex);
    Live().erase(o);
  }
  o->deleted = true;
  if (o->refs <= 0) delete o;
  return 1;
}

DWORD GetObjectType(HGDIOBJ obj) {
  if (DC* dc = LookupDC(static_cast<HDC>(obj))) return dc->memory ? OBJ_MEMDC : OBJ_DC;
  Object* o = Lookup(obj);
  return o ? o->type : 0;
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  Object* o = Lookup(obj);
  if (!o) return 0;
  auto copy = [&](const auto& v) -> int {
    if (!out) return int(sizeof(v));
    int n = std::min<int>(size, int(sizeof(v)));
    if (n <= 0) return 0;
    std::memcpy(out, &v, std::size_t(n));
    return n;
  };
  switch (o->type) {
    case OBJ_PEN:
      return copy(static_cast<Pen*>(o)->lp);
    case OBJ_BRUSH:
      return copy(static_cast<Brush*>(o)->lb);
    case OBJ_FONT:
      return copy(static_cast<Font*>(o)->lf);
    case OBJ_BITMAP: {
      auto* b = static_cast<Bitmap*>(o);
      BITMAP bm;
      bm.bmWidth = b->surface.width;
      bm.bmHeight = b->surface.height;
      bm.bmBitsPixel = b->surface.monochrome ? 1 : 32;
      bm.bmWidthBytes =
          b->surface.monochrome ? ((b->surface.width + 15) / 16) * 2 : b->surface.width * 4;
      bm.bmBits = b->surface.pixels.data();
      return copy(bm);
    }
  }
  return 0;
}

// NOLINTBEGIN(bugprone-macro-parentheses): T is a type and field a member name
#define DC_ATTR(Set, Get, T, field) \
  T Set(HDC hdc, T v) {             \
    DC* dc = LookupDC(hdc);         \
    if (!dc) return T{};            \
    T old = dc->st.field;           \
    dc->st.field = v;               \
    return old;                     \
  }                                 \
  T Get(HDC hdc) {                  \
    DC* dc = LookupDC(hdc);         \
    return dc ? dc->st.field : T{}; \
  }
// NOLINTEND(bugprone-macro-parentheses)
DC_ATTR(SetTextColor, GetTextColor, COLORREF, text)
DC_ATTR(SetBkColor, GetBkColor, COLORREF, bk)
DC_ATTR(SetBkMode, GetBkMode, int, bkMode)
DC_ATTR(SetTextAlign, GetTextAlign, UINT, align)
DC_ATTR(SetROP2, GetROP2, int, rop2)
#undef DC_ATTR

int SetPolyFillMode(HDC hdc, int mode) {
  DC* dc = LookupDC(hdc);
  if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
  std::swap(dc->st.polyFill, mode);
  return mode;
}

int SetStretchBltMode(HDC hdc, int mode) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  std::swap(dc->st.stretchMode, mode);
  return mode;
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, POINT* old) {
  return SetStatePoint(hdc, &DCState::brushOrg, POINT{x, y}, old);
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  return SetStatePoint(hdc, &DCState::viewport, POINT{x, y}, old);
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old) {
  POINT at;
  if (!GetViewportOrgEx(hdc, &at)) return 0;
  return SetViewportOrgEx(hdc, at.x + dx, at.y + dy, old);
}
BOOL GetViewportOrgEx(HDC hdc, POINT* out) { return GetStatePoint(hdc, &DCState::viewport, out); }
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* old) {
  return SetStatePoint(hdc, &DCState::window, POINT{x, y}, old);
}
BOOL GetWindowOrgEx(HDC hdc, POINT* out) { return GetStatePoint(hdc, &DCState::window, out); }

// --- Objects ---------------------------------------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
  UINT s = UINT(style) & PS_STYLE_MASK;
  if (s > PS_ALTERNATE || s == 7) return nullptr;
  return reinterpret_cast<HPEN>(MakePen(s, width, color & 0xFFFFFF));
}
HPEN CreatePenIndirect(const LOGPEN* lp) {
  return lp ? CreatePen(int(lp->lopnStyle), lp->lopnWidth.x, lp->lopnColor) : nullptr;
}
HBRUSH CreateSolidBrush(COLORREF color) {
  return reinterpret_cast<HBRUSH>(MakeBrush(BS_SOLID, color & 0xFFFFFF));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto* b = static_cast<Bitmap*>(Lookup(bitmap, OBJ_BITMAP));
  if (!b || b->surface.width == 0 || b->surface.height == 0) return nullptr;
  Brush* br = MakeBrush(BS_PATTERN, 0);
  br->pattern = std::make_shared<Surface>(b->surface);
  br->monoPattern = b->surface.monochrome;
  br->lb.lbHatch = reinterpret_cast<std::uintptr_t>(bitmap);
  return reinterpret_cast<HBRUSH>(br);
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  Brush* br = MakeBrush(BS_HATCHED, color & 0xFFFFFF);
  br->lb.lbHatch = std::uintptr_t(hatch);
  // The pattern's 0 pixels are the hatch lines; 1 pixels show the background.
  auto pat = std::make_shared<Surface>(8, 8, 0xFFFFFF, true);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      bool on = false;
      switch (hatch) {
        case HS_HORIZONTAL:
          on = y == 7;
          break;
        case HS_VERTICAL:
          on = x == 7;
          break;
        case HS_FDIAGONAL:
          on = x == y;
          break;
        case HS_BDIAGONAL:
          on = x == 7 - y;
          break;
        case HS_CROSS:
          on = x == 7 || y == 7;
          break;
        case HS_DIAGCROSS:
          on = x == y || x == 7 - y;
          break;
      }
      if (on) pat->Row(y)[x] = 0;
    }
  br->pattern = pat;
  br->monoPattern = true;
  return reinterpret_cast<HBRUSH>(br);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return nullptr;
  switch (lb->lbStyle) {
    case BS_SOLID:
      return CreateSolidBrush(lb->lbColor);
    case BS_NULL:
      return reinterpret_cast<HBRUSH>(MakeBrush(BS_NULL, 0));
    case BS_HATCHED:
      return CreateHatchBrush(int(lb->lbHatch), lb->lbColor);
    case BS_PATTERN:
      return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
  }
  return nullptr;
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits) {
  if (width < 0 || height < 0 || planes != 1 || (bpp != 1 && bpp != 24 && bpp != 32))
    return nullptr;
  if (std::int64_t(width) * height > std::int64_t{64} * 1024 * 1024) return nullptr;
  auto* b = new Bitmap;
  b->type = OBJ_BITMAP;
  bool mono = bpp == 1;
  b->surface = Surface(width, height, mono ? 0 : 0, mono);
  if (bits) {
    auto* p = static_cast<const std::uint8_t*>(bits);
    if (mono) {
      int stride = ((width + 15) / 16) * 2;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          b->surface.Row(y)[x] = (p[y * stride + x / 8] & (0x80 >> (x % 8))) ? 0xFFFFFF : 0;
    } else if (bpp == 24) {
      int stride = ((width * 3 + 3) / 4) * 4;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* q =
              p + size_t(y) * size_t(stride) + size_t(x) * 3;  // blue, green, red
          b->surface.Row(y)[x] =
              std::uint32_t(q[0]) | (std::uint32_t(q[1]) << 8) | (std::uint32_t(q[2]) << 16);
        }
    } else {
      auto* q = static_cast<const std::uint32_t*>(bits);
      for (std::size_t i = 0; i < b->surface.pixels.size(); ++i)
        b->surface.pixels[i] = q[i] & 0xFFFFFF;
    }
  }
  return reinterpret_cast<HBITMAP>(Register(b));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  DC* dc = LookupDC(hdc);
  if (!dc) return nullptr;
  Surface* s = dc->surface();
  bool mono = s && s->monochrome;
  return CreateBitmap(width, height, 1, mono ? 1 : 32, nullptr);
}

Surface* GetBitmapSurface(HBITMAP bitmap) {
  auto* b = static_cast<Bitmap*>(Lookup(bitmap, OBJ_BITMAP));
  return b ? &b->surface : nullptr;
}

}  // namespace win
