#include "toolkit/MessageHelpers.h"

#include "platform/forms/Screen.h"
#include "platform/system/Program.h"
#include "platform/system/SystemInfo.h"

namespace {
constexpr win::UINT kBeepExclamation = 0x30;
constexpr win::UINT kBeepQuestion = 0x20;

int gBusyCount = 0;

TModalResult Beeped(win::UINT sound, const std::string& msg, TMsgDlgType type,
                    TMsgDlgButtons buttons, int helpCtx) {
  win::MessageBeep(sound);
  return ShowMessageDlg(msg, type, buttons, helpCtx);
}

constexpr TMsgDlgButtons kOk = MsgButtons({mbOK});
constexpr TMsgDlgButtons kYesNo = MsgButtons({mbYes, mbNo});
constexpr TMsgDlgButtons kYesNoCancel = MsgButtons({mbYes, mbNo, mbCancel});
}  // namespace

TModalResult ShowMessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                            int HelpCtx) {
  return MessageDlg(Msg, DlgType, Buttons, HelpCtx);
}

#if defined(WI_PROGRAM_TOLVANE)
void ShowError(const std::string& Msg) { Beeped(kBeepExclamation, Msg, mtError, kOk, 0); }
void ShowWarning(const std::string& Msg) { Beeped(kBeepExclamation, Msg, mtWarning, kOk, 0); }
void ShowInfo(const std::string& Msg) { Beeped(kBeepExclamation, Msg, mtInformation, kOk, 0); }
TModalResult AskConfirm(const std::string& Msg) {
  return Beeped(kBeepQuestion, Msg, mtConfirmation, kYesNo, 0);
}
TModalResult AskYesNoCancel(const std::string& Msg) {
  return Beeped(kBeepExclamation, Msg, mtWarning, kYesNoCancel, 0);
}
#else
void ShowError(const std::string& Msg, int HelpCtx) {
  Beeped(kBeepExclamation, Msg, mtError, kOk, HelpCtx);
}
void ShowWarning(const std::string& Msg, int HelpCtx) {
  Beeped(kBeepExclamation, Msg, mtWarning, kOk, HelpCtx);
}
void ShowInfo(const std::string& Msg, int HelpCtx) {
  Beeped(kBeepExclamation, Msg, mtInformation, kOk, HelpCtx);
}
bool AskConfirm(const std::string& Msg, int HelpCtx) {
  return Beeped(kBeepQuestion, Msg, mtConfirmation, kYesNo, HelpCtx) == mrYes;
}
bool AskWarningYesNo(const std::string& Msg, int HelpCtx) {
  return Beeped(kBeepExclamation, Msg, mtWarning, kYesNo, HelpCtx) == mrYes;
}
TModalResult AskYesNoCancel(const std::string& Msg, int HelpCtx) {
  return Beeped(kBeepExclamation, Msg, mtWarning, kYesNoCancel, HelpCtx);
}
TModalResult AskYesNoIgnore(const std::string& Msg, int HelpCtx) {
  return Beeped(kBeepExclamation, Msg, mtWarning, MsgButtons({mbYes, mbNo, mbIgnore}), HelpCtx);
}
#endif

void BeginBusy() {
  if (gBusyCount == 0) Screen->SetCursor(crHourGlass);
  ++gBusyCount;
}

void EndBusy() {
  --gBusyCount;
  if (gBusyCount < 0) gBusyCount = 0;
  if (gBusyCount == 0) Screen->SetCursor(crDefault);
}

int BusyCount() { return gBusyCount; }
