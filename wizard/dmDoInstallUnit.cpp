#include "wizard/dmDoInstallUnit.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "dbsetup/dmFirebirdInstallUnit.h"
#include "platform/forms/Screen.h"
#include "platform/forms/UiScript.h"
#include "platform/system/Clock.h"
#include "platform/system/Fonts.h"
#include "platform/system/Process.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"
#include "wizard/frmSelectItemsUnit.h"

const char* const SInstallStart = "Démarrage de l'installation...";
const char* const SInstallEnd = "Fin de l'installation.";
const char* const SInstallFailed = "L'installation a échoué.";
const char* const SServerInstall = "Installation du serveur Firebird...";
const char* const SServerPresent = "Le serveur Firebird est déjà présent.";
const char* const SServerStarting = "Démarrage du serveur Firebird...";
const char* const SServerRestarted = "Le serveur Firebird a redémarré.";
const char* const SServerStartFailed = "Le serveur Firebird n'a pas pu être démarré.";
const char* const SServerInstalled = "Serveur Firebird installé.";
const char* const SServerStoppedAsk =
    "Le serveur Firebird est déjà présent sur cette machine, mais il est actuellement arrêté. "
    "Voulez-vous le faire démarrer maintenant ?";
const char* const SClientInstall = "Installation du client Firebird...";
const char* const SClientPresent = "Le client Firebird est déjà présent.";
const char* const SClientInstalled = "Client Firebird installé.";
const char* const SVBRuntime = "Librairies VisualBasic...";
const char* const SVBRunStarting = "Exécution de vbrun60.exe...";
const char* const SVBRunStarted = "vbrun60.exe a été démarré avec succès.";
const char* const SVBRunUpToDate = "Les librairies sont déjà à jour.";
const char* const SFontInstall = "Installation de la police OCR-B-10 BT ...";
const char* const SFontInstalled = "La police a été installée.";
const char* const SFontPresent = "La police est déjà présente.";
const char* const SNoProgramFilesDir = "Dossier programmes pas trouvé.";

namespace {

const char* const kInstanceName = "DefaultInstance";
const char* const kFirebirdFiles = "Firebird15\\Files\\";
const char* const kFirebirdTarget = "Firebird\\Firebird_1_5\\";
const char* const kVBRunInstaller = "vbrun60.exe";
const char* const kFontFile = "TT0646Z_.TTF";
const char* const kFontName = "OCR-B-10 BT";
const char* const kPDFModule = "wPDF200A.dll";
const char* const kNT4SystemLibs[] = {"shfolder.dll", "msvcp60.dll", "msvcrt.dll"};

// The text of a failure; the UI script's own failures pass through untouched.
std::string FailureText(std::exception_ptr p) {
  try {
    std::rethrow_exception(std::move(p));
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  }
}

bool ScreenHasFont(const std::string& Name) {
  if (TStrings* fonts = Screen->Fonts(); fonts && fonts->IndexOf(Name) >= 0) return true;
  // The screen's list holds the drawing layer's faces only; the machine's font table
  // knows the fonts installed on this PC.
  for (const auto& f : win::FontFamilies())
    if (AnsiCompareText(f, Name) == 0) return true;
  return false;
}

}  // namespace

TdmDoInstall* dmDoInstall = nullptr;

void TdmDoInstall::DefineProps(TPropList&) {}

TdmDoInstall::TdmDoInstall(TComponent* AOwner) : TDataModule(AOwner) {
  Method("DataModuleCreate", &TdmDoInstall::DataModuleCreate);
  Method("DataModuleDestroy", &TdmDoInstall::DataModuleDestroy);
}

void TdmDoInstall::Add(const std::string& Line) { Report->Add(Line); }

void TdmDoInstall::Execute(const std::string& ASourceDir, TStrings* AReport, bool& NeedReboot) {
  SourceDir = ASourceDir;
  Report = AReport;
  NeedReboot = false;
  Add(SInstallStart);
  try {
    std::unique_ptr<TWindowsInstaller> installer(new TWindowsInstaller(""));
    Installer = installer.get();
    struct Reset {
      TWindowsInstaller*& p;
      ~Reset() { p = nullptr; }
    } reset{Installer};

    FServer = frmSelectItems->IsItemChecked("FirebirdServer");
    FClient = frmSelectItems->IsItemChecked("FirebirdClient");
    FVBRuntime = frmSelectItems->IsItemChecked("VBRuntime");
    FOCRFont = frmSelectItems->IsItemChecked("OCRFont");
    FPDFModule = frmSelectItems->IsItemChecked("PDFModule");

    // Windows NT 4.0 lacks the libraries the programs and the Firebird files need; a
    // failure here ends the run before any item.
    if (IsWinNT4())
      for (const char* lib : kNT4SystemLibs) InstallSysLib(lib, NeedReboot);

    try {
      if (FServer)
        InstallFirebirdServer(NeedReboot);
      else if (FClient)
        InstallFirebirdClient(NeedReboot);
      if (FVBRuntime) InstallVBRuntime();
      if (FOCRFont) InstallOCRFont();
      if (FPDFModule) InstallPDFModule(NeedReboot);
    } catch (...) {
      std::string text = FailureText(std::current_exception());
      Add("");
      Add(text);
      Add("");
      Add(SInstallFailed);
      throw;
    }
  } catch (const EUiScriptError&) {
    throw;
  } catch (...) {
    Add(SInstallEnd);
    throw;
  }
  Add(SInstallEnd);
}

void TdmDoInstall::InstallSysLib(const std::string& FileName, bool& NeedReboot) {
  std::string dir = TWindowsInstaller::GetWritableSystemDir();
  bool reboot = false;
  TWindowsInstaller::InstallFile(SourceDir + FileName, dir, "", reboot);
  if (reboot) NeedReboot = true;
  TWindowsInstaller::IncrementSharedDllCount(dir + FileName);
}

std::string TdmDoInstall::ProgramFilesDir() {
  std::string dir;
  Installer->GetProgramFilesDir(dir);
  if (dir.empty()) throw Exception(SNoProgramFilesDir);
  AddBackslash(dir);
  return dir;
}

void TdmDoInstall::InstallFirebirdServer(bool& NeedReboot) {
  Add(SServerInstall);
  std::string programFiles = ProgramFilesDir();
  std::unique_ptr<TdmFirebirdInstall> fb(new TdmFirebirdInstall(nullptr));
  if (fb->InstanceHasServer(kInstanceName)) {
    Add(SServerPresent);
    if (!fb->IsServerRunning() && AskConfirm(SServerStoppedAsk, 0)) {
      try {
        Add(SServerStarting);
        // Only a guardian that really started restarts the server.
        if (!fb->StartGuardian()) throw Exception(SServerStartFailed);
        Add(SServerRestarted);
      } catch (const EUiScriptError&) {
        throw;
      } catch (const std::exception& e) {
        ShowError(e.what(), 0);
      }
    }
    return;
  }
  bool reboot = false;
  fb->InstallServer(SourceDir + kFirebirdFiles, programFiles + kFirebirdTarget, kInstanceName,
                    reboot);
  if (reboot) NeedReboot = true;
  fb->StartGuardian();
  Add(SServerInstalled);
}

void TdmDoInstall::InstallFirebirdClient(bool& NeedReboot) {
  Add(SClientInstall);
  std::string programFiles = ProgramFilesDir();
  std::unique_ptr<TdmFirebirdInstall> fb(new TdmFirebirdInstall(nullptr));
  if (fb->ClientDllsPresent()) {
    Add(SClientPresent);
    return;
  }
  bool reboot = false;
  fb->InstallClient(SourceDir + kFirebirdFiles, programFiles + kFirebirdTarget, kInstanceName,
                    reboot);
  // A client library in use is replaced at the next boot too, so the restart is offered.
  if (reboot) NeedReboot = true;
  Add(SClientInstalled);
}

void TdmDoInstall::InstallVBRuntime() {
  Add(SVBRuntime);
  try {
    if (TWindowsInstaller::VBRuntimeNeedsUpdate()) {
      Add(SVBRunStarting);
      win::HINSTANCE h = win::ShellExecute(nullptr, "open", SourceDir + kVBRunInstaller, "/Q",
                                           nullptr, win::SW_SHOWNOACTIVATE);
      TWindowsInstaller::CheckShellExecuteResult(kVBRunInstaller,
                                                 int(reinterpret_cast<std::intptr_t>(h)));
      Add(SVBRunStarted);
      // The run-time installer goes on alone; give it a head start only.
      win::Sleep(3000);
    } else {
      Add(SVBRunUpToDate);
    }
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    Add(e.what());
    ShowError(e.what(), 0);
  }
}

void TdmDoInstall::InstallOCRFont() {
  Add(SFontInstall);
  if (ScreenHasFont(kFontName)) {
    Add(SFontPresent);
    return;
  }
  try {
    Installer->InstallFont(SourceDir + kFontFile, kFontName);
    Add(SFontInstalled);
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    Add(e.what());
    ShowError(e.what(), 0);
  }
}

void TdmDoInstall::InstallPDFModule(bool& NeedReboot) {
  // As InstallSystemFile, but a module in use must still lead to the restart question.
  bool reboot = false;
  TWindowsInstaller::InstallFile(SourceDir + kPDFModule, ReadSystemDir(), "", reboot);
  if (reboot) NeedReboot = true;
}
