#include "platform/forms/PrinterSetupDialogForm.h"

#include "platform/forms/ComboBox.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/graphics/Printers.h"

void TPrinterSetupDialogForm::DefineProps(TPropList&) {}

TPrinterSetupDialogForm::TPrinterSetupDialogForm(TComponent* owner) : TForm(owner) {
  SetName("PrinterSetupDialog");
  SetBorderStyle(bsDialog);
  SetCaption("Configuration de l'impression");
  SetClientWidth(420);
  SetClientHeight(250);
  auto group = [this](const char* name, const char* caption, int left, int top, int width,
                      int height) {
    auto* g = new TGroupBox(this);
    g->SetName(name);
    g->SetCaption(caption);
    g->SetBounds(left, top, width, height);
    g->SetParent(this);
    return g;
  };
  auto label = [this](TWinControl* parent, const char* name, const char* caption, int left, int top,
                      int width) {
    auto* l = new TLabel(this);
    l->SetName(name);
    l->SetCaption(caption);
    l->SetBounds(left, top, width, 13);
    l->SetParent(parent);
    return l;
  };
  auto combo = [this](TWinControl* parent, const char* name, int left, int top, int width) {
    auto* c = new TComboBox(this);
    c->SetName(name);
    c->SetBounds(left, top, width, 21);
    c->SetParent(parent);
    return c;
  };

  PrinterGroup = group("PrinterGroup", "Imprimante", 8, 8, 404, 118);
  TLabel* nameLabel = label(PrinterGroup, "NameLabel", "&Nom :", 12, 26, 88);
  PrinterName = combo(PrinterGroup, "PrinterName", 104, 22, 288);
  nameLabel->SetFocusControl(PrinterName);
  label(PrinterGroup, "StatusLabel", "État :", 12, 52, 88);
  StatusText = label(PrinterGroup, "StatusText", "", 104, 52, 288);
  label(PrinterGroup, "TypeLabel", "Type :", 12, 72, 88);
  TypeText = label(PrinterGroup, "TypeText", "", 104, 72, 288);
  label(PrinterGroup, "WhereLabel", "Emplacement :", 12, 92, 88);
  WhereText = label(PrinterGroup, "WhereText", "", 104, 92, 288);

  PaperGroup = group("PaperGroup", "Papier", 8, 134, 240, 70);
  TLabel* sizeLabel = label(PaperGroup, "SizeLabel", "&Taille :", 12, 30, 60);
  PaperSize = combo(PaperGroup, "PaperSize", 72, 26, 154);
  sizeLabel->SetFocusControl(PaperSize);

  OrientationGroup = group("OrientationGroup", "Orientation", 256, 134, 156, 70);
  auto radio = [this](const char* name, const char* caption, int top) {
    auto* r = new TRadioButton(this);
    r->SetName(name);
    r->SetCaption(caption);
    r->SetBounds(16, top, 120, 17);
    r->SetTabStop(true);
    r->SetParent(OrientationGroup);
    return r;
  };
  PortraitRadio = radio("PortraitRadio", "P&ortrait", 22);
  LandscapeRadio = radio("LandscapeRadio", "P&aysage", 44);

  OKButton = new TButton(this);
  OKButton->SetName("OKButton");
  OKButton->SetCaption("OK");
  OKButton->SetBounds(256, 216, 75, 23);
  OKButton->SetDefault(true);
  OKButton->SetModalResult(mrOk);
  OKButton->SetParent(this);
  CancelButton = new TButton(this);
  CancelButton->SetName("CancelButton");
  CancelButton->SetCaption("Annuler");
  CancelButton->SetBounds(337, 216, 75, 23);
  CancelButton->SetCancel(true);
  CancelButton->SetModalResult(mrCancel);
  CancelButton->SetParent(this);
  SetActiveControl(OKButton);
}

void TPrinterSetupDialogForm::Setup(TPrinter& printer) {
  PrinterName->Items()->Clear();
  for (const std::string& name : printer.Printers()) PrinterName->Items()->Add(name);
  PrinterName->SetItemIndex(printer.PrinterIndex());
  StatusText->SetCaption(printer.Status());
  TypeText->SetCaption(printer.DriverName());
  WhereText->SetCaption(printer.Location());
  PaperSize->Items()->Clear();
  for (const std::string& name : TPrinter::PaperNames()) PaperSize->Items()->Add(name);
  PaperSize->SetItemIndex(printer.PaperSize());
  (printer.Orientation() == poLandscape ? LandscapeRadio : PortraitRadio)->SetChecked(true);
}

void TPrinterSetupDialogForm::Apply(TPrinter& printer) const {
  if (printer.Printing()) return;
  if (PrinterName->ItemIndex() >= 0) printer.SetPrinterIndex(PrinterName->ItemIndex());
  if (PaperSize->ItemIndex() >= 0) printer.SetPaperSize(PaperSize->ItemIndex());
  printer.SetOrientation(LandscapeRadio->Checked() ? poLandscape : poPortrait);
}

WI_REGISTER_CLASS(TPrinterSetupDialogForm);
