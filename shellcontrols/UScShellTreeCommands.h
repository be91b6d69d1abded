#pragma once
// What the shell tree's commands do: the default keys carry out the shell's verbs on the
// selected node, the context menu shows the shell's menu of a node with the Send To
// submenu (whose owner-drawn items the menu's messages reach while it shows), a label edit
// renames the item through the shell, and new folders are made in the selected one.
#include <string>

#include "shellcontrols/UScShellTree.h"

class TScShellTreeCommands {
 public:
  explicit TScShellTreeCommands(TScCustomShellTree& Tree) : T(Tree) {}

  // A key of the default key table carries out its command (Key becomes 0), others stay.
  void KeyDown(win::WORD& Key, TShiftState Shift);
  win::HRESULT InvokeVerb(TTreeNode* Node, const std::string& Verb);
  void ShowContextMenu(TTreeNode* Node, TPoint Pos);
  void SendTo(TTreeNode* Node, int Index);
  // The end of a label edit on a shell node: the shell renames the item.
  void Rename(TTreeNode* Node, TScShTreeData* Data, const std::string& Text);
  // A new folder in the selected one, its label then edited.
  bool CreateNewFolder();
  // The menu messages of the shell menu while it shows (after the tree's own handling).
  void MenuMessage(TMessage& M);
  win::IContextMenu* ContextMenu() const { return FContextMenu; }

 private:
  TScCustomShellTree& T;
  win::IContextMenu* FContextMenu = nullptr;  // the shell menu while it shows
};
