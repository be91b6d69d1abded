#include "dbsetup/dmFirebirdInstallUnit.h"

#include "dbsetup/NTServices.h"
#include "platform/forms/Streams.h"
#include "platform/system/Clock.h"
#include "platform/system/Exceptions.h"
#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Program.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/Text.h"
#include "platform/system/Version.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"

namespace {

const char* const SSeverOnWin9x =
    "Le seveur Firebird ne peut pas être installé sur Windows 95, 98, Me.";
const char* const SNotOnNT351 = "Firebird ne peut pas être installé sur Windows NT 3.51";
const char* const SSameVersion = "Un programme Firebird de version identique est déjà installé.";
const char* const SOtherVersion =
    "Un programme Firebird de version différente est déjà installé. Vous devez le désinstaller "
    "avant de continuer.";
const char* const SInstalledVersion = "Version installée : ";
const char* const SNewVersion = "Version à installer : ";
const char* const SClientDllsExist =
    "Des fichiers pour les clients Firebird / Interbase existent déjà sur cette machine. Si vous "
    "forcez l'installation du client, d'autres programmes risquent de ne plus fonctionner. "
    "Voulez-vous forcer l'installation de ces fichiers ?";
const char* const SServerRunning =
    "Le serveur Firebird est actif sur cette machine!\r\nVoulez-vous l'arrêter maintenant ? (Tous "
    "les clients connectés risquent de perdre leurs données!)";
const char* const SAbandon = "Installation abandonnée.";
const char* const SDamagedFile = "Fichier d'installation endommagé : ";

const char* const SGuardianDescription = "Gardien du Serveur Firebird";
const char* const SServerDescription = "Serveur de bases de données Firebird";

// Which Windows this is, as GetVersionEx tells it.
win::OSVERSIONINFO OsVersion() {
  win::OSVERSIONINFO vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  win::GetVersionEx(&vi);
  return vi;
}

bool IsNTPlatform() { return OsVersion().dwPlatformId == win::VER_PLATFORM_WIN32_NT; }

// The client library as the system folder gets it, and the source a found copy is
// compared with: the wizard names it in upper case, as the other client installers do.
const char* const kSystemClientName = wi::kIsInstall ? "GDS32.DLL" : "gds32.dll";

// The engine's messages; the wizard's helpers take a help context, and the engine has no
// help to offer.
#if WI_PROGRAM_INSTALL
constexpr int kNoHelp = 0;
void EngineWarning(const std::string& Msg) { ShowWarning(Msg, kNoHelp); }
void EngineInfo(const std::string& Msg) { ShowInfo(Msg, kNoHelp); }
TModalResult EngineAsk(const std::string& Msg) { return AskYesNoCancel(Msg, kNoHelp); }

// Every missing level of Dir, as far as it goes; nothing is reported: a folder that
// cannot be made shows itself when the installation first needs it.
bool ForceDirectories(const std::string& Dir) {
  std::vector<std::string> pieces;
  SplitString(Dir, pieces, '\\');
  if (pieces.empty()) return false;
  std::string current = pieces[0];
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    current += "\\" + pieces[i];
    if (!TWindowsInstaller::PathExists(current) && !win::CreateDirectory(current)) return false;
  }
  return true;
}

// Windows 2000 and later carry these run-time libraries themselves; NT 4.0 and 9x get
// them from the installation, and their counts are raised once more for it.
bool RuntimeLibrariesCountedTwice() {
  win::OSVERSIONINFO vi = OsVersion();
  return vi.dwPlatformId == win::VER_PLATFORM_WIN32_WINDOWS ||
         (vi.dwPlatformId == win::VER_PLATFORM_WIN32_NT && vi.dwMajorVersion == 4 &&
          vi.dwMinorVersion == 0);
}
#else
void EngineWarning(const std::string& Msg) { ShowWarning(Msg); }
void EngineInfo(const std::string& Msg) { ShowInfo(Msg); }
TModalResult EngineAsk(const std::string& Msg) { return AskYesNoCancel(Msg); }
#endif

std::string ExtractFileName(const std::string& path) {
  size_t p = path.find_last_of("\\/:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string WithBackslash(std::string s) {
  AddBackslash(s);
  return s;
}

std::string SystemDir() {
  std::string dir;
  GetSystemDir(dir);
  return dir;
}

// Keeps the caller's last error across clean-up calls, so the reporter sees the failure.
class TSavedError {
 public:
  TSavedError() : code_(win::GetLastError()) {}
  ~TSavedError() { win::SetLastError(code_); }

 private:
  win::DWORD code_;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}

// A program or library that cannot run: empty, not a PE file at all, or with headers or
// sections running past its end. Copying it would install a program that cannot start.
// Only the headers are read.
bool IsDamagedProgram(const std::string& FileName) {
  win::HANDLE h = win::CreateFile(FileName, win::GENERIC_READ, win::FILE_SHARE_READ, nullptr,
                                  win::OPEN_EXISTING, 0, nullptr);
  if (h == win::INVALID_HANDLE_VALUE) return false;
  std::vector<std::uint8_t> head(4096);
  win::DWORD got = 0, high = 0;
  win::BOOL ok = win::ReadFile(h, head.data(), win::DWORD(head.size()), &got, nullptr);
  const std::uint64_t size = win::GetFileSize(h, &high) | std::uint64_t(high) << 32;
  win::CloseHandle(h);
  if (!ok) return false;
  head.resize(got);
  if (got < 0x40 || head[0] != 'M' || head[1] != 'Z') return true;
  const std::uint32_t pe = Le32(head, 0x3C);
  if (std::uint64_t(pe) + 24 > got || Le32(head, pe) != 0x00004550) return true;
  const unsigned sections = head[pe + 6] | head[pe + 7] << 8;
  const unsigned optional = head[pe + 20] | head[pe + 21] << 8;
  const std::uint64_t table = std::uint64_t(pe) + 24 + optional;
  if (table + std::uint64_t(sections) * 40 > got) return true;
  for (unsigned i = 0; i < sections; ++i) {
    const size_t at = size_t(table) + size_t(i) * 40;
    if (std::uint64_t(Le32(head, at + 20)) + Le32(head, at + 16) > size) return true;
  }
  return false;
}

enum class TDest { System, Target, Bin, Intl, Udf };
enum class THow { SystemFile, CopyTo, IfMissing };

struct TFileRow {
  const char* Name;
  TDest Dest;
  THow How;
  bool Recorded;
};

// Rows placed after the run-time and client libraries, server installation only.
const TFileRow kServerRows[] = {
    {"firebird.conf", TDest::Target, THow::IfMissing, false},
    {"aliases.conf", TDest::Target, THow::IfMissing, false},
    {"security.fbk", TDest::Target, THow::IfMissing, false},
    {"security.fdb", TDest::Target, THow::IfMissing, false},
    {"stop server.cmd", TDest::Target, THow::CopyTo, false},
    {"start server.cmd", TDest::Target, THow::CopyTo, false},
    {"fbserver.exe", TDest::Bin, THow::CopyTo, true},
    {"fbguard.exe", TDest::Bin, THow::CopyTo, true},
    {"fb_lock_print.exe", TDest::Bin, THow::CopyTo, true},
    {"gbak.exe", TDest::Bin, THow::CopyTo, true},
    {"gfix.exe", TDest::Bin, THow::CopyTo, true},
    {"isql.exe", TDest::Bin, THow::CopyTo, false},
    {"gpre.exe", TDest::Bin, THow::CopyTo, false},
    {"gsec.exe", TDest::Bin, THow::CopyTo, true},
    {"gsplit.exe", TDest::Bin, THow::CopyTo, true},
    {"gstat.exe", TDest::Bin, THow::CopyTo, true},
    {"ib_util.dll", TDest::Bin, THow::CopyTo, true},
    {"fbintl.dll", TDest::Intl, THow::CopyTo, true},
    {"ib_udf.dll", TDest::Udf, THow::CopyTo, true},
    {"pg_udf.dll", TDest::Udf, THow::CopyTo, true},
    {"fbudf.dll", TDest::Udf, THow::CopyTo, true},
};

const char* const kClientSourceFiles[] = {"msvcrt.dll", "msvcp60.dll", "gds32.dll", "firebird.msg",
                                          "fbclient.dll"};

#if WI_PROGRAM_TOLVANE
const char* const SCannotDelete = "Ne peut pas supprimer le fichier : ";
const char* const SBackupServices[] = {"MarqetoFBBackup", "FirebirdBackup"};

// Removal set: folder letter S (system), T (target), B, I, U; shared; forced only.
struct TRemoveRow {
  const char* Name;
  char Folder;
  bool Shared;
};

const TRemoveRow kForcedRows[] = {
    {"IPLicense.txt", 'T', true},      {"ReleaseNotes.pdf", 'T', true},
    {"fb_inet_server.exe", 'B', true}, {"install_classic.bat", 'B', true},
    {"install_super.bat", 'B', true},  {"instclient.exe", 'B', true},
    {"instreg.exe", 'B', true},        {"instsvc.exe", 'B', true},
    {"uninstall.bat", 'B', true},
};

const TRemoveRow kInstanceRows[] = {
    {"firebird.conf", 'T', false},   {"aliases.conf", 'T', false},     {"firebird.msg", 'T', true},
    {"security.fbk", 'T', false},    {"security.fdb", 'T', false},     {"firebird.log", 'T', false},
    {"stop server.cmd", 'T', false}, {"start server.cmd", 'T', false}, {"fbserver.exe", 'B', true},
    {"fbguard.exe", 'B', true},      {"fb_lock_print.exe", 'B', true}, {"gstat.exe", 'B', true},
    {"gbak.exe", 'B', true},         {"gfix.exe", 'B', true},          {"isql.exe", 'B', false},
    {"gpre.exe", 'B', false},        {"gsplit.exe", 'B', true},        {"gsec.exe", 'B', true},
    {"ib_util.dll", 'B', true},      {"msvcp60.dll", 'B', false},      {"msvcrt.dll", 'B', false},
    {"fbclient.dll", 'B', true},     {"gds32.dll", 'B', true},         {"ib_udf.dll", 'U', true},
    {"pg_udf.dll", 'U', true},       {"fbudf.dll", 'U', true},         {"fbintl.dll", 'I', true},
};

#endif  // WI_PROGRAM_TOLVANE

}  // namespace

// ---------------------------------------------------------------------------------------
// Object

void TdmFirebirdInstall::DefineProps(TPropList& props) {}

TdmFirebirdInstall::TdmFirebirdInstall(TComponent* AOwner) : TDataModule(AOwner) {
  Method("DataModuleCreate", &TdmFirebirdInstall::DataModuleCreate);
  Method("DataModuleDestroy", &TdmFirebirdInstall::DataModuleDestroy);
  SetName("dmFirebirdInstall");
  OnCreate = [this](TObject* Sender) { DataModuleCreate(Sender); };
  OnCreate.Name = "DataModuleCreate";
  OnDestroy = [this](TObject* Sender) { DataModuleDestroy(Sender); };
  OnDestroy.Name = "DataModuleDestroy";
  OnCreate(this);
}

TdmFirebirdInstall::~TdmFirebirdInstall() { OnDestroy(this); }

void TdmFirebirdInstall::DataModuleCreate(TObject* Sender) {
  if (FInstaller) return;
  FInstalledFiles.clear();
  FClientDlls = new TStringList();
  FInstaller = new TWindowsInstaller("");
}

void TdmFirebirdInstall::DataModuleDestroy(TObject* Sender) {
  FInstalledFiles.clear();
  delete FClientDlls;
  FClientDlls = nullptr;
  delete FInstaller;
  FInstaller = nullptr;
}

// ---------------------------------------------------------------------------------------
// Paths and instance registry

void TdmFirebirdInstall::SetPaths(const std::string& SourceDir, const std::string& TargetDir,
                                  const std::string& InstanceName) {
  FInstanceName = InstanceName;
  FGuardianDisplayName = "Firebird Guardian - " + InstanceName;
  FGuardianServiceName = "FirebirdGuardian" + InstanceName;
  FServerDisplayName = "Firebird Server - " + InstanceName;
  FServerServiceName = "FirebirdServer" + InstanceName;
  FSourceDir = SourceDir.empty() ? "????" : WithBackslash(SourceDir);
  FTargetDir = WithBackslash(TargetDir);
  FBinDir = FTargetDir + "bin\\";
  FIntlDir = FTargetDir + "intl\\";
  FUdfDir = FTargetDir + "udf\\";
  // The wizard's ExtractParentDir keeps three characters where Tolvane's keeps one.
  ExtractParentDir(FTargetDir, FParentDir);
}

void TdmFirebirdInstall::GetInstanceDir(const std::string& InstanceName, std::string& Dir) {
  ReadRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, InstanceName, Dir);
  AddBackslash(Dir);
}

bool TdmFirebirdInstall::InstanceHasServer(const std::string& InstanceName) {
  std::string dir;
  GetInstanceDir(InstanceName, dir);
  if (dir.empty()) return false;
  SetPaths("", dir, InstanceName);
  return TWindowsInstaller::FileExists(FBinDir + "fbserver.exe");
}

void TdmFirebirdInstall::RegisterExistingInstance(const std::string& InstanceName,
                                                  const std::string& Dir) {
  std::string registered;
  GetInstanceDir(InstanceName, registered);
  if (!registered.empty()) return;
  if (TWindowsInstaller::FileExists(Dir + "bin\\fbserver.exe"))
    WriteRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, InstanceName, Dir);
}

bool TdmFirebirdInstall::IsServerRunning() {
  if (!IsNTPlatform()) return false;
  return IsNTServiceRunning(FGuardianServiceName) || IsNTServiceRunning(FServerServiceName);
}

// ---------------------------------------------------------------------------------------
// Checks

void TdmFirebirdInstall::CheckServerPlatform() {
  win::OSVERSIONINFO vi = OsVersion();
  if (vi.dwPlatformId == win::VER_PLATFORM_WIN32_WINDOWS) throw Exception(SSeverOnWin9x);
  CheckClientPlatform();
}

void TdmFirebirdInstall::CheckClientPlatform() {
  win::OSVERSIONINFO vi = OsVersion();
  if (vi.dwPlatformId == win::VER_PLATFORM_WIN32_NT && vi.dwMajorVersion == 3 &&
      vi.dwMinorVersion == 51)
    throw Exception(SNotOnNT351);
}

void TdmFirebirdInstall::CheckInstalledServerVersion() {
  if (!TWindowsInstaller::FileExists(FBinDir + "fbserver.exe")) return;
  std::string installed = TWindowsInstaller::GetFileVersionString(FBinDir + "fbserver.exe");
  std::string wanted = TWindowsInstaller::GetFileVersionString(FSourceDir + "fbserver.exe");
  if (installed == wanted) {
    EngineWarning(SSameVersion);
    AbandonInstall();
  }
  throw Exception(std::string(SOtherVersion) + "\r\n" + SInstalledVersion + installed + "\r\n" +
                  SNewVersion + wanted);
}

// Tolvane keeps what earlier searches found; the wizard's build starts afresh each time,
// so a copy deleted since the last search is no longer listed.
void TdmFirebirdInstall::FindClientDlls() {
  if constexpr (wi::kIsInstall) FClientDlls->Clear();
  AddClientDllIfPresent(SystemDir());
  struct {
    win::HKEY Root;
    const char* Key;
  } const paths[] = {
      {win::HKEY_CURRENT_USER, "Environment"},
      {win::HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager\\Environment"},
  };
  for (const auto& p : paths) {
    std::string value;
    ReadRegString(p.Root, p.Key, "path", value);
    if (value.empty()) continue;
    std::vector<std::string> dirs;
    SplitString(value, dirs, ';');
    for (const auto& dir : dirs) AddClientDllIfPresent(dir);
  }
}

void TdmFirebirdInstall::AddClientDllIfPresent(const std::string& Dir) {
  std::string file = WithBackslash(Dir) + "GDS32.DLL";
  if (TWindowsInstaller::FileExists(file) && FClientDlls->IndexOf(file) < 0) FClientDlls->Add(file);
}

#if WI_PROGRAM_INSTALL
bool TdmFirebirdInstall::ClientDllsPresent() {
  FindClientDlls();
  return FClientDlls->Count() > 0;
}
#endif

void TdmFirebirdInstall::CheckClientDlls() {
  FInstallSystemClient = true;
  FindClientDlls();
  for (int i = 0; i < FClientDlls->Count(); ++i) {
    if (SameFileContents(FClientDlls->Get(i), FSourceDir + kSystemClientName)) continue;
    TModalResult answer = EngineAsk(SClientDllsExist);
    if (answer == mrCancel) AbandonInstall();
    if (answer == mrNo) FInstallSystemClient = false;
    break;
  }
}

void TdmFirebirdInstall::CheckServerInstall() {
  CheckServerPlatform();
  CheckSourceFiles(true);
  CheckInstalledServerVersion();
  CheckClientDlls();
  if (IsServerRunning()) {
    if (EngineAsk(SServerRunning) == mrYes)
      FStopServerAgreed = true;
    else
      AbandonInstall();
  }
}

void TdmFirebirdInstall::CheckClientInstall() {
  CheckClientPlatform();
  CheckSourceFiles(false);
  CheckClientDlls();
}

void TdmFirebirdInstall::AbandonInstall() {
  EngineInfo(SAbandon);
  Abort();
}

// A media folder with a missing or damaged file is refused before anything is placed, so
// that no installed copy is deleted for a file that cannot replace it.
void TdmFirebirdInstall::CheckSourceFiles(bool Server) {
  std::vector<std::pair<std::string, std::string>> files;  // source name, target folder
  const std::string sys = SystemDir();
  for (const char* name : kClientSourceFiles) {
    std::string n = name;
    files.emplace_back(n, n == "firebird.msg" ? FTargetDir : (n == "fbclient.dll" ? FBinDir : sys));
  }
  if (Server)
    for (const auto& row : kServerRows) {
      std::string dest = row.Dest == TDest::Bin    ? FBinDir
                         : row.Dest == TDest::Intl ? FIntlDir
                         : row.Dest == TDest::Udf  ? FUdfDir
                                                   : FTargetDir;
      files.emplace_back(row.Name, dest);
    }
  for (const auto& [name, dest] : files) {
    std::string source = FSourceDir + name;
    if (!TWindowsInstaller::FileExists(source)) {
      win::SetLastError(win::ERROR_FILE_NOT_FOUND);
      ReportCopyError(source, dest + name);
    }
    const std::string lower = win::AsciiLower(name);
    bool program = lower.ends_with(".exe") || lower.ends_with(".dll");
    if (program && IsDamagedProgram(source)) throw Exception(SDamagedFile + source);
  }
}

// ---------------------------------------------------------------------------------------
// Installing

void TdmFirebirdInstall::InstallServer(const std::string& SourceDir, const std::string& TargetDir,
                                       const std::string& InstanceName, bool& NeedReboot) {
  SetPaths(SourceDir, TargetDir, InstanceName);
  RegisterExistingInstance(InstanceName, FTargetDir);
  FInstalledFiles.clear();
  CheckServerInstall();
  if (FStopServerAgreed) StopServices();
  CopyFirebirdFiles(true, NeedReboot);
  WriteRegistry();
  for (const auto& f : FInstalledFiles) TWindowsInstaller::IncrementSharedDllCount(f.FileName);
  UpdateServicesFiles();
  InstallServices();
}

void TdmFirebirdInstall::InstallClient(const std::string& SourceDir, const std::string& TargetDir,
                                       const std::string& InstanceName, bool& NeedReboot) {
  SetPaths(SourceDir, TargetDir, InstanceName);
  FInstalledFiles.clear();
  CheckClientInstall();
  CopyFirebirdFiles(false, NeedReboot);
  WriteRegistry();
  for (const auto& f : FInstalledFiles) TWindowsInstaller::IncrementSharedDllCount(f.FileName);
  UpdateServicesFiles();
}

void TdmFirebirdInstall::CreateSubDir(const std::string& Dir) {
  if (!TWindowsInstaller::PathExists(Dir)) win::CreateDirectory(Dir);
}

// The wizard puts no run-time libraries into "bin\" and installs the system's a second
// time only on NT 4.0 and 9x; Tolvane does both everywhere.
void TdmFirebirdInstall::CopyFirebirdFiles(bool Server, bool& NeedReboot) {
  NeedReboot = false;
#if WI_PROGRAM_INSTALL
  ForceDirectories(FTargetDir);
#else
  CreateDirectories(FTargetDir);
#endif
  const std::string sysDir = SystemDir();
  std::string backupDir;
  TWindowsInstaller::CreateUniqueDir(FTargetDir, "BACKUP", backupDir);

  auto system = [&](const char* name) {
    InstallSystemFile(FSourceDir + name, sysDir, backupDir, NeedReboot);
  };
  system("msvcrt.dll");
  system("msvcp60.dll");
  if (FInstallSystemClient) {
    system(kSystemClientName);
    bool exists = false;
    std::int32_t count = 0;
    ReadRegInteger(win::HKEY_LOCAL_MACHINE, kMakerKey, "SystemClientInstallCount", exists, count);
    WriteRegInteger(win::HKEY_LOCAL_MACHINE, kMakerKey, "SystemClientInstallCount", count + 1);
  }
  CopyFileTo(FSourceDir + "firebird.msg", FTargetDir, true);
  CreateSubDir(FBinDir);
#if WI_PROGRAM_INSTALL
  const bool secondPass = RuntimeLibrariesCountedTwice();
#else
  CopyFileTo(FSourceDir + "msvcp60.dll", FBinDir, false);
  CopyFileTo(FSourceDir + "msvcrt.dll", FBinDir, false);
  const bool secondPass = true;
#endif
  if (secondPass) {
    system("msvcp60.dll");
    system("msvcrt.dll");
  }
  CopyFileTo(FSourceDir + "fbclient.dll", FBinDir, true);
  CopyFileTo(FSourceDir + "gds32.dll", FBinDir, true);

  if (Server) {
    for (const auto& row : kServerRows) {
      std::string dest = row.Dest == TDest::Bin    ? FBinDir
                         : row.Dest == TDest::Intl ? FIntlDir
                         : row.Dest == TDest::Udf  ? FUdfDir
                                                   : FTargetDir;
      if (row.Dest != TDest::Target) CreateSubDir(dest);
      if (row.How == THow::IfMissing)
        CopyFileIfMissing(FSourceDir + row.Name, dest);
      else
        CopyFileTo(FSourceDir + row.Name, dest, row.Recorded);
    }
  }
  win::RemoveDirectory(backupDir);
}

void TdmFirebirdInstall::InstallSystemFile(const std::string& Source, const std::string& SysDir,
                                           const std::string& BackupDir, bool& NeedReboot) {
  std::string target = SysDir + ExtractFileName(Source);
  bool existed = TWindowsInstaller::FileExists(target);
  bool reboot = false;
  TWindowsInstaller::InstallFile(Source, SysDir, BackupDir, reboot);
  if (reboot) NeedReboot = true;
  FInstalledFiles.push_back({target, existed});
}

// An existing target is replaced through a copy made beside it first, so that a copy that
// fails (disk full, a folder that cannot be written) leaves the installed file in place.
void TdmFirebirdInstall::CopyFileTo(const std::string& Source, const std::string& DestDir,
                                    bool AddToList) {
  const std::string target = DestDir + ExtractFileName(Source);
  const bool existed = TWindowsInstaller::FileExists(target);
  if (existed) {
    const std::string temp = TWindowsInstaller::GetUniqueTempName(DestDir, ".tmp");
    auto dropTemp = [&] {
      TSavedError keep;
      win::SetFileAttributes(temp, win::FILE_ATTRIBUTE_NORMAL);
      win::DeleteFile(temp);
    };
    if (!win::CopyFile(Source, temp, true)) {
      dropTemp();
      ReportCopyError(Source, target);
      return;
    }
    const win::DWORD attrs = win::GetFileAttributes(target);
    if (attrs == win::INVALID_FILE_ATTRIBUTES ||
        ((attrs & win::FILE_ATTRIBUTE_READONLY) &&
         !win::SetFileAttributes(target, win::FILE_ATTRIBUTE_NORMAL))) {
      dropTemp();
      ReportAttributesError(target);
      return;
    }
    if (!win::DeleteFile(target)) {
      dropTemp();
      ReportDeleteError(target);
      return;
    }
    if (!win::MoveFile(temp, target)) {
      dropTemp();
      ReportCopyError(Source, target);
      return;
    }
  } else if (!win::CopyFile(Source, target, true)) {
    ReportCopyError(Source, target);
    return;
  }
  if (!win::SetFileAttributes(target, win::FILE_ATTRIBUTE_NORMAL)) {
    ReportAttributesError(target);
    return;
  }
  if (AddToList) FInstalledFiles.push_back({target, existed});
}

void TdmFirebirdInstall::CopyFileIfMissing(const std::string& Source, const std::string& DestDir) {
  const std::string target = DestDir + ExtractFileName(Source);
  if (TWindowsInstaller::FileExists(target)) return;
  if (!win::CopyFile(Source, target, true)) {
    ReportCopyError(Source, target);
    return;
  }
  if (!win::SetFileAttributes(target, win::FILE_ATTRIBUTE_NORMAL)) ReportAttributesError(target);
}

void TdmFirebirdInstall::WriteRegistry() {
  std::string version = TWindowsInstaller::GetFileVersionString(FSourceDir + "fbserver.exe");
  WriteRegString(win::HKEY_LOCAL_MACHINE, kMakerKey, "Version", version);
  WriteRegString(win::HKEY_LOCAL_MACHINE, kInstancesKey, FInstanceName, FTargetDir);
}

void TdmFirebirdInstall::UpdateServicesFiles() {
  std::string windowsDir;
  GetWindowsDir(windowsDir);
  for (const std::string& file : {windowsDir + "services", SystemDir() + "drivers\\etc\\services"})
    if (TWindowsInstaller::FileExists(file)) AddServicesEntry(file);
}

void TdmFirebirdInstall::InstallServices() { CreateServices(); }

// The executable's path is quoted: under "C:\Program Files\..." an unquoted command line
// would first be tried as "C:\Program.exe", as the local system account.
// A service that an earlier installation left behind (its server no longer registered) is
// given these settings: creating it again would fail with 1073 after every file is placed.
// The wizard's CreateNTService takes a dependency list; these services have none.
void TdmFirebirdInstall::CreateServices() {
  auto install = [](const std::string& command, const std::string& name, const std::string& display,
                    const char* description) {
    if (ReconfigureNTService(command, name, display, true, description)) return;
#if WI_PROGRAM_INSTALL
    CreateNTService(command, name, display, "", true, description);
#else
    CreateNTService(command, name, display, true, description);
#endif
  };
  install("\"" + FBinDir + "fbguard.exe\" -s", FGuardianServiceName, FGuardianDisplayName,
          SGuardianDescription);
  install("\"" + FBinDir + "fbserver.exe\" -s -g", FServerServiceName, FServerDisplayName,
          SServerDescription);
}

bool TdmFirebirdInstall::StartGuardian() {
  if (IsNTServiceRunning(FGuardianServiceName)) return true;
  return StartNTService(FGuardianServiceName);
}

void TdmFirebirdInstall::StopServices() {
  if (!IsNTPlatform()) return;
  if (IsNTServiceRunning(FGuardianServiceName)) StopNTService(FGuardianServiceName);
  if (IsNTServiceRunning(FServerServiceName)) StopNTService(FServerServiceName);
}

#if WI_PROGRAM_TOLVANE
// ---------------------------------------------------------------------------------------
// Removal (the wizard has none)

void TdmFirebirdInstall::Uninstall(const std::string& InstanceName) {
  std::string dir;
  GetInstanceDir(InstanceName, dir);
  SetPaths("", dir, InstanceName);
  if (IsServerRunning()) {
    if (EngineAsk(SServerRunning) != mrYes) Abort();
    StopServices();
  }
  StopBackupServices();
  if (!dir.empty()) RemoveFiles(false);
  DeleteRegistryKeys(false);
  DeleteServices(false);
}

void TdmFirebirdInstall::BrutalRemove(const std::string& InstanceName) {
  FInstanceName = InstanceName;
  StopBackupServices();
  std::string dir;
  GetInstanceDir(InstanceName, dir);
  BrutalRemoveInstance(dir);
  if (!dir.empty()) return;
  // Without a Program Files folder there is no default folder to clear: a relative
  // "Firebird\Firebird_1_5\" would act on whatever the current folder holds.
  std::string programFiles;
  FInstaller->GetProgramFilesDir(programFiles);
  if (programFiles.empty()) return;
  dir = programFiles + "Firebird\\Firebird_1_5\\";
  if (TWindowsInstaller::PathExists(dir)) BrutalRemoveInstance(dir);
}

void TdmFirebirdInstall::BrutalRemoveInstance(const std::string& Dir) {
  SetPaths("", Dir, FInstanceName);
  if (IsServerRunning()) StopServices();
  DeleteRegistryKeys(true);
  DeleteServices(true);
  if (!Dir.empty()) RemoveFiles(true);
  const std::string sys = SystemDir();
  for (const char* name : {"fbclient.dll", "GDS32.DLL", "Firebird2Control.cpl"})
    RemoveFile(sys + name, true, true);
}

void TdmFirebirdInstall::DeleteRegistryKeys(bool Force) {
  DeleteRegKey(win::HKEY_LOCAL_MACHINE, kMakerKey);
  if (Force || !InstanceHasServer(FInstanceName))
    DeleteRegKey(win::HKEY_LOCAL_MACHINE, kInstancesKey);
}

void TdmFirebirdInstall::DeleteServices(bool Force) {
  if (!IsNTPlatform()) return;
  if (!Force && InstanceHasServer(FInstanceName)) return;
  for (const std::string& name : {FGuardianServiceName, FServerServiceName})
    if (NTServiceExists(name)) DeleteNTService(name);
}

void TdmFirebirdInstall::StopBackupServices() {
  if (!IsNTPlatform()) return;
  for (const char* name : SBackupServices)
    if (NTServiceExists(name) && IsNTServiceRunning(name)) StopNTService(name);
}

// An ordinary uninstallation releases the shared files first; when the server program
// stays because another installation still counts on it, the instance's own files
// (configuration, user database, tools, log and lock files) stay with it: the server
// remains registered and its services remain, and must keep working.
void TdmFirebirdInstall::RemoveFiles(bool Force) {
  const std::string sys = SystemDir();
  auto folder = [&](char f) -> const std::string& {
    switch (f) {
      case 'S':
        return sys;
      case 'B':
        return FBinDir;
      case 'I':
        return FIntlDir;
      case 'U':
        return FUdfDir;
      default:
        return FTargetDir;
    }
  };
  const bool haveTarget = !FTargetDir.empty();

  if (Force) {
    RemoveFile(sys + "fbclient.dll", true, true);
    if (haveTarget)
      for (const auto& row : kForcedRows)
        RemoveFile(folder(row.Folder) + row.Name, row.Shared, true);
  }

  bool keepInstanceFiles = false;
  if (haveTarget) {
    if (Force) {
      for (const auto& row : kInstanceRows)
        RemoveFile(folder(row.Folder) + row.Name, row.Shared, true);
    } else {
      for (const auto& row : kInstanceRows)
        if (row.Shared) RemoveFile(folder(row.Folder) + row.Name, true, false);
      keepInstanceFiles = TWindowsInstaller::FileExists(FBinDir + "fbserver.exe");
      if (!keepInstanceFiles)
        for (const auto& row : kInstanceRows)
          if (!row.Shared) RemoveFile(folder(row.Folder) + row.Name, false, false);
    }
    win::RemoveDirectory(FBinDir);
    win::RemoveDirectory(FUdfDir);
    win::RemoveDirectory(FIntlDir);
  }

  if (Force) {
    RemoveFile(sys + "GDS32.DLL", true, true);
  } else {
    bool exists = false;
    std::int32_t count = 0;
    ReadRegInteger(win::HKEY_LOCAL_MACHINE, kMakerKey, "SystemClientInstallCount", exists, count);
    if (count > 0) {
      WriteRegInteger(win::HKEY_LOCAL_MACHINE, kMakerKey, "SystemClientInstallCount", count - 1);
      RemoveFile(sys + "GDS32.DLL", true, false);
    }
  }

  RemoveFile(sys + "Firebird2Control.cpl", true, Force);

  // The system's own msvcrt.dll and msvcp60.dll are never removed and their counts are
  // left as they are: other products count on them too, and a count lowered too far would
  // let another uninstaller delete a library still in use.

  if (haveTarget) {
    if (TWindowsInstaller::PathExists(FTargetDir) && !keepInstanceFiles) {
      std::vector<std::string> locks;
      ListFilesByExt(FTargetDir, "lck", locks);
      for (const auto& file : locks) RemoveFile(file, false, Force);
    }
    win::RemoveDirectory(FTargetDir);
    win::RemoveDirectory(FParentDir);
  }
}

void TdmFirebirdInstall::RemoveFile(const std::string& FileName, bool Shared, bool Force) {
  if (!TWindowsInstaller::FileExists(FileName)) return;
  bool mayDelete = true;
  if (Force)
    TWindowsInstaller::RemoveSharedDll(FileName);
  else if (Shared)
    mayDelete = TWindowsInstaller::ReleaseSharedDll(FileName);
  if (!mayDelete) return;
  win::SetFileAttributes(FileName, win::FILE_ATTRIBUTE_NORMAL);
  for (int attempt = 1; attempt <= 5; ++attempt) {
    if (win::DeleteFile(FileName)) break;
    if (attempt < 5) win::Sleep(1000);
  }
  if (TWindowsInstaller::FileExists(FileName)) ShowError(SCannotDelete + FileName);
}

#endif  // WI_PROGRAM_TOLVANE

// ---------------------------------------------------------------------------------------
// Unit functions

bool SameFileContents(const std::string& FileA, const std::string& FileB) {
  std::string a, b;
  if (!win::ReadWholeFile(FileA, a)) throw EFOpenError(FileA, win::GetLastError());
  if (!win::ReadWholeFile(FileB, b)) throw EFOpenError(FileB, win::GetLastError());
  return a == b;
}

// A file that cannot be read or written fails with the platform's own file error.
void AddServicesEntry(const std::string& FileName) {
  TStringList lines;
  lines.LoadFromFile(FileName);
  for (int i = 0; i < lines.Count(); ++i)
    if (win::TrimSpacesAndControls(lines.Get(i)).find("gds_db") != std::string::npos) return;
  lines.Add(kServicesLine);
  lines.SaveToFile(FileName);
}
