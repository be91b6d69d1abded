#pragma once
// COM and OLE basics for the shell name space: GUIDs, IUnknown, the task allocator (IMalloc,
// CoTaskMemAlloc), CoCreateInstance for the classes this layer serves (the shell link),
// COM/OLE start-up counters, global memory blocks (GlobalAlloc) and wide strings.
//
// Interfaces are abstract classes whose virtual methods follow the Windows slot order.
// Objects made here start with one reference for the caller unless said otherwise.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/Files.h"
#include "platform/system/Process.h"
#include "platform/system/ShellFolders.h"  // HRESULT, S_OK, S_FALSE, E_FAIL, E_INVALIDARG, SUCCEEDED
#include "platform/system/WinTypes.h"

namespace win {

using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using WCHAR = char16_t;  // 16-bit as on Windows
using LPOLESTR = WCHAR*;
using LPCOLESTR = const WCHAR*;
using LPSTR = char*;
using LPCSTR = const char*;

inline constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002);
inline constexpr HRESULT E_POINTER = HRESULT(0x80004003);
inline constexpr HRESULT E_ABORT = HRESULT(0x80004004);
inline constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = HRESULT(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000E);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = HRESULT(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = HRESULT(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0);
inline constexpr HRESULT STG_E_FILENOTFOUND = HRESULT(0x80030002);
inline constexpr HRESULT STG_E_INVALIDHEADER = HRESULT(0x800300FB);
constexpr HRESULT MAKE_HRESULT(ULONG sev, ULONG fac, ULONG code) {
  return HRESULT((sev << 31) | (fac << 16) | code);
}
constexpr WORD HRESULT_CODE(HRESULT hr) { return WORD(DWORD(hr) & 0xFFFF); }

struct GUID {
  DWORD Data1 = 0;
  WORD Data2 = 0, Data3 = 0;
  BYTE Data4[8] = {};
  friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
inline bool IsEqualGUID(const GUID& a, const GUID& b) { return a == b; }
// "{00000000-0000-0000-C000-000000000046}"; false for a malformed text.
bool GUIDFromString(const std::string& text, GUID* out);
std::string GUIDToString(const GUID& g);

inline constexpr IID IID_IUnknown = {0x00000000, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IMalloc = {0x00000002, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

class IMalloc : public IUnknown {
 public:
  virtual void* Alloc(std::size_t cb) = 0;
  virtual void* Realloc(void* pv, std::size_t cb) = 0;
  virtual void Free(void* pv) = 0;
  virtual std::size_t GetSize(void* pv) = 0;  // (size_t)-1 for a block not its own
  virtual int DidAlloc(void* pv) = 0;         // 1 own, 0 not own, -1 unknown (null)
  virtual void HeapMinimize() = 0;
};

class IBindCtx;  // never used: callers pass null

// COM and OLE start-up: counters only (nothing here needs an apartment). OleInitialize
// implies CoInitialize. Calls work whether or not they were made.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
HRESULT OleInitialize(void* reserved);
void OleUninitialize();

// The task allocator. Blocks carry their size; freeing null is a no-op; freeing a pointer
// that is not a live block of this allocator is ignored (never a crash).
void* CoTaskMemAlloc(std::size_t cb);
void* CoTaskMemRealloc(void* pv, std::size_t cb);
void CoTaskMemFree(void* pv);
HRESULT CoGetMalloc(DWORD memContext, IMalloc** malloc);  // memContext 1 (MEMCTX_TASK)
// Live task-allocator blocks (leak checks in tests).
std::size_t CoTaskMemLiveBlocks();

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_ALL = 0x17;
// Classes served: CLSID_ShellLink (ShellLink.h). Others: REGDB_E_CLASSNOTREG; an outer
// object: CLASS_E_NOAGGREGATION.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);
// Lets a unit serve a class through CoCreateInstance.
using ClassFactoryFn = HRESULT (*)(REFIID riid, void** ppv);
void RegisterComClass(const CLSID& clsid, ClassFactoryFn create);

// Global memory blocks (clipboard and drag data). A handle is valid from GlobalAlloc to
// GlobalFree; the calls refuse handles that are not live blocks (null result, last error 6).
using HGLOBAL = void*;
inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = 0x0042;
inline constexpr UINT GPTR = 0x0040;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
std::size_t GlobalSize(HGLOBAL mem);  // 0 for a bad handle
HGLOBAL GlobalFree(HGLOBAL mem);      // null on success, the handle when it was not a block
std::size_t GlobalLiveBlocks();

// UTF-8 <-> UTF-16, as the wide parameters of the shell calls need them.
std::u16string ToWide(const std::string& utf8);
std::string FromWide(const WCHAR* wide);  // null gives ""
std::string FromWide(const std::u16string& wide);
// A task-allocated, zero-terminated wide copy (free with CoTaskMemFree).
LPOLESTR CoTaskStrDup(const std::string& utf8);

// QueryInterface of an object serving IUnknown and one interface I (identified by iid):
// gives self as I with a new reference.
template <class I>
HRESULT QueryOneInterface(I* self, REFIID iid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == iid) {
    *ppv = self;
    self->AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// An object serving IUnknown and the interfaces Is, made with new: it starts with one
// reference and deletes itself when the last one goes. Find says which interface an IID
// asks for.
template <class... Is>
class ComObjectOf : public Is... {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = Find(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG r = --refs_;
    if (!r) delete this;
    return r;
  }

 protected:
  virtual ~ComObjectOf() = default;
  // This object as the interface riid names, or null where it serves no such interface.
  virtual void* Find(REFIID riid) = 0;

 private:
  std::atomic<ULONG> refs_{1};
};

// One interface I, identified by Iid.
template <class I, const IID& Iid>
class ComObject : public ComObjectOf<I> {
 protected:
  void* Find(REFIID riid) override {
    return riid == IID_IUnknown || riid == Iid ? static_cast<I*>(this) : nullptr;
  }
};

// The place-keeping part of an enumerator (IEnumXXX, identified by Iid) over a snapshot of
// items. Self adds Next, through Take, and is made from (items, position).
template <class Self, class I, const IID& Iid, class Item>
class ComEnum : public ComObject<I, Iid> {
 public:
  HRESULT Skip(ULONG celt) override {
    if (items_.size() - pos_ < celt) {
      pos_ = items_.size();
      return S_FALSE;
    }
    pos_ += celt;
    return S_OK;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(I** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = new Self(items_, pos_);
    return S_OK;
  }

 protected:
  ComEnum(std::vector<Item> items, std::size_t pos) : items_(std::move(items)), pos_(pos) {}
  // Hands out up to celt items, each as `make` turns it; S_FALSE when fewer were left.
  template <class Elem, class Make>
  HRESULT Take(ULONG celt, Elem* out, ULONG* fetched, Make make) {
    ULONG n = 0;
    while (n < celt && pos_ < items_.size()) out[n++] = make(items_[pos_++]);
    if (fetched) *fetched = n;
    return n == celt ? S_OK : S_FALSE;
  }

 private:
  std::vector<Item> items_;
  std::size_t pos_;
};

// Holds one reference; for callers that like RAII.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already owns.
  static ComPtr Attach(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ComPtr& operator=(ComPtr o) {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p_) {
      T* p = p_;
      p_ = nullptr;
      p->Release();
    }
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held and gives the slot.
  T** put() {
    Reset();
    return &p_;
  }
  void** put_void() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T* Detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace win
