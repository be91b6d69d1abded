#include "platform/forms/TreeViewWindow.h"

#include <cstring>
#include <functional>
#include <utility>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/TreeViewPainter.h"

using namespace win;

namespace {

// A line of horizontal scrolling, in pixels.
constexpr int kHorzLine = 8;
using Native = TCustomTreeView::Native;

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

int ChildrenOf(int cChildren) { return cChildren == I_CHILDRENCALLBACK ? -1 : cChildren ? 1 : 0; }

}  // namespace

bool Native::Answer(TMessage& m) {
  constexpr bool kBars = true;
  static const MessageMap<Native> map = {
      {TVM_SYNCBARS, &Native::SyncBarsMessage, kBars},
      {WM_PAINT, &Native::Paint, kBars},
      {WM_VSCROLL, &Native::VScroll, kBars},
      {WM_HSCROLL, &Native::HScroll, kBars},
      {WM_MOUSEWHEEL, &Native::Wheel, kBars},
      {WM_KEYDOWN, &Native::KeyDown, kBars},
      {WM_CHAR, &Native::Char, kBars},
      {WM_LBUTTONDOWN, &Native::LeftDown, kBars},
      {WM_LBUTTONDBLCLK, &Native::DoubleClick, kBars},
      {WM_RBUTTONDOWN, &Native::RightDown, kBars},
      {TVM_HITTEST, &Native::HitTestMessage, kBars},
      {TVM_GETITEMRECT, &Native::GetItemRect, kBars},
      {TVM_ENSUREVISIBLE, &Native::EnsureVisibleMessage, kBars},
      {TVM_SELECTITEM, &Native::SelectItem, kBars},
      {TVM_GETVISIBLECOUNT, &Native::GetVisibleCount, kBars},
      {TVM_EDITLABELA, &Native::EditLabelMessage, kBars},
      {TVM_GETNEXTITEM, &Native::GetNextItem},
      {TVM_INSERTITEMA, &Native::InsertItem},
      {TVM_DELETEITEM, &Native::DeleteItem},
      {TVM_EXPAND, &Native::ExpandMessage},
      {TVM_GETCOUNT, &Native::GetCount},
      {TVM_GETINDENT, &Native::GetIndent},
      {TVM_SETINDENT, &Native::SetIndent},
      {TVM_GETIMAGELIST, &Native::GetImageList},
      {TVM_SETIMAGELIST, &Native::SetImageList},
      {TVM_GETITEMA, &Native::GetItem},
      {TVM_SETITEMA, &Native::SetItem},
      {TVM_GETITEMSTATE, &Native::GetItemState},
      {TVM_GETEDITCONTROL, &Native::GetEditControl},
      {TVM_ENDEDITLABELNOW, &Native::EndEditNow},
      {TVM_SORTCHILDREN, &Native::SortChildrenMessage},
      {TVM_SORTCHILDRENCB, &Native::SortChildrenMessage},
      {TVM_SETITEMHEIGHT, &Native::SetItemHeight},
      {TVM_GETITEMHEIGHT, &Native::GetItemHeight},
      {TVM_SETBKCOLOR, &Native::SetBkColor},
      {TVM_GETBKCOLOR, &Native::GetBkColor},
      {TVM_SETTEXTCOLOR, &Native::SetTextColor},
      {TVM_GETTEXTCOLOR, &Native::GetTextColor},
      {WM_GETDLGCODE, &Native::DialogCode},
  };
  return map.Answer(*this, m);
}

// --- The items and where they lie -----------------------------------------------------------

bool Native::KeptChildren(const TreeItemData* t) {
  return t->children == -2 ? t->first != nullptr : t->children != 0;
}

int Native::Level(const TreeItemData* t) {
  int n = 0;
  while (t->parent && t->parent->parent) t = t->parent, ++n;
  return n;
}

Native::Geometry Native::Geo() {
  Geometry g{};
  g.border = V.BorderStyle() == bsSingle ? 2 : 0;
  ImageList_GetIconSize(images, &g.imgW, &g.imgH);
  ImageList_GetIconSize(stateImages, &g.stateW, nullptr);
  g.rowH = itemHeight > 0 ? itemHeight
                          : std::max({ViewSupport::TextHeight(V.Font()) + 3, g.imgH + 1, 16});
  g.indent = indent;
  g.rootLines = V.HasStyle(TVS_LINESATROOT) && (V.Style() & (TVS_HASLINES | TVS_HASBUTTONS));
  RECT client = V.ClientBounds();
  g.right = client.right, g.bottom = client.bottom;
  return g;
}

Native::Rows Native::VisibleRows() const {
  Rows rows;
  std::function<void(const TreeItemData*)> walk = [&](const TreeItemData* p) {
    for (TreeItemData* c = p->first; c; c = c->next) {
      rows.push_back(c);
      if (c->state & TVIS_EXPANDED) walk(c);
    }
  };
  walk(&root);
  return rows;
}

int Native::PageRows() {
  Geometry g = Geo();
  return std::max(1, (g.bottom - g.border) / g.rowH);
}

int Native::RowOf(const Rows& rows, HTREEITEM h) {
  auto it = std::find(rows.begin(), rows.end(), h);
  return it == rows.end() ? -1 : int(it - rows.begin());
}

std::string Native::TextOf(HTREEITEM t) {
  if (!t->textCallback) return t->text;
  char buf[1024] = "";
  NMTVDISPINFOA di;
  di.item.mask = TVIF_TEXT;
  di.item.hItem = t;
  di.item.lParam = t->lParam;
  di.item.pszText = buf;
  di.item.cchTextMax = sizeof buf;
  Notify(TVN_GETDISPINFOA, &di.hdr);
  return di.item.pszText && di.item.pszText != LPSTR_TEXTCALLBACKA ? di.item.pszText : "";
}

void Native::ImagesOf(HTREEITEM t, int& img, int& sel) {
  img = t->image, sel = t->selImage;
  if (img != I_IMAGECALLBACK && sel != I_IMAGECALLBACK) return;
  NMTVDISPINFOA di;
  di.item.mask =
      (img == I_IMAGECALLBACK ? TVIF_IMAGE : 0) | (sel == I_IMAGECALLBACK ? TVIF_SELECTEDIMAGE : 0);
  di.item.hItem = t;
  di.item.lParam = t->lParam;
  Notify(TVN_GETDISPINFOA, &di.hdr);
  if (img == I_IMAGECALLBACK) img = di.item.iImage;
  if (sel == I_IMAGECALLBACK) sel = di.item.iSelectedImage;
}

bool Native::HasChildren(HTREEITEM t) {
  if (t->children != I_CHILDRENCALLBACK) return KeptChildren(t);
  NMTVDISPINFOA di;
  di.item.mask = TVIF_CHILDREN;
  di.item.hItem = t;
  di.item.lParam = t->lParam;
  Notify(TVN_GETDISPINFOA, &di.hdr);
  return di.item.cChildren != 0;
}

int Native::ItemX(const Geometry& g, HTREEITEM t) const {
  return g.border + g.indent * (Level(t) + (g.rootLines ? 1 : 0)) + 3 - xOff;
}

RECT Native::LabelRect(const Geometry& g, HTREEITEM t, int row, int textW) {
  int x = ItemX(g, t) + (g.stateW ? g.stateW : 0) + (g.imgW ? g.imgW + 3 : 0);
  int y = g.border + row * g.rowH;
  if (textW < 0) textW = ViewSupport::TextWidth(V.Font(), TextOf(t));
  return RECT{x, y, x + textW + 4, y + g.rowH};
}

TVITEMA Native::ItemOf(HTREEITEM t, UINT mask) const {
  TVITEMA it;
  it.mask = mask;
  it.hItem = t;
  if (t) it.state = t->state, it.lParam = t->lParam;
  return it;
}

UINT Native::PartAt(const Geometry& g, HTREEITEM t, int x) {
  int ix = ItemX(g, t);
  RECT lr = LabelRect(g, t, 0);
  if (x < ix) {
    bool button = V.HasStyle(TVS_HASBUTTONS) && HasChildren(t) && (Level(t) > 0 || g.rootLines);
    return button && x >= ix - g.indent ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  }
  if (g.stateW && x < ix + g.stateW) return TVHT_ONITEMSTATEICON;
  if (x < lr.left) return TVHT_ONITEMICON;
  return x < lr.right ? TVHT_ONITEMLABEL : TVHT_ONITEMRIGHT;
}

Native::HTREEITEM Native::HitTest(TVHITTESTINFO* hi) {
  Geometry g = Geo();
  hi->hItem = nullptr;
  hi->flags = ViewSupport::OutsideFlags(hi->pt, RECT{g.border, g.border, g.right, g.bottom},
                                        {TVHT_TOLEFT, TVHT_TORIGHT, TVHT_ABOVE, TVHT_BELOW});
  if (hi->flags) return nullptr;
  Rows rows = VisibleRows();
  int row = TopRow(rows) + (hi->pt.y - g.border) / g.rowH;
  if (row >= int(rows.size())) {
    hi->flags = TVHT_NOWHERE;
    return nullptr;
  }
  HTREEITEM t = rows[size_t(row)];
  hi->hItem = t;
  hi->flags = PartAt(g, t, hi->pt.x);
  return t;
}

// --- Selection, expansion, scrolling --------------------------------------------------------

bool Native::Select(HTREEITEM t, UINT code, UINT action) {
  if (code == TVGN_DROPHILITE) return SetDropTarget(t);
  if (code == TVGN_FIRSTVISIBLE) return ScrollToTop(t);
  return SelectCaret(t, action);
}

bool Native::SetDropTarget(HTREEITEM t) {
  if (drop) drop->state &= ~TVIS_DROPHILITED;
  drop = t;
  if (t) t->state |= TVIS_DROPHILITED;
  V.Invalidate();
  return true;
}

bool Native::ScrollToTop(HTREEITEM t) {
  if (!t) return false;
  EnsureVisible(t);
  Rows rows = VisibleRows();
  int r = RowOf(rows, t), maxTop = std::max(0, int(rows.size()) - PageRows());
  top = rows[size_t(std::min(r, maxTop))];
  V.Invalidate();
  return true;
}

bool Native::SelectCaret(HTREEITEM t, UINT action) {
  if (t == caret) {
    if (t) EnsureVisible(t);
    return true;
  }
  NMTREEVIEWA nm;
  nm.action = action;
  nm.itemOld = ItemOf(caret);
  nm.itemNew = ItemOf(t);
  if (Notify(TVN_SELCHANGINGA, &nm.hdr)) return false;
  if (caret && Valid(caret)) caret->state &= ~(TVIS_SELECTED | TVIS_FOCUSED);
  caret = t;
  if (t) {
    t->state |= TVIS_SELECTED | TVIS_FOCUSED;
    EnsureVisible(t);
  }
  nm.itemNew = ItemOf(t);
  Notify(TVN_SELCHANGEDA, &nm.hdr);
  V.Invalidate();
  return true;
}

BOOL Native::Expand(HTREEITEM t, UINT code) {
  UINT action = code & 3;
  bool isOpen = t->state & TVIS_EXPANDED;
  if (action == TVE_TOGGLE) action = isOpen ? TVE_COLLAPSE : TVE_EXPAND;
  if (action == TVE_EXPAND && isOpen) return TRUE;
  if (action == TVE_COLLAPSE && !isOpen) return ResetClosed(t, code);
  if (action == TVE_EXPAND && !HasChildren(t)) return FALSE;
  NMTREEVIEWA nm;
  nm.action = action;
  nm.itemNew = ItemOf(t);
  if (Notify(TVN_ITEMEXPANDINGA, &nm.hdr)) return FALSE;
  if (!Valid(t)) return FALSE;
  if (action == TVE_EXPAND) {
    t->state |= TVIS_EXPANDEDONCE;
    if (t->first) t->state |= TVIS_EXPANDED;
  } else {
    Collapsed(t, code);
  }
  nm.itemNew = ItemOf(t);
  Notify(TVN_ITEMEXPANDEDA, &nm.hdr);
  V.Invalidate();
  return TRUE;
}

// A closed node changes only with a reset: it loses its children, and asks for them again.
BOOL Native::ResetClosed(HTREEITEM t, UINT code) {
  if (!(code & TVE_COLLAPSERESET)) return FALSE;
  Collapsed(t, code);
  V.Invalidate();
  return TRUE;
}

void Native::Collapsed(HTREEITEM t, UINT code) {
  t->state &= ~TVIS_EXPANDED;
  if (caret && IsDescendant(caret, t)) Select(t, TVGN_CARET, TVC_UNKNOWN);
  if (top && IsDescendant(top, t)) top = t;
  if (code & TVE_COLLAPSERESET) {
    while (t->first) V.Perform(TVM_DELETEITEM, 0, LPARAM(t->first));
    t->state &= ~TVIS_EXPANDEDONCE;
  }
}

void Native::EnsureVisible(HTREEITEM t, bool across) {
  for (TreeItemData* p = t->parent; p && p != &root; p = p->parent)
    if (!(p->state & TVIS_EXPANDED)) Expand(p, TVE_EXPAND);
  Rows rows = VisibleRows();
  int r = RowOf(rows, t), first = TopRow(rows), page = PageRows();
  if (r < 0) return;
  if (r < first)
    top = rows[size_t(r)];
  else if (r >= first + page)
    top = rows[size_t(r) - size_t(page) + 1];
  if (across) ScrollAcross(t);
}

// The label comes into view, its start first.
void Native::ScrollAcross(HTREEITEM t) {
  Geometry g = Geo();
  RECT lr = LabelRect(g, t, 0);
  if (lr.right > g.right)
    xOff += std::min<int>(lr.right - g.right, lr.left - g.border);
  else if (lr.left < g.border)
    xOff -= g.border - lr.left;
  xOff = std::max(0, xOff);
}

int Native::WidestRow(const Rows& rows, bool fixed) {
  HFONT font = ControlPaint::FontHandle(V.Font());
  if (font != barsFont) {
    for (HTREEITEM t : live) t->textW = -1;
    barsFont = font;
  }
  Geometry g = Geo();
  int width = 0;
  for (HTREEITEM t : fixed ? Rows{} : rows) {
    if (t->textW < 0) t->textW = ViewSupport::TextWidth(V.Font(), TextOf(t));
    width = std::max<int>(width, LabelRect(g, t, 0, t->textW).right + xOff - g.border);
  }
  return width;
}

// The bars: rows shown (page: the whole rows that fit) and the widest row in pixels.
void Native::SyncBars(bool force) {
  KeepBars(
      force, [&] { return live.size(); },
      [&] {
        bool fixed = V.HasStyle(TVS_NOSCROLL);
        Rows rows = VisibleRows();
        int width = WidestRow(rows, fixed);
        ScrollBars::Settle(&V, [&] {
          Geometry g = Geo();
          int last = fixed ? 0 : int(rows.size()) - 1;
          int first = ScrollBars::SetBar(&V, SB_VERT, 0, last, PageRows(), TopRow(rows));
          top = rows.empty() ? nullptr : rows[size_t(first)];
          xOff = ScrollBars::SetBar(&V, SB_HORZ, 0, width - 1, g.right - g.border, xOff);
        });
      });
}

void Native::ScrollTo(int bar, int to) {
  if (editing) EndEdit(false);
  if (bar == SB_VERT) {
    Rows rows = VisibleRows();
    if (rows.empty()) return;
    top = rows[size_t(std::clamp(to, 0, std::max(0, int(rows.size()) - PageRows())))];
  } else {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    ScrollBars::GetInfo(&V, SB_HORZ, si);
    xOff = std::clamp(to, 0, std::max(0, si.nMax + 1 - int(si.nPage)));
  }
  V.Invalidate();
  SyncBars(true);
}

// --- Label editing --------------------------------------------------------------------------

BOOL Native::EndEdit(bool cancel) {
  if (!editing) return FALSE;
  HTREEITEM t = editing;
  editing = nullptr;
  std::string label = CloseEditor();
  NMTVDISPINFOA di;
  di.item = ItemOf(t, TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE);
  di.item.pszText = cancel ? nullptr : label.data();
  di.item.cchTextMax = int(label.size() + 1);
  if (Notify(TVN_ENDLABELEDITA, &di.hdr) && !cancel && Valid(t)) t->text = label;
  EditorClosed();
  return TRUE;
}

HWND Native::EditLabel(HTREEITEM t) {
  if (!Valid(t) || !V.HasStyle(TVS_EDITLABELS)) return nullptr;
  if (editing) EndEdit(false);
  Select(t, TVGN_CARET, TVC_UNKNOWN);
  NMTVDISPINFOA di;
  di.item = ItemOf(t, TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE | TVIF_STATE);
  std::string label = TextOf(t);
  di.item.pszText = label.data();
  if (Notify(TVN_BEGINLABELEDITA, &di.hdr) || !Valid(t)) return nullptr;
  Geometry g = Geo();
  Rows rows = VisibleRows();
  RECT r = LabelRect(g, t, RowOf(rows, t) - TopRow(rows));
  editing = t;
  return OpenEditor(r, 40, label, TVM_ENDEDITLABELNOW);
}

// --- Scrolling messages ---------------------------------------------------------------------

Native::Reply Native::VScroll(TMessage& m) {
  Rows rows = VisibleRows();
  ScrollTo(SB_VERT, ScrollBars::ScrollTarget(&V, SB_VERT, m.WParam, TopRow(rows), 1, PageRows()));
  return 0;
}

Native::Reply Native::HScroll(TMessage& m) {
  Geometry g = Geo();
  ScrollTo(SB_HORZ,
           ScrollBars::ScrollTarget(&V, SB_HORZ, m.WParam, xOff, kHorzLine, g.right - g.border));
  return 0;
}

Native::Reply Native::Wheel(TMessage& m) {
  if (int lines = ScrollBars::WheelLines(&V, m)) {
    Rows rows = VisibleRows();
    ScrollTo(SB_VERT, TopRow(rows) + lines);
  }
  return 0;
}

Native::Reply Native::EnsureVisibleMessage(TMessage& m) {
  HTREEITEM t = HTREEITEM(m.LParam);
  if (!Valid(t)) return FALSE;
  EnsureVisible(t, true);
  V.Invalidate();
  return TRUE;
}

// --- Item messages --------------------------------------------------------------------------

Native::Reply Native::InsertItem(TMessage& m) {
  auto* ins = reinterpret_cast<TVINSERTSTRUCTA*>(m.LParam);
  if (!ins) return 0;
  TreeItemData* parent = ins->hParent == TVI_ROOT || !ins->hParent ? &root : ins->hParent;
  if (parent != &root && !Valid(parent)) return 0;
  auto* t = new TreeItemData;
  const TVITEMA& it = ins->item;
  if (it.mask & TVIF_TEXT) ViewSupport::StoreText(it.pszText, t->text, t->textCallback);
  if (it.mask & TVIF_IMAGE) t->image = it.iImage;
  if (it.mask & TVIF_SELECTEDIMAGE) t->selImage = it.iSelectedImage;
  if (it.mask & TVIF_CHILDREN) t->children = ChildrenOf(it.cChildren);
  if (it.mask & TVIF_STATE) t->state = it.state & it.stateMask & ~(TVIS_SELECTED | TVIS_FOCUSED);
  if (it.mask & TVIF_PARAM) t->lParam = it.lParam;
  TreeItemData* after = parent->last;
  if (ins->hInsertAfter == TVI_FIRST) {
    after = nullptr;
  } else if (ins->hInsertAfter == TVI_SORT) {
    std::string mine = TextOf(t);
    after = nullptr;
    for (TreeItemData* c = parent->first; c && AnsiCompareText(TextOf(c), mine) <= 0; c = c->next)
      after = c;
  } else if (ins->hInsertAfter != TVI_LAST && Valid(ins->hInsertAfter) &&
             ins->hInsertAfter->parent == parent) {
    after = ins->hInsertAfter;
  }
  LinkAfter(parent, after, t);
  live.insert(t);
  if (V.FTreeNodes->UpdateCount() == 0) V.Invalidate();
  return LRESULT(t);
}

void Native::Kill(TreeItemData* x) {
  while (x->first) Kill(x->first);
  if (x == &root) return;
  NMTREEVIEWA nm;
  nm.itemOld = ItemOf(x);
  Notify(TVN_DELETEITEMA, &nm.hdr);
  Unlink(x);
  live.erase(x);
  if (drop == x) drop = nullptr;
  if (top == x) top = nullptr;
  delete x;
}

Native::Reply Native::DeleteItem(TMessage& m) {
  HTREEITEM h = HTREEITEM(m.LParam);
  bool all = h == TVI_ROOT || !h;
  if (!all && !Valid(h)) return FALSE;
  if (editing && (all || editing == h || IsDescendant(editing, h))) EndEdit(true);
  TreeItemData* t = all ? &root : h;
  TreeItemData* after = t->parent != &root ? t->parent : nullptr;  // what follows a last item
  HTREEITEM nextSel = nullptr;
  bool caretGoes = caret && (all || caret == t || IsDescendant(caret, t));
  if (caretGoes && !all) nextSel = t->next ? t->next : t->prev ? t->prev : after;
  if (caretGoes) caret = nullptr;
  if (top && (all || top == t || IsDescendant(top, t)))
    top = all ? nullptr : t->prev ? t->prev : after;
  Kill(t);
  if (caretGoes) {
    // The selection moves on, as it would for the user, with its notifications.
    NMTREEVIEWA nm;
    nm.itemNew = ItemOf(nextSel);
    if (nextSel) {
      nextSel->state |= TVIS_SELECTED | TVIS_FOCUSED;
      caret = nextSel;
    }
    if (!all) Notify(TVN_SELCHANGEDA, &nm.hdr);
  }
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::ExpandMessage(TMessage& m) {
  return Valid(HTREEITEM(m.LParam)) ? Expand(HTREEITEM(m.LParam), UINT(m.WParam)) : FALSE;
}

Native::Reply Native::GetItemRect(TMessage& m) {
  auto* r = reinterpret_cast<RECT*>(m.LParam);
  if (!r) return FALSE;
  // The item comes in the rectangle's first bytes.
  HTREEITEM t = nullptr;
  std::memcpy(&t, r, sizeof t);  // NOLINT(bugprone-sizeof-expression): the handle's bytes
  if (!Valid(t)) return FALSE;
  Rows rows = VisibleRows();
  int row = RowOf(rows, t);
  if (row < 0) return FALSE;
  Geometry g = Geo();
  row -= TopRow(rows);
  if (m.WParam)
    *r = LabelRect(g, t, row);
  else
    *r = RECT{g.border, g.border + row * g.rowH, g.right, g.border + (row + 1) * g.rowH};
  return TRUE;
}

Native::Reply Native::SetIndent(TMessage& m) {
  indent = std::max(int(m.WParam), 8);
  V.Invalidate();
  return 0;
}

Native::Reply Native::GetImageList(TMessage& m) {
  return LRESULT(m.WParam == TVSIL_STATE ? stateImages : images);
}

Native::Reply Native::SetImageList(TMessage& m) {
  HIMAGELIST& slot = m.WParam == TVSIL_STATE ? stateImages : images;
  HIMAGELIST old = std::exchange(slot, HIMAGELIST(m.LParam));
  V.Invalidate();
  return LRESULT(old);
}

Native::Reply Native::GetVisibleItem(UINT code, HTREEITEM t) {
  Rows rows = VisibleRows();
  if (code == TVGN_FIRSTVISIBLE) return rows.empty() ? 0 : LRESULT(rows[size_t(TopRow(rows))]);
  if (code == TVGN_LASTVISIBLE) return rows.empty() ? 0 : LRESULT(rows.back());
  int r = RowOf(rows, t);
  if (r < 0) return 0;
  r += code == TVGN_NEXTVISIBLE ? 1 : -1;
  return r >= 0 && r < int(rows.size()) ? LRESULT(rows[size_t(r)]) : 0;
}

Native::Reply Native::GetNextItem(TMessage& m) {
  HTREEITEM t = HTREEITEM(m.LParam);
  UINT code = UINT(m.WParam);
  // What shows depends on the bars (the last visible item does not).
  if (code == TVGN_FIRSTVISIBLE || code == TVGN_NEXTVISIBLE || code == TVGN_PREVIOUSVISIBLE)
    SyncBars(false);
  bool known = Valid(t);
  switch (code) {
    case TVGN_ROOT:
      return LRESULT(root.first);
    case TVGN_CARET:
      return LRESULT(caret);
    case TVGN_DROPHILITE:
      return LRESULT(drop);
    case TVGN_FIRSTVISIBLE:
    case TVGN_LASTVISIBLE:
      return GetVisibleItem(code, t);
    case TVGN_NEXT:
      return known ? LRESULT(t->next) : 0;
    case TVGN_PREVIOUS:
      return known ? LRESULT(t->prev) : 0;
    case TVGN_PARENT:
      return known && t->parent != &root ? LRESULT(t->parent) : 0;
    case TVGN_CHILD:
      return t == nullptr || t == TVI_ROOT ? LRESULT(root.first) : known ? LRESULT(t->first) : 0;
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE:
      return known ? GetVisibleItem(code, t) : 0;
    default:
      return 0;
  }
}

Native::Reply Native::SelectItem(TMessage& m) {
  HTREEITEM t = HTREEITEM(m.LParam);
  if (t && !Valid(t)) return FALSE;
  return Select(t, UINT(m.WParam), TVC_UNKNOWN);
}

Native::Reply Native::GetItem(TMessage& m) {
  auto* it = reinterpret_cast<TVITEMA*>(m.LParam);
  if (!it || !Valid(it->hItem)) return FALSE;
  HTREEITEM t = it->hItem;
  if ((it->mask & TVIF_TEXT) && t->textCallback)
    it->pszText = LPSTR_TEXTCALLBACKA;
  else if (it->mask & TVIF_TEXT)
    ViewSupport::CopyText(t->text, it->pszText, it->cchTextMax);
  if (it->mask & TVIF_IMAGE) it->iImage = t->image;
  if (it->mask & TVIF_SELECTEDIMAGE) it->iSelectedImage = t->selImage;
  if (it->mask & TVIF_CHILDREN)
    it->cChildren = t->children == -1 ? I_CHILDRENCALLBACK : KeptChildren(t) ? 1 : 0;
  if (it->mask & TVIF_STATE) it->state = t->state & (it->stateMask ? it->stateMask : ~0u);
  if (it->mask & TVIF_PARAM) it->lParam = t->lParam;
  return TRUE;
}

Native::Reply Native::SetItem(TMessage& m) {
  auto* it = reinterpret_cast<TVITEMA*>(m.LParam);
  if (!it || !Valid(it->hItem)) return FALSE;
  HTREEITEM t = it->hItem;
  if (it->mask & TVIF_TEXT) {
    ViewSupport::StoreText(it->pszText, t->text, t->textCallback);
    t->textW = -1;
  }
  if (it->mask & TVIF_IMAGE) t->image = it->iImage;
  if (it->mask & TVIF_SELECTEDIMAGE) t->selImage = it->iSelectedImage;
  if (it->mask & TVIF_CHILDREN) t->children = ChildrenOf(it->cChildren);
  if (it->mask & TVIF_PARAM) t->lParam = it->lParam;
  if (it->mask & TVIF_STATE) {
    // Selection and drop highlight go through their own ways.
    UINT mask = it->stateMask & ~(TVIS_SELECTED | TVIS_DROPHILITED);
    t->state = (t->state & ~mask) | (it->state & mask);
    if (it->stateMask & TVIS_DROPHILITED)
      SetDropTarget((it->state & TVIS_DROPHILITED) ? t : drop == t ? nullptr : drop);
  }
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::GetItemState(TMessage& m) {
  HTREEITEM t = HTREEITEM(m.WParam);
  return Valid(t) ? LRESULT(t->state & UINT(m.LParam)) : 0;
}

Native::Reply Native::GetEditControl(TMessage&) { return editing ? LRESULT(edit->Handle()) : 0; }

Native::Reply Native::HitTestMessage(TMessage& m) {
  return m.LParam ? LRESULT(HitTest(reinterpret_cast<TVHITTESTINFO*>(m.LParam))) : 0;
}

void Native::SortChildren(TreeItemData* parent, const Order& before, bool recurse) {
  std::vector<TreeItemData*> kids;
  for (TreeItemData* c = parent->first; c; c = c->next) kids.push_back(c);
  std::stable_sort(kids.begin(), kids.end(), before);
  parent->first = parent->last = nullptr;
  for (TreeItemData* c : kids) LinkAfter(parent, parent->last, c);
  if (recurse)
    for (TreeItemData* c : kids) SortChildren(c, before, true);
}

BOOL Native::SortAll(const Order& before, bool recurse) {
  SortChildren(&root, before, recurse);
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::SortChildrenMessage(TMessage& m) {
  TVSORTCB cb;
  if (m.Msg == TVM_SORTCHILDRENCB) {
    if (!m.LParam) return FALSE;
    cb = *reinterpret_cast<TVSORTCB*>(m.LParam);
  } else {
    cb.hParent = HTREEITEM(m.LParam);
  }
  TreeItemData* p = cb.hParent == TVI_ROOT || !cb.hParent ? &root : cb.hParent;
  if (p != &root && !Valid(p)) return FALSE;
  SortChildren(
      p,
      [&](TreeItemData* a, TreeItemData* b) {
        return cb.lpfnCompare ? cb.lpfnCompare(a->lParam, b->lParam, cb.lParam) < 0
                              : AnsiCompareText(TextOf(a), TextOf(b)) < 0;
      },
      m.Msg == TVM_SORTCHILDREN && m.WParam);
  V.Invalidate();
  return TRUE;
}

Native::Reply Native::SetItemHeight(TMessage& m) {
  int old = Geo().rowH;
  itemHeight = int(std::intptr_t(m.WParam)) < 1 ? 0 : int(m.WParam);
  V.Invalidate();
  return old;
}

Native::Reply Native::SetBkColor(TMessage& m) {
  return LRESULT(std::exchange(bk, COLORREF(m.LParam)));
}

Native::Reply Native::SetTextColor(TMessage& m) {
  return LRESULT(std::exchange(text, COLORREF(m.LParam)));
}

// --- Mouse ----------------------------------------------------------------------------------

Native::HTREEITEM Native::Press(TMessage& m, TVHITTESTINFO& hi) {
  if (editing) EndEdit(false);
  hi.pt = {short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
  HTREEITEM t = HitTest(&hi);
  TakeFocus();
  return t;
}

Native::Reply Native::LeftDown(TMessage& m) {
  if (!V.Enabled()) return 0;
  TVHITTESTINFO hi;
  HTREEITEM t = Press(m, hi);
  NMHDR hdr;
  Notify(NM_CLICK, &hdr);
  if (!t || !Valid(t)) return 0;
  UINT onItem = TVHT_ONITEM | (V.HasStyle(TVS_FULLROWSELECT) ? TVHT_ONITEMRIGHT : 0u);
  // A second click on the selected label does not edit it: F2 does.
  if (hi.flags & TVHT_ONITEMBUTTON)
    Expand(t, TVE_TOGGLE);
  else if (hi.flags & onItem)
    Select(t, TVGN_CARET, TVC_BYMOUSE);
  V.Click();
  return 0;
}

Native::Reply Native::DoubleClick(TMessage& m) {
  if (!V.Enabled()) return 0;
  TVHITTESTINFO hi;
  HTREEITEM t = Press(m, hi);
  NMHDR hdr;
  if (!Notify(NM_DBLCLK, &hdr) && t && (hi.flags & TVHT_ONITEM)) Expand(t, TVE_TOGGLE);
  V.DblClick();
  return 0;
}

Native::Reply Native::RightDown(TMessage& m) {
  if (!V.Enabled()) return 0;
  TVHITTESTINFO hi;
  HTREEITEM t = Press(m, hi);
  if (t && V.RightClickSelect() && (hi.flags & TVHT_ONITEM)) Select(t, TVGN_CARET, TVC_BYMOUSE);
  RightClicked(m.LParam);
  return 0;
}

// --- Keys -----------------------------------------------------------------------------------

Native::HTREEITEM Native::KeyTarget(WORD key, const Rows& rows) {
  HTREEITEM cur = caret;
  int r = cur ? RowOf(rows, cur) : -1, last = int(rows.size()) - 1;
  switch (key) {
    case VK_UP:
      return rows[size_t(std::max(0, r - 1))];
    case VK_DOWN:
      return rows[size_t(std::min(last, r + 1))];
    case VK_HOME:
      return rows.front();
    case VK_END:
      return rows.back();
    case VK_PRIOR:
      return rows[size_t(std::max(0, r - PageRows() + 1))];
    case VK_NEXT:
      return rows[size_t(std::min(last, std::max(0, r) + PageRows() - 1))];
    case VK_LEFT:
      // Collapses the caret's item, or else goes to its parent.
      if (cur && (cur->state & TVIS_EXPANDED))
        Expand(cur, TVE_COLLAPSE);
      else if (cur && cur->parent != &root)
        return cur->parent;
      return nullptr;
    case VK_RIGHT:
      // Expands the caret's item, or else goes to its first child.
      if (cur && !(cur->state & TVIS_EXPANDED))
        Expand(cur, TVE_EXPAND);
      else if (cur && cur->first)
        return cur->first;
      return nullptr;
    default:
      return nullptr;
  }
}

Native::Reply Native::KeyDown(TMessage& m) {
  WORD key = WORD(m.WParam);
  V.KeyDown(key, KeyboardShiftState());
  if (!key) return 0;
  NotifyKey<NMTVKEYDOWN>(TVN_KEYDOWN, key);
  Rows rows = VisibleRows();
  if (rows.empty()) return 0;
  HTREEITEM cur = caret;
  HTREEITEM to = KeyTarget(key, rows);
  if (key == 0x6B /* VK_ADD */ && cur) {
    Expand(cur, TVE_EXPAND);
  } else if (key == 0x6D /* VK_SUBTRACT */ && cur) {
    Expand(cur, TVE_COLLAPSE);
  } else if (key == 0x71 /* VK_F2 */ && cur) {
    EditLabel(cur);
  } else if (key == VK_RETURN) {
    NMHDR hdr;
    Notify(NM_RETURN, &hdr);
  }
  if (to && to != cur) Select(to, TVGN_CARET, TVC_BYKEYBOARD);
  return 0;
}

Native::Reply Native::Char(TMessage& m) {
  char c = char(m.WParam);
  V.KeyPress(c);
  if (static_cast<unsigned char>(c) < 0x20) return 0;
  // Type-ahead on the first letter, from the row after the selection.
  Rows rows = VisibleRows();
  int n = int(rows.size()), start = caret ? RowOf(rows, caret) : -1;
  for (int k = 1; k <= n; ++k) {
    HTREEITEM t = rows[size_t((start + k + n) % n)];
    std::string s = TextOf(t);
    if (!s.empty() && AnsiCompareText(s.substr(0, 1), std::string(1, c)) == 0) {
      Select(t, TVGN_CARET, TVC_BYKEYBOARD);
      break;
    }
  }
  return 0;
}

Native::Reply Native::Paint(TMessage& m) {
  HDC dc = HDC(m.WParam);
  if (!dc) return std::nullopt;
  TreeViewPainter(*this, dc).Paint();
  return 0;
}
