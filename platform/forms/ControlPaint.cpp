#include "platform/forms/ControlPaint.h"

#include <map>
#include <tuple>

#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/ViewSupport.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/Graphics.h"
#include "platform/system/Text.h"

namespace ControlPaint {

using namespace win;

COLORREF Rgb(TColor c) {
  if (c & clSystemColor) return GetSysColor(int(c & 0xFF));
  return COLORREF(c) & 0xFFFFFF;
}

void CopyFont(TCanvasFont& to, const TFont* from) {
  to.SetName(from->Name());
  to.SetHeight(from->Height());
  TFontStyles st;
  for (int i = 0; i < 4; ++i)
    if (from->Style() & (1u << i)) st.Include(TFontStyle(i));
  to.SetStyle(st);
  to.SetColor(from->Color());
  to.SetCharset(TFontCharset(from->Charset()));
}

HFONT FontHandle(const TFont* f) {
  // Kept for the whole run, never destroyed, so the fonts it holds are never lost.
  static auto& cache = *new std::map<std::tuple<std::string, int, unsigned, int>, HFONT>;
  auto key = std::make_tuple(f->Name(), f->Height(), f->Style(), f->Charset());
  auto it = cache.find(key);
  if (it != cache.end()) return it->second;
  LOGFONT lf{};
  lf.lfHeight = f->Height();
  lf.lfWeight = f->Style() & 1 ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (f->Style() & 2) != 0;
  lf.lfUnderline = (f->Style() & 4) != 0;
  lf.lfStrikeOut = (f->Style() & 8) != 0;
  lf.lfCharSet = BYTE(f->Charset());
  std::string name = f->Name().substr(0, LF_FACESIZE - 1);
  std::copy(name.begin(), name.end(), lf.lfFaceName);
  HFONT h = CreateFontIndirect(&lf);
  cache.emplace(key, h);
  return h;
}

void FillSolid(HDC dc, const RECT& r, TColor c) {
  HBRUSH b = CreateSolidBrush(Rgb(c));
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void Frame3D(HDC dc, RECT& r, TColor topLeft, TColor bottomRight, int width) {
  for (int i = 0; i < width; ++i) {
    FillSolid(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    FillSolid(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    FillSolid(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    FillSolid(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    r.left++, r.top++, r.right--, r.bottom--;
  }
}

void DrawCaption(HDC dc, const TControl* c, const std::string& text, RECT r, UINT format) {
  HGDIOBJ old = SelectObject(dc, FontHandle(c->Font()));
  SetBkMode(dc, TRANSPARENT);
  if (c->Enabled()) {
    SetTextColor(dc, Rgb(c->Font()->Color()));
    DrawText(dc, text, &r, format);
  } else {
    // Disabled text is embossed: a highlight copy one pixel down and right, grey on top.
    RECT shifted{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    SetTextColor(dc, Rgb(clBtnHighlight));
    DrawText(dc, text, &shifted, format);
    SetTextColor(dc, Rgb(clBtnShadow));
    DrawText(dc, text, &r, format);
  }
  SelectObject(dc, old);
}

POINT ClientOffset(const TControl* c) {
  if (dynamic_cast<const TCustomListBox*>(c) || dynamic_cast<const TCustomEdit*>(c)) return {2, 2};
  return {0, 0};
}

RECT ClientBox(const TControl* c) {
  if (auto* w = dynamic_cast<const TWinControl*>(c);
      w && (w->ClientEdge() || ScrollBars::VertWidth(w) || ScrollBars::HorzHeight(w)))
    return w->ClientBounds();
  POINT off = ClientOffset(c);
  return RECT{off.x, off.y, c->Width() - off.x, c->Height() - off.y};
}

namespace {

RECT Whole(const TControl* c) { return RECT{0, 0, c->Width(), c->Height()}; }

void Sunken(HDC dc, RECT& r) { DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST); }

// TPanel bevels: outer, border, inner; the caption centred in what is left.
void PaintPanel(HDC dc, TPanel* p) {
  RECT r = Whole(p);
  FillSolid(dc, r, p->Color());
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    if (cut == bvSpace) {
      r.left += p->BevelWidth(), r.top += p->BevelWidth(), r.right -= p->BevelWidth(),
          r.bottom -= p->BevelWidth();
      return;
    }
    bool raised = cut == bvRaised;
    Frame3D(dc, r, raised ? clBtnHighlight : clBtnShadow, raised ? clBtnShadow : clBtnHighlight,
            p->BevelWidth());
  };
  bevel(p->BevelOuter());
  r.left += p->BorderWidth(), r.top += p->BorderWidth(), r.right -= p->BorderWidth(),
      r.bottom -= p->BorderWidth();
  bevel(p->BevelInner());
  if (!p->Caption().empty())
    DrawCaption(dc, p, p->Caption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void PaintBevel(HDC dc, TBevel* b) {
  TColor c1 = b->Style() == bsLowered ? clBtnShadow : clBtnHighlight;
  TColor c2 = b->Style() == bsLowered ? clBtnHighlight : clBtnShadow;
  int w = b->Width(), h = b->Height();
  switch (b->Shape()) {
    case bsBox: {
      RECT r = Whole(b);
      Frame3D(dc, r, c1, c2, 1);
      break;
    }
    case bsFrame: {
      // Etched: two offset rectangles.
      HBRUSH s = CreateSolidBrush(Rgb(c1)), l = CreateSolidBrush(Rgb(c2));
      RECT a{0, 0, w - 1, h - 1}, z{1, 1, w, h};
      FrameRect(dc, &z, l);
      FrameRect(dc, &a, s);
      DeleteObject(s), DeleteObject(l);
      break;
    }
    case bsTopLine:
      FillSolid(dc, {0, 0, w, 1}, c1);
      FillSolid(dc, {0, 1, w, 2}, c2);
      break;
    case bsBottomLine:
      FillSolid(dc, {0, h - 2, w, h - 1}, c1);
      FillSolid(dc, {0, h - 1, w, h}, c2);
      break;
    case bsLeftLine:
      FillSolid(dc, {0, 0, 1, h}, c1);
      FillSolid(dc, {1, 0, 2, h}, c2);
      break;
    case bsRightLine:
      FillSolid(dc, {w - 2, 0, w - 1, h}, c1);
      FillSolid(dc, {w - 1, 0, w, h}, c2);
      break;
    case bsSpacer:
      break;
  }
}

// The default (or focused) button has a black frame; the focused one a focus rectangle.
void PaintButton(HDC dc, TButton* b) {
  RECT r = Whole(b);
  bool focused = b->Focused();
  FillSolid(dc, r, clBtnFace);
  if (b->Default() || focused) {
    HBRUSH k = CreateSolidBrush(Rgb(clWindowFrame));
    FrameRect(dc, &r, k);
    DeleteObject(k);
    r.left++, r.top++, r.right--, r.bottom--;
  }
  if (b->Pressed()) {
    // Pushed in: a flat shadow edge, the caption one pixel down and right.
    HBRUSH s = CreateSolidBrush(Rgb(clBtnShadow));
    FrameRect(dc, &r, s);
    DeleteObject(s);
    RECT t{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    DrawCaption(dc, b, b->Caption(), t, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    r.left++, r.top++, r.right--, r.bottom--;
  } else {
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    DrawCaption(dc, b, b->Caption(), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  if (focused) {
    RECT f{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    SetTextColor(dc, 0), SetBkColor(dc, 0xFFFFFF);
    DrawFocusRect(dc, &f);
  }
}

void DrawPicture(HDC dc, const TImagePicture* pic, RECT dest, bool transparent, int srcX = 0,
                 int srcW = -1) {
  if (pic->Empty()) return;
  int w = srcW < 0 ? pic->Width() : srcW, h = pic->Height();
  Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.Row(y)[x] = PixelFromColor(COLORREF(pic->Pixels(srcX + x, y)) & 0xFFFFFF);
  HBITMAP bmp = CreateBitmap(w, h, 1, 32, s.pixels.data());
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bmp);
  int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (transparent)
    TransparentBlt(dc, dest.left, dest.top, dw, dh, mem, 0, 0, w, h,
                   UINT(COLORREF(pic->Pixels(srcX, h - 1)) & 0xFFFFFF));
  else
    StretchBlt(dc, dest.left, dest.top, dw, dh, mem, 0, 0, w, h, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);
}

void PaintSpeedButton(HDC dc, TSpeedButton* b) {
  RECT r = Whole(b);
  FillSolid(dc, r, b->Color());
  if (b->Down())
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  else if (!b->Flat())
    DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
  int shift = b->Down() ? 1 : 0;
  const TImagePicture* g = b->Glyph();
  int gw = g->Empty() ? 0 : g->Width() / std::max(1, b->NumGlyphs()), gh = g->Height();
  std::string cap = b->Caption();
  if (gw) {
    int x = cap.empty() ? (b->Width() - gw) / 2 : (b->Margin() < 0 ? 4 : b->Margin());
    RECT d{x + shift, (b->Height() - gh) / 2 + shift, x + shift + gw,
           (b->Height() - gh) / 2 + shift + gh};
    DrawPicture(dc, g, d, true, b->GlyphIndex() * gw, gw);
    r.left = d.right + b->Spacing();
  }
  if (!cap.empty()) {
    RECT t{r.left + shift, r.top + shift, r.right + shift, r.bottom + shift};
    DrawCaption(dc, b, cap, t, (gw ? DT_LEFT : DT_CENTER) | DT_VCENTER | DT_SINGLELINE);
  }
}

void PaintLabel(HDC dc, TLabel* l) {
  RECT r = Whole(l);
  FillSolid(dc, r, l->Color());
  DrawCaption(dc, l, l->Caption(), r, l->WordWrap() ? DT_WORDBREAK : 0);
}

// Where character n of a control's text starts: its positions are ints.
size_t ByteOf(const std::string& s, int n) { return Utf8ByteOf(s, size_t(n)); }

// The sunken well of an edit, filled with its colour, its font selected and drawing clipped
// to the inside (r); gives the font it replaced.
HGDIOBJ BeginEditWell(HDC dc, const TControl* e, RECT& r) {
  r = Whole(e);
  Sunken(dc, r);
  FillSolid(dc, r, e->Color());
  HGDIOBJ old = SelectObject(dc, FontHandle(e->Font()));
  SetBkMode(dc, TRANSPARENT);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  return old;
}

void PaintEdit(HDC dc, TCustomEdit* e) {
  RECT r;
  HGDIOBJ old = BeginEditWell(dc, e, r);
  std::string text = e->DisplayText();
  int x = r.left + 1 + e->LeftMargin(), y = r.top + 1;
  SetTextColor(dc, Rgb(e->Enabled() ? e->Font()->Color() : clGrayText));
  TextOut(dc, x, y, text);
  SIZE line{};
  GetTextExtentPoint32(dc, "Ag", &line);
  if ((e->Focused() || e->KeepsSelectionShown()) && e->SelLength() > 0) {
    // The selection: highlighted band with the selected text drawn again over it.
    size_t a = ByteOf(text, e->SelStart()), b = ByteOf(text, e->SelStart() + e->SelLength());
    SIZE pre{}, sel{};
    GetTextExtentPoint32(dc, text.substr(0, a), &pre);
    GetTextExtentPoint32(dc, text.substr(a, b - a), &sel);
    FillSolid(dc, RECT{x + pre.cx, y, x + pre.cx + sel.cx, y + line.cy}, clHighlight);
    SetTextColor(dc, Rgb(clHighlightText));
    TextOut(dc, x + pre.cx, y, text.substr(a, b - a));
  }
  if (e->Focused()) {
    // The caret, where typing goes.
    SIZE pre{};
    GetTextExtentPoint32(dc, text.substr(0, ByteOf(text, e->CaretPos())), &pre);
    FillSolid(dc, RECT{x + pre.cx, y, x + pre.cx + 1, y + line.cy}, clWindowText);
  }
  SelectObject(dc, old);
}

void PaintRichEdit(HDC dc, TRichEdit* e) {
  RECT r;
  HGDIOBJ old = BeginEditWell(dc, e, r);
  const std::string text = e->Text();
  const bool focused = e->Focused();
  size_t selB = ByteOf(text, e->SelStart()), selE = ByteOf(text, e->SelStart() + e->SelLength());
  size_t caret = ByteOf(text, e->CaretPos());
  bool caretDrawn = false;
  auto width = [&](size_t from, size_t to) {
    SIZE z{};
    GetTextExtentPoint32(dc, text.substr(from, to - from), &z);
    return int(z.cx);
  };
  for (const TextRow& row : RichEditRows(e)) {
    if (row.top >= r.bottom) break;
    SetTextColor(dc, Rgb(e->Enabled() ? e->Font()->Color() : clGrayText));
    TextOut(dc, row.left, row.top, text.substr(row.begin, row.end - row.begin));
    size_t a = std::max(selB, row.begin), b = std::min(selE, row.end);
    if (focused && a < b) {
      // The selection: a highlighted band with its text drawn again over it.
      int x = row.left + width(row.begin, a);
      FillSolid(dc, RECT{x, row.top, x + width(a, b), row.top + row.height}, clHighlight);
      SetTextColor(dc, Rgb(clHighlightText));
      TextOut(dc, x, row.top, text.substr(a, b - a));
    }
    if (focused && !caretDrawn && caret >= row.begin && caret <= row.end) {
      int x = row.left + width(row.begin, caret);
      FillSolid(dc, RECT{x, row.top, x + 1, row.top + row.height}, clWindowText);
      caretDrawn = true;
    }
  }
  SelectObject(dc, old);
}

// Standard items only; owner-drawn ones come from the list box's own Paint.
void PaintListBox(HDC dc, TCustomListBox* l) {
  RECT r = Whole(l);
  Sunken(dc, r);
  FillSolid(dc, r, l->Color());
  if (l->Style() != lbStandard) return;
  HGDIOBJ old = SelectObject(dc, FontHandle(l->Font()));
  SetBkMode(dc, TRANSPARENT);
  RECT client = l->ClientBounds();
  IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
  for (int i = l->TopIndex(); i < l->Count(); ++i) {
    RECT ir = l->ItemRect(i);
    OffsetRect(&ir, client.left, client.top);
    if (ir.top >= client.bottom) break;
    bool sel = l->MultiSelect() ? l->Selected(i) : i == l->ItemIndex();
    if (sel) FillSolid(dc, ir, clHighlight);
    SetTextColor(dc, Rgb(!l->Enabled() ? clGrayText : sel ? clHighlightText : l->Font()->Color()));
    RECT tr{ir.left + 2, ir.top, ir.right, ir.bottom};
    DrawText(dc, l->Items()->Strings(i), &tr,
             DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_EXPANDTABS);
    if (l->Focused() && i == std::max(l->ItemIndex(), 0)) {
      SetTextColor(dc, 0), SetBkColor(dc, 0xFFFFFF);
      DrawFocusRect(dc, &ir);
    }
  }
  SelectObject(dc, old);
}

void PaintCheck(HDC dc, TButtonControl* c, bool radio, bool checked, bool grayed) {
  RECT r = Whole(c);
  FillSolid(dc, r, c->Color());
  int top = (c->Height() - 13) / 2;
  RECT box{0, top, 13, top + 13};
  UINT state = (radio    ? DFCS_BUTTONRADIO
                : grayed ? DFCS_BUTTON3STATE
                         : DFCS_BUTTONCHECK) |
               (checked || grayed ? DFCS_CHECKED : 0) |
               (c->Enabled() && !grayed ? 0 : DFCS_INACTIVE) | (c->Pressed() ? DFCS_PUSHED : 0);
  DrawFrameControl(dc, &box, DFC_BUTTON, state);
  RECT t{17, 0, c->Width(), c->Height()};
  DrawCaption(dc, c, c->Caption(), t, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  if (c->Focused() && !c->Caption().empty()) {
    RECT calc = t;
    HGDIOBJ old = SelectObject(dc, FontHandle(c->Font()));
    DrawText(dc, c->Caption(), &calc, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    int h = calc.bottom - calc.top;
    RECT f{15, (c->Height() - h) / 2 - 1, std::min<int>(calc.right + 2, c->Width()),
           (c->Height() + h) / 2 + 1};
    SetTextColor(dc, 0), SetBkColor(dc, 0xFFFFFF);
    DrawFocusRect(dc, &f);
  }
}

void PaintGroupBox(HDC dc, TGroupBox* g) {
  RECT r = Whole(g);
  FillSolid(dc, r, g->Color());
  HGDIOBJ old = SelectObject(dc, FontHandle(g->Font()));
  SIZE sz{};
  std::string cap = g->Caption();
  GetTextExtentPoint32(dc, "0", &sz);
  SelectObject(dc, old);
  RECT frame{0, sz.cy / 2, g->Width(), g->Height()};
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (!cap.empty()) {
    RECT t{8, 0, g->Width() - 8, sz.cy};
    RECT calc = t;
    old = SelectObject(dc, FontHandle(g->Font()));
    DrawText(dc, cap, &calc, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    FillSolid(dc, RECT{6, 0, std::min<int>(calc.right + 2, g->Width() - 6), sz.cy}, g->Color());
    DrawCaption(dc, g, cap, t, DT_LEFT | DT_SINGLELINE);
  }
}

void PaintImage(HDC dc, TImage* i) {
  DrawPicture(dc, i->Picture(), i->DestRect(), i->Transparent());
}

}  // namespace

namespace {
// A screen DC with a control's font, for measuring its text.
struct ScreenText {
  HDC dc;
  HGDIOBJ old;
  explicit ScreenText(const TControl* c)
      : dc(CreateScreenDC()), old(SelectObject(dc, FontHandle(c->Font()))) {}
  ~ScreenText() {
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  ScreenText(const ScreenText&) = delete;
  ScreenText& operator=(const ScreenText&) = delete;
  int Width(const std::string& s, size_t from, size_t to) const {
    SIZE z{};
    GetTextExtentPoint32(dc, s.substr(from, to - from), &z);
    return int(z.cx);
  }
};

// Where a line of [b, lineEnd) wraps at `width`: after the last blank that fits, else after
// the last character that fits (at least one).
size_t WrapAt(const ScreenText& t, const std::string& text, size_t b, size_t lineEnd, int width) {
  size_t fit = Utf8NextChar(text, b), blank = std::string::npos;
  for (size_t i = b; i < lineEnd; i = Utf8NextChar(text, i)) {
    size_t n = Utf8NextChar(text, i);
    if (t.Width(text, b, n) > width) break;
    fit = n;
    if (text[i] == ' ') blank = n;
  }
  return blank != std::string::npos && fit < lineEnd ? blank : fit;
}
}  // namespace

std::vector<TextRow> RichEditRows(const TRichEdit* e) {
  ScreenText t(e);
  TEXTMETRIC tm{};
  GetTextMetrics(t.dc, &tm);
  // Inside the sunken edge, 2 pixels in from the sides and 1 from the top.
  const int left = 4, width = e->Width() - 8;
  const std::string text = e->Text();
  std::vector<TextRow> rows;
  int y = 3;
  for (size_t lineStart = 0;;) {
    size_t lineEnd = std::min(text.find("\r\n", lineStart), text.size());
    size_t b = lineStart;
    do {
      size_t end = lineEnd;
      if (e->WordWrap() && t.Width(text, b, lineEnd) > width)
        end = WrapAt(t, text, b, lineEnd, width);
      rows.push_back(TextRow{b, end, left, y, int(tm.tmHeight)});
      y += int(tm.tmHeight);
      b = end;
    } while (b < lineEnd);
    if (lineEnd >= text.size()) break;
    lineStart = lineEnd + 2;
  }
  return rows;
}

int RichEditCharAt(const TRichEdit* e, int x, int y) {
  std::vector<TextRow> rows = RichEditRows(e);
  const TextRow* row = &rows.front();
  for (const TextRow& r : rows)
    if (y >= r.top) row = &r;
  const std::string text = e->Text();
  ScreenText t(e);
  size_t at = row->begin;
  // The nearest boundary: past a character once the point passes its middle.
  for (size_t i = row->begin; i < row->end; i = Utf8NextChar(text, i)) {
    size_t n = Utf8NextChar(text, i);
    int mid = row->left + (t.Width(text, row->begin, i) + t.Width(text, row->begin, n)) / 2;
    if (x < mid) break;
    at = n;
  }
  return int(CountUtf8Characters(std::string_view(text).substr(0, at)));
}

int RichEditCaretX(const TRichEdit* e, const TextRow& row, int pos) {
  const std::string text = e->Text();
  ScreenText t(e);
  return row.left + t.Width(text, row.begin, std::max(row.begin, ByteOf(text, pos)));
}

bool PaintStandardControl(HDC dc, TControl* c) {
  if (auto* f = dynamic_cast<TForm*>(c))
    FillSolid(dc, Whole(f), f->Color());
  else if (auto* p = dynamic_cast<TPanel*>(c))
    PaintPanel(dc, p);
  else if (auto* b = dynamic_cast<TBevel*>(c))
    PaintBevel(dc, b);
  else if (auto* bt = dynamic_cast<TButton*>(c))
    PaintButton(dc, bt);
  else if (auto* sb = dynamic_cast<TSpeedButton*>(c))
    PaintSpeedButton(dc, sb);
  else if (auto* l = dynamic_cast<TLabel*>(c)) {
    if (l->StandardPaint()) PaintLabel(dc, l);
  } else if (auto* re = dynamic_cast<TRichEdit*>(c))
    PaintRichEdit(dc, re);
  else if (auto* e = dynamic_cast<TCustomEdit*>(c))
    PaintEdit(dc, e);
  else if (auto* lb = dynamic_cast<TCustomListBox*>(c))
    PaintListBox(dc, lb);
  else if (auto* cb = dynamic_cast<TCheckBox*>(c))
    PaintCheck(dc, cb, false, cb->Checked(), cb->State() == cbGrayed);
  else if (auto* rb = dynamic_cast<TRadioButton*>(c))
    PaintCheck(dc, rb, true, rb->Checked(), false);
  else if (auto* g = dynamic_cast<TGroupBox*>(c))
    PaintGroupBox(dc, g);
  else if (auto* im = dynamic_cast<TImage*>(c))
    PaintImage(dc, im);
  else if (ViewSupport::PaintView(dc, c))
    return true;
  else
    return false;
  return true;
}

}  // namespace ControlPaint
