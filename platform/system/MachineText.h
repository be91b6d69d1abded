#pragma once
// The machine's rules for text: the case folding of every name comparison, and bytes shown
// safely in an error line.
#include <string>

namespace win {

// Case folding used for every name comparison of the machine (ASCII and Latin letters).
std::string FoldCase(const std::string& utf8);
bool SameText(const std::string& a, const std::string& b);
// text for an error line: control bytes and bytes that are not UTF-8 become \xNN.
std::string EscapeBytes(const std::string& text);

}  // namespace win
