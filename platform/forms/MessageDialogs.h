#pragma once
// The toolkit's modal message dialog (French titles "Avertissement", "Erreur",
// "Information", "Confirmation"; captions "&Oui", "&Non", "OK", "Annuler", "&Ignorer").
// With a UI script the answers come from it, and a dialog the script did not expect is an
// error naming the dialog. Without one the dialog is a modal window for the person at the
// screen: Enter presses the default button, Escape the cancel one, Tab moves between the
// buttons, a button's underlined letter (alone or with Alt) presses it; the close box is
// Cancel, or OK when OK is the only button, and does nothing on Yes/No questions. Without
// a script and without a display no one can answer: the same error as an unexpected one.
#include <string>
#include <vector>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn {
  mbYes,
  mbNo,
  mbOK,
  mbCancel,
  mbAbort,
  mbRetry,
  mbIgnore,
  mbAll,
  mbNoToAll,
  mbYesToAll,
  mbHelp
};
using TMsgDlgButtons = unsigned;  // bit set of TMsgDlgBtn
constexpr TMsgDlgButtons MsgButtons(std::initializer_list<TMsgDlgBtn> buttons) {
  TMsgDlgButtons set = 0;
  for (auto b : buttons) set |= 1u << b;
  return set;
}

using TModalResult = int;
inline constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
                              mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9,
                              mrYesToAll = 10;

// The French title of a kind (empty for mtCustom) and the caption of a button.
std::string MessageDlgTitle(TMsgDlgType type);
std::string MessageDlgCaption(TMsgDlgBtn button);

class TForm;
class TMessageForm;

// Builds the dialog form: the "Message" label, the icon placeholder "Image" (not for
// mtCustom), and the buttons named Yes, No, OK, Cancel, Abort, Retry, Ignore, All,
// NoToAll, YesToAll, Help with their French captions and modal results. The default
// button (OK, else Yes, else the first) is the form's ActiveControl; Escape presses
// Cancel, else No, else OK. Lines longer than half the screen wrap. The caller owns it.
TMessageForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);

// True when dialogs wait for the person at the screen: no UI script answers them, and a
// display (or a back end's input waiter) brings that person's input.
bool PersonAnswersDialogs();
// Shows a dialog form modally above the active form, centred on it (on the screen when
// no form is active) by the display, and returns its modal result.
TModalResult ShowDialogModal(TForm* dialog);

// Shows the dialog modally and returns the button's modal result. The script's answer
// presses the button through the dialog's own message loop; without a script the person
// does.
TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext);
