// Install's folder guesses, fonts on both Windows families, every run-time library and
// start code, the local addresses, and the lookups that fail or are refused.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Screen.h"
#include "platform/forms/graphics/Fonts.h"
#include "platform/system/Exceptions.h"
#include "platform/system/Fonts.h"
#include "platform/system/LastError.h"
#include "platform/system/Libraries.h"
#include "platform/system/Registry.h"
#include "support/TinyFonts.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

const std::string kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

using testfonts::TinyTrueType;

// The value, or "<none>" when the key or the value is missing.
std::string RegValue(const std::string& key, const std::string& name) {
  win::HKEY k;
  if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, key, 0, win::KEY_READ, &k) != 0) return "<none>";
  char buf[512] = {};
  win::DWORD size = sizeof buf - 1, type = 0;
  long rc = win::RegQueryValueEx(k, name, nullptr, &type, reinterpret_cast<win::BYTE*>(buf), &size);
  win::RegCloseKey(k);
  return rc == 0 ? std::string(buf) : "<none>";
}

class Guesses : public ToolkitTest {
 protected:
  explicit Guesses(win::WORD language) : ToolkitTest(Language(language)) {
    Put("C:\\WINDOWS\\system32\\shell32.dll", "");
    Put("C:\\WINDOWS\\system32\\shfolder.dll", "");
    SetProgramFilesValue("");
  }
  static win::MachineSettings Language(win::WORD id) {
    win::MachineSettings s;
    s.languageId = id;
    return s;
  }
  std::string Find() {
    TWindowsInstaller inst("");
    std::string dir = "stale";
    inst.GetProgramFilesDir(dir);
    return dir;
  }
  void Folder(const std::string& winPath) { std::filesystem::create_directories(Host(winPath)); }
};
struct German : Guesses {
  German() : Guesses(1031) {}
};
struct SwissGerman : Guesses {
  SwissGerman() : Guesses(2055) {}
};
struct Italian : Guesses {
  Italian() : Guesses(1040) {}
};
struct French : Guesses {
  French() : Guesses(0x040C) {}
};

TEST_F(German, TakesTheFirstProgrammeFolderThatExists) {
  EXPECT_EQ(Find(), "");  // no candidate folder at all
  Folder("C:\\WinNT\\Programme");
  EXPECT_EQ(Find(), "C:\\WinNT\\Programme\\");
  Folder("C:\\Windows\\Programme");
  EXPECT_EQ(Find(), "C:\\Windows\\Programme\\");
}

TEST_F(SwissGerman, FallsBackOnTheEnglishNamesWhenNoProgrammeFolderExists) {
  Folder("C:\\WinNT\\Program files");
  EXPECT_EQ(Find(), "C:\\WinNT\\Program files\\");
  Folder("C:\\Windows\\Program files");
  EXPECT_EQ(Find(), "C:\\Windows\\Program files\\");
  Folder("C:\\WinNT\\Programme");
  EXPECT_EQ(Find(), "C:\\WinNT\\Programme\\");
}

TEST_F(Italian, TakesTheProgrammiFolders) {
  Folder("C:\\Windows\\Programme");  // German names mean nothing here
  EXPECT_EQ(Find(), "");
  Folder("C:\\WinNT\\programmi");
  EXPECT_EQ(Find(), "C:\\WinNT\\programmi\\");
  Folder("C:\\Windows\\programmi");
  EXPECT_EQ(Find(), "C:\\Windows\\programmi\\");
}

TEST_F(French, GuessesOnlyTheEnglishNamesAndPrefersTheShellAndTheRegistry) {
  Folder("C:\\WinNT\\Programme");
  EXPECT_EQ(Find(), "");
  Folder("C:\\WinNT\\Program files");
  EXPECT_EQ(Find(), "C:\\WinNT\\Program files\\");

  SetProgramFilesValue("C:\\Programmes");
  EXPECT_EQ(Find(), "C:\\Programmes\\");  // the shell folder, created on the way
  EXPECT_TRUE(std::filesystem::is_directory(Host("C:\\Programmes")));

  // The shell cannot make the folder (a file is in the way): the registry value is taken
  // as it is, and nothing is guessed.
  Put("C:\\Occupé", "a file");
  SetProgramFilesValue("C:\\Occupé");
  EXPECT_EQ(Find(), "C:\\Occupé\\");
  EXPECT_EQ(Read("C:\\Occupé"), "a file");
}

TEST_F(French, AValueOfTheWrongTypeIsAnErrorNotAReasonToGuess) {
  Folder("C:\\WinNT\\Program files");
  win::HKEY k;
  ASSERT_EQ(win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kCurrentVersion, 0, win::KEY_ALL_ACCESS, &k),
            0);
  const win::DWORD number = 42;
  win::RegSetValueEx(k, "ProgramFilesDir", 0, win::REG_DWORD,
                     reinterpret_cast<const win::BYTE*>(&number), sizeof number);
  win::RegCloseKey(k);
  try {
    Find();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Type de données incorrect pour 'ProgramFilesDir'");
  }
}

TEST_F(Italian, AnUnreadableRegistryLeadsToTheGuessesAndStaysAsItIs) {
  Folder("C:\\Windows\\programmi");
  auto& m = win::Machine::Current();
  m.CloseDatabases();
  const auto db = m.Dir() / "registry.db";
  const std::string junk(4096, 'q');
  std::ofstream(db, std::ios::binary | std::ios::trunc) << junk;
  for (std::filesystem::path side : {db.string() + "-wal", db.string() + "-shm"})
    std::filesystem::remove(side);
  EXPECT_EQ(Find(), "C:\\Windows\\programmi\\");
  std::ifstream in(db, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()),
            junk);
  m.CloseDatabases();
}

// --- Shell-folder libraries that fail to load --------------------------------------------

class ShellLibraries : public ToolkitTest {};

TEST_F(ShellLibraries, ASecondLookupLoadsAgainOrFailsTheSameWay) {
  Put("C:\\WINDOWS\\system32\\shell32.dll", "");
  TWindowsInstaller inst("C:\\Media\\");
  std::string dir = "stale", first;
  try {
    inst.GetShellFolderPath(win::CSIDL_FONTS, false, dir);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    first = e.Message();
  }
  EXPECT_TRUE(first.ends_with("\r\n\r\nshfolder.dll")) << first;
  EXPECT_EQ(dir, "");
  try {
    inst.GetProgramFilesDir(dir);
    FAIL() << "the second lookup found the libraries loaded";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), first);
  }
  EXPECT_EQ(win::GetModuleHandle("shell32.dll"), nullptr);  // nothing kept from the failures

  Put("C:\\Media\\shfolder.dll", "");  // the library arrives
  inst.GetShellFolderPath(win::CSIDL_FONTS, false, dir);
  EXPECT_EQ(dir, "C:\\WINDOWS\\Fonts");
}

// --- Fonts ---------------------------------------------------------------------------------

const std::string kNtFonts = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string k9xFonts = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

class FontsOn : public ToolkitTest {
 protected:
  explicit FontsOn(win::OsVersion os) : ToolkitTest(Os(os)) {
    const std::string sys = win::Machine::Current().Settings().SystemDir();
    Put(sys + "\\shell32.dll", "");
    Put(sys + "\\shfolder.dll", "");
    Screen->SetFontNames(win::ScreenFontNames());  // earlier tests may have replaced it
    // The family's own Fonts key exists, as on every installed Windows.
    win::HKEY k;
    EXPECT_EQ(win::RegCreateKeyEx(win::HKEY_LOCAL_MACHINE,
                                  win::Machine::Current().IsNT() ? kNtFonts : k9xFonts, 0, nullptr,
                                  0, win::KEY_ALL_ACCESS, nullptr, &k, nullptr),
              0);
    win::RegCloseKey(k);
  }
  static bool Lists(const std::string& family) {
    for (auto& f : win::FontFamilies())
      if (f == family) return true;
    return false;
  }
  static int FontChanges() {
    int n = 0;
    for (auto& b : win::Broadcasts()) n += b.message == 0x001D;
    return n;
  }
};
struct FontsNT : FontsOn {
  FontsNT() : FontsOn(win::OsVersion::WinXP) {}
};
struct Fonts98 : FontsOn {
  Fonts98() : FontsOn(win::OsVersion::Win98) {}
};

TEST_F(FontsNT, IsCopiedRegisteredUnderWindowsNTLoadedAndAnnounced) {
  Put("C:\\Media\\TT0646Z_.TTF", TinyTrueType("OCR-B-10 BT"));
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\Media\\TT0646Z_.TTF", "OCR-B-10 BT");
  EXPECT_EQ(Read("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"), TinyTrueType("OCR-B-10 BT"));
  EXPECT_EQ(Attributes("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"), win::FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(RegValue(kNtFonts, "OCR-B-10 BT"), "TT0646Z_.TTF");
  EXPECT_EQ(RegValue(k9xFonts, "OCR-B-10 BT"), "<none>");
  EXPECT_TRUE(Lists("OCR-B-10 BT"));
  EXPECT_EQ(FontChanges(), 1);
}

TEST_F(Fonts98, IsRegisteredUnderTheWindowsKey) {
  Put("C:\\Media\\TT0646Z_.TTF", TinyTrueType("OCR-B-10 BT"));
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\Media\\TT0646Z_.TTF", "OCR-B-10 BT");
  EXPECT_EQ(Read("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"), TinyTrueType("OCR-B-10 BT"));
  EXPECT_EQ(RegValue(k9xFonts, "OCR-B-10 BT"), "TT0646Z_.TTF");
  EXPECT_EQ(RegValue(kNtFonts, "OCR-B-10 BT"), "<none>");
  EXPECT_EQ(FontChanges(), 1);
}

TEST_F(FontsNT, AFontOfTheScreenListOrOfThePcIsLeftAlone) {
  // The drawing layer's own faces are on the screen's list.
  ASSERT_GE(Screen->Fonts()->IndexOf("Arial"), 0);
  Put("C:\\Media\\arial.ttf", TinyTrueType("Arial"));
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\Media\\arial.ttf", "Arial");
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Fonts\\arial.ttf"));

  // A font an earlier run installed is in the PC's font table, though not on the list.
  Put("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF", TinyTrueType("OCR-B-10 BT"));
  win::HKEY k;
  ASSERT_EQ(win::RegCreateKeyEx(win::HKEY_LOCAL_MACHINE, kNtFonts, 0, nullptr, 0,
                                win::KEY_ALL_ACCESS, nullptr, &k, nullptr),
            0);
  const std::string file = "TT0646Z_.TTF";
  win::RegSetValueEx(k, "OCR-B-10 BT (TrueType)", 0, win::REG_SZ,
                     reinterpret_cast<const win::BYTE*>(file.c_str()), win::DWORD(file.size() + 1));
  win::RegCloseKey(k);
  Put("C:\\Media\\TT0646Z_.TTF", TinyTrueType("OCR-B-10 BT"));
  inst.InstallFont("C:\\Media\\TT0646Z_.TTF", "OCR-B-10 BT");
  EXPECT_EQ(RegValue(kNtFonts, "OCR-B-10 BT"), "<none>");
  EXPECT_EQ(FontChanges(), 0);
}

TEST_F(FontsNT, AFileThatIsNoTrueTypeFontIsPlacedButNeverLoaded) {
  Put("C:\\Media\\BROKEN.TTF", "MZ this is a program, not a font");
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\Media\\BROKEN.TTF", "Broken Face");
  EXPECT_EQ(Read("C:\\WINDOWS\\Fonts\\BROKEN.TTF"), "MZ this is a program, not a font");
  EXPECT_EQ(RegValue(kNtFonts, "Broken Face"), "BROKEN.TTF");
  EXPECT_EQ(FontChanges(), 0);
  // A font of the same file name already in the Fonts folder is never overwritten.
  Put("C:\\Media\\Other\\BROKEN.TTF", TinyTrueType("Other"));
  inst.InstallFont("C:\\Media\\Other\\BROKEN.TTF", "Other Face");
  EXPECT_EQ(Read("C:\\WINDOWS\\Fonts\\BROKEN.TTF"), "MZ this is a program, not a font");
}

TEST_F(FontsNT, AMissingFontFileIsASystemErrorAndLeavesNothing) {
  std::filesystem::create_directories(Host("C:\\Media"));
  TWindowsInstaller inst("");
  try {
    inst.InstallFont("C:\\Media\\ABSENT.TTF", "Absent Face");
    FAIL() << "no exception";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, win::DWORD(win::ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(e.Message().starts_with("Erreur système.  Code : 2.\r\n")) << e.Message();
  }
  EXPECT_EQ(RegValue(kNtFonts, "Absent Face"), "<none>");
  EXPECT_FALSE(Exists("C:\\WINDOWS\\Fonts\\ABSENT.TTF"));
}

TEST_F(FontsNT, ARefusedFontKeySkipsOnlyTheRegistryStep) {
  // A user without administrator rights cannot open the machine's Fonts key for writing.
  auto s = win::Machine::Current().Settings();
  s.admin = false;
  win::Machine::Current().SaveSettings(s);
  win::HKEY k;
  ASSERT_EQ(win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kNtFonts, 0, win::KEY_SET_VALUE, &k),
            long(win::ERROR_ACCESS_DENIED));
  Put("C:\\Media\\TT0646Z_.TTF", TinyTrueType("OCR-B-10 BT"));
  TWindowsInstaller inst("");
  inst.InstallFont("C:\\Media\\TT0646Z_.TTF", "OCR-B-10 BT");
  EXPECT_TRUE(Exists("C:\\WINDOWS\\Fonts\\TT0646Z_.TTF"));
  EXPECT_EQ(RegValue(kNtFonts, "OCR-B-10 BT"), "<none>");
  EXPECT_EQ(FontChanges(), 1);  // loaded for the session all the same
}

// --- Visual Basic run-time libraries -------------------------------------------------------

class VBRuntime : public ToolkitTest {
 protected:
  struct Minimum {
    const char* file;
    win::WORD v[4];
  };
  static constexpr Minimum kMinimums[6] = {
      {"asycfilt.dll", {2, 40, 4275, 1}}, {"comcat.dll", {4, 71, 1460, 1}},
      {"msvbvm60.dll", {6, 0, 89, 64}},   {"oleaut32.dll", {2, 40, 4275, 1}},
      {"olepro32.dll", {5, 0, 4275, 1}},  {"stdole2.tlb", {2, 40, 4275, 1}}};
  const std::string sys_ = "C:\\WINDOWS\\system32\\";
  void AllAtMinimum() {
    for (auto& m : kMinimums) PutVersioned(sys_ + m.file, m.v[0], m.v[1], m.v[2], m.v[3]);
  }
};

TEST_F(VBRuntime, EachLibraryOlderOrMissingAsksForTheUpdate) {
  AllAtMinimum();
  ASSERT_FALSE(TWindowsInstaller::VBRuntimeNeedsUpdate());
  for (auto& m : kMinimums) {
    SCOPED_TRACE(m.file);
    // One below the minimum in the last word, and in the first.
    PutVersioned(sys_ + m.file, m.v[0], m.v[1], m.v[2], m.v[3] - 1);
    EXPECT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
    PutVersioned(sys_ + m.file, m.v[0] - 1, 0xFFFF, 0xFFFF, 0xFFFF);
    EXPECT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
    std::filesystem::remove(Host(sys_ + m.file));
    EXPECT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
    Put(sys_ + m.file, "a file without version information");
    EXPECT_TRUE(TWindowsInstaller::VBRuntimeNeedsUpdate());
    // Newer than the minimum is as good as the minimum.
    PutVersioned(sys_ + m.file, m.v[0], m.v[1], m.v[2] + 1, 0);
    EXPECT_FALSE(TWindowsInstaller::VBRuntimeNeedsUpdate());
    PutVersioned(sys_ + m.file, m.v[0], m.v[1], m.v[2], m.v[3]);
  }
}

TEST_F(VBRuntime, LibrariesAreFoundWhereTheLoaderLooks) {
  // Copies in the Windows folder count when the system folder has none.
  for (auto& m : kMinimums)
    PutVersioned("C:\\WINDOWS\\" + std::string(m.file), m.v[0], m.v[1], m.v[2], m.v[3]);
  EXPECT_FALSE(TWindowsInstaller::VBRuntimeNeedsUpdate());
}

// --- Program start results ---------------------------------------------------------------

TEST(ProgramStart, EveryCodeOfTheTableHasItsText) {
  const auto table = TWindowsInstaller::ShellExecuteTexts();
  auto inTable = [&](int code) {
    return std::any_of(table.begin(), table.end(), [&](auto& row) { return row.first == code; });
  };
  // Codes above 32 mean success: a text for one would never be shown.
  ASSERT_TRUE(inTable(2) && inTable(32));
  for (auto [code, text] : table) EXPECT_LE(code, 32) << text;
  win::SetLastError(win::ERROR_ACCESS_DENIED);
  for (auto [code, text] : table) {
    try {
      TWindowsInstaller::CheckShellExecuteResult("D:\\Base\\vbrun60.exe", code);
      ADD_FAILURE() << "no exception for " << code;
    } catch (const EOSError&) {
      ADD_FAILURE() << "system error instead of the table's text for " << code;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), std::string("D:\\Base\\vbrun60.exe\r\n\r\n") + text) << code;
    }
  }
  // Codes outside the table up to 32 give the thread's system error; above 32, nothing.
  for (int code : {1, 4, 6, 7, 9, 10, 12, 25, -5}) {
    ASSERT_FALSE(inTable(code));
    win::SetLastError(win::ERROR_ACCESS_DENIED);
    try {
      TWindowsInstaller::CheckShellExecuteResult("D:\\x.exe", code);
      ADD_FAILURE() << "no exception for " << code;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode, win::DWORD(win::ERROR_ACCESS_DENIED)) << code;
    }
  }
  for (int code : {33, 42, 0x7FFFFFFF})
    TWindowsInstaller::CheckShellExecuteResult("D:\\x.exe", code);
}

// --- Local addresses -------------------------------------------------------------------------

class FewAddresses : public ToolkitTest {
 protected:
  void Use(std::vector<std::string> ips) {
    auto s = win::Machine::Current().Settings();
    s.hostName = "POSTE2";
    s.ipv4 = std::move(ips);
    win::Machine::Current().SaveSettings(s);
  }
};

TEST_F(FewAddresses, NoneOneOrTwoAreAppendedInOrder) {
  std::vector<std::string> l = {"kept"};
  Use({});
  TWindowsInstaller::GetLocalIPAddresses(l);
  EXPECT_EQ(l, std::vector<std::string>{"kept"});
  Use({"192.168.0.7"});
  TWindowsInstaller::GetLocalIPAddresses(l);
  EXPECT_EQ(l, (std::vector<std::string>{"kept", "192.168.0.7"}));
  Use({"10.1.2.3", "172.16.0.1"});
  l.clear();
  TWindowsInstaller::GetLocalIPAddresses(l);
  EXPECT_EQ(l, (std::vector<std::string>{"10.1.2.3", "172.16.0.1"}));
}

// --- Shared-library counts: zero in every stored type, and refusals ---------------------

class SharedCounts : public ToolkitTest {
 protected:
  const std::string lib_ = "C:\\WINDOWS\\system32\\fbclient.dll";
  void Set(win::DWORD type, const std::vector<win::BYTE>& data) {
    SetMachineValue(kSharedDllsKey, lib_, type, data);
  }
  bool Present() {
    win::HKEY k;
    if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, win::KEY_READ, &k) != 0)
      return false;
    win::DWORD size = 0, type = 0;
    bool there = win::RegQueryValueEx(k, lib_, nullptr, &type, nullptr, &size) == 0;
    win::RegCloseKey(k);
    return there;
  }
};

TEST_F(SharedCounts, AStoredZeroIsDeletedInEveryType) {
  for (auto [type, data] : std::vector<std::pair<win::DWORD, std::vector<win::BYTE>>>{
           {win::REG_DWORD, {0, 0, 0, 0}},
           {win::REG_SZ, {'0', 0}},
           {win::REG_BINARY, {0}},
           {win::REG_BINARY, {0, 0, 0, 0}}}) {
    Set(type, data);
    EXPECT_TRUE(TWindowsInstaller::ReleaseSharedDll(lib_)) << type;
    EXPECT_FALSE(Present()) << type;  // never written back as 4294967295
  }
}

TEST_F(SharedCounts, WithoutAdministratorRightsNothingChanges) {
  Set(win::REG_DWORD, {2, 0, 0, 0});
  auto s = win::Machine::Current().Settings();
  s.admin = false;
  win::Machine::Current().SaveSettings(s);
  for (auto call : {+[](const std::string& f) { TWindowsInstaller::ReleaseSharedDll(f); },
                    +[](const std::string& f) { TWindowsInstaller::RemoveSharedDll(f); }}) {
    try {
      call(lib_);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(
          e.Message(),
          "Registry access error : \r\nSoftware\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
    }
  }
  s.admin = true;
  win::Machine::Current().SaveSettings(s);
  EXPECT_TRUE(Present());
  EXPECT_FALSE(TWindowsInstaller::ReleaseSharedDll(lib_));  // the count was still 2
}

}  // namespace
