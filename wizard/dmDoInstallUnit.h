#pragma once
// TdmDoInstall: the installation run of the wizard. Installs the items checked on the
// item step from the payload folder and writes the French report lines.
#include <string>

#include "platform/forms/Forms.h"

class TWindowsInstaller;

class TdmDoInstall : public TDataModule {
  WI_CLASS(TdmDoInstall, TDataModule)
 public:
  explicit TdmDoInstall(TComponent* AOwner);

  void DataModuleCreate(TObject* Sender) {}
  void DataModuleDestroy(TObject* Sender) {}

  // Runs the installation, appending to Report. NeedReboot tells whether a file in use
  // will only be replaced at the next boot. A failure is passed on after the closing line.
  void Execute(const std::string& ASourceDir, TStrings* AReport, bool& NeedReboot);
  // Initial file name of the configuration-source step.
  std::string GetDefaultConfigFile() const { return ""; }

 private:
  void Add(const std::string& Line);
  void InstallSysLib(const std::string& FileName, bool& NeedReboot);
  void InstallFirebirdServer(bool& NeedReboot);
  void InstallFirebirdClient(bool& NeedReboot);
  void InstallVBRuntime();
  void InstallOCRFont();
  void InstallPDFModule(bool& NeedReboot);
  std::string ProgramFilesDir();

  std::string SourceDir;
  TStrings* Report = nullptr;
  TWindowsInstaller* Installer = nullptr;
  bool FServer = false, FClient = false, FVBRuntime = false, FOCRFont = false, FPDFModule = false;
};

extern TdmDoInstall* dmDoInstall;

// Report lines.
extern const char* const SInstallStart;
extern const char* const SInstallEnd;
extern const char* const SInstallFailed;
extern const char* const SServerInstall;
extern const char* const SServerPresent;
extern const char* const SServerStarting;
extern const char* const SServerRestarted;
extern const char* const SServerStartFailed;
extern const char* const SServerInstalled;
extern const char* const SServerStoppedAsk;
extern const char* const SClientInstall;
extern const char* const SClientPresent;
extern const char* const SClientInstalled;
extern const char* const SVBRuntime;
extern const char* const SVBRunStarting;
extern const char* const SVBRunStarted;
extern const char* const SVBRunUpToDate;
extern const char* const SFontInstall;
extern const char* const SFontInstalled;
extern const char* const SFontPresent;
extern const char* const SNoProgramFilesDir;
