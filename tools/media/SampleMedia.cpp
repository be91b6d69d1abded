#include "tools/media/SampleMedia.h"

#include <algorithm>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

#include "platform/system/PeFile.h"
#include "platform/system/Text.h"

namespace media {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct PeInfo {
  const char* name;
  const char* description;
  bool dll;
  enum Family { Firebird, Runtime, Other } family;
};

// Descriptions as a distribution would carry them; versions come from the options.
const PeInfo kPeFiles[] = {
    {"msvcrt.dll", "C runtime library", true, PeInfo::Runtime},
    {"msvcp60.dll", "C++ runtime library", true, PeInfo::Runtime},
    {"shfolder.dll", "Shell folder service", true, PeInfo::Runtime},
    {"gds32.dll", "Firebird client library (compatibility)", true, PeInfo::Firebird},
    {"fbclient.dll", "Firebird client library", true, PeInfo::Firebird},
    {"fbserver.exe", "Firebird SQL Server", false, PeInfo::Firebird},
    {"fbguard.exe", "Firebird Guardian", false, PeInfo::Firebird},
    {"fb_lock_print.exe", "Firebird lock table print", false, PeInfo::Firebird},
    {"gbak.exe", "Firebird backup and restore", false, PeInfo::Firebird},
    {"gfix.exe", "Firebird database maintenance", false, PeInfo::Firebird},
    {"isql.exe", "Firebird interactive query", false, PeInfo::Firebird},
    {"gpre.exe", "Firebird precompiler", false, PeInfo::Firebird},
    {"gsec.exe", "Firebird security manager", false, PeInfo::Firebird},
    {"gsplit.exe", "Firebird backup file splitter", false, PeInfo::Firebird},
    {"gstat.exe", "Firebird database statistics", false, PeInfo::Firebird},
    {"ib_util.dll", "Firebird UDF memory helper", true, PeInfo::Firebird},
    {"fbintl.dll", "Firebird international character sets", true, PeInfo::Firebird},
    {"ib_udf.dll", "Firebird standard UDF library", true, PeInfo::Firebird},
    {"pg_udf.dll", "Firebird UDF library", true, PeInfo::Firebird},
    {"fbudf.dll", "Firebird UDF library (descriptors)", true, PeInfo::Firebird},
    {"vbrun60.exe", "Visual Basic 6 run-time setup", false, PeInfo::Other},
    {"wPDF200A.dll", "PDF creation module", true, PeInfo::Other},
};

const PeInfo* FindPe(const std::string& name) {
  for (const auto& p : kPeFiles)
    if (win::AsciiSameText(p.name, name)) return &p;
  return nullptr;
}

std::string DefaultVersion(const PeInfo& pe, const MediaOptions& o) {
  std::string n = win::AsciiLower(pe.name);
  if (n == "msvcrt.dll") return "6.1.9844.0";
  if (n == "msvcp60.dll") return "6.0.8972.0";
  if (n == "shfolder.dll") return "5.50.4027.300";
  if (n == "vbrun60.exe") return "6.0.97.82";
  if (n == "wpdf200a.dll") return "2.0.0.12";
  return o.version;
}

std::string Text(const std::string& s) {
  // Windows text files: CR LF line ends.
  std::string r;
  for (char c : s) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}

Bytes FromString(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A deterministic filler so that binary files have varied, repeatable content.
void Fill(Bytes& b, size_t from, size_t to, std::uint32_t seed) {
  std::uint32_t x = seed;
  for (size_t i = from; i < to && i < b.size(); ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = std::uint8_t(x >> 16);
  }
}

void Put16(Bytes& b, size_t at, unsigned v) {
  b[at] = std::uint8_t(v);
  b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
void PutText(Bytes& b, size_t at, const std::string& s) {
  std::copy(s.begin(), s.end(), b.begin() + std::ptrdiff_t(at));
}

// A database of three 4096-byte pages: a header page, a page inventory page and a data
// page holding the default user's record, in the on-disk style of ODS 10.1.
Bytes SecurityDatabase() {
  const size_t page = 4096;
  Bytes b(page * 3, 0);
  b[0] = 1;                      // header page
  Put16(b, 16, unsigned(page));  // page size
  Put16(b, 18, 0x800A);          // ODS 10 (flagged)
  Put32(b, 20, 2);               // first page inventory page
  Put32(b, 40, 7);               // next transaction
  Put16(b, 62, 1);               // ODS minor
  PutText(b, 92, "security.fdb");
  b[page] = 2;  // page inventory
  b[page + 32] = 0x07;
  b[2 * page] = 5;  // data page
  PutText(b, 2 * page + 64, "SYSDBA");
  PutText(b, 2 * page + 96, "QP3bIzXQ7xg");  // a password hash, not a password
  PutText(b, 2 * page + 128, "Sql Server Administrator");
  Fill(b, 2 * page + 512, 2 * page + 1024, 1505);
  return b;
}

Bytes SecurityBackup() {
  std::string s = "GBAK backup of security.fdb\n";
  Bytes b(2048, 0);
  PutText(b, 0, s);
  PutText(b, 64, "RDB$USERS");
  PutText(b, 96, "USER_NAME PASSWD GROUP_NAME UID GID FIRST_NAME MIDDLE_NAME LAST_NAME");
  PutText(b, 256, "SYSDBA");
  Fill(b, 512, b.size(), 4870);
  return b;
}

Bytes MessageFile() {
  // Message numbers and texts, as a compact indexed file.
  const char* messages[] = {
      "arithmetic exception, numeric overflow, or string truncation",
      "attempt to store duplicate value (visible to active transactions) in unique index",
      "lock conflict on no wait transaction",
      "I/O error during \"@1\" operation for file \"@2\"",
      "unavailable database",
      "Your user name and password are not defined. Ask your database administrator",
      "connection rejected by remote interface",
      "deadlock",
      "table/procedure has non-SQL security class defined",
      "database file appears corrupt (@1)",
  };
  Bytes b(1024, 0);
  b[0] = 4;  // file format
  PutText(b, 4, "FBMSG15");
  std::string body;
  for (size_t i = 0; i < std::size(messages); ++i) {
    Put32(b, 16 + i * 8, std::uint32_t(335544321 + i));
    Put32(b, 20 + i * 8, std::uint32_t(body.size()));
    body += messages[i];
    body.push_back('\0');
  }
  b.insert(b.end(), body.begin(), body.end());
  Fill(b, 128, 1024, 15);
  return b;
}

const char kFirebirdConf[] =
    "#########################################\n"
    "#\n"
    "# Firebird configuration file\n"
    "#\n"
    "# Comments\n"
    "# --------\n"
    "# The # character is used for comments and can be placed anywhere on a\n"
    "# line.  Anything following the # character on a line is considered a\n"
    "# comment.\n"
    "#\n"
    "# Entries\n"
    "# -------\n"
    "# The default value for each entry is listed to the right of the \"=\".\n"
    "# To activate an entry, remove the leading \"#\"s and supply the desired\n"
    "# value.\n"
    "#\n"
    "#########################################\n"
    "\n"
    "#RootDirectory =\n"
    "#DatabaseAccess = Full\n"
    "#ExternalFileAccess = None\n"
    "#UdfAccess = Restrict UDF\n"
    "#TempDirectories =\n"
    "#DefaultDbCachePages = 2048\n"
    "#SortMemBlockSize = 1048576\n"
    "#SortMemUpperLimit = 67108864\n"
    "#LockMemSize = 262144\n"
    "#LockGrantOrder = 1\n"
    "#CpuAffinityMask = 1\n"
    "#TcpRemoteBufferSize = 8192\n"
    "#TcpNoNagle = 0\n"
    "#RemoteServiceName = gds_db\n"
    "#RemoteServicePort = 3050\n"
    "#RemoteBindAddress =\n"
    "#ConnectionTimeout = 180\n"
    "#DummyPacketInterval = 60\n"
    "#GuardianOption = 1\n"
    "#ProcessPriorityLevel = 0\n";

const char kAliasesConf[] =
    "#\n"
    "# List of known database aliases\n"
    "# ------------------------------\n"
    "#\n"
    "# Examples:\n"
    "#\n"
    "#   dummy = c:\\data\\dummy.fdb\n"
    "#\n";

const char kStopServer[] =
    "@echo off\n"
    "rem Stops the Firebird server of the default instance.\n"
    "net stop FirebirdGuardianDefaultInstance\n"
    "net stop FirebirdServerDefaultInstance\n";

const char kStartServer[] =
    "@echo off\n"
    "rem Starts the Firebird server of the default instance through its guardian.\n"
    "net start FirebirdGuardianDefaultInstance\n";

const char kIpLicense[] =
    "INITIAL DEVELOPER'S PUBLIC LICENSE - SAMPLE TEXT\n"
    "\n"
    "This sample media carries a placeholder for the licence of the database\n"
    "server.  The installed programs are generated test files; they are not\n"
    "the programs of any distribution and come with no licence of their own.\n"
    "\n"
    "1. Definitions.\n"
    "   \"Covered Code\" means the files of this sample media.\n"
    "2. Grant.\n"
    "   You may copy and use the files of this sample media for testing the\n"
    "   installation programs.\n";

const char kReadme[] =
    "Firebird 1.5 - sample installation media\n"
    "=========================================\n"
    "\n"
    "This folder holds the files that the setup programs place when they\n"
    "install the Firebird 1.5 database server or its client:\n"
    "\n"
    "  bin\\fbserver.exe    the server, run as a Windows service\n"
    "  bin\\fbguard.exe     its guardian, which restarts the server\n"
    "  bin\\fbclient.dll    the client library (also as gds32.dll)\n"
    "  firebird.conf       the server configuration\n"
    "  aliases.conf        database aliases\n"
    "  security.fdb        the user database (user SYSDBA)\n"
    "\n"
    "Clients connect through TCP port 3050 (service gds_db).\n";

const std::vector<std::string> kDocFiles = {"IPLicense.txt", "IDPLicense.txt", "Readme.txt"};

void WriteFile(const fs::path& path, const Bytes& data) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec)
    throw MediaError("cannot create folder " + path.parent_path().string() + ": " + ec.message());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) throw MediaError("cannot write " + path.string());
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  f.close();
  if (!f) throw MediaError("cannot write " + path.string());
}

void WriteFirebirdSet(const fs::path& dir, const MediaOptions& o) {
  for (const auto& name : FirebirdFileNames()) WriteFile(dir / name, BuildMediaFile(name, o));
}

std::string PlanFile(const MediaOptions& o) {
  std::string s =
      "; Minimum environment - installation plan\n"
      "Step=Welcome\n"
      "Step=SelectItems\n"
      "Step=EndInstall\n";
  if (!o.nextInstaller.empty()) s += "NextInstaller=" + o.nextInstaller + "\n";
  return Text(s);
}

}  // namespace

std::string FileVersion::Text() const {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) + "." +
         std::to_string(build);
}

FileVersion ParseFileVersion(const std::string& text) {
  std::uint16_t parts[4];
  size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    size_t end = text.find('.', pos);
    if ((i < 3) != (end != std::string::npos))
      throw MediaError("bad version \"" + text + "\" (expected a.b.c.d)");
    std::string part = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    if (part.empty() || part.size() > 5 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoul(part) > 65535)
      throw MediaError("bad version \"" + text + "\" (expected a.b.c.d)");
    parts[i] = std::uint16_t(std::stoul(part));
    pos = end + 1;
  }
  return {parts[0], parts[1], parts[2], parts[3]};
}

const std::vector<std::string>& FirebirdFileNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n = {
        "msvcrt.dll",       "msvcp60.dll",  "gds32.dll",    "firebird.msg",      "fbclient.dll",
        "firebird.conf",    "aliases.conf", "security.fbk", "security.fdb",      "stop server.cmd",
        "start server.cmd", "fbserver.exe", "fbguard.exe",  "fb_lock_print.exe", "gbak.exe",
        "gfix.exe",         "isql.exe",     "gpre.exe",     "gsec.exe",          "gsplit.exe",
        "gstat.exe",        "ib_util.dll",  "fbintl.dll",   "ib_udf.dll",        "pg_udf.dll",
        "fbudf.dll",
    };
    n.insert(n.end(), kDocFiles.begin(), kDocFiles.end());
    return n;
  }();
  return names;
}

bool IsPeFileName(const std::string& name) { return FindPe(name) != nullptr; }

FileVersion MediaFileVersion(const std::string& name, const MediaOptions& options) {
  const PeInfo* pe = FindPe(name);
  if (!pe) throw MediaError("not a program or library: " + name);
  for (const auto& [file, version] : options.fileVersions)
    if (win::AsciiSameText(file, name)) return ParseFileVersion(version);
  return ParseFileVersion(DefaultVersion(*pe, options));
}

std::vector<std::uint8_t> BuildMediaFile(const std::string& name, const MediaOptions& options) {
  if (const PeInfo* pe = FindPe(name)) {
    FileVersion v = MediaFileVersion(name, options);
    win::PeVersionSpec spec;
    spec.major = v.major;
    spec.minor = v.minor;
    spec.release = v.release;
    spec.build = v.build;
    spec.dll = pe->dll;
    spec.description = pe->description;
    spec.originalName = pe->name;
    switch (pe->family) {
      case PeInfo::Firebird:
        spec.company = "Firebird Project";
        spec.product = "Firebird SQL Server";
        spec.copyright = "Copyright (c) the Firebird Project contributors";
        spec.productVersion = v.Text() + " Firebird 1.5";
        break;
      case PeInfo::Runtime:
        spec.company = "Sample run-time libraries";
        spec.product = "Run-time libraries";
        spec.language = 0x0409;
        spec.codePage = 1200;
        break;
      case PeInfo::Other:
        spec.company = "Sample media";
        spec.product = pe->description;
        break;
    }
    // Programs of a distribution are not a few hundred bytes; keep sizes plausible so that
    // copies and benchmarks move a realistic amount of data.
    spec.padTo = pe->family == PeInfo::Firebird && !pe->dll ? 96 * 1024 : 48 * 1024;
    if (win::AsciiSameText(name, "fbserver.exe")) spec.padTo = std::size_t{1400} * 1024;
    if (win::AsciiSameText(name, "vbrun60.exe")) spec.padTo = std::size_t{1024} * 1024;
    return win::BuildPeFile(spec);
  }
  std::string l = win::AsciiLower(name);
  if (l == "firebird.conf") return FromString(Text(kFirebirdConf));
  if (l == "aliases.conf") return FromString(Text(kAliasesConf));
  if (l == "stop server.cmd") return FromString(Text(kStopServer));
  if (l == "start server.cmd") return FromString(Text(kStartServer));
  if (l == "iplicense.txt" || l == "idplicense.txt") return FromString(Text(kIpLicense));
  if (l == "readme.txt") return FromString(Text(kReadme));
  if (l == "security.fdb") return SecurityDatabase();
  if (l == "security.fbk") return SecurityBackup();
  if (l == "firebird.msg") return MessageFile();
  if (l == "tt0646z_.ttf") return BuildOcrFont();
  if (l == "install_base.cfg") return FromString(PlanFile(options));
  throw MediaError("no sample content for " + name);
}

void CreateSampleMedia(const fs::path& dir, const MediaOptions& options) {
  // Check every version first, so that a bad option leaves nothing half-made.
  for (const auto& [file, version] : options.fileVersions) {
    if (!IsPeFileName(file)) throw MediaError("not a program or library: " + file);
    ParseFileVersion(version);
  }
  ParseFileVersion(options.version);

  const fs::path files = dir / "Files";
  if (options.tolvane) WriteFirebirdSet(files, options);
  if (options.install) {
    const fs::path base = files / "Base";
    WriteFile(files / "install_base.cfg", BuildMediaFile("install_base.cfg", options));
    for (const char* n : {"shfolder.dll", "msvcp60.dll", "msvcrt.dll", "vbrun60.exe",
                          "wPDF200A.dll", "TT0646Z_.TTF"})
      WriteFile(base / n, BuildMediaFile(n, options));
    WriteFirebirdSet(base / "Firebird15" / "Files", options);
  }
}

int RunMediaCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const char* usage =
      "usage: media DIR [--tolvane|--install|--both] [--version a.b.c.d] "
      "[--file NAME=a.b.c.d]... [--next PROGRAM]";
  try {
    MediaOptions o;
    std::string dir;
    for (size_t i = 0; i < args.size(); ++i) {
      const std::string& a = args[i];
      auto value = [&]() -> std::string {
        if (i + 1 >= args.size()) throw MediaError(a + " needs a value");
        return args[++i];
      };
      if (a == "--tolvane") {
        o.tolvane = true;
        o.install = false;
      } else if (a == "--install") {
        o.tolvane = false;
        o.install = true;
      } else if (a == "--both") {
        o.tolvane = o.install = true;
      } else if (a == "--version") {
        o.version = value();
      } else if (a == "--file") {
        std::string v = value();
        size_t eq = v.find('=');
        if (eq == std::string::npos || eq == 0)
          throw MediaError("--file wants NAME=a.b.c.d, not " + v);
        o.fileVersions[v.substr(0, eq)] = v.substr(eq + 1);
      } else if (a == "--next") {
        o.nextInstaller = value();
      } else if (a == "-h" || a == "--help") {
        out << usage << "\n";
        return 0;
      } else if (!a.empty() && a[0] == '-') {
        throw MediaError("unknown option " + a);
      } else if (dir.empty()) {
        dir = a;
      } else {
        throw MediaError("more than one folder given: " + a);
      }
    }
    if (dir.empty()) throw MediaError(usage);
    CreateSampleMedia(dir, o);
    out << "media written to " << (fs::path(dir) / "Files").string() << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "media: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace media
