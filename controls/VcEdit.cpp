#include "controls/VcEdit.h"

#include "platform/forms/Forms.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/Text.h"

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

std::string TVcCustomEdit::InCharCase(const std::string& text) const {
  // Folding keeps every character's bytes in their place: a selection stays valid.
  if (FCharCase == ecUpperCase) return AnsiUpperCase(text);
  if (FCharCase == ecLowerCase) return AnsiLowerCase(text);
  return text;
}

void TVcCustomEdit::SetCharCase(TEditCharCase v) {
  if (v == FCharCase) return;
  FCharCase = v;
  SetText(InCharCase(Text()));
}

void TVcCustomEdit::StoreText(const std::string& v) { TCustomEdit::StoreText(InCharCase(v)); }

void TVcCustomEdit::SetPasswordChar(char v) {
  if (v == FPasswordChar) return;
  FPasswordChar = v;
  Invalidate();
}

std::string TVcCustomEdit::StoredPasswordChar() const {
  return FPasswordChar ? std::string(1, FPasswordChar) : std::string();
}

void TVcCustomEdit::SetStoredPasswordChar(const std::string& v) {
  SetPasswordChar(v.empty() ? '\0' : v[0]);
}

std::string TVcCustomEdit::DisplayText() const {
  std::string text = Text();
  if (!FPasswordChar) return text;
  return std::string(win::CountUtf8Characters(text), FPasswordChar);
}

void TVcCustomEdit::SetHideSelection(bool v) {
  if (v == FHideSelection) return;
  FHideSelection = v;
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
  p.Enum("CharCase", &E::CharCase, &E::SetCharCase, {"ecNormal", "ecUpperCase", "ecLowerCase"},
         ecNormal);
  FramedControlProps<E>(p);
  p.Bool("HideSelection", &E::HideSelection, &E::SetHideSelection, true);
  p.String("PasswordChar", &E::StoredPasswordChar, &E::SetStoredPasswordChar);
  p.Bool("TabOnEnter", &E::TabOnEnter, &E::SetTabOnEnter, false);
}

void TVcEdit::DefineProps(TPropList&) {}

WI_REGISTER_CLASS(TVcEdit);
