// The shell's objects acting on the machine: context-menu verbs and the clipboard, drag
// and drop into a folder, shortcut files, change notifications, and the data layouts.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/forms/UiScript.h"
#include "platform/shell/ChangeNotify.h"
#include "platform/shell/ContextMenu.h"
#include "platform/shell/DragDrop.h"
#include "platform/shell/ShellFolder.h"
#include "platform/shell/ShellLink.h"
#include "platform/system/Files.h"
#include "support/TempMachine.h"

using namespace win;

namespace {

bool Exists(const std::string& p) { return GetFileAttributes(p) != INVALID_FILE_ATTRIBUTES; }

// The context menu of some items of one folder, or of the folder's background.
ComPtr<IContextMenu> MenuOf(const std::string& folder, const std::vector<std::string>& names) {
  ComPtr<IShellFolder> desktop, f;
  SHGetDesktopFolder(desktop.put());
  LPITEMIDLIST dir = nullptr;
  EXPECT_EQ(SHParseDisplayName(folder, &dir, 0, nullptr), S_OK);
  desktop->BindToObject(dir, nullptr, IID_IShellFolder, f.put_void());
  ILFree(dir);
  ComPtr<IContextMenu> menu;
  if (names.empty()) {
    EXPECT_EQ(f->CreateViewObject(nullptr, IID_IContextMenu, menu.put_void()), S_OK);
    return menu;
  }
  std::vector<LPITEMIDLIST> ids;
  for (const auto& n : names) {
    LPITEMIDLIST id = nullptr;
    std::u16string w = ToWide(n);
    EXPECT_EQ(f->ParseDisplayName(nullptr, nullptr, w.c_str(), nullptr, &id, nullptr), S_OK);
    ids.push_back(id);
  }
  std::vector<LPCITEMIDLIST> c(ids.begin(), ids.end());
  EXPECT_EQ(f->GetUIObjectOf(nullptr, UINT(c.size()), c.data(), IID_IContextMenu, nullptr,
                             menu.put_void()),
            S_OK);
  for (auto id : ids) ILFree(id);
  return menu;
}

HRESULT Invoke(IContextMenu* menu, const char* verb) {
  CMINVOKECOMMANDINFO info;
  info.lpVerb = verb;
  return menu->InvokeCommand(&info);
}

class ShellObjects : public ::testing::Test {
 protected:
  void SetUp() override {
    UiScript::Reset();
    CreateDirectory("C:\\Src");
    CreateDirectory("C:\\Src\\Inner");
    WriteWholeFile("C:\\Src\\Inner\\deep.txt", "deep");
    WriteWholeFile("C:\\Src\\a.txt", "a");
    CreateDirectory("C:\\Dst");
  }
  void TearDown() override { OleSetClipboard(nullptr); }
  TempMachine pc;
};

TEST_F(ShellObjects, MenuHasTheShellsOffsetsAndVerbs) {
  auto menu = MenuOf("C:\\Src", {"a.txt"});
  HMENU popup = CreatePopupMenu();
  HRESULT hr = menu->QueryContextMenu(popup, 0, 1000, 0x7FFF, CMF_EXPLORE | CMF_CANRENAME);
  EXPECT_EQ(HRESULT_CODE(hr), SHCMD_COPY + 1);  // the largest offset used, plus one
  EXPECT_EQ(GetMenuDefaultItem(popup, FALSE, 0), 1000u);
  EXPECT_EQ(FindMenuCommand(popup, "Renommer"), 1018u);
  char verb[64];
  ASSERT_EQ(menu->GetCommandString(18, GCS_VERBA, nullptr, verb, sizeof verb), S_OK);
  EXPECT_STREQ(verb, "rename");
  EXPECT_EQ(menu->GetCommandString(26, GCS_VERBA, nullptr, verb, sizeof verb),
            E_INVALIDARG);  // no paste on a file
  // Without CMF_CANRENAME there is no rename item; the Send To placeholder is grayed.
  HMENU plain = CreatePopupMenu();
  menu->QueryContextMenu(plain, 0, 1000, 0x7FFF, CMF_EXPLORE);
  EXPECT_EQ(FindMenuCommand(plain, "Renommer"), 0u);
  bool placeholder = false;
  for (int i = 0; i < GetMenuItemCount(plain); ++i)
    if (HMENU sub = GetSubMenu(plain, i))
      placeholder = GetMenuItemCount(sub) == 1 && (GetMenuState(sub, 0, MF_BYPOSITION) & MF_GRAYED);
  EXPECT_TRUE(placeholder);
  DestroyMenu(popup);
  DestroyMenu(plain);
  EXPECT_EQ(Invoke(menu.get(), "nonsense"), E_INVALIDARG);
}

TEST_F(ShellObjects, CopyPasteCutPasteAndDelete) {
  ASSERT_EQ(Invoke(MenuOf("C:\\", {"Src"}).get(), "copy"), S_OK);
  ASSERT_EQ(Invoke(MenuOf("C:\\", {"Dst"}).get(), "paste"), S_OK);
  EXPECT_TRUE(Exists("C:\\Dst\\Src\\Inner\\deep.txt"));
  EXPECT_TRUE(Exists("C:\\Src\\a.txt"));
  // Pasting into the same folder names the copy.
  ASSERT_EQ(Invoke(MenuOf("C:\\", {}).get(), "paste"), S_OK);
  EXPECT_TRUE(Exists("C:\\Copie de Src\\a.txt"));

  ASSERT_EQ(Invoke(MenuOf("C:\\Src", {"a.txt"}).get(), "cut"), S_OK);
  ASSERT_EQ(Invoke(MenuOf("C:\\Dst", {}).get(), "paste"), S_OK);
  EXPECT_TRUE(Exists("C:\\Dst\\a.txt"));
  EXPECT_FALSE(Exists("C:\\Src\\a.txt"));
  ComPtr<IDataObject> clip;
  EXPECT_EQ(OleGetClipboard(clip.put()), E_FAIL);  // a moved item is not pasted twice

  UiScript::Expect("confirmation", "le dossier 'Src' et tout son contenu", "yes");
  ASSERT_EQ(Invoke(MenuOf("C:\\", {"Src"}).get(), "delete"), S_OK);
  EXPECT_FALSE(Exists("C:\\Src"));
  ASSERT_EQ(Invoke(MenuOf("C:\\Dst", {}).get(), "newfolder"), S_OK);
  ASSERT_EQ(Invoke(MenuOf("C:\\Dst", {}).get(), "newfolder"), S_OK);
  EXPECT_TRUE(Exists("C:\\Dst\\Nouveau dossier (2)"));
  bool journaled = false;
  for (const auto& e : pc.machine().ReadJournal())
    journaled = journaled || (e.kind == "shell" && e.text.find("deleted C:\\Src") == 0);
  EXPECT_TRUE(journaled);
}

// A drop source that follows the key state: drop when the left button is up.
class Source final : public IDropSource {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT GiveFeedback(DWORD effect) override {
    feedback.push_back(effect);
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }
  std::vector<DWORD> feedback;
};

TEST_F(ShellObjects, DragIntoARegisteredFolderTarget) {
  ComPtr<IShellFolder> desktop, root;
  SHGetDesktopFolder(desktop.put());
  LPITEMIDLIST src = nullptr, c = nullptr;
  SHParseDisplayName("C:\\Src", &src, 0, nullptr);
  SHParseDisplayName("C:\\", &c, 0, nullptr);
  desktop->BindToObject(c, nullptr, IID_IShellFolder, root.put_void());
  LPCITEMIDLIST last = ILFindLastID(src);
  ComPtr<IDataObject> data;
  ASSERT_EQ(root->GetUIObjectOf(nullptr, 1, &last, IID_IDataObject, nullptr, data.put_void()),
            S_OK);
  LPITEMIDLIST dst = nullptr;
  SHParseDisplayName("C:\\Dst", &dst, 0, nullptr);
  LPCITEMIDLIST dstLast = ILFindLastID(dst);
  ComPtr<IDropTarget> target;
  ASSERT_EQ(root->GetUIObjectOf(nullptr, 1, &dstLast, IID_IDropTarget, nullptr, target.put_void()),
            S_OK);

  HWND window = reinterpret_cast<HWND>(0x1234);
  ASSERT_EQ(RegisterDragDrop(window, target.get()), S_OK);
  EXPECT_EQ(RegisterDragDrop(window, target.get()), DRAGDROP_E_ALREADYREGISTERED);
  Source source;
  DWORD effect = 0;
  // Escape cancels and nothing moves.
  QueueDragStep({window, {5, 5}, MK_LBUTTON, false});
  QueueDragStep({window, {6, 6}, MK_LBUTTON, true});
  EXPECT_EQ(DoDragDrop(data.get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect),
            DRAGDROP_S_CANCEL);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_TRUE(Exists("C:\\Src\\a.txt"));
  // Over the folder with Ctrl, then the button is released: a copy.
  source.feedback.clear();
  QueueDragStep({nullptr, {0, 0}, MK_LBUTTON, false});
  QueueDragStep({window, {5, 5}, MK_LBUTTON | MK_CONTROL, false});
  QueueDragStep({window, {5, 5}, MK_CONTROL, false});
  EXPECT_EQ(DoDragDrop(data.get(), &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect),
            DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(source.feedback.front(), DROPEFFECT_NONE);  // over no target first
  EXPECT_TRUE(Exists("C:\\Dst\\Src\\a.txt"));
  EXPECT_TRUE(Exists("C:\\Src\\a.txt"));
  // A folder cannot be dropped into itself.
  ComPtr<IDropTarget> self;
  ASSERT_EQ(root->GetUIObjectOf(nullptr, 1, &last, IID_IDropTarget, nullptr, self.put_void()),
            S_OK);
  DWORD e = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  self->DragEnter(data.get(), MK_LBUTTON, {0, 0}, &e);
  EXPECT_EQ(e, DROPEFFECT_NONE);
  self->DragLeave();
  EXPECT_EQ(RevokeDragDrop(window), S_OK);
  EXPECT_EQ(RevokeDragDrop(window), DRAGDROP_E_NOTREGISTERED);
  for (auto p : {src, c, dst}) ILFree(p);
}

TEST_F(ShellObjects, DataLayoutsRoundTripAndRejectDamage) {
  HGLOBAL drop = MakeHDrop({"C:\\a b.txt", "C:\\Src"});
  EXPECT_EQ(DragQueryFile(drop, 0xFFFFFFFF, nullptr, 0), 2u);
  char name[8];
  EXPECT_EQ(DragQueryFile(drop, 0, name, sizeof name), 7u);  // cut to the buffer
  EXPECT_STREQ(name, "C:\\a b.");
  // An unterminated block gives nothing rather than a read past its end.
  std::size_t size = GlobalSize(drop);
  std::memset(static_cast<char*>(GlobalLock(drop)) + 20, 'x', size - 20);
  EXPECT_TRUE(ReadHDrop(drop).empty());
  GlobalFree(drop);

  LPITEMIDLIST parent = nullptr, child = nullptr;
  SHParseDisplayName("C:\\Src", &parent, 0, nullptr);
  child = pidl::Make({pidl::FileItemBytes({false, 0, 1, {}, {}, "a.txt", ""})});
  HGLOBAL ids = MakeIdListArray(parent, {child});
  std::vector<std::string> lists;
  ASSERT_TRUE(ReadIdListArray(ids, &lists));
  ASSERT_EQ(lists.size(), 1u);
  LPITEMIDLIST abs = pidl::Make({lists[0]});
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetPathFromIDList(abs, path));
  EXPECT_STREQ(path, "C:\\Src\\a.txt");
  ILFree(abs);
  UINT badOffset = 5000;
  std::memcpy(static_cast<char*>(GlobalLock(ids)) + 8, &badOffset, 4);
  EXPECT_FALSE(ReadIdListArray(ids, &lists));
  GlobalFree(ids);
  HGLOBAL empty = MakeIdListArray(nullptr, {});
  EXPECT_EQ(GlobalSize(empty), 10u);  // count, one offset, the empty parent
  GlobalFree(empty);
  EXPECT_EQ(GlobalFree(reinterpret_cast<HGLOBAL>(0x999)), reinterpret_cast<HGLOBAL>(0x999));
  ILFree(parent);
  ILFree(child);
  EXPECT_EQ(RegisterClipboardFormat("shell idlist array"),
            RegisterClipboardFormat(CFSTR_SHELLIDLIST));
}

TEST_F(ShellObjects, ShortcutsSaveLoadAndResolve) {
  ComPtr<IShellLinkA> link;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             link.put_void()),
            S_OK);
  link->SetPath("C:\\Src");
  link->SetArguments("/x");
  link->SetDescription("Sources");
  link->SetShowCmd(3);
  ComPtr<IPersistFile> file;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, file.put_void()), S_OK);
  ASSERT_EQ(file->Save(u"C:\\Dst\\src.lnk", TRUE), S_OK);

  ComPtr<IShellLinkA> back;
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                   back.put_void());
  ComPtr<IPersistFile> backFile;
  back->QueryInterface(IID_IPersistFile, backFile.put_void());
  ASSERT_EQ(backFile->Load(u"C:\\Dst\\src.lnk", STGM_READ), S_OK);
  EXPECT_EQ(back->Resolve(nullptr, 0), S_OK);
  char buf[MAX_PATH];
  WIN32_FIND_DATA fd;
  ASSERT_EQ(back->GetPath(buf, sizeof buf, &fd, 0), S_OK);
  EXPECT_STREQ(buf, "C:\\Src");
  EXPECT_TRUE(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  int show = 0;
  back->GetShowCmd(&show);
  EXPECT_EQ(show, 3);
  back->GetArguments(buf, 3);
  EXPECT_STREQ(buf, "/x");
  RemoveDirectory("C:\\Src\\Inner");
  EXPECT_EQ(backFile->Load(u"C:\\Dst\\missing.lnk", 0), STG_E_FILENOTFOUND);
  WriteWholeFile("C:\\Dst\\bad.lnk", "garbage");
  EXPECT_EQ(backFile->Load(u"C:\\Dst\\bad.lnk", 0), STG_E_INVALIDHEADER);
  ComPtr<IUnknown> none;
  EXPECT_EQ(CoCreateInstance(CLSID_MyComputer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             none.put_void()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(ShellObjects, FolderChangesSignalWaitsAndShellNotificationsArePosted) {
  HANDLE change = FindFirstChangeNotification(
      "C:\\Dst", FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  HANDLE both[] = {event, change};
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_TIMEOUT);
  SetEvent(event);
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);  // auto-reset by the wait
  WriteWholeFile("C:\\Dst\\new.txt", "n");
  EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 2000), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_OBJECT_0);  // stays signalled until re-armed
  ASSERT_TRUE(FindNextChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_TIMEOUT);
  EXPECT_TRUE(FindCloseChangeNotification(change));
  EXPECT_EQ(WaitForSingleObject(change, 0), WAIT_FAILED);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_EQ(FindFirstChangeNotification("C:\\Nope", FALSE, 1), INVALID_HANDLE_VALUE);

  std::vector<MSG> got;
  HWND hwnd = CreateWindowHandle([&](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    got.push_back({h, m, w, l});
    return 0;
  });
  LPITEMIDLIST dst = nullptr;
  SHParseDisplayName("C:\\Dst", &dst, 0, nullptr);
  SHChangeNotifyEntry entry{dst, FALSE};
  ULONG id =
      SHChangeNotifyRegister(hwnd, SHCNRF_ShellLevel, SHCNE_ALLEVENTS, WM_USER + 5, 1, &entry);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(Invoke(MenuOf("C:\\Src", {"a.txt"}).get(), "copy"), S_OK);
  ASSERT_EQ(Invoke(MenuOf("C:\\Dst", {}).get(), "paste"), S_OK);
  SHChangeNotify(SHCNE_CREATE, SHCNF_PATH, "C:\\Src\\elsewhere.txt", nullptr);  // not covered
  MSG msg;
  while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].lParam, SHCNE_CREATE);
  auto lists = reinterpret_cast<LPITEMIDLIST*>(got[0].wParam);
  char path[MAX_PATH];
  ASSERT_TRUE(SHGetPathFromIDList(lists[0], path));
  EXPECT_STREQ(path, "C:\\Dst\\a.txt");
  EXPECT_TRUE(SHChangeNotifyDeregister(id));
  EXPECT_FALSE(SHChangeNotifyDeregister(id));
  DestroyWindow(hwnd);
  ILFree(dst);
}

}  // namespace
