#include "platform/forms/ViewDriver.h"

#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiScript.h"

using namespace win;

namespace ViewDriver {
namespace {

[[noreturn]] void fail(TCustomTreeView* tree, const std::string& what) {
  throw EUiScriptError(std::string(tree->ClassName()) + " " + tree->Name() + ": " + what);
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
    std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (parent) parent->Expand(false);
    TTreeNode* found = nullptr;
    for (TTreeNode* n = parent ? parent->GetFirstChild() : tree->Items()->GetFirstNode(); n && !found; n = n->getNextSibling())
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

void ExpandPath(TCustomTreeView* tree, const std::string& path) { FindPath(tree, path)->Expand(false); }

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

}  // namespace ViewDriver
