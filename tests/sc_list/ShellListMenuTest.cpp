// The context menu's window: how it draws (headless), and under Xvfb a person right-clicking
// a file of a shell list and choosing from the menu with the pointer and the keyboard.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/graphics/Graphics.h"
#include "platform/shell/PopupMenuWindow.h"
#include "platform/system/MachineSetup.h"
#include "shellcontrols/UScShellList.h"
#include "support/TempMachine.h"
#include "support/TestFiles.h"
#include "tests/sc_list/ShowFolder.h"
#include "tests/support/XSession.h"

using namespace win;

namespace {

// Pixels of a colour in a row band of the surface, between x0 and x1.
int Count(const Surface& s, int top, int bottom, int x0, int x1, COLORREF c) {
  int n = 0;
  std::uint32_t want = PixelFromColor(c) & 0xFFFFFF;
  for (int y = std::max(0, top); y < std::min(bottom, s.height); ++y)
    for (int x = std::max(0, x0); x < std::min(x1, s.width); ++x)
      n += (s.Row(y)[x] & 0xFFFFFF) == want;
  return n;
}

// An owner window that measures and draws owner-drawn items, remembering what it was asked.
struct Owner {
  Owner() {
    hwnd = CreateWindowHandle([this](HWND, UINT m, WPARAM, LPARAM l) -> LRESULT {
      if (m == WM_MEASUREITEM) {
        auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
        measured.push_back(mis->itemData);
        mis->itemWidth = 120;
        mis->itemHeight = 22;
        return 1;
      }
      if (m == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        drawn.push_back(*dis);
        HBRUSH b = CreateSolidBrush(kInk);
        FillRect(dis->hDC, &dis->rcItem, b);
        DeleteObject(b);
        return 1;
      }
      return 0;
    });
  }
  ~Owner() { DestroyWindow(hwnd); }
  static constexpr COLORREF kInk = RGB(0, 200, 50);
  HWND hwnd = nullptr;
  std::vector<std::uintptr_t> measured;
  std::vector<DRAWITEMSTRUCT> drawn;
};

class MenuDrawing : public ::testing::Test {
 protected:
  TempMachine pc{MachineSettings{}, &CreateMachine};
  void SetUp() override {
    setenv("WI_HEADLESS", "1", 1);
    Application->Reset();
  }
  void TearDown() override { Application->Reset(); }
};

TEST_F(MenuDrawing, SeparatorsGreyBoldArrowsAndOwnerDrawnItems) {
  HMENU sub = CreatePopupMenu();
  AppendMenu(sub, MF_STRING, 9, "Dedans");
  HMENU menu = CreatePopupMenu();
  AppendMenu(menu, MF_STRING, 1, "&Ouvrir");                   // 0: default, bold
  AppendMenu(menu, MF_SEPARATOR, 0, nullptr);                  // 1
  AppendMenu(menu, MF_STRING | MF_GRAYED, 2, "&Ouvrir");       // 2: the same text, greyed
  AppendMenu(menu, MF_STRING, 3, "&Ouvrir");                   // 3: the same text, plain
  AppendMenu(menu, MF_POPUP, UINT_PTR(sub), "Envo&yer vers");  // 4
  AppendMenu(menu, MF_OWNERDRAW, 5, reinterpret_cast<const char*>(std::uintptr_t(77)));  // 5
  SetMenuDefaultItem(menu, 0, TRUE);
  Owner owner;
  TPopupMenuWindow w(nullptr, menu, owner.hwnd);
  w.Measure();
  ASSERT_EQ(owner.measured, std::vector<std::uintptr_t>{77});
  EXPECT_EQ(w.ItemRect(5).bottom - w.ItemRect(5).top, 22);
  EXPECT_GE(w.Width(), 120 + 6);

  // The keyboard's path skips the separator and the greyed item, wrapping round.
  EXPECT_EQ(w.NextSelectable(-1, 1), 0);
  EXPECT_EQ(w.NextSelectable(0, 1), 3);
  EXPECT_EQ(w.NextSelectable(0, -1), 5);
  EXPECT_EQ(w.ItemWithLetter('y'), 4);
  EXPECT_EQ(w.ItemWithLetter('o'), 0);  // the first enabled one; the greyed one never
  RECT r3 = w.ItemRect(3);
  EXPECT_EQ(w.ItemAt(POINT{r3.left + 5, r3.top + 2}), 3);
  EXPECT_EQ(w.ItemAt(POINT{1, r3.top + 2}), -1);  // the border

  w.SetHot(5);
  Surface s;
  w.PaintTo(s);
  ASSERT_EQ(s.width, w.Width());
  ASSERT_EQ(s.height, w.Height());
  // Raised border: light top-left, dark bottom-right.
  EXPECT_NE(s.Row(s.height / 2)[0] & 0xFFFFFF, s.Row(s.height / 2)[s.width - 1] & 0xFFFFFF);
  // The separator: a shadow line over a highlight line across the item.
  RECT sep = w.ItemRect(1);
  int width = sep.right - sep.left;
  EXPECT_GE(Count(s, sep.top, sep.bottom, sep.left, sep.right, GetSysColor(COLOR_BTNSHADOW)),
            width - 2);
  EXPECT_GE(Count(s, sep.top, sep.bottom, sep.left, sep.right, GetSysColor(COLOR_BTNHIGHLIGHT)),
            width - 2);
  // Greyed text: grey ink, none of the normal text colour; the plain one the other way round.
  RECT r2 = w.ItemRect(2);
  EXPECT_GT(Count(s, r2.top, r2.bottom, r2.left, r2.right, GetSysColor(COLOR_GRAYTEXT)), 10);
  EXPECT_EQ(Count(s, r2.top, r2.bottom, r2.left, r2.right, GetSysColor(COLOR_MENUTEXT)), 0);
  int plain = Count(s, r3.top, r3.bottom, r3.left, r3.right, GetSysColor(COLOR_MENUTEXT));
  EXPECT_GT(plain, 10);
  // The default item in bold: more ink for the same text.
  RECT r0 = w.ItemRect(0);
  EXPECT_GT(Count(s, r0.top, r0.bottom, r0.left, r0.right, GetSysColor(COLOR_MENUTEXT)), plain);
  // The sub-menu's arrow at the right end.
  RECT r4 = w.ItemRect(4);
  EXPECT_GE(Count(s, r4.top, r4.bottom, r4.right - 17, r4.right, GetSysColor(COLOR_MENUTEXT)), 10);
  EXPECT_EQ(Count(s, r3.top, r3.bottom, r3.right - 17, r3.right, GetSysColor(COLOR_MENUTEXT)), 0);
  // The owner drew its item, told it is the highlighted one, in its own rectangle.
  ASSERT_EQ(owner.drawn.size(), 1u);
  EXPECT_EQ(owner.drawn[0].CtlType, ODT_MENU);
  EXPECT_EQ(owner.drawn[0].itemID, 5u);
  EXPECT_EQ(owner.drawn[0].itemData, 77u);
  EXPECT_TRUE(owner.drawn[0].itemState & ODS_SELECTED);
  RECT r5 = w.ItemRect(5);
  EXPECT_EQ(Count(s, r5.top, r5.bottom, r5.left, r5.right, Owner::kInk),
            (r5.right - r5.left) * (r5.bottom - r5.top));
  EXPECT_TRUE(GetMenuState(menu, 5, MF_BYPOSITION) & MF_HILITE);

  // The highlight moved to a text item: selection colours, and the owner's item plain again.
  w.SetHot(3);
  EXPECT_FALSE(GetMenuState(menu, 5, MF_BYPOSITION) & MF_HILITE);
  w.PaintTo(s);
  EXPECT_GT(Count(s, r3.top, r3.bottom, r3.left, r3.right, GetSysColor(COLOR_HIGHLIGHT)),
            width * 10);
  EXPECT_GT(Count(s, r3.top, r3.bottom, r3.left, r3.right, GetSysColor(COLOR_HIGHLIGHTTEXT)), 10);
  EXPECT_FALSE(owner.drawn.back().itemState & ODS_SELECTED);
  DestroyMenu(menu);
}

TEST_F(MenuDrawing, WithoutADisplayNothingWaitsAndTheSnapshotShowsTheMenu) {
  std::filesystem::path dir = pc.dir() / "shots";
  std::filesystem::create_directories(dir);
  setenv("WI_SNAPSHOT_DIR", dir.c_str(), 1);
  HMENU menu = CreatePopupMenu();
  AppendMenu(menu, MF_STRING, 7, "&Propriétés");
  Owner owner;
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, owner.hwnd, nullptr), 0);
  unsetenv("WI_SNAPSHOT_DIR");
  EXPECT_TRUE(std::filesystem::exists(dir / "Menu.png"));
  // Posting instead of returning: nothing posted.
  EXPECT_EQ(TrackPopupMenu(menu, 0, 10, 10, 0, owner.hwnd, nullptr), TRUE);
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, owner.hwnd, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  DestroyMenu(menu);
}

// --- Under Xvfb -------------------------------------------------------------------------

template <class Done>
bool PumpUntil(Done done, int seconds = 20) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done() && std::chrono::steady_clock::now() < until) {
    DisplayBackend::WaitForInput(20);
    Application->ProcessMessages();
  }
  return done();
}

// What the person sees of the menus from their own connection.
template <class Done>
bool WaitFor(Done done, int seconds = 20) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

class ShellListMenuOnX11 : public ::testing::Test {
 protected:
  TempMachine pc{MachineSettings{}, &CreateMachine};
  TForm* form = nullptr;
  TScShellList* list = nullptr;
  xsession::XServer* server = nullptr;
  unsigned long window = 0;
  POINT fileAt{};  // b.txt in the form's client area
  // Where "Renommer" lies in the menu window, measured as the menu lays itself out.
  std::atomic<int> renameX{-1}, renameY{-1};
  xsession::Picture menuPicture;  // what the menu shows as it opens (set before renameY)
  WNDPROC previous = nullptr;

  void SetUp() override {
    setenv("WI_HEADLESS", "1", 1);
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
    server = &xsession::XServer::ForThisProcess();
    ASSERT_FALSE(server->Display().empty()) << "Xvfb did not start";
    testfiles::PutFile(pc.c() / "Docs" / "a.txt", "a");
    testfiles::PutFile(pc.c() / "Docs" / "b.txt", "b");
    form = new TForm(Application);
    form->SetName("Liste");
    form->SetCaption("Liste");
    form->SetClientWidth(420);
    form->SetClientHeight(320);
    list = NewReportList(form, 10, 10, 400, 300);
    ASSERT_TRUE(ShowFolderIn(list, "C:\\Docs"));
    list->Columns()->Items(0)->SetWidth(150);
    ASSERT_EQ(list->Items()->Count(), 2);
    TListItem* b = list->Items()->Item(1);  // a.txt, then b.txt
    RECT label = b->DisplayRect(drLabel);
    fileAt = POINT{list->Left() + label.left + 8, list->Top() + (label.top + label.bottom) / 2};
    previous = SetWindowProc(list->Handle(), [this](HWND h, UINT m, WPARAM w, LPARAM l) {
      if (m == WM_INITMENUPOPUP) Measure(reinterpret_cast<HMENU>(w));
      return previous(h, m, w, l);
    });
    form->Show();
    window = DisplayBackend::NativeWindow(form);
    ASSERT_NE(window, 0u);
    xsession::XClient watcher;
    ASSERT_TRUE(watcher.Open(server->Display()));
    ASSERT_TRUE(PumpUntil([&] { return watcher.FocusWindow() == window; }));
  }
  void TearDown() override {
    delete form;
    form = nullptr;
    DisplayBackend::Refresh();
    setenv("WI_HEADLESS", "1", 1);
    Application->Reset();
    Screen->SetActiveForm(nullptr);
  }
  void Measure(HMENU menu) {
    if (!FindMenuCommand(menu, "Renommer")) return;
    TPopupMenuWindow twin(nullptr, menu, nullptr);
    twin.Measure();
    Surface s;
    twin.PaintTo(s);
    menuPicture = xsession::Picture{s.width, s.height, s.pixels};
    for (int i = 0; i < GetMenuItemCount(menu); ++i)
      if (GetMenuItemID(menu, i) == TScCustomShellList::RenameCommandId) {
        RECT r = twin.ItemRect(i);
        renameX = (r.left + r.right) / 2;
        renameY = (r.top + r.bottom) / 2;
      }
  }
  // A person at the display: right-clicks b.txt, waits for the menu, then does `then` with
  // the menu's window; `finished` is set when it is done.
  template <class Then>
  std::thread Person(std::atomic<bool>& finished, Then then) {
    return std::thread([this, &finished, then] {
      xsession::XClient person;
      if (person.Open(server->Display())) {
        person.MoveTo(window, fileAt.x, fileAt.y);
        person.Button(3, true);
        person.Button(3, false);
        std::vector<unsigned long> popups;
        if (WaitFor([&] { return (popups = person.Popups()).size() == 1; }))
          then(person, popups[0]);
        person.Sync();
      }
      finished = true;
    });
  }
  bool MenuGone(xsession::XClient& person) {
    return WaitFor([&] { return person.Popups().empty(); });
  }
};

TEST_F(ShellListMenuOnX11, ARightClickShowsTheMenuAndAClickChoosesRenommer) {
  std::atomic<bool> finished{false};
  bool above = false, overrideRedirect = false;
  int differ = -1;
  std::thread t = Person(finished, [&](xsession::XClient& person, unsigned long menu) {
    overrideRedirect = person.OverrideRedirect(menu);
    above = person.IsAbove(menu, window);
    WaitFor([&] { return renameY >= 0; });
    differ = xsession::WaitForPicture(person, menu, menuPicture, 0, 0, 10);
    person.MoveTo(menu, renameX, renameY);
    person.Click(menu, renameX, renameY);
    MenuGone(person);
  });
  bool editing = PumpUntil([&] { return finished && list->IsEditing(); });
  t.join();
  EXPECT_TRUE(overrideRedirect);
  EXPECT_TRUE(above);
  EXPECT_EQ(differ, 0) << "the menu's window does not show what the menu paints";
  EXPECT_TRUE(editing);
  EXPECT_EQ(list->Selected()->Index(), 1);
  if (list->IsEditing()) list->EditControl()->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(list->IsEditing());
}

TEST_F(ShellListMenuOnX11, TheKeyboardWalksTheMenuIntoSubMenusAndEscapeChoosesNothing) {
  // Down twice reaches "Envoyer vers" past the separator; Right opens it and Left closes it;
  // Up three times wraps round to "Renommer"; Enter chooses it.
  std::atomic<bool> finished{false};
  std::size_t withSubMenu = 0, afterLeft = 0;
  std::thread t = Person(finished, [&](xsession::XClient& person, unsigned long) {
    person.Key("Down");
    person.Key("Down");
    person.Key("Right");
    WaitFor([&] { return person.Popups().size() == 2; });
    withSubMenu = person.Popups().size();
    person.Key("Left");
    WaitFor([&] { return person.Popups().size() == 1; });
    afterLeft = person.Popups().size();
    person.Key("Up");
    person.Key("Up");
    person.Key("Up");
    person.Key("Return");
    MenuGone(person);
  });
  bool editing = PumpUntil([&] { return finished && list->IsEditing(); });
  t.join();
  EXPECT_EQ(withSubMenu, 2u);
  EXPECT_EQ(afterLeft, 1u);
  EXPECT_TRUE(editing);
  if (list->IsEditing()) list->EditControl()->Perform(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(list->IsEditing());

  // Escape: the menu goes and nothing is done.
  finished = false;
  bool gone = false;
  t = Person(finished, [&](xsession::XClient& person, unsigned long) {
    person.Key("Escape");
    gone = MenuGone(person);
  });
  PumpUntil([&] { return bool(finished); });
  t.join();
  EXPECT_TRUE(gone);
  EXPECT_FALSE(list->IsEditing());

  // A click outside closes it too, and the underlined letter chooses: 'r' makes a shortcut.
  finished = false;
  gone = false;
  t = Person(finished, [&](xsession::XClient& person, unsigned long) {
    person.Click(window, 415, 315);
    gone = MenuGone(person);
  });
  PumpUntil([&] { return bool(finished); });
  t.join();
  EXPECT_TRUE(gone);
  finished = false;
  t = Person(finished, [&](xsession::XClient& person, unsigned long) {
    person.Type("r");
    MenuGone(person);
  });
  auto linked = [&] {
    for (const auto& e : std::filesystem::directory_iterator(pc.c() / "Docs"))
      if (e.path().extension() == ".lnk") return e.path().filename().string();
    return std::string();
  };
  EXPECT_TRUE(PumpUntil([&] { return finished && !linked().empty(); }));
  EXPECT_NE(linked().find('b'), std::string::npos) << linked();
  t.join();
  EXPECT_TRUE(std::filesystem::exists(pc.c() / "Docs" / "b.txt"));
}

}  // namespace
