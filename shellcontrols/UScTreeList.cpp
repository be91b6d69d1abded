#include "shellcontrols/UScTreeList.h"

#include "platform/forms/ControlPaint.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {

bool Designing(const TComponent* c) { return c->ComponentState() & csDesigning; }

constexpr WORD VK_APPS = 0x5D, VK_F10 = 0x79;
constexpr UINT WM_PARENTNOTIFY = 0x0210;

bool IsContextMenuKey(WORD key, TShiftState shift) {
  const TShiftState mods = shift & (ssShift | ssAlt | ssCtrl);
  return (key == VK_APPS && mods == 0) || (key == VK_F10 && mods == ssShift);
}

TPoint Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

TPoint ScClientToScreen(const TControl* c, TPoint p) {
  for (const TControl* x = c; x; x = x->Parent()) p.x += x->Left(), p.y += x->Top();
  return p;
}

TPoint ScScreenToClient(const TControl* c, TPoint p) {
  TPoint o = ScClientToScreen(c, {0, 0});
  return {p.x - o.x, p.y - o.y};
}

// --- Draw objects ----------------------------------------------------------------------------

TScCustomDraw::TScCustomDraw(NMCUSTOMDRAW* notification, const TFont* controlFont, LRESULT* result)
    : FControlFont(controlFont) {
  Init(notification, result);
  FBrush = CreateBrush();
  FFont = CreateFont();
}

TScCustomDraw::~TScCustomDraw() = default;

void TScCustomDraw::Init(NMCUSTOMDRAW* notification, LRESULT* result) {
  FNotification = notification;
  FResult = result;
  KeepResult = false;
  FFont.reset();
  FBrush.reset();
}

std::unique_ptr<TCanvasFont> TScCustomDraw::CreateFont() {
  auto f = std::make_unique<TCanvasFont>();
  if (FControlFont) {
    f->SetName(FControlFont->Name());
    f->SetHeight(FControlFont->Height());
    TFontStyles st;
    for (int i = 0; i < 4; ++i)
      if (FControlFont->Style() & (1u << i)) st.Include(TFontStyle(i));
    f->SetStyle(st);
    f->SetCharset(TFontCharset(FControlFont->Charset()));
  }
  if (FNotification && FNotification->hdc) f->SetColor(TColor(GetTextColor(FNotification->hdc)));
  f->OnChange = [this](TGraphicsObject*) { FFontChanged = true; };
  return f;
}

std::unique_ptr<TBrush> TScCustomDraw::CreateBrush() {
  auto b = std::make_unique<TBrush>();
  b->SetStyle(bsSolid);
  if (FNotification && FNotification->hdc) b->SetColor(TColor(GetBkColor(FNotification->hdc)));
  b->OnChange = [this](TGraphicsObject*) { FBrushChanged = true; };
  return b;
}

int TScCustomDraw::Stage() const {
  if (!FNotification) return 0;
  switch (FNotification->dwDrawStage) {
    case CDDS_PREPAINT:
      return 1;
    case CDDS_POSTPAINT:
      return 2;
    case CDDS_ITEMPREPAINT:
      return 4;
    case CDDS_ITEMPOSTPAINT:
      return 5;
    default:
      return 0;
  }
}

void TScCustomDraw::ApplyItemFontAndBrush(COLORREF& clrText, COLORREF& clrTextBk) {
  if (FFontChanged && FFont) {
    HDC dc = FNotification->hdc;
    HGDIOBJ h = FFont->Handle();
    if (dc && GetCurrentObject(dc, OBJ_FONT) != h) {
      SelectObject(dc, h);
      *FResult |= CDRF_NEWFONT;
    }
    clrText = ColorToRGB(FFont->Color());
  }
  if (FBrushChanged && FBrush) clrTextBk = ColorToRGB(FBrush->Color());
}

void TScTvCustomDraw::Apply() {
  if (!FResult) return;
  if (!KeepResult) *FResult = CDRF_DODEFAULT;
  switch (Stage()) {
    case 1:
      if (!KeepResult && NotifyRequest == 1) *FResult |= CDRF_NOTIFYITEMDRAW;
      break;
    case 4:
      if (!SkipDefault) {
        auto* tv = reinterpret_cast<NMTVCUSTOMDRAW*>(FNotification);
        ApplyItemFontAndBrush(tv->clrText, tv->clrTextBk);
      } else if (!KeepResult) {
        *FResult |= CDRF_SKIPDEFAULT;
      }
      break;
    default:
      break;
  }
}

void TScLvCustomDraw::Apply() {
  if (!FResult) return;
  *FResult = CDRF_DODEFAULT;
  switch (Stage()) {
    case 1:
      if (NotifyRequest == 1) *FResult |= CDRF_NOTIFYITEMDRAW;
      break;
    case 4:
      if (SkipDefault) {
        *FResult |= CDRF_SKIPDEFAULT;
      } else {
        auto* lv = reinterpret_cast<NMLVCUSTOMDRAW*>(FNotification);
        ApplyItemFontAndBrush(lv->clrText, lv->clrTextBk);
      }
      break;
    default:
      break;
  }
}

// --- Tree --------------------------------------------------------------------------------------

void TScCustomTreeView::DefineProps(TPropList&) {}

TScCustomTreeView::TScCustomTreeView(TComponent* owner) : TScMenuView(owner) {}

TScCustomTreeView::~TScCustomTreeView() = default;

void TScCustomTreeView::CreateWnd() {
  // Old common controls on NT show broken tooltips: the window goes without.
  if (ScIsWinNT() && ScComCtlBelow472()) SetStyle(TVS_NOTOOLTIPS, true);
  TCustomTreeView::CreateWnd();
}

void TScCustomTreeView::DestroyWnd() { TCustomTreeView::DestroyWnd(); }

TScCustomDraw* TScCustomTreeView::CreateCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result) {
  auto* cd = new TScTvCustomDraw(notification, Font(), result);
  cd->NotifyRequest = 1;
  return cd;
}

TScCustomDraw* TScCustomTreeView::DoCustomDraw(NMCUSTOMDRAW* n, LRESULT* result) {
  TScCustomDraw* cd =
      DrawThroughEvents<TTreeNode>(n, result, OnTvCustomDrawEx, OnTvCustomDraw,
                                   [&] { return Items()->GetNode(HTREEITEM(n->dwItemSpec)); });
  if ((n->dwDrawStage & CDDS_PREPAINT) &&
      (OnTvCustomDraw || OnTvCustomDrawEx))  // item pre-paint too
    *result |= CDRF_NOTIFYITEMDRAW;
  return cd;
}

void TScCustomTreeView::DoNodeContextMenu(TTreeNode* node, TPoint& p, TPopupMenu*& menu) {
  OnNodeContextMenu(this, node, p, menu);
}

void TScCustomTreeView::PopupNodeMenu(TTreeNode* node, TPoint p) {
  TPopupMenu* menu = FPopupMenu;
  DoNodeContextMenu(node, p, menu);
  FMenuShown = menu != FPopupMenu;
  if (menu) OpenMenu(menu, p);
}

void TScCustomTreeView::ShowSelectionContextMenu() {
  if (TTreeNode* node = Selected()) {
    PopupNodeMenu(node, Centre(node->DisplayRect(true)));
  } else if (FPopupMenu) {
    OpenMenu(FPopupMenu, {0, 0});
  }
}

void TScCustomTreeView::KeyDown(WORD& key, TShiftState shift) {
  if (IsContextMenuKey(key, shift)) {
    key = 0;
    ShowSelectionContextMenu();
  }
  TCustomTreeView::KeyDown(key, shift);
}

void TScCustomTreeView::CnNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  switch (hdr->code) {
    case TVN_GETDISPINFOA: {
      auto* di = reinterpret_cast<NMTVDISPINFOA*>(m.LParam);
      TTreeNode* node = (di->item.mask & TVIF_PARAM) ? reinterpret_cast<TTreeNode*>(di->item.lParam)
                                                     : Items()->GetNode(di->item.hItem);
      if (node) {
        if (di->item.mask & TVIF_IMAGE) {
          GetImageIndex(node);
          di->item.iImage = node->ImageIndex();
        }
        if (di->item.mask & TVIF_SELECTEDIMAGE) {
          GetSelectedIndex(node);
          di->item.iSelectedImage = node->SelectedIndex();
        }
      }
      // The inherited handler asks again: the events are detached so each fires once.
      auto image = std::move(OnGetImageIndex);
      auto selected = std::move(OnGetSelectedIndex);
      OnGetImageIndex = nullptr;
      OnGetSelectedIndex = nullptr;
      try {
        TScMenuView::WndProc(m);
      } catch (...) {
        OnGetImageIndex = std::move(image);
        OnGetSelectedIndex = std::move(selected);
        throw;
      }
      OnGetImageIndex = std::move(image);
      OnGetSelectedIndex = std::move(selected);
      return;
    }
    case NM_RCLICK:
      if (!Designing(this)) {
        TPoint p = FRButtonPos;
        if (TTreeNode* node = GetNodeAt(p.x, p.y)) {
          TPopupMenu* menu = FPopupMenu;
          DoNodeContextMenu(node, p, menu);
          if (menu) {
            OpenMenu(menu, p);
            FMenuShown = true;
          }
        }
      }
      break;
    case NM_CUSTOMDRAW:
      if (!Designing(this)) {
        if (OnCustomDraw || OnCustomDrawItem) break;
        CustomDrawNotified(m);
        return;
      }
      break;
    default:
      break;
  }
  TScMenuView::WndProc(m);
}

void TScCustomTreeView::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY:
      CnNotify(m);
      return;
    case WM_RBUTTONUP:
      if (FMenuShown && FPopupMenu) {
        const bool autoPopup = FPopupMenu->AutoPopup();
        FPopupMenu->SetAutoPopup(false);
        try {
          TScMenuView::WndProc(m);
        } catch (...) {
          FPopupMenu->SetAutoPopup(autoPopup);
          FMenuShown = false;
          throw;
        }
        FPopupMenu->SetAutoPopup(autoPopup);
        FMenuShown = false;
        return;
      }
      break;
    case WM_CONTEXTMENU: {
      if (Selected() || FMenuShown) return;
      if (m.LParam == -1) {
        ShowSelectionContextMenu();
      } else {
        PopupNodeMenu(nullptr, {short(m.LParam & 0xFFFF), short((m.LParam >> 16) & 0xFFFF)});
      }
      return;
    }
    default:
      break;
  }
  TScMenuView::WndProc(m);
}

// --- List --------------------------------------------------------------------------------------

void TScCustomListView::DefineProps(TPropList&) {}

TScCustomListView::TScCustomListView(TComponent* owner)
    : TScMenuView(owner), FHeaderCanvas(std::make_unique<TCanvas>()) {}

TScCustomListView::~TScCustomListView() = default;

void TScCustomListView::ApplyColors() {
  if (!HandleAllocated()) return;
  COLORREF rgb = ColorToRGB(Color());
  SendMessage(Handle(), LVM_SETBKCOLOR, 0, LPARAM(rgb));
  SendMessage(Handle(), LVM_SETTEXTBKCOLOR, 0, LPARAM(rgb));
}

void TScCustomListView::CreateWnd() {
  TCustomListView::CreateWnd();
  ApplyColors();
  UpdateHeaderArrows();
  PostMessage(Handle(), WM_UPDATEHEADERARROWS, 0, 0);
}

void TScCustomListView::SetViewStyle(TViewStyle v) {
  const bool changed = v != ViewStyle();
  TCustomListView::SetViewStyle(v);
  if (changed && v == vsReport) UpdateHeaderArrows();
}

bool TScCustomListView::SystemArrows() const {
  return FHeaderArrowStyle == 0 || (FHeaderArrowStyle == 2 && ScComCtl6());
}

void TScCustomListView::SetHeaderArrowStyle(int v) {
  if (v < 0 || v > 3 || v == FHeaderArrowStyle) return;
  FHeaderArrowStyle = v;
  UpdateHeaderArrows();
}

void TScCustomListView::SetHeaderOwnerDrawText(bool v) {
  if (v == FHeaderOwnerDrawText) return;
  FHeaderOwnerDrawText = v;
  InvalidateHeader();
}

void TScCustomListView::UpdateHeaderArrows() {
  if (!HandleAllocated() || FArrowUpdateDepth != 0) return;
  HWND header = HeaderHandle();
  if (!header) return;
  ++FArrowUpdateDepth;
  try {
    const bool system = SystemArrows();
    int count = int(SendMessage(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = count - 1; i >= 0; --i) {
      HDITEMA item;
      item.mask = HDI_FORMAT;
      SendMessage(header, HDM_GETITEMA, WPARAM(i), LPARAM(&item));
      int fmt = item.fmt & HDF_JUSTIFYMASK;
      if (system) {
        fmt |= HDF_STRING;
        if (i == FSortColumn) fmt |= FSortDescending ? HDF_SORTDOWN : HDF_SORTUP;
      } else {
        fmt |= HDF_OWNERDRAW;
      }
      item.mask = HDI_FORMAT;
      item.fmt = fmt;
      SendMessage(header, HDM_SETITEMA, WPARAM(i), LPARAM(&item));
    }
  } catch (...) {
    --FArrowUpdateDepth;
    throw;
  }
  --FArrowUpdateDepth;
  InvalidateHeader();
}

// The toolkit repaints whole windows: the header is repainted with the list.
void TScCustomListView::InvalidateHeader() { Invalidate(); }

void TScCustomListView::InvalidateHeaderItem(int index) {
  HWND header = HeaderHandle();
  if (!header || index < 0) return;
  RECT r{};
  if (SendMessage(header, HDM_GETITEMRECT, WPARAM(index), LPARAM(&r))) Invalidate();
}

void TScCustomListView::SetSortColumn(int index) {
  if (index == FSortColumn) return;
  const bool header = HandleAllocated() && HeaderHandle();
  if (header) {
    InvalidateHeaderItem(FSortColumn);
    InvalidateHeaderItem(index);
  }
  FSortColumn = index;
  if (ScComCtl6() && header) UpdateHeaderArrows();
}

void TScCustomListView::SetSortDescending(bool v) {
  if (v == FSortDescending) return;
  const bool header = HandleAllocated() && HeaderHandle();
  if (header && FSortColumn >= 0) InvalidateHeaderItem(FSortColumn);
  FSortDescending = v;
  if (ScComCtl6() && header && FSortColumn >= 0) UpdateHeaderArrows();
  Repaint();
}

TScCustomDraw* TScCustomListView::CreateCustomDraw(NMCUSTOMDRAW* notification, LRESULT* result) {
  return new TScLvCustomDraw(notification, Font(), result);
}

TScCustomDraw* TScCustomListView::DoCustomDraw(NMCUSTOMDRAW* n, LRESULT* result) {
  TScCustomDraw* cd =
      DrawThroughEvents<TListItem>(n, result, OnLvCustomDrawEx, OnLvCustomDraw,
                                   [&] { return Items()->Item(int(n->dwItemSpec)); });
  if (n->dwDrawStage & CDDS_PREPAINT) *result |= CDRF_NOTIFYITEMDRAW;  // item pre-paint too
  return cd;
}

void TScCustomListView::DoItemContextMenu(TListItem* item, TPoint& p, TPopupMenu*& menu) {
  OnItemContextMenu(this, item, p, menu);
}

void TScCustomListView::PopupItemMenu(TPoint p) {
  TPopupMenu* menu = FPopupMenu;
  DoItemContextMenu(ItemFocused(), p, menu);
  FMenuShown = true;
  if (menu) OpenMenu(menu, p);
}

void TScCustomListView::ShowFocusedItemContextMenu(TPoint p) {
  TListItem* focused = ItemFocused();
  if (!focused) {
    if (FPopupMenu) OpenMenu(FPopupMenu, p);
    return;
  }
  if (focused->Selected()) {
    p = Centre(focused->DisplayRect(drIcon));
  } else {
    TListItem* first = Selected();
    if (!first) {
      if (FPopupMenu) OpenMenu(FPopupMenu, p);
      return;
    }
    p = Centre(first->DisplayRect(drIcon));
  }
  PopupItemMenu(p);
}

void TScCustomListView::KeyDown(WORD& key, TShiftState shift) {
  if (IsContextMenuKey(key, shift)) {
    key = 0;
    ShowFocusedItemContextMenu({0, 0});
  }
  TCustomListView::KeyDown(key, shift);
}

void TScCustomListView::CnNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  switch (hdr->code) {
    case LVN_BEGINDRAG:
    case LVN_BEGINRDRAG:
      FDragStarted = true;
      break;
    case NM_CUSTOMDRAW:
      if (!Designing(this)) {
        if (OnCustomDraw || OnCustomDrawItem || OnCustomDrawSubItem) break;
        CustomDrawNotified(m);
        return;
      }
      break;
    case NM_RCLICK: {
      ShowFocusedItemContextMenu(FRButtonPos);
      // The click's WM_CONTEXTMENU, which follows, must not show a second menu.
      FMenuShown = true;
      break;
    }
    default:
      break;
  }
  TScMenuView::WndProc(m);
}

// Header notifications reach the list as WM_NOTIFY from its header window.
bool TScCustomListView::HeaderNotify(TMessage& m) {
  auto* hdr = reinterpret_cast<NMHDR*>(m.LParam);
  if (!hdr || !HandleAllocated() || !HeaderHandle() || hdr->hwndFrom != HeaderHandle())
    return false;
  switch (hdr->code) {
    case HDN_ITEMCLICKW:
      InvalidateHeader();
      TScMenuView::WndProc(m);
      return true;
    case HDN_BEGINTRACKA:
    case HDN_ENDTRACKA:
    case HDN_ITEMCHANGEDA:
      TScMenuView::WndProc(m);
      UpdateHeaderArrows();
      return true;
    default:
      return false;
  }
}

void TScCustomListView::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_NOTIFY:
      CnNotify(m);
      return;
    case WM_NOTIFY:
      if (HeaderNotify(m)) return;
      break;
    case WM_UPDATEHEADERARROWS:
      UpdateHeaderArrows();
      return;
    case WM_PARENTNOTIFY:
      TScMenuView::WndProc(m);
      UpdateHeaderArrows();
      return;
    case WM_RBUTTONUP: {
      if (FMenuShown && FPopupMenu) {
        TPopupMenu* menu = FPopupMenu;
        FPopupMenu = nullptr;
        try {
          TScMenuView::WndProc(m);
        } catch (...) {
          FPopupMenu = menu;
          FMenuShown = false;
          throw;
        }
        FPopupMenu = menu;
        FMenuShown = false;
        return;
      }
      FMenuShown = false;
      break;
    }
    case WM_CONTEXTMENU: {
      if (FMenuShown || SelCount() == 0 || !ItemFocused()) return;
      if (m.LParam == -1)
        ShowFocusedItemContextMenu({0, 0});
      else
        PopupItemMenu({short(m.LParam & 0xFFFF), short((m.LParam >> 16) & 0xFFFF)});
      return;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (!dis || !HandleAllocated() || !HeaderHandle() || dis->hwndItem != HeaderHandle()) break;
      int saved = SaveDC(dis->hDC);
      FHeaderCanvas->SetHandle(dis->hDC);
      try {
        DrawHeaderItem(*dis);
      } catch (...) {
        FHeaderCanvas->SetHandle(nullptr);
        RestoreDC(dis->hDC, saved);
        m.Result = 1;
        throw;
      }
      FHeaderCanvas->SetHandle(nullptr);
      RestoreDC(dis->hDC, saved);
      m.Result = 1;
      return;
    }
    case CM_COLORCHANGED:
      TScMenuView::WndProc(m);
      ApplyColors();
      return;
    default:
      break;
  }
  TScMenuView::WndProc(m);
}

TRect TScCustomListView::ArrowBox(const TRect& r) const {
  const int s = (r.top + r.bottom) / 2 - 1;
  TRect box;
  box.left = r.left;
  box.right = r.left + s + 1;
  box.top = (r.top + r.bottom - s) / 2 - 1;
  box.bottom = box.top + s;
  return box;
}

void TScCustomListView::DrawArrow(TCanvas& c, const TRect& box, int column, int columnWidth) {
  if (column != FSortColumn || 2 * (box.right - box.left) >= columnWidth) return;
  const int h = (box.bottom - box.top - 1) | 1;
  const int w = h + 1;
  const int x = box.left, y = box.top;
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Bounds(x, y, w, h));
  if (!FSortDescending) {
    c.Pen().SetColor(clBtnShadow);
    c.Polyline({{x + (w - 1) / 2, y + h - 1}, {x, y + 1}, {x, y}, {x + w - 1, y}});
    c.Pen().SetColor(clBtnHighlight);
    c.Polyline({{x + (w - 1) / 2 + 1, y + h - 1}, {x + w, y - 1}});
  } else {
    c.Pen().SetColor(clBtnShadow);
    c.Polyline({{x + w / 2 - 1, y}, {x, y + h - 2}, {x, y + h - 1}});
    c.Pen().SetColor(clBtnHighlight);
    c.Polyline({{x, y + h - 1}, {x + w - 1, y + h - 1}, {x + (w - 1) / 2 + 1, y - 1}});
  }
}

void TScCustomListView::DrawHeaderItem(const DRAWITEMSTRUCT& dis) {
  TCanvas& c = *FHeaderCanvas;
  ControlPaint::CopyFont(c.Font(), Font());
  c.Brush().SetColor(clBtnFace);
  TRect r = dis.rcItem;
  r.left += 2, r.top += 2, r.right -= 2, r.bottom -= 2;
  if (!FHeaderOwnerDrawText) return;
  const int column = int(dis.itemID);
  TListColumn* col =
      column >= 0 && column < Columns()->Count() ? Columns()->Items(column) : nullptr;
  const TAlignment align = col ? col->Alignment() : taLeftJustify;
  const std::string caption = col ? col->Caption() : std::string();
  const int columnWidth = dis.rcItem.right - dis.rcItem.left;
  TRect t = r;
  t.left += 4;
  t.right -= 4;
  HDC dc = c.Handle();
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  auto drawCaption = [&](TRect tr, UINT extra) -> TRect {
    UINT a = align == taRightJustify ? DT_RIGHT : align == taCenter ? DT_CENTER : DT_LEFT;
    HGDIOBJ oldFont = SelectObject(dc, c.Font().Handle());
    SetTextColor(dc, ColorToRGB(c.Font().Color()));
    SetBkMode(dc, TRANSPARENT);
    UINT format = (extra & DT_CALCRECT) ? (a | DT_SINGLELINE | DT_CALCRECT | DT_RIGHT)
                                        : (a | DT_END_ELLIPSIS | DT_SINGLELINE);
    DrawTextEx(dc, caption.c_str(), int(caption.size()), &tr, format, nullptr);
    SelectObject(dc, oldFont);
    return tr;
  };
  const bool isSort = column == FSortColumn;
  switch (FHeaderArrowStyle) {
    case 1:
      if (isSort && columnWidth > 15) {
        TRect a = ArrowBox(t);
        DrawArrow(c, a, column, columnWidth);
        t.left = a.right + 5;
      }
      break;
    case 2:
    case 3:
      if (FHeaderArrowStyle == 3 || align == taRightJustify) {
        TRect a = ArrowBox(t);
        const int w = a.right - a.left;
        a.right = t.right - 5;
        a.left = a.right - w;
        DrawArrow(c, a, column, columnWidth);
        if (isSort) t.right = a.left - 4;
      } else {
        drawCaption(t, 0);
        TRect m = drawCaption(t, DT_CALCRECT);
        t.right = m.right;
        const int w = t.right - t.left;
        t.left += w + 5;
        t.right += w + 5;
        TRect a = ArrowBox(t);
        DrawArrow(c, a, column, columnWidth);
        return;
      }
      break;
    default:
      break;
  }
  drawCaption(t, 0);
}
