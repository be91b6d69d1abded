#pragma once
// The data objects a shell tree node or a shell list selection is handed out as (drag,
// Send To, clipboard): "Shell IDList Array" then CF_HDROP; and the drop targets that pass
// the four drop calls on to the tree or the list. Each object is its own COM object,
// starting with a reference count of 0 (the creator takes the first reference). UI thread
// only, hence plain counters.
#include <cstdint>
#include <vector>

#include "shellcontrols/UScShellTree.h"

class TScShDataObjectBase : public TScComObject<win::IDataObject, win::IID_IDataObject> {
 public:
  ~TScShDataObjectBase() override;
  TScShDataObjectBase(const TScShDataObjectBase&) = delete;
  TScShDataObjectBase& operator=(const TScShDataObjectBase&) = delete;

  win::HRESULT GetData(win::FORMATETC* Format, win::STGMEDIUM* Medium) override;
  win::HRESULT GetDataHere(win::FORMATETC* Format, win::STGMEDIUM* Medium) override;
  win::HRESULT QueryGetData(win::FORMATETC* Format) override;
  win::HRESULT GetCanonicalFormatEtc(win::FORMATETC* In, win::FORMATETC* Out) override;
  win::HRESULT SetData(win::FORMATETC* Format, win::STGMEDIUM* Medium, win::BOOL Release) override;
  win::HRESULT EnumFormatEtc(win::DWORD Direction, win::IEnumFORMATETC** Enum) override;
  win::HRESULT DAdvise(win::FORMATETC* Format, win::DWORD Advf, win::IAdviseSink* Sink,
                       win::DWORD* Connection) override;
  win::HRESULT DUnadvise(win::DWORD Connection) override;
  win::HRESULT EnumDAdvise(win::IEnumSTATDATA** Enum) override;

  TScFormatEtcList* Formats() const { return FFormats; }

 protected:
  TScShDataObjectBase();
  // Builds both blocks from the folder list, the items and their parsing names, then
  // offers the formats that were built.
  void Build(win::LPCITEMIDLIST FolderPidl, const std::vector<win::LPCITEMIDLIST>& Items,
             const std::vector<std::string>& FileNames);

 private:
  win::HGLOBAL FFileNameData = nullptr;
  win::HGLOBAL FItemIdData = nullptr;
  TScFormatEtcList* FFormats;
};

class TDataObject_shtv : public TScShDataObjectBase {
 public:
  TDataObject_shtv(TScCustomShellTree* Tree, TTreeNode* Node);
};

class TDataObject_shlv : public TScShDataObjectBase {
 public:
  // The selected items of the list, in item order; those without shell data are skipped.
  TDataObject_shlv(IScShListDataOwner* List, const std::vector<TScShListData*>& Selected);
};

class TScShDropTargetBase : public TScComObject<win::IDropTarget, win::IID_IDropTarget> {
 public:
  win::HRESULT DragEnter(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                         win::DWORD* Effect) override;
  win::HRESULT DragOver(win::DWORD KeyState, win::POINTL Pt, win::DWORD* Effect) override;
  win::HRESULT DragLeave() override;
  win::HRESULT Drop(win::IDataObject* Data, win::DWORD KeyState, win::POINTL Pt,
                    win::DWORD* Effect) override;

 protected:
  explicit TScShDropTargetBase(IScShellDropHandler* Owner) : FOwner(Owner) {}

 private:
  IScShellDropHandler* FOwner;
};

class TDropTarget_shtv : public TScShDropTargetBase {
 public:
  explicit TDropTarget_shtv(TScCustomShellTree* Tree) : TScShDropTargetBase(Tree) {}
};

class TDropTarget_shlv : public TScShDropTargetBase {
 public:
  explicit TDropTarget_shlv(IScShellDropHandler* List) : TScShDropTargetBase(List) {}
};
