#pragma once
// Keyboard shortcuts as the toolkit encodes them: the key code in the low byte plus the
// modifier bits, and their texts ("Ctrl+A", "F4", "Shift+Del").
#include <cstdint>
#include <string>

using TShortCut = std::uint16_t;
inline constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000;

// "Shift+", "Ctrl+", "Alt+" then the key's name; "#" and the whole value for a key with no name.
std::string ShortCutToText(TShortCut ShortCut);
// Modifiers ("Shift+", "^" or "Ctrl+", "Alt+", any letter case), then the key whose text
// matches; 0 when the text names no key.
TShortCut TextToShortCut(const std::string& Text);
