#pragma once
// Stands in for the button edit until the visual controls arrive: a standard edit with the
// button edit's ReadOnly and OnButtonClick, registered under its class name, so that stored
// descriptions naming TVcButtonEdit load now and unchanged later.
#include "platform/forms/StdCtrls.h"

class TVcButtonEdit : public TEdit {
  WI_CLASS(TVcButtonEdit, TEdit)
 public:
  explicit TVcButtonEdit(TComponent* AOwner) : TEdit(AOwner) {}
  // What pressing the edit's button does (the real control draws the button inside).
  void ButtonClick() { OnButtonClick(this); }
  TNotifyEvent OnButtonClick;
};

