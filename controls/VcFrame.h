#pragma once
// The painted frame that the framed edit and the list boxes share: its settings and how a
// change of each shows, the flat frame that follows focus and pointer, the link to a frame
// controller, and the painting of the frame over the system border. TVcFramed<Base> puts it
// between the toolkit's control (Base) and the framed control, which publishes it with
// FramedControlProps.
#include <memory>

#include "controls/VcCommon.h"
#include "platform/forms/StdCtrls.h"

template <class Base>
class TVcFramed : public Base {
 public:
  explicit TVcFramed(TComponent* owner);
  ~TVcFramed() override;

  // Sets the pointer-over flag when told to; a flat frame then takes the style for focus
  // and pointer.
  virtual void UpdateFrameStyle(bool storePointer, bool pointerOver);
  // Redraws the frame at once, not at the next paint.
  virtual void RepaintFrame();
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
  // The 3-D look of the border; a visible frame needs it.
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool v);
  bool PointerOver() const { return FPointerOver; }
  // True unless a controller governs the frame settings: then they are not stored.
  bool FrameStored() const { return !(FFrameController && FUseFrameController); }
  // Times the window was made anew (frame visibility and others need a new one).
  int RecreateCount() const { return FRecreateCount; }

  void WndProc(TMessage& m) override;

 protected:
  // The pointer came over the control, or left it.
  virtual void MouseEnter() { this->OnMouseEnter(this); }
  virtual void MouseLeave() { this->OnMouseLeave(this); }
  void DoEnter() override;
  void DoExit() override;
  void Resize() override;
  void Notification(TComponent* c, TOperation op) override;
  void Recreate();

 private:
  void PaintFrame(win::HDC dc);

  int FFrameColor = clBtnShadow;
  TVcFrameController* FFrameController = nullptr;
  bool FFrameFlat = false;
  TFrameStyle FFrameFlatStyle = fsStatus;
  TFrameStyle FFrameFocusStyle = fsLowered;
  TSides FFrameSides = AllSides;
  TFrameStyle FFrameStyle = fsFlat;
  bool FFrameVisible = false;
  bool FUseFrameController = true;
  bool FCtl3D = true;
  bool FPointerOver = false;
  int FRecreateCount = 0;
  std::unique_ptr<TCanvas> FFrameCanvas;
};

extern template class TVcFramed<TCustomEdit>;
extern template class TVcFramed<TCustomListBox>;

// Color, Ctl3D, the frame properties (FrameColor to FrameVisible) and UseFrameController of
// a framed control T: Color and the frame values are stored only while no controller
// governs them.
template <class T>
void FramedControlProps(TPropList& p) {
  p.Color("Color", &T::Color, &T::SetColor, clWindow).stored = [](TPersistent* o) {
    auto* c = static_cast<T*>(o);
    return c->FrameStored() && !c->ParentColor() && c->Color() != clWindow;
  };
  p.Bool("Ctl3D", &T::Ctl3D, &T::SetCtl3D, true);
  FrameProps<T>(p);
  p.Bool("UseFrameController", &T::UseFrameController, &T::SetUseFrameController, true);
}
