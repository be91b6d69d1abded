#pragma once
// Texts as the registry editor saves them: UTF-16 LE with CR LF line ends, behind the byte
// order mark. Tests, the fuzz seeds and the import benchmark write their files with these.
#include <string>

#include "platform/system/Text.h"

namespace testfiles {

// The UTF-16 LE bytes of a UTF-8 text, each LF written CR LF.
inline std::string Utf16LeCrLf(const std::string& utf8) {
  std::u16string units;
  for (char16_t u : win::Utf8ToUtf16(utf8)) {
    if (u == u'\n') units += u'\r';
    units += u;
  }
  return win::Utf16LeBytes(units);
}

inline std::string Utf16File(const std::string& utf8) { return "\xFF\xFE" + Utf16LeCrLf(utf8); }

}  // namespace testfiles
