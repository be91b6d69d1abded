#include "wizard/frmMainUnit.h"

#include <cstdint>

#include "platform/forms/ForegroundWindow.h"
#include "platform/forms/UiScript.h"
#include "platform/system/CommandLine.h"
#include "platform/system/Libraries.h"
#include "platform/system/Process.h"
#include "platform/system/Registry.h"
#include "platform/system/Security.h"
#include "platform/system/Shutdown.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/Text.h"
#include "toolkit/GeneralHelpers.h"
#include "toolkit/InstallTools2.h"
#include "wizard/OneInst.h"
#include "wizard/dmDoInstallUnit.h"
#include "wizard/frmBaseStepUnit.h"
#include "wizard/frmEndInstallUnit.h"
#include "wizard/frmSelectItemsUnit.h"
#include "wizard/frmWelcomeUnit.h"

const char* const SBackCaption = "< Précédant";
const char* const SCancelCaption = "Annuler";
const char* const SCancelQuestion = "Voulez-vous annuler l'installation?";
const char* const SNextStepMissing = "Next step is missing.";
const char* const SRebootQuestion =
    "Des fichiers actuellement utilisés par le système doivent être mis à jour, il est "
    "nécessaire de redémarrer le système pour celà. Voulez-vous redémarrer le système "
    "maintenant ?";
const char* const SContinueAfterReboot =
    "L'installation se poursuivra lorsque vous aurez redémarré l'ordinateur.";
const char* const SStartProgram = "Démarrage du programme ";

namespace {

// Planned restart for an application's installation.
constexpr win::DWORD kRebootReason = win::SHTDN_REASON_FLAG_PLANNED |
                                     win::SHTDN_REASON_MAJOR_APPLICATION |
                                     win::SHTDN_REASON_MINOR_INSTALLATION;

std::string ProgramFileName() {
  char buffer[1024] = {};
  win::DWORD n = win::GetModuleFileName(nullptr, buffer, sizeof buffer);
  return std::string(buffer, n);
}

std::string ExtractFilePath(const std::string& Path) {
  size_t p = Path.find_last_of("\\:");
  return p == std::string::npos ? "" : Path.substr(0, p + 1);
}

void CheckReg(win::LONG Code) {
  if (Code != 0) RaiseLastOSError(win::DWORD(Code));
}

}  // namespace

TfrmMain* frmMain = nullptr;

void TfrmMain::DefineProps(TPropList&) {}

TfrmMain::TfrmMain(TComponent* AOwner) : TForm(AOwner) {
  Field("PanelMain", PanelMain);
  Field("PanelButtons", PanelButtons);
  Field("ButtonPrev", ButtonPrev);
  Field("ButtonNext", ButtonNext);
  Field("ButtonCancel", ButtonCancel);
  Field("PanelSteps", PanelSteps);
  Field("BevelButtons", BevelButtons);
  Field("PanelImage", PanelImage);
  Field("ImageStep", ImageStep);
  Field("PanelCurrStep", PanelCurrStep);
  Field("ActionListMain", ActionListMain);
  Field("ActionAnnuler", ActionAnnuler);
  Field("ActionBack", ActionBack);
  Field("ActionNext", ActionNext);
  Field("Timer1", Timer1);
  Field("VcBalloonHints", VcBalloonHints);
  Method("FormCreate", &TfrmMain::FormCreate);
  Method("FormShow", &TfrmMain::FormShow);
  Method("FormDestroy", &TfrmMain::FormDestroy);
  Method("Timer1Timer", &TfrmMain::Timer1Timer);
  Method("ActionNextExecute", &TfrmMain::ActionNextExecute);
  Method("ActionBackExecute", &TfrmMain::ActionBackExecute);
  Method("ActionAnnulerExecute", &TfrmMain::ActionAnnulerExecute);
  Method("ActionListMainUpdate", &TfrmMain::ActionListMainUpdate);
  Method("PanelCurrStepResize", &TfrmMain::PanelCurrStepResize);
  Method("PanelImageResize", &TfrmMain::PanelImageResize);
}

// The form's destroy handler runs here, while the frame is still whole.
TfrmMain::~TfrmMain() {
  OnDestroy(this);
  OnDestroy = nullptr;
}

// --- Set-up ---------------------------------------------------------------------------------

void TfrmMain::Setup(const std::string& ACaption, const std::string& CfgName,
                     const std::string& AProductName, const std::string& FilesDir,
                     const std::string& BaseDir) {
  SetCaption(ACaption);
  ProductName = AProductName;
  std::string mediaDir = ExtractFilePath(ProgramFileName());
  AddBackslash(mediaDir);
  mediaDir += FilesDir;
  SourceDir = mediaDir + BaseDir;

  for (int i = 1; i <= ParamCount(); ++i) {
    std::string p = ParamStr(i);
    if (p == "R")
      Mode = "R";
    else if (p == "A")
      Mode = "A";
  }

  std::string cfg = mediaDir + CfgName;
  if (TWindowsInstaller::FileExists(cfg)) {
    TStringList lines;
    lines.LoadFromFile(cfg);
    const std::string key = "NextInstaller=";
    for (int i = 0; i < lines.Count(); ++i) {
      std::string line = win::TrimSpacesAndControls(lines[i]);
      if (line.compare(0, key.size(), key) != 0) continue;
      const std::string name = line.substr(key.size());
      NextInstaller = mediaDir + name.substr(0, win::Utf8ByteOf(name, 255));  // 255 characters
    }
  }
}

// --- Frame events ---------------------------------------------------------------------------

void TfrmMain::FormCreate(TObject* Sender) {
  ActionAnnuler->SetCaption(SCancelCaption);
  ActionBack->SetCaption(SBackCaption);
  ArrangePanelButtons(PanelButtons);
  History.clear();
  // Long step hints stay readable.
  Application->SetHintHidePause(20000);
  Repaint();
}

void TfrmMain::FormShow(TObject* Sender) { ForceForegroundWindow(Handle()); }

void TfrmMain::FormDestroy(TObject* Sender) { History.clear(); }

void TfrmMain::Timer1Timer(TObject* Sender) {
  if (Started) return;
  Timer1->SetEnabled(false);
  frmWelcome->SetProductName(ProductName);
  Started = true;
  History.push_back(frmWelcome);
  if (Mode == "R") {
    GoToEndStep();
    DoInstall();
  } else {
    ShowCurrentStep();
    UpdateButtons();
  }
}

// --- Steps ----------------------------------------------------------------------------------

TFrmStep* TfrmMain::CurrentStep() const { return History.empty() ? nullptr : History.back(); }

TFrmStep* TfrmMain::GetNextStep(TFrmStep* Step) const {
  if (!Step) return frmWelcome;
  if (Step == frmWelcome) return frmSelectItems;
  if (Step == frmSelectItems) return frmEndInstall;
  return nullptr;
}

void TfrmMain::ShowCurrentStep() {
  TBusyScope busy;
  TFrmStep* step = CurrentStep();
  if (!step) return;
  step->SetParent(PanelCurrStep);
  PanelCurrStepResize(this);
  TImagePicture* image = step->GetStepImage();
  if (image)
    ImageStep->Picture()->Assign(image);
  else
    ImageStep->Picture()->Clear();
  PanelImage->SetColor(image ? image->Pixels(0, image->Height() - 1) : clBtnFace);
  PanelImageResize(this);
  step->Show();
  step->StepEnter();
  FocusStep(step);
}

void TfrmMain::FocusStep(TFrmStep* Step) {
  UpdateButtons();
  TWinControl* target = Step->ActiveControl();
  if (target && (!Step->ContainsControl(target) || !target->CanFocus())) target = nullptr;
  for (TButton* b : {ButtonNext, ButtonPrev, ButtonCancel})
    if (!target && b->CanFocus()) target = b;
  if (!target) return;
  target->SetFocus();
  SetActiveControl(target);
}

void TfrmMain::PanelCurrStepResize(TObject* Sender) {
  if (TFrmStep* step = CurrentStep())
    step->SetBounds(0, 0, PanelCurrStep->ClientWidth(), PanelCurrStep->ClientHeight());
}

void TfrmMain::PanelImageResize(TObject* Sender) {
  ImageStep->SetBounds((PanelImage->ClientWidth() - ImageStep->Width()) / 2,
                       (PanelImage->ClientHeight() - ImageStep->Height()) / 2, ImageStep->Width(),
                       ImageStep->Height());
}

void TfrmMain::UpdateButtons() {
  TFrmStep* step = CurrentStep();
  if (!step) {
    ButtonNext->SetCaption("");
    ActionBack->SetEnabled(false);
    ActionNext->SetEnabled(false);
    return;
  }
  ActionBack->SetEnabled(step != frmWelcome && !Finished);
  ActionAnnuler->SetEnabled(!Finished);
  ActionNext->SetEnabled(!Running && step->CanGoNext());
  std::string caption;
  step->GetNextCaption(caption);
  ButtonNext->SetCaption(caption);
}

void TfrmMain::ActionListMainUpdate(TAction* Action, bool& Handled) {
  UpdateButtons();
  Handled = true;
}

void TfrmMain::GoToEndStep() {
  History.push_back(frmEndInstall);
  ShowCurrentStep();
  UpdateButtons();
}

void TfrmMain::ActionNextExecute(TObject* Sender) {
  if (Running) return;
  if (Finished) {
    try {
      if (RunNextOnClose) RunNextInstaller();
    } catch (const EUiScriptError&) {
      throw;
    } catch (const std::exception& e) {
      // The error shows while the wizard is still there; it closes once it is answered.
      Application->HandleException(e);
      Close();
      return;
    }
    Close();
    return;
  }
  TFrmStep* step = CurrentStep();
  if (step) step->StepLeave();
  TFrmStep* next = GetNextStep(step);
  if (!next) throw Exception(SNextStepMissing);
  History.push_back(next);
  ShowCurrentStep();
  UpdateButtons();
  if (CurrentStep() == frmEndInstall) DoInstall();
}

void TfrmMain::ActionBackExecute(TObject* Sender) {
  if (Running || Finished || History.empty()) return;
  History.pop_back();
  ShowCurrentStep();
  UpdateButtons();
}

void TfrmMain::WndProc(TMessage& m) {
  // The run holds the program until it ends: a close box clicked meanwhile is not kept for later.
  if (m.Msg == win::WM_CLOSE && Running) return;
  TForm::WndProc(m);
}

void TfrmMain::ActionAnnulerExecute(TObject* Sender) {
  if (Running || Finished) return;
  if (AskWarningYesNo(SCancelQuestion, 0)) Close();
}

// --- Installation run -----------------------------------------------------------------------

void TfrmMain::DoInstall() {
  Finished = true;
  Running = true;
  struct RunningGuard {
    bool& flag;
    ~RunningGuard() { flag = false; }
  } guard{Running};
  // Between idle updates the buttons must already show the finished state.
  struct ButtonsAfterwards {
    TfrmMain* frame;
    ~ButtonsAfterwards() { frame->UpdateButtons(); }
  } buttons{this};
  bool needReboot = false;
  UpdateButtons();
  Application->ProcessMessages();
  try {
    {
      TBusyScope busy;
      dmDoInstall->Execute(SourceDir, frmEndInstall->RichEditReport->Lines(), needReboot);
    }
    ShowCurrentStep();
    if (needReboot) {
      switch (AskYesNoIgnore(SRebootQuestion, 0)) {
        case mrYes:
          RebootAndContinue();
          break;
        case mrNo:
          if (!NextInstaller.empty()) {
            // Keeps the promise below: the wizard reopens after the restart.
            WriteRunOnceValue();
            ShowWarning(SContinueAfterReboot, 0);
          }
          break;
        case mrIgnore:
          RunNextOnClose = true;
          break;
        default:
          break;
      }
    } else {
      RunNextOnClose = true;
    }
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    RunNextOnClose = false;
    ShowError(e.what(), 0);
  }
}

void TfrmMain::RunNextInstaller() {
  if (NextInstaller.empty()) return;
  // The next installer may be another copy of this wizard: it must not find us running.
  ReleaseInstanceToken();
  win::HINSTANCE h = win::ShellExecute(HandleAllocated() ? Handle() : nullptr, "open",
                                       NextInstaller, "A", nullptr, win::SW_SHOWNORMAL);
  TWindowsInstaller::CheckShellExecuteResult(SStartProgram + NextInstaller,
                                             int(reinterpret_cast<std::intptr_t>(h)));
}

bool TfrmMain::ForceForegroundWindow(win::HWND Wnd) {
  if (win::IsIconic(Wnd)) win::ShowWindow(Wnd, win::SW_RESTORE);
  if (win::GetForegroundWindow() == Wnd) return true;
  win::OSVERSIONINFO vi;
  win::GetVersionEx(&vi);
  bool modern = (vi.dwPlatformId == win::VER_PLATFORM_WIN32_NT && vi.dwMajorVersion > 4) ||
                (vi.dwPlatformId == win::VER_PLATFORM_WIN32_WINDOWS &&
                 (vi.dwMajorVersion > 4 || (vi.dwMajorVersion == 4 && vi.dwMinorVersion > 0)));
  if (modern) {
    bool result = false;
    win::DWORD foregroundThread =
        win::GetWindowThreadProcessId(win::GetForegroundWindow(), nullptr);
    win::DWORD thisThread = win::GetWindowThreadProcessId(Wnd, nullptr);
    if (win::AttachThreadInput(thisThread, foregroundThread, win::TRUE)) {
      win::BringWindowToTop(Wnd);
      win::SetForegroundWindow(Wnd);
      win::AttachThreadInput(thisThread, foregroundThread, win::FALSE);
      result = win::GetForegroundWindow() == Wnd;
    }
    if (!result) {
      win::DWORD timeout = 0;
      win::SystemParametersInfo(win::SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
      win::SystemParametersInfo(win::SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr,
                                win::SPIF_SENDCHANGE);
      win::BringWindowToTop(Wnd);
      win::SetForegroundWindow(Wnd);
      win::SystemParametersInfo(win::SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                reinterpret_cast<void*>(std::uintptr_t(timeout)),
                                win::SPIF_SENDCHANGE);
    }
  } else {
    win::BringWindowToTop(Wnd);
    win::SetForegroundWindow(Wnd);
  }
  return win::GetForegroundWindow() == Wnd;
}

// --- Restart --------------------------------------------------------------------------------

void WriteRunOnceValue() {
  win::HKEY key = nullptr;
  CheckReg(win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kRunOnceKey, 0, win::KEY_WRITE, &key));
  // Quoted: a media folder with blanks must still name this program.
  std::string value = "\"" + ProgramFileName() + "\" R";
  win::LONG rc = win::RegSetValueEx(key, kRunOnceName, 0, win::REG_SZ,
                                    reinterpret_cast<const win::BYTE*>(value.c_str()),
                                    win::DWORD(value.size() + 1));
  win::RegCloseKey(key);
  CheckReg(rc);
}

void RemoveRunOnceValue() {
  win::HKEY key = nullptr;
  if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, kRunOnceKey, 0, win::KEY_WRITE, &key) != 0) return;
  win::RegDeleteValue(key, kRunOnceName);
  win::RegCloseKey(key);
}

namespace {

void EnableShutdownPrivilege() {
  win::HANDLE token = nullptr;
  if (!win::OpenProcessToken(win::GetCurrentProcess(),
                             win::TOKEN_ADJUST_PRIVILEGES | win::TOKEN_QUERY, &token))
    RaiseLastOSError();
  struct Closer {
    win::HANDLE h;
    ~Closer() { win::CloseHandle(h); }
  } closer{token};
  win::TOKEN_PRIVILEGES tp{};
  if (!win::LookupPrivilegeValue(nullptr, win::SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid))
    RaiseLastOSError();
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = win::SE_PRIVILEGE_ENABLED;
  if (!win::AdjustTokenPrivileges(token, win::FALSE, &tp, 0, nullptr, nullptr)) RaiseLastOSError();
}

}  // namespace

void RebootAndContinue() {
  WriteRunOnceValue();
  try {
    // Windows 95/98/Me has no privileges to enable, and needs none to restart.
    if (!IsWin9x()) EnableShutdownPrivilege();
    if (!win::ExitWindowsEx(win::EWX_REBOOT, kRebootReason)) RaiseLastOSError();
  } catch (...) {
    // No restart is coming: the wizard must not reopen by surprise at some later boot.
    RemoveRunOnceValue();
    throw;
  }
}
