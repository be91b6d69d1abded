#pragma once
// The framed edit: a single-line edit that paints one of the frame styles over its border,
// can switch between a quiet and an emphasised style with focus and pointer ("flat"),
// takes shared settings from a frame controller, and can turn Enter into Tab.
#include "controls/VcFrame.h"
#include "platform/forms/CommonControls.h"
#include "platform/forms/StdCtrls.h"

// The toolkit's alignment; an edit takes only its left and right values.
using TLeftRight = TAlignment;

// Window style bits the alignment chooses (the edit's create parameters).
inline constexpr unsigned ES_MULTILINE = 0x0004, ES_RIGHT = 0x0002;

// The case every character of the text is kept in.
enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TVcCustomEdit : public TVcFramed<TCustomEdit> {
  WI_CLASS(TVcCustomEdit, TCustomEdit)
 public:
  explicit TVcCustomEdit(TComponent* owner);

  // The area text is drawn in (the client rectangle; the button edit takes its buttons off).
  virtual TRect GetTextRect() const;
  virtual std::string GetEditText() const { return Text(); }

  TLeftRight Alignment() const { return FAlignment; }
  virtual void SetAlignment(TLeftRight v);
  bool TabOnEnter() const { return FTabOnEnter; }
  void SetTabOnEnter(bool v) { FTabOnEnter = v; }
  TEditCharCase CharCase() const { return FCharCase; }
  // Converts the text at once; typed and set text follow.
  void SetCharCase(TEditCharCase v);
  // Shown in place of each character; 0: the text itself.
  char PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char v);
  // False: the selection shows also while the edit does not have the focus.
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool v);
  std::string DisplayText() const override;
  bool KeepsSelectionShown() const override { return !FHideSelection; }
  TVcAboutInfo About() const { return aiVisualControls; }
  void SetAbout(TVcAboutInfo) {}

  // Style bits of the window as the alignment sets them (ES_RIGHT, ES_MULTILINE).
  unsigned EditStyle() const;

  void WndProc(TMessage& msg) override;

 protected:
  void StoreText(const std::string& v) override;
  void KeyPress(char& key) override;
  void DoEnter() override;
  // Selects the whole text on entry when AutoSelect is on and no mouse click brings the
  // focus (the left button is not down).
  void SelectAllUnlessClicked();

 private:
  std::string InCharCase(const std::string& text) const;
  // The password character as the form stores it: one character, or none.
  std::string StoredPasswordChar() const;
  void SetStoredPasswordChar(const std::string& v);
  TLeftRight FAlignment = taLeftJustify;
  bool FTabOnEnter = false;
  TEditCharCase FCharCase = ecNormal;
  char FPasswordChar = 0;
  bool FHideSelection = true;
};

class TVcEdit : public TVcCustomEdit {
  WI_CLASS(TVcEdit, TVcCustomEdit)
 public:
  explicit TVcEdit(TComponent* owner) : TVcCustomEdit(owner) {}
};
