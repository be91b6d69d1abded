#include <gtest/gtest.h>

#include <fstream>

#include "platform/system/Registry.h"
#include "tests/support/TempMachine.h"

using namespace win;

namespace {
LONG SetSz(HKEY k, const std::string& name, const std::string& v) {
  return RegSetValueEx(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()), DWORD(v.size() + 1));
}
std::string QuerySz(HKEY k, const std::string& name) {
  char buf[256];
  DWORD size = sizeof buf, type = 0;
  if (RegQueryValueEx(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != 0) return "<none>";
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
  EXPECT_EQ(RegQueryValueEx(k, "C:\\WINDOWS\\system32\\a.dll", nullptr, &type, small, &size), LONG(ERROR_MORE_DATA));
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(RegQueryValueEx(k, "missing", nullptr, &type, nullptr, &size), LONG(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SetSz(k, "x", "y"), LONG(ERROR_ACCESS_DENIED));  // opened for reading
  char name[64];
  DWORD n = sizeof name;
  ASSERT_EQ(RegEnumValue(k, 1, name, &n, nullptr, &type, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "Count");
  n = sizeof name;
  EXPECT_EQ(RegEnumValue(k, 2, name, &n, nullptr, &type, nullptr, nullptr), LONG(ERROR_NO_MORE_ITEMS));
  RegCloseKey(k);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\None", 0, KEY_READ, &k), LONG(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), LONG(ERROR_INVALID_HANDLE));
}

TEST(Registry, DeleteRulesAndEnumeration) {
  TempMachine pc;
  HKEY k;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\M\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), 0);
  RegCloseKey(k);
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\M\\A", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), 0);
  RegCloseKey(k);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\M", 0, KEY_ALL_ACCESS, &k), 0);
  char name[64];
  DWORD n = sizeof name;
  ASSERT_EQ(RegEnumKeyEx(k, 0, name, &n, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(name, "A");
  DWORD subKeys = 0;
  ASSERT_EQ(RegQueryInfoKey(k, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr),
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
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            LONG(ERROR_ACCESS_DENIED));
  EXPECT_EQ(SetSz(HKEY_LOCAL_MACHINE, "v", "x"), LONG(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), 0);
  RegCloseKey(k);
}

TEST(Registry, CorruptDatabaseGivesAnErrorCode) {
  TempMachine pc;
  std::ofstream(pc.dir() / "registry.db", std::ios::binary) << std::string(4096, 'x');
  HKEY k;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), LONG(ERROR_BADDB));
  EXPECT_EQ(SetSz(HKEY_CURRENT_USER, "v", "x"), LONG(ERROR_BADDB));
}
