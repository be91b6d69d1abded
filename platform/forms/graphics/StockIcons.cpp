#include "platform/forms/graphics/StockIcons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <numbers>
#include <optional>
#include <vector>

#include "platform/forms/graphics/ImageFiles.h"

namespace win {

namespace {

struct Rgb {
  double r = 0, g = 0, b = 0;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

std::uint32_t ToPixel(Rgb c) {
  auto channel = [](double v) { return std::uint32_t(std::lround(std::clamp(v, 0.0, 255.0))); };
  std::uint32_t p = (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
  // The key colour would turn the pixel transparent.
  return p == kStockIconKey ? p + 1 : p;
}

// A layer of a drawing: its colour at a point, or nothing where it does not reach.
using Layer = std::function<std::optional<Rgb>(double x, double y)>;

// Draws the layers (first on top) on the key colour, sampling each pixel 4 x 4 times. A
// pixel that the drawing covers at least half takes the mean of the covered samples, so
// edges inside the drawing are smooth while its outline stays hard against the key.
Surface Render(int width, int height, const std::vector<Layer>& layers) {
  constexpr int kSamples = 4;
  Surface s(width, height, kStockIconKey);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Rgb sum;
      int covered = 0;
      for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx) {
          double px = x + (sx + 0.5) / kSamples, py = y + (sy + 0.5) / kSamples;
          for (const Layer& layer : layers)
            if (auto c = layer(px, py)) {
              sum.r += c->r, sum.g += c->g, sum.b += c->b;
              ++covered;
              break;
            }
        }
      if (covered * 2 < kSamples * kSamples) continue;
      s.Row(y)[x] = ToPixel({sum.r / covered, sum.g / covered, sum.b / covered});
    }
  return s;
}

double Distance(double x0, double y0, double x1, double y1) { return std::hypot(x1 - x0, y1 - y0); }

// Distance from a point to the segment a-b.
double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return Distance(x, y, ax + t * dx, ay + t * dy);
}

Layer Solid(std::function<bool(double, double)> inside, Rgb colour) {
  return [inside = std::move(inside), colour](double x, double y) -> std::optional<Rgb> {
    if (inside(x, y)) return colour;
    return std::nullopt;
  };
}

// --- Round icons: a shaded disc with a dark rim and a white mark ---------------------------

constexpr double kCx = 16, kCy = 16, kRadius = 14.6, kRim = 1.2;
const Rgb kWhite{255, 255, 255};

std::vector<Layer> Disc(Rgb light, Rgb dark, Rgb rim, Layer mark) {
  Layer body = [=](double x, double y) -> std::optional<Rgb> {
    double d = Distance(x, y, kCx, kCy);
    if (d > kRadius) return std::nullopt;
    if (d > kRadius - kRim) return rim;
    // Lit from the upper left: a gradient downwards and a soft glint.
    Rgb c = Mix(light, dark, (y - (kCy - kRadius)) / (2 * kRadius));
    double glint = 1 - Distance(x, y, 11, 9) / 8;
    return glint > 0 ? Mix(c, kWhite, glint * 0.45) : c;
  };
  return {std::move(mark), body};
}

Surface ErrorIcon() {
  // A white cross of two bars with rounded ends.
  constexpr double arm = 6.2, half = 1.9;
  Layer cross = Solid(
      [](double x, double y) {
        return SegmentDistance(x, y, kCx - arm, kCy - arm, kCx + arm, kCy + arm) <= half ||
               SegmentDistance(x, y, kCx - arm, kCy + arm, kCx + arm, kCy - arm) <= half;
      },
      kWhite);
  return Render(32, 32, Disc({255, 96, 80}, {176, 0, 0}, {112, 0, 0}, cross));
}

Surface InformationIcon() {
  // A lower-case i: dot, stem with a serif at its upper left, and a foot.
  Layer letter = Solid(
      [](double x, double y) {
        bool dot = Distance(x, y, 16, 8.6) <= 2.3;
        bool stem = x >= 14.2 && x <= 17.8 && y >= 12.6 && y <= 24;
        bool serif = x >= 12.4 && x <= 17.8 && y >= 12.6 && y <= 14.4;
        bool foot = x >= 12 && x <= 20 && y >= 22.4 && y <= 24.4;
        return dot || stem || serif || foot;
      },
      kWhite);
  return Render(32, 32, Disc({96, 160, 255}, {0, 56, 184}, {0, 24, 112}, letter));
}

Surface ConfirmationIcon() {
  // A question mark: an open hook over the top, a short stem from its end, and a dot.
  constexpr double hx = 16, hy = 11.6, radius = 4.6, half = 1.75;
  Layer mark = Solid(
      [=](double x, double y) {
        double angle = std::atan2(hy - y, x - hx) * 180 / std::numbers::pi;  // 90: up
        bool hook =
            std::abs(Distance(x, y, hx, hy) - radius) <= half && angle >= -90 && angle <= 160;
        bool stem = std::abs(x - hx) <= half && y >= hy + radius - half && y <= 20.2;
        bool dot = Distance(x, y, 16, 24.4) <= 2.1;
        return hook || stem || dot;
      },
      kWhite);
  return Render(32, 32, Disc({72, 200, 240}, {0, 96, 168}, {0, 48, 96}, mark));
}

// --- The warning triangle -------------------------------------------------------------------

// Edge functions of the triangle (16, 2), (30.5, 29), (1.5, 29); inside is where all are
// non-negative, and each value is the distance to its edge.
struct TrianglePoint {
  double x, y;
};
constexpr TrianglePoint kTriangle[3] = {{16, 2}, {30.5, 29}, {1.5, 29}};

// The edges' lengths, taken once rather than at each of the 16,384 samples.
const std::array<double, 3> kEdgeLengths = [] {
  std::array<double, 3> lengths{};
  for (int i = 0; i < 3; ++i)
    lengths[i] = std::hypot(kTriangle[(i + 1) % 3].x - kTriangle[i].x,
                            kTriangle[(i + 1) % 3].y - kTriangle[i].y);
  return lengths;
}();

double TriangleDepth(double x, double y) {
  double depth = 1e9;
  for (int i = 0; i < 3; ++i) {
    const TrianglePoint& a = kTriangle[i];
    const TrianglePoint& b = kTriangle[(i + 1) % 3];
    double ex = b.x - a.x, ey = b.y - a.y;
    double d = (ex * (y - a.y) - ey * (x - a.x)) / kEdgeLengths[i];
    depth = std::min(depth, d);
  }
  return depth;
}

Surface WarningIcon() {
  Layer mark = Solid(
      [](double x, double y) {
        // The bar narrows downwards; the dot sits below it.
        double t = (y - 10) / 11.5;
        bool bar = t >= 0 && t <= 1 && std::abs(x - 16) <= 2.1 - 0.8 * t;
        bool dot = Distance(x, y, 16, 25.2) <= 1.9;
        return bar || dot;
      },
      Rgb{0, 0, 0});
  Layer body = [](double x, double y) -> std::optional<Rgb> {
    double depth = TriangleDepth(x, y);
    if (depth < 0) return std::nullopt;
    if (depth < 1.3) return Rgb{40, 32, 0};
    return Mix(Rgb{255, 240, 96}, Rgb{240, 184, 0}, (y - 2) / 27);
  };
  return Render(32, 32, {mark, body});
}

// --- The printer ------------------------------------------------------------------------------

// Pixel rectangles, both corners included.
Layer Box(int x0, int y0, int x1, int y1, Rgb colour) {
  return Solid([=](double x, double y) { return x >= x0 && x < x1 + 1 && y >= y0 && y < y1 + 1; },
               colour);
}

Surface PrinterImage() {
  const Rgb black{0, 0, 0}, grey{128, 128, 128}, face{192, 192, 192}, white{255, 255, 255};
  return Render(16, 16,
                {
                    // The printed sheet in front, with two lines of text.
                    Box(5, 12, 10, 12, grey),
                    Box(5, 14, 9, 14, grey),
                    Box(4, 12, 11, 14, white),
                    Box(3, 11, 12, 15, black),
                    // The body: lit top, shaded bottom, a green light.
                    Box(12, 8, 12, 8, Rgb{0, 192, 0}),
                    Box(2, 7, 13, 7, white),
                    Box(2, 10, 13, 10, grey),
                    Box(2, 7, 13, 10, face),
                    Box(1, 6, 14, 11, black),
                    // The blank sheet fed in at the back.
                    Box(6, 3, 9, 3, grey),
                    Box(5, 2, 10, 5, white),
                    Box(4, 1, 11, 5, black),
                });
}

}  // namespace

Surface DrawStockIcon(TStockIcon icon) {
  // Each icon is drawn once per process: a program shows the same few many times.
  static std::mutex mutex;
  static std::map<TStockIcon, Surface> drawn;
  std::lock_guard lock(mutex);
  auto it = drawn.find(icon);
  if (it != drawn.end()) return it->second;
  Surface s;
  switch (icon) {
    case TStockIcon::Warning:
      s = WarningIcon();
      break;
    case TStockIcon::Error:
      s = ErrorIcon();
      break;
    case TStockIcon::Information:
      s = InformationIcon();
      break;
    case TStockIcon::Confirmation:
      s = ConfirmationIcon();
      break;
    default:
      return WarningIcon();
  }
  return drawn.emplace(icon, std::move(s)).first->second;
}

std::string PictureBmp(const Surface& picture) {
  std::vector<std::uint8_t> bmp = EncodeBmp(picture);
  return std::string(bmp.begin(), bmp.end());
}

Surface DisabledGlyph(const Surface& glyph, std::uint32_t key) {
  auto dark = [&](int x, int y) {
    if (x < 0 || y < 0 || x >= glyph.width || y >= glyph.height) return false;
    std::uint32_t p = glyph.Row(y)[x];
    if (p == key) return false;
    int luminance =
        (int((p >> 16) & 0xFF) * 30 + int((p >> 8) & 0xFF) * 59 + int(p & 0xFF) * 11) / 100;
    return luminance < 160;
  };
  Surface out(glyph.width, glyph.height, key);
  for (int y = 0; y < glyph.height; ++y)
    for (int x = 0; x < glyph.width; ++x) {
      if (dark(x, y))
        out.Row(y)[x] = 0x808080;
      else if (dark(x - 1, y - 1))
        out.Row(y)[x] = 0xFFFFFF;
    }
  return out;
}

Surface DrawPrinterGlyph() {
  Surface normal = PrinterImage();
  Surface disabled = DisabledGlyph(normal, kStockIconKey);
  Surface strip(normal.width * 2, normal.height, kStockIconKey);
  for (int y = 0; y < normal.height; ++y) {
    std::copy_n(normal.Row(y), normal.width, strip.Row(y));
    std::copy_n(disabled.Row(y), normal.width, strip.Row(y) + normal.width);
  }
  return strip;
}

}  // namespace win
