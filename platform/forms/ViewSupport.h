#pragma once
// What the tree and list views share: notifying the parent, measuring item texts, the
// in-place label editor, item texts in and out of the messages, the events that may refuse,
// the default sort order, and the hook through which the window painter draws them.
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/forms/CommonControls.h"
#include "platform/forms/ImgList.h"
#include "platform/forms/StdCtrls.h"

namespace ViewSupport {

// Sends a WM_NOTIFY from c to its parent (which reflects it back as CN_NOTIFY); without
// a parent straight to c as CN_NOTIFY. Fills hwndFrom and code.
win::LRESULT Notify(TWinControl* c, int code, win::NMHDR* hdr);
int TextWidth(const TFont* f, const std::string& s);
int TextHeight(const TFont* f);
// Fills r with one colour.
void FillSolid(win::HDC dc, const win::RECT& r, win::COLORREF color);
// A view's background: bk, framed by a sunken edge when it has a border.
void PaintBackground(win::HDC dc, const win::RECT& whole, win::COLORREF bk, bool border);
// The custom-draw notification of one item or sub-item before it is painted. A handler that
// chose a new font (CDRF_NEWFONT) keeps the DC state it changed: the caller restores it once
// the item is drawn.
win::LRESULT NotifyItemPrePaint(TWinControl* c, win::NMHDR* hdr, win::HDC dc);
// Lends a view's canvas to an item's custom-draw handler: the canvas draws on the item's DC
// with the view's font and the item's colours; the colours and font the handler chose go
// back into the notification. CDRF_SKIPDEFAULT when the handler drew the item itself,
// else CDRF_NEWFONT.
win::LRESULT DrawItemWithCanvas(TCanvas* canvas, const TFont* viewFont, win::NMCUSTOMDRAW& nmcd,
                                win::COLORREF& clrText, win::COLORREF& clrTextBk,
                                const std::function<bool()>& handler);
// Lends a view's canvas, bound to dc, to a handler that draws; gives the handler's answer.
bool DrawOnCanvas(TCanvas* canvas, win::HDC dc, const std::function<bool()>& handler);
// The button state for WM_LBUTTONDOWN and the like: the keys held (MK_ bits).
inline constexpr win::WPARAM MK_LBUTTON = 1, MK_RBUTTON = 2, MK_SHIFT = 4, MK_CONTROL = 8;

// Copies s into a caller's buffer of size bytes, cut to fit and terminated; gives the bytes
// copied (none without a buffer, or with the callback marker in its place).
size_t CopyText(const std::string& s, char* buf, int size);
// An item's text as a message sets it: a callback (LPSTR_TEXTCALLBACKA) or a copy.
void StoreText(const char* psz, std::string& text, bool& callback);

// One hit-test flag of a view and the set member it stands for.
struct HitBit {
  win::UINT flag;
  THitTests test;
};
THitTests HitTestsOf(win::UINT flags, std::initializer_list<HitBit> bits);

// Where a point lies outside a view's items area, in the view's own hit-test flags (0:
// inside).
struct Sides {
  win::UINT left, right, above, below;
};
win::UINT OutsideFlags(win::POINT p, const win::RECT& area, const Sides& sides);

// Asks an event that may refuse (its last argument, a bool&, starts true): false when refused.
template <class... A, class... Args>
bool Allowed(const TEvent<A...>& event, Args... args) {
  bool allow = true;
  event(args..., allow);
  return allow;
}

// The default order of a view's items for its sort (v: the view; a, b: the items' objects,
// null for one put in by message; text(0), text(1): their texts): the view's OnCompare
// between objects, the others after them; without it, the texts without regard to case.
template <class View, class Item, class Text>
bool SortsBefore(View* v, Item* a, Item* b, const Text& text) {
  if (!v->OnCompare) return AnsiCompareText(text(0), text(1)) < 0;
  if (!a || !b) return a && !b;
  int r = 0;
  v->OnCompare(v, a, b, 0, r);
  return r < 0;
}

// Puts v in a view's image-list slot, following its changes and its destruction.
void AttachImages(TComponent* view, TCustomImageList*& slot, TCustomImageList* v,
                  std::function<void()> changed);
// The keys a view handles itself: the arrows, and Enter and Escape while a label is edited.
bool WantsViewKey(win::WORD key, bool editing);

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

// Opens a view's label editor (made on first use) over the label rectangle, 24 pixels wider
// and at least minWidth wide, with text all selected and the focus; when it is done it sends
// doneMsg to the view with wParam = cancelled. Gives the editor's window.
win::HWND OpenLabelEditor(TWinControl* view, std::unique_ptr<TInPlaceEdit>& edit,
                          const win::RECT& label, int minWidth, const std::string& text,
                          win::UINT doneMsg);

// The views paint on WM_PAINT with wParam = the DC; the window painter reaches them
// through this hook (installed by ControlPaint).
bool PaintView(win::HDC dc, TControl* c);

}  // namespace ViewSupport
