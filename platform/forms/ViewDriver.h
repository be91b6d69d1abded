#pragma once
// Drives tree views as a user would, by node paths of texts separated by backslashes
// ("Poste de travail\C:"): each level is expanded on the way. Failures throw
// EUiScriptError naming the control and the path.
#include <string>

#include "platform/forms/ListView.h"
#include "platform/forms/TreeView.h"

namespace ViewDriver {

// The node at the path, levels expanded on the way.
TTreeNode* FindPath(TCustomTreeView* tree, const std::string& path);
// A click on the node's label.
TTreeNode* SelectPath(TCustomTreeView* tree, const std::string& path);
void ExpandPath(TCustomTreeView* tree, const std::string& path);
void DblClickPath(TCustomTreeView* tree, const std::string& path);
// Selects the node, edits its label to `text` and ends the edit with Enter.
void EditPath(TCustomTreeView* tree, const std::string& path, const std::string& text);

// List views: items by caption (case-insensitive), brought into view first.
TListItem* FindItem(TCustomListView* list, const std::string& caption);
// A click on the item's label: it alone is selected and focused.
TListItem* SelectItem(TCustomListView* list, const std::string& caption);
void DblClickItem(TCustomListView* list, const std::string& caption);
// Selects the item, edits its caption to `text` and ends the edit with Enter.
void EditItem(TCustomListView* list, const std::string& caption, const std::string& text);

}  // namespace ViewDriver
