#pragma once
// Timers, bevels and images.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"

// Fires OnTimer every Interval milliseconds of the platform clock while Enabled, from the
// message loop (WM_TIMER on its own window handle). In simulated time an idle loop moves
// the clock on to the next due timer, so long intervals cost nothing.
class TTimer : public TComponent {
  WI_CLASS(TTimer, TComponent)
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v);
  int Interval() const { return FInterval; }
  void SetInterval(int v);
  TNotifyEvent OnTimer;

 protected:
  void Loaded() override;
  virtual void Timer() { OnTimer(this); }

 private:
  void UpdateTimer();
  bool FEnabled = true;
  int FInterval = 1000;
  win::HWND FWindow = nullptr;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
  WI_CLASS(TBevel, TGraphicControl)
 public:
  explicit TBevel(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 50, 50); }
  TBevelShape Shape() const { return FShape; }
  void SetShape(TBevelShape v) {
    if (v != FShape) {
      FShape = v;
      Invalidate();
    }
  }
  TBevelStyle Style() const { return FStyle; }
  void SetStyle(TBevelStyle v) {
    if (v != FStyle) {
      FStyle = v;
      Invalidate();
    }
  }

 private:
  TBevelShape FShape = bsBox;
  TBevelStyle FStyle = bsLowered;
};

// The picture of an image: a bitmap held as 32-bit pixels (TColor values) plus the stored
// bytes it came from, so that a description is written back as it was read. Stored in
// descriptions as "Picture.Data": a length-prefixed class name ("TBitmap") followed by the
// bitmap's size (4 bytes) and its BMP file.
class TImagePicture : public TPersistent {
  WI_CLASS(TImagePicture, TPersistent)
 public:
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // 0x00BBGGRR; clNone outside the picture.
  TColor Pixels(int x, int y) const;
  void SetPixels(int x, int y, TColor c);
  void SetSize(int width, int height);
  // BMP files (1, 4, 8, 24 and 32 bits per pixel, uncompressed). Throws Exception for
  // anything else.
  void LoadFromBmp(const std::string& bmp);
  std::string SaveToBmp() const;  // 24 bits per pixel
  void LoadFromFile(const std::string& hostPath);
  void Clear();
  void Assign(TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;
  TNotifyEvent OnChange;

 private:
  void ReadData(const std::string& data);
  void WriteData(std::string& data) const;
  void Changed() {
    FStored.clear();
    OnChange(this);
  }
  int FWidth = 0, FHeight = 0;
  std::vector<TColor> FPixels;
  std::string FStored;  // the stored form of the current pixels, when read from one
};

class TImage : public TGraphicControl {
  WI_CLASS(TImage, TGraphicControl)
 public:
  explicit TImage(TComponent* owner);
  TImagePicture* Picture() const { return FPicture.get(); }
  void SetPicture(TImagePicture* p) { FPicture->Assign(p); }
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool v);
  bool Center() const { return FCenter; }
  void SetCenter(bool v) {
    if (v != FCenter) {
      FCenter = v;
      Invalidate();
    }
  }
  bool Stretch() const { return FStretch; }
  void SetStretch(bool v) {
    if (v != FStretch) {
      FStretch = v;
      Invalidate();
    }
  }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v) {
    if (v != FTransparent) {
      FTransparent = v;
      Invalidate();
    }
  }
  // Where the picture lands in the control (Center, Stretch).
  win::RECT DestRect() const;
  // The colour shown at a point of the control: the picture's pixel, or the parent's
  // colour where the picture does not reach or is transparent (its lower-left colour).
  TColor PixelAt(int x, int y) const;

 private:
  void PictureChanged();
  std::unique_ptr<TImagePicture> FPicture;
  bool FAutoSize = false, FCenter = false, FStretch = false, FTransparent = false;
};
