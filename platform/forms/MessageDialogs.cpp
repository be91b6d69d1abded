#include "platform/forms/MessageDialogs.h"

#include "platform/forms/UiScript.h"

namespace {
struct ButtonInfo {
  const char* name;
  const char* caption;
  TModalResult result;
};
// Indexed by TMsgDlgBtn.
const ButtonInfo kButtons[] = {
    {"yes", "&Oui", mrYes},         {"no", "&Non", mrNo},
    {"ok", "OK", mrOk},             {"cancel", "Annuler", mrCancel},
    {"abort", "&Abandonner", mrAbort}, {"retry", "&Réessayer", mrRetry},
    {"ignore", "&Ignorer", mrIgnore}, {"all", "&Tous", mrAll},
    {"notoall", "Non à &tout", mrNoToAll}, {"yestoall", "Oui à t&out", mrYesToAll},
    {"help", "&Aide", mrNone},
};
const char* kKindNames[] = {"warning", "error", "information", "confirmation", "custom"};
const char* kTitles[] = {"Avertissement", "Erreur", "Information", "Confirmation", ""};
}  // namespace

std::string MessageDlgTitle(TMsgDlgType type) { return kTitles[type]; }

std::string MessageDlgCaption(TMsgDlgBtn button) { return kButtons[button].caption; }

TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext) {
  std::vector<std::string> names, captions;
  std::vector<TModalResult> results;
  for (int b = mbYes; b <= mbHelp; ++b) {
    if (!(buttons & (1u << b))) continue;
    names.push_back(kButtons[b].name);
    captions.push_back(kButtons[b].caption);
    results.push_back(kButtons[b].result);
  }
  if (names.empty()) {  // a dialog without buttons could never be closed
    names.push_back("ok");
    captions.push_back("OK");
    results.push_back(mrOk);
  }
  int i = UiScript::AnswerMessageDialog(kKindNames[type], kTitles[type], msg, names, captions);
  return results[i];
}
