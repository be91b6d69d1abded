#include "shellcontrols/UScShellTransfer.h"

#include <algorithm>
#include <cstring>

#include "shellcontrols/UScShellControls.h"

using namespace win;

// ---- FORMATETC list ------------------------------------------------------------------------

TScFormatEtcList::~TScFormatEtcList() { Clear(); }

void TScFormatEtcList::Add(const std::vector<CLIPFORMAT>& Formats) {
  for (CLIPFORMAT f : Formats) {
    FORMATETC fe;
    fe.cfFormat = f;
    AddRecord(fe);
  }
}

void TScFormatEtcList::AddRecord(const FORMATETC& Format) {
  auto* fe = new FORMATETC(Format);
  fe->ptd = nullptr;
  if (Format.ptd) {
    DWORD size = std::max<DWORD>(Format.ptd->tdSize, sizeof(DVTARGETDEVICE));
    auto* block = static_cast<DVTARGETDEVICE*>(CoTaskMemAlloc(size));
    if (block) std::memcpy(block, Format.ptd, Format.ptd->tdSize);
    fe->ptd = block;
  }
  FItems.push_back(fe);
}

void TScFormatEtcList::Clear() {
  for (FORMATETC* fe : FItems) {
    CoTaskMemFree(fe->ptd);
    delete fe;
  }
  FItems.clear();
}

HRESULT TScFormatEtcList::QueryGetData(const FORMATETC* Format) const {
  if (!Format || Format->dwAspect != DVASPECT_CONTENT) return DV_E_FORMATETC;
  bool formatSeen = false;
  for (const FORMATETC* fe : FItems) {
    if (fe->cfFormat != Format->cfFormat) continue;
    formatSeen = true;
    if (fe->tymed & Format->tymed) return S_OK;
  }
  return formatSeen ? DV_E_TYMED : DV_E_FORMATETC;
}

TScFormatEtcList_IEnumFormatEtc* TScFormatEtcList::CreateEnumerator() {
  return new TScFormatEtcList_IEnumFormatEtc(this, 0);
}

TScFormatEtcList_IEnumFormatEtc::TScFormatEtcList_IEnumFormatEtc(TScFormatEtcList* List,
                                                                 int Position)
    : FList(List), FPosition(Position) {}

HRESULT TScFormatEtcList_IEnumFormatEtc::Next(ULONG celt, FORMATETC* rgelt, ULONG* fetched) {
  ULONG n = 0;
  while (n < celt && FPosition < FList->Count()) rgelt[n++] = FList->Item(FPosition++);
  if (fetched) *fetched = n;
  return n == celt ? S_OK : S_FALSE;
}

HRESULT TScFormatEtcList_IEnumFormatEtc::Skip(ULONG celt) {
  if (ULONG(FList->Count() - FPosition) < celt) {
    FPosition = FList->Count();
    return S_FALSE;
  }
  FPosition += std::int32_t(celt);
  return S_OK;
}

HRESULT TScFormatEtcList_IEnumFormatEtc::Reset() {
  FPosition = 0;
  return S_OK;
}

HRESULT TScFormatEtcList_IEnumFormatEtc::Clone(IEnumFORMATETC** ppenum) {
  if (!ppenum) return E_POINTER;
  auto* e = new TScFormatEtcList_IEnumFormatEtc(FList, FPosition);
  e->AddRef();
  *ppenum = e;
  return S_OK;
}

// ---- Drop source ---------------------------------------------------------------------------

TDropSource_shlvtv::TDropSource_shlvtv(int Button)
    : FButtonMask(Button == 0   ? MK_LBUTTON
                  : Button == 1 ? MK_RBUTTON
                  : Button == 2 ? MK_MBUTTON
                                : 0) {}

HRESULT TDropSource_shlvtv::QueryContinueDrag(BOOL EscapePressed, DWORD KeyState) {
  DWORD others = (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON) & ~FButtonMask;
  if (EscapePressed || (KeyState & others)) return DRAGDROP_S_CANCEL;
  if (KeyState & FButtonMask) return S_OK;
  return DRAGDROP_S_DROP;
}

HRESULT TDropSource_shlvtv::GiveFeedback(DWORD) { return DRAGDROP_S_USEDEFAULTCURSORS; }

// ---- Global memory -------------------------------------------------------------------------

namespace {
// A zeroed movable block of size bytes, locked; null, and no block, when memory runs out.
BYTE* NewLockedBlock(std::size_t size, HGLOBAL& mem) {
  mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!mem) return nullptr;
  auto* p = static_cast<BYTE*>(GlobalLock(mem));
  if (!p) {
    GlobalFree(mem);
    mem = nullptr;
  }
  return p;
}
}  // namespace

HRESULT BuildHDropGlobal(const std::vector<std::string>& Paths, HGLOBAL* Handle) {
  *Handle = nullptr;
  // Sized from the real lengths: at least the classic 260 bytes per path, so a long path
  // is never cut or written past the block.
  std::size_t size = 21;
  for (const auto& p : Paths) size += std::max<std::size_t>(260, p.size() + 1);
  HGLOBAL mem = nullptr;
  BYTE* p = NewLockedBlock(size, mem);
  if (!p) return E_OUTOFMEMORY;
  DWORD pFiles = 20;
  std::memcpy(p, &pFiles, 4);
  std::size_t off = 20;
  for (const auto& path : Paths) {
    std::memcpy(p + off, path.c_str(), path.size() + 1);
    off += path.size() + 1;
  }
  GlobalUnlock(mem);
  *Handle = mem;
  return S_OK;
}

HRESULT BuildIdListArrayGlobal(LPCITEMIDLIST Parent, const std::vector<LPCITEMIDLIST>& Children,
                               HGLOBAL* Handle) {
  *Handle = nullptr;
  static const USHORT empty = 0;
  LPCITEMIDLIST parent = Parent ? Parent : reinterpret_cast<LPCITEMIDLIST>(&empty);
  std::size_t n = Children.size();
  if (!PidlSize(parent)) return E_INVALIDARG;  // malformed lists are not handed on
  std::size_t size = 8 + 4 * n + PidlSize(parent);
  for (LPCITEMIDLIST c : Children) {
    if (c && !PidlSize(c)) return E_INVALIDARG;
    size += c ? PidlSize(c) : 2;
  }
  HGLOBAL mem = nullptr;
  BYTE* p = NewLockedBlock(size, mem);
  if (!p) return E_OUTOFMEMORY;
  DWORD cidl = DWORD(n);
  std::memcpy(p, &cidl, 4);
  DWORD off = DWORD(8 + 4 * n);
  auto put = [&](std::size_t slot, LPCITEMIDLIST list) {
    std::memcpy(p + 4 + 4 * slot, &off, 4);
    int bytes = list ? PidlSize(list) : 2;
    if (list) std::memcpy(p + off, list, bytes);
    off += DWORD(bytes);
  };
  put(0, parent);
  for (std::size_t i = 0; i < n; ++i) put(i + 1, Children[i]);
  GlobalUnlock(mem);
  *Handle = mem;
  return S_OK;
}

HGLOBAL DuplicateGlobal(HGLOBAL Handle) {
  std::size_t size = GlobalSize(Handle);
  const void* src = GlobalLock(Handle);
  if (!src) return nullptr;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size);
  if (mem) {
    void* dst = GlobalLock(mem);
    if (dst) {
      std::memcpy(dst, src, size);
      GlobalUnlock(mem);
    } else {
      GlobalFree(mem);
      mem = nullptr;
    }
  }
  GlobalUnlock(Handle);
  return mem;
}

DWORD GetPreferredDropEffect(IDataObject* Data) {
  EnsureShellControlsStarted();
  constexpr DWORD all = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK;
  FORMATETC fe;
  fe.cfFormat = CLIPFORMAT(ShellIdListFormat);
  if (!Data || Data->QueryGetData(&fe) != S_OK) return all;
  STGMEDIUM medium;
  if (FAILED(Data->GetData(&fe, &medium))) return all;
  struct MediumGuard {
    STGMEDIUM* m;
    ~MediumGuard() { ReleaseStgMedium(m); }
  } guard{&medium};
  auto* cida = static_cast<const BYTE*>(GlobalLock(medium.hGlobal));
  if (!cida) return all;
  struct LockGuard {
    HGLOBAL h;
    ~LockGuard() { GlobalUnlock(h); }
  } lock{medium.hGlobal};
  std::size_t size = GlobalSize(medium.hGlobal);
  if (size < 8) return all;
  UINT n;
  std::memcpy(&n, cida, 4);
  if (n > (size - 8) / 4) return all;
  // Every list must lie inside the block; a block that does not hold them cannot be read.
  std::vector<LPCITEMIDLIST> lists;
  for (UINT i = 0; i <= n; ++i) {
    UINT off;
    std::memcpy(&off, cida + 4 + 4 * std::size_t(i), 4);
    if (off >= size || !ILIsValid(reinterpret_cast<LPCITEMIDLIST>(cida + off), size - off))
      return all;
    lists.push_back(reinterpret_cast<LPCITEMIDLIST>(cida + off));
  }
  IShellFolder* folder = nullptr;
  HRESULT hr = GetShellFolder(lists[0], &folder);
  if (FAILED(hr) || !folder) OleError(FAILED(hr) ? hr : E_FAIL);
  std::vector<LPCITEMIDLIST> children(lists.begin() + 1, lists.end());
  ULONG mask = all;
  hr = folder->GetAttributesOf(n, children.data(), &mask);
  folder->Release();
  OleCheck(hr);
  return all & mask;
}
