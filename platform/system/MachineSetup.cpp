#include "platform/system/MachineSetup.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string_view>

#include "platform/system/PeFile.h"
#include "platform/system/Registry.h"
#include "platform/system/RegistryStore.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

namespace {

struct OsFacts {
  const char* productName;
  const char* version;      // "5.1"
  const char* build;        // "2600"
  const char* servicePack;  // empty: none
  int year, month, day;     // date of the system files
};

OsFacts Facts(OsVersion os) {
  switch (os) {
    case OsVersion::Win95:
      return {"Microsoft Windows 95", "4.00.950", "950", "", 1996, 8, 24};
    case OsVersion::Win98:
      return {"Microsoft Windows 98", "4.10.2222", "2222", " A ", 1999, 4, 23};
    case OsVersion::WinMe:
      return {"Microsoft Windows ME", "4.90.3000", "3000", "", 2000, 6, 8};
    case OsVersion::NT351:
      return {"Microsoft Windows NT", "3.51", "1057", "Service Pack 5", 1996, 9, 19};
    case OsVersion::NT4:
      return {"Microsoft Windows NT", "4.0", "1381", "Service Pack 6", 1999, 11, 30};
    case OsVersion::Win2000:
      return {"Microsoft Windows 2000", "5.0", "2195", "Service Pack 4", 2003, 6, 19};
    case OsVersion::WinXP:
      return {"Microsoft Windows XP", "5.1", "2600", "Service Pack 2", 2004, 8, 4};
  }
  return Facts(OsVersion::WinXP);
}

bool IsNT(OsVersion os) {
  return os == OsVersion::NT351 || os == OsVersion::NT4 || os == OsVersion::Win2000 ||
         os == OsVersion::WinXP;
}

using Bytes = std::vector<BYTE>;

// Registry writes go straight to the new machine's store: the machine is neither current
// nor finished while it is built (and its user may not be an administrator).
class RegWriter {
 public:
  explicit RegWriter(Machine& m) : store_(m) {}
  void Sz(const std::string& key, const std::string& name, const std::string& text,
          DWORD type = REG_SZ) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    Set(key, name, type, data);
  }
  void ExpandSz(const std::string& key, const std::string& name, const std::string& text) {
    Sz(key, name, text, REG_EXPAND_SZ);
  }
  void Dword(const std::string& key, const std::string& name, DWORD v) {
    Set(key, name, REG_DWORD, Bytes{BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)});
  }
  void Key(const std::string& key) {
    if (!store_.KeyByName(key, true)) throw MachineError("cannot create the registry key " + key);
  }

 private:
  void Set(const std::string& key, const std::string& name, DWORD type, const Bytes& data) {
    auto k = store_.KeyByName(key, true);
    if (!k) throw MachineError("cannot create the registry key " + key);
    store_.SetValue(k->id, k->path, name, type, data);
  }
  RegistryStore store_;
};

fs::file_time_type FileTime(OsVersion os) {
  OsFacts f = Facts(os);
  using namespace std::chrono;
  sys_days day = year(f.year) / month(unsigned(f.month)) / std::chrono::day(unsigned(f.day));
  return file_clock::from_sys(time_point_cast<file_clock::duration>(sys_seconds(day) + hours(12)));
}

void WriteHostFile(const fs::path& p, const void* data, size_t size, fs::file_time_type time) {
  fs::create_directories(p.parent_path());
  fs::path tmp = p;
  tmp += ".creating";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), std::streamsize(size));
    if (!out) throw MachineError("cannot write " + p.string());
  }
  fs::rename(tmp, p);
  fs::last_write_time(p, time);
}

std::string Join(const std::string& dir, const std::string& name) {
  return dir.back() == '\\' ? dir + name : dir + "\\" + name;
}

std::string HostName(const MachineSettings& s) {
  std::string name = s.hostName;
  if (name.empty()) {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) == 0) name = buf;
    if (size_t dot = name.find('.'); dot != std::string::npos) name.resize(dot);
  }
  if (name.empty()) name = "POSTE1";
  name = AsciiUpper(std::move(name));
  if (name.size() > 15) name.resize(15);  // NetBIOS names
  return name;
}

std::string ServiceLine(const char* name, const char* port, const char* aliases,
                        const char* comment) {
  char line[160];
  std::string tail = aliases;
  if (*comment) tail += (tail.empty() ? "" : " ") + std::string("#") + comment;
  std::snprintf(line, sizeof line, "%-16s %-26s %s", name, port, tail.c_str());
  std::string s = line;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s + "\r\n";
}

struct Profile {
  std::string home, desktop, documents, startMenu, programs, appData, temp;
};

Profile UserProfile(const MachineSettings& s) {
  Profile p;
  const std::string win = s.WindowsDir();
  if (s.os == OsVersion::WinXP || s.os == OsVersion::Win2000) {
    p.home = "C:\\Documents and Settings\\" + s.userName;
    p.documents = p.home + "\\Mes documents";
    p.appData = p.home + "\\Application Data";
    p.temp = p.home + "\\Local Settings\\Temp";
  } else if (s.IsNT()) {
    p.home = win + "\\Profiles\\" + s.userName;
    p.documents = p.home + "\\Personnel";
    p.appData = p.home + "\\Application Data";
    p.temp = "C:\\TEMP";
  } else {
    p.home = win;
    p.documents = "C:\\Mes documents";
    p.appData = win + "\\Application Data";
    p.temp = win + "\\TEMP";
  }
  p.desktop = p.home + "\\Bureau";
  p.startMenu = p.home + "\\Menu Démarrer";
  p.programs = p.startMenu + "\\Programmes";
  return p;
}

void Build(Machine& m, const MachineSettings& s, const MachineContents& contents) {
  const OsVersion os = s.os;
  const OsFacts facts = Facts(os);
  const bool nt = IsNT(os);
  const std::string win = s.WindowsDir();
  const std::string sys = s.SystemDir();
  const std::string programFiles = "C:\\Program Files";
  const std::string commonFiles = programFiles + "\\Common Files";
  const fs::file_time_type when = FileTime(os);
  const Profile profile = UserProfile(s);

  auto dir = [&](const std::string& winPath) { fs::create_directories(m.HostPath(winPath)); };
  auto text = [&](const std::string& winPath, const std::string& body) {
    WriteHostFile(m.HostPath(winPath), body.data(), body.size(), when);
  };

  // Folders.
  for (const std::string& d : {win + "\\Fonts", win + "\\Temp", win + "\\Help", win + "\\inf",
                               commonFiles, commonFiles + "\\System", profile.desktop,
                               profile.documents, profile.programs, profile.appData, profile.temp})
    dir(d);
  if (nt) {
    dir(win + "\\system");
    dir(sys + "\\drivers\\etc");
    dir(sys + "\\config");
  } else {
    dir(win + "\\COMMAND");
  }

  // System libraries.
  const std::string productName =
      std::string("Système d'exploitation Microsoft") + "\u00AE" + " Windows" + "\u00AE";
  for (const SystemLibrary& lib : SystemLibraries(os, contents)) {
    PeVersionSpec spec;
    spec.major = lib.version[0];
    spec.minor = lib.version[1];
    spec.release = lib.version[2];
    spec.build = lib.version[3];
    spec.dll = true;
    spec.company = "Microsoft Corporation";
    spec.description = lib.description;
    spec.originalName = lib.name;
    spec.copyright = "\u00A9 Microsoft Corporation. Tous droits réservés.";
    if (lib.englishTable) {
      spec.language = 0x0409;
      spec.codePage = 1200;
      spec.product = "Visual Basic";
      spec.copyright = "Copyright \u00A9 1987-2000 Microsoft Corp.";
    } else {
      spec.product = productName;
    }
    auto bytes = BuildPeFile(spec);
    WriteHostFile(m.HostPath(Join(sys, lib.name)), bytes.data(), bytes.size(), when);
  }

  // Text files of the Windows folder and the network files.
  text(win + "\\WIN.INI",
       "; pour la prise en charge des applications 16 bits\r\n[fonts]\r\n[extensions]\r\n"
       "[mci extensions]\r\n[files]\r\n[Mail]\r\nMAPI=1\r\n");
  text(win + "\\SYSTEM.INI",
       "; pour la prise en charge des applications 16 bits\r\n[boot]\r\nshell=Explorer.exe\r\n"
       "[drivers]\r\ntimer=timer.drv\r\n[386Enh]\r\nwoafont=dosapp.fon\r\n");
  text(ServicesFilePath(s), DefaultServicesText(os));
  if (nt)
    text(sys + "\\drivers\\etc\\hosts",
         "# Fichier HOSTS : correspondances entre noms d'hôtes et adresses IP.\r\n#\r\n"
         "127.0.0.1       localhost\r\n");
  else
    text("C:\\AUTOEXEC.BAT",
         "SET PATH=" + win + ";" + win + "\\COMMAND\r\nSET TEMP=" + profile.temp + "\r\n");

  // Registry.
  RegWriter reg(m);
  const std::string hklmSoft = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  reg.Sz(hklmSoft, "ProgramFilesDir", programFiles);
  reg.Sz(hklmSoft, "CommonFilesDir", commonFiles);
  reg.Sz(hklmSoft, "ProductName", facts.productName);
  reg.Sz(hklmSoft, "RegisteredOwner", s.userName);
  reg.Sz(hklmSoft, "RegisteredOrganization", "");
  reg.Sz(hklmSoft, "MediaPath", win + "\\Media");
  reg.ExpandSz(hklmSoft, "DevicePath", nt ? "%SystemRoot%\\inf" : win + "\\INF");
  if (nt) {
    const std::string ntCur = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    reg.Sz(ntCur, "SystemRoot", win);
    reg.Sz(ntCur, "CurrentVersion", facts.version);
    reg.Sz(ntCur, "CurrentBuildNumber", facts.build);
    reg.Sz(ntCur, "CurrentType", "Uniprocessor Free");
    reg.Sz(ntCur, "ProductName", facts.productName);
    if (*facts.servicePack) reg.Sz(ntCur, "CSDVersion", facts.servicePack);
    reg.Sz(ntCur, "RegisteredOwner", s.userName);
    reg.Sz(ntCur, "RegisteredOrganization", "");
    reg.Sz(ntCur, "PathName", win);
  } else {
    reg.Sz(hklmSoft, "SystemRoot", win);
    reg.Sz(hklmSoft, "Version", std::string(facts.productName).substr(10));
    reg.Sz(hklmSoft, "VersionNumber", facts.version);
    if (*facts.servicePack) reg.Sz(hklmSoft, "SubVersionNumber", facts.servicePack);
  }

  // Environment: the system and user paths are where the NT family keeps them; 9x has
  // them in AUTOEXEC.BAT.
  if (nt) {
    const std::string env =
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager\\Environment";
    std::string path = "%SystemRoot%\\system32;%SystemRoot%";
    if (os == OsVersion::WinXP || os == OsVersion::Win2000) path += ";%SystemRoot%\\System32\\Wbem";
    reg.ExpandSz(env, "Path", path);
    reg.ExpandSz(env, "ComSpec", "%SystemRoot%\\system32\\cmd.exe");
    reg.Sz(env, "OS", "Windows_NT");
    reg.ExpandSz(env, "windir", "%SystemRoot%");
    reg.ExpandSz(env, "TEMP", "%SystemRoot%\\TEMP");
    reg.ExpandSz(env, "TMP", "%SystemRoot%\\TEMP");
    reg.Sz(env, "NUMBER_OF_PROCESSORS", "1");
    reg.Sz(env, "PROCESSOR_ARCHITECTURE", "x86");
    const std::string user = "HKEY_CURRENT_USER\\Environment";
    reg.ExpandSz(user, "path", "");
    reg.ExpandSz(user, "TEMP", profile.temp);
    reg.ExpandSz(user, "TMP", profile.temp);
  }
  reg.Sz("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
         "ComputerName", HostName(s));
  reg.Sz("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Nls\\Language", "Default",
         "040c");
  reg.Key("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services");
  reg.Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
  reg.Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
  reg.Key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

  // Shared counts of the libraries that programs installed earlier have recorded.
  const std::string shared = hklmSoft + "\\SharedDLLs";
  reg.Key(shared);
  DWORD count = 1;
  for (const SystemLibrary& lib : SystemLibraries(os, contents)) {
    static const char* const counted[] = {"msvbvm60.dll", "oleaut32.dll", "olepro32.dll",
                                          "asycfilt.dll", "comcat.dll",   "stdole2.tlb"};
    if (std::find_if(std::begin(counted), std::end(counted),
                     [&](const char* n) { return lib.name == n; }) == std::end(counted))
      continue;
    reg.Dword(shared, Join(sys, lib.name), count);
    count = count % 3 + 1;
  }

  // Fonts: the registered faces (the drawing layer brings its own stand-ins).
  const std::string fonts =
      nt ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
         : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
  reg.Sz(fonts, "Arial (TrueType)", "ARIAL.TTF");
  reg.Sz(fonts, "Courier New (TrueType)", "COUR.TTF");
  reg.Sz(fonts, "Times New Roman (TrueType)", "TIMES.TTF");
  reg.Sz(fonts, "MS Sans Serif 8,10,12,14,18,24", "SSERIFE.FON");

  // The user's folders and international settings.
  const std::string shellFolders =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  reg.Sz(shellFolders, "Desktop", profile.desktop);
  reg.Sz(shellFolders, "Personal", profile.documents);
  reg.Sz(shellFolders, "Start Menu", profile.startMenu);
  reg.Sz(shellFolders, "Programs", profile.programs);
  reg.Sz(shellFolders, "AppData", profile.appData);
  reg.Sz(shellFolders, "Fonts", win + "\\Fonts");
  const std::string intl = "HKEY_CURRENT_USER\\Control Panel\\International";
  reg.Sz(intl, "Locale", "0000040C");
  reg.Sz(intl, "sLanguage", "FRA");
  reg.Sz(intl, "sCountry", "France");
  reg.Sz(intl, "sDecimal", ",");
  reg.Sz(intl, "sThousand", " ");
  reg.Sz(intl, "sShortDate", "dd/MM/yyyy");
  reg.Sz(intl, "sTimeFormat", "HH:mm:ss");
  reg.Key("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");
}

}  // namespace

std::vector<SystemLibrary> SystemLibraries(OsVersion os, const MachineContents& contents) {
  struct Row {
    const char* name;
    const char* description;
    bool english;
  };
  static const Row rows[] = {
      {"shell32.dll", "Bibliothèque commune du shell Windows", false},
      {"shfolder.dll", "Bibliothèque des dossiers du shell", false},
      {"advapi32.dll", "API avancées Windows 32", false},
      {"kernel32.dll", "Bibliothèque client de l'API de base Windows", false},
      {"msvcrt.dll", "Bibliothèque d'exécution C Windows", false},
      {"msvcp60.dll", "Bibliothèque d'exécution C++ Windows", false},
      {"oleaut32.dll", "Automation OLE", false},
      {"olepro32.dll", "Contrôles OLE et propriétés", false},
      {"asycfilt.dll", "Filtres asynchrones OLE", false},
      {"comcat.dll", "Gestionnaire des catégories de composants", false},
      {"stdole2.tlb", "Bibliothèque de types Automation OLE", false},
      {"msvbvm60.dll", "Visual Basic Virtual Machine", true},
  };
  // Versions in the order of rows; zero major: the library is missing on that version.
  using V = std::array<WORD, 4>;
  std::array<V, 12> v{};
  switch (os) {
    case OsVersion::WinXP:
      v = {V{6, 0, 2900, 2180}, {6, 0, 2900, 2180}, {5, 1, 2600, 2180}, {5, 1, 2600, 2180},
           {7, 0, 2600, 2180},  {6, 2, 3104, 0},    {5, 1, 2600, 2180}, {5, 1, 2600, 2180},
           {5, 1, 2600, 2180},  {5, 0, 2600, 1},    {5, 1, 2600, 2180}, {6, 0, 98, 2}};
      break;
    case OsVersion::Win2000:
      v = {V{5, 0, 3900, 6975}, {5, 50, 4027, 300}, {5, 0, 2195, 6710}, {5, 0, 2195, 6688},
           {6, 1, 9844, 0},     {6, 0, 8972, 0},    {2, 40, 4522, 0},   {5, 0, 4522, 0},
           {2, 40, 4522, 0},    {5, 0, 1641, 1},    {2, 40, 4522, 0},   {6, 0, 92, 37}};
      break;
    case OsVersion::WinMe:
      v = {V{5, 50, 4134, 100}, {5, 50, 4134, 100}, {4, 90, 3000, 0}, {4, 90, 3000, 0},
           {6, 1, 9359, 0},     {6, 1, 8637, 0},    {2, 40, 4512, 1}, {5, 0, 4512, 1},
           {2, 40, 4512, 1},    {4, 71, 1460, 1},   {2, 40, 4512, 1}, {6, 0, 84, 95}};
      break;
    case OsVersion::Win98:
      v = {V{4, 72, 3612, 1700}, {5, 50, 4027, 300}, {4, 80, 1675, 0}, {4, 10, 2222, 0},
           {6, 0, 8397, 0},      {6, 0, 8168, 0},    {2, 40, 4275, 1}, {5, 0, 4275, 1},
           {2, 40, 4275, 1},     {4, 71, 1460, 1},   {2, 40, 4275, 1}, {6, 0, 81, 76}};
      break;
    case OsVersion::Win95:
      v = {V{4, 0, 950, 0},  {}, {4, 0, 950, 0},   {4, 0, 950, 0},
           {4, 20, 0, 6164}, {}, {2, 20, 4054, 1}, {5, 0, 4055, 1},
           {2, 20, 4054, 1}, {}, {2, 20, 4054, 1}, {}};
      break;
    case OsVersion::NT4:
      v = {V{4, 0, 1381, 171}, {}, {4, 0, 1381, 130}, {4, 0, 1381, 178},
           {4, 20, 0, 6201},   {}, {2, 30, 4265, 1},  {5, 0, 4265, 1},
           {2, 30, 4265, 1},   {}, {2, 30, 4265, 1},  {}};
      break;
    case OsVersion::NT351:
      v = {V{3, 51, 1057, 1},
           {},
           {3, 51, 1057, 1},
           {3, 51, 1057, 1},
           {},
           {},
           {2, 10, 3027, 1},
           {},
           {},
           {},
           {},
           {}};
      break;
  }
  // The shell folder library of the browser that brought it to the versions without.
  for (size_t i = 0; i < v.size(); ++i)
    if (std::string_view(rows[i].name) == "shfolder.dll") {
      if (!contents.shFolder)
        v[i] = V{};
      else if (v[i][0] == 0)
        v[i] = V{5, 50, 4027, 300};
    }
  std::vector<SystemLibrary> out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i][0] == 0) continue;
    SystemLibrary lib;
    lib.name = rows[i].name;
    std::copy(v[i].begin(), v[i].end(), lib.version);
    lib.description = rows[i].description;
    lib.englishTable = rows[i].english;
    out.push_back(lib);
  }
  return out;
}

std::string ServicesFilePath(const MachineSettings& s) {
  return s.IsNT() ? s.SystemDir() + "\\drivers\\etc\\services" : s.WindowsDir() + "\\SERVICES";
}

std::string DefaultServicesText(OsVersion os) {
  struct Entry {
    const char* name;
    const char* port;
    const char* aliases;
    const char* comment;
  };
  static const Entry entries[] = {
      {"echo", "7/tcp", "", ""},
      {"echo", "7/udp", "", ""},
      {"discard", "9/tcp", "sink null", ""},
      {"discard", "9/udp", "sink null", ""},
      {"daytime", "13/tcp", "", ""},
      {"daytime", "13/udp", "", ""},
      {"qotd", "17/tcp", "quote", "Quote of the day"},
      {"chargen", "19/tcp", "ttytst source", "Character generator"},
      {"ftp-data", "20/tcp", "", "FTP, data"},
      {"ftp", "21/tcp", "", "FTP. control"},
      {"telnet", "23/tcp", "", ""},
      {"smtp", "25/tcp", "mail", "Simple Mail Transfer Protocol"},
      {"time", "37/tcp", "timserver", ""},
      {"time", "37/udp", "timserver", ""},
      {"nameserver", "42/tcp", "name", "Host Name Server"},
      {"nicname", "43/tcp", "whois", ""},
      {"domain", "53/tcp", "", "Domain Name Server"},
      {"domain", "53/udp", "", "Domain Name Server"},
      {"bootps", "67/udp", "dhcps", "Bootstrap Protocol Server"},
      {"bootpc", "68/udp", "dhcpc", "Bootstrap Protocol Client"},
      {"tftp", "69/udp", "", "Trivial File Transfer"},
      {"gopher", "70/tcp", "", ""},
      {"finger", "79/tcp", "", ""},
      {"http", "80/tcp", "www www-http", "World Wide Web"},
      {"kerberos", "88/tcp", "krb5 kerberos-sec", "Kerberos"},
      {"hostname", "101/tcp", "hostnames", "NIC Host Name Server"},
      {"pop3", "110/tcp", "", "Post Office Protocol - Version 3"},
      {"sunrpc", "111/tcp", "rpcbind portmap", "SUN Remote Procedure Call"},
      {"auth", "113/tcp", "ident tap", "Identification Protocol"},
      {"nntp", "119/tcp", "usenet", "Network News Transfer Protocol"},
      {"ntp", "123/udp", "", "Network Time Protocol"},
      {"epmap", "135/tcp", "loc-srv", "DCE endpoint resolution"},
      {"netbios-ns", "137/udp", "nbname", "NETBIOS Name Service"},
      {"netbios-dgm", "138/udp", "nbdatagram", "NETBIOS Datagram Service"},
      {"netbios-ssn", "139/tcp", "nbsession", "NETBIOS Session Service"},
      {"imap", "143/tcp", "imap4", "Internet Message Access Protocol"},
      {"snmp", "161/udp", "", "SNMP"},
      {"snmptrap", "162/udp", "snmp-trap", "SNMP trap"},
      {"ldap", "389/tcp", "", "Lightweight Directory Access Protocol"},
      {"https", "443/tcp", "MCom", ""},
      {"kpasswd", "464/tcp", "", "Kerberos (v5)"},
      {"exec", "512/tcp", "", "Remote Process Execution"},
      {"login", "513/tcp", "", "Remote Login"},
      {"shell", "514/tcp", "cmd", "Remote command"},
      {"printer", "515/tcp", "spooler", ""},
      {"talk", "517/udp", "", ""},
      {"ntalk", "518/udp", "", ""},
      {"timed", "525/udp", "timeserver", ""},
      {"uucp", "540/tcp", "uucpd", ""},
      {"klogin", "543/tcp", "", "Kerberos login"},
      {"kshell", "544/tcp", "krcmd", "Kerberos remote shell"},
      {"ldaps", "636/tcp", "sldap", "LDAP over TLS/SSL"},
      {"ms-sql-s", "1433/tcp", "", "Microsoft-SQL-Server"},
      {"ms-sql-m", "1434/udp", "", "Microsoft-SQL-Monitor"},
      {"wins", "1512/tcp", "", "Microsoft Windows Internet Name Service"},
      {"ingreslock", "1524/tcp", "ingres", ""},
      {"l2tp", "1701/udp", "", "Layer Two Tunneling Protocol"},
      {"pptp", "1723/tcp", "", "Point-to-point tunnelling protocol"},
      {"radius", "1812/udp", "", "RADIUS authentication protocol"},
      {"nfsd", "2049/udp", "nfs", "NFS server"},
  };
  std::string out =
      "# Ce fichier associe les noms des services réseau connus aux numéros de port\r\n"
      "# attribués par l'IANA.\r\n"
      "#\r\n"
      "# Format :\r\n"
      "#\r\n"
      "# <nom du service>  <numéro de port>/<protocole>  [alias...]   [#<commentaire>]\r\n"
      "#\r\n"
      "\r\n";
  // The 9x file is the older, shorter list.
  const bool shortList = !IsNT(os);
  for (const Entry& e : entries) {
    if (shortList && std::strtol(e.port, nullptr, 10) > 1000) break;
    out += ServiceLine(e.name, e.port, e.aliases, e.comment);
  }
  return out;
}

void CreateMachine(const fs::path& target, const MachineSettings& settings,
                   const MachineContents& contents) {
  const fs::path dir = fs::absolute(target).lexically_normal();
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (fs::exists(dir / "machine.ini", ec))
      throw MachineError(dir.string() + ": a machine already exists here");
    if (!fs::is_directory(dir, ec)) throw MachineError(dir.string() + ": not a folder");
    if (!fs::is_empty(dir, ec)) throw MachineError(dir.string() + ": the folder is not empty");
  }
  fs::path parent = dir.parent_path();
  fs::create_directories(parent, ec);
  if (ec) throw MachineError(parent.string() + ": " + ec.message());
  std::random_device rd;
  fs::path work = parent / ("." + dir.filename().string() + ".creating-" + std::to_string(rd()));
  try {
    // Built as an administrator on the real clock; the settings asked for come last.
    MachineSettings building = settings;
    building.admin = true;
    building.simulatedTime = false;
    Machine::CreateBare(work, building);
    {
      Machine m(work);
      Build(m, settings, contents);
      m.State().Exec("DELETE FROM journal");
      m.SaveSettings(settings);
      m.Journal("machine", "machine créée : " + std::string(Facts(settings.os).productName) +
                               ", utilisateur " + settings.userName);
      m.CloseDatabases();
    }
    for (const char* extra : {"-wal", "-shm"}) {
      fs::remove(work / (std::string("registry.db") + extra), ec);
      fs::remove(work / (std::string("state.db") + extra), ec);
    }
    if (fs::exists(dir, ec)) fs::remove(dir, ec);  // the empty folder checked above
    fs::rename(work, dir);
  } catch (const MachineError&) {
    fs::remove_all(work, ec);
    throw;
  } catch (const std::exception& e) {
    fs::remove_all(work, ec);
    throw MachineError(dir.string() + ": the machine cannot be created: " + e.what());
  }
}

void CreateMachine(const fs::path& dir, const MachineSettings& settings) {
  CreateMachine(dir, settings, MachineContents{});
}

void InstallMachineCreator() {
  Machine::SetCreator(
      static_cast<void (*)(const fs::path&, const MachineSettings&)>(&CreateMachine));
}

void StartProgram(const std::string& name) {
  InstallMachineCreator();
  Machine::SetProgramName(name);
  Machine& m = Machine::Current();
  m.State();
  m.RegistryDb();
}

}  // namespace win
