// Item-id list operations, the pidl containers and positional formatting.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "platform/shell/ItemIdList.h"
#include "platform/shell/ShellFolder.h"
#include "shellcontrols/UScShellControls.h"
#include "shellcontrols/UScShellUtils.h"
#include "support/TempMachine.h"

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

// Lists with impossible lengths (an item shorter than 3 bytes, a list past the bound) are
// refused by every routine that walks a list, wherever they lie, without a read past what
// their lengths claim (the ASan build checks it).
TEST(PidlOps, MalformedListsAreRefusedWithoutReadingPastTheirData) {
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
  };
  std::vector<unsigned char> pastBound(70000, 0);
  pastBound[1] = pastBound[0xF001] = 0xF0;  // two items of 0xF000 bytes: 120 KB
  const std::vector<Case> cases = {
      {"a first length of 0xFFFF", {0xFF, 0xFF, 0, 0}},
      {"an item length below 3", {2, 0, 0, 0}},
      {"a length of 1 after an item", {3, 0, 1, 1, 0, 0, 0}},
      {"a list past the bound", pastBound},
  };
  LPITEMIDLIST good = MakeList({7});
  const std::size_t live = CoTaskMemLiveBlocks();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto* block = static_cast<unsigned char*>(CoTaskMemAlloc(c.bytes.size()));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, c.bytes.data(), c.bytes.size());
    auto bad = reinterpret_cast<LPCITEMIDLIST>(block);
    EXPECT_FALSE(ILIsValid(bad));
    EXPECT_EQ(ILGetSize(bad), 0u);
    EXPECT_EQ(ILGetCount(bad), 0u);
    EXPECT_EQ(ILClone(bad), nullptr);
    EXPECT_EQ(ILCloneFirst(bad), nullptr);
    EXPECT_EQ(ILCombine(good, bad), nullptr);
    EXPECT_EQ(ILFindLastID(bad), nullptr);
    EXPECT_FALSE(ILIsEqual(bad, bad));
    EXPECT_EQ(PidlSize(bad), 0);
    EXPECT_EQ(CopyPidl(nullptr, bad), nullptr);
    EXPECT_EQ(ConcatPidls(nullptr, bad, good), nullptr);
    EXPECT_EQ(ConcatPidls(nullptr, good, bad), nullptr);
    EXPECT_EQ(ComparePidls(bad, good), ScPidlCompareFailed);
    EXPECT_EQ(ComparePidls(bad, bad), ScPidlCompareFailed);
    IShellFolder* folder = reinterpret_cast<IShellFolder*>(1);
    EXPECT_TRUE(FAILED(GetShellFolder(bad, &folder)));  // never taken as the desktop
    EXPECT_EQ(folder, nullptr);
    std::string name = "x";
    EXPECT_NO_THROW(GetPidlDisplayName(bad, name));
    EXPECT_EQ(name, "");
    TScIdListArray ids(bad);
    EXPECT_EQ(ids.Count(), 0);
    EXPECT_EQ(ids.ParentPidl(0), nullptr);
    EXPECT_EQ(ids.ItemId(0), nullptr);
    STRRET sr;
    sr.uType = STRRET_OFFSET;
    sr.uOffset = 2;
    StrRetToString(bad, sr, name);
    EXPECT_EQ(name, "");
    CoTaskMemFree(block);
  }
  EXPECT_EQ(CoTaskMemLiveBlocks(), live);  // nothing allocated for a refused list

  // Lists that came with their size (from a data object, a file) are walked within it.
  const std::vector<Case> sized = {
      {"truncated before its terminator", {5, 0, 1, 2, 3}},
      {"half a terminator", {5, 0, 1, 2, 3, 0}},
      {"no bytes", {}},
      {"one byte", {0}},
      {"a length past the data", {10, 0, 1, 2, 0, 0}},
      {"a second item past the data", {3, 0, 1, 9, 0, 1, 0, 0}},
  };
  for (const auto& c : sized) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<unsigned char[]> data(new unsigned char[c.bytes.size() + 1]);
    if (!c.bytes.empty()) std::memcpy(data.get(), c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(ILIsValid(reinterpret_cast<LPCITEMIDLIST>(data.get()), c.bytes.size()));
  }
  const unsigned char whole[7] = {5, 0, 1, 2, 3, 0, 0};
  EXPECT_EQ(ILSizeWithin(reinterpret_cast<LPCITEMIDLIST>(whole), sizeof whole), 7u);

  // Two lists joined into one past the bound are refused rather than made.
  std::vector<unsigned char> big(0xF000 + 2, 0);
  big[1] = 0xF0;
  auto* half = static_cast<LPITEMIDLIST>(CoTaskMemAlloc(big.size()));
  std::memcpy(half, big.data(), big.size());
  ASSERT_EQ(PidlSize(half), 0xF002);
  EXPECT_EQ(ILCombine(half, half), nullptr);
  EXPECT_EQ(ConcatPidls(nullptr, half, half), nullptr);
  CoTaskMemFree(half);

  // A text offset is compared without sign: a huge one reads nothing.
  STRRET sr;
  sr.uType = STRRET_OFFSET;
  sr.uOffset = 0xFFFFFFF0u;
  std::string text = "x";
  StrRetToString(good, sr, text);
  EXPECT_EQ(text, "x");
  ShellFree(good);
}

// A list is its maker's memory to vouch for: one on the stack or in a plain array is read
// by its own terminator like one from the task allocator.
TEST(PidlOps, ListsBuiltOutsideTheAllocatorAreAccepted) {
  const unsigned char onStack[] = {3, 0, 'A', 0, 0};
  auto list = reinterpret_cast<LPCITEMIDLIST>(onStack);
  EXPECT_EQ(PidlSize(list), 5);
  EXPECT_EQ(ILGetCount(list), 1u);
  LPITEMIDLIST copy = CopyPidl(nullptr, list);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, onStack, 5), 0);
  LPITEMIDLIST twice = ConcatPidls(nullptr, list, list);
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(PidlSize(twice), 8);
  EXPECT_TRUE(ILIsEqual(ILNext(twice), list));

  TempMachine pc{{}, &CreateMachine};
  const std::string drive =
      pidl::RootItem(CLSID_MyComputer) + pidl::DriveItem('C') + std::string(2, '\0');
  std::vector<unsigned char> array(drive.begin(), drive.end());
  auto plain = reinterpret_cast<LPCITEMIDLIST>(array.data());
  LPITEMIDLIST made = pidl::Make({pidl::RootItem(CLSID_MyComputer), pidl::DriveItem('C')});
  EXPECT_EQ(ComparePidls(plain, made), 0);
  TScShellLocator locator;
  locator.SetPidl(plain);
  ASSERT_EQ(PidlSize(locator.Pidl()), PidlSize(made));
  EXPECT_EQ(ComparePidls(locator.Pidl(), made), 0);
  for (auto p : {copy, twice, made}) ShellFree(p);
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
  for (const auto& [bad, f] : std::vector<std::pair<int, std::function<void()>>>{
           {9, [&] { list.Items(9); }}, {-1, [&] { list.Objects(-1); }}, {4, [&] {
                                                                            list.Delete(4);
                                                                          }}})
    try {
      f();
      ADD_FAILURE() << "index " << bad << " accepted";
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), "Indice de liste hors limites (" + std::to_string(bad) + ")");
    }
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

namespace {
// Unregisters itself, or another listener, when it hears a change.
struct Leaver {
  TScDeviceChangeHandler* H = nullptr;
  Listener* Other = nullptr;
  int Heard = 0;
  void OnDevice(TObject*, TMessage&) {
    ++Heard;
    if (Other)
      H->Unregister<Listener, &Listener::OnDevice>(Other);
    else
      H->Unregister<Leaver, &Leaver::OnDevice>(this);
  }
};
}  // namespace

TEST(DeviceChange, HandlersLeavingDuringABroadcastMakeNoOtherMissIt) {
  TScDeviceChangeHandler* h = DeviceChangeHandler();
  Leaver self{h};
  Listener next, removed;
  Leaver remover{h, &removed};
  h->Register<Leaver, &Leaver::OnDevice>(&self);
  h->Register<Listener, &Listener::OnDevice>(&next);
  h->Register<Leaver, &Leaver::OnDevice>(&remover);
  h->Register<Listener, &Listener::OnDevice>(&removed);
  // The system's query is answered by the default procedure (granted), not with 0.
  EXPECT_EQ(SendMessage(h->Handle(), 0x0219, 0x8001, 0), TRUE);
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  EXPECT_EQ(self.Heard, 1);
  EXPECT_EQ(next.seen.size(), 1u);    // right after a handler that left
  EXPECT_TRUE(removed.seen.empty());  // unregistered before its turn
  EXPECT_EQ(h->HandlerCount(), 2);
  h->Unregister<Listener, &Listener::OnDevice>(&next);
  h->Unregister<Leaver, &Leaver::OnDevice>(&remover);
  EXPECT_EQ(h->HandlerCount(), 0);
}
