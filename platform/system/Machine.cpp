#include "platform/system/Machine.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/DirectoryCache.h"
#include "platform/system/LastError.h"
#include "platform/system/Leftovers.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/ShortNames.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Utf8.h"

namespace fs = std::filesystem;

namespace win {

namespace {

std::unique_ptr<Machine> g_current;
std::mutex g_currentMutex;
std::function<void(const fs::path&, const MachineSettings&)> g_creator;
std::vector<Machine::InUseProvider>& Providers() {
  static std::vector<Machine::InUseProvider> p;
  return p;
}
std::string& ProgramNameRef() {
  static std::string name = "?";
  return name;
}

constexpr DWORD ERROR_BAD_NETPATH = 53;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Decodes one UTF-8 code point; invalid bytes pass as themselves.
char32_t NextCodePoint(const std::string& s, size_t& i) {
  unsigned char c = s[i];
  if (c < 0x80 || i + 1 >= s.size()) return s[i++] & 0xFF;
  int len = (c >= 0xF0) ? 4 : (c >= 0xE0) ? 3 : (c >= 0xC0) ? 2 : 1;
  if (len == 1 || i + len > s.size()) return s[i++] & 0xFF;
  char32_t cp = c & (0xFF >> (len + 1));
  for (int k = 1; k < len; ++k) {
    unsigned char cc = s[i + k];
    if ((cc & 0xC0) != 0x80) return s[i++] & 0xFF;
    cp = (cp << 6) | (cc & 0x3F);
  }
  i += len;
  return cp;
}

char32_t FoldCodePoint(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;  // Latin-1 letters
  if (c >= 0x100 && c <= 0x17F && (c & 1) && c != 0x131 && c != 0x138 && c != 0x149)
    return c - 1;  // Latin Extended-A pairs (upper is even)
  if (c == 0xFF) return 0x178;
  return c;
}

bool IsBadNameChar(char c) {
  return (unsigned char)c < 32 || c == '<' || c == '>' || c == '"' || c == '|' || c == ':';
}

}  // namespace

std::string FoldCase(const std::string& s) {
  // Most names are ASCII: folded in place, byte for byte, up to the first other character.
  std::string out = s;
  size_t i = 0;
  for (; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) break;
    if (c >= 'a' && c <= 'z') out[i] = char(c - 32);
  }
  if (i == s.size()) return out;
  out.resize(i);
  while (i < s.size()) {
    size_t start = i;
    char32_t cp = NextCodePoint(s, i);
    if (cp < 0x80 || i - start > 1) {
      AppendUtf8(out, FoldCodePoint(cp));
    } else {
      out.append(s, start, i - start);
    }
  }
  return out;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() == b.size() && a == b) return true;
  return FoldCase(a) == FoldCase(b);
}

std::string EscapeBytes(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  char hex[8];
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t start = i;
    if (c >= 0x80) {
      NextCodePoint(s, i);
      // A code point of several bytes is text; a lone byte that stands for itself is not.
      if (i - start > 1) {
        out.append(s, start, i - start);
        continue;
      }
    } else {
      ++i;
      if (c >= 0x20 && c != 0x7F) {
        out += char(c);
        continue;
      }
    }
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  }
  return out;
}

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

std::string OsVersionName(OsVersion v) {
  switch (v) {
    case OsVersion::Win95:
      return "95";
    case OsVersion::Win98:
      return "98";
    case OsVersion::WinMe:
      return "me";
    case OsVersion::NT351:
      return "nt351";
    case OsVersion::NT4:
      return "nt4";
    case OsVersion::Win2000:
      return "2000";
    case OsVersion::WinXP:
      return "xp";
  }
  return "xp";
}

std::optional<OsVersion> ParseOsVersion(const std::string& name) {
  std::string n = FoldCase(Trim(name));
  for (auto v : {OsVersion::Win95, OsVersion::Win98, OsVersion::WinMe, OsVersion::NT351,
                 OsVersion::NT4, OsVersion::Win2000, OsVersion::WinXP})
    if (FoldCase(OsVersionName(v)) == n) return v;
  return std::nullopt;
}

bool MachineSettings::IsNT() const {
  return os == OsVersion::NT351 || os == OsVersion::NT4 || os == OsVersion::Win2000 ||
         os == OsVersion::WinXP;
}

std::string MachineSettings::WindowsDir() const {
  if (!windowsDir.empty()) return windowsDir;
  if (os == OsVersion::NT351 || os == OsVersion::NT4 || os == OsVersion::Win2000)
    return "C:\\WINNT";
  return "C:\\WINDOWS";
}

std::string MachineSettings::SystemDir() const {
  return WindowsDir() + (IsNT() ? "\\system32" : "\\SYSTEM");
}

// ---- machine.ini -------------------------------------------------------------------

namespace {

std::string SettingsText(const MachineSettings& s) {
  std::ostringstream o;
  o << "[machine]\n";
  o << "os=" << OsVersionName(s.os) << "\n";
  o << "user=" << s.userName << "\n";
  o << "admin=" << (s.admin ? 1 : 0) << "\n";
  if (!s.hostName.empty()) o << "host=" << s.hostName << "\n";
  if (s.ipv4) {
    o << "ipv4=";
    if (s.ipv4->empty()) o << "none";
    for (size_t i = 0; i < s.ipv4->size(); ++i) o << (i ? "," : "") << (*s.ipv4)[i];
    o << "\n";
  }
  o << "timezone=" << s.timeZoneBias << "\n";
  o << "language=" << s.languageId << "\n";
  o << "simulated_time=" << (s.simulatedTime ? 1 : 0) << "\n";
  if (!s.windowsDir.empty()) o << "windows=" << s.windowsDir << "\n";
  return o.str();
}

void WriteFileAtomically(const fs::path& file, const std::string& text) {
  // Named as the platform's own temporaries, so that a killed writer's copy is swept.
  fs::path tmp = file.parent_path() / WriteTempName();
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw MachineError("cannot write " + tmp.string());
    out << text;
    out.flush();
    if (!out) throw MachineError("cannot write " + tmp.string());
  }
  std::error_code ec;
  fs::rename(tmp, file, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw MachineError("cannot write " + file.string() + ": " + ec.message());
  }
}

MachineSettings ParseSettings(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw MachineError(file.string() + ": no machine here (machine.ini is missing)");
  MachineSettings s;
  std::string line;
  int n = 0;
  bool sawOs = false;
  // The line may hold anything: its bytes are shown escaped.
  auto bad = [&](const std::string& why) {
    throw MachineError(EscapeBytes(file.string() + ":" + std::to_string(n) + ": " + why));
  };
  auto toInt = [&](const std::string& v, long lo, long hi) {
    try {
      size_t pos = 0;
      long x = std::stol(v, &pos, 0);
      if (pos != v.size() || x < lo || x > hi) bad("value out of range: " + v);
      return x;
    } catch (const std::logic_error&) {
      bad("not a number: " + v);
    }
    return 0L;
  };
  while (std::getline(in, line)) {
    ++n;
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t[0] == '[') {
      if (t != "[machine]") bad("unknown section " + t);
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) bad("expected key=value, found \"" + t + "\"");
    std::string key = FoldCase(Trim(t.substr(0, eq)));
    std::string val = Trim(t.substr(eq + 1));
    if (key == "OS") {
      auto v = ParseOsVersion(val);
      if (!v) bad("unknown Windows version \"" + val + "\" (95, 98, me, nt351, nt4, 2000, xp)");
      s.os = *v;
      sawOs = true;
    } else if (key == "USER") {
      if (val.empty()) bad("empty user name");
      s.userName = val;
    } else if (key == "ADMIN") {
      s.admin = toInt(val, 0, 1) != 0;
    } else if (key == "HOST") {
      s.hostName = val;
    } else if (key == "IPV4") {
      std::vector<std::string> ips;
      if (FoldCase(val) != "NONE" && !val.empty()) {
        std::stringstream ss(val);
        std::string ip;
        while (std::getline(ss, ip, ',')) {
          ip = Trim(ip);
          unsigned a, b, c, d;
          char extra;
          if (std::sscanf(ip.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) != 4 || a > 255 ||
              b > 255 || c > 255 || d > 255)
            bad("not an IPv4 address: " + ip);
          ips.push_back(ip);
        }
      }
      s.ipv4 = ips;
    } else if (key == "TIMEZONE") {
      s.timeZoneBias = int(toInt(val, -24 * 60, 24 * 60));
    } else if (key == "LANGUAGE") {
      s.languageId = WORD(toInt(val, 0, 0xFFFF));
    } else if (key == "SIMULATED_TIME") {
      s.simulatedTime = toInt(val, 0, 1) != 0;
    } else if (key == "WINDOWS") {
      s.windowsDir = val;
    } else {
      bad("unknown key \"" + t.substr(0, eq) + "\"");
    }
  }
  if (!sawOs) throw MachineError(file.string() + ": no \"os=\" line");
  return s;
}

}  // namespace

Machine::Machine(const fs::path& dir)
    : dir_(fs::absolute(dir)),
      folders_(std::make_unique<DirectoryCache>(&FoldCase, dir_.string())) {
  Load();
}

Machine::~Machine() {
  if (openingPid_ == int(::getpid())) UnregisterOpening(openingMark_);
}

void Machine::Load() {
  std::error_code ec;
  if (!fs::is_directory(dir_, ec)) throw MachineError(dir_.string() + ": no such machine folder");
  settings_ = ParseSettings(dir_ / "machine.ini");
  if (!fs::is_directory(dir_ / "drives" / "c", ec))
    throw MachineError(dir_.string() + ": the machine has no drive C: (drives/c)");
  if (settings_.simulatedTime) clock::SetSimulated(true);
  // Cleaning up after killed programs must never keep a machine from opening: a state
  // that cannot be read now fails the call that needs it, with its own message.
  try {
    SweepLeftovers(*this, false);
  } catch (const std::exception&) {
  }
  openingMark_ = RegisterOpening(*this);
  openingPid_ = int(::getpid());
}

void Machine::SaveSettings(const MachineSettings& settings) {
  WriteFileAtomically(dir_ / "machine.ini", SettingsText(settings));
  settings_ = settings;
}

void Machine::CreateBare(const fs::path& dir, const MachineSettings& settings) {
  fs::create_directories(dir / "drives" / "c");
  if (!fs::exists(dir / "registry.db")) RegistryStore::CreateDatabase(dir / "registry.db");
  WriteFileAtomically(dir / "machine.ini", SettingsText(settings));
  auto c = dir / "drives" / "c";
  auto rel = [](const std::string& winPath) { return winPath.substr(3); };
  for (const std::string& d : {settings.WindowsDir(), settings.SystemDir()}) {
    std::string r = rel(d);
    for (auto& ch : r)
      if (ch == '\\') ch = '/';
    fs::create_directories(c / r);
  }
}

void Machine::SetCreator(std::function<void(const fs::path&, const MachineSettings&)> f) {
  g_creator = std::move(f);
}

fs::path Machine::DefaultDir() {
  if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x)
    return fs::path(x) / "winpc" / "default";
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "winpc" / "default";
}

Machine& Machine::Current() {
  std::lock_guard lock(g_currentMutex);
  if (!g_current) {
    fs::path dir;
    if (const char* env = std::getenv("WINPC"); env && *env) {
      dir = env;
    } else {
      dir = DefaultDir();
      if (!fs::exists(dir / "machine.ini")) {
        MachineSettings s;
        if (g_creator)
          g_creator(dir, s);
        else
          CreateBare(dir, s);
      }
    }
    g_current = std::make_unique<Machine>(dir);
  }
  return *g_current;
}

Machine& Machine::Use(const fs::path& dir) {
  auto m = std::make_unique<Machine>(dir);
  std::lock_guard lock(g_currentMutex);
  g_current = std::move(m);
  return *g_current;
}

bool Machine::HasCurrent() {
  std::lock_guard lock(g_currentMutex);
  return g_current != nullptr;
}

// ---- paths ---------------------------------------------------------------------------

std::string Machine::DriveRootText(char letter) const {
  char l = char(std::tolower((unsigned char)letter));
  if (l < 'a' || l > 'z') return {};
  {
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

std::string Machine::FullPathName(const std::string& winPath) const {
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
    drive = currentDir_.substr(0, 2);
    rest = p;
  } else {
    drive = currentDir_.substr(0, 2);
    rest = currentDir_.substr(2);
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

Machine::Lookup Machine::FindIn(const std::string& dir, const struct stat* dirStat,
                                const std::string& comp, std::string& name, unsigned char& type,
                                FolderSeen& folder) const {
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
  name = LongNameOfShort(*const_cast<Machine*>(this), dir, comp);
  return name.empty() ? Lookup::Missing : Lookup::Found;
}

Machine::Lookup Machine::FindInFolder(const std::string& dir, const std::string& comp,
                                      bool& isFolder, std::string& name, unsigned char& type,
                                      FolderSeen& folder) const {
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

std::string Machine::KeyOf(const Resolved& r) {
  return r.key.empty() ? CanonicalKey(r.host) : r.key;
}

namespace {
// The last answers of Resolve in this thread's unit of work.
struct ResolvedBefore {
  const Machine* machine = nullptr;
  std::uint64_t unit = 0, generation = 0;
  std::string path, currentDir;
  Machine::Resolved answer;
};
constexpr unsigned kResolvedKept = 8;
thread_local ResolvedBefore t_resolved[kResolvedKept];
thread_local unsigned t_resolvedNext = 0;
}  // namespace

bool Machine::Resolve(const std::string& winPath, Resolved& out) const {
  std::uint64_t unit, generation;
  // A short name is looked up in the machine's state rather than in a listing.
  if (winPath.find('~') != std::string::npos) return ResolveNow(winPath, out);
  if (folders_->UnitLooked(unit, generation))
    for (const auto& r : t_resolved)
      if (r.machine == this && r.unit == unit && r.generation == generation && r.path == winPath &&
          r.currentDir == currentDir_) {
        out = r.answer;
        return true;
      }
  if (!ResolveNow(winPath, out)) return false;
  // Kept as of the listings after it: reading one moves the generation.
  if (folders_->UnitLooked(unit, generation)) {
    ResolvedBefore& r = t_resolved[t_resolvedNext++ % kResolvedKept];
    r = {this, unit, generation, winPath, currentDir_, out};
  }
  return true;
}

std::string Machine::HostFolderOf(const std::string& host) {
  // Split as text: a path object would parse the whole path.
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash + 1 >= host.size())
    return fs::path(host).parent_path().native();
  return slash == 0 ? "/" : host.substr(0, slash);
}

std::string Machine::HostNameOf(const std::string& host) {
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash + 1 >= host.size())
    return fs::path(host).filename().native();
  return host.substr(slash + 1);
}

void Machine::NoteChanged(const std::string& host, bool present, unsigned char type) {
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
    if (r.machine != this || r.unit != unit || r.generation != before) continue;
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

bool Machine::ResolveNow(const std::string& winPath, Resolved& out) const {
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
  std::stringstream ss(rel);
  std::string comp;
  bool first = true;
  while (std::getline(ss, comp, '/')) {
    if (comp.empty()) continue;
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

fs::path Machine::HostPath(const std::string& winPath) const {
  Resolved r;
  if (!Resolve(winPath, r)) throw MachineError("bad Windows path: " + winPath);
  return r.host;
}

std::string Machine::WindowsPath(const fs::path& host) const {
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

// ---- state ---------------------------------------------------------------------------

namespace {

// The layout of the state tables, in PRAGMA user_version. 0: the first layout, each table
// keyed by a hidden row number beside its own key, the journal numbered through
// sqlite_sequence. 2: tables keyed by what they are looked up by (one b-tree per table
// where there were two), the journal numbered by its own key (one page less per line).
constexpr int kStateLayout = 2;

struct StateTable {
  const char* name;
  const char* definition;  // the columns and keys, after the name
  const char* options;     // after the closing parenthesis
  const char* columns;     // copied from an older layout
};

constexpr StateTable kStateTables[] = {
    {"locks", "(path TEXT PRIMARY KEY)", " WITHOUT ROWID", "path"},
    {"journal", "(id INTEGER PRIMARY KEY, time TEXT, program TEXT, kind TEXT, text TEXT)", "",
     "id, time, program, kind, text"},
    {"kv", "(key TEXT PRIMARY KEY, value TEXT)", " WITHOUT ROWID", "key, value"},
    {"attrs", "(path TEXT PRIMARY KEY, attrs INTEGER NOT NULL)", " WITHOUT ROWID", "path, attrs"},
    {"shortnames",
     "(dir TEXT NOT NULL, long TEXT NOT NULL, short TEXT NOT NULL, PRIMARY KEY(dir, long))",
     " WITHOUT ROWID", "dir, long, short"},
};

int StateLayout(SqliteDb& db) {
  auto st = db.Prepare("PRAGMA user_version");
  return st.Step() ? int(st.ColumnInt(0)) : 0;
}

// Brings state.db to the current layout: tables made, or rebuilt with their rows from an
// older layout, in one transaction (a process that finds the work done by another while it
// waited does nothing). Tables that other units own are left to them.
void UpgradeState(SqliteDb& db) {
  SqliteTransaction tx(db);
  if (StateLayout(db) >= kStateLayout) return;
  for (const StateTable& t : kStateTables) {
    bool exists;
    {
      auto st = db.Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
      st.Bind(1, std::string(t.name));
      exists = st.Step();
    }
    const std::string name = t.name;
    if (!exists) {
      db.Exec("CREATE TABLE " + name + t.definition + t.options);
      continue;
    }
    db.Exec("ALTER TABLE " + name + " RENAME TO " + name +
            "_old;"
            "CREATE TABLE " +
            name + t.definition + t.options +
            ";"
            "INSERT OR REPLACE INTO " +
            name + "(" + t.columns + ") SELECT " + t.columns + " FROM " + name +
            "_old ORDER BY rowid;"
            "DROP TABLE " +
            name + "_old;");
  }
  db.Exec(
      "CREATE INDEX IF NOT EXISTS shortnames_short ON shortnames(dir, short);"
      "PRAGMA user_version = " +
      std::to_string(kStateLayout) + ";");
  // The journal's old numbering, if any, is no longer used.
  {
    auto st = db.Prepare("SELECT 1 FROM sqlite_master WHERE name = 'sqlite_sequence'");
    if (st.Step()) db.Exec("DELETE FROM sqlite_sequence WHERE name = 'journal'");
  }
  tx.Commit();
}

}  // namespace

SqliteDb& Machine::State() {
  if (!state_) {
    try {
      auto db = std::make_unique<SqliteDb>(dir_ / "state.db", true);
      if (StateLayout(*db) < kStateLayout) UpgradeState(*db);
      state_ = std::move(db);
    } catch (const SqliteError& e) {
      state_.reset();
      throw MachineError(std::string("machine state: ") + e.what());
    }
  }
  return *state_;
}

namespace {

std::uint32_t BigEndian(const unsigned char* p, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// What is wrong with the registry file as a file, or empty. Only what SQLite would not
// tell, or would tell by making a fresh database out of it: a missing or empty file, a
// foreign header, a file cut short.
std::string RegistryFileProblem(const fs::path& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return "is missing";
  if (!S_ISREG(st.st_mode)) return "is not a file";
  if (st.st_size == 0) return "is empty";
  unsigned char h[100] = {};
  {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "cannot be read";
    in.read(reinterpret_cast<char*>(h), sizeof h);
    if (in.gcount() < std::streamsize(sizeof h) || std::memcmp(h, "SQLite format 3", 16) != 0)
      return "is not a registry database (unknown header)";
  }
  std::uint32_t pageSize = BigEndian(h + 16, 2);
  if (pageSize == 1) pageSize = 65536;
  if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) || h[21] != 64 ||
      h[22] != 32 || h[23] != 32 || h[18] < 1 || h[18] > 2 || h[19] < 1 || h[19] > 2)
    return "has a damaged header";
  // With a write-ahead log waiting, the file may be behind its header until the log is
  // carried over; SQLite then decides.
  struct stat wal;
  fs::path walFile = file;
  walFile += "-wal";
  if (::stat(walFile.c_str(), &wal) == 0 && wal.st_size > 0) return "";
  std::uint64_t size = std::uint64_t(st.st_size);
  std::uint32_t pages = BigEndian(h + 28, 4);
  bool pagesValid = pages != 0 && std::memcmp(h + 24, h + 92, 4) == 0;
  if (size % pageSize != 0 || (pagesValid && size < std::uint64_t(pages) * pageSize))
    return "is cut short (" + std::to_string(size) + " bytes" +
           (pagesValid ? ", its header counts " + std::to_string(std::uint64_t(pages) * pageSize)
                       : "") +
           ")";
  return "";
}

}  // namespace

SqliteDb& Machine::RegistryDb() {
  if (!registry_) {
    const fs::path file = dir_ / "registry.db";
    const std::string what = file.string() + ": the registry of the machine ";
    if (std::string problem = RegistryFileProblem(file); !problem.empty())
      throw MachineError(what + problem);
    try {
      auto db = std::make_unique<SqliteDb>(file, false);
      if (std::string problem = RegistryStore::SchemaProblem(*db); !problem.empty())
        throw MachineError(what + problem);
      registry_ = std::move(db);
    } catch (const SqliteError& e) {
      throw MachineError(what + "is damaged (" + e.what() + ")");
    }
  }
  return *registry_;
}

void Machine::CheckRegistry() {
  SqliteDb& db = RegistryDb();
  std::string result;
  try {
    result = db.IntegrityCheck();
  } catch (const SqliteError& e) {
    result = e.what();
  }
  if (result != "ok") {
    registry_.reset();
    size_t eol = result.find('\n');
    throw MachineError((dir_ / "registry.db").string() +
                       ": the registry of the machine is damaged (" + result.substr(0, eol) + ")");
  }
}

void Machine::CloseDatabases() {
  registry_.reset();
  state_.reset();
}

namespace {
// The locked paths, sorted: asked before every write of every file, changed seldom and
// few, so kept whole (one answer for all paths). Every write to the table below reports
// to it.
using LockedPaths = std::shared_ptr<const std::vector<std::string>>;
SqliteReadCache<LockedPaths>& LockAnswers() {
  static auto* c = new SqliteReadCache<LockedPaths>();
  return *c;
}
}  // namespace

bool Machine::IsFileInUse(const fs::path& host) { return IsKeyInUse(CanonicalKey(host)); }

bool Machine::IsKeyInUse(const std::string& key) {
  SqliteDb& db = State();
  const LockedPaths locked = LockAnswers().Lookup(db, "", [&] {
    std::vector<std::string> paths;
    auto st = db.Prepare("SELECT path FROM locks");
    while (st.Step()) paths.push_back(st.ColumnText(0));
    std::sort(paths.begin(), paths.end());
    return std::make_shared<const std::vector<std::string>>(std::move(paths));
  });
  if (std::binary_search(locked->begin(), locked->end(), key)) return true;
  for (auto& p : Providers())
    if (p(*this, key)) return true;
  return false;
}

void Machine::LockFile(const fs::path& host) {
  SqliteDb& db = State();
  const std::string key = CanonicalKey(host);
  auto st = db.Prepare("INSERT OR IGNORE INTO locks(path) VALUES(?)");
  st.Bind(1, key);
  st.Step();
  LockAnswers().Dropped(db);
}

void Machine::UnlockAll() {
  SqliteDb& db = State();
  db.Exec("DELETE FROM locks");
  LockAnswers().Dropped(db);
}

void Machine::AddInUseProvider(InUseProvider provider) {
  Providers().push_back(std::move(provider));
}

void Machine::SetProgramName(const std::string& name) { ProgramNameRef() = name; }
const std::string& Machine::ProgramName() { return ProgramNameRef(); }

void Machine::Journal(const std::string& kind, const std::string& text) {
  auto t = std::chrono::system_clock::to_time_t(clock::ToTimePoint(clock::Now())) +
           std::time_t(settings_.timeZoneBias) * 60;
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  try {
    auto st = State().Prepare("INSERT INTO journal(time, program, kind, text) VALUES(?,?,?,?)");
    st.Bind(1, std::string(buf)).Bind(2, ProgramName()).Bind(3, kind).Bind(4, text);
    st.Step();
  } catch (const SqliteError&) {
    // The journal is a record for the user; losing one line must not fail the call.
  }
}

std::vector<JournalEntry> Machine::ReadJournal() {
  std::vector<JournalEntry> out;
  auto st = State().Prepare("SELECT id, time, program, kind, text FROM journal ORDER BY id");
  while (st.Step())
    out.push_back(
        {st.ColumnInt(0), st.ColumnText(1), st.ColumnText(2), st.ColumnText(3), st.ColumnText(4)});
  return out;
}

}  // namespace win
