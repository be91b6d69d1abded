#include "platform/system/RegistryText.h"

#include <charconv>
#include <cstring>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/system/Machine.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Sqlite.h"

namespace win {

namespace {

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// hex lists wrap as regedit writes them: lines of at most 80 columns, continued by "\".
std::string HexList(const std::string& prefix, const std::vector<BYTE>& data) {
  std::string out = prefix;
  size_t col = prefix.size();
  char buf[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", data[i]);
    out += buf;
    col += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++col;
      if (col > 76) {
        out += "\\\n  ";
        col = 2;
      }
    }
  }
  return out;
}

bool PlainString(const std::vector<BYTE>& d) {
  if (d.empty() || d.back() != 0) return false;
  for (size_t i = 0; i + 1 < d.size(); ++i)
    if (d[i] == 0 || d[i] == '\n' || d[i] == '\r') return false;
  return true;
}

void ExportValues(RegistryStore& s, std::int64_t id, const std::string& path, std::string& out) {
  out += "\n[" + path + "]\n";
  for (auto& v : s.Values(id)) {
    std::string name = v.name.empty() ? "@" : Quote(v.name);
    if (v.type == REG_SZ && PlainString(v.data)) {
      out += name + "=" + Quote(std::string(v.data.begin(), v.data.end() - 1)) + "\n";
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
      char buf[16];
      std::snprintf(
          buf, sizeof buf, "%08x",
          unsigned(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | unsigned(v.data[3]) << 24));
      out += name + "=dword:" + buf + "\n";
    } else if (v.type == REG_BINARY) {
      out += HexList(name + "=hex:", v.data) + "\n";
    } else {
      out += HexList(name + "=hex(" + std::to_string(v.type) + "):", v.data) + "\n";
    }
  }
}

// A key and everything below it, parents before children and siblings in name order. The
// walk keeps its own stack: a registry may hold a key deeper than the call stack allows.
void ExportKey(RegistryStore& s, std::int64_t id, const std::string& path, std::string& out) {
  std::vector<std::pair<std::int64_t, std::string>> pending{{id, path}};
  while (!pending.empty()) {
    auto [key, keyPath] = std::move(pending.back());
    pending.pop_back();
    ExportValues(s, key, keyPath, out);
    auto children = s.Children(key);
    for (auto c = children.rbegin(); c != children.rend(); ++c)
      pending.emplace_back(c->id, keyPath + "\\" + c->name);
  }
}

struct ImportValue {
  int line = 0;
  std::string name;
  bool remove = false;
  DWORD type = REG_SZ;
  std::vector<BYTE> data;
};
struct ImportKey {
  int line = 0;
  std::string path;
  bool remove = false;
  std::vector<ImportValue> values;
};

[[noreturn]] void Bad(int line, const std::string& why) {
  throw std::runtime_error("line " + std::to_string(line) + ": " + why);
}

// Reads a quoted string starting at s[i] == '"'; i ends after the closing quote. REGEDIT4
// escapes only the backslash and the quote.
std::string ReadQuoted(const std::string& s, size_t& i, int line) {
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

// A hexadecimal number of at most 32 bits: the whole of text, or an error naming the line.
DWORD ParseHex32(const std::string& text, int line, const std::string& what) {
  std::uint64_t v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, 16);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v > 0xFFFFFFFFu)
    Bad(line, "bad " + what + " \"" + EscapeBytes(text) + "\" (at most 8 hexadecimal digits)");
  return DWORD(v);
}

std::vector<BYTE> ParseHex(const std::string& text, int line) {
  std::vector<BYTE> out;
  std::string t;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) t += c;
  if (t.empty()) return out;
  std::stringstream ss(t);
  std::string b;
  while (std::getline(ss, b, ',')) {
    if (b.empty() || b.size() > 2 || !std::isxdigit(static_cast<unsigned char>(b[0])) ||
        (b.size() == 2 && !std::isxdigit(static_cast<unsigned char>(b[1]))))
      Bad(line, "bad hex byte \"" + EscapeBytes(b) + "\"");
    out.push_back(BYTE(ParseHex32(b, line, "hex byte")));
  }
  return out;
}

// The root of a key path of a text, and the names and depth below it, checked before
// anything is written.
void CheckKeyPath(const std::string& path, int line) {
  static const std::set<std::string> roots = {
      "HKEY_LOCAL_MACHINE", "HKLM", "HKEY_CURRENT_USER",   "HKCU", "HKEY_USERS", "HKU",
      "HKEY_CLASSES_ROOT",  "HKCR", "HKEY_CURRENT_CONFIG", "HKCC"};
  std::string root = path.substr(0, path.find('\\'));
  if (!roots.count(FoldCase(root)))
    Bad(line, "unknown registry root \"" + EscapeBytes(root) + "\"");
  size_t depth = 0;
  std::stringstream ss(path);
  std::string name;
  std::getline(ss, name, '\\');
  while (std::getline(ss, name, '\\')) {
    if (name.empty()) continue;
    if (std::string problem = RegistryStore::KeyNameProblem(name); !problem.empty())
      Bad(line, problem);
    if (++depth > kMaxKeyDepth)
      Bad(line, "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  }
}

}  // namespace

std::string RegExportText(const std::string& key) {
  std::lock_guard lock(RegistryCallMutex());
  RegistryStore s = RegistryStore::ForCurrent();
  std::string out = "REGEDIT4\n";
  try {
    if (key.empty()) {
      for (auto root : {"HKEY_LOCAL_MACHINE", "HKEY_USERS"}) {
        auto r = s.KeyByName(root, false);
        if (r) ExportKey(s, r->id, r->path, out);
      }
    } else {
      auto r = s.KeyByName(key, false);
      if (!r) throw std::runtime_error("no such registry key: " + EscapeBytes(key));
      ExportKey(s, r->id, r->path, out);
    }
  } catch (const RegistryFailure& e) {
    throw std::runtime_error(e.what());
  }
  return out + "\n";
}

void RegImportText(const std::string& text) {
  // Logical lines: CR LF folded, "\" at the end joins the next line.
  std::vector<std::pair<int, std::string>> lines;
  {
    std::stringstream ss(text);
    std::string raw, cur;
    int n = 0, start = 0;
    while (std::getline(ss, raw)) {
      ++n;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      if (cur.empty()) start = n;
      if (!raw.empty() && raw.back() == '\\') {
        cur += raw.substr(0, raw.size() - 1);
        continue;
      }
      cur += raw;
      lines.push_back({start, cur});
      cur.clear();
    }
    if (!cur.empty()) lines.push_back({start, cur});
  }
  std::vector<ImportKey> keys;
  bool header = false;
  for (auto& [n, l] : lines) {
    size_t b = l.find_first_not_of(" \t");
    if (b == std::string::npos) continue;
    std::string t = l.substr(b);
    if (t[0] == ';') continue;
    if (!header) {
      if (t != "REGEDIT4" && t != "Windows Registry Editor Version 5.00")
        Bad(n, "the text does not begin with REGEDIT4");
      header = true;
      continue;
    }
    if (t[0] == '[') {
      size_t close = t.rfind(']');
      if (close == std::string::npos) Bad(n, "missing ]");
      ImportKey k;
      k.line = n;
      k.path = t.substr(1, close - 1);
      if (!k.path.empty() && k.path[0] == '-') {
        k.remove = true;
        k.path.erase(0, 1);
      }
      if (k.path.empty()) Bad(n, "empty key name");
      CheckKeyPath(k.path, n);
      keys.push_back(k);
      continue;
    }
    if (keys.empty()) Bad(n, "a value before any [key]");
    ImportValue v;
    v.line = n;
    size_t i = 0;
    if (t[0] == '@') {
      i = 1;
    } else if (t[0] == '"') {
      v.name = ReadQuoted(t, i, n);
    } else {
      Bad(n, "expected \"name\"=value or @=value");
    }
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i >= t.size() || t[i] != '=') Bad(n, "missing =");
    ++i;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    std::string rest = t.substr(i);
    if (rest == "-") {
      v.remove = true;
    } else if (!rest.empty() && rest[0] == '"') {
      size_t j = 0;
      std::string s = ReadQuoted(rest, j, n);
      if (rest.find_first_not_of(" \t", j) != std::string::npos)
        Bad(n, "text after the closing quote: \"" + EscapeBytes(rest.substr(j)) + "\"");
      v.type = REG_SZ;
      v.data.assign(s.begin(), s.end());
      v.data.push_back(0);
    } else if (rest.rfind("dword:", 0) == 0) {
      DWORD d = ParseHex32(rest.substr(6), n, "dword");
      v.type = REG_DWORD;
      v.data = {BYTE(d), BYTE(d >> 8), BYTE(d >> 16), BYTE(d >> 24)};
    } else if (rest.rfind("hex:", 0) == 0) {
      v.type = REG_BINARY;
      v.data = ParseHex(rest.substr(4), n);
    } else if (rest.rfind("hex(", 0) == 0) {
      size_t close = rest.find("):");
      if (close == std::string::npos) Bad(n, "bad hex(type) value");
      v.type = ParseHex32(rest.substr(4, close - 4), n, "value type");
      v.data = ParseHex(rest.substr(close + 2), n);
    } else {
      Bad(n, "unknown value \"" + EscapeBytes(rest) + "\"");
    }
    if (keys.back().remove) Bad(n, "a value under a key being deleted");
    if (std::string problem = RegistryStore::ValueNameProblem(v.name); !problem.empty())
      Bad(n, problem);
    keys.back().values.push_back(std::move(v));
  }
  if (!header) Bad(1, "the text does not begin with REGEDIT4");

  std::lock_guard lock(RegistryCallMutex());
  RegistryStore s = RegistryStore::ForCurrent();
  // One transaction: a text that fails anywhere writes nothing.
  SqliteTransaction tx(s.Db());
  int line = 0;
  try {
    for (auto& k : keys) {
      line = k.line;
      if (k.remove) {
        auto r = s.KeyByName(k.path, false);
        if (r && !s.IsRootOrPredefined(r->id)) s.DeleteTree(r->id, r->path);
        continue;
      }
      auto r = s.KeyByName(k.path, true);
      if (!r) Bad(line, "cannot create [" + EscapeBytes(k.path) + "]");
      for (auto& v : k.values) {
        line = v.line;
        if (v.remove)
          s.DeleteValue(r->id, r->path, v.name);
        else
          s.SetValue(r->id, r->path, v.name, v.type, v.data);
      }
    }
    tx.Commit();
  } catch (const RegistryFailure& e) {
    Bad(line, e.what());
  } catch (const SqliteError& e) {
    Bad(line, std::string("the registry cannot be written: ") + e.what());
  }
}

}  // namespace win
