// Shared-library counts keep the type another installer stored them in.
#include <vector>

#include "platform/system/Exceptions.h"
#include "platform/system/Registry.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

const std::string kLib = "C:\\WINDOWS\\system32\\gds32.dll";

class SharedDlls : public ToolkitTest {
 protected:
  struct Value {
    win::DWORD type = 0;
    std::vector<win::BYTE> data;
  };

  void Set(win::DWORD type, const std::vector<win::BYTE>& data) {
    SetMachineValue(kSharedDllsKey, kLib, type, data);
  }
  void SetText(const std::string& text) {
    Set(win::REG_SZ, std::vector<win::BYTE>(text.c_str(), text.c_str() + text.size() + 1));
  }
  // Empty type 0 when the value is missing.
  Value Get() {
    Value v;
    win::HKEY k;
    if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, win::KEY_READ, &k) != 0)
      return v;
    win::DWORD size = 0;
    if (win::RegQueryValueEx(k, kLib, nullptr, &v.type, nullptr, &size) == 0) {
      v.data.resize(size);
      win::RegQueryValueEx(k, kLib, nullptr, &v.type, v.data.data(), &size);
    } else {
      v.type = 0;
    }
    win::RegCloseKey(k);
    return v;
  }
  static std::vector<win::BYTE> Dword(std::uint32_t v) {
    return {win::BYTE(v), win::BYTE(v >> 8), win::BYTE(v >> 16), win::BYTE(v >> 24)};
  }
  static std::vector<win::BYTE> Text(const std::string& t) {
    return std::vector<win::BYTE>(t.c_str(), t.c_str() + t.size() + 1);
  }
};

TEST_F(SharedDlls, IncrementKeepsTheStoredType) {
  TWindowsInstaller::IncrementSharedDllCount(kLib);
  EXPECT_EQ(Get().type, win::REG_DWORD);
  EXPECT_EQ(Get().data, Dword(1));
  TWindowsInstaller::IncrementSharedDllCount(kLib);
  EXPECT_EQ(Get().data, Dword(2));

  SetText("3");
  TWindowsInstaller::IncrementSharedDllCount(kLib);
  EXPECT_EQ(Get().type, win::REG_SZ);
  EXPECT_EQ(Get().data, Text("4"));
  SetText("2147483646");  // the largest count that still takes one more
  TWindowsInstaller::IncrementSharedDllCount(kLib);
  EXPECT_EQ(Get().type, win::REG_SZ);
  EXPECT_EQ(Get().data, Text("2147483647"));

  Set(win::REG_BINARY, {7, 0});
  TWindowsInstaller::IncrementSharedDllCount(kLib);
  EXPECT_EQ(Get().type, win::REG_BINARY);
  EXPECT_EQ(Get().data, Dword(8));

  Set(win::REG_BINARY, {0xFF, 0xFF, 0xFF});
  TWindowsInstaller::IncrementSharedDllCount(kLib);
  EXPECT_EQ(Get().type, win::REG_BINARY);
  EXPECT_EQ(Get().data, Dword(0x01000000));
}

TEST_F(SharedDlls, UnreadableCountsStartAgainAtOne) {
  for (auto [type, data] : std::vector<std::pair<win::DWORD, std::vector<win::BYTE>>>{
           {win::REG_SZ, Text("abc")},
           {win::REG_SZ, Text("-3")},
           {win::REG_SZ, Text("")},
           // Counts that do not fit 32 signed bits are no numbers, not counts cut short.
           {win::REG_SZ, Text("3000000000")},
           {win::REG_SZ, Text("2147483648")},
           {win::REG_SZ, Text("99999999999999999999")},
           {win::REG_EXPAND_SZ, Text("5")},
           {win::REG_BINARY, {1, 0, 0, 0, 0}},
           {win::REG_BINARY, {}},
           {win::REG_DWORD, Dword(0x80000000)},
       }) {
    Set(type, data);
    TWindowsInstaller::IncrementSharedDllCount(kLib);
    EXPECT_EQ(Get().type, win::REG_DWORD) << type;
    EXPECT_EQ(Get().data, Dword(1)) << type;
  }
}

TEST_F(SharedDlls, ReleaseCountsDownAndDeletesAtZero) {
  EXPECT_FALSE(TWindowsInstaller::ReleaseSharedDll(kLib));  // no value: nothing to release
  EXPECT_EQ(Get().type, 0u);

  Set(win::REG_DWORD, Dword(2));
  EXPECT_FALSE(TWindowsInstaller::ReleaseSharedDll(kLib));
  EXPECT_EQ(Get().data, Dword(1));
  EXPECT_TRUE(TWindowsInstaller::ReleaseSharedDll(kLib));
  EXPECT_EQ(Get().type, 0u);

  SetText("5");
  EXPECT_FALSE(TWindowsInstaller::ReleaseSharedDll(kLib));
  EXPECT_EQ(Get().type, win::REG_SZ);
  EXPECT_EQ(Get().data, Text("4"));

  Set(win::REG_BINARY, {3});
  EXPECT_FALSE(TWindowsInstaller::ReleaseSharedDll(kLib));
  EXPECT_EQ(Get().type, win::REG_BINARY);
  EXPECT_EQ(Get().data, Dword(2));

  // An unreadable count counts as 2, so the library stays with a count of 1; so does one
  // too large for a count.
  for (const char* text : {"abc", "3000000000"}) {
    SetText(text);
    EXPECT_FALSE(TWindowsInstaller::ReleaseSharedDll(kLib)) << text;
    EXPECT_EQ(Get().type, win::REG_DWORD) << text;
    EXPECT_EQ(Get().data, Dword(1)) << text;
  }

  // A count already at 0 is released, not wrapped round.
  Set(win::REG_DWORD, Dword(0));
  EXPECT_TRUE(TWindowsInstaller::ReleaseSharedDll(kLib));
  EXPECT_EQ(Get().type, 0u);

  Set(win::REG_DWORD, Dword(9));
  TWindowsInstaller::RemoveSharedDll(kLib);
  EXPECT_EQ(Get().type, 0u);
  TWindowsInstaller::RemoveSharedDll(kLib);  // missing: no error
}

TEST_F(SharedDlls, NonAdministratorGetsRegistryAccessError) {
  auto s = win::Machine::Current().Settings();
  s.admin = false;
  win::Machine::Current().SaveSettings(s);
  try {
    TWindowsInstaller::IncrementSharedDllCount(kLib);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(
        e.Message(),
        "Registry access error : \r\nSoftware\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
  }
}

TEST_F(SharedDlls, CorruptRegistryGivesAClearErrorAndKeepsTheFile) {
  auto& m = win::Machine::Current();
  m.CloseDatabases();
  auto db = m.Dir() / "registry.db";
  const std::string junk(4096, 'x');
  std::ofstream(db, std::ios::binary | std::ios::trunc) << junk;
  for (std::filesystem::path side : {db.string() + "-wal", db.string() + "-shm"})
    std::filesystem::remove(side);

  EXPECT_THROW(TWindowsInstaller::IncrementSharedDllCount(kLib), Exception);
  EXPECT_THROW(TWindowsInstaller::ReleaseSharedDll(kLib), Exception);
  std::ifstream in(db, std::ios::binary);
  std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, junk);
  m.CloseDatabases();
}

}  // namespace
