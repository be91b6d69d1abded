#pragma once
// The toolkit's modal message dialog (French titles "Avertissement", "Erreur",
// "Information", "Confirmation"; captions "&Oui", "&Non", "OK", "Annuler", "&Ignorer").
// In runs without a display the answers come from the UI script; a dialog the script did
// not expect is an error naming the dialog.
#include <string>
#include <vector>

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll,
                  mbYesToAll, mbHelp };
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
// NoToAll, YesToAll, Help with their French captions and modal results. The caller owns it.
TMessageForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);

// Shows the dialog modally and returns the button's modal result. The script's answer
// presses the button through the dialog's own message loop.
TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext);
