#pragma once
// Drives forms as a user would, by component name: the UI script's commands run through
// here, and tests call the same operations directly.
//
// Names: "Component" is looked for on the active form (a modal one while it shows), then
// on the forms shown inside it, the other visible forms, every form and the application's
// data modules; "Form.Component" names the form. Controls must be visible and enabled to
// be used. Failures throw EUiScriptError naming what was asked and why it cannot be done;
// a script command's failure becomes a script error with its file and line.
//
// Called directly, the operations let the handlers' exceptions through; run from the
// script they go to the application's exception handling, as a real click's would.
#include <cstdint>
#include <string>

#include "platform/forms/Controls.h"
#include "platform/forms/UiScript.h"

class TForm;

namespace UiDriver {

// `root` may be null: the search described above.
TComponent* Find(TComponent* root, const std::string& name);
TForm* FindForm(const std::string& name);

// Buttons, check boxes, radio buttons, speed buttons, list boxes (no item change) and
// actions (updated first; refused when disabled).
void Click(TComponent* root, const std::string& name);
// Replaces the text of an edit: focus, select all, then the characters one by one
// (ReadOnly refuses, MaxLength stops the typing as it would stop a user).
void Type(TComponent* root, const std::string& name, const std::string& text);
// Check boxes, radio buttons (only checked) and speed buttons of a group; any other
// control whose class publishes a Boolean Checked is focused and clicked when its state
// differs.
void Check(TComponent* root, const std::string& name, bool checked = true);
// A list-box line by its text (case-insensitive) or "#n" by index.
void Select(TComponent* root, const std::string& name, const std::string& item);
// Closes the named form (null/empty: the active one).
void Close(TForm* form);
void Close(const std::string& name);
// A key pressed on the focused control (or the active form), with its modifiers: dialog
// keys (Tab, arrows, Enter, Escape) the control does not want go to its form. A printable
// key then sends its character (see Chars).
void Key(win::WORD key, TShiftState shift = 0);
// The halves of Key as a keyboard sends them, the character coming apart (Chars): the key
// going down (dialog keys to the form as above, else WM_KEYDOWN), and coming up (WM_KEYUP to
// the focused control: Space released on a button clicks it).
void KeyDown(win::WORD key, TShiftState shift = 0);
void KeyUp(win::WORD key, TShiftState shift = 0);
// Characters typed on the focused control; on a control that takes no characters (a
// button) a letter runs the form's accelerator for it. Alt+letter with Key('S', ssAlt).
void Chars(const std::string& text);

// The mouse moves to (x, y) in the client area of the named control (negative: its middle)
// and rests there: the control topmost at that point gets the enter and leave messages, a
// mouse move, and after the application's pause its hint. Hidden controls refuse.
void MoveMouse(TComponent* root, const std::string& name, int x = -1, int y = -1);
// The mouse leaves every form.
void MoveMouseAway();

// Runs the loop until nothing is left to do now: posted messages, due timers, script
// commands. The clock does not move.
void RunUntilIdle();
// Moves the simulated clock forward ms milliseconds, firing the timers that fall due in
// order and handling what they cause.
void Advance(std::uint64_t ms);

// Loop side: runs the next script command unless a scripted wait is still running. A
// command also holds back while a timer falls due within 100 ms of the moment the loop
// first offered to run it (a user is not quicker than that), so a program's start-up
// timers run before the script acts.
bool RunNextCommand();
// The end of a scripted wait or of a command's hold-back (TimerClock time), if any.
bool WaitingUntil(std::uint64_t* until);
// Runs one parsed command (the loop does it through RunNextCommand).
void Execute(const UiScript::Command& command);
// Forgets a running scripted wait (UiScript::Reset does not know about it).
void Reset();

}  // namespace UiDriver
