// Pixel tests of the software device context.
#include <gtest/gtest.h>

#include "platform/forms/graphics/Gdi.h"

using namespace win;

namespace {
constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = 0, kRed = RGB(255, 0, 0),
                   kBlue = RGB(0, 0, 255);

// A memory DC with a white colour bitmap selected.
struct Canvas {
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
  Canvas(int w, int h, bool mono = false) {
    dc = CreateCompatibleDC(nullptr);
    bmp = CreateBitmap(w, h, 1, mono ? 1 : 32, nullptr);
    old = SelectObject(dc, bmp);
    RECT r{0, 0, w, h};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetBitmapSurface(bmp)->At(x, y); }
  int Count(COLORREF c) const {
    int n = 0;
    for (auto p : GetBitmapSurface(bmp)->pixels) n += ColorFromPixel(p) == c;
    return n;
  }
};
}  // namespace

TEST(Gdi, LinesExcludeTheirEndPointAndFollowThePen) {
  Canvas c(20, 20);
  MoveToEx(c.dc, 2, 5, nullptr);
  LineTo(c.dc, 10, 5);
  EXPECT_EQ(c.At(2, 5), kBlack);
  EXPECT_EQ(c.At(9, 5), kBlack);
  EXPECT_EQ(c.At(10, 5), kWhite);
  EXPECT_EQ(c.Count(kBlack), 8);
  POINT p;
  GetCurrentPositionEx(c.dc, &p);
  EXPECT_EQ(p, (POINT{10, 5}));
  // Vertical and diagonal lines in a red pen.
  HPEN red = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(c.dc, red);
  MoveToEx(c.dc, 0, 0, nullptr);
  LineTo(c.dc, 0, 4);
  LineTo(c.dc, 4, 8);
  EXPECT_EQ(c.Count(kRed), 8);
  EXPECT_EQ(c.At(3, 7), kRed);
  EXPECT_EQ(c.At(4, 8), kWhite);
  // A null pen draws nothing; a dotted pen leaves gaps.
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  MoveToEx(c.dc, 0, 15, nullptr);
  LineTo(c.dc, 19, 15);
  EXPECT_EQ(c.At(5, 15), kWhite);
  HPEN dot = CreatePen(PS_DOT, 1, kBlue);
  SelectObject(c.dc, dot);
  SetBkMode(c.dc, TRANSPARENT);
  MoveToEx(c.dc, 0, 17, nullptr);
  LineTo(c.dc, 12, 17);
  EXPECT_EQ(c.At(0, 17), kBlue);
  EXPECT_EQ(c.At(3, 17), kWhite);
  EXPECT_EQ(c.At(6, 17), kBlue);
  SelectObject(c.dc, old);
  DeleteObject(red);
  DeleteObject(dot);
}

TEST(Gdi, RectangleFramesWithPenAndFillsWithBrush) {
  Canvas c(12, 12);
  HBRUSH blue = CreateSolidBrush(kBlue);
  HGDIOBJ old = SelectObject(c.dc, blue);
  Rectangle(c.dc, 1, 1, 6, 6);
  EXPECT_EQ(c.At(1, 1), kBlack);
  EXPECT_EQ(c.At(5, 5), kBlack);
  EXPECT_EQ(c.At(6, 6), kWhite);
  EXPECT_EQ(c.At(3, 3), kBlue);
  EXPECT_EQ(c.Count(kBlack), 16);
  EXPECT_EQ(c.Count(kBlue), 9);
  // FillRect and FrameRect take the brush given; system colour + 1 works as a brush.
  RECT r{7, 7, 11, 11};
  FillRect(c.dc, &r, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  EXPECT_EQ(c.At(10, 10), RGB(192, 192, 192));
  FrameRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(c.At(7, 10), kBlack);
  EXPECT_EQ(c.At(8, 8), RGB(192, 192, 192));
  SelectObject(c.dc, old);
  DeleteObject(blue);
}

TEST(Gdi, EllipseAndPolygonStayInsideTheirBounds) {
  Canvas c(30, 30);
  SelectObject(c.dc, GetStockObject(BLACK_BRUSH));
  Ellipse(c.dc, 5, 5, 25, 15);
  EXPECT_EQ(c.At(15, 10), kBlack);
  EXPECT_EQ(c.At(5, 5), kWhite);
  EXPECT_EQ(c.At(24, 14), kWhite);
  for (int x = 0; x < 30; ++x) EXPECT_EQ(c.At(x, 15), kWhite);
  RECT r{0, 16, 30, 30};
  FillRect(c.dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  POINT tri[] = {{0, 20}, {10, 20}, {0, 29}};
  Polygon(c.dc, tri, 3);
  EXPECT_EQ(c.At(2, 22), kBlack);
  EXPECT_EQ(c.At(9, 28), kWhite);
}

TEST(Gdi, Rop3CodesFollowTheirBooleanFunction) {
  for (int rop = 0; rop < 256; ++rop)
    for (int bits = 0; bits < 8; ++bits) {
      std::uint32_t p = (bits & 4) ? 0xFFFFFF : 0, s = (bits & 2) ? 0xFFFFFF : 0,
                    d = (bits & 1) ? 0xFFFFFF : 0;
      std::uint32_t want = ((rop >> bits) & 1) ? 0xFFFFFF : 0;
      ASSERT_EQ(Rop3Apply(std::uint8_t(rop), p, s, d) & 0xFFFFFF, want) << rop << " " << bits;
    }
  Canvas dst(4, 1), src(4, 1);
  SetPixel(src.dc, 0, 0, RGB(0x0F, 0xF0, 0x33));
  SetPixel(dst.dc, 0, 0, RGB(0xFF, 0x0F, 0x11));
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCAND);
  EXPECT_EQ(dst.At(0, 0), RGB(0x0F, 0x00, 0x11));
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCPAINT);
  EXPECT_EQ(dst.At(0, 0), RGB(0x0F, 0xF0, 0x33));
  BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, SRCINVERT);
  EXPECT_EQ(dst.At(0, 0), kBlack);
  BitBlt(dst.dc, 1, 0, 1, 1, nullptr, 0, 0, DSTINVERT);
  EXPECT_EQ(dst.At(1, 0), kBlack);
  PatBlt(dst.dc, 2, 0, 1, 1, BLACKNESS);
  PatBlt(dst.dc, 3, 0, 1, 1, WHITENESS);
  EXPECT_EQ(dst.At(2, 0), kBlack);
  EXPECT_EQ(dst.At(3, 0), kWhite);
  // A source-using ROP without a source DC fails cleanly.
  EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST(Gdi, StretchBltMirrorsOnNegativeExtents) {
  Canvas src(3, 1), dst(6, 2);
  SetPixel(src.dc, 0, 0, kRed);
  SetPixel(src.dc, 2, 0, kBlue);
  StretchBlt(dst.dc, 0, 0, 6, 1, src.dc, 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(dst.At(0, 0), kRed);
  EXPECT_EQ(dst.At(1, 0), kRed);
  EXPECT_EQ(dst.At(5, 0), kBlue);
  StretchBlt(dst.dc, 2, 1, -3, 1, src.dc, 0, 0, 3, 1, SRCCOPY);  // lands on x = 0..2, mirrored
  EXPECT_EQ(dst.At(0, 1), kBlue);
  EXPECT_EQ(dst.At(2, 1), kRed);
}

TEST(Gdi, MonochromeConversionsUseBackgroundAndTextColours) {
  Canvas colour(3, 1), mono(3, 1, true);
  SetPixel(colour.dc, 0, 0, kRed);
  SetPixel(colour.dc, 1, 0, kBlue);
  SetBkColor(colour.dc, kRed);
  BitBlt(mono.dc, 0, 0, 3, 1, colour.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(mono.At(0, 0), kWhite);  // the background colour becomes 1
  EXPECT_EQ(mono.At(1, 0), kBlack);
  EXPECT_EQ(mono.At(2, 0), kBlack);
  Canvas out(3, 1);
  SetTextColor(out.dc, kBlue);
  SetBkColor(out.dc, kRed);
  BitBlt(out.dc, 0, 0, 3, 1, mono.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0), kRed);   // 1 -> background
  EXPECT_EQ(out.At(1, 0), kBlue);  // 0 -> text
  // Transparent copy by mask: SRCAND the mask, then SRCPAINT the blackened image.
  Canvas img(2, 1), target(2, 1), m(2, 1, true);
  SetPixel(img.dc, 0, 0, kRed);  // pixel 1 stays white = the transparent colour
  SetBkColor(img.dc, kWhite);
  BitBlt(m.dc, 0, 0, 2, 1, img.dc, 0, 0, SRCCOPY);
  SetPixel(img.dc, 1, 0, kBlack);
  SetPixel(target.dc, 0, 0, kBlue), SetPixel(target.dc, 1, 0, kBlue);
  BitBlt(target.dc, 0, 0, 2, 1, m.dc, 0, 0, SRCAND);
  BitBlt(target.dc, 0, 0, 2, 1, img.dc, 0, 0, SRCPAINT);
  EXPECT_EQ(target.At(0, 0), kRed);
  EXPECT_EQ(target.At(1, 0), kBlue);
}

TEST(Gdi, FocusRectDrawnTwiceRestoresThePixels) {
  Canvas c(10, 8);
  RECT fill{0, 0, 10, 8};
  FillRect(c.dc, &fill, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  auto before = GetBitmapSurface(c.bmp)->pixels;
  RECT r{1, 1, 9, 7};
  DrawFocusRect(c.dc, &r);
  EXPECT_NE(GetBitmapSurface(c.bmp)->pixels, before);
  EXPECT_NE(c.At(1, 1), c.At(2, 1));  // alternate pixels
  EXPECT_EQ(c.At(4, 4), RGB(192, 192, 192));
  DrawFocusRect(c.dc, &r);
  EXPECT_EQ(GetBitmapSurface(c.bmp)->pixels, before);
}

TEST(Gdi, ClippingCombinesRectanglesAndRegions) {
  Canvas c(20, 10);
  IntersectClipRect(c.dc, 2, 2, 18, 8);
  ExcludeClipRect(c.dc, 5, 0, 10, 10);
  RECT all{0, 0, 20, 10};
  FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(c.At(1, 1), kWhite);
  EXPECT_EQ(c.At(3, 3), kBlack);
  EXPECT_EQ(c.At(7, 3), kWhite);
  EXPECT_EQ(c.At(12, 7), kBlack);
  EXPECT_EQ(c.At(12, 8), kWhite);
  RECT box;
  EXPECT_EQ(GetClipBox(c.dc, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{2, 2, 18, 8}));
  // SaveDC/RestoreDC bring the clip back; a null region removes it.
  int saved = SaveDC(c.dc);
  HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 6, 6), x = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(x, a, b, RGN_XOR), COMPLEXREGION);
  EXPECT_FALSE(PtInRegion(x, 3, 3));
  EXPECT_TRUE(PtInRegion(x, 1, 1));
  EXPECT_TRUE(PtInRegion(x, 5, 5));
  SelectClipRgn(c.dc, x);
  EXPECT_TRUE(PtVisible(c.dc, 5, 5));
  EXPECT_FALSE(PtVisible(c.dc, 3, 3));
  RestoreDC(c.dc, saved);
  EXPECT_FALSE(PtVisible(c.dc, 5, 5));  // back inside the excluded band
  SelectClipRgn(c.dc, nullptr);
  EXPECT_TRUE(PtVisible(c.dc, 7, 3));
  EXPECT_EQ(CombineRgn(x, a, b, RGN_AND), SIMPLEREGION);
  EXPECT_EQ(GetRegionRects(x), (std::vector<RECT>{{2, 2, 4, 4}}));
  EXPECT_EQ(CombineRgn(x, a, nullptr, RGN_OR), RGN_ERROR);
  DeleteObject(a), DeleteObject(b), DeleteObject(x);
}

TEST(Gdi, ViewportOriginAndSurfaceDCsShiftDrawing) {
  Surface s(20, 20, 0xFFFFFF);
  HDC dc = CreateSurfaceDC(&s, POINT{5, 5}, RECT{5, 5, 15, 15});  // a child window at (5,5)
  SetPixel(dc, 0, 0, kRed);
  EXPECT_EQ(s.At(5, 5), kRed);
  EXPECT_EQ(SetPixel(dc, 12, 0, kRed), CLR_INVALID);  // outside the window
  EXPECT_EQ(s.At(17, 5), kWhite);
  OffsetViewportOrgEx(dc, 2, 3, nullptr);
  SetPixel(dc, 0, 0, kBlue);
  EXPECT_EQ(s.At(7, 8), kBlue);
  IntersectClipRect(dc, 0, 0, 2, 2);  // logical: device (2,3)-(4,5) -> surface (7,8)-(9,10)
  RECT big{-10, -10, 30, 30};
  FillRect(dc, &big, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(s.At(8, 9), kBlack);
  EXPECT_EQ(s.At(9, 10), kWhite);
  DeleteDC(dc);
}

TEST(Gdi, EdgesAndFrameControlsUseTheSystemColours) {
  Canvas c(20, 20);
  RECT r{0, 0, 10, 10};
  DrawEdge(c.dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r, (RECT{2, 2, 8, 8}));
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_3DLIGHT));
  EXPECT_EQ(c.At(9, 9), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(c.At(1, 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(c.At(8, 8), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(c.At(5, 5), kWhite);
  RECT box{0, 0, 13, 13};
  DrawFrameControl(c.dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  EXPECT_EQ(c.At(0, 0), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_GT(c.Count(kBlack), 5);  // the check mark
}

TEST(Gdi, ObjectsOutliveDeletionWhileSelectedAndBadHandlesFail) {
  Canvas c(4, 4);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HGDIOBJ old = SelectObject(c.dc, pen);
  EXPECT_TRUE(DeleteObject(pen));  // still drawable until deselected
  MoveToEx(c.dc, 0, 0, nullptr);
  LineTo(c.dc, 3, 0);
  EXPECT_EQ(c.At(1, 0), kRed);
  SelectObject(c.dc, old);
  EXPECT_EQ(GetObjectType(pen), 0u);
  EXPECT_EQ(SelectObject(c.dc, pen), nullptr);
  EXPECT_FALSE(LineTo(nullptr, 1, 1));
  EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(0x1234), 0, 0), CLR_INVALID);
  // A bitmap is selected into one DC at a time.
  HDC other = CreateCompatibleDC(nullptr);
  EXPECT_EQ(SelectObject(other, c.bmp), nullptr);
  BITMAP bm;
  EXPECT_EQ(GetObject(c.bmp, sizeof bm, &bm), int(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  DeleteDC(other);
  // Compatible bitmaps of a fresh memory DC are monochrome, as on Windows.
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP mb = CreateCompatibleBitmap(mem, 2, 2);
  EXPECT_TRUE(GetBitmapSurface(mb)->monochrome);
  DeleteObject(mb);
  DeleteDC(mem);
}

TEST(Gdi, PatternBrushesRepeatAndMonoPatternsTakeTheDCColours) {
  std::uint8_t bits[] = {0x80, 0, 0x40, 0};  // 2x2: 1 0 / 0 1, rows padded to 16 bits
  HBITMAP pat = CreateBitmap(2, 2, 1, 1, bits);
  HBRUSH br = CreatePatternBrush(pat);
  DeleteObject(pat);
  Canvas c(4, 2);
  SetTextColor(c.dc, kRed);
  SetBkColor(c.dc, kBlue);
  RECT r{0, 0, 4, 2};
  FillRect(c.dc, &r, br);
  EXPECT_EQ(c.At(0, 0), kBlue);
  EXPECT_EQ(c.At(1, 0), kRed);
  EXPECT_EQ(c.At(2, 0), kBlue);
  EXPECT_EQ(c.At(1, 1), kBlue);
  DeleteObject(br);
}
