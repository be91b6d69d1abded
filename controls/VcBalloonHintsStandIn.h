#pragma once
// Stands in for the balloon hint component until the visual controls arrive: keeps its
// settings and hands its hint pause to the application, registered under the real class
// name, so that stored descriptions naming TVcBalloonHints load now and unchanged later.
#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"

enum TBalloonStyle { bsStandard, bsRounded };
enum THintAlignment { taLeftJustify, taRightJustify, taCenter };

class TVcBalloonBitmaps : public TPersistent {
  WI_CLASS(TVcBalloonBitmaps, TPersistent)
 public:
  int TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(int v) { FTransparentColor = v; }

 private:
  int FTransparentColor = clOlive;
};

class TVcBalloonHints : public TComponent {
  WI_CLASS(TVcBalloonHints, TComponent)
 public:
  explicit TVcBalloonHints(TComponent* owner)
      : TComponent(owner), FBitmaps(new TVcBalloonBitmaps), FFont(new TFont) {}
  ~TVcBalloonHints() override {
    delete FBitmaps;
    delete FFont;
  }
  int CaptionWidth() const { return FCaptionWidth; }
  void SetCaptionWidth(int v) { FCaptionWidth = v; }
  int HintPause() const { return FHintPause; }
  void SetHintPause(int v) {
    FHintPause = v;
    if (Application) Application->SetHintPause(v);
  }
  bool ShowBalloon() const { return FShowBalloon; }
  void SetShowBalloon(bool v) { FShowBalloon = v; }
  TBalloonStyle BalloonStyle() const { return FBalloonStyle; }
  void SetBalloonStyle(TBalloonStyle v) { FBalloonStyle = v; }
  int Color() const { return FColor; }
  void SetColor(int v) { FColor = v; }
  THintAlignment Alignment() const { return FAlignment; }
  void SetAlignment(THintAlignment v) { FAlignment = v; }
  TVcBalloonBitmaps* Bitmaps() const { return FBitmaps; }
  TFont* Font() const { return FFont; }

 private:
  int FCaptionWidth = 0, FHintPause = 500;
  bool FShowBalloon = true;
  TBalloonStyle FBalloonStyle = bsStandard;
  int FColor = clInfoBk;
  THintAlignment FAlignment = taLeftJustify;
  TVcBalloonBitmaps* FBitmaps;
  TFont* FFont;
};
