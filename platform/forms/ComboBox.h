#pragma once
// A drop-down list: the chosen item in a sunken field with a drop button, whose list opens
// below it, over the rest of the form. Closed, Up/Down, Home/End and a typed letter choose
// at once; a click, F4 or Alt+Down opens the list, where the arrows move, Enter or a click
// chooses and Escape closes it unchanged.
#include <memory>

#include "platform/forms/StdCtrls.h"

class TComboBox : public TCustomControl {
  WI_CLASS(TComboBox, TCustomControl)
 public:
  explicit TComboBox(TComponent* owner);
  ~TComboBox() override;
  TStrings* Items() const { return FItems.get(); }
  int ItemIndex() const { return FItemIndex; }
  // Chooses by program: no OnChange. -1 chooses nothing.
  void SetItemIndex(int v);
  // Lines the open list shows before it scrolls.
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int v) { FDropDownCount = v < 1 ? 1 : v; }
  bool DroppedDown() const;
  void SetDroppedDown(bool v);
  // The open list (null until first opened), for tests.
  TListBox* DropDownList() const { return FList; }
  void WndProc(TMessage& msg) override;
  // After the user chose another item.
  TNotifyEvent OnChange;

 protected:
  void Paint() override;

 private:
  // The user chose: OnChange when the choice changed.
  void Choose(int index);
  // The next item after the current one starting with ch, wrapping round; -1 if none.
  int FindByLetter(char ch) const;
  std::unique_ptr<TStringList> FItems;
  int FItemIndex = -1;
  int FDropDownCount = 8;
  TListBox* FList = nullptr;
};
