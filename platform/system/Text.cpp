#include "platform/system/Text.h"

#include <cstdio>

namespace win {

namespace {

template <typename Blank>
std::string TrimWith(std::string_view s, Blank blank) {
  std::size_t b = 0, e = s.size();
  while (b < e && blank(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && blank(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

char AsciiUpperOf(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
char AsciiLowerOf(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

}  // namespace

std::string TrimSpacesAndTabs(std::string_view s) {
  return TrimWith(s, [](unsigned char c) { return c == ' ' || c == '\t'; });
}

std::string TrimSpacesAndControls(std::string_view s) {
  return TrimWith(s, [](unsigned char c) { return c <= ' '; });
}

std::string TrimWhiteSpace(std::string_view s) {
  return TrimWith(s,
                  [](unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

std::string AsciiUpper(std::string s) {
  for (char& c : s) c = AsciiUpperOf(c);
  return s;
}

std::string AsciiLower(std::string s) {
  for (char& c : s) c = AsciiLowerOf(c);
  return s;
}

bool AsciiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpperOf(a[i]) != AsciiUpperOf(b[i])) return false;
  return true;
}

namespace {

// The second byte of a two-byte UTF-8 Latin-1 letter: 80..9E upper, A0..BE lower, but
// 97 (×) and B7 (÷).
std::string Latin1Fold(std::string s, bool upper) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    char& c = s[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      c = upper ? AsciiUpperOf(c) : AsciiLowerOf(c);
    } else if (static_cast<unsigned char>(c) == 0xC3 && i + 1 < s.size()) {
      auto d = static_cast<unsigned char>(s[++i]);
      if (!upper && d >= 0x80 && d <= 0x9E && d != 0x97) s[i] = char(d + 0x20);
      if (upper && d >= 0xA0 && d <= 0xBE && d != 0xB7) s[i] = char(d - 0x20);
    }
  }
  return s;
}

}  // namespace

std::string Latin1Upper(std::string s) { return Latin1Fold(std::move(s), true); }
std::string Latin1Lower(std::string s) { return Latin1Fold(std::move(s), false); }

std::vector<std::string> SplitTerminated(std::string_view s, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t at; (at = s.find(separator, start)) != std::string_view::npos; start = at + 1)
    pieces.emplace_back(s.substr(start, at - start));
  if (start < s.size()) pieces.emplace_back(s.substr(start));
  return pieces;
}

std::vector<std::string> SplitTerminatedLines(std::string_view s) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t at; (at = s.find_first_of("\r\n", start)) != std::string_view::npos;) {
    lines.emplace_back(s.substr(start, at - start));
    start = at + 1;
    if (s[at] == '\r' && start < s.size() && s[start] == '\n') ++start;
  }
  if (start < s.size()) lines.emplace_back(s.substr(start));
  return lines;
}

std::vector<std::string> Split(std::string_view s, char separator) {
  std::vector<std::string> pieces = SplitTerminated(s, separator);
  if (s.empty() || s.back() == separator) pieces.emplace_back();
  return pieces;
}

std::vector<std::string> SplitLines(std::string_view s) {
  std::vector<std::string> lines = SplitTerminatedLines(s);
  if (s.empty() || s.back() == '\r' || s.back() == '\n') lines.emplace_back();
  return lines;
}

std::vector<std::string> SplitNonEmpty(std::string_view s, char separator) {
  std::vector<std::string> pieces = SplitTerminated(s, separator);
  std::erase_if(pieces, [](const std::string& piece) { return piece.empty(); });
  return pieces;
}

std::vector<std::string> SplitLfLines(std::string_view s) {
  std::vector<std::string> lines = SplitTerminated(s, '\n');
  for (std::string& line : lines)
    if (!line.empty() && line.back() == '\r') line.pop_back();
  return lines;
}

std::size_t CountUtf8Characters(std::string_view s) {
  std::size_t n = 0;
  for (char c : s) n += !IsUtf8Continuation(c);
  return n;
}

std::size_t CountUtf16Units(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += !IsUtf8Continuation(char(c)) + (c >= 0xF0);
  return n;
}

std::size_t Utf8NextChar(std::string_view s, std::size_t b) {
  if (b >= s.size()) return s.size();
  do ++b;
  while (b < s.size() && IsUtf8Continuation(s[b]));
  return b;
}

std::size_t Utf8PrevChar(std::string_view s, std::size_t b) {
  if (b == 0) return 0;
  do --b;
  while (b > 0 && IsUtf8Continuation(s[b]));
  return b;
}

std::size_t Utf8ByteOf(std::string_view s, std::size_t n) {
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!IsUtf8Continuation(s[i]) && n-- == 0) return i;
  return s.size();
}

namespace {

// The continuation bytes a lead byte asks for; 0 for a byte that starts no sequence.
std::size_t ContinuationsAfter(unsigned char lead) {
  if (lead < 0xC0 || lead >= 0xF8) return 0;
  return lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
}

}  // namespace

char32_t NextUtf8CodePoint(std::string_view s, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(s[at]);
  const std::size_t extra = ContinuationsAfter(lead);
  bool whole = extra > 0 && extra < s.size() - at;
  char32_t cp = lead & (0x3F >> extra);
  for (std::size_t k = 1; whole && k <= extra; ++k) {
    whole = IsUtf8Continuation(s[at + k]);
    cp = (cp << 6) | char32_t(s[at + k] & 0x3F);
  }
  if (!whole) {
    ++at;
    return lead;
  }
  at += extra + 1;
  return cp;
}

std::u32string Utf8ToUtf32(std::string_view s) {
  std::u32string out;
  for (std::size_t at = 0; at < s.size();) out.push_back(NextUtf8CodePoint(s, at));
  return out;
}

std::string Utf16LeBytes(std::u16string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  for (char16_t u : s) out += char(u & 0xFF), out += char(u >> 8);
  return out;
}

std::u16string Utf16FromLeBytes(const std::uint8_t* bytes, std::size_t size) {
  std::u16string out;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const auto unit = char16_t(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    out += unit;
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t at = 0; at < s.size();) {
    const std::size_t start = at;
    char32_t cp = NextUtf8CodePoint(s, at);
    // A byte standing for itself is valid as ASCII only; a character must be spelt in its
    // fewest bytes (so that no overlong NUL or slash slips through), be no surrogate and no
    // more than U+10FFFF. Each byte of what is not valid gives one U+FFFD.
    const std::size_t bytes = at - start;
    const char32_t fewest = bytes == 2 ? 0x80 : bytes == 3 ? 0x800 : 0x10000;
    const bool valid =
        bytes == 1 ? cp < 0x80 : cp >= fewest && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
    if (!valid) cp = 0xFFFD, at = start + 1;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

namespace {

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
    char32_t cp = NextUtf8CodePoint(s, i);
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
      NextUtf8CodePoint(s, i);
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
