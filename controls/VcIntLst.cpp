#include "controls/VcIntLst.h"

#include <algorithm>
#include <cstdio>
#include <string>

void TIntegerList::DefineProps(TPropList&) {}

void TIntegerList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError(ListIndexErrorText(index));
}

void TIntegerList::CheckRange(int value) const {
  if (FMin != FMax && (value < FMin || value > FMax))
    throw EOutOfRange("Value must be within " + std::to_string(FMin) + ".." + std::to_string(FMax));
}

int TIntegerList::Get(int index) const {
  CheckIndex(index);
  return FValues[size_t(index)];
}

void TIntegerList::SetMin(int value) {
  if (value == FMin) return;
  for (auto v : FValues)
    if (v < value)
      throw EOutOfRange("Unable to set new minimum value.\rList contains values below " +
                        std::to_string(value));
  FMin = value;
  if (FMax < value) FMax = value;
}

void TIntegerList::SetMax(int value) {
  if (value == FMax) return;
  for (auto v : FValues)
    if (v > value)
      throw EOutOfRange("Unable to set new maximum value.\rList contains values above " +
                        std::to_string(value));
  FMax = value;
  if (value < FMin) FMin = value;
}

bool TIntegerList::Find(int value, int& index) const {
  int l = 0, h = Count() - 1;
  bool result = false;
  while (l <= h) {
    int i = int((unsigned(l) + unsigned(h)) >> 1);
    if (FValues[size_t(i)] < value) {
      l = i + 1;
    } else {
      h = i - 1;
      if (FValues[size_t(i)] == value) {
        result = true;
        if (FDuplicates != dupAccept) l = i;
      }
    }
  }
  index = l;
  return result;
}

void TIntegerList::Put(int index, int value) {
  CheckRange(value);
  CheckIndex(index);
  FValues[size_t(index)] = value;
}

void TIntegerList::QuickSort(int l, int r) {
  // Hoare partition around the middle value; recursion on the smaller side keeps the
  // stack shallow on adversarial input.
  while (l < r) {
    int i = l, j = r;
    std::int32_t p = FValues[size_t((unsigned(l) + unsigned(r)) >> 1)];
    while (i <= j) {
      while (FValues[size_t(i)] < p) ++i;
      while (FValues[size_t(j)] > p) --j;
      if (i <= j) {
        std::swap(FValues[size_t(i)], FValues[size_t(j)]);
        ++i;
        --j;
      }
    }
    if (j - l < r - i) {
      if (l < j) QuickSort(l, j);
      l = i;
    } else {
      if (i < r) QuickSort(i, r);
      r = j;
    }
  }
}

void TIntegerList::Sort() {
  if (!FSorted && Count() > 1) QuickSort(0, Count() - 1);
}

int TIntegerList::Add(int value) {
  int index = Count();
  if (FSorted && Find(value, index)) {
    if (FDuplicates == dupIgnore) return index;
    if (FDuplicates == dupError) throw EListError("Duplicates not allowed");
  }
  InsertItem(index, value);
  return index;
}

template <class F>
void TIntegerList::AllOrNothing(F change) {
  std::vector<std::int32_t> saved = FValues;
  try {
    change();
  } catch (...) {
    FValues = std::move(saved);
    throw;
  }
}

void TIntegerList::AddIntegers(const TIntegerList* other) {
  if (!other) return;
  // A copy, so that adding a list to itself ends.
  std::vector<std::int32_t> values = other->FValues;
  AllOrNothing([&] {
    for (auto v : values) Add(v);
  });
}

void TIntegerList::Clear() { FValues.clear(); }

void TIntegerList::Delete(int index) {
  CheckIndex(index);
  FValues.erase(FValues.begin() + index);
}

void TIntegerList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  std::swap(FValues[size_t(index1)], FValues[size_t(index2)]);
}

int TIntegerList::IndexOf(int value) const {
  if (FSorted) {
    int index;
    return Find(value, index) ? index : -1;
  }
  auto it = std::find(FValues.begin(), FValues.end(), value);
  return it == FValues.end() ? -1 : int(it - FValues.begin());
}

void TIntegerList::Insert(int index, int value) {
  if (FSorted) throw EListError("Opération non autorisée dans une liste ordonnée");
  if (index < 0 || index > Count()) throw EListError(ListIndexErrorText(index));
  InsertItem(index, value);
}

void TIntegerList::InsertItem(int index, int value) {
  CheckRange(value);
  FValues.insert(FValues.begin() + index, value);
}

void TIntegerList::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  CheckIndex(curIndex);
  CheckIndex(newIndex);
  std::int32_t v = FValues[size_t(curIndex)];
  FValues.erase(FValues.begin() + curIndex);
  FValues.insert(FValues.begin() + newIndex, v);
}

void TIntegerList::Assign(TPersistent* source) {
  if (auto* other = dynamic_cast<TIntegerList*>(source)) {
    if (other == this) return;
    AllOrNothing([&] {
      Clear();
      AddIntegers(other);
    });
    return;
  }
  TPersistent::Assign(source);
}

void TIntegerList::DefineProperties(TFiler& filer) {
  // The range goes first, so that it applies to the values read after it.
  filer.DefineProperty(
      "Min", [this](TReader& r) { FMin = r.ReadInteger(); },
      [this](TWriter& w) { w.WriteInteger(FMin); }, FMin != 0);
  filer.DefineProperty(
      "Max", [this](TReader& r) { FMax = r.ReadInteger(); },
      [this](TWriter& w) { w.WriteInteger(FMax); }, FMax != 0);
  bool hasData = Count() > 0;
  if (TPersistent* a = filer.Ancestor()) {
    auto* al = dynamic_cast<TIntegerList*>(a);
    hasData = !al || !Equals(*al);
  }
  filer.DefineProperty(
      "Integers",
      [this](TReader& r) {
        r.ReadListBegin();
        AllOrNothing([&] {
          Clear();
          while (!r.EndOfList()) Add(r.ReadInteger());
        });
        r.ReadListEnd();
      },
      [this](TWriter& w) {
        w.WriteListBegin();
        for (auto v : FValues) w.WriteInteger(v);
        w.WriteListEnd();
      },
      hasData);
}
