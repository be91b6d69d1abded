// Damaged media, unreadable system files and targets that cannot be written: a clear
// error naming the file, and nothing already installed lost.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/forms/Streams.h"
#include "platform/system/ErrorMessages.h"
#include "platform/system/PeFile.h"
#include "tests/dbsetup_tolvane/DbSetupTestSupport.h"
#include "tests/support/SmallDrive.h"

using namespace dbt;

namespace {

class BadInput : public EngineTest {
 protected:
  BadInput() { MakeMedia(); }
  // The message of the one error dialog shown.
  std::string ErrorShown() {
    std::string m;
    for (auto& d : UiScript::Dialogs())
      if (d.kind == "error") m = d.message;
    return m;
  }
};

TEST_F(BadInput, AMissingMediaFileIsNamedBeforeAnythingIsPlaced) {
  InstallClient();
  const std::string installed = Read(kTarget + "bin\\fbclient.dll");
  std::filesystem::remove(Host(kSource + "gbak.exe"));
  std::filesystem::remove(Host(kTarget + "bin\\fbserver.exe"));  // so the version check passes
  UiScript::Expect("Erreur", "Ne peut pas copier le fichier :", "ok");
  EXPECT_THROW(InstallServer(), EAbort);
  EXPECT_NE(ErrorShown().find(kSource + "gbak.exe"), std::string::npos) << ErrorShown();
  EXPECT_NE(ErrorShown().find("introuvable"), std::string::npos) << ErrorShown();
  EXPECT_EQ(Read(kTarget + "bin\\fbclient.dll"), installed);
  EXPECT_FALSE(Exists(kTarget + "bin\\fbguard.exe"));
}

// Tolvane shows a failed deletion itself and then stops silently (the wizard raises it).
TEST_F(BadInput, AFileInUseIsShownThenTheInstallationStops) {
  InstallClient();
  const std::string installed = Read(kTarget + "bin\\fbclient.dll");
  machine_.machine().LockFile(Host(kTarget + "bin\\fbclient.dll"));
  UiScript::Expect("Erreur",
                   "=Ne peut pas supprimer le fichier :\r\n" + kTarget + "bin\\fbclient.dll\r\n" +
                       SysErrorText(5),
                   "ok");
  EXPECT_THROW(InstallClient(), EAbort);
  EXPECT_EQ(DialogCount(), 1u);
  EXPECT_EQ(Read(kTarget + "bin\\fbclient.dll"), installed);
}

TEST_F(BadInput, ATruncatedProgramIsRefused) {
  std::string data = Read(kSource + "fbserver.exe");
  Put(kSource + "fbserver.exe", data.substr(0, 300));
  try {
    InstallServer();
    FAIL();
  } catch (const EAbort&) {
    FAIL() << "silent";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Fichier d'installation endommagé : " + kSource + "fbserver.exe");
  }
  EXPECT_FALSE(Exists(kTarget));

  // Headers intact but the last section cut short.
  Put(kSource + "fbserver.exe", data);
  auto pe = win::BuildPeFile({});
  Put(kSource + "ib_util.dll", std::string(pe.begin(), pe.end() - 16));
  EXPECT_THROW(InstallServer(), Exception);
  EXPECT_FALSE(Exists(kTarget));
  // An empty library or one that is no PE file at all is as damaged, whatever its size.
  Put(kSource + "ib_util.dll", std::string(pe.begin(), pe.end()));
  for (const std::string& notPe :
       {std::string(), std::string("not a program"), std::string(4096, 'x'), std::string("MZ")}) {
    Put(kSource + "ib_udf.dll", notPe);
    EXPECT_THROW(InstallServer(), Exception) << notPe.size();
    EXPECT_FALSE(Exists(kTarget));
  }
  // Cutting data after the last section (an overlay) does not harm the program.
  Put(kSource + "ib_udf.dll", std::string(pe.begin(), pe.end()) + "overlay");
  InstallServer();
  EXPECT_TRUE(Exists(kTarget + "udf\\ib_udf.dll"));
}

// A socket cannot be opened as a file, whoever runs the test.
class Socket {
 public:
  explicit Socket(const std::filesystem::path& host) : host_(host) {
    std::filesystem::remove(host);
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (host.string().size() >= sizeof addr.sun_path) return;
    strcpy(addr.sun_path, host.c_str());
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~Socket() {
    close(fd_);
    std::filesystem::remove(host_);
  }
  bool bound() const { return bound_; }

 private:
  std::filesystem::path host_;
  int fd_;
  bool bound_ = false;
};

// The message of what f raised; it must be the platform's file error of type E.
template <class E, class F>
std::string FileError(F f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("another error: ") + e.what();
  }
  return "no error";
}

// Files of the machine that cannot be read or written fail with the platform's own file
// error, which names them; no service is created after a services file that failed.
TEST_F(BadInput, UnreadableAndUnwritableFilesFailWithThePlatformsFileError) {
  {
    Socket unreadable(Host(ServicesFile()));
    if (!unreadable.bound()) GTEST_SKIP() << "path too long for a socket";
    EXPECT_EQ(FileError<EFOpenError>([&] { InstallServer(); }),
              "Impossible d'ouvrir le fichier " + ServicesFile() + "\r\n" +
                  win::SysErrorMessage(win::ERROR_ACCESS_DENIED));
    EXPECT_TRUE(win::ListServices().empty());
    EXPECT_TRUE(Exists(kTarget + "bin\\fbserver.exe"));
  }

  Put(ServicesFile(), "echo 7/tcp\r\n");
  machine_.machine().LockFile(Host(ServicesFile()));
  EXPECT_EQ(FileError<EFCreateError>([&] { InstallClient(); }),
            "Impossible de créer le fichier " + ServicesFile() + "\r\n" +
                win::SysErrorMessage(win::ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Read(ServicesFile()), "echo 7/tcp\r\n");

  // A client library found on the machine is compared with the new one: read whole.
  Socket client(Host(SysDir() + "GDS32.DLL"));
  EXPECT_EQ(FileError<EFOpenError>([&] { InstallClient(); }),
            "Impossible d'ouvrir le fichier " + SysDir() + "GDS32.DLL\r\n" +
                win::SysErrorMessage(win::ERROR_ACCESS_DENIED));
}

TEST_F(BadInput, AReadOnlyTargetIsNamed) {
  const std::string target =
      machine_.machine().WindowsPath("/proc/wi-no-such-folder") + "\\Firebird\\";
  UiScript::Expect("Erreur", "", "ok");
  bool reboot = false;
  EXPECT_THROW(engine_->InstallClient(kSource, target, kDefaultInstance, reboot), EAbort);
  EXPECT_NE(ErrorShown().find("wi-no-such-folder"), std::string::npos) << ErrorShown();
}

// A full disk: drive E: is a small file system filled up after a first installation.
class FullDisk : public BadInput {
 protected:
  void SetUp() override {
    if (!drive_.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
  }
  void TearDown() override {
    EXPECT_EQ(drive_.Unmount(), "");
    BadInput::TearDown();
  }
  SmallDrive drive_{machine_.dir(), 'e'};
};

TEST_F(FullDisk, AFailedCopyLeavesTheInstalledFileInPlace) {
  const std::string target = "E:\\Firebird\\";
  bool reboot = false;
  engine_->InstallClient(kSource, target, kDefaultInstance, reboot);
  const std::string installed = Read(target + "bin\\fbclient.dll");
  const std::string msg = Read(target + "firebird.msg");
  const std::string systemClient = Read(SysDir() + "gds32.dll");
  drive_.Fill();
  media::MediaOptions newer;
  newer.version = "1.5.4.4910";
  MakeMedia(newer);
  // No: the system client library is left alone, so the first file written to E: is
  // the new message file.
  UiScript::Expect("Avertissement", "Des fichiers pour les clients", "no");
  UiScript::Expect("Erreur", "Ne peut pas copier le fichier :", "ok");
  EXPECT_THROW(engine_->InstallClient(kSource, target, kDefaultInstance, reboot), EAbort);
  EXPECT_NE(ErrorShown().find("Destination :\r\n" + target + "firebird.msg"), std::string::npos)
      << ErrorShown();
  EXPECT_EQ(Read(SysDir() + "gds32.dll"), systemClient);
  EXPECT_EQ(Read(target + "firebird.msg"), msg);
  EXPECT_EQ(Read(target + "bin\\fbclient.dll"), installed);
}

}  // namespace
