#pragma once
// kernel32's file and folder calls over the current machine. Signatures follow the ANSI
// Windows calls; input strings are UTF-8 std::string, output buffers stay char* + size.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/system/WinTypes.h"

namespace win {

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;

inline constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
inline constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

struct WIN32_FIND_DATA {
  DWORD dwFileAttributes = 0;
  FILETIME ftCreationTime, ftLastAccessTime, ftLastWriteTime;
  DWORD nFileSizeHigh = 0, nFileSizeLow = 0;
  std::string cFileName;
  std::string cAlternateFileName;  // the 8.3 name, empty when the name already is one
};

DWORD GetFileAttributes(const std::string& path);  // INVALID_FILE_ATTRIBUTES on failure
BOOL SetFileAttributes(const std::string& path, DWORD attributes);
// Keeps the last-write time and the attributes of the source.
BOOL CopyFile(const std::string& existing, const std::string& newName, BOOL failIfExists);
// A second name for the file `existing`, on the same drive: both names show one content
// until either is replaced. 17 across drives, 183 when newName exists, 120 before Windows
// 2000 (no hard links there). The new name gets the file's attributes.
BOOL CreateHardLink(const std::string& newName, const std::string& existing,
                    void* securityAttributes = nullptr);
BOOL DeleteFile(const std::string& path);
BOOL MoveFile(const std::string& from, const std::string& to);
// `to` empty stands for NULL (delete at the next start). With MOVEFILE_DELAY_UNTIL_REBOOT
// the move is recorded in PendingFileRenameOperations (NT); Windows 9x refuses with 120.
BOOL MoveFileEx(const std::string& from, const std::string& to, DWORD flags);
BOOL CreateDirectory(const std::string& path, void* securityAttributes = nullptr);
BOOL RemoveDirectory(const std::string& path);

// "*.*" matches every name, also names without a period; "?" and "*" as Windows has them.
HANDLE FindFirstFile(const std::string& pattern, WIN32_FIND_DATA* data);
BOOL FindNextFile(HANDLE find, WIN32_FIND_DATA* data);
BOOL FindClose(HANDLE find);

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local);
BOOL LocalFileTimeToFileTime(const FILETIME* local, FILETIME* utc);
BOOL FileTimeToSystemTime(const FILETIME* ft, SYSTEMTIME* st);
BOOL SystemTimeToFileTime(const SYSTEMTIME* st, FILETIME* ft);
void GetLocalTime(SYSTEMTIME* st);
void GetSystemTime(SYSTEMTIME* st);

DWORD GetShortPathName(const std::string& longPath, char* buffer, DWORD size);
DWORD GetFullPathName(const std::string& path, DWORD size, char* buffer, char** filePart);
UINT GetWindowsDirectory(char* buffer, UINT size);
UINT GetSystemDirectory(char* buffer, UINT size);
DWORD GetTempPath(DWORD size, char* buffer);
UINT GetTempFileName(const std::string& dir, const std::string& prefix, UINT unique, char* out);
DWORD GetCurrentDirectory(DWORD size, char* buffer);
BOOL SetCurrentDirectory(const std::string& path);
UINT SetErrorMode(UINT mode);

// All three null flushes the cached copy of the file (a no-op here besides the checks).
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::string& file);
DWORD GetPrivateProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, char* buffer, DWORD size,
                              const std::string& file);

// Handles on files. Writes go to a temporary file that replaces the target when the
// handle is closed, so a killed program never leaves a half-written file.
HANDLE CreateFile(const std::string& name, DWORD access, DWORD share, void* securityAttributes,
                  DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
DWORD GetFileSize(HANDLE file, DWORD* high);
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* access, FILETIME* write);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* access,
                 const FILETIME* write);
// Closes file handles; other kinds of handles go to the closers other units register
// (each answers true when the handle was its own).
BOOL CloseHandle(HANDLE handle);
void AddHandleCloser(std::function<bool(HANDLE)> closer);

// Whole-file helpers for the toolkit's text files (string lists, ini editing). Same
// errors as the calls above, in the last error; writes are atomic.
bool ReadWholeFile(const std::string& path, std::string& data);
bool WriteWholeFile(const std::string& path, const std::string& data);

}  // namespace win
