#include "platform/shell/DragDrop.h"

#include <deque>
#include <map>
#include <mutex>

#include "platform/shell/FileOperation.h"
#include "platform/shell/ShellFolder.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"

namespace win {

namespace {

std::mutex dragMutex;
std::map<HWND, IDropTarget*>& Targets() {
  static std::map<HWND, IDropTarget*> t;
  return t;
}
std::deque<DragStep>& Steps() {
  static std::deque<DragStep> s;
  return s;
}
DragStepSource& Source() {
  static DragStepSource s;
  return s;
}
bool dragging = false;

bool NextStep(DragStep& step) {
  DragStepSource src;
  {
    std::lock_guard lock(dragMutex);
    src = Source();
    if (!src) {
      if (Steps().empty()) return false;
      step = Steps().front();
      Steps().pop_front();
      return true;
    }
  }
  return src(step);
}

// Paths offered by a data object: CF_HDROP, else the "Shell IDList Array" items.
std::vector<std::string> DroppedPaths(IDataObject* data) {
  std::vector<std::string> out;
  if (!data) return out;
  FORMATETC fe;
  fe.cfFormat = CF_HDROP;
  STGMEDIUM m;
  if (SUCCEEDED(data->GetData(&fe, &m))) {
    out = ReadHDrop(m.hGlobal);
    ReleaseStgMedium(&m);
    if (!out.empty()) return out;
  }
  fe.cfFormat = CLIPFORMAT(RegisterClipboardFormat(CFSTR_SHELLIDLIST));
  if (SUCCEEDED(data->GetData(&fe, &m))) {
    std::vector<std::string> lists;
    if (ReadIdListArray(m.hGlobal, &lists)) {
      for (auto& l : lists) {
        LPITEMIDLIST abs = pidl::Make({l});
        char path[MAX_PATH];
        bool ok = abs && SHGetPathFromIDList(abs, path);
        ILFree(abs);
        if (!ok) {
          out.clear();
          break;
        }
        out.push_back(path);
      }
    }
    ReleaseStgMedium(&m);
  }
  return out;
}

char DriveOf(const std::string& path) {
  std::string full = Machine::Current().FullPathName(path);
  return full.size() > 1 && full[1] == ':' ? char(std::toupper(static_cast<unsigned char>(full[0])))
                                           : '\0';
}

class FolderDropTarget final : public ComObject<IDropTarget, IID_IDropTarget> {
 public:
  explicit FolderDropTarget(std::string folder) : folder_(std::move(folder)) {}
  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    paths_ = DroppedPaths(data);
    *effect = Choose(keys, *effect);
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, POINTL, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    *effect = Choose(keys, *effect);
    return S_OK;
  }
  HRESULT DragLeave() override {
    paths_.clear();
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override {
    if (!effect) return E_INVALIDARG;
    paths_ = DroppedPaths(data);
    DWORD chosen = Choose(keys, *effect);
    *effect = chosen;
    if (chosen == DROPEFFECT_NONE) return S_OK;
    DWORD err = ShellCopyItems(paths_, folder_, chosen == DROPEFFECT_MOVE, true);
    paths_.clear();
    if (err) {
      *effect = DROPEFFECT_NONE;
      return err == ERROR_CANCELLED ? S_OK : HRESULT_FROM_WIN32(err);  // the user said no
    }
    return S_OK;
  }

 private:
  DWORD Choose(DWORD keys, DWORD allowed) const {
    if (paths_.empty()) return DROPEFFECT_NONE;
    // Dropping a folder into itself or below it is refused.
    std::string dest = FoldCase(Machine::Current().FullPathName(folder_));
    for (const auto& p : paths_) {
      std::string src = FoldCase(Machine::Current().FullPathName(p));
      if (dest == src || (dest.size() > src.size() && dest.compare(0, src.size(), src) == 0 &&
                          dest[src.size()] == '\\'))
        return DROPEFFECT_NONE;
    }
    DWORD want;
    if (keys & MK_CONTROL)
      want = DROPEFFECT_COPY;
    else if (keys & MK_SHIFT)
      want = DROPEFFECT_MOVE;
    else
      want = DriveOf(paths_[0]) == DriveOf(folder_) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    // Moving items into the folder that holds them changes nothing: no effect is offered
    // (Ctrl still copies them there as "Copie de ...").
    if (want == DROPEFFECT_MOVE) {
      bool allHere = true;
      for (const auto& p : paths_) allHere = allHere && IsItemOfFolder(p, folder_);
      if (allHere) return DROPEFFECT_NONE;
    }
    if (allowed & want) return want;
    if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
    if (allowed & DROPEFFECT_MOVE) return DROPEFFECT_MOVE;
    return DROPEFFECT_NONE;
  }
  std::string folder_;
  std::vector<std::string> paths_;
};

}  // namespace

HRESULT RegisterDragDrop(HWND hwnd, IDropTarget* target) {
  if (!hwnd) return DRAGDROP_E_INVALIDHWND;
  if (!target) return E_INVALIDARG;
  std::lock_guard lock(dragMutex);
  auto& t = Targets();
  if (t.count(hwnd)) return DRAGDROP_E_ALREADYREGISTERED;
  target->AddRef();
  t[hwnd] = target;
  return S_OK;
}

HRESULT RevokeDragDrop(HWND hwnd) {
  IDropTarget* target = nullptr;
  {
    std::lock_guard lock(dragMutex);
    auto it = Targets().find(hwnd);
    if (it == Targets().end()) return DRAGDROP_E_NOTREGISTERED;
    target = it->second;
    Targets().erase(it);
  }
  target->Release();
  return S_OK;
}

IDropTarget* RegisteredDropTarget(HWND hwnd) {
  std::lock_guard lock(dragMutex);
  auto it = Targets().find(hwnd);
  return it == Targets().end() ? nullptr : it->second;
}

void QueueDragStep(const DragStep& step) {
  std::lock_guard lock(dragMutex);
  Steps().push_back(step);
}

void ClearDragSteps() {
  std::lock_guard lock(dragMutex);
  Steps().clear();
}

DragStepSource SetDragStepSource(DragStepSource source) {
  std::lock_guard lock(dragMutex);
  DragStepSource old = std::move(Source());
  Source() = std::move(source);
  return old;
}

bool IsDragging() { return dragging; }

HRESULT DoDragDrop(IDataObject* data, IDropSource* source, DWORD okEffects, DWORD* effect) {
  if (!data || !source || !effect) return E_INVALIDARG;
  if (dragging) return E_UNEXPECTED;
  dragging = true;
  *effect = DROPEFFECT_NONE;
  ComPtr<IDropTarget> current;
  HWND currentWindow = nullptr;
  DWORD lastEffect = DROPEFFECT_NONE;
  DWORD lastKeys = MK_LBUTTON;
  HRESULT result = DRAGDROP_S_CANCEL;
  POINTL lastPt;
  DragStep step;
  while (NextStep(step)) {
    POINTL pt{step.pt.x, step.pt.y};
    HRESULT q = source->QueryContinueDrag(step.escape ? TRUE : FALSE, step.keyState);
    if (q == DRAGDROP_S_CANCEL) break;
    if (q == DRAGDROP_S_DROP) {
      // The drop happens where the pointer was last over a target.
      if (current && lastEffect != DROPEFFECT_NONE) {
        DWORD e = okEffects;
        HRESULT hr = current->Drop(data, lastKeys, lastPt, &e);
        *effect = SUCCEEDED(hr) ? (e & okEffects) : DROPEFFECT_NONE;
        current.Reset();
        result = DRAGDROP_S_DROP;
      }
      break;
    }
    lastKeys = step.keyState;
    lastPt = pt;
    if (step.window != currentWindow) {
      if (current) current->DragLeave();
      current = ComPtr<IDropTarget>(RegisteredDropTarget(step.window));
      currentWindow = step.window;
      lastEffect = okEffects;
      if (current && FAILED(current->DragEnter(data, step.keyState, pt, &lastEffect)))
        lastEffect = DROPEFFECT_NONE;
    } else if (current) {
      lastEffect = okEffects;
      if (FAILED(current->DragOver(step.keyState, pt, &lastEffect))) lastEffect = DROPEFFECT_NONE;
    }
    if (!current) lastEffect = DROPEFFECT_NONE;
    lastEffect &= okEffects | DROPEFFECT_SCROLL;
    lastEffect &= ~DROPEFFECT_SCROLL;
    source->GiveFeedback(lastEffect);
  }
  if (current) current->DragLeave();
  dragging = false;
  return result;
}

HRESULT CreateFolderDropTarget(const std::string& folderPath, IDropTarget** ppdt) {
  if (!ppdt) return E_POINTER;
  *ppdt = nullptr;
  DWORD a = GetFileAttributes(folderPath);
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
    return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  *ppdt = new FolderDropTarget(folderPath);
  return S_OK;
}

}  // namespace win
