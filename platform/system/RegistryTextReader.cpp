#include "platform/system/RegistryTextReader.h"

#include <array>
#include <charconv>
#include <cstring>
#include <set>

#include "platform/system/Machine.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Text.h"

namespace win {

RegTextError::RegTextError(int line, const std::string& what)
    : std::runtime_error("line " + std::to_string(line) + ": " + what) {}

namespace {

constexpr std::size_t kBlockBytes = 1 << 20;
// A logical line (a value continued over lines included) longer than this is no text the
// editor writes: refused rather than grown until memory runs out.
constexpr std::size_t kMaxLineBytes = std::size_t(256) << 20;
const char* const kLineTooLong = "a line longer than 256 MiB";

[[noreturn]] void Bad(int line, const std::string& why) { throw RegTextError(line, why); }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsSpace(char c) { return IsBlank(c) || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// -1 for a byte that is no hexadecimal digit; a table, as hex values run to megabytes.
int HexDigit(char c) {
  static const auto table = [] {
    std::array<signed char, 256> t{};
    t.fill(-1);
    for (int i = 0; i < 10; ++i) t['0' + i] = static_cast<signed char>(i);
    for (int i = 0; i < 6; ++i) t['a' + i] = t['A' + i] = static_cast<signed char>(10 + i);
    return t;
  }();
  return table[static_cast<unsigned char>(c)];
}

std::string_view TrimLeft(std::string_view s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

// A quoted text starting at s[i] == '"'; i ends after the closing quote. The editor escapes
// only the backslash and the quote.
std::string ReadQuoted(std::string_view s, std::size_t& i, int line) {
  std::string out;
  ++i;
  while (i < s.size() && s[i] != '"') {
    if (s[i] == '\\') {
      if (i + 1 >= s.size()) break;
      char next = s[i + 1];
      if (next != '\\' && next != '"')
        Bad(line, "\"\\" + EscapeBytes(std::string(1, next)) +
                      "\" is not an escape (only \\\\ and \\\")");
      ++i;
    }
    out += s[i++];
  }
  if (i >= s.size()) Bad(line, "unterminated string");
  ++i;
  return out;
}

// A hexadecimal number of at most 32 bits: the whole of text.
DWORD ParseHex32(std::string_view text, int line, const std::string& what) {
  std::uint64_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 0xFFFFFFFFu)
    Bad(line, "bad " + what + " \"" + EscapeBytes(std::string(text)) +
                  "\" (at most 8 hexadecimal digits)");
  return DWORD(v);
}

// The field of text holding `at` (a comma ends the field before it), blanks left out: for
// error lines.
std::string FieldAround(std::string_view text, std::size_t at) {
  std::size_t to = text[at] == ',' ? at : text.find(',', at);
  if (to == std::string_view::npos) to = text.size();
  std::size_t from = to == 0 ? std::string_view::npos : text.rfind(',', to - 1);
  from = from == std::string_view::npos ? 0 : from + 1;
  std::string field;
  for (char c : text.substr(from, to - from))
    if (!IsSpace(c)) field += c;
  return field;
}

// "01,02,ff": bytes of one or two digits, blanks anywhere (continued lines begin with two),
// a comma at the very end allowed. Values run to megabytes: one pass over the text.
std::vector<BYTE> ParseHexBytes(std::string_view text, int line) {
  std::vector<BYTE> out;
  out.reserve(text.size() / 3 + 1);
  int value = 0, digits = 0;
  bool any = false;  // anything but blanks
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const int d = HexDigit(c);
    if (d >= 0 && digits < 2) {
      value = value * 16 + d;
      ++digits;
      any = true;
    } else if (c == ',' && digits > 0) {
      out.push_back(BYTE(value));
      value = digits = 0;
    } else if (!IsSpace(c)) {
      Bad(line, "bad hex byte \"" + EscapeBytes(FieldAround(text, i)) + "\"");
    }
  }
  if (digits > 0)
    out.push_back(BYTE(value));
  else if (any && out.empty())
    Bad(line, "bad hex byte \"\"");
  return out;
}

// Text data written as UTF-16 hexadecimal becomes UTF-8, as the registry here holds
// texts; an odd number of bytes is no text and stays as it is.
void Utf16DataToUtf8(std::vector<BYTE>& data) {
  if (data.size() % 2) return;
  std::string utf8;
  utf8.reserve(data.size() / 2);
  for (std::size_t i = 0; i < data.size(); i += 2) {
    char32_t u = char32_t(data[i] | (data[i + 1] << 8));
    if (u < 0x80) {
      utf8 += char(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < data.size()) {
      const char32_t low = char32_t(data[i + 2] | (data[i + 3] << 8));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    AppendUtf8(utf8, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
  }
  data.assign(utf8.begin(), utf8.end());
}

}  // namespace

// ---- lines --------------------------------------------------------------------------

RegTextLines::RegTextLines(std::istream& in) : in_(in), buf_(kBlockBytes) {
  Fill();
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(buf_[i]); };
  if (end_ >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
    utf16_ = true;
    at_ = 2;
  } else if (end_ >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
    at_ = 3;
  } else if (end_ >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
    Bad(1, "the text is UTF-16 big-endian; the registry editor writes little-endian");
  }
}

// Moves what is left to the front and reads behind it; false when nothing more came.
bool RegTextLines::Fill() {
  std::memmove(buf_.data(), buf_.data() + at_, end_ - at_);
  end_ -= at_;
  at_ = 0;
  in_.read(buf_.data() + end_, std::streamsize(buf_.size() - end_));
  if (in_.bad()) Bad(physical_ + 1, "the text cannot be read any further");
  const auto got = std::size_t(in_.gcount());
  end_ += got;
  return got > 0;
}

void RegTextLines::AppendUnit(std::string& out, char16_t unit) {
  if (high_) {
    const char16_t high = high_;
    high_ = 0;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t(high) - 0xD800) << 10) + (unit - 0xDC00));
      return;
    }
    AppendUtf8(out, 0xFFFD);
  }
  if (unit >= 0xD800 && unit <= 0xDBFF)
    high_ = unit;
  else if (unit >= 0xDC00 && unit <= 0xDFFF)
    AppendUtf8(out, 0xFFFD);
  else
    AppendUtf8(out, unit);
}

bool RegTextLines::PhysicalLine(std::string& out) {
  out.clear();
  const std::size_t unit = utf16_ ? 2 : 1;
  bool any = false, ended = false;
  while (!ended) {
    if (out.size() > kMaxLineBytes) Bad(physical_ + 1, kLineTooLong);
    if (end_ - at_ < unit && !Fill()) {
      if (end_ != at_) Bad(physical_ + 1, "the text ends in half a UTF-16 character");
      if (!any) return false;
      break;
    }
    any = true;
    if (!utf16_) {
      const char* from = buf_.data() + at_;
      const void* nl = std::memchr(from, '\n', end_ - at_);
      const std::size_t n = nl ? std::size_t(static_cast<const char*>(nl) - from) : end_ - at_;
      out.append(from, n);
      at_ += n + (nl ? 1 : 0);
      ended = nl != nullptr;
      continue;
    }
    while (at_ + 2 <= end_ && !ended) {
      // Most of a text is ASCII: a run of it is copied in one go (locals, so that the
      // stores to the line are not taken to touch the reader's own fields).
      const unsigned char* b = reinterpret_cast<const unsigned char*>(buf_.data());
      if (!high_) {
        const std::size_t from = at_, end = end_;
        std::size_t run = from;
        while (run + 2 <= end && b[run + 1] == 0 && b[run] < 0x80 && b[run] != '\n') run += 2;
        if (run > from) {
          const std::size_t old = out.size();
          out.resize(old + (run - from) / 2);
          char* o = out.data() + old;
          for (std::size_t k = from; k < run; k += 2) *o++ = char(b[k]);
          at_ = run;
          continue;
        }
      }
      const char16_t u = char16_t(b[at_] | b[at_ + 1] << 8);
      at_ += 2;
      if (u == u'\n')
        ended = true;
      else
        AppendUnit(out, u);
    }
  }
  if (high_) {
    high_ = 0;
    AppendUtf8(out, 0xFFFD);
  }
  if (!out.empty() && out.back() == '\r') out.pop_back();
  ++physical_;
  return true;
}

bool RegTextLines::Next(std::string& line, int& number) {
  line.clear();
  if (!PhysicalLine(raw_)) return false;
  number = physical_;
  if (raw_.empty() || raw_.back() != '\\') {
    line.swap(raw_);
    return true;
  }
  while (!raw_.empty() && raw_.back() == '\\') {
    raw_.pop_back();
    line += raw_;
    if (line.size() > kMaxLineBytes) Bad(number, kLineTooLong);
    if (!PhysicalLine(raw_)) return true;  // the text ends inside a value
  }
  line += raw_;
  return true;
}

// ---- what a line says -----------------------------------------------------------------

void RegTextParser::Parse(std::string_view line, int number, RegTextEntry& out) {
  out.kind = RegTextEntry::Kind::Nothing;
  std::string_view t = TrimLeft(line);
  if (t.empty() || t[0] == ';') return;
  if (!header_) {
    while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
    if (t == "Windows Registry Editor Version 5.00")
      unicode_ = true;
    else if (t != "REGEDIT4")
      Bad(number, "the text does not begin with REGEDIT4");
    header_ = true;
    return;
  }
  if (t[0] == '[')
    ParseKey(t, number, out);
  else
    ParseValue(t, number, out);
}

void RegTextParser::Finish() const {
  if (!header_) Bad(1, "the text does not begin with REGEDIT4");
}

void RegTextParser::SplitKeyPath(std::string_view path, int number, RegTextEntry& out) {
  static const std::set<std::string> roots = {
      "HKEY_LOCAL_MACHINE", "HKLM", "HKEY_CURRENT_USER",   "HKCU", "HKEY_USERS", "HKU",
      "HKEY_CLASSES_ROOT",  "HKCR", "HKEY_CURRENT_CONFIG", "HKCC"};
  std::size_t at = path.find('\\');
  out.root.assign(path.substr(0, at));
  if (!roots.count(FoldCase(out.root)))
    Bad(number, "unknown registry root \"" + EscapeBytes(out.root) + "\"");
  out.names.clear();
  out.foldedNames.clear();
  while (at != std::string_view::npos) {
    const std::size_t next = path.find('\\', at + 1);
    std::string name(path.substr(at + 1, next == std::string_view::npos ? next : next - at - 1));
    at = next;
    if (name.empty()) continue;
    if (std::string problem = RegistryStore::KeyNameProblem(name); !problem.empty())
      Bad(number, problem);
    if (out.names.size() == kMaxKeyDepth)
      Bad(number, "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    out.foldedNames.push_back(FoldCase(name));
    out.names.push_back(std::move(name));
  }
}

void RegTextParser::ParseKey(std::string_view t, int number, RegTextEntry& out) {
  const std::size_t close = t.rfind(']');
  if (close == std::string_view::npos) Bad(number, "missing ]");
  std::string_view path = t.substr(1, close - 1);
  out.remove = !path.empty() && path[0] == '-';
  if (out.remove) path.remove_prefix(1);
  if (path.empty()) Bad(number, "empty key name");
  out.kind = RegTextEntry::Kind::Key;
  out.path.assign(path);
  SplitKeyPath(path, number, out);
  inKey_ = true;
  keyRemoved_ = out.remove;
}

void RegTextParser::ParseValue(std::string_view t, int number, RegTextEntry& out) {
  if (!inKey_) Bad(number, "a value before any [key]");
  std::size_t i = 0;
  out.name.clear();
  if (t[0] == '@')
    i = 1;
  else if (t[0] == '"')
    out.name = ReadQuoted(t, i, number);
  else
    Bad(number, "expected \"name\"=value or @=value");
  while (i < t.size() && IsBlank(t[i])) ++i;
  if (i >= t.size() || t[i] != '=') Bad(number, "missing =");
  std::string_view rest = TrimLeft(t.substr(i + 1));
  out.remove = rest == "-";
  out.data.clear();
  if (out.remove) {
  } else if (!rest.empty() && rest[0] == '"') {
    std::size_t j = 0;
    std::string s = ReadQuoted(rest, j, number);
    if (!TrimLeft(rest.substr(j)).empty())
      Bad(number,
          "text after the closing quote: \"" + EscapeBytes(std::string(rest.substr(j))) + "\"");
    out.type = REG_SZ;
    out.data.assign(s.begin(), s.end());
    out.data.push_back(0);
  } else if (rest.starts_with("dword:")) {
    DWORD d = ParseHex32(rest.substr(6), number, "dword");
    out.type = REG_DWORD;
    out.data = {BYTE(d), BYTE(d >> 8), BYTE(d >> 16), BYTE(d >> 24)};
  } else if (rest.starts_with("hex:")) {
    out.type = REG_BINARY;
    out.data = ParseHexBytes(rest.substr(4), number);
  } else if (rest.starts_with("hex(")) {
    std::size_t close = rest.find("):");
    if (close == std::string_view::npos) Bad(number, "bad hex(type) value");
    out.type = ParseHex32(rest.substr(4, close - 4), number, "value type");
    out.data = ParseHexBytes(rest.substr(close + 2), number);
    if (unicode_ && (out.type == REG_SZ || out.type == REG_EXPAND_SZ || out.type == REG_MULTI_SZ))
      Utf16DataToUtf8(out.data);
  } else {
    Bad(number, "unknown value \"" + EscapeBytes(std::string(rest)) + "\"");
  }
  if (keyRemoved_) Bad(number, "a value under a key being deleted");
  if (std::string problem = RegistryStore::ValueNameProblem(out.name); !problem.empty())
    Bad(number, problem);
  out.folded = FoldCase(out.name);
  out.kind = RegTextEntry::Kind::Value;
}

// ---- entries, read ahead ----------------------------------------------------------------

namespace {
constexpr std::size_t kBatchEntries = 1024;
constexpr std::size_t kBatchesAhead = 16;
}  // namespace

RegTextEntries::RegTextEntries(std::istream& in) : in_(in), thread_([this] { Read(); }) {}

RegTextEntries::~RegTextEntries() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

RegTextEntries::Batch RegTextEntries::Spare() {
  std::lock_guard lock(mutex_);
  if (spare_.empty()) return Batch{};
  Batch b = std::move(spare_.back());
  spare_.pop_back();
  b.count = 0;
  return b;
}

// False when the reading is to stop.
bool RegTextEntries::Hand(Batch& batch) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stop_ || ready_.size() < kBatchesAhead; });
  if (stop_) return false;
  if (batch.count) ready_.push_back(std::move(batch));
  changed_.notify_all();
  return true;
}

void RegTextEntries::Read() {
  Batch batch;
  std::exception_ptr error;
  try {
    RegTextLines lines(in_);
    RegTextParser parser;
    std::string line;
    int number = 0;
    while (lines.Next(line, number)) {
      if (batch.count == batch.items.size()) batch.items.emplace_back();
      Parsed& p = batch.items[batch.count];
      parser.Parse(line, number, p.entry);
      if (p.entry.kind == RegTextEntry::Kind::Nothing) continue;
      p.line = number;
      if (++batch.count < kBatchEntries) continue;
      if (!Hand(batch)) return;
      batch = Spare();
    }
    parser.Finish();
  } catch (...) {
    error = std::current_exception();
  }
  // The entries before an error first: one of them may hold an earlier error.
  if (!Hand(batch)) return;
  std::lock_guard lock(mutex_);
  error_ = error;
  ended_ = true;
  changed_.notify_all();
}

bool RegTextEntries::Next(const RegTextEntry*& entry, int& line) {
  if (at_ == current_.count) {
    std::unique_lock lock(mutex_);
    if (!current_.items.empty()) spare_.push_back(std::move(current_));
    current_ = Batch{};
    at_ = 0;
    changed_.wait(lock, [&] { return !ready_.empty() || ended_; });
    if (ready_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return false;
    }
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
  }
  const Parsed& p = current_.items[at_++];
  entry = &p.entry;
  line = p.line;
  return true;
}

}  // namespace win
