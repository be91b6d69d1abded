#include "controls/VcEdit.h"

#include "platform/forms/Forms.h"
#include "platform/system/SystemInfo.h"

TVcCustomEdit::TVcCustomEdit(TComponent* owner) : TVcFramed<TCustomEdit>(owner) {
  // A new edit starts empty: its name is not copied into the text.
}

unsigned TVcCustomEdit::EditStyle() const {
  if (FAlignment == taLeftJustify) return 0;
  return IsWindows40() ? ES_RIGHT | ES_MULTILINE : ES_RIGHT;
}

TRect TVcCustomEdit::GetTextRect() const { return ClientRect(); }

void TVcCustomEdit::SetAlignment(TLeftRight v) {
  FAlignment = v;
  Recreate();
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
  TVcFramed<TCustomEdit>::DoEnter();
}

void TVcCustomEdit::WndProc(TMessage& m) {
  if (m.Msg == win::WM_KEYDOWN && win::WORD(m.WParam) == win::VK_TAB && FormTakesTab(this)) return;
  TVcFramed<TCustomEdit>::WndProc(m);
}

void TVcCustomEdit::DefineProps(TPropList& p) {
  using E = TVcCustomEdit;
  AboutProp(p);
  p.Enum("Alignment", &E::Alignment, &E::SetAlignment, {"taLeftJustify", "taRightJustify"},
         taLeftJustify);
  FramedControlProps<E>(p);
  p.Bool("TabOnEnter", &E::TabOnEnter, &E::SetTabOnEnter, false);
}

void TVcEdit::DefineProps(TPropList&) {}

WI_REGISTER_CLASS(TVcEdit);
