#include "controls/VcBalloonHintsStandIn.h"

void TVcBalloonBitmaps::DefineProps(TPropList& p) {
  p.Color("TransparentColor", &TVcBalloonBitmaps::TransparentColor,
          &TVcBalloonBitmaps::SetTransparentColor, clOlive);
}

void TVcBalloonHints::DefineProps(TPropList& p) {
  p.Int("CaptionWidth", &TVcBalloonHints::CaptionWidth, &TVcBalloonHints::SetCaptionWidth, 0);
  p.Int("HintPause", &TVcBalloonHints::HintPause, &TVcBalloonHints::SetHintPause, 500);
  p.Bool("ShowBalloon", &TVcBalloonHints::ShowBalloon, &TVcBalloonHints::SetShowBalloon, true);
  p.Enum("BalloonStyle", &TVcBalloonHints::BalloonStyle, &TVcBalloonHints::SetBalloonStyle,
         {"bsStandard", "bsRounded"}, bsStandard);
  p.Color("Color", &TVcBalloonHints::Color, &TVcBalloonHints::SetColor, clInfoBk);
  p.Enum("Alignment", &TVcBalloonHints::Alignment, &TVcBalloonHints::SetAlignment,
         {"taLeftJustify", "taRightJustify", "taCenter"}, taLeftJustify);
  p.Object("Bitmaps", &TVcBalloonHints::Bitmaps);
  p.Object("Font", &TVcBalloonHints::Font);
}

WI_REGISTER_CLASS(TVcBalloonHints);
