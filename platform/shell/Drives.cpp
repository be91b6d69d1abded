#include "platform/shell/Drives.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"

namespace win {

namespace fs = std::filesystem;

namespace {

// The drive letter of a root or path, 0 when there is none.
char DriveLetter(const std::string& root) {
  if (root.size() < 2 || root[1] != ':' || !std::isalpha(static_cast<unsigned char>(root[0])))
    return 0;
  return char(std::toupper(static_cast<unsigned char>(root[0])));
}

bool HasDrive(char letter) {
  if (letter < 'A' || letter >= 'Z') return false;
  std::error_code ec;
  fs::path dir = Machine::Current().Dir() / "drives" / std::string(1, char(std::tolower(letter)));
  return fs::is_directory(dir, ec);
}

}  // namespace

DWORD GetLogicalDrives() {
  DWORD mask = 0;
  for (char c = 'A'; c < 'Z'; ++c)
    if (HasDrive(c)) mask |= 1u << (c - 'A');
  return mask;
}

UINT GetDriveType(const std::string& root) {
  char letter = DriveLetter(root);
  if (!letter || !HasDrive(letter)) return DRIVE_NO_ROOT_DIR;
  if (letter == 'A' || letter == 'B') return DRIVE_REMOVABLE;
  std::error_code ec;
  fs::path dir = Machine::Current().Dir() / "drives" / std::string(1, char(std::tolower(letter)));
  if (fs::is_symlink(dir, ec)) return DRIVE_CDROM;
  return DRIVE_FIXED;
}

BOOL GetVolumeInformation(const std::string& root, char* volumeName, DWORD volumeSize,
                          DWORD* serial, DWORD* maxComponent, DWORD* fsFlags, char* fsName,
                          DWORD fsNameSize) {
  char letter = DriveLetter(root);
  if (!letter || !HasDrive(letter)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  UINT type = GetDriveType(root);
  std::string label = type == DRIVE_CDROM ? "CDROM" : "";
  fs::path dir = Machine::Current().Dir() / "drives" / std::string(1, char(std::tolower(letter)));
  std::ifstream in(dir / ".label");
  if (in) {
    std::getline(in, label);
    while (!label.empty() && (label.back() == '\r' || label.back() == '\n')) label.pop_back();
  }
  auto copy = [](char* buf, DWORD size, const std::string& s) {
    if (!buf || !size) return;
    std::size_t n = std::min<std::size_t>(s.size(), size - 1);
    std::memcpy(buf, s.data(), n);
    buf[n] = 0;
  };
  copy(volumeName, volumeSize, label);
  copy(fsName, fsNameSize, type == DRIVE_CDROM ? "CDFS" : type == DRIVE_REMOVABLE ? "FAT" : "NTFS");
  if (serial) *serial = 0x1C0D0000u | DWORD(letter);
  if (maxComponent) *maxComponent = 255;
  if (fsFlags) *fsFlags = 0x3;  // case-preserving, case-sensitive search off
  return TRUE;
}

}  // namespace win
