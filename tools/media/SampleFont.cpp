// A minimal TrueType font: ten tables, a handful of straight-edged glyphs, checksums as
// the format wants them, so that any font engine (and the screen font list) accepts it.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "tools/media/SampleMedia.h"

namespace media {
namespace {

using Bytes = std::vector<std::uint8_t>;

void U8(Bytes& b, unsigned v) { b.push_back(std::uint8_t(v)); }
void U16(Bytes& b, unsigned v) {
  b.push_back(std::uint8_t(v >> 8));
  b.push_back(std::uint8_t(v));
}
void S16(Bytes& b, int v) { U16(b, unsigned(std::uint16_t(std::int16_t(v)))); }
void U32(Bytes& b, std::uint32_t v) {
  U16(b, v >> 16);
  U16(b, v & 0xFFFF);
}
void Tag(Bytes& b, const char* t) { b.insert(b.end(), t, t + 4); }
void Put32(Bytes& b, size_t at, std::uint32_t v) {
  b[at] = std::uint8_t(v >> 24);
  b[at + 1] = std::uint8_t(v >> 16);
  b[at + 2] = std::uint8_t(v >> 8);
  b[at + 3] = std::uint8_t(v);
}
void Pad4(Bytes& b) {
  while (b.size() % 4) b.push_back(0);
}

std::uint32_t CheckSum(const Bytes& b) {
  std::uint32_t sum = 0;
  for (size_t i = 0; i < b.size(); i += 4) {
    std::uint32_t w = 0;
    for (size_t k = 0; k < 4; ++k) w = (w << 8) | (i + k < b.size() ? b[i + k] : 0);
    sum += w;
  }
  return sum;
}

struct Point {
  int x, y;
};
using Contour = std::vector<Point>;

struct Glyph {
  unsigned code;  // 0: not mapped
  std::vector<Contour> contours;
};

Contour Rect(int x0, int y0, int x1, int y1) { return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}; }

long Area2(const Contour& c) {
  long a = 0;
  for (size_t i = 0; i < c.size(); ++i) {
    const Point& p = c[i];
    const Point& q = c[(i + 1) % c.size()];
    a += long(p.x) * q.y - long(q.x) * p.y;
  }
  return a;
}

// TrueType fills clockwise outlines; holes run the other way.
Contour Oriented(Contour c, bool hole) {
  bool clockwise = Area2(c) < 0;
  if (clockwise == hole) std::reverse(c.begin(), c.end());
  return c;
}

constexpr int kAdvance = 600;
constexpr int kAscent = 800;
constexpr int kDescent = 200;

std::vector<Glyph> Glyphs() {
  auto solid = [](Contour c) { return Oriented(std::move(c), false); };
  auto hole = [](Contour c) { return Oriented(std::move(c), true); };
  Contour seven = {{100, 700}, {500, 700}, {500, 620}, {260, 0}, {170, 0}, {410, 620}, {100, 620}};
  Contour ell = {{120, 0}, {500, 0}, {500, 80}, {200, 80}, {200, 700}, {120, 700}};
  Contour tee = {{80, 700}, {520, 700}, {520, 620}, {340, 620},
                 {340, 0},  {260, 0},   {260, 620}, {80, 620}};
  Contour oh = {{180, 0},   {420, 0},   {500, 80},  {500, 620},
                {420, 700}, {180, 700}, {100, 620}, {100, 80}};
  Contour ohIn = {{200, 80},  {400, 80},  {420, 100}, {420, 600},
                  {400, 620}, {200, 620}, {180, 600}, {180, 100}};
  return {
      {0, {solid(Rect(50, 0, 550, 700)), hole(Rect(100, 50, 500, 650))}},  // .notdef
      {0x20, {}},
      {0x2D, {solid(Rect(100, 300, 500, 380))}},
      {0x30, {solid(Rect(100, 0, 500, 700)), hole(Rect(180, 80, 420, 620))}},
      {0x31, {solid(Rect(260, 0, 340, 700))}},
      {0x37, {solid(seven)}},
      {0x49, {solid(Rect(260, 0, 340, 700))}},
      {0x4C, {solid(ell)}},
      {0x4F, {solid(oh), hole(ohIn)}},
      {0x54, {solid(tee)}},
  };
}

struct Box {
  int xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

Box BoxOf(const Glyph& g) {
  Box b;
  bool first = true;
  for (const auto& c : g.contours)
    for (const auto& p : c) {
      if (first) {
        b = {p.x, p.y, p.x, p.y};
        first = false;
      }
      b.xMin = std::min(b.xMin, p.x);
      b.yMin = std::min(b.yMin, p.y);
      b.xMax = std::max(b.xMax, p.x);
      b.yMax = std::max(b.yMax, p.y);
    }
  return b;
}

Bytes GlyphData(const Glyph& g) {
  Bytes b;
  if (g.contours.empty()) return b;
  Box box = BoxOf(g);
  S16(b, int(g.contours.size()));
  S16(b, box.xMin);
  S16(b, box.yMin);
  S16(b, box.xMax);
  S16(b, box.yMax);
  int end = -1;
  for (const auto& c : g.contours) {
    end += int(c.size());
    U16(b, unsigned(end));
  }
  U16(b, 0);  // no instructions
  for (const auto& c : g.contours)
    for (size_t i = 0; i < c.size(); ++i) U8(b, 0x01);  // on-curve, word coordinates
  int last = 0;
  for (const auto& c : g.contours)
    for (const auto& p : c) {
      S16(b, p.x - last);
      last = p.x;
    }
  last = 0;
  for (const auto& c : g.contours)
    for (const auto& p : c) {
      S16(b, p.y - last);
      last = p.y;
    }
  Pad4(b);
  return b;
}

void NameString(std::vector<std::array<unsigned, 4>>& records, Bytes& strings,
                std::vector<std::pair<size_t, size_t>>& spans, unsigned platform, unsigned id,
                const std::string& text) {
  size_t at = strings.size();
  if (platform == 3) {
    for (unsigned char ch : text) U16(strings, ch);  // ASCII only
  } else {
    strings.insert(strings.end(), text.begin(), text.end());
  }
  records.push_back({platform, platform == 3 ? 1u : 0u, platform == 3 ? 0x0409u : 0u, id});
  spans.emplace_back(at, strings.size() - at);
}

Bytes NameTable() {
  const std::pair<unsigned, std::string> names[] = {
      {0, "Sample outline font generated for test media"},
      {1, "OCR-B-10 BT"},
      {2, "Regular"},
      {3, "OCR-B-10 BT Regular sample 1.00"},
      {4, "OCR-B-10 BT"},
      {5, "Version 1.00"},
      {6, "OCR-B-10BT"},
  };
  std::vector<std::array<unsigned, 4>> records;
  std::vector<std::pair<size_t, size_t>> spans;
  Bytes strings;
  for (unsigned platform : {1u, 3u})  // records sorted by platform, then name id
    for (const auto& [id, text] : names) NameString(records, strings, spans, platform, id, text);
  Bytes b;
  U16(b, 0);
  U16(b, unsigned(records.size()));
  U16(b, unsigned(6 + records.size() * 12));
  for (size_t i = 0; i < records.size(); ++i) {
    for (unsigned v : records[i]) U16(b, v);
    U16(b, unsigned(spans[i].second));
    U16(b, unsigned(spans[i].first));
  }
  b.insert(b.end(), strings.begin(), strings.end());
  return b;
}

Bytes CmapTable(const std::vector<Glyph>& glyphs) {
  std::vector<std::pair<unsigned, unsigned>> map;  // code, glyph index
  for (size_t i = 0; i < glyphs.size(); ++i)
    if (glyphs[i].code) map.emplace_back(glyphs[i].code, unsigned(i));
  std::sort(map.begin(), map.end());
  unsigned segCount = unsigned(map.size()) + 1;
  unsigned pow2 = 1, log2 = 0;
  while (pow2 * 2 <= segCount) {
    pow2 *= 2;
    ++log2;
  }
  Bytes sub;
  U16(sub, 4);
  U16(sub, 16 + segCount * 8);
  U16(sub, 0);
  U16(sub, segCount * 2);
  U16(sub, pow2 * 2);
  U16(sub, log2);
  U16(sub, segCount * 2 - pow2 * 2);
  for (auto& [code, gid] : map) U16(sub, code);
  U16(sub, 0xFFFF);
  U16(sub, 0);
  for (auto& [code, gid] : map) U16(sub, code);
  U16(sub, 0xFFFF);
  for (auto& [code, gid] : map) U16(sub, (gid - code) & 0xFFFF);
  U16(sub, 1);
  for (size_t i = 0; i < segCount; ++i) U16(sub, 0);
  Bytes b;
  U16(b, 0);
  U16(b, 1);
  U16(b, 3);  // Windows, Unicode BMP
  U16(b, 1);
  U32(b, 12);
  b.insert(b.end(), sub.begin(), sub.end());
  return b;
}

}  // namespace

std::vector<std::uint8_t> BuildOcrFont() {
  const std::vector<Glyph> glyphs = Glyphs();
  const unsigned numGlyphs = unsigned(glyphs.size());

  Bytes glyf, loca;
  Box all{0, 0, 0, 0};
  unsigned maxPoints = 0, maxContours = 0;
  std::vector<Box> boxes;
  for (const auto& g : glyphs) {
    U32(loca, std::uint32_t(glyf.size()));
    Bytes d = GlyphData(g);
    glyf.insert(glyf.end(), d.begin(), d.end());
    Box bx = BoxOf(g);
    boxes.push_back(bx);
    if (!g.contours.empty()) {
      all.xMin = std::min(all.xMin, bx.xMin);
      all.yMin = std::min(all.yMin, bx.yMin);
      all.xMax = std::max(all.xMax, bx.xMax);
      all.yMax = std::max(all.yMax, bx.yMax);
    }
    unsigned points = 0;
    for (const auto& c : g.contours) points += unsigned(c.size());
    maxPoints = std::max(maxPoints, points);
    maxContours = std::max(maxContours, unsigned(g.contours.size()));
  }
  U32(loca, std::uint32_t(glyf.size()));

  // 2004-01-01 in seconds since 1904-01-01.
  const std::uint32_t created = 3155673600u;
  Bytes head;
  U32(head, 0x00010000);
  U32(head, 0x00010000);
  U32(head, 0);  // checkSumAdjustment, set last
  U32(head, 0x5F0F3CF5);
  U16(head, 0x000B);
  U16(head, 1000);
  U32(head, 0);
  U32(head, created);
  U32(head, 0);
  U32(head, created);
  S16(head, all.xMin);
  S16(head, all.yMin);
  S16(head, all.xMax);
  S16(head, all.yMax);
  U16(head, 0);
  U16(head, 8);
  S16(head, 2);
  S16(head, 1);  // long loca offsets
  S16(head, 0);

  int minLsb = 0, minRsb = kAdvance, maxExtent = 0;
  Bytes hmtx;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    U16(hmtx, kAdvance);
    S16(hmtx, boxes[i].xMin);
    if (!glyphs[i].contours.empty()) {
      minLsb = std::min(minLsb, boxes[i].xMin);
      minRsb = std::min(minRsb, kAdvance - boxes[i].xMax);
      maxExtent = std::max(maxExtent, boxes[i].xMax);
    }
  }

  Bytes hhea;
  U32(hhea, 0x00010000);
  S16(hhea, kAscent);
  S16(hhea, -kDescent);
  S16(hhea, 0);
  U16(hhea, kAdvance);
  S16(hhea, minLsb);
  S16(hhea, minRsb);
  S16(hhea, maxExtent);
  S16(hhea, 1);
  S16(hhea, 0);
  S16(hhea, 0);
  for (int i = 0; i < 4; ++i) S16(hhea, 0);
  S16(hhea, 0);
  U16(hhea, numGlyphs);

  Bytes maxp;
  U32(maxp, 0x00010000);
  U16(maxp, numGlyphs);
  U16(maxp, maxPoints);
  U16(maxp, maxContours);
  U16(maxp, 0);
  U16(maxp, 0);
  U16(maxp, 2);
  for (int i = 0; i < 8; ++i) U16(maxp, 0);

  Bytes post;
  U32(post, 0x00030000);
  U32(post, 0);
  S16(post, -100);
  S16(post, 50);
  U32(post, 1);  // fixed pitch
  for (int i = 0; i < 4; ++i) U32(post, 0);

  Bytes os2;
  U16(os2, 3);
  S16(os2, kAdvance);
  U16(os2, 400);
  U16(os2, 5);
  U16(os2, 0);  // installable
  for (int v : {650, 600, 0, 75, 650, 600, 0, 350, 50, 300, 0}) S16(os2, v);
  for (int v : {2, 11, 6, 9, 2, 2, 2, 2, 2, 4}) U8(os2, unsigned(v));  // monospaced
  U32(os2, 1);                                                         // Basic Latin
  U32(os2, 0);
  U32(os2, 0);
  U32(os2, 0);
  Tag(os2, "MQTO");
  U16(os2, 0x0040);  // regular
  U16(os2, 0x20);
  U16(os2, 0x54);
  S16(os2, kAscent);
  S16(os2, -kDescent);
  S16(os2, 0);
  U16(os2, kAscent);
  U16(os2, kDescent);
  U32(os2, 1);  // Latin 1
  U32(os2, 0);
  S16(os2, 500);
  S16(os2, 700);
  U16(os2, 0);
  U16(os2, 0x20);
  U16(os2, 1);

  const std::vector<std::pair<const char*, Bytes>> tables = {
      {"OS/2", os2},         {"cmap", CmapTable(glyphs)},
      {"glyf", glyf},        {"head", head},
      {"hhea", hhea},        {"hmtx", hmtx},
      {"loca", loca},        {"maxp", maxp},
      {"name", NameTable()}, {"post", post},
  };

  Bytes font;
  const unsigned n = unsigned(tables.size());
  unsigned pow2 = 1, log2 = 0;
  while (pow2 * 2 <= n) {
    pow2 *= 2;
    ++log2;
  }
  U32(font, 0x00010000);
  U16(font, n);
  U16(font, pow2 * 16);
  U16(font, log2);
  U16(font, n * 16 - pow2 * 16);
  size_t offset = 12 + n * 16;
  size_t headOffset = 0;
  for (const auto& [tag, data] : tables) {
    Tag(font, tag);
    Bytes padded = data;
    Pad4(padded);
    U32(font, CheckSum(padded));
    U32(font, std::uint32_t(offset));
    U32(font, std::uint32_t(data.size()));
    if (std::strcmp(tag, "head") == 0) headOffset = offset;
    offset += padded.size();
  }
  for (const auto& [tag, data] : tables) {
    font.insert(font.end(), data.begin(), data.end());
    Pad4(font);
  }
  Put32(font, headOffset + 8, 0xB1B0AFBAu - CheckSum(font));
  return font;
}

}  // namespace media
