#include "platform/system/FileAttributes.h"

#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;

namespace win {

namespace {
constexpr DWORD kStoredBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_TEMPORARY | 0x1000 /*offline*/ | 0x2000 /*not indexed*/;

// Escapes LIKE wildcards so that a folder's records can be matched by prefix.
std::string LikePrefix(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out + "/%";
}
}  // namespace

DWORD StoredAttributes(Machine& m, const fs::path& host, bool isDirectory) {
  auto st = m.State().Prepare("SELECT attrs FROM attrs WHERE path = ?");
  st.Bind(1, CanonicalKey(host));
  if (st.Step()) return DWORD(st.ColumnInt(0)) & kStoredBits;
  return isDirectory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
}

void StoreAttributes(Machine& m, const fs::path& host, DWORD attributes) {
  auto st = m.State().Prepare("INSERT OR REPLACE INTO attrs(path, attrs) VALUES(?, ?)");
  st.Bind(1, CanonicalKey(host)).Bind(2, std::int64_t(attributes & kStoredBits));
  st.Step();
}

void ForgetAttributes(Machine& m, const fs::path& host) {
  std::string key = CanonicalKey(host);
  auto st = m.State().Prepare("DELETE FROM attrs WHERE path = ? OR path LIKE ? ESCAPE '\\'");
  st.Bind(1, key).Bind(2, LikePrefix(key));
  st.Step();
}

void MoveAttributes(Machine& m, const fs::path& from, const fs::path& to) {
  std::string a = CanonicalKey(from), b = CanonicalKey(to);
  if (a == b) return;
  SqliteTransaction tx(m.State());
  {
    auto del = m.State().Prepare("DELETE FROM attrs WHERE path = ? OR path LIKE ? ESCAPE '\\'");
    del.Bind(1, b).Bind(2, LikePrefix(b));
    del.Step();
  }
  auto st = m.State().Prepare(
      "UPDATE attrs SET path = ? || substr(path, ?) WHERE path = ? OR path LIKE ? ESCAPE '\\'");
  st.Bind(1, b).Bind(2, std::int64_t(a.size() + 1)).Bind(3, a).Bind(4, LikePrefix(a));
  st.Step();
  tx.Commit();
}

}  // namespace win
