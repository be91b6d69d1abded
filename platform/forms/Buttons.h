#pragma once
// Speed buttons: painted buttons with a glyph strip, which can stay down as members of a
// group.
#include "platform/forms/ExtCtrls.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

class TSpeedButton : public TGraphicControl {
  WI_CLASS(TSpeedButton, TGraphicControl)
 public:
  explicit TSpeedButton(TComponent* owner);
  // The glyph strip: NumGlyphs images side by side (up, disabled, clicked, down).
  TImagePicture* Glyph() const { return FGlyph.get(); }
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int v);
  // The image of the strip shown in the current state (0 when the strip lacks it).
  int GlyphIndex() const;
  bool Flat() const { return FFlat; }
  void SetFlat(bool v) {
    FFlat = v;
    Invalidate();
  }
  // Buttons of one parent with the same non-zero GroupIndex: at most one is down.
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int v);
  bool Down() const { return FDown; }
  void SetDown(bool v);
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool v);
  TButtonLayout Layout() const { return FLayout; }
  void SetLayout(TButtonLayout v) {
    FLayout = v;
    Invalidate();
  }
  int Margin() const { return FMargin; }
  void SetMargin(int v) {
    FMargin = v;
    Invalidate();
  }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int v) {
    FSpacing = v;
    Invalidate();
  }
  // A grouped button goes down (or up, when it is down and all may be up), then Click.
  void UserClick() override;

 private:
  void UpdateGroup();
  std::unique_ptr<TImagePicture> FGlyph;
  int FNumGlyphs = 1, FGroupIndex = 0, FMargin = -1, FSpacing = 4;
  bool FFlat = false, FDown = false, FAllowAllUp = false;
  TButtonLayout FLayout = blGlyphLeft;
};
