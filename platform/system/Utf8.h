#pragma once
// UTF-8 and UTF-16 conversions shared by the fonts table, path folding, version resources
// and text output.

#include <string>

namespace win {

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t cp);

// Invalid UTF-8 becomes U+FFFD, one per bad byte.
std::u16string Utf8ToUtf16(const std::string& s);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& s);

}  // namespace win
