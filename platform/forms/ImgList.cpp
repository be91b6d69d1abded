#include "platform/forms/ImgList.h"

#include <algorithm>
#include <set>

namespace win {

struct ImageListData {
  int cx = 16, cy = 16;
  UINT flags = 0;
  COLORREF bk = CLR_NONE;
  struct Image {
    std::vector<COLORREF> px;
    std::vector<bool> clear;  // masked-out pixels
  };
  std::vector<Image> images;
  int overlays[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  bool shared = false;  // a system list: never destroyed nor emptied by its users
};

namespace {

std::set<HIMAGELIST>& Live() {
  static auto* s = new std::set<HIMAGELIST>;
  return *s;
}

bool Valid(HIMAGELIST h) { return h && Live().count(h); }

// Cuts a strip bitmap into images; `clear` decides per pixel (x, y of the strip).
template <class Clear>
int AddStrip(HIMAGELIST h, const Surface& s, Clear clear) {
  if (s.width < h->cx || s.height < h->cy) return -1;
  int first = int(h->images.size());
  for (int n = 0; n + h->cx <= s.width; n += h->cx) {
    ImageListData::Image im;
    im.px.resize(size_t(h->cx) * size_t(h->cy));
    im.clear.resize(im.px.size());
    for (int y = 0; y < h->cy; ++y)
      for (int x = 0; x < h->cx; ++x) {
        size_t k = size_t(y) * size_t(h->cx) + size_t(x);
        im.px[k] = s.At(n + x, y);
        im.clear[k] = (h->flags & ILC_MASK) && clear(n + x, y);
      }
    h->images.push_back(std::move(im));
  }
  return first;
}

COLORREF Blend(COLORREF a, COLORREF b, int percentB) {
  auto ch = [&](int shift) {
    int x = int((a >> shift) & 0xFF), y = int((b >> shift) & 0xFF);
    return COLORREF((x * (100 - percentB) + y * percentB) / 100) << shift;
  };
  return ch(0) | ch(8) | ch(16);
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int, int) {
  if (cx <= 0 || cy <= 0) return nullptr;
  auto* h = new ImageListData;
  h->cx = cx, h->cy = cy, h->flags = flags;
  Live().insert(h);
  return h;
}

BOOL ImageList_Destroy(HIMAGELIST h) {
  if (!Valid(h) || h->shared) return FALSE;
  Live().erase(h);
  delete h;
  return TRUE;
}

BOOL ImageList_IsValid(HIMAGELIST h) { return Valid(h); }

int ImageList_GetImageCount(HIMAGELIST h) { return Valid(h) ? int(h->images.size()) : 0; }

BOOL ImageList_SetImageCount(HIMAGELIST h, UINT count) {
  if (!Valid(h)) return FALSE;
  ImageListData::Image blank{std::vector<COLORREF>(size_t(h->cx * h->cy), 0),
                             std::vector<bool>(size_t(h->cx * h->cy), false)};
  h->images.resize(count, blank);
  return TRUE;
}

BOOL ImageList_GetIconSize(HIMAGELIST h, int* cx, int* cy) {
  if (!Valid(h)) return FALSE;
  if (cx) *cx = h->cx;
  if (cy) *cy = h->cy;
  return TRUE;
}

int ImageList_Add(HIMAGELIST h, HBITMAP image, HBITMAP mask) {
  Surface* s = Valid(h) ? GetBitmapSurface(image) : nullptr;
  if (!s) return -1;
  Surface* m = mask ? GetBitmapSurface(mask) : nullptr;
  return AddStrip(h, *s, [&](int x, int y) { return m && (m->At(x, y) & 0xFFFFFF) != 0; });
}

int ImageList_AddMasked(HIMAGELIST h, HBITMAP image, COLORREF mask) {
  Surface* s = Valid(h) ? GetBitmapSurface(image) : nullptr;
  if (!s) return -1;
  return AddStrip(h, *s, [&](int x, int y) { return s->At(x, y) == (mask & 0xFFFFFF); });
}

BOOL ImageList_Replace(HIMAGELIST h, int i, HBITMAP image, HBITMAP mask) {
  if (!Valid(h) || i < 0 || i >= int(h->images.size())) return FALSE;
  size_t n = h->images.size();
  if (ImageList_Add(h, image, mask) < 0) return FALSE;
  h->images[size_t(i)] = std::move(h->images[n]);
  h->images.resize(n);
  return TRUE;
}

BOOL ImageList_Remove(HIMAGELIST h, int i) {
  if (!Valid(h) || h->shared) return FALSE;
  if (i == -1) {
    h->images.clear();
    return TRUE;
  }
  if (i < 0 || i >= int(h->images.size())) return FALSE;
  h->images.erase(h->images.begin() + i);
  return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST h, COLORREF c) {
  if (!Valid(h)) return CLR_NONE;
  return std::exchange(h->bk, c);
}

COLORREF ImageList_GetBkColor(HIMAGELIST h) { return Valid(h) ? h->bk : CLR_NONE; }

BOOL ImageList_SetOverlayImage(HIMAGELIST h, int image, int overlay) {
  if (!Valid(h) || overlay < 1 || overlay > 15) return FALSE;
  h->overlays[overlay] = image;
  return TRUE;
}

void ImageList_MakeShared(HIMAGELIST h) {
  if (Valid(h)) h->shared = true;
}

BOOL ImageList_Draw(HIMAGELIST h, int i, HDC dst, int x, int y, UINT style) {
  return ImageList_DrawEx(h, i, dst, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

BOOL ImageList_DrawEx(HIMAGELIST h, int i, HDC dst, int x, int y, int dx, int dy, COLORREF bk,
                      COLORREF fg, UINT style) {
  if (!Valid(h) || i < 0 || i >= int(h->images.size()) || !dst) return FALSE;
  if (bk == CLR_DEFAULT) bk = h->bk;
  if (style & ILD_TRANSPARENT) bk = CLR_NONE;
  if (fg == CLR_DEFAULT || fg == CLR_NONE) fg = GetSysColor(13);  // COLOR_HIGHLIGHT
  int blend = style & ILD_SELECTED ? 50 : style & ILD_FOCUS ? 25 : 0;
  int w = dx > 0 ? std::min(dx, h->cx) : h->cx, ht = dy > 0 ? std::min(dy, h->cy) : h->cy;
  auto paint = [&](const ImageListData::Image& im, bool overlay) {
    for (int py = 0; py < ht; ++py)
      for (int px = 0; px < w; ++px) {
        size_t k = size_t(py) * size_t(h->cx) + size_t(px);
        COLORREF c;
        if (style & ILD_MASK) {
          c = im.clear[k] ? 0xFFFFFF : 0;
        } else if (im.clear[k]) {
          if (overlay || bk == CLR_NONE) continue;
          c = bk;
        } else {
          c = blend ? Blend(im.px[k], fg, blend) : im.px[k];
        }
        SetPixelV(dst, x + px, y + py, c);
      }
  };
  paint(h->images[size_t(i)], false);
  int overlay = int((style & ILD_OVERLAYMASK) >> 8);
  if (overlay >= 1 && !(style & ILD_MASK)) {
    int oi = h->overlays[overlay];
    if (oi >= 0 && oi < int(h->images.size())) paint(h->images[size_t(oi)], true);
  }
  return TRUE;
}

}  // namespace win

// --- TCustomImageList ----------------------------------------------------------------------

void TCustomImageList::DefineProps(TPropList& p) {
  p.Int("AllocBy", &TCustomImageList::AllocBy, &TCustomImageList::SetAllocBy, 4);
  p.Color("BkColor", &TCustomImageList::BkColor, &TCustomImageList::SetBkColor, clNone);
  p.Color("BlendColor", &TCustomImageList::BlendColor, &TCustomImageList::SetBlendColor, clNone);
  p.Enum("DrawingStyle", &TCustomImageList::DrawingStyle, &TCustomImageList::SetDrawingStyle,
         {"dsFocus", "dsSelected", "dsNormal", "dsTransparent"}, dsNormal);
  p.Int("Height", &TCustomImageList::Height, &TCustomImageList::SetHeight, 16);
  p.Enum("ImageType", &TCustomImageList::ImageType, &TCustomImageList::SetImageType,
         {"itImage", "itMask"}, itImage);
  p.Bool("Masked", &TCustomImageList::Masked, &TCustomImageList::SetMasked, true);
  p.Bool("ShareImages", &TCustomImageList::ShareImages, &TCustomImageList::SetShareImages, false);
  p.Int("Width", &TCustomImageList::Width, &TCustomImageList::SetWidth, 16);
  p.Event("OnChange", &TCustomImageList::OnChange);
}
void TImageList::DefineProps(TPropList&) {}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() { FreeHandle(); }

void TCustomImageList::FreeHandle() {
  if (FHandle && !FShareImages) win::ImageList_Destroy(FHandle);
  FHandle = nullptr;
}

win::HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle || !win::ImageList_IsValid(FHandle))
    FHandle = win::ImageList_Create(
        FWidth, FHeight, win::ILC_COLORDDB | (FMasked ? win::ILC_MASK : 0), FAllocBy, FAllocBy);
  return FHandle;
}

void TCustomImageList::SetHandle(win::HIMAGELIST h) {
  if (h == FHandle) return;
  FreeHandle();
  FHandle = h;
  if (h) win::ImageList_GetIconSize(h, &FWidth, &FHeight);
  Change();
}

int TCustomImageList::Count() const { return FHandle ? win::ImageList_GetImageCount(FHandle) : 0; }

void TCustomImageList::SetWidth(int v) {
  if (v == FWidth || v <= 0) return;
  FWidth = v;
  FreeHandle();
  Change();
}

void TCustomImageList::SetHeight(int v) {
  if (v == FHeight || v <= 0) return;
  FHeight = v;
  FreeHandle();
  Change();
}

void TCustomImageList::SetMasked(bool v) {
  if (v == FMasked) return;
  FMasked = v;
  FreeHandle();
  Change();
}

void TCustomImageList::SetBkColor(TColor v) {
  FBkColor = v;
  win::ImageList_SetBkColor(Handle(), v == clNone ? win::CLR_NONE : ColorToRGB(v));
  Change();
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  if (!image) return -1;
  int i = win::ImageList_Add(Handle(), image->Handle(), mask ? mask->Handle() : nullptr);
  Change();
  return i;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image) return -1;
  if (maskColor == clDefault) maskColor = image->TransparentColor();
  int i = win::ImageList_AddMasked(Handle(), image->Handle(), ColorToRGB(maskColor));
  Change();
  return i;
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  if (!image ||
      !win::ImageList_Replace(Handle(), index, image->Handle(), mask ? mask->Handle() : nullptr))
    throw EListError("Indice de liste hors limites (" + std::to_string(index) + ")");
  Change();
}

void TCustomImageList::Delete(int index) {
  if (index < 0 || index >= Count())
    throw EListError("Indice de liste hors limites (" + std::to_string(index) + ")");
  win::ImageList_Remove(Handle(), index);
  Change();
}

void TCustomImageList::Clear() {
  if (FHandle) win::ImageList_Remove(FHandle, -1);
  Change();
}

bool TCustomImageList::Overlay(int imageIndex, int overlay) {
  return win::ImageList_SetOverlayImage(Handle(), imageIndex, overlay);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  static const win::UINT styles[] = {win::ILD_FOCUS, win::ILD_SELECTED, win::ILD_NORMAL,
                                     win::ILD_TRANSPARENT};
  win::UINT style = styles[FDrawingStyle] | (FImageType == itMask ? win::ILD_MASK : 0);
  if (!enabled) style |= win::ILD_SELECTED;  // greyed: blended, as the disabled look
  DrawStyle(canvas, x, y, index, style);
}

void TCustomImageList::DrawStyle(TCanvas* canvas, int x, int y, int index, win::UINT style) {
  if (!canvas || !FHandle) return;
  win::COLORREF fg = FBlendColor == clNone ? win::CLR_DEFAULT : ColorToRGB(FBlendColor);
  win::ImageList_DrawEx(FHandle, index, canvas->Handle(), x, y, 0, 0, win::CLR_DEFAULT, fg, style);
}

bool TCustomImageList::GetBitmap(int index, TBitmap* image) {
  if (!image || index < 0 || index >= Count()) return false;
  image->SetSize(FWidth, FHeight);
  image->Canvas().Brush().SetColor(FBkColor == clNone ? clWhite : FBkColor);
  image->Canvas().FillRect(Rect(0, 0, FWidth, FHeight));
  win::ImageList_Draw(FHandle, index, image->Canvas().Handle(), 0, 0, win::ILD_NORMAL);
  image->Changed();
  return true;
}

void TCustomImageList::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChanged) Change();
}

void TCustomImageList::Change() {
  if (FUpdateCount) {
    FChanged = true;
    return;
  }
  FChanged = false;
  auto clients = FClients;  // a client may unregister while told
  for (auto& c : clients) c.second();
  OnChange(this);
}

void TCustomImageList::RegisterChanges(const void* client, std::function<void()> changed) {
  UnRegisterChanges(client);
  FClients.emplace_back(client, std::move(changed));
}

void TCustomImageList::UnRegisterChanges(const void* client) {
  std::erase_if(FClients, [&](auto& c) { return c.first == client; });
}

void TCustomImageList::Assign(TPersistent* source) {
  auto* src = dynamic_cast<TCustomImageList*>(source);
  if (!src) return TComponent::Assign(source);
  FreeHandle();
  FWidth = src->FWidth, FHeight = src->FHeight, FMasked = src->FMasked;
  FBkColor = src->FBkColor, FBlendColor = src->FBlendColor;
  FDrawingStyle = src->FDrawingStyle, FImageType = src->FImageType;
  if (src->FHandle) {
    win::HIMAGELIST h = Handle();
    *h = *src->FHandle;
    h->shared = false;  // a copy of a system list is the copier's own
  }
  Change();
}

WI_REGISTER_CLASS(TImageList);
