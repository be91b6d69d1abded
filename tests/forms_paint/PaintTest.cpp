// Forms and standard controls painted into window surfaces, saved as PNG, and shown in a
// real X server (Xvfb) where clicks and the screen must agree with the headless picture.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/forms/Buttons.h"
#include "platform/forms/ComCtrls.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/DisplaySurface.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/ImageFiles.h"
#include "tests/support/XSession.h"

namespace {

namespace fs = std::filesystem;
using win::Surface;

std::uint32_t Sys(int index) { return win::PixelFromColor(win::GetSysColor(index)); }

// A form without frame or caption, its client area w by h.
TForm* BorderlessForm(int w, int h) {
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsNone);
  f->SetClientWidth(w);
  f->SetClientHeight(h);
  return f;
}

template <class T>
T* Make(TWinControl* parent, int l, int t, int w, int h, const std::string& caption = "") {
  auto* c = new T(parent);
  c->SetParent(parent);
  c->SetBounds(l, t, w, h);
  if (!caption.empty()) c->SetCaption(caption);
  return c;
}

// Pixels of r (surface coordinates) that differ from `background`.
int Inked(const Surface& s, win::RECT r, std::uint32_t background) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += s.Row(y)[x] != background;
  return n;
}

struct Dialog {
  TForm* form;
  TPanel *top, *bottom;
  TRadioButton *install, *remove;
  TEdit* folder;
  TButton *ok, *cancel;
};

// Laid out as the database setup's main dialog: a header panel, a choice of two actions,
// a folder field, the OK / Annuler row.
Dialog MakeSetupDialog() {
  Dialog d{};
  d.form = new TForm(nullptr);
  d.form->SetName("frmSetupShape");
  d.form->SetBorderStyle(bsDialog);
  d.form->SetCaption("Installation du serveur");
  d.form->SetClientWidth(563);
  d.form->SetClientHeight(304);
  d.top = Make<TPanel>(d.form, 0, 0, 563, 57, "");
  d.top->SetColor(clWindow);
  Make<TLabel>(d.top, 12, 8, 400, 16, "Serveur de base de données")->Font()->SetStyle(1);
  Make<TLabel>(d.top, 24, 30, 500, 16, "Choisissez l'opération à effectuer.");
  Make<TBevel>(d.form, 0, 57, 563, 2)->SetShape(bsTopLine);
  d.install = Make<TRadioButton>(d.form, 24, 80, 250, 17, "&Installer le serveur");
  d.install->SetChecked(true);
  d.remove = Make<TRadioButton>(d.form, 24, 104, 250, 17, "&Désinstaller le serveur");
  Make<TLabel>(d.form, 24, 140, 200, 14, "Dossier d'installation :");
  d.folder = Make<TEdit>(d.form, 24, 158, 500, 21);
  d.folder->SetColor(clWindow);
  d.folder->SetText("C:\\Program Files\\Firebird");
  d.bottom = Make<TPanel>(d.form, 0, 263, 563, 41);
  d.ok = Make<TButton>(d.bottom, 395, 8, 75, 25, "OK");
  d.ok->SetDefault(true);
  d.ok->SetModalResult(mrOk);
  d.cancel = Make<TButton>(d.bottom, 479, 8, 75, 25, "Annuler");
  d.cancel->SetCancel(true);
  d.cancel->SetModalResult(mrCancel);
  return d;
}

fs::path OutDir() {
  fs::path p = fs::path(WI_BINARY_DIR) / "forms_paint_out";
  fs::create_directories(p);
  return p;
}

TEST(FormPaint, FrameCaptionAndEveryStandardControl) {
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsDialog);
  f->SetCaption("Contrôles");
  f->SetClientWidth(400);
  f->SetClientHeight(300);
  auto* panel = Make<TPanel>(f, 10, 10, 120, 60, "Panneau");
  auto* clipped = Make<TPanel>(panel, 80, 20, 100, 30);  // sticks out of its parent
  clipped->SetColor(clRed);
  Make<TLabel>(f, 140, 10, 120, 16, "&Étiquette");
  auto* button = Make<TButton>(f, 140, 40, 75, 25, "OK");
  button->SetDefault(true);
  auto* check = Make<TCheckBox>(f, 10, 80, 120, 17, "Case");
  check->SetChecked(true);
  auto* radio = Make<TRadioButton>(f, 10, 100, 120, 17, "Radio");
  radio->SetChecked(true);
  Make<TGroupBox>(f, 140, 80, 150, 60, "Groupe");
  auto* edit = Make<TEdit>(f, 10, 150, 150, 21);
  edit->SetColor(clWindow);
  edit->SetText("texte");
  auto* list = Make<TListBox>(f, 170, 150, 120, 60);
  list->SetColor(clWindow);
  list->Items()->Add("un");
  list->Items()->Add("deux");
  list->SetItemIndex(1);
  Make<TBevel>(f, 300, 10, 80, 40);
  auto* disabled = Make<TLabel>(f, 10, 220, 120, 16, "Grisé");
  disabled->SetEnabled(false);
  auto* image = Make<TImage>(f, 300, 60, 32, 32);
  image->Picture()->SetSize(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) image->Picture()->SetPixels(x, y, clBlue);
  image->SetCenter(true);

  Surface s;
  f->SetVisible(true);
  WindowPainter::PaintWindow(f, s);
  ASSERT_EQ(s.width, f->Width());
  win::POINT o = WindowPainter::ClientOrigin(f);
  auto at = [&](int x, int y) { return s.Row(o.y + y)[o.x + x]; };

  // Frame: raised edge outside, the caption bar in the active caption colour.
  EXPECT_EQ(s.Row(1)[1], Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(s.Row(s.height - 1)[s.width - 1], Sys(win::COLOR_3DDKSHADOW));
  EXPECT_EQ(s.Row(5)[4], Sys(win::COLOR_ACTIVECAPTION));
  EXPECT_GT(Inked(s, {8, 4, 80, o.y - 2}, Sys(win::COLOR_ACTIVECAPTION)), 20) << "caption text";
  // Client in the form's colour; the panel's raised bevel; its child clipped by it.
  EXPECT_EQ(at(5, 5), Sys(win::COLOR_BTNFACE));
  EXPECT_EQ(at(10, 10), Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(at(129, 69), Sys(win::COLOR_BTNSHADOW));
  EXPECT_EQ(at(100, 40), 0xFF0000u);
  EXPECT_EQ(at(135, 40), Sys(win::COLOR_BTNFACE)) << "child drawn outside its parent";
  // Label text present; the default button's black frame; check mark and radio dot.
  EXPECT_GT(Inked(s, {o.x + 140, o.y + 10, o.x + 260, o.y + 26}, Sys(win::COLOR_BTNFACE)), 30);
  EXPECT_EQ(at(140, 40), Sys(win::COLOR_WINDOWFRAME));
  EXPECT_GT(Inked(s, {o.x + 12, o.y + 83, o.x + 21, o.y + 92}, Sys(win::COLOR_WINDOW)), 5);
  EXPECT_GT(Inked(s, {o.x + 14, o.y + 104, o.x + 19, o.y + 109}, Sys(win::COLOR_WINDOW)), 5);
  // Edit: sunken border, white inside, text. List box: the selected line highlighted.
  EXPECT_EQ(at(10, 150), Sys(win::COLOR_BTNSHADOW));
  EXPECT_GT(Inked(s, {o.x + 13, o.y + 153, o.x + 80, o.y + 168}, Sys(win::COLOR_WINDOW)), 10);
  win::RECT item = list->ItemRect(1);
  EXPECT_EQ(at(170 + 2 + item.left + 60, 150 + 2 + item.top + 1), Sys(win::COLOR_HIGHLIGHT));
  // Group box: etched frame below the caption's middle, caption text over it.
  int frameTop = 80;
  while (frameTop < 100 && at(140, frameTop) != Sys(win::COLOR_BTNSHADOW)) ++frameTop;
  EXPECT_GT(frameTop, 82);
  EXPECT_LT(frameTop, 90);
  EXPECT_EQ(at(141, frameTop + 1), Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_GT(Inked(s, {o.x + 150, o.y + 80, o.x + 190, o.y + 94}, Sys(win::COLOR_BTNFACE)), 20);
  // Bevel lowered box; centred image; disabled text in grey, no black.
  EXPECT_EQ(at(300, 10), Sys(win::COLOR_BTNSHADOW));
  EXPECT_EQ(at(379, 49), Sys(win::COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(at(316, 76), 0x0000FFu);
  EXPECT_EQ(at(301, 61), Sys(win::COLOR_BTNFACE));
  int grey = 0, black = 0;
  for (int y = 220; y < 236; ++y)
    for (int x = 10; x < 130; ++x)
      grey += at(x, y) == Sys(win::COLOR_BTNSHADOW), black += at(x, y) == 0;
  EXPECT_GT(grey, 10);
  EXPECT_EQ(black, 0);
  delete f;
}

// The focus always shows: an edit's caret, a list's first line framed while nothing is
// selected; and a focused button is drawn pushed in while Space is held.
TEST(FormPaint, FocusAndPressedStatesShow) {
  auto* f = BorderlessForm(300, 100);
  auto* edit = Make<TEdit>(f, 10, 10, 100, 21);
  auto* list = Make<TListBox>(f, 120, 10, 100, 60);
  list->Items()->Add("un");
  auto* button = Make<TButton>(f, 230, 10, 60, 25, "OK");
  f->SetVisible(true);
  Surface before;
  WindowPainter::PaintClient(f, before);
  auto changed = [&](TControl* c) {
    Surface now;
    WindowPainter::PaintClient(f, now);
    int n = 0;
    for (int y = c->Top(); y < c->Top() + c->Height(); ++y)
      for (int x = c->Left(); x < c->Left() + c->Width(); ++x)
        n += now.Row(y)[x] != before.Row(y)[x];
    before = now;
    return n;
  };
  edit->SetFocus();
  EXPECT_GT(changed(edit), 0) << "the caret";
  list->SetFocus();
  EXPECT_GT(changed(list), 0) << "the first line's focus frame";
  button->SetFocus();
  changed(button);
  button->Perform(win::WM_KEYDOWN, win::VK_SPACE);
  EXPECT_GT(changed(button), 0) << "pushed in";
  button->Perform(win::WM_KEYUP, win::VK_SPACE);
  EXPECT_GT(changed(button), 0) << "up again";
  delete f;
}

// A user-painted control draws through its canvas over the window surface, clipped.
class TSwatch : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;

 protected:
  void Paint() override;
};
}  // namespace
#include "platform/forms/graphics/Graphics.h"
namespace {
void TSwatch::Paint() {
  Canvas()->Brush().SetColor(clLime);
  Canvas()->FillRect(Rect(-50, -50, 500, 500));
  Canvas()->Font().SetColor(clBlack);
  Canvas()->TextOut(2, 2, "Abc");
}

TEST(FormPaint, CanvasOfPaintedControlsAndOwnerDrawnLists) {
  auto* f = BorderlessForm(200, 100);
  auto* sw = Make<TSwatch>(f, 10, 10, 40, 30);
  auto* list = Make<TListBox>(f, 60, 10, 100, 60);
  list->SetStyle(lbOwnerDrawFixed);
  list->Items()->Add("a");
  list->Items()->Add("b");
  std::vector<int> drawn;
  list->OnDrawItem = [&](TWinControl* c, int i, win::RECT r, TOwnerDrawState) {
    drawn.push_back(i);
    TCanvas* cv = static_cast<TCustomListBox*>(c)->Canvas();
    cv->Brush().SetColor(clYellow);
    cv->FillRect(r);
  };
  Surface s;
  f->SetVisible(true);
  WindowPainter::PaintWindow(f, s);
  EXPECT_EQ(s.Row(35)[35], 0x00FF00u);
  EXPECT_EQ(s.Row(5)[5], Sys(win::COLOR_BTNFACE)) << "canvas drew outside its control";
  EXPECT_EQ(s.Row(45)[30], Sys(win::COLOR_BTNFACE));
  EXPECT_GT(Inked(s, {12, 12, 30, 26}, 0x00FF00u), 5);
  EXPECT_EQ(drawn, (std::vector<int>{0, 1}));
  EXPECT_EQ(s.Row(10 + 2 + 3)[60 + 2 + 5], 0xFFFF00u);
  // Outside a paint the canvas still measures text.
  EXPECT_GT(sw->Canvas()->TextWidth("Abc"), 10);
  delete f;
}

TEST(FormPaint, SetupDialogSavedAsPng) {
  Dialog d = MakeSetupDialog();
  fs::path png = OutDir() / "setup_dialog.png";
  SaveFormToPng(d.form, png);
  Surface s = win::LoadPng(png);
  EXPECT_EQ(s.width, 563 + 6);
  EXPECT_EQ(s.height, 304 + 6 + 19);
  win::POINT o = WindowPainter::ClientOrigin(d.form);
  EXPECT_EQ(s.Row(o.y + 30)[o.x + 5], Sys(win::COLOR_WINDOW));
  EXPECT_EQ(s.Row(o.y + 263 + 8)[o.x + 395], Sys(win::COLOR_WINDOWFRAME)) << "default button frame";
  delete d.form;
}

// Headless snapshots of shown forms land in WI_SNAPSHOT_DIR under the form's name once the
// program is idle.
TEST(FormPaint, ShownFormsAreSnapshotted) {
  fs::path dir = OutDir() / "snapshots";
  fs::remove_all(dir);
  setenv("WI_SNAPSHOT_DIR", dir.c_str(), 1);
  setenv("WI_HEADLESS", "1", 1);
  Dialog d = MakeSetupDialog();
  d.form->Show();
  Application->HandleMessage();
  unsetenv("WI_SNAPSHOT_DIR");
  ASSERT_TRUE(fs::exists(dir / "frmSetupShape.png"));
  Surface expected;
  WindowPainter::PaintWindow(d.form, expected);
  Surface got = win::LoadPng(dir / "frmSetupShape.png");
  EXPECT_EQ(got.pixels, expected.pixels);
  d.form->Close();
  delete d.form;
}

// Lets the back-end take the X events and repaint.
void Pump(int rounds = 20) {
  for (int i = 0; i < rounds; ++i) {
    DisplayBackend::WaitForInput(20);
    Application->ProcessMessages();
  }
  DisplayBackend::Refresh();
}

TEST(FormPaintX11, ClicksThroughTheSetupDialogUnderXvfb) {
  if (!xsession::HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
  xsession::XServer server;
  ASSERT_TRUE(server.UseInThisProcess()) << "Xvfb did not start";
  xsession::XClient person;
  ASSERT_TRUE(person.Open(server.Display()));
  ASSERT_TRUE(win::DisplayAvailable());
  ASSERT_TRUE(DisplayBackend::UsesX11());

  Dialog d = MakeSetupDialog();
  int clicks = 0;
  d.ok->OnClick = [&](TObject*) { ++clicks; };
  d.form->Show();
  unsigned long w = DisplayBackend::NativeWindow(d.form);
  ASSERT_NE(w, 0u);
  Pump();

  person.Click(w, d.remove->Left() + 5, d.remove->Top() + 8);
  Pump();
  EXPECT_TRUE(d.remove->Checked());
  EXPECT_FALSE(d.install->Checked());
  person.Click(w, d.bottom->Left() + d.ok->Left() + 20, d.bottom->Top() + d.ok->Top() + 10);
  Pump();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(d.form->ModalResult(), mrOk);

  // What the X server shows is the headless picture's client area, pixel for pixel.
  xsession::Picture shot = person.Grab(w);
  ASSERT_EQ(shot.width, 563);
  ASSERT_EQ(shot.height, 304);
  Surface headless;
  WindowPainter::PaintWindow(d.form, headless);
  win::POINT o = WindowPainter::ClientOrigin(d.form);
  int diff = 0;
  for (int y = 0; y < 304; ++y)
    for (int x = 0; x < 563; ++x) diff += shot.At(x, y) != headless.Row(o.y + y)[o.x + x];
  EXPECT_EQ(diff, 0);
  win::SavePng(headless, OutDir() / "setup_dialog_after_clicks.png");
  d.form->Close();
  Pump(2);
  delete d.form;
  DisplayBackend::Refresh();  // its window goes while the server still runs
  person.Close();
  setenv("WI_HEADLESS", "1", 1);
}

}  // namespace
