#include "platform/forms/ListViewInput.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/forms/HeaderCtrl.h"
#include "platform/forms/ListViewLayout.h"

using namespace win;

namespace ListViewInput {

namespace {

POINT PointOf(const TMessage& m) {
  return POINT{short(LOWORD(DWORD(m.LParam))), short(HIWORD(DWORD(m.LParam)))};
}

// Header coordinates of a point of the view.
LPARAM ToHeader(const Native& w, POINT pt) {
  RECT hb = Header::Bounds(w.header);
  return MAKELPARAM(WORD(short(pt.x - hb.left)), WORD(short(pt.y - hb.top)));
}

// NM_CLICK and its kin, carrying the item activated.
LRESULT NotifyClick(Native& w, int code, int item, POINT pt) {
  NMLISTVIEW nm;
  nm.iItem = item;
  nm.ptAction = pt;
  nm.lParam = w.ParamOf(item);
  return w.Notify(code, &nm.hdr);
}

// A button that went down on the items: ends an edit, takes the focus and gives the item
// hit (-1: none); false when the press was the header's or the view is disabled.
bool Press(Native& w, TMessage& m, int& hit) {
  if (!w.V.Enabled()) return false;
  POINT pt = PointOf(m);
  ListViewLayout g = w.Layout();
  if (w.header && g.hdrH && pt.y >= g.border && pt.y < g.top0) {
    g.PlaceHeader();
    if (m.Msg != WM_RBUTTONDOWN) {
      w.headerMouse = true;
      SendMessage(w.header, m.Msg, m.WParam, ToHeader(w, pt));
    }
    return false;
  }
  if (w.editing >= 0) w.EndEdit(false);
  w.TakeFocus();
  LVHITTESTINFO hi;
  hi.pt = pt;
  hit = w.Layout().HitTest(&hi, false);
  return true;
}

bool MultiSelect(const Native& w) { return !w.V.HasStyle(LVS_SINGLESEL); }

// The item a navigation key goes to (-1: none), from the focused one (cur).
int KeyTarget(Native& w, WORD key, int cur) {
  ListViewLayout g = w.Layout();
  int n = w.Count();
  auto step = [&](UINT dir) {
    if (cur < 0) return 0;
    int r = w.NextItem(cur, dir);
    return r < 0 ? cur : r;
  };
  int page = g.Is(LVS_REPORT) ? g.PageUnits()
             : g.Is(LVS_LIST) ? g.perLine
                              : g.perLine * g.PageUnits();
  switch (key) {
    case VK_UP:
      return step(LVNI_ABOVE);
    case VK_DOWN:
      return step(LVNI_BELOW);
    case VK_LEFT:
      return g.Is(LVS_REPORT) ? -1 : step(LVNI_TOLEFT);
    case VK_RIGHT:
      return g.Is(LVS_REPORT) ? -1 : step(LVNI_TORIGHT);
    case VK_HOME:
      return 0;
    case VK_END:
      return n - 1;
    case VK_PRIOR:
      return std::max(0, cur - std::max(1, page - 1));
    case VK_NEXT:
      return std::min(n - 1, std::max(0, cur) + std::max(1, page - 1));
    default:
      return -1;
  }
}

// The focus moves to `to`: with Shift the range from the anchor is selected, with Ctrl
// only the focus moves, else `to` alone is selected.
void MoveFocusTo(Native& w, int to, int cur) {
  TShiftState ss = KeyboardShiftState();
  if (MultiSelect(w) && (ss & ssShift)) {
    if (!w.Valid(w.anchor)) w.anchor = cur >= 0 ? cur : to;
    w.SelectRange(w.anchor, to, (ss & ssCtrl) != 0);
    w.Focus(to);
  } else if (MultiSelect(w) && (ss & ssCtrl)) {
    w.Focus(to);
  } else {
    w.SelectOnly(to);
    w.anchor = to;
  }
  w.EnsureVisible(to);
}

}  // namespace

Reply LeftDown(Native& w, TMessage& m) {
  int i;
  if (!Press(w, m, i)) return 0;
  bool ctrl = m.WParam & ViewSupport::MK_CONTROL, shift = m.WParam & ViewSupport::MK_SHIFT;
  if (i < 0) {
    if (!ctrl && !shift) w.SelectOnly(-1);
  } else if (MultiSelect(w) && ctrl) {
    w.ChangeState(i, LVIS_SELECTED | LVIS_FOCUSED, (w.StateOf(i) ^ LVIS_SELECTED) | LVIS_FOCUSED);
    w.anchor = i;
  } else if (MultiSelect(w) && shift) {
    w.SelectRange(w.Valid(w.anchor) ? w.anchor : i, i, false);
    w.Focus(i);
  } else {
    w.SelectOnly(i);
    w.anchor = i;
  }
  w.dragItem = i;
  w.dragRight = false;
  w.dragFrom = PointOf(m);
  NotifyClick(w, NM_CLICK, i, w.dragFrom);
  w.V.Click();
  return 0;
}

Reply DoubleClick(Native& w, TMessage& m) {
  int i;
  if (!Press(w, m, i)) return 0;
  w.dragItem = -1;
  NotifyClick(w, NM_DBLCLK, i, PointOf(m));
  if (i >= 0) NotifyClick(w, LVN_ITEMACTIVATE, i, PointOf(m));
  w.V.DblClick();
  return 0;
}

Reply RightDown(Native& w, TMessage& m) {
  int i;
  if (!Press(w, m, i)) return 0;
  // The item under a right click joins the selection, unless it is in it already.
  if (i >= 0 && !(w.StateOf(i) & LVIS_SELECTED))
    w.SelectOnly(i), w.anchor = i;
  else if (i >= 0)
    w.Focus(i);
  w.dragItem = i;
  w.dragRight = true;
  w.dragFrom = PointOf(m);
  if (!NotifyClick(w, NM_RCLICK, i, w.dragFrom))
    w.V.Perform(WM_CONTEXTMENU, WPARAM(w.V.Handle()), m.LParam);
  return 0;
}

Reply MouseMove(Native& w, TMessage& m) {
  POINT pt = PointOf(m);
  if (w.headerMouse && w.header) {
    SendMessage(w.header, m.Msg, m.WParam, ToHeader(w, pt));
    return 0;
  }
  // A press that moves a few pixels starts a drag.
  if (w.Valid(w.dragItem) && (m.WParam & (ViewSupport::MK_LBUTTON | ViewSupport::MK_RBUTTON)) &&
      (std::abs(pt.x - w.dragFrom.x) > 4 || std::abs(pt.y - w.dragFrom.y) > 4)) {
    NMLISTVIEW nm;
    nm.iItem = std::exchange(w.dragItem, -1);
    nm.ptAction = w.dragFrom;
    nm.lParam = w.ParamOf(nm.iItem);
    w.Notify(w.dragRight ? LVN_BEGINRDRAG : LVN_BEGINDRAG, &nm.hdr);
  }
  return std::nullopt;
}

Reply ButtonUp(Native& w, TMessage& m) {
  w.dragItem = -1;
  if (w.headerMouse && w.header && m.Msg == WM_LBUTTONUP) {
    w.headerMouse = false;
    SendMessage(w.header, m.Msg, m.WParam, ToHeader(w, PointOf(m)));
    return 0;
  }
  return std::nullopt;
}

Reply KeyDown(Native& w, TMessage& m) {
  WORD key = WORD(m.WParam);
  w.ControlKeyDown(key);
  if (!key) return 0;
  w.NotifyKey<NMLVKEYDOWN>(LVN_KEYDOWN, key);
  int n = w.Count();
  if (!n) return 0;
  int cur = w.Valid(w.focus) ? w.focus : -1;
  int to = KeyTarget(w, key, cur);
  if (key == VK_SPACE && cur >= 0) {
    bool toggle = (KeyboardShiftState() & ssCtrl) && MultiSelect(w);
    w.ChangeState(cur, LVIS_SELECTED, toggle ? w.StateOf(cur) ^ LVIS_SELECTED : LVIS_SELECTED);
  } else if (key == 0x71 /* VK_F2 */ && cur >= 0 && w.V.HasStyle(LVS_EDITLABELS)) {
    w.EditLabel(cur);
  } else if (key == VK_RETURN) {
    NMHDR hdr;
    w.Notify(NM_RETURN, &hdr);
    if (cur >= 0) NotifyClick(w, LVN_ITEMACTIVATE, cur, POINT{});
  }
  if (to >= 0 && to < n) MoveFocusTo(w, to, cur);
  return 0;
}

Reply Char(Native& w, TMessage& m) {
  char c = char(m.WParam);
  w.ControlKeyPress(c);
  if (static_cast<unsigned char>(c) < 0x20) return 0;
  // Type-ahead: letters typed within a second search together, from the focused item.
  std::uint64_t now = TimerClock();
  if (now - w.typedAt > 1000) w.typed.clear();
  w.typedAt = now;
  bool repeat = w.typed.size() == 1 && w.typed[0] == c;
  if (!repeat) w.typed += c;
  LVFINDINFOA fi;
  fi.flags = LVFI_PARTIAL | LVFI_WRAP | LVFI_STRING;
  fi.psz = w.typed.c_str();
  int start = w.Valid(w.focus) ? w.focus : -1;
  // A new search starts at the focused item itself; one repeated letter moves on.
  int found = w.FindItem(w.typed.size() > 1 ? start - 1 : start, &fi);
  if (found >= 0) {
    w.SelectOnly(found);
    w.anchor = found;
    w.EnsureVisible(found);
  }
  return 0;
}

}  // namespace ListViewInput
