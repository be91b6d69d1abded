#include "platform/forms/ViewDriver.h"

#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiScript.h"

using namespace win;

namespace ViewDriver {
namespace {

[[noreturn]] void fail(TWinControl* view, const std::string& what) {
  throw EUiScriptError(std::string(view->ClassName()) + " " + view->Name() + ": " + what);
}

LPARAM LabelPoint(TListItem* t) {
  t->MakeVisible(false);
  RECT r = t->DisplayRect(drLabel);
  return MAKELPARAM(WORD(r.left + 2), WORD((r.top + r.bottom) / 2));
}

LPARAM LabelPoint(TTreeNode* n) {
  n->MakeVisible();
  RECT r = n->DisplayRect(true);
  return MAKELPARAM(WORD(r.left + 2), WORD(r.top + 2));
}

}  // namespace

TTreeNode* FindPath(TCustomTreeView* tree, const std::string& path) {
  if (!tree->Showing() || !tree->Enabled()) fail(tree, "is not visible or disabled");
  TTreeNode* parent = nullptr;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    std::string part =
        path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (parent) parent->Expand(false);
    TTreeNode* found = nullptr;
    for (TTreeNode* n = parent ? parent->GetFirstChild() : tree->Items()->GetFirstNode();
         n && !found; n = n->getNextSibling())
      if (AnsiCompareText(n->Text(), part) == 0) found = n;
    if (!found) fail(tree, "has no node \"" + path + "\"");
    parent = found;
    if (end == std::string::npos) return found;
    start = end + 1;
  }
}

TTreeNode* SelectPath(TCustomTreeView* tree, const std::string& path) {
  TTreeNode* n = FindPath(tree, path);
  tree->Perform(WM_LBUTTONDOWN, 1, LabelPoint(n));
  tree->Perform(WM_LBUTTONUP, 0, LabelPoint(n));
  return n;
}

void ExpandPath(TCustomTreeView* tree, const std::string& path) {
  FindPath(tree, path)->Expand(false);
}

void DblClickPath(TCustomTreeView* tree, const std::string& path) {
  TTreeNode* n = SelectPath(tree, path);
  tree->Perform(WM_LBUTTONDBLCLK, 1, LabelPoint(n));
}

void EditPath(TCustomTreeView* tree, const std::string& path, const std::string& text) {
  TTreeNode* n = SelectPath(tree, path);
  if (!n->EditText() || !tree->EditControl()) fail(tree, "does not edit \"" + path + "\"");
  tree->EditControl()->SetText(text);
  tree->EditControl()->Perform(WM_KEYDOWN, VK_RETURN);
}

TListItem* FindItem(TCustomListView* list, const std::string& caption) {
  if (!list->Showing() || !list->Enabled()) fail(list, "is not visible or disabled");
  TListItem* t = list->FindCaption(0, caption, false, true, false);
  if (!t) fail(list, "has no item \"" + caption + "\"");
  return t;
}

TListItem* SelectItem(TCustomListView* list, const std::string& caption) {
  TListItem* t = FindItem(list, caption);
  list->Perform(WM_LBUTTONDOWN, 1, LabelPoint(t));
  list->Perform(WM_LBUTTONUP, 0, LabelPoint(t));
  return t;
}

void DblClickItem(TCustomListView* list, const std::string& caption) {
  TListItem* t = SelectItem(list, caption);
  list->Perform(WM_LBUTTONDBLCLK, 1, LabelPoint(t));
  list->Perform(WM_LBUTTONUP, 0, LabelPoint(t));
}

void EditItem(TCustomListView* list, const std::string& caption, const std::string& text) {
  TListItem* t = SelectItem(list, caption);
  if (!t->EditCaption() || !list->EditControl()) fail(list, "does not edit \"" + caption + "\"");
  list->EditControl()->SetText(text);
  list->EditControl()->Perform(WM_KEYDOWN, VK_RETURN);
}

}  // namespace ViewDriver
