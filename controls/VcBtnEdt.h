#pragma once
// The button edit: a framed edit with up to two small push buttons inside its right edge
// (the main button and the alt button), each with a stock or custom glyph and a keyboard
// shortcut. With AllowKeyEdit False only code changes the text.
#include <cstdint>

#include "controls/VcEdit.h"
#include "platform/forms/Buttons.h"
#include "platform/forms/ShortCuts.h"

enum TButtonKind {
  bkCustom,
  bkLookup,
  bkDropDown,
  bkCalendar,
  bkAccept,
  bkReject,
  bkFolder,
  bkFind,
  bkSearch
};
const std::vector<std::string>& ButtonKindNames();

// The stock glyph strip of a kind (20 x 10: normal and disabled), loaded on first use and
// shared; callers copy it. Null for bkCustom.
TBitmap* GetButtonKindGlyph(TButtonKind kind);
// Copies a bitmap's pixels into a button glyph.
void AssignGlyph(TImagePicture* glyph, TBitmap* bitmap);

class TVcButtonPair : public TWinControl {
  WI_CLASS(TVcButtonPair, TWinControl)
 public:
  explicit TVcButtonPair(TComponent* owner);
  TSpeedButton* Button() const { return FButton; }
  TSpeedButton* AltBtn() const { return FAltBtn; }
  bool Flat() const { return FFlat; }
  virtual void SetFlat(bool v);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* c);
  void SetEnabled(bool v) override;
  void SetBounds(int left, int top, int width, int height) override;
  virtual void ArrangeButtons();
  TNotifyEvent OnButtonClick, OnAltBtnClick;

 protected:
  virtual TSpeedButton* CreateSpeedButton();
  virtual void SpeedButtonClick(TObject* sender);
  virtual void SpeedButtonMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x,
                                    int y);
  virtual void AltBtnClick() { OnAltBtnClick(this); }
  virtual void ButtonClick() { OnButtonClick(this); }
  void Resize() override;
  void Notification(TComponent* c, TOperation op) override;

 private:
  TSpeedButton* FButton = nullptr;
  TSpeedButton* FAltBtn = nullptr;
  bool FFlat = false;
  TWinControl* FFocusControl = nullptr;
};

class TVcButtonEdit : public TVcEdit {
  WI_CLASS(TVcButtonEdit, TVcEdit)
 public:
  // Index of the indexed accessors: 1 the alt button, 2 (or anything else) the main one.
  static constexpr int biAlt = 1, biMain = 2;

  explicit TVcButtonEdit(TComponent* owner);
  TVcButtonPair* Pair() const { return FPair; }

  virtual void ResizeButtons();
  virtual void SetEditMargins();
  TRect GetTextRect() const override;
  void SetEnabled(bool v) override;
  bool FlatButtons() const { return FPair->Flat(); }
  virtual void SetFlatButtons(bool v);
  int FlatButtonColor() const { return FPair->Color(); }
  virtual void SetFlatButtonColor(int v);
  bool FlatButtonParentColor() const { return FPair->ParentColor(); }
  virtual void SetFlatButtonParentColor(bool v);
  virtual TSpeedButton* SpeedButton(int index) const;

  TImagePicture* AltBtnGlyph() const { return FPair->AltBtn()->Glyph(); }
  virtual void SetAltBtnGlyph(TBitmap* b);
  TImagePicture* ButtonGlyph() const { return FPair->Button()->Glyph(); }
  virtual void SetButtonGlyph(TBitmap* b);
  virtual int GetNumGlyphs(int index) const { return SpeedButton(index)->NumGlyphs(); }
  virtual void SetNumGlyphs(int index, int v) { SpeedButton(index)->SetNumGlyphs(v); }
  virtual std::string GetHint(int index) const { return SpeedButton(index)->Hint(); }
  virtual void SetHint(int index, const std::string& v) { SpeedButton(index)->SetHint(v); }
  virtual TButtonKind GetKind(int index) const { return index == biAlt ? FAltKind : FKind; }
  virtual void SetKind(int index, TButtonKind v);
  virtual TShortCut GetShortCut(int index) const {
    return index == biAlt ? FAltShortCut : FShortCut;
  }
  virtual void SetShortCut(int index, TShortCut v) {
    (index == biAlt ? FAltShortCut : FShortCut) = v;
  }
  virtual bool GetVisible(int index) const { return SpeedButton(index)->Visible(); }
  virtual void SetVisible(int index, bool v);
  virtual int GetWidth(int index) const { return SpeedButton(index)->Width(); }
  virtual void SetWidth(int index, int v);

  bool AllowKeyEdit() const { return FAllowKeyEdit; }
  void SetAllowKeyEdit(bool v) { FAllowKeyEdit = v; }
  void SetFrameStyle(TFrameStyle v) override;
  void SetFrameVisible(bool v) override;
  void SetAlignment(TLeftRight v) override;

  // The control's own Width, Visible and Hint stay reachable beside the indexed forms.
  using TVcEdit::SetHint;
  using TVcEdit::SetVisible;
  using TVcEdit::SetWidth;

  // Named forms of the indexed accessors, for the property table and callers.
  TButtonKind ButtonKind() const { return GetKind(biMain); }
  void SetButtonKind(TButtonKind v) { SetKind(biMain, v); }
  TButtonKind AltBtnKind() const { return GetKind(biAlt); }
  void SetAltBtnKind(TButtonKind v) { SetKind(biAlt, v); }
  int ButtonShortCut() const { return GetShortCut(biMain); }
  void SetButtonShortCut(int v) { SetShortCut(biMain, TShortCut(v)); }
  int AltBtnShortCut() const { return GetShortCut(biAlt); }
  void SetAltBtnShortCut(int v) { SetShortCut(biAlt, TShortCut(v)); }
  bool ButtonVisible() const { return GetVisible(biMain); }
  void SetButtonVisible(bool v) { SetVisible(biMain, v); }
  bool AltBtnVisible() const { return GetVisible(biAlt); }
  void SetAltBtnVisible(bool v) { SetVisible(biAlt, v); }
  int ButtonWidth() const { return GetWidth(biMain); }
  void SetButtonWidth(int v) { SetWidth(biMain, v); }
  int AltBtnWidth() const { return GetWidth(biAlt); }
  void SetAltBtnWidth(int v) { SetWidth(biAlt, v); }
  int ButtonNumGlyphs() const { return GetNumGlyphs(biMain); }
  void SetButtonNumGlyphs(int v) { SetNumGlyphs(biMain, v); }
  int AltBtnNumGlyphs() const { return GetNumGlyphs(biAlt); }
  void SetAltBtnNumGlyphs(int v) { SetNumGlyphs(biAlt, v); }
  std::string ButtonHint() const { return GetHint(biMain); }
  void SetButtonHint(const std::string& v) { SetHint(biMain, v); }
  std::string AltBtnHint() const { return GetHint(biAlt); }
  void SetAltBtnHint(const std::string& v) { SetHint(biAlt, v); }

  void DefineProperties(TFiler& filer) override;
  void Loaded() override;
  void WndProc(TMessage& msg) override;

  TNotifyEvent OnButtonClick, OnAltBtnClick;

 protected:
  virtual void ReadButtonShortCutText(TReader& reader);
  virtual void ReadAltBtnShortCutText(TReader& reader);
  virtual void WriteShortCutText(TWriter&) {}
  virtual void PairAltBtnClick(TObject*) { AltBtnClick(); }
  virtual void PairButtonClick(TObject*) { ButtonClick(); }
  virtual void AltBtnClick() { OnAltBtnClick(this); }
  virtual void ButtonClick() { OnButtonClick(this); }
  void KeyDown(win::WORD& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoEnter() override;
  void DoExit() override;
  void Resize() override;

 private:
  void StockGlyph(int index);
  TVcButtonPair* FPair = nullptr;
  bool FAllowKeyEdit = true;
  TButtonKind FKind = bkLookup, FAltKind = bkLookup;
  TShortCut FShortCut = 115, FAltShortCut = 0;  // F4, none
  bool FShortCutFired = false;
};
