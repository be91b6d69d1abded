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

DC* LookupDC(HDC h) {
  if (!h) return nullptr;
  std::lock_guard lock(registryMutex);
  return LiveDCs().count(h) ? reinterpret_cast<DC*>(h) : nullptr;
}

// --- Region algebra on rectangle lists -------------------------------------------------

std::vector<RECT> IntersectRects(const std::vector<RECT>& a, const RECT& r) {
  std::vector<RECT> out;
  for (const RECT& x : a) {
    RECT i;
    if (IntersectRect(&i, &x, &r)) out.push_back(i);
  }
  return out;
}

namespace {
bool Covers(const std::vector<RECT>& rs, LONG x, LONG y) {
  for (const RECT& r : rs)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

// Merges per-row spans into as few rectangles as possible (rows with equal spans join).
std::vector<RECT> FromCells(const std::vector<LONG>& xs, const std::vector<LONG>& ys,
                            const std::vector<std::vector<bool>>& in) {
  std::vector<RECT> out;
  std::vector<RECT> open;  // rectangles that may still grow downwards
  for (std::size_t j = 0; j + 1 < ys.size(); ++j) {
    std::vector<RECT> spans;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
      if (!in[j][i]) continue;
      if (!spans.empty() && spans.back().right == xs[i])
        spans.back().right = xs[i + 1];
      else
        spans.push_back(RECT{xs[i], ys[j], xs[i + 1], ys[j + 1]});
    }
    std::vector<RECT> next;
    for (RECT s : spans) {
      auto it = std::find_if(open.begin(), open.end(), [&](const RECT& o) {
        return o.left == s.left && o.right == s.right && o.bottom == s.top;
      });
      if (it != open.end()) {
        s.top = it->top;
        open.erase(it);
      }
      next.push_back(s);
    }
    for (const RECT& o : open) out.push_back(o);
    open = std::move(next);
  }
  for (const RECT& o : open) out.push_back(o);
  std::sort(out.begin(), out.end(), [](const RECT& a, const RECT& b) {
    return a.top != b.top ? a.top < b.top : a.left < b.left;
  });
  return out;
}
}  // namespace

std::vector<RECT> Combine(const std::vector<RECT>& a, const std::vector<RECT>& b, int mode) {
  if (mode == RGN_COPY) return a;
  if (mode == RGN_AND && b.size() == 1 && a.size() == 1) {
    RECT i;
    if (IntersectRect(&i, &a[0], &b[0])) return {i};
    return {};
  }
  std::vector<LONG> xs, ys;
  for (const auto* v : {&a, &b})
    for (const RECT& r : *v) {
      if (IsRectEmpty(&r)) continue;
      xs.push_back(r.left), xs.push_back(r.right), ys.push_back(r.top), ys.push_back(r.bottom);
    }
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  if (xs.size() < 2 || ys.size() < 2) return {};
  std::vector<std::vector<bool>> in(ys.size() - 1, std::vector<bool>(xs.size() - 1));
  for (std::size_t j = 0; j + 1 < ys.size(); ++j)
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
      bool ia = Covers(a, xs[i], ys[j]), ib = Covers(b, xs[i], ys[j]);
      bool v = mode == RGN_AND   ? ia && ib
               : mode == RGN_OR  ? ia || ib
               : mode == RGN_XOR ? ia != ib
                                 : ia && !ib;
      in[j][i] = v;
    }
  return FromCells(xs, ys, in);
}

const std::vector<RECT>& DC::Clip() {
  if (effValid) return eff;
  Surface* s = surface();
  RECT bounds{0, 0, s ? s->width : 0, s ? s->height : 0};
  std::vector<RECT> r = hasVisible ? IntersectRects(visible, bounds) : std::vector<RECT>{bounds};
  if (st.hasClip) {
    std::vector<RECT> c = st.clip;
    for (RECT& x : c) OffsetRect(&x, origin.x, origin.y);
    r = Combine(r, c, RGN_AND);
  }
  r.erase(std::remove_if(r.begin(), r.end(), [](const RECT& x) { return IsRectEmpty(&x); }),
          r.end());
  eff = std::move(r);
  effValid = true;
  return eff;
}

std::uint32_t ToDevice(DC& dc, COLORREF c) {
  Surface* s = dc.surface();
  if (s && s->monochrome) {
    if (c == dc.st.bk) return 0xFFFFFF;
    int lum = GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11;
    return lum >= 12800 ? 0xFFFFFF : 0;
  }
  return PixelFromColor(c & 0xFFFFFF);
}

namespace {
inline std::uint32_t Rop2(int rop2, std::uint32_t p, std::uint32_t d) {
  switch (rop2) {
    case R2_COPYPEN:
      return p;
    case R2_XORPEN:
      return p ^ d;
    case R2_NOP:
      return d;
    case R2_NOT:
      return ~d & 0xFFFFFF;
    default:
      break;
  }
  unsigned v = unsigned(rop2 - 1) & 0xF;
  std::uint32_t r = 0;
  if (v & 1) r |= ~p & ~d;
  if (v & 2) r |= ~p & d;
  if (v & 4) r |= p & ~d;
  if (v & 8) r |= p & d;
  return r & 0xFFFFFF;
}
}  // namespace

bool InClip(DC& dc, int x, int y) {
  for (const RECT& r : dc.Clip())
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

void PlotSolid(DC& dc, int x, int y, std::uint32_t px, int rop2) {
  if (!InClip(dc, x, y)) return;
  std::uint32_t& d = dc.surface()->Row(y)[x];
  d = Rop2(rop2, px, d);
}

void FillSpanSolid(DC& dc, int y, int x0, int x1, std::uint32_t px, int rop2) {
  Surface* s = dc.surface();
  if (!s || x1 <= x0) return;
  for (const RECT& r : dc.Clip()) {
    if (y < r.top || y >= r.bottom) continue;
    int a = std::max<int>(x0, r.left), b = std::min<int>(x1, r.right);
    if (a >= b) continue;
    std::uint32_t* row = s->Row(y);
    if (rop2 == R2_COPYPEN)
      std::fill(row + a, row + b, px);
    else
      for (int x = a; x < b; ++x) row[x] = Rop2(rop2, px, row[x]);
  }
}

void FillRectSolid(DC& dc, RECT sr, std::uint32_t px, int rop2) {
  Surface* s = dc.surface();
  if (!s) return;
  for (const RECT& c : dc.Clip()) {
    RECT i;
    if (!IntersectRect(&i, &sr, &c)) continue;
    for (int y = i.top; y < i.bottom; ++y) {
      std::uint32_t* row = s->Row(y);
      if (rop2 == R2_COPYPEN)
        std::fill(row + i.left, row + i.right, px);
      else
        for (int x = i.left; x < i.right; ++x) row[x] = Rop2(rop2, px, row[x]);
    }
  }
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
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (old) *old = dc->st.brushOrg;
  dc->st.brushOrg = POINT{x, y};
  return 1;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (old) *old = dc->st.viewport;
  dc->st.viewport = POINT{x, y};
  return 1;
}
BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (old) *old = dc->st.viewport;
  dc->st.viewport.x += dx;
  dc->st.viewport.y += dy;
  return 1;
}
BOOL GetViewportOrgEx(HDC hdc, POINT* out) {
  DC* dc = LookupDC(hdc);
  if (!dc || !out) return 0;
  *out = dc->st.viewport;
  return 1;
}
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT* old) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (old) *old = dc->st.window;
  dc->st.window = POINT{x, y};
  return 1;
}
BOOL GetWindowOrgEx(HDC hdc, POINT* out) {
  DC* dc = LookupDC(hdc);
  if (!dc || !out) return 0;
  *out = dc->st.window;
  return 1;
}

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
  if (std::int64_t(width) * height > 64 * 1024 * 1024) return nullptr;
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
          const std::uint8_t* q = p + y * stride + x * 3;  // blue, green, red
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

// --- Regions -----------------------------------------------------------------------------

namespace gdi {

Region* NewRegion(std::vector<RECT> rects) {
  auto* r = new Region;
  r->type = OBJ_REGION;
  rects.erase(
      std::remove_if(rects.begin(), rects.end(), [](const RECT& x) { return IsRectEmpty(&x); }),
      rects.end());
  r->rects = std::move(rects);
  RegisterObject(r);
  return r;
}
Region* Rgn(HRGN h) { return static_cast<Region*>(Lookup(h, OBJ_REGION)); }
int Kind(const std::vector<RECT>& rs) {
  return rs.empty() ? NULLREGION : rs.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}
RECT Normalized(int l, int t, int r, int b) {
  return RECT{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)};
}

namespace {
// Spans (inclusive x ranges) of a shape per row, made into rectangles.
std::vector<RECT> SpansToRects(int top, const std::vector<std::pair<int, int>>& spans) {
  std::vector<RECT> out;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    auto [a, b] = spans[i];
    if (b < a) continue;
    int y = top + int(i);
    if (!out.empty() && out.back().left == a && out.back().right == b + 1 && out.back().bottom == y)
      out.back().bottom = y + 1;
    else
      out.push_back(RECT{a, y, b + 1, y + 1});
  }
  return out;
}
}  // namespace

std::vector<std::pair<int, int>> RoundSpans(int l, int t, int r, int b, double rx, double ry) {
  std::vector<std::pair<int, int>> spans;
  int w = r - l, h = b - t;
  if (w <= 0 || h <= 0) return spans;
  rx = std::min(rx, w / 2.0);
  ry = std::min(ry, h / 2.0);
  for (int y = t; y < b; ++y) {
    double cy = y + 0.5;
    double dy = 0;
    if (cy < t + ry)
      dy = t + ry - cy;
    else if (cy > b - ry)
      dy = cy - (b - ry);
    double half = 0;
    if (ry > 0 && dy > 0) {
      double q = 1 - (dy / ry) * (dy / ry);
      half = q > 0 ? rx * std::sqrt(q) : 0;
    } else {
      half = rx;
    }
    double x0 = l + rx - half, x1 = r - rx + half;
    int a = int(std::ceil(x0 - 0.5 + 1e-9)), z = int(std::floor(x1 - 0.5 - 1e-9));
    if (z < a && dy > 0 && half > 0) a = z = int(std::floor((x0 + x1) / 2));
    spans.push_back({std::max(a, l), std::min(z, r - 1)});
  }
  return spans;
}

std::vector<RECT> PolygonRects(const POINT* pts, int n, int fillMode) {
  std::vector<RECT> out;
  if (!pts || n < 3) return out;
  int ymin = pts[0].y, ymax = pts[0].y;
  for (int i = 1; i < n; ++i)
    ymin = std::min<int>(ymin, pts[i].y), ymax = std::max<int>(ymax, pts[i].y);
  for (int y = ymin; y < ymax; ++y) {
    double cy = y + 0.5;
    std::vector<std::pair<double, int>> xs;
    for (int i = 0; i < n; ++i) {
      POINT a = pts[i], b = pts[(i + 1) % n];
      if (a.y == b.y) continue;
      bool up = a.y < b.y;
      double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
      if (cy < y0 || cy >= y1) continue;
      double x = a.x + (cy - a.y) * double(b.x - a.x) / double(b.y - a.y);
      xs.push_back({x, up ? 1 : -1});
    }
    std::sort(xs.begin(), xs.end());
    int wind = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
      wind += xs[i].second;
      bool inside = fillMode == WINDING ? wind != 0 : (i % 2 == 0);
      if (!inside) continue;
      int a = int(std::ceil(xs[i].first - 0.5)), b = int(std::ceil(xs[i + 1].first - 0.5));
      if (b > a) out.push_back(RECT{a, y, b, y + 1});
    }
  }
  return Combine(out, {}, RGN_OR);
}

}  // namespace gdi

HRGN CreateRectRgn(int l, int t, int r, int b) {
  return reinterpret_cast<HRGN>(NewRegion({Normalized(l, t, r, b)}));
}
HRGN CreateRectRgnIndirect(const RECT* r) {
  return r ? CreateRectRgn(r->left, r->top, r->right, r->bottom) : nullptr;
}
HRGN CreateEllipticRgn(int l, int t, int r, int b) {
  RECT n = Normalized(l, t, r, b);
  return reinterpret_cast<HRGN>(NewRegion(SpansToRects(
      n.top, RoundSpans(n.left, n.top, n.right, n.bottom, n.Width() / 2.0, n.Height() / 2.0))));
}
HRGN CreateRoundRectRgn(int l, int t, int r, int b, int w, int h) {
  RECT n = Normalized(l, t, r, b);
  return reinterpret_cast<HRGN>(NewRegion(SpansToRects(
      n.top, RoundSpans(n.left, n.top, n.right, n.bottom, std::abs(w) / 2.0, std::abs(h) / 2.0))));
}
HRGN CreatePolygonRgn(const POINT* pts, int count, int fillMode) {
  if (!pts || count < 0) return nullptr;
  return reinterpret_cast<HRGN>(NewRegion(PolygonRects(pts, count, fillMode)));
}
BOOL SetRectRgn(HRGN rgn, int l, int t, int r, int b) {
  Region* g = Rgn(rgn);
  if (!g) return 0;
  RECT n = Normalized(l, t, r, b);
  g->rects.clear();
  if (!IsRectEmpty(&n)) g->rects.push_back(n);
  return 1;
}
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  Region *d = Rgn(dest), *ra = Rgn(a), *rb = Rgn(b);
  if (!d || !ra || (mode != RGN_COPY && !rb) || mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  d->rects = Combine(ra->rects, mode == RGN_COPY ? std::vector<RECT>{} : rb->rects, mode);
  return Kind(d->rects);
}
int OffsetRgn(HRGN rgn, int dx, int dy) {
  Region* g = Rgn(rgn);
  if (!g) return RGN_ERROR;
  for (RECT& r : g->rects) OffsetRect(&r, dx, dy);
  return Kind(g->rects);
}
int GetRgnBox(HRGN rgn, RECT* out) {
  Region* g = Rgn(rgn);
  if (!g || !out) return RGN_ERROR;
  RECT box{};
  for (const RECT& r : g->rects) UnionRect(&box, &box, &r);
  *out = box;
  return Kind(g->rects);
}
BOOL PtInRegion(HRGN rgn, int x, int y) {
  Region* g = Rgn(rgn);
  return g && Covers(g->rects, x, y);
}
BOOL RectInRegion(HRGN rgn, const RECT* r) {
  Region* g = Rgn(rgn);
  if (!g || !r) return 0;
  return !IntersectRects(g->rects, *r).empty();
}
BOOL EqualRgn(HRGN a, HRGN b) {
  Region *ra = Rgn(a), *rb = Rgn(b);
  if (!ra || !rb) return 0;
  return Combine(ra->rects, rb->rects, RGN_XOR).empty();
}
std::vector<RECT> GetRegionRects(HRGN rgn) {
  Region* g = Rgn(rgn);
  return g ? Combine(g->rects, {}, RGN_OR) : std::vector<RECT>{};
}

// --- Clipping -------------------------------------------------------------------------------

namespace {
// The DC's current clip in device coordinates (everything when it has none).
std::vector<RECT> CurrentClip(DC& dc) {
  if (dc.st.hasClip) return dc.st.clip;
  return {RECT{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28}};
}
int ClipKind(DC& dc) {
  dc.effValid = false;
  return Kind(dc.Clip());
}
RECT ToDeviceRect(DC& dc, int l, int t, int r, int b) {
  RECT n = Normalized(l, t, r, b);
  int ox = -dc.st.window.x + dc.st.viewport.x, oy = -dc.st.window.y + dc.st.viewport.y;
  OffsetRect(&n, ox, oy);
  return n;
}
}  // namespace

int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode) {
  DC* dc = LookupDC(hdc);
  if (!dc) return RGN_ERROR;
  if (!rgn) {
    if (mode != RGN_COPY) return RGN_ERROR;
    dc->st.hasClip = false;
    dc->st.clip.clear();
    return ClipKind(*dc);
  }
  Region* g = Rgn(rgn);
  if (!g || mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  if (mode == RGN_COPY) {
    dc->st.clip = g->rects;
  } else {
    dc->st.clip = Combine(CurrentClip(*dc), g->rects, mode);
  }
  dc->st.hasClip = true;
  return ClipKind(*dc);
}

int SelectClipRgn(HDC hdc, HRGN rgn) { return ExtSelectClipRgn(hdc, rgn, RGN_COPY); }

int IntersectClipRect(HDC hdc, int l, int t, int r, int b) {
  DC* dc = LookupDC(hdc);
  if (!dc) return RGN_ERROR;
  dc->st.clip = Combine(CurrentClip(*dc), {ToDeviceRect(*dc, l, t, r, b)}, RGN_AND);
  dc->st.hasClip = true;
  return ClipKind(*dc);
}

int ExcludeClipRect(HDC hdc, int l, int t, int r, int b) {
  DC* dc = LookupDC(hdc);
  if (!dc) return RGN_ERROR;
  dc->st.clip = Combine(CurrentClip(*dc), {ToDeviceRect(*dc, l, t, r, b)}, RGN_DIFF);
  dc->st.hasClip = true;
  return ClipKind(*dc);
}

int OffsetClipRgn(HDC hdc, int dx, int dy) {
  DC* dc = LookupDC(hdc);
  if (!dc) return RGN_ERROR;
  if (dc->st.hasClip)
    for (RECT& r : dc->st.clip) OffsetRect(&r, dx, dy);
  return ClipKind(*dc);
}

int GetClipBox(HDC hdc, RECT* out) {
  DC* dc = LookupDC(hdc);
  if (!dc || !out) return RGN_ERROR;
  RECT box{};
  for (const RECT& r : dc->Clip()) UnionRect(&box, &box, &r);
  // Back to logical coordinates.
  OffsetRect(&box, -dc->origin.x + dc->st.window.x - dc->st.viewport.x,
             -dc->origin.y + dc->st.window.y - dc->st.viewport.y);
  *out = box;
  return Kind(dc->Clip());
}

int GetClipRgn(HDC hdc, HRGN out) {
  DC* dc = LookupDC(hdc);
  Region* g = Rgn(out);
  if (!dc || !g) return -1;
  if (!dc->st.hasClip) return 0;
  g->rects = dc->st.clip;
  return 1;
}

BOOL PtVisible(HDC hdc, int x, int y) {
  DC* dc = LookupDC(hdc);
  return dc && InClip(*dc, dc->SX(x), dc->SY(y));
}

BOOL RectVisible(HDC hdc, const RECT* r) {
  DC* dc = LookupDC(hdc);
  if (!dc || !r) return 0;
  RECT s{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)};
  return !IntersectRects(dc->Clip(), s).empty();
}

// --- Drawing ----------------------------------------------------------------------------------

namespace {

// Brush ink at a surface position (pattern brushes repeat from the brush origin).
struct BrushInk {
  DC& dc;
  Brush* br;
  std::uint32_t solid = 0, fg = 0, bg = 0;
  bool none = false;
  BrushInk(DC& d, Brush* b) : dc(d), br(b) {
    if (!br || br->lb.lbStyle == BS_NULL) {
      none = true;
      return;
    }
    solid = ToDevice(dc, br->lb.lbColor);
    if (br->monoPattern) {
      // Hatches draw their lines in the brush colour; mono patterns use the DC's colours.
      fg = br->lb.lbStyle == BS_HATCHED ? solid : ToDevice(dc, dc.st.text);
      bg = ToDevice(dc, dc.st.bk);
    }
  }
  bool Patterned() const { return br && br->pattern != nullptr; }
  std::uint32_t At(int x, int y) const {
    if (!br->pattern) return solid;
    const Surface& p = *br->pattern;
    int px = ((x - dc.origin.x - dc.st.brushOrg.x) % p.width + p.width) % p.width;
    int py = ((y - dc.origin.y - dc.st.brushOrg.y) % p.height + p.height) % p.height;
    std::uint32_t v = p.Row(py)[px];
    if (br->monoPattern) return v ? bg : fg;
    Surface* s = dc.surface();
    if (s && s->monochrome) return ToDevice(dc, ColorFromPixel(v));
    return v;
  }
};

void FillRectBrush(DC& dc, RECT sr, Brush* br, int rop2) {
  BrushInk ink(dc, br);
  if (ink.none) return;
  if (!ink.Patterned()) return FillRectSolid(dc, sr, ink.solid, rop2);
  Surface* s = dc.surface();
  if (!s) return;
  for (const RECT& c : dc.Clip()) {
    RECT i;
    if (!IntersectRect(&i, &sr, &c)) continue;
    for (int y = i.top; y < i.bottom; ++y) {
      std::uint32_t* row = s->Row(y);
      for (int x = i.left; x < i.right; ++x) row[x] = Rop2(rop2, ink.At(x, y), row[x]);
    }
  }
}

void FillSpansBrush(DC& dc, int top, const std::vector<std::pair<int, int>>& spans, Brush* br,
                    int rop2) {
  for (std::size_t i = 0; i < spans.size(); ++i)
    if (spans[i].second >= spans[i].first)
      FillRectBrush(dc, RECT{spans[i].first, top + int(i), spans[i].second + 1, top + int(i) + 1},
                    br, rop2);
}

Brush* BrushFromHandle(HBRUSH h) {
  auto v = reinterpret_cast<std::uintptr_t>(h);
  if (v > 0 && v <= std::uintptr_t(COLOR_COUNT))
    return reinterpret_cast<Brush*>(GetSysColorBrush(int(v) - 1));
  return static_cast<Brush*>(Lookup(h, OBJ_BRUSH));
}

// Dash patterns of cosmetic pens, in pixels on / off.
const std::vector<int>& DashPattern(UINT style) {
  static const std::vector<int> dash{18, 6}, dot{3, 3}, dashdot{9, 6, 3, 6},
      dashdotdot{9, 3, 3, 3, 3, 3}, alt{1, 1}, solid{};
  switch (style) {
    case PS_DASH:
      return dash;
    case PS_DOT:
      return dot;
    case PS_DASHDOT:
      return dashdot;
    case PS_DASHDOTDOT:
      return dashdotdot;
    case PS_ALTERNATE:
      return alt;
  }
  return solid;
}

struct PenInk {
  DC& dc;
  Pen* pen;
  std::uint32_t color, bk;
  int width;
  const std::vector<int>& dashes;
  int period = 0, phase = 0;
  bool none;
  PenInk(DC& d, Pen* p)
      : dc(d),
        pen(p),
        color(ToDevice(d, p ? p->lp.lopnColor : 0)),
        bk(ToDevice(d, d.st.bk)),
        width(p ? std::max<int>(1, p->lp.lopnWidth.x) : 1),
        dashes(DashPattern(p ? p->lp.lopnStyle : 0)),
        none(!p || p->lp.lopnStyle == PS_NULL) {
    for (int v : dashes) period += v;
  }
  void Dot(int x, int y) {
    std::uint32_t c = color;
    if (period) {
      int pos = phase++ % period, acc = 0;
      std::size_t k = 0;
      while (pos >= acc + dashes[k]) acc += dashes[k++];
      if (k % 2 == 1) {
        if (dc.st.bkMode != OPAQUE) return;
        c = bk;
      }
    }
    if (width <= 1) return PlotSolid(dc, x, y, c, dc.st.rop2);
    int h = width / 2;
    FillRectSolid(dc, RECT{x - h, y - h, x - h + width, y - h + width}, c, dc.st.rop2);
  }
};

// Bresenham from (x0,y0) to (x1,y1) in surface coordinates, the end point excluded.
void Line(PenInk& ink, int x0, int y0, int x1, int y1) {
  if (ink.none) return;
  int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  Surface* s = ink.dc.surface();
  // Fast path: horizontal solid one-pixel lines.
  if (dy == 0 && ink.width <= 1 && !ink.period && s) {
    int a = std::min(x0, x1 + (sx > 0 ? 0 : 1)), b = std::max(x0 + 1, x1 + (sx > 0 ? 0 : 1));
    if (sx > 0)
      a = x0, b = x1;
    else
      a = x1 + 1, b = x0 + 1;
    return FillSpanSolid(ink.dc, y0, a, b, ink.color, ink.dc.st.rop2);
  }
  while (!(x0 == x1 && y0 == y1)) {
    ink.Dot(x0, y0);
    int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

// Draws a convex shape given by spans: interior with the brush, outline with the pen.
void Shape(DC& dc, int top, const std::vector<std::pair<int, int>>& spans) {
  Pen* pen = dc.st.pen;
  bool hasPen = pen && pen->lp.lopnStyle != PS_NULL;
  int w = hasPen ? std::max<int>(1, pen->lp.lopnWidth.x) : 0;
  auto inside = [&](int x, int y) {
    int i = y - top;
    return i >= 0 && i < int(spans.size()) && x >= spans[i].first && x <= spans[i].second;
  };
  if (!hasPen) return FillSpansBrush(dc, top, spans, dc.st.brush, dc.st.rop2);
  std::uint32_t pc = ToDevice(dc, pen->lp.lopnColor);
  for (std::size_t i = 0; i < spans.size(); ++i) {
    int y = top + int(i);
    auto [a, b] = spans[i];
    if (b < a) continue;
    // A pixel belongs to the outline when something within the pen width is outside.
    int innerA = b + 1, innerB = a - 1;
    for (int x = a; x <= b; ++x) {
      bool border = false;
      for (int k = 1; k <= w && !border; ++k)
        border = !inside(x - k, y) || !inside(x + k, y) || !inside(x, y - k) || !inside(x, y + k);
      if (border)
        PlotSolid(dc, x, y, pc, dc.st.rop2);
      else
        innerA = std::min(innerA, x), innerB = std::max(innerB, x);
    }
    if (innerB >= innerA)
      FillRectBrush(dc, RECT{innerA, y, innerB + 1, y + 1}, dc.st.brush, dc.st.rop2);
  }
}

}  // namespace

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF c) {
  DC* dc = LookupDC(hdc);
  if (!dc || !dc->surface()) return CLR_INVALID;
  int sx = dc->SX(x), sy = dc->SY(y);
  if (!InClip(*dc, sx, sy)) return CLR_INVALID;
  std::uint32_t px = ToDevice(*dc, c);
  dc->surface()->Row(sy)[sx] = px;
  return ColorFromPixel(px);
}
BOOL SetPixelV(HDC hdc, int x, int y, COLORREF c) { return SetPixel(hdc, x, y, c) != CLR_INVALID; }

COLORREF GetPixel(HDC hdc, int x, int y) {
  DC* dc = LookupDC(hdc);
  if (!dc || !dc->surface()) return CLR_INVALID;
  int sx = dc->SX(x), sy = dc->SY(y);
  if (!InClip(*dc, sx, sy)) return CLR_INVALID;
  return dc->surface()->At(sx, sy);
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT* old) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (old) *old = dc->st.cur;
  dc->st.cur = POINT{x, y};
  return 1;
}
BOOL GetCurrentPositionEx(HDC hdc, POINT* out) {
  DC* dc = LookupDC(hdc);
  if (!dc || !out) return 0;
  *out = dc->st.cur;
  return 1;
}

BOOL LineTo(HDC hdc, int x, int y) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (dc->surface()) {
    PenInk ink(*dc, dc->st.pen);
    Line(ink, dc->SX(dc->st.cur.x), dc->SY(dc->st.cur.y), dc->SX(x), dc->SY(y));
  }
  dc->st.cur = POINT{x, y};
  return 1;
}

BOOL Polyline(HDC hdc, const POINT* pts, int count) {
  DC* dc = LookupDC(hdc);
  if (!dc || !pts || count < 2) return 0;
  if (!dc->surface()) return 1;
  PenInk ink(*dc, dc->st.pen);
  for (int i = 0; i + 1 < count; ++i)
    Line(ink, dc->SX(pts[i].x), dc->SY(pts[i].y), dc->SX(pts[i + 1].x), dc->SY(pts[i + 1].y));
  return 1;
}

BOOL Polygon(HDC hdc, const POINT* pts, int count) {
  DC* dc = LookupDC(hdc);
  if (!dc || !pts || count < 2) return 0;
  if (!dc->surface()) return 1;
  std::vector<POINT> s(pts, pts + count);
  for (POINT& p : s) p = POINT{dc->SX(p.x), dc->SY(p.y)};
  for (const RECT& r : PolygonRects(s.data(), count, dc->st.polyFill))
    FillRectBrush(*dc, r, dc->st.brush, dc->st.rop2);
  PenInk ink(*dc, dc->st.pen);
  for (int i = 0; i < count; ++i) {
    POINT a = s[i], b = s[(i + 1) % count];
    Line(ink, a.x, a.y, b.x, b.y);
  }
  return 1;
}

BOOL Rectangle(HDC hdc, int l, int t, int r, int b) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (!dc->surface()) return 1;
  RECT n = Normalized(dc->SX(l), dc->SY(t), dc->SX(r), dc->SY(b));
  Pen* pen = dc->st.pen;
  if (!pen || pen->lp.lopnStyle == PS_NULL) {
    // Without a pen the fill stops one pixel short on the right and bottom.
    FillRectBrush(*dc, RECT{n.left, n.top, n.right - 1, n.bottom - 1}, dc->st.brush, dc->st.rop2);
    return 1;
  }
  int w = std::max<int>(1, pen->lp.lopnWidth.x);
  if (w > 1) {
    int in = pen->lp.lopnStyle == PS_INSIDEFRAME ? w / 2 : 0;
    InflateRect(&n, -in, -in);
  }
  if (n.Width() > 2 && n.Height() > 2)
    FillRectBrush(
        *dc,
        RECT{n.left + (w + 1) / 2, n.top + (w + 1) / 2, n.right - 1 - w / 2, n.bottom - 1 - w / 2},
        dc->st.brush, dc->st.rop2);
  PenInk ink(*dc, pen);
  int R = n.right - 1, B = n.bottom - 1;
  if (R < n.left || B < n.top) return 1;
  Line(ink, n.left, n.top, R, n.top);
  Line(ink, R, n.top, R, B);
  Line(ink, R, B, n.left, B);
  Line(ink, n.left, B, n.left, n.top);
  if (R == n.left && B == n.top) ink.Dot(R, B);
  return 1;
}

BOOL RoundRect(HDC hdc, int l, int t, int r, int b, int w, int h) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (!dc->surface()) return 1;
  RECT n = Normalized(dc->SX(l), dc->SY(t), dc->SX(r), dc->SY(b));
  Shape(*dc, n.top,
        RoundSpans(n.left, n.top, n.right, n.bottom, std::abs(w) / 2.0, std::abs(h) / 2.0));
  return 1;
}

BOOL Ellipse(HDC hdc, int l, int t, int r, int b) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  if (!dc->surface()) return 1;
  RECT n = Normalized(dc->SX(l), dc->SY(t), dc->SX(r), dc->SY(b));
  Shape(*dc, n.top,
        RoundSpans(n.left, n.top, n.right, n.bottom, n.Width() / 2.0, n.Height() / 2.0));
  return 1;
}

int FillRect(HDC hdc, const RECT* r, HBRUSH brush) {
  DC* dc = LookupDC(hdc);
  Brush* br = BrushFromHandle(brush);
  if (!dc || !r || !br) return 0;
  if (!dc->surface()) return 1;
  RECT n{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)};
  FillRectBrush(*dc, n, br, R2_COPYPEN);
  return 1;
}

int FrameRect(HDC hdc, const RECT* r, HBRUSH brush) {
  DC* dc = LookupDC(hdc);
  Brush* br = BrushFromHandle(brush);
  if (!dc || !r || !br) return 0;
  if (IsRectEmpty(r) || !dc->surface()) return 1;
  RECT n{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)};
  FillRectBrush(*dc, RECT{n.left, n.top, n.right, n.top + 1}, br, R2_COPYPEN);
  FillRectBrush(*dc, RECT{n.left, n.bottom - 1, n.right, n.bottom}, br, R2_COPYPEN);
  FillRectBrush(*dc, RECT{n.left, n.top + 1, n.left + 1, n.bottom - 1}, br, R2_COPYPEN);
  FillRectBrush(*dc, RECT{n.right - 1, n.top + 1, n.right, n.bottom - 1}, br, R2_COPYPEN);
  return 1;
}

BOOL InvertRect(HDC hdc, const RECT* r) {
  DC* dc = LookupDC(hdc);
  if (!dc || !r) return 0;
  if (!dc->surface()) return 1;
  FillRectSolid(*dc, RECT{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)}, 0,
                R2_NOT);
  return 1;
}

BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
  DC* dc = LookupDC(hdc);
  Region* g = Rgn(rgn);
  Brush* br = BrushFromHandle(brush);
  if (!dc || !g || !br) return 0;
  if (!dc->surface()) return 1;
  for (RECT r : g->rects) {
    r = RECT{dc->SX(r.left), dc->SY(r.top), dc->SX(r.right), dc->SY(r.bottom)};
    FillRectBrush(*dc, r, br, R2_COPYPEN);
  }
  return 1;
}

BOOL PaintRgn(HDC hdc, HRGN rgn) {
  DC* dc = LookupDC(hdc);
  return dc ? FillRgn(hdc, rgn, reinterpret_cast<HBRUSH>(dc->st.brush)) : 0;
}

BOOL FrameRgn(HDC hdc, HRGN rgn, HBRUSH brush, int w, int h) {
  Region* g = Rgn(rgn);
  if (!g || w < 0 || h < 0) return 0;
  // The frame is the region minus the region shrunk by (w, h).
  std::vector<RECT> inner = g->rects;
  for (int dx : {-w, w}) {
    std::vector<RECT> moved = g->rects;
    for (RECT& r : moved) OffsetRect(&r, dx, 0);
    inner = Combine(inner, moved, RGN_AND);
  }
  for (int dy : {-h, h}) {
    std::vector<RECT> moved = g->rects;
    for (RECT& r : moved) OffsetRect(&r, 0, dy);
    inner = Combine(inner, moved, RGN_AND);
  }
  Region* frame = NewRegion(Combine(g->rects, inner, RGN_DIFF));
  BOOL ok = FillRgn(hdc, reinterpret_cast<HRGN>(frame), brush);
  DeleteObject(frame);
  return ok;
}

BOOL DrawFocusRect(HDC hdc, const RECT* r) {
  DC* dc = LookupDC(hdc);
  if (!dc || !r) return 0;
  if (IsRectEmpty(r) || !dc->surface()) return 1;
  RECT n{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)};
  // Each outline pixel is visited once, so two calls cancel exactly.
  auto dot = [&](int x, int y) {
    if (((x - n.left) + (y - n.top)) % 2 == 0) PlotSolid(*dc, x, y, 0xFFFFFF, R2_XORPEN);
  };
  for (int x = n.left; x < n.right; ++x) dot(x, n.top);
  if (n.bottom - 1 > n.top)
    for (int x = n.left; x < n.right; ++x) dot(x, n.bottom - 1);
  for (int y = n.top + 1; y < n.bottom - 1; ++y) {
    dot(n.left, y);
    if (n.right - 1 > n.left) dot(n.right - 1, y);
  }
  return 1;
}

BOOL DrawEdge(HDC hdc, RECT* r, UINT edge, UINT flags) {
  DC* dc = LookupDC(hdc);
  if (!dc || !r) return 0;
  RECT rc = *r;
  auto side = [&](RECT& q, COLORREF tl, COLORREF br) {
    if (!dc->surface()) return;
    RECT s{dc->SX(q.left), dc->SY(q.top), dc->SX(q.right), dc->SY(q.bottom)};
    if (IsRectEmpty(&s)) return;
    std::uint32_t a = ToDevice(*dc, tl), b = ToDevice(*dc, br);
    // Lower-right first so the upper-left colour owns the far corners' ends as Windows does.
    if (flags & BF_BOTTOM)
      FillRectSolid(*dc, RECT{s.left, s.bottom - 1, s.right, s.bottom}, b, R2_COPYPEN);
    if (flags & BF_RIGHT)
      FillRectSolid(*dc, RECT{s.right - 1, s.top, s.right, s.bottom}, b, R2_COPYPEN);
    if (flags & BF_TOP)
      FillRectSolid(*dc, RECT{s.left, s.top, s.right - ((flags & BF_RIGHT) ? 1 : 0), s.top + 1}, a,
                    R2_COPYPEN);
    if (flags & BF_LEFT)
      FillRectSolid(*dc, RECT{s.left, s.top, s.left + 1, s.bottom - ((flags & BF_BOTTOM) ? 1 : 0)},
                    a, R2_COPYPEN);
  };
  auto shrink = [&](RECT& q) {
    if (flags & BF_LEFT) ++q.left;
    if (flags & BF_TOP) ++q.top;
    if (flags & BF_RIGHT) --q.right;
    if (flags & BF_BOTTOM) --q.bottom;
  };
  COLORREF light = GetSysColor(COLOR_3DLIGHT), dark = GetSysColor(COLOR_3DDKSHADOW),
           hi = GetSysColor(COLOR_BTNHIGHLIGHT), sh = GetSysColor(COLOR_BTNSHADOW),
           face = GetSysColor(COLOR_BTNFACE), frame = GetSysColor(COLOR_WINDOWFRAME),
           win = GetSysColor(COLOR_WINDOW);
  UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  if (flags & BF_MONO) {
    if (outer || inner) side(rc, frame, frame), shrink(rc);
    if (outer && inner) side(rc, win, win), shrink(rc);
  } else if (flags & BF_FLAT) {
    if (outer || inner) side(rc, sh, sh), shrink(rc);
    if (outer && inner) side(rc, face, face), shrink(rc);
  } else {
    bool soft = flags & BF_SOFT;
    if (outer == BDR_RAISEDOUTER)
      side(rc, soft ? hi : light, dark), shrink(rc);
    else if (outer == BDR_SUNKENOUTER)
      side(rc, sh, soft ? hi : hi), shrink(rc);
    if (inner == BDR_RAISEDINNER)
      side(rc, soft ? light : hi, sh), shrink(rc);
    else if (inner == BDR_SUNKENINNER)
      side(rc, dark, light), shrink(rc);
  }
  if ((flags & BF_MIDDLE) && dc->surface()) {
    RECT s{dc->SX(rc.left), dc->SY(rc.top), dc->SX(rc.right), dc->SY(rc.bottom)};
    FillRectSolid(*dc, s, ToDevice(*dc, (flags & BF_MONO) ? win : face), R2_COPYPEN);
  }
  if (flags & BF_ADJUST) *r = rc;
  return 1;
}

BOOL DrawFrameControl(HDC hdc, RECT* r, UINT type, UINT state) {
  DC* dc = LookupDC(hdc);
  if (!dc || !r) return 0;
  RECT rc = *r;
  COLORREF face = GetSysColor(COLOR_BTNFACE), text = GetSysColor(COLOR_WINDOWTEXT),
           gray = GetSysColor(COLOR_GRAYTEXT), win = GetSysColor(COLOR_WINDOW),
           sh = GetSysColor(COLOR_BTNSHADOW), hi = GetSysColor(COLOR_BTNHIGHLIGHT),
           dark = GetSysColor(COLOR_3DDKSHADOW), light = GetSysColor(COLOR_3DLIGHT);
  auto fill = [&](RECT q, COLORREF c) {
    if (dc->surface())
      FillRectSolid(*dc, RECT{dc->SX(q.left), dc->SY(q.top), dc->SX(q.right), dc->SY(q.bottom)},
                    ToDevice(*dc, c), R2_COPYPEN);
  };
  auto pix = [&](int x, int y, COLORREF c) {
    if (dc->surface()) PlotSolid(*dc, dc->SX(x), dc->SY(y), ToDevice(*dc, c), R2_COPYPEN);
  };
  if (type != DFC_BUTTON) {
    // Caption and scroll glyphs: a raised button face with a small mark.
    UINT edge = (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED;
    DrawEdge(hdc, &rc, edge, BF_RECT | BF_MIDDLE | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0));
    COLORREF c = (state & DFCS_INACTIVE) ? gray : text;
    int cx = (rc.left + rc.right) / 2, cy = (rc.top + rc.bottom) / 2;
    int n = std::max<int>(1, std::min(rc.Width(), rc.Height()) / 4);
    UINT kind = state & 0xFF;
    for (int i = 0; i < n; ++i)
      for (int k = -i; k <= i; ++k) {
        if (type == DFC_SCROLL && kind == DFCS_SCROLLUP)
          pix(cx + k, cy - n / 2 + i, c);
        else if (type == DFC_SCROLL && (kind == DFCS_SCROLLDOWN || kind == DFCS_SCROLLCOMBOBOX))
          pix(cx + k, cy + n / 2 - i, c);
        else if (type == DFC_SCROLL && kind == DFCS_SCROLLLEFT)
          pix(cx - n / 2 + i, cy + k, c);
        else if (type == DFC_SCROLL && kind == DFCS_SCROLLRIGHT)
          pix(cx + n / 2 - i, cy + k, c);
        else if (type == DFC_CAPTION)
          pix(cx - n + i * 2 + (k > 0), cy - n + i * 2 + (k < 0), c),
              pix(cx + n - i * 2, cy - n + i * 2, c);
      }
    return 1;
  }
  UINT kind = state & 0x1F;
  if (kind == DFCS_BUTTONPUSH) {
    UINT edge = (state & (DFCS_PUSHED | DFCS_CHECKED)) ? EDGE_SUNKEN : EDGE_RAISED;
    DrawEdge(hdc, &rc, edge,
             BF_RECT | BF_MIDDLE | BF_SOFT | ((state & DFCS_FLAT) ? BF_FLAT : 0) |
                 ((state & DFCS_MONO) ? BF_MONO : 0) | BF_ADJUST);
    if (state & DFCS_ADJUSTRECT) *r = rc;
    return 1;
  }
  // Check boxes and radio buttons use a 13x13 box centred vertically at the left.
  int size = std::min<int>(13, std::min(rc.Width(), rc.Height()));
  RECT box{rc.left, rc.top + (rc.Height() - size) / 2, rc.left + size,
           rc.top + (rc.Height() - size) / 2 + size};
  bool grey = state & (DFCS_INACTIVE | DFCS_PUSHED);
  COLORREF mark = (state & DFCS_INACTIVE) ? gray : text;
  if (kind == DFCS_BUTTONRADIO || kind == DFCS_BUTTONRADIOIMAGE || kind == DFCS_BUTTONRADIOMASK) {
    auto spans = RoundSpans(box.left, box.top, box.right, box.bottom, size / 2.0, size / 2.0);
    auto in = [&](int x, int y) {
      int i = y - box.top;
      return i >= 0 && i < int(spans.size()) && x >= spans[i].first && x <= spans[i].second;
    };
    for (int y = box.top; y < box.bottom; ++y)
      for (int x = box.left; x < box.right; ++x) {
        if (!in(x, y)) continue;
        int ring = 0;
        while (ring < 3 && in(x - ring - 1, y) && in(x + ring + 1, y) && in(x, y - ring - 1) &&
               in(x, y + ring + 1))
          ++ring;
        bool upperLeft = (x - box.left) + (y - box.top) < size - 1;
        COLORREF c = ring == 0   ? (upperLeft ? sh : hi)
                     : ring == 1 ? (upperLeft ? dark : light)
                                 : (grey ? face : win);
        if (kind == DFCS_BUTTONRADIOMASK) c = ring == 0 ? 0 : 0;
        pix(x, y, c);
      }
    if ((state & DFCS_CHECKED) && kind != DFCS_BUTTONRADIOMASK) {
      int c0 = box.left + size / 2 - 2, r0 = box.top + size / 2 - 2;
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
          if (!((x == 0 || x == 3) && (y == 0 || y == 3))) pix(c0 + x, r0 + y, mark);
    }
    return 1;
  }
  // Check box: sunken edge, window-coloured inside, a check mark or a grey pattern.
  RECT b = box;
  DrawEdge(hdc, &b, EDGE_SUNKEN,
           BF_RECT | BF_ADJUST | ((state & DFCS_FLAT) ? BF_FLAT : 0) |
               ((state & DFCS_MONO) ? BF_MONO : 0));
  fill(b, grey ? face : win);
  if (state & DFCS_CHECKED) {
    COLORREF c = (kind == DFCS_BUTTON3STATE) ? gray : mark;
    int x0 = b.left + 1, y0 = b.top + 3;
    for (int i = 0; i < 7; ++i) {
      int dy = i < 3 ? i : 4 - i;  // down two steps, then up four
      for (int k = 0; k < 3; ++k) pix(x0 + i, y0 + 2 + dy + k, c);
    }
  }
  return 1;
}

// --- Blits -------------------------------------------------------------------------------------

std::uint32_t Rop3Apply(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  switch (rop) {
    case 0xCC:
      return s;
    case 0xF0:
      return p;
    case 0xAA:
      return d;
    case 0x00:
      return 0;
    case 0xFF:
      return 0xFFFFFFFF;
    case 0x88:
      return s & d;
    case 0xEE:
      return s | d;
    case 0x66:
      return s ^ d;
    case 0x5A:
      return p ^ d;
    case 0x55:
      return ~d;
    case 0x33:
      return ~s;
  }
  std::uint32_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (rop & (1 << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

namespace {
bool UsesSource(std::uint8_t rop) { return ((rop >> 2) & 0x33) != (rop & 0x33); }
bool UsesPattern(std::uint8_t rop) { return ((rop >> 4) & 0x0F) != (rop & 0x0F); }

BOOL Blit(DC* dst, int x, int y, int w, int h, DC* src, int sx, int sy, int sw, int sh, DWORD rop,
          bool stretch, const UINT* transparent) {
  if (!dst) return 0;
  auto code = std::uint8_t((rop >> 16) & 0xFF);
  bool needSrc = transparent || UsesSource(code);
  if (needSrc && !src) return 0;
  Surface* ds = dst->surface();
  Surface* ss = needSrc ? src->surface() : nullptr;
  if (!ds || (needSrc && !ss)) return 1;
  if (!stretch) sw = w, sh = h;
  bool flipX = (w < 0) != (sw < 0), flipY = (h < 0) != (sh < 0);
  // A negative extent mirrors around the given corner pixel, which stays covered.
  int dx0 = dst->SX(w < 0 ? x + w + 1 : x), dy0 = dst->SY(h < 0 ? y + h + 1 : y);
  int aw = std::abs(w), ah = std::abs(h), asw = std::abs(sw), ash = std::abs(sh);
  if (aw == 0 || ah == 0 || (needSrc && (asw == 0 || ash == 0))) return 1;
  int sx0 = needSrc ? src->SX(sw < 0 ? sx + sw + 1 : sx) : 0,
      sy0 = needSrc ? src->SY(sh < 0 ? sy + sh + 1 : sy) : 0;
  RECT target{dx0, dy0, dx0 + aw, dy0 + ah};
  BrushInk ink(*dst, dst->st.brush);
  bool needPat = UsesPattern(code);
  // Source pixel conversion between colour and monochrome.
  bool monoToColor = ss && ss->monochrome && !ds->monochrome;
  bool colorToMono = ss && !ss->monochrome && ds->monochrome;
  std::uint32_t fg = PixelFromColor(dst->st.text), bgc = PixelFromColor(dst->st.bk);
  std::uint32_t srcBk = ss ? PixelFromColor(src->st.bk) : 0;
  std::uint32_t key = transparent ? PixelFromColor(*transparent & 0xFFFFFF) : 0;
  bool identity = !stretch || (aw == asw && ah == ash);
  // Fast path: straight copy of same-format pixels.
  if (code == 0xCC && identity && !flipX && !flipY && !monoToColor && !colorToMono &&
      !transparent) {
    for (const RECT& c : dst->Clip()) {
      RECT i;
      if (!IntersectRect(&i, &target, &c)) continue;
      for (int yy = i.top; yy < i.bottom; ++yy) {
        int syy = sy0 + (yy - dy0);
        if (syy < 0 || syy >= ss->height) continue;
        int a = i.left, b = i.right;
        int sxa = sx0 + (a - dx0);
        if (sxa < 0) a -= sxa, sxa = 0;
        if (sx0 + (b - dx0) > ss->width) b = dx0 + ss->width - sx0;
        if (b <= a) continue;
        std::memmove(ds->Row(yy) + a, ss->Row(syy) + sxa, std::size_t(b - a) * 4);
      }
    }
    return 1;
  }
  for (const RECT& c : dst->Clip()) {
    RECT i;
    if (!IntersectRect(&i, &target, &c)) continue;
    for (int yy = i.top; yy < i.bottom; ++yy) {
      int ry = yy - dy0;
      int syy = 0;
      if (needSrc) {
        int v = int((long long)ry * ash / ah);
        if (flipY) v = ash - 1 - v;
        syy = sy0 + v;
        if (syy < 0 || syy >= ss->height) continue;
      }
      std::uint32_t* drow = ds->Row(yy);
      for (int xx = i.left; xx < i.right; ++xx) {
        std::uint32_t s = 0;
        if (needSrc) {
          int u = int((long long)(xx - dx0) * asw / aw);
          if (flipX) u = asw - 1 - u;
          int sxx = sx0 + u;
          if (sxx < 0 || sxx >= ss->width) continue;
          s = ss->Row(syy)[sxx];
          if (transparent) {
            if (s == key) continue;
            drow[xx] = s;
            continue;
          }
          if (monoToColor)
            s = s ? bgc : fg;
          else if (colorToMono)
            s = s == srcBk ? 0xFFFFFF : 0;
        }
        std::uint32_t p = needPat ? (ink.none ? 0 : ink.At(xx, yy)) : 0;
        drow[xx] = Rop3Apply(code, p, s, drow[xx]) & 0xFFFFFF;
      }
    }
  }
  return 1;
}
}  // namespace

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
  DC* dc = LookupDC(hdc);
  auto code = std::uint8_t((rop >> 16) & 0xFF);
  if (!dc || UsesSource(code)) return 0;
  return Blit(dc, x, y, w, h, nullptr, 0, 0, 0, 0, rop, false, nullptr);
}

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  return Blit(LookupDC(dst), x, y, w, h, LookupDC(src), sx, sy, w, h, rop, false, nullptr);
}

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                DWORD rop) {
  return Blit(LookupDC(dst), x, y, w, h, LookupDC(src), sx, sy, sw, sh, rop, true, nullptr);
}

BOOL TransparentBlt(HDC dst, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    UINT transparent) {
  if (w < 0 || h < 0 || sw < 0 || sh < 0) return 0;
  return Blit(LookupDC(dst), x, y, w, h, LookupDC(src), sx, sy, sw, sh, SRCCOPY, true,
              &transparent);
}

}  // namespace win
