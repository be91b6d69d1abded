#include "platform/shell/PopupMenuWindow.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/forms/DisplayBackend.h"
#include "platform/forms/Screen.h"
#include "platform/forms/SystemMetrics.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/DisplaySurface.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/Graphics.h"

using namespace win;

namespace {

constexpr int kBorder = 3;     // the raised edge and the space inside it
constexpr int kSeparator = 9;  // a separator's height
constexpr int kMargin = 17;    // left of the text (check marks), right of it (arrows)

int ItemHeight() { return GetSystemMetrics(SM_CYMENU) - 2; }

// The system menu font, bold for the default item; the caller deletes it.
HFONT MenuFont(bool bold) {
  LOGFONT lf = ClassicNonClientMetrics().lfMenuFont;
  if (bold) lf.lfWeight = 700;
  return CreateFontIndirect(&lf);
}

bool Greyed(UINT state) { return state & (MF_GRAYED | MF_DISABLED); }

// The caption before a tab, and the shortcut after it.
std::pair<std::string, std::string> Split(const std::string& text) {
  auto tab = text.find('\t');
  if (tab == std::string::npos) return {text, ""};
  return {text.substr(0, tab), text.substr(tab + 1)};
}

char UnderlinedLetter(const std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] != '&') return char(std::toupper(static_cast<unsigned char>(text[i + 1])));
    ++i;
  }
  return 0;
}

}  // namespace

void TPopupMenuWindow::DefineProps(TPropList&) {}

TPopupMenuWindow::TPopupMenuWindow(TComponent* owner, HMENU menu, HWND notify)
    : THintWindow(owner), FMenu(menu), FNotify(notify) {
  SetOwnColor(clMenu);
}

void TPopupMenuWindow::Measure() {
  FItems.clear();
  int count = std::max(0, GetMenuItemCount(FMenu));
  int y = kBorder, width = 0;
  HDC dc = CreateScreenDC();
  for (int i = 0; i < count; ++i) {
    TItem it;
    it.state = GetMenuState(FMenu, UINT(i), MF_BYPOSITION);
    it.sub = GetSubMenu(FMenu, i);
    // A sub-menu's state holds its item count in the high byte, not flags.
    if (it.sub) it.state &= 0xFF;
    if (GetMenuDefaultItem(FMenu, TRUE, GMDI_USEDISABLED) == UINT(i)) it.state |= MF_DEFAULT;
    it.id = it.sub ? 0 : GetMenuItemID(FMenu, i);
    it.data = GetMenuItemData(FMenu, UINT(i), MF_BYPOSITION);
    int n = GetMenuString(FMenu, UINT(i), nullptr, 0, MF_BYPOSITION);
    it.text.resize(std::size_t(n) + 1);
    it.text.resize(
        std::size_t(GetMenuString(FMenu, UINT(i), it.text.data(), n + 1, MF_BYPOSITION)));
    it.top = y;
    if (it.state & MF_SEPARATOR) {
      it.height = kSeparator;
    } else if (it.state & MF_OWNERDRAW) {
      MEASUREITEMSTRUCT mis;
      mis.CtlType = ODT_MENU;
      mis.itemID = it.id;
      mis.itemData = it.data;
      mis.itemHeight = UINT(ItemHeight());
      if (FNotify) SendMessage(FNotify, WM_MEASUREITEM, 0, LPARAM(&mis));
      it.height = std::max(1, int(mis.itemHeight));
      width = std::max(width, int(mis.itemWidth));
    } else {
      HFONT font = MenuFont(it.state & MF_DEFAULT);
      HGDIOBJ old = SelectObject(dc, font);
      auto [caption, shortcut] = Split(it.text);
      RECT r{0, 0, 0, 0};
      DrawText(dc, caption, &r, DT_CALCRECT | DT_SINGLELINE);
      int w = kMargin + int(r.right - r.left) + kMargin;
      if (!shortcut.empty()) {
        RECT s{0, 0, 0, 0};
        DrawText(dc, shortcut, &s, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        w += int(s.right - s.left) + kMargin;
      }
      SelectObject(dc, old);
      DeleteObject(font);
      it.height = ItemHeight();
      width = std::max(width, w);
    }
    y += it.height;
    FItems.push_back(std::move(it));
  }
  DeleteDC(dc);
  FTextWidth = std::max(width, 2 * kMargin);
  SetBounds(Left(), Top(), FTextWidth + 2 * kBorder, y + kBorder);
}

void TPopupMenuWindow::PlaceAt(POINT at, const RECT* beside) {
  int w = Width(), h = Height();
  int sw = Screen->Width(), sh = Screen->Height();
  int x = at.x, y = at.y;
  if (beside) {
    x = beside->right - kBorder;
    y = beside->top - kBorder;
    if (x + w > sw) x = beside->left - w + kBorder;
  } else if (x + w > sw) {
    x -= w;  // opens to the left of the point, as it would at the screen's right edge
  }
  if (y + h > sh) y = beside ? sh - h : at.y - h;
  x = std::max(0, std::min(x, sw - w));
  y = std::max(0, std::min(y, sh - h));
  SetBounds(x, y, w, h);
}

int TPopupMenuWindow::ItemAt(POINT p) const {
  if (p.x < kBorder || p.x >= Width() - kBorder) return -1;
  for (int i = 0; i < Count(); ++i)
    if (p.y >= FItems[i].top && p.y < FItems[i].top + FItems[i].height) return i;
  return -1;
}

RECT TPopupMenuWindow::ItemRect(int pos) const {
  if (pos < 0 || pos >= Count()) return RECT{0, 0, 0, 0};
  const TItem& it = FItems[pos];
  return RECT{kBorder, it.top, Width() - kBorder, it.top + it.height};
}

bool TPopupMenuWindow::Selectable(int pos) const {
  return pos >= 0 && pos < Count() && !(FItems[pos].state & MF_SEPARATOR) &&
         !Greyed(FItems[pos].state);
}

int TPopupMenuWindow::NextSelectable(int from, int step) const {
  int n = Count();
  if (n == 0) return -1;
  int i = from < 0 ? (step > 0 ? -1 : n) : from;
  for (int k = 0; k < n; ++k) {
    i = ((i + step) % n + n) % n;
    if (Selectable(i)) return i;
  }
  return -1;
}

int TPopupMenuWindow::ItemWithLetter(char ch) const {
  char want = char(std::toupper(static_cast<unsigned char>(ch)));
  for (int i = 0; i < Count(); ++i)
    if (!(FItems[i].state & (MF_SEPARATOR | MF_OWNERDRAW)) && !Greyed(FItems[i].state) &&
        UnderlinedLetter(FItems[i].text) == want)
      return i;
  return -1;
}

void TPopupMenuWindow::SetHot(int pos) {
  if (pos < -1 || pos >= Count()) pos = -1;
  if (pos == FHot) return;
  if (FHot >= 0) HiliteMenuItem(nullptr, FMenu, UINT(FHot), MF_BYPOSITION);
  FHot = pos;
  if (pos >= 0) {
    HiliteMenuItem(nullptr, FMenu, UINT(pos), MF_BYPOSITION | MF_HILITE);
    const TItem& it = FItems[pos];
    UINT flags = (it.state & ~MF_HILITE) | MF_HILITE | (it.sub ? MF_POPUP : 0);
    if (FNotify)
      SendMessage(FNotify, WM_MENUSELECT, MAKEWPARAM(WORD(it.sub ? UINT(pos) : it.id), WORD(flags)),
                  LPARAM(FMenu));
  }
  Invalidate();
}

void TPopupMenuWindow::Paint() {
  HDC dc = Canvas()->Handle();
  RECT all{0, 0, Width(), Height()};
  FillRect(dc, &all, GetSysColorBrush(COLOR_MENU));
  DrawEdge(dc, &all, EDGE_RAISED, BF_RECT);
  for (int i = 0; i < Count(); ++i) PaintItem(dc, i);
}

void TPopupMenuWindow::PaintItem(HDC dc, int pos) {
  const TItem& it = FItems[pos];
  RECT r = ItemRect(pos);
  bool hot = pos == FHot, grey = Greyed(it.state);
  int saved = SaveDC(dc);
  if (it.state & MF_OWNERDRAW) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_MENU;
    dis.itemID = it.id;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = (hot ? ODS_SELECTED : 0) | (grey ? ODS_GRAYED | ODS_DISABLED : 0) |
                    (it.state & MF_CHECKED ? ODS_CHECKED : 0);
    dis.hwndItem = reinterpret_cast<HWND>(FMenu);
    dis.hDC = dc;
    dis.rcItem = r;
    dis.itemData = it.data;
    FillRect(dc, &r, GetSysColorBrush(COLOR_MENU));
    if (FNotify) SendMessage(FNotify, WM_DRAWITEM, 0, LPARAM(&dis));
    RestoreDC(dc, saved);
    return;
  }
  if (it.state & MF_SEPARATOR) {
    int y = r.top + kSeparator / 2 - 1;
    RECT dark{r.left + 1, y, r.right - 1, y + 1}, light{r.left + 1, y + 1, r.right - 1, y + 2};
    FillRect(dc, &dark, GetSysColorBrush(COLOR_BTNSHADOW));
    FillRect(dc, &light, GetSysColorBrush(COLOR_BTNHIGHLIGHT));
    RestoreDC(dc, saved);
    return;
  }
  FillRect(dc, &r, GetSysColorBrush(hot ? COLOR_HIGHLIGHT : COLOR_MENU));
  HFONT font = MenuFont(it.state & MF_DEFAULT);
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  // Named, not bound: clang 14 cannot capture a structured binding in a lambda.
  const auto parts = Split(it.text);
  const auto& caption = parts.first;
  const auto& shortcut = parts.second;
  auto text = [&](int dx, int dy, COLORREF color) {
    SetTextColor(dc, color);
    RECT t{r.left + kMargin + dx, r.top + dy, r.right - kMargin + dx, r.bottom + dy};
    DrawText(dc, caption, &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (!shortcut.empty())
      DrawText(dc, shortcut, &t, DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
  };
  COLORREF ink = GetSysColor(hot ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
  if (grey) {
    // Etched: a light copy under the grey one (the selection shows only the grey).
    if (!hot) text(1, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    ink = GetSysColor(COLOR_GRAYTEXT);
  }
  text(0, 0, ink);
  if (it.sub) {
    // The arrow: a small triangle pointing to where the sub-menu opens.
    HBRUSH brush = CreateSolidBrush(ink);
    int x = r.right - kMargin + 6, cy = (r.top + r.bottom) / 2;
    for (int i = 0; i < 4; ++i) {
      RECT col{x + i, cy - 3 + i, x + i + 1, cy + 4 - i};
      FillRect(dc, &col, brush);
    }
    DeleteObject(brush);
  }
  RestoreDC(dc, saved);
  DeleteObject(font);
}

// --- Tracking ----------------------------------------------------------------------------

namespace {

class TMenuTracker {
 public:
  TMenuTracker(HWND owner) : FOwner(owner) {}
  ~TMenuTracker() {
    while (!FLevels.empty()) CloseDeepest();
  }
  // Opens a level (the first at a point, a sub-menu beside its parent's item).
  void Open(HMENU menu, POINT at, int parentItem);
  bool Handle(const DisplayEvent& e);
  bool Done() const { return FDone; }
  UINT Chosen() const { return FChosen; }
  void Dismiss() { Finish(0); }
  TPopupMenuWindow* Top() const { return FLevels.empty() ? nullptr : FLevels.front().get(); }

 private:
  TPopupMenuWindow* Deepest() const { return FLevels.back().get(); }
  void CloseDeepest();
  void CloseBelow(std::size_t level);
  void Finish(UINT id) {
    FChosen = id;
    FDone = true;
  }
  // Chooses the item (a command ends the menu; a sub-menu opens, optionally with its first
  // item highlighted).
  void Activate(std::size_t level, int pos, bool selectFirst);
  // The level and item under a screen point (false: outside every level).
  bool Under(POINT screen, std::size_t* level, int* pos) const;
  void MenuChar(char ch);

  HWND FOwner;
  std::vector<std::unique_ptr<TPopupMenuWindow>> FLevels;
  bool FDone = false, FPressed = false;
  UINT FChosen = 0;
};

void TMenuTracker::Open(HMENU menu, POINT at, int parentItem) {
  if (FOwner)
    SendMessage(FOwner, WM_INITMENUPOPUP, WPARAM(menu),
                MAKELPARAM(WORD(std::max(parentItem, 0)), 0));
  auto w = std::make_unique<TPopupMenuWindow>(Application, menu, FOwner);
  w->Measure();
  if (FLevels.empty()) {
    w->PlaceAt(at);
  } else {
    TPopupMenuWindow* parent = Deepest();
    RECT r = parent->ItemRect(parentItem);
    OffsetRect(&r, parent->Left(), parent->Top());
    w->PlaceAt(at, &r);
  }
  w->Show();
  FLevels.push_back(std::move(w));
  DisplayBackend::Changed();
}

void TMenuTracker::CloseDeepest() {
  TPopupMenuWindow* w = Deepest();
  w->SetHot(-1);
  w->Hide();
  FLevels.pop_back();
  DisplayBackend::Changed();
}

void TMenuTracker::CloseBelow(std::size_t level) {
  while (FLevels.size() > level + 1) CloseDeepest();
}

void TMenuTracker::Activate(std::size_t level, int pos, bool selectFirst) {
  TPopupMenuWindow* w = FLevels[level].get();
  if (!w->Selectable(pos)) return;
  w->SetHot(pos);
  HMENU sub = GetSubMenu(w->Menu(), pos);
  if (!sub) {
    Finish(GetMenuItemID(w->Menu(), pos));
    return;
  }
  if (FLevels.size() > level + 1 && FLevels[level + 1]->Menu() == sub) {
    if (selectFirst && Deepest()->Hot() < 0) Deepest()->SetHot(Deepest()->NextSelectable(-1, 1));
    return;
  }
  CloseBelow(level);
  Open(sub, POINT{}, pos);
  if (selectFirst) Deepest()->SetHot(Deepest()->NextSelectable(-1, 1));
}

bool TMenuTracker::Under(POINT s, std::size_t* level, int* pos) const {
  for (std::size_t i = FLevels.size(); i-- > 0;) {
    const TPopupMenuWindow* w = FLevels[i].get();
    if (s.x < w->Left() || s.y < w->Top() || s.x >= w->Left() + w->Width() ||
        s.y >= w->Top() + w->Height())
      continue;
    *level = i;
    *pos = w->ItemAt(POINT{s.x - w->Left(), s.y - w->Top()});
    return true;
  }
  return false;
}

void TMenuTracker::MenuChar(char ch) {
  TPopupMenuWindow* w = Deepest();
  std::size_t level = FLevels.size() - 1;
  if (int pos = w->ItemWithLetter(ch); pos >= 0) {
    Activate(level, pos, true);
    return;
  }
  // Owner-drawn items have no letter of their own: the owner may know one.
  if (!FOwner) return;
  LRESULT r = SendMessage(FOwner, WM_MENUCHAR,
                          MAKEWPARAM(WORD(static_cast<unsigned char>(ch)), WORD(MF_POPUP)),
                          LPARAM(w->Menu()));
  UINT action = UINT(r >> 16) & 0xFFFF;
  int pos = int(r & 0xFFFF);
  if (action == MNC_EXECUTE)
    Activate(level, pos, true);
  else if (action == MNC_SELECT && w->Selectable(pos))
    w->SetHot(pos);
  else if (action == MNC_CLOSE)
    Dismiss();
}

bool TMenuTracker::Handle(const DisplayEvent& e) {
  if (FDone) return true;
  switch (e.kind) {
    case DisplayEvent::MouseMove: {
      std::size_t level = 0;
      int pos = -1;
      if (!Under(POINT{e.x, e.y}, &level, &pos)) {
        // Off the menus: the deepest level loses its highlight unless a sub-menu hangs from it.
        if (FLevels.size() == 1) Deepest()->SetHot(-1);
        break;
      }
      TPopupMenuWindow* w = FLevels[level].get();
      if (pos >= 0 && FLevels.size() > level + 1 && w->Hot() == pos)
        break;  // over the open sub-menu's item
      CloseBelow(level);
      // Dragged onto an item with a button held: its release there chooses it.
      if (w->Selectable(pos) && (e.shift & 3)) FPressed = true;
      w->SetHot(w->Selectable(pos) ? pos : -1);
      if (w->Selectable(pos) && GetSubMenu(w->Menu(), pos)) Activate(level, pos, false);
      break;
    }
    case DisplayEvent::MouseDown: {
      std::size_t level = 0;
      int pos = -1;
      if (!Under(POINT{e.x, e.y}, &level, &pos)) {
        Dismiss();
        break;
      }
      FPressed = true;
      break;
    }
    case DisplayEvent::MouseUp: {
      // The release of the button that opened the menu chooses nothing where it is.
      if (!FPressed) break;
      std::size_t level = 0;
      int pos = -1;
      if (Under(POINT{e.x, e.y}, &level, &pos) && pos >= 0) Activate(level, pos, false);
      break;
    }
    case DisplayEvent::KeyDown: {
      TPopupMenuWindow* w = Deepest();
      std::size_t level = FLevels.size() - 1;
      switch (e.key) {
        case VK_DOWN:
          w->SetHot(w->NextSelectable(w->Hot(), 1));
          break;
        case VK_UP:
          w->SetHot(w->NextSelectable(w->Hot(), -1));
          break;
        case VK_RIGHT:
          if (w->Selectable(w->Hot()) && GetSubMenu(w->Menu(), w->Hot()))
            Activate(level, w->Hot(), true);
          break;
        case VK_LEFT:
          if (level > 0) CloseDeepest();
          break;
        case VK_RETURN:
          if (w->Selectable(w->Hot())) Activate(level, w->Hot(), true);
          break;
        case VK_ESCAPE:
          if (level > 0)
            CloseDeepest();
          else
            Dismiss();
          break;
        default:
          break;
      }
      break;
    }
    case DisplayEvent::Char:
      if (e.text.size() == 1 && static_cast<unsigned char>(e.text[0]) > 0x20) MenuChar(e.text[0]);
      break;
    case DisplayEvent::LostFocus:
    case DisplayEvent::CloseRequest:
      Dismiss();
      break;
    default:
      break;
  }
  return true;
}

// Without a display the menu is only a picture for the snapshot folder.
void SnapshotMenu(HMENU menu, int x, int y, HWND owner) {
  const char* dir = std::getenv("WI_SNAPSHOT_DIR");
  if (!dir || !*dir) return;
  WindowPainter::InstallControlCanvas();
  TPopupMenuWindow w(Application, menu, owner);
  if (owner) SendMessage(owner, WM_INITMENUPOPUP, WPARAM(menu), 0);
  w.Measure();
  w.PlaceAt(POINT{x, y});
  Surface s;
  w.PaintTo(s);
  auto surface = CreateHeadlessSurface("Menu", nullptr);
  surface->Show(true);
  surface->Present(s);
}

}  // namespace

UINT TrackPopupMenuWindow(HMENU menu, int x, int y, HWND owner) {
  if (!DisplayBackend::UsesX11() || !Application) {
    SnapshotMenu(menu, x, y, owner);
    return 0;
  }
  TMenuTracker tracker(owner);
  tracker.Open(menu, POINT{x, y}, -1);
  DisplayBackend::InputHook previous =
      DisplayBackend::SetInputHook([&tracker](const DisplayEvent& e) { return tracker.Handle(e); });
  struct Restore {
    DisplayBackend::InputHook previous;
    HWND owner;
    ~Restore() {
      DisplayBackend::SetInputHook(std::move(previous));
      if (owner && IsWindow(owner)) SendMessage(owner, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    }
  } restore{std::move(previous), owner};
  DisplayBackend::Update();
  while (!tracker.Done()) {
    if (Application->Terminated()) break;
    if (!Application->HandleMessage() && !tracker.Done() && !Application->WaitForWork()) break;
  }
  return tracker.Chosen();
}
