#pragma once
// What the shell list's commands do. The list's own opening members (folders in the list or
// the linked tree, shortcuts to folders followed, the rest by their default action) and the
// shell's verbs on the selection are defined with this unit; TScShellListCommands keeps the
// default keys, renaming through the shell, and the shell context menu of the selection with
// its Send To submenu, whose owner-drawn items and hints the menu's messages reach while it
// shows.
#include <string>

#include "shellcontrols/UScShellList.h"

class TScShellListCommands {
 public:
  explicit TScShellListCommands(TScCustomShellList& List) : L(List) {}

  // A key of the default key table carries out its command (Key becomes 0), others stay.
  void KeyDown(win::WORD& Key, TShiftState Shift);
  // Backspace goes up a folder, Enter opens the selection (Key becomes 0); false for others.
  bool KeyPress(char& Key);
  // The end of a caption edit on a shell item (Text null: cancelled): the shell renames it.
  void Rename(TListItem* Item, TScShListData* Data, const char* Text);
  // Edits the caption of the new folder just made.
  void EditNewItem();
  void ShowContextMenu(TPoint P);
  void SendTo(int Index);
  // The menu messages of the shell menu while it shows (after the list's own handling).
  void MenuMessage(TMessage& Message);
  bool MenuRunning() const { return FMenuRunning; }

 private:
  TScCustomShellList& L;
  win::IContextMenu* FContextMenu = nullptr;  // the shell menu while it shows
  bool FMenuRunning = false;
};
