#include "platform/forms/graphics/Graphics.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <istream>
#include <iterator>
#include <ostream>

#include "platform/forms/graphics/BitmapResources.h"
#include "platform/forms/graphics/ImageFiles.h"
#include "platform/system/Exceptions.h"
#include "platform/system/Text.h"

using namespace win;

// --- Colours ---------------------------------------------------------------------------------

namespace {
struct ColorName {
  TColor color;
  const char* name;
};
const ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clHotLight, "clHotLight"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"},
    {clMenuText, "clMenuText"},
    {clNone, "clNone"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
};

}  // namespace

COLORREF ColorToRGB(TColor c) {
  if (c < 0) return GetSysColor(int(c & 0xFF));
  return COLORREF(c);
}

bool IdentToColor(const std::string& ident, TColor& out) {
  for (const ColorName& n : kColorNames)
    if (AsciiSameText(ident, n.name)) return out = n.color, true;
  return false;
}

bool ColorToIdent(TColor c, std::string& out) {
  for (const ColorName& n : kColorNames)
    if (n.color == c) return out = n.name, true;
  return false;
}

std::string ColorToString(TColor c) {
  std::string s;
  if (ColorToIdent(c, s)) return s;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%08X", unsigned(c));
  return buf;
}

TColor StringToColor(const std::string& s) {
  TColor c;
  if (IdentToColor(s, c)) return c;
  std::string t = s;
  while (!t.empty() && t.front() == ' ') t.erase(t.begin());
  while (!t.empty() && t.back() == ' ') t.pop_back();
  bool neg = !t.empty() && t[0] == '-';
  std::string digits = neg ? t.substr(1) : t;
  int base = 10;
  if (!digits.empty() && digits[0] == '$')
    base = 16, digits.erase(0, 1);
  else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    base = 16, digits.erase(0, 2);
  bool ok = !digits.empty() && digits.size() <= (base == 16 ? 8u : 10u);
  unsigned long long v = 0;
  for (char ch : digits) {
    int d = std::isdigit(static_cast<unsigned char>(ch)) ? ch - '0'
            : (base == 16 && std::isxdigit(static_cast<unsigned char>(ch)))
                ? std::tolower(ch) - 'a' + 10
                : -1;
    if (d < 0) {
      ok = false;
      break;
    }
    v = v * unsigned(base) + unsigned(d);
  }
  if (!ok || v > 0xFFFFFFFFull)
    throw Exception("'" + s + "' n'est pas une valeur entière correcte");
  auto u = std::uint32_t(v);
  return TColor(neg ? std::uint32_t(0) - u : u);
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// --- TCanvasFont
// -----------------------------------------------------------------------------------------

TCanvasFont::TCanvasFont() = default;
TCanvasFont::~TCanvasFont() {
  if (FHandle) DeleteObject(FHandle);
}

void TCanvasFont::Change() {
  if (FHandle) {
    DeleteObject(FHandle);  // a DC still holding it keeps it alive until it lets go
    FHandle = nullptr;
  }
  Changed();
}

void TCanvasFont::Assign(const TCanvasFont& f) {
  if (&f == this) return;
  FName = f.FName;
  FHeight = f.FHeight;
  if (f.FPixelsPerInch != FPixelsPerInch)
    FHeight = MulDiv(f.FHeight, FPixelsPerInch, f.FPixelsPerInch);
  FStyle = f.FStyle;
  FColor = f.FColor;
  FCharset = f.FCharset;
  FPitch = f.FPitch;
  FOrientation = f.FOrientation;
  Change();
}

void TCanvasFont::SetName(const std::string& v) {
  if (v.empty() || v == FName) return;
  FName = v.substr(0, LF_FACESIZE - 1);
  Change();
}
int TCanvasFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }
void TCanvasFont::SetSize(int points) { SetHeight(-MulDiv(points, FPixelsPerInch, 72)); }
void TCanvasFont::SetHeight(int v) {
  if (v == FHeight) return;
  FHeight = v;
  Change();
}
void TCanvasFont::SetStyle(TFontStyles v) {
  if (v == FStyle) return;
  FStyle = v;
  Change();
}
void TCanvasFont::SetColor(TColor v) {
  if (v == FColor) return;
  FColor = v;
  Changed();  // the colour is not part of the handle
}
void TCanvasFont::SetCharset(TFontCharset v) {
  if (v == FCharset) return;
  FCharset = v;
  Change();
}
void TCanvasFont::SetPitch(TFontPitch v) {
  if (v == FPitch) return;
  FPitch = v;
  Change();
}
void TCanvasFont::SetOrientation(int v) {
  if (v == FOrientation) return;
  FOrientation = v;
  Change();
}

LOGFONT TCanvasFont::LogFont() const {
  LOGFONT lf;
  lf.lfHeight = FHeight;
  lf.lfEscapement = lf.lfOrientation = FOrientation;
  lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = FStyle.Contains(fsItalic);
  lf.lfUnderline = FStyle.Contains(fsUnderline);
  lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
  lf.lfCharSet = FCharset;
  lf.lfPitchAndFamily = FPitch == fpVariable ? VARIABLE_PITCH
                        : FPitch == fpFixed  ? FIXED_PITCH
                                             : DEFAULT_PITCH;
  std::strncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
  return lf;
}

HFONT TCanvasFont::Handle() {
  if (!FHandle) {
    LOGFONT lf = LogFont();
    FHandle = CreateFontIndirect(&lf);
  }
  return FHandle;
}

void TCanvasFont::SetHandle(HFONT h) {
  LOGFONT lf;
  if (GetObject(h, sizeof lf, &lf) != int(sizeof lf)) return;
  lf.lfFaceName[LF_FACESIZE - 1] = 0;
  FName = lf.lfFaceName;
  FHeight = lf.lfHeight;
  FStyle = TFontStyles();
  if (lf.lfWeight >= FW_SEMIBOLD) FStyle.Include(fsBold);
  if (lf.lfItalic) FStyle.Include(fsItalic);
  if (lf.lfUnderline) FStyle.Include(fsUnderline);
  if (lf.lfStrikeOut) FStyle.Include(fsStrikeOut);
  FCharset = lf.lfCharSet;
  FOrientation = lf.lfEscapement;
  Change();
}

// --- TPen / TBrush --------------------------------------------------------------------------

TPen::~TPen() {
  if (FHandle) DeleteObject(FHandle);
}
void TPen::Change() {
  if (FHandle) DeleteObject(FHandle), FHandle = nullptr;
  Changed();
}
void TPen::Assign(const TPen& p) {
  if (&p == this) return;
  FColor = p.FColor, FWidth = p.FWidth, FStyle = p.FStyle, FMode = p.FMode;
  Change();
}
void TPen::SetColor(TColor v) {
  if (v != FColor) FColor = v, Change();
}
void TPen::SetWidth(int v) {
  if (v >= 0 && v != FWidth) FWidth = v, Change();
}
void TPen::SetStyle(TPenStyle v) {
  if (v != FStyle) FStyle = v, Change();
}
void TPen::SetMode(TPenMode v) {
  if (v != FMode) FMode = v, Changed();
}
int TPen::Rop2() const {
  static const int codes[] = {R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,
                              R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                              R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,    R2_NOTMERGEPEN,
                              R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
  return codes[FMode];
}
HPEN TPen::Handle() {
  if (!FHandle) {
    static const int styles[] = {int(PS_SOLID),      int(PS_DASH),       int(PS_DOT),
                                 int(PS_DASHDOT),    int(PS_DASHDOTDOT), int(PS_NULL),
                                 int(PS_INSIDEFRAME)};
    FHandle = CreatePen(styles[FStyle], FWidth, ColorToRGB(FColor));
  }
  return FHandle;
}

TBrush::~TBrush() {
  if (FHandle) DeleteObject(FHandle);
}
void TBrush::Change() {
  if (FHandle) DeleteObject(FHandle), FHandle = nullptr;
  Changed();
}
void TBrush::Assign(const TBrush& b) {
  if (&b == this) return;
  FColor = b.FColor, FStyle = b.FStyle, FBitmap = b.FBitmap;
  Change();
}
void TBrush::SetColor(TColor v) {
  if (v == FColor && FStyle != bsClear) return;
  FColor = v;
  if (FStyle == bsClear) FStyle = bsSolid;  // choosing a colour makes the brush visible again
  Change();
}
void TBrush::SetStyle(TBrushStyle v) {
  if (v != FStyle) FStyle = v, Change();
}
void TBrush::SetBitmap(TBitmap* b) {
  if (b != FBitmap) FBitmap = b, Change();
}
HBRUSH TBrush::Handle() {
  if (!FHandle) {
    if (FBitmap && !FBitmap->Empty())
      FHandle = CreatePatternBrush(FBitmap->Handle());
    else if (FStyle == bsClear)
      FHandle = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    else if (FStyle == bsSolid)
      FHandle = CreateSolidBrush(ColorToRGB(FColor));
    else
      FHandle = CreateHatchBrush(int(FStyle) - int(bsHorizontal), ColorToRGB(FColor));
  }
  return FHandle;
}

// --- TCanvas -----------------------------------------------------------------------------------

TCanvas::TCanvas() {
  auto mark = [this](TGraphicsObject*) { FSelected = false; };
  FFont.OnChange = mark;
  FPen.OnChange = mark;
  FBrush.OnChange = mark;
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  if (!FHandle) throw Exception("Le canevas ne permet pas de dessiner");
  return FHandle;
}

void TCanvas::DeselectHandles() {
  if (FHandle && (FOldPen || FOldBrush || FOldFont)) {
    if (FOldPen) SelectObject(FHandle, FOldPen);
    if (FOldBrush) SelectObject(FHandle, FOldBrush);
    if (FOldFont) SelectObject(FHandle, FOldFont);
  }
  FOldPen = FOldBrush = FOldFont = nullptr;
  FSelected = false;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  DeselectHandles();
  FHandle = dc;
}

void TCanvas::RequiredState(bool pen, bool brush, bool font) {
  HDC dc = Handle();
  if (pen) {
    HGDIOBJ old = SelectObject(dc, FPen.Handle());
    if (!FOldPen) FOldPen = old;
    SetROP2(dc, FPen.Rop2());
  }
  if (brush) {
    HGDIOBJ old = SelectObject(dc, FBrush.Handle());
    if (!FOldBrush) FOldBrush = old;
    SetBkColor(dc, ColorToRGB(FBrush.Color()));
    SetBkMode(dc, FBrush.Style() == bsClear ? TRANSPARENT : OPAQUE);
  }
  if (font) {
    HGDIOBJ old = SelectObject(dc, FFont.Handle());
    if (!FOldFont) FOldFont = old;
    SetTextColor(dc, ColorToRGB(FFont.Color()));
  }
  FSelected = true;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TPoint TCanvas::PenPos() {
  POINT p{};
  GetCurrentPositionEx(Handle(), &p);
  return p;
}

TRect TCanvas::ClipRect() {
  RECT r{};
  GetClipBox(Handle(), &r);
  return r;
}

TColor TCanvas::Pixels(int x, int y) {
  COLORREF c = GetPixel(Handle(), x, y);
  return c == CLR_INVALID ? TColor(-1) : TColor(c);
}

void TCanvas::SetPixels(int x, int y, TColor c) {
  Changing();
  SetPixel(Handle(), x, y, ColorToRGB(c));
  Changed();
}

void TCanvas::MoveTo(int x, int y) { MoveToEx(Handle(), x, y, nullptr); }

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState(true, true, false);
  win::LineTo(Handle(), x, y);
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState(true, true, false);
  win::Rectangle(Handle(), x1, y1, x2, y2);
  Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int w, int h) {
  Changing();
  RequiredState(true, true, false);
  win::RoundRect(Handle(), x1, y1, x2, y2, w, h);
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  Changing();
  RequiredState(true, true, false);
  win::Ellipse(Handle(), x1, y1, x2, y2);
  Changed();
}

void TCanvas::Polygon(const std::vector<TPoint>& pts) {
  Changing();
  RequiredState(true, true, false);
  win::Polygon(Handle(), pts.data(), int(pts.size()));
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& pts) {
  Changing();
  RequiredState(true, true, false);
  win::Polyline(Handle(), pts.data(), int(pts.size()));
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(false, true, false);
  win::FillRect(Handle(), &r, FBrush.Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(false, true, false);
  win::FrameRect(Handle(), &r, FBrush.Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(false, true, false);
  win::DrawFocusRect(Handle(), &r);
  Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Changing();
  RequiredState(false, true, true);
  ExtTextOut(Handle(), x, y, 0, nullptr, text.data(), int(text.size()), nullptr);
  MoveToEx(Handle(), x + TextWidth(text), y, nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  Changing();
  RequiredState(false, true, true);
  UINT options = ETO_CLIPPED | (FBrush.Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOut(Handle(), x, y, options, &r, text.data(), int(text.size()), nullptr);
  Changed();
}

win::SIZE TCanvas::TextExtent(const std::string& text) {
  RequiredState(false, false, true);
  SIZE s{};
  GetTextExtentPoint32(Handle(), text, &s);
  return s;
}
int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).cy; }

void TCanvas::Draw(int x, int y, TGraphic* g) {
  if (!g || g->Empty()) return;
  Changing();
  g->DrawOn(*this, Bounds(x, y, g->Width(), g->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* g) {
  if (!g || g->Empty()) return;
  Changing();
  g->DrawOn(*this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* src, const TRect& source) {
  if (!src) return;
  Changing();
  RequiredState(false, true, true);
  src->RequiredState(false, true, true);
  StretchBlt(Handle(), dest.left, dest.top, dest.Width(), dest.Height(), src->Handle(), source.left,
             source.top, source.Width(), source.Height(), FCopyMode);
  Changed();
}

void TCanvas::BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color) {
  if (!bitmap || bitmap->Empty()) return;
  Changing();
  RequiredState(false, true, false);
  int w = dest.Width(), h = dest.Height();
  if (w <= 0 || h <= 0) return;
  HDC screen = CreateScreenDC();
  HDC work = CreateCompatibleDC(screen), mask = CreateCompatibleDC(nullptr);
  HBITMAP workBmp = CreateCompatibleBitmap(screen, w, h),
          maskBmp = CreateBitmap(w, h, 1, 1, nullptr);
  HGDIOBJ oldWork = SelectObject(work, workBmp), oldMask = SelectObject(mask, maskBmp);
  HDC src = bitmap->Canvas().Handle();
  StretchBlt(work, 0, 0, w, h, src, source.left, source.top, source.Width(), source.Height(),
             SRCCOPY);
  // Mask: 1 where the work bitmap shows the colour to replace.
  SetBkColor(work, ColorToRGB(color));
  BitBlt(mask, 0, 0, w, h, work, 0, 0, SRCCOPY);
  // Where the mask is set, the brush replaces the pixel: (S ? P : D), the mask in white.
  HGDIOBJ oldBrush = SelectObject(work, FBrush.Handle());
  SetTextColor(work, 0);
  SetBkColor(work, RGB(255, 255, 255));
  BitBlt(work, 0, 0, w, h, mask, 0, 0, 0x00E20746);
  SelectObject(work, oldBrush);
  BitBlt(Handle(), dest.left, dest.top, w, h, work, 0, 0, SRCCOPY);
  SelectObject(work, oldWork), SelectObject(mask, oldMask);
  DeleteObject(workBmp), DeleteObject(maskBmp);
  DeleteDC(work), DeleteDC(mask), DeleteDC(screen);
  Changed();
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}
void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}
bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

// --- TBitmap ---------------------------------------------------------------------------------

void TGraphic::SetTransparent(bool v) {
  if (v != FTransparent) FTransparent = v, Changed();
}

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* b) : FBitmap(b) {}
  ~TBitmapCanvas() override { Free(); }
  void Free() {
    if (!FDC) return;
    SetHandle(nullptr);
    SelectObject(FDC, FOldBitmap);
    DeleteDC(FDC);
    FDC = nullptr;
  }

 protected:
  void CreateHandle() override {
    HDC screen = CreateScreenDC();
    FDC = CreateCompatibleDC(screen);
    DeleteDC(screen);
    FOldBitmap = SelectObject(FDC, FBitmap->FHandle);
    SetHandle(FDC);
  }

 private:
  TBitmap* FBitmap;
  HDC FDC = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
};

TBitmap::TBitmap() { FHandle = CreateBitmap(0, 0, 1, 32, nullptr); }
TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() {
  delete FCanvas;
  DeleteObject(FHandle);
}

const win::Surface& TBitmap::FSurface() const { return *GetBitmapSurface(FHandle); }

win::Surface& TBitmap::Surface() { return *GetBitmapSurface(FHandle); }

void TBitmap::ReleaseDC() {
  if (FCanvas) static_cast<TBitmapCanvas*>(FCanvas)->Free();
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = new TBitmapCanvas(this);
    FCanvas->OnChange = [this](TCanvas*) { Changed(); };
  }
  return *FCanvas;
}

HBITMAP TBitmap::Handle() {
  ReleaseDC();
  return FHandle;
}

void TBitmap::LoadFromSurface(const win::Surface& s) {
  ReleaseDC();
  Surface() = s;
  Changed();
}

void TBitmap::SetSize(int w, int h) {
  w = std::max(0, w), h = std::max(0, h);
  if (w == Width() && h == Height()) return;
  const win::Surface& old = FSurface();
  win::Surface next(w, h, 0xFFFFFF, old.monochrome);
  for (int y = 0; y < std::min(h, old.height); ++y)
    std::copy(old.Row(y), old.Row(y) + std::min(w, old.width), next.Row(y));
  LoadFromSurface(next);
}

TPixelFormat TBitmap::PixelFormat() const {
  if (Monochrome()) return pf1bit;
  return FDeviceFormat ? pfDevice : pf24bit;
}

void TBitmap::SetPixelFormat(TPixelFormat f) {
  bool mono = f == pf1bit;
  FDeviceFormat = f == pfDevice;
  if (mono == Monochrome()) return;
  win::Surface next = FSurface();
  next.monochrome = mono;
  if (mono)
    for (auto& p : next.pixels) {
      int lum = int((p >> 16) & 0xFF) * 30 + int((p >> 8) & 0xFF) * 59 + int(p & 0xFF) * 11;
      p = lum >= 12800 ? 0xFFFFFF : 0;
    }
  LoadFromSurface(next);
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
  if (Empty()) return clDefault;
  return TColor(FSurface().At(0, Height() - 1));
}

void TBitmap::SetTransparentColor(TColor c) {
  FTransparentColor = c;
  FTransparentMode = c == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::Assign(const TBitmap& b) {
  if (&b == this) return;
  FTransparent = b.FTransparent;
  FTransparentColor = b.FTransparentColor;
  FTransparentMode = b.FTransparentMode;
  FDeviceFormat = b.FDeviceFormat;
  LoadFromSurface(b.FSurface());
}

void TBitmap::LoadFromBytes(const std::vector<std::uint8_t>& bmp) {
  LoadFromSurface(DecodeBmp(bmp));
}
std::vector<std::uint8_t> TBitmap::SaveToBytes() const { return EncodeBmp(FSurface()); }

void TBitmap::LoadFromStream(std::istream& in) {
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
  LoadFromBytes(data);
}

void TBitmap::SaveToStream(std::ostream& out) const {
  std::vector<std::uint8_t> v = SaveToBytes();
  out.write(reinterpret_cast<const char*>(v.data()), std::streamsize(v.size()));
}

void TBitmap::LoadFromFile(const std::string& hostPath) {
  std::ifstream f(hostPath, std::ios::binary);
  if (!f) throw Exception("Impossible d'ouvrir le fichier \"" + hostPath + "\".");
  std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(f)),
                                 std::istreambuf_iterator<char>());
  if (data.size() >= 8 && data[0] == 0x89 && data[1] == 'P')
    LoadFromSurface(DecodePng(data));
  else
    LoadFromBytes(data);
}

void TBitmap::SaveToFile(const std::string& hostPath) const {
  std::ofstream f(hostPath, std::ios::binary | std::ios::trunc);
  if (!f) throw Exception("Impossible de créer le fichier \"" + hostPath + "\".");
  SaveToStream(f);
}

void TBitmap::LoadFromResourceName(std::uintptr_t, const std::string& name) {
  auto s = FindBitmapResource(name);
  if (!s) throw Exception("Ressource " + name + " introuvable");
  LoadFromSurface(*s);
}

void TBitmap::DrawOn(TCanvas& canvas, const TRect& r) {
  HDC dst = canvas.Handle();
  HDC src = Canvas().Handle();
  if (FTransparent) {
    TransparentBlt(dst, r.left, r.top, r.Width(), r.Height(), src, 0, 0, Width(), Height(),
                   ColorToRGB(TransparentColor()));
    return;
  }
  COLORREF oldText = 0, oldBk = 0;
  if (Monochrome()) oldText = SetTextColor(dst, 0), oldBk = SetBkColor(dst, RGB(255, 255, 255));
  StretchBlt(dst, r.left, r.top, r.Width(), r.Height(), src, 0, 0, Width(), Height(),
             canvas.CopyMode());
  if (Monochrome()) SetTextColor(dst, oldText), SetBkColor(dst, oldBk);
}

// --- TPicture -------------------------------------------------------------------------------

TPicture::~TPicture() { delete FGraphic; }

TBitmap* TPicture::Bitmap() {
  if (!FGraphic) {
    FGraphic = new TBitmap;
    FGraphic->OnChange = [this](TGraphicsObject*) { Changed(); };
  }
  return FGraphic;
}

void TPicture::SetBitmap(const TBitmap* b) {
  if (!b) return Clear();
  Bitmap()->Assign(*b);
  Changed();
}

void TPicture::Assign(const TPicture& p) {
  if (&p == this) return;
  if (!p.FGraphic) return Clear();
  SetBitmap(p.FGraphic);
}

void TPicture::LoadFromFile(const std::string& hostPath) {
  Bitmap()->LoadFromFile(hostPath);
  Changed();
}

void TPicture::Clear() {
  delete FGraphic;
  FGraphic = nullptr;
  Changed();
}
