#include "platform/system/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/ShortNames.h"
#include "platform/system/Sqlite.h"

namespace fs = std::filesystem;

namespace win {

namespace {

// Names the machine writes before renaming them into place; no listing shows them.
constexpr const char* kTempPrefix = ".~wi";
// The attribute bits kept in state.db (FileAttributes.cpp).
constexpr DWORD kStoredBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | 0x1000 | 0x2000;
constexpr std::uint64_t kEpochTicks = 11644473600ULL * 10000000ULL;

FILETIME Ft(const struct timespec& ts) {
  return FILETIME::from(kEpochTicks + std::uint64_t(ts.tv_sec) * 10000000ULL + std::uint64_t(ts.tv_nsec) / 100);
}

bool Skipped(const char* n) {
  return (n[0] == '.' && (!n[1] || (n[1] == '.' && !n[2]))) || std::strncmp(n, kTempPrefix, 4) == 0;
}

struct Dir {
  DIR* d = nullptr;
  explicit Dir(const fs::path& p) : d(::opendir(p.c_str())) {}
  ~Dir() {
    if (d) ::closedir(d);
  }
};

// The folder's host path, or false with the last error set.
bool OpenFolder(const std::string& winDir, Machine::Resolved& r) {
  if (!Machine::Current().Resolve(winDir, r)) return false;
  struct stat st;
  if (::stat(r.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

// Stored attributes of the folder's entries by name (one range query over the keys below
// the folder; deeper records are passed over).
std::unordered_map<std::string, DWORD> StoredAttributesBelow(Machine& m, const std::string& key) {
  std::unordered_map<std::string, DWORD> out;
  auto st = m.State().Prepare("SELECT path, attrs FROM attrs WHERE path >= ? AND path < ?");
  st.Bind(1, key + "/").Bind(2, key + "0");
  while (st.Step()) {
    std::string path = st.ColumnText(0);
    std::string name = path.substr(key.size() + 1);
    if (name.find('/') == std::string::npos) out[name] = DWORD(st.ColumnInt(1)) & kStoredBits;
  }
  return out;
}

// Short names already given in the folder, by folded long name.
std::unordered_map<std::string, std::string> GivenShortNames(Machine& m, const std::string& key) {
  std::unordered_map<std::string, std::string> out;
  auto st = m.State().Prepare("SELECT long, short FROM shortnames WHERE dir = ?");
  st.Bind(1, key);
  while (st.Step()) out[st.ColumnText(0)] = st.ColumnText(1);
  return out;
}

}  // namespace

bool ListFolder(const std::string& winDir, std::vector<WIN32_FIND_DATA>& out) {
  out.clear();
  Machine::Resolved r;
  if (!OpenFolder(winDir, r)) return false;
  Dir dir(r.host);
  if (!dir.d) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    return false;
  }
  try {
    Machine& m = Machine::Current();
    const std::string key = CanonicalKey(r.host);
    const auto stored = StoredAttributesBelow(m, key);
    const auto shortNames = GivenShortNames(m, key);
    std::vector<std::pair<std::string, WIN32_FIND_DATA>> entries;
    std::vector<std::size_t> unnamed;  // long names without a short name yet
    const int fd = ::dirfd(dir.d);
    while (dirent* e = ::readdir(dir.d)) {
      if (Skipped(e->d_name)) continue;
      struct stat st;
      if (::fstatat(fd, e->d_name, &st, 0) != 0) continue;  // gone since, or a broken link
      WIN32_FIND_DATA d;
      d.cFileName = e->d_name;
      const bool isDir = S_ISDIR(st.st_mode);
      DWORD attrs;
      if (e->d_type == DT_LNK) {
        // A link's record is kept under its target's key: the full way for it.
        std::string path = r.windows.back() == '\\' ? r.windows : r.windows + '\\';
        attrs = GetFileAttributes(path + d.cFileName);
        if (attrs == INVALID_FILE_ATTRIBUTES) continue;
      } else {
        auto it = stored.find(d.cFileName);
        attrs = it != stored.end() ? it->second : isDir ? 0 : FILE_ATTRIBUTE_ARCHIVE;
        if (isDir) attrs |= FILE_ATTRIBUTE_DIRECTORY;
        if (r.readOnly && !isDir) attrs |= FILE_ATTRIBUTE_READONLY;
        if (!attrs) attrs = FILE_ATTRIBUTE_NORMAL;
      }
      d.dwFileAttributes = attrs;
      d.ftLastWriteTime = Ft(st.st_mtim);
      d.ftLastAccessTime = Ft(st.st_atim);
      d.ftCreationTime = d.ftLastWriteTime;
      const std::uint64_t size = isDir ? 0 : std::uint64_t(st.st_size);
      d.nFileSizeHigh = DWORD(size >> 32);
      d.nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
      std::string folded = FoldCase(d.cFileName);
      std::string alt;
      if (IsShortName(d.cFileName)) {
        alt = d.cFileName;
        for (auto& c : alt) c = char(std::toupper(static_cast<unsigned char>(c)));
      } else if (auto it = shortNames.find(folded); it != shortNames.end()) {
        alt = it->second;
      } else {
        unnamed.push_back(entries.size());  // given below, kept from then on
      }
      if (!alt.empty() && alt != d.cFileName) d.cAlternateFileName = alt;
      entries.emplace_back(std::move(folded), std::move(d));
    }
    if (!unnamed.empty()) {
      SqliteTransaction tx(m.State());
      for (std::size_t i : unnamed) {
        WIN32_FIND_DATA& d = entries[i].second;
        std::string alt = ShortNameOf(m, r.host, d.cFileName);
        if (alt != d.cFileName) d.cAlternateFileName = alt;
      }
      tx.Commit();
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    out.reserve(entries.size());
    for (auto& e : entries) out.push_back(std::move(e.second));
  } catch (const std::exception&) {
    out.clear();
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
  return true;
}

bool FolderHasSubFolder(const std::string& winDir) {
  Machine::Resolved r;
  if (!OpenFolder(winDir, r)) return false;
  Dir dir(r.host);
  if (!dir.d) return false;
  const int fd = ::dirfd(dir.d);
  while (dirent* e = ::readdir(dir.d)) {
    if (Skipped(e->d_name)) continue;
    if (e->d_type == DT_DIR) return true;
    struct stat st;
    if ((e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) && ::fstatat(fd, e->d_name, &st, 0) == 0 &&
        S_ISDIR(st.st_mode))
      return true;
  }
  return false;
}

}  // namespace win
