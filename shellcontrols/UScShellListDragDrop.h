#pragma once
// The shell list's OLE drag and drop: its selection dragged out as a data object, and
// drags over the list handed to the shell's drop target of the item under the point (or of
// the shown folder), the target item highlighted, the list scrolling near its edges.
#include "shellcontrols/UScShellList.h"

class TScShellListDragDrop {
 public:
  explicit TScShellListDragDrop(TScCustomShellList& List) : L(List) {}

  void BeginDrag(int Button);
  win::HRESULT DragEnter(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                         win::DWORD* Effect);
  win::HRESULT DragOver(win::DWORD KeyState, win::POINTL Pt, win::DWORD* Effect);
  win::HRESULT DragLeave();
  win::HRESULT Drop(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                    win::DWORD* Effect);
  // An item going away stops being the highlighted target.
  void ItemGone(TListItem* Item) {
    if (Item == FDropHighlight) FDropHighlight = nullptr;
  }

 private:
  // The drop target for a client point; Item gets the item to highlight (or null).
  win::ComPtr<win::IDropTarget> TargetAt(TPoint ClientPt, TListItem*& Item);
  void SetDropHighlight(TListItem* Item);
  void AutoScroll(TPoint ClientPt);

  TScCustomShellList& L;
  win::ComPtr<win::IDataObject> FOutgoingData;
  win::ComPtr<win::IDataObject> FIncomingData;
  win::DWORD FDragKeyState = 0;
  win::DWORD FLastDragOverTime = 0;
  TListItem* FDropHighlight = nullptr;
};
