#pragma once
// What remains of the image combo: the class of the objects stored with its items, and
// the accessor that returns them (nothing in the library creates an image combo).
#include "platform/forms/Classes.h"

class TScImageComboItem : public TObject {};

// "Transtypage de type incorrect"
class EInvalidCast : public Exception {
 public:
  EInvalidCast() : Exception("Transtypage de type incorrect") {}
};

// The object stored with item index (null stays null); another class raises EInvalidCast.
TScImageComboItem* ScImageComboItem(const TStrings& items, int index);
