#include "platform/forms/ViewWindow.h"

#include "platform/forms/ControlPaint.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

void ViewWindow::KeepBars(bool force, const std::function<size_t()>& items,
                          const std::function<void()>& work) {
  if (FSyncingBars ||
      (!force && FBarsInvalidate == FView.InvalidateCount() && FBarsItems == items()))
    return;
  FSyncingBars = true;
  work();
  FBarsInvalidate = FView.InvalidateCount();
  FBarsItems = items();
  FSyncingBars = false;
}

HWND ViewWindow::OpenEditor(const RECT& label, int minWidth, const std::string& text,
                            UINT doneMsg) {
  return ViewSupport::OpenLabelEditor(&FView, edit, label, minWidth, text, doneMsg);
}

std::string ViewWindow::CloseEditor() {
  std::string text = edit->Text();
  edit->OnDone = nullptr;
  edit->Hide();
  return text;
}

void ViewWindow::EditorClosed() {
  if (FView.CanFocus()) FView.SetFocus();
  FView.Invalidate();
}

void ViewWindow::TakeFocus() {
  if (FView.CanFocus() && !FView.Focused()) FView.SetFocus();
}

void ViewWindow::RightClicked(LPARAM at) {
  NMHDR hdr;
  if (!Notify(NM_RCLICK, &hdr)) FView.Perform(WM_CONTEXTMENU, WPARAM(FView.Handle()), at);
}

COLORREF ViewWindow::Background() const {
  return bk != CLR_NONE ? bk : ControlPaint::Rgb(FView.Color());
}

void ViewWindow::PaintFrame(HDC dc, NMCUSTOMDRAW& cd, bool border,
                            const std::function<void(LRESULT pre, COLORREF bk)>& items) {
  RECT whole{0, 0, FView.Width(), FView.Height()};
  COLORREF back = Background();
  cd.hdc = dc;
  cd.rc = whole;
  cd.dwDrawStage = CDDS_PREPAINT;
  LRESULT pre = Notify(NM_CUSTOMDRAW, &cd.hdr);
  if (pre & CDRF_SKIPDEFAULT) return;
  ViewSupport::PaintBackground(dc, whole, back, border);
  HGDIOBJ oldFont = SelectObject(dc, ControlPaint::FontHandle(FView.Font()));
  items(pre, back);
  SelectObject(dc, oldFont);
  if (pre & CDRF_NOTIFYPOSTPAINT) {
    cd.dwDrawStage = CDDS_POSTPAINT;
    cd.rc = whole;
    Notify(NM_CUSTOMDRAW, &cd.hdr);
  }
}

void ViewWindow::ItemPainted(HDC dc, NMCUSTOMDRAW& cd, LRESULT answer) {
  if (answer & CDRF_NEWFONT) RestoreDC(dc, -1);
  if (answer & CDRF_NOTIFYPOSTPAINT) {
    cd.dwDrawStage = CDDS_ITEMPOSTPAINT;
    Notify(NM_CUSTOMDRAW, &cd.hdr);
  }
}
