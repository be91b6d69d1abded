#include "platform/system/Text.h"

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

std::size_t CountUtf8Characters(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace win
