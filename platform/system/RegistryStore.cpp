#include "platform/system/RegistryStore.h"

#include <sqlite3.h>

#include <cstdio>
#include <mutex>

#include "platform/system/Clock.h"
#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

namespace win {

namespace {

std::mutex g_failureMutex;
std::string g_lastFailure;

std::vector<BYTE> Blob(const std::vector<std::uint8_t>& b) {
  return std::vector<BYTE>(b.begin(), b.end());
}

// A value row from the columns name, type, data.
RegValueRow ValueRow(SqliteStatement& st) {
  return {st.ColumnText(0), DWORD(st.ColumnInt(1)), Blob(st.ColumnBlob(2))};
}

}  // namespace

RegistryStore::RegistryStore(Machine& m) : m_(m) {}

RegistryStore RegistryStore::ForCurrent() { return RegistryStore(Machine::Current()); }

void RegistryStore::NoteFailure(const std::string& what) {
  std::lock_guard lock(g_failureMutex);
  g_lastFailure = what;
}

std::string RegistryStore::LastFailure() {
  std::lock_guard lock(g_failureMutex);
  return g_lastFailure;
}

SqliteDb& RegistryStore::Db() {
  SqliteDb& db = m_.RegistryDb();
  return db;
}

// Windows counts names in UTF-16 units: a character past U+FFFF takes two.
std::string RegistryStore::KeyNameProblem(const std::string& name) {
  if (CountUtf16Units(name) > kMaxKeyNameChars)
    return "a key name longer than " + std::to_string(kMaxKeyNameChars) + " characters";
  return "";
}

std::string RegistryStore::ValueNameProblem(const std::string& name) {
  if (CountUtf16Units(name) > kMaxValueNameChars)
    return "a value name longer than " + std::to_string(kMaxValueNameChars) + " characters";
  return "";
}

size_t RegistryStore::Depth(std::int64_t id) {
  // Walked in SQL: one statement however deep the key lies. The walk stops past the limit,
  // which is all a caller needs to know (and what ends it on a damaged chain of parents).
  auto st = Db().Prepare(
      "WITH RECURSIVE up(id, depth) AS (SELECT parent, 0 FROM keys WHERE id = ?"
      " UNION ALL SELECT k.parent, up.depth + 1 FROM keys k JOIN up ON k.id = up.id"
      " WHERE up.depth <= ?) SELECT max(depth) FROM up");
  st.Bind(1, id).Bind(2, std::int64_t(kMaxKeyDepth));
  return st.Step() ? size_t(st.ColumnInt(0)) : 0;
}

std::int64_t RegistryStore::RootId(const std::string& name) {
  auto st = Db().Prepare("SELECT id FROM keys WHERE parent = 0 AND folded = ?");
  st.Bind(1, name);
  if (!st.Step()) throw RegistryFailure(ERROR_BADDB, "registry root missing: " + name);
  return st.ColumnInt(0);
}

std::int64_t RegistryStore::EnsurePath(std::int64_t parent, const std::vector<std::string>& parts) {
  std::int64_t id = parent;
  size_t i = 0;
  for (; i < parts.size(); ++i) {
    auto c = FindChild(id, parts[i]);
    if (!c) break;
    id = c->id;
  }
  if (i == parts.size()) return id;
  std::vector<std::string> rest(parts.begin() + std::ptrdiff_t(i), parts.end());
  return CreatePath(id, "", rest);
}

std::optional<RegRoot> RegistryStore::PredefinedRoot(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE)
    return RegRoot{RootId("HKEY_LOCAL_MACHINE"), true, "HKEY_LOCAL_MACHINE"};
  if (key == HKEY_USERS) return RegRoot{RootId("HKEY_USERS"), false, "HKEY_USERS"};
  if (key == HKEY_CURRENT_USER) {
    std::string user = m_.Settings().userName;
    std::int64_t id = EnsurePath(RootId("HKEY_USERS"), {user});
    auto row = FindChild(RootId("HKEY_USERS"), user);
    return RegRoot{id, false, "HKEY_USERS\\" + (row ? row->name : user)};
  }
  if (key == HKEY_CLASSES_ROOT) {
    std::int64_t id = EnsurePath(RootId("HKEY_LOCAL_MACHINE"), {"SOFTWARE", "Classes"});
    return RegRoot{id, true, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"};
  }
  if (key == HKEY_CURRENT_CONFIG) {
    std::vector<std::string> p = {"SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current"};
    std::int64_t id = EnsurePath(RootId("HKEY_LOCAL_MACHINE"), p);
    return RegRoot{id, true,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"};
  }
  return std::nullopt;
}

std::optional<RegRoot> RegistryStore::KeyByName(const std::string& fullName, bool create) {
  auto parts = SplitNonEmpty(fullName, '\\');
  if (parts.empty()) return std::nullopt;
  std::string r = FoldCase(parts[0]);
  HKEY root = nullptr;
  if (r == "HKEY_LOCAL_MACHINE" || r == "HKLM")
    root = HKEY_LOCAL_MACHINE;
  else if (r == "HKEY_CURRENT_USER" || r == "HKCU")
    root = HKEY_CURRENT_USER;
  else if (r == "HKEY_USERS" || r == "HKU")
    root = HKEY_USERS;
  else if (r == "HKEY_CLASSES_ROOT" || r == "HKCR")
    root = HKEY_CLASSES_ROOT;
  else if (r == "HKEY_CURRENT_CONFIG" || r == "HKCC")
    root = HKEY_CURRENT_CONFIG;
  if (!root) return std::nullopt;
  auto base = PredefinedRoot(root);
  if (!base) return std::nullopt;
  RegRoot out = *base;
  for (size_t i = 1; i < parts.size(); ++i) {
    auto c = FindChild(out.id, parts[i]);
    if (!c) {
      if (!create) return std::nullopt;
      std::vector<std::string> rest(parts.begin() + std::ptrdiff_t(i), parts.end());
      out.id = CreatePath(out.id, out.path, rest);
      for (auto& p : rest) out.path += "\\" + p;
      return out;
    }
    out.id = c->id;
    out.path += "\\" + c->name;
  }
  return out;
}

bool RegistryStore::KeyExists(std::int64_t id) {
  auto st = Db().Prepare("SELECT 1 FROM keys WHERE id = ?");
  st.Bind(1, id);
  return st.Step();
}

std::optional<RegKeyRow> RegistryStore::FindChild(std::int64_t parent, const std::string& name) {
  auto st = Db().Prepare("SELECT id, name, lastwrite FROM keys WHERE parent = ? AND folded = ?");
  st.Bind(1, parent).Bind(2, FoldCase(name));
  if (!st.Step()) return std::nullopt;
  return RegKeyRow{st.ColumnInt(0), st.ColumnText(1), std::uint64_t(st.ColumnInt(2))};
}

std::int64_t RegistryStore::CreatePath(std::int64_t parent, const std::string& parentPath,
                                       const std::vector<std::string>& parts) {
  for (auto& p : parts)
    if (std::string problem = KeyNameProblem(p); !problem.empty())
      throw RegistryFailure(ERROR_INVALID_PARAMETER, problem);
  if (!parts.empty() && Depth(parent) + parts.size() > kMaxKeyDepth)
    throw RegistryFailure(ERROR_INVALID_PARAMETER,
                          "a key deeper than " + std::to_string(kMaxKeyDepth) + " levels");
  SqliteDb& db = Db();
  SqliteTransaction tx(db);
  std::int64_t id = parent;
  std::string path = parentPath;
  std::vector<std::string> created;
  std::int64_t now = std::int64_t(clock::Now());
  for (auto& p : parts) {
    // Another process may have made it meanwhile.
    auto c = FindChild(id, p);
    path += "\\" + (c ? c->name : p);
    if (c) {
      id = c->id;
      continue;
    }
    auto st = db.Prepare("INSERT INTO keys(parent, name, folded, lastwrite) VALUES(?,?,?,?)");
    st.Bind(1, id).Bind(2, p).Bind(3, FoldCase(p)).Bind(4, now);
    st.Step();
    Touch(id);
    id = db.LastInsertRowId();
    created.push_back(path);
  }
  tx.Commit();
  if (!parentPath.empty())
    for (auto& c : created) m_.Journal("registry", "key created " + c);
  return id;
}

std::vector<RegKeyRow> RegistryStore::Children(std::int64_t id) {
  std::vector<RegKeyRow> out;
  auto st = Db().Prepare("SELECT id, name, lastwrite FROM keys WHERE parent = ? ORDER BY folded");
  st.Bind(1, id);
  while (st.Step())
    out.push_back({st.ColumnInt(0), st.ColumnText(1), std::uint64_t(st.ColumnInt(2))});
  return out;
}

std::vector<RegValueRow> RegistryStore::Values(std::int64_t id) {
  std::vector<RegValueRow> out;
  auto st = Db().Prepare("SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
  st.Bind(1, id);
  while (st.Step()) out.push_back(ValueRow(st));
  return out;
}

std::optional<RegValueRow> RegistryStore::FindValue(std::int64_t id, const std::string& name) {
  auto st = Db().Prepare("SELECT name, type, data FROM vals WHERE key = ? AND folded = ?");
  st.Bind(1, id).Bind(2, FoldCase(name));
  if (!st.Step()) return std::nullopt;
  return ValueRow(st);
}

std::uint64_t RegistryStore::LastWrite(std::int64_t id) {
  auto st = Db().Prepare("SELECT lastwrite FROM keys WHERE id = ?");
  st.Bind(1, id);
  return st.Step() ? std::uint64_t(st.ColumnInt(0)) : 0;
}

void RegistryStore::Touch(std::int64_t id) {
  auto st = Db().Prepare("UPDATE keys SET lastwrite = ? WHERE id = ?");
  st.Bind(1, std::int64_t(clock::Now())).Bind(2, id);
  st.Step();
}

void RegistryStore::SetValue(std::int64_t id, const std::string& path, const std::string& name,
                             DWORD type, const std::vector<BYTE>& data) {
  if (std::string problem = ValueNameProblem(name); !problem.empty())
    throw RegistryFailure(ERROR_INVALID_PARAMETER, problem);
  SqliteDb& db = Db();
  SqliteTransaction tx(db);
  if (!KeyExists(id)) throw RegistryFailure(ERROR_KEY_DELETED, "key deleted");
  // An existing value keeps its place (and the spelling of its name) in the enumeration.
  auto up = db.Prepare("UPDATE vals SET type = ?, data = ? WHERE key = ? AND folded = ?");
  up.Bind(1, std::int64_t(type)).BindBlob(2, std::vector<std::uint8_t>(data.begin(), data.end()));
  up.Bind(3, id).Bind(4, FoldCase(name));
  up.Step();
  if (db.Changes() == 0) {
    auto st = db.Prepare("INSERT INTO vals(key, name, folded, type, data) VALUES(?,?,?,?,?)");
    st.Bind(1, id).Bind(2, name).Bind(3, FoldCase(name)).Bind(4, std::int64_t(type));
    st.BindBlob(5, std::vector<std::uint8_t>(data.begin(), data.end()));
    st.Step();
  }
  Touch(id);
  tx.Commit();
  m_.Journal("registry", "value set " + path + "\\[" + (name.empty() ? "(par défaut)" : name) +
                             "] = " + DescribeValue(type, data));
}

bool RegistryStore::DeleteValue(std::int64_t id, const std::string& path, const std::string& name) {
  SqliteDb& db = Db();
  SqliteTransaction tx(db);
  auto st = db.Prepare("DELETE FROM vals WHERE key = ? AND folded = ?");
  st.Bind(1, id).Bind(2, FoldCase(name));
  st.Step();
  if (db.Changes() == 0) return false;
  Touch(id);
  tx.Commit();
  m_.Journal("registry",
             "value deleted " + path + "\\[" + (name.empty() ? "(par défaut)" : name) + "]");
  return true;
}

bool RegistryStore::HasSubKeys(std::int64_t id) {
  auto st = Db().Prepare("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  st.Bind(1, id);
  return st.Step();
}

bool RegistryStore::IsRootOrPredefined(std::int64_t id) {
  {
    auto st = Db().Prepare("SELECT parent FROM keys WHERE id = ?");
    st.Bind(1, id);
    if (!st.Step()) return false;
    if (st.ColumnInt(0) == 0) return true;
  }
  // The keys that predefined handles stand for (which may be made here: the read is over).
  for (HKEY k : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG}) {
    auto r = PredefinedRoot(k);
    if (r && r->id == id) return true;
  }
  return false;
}

void RegistryStore::DeleteTree(std::int64_t id, const std::string& path) {
  DeleteTreeRows(id);
  m_.Journal("registry", "key deleted " + path);
}

void RegistryStore::DeleteTreeRows(std::int64_t id) {
  SqliteDb& db = Db();
  SqliteTransaction tx(db);
  db.Exec(
      "CREATE TEMP TABLE IF NOT EXISTS doomed(id INTEGER PRIMARY KEY); DELETE FROM temp.doomed;");
  auto st = db.Prepare(
      "WITH RECURSIVE t(id) AS (SELECT ? UNION ALL SELECT k.id FROM keys k JOIN t ON k.parent = "
      "t.id)"
      " INSERT INTO temp.doomed SELECT id FROM t");
  st.Bind(1, id);
  st.Step();
  auto parent = db.Prepare("SELECT parent FROM keys WHERE id = ?");
  parent.Bind(1, id);
  std::int64_t p = parent.Step() ? parent.ColumnInt(0) : 0;
  db.Exec(
      "DELETE FROM vals WHERE key IN (SELECT id FROM temp.doomed);"
      "DELETE FROM keys WHERE id IN (SELECT id FROM temp.doomed);"
      "DELETE FROM temp.doomed;");
  if (p) Touch(p);
  tx.Commit();
}

namespace {
thread_local int t_systemRights = 0;
}
SystemRights::SystemRights() { ++t_systemRights; }
SystemRights::~SystemRights() { --t_systemRights; }
bool SystemRights::Active() { return t_systemRights > 0; }

bool RegistryStore::WriteRefused(bool machineHive) const {
  return !SystemRights::Active() && machineHive && m_.IsNT() && !m_.Settings().admin;
}

bool RegistryStore::IsNT() const { return m_.IsNT(); }

std::string RegistryStore::DescribeValue(DWORD type, const std::vector<BYTE>& data) {
  auto text = [&](const std::vector<BYTE>& d) {
    std::string s(d.begin(), d.end());
    while (!s.empty() && s.back() == '\0') s.pop_back();
    return s;
  };
  char buf[64];
  switch (type) {
    case REG_SZ:
      return "\"" + text(data) + "\"";
    case REG_EXPAND_SZ:
      return "(expand) \"" + text(data) + "\"";
    case REG_DWORD:
      if (data.size() == 4) {
        DWORD v =
            DWORD(data[0]) | DWORD(data[1]) << 8 | DWORD(data[2]) << 16 | DWORD(data[3]) << 24;
        std::snprintf(buf, sizeof buf, "dword:%08x (%u)", v, v);
        return buf;
      }
      break;
    case REG_MULTI_SZ: {
      std::string out = "(multi)";
      std::string cur;
      std::string s(data.begin(), data.end());
      size_t i = 0;
      while (i < s.size()) {
        size_t z = s.find('\0', i);
        if (z == std::string::npos) z = s.size();
        if (z == i) break;
        out += " \"" + s.substr(i, z - i) + "\"";
        i = z + 1;
      }
      return out;
    }
    default:
      break;
  }
  std::string out = "hex(" + std::to_string(type) + "):";
  for (size_t i = 0; i < data.size() && i < 64; ++i) {
    std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "", data[i]);
    out += buf;
  }
  if (data.size() > 64) out += ",...";
  return out;
}

RegistryBulkWriter::RegistryBulkWriter(RegistryStore& store)
    : db_(store.Db()),
      cachePages_([&] {
        auto st = db_.Prepare("PRAGMA cache_size");
        return st.Step() ? st.ColumnInt(0) : -2000;
      }()),
      tx_(db_),
      lastBefore_([&] {
        auto st = db_.Prepare("SELECT coalesce(max(id), 0) FROM keys");
        return st.Step() ? st.ColumnInt(0) : 0;
      }()),
      now_(std::int64_t(clock::Now())),
      findKey_(db_.Prepare("SELECT id FROM keys WHERE parent = ? AND folded = ?")),
      addKey_(db_.Prepare("INSERT INTO keys(parent, name, folded, lastwrite) VALUES(?,?,?,?)")),
      // A key or value made here may come again in the text: then it is found, not made
      // twice. (An upsert's update part costs a statement journal per row.)
      addKeyOnce_(db_.Prepare("INSERT INTO keys(parent, name, folded, lastwrite) VALUES(?,?,?,?)"
                              " ON CONFLICT(parent, folded) DO NOTHING")),
      updateValue_(db_.Prepare("UPDATE vals SET type = ?, data = ? WHERE key = ? AND folded = ?")),
      deleteValue_(db_.Prepare("DELETE FROM vals WHERE key = ? AND folded = ?")),
      touch_(db_.Prepare("UPDATE keys SET lastwrite = ? WHERE id = ?")) {
  // Pages written again and again (the ends of the tables and their indexes) stay in memory
  // rather than go to the log each time the cache fills.
  db_.Exec("PRAGMA cache_size = -65536");
  auto prepare = [&](std::size_t rows, sqlite3_stmt** st) {
    std::string sql = "INSERT INTO vals(key, name, folded, type, data) VALUES(?,?,?,?,?)";
    for (std::size_t i = 1; i < rows; ++i) sql += ",(?,?,?,?,?)";
    sql += " ON CONFLICT(key, folded) DO NOTHING";
    if (int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, st, nullptr); rc != SQLITE_OK)
      throw SqliteError(std::string("prepare: ") + sqlite3_errmsg(db_.get()), rc);
  };
  prepare(1, &addValueOnce_);
  prepare(kRowsAtOnce, &addValuesOnce_);
  pending_.resize(kRowsAtOnce);
}

RegistryBulkWriter::~RegistryBulkWriter() {
  sqlite3_finalize(addValueOnce_);
  sqlite3_finalize(addValuesOnce_);
  try {
    db_.Exec("PRAGMA cache_size = " + std::to_string(cachePages_));
  } catch (const SqliteError&) {
    // Only the memory the connection may keep.
  }
}

std::int64_t RegistryBulkWriter::Child(std::int64_t parent, const std::string& name,
                                       const std::string& folded, bool& created) {
  // Under a key made here, a name is new unless the text gave it before.
  if (MadeHere(parent)) {
    addKeyOnce_.Bind(1, parent).Bind(2, name).Bind(3, folded).Bind(4, now_);
    addKeyOnce_.Step();
    addKeyOnce_.Reset();
    created = db_.Changes() > 0;
    if (created) return db_.LastInsertRowId();
  }
  findKey_.Bind(1, parent).Bind(2, folded);
  const bool found = findKey_.Step();
  const std::int64_t existing = found ? findKey_.ColumnInt(0) : 0;
  findKey_.Reset();
  created = !found;
  if (found) return existing;
  addKey_.Bind(1, parent).Bind(2, name).Bind(3, folded).Bind(4, now_);
  addKey_.Step();
  addKey_.Reset();
  Touch(parent);
  return db_.LastInsertRowId();
}

void RegistryBulkWriter::SetValue(std::int64_t key, const std::string& name,
                                  const std::string& folded, DWORD type,
                                  const std::vector<BYTE>& data) {
  PendingValue& v = pending_[pendingCount_++];
  v.key = key;
  v.name = name;
  v.folded = folded;
  v.type = type;
  v.data = data;
  Touch(key);
  if (pendingCount_ == kRowsAtOnce) Flush();
}

void RegistryBulkWriter::AddValues(sqlite3_stmt* st, std::size_t from, std::size_t rows) {
  int p = 1;
  for (std::size_t i = from; i < from + rows; ++i) {
    const PendingValue& v = pending_[i];
    sqlite3_bind_int64(st, p++, v.key);
    sqlite3_bind_text(st, p++, v.name.data(), int(v.name.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, p++, v.folded.data(), int(v.folded.size()), SQLITE_STATIC);
    sqlite3_bind_int64(st, p++, std::int64_t(v.type));
    sqlite3_bind_blob(st, p++, v.data.data(), int(v.data.size()), SQLITE_STATIC);
  }
  const int rc = sqlite3_step(st);
  sqlite3_reset(st);
  if (rc != SQLITE_DONE) throw SqliteError(std::string("step: ") + sqlite3_errmsg(db_.get()), rc);
}

// The values waiting, in one statement when they make a whole row of them. When some were
// there already (or came twice), each is then written over in turn: an existing value
// keeps its place in the enumeration and the spelling of its name, and the last one the
// text gives wins.
void RegistryBulkWriter::Flush() {
  const std::size_t n = pendingCount_;
  pendingCount_ = 0;
  if (n == 0) return;
  int added = 0;
  if (n == kRowsAtOnce) {
    AddValues(addValuesOnce_, 0, n);
    added = db_.Changes();
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      AddValues(addValueOnce_, i, 1);
      added += db_.Changes();
    }
  }
  if (std::size_t(added) == n) return;
  for (std::size_t i = 0; i < n; ++i) {
    const PendingValue& v = pending_[i];
    updateValue_.Bind(1, std::int64_t(v.type)).BindBlob(2, v.data).Bind(3, v.key).Bind(4, v.folded);
    updateValue_.Step();
    updateValue_.Reset();
  }
}

bool RegistryBulkWriter::DeleteValue(std::int64_t key, const std::string& name) {
  Flush();
  deleteValue_.Bind(1, key).Bind(2, FoldCase(name));
  deleteValue_.Step();
  deleteValue_.Reset();
  if (db_.Changes() == 0) return false;
  Touch(key);
  return true;
}

// Keys made here carry the import's time already; others are marked once in a row.
void RegistryBulkWriter::Touch(std::int64_t key) {
  if (MadeHere(key) || key == touched_) return;
  touch_.Bind(1, now_).Bind(2, key);
  touch_.Step();
  touch_.Reset();
  touched_ = key;
}

void RegistryBulkWriter::Commit() {
  Flush();
  tx_.Commit();
}

}  // namespace win
