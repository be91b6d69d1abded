#include "platform/forms/Screen.h"

#include <algorithm>

TScreen::TScreen() = default;
TScreen::~TScreen() = default;

void TScreen::SetCursor(TCursor value) {
  FCursor = value;
  FCursorHistory.push_back(value);
}

TStrings* TScreen::Fonts() { return FFonts; }
void TScreen::SetFontNames(const std::vector<std::string>&) {}

void TScreen::AddForm(TForm* f) { FForms.push_back(f); }
void TScreen::RemoveForm(TForm* f) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), f), FForms.end());
  if (FActiveForm == f) FActiveForm = nullptr;
}

namespace {
TScreen g_screen;
}
TScreen* Screen = &g_screen;
