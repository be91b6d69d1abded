#pragma once
// The label of the visual controls: the toolkit label with rotated text (a straight line at
// any angle, or characters laid along an ellipse), raised, recessed and drop-shadow text,
// blinking in step with every other blinking control, a fly-by colour while the pointer is
// over it, and borders of its own (black frame sides, outer border, band, inner border).
#include <string>

#include "controls/VcCommon.h"
#include "platform/forms/CommonControls.h"
#include "platform/forms/StdCtrls.h"

// Vertical layout of labels and hints; their alignment is the toolkit's TAlignment.
enum TTextLayout { tlTop, tlCenter, tlBottom };

enum TRotation { roNone, roFlat, roCurve };
enum TCenterPoint {
  cpUpperLeft,
  cpUpperCenter,
  cpUpperRight,
  cpLeftCenter,
  cpCenter,
  cpRightCenter,
  cpLowerLeft,
  cpLowerCenter,
  cpLowerRight
};

class TVcLabel : public TLabel {
  WI_CLASS(TVcLabel, TLabel)
 public:
  explicit TVcLabel(TComponent* owner);
  ~TVcLabel() override;

  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}

  // The toolkit label's own settings, redone here so that a change resizes the label.
  bool AutoSize() const { return TLabel::AutoSize(); }
  void SetAutoSize(bool v);
  bool WordWrap() const { return TLabel::WordWrap(); }
  void SetWordWrap(bool v);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment v);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool v);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool v);

  int Angle() const { return FAngle; }
  virtual void SetAngle(int v);
  bool Blinking() const { return FBlinking; }
  virtual void SetBlinking(bool v);
  int BlinkColor() const { return FBlinkColor; }
  virtual void SetBlinkColor(int v);
  // The shared blink clock's intervals: the last value set applies to every label.
  virtual int BlinkIntervalOff() const;
  virtual void SetBlinkIntervalOff(int v);
  virtual int BlinkIntervalOn() const;
  virtual void SetBlinkIntervalOn(int v);
  int BevelWidth() const { return FBevelWidth; }
  virtual void SetBevelWidth(int v);
  int BorderColor() const { return FBorderColor; }
  virtual void SetBorderColor(int v);
  TFrameStyle BorderInner() const { return FBorderInner; }
  virtual void SetBorderInner(TFrameStyle v);
  TFrameStyle BorderOuter() const { return FBorderOuter; }
  virtual void SetBorderOuter(TFrameStyle v);
  TSides BorderSides() const { return FBorderSides; }
  virtual void SetBorderSides(TSides v);
  int BorderHighlight() const { return FBorderHighlight; }
  virtual void SetBorderHighlight(int v);
  int BorderShadow() const { return FBorderShadow; }
  virtual void SetBorderShadow(int v);
  int BorderWidth() const { return FBorderWidth; }
  virtual void SetBorderWidth(int v);
  int FlatColor() const { return FFlatColor; }
  virtual void SetFlatColor(int v);
  TSides FrameSides() const { return FFrameSides; }
  virtual void SetFrameSides(TSides v);
  TCenterPoint CenterPoint() const { return FCenterPoint; }
  virtual void SetCenterPoint(TCenterPoint v);
  int FlyByColor() const { return FFlyByColor; }
  virtual void SetFlyByColor(int v);
  bool FlyByEnabled() const { return FFlyByEnabled; }
  virtual void SetFlyByEnabled(bool v);
  virtual TTextLayout Layout() const { return FLayout; }
  virtual void SetLayout(TTextLayout v);
  bool LightTextStyle() const { return FLightTextStyle; }
  virtual void SetLightTextStyle(bool v);
  TRotation Rotation() const { return FRotation; }
  virtual void SetRotation(TRotation v);
  TTextStyle TextStyle() const { return FTextStyle; }
  virtual void SetTextStyle(TTextStyle v);
  int HighlightColor() const { return FHighlightColor; }
  virtual void SetHighlightColor(int v);
  int ShadowColor() const { return FShadowColor; }
  virtual void SetShadowColor(int v);
  int ShadowDepth() const { return FShadowDepth; }
  virtual void SetShadowDepth(int v);

  // The colour the text is drawn in now (normal or blink colour).
  int DisplayColor() const { return FDisplayColor; }
  // The area left to the text inside frame, borders and (withBand) the band.
  TRect DeflateForBorders(TRect r, bool withBand) const;
  // Sizes the label to its text when AutoSize is on.
  virtual void AdjustBounds();

  void WndProc(TMessage& msg) override;
  void Loaded() override;

 protected:
  void Paint() override;
  // The caption as drawn (no accelerator processing of its own).
  virtual std::string GetLabelText() const { return Caption(); }
  virtual void ApplyBlinkState(bool on);
  virtual void InflateForBorders(TRect& r) const;
  virtual void MouseEnter() { OnMouseEnter(this); }
  virtual void MouseLeave() { OnMouseLeave(this); }
  void FontChanged() override;

 private:
  bool FontIsTrueType() const;
  void UseTrueTypeFont();
  unsigned TextFlags() const;
  // Moves an unrotated copy's rectangle for Layout (and right alignment).
  void PlaceText(win::HDC dc, const std::string& text, TRect& r, unsigned flags) const;
  void DrawRotatedText(TCanvas* c);
  void DrawCurvedText(TCanvas* c);
  TRect DrawStyledBorder(TCanvas* c, const TRect& r, TFrameStyle style) const;

  TAlignment FAlignment = taLeftJustify;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  int FAngle = 0;
  TRotation FRotation = roNone;
  TCenterPoint FCenterPoint = cpCenter;
  TTextStyle FTextStyle = tsNormal;
  bool FLightTextStyle = false;
  int FHighlightColor = clBtnHighlight;
  int FShadowColor = clBtnShadow;
  int FShadowDepth = 2;
  bool FBlinking = false;
  int FBlinkColor = clHighlight;
  bool FFlyByEnabled = false;
  int FFlyByColor = clHighlight;
  TSides FFrameSides;
  TFrameStyle FBorderOuter = fsNone;
  TFrameStyle FBorderInner = fsNone;
  TSides FBorderSides = AllSides;
  int FBorderWidth = 0;
  int FBorderColor = clBtnFace;
  int FBorderHighlight = clBtnHighlight;
  int FBorderShadow = clBtnShadow;
  int FBevelWidth = 1;
  int FFlatColor = clBlack;
  TTextLayout FLayout = tlTop;
  int FNormalColor = clWindowText;   // the font colour when not blinking
  int FDisplayColor = clWindowText;  // what the text is drawn in
  int FFlyBySavedColor = clBlack;    // font colour at the last pointer entry
  bool FInFontChange = false;
};
