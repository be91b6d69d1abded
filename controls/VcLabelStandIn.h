#pragma once
// Stands in for the framed label until the visual controls arrive: a caption with word
// wrap and frame sides, registered under the real class name, so that stored
// descriptions naming TVcLabel load now and unchanged later.
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
