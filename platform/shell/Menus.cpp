#include "platform/shell/Menus.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "platform/shell/PopupMenuWindow.h"
#include "platform/system/Machine.h"

namespace win {

struct HMENU__ {
  struct Item {
    UINT flags = 0;
    UINT id = 0;
    HMENU sub = nullptr;
    std::string text;
    std::uintptr_t data = 0;
  };
  std::vector<Item> items;
  int defaultPos = -1;
};

namespace {

std::recursive_mutex menuMutex;
std::set<HMENU>& Live() {
  static std::set<HMENU> s;
  return s;
}
PopupMenuChooser& Chooser() {
  static PopupMenuChooser c;
  return c;
}

bool Valid(HMENU m) { return m && Live().count(m); }

// The position of an item by command (searching sub-menus) or by position.
HMENU__::Item* Lookup(HMENU menu, UINT item, UINT flags, HMENU* owner = nullptr,
                      int* pos = nullptr) {
  if (!Valid(menu)) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= menu->items.size()) return nullptr;
    if (owner) *owner = menu;
    if (pos) *pos = int(item);
    return &menu->items[item];
  }
  for (std::size_t i = 0; i < menu->items.size(); ++i) {
    auto& it = menu->items[i];
    if (!it.sub && !(it.flags & MF_SEPARATOR) && it.id == item) {
      if (owner) *owner = menu;
      if (pos) *pos = int(i);
      return &it;
    }
    if (it.sub)
      if (auto* found = Lookup(it.sub, item, flags, owner, pos)) return found;
  }
  return nullptr;
}

void Destroy(HMENU m) {
  if (!Valid(m)) return;
  Live().erase(m);
  for (auto& it : m->items)
    if (it.sub) Destroy(it.sub);
  delete m;
}

std::string Plain(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '&') out += c;
  return out;
}

}  // namespace

HMENU CreatePopupMenu() {
  std::lock_guard lock(menuMutex);
  HMENU m = new HMENU__;
  Live().insert(m);
  return m;
}
HMENU CreateMenu() { return CreatePopupMenu(); }

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu)) return FALSE;
  Destroy(menu);
  return TRUE;
}

BOOL IsMenu(HMENU menu) {
  std::lock_guard lock(menuMutex);
  return Valid(menu);
}

BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu)) return FALSE;
  HMENU__::Item it;
  it.flags = flags & ~MF_BYPOSITION;
  if (flags & MF_POPUP) {
    it.sub = reinterpret_cast<HMENU>(newItem);
    if (!Valid(it.sub) || it.sub == menu) return FALSE;
  } else {
    it.id = UINT(newItem);
  }
  if (flags & MF_OWNERDRAW)
    it.data = reinterpret_cast<std::uintptr_t>(text);
  else if (text && !(flags & MF_SEPARATOR))
    it.text = text;
  std::size_t at = menu->items.size();
  if (flags & MF_BYPOSITION) {
    if (position < at) at = position;
  } else if (position != 0xFFFFFFFF) {
    for (std::size_t i = 0; i < menu->items.size(); ++i)
      if (!menu->items[i].sub && menu->items[i].id == position) at = i;
  }
  menu->items.insert(menu->items.begin() + std::ptrdiff_t(at), it);
  return TRUE;
}

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR newItem, const char* text) {
  return InsertMenu(menu, 0xFFFFFFFF, flags | MF_BYPOSITION, newItem, text);
}

static BOOL RemoveItem(HMENU menu, UINT position, UINT flags, bool destroy) {
  std::lock_guard lock(menuMutex);
  HMENU owner = nullptr;
  int pos = -1;
  if (!Lookup(menu, position, flags, &owner, &pos)) return FALSE;
  HMENU sub = owner->items[pos].sub;
  owner->items.erase(owner->items.begin() + pos);
  if (destroy && sub) Destroy(sub);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  return RemoveItem(menu, position, flags, true);
}
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  return RemoveItem(menu, position, flags, false);
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard lock(menuMutex);
  return Valid(menu) ? int(menu->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu) || position < 0 || std::size_t(position) >= menu->items.size())
    return 0xFFFFFFFF;
  const auto& it = menu->items[position];
  return it.sub ? 0xFFFFFFFF : it.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu) || position < 0 || std::size_t(position) >= menu->items.size()) return nullptr;
  return menu->items[position].sub;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard lock(menuMutex);
  HMENU owner = nullptr;
  int pos = -1;
  auto* it = Lookup(menu, item, flags, &owner, &pos);
  if (!it) return 0xFFFFFFFF;
  UINT state =
      it->flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_OWNERDRAW | MF_SEPARATOR);
  if (it->sub) state |= MF_POPUP | (UINT(it->sub->items.size()) << 8);
  if (owner->defaultPos == pos) state |= MF_DEFAULT;
  return state;
}

int GetMenuString(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
  std::lock_guard lock(menuMutex);
  auto* it = Lookup(menu, item, flags);
  if (!it) return 0;
  if (!buffer || size <= 0) return int(it->text.size());
  int n = std::min<int>(int(it->text.size()), size - 1);
  std::memcpy(buffer, it->text.data(), n);
  buffer[n] = 0;
  return n;
}

std::uintptr_t GetMenuItemData(HMENU menu, UINT item, UINT flags) {
  std::lock_guard lock(menuMutex);
  auto* it = Lookup(menu, item, flags);
  return it ? it->data : 0;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  std::lock_guard lock(menuMutex);
  auto* it = Lookup(menu, item, enable & MF_BYPOSITION);
  if (!it) return BOOL(-1);
  UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return BOOL(old);
}

BOOL HiliteMenuItem(HWND, HMENU menu, UINT item, UINT hilite) {
  std::lock_guard lock(menuMutex);
  auto* it = Lookup(menu, item, hilite & MF_BYPOSITION);
  if (!it) return FALSE;
  if (hilite & MF_HILITE)
    it->flags |= MF_HILITE;
  else
    it->flags &= ~MF_HILITE;
  return TRUE;
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu)) return FALSE;
  if (item == 0xFFFFFFFF) {
    menu->defaultPos = -1;
    return TRUE;
  }
  HMENU owner = nullptr;
  int pos = -1;
  if (!Lookup(menu, item, byPosition ? MF_BYPOSITION : 0, &owner, &pos) || owner != menu)
    return FALSE;
  menu->defaultPos = pos;
  return TRUE;
}

UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu) || menu->defaultPos < 0) return 0xFFFFFFFF;
  const auto& it = menu->items[menu->defaultPos];
  if ((it.flags & (MF_GRAYED | MF_DISABLED)) && !(flags & GMDI_USEDISABLED)) return 0xFFFFFFFF;
  if (byPosition) return UINT(menu->defaultPos);
  if (it.sub) {
    if (flags & GMDI_GOINTOPOPUPS) return GetMenuDefaultItem(it.sub, 0, flags);
    return 0xFFFFFFFF;
  }
  return it.id;
}

PopupMenuChooser SetPopupMenuChooser(PopupMenuChooser chooser) {
  std::lock_guard lock(menuMutex);
  PopupMenuChooser old = std::move(Chooser());
  Chooser() = std::move(chooser);
  return old;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  PopupMenuChooser chooser;
  {
    std::lock_guard lock(menuMutex);
    if (!Valid(menu)) return FALSE;
    chooser = Chooser();
  }
  UINT id = chooser ? chooser(menu, owner) : TrackPopupMenuWindow(menu, x, y, owner);
  if (flags & TPM_RETURNCMD) return BOOL(id);
  if (id && owner) PostMessage(owner, WM_COMMAND, id, 0);
  return TRUE;
}

UINT FindMenuCommand(HMENU menu, const std::string& caption) {
  std::lock_guard lock(menuMutex);
  if (!Valid(menu)) return 0;
  for (const auto& it : menu->items) {
    if (it.sub) {
      if (UINT id = FindMenuCommand(it.sub, caption)) return id;
    } else if (!(it.flags & MF_SEPARATOR) && SameText(Plain(it.text), Plain(caption))) {
      return it.id;
    }
  }
  return 0;
}

}  // namespace win
