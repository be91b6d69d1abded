#include "platform/system/PathResolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <string_view>

#include "platform/system/CacheSwitch.h"
#include "platform/system/DirectoryCache.h"
#include "platform/system/LastError.h"
#include "platform/system/MachineSettings.h"
#include "platform/system/ShortNames.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

namespace {

constexpr DWORD ERROR_BAD_NETPATH = 53;

bool IsBadNameChar(char c) {
  return (unsigned char)c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == ':';
}

}  // namespace

namespace {
// The resolved path of a folder or file, asked of the kernel through an O_PATH descriptor:
// three system calls, where walking the path checks every component.
bool KernelPath(const std::string& path, std::string& out) {
  int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return false;
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char buf[4096];
  ssize_t n = ::readlink(link, buf, sizeof buf);
  ::close(fd);
  if (n <= 0 || n >= ssize_t(sizeof buf) || buf[0] != '/') return false;
  out.assign(buf, size_t(n));
  // A name removed meanwhile is reported with a suffix; let the slow way decide.
  return out.size() < 10 || out.compare(out.size() - 10, 10, " (deleted)") != 0;
}

bool PlainAbsolute(const std::string& s) {
  if (s.empty() || s[0] != '/') return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '/') continue;
    if (i + 1 < s.size() && s[i + 1] == '/') return false;
    if (s.compare(i, 3, "/./") == 0 || s.compare(i, 4, "/../") == 0) return false;
    if (s.compare(i, std::string::npos, "/.") == 0 || s.compare(i, std::string::npos, "/..") == 0)
      return false;
  }
  return true;
}
}  // namespace

std::string CanonicalKey(const fs::path& host) {
  // Same answer as weakly_canonical: the existing path with its links resolved, a missing
  // last name appended to its resolved folder. Paths with "." or ".." take the slow way.
  const std::string& s = host.native();
  if (PlainAbsolute(s) && s.size() > 1 && s.back() != '/') {
    std::string out;
    if (KernelPath(s, out)) return out;
    if (errno == ENOENT) {
      size_t slash = s.rfind('/');
      std::string parent = slash == 0 ? "/" : s.substr(0, slash);
      struct stat st;
      if (::lstat(s.c_str(), &st) != 0 && errno == ENOENT && KernelPath(parent, out)) {
        if (out.back() != '/') out += '/';
        return out + s.substr(slash + 1);
      }
    }
  }
  std::error_code ec;
  fs::path p = fs::weakly_canonical(host, ec);
  if (ec) p = host.lexically_normal();
  return p.string();
}

namespace {
std::atomic<std::uint64_t> g_resolvers{0};
}  // namespace

PathResolver::PathResolver(Machine& machine, const fs::path& dir)
    : machine_(machine),
      dir_(dir),
      serial_(++g_resolvers),
      folders_(std::make_unique<DirectoryCache>(&FoldCase, dir_.string())) {}

std::string PathResolver::CurrentDirectory() const {
  std::lock_guard lock(currentMutex_);
  return currentDir_;
}

void PathResolver::SetCurrentDirectoryPath(const std::string& dir) {
  std::lock_guard lock(currentMutex_);
  currentDir_ = dir;
}

PathResolver::~PathResolver() = default;

std::string PathResolver::DriveRootText(char letter) const {
  char l = char(std::tolower((unsigned char)letter));
  if (l < 'a' || l > 'z') return {};
  if (CachesOn()) {
    std::lock_guard lock(rootsMutex_);
    if (!roots_[size_t(l - 'a')].empty()) return roots_[size_t(l - 'a')];
  }
  fs::path p = dir_ / "drives" / std::string(1, l);
  std::error_code ec;
  if (!fs::is_directory(p, ec)) {
    if (l != 'z') return {};
    p = fs::path("/");
  }
  std::lock_guard lock(rootsMutex_);
  roots_[size_t(l - 'a')] = p.native();
  return p.native();
}

namespace {
// Whether a path is already in its full form: "X:\" and names that are neither empty, "."
// nor "..", nor end in a dot or blank, with only a last separator after them.
bool IsFullForm(const std::string& p) {
  if (p.size() < 3 || p[1] != ':' || p[2] != '\\' || !std::isalpha((unsigned char)p[0]) ||
      p.find('/') != std::string::npos)
    return false;
  for (size_t begin = 3; begin < p.size();) {
    size_t end = p.find('\\', begin);
    if (end == std::string::npos) end = p.size();
    // Empty, or ending in a dot or blank ("." and ".." among them).
    if (end == begin || p[end - 1] == '.' || p[end - 1] == ' ') return false;
    begin = end + 1;
  }
  return true;
}
}  // namespace

std::string PathResolver::FullPathName(const std::string& winPath) const {
  // Most paths a program passes are whole already: one look instead of the rebuild.
  if (IsFullForm(winPath)) {
    std::string full = winPath;
    full[0] = char(std::toupper((unsigned char)full[0]));
    return full;
  }
  std::string p = winPath;
  for (auto& c : p)
    if (c == '/') c = '\\';
  if (p.empty()) return "";
  std::string drive;
  std::string rest;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha((unsigned char)p[0])) {
    drive = std::string(1, char(std::toupper((unsigned char)p[0]))) + ":";
    rest = p.substr(2);
    if (rest.empty() || rest[0] != '\\') rest = "\\" + rest;
  } else if (p.rfind("\\\\", 0) == 0) {
    return "";  // UNC paths are not served
  } else if (p[0] == '\\') {
    drive = CurrentDirectory().substr(0, 2);
    rest = p;
  } else {
    const std::string current = CurrentDirectory();
    drive = current.substr(0, 2);
    rest = current.substr(2);
    if (rest.empty() || rest.back() != '\\') rest += "\\";
    rest += p;
  }
  // Every file call comes here: the names are pieces of rest, not copies.
  std::vector<std::string_view> parts;
  const std::string_view text(rest);
  const bool trailing = text.size() > 1 && text.back() == '\\';
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\\', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view comp = text.substr(at, end - at);
    at = end + 1;
    if (comp.empty() || comp == ".") continue;
    if (comp == "..") {
      if (parts.empty()) return "";  // would leave the drive
      parts.pop_back();
      continue;
    }
    // Windows drops trailing dots and blanks of a name.
    while (!comp.empty() && (comp.back() == '.' || comp.back() == ' ')) comp.remove_suffix(1);
    if (comp.empty()) continue;
    parts.push_back(comp);
  }
  std::string out;
  out.reserve(drive.size() + text.size() + 2);
  out += drive;
  out += '\\';
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '\\';
    out += parts[i];
  }
  if (trailing && !parts.empty()) out += '\\';
  return out;
}

PathResolver::Lookup PathResolver::FindIn(const std::string& dir, const struct stat* dirStat,
                                          const std::string& comp, std::string& name,
                                          unsigned char& type, FolderSeen& folder) const {
  DirectoryCache::Found f;
  auto result = folders_->Find(dir, dirStat, comp, f);
  folder = {std::move(f.folderKey), f.dev, f.ino};
  type = DT_UNKNOWN;
  switch (result) {
    case DirectoryCache::Result::Unchecked:
      return Lookup::Unchecked;
    case DirectoryCache::Result::Present:
      name = f.entry.name;
      type = f.entry.type;
      return Lookup::Found;
    case DirectoryCache::Result::Unreadable: {
      // A folder that may be passed but not listed: only the name as spelled can be found.
      struct stat st;
      if (::lstat((dir + "/" + comp).c_str(), &st) != 0) return Lookup::Missing;
      name = comp;
      return Lookup::Found;
    }
    case DirectoryCache::Result::Absent:
      break;
  }
  if (comp.find('~') == std::string::npos) return Lookup::Missing;
  name = LongNameOfShort(machine_, dir, comp);
  return name.empty() ? Lookup::Missing : Lookup::Found;
}

PathResolver::Lookup PathResolver::FindInFolder(const std::string& dir, const std::string& comp,
                                                bool& isFolder, std::string& name,
                                                unsigned char& type, FolderSeen& folder) const {
  isFolder = true;
  Lookup found = FindIn(dir, nullptr, comp, name, type, folder);
  if (found != Lookup::Unchecked) return found;
  struct stat st;
  isFolder = ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  if (!isFolder) {
    folder = {};
    return Lookup::Missing;
  }
  return FindIn(dir, &st, comp, name, type, folder);
}

std::string PathResolver::KeyOf(const Resolved& r) {
  return r.key.empty() ? CanonicalKey(r.host) : r.key;
}

namespace {
// The last answers of Resolve in this thread's unit of work.
struct ResolvedBefore {
  std::uint64_t resolver = 0;
  std::uint64_t unit = 0, generation = 0;
  std::string path, currentDir;
  ResolvedPath answer;
};
constexpr unsigned kResolvedKept = 8;
thread_local ResolvedBefore t_resolved[kResolvedKept];
thread_local unsigned t_resolvedNext = 0;
}  // namespace

bool PathResolver::Resolve(const std::string& winPath, Resolved& out) const {
  std::uint64_t unit, generation;
  // A short name is looked up in the machine's state rather than in a listing.
  if (winPath.find('~') != std::string::npos || !CachesOn()) return ResolveNow(winPath, out);
  if (folders_->UnitLooked(unit, generation)) {
    const std::string current = CurrentDirectory();
    for (const auto& r : t_resolved)
      if (r.resolver == serial_ && r.unit == unit && r.generation == generation &&
          r.path == winPath && r.currentDir == current) {
        out = r.answer;
        return true;
      }
  }
  if (!ResolveNow(winPath, out)) return false;
  // Kept as of the listings after it: reading one moves the generation.
  if (folders_->UnitLooked(unit, generation)) {
    ResolvedBefore& r = t_resolved[t_resolvedNext++ % kResolvedKept];
    r = {serial_, unit, generation, winPath, CurrentDirectory(), out};
  }
  return true;
}

std::string PathResolver::HostFolderOf(const std::string& host) {
  // Split as text: a path object would parse the whole path.
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash + 1 >= host.size())
    return fs::path(host).parent_path().native();
  return slash == 0 ? "/" : host.substr(0, slash);
}

std::string PathResolver::HostNameOf(const std::string& host) {
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash + 1 >= host.size())
    return fs::path(host).filename().native();
  return host.substr(slash + 1);
}

void PathResolver::NoteChanged(const std::string& host, bool present, unsigned char type) {
  const std::string dir = HostFolderOf(host);
  const std::string name = HostNameOf(host);
  std::uint64_t unit = 0, before = 0, unitAfter = 0, after = 0;
  const bool kept = folders_->UnitLooked(unit, before);
  folders_->Changed(dir, name, present, type);
  // Only this change moved the listings: answers about other folders still hold, and the
  // answer about the very name made is what a new lookup would give. Whatever else lies in
  // dir (another spelling of the name, a path through it) is asked again.
  if (!kept || !folders_->UnitLooked(unitAfter, after) || unitAfter != unit || after != before + 1)
    return;
  const std::string under = dir.back() == '/' ? dir : dir + "/";
  const std::string made = under + name;
  for (auto& r : t_resolved) {
    if (r.resolver != serial_ || r.unit != unit || r.generation != before) continue;
    Resolved& a = r.answer;
    const std::string& h = a.host;
    if (h.compare(0, under.size(), under) != 0) {
      r.generation = after;
    } else if (h == made && present && (a.hostMissing || a.hostPlain)) {
      a.hostMissing = false;
      a.hostPlain = type != DT_UNKNOWN && type != DT_LNK;
      a.hostIsDir = a.hostPlain && type == DT_DIR;
      if (!a.hostPlain) a.key.clear();
      r.generation = after;
    }
  }
}

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// dir + "/" + name in one allocation (every resolution makes a few of these).
std::string JoinHost(const std::string& dir, std::string_view name) {
  std::string out;
  out.reserve(dir.size() + 1 + name.size());
  out += dir;
  if (out.empty() || out.back() != '/') out += '/';
  out += name;
  return out;
}
}  // namespace

bool PathResolver::ResolveNow(const std::string& winPath, Resolved& out) const {
  if (winPath.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (winPath.size() >= 2 && IsSeparator(winPath[0]) && IsSeparator(winPath[1])) {
    SetLastError(ERROR_BAD_NETPATH);
    return false;
  }
  std::string full = FullPathName(winPath);
  if (full.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  for (size_t i = 2; i < full.size(); ++i)
    if (IsBadNameChar(full[i])) {
      SetLastError(ERROR_INVALID_NAME);
      return false;
    }
  char letter = full[0];
  const std::string root = DriveRootText(letter);
  if (root.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  out.drive = letter;
  out.readOnly = (std::toupper((unsigned char)letter) == 'Z') && root == "/";
  out.hostPlain = out.hostIsDir = out.hostMissing = false;
  out.key.clear();
  out.folderDev = 0;
  out.folderIno = 0;
  const bool trailing = full.size() > 3 && full.back() == '\\';
  std::string rel = full.substr(3);
  if (trailing) rel.pop_back();
  for (auto& c : rel)
    if (c == '\\') c = '/';

  // Most paths lie in a folder that exists as spelled: its listing (proven by a stat of the
  // folder, or kept true by its watch) answers for the last name (present or not, its
  // spelling on disk, file or folder).
  if (!rel.empty()) {
    size_t slash = rel.rfind('/');
    std::string parent =
        slash == std::string::npos ? root : JoinHost(root, std::string_view(rel).substr(0, slash));
    std::string comp = slash == std::string::npos ? rel : rel.substr(slash + 1);
    std::string name;
    FolderSeen folder;
    unsigned char type = DT_UNKNOWN;
    bool isFolder;
    const bool found = FindInFolder(parent, comp, isFolder, name, type, folder) == Lookup::Found;
    if (isFolder) {
      if (!found) name = comp;
      std::string windows = std::move(full);  // this branch returns
      if (trailing) windows.pop_back();
      windows.replace(windows.size() - comp.size(), comp.size(), name);
      if (trailing) windows += '\\';
      out.host = JoinHost(parent, name);
      out.windows = std::move(windows);
      out.hostMissing = !found;
      bool plain = type != DT_UNKNOWN && type != DT_LNK;
      if (found && plain) {
        out.hostPlain = true;
        out.hostIsDir = type == DT_DIR;
      }
      if (!folder.key.empty() && (!found || plain)) out.key = JoinHost(folder.key, name);
      out.folderDev = folder.dev;
      out.folderIno = folder.ino;
      return true;
    }
  }

  // Some folder on the way is spelled otherwise, or missing: name by name from the root.
  std::string host = root;
  std::string windows = full.substr(0, 3);
  bool exists = true;
  bool first = true;
  for (const std::string& comp : SplitNonEmpty(rel, '/')) {
    std::string name = comp;
    if (exists) {
      FolderSeen seen;
      unsigned char type = DT_UNKNOWN;
      bool folder;
      const bool found = FindInFolder(host, comp, folder, name, type, seen) == Lookup::Found;
      if (!found) name = comp;
      // What is learnt of the last name, as above; of the ones before it, only the spelling.
      bool plain = found && type != DT_UNKNOWN && type != DT_LNK;
      out.hostMissing = folder && !found;
      out.hostPlain = plain;
      out.hostIsDir = plain && type == DT_DIR;
      out.key = !seen.key.empty() && (!found || plain) ? JoinHost(seen.key, name) : std::string();
      out.folderDev = seen.dev;
      out.folderIno = seen.ino;
      exists = found;
    } else {
      out.hostMissing = out.hostPlain = out.hostIsDir = false;
      out.key.clear();
      out.folderDev = 0;
      out.folderIno = 0;
    }
    host = JoinHost(host, name);
    windows += (first ? "" : "\\") + name;
    first = false;
  }
  if (trailing) windows += "\\";
  out.host = host;
  out.windows = windows;
  return true;
}

fs::path PathResolver::HostPath(const std::string& winPath) const {
  Resolved r;
  if (!Resolve(winPath, r)) throw MachineError("bad Windows path: " + winPath);
  return r.host;
}

std::string PathResolver::WindowsPath(const fs::path& host) const {
  std::string h = CanonicalKey(fs::absolute(host));
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir_ / "drives", ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::string letter = it->path().filename().string();
    if (letter.size() != 1 || !std::isalpha((unsigned char)letter[0])) continue;
    std::string root = CanonicalKey(it->path());
    if (h == root || h.rfind(root + "/", 0) == 0) {
      std::string rest = h.substr(root.size());
      for (auto& c : rest)
        if (c == '/') c = '\\';
      if (rest.empty()) rest = "\\";
      return std::string(1, char(std::toupper((unsigned char)letter[0]))) + ":" + rest;
    }
  }
  std::string rest = h;
  for (auto& c : rest)
    if (c == '/') c = '\\';
  return "Z:" + rest;
}

// ---- state keys ------------------------------------------------------------------------

namespace {
// letter + ":\\" + rest ("" or "/a/b"), case-folded.
std::string DriveKey(char letter, std::string_view rest) {
  std::string out(1, char(std::toupper(static_cast<unsigned char>(letter))));
  out += ":\\";
  if (!rest.empty()) rest.remove_prefix(1);
  for (char c : rest) out += c == '/' ? '\\' : c;
  if (out.size() > 3 && out.back() == '\\') out.pop_back();
  return FoldCase(out);
}

bool IsDriveName(char c) { return c >= 'a' && c <= 'z'; }

// Whether path is root or lies below it, as text.
bool Below(const std::string& path, const std::string& root) {
  if (path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || root == "/" || path[root.size()] == '/';
}
}  // namespace

std::string PathResolver::DriveKeyOf(const std::string& canonical) const {
  std::lock_guard lock(keysMutex_);
  if (drivesKey_.empty()) drivesKey_ = CanonicalKey(dir_ / "drives");
  const size_t n = drivesKey_.size();
  if (canonical.size() > n + 1 && canonical.compare(0, n, drivesKey_) == 0 && canonical[n] == '/' &&
      IsDriveName(canonical[n + 1]) && (canonical.size() == n + 2 || canonical[n + 2] == '/'))
    return DriveKey(canonical[n + 1], std::string_view(canonical).substr(n + 2));
  // Elsewhere, only a drive that is a link can hold it: those are looked for again when the
  // drives folder changed.
  struct stat st;
  if (::stat((dir_ / "drives").c_str(), &st) == 0 &&
      (!CachesOn() || st.st_ino != drivesIno_ || st.st_mtim.tv_sec != drivesTime_.tv_sec ||
       st.st_mtim.tv_nsec != drivesTime_.tv_nsec)) {
    drivesIno_ = st.st_ino;
    drivesTime_ = st.st_mtim;
    linkedDrives_.clear();
    std::error_code ec;
    for (auto it = fs::directory_iterator(dir_ / "drives", ec);
         !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name.size() != 1 || !IsDriveName(name[0])) continue;
      std::string target = CanonicalKey(it->path());
      if (target != drivesKey_ + "/" + name) linkedDrives_.emplace_back(name[0], target);
    }
    std::sort(linkedDrives_.begin(), linkedDrives_.end(),
              [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
  }
  for (const auto& [letter, root] : linkedDrives_)
    if (Below(canonical, root))
      return DriveKey(letter, std::string_view(canonical).substr(root == "/" ? 0 : root.size()));
  return {};
}

std::string PathResolver::StateKeyOfCanonical(const std::string& canonical) const {
  std::string key = DriveKeyOf(canonical);
  return key.empty() ? DriveKey('Z', canonical) : key;
}

std::string PathResolver::StateKeyOfHost(const std::string& host) const {
  return StateKeyOfCanonical(CanonicalKey(host));
}

std::string PathResolver::OldStateKey(const std::string& hostKey) const {
  if (std::string key = DriveKeyOf(hostKey); !key.empty()) return key;
  // Kept where the PC's folder was before it was moved or copied: the first "drives/<letter>"
  // of the path is the PC's.
  for (size_t at = hostKey.find("/drives/"); at != std::string::npos;
       at = hostKey.find("/drives/", at + 1)) {
    const size_t letter = at + 8;
    if (letter < hostKey.size() && IsDriveName(hostKey[letter]) &&
        (letter + 1 == hostKey.size() || hostKey[letter + 1] == '/'))
      return DriveKey(hostKey[letter], std::string_view(hostKey).substr(letter + 1));
  }
  return {};
}

}  // namespace win
