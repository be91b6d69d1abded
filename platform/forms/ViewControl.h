#pragma once
// What the list and tree views are alike in as controls: their window style bits, their
// border, the canvas their custom-draw handlers draw on, their sort type, and the keys they
// keep while a label is edited, and their image lists.
#include <vector>

#include "platform/forms/CommonControls.h"
#include "platform/forms/Controls.h"

class TCustomImageList;

class TViewControl : public TWinControl {
  WI_CLASS(TViewControl, TWinControl)
 public:
  ~TViewControl() override;

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle v);
  // The sunken border with bsSingle; the scroll bars sit inside it.
  int ClientEdge() const override { return FBorderStyle == bsSingle ? 2 : 0; }
  // The window style bits (LVS_ or TVS_).
  win::DWORD Style() const { return FStyle; }
  void SetStyle(win::DWORD bits, bool on);
  bool HasStyle(win::DWORD bits) const { return (FStyle & bits) == bits; }
  // The canvas custom-draw handlers draw on (bound while painting).
  TCanvas* Canvas();
  TSortType SortType() const { return FSortType; }
  virtual bool IsEditing() const = 0;

 protected:
  // A view of width by height with the window style bits style.
  TViewControl(TComponent* owner, win::DWORD style, int width, int height);
  // After the style bits changed, before the view is repainted.
  virtual void StyleChanged() {}
  bool WantsKey(win::WORD key) const override;
  // Puts v in one of the view's image-list slots, following its changes and its destruction,
  // then hands the view's image lists to its window (ImagesChanged).
  void SetImageSlot(TCustomImageList*& slot, TCustomImageList* v);
  virtual void ImagesChanged() = 0;
  // The view's image-list slots.
  virtual std::vector<TCustomImageList**> ImageSlots() = 0;
  // A destroyed image list leaves its slot.
  void Notification(TComponent* c, TOperation op) override;
  // Stops following the image lists (for the view's destructor).
  void ReleaseImages();

  win::DWORD FStyle;
  TSortType FSortType = stNone;

 private:
  TBorderStyle FBorderStyle = bsSingle;
  TCanvas* FCanvas = nullptr;
};
