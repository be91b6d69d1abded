// File placement: what is copied, what is kept, backups, in-use targets and their
// replacement at the next start.
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system/Exceptions.h"
#include "platform/system/LastError.h"
#include "platform/system/Registry.h"
#include "platform/system/Restart.h"
#include "tests/toolkit/ToolkitTestSupport.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

using namespace tk;

namespace {

class Placement : public ToolkitTest {
 protected:
  explicit Placement(win::MachineSettings s = {}) : ToolkitTest(std::move(s)) {}
  bool Install(const std::string& source, const std::string& destDir,
               const std::string& backupDir = "") {
    return TWindowsInstaller::InstallFile(source, destDir, backupDir, reboot_);
  }
  bool reboot_ = true;
};

TEST_F(Placement, MissingTargetIsCopiedWithoutBackup) {
  Put("C:\\src\\a.dll", "new");
  win::SetFileAttributes("C:\\src\\a.dll", win::FILE_ATTRIBUTE_READONLY);
  std::filesystem::create_directories(Host("C:\\dest"));
  EXPECT_TRUE(Install("C:\\src\\a.dll", "C:\\dest"));
  EXPECT_FALSE(reboot_);
  EXPECT_EQ(Read("C:\\dest\\a.dll"), "new");
  EXPECT_FALSE(Exists("C:\\dest\\a.dll_0"));
  EXPECT_EQ(Attributes("C:\\dest\\a.dll") & win::FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(Placement, SameVersionOrSameTimeKeepsTarget) {
  PutVersioned("C:\\src\\v.dll", 1, 2, 3, 4, "source");
  PutVersioned("C:\\dest\\v.dll", 1, 2, 3, 4, "target");
  Put("C:\\src\\t.txt", "source");
  Put("C:\\dest\\t.txt", "target");
  auto t = BaseTime();
  SetTime("C:\\src\\t.txt", t);
  SetTime("C:\\dest\\t.txt", t);

  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\v.dll", "C:\\src\\v.dll"), 0);
  EXPECT_FALSE(Install("C:\\src\\v.dll", "C:\\dest\\"));
  EXPECT_FALSE(Install("C:\\src\\t.txt", "C:\\dest\\"));
  EXPECT_FALSE(reboot_);
  EXPECT_EQ(Read("C:\\dest\\t.txt"), "target");
  EXPECT_FALSE(Exists("C:\\dest\\v.dll_0"));
  EXPECT_FALSE(Exists("C:\\dest\\t.txt_0"));
}

TEST_F(Placement, VersionDecidesBeforeTime) {
  auto t = BaseTime();
  // Target newer by version but older by date: kept.
  PutVersioned("C:\\src\\a.dll", 1, 0, 0, 0, "source");
  PutVersioned("C:\\dest\\a.dll", 1, 0, 0, 1, "target");
  SetTime("C:\\src\\a.dll", t + 1h);
  SetTime("C:\\dest\\a.dll", t);
  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\a.dll", "C:\\src\\a.dll"), -1);
  EXPECT_FALSE(Install("C:\\src\\a.dll", "C:\\dest"));

  // The MS word counts first, compared unsigned: 0x8000.0 is above 0x7FFF.65535.
  PutVersioned("C:\\src\\b.dll", 0x8000, 0, 0, 0);
  PutVersioned("C:\\dest\\b.dll", 0x7FFF, 0xFFFF, 0xFFFF, 0xFFFF);
  SetTime("C:\\src\\b.dll", t);
  SetTime("C:\\dest\\b.dll", t + 1h);
  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\b.dll", "C:\\src\\b.dll"), 1);
  EXPECT_TRUE(Install("C:\\src\\b.dll", "C:\\dest"));
}

TEST_F(Placement, TimeDecidesWhenOnlyOneSideHasAVersion) {
  auto t = BaseTime();
  PutVersioned("C:\\src\\a.dll", 9, 0, 0, 0);
  Put("C:\\dest\\a.dll", "no version");
  SetTime("C:\\src\\a.dll", t);
  SetTime("C:\\dest\\a.dll", t + 2s);
  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\a.dll", "C:\\src\\a.dll"), -1);
  SetTime("C:\\dest\\a.dll", t - 2s);
  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\a.dll", "C:\\src\\a.dll"), 1);
  SetTime("C:\\dest\\a.dll", t);
  EXPECT_EQ(TWindowsInstaller::CompareFiles("C:\\dest\\a.dll", "C:\\src\\a.dll"), 0);
}

TEST_F(Placement, BackupBesideTargetTakesFirstFreeNumber) {
  auto t = BaseTime();
  Put("C:\\src\\msvcrt.dll", "new");
  Put("C:\\dest\\msvcrt.dll", "old");
  SetTime("C:\\src\\msvcrt.dll", t + 1h);
  SetTime("C:\\dest\\msvcrt.dll", t);
  EXPECT_TRUE(Install("C:\\src\\msvcrt.dll", "C:\\dest"));
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll_0"), "old");
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll"), "new");

  Put("C:\\src\\msvcrt.dll", "newer");
  SetTime("C:\\src\\msvcrt.dll", t + 2h);
  EXPECT_TRUE(Install("C:\\src\\msvcrt.dll", "C:\\dest"));
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll_0"), "old");
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll_1"), "new");
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll"), "newer");
}

TEST_F(Placement, BackupFolderGetsPlainNameThenNumbers) {
  auto t = BaseTime();
  Put("C:\\src\\a.dll", "new");
  Put("C:\\dest\\a.dll", "old");
  SetTime("C:\\src\\a.dll", t + 1h);
  SetTime("C:\\dest\\a.dll", t);
  std::filesystem::create_directories(Host("C:\\bak"));
  EXPECT_TRUE(Install("C:\\src\\a.dll", "C:\\dest", "C:\\bak"));
  EXPECT_EQ(Read("C:\\bak\\a.dll"), "old");

  Put("C:\\bak\\a.dll_0", "older");
  Put("C:\\dest\\a.dll", "old2");
  SetTime("C:\\dest\\a.dll", t);
  EXPECT_TRUE(Install("C:\\src\\a.dll", "C:\\dest", "C:\\bak\\"));
  EXPECT_EQ(Read("C:\\bak\\a.dll_1"), "old2");
  EXPECT_EQ(Read("C:\\bak\\a.dll_0"), "older");
  EXPECT_EQ(Read("C:\\bak\\a.dll"), "old");
}

TEST_F(Placement, MissingBackupFolderIsRefusedBeforeAnythingHappens) {
  Put("C:\\src\\a.dll", "new");
  try {
    Install("C:\\src\\a.dll", "C:\\dest", "C:\\nowhere");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Backup directry does not exist :\r\nC:\\nowhere");
  }
  EXPECT_FALSE(Exists("C:\\dest\\a.dll"));
}

TEST_F(Placement, ReadOnlyTargetIsReplacedAndEndsNormal) {
  auto t = BaseTime();
  Put("C:\\src\\a.dll", "new");
  Put("C:\\dest\\a.dll", "old");
  SetTime("C:\\src\\a.dll", t + 1h);
  SetTime("C:\\dest\\a.dll", t);
  ASSERT_TRUE(win::SetFileAttributes("C:\\dest\\a.dll",
                                     win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(Install("C:\\src\\a.dll", "C:\\dest"));
  EXPECT_FALSE(reboot_);
  EXPECT_EQ(Read("C:\\dest\\a.dll"), "new");
  win::DWORD a = Attributes("C:\\dest\\a.dll");
  EXPECT_EQ(a & (win::FILE_ATTRIBUTE_READONLY | win::FILE_ATTRIBUTE_HIDDEN), 0u);
  // No staging copy is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(Host("C:\\dest")))
    files += e.is_regular_file();
  EXPECT_EQ(files, 2);  // a.dll and its backup a.dll_0
}

// --- The target while it is replaced ----------------------------------------------------

// What happens to one name of a host folder, as inotify tells it: the name's own events.
class NameWatch {
 public:
  NameWatch(const std::filesystem::path& folder, std::string name) : name_(std::move(name)) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(fd_, folder.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
  }
  ~NameWatch() { close(fd_); }
  // "gone" for each time the name went away (deleted or moved off), "came" when it came.
  std::string Events() {
    std::string out;
    alignas(inotify_event) char buf[8192];
    for (ssize_t n; (n = read(fd_, buf, sizeof buf)) > 0;)
      for (char* p = buf; p < buf + n;) {
        auto* e = reinterpret_cast<inotify_event*>(p);
        if (e->len && name_ == e->name)
          out += e->mask & (IN_DELETE | IN_MOVED_FROM) ? "gone " : "came ";
        p += sizeof(inotify_event) + e->len;
      }
    return out;
  }

 private:
  int fd_;
  std::string name_;
};

ino_t Inode(const std::string& winPath) {
  struct stat st {};
  stat(Host(winPath).c_str(), &st);
  return st.st_ino;
}

class ReplacedTarget : public Placement {
 protected:
  explicit ReplacedTarget(win::MachineSettings s = {}) : Placement(std::move(s)) {
    auto t = BaseTime();
    Put("C:\\src\\a.dll", "new");
    Put("C:\\dest\\a.dll", "old");
    SetTime("C:\\src\\a.dll", t + 1h);
    SetTime("C:\\dest\\a.dll", t);
    win::SetFileAttributes("C:\\dest\\a.dll", win::FILE_ATTRIBUTE_HIDDEN);
    std::filesystem::create_directories(Host("C:\\bak"));
  }
  // Places a.dll with its backup in backupDir: the target's name never goes away, it only
  // takes the new file in one step.
  void InstallWatched(const std::string& backupDir) {
    NameWatch watch(Host("C:\\dest"), "a.dll");
    EXPECT_TRUE(Install("C:\\src\\a.dll", "C:\\dest", backupDir));
    EXPECT_EQ(watch.Events(), "came ");
    EXPECT_EQ(Read("C:\\dest\\a.dll"), "new");
    EXPECT_EQ(Attributes("C:\\dest\\a.dll"), win::FILE_ATTRIBUTE_NORMAL);
  }
};

TEST_F(ReplacedTarget, OnOneDriveTheBackupIsTheOldFileUnderASecondName) {
  const ino_t old = Inode("C:\\dest\\a.dll");
  InstallWatched("C:\\bak");
  EXPECT_EQ(Read("C:\\bak\\a.dll"), "old");
  EXPECT_EQ(Inode("C:\\bak\\a.dll"), old);  // no data written for it
  EXPECT_EQ(Attributes("C:\\bak\\a.dll") & win::FILE_ATTRIBUTE_HIDDEN, win::FILE_ATTRIBUTE_HIDDEN);
  for (auto& e : std::filesystem::directory_iterator(Host("C:\\dest")))
    EXPECT_EQ(e.path().filename(), "a.dll");  // nothing staged is left
}

TEST_F(ReplacedTarget, OnAnotherDriveTheBackupIsACopy) {
  std::filesystem::create_directories(machine_.d() / "bak");
  const ino_t old = Inode("C:\\dest\\a.dll");
  InstallWatched("D:\\bak");
  EXPECT_EQ(Read("D:\\bak\\a.dll"), "old");
  EXPECT_NE(Inode("D:\\bak\\a.dll"), old);
  EXPECT_EQ(Attributes("D:\\bak\\a.dll") & win::FILE_ATTRIBUTE_HIDDEN, win::FILE_ATTRIBUTE_HIDDEN);
}

// Windows NT 4.0 has no hard links: the backup is a copy, the target still never missing.
class ReplacedTargetNT4 : public ReplacedTarget {
 protected:
  ReplacedTargetNT4() : ReplacedTarget(Os(win::OsVersion::NT4)) {}
};

TEST_F(ReplacedTargetNT4, TheBackupIsACopy) {
  InstallWatched("");
  EXPECT_EQ(Read("C:\\dest\\a.dll_0"), "old");
  EXPECT_EQ(win::CreateHardLink("C:\\dest\\b.dll", "C:\\dest\\a.dll"), win::FALSE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_CALL_NOT_IMPLEMENTED);
}

TEST_F(ReplacedTarget, HardLinksStayOnTheirDriveAndNeverReplace) {
  std::filesystem::create_directories(machine_.d());
  EXPECT_EQ(win::CreateHardLink("D:\\a.dll", "C:\\dest\\a.dll"), win::FALSE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_NOT_SAME_DEVICE);
  EXPECT_EQ(win::CreateHardLink("C:\\src\\a.dll", "C:\\dest\\a.dll"), win::FALSE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_EQ(Read("C:\\src\\a.dll"), "new");
  EXPECT_EQ(win::CreateHardLink("C:\\x.dll", "C:\\missing.dll"), win::FALSE);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
}

class InUseNT : public Placement {};

TEST_F(InUseNT, NumberedCopyThenDelayedMoveCarriedOutAtBoot) {
  Put("C:\\src\\msvcrt.dll", "new");
  Put("C:\\dest\\msvcrt.dll", "old");
  Put("C:\\dest\\msvcrt000.dll", "someone else's");
  MakeNewerOverLocked("C:\\src\\msvcrt.dll", "C:\\dest\\msvcrt.dll");

  EXPECT_TRUE(Install("C:\\src\\msvcrt.dll", "C:\\dest"));
  EXPECT_TRUE(reboot_);
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll"), "old");
  EXPECT_EQ(Read("C:\\dest\\msvcrt000.dll"), "someone else's");
  EXPECT_EQ(Read("C:\\dest\\msvcrt001.dll"), "new");
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll_0"), "old");

  win::BootMachine(win::Machine::Current());
  EXPECT_EQ(Read("C:\\dest\\msvcrt.dll"), "new");
  EXPECT_FALSE(Exists("C:\\dest\\msvcrt001.dll"));
}

TEST_F(InUseNT, NumberedNamesStopAt999) {
  Put("C:\\d\\f.txt", "x");
  EXPECT_EQ(TWindowsInstaller::GetNumberedFileName("C:\\d\\f.txt"), "C:\\d\\f000.txt");
  Put("C:\\d\\noext", "x");
  EXPECT_EQ(TWindowsInstaller::GetNumberedFileName("C:\\d\\noext"), "C:\\d\\noext000");
  // A period in a folder name is no extension.
  EXPECT_EQ(TWindowsInstaller::GetNumberedFileName("C:\\d.x\\file"), "C:\\d.x\\file000");
  for (int i = 0; i <= 999; ++i) {
    char n[32];
    std::snprintf(n, sizeof n, "C:\\d\\f%03d.txt", i);
    Put(n, "");
  }
  try {
    TWindowsInstaller::GetNumberedFileName("C:\\d\\f.txt");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot find unique filename for\r\nC:\\d\\f.txt");
  }
}

// --- Windows 9x: WININIT.INI ---------------------------------------------------------

class Win9x : public Placement {
 protected:
  Win9x() : Placement(Os(win::OsVersion::Win98)) {}
  void SetUp() override {
    Put("C:\\dest\\longname.dll", "old");
    Put("C:\\dest\\longname000.dll", "new");
  }
  std::string Entry() {
    return GetShortName("C:\\dest\\longname.dll") + "=" + GetShortName("C:\\dest\\longname000.dll");
  }
  const std::string ini_ = "C:\\WINDOWS\\WININIT.INI";
};

TEST_F(Win9x, MissingFileIsCreatedWithTheSection) {
  TWindowsInstaller::MoveFileOnReboot("C:\\dest\\longname000.dll", "C:\\dest\\longname.dll");
  EXPECT_EQ(Read(ini_), "[rename]\r\n" + Entry() + "\r\n");
  EXPECT_EQ(Entry(), "C:\\DEST\\LONGNAME.DLL=C:\\DEST\\LONGNA~1.DLL");
}

TEST_F(Win9x, EntryGoesAtTheEndOfTheRenameSection) {
  Put(ini_, "; header\r\n[rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n[other]\r\nx=1\r\n[rename]\r\ny=2\r\n");
  TWindowsInstaller::MoveFileOnReboot("C:\\dest\\longname000.dll", "C:\\dest\\longname.dll");
  EXPECT_EQ(Read(ini_), "; header\r\n[rename]\r\nNUL=C:\\OLD.TMP\r\n\r\n" + Entry() +
                            "\r\n[other]\r\nx=1\r\n[rename]\r\ny=2\r\n");
}

TEST_F(Win9x, SectionWithLeadingBlankIsAnotherSection) {
  Put(ini_, " [rename]\nNUL=C:\\OLD.TMP\n");
  TWindowsInstaller::MoveFileOnReboot("C:\\dest\\longname000.dll", "C:\\dest\\longname.dll");
  EXPECT_EQ(Read(ini_), " [rename]\r\nNUL=C:\\OLD.TMP\r\n[rename]\r\n" + Entry() + "\r\n");
}

TEST_F(Win9x, FileWithoutSectionGetsItAppended) {
  Put(ini_, "[boot]\r\nshell=explorer.exe");
  TWindowsInstaller::MoveFileOnReboot("C:\\dest\\longname000.dll", "C:\\dest\\longname.dll");
  EXPECT_EQ(Read(ini_), "[boot]\r\nshell=explorer.exe\r\n[rename]\r\n" + Entry() + "\r\n");
  // Only WININIT.INI is left in the Windows folder: no temporary or set-aside copy.
  for (auto& e : std::filesystem::directory_iterator(Host("C:\\WINDOWS")))
    EXPECT_FALSE(e.path().filename().string().starts_with("is-")) << e.path();
}

TEST_F(Win9x, InUseTargetIsRenamedAtBoot) {
  Put("C:\\src\\longname.dll", "newest");
  MakeNewerOverLocked("C:\\src\\longname.dll", "C:\\dest\\longname.dll");
  EXPECT_TRUE(Install("C:\\src\\longname.dll", "C:\\dest"));
  EXPECT_TRUE(reboot_);
  EXPECT_EQ(Read("C:\\dest\\longname001.dll"), "newest");
  win::BootMachine(win::Machine::Current());
  EXPECT_EQ(Read("C:\\dest\\longname.dll"), "newest");
}

TEST_F(Win9x, PendingRenamesSurviveAFailedUpdate) {
  const std::string before = "[rename]\r\nNUL=C:\\OTHER.TMP\r\n";
  Put(ini_, before);
  win::Machine::Current().LockFile(Host(ini_));
  EXPECT_THROW(
      TWindowsInstaller::MoveFileOnReboot("C:\\dest\\longname000.dll", "C:\\dest\\longname.dll"),
      Exception);
  EXPECT_EQ(Read(ini_), before);
  for (auto& e : std::filesystem::directory_iterator(Host("C:\\WINDOWS")))
    EXPECT_FALSE(e.path().filename().string().starts_with("is-")) << e.path();
}

// --- Names and folders -----------------------------------------------------------------

TEST(Base32Name, FiveDigitsOfTheLow25Bits) {
  EXPECT_EQ(EncodeBase32Name(0), "00000");
  EXPECT_EQ(EncodeBase32Name(31), "0000V");
  EXPECT_EQ(EncodeBase32Name(32), "00010");
  EXPECT_EQ(EncodeBase32Name(0x1FFFFFF), "VVVVV");
  EXPECT_EQ(EncodeBase32Name(0x2000000), "00000");
  EXPECT_EQ(EncodeBase32Name(0xFFFFFFFF), "VVVVV");
  EXPECT_EQ(EncodeBase32Name(10 * 32 * 32 * 32 * 32 + 1), "A0001");
}

TEST_F(Placement, UniqueTempNamesSkipWhatExists) {
  std::filesystem::create_directories(Host("C:\\t"));
  SetRandSeed(1234);
  std::string first = TWindowsInstaller::GetUniqueTempName("C:\\t", ".tmp");
  ASSERT_EQ(first.size(), std::string("C:\\t\\is-XXXXX.tmp").size());
  EXPECT_TRUE(first.starts_with("C:\\t\\is-"));
  EXPECT_TRUE(first.ends_with(".tmp"));
  // Same seed, same name; once it exists (as a file or folder) the next number is taken.
  SetRandSeed(1234);
  EXPECT_EQ(TWindowsInstaller::GetUniqueTempName("C:\\t\\", ".tmp"), first);
  std::filesystem::create_directories(Host(first));
  SetRandSeed(1234);
  std::string second = TWindowsInstaller::GetUniqueTempName("C:\\t", ".tmp");
  EXPECT_NE(second, first);
  std::string a = first.substr(8, 5), b = second.substr(8, 5);
  EXPECT_EQ(b, EncodeBase32Name((std::stoul(a, nullptr, 32) + 1) & 0x1FFFFFF));
}

TEST_F(Placement, UniqueFolders) {
  std::filesystem::create_directories(Host("C:\\base\\BACKUP000"));
  std::string dir;
  TWindowsInstaller::CreateUniqueDir("C:\\base", "BACKUP", dir);
  EXPECT_EQ(dir, "C:\\base\\BACKUP001");
  EXPECT_TRUE(std::filesystem::is_directory(Host(dir)));

  try {
    TWindowsInstaller::CreateUniqueDir("C:\\none", "BACKUP", dir);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Directory does not exist :\r\nC:\\none");
  }

  // A plain file of the first name is no folder: its creation is tried and reported.
  Put("C:\\f\\BACKUP000", "");
  UiScript::Expect("Erreur",
                   "=Cannot create directory :\r\nC:\\f\\BACKUP000\r\n" +
                       SysErrorText(win::ERROR_ALREADY_EXISTS),
                   "ok");
  EXPECT_THROW(TWindowsInstaller::CreateUniqueDir("C:\\f\\", "BACKUP", dir), EAbort);
}

TEST(RemoveBackslash, RootsKeepTheirs) {
  EXPECT_EQ(TWindowsInstaller::RemoveBackslashUnlessRoot("C:\\"), "C:\\");
  EXPECT_EQ(TWindowsInstaller::RemoveBackslashUnlessRoot("C:\\Data\\"), "C:\\Data");
  EXPECT_EQ(TWindowsInstaller::RemoveBackslashUnlessRoot("\\"), "\\");
  EXPECT_EQ(TWindowsInstaller::RemoveBackslashUnlessRoot(""), "");
  EXPECT_EQ(TWindowsInstaller::RemoveBackslashUnlessRoot("a\\\\"), "a\\");
  EXPECT_EQ(TWindowsInstaller::RemoveBackslashUnlessRoot("C:\\Données"), "C:\\Données");
}

TEST_F(Placement, VersionQueries) {
  PutVersioned("C:\\v.dll", 6, 0, 89, 64);
  Put("C:\\plain.txt", "x");
  EXPECT_EQ(TWindowsInstaller::GetFileVersionString("C:\\v.dll"), "6.0.89.64");
  EXPECT_EQ(TWindowsInstaller::GetFileVersionString("C:\\plain.txt"), "?");
  EXPECT_EQ(TWindowsInstaller::GetFileVersionString("C:\\missing.dll"), "?");
  EXPECT_TRUE(TWindowsInstaller::FileExists("C:\\v.dll"));
  EXPECT_FALSE(TWindowsInstaller::FileExists("C:\\WINDOWS"));
  EXPECT_TRUE(TWindowsInstaller::PathExists("C:\\WINDOWS\\"));
  win::FILETIME ft;
  EXPECT_FALSE(GetFileWriteTime("C:\\WINDOWS", ft));
  EXPECT_EQ(ft.value(), 0u);
}

// --- Bad input ---------------------------------------------------------------------------

TEST_F(Placement, MissingOrUnusableDestinationGivesCopyError) {
  Put("C:\\src\\a.dll", "new");
  Put("C:\\afile", "not a folder");
  for (std::string dest : {"C:\\missing\\dir", "C:\\afile"}) {
    try {
      Install("C:\\src\\a.dll", dest);
      FAIL() << "no exception for " << dest;
    } catch (const Exception& e) {
      EXPECT_TRUE(
          e.Message().starts_with("Ne peut pas copier le fichier :\r\nC:\\src\\a.dll\r\n"
                                  "Destination :\r\n" +
                                  dest + "\\a.dll\r\n"))
          << e.Message();
    }
  }
  EXPECT_EQ(Read("C:\\afile"), "not a folder");
}

}  // namespace
