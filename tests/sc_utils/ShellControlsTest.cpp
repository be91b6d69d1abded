// Shell control helpers and the shell locator's stored form.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/shell/ItemIdList.h"
#include "platform/shell/Ole.h"
#include "shellcontrols/UScShellControls.h"

using namespace win;

TEST(ShortCuts, TextsBothWays) {
  EXPECT_EQ(TextToShortCut("ctrl+f5"), TShortCut(scCtrl | 116));
  EXPECT_EQ(TextToShortCut("CTRL+F5"), TShortCut(scCtrl | 116));
  EXPECT_EQ(TextToShortCut("^C"), TShortCut(scCtrl | 'C'));
  EXPECT_EQ(TextToShortCut("Shift+"), 0);
  EXPECT_EQ(TextToShortCut("Shift+Ctrl+Alt+Del"), TShortCut(scShift | scCtrl | scAlt | 46));
  EXPECT_EQ(ShortCutToText(101), "5");  // numeric keypad 5
  EXPECT_EQ(ShortCutToText(124), "F13");
  EXPECT_EQ(ShortCutToText(TShortCut(scCtrl | 0xE0)), "Ctrl+#" + std::to_string(scCtrl | 0xE0));
  InitShellControlDefKeys();
  EXPECT_TRUE(ShellControlDefKeysParsed());
  EXPECT_EQ(ShellControlDefKeys[sckSelectAll].ShortCut, TShortCut(scCtrl | 'A'));
  EXPECT_EQ(ShellControlDefKeys[sckDelete].ShortCut, 46);
  EXPECT_EQ(ShellControlDefKeys[sckRename].ShortCut, 113);
}

TEST(GlobalBlocks, HDropAndIdListArrayLayouts) {
  HGLOBAL h = nullptr;
  ASSERT_EQ(BuildHDropGlobal({"C:\\a.txt", "C:\\b"}, &h), S_OK);
  EXPECT_EQ(GlobalSize(h), 260u * 2 + 21);
  EXPECT_EQ(ReadHDrop(h), (std::vector<std::string>{"C:\\a.txt", "C:\\b"}));
  HGLOBAL copy = DuplicateGlobal(h);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(GlobalSize(copy), GlobalSize(h));
  GlobalFree(copy);
  GlobalFree(h);

  LPITEMIDLIST parent = pidl::Make({pidl::DriveItem('C')});
  ASSERT_EQ(BuildIdListArrayGlobal(parent, {}, &h), S_OK);
  EXPECT_EQ(GlobalSize(h), 8u + PidlSize(parent));  // no child
  GlobalFree(h);
  LPITEMIDLIST child = pidl::Make({pidl::DriveItem('D')});
  ASSERT_EQ(BuildIdListArrayGlobal(nullptr, {child, child}, &h), S_OK);
  auto* p = static_cast<BYTE*>(GlobalLock(h));
  UINT cidl, off0, off1, off2;
  std::memcpy(&cidl, p, 4);
  std::memcpy(&off0, p + 4, 4);
  std::memcpy(&off1, p + 8, 4);
  std::memcpy(&off2, p + 12, 4);
  EXPECT_EQ(cidl, 2u);
  EXPECT_EQ(off0, 16u);
  EXPECT_EQ(off1, 18u);  // the missing parent is the empty list
  EXPECT_EQ(off2, 18u + PidlSize(child));
  GlobalUnlock(h);
  GlobalFree(h);
  ShellFree(parent);
  ShellFree(child);
}

TEST(DropSource, ButtonsDecideTheDrag) {
  auto* left = new TDropSource_shlvtv(0);
  left->AddRef();
  EXPECT_EQ(left->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
  EXPECT_EQ(left->QueryContinueDrag(FALSE, MK_LBUTTON | MK_RBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(left->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
  EXPECT_EQ(left->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
  EXPECT_EQ(left->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
  EXPECT_EQ(TDropSource_shlvtv(7).ButtonMask(), 0u);
  left->Release();
}

TEST(FormatEtc, QueryAndEnumerate) {
  TScFormatEtcList list;
  list.Add({CF_HDROP, CF_TEXT});
  FORMATETC fe;
  fe.cfFormat = CF_HDROP;
  EXPECT_EQ(list.QueryGetData(&fe), S_OK);
  fe.tymed = TYMED_FILE;
  EXPECT_EQ(list.QueryGetData(&fe), DV_E_TYMED);
  fe.cfFormat = CF_BITMAP;
  EXPECT_EQ(list.QueryGetData(&fe), DV_E_FORMATETC);
  fe.cfFormat = CF_HDROP;
  fe.tymed = TYMED_HGLOBAL;
  fe.dwAspect = DVASPECT_ICON;
  EXPECT_EQ(list.QueryGetData(&fe), DV_E_FORMATETC);

  IEnumFORMATETC* e = list.CreateEnumerator();
  e->AddRef();
  FORMATETC out[3];
  ULONG got = 0;
  EXPECT_EQ(e->Next(1, out, &got), S_OK);
  EXPECT_EQ(out[0].cfFormat, CF_HDROP);
  IEnumFORMATETC* clone = nullptr;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(e->Next(3, out, &got), S_FALSE);
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(clone->Next(1, out, nullptr), S_OK);
  EXPECT_EQ(out[0].cfFormat, CF_TEXT);
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(3), S_FALSE);
  EXPECT_EQ(e->Next(1, out, &got), S_FALSE);
  clone->Release();
  e->Release();
}

TEST(ColumnTexts, SizeInKilobytesRoundedUp) {
  EXPECT_EQ(FormatFileSizeKB(0), "0 Ko");
  EXPECT_EQ(FormatFileSizeKB(1), "1 Ko");
  EXPECT_EQ(FormatFileSizeKB(1024), "1 Ko");
  EXPECT_EQ(FormatFileSizeKB(1025), "2 Ko");
  EXPECT_EQ(FormatFileSizeKB(5LL * 1024 * 1024 * 1024), "5 242 880 Ko");
  EXPECT_TRUE(IsNotDriveRoot("C:\\a"));
  EXPECT_FALSE(IsNotDriveRoot("C:\\"));
}

TEST(Locator, StoredPidlBytes) {
  TScShellLocator loc;
  EXPECT_FALSE(loc.HasPidlData());  // the desktop by list: nothing stored
  loc.ReadPidl(std::string("\x00\x00\x00\x00\x00", 5));
  EXPECT_EQ(loc.Kind(), 1);
  EXPECT_EQ(loc.SpecialFolder(), 0);
  std::string out;
  loc.WritePidl(out);
  EXPECT_EQ(out, std::string("\x01\x00", 2));
  loc.ReadPidl(std::string("\x05\x11", 2));
  EXPECT_EQ(loc.Kind(), 1);
  EXPECT_EQ(loc.SpecialFolder(), 0x11);
  loc.WritePidl(out);
  EXPECT_EQ(out, std::string("\x01\x11", 2));

  LPITEMIDLIST c = pidl::Make({pidl::DriveItem('C')});
  TScShellLocator byList;
  byList.SetPidl(c);
  byList.WritePidl(out);
  ASSERT_EQ(out.size(), 5u + PidlSize(c));
  TScShellLocator back;
  back.ReadPidl(out);
  EXPECT_EQ(back.Kind(), 0);
  EXPECT_EQ(std::memcmp(back.Pidl(), c, PidlSize(c)), 0);
  // A length running past the data, or items past the length, are read errors.
  EXPECT_THROW(back.ReadPidl(std::string("\x00\x09\x00\x00\x00\x01", 6)), Exception);
  EXPECT_THROW(back.ReadPidl(std::string("\x00\x04\x00\x00\x00\x09\x00\x00\x00", 9)), Exception);
  ShellFree(c);
}

TEST(Locator, ChangeNotices) {
  int changes = 0;
  TScShellLocator a, b;
  a.OnChange = [&](TObject*) { ++changes; };
  a.SetPidl(nullptr);
  EXPECT_EQ(changes, 0);
  a.SetSpecialFolder(0x11);
  EXPECT_EQ(changes, 1);
  b.SetSpecialFolder(0x11);
  a.Assign(&b);  // same id: nothing
  EXPECT_EQ(changes, 1);
  b.SetSpecialFolder(0x05);
  a.Assign(&b);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(a.SpecialFolder(), 0x05);
  a.SetPidl(nullptr);  // kind 1 -> desktop by list
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(a.Kind(), 0);
}
