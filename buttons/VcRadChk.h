#pragma once
// Glyph buttons: a glyph taken from a bitmap strip beside a caption, painted off-screen; the
// radio button of this family; the action link that follows an action's checked state; and
// the painter that copies a parent's background for the transparent look. The built-in
// strips are drawn here as text pixel maps and registered as bitmap resources at start-up.
#include <memory>

#include "buttons/VcButton.h"
// TLeftRight: one alignment type with the framed edit, so a form may place both.
#include "controls/VcEdit.h"
#include "controls/VcGrafx.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/ExtCtrls.h"

// Key colours of the strips: olive around the glyph, teal inside it (drawn in clWindow).
inline constexpr TColor VcGlyphTransparentColor = clOlive;  // 32896
inline constexpr TColor VcGlyphWinMaskColor = clTeal;       // 8421376

// The shared strips, loaded from the resources on first use and kept until exit.
TBitmap* VcRadChkStrip(const std::string& ResourceName);

class TVcCustomGlyphButton;

class TVcCheckedActionLink {
 public:
  explicit TVcCheckedActionLink(TAction* Action) : FAction(Action) {}
  void AssignClient(TVcCustomGlyphButton* Client) { FClient = Client; }
  TVcCustomGlyphButton* Client() const { return FClient; }
  bool IsCheckedLinked() const;
  void SetChecked(bool Value);

 private:
  TAction* FAction;
  TVcCustomGlyphButton* FClient = nullptr;
};

class TVcCustomGlyphButton : public TVcCustomButton {
  WI_CLASS(TVcCustomGlyphButton, TVcCustomButton)
 public:
  explicit TVcCustomGlyphButton(TComponent* AOwner);
  ~TVcCustomGlyphButton() override;

  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}
  TLeftRight Alignment() const { return FAlignment; }
  virtual void SetAlignment(TLeftRight Value);
  bool Checked() const { return GetChecked(); }
  virtual bool GetChecked() const { return false; }
  virtual void SetChecked(bool) {}
  TImagePicture* CustomGlyphs() const { return FCustomGlyphs.get(); }
  virtual void SetCustomGlyphs(TImagePicture* Value);
  bool Flat() const { return FFlat; }
  virtual void SetFlat(bool) {}
  bool UseCustomGlyphs() const { return FUseCustomGlyphs; }
  virtual void SetUseCustomGlyphs(bool Value);
  bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  int TransparentColor() const { return FTransparentColor; }
  virtual void SetTransparentColor(int Value);
  int WinMaskColor() const { return FWinMaskColor; }
  virtual void SetWinMaskColor(int Value);
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool Value) { FTabOnEnter = Value; }
  int GlyphWidth() const { return FGlyphWidth; }
  int GlyphHeight() const { return FGlyphHeight; }
  int NumGlyphs() const { return FNumGlyphs; }

  void ActionChange(bool CheckDefaults) override;
  void WndProc(TMessage& Message) override;
  // The link to the control's action (null without one).
  TVcCheckedActionLink* ActionLink();

  // Draws the glyph of the current state into Canvas (the control's own when null).
  virtual void DrawGlyph(TCanvas* Canvas);
  // Dest becomes Width x Height: frame Index of Source.
  virtual void ExtractGlyphFrame(int Index, TBitmap* Dest, int Height, int Width, TBitmap* Source);

 protected:
  void Paint() override;
  void PressedChanged() override { Repaint(); }
  void FocusChanged() override { Repaint(); }
  void KeyPress(char& Key) override;
  virtual void SelectGlyph(TBitmap* Dest) = 0;
  void CustomGlyphsChanged();
  // The strip in use: the user's when UseCustomGlyphs, else the built-in one.
  const TBitmap& CurrentStrip();

  TBitmap FGlyphs;
  int FNumGlyphs = 2;
  bool FFlat = false;
  std::unique_ptr<TImagePicture> FCustomGlyphs;
  TBitmap FCustomStrip;  // FCustomGlyphs as a bitmap
  bool FUseCustomGlyphs = false;
  bool FTransparent = false;
  int FTransparentColor = VcGlyphTransparentColor;
  int FWinMaskColor = VcGlyphWinMaskColor;
  int FGlyphWidth = 13, FGlyphHeight = 13;
  bool FTabOnEnter = false;
  TLeftRight FAlignment = TLeftRight::taRightJustify;

 private:
  std::unique_ptr<TVcCheckedActionLink> FActionLink;
};

class TVcRadioButton : public TVcCustomGlyphButton {
  WI_CLASS(TVcRadioButton, TVcCustomGlyphButton)
 public:
  explicit TVcRadioButton(TComponent* AOwner);
  bool GetChecked() const override { return FChecked; }
  void SetChecked(bool Value) override;
  void SetFlat(bool Value) override;
  void WndProc(TMessage& Message) override;

 protected:
  void ClickAction() override;
  void SelectGlyph(TBitmap* Dest) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  bool FChecked = false;
  bool FClicking = false;
};
