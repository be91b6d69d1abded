#pragma once
// The French message boxes both programs use, and the nesting busy cursor.
// Install's helpers take a help context (every caller passes 0); Tolvane's take the
// message alone, its AskConfirm returns the modal result, and it has no
// AskWarningYesNo / AskYesNoIgnore.
#include <string>

#include "platform/forms/MessageDialogs.h"

// Beeps are the caller's; this only shows the dialog and returns its modal result.
TModalResult ShowMessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                            int HelpCtx);

#if defined(WI_PROGRAM_TOLVANE)
void ShowError(const std::string& Msg);
void ShowWarning(const std::string& Msg);
void ShowInfo(const std::string& Msg);
// mrYes or mrNo.
TModalResult AskConfirm(const std::string& Msg);
TModalResult AskYesNoCancel(const std::string& Msg);
#else
void ShowError(const std::string& Msg, int HelpCtx = 0);
void ShowWarning(const std::string& Msg, int HelpCtx = 0);
void ShowInfo(const std::string& Msg, int HelpCtx = 0);
// True when Yes was pressed.
bool AskConfirm(const std::string& Msg, int HelpCtx = 0);
bool AskWarningYesNo(const std::string& Msg, int HelpCtx = 0);
TModalResult AskYesNoCancel(const std::string& Msg, int HelpCtx = 0);
TModalResult AskYesNoIgnore(const std::string& Msg, int HelpCtx = 0);
#endif

// The first BeginBusy shows the hourglass, the matching last EndBusy the default cursor.
// EndBusy is safe to call unpaired (the counter never goes below 0).
void BeginBusy();
void EndBusy();
int BusyCount();

// Scope guard for BeginBusy/EndBusy, so a failing operation still restores the cursor.
class TBusyScope {
 public:
  TBusyScope() { BeginBusy(); }
  ~TBusyScope() { EndBusy(); }
  TBusyScope(const TBusyScope&) = delete;
  TBusyScope& operator=(const TBusyScope&) = delete;
};
