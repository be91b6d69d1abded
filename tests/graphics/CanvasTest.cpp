// Toolkit drawing objects: colours, canvas, bitmaps and their files.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/forms/graphics/BitmapResources.h"
#include "platform/forms/graphics/Graphics.h"
#include "platform/forms/graphics/ImageFiles.h"
#include "platform/system/Exceptions.h"

using namespace win;

TEST(Colors, NamesNumbersAndSystemColours) {
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clHighlight), RGB(0, 0, 128));
  EXPECT_EQ(ColorToRGB(clInfoBk), RGB(255, 255, 225));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(ColorToString(clBtnFace), "clBtnFace");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_EQ(StringToColor("clbtnface"), clBtnFace);
  EXPECT_EQ(StringToColor("$00FF0000"), clBlue);
  EXPECT_EQ(StringToColor("14286847"), 14286847);
  EXPECT_EQ(StringToColor("-2147483633"), clBtnFace);
  EXPECT_THROW(StringToColor("clNoSuch"), Exception);
  EXPECT_THROW(StringToColor("12x"), Exception);
}

TEST(Canvas, DrawsWithItsPenBrushAndFont) {
  TBitmap bmp(40, 20);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(clRed);
  c.FillRect(Rect(0, 0, 10, 10));
  EXPECT_EQ(c.Pixels(5, 5), clRed);
  c.Pen().SetColor(clBlue);
  c.MoveTo(0, 15);
  c.LineTo(40, 15);
  EXPECT_EQ(c.Pixels(39, 15), clBlue);
  EXPECT_EQ(c.PenPos(), Point(40, 15));
  c.Font().SetName("Box Test");
  c.Font().SetHeight(10);
  EXPECT_EQ(c.TextWidth("abcd"), 20);
  EXPECT_EQ(c.TextHeight("x"), 10);
  c.Brush().SetStyle(bsClear);
  c.Font().SetColor(clLime);
  c.TextOut(12, 0, "a");
  EXPECT_EQ(c.Pixels(12, 0), clLime);
  EXPECT_EQ(c.Pixels(12, 9), clWhite);  // clear brush: no background
  c.TextRect(Rect(20, 0, 23, 10), 20, 0, "aaa");
  EXPECT_EQ(c.Pixels(22, 0), clLime);
  EXPECT_EQ(c.Pixels(23, 0), clWhite);
  // Font size and height follow each other at 96 dpi.
  TCanvasFont f;
  f.SetSize(8);
  EXPECT_EQ(f.Height(), -11);
  int changes = 0;
  f.OnChange = [&](TGraphicsObject*) { ++changes; };
  f.SetStyle({fsBold});
  f.SetStyle({fsBold});
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.LogFont().lfWeight, FW_BOLD);
}

TEST(Canvas, BrushCopyReplacesOneColourAndTransparentDrawSkipsIt) {
  TBitmap glyph(3, 1);
  glyph.Canvas().SetPixels(0, 0, clOlive);
  glyph.Canvas().SetPixels(1, 0, clBlack);
  glyph.Canvas().SetPixels(2, 0, clOlive);
  TBitmap target(6, 1);
  TCanvas& c = target.Canvas();
  c.Brush().SetColor(clBlue);
  c.BrushCopy(Rect(0, 0, 3, 1), &glyph, Rect(0, 0, 3, 1), clOlive);
  EXPECT_EQ(c.Pixels(0, 0), clBlue);
  EXPECT_EQ(c.Pixels(1, 0), clBlack);
  EXPECT_EQ(c.Pixels(2, 0), clBlue);
  glyph.SetTransparent(true);
  glyph.SetTransparentColor(clOlive);
  c.Draw(3, 0, &glyph);
  EXPECT_EQ(c.Pixels(3, 0), clWhite);
  EXPECT_EQ(c.Pixels(4, 0), clBlack);
  // Mirrored stretch through CopyRect.
  TBitmap wide(6, 1);
  wide.Canvas().CopyRect(Rect(5, 0, -1, 1), &c, Rect(0, 0, 6, 1));  // mirrored onto 0..5
  EXPECT_EQ(wide.Canvas().Pixels(5, 0), clBlue);
  EXPECT_EQ(wide.Canvas().Pixels(4, 0), clBlack);
}

TEST(Bitmap, BmpRoundTripsKeepPixelsAndMonochrome) {
  TBitmap b(5, 3);
  b.Canvas().SetPixels(4, 2, RGB(1, 2, 3));
  std::stringstream ss;
  b.SaveToStream(ss);
  TBitmap c;
  c.LoadFromStream(ss);
  EXPECT_EQ(c.Width(), 5);
  EXPECT_EQ(c.Height(), 3);
  EXPECT_EQ(c.Canvas().Pixels(4, 2), TColor(RGB(1, 2, 3)));
  b.SetMonochrome(true);
  EXPECT_EQ(b.PixelFormat(), pf1bit);
  TBitmap m;
  m.LoadFromBytes(b.SaveToBytes());
  EXPECT_TRUE(m.Monochrome());
  EXPECT_EQ(m.Canvas().Pixels(4, 2), clBlack);
  EXPECT_EQ(m.Canvas().Pixels(0, 0), clWhite);
  EXPECT_THROW(m.LoadFromBytes({'B', 'M', 0, 0}), Exception);
  // Resizing keeps what fits.
  c.SetSize(8, 8);
  EXPECT_EQ(c.Canvas().Pixels(4, 2), TColor(RGB(1, 2, 3)));
  EXPECT_EQ(c.Canvas().Pixels(7, 7), clWhite);
}

TEST(Bitmap, ResourcesComeFromTextPixelMaps) {
  RegisterBitmapResource("TEST_STRIP", ". 808000\n# 000000\n\n.#.\n###\n");
  TBitmap b;
  b.LoadFromResourceName(0, "test_strip");
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(b.Canvas().Pixels(0, 0), clOlive);
  EXPECT_EQ(b.Canvas().Pixels(1, 0), clBlack);
  EXPECT_EQ(b.TransparentColor(), clBlack);  // lower-left pixel
  EXPECT_THROW(b.LoadFromResourceName(0, "NO_SUCH"), Exception);
  EXPECT_THROW(RegisterBitmapResource("BAD", ". 000000\n\n.x\n"), Exception);

  // A resource made when first asked for, once; registered again it is made anew.
  int made = 0;
  RegisterBitmapResourceSource("Test_Lazy", [&] {
    ++made;
    return std::string(". 808000\n# 000000\n\n#.\n");
  });
  EXPECT_EQ(made, 0);
  TBitmap lazy;
  lazy.LoadFromResourceName(0, "TEST_LAZY");
  lazy.LoadFromResourceName(0, "test_lazy");
  EXPECT_EQ(made, 1);
  EXPECT_EQ(lazy.Width(), 2);
  EXPECT_EQ(lazy.Canvas().Pixels(0, 0), clBlack);
  RegisterBitmapResourceSource("TEST_LAZY", [&] {
    ++made;
    return std::string(". 808000\n\n...\n");
  });
  lazy.LoadFromResourceName(0, "TEST_LAZY");
  EXPECT_EQ(made, 2);
  EXPECT_EQ(lazy.Width(), 3);
  // A plain map registered over a source replaces it.
  RegisterBitmapResourceSource("TEST_LAZY", [&] {
    ++made;
    return std::string("bad");
  });
  RegisterBitmapResource("TEST_LAZY", ". 808000\n\n.\n");
  lazy.LoadFromResourceName(0, "TEST_LAZY");
  EXPECT_EQ(made, 2);
  EXPECT_EQ(lazy.Width(), 1);
}

TEST(Png, SurfacesRoundTripThroughFiles) {
  Surface s(4, 2, 0xFFFFFF);
  s.Row(1)[3] = PixelFromColor(RGB(10, 20, 30));
  auto dir = std::filesystem::temp_directory_path() / ("wi_png_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  SavePng(s, dir / "a.png");
  Surface t = LoadPng(dir / "a.png");
  EXPECT_EQ(t.width, 4);
  EXPECT_EQ(t.At(3, 1), RGB(10, 20, 30));
  EXPECT_THROW(LoadPng(dir / "missing.png"), Exception);
  std::filesystem::remove_all(dir);
}
