#include "platform/forms/ViewControl.h"

#include "platform/forms/ImgList.h"
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

void TViewControl::SetImageSlot(TCustomImageList*& slot, TCustomImageList* v) {
  ViewSupport::AttachImages(this, slot, v, [this] { ImagesChanged(); });
  ImagesChanged();
}

void TViewControl::Notification(TComponent* c, TOperation op) {
  TWinControl::Notification(c, op);
  if (op != opRemove) return;
  // The list is past its own destructor: every slot lets go of it before the window hears
  // of the change, and none asks it to unregister.
  bool held = false;
  for (TCustomImageList** slot : ImageSlots())
    if (c == *slot) *slot = nullptr, held = true;
  if (held) ImagesChanged();
}

void TViewControl::ReleaseImages() {
  for (TCustomImageList** slot : ImageSlots())
    if (*slot) (*slot)->UnRegisterChanges(this);
}

bool TViewControl::WantsKey(win::WORD key) const {
  return ViewSupport::WantsViewKey(key, IsEditing());
}
