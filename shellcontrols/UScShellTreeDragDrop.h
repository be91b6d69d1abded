#pragma once
// The shell tree's OLE drag and drop: a node dragged out as a data object, and drags over
// the tree handed to the shell's drop target of the node under the point, the tree
// scrolling near its edges and expanding a node hovered long enough.
#include <cstdint>

#include "shellcontrols/UScShellTree.h"

class TScShellTreeDragDrop {
 public:
  explicit TScShellTreeDragDrop(TScCustomShellTree& Tree) : T(Tree) {}
  ~TScShellTreeDragDrop();
  TScShellTreeDragDrop(const TScShellTreeDragDrop&) = delete;
  TScShellTreeDragDrop& operator=(const TScShellTreeDragDrop&) = delete;

  win::DWORD AllowedEffects(TTreeNode* Node);
  void BeginDrag(int Button);
  win::HRESULT DragEnter(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                         win::DWORD* Effect);
  win::HRESULT DragOver(win::DWORD KeyState, win::POINTL Pt, win::DWORD* Effect);
  win::HRESULT DragLeave();
  win::HRESULT Drop(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                    win::DWORD* Effect);
  void Scroll(TPoint ClientPt);
  // A drag the view starts on a node (TVN_BEGINDRAG, button 0, or TVN_BEGINRDRAG, 1): the
  // node is dragged out while the drag runs.
  void NodeDragged(const win::NMTREEVIEWA& Nm, int Button);
  // The drop target registered for the tree's window while the drop option holds.
  void RegisterTarget();
  void RevokeTarget();
  TDropTarget_shtv* RegisteredTarget() const { return FDropTarget; }

 private:
  TScCustomShellTree& T;
  TDropTarget_shtv* FDropTarget = nullptr;
  win::IDataObject* FDraggedData = nullptr;
  win::IDataObject* FDragOverData = nullptr;
  win::DWORD FDragEnterKeyState = 0;
  std::uint64_t FLastAutoScroll = 0;
  TPoint FHoverPoint{};
  std::uint64_t FHoverStart = 0;
};
