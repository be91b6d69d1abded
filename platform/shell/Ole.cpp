#include "platform/shell/Ole.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/shell/ShellFolder.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Text.h"

namespace win {

namespace {

std::mutex formatMutex;
std::vector<std::string>& FormatNames() {
  static std::vector<std::string> names;
  return names;
}

HGLOBAL Duplicate(HGLOBAL h) {
  std::size_t n = GlobalSize(h);
  void* src = GlobalLock(h);
  if (!src) return nullptr;
  HGLOBAL out = GlobalAlloc(GMEM_MOVEABLE, n);
  if (out) std::memcpy(GlobalLock(out), src, n);
  return out;
}

class FormatEnum final : public ComEnum<FormatEnum, IEnumFORMATETC, IID_IEnumFORMATETC, FORMATETC> {
 public:
  FormatEnum(std::vector<FORMATETC> f, std::size_t pos) : ComEnum(std::move(f), pos) {}
  HRESULT Next(ULONG celt, FORMATETC* rgelt, ULONG* fetched) override {
    if (!rgelt) return E_POINTER;
    return Take(celt, rgelt, fetched, [](const FORMATETC& f) { return f; });
  }
};

// HGLOBAL blocks by format, offered in the order they were set.
class DataObject final : public ComObject<IDataObject, IID_IDataObject> {
 public:
  ~DataObject() {
    for (auto& [f, h] : blocks_) GlobalFree(h);
  }
  HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (!medium) return E_POINTER;
    HRESULT hr = QueryGetData(format);
    if (FAILED(hr)) return hr;
    HGLOBAL copy = Duplicate(Find(format->cfFormat));
    if (!copy) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(FORMATETC* format) override {
    if (!format) return E_POINTER;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_FORMATETC;
    if (!Find(format->cfFormat)) return DV_E_FORMATETC;
    return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
  }
  HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override {
    if (!format || !medium) return E_POINTER;
    if (medium->tymed != TYMED_HGLOBAL || !medium->hGlobal) return DV_E_TYMED;
    HGLOBAL h = release ? medium->hGlobal : Duplicate(medium->hGlobal);
    if (!h) return E_OUTOFMEMORY;
    Set(format->cfFormat, h);
    return S_OK;
  }
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> f;
    for (auto& [cf, h] : blocks_) {
      FORMATETC fe;
      fe.cfFormat = cf;
      f.push_back(fe);
    }
    *ppenum = new FormatEnum(std::move(f), 0);
    return S_OK;
  }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  void Set(CLIPFORMAT cf, HGLOBAL h) {
    for (auto& [f, old] : blocks_)
      if (f == cf) {
        GlobalFree(old);
        old = h;
        return;
      }
    blocks_.emplace_back(cf, h);
  }

 private:
  HGLOBAL Find(CLIPFORMAT cf) const {
    for (auto& [f, h] : blocks_)
      if (f == cf) return h;
    return nullptr;
  }
  std::vector<std::pair<CLIPFORMAT, HGLOBAL>> blocks_;
};

std::mutex clipMutex;
IDataObject* clipboard = nullptr;

}  // namespace

UINT RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard lock(formatMutex);
  auto& names = FormatNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (SameText(names[i], name)) return UINT(0xC000 + i);
  if (names.size() >= 0x3FFF) return 0;
  names.push_back(name);
  return UINT(0xC000 + names.size() - 1);
}

int GetClipboardFormatName(UINT format, char* buffer, int size) {
  std::lock_guard lock(formatMutex);
  auto& names = FormatNames();
  if (format < 0xC000 || format - 0xC000 >= names.size() || !buffer || size <= 0) return 0;
  const std::string& n = names[format - 0xC000];
  int len = std::min<int>(int(n.size()), size - 1);
  std::memcpy(buffer, n.data(), len);
  buffer[len] = 0;
  return len;
}

void ReleaseStgMedium(STGMEDIUM* medium) {
  if (!medium) return;
  if (medium->pUnkForRelease) {
    medium->pUnkForRelease->Release();
  } else if (medium->tymed == TYMED_HGLOBAL) {
    GlobalFree(medium->hGlobal);
  } else if (medium->tymed == TYMED_FILE) {
    CoTaskMemFree(medium->lpszFileName);
  } else if ((medium->tymed == TYMED_ISTREAM || medium->tymed == TYMED_ISTORAGE) && medium->pstm) {
    medium->pstm->Release();
  }
  medium->tymed = TYMED_NULL;
  medium->hGlobal = nullptr;
  medium->pUnkForRelease = nullptr;
}

HRESULT OleSetClipboard(IDataObject* data) {
  std::lock_guard lock(clipMutex);
  if (data) data->AddRef();
  if (clipboard) clipboard->Release();
  clipboard = data;
  return S_OK;
}

HRESULT OleGetClipboard(IDataObject** data) {
  if (!data) return E_POINTER;
  std::lock_guard lock(clipMutex);
  *data = clipboard;
  if (!clipboard) return E_FAIL;
  clipboard->AddRef();
  return S_OK;
}

HRESULT OleFlushClipboard() { return OleSetClipboard(nullptr); }

UINT DragQueryFile(HDROP drop, UINT index, char* buffer, UINT size) {
  std::vector<std::string> names = ReadHDrop(drop);
  if (index == 0xFFFFFFFF) return UINT(names.size());
  if (index >= names.size()) return 0;
  const std::string& n = names[index];
  if (!buffer) return UINT(n.size());
  if (size == 0) return 0;
  UINT len = std::min<UINT>(UINT(n.size()), size - 1);
  std::memcpy(buffer, n.data(), len);
  buffer[len] = 0;
  return len;
}

HGLOBAL MakeHDrop(const std::vector<std::string>& paths) {
  std::size_t size = sizeof(DROPFILES) + 1;
  for (const auto& p : paths) size += p.size() + 1;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!h) return nullptr;
  BYTE* b = static_cast<BYTE*>(GlobalLock(h));
  DROPFILES df{};
  df.pFiles = sizeof(DROPFILES);
  std::memcpy(b, &df, sizeof df);
  std::size_t at = sizeof(DROPFILES);
  for (const auto& p : paths) {
    std::memcpy(b + at, p.c_str(), p.size() + 1);
    at += p.size() + 1;
  }
  return h;
}

std::vector<std::string> ReadHDrop(HGLOBAL drop) {
  std::vector<std::string> out;
  std::size_t size = GlobalSize(drop);
  const BYTE* b = static_cast<const BYTE*>(GlobalLock(drop));
  if (!b || size < sizeof(DROPFILES)) return out;
  DROPFILES df;
  std::memcpy(&df, b, sizeof df);
  if (df.pFiles < sizeof(DROPFILES) || df.pFiles >= size) return out;
  std::size_t at = df.pFiles;
  if (df.fWide) {
    for (;;) {
      const std::u16string w = Utf16FromLeBytes(b + at, size - at);
      at += 2 * w.size();
      if (at + 1 >= size) return {};
      if (w.empty()) return out;
      out.push_back(FromWide(w));
      at += 2;
    }
  }
  for (;;) {
    const char* s = reinterpret_cast<const char*>(b + at);
    std::size_t n = strnlen(s, size - at);
    if (n == size - at) return {};  // unterminated
    if (n == 0) return out;
    out.emplace_back(s, n);
    at += n + 1;
  }
}

HGLOBAL MakeIdListArray(LPCITEMIDLIST parent, const std::vector<LPCITEMIDLIST>& children) {
  static const BYTE empty[2] = {0, 0};
  LPCITEMIDLIST p = parent ? parent : reinterpret_cast<LPCITEMIDLIST>(empty);
  std::size_t n = children.size();
  std::size_t size = 4 + 4 * (n + 1) + ILGetSize(p);
  for (auto c : children) size += c ? ILGetSize(c) : 2;
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!h) return nullptr;
  BYTE* b = static_cast<BYTE*>(GlobalLock(h));
  UINT cidl = UINT(n);
  std::memcpy(b, &cidl, 4);
  std::size_t at = 4 + 4 * (n + 1);
  auto put = [&](std::size_t slot, LPCITEMIDLIST l) {
    UINT off = UINT(at);
    std::memcpy(b + 4 + 4 * slot, &off, 4);
    UINT len = l ? ILGetSize(l) : 2;
    if (l) std::memcpy(b + at, l, len);
    at += len;
  };
  put(0, p);
  for (std::size_t i = 0; i < n; ++i) put(i + 1, children[i]);
  return h;
}

bool ReadIdListArray(HGLOBAL block, std::vector<std::string>* absoluteLists) {
  if (!absoluteLists) return false;
  absoluteLists->clear();
  std::size_t size = GlobalSize(block);
  const BYTE* b = static_cast<const BYTE*>(GlobalLock(block));
  if (!b || size < 8) return false;
  UINT cidl;
  std::memcpy(&cidl, b, 4);
  if (cidl > (size - 8) / 4) return false;
  auto listAt = [&](std::size_t slot, std::string* out) {
    UINT off;
    std::memcpy(&off, b + 4 + 4 * slot, 4);
    if (off >= size) return false;
    auto l = reinterpret_cast<LPCITEMIDLIST>(b + off);
    if (!ILIsValid(l, size - off)) return false;
    out->assign(reinterpret_cast<const char*>(l), ILGetSize(l) - 2);
    return true;
  };
  std::string parent;
  if (!listAt(0, &parent)) return false;
  for (UINT i = 1; i <= cidl; ++i) {
    std::string child;
    if (!listAt(i, &child)) return false;
    absoluteLists->push_back(parent + child);
  }
  return true;
}

HRESULT CreateDataObject(IDataObject** ppdo) {
  if (!ppdo) return E_POINTER;
  *ppdo = new DataObject;
  return S_OK;
}

HRESULT CreateShellDataObject(LPCITEMIDLIST parentAbsolute, UINT cidl, LPCITEMIDLIST_ARRAY children,
                              IDataObject** ppdo) {
  if (!ppdo) return E_POINTER;
  *ppdo = nullptr;
  if (!children && cidl) return E_INVALIDARG;
  if (parentAbsolute && !ILIsValid(parentAbsolute)) return E_INVALIDARG;
  std::vector<LPCITEMIDLIST> kids;
  std::vector<std::string> paths;
  bool allPaths = true;
  for (UINT i = 0; i < cidl; ++i) {
    if (!ILIsValid(children[i])) return E_INVALIDARG;
    kids.push_back(children[i]);
    LPITEMIDLIST abs = ILCombine(parentAbsolute, children[i]);
    char path[MAX_PATH];
    if (abs && SHGetPathFromIDList(abs, path))
      paths.push_back(path);
    else
      allPaths = false;
    ILFree(abs);
  }
  auto* d = new DataObject;
  HGLOBAL ids = MakeIdListArray(parentAbsolute, kids);
  if (ids) d->Set(CLIPFORMAT(RegisterClipboardFormat(CFSTR_SHELLIDLIST)), ids);
  if (allPaths && !paths.empty()) {
    if (HGLOBAL drop = MakeHDrop(paths)) d->Set(CF_HDROP, drop);
  }
  *ppdo = d;
  return S_OK;
}

}  // namespace win
