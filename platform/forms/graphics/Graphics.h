#pragma once
// The toolkit's drawing objects over the device-context layer: colours, TCanvasFont, TPen,
// TBrush, TCanvas, TBitmap and TPicture. The canvas font has its own name: the controls'
// stored TFont (Controls.h) is a different class and both are linked into one program.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "platform/forms/graphics/ColorConstants.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"

using TRect = win::RECT;
using TPoint = win::POINT;
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }
inline TPoint Point(int x, int y) { return TPoint{x, y}; }

// --- Colours -------------------------------------------------------------------------------
// 0x00BBGGRR, or 0x80000000 | system colour index.
constexpr TColor SysColor(int index) { return TColor(0x80000000u | unsigned(index)); }

// System colours resolved through the palette; plain colours returned as they are.
win::COLORREF ColorToRGB(TColor c);
// "clBtnFace", or "$00BBGGRR" for a colour without a name.
std::string ColorToString(TColor c);
// A name (any case), "$hex" or a decimal number; throws Exception for anything else.
TColor StringToColor(const std::string& s);
bool IdentToColor(const std::string& ident, TColor& out);
bool ColorToIdent(TColor c, std::string& out);

// --- Graphics objects ------------------------------------------------------------------------

class TGraphicsObject {
 public:
  virtual ~TGraphicsObject() = default;
  std::function<void(TGraphicsObject*)> OnChange;

 protected:
  void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
class TFontStyles {
 public:
  TFontStyles() = default;
  TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (TFontStyle s : styles) Include(s);
  }
  bool Contains(TFontStyle s) const { return bits_ & (1u << s); }
  TFontStyles& Include(TFontStyle s) { return bits_ |= std::uint8_t(1u << s), *this; }
  TFontStyles& Exclude(TFontStyle s) { return bits_ &= std::uint8_t(~(1u << s)), *this; }
  bool Empty() const { return bits_ == 0; }
  std::uint8_t Bits() const { return bits_; }
  friend bool operator==(TFontStyles, TFontStyles) = default;

 private:
  std::uint8_t bits_ = 0;
};
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = std::uint8_t;

class TCanvasFont : public TGraphicsObject {
 public:
  TCanvasFont();
  ~TCanvasFont() override;
  TCanvasFont(const TCanvasFont&) = delete;
  TCanvasFont& operator=(const TCanvasFont&) = delete;
  void Assign(const TCanvasFont& f);

  const std::string& Name() const { return FName; }
  void SetName(const std::string& v);
  int Size() const;  // points, at PixelsPerInch
  void SetSize(int points);
  int Height() const { return FHeight; }  // negative: character height in pixels
  void SetHeight(int v);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset v);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch v);
  int Orientation() const { return FOrientation; }  // tenths of a degree
  void SetOrientation(int v);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int v) { FPixelsPerInch = v > 0 ? v : 96; }
  // The font handle, created on demand and owned by the font.
  win::HFONT Handle();
  // Adopts a font handle's logical font (the handle stays the caller's).
  void SetHandle(win::HFONT h);
  win::LOGFONT LogFont() const;

 private:
  void Change();
  std::string FName = "MS Sans Serif";
  int FHeight = -11;
  TFontStyles FStyle;
  TColor FColor = clWindowText;
  TFontCharset FCharset = win::DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  int FOrientation = 0;
  int FPixelsPerInch = 96;
  win::HFONT FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  ~TPen() override;
  TPen(const TPen&) = delete;
  TPen& operator=(const TPen&) = delete;
  void Assign(const TPen& p);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  int Width() const { return FWidth; }
  void SetWidth(int v);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle v);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode v);
  int Rop2() const;  // the R2_ code of Mode
  win::HPEN Handle();

 private:
  void Change();
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  win::HPEN FHandle = nullptr;
};

class TBitmap;
enum TBrushStyle {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  ~TBrush() override;
  TBrush(const TBrush&) = delete;
  TBrush& operator=(const TBrush&) = delete;
  void Assign(const TBrush& b);
  TColor Color() const { return FColor; }
  void SetColor(TColor v);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle v);
  // A pattern bitmap (not owned); null for none.
  TBitmap* Bitmap() const { return FBitmap; }
  void SetBitmap(TBitmap* b);
  win::HBRUSH Handle();

 private:
  void Change();
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  TBitmap* FBitmap = nullptr;
  win::HBRUSH FHandle = nullptr;
};

// --- Canvas ------------------------------------------------------------------------------------

using TCopyMode = win::DWORD;
inline constexpr TCopyMode cmBlackness = win::BLACKNESS, cmDstInvert = win::DSTINVERT,
                           cmMergeCopy = win::MERGECOPY, cmMergePaint = win::MERGEPAINT,
                           cmNotSrcCopy = win::NOTSRCCOPY, cmNotSrcErase = win::NOTSRCERASE,
                           cmPatCopy = win::PATCOPY, cmPatInvert = win::PATINVERT,
                           cmPatPaint = win::PATPAINT, cmSrcAnd = win::SRCAND,
                           cmSrcCopy = win::SRCCOPY, cmSrcErase = win::SRCERASE,
                           cmSrcInvert = win::SRCINVERT, cmSrcPaint = win::SRCPAINT,
                           cmWhiteness = win::WHITENESS;

class TGraphic;

class TCanvas {
 public:
  TCanvas();
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The device context; a canvas without one asks CreateHandle, which descendants
  // (control canvases, bitmap canvases) override. Throws Exception when none can be had.
  win::HDC Handle();
  // Attaches a DC the caller owns (null detaches).
  void SetHandle(win::HDC dc);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TCanvasFont& Font() { return FFont; }
  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  void SetFont(const TCanvasFont& f) { FFont.Assign(f); }
  void SetPen(const TPen& p) { FPen.Assign(p); }
  void SetBrush(const TBrush& b) { FBrush.Assign(b); }
  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode m) { FCopyMode = m; }
  TPoint PenPos();
  void SetPenPos(TPoint p) { MoveTo(p.x, p.y); }
  TRect ClipRect();
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor c);

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int w, int h);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
  void Polygon(const std::vector<TPoint>& pts);
  void Polyline(const std::vector<TPoint>& pts);
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);
  void TextOut(int x, int y, const std::string& text);
  // Text clipped to r; with an opaque brush the rectangle is filled first.
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  int TextWidth(const std::string& text);
  int TextHeight(const std::string& text);
  win::SIZE TextExtent(const std::string& text);
  void Draw(int x, int y, TGraphic* g);
  void StretchDraw(const TRect& r, TGraphic* g);
  void CopyRect(const TRect& dest, TCanvas* src, const TRect& source);
  // Copies source of the bitmap, replacing the pixels of colour `color` by this brush.
  void BrushCopy(const TRect& dest, TBitmap* bitmap, const TRect& source, TColor color);
  void Refresh();

  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount; }

  std::function<void(TCanvas*)> OnChange, OnChanging;

 protected:
  virtual void CreateHandle() {}
  // Pen, brush and font handles selected into the DC, and its colours set.
  void RequiredState(bool pen, bool brush, bool font);
  void Changing();
  void Changed();
  void DeselectHandles();

 private:
  win::HDC FHandle = nullptr;
  TCanvasFont FFont;
  TPen FPen;
  TBrush FBrush;
  TCopyMode FCopyMode = cmSrcCopy;
  std::recursive_mutex FLock;
  int FLockCount = 0;
  bool FSelected = false;
  win::HGDIOBJ FOldPen = nullptr, FOldBrush = nullptr, FOldFont = nullptr;
};

// --- Graphics -----------------------------------------------------------------------------------

class TGraphic : public TGraphicsObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual bool Empty() const = 0;
  // Paints the graphic into r of the canvas.
  virtual void DrawOn(TCanvas& canvas, const TRect& r) = 0;
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool v);

 protected:
  bool FTransparent = false;
};

enum TPixelFormat {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  void Assign(const TBitmap& b);

  int Width() const override { return FSurface().width; }
  int Height() const override { return FSurface().height; }
  bool Empty() const override { return Width() == 0 || Height() == 0; }
  void SetWidth(int w) { SetSize(w, Height()); }
  void SetHeight(int h) { SetSize(Width(), h); }
  // Keeps the pixels that still fit; new pixels are white.
  void SetSize(int w, int h);
  TPixelFormat PixelFormat() const;
  void SetPixelFormat(TPixelFormat f);
  bool Monochrome() const { return FSurface().monochrome; }
  void SetMonochrome(bool v) { SetPixelFormat(v ? pf1bit : pf24bit); }
  // tmAuto: the lower-left pixel's colour.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor c);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode m) { FTransparentMode = m; }

  TCanvas& Canvas();
  // The bitmap handle (owned by the TBitmap); taking it lets other DCs select it.
  win::HBITMAP Handle();
  // Direct access to the pixels.
  win::Surface& Surface();
  const win::Surface& Surface() const { return FSurface(); }
  void Changed() { TGraphicsObject::Changed(); }

  // BMP data (as stored bitmaps hold it).
  void LoadFromBytes(const std::vector<std::uint8_t>& bmp);
  std::vector<std::uint8_t> SaveToBytes() const;
  void LoadFromStream(std::istream& in);
  void SaveToStream(std::ostream& out) const;
  // .bmp or .png by content, host paths.
  void LoadFromFile(const std::string& hostPath);
  void SaveToFile(const std::string& hostPath) const;
  // An in-program resource (BitmapResources). Throws Exception "Ressource %s introuvable".
  void LoadFromResourceName(std::uintptr_t instance, const std::string& name);
  void LoadFromSurface(const win::Surface& s);

  void DrawOn(TCanvas& canvas, const TRect& r) override;

 private:
  friend class TBitmapCanvas;
  const win::Surface& FSurface() const;
  void ReleaseDC();
  win::HBITMAP FHandle = nullptr;
  TCanvas* FCanvas = nullptr;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  bool FDeviceFormat = true;
};

class TPicture : public TGraphicsObject {
 public:
  TPicture() = default;
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  // Creates an empty bitmap when the picture holds nothing.
  TBitmap* Bitmap();
  void SetBitmap(const TBitmap* b);
  TGraphic* Graphic() const { return FGraphic; }
  void Assign(const TPicture& p);
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }
  void LoadFromFile(const std::string& hostPath);
  void Clear();

 private:
  TBitmap* FGraphic = nullptr;
};
