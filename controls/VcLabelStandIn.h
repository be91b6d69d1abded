#pragma once
// Stand-in for the framed label TVcLabel: a caption with word wrap and frame sides.
// Registered (RegisterWizardControls) under the real class name, so the form
// descriptions stay as they are when the real control replaces it.
#include "platform/forms/Controls.h"

class TVcLabel : public TGraphicControl {
  WI_CLASS(TVcLabel, TGraphicControl)
 public:
  explicit TVcLabel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 65, 17); }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v) { FAutoSize = v; }
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool v) { FWordWrap = v; }
  // Bit set: 1 left, 2 top, 4 right, 8 bottom.
  unsigned FrameSides() const { return FFrameSides; }
  void SetFrameSides(unsigned v) { FFrameSides = v; }

 private:
  bool FAutoSize = true, FWordWrap = false;
  unsigned FFrameSides = 15;
};

inline void TVcLabel::DefineProps(TPropList& p) {
  p.Bool("AutoSize", &TVcLabel::AutoSize, &TVcLabel::SetAutoSize, true);
  p.Bool("WordWrap", &TVcLabel::WordWrap, &TVcLabel::SetWordWrap, false);
  p.Set("FrameSides", &TVcLabel::FrameSides, &TVcLabel::SetFrameSides,
        {"sdLeft", "sdTop", "sdRight", "sdBottom"}, 15);
}
