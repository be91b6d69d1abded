#include "platform/forms/Screen.h"

#include <algorithm>

#include "platform/forms/Classes.h"
#include "platform/forms/DisplayBackend.h"
#include "platform/forms/graphics/Fonts.h"

TScreen::TScreen() = default;
TScreen::~TScreen() { delete FFonts; }

void TScreen::SetCursor(TCursor value) {
  FCursor = value;
  FCursorHistory.push_back(value);
  DisplayBackend::CursorChanged(value);
}

TStrings* TScreen::Fonts() {
  // The drawing layer's families, read when first asked for.
  if (!FFonts) SetFontNames(win::ScreenFontNames());
  return FFonts;
}

void TScreen::SetFontNames(const std::vector<std::string>& names) {
  if (!FFonts) FFonts = new TStringList;
  auto* list = static_cast<TStringList*>(FFonts);
  list->Clear();
  for (auto& n : names) list->Add(n);
  list->Sort();
}

void TScreen::AddForm(TForm* f) { FForms.push_back(f); }
void TScreen::RemoveForm(TForm* f) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), f), FForms.end());
  if (FActiveForm == f) FActiveForm = nullptr;
}

TScreen* TScreenRef::Get() {
  static TScreen* screen = new TScreen;
  return screen;
}
