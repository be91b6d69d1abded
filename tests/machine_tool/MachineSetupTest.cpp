#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>

#include "platform/system/Machine.h"
#include "platform/system/MachineSetup.h"
#include "platform/system/Registry.h"
#include "platform/system/Version.h"

namespace fs = std::filesystem;
using namespace win;

namespace {

// A machine made by CreateMachine, current for the test, removed afterwards.
class FullMachine {
 public:
  explicit FullMachine(MachineSettings s) {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("wi-setup-" + std::to_string(rd()) + std::to_string(rd()));
    s.simulatedTime = true;
    CreateMachine(dir_, s);
    Machine::Use(dir_);
  }
  ~FullMachine() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  const fs::path& dir() const { return dir_; }

 private:
  fs::path dir_;
};

std::string Value(HKEY root, const std::string& key, const std::string& name,
                  DWORD* type = nullptr) {
  HKEY k;
  if (RegOpenKeyEx(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
  char buf[1024] = {};
  DWORD size = sizeof buf - 1, t = 0;
  LONG rc = RegQueryValueEx(k, name, nullptr, &t, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return "<no value>";
  if (type) *type = t;
  if (t == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(buf));
  return buf;
}

// The four parts of a library's version; none when it has no version (missing file).
std::optional<std::array<unsigned, 4>> VersionParts(const std::string& path) {
  DWORD h;
  DWORD size = GetFileVersionInfoSize(path, &h);
  if (!size) return std::nullopt;
  std::vector<std::uint8_t> data(size);
  void* p;
  UINT len;
  if (!GetFileVersionInfo(path, h, size, data.data()) ||
      !VerQueryValue(data.data(), "\\", &p, &len))
    return std::nullopt;
  auto* f = static_cast<VS_FIXEDFILEINFO*>(p);
  return std::array<unsigned, 4>{f->dwFileVersionMS >> 16, f->dwFileVersionMS & 0xFFFF,
                                 f->dwFileVersionLS >> 16, f->dwFileVersionLS & 0xFFFF};
}

// "a.b.c.d" of a library, or "" when it has no version (missing file).
std::string FileVersion(const std::string& path) {
  const auto v = VersionParts(path);
  if (!v) return "";
  return std::to_string((*v)[0]) + "." + std::to_string((*v)[1]) + "." + std::to_string((*v)[2]) +
         "." + std::to_string((*v)[3]);
}

// Whether the Visual Basic 6 run-time of the machine meets the installers' minimums.
bool VbRuntimeCurrent() {
  const std::pair<const char*, std::array<unsigned, 4>> minimums[] = {
      {"asycfilt.dll", {2, 40, 4275, 1}}, {"comcat.dll", {4, 71, 1460, 1}},
      {"msvbvm60.dll", {6, 0, 89, 64}},   {"oleaut32.dll", {2, 40, 4275, 1}},
      {"olepro32.dll", {5, 0, 4275, 1}},  {"stdole2.tlb", {2, 40, 4275, 1}}};
  for (const auto& [name, min] : minimums)
    if (auto have = VersionParts(name); !have || *have < min) return false;
  return true;
}

}  // namespace

TEST(MachineSetup, XpHasItsFoldersLibrariesAndRegistry) {
  MachineSettings s;
  FullMachine pc(s);
  fs::path c = pc.dir() / "drives/c";
  EXPECT_TRUE(fs::is_directory(c / "Program Files/Common Files"));
  EXPECT_TRUE(fs::is_directory(c / "WINDOWS/Fonts"));
  EXPECT_EQ(FileVersion("C:\\WINDOWS\\system32\\msvbvm60.dll"), "6.0.98.2");
  EXPECT_EQ(FileVersion("shell32.dll"), "6.0.2900.2180");
  EXPECT_TRUE(VbRuntimeCurrent());

  const std::string cur = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, cur, "ProgramFilesDir"), "C:\\Program Files");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, cur, "CommonFilesDir"), "C:\\Program Files\\Common Files");
  EXPECT_EQ(
      Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot"),
      "C:\\WINDOWS");
  DWORD type = 0;
  EXPECT_EQ(
      Value(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager\\Environment",
            "path", &type),
      "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem");
  EXPECT_EQ(type, REG_EXPAND_SZ);
  EXPECT_EQ(Value(HKEY_CURRENT_USER, "Environment", "path"), "");
  EXPECT_EQ(
      Value(HKEY_LOCAL_MACHINE, cur + "\\SharedDLLs", "C:\\WINDOWS\\system32\\msvbvm60.dll", &type),
      "3");
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                  "Arial (TrueType)"),
            "ARIAL.TTF");

  // A new machine's journal holds only its creation.
  auto journal = Machine::Current().ReadJournal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0].kind, "machine");
}

TEST(MachineSetup, ServicesFileIsOrdinaryAndWithoutFirebird) {
  for (OsVersion os : {OsVersion::WinXP, OsVersion::Win98}) {
    MachineSettings s;
    s.os = os;
    FullMachine pc(s);
    std::string path = ServicesFilePath(s);
    EXPECT_EQ(path, os == OsVersion::WinXP ? "C:\\WINDOWS\\system32\\drivers\\etc\\services"
                                           : "C:\\WINDOWS\\SERVICES");
    std::ifstream in(Machine::Current().HostPath(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    EXPECT_EQ(text, DefaultServicesText(os));
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') {
        ++lines;
        EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
      }
    EXPECT_GT(lines, 40u);
    EXPECT_NE(text.find("\r\nhttp             80/tcp"), std::string::npos);
    EXPECT_EQ(text.find("gds_db"), std::string::npos);
    EXPECT_EQ(text.find("3050"), std::string::npos);
  }
}

TEST(MachineSetup, OlderWindowsHaveOlderOrMissingLibraries) {
  {
    MachineSettings s;
    s.os = OsVersion::Win2000;
    FullMachine pc(s);
    EXPECT_EQ(FileVersion("C:\\WINNT\\system32\\kernel32.dll"), "5.0.2195.6688");
    EXPECT_TRUE(VbRuntimeCurrent());
  }
  {
    MachineSettings s;
    s.os = OsVersion::NT4;
    FullMachine pc(s);
    EXPECT_EQ(FileVersion("shfolder.dll"), "5.50.4027.300");  // as a later browser left it
    EXPECT_EQ(FileVersion("msvbvm60.dll"), "");
    EXPECT_EQ(FileVersion("kernel32.dll"), "4.0.1381.178");
    EXPECT_FALSE(VbRuntimeCurrent());
  }
  {
    MachineSettings s;
    s.os = OsVersion::Win98;
    s.admin = false;
    s.userName = "Marie";
    FullMachine pc(s);
    EXPECT_EQ(FileVersion("C:\\WINDOWS\\SYSTEM\\msvbvm60.dll"), "6.0.81.76");
    EXPECT_FALSE(VbRuntimeCurrent());
    EXPECT_FALSE(Machine::Current().Settings().admin);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
                    "Courier New (TrueType)"),
              "COUR.TTF");
    EXPECT_EQ(
        Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "SystemRoot"),
        "C:\\WINDOWS");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Control Panel\\International", "sDecimal"), ",");
  }
}

TEST(MachineSetup, RefusesToOverwriteAndLeavesNoDebris) {
  MachineSettings s;
  FullMachine pc(s);
  fs::path ini = pc.dir() / "machine.ini";
  auto before = fs::last_write_time(ini);
  EXPECT_THROW(CreateMachine(pc.dir(), s), MachineError);
  EXPECT_EQ(fs::last_write_time(ini), before);
  size_t entries = 0;
  for (auto& e : fs::directory_iterator(pc.dir().parent_path()))
    if (e.path().filename().string().find(pc.dir().filename().string() + ".creating") !=
        std::string::npos)
      ++entries;
  EXPECT_EQ(entries, 0u);
}

TEST(MachineSetup, DefaultMachineIsCreatedWithTheFullLayout) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::random_device rd;
  fs::path data = fs::temp_directory_path() / ("wi-default-" + std::to_string(rd()));
  EXPECT_EXIT(
      {
        setenv("XDG_DATA_HOME", data.c_str(), 1);
        unsetenv("WINPC");
        InstallMachineCreator();
        Machine& m = Machine::Current();
        bool ok = fs::exists(m.HostPath("C:\\WINDOWS\\system32\\msvbvm60.dll")) &&
                  Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                        "ProgramFilesDir") == "C:\\Program Files" &&
                  m.Settings().admin && m.Settings().os == OsVersion::WinXP;
        // The child runs the whole test again, in a folder of its own: it removes it.
        m.CloseDatabases();
        std::error_code ec;
        fs::remove_all(data, ec);
        std::exit(ok ? 0 : 3);
      },
      ::testing::ExitedWithCode(0), "");
  std::error_code ec;
  fs::remove_all(data, ec);
}
