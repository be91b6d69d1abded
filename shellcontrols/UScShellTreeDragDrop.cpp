#include "shellcontrols/UScShellTreeDragDrop.h"

#include "platform/system/Clock.h"
#include "shellcontrols/UScShellDataObjects.h"

using namespace win;

namespace {
constexpr int SB_HORZ = 0, SB_VERT = 1;
constexpr int SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1;
}  // namespace

TScShellTreeDragDrop::~TScShellTreeDragDrop() {
  if (FDragOverData) FDragOverData->Release();
  FDragOverData = nullptr;
}

DWORD TScShellTreeDragDrop::AllowedEffects(TTreeNode* Node) {
  constexpr DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  TScShTreeData* d = T.NodeData(Node);
  if (!d) return all;
  try {
    ULONG attrs = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
    if (Node->Parent()) {
      TScShTreeData* pd = T.NodeData(Node->Parent());
      ComPtr<IShellFolder> folder = pd ? pd->ShellFolder() : ComPtr<IShellFolder>();
      if (!folder) return all;
      LPCITEMIDLIST ids[1] = {d->RelativePidl()};
      if (FAILED(folder->GetAttributesOf(1, ids, &attrs))) return all;
    } else {
      LPITEMIDLIST parent = nullptr, last = nullptr;
      if (FAILED(GetDesktopDirParts(&parent, &last))) return all;
      ComPtr<IShellFolder> folder;
      HRESULT hr = GetShellFolder(parent, folder.put());
      LPCITEMIDLIST ids[1] = {last};
      if (SUCCEEDED(hr) && folder) hr = folder->GetAttributesOf(1, ids, &attrs);
      ShellFree(parent);
      ShellFree(last);
      if (FAILED(hr) || !folder) return all;
    }
    return attrs & all;
  } catch (...) {
    return all;
  }
}

void TScShellTreeDragDrop::BeginDrag(int Button) {
  T.FBusy = 1;
  auto* data = new TDataObject_shtv(&T, T.FDraggedNode);
  data->AddRef();
  FDraggedData = data;
  IDropSource* source = nullptr;
  HRESULT hr = S_OK;
  struct TEnd {
    TScShellTreeDragDrop* D;
    IDropSource*& Source;
    ~TEnd() {
      D->T.FBusy = 0;
      D->T.FRefreshPending = 0;
      if (Source) Source->Release();
      D->FDraggedData->Release();
      D->FDraggedData = nullptr;
    }
  };
  bool refresh;
  {
    TEnd end{this, source};
    const DWORD allowed = T.GetAllowedEffects(T.FDraggedNode);
    source = T.CreateDropSource(Button);
    source->AddRef();
    DWORD effect = DROPEFFECT_NONE;
    hr = DoDragDrop(data, source, allowed, &effect);
    refresh = hr == DRAGDROP_S_DROP || T.FRefreshPending;
  }
  if (refresh) T.Refresh();
}

HRESULT TScShellTreeDragDrop::DragEnter(IDataObject* Data, DWORD KeyState, POINTL Pt,
                                        DWORD* Effect) {
  FLastAutoScroll = GetTickCount();
  if (Data) Data->AddRef();
  if (FDragOverData) FDragOverData->Release();
  FDragOverData = Data;
  FDragEnterKeyState = KeyState;
  FHoverPoint = {Pt.x, Pt.y};
  TPoint client = ScScreenToClient(&T, {Pt.x, Pt.y});
  TTreeNode* node = T.GetNodeAt(client.x, client.y);
  TScShTreeData* d = T.NodeData(node);
  if (!d || node == T.FirstShellRootNode()) {
    T.SetDropTarget(T.FDraggedNode);
    if (Effect) *Effect = DROPEFFECT_NONE;
    return S_OK;
  }
  ComPtr<IDropTarget> target;
  d->GetDropTarget(T.OwnerWindow(), target.put());
  T.SetDropTarget(node);
  if (!target) {
    if (Effect) *Effect = DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT hr = target->DragEnter(Data, KeyState, Pt, Effect);
  target->DragLeave();
  return hr;
}

HRESULT TScShellTreeDragDrop::DragOver(DWORD KeyState, POINTL Pt, DWORD* Effect) {
  TTreeNode* previous = T.DropTarget();
  TPoint client = ScScreenToClient(&T, {Pt.x, Pt.y});
  TTreeNode* node = T.GetNodeAt(client.x, client.y);
  HRESULT hr = S_OK;
  DWORD scratch = DROPEFFECT_NONE;
  if (!Effect) Effect = &scratch;
  if (TScShTreeData* d = T.NodeData(node)) {
    ComPtr<IDropTarget> target;
    d->GetDropTarget(T.OwnerWindow(), target.put());
    T.SetDropTarget(node);
    if (target) {
      target->DragEnter(FDragOverData, KeyState, Pt, Effect);
      hr = target->DragOver(KeyState, Pt, Effect);
      target->DragLeave();
    } else {
      *Effect = DROPEFFECT_NONE;
    }
  } else {
    *Effect = DROPEFFECT_NONE;
    T.SetDropTarget(T.FDraggedNode);
  }
  T.DragScroll(client);
  *Effect |= DROPEFFECT_SCROLL;
  if (T.DropTarget() != previous) T.Repaint();
  return hr;
}

HRESULT TScShellTreeDragDrop::DragLeave() {
  if (FDragOverData) FDragOverData->Release();
  FDragOverData = nullptr;
  T.SetDropTarget(nullptr);
  return S_OK;
}

HRESULT TScShellTreeDragDrop::Drop(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  struct TEnd {
    TScShellTreeDragDrop* D;
    ~TEnd() {
      D->T.SetDropTarget(nullptr);
      if (D->FDragOverData) D->FDragOverData->Release();
      D->FDragOverData = nullptr;
    }
  } end{this};
  DWORD scratchEffect = DROPEFFECT_NONE;
  if (!Effect) Effect = &scratchEffect;
  TPoint client = ScScreenToClient(&T, {Pt.x, Pt.y});
  TTreeNode* node = T.GetNodeAt(client.x, client.y);
  TScShTreeData* d = T.NodeData(node);
  ComPtr<IDropTarget> target;
  if (d) d->GetDropTarget(T.OwnerWindow(), target.put());
  if (!target) {
    *Effect = DROPEFFECT_NONE;
    return S_OK;
  }
  KeyState |= FDragEnterKeyState & (MK_LBUTTON | MK_RBUTTON);
  DWORD scratch = *Effect;
  target->DragEnter(Data, KeyState, Pt, &scratch);
  target->DragOver(KeyState, Pt, &scratch);
  *Effect &= GetPreferredDropEffect(Data);
  HRESULT hr = target->Drop(Data, KeyState, Pt, Effect);
  target.Reset();
  T.Refresh();
  return hr;
}

void TScShellTreeDragDrop::Scroll(TPoint ClientPt) {
  const std::uint64_t now = GetTickCount();
  if (now - FLastAutoScroll > std::uint64_t(ScAutoScrollPeriod)) {
    if (ClientPt.x < ScHorzScrollMargin)
      ScrollControlStep(&T, SB_HORZ, SB_LINELEFT);
    else if (ClientPt.x > T.ClientWidth() - ScHorzScrollMargin)
      ScrollControlStep(&T, SB_HORZ, SB_LINERIGHT);
    if (ClientPt.y < ScVertScrollMargin)
      ScrollControlStep(&T, SB_VERT, SB_LINEUP);
    else if (ClientPt.y > T.ClientHeight() - ScVertScrollMargin)
      ScrollControlStep(&T, SB_VERT, SB_LINEDOWN);
    FLastAutoScroll = now;
  }
  const int left = FHoverPoint.x - MouseHoverWidth / 2, top = FHoverPoint.y - MouseHoverHeight / 2;
  const int right = FHoverPoint.x + MouseHoverWidth, bottom = FHoverPoint.y + MouseHoverHeight;
  const bool inside =
      ClientPt.x >= left && ClientPt.x < right && ClientPt.y >= top && ClientPt.y < bottom;
  if (!inside) {
    FHoverPoint = ClientPt;
    FHoverStart = now;
  } else if (now - FHoverStart > std::uint64_t(MouseHoverTime)) {
    try {
      if (TTreeNode* node = T.GetNodeAt(FHoverPoint.x, FHoverPoint.y)) node->Expand(false);
    } catch (...) {
      // The drag goes on whatever the expansion did.
    }
    FHoverPoint = ClientPt;
    FHoverStart = now;
  }
}

void TScShellTreeDragDrop::NodeDragged(const NMTREEVIEWA& Nm, int Button) {
  TTreeNode* node = Nm.itemNew.lParam ? reinterpret_cast<TTreeNode*>(Nm.itemNew.lParam)
                                      : T.Items()->GetNode(Nm.itemNew.hItem);
  T.FDraggedNode = node;
  T.SetDropTarget(node);
  struct TEnd {
    TScCustomShellTree& T;
    ~TEnd() {
      T.FDraggedNode = nullptr;
      T.SetDropTarget(nullptr);
    }
  } end{T};
  if (T.IsShellNode(node) && node->Parent()) T.BeginOleDrag(Button);
}

void TScShellTreeDragDrop::RegisterTarget() {
  if (FDropTarget) return;
  FDropTarget = new TDropTarget_shtv(&T);
  FDropTarget->AddRef();
  RegisterDragDrop(T.Handle(), FDropTarget);
}

void TScShellTreeDragDrop::RevokeTarget() {
  if (!FDropTarget) return;
  if (T.HandleAllocated()) RevokeDragDrop(T.Handle());
  FDropTarget->Release();
  FDropTarget = nullptr;
}
