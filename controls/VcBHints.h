#pragma once
// Balloon hints: a form places one TVcBalloonHints; it makes the application draw every hint
// with TVcCustomHintWindow, a rounded box whose pointer shows the spot where the mouse
// rests (or a box drawn from four corner bitmaps, or a plain box), with the component's
// colours, font, width and corner.
#include <string>

#include "controls/VcCommon.h"
#include "controls/VcGrafx.h"
#include "controls/VcLabel.h"
#include "platform/forms/HintWindow.h"

// Where the balloon lies from the anchor: hcLowerRight is below and right of it.
enum TVcHintCorner { hcLowerRight, hcLowerLeft, hcUpperLeft, hcUpperRight };
enum TVcBalloonStyle { bsStandard, bsBubble };

using TSetHintWinSizeEvent =
    TEvent<TObject*, TCanvas*, int&, int&, const std::string&, TVcHintCorner>;
using TSetHintRectEvent = TEvent<TObject*, TCanvas*, TRect&, const std::string&, TVcHintCorner>;

// The four corner bitmaps of a balloon, stored with the form; each setter copies the given
// picture (nothing for the object's own) and then fires OnChange.
class TVcBalloonBitmaps : public TPersistent {
  WI_CLASS(TVcBalloonBitmaps, TPersistent)
 public:
  TVcBalloonBitmaps();
  TImagePicture* LowerRight() const { return Picture(hcLowerRight); }
  virtual void SetLowerRight(TImagePicture* b) { SetPicture(hcLowerRight, b); }
  TImagePicture* LowerLeft() const { return Picture(hcLowerLeft); }
  virtual void SetLowerLeft(TImagePicture* b) { SetPicture(hcLowerLeft, b); }
  TImagePicture* UpperLeft() const { return Picture(hcUpperLeft); }
  virtual void SetUpperLeft(TImagePicture* b) { SetPicture(hcUpperLeft, b); }
  TImagePicture* UpperRight() const { return Picture(hcUpperRight); }
  virtual void SetUpperRight(TImagePicture* b) { SetPicture(hcUpperRight, b); }
  TImagePicture* Picture(TVcHintCorner c) const { return FBitmaps[c].Picture(); }
  // The corner's bitmap as it is drawn.
  TBitmap* Bitmap(TVcHintCorner c) const { return FBitmaps[c].Bitmap(); }
  bool AnyBitmap() const;
  int TransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(int v) { FTransparentColor = v; }
  TNotifyEvent OnChange;

 private:
  void SetPicture(TVcHintCorner c, TImagePicture* b);
  TPictureBitmap FBitmaps[4];
  int FTransparentColor = clOlive;
};

class TVcCustomHintWindow;

class TVcBalloonHints : public TComponent {
  WI_CLASS(TVcBalloonHints, TComponent)
 public:
  explicit TVcBalloonHints(TComponent* owner);
  ~TVcBalloonHints() override;

  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}
  TFont* Font() const { return FFont; }
  virtual void SetFont(TFont* v);
  int Color() const { return FColor; }
  virtual void SetColor(int v);
  int CaptionWidth() const { return FCaptionWidth; }
  virtual void SetCaptionWidth(int v);
  TVcBalloonStyle BalloonStyle() const { return FBalloonStyle; }
  virtual void SetBalloonStyle(TVcBalloonStyle v);
  TAlignment Alignment() const { return FAlignment; }
  virtual void SetAlignment(TAlignment v);
  TVcHintCorner Corner() const { return FCorner; }
  virtual void SetCorner(TVcHintCorner v);
  virtual void SetOnSetHintWinSize(const TSetHintWinSizeEvent& v);
  virtual void SetOnSetHintRect(const TSetHintRectEvent& v);
  // The application's pauses, read and written through.
  virtual int HintPause() const;
  virtual void SetHintPause(int v);
  virtual int HintShortPause() const;
  virtual void SetHintShortPause(int v);
  TVcBalloonBitmaps* Bitmaps() const { return FBitmaps; }
  bool Shadow() const { return FShadow; }
  void SetShadow(bool v) { FShadow = v; }
  bool ShowBalloon() const { return FShowBalloon; }
  void SetShowBalloon(bool v) { FShowBalloon = v; }

  // The window linked to the component (none at first).
  TVcCustomHintWindow* HintWindow() const { return FHintWindow; }
  // Links component and window both ways and copies the settings into the window.
  static void ApplySettings(TVcBalloonHints* hints, TVcCustomHintWindow* window);

  TSetHintWinSizeEvent OnSetHintWinSize;
  TSetHintRectEvent OnSetHintRect;
  TShowHintEvent OnShowHint;

 private:
  friend class TVcCustomHintWindow;
  void PassFont();
  TVcBalloonBitmaps* FBitmaps;
  TFont* FFont;
  int FColor = clInfoBk;
  int FCaptionWidth = 100;
  TVcBalloonStyle FBalloonStyle = bsStandard;
  TAlignment FAlignment = taLeftJustify;
  TVcHintCorner FCorner = hcUpperRight;
  bool FShadow = false;
  bool FShowBalloon = false;
  TVcCustomHintWindow* FHintWindow = nullptr;
  std::function<TCustomControl*(TComponent*)> FSavedHintWindowClass;
};

class TVcCustomHintWindow : public THintWindow {
  WI_CLASS(TVcCustomHintWindow, THintWindow)
 public:
  explicit TVcCustomHintWindow(TComponent* owner);
  ~TVcCustomHintWindow() override;
  void ActivateHint(const TRect& rect, const std::string& hint) override;
  bool IsHintMsg(const TMessage& msg) override;
  void CreateParams(TCreateParams& params) override;
  void WndProc(TMessage& msg) override;

  TVcBalloonHints* BalloonHints() const { return FHints; }
  TVcHintCorner CornerInUse() const { return FCornerInUse; }
  bool Active() const { return FActive; }
  int CaptionWidth() const { return FCaptionWidth; }
  TVcHintCorner Corner() const { return FCorner; }
  // The hint being shown as the show-hint handler left it.
  const THintInfo& HintInfo() const { return FHintInfo; }

 protected:
  void Paint() override;

 private:
  friend class TVcBalloonHints;
  void ShowHintHandler(std::string& hintStr, bool& canShow, THintInfo& info);
  void HintTextChanged();
  void SyncCanvasFont();
  void DrawFromBitmaps(TCanvas* c);
  TPoint Anchor() const;
  // Passes a mouse message (hint-window coordinates) on to the hinted control.
  void PassMouse(TMessage& m);

  TVcBalloonHints* FHints = nullptr;
  int FCaptionWidth = 100;
  TVcBalloonStyle FBalloonStyle = bsStandard;
  TVcHintCorner FCorner = hcUpperRight;
  TVcHintCorner FCornerInUse = hcUpperRight;
  TAlignment FAlignment = taLeftJustify;
  TVcBalloonBitmaps* FBitmaps = nullptr;
  TSetHintWinSizeEvent FOnSetHintWinSize;
  TSetHintRectEvent FOnSetHintRect;
  THintInfo FHintInfo;
  bool FActive = false;
};
