// With the caches off (WI_NO_CACHES), nothing is answered from what an earlier question
// kept: each lookup reads its folder, no folder is held, and a transaction's reads ask the
// database each time. The answers themselves stay the same.
#include <gtest/gtest.h>

#include "platform/system/CacheSwitch.h"
#include "platform/system/DirectoryCache.h"
#include "platform/system/FileAttributes.h"
#include "platform/system/Files.h"
#include "platform/system/FolderHandles.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/Sqlite.h"
#include "tests/support/TempMachine.h"
#include "tests/support/TestFiles.h"

using namespace win;

namespace {
struct CachesOff {
  const bool was = CachesOn();
  CachesOff() { SetCachesOn(false); }
  ~CachesOff() { SetCachesOn(was); }
};
}  // namespace

TEST(CacheSwitch, OffEveryAnswerIsAskedAfresh) {
  CachesOff off;
  TempMachine pc;
  testfiles::PutFile(pc.c() / "src" / "a.dll", "a");
  FolderHandle::Release();
  Machine& m = pc.machine();
  const auto listings = m.Folders().Listings();
  {
    RecordBatch unit(m);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(GetFileAttributes("C:\\src\\A.DLL"), DWORD(0x20));
    ASSERT_TRUE(CopyFile("C:\\src\\a.dll", "C:\\src\\b.dll", TRUE));
    SqliteReadCache<int> cache;
    int asked = 0;
    for (int i = 0; i < 3; ++i) cache.Lookup(m.State(), "k", [&] { return ++asked; });
    EXPECT_EQ(asked, 3);
  }
  EXPECT_GE(m.Folders().Listings() - listings, 4u) << "a listing was kept";
  EXPECT_EQ(FolderHandle::HeldCount(), 0u);
  EXPECT_EQ(testfiles::ReadFile(pc.c() / "src" / "b.dll"), "a");
}
