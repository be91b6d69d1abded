#include "shellcontrols/UScImageCombo.h"

TScImageComboItem* ScImageComboItem(const TStrings& items, int index) {
  TObject* o = items.Objects(index);
  if (!o) return nullptr;
  auto* item = dynamic_cast<TScImageComboItem*>(o);
  if (!item) throw EInvalidCast();
  return item;
}
