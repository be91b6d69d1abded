#include "shellcontrols/UScShellListDragDrop.h"

#include "platform/system/Clock.h"

using namespace win;

namespace {
constexpr int kSbHorz = 0, kSbVert = 1;
constexpr int kSbLineUp = 0, kSbLineDown = 1;
}  // namespace

void TScShellListDragDrop::BeginDrag(int Button) {
  L.FDragging = true;
  L.SetDragStarted(true);
  HRESULT hr = E_FAIL;
  try {
    FOutgoingData = L.CreateSelectionDataObject();
    std::vector<LPCITEMIDLIST> ids = L.SelectedIds();
    ULONG allowed = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
    if (ids.empty() || !L.FCurrentFolder)
      allowed = 0;
    else
      L.FCurrentFolder->GetAttributesOf(UINT(ids.size()), ids.data(), &allowed);
    allowed &= SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
    if (FOutgoingData) {
      auto* source = new TDropSource_shlvtv(Button);
      source->AddRef();
      DWORD effect = DROPEFFECT_NONE;
      try {
        hr = DoDragDrop(FOutgoingData.get(), source, allowed, &effect);
      } catch (...) {
        source->Release();
        throw;
      }
      source->Release();
    }
  } catch (...) {
    L.FDragging = false;
    L.FRefreshPending = false;
    FOutgoingData.Reset();
    if (Button != 1) L.SetDragStarted(false);
    throw;
  }
  L.FDragging = false;
  bool refresh = hr == DRAGDROP_S_DROP || L.FRefreshPending;
  L.FRefreshPending = false;
  FOutgoingData.Reset();
  // After a right drag the button's release still has to pass the list by.
  if (Button != 1) L.SetDragStarted(false);
  if (refresh) {
    L.Refresh();
    L.Resort();
  }
}

ComPtr<IDropTarget> TScShellListDragDrop::TargetAt(TPoint ClientPt, TListItem*& Item) {
  Item = L.GetItemAt(ClientPt.x, ClientPt.y);
  ComPtr<IDropTarget> target;
  if (Item && L.ItemData(Item)) {
    if (SUCCEEDED(L.GetItemUIObject(Item, IID_IDropTarget, target.put_void())) && target)
      return target;
    Item = nullptr;  // the folder takes it; no item highlighted
    L.FolderUIObject(IID_IDropTarget, target.put_void());
    return target;
  }
  if (!Item && L.FDragging) return target;  // no target on our own background
  Item = nullptr;
  L.FolderUIObject(IID_IDropTarget, target.put_void());
  return target;
}

void TScShellListDragDrop::SetDropHighlight(TListItem* Item) {
  if (Item == FDropHighlight) return;
  if (FDropHighlight) FDropHighlight->SetDropTarget(false);
  FDropHighlight = Item;
  if (Item) Item->SetDropTarget(true);
}

HRESULT TScShellListDragDrop::DragEnter(IDataObject* Data, DWORD KeyState, POINTL Pt,
                                        DWORD* Effect) {
  FLastDragOverTime = GetTickCount();
  FIncomingData = ComPtr<IDataObject>(Data);
  FDragKeyState = KeyState;
  TPoint client = ScScreenToClient(&L, TPoint{int(Pt.x), int(Pt.y)});
  if (L.FDragging && !L.GetItemAt(client.x, client.y) && (KeyState & MK_RBUTTON)) {
    *Effect = DROPEFFECT_COPY;
    return S_OK;
  }
  TListItem* item = nullptr;
  ComPtr<IDropTarget> target = TargetAt(client, item);
  if (target) {
    target->DragEnter(Data, KeyState, Pt, Effect);
    target->DragLeave();
    SetDropHighlight(nullptr);
    if (*Effect != DROPEFFECT_NONE) SetDropHighlight(item);
  } else {
    *Effect = DROPEFFECT_NONE;
    SetDropHighlight(nullptr);
  }
  return S_OK;
}

HRESULT TScShellListDragDrop::DragOver(DWORD KeyState, POINTL Pt, DWORD* Effect) {
  TPoint client = ScScreenToClient(&L, TPoint{int(Pt.x), int(Pt.y)});
  TListItem* before = FDropHighlight;
  TListItem* under = L.GetItemAt(client.x, client.y);
  if (under && !L.ItemData(under)) {
    *Effect = DROPEFFECT_COPY;
    SetDropHighlight(nullptr);
  } else if (L.FDragging && !under && (FDragKeyState & MK_RBUTTON)) {
    *Effect = DROPEFFECT_COPY;
    SetDropHighlight(nullptr);
  } else {
    TListItem* item = nullptr;
    ComPtr<IDropTarget> target = TargetAt(client, item);
    if (target) {
      DWORD allowed = *Effect, entered = allowed;
      target->DragEnter(FIncomingData.get(), KeyState, Pt, &entered);
      DWORD over = allowed;
      target->DragOver(KeyState, Pt, &over);
      target->DragLeave();
      *Effect = over;
      if (over != DROPEFFECT_NONE)
        SetDropHighlight(item);
      else
        SetDropHighlight(nullptr);
    } else {
      *Effect = DROPEFFECT_NONE;
      SetDropHighlight(nullptr);
    }
  }
  AutoScroll(client);
  *Effect |= DROPEFFECT_SCROLL;
  if (FDropHighlight != before) L.Repaint();
  return S_OK;
}

void TScShellListDragDrop::AutoScroll(TPoint ClientPt) {
  DWORD now = GetTickCount();
  if (now - FLastDragOverTime < DWORD(ScAutoScrollPeriod)) return;
  FLastDragOverTime = now;
  if (ClientPt.x < ScHorzScrollMargin)
    ScrollControlStep(&L, kSbHorz, kSbLineUp);
  else if (ClientPt.x >= L.ClientWidth() - ScHorzScrollMargin)
    ScrollControlStep(&L, kSbHorz, kSbLineDown);
  if (ClientPt.y < ScVertScrollMargin)
    ScrollControlStep(&L, kSbVert, kSbLineUp);
  else if (ClientPt.y >= L.ClientHeight() - ScVertScrollMargin)
    ScrollControlStep(&L, kSbVert, kSbLineDown);
}

HRESULT TScShellListDragDrop::DragLeave() {
  FIncomingData.Reset();
  SetDropHighlight(nullptr);
  return S_OK;
}

HRESULT TScShellListDragDrop::Drop(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  TPoint client = ScScreenToClient(&L, TPoint{int(Pt.x), int(Pt.y)});
  ComPtr<IDropTarget> target;
  TListItem* item = L.GetItemAt(client.x, client.y);
  if (!item && L.FDragging) {
    // Our own items on our own background: only a right-button drop, and never a move.
    if (FDragKeyState & MK_RBUTTON) {
      L.FolderUIObject(IID_IDropTarget, target.put_void());
      *Effect &= ~DROPEFFECT_MOVE;
    }
  } else {
    target = TargetAt(client, item);
  }
  HRESULT result = S_OK;
  if (target) {
    DWORD keys = KeyState | (FDragKeyState & (MK_LBUTTON | MK_RBUTTON));
    DWORD entered = *Effect;
    target->DragEnter(Data, keys, Pt, &entered);
    DWORD over = *Effect;
    target->DragOver(keys, Pt, &over);
    *Effect &= GetPreferredDropEffect(Data);
    result = target->Drop(Data, keys, Pt, Effect);
    if (!L.IsNetworkFolder()) L.Refresh();
  } else {
    *Effect = DROPEFFECT_NONE;
  }
  target.Reset();
  SetDropHighlight(nullptr);
  FIncomingData.Reset();
  return result;
}
