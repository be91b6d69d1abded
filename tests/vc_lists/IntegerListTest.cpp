// The integer list: range, sorted mode, duplicates, and its stored format.
#include <gtest/gtest.h>

#include "controls/VcIntLst.h"
#include "platform/forms/Streaming.h"

namespace {

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no exception)";
}

std::vector<int> Values(const TIntegerList& l) {
  std::vector<int> v;
  v.reserve(size_t(l.Count()));
  for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

// A component that publishes an integer list, to go through form descriptions.
class TIntHolder : public TComponent {
  WI_CLASS(TIntHolder, TComponent)
 public:
  explicit TIntHolder(TComponent* owner) : TComponent(owner) {}
  TIntegerList* List() const { return FList.get(); }

 private:
  std::unique_ptr<TIntegerList> FList = std::make_unique<TIntegerList>();
};
void TIntHolder::DefineProps(TPropList& p) { p.Object("List", &TIntHolder::List); }
WI_REGISTER_CLASS(TIntHolder);

TEST(IntegerList, RangeIsTestedOnlyWhenMinDiffersFromMax) {
  TIntegerList l;
  l.Add(-2147483647 - 1);
  l.Add(2147483647);
  EXPECT_EQ(l.Count(), 2);

  TIntegerList r;
  r.SetMax(10);
  r.SetMin(1);
  EXPECT_EQ(MessageOf([&] { r.Add(0); }), "Value must be within 1..10");
  EXPECT_THROW(r.Add(11), EOutOfRange);
  EXPECT_EQ(r.Add(10), 0);
  EXPECT_EQ(r.Add(1), 1);
  // Put tests the range before the index.
  EXPECT_THROW(r.Put(99, 50), EOutOfRange);
  EXPECT_THROW(r.Put(99, 5), EListError);
  EXPECT_EQ(Values(r), (std::vector<int>{10, 1}));
}

TEST(IntegerList, MinAndMaxKeepEachOtherInOrderAndRefuseToExcludeValues) {
  TIntegerList l;
  l.SetMin(5);
  EXPECT_EQ(l.Max(), 5);
  l.SetMax(3);
  EXPECT_EQ(l.Min(), 3);
  EXPECT_EQ(l.Max(), 3);
  l.SetMax(20);
  l.Add(7);
  EXPECT_EQ(MessageOf([&] { l.SetMin(8); }),
            "Unable to set new minimum value.\rList contains values below 8");
  EXPECT_EQ(MessageOf([&] { l.SetMax(6); }),
            "Unable to set new maximum value.\rList contains values above 6");
  EXPECT_EQ(l.Min(), 3);
  EXPECT_EQ(l.Max(), 20);
}

TEST(IntegerList, SortedAddFollowsTheDuplicatesRule) {
  TIntegerList l;
  l.SetSorted(true);
  for (int v : {5, 1, 9, 3}) l.Add(v);
  EXPECT_EQ(Values(l), (std::vector<int>{1, 3, 5, 9}));
  EXPECT_EQ(l.Add(5), 2);  // ignore: the index of the present value
  EXPECT_EQ(l.Count(), 4);
  l.SetDuplicates(dupError);
  EXPECT_EQ(MessageOf([&] { l.Add(3); }), "Duplicates not allowed");
  EXPECT_EQ(l.Count(), 4);
  l.SetDuplicates(dupAccept);
  l.Add(5);
  l.Add(5);
  EXPECT_EQ(Values(l), (std::vector<int>{1, 3, 5, 5, 5, 9}));
  int at = -1;
  EXPECT_TRUE(l.Find(5, at));
  EXPECT_EQ(at, 2);  // the first of equal values
  EXPECT_EQ(l.IndexOf(4), -1);
  EXPECT_EQ(l.IndexOf(9), 5);
  EXPECT_FALSE(l.Find(-1, at));
  EXPECT_EQ(at, 0);
  EXPECT_EQ(MessageOf([&] { l.Insert(0, 1); }), "Opération non autorisée dans une liste ordonnée");
  l.Exchange(0, 5);  // allowed even when sorted
  EXPECT_EQ(l[0], 9);
}

TEST(IntegerList, SortIndexOfAndIndexErrors) {
  TIntegerList l;
  for (int v : {4, -7, 4, 100, 0, -2147483647, 12}) l.Add(v);
  EXPECT_EQ(l.IndexOf(4), 0);
  EXPECT_EQ(l.IndexOf(55), -1);
  l.Sort();
  EXPECT_EQ(Values(l), (std::vector<int>{-2147483647, -7, 0, 4, 4, 12, 100}));
  TIntegerList s;
  s.Add(3), s.Add(1);
  s.SetSorted(true);
  s.Sort();  // marked sorted: left as it is
  EXPECT_EQ(Values(s), (std::vector<int>{3, 1}));

  EXPECT_EQ(MessageOf([&] { l.Insert(8, 1); }), "Indice de liste hors limites (8)");
  EXPECT_EQ(MessageOf([&] { l.Insert(-1, 1); }), "Indice de liste hors limites (-1)");
  l.Insert(7, 1000);
  EXPECT_EQ(l[7], 1000);
  EXPECT_THROW(l.Get(8), EListError);
  EXPECT_THROW(l.Delete(-1), EListError);
  EXPECT_THROW(l.Exchange(0, 8), EListError);
  EXPECT_THROW(l.Move(8, 0), EListError);
  l.Move(0, 7);
  EXPECT_EQ(l[7], -2147483647);
  EXPECT_EQ(l.Count(), 8);
}

TEST(IntegerList, SortHandlesLargeAndEqualInput) {
  TIntegerList l;
  for (int i = 0; i < 5000; ++i) l.Add((i * 7919) % 1000 - 500);
  for (int i = 0; i < 2000; ++i) l.Add(3);
  l.Sort();
  auto v = Values(l);
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  EXPECT_EQ(v.size(), 7000u);
}

TEST(IntegerList, AssignCopiesValuesOnlyAndAppliesTheTargetRules) {
  TIntegerList src;
  for (int v : {9, 2, 9, 5}) src.Add(v);
  src.SetMin(-100);
  TIntegerList dst;
  dst.SetSorted(true);
  dst.Add(42);
  dst.Assign(&src);
  EXPECT_EQ(Values(dst), (std::vector<int>{2, 5, 9}));
  EXPECT_EQ(dst.Min(), 0);
  EXPECT_FALSE(dst.Equals(src));
  TIntegerList same;
  same.Assign(&src);
  EXPECT_TRUE(same.Equals(src));
  same.AddIntegers(&same);  // adding a list to itself doubles it once
  EXPECT_EQ(same.Count(), 8);

  // The range check is all or nothing: a value out of range leaves the list as it was.
  TIntegerList ranged, bad;
  ranged.SetMax(10);
  ranged.SetMin(1);
  ranged.Add(3);
  for (int v : {5, 20, 7}) bad.Add(v);
  EXPECT_EQ(MessageOf([&] { ranged.Assign(&bad); }), "Value must be within 1..10");
  EXPECT_EQ(MessageOf([&] { ranged.AddIntegers(&bad); }), "Value must be within 1..10");
  EXPECT_EQ(Values(ranged), std::vector<int>{3});
}

TEST(IntegerList, StoredFormatWritesRangeThenValues) {
  TIntHolder h(nullptr);
  h.SetName("H");
  std::string text = WriteComponentToText(&h);
  EXPECT_EQ(text.find("List."), std::string::npos) << text;  // nothing stored for an empty list

  h.List()->SetMax(300);
  h.List()->SetMin(-5);
  for (int v : {1, -5, 300, 200}) h.List()->Add(v);
  text = WriteComponentToText(&h);
  EXPECT_NE(text.find("List.Min = -5"), std::string::npos) << text;
  EXPECT_NE(text.find("List.Max = 300"), std::string::npos) << text;
  EXPECT_NE(text.find("List.Integers = ("), std::string::npos) << text;
  EXPECT_LT(text.find("List.Min"), text.find("List.Integers"));

  std::unique_ptr<TComponent> copy(CreateComponentFromText(text, "copy", nullptr));
  auto* back = dynamic_cast<TIntHolder*>(copy.get());
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->List()->Equals(*h.List()));
  EXPECT_EQ(back->List()->Min(), -5);
  EXPECT_EQ(back->List()->Max(), 300);
}

TEST(IntegerList, ReadingValuesOutsideTheStoredRangeFails) {
  const char* text =
      "object H: TIntHolder\n"
      "  List.Min = 1\n"
      "  List.Max = 10\n"
      "  List.Integers = (\n    3\n    10\n    11\n    4)\n"
      "end\n";
  try {
    std::unique_ptr<TComponent> c(CreateComponentFromText(text, "bad", nullptr));
    FAIL() << "read a value outside the range";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("Value must be within 1..10"), std::string::npos) << e.Message();
  }
  // The range is read without tests: Min above Max is taken as it is.
  std::unique_ptr<TComponent> c(CreateComponentFromText(
      "object H: TIntHolder\n  List.Min = 7\n  List.Max = 2\nend\n", "raw", nullptr));
  auto* h = dynamic_cast<TIntHolder*>(c.get());
  EXPECT_EQ(h->List()->Min(), 7);
  EXPECT_EQ(h->List()->Max(), 2);
}

}  // namespace
