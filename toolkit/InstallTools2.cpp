#include "toolkit/InstallTools2.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/forms/Classes.h"
#include "platform/forms/Screen.h"
#include "platform/system/Clock.h"
#include "platform/system/Exceptions.h"
#include "platform/system/Files.h"
#include "platform/system/Fonts.h"
#include "platform/system/LastError.h"
#include "platform/system/Libraries.h"
#include "platform/system/Machine.h"
#include "platform/system/Program.h"
#include "platform/system/RecordBatch.h"
#include "platform/system/Registry.h"
#include "platform/system/Sockets.h"
#include "platform/system/SystemInfo.h"
#include "platform/system/TRegistry.h"
#include "platform/system/Text.h"
#include "platform/system/Version.h"
#include "toolkit/GeneralHelpers.h"

namespace {

std::string WithBackslash(std::string dir) {
  AddBackslash(dir);
  return dir;
}

// The name part of a path (after the last backslash or drive colon).
std::string ExtractFileName(const std::string& path) {
  auto p = path.find_last_of("\\:");
  return p == std::string::npos ? path : path.substr(p + 1);
}

// The file calls below turn any failure to open the machine into an error code, so a
// damaged machine.ini would read as a missing file; say what is wrong instead.
void RequireMachine() {
  try {
    win::Machine::Current();
  } catch (const win::MachineError& e) {
    throw Exception(e.what());
  }
}

// Position of the extension's period in path, or npos (the period must be in the name part).
std::size_t ExtensionPos(const std::string& path) {
  auto dot = path.rfind('.');
  if (dot == std::string::npos) return dot;
  auto sep = path.find_last_of("\\:");
  if (sep != std::string::npos && sep > dot) return std::string::npos;
  return dot;
}

bool IsFolder(const std::string& path) {
  win::DWORD a = TWindowsInstaller::GetPathAttributes(path);
  return a != win::INVALID_FILE_ATTRIBUTES && (a & win::FILE_ATTRIBUTE_DIRECTORY);
}

std::string ThreeDigits(int i) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03d", i);
  return buf;
}

std::uint32_t gRandSeed = 0;

bool IsNTPlatform() {
  win::OSVERSIONINFO info;
  return win::GetVersionEx(&info) && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT;
}

}  // namespace

// --- Pseudo-random generator ----------------------------------------------------------

void SetRandSeed(std::uint32_t Seed) { gRandSeed = Seed; }

void Randomize() { SetRandSeed(std::uint32_t(win::clock::Now() / win::clock::kTicksPerMs)); }

std::uint32_t Random(std::uint32_t Range) {
  gRandSeed = gRandSeed * 134775813u + 1u;
  return std::uint32_t((std::uint64_t(gRandSeed) * Range) >> 32);
}

// --- Object ----------------------------------------------------------------------------

TWindowsInstaller::TWindowsInstaller(const std::string& ShFolderDir) : FShFolderDir(ShFolderDir) {}

TWindowsInstaller::~TWindowsInstaller() { FreeShellFolderApi(); }

// --- Queries ---------------------------------------------------------------------------

std::string TWindowsInstaller::RemoveBackslashUnlessRoot(const std::string& Path) {
  // In UTF-8 a backslash byte is always a whole character, so the last byte is enough.
  if (Path.size() <= 1 || Path.back() != '\\') return Path;
  if (Path[Path.size() - 2] == ':') return Path;
  return Path.substr(0, Path.size() - 1);
}

win::DWORD TWindowsInstaller::GetPathAttributes(const std::string& FileName) {
  win::UINT old = win::SetErrorMode(win::SEM_FAILCRITICALERRORS);
  win::DWORD a = win::GetFileAttributes(RemoveBackslashUnlessRoot(FileName));
  win::SetErrorMode(old);
  return a;
}

bool TWindowsInstaller::FileExists(const std::string& FileName) {
  win::DWORD a = GetPathAttributes(FileName);
  return a != win::INVALID_FILE_ATTRIBUTES && !(a & win::FILE_ATTRIBUTE_DIRECTORY);
}

bool TWindowsInstaller::PathExists(const std::string& FileName) {
  return GetPathAttributes(FileName) != win::INVALID_FILE_ATTRIBUTES;
}

bool GetFileWriteTime(const std::string& FileName, win::FILETIME& Time) {
  Time = win::FILETIME{};
  win::WIN32_FIND_DATA data;
  win::HANDLE find = win::FindFirstFile(FileName, &data);
  if (find == win::INVALID_HANDLE_VALUE) return false;
  win::FindClose(find);
  if (data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) return false;
  Time = data.ftLastWriteTime;
  return true;
}

bool GetLocalFileWriteTime(const std::string& FileName, win::FILETIME& Time) {
  win::FILETIME utc;
  if (!GetFileWriteTime(FileName, utc)) {
    Time = win::FILETIME{};
    return false;
  }
  return win::FileTimeToLocalFileTime(&utc, &Time) != 0;
}

bool GetFixedFileInfo(const std::string& FileName, win::VS_FIXEDFILEINFO& Info) {
  win::DWORD handle = 0;
  win::DWORD size = win::GetFileVersionInfoSize(FileName, &handle);
  if (size == 0) return false;
  std::vector<std::uint8_t> block(size);
  if (!win::GetFileVersionInfo(FileName, handle, size, block.data())) return false;
  void* root = nullptr;
  win::UINT len = 0;
  if (!win::VerQueryValue(block.data(), "\\", &root, &len) || !root ||
      len < sizeof(win::VS_FIXEDFILEINFO))
    return false;
  Info = *static_cast<const win::VS_FIXEDFILEINFO*>(root);
  return true;
}

bool GetFileVersionNumbers(const std::string& FileName, win::DWORD& VersionMS,
                           win::DWORD& VersionLS) {
  win::VS_FIXEDFILEINFO info{};
  if (!GetFixedFileInfo(FileName, info)) {
    VersionMS = VersionLS = 0;
    return false;
  }
  VersionMS = info.dwFileVersionMS;
  VersionLS = info.dwFileVersionLS;
  return true;
}

bool TWindowsInstaller::GetFileVersionWords(const std::string& FileName, win::WORD& Major,
                                            win::WORD& Minor, win::WORD& Release,
                                            win::WORD& Build) {
  win::DWORD ms = 0, ls = 0;
  bool ok = GetFileVersionNumbers(FileName, ms, ls);
  Major = win::WORD(ms >> 16);
  Minor = win::WORD(ms & 0xFFFF);
  Release = win::WORD(ls >> 16);
  Build = win::WORD(ls & 0xFFFF);
  return ok;
}

std::string TWindowsInstaller::GetFileVersionString(const std::string& FileName) {
  win::WORD a, b, c, d;
  if (!GetFileVersionWords(FileName, a, b, c, d)) return "?";
  return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
         std::to_string(d);
}

std::string GetShortName(const std::string& Path) {
  std::vector<char> buffer(win::MAX_PATH);
  win::DWORD len = win::GetShortPathName(Path, buffer.data(), win::DWORD(buffer.size()));
  if (len > buffer.size()) {
    buffer.resize(len);
    len = win::GetShortPathName(Path, buffer.data(), win::DWORD(buffer.size()));
  }
  if (len == 0 || len >= buffer.size()) return Path;
  return std::string(buffer.data(), len);
}

std::string ReadSystemDir() {
  char buffer[win::MAX_PATH] = {};
  win::UINT len = win::GetSystemDirectory(buffer, win::MAX_PATH);
  if (len >= win::MAX_PATH) return "";
  return std::string(buffer, len);
}

std::string TWindowsInstaller::GetWindowsDir() {
  char buffer[win::MAX_PATH] = {};
  win::UINT len = win::GetWindowsDirectory(buffer, win::MAX_PATH);
  if (len == 0 || len >= win::MAX_PATH) return "";
  return WithBackslash(std::string(buffer, len));
}

// --- Placement -------------------------------------------------------------------------

int TWindowsInstaller::CompareFiles(const std::string& Dest, const std::string& Source) {
  if constexpr (!wi::kIsTolvane) {
    if (!FileExists(Source)) throw Exception("File not found : " + Source);
  }
  if (!FileExists(Dest)) return 1;

  win::DWORD destMS, destLS, srcMS, srcLS;
  if (GetFileVersionNumbers(Dest, destMS, destLS) && GetFileVersionNumbers(Source, srcMS, srcLS)) {
    if (destMS != srcMS) return destMS < srcMS ? 1 : -1;
    if (destLS != srcLS) return destLS < srcLS ? 1 : -1;
    return 0;
  }
  win::FILETIME destTime, srcTime;
  if (GetLocalFileWriteTime(Dest, destTime) && GetLocalFileWriteTime(Source, srcTime)) {
    if (srcTime.value() > destTime.value()) return 1;
    if (srcTime.value() < destTime.value()) return -1;
    return 0;
  }
  return 1;
}

bool TWindowsInstaller::InstallFile(const std::string& Source, const std::string& DestDir,
                                    const std::string& BackupDir, bool& NeedReboot) {
  NeedReboot = false;
  RequireMachine();
  // The calls of one placement keep their records in one commit of the machine's state.
  win::RecordBatch records(win::Machine::Current());
  if (!BackupDir.empty() && !IsFolder(BackupDir))
    throw Exception("Backup directry does not exist :\r\n" + BackupDir);
  const std::string target = WithBackslash(DestDir) + ExtractFileName(Source);
  if (CompareFiles(target, Source) != 1) return false;

  if (FileExists(target)) {
    const std::string base =
        WithBackslash(BackupDir.empty() ? DestDir : BackupDir) + ExtractFileName(target);
    std::string backup = base;
    for (std::int64_t n = 0; FileExists(backup); ++n) backup = base + "_" + std::to_string(n);
    // The target keeps its name while it is backed up: the backup is a second name of the
    // same file where the drive allows it (no data written), else a copy.
    if (!win::CreateHardLink(backup, target) && !win::CopyFile(target, backup, true))
      ReportCopyError(target, backup);
  }
  ReplaceFile(Source, target, NeedReboot);
  if (!records.Commit()) ReportCopyError(Source, target);
  return true;
}

void TWindowsInstaller::InstallSystemFile(const std::string& Source) {
  bool needReboot = false;
  InstallFile(Source, ReadSystemDir(), "", needReboot);
}

namespace {
// Removes a staged copy that will not be used; keeps the last error of the failure that
// is about to be reported.
void DiscardStaged(const std::string& staged) {
  win::DWORD err = win::GetLastError();
  win::DeleteFile(staged);
  win::SetLastError(err);
}
}  // namespace

void TWindowsInstaller::ReplaceFile(const std::string& Source, const std::string& Dest,
                                    bool& NeedReboot) {
  NeedReboot = false;
  const bool exists = FileExists(Dest);
  if (exists) {
    win::DWORD attributes = win::GetFileAttributes(Dest);
    if (attributes == win::INVALID_FILE_ATTRIBUTES) ReportAttributesError(Dest);
    if ((attributes & win::FILE_ATTRIBUTE_READONLY) &&
        !win::SetFileAttributes(Dest, win::FILE_ATTRIBUTE_NORMAL))
      ReportAttributesError(Dest);
  }
  // A copy over Dest is written beside it and takes its name in one step: at every instant
  // Dest holds the old file or the new one, and a source that cannot be read costs nothing.
  if (win::CopyFile(Source, Dest, !exists)) {
    if (!win::SetFileAttributes(Dest, win::FILE_ATTRIBUTE_NORMAL)) ReportAttributesError(Dest);
    return;
  }
  const win::DWORD err = win::GetLastError();
  if (!exists || (err != win::ERROR_ACCESS_DENIED && err != win::ERROR_SHARING_VIOLATION))
    ReportCopyError(Source, Dest);

  // Dest is in use: the copy waits beside it under a numbered name for the next start.
  const std::string temp = GetNumberedFileName(Dest);
  if (!win::CopyFile(Source, temp, true)) ReportCopyError(Source, temp);
  if (!win::SetFileAttributes(temp, win::FILE_ATTRIBUTE_NORMAL)) ReportAttributesError(temp);
  NeedReboot = true;
  MoveFileOnReboot(temp, Dest);
}

std::string TWindowsInstaller::GetNumberedFileName(const std::string& FileName) {
  const auto dot = ExtensionPos(FileName);
  const std::string base = dot == std::string::npos ? FileName : FileName.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : FileName.substr(dot);
  for (int i = 0; i <= 999; ++i) {
    std::string name = base + ThreeDigits(i) + ext;
    if (!FileExists(name)) return name;
  }
  throw Exception("Cannot find unique filename for\r\n" + FileName);
}

namespace {

[[noreturn]] void RaiseIoError() {
  win::DWORD err = win::GetLastError();
  RaiseLastOSError(err ? err : win::ERROR_GEN_FAILURE);
}

// The text of `ini` with `entry` added at the end of its first [rename] section (the
// section is appended when there is none).
std::string AddRenameEntry(const std::vector<std::string>& lines, const std::string& entry) {
  std::string out;
  auto put = [&out](const std::string& line) { out += line + "\r\n"; };
  bool found = false;
  std::size_t i = 0;
  for (; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (win::TrimSpacesAndControls(line).starts_with("[")) {
      if (win::SameText(line, "[rename]")) {
        if (!found) {
          found = true;
          put(line);
          continue;
        }
      }
      if (found) break;  // held back: it goes after the new entry
    }
    put(line);
  }
  if (!found) put("[rename]");
  put(entry);
  for (; i < lines.size(); ++i) put(lines[i]);
  return out;
}

}  // namespace

void TWindowsInstaller::MoveFileOnReboot(const std::string& Source, const std::string& Dest) {
  if (IsNTPlatform()) {
    if (!win::MoveFileEx(Source, Dest,
                         win::MOVEFILE_REPLACE_EXISTING | win::MOVEFILE_DELAY_UNTIL_REBOOT))
      ReportLastError("Cannot move : \r\n" + Source + " to" + "\r\n" + Dest);
    return;
  }

  const std::string winDir = GetWindowsDir();
  const std::string ini = winDir + "WININIT.INI";
  const bool reading = FileExists(ini);
  const std::string entry = GetShortName(Dest) + "=" + GetShortName(Source);

  if (!reading) {
    if (!win::WriteWholeFile(ini, AddRenameEntry({}, entry))) RaiseIoError();
    return;
  }

  const std::string out = GetUniqueTempName(winDir, ".tmp");
  win::WritePrivateProfileString(nullptr, nullptr, nullptr, ini);
  std::string text;
  if (!win::ReadWholeFile(ini, text)) RaiseIoError();
  if (!win::WriteWholeFile(out, AddRenameEntry(win::SplitTerminatedLines(text), entry))) {
    DiscardStaged(out);
    RaiseIoError();
  }

  // The old file is moved aside, not deleted, until the new one has its name: a failed
  // move must not cost the renames other programs have already scheduled.
  const std::string aside = GetUniqueTempName(winDir, ".tmp");
  if (!win::MoveFile(ini, aside)) {
    DiscardStaged(out);
    ReportDeleteError(ini);
  }
  if (!win::MoveFile(out, ini)) {
    win::DWORD err = win::GetLastError();
    win::MoveFile(aside, ini);
    win::DeleteFile(out);
    win::SetLastError(err);
    ReportLastError("Cannot move : \r\n" + out + " to" + "\r\n" + ini);
  }
  win::DeleteFile(aside);
}

std::string EncodeBase32Name(std::uint32_t Value) {
  static const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
  std::string s(5, '0');
  for (int i = 4; i >= 0; --i) {
    s[i] = kDigits[Value & 31];
    Value >>= 5;
  }
  return s;
}

std::string TWindowsInstaller::GetUniqueTempName(const std::string& Dir, const std::string& Ext) {
  constexpr std::uint32_t kCount = 1u << 25;
  const std::string d = WithBackslash(Dir);
  const std::uint32_t start = Random(kCount);
  std::uint32_t i = start;
  for (;;) {
    i = (i + 1) & (kCount - 1);
    if (i == start) throw Exception("Error Too many files in dir");
    std::string name = d + "is-" + EncodeBase32Name(i) + Ext;
    if (!PathExists(name)) return name;
  }
}

void TWindowsInstaller::CheckDirectoryExists(const std::string& Dir) {
  if (!IsFolder(Dir)) throw Exception("Directory does not exist :\r\n" + Dir);
}

void TWindowsInstaller::CreateUniqueDir(const std::string& BaseDir, const std::string& Name,
                                        std::string& Dir) {
  CheckDirectoryExists(BaseDir);
  for (int i = 0; i <= 999; ++i) {
    Dir = WithBackslash(BaseDir) + Name + ThreeDigits(i);
    if (!IsFolder(Dir)) {
      if (!win::CreateDirectory(Dir)) ReportLastError("Cannot create directory :\r\n" + Dir);
      return;
    }
  }
  throw Exception("Cannot create unique directory in\r\n" + BaseDir);
}

// --- Shared-library counts -------------------------------------------------------------

namespace {

const std::string kRegistryAccessError =
    std::string("Registry access error : \r\n") + kSharedDllsKey;

class SharedDllsKey {
 public:
  SharedDllsKey() {
    win::LONG rc;
    try {
      rc = win::RegCreateKeyEx(win::HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, nullptr,
                               win::REG_OPTION_NON_VOLATILE,
                               win::KEY_QUERY_VALUE | win::KEY_SET_VALUE, nullptr, &h_, nullptr);
    } catch (const win::MachineError&) {
      rc = win::ERROR_BADDB;
    }
    if (rc != win::ERROR_SUCCESS) throw Exception(kRegistryAccessError);
  }
  ~SharedDllsKey() { win::RegCloseKey(h_); }
  SharedDllsKey(const SharedDllsKey&) = delete;
  SharedDllsKey& operator=(const SharedDllsKey&) = delete;
  win::HKEY get() const { return h_; }

 private:
  win::HKEY h_ = nullptr;
};

struct Count {
  bool exists = false;
  std::uint32_t value;
  win::DWORD type = win::REG_DWORD;
};

// Reads a count in any of the types other installers leave; `fallback` stands for a count
// that cannot be read.
Count ReadCount(win::HKEY key, const std::string& name, std::uint32_t fallback) {
  Count c{false, fallback, win::REG_DWORD};
  win::DWORD type = 0, size = 0;
  win::LONG rc = win::RegQueryValueEx(key, name, nullptr, &type, nullptr, &size);
  if (rc == win::ERROR_FILE_NOT_FOUND) return c;
  c.exists = true;
  if (rc != win::ERROR_SUCCESS) return c;
  std::vector<win::BYTE> data(size);
  if (win::RegQueryValueEx(key, name, nullptr, &type, data.data(), &size) != win::ERROR_SUCCESS)
    return c;
  data.resize(size);
  switch (type) {
    case win::REG_SZ: {
      std::string text(data.begin(), data.end());
      while (!text.empty() && text.back() == '\0') text.pop_back();
      // A decimal count of the signed 32 bits counts are kept in; "3000000000" does not fit,
      // so it is no number, not a count cut down to 32 bits.
      std::int32_t v = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
      if (ec == std::errc() && end == text.data() + text.size() && !text.empty() && v >= 0) {
        c.value = v;
        c.type = win::REG_SZ;
      }
      break;
    }
    case win::REG_BINARY:
      if (size >= 1 && size <= 4) {
        std::uint32_t v = 0;
        for (win::DWORD i = 0; i < size; ++i) v |= std::uint32_t(data[i]) << (8 * i);
        c.value = v;
        c.type = win::REG_BINARY;
      }
      break;
    case win::REG_DWORD:
      if (size == 4)
        c.value = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                  std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24;
      break;
    default:
      break;
  }
  return c;
}

void WriteCount(win::HKEY key, const std::string& name, std::uint32_t value, win::DWORD type) {
  if (type == win::REG_SZ) {
    std::string text = std::to_string(value);
    win::RegSetValueEx(key, name, 0, win::REG_SZ, reinterpret_cast<const win::BYTE*>(text.c_str()),
                       win::DWORD(text.size() + 1));
    return;
  }
  win::BYTE bytes[4] = {win::BYTE(value), win::BYTE(value >> 8), win::BYTE(value >> 16),
                        win::BYTE(value >> 24)};
  win::RegSetValueEx(key, name, 0, type, bytes, 4);
}

template <class F>
auto WithSharedDlls(F f) {
  SharedDllsKey key;
  try {
    return f(key.get());
  } catch (const win::MachineError&) {
    throw Exception(kRegistryAccessError);
  }
}

}  // namespace

void TWindowsInstaller::IncrementSharedDllCount(const std::string& FileName) {
  WithSharedDlls([&](win::HKEY key) {
    Count c = ReadCount(key, FileName, 0);
    if (std::int32_t(c.value) < 0) c.value = 0;
    WriteCount(key, FileName, c.value + 1, c.type);
  });
}

bool TWindowsInstaller::ReleaseSharedDll(const std::string& FileName) {
  return WithSharedDlls([&](win::HKEY key) {
    Count c = ReadCount(key, FileName, 2);
    if (!c.exists) return false;
    // A stored 0 already means no user left; it must not wrap round to 4294967295.
    if (c.value <= 1) {
      win::RegDeleteValue(key, FileName);
      return true;
    }
    WriteCount(key, FileName, c.value - 1, c.type);
    return false;
  });
}

void TWindowsInstaller::RemoveSharedDll(const std::string& FileName) {
  WithSharedDlls([&](win::HKEY key) {
    win::DWORD type = 0, size = 0;
    if (win::RegQueryValueEx(key, FileName, nullptr, &type, nullptr, &size) !=
        win::ERROR_FILE_NOT_FOUND)
      win::RegDeleteValue(key, FileName);
  });
}

// --- Special folders -------------------------------------------------------------------

void TWindowsInstaller::LoadShellFolderApi() {
  if (FShFolder || FShell32) return;
  FShell32 = win::LoadLibrary("shell32.dll");
  if (!FShell32) RaiseLastOSError();
  FShFolder = win::LoadLibrary(FShFolderDir + "shfolder.dll");
  if (!FShFolder) {
    const win::DWORD code = win::GetLastError();
    // Nothing half-loaded stays behind: a later lookup loads again (or fails the same way)
    // instead of finding the libraries "loaded" without an entry point.
    FreeShellFolderApi();
    win::SetLastError(code);
    try {
      RaiseLastOSError();
    } catch (const EOSError& e) {
      throw Exception(e.Message() + "\r\n\r\n" + "shfolder.dll");
    }
  }
  FSHGetFolderPath = reinterpret_cast<win::PFN_SHGetFolderPathA>(
      win::GetProcAddress(FShFolder, "SHGetFolderPathA"));
  if (!FSHGetFolderPath) {
    FreeShellFolderApi();
    throw Exception("Failed to get address of SHGetFolderPathA function");
  }
}

void TWindowsInstaller::FreeShellFolderApi() {
  FSHGetFolderPath = nullptr;
  if (FShFolder) win::FreeLibrary(FShFolder);
  FShFolder = nullptr;
  if (FShell32) win::FreeLibrary(FShell32);
  FShell32 = nullptr;
}

void TWindowsInstaller::GetShellFolderPath(int CSIDL, bool DontCreate, std::string& Path) {
  Path.clear();
  LoadShellFolderApi();
  char buffer[win::MAX_PATH + 1] = {};
  int folder = DontCreate ? CSIDL : CSIDL + win::CSIDL_FLAG_CREATE;
  if (win::SUCCEEDED(FSHGetFolderPath(nullptr, folder, nullptr, win::SHGFP_TYPE_CURRENT, buffer))) {
    buffer[win::MAX_PATH] = '\0';
    Path = RemoveBackslashUnlessRoot(buffer);
  }
}

namespace {
bool LanguageIs(win::LANGID lang, std::initializer_list<win::LANGID> ids) {
  for (auto id : ids)
    if (lang == id) return true;
  return false;
}
}  // namespace

void TWindowsInstaller::GetProgramFilesDir(std::string& Dir) {
  GetShellFolderPath(win::CSIDL_PROGRAM_FILES, false, Dir);
  if (Dir.empty()) {
    std::string value;
    try {
      ReadRegString(win::HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                    "ProgramFilesDir", value);
    } catch (const ERegistryException&) {
      throw;  // a value of the wrong type is an error, not a missing value
    } catch (const Exception&) {
      value.clear();  // a key that cannot be read is one more reason to fall back
    }
    Dir = value;
  }
  if constexpr (!wi::kIsTolvane) {
    if (Dir.empty()) {
      win::LANGID lang = win::GetSystemDefaultLangID();
      if (LanguageIs(lang, {1031, 2055, 3079, 4103, 5127})) {
        Dir = "C:\\Windows\\Programme";
        if (!IsFolder(Dir)) Dir = "C:\\WinNT\\Programme";
      } else if (LanguageIs(lang, {1040, 2064})) {
        Dir = "C:\\Windows\\programmi";
        if (!IsFolder(Dir)) Dir = "C:\\WinNT\\programmi";
      }
      if (!IsFolder(Dir)) {
        Dir = "C:\\Windows\\Program files";
        if (!IsFolder(Dir)) Dir = "C:\\WinNT\\Program files";
        if (!IsFolder(Dir)) Dir.clear();
      }
    }
  }
  AddBackslash(Dir);
}

std::string TWindowsInstaller::GetWritableSystemDir() {
  const std::string w = GetWindowsDir();
  std::string s = ReadSystemDir();
  if (!s.starts_with(w) || w.empty()) {
    bool writable = false;
    try {
      const std::string t = GetUniqueTempName(s, ".tmp");
      win::HANDLE h = win::CreateFile(t, win::GENERIC_WRITE, 0, nullptr, win::CREATE_NEW,
                                      win::FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != win::INVALID_HANDLE_VALUE) {
        writable = win::CloseHandle(h) != 0;
        win::DeleteFile(t);
      }
    } catch (const Exception&) {
      writable = false;
    }
    if (!writable) s = w;
  }
  AddBackslash(s);
  return s;
}

int TWindowsInstaller::CompareVersion(win::WORD A1, win::WORD A2, win::WORD A3, win::WORD A4,
                                      win::WORD B1, win::WORD B2, win::WORD B3, win::WORD B4) {
  const win::WORD a[] = {A1, A2, A3, A4}, b[] = {B1, B2, B3, B4};
  for (int i = 0; i < 4; ++i)
    if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
  return 0;
}

bool TWindowsInstaller::VBRuntimeNeedsUpdate() {
  struct Minimum {
    const char* file;
    win::WORD v[4];
  };
  static const Minimum kMinimums[] = {
      {"asycfilt.dll", {2, 40, 4275, 1}}, {"comcat.dll", {4, 71, 1460, 1}},
      {"msvbvm60.dll", {6, 0, 89, 64}},   {"oleaut32.dll", {2, 40, 4275, 1}},
      {"olepro32.dll", {5, 0, 4275, 1}},  {"stdole2.tlb", {2, 40, 4275, 1}},
  };
  for (const auto& m : kMinimums) {
    win::WORD a, b, c, d;
    if (!GetFileVersionWords(m.file, a, b, c, d)) return true;
    if (CompareVersion(m.v[0], m.v[1], m.v[2], m.v[3], a, b, c, d) == 1) return true;
  }
  return false;
}

std::span<const std::pair<int, const char*>> TWindowsInstaller::ShellExecuteTexts() {
  static const std::pair<int, const char*> kTexts[] = {
      {0, "The operating system is out of memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied access to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred."},
      {27, "The filename association is incomplete or invalid."},
      {28, "The DDE transaction could not be completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30,
       "The DDE transaction could not be completed because other DDE transactions were being "
       "processed."},
      {31, "There is no application associated with the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
  };
  return kTexts;
}

void TWindowsInstaller::CheckShellExecuteResult(const std::string& Context, int Code) {
  for (const auto& [code, text] : ShellExecuteTexts())
    if (code == Code) throw Exception(Context + "\r\n\r\n" + text);
  if (Code <= 32) RaiseLastOSError();
}

bool IsWin9x() {
  win::OSVERSIONINFO info;
  return win::GetVersionEx(&info) && info.dwPlatformId == win::VER_PLATFORM_WIN32_WINDOWS;
}

bool IsWinNT4() {
  win::OSVERSIONINFO info;
  return win::GetVersionEx(&info) && info.dwPlatformId == win::VER_PLATFORM_WIN32_NT &&
         info.dwMajorVersion == 4 && info.dwMinorVersion == 0;
}

// --- Fonts and network -----------------------------------------------------------------

void TWindowsInstaller::InstallFont(const std::string& FontFile, const std::string& FontName) {
  bool known = false;
  if (TStrings* listed = Screen->Fonts()) known = listed->IndexOf(FontName) >= 0;
  // The screen's list holds the drawing layer's faces only; the fonts installed on this
  // PC (by an earlier run, say) are in the machine's font table.
  for (const auto& family : win::FontFamilies()) known = known || win::SameText(family, FontName);
  if (known) return;
  std::string dir;
  GetShellFolderPath(win::CSIDL_FONTS, false, dir);
  if (dir.empty()) dir = GetWritableSystemDir();
  AddBackslash(dir);
  const std::string fileName = ExtractFileName(FontFile);
  const std::string target = dir + fileName;
  if (!FileExists(target)) {
    if (!win::CopyFile(FontFile, target, true)) RaiseLastOSError();
    win::SetFileAttributes(target, win::FILE_ATTRIBUTE_NORMAL);
  }

  const char* fontsKey = IsNTPlatform() ? "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
                                        : "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
  win::HKEY key = nullptr;
  if (win::RegOpenKeyEx(win::HKEY_LOCAL_MACHINE, fontsKey, 0, win::KEY_SET_VALUE, &key) ==
      win::ERROR_SUCCESS) {
    win::RegSetValueEx(key, FontName, 0, win::REG_SZ,
                       reinterpret_cast<const win::BYTE*>(fileName.c_str()),
                       win::DWORD(fileName.size() + 1));
    win::RegCloseKey(key);
  }

  constexpr win::UINT WM_FONTCHANGE = 0x001D;
  // A notify message to every top-level window: nothing waits for an answer.
  if (win::AddFontResource(target) != 0) win::RecordBroadcast(WM_FONTCHANGE, 0, 0);
}

void TWindowsInstaller::GetLocalIPAddresses(std::vector<std::string>& List) {
  win::WSADATA data;
  if (win::WSAStartup(win::MAKEWORD(1, 0), &data) != 0) return;
  char name[256] = {};
  if (win::gethostname(name, 255) == 0) {
    if (win::hostent* host = win::gethostbyname(name)) {
      for (int i = 0; i < 256 && host->h_addr_list && host->h_addr_list[i]; ++i) {
        win::in_addr address;
        std::memcpy(&address.S_addr, host->h_addr_list[i], 4);
        List.push_back(win::inet_ntoa(address));
      }
    }
  }
  win::WSACleanup();
}
