#include "platform/shell/ImageList.h"

#include <functional>
#include <mutex>
#include <set>
#include <vector>

#include "platform/forms/graphics/Gdi.h"

namespace win {

struct HIMAGELIST__ {
  int cx = 16, cy = 16;
  std::vector<std::vector<COLORREF>> images;  // CLR_NONE: masked (transparent) pixel
  COLORREF bk = CLR_NONE;
  int overlays[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  bool system = false;
};

namespace {

std::mutex listMutex;
std::set<HIMAGELIST>& Live() {
  static std::set<HIMAGELIST> s;
  return s;
}
bool Valid(HIMAGELIST l) { return l && Live().count(l); }

int AddFrom(HIMAGELIST list, HBITMAP image, const std::function<bool(int, int, COLORREF)>& masked) {
  Surface* s = GetBitmapSurface(image);
  if (!s || s->height < list->cy || s->width < list->cx) return -1;
  int first = int(list->images.size());
  for (int n = 0; n + list->cx <= s->width; n += list->cx) {
    std::vector<COLORREF> img(std::size_t(list->cx * list->cy));
    for (int y = 0; y < list->cy; ++y)
      for (int x = 0; x < list->cx; ++x) {
        COLORREF c = s->At(n + x, y);
        img[std::size_t(y * list->cx + x)] = masked(n + x, y, c) ? CLR_NONE : c;
      }
    list->images.push_back(std::move(img));
  }
  return first;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT, int, int) {
  if (cx <= 0 || cy <= 0 || cx > 256 || cy > 256) return nullptr;
  std::lock_guard lock(listMutex);
  auto* l = new HIMAGELIST__;
  l->cx = cx;
  l->cy = cy;
  Live().insert(l);
  return l;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  std::lock_guard lock(listMutex);
  if (!Valid(list) || list->system) return FALSE;
  Live().erase(list);
  delete list;
  return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST list) {
  std::lock_guard lock(listMutex);
  return Valid(list) ? int(list->images.size()) : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
  std::lock_guard lock(listMutex);
  if (!Valid(list)) return FALSE;
  if (cx) *cx = list->cx;
  if (cy) *cy = list->cy;
  return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  std::lock_guard lock(listMutex);
  if (!Valid(list)) return -1;
  Surface* m = mask ? GetBitmapSurface(mask) : nullptr;
  return AddFrom(list, image, [&](int x, int y, COLORREF) { return m && m->At(x, y) != 0 && m->At(x, y) != CLR_INVALID; });
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF maskColor) {
  std::lock_guard lock(listMutex);
  if (!Valid(list)) return -1;
  return AddFrom(list, image, [&](int, int, COLORREF c) { return c == maskColor; });
}

BOOL ImageList_Remove(HIMAGELIST list, int index) {
  std::lock_guard lock(listMutex);
  if (!Valid(list) || list->system) return FALSE;
  if (index == -1) list->images.clear();
  else if (index >= 0 && std::size_t(index) < list->images.size()) list->images.erase(list->images.begin() + index);
  else return FALSE;
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST list, COLORREF color) {
  std::lock_guard lock(listMutex);
  if (!Valid(list)) return CLR_NONE;
  COLORREF old = list->bk;
  list->bk = color;
  return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST list) {
  std::lock_guard lock(listMutex);
  return Valid(list) ? list->bk : CLR_NONE;
}

BOOL ImageList_SetOverlayImage(HIMAGELIST list, int index, int overlay) {
  std::lock_guard lock(listMutex);
  if (!Valid(list) || overlay < 1 || overlay > 15 || index < 0 || std::size_t(index) >= list->images.size()) return FALSE;
  list->overlays[overlay] = index;
  return TRUE;
}

COLORREF ImageList_GetPixel(HIMAGELIST list, int i, int x, int y) {
  std::lock_guard lock(listMutex);
  if (!Valid(list) || i < 0 || std::size_t(i) >= list->images.size() || x < 0 || y < 0 || x >= list->cx || y >= list->cy)
    return CLR_NONE;
  return list->images[i][std::size_t(y * list->cx + x)];
}

BOOL ImageList_Draw(HIMAGELIST list, int i, HDC hdc, int x, int y, UINT style) {
  std::vector<COLORREF> img, over;
  COLORREF bk;
  int cx, cy;
  {
    std::lock_guard lock(listMutex);
    if (!Valid(list) || i < 0 || std::size_t(i) >= list->images.size() || !hdc) return FALSE;
    img = list->images[i];
    cx = list->cx;
    cy = list->cy;
    bk = (style & ILD_TRANSPARENT) ? CLR_NONE : list->bk;
    int ov = int((style & ILD_OVERLAYMASK) >> 8);
    if (ov > 0 && list->overlays[ov] >= 0) over = list->images[list->overlays[ov]];
  }
  const COLORREF highlight = RGB(0, 0, 128);
  for (int py = 0; py < cy; ++py)
    for (int px = 0; px < cx; ++px) {
      std::size_t k = std::size_t(py * cx + px);
      COLORREF c = !over.empty() && over[k] != CLR_NONE ? over[k] : img[k];
      if (c == CLR_NONE) c = bk;
      if (c == CLR_NONE || c == CLR_DEFAULT) continue;
      if (style & (ILD_SELECTED | ILD_BLEND25)) {
        c = RGB(BYTE((GetRValue(c) + GetRValue(highlight)) / 2), BYTE((GetGValue(c) + GetGValue(highlight)) / 2),
                BYTE((GetBValue(c) + GetBValue(highlight)) / 2));
      }
      SetPixelV(hdc, x + px, y + py, c);
    }
  return TRUE;
}

int ImageList_AddPixels(HIMAGELIST list, const std::vector<COLORREF>& pixels) {
  std::lock_guard lock(listMutex);
  if (!Valid(list) || pixels.size() != std::size_t(list->cx * list->cy)) return -1;
  list->images.push_back(pixels);
  return int(list->images.size()) - 1;
}

void ImageList_MakeShared(HIMAGELIST list) {
  std::lock_guard lock(listMutex);
  if (Valid(list)) list->system = true;
}

}  // namespace win
