// Full repaint of a 739x475 form holding 40 standard controls (panels, labels, buttons,
// edits, check boxes, radio buttons, a group box, a list box, bevels), against one fill of
// the whole window surface measured in the same run. Target: median under 5 ms.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Forms.h"
#include "platform/forms/StdCtrls.h"
#include "platform/forms/WindowPainter.h"
#include "platform/forms/graphics/Gdi.h"

namespace {

template <class T>
T* Add(TWinControl* parent, int l, int t, int w, int h, const std::string& caption = "") {
  auto* c = new T(parent);
  c->SetParent(parent);
  c->SetBounds(l, t, w, h);
  if (!caption.empty()) c->SetCaption(caption);
  return c;
}

using bench::MedianMs;

}  // namespace

int main() {
  auto* f = new TForm(nullptr);
  f->SetBorderStyle(bsDialog);
  f->SetCaption("Repeinture");
  f->SetBounds(0, 0, 739, 475);
  int n = 0;
  auto* top = Add<TPanel>(f, 0, 0, 733, 60, "En-tête");
  ++n;
  for (int i = 0; i < 4; ++i, ++n)
    Add<TLabel>(top, 10 + 180 * i, 10, 170, 16, "&Étiquette " + std::to_string(i));
  for (int i = 0; i < 6; ++i, ++n) {
    Add<TLabel>(f, 10, 75 + 28 * i, 120, 16, "Champ " + std::to_string(i) + " :");
    ++n;
    auto* e = Add<TEdit>(f, 140, 72 + 28 * i, 220, 21);
    e->SetColor(clWindow);
    e->SetText("valeur " + std::to_string(i));
  }
  auto* g = Add<TGroupBox>(f, 380, 70, 340, 170, "Options");
  ++n;
  for (int i = 0; i < 5; ++i, n += 2) {
    Add<TCheckBox>(g, 12, 20 + 28 * i, 150, 17, "Option " + std::to_string(i))->SetChecked(i % 2);
    Add<TRadioButton>(g, 170, 20 + 28 * i, 150, 17, "Choix " + std::to_string(i))
        ->SetChecked(i == 2);
  }
  auto* list = Add<TListBox>(f, 10, 250, 350, 120);
  list->SetColor(clWindow);
  for (int i = 0; i < 12; ++i) list->Items()->Add("Ligne " + std::to_string(i));
  list->SetItemIndex(3);
  ++n;
  for (int i = 0; i < 3; ++i, ++n) Add<TBevel>(f, 380 + 115 * i, 250, 105, 60);
  auto* bottom = Add<TPanel>(f, 0, 400, 733, 46);
  ++n;
  for (int i = 0; i < 3; ++i, ++n)
    Add<TLabel>(bottom, 10 + 100 * i, 14, 90, 16, "État " + std::to_string(i));
  for (int i = 0; i < 4; ++i, ++n)
    Add<TButton>(bottom, 330 + 100 * i, 10, 90, 25, "Bouton " + std::to_string(i))
        ->SetDefault(i == 0);
  f->SetVisible(true);

  win::Surface s, plain(739, 475);
  WindowPainter::PaintWindow(f, s);  // fonts and glyph caches warm
  double paint = MedianMs([&] { WindowPainter::PaintWindow(f, s); }, 101);
  double base = MedianMs(
      [&] {
        win::HDC dc = win::CreateSurfaceDC(&plain, win::POINT{0, 0}, win::RECT{0, 0, 739, 475});
        win::RECT r{0, 0, 739, 475};
        win::FillRect(dc, &r, win::HBRUSH(std::uintptr_t(win::COLOR_BTNFACE + 1)));
        win::DeleteDC(dc);
      },
      101);
  std::printf(
      "form repaint 739x475, %d controls: median %.3f ms; baseline fill %.3f ms; ratio %.1f; "
      "target < 5 ms: %s\n",
      n, paint, base, base > 0 ? paint / base : 0.0, paint < 5.0 ? "met" : "MISSED");
  delete f;
  return 0;
}
