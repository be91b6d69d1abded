#include "platform/system/MachineText.h"

#include <cstdio>

#include "platform/system/Utf8.h"

namespace win {

namespace {

// Decodes one UTF-8 code point; invalid bytes pass as themselves.
char32_t NextCodePoint(const std::string& s, size_t& i) {
  unsigned char c = s[i];
  if (c < 0x80 || i + 1 >= s.size()) return s[i++] & 0xFF;
  int len = (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : (c >= 0xC0) ? 2 : 1;
  if (len == 1 || i + len > s.size()) return s[i++] & 0xFF;
  char32_t cp = c & (0xFF >> (len + 1));
  for (int k = 1; k < len; ++k) {
    unsigned char cc = s[i + k];
    if ((cc & 0xC0) != 0x80) return s[i++] & 0xFF;
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

char32_t FoldCodePoint(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // Latin-1 letters
  if (c >= 0x100 && c <= 0x17F && (c & 1) && c != 0x131 && c != 0x138 && c != 0x149)
    return c - 1;  // Latin Extended-A pairs (upper is even)
  if (c == 0xFF) return 0x178;
  return c;
}

}  // namespace

std::string FoldCase(const std::string& s) {
  // Most names are ASCII: folded in place, byte for byte, up to the first other character.
  std::string out = s;
  size_t i = 0;
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) break;
    if (c >= 'a' && c <= 'z') out[i] = char(c - 32);
  }
  if (i == s.size()) return out;
  out.resize(i);
  while (i < s.size()) {
    size_t start = i;
    char32_t cp = NextCodePoint(s, i);
    if (cp < 0x80 || i - start > 1) {
      AppendUtf8(out, FoldCodePoint(cp));
    } else {
      out.append(s, start, i - start);
    }
  }
  return out;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() == b.size() && a == b) return true;
  return FoldCase(a) == FoldCase(b);
}

std::string EscapeBytes(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  char hex[8];
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t start = i;
    if (c >= 0x80) {
      NextCodePoint(s, i);
      // A code point of several bytes is text; a lone byte that stands for itself is not.
      if (i - start > 1) {
        out.append(s, start, i - start);
        continue;
      }
    } else {
      ++i;
      if (c >= 0x20 && c != 0x7F) {
        out += char(c);
        continue;
      }
    }
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  }
  return out;
}

}  // namespace win
