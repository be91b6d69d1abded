// The data objects of a tree node and of a list selection, and the drop targets that pass
// the four drop calls on.
#include <gtest/gtest.h>

#include "platform/forms/Forms.h"
#include "platform/shell/Ole.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "shellcontrols/UScShellDataObjects.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

// A list owner over one folder, as the shell list is to its items.
class TFakeList : public IScShListDataOwner {
 public:
  explicit TFakeList(const std::string& path) {
    EXPECT_EQ(PathToPidl(path, &FPidl), S_OK);
    EXPECT_EQ(GetShellFolder(FPidl, FFolder.put()), S_OK);
  }
  ~TFakeList() { ShellFree(FPidl); }
  IShellFolder* CurrentShellFolder() override { return FFolder.get(); }
  LPCITEMIDLIST CurrentFolderPidl() override { return FPidl; }
  IShellDetails* DetailsSource() override { return nullptr; }
  TScShListData* Item(const std::string& name) {
    auto* d = new TScShListData(this);
    LPITEMIDLIST id = nullptr;
    std::u16string w = ToWide(name);
    ULONG eaten = 0;
    EXPECT_EQ(FFolder->ParseDisplayName(nullptr, nullptr, w.c_str(), &eaten, &id, nullptr), S_OK);
    d->SetRelativePidl(id);
    return d;
  }

 private:
  LPITEMIDLIST FPidl = nullptr;
  ComPtr<IShellFolder> FFolder;
};

class Recorder : public IScShellDropHandler {
 public:
  HRESULT DragEnter(IDataObject* d, DWORD k, POINTL p, DWORD* e) override {
    Calls += "enter(" + std::to_string(k) + "," + std::to_string(p.x) + ")";
    *e = DROPEFFECT_LINK;
    return S_OK;
  }
  HRESULT DragOver(DWORD, POINTL, DWORD*) override {
    Calls += "over";
    return E_UNEXPECTED;
  }
  HRESULT DragLeave() override {
    Calls += "leave";
    return S_OK;
  }
  HRESULT Drop(IDataObject*, DWORD, POINTL, DWORD*) override {
    Calls += "drop";
    return S_FALSE;
  }
  std::string Calls;
};

class DataObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    clock::SetSimulated(true);
    CreateDirectory("C:\\Data");
    WriteWholeFile("C:\\Data\\one.txt", "1");
    WriteWholeFile("C:\\Data\\two.txt", "22");
    WriteWholeFile("C:\\Data\\three.txt", "333");
    StartShellControlsUnit();
  }
  FORMATETC Format(CLIPFORMAT cf) {
    FORMATETC f;
    f.cfFormat = cf;
    return f;
  }
  TempMachine pc{{}, &CreateMachine};
};

TEST_F(DataObjects, ListSelectionOffersIdsThenNamesInItemOrder) {
  TFakeList list("C:\\Data");
  TScShListData* a = list.Item("two.txt");
  TScShListData* b = list.Item("one.txt");
  TScShListData* c = list.Item("three.txt");
  auto* obj = new TDataObject_shlv(&list, {a, b, c});
  EXPECT_EQ(obj->RefCount(), 0);
  ComPtr<IDataObject> data(obj);
  EXPECT_EQ(obj->RefCount(), 1);
  ASSERT_EQ(obj->Formats()->Count(), 2);
  EXPECT_EQ(obj->Formats()->Item(0).cfFormat, CLIPFORMAT(ShellIdListFormat));
  EXPECT_EQ(obj->Formats()->Item(1).cfFormat, CF_HDROP);

  FORMATETC ids = Format(CLIPFORMAT(ShellIdListFormat));
  STGMEDIUM m1, m2;
  ASSERT_EQ(data->GetData(&ids, &m1), S_OK);
  ASSERT_EQ(data->GetData(&ids, &m2), S_OK);
  EXPECT_EQ(m1.tymed, TYMED_HGLOBAL);
  EXPECT_EQ(m1.pUnkForRelease, nullptr);
  EXPECT_NE(m1.hGlobal, m2.hGlobal);  // two independent copies
  std::vector<std::string> lists;
  ASSERT_TRUE(ReadIdListArray(m1.hGlobal, &lists));
  ReleaseStgMedium(&m1);
  ASSERT_EQ(lists.size(), 3u);  // the folder with each item, in item order
  LPITEMIDLIST two = nullptr;
  ASSERT_EQ(PathToPidl("C:\\Data\\two.txt", &two), S_OK);
  EXPECT_EQ(lists[0], std::string(reinterpret_cast<const char*>(two), PidlSize(two) - 2));
  ShellFree(two);
  std::vector<std::string> again;
  EXPECT_TRUE(ReadIdListArray(m2.hGlobal, &again));  // freeing one leaves the other
  EXPECT_EQ(again, lists);
  ReleaseStgMedium(&m2);

  FORMATETC hdrop = Format(CF_HDROP);
  STGMEDIUM m3;
  ASSERT_EQ(data->GetData(&hdrop, &m3), S_OK);
  EXPECT_EQ(
      ReadHDrop(m3.hGlobal),
      (std::vector<std::string>{"C:\\Data\\two.txt", "C:\\Data\\one.txt", "C:\\Data\\three.txt"}));
  ReleaseStgMedium(&m3);
  STGMEDIUM m4;
  FORMATETC text = Format(CF_TEXT);
  EXPECT_EQ(data->GetData(&text, &m4), DV_E_FORMATETC);
  delete a;
  delete b;
  delete c;
}

TEST_F(DataObjects, EmptySelectionOffersNothingAndOtherMethodsAnswerFixedCodes) {
  TFakeList list("C:\\Data");
  auto* obj = new TDataObject_shlv(&list, {});
  ComPtr<IDataObject> data(obj);
  EXPECT_EQ(obj->Formats()->Count(), 0);
  FORMATETC hdrop = Format(CF_HDROP);
  EXPECT_FALSE(SUCCEEDED(data->QueryGetData(&hdrop)));
  STGMEDIUM m;
  EXPECT_EQ(data->GetData(&hdrop, &m), DV_E_FORMATETC);
  IEnumFORMATETC* e = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
  EXPECT_EQ(e, nullptr);
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &e), S_OK);
  FORMATETC got;
  ULONG n = 9;
  EXPECT_EQ(e->Next(1, &got, &n), S_FALSE);
  EXPECT_EQ(n, 0u);
  e->Release();
  FORMATETC out;
  out.ptd = reinterpret_cast<DVTARGETDEVICE*>(1);
  EXPECT_EQ(data->GetCanonicalFormatEtc(&hdrop, &out), E_NOTIMPL);
  EXPECT_EQ(out.ptd, nullptr);
  EXPECT_EQ(data->GetDataHere(&hdrop, &m), E_NOTIMPL);
  EXPECT_EQ(data->SetData(&hdrop, &m, FALSE), E_NOTIMPL);
  DWORD conn = 0;
  EXPECT_EQ(data->DAdvise(&hdrop, 0, nullptr, &conn), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->DUnadvise(0), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(data->EnumDAdvise(nullptr), OLE_E_ADVISENOTSUPPORTED);
  IUnknown* unk = nullptr;
  EXPECT_EQ(data->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&unk)), E_NOINTERFACE);
  EXPECT_EQ(unk, nullptr);
}

TEST_F(DataObjects, TreeNodeOffersItsFolderAndPath) {
  Application->Reset();
  auto* form = new TForm(Application);
  auto* tree = new TScShellTree(form);
  tree->SetParent(form);
  tree->HandleNeeded();
  tree->Fill();
  LPITEMIDLIST p = nullptr;
  ASSERT_EQ(PathToPidl("C:\\Data", &p), S_OK);
  tree->SelectPidl(p);
  ShellFree(p);
  ComPtr<IDataObject> data(new TDataObject_shtv(tree, tree->Selected()));
  FORMATETC hdrop = Format(CF_HDROP);
  STGMEDIUM m;
  ASSERT_EQ(data->GetData(&hdrop, &m), S_OK);
  EXPECT_EQ(ReadHDrop(m.hGlobal), std::vector<std::string>{"C:\\Data"});
  ReleaseStgMedium(&m);
  FORMATETC ids = Format(CLIPFORMAT(ShellIdListFormat));
  ASSERT_EQ(data->GetData(&ids, &m), S_OK);
  std::vector<std::string> lists;
  ASSERT_TRUE(ReadIdListArray(m.hGlobal, &lists));
  ReleaseStgMedium(&m);
  ASSERT_EQ(lists.size(), 1u);
  LPITEMIDLIST c = nullptr;
  ASSERT_EQ(PathToPidl("C:\\Data", &c), S_OK);
  EXPECT_EQ(lists[0], std::string(reinterpret_cast<const char*>(c), PidlSize(c) - 2));
  ShellFree(c);
  // A foreign node gives an object with no format.
  TTreeNode* foreign = tree->Items()->Add(nullptr, "foreign");
  auto* none = new TDataObject_shtv(tree, foreign);
  ComPtr<IDataObject> hold(none);
  EXPECT_EQ(none->Formats()->Count(), 0);
  delete form;
  Application->Reset();
}

TEST_F(DataObjects, DropTargetsPassTheCallsOnAndCountReferences) {
  Recorder rec;
  auto* t = new TDropTarget_shlv(&rec);
  EXPECT_EQ(t->RefCount(), 0);
  IDropTarget* target = nullptr;
  ASSERT_EQ(t->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target)), S_OK);
  EXPECT_EQ(t->RefCount(), 1);
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(nullptr, MK_LBUTTON, {7, 8}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_LINK);
  EXPECT_EQ(target->DragOver(0, {1, 1}, &effect), E_UNEXPECTED);
  EXPECT_EQ(target->DragLeave(), S_OK);
  EXPECT_EQ(target->Drop(nullptr, 0, {1, 1}, &effect), S_FALSE);
  EXPECT_EQ(rec.Calls, "enter(1,7)overleavedrop");
  target->AddRef();
  EXPECT_EQ(target->Release(), 1u);
  EXPECT_EQ(target->Release(), 0u);  // freed
}

}  // namespace
