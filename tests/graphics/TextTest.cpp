// Text layout with the box font (every glyph a box of a known advance) and real faces.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/forms/graphics/Fonts.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/system/Exceptions.h"

using namespace win;

namespace {
// A 200x100 white surface with a "Box Test" font: cell 10 (ascent 8), advance 5.
struct BoxDC {
  Surface s{200, 100, 0xFFFFFF};
  HDC dc = CreateSurfaceDC(&s, POINT{0, 0}, RECT{0, 0, 200, 100});
  HFONT font;
  BoxDC(int height = 10, const char* face = "Box Test") {
    LOGFONT lf;
    lf.lfHeight = height;
    std::strcpy(lf.lfFaceName, face);
    font = CreateFontIndirect(&lf);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
  }
  ~BoxDC() {
    DeleteDC(dc);
    DeleteObject(font);
  }
  bool Ink(int x, int y) const { return s.At(x, y) == 0; }
  RECT Calc(const std::string& text, int width, UINT flags) {
    RECT r{0, 0, width, 0};
    DrawText(dc, text, &r, flags | DT_CALCRECT);
    return r;
  }
};
}  // namespace

TEST(Text, BoxFontMetricsAndTextOutAlignment) {
  BoxDC b;
  TEXTMETRIC tm;
  ASSERT_TRUE(GetTextMetrics(b.dc, &tm));
  EXPECT_EQ(tm.tmHeight, 10);
  EXPECT_EQ(tm.tmAscent, 8);
  EXPECT_EQ(tm.tmAveCharWidth, 5);
  SIZE sz;
  GetTextExtentPoint32(b.dc, "abc", &sz);
  EXPECT_EQ(sz, (SIZE{15, 10}));
  TextOut(b.dc, 10, 10, "ab");
  EXPECT_TRUE(b.Ink(10, 10));
  EXPECT_TRUE(b.Ink(13, 17));
  EXPECT_FALSE(b.Ink(14, 10));  // the one-pixel gap between boxes
  EXPECT_FALSE(b.Ink(10, 18));  // below the baseline
  SetTextAlign(b.dc, TA_RIGHT | TA_BASELINE);
  TextOut(b.dc, 100, 50, "a");
  EXPECT_TRUE(b.Ink(95, 42));
  EXPECT_TRUE(b.Ink(98, 49));
  EXPECT_FALSE(b.Ink(98, 50));
  EXPECT_FALSE(b.Ink(100, 45));
  SetTextAlign(b.dc, TA_CENTER | TA_BOTTOM);
  TextOut(b.dc, 150, 90, "aa");  // cell from 145 to 155, baseline 90 - 2
  EXPECT_TRUE(b.Ink(145, 87));
  EXPECT_FALSE(b.Ink(145, 88));
  EXPECT_FALSE(b.Ink(144, 87));
}

TEST(Text, OpaqueAndClippedExtTextOut) {
  BoxDC b;
  SetBkMode(b.dc, OPAQUE);
  SetBkColor(b.dc, RGB(255, 0, 0));
  RECT r{0, 0, 7, 10};
  ExtTextOut(b.dc, 0, 0, ETO_CLIPPED | ETO_OPAQUE, &r, "abc", 3, nullptr);
  EXPECT_TRUE(b.Ink(5, 0));
  EXPECT_EQ(b.s.At(4, 9), RGB(255, 0, 0));      // the background under the cell
  EXPECT_EQ(b.s.At(7, 0), RGB(255, 255, 255));  // clipped
}

TEST(Text, DrawTextWordBreaksAndMeasures) {
  BoxDC b;
  // "aaa bb cccc" at 5 px per character in 40 px: "aaa bb" (30) then "cccc" (20).
  RECT r = b.Calc("aaa bb cccc", 40, DT_WORDBREAK);
  EXPECT_EQ(r, (RECT{0, 0, 30, 20}));
  // A word longer than the line stays whole.
  r = b.Calc("aaaaaaaaaa b", 20, DT_WORDBREAK);
  EXPECT_EQ(r, (RECT{0, 0, 50, 20}));
  // Hard breaks, single line, and an empty text.
  EXPECT_EQ(b.Calc("ab\r\nabcd", 100, 0), (RECT{0, 0, 20, 20}));
  EXPECT_EQ(b.Calc("ab\r\nabcd", 100, DT_SINGLELINE), (RECT{0, 0, 30, 10}));
  EXPECT_EQ(b.Calc("", 100, 0), (RECT{0, 0, 0, 10}));
}

TEST(Text, DrawTextAlignsAndCentresOneLine) {
  BoxDC b;
  RECT r{0, 0, 100, 40};
  int h = DrawText(b.dc, "ab", &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
  EXPECT_EQ(h, 40);
  EXPECT_TRUE(b.Ink(90, 30));
  EXPECT_FALSE(b.Ink(89, 30));
  EXPECT_FALSE(b.Ink(90, 29));
  RECT c{100, 0, 200, 40};
  DrawText(b.dc, "ab", &c, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  EXPECT_TRUE(b.Ink(145, 15));
  EXPECT_FALSE(b.Ink(144, 15));
  EXPECT_FALSE(b.Ink(145, 14));
}

TEST(Text, PrefixesUnderlineTheNextLetter) {
  BoxDC b;
  EXPECT_EQ(b.Calc("&Oui", 100, 0).right, 15);
  EXPECT_EQ(b.Calc("a&&b", 100, 0).right, 15);
  EXPECT_EQ(b.Calc("a&&b", 100, DT_NOPREFIX).right, 20);
  RECT r{0, 0, 100, 20};
  DrawText(b.dc, "a&bc", &r, 0);
  // Underline one row below the baseline, under "b" only.
  bool under = false;
  for (int y = 8; y < 10; ++y) under |= b.Ink(6, y);
  EXPECT_TRUE(under);
  for (int y = 8; y < 10; ++y) EXPECT_FALSE(b.Ink(1, y));
}

TEST(Text, EllipsesShortenTooLongLines) {
  BoxDC b;
  // 40 px hold 8 characters: 5 letters and "...".
  RECT r = b.Calc("abcdefghijkl", 40, DT_END_ELLIPSIS | DT_SINGLELINE);
  EXPECT_EQ(r.right, 40);
  r = b.Calc("abc", 40, DT_END_ELLIPSIS | DT_SINGLELINE);
  EXPECT_EQ(r.right, 15);
  // The path ellipsis keeps the last component: "C:\...\file" fits 55 px (11 characters).
  r = b.Calc("C:\\Program Files\\file", 55, DT_PATH_ELLIPSIS | DT_SINGLELINE);
  EXPECT_EQ(r.right, 55);
  RECT d{0, 0, 55, 10};
  DrawText(b.dc, "C:\\Program Files\\file", &d, DT_PATH_ELLIPSIS | DT_SINGLELINE);
  EXPECT_TRUE(b.Ink(50, 5));  // the last letter is drawn
}

TEST(Text, TabsExpandAndTabStopsPlaceColumns) {
  BoxDC b;
  // Default tab: 8 average characters = 40 px.
  EXPECT_EQ(b.Calc("a\tb", 200, DT_EXPANDTABS).right, 45);
  int stops[] = {30, -80};
  DWORD ext = GetTabbedTextExtent(b.dc, "a\tb\tcc", 6, 2, stops);
  EXPECT_EQ(LOWORD(ext), 80);  // "cc" right-aligned at 80
  EXPECT_EQ(HIWORD(ext), 10);
  TabbedTextOut(b.dc, 0, 50, "a\tb\tcc", 6, 2, stops, 0);
  EXPECT_TRUE(b.Ink(30, 50));
  EXPECT_FALSE(b.Ink(29, 50));
  EXPECT_TRUE(b.Ink(70, 50));
  EXPECT_FALSE(b.Ink(69, 50));
  EXPECT_EQ(GetTabbedTextExtent(b.dc, "a\tb", 3, 0, nullptr) & 0xFFFF, 45u);
}

TEST(Text, RealFacesRenderAndKnowTheirKind) {
  EXPECT_TRUE(IsTrueTypeFace("Verdana"));
  EXPECT_TRUE(IsTrueTypeFace("arial"));
  EXPECT_FALSE(IsTrueTypeFace("MS Sans Serif"));
  EXPECT_FALSE(IsTrueTypeFace("Small Fonts"));
  auto names = ScreenFontNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "Courier New"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "Box Test"), names.end());
  BoxDC v(-11, "MS Sans Serif");
  TEXTMETRIC tm;
  GetTextMetrics(v.dc, &tm);
  EXPECT_EQ(tm.tmPitchAndFamily & TMPF_TRUETYPE, 0);
  EXPECT_GE(tm.tmHeight, 12);
  EXPECT_LE(tm.tmHeight, 15);
  TextOut(v.dc, 0, 0, "Hé");
  int ink = 0;
  for (auto p : v.s.pixels) ink += p == 0;
  EXPECT_GT(ink, 20);
  // Rotated text runs upwards at 90 degrees.
  LOGFONT lf;
  lf.lfHeight = -14;
  lf.lfEscapement = 900;
  std::strcpy(lf.lfFaceName, "Verdana");
  HFONT rot = CreateFontIndirect(&lf);
  BoxDC r(10);
  SelectObject(r.dc, rot);
  SetTextAlign(r.dc, TA_BASELINE);
  TextOut(r.dc, 50, 90, "HHHH");
  int minY = 100, maxX = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x)
      if (r.Ink(x, y)) minY = std::min(minY, y), maxX = std::max(maxX, x);
  EXPECT_LT(minY, 60);
  EXPECT_LE(maxX, 52);
  SelectObject(r.dc, r.font);
  DeleteObject(rot);
}

TEST(Text, AddFontFileNamesTheFamilyOrRefuses) {
  EXPECT_EQ(AddFontFile("/usr/share/fonts/truetype/dejavu/DejaVuMathTeXGyre.ttf"),
            "DejaVu Math TeX Gyre");
  auto names = ScreenFontNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "DejaVu Math TeX Gyre"), names.end());
  EXPECT_THROW(AddFontFile(WI_SOURCE_DIR "/CMakeLists.txt"), Exception);
  EXPECT_THROW(AddFontFile("/nonexistent/font.ttf"), Exception);
}
