// Button rows at the bottom right of a panel.
#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/StdCtrls.h"
#include "toolkit/PanelLayout.h"

namespace {

struct Row {
  std::unique_ptr<TPanel> panel = std::make_unique<TPanel>(nullptr);
  TButton* Add(int left, int width, int height, bool visible = true) {
    auto* b = new TButton(panel.get());
    b->SetParent(panel.get());
    b->SetBounds(left, 3, width, height);
    b->SetVisible(visible);
    return b;
  }
};

TEST(ArrangePanelButtons, TakesTheRightmostHeightAndItsMargin) {
  Row r;
  r.panel->SetBevelOuter(bvNone);
  r.panel->SetBounds(0, 0, 400, 60);
  TButton* b = r.Add(100, 80, 23);
  TButton* a = r.Add(10, 75, 25);
  TButton* hidden = r.Add(200, 50, 30, false);
  ArrangePanelButtons(r.panel.get());

  EXPECT_EQ(r.panel->ClientHeight(), 41);
  EXPECT_EQ(b->Left(), 311);
  EXPECT_EQ(b->Top(), 9);
  EXPECT_EQ(b->Width(), 80);
  EXPECT_EQ(b->Height(), 23);
  EXPECT_EQ(a->Left(), 227);
  EXPECT_EQ(a->Top(), 9);
  EXPECT_EQ(a->Width(), 75);
  EXPECT_EQ(a->Height(), 23);
  EXPECT_EQ(a->Anchors(), (1u << akRight) | (1u << akBottom));
  // A hidden button is neither moved nor counted.
  EXPECT_EQ(hidden->Left(), 200);
  EXPECT_EQ(hidden->Height(), 30);
}

TEST(ArrangePanelButtons, PanelWithoutButtonsIsLeftAlone) {
  Row r;
  r.panel->SetBounds(0, 0, 300, 77);
  r.Add(5, 75, 25, false);
  ArrangePanelButtons(r.panel.get());
  EXPECT_EQ(r.panel->Height(), 77);
  ArrangePanelButtons(nullptr);
}

}  // namespace
