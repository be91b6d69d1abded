#include "platform/forms/PopupMenus.h"

#include <utility>

namespace {
TPopupMenu::TObserver& Observer() {
  static TPopupMenu::TObserver* o = new TPopupMenu::TObserver;
  return *o;
}
}  // namespace

void TPopupMenu::DefineProps(TPropList& p) {
  p.Bool("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup, true);
  p.Event("OnPopup", &TPopupMenu::OnPopup);
}

WI_REGISTER_CLASS(TPopupMenu);

void TPopupMenu::Popup(int x, int y) {
  FPopupPoint = {x, y};
  OnPopup(this);
  if (Observer()) Observer()(this, x, y);
}

TPopupMenu::TObserver TPopupMenu::SetObserver(TObserver observer) {
  return std::exchange(Observer(), std::move(observer));
}
