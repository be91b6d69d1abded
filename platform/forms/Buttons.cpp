#include "platform/forms/Buttons.h"

void TSpeedButton::DefineProps(TPropList& p) {
  p.Bool("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp, false);
  p.Int("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex, 0);
  p.Bool("Down", &TSpeedButton::Down, &TSpeedButton::SetDown, false);
  p.Bool("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false);
  p.Object("Glyph", &TSpeedButton::Glyph);
  p.Enum("Layout", &TSpeedButton::Layout, &TSpeedButton::SetLayout,
         {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"}, blGlyphLeft);
  p.Int("Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin, -1);
  p.Int("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs, 1);
  p.Int("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing, 4);
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), FGlyph(new TImagePicture) {
  SetBounds(0, 0, 23, 22);
  FGlyph->OnChange = [this](TObject*) {
    // A strip of square images says how many it holds.
    if (FGlyph->Height() > 0 && FGlyph->Width() % FGlyph->Height() == 0) {
      int n = FGlyph->Width() / FGlyph->Height();
      if (n >= 1 && n <= 4) FNumGlyphs = n;
    }
    Invalidate();
  };
}

void TSpeedButton::SetNumGlyphs(int v) {
  if (v < 1) v = 1;
  if (v > 4) v = 4;
  FNumGlyphs = v;
  Invalidate();
}

int TSpeedButton::GlyphIndex() const {
  int want = !Enabled() ? 1 : FDown ? 3 : 0;
  if (want == 3 && FNumGlyphs < 4) want = FNumGlyphs >= 3 ? 2 : 0;
  return want < FNumGlyphs ? want : 0;
}

void TSpeedButton::SetGroupIndex(int v) {
  FGroupIndex = v;
  UpdateGroup();
}

void TSpeedButton::SetAllowAllUp(bool v) {
  FAllowAllUp = v;
  if (!Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
        b && b != this && b->FGroupIndex == FGroupIndex && FGroupIndex)
      b->FAllowAllUp = v;
}

void TSpeedButton::SetDown(bool v) {
  if (FGroupIndex == 0) v = false;  // only grouped buttons stay down
  if (v == FDown) return;
  if (FDown && !FAllowAllUp && !IsLoading()) return;  // one of the group stays down
  FDown = v;
  if (v) UpdateGroup();
  Invalidate();
}

void TSpeedButton::UpdateGroup() {
  if (!FDown || !FGroupIndex || !Parent()) return;
  for (int i = 0; i < Parent()->ControlCount(); ++i)
    if (auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i));
        b && b != this && b->FGroupIndex == FGroupIndex && b->FDown) {
      b->FDown = false;
      b->Invalidate();
    }
}

void TSpeedButton::UserClick() {
  if (FGroupIndex) {
    if (!FDown)
      SetDown(true);
    else if (FAllowAllUp)
      SetDown(false);
  }
  Click();
}

WI_REGISTER_CLASS(TSpeedButton);
