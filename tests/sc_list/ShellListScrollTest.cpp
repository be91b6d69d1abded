// A shell list on a folder of 2,000 files: its scroll bar's thumb dragged to the end shows
// the last file, in the snapshot and, under Xvfb, in the real window dragged by the real
// pointer.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "platform/forms/ControlPaint.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/Forms.h"
#include "platform/forms/Screen.h"
#include "platform/forms/ScrollBars.h"
#include "platform/forms/UiDriver.h"
#include "platform/forms/UiScript.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/GdiText.h"
#include "platform/forms/graphics/ImageFiles.h"
#include "platform/system/MachineSetup.h"
#include "shellcontrols/UScShellList.h"
#include "support/TempMachine.h"
#include "support/TestFiles.h"
#include "tests/sc_list/ShowFolder.h"
#include "tests/support/XSession.h"

using namespace win;

namespace {

constexpr int kFiles = 2000;

std::string FileName(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "f%04d.txt", i);
  return name;
}

class ShellListScroll : public ::testing::Test {
 protected:
  TempMachine pc{MachineSettings{}, &CreateMachine};
  TForm* form = nullptr;
  TScShellList* list = nullptr;

  void SetUp() override {
    setenv("WI_HEADLESS", "1", 1);
    UiScript::Reset();
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    for (int i = 0; i < kFiles; ++i) testfiles::PutFile(pc.c() / "Beaucoup" / FileName(i), "x");
    form = new TForm(Application);
    form->SetName("Liste");
    form->SetClientWidth(420);
    form->SetClientHeight(320);
    list = NewReportList(form, 10, 10, 400, 300);
  }
  void TearDown() override {
    delete form;
    Application->Reset();
    Screen->SetActiveForm(nullptr);
    setenv("WI_HEADLESS", "1", 1);
  }
  void ShowFolder() {
    ASSERT_TRUE(ShowFolderIn(list, "C:\\Beaucoup"));
    list->Columns()->Items(0)->SetWidth(150);
  }
  // Where the thumb is, in the form's client coordinates: across its middle, along its middle.
  POINT ThumbMiddle() {
    RECT bar = ScrollBars::BarRect(list, SB_VERT);
    int start = 0, end = 0;
    EXPECT_TRUE(ScrollBars::ThumbSpan(list, SB_VERT, &start, &end));
    return POINT{list->Left() + (bar.left + bar.right) / 2, list->Top() + (start + end) / 2};
  }
  // The last file's caption shows in the picture, drawn as the list draws an item's label,
  // with `origin` the list's corner in the picture.
  void ExpectLastFileShown(const Surface& picture, POINT origin) {
    TListItem* last = list->Items()->Item(kFiles - 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Caption(), FileName(kFiles - 1));
    RECT label = last->DisplayRect(drLabel);
    RECT client = list->ClientBounds();
    ASSERT_GE(label.top, client.top);
    ASSERT_LE(label.bottom, client.bottom);
    int w = label.right - label.left, h = label.bottom - label.top;
    Surface expected(w, h, PixelFromColor(GetSysColor(COLOR_WINDOW)));
    HDC dc = CreateSurfaceDC(&expected, POINT{0, 0}, RECT{0, 0, w, h});
    SelectObject(dc, ControlPaint::FontHandle(list->Font()));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    RECT text{2, 0, w - 2, h};
    DrawText(dc, last->Caption(), &text,
             DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    DeleteDC(dc);
    int ink = 0, differ = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint32_t want = expected.Row(y)[x] & 0xFFFFFF;
        ink += want != (PixelFromColor(GetSysColor(COLOR_WINDOW)) & 0xFFFFFF);
        differ +=
            want != (picture.Row(origin.y + label.top + y)[origin.x + label.left + x] & 0xFFFFFF);
      }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(differ, 0);
  }
};

// The WM_VSCROLL codes a window receives.
struct ScrollCodes {
  explicit ScrollCodes(TWinControl* c) : hwnd(c->Handle()) {
    prev = SetWindowProc(hwnd, [this](HWND h, UINT m, WPARAM w, LPARAM l) {
      if (m == WM_VSCROLL) codes.push_back(LOWORD(DWORD(w)));
      return prev(h, m, w, l);
    });
  }
  ~ScrollCodes() { SetWindowProc(hwnd, prev); }
  bool Ended() const { return !codes.empty() && codes.back() == SB_ENDSCROLL; }
  HWND hwnd;
  WNDPROC prev;
  std::vector<int> codes;
};

TEST_F(ShellListScroll, ThumbDraggedToTheEndShowsTheLastFile) {
  ShowFolder();
  ASSERT_EQ(list->Items()->Count(), kFiles);
  SCROLLINFO si;
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(list->Handle(), SB_VERT, &si));
  EXPECT_EQ(si.nMax, kFiles - 1);
  EXPECT_EQ(int(si.nPage), list->VisibleRowCount());

  // Pressed on the thumb, dragged down past the bar's end in steps, let go.
  ScrollCodes spy(list);
  POINT p = ThumbMiddle();
  auto send = [&](UINT msg, int y) {
    SendMessage(list->Handle(), msg, msg == WM_LBUTTONUP ? 0 : 1,
                MAKELPARAM(WORD(p.x - list->Left()), WORD(short(y - list->Top()))));
  };
  send(WM_LBUTTONDOWN, p.y);
  for (int y = p.y; y < list->Top() + list->Height() + 40; y += 25) send(WM_MOUSEMOVE, y);
  send(WM_LBUTTONUP, list->Top() + list->Height() + 40);
  ASSERT_TRUE(spy.Ended());
  EXPECT_EQ(std::count(spy.codes.begin(), spy.codes.end(), SB_THUMBPOSITION), 1);
  EXPECT_EQ(list->TopItem()->Index(), kFiles - list->VisibleRowCount());
  EXPECT_EQ(GetScrollPos(list->Handle(), SB_VERT), kFiles - list->VisibleRowCount());

  // The snapshot shows it.
  std::filesystem::path png = pc.dir() / "liste.png";
  SaveFormToPng(form, png);
  Surface shot = LoadPng(png);
  POINT o = WindowPainter::ClientOrigin(form);
  ExpectLastFileShown(shot, POINT{o.x + list->Left(), o.y + list->Top()});
}

// --- Under Xvfb -------------------------------------------------------------------------

// Lets the back end take X input and repaint until `done` or ten seconds pass.
template <class Done>
bool PumpUntil(Done done) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < until) {
    DisplayBackend::WaitForInput(20);
    Application->ProcessMessages();
  }
  return done();
}

TEST_F(ShellListScroll, ThumbDraggedByTheRealPointerUnderXvfb) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  xsession::XServer& server = xsession::XServer::ForThisProcess();
  ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
  xsession::XClient person;
  ASSERT_TRUE(person.Open(server.Display()));
  ASSERT_TRUE(DisplayBackend::UsesX11());
  ShowFolder();
  form->Show();
  unsigned long window = DisplayBackend::NativeWindow(form);
  ASSERT_NE(window, 0u);
  auto painted = [&] {
    Surface s;
    WindowPainter::PaintClient(form, s);
    return xsession::Picture{s.width, s.height, s.pixels};
  };
  auto shows = [&](const xsession::Picture& expected) {
    return PumpUntil([&] { return xsession::PictureDiff(person, window, expected, 0, 0) == 0; });
  };
  EXPECT_TRUE(shows(painted()));

  // The real pointer presses the thumb, goes down past the bar's end and lets go.
  ScrollCodes spy(list);
  POINT p = ThumbMiddle();
  person.MoveTo(window, p.x, p.y);
  person.Button(1, true);
  for (int y = p.y + 20; y < form->ClientHeight() + 40; y += 20) person.MoveTo(window, p.x, y);
  person.Button(1, false);
  ASSERT_TRUE(PumpUntil([&] { return spy.Ended(); })) << "the drag did not end";
  EXPECT_EQ(list->TopItem()->Index(), kFiles - list->VisibleRowCount());

  // The window shows what the headless painter paints for this state: the last file.
  xsession::Picture expected = painted();
  EXPECT_TRUE(shows(expected));
  xsession::Picture shot = person.Grab(window);
  ASSERT_EQ(shot.width, expected.width);
  Surface shown(shot.width, shot.height);
  shown.pixels = shot.pixels;
  ExpectLastFileShown(shown, POINT{list->Left(), list->Top()});

  // A notch of the wheel away from the person goes back three rows.
  int top = list->TopItem()->Index();
  person.MoveTo(window, 100, 100);
  person.Button(4, true);
  person.Button(4, false);
  EXPECT_TRUE(PumpUntil([&] { return list->TopItem()->Index() == top - 3; }))
      << list->TopItem()->Index();

  // The window goes while the server still runs.
  delete form;
  form = nullptr;
  DisplayBackend::Refresh();
  person.Close();
  setenv("WI_HEADLESS", "1", 1);
}

}  // namespace
