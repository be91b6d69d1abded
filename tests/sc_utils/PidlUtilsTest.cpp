// Item-id list operations, the pidl containers and positional formatting.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/shell/ItemIdList.h"
#include "shellcontrols/UScShellUtils.h"

using namespace win;

namespace {
// A list of single-byte-payload items: {len=3, b} ...
LPITEMIDLIST MakeList(std::initializer_list<unsigned char> bytes) {
  std::vector<std::string> items;
  for (unsigned char b : bytes) items.push_back(std::string("\x03\x00", 2) + char(b));
  return pidl::Make(items);
}
const USHORT kEmpty = 0;
LPCITEMIDLIST Empty() { return reinterpret_cast<LPCITEMIDLIST>(&kEmpty); }
}  // namespace

TEST(PidlOps, SizesCopiesAndConcatenation) {
  EXPECT_EQ(PidlSize(nullptr), 0);
  EXPECT_EQ(PidlSize(Empty()), 2);
  LPITEMIDLIST a = MakeList({1, 2});
  EXPECT_EQ(PidlSize(a), 8);
  LPITEMIDLIST copy = CopyPidl(nullptr, nullptr);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(PidlSize(copy), 2);
  ShellFree(copy);
  copy = CopyPidl(nullptr, a);
  EXPECT_EQ(std::memcmp(copy, a, 8), 0);
  LPITEMIDLIST b = MakeList({3});
  LPITEMIDLIST ab = ConcatPidls(nullptr, a, b);
  EXPECT_EQ(PidlSize(ab), 11);
  EXPECT_EQ(reinterpret_cast<BYTE*>(ab)[8], 3);
  LPITEMIDLIST nb = ConcatPidls(nullptr, nullptr, b);
  EXPECT_EQ(PidlSize(nb), 5);
  for (auto p : {a, b, ab, nb, copy}) ShellFree(p);
}

TEST(PidlOps, CompareNullAndEmptyRules) {
  LPITEMIDLIST a = MakeList({1});
  EXPECT_EQ(ComparePidls(nullptr, nullptr), 0);
  EXPECT_EQ(ComparePidls(nullptr, Empty()), -1);
  EXPECT_EQ(ComparePidls(Empty(), Empty()), 0);
  EXPECT_EQ(ComparePidls(Empty(), a), -1);
  EXPECT_EQ(ComparePidls(a, Empty()), -1);
  ShellFree(a);
}

TEST(IdListArray, ParentAndItemBounds) {
  LPITEMIDLIST a = MakeList({1, 2, 3});
  TScIdListArray arr(a);
  EXPECT_EQ(arr.Count(), 3);
  EXPECT_EQ(PidlSize(arr.ParentPidl(3)), 2);  // the desktop
  EXPECT_EQ(arr.ParentPidl(4), nullptr);
  EXPECT_EQ(arr.ParentPidl(-1), nullptr);
  LPITEMIDLIST parent = arr.ParentPidl(1);
  ASSERT_EQ(PidlSize(parent), 8);
  EXPECT_EQ(reinterpret_cast<BYTE*>(parent)[5], 2);
  LPITEMIDLIST item = arr.ItemId(2);
  ASSERT_EQ(PidlSize(item), 5);
  EXPECT_EQ(reinterpret_cast<BYTE*>(item)[2], 3);
  EXPECT_EQ(arr.ItemId(3), nullptr);
  EXPECT_EQ(arr.ItemId(-1), nullptr);

  TScIdListArray empty(Empty());
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(PidlSize(empty.ItemId(0)), 2);
  EXPECT_EQ(empty.ItemId(1), nullptr);
  TScIdListArray none(nullptr);
  EXPECT_EQ(none.ParentPidl(0), nullptr);
  ShellFree(a);
}

TEST(PidlList, SortedByBytesWithDuplicatePolicies) {
  LPITEMIDLIST p3 = MakeList({3}), p1 = MakeList({1}), p2 = MakeList({2}), dup = MakeList({2});
  TScPidlList list;
  list.Add(p3);
  list.Add(p1);
  list.SetSorted(true);  // sorts at once
  EXPECT_EQ(list.Items(0), p1);
  EXPECT_EQ(list.AddObject(p2, &list), 1);
  EXPECT_EQ(list.Objects(1), &list);
  try {
    list.Add(dup);
    FAIL() << "duplicate accepted";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TScPidlList: Duplicate PIDL");
  }
  list.SetDuplicates(dupIgnore);
  EXPECT_EQ(list.Add(dup), 1);
  EXPECT_EQ(list.Count(), 3);
  list.SetDuplicates(dupAccept);
  list.Add(dup);
  EXPECT_EQ(list.Count(), 4);
  int index = -1;
  list.SetDuplicates(dupError);
  EXPECT_TRUE(list.Find(dup, index));
  EXPECT_EQ(index, 1);  // first among equals
  LPITEMIDLIST p0 = MakeList({0});
  EXPECT_FALSE(list.Find(p0, index));
  EXPECT_EQ(index, 0);  // insertion point
  EXPECT_EQ(list.IndexOf(p3), 3);
  // A shorter list sorts before its extension.
  list.Clear();
  for (auto p : {p0, p1, p2, p3, dup}) ShellFree(p);
}

TEST(PidlList, AllocatorOwnsAndFreesPidls) {
  std::size_t before = CoTaskMemLiveBlocks();
  {
    TScPidlList list;
    list.SetAllocator(GetShellMalloc());
    list.Add(MakeList({1}));
    list.Add(MakeList({2}));
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.IndexOf(nullptr), -1);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), before);
}

TEST(FormatStrPos, PositionsLineBreaksAndLimits) {
  EXPECT_EQ(FormatStrPos("", {"x"}), "");
  EXPECT_EQ(FormatStrPos("Impossible de créer le dossier '%2'\n\n%1", {"Accès refusé", "a"}),
            "Impossible de créer le dossier 'a'\n\nAccès refusé");
  EXPECT_EQ(FormatStrPos("x\\ny %1", {"z"}), "x\ny z");
  std::vector<std::string> args(50, "a");
  args[49] = "fin";
  EXPECT_EQ(FormatStrPos("%50", args), "fin");
  args.push_back("b");
  EXPECT_THROW(FormatStrPos("%1", args), Exception);
  try {
    FormatStrPos("%1", args);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "FormatStrPos: Too many substitution strings");
  }
}

TEST(Texts, TrailingCharAndResStrings) {
  EXPECT_EQ(IncludeTrailingChar("", '\\'), "");
  EXPECT_EQ(IncludeTrailingChar("C:", '\\'), "C:\\");
  EXPECT_EQ(IncludeTrailingChar("C:\\", '\\'), "C:\\");
  EXPECT_EQ(IncludeTrailingChar("Modifié", '\\'), "Modifié\\");
  EXPECT_EQ(GetShellResString("Nom"), "Nom");
}

namespace {
struct Listener {
  std::vector<std::pair<UINT, WPARAM>> seen;
  void OnDevice(TObject*, TMessage& m) { seen.push_back({m.Msg, m.WParam}); }
};
}  // namespace

TEST(DeviceChange, BroadcastAfterTheSystemCallReturns) {
  Listener a, b;
  TScDeviceChangeHandler* h = DeviceChangeHandler();
  EXPECT_EQ(h, DeviceChangeHandler());
  h->Register<Listener, &Listener::OnDevice>(&a);
  h->Register<Listener, &Listener::OnDevice>(&b);
  SendMessage(h->Handle(), 0x0219, 0x8000, 0);
  SendMessage(h->Handle(), 0x0219, 0x8004, 0);
  EXPECT_TRUE(a.seen.empty());  // deferred by posting
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  ASSERT_EQ(a.seen.size(), 2u);
  EXPECT_EQ(a.seen[0].first, 1124u);
  EXPECT_EQ(a.seen[1].second, WPARAM(0x8004));
  EXPECT_EQ(b.seen.size(), 2u);
  h->Unregister<Listener, &Listener::OnDevice>(&a);
  h->Unregister<Listener, &Listener::OnDevice>(&a);  // nothing left to remove
  EXPECT_EQ(h->HandlerCount(), 1);
  h->Unregister<Listener, &Listener::OnDevice>(&b);
}
