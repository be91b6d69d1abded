// A program killed at random moments while it writes the registry and files never leaves
// a damaged registry.db nor a half-written file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <sstream>

#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/Sqlite.h"
#include "tests/support/TempMachine.h"

namespace fs = std::filesystem;
using namespace win;

namespace {
constexpr size_t kSize = 1 << 20;

std::string Content(char fill) { return std::string(kSize, fill); }

// Writes until killed; tells `started` once its first round is done, so that the kill
// comes while it writes, however long a loaded machine takes it to get there.
[[noreturn]] void Writer(const fs::path& dir, unsigned seed, int started) {
  Machine::Use(dir);
  std::mt19937 rng(seed);
  const std::string a = Content('a'), b = Content('b');
  for (unsigned i = 0;; ++i) {
    if (i == 1) {
      char ok = 1;
      if (::write(started, &ok, 1) != 1) ::_exit(2);
      ::close(started);
    }
    HKEY k;
    std::string key = "SOFTWARE\\Crash\\K" + std::to_string(rng() % 20);
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                       nullptr) == 0) {
      std::string v = std::to_string(i);
      RegSetValueEx(k, "V" + std::to_string(rng() % 5), 0, REG_SZ,
                    reinterpret_cast<const BYTE*>(v.c_str()), DWORD(v.size() + 1));
      if (rng() % 7 == 0) RegDeleteValue(k, "V0");
      RegCloseKey(k);
    }
    std::string target = "C:\\data\\f" + std::to_string(rng() % 4) + ".bin";
    switch (rng() % 3) {
      case 0:
        WriteWholeFile(target, (i & 1) ? a : b);
        break;
      case 1:
        CopyFile((i & 1) ? "C:\\src\\a.bin" : "C:\\src\\b.bin", target, FALSE);
        break;
      default: {
        HANDLE h = CreateFile(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
          const std::string& c = (i & 1) ? a : b;
          DWORD n;
          for (size_t off = 0; off < kSize; off += 65536)
            WriteFile(h, c.data() + off, 65536, &n, nullptr);
          CloseHandle(h);
        }
      }
    }
  }
}
}  // namespace

TEST(CrashSafety, KilledWritersLeaveNoDamage) {
  TempMachine pc;
  fs::create_directories(pc.c() / "src");
  fs::create_directories(pc.c() / "data");
  std::ofstream(pc.c() / "src/a.bin", std::ios::binary) << Content('a');
  std::ofstream(pc.c() / "src/b.bin", std::ios::binary) << Content('b');
  for (int i = 0; i < 4; ++i)
    std::ofstream(pc.c() / ("data/f" + std::to_string(i) + ".bin"), std::ios::binary)
        << Content('o');
  // The child opens its own connections.
  pc.machine().CloseDatabases();

  std::mt19937 rng(12345);
  for (int round = 0; round < 6; ++round) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(fds[0]);
      Writer(pc.dir(), unsigned(round), fds[1]);
    }
    ::close(fds[1]);
    char ok = 0;
    ASSERT_EQ(::read(fds[0], &ok, 1), 1);
    ::close(fds[0]);
    usleep(rng() % 150000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
  }

  Machine reopened(pc.dir());
  EXPECT_EQ(reopened.RegistryDb().IntegrityCheck(), "ok");
  HKEY k;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Crash", 0, KEY_READ, &k), 0);
  DWORD subKeys = 0;
  EXPECT_EQ(RegQueryInfoKey(k, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_GT(subKeys, 0u);
  RegCloseKey(k);
  for (int i = 0; i < 4; ++i) {
    std::ifstream in(pc.c() / ("data/f" + std::to_string(i) + ".bin"), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string data = ss.str();
    ASSERT_EQ(data.size(), kSize) << "f" << i;
    EXPECT_TRUE(data == Content('a') || data == Content('b') || data == Content('o')) << "f" << i;
  }
}
