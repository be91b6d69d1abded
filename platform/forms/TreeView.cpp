#include "platform/forms/TreeView.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/TreeViewWindow.h"

using namespace win;

// --- TTreeNode ---------------------------------------------------------------------------

void TTreeNode::DefineProps(TPropList&) {}
void TTreeNodes::DefineProps(TPropList&) {}

TTreeNode::TTreeNode(TTreeNodes* owner) : FOwner(owner) {}
TTreeNode::~TTreeNode() = default;

TCustomTreeView* TTreeNode::TreeView() const { return FOwner ? FOwner->Owner() : nullptr; }

static LRESULT Send(const TTreeNode* n, UINT msg, WPARAM w, LPARAM l) {
  return n->TreeView() ? n->TreeView()->Perform(msg, w, l) : 0;
}

void TTreeNode::SetText(const std::string& v) {
  FText = v;
  TVITEMA it;
  it.mask = TVIF_TEXT | TVIF_HANDLE;
  it.hItem = FItemId;
  it.pszText = const_cast<char*>(FText.c_str());
  Send(this, TVM_SETITEMA, 0, LPARAM(&it));
}

void TTreeNode::SetImageIndex(int v) {
  FImageIndex = v;
  if (TreeView()) TreeView()->Invalidate();
}
void TTreeNode::SetSelectedIndex(int v) {
  FSelectedIndex = v;
  if (TreeView()) TreeView()->Invalidate();
}
// The node's state bits under mask set to state.
static void SetStateBits(const TTreeNode* n, UINT mask, UINT state) {
  TVITEMA it;
  it.mask = TVIF_STATE | TVIF_HANDLE;
  it.hItem = n->ItemId();
  it.stateMask = mask;
  it.state = state;
  Send(n, TVM_SETITEMA, 0, LPARAM(&it));
}

void TTreeNode::SetStateIndex(int v) {
  FStateIndex = v;
  SetStateBits(this, TVIS_STATEIMAGEMASK, UINT(std::clamp(v + 1, 0, 15)) << 12);
}
void TTreeNode::SetOverlayIndex(int v) {
  FOverlayIndex = v;
  SetStateBits(this, TVIS_OVERLAYMASK, v >= 0 ? INDEXTOOVERLAYMASK(v + 1) : 0);
}

bool TTreeNode::HasChildren() const {
  TVITEMA it;
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = FItemId;
  return Send(this, TVM_GETITEMA, 0, LPARAM(&it)) && it.cChildren != 0;
}

void TTreeNode::SetHasChildren(bool v) {
  TVITEMA it;
  it.mask = TVIF_CHILDREN | TVIF_HANDLE;
  it.hItem = FItemId;
  it.cChildren = v ? 1 : 0;
  Send(this, TVM_SETITEMA, 0, LPARAM(&it));
}

bool TTreeNode::GetState(UINT bit) const {
  return (UINT(Send(this, TVM_GETITEMSTATE, WPARAM(FItemId), bit)) & bit) != 0;
}

void TTreeNode::SetState(UINT bit, bool v) { SetStateBits(this, bit, v ? bit : 0); }

void TTreeNode::SetSelected(bool v) {
  if (v)
    Send(this, TVM_SELECTITEM, TVGN_CARET, LPARAM(FItemId));
  else if (Selected())
    Send(this, TVM_SELECTITEM, TVGN_CARET, 0);
}
void TTreeNode::SetFocused(bool v) { SetState(TVIS_FOCUSED, v); }
void TTreeNode::SetDropTarget(bool v) {
  if (v)
    Send(this, TVM_SELECTITEM, TVGN_DROPHILITE, LPARAM(FItemId));
  else if (DropTarget())
    Send(this, TVM_SELECTITEM, TVGN_DROPHILITE, 0);
}

static TTreeNode* NodeOf(const TTreeNode* from, UINT code) {
  if (!from->TreeView()) return nullptr;
  auto h = HTREEITEM(Send(from, TVM_GETNEXTITEM, code, LPARAM(from->ItemId())));
  return from->Owner()->GetNode(h);
}

TTreeNode* TTreeNode::Parent() const { return NodeOf(this, TVGN_PARENT); }
TTreeNode* TTreeNode::GetFirstChild() const { return NodeOf(this, TVGN_CHILD); }
TTreeNode* TTreeNode::getNextSibling() const { return NodeOf(this, TVGN_NEXT); }
TTreeNode* TTreeNode::getPrevSibling() const { return NodeOf(this, TVGN_PREVIOUS); }
TTreeNode* TTreeNode::GetNextVisible() const { return NodeOf(this, TVGN_NEXTVISIBLE); }
TTreeNode* TTreeNode::GetPrevVisible() const { return NodeOf(this, TVGN_PREVIOUSVISIBLE); }
TTreeNode* TTreeNode::GetLastChild() const {
  TTreeNode* c = GetFirstChild();
  while (c && c->getNextSibling()) c = c->getNextSibling();
  return c;
}
TTreeNode* TTreeNode::GetNext() const {
  if (TTreeNode* c = GetFirstChild()) return c;
  for (const TTreeNode* n = this; n; n = n->Parent())
    if (TTreeNode* s = n->getNextSibling()) return s;
  return nullptr;
}
TTreeNode* TTreeNode::GetPrev() const {
  TTreeNode* p = getPrevSibling();
  if (!p) return Parent();
  while (TTreeNode* l = p->GetLastChild()) p = l;
  return p;
}
int TTreeNode::Count() const {
  int n = 0;
  for (TTreeNode* c = GetFirstChild(); c; c = c->getNextSibling()) ++n;
  return n;
}
TTreeNode* TTreeNode::Item(int i) const {
  TTreeNode* c = i >= 0 ? GetFirstChild() : nullptr;
  while (c && i-- > 0) c = c->getNextSibling();
  return c;
}
// How many steps `next` takes from `from` before it finds no node.
static int Steps(const TTreeNode* from, TTreeNode* (TTreeNode::*next)() const) {
  int n = 0;
  for (const TTreeNode* p = (from->*next)(); p; p = (p->*next)()) ++n;
  return n;
}
int TTreeNode::Index() const { return Steps(this, &TTreeNode::getPrevSibling); }
int TTreeNode::AbsoluteIndex() const { return Steps(this, &TTreeNode::GetPrev); }
int TTreeNode::Level() const { return Steps(this, &TTreeNode::Parent); }
bool TTreeNode::IsVisible() const {
  for (TTreeNode* p = Parent(); p; p = p->Parent())
    if (!p->Expanded()) return false;
  return true;
}
bool TTreeNode::HasAsParent(const TTreeNode* node) const {
  if (!node) return false;
  for (TTreeNode* p = Parent(); p; p = p->Parent())
    if (p == node) return true;
  return false;
}

void TTreeNode::Expand(bool recurse) {
  Send(this, TVM_EXPAND, TVE_EXPAND, LPARAM(FItemId));
  if (recurse)
    for (TTreeNode* c = GetFirstChild(); c; c = c->getNextSibling()) c->Expand(true);
}
void TTreeNode::Collapse(bool recurse) {
  if (recurse)
    for (TTreeNode* c = GetFirstChild(); c; c = c->getNextSibling()) c->Collapse(true);
  Send(this, TVM_EXPAND, TVE_COLLAPSE, LPARAM(FItemId));
}
void TTreeNode::Delete() {
  if (!FDeleting) Send(this, TVM_DELETEITEM, 0, LPARAM(FItemId));
}
void TTreeNode::DeleteChildren() {
  while (TTreeNode* c = GetFirstChild()) c->Delete();
}
bool TTreeNode::EditText() { return Send(this, TVM_EDITLABELA, 0, LPARAM(FItemId)) != 0; }
void TTreeNode::EndEdit(bool cancel) { Send(this, TVM_ENDEDITLABELNOW, cancel, 0); }
void TTreeNode::MakeVisible() { Send(this, TVM_ENSUREVISIBLE, 0, LPARAM(FItemId)); }
RECT TTreeNode::DisplayRect(bool textOnly) const {
  // TVM_GETITEMRECT takes the item in the rectangle's first bytes.
  RECT r{};
  HTREEITEM id = FItemId;
  // NOLINTNEXTLINE(bugprone-sizeof-expression): the handle's bytes
  std::memcpy(static_cast<void*>(&r), &id, sizeof id);
  if (!Send(this, TVM_GETITEMRECT, textOnly, LPARAM(&r))) return RECT{};
  return r;
}
bool TTreeNode::AlphaSort(bool recurse) {
  return Send(this, TVM_SORTCHILDREN, recurse, LPARAM(FItemId)) != 0;
}
bool TTreeNode::CustomSort(TTVCompare proc, LPARAM data, bool recurse) {
  TVSORTCB cb{FItemId, proc, data};
  bool ok = Send(this, TVM_SORTCHILDRENCB, 0, LPARAM(&cb)) != 0;
  if (recurse)
    for (TTreeNode* c = GetFirstChild(); c; c = c->getNextSibling())
      c->CustomSort(proc, data, true);
  return ok;
}

void TTreeNode::MoveTo(TTreeNode* dest, TNodeAttachMode mode) {
  // Rebuilt at the new place: a copy of the subtree, then this item's old one goes.
  if (!TreeView() || dest == this || (dest && dest->HasAsParent(this))) return;
  TTreeNodes* nodes = FOwner;
  TTreeNode* parent = dest;
  HTREEITEM after = TVI_LAST;
  switch (mode) {
    case naAdd:
      parent = dest ? dest->Parent() : nullptr;
      break;
    case naAddFirst:
      parent = dest ? dest->Parent() : nullptr;
      after = TVI_FIRST;
      break;
    case naAddChild:
      break;
    case naAddChildFirst:
      after = TVI_FIRST;
      break;
    case naInsert: {
      parent = dest ? dest->Parent() : nullptr;
      TTreeNode* prev = dest ? dest->getPrevSibling() : nullptr;
      after = prev ? prev->ItemId() : TVI_FIRST;
      break;
    }
  }
  std::vector<TTreeNode*> kids;
  for (TTreeNode* c = GetFirstChild(); c; c = c->getNextSibling()) kids.push_back(c);
  TTreeNode* moved = nodes->InternalAdd(parent, after, FText, FData);
  moved->Assign(this);
  for (TTreeNode* c : kids) c->MoveTo(moved, naAddChild);
  FData = nullptr;
  Delete();
}

void TTreeNode::Assign(TPersistent* source) {
  auto* s = dynamic_cast<TTreeNode*>(source);
  if (!s) return TPersistent::Assign(source);
  SetText(s->FText);
  FData = s->FData;
  FImageIndex = s->FImageIndex, FSelectedIndex = s->FSelectedIndex;
  if (s->FOverlayIndex >= 0) SetOverlayIndex(s->FOverlayIndex);
  if (s->FStateIndex >= 0) SetStateIndex(s->FStateIndex);
  SetCut(s->Cut());
  SetHasChildren(s->HasChildren());
}

// --- TTreeNodes --------------------------------------------------------------------------

TTreeNodes::~TTreeNodes() = default;

TTreeNode* TTreeNodes::GetNode(HTREEITEM item) const {
  if (!item) return nullptr;
  TVITEMA it;
  it.mask = TVIF_PARAM | TVIF_HANDLE;
  it.hItem = item;
  if (!FOwner->Perform(TVM_GETITEMA, 0, LPARAM(&it))) return nullptr;
  return reinterpret_cast<TTreeNode*>(it.lParam);
}

TTreeNode* TTreeNodes::GetFirstNode() const {
  return GetNode(HTREEITEM(FOwner->Perform(TVM_GETNEXTITEM, TVGN_ROOT, 0)));
}

int TTreeNodes::Count() const { return int(FOwner->Perform(TVM_GETCOUNT)); }

TTreeNode* TTreeNodes::Item(int i) const {
  TTreeNode* n = i >= 0 ? GetFirstNode() : nullptr;
  while (n && i-- > 0) n = n->GetNext();
  return n;
}

TTreeNode* TTreeNodes::InternalAdd(TTreeNode* parent, HTREEITEM after, const std::string& s,
                                   void* data) {
  TTreeNode* node = FOwner->CreateNode();
  node->FOwner = this;
  node->FText = s;
  node->FData = data;
  TVINSERTSTRUCTA ins;
  ins.hParent = parent ? parent->ItemId() : TVI_ROOT;
  ins.hInsertAfter =
      FOwner->SortType() == stText || FOwner->SortType() == stBoth ? TVI_SORT : after;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  ins.item.pszText = const_cast<char*>(node->FText.c_str());
  ins.item.iImage = ins.item.iSelectedImage = I_IMAGECALLBACK;
  ins.item.lParam = LPARAM(node);
  node->FItemId = HTREEITEM(FOwner->Perform(TVM_INSERTITEMA, 0, LPARAM(&ins)));
  if (!node->FItemId) {
    delete node;
    throw EListError("Impossible d'insérer un élément dans l'arborescence");
  }
  FOwner->Added(node);
  return node;
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* sibling, const std::string& s, void* data) {
  return InternalAdd(sibling ? sibling->Parent() : nullptr, TVI_LAST, s, data);
}
TTreeNode* TTreeNodes::AddObjectFirst(TTreeNode* sibling, const std::string& s, void* data) {
  return InternalAdd(sibling ? sibling->Parent() : nullptr, TVI_FIRST, s, data);
}
TTreeNode* TTreeNodes::InsertObject(TTreeNode* sibling, const std::string& s, void* data) {
  if (!sibling) return AddObject(nullptr, s, data);
  TTreeNode* prev = sibling->getPrevSibling();
  return InternalAdd(sibling->Parent(), prev ? prev->ItemId() : TVI_FIRST, s, data);
}
TTreeNode* TTreeNodes::AddChildObject(TTreeNode* parent, const std::string& s, void* data) {
  return InternalAdd(parent, TVI_LAST, s, data);
}
TTreeNode* TTreeNodes::AddChildObjectFirst(TTreeNode* parent, const std::string& s, void* data) {
  return InternalAdd(parent, TVI_FIRST, s, data);
}
void TTreeNodes::Delete(TTreeNode* node) {
  if (node) node->Delete();
}
void TTreeNodes::Clear() { FOwner->Perform(TVM_DELETEITEM, 0, LPARAM(TVI_ROOT)); }
void TTreeNodes::BeginUpdate() { ++FUpdateCount; }
void TTreeNodes::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) FOwner->Invalidate();
}
void TTreeNodes::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TTreeNodes*>(source);
  if (!src) return TPersistent::Assign(source);
  BeginUpdate();
  Clear();
  std::function<void(TTreeNode*, TTreeNode*)> copy = [&](TTreeNode* from, TTreeNode* parent) {
    for (; from; from = from->getNextSibling()) {
      TTreeNode* n = AddChildObject(parent, from->Text(), from->Data());
      n->Assign(from);
      copy(from->GetFirstChild(), n);
    }
  };
  copy(src->GetFirstNode(), nullptr);
  EndUpdate();
}

// --- TCustomTreeView ---------------------------------------------------------------------

void TCustomTreeView::DefineProps(TPropList& p) {
  p.Bool("HideSelection", &TCustomTreeView::HideSelection, &TCustomTreeView::SetHideSelection,
         true);
  p.Component("Images", &TCustomTreeView::Images, &TCustomTreeView::SetImages);
  p.Int("Indent", &TCustomTreeView::Indent, &TCustomTreeView::SetIndent, 19);
  p.Bool("ReadOnly", &TCustomTreeView::ReadOnly, &TCustomTreeView::SetReadOnly, false);
  p.Bool("RightClickSelect", &TCustomTreeView::RightClickSelect,
         &TCustomTreeView::SetRightClickSelect, false);
  p.Bool("RowSelect", &TCustomTreeView::RowSelect, &TCustomTreeView::SetRowSelect, false);
  p.Bool("ShowButtons", &TCustomTreeView::ShowButtons, &TCustomTreeView::SetShowButtons, true);
  p.Bool("ShowLines", &TCustomTreeView::ShowLines, &TCustomTreeView::SetShowLines, true);
  p.Bool("ShowRoot", &TCustomTreeView::ShowRoot, &TCustomTreeView::SetShowRoot, true);
  p.Enum<TCustomTreeView, TSortType>("SortType", &TCustomTreeView::SortType,
                                     &TCustomTreeView::SetSortType,
                                     {"stNone", "stData", "stText", "stBoth"}, stNone);
  p.Component("StateImages", &TCustomTreeView::StateImages, &TCustomTreeView::SetStateImages);
  p.Bool("ToolTips", &TCustomTreeView::ToolTips, &TCustomTreeView::SetToolTips, true);
  p.Bool("AutoExpand", &TCustomTreeView::AutoExpand, &TCustomTreeView::SetAutoExpand, false);
  p.Bool("HotTrack", &TCustomTreeView::HotTrack, &TCustomTreeView::SetHotTrack, false);
  p.Event("OnChange", &TCustomTreeView::OnChange);
  p.Event("OnChanging", &TCustomTreeView::OnChanging);
  p.Event("OnCollapsed", &TCustomTreeView::OnCollapsed);
  p.Event("OnCollapsing", &TCustomTreeView::OnCollapsing);
  p.Event("OnCompare", &TCustomTreeView::OnCompare);
  p.Event("OnCustomDraw", &TCustomTreeView::OnCustomDraw);
  p.Event("OnCustomDrawItem", &TCustomTreeView::OnCustomDrawItem);
  p.Event("OnDeletion", &TCustomTreeView::OnDeletion);
  p.Event("OnAddition", &TCustomTreeView::OnAddition);
  p.Event("OnEdited", &TCustomTreeView::OnEdited);
  p.Event("OnEditing", &TCustomTreeView::OnEditing);
  p.Event("OnExpanded", &TCustomTreeView::OnExpanded);
  p.Event("OnExpanding", &TCustomTreeView::OnExpanding);
  p.Event("OnGetImageIndex", &TCustomTreeView::OnGetImageIndex);
  p.Event("OnGetSelectedIndex", &TCustomTreeView::OnGetSelectedIndex);
}
void TTreeView::DefineProps(TPropList&) {}

TCustomTreeView::TCustomTreeView(TComponent* owner)
    : TViewControl(owner, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_EDITLABELS, 121,
                   97),
      FNative(new Native(*this)),
      FTreeNodes(new TTreeNodes(this)) {}

TCustomTreeView::~TCustomTreeView() {
  // Node objects go without events: the parent may be gone already.
  FNative->destroying = true;
  FNative->edit.reset();
  std::function<void(TreeItemData*)> drop = [&](TreeItemData* t) {
    for (TreeItemData* c = t->first; c;) {
      TreeItemData* n = c->next;
      drop(c);
      delete reinterpret_cast<TTreeNode*>(c->lParam);
      delete c;
      c = n;
    }
  };
  drop(&FNative->root);
  ReleaseImages();
}

void TCustomTreeView::CreateWnd() { TWinControl::CreateWnd(); }
void TCustomTreeView::UpdateScrollBars() { Perform(Native::TVM_SYNCBARS); }
void TCustomTreeView::DestroyWnd() { TWinControl::DestroyWnd(); }

TTreeNode* TCustomTreeView::Selected() const {
  return FTreeNodes->GetNode(
      HTREEITEM(const_cast<TCustomTreeView*>(this)->Perform(TVM_GETNEXTITEM, TVGN_CARET, 0)));
}
void TCustomTreeView::SetSelected(TTreeNode* node) {
  Perform(TVM_SELECTITEM, TVGN_CARET, LPARAM(node ? node->ItemId() : nullptr));
}
TTreeNode* TCustomTreeView::TopItem() const {
  return FTreeNodes->GetNode(HTREEITEM(
      const_cast<TCustomTreeView*>(this)->Perform(TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0)));
}
void TCustomTreeView::SetTopItem(TTreeNode* node) {
  if (node) Perform(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, LPARAM(node->ItemId()));
}
TTreeNode* TCustomTreeView::DropTarget() const {
  return FTreeNodes->GetNode(
      HTREEITEM(const_cast<TCustomTreeView*>(this)->Perform(TVM_GETNEXTITEM, TVGN_DROPHILITE, 0)));
}
void TCustomTreeView::SetDropTarget(TTreeNode* node) {
  Perform(TVM_SELECTITEM, TVGN_DROPHILITE, LPARAM(node ? node->ItemId() : nullptr));
}
int TCustomTreeView::VisibleCount() const {
  return int(const_cast<TCustomTreeView*>(this)->Perform(TVM_GETVISIBLECOUNT));
}
int TCustomTreeView::Indent() const { return FNative->indent; }
void TCustomTreeView::SetIndent(int v) { Perform(TVM_SETINDENT, WPARAM(v)); }

void TCustomTreeView::SetSortType(TSortType v) {
  if (v == FSortType) return;
  FSortType = v;
  if (v != stNone) AlphaSort(true);
}

void TCustomTreeView::ImagesChanged() {
  Perform(TVM_SETIMAGELIST, TVSIL_NORMAL, LPARAM(FImages ? FImages->Handle() : nullptr));
  Perform(TVM_SETIMAGELIST, TVSIL_STATE, LPARAM(FStateImages ? FStateImages->Handle() : nullptr));
}

std::vector<TCustomImageList**> TCustomTreeView::ImageSlots() { return {&FImages, &FStateImages}; }

bool TCustomTreeView::IsEditing() const { return FNative->editing != nullptr; }
TCustomEdit* TCustomTreeView::EditControl() const {
  return FNative->editing ? FNative->edit.get() : nullptr;
}

TTreeNode* TCustomTreeView::GetNodeAt(int x, int y) const {
  TVHITTESTINFO hi;
  hi.pt = {x, y};
  auto h = HTREEITEM(const_cast<TCustomTreeView*>(this)->Perform(TVM_HITTEST, 0, LPARAM(&hi)));
  return (hi.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT | TVHT_ONITEMBUTTON))
             ? FTreeNodes->GetNode(h)
             : nullptr;
}

THitTests TCustomTreeView::GetHitTestInfoAt(int x, int y) const {
  TVHITTESTINFO hi;
  hi.pt = {x, y};
  const_cast<TCustomTreeView*>(this)->Perform(TVM_HITTEST, 0, LPARAM(&hi));
  return ViewSupport::HitTestsOf(hi.flags, {{TVHT_ABOVE, htAbove},
                                            {TVHT_BELOW, htBelow},
                                            {TVHT_NOWHERE, htNowhere},
                                            {TVHT_ONITEM, htOnItem},
                                            {TVHT_ONITEMBUTTON, htOnButton},
                                            {TVHT_ONITEMICON, htOnIcon},
                                            {TVHT_ONITEMINDENT, htOnIndent},
                                            {TVHT_ONITEMLABEL, htOnLabel},
                                            {TVHT_ONITEMRIGHT, htOnRight},
                                            {TVHT_ONITEMSTATEICON, htOnStateIcon},
                                            {TVHT_TOLEFT, htToLeft},
                                            {TVHT_TORIGHT, htToRight}});
}

// Nodes put in by message have no node object: they sort by the text the window holds.
bool TCustomTreeView::AlphaSort(bool recurse) {
  Native& N = *FNative;
  return N.SortAll(
      [&](TreeItemData* a, TreeItemData* b) {
        auto *n1 = reinterpret_cast<TTreeNode*>(a->lParam),
             *n2 = reinterpret_cast<TTreeNode*>(b->lParam);
        return ViewSupport::SortsBefore(this, n1, n2, [&](int k) {
          TTreeNode* n = k ? n2 : n1;
          return n ? n->Text() : N.TextOf(k ? b : a);
        });
      },
      recurse);
}

bool TCustomTreeView::CustomSort(TTVCompare proc, LPARAM data, bool recurse) {
  if (!proc) return AlphaSort(recurse);
  return FNative->SortAll(
      [&](TreeItemData* a, TreeItemData* b) { return proc(a->lParam, b->lParam, data) < 0; },
      recurse);
}

void TCustomTreeView::FullExpand() {
  for (TTreeNode* n = FTreeNodes->GetFirstNode(); n; n = n->getNextSibling()) n->Expand(true);
}
void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n = FTreeNodes->GetFirstNode(); n; n = n->getNextSibling()) n->Collapse(true);
}

bool TCustomTreeView::CanExpand(TTreeNode* node) {
  return ViewSupport::Allowed(OnExpanding, this, node);
}
bool TCustomTreeView::CanCollapse(TTreeNode* node) {
  return ViewSupport::Allowed(OnCollapsing, this, node);
}
bool TCustomTreeView::CanChange(TTreeNode* node) {
  return ViewSupport::Allowed(OnChanging, this, node);
}
bool TCustomTreeView::CanEdit(TTreeNode* node) {
  return ViewSupport::Allowed(OnEditing, this, node);
}
void TCustomTreeView::Edit(const TVITEMA& item) {
  TTreeNode* node = FTreeNodes->GetNode(item.hItem);
  if (!node || !item.pszText) return;
  std::string s = item.pszText;
  OnEdited(this, node, s);
  node->SetText(s);
}

bool TCustomTreeView::IsCustomDrawn(TCustomDrawTarget target, TCustomDrawStage stage) const {
  if (stage != cdPrePaint) return false;
  return target == dtControl ? bool(OnCustomDraw)
         : target == dtItem  ? bool(OnCustomDrawItem)
                             : false;
}
bool TCustomTreeView::CustomDraw(const RECT& rect, TCustomDrawStage stage) {
  return stage != cdPrePaint || ViewSupport::Allowed(OnCustomDraw, this, rect);
}
bool TCustomTreeView::CustomDrawItem(TTreeNode* node, TCustomDrawState state,
                                     TCustomDrawStage stage) {
  return stage != cdPrePaint || ViewSupport::Allowed(OnCustomDrawItem, this, node, state);
}

// The window's notifications, reflected back, become the events.
void TCustomTreeView::HandleNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
  auto* di = reinterpret_cast<NMTVDISPINFOA*>(hdr);
  auto nodeOf = [](const TVITEMA& it) { return reinterpret_cast<TTreeNode*>(it.lParam); };
  switch (hdr->code) {
    case TVN_SELCHANGINGA:
      m.Result = !CanChange(nodeOf(nm->itemNew));
      return;
    case TVN_SELCHANGEDA:
      Change(nodeOf(nm->itemNew));
      return;
    case TVN_ITEMEXPANDINGA:
      m.Result = (nm->action & 3) == TVE_EXPAND ? !CanExpand(nodeOf(nm->itemNew))
                                                : !CanCollapse(nodeOf(nm->itemNew));
      return;
    case TVN_ITEMEXPANDEDA:
      if ((nm->action & 3) == TVE_EXPAND)
        Expand(nodeOf(nm->itemNew));
      else
        Collapse(nodeOf(nm->itemNew));
      return;
    case TVN_DELETEITEMA:
      if (TTreeNode* n = nodeOf(nm->itemOld)) NodeDeleted(n);
      return;
    case TVN_BEGINLABELEDITA:
      m.Result = !CanEdit(FTreeNodes->GetNode(di->item.hItem));
      return;
    case TVN_ENDLABELEDITA:
      Edit(di->item);
      m.Result = 0;
      return;
    case TVN_GETDISPINFOA:
      FillDispInfo(di->item);
      return;
    case NM_CUSTOMDRAW:
      m.Result = AnswerCustomDraw(*reinterpret_cast<NMTVCUSTOMDRAW*>(hdr));
      return;
    default:
      return;
  }
}

void TCustomTreeView::NodeDeleted(TTreeNode* n) {
  n->FDeleting = true;
  try {
    Delete(n);
  } catch (...) {
    n->FItemId = nullptr;
    delete n;
    throw;
  }
  n->FItemId = nullptr;
  delete n;
}

void TCustomTreeView::FillDispInfo(TVITEMA& item) {
  TTreeNode* n = (item.mask & TVIF_PARAM) ? reinterpret_cast<TTreeNode*>(item.lParam)
                                          : FTreeNodes->GetNode(item.hItem);
  if (!n) return;
  if (item.mask & TVIF_IMAGE) {
    GetImageIndex(n);
    item.iImage = n->ImageIndex();
  }
  if (item.mask & TVIF_SELECTEDIMAGE) {
    GetSelectedIndex(n);
    item.iSelectedImage = n->SelectedIndex();
  }
}

LRESULT TCustomTreeView::AnswerCustomDraw(NMTVCUSTOMDRAW& cd) {
  if (cd.nmcd.dwDrawStage == CDDS_PREPAINT) {
    if (IsCustomDrawn(dtControl, cdPrePaint) &&
        !ViewSupport::DrawOnCanvas(Canvas(), cd.nmcd.hdc,
                                   [&] { return CustomDraw(cd.nmcd.rc, cdPrePaint); }))
      return CDRF_SKIPDEFAULT;
    return IsCustomDrawn(dtItem, cdPrePaint) ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  }
  if (cd.nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  auto* n = reinterpret_cast<TTreeNode*>(cd.nmcd.lItemlParam);
  return ViewSupport::DrawItemWithCanvas(Canvas(), Font(), cd.nmcd, cd.clrText, cd.clrTextBk, [&] {
    return CustomDrawItem(n, TCustomDrawState(cd.nmcd.uItemState), cdPrePaint);
  });
}

void TCustomTreeView::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY)
    HandleNotify(m);
  else if (!FNative->Answer(m))
    TWinControl::WndProc(m);
}

WI_REGISTER_CLASS(TTreeView);
