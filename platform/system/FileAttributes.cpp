#include "platform/system/FileAttributes.h"

#include <optional>

#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"

namespace win {

namespace {
constexpr DWORD kStoredBits =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | 0x1000 /*offline*/ | 0x2000 /*not indexed*/;

// The records below a folder are those in [key + "\\", key + "]"): ']' follows '\\', and
// keys compare bytewise, so the range holds exactly the keys that start with key + "\\"
// (and the primary key index serves it). A drive's root ends in its separator already.
std::string BelowFrom(const std::string& key) { return key.back() == '\\' ? key : key + "\\"; }
std::string BelowTo(const std::string& key) {
  std::string from = BelowFrom(key);
  from.back() = ']';
  return from;
}

// The records of key and below it, as one range of the primary key: [key, key + "]") holds
// key, the keys below it, and keys that only start with key ("A.TXT" for "A"). Written
// "path = ? OR (range below)", the query took two searches and a set to merge them.
constexpr const char* kDeleteKeyAndBelow =
    "DELETE FROM attrs WHERE path >= ?1 AND path < ?2 AND (path = ?1 OR path >= ?3)";
void BindKeyAndBelow(SqliteStatement& st, const std::string& key) {
  st.Bind(1, key).Bind(2, BelowTo(key)).Bind(3, BelowFrom(key));
}

// A placement asks for the same few files' records several times, between two of its own
// writes and inside its transaction. Every write below reports to it.
SqliteReadCache<std::optional<DWORD>>& Records() {
  static auto* c = new SqliteReadCache<std::optional<DWORD>>();
  return *c;
}

bool StoredRecord(Machine& m, const std::string& key, DWORD& value) {
  SqliteDb& db = m.State();
  std::optional<DWORD> found = Records().Lookup(db, key, [&]() -> std::optional<DWORD> {
    auto st = db.Prepare("SELECT attrs FROM attrs WHERE path = ?");
    st.Bind(1, key);
    if (!st.Step()) return std::nullopt;
    return DWORD(st.ColumnInt(0));
  });
  if (found) value = *found;
  return found.has_value();
}
}  // namespace

DWORD StoredAttributes(Machine& m, const std::string& key, bool isDirectory) {
  DWORD value;
  if (StoredRecord(m, key, value)) return value & kStoredBits;
  return isDirectory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
}

std::unordered_map<std::string, DWORD> StoredAttributesIn(Machine& m,
                                                          const std::string& folderKey) {
  std::unordered_map<std::string, DWORD> out;
  std::string from = BelowFrom(folderKey);
  auto st = m.State().Prepare("SELECT path, attrs FROM attrs WHERE path >= ? AND path < ?");
  st.Bind(1, from).Bind(2, BelowTo(folderKey));
  while (st.Step()) {
    std::string path = st.ColumnText(0);
    if (path.find('\\', from.size()) != std::string::npos) continue;  // deeper down
    out.emplace(path.substr(from.size()), DWORD(st.ColumnInt(1)));
  }
  return out;
}

DWORD StoredAttributesFrom(const std::unordered_map<std::string, DWORD>& records,
                           const std::string& name, bool isDirectory) {
  auto it = records.find(FoldCase(name));
  if (it != records.end()) return it->second & kStoredBits;
  return isDirectory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
}

DWORD ReportedAttributes(DWORD stored, bool isDirectory, bool readOnlyDrive) {
  DWORD a = stored;
  if (isDirectory) a |= FILE_ATTRIBUTE_DIRECTORY;
  if (readOnlyDrive && !isDirectory) a |= FILE_ATTRIBUTE_READONLY;
  return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

void StoreAttributes(Machine& m, const std::string& key, DWORD attributes) {
  DWORD bits = attributes & kStoredBits, value;
  // A read is much cheaper than a write: the record often holds the value already.
  if (StoredRecord(m, key, value) && value == bits) return;
  auto st = m.State().Prepare("INSERT OR REPLACE INTO attrs(path, attrs) VALUES(?, ?)");
  st.Bind(1, key).Bind(2, std::int64_t(bits));
  st.Step();
  Records().Wrote(m.State(), key, bits);
}

void StoreFileAttributes(Machine& m, const std::string& key, DWORD attributes) {
  if ((attributes & kStoredBits) != FILE_ATTRIBUTE_ARCHIVE)
    return StoreAttributes(m, key, attributes);
  // The archive bit alone is what a file without a record has: drop a record if any.
  DWORD value;
  if (!StoredRecord(m, key, value)) return;
  auto st = m.State().Prepare("DELETE FROM attrs WHERE path = ?");
  st.Bind(1, key);
  st.Step();
  Records().Wrote(m.State(), key, std::nullopt);
}

void ForgetAttributes(Machine& m, const std::string& key) {
  auto st = m.State().Prepare(kDeleteKeyAndBelow);
  BindKeyAndBelow(st, key);
  st.Step();
  Records().DroppedBelow(m.State(), key, '\\');
  Records().Wrote(m.State(), key, std::nullopt);
}

void MoveAttributes(Machine& m, const std::string& a, const std::string& b) {
  if (a == b) return;
  SqliteTransaction tx(m.State());
  {
    auto del = m.State().Prepare(kDeleteKeyAndBelow);
    BindKeyAndBelow(del, b);
    del.Step();
  }
  auto st = m.State().Prepare(
      "UPDATE attrs SET path = ? || substr(path, ?) WHERE path = ? OR (path >= ? AND path < ?)");
  st.Bind(1, b)
      .Bind(2, std::int64_t(a.size() + 1))
      .Bind(3, a)
      .Bind(4, BelowFrom(a))
      .Bind(5, BelowTo(a));
  st.Step();
  Records().Dropped(m.State());
  tx.Commit();
}

}  // namespace win
