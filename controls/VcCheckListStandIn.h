#pragma once
// Stands in for the check list control until the visual controls arrive: a list of lines,
// each with a check state (0 unchecked, 1 checked, 2 grayed) and an enabled flag,
// registered under the real class name, so that stored descriptions naming TVcCheckList
// load now and unchanged later.
#include <vector>

#include "platform/forms/Controls.h"

class TVcCheckList : public TCustomControl {
  WI_CLASS(TVcCheckList, TCustomControl)
 public:
  explicit TVcCheckList(TComponent* owner) : TCustomControl(owner), FItems(new TStringList) {
    SetBounds(0, 0, 121, 97);
    SetTabStop(true);
  }
  ~TVcCheckList() override { delete FItems; }
  TStrings* Items() const { return FItems; }
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int v) { FItemHeight = v; }
  int ItemIndex() const { return FItemIndex < FItems->Count() ? FItemIndex : -1; }
  void SetItemIndex(int v) { FItemIndex = v >= 0 && v < FItems->Count() ? v : -1; }
  bool GetItemChecked(int i) const { return State(i) == 1; }
  void SetItemChecked(int i, bool v) { Slot(i).state = v ? 1 : 0; Invalidate(); }
  bool GetItemEnabled(int i) const { return i < int(FStates.size()) ? FStates[size_t(i)].enabled : true; }
  void SetItemEnabled(int i, bool v) { Slot(i).enabled = v; Invalidate(); }
  int CheckedCount() const {
    int n = 0;
    for (int i = 0; i < FItems->Count(); ++i) n += GetItemChecked(i) ? 1 : 0;
    return n;
  }
  // A mouse click on line i: highlights it, then OnClick (toggling is for enabled lines).
  void ClickItem(int i) {
    SetItemIndex(i);
    if (ItemIndex() >= 0 && GetItemEnabled(i)) SetItemChecked(i, !GetItemChecked(i));
    Click();
  }

 private:
  struct ItemState {
    int state = 0;
    bool enabled = true;
  };
  int State(int i) const { return i < int(FStates.size()) ? FStates[size_t(i)].state : 0; }
  ItemState& Slot(int i) {
    if (i < 0 || i >= FItems->Count()) throw EListError("Index de liste hors limites (" + std::to_string(i) + ")");
    if (int(FStates.size()) < FItems->Count()) FStates.resize(size_t(FItems->Count()));
    return FStates[size_t(i)];
  }
  TStringList* FItems;
  std::vector<ItemState> FStates;
  int FItemHeight = 16;
  int FItemIndex = -1;
};
