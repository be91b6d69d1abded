#pragma once
// TfrmMain: the one window of the wizard. Shows one step at a time with a history of the
// visited steps, runs the installation on the end step, and hands over to the next
// installer named by the plan file.
#include <string>
#include <vector>

#include "controls/VcBHints.h"
#include "platform/forms/ActnList.h"
#include "platform/forms/StdCtrls.h"
#include "wizard/WizardControls.h"

class TFrmStep;

class TfrmMain : public TForm {
  WI_CLASS(TfrmMain, TForm)
 public:
  explicit TfrmMain(TComponent* AOwner);
  ~TfrmMain() override;

  TPanel* PanelMain = nullptr;
  TPanel* PanelButtons = nullptr;
  TButton* ButtonPrev = nullptr;
  TButton* ButtonNext = nullptr;
  TButton* ButtonCancel = nullptr;
  TPanel* PanelSteps = nullptr;
  TBevel* BevelButtons = nullptr;
  TPanel* PanelImage = nullptr;
  TImage* ImageStep = nullptr;
  TPanel* PanelCurrStep = nullptr;
  TActionList* ActionListMain = nullptr;
  TAction* ActionAnnuler = nullptr;
  TAction* ActionBack = nullptr;
  TAction* ActionNext = nullptr;
  TTimer* Timer1 = nullptr;
  TVcBalloonHints* VcBalloonHints = nullptr;

  std::vector<TFrmStep*> History;  // visited steps, the last is current; never owned
  bool Started = false;
  std::string SourceDir;
  std::string NextInstaller;
  std::string Mode;
  bool Finished = false;
  bool RunNextOnClose = false;
  std::string ProductName;
  // The installation run holds the thread; clicks that slip through meanwhile are ignored.
  bool Running = false;

  void Setup(const std::string& ACaption, const std::string& CfgName,
             const std::string& AProductName, const std::string& FilesDir,
             const std::string& BaseDir);
  TFrmStep* CurrentStep() const;
  TFrmStep* GetNextStep(TFrmStep* Step) const;
  void ShowCurrentStep();
  // The keyboard goes to the step's own ActiveControl, else to Next, Back or Cancel, the
  // first that works, so that Enter and Space act at once.
  void FocusStep(TFrmStep* Step);
  void UpdateButtons();
  void GoToEndStep();
  void DoInstall();
  void RunNextInstaller();
  bool ForceForegroundWindow(win::HWND Wnd);

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormDestroy(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  void ActionNextExecute(TObject* Sender);
  void ActionBackExecute(TObject* Sender);
  void ActionAnnulerExecute(TObject* Sender);
  void ActionListMainUpdate(TAction* Action, bool& Handled);
  void PanelCurrStepResize(TObject* Sender);
  void PanelImageResize(TObject* Sender);
  // The window's close box closes the frame without a question, except during the run.
  void WndProc(TMessage& msg) override;
};

extern TfrmMain* frmMain;

// Registers the wizard to reopen on its end step at the next start of Windows, and
// restarts Windows. A failure after the registration takes it back.
void RebootAndContinue();
// The RunOnce value: the program's path, quoted, then " R".
void WriteRunOnceValue();
void RemoveRunOnceValue();

inline constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char* kRunOnceName = "Installation MARQETO";

extern const char* const SBackCaption;
extern const char* const SCancelCaption;
extern const char* const SCancelQuestion;
extern const char* const SNextStepMissing;
extern const char* const SRebootQuestion;
extern const char* const SContinueAfterReboot;
extern const char* const SStartProgram;
