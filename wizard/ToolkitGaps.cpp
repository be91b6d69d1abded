#include "wizard/ToolkitGaps.h"

#include "platform/forms/UiScript.h"

namespace wizgap {

// --- TSpeedButton, TRichEdit, TPrinterSetupDialog -------------------------------------------

void TSpeedButton::DefineProps(TPropList& p) {
  p.Bool("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false);
}

std::function<void(const std::string&, const TStrings&)> TRichEdit::PrintHandler;

void TRichEdit::DefineProps(TPropList& p) {
  p.Object("Lines", &TRichEdit::Lines);
  p.Bool("ReadOnly", &TRichEdit::ReadOnly, &TRichEdit::SetReadOnly, false);
  p.Enum("ScrollBars", &TRichEdit::ScrollBars, &TRichEdit::SetScrollBars,
         {"ssNone", "ssHorizontal", "ssVertical", "ssBoth"}, ssNone);
  p.Bool("WantReturns", &TRichEdit::WantReturns, &TRichEdit::SetWantReturns, true);
}

TRichEdit::TRichEdit(TComponent* owner) : TWinControl(owner), FLines(new TStringList) {
  SetBounds(0, 0, 185, 89);
  SetTabStop(true);
}

TRichEdit::~TRichEdit() { delete FLines; }

void TRichEdit::Print(const std::string& Title) {
  if (PrintHandler) PrintHandler(Title, *FLines);
}

void TPrinterSetupDialog::DefineProps(TPropList&) {}

bool TPrinterSetupDialog::Execute() { return UiScript::AnswerPrinterSetup(); }

}  // namespace wizgap

namespace {
template <class T>
void RegisterIfMissing() {
  if (!FindClassInfo(T::StaticClassName())) RegisterClass<T>();
}
}  // namespace

void RegisterToolkitGaps() {
  RegisterIfMissing<wizgap::TSpeedButton>();
  RegisterIfMissing<wizgap::TRichEdit>();
  RegisterIfMissing<wizgap::TPrinterSetupDialog>();
}
