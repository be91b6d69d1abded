#pragma once
// What the tree and list views share: notifying the parent, measuring item texts, the
// in-place label editor, and the hook through which the window painter draws them.
#include <functional>
#include <string>

#include "platform/forms/CommonControls.h"
#include "platform/forms/StdCtrls.h"

namespace ViewSupport {

// Sends a WM_NOTIFY from c to its parent (which reflects it back as CN_NOTIFY); without
// a parent straight to c as CN_NOTIFY. Fills hwndFrom and code.
win::LRESULT Notify(TWinControl* c, int code, win::NMHDR* hdr);
int TextWidth(const TFont* f, const std::string& s);
int TextHeight(const TFont* f);
// The button state for WM_LBUTTONDOWN and the like: the keys held (MK_ bits).
inline constexpr win::WPARAM MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8;

// The editor of a label: Enter ends the edit, Escape cancels it, so does losing the focus
// (ending it).
class TInPlaceEdit : public TCustomEdit {
  WI_CLASS(TInPlaceEdit, TCustomEdit)
 public:
  explicit TInPlaceEdit(TComponent* owner) : TCustomEdit(owner) {}
  std::function<void(bool cancel)> OnDone;
  void WndProc(TMessage& msg) override;

 protected:
  bool WantsKey(win::WORD key) const override;
  void DoExit() override;
};

// The views paint on WM_PAINT with wParam = the DC; the window painter reaches them
// through this hook (installed by ControlPaint).
bool PaintView(win::HDC dc, TControl* c);

}  // namespace ViewSupport
