#include "platform/system/Version.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "platform/system/FolderHandles.h"
#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/PeFile.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

namespace {

// Marks a block copied by GetFileVersionInfo with room for UTF-8 copies of its texts.
constexpr char kConvertedArea[4] = {'U', 'T', 'F', '8'};

size_t Align4(size_t v) { return (v + 3) & ~size_t(3); }
size_t TotalSize(size_t raw) { return Align4(raw) + sizeof kConvertedArea + 2 * raw; }

bool IsRegularFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// The host file behind a Windows path (r.host), or behind a bare library name found as the
// loader would find it.
bool LocateFile(const std::string& path, Machine::Resolved& r) {
  Machine& m = Machine::Current();
  if (path.find_first_of("\\/:") == std::string::npos && !path.empty()) {
    std::vector<std::string> dirs;
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) dirs.push_back(m.WindowsPath(self.parent_path()));
    const MachineSettings& s = m.Settings();
    dirs.push_back(s.SystemDir());
    if (s.IsNT()) dirs.push_back(s.WindowsDir() + "\\system");
    dirs.push_back(s.WindowsDir());
    dirs.push_back(m.CurrentDirectory());
    for (std::string d : dirs) {
      if (!d.empty() && d.back() != '\\') d += '\\';
      if (m.Resolve(d + path, r) && IsRegularFile(r.host)) return true;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (!m.Resolve(path, r)) return false;
  // What the lookup learnt answers without a stat of its own.
  if (r.hostPlain && !r.hostIsDir) return true;
  if (r.hostMissing) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  std::error_code ec;
  auto st = fs::status(r.host, ec);
  if (fs::is_regular_file(st)) return true;
  if (fs::is_directory(st)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  SetLastError(fs::is_directory(Machine::HostFolderOf(r.host), ec) ? ERROR_FILE_NOT_FOUND
                                                                   : ERROR_PATH_NOT_FOUND);
  return false;
}

// Up to size bytes of fd from offset at; fewer at the end of the file or on an error.
size_t ReadAt(int fd, std::uint8_t* out, size_t size, size_t at) {
  size_t got = 0;
  while (got < size) {
    ssize_t n = ::pread(fd, out + got, size - got, off_t(at + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += size_t(n);
  }
  return got;
}

bool LoadVersionBlock(const std::string& path, std::vector<std::uint8_t>& block) {
  Machine::Resolved r;
  if (!LocateFile(path, r)) return false;
  const FolderHandle folder(r);
  int fd = ::openat(folder.dir(), folder.name(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // This is asked of every file a placement compares, most often of a file that is no
  // program at all: its first two bytes say so. A program is read in one block (programs
  // run to megabytes), into a buffer that is not cleared first.
  std::uint8_t head[2];
  size_t got = ReadAt(fd, head, 2, 0);
  std::unique_ptr<std::uint8_t[]> whole;
  if (got == 2 && head[0] == 'M' && head[1] == 'Z') {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
      ::close(fd);
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    const size_t size = std::max<size_t>(st.st_size > 0 ? size_t(st.st_size) : 0, 2);
    whole.reset(new std::uint8_t[size]);
    std::memcpy(whole.get(), head, 2);
    got += ReadAt(fd, whole.get() + 2, size - 2, 2);
  }
  ::close(fd);
  switch (ReadPeVersionBlock(whole ? whole.get() : head, got, block)) {
    case PeVersionRead::Found:
      return true;
    case PeVersionRead::NotPe:
      SetLastError(ERROR_BAD_EXE_FORMAT);
      return false;
    case PeVersionRead::BadFormat:
      SetLastError(ERROR_BAD_FORMAT);
      return false;
    case PeVersionRead::NoVersion:
      SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
      return false;
  }
  return false;
}

}  // namespace

DWORD GetFileVersionInfoSize(const std::string& path, DWORD* handle) {
  if (handle) *handle = 0;
  std::vector<std::uint8_t> block;
  if (!LoadVersionBlock(path, block)) return 0;
  SetLastError(ERROR_SUCCESS);
  return DWORD(TotalSize(block.size()));
}

BOOL GetFileVersionInfo(const std::string& path, DWORD handle, DWORD len, void* data) {
  if (!data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::vector<std::uint8_t> block;
  if (!LoadVersionBlock(path, block)) return 0;
  // A short buffer would leave a block whose lengths point past its end.
  if (len < block.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  auto* out = static_cast<std::uint8_t*>(data);
  std::memcpy(out, block.data(), block.size());
  if (len >= TotalSize(block.size())) {
    std::memset(out + block.size(), 0, Align4(block.size()) - block.size());
    std::memcpy(out + Align4(block.size()), kConvertedArea, sizeof kConvertedArea);
  }
  SetLastError(ERROR_SUCCESS);
  return 1;
}

BOOL VerQueryValue(const void* block, const std::string& subBlock, void** buffer, UINT* len) {
  if (len) *len = 0;
  if (!block || !buffer) return 0;
  auto* base = static_cast<const std::uint8_t*>(block);
  const size_t raw = size_t(base[0] | (base[1] << 8));
  VersionNode node;
  if (!ParseVersionNode(base, raw, 0, node)) return 0;

  std::vector<std::string> parts;
  std::string part;
  for (char c : subBlock + "\\") {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (parts.empty()) {
    if (node.valueSize < sizeof(VS_FIXEDFILEINFO)) return 0;
    *buffer = const_cast<std::uint8_t*>(base + node.valueOffset);
    if (len) *len = UINT(sizeof(VS_FIXEDFILEINFO));
    return 1;
  }
  for (const std::string& name : parts) {
    bool found = false;
    for (const VersionNode& child : VersionNodeChildren(base, node))
      if (SameText(child.key, name)) {
        node = child;
        found = true;
        break;
      }
    if (!found) return 0;
  }

  if (node.type != 1) {
    if (node.valueSize == 0) return 0;
    *buffer = const_cast<std::uint8_t*>(base + node.valueOffset);
    if (len) *len = UINT(node.valueSize);
    return 1;
  }
  // Text: a UTF-8 copy in the area behind the block, at twice the value's offset, which
  // leaves every value room enough and keeps repeated queries stable.
  const size_t area = Align4(raw) + sizeof kConvertedArea;
  if (std::memcmp(base + Align4(raw), kConvertedArea, sizeof kConvertedArea) != 0) return 0;
  std::string utf8 = Utf16ToUtf8(Utf16FromLeBytes(base + node.valueOffset, node.valueSize));
  const size_t at = 2 * node.valueOffset;
  if (at + utf8.size() + 1 > 2 * raw) return 0;
  auto* dest = const_cast<std::uint8_t*>(base) + area + at;
  std::memcpy(dest, utf8.c_str(), utf8.size() + 1);
  *buffer = dest;
  if (len) *len = UINT(utf8.size() + 1);
  return 1;
}

}  // namespace win
