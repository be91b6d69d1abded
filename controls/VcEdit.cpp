#include "controls/VcEdit.h"

#include "platform/forms/Forms.h"
#include "platform/system/SystemInfo.h"

TVcCustomEdit::TVcCustomEdit(TComponent* owner)
    : TCustomEdit(owner), FFrameCanvas(std::make_unique<TCanvas>()) {
  // A new edit starts empty: its name is not copied into the text.
}

TVcCustomEdit::~TVcCustomEdit() {
  if (FFrameController) FFrameController->RemoveControl(this);
}

bool TVcCustomEdit::FrameStored() const { return FrameSettingsStored<TVcCustomEdit>(this); }

unsigned TVcCustomEdit::EditStyle() const {
  if (FAlignment == taLeftJustify) return 0;
  return IsWindows40() ? ES_RIGHT | ES_MULTILINE : ES_RIGHT;
}

void TVcCustomEdit::Recreate() {
  ++FRecreateCount;
  if (HandleAllocated()) RecreateWnd();
  Invalidate();
}

TRect TVcCustomEdit::GetTextRect() const { return ClientRect(); }

void TVcCustomEdit::RepaintFrame() {
  // The window painter draws the whole window, frame included, on the next paint.
  Invalidate();
}

void TVcCustomEdit::UpdateFrameStyle(bool storePointer, bool pointerOver) {
  if (storePointer) FPointerOver = pointerOver;
  if (FFrameFlat) FFrameStyle = (Focused() || FPointerOver) ? FFrameFocusStyle : FFrameFlatStyle;
  RepaintFrame();
}

void TVcCustomEdit::SetAlignment(TLeftRight v) {
  FAlignment = v;
  Recreate();
}

void TVcCustomEdit::SetColor(int v) {
  if (v == TControl::Color() && !ParentColor()) return;
  TControl::SetColor(v);
  if (FFrameVisible) RepaintFrame();
}

void TVcCustomEdit::SetFrameColor(int v) { SetFrameSetting(this, FFrameColor, v); }

void TVcCustomEdit::SetFrameController(TVcFrameController* v) {
  if (v == FFrameController) return;
  if (FFrameController) FFrameController->RemoveControl(this);
  FFrameController = v;
  if (v) {
    v->AddControl(this);
    v->FreeNotification(this);
  }
}

void TVcCustomEdit::Notification(TComponent* c, TOperation op) {
  TCustomEdit::Notification(c, op);
  if (op == opRemove && c == FFrameController) FFrameController = nullptr;
}

void TVcCustomEdit::SetFrameFlat(bool v) {
  if (v == FFrameFlat) return;
  FFrameFlat = v;
  if (v) {
    SetFrameVisible(true);
    if (!IsLoading()) {
      SetFrameSides(AllSides);
      SetFrameStyle(FFrameFlatStyle);
    }
  }
  RepaintFrame();
  Invalidate();
}

void TVcCustomEdit::SetFrameFlatStyle(TFrameStyle v) { SetFrameSetting(this, FFrameFlatStyle, v); }

void TVcCustomEdit::SetFrameFocusStyle(TFrameStyle v) {
  SetFrameSetting(this, FFrameFocusStyle, v);
}

void TVcCustomEdit::SetFrameSides(TSides v) { SetFrameSetting(this, FFrameSides, v); }

void TVcCustomEdit::SetFrameStyle(TFrameStyle v) { SetFrameSetting(this, FFrameStyle, v); }

void TVcCustomEdit::SetFrameVisible(bool v) {
  FFrameVisible = v;
  if (v) SetCtl3D(true);
  Recreate();
}

void TVcCustomEdit::SetCtl3D(bool v) {
  if (v == FCtl3D) return;
  FCtl3D = v;
  Invalidate();
}

void TVcCustomEdit::KeyPress(char& key) {
  if (FTabOnEnter && key == '\r') {
    // Swallowed; the Tab key-down posted to the edit then moves the focus.
    key = 0;
    PostTabKey(this);
    return;
  }
  if (key == '\r' && (EditStyle() & ES_MULTILINE)) {
    key = 0;
    return;
  }
  TCustomEdit::KeyPress(key);
}

void TVcCustomEdit::SelectAllUnlessClicked() {
  if (AutoSelect() && !(KeyboardShiftState() & ssLeft)) SelectAll();
}

void TVcCustomEdit::DoEnter() {
  // Windows 4.0 keeps a right-aligned edit multi-line, which selects nothing by itself.
  if (IsWindows40()) SelectAllUnlessClicked();
  UpdateFrameStyle(false, false);
  TCustomEdit::DoEnter();
}

void TVcCustomEdit::DoExit() {
  TCustomEdit::DoExit();
  UpdateFrameStyle(false, false);
}

void TVcCustomEdit::Resize() {
  TCustomEdit::Resize();
  if (FFrameVisible) RepaintFrame();
}

void TVcCustomEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case win::WM_NCPAINT: {
      TCustomEdit::WndProc(m);
      if (!FFrameVisible) return;
      // wParam: a DC over the whole window, border included.
      FFrameCanvas->SetHandle(win::HDC(m.WParam));
      try {
        DrawFrame(FFrameCanvas.get(), Width(), Height(), FFrameStyle, Color(), FFrameColor,
                  FFrameSides);
      } catch (...) {
        FFrameCanvas->SetHandle(nullptr);
        throw;
      }
      FFrameCanvas->SetHandle(nullptr);
      m.Result = 0;
      return;
    }
    case win::WM_KEYDOWN:
      if (win::WORD(m.WParam) == win::VK_TAB && FormTakesTab(this)) return;
      TCustomEdit::WndProc(m);
      return;
    case win::CM_MOUSEENTER:
      FMouseInside = true;
      UpdateFrameStyle(true, true);
      MouseEnter();
      return;
    case win::CM_MOUSELEAVE:
      FMouseInside = false;
      UpdateFrameStyle(true, false);
      MouseLeave();
      return;
    case win::CM_PARENTCOLORCHANGED:
      TCustomEdit::WndProc(m);
      if (FFrameVisible) RepaintFrame();
      return;
    default:
      TCustomEdit::WndProc(m);
  }
}

void TVcCustomEdit::DefineProps(TPropList& p) {
  using E = TVcCustomEdit;
  AboutProp(p);
  p.Enum("Alignment", &E::Alignment, &E::SetAlignment, {"taLeftJustify", "taRightJustify"},
         taLeftJustify);
  p.Color("Color", &E::Color, &E::SetColor, clWindow).stored = [](TPersistent* o) {
    auto* e = static_cast<E*>(o);
    return FrameSettingsStored<E>(o) && !e->ParentColor() && e->Color() != clWindow;
  };
  p.Bool("Ctl3D", &E::Ctl3D, &E::SetCtl3D, true);
  FrameProps<E>(p);
  p.Bool("TabOnEnter", &E::TabOnEnter, &E::SetTabOnEnter, false);
  p.Bool("UseFrameController", &E::UseFrameController, &E::SetUseFrameController, true);
}

void TVcEdit::DefineProps(TPropList&) {}

WI_REGISTER_CLASS(TVcEdit);
