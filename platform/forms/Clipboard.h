#pragma once
// The desktop's clipboard for text, as Ctrl+C fills it: kept in the process (a program
// without a display, tests) and, on a display, offered to every program as the CLIPBOARD
// selection in UTF-8 (line breaks as the desktop writes them, LF).
#include <string>

void SetClipboardText(const std::string& utf8);
// The text last copied by this program (line breaks as given).
std::string ClipboardText();
