#include "platform/forms/Forms.h"

#include "platform/forms/ActnList.h"
#include "platform/forms/Screen.h"
#include "platform/forms/Streaming.h"
#include "platform/forms/UiScript.h"

namespace {
const std::vector<std::string> kBorderNames = {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"};
const std::vector<std::string> kPositionNames = {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"};
}  // namespace

void TForm::DefineProps(TPropList& p) {
  // A form stores its client size and its visibility comes from Show.
  auto never = [](TPersistent*) { return false; };
  p.Int("Width", &TForm::Width, &TForm::SetWidth, 0).stored = never;
  p.Int("Height", &TForm::Height, &TForm::SetHeight, 0).stored = never;
  p.Bool("Visible", &TForm::Visible, &TForm::SetVisible, false).stored = never;
  p.Enum("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle, kBorderNames, bsSizeable);
  p.Int("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight, 0);
  p.Int("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth, 0);
  p.Enum("Position", &TForm::Position, &TForm::SetPosition, kPositionNames, poDesigned);
  p.Event("OnActivate", &TForm::OnActivate);
  p.Event("OnClose", &TForm::OnClose);
  p.Event("OnCreate", &TForm::OnCreate);
  p.Event("OnDestroy", &TForm::OnDestroy);
  p.Event("OnShow", &TForm::OnShow);
}

TForm::TForm(TComponent* owner) : TCustomControl(owner) {
  SetVisible(false);
  Screen->AddForm(this);
}

TForm::~TForm() {
  if (FCreated) OnDestroy(this);
  Screen->RemoveForm(this);
}

void TForm::InitForm() {
  InitInheritedComponent(this);
  FCreated = true;
  OnCreate(this);
}

void TForm::SetClientWidth(int v) {
  FClientWidth = v;
  TCustomControl::SetBounds(Left(), Top(), v + 2 * Border(), Height());
  AlignControls();
}

void TForm::SetClientHeight(int v) {
  FClientHeight = v;
  TCustomControl::SetBounds(Left(), Top(), Width(), v + 2 * Border() + CaptionHeight());
  AlignControls();
}

void TForm::SetBounds(int left, int top, int width, int height) {
  FClientWidth = std::max(0, width - 2 * Border());
  FClientHeight = std::max(0, height - 2 * Border() - CaptionHeight());
  TCustomControl::SetBounds(left, top, width, height);
}

void TForm::Show() {
  SetVisible(true);
  Screen->SetActiveForm(this);
  OnShow(this);
}

void TForm::Close() {
  TCloseAction action = caHide;
  OnClose(this, action);
  if (action == caNone) return;
  if (FModalResult == mrNone) FModalResult = mrCancel;
  SetVisible(false);
  if (Application && Application->MainForm() == this) Application->Terminate();
}

TModalResult TForm::ShowModal() {
  FModalResult = mrNone;
  Show();
  int idleWithoutWork = 0;
  while (FModalResult == mrNone) {
    if (!Application->HandleMessage()) {
      if (!UiScript::HasPendingCommands() && ++idleWithoutWork > 1000)
        UiScript::Fail("the modal form \"" + Caption() + "\" waits for a user (no script command closes it)");
    }
    if (Application->Terminated() && FModalResult == mrNone) FModalResult = mrCancel;
  }
  SetVisible(false);
  return FModalResult;
}

void TDataModule::DefineProps(TPropList& p) {
  p.Event("OnCreate", &TDataModule::OnCreate);
  p.Event("OnDestroy", &TDataModule::OnDestroy);
}

void TDataModule::InitForm() {
  InitInheritedComponent(this);
  OnCreate(this);
}

void TApplication::DefineProps(TPropList&) {}

void TApplication::Run() {
  if (FMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated) {
    if (!HandleMessage() && !UiScript::HasPendingCommands()) {
      // Nothing posted, no script step left: without a display no one else will act.
      if (!FMainForm || !FMainForm->Visible()) break;
      UiScript::Fail("the program waits for a user (the script has no more commands)");
    }
  }
}

bool TApplication::HandleMessage() {
  win::MSG msg;
  if (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
    if (msg.message == win::WM_QUIT) {
      FTerminated = true;
      return true;
    }
    try {
      win::DispatchMessage(&msg);
    } catch (const EUiScriptError&) {
      throw;
    } catch (const std::exception& e) {
      HandleException(e);
    }
    return true;
  }
  Idle();
  return false;
}

void TApplication::ProcessMessages() {
  win::MSG msg;
  while (win::PeekMessage(&msg, nullptr, 0, 0, win::PM_REMOVE)) {
    if (msg.message == win::WM_QUIT) {
      FTerminated = true;
      return;
    }
    win::DispatchMessage(&msg);
  }
}

void TApplication::Idle() {
  try {
    OnIdle(this);
    for (auto* l : std::vector<TActionList*>(AllActionLists())) l->UpdateActions();
  } catch (const EUiScriptError&) {
    throw;
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

void TApplication::HandleException(const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) {
    OnException(this, e);
    return;
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  MessageDlg(e.what(), mtError, MsgButtons({mbOK}), 0);
}

void TApplication::Reset() {
  FTerminated = false;
  FMainForm = nullptr;
}

namespace {
TApplication g_app(nullptr);
}
TApplication* Application = &g_app;

WI_REGISTER_CLASS(TForm);
WI_REGISTER_CLASS(TDataModule);
