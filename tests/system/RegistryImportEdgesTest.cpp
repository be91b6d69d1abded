// The limits Windows keeps on names and on the levels one call creates.
#include <gtest/gtest.h>

#include "platform/system/Registry.h"
#include "tests/support/TempMachine.h"

using namespace win;

namespace {

std::string Value(const std::string& key, const std::string& name, DWORD* type = nullptr) {
  HKEY k;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k) != 0) return "<no key>";
  DWORD size = 0, t = 0;
  std::string data;
  if (RegQueryValueEx(k, name, nullptr, &t, nullptr, &size) == 0) {
    data.resize(size);
    RegQueryValueEx(k, name, nullptr, &t, reinterpret_cast<BYTE*>(data.data()), &size);
  } else {
    data = "<no value>";
  }
  if (type) *type = t;
  RegCloseKey(k);
  return data;
}

std::string ImportError(const std::string& text) {
  try {
    RegImportText(text);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "imported";
}

const char* const kEmoji = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units

}  // namespace

TEST(RegistryLimits, NamesCountUtf16UnitsAndOneCallMakesAtMost32Levels) {
  TempMachine pc;
  auto create = [&](const std::string& sub) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyEx(HKEY_LOCAL_MACHINE, sub, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                             nullptr);
    if (h) RegCloseKey(h);
    return rc;
  };
  std::string wide;  // 127 characters past U+FFFF: 254 units
  for (int i = 0; i < 127; ++i) wide += kEmoji;
  EXPECT_EQ(create("SOFTWARE\\" + wide + "x"), 0);
  EXPECT_EQ(create("SOFTWARE\\" + wide + kEmoji), LONG(ERROR_INVALID_PARAMETER));
  EXPECT_NE(ImportError("REGEDIT4\n[HKLM\\SOFTWARE\\" + wide + kEmoji + "]\n").find("255"),
            std::string::npos);
  std::string longName;
  for (int i = 0; i < 8192; ++i) longName += kEmoji;  // 16,384 units
  EXPECT_NE(
      ImportError("REGEDIT4\n[HKLM\\SOFTWARE\\N]\n\"" + longName + "\"=\"v\"\n").find("16383"),
      std::string::npos);

  std::string levels = "SOFTWARE";
  for (int i = 0; i < 33; ++i) levels += "\\l";
  EXPECT_EQ(create(levels), LONG(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(Value("SOFTWARE\\l", ""), "<no key>");
  EXPECT_EQ(create(levels.substr(0, levels.size() - 2)), 0);  // 32 new levels
  EXPECT_EQ(create(levels), 0);                               // then one more
}
