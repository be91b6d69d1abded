#pragma once
// TdmFirebirdInstall: installs the Firebird 1.5 server with its client, or the client
// alone, and removes them again. It knows the file set, the folder layout of an
// installation, the registry values of the instance and of the maker, and the Windows
// services of the server and of its guardian. Questions and messages are shown by the
// engine itself; an operation stops by an exception carrying a French message or by the
// silent abort of AbandonInstall.
//
// Built once per program (dbsetup_tolvane, dbsetup_install). The wizard's build differs
// in the client-library search, the placement of the run-time libraries, the parent folder,
// the reporters' endings and the message helpers' help context, and it has no removal; the
// code says so at each function concerned.
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Forms.h"

class TWindowsInstaller;

inline constexpr const char* kInstancesKey =
    "SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
inline constexpr const char* kMakerKey = "SOFTWARE\\MARQETO S.A.\\Firebird 1.5";
inline constexpr const char* kDefaultInstance = "DefaultInstance";
// 68 characters: "gds_db", 11 blanks, "3050/tcp", 27 blanks, "#Firebird Server".
inline constexpr const char* kServicesLine =
    "gds_db           3050/tcp                           #Firebird Server";

// One file recorded by an installation: its full target path and whether it existed
// before (the count increment takes the flag and ignores it).
struct TInstalledFile {
  std::string FileName;
  bool Existed = false;
};

class TdmFirebirdInstall : public TDataModule {
  WI_CLASS(TdmFirebirdInstall, TDataModule)
 public:
  // Ready for use once constructed: the data module holds no components, so its
  // creation handler runs here (a later InitForm does not create the fields twice).
  explicit TdmFirebirdInstall(TComponent* AOwner);
  ~TdmFirebirdInstall() override;

  void DataModuleCreate(TObject* Sender);
  void DataModuleDestroy(TObject* Sender);

  // --- Paths, instance registry, checks ------------------------------------------------
  void SetPaths(const std::string& SourceDir, const std::string& TargetDir,
                const std::string& InstanceName);
  void GetInstanceDir(const std::string& InstanceName, std::string& Dir);
  bool InstanceHasServer(const std::string& InstanceName);
  void RegisterExistingInstance(const std::string& InstanceName, const std::string& Dir);
  bool IsServerRunning();
  void CheckServerPlatform();
  void CheckClientPlatform();
  void CheckInstalledServerVersion();
  void FindClientDlls();
  void AddClientDllIfPresent(const std::string& Dir);
  void CheckClientDlls();
  void CheckServerInstall();
  void CheckClientInstall();
  [[noreturn]] void AbandonInstall();
#if WI_PROGRAM_INSTALL
  // A fresh search: True when a "GDS32.DLL" is in the system folder or in a folder of
  // either path value. The wizard installs the client only when there is none.
  bool ClientDllsPresent();
#endif

  // --- Installing ----------------------------------------------------------------------
  void InstallServer(const std::string& SourceDir, const std::string& TargetDir,
                     const std::string& InstanceName, bool& NeedReboot);
  void InstallClient(const std::string& SourceDir, const std::string& TargetDir,
                     const std::string& InstanceName, bool& NeedReboot);
  bool StartGuardian();
  void StopServices();
  void CopyFirebirdFiles(bool Server, bool& NeedReboot);
  // Source into the system folder through the placement engine, recorded for the counts.
  void InstallSystemFile(const std::string& Source, const std::string& SysDir,
                         const std::string& BackupDir, bool& NeedReboot);
  void CopyFileTo(const std::string& Source, const std::string& DestDir, bool AddToList);
  void CopyFileIfMissing(const std::string& Source, const std::string& DestDir);
  void WriteRegistry();
  void UpdateServicesFiles();
  void InstallServices();
  void CreateServices();

#if WI_PROGRAM_TOLVANE
  // --- Removal (Tolvane only) -----------------------------------------------------------
  void Uninstall(const std::string& InstanceName);
  void BrutalRemove(const std::string& InstanceName);
  void BrutalRemoveInstance(const std::string& Dir);
  void DeleteRegistryKeys(bool Force);
  void DeleteServices(bool Force);
  void RemoveFiles(bool Force);
  void RemoveFile(const std::string& FileName, bool Shared, bool Force);
  void StopBackupServices();
#endif

  // --- State, for the programs and for tests --------------------------------------------
  const TStringList& GetClientDlls() const { return *FClientDlls; }
  const std::vector<TInstalledFile>& GetInstalledFiles() const { return FInstalledFiles; }
  TWindowsInstaller& GetInstaller() { return *FInstaller; }
  bool GetStopServerAgreed() const { return FStopServerAgreed; }
  bool GetInstallSystemClient() const { return FInstallSystemClient; }
  const std::string& GetInstanceName() const { return FInstanceName; }
  const std::string& GetGuardianServiceName() const { return FGuardianServiceName; }
  const std::string& GetGuardianDisplayName() const { return FGuardianDisplayName; }
  const std::string& GetServerServiceName() const { return FServerServiceName; }
  const std::string& GetServerDisplayName() const { return FServerDisplayName; }
  const std::string& GetParentDir() const { return FParentDir; }
  const std::string& GetSourceDir() const { return FSourceDir; }
  const std::string& GetTargetDir() const { return FTargetDir; }
  const std::string& GetBinDir() const { return FBinDir; }
  const std::string& GetIntlDir() const { return FIntlDir; }
  const std::string& GetUdfDir() const { return FUdfDir; }

 private:
  // Every source file the installation will take is there and, for programs and
  // libraries, readable as such; checked before anything is placed.
  void CheckSourceFiles(bool Server);
  void CreateSubDir(const std::string& Dir);

  TStringList* FClientDlls = nullptr;
  std::vector<TInstalledFile> FInstalledFiles;
  TWindowsInstaller* FInstaller = nullptr;
  bool FStopServerAgreed = false;
  bool FInstallSystemClient = false;
  std::string FInstanceName;
  std::string FGuardianDisplayName;
  std::string FGuardianServiceName;
  std::string FServerDisplayName;
  std::string FServerServiceName;
  std::string FParentDir;
  std::string FSourceDir;
  std::string FTargetDir;
  std::string FBinDir;
  std::string FIntlDir;
  std::string FUdfDir;
};

// Both files loaded whole: True when sizes and every byte are equal. A file that cannot
// be read raises the platform's file error.
bool SameFileContents(const std::string& FileA, const std::string& FileB);
// Appends kServicesLine to the services file FileName unless a line already mentions
// "gds_db" (even commented out); the file is then left untouched.
void AddServicesEntry(const std::string& FileName);
