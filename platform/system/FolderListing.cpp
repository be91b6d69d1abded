#include "platform/system/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "platform/system/Clock.h"
#include "platform/system/FileAttributes.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/Machine.h"
#include "platform/system/ShortNames.h"

namespace fs = std::filesystem;

namespace win {

namespace {

FILETIME Ft(const struct timespec& ts) { return FILETIME::from(clock::FromTimespec(ts)); }

bool IsDots(const char* n) { return n[0] == '.' && (!n[1] || (n[1] == '.' && !n[2])); }

// Neither "." nor ".." nor a file the machine is still writing under its temporary name.
bool Listed(const char* n) { return !IsDots(n) && !IsWriteTempName(n); }

struct Dir {
  DIR* d = nullptr;
  explicit Dir(const std::string& p) : d(::opendir(p.c_str())) {}
  ~Dir() {
    if (d) ::closedir(d);
  }
};

DWORD OpenError(int err) { return err == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND; }

bool Glob(const std::string& pat, size_t pi, const std::string& s, size_t si) {
  while (pi < pat.size()) {
    char c = pat[pi];
    if (c == '*') {
      while (pi < pat.size() && pat[pi] == '*') ++pi;
      if (pi == pat.size()) return true;
      for (size_t k = si; k <= s.size(); ++k)
        if (Glob(pat, pi, s, k)) return true;
      return false;
    }
    if (c == '?') {
      if (si < s.size() && Glob(pat, pi + 1, s, si + 1)) return true;
      if (si == s.size() || s[si] == '.') return Glob(pat, pi + 1, s, si);
      return false;
    }
    if (si >= s.size() || pat[pi] != s[si]) {
      // "name." matches a name without extension.
      if (c == '.' && si == s.size() && pi + 1 == pat.size()) return true;
      return false;
    }
    ++pi;
    ++si;
  }
  return si == s.size();
}

// The state key of the entry name of the folder whose state key is dirKey.
std::string JoinKey(const std::string& dirKey, const std::string& name) {
  return (dirKey.back() == '\\' ? dirKey : dirKey + "\\") + FoldCase(name);
}

// What a listing knows for all its entries at once (null: asked entry by entry).
struct Known {
  const std::unordered_map<std::string, DWORD>* records = nullptr;
  const std::unordered_map<std::string, std::string>* shortNames = nullptr;
};

// at: the folder's descriptor, or AT_FDCWD with path the entry's full host path.
bool Fill(Machine& m, const ListedFolder& dir, int at, const std::string& name, const char* path,
          const Known& known, WIN32_FIND_DATA& d) {
  struct stat st;
  if (::fstatat(at, path, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  const bool link = S_ISLNK(st.st_mode);
  if (link && ::fstatat(at, path, &st, 0) != 0) return false;  // a broken link is not listed
  const bool isDir = S_ISDIR(st.st_mode);
  const bool dots = name == "." || name == "..";
  // A link's attributes are its target's, under the target's key.
  const bool byName = !dots && !link;
  DWORD a = known.records && byName
                ? StoredAttributesFrom(*known.records, name, isDir)
                : StoredAttributes(
                      m, byName ? JoinKey(dir.key, name) : m.StateKeyOfHost(dir.host + "/" + name),
                      isDir);
  d = WIN32_FIND_DATA{};
  d.dwFileAttributes = ReportedAttributes(a, isDir, dir.readOnly);
  d.ftLastWriteTime = Ft(st.st_mtim);
  d.ftLastAccessTime = Ft(st.st_atim);
  d.ftCreationTime = d.ftLastWriteTime;
  const std::uint64_t size = isDir ? 0 : std::uint64_t(st.st_size);
  d.nFileSizeHigh = DWORD(size >> 32);
  d.nFileSizeLow = DWORD(size & 0xFFFFFFFFu);
  d.cFileName = name;
  if (!dots) {
    std::string alt;
    if (auto it =
            known.shortNames ? known.shortNames->find(name) : decltype(known.shortNames->end()){};
        known.shortNames && it != known.shortNames->end())
      alt = it->second;
    else
      alt = ShortNameOf(m, dir.host, name);
    if (alt != name) d.cAlternateFileName = alt;
  }
  return true;
}

}  // namespace

bool MatchMask(const std::string& mask, const std::string& name) {
  std::string m = FoldCase(mask), n = FoldCase(name);
  if (m == "*" || m == "*.*") return true;
  if (Glob(m, 0, n, 0)) return true;
  // "x.*" also matches "x" (a name without a period).
  if (m.size() >= 2 && m.compare(m.size() - 2, 2, ".*") == 0 && n.find('.') == std::string::npos)
    return Glob(m.substr(0, m.size() - 2), 0, n, 0);
  return false;
}

bool ListMatching(Machine& m, const ListedFolder& dir, const std::string& mask, bool withDots,
                  std::vector<WIN32_FIND_DATA>& out) {
  out.clear();
  Dir folder(dir.host);
  if (!folder.d) {
    SetLastError(OpenError(errno));
    return false;
  }
  const int fd = ::dirfd(folder.d);
  // The names, ordered by their folded form.
  std::vector<std::pair<std::string, std::string>> byFolded;
  while (dirent* e = ::readdir(folder.d))
    if (Listed(e->d_name)) byFolded.emplace_back(FoldCase(e->d_name), e->d_name);
  std::sort(byFolded.begin(), byFolded.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> entries;
  entries.reserve(byFolded.size());
  for (auto& e : byFolded) entries.push_back(std::move(e.second));

  // The short names the match needs are read (or given) for the whole folder at once;
  // otherwise only those of the entries matched.
  const bool all = mask == "*" || mask == "*.*";
  const bool wild = mask.find_first_of("*?") != std::string::npos;
  const bool matchShort = !all && (wild || mask.find('~') != std::string::npos);
  std::unordered_map<std::string, std::string> shortNames;
  if (all || matchShort) shortNames = ShortNamesIn(m, dir.key, entries, entries);
  std::vector<std::string> matched;
  if (all) {
    matched = std::move(entries);
  } else {
    for (auto& name : entries) {
      bool match = MatchMask(mask, name);
      if (!match && matchShort && !IsShortName(name)) {
        const std::string& alt = shortNames[name];
        match = wild ? MatchMask(mask, alt) : SameText(alt, mask);
      }
      if (match) matched.push_back(name);
    }
    if (!matchShort) shortNames = ShortNamesIn(m, dir.key, entries, matched);
  }
  Known known;
  known.shortNames = &shortNames;
  std::unordered_map<std::string, DWORD> records;
  if (matched.size() > 4) {
    records = StoredAttributesIn(m, dir.key);
    known.records = &records;
  }
  out.reserve(matched.size() + 2);
  if (withDots)
    for (const char* dots : {".", ".."})
      if (WIN32_FIND_DATA d; MatchMask(mask, dots) && Fill(m, dir, fd, dots, dots, known, d))
        out.push_back(std::move(d));
  // An entry gone since the folder was read is left out.
  for (const auto& name : matched)
    if (WIN32_FIND_DATA d; Fill(m, dir, fd, name, name.c_str(), known, d))
      out.push_back(std::move(d));
  return true;
}

bool FindDataOf(Machine& m, const ListedFolder& dir, const std::string& name,
                const FolderHandle& entry, WIN32_FIND_DATA& d) {
  return Fill(m, dir, entry.dir(), name, entry.name(), Known{}, d);
}

bool ListFolder(const std::string& winDir, std::vector<WIN32_FIND_DATA>& out) {
  out.clear();
  Machine& m = Machine::Current();
  Machine::Resolved r;
  if (!m.Resolve(winDir, r)) return false;
  struct stat st;
  if (::stat(r.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  try {
    return ListMatching(m, {r.host, m.StateKey(r), r.readOnly}, "*", false, out);
  } catch (const std::exception&) {
    out.clear();
    SetLastError(ERROR_GEN_FAILURE);
    return false;
  }
}

bool FolderHasSubFolder(const std::string& winDir) {
  Machine::Resolved r;
  if (!Machine::Current().Resolve(winDir, r)) return false;
  Dir dir(r.host);
  if (!dir.d) return false;
  const int fd = ::dirfd(dir.d);
  while (dirent* e = ::readdir(dir.d)) {
    if (!Listed(e->d_name)) continue;
    if (e->d_type == DT_DIR) return true;
    struct stat st;
    if ((e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) && ::fstatat(fd, e->d_name, &st, 0) == 0 &&
        S_ISDIR(st.st_mode))
      return true;
  }
  return false;
}

}  // namespace win
