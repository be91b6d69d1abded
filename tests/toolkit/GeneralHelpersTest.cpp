// The helpers both programs share unchanged.
#include "platform/forms/Screen.h"
#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"

using namespace tk;

namespace {

class Helpers : public ToolkitTest {
 protected:
  explicit Helpers(win::MachineSettings s = {}) : ToolkitTest(std::move(s)) {}
};

TEST(BusyCursor, NestsAndNeverGoesBelowZero) {
  Screen->ClearCursorHistory();
  EndBusy();
  EXPECT_EQ(BusyCount(), 0);
  EXPECT_EQ(Screen->Cursor(), crDefault);
  BeginBusy();
  BeginBusy();
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  EndBusy();
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  EndBusy();
  EXPECT_EQ(Screen->Cursor(), crDefault);
  EXPECT_EQ(Screen->CursorHistory(), (std::vector<TCursor>{crDefault, crHourGlass, crDefault}));
  {
    TBusyScope busy;
    EXPECT_EQ(BusyCount(), 1);
  }
  EXPECT_EQ(BusyCount(), 0);
}

TEST(SystemText, KnownAndUnknownCodes) {
  EXPECT_EQ(SysErrorText(5), "Accès refusé.\r\n");
  EXPECT_EQ(SysErrorText(1234), "code : 1234");
  win::SetLastError(2);
  EXPECT_EQ(LastErrorText(), "Le fichier spécifié est introuvable.\r\n");
}

TEST(Strings, SplitKeepsInnerEmptyPiecesOnly) {
  std::vector<std::string> l = {"stale"};
  SplitString("a;;b;", l, ';');
  EXPECT_EQ(l, (std::vector<std::string>{"a", "", "b"}));
  SplitString(";a", l, ';');
  EXPECT_EQ(l, (std::vector<std::string>{"", "a"}));
  SplitString("", l, ';');
  EXPECT_TRUE(l.empty());
  SplitString("C:\\A\\B", l, '\\');
  EXPECT_EQ(l, (std::vector<std::string>{"C:", "A", "B"}));
  SplitString("C:\\A\\", l, '\\');
  EXPECT_EQ(l, (std::vector<std::string>{"C:", "A"}));
}

TEST(Strings, AddBackslashOnlyWhenMissing) {
  std::string p;
  AddBackslash(p);
  EXPECT_EQ(p, "");
  p = "C:";
  AddBackslash(p);
  EXPECT_EQ(p, "C:\\");
  AddBackslash(p);
  EXPECT_EQ(p, "C:\\");
}

TEST_F(Helpers, SystemAndWindowsFolders) {
  std::string d;
  GetSystemDir(d);
  EXPECT_EQ(d, "C:\\WINDOWS\\system32\\");
  GetWindowsDir(d);
  EXPECT_EQ(d, "C:\\WINDOWS\\");
}

TEST_F(Helpers, MessageDialogsHaveTheirKindsAndButtons) {
  UiScript::Expect("Erreur", "=boom", "ok");
  UiScript::Expect("Avertissement", "=careful", "ok");
  UiScript::Expect("Information", "=fyi", "ok");
  UiScript::Expect("Avertissement", "=choose", "cancel");
  ShowError("boom");
  ShowWarning("careful");
  ShowInfo("fyi");
  EXPECT_EQ(AskYesNoCancel("choose"), mrCancel);
  const auto& d = UiScript::Dialogs();
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].buttons, (std::vector<std::string>{"OK"}));
  EXPECT_EQ(d[3].buttons, (std::vector<std::string>{"&Oui", "&Non", "Annuler"}));
}

// --- Registry values -------------------------------------------------------------------

TEST_F(Helpers, RegistryReadersTreatMissingAsEmpty) {
  std::string s = "stale";
  ReadRegString(win::HKEY_CURRENT_USER, "Software\\Nowhere", "x", s);
  EXPECT_EQ(s, "");
  WriteRegString(win::HKEY_CURRENT_USER, "Software\\A\\B\\C", "name", "valeur é");
  ReadRegString(win::HKEY_CURRENT_USER, "Software\\A\\B\\C", "NAME", s);
  EXPECT_EQ(s, "valeur é");
  s = "stale";
  ReadRegString(win::HKEY_CURRENT_USER, "Software\\A\\B\\C", "other", s);
  EXPECT_EQ(s, "");

  bool exists = true;
  std::int32_t v = 5;
  ReadRegInteger(win::HKEY_CURRENT_USER, "Software\\A\\B\\C", "count", exists, v);
  EXPECT_FALSE(exists);
  EXPECT_EQ(v, 0);
  WriteRegInteger(win::HKEY_CURRENT_USER, "Software\\A\\B\\C", "count", -7);
  ReadRegInteger(win::HKEY_CURRENT_USER, "Software\\A\\B\\C", "count", exists, v);
  EXPECT_TRUE(exists);
  EXPECT_EQ(v, -7);
}

TEST_F(Helpers, RegistryTypeMismatchNamesTheValue) {
  WriteRegInteger(win::HKEY_CURRENT_USER, "Software\\T", "n", 1);
  WriteRegString(win::HKEY_CURRENT_USER, "Software\\T", "s", "x");
  std::string s;
  bool exists;
  std::int32_t v;
  try {
    ReadRegString(win::HKEY_CURRENT_USER, "Software\\T", "n", s);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Type de données incorrect pour 'n'");
  }
  try {
    ReadRegInteger(win::HKEY_CURRENT_USER, "Software\\T", "s", exists, v);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Type de données incorrect pour 's'");
  }
}

TEST_F(Helpers, RegistryWriteRefusedGivesTheWriteMessage) {
  auto st = win::Machine::Current().Settings();
  st.admin = false;
  win::Machine::Current().SaveSettings(st);
  try {
    WriteRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "a", "b");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(),
              "Écriture d'une valeur de registre impossible : \r\nVeuillez contrôler vos droits "
              "d'accès.");
  }
}

TEST_F(Helpers, CorruptRegistryGivesTheReadAndWriteMessages) {
  auto& m = win::Machine::Current();
  m.CloseDatabases();
  std::ofstream(m.Dir() / "registry.db", std::ios::binary | std::ios::trunc)
      << std::string(4096, 'z');
  std::string s;
  try {
    ReadRegString(win::HKEY_CURRENT_USER, "Software\\T", "n", s);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), SRegReadError);
  }
  EXPECT_THROW(WriteRegInteger(win::HKEY_CURRENT_USER, "Software\\T", "n", 1), Exception);
  DeleteRegKey(win::HKEY_CURRENT_USER, "Software\\T");  // ignored, no crash
  m.CloseDatabases();
}

TEST_F(Helpers, DeleteRegKeyRemovesTheWholeTree) {
  WriteRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Top\\A\\A1", "v", "1");
  WriteRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Top\\B", "v", "2");
  WriteRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Topper", "v", "3");
  DeleteRegKey(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Top");
  win::HKEY k;
  EXPECT_NE(win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Top", 0, win::KEY_READ, &k), 0);
  std::string s;
  ReadRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Topper", "v", s);
  EXPECT_EQ(s, "3");
  DeleteRegKey(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Top");  // already gone: no error
}

// --- Folders and file lists ------------------------------------------------------------

TEST_F(Helpers, CreateDirectoriesMakesEveryLevel) {
  CreateDirectories("C:\\one\\two\\three\\");
  EXPECT_TRUE(std::filesystem::is_directory(Host("C:\\one\\two\\three")));
  CreateDirectories("C:\\one\\two\\three");  // all there: nothing to do
  try {
    CreateDirectories("");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "CreateDirectories");
  }
  Put("C:\\file", "x");
  UiScript::Expect("Erreur", "=C:\\file\r\n" + SysErrorText(win::ERROR_ALREADY_EXISTS), "ok");
  EXPECT_THROW(CreateDirectories("C:\\file\\sub"), EAbort);
  EXPECT_EQ(Read("C:\\file"), "x");
}

TEST_F(Helpers, ListFilesByExtension) {
  Put("C:\\d\\a.LCK", "");
  Put("C:\\d\\b.lck", "");
  Put("C:\\d\\c.lck.bak", "");
  Put("C:\\d\\noext", "");
  std::filesystem::create_directories(Host("C:\\d\\sub.lck"));
  for (std::string ext : {"lck", ".lck", "*.lck", "x.y.lck"}) {
    std::vector<std::string> l = {"kept"};
    ListFilesByExt("C:\\d", ext, l);
    std::sort(l.begin() + 1, l.end());
    EXPECT_EQ(l, (std::vector<std::string>{"kept", "C:\\d\\a.LCK", "C:\\d\\b.lck"})) << ext;
  }
  std::vector<std::string> all;
  ListFilesByExt("C:\\d\\", "*.*", all);
  EXPECT_EQ(all.size(), 4u);
  std::vector<std::string> none;
  ListFilesByExt("C:\\missing", "lck", none);
  EXPECT_TRUE(none.empty());
}

}  // namespace
