#include "wizard/frmSelectItemsUnit.h"

#include <cstdint>

namespace {

const char* const SLabel2 = "Choisissez un type d'installation standard :";
const char* const SGroupBox1 = " Type d'installation standard : ";
const char* const SMonoPoste = "Monoposte";
const char* const SServeur = "Serveur";
const char* const SClient = "Client";
const char* const SLabel1 = "Éléments à installer : ";
const char* const SItemNotFound = "Item not found : ";

struct ItemInfo {
  const char* name;
  const char* text;
  const char* hint;
};
const ItemInfo kItems[] = {
    {"FirebirdServer", "Serveur Firebird",
     "Le serveur Firebird permet aux applications MARQETO d'accéder à leurs bases données."},
    {"FirebirdClient", "Client Firebird",
     "Le client Firebird permet aux applications MARQETO de communiquer avec un serveur distant "
     "ou local afin d'accéder aux bases de données."},
    {"VBRuntime", "Bibliothèques dynamiques VisualBasic",
     "Les bibliothèques VisualBasic sont nécessaires sur chaque machine qui utilisent des "
     "programmes tiers comme SIATEST par exemple. Elles ne sont pas utilisées par les "
     "programmes de MARQETO."},
    {"OCRFont", "Police OCR",
     "La police de caractères OCR est nécessaire pour imprimer des bulletins de versement. Elle "
     "doit être installée sur chaque ordinateur qui doit imprimer ces bulletins."},
    {"PDFModule", "Module de création de documents PDF",
     "Le Module de création de documents PDF permet à certaines applications MARQETO de créer "
     "des documents au format PDF au lieu de les imprimer."},
};

TObject* IndexObject(int i) { return reinterpret_cast<TObject*>(std::intptr_t(i)); }

}  // namespace

TfrmSelectItems* frmSelectItems = nullptr;

void TfrmSelectItems::DefineProps(TPropList&) {}

TfrmSelectItems::TfrmSelectItems(TComponent* AOwner) : TFrmStep(AOwner) {
  // The loader keeps the first name it reads, the step base's; each step has its own.
  SetName("frmSelectItems");
  Field("Label2", Label2);
  Field("GroupBox1", GroupBox1);
  Field("rbMonoPoste", rbMonoPoste);
  Field("rbServeur", rbServeur);
  Field("rbClient", rbClient);
  Field("Label1", Label1);
  Field("CheckList", CheckList);
  Method("FormCreate", &TfrmSelectItems::FormCreate);
  Method("FormDestroy", &TfrmSelectItems::FormDestroy);
  Method("FormResize", &TfrmSelectItems::FormResize);
  Method("rbClick", &TfrmSelectItems::rbClick);
  Method("CheckListClick", &TfrmSelectItems::CheckListClick);
}

// The form's destroy handler runs here, while the step is still whole.
TfrmSelectItems::~TfrmSelectItems() {
  OnDestroy(this);
  OnDestroy = nullptr;
}

void TfrmSelectItems::FormCreate(TObject* Sender) {
  TFrmStep::FormCreate(Sender);
  GroupBox1->SetCaption(SGroupBox1);
  rbMonoPoste->SetCaption(SMonoPoste);
  rbServeur->SetCaption(SServeur);
  rbClient->SetCaption(SClient);
  Label1->SetCaption(SLabel1);
  Label2->SetCaption(SLabel2);
  ItemNames = new TStringList;
  for (const auto& item : kItems) AddItem(item.name, item.text);
  ApplyInstallType();
}

void TfrmSelectItems::FormDestroy(TObject* Sender) {
  delete ItemNames;
  ItemNames = nullptr;
}

void TfrmSelectItems::FormResize(TObject* Sender) {
  if (!CheckList) return;
  CheckList->SetBounds(CheckList->Left(), CheckList->Top(), ClientWidth() - CheckList->Left() - 20,
                       ClientHeight() - CheckList->Top() - 20);
}

void TfrmSelectItems::AddItem(const std::string& Name, const std::string& Text) {
  int index = ItemNames->Add(Name);
  CheckList->Items()->AddObject(Text, IndexObject(index));
}

int TfrmSelectItems::FindItem(const std::string& Name) {
  int index = ItemNames ? ItemNames->IndexOf(Name) : -1;
  int line = index < 0 ? -1 : CheckList->Items()->IndexOfObject(IndexObject(index));
  if (line < 0) throw Exception(SItemNotFound + Name);
  return line;
}

bool TfrmSelectItems::IsItemChecked(const std::string& Name) {
  return CheckList->GetItemChecked(FindItem(Name));
}

void TfrmSelectItems::CheckItem(const std::string& Name) {
  CheckList->SetItemChecked(FindItem(Name), true);
}

void TfrmSelectItems::UncheckItem(const std::string& Name) {
  CheckList->SetItemChecked(FindItem(Name), false);
}

void TfrmSelectItems::DisableItem(const std::string& Name) {
  CheckList->SetItemEnabled(FindItem(Name), false);
}

std::string TfrmSelectItems::GetInstallType() {
  if (rbMonoPoste->Checked()) return "Standalone";
  if (rbServeur->Checked()) return "Server";
  if (rbClient->Checked()) return "Client";
  return "";
}

std::string TfrmSelectItems::GetSelectedItemName() {
  int line = CheckList->ItemIndex();
  if (line < 0) return "";
  auto index = int(reinterpret_cast<std::intptr_t>(CheckList->Items()->Objects(line)));
  return index >= 0 && index < ItemNames->Count() ? ItemNames->Get(index) : "";
}

void TfrmSelectItems::ApplyInstallType() {
  if (FApplying) return;
  FApplying = true;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{FApplying};
  if (rbMonoPoste->Checked() || rbServeur->Checked()) {
    for (const auto& item : kItems) CheckItem(item.name);
  } else if (rbClient->Checked()) {
    UncheckItem("FirebirdServer");
    CheckItem("FirebirdClient");
    CheckItem("VBRuntime");
    CheckItem("OCRFont");
    CheckItem("PDFModule");
  }
  // The marks follow the install type alone; the list only shows and explains them.
  for (const auto& item : kItems) DisableItem(item.name);
}

void TfrmSelectItems::rbClick(TObject* Sender) { ApplyInstallType(); }

bool TfrmSelectItems::CanGoNext() { return CheckList->CheckedCount() > 0; }

void TfrmSelectItems::CheckListClick(TObject* Sender) {
  std::string name = GetSelectedItemName();
  std::string hint;
  for (const auto& item : kItems)
    if (AnsiCompareText(name, item.name) == 0) hint = item.hint;
  CheckList->SetHint(hint);
}
