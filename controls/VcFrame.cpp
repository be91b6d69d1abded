#include "controls/VcFrame.h"

template <class Base>
TVcFramed<Base>::TVcFramed(TComponent* owner)
    : Base(owner), FFrameCanvas(std::make_unique<TCanvas>()) {}

template <class Base>
TVcFramed<Base>::~TVcFramed() {
  if (FFrameController) FFrameController->RemoveControl(this);
}

template <class Base>
void TVcFramed<Base>::UpdateFrameStyle(bool storePointer, bool pointerOver) {
  if (storePointer) FPointerOver = pointerOver;
  if (!FFrameFlat) return;
  FFrameStyle = this->Focused() || FPointerOver ? FFrameFocusStyle : FFrameFlatStyle;
  RepaintFrame();
}

template <class Base>
void TVcFramed<Base>::RepaintFrame() {
  // The frame lies outside the client area; the toolkit paints a control as a whole, and
  // at once, not at the next paint.
  this->Repaint();
}

template <class Base>
void TVcFramed<Base>::SetColor(int v) {
  if (v == TControl::Color() && !this->ParentColor()) return;
  TControl::SetColor(v);
  if (FFrameVisible) RepaintFrame();
}

template <class Base>
void TVcFramed<Base>::SetFrameColor(int v) {
  SetFrameSetting(this, FFrameColor, v);
}

template <class Base>
void TVcFramed<Base>::SetFrameController(TVcFrameController* v) {
  if (v == FFrameController) return;
  if (FFrameController) {
    FFrameController->RemoveControl(this);
    FFrameController->RemoveFreeNotification(this);
  }
  FFrameController = v;
  if (v) {
    v->AddControl(this);
    v->FreeNotification(this);
  }
}

template <class Base>
void TVcFramed<Base>::Notification(TComponent* c, TOperation op) {
  Base::Notification(c, op);
  if (op == opRemove && c == FFrameController) FFrameController = nullptr;
}

template <class Base>
void TVcFramed<Base>::SetFrameFlat(bool v) {
  if (v == FFrameFlat) return;
  FFrameFlat = v;
  if (v) {
    SetFrameVisible(true);
    // A stored form gives its own sides and style.
    if (!this->IsLoading()) {
      SetFrameSides(AllSides);
      SetFrameStyle(FFrameFlatStyle);
    }
  }
  RepaintFrame();
  this->Invalidate();
}

template <class Base>
void TVcFramed<Base>::SetFrameFlatStyle(TFrameStyle v) {
  SetFrameSetting(this, FFrameFlatStyle, v);
}

template <class Base>
void TVcFramed<Base>::SetFrameFocusStyle(TFrameStyle v) {
  SetFrameSetting(this, FFrameFocusStyle, v);
}

template <class Base>
void TVcFramed<Base>::SetFrameSides(TSides v) {
  SetFrameSetting(this, FFrameSides, v);
}

template <class Base>
void TVcFramed<Base>::SetFrameStyle(TFrameStyle v) {
  SetFrameSetting(this, FFrameStyle, v);
}

template <class Base>
void TVcFramed<Base>::SetFrameVisible(bool v) {
  if (v == FFrameVisible) return;
  FFrameVisible = v;
  if (v) SetCtl3D(true);
  Recreate();
}

template <class Base>
void TVcFramed<Base>::SetCtl3D(bool v) {
  if (v == FCtl3D) return;
  FCtl3D = v;
  this->Invalidate();
}

template <class Base>
void TVcFramed<Base>::Recreate() {
  ++FRecreateCount;
  if (this->HandleAllocated()) this->RecreateWnd();
  this->Invalidate();
}

template <class Base>
void TVcFramed<Base>::DoEnter() {
  UpdateFrameStyle(false, false);
  Base::DoEnter();
}

template <class Base>
void TVcFramed<Base>::DoExit() {
  Base::DoExit();
  UpdateFrameStyle(false, false);
}

template <class Base>
void TVcFramed<Base>::Resize() {
  Base::Resize();
  if (FFrameVisible) RepaintFrame();
}

template <class Base>
void TVcFramed<Base>::PaintFrame(win::HDC dc) {
  FFrameCanvas->SetHandle(dc);
  try {
    DrawFrame(FFrameCanvas.get(), this->Width(), this->Height(), FFrameStyle, GetColor(),
              FFrameColor, FFrameSides);
  } catch (...) {
    FFrameCanvas->SetHandle(nullptr);
    throw;
  }
  FFrameCanvas->SetHandle(nullptr);
}

template <class Base>
void TVcFramed<Base>::WndProc(TMessage& m) {
  switch (m.Msg) {
    case win::WM_NCPAINT:
      // The system border first; the frame is painted over it (wParam: a DC over the whole
      // window, border included).
      Base::WndProc(m);
      if (FFrameVisible && m.WParam) {
        PaintFrame(win::HDC(m.WParam));
        m.Result = 0;
      }
      return;
    case win::CM_MOUSEENTER:
      // The toolkit's own handling would fire OnMouseEnter: MouseEnter does.
      this->FMouseInside = true;
      UpdateFrameStyle(true, true);
      MouseEnter();
      return;
    case win::CM_MOUSELEAVE:
      this->FMouseInside = false;
      UpdateFrameStyle(true, false);
      MouseLeave();
      return;
    case win::CM_PARENTCOLORCHANGED:
      Base::WndProc(m);
      if (FFrameVisible) RepaintFrame();
      return;
    default:
      Base::WndProc(m);
  }
}

template class TVcFramed<TCustomEdit>;
template class TVcFramed<TCustomListBox>;
