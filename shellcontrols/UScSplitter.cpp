#include "shellcontrols/UScSplitter.h"

void TScPane::DefineProps(TPropList& p) {
  PublishFrameStyle(p, "FrameStyle", &TScCustomGroup::FrameStyle, &TScCustomGroup::SetFrameStyle,
                    scfsLowered);
  p.Int("MinSize", &TScPane::MinSize, &TScPane::SetMinSize, 20);
  // No default: always stored.
  p.Int("Index", &TScPane::Index, &TScPane::SetIndex, 0).stored = [](TPersistent*) { return true; };
}

TScPane::TScPane(TComponent* owner) : TScGroup(owner) {
  FMinSize = 20;
  SetFrameStyle(scfsLowered);
}

namespace {
const bool g_paneRegistered = [] {
  if (FindClassInfo("TScPane")) return false;
  RegisterClass<TScPane>();
  return true;
}();
}  // namespace

bool ScPaneRegisteredHere() { return g_paneRegistered; }
