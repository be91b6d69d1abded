#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "platform/system/ErrorMessages.h"
#include "platform/system/Registry.h"
#include "platform/system/Sqlite.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/TRegistry.h"
#include "tests/support/TempMachine.h"

using namespace win;

TEST(RegistryText, ExportImportRoundTrip) {
  TempMachine pc;
  const std::string text =
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker]\n"
      "@=\"défaut\"\n"
      "\"Path\"=\"C:\\\\Program Files\\\\\\\"x\\\"\"\n"
      "\"Count\"=dword:0000002a\n"
      "\"Bin\"=hex:01,02,ff\n"
      "\"Exp\"=hex(2):25,57,49,4e,44,49,52,25,00\n"
      "\"Multi\"=hex(7):61,00,62,00,00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Maker\\Sub]\n"
      "\"a\\\\b\"=\"v\"\n";
  RegImportText(text);
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\Maker"));
  EXPECT_EQ(reg.ReadString(""), "défaut");
  EXPECT_EQ(reg.ReadString("path"), "C:\\Program Files\\\"x\"");
  EXPECT_EQ(reg.ReadInteger("COUNT"), 42);
  EXPECT_EQ(reg.ReadString("Exp"), "%WINDIR%");
  EXPECT_EQ(reg.GetDataType("Exp"), rdExpandString);
  std::string exported = RegExportText("HKLM\\SOFTWARE\\Maker");
  EXPECT_NE(exported.find("\"Count\"=dword:0000002a\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("\"Bin\"=hex:01,02,ff\n"), std::string::npos) << exported;
  EXPECT_NE(exported.find("\"Multi\"=hex(7):61,00,62,00,00\n"), std::string::npos) << exported;
  std::string all = RegExportText("");
  EXPECT_NE(all.find("[HKEY_USERS\\Administrateur\\Software\\Maker\\Sub]\n\"a\\\\b\"=\"v\"\n"),
            std::string::npos)
      << all;

  // Re-importing the export into a fresh machine gives the same export.
  TempMachine other;
  RegImportText(all);
  EXPECT_EQ(RegExportText(""), all);
}

TEST(RegistryText, MalformedTextWritesNothing) {
  TempMachine pc;
  const std::string bad =
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\n\"x\"=\"1\"\n\"y\"=dword:zz\n";
  try {
    RegImportText(bad);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("line 4"), std::string::npos) << e.what();
  }
  HKEY k;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_READ, &k),
            LONG(ERROR_FILE_NOT_FOUND));
  EXPECT_THROW(RegImportText("[HKEY_LOCAL_MACHINE\\X]\n"), std::runtime_error);
  EXPECT_THROW(RegImportText("REGEDIT4\n[HKEY_NOWHERE\\X]\n"), std::runtime_error);
  EXPECT_THROW(RegExportText("HKLM\\NoSuchKey"), std::runtime_error);
  RegImportText("REGEDIT4\n[HKLM\\SOFTWARE\\B\\C]\n\"v\"=\"1\"\n");
  RegImportText("REGEDIT4\n[-HKLM\\SOFTWARE\\B]\n");
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\B", 0, KEY_READ, &k),
            LONG(ERROR_FILE_NOT_FOUND));
}

// Each bad text is refused with the number of its line and what is wrong there; nothing
// of it is written, the lines before it included.
TEST(RegistryText, EveryImportErrorNamesItsLine) {
  TempMachine pc;
  std::string deep = "[HKEY_LOCAL_MACHINE\\SOFTWARE";
  for (int i = 0; i < 30000; ++i) deep += "\\k";
  struct Case {
    std::string line, error;
  } cases[] = {
      {"\"x\"=hex(123456789abcdef0123):01", "bad value type \"123456789abcdef0123\""},
      {"\"x\"=hex(100000000):01", "bad value type"},
      {"\"x\"=dword:100000000", "bad dword"},
      {"\"x\"=dword:", "bad dword"},
      {"\"x\"=hex:1,2ff", "bad hex byte \"2ff\""},
      {"\"x\"=\"a\\qb\"", "\"\\q\" is not an escape"},
      {"\"x\\q\"=\"v\"", "\"\\q\" is not an escape"},
      {"\"x\"=\"open", "unterminated string"},
      {"\"x\"=wrong", "unknown value \"wrong\""},
      {"\"x\"=\"\x01\"\x02", "text after the closing quote: \"\\x02\""},
      {"x=\"v\"", "expected \"name\"=value"},
      {"[HKEY_NOWHERE\\A]", "unknown registry root \"HKEY_NOWHERE\""},
      {"[HKLM\\SOFTWARE\\" + std::string(256, 'n') + "]", "a key name longer than 255 characters"},
      {"[HKLM\\SOFTWARE\\" + std::string(100000, 'n') + "]",
       "a key name longer than 255 characters"},
      {deep + "]", "a key deeper than 512 levels"},
      {"\"" + std::string(16384, 'v') + "\"=\"x\"", "a value name longer than 16383 characters"},
      {"[-HKLM\\SOFTWARE\\Ok]\n\"v\"=\"1\"", "a value under a key being deleted"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    // Lines 1-3 are sound; the bad one is line 4 (its first line when it holds two).
    const std::string text = "REGEDIT4\n[HKLM\\SOFTWARE\\Ok]\n\"good\"=\"1\"\n" + c.line + "\n";
    try {
      RegImportText(text);
      ADD_FAILURE() << "accepted";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_TRUE(what.rfind("line 4: ", 0) == 0 || what.rfind("line 5: ", 0) == 0)
          << what.substr(0, 200);
      EXPECT_NE(what.find(c.error), std::string::npos) << what.substr(0, 200);
      EXPECT_EQ(what.find('\x01'), std::string::npos);
      EXPECT_LT(what.size(), 400u);
    }
    HKEY k;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ok", 0, KEY_READ, &k),
              LONG(ERROR_FILE_NOT_FOUND));
  }
  // The escapes REGEDIT4 knows, and the largest numbers that fit.
  RegImportText(
      "REGEDIT4\n[HKLM\\SOFTWARE\\Ok]\n\"q\\\"\"=\"a\\\\b\\\"c\"\n\"d\"=dword:FFFFFFFF\n"
      "\"t\"=hex(ffffffff):01\n");
  const std::string out = RegExportText("HKLM\\SOFTWARE\\Ok");
  EXPECT_NE(out.find("\"q\\\"\"=\"a\\\\b\\\"c\"\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"d\"=dword:ffffffff\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\"t\"=hex(4294967295):01\n"), std::string::npos) << out;
}

// A key stored deeper than the limit (by an older build, or by hand) does not keep the
// registry from being exported: the walk has no recursion to run out of.
TEST(RegistryText, ARegistryHoldingA600LevelKeyExports) {
  TempMachine pc;
  SqliteDb& db = pc.machine().RegistryDb();
  std::int64_t parent;
  {
    auto st = db.Prepare("SELECT id FROM keys WHERE parent = 0 AND folded = 'HKEY_LOCAL_MACHINE'");
    ASSERT_TRUE(st.Step());
    parent = st.ColumnInt(0);
  }
  for (int i = 0; i < 600; ++i) {
    auto st = db.Prepare("INSERT INTO keys(parent, name, folded) VALUES(?, ?, ?)");
    std::string name = "L" + std::to_string(i);
    st.Bind(1, parent).Bind(2, name).Bind(3, name);
    st.Step();
    parent = db.LastInsertRowId();
  }
  {
    auto st = db.Prepare(
        "INSERT INTO vals(key, name, folded, type, data) VALUES(?, 'v', 'V', 4, x'2a000000')");
    st.Bind(1, parent);
    st.Step();
  }
  const std::string out = RegExportText("");
  std::string deepest = "[HKEY_LOCAL_MACHINE";
  for (int i = 0; i < 600; ++i) deepest += "\\L" + std::to_string(i);
  EXPECT_NE(out.find(deepest + "]\n\"v\"=dword:0000002a\n"), std::string::npos);
  // Its parents come before it, in order.
  EXPECT_LT(out.find("[HKEY_LOCAL_MACHINE\\L0]\n"), out.find("[HKEY_LOCAL_MACHINE\\L0\\L1]\n"));
  // Writing below it is refused, reading it works.
  HKEY k;
  ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, deepest.substr(20), 0, KEY_ALL_ACCESS, &k), 0);
  HKEY sub = nullptr;
  EXPECT_EQ(RegCreateKeyEx(k, "more", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
            LONG(ERROR_INVALID_PARAMETER));
  RegCloseKey(k);
}

TEST(TRegistryObject, ReadsWritesAndRaisesTheToolkitTexts) {
  TempMachine pc;
  TRegistry reg;
  EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey("Software\\Maker", true));
  ASSERT_TRUE(reg.OpenKey("Sub", true));  // relative to the current key
  EXPECT_EQ(reg.CurrentPath(), "Software\\Maker\\Sub");
  reg.WriteString("S", "texte");
  reg.WriteInteger("I", -5);
  const unsigned char bin[3] = {1, 2, 3};
  reg.WriteBinaryData("B", bin, 3);
  EXPECT_EQ(reg.ReadInteger("I"), -5);
  EXPECT_EQ(reg.ReadString("missing"), "");
  EXPECT_EQ(reg.GetDataSize("S"), 6);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);
  unsigned char out[8] = {};
  EXPECT_EQ(reg.ReadBinaryData("B", out, sizeof out), 3);
  EXPECT_EQ(out[2], 3);
  try {
    reg.ReadInteger("S");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Echec à l'obtention des données pour 'S'");
  }
  reg.WriteString("T", "ab");
  try {
    reg.ReadInteger("T");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Type de données incorrect pour 'T'");
  }
  try {
    reg.ReadInteger("missing");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Echec à l'obtention des données pour 'missing'");
  }
  EXPECT_THROW(reg.ReadString("I"), ERegistryException);
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"S", "I", "B", "T"}));
  reg.CloseKey();
  EXPECT_TRUE(reg.KeyExists("Software\\Maker\\Sub"));
  EXPECT_TRUE(reg.DeleteKey("Software\\Maker"));  // with its subkey
  EXPECT_FALSE(reg.KeyExists("Software\\Maker"));

  MachineSettings s;
  s.admin = false;
  TempMachine user(s);
  TRegistry hklm;
  hklm.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(hklm.OpenKey("SOFTWARE\\X", true));
  RegImportText("REGEDIT4\n[HKLM\\SOFTWARE\\X]\n\"v\"=\"1\"\n");
  EXPECT_FALSE(hklm.OpenKey("SOFTWARE\\X", false));  // full access refused
  ASSERT_TRUE(hklm.OpenKeyReadOnly("SOFTWARE\\X"));
  EXPECT_EQ(hklm.ReadString("v"), "1");
  try {
    hklm.WriteString("v", "2");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Echec à la définition des données pour 'v'");
  }
}

TEST(SystemTexts, EveryDeclaredCodeHasAFrenchTextEndingWithCrLf) {
  std::ifstream in(std::string(WI_SOURCE_DIR) + "/platform/system/WinTypes.h");
  std::stringstream ss;
  ss << in.rdbuf();
  std::string header = ss.str();
  std::regex code(R"(inline constexpr DWORD (ERROR_\w+|NO_ERROR) = (\d+);)");
  int n = 0;
  for (std::sregex_iterator it(header.begin(), header.end(), code), end; it != end; ++it, ++n) {
    DWORD id = DWORD(std::stoul((*it)[2]));
    std::string text = SystemMessageText(id);
    ASSERT_FALSE(text.empty()) << (*it)[1];
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << id;
  }
  EXPECT_GT(n, 60);
  char buf[8];
  EXPECT_EQ(FormatMessage(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 5, 0, buf, sizeof buf, nullptr), 0u);
  EXPECT_EQ(SysErrorMessage(32),
            "Le processus ne peut pas accéder au fichier car ce fichier est utilisé par un autre "
            "processus");
}

TEST(SystemInfo, VersionsAndNames) {
  struct Row {
    OsVersion os;
    DWORD major, minor, build, platform;
  };
  for (Row r : {Row{OsVersion::Win95, 4, 0, 950, 1}, Row{OsVersion::Win98, 4, 10, 1998, 1},
                Row{OsVersion::WinMe, 4, 90, 3000, 1}, Row{OsVersion::NT351, 3, 51, 1057, 2},
                Row{OsVersion::NT4, 4, 0, 1381, 2}, Row{OsVersion::Win2000, 5, 0, 2195, 2},
                Row{OsVersion::WinXP, 5, 1, 2600, 2}}) {
    MachineSettings s;
    s.os = r.os;
    s.hostName = "poste-compta-numero-1";
    TempMachine pc(s);
    OSVERSIONINFO v;
    ASSERT_TRUE(GetVersionEx(&v));
    EXPECT_EQ(v.dwMajorVersion, r.major);
    EXPECT_EQ(v.dwMinorVersion, r.minor);
    EXPECT_EQ(v.dwBuildNumber & 0xFFFF, r.build);
    EXPECT_EQ(v.dwPlatformId, r.platform);
    char name[64];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerName(name, &size));
    EXPECT_STREQ(name, "POSTE-COMPTA-NU");
    size = sizeof name;
    ASSERT_TRUE(GetUserName(name, &size));
    EXPECT_STREQ(name, "Administrateur");
  }
  TempMachine pc;
  MessageBeep(MB_ICONEXCLAMATION);
  EXPECT_EQ(pc.machine().ReadJournal().back().kind, "beep");
}
