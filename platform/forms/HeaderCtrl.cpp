#include "platform/forms/HeaderCtrl.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace Header {
namespace {

struct Item {
  std::string text;
  int cxy = 0, fmt = HDF_LEFT | HDF_STRING, image = 0, order = 0;
  LPARAM lParam = 0;
};

struct Data {
  HWND self = nullptr, parent = nullptr;
  UINT_PTR id = 0;
  RECT bounds{};
  std::vector<Item> items;
  int tracking = -1, trackX = 0, trackW = 0, pressed = -1;
};

std::map<HWND, std::shared_ptr<Data>>& headers() {
  static std::map<HWND, std::shared_ptr<Data>> m;
  return m;
}

Data* Find(HWND h) {
  auto it = headers().find(h);
  return it == headers().end() ? nullptr : it->second.get();
}

constexpr int kDivider = 4;  // the grip on each side of a divider

int Notify(Data& d, int code, int item, HDITEMA* pitem, int button = 0) {
  NMHEADERA nm;
  nm.hdr.hwndFrom = d.self;
  nm.hdr.idFrom = d.id;
  nm.hdr.code = code;
  nm.iItem = item;
  nm.iButton = button;
  nm.pitem = pitem;
  return d.parent ? int(SendMessage(d.parent, WM_NOTIFY, d.id, LPARAM(&nm))) : 0;
}

RECT ItemRect(const Data& d, int i) {
  int x = 0;
  for (int k = 0; k < i; ++k) x += d.items[size_t(k)].cxy;
  return RECT{x, 0, x + d.items[size_t(i)].cxy, d.bounds.bottom - d.bounds.top};
}

void HitTest(const Data& d, HDHITTESTINFO* hi) {
  hi->flags = HHT_NOWHERE;
  hi->iItem = -1;
  int x = hi->pt.x, h = d.bounds.bottom - d.bounds.top;
  if (hi->pt.y < 0 || hi->pt.y >= h) return;
  int right = 0;
  for (size_t i = 0; i < d.items.size(); ++i) right += d.items[i].cxy;
  // Dividers first, from the right, so that a zero-width column can still be widened.
  int edge = right;
  for (int i = int(d.items.size()) - 1; i >= 0; --i) {
    if (x >= edge - kDivider && x < edge + kDivider) {
      hi->flags = HHT_ONDIVIDER;
      hi->iItem = i;
      return;
    }
    edge -= d.items[size_t(i)].cxy;
  }
  for (int i = 0; i < int(d.items.size()); ++i) {
    RECT r = ItemRect(d, i);
    if (x >= r.left && x < r.right) {
      hi->flags = HHT_ONHEADER;
      hi->iItem = i;
      return;
    }
  }
}

void Fill(const HDITEMA& in, Item& it) {
  if (in.mask & HDI_TEXT) it.text = in.pszText ? in.pszText : "";
  if (in.mask & HDI_WIDTH) it.cxy = std::max(0, in.cxy);
  if (in.mask & HDI_FORMAT) it.fmt = in.fmt;
  if (in.mask & HDI_LPARAM) it.lParam = in.lParam;
  if (in.mask & HDI_IMAGE) it.image = in.iImage;
  if (in.mask & HDI_ORDER) it.order = in.iOrder;
}

// A width change asked of the parent: ITEMCHANGING may refuse it.
bool SetWidth(Data& d, int i, int w) {
  HDITEMA hi;
  hi.mask = HDI_WIDTH;
  hi.cxy = std::max(0, w);
  if (Notify(d, HDN_ITEMCHANGINGA, i, &hi)) return false;
  d.items[size_t(i)].cxy = hi.cxy;
  Notify(d, HDN_ITEMCHANGEDA, i, &hi);
  return true;
}

LRESULT Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  Data* dp = Find(h);
  if (!dp) return 0;
  Data& d = *dp;
  int n = int(d.items.size());
  auto validIndex = [&](WPARAM i) { return int(i) >= 0 && int(i) < n; };
  switch (msg) {
    case HDM_GETITEMCOUNT:
      return n;
    case HDM_INSERTITEMA: {
      auto* in = reinterpret_cast<HDITEMA*>(l);
      if (!in) return -1;
      Item it;
      Fill(*in, it);
      int at = std::clamp(int(w), 0, n);
      d.items.insert(d.items.begin() + at, it);
      return at;
    }
    case HDM_DELETEITEM:
      if (!validIndex(w)) return FALSE;
      d.items.erase(d.items.begin() + int(w));
      if (d.tracking >= int(d.items.size())) d.tracking = -1;
      d.pressed = -1;
      return TRUE;
    case HDM_GETITEMA: {
      auto* out = reinterpret_cast<HDITEMA*>(l);
      if (!out || !validIndex(w)) return FALSE;
      const Item& it = d.items[size_t(w)];
      if (out->mask & HDI_TEXT) {
        if (out->pszText && out->cchTextMax > 0) {
          size_t k = std::min(it.text.size(), size_t(out->cchTextMax - 1));
          std::memcpy(out->pszText, it.text.data(), k);
          out->pszText[k] = 0;
        }
      }
      if (out->mask & HDI_WIDTH) out->cxy = it.cxy;
      if (out->mask & HDI_FORMAT) out->fmt = it.fmt;
      if (out->mask & HDI_LPARAM) out->lParam = it.lParam;
      if (out->mask & HDI_IMAGE) out->iImage = it.image;
      if (out->mask & HDI_ORDER) out->iOrder = it.order;
      return TRUE;
    }
    case HDM_SETITEMA: {
      auto* in = reinterpret_cast<HDITEMA*>(l);
      if (!in || !validIndex(w)) return FALSE;
      if (Notify(d, HDN_ITEMCHANGINGA, int(w), in)) return FALSE;
      Fill(*in, d.items[size_t(w)]);
      Notify(d, HDN_ITEMCHANGEDA, int(w), in);
      return TRUE;
    }
    case HDM_HITTEST: {
      auto* hi = reinterpret_cast<HDHITTESTINFO*>(l);
      if (!hi) return -1;
      HitTest(d, hi);
      return hi->iItem;
    }
    case HDM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(l);
      if (!r || !validIndex(w)) return FALSE;
      *r = ItemRect(d, int(w));
      return TRUE;
    }
    case WM_LBUTTONDOWN: {
      HDHITTESTINFO hi;
      hi.pt = {short(LOWORD(DWORD(l))), short(HIWORD(DWORD(l)))};
      HitTest(d, &hi);
      if (hi.flags & HHT_ONDIVIDER) {
        HDITEMA it;
        it.mask = HDI_WIDTH;
        it.cxy = d.items[size_t(hi.iItem)].cxy;
        if (Notify(d, HDN_BEGINTRACKA, hi.iItem, &it)) return 0;
        d.tracking = hi.iItem;
        d.trackX = hi.pt.x;
        d.trackW = it.cxy;
      } else if (hi.flags & HHT_ONHEADER) {
        d.pressed = hi.iItem;
      }
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      HDHITTESTINFO hi;
      hi.pt = {short(LOWORD(DWORD(l))), short(HIWORD(DWORD(l)))};
      HitTest(d, &hi);
      if (hi.flags & HHT_ONDIVIDER)
        Notify(d, HDN_DIVIDERDBLCLICKA, hi.iItem, nullptr);
      else if (hi.flags & HHT_ONHEADER)
        Notify(d, HDN_ITEMDBLCLICKA, hi.iItem, nullptr);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (d.tracking < 0) return 0;
      int x = short(LOWORD(DWORD(l)));
      HDITEMA it;
      it.mask = HDI_WIDTH;
      it.cxy = std::max(0, d.trackW + x - d.trackX);
      if (Notify(d, HDN_TRACKA, d.tracking, &it)) {
        d.tracking = -1;
        return 0;
      }
      SetWidth(d, d.tracking, it.cxy);
      return 0;
    }
    case WM_LBUTTONUP: {
      if (d.tracking >= 0) {
        int i = d.tracking;
        d.tracking = -1;
        HDITEMA it;
        it.mask = HDI_WIDTH;
        it.cxy = d.items[size_t(i)].cxy;
        Notify(d, HDN_ENDTRACKA, i, &it);
        return 0;
      }
      int pressed = std::exchange(d.pressed, -1);
      HDHITTESTINFO hi;
      hi.pt = {short(LOWORD(DWORD(l))), short(HIWORD(DWORD(l)))};
      HitTest(d, &hi);
      // A click is a press and a release on the same item.
      if (pressed >= 0 && (hi.flags & HHT_ONHEADER) && hi.iItem == pressed)
        Notify(d, HDN_ITEMCLICKA, pressed, nullptr);
      return 0;
    }
    default:
      return 0;
  }
}

void DrawArrow(HDC dc, const RECT& r, bool up) {
  int cx = r.right - 12, cy = (r.top + r.bottom) / 2;
  POINT pts[3];
  if (up)
    pts[0] = {cx, cy + 3}, pts[1] = {cx + 8, cy + 3}, pts[2] = {cx + 4, cy - 3};
  else
    pts[0] = {cx, cy - 3}, pts[1] = {cx + 8, cy - 3}, pts[2] = {cx + 4, cy + 3};
  HBRUSH b = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
  HPEN p = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ ob = SelectObject(dc, b), op = SelectObject(dc, p);
  Polygon(dc, pts, 3);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(b);
  DeleteObject(p);
}

}  // namespace

HWND Create(HWND parent, UINT_PTR id) {
  auto d = std::make_shared<Data>();
  d->parent = parent;
  d->id = id;
  d->bounds = RECT{0, 0, 0, DefaultHeight()};
  HWND h = CreateWindowHandle(Proc);
  d->self = h;
  headers()[h] = d;
  return h;
}

void Destroy(HWND header) {
  if (headers().erase(header)) DestroyWindow(header);
}

void SetBounds(HWND header, const RECT& r) {
  if (Data* d = Find(header)) d->bounds = r;
}

RECT Bounds(HWND header) {
  Data* d = Find(header);
  return d ? d->bounds : RECT{};
}

int DefaultHeight() { return 17; }

bool Tracking(HWND header) {
  Data* d = Find(header);
  return d && (d->tracking >= 0 || d->pressed >= 0);
}

void Paint(HWND header, HDC dc, HFONT font) {
  Data* dp = Find(header);
  if (!dp) return;
  Data& d = *dp;
  SaveDC(dc);
  IntersectClipRect(dc, d.bounds.left, d.bounds.top, d.bounds.right, d.bounds.bottom);
  // Items are drawn in the header's own coordinates, as owner-draw handlers expect.
  OffsetViewportOrgEx(dc, d.bounds.left, d.bounds.top, nullptr);
  RECT all{0, 0, d.bounds.right - d.bounds.left, d.bounds.bottom - d.bounds.top};
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  FillRect(dc, &all, face);
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  int right = 0;
  for (int i = 0; i < int(d.items.size()); ++i) {
    const Item& it = d.items[size_t(i)];
    RECT r = ItemRect(d, i);
    right = r.right;
    if (r.right <= r.left) continue;
    if (it.fmt & HDF_OWNERDRAW) {
      DRAWITEMSTRUCT dis;
      dis.CtlType = ODT_HEADER;
      dis.CtlID = UINT(d.id);
      dis.itemID = UINT(i);
      dis.itemAction = ODA_DRAWENTIRE;
      dis.itemState = i == d.pressed ? ODS_SELECTED : 0;
      dis.hwndItem = header;
      dis.hDC = dc;
      dis.rcItem = r;
      dis.itemData = std::uintptr_t(it.lParam);
      SaveDC(dc);
      if (d.parent) SendMessage(d.parent, WM_DRAWITEM, d.id, LPARAM(&dis));
      RestoreDC(dc, -1);
    } else {
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      RECT tr{r.left + 6, r.top, r.right - 6, r.bottom};
      bool arrow = it.fmt & (HDF_SORTUP | HDF_SORTDOWN);
      if (arrow) tr.right -= 14;
      UINT just = (it.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT    ? DT_RIGHT
                  : (it.fmt & HDF_JUSTIFYMASK) == HDF_CENTER ? DT_CENTER
                                                             : DT_LEFT;
      DrawText(dc, it.text, &tr, just | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
      if (arrow) DrawArrow(dc, r, it.fmt & HDF_SORTUP);
    }
    RECT er = r;
    DrawEdge(dc, &er, i == d.pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
  // The empty part right of the last item looks like an item without text.
  if (right < all.right) {
    RECT er{right, 0, all.right, all.bottom};
    DrawEdge(dc, &er, EDGE_RAISED, BF_RECT);
  }
  SelectObject(dc, oldFont);
  DeleteObject(face);
  RestoreDC(dc, -1);
}

}  // namespace Header
