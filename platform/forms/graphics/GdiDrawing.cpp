#include "platform/forms/graphics/GdiDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/forms/graphics/GdiInternal.h"

namespace win {
namespace gdi {

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

namespace {
// Calls f(row, left, right, y) for each row of sr that lies inside the DC's clip.
template <class F>
void ForEachClippedRow(DC& dc, const RECT& sr, F f) {
  Surface* s = dc.surface();
  if (!s) return;
  for (const RECT& c : dc.Clip()) {
    RECT i;
    if (!IntersectRect(&i, &sr, &c)) continue;
    for (int y = i.top; y < i.bottom; ++y) f(s->Row(y), i.left, i.right, y);
  }
}
}  // namespace

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
  ForEachClippedRow(dc, sr, [&](std::uint32_t* row, int left, int right, int) {
    if (rop2 == R2_COPYPEN)
      std::fill(row + left, row + right, px);
    else
      for (int x = left; x < right; ++x) row[x] = Rop2(rop2, px, row[x]);
  });
}

}  // namespace gdi

using namespace gdi;

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
  ForEachClippedRow(dc, sr, [&](std::uint32_t* row, int left, int right, int y) {
    for (int x = left; x < right; ++x) row[x] = Rop2(rop2, ink.At(x, y), row[x]);
  });
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
  return SetStatePoint(hdc, &DCState::cur, POINT{x, y}, old);
}
BOOL GetCurrentPositionEx(HDC hdc, POINT* out) { return GetStatePoint(hdc, &DCState::cur, out); }

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

// An ellipse is a rectangle rounded by its whole width and height.
BOOL Ellipse(HDC hdc, int l, int t, int r, int b) {
  return RoundRect(hdc, l, t, r, b, r - l, b - t);
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
