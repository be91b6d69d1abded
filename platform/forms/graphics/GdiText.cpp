#include "platform/forms/graphics/GdiText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "platform/forms/graphics/Fonts.h"
#include "platform/forms/graphics/GdiInternal.h"
#include "platform/system/Text.h"

namespace win {

using namespace gdi;

namespace {

std::u32string Decode(const char* s, int len) {
  if (!s) return {};
  return Utf8ToUtf32(len < 0 ? std::string_view(s) : std::string_view(s, std::size_t(len)));
}

std::string Encode(const std::u32string& s) {
  std::string out;
  for (char32_t c : s) AppendUtf8(out, c);
  return out;
}

FontInstance& FontOf(DC& dc) {
  Font* f = dc.st.font;
  if (!f->inst) f->inst = Realize(f->lf);
  return *f->inst;
}

Font* MakeFont(const LOGFONT& lf, bool stock) {
  auto* f = new Font;
  f->type = OBJ_FONT;
  f->lf = lf;
  f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
  f->stock = stock;
  RegisterObject(f);
  return f;
}

// Draws glyphs along the baseline starting at (bx, by) in surface coordinates.
// clip: optional extra clip in surface coordinates.
void DrawGlyphs(DC& dc, FontInstance& fi, double bx, double by, const std::u32string& text,
                const std::vector<int>& adv, const RECT* clip, std::uint32_t color,
                const std::vector<bool>* underline) {
  Surface* s = dc.surface();
  if (!s) return;
  std::vector<RECT> rects = clip ? IntersectRects(dc.Clip(), *clip) : dc.Clip();
  if (rects.empty()) return;
  double ca = std::cos(fi.Angle()), sa = std::sin(fi.Angle());
  bool rotated = fi.Angle() != 0;
  auto plot = [&](int x, int y) {
    for (const RECT& r : rects)
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
        s->Row(y)[x] = color;
        return;
      }
  };
  double px = bx, py = by;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Glyph& g = fi.Get(text[i]);
    int ox = int(std::lround(px)) + g.left, oy = int(std::lround(py)) - g.top;
    RECT gb{ox, oy, ox + g.w, oy + g.h};
    for (const RECT& r : rects) {
      RECT in;
      if (!IntersectRect(&in, &gb, &r)) continue;
      for (int y = in.top; y < in.bottom; ++y) {
        const std::uint8_t* row = g.bits.data() + std::size_t(y - oy) * g.w;
        std::uint32_t* drow = s->Row(y);
        for (int x = in.left; x < in.right; ++x)
          if (row[x - ox]) drow[x] = color;
      }
    }
    bool ul = underline && i < underline->size() && (*underline)[i];
    if (ul) {
      int y0 = fi.UnderlinePos();
      for (int k = 0; k < adv[i]; ++k)
        for (int t = 0; t < fi.LineThickness(); ++t)
          plot(int(std::lround(px + k * ca + (y0 + t) * sa)),
               int(std::lround(py - k * sa + (y0 + t) * ca)));
    }
    if (rotated && adv[i] == fi.Advance(text[i]) && (g.advX || g.advY)) {
      px += g.advX / 64.0;
      py -= g.advY / 64.0;
    } else {
      px += adv[i] * ca;
      py -= adv[i] * sa;
    }
  }
}

// Text output shared by TextOut, ExtTextOut and DrawText. (x, y): surface coordinates of
// the reference point; align: TA_ flags.
void Output(DC& dc, int x, int y, UINT align, UINT options, const RECT* rect,
            const std::u32string& text, const std::vector<int>& adv,
            const std::vector<bool>* underline, int* widthOut = nullptr) {
  FontInstance& fi = FontOf(dc);
  int W = 0;
  for (int a : adv) W += a;
  if (widthOut) *widthOut = W;
  if (!dc.surface()) return;
  int asc = fi.Ascent(), desc = fi.Descent();
  double hx = (align & TA_CENTER) == TA_CENTER ? -W / 2 : (align & TA_RIGHT) ? -W : 0;
  double vy = (align & TA_BASELINE) == TA_BASELINE ? 0 : (align & TA_BOTTOM) ? -desc : asc;
  double ca = std::cos(fi.Angle()), sa = std::sin(fi.Angle());
  double bx = x + hx * ca + vy * sa, by = y - hx * sa + vy * ca;
  if ((options & ETO_OPAQUE) && rect) FillRectSolid(dc, *rect, ToDevice(dc, dc.st.bk), R2_COPYPEN);
  const RECT* clip = (options & ETO_CLIPPED) ? rect : nullptr;
  if (dc.st.bkMode == OPAQUE && fi.Angle() == 0 && W > 0) {
    RECT cell{int(std::lround(bx)), int(std::lround(by)) - asc, int(std::lround(bx)) + W,
              int(std::lround(by)) + desc};
    if (clip) IntersectRect(&cell, &cell, clip);
    FillRectSolid(dc, cell, ToDevice(dc, dc.st.bk), R2_COPYPEN);
  }
  std::uint32_t color = ToDevice(dc, dc.st.text);
  const LOGFONT& lf = fi.Logical();
  std::vector<bool> all;
  if (lf.lfUnderline) {
    all.assign(text.size(), true);
    underline = &all;
  }
  DrawGlyphs(dc, fi, bx, by, text, adv, clip, color, underline);
  if (lf.lfStrikeOut && W > 0) {
    int sy = int(std::lround(by)) - std::max(1, asc / 3);
    std::vector<RECT> rects = clip ? IntersectRects(dc.Clip(), *clip) : dc.Clip();
    for (int k = 0; k < W; ++k) {
      int px = int(std::lround(bx + k * ca)), py = int(std::lround(sy - k * sa));
      for (const RECT& r : rects)
        if (px >= r.left && px < r.right && py >= r.top && py < r.bottom) {
          dc.surface()->Row(py)[px] = color;
          break;
        }
    }
  }
  if (dc.sink && !text.empty())
    dc.sink(int(std::lround(bx)) - dc.origin.x, int(std::lround(by)) - asc - dc.origin.y,
            fi.Height(), Encode(text));
}

std::vector<int> Advances(FontInstance& fi, const std::u32string& t) {
  std::vector<int> adv(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) adv[i] = fi.Advance(t[i]);
  return adv;
}

int Sum(const std::vector<int>& v, std::size_t from = 0, std::size_t to = std::size_t(-1)) {
  const std::size_t end = std::min(to, v.size());
  if (from >= end) return 0;
  return std::accumulate(v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(end), 0);
}

}  // namespace

HGDIOBJ StockFont(int index) {
  static Font* fonts[18] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    auto make = [](const char* face, int h, int weight) {
      LOGFONT lf;
      lf.lfHeight = h;
      lf.lfWeight = weight;
      std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
      return MakeFont(lf, true);
    };
    fonts[SYSTEM_FONT] = make("System", 16, FW_BOLD);
    fonts[DEFAULT_GUI_FONT] = make("MS Sans Serif", -11, FW_NORMAL);
    fonts[ANSI_VAR_FONT] = make("MS Sans Serif", -11, FW_NORMAL);
    fonts[ANSI_FIXED_FONT] = make("Courier", -13, FW_NORMAL);
    fonts[OEM_FIXED_FONT] = make("Terminal", -12, FW_NORMAL);
  });
  if (index < 0 || index >= 18) return nullptr;
  return fonts[index];
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  return reinterpret_cast<HFONT>(MakeFont(*lf, false));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                 DWORD underline, DWORD strikeOut, DWORD charset, DWORD outPrecision,
                 DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* face) {
  LOGFONT lf;
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = BYTE(italic != 0);
  lf.lfUnderline = BYTE(underline != 0);
  lf.lfStrikeOut = BYTE(strikeOut != 0);
  lf.lfCharSet = BYTE(charset);
  lf.lfOutPrecision = BYTE(outPrecision);
  lf.lfClipPrecision = BYTE(clipPrecision);
  lf.lfQuality = BYTE(quality);
  lf.lfPitchAndFamily = BYTE(pitchAndFamily);
  if (face) std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

BOOL GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
  DC* dc = LookupDC(hdc);
  if (!dc || !tm) return 0;
  *tm = FontOf(*dc).Metrics();
  return 1;
}

int GetTextFace(HDC hdc, int size, char* out) {
  DC* dc = LookupDC(hdc);
  if (!dc) return 0;
  const std::string& name = FontOf(*dc).Face().family;
  if (!out) return int(name.size()) + 1;
  if (size <= 0) return 0;
  std::size_t n = std::min<std::size_t>(name.size(), std::size_t(size - 1));
  std::memcpy(out, name.data(), n);
  out[n] = 0;
  return int(n);
}

BOOL GetTextExtentPoint32(HDC hdc, const char* s, int len, SIZE* out) {
  DC* dc = LookupDC(hdc);
  if (!dc || !out || (!s && len != 0)) return 0;
  FontInstance& fi = FontOf(*dc);
  out->cx = Sum(Advances(fi, Decode(s, len)));
  out->cy = fi.Height();
  return 1;
}

BOOL GetTextExtentPoint32(HDC hdc, const std::string& s, SIZE* out) {
  return GetTextExtentPoint32(hdc, s.data(), int(s.size()), out);
}

BOOL GetTextExtentExPoint(HDC hdc, const char* s, int len, int maxExtent, int* fit, int* dx,
                          SIZE* size) {
  DC* dc = LookupDC(hdc);
  if (!dc || (!s && len != 0)) return 0;
  FontInstance& fi = FontOf(*dc);
  std::u32string t = Decode(s, len);
  auto adv = Advances(fi, t);
  int w = 0, n = 0;
  for (std::size_t i = 0; i < adv.size(); ++i) {
    w += adv[i];
    if (dx) dx[i] = w;
    if (w <= maxExtent) n = int(i) + 1;
  }
  if (fit) *fit = n;
  if (size) *size = SIZE{w, fi.Height()};
  return 1;
}

BOOL ExtTextOut(HDC hdc, int x, int y, UINT options, const RECT* r, const char* s, int len,
                const int* dx) {
  DC* dc = LookupDC(hdc);
  if (!dc || (!s && len > 0)) return 0;
  FontInstance& fi = FontOf(*dc);
  std::u32string t = Decode(s, len);
  std::vector<int> adv = Advances(fi, t);
  if (dx)
    for (std::size_t i = 0; i < adv.size(); ++i) adv[i] = dx[i];
  bool cp = dc->st.align & TA_UPDATECP;
  if (cp) x = dc->st.cur.x, y = dc->st.cur.y;
  RECT sr{};
  if (r) sr = RECT{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)};
  int w = 0;
  Output(*dc, dc->SX(x), dc->SY(y), dc->st.align, options, r ? &sr : nullptr, t, adv, nullptr, &w);
  if (cp) {
    UINT h = dc->st.align & TA_CENTER;
    if (h == TA_LEFT)
      dc->st.cur.x += w;
    else if (h == TA_RIGHT)
      dc->st.cur.x -= w;
  }
  return 1;
}

BOOL TextOut(HDC hdc, int x, int y, const char* s, int len) {
  if (len < 0) return 0;
  return ExtTextOut(hdc, x, y, 0, nullptr, s, len, nullptr);
}

BOOL TextOut(HDC hdc, int x, int y, const std::string& s) {
  return TextOut(hdc, x, y, s.data(), int(s.size()));
}

namespace {

// Lays out tabbed text: the x offset of every segment and the total width.
struct TabLayout {
  std::vector<std::pair<std::u32string, int>> segments;  // text, x offset from the start
  int width = 0;
};

TabLayout LayoutTabs(FontInstance& fi, const std::u32string& t, int tabCount, const int* tabs,
                     int tabOrigin, int x) {
  TabLayout out;
  int defaultTab = 8 * fi.Metrics().tmAveCharWidth;
  std::vector<std::u32string> parts(1);
  for (char32_t c : t) {
    if (c == U'\t')
      parts.emplace_back();
    else
      parts.back().push_back(c);
  }
  int cur = 0;  // relative to x
  int nextStop = 0;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    int w = Sum(Advances(fi, parts[i]));
    int pos = cur;
    if (i > 0) {
      // Find the first stop beyond the current position.
      int abs = x + cur, stop = 0;
      bool right = false;
      if (!tabs || tabCount <= 0 || tabCount == 1) {
        int interval = (tabs && tabCount == 1 && tabs[0] != 0) ? std::abs(tabs[0]) : defaultTab;
        interval = std::max(1, interval);
        stop = tabOrigin + ((abs - tabOrigin) / interval + 1) * interval;
        if (abs - tabOrigin < 0) stop = tabOrigin;
      } else {
        bool found = false;
        for (int k = nextStop; k < tabCount; ++k) {
          int v = tabOrigin + std::abs(tabs[k]);
          bool isRight = tabs[k] < 0;
          if ((isRight ? v - w : v) > abs || (!isRight && v > abs)) {
            stop = v, right = isRight, nextStop = k + 1, found = true;
            break;
          }
        }
        if (!found) {
          int interval = std::max(1, defaultTab);
          stop = tabOrigin + ((abs - tabOrigin) / interval + 1) * interval;
        }
      }
      pos = (right ? std::max(abs, stop - w) : stop) - x;
    }
    out.segments.push_back({parts[i], pos});
    cur = pos + w;
  }
  out.width = cur;
  return out;
}

}  // namespace

LONG TabbedTextOut(HDC hdc, int x, int y, const char* s, int len, int tabCount, const int* tabs,
                   int tabOrigin) {
  DC* dc = LookupDC(hdc);
  if (!dc || (!s && len > 0) || tabCount < 0 || (tabCount > 0 && !tabs)) return 0;
  FontInstance& fi = FontOf(*dc);
  bool cp = dc->st.align & TA_UPDATECP;
  if (cp) x = dc->st.cur.x, y = dc->st.cur.y;
  TabLayout lay = LayoutTabs(fi, Decode(s, len), tabCount, tabs, tabOrigin, x);
  UINT align = (dc->st.align & ~(TA_CENTER | TA_UPDATECP)) | TA_LEFT;
  // Opaque mode paints the whole run, gaps included.
  if (dc->st.bkMode == OPAQUE && lay.width > 0) {
    int top = (align & TA_BASELINE) == TA_BASELINE ? y - fi.Ascent()
              : (align & TA_BOTTOM)                ? y - fi.Height()
                                                   : y;
    FillRectSolid(*dc,
                  RECT{dc->SX(x), dc->SY(top), dc->SX(x + lay.width), dc->SY(top + fi.Height())},
                  ToDevice(*dc, dc->st.bk), R2_COPYPEN);
  }
  for (auto& [seg, off] : lay.segments) {
    if (seg.empty()) continue;
    Output(*dc, dc->SX(x + off), dc->SY(y), align, 0, nullptr, seg, Advances(fi, seg), nullptr);
  }
  if (cp) dc->st.cur.x += lay.width;
  return LONG(MAKELONG(WORD(lay.width), WORD(fi.Height())));
}

DWORD GetTabbedTextExtent(HDC hdc, const char* s, int len, int tabCount, const int* tabs) {
  DC* dc = LookupDC(hdc);
  if (!dc || (!s && len > 0) || tabCount < 0 || (tabCount > 0 && !tabs)) return 0;
  FontInstance& fi = FontOf(*dc);
  TabLayout lay = LayoutTabs(fi, Decode(s, len), tabCount, tabs, 0, 0);
  return MAKELONG(WORD(lay.width), WORD(fi.Height()));
}

// --- DrawText ----------------------------------------------------------------------------

namespace {

struct Line {
  std::u32string text;
  std::vector<bool> ul;  // underlined characters (prefixes)
};

int LineWidth(FontInstance& fi, const std::u32string& t, bool tabs, int tabWidth,
              std::vector<int>* advOut = nullptr) {
  std::vector<int> adv(t.size());
  int x = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == U'\t' && tabs)
      adv[i] = tabWidth > 0 ? ((x / tabWidth) + 1) * tabWidth - x : 0;
    else if (t[i] == U'\t')
      adv[i] = 0;
    else
      adv[i] = fi.Advance(t[i]);
    x += adv[i];
  }
  if (advOut) *advOut = std::move(adv);
  return x;
}

void EndEllipsis(FontInstance& fi, Line& line, int maxW, bool tabs, int tabWidth) {
  const std::u32string dots = U"...";
  while (!line.text.empty() && LineWidth(fi, line.text + dots, tabs, tabWidth) > maxW) {
    line.text.pop_back();
    line.ul.pop_back();
  }
  line.text += dots;
  line.ul.resize(line.text.size(), false);
}

void PathEllipsis(FontInstance& fi, Line& line, int maxW, bool tabs, int tabWidth) {
  std::size_t slash = line.text.find_last_of(U"\\/");
  if (slash == std::u32string::npos) return EndEllipsis(fi, line, maxW, tabs, tabWidth);
  std::u32string head = line.text.substr(0, slash), tail = line.text.substr(slash);
  const std::u32string dots = U"...";
  std::u32string text = head + dots + tail;
  for (std::size_t keep = head.size(); keep > 0 && LineWidth(fi, text, tabs, tabWidth) > maxW;)
    text.erase(--keep, 1);
  line.text = std::move(text);
  line.ul.assign(line.text.size(), false);
}

}  // namespace

int DrawTextEx(HDC hdc, const char* s, int len, RECT* r, UINT format, DRAWTEXTPARAMS* params) {
  DC* dc = LookupDC(hdc);
  if (!dc || !r || (!s && len != 0)) return 0;
  FontInstance& fi = FontOf(*dc);
  const TEXTMETRIC& tm = fi.Metrics();
  std::u32string src = Decode(s, len);
  bool single = format & DT_SINGLELINE;
  bool tabs = format & DT_EXPANDTABS;
  int tabChars = (format & DT_TABSTOP) ? int((format >> 8) & 0xFF) : 8;
  if (params && params->iTabLength > 0) tabChars = params->iTabLength;
  int tabWidth = tabChars * tm.tmAveCharWidth;
  int lineH = tm.tmHeight + ((format & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
  RECT box = *r;
  if (params) box.left += params->iLeftMargin, box.right -= params->iRightMargin;
  int maxW = box.right - box.left;

  // Prefixes and hard line breaks.
  std::vector<Line> hard(1);
  bool prefixes = !(format & DT_NOPREFIX);
  bool hide = format & DT_HIDEPREFIX;
  for (std::size_t i = 0; i < src.size(); ++i) {
    char32_t c = src[i];
    if (prefixes && c == U'&') {
      if (i + 1 < src.size() && src[i + 1] == U'&') {
        hard.back().text.push_back(U'&');
        hard.back().ul.push_back(false);
        ++i;
      } else if (i + 1 < src.size() && src[i + 1] != U'\r' && src[i + 1] != U'\n') {
        hard.back().text.push_back(src[i + 1]);
        hard.back().ul.push_back(!hide);
        ++i;
      }
      continue;
    }
    if (c == U'\r' || c == U'\n') {
      if (single) continue;
      if (c == U'\r' && i + 1 < src.size() && src[i + 1] == U'\n') ++i;
      hard.emplace_back();
      continue;
    }
    hard.back().text.push_back(c);
    hard.back().ul.push_back(false);
  }
  if (format & DT_PREFIXONLY) {
    for (Line& l : hard)
      for (std::size_t i = 0; i < l.text.size(); ++i)
        if (!l.ul[i]) l.text[i] = U' ';
  }

  // Word breaking.
  std::vector<Line> lines;
  bool wrap = (format & DT_WORDBREAK) && !single;
  for (Line& h : hard) {
    if (!wrap) {
      lines.push_back(h);
      continue;
    }
    std::size_t start = 0;
    const std::u32string& t = h.text;
    if (t.empty()) {
      lines.push_back(h);
      continue;
    }
    while (start < t.size()) {
      std::vector<int> adv;
      LineWidth(fi, t.substr(start), tabs, tabWidth, &adv);
      int x = 0;
      std::size_t end = start, lastBreak = std::string::npos;
      while (end < t.size()) {
        if (t[end] == U' ') lastBreak = end;
        if (x + adv[end - start] > maxW && t[end] != U' ' && end > start) break;
        x += adv[end - start];
        ++end;
      }
      if (end < t.size()) {
        if (lastBreak != std::string::npos && lastBreak >= start && lastBreak < end) {
          end = lastBreak;
        } else {
          // A word longer than the line: it stays whole and overflows.
          while (end < t.size() && t[end] != U' ') ++end;
        }
      }
      std::size_t stop = end;
      while (stop > start && t[stop - 1] == U' ') --stop;  // trailing blanks do not count
      lines.push_back(Line{t.substr(start, stop - start),
                           std::vector<bool>(h.ul.begin() + std::ptrdiff_t(start),
                                             h.ul.begin() + std::ptrdiff_t(stop))});
      start = end;
      while (start < t.size() && t[start] == U' ') ++start;
    }
  }

  // Ellipses.
  for (Line& l : lines) {
    if (LineWidth(fi, l.text, tabs, tabWidth) <= maxW) continue;
    if (format & DT_PATH_ELLIPSIS)
      PathEllipsis(fi, l, maxW, tabs, tabWidth);
    else if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS))
      EndEllipsis(fi, l, maxW, tabs, tabWidth);
  }

  int widest = 0;
  std::vector<std::vector<int>> advs(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    widest = std::max(widest, LineWidth(fi, lines[i].text, tabs, tabWidth, &advs[i]));
  int total = lineH * int(lines.size());
  int y = box.top;
  if (single) {
    if (format & DT_VCENTER)
      y = box.top + (box.bottom - box.top - lineH) / 2;
    else if (format & DT_BOTTOM)
      y = box.bottom - lineH;
  }
  if (params) params->uiLengthDrawn = UINT(src.size());
  if (format & DT_CALCRECT) {
    r->right = r->left + widest + (params ? params->iLeftMargin + params->iRightMargin : 0);
    r->bottom = r->top + total;
    return total;
  }
  int y0 = y;
  if (dc->surface()) {
    RECT clip{dc->SX(r->left), dc->SY(r->top), dc->SX(r->right), dc->SY(r->bottom)};
    bool noClip = format & DT_NOCLIP;
    UINT align = TA_LEFT | TA_TOP;
    for (std::size_t i = 0; i < lines.size(); ++i, y += lineH) {
      int lw = Sum(advs[i]);
      int x = box.left;
      if (format & DT_CENTER)
        x = box.left + (maxW - lw) / 2;
      else if (format & DT_RIGHT)
        x = box.right - lw;
      Output(*dc, dc->SX(x), dc->SY(y), align, noClip ? 0 : ETO_CLIPPED, noClip ? nullptr : &clip,
             lines[i].text, advs[i], &lines[i].ul);
    }
  }
  return single ? y0 - box.top + lineH : total;
}

int DrawText(HDC hdc, const char* s, int len, RECT* r, UINT format) {
  return DrawTextEx(hdc, s, len, r, format, nullptr);
}

int DrawText(HDC hdc, const std::string& s, RECT* r, UINT format) {
  return DrawTextEx(hdc, s.data(), int(s.size()), r, format, nullptr);
}

}  // namespace win
