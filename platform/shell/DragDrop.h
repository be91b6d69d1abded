#pragma once
// OLE drag and drop inside the process. Windows register an IDropTarget; DoDragDrop runs a
// modal loop over drag steps (a window, a point, the key state) that come from a step
// source: the UI driver, or steps queued by a test with QueueDragStep. The loop asks the
// drop source after every step (QueryContinueDrag: escape and key state), sends
// DragEnter / DragOver / DragLeave to the target of the step's window, and Drop when the
// source says so. With no step left the drag is cancelled.
#include <functional>

#include "platform/forms/graphics/GdiTypes.h"
#include "platform/shell/Ole.h"

namespace win {

inline constexpr IID IID_IDropSource = {0x00000121, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDropTarget = {0x00000122, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

inline constexpr DWORD DROPEFFECT_NONE = 0;
inline constexpr DWORD DROPEFFECT_COPY = 1;
inline constexpr DWORD DROPEFFECT_MOVE = 2;
inline constexpr DWORD DROPEFFECT_LINK = 4;
inline constexpr DWORD DROPEFFECT_SCROLL = 0x80000000;

inline constexpr DWORD MK_LBUTTON = 0x1;
inline constexpr DWORD MK_RBUTTON = 0x2;
inline constexpr DWORD MK_SHIFT = 0x4;
inline constexpr DWORD MK_CONTROL = 0x8;
inline constexpr DWORD MK_MBUTTON = 0x10;
inline constexpr DWORD MK_ALT = 0x20;

inline constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
inline constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
inline constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
inline constexpr HRESULT DRAGDROP_E_NOTREGISTERED = HRESULT(0x80040100);
inline constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = HRESULT(0x80040101);
inline constexpr HRESULT DRAGDROP_E_INVALIDHWND = HRESULT(0x80040102);

struct POINTL {
  LONG x = 0, y = 0;
};

class IDropSource : public IUnknown {
 public:
  virtual HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) = 0;
  virtual HRESULT GiveFeedback(DWORD effect) = 0;
};

class IDropTarget : public IUnknown {
 public:
  virtual HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;
  virtual HRESULT DragOver(DWORD keyState, POINTL pt, DWORD* effect) = 0;
  virtual HRESULT DragLeave() = 0;
  virtual HRESULT Drop(IDataObject* data, DWORD keyState, POINTL pt, DWORD* effect) = 0;
};

// The target holds one reference while registered. A null window or target: E_INVALIDARG
// (DRAGDROP_E_INVALIDHWND for a null window); twice: DRAGDROP_E_ALREADYREGISTERED.
HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target);
HRESULT RevokeDragDrop(HWND hwnd);             // DRAGDROP_E_NOTREGISTERED when none
IDropTarget* RegisteredDropTarget(HWND hwnd);  // no reference taken; null when none

// One step of a drag: the pointer is over `window` (null: over no registered window) at
// the screen point, with the keys and buttons of keyState; escape pressed or not.
struct DragStep {
  HWND window = nullptr;
  POINT pt;
  DWORD keyState = MK_LBUTTON;
  bool escape = false;
};
// Test side: steps taken by the next DoDragDrop calls, in order.
void QueueDragStep(const DragStep& step);
void ClearDragSteps();
// UI driver side: the source of steps while a drag runs (false: none left). Unset, the
// queued steps are used. Returns the previous source.
using DragStepSource = std::function<bool(DragStep&)>;
DragStepSource SetDragStepSource(DragStepSource source);
bool IsDragging();

// The drop target of a file-system folder (IShellFolder::GetUIObjectOf / CreateViewObject
// with IID_IDropTarget): accepts CF_HDROP (or "Shell IDList Array" items with paths);
// Ctrl asks for a copy, Shift for a move, otherwise a move within one drive and a copy
// across drives, each limited by the allowed effects. Drop copies or moves the items in.
HRESULT CreateFolderDropTarget(const std::string& folderPath, IDropTarget** ppdt);

// DRAGDROP_S_DROP with *effect the target's final effect (masked by okEffects),
// DRAGDROP_S_CANCEL with *effect DROPEFFECT_NONE, E_INVALIDARG for null arguments, E_UNEXPECTED
// when a drag already runs.
HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect);

}  // namespace win
