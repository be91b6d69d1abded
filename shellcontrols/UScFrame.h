#pragma once
// Framing controls of the shell controls: one set of eleven frame styles shared by
// TScGroup (a windowed container whose frame lies outside its client area, with a
// group-box caption style) and TScFrame (a windowless control painting a frame and a
// one-line caption: a status line).
//
// The toolkit has no non-client area of its own: a group answers WM_NCCALCSIZE itself
// and its client area is the window rectangle shrunk by the frame (in window
// coordinates, so aligned children sit inside the frame).
#include <string>

#include "platform/forms/CommonControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/graphics/Graphics.h"

enum TScFrameStyle : unsigned char {
  scfsNone,
  scfsGroup,
  scfsLowered,
  scfsRaised,
  scfsDint,
  scfsBump,
  scfsSingle,
  scfsHorzLine,
  scfsHorzEdge,
  scfsVertLine,
  scfsVertEdge
};

using TScFramePaintEvent = TEvent<TObject*, TCanvas*>;

namespace win {
inline constexpr UINT WM_NCCALCSIZE = 0x0083;
inline constexpr LRESULT WVR_HREDRAW = 0x0100, WVR_VREDRAW = 0x0200;
struct NCCALCSIZE_PARAMS {
  RECT rgrc[3]{};
  void* lppos = nullptr;
};
}  // namespace win

// Shrinks r by the width the style takes from each side (scfsGroup: left to the group).
void AdjustFrameRect(TScFrameStyle style, TRect& r);

// Frame painters: an inclusive rectangle; lines are polylines whose last point is not
// painted.
void DrawLoweredFrame(TCanvas& c, const TRect& r);
void DrawRaisedFrame(TCanvas& c, const TRect& r);
void DrawDintFrame(TCanvas& c, const TRect& r);
void DrawBumpFrame(TCanvas& c, const TRect& r);
void DrawSingleFrame(TCanvas& c, const TRect& r);
void DrawHorzLine(TCanvas& c, const TRect& r);
void DrawHorzEdge(TCanvas& c, const TRect& r);
void DrawVertLine(TCanvas& c, const TRect& r);
void DrawVertEdge(TCanvas& c, const TRect& r);
void DrawGroupFrame(TCanvas& c, const TRect& r, const std::string& caption, bool enabled,
                    TColor color);
// The style's painter (scfsGroup: DrawGroupFrame with the caption, enabled and colour).
void DrawFrameStyle(TCanvas& c, TScFrameStyle style, const TRect& r, const std::string& caption,
                    bool enabled, TColor color);
// DrawTextEx of text in r with format, in the canvas font and colours.
void DrawFrameCaption(TCanvas& c, TRect r, win::UINT format, const std::string& text);
// DT_LEFT / DT_RIGHT / DT_CENTER with DT_SINGLELINE, DT_VCENTER and DT_END_ELLIPSIS.
win::UINT FrameCaptionFormat(TAlignment a);

class TScCustomGroup : public TCustomControl {
  WI_CLASS(TScCustomGroup, TCustomControl)
 public:
  explicit TScCustomGroup(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool v);
  int FrameSpace() const { return FFrameSpace; }
  void SetFrameSpace(int v);
  TScFrameStyle FrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TScFrameStyle v);
  bool FrameStyleChanged() const { return FFrameStyleChanged; }

  // The client area inside the frame, in window coordinates (WM_NCCALCSIZE's answer).
  TRect FrameClientRect();
  int ClientWidth() const override;
  int ClientHeight() const override;
  win::RECT AdjustClientRect() const override;

  // The frame over the whole window rectangle.
  virtual void DrawFrame(TCanvas& canvas, TRect r);
  void WndProc(TMessage& msg) override;
  // The non-client area is recalculated and repainted.
  void FrameChanged();
  void EnableChildren(bool v);
  // Window class without CS_HREDRAW / CS_VREDRAW, window with WS_EX_CONTROLPARENT.
  static constexpr win::DWORD ExStyle = 0x00010000;

  TScFramePaintEvent OnPaint;

 protected:
  void Paint() override;

 private:
  win::LRESULT NcCalcSize(win::NCCALCSIZE_PARAMS& p, bool validRects);
  void NcPaint(win::HDC dc);
  TAlignment FAlignment = taCenter;
  bool FDefaultDrawing = true;
  int FFrameSpace = 2;
  TScFrameStyle FFrameStyle = scfsGroup;
  bool FFrameStyleChanged = false;
};

class TScGroup : public TScCustomGroup {
  WI_CLASS(TScGroup, TScCustomGroup)
 public:
  explicit TScGroup(TComponent* owner) : TScCustomGroup(owner) {}
};

class TScCustomFrame : public TGraphicControl {
  WI_CLASS(TScCustomFrame, TGraphicControl)
 public:
  explicit TScCustomFrame(TComponent* owner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool v);
  int FrameSpace() const { return FFrameSpace; }
  void SetFrameSpace(int v);
  TScFrameStyle FrameStyle() const { return FFrameStyle; }
  void SetFrameStyle(TScFrameStyle v);
  void WndProc(TMessage& msg) override;
  // Invalidates what lies inside the frame (on the parent, without erasing).
  void InvalidateFrame();

  TScFramePaintEvent OnPaint;

 protected:
  void Paint() override;

 private:
  TAlignment FAlignment = taCenter;
  bool FDefaultDrawing = true;
  int FFrameSpace = 2;
  TScFrameStyle FFrameStyle = scfsLowered;
};

class TScFrame : public TScCustomFrame {
  WI_CLASS(TScFrame, TScCustomFrame)
 public:
  explicit TScFrame(TComponent* owner) : TScCustomFrame(owner) {}
};

// Property helpers shared with the pane.
void PublishFrameStyle(TPropList& p, const char* name, TScFrameStyle (TScCustomGroup::*get)() const,
                       void (TScCustomGroup::*set)(TScFrameStyle), TScFrameStyle def);
