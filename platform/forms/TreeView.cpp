#include "platform/forms/TreeView.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/ViewSupport.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

struct win::TreeItemData {
  TreeItemData *parent = nullptr, *first = nullptr, *last = nullptr, *next = nullptr,
               *prev = nullptr;
  std::string text;
  bool textCallback = false;
  int image = 0, selImage = 0;
  int children = -2;  // -2: from the child items, -1: callback, 0/1: as set
  UINT state = 0;
  LPARAM lParam = 0;
  int textW = -1;  // the label text's width, measured for the horizontal bar
};

struct TCustomTreeView::Native {
  TreeItemData root;
  std::set<HTREEITEM> live;
  HTREEITEM caret = nullptr, drop = nullptr, top = nullptr, editing = nullptr;
  int indent = 19, itemHeight = 0;
  HIMAGELIST images = nullptr, stateImages = nullptr;
  COLORREF bk = CLR_NONE, text = CLR_NONE;
  std::unique_ptr<ViewSupport::TInPlaceEdit> edit;
  bool destroying = false;
  int xOff = 0;  // pixels scrolled to the left
  // What the scroll bars were last worked out for: the invalidations, the items, the font
  // the label widths were measured in.
  int barsInvalidate = -1;
  size_t barsItems = 0;
  HFONT barsFont = nullptr;
  bool syncingBars = false;
};

namespace {

// Brings the scroll bars up to date (private to the view).
constexpr UINT TVM_SYNCBARS = TV_FIRST + 0xFF;
// A line of horizontal scrolling, in pixels.
constexpr int kHorzLine = 8;

bool HasKids(TreeItemData* t) { return t->children == -2 ? t->first != nullptr : t->children != 0; }

int Level(TreeItemData* t) {
  int n = 0;
  while (t->parent && t->parent->parent) t = t->parent, ++n;
  return n;
}

}  // namespace

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
void TTreeNode::SetStateIndex(int v) {
  FStateIndex = v;
  TVITEMA it;
  it.mask = TVIF_STATE | TVIF_HANDLE;
  it.hItem = FItemId;
  it.stateMask = TVIS_STATEIMAGEMASK;
  it.state = UINT(std::clamp(v + 1, 0, 15)) << 12;
  Send(this, TVM_SETITEMA, 0, LPARAM(&it));
}
void TTreeNode::SetOverlayIndex(int v) {
  FOverlayIndex = v;
  TVITEMA it;
  it.mask = TVIF_STATE | TVIF_HANDLE;
  it.hItem = FItemId;
  it.stateMask = TVIS_OVERLAYMASK;
  it.state = v >= 0 ? INDEXTOOVERLAYMASK(v + 1) : 0;
  Send(this, TVM_SETITEMA, 0, LPARAM(&it));
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

void TTreeNode::SetState(UINT bit, bool v) {
  TVITEMA it;
  it.mask = TVIF_STATE | TVIF_HANDLE;
  it.hItem = FItemId;
  it.stateMask = bit;
  it.state = v ? bit : 0;
  Send(this, TVM_SETITEMA, 0, LPARAM(&it));
}

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
int TTreeNode::Index() const {
  int n = 0;
  for (TTreeNode* p = getPrevSibling(); p; p = p->getPrevSibling()) ++n;
  return n;
}
int TTreeNode::AbsoluteIndex() const {
  int n = -1;
  for (const TTreeNode* p = this; p; p = p->GetPrev()) ++n;
  return n;
}
int TTreeNode::Level() const {
  int n = 0;
  for (TTreeNode* p = Parent(); p; p = p->Parent()) ++n;
  return n;
}
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
  p.Enum("BorderStyle", &TCustomTreeView::BorderStyle, &TCustomTreeView::SetBorderStyle,
         {"bsNone", "bsSingle"}, bsSingle);
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
  p.Enum("SortType", &TCustomTreeView::SortType, &TCustomTreeView::SetSortType,
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
    : TWinControl(owner), FNative(new Native), FTreeNodes(new TTreeNodes(this)) {
  SetBounds(0, 0, 121, 97);
  SetTabStop(true);
  SetOwnColor(clWindow);
}

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
  if (FImages) FImages->UnRegisterChanges(this);
  if (FStateImages) FStateImages->UnRegisterChanges(this);
  if (FCanvas) delete FCanvas;
}

void TCustomTreeView::CreateWnd() { TWinControl::CreateWnd(); }
void TCustomTreeView::UpdateScrollBars() { Perform(TVM_SYNCBARS); }
void TCustomTreeView::DestroyWnd() { TWinControl::DestroyWnd(); }

TCanvas* TCustomTreeView::Canvas() {
  if (!FCanvas) FCanvas = new TCanvas;
  return FCanvas;
}

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

void TCustomTreeView::SetStyle(DWORD bits, bool on) {
  FStyle = on ? FStyle | bits : FStyle & ~bits;
  Invalidate();
}

void TCustomTreeView::SetSortType(TSortType v) {
  if (v == FSortType) return;
  FSortType = v;
  if (v != stNone) AlphaSort(true);
}

void TCustomTreeView::ImagesChanged() {
  Perform(TVM_SETIMAGELIST, TVSIL_NORMAL, LPARAM(FImages ? FImages->Handle() : nullptr));
  Perform(TVM_SETIMAGELIST, TVSIL_STATE, LPARAM(FStateImages ? FStateImages->Handle() : nullptr));
}

void TCustomTreeView::SetImages(TCustomImageList* v) {
  if (FImages) FImages->UnRegisterChanges(this);
  FImages = v;
  if (v) {
    v->RegisterChanges(this, [this] { ImagesChanged(); });
    v->FreeNotification(this);
  }
  ImagesChanged();
}

void TCustomTreeView::SetStateImages(TCustomImageList* v) {
  if (FStateImages) FStateImages->UnRegisterChanges(this);
  FStateImages = v;
  if (v) {
    v->RegisterChanges(this, [this] { ImagesChanged(); });
    v->FreeNotification(this);
  }
  ImagesChanged();
}

void TCustomTreeView::Notification(TComponent* c, TOperation op) {
  TWinControl::Notification(c, op);
  if (op != opRemove) return;
  if (c == FImages) SetImages(nullptr);
  if (c == FStateImages) SetStateImages(nullptr);
}

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
  THitTests r = 0;
  UINT f = hi.flags;
  if (f & TVHT_ABOVE) r |= htAbove;
  if (f & TVHT_BELOW) r |= htBelow;
  if (f & TVHT_NOWHERE) r |= htNowhere;
  if (f & TVHT_ONITEM) r |= htOnItem;
  if (f & TVHT_ONITEMBUTTON) r |= htOnButton;
  if (f & TVHT_ONITEMICON) r |= htOnIcon;
  if (f & TVHT_ONITEMINDENT) r |= htOnIndent;
  if (f & TVHT_ONITEMLABEL) r |= htOnLabel;
  if (f & TVHT_ONITEMRIGHT) r |= htOnRight;
  if (f & TVHT_ONITEMSTATEICON) r |= htOnStateIcon;
  if (f & TVHT_TOLEFT) r |= htToLeft;
  if (f & TVHT_TORIGHT) r |= htToRight;
  return r;
}

namespace {
int CALLBACK_DefaultCompare(LPARAM a, LPARAM b, LPARAM view) {
  auto* tv = reinterpret_cast<TCustomTreeView*>(view);
  auto* n1 = reinterpret_cast<TTreeNode*>(a);
  auto* n2 = reinterpret_cast<TTreeNode*>(b);
  int r = 0;
  if (tv->OnCompare)
    tv->OnCompare(tv, n1, n2, 0, r);
  else
    r = AnsiCompareText(n1->Text(), n2->Text());
  return r;
}
}  // namespace

bool TCustomTreeView::AlphaSort(bool recurse) { return CustomSort(nullptr, 0, recurse); }

bool TCustomTreeView::CustomSort(TTVCompare proc, LPARAM data, bool recurse) {
  TVSORTCB cb{TVI_ROOT, proc ? proc : CALLBACK_DefaultCompare, proc ? data : LPARAM(this)};
  Perform(TVM_SORTCHILDRENCB, 0, LPARAM(&cb));
  if (recurse)
    for (TTreeNode* n = FTreeNodes->GetFirstNode(); n; n = n->GetNext())
      if (n->GetFirstChild()) {
        cb.hParent = n->ItemId();
        Perform(TVM_SORTCHILDRENCB, 0, LPARAM(&cb));
      }
  return true;
}

void TCustomTreeView::FullExpand() {
  for (TTreeNode* n = FTreeNodes->GetFirstNode(); n; n = n->getNextSibling()) n->Expand(true);
}
void TCustomTreeView::FullCollapse() {
  for (TTreeNode* n = FTreeNodes->GetFirstNode(); n; n = n->getNextSibling()) n->Collapse(true);
}

bool TCustomTreeView::CanExpand(TTreeNode* node) {
  bool allow = true;
  OnExpanding(this, node, allow);
  return allow;
}
bool TCustomTreeView::CanCollapse(TTreeNode* node) {
  bool allow = true;
  OnCollapsing(this, node, allow);
  return allow;
}
bool TCustomTreeView::CanChange(TTreeNode* node) {
  bool allow = true;
  OnChanging(this, node, allow);
  return allow;
}
bool TCustomTreeView::CanEdit(TTreeNode* node) {
  bool allow = true;
  OnEditing(this, node, allow);
  return allow;
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
  bool def = true;
  if (stage == cdPrePaint) OnCustomDraw(this, rect, def);
  return def;
}
bool TCustomTreeView::CustomDrawItem(TTreeNode* node, TCustomDrawState state,
                                     TCustomDrawStage stage) {
  bool def = true;
  if (stage == cdPrePaint) OnCustomDrawItem(this, node, state, def);
  return def;
}

bool TCustomTreeView::WantsKey(WORD key) const {
  return key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT ||
         (FNative->editing && (key == VK_RETURN || key == VK_ESCAPE));
}

void TCustomTreeView::HandleNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  auto nodeOf = [&](const TVITEMA& it) { return reinterpret_cast<TTreeNode*>(it.lParam); };
  switch (hdr->code) {
    case TVN_SELCHANGINGA: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      m.Result = !CanChange(nodeOf(nm->itemNew));
      return;
    }
    case TVN_SELCHANGEDA:
      Change(nodeOf(reinterpret_cast<NMTREEVIEWA*>(hdr)->itemNew));
      return;
    case TVN_ITEMEXPANDINGA: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      TTreeNode* n = nodeOf(nm->itemNew);
      m.Result = (nm->action & 3) == TVE_EXPAND ? !CanExpand(n) : !CanCollapse(n);
      return;
    }
    case TVN_ITEMEXPANDEDA: {
      auto* nm = reinterpret_cast<NMTREEVIEWA*>(hdr);
      if ((nm->action & 3) == TVE_EXPAND)
        Expand(nodeOf(nm->itemNew));
      else
        Collapse(nodeOf(nm->itemNew));
      return;
    }
    case TVN_DELETEITEMA: {
      TTreeNode* n = nodeOf(reinterpret_cast<NMTREEVIEWA*>(hdr)->itemOld);
      if (!n) return;
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
      return;
    }
    case TVN_BEGINLABELEDITA: {
      auto* nm = reinterpret_cast<NMTVDISPINFOA*>(hdr);
      m.Result = !CanEdit(FTreeNodes->GetNode(nm->item.hItem));
      return;
    }
    case TVN_ENDLABELEDITA:
      Edit(reinterpret_cast<NMTVDISPINFOA*>(hdr)->item);
      m.Result = 0;
      return;
    case TVN_GETDISPINFOA: {
      auto* nm = reinterpret_cast<NMTVDISPINFOA*>(hdr);
      TTreeNode* n =
          (nm->item.mask & TVIF_PARAM) ? nodeOf(nm->item) : FTreeNodes->GetNode(nm->item.hItem);
      if (!n) return;
      if (nm->item.mask & TVIF_IMAGE) {
        GetImageIndex(n);
        nm->item.iImage = n->ImageIndex();
      }
      if (nm->item.mask & TVIF_SELECTEDIMAGE) {
        GetSelectedIndex(n);
        nm->item.iSelectedImage = n->SelectedIndex();
      }
      return;
    }
    case NM_CUSTOMDRAW: {
      auto* cd = reinterpret_cast<NMTVCUSTOMDRAW*>(hdr);
      m.Result = CDRF_DODEFAULT;
      if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) {
        if (IsCustomDrawn(dtControl, cdPrePaint)) {
          Canvas()->SetHandle(cd->nmcd.hdc);
          bool def = CustomDraw(cd->nmcd.rc, cdPrePaint);
          Canvas()->SetHandle(nullptr);
          if (!def) {
            m.Result = CDRF_SKIPDEFAULT;
            return;
          }
        }
        if (IsCustomDrawn(dtItem, cdPrePaint)) m.Result |= CDRF_NOTIFYITEMDRAW;
      } else if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
        TTreeNode* n = reinterpret_cast<TTreeNode*>(cd->nmcd.lItemlParam);
        m.Result = ViewSupport::DrawItemWithCanvas(
            Canvas(), Font(), cd->nmcd, cd->clrText, cd->clrTextBk,
            [&] { return CustomDrawItem(n, TCustomDrawState(cd->nmcd.uItemState), cdPrePaint); });
      }
      return;
    }
    default:
      return;
  }
}

void TCustomTreeView::WndProc(TMessage& m) {
  if (m.Msg == CN_NOTIFY) {
    HandleNotify(m);
    return;
  }
  bool handled = false;
  LRESULT r = NativeMessage(m, handled);
  if (handled) {
    m.Result = r;
    return;
  }
  TWinControl::WndProc(m);
}

// --- The tree view window ------------------------------------------------------------------

namespace {

struct Geometry {
  int border, rowH, indent, imgW, imgH, stateW;
  int right, bottom;  // the client area's right and bottom edges (the bars are beyond)
  bool rootLines;
};

void Unlink(TreeItemData* t) {
  TreeItemData* p = t->parent;
  (t->prev ? t->prev->next : p->first) = t->next;
  (t->next ? t->next->prev : p->last) = t->prev;
  t->next = t->prev = nullptr;
}

void LinkAfter(TreeItemData* p, TreeItemData* after, TreeItemData* t) {
  t->parent = p;
  t->prev = after;
  t->next = after ? after->next : p->first;
  (t->next ? t->next->prev : p->last) = t;
  (after ? after->next : p->first) = t;
}

bool IsDescendant(TreeItemData* t, TreeItemData* of) {
  for (TreeItemData* p = t ? t->parent : nullptr; p; p = p->parent)
    if (p == of) return true;
  return false;
}

}  // namespace

LRESULT TCustomTreeView::NativeMessage(TMessage& m, bool& handled) {
  Native& N = *FNative;
  handled = true;
  auto valid = [&](HTREEITEM h) { return h && N.live.count(h) > 0; };
  auto geo = [&]() {
    Geometry g{};
    g.border = FBorderStyle == bsSingle ? 2 : 0;
    ImageList_GetIconSize(N.images, &g.imgW, &g.imgH);
    ImageList_GetIconSize(N.stateImages, &g.stateW, nullptr);
    g.rowH = N.itemHeight > 0 ? N.itemHeight
                              : std::max({ViewSupport::TextHeight(Font()) + 3, g.imgH + 1, 16});
    g.indent = N.indent;
    g.rootLines = (FStyle & TVS_LINESATROOT) && (FStyle & (TVS_HASLINES | TVS_HASBUTTONS));
    RECT client = ClientBounds();
    g.right = client.right, g.bottom = client.bottom;
    return g;
  };
  // Rows shown when scrolled to the top.
  auto visibleRows = [&]() {
    std::vector<HTREEITEM> rows;
    std::function<void(TreeItemData*)> walk = [&](TreeItemData* p) {
      for (TreeItemData* c = p->first; c; c = c->next) {
        rows.push_back(c);
        if (c->state & TVIS_EXPANDED) walk(c);
      }
    };
    walk(&N.root);
    return rows;
  };
  auto pageRows = [&]() {
    Geometry g = geo();
    return std::max(1, (g.bottom - g.border) / g.rowH);
  };
  auto rowOf = [&](const std::vector<HTREEITEM>& rows, HTREEITEM h) {
    auto it = std::find(rows.begin(), rows.end(), h);
    return it == rows.end() ? -1 : int(it - rows.begin());
  };
  auto topRow = [&](const std::vector<HTREEITEM>& rows) {
    int t = N.top ? rowOf(rows, N.top) : 0;
    return std::max(0, t);
  };
  auto getText = [&](HTREEITEM t) -> std::string {
    if (!t->textCallback) return t->text;
    char buf[1024] = "";
    NMTVDISPINFOA di;
    di.item.mask = TVIF_TEXT;
    di.item.hItem = t;
    di.item.lParam = t->lParam;
    di.item.pszText = buf;
    di.item.cchTextMax = sizeof buf;
    ViewSupport::Notify(this, TVN_GETDISPINFOA, &di.hdr);
    return di.item.pszText && di.item.pszText != LPSTR_TEXTCALLBACKA ? di.item.pszText : "";
  };
  auto getImages = [&](HTREEITEM t, int& img, int& sel) {
    img = t->image, sel = t->selImage;
    if (img != I_IMAGECALLBACK && sel != I_IMAGECALLBACK) return;
    NMTVDISPINFOA di;
    di.item.mask = (img == I_IMAGECALLBACK ? TVIF_IMAGE : 0) |
                   (sel == I_IMAGECALLBACK ? TVIF_SELECTEDIMAGE : 0);
    di.item.hItem = t;
    di.item.lParam = t->lParam;
    ViewSupport::Notify(this, TVN_GETDISPINFOA, &di.hdr);
    if (img == I_IMAGECALLBACK) img = di.item.iImage;
    if (sel == I_IMAGECALLBACK) sel = di.item.iSelectedImage;
  };
  auto hasKids = [&](HTREEITEM t) {
    if (t->children != I_CHILDRENCALLBACK) return HasKids(t);
    NMTVDISPINFOA di;
    di.item.mask = TVIF_CHILDREN;
    di.item.hItem = t;
    di.item.lParam = t->lParam;
    ViewSupport::Notify(this, TVN_GETDISPINFOA, &di.hdr);
    return di.item.cChildren != 0;
  };
  // Left edge of the item's icon (or label) column, the view scrolled by xOff.
  auto itemX = [&](const Geometry& g, HTREEITEM t) {
    return g.border + g.indent * (Level(t) + (g.rootLines ? 1 : 0)) + 3 - N.xOff;
  };
  // The label of an item whose text is textW wide (-1: measured now).
  auto labelRect = [&](const Geometry& g, HTREEITEM t, int row, int textW = -1) {
    int x = itemX(g, t) + (g.stateW ? g.stateW : 0) + (g.imgW ? g.imgW + 3 : 0);
    int y = g.border + row * g.rowH;
    if (textW < 0) textW = ViewSupport::TextWidth(Font(), getText(t));
    return RECT{x, y, x + textW + 4, y + g.rowH};
  };
  auto treeItem = [&](HTREEITEM t, UINT mask = TVIF_PARAM | TVIF_STATE | TVIF_HANDLE) {
    TVITEMA it;
    it.mask = mask;
    it.hItem = t;
    if (t) it.state = t->state, it.lParam = t->lParam;
    return it;
  };
  std::function<bool(HTREEITEM, UINT, UINT)> select;
  std::function<BOOL(HTREEITEM, UINT)> expand;
  // Scrolls the item into view (across too when asked: TVM_ENSUREVISIBLE).
  auto ensureVisible = [&](HTREEITEM t, bool across = false) {
    for (TreeItemData* p = t->parent; p && p != &N.root; p = p->parent)
      if (!(p->state & TVIS_EXPANDED)) expand(p, TVE_EXPAND);
    auto rows = visibleRows();
    int r = rowOf(rows, t), top = topRow(rows), page = pageRows();
    if (r < 0) return;
    if (r < top)
      N.top = rows[size_t(r)];
    else if (r >= top + page)
      N.top = rows[size_t(r - page + 1)];
    if (!across) return;
    // Across, the label comes into view, its start first.
    Geometry g = geo();
    RECT lr = labelRect(g, t, 0);
    if (lr.right > g.right)
      N.xOff += std::min<int>(lr.right - g.right, lr.left - g.border);
    else if (lr.left < g.border)
      N.xOff -= g.border - lr.left;
    N.xOff = std::max(0, N.xOff);
  };
  select = [&](HTREEITEM t, UINT code, UINT action) -> bool {
    if (code == TVGN_DROPHILITE) {
      if (N.drop) N.drop->state &= ~TVIS_DROPHILITED;
      N.drop = t;
      if (t) t->state |= TVIS_DROPHILITED;
      Invalidate();
      return true;
    }
    if (code == TVGN_FIRSTVISIBLE) {
      if (!t) return false;
      ensureVisible(t);
      auto rows = visibleRows();
      int r = rowOf(rows, t), maxTop = std::max(0, int(rows.size()) - pageRows());
      N.top = rows[size_t(std::min(r, maxTop))];
      Invalidate();
      return true;
    }
    if (t == N.caret) {
      if (t) ensureVisible(t);
      return true;
    }
    NMTREEVIEWA nm;
    nm.action = action;
    nm.itemOld = treeItem(N.caret);
    nm.itemNew = treeItem(t);
    if (ViewSupport::Notify(this, TVN_SELCHANGINGA, &nm.hdr)) return false;
    if (N.caret && valid(N.caret)) N.caret->state &= ~(TVIS_SELECTED | TVIS_FOCUSED);
    N.caret = t;
    if (t) {
      t->state |= TVIS_SELECTED | TVIS_FOCUSED;
      ensureVisible(t);
    }
    nm.itemNew = treeItem(t);
    ViewSupport::Notify(this, TVN_SELCHANGEDA, &nm.hdr);
    Invalidate();
    return true;
  };
  expand = [&](HTREEITEM t, UINT code) -> BOOL {
    UINT action = code & 3;
    bool isOpen = t->state & TVIS_EXPANDED;
    if (action == TVE_TOGGLE) action = isOpen ? TVE_COLLAPSE : TVE_EXPAND;
    if (action == TVE_EXPAND && isOpen) return TRUE;
    if (action == TVE_COLLAPSE && !isOpen) return (code & TVE_COLLAPSERESET) ? TRUE : FALSE;
    if (action == TVE_EXPAND && !hasKids(t)) return FALSE;
    NMTREEVIEWA nm;
    nm.action = action;
    nm.itemNew = treeItem(t);
    if (ViewSupport::Notify(this, TVN_ITEMEXPANDINGA, &nm.hdr)) return FALSE;
    if (!valid(t)) return FALSE;
    if (action == TVE_EXPAND) {
      t->state |= TVIS_EXPANDEDONCE;
      if (t->first) t->state |= TVIS_EXPANDED;
    } else {
      t->state &= ~TVIS_EXPANDED;
      if (N.caret && IsDescendant(N.caret, t)) select(t, TVGN_CARET, TVC_UNKNOWN);
      if (N.top && IsDescendant(N.top, t)) N.top = t;
      if (code & TVE_COLLAPSERESET) {
        while (t->first) Perform(TVM_DELETEITEM, 0, LPARAM(t->first));
        t->state &= ~TVIS_EXPANDEDONCE;
      }
    }
    nm.itemNew = treeItem(t);
    ViewSupport::Notify(this, TVN_ITEMEXPANDEDA, &nm.hdr);
    Invalidate();
    return TRUE;
  };
  auto endEdit = [&](bool cancel) -> BOOL {
    if (!N.editing) return FALSE;
    HTREEITEM t = N.editing;
    std::string text = N.edit->Text();
    N.editing = nullptr;
    N.edit->OnDone = nullptr;
    N.edit->Hide();
    NMTVDISPINFOA di;
    di.item = treeItem(t, TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE);
    di.item.pszText = cancel ? nullptr : text.data();
    di.item.cchTextMax = int(text.size() + 1);
    if (ViewSupport::Notify(this, TVN_ENDLABELEDITA, &di.hdr) && !cancel && valid(t))
      t->text = text;
    if (CanFocus()) SetFocus();
    Invalidate();
    return TRUE;
  };
  auto editLabel = [&](HTREEITEM t) -> HWND {
    if (!valid(t) || !(FStyle & TVS_EDITLABELS)) return nullptr;
    if (N.editing) endEdit(false);
    select(t, TVGN_CARET, TVC_UNKNOWN);
    NMTVDISPINFOA di;
    di.item = treeItem(t, TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE | TVIF_STATE);
    std::string text = getText(t);
    di.item.pszText = text.data();
    if (ViewSupport::Notify(this, TVN_BEGINLABELEDITA, &di.hdr) || !valid(t)) return nullptr;
    Geometry g = geo();
    auto rows = visibleRows();
    RECT r = labelRect(g, t, rowOf(rows, t) - topRow(rows));
    N.editing = t;
    return ViewSupport::OpenLabelEditor(this, N.edit, r, 40, text, TVM_ENDEDITLABELNOW);
  };
  auto hitTest = [&](TVHITTESTINFO* hi) -> HTREEITEM {
    Geometry g = geo();
    hi->flags = 0;
    hi->hItem = nullptr;
    int x = hi->pt.x, y = hi->pt.y;
    if (x < g.border) hi->flags |= TVHT_TOLEFT;
    if (x >= g.right) hi->flags |= TVHT_TORIGHT;
    if (y < g.border) hi->flags |= TVHT_ABOVE;
    if (y >= g.bottom) hi->flags |= TVHT_BELOW;
    if (hi->flags) return nullptr;
    auto rows = visibleRows();
    int row = topRow(rows) + (y - g.border) / g.rowH;
    if (row >= int(rows.size())) {
      hi->flags = TVHT_NOWHERE;
      return nullptr;
    }
    HTREEITEM t = rows[size_t(row)];
    hi->hItem = t;
    int ix = itemX(g, t);
    RECT lr = labelRect(g, t, 0);
    if (x < ix) {
      bool button = (FStyle & TVS_HASBUTTONS) && hasKids(t) && (Level(t) > 0 || g.rootLines);
      hi->flags = button && x >= ix - g.indent ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
    } else if (g.stateW && x < ix + g.stateW) {
      hi->flags = TVHT_ONITEMSTATEICON;
    } else if (x < lr.left) {
      hi->flags = TVHT_ONITEMICON;
    } else if (x < lr.right) {
      hi->flags = TVHT_ONITEMLABEL;
    } else {
      hi->flags = TVHT_ONITEMRIGHT;
    }
    return t;
  };

  // The bars: rows shown (page: the whole rows that fit) and the widest row in pixels.
  auto syncBars = [&](bool force) {
    if (N.syncingBars ||
        (!force && N.barsInvalidate == InvalidateCount() && N.barsItems == N.live.size()))
      return;
    N.syncingBars = true;
    HFONT font = ControlPaint::FontHandle(Font());
    if (font != N.barsFont) {
      for (HTREEITEM t : N.live) t->textW = -1;
      N.barsFont = font;
    }
    bool fixed = FStyle & TVS_NOSCROLL;
    auto rows = visibleRows();
    Geometry g0 = geo();
    int width = 0;
    for (HTREEITEM t : fixed ? std::vector<HTREEITEM>{} : rows) {
      if (t->textW < 0) t->textW = ViewSupport::TextWidth(Font(), getText(t));
      width = std::max<int>(width, labelRect(g0, t, 0, t->textW).right + N.xOff - g0.border);
    }
    ScrollBars::Settle(this, [&] {
      Geometry g = geo();
      int top = ScrollBars::SetBar(this, SB_VERT, 0, fixed ? 0 : int(rows.size()) - 1, pageRows(),
                                   topRow(rows));
      N.top = rows.empty() ? nullptr : rows[size_t(top)];
      N.xOff = ScrollBars::SetBar(this, SB_HORZ, 0, width - 1, g.right - g.border, N.xOff);
    });
    N.barsInvalidate = InvalidateCount();
    N.barsItems = N.live.size();
    N.syncingBars = false;
  };
  // Scrolls to a new top row or left edge (clamped), as the bars and the wheel ask.
  auto scrollTo = [&](int bar, int to) {
    if (N.editing) endEdit(false);
    if (bar == SB_VERT) {
      auto rows = visibleRows();
      if (rows.empty()) return;
      N.top = rows[size_t(std::clamp(to, 0, std::max(0, int(rows.size()) - pageRows())))];
    } else {
      SCROLLINFO si;
      si.fMask = SIF_RANGE | SIF_PAGE;
      ScrollBars::GetInfo(this, SB_HORZ, si);
      N.xOff = std::clamp(to, 0, std::max(0, si.nMax + 1 - int(si.nPage)));
    }
    Invalidate();
    syncBars(true);
  };

  // Messages whose answer depends on what shows take the bars as they are now.
  switch (m.Msg) {
    case WM_PAINT:
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case TVM_HITTEST:
    case TVM_GETITEMRECT:
    case TVM_ENSUREVISIBLE:
    case TVM_SELECTITEM:
    case TVM_GETVISIBLECOUNT:
    case TVM_EDITLABELA:
    case TVM_SYNCBARS:
      syncBars(false);
      break;
    case TVM_GETNEXTITEM:
      if (m.WParam == TVGN_FIRSTVISIBLE || m.WParam == TVGN_NEXTVISIBLE ||
          m.WParam == TVGN_PREVIOUSVISIBLE)
        syncBars(false);
      break;
    default:
      break;
  }

  switch (m.Msg) {
    case TVM_SYNCBARS:
      return 0;
    case WM_VSCROLL: {
      auto rows = visibleRows();
      scrollTo(SB_VERT,
               ScrollBars::ScrollTarget(this, SB_VERT, m.WParam, topRow(rows), 1, pageRows()));
      return 0;
    }
    case WM_HSCROLL: {
      Geometry g = geo();
      scrollTo(SB_HORZ, ScrollBars::ScrollTarget(this, SB_HORZ, m.WParam, N.xOff, kHorzLine,
                                                 g.right - g.border));
      return 0;
    }
    case WM_MOUSEWHEEL: {
      if (int lines = ScrollBars::WheelLines(this, m)) {
        auto rows = visibleRows();
        scrollTo(SB_VERT, topRow(rows) + lines);
      }
      return 0;
    }
    case TVM_INSERTITEMA: {
      auto* ins = reinterpret_cast<TVINSERTSTRUCTA*>(m.LParam);
      if (!ins) return 0;
      TreeItemData* parent = ins->hParent == TVI_ROOT || !ins->hParent ? &N.root : ins->hParent;
      if (parent != &N.root && !valid(parent)) return 0;
      auto* t = new TreeItemData;
      const TVITEMA& it = ins->item;
      if (it.mask & TVIF_TEXT) {
        t->textCallback = it.pszText == LPSTR_TEXTCALLBACKA;
        if (!t->textCallback && it.pszText) t->text = it.pszText;
      }
      if (it.mask & TVIF_IMAGE) t->image = it.iImage;
      if (it.mask & TVIF_SELECTEDIMAGE) t->selImage = it.iSelectedImage;
      if (it.mask & TVIF_CHILDREN)
        t->children = it.cChildren == I_CHILDRENCALLBACK ? -1 : it.cChildren ? 1 : 0;
      if (it.mask & TVIF_STATE)
        t->state = it.state & it.stateMask & ~(TVIS_SELECTED | TVIS_FOCUSED);
      if (it.mask & TVIF_PARAM) t->lParam = it.lParam;
      TreeItemData* after = parent->last;
      if (ins->hInsertAfter == TVI_FIRST)
        after = nullptr;
      else if (ins->hInsertAfter == TVI_SORT) {
        std::string mine = getText(t);
        after = nullptr;
        for (TreeItemData* c = parent->first; c && AnsiCompareText(getText(c), mine) <= 0;
             c = c->next)
          after = c;
      } else if (ins->hInsertAfter != TVI_LAST && valid(ins->hInsertAfter) &&
                 ins->hInsertAfter->parent == parent) {
        after = ins->hInsertAfter;
      }
      LinkAfter(parent, after, t);
      N.live.insert(t);
      if (FTreeNodes->UpdateCount() == 0) Invalidate();
      return LRESULT(t);
    }
    case TVM_DELETEITEM: {
      HTREEITEM h = HTREEITEM(m.LParam);
      bool all = h == TVI_ROOT || !h;
      if (!all && !valid(h)) return FALSE;
      if (N.editing && (all || N.editing == h || IsDescendant(N.editing, h))) endEdit(true);
      TreeItemData* t = all ? &N.root : h;
      HTREEITEM nextSel = nullptr;
      bool caretGoes = N.caret && (all || N.caret == t || IsDescendant(N.caret, t));
      if (caretGoes && !all)
        nextSel = t->next                ? t->next
                  : t->prev              ? t->prev
                  : t->parent != &N.root ? t->parent
                                         : nullptr;
      if (caretGoes) {
        N.caret = nullptr;
      }
      std::function<void(TreeItemData*)> kill = [&](TreeItemData* x) {
        while (x->first) kill(x->first);
        if (x == &N.root) return;
        NMTREEVIEWA nm;
        nm.itemOld = treeItem(x);
        ViewSupport::Notify(this, TVN_DELETEITEMA, &nm.hdr);
        Unlink(x);
        N.live.erase(x);
        if (N.drop == x) N.drop = nullptr;
        if (N.top == x) N.top = nullptr;
        delete x;
      };
      if (N.top && (all || N.top == t || IsDescendant(N.top, t)))
        N.top = all ? nullptr : t->prev ? t->prev : t->parent != &N.root ? t->parent : nullptr;
      kill(t);
      if (caretGoes) {
        // The selection moves on, as it would for the user, with its notifications.
        NMTREEVIEWA nm;
        nm.itemNew = treeItem(nextSel);
        if (nextSel) {
          nextSel->state |= TVIS_SELECTED | TVIS_FOCUSED;
          N.caret = nextSel;
        }
        if (!all) ViewSupport::Notify(this, TVN_SELCHANGEDA, &nm.hdr);
      }
      Invalidate();
      return TRUE;
    }
    case TVM_EXPAND:
      return valid(HTREEITEM(m.LParam)) ? expand(HTREEITEM(m.LParam), UINT(m.WParam)) : FALSE;
    case TVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      if (!r) return FALSE;
      HTREEITEM t = nullptr;
      std::memcpy(&t, r, sizeof t);
      if (!valid(t)) return FALSE;
      auto rows = visibleRows();
      int row = rowOf(rows, t);
      if (row < 0) return FALSE;
      Geometry g = geo();
      row -= topRow(rows);
      if (m.WParam)
        *r = labelRect(g, t, row);
      else
        *r = RECT{g.border, g.border + row * g.rowH, g.right, g.border + (row + 1) * g.rowH};
      return TRUE;
    }
    case TVM_GETCOUNT:
      return LRESULT(N.live.size());
    case TVM_GETINDENT:
      return N.indent;
    case TVM_SETINDENT:
      N.indent = std::max(int(m.WParam), 8);
      Invalidate();
      return 0;
    case TVM_GETIMAGELIST:
      return LRESULT(m.WParam == TVSIL_STATE ? N.stateImages : N.images);
    case TVM_SETIMAGELIST: {
      HIMAGELIST& slot = m.WParam == TVSIL_STATE ? N.stateImages : N.images;
      HIMAGELIST old = slot;
      slot = HIMAGELIST(m.LParam);
      Invalidate();
      return LRESULT(old);
    }
    case TVM_GETNEXTITEM: {
      HTREEITEM t = HTREEITEM(m.LParam);
      UINT code = UINT(m.WParam);
      auto needItem = [&] { return valid(t); };
      switch (code) {
        case TVGN_ROOT:
          return LRESULT(N.root.first);
        case TVGN_CARET:
          return LRESULT(N.caret);
        case TVGN_DROPHILITE:
          return LRESULT(N.drop);
        case TVGN_FIRSTVISIBLE: {
          auto rows = visibleRows();
          return rows.empty() ? 0 : LRESULT(rows[size_t(topRow(rows))]);
        }
        case TVGN_LASTVISIBLE: {
          auto rows = visibleRows();
          return rows.empty() ? 0 : LRESULT(rows.back());
        }
        case TVGN_NEXT:
          return needItem() ? LRESULT(t->next) : 0;
        case TVGN_PREVIOUS:
          return needItem() ? LRESULT(t->prev) : 0;
        case TVGN_PARENT:
          return needItem() && t->parent != &N.root ? LRESULT(t->parent) : 0;
        case TVGN_CHILD:
          return t == nullptr || t == TVI_ROOT ? LRESULT(N.root.first)
                 : needItem()                  ? LRESULT(t->first)
                                               : 0;
        case TVGN_NEXTVISIBLE:
        case TVGN_PREVIOUSVISIBLE: {
          if (!needItem()) return 0;
          auto rows = visibleRows();
          int r = rowOf(rows, t);
          if (r < 0) return 0;
          r += code == TVGN_NEXTVISIBLE ? 1 : -1;
          return r >= 0 && r < int(rows.size()) ? LRESULT(rows[size_t(r)]) : 0;
        }
        default:
          return 0;
      }
    }
    case TVM_SELECTITEM: {
      HTREEITEM t = HTREEITEM(m.LParam);
      if (t && !valid(t)) return FALSE;
      return select(t, UINT(m.WParam), TVC_UNKNOWN);
    }
    case TVM_GETITEMA: {
      auto* it = reinterpret_cast<TVITEMA*>(m.LParam);
      if (!it || !valid(it->hItem)) return FALSE;
      HTREEITEM t = it->hItem;
      if (it->mask & TVIF_TEXT) {
        if (t->textCallback)
          it->pszText = LPSTR_TEXTCALLBACKA;
        else if (it->pszText && it->cchTextMax > 0) {
          size_t n = std::min(t->text.size(), size_t(it->cchTextMax - 1));
          std::memcpy(it->pszText, t->text.data(), n);
          it->pszText[n] = 0;
        }
      }
      if (it->mask & TVIF_IMAGE) it->iImage = t->image;
      if (it->mask & TVIF_SELECTEDIMAGE) it->iSelectedImage = t->selImage;
      if (it->mask & TVIF_CHILDREN)
        it->cChildren = t->children == -1 ? I_CHILDRENCALLBACK : HasKids(t) ? 1 : 0;
      if (it->mask & TVIF_STATE) it->state = t->state & (it->stateMask ? it->stateMask : ~0u);
      if (it->mask & TVIF_PARAM) it->lParam = t->lParam;
      return TRUE;
    }
    case TVM_SETITEMA: {
      auto* it = reinterpret_cast<TVITEMA*>(m.LParam);
      if (!it || !valid(it->hItem)) return FALSE;
      HTREEITEM t = it->hItem;
      if (it->mask & TVIF_TEXT) {
        t->textCallback = it->pszText == LPSTR_TEXTCALLBACKA;
        t->text = t->textCallback || !it->pszText ? std::string() : std::string(it->pszText);
        t->textW = -1;
      }
      if (it->mask & TVIF_IMAGE) t->image = it->iImage;
      if (it->mask & TVIF_SELECTEDIMAGE) t->selImage = it->iSelectedImage;
      if (it->mask & TVIF_CHILDREN)
        t->children = it->cChildren == I_CHILDRENCALLBACK ? -1 : it->cChildren ? 1 : 0;
      if (it->mask & TVIF_PARAM) t->lParam = it->lParam;
      if (it->mask & TVIF_STATE) {
        UINT mask = it->stateMask & ~(TVIS_SELECTED | TVIS_DROPHILITED);
        t->state = (t->state & ~mask) | (it->state & mask);
        if (it->stateMask & TVIS_DROPHILITED)
          select((it->state & TVIS_DROPHILITED) ? t
                 : N.drop == t                  ? nullptr
                                                : N.drop,
                 TVGN_DROPHILITE, 0);
      }
      Invalidate();
      return TRUE;
    }
    case TVM_GETITEMSTATE:
      return valid(HTREEITEM(m.WParam)) ? LRESULT(HTREEITEM(m.WParam)->state & UINT(m.LParam)) : 0;
    case TVM_EDITLABELA:
      return LRESULT(editLabel(HTREEITEM(m.LParam)));
    case TVM_GETEDITCONTROL:
      return N.editing ? LRESULT(N.edit->Handle()) : 0;
    case TVM_ENDEDITLABELNOW:
      return endEdit(m.WParam != 0);
    case TVM_GETVISIBLECOUNT:
      return pageRows();
    case TVM_HITTEST:
      return m.LParam ? LRESULT(hitTest(reinterpret_cast<TVHITTESTINFO*>(m.LParam))) : 0;
    case TVM_ENSUREVISIBLE: {
      HTREEITEM t = HTREEITEM(m.LParam);
      if (!valid(t)) return FALSE;
      ensureVisible(t, true);
      Invalidate();
      return TRUE;
    }
    case TVM_SORTCHILDREN:
    case TVM_SORTCHILDRENCB: {
      TVSORTCB cb;
      if (m.Msg == TVM_SORTCHILDRENCB) {
        if (!m.LParam) return FALSE;
        cb = *reinterpret_cast<TVSORTCB*>(m.LParam);
      } else {
        cb.hParent = HTREEITEM(m.LParam);
      }
      TreeItemData* p = cb.hParent == TVI_ROOT || !cb.hParent ? &N.root : cb.hParent;
      if (p != &N.root && !valid(p)) return FALSE;
      std::function<void(TreeItemData*, bool)> sortKids = [&](TreeItemData* parent, bool recurse) {
        std::vector<TreeItemData*> kids;
        for (TreeItemData* c = parent->first; c; c = c->next) kids.push_back(c);
        std::stable_sort(kids.begin(), kids.end(), [&](TreeItemData* a, TreeItemData* b) {
          return cb.lpfnCompare ? cb.lpfnCompare(a->lParam, b->lParam, cb.lParam) < 0
                                : AnsiCompareText(getText(a), getText(b)) < 0;
        });
        parent->first = parent->last = nullptr;
        for (TreeItemData* c : kids) LinkAfter(parent, parent->last, c);
        if (recurse)
          for (TreeItemData* c : kids) sortKids(c, true);
      };
      sortKids(p, m.Msg == TVM_SORTCHILDREN && m.WParam);
      Invalidate();
      return TRUE;
    }
    case TVM_SETITEMHEIGHT: {
      int old = geo().rowH;
      N.itemHeight = int(std::intptr_t(m.WParam)) < 1 ? 0 : int(m.WParam);
      Invalidate();
      return old;
    }
    case TVM_GETITEMHEIGHT:
      return geo().rowH;
    case TVM_SETBKCOLOR:
      return LRESULT(std::exchange(N.bk, COLORREF(m.LParam)));
    case TVM_GETBKCOLOR:
      return LRESULT(N.bk);
    case TVM_SETTEXTCOLOR:
      return LRESULT(std::exchange(N.text, COLORREF(m.LParam)));
    case TVM_GETTEXTCOLOR:
      return LRESULT(N.text);
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: {
      if (!Enabled()) return 0;
      if (N.editing) endEdit(false);
      TVHITTESTINFO hi;
      hi.pt = {short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
      HTREEITEM t = hitTest(&hi);
      if (CanFocus() && !Focused()) SetFocus();
      NMHDR hdr;
      if (m.Msg == WM_RBUTTONDOWN) {
        if (t && FRightClickSelect && (hi.flags & TVHT_ONITEM)) select(t, TVGN_CARET, TVC_BYMOUSE);
        if (!ViewSupport::Notify(this, NM_RCLICK, &hdr))
          Perform(WM_CONTEXTMENU, WPARAM(Handle()), m.LParam);
        return 0;
      }
      if (m.Msg == WM_LBUTTONDBLCLK) {
        if (!ViewSupport::Notify(this, NM_DBLCLK, &hdr) && t && (hi.flags & TVHT_ONITEM))
          expand(t, TVE_TOGGLE);
        DblClick();
        return 0;
      }
      ViewSupport::Notify(this, NM_CLICK, &hdr);
      if (!t || !valid(t)) return 0;
      if (hi.flags & TVHT_ONITEMBUTTON)
        expand(t, TVE_TOGGLE);
      else if (hi.flags & (TVHT_ONITEM | ((FStyle & TVS_FULLROWSELECT) ? TVHT_ONITEMRIGHT : 0u))) {
        bool wasCaret = t == N.caret;
        select(t, TVGN_CARET, TVC_BYMOUSE);
        if (wasCaret && (hi.flags & TVHT_ONITEMLABEL) && (FStyle & TVS_EDITLABELS)) {
          // A second click on the selected label edits it (the system waits; we do at once).
        }
      }
      Click();
      return 0;
    }
    case WM_KEYDOWN: {
      WORD key = WORD(m.WParam);
      KeyDown(key, KeyboardShiftState());
      if (!key) return 0;
      NMTVKEYDOWN kd;
      kd.wVKey = key;
      ViewSupport::Notify(this, TVN_KEYDOWN, &kd.hdr);
      auto rows = visibleRows();
      if (rows.empty()) return 0;
      HTREEITEM cur = N.caret;
      int r = cur ? rowOf(rows, cur) : -1;
      HTREEITEM to = nullptr;
      switch (key) {
        case VK_UP:
          to = rows[size_t(std::max(0, r - 1))];
          break;
        case VK_DOWN:
          to = rows[size_t(std::min(int(rows.size()) - 1, r + 1))];
          break;
        case VK_HOME:
          to = rows.front();
          break;
        case VK_END:
          to = rows.back();
          break;
        case VK_PRIOR:
          to = rows[size_t(std::max(0, r - pageRows() + 1))];
          break;
        case VK_NEXT:
          to = rows[size_t(std::min(int(rows.size()) - 1, std::max(0, r) + pageRows() - 1))];
          break;
        case VK_LEFT:
          if (!cur) break;
          if (cur->state & TVIS_EXPANDED)
            expand(cur, TVE_COLLAPSE);
          else if (cur->parent != &N.root)
            to = cur->parent;
          break;
        case VK_RIGHT:
          if (!cur) break;
          if (!(cur->state & TVIS_EXPANDED))
            expand(cur, TVE_EXPAND);
          else if (cur->first)
            to = cur->first;
          break;
        case 0x6B:  // VK_ADD
          if (cur) expand(cur, TVE_EXPAND);
          break;
        case 0x6D:  // VK_SUBTRACT
          if (cur) expand(cur, TVE_COLLAPSE);
          break;
        case 0x71:  // VK_F2
          if (cur) editLabel(cur);
          break;
        case VK_RETURN: {
          NMHDR hdr;
          ViewSupport::Notify(this, NM_RETURN, &hdr);
          break;
        }
        default:
          break;
      }
      if (to && to != cur) select(to, TVGN_CARET, TVC_BYKEYBOARD);
      return 0;
    }
    case WM_CHAR: {
      char c = char(m.WParam);
      KeyPress(c);
      if (static_cast<unsigned char>(c) < 0x20) return 0;
      // Type-ahead on the first letter, from the row after the selection.
      auto rows = visibleRows();
      int n = int(rows.size()), start = N.caret ? rowOf(rows, N.caret) : -1;
      for (int k = 1; k <= n; ++k) {
        HTREEITEM t = rows[size_t((start + k + n) % n)];
        std::string s = getText(t);
        if (!s.empty() && AnsiCompareText(s.substr(0, 1), std::string(1, c)) == 0) {
          select(t, TVGN_CARET, TVC_BYKEYBOARD);
          break;
        }
      }
      return 0;
    }
    case WM_PAINT: {
      HDC dc = HDC(m.WParam);
      if (!dc) break;
      Geometry g = geo();
      RECT whole{0, 0, Width(), Height()};
      COLORREF bk = N.bk != CLR_NONE ? N.bk : ControlPaint::Rgb(Color());
      NMTVCUSTOMDRAW cd;
      cd.nmcd.hdc = dc;
      cd.nmcd.rc = whole;
      cd.nmcd.dwDrawStage = CDDS_PREPAINT;
      LRESULT pre = ViewSupport::Notify(this, NM_CUSTOMDRAW, &cd.nmcd.hdr);
      if (pre & CDRF_SKIPDEFAULT) return 0;
      ViewSupport::PaintBackground(dc, whole, bk, g.border != 0);
      SaveDC(dc);
      IntersectClipRect(dc, g.border, g.border, g.right, g.bottom);
      HGDIOBJ oldFont = SelectObject(dc, ControlPaint::FontHandle(Font()));
      SetBkMode(dc, TRANSPARENT);
      auto rows = visibleRows();
      int top = topRow(rows), page = pageRows() + 1;
      HPEN linePen = CreatePen(PS_DOT, 1, GetSysColor(COLOR_GRAYTEXT));
      bool showSel = Focused() || (FStyle & TVS_SHOWSELALWAYS);
      for (int i = top; i < int(rows.size()) && i < top + page; ++i) {
        HTREEITEM t = rows[size_t(i)];
        int row = i - top, y = g.border + row * g.rowH, mid = y + g.rowH / 2;
        int ix = itemX(g, t);
        // Lines and the button in the indent column left of the item.
        if ((FStyle & TVS_HASLINES) && (Level(t) > 0 || g.rootLines)) {
          int lx = ix - g.indent / 2 - 2;
          HGDIOBJ op = SelectObject(dc, linePen);
          MoveToEx(dc, lx, (t->prev || t->parent != &N.root) ? y : mid, nullptr);
          LineTo(dc, lx, t->next ? y + g.rowH : mid);
          MoveToEx(dc, lx, mid, nullptr);
          LineTo(dc, ix, mid);
          for (TreeItemData* p = t->parent; p && p != &N.root; p = p->parent)
            if (p->next && (Level(p) > 0 || g.rootLines)) {
              int px = itemX(g, p) - g.indent / 2 - 2;
              MoveToEx(dc, px, y, nullptr);
              LineTo(dc, px, y + g.rowH);
            }
          SelectObject(dc, op);
        }
        if ((FStyle & TVS_HASBUTTONS) && hasKids(t) && (Level(t) > 0 || g.rootLines)) {
          int bx = ix - g.indent / 2 - 2;
          RECT br{bx - 4, mid - 4, bx + 5, mid + 5};
          ViewSupport::FillSolid(dc, br, bk);
          HBRUSH fb = CreateSolidBrush(GetSysColor(COLOR_GRAYTEXT));
          FrameRect(dc, &br, fb);
          DeleteObject(fb);
          HPEN tp = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
          HGDIOBJ op = SelectObject(dc, tp);
          MoveToEx(dc, bx - 2, mid, nullptr);
          LineTo(dc, bx + 3, mid);
          if (!(t->state & TVIS_EXPANDED)) {
            MoveToEx(dc, bx, mid - 2, nullptr);
            LineTo(dc, bx, mid + 3);
          }
          SelectObject(dc, op);
          DeleteObject(tp);
        }
        bool selected = (t->state & TVIS_SELECTED) && showSel;
        bool hot = selected || (t->state & TVIS_DROPHILITED);
        cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        cd.nmcd.rc = RECT{g.border, y, g.right, y + g.rowH};
        cd.nmcd.dwItemSpec = std::uintptr_t(t);
        cd.nmcd.lItemlParam = t->lParam;
        cd.nmcd.uItemState =
            (selected ? CDIS_SELECTED : 0) | (t == N.caret && Focused() ? CDIS_FOCUS : 0);
        cd.iLevel = Level(t);
        cd.clrText = hot                  ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                     : N.text != CLR_NONE ? N.text
                                          : ControlPaint::Rgb(Font()->Color());
        cd.clrTextBk = hot ? GetSysColor(COLOR_HIGHLIGHT) : bk;
        LRESULT ir = CDRF_DODEFAULT;
        if (pre & CDRF_NOTIFYITEMDRAW) ir = ViewSupport::NotifyItemPrePaint(this, &cd.nmcd.hdr, dc);
        if (!(ir & CDRF_SKIPDEFAULT)) {
          int x = ix;
          if (N.stateImages) {
            int si = int((t->state & TVIS_STATEIMAGEMASK) >> 12);
            if (si > 0)
              ImageList_Draw(N.stateImages, si, dc, x, y + (g.rowH - g.imgH) / 2, ILD_NORMAL);
            x += g.stateW;
          }
          if (N.images) {
            int img, sel;
            getImages(t, img, sel);
            int idx = (t->state & TVIS_SELECTED) ? sel : img;
            UINT style = ILD_TRANSPARENT | (t->state & TVIS_OVERLAYMASK);
            if ((t->state & TVIS_CUT) || hot) style |= ILD_SELECTED;
            ImageList_Draw(N.images, idx, dc, x, y + (g.rowH - g.imgH) / 2, style);
          }
          RECT lr = labelRect(g, t, row);
          if (hot || cd.clrTextBk != bk) ViewSupport::FillSolid(dc, lr, cd.clrTextBk);
          SetTextColor(dc, cd.clrText);
          RECT tr{lr.left + 2, lr.top, lr.right, lr.bottom};
          DrawText(dc, getText(t), &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
          if (t == N.caret && Focused()) DrawFocusRect(dc, &lr);
        }
        if (ir & CDRF_NEWFONT) RestoreDC(dc, -1);
        if (ir & CDRF_NOTIFYPOSTPAINT) {
          cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
          ViewSupport::Notify(this, NM_CUSTOMDRAW, &cd.nmcd.hdr);
        }
      }
      DeleteObject(linePen);
      SelectObject(dc, oldFont);
      RestoreDC(dc, -1);
      if (pre & CDRF_NOTIFYPOSTPAINT) {
        cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
        cd.nmcd.rc = whole;
        ViewSupport::Notify(this, NM_CUSTOMDRAW, &cd.nmcd.hdr);
      }
      return 0;
    }
    default:
      break;
  }
  handled = false;
  return 0;
}

WI_REGISTER_CLASS(TTreeView);
