#pragma once
// The bases of the shell tree and list: context menus from mouse and keyboard, custom
// drawing through draw objects (TScCustomDraw), image indexes on request, and in the list
// a sort column shown as arrows in the report header, drawn by the system (common
// controls 6.0 and later) or by the list itself.
//
// Toolkit conventions followed here: WM_CONTEXTMENU carries the position in control
// coordinates (-1 from the keyboard), and a control's screen position is the sum of the
// positions of its parents.
#include <functional>
#include <memory>

#include "platform/forms/CommonControls.h"
#include "platform/forms/ListView.h"
#include "platform/forms/PopupMenus.h"
#include "platform/forms/TreeView.h"
#include "platform/forms/graphics/Graphics.h"

// One draw object per custom-draw notification: a font and a brush a handler may change,
// flags it may set, turned into the notification's answer by Apply.
class TScCustomDraw : public TObject {
 public:
  TScCustomDraw(win::NMCUSTOMDRAW* notification, const TFont* controlFont, win::LRESULT* result);
  ~TScCustomDraw() override;

  virtual void Init(win::NMCUSTOMDRAW* notification, win::LRESULT* result);
  virtual std::unique_ptr<TCanvasFont> CreateFont();
  virtual std::unique_ptr<TBrush> CreateBrush();
  virtual void Apply() = 0;

  TCanvasFont* Font() const { return FFont.get(); }
  TBrush* Brush() const { return FBrush.get(); }
  bool FontChanged() const { return FFontChanged; }
  bool BrushChanged() const { return FBrushChanged; }
  // 0: nothing; 1: item notifications asked for at the pre-paint stage.
  unsigned char NotifyRequest = 0;
  bool SkipDefault = false;
  bool KeepResult = false;
  win::NMCUSTOMDRAW* Notification() const { return FNotification; }
  win::LRESULT* Result() const { return FResult; }
  // 1 pre-paint, 2 post-paint, 4 item pre-paint, 5 item post-paint, 0 anything else.
  int Stage() const;

 protected:
  void ApplyItemFontAndBrush(win::COLORREF& clrText, win::COLORREF& clrTextBk);
  const TFont* FControlFont;
  std::unique_ptr<TCanvasFont> FFont;
  bool FFontChanged = false;
  std::unique_ptr<TBrush> FBrush;
  bool FBrushChanged = false;
  win::NMCUSTOMDRAW* FNotification = nullptr;
  win::LRESULT* FResult = nullptr;
};

class TScTvCustomDraw : public TScCustomDraw {
 public:
  using TScCustomDraw::TScCustomDraw;
  void Apply() override;
};

class TScLvCustomDraw : public TScCustomDraw {
 public:
  using TScCustomDraw::TScCustomDraw;
  void Apply() override;
};

using TScTvOnNodeContextMenuEvent = TEvent<TObject*, TTreeNode*, TPoint&, TPopupMenu*&>;
using TScTvCustomDrawEvent = TEvent<TObject*, TScCustomDraw*, TTreeNode*>;
using TScLvOnItemContextMenuEvent = TEvent<TObject*, TListItem*, TPoint&, TPopupMenu*&>;
using TScLvCustomDrawEvent = TEvent<TObject*, TScCustomDraw*, TListItem*>;

// Screen position of a point of a control (the sum of its parents' positions).
TPoint ScClientToScreen(const TControl* c, TPoint p);
TPoint ScScreenToClient(const TControl* c, TPoint p);

// What the shell tree's and list's bases add alike to their view: the popup menu of a right
// click or of the menu key (followed to its destruction), the right button's press, whether
// a menu showed for it, and the draw objects of the custom-draw notifications.
template <class View>
class TScMenuView : public View {
 public:
  using View::View;

  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* m) {
    if (m == FPopupMenu) return;
    if (FPopupMenu) FPopupMenu->RemoveFreeNotification(this);
    FPopupMenu = m;
    if (m) m->FreeNotification(this);
  }
  // The draw object of the last custom-draw notification.
  TScCustomDraw* CurrentCustomDraw() const { return FCustomDraw.get(); }
  bool MenuShown() const { return FMenuShown; }

  // The draw object of one notification, handed to the view's draw events.
  virtual TScCustomDraw* DoCustomDraw(win::NMCUSTOMDRAW* notification, win::LRESULT* result) = 0;
  virtual TScCustomDraw* CreateCustomDraw(win::NMCUSTOMDRAW* notification,
                                          win::LRESULT* result) = 0;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    View::Notification(c, op);
    if (op == opRemove && c == FPopupMenu) FPopupMenu = nullptr;
  }
  void OpenMenu(TPopupMenu* menu, TPoint clientPos) {
    menu->SetPopupComponent(this);
    TPoint s = ScClientToScreen(this, clientPos);
    menu->Popup(s.x, s.y);
  }
  // Keeps a press of the right button (no menu has shown for it yet); after a change of the
  // system colours a view in a system colour takes the new one.
  void WndProc(TMessage& m) override {
    if (m.Msg == win::WM_RBUTTONDOWN) {
      FRButtonPos = {short(m.LParam & 0xFFFF), short((m.LParam >> 16) & 0xFFFF)};
      FMenuShown = false;
    }
    View::WndProc(m);
    if (m.Msg == win::CM_SYSCOLORCHANGE && this->Color() < 0) this->Perform(win::CM_COLORCHANGED);
  }
  // A custom-draw notification answered through a new draw object.
  void CustomDrawNotified(TMessage& m) {
    FCustomDraw.reset();
    FCustomDraw.reset(DoCustomDraw(reinterpret_cast<win::NMCUSTOMDRAW*>(m.LParam), &m.Result));
  }
  // The draw object handed to a view's two draw events, Ex at every stage, Plain at an item's
  // pre-paint (itemOf: the item a notification names, asked once); null without either.
  template <class Item>
  TScCustomDraw* DrawThroughEvents(win::NMCUSTOMDRAW* n, win::LRESULT* result,
                                   const TEvent<TObject*, TScCustomDraw*, Item*>& ex,
                                   const TEvent<TObject*, TScCustomDraw*, Item*>& plain,
                                   const std::function<Item*()>& itemOf) {
    TScCustomDraw* cd = nullptr;
    Item* item = nullptr;
    bool found = false;
    auto find = [&] {
      if (!found && (n->dwDrawStage & win::CDDS_ITEM)) item = itemOf();
      found = true;
    };
    if (ex) {
      cd = CreateCustomDraw(n, result);
      find();
      ex(this, cd, item);
    }
    if (plain && (n->dwDrawStage & win::CDDS_ITEMPREPAINT) == win::CDDS_ITEMPREPAINT) {
      if (!cd) cd = CreateCustomDraw(n, result);
      find();
      plain(this, cd, item);
    }
    if (cd) cd->Apply();
    return cd;
  }

  TPopupMenu* FPopupMenu = nullptr;
  bool FMenuShown = false;
  TPoint FRButtonPos{};

 private:
  std::unique_ptr<TScCustomDraw> FCustomDraw;
};

class TScCustomTreeView : public TScMenuView<TCustomTreeView> {
  WI_CLASS(TScCustomTreeView, TCustomTreeView)
 public:
  explicit TScCustomTreeView(TComponent* owner);
  ~TScCustomTreeView() override;

  void CreateWnd() override;
  void DestroyWnd() override;
  void WndProc(TMessage& msg) override;

  TScCustomDraw* DoCustomDraw(win::NMCUSTOMDRAW* notification, win::LRESULT* result) override;
  TScCustomDraw* CreateCustomDraw(win::NMCUSTOMDRAW* notification, win::LRESULT* result) override;
  virtual void ShowSelectionContextMenu();
  virtual void PopupNodeMenu(TTreeNode* node, TPoint p);
  virtual void DoNodeContextMenu(TTreeNode* node, TPoint& p, TPopupMenu*& menu);

  TScTvOnNodeContextMenuEvent OnNodeContextMenu;
  TScTvCustomDrawEvent OnTvCustomDraw, OnTvCustomDrawEx;

 protected:
  void KeyDown(win::WORD& key, TShiftState shift) override;

 private:
  void CnNotify(TMessage& m);
};

class TScCustomListView : public TScMenuView<TCustomListView> {
  WI_CLASS(TScCustomListView, TCustomListView)
 public:
  explicit TScCustomListView(TComponent* owner);
  ~TScCustomListView() override;

  bool DragStarted() const { return FDragStarted; }
  void SetDragStarted(bool v) { FDragStarted = v; }

  int SortColumn() const { return FSortColumn; }
  void SetSortColumn(int index);
  bool SortDescending() const { return FSortDescending; }
  void SetSortDescending(bool v);
  // 0 system arrows; 1 owner-drawn left of the caption; 2 system arrows with common
  // controls 6.0 or later, else owner-drawn after the caption; 3 owner-drawn at the right.
  int HeaderArrowStyle() const { return FHeaderArrowStyle; }
  void SetHeaderArrowStyle(int v);
  bool HeaderOwnerDrawText() const { return FHeaderOwnerDrawText; }
  void SetHeaderOwnerDrawText(bool v);
  // Puts the arrow flags into every header item.
  void UpdateHeaderArrows();
  // True when the system draws the arrows (style 0, or 2 with common controls >= 6.0).
  bool SystemArrows() const;

  void CreateWnd() override;
  void SetViewStyle(TViewStyle v) override;
  void WndProc(TMessage& msg) override;

  TScCustomDraw* DoCustomDraw(win::NMCUSTOMDRAW* notification, win::LRESULT* result) override;
  TScCustomDraw* CreateCustomDraw(win::NMCUSTOMDRAW* notification, win::LRESULT* result) override;
  virtual void ShowFocusedItemContextMenu(TPoint p);
  virtual void PopupItemMenu(TPoint p);
  virtual void DoItemContextMenu(TListItem* item, TPoint& p, TPopupMenu*& menu);
  // Draws one owner-drawn header item on the header canvas.
  virtual void DrawHeaderItem(const win::DRAWITEMSTRUCT& dis);

  TScLvOnItemContextMenuEvent OnItemContextMenu;
  TScLvCustomDrawEvent OnLvCustomDraw, OnLvCustomDrawEx;

  // The posted message that updates the arrows once the window is complete.
  static constexpr win::UINT WM_UPDATEHEADERARROWS = win::WM_USER + 100;

 protected:
  void KeyDown(win::WORD& key, TShiftState shift) override;

 private:
  void CnNotify(TMessage& m);
  void ApplyColors();
  bool HeaderNotify(TMessage& m);
  void InvalidateHeader();
  void InvalidateHeaderItem(int index);
  TRect ArrowBox(const TRect& r) const;
  void DrawArrow(TCanvas& c, const TRect& box, int column, int columnWidth);
  bool FDragStarted = false;
  std::unique_ptr<TCanvas> FHeaderCanvas;
  int FSortColumn = -1;
  bool FSortDescending = false;
  int FHeaderArrowStyle = 2;
  bool FHeaderOwnerDrawText = true;
  int FArrowUpdateDepth = 0;
};

// The system facts the bases ask (UScTreeListSys.cpp: kept apart from the view headers).
bool ScIsWinNT();
// True with common controls 6.0 or later.
bool ScComCtl6();
// True with common controls older than 4.72.
bool ScComCtlBelow472();
