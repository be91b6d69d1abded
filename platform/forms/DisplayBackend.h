#pragma once
// Where shown forms go. Headless (the default without a display, or with WI_HEADLESS=1):
// when WI_SNAPSHOT_DIR names a folder, each shown form is painted and saved there as
// <name>.png (the form's Name, else its caption), again after each repaint. X11 (DISPLAY
// set and WI_HEADLESS not 1): each shown form gets a real window; mouse and keyboard
// input go to the control under the pointer and the focused control, and the loops
// (Application::Run, ShowModal) wait on the X connection through InputWaiter.
class TForm;

namespace DisplayBackend {

// Called by TForm::Show: gives the form its window and paints it.
void FormShown(TForm* form);
// Repaints and presents every shown form (hidden or destroyed ones lose their window).
void Refresh();
// True when forms show in X11 windows.
bool UsesX11();
// Waits up to timeoutMs (-1: no limit) for X input, handles it, then repaints.
void WaitForInput(int timeoutMs);
// The X11 window of a form (0 when headless or not shown), for tests.
unsigned long NativeWindow(const TForm* form);

}  // namespace DisplayBackend
