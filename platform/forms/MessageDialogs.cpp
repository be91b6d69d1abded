#include "platform/forms/MessageDialogs.h"

#include <algorithm>

#include "platform/forms/Clipboard.h"
#include "platform/forms/ControlPaint.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/StockIcons.h"

namespace {
struct ButtonInfo {
  const char* name;
  const char* caption;
  TModalResult result;
};
// Indexed by TMsgDlgBtn.
const ButtonInfo kButtons[] = {
    {"yes", "&Oui", mrYes},
    {"no", "&Non", mrNo},
    {"ok", "OK", mrOk},
    {"cancel", "Annuler", mrCancel},
    {"abort", "&Abandonner", mrAbort},
    {"retry", "&Réessayer", mrRetry},
    {"ignore", "&Ignorer", mrIgnore},
    {"all", "&Tous", mrAll},
    {"notoall", "Non à &tout", mrNoToAll},
    {"yestoall", "Oui à t&out", mrYesToAll},
    {"help", "&Aide", mrNone},
};
// Component names of the buttons, by TMsgDlgBtn.
const char* kButtonNames[] = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                              "Ignore", "All", "NoToAll", "YesToAll", "Help"};
const char* kKindNames[] = {"warning", "error", "information", "confirmation", "custom"};
const char* kTitles[] = {"Avertissement", "Erreur", "Information", "Confirmation", ""};
}  // namespace

std::string MessageDlgTitle(TMsgDlgType type) { return kTitles[type]; }

std::string MessageDlgCaption(TMsgDlgBtn button) { return kButtons[button].caption; }

void TMessageForm::DefineProps(TPropList&) {}

TMessageForm::TMessageForm(TComponent* owner) : TForm(owner) {}

void TMessageForm::WndProc(TMessage& m) {
  if (m.Msg != win::CM_DIALOGKEY || m.WParam != 'C') return TForm::WndProc(m);
  const std::string rule = "---------------------------\r\n";
  std::string buttons;
  for (TButton* b : Buttons) {
    for (char c : b->Caption())
      if (c != '&') buttons += c;
    buttons += "   ";
  }
  SetClipboardText(rule + Caption() + "\r\n" + rule + (Message ? Message->Caption() : "") + "\r\n" +
                   rule + buttons + "\r\n" + rule);
  m.Result = 1;
}

TMessageForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type,
                                  TMsgDlgButtons buttons) {
  if (!(buttons & 0x7FFu)) buttons = 1u << mbOK;  // a dialog without buttons could never be closed
  auto* f = new TMessageForm(nullptr);
  f->SetName("MessageDlg");
  f->SetBorderStyle(bsDialog);
  f->SetCaption(type == mtCustom ? (Application ? Application->Title() : std::string())
                                 : kTitles[type]);
  const int margin = 8, buttonW = 75, buttonH = 25, gap = 8, iconSize = 32;
  int textLeft = margin;
  if (type != mtCustom) {
    f->Image = new TImage(f);
    f->Image->SetName("Image");
    f->Image->SetBounds(margin, margin, iconSize, iconSize);
    const win::TStockIcon icons[] = {win::TStockIcon::Warning, win::TStockIcon::Error,
                                     win::TStockIcon::Information, win::TStockIcon::Confirmation};
    f->Image->Picture()->LoadFromBmp(win::PictureBmp(win::DrawStockIcon(icons[type])));
    f->Image->SetTransparent(true);
    f->Image->SetParent(f);
    textLeft += iconSize + 12;
  }
  // The label is as large as the text, whose lines wrap at half the screen's width.
  f->Message = new TLabel(f);
  f->Message->SetName("Message");
  f->Message->SetCaption(msg);
  f->Message->SetWordWrap(true);
  win::RECT text{0, 0, std::max(100, Screen->Width() / 2), 0};
  if (win::HDC dc = win::CreateScreenDC()) {
    win::HGDIOBJ old = win::SelectObject(dc, ControlPaint::FontHandle(f->Message->Font()));
    win::DrawText(dc, msg, &text, win::DT_CALCRECT | win::DT_WORDBREAK);
    win::SelectObject(dc, old);
    win::DeleteDC(dc);
  }
  f->Message->SetBounds(textLeft, margin, std::max(1, int(text.right - text.left)),
                        std::max(13, int(text.bottom - text.top)));
  f->Message->SetParent(f);
  int count = 0;
  for (int b = mbYes; b <= mbHelp; ++b)
    if (buttons & (1u << b)) ++count;
  int buttonsW = count * buttonW + (count - 1) * gap;
  int clientW = std::max(textLeft + f->Message->Width() + margin, buttonsW + 2 * margin);
  int top = margin + std::max(f->Message->Height(), type == mtCustom ? 0 : iconSize) + 16;
  f->SetClientWidth(clientW);
  f->SetClientHeight(top + buttonH + margin);
  // Enter presses OK (or Yes), Escape Cancel (or No, or OK).
  int def = buttons & (1u << mbOK) ? mbOK : buttons & (1u << mbYes) ? mbYes : -1;
  int cancel = buttons & (1u << mbCancel) ? mbCancel
               : buttons & (1u << mbNo)   ? mbNo
               : buttons & (1u << mbOK)   ? mbOK
                                          : -1;
  int x = (clientW - buttonsW) / 2;
  for (int b = mbYes; b <= mbHelp; ++b) {
    if (!(buttons & (1u << b))) continue;
    auto* btn = new TButton(f);
    btn->SetName(kButtonNames[b]);
    btn->SetCaption(kButtons[b].caption);
    btn->SetModalResult(kButtons[b].result);
    btn->SetBounds(x, top, buttonW, buttonH);
    btn->SetParent(f);
    if (def < 0) def = b;
    btn->SetDefault(b == def);
    btn->SetCancel(b == cancel);
    if (b == def) f->SetActiveControl(btn);
    f->Buttons.push_back(btn);
    f->Kinds.push_back(TMsgDlgBtn(b));
    x += buttonW + gap;
  }
  // The close box: Cancel where there is one, OK when it is the only answer; a question
  // without Cancel must be answered.
  bool hasCancel = buttons & (1u << mbCancel), onlyOk = (buttons & 0x7FFu) == (1u << mbOK);
  f->SetCloseBox(hasCancel || onlyOk);
  f->OnClose = [f, hasCancel, onlyOk](TObject*, TCloseAction& action) {
    if (hasCancel)
      f->SetModalResult(mrCancel);
    else if (onlyOk)
      f->SetModalResult(mrOk);
    else
      action = caNone;
  };
  return f;
}

bool PersonAnswersDialogs() {
  if (UiScript::Scripted()) return false;
  return (Application && Application->InputWaiter) || DisplayBackend::UsesX11();
}

TModalResult ShowDialogModal(TForm* dialog) {
  // The display centres it on the form that was active (the screen when there is none).
  dialog->SetPosition(poOwnerFormCenter);
  return dialog->ShowModal();
}

TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons,
                        int helpContext) {
  std::unique_ptr<TMessageForm> f(CreateMessageDialog(msg, type, buttons));
  f->SetTag(helpContext);
  std::vector<std::string> names, captions;
  for (auto k : f->Kinds) {
    names.push_back(kButtons[k].name);
    captions.push_back(kButtons[k].caption);
  }
  if (PersonAnswersDialogs()) {
    TModalResult result = ShowDialogModal(f.get());
    std::string answer;
    for (auto k : f->Kinds)
      if (kButtons[k].result == result) answer = kButtons[k].caption;
    UiScript::Record(
        UiScript::DialogRecord{kKindNames[type], f->Caption(), msg, captions, answer, result});
    return result;
  }
  // The script's answer presses its button once the dialog's loop runs.
  int i = UiScript::AnswerMessageDialog(kKindNames[type], f->Caption(), msg, names, captions);
  TButton* chosen = f->Buttons[size_t(i)];
  if (kButtons[f->Kinds[size_t(i)]].result == mrNone)
    UiScript::Fail("the answer \"" + captions[size_t(i)] + "\" does not close the dialog \"" +
                   f->Caption() + "\"");
  win::PostMessage(chosen->Handle(), win::BM_CLICK, 0, 0);
  return ShowDialogModal(f.get());
}
