#include "platform/shell/Com.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/shell/ShellLink.h"
#include "platform/system/LastError.h"
#include "platform/system/Text.h"

namespace win {

namespace {

// Blocks of one allocator: pointer -> size. Unknown pointers are refused, so a bad free or
// a stale handle never reaches the C library.
class BlockTable {
 public:
  void* Alloc(std::size_t cb, bool zero) {
    void* p = zero ? std::calloc(1, cb ? cb : 1) : std::malloc(cb ? cb : 1);
    if (!p) return nullptr;
    std::lock_guard lock(mutex_);
    blocks_[p] = cb;
    return p;
  }
  bool Free(void* p) {
    {
      std::lock_guard lock(mutex_);
      if (!blocks_.erase(p)) return false;
    }
    std::free(p);
    return true;
  }
  void* Realloc(void* p, std::size_t cb) {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(p);
    if (it == blocks_.end()) return nullptr;
    void* q = std::realloc(p, cb ? cb : 1);
    if (!q) return nullptr;
    blocks_.erase(it);
    blocks_[q] = cb;
    return q;
  }
  bool Size(const void* p, std::size_t* cb) {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(const_cast<void*>(p));
    if (it == blocks_.end()) return false;
    *cb = it->second;
    return true;
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return blocks_.size();
  }

 private:
  std::mutex mutex_;
  std::map<void*, std::size_t> blocks_;
};

BlockTable& TaskBlocks() {
  static BlockTable* t = new BlockTable;  // never destroyed: frees may come at exit
  return *t;
}
BlockTable& GlobalBlocks() {
  static BlockTable* t = new BlockTable;
  return *t;
}

class TaskMalloc final : public IMalloc {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMalloc) {
      *ppv = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 1; }  // static object
  ULONG Release() override { return 1; }
  void* Alloc(std::size_t cb) override { return CoTaskMemAlloc(cb); }
  void* Realloc(void* pv, std::size_t cb) override { return CoTaskMemRealloc(pv, cb); }
  void Free(void* pv) override { CoTaskMemFree(pv); }
  std::size_t GetSize(void* pv) override {
    std::size_t cb = 0;
    return pv && TaskBlocks().Size(pv, &cb) ? cb : std::size_t(-1);
  }
  int DidAlloc(void* pv) override {
    std::size_t cb = 0;
    return pv ? (TaskBlocks().Size(pv, &cb) ? 1 : 0) : -1;
  }
  void HeapMinimize() override {}
};

std::atomic<int> comCount{0}, oleCount{0};

std::mutex classMutex;
std::map<std::string, ClassFactoryFn>& Classes() {
  static std::map<std::string, ClassFactoryFn> m;
  return m;
}

}  // namespace

bool GUIDFromString(const std::string& text, GUID* out) {
  if (!out || text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  static const int dashes[] = {9, 14, 19, 24};
  for (int d : dashes)
    if (text[d] != '-') return false;
  std::string hex;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    if (text[i] == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    hex += text[i];
  }
  if (hex.size() != 32) return false;
  auto val = [&](std::size_t at, std::size_t n) {
    return std::stoull(hex.substr(at, n), nullptr, 16);
  };
  GUID g;
  g.Data1 = DWORD(val(0, 8));
  g.Data2 = WORD(val(8, 4));
  g.Data3 = WORD(val(12, 4));
  for (int i = 0; i < 8; ++i) g.Data4[i] = BYTE(val(16 + 2 * i, 2));
  *out = g;
  return true;
}

std::string GUIDToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

HRESULT CoInitialize(void*) { return comCount++ == 0 ? S_OK : S_FALSE; }
void CoUninitialize() {
  if (comCount > 0) --comCount;
}
HRESULT OleInitialize(void*) {
  CoInitialize(nullptr);
  return oleCount++ == 0 ? S_OK : S_FALSE;
}
void OleUninitialize() {
  if (oleCount > 0) --oleCount;
  CoUninitialize();
}

void* CoTaskMemAlloc(std::size_t cb) { return TaskBlocks().Alloc(cb, false); }
void* CoTaskMemRealloc(void* pv, std::size_t cb) {
  if (!pv) return CoTaskMemAlloc(cb);
  return TaskBlocks().Realloc(pv, cb);
}
void CoTaskMemFree(void* pv) {
  if (pv) TaskBlocks().Free(pv);
}
std::size_t CoTaskMemLiveBlocks() { return TaskBlocks().Count(); }

HRESULT CoGetMalloc(DWORD memContext, IMalloc** malloc) {
  if (!malloc) return E_POINTER;
  if (memContext != 1) {
    *malloc = nullptr;
    return E_INVALIDARG;
  }
  static TaskMalloc task;
  *malloc = &task;
  return S_OK;
}

void RegisterComClass(const CLSID& clsid, ClassFactoryFn create) {
  std::lock_guard lock(classMutex);
  Classes()[GUIDToString(clsid)] = create;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (clsid == CLSID_ShellLink) RegisterShellLinkClass();
  ClassFactoryFn create = nullptr;
  {
    std::lock_guard lock(classMutex);
    auto it = Classes().find(GUIDToString(clsid));
    if (it != Classes().end()) create = it->second;
  }
  if (!create) return REGDB_E_CLASSNOTREG;
  return create(riid, ppv);
}

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  HGLOBAL h = GlobalBlocks().Alloc(bytes, (flags & GMEM_ZEROINIT) != 0);
  if (!h) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return h;
}
void* GlobalLock(HGLOBAL mem) {
  std::size_t cb = 0;
  if (!mem || !GlobalBlocks().Size(mem, &cb)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return mem;
}
BOOL GlobalUnlock(HGLOBAL mem) {
  std::size_t cb = 0;
  if (!mem || !GlobalBlocks().Size(mem, &cb)) SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;  // no lock count kept: the block is never locked after the call
}
std::size_t GlobalSize(HGLOBAL mem) {
  std::size_t cb = 0;
  if (!mem || !GlobalBlocks().Size(mem, &cb)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return cb;
}
HGLOBAL GlobalFree(HGLOBAL mem) {
  if (!mem) return nullptr;
  if (GlobalBlocks().Free(mem)) return nullptr;
  SetLastError(ERROR_INVALID_HANDLE);
  return mem;
}
std::size_t GlobalLiveBlocks() { return GlobalBlocks().Count(); }

std::u16string ToWide(const std::string& s) { return Utf8ToUtf16(s); }

std::string FromWide(const std::u16string& w) { return Utf16ToUtf8(w); }

std::string FromWide(const WCHAR* wide) {
  return wide ? FromWide(std::u16string(wide)) : std::string();
}

LPOLESTR CoTaskStrDup(const std::string& utf8) {
  std::u16string w = ToWide(utf8);
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((w.size() + 1) * sizeof(WCHAR)));
  if (!p) return nullptr;
  std::memcpy(p, w.data(), w.size() * sizeof(WCHAR));
  p[w.size()] = 0;
  return p;
}

}  // namespace win
