#pragma once
// The window of TPrinterSetupDialog for the person at the screen, "Configuration de
// l'impression": the printer with its status, type and location, the paper size and the
// orientation. OK hands the choices to the printer (Apply); Annuler changes nothing.
#include "platform/forms/Forms.h"

class TComboBox;
class TGroupBox;
class TPrinter;
class TRadioButton;

class TPrinterSetupDialogForm : public TForm {
  WI_CLASS(TPrinterSetupDialogForm, TForm)
 public:
  explicit TPrinterSetupDialogForm(TComponent* owner);
  // Shows the printer's settings.
  void Setup(TPrinter& printer);
  // Gives the printer what the form shows (nothing while a job prints).
  void Apply(TPrinter& printer) const;

  TGroupBox* PrinterGroup = nullptr;
  TComboBox* PrinterName = nullptr;
  TLabel* StatusText = nullptr;
  TLabel* TypeText = nullptr;
  TLabel* WhereText = nullptr;
  TGroupBox* PaperGroup = nullptr;
  TComboBox* PaperSize = nullptr;
  TGroupBox* OrientationGroup = nullptr;
  TRadioButton* PortraitRadio = nullptr;
  TRadioButton* LandscapeRadio = nullptr;
  TButton* OKButton = nullptr;
  TButton* CancelButton = nullptr;
};
