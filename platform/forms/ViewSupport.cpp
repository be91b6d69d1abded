#include "platform/forms/ViewSupport.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/ListView.h"
#include "platform/forms/TreeView.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace ViewSupport {

win::LRESULT DrawItemWithCanvas(TCanvas* c, const TFont* viewFont, win::NMCUSTOMDRAW& nmcd,
                                win::COLORREF& clrText, win::COLORREF& clrTextBk,
                                const std::function<bool()>& handler) {
  c->SetHandle(nmcd.hdc);
  c->Font().SetName(viewFont->Name());
  c->Font().SetHeight(viewFont->Height());
  c->Font().SetColor(TColor(clrText));
  c->Brush().SetColor(TColor(clrTextBk));
  win::LRESULT result = CDRF_SKIPDEFAULT;
  if (handler()) {
    clrText = ColorToRGB(c->Font().Color());
    clrTextBk = ColorToRGB(c->Brush().Color());
    SelectObject(nmcd.hdc, c->Font().Handle());
    result = CDRF_NEWFONT;
  }
  c->SetHandle(nullptr);
  return result;
}

bool DrawOnCanvas(TCanvas* canvas, HDC dc, const std::function<bool()>& handler) {
  canvas->SetHandle(dc);
  bool result = handler();
  canvas->SetHandle(nullptr);
  return result;
}

size_t CopyText(const std::string& s, char* buf, int size) {
  if (!buf || buf == LPSTR_TEXTCALLBACKA || size <= 0) return 0;
  size_t k = std::min(s.size(), size_t(size - 1));
  std::memcpy(buf, s.data(), k);
  buf[k] = 0;
  return k;
}

void StoreText(const char* psz, std::string& text, bool& callback) {
  callback = psz == LPSTR_TEXTCALLBACKA;
  text = callback || !psz ? std::string() : std::string(psz);
}

THitTests HitTestsOf(UINT flags, std::initializer_list<HitBit> bits) {
  THitTests r = 0;
  for (const HitBit& b : bits)
    if (flags & b.flag) r |= b.test;
  return r;
}

UINT OutsideFlags(POINT p, const RECT& area, const Sides& sides) {
  UINT flags = 0;
  if (p.x < area.left) flags |= sides.left;
  if (p.x >= area.right) flags |= sides.right;
  if (p.y < area.top) flags |= sides.above;
  if (p.y >= area.bottom) flags |= sides.below;
  return flags;
}

void AttachImages(TComponent* view, TCustomImageList*& slot, TCustomImageList* v,
                  std::function<void()> changed) {
  if (slot) slot->UnRegisterChanges(view);
  slot = v;
  if (v) {
    v->RegisterChanges(view, std::move(changed));
    v->FreeNotification(view);
  }
}

bool WantsViewKey(WORD key, bool editing) {
  return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT ||
         (editing && (key == VK_RETURN || key == VK_ESCAPE));
}

LRESULT Notify(TWinControl* c, int code, NMHDR* hdr) {
  hdr->hwndFrom = c->Handle();
  hdr->code = code;
  if (c->Parent()) return SendMessage(c->Parent()->Handle(), WM_NOTIFY, hdr->idFrom, LPARAM(hdr));
  return c->Perform(CN_NOTIFY, hdr->idFrom, LPARAM(hdr));
}

namespace {
HDC MeasureDC() {
  static HDC dc = CreateScreenDC();
  return dc;
}
}  // namespace

int TextWidth(const TFont* f, const std::string& s) {
  HDC dc = MeasureDC();
  HGDIOBJ old = SelectObject(dc, ControlPaint::FontHandle(f));
  SIZE sz{};
  GetTextExtentPoint32(dc, s, &sz);
  SelectObject(dc, old);
  return sz.cx;
}

int TextHeight(const TFont* f) {
  HDC dc = MeasureDC();
  HGDIOBJ old = SelectObject(dc, ControlPaint::FontHandle(f));
  TEXTMETRIC tm{};
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  return tm.tmHeight;
}

void FillSolid(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH b = CreateSolidBrush(color);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void PaintBackground(HDC dc, const RECT& whole, COLORREF bk, bool border) {
  FillSolid(dc, whole, bk);
  if (border) {
    RECT r = whole;
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  }
}

LRESULT NotifyItemPrePaint(TWinControl* c, NMHDR* hdr, HDC dc) {
  SaveDC(dc);
  LRESULT r = Notify(c, NM_CUSTOMDRAW, hdr);
  if (!(r & CDRF_NEWFONT)) RestoreDC(dc, -1);
  return r;
}

void TInPlaceEdit::DefineProps(TPropList&) {}

bool TInPlaceEdit::WantsKey(WORD key) const {
  return key == VK_RETURN || key == VK_ESCAPE || TCustomEdit::WantsKey(key);
}

void TInPlaceEdit::WndProc(TMessage& m) {
  if (m.Msg == WM_KEYDOWN && (m.WParam == VK_RETURN || m.WParam == VK_ESCAPE)) {
    if (auto done = OnDone) done(m.WParam == VK_ESCAPE);
    return;
  }
  if (m.Msg == WM_CHAR && (m.WParam == '\r' || m.WParam == 27)) return;
  TCustomEdit::WndProc(m);
}

void TInPlaceEdit::DoExit() {
  TCustomEdit::DoExit();
  if (auto done = OnDone) done(false);
}

HWND OpenLabelEditor(TWinControl* view, std::unique_ptr<TInPlaceEdit>& edit, const RECT& label,
                     int minWidth, const std::string& text, UINT doneMsg) {
  if (!edit) {
    edit.reset(new TInPlaceEdit(nullptr));
    edit->SetParent(view);
  }
  edit->SetBounds(label.left, label.top, std::max<int>(label.right - label.left + 24, minWidth),
                  label.bottom - label.top);
  edit->SetText(text);
  edit->Show();
  edit->OnDone = [view, doneMsg](bool cancel) { view->Perform(doneMsg, cancel, 0); };
  if (edit->CanFocus()) edit->SetFocus();
  edit->SelectAll();
  return edit->Handle();
}

bool PaintView(HDC dc, TControl* c) {
  if (!dynamic_cast<TCustomTreeView*>(c) && !dynamic_cast<TCustomListView*>(c)) return false;
  c->Perform(WM_PAINT, WPARAM(dc));
  return true;
}

}  // namespace ViewSupport
