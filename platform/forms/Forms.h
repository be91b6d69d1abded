#pragma once
// Forms and the application: forms read their embedded descriptions when created through
// CreateForm; the application runs the message loop, idle action updates and the default
// exception handling.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/MessageDialogs.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
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
  // False: the title bar's close box is disabled (a question that must be answered).
  bool CloseBox() const { return FCloseBox; }
  void SetCloseBox(bool v) { FCloseBox = v; }
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition v) { FPosition = v; }
  int ClientWidth() const override { return FClientWidth; }
  int ClientHeight() const override { return FClientHeight; }
  void SetClientWidth(int v) override;
  void SetClientHeight(int v) override;
  void SetBounds(int left, int top, int width, int height) override;
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult v) { FModalResult = v; }
  // Makes the form visible and active; a form with a parent also comes to the front there.
  void Show();
  void Close();
  // Runs a modal loop until ModalResult is set (scripted commands run while it waits).
  // The focus moves into the form (ActiveControl, else the first tab stop) and goes back
  // to the control that had it when the loop ends.
  TModalResult ShowModal();
  // True while ShowModal runs.
  bool Modal() const { return FInModal; }
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* c) { FActiveControl = c; }
  void ControlFreed(TControl* c) override {
    if (c == FActiveControl) FActiveControl = nullptr;
  }
  // When no control of this shown window has the focus (none had it yet, or the one that had
  // it was disabled or hidden), it goes to ActiveControl, else to the first tab stop.
  void EnsureFocus();
  // Moves the focus to the next (or previous) tab stop, wrapping round.
  void SelectNext(TWinControl* current, bool forward);
  // Keyboard handling of a dialog: CM_DIALOGKEY (wParam: key, lParam: shift) takes Tab
  // and Shift+Tab through the tab order, arrows among radio buttons of one parent,
  // Enter to the focused or else the Default button, Escape to the Cancel button;
  // CM_DIALOGCHAR (wParam: letter) runs the control whose caption marks it with '&'.
  // Result is 1 when the key was used. WM_CLOSE (the window's close box) closes the form.
  void WndProc(TMessage& msg) override;

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
  bool FInModal = false;
  bool FCloseBox = true;
};

// The form whose ShowModal runs innermost, or null.
TForm* ModalForm();

class TDataModule : public TComponent {
  WI_CLASS(TDataModule, TComponent)
 public:
  explicit TDataModule(TComponent* owner) : TComponent(owner) {}
  void InitForm();
  TNotifyEvent OnCreate, OnDestroy;
};

class THintWindow;
// What the application knows of a hint about to show (OnShowHint may change it).
struct THintInfo {
  TControl* HintControl = nullptr;
  win::POINT HintPos{};  // screen position of the hint window's top-left
  int HintMaxWidth = 0;  // the text wraps beyond it
  int HintColor = clInfoBk;
  win::RECT CursorRect{};  // in the control: moving out of it ends the hint
  win::POINT CursorPos{};  // the mouse position in the control
  std::string HintStr;
};
using TShowHintEvent = TEvent<std::string&, bool&, THintInfo&>;

class TEventSource;

class TApplication : public TComponent {
  WI_CLASS(TApplication, TComponent)
 public:
  // Starts with the standard event sources (EventSources.h).
  explicit TApplication(TComponent* owner);
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
  // Dispatches what is posted (and due timers) without going idle, the sources' input
  // collected first. An exception a handler lets out goes to HandleException (a UI script
  // error ends the run) and the next message is dispatched.
  void ProcessMessages();
  // One step of the loop: a posted message or a due timer; else the idle work (the
  // sources' idle work, OnIdle, action updates), what changed presented, and then a
  // source's ready work (the next UI script command). False when there was nothing.
  bool HandleMessage();
  void Idle();
  // Called when HandleMessage found nothing: lets time pass until the sources' next work
  // (a timer, the end of a scripted wait), the source that keeps the time passing it (in
  // simulated time the clock jumps there at once; in real time the loop sleeps, waking for
  // posted messages), or, with nothing but ticking work due, waits for a source's user.
  // False when nothing can happen any more: nothing due, or, with no work pending, only
  // ticking work (timers) due IdleLimit milliseconds after the last sign of progress.
  bool WaitForWork();
  // The event sources the loop serves besides the queue, asked in the order they came
  // (the standard ones first). The application does not own them.
  void AddEventSource(TEventSource* source);
  void RemoveEventSource(TEventSource* source);
  // Nothing can happen any more (what: where the program waits): the sources hear it, and
  // the UI script ends an unattended run with its error.
  void Stalled(const std::string& what);
  int IdleLimit() const { return FIdleLimit; }
  void SetIdleLimit(int ms) { FIdleLimit = ms; }
  // Marks progress (a form shown, a script command run) for the idle limit.
  void NoteActivity();
  // Installed by a display back-end: waits up to timeoutMs (-1: no limit) for user input
  // and posts it as messages. With it, an idle program waits for its user (through the
  // display's event source) instead of ending with a script error.
  std::function<void(int timeoutMs)> InputWaiter;
  // The Windows session ends (a restart asked for by this program or another of the PC):
  // every shown top-level form gets WM_QUERYENDSESSION, then, when none refused (Result 0),
  // WM_ENDSESSION with wParam TRUE, and the program ends. The loop calls it once.
  void EndSession();
  void HandleException(const std::exception& e);
  void ShowException(const std::exception& e);
  TNotifyEvent OnIdle;
  using TExceptionEvent = TEvent<TObject*, const std::exception&>;
  TExceptionEvent OnException;
  int HintPause() const { return FHintPause; }
  void SetHintPause(int v) { FHintPause = v; }
  // How long a shown hint stays before it hides by itself, in milliseconds.
  int HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int ms) { FHintHidePause = ms; }
  bool ShowHint() const { return FShowHint; }
  // Switching it on makes the hint window anew from HintWindowClass; off frees it.
  void SetShowHint(bool v);
  // The class of the hint window (replaced by balloon hints); empty: THintWindow.
  std::function<TCustomControl*(TComponent*)> HintWindowClass;
  // Pause before the next hint when one was just showing, in milliseconds.
  int HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(int v) { FHintShortPause = v; }
  // The hint window (made on first use while ShowHint is on), or null.
  THintWindow* HintWindow();
  // The mouse rests at cursorPos in control: shows the control's hint (after OnShowHint).
  void ActivateHint(TControl* control, win::POINT cursorPos);
  // Hides the hint that shows (or stops the pause before it); it comes back only once the
  // mouse has moved on to another control.
  void CancelHint();
  // The pointer moved to pos in the client area of control (null: off every form): mouse
  // enter and leave messages, then the hint timing (HintPause before the hint shows,
  // HintShortPause when one showed on the control just left, HintHidePause before it hides;
  // another control hides it). The display back-end and the UI driver call it.
  void MouseMoved(TControl* control, win::POINT pos);
  // User input (a click, a key) about to be handled: hides the hint when the hint window
  // counts the message as one that ends it (IsHintMsg).
  void HintInput(const TMessage& msg);
  // The control whose hint is awaited or showing (after a cancel: until the mouse leaves).
  TControl* HintControl() const { return FHintControl; }
  // True while a hint shows.
  bool HintShowing() const;
  TShowHintEvent OnShowHint;
  void Reset();

 protected:
  void Notification(TComponent* c, TOperation op) override;

 private:
  std::string FTitle;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  int FHintPause = 500;
  int FHintHidePause = 2500;
  bool FShowHint = true;
  int FHintShortPause = 50;
  THintWindow* FHintWindow = nullptr;
  friend class THintWindow;  // clears FHintWindow when it goes
  void SetHintControl(TControl* c);
  void StartHintTimer(int ms, bool hide);
  void StopHintTimer();
  // Whether the control's hint may show now (ShowHint here and on it, a hint text).
  bool HintAllowed(TControl* c) const;
  TControl* FHintControl = nullptr;
  win::POINT FHintCursorPos{};
  win::RECT FHintCursorRect{};
  bool FHintActive = false;  // a hint shows, or showed on the control the mouse just left
  win::UINT_PTR FHintTimer = 0;
  bool FSessionEnded = false;
  int FIdleLimit = 60000;
  std::uint64_t FLastActivity = 0;
  std::vector<TEventSource*> FSources;
  // Hands a message from the queue to its window (its exceptions to HandleException).
  void Dispatch(const win::MSG& msg);
};

// The application: made on first use, so other files' start-up code may use it, and never
// destroyed. The forms and data modules it owns are freed at exit by a hook registered when
// it is made, while the tables their destructors use still exist. Use it as a pointer.
class TApplicationRef {
 public:
  TApplication* operator->() const { return Get(); }
  operator TApplication*() const { return Get(); }
  static TApplication* Get();
};
inline constexpr TApplicationRef Application{};

// True when the caption marks ch with '&' ("&&" is a plain ampersand); letters in any case.
bool IsAccel(char ch, const std::string& caption);

// What a form's dialog handling does with a key before the focused control sees it. A
// key pressed on target: Tab, arrows, Enter and Escape that target does not ask for
// (WM_GETDLGCODE) go to its form as CM_DIALOGKEY; with Alt, a letter or digit goes to the
// form's accelerators (CM_DIALOGCHAR). True when the form used the key.
bool DialogKey(TWinControl* target, win::WORD key, TShiftState shift);
// A character typed on target: with Alt, or when target takes no characters (a button),
// it runs the form's accelerator for it. True when one ran.
bool DialogChar(TWinControl* target, char ch, TShiftState shift);
// True while a modal form runs that c lies outside of: the other windows are disabled, so
// input posted to c is dropped.
bool BlockedByModal(const TControl* c);

// The message loop's filter for keys posted to a control (WM_KEYDOWN, WM_SYSKEYDOWN,
// WM_CHAR, WM_SYSCHAR; the SYS ones carry Alt): DialogKey and DialogChar with the
// keyboard's shift state. True when the message was used and must not be dispatched, as
// is input posted to a window that a modal form blocks.
bool IsDialogMessage(const win::MSG& msg);

class TLabel;
class TImage;
class TButton;
// The form of MessageDlg (see CreateMessageDialog).
class TMessageForm : public TForm {
  WI_CLASS(TMessageForm, TForm)
 public:
  explicit TMessageForm(TComponent* owner);
  // Ctrl+C copies the box as Windows does: title, message and buttons between dashed lines.
  void WndProc(TMessage& msg) override;
  TLabel* Message = nullptr;
  TImage* Image = nullptr;
  std::vector<TButton*> Buttons;
  std::vector<TMsgDlgBtn> Kinds;
};
