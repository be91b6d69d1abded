#pragma once
// Image lists: equal-sized images kept side by side in one strip with a monochrome mask,
// drawn normally, transparently, blended for selection or focus, with overlays. The
// handle (HIMAGELIST) is what the views take; TCustomImageList wraps one, owned unless
// ShareImages is set (the system image lists belong to the shell).
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/forms/CommonControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/graphics/Graphics.h"

namespace win {

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST himl);
// False for null and destroyed handles.
BOOL ImageList_IsValid(HIMAGELIST himl);
int ImageList_GetImageCount(HIMAGELIST himl);
BOOL ImageList_SetImageCount(HIMAGELIST himl, UINT count);
BOOL ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy);
// A bitmap as wide as several images adds them all; returns the first index or -1.
int ImageList_Add(HIMAGELIST himl, HBITMAP image, HBITMAP mask);
// Pixels of colour `mask` become transparent.
int ImageList_AddMasked(HIMAGELIST himl, HBITMAP image, COLORREF mask);
BOOL ImageList_Replace(HIMAGELIST himl, int i, HBITMAP image, HBITMAP mask);
// -1 removes all.
BOOL ImageList_Remove(HIMAGELIST himl, int i);
COLORREF ImageList_SetBkColor(HIMAGELIST himl, COLORREF c);
COLORREF ImageList_GetBkColor(HIMAGELIST himl);
// Overlay 1..15 shows image i (ILD_OVERLAYMASK of a draw: INDEXTOOVERLAYMASK(overlay)).
BOOL ImageList_SetOverlayImage(HIMAGELIST himl, int image, int overlay);
BOOL ImageList_Draw(HIMAGELIST himl, int i, HDC dst, int x, int y, UINT style);
// bk: background for the masked-out pixels (CLR_NONE: transparent, CLR_DEFAULT: the list's);
// fg: blend colour for ILD_SELECTED/ILD_FOCUS (CLR_DEFAULT: the highlight colour).
BOOL ImageList_DrawEx(HIMAGELIST himl, int i, HDC dst, int x, int y, int dx, int dy, COLORREF bk,
                      COLORREF fg, UINT style);
// Ours: marks a list as belonging to the system (the shell's system image lists), so that
// ImageList_Destroy and ImageList_Remove refuse it, as Windows protects those lists.
void ImageList_MakeShared(HIMAGELIST himl);

}  // namespace win

enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

class TCustomImageList : public TComponent {
  WI_CLASS(TCustomImageList, TComponent)
 public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;
  int Width() const { return FWidth; }
  // Changing the size clears the images.
  void SetWidth(int v);
  int Height() const { return FHeight; }
  void SetHeight(int v);
  int Count() const;
  int AllocBy() const { return FAllocBy; }
  void SetAllocBy(int v) { FAllocBy = v < 1 ? 1 : v; }
  TColor BkColor() const { return FBkColor; }
  void SetBkColor(TColor v);
  TColor BlendColor() const { return FBlendColor; }
  void SetBlendColor(TColor v) { FBlendColor = v; }
  TDrawingStyle DrawingStyle() const { return FDrawingStyle; }
  void SetDrawingStyle(TDrawingStyle v) { FDrawingStyle = v; }
  TImageType ImageType() const { return FImageType; }
  void SetImageType(TImageType v) { FImageType = v; }
  bool Masked() const { return FMasked; }
  void SetMasked(bool v);
  // With ShareImages the handle is never destroyed by this object.
  bool ShareImages() const { return FShareImages; }
  void SetShareImages(bool v) { FShareImages = v; }

  // The handle, made on first use.
  win::HIMAGELIST Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Adopts a handle (its size becomes Width/Height); the old one is destroyed unless shared.
  void SetHandle(win::HIMAGELIST h);

  int Add(TBitmap* image, TBitmap* mask);
  int AddMasked(TBitmap* image, TColor maskColor);
  void Replace(int index, TBitmap* image, TBitmap* mask);
  void Delete(int index);
  void Clear();
  bool Overlay(int imageIndex, int overlay);
  // Draws image `index` with DrawingStyle and ImageType, greyed when not enabled.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
  // Draws with explicit ILD_ style bits (overlay included).
  void DrawStyle(TCanvas* canvas, int x, int y, int index, win::UINT style);
  // Copies image `index` into a bitmap of the list's size (false when out of range).
  bool GetBitmap(int index, TBitmap* image);
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  void Assign(TPersistent* source) override;
  // Clients (the views) are told of every change; they unregister before they go.
  void RegisterChanges(const void* client, std::function<void()> changed);
  void UnRegisterChanges(const void* client);
  TNotifyEvent OnChange;

 protected:
  virtual void Change();

 private:
  void FreeHandle();
  std::vector<std::pair<const void*, std::function<void()>>> FClients;
  win::HIMAGELIST FHandle = nullptr;
  int FWidth = 16, FHeight = 16, FAllocBy = 4, FUpdateCount = 0;
  bool FChanged = false;
  TColor FBkColor = clNone, FBlendColor = clNone;
  TDrawingStyle FDrawingStyle = dsNormal;
  TImageType FImageType = itImage;
  bool FMasked = true, FShareImages = false;
};

class TImageList : public TCustomImageList {
  WI_CLASS(TImageList, TCustomImageList)
 public:
  explicit TImageList(TComponent* owner) : TCustomImageList(owner) {}
};
