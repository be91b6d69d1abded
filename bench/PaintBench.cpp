// Paints a 739x475 form-sized surface with 40 control-like elements (frames, edges, text,
// fills, check boxes, focus rectangles) and compares the median with a plain fill of the
// same surface measured in the same run. Target: median under 5 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "platform/forms/graphics/Gdi.h"
#include "platform/forms/graphics/GdiText.h"

using namespace win;

namespace {

constexpr int kW = 739, kH = 475;

struct Scene {
  Surface surface{kW, kH};
  HDC dc = CreateSurfaceDC(&surface, POINT{0, 0}, RECT{0, 0, kW, kH});
  HFONT font;
  Scene() {
    LOGFONT lf;
    lf.lfHeight = -11;
    std::strcpy(lf.lfFaceName, "MS Sans Serif");
    font = CreateFontIndirect(&lf);
  }
  ~Scene() {
    DeleteDC(dc);
    DeleteObject(font);
  }

  void Paint() {
    RECT all{0, 0, kW, kH};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < 40; ++i) {
      int col = i % 4, row = i / 4;
      RECT r{10 + col * 180, 10 + row * 45, 180 + col * 180, 48 + row * 45};
      SaveDC(dc);
      IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
      switch (i % 5) {
        case 0: {  // edit: sunken frame, white field, text
          RECT e = r;
          DrawEdge(dc, &e, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
          FillRect(dc, &e, GetSysColorBrush(COLOR_WINDOW));
          DrawText(dc, "C:\\Program Files\\Firebird", &e,
                   DT_SINGLELINE | DT_VCENTER | DT_PATH_ELLIPSIS);
          break;
        }
        case 1: {  // button
          RECT b = r;
          DrawFrameControl(dc, &b, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT);
          DrawText(dc, "&Suivant >", &b, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
          InflateRect(&b, -2, -2);
          DrawFocusRect(dc, &b);
          break;
        }
        case 2: {  // check box with caption
          RECT c{r.left, r.top, r.left + 13, r.bottom};
          DrawFrameControl(dc, &c, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
          RECT t{r.left + 18, r.top, r.right, r.bottom};
          DrawText(dc, "Installer le client Firebird", &t, DT_SINGLELINE | DT_VCENTER);
          break;
        }
        case 3: {  // label with wrapped text
          DrawText(dc, "Ce programme installe l'environnement minimum sur ce poste.", &r,
                   DT_WORDBREAK);
          break;
        }
        case 4: {  // panel: raised frame, etched inner line, list-like rows
          RECT p = r;
          DrawEdge(dc, &p, EDGE_RAISED, BF_RECT | BF_ADJUST | BF_MIDDLE);
          DrawEdge(dc, &p, EDGE_ETCHED, BF_RECT | BF_ADJUST);
          RECT sel{p.left, p.top, p.right, p.top + 14};
          FillRect(dc, &sel, GetSysColorBrush(COLOR_HIGHLIGHT));
          Rectangle(dc, p.left + 2, p.top + 16, p.right - 2, p.bottom - 2);
          break;
        }
      }
      RestoreDC(dc, -1);
    }
    SelectObject(dc, oldFont);
  }
};

void Baseline(Surface& s) { std::memset(s.pixels.data(), 0xC0, s.pixels.size() * 4); }

void BM_PaintForm(benchmark::State& state) {
  Scene scene;
  for (auto _ : state) {
    scene.Paint();
    benchmark::DoNotOptimize(scene.surface.pixels.data());
  }
}
BENCHMARK(BM_PaintForm)->Unit(benchmark::kMillisecond);

void BM_Baseline(benchmark::State& state) {
  Surface s(kW, kH);
  for (auto _ : state) {
    Baseline(s);
    benchmark::DoNotOptimize(s.pixels.data());
  }
}
BENCHMARK(BM_Baseline)->Unit(benchmark::kMillisecond);

using bench::MedianMs;

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  Scene scene;
  Surface plain(kW, kH);
  double paint = MedianMs([&] { scene.Paint(); }, 101);
  double base = MedianMs([&] { Baseline(plain); }, 101);
  std::printf(
      "paint 739x475, 40 elements: median %.3f ms; baseline fill %.3f ms; ratio %.1f; target < 5 "
      "ms: %s\n",
      paint, base, base > 0 ? paint / base : 0.0, paint < 5.0 ? "met" : "MISSED");
  benchmark::Shutdown();
  return 0;
}
