#pragma once
// Answers for dialogs and actions on forms when no one sits at the screen: tests fill it
// through the calls below; programs run unattended read the same commands from the file
// named by the environment variable WI_UI_SCRIPT (a host path).
//
// Script format: one command per line; blank lines and lines starting with '#' are ignored.
// Fields are separated by '|'; blanks around them are trimmed. In texts \r \n \t \\ \| are
// escapes, and escaped characters are never trimmed ("=Terminé.\r\n" keeps its CR LF).
//   dialog TITLE | MESSAGE | ANSWER   answers a message dialog. TITLE is the dialog's title,
//                                     or warning/error/information/confirmation, or * for
//                                     any. The message must contain MESSAGE (=MESSAGE: equal
//                                     it; empty: any). ANSWER is yes no ok cancel abort retry
//                                     ignore all notoall yestoall help, or a button caption
//                                     ("&Oui" or "Oui").
//   open TITLE | FILE                 answers an open-file dialog with FILE; "open * |"
//                                     (no file) cancels it.
//   printer ok|cancel                 answers a printer setup dialog.
//   click NAME                        presses a button, check box, radio button, speed
//                                     button or runs an action (NAME: Component or
//                                     Form.Component).
//   type NAME | TEXT                  replaces the text of an edit, as typed.
//   check NAME / uncheck NAME         sets a check box or radio button.
//   select NAME | ITEM                selects a list-box line by its text (#n: by index).
//   wait MS                           runs the simulated clock forward MS milliseconds,
//                                     firing the timers that fall due.
//   close [NAME]                      closes the named form, or the active one.
// Dialog answers are matched when a dialog shows: the first unused one that fits is taken
// (several may wait). The other commands run in order whenever the program is idle (in the
// message loop of the application or of a modal form).
//
// A dialog for which no answer waits is an error naming the dialog. In tests (after Reset)
// it throws EUiScriptError; in programs it is written to stderr and the program exits
// with code 3, so that nothing waits for a user who is not there.
//
// A program run without WI_UI_SCRIPT has no script: its dialogs wait for the person at the
// screen when there is a display (see PersonAnswersDialogs in MessageDialogs.h), and fail
// as above when there is none.
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// Deliberately not an Exception: the toolkit's handlers must not swallow it.
class EUiScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace UiScript {

struct DialogRecord {
  std::string kind;  // "warning", "error", "information", "confirmation", "custom",
                     // "open", "printer"
  std::string title;
  std::string message;
  std::vector<std::string> buttons;  // captions as shown
  std::string answer;                // caption (or file name) chosen, empty when cancelled
  int result = 0;                    // modal result
};

struct Command {
  std::string verb;
  std::vector<std::string> args;
  std::string where;  // "file:line" for messages
};

// Test mode: forgets expectations, pending commands and records; failures throw. The
// script stands in for the user until SetScripted(false).
void Reset();
// True when a script answers the dialogs: WI_UI_SCRIPT names one or the program added
// answers; in test mode, unless the test switched it off.
bool Scripted();
// Test mode: false lets the dialogs wait for a person (a test's input waiter) as in a
// program run without WI_UI_SCRIPT.
void SetScripted(bool scripted);
// Adds a dialog that a person answered to Dialogs().
void Record(const DialogRecord& dialog);
// `message` as in the script ("=text" or exact = true: the whole message).
void Expect(const std::string& title, const std::string& message, const std::string& answer,
            bool exact = false);
void ExpectOpen(const std::string& title, const std::string& file);
void ExpectPrinterSetup(bool ok);
// Parses script text; errors name source and line. Adds to what is already waiting.
void Load(const std::string& text, const std::string& source = "script");
void LoadFile(const std::string& hostPath);
// Reads WI_UI_SCRIPT once per process (no effect when unset or already read). Every call
// here does it first, so a program never has to: its script is read on first use, before
// anything a program or test adds.
void LoadFromEnvironment();

// Every dialog shown since the last Reset, in order.
const std::vector<DialogRecord>& Dialogs();
// Dialog answers not used yet, described for a failing test.
std::vector<std::string> UnusedAnswers();
bool HasPendingCommands();

// Toolkit side. Chooses among `buttons` (names as in the script: "yes", "ok"...) with the
// captions shown; returns the index chosen. Records the dialog.
int AnswerMessageDialog(const std::string& kind, const std::string& title,
                        const std::string& message, const std::vector<std::string>& buttons,
                        const std::vector<std::string>& captions);
// The file chosen, or nothing when cancelled.
std::optional<std::string> AnswerOpenDialog(const std::string& title);
bool AnswerPrinterSetup();
// The next command to run at idle, if any.
std::optional<Command> NextCommand();
// Reports a script failure: throws in test mode, else stderr and exit code 3.
[[noreturn]] void Fail(const std::string& message);

}  // namespace UiScript
