#include "platform/forms/ViewControl.h"

#include "platform/forms/ViewSupport.h"
#include "platform/forms/graphics/Graphics.h"

void TViewControl::DefineProps(TPropList& p) {
  p.Enum("BorderStyle", &TViewControl::BorderStyle, &TViewControl::SetBorderStyle,
         {"bsNone", "bsSingle"}, bsSingle);
}

TViewControl::TViewControl(TComponent* owner, win::DWORD style, int width, int height)
    : TWinControl(owner), FStyle(style) {
  SetBounds(0, 0, width, height);
  SetTabStop(true);
  SetOwnColor(clWindow);
}

TViewControl::~TViewControl() { delete FCanvas; }

void TViewControl::SetBorderStyle(TBorderStyle v) {
  FBorderStyle = v;
  Invalidate();
}

void TViewControl::SetStyle(win::DWORD bits, bool on) {
  FStyle = on ? FStyle | bits : FStyle & ~bits;
  StyleChanged();
  Invalidate();
}

TCanvas* TViewControl::Canvas() {
  if (!FCanvas) FCanvas = new TCanvas;
  return FCanvas;
}

bool TViewControl::WantsKey(win::WORD key) const {
  return ViewSupport::WantsViewKey(key, IsEditing());
}
