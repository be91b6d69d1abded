// The process's one set of kernel watches: clients sharing a folder get their own events and
// keep them when another lets go, a watch's end is told to its holders only, a lost event
// queue drops the kept listings, and a forked child leaves its parent's events alone.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/system/CacheSwitch.h"
#include "platform/system/DirectoryCache.h"
#include "platform/system/WatchService.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

struct Seen {
  int wd;
  std::uint32_t mask;
  std::string name;
};

std::vector<Seen> Events(WatchQueue& q) {
  std::vector<Seen> out;
  q.Drain([&](const WatchEvent& e) { out.push_back({e.wd, e.mask, std::string(e.name)}); });
  return out;
}

void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

}  // namespace

TEST(WatchService, ClientsOfOneFolderShareItsWatchAndGetTheirOwnEvents) {
  TempMachine pc;
  const fs::path dir = pc.c() / "Shared";
  fs::create_directories(dir);
  Touch(dir / "f.txt");
  WatchService& service = WatchService::Process();
  const std::size_t before = service.Watches();
  WatchQueue names, attributes;
  ASSERT_TRUE(names.Open() && attributes.Open());
  const int wd = names.Add(dir.string(), IN_CREATE | IN_DELETE | IN_ONLYDIR);
  ASSERT_GE(wd, 0);
  ASSERT_EQ(attributes.Add(dir.string(), IN_ATTRIB | IN_ONLYDIR), wd);
  EXPECT_EQ(service.Watches(), before + 1);

  // Each gets what it asked for, not what the kernel watch holds for the other.
  ::chmod((dir / "f.txt").c_str(), 0600);
  Touch(dir / "g.txt");
  std::vector<Seen> n = Events(names), a = Events(attributes);
  ASSERT_EQ(n.size(), 1u);
  EXPECT_TRUE(n[0].mask & IN_CREATE);
  EXPECT_EQ(n[0].name, "g.txt");
  ASSERT_EQ(a.size(), 1u);
  EXPECT_EQ(a[0].name, "f.txt");

  // One lets go: the other keeps the watch, and the name events it never asked for stay out.
  names.Remove(wd);
  fs::remove(dir / "g.txt");
  ::chmod((dir / "f.txt").c_str(), 0644);
  EXPECT_TRUE(Events(names).empty());
  a = Events(attributes);
  ASSERT_EQ(a.size(), 1u);
  EXPECT_TRUE(a[0].mask & IN_ATTRIB);

  // The last one lets go: the watch's end is told to nobody, and the folder watched again
  // is a watch of its own.
  attributes.Remove(wd);
  EXPECT_EQ(service.Watches(), before);
  const int again = names.Add(dir.string(), IN_CREATE | IN_ONLYDIR);
  ASSERT_GE(again, 0);
  EXPECT_TRUE(Events(attributes).empty());
  Touch(dir / "h.txt");
  n = Events(names);
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].wd, again);

  // The folder removed: its holder is told the watch ended.
  fs::remove_all(dir);
  bool ended = false;
  for (const Seen& e : Events(names)) ended = ended || (e.wd == again && (e.mask & IN_IGNORED));
  EXPECT_TRUE(ended);
  EXPECT_EQ(service.Watches(), before);
}

// A client reading as events come, with nothing to do with them.
struct Reading final : WatchService::Client {
  void Take(const WatchEvent&) override {}
};

// Lost by the kernel's queue while nobody reads, or by the listings' own queue while the
// reader thread reads for them.
TEST(WatchService, ALostEventQueueDropsEveryKeptListing) {
  std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
  int limit = 16384;
  limitFile >> limit;
  if (limit > 200000) GTEST_SKIP() << "event queue too long to overflow here";
  if (!win::CachesOn()) GTEST_SKIP() << "it checks what the listings keep, and they are off";
  TempMachine pc;
  const fs::path busy = pc.c() / "Busy", quiet = pc.c() / "Quiet";
  fs::create_directories(busy);
  fs::create_directories(quiet);
  Touch(quiet / "q.txt");
  DirectoryCache cache([](const std::string& s) { return s; }, pc.dir().string());
  auto find = [&](const fs::path& dir, const std::string& name) {
    struct stat st;
    EXPECT_EQ(::stat(dir.c_str(), &st), 0);
    DirectoryCache::Found f;
    return cache.Find(dir.string(), st, name, f);
  };
  for (bool threaded : {false, true}) {
    Reading reading;
    if (threaded) {
      ASSERT_TRUE(WatchService::Process().Join(reading, true));
    }
    ASSERT_EQ(find(quiet, "q.txt"), DirectoryCache::Result::Present);
    ASSERT_EQ(find(busy, "b.txt"), DirectoryCache::Result::Absent);
    const std::uint64_t listed = cache.Listings();
    EXPECT_EQ(find(quiet, "q.txt"), DirectoryCache::Result::Present);
    EXPECT_EQ(cache.Listings(), listed);  // kept
    for (int i = 0; i <= std::max(limit, 16384) / 2 + 10; ++i) {
      Touch(busy / "b.txt");
      fs::remove(busy / "b.txt");
    }
    EXPECT_EQ(find(quiet, "q.txt"), DirectoryCache::Result::Present);
    EXPECT_EQ(cache.Listings(), listed + 1) << threaded;  // read again, though unchanged
    if (threaded) WatchService::Process().Leave(reading);
  }
}

TEST(WatchService, AForkedChildHasNoWatchAndLeavesItsParentTheEvents) {
  TempMachine pc;
  const fs::path dir = pc.c() / "Parent";
  fs::create_directories(dir);
  WatchQueue q;
  ASSERT_TRUE(q.Open());
  const int wd = q.Add(dir.string(), IN_CREATE | IN_ONLYDIR);
  ASSERT_GE(wd, 0);
  Touch(dir / "before.txt");
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child reads none of its parent's events; its own service starts empty.
    Touch(dir / "child.txt");
    const bool read = !Events(q).empty();
    const bool forked = q.LeftByFork();
    WatchQueue mine;
    const bool fresh = mine.Open() && WatchService::Process().Watches() == 0;
    _exit(forked && !read && fresh ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<std::string> names;
  for (const Seen& e : Events(q)) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"before.txt", "child.txt"}));
}
