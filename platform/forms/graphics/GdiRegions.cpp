#include "platform/forms/graphics/GdiRegions.h"

#include <algorithm>
#include <cmath>

#include "platform/forms/graphics/GdiInternal.h"

namespace win {
namespace gdi {

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

}  // namespace gdi

using namespace gdi;

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

}  // namespace win
