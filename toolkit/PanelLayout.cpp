#include "toolkit/PanelLayout.h"

#include <algorithm>
#include <vector>

#include "platform/forms/StdCtrls.h"

void ArrangePanelButtons(TPanel* Panel) {
  if (!Panel) return;
  // By class name, so that speed buttons and any button class derived from either count.
  std::vector<TControl*> buttons;
  for (int i = 0; i < Panel->ControlCount(); ++i) {
    TControl* c = Panel->Controls(i);
    if ((c->InheritsFrom("TButton") || c->InheritsFrom("TSpeedButton")) && c->Visible())
      buttons.push_back(c);
  }
  if (buttons.empty()) return;
  std::stable_sort(buttons.begin(), buttons.end(),
                   [](TControl* a, TControl* b) { return a->Left() < b->Left(); });

  const int h = buttons.back()->Height();
  const int margin = h * 10 / 25;
  Panel->SetClientHeight(h + 2 * margin);
  int x = Panel->ClientWidth();
  for (auto it = buttons.rbegin(); it != buttons.rend(); ++it) {
    TControl* b = *it;
    const int left = x - margin - b->Width();
    b->SetBounds(left, margin, b->Width(), h);
    b->SetAnchors((1u << akRight) | (1u << akBottom));
    x = left;
  }
}
