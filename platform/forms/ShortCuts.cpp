#include "platform/forms/ShortCuts.h"

#include "platform/system/Text.h"

namespace {
using win::AsciiSameText;
bool StartsText(std::string_view prefix, std::string_view s) {
  return s.size() >= prefix.size() && AsciiSameText(prefix, s.substr(0, prefix.size()));
}
}  // namespace

std::string ShortCutToText(TShortCut ShortCut) {
  static const char* const kSpecial[] = {"Space", "PgUp", "PgDn",  "End", "Home",
                                         "Left",  "Up",   "Right", "Down"};
  int key = ShortCut & 0xFF;
  std::string name;
  if (key == 8)
    name = "BkSp";
  else if (key == 9)
    name = "Tab";
  else if (key == 13)
    name = "Enter";
  else if (key == 27)
    name = "Esc";
  else if (key >= 32 && key <= 40)
    name = kSpecial[key - 32];
  else if (key == 45)
    name = "Ins";
  else if (key == 46)
    name = "Del";
  else if ((key >= 48 && key <= 57) || (key >= 65 && key <= 90))
    name = std::string(1, char(key));
  else if (key >= 96 && key <= 105)
    name = std::string(1, char('0' + key - 96));
  else if (key >= 112 && key <= 135)
    name = "F" + std::to_string(key - 111);
  else
    name = "#" + std::to_string(unsigned(ShortCut));
  std::string prefix;
  if (ShortCut & scShift) prefix += "Shift+";
  if (ShortCut & scCtrl) prefix += "Ctrl+";
  if (ShortCut & scAlt) prefix += "Alt+";
  return prefix + name;
}

TShortCut TextToShortCut(const std::string& Text) {
  std::string rest = Text;
  TShortCut mods = 0;
  for (;;) {
    if (StartsText("Shift+", rest)) {
      mods |= scShift;
      rest.erase(0, 6);
    } else if (StartsText("^", rest)) {
      mods |= scCtrl;
      rest.erase(0, 1);
    } else if (StartsText("Ctrl+", rest)) {
      mods |= scCtrl;
      rest.erase(0, 5);
    } else if (StartsText("Alt+", rest)) {
      mods |= scAlt;
      rest.erase(0, 4);
    } else
      break;
  }
  if (rest.empty()) return 0;
  for (int key = 8; key <= 597; ++key)
    if (AsciiSameText(ShortCutToText(TShortCut(key)), rest)) return TShortCut(mods | key);
  return 0;
}
