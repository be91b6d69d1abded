#include "shellcontrols/UScShellDataObjects.h"

using namespace win;

// ---- Data objects ----------------------------------------------------------------------

TScShDataObjectBase::TScShDataObjectBase() : FFormats(new TScFormatEtcList) {}

TScShDataObjectBase::~TScShDataObjectBase() {
  if (FFileNameData) GlobalFree(FFileNameData);
  if (FItemIdData) GlobalFree(FItemIdData);
  delete FFormats;
}

void TScShDataObjectBase::Build(LPCITEMIDLIST FolderPidl, const std::vector<LPCITEMIDLIST>& Items,
                                const std::vector<std::string>& FileNames) {
  if (!Items.empty() && FAILED(BuildIdListArrayGlobal(FolderPidl, Items, &FItemIdData)))
    FItemIdData = nullptr;
  // Only when every item has a name: a CF_HDROP with gaps would misname the drop.
  if (!FileNames.empty() && FileNames.size() == Items.size() &&
      FAILED(BuildHDropGlobal(FileNames, &FFileNameData)))
    FFileNameData = nullptr;
  StartShellControlsUnit();
  if (FItemIdData) FFormats->Add({CLIPFORMAT(ShellIdListFormat)});
  if (FFileNameData) FFormats->Add({CF_HDROP});
}

HRESULT TScShDataObjectBase::GetData(FORMATETC* Format, STGMEDIUM* Medium) {
  if (!Format || !Medium) return E_INVALIDARG;
  HRESULT hr = QueryGetData(Format);
  if (FAILED(hr)) return hr;
  HGLOBAL source = nullptr;
  if (Format->cfFormat == CLIPFORMAT(ShellIdListFormat))
    source = FItemIdData;
  else if (Format->cfFormat == CF_HDROP)
    source = FFileNameData;
  else
    return DV_E_FORMATETC;
  if (!source) return DV_E_FORMATETC;
  HGLOBAL copy = DuplicateGlobal(source);
  if (!copy) return E_OUTOFMEMORY;
  Medium->tymed = TYMED_HGLOBAL;
  Medium->hGlobal = copy;
  Medium->pUnkForRelease = nullptr;
  return S_OK;
}

HRESULT TScShDataObjectBase::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT TScShDataObjectBase::QueryGetData(FORMATETC* Format) {
  if (!Format) return E_INVALIDARG;
  return FFormats->QueryGetData(Format);
}

HRESULT TScShDataObjectBase::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* Out) {
  if (Out) Out->ptd = nullptr;
  return E_NOTIMPL;
}

HRESULT TScShDataObjectBase::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT TScShDataObjectBase::EnumFormatEtc(DWORD Direction, IEnumFORMATETC** Enum) {
  if (!Enum) return E_INVALIDARG;
  if (Direction != DATADIR_GET) {
    *Enum = nullptr;
    return E_NOTIMPL;
  }
  TScFormatEtcList_IEnumFormatEtc* e = FFormats->CreateEnumerator();
  e->AddRef();
  *Enum = e;
  return S_OK;
}

HRESULT TScShDataObjectBase::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}
HRESULT TScShDataObjectBase::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT TScShDataObjectBase::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }

TDataObject_shtv::TDataObject_shtv(TScCustomShellTree* Tree, TTreeNode* Node) {
  TScShTreeData* data = Tree ? Tree->NodeData(Node) : nullptr;
  if (!data) return;
  TScShTreeData* parent = Node->Parent() ? Tree->NodeData(Node->Parent()) : nullptr;
  LPCITEMIDLIST folderPidl = parent ? parent->AbsolutePidl() : nullptr;
  std::vector<std::string> names;
  try {
    ComPtr<IShellFolder> folder = parent ? parent->ShellFolder() : data->ParentFolder();
    if (folder) {
      std::string name = GetItemDisplayName(folder.get(), data->RelativePidl(), SHGDN_FORPARSING);
      if (!name.empty()) names.push_back(name);
    }
  } catch (const Exception&) {
    // An item that cannot be named leaves CF_HDROP unbuilt.
  }
  Build(folderPidl, {data->RelativePidl()}, names);
}

TDataObject_shlv::TDataObject_shlv(IScShListDataOwner* List,
                                   const std::vector<TScShListData*>& Selected) {
  if (!List) return;
  std::vector<LPCITEMIDLIST> items;
  for (TScShListData* d : Selected)
    if (d && d->RelativePidl()) items.push_back(d->RelativePidl());
  if (items.empty()) return;
  std::vector<std::string> names;
  if (IShellFolder* folder = List->CurrentShellFolder()) {
    for (LPCITEMIDLIST id : items) {
      std::string name = GetItemDisplayName(folder, id, SHGDN_FORPARSING);
      if (name.empty()) {
        names.clear();
        break;
      }
      names.push_back(name);
    }
  }
  Build(List->CurrentFolderPidl(), items, names);
}

// ---- Drop targets ----------------------------------------------------------------------

HRESULT TScShDropTargetBase::DragEnter(IDataObject* Data, DWORD KeyState, POINTL Pt,
                                       DWORD* Effect) {
  return FOwner->DragEnter(Data, KeyState, Pt, Effect);
}
HRESULT TScShDropTargetBase::DragOver(DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FOwner->DragOver(KeyState, Pt, Effect);
}
HRESULT TScShDropTargetBase::DragLeave() { return FOwner->DragLeave(); }
HRESULT TScShDropTargetBase::Drop(IDataObject* Data, DWORD KeyState, POINTL Pt, DWORD* Effect) {
  return FOwner->Drop(Data, KeyState, Pt, Effect);
}
