#include "platform/system/ShortNames.h"

#include <cstring>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

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
      i = Utf8NextChar(s, i) - 1;  // one '_' per UTF-8 character
      out += '_';
    } else if (IsShortChar(c)) {
      out += char(std::toupper(c));
    } else {
      out += '_';
    }
  }
  return out;
}

std::string DirKey(Machine& m, const fs::path& dir) { return m.StateKeyOfHost(dir.native()); }

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

namespace {

// Names taken in the folder: real 8.3 names of entries and short names already given.
std::set<std::string> TakenNames(Machine& m, const std::string& key,
                                 const std::vector<std::string>& entries) {
  std::set<std::string> taken;
  for (auto& e : entries) taken.insert(FoldCase(e));
  auto st = m.State().Prepare("SELECT short FROM shortnames WHERE dir = ?");
  st.Bind(1, key);
  while (st.Step()) taken.insert(FoldCase(st.ColumnText(0)));
  return taken;
}

std::vector<std::string> ListNames(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    names.push_back(it->path().filename().string());
  return names;
}

// Gives longName the first free NAME~N.EXT of the folder key and records it. firstFree,
// kept across the names of one batch, holds for each NAME.EXT the N below which all are
// taken: names only become taken during a batch, so a folder of many similar names is
// numbered in one pass rather than trying every lower N again for each name.
std::string Assign(Machine& m, const std::string& key, const std::string& longName,
                   std::set<std::string>& taken,
                   std::unordered_map<std::string, int>* firstFree = nullptr) {
  size_t dot = longName.rfind('.');
  std::string base = ShortPart(dot == std::string::npos ? longName : longName.substr(0, dot), 8);
  std::string ext = dot == std::string::npos ? "" : ShortPart(longName.substr(dot + 1), 3);
  if (base.empty()) base = "_";
  int* next = firstFree ? &firstFree->try_emplace(base + "." + ext, 1).first->second : nullptr;
  for (int n = next ? *next : 1; n < 1000000; ++n) {
    std::string suffix = "~" + std::to_string(n);
    std::string cand = base.substr(0, std::min(base.size(), 8 - suffix.size())) + suffix;
    if (!ext.empty()) cand += "." + ext;
    if (!taken.insert(cand).second) continue;
    if (next) *next = n + 1;
    auto ins =
        m.State().Prepare("INSERT OR REPLACE INTO shortnames(dir, long, short) VALUES(?,?,?)");
    ins.Bind(1, key).Bind(2, FoldCase(longName)).Bind(3, cand);
    ins.Step();
    return cand;
  }
  return longName;
}

bool RecordedShortName(Machine& m, const std::string& key, const std::string& longName,
                       std::string& out) {
  auto st = m.State().Prepare("SELECT short FROM shortnames WHERE dir = ? AND long = ?");
  st.Bind(1, key).Bind(2, FoldCase(longName));
  if (!st.Step()) return false;
  out = st.ColumnText(0);
  return true;
}

}  // namespace

std::string ShortNameOf(Machine& m, const std::string& dir, const std::string& longName) {
  // A valid 8.3 name in mixed case has its upper-case form as short name.
  if (IsShortName(longName)) return AsciiUpper(longName);
  std::string key = DirKey(m, dir);
  std::string recorded;
  if (RecordedShortName(m, key, longName, recorded)) return recorded;
  // Read again with the writer's lock held: another process may have given it one meanwhile.
  SqliteTransaction tx(m.State());
  if (RecordedShortName(m, key, longName, recorded)) return recorded;
  std::set<std::string> taken = TakenNames(m, key, ListNames(dir));
  std::string given = Assign(m, key, longName, taken);
  tx.Commit();
  return given;
}

std::unordered_map<std::string, std::string> ShortNamesIn(Machine& m, const std::string& dirKey,
                                                          const std::vector<std::string>& entries,
                                                          const std::vector<std::string>& names) {
  std::unordered_map<std::string, std::string> out;
  std::vector<const std::string*> missing;
  for (auto& n : names) {
    if (IsShortName(n))
      out[n] = AsciiUpper(n);
    else
      missing.push_back(&n);
  }
  // The recorded ones first; those still missing are given theirs with the writer's lock
  // held, after a second look (another process may have given some meanwhile).
  auto takeRecorded = [&] {
    std::unordered_map<std::string, std::string> recorded;  // folded long name -> short name
    auto st = m.State().Prepare("SELECT long, short FROM shortnames WHERE dir = ?");
    st.Bind(1, dirKey);
    while (st.Step()) recorded.emplace(st.ColumnText(0), st.ColumnText(1));
    std::erase_if(missing, [&](const std::string* n) {
      auto it = recorded.find(FoldCase(*n));
      if (it == recorded.end()) return false;
      out[*n] = it->second;
      return true;
    });
  };
  if (missing.empty()) return out;
  takeRecorded();
  if (missing.empty()) return out;
  SqliteTransaction tx(m.State());
  takeRecorded();
  std::set<std::string> taken = TakenNames(m, dirKey, entries);
  std::unordered_map<std::string, int> firstFree;
  for (auto* n : missing) out[*n] = Assign(m, dirKey, *n, taken, &firstFree);
  tx.Commit();
  return out;
}

std::string LongNameOfShort(Machine& m, const fs::path& dir, const std::string& shortName) {
  std::string key = DirKey(m, dir);
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

void ForgetShortName(Machine& m, const std::string& dir, const std::string& longName) {
  if (IsShortName(longName)) return;  // its own short name: never recorded
  try {
    auto st = m.State().Prepare("DELETE FROM shortnames WHERE dir = ? AND long = ?");
    st.Bind(1, DirKey(m, dir)).Bind(2, FoldCase(longName));
    st.Step();
  } catch (const std::exception&) {
  }
}

}  // namespace win
