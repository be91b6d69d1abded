#include "controls/VcLabelStandIn.h"

void TVcLabel::DefineProps(TPropList& p) {
  p.Bool("AutoSize", &TVcLabel::AutoSize, &TVcLabel::SetAutoSize, true);
  p.Bool("WordWrap", &TVcLabel::WordWrap, &TVcLabel::SetWordWrap, false);
  p.Set("FrameSides", &TVcLabel::FrameSides, &TVcLabel::SetFrameSides,
        {"sdLeft", "sdTop", "sdRight", "sdBottom"}, 15);
}

WI_REGISTER_CLASS(TVcLabel);
