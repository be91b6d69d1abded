// Registry texts as the registry editor writes them, and the limits Windows keeps on names
// and on the levels one call creates.
#include <gtest/gtest.h>

#include "platform/system/Registry.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"
#include "tests/support/TempMachine.h"
#include "tests/support/Utf16Files.h"

using namespace win;
using testfiles::Utf16File;

namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%s%02x", out.empty() ? "" : ",", c);
    out += buf;
  }
  return out;
}

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

TEST(RegistryEditorText, Utf16AndUtf8FilesImportWithEveryValueType) {
  // Long enough to be continued over lines as the editor wraps it.
  std::string blob;
  for (int i = 0; i < 1000; ++i) blob += char(i * 7);
  std::string wrapped = Hex(blob);
  for (std::size_t at = 75; at < wrapped.size(); at += 78) wrapped.insert(at, "\\\n  ");
  const std::string body =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Société " +
      std::string(kEmoji) +
      "]\n"
      "@=\"défaut " +
      kEmoji +
      "\"\n"
      "\"Count\"=dword:0000002a\n"
      "\"Path\"=hex(2):" +
      Hex(Utf16LeBytes(u"%SystemRoot%\\é")) +
      ",00,00\n"
      "\"List\"=hex(7):" +
      Hex(Utf16LeBytes(std::u16string(u"a\0b\0\0", 5))) +
      "\n"
      "\"Big\"=hex(b):01,02,03,04,05,06,07,08\n"
      "\"None\"=hex(0):\n"
      "\"Odd\"=hex(2):41,00,42\n"
      "\"Blob\"=hex:" +
      wrapped + "\n\n";
  const std::string key = "SOFTWARE\\Société " + std::string(kEmoji);
  for (const std::string& file : {Utf16File(body), "\xEF\xBB\xBF" + body}) {
    TempMachine fresh;
    RegImportText(file);
    DWORD type = 0;
    EXPECT_EQ(Value(key, "", &type), "défaut " + std::string(kEmoji) + '\0');
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(Value(key, "Count"), std::string("\x2a\0\0\0", 4));
    EXPECT_EQ(Value(key, "Path", &type), std::string("%SystemRoot%\\é\0", 16));
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_EQ(Value(key, "List", &type), std::string("a\0b\0\0", 5));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(Value(key, "Big", &type), "\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(type, 11u);
    EXPECT_EQ(Value(key, "None", &type), "");
    EXPECT_EQ(type, REG_NONE);
    EXPECT_EQ(Value(key, "Odd"),
              std::string("A\0B", 3));  // an odd length is no UTF-16 text: kept as it is
    EXPECT_EQ(Value(key, "Blob"), blob);
    // One line of journal for the whole text, not one per value.
    auto journal = fresh.machine().ReadJournal();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.back().text, "text imported: 2 keys created, 8 values set");
  }
}

TEST(RegistryEditorText, CharactersAcrossTheReadingBlocksArriveWhole) {
  TempMachine pc;
  // The emoji's two UTF-16 units fall on both sides of the first 1 MiB block read.
  const std::string head =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\n\"v\"=\"";
  const std::size_t before = Utf16File(head).size();
  const std::string pad((std::size_t(1) << 20) / 2 - 1 - before / 2, 'p');
  RegImportText(Utf16File(head + pad + kEmoji + "\"\n"));
  EXPECT_EQ(Value("SOFTWARE\\T", "v"), pad + kEmoji + '\0');
}

TEST(RegistryEditorText, RootsCannotBeDeletedAndTextsTheEditorNeverWritesAreRefused) {
  TempMachine pc{{}, &CreateMachine};
  for (const char* root : {"HKEY_LOCAL_MACHINE", "HKLM\\", "HKEY_CURRENT_USER", "HKCR"}) {
    SCOPED_TRACE(root);
    const std::string error = ImportError(
        std::string("REGEDIT4\n[HKLM\\SOFTWARE\\Before]\n\"v\"=\"1\"\n[-") + root + "]\n");
    EXPECT_EQ(error.rfind("line 4: ", 0), 0u) << error;
    EXPECT_NE(error.find("root key"), std::string::npos) << error;
    EXPECT_EQ(Value("SOFTWARE\\Before", "v"), "<no key>");
    EXPECT_EQ(Value("SOFTWARE", "x"), "<no value>");  // HKEY_LOCAL_MACHINE still holds its keys
  }
  const std::string ok = "Windows Registry Editor Version 5.00\n[HKLM\\SOFTWARE\\X]\n";
  EXPECT_NE(ImportError("\xFE\xFF" + ok).find("big-endian"), std::string::npos);
  EXPECT_EQ(ImportError(Utf16File(ok) + "x").rfind("line 3: ", 0), 0u);  // half a character
  EXPECT_EQ(Value("SOFTWARE\\X", ""), "<no key>");
}

// What a text gives again, or takes back, ends as the last line says; rows of values written
// at once change none of that.
TEST(RegistryEditorText, RepeatedAndDeletedKeysAndValuesEndAsTheLastLineSays) {
  TempMachine pc{{}, &CreateMachine};
  RegImportText("REGEDIT4\n[HKLM\\SOFTWARE\\Old]\n\"a\"=\"1\"\n\"B\"=\"2\"\n");
  std::string text = "REGEDIT4\n[HKLM\\SOFTWARE\\Old]\n\"b\"=\"new\"\n\"c\"=\"3\"\n";
  text += "[HKLM\\SOFTWARE\\New]\n";
  for (int i = 0; i < 100; ++i) text += "\"v" + std::to_string(i) + "\"=dword:00000001\n";
  text +=
      "\"V5\"=\"again\"\n[HKLM\\SOFTWARE\\Gone]\n\"x\"=\"1\"\n[HKLM\\SOFTWARE\\New]\n\"w\"=\"1\"\n";
  text += "[-HKLM\\SOFTWARE\\Gone]\n[HKLM\\SOFTWARE\\Old]\n\"a\"=-\n";
  RegImportText(text);
  HKEY k;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Old", 0, KEY_READ, &k), 0);
  std::vector<std::string> names;
  char name[64];
  for (DWORD i = 0, n = sizeof name;
       RegEnumValue(k, i, name, &n, nullptr, nullptr, nullptr, nullptr) == 0; ++i, n = sizeof name)
    names.push_back(name);
  RegCloseKey(k);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "c"}));  // in place, as first spelled
  EXPECT_EQ(Value("SOFTWARE\\Old", "b"), std::string("new\0", 4));
  EXPECT_EQ(Value("SOFTWARE\\New", "v5"), std::string("again\0", 6));
  EXPECT_EQ(Value("SOFTWARE\\New", "w"), std::string("1\0", 2));
  EXPECT_EQ(Value("SOFTWARE\\Gone", ""), "<no key>");
  auto orphans = pc.machine().RegistryDb().Prepare(
      "SELECT count(*) FROM vals WHERE key NOT IN (SELECT id FROM keys)");
  ASSERT_TRUE(orphans.Step());
  EXPECT_EQ(orphans.ColumnInt(0), 0);
  auto journal = pc.machine().ReadJournal();
  ASSERT_GE(journal.size(), 3u);
  EXPECT_EQ(journal[journal.size() - 3].text, "key deleted HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone");
  EXPECT_EQ(journal[journal.size() - 2].text,
            "value deleted HKEY_LOCAL_MACHINE\\SOFTWARE\\Old\\[a]");
}

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
