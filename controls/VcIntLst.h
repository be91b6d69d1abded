#pragma once
// A persistent list of signed 32-bit integers with an optional Min..Max range, an optional
// sorted mode with a rule for duplicates, and its own stored format (defined properties
// "Min", "Max" and "Integers"), so that a component can publish a list of numbers.
#include <cstdint>
#include <vector>

#include "platform/forms/Classes.h"

// Every range failure of an integer list.
class EOutOfRange : public EListError {
 public:
  using EListError::EListError;
};

class TIntegerList : public TPersistent {
  WI_CLASS(TIntegerList, TPersistent)
 public:
  TIntegerList() = default;
  ~TIntegerList() override { Clear(); }

  int Count() const { return int(FValues.size()); }
  int Get(int index) const;
  int operator[](int index) const { return Get(index); }
  int Min() const { return FMin; }
  void SetMin(int value);
  int Max() const { return FMax; }
  void SetMax(int value);
  bool Sorted() const { return FSorted; }
  // Marks the list; nothing is reordered.
  void SetSorted(bool v) { FSorted = v; }
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates d) { FDuplicates = d; }
  // Same count and the same values in the same order.
  bool Equals(const TIntegerList& other) const { return FValues == other.FValues; }

  virtual bool Find(int value, int& index) const;
  // Replaces in place; a sorted list is not re-ordered.
  virtual void Put(int index, int value);
  virtual void Sort();
  virtual int Add(int value);
  // All values or none: a value the list refuses leaves it as it was.
  virtual void AddIntegers(const TIntegerList* other);
  virtual void Clear();
  virtual void Delete(int index);
  virtual void Exchange(int index1, int index2);
  virtual int IndexOf(int value) const;
  virtual void Insert(int index, int value);
  virtual void InsertItem(int index, int value);
  virtual void Move(int curIndex, int newIndex);

  // Values only: range, Sorted and Duplicates stay as they are. All or nothing, as
  // AddIntegers.
  void Assign(TPersistent* source) override;
  void DefineProperties(TFiler& filer) override;

 private:
  // Runs change; when it fails, the values are put back as they were.
  template <class F>
  void AllOrNothing(F change);
  void CheckRange(int value) const;
  void CheckIndex(int index) const;
  void QuickSort(int l, int r);
  std::vector<std::int32_t> FValues;
  TDuplicates FDuplicates = dupIgnore;
  int FMin = 0, FMax = 0;
  bool FSorted = false;
};
