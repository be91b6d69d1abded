#include "platform/system/RegistryText.h"

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/system/Machine.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/RegistryTextReader.h"
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

// A text merged into the registry: the keys of the text found or made in turn (the path of
// the last one kept, as a text lists parents before their children), the values set, the
// deletions made; one transaction for the whole text. What it did goes to the journal once
// it is committed.
class RegTextImport {
 public:
  explicit RegTextImport(RegistryStore& s) : s_(s), writer_(s) {}
  void Key(const RegTextEntry& e, int line);
  void Value(const RegTextEntry& e, int line);
  void Commit();

 private:
  struct Root {
    RegRoot key;
    std::size_t depth = 0;
  };
  struct Level {
    std::string folded;
    std::string name;
    std::int64_t id = 0;
  };
  const Root& RootOf(const std::string& name, int line);
  void Remove(const Root& root, const std::vector<std::string>& names, const std::string& path,
              int line);
  std::string CurrentPath() const;
  RegistryStore& s_;
  RegistryBulkWriter writer_;
  std::map<std::string, Root> roots_;  // by the name the text gives, folded
  const Root* root_ = nullptr;         // of the current key
  std::vector<Level> levels_;          // the current key's names below its root
  std::size_t keysMade_ = 0, valuesSet_ = 0;
  std::vector<std::string> journal_;
};

const RegTextImport::Root& RegTextImport::RootOf(const std::string& name, int line) {
  const std::string folded = FoldCase(name);
  auto it = roots_.find(folded);
  if (it != roots_.end()) return it->second;
  auto key = s_.KeyByName(name, true);
  if (!key) throw RegTextError(line, "unknown registry root \"" + EscapeBytes(name) + "\"");
  return roots_[folded] = Root{*key, s_.Depth(key->id)};
}

void RegTextImport::Key(const RegTextEntry& e, int line) {
  const Root& root = RootOf(e.root, line);
  if (root.depth + e.names.size() > kMaxKeyDepth)
    throw RegTextError(line, "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  if (e.remove) return Remove(root, e.names, e.path, line);
  if (&root != root_) levels_.clear();
  root_ = &root;
  std::size_t same = 0;
  while (same < levels_.size() && same < e.names.size() &&
         levels_[same].folded == e.foldedNames[same])
    ++same;
  levels_.resize(same);
  for (std::size_t i = same; i < e.names.size(); ++i) {
    const std::int64_t parent = i ? levels_[i - 1].id : root.key.id;
    bool made = false;
    const std::int64_t id = writer_.Child(parent, e.names[i], e.foldedNames[i], made);
    keysMade_ += made;
    levels_.push_back(Level{e.foldedNames[i], e.names[i], id});
  }
}

// "[-KEY]": the key and everything below it go, when it exists; a root, or a key a
// predefined handle stands for, is an error.
void RegTextImport::Remove(const Root& root, const std::vector<std::string>& names,
                           const std::string& path, int line) {
  levels_.clear();
  root_ = nullptr;
  std::int64_t id = root.key.id;
  std::string full = root.key.path;
  for (const std::string& name : names) {
    auto child = s_.FindChild(id, name);
    if (!child) return;
    id = child->id;
    full += "\\" + child->name;
  }
  if (s_.IsRootOrPredefined(id))
    throw RegTextError(line, "[-" + EscapeBytes(path) + "] would delete a root key");
  writer_.Flush();
  s_.DeleteTreeRows(id);
  journal_.push_back("key deleted " + full);
}

std::string RegTextImport::CurrentPath() const {
  std::string path = root_->key.path;
  for (const Level& l : levels_) path += "\\" + l.name;
  return path;
}

void RegTextImport::Value(const RegTextEntry& e, int) {
  const std::int64_t key = levels_.empty() ? root_->key.id : levels_.back().id;
  if (!e.remove) {
    writer_.SetValue(key, e.name, e.folded, e.type, e.data);
    ++valuesSet_;
  } else if (writer_.DeleteValue(key, e.name)) {
    journal_.push_back("value deleted " + CurrentPath() + "\\[" +
                       (e.name.empty() ? "(par défaut)" : e.name) + "]");
  }
}

void RegTextImport::Commit() {
  writer_.Commit();
  for (const std::string& line : journal_) s_.machine().Journal("registry", line);
  s_.machine().Journal("registry", "text imported: " + std::to_string(keysMade_) +
                                       " keys created, " + std::to_string(valuesSet_) +
                                       " values set");
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
  std::istringstream in(text);
  RegImportStream(in);
}

void RegImportStream(std::istream& in) {
  std::lock_guard lock(RegistryCallMutex());
  RegistryStore s = RegistryStore::ForCurrent();
  RegTextEntries entries(in);
  int number = 1;
  try {
    std::optional<RegTextImport> import;
    const RegTextEntry* entry = nullptr;
    while (entries.Next(entry, number)) {
      // Opened at the first key: a text that is not one fails before the registry is.
      if (!import) import.emplace(s);
      if (entry->kind == RegTextEntry::Kind::Key)
        import->Key(*entry, number);
      else
        import->Value(*entry, number);
    }
    if (import) import->Commit();
  } catch (const RegistryFailure& e) {
    throw RegTextError(number, e.what());
  } catch (const SqliteError& e) {
    throw RegTextError(number, std::string("the registry cannot be written: ") + e.what());
  }
}

}  // namespace win
