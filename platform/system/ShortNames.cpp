#include "platform/system/ShortNames.h"

#include <cstring>
#include <set>

#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;

namespace win {

namespace {

bool IsShortChar(unsigned char c) {
  if (c >= 0x80) return false;
  if (std::isalnum(c)) return true;
  return std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
}

// Characters kept in a generated short name; others are dropped or replaced by '_'.
std::string ShortPart(const std::string& s, size_t max) {
  std::string out;
  for (size_t i = 0; i < s.size() && out.size() < max; ++i) {
    unsigned char c = s[i];
    if (c == ' ' || c == '.') continue;
    if (c >= 0x80) {
      // One '_' per UTF-8 character.
      while (i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xC0) == 0x80) ++i;
      out += '_';
    } else if (IsShortChar(c)) {
      out += char(std::toupper(c));
    } else {
      out += '_';
    }
  }
  return out;
}

std::string DirKey(const fs::path& dir) { return CanonicalKey(dir); }

}  // namespace

bool IsShortName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return !name.empty();
  size_t dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  if (dot != std::string::npos && ext.empty()) return false;
  if (ext.find('.') != std::string::npos) return false;
  for (unsigned char c : base + ext)
    if (!IsShortChar(c)) return false;
  return true;
}

std::string ShortNameOf(Machine& m, const fs::path& dir, const std::string& longName) {
  if (IsShortName(longName)) {
    // A valid 8.3 name in mixed case has its upper-case form as short name.
    std::string up = longName;
    for (auto& ch : up) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    return up;
  }
  std::string key = DirKey(dir);
  std::string folded = FoldCase(longName);
  auto& db = m.State();
  {
    auto st = db.Prepare("SELECT short FROM shortnames WHERE dir = ? AND long = ?");
    st.Bind(1, key).Bind(2, folded);
    if (st.Step()) return st.ColumnText(0);
  }
  size_t dot = longName.rfind('.');
  std::string base = ShortPart(dot == std::string::npos ? longName : longName.substr(0, dot), 8);
  std::string ext = dot == std::string::npos ? "" : ShortPart(longName.substr(dot + 1), 3);
  if (base.empty()) base = "_";
  // Names taken in the folder: real 8.3 names of entries and short names already given.
  std::set<std::string> taken;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    taken.insert(FoldCase(it->path().filename().string()));
  {
    auto st = db.Prepare("SELECT short FROM shortnames WHERE dir = ?");
    st.Bind(1, key);
    while (st.Step()) taken.insert(FoldCase(st.ColumnText(0)));
  }
  for (int n = 1; n < 1000000; ++n) {
    std::string suffix = "~" + std::to_string(n);
    std::string cand = base.substr(0, std::min(base.size(), 8 - suffix.size())) + suffix;
    if (!ext.empty()) cand += "." + ext;
    if (taken.count(cand)) continue;
    auto ins = db.Prepare("INSERT OR REPLACE INTO shortnames(dir, long, short) VALUES(?,?,?)");
    ins.Bind(1, key).Bind(2, folded).Bind(3, cand);
    ins.Step();
    return cand;
  }
  return longName;
}

std::string LongNameOfShort(Machine& m, const fs::path& dir, const std::string& shortName) {
  std::string key = DirKey(dir);
  std::string folded = FoldCase(shortName);
  std::string longFolded;
  try {
    auto st = m.State().Prepare("SELECT long FROM shortnames WHERE dir = ? AND short = ?");
    st.Bind(1, key).Bind(2, folded);
    if (!st.Step()) return "";
    longFolded = st.ColumnText(0);
  } catch (const std::exception&) {
    return "";
  }
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (FoldCase(entry) == longFolded) return entry;
  }
  return "";
}

void ForgetShortName(Machine& m, const fs::path& dir, const std::string& longName) {
  try {
    auto st = m.State().Prepare("DELETE FROM shortnames WHERE dir = ? AND long = ?");
    st.Bind(1, DirKey(dir)).Bind(2, FoldCase(longName));
    st.Step();
  } catch (const std::exception&) {
  }
}

}  // namespace win
