#pragma once
// The framed edit: a single-line edit that paints one of the frame styles over its border,
// can switch between a quiet and an emphasised style with focus and pointer ("flat"),
// takes shared settings from a frame controller, and can turn Enter into Tab.
#include <memory>

#include "controls/VcCommon.h"
#include "platform/forms/CommonControls.h"
#include "platform/forms/StdCtrls.h"

// The toolkit's alignment; an edit takes only its left and right values.
using TLeftRight = TAlignment;

// Window style bits the alignment chooses (the edit's create parameters).
inline constexpr unsigned ES_MULTILINE = 0x0004, ES_RIGHT = 0x0002;

class TVcCustomEdit : public TCustomEdit {
  WI_CLASS(TVcCustomEdit, TCustomEdit)
 public:
  explicit TVcCustomEdit(TComponent* owner);
  ~TVcCustomEdit() override;

  virtual void UpdateFrameStyle(bool storePointer, bool pointerOver);
  virtual void RepaintFrame();
  // The area text is drawn in (the client rectangle; the button edit takes its buttons off).
  virtual TRect GetTextRect() const;
  virtual std::string GetEditText() const { return Text(); }

  TLeftRight Alignment() const { return FAlignment; }
  virtual void SetAlignment(TLeftRight v);
  virtual int GetColor() const { return TControl::Color(); }
  virtual void SetColor(int v);
  int Color() const { return GetColor(); }
  int FrameColor() const { return FFrameColor; }
  virtual void SetFrameColor(int v);
  TVcFrameController* FrameController() const { return FFrameController; }
  virtual void SetFrameController(TVcFrameController* v);
  bool FrameFlat() const { return FFrameFlat; }
  virtual void SetFrameFlat(bool v);
  TFrameStyle FrameFlatStyle() const { return FFrameFlatStyle; }
  virtual void SetFrameFlatStyle(TFrameStyle v);
  TFrameStyle FrameFocusStyle() const { return FFrameFocusStyle; }
  virtual void SetFrameFocusStyle(TFrameStyle v);
  TSides FrameSides() const { return FFrameSides; }
  virtual void SetFrameSides(TSides v);
  TFrameStyle FrameStyle() const { return FFrameStyle; }
  virtual void SetFrameStyle(TFrameStyle v);
  bool FrameVisible() const { return FFrameVisible; }
  virtual void SetFrameVisible(bool v);

  bool UseFrameController() const { return FUseFrameController; }
  void SetUseFrameController(bool v) { FUseFrameController = v; }
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool v) { FTabOnEnter = v; }
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool v);
  bool PointerOver() const { return FPointerOver; }
  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}

  // Style bits of the window as the alignment sets them (ES_RIGHT, ES_MULTILINE).
  unsigned EditStyle() const;
  // Times the window was made anew (alignment and frame visibility need a new one).
  int RecreateCount() const { return FRecreateCount; }
  // True unless a controller governs the frame settings: then they are not stored.
  bool FrameStored() const;

  void WndProc(TMessage& msg) override;

 protected:
  virtual void MouseEnter() { OnMouseEnter(this); }
  virtual void MouseLeave() { OnMouseLeave(this); }
  void KeyPress(char& key) override;
  void DoEnter() override;
  // Selects the whole text on entry when AutoSelect is on and no mouse click brings the
  // focus (the left button is not down).
  void SelectAllUnlessClicked();
  void DoExit() override;
  void Resize() override;
  void Notification(TComponent* c, TOperation op) override;
  void Recreate();

 private:
  TLeftRight FAlignment = taLeftJustify;
  int FFrameColor = clBtnShadow;
  TVcFrameController* FFrameController = nullptr;
  bool FFrameFlat = false;
  TFrameStyle FFrameFlatStyle = fsStatus;
  TFrameStyle FFrameFocusStyle = fsLowered;
  TSides FFrameSides = AllSides;
  TFrameStyle FFrameStyle = fsFlat;
  bool FFrameVisible = false;
  bool FUseFrameController = true;
  bool FTabOnEnter = false;
  bool FCtl3D = true;
  bool FPointerOver = false;
  int FRecreateCount = 0;
  std::unique_ptr<TCanvas> FFrameCanvas;
};

class TVcEdit : public TVcCustomEdit {
  WI_CLASS(TVcEdit, TVcCustomEdit)
 public:
  explicit TVcEdit(TComponent* owner) : TVcCustomEdit(owner) {}
};
