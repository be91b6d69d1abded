#pragma once
// Actions: a caption, enabled and checked state and an execute handler shared by the
// controls linked to them; the list's OnUpdate runs when the application goes idle.
#include "platform/forms/Classes.h"

class TControl;
class TActionList;

class TAction : public TComponent {
  WI_CLASS(TAction, TComponent)
 public:
  explicit TAction(TComponent* owner) : TComponent(owner) {}
  ~TAction() override;
  std::string Caption() const { return FCaption; }
  void SetCaption(const std::string& v) {
    if (v != FCaption) {
      FCaption = v;
      Change();
    }
  }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool v) {
    if (v != FEnabled) {
      FEnabled = v;
      Change();
    }
  }
  bool Checked() const { return FChecked; }
  void SetChecked(bool v) {
    if (v != FChecked) {
      FChecked = v;
      Change();
    }
  }
  bool Visible() const { return FVisible; }
  void SetVisible(bool v) {
    if (v != FVisible) {
      FVisible = v;
      Change();
    }
  }
  std::string Hint() const { return FHint; }
  void SetHint(const std::string& v) {
    if (v != FHint) {
      FHint = v;
      Change();
    }
  }
  TActionList* ActionList() const { return FActionList; }
  void SetActionList(TActionList* l);
  // Runs OnExecute; false when there is none or the action is disabled.
  virtual bool Execute();
  bool Update();
  void RegisterClient(TControl* c);
  void UnregisterClient(TControl* c);
  bool HasParent() const override { return FActionList != nullptr; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* p) override;
  TNotifyEvent OnExecute, OnUpdate;

 private:
  void Change();
  std::string FCaption, FHint;
  bool FEnabled = true, FChecked = false, FVisible = true;
  TActionList* FActionList = nullptr;
  std::vector<TControl*> FClients;
  friend class TActionList;
};

using TActionEvent = TEvent<TAction*, bool&>;

class TActionList : public TComponent {
  WI_CLASS(TActionList, TComponent)
 public:
  explicit TActionList(TComponent* owner) : TComponent(owner) {}
  ~TActionList() override;
  int ActionCount() const { return int(FActions.size()); }
  TAction* Actions(int i) const { return FActions.at(i); }
  // Runs OnUpdate for each action: the list's handler first; when it does not handle
  // the action, the action's own.
  void UpdateActions();
  void AddAction(TAction* a);
  void RemoveAction(TAction* a);
  void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
  TActionEvent OnUpdate, OnExecute;

 private:
  std::vector<TAction*> FActions;
};

// Every action list alive, for the application's idle updates.
std::vector<TActionList*>& AllActionLists();
