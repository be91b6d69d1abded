#pragma once
// The class library's popup menu component, as far as controls use it: a control names
// one as its context menu; Popup shows it at a screen point. Nothing is drawn: the menu
// fires OnPopup and tells the popup observer (the UI driver, a test) where it opened.
#include <functional>

#include "platform/forms/Classes.h"
#include "platform/forms/Messages.h"

class TPopupMenu : public TComponent {
  WI_CLASS(TPopupMenu, TComponent)
 public:
  explicit TPopupMenu(TComponent* owner) : TComponent(owner) {}
  // Opened by the control's right-button release by itself (the control's own popup).
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool v) { FAutoPopup = v; }
  // The component the menu was last opened for.
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* c) { FPopupComponent = c; }
  win::POINT PopupPoint() const { return FPopupPoint; }
  virtual void Popup(int x, int y);

  TNotifyEvent OnPopup;
  // Told of every menu opened (menu, screen x, y); returns the previous observer.
  using TObserver = std::function<void(TPopupMenu*, int, int)>;
  static TObserver SetObserver(TObserver observer);

 private:
  bool FAutoPopup = true;
  TComponent* FPopupComponent = nullptr;
  win::POINT FPopupPoint{};
};
