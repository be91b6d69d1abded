#include "platform/system/Registry.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/Machine.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Sqlite.h"

namespace win {

// An open key: the store's id of the key, the rights it was opened with, and its full name
// for the journal.
struct HKEY__ {
  std::int64_t id = 0;
  REGSAM access = 0;
  bool machineHive = false;
  std::string path;
};

namespace {

std::mutex g_handlesMutex;
std::set<HKEY__*> g_handles;

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x10000 | 0x40000 | 0x80000;

bool IsPredefined(HKEY k) {
  auto v = reinterpret_cast<std::uintptr_t>(k);
  return v >= 0x80000000u && v <= 0x80000006u;
}

struct Target {
  std::int64_t id = 0;
  REGSAM access = 0;
  bool machineHive = false;
  std::string path;
};

// The key a handle stands for. Predefined keys are created on first use.
LONG TargetOf(RegistryStore& s, HKEY key, Target& t) {
  if (IsPredefined(key)) {
    auto root = s.PredefinedRoot(key);
    if (!root) return ERROR_INVALID_HANDLE;
    t.id = root->id;
    t.machineHive = root->machineHive;
    t.path = root->path;
    t.access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  {
    std::lock_guard lock(g_handlesMutex);
    if (!key || !g_handles.count(key)) return ERROR_INVALID_HANDLE;
    t.id = key->id;
    t.access = key->access;
    t.machineHive = key->machineHive;
    t.path = key->path;
  }
  if (!s.KeyExists(t.id)) return ERROR_KEY_DELETED;
  return ERROR_SUCCESS;
}

HKEY NewHandle(const Target& t, REGSAM access) {
  auto* h = new HKEY__{t.id, access, t.machineHive, t.path};
  std::lock_guard lock(g_handlesMutex);
  g_handles.insert(h);
  return h;
}

// Splits a subkey path; an empty result list is the key itself. False on a malformed path.
// Names too long or too deep are the store's to refuse, for every writer alike.
bool SplitPath(const std::string& subKey, std::vector<std::string>& parts) {
  parts.clear();
  std::string p = subKey;
  while (!p.empty() && p.back() == '\\') p.pop_back();
  if (p.empty()) return true;
  std::stringstream ss(p);
  std::string comp;
  while (std::getline(ss, comp, '\\')) {
    if (comp.empty()) return false;
    parts.push_back(comp);
  }
  return true;
}

std::recursive_mutex g_storeMutex;

// One registry call: serialised within the process; a registry.db that cannot be read
// gives ERROR_BADDB (the reason is kept for RegistryFailureText).
template <typename F>
LONG Run(F f) {
  std::lock_guard lock(g_storeMutex);
  try {
    RegistryStore s = RegistryStore::ForCurrent();
    return f(s);
  } catch (const RegistryFailure& e) {
    return LONG(e.code);
  } catch (const std::exception& e) {
    RegistryStore::NoteFailure(e.what());
    return LONG(ERROR_BADDB);
  }
}

// The existing key sub names below t: its id and full path, or ERROR_FILE_NOT_FOUND.
LONG FindSubKey(RegistryStore& s, const Target& t, const std::string& sub, std::int64_t& id,
                std::string& path) {
  std::vector<std::string> parts;
  if (!SplitPath(sub, parts)) return ERROR_FILE_NOT_FOUND;
  id = t.id;
  path = t.path;
  for (auto& p : parts) {
    auto child = s.FindChild(id, p);
    if (!child) return ERROR_FILE_NOT_FOUND;
    id = child->id;
    path += "\\" + child->name;
  }
  return ERROR_SUCCESS;
}

LONG PutName(const std::string& name, char* buf, DWORD* size) {
  if (!size) return ERROR_INVALID_PARAMETER;
  if (!buf || *size < name.size() + 1) {
    *size = DWORD(name.size());
    return ERROR_MORE_DATA;
  }
  std::memcpy(buf, name.c_str(), name.size() + 1);
  *size = DWORD(name.size());
  return ERROR_SUCCESS;
}

LONG PutData(const std::vector<BYTE>& data, BYTE* buf, DWORD* size) {
  if (!buf) {
    if (size) *size = DWORD(data.size());
    return ERROR_SUCCESS;
  }
  if (!size) return ERROR_INVALID_PARAMETER;
  if (*size < data.size()) {
    *size = DWORD(data.size());
    return ERROR_MORE_DATA;
  }
  if (!data.empty()) std::memcpy(buf, data.data(), data.size());
  *size = DWORD(data.size());
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegOpenKeyEx(HKEY key, const std::string& subKey, DWORD, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    std::string sub = subKey;
    if (!sub.empty() && sub[0] == '\\') sub.erase(0, 1);
    std::int64_t id;
    std::string path;
    if (LONG rc = FindSubKey(s, t, sub, id, path)) return rc;
    if ((access & kWriteRights) && s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    *result = NewHandle(Target{id, access, t.machineHive, path}, access);
    return ERROR_SUCCESS;
  });
}

LONG RegCreateKeyEx(HKEY key, const std::string& subKey, DWORD, const char*, DWORD, REGSAM access,
                    void*, HKEY* result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    std::vector<std::string> parts;
    if (!subKey.empty() && subKey[0] == '\\') return ERROR_BAD_PATHNAME;
    if (!SplitPath(subKey, parts)) return ERROR_BAD_PATHNAME;
    // Find what exists; create the rest in one transaction.
    std::int64_t id = t.id;
    std::string path = t.path;
    size_t i = 0;
    for (; i < parts.size(); ++i) {
      auto child = s.FindChild(id, parts[i]);
      if (!child) break;
      id = child->id;
      path += "\\" + child->name;
    }
    bool creating = i < parts.size();
    if ((creating || (access & kWriteRights)) && s.WriteRefused(t.machineHive))
      return ERROR_ACCESS_DENIED;
    if (creating) {
      if (!(t.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      std::vector<std::string> rest(parts.begin() + std::ptrdiff_t(i), parts.end());
      id = s.CreatePath(id, path, rest);
      for (auto& r : rest) path += "\\" + r;
    }
    if (disposition) *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(Target{id, access, t.machineHive, path}, access);
    return ERROR_SUCCESS;
  });
}

LONG RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  std::lock_guard lock(g_handlesMutex);
  if (!key || !g_handles.erase(key)) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const std::string& name, DWORD*, DWORD* type, BYTE* data,
                     DWORD* size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto v = s.FindValue(t.id, name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    return PutData(v->data, data, size);
  });
}

LONG RegSetValueEx(HKEY key, const std::string& name, DWORD, DWORD type, const BYTE* data,
                   DWORD size) {
  if (!data && size > 0) return ERROR_INVALID_PARAMETER;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_SET_VALUE) || s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    std::vector<BYTE> bytes(data, data + size);
    s.SetValue(t.id, t.path, name, type, bytes);
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValue(HKEY key, const std::string& name) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_SET_VALUE) || s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    return s.DeleteValue(t.id, t.path, name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG RegDeleteKey(HKEY key, const std::string& subKey) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    std::int64_t id;
    std::string path;
    if (LONG rc = FindSubKey(s, t, subKey, id, path)) return rc;
    if (s.IsRootOrPredefined(id)) return ERROR_ACCESS_DENIED;
    if (s.WriteRefused(t.machineHive)) return ERROR_ACCESS_DENIED;
    if (s.IsNT() && s.HasSubKeys(id)) return ERROR_ACCESS_DENIED;
    s.DeleteTree(id, path);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char* keyClass,
                  DWORD* classSize, FILETIME* lastWrite) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    auto children = s.Children(t.id);
    if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
    if (LONG rc = PutName(children[index].name, name, nameSize)) return rc;
    if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
    if (classSize) *classSize = 0;
    if (lastWrite) *lastWrite = FILETIME::from(children[index].lastWrite);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, DWORD* type,
                  BYTE* data, DWORD* dataSize) {
  if (data && !dataSize) return ERROR_INVALID_PARAMETER;
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto values = s.Values(t.id);
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    auto& v = values[index];
    if (LONG rc = PutName(v.name, name, nameSize)) return rc;
    if (type) *type = v.type;
    return PutData(v.data, data, dataSize);
  });
}

LONG RegQueryInfoKey(HKEY key, char* keyClass, DWORD* classSize, DWORD*, DWORD* subKeys,
                     DWORD* maxSubKeyLen, DWORD* maxClassLen, DWORD* values, DWORD* maxValueNameLen,
                     DWORD* maxValueLen, DWORD* securityDescriptor, FILETIME* lastWrite) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    if (LONG rc = TargetOf(s, key, t)) return rc;
    if (!(t.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    auto children = s.Children(t.id);
    auto vals = s.Values(t.id);
    if (keyClass && classSize && *classSize > 0) keyClass[0] = 0;
    if (classSize) *classSize = 0;
    if (subKeys) *subKeys = DWORD(children.size());
    DWORD maxKey = 0, maxName = 0, maxData = 0;
    for (auto& c : children) maxKey = std::max(maxKey, DWORD(c.name.size()));
    for (auto& v : vals) {
      maxName = std::max(maxName, DWORD(v.name.size()));
      maxData = std::max(maxData, DWORD(v.data.size()));
    }
    if (maxSubKeyLen) *maxSubKeyLen = maxKey;
    if (maxClassLen) *maxClassLen = 0;
    if (values) *values = DWORD(vals.size());
    if (maxValueNameLen) *maxValueNameLen = maxName;
    if (maxValueLen) *maxValueLen = maxData;
    if (securityDescriptor) *securityDescriptor = 0;
    if (lastWrite) *lastWrite = FILETIME::from(s.LastWrite(t.id));
    return ERROR_SUCCESS;
  });
}

LONG RegFlushKey(HKEY key) {
  return Run([&](RegistryStore& s) -> LONG {
    Target t;
    return TargetOf(s, key, t);
  });
}

}  // namespace win

// ---- REGEDIT4 text -------------------------------------------------------------------------

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

std::string RegistryFailureText() { return RegistryStore::LastFailure(); }

std::string RegExportText(const std::string& key) {
  std::lock_guard lock(g_storeMutex);
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

  std::lock_guard lock(g_storeMutex);
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
