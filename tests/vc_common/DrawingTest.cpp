// Colour arithmetic, frame painters and the transparent bitmap copy, checked on pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "controls/VcCommon.h"
#include "controls/VcGrafx.h"

namespace {

win::COLORREF Rgb(TColor c) { return ColorToRGB(c); }

struct Sheet {
  TBitmap bmp{12, 12};
  Sheet() {
    bmp.Canvas().Brush().SetColor(0x123456);
    bmp.Canvas().FillRect(Rect(0, 0, 12, 12));
  }
  TCanvas* c() { return &bmp.Canvas(); }
  win::COLORREF at(int x, int y) { return win::COLORREF(bmp.Canvas().Pixels(x, y)); }
};

TEST(VcColours, HslOfKnownColoursAndBack) {
  std::uint8_t h, s, l;
  ColorToHSL(clWhite, h, s, l);
  EXPECT_EQ((std::vector<int>{h, s, l}), (std::vector<int>{0, 0, 240}));
  ColorToHSL(clBlack, h, s, l);
  EXPECT_EQ((std::vector<int>{h, s, l}), (std::vector<int>{0, 0, 0}));
  ColorToHSL(clRed, h, s, l);
  EXPECT_EQ((std::vector<int>{h, s, l}), (std::vector<int>{0, 240, 120}));
  EXPECT_EQ(HSLToColor(0, 240, 120), clRed);
  // System colours are resolved first: clBtnFace is the palette's grey.
  ColorToHSL(clBtnFace, h, s, l);
  std::uint8_t h2, s2, l2;
  ColorToHSL(TColor(Rgb(clBtnFace)), h2, s2, l2);
  EXPECT_EQ(l, l2);
  // A hue of 239 or more is drawn as sector 0, as is 0.
  EXPECT_EQ(HSLToColor(239, 240, 120), HSLToColor(0, 240, 120));
  // Past it the sector stays 0 and the fraction keeps growing: green creeps in.
  EXPECT_EQ(HSLToColor(250, 240, 120) & 0xFF, 0xFF);
  EXPECT_GT((HSLToColor(250, 240, 120) >> 8) & 0xFF, 0);
  // Lightness past 240 clamps every component: white stays white.
  EXPECT_EQ(ShadeColor(clWhite, 100), clWhite);
  EXPECT_EQ(HSLToColor(0, 0, 0), clBlack);
  EXPECT_EQ(ShadeColor(clBlack, -50), clBlack);
  // Hue is read on 240 steps and written on 239: blue comes back with a touch of red.
  ColorToHSL(clBlue, h, s, l);
  EXPECT_EQ(h, 160);
  EXPECT_EQ(HSLToColor(h, s, l), 0xFF0004);
}

TEST(VcFrames, DrawSidesAndBevelReturnTheInnerRectangle) {
  Sheet s;
  TRect r = DrawSides(s.c(), Rect(0, 0, 10, 10), clRed, clBlue, TSides{});
  EXPECT_EQ(r, Rect(0, 0, 10, 10));
  EXPECT_EQ(s.at(0, 0), 0x123456u) << "an empty side set draws nothing";
  r = DrawSides(s.c(), Rect(0, 0, 10, 10), clRed, clBlue, AllSides);
  EXPECT_EQ(r, Rect(1, 1, 9, 9));
  EXPECT_EQ(s.at(0, 5), Rgb(clRed));
  EXPECT_EQ(s.at(5, 0), Rgb(clRed));
  EXPECT_EQ(s.at(9, 5), Rgb(clBlue));
  EXPECT_EQ(s.at(5, 9), Rgb(clBlue));
  EXPECT_EQ(s.at(10, 5), 0x123456u) << "right edge is exclusive";
  EXPECT_EQ(s.at(9, 0), Rgb(clBlue)) << "the lower-right lines come last";
  r = DrawSides(s.c(), Rect(0, 0, 10, 10), clRed, clBlue, {sdLeft, sdBottom});
  EXPECT_EQ(r, Rect(1, 0, 10, 9));
  EXPECT_EQ(DrawBevel(s.c(), Rect(0, 0, 10, 10), clRed, clBlue, 3, AllSides), Rect(3, 3, 7, 7));
  EXPECT_EQ(DrawBevel(s.c(), Rect(0, 0, 10, 10), clRed, clBlue, 0, AllSides), Rect(0, 0, 10, 10));
}

TEST(VcFrames, BorderStylesUseTheirTablesAndShapes) {
  for (auto style : {fsNone}) {
    Sheet s;
    EXPECT_EQ(DrawBorder(s.c(), Rect(0, 0, 10, 10), style, AllSides), Rect(0, 0, 10, 10));
    EXPECT_EQ(DrawColorBorder(s.c(), Rect(0, 0, 10, 10), clBtnFace, style, AllSides),
              Rect(0, 0, 10, 10));
    EXPECT_EQ(s.at(0, 0), 0x123456u);
  }
  for (auto style : {fsGroove, fsBump, fsLowered, fsRaised, fsButtonDown, fsButtonUp}) {
    Sheet s;
    EXPECT_EQ(DrawBorder(s.c(), Rect(0, 0, 10, 10), style, {sdLeft}), Rect(2, 0, 10, 10)) << style;
    EXPECT_EQ(DrawColorBorder(s.c(), Rect(0, 0, 10, 10), clBtnFace, style, {sdLeft}),
              Rect(2, 0, 10, 10));
  }
  {
    Sheet s;  // lowered: outer shadow / highlight, inner dark / light
    EXPECT_EQ(DrawBorder(s.c(), Rect(0, 0, 10, 10), fsLowered, AllSides), Rect(2, 2, 8, 8));
    EXPECT_EQ(s.at(0, 4), Rgb(clBtnShadow));
    EXPECT_EQ(s.at(9, 4), Rgb(clBtnHighlight));
    EXPECT_EQ(s.at(1, 4), Rgb(clBtnText));
    EXPECT_EQ(s.at(8, 4), Rgb(cl3DLight));
  }
  {
    Sheet s;  // groove, all sides: shadow outside, highlight inside on the upper-left
    DrawBorder(s.c(), Rect(0, 0, 10, 10), fsGroove, AllSides);
    EXPECT_EQ(s.at(0, 4), Rgb(clBtnShadow));
    EXPECT_EQ(s.at(1, 4), Rgb(clBtnHighlight));
    EXPECT_EQ(s.at(9, 4), Rgb(clBtnHighlight));
    EXPECT_EQ(s.at(8, 4), Rgb(clBtnShadow));
    EXPECT_EQ(s.at(9, 0), Rgb(clBtnHighlight)) << "upper-right corner pixel";
  }
  {
    Sheet s;  // groove on top only: the corner pixels close the line's ends
    DrawBorder(s.c(), Rect(0, 0, 10, 10), fsGroove, {sdTop});
    EXPECT_EQ(s.at(9, 0), Rgb(clBtnShadow));
    EXPECT_EQ(s.at(0, 1), Rgb(clBtnHighlight));
    EXPECT_EQ(s.at(5, 5), 0x123456u);
  }
  {
    Sheet s;  // status frame in shades of a base colour
    DrawColorBorder(s.c(), Rect(0, 0, 10, 10), clBtnFace, fsStatus, AllSides);
    EXPECT_EQ(s.at(0, 4), Rgb(ShadeColor(clBtnFace, -50)));
    EXPECT_EQ(s.at(9, 4), Rgb(ShadeColor(clBtnFace, 100)));
  }
}

TEST(VcFrames, DrawFrameUsesSystemColoursOnWindowAndShadesElsewhere) {
  {
    Sheet s;
    DrawFrame(s.c(), 12, 12, fsLowered, clWindow, clBtnShadow, AllSides);
    EXPECT_EQ(s.at(0, 5), Rgb(clBtnShadow));
    EXPECT_EQ(s.at(1, 5), Rgb(clBtnText));
  }
  {
    Sheet s;
    DrawFrame(s.c(), 12, 12, fsLowered, clBtnFace, clBtnShadow, AllSides);
    EXPECT_EQ(s.at(0, 5), Rgb(ShadeColor(clBtnFace, -50)));
    EXPECT_EQ(s.at(1, 5), Rgb(ShadeColor(clBtnFace, -100)));
  }
  {
    Sheet s;  // sides left out keep the two-pixel ring of the control colour
    DrawFrame(s.c(), 12, 12, fsFlat, clSilver, clRed, {sdLeft});
    EXPECT_EQ(s.at(0, 5), Rgb(clRed));
    EXPECT_EQ(s.at(11, 5), Rgb(clSilver));
    EXPECT_EQ(s.at(10, 5), Rgb(clSilver));
    EXPECT_EQ(s.at(5, 5), 0x123456u);
  }
}

TEST(VcGrafx, TransparentColourLeavesTheTargetAndStretches) {
  TBitmap src(2, 2);
  src.Canvas().SetPixels(0, 0, clLime);
  src.Canvas().SetPixels(1, 0, clRed);
  src.Canvas().SetPixels(0, 1, clRed);
  src.Canvas().SetPixels(1, 1, clBlue);
  Sheet s;
  s.c()->Font().SetColor(clYellow);  // the canvas colours must not tint the mask
  s.c()->Brush().SetColor(clNavy);
  DrawTransparentBitmap(s.c(), &src, Rect(2, 2, 6, 6), Rect(0, 0, 2, 2), clRed);
  EXPECT_EQ(s.at(2, 2), Rgb(clLime));
  EXPECT_EQ(s.at(3, 3), Rgb(clLime)) << "stretched 2x";
  EXPECT_EQ(s.at(4, 2), 0x123456u) << "red is transparent";
  EXPECT_EQ(s.at(5, 5), Rgb(clBlue));
  EXPECT_EQ(s.c()->CopyMode(), cmSrcPaint);
  EXPECT_EQ(s.at(7, 7), 0x123456u);

  // Black as the transparent colour skips the blackening and still shows through.
  src.Canvas().SetPixels(1, 0, clBlack);
  Sheet t;
  DrawTransparentBitmap(t.c(), &src, Rect(0, 0, 2, 2), Rect(0, 0, 2, 2), clBlack);
  EXPECT_EQ(t.at(1, 0), 0x123456u);
  EXPECT_EQ(t.at(0, 0), Rgb(clLime));
}

TEST(VcFonts, MetricsAndRotatedFont) {
  TFont f;
  f.SetName("MS Sans Serif");
  f.SetHeight(-11);
  int h = GetFontHeight(&f);
  win::HDC dc = win::CreateScreenDC();
  win::LOGFONT lf;
  lf.lfHeight = -11;
  std::strcpy(lf.lfFaceName, "MS Sans Serif");
  win::HFONT hf = win::CreateFontIndirect(&lf);
  win::SelectObject(dc, hf);
  win::TEXTMETRIC tm;
  win::GetTextMetrics(dc, &tm);
  EXPECT_EQ(h, tm.tmHeight + 2);
  win::SIZE sz{};
  win::GetTextExtentPoint32(dc, std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"),
                            &sz);
  EXPECT_EQ(GetAvgCharWidth(&f), int(std::lround(sz.cx / 52.0)));
  win::DeleteDC(dc);
  win::DeleteObject(hf);

  f.SetStyle(1 | 2);
  win::HFONT rot = CreateRotatedFont(&f, 90);
  win::LOGFONT out;
  ASSERT_EQ(win::GetObject(rot, sizeof out, &out), int(sizeof out));
  EXPECT_EQ(out.lfEscapement, 900);
  EXPECT_EQ(out.lfOrientation, 0);
  EXPECT_EQ(out.lfWeight, 700);
  EXPECT_EQ(out.lfItalic, 1);
  EXPECT_STREQ(out.lfFaceName, "MS Sans Serif");
  win::DeleteObject(rot);
}

}  // namespace
