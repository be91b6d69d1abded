#include "platform/forms/StdCtrls.h"

#include "platform/forms/Forms.h"

namespace {
const std::vector<std::string> kBevelNames = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
bool always(TPersistent*) { return true; }
}  // namespace

void TPanel::DefineProps(TPropList& p) {
  p.Enum("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, kBevelNames, bvNone);
  p.Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, kBevelNames, bvRaised);
  p.Int("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1);
  p.Int("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0);
}

win::RECT TPanel::AdjustClientRect() const {
  win::RECT r = ClientRect();
  int inset = FBorderWidth + (FBevelOuter != bvNone ? FBevelWidth : 0) +
              (FBevelInner != bvNone ? FBevelWidth : 0);
  r.left += inset, r.top += inset, r.right -= inset, r.bottom -= inset;
  return r;
}

void TButton::DefineProps(TPropList& p) {
  p.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel, false);
  p.Bool("Default", &TButton::Default, &TButton::SetDefault, false);
  p.Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0);
}

void TButton::Click() {
  if (auto* f = dynamic_cast<TForm*>(ParentForm()); f && FModalResult) f->SetModalResult(FModalResult);
  TWinControl::Click();
}

void TRadioButton::DefineProps(TPropList& p) {
  p.Bool("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked, false);
  (void)always;
}

void TRadioButton::SetChecked(bool v) {
  if (v == FChecked) return;
  FChecked = v;
  if (v && Parent())
    for (int i = 0; i < Parent()->ControlCount(); ++i)
      if (auto* r = dynamic_cast<TRadioButton*>(Parent()->Controls(i)); r && r != this) r->SetChecked(false);
  Invalidate();
}

void TRadioButton::Click() {
  SetChecked(true);
  TWinControl::Click();
}

void TLabel::DefineProps(TPropList& p) {
  p.Bool("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true);
  p.Bool("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap, false);
}

WI_REGISTER_CLASS(TPanel);
WI_REGISTER_CLASS(TButton);
WI_REGISTER_CLASS(TRadioButton);
WI_REGISTER_CLASS(TLabel);
