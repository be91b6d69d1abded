#pragma once
// What an OLE transfer of shell items needs: the FORMATETC list and its enumerator, the drop
// source of the tree and the list, and the CF_HDROP and "Shell IDList Array" memory blocks.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/ShellFolder.h"

// A COM object of the shell controls serving IUnknown and I (identified by Iid): its count
// starts at 0, the creator taking the first reference, and it deletes itself when the last
// one goes. UI thread only, hence a plain counter.
template <class I, const win::IID& Iid>
class TScComObject : public TObject, public I {
 public:
  win::HRESULT QueryInterface(win::REFIID riid, void** ppv) override {
    return win::QueryOneInterface<I>(this, Iid, riid, ppv);
  }
  win::ULONG AddRef() override { return win::ULONG(++FRefCount); }
  win::ULONG Release() override {
    const std::int32_t n = --FRefCount;
    if (n == 0) delete this;
    return win::ULONG(n);
  }
  std::int32_t RefCount() const { return FRefCount; }

 private:
  std::int32_t FRefCount = 0;
};

// ---- FORMATETC list and its enumerator ------------------------------------------------
class TScFormatEtcList : public TObject {
 public:
  TScFormatEtcList() = default;
  ~TScFormatEtcList() override;
  TScFormatEtcList(const TScFormatEtcList&) = delete;
  TScFormatEtcList& operator=(const TScFormatEtcList&) = delete;
  // One record per format: no device, DVASPECT_CONTENT, lindex -1, TYMED_HGLOBAL.
  void Add(const std::vector<win::CLIPFORMAT>& Formats);
  // A deep copy of the record (device block included).
  void AddRecord(const win::FORMATETC& Format);
  void Clear();
  win::HRESULT QueryGetData(const win::FORMATETC* Format) const;
  // A new enumerator at position 0 (reference count 0).
  class TScFormatEtcList_IEnumFormatEtc* CreateEnumerator();
  int Count() const { return int(FItems.size()); }
  const win::FORMATETC& Item(int Index) const { return *FItems.at(Index); }

 private:
  std::vector<win::FORMATETC*> FItems;
};

class TScFormatEtcList_IEnumFormatEtc
    : public TScComObject<win::IEnumFORMATETC, win::IID_IEnumFORMATETC> {
 public:
  explicit TScFormatEtcList_IEnumFormatEtc(TScFormatEtcList* List, int Position = 0);
  win::HRESULT Next(win::ULONG celt, win::FORMATETC* rgelt, win::ULONG* fetched) override;
  win::HRESULT Skip(win::ULONG celt) override;
  win::HRESULT Reset() override;
  win::HRESULT Clone(win::IEnumFORMATETC** ppenum) override;

 private:
  TScFormatEtcList* FList;
  std::int32_t FPosition;
};

// ---- Drop source -----------------------------------------------------------------------
class TDropSource_shlvtv : public TScComObject<win::IDropSource, win::IID_IDropSource> {
 public:
  explicit TDropSource_shlvtv(int Button);  // 0 left, 1 right, 2 middle
  win::HRESULT QueryContinueDrag(win::BOOL EscapePressed, win::DWORD KeyState) override;
  win::HRESULT GiveFeedback(win::DWORD Effect) override;
  win::DWORD ButtonMask() const { return FButtonMask; }

 private:
  win::DWORD FButtonMask;
};

// ---- Global memory ---------------------------------------------------------------------
win::HRESULT BuildHDropGlobal(const std::vector<std::string>& Paths, win::HGLOBAL* Handle);
// Parent null: written as the empty list.
win::HRESULT BuildIdListArrayGlobal(win::LPCITEMIDLIST Parent,
                                    const std::vector<win::LPCITEMIDLIST>& Children,
                                    win::HGLOBAL* Handle);
win::HGLOBAL DuplicateGlobal(win::HGLOBAL Handle);  // null on failure
// Copy/move/link abilities that all items of a dragged "Shell IDList Array" share; 7 when
// the format is not there.
win::DWORD GetPreferredDropEffect(win::IDataObject* Data);
