#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/WindowPainter.h"
#include "shellcontrols/UScFrame.h"
#include "shellcontrols/UScSplitter.h"

namespace {

TRect Calc(TScCustomGroup& g) { return g.FrameClientRect(); }

}  // namespace

TEST(FrameStyles, AdjustFrameRectTakesEachStylesWidths) {
  struct Case {
    TScFrameStyle s;
    TRect expect;
  } cases[] = {
      {scfsNone, {0, 0, 100, 50}},     {scfsGroup, {0, 0, 100, 50}},
      {scfsLowered, {2, 2, 98, 48}},   {scfsRaised, {2, 2, 98, 48}},
      {scfsDint, {1, 1, 99, 49}},      {scfsBump, {1, 1, 99, 49}},
      {scfsSingle, {1, 1, 99, 49}},    {scfsHorzLine, {0, 2, 100, 50}},
      {scfsHorzEdge, {0, 2, 100, 48}}, {scfsVertLine, {2, 0, 100, 50}},
      {scfsVertEdge, {2, 0, 98, 50}},
  };
  for (auto& c : cases) {
    TRect r{0, 0, 100, 50};
    AdjustFrameRect(c.s, r);
    EXPECT_EQ(r.left, c.expect.left) << int(c.s);
    EXPECT_EQ(r.top, c.expect.top) << int(c.s);
    EXPECT_EQ(r.right, c.expect.right) << int(c.s);
    EXPECT_EQ(r.bottom, c.expect.bottom) << int(c.s);
  }
}

TEST(FrameGroup, DefaultsAndGroupInsets) {
  TScGroup g(nullptr);
  EXPECT_EQ(g.Width(), 64);
  EXPECT_EQ(g.Height(), 48);
  EXPECT_EQ(g.FrameStyle(), scfsGroup);
  EXPECT_EQ(g.FrameSpace(), 2);
  EXPECT_EQ(g.Alignment(), taCenter);
  EXPECT_TRUE(g.DefaultDrawing());
  // Without caption: 2 pixels on every side.
  TRect r = Calc(g);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right, 62);
  EXPECT_EQ(r.bottom, 46);
  EXPECT_EQ(g.ClientWidth(), 60);
  EXPECT_EQ(g.ClientHeight(), 44);
  // With a caption the top inset is the caption's text height (more than 2).
  g.SetCaption("Dossier");
  r = Calc(g);
  EXPECT_GT(r.top, 2);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.bottom, 46);
}

TEST(FrameGroup, NcCalcSizeAsksForRedrawWithCaptionOrAfterStyleChange) {
  TScGroup g(nullptr);
  win::NCCALCSIZE_PARAMS p;
  p.rgrc[0] = {0, 0, 64, 48};
  EXPECT_EQ(g.Perform(win::WM_NCCALCSIZE, 1, win::LPARAM(&p)), 0);
  EXPECT_EQ(p.rgrc[1].top, 2);  // valid rectangles asked: the second one follows

  g.HandleNeeded();
  g.SetFrameStyle(scfsLowered);
  EXPECT_FALSE(g.FrameStyleChanged());  // the recreated window recalculated its frame
  TRect r = Calc(g);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 2);

  // The same style again changes nothing.
  g.SetFrameStyle(scfsLowered);
  EXPECT_FALSE(g.FrameStyleChanged());

  p.rgrc[0] = {0, 0, 64, 48};
  EXPECT_EQ(g.Perform(win::WM_NCCALCSIZE, 0, win::LPARAM(&p)), 0);
  g.SetCaption("x");
  p.rgrc[0] = {0, 0, 64, 48};
  EXPECT_EQ(g.Perform(win::WM_NCCALCSIZE, 0, win::LPARAM(&p)), win::WVR_HREDRAW | win::WVR_VREDRAW);
}

TEST(FrameGroup, DisablingDisablesEveryChild) {
  TScGroup g(nullptr);
  auto* a = new TButton(&g);
  auto* b = new TEdit(&g);
  a->SetParent(&g);
  b->SetParent(&g);
  g.SetEnabled(false);
  EXPECT_FALSE(a->Enabled());
  EXPECT_FALSE(b->Enabled());
  g.SetEnabled(true);
  EXPECT_TRUE(a->Enabled());
  EXPECT_TRUE(b->Enabled());
}

TEST(FrameGroup, AlignedChildrenSitInsideTheFrame) {
  TScGroup g(nullptr);
  g.SetBounds(0, 0, 100, 80);
  auto* p = new TPanel(&g);
  p->SetParent(&g);
  p->SetAlign(alClient);
  g.AlignControls();
  EXPECT_EQ(p->Left(), 2);
  EXPECT_EQ(p->Top(), 2);
  EXPECT_EQ(p->Width(), 96);
  EXPECT_EQ(p->Height(), 76);
}

TEST(FramePane, DefaultsAndStoredProperties) {
  TScPane pane(nullptr);
  EXPECT_EQ(pane.FrameStyle(), scfsLowered);
  EXPECT_EQ(pane.MinSize(), 20);
  EXPECT_TRUE(ScPaneRegisteredHere());
  ASSERT_NE(FindClassInfo("TScPane"), nullptr);
  const TPropInfo* fs = FindClassInfo("TScPane")->FindProp("FrameStyle");
  ASSERT_NE(fs, nullptr);
  ASSERT_TRUE(fs->def.has_value());
  EXPECT_EQ(fs->def->s, "scfsLowered");
  const TPropInfo* group = FindClassInfo("TScGroup")->FindProp("FrameStyle");
  EXPECT_EQ(group->def->s, "scfsGroup");
}

class FramePaint : public ::testing::Test {
 protected:
  void SetUp() override { WindowPainter::InstallControlCanvas(); }
};

TEST_F(FramePaint, FrameWithGroupStyleSkipsOnPaint) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  form.SetVisible(true);
  auto* f = new TScFrame(&form);
  f->SetParent(&form);
  f->SetBounds(8, 8, 120, 30);
  int calls = 0;
  f->OnPaint = [&](TObject*, TCanvas*) { ++calls; };
  win::Surface s;
  WindowPainter::PaintWindow(&form, s);
  EXPECT_EQ(calls, 1);
  f->SetFrameStyle(scfsGroup);
  WindowPainter::PaintWindow(&form, s);
  EXPECT_EQ(calls, 1);
}

TEST_F(FramePaint, StatusLineCaptionFlushLeftAndClNoneLeavesBackground) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 100);
  form.SetColor(clWhite);
  form.SetVisible(true);
  auto* f = new TScFrame(&form);
  f->SetParent(&form);
  f->SetBounds(10, 10, 200, 20);
  f->SetFrameStyle(scfsNone);
  f->SetFrameSpace(0);
  f->SetAlignment(taLeftJustify);
  f->SetColor(clNone);
  f->SetCaption("Poste de travail");
  win::Surface s;
  WindowPainter::PaintWindow(&form, s);
  win::POINT o = WindowPainter::ClientOrigin(&form);
  // The background stays the form's white; the first dark pixels are at the left edge.
  int firstInk = -1;
  for (int x = 10; x < 210 && firstInk < 0; ++x)
    for (int y = 10; y < 30; ++y)
      if ((s.At(o.x + x, o.y + y) & 0xFFFFFF) != 0xFFFFFF) {
        firstInk = x;
        break;
      }
  EXPECT_GE(firstInk, 10);
  EXPECT_LE(firstInk, 13);
  EXPECT_EQ(s.At(o.x + 205, o.y + 12) & 0xFFFFFF, 0xFFFFFFu);
}
