#include "platform/forms/ActnList.h"

#include <algorithm>

#include "platform/forms/Controls.h"

void TAction::DefineProps(TPropList& p) {
  p.String("Caption", &TAction::Caption, &TAction::SetCaption);
  p.Bool("Checked", &TAction::Checked, &TAction::SetChecked, false);
  p.Bool("Enabled", &TAction::Enabled, &TAction::SetEnabled, true);
  p.String("Hint", &TAction::Hint, &TAction::SetHint);
  p.Bool("Visible", &TAction::Visible, &TAction::SetVisible, true);
  p.Event("OnExecute", &TAction::OnExecute);
  p.Event("OnUpdate", &TAction::OnUpdate);
}

TAction::~TAction() {
  SetActionList(nullptr);
  for (auto* c : std::vector<TControl*>(FClients)) c->SetAction(nullptr);
}

void TAction::SetActionList(TActionList* l) {
  if (l == FActionList) return;
  if (FActionList) FActionList->RemoveAction(this);
  if (l) l->AddAction(this);
}

TComponent* TAction::GetParentComponent() const { return FActionList; }
void TAction::SetParentComponent(TComponent* p) {
  if (auto* l = dynamic_cast<TActionList*>(p)) SetActionList(l);
}

bool TAction::Execute() {
  if (!FEnabled || !OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TAction::RegisterClient(TControl* c) { FClients.push_back(c); }
void TAction::UnregisterClient(TControl* c) {
  FClients.erase(std::remove(FClients.begin(), FClients.end(), c), FClients.end());
}

void TAction::Change() {
  for (auto* c : FClients) c->ActionChange(false);
}

std::vector<TActionList*>& AllActionLists() {
  // Never destroyed: action lists freed at exit unregister themselves after the statics go.
  static auto& lists = *new std::vector<TActionList*>;
  return lists;
}

void TActionList::DefineProps(TPropList& p) {
  p.Event("OnExecute", &TActionList::OnExecute);
  p.Event("OnUpdate", &TActionList::OnUpdate);
}

TActionList::~TActionList() {
  for (auto* a : std::vector<TAction*>(FActions)) a->SetActionList(nullptr);
  auto& all = AllActionLists();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void TActionList::AddAction(TAction* a) {
  if (FActions.empty()) AllActionLists().push_back(this);
  FActions.push_back(a);
  a->FActionList = this;
}

void TActionList::RemoveAction(TAction* a) {
  FActions.erase(std::remove(FActions.begin(), FActions.end(), a), FActions.end());
  a->FActionList = nullptr;
}

void TActionList::UpdateActions() {
  for (auto* a : std::vector<TAction*>(FActions)) {
    bool handled = false;
    if (OnUpdate) OnUpdate(a, handled);
    if (!handled) a->Update();
  }
}

void TActionList::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
  for (auto* a : FActions)
    if (a->Owner() == root) proc(a);
}

WI_REGISTER_CLASS(TAction);
WI_REGISTER_CLASS(TActionList);
