#pragma once
// Where shown forms go.
//
// X11 (DISPLAY set and WI_HEADLESS not 1): each top-level form gets a real window (caption,
// class, close box as WM_CLOSE, fixed size for fixed borders, its Position honoured; a
// modal form or a secondary one is a dialog kept above the form that was active when it
// showed); popups (hint and balloon windows, menus) are frameless windows above the forms.
// A form with a parent (a wizard step in its panel) is part of its parent's window. Input goes to
// the control under the pointer and the focused control through the message queue; while a
// modal form shows, the other windows take none; what a person did while the program was
// busy (the hourglass showing) is dropped when it ends. The loops (Application::Run,
// ShowModal) wait on the X connection through InputWaiter.
//
// Headless (the default without a display, or with WI_HEADLESS=1): nothing is shown.
//
// Either way, when WI_SNAPSHOT_DIR names a folder, every shown form, a form with a parent as
// well, is saved there as <name>.png (its Name, else its caption) whenever what it shows has
// changed once the program is idle, with a numbered copy beside it that keeps the story.
//
// Every change reaches the screen once the program is idle (Update), or at once through
// Repaint.
#include <functional>

#include "platform/forms/graphics/DisplaySurface.h"

class TForm;
class TControl;
class TWinControl;

namespace DisplayBackend {

// Called by TForm::Show: gives a top-level form its window (painted once the program is idle).
// `previousActive` is the form that was active before (the owner of a dialog).
void FormShown(TForm* form, TForm* previousActive);
// A form was hidden: its window goes at once, and what it covered shows again.
void FormHidden(TForm* form);
// A form is being destroyed.
void FormDestroyed(TForm* form);
// Popup windows (hints, balloons) are X windows of their own while visible.
void PopupCreated(TWinControl* popup);
void PopupDestroyed(TWinControl* popup);
// Something handled may have changed what windows show (the loop calls it).
void Changed();
// Paints what changed since the last update: windows and snapshots (the idle loop calls it).
void Update();
// Repaints and presents every shown form now.
void Refresh();
// The screen cursor changed; leaving the hourglass drops the input it held back.
void CursorChanged(int cursor);
// True when forms show in X11 windows.
bool UsesX11();
// Waits up to timeoutMs (-1: no limit) for X input and queues it as messages.
void WaitForInput(int timeoutMs);
// Queues the X input already received, without waiting (ProcessMessages).
void TakePendingInput();
// While a popup menu tracks, every input event (from any window, its mouse position in
// screen coordinates) and the loss of the keyboard focus go to the hook first; true: taken.
// Returns the previous hook.
using InputHook = std::function<bool(const win::DisplayEvent& screenEvent)>;
InputHook SetInputHook(InputHook hook);
// The X11 window of a form (0 when headless or not shown), for tests.
unsigned long NativeWindow(const TForm* form);

}  // namespace DisplayBackend
