#pragma once
// TWindowsInstaller: places files the way both installers need it (version, then local
// last-write time decides; the older copy is backed up; a target in use is replaced at
// the next start of Windows; shared-library counts are kept), and finds the special
// folders, installs fonts and checks the Visual Basic run-time libraries.
//
// Placement failures: texts are the engine's own English literals; copy/delete/attribute
// failures go through the reporters of ErrorReporting.h and so end as Install or Tolvane
// want it.
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/ShellFolders.h"
#include "platform/system/WinTypes.h"

namespace win {
struct VS_FIXEDFILEINFO;
}

inline constexpr const char* kSharedDllsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class TWindowsInstaller {
 public:
  // ShFolderDir: folder of "shfolder.dll", empty (search path) or ending with a backslash.
  explicit TWindowsInstaller(const std::string& ShFolderDir = "");
  ~TWindowsInstaller();
  TWindowsInstaller(const TWindowsInstaller&) = delete;
  TWindowsInstaller& operator=(const TWindowsInstaller&) = delete;

  // --- Placement -----------------------------------------------------------------------
  // True when Source was placed now or scheduled for the next start; False when the copy
  // already in DestDir is as new or newer. BackupDir empty: the backup stays in DestDir.
  // The target never goes missing: it is backed up in place and replaced in one step.
  static bool InstallFile(const std::string& Source, const std::string& DestDir,
                          const std::string& BackupDir, bool& NeedReboot);
  // InstallFile into the system folder, no backup folder; the restart flag is dropped.
  static void InstallSystemFile(const std::string& Source);
  // 1: Source must be installed (Dest missing, older, or not comparable); 0: same version
  // or time; -1: Dest is newer. Install raises "File not found : " for a missing Source.
  static int CompareFiles(const std::string& Dest, const std::string& Source);
  // Dest overwritten now in one step, old or new at every instant (ending with normal
  // attributes), or, when it is in use, Source placed beside it as nameNNN.ext and moved
  // over it at the next start (NeedReboot).
  static void ReplaceFile(const std::string& Source, const std::string& Dest, bool& NeedReboot);
  // Windows moves Source over Dest at its next start (NT: delayed move; 9x: WININIT.INI).
  static void MoveFileOnReboot(const std::string& Source, const std::string& Dest);
  // First free name000.ext .. name999.ext beside FileName.
  static std::string GetNumberedFileName(const std::string& FileName);
  // Dir\is-XXXXX<Ext>, a name that does not exist yet.
  static std::string GetUniqueTempName(const std::string& Dir, const std::string& Ext);
  // Creates and returns BaseDir\<Name>000 .. <Name>999, the first that is not a folder.
  static void CreateUniqueDir(const std::string& BaseDir, const std::string& Name,
                              std::string& Dir);
  static void CheckDirectoryExists(const std::string& Dir);
  static void IncrementSharedDllCount(const std::string& FileName);
  // True when the count reached 0 and its value was deleted (the library may go).
  static bool ReleaseSharedDll(const std::string& FileName);
  static void RemoveSharedDll(const std::string& FileName);

  // --- Queries -------------------------------------------------------------------------
  static bool FileExists(const std::string& FileName);
  static bool PathExists(const std::string& FileName);
  // The attributes, or INVALID_FILE_ATTRIBUTES (-1); no critical-error box is shown.
  static win::DWORD GetPathAttributes(const std::string& FileName);
  // C:\Data\ -> C:\Data; C:\ and "\" stay.
  static std::string RemoveBackslashUnlessRoot(const std::string& Path);
  static bool GetFileVersionWords(const std::string& FileName, win::WORD& Major, win::WORD& Minor,
                                  win::WORD& Release, win::WORD& Build);
  // "Major.Minor.Release.Build", or "?" without a version block.
  static std::string GetFileVersionString(const std::string& FileName);
  // The Windows folder with a trailing backslash (empty when the platform gives none).
  static std::string GetWindowsDir();

  // --- Special folders, fonts, run-time checks -----------------------------------------
  void LoadShellFolderApi();
  void FreeShellFolderApi();
  // The folder without trailing backslash (a drive root keeps it), or empty.
  void GetShellFolderPath(int CSIDL, bool DontCreate, std::string& Path);
  // With a trailing backslash, or empty. Install falls back on known folder names,
  // Tolvane does not.
  void GetProgramFilesDir(std::string& Dir);
  // The system folder when it lies in the Windows folder or can be written, else the
  // Windows folder; with a trailing backslash.
  static std::string GetWritableSystemDir();
  void InstallFont(const std::string& FontFile, const std::string& FontName);
  static int CompareVersion(win::WORD A1, win::WORD A2, win::WORD A3, win::WORD A4, win::WORD B1,
                            win::WORD B2, win::WORD B3, win::WORD B4);
  static bool VBRuntimeNeedsUpdate();
  // Nothing for a start code above 32, else an exception naming Context: with the code's
  // text from ShellExecuteTexts(), or the thread's system error for the other codes.
  static void CheckShellExecuteResult(const std::string& Context, int Code);
  static std::span<const std::pair<int, const char*>> ShellExecuteTexts();
  // Appends the local host's IPv4 addresses in dotted form.
  static void GetLocalIPAddresses(std::vector<std::string>& List);

  const std::string& ShFolderDir() const { return FShFolderDir; }

 private:
  std::string FShFolderDir;
  win::HMODULE FShell32 = nullptr;
  win::HMODULE FShFolder = nullptr;
  win::PFN_SHGetFolderPathA FSHGetFolderPath = nullptr;
};

// Five characters of "0123456789ABCDEFGHIJKLMNOPQRSTUV", most significant first, from the
// low 25 bits of Value.
std::string EncodeBase32Name(std::uint32_t Value);
bool GetFileWriteTime(const std::string& FileName, win::FILETIME& Time);
bool GetLocalFileWriteTime(const std::string& FileName, win::FILETIME& Time);
bool GetFixedFileInfo(const std::string& FileName, win::VS_FIXEDFILEINFO& Info);
bool GetFileVersionNumbers(const std::string& FileName, win::DWORD& VersionMS,
                           win::DWORD& VersionLS);
// The 8.3 form of an existing path, or Path itself.
std::string GetShortName(const std::string& Path);
// The system folder as the platform gives it, without trailing backslash.
std::string ReadSystemDir();
bool IsWin9x();
bool IsWinNT4();

// The pseudo-random generator behind the temporary names. Install never seeds it, so its
// first draw is the same on every run; Tolvane calls Randomize at start-up.
void Randomize();
void SetRandSeed(std::uint32_t Seed);
// 0 .. Range - 1.
std::uint32_t Random(std::uint32_t Range);
