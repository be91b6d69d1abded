// Shell control helpers and the shell locator's stored form.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/forms/ForegroundWindow.h"
#include "platform/forms/SystemMetrics.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/shell/ItemIdList.h"
#include "platform/shell/Menus.h"
#include "platform/shell/Ole.h"
#include "platform/system/Files.h"
#include "shellcontrols/UScShellControls.h"
#include "support/TempMachine.h"

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
  // A malformed list changes nothing.
  auto* bad = static_cast<unsigned char*>(CoTaskMemAlloc(4));
  const unsigned char bytes[] = {0xFF, 0xFF, 0, 0};
  std::memcpy(bad, bytes, 4);
  b.SetSpecialFolder(0x11);
  b.SetPidl(reinterpret_cast<LPCITEMIDLIST>(bad));
  EXPECT_EQ(b.Kind(), 1);
  CoTaskMemFree(bad);
}

namespace {
// A 32-bit memory device context of w x h pixels.
struct Canvas {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  HGDIOBJ old;
  Canvas(int w, int h)
      : bitmap(CreateBitmap(w, h, 1, 32, nullptr)), old(SelectObject(dc, bitmap)) {}
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  int Count(int x0, int y0, int x1, int y1, COLORREF c) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += GetPixel(dc, x, y) == c;
    return n;
  }
};
}  // namespace

// The fallback Send To entries are measured and drawn in the system menu font, with the
// entry's icon at 8 pixels and its name at 32.
TEST(SendToMenu, EntriesAreMeasuredAndDrawnWithTheMenuFontAndIcon) {
  TempMachine pc{{}, &CreateMachine};
  std::string sendTo = GetSpecialFolderPath(nullptr, CSIDL_SENDTO);
  ASSERT_FALSE(sendTo.empty());
  WriteWholeFile(sendTo + "\\Dossier partagé.txt", "x");
  HMENU popup = CreatePopupMenu();
  AppendMenu(popup, MF_STRING | MF_GRAYED, 0, "(vide)");
  TMessage init{WM_INITMENUPOPUP, WPARAM(popup), 0, 0};
  InitSendToMenu(nullptr, init);
  ASSERT_EQ(GetMenuItemCount(popup), 1);
  ASSERT_NE(SendToList(), nullptr);
  EXPECT_EQ(SendToList()->Strings(0), "Dossier partagé.txt");

  // Width: the name without extension in the menu font, plus 32; height: the menu's + 2.
  NONCLIENTMETRICS metrics;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  HDC screen = CreateScreenDC();
  HFONT font = CreateFontIndirect(&metrics.lfMenuFont);
  SelectObject(screen, font);
  SIZE name{};
  GetTextExtentPoint32(screen, std::string("Dossier partagé"), &name);
  DeleteDC(screen);
  DeleteObject(font);
  MEASUREITEMSTRUCT mis;
  mis.CtlType = ODT_MENU;
  mis.itemID = 1;
  mis.itemData = 0;
  TMessage measure{WM_MEASUREITEM, 0, LPARAM(&mis), 0};
  MeasureSendToItem(nullptr, measure);
  EXPECT_EQ(measure.Result, 1);
  EXPECT_EQ(int(mis.itemWidth), name.cx + 32);
  EXPECT_EQ(int(mis.itemHeight), GetSystemMetrics(SM_CYMENU) + 2);

  auto draw = [](Canvas& c, UINT itemID, UINT state) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_MENU;
    dis.itemID = itemID;
    dis.itemState = state;
    dis.hDC = c.dc;
    dis.rcItem = {0, 0, 200, 21};
    dis.itemData = 0;
    TMessage m{WM_DRAWITEM, 0, LPARAM(&dis), 0};
    DrawSendToItem(nullptr, m);
    return m.Result;
  };
  const COLORREF menu = GetSysColor(COLOR_MENU), text = GetSysColor(COLOR_MENUTEXT);
  const COLORREF high = GetSysColor(COLOR_HIGHLIGHT), highText = GetSysColor(COLOR_HIGHLIGHTTEXT);
  Canvas plain(200, 21);
  EXPECT_EQ(draw(plain, 1, 0), 1);
  EXPECT_EQ(plain.Count(0, 0, 8, 21, menu), 8 * 21);          // the margin
  EXPECT_LT(plain.Count(8, 2, 24, 18, menu), 16 * 16);        // the icon
  EXPECT_GT(plain.Count(32, 0, 32 + name.cx, 21, text), 20);  // the name
  EXPECT_EQ(plain.Count(32 + name.cx + 2, 0, 200, 21, menu), (200 - 32 - name.cx - 2) * 21);
  Canvas selected(200, 21);
  draw(selected, 1, ODS_SELECTED);
  EXPECT_EQ(selected.Count(0, 0, 8, 21, high), 8 * 21);
  EXPECT_GT(selected.Count(32, 0, 32 + name.cx, 21, highText), 20);
  Canvas invalid(200, 21);
  draw(invalid, UINT(-1), ODS_SELECTED);  // no item: the rectangle is only filled
  EXPECT_EQ(invalid.Count(0, 0, 200, 21, menu), 200 * 21);

  // A typed letter runs the one entry it begins; a letter that begins none answers 1.
  auto menuChar = [&](char ch) {
    TMessage m{WM_MENUCHAR, MAKEWPARAM(WORD(ch), WORD(MF_POPUP)), LPARAM(popup), 0};
    SendToMenuChar(nullptr, m);
    return m.Result;
  };
  EXPECT_EQ(menuChar('d'), LRESULT(MNC_EXECUTE) << 16);
  EXPECT_EQ(menuChar('z'), 1);
  DestroyMenu(popup);
}

// A dragged "Shell IDList Array" whose offsets or lists run past its block is not read
// past it: the block counts as unreadable, so every effect stays allowed.
TEST(GlobalBlocks, ADamagedIdListArrayIsNotReadPastItsBlock) {
  TempMachine pc{{}, &CreateMachine};
  StartShellControlsUnit();
  auto offer = [](std::vector<unsigned char> bytes) {
    ComPtr<IDataObject> data;
    EXPECT_EQ(CreateDataObject(data.put()), S_OK);
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    FORMATETC fe;
    fe.cfFormat = CLIPFORMAT(ShellIdListFormat);
    STGMEDIUM medium;
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = h;
    EXPECT_EQ(data->SetData(&fe, &medium, TRUE), S_OK);
    return data;
  };
  const std::vector<std::vector<unsigned char>> damaged = {
      {1, 0, 0, 0},                                   // no room for the offsets
      {1, 0, 0, 0, 12, 0, 0, 0, 200, 0, 0, 0, 0, 0},  // a child offset past the block
      {0, 0, 0, 0, 8, 0, 0, 0, 0xFF, 0xFF},           // a parent claiming 0xFFFF bytes
      {0xFF, 0xFF, 0xFF, 0x7F, 8, 0, 0, 0, 0, 0},     // a count past the block
  };
  for (const auto& bytes : damaged) {
    ComPtr<IDataObject> data = offer(bytes);
    EXPECT_EQ(GetPreferredDropEffect(data.get()), DWORD(7));
  }
  StopShellControlsUnit();
}
