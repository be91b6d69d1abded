#pragma once
// TScPane: a group used as one pane of a splitter. Only its stored properties exist (the
// splitter that would arrange panes by Index, honouring MinSize, is not part of the
// library).
#include "shellcontrols/UScFrame.h"

class TScPane : public TScGroup {
  WI_CLASS(TScPane, TScGroup)
 public:
  explicit TScPane(TComponent* owner);
  int MinSize() const { return FMinSize; }
  void SetMinSize(int v) { FMinSize = v; }
  int Index() const { return FIndex; }
  void SetIndex(int v) { FIndex = v; }

 private:
  int FMinSize = 20;
  int FIndex = 0;
};

// True when this unit registered TScPane for streaming at start-up (no class of that name
// was registered before).
bool ScPaneRegisteredHere();
