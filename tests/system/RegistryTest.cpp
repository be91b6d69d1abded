#include <gtest/gtest.h>

#include <fstream>

#include "platform/system/Registry.h"
#include "support/DamagedRegistry.h"
#include "tests/support/TempMachine.h"

using namespace win;

namespace {
LONG SetSz(HKEY k, const std::string& name, const std::string& v) {
  return RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                       DWORD(v.size() + 1));
}
std::string QuerySz(HKEY k, const std::string& name) {
  char buf[256];
  DWORD size = sizeof buf, type = 0;
  if (RegQueryValueEx(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != 0)
    return "<none>";
  return std::string(buf, size ? size - 1 : 0);
}
}  // namespace

TEST(Registry, CreateSetQueryWithoutRegardToCase) {
  TempMachine pc;
  HKEY k;
  DWORD disp = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Product\\1.0", 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, &k, &disp),
            0);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  ASSERT_EQ(SetSz(k, "C:\\WINDOWS\\system32\\a.dll", "path with backslashes"), 0);
  DWORD one = 1;
  ASSERT_EQ(RegSetValueEx(k, "Count", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), 0);
  RegCloseKey(k);

  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\MAKER\\product\\1.0", 0, KEY_READ, &k), 0);
  EXPECT_EQ(QuerySz(k, "c:\\windows\\SYSTEM32\\A.DLL"), "path with backslashes");
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueEx(k, "count", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  BYTE small[2];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueEx(k, "C:\\WINDOWS\\system32\\a.dll", nullptr, &type, small, &size),
            LONG(ERROR_MORE_DATA));
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(RegQueryValueEx(k, "missing", nullptr, &type, nullptr, &size),
            LONG(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SetSz(k, "x", "y"), LONG(ERROR_ACCESS_DENIED));  // opened for reading
  char name[64];
  DWORD n = sizeof name;
  ASSERT_EQ(RegEnumValue(k, 1, name, &n, nullptr, &type, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "Count");
  n = sizeof name;
  EXPECT_EQ(RegEnumValue(k, 2, name, &n, nullptr, &type, nullptr, nullptr),
            LONG(ERROR_NO_MORE_ITEMS));
  RegCloseKey(k);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\None", 0, KEY_READ, &k),
            LONG(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), LONG(ERROR_INVALID_HANDLE));
}

TEST(Registry, DeleteRulesAndEnumeration) {
  TempMachine pc;
  HKEY k;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\M\\b", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &k, nullptr),
            0);
  RegCloseKey(k);
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\M\\A", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &k, nullptr),
            0);
  RegCloseKey(k);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\M", 0, KEY_ALL_ACCESS, &k), 0);
  char name[64];
  DWORD n = sizeof name;
  ASSERT_EQ(RegEnumKeyEx(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "A");
  DWORD subKeys = 0;
  ASSERT_EQ(RegQueryInfoKey(k, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(subKeys, 2u);
  RegCloseKey(k);
  // NT refuses to delete a key that has subkeys.
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\M"), LONG(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\M\\a"), 0);
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\M\\B"), 0);
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\M"), 0);
  EXPECT_EQ(RegOpenKeyEx(HKEY_USERS, "Administrateur\\Software", 0, KEY_READ, &k), 0);
  RegCloseKey(k);
}

TEST(Registry, NonAdministratorCannotWriteTheMachineHive) {
  MachineSettings s;
  s.admin = false;
  TempMachine pc(s);
  HKEY k;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 0, nullptr, 0, KEY_ALL_ACCESS,
                           nullptr, &k, nullptr),
            LONG(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SetSz(HKEY_LOCAL_MACHINE, "v", "x"), LONG(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &k, nullptr),
            0);
  RegCloseKey(k);
}

// A registry.db that is not a sound registry is never opened as one, nor replaced by a
// fresh one: every call gives 1009, the reason names the file, and the file stays as it is.
TEST(Registry, DamagedDatabaseIsNamedAndLeftAsItIs) {
  for (auto d : damaged::AllDamages()) {
    SCOPED_TRACE(damaged::Name(d));
    TempMachine pc;
    HKEY k;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kept", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              0);
    RegCloseKey(k);
    pc.machine().CloseDatabases();
    damaged::Apply(pc.dir(), d);
    const std::string before = testfiles::ReadFile(pc.dir() / "registry.db");

    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), LONG(ERROR_BADDB));
    EXPECT_EQ(SetSz(HKEY_CURRENT_USER, "v", "x"), LONG(ERROR_BADDB));
    EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              LONG(ERROR_BADDB));
    const std::string why = RegistryFailureText();
    EXPECT_NE(why.find((pc.dir() / "registry.db").string()), std::string::npos) << why;
    EXPECT_NE(why.find(damaged::Problem(d)), std::string::npos) << why;
    EXPECT_THROW(RegExportText(""), std::runtime_error);
    EXPECT_THROW(RegImportText("REGEDIT4\n[HKLM\\SOFTWARE\\X]\n"), std::runtime_error);
    pc.machine().CloseDatabases();
    EXPECT_EQ(std::filesystem::exists(pc.dir() / "registry.db"), d != damaged::Damage::Missing);
    EXPECT_EQ(testfiles::ReadFile(pc.dir() / "registry.db"), before);
  }
}

// Windows' limits hold for every writer: a key name of 255 characters, a key 512 levels
// below its root, a value name of 16,383 characters; one more is 87 and writes nothing.
// Characters, not bytes, are counted.
TEST(Registry, NamesAndDepthStayWithinWindowsLimits) {
  TempMachine pc;
  HKEY k;
  auto create = [&](HKEY root, const std::string& sub) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyEx(root, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
    if (h) RegCloseKey(h);
    return rc;
  };
  std::string e255;
  for (int i = 0; i < 255; ++i) e255 += "é";
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + e255), 0);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + e255 + "x"), LONG(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fine\\" + std::string(256, 'k')),
            LONG(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Fine", 0, KEY_READ, &k),
            LONG(ERROR_FILE_NOT_FOUND));

  // SOFTWARE is level 1: 510 more make 511, one more the deepest key allowed.
  // (30 levels a call: one call makes at most 32)
  std::string path = "SOFTWARE";
  for (int i = 0; i < 510; ++i) {
    path += "\\d";
    if (i % 30 == 29) {
      ASSERT_EQ(create(HKEY_LOCAL_MACHINE, path), 0);
    }
  }
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &k), 0);
  EXPECT_EQ(create(k, "last"), 0);
  EXPECT_EQ(create(k, "last\\tooDeep"), LONG(ERROR_INVALID_PARAMETER));
  RegCloseKey(k);
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\" + std::string(100000, 'n')),
            LONG(ERROR_INVALID_PARAMETER));
  std::string huge = "SOFTWARE";
  for (int i = 0; i < 30000; ++i) huge += "\\h";
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, huge), LONG(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\h", 0, KEY_READ, &k),
            LONG(ERROR_FILE_NOT_FOUND));

  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "", 0, KEY_ALL_ACCESS, &k), 0);
  EXPECT_EQ(SetSz(k, std::string(16383, 'v'), "longest"), 0);
  EXPECT_EQ(SetSz(k, std::string(16384, 'v'), "too long"), LONG(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(QuerySz(k, std::string(16384, 'v')), "<none>");
  EXPECT_EQ(QuerySz(k, std::string(16383, 'v')), "longest");
  RegCloseKey(k);
}
