#pragma once
// Forms and the application: forms read their embedded descriptions when created through
// CreateForm; the application runs the message loop, idle action updates and the default
// exception handling.
#include "platform/forms/Controls.h"
#include "platform/forms/MessageDialogs.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
                 poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<TObject*, TCloseAction&>;

class TForm : public TCustomControl {
  WI_CLASS(TForm, TCustomControl)
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  // Reads the embedded descriptions of the class chain, then runs OnCreate.
  void InitForm();
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle v) { FBorderStyle = v; }
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition v) { FPosition = v; }
  int ClientWidth() const override { return FClientWidth; }
  int ClientHeight() const override { return FClientHeight; }
  void SetClientWidth(int v) override;
  void SetClientHeight(int v) override;
  void SetBounds(int left, int top, int width, int height) override;
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  void Show();
  void Close();
  // Runs a modal loop until ModalResult is set (scripted commands run while it waits).
  TModalResult ShowModal();
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* c) { FActiveControl = c; }

  TNotifyEvent OnCreate, OnShow, OnDestroy, OnActivate;
  TCloseEvent OnClose;

 private:
  int Border() const { return FBorderStyle == bsNone ? 0 : 3; }
  int CaptionHeight() const { return FBorderStyle == bsNone ? 0 : 19; }
  TFormBorderStyle FBorderStyle = bsSizeable;
  TPosition FPosition = poDesigned;
  int FClientWidth = 0, FClientHeight = 0;
  TModalResult FModalResult = mrNone;
  TWinControl* FActiveControl = nullptr;
  bool FCreated = false;
};

class TDataModule : public TComponent {
  WI_CLASS(TDataModule, TComponent)
 public:
  explicit TDataModule(TComponent* owner) : TComponent(owner) {}
  void InitForm();
  TNotifyEvent OnCreate, OnDestroy;
};

class TApplication : public TComponent {
  WI_CLASS(TApplication, TComponent)
 public:
  explicit TApplication(TComponent* owner) : TComponent(owner) {}
  std::string Title() const { return FTitle; }
  void SetTitle(const std::string& v) { FTitle = v; }
  void Initialize() {}
  // Creates a form or data module of class T owned by the application, reads its
  // description, sets ref, then runs its OnCreate. The first form is the main form.
  template <class T>
  void CreateForm(T*& ref) {
    ref = new T(this);
    if (auto* f = dynamic_cast<TForm*>(ref); f && !FMainForm) FMainForm = f;
    ref->InitForm();
  }
  TForm* MainForm() const { return FMainForm; }
  // Shows the main form and runs the loop until it closes or Terminate is called.
  void Run();
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Handles posted messages, then the idle work: scripted commands, action updates, and
  // in simulated time the clock moves on to the next due timer when nothing else waits.
  void ProcessMessages();
  bool HandleMessage();
  void Idle();
  void HandleException(const std::exception& e);
  void ShowException(const std::exception& e);
  TNotifyEvent OnIdle;
  using TExceptionEvent = TEvent<TObject*, const std::exception&>;
  TExceptionEvent OnException;
  int HintPause() const { return FHintPause; }
  void SetHintPause(int v) { FHintPause = v; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v) { FShowHint = v; }
  // The class of the hint window (replaced by balloon hints).
  std::function<TCustomControl*(TComponent*)> HintWindowClass;
  void Reset();

 private:
  std::string FTitle;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  int FHintPause = 500;
  bool FShowHint = true;
};

extern TApplication* Application;
