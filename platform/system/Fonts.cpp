#include "platform/system/Fonts.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/system/LastError.h"
#include "platform/system/Machine.h"
#include "platform/system/Registry.h"
#include "platform/system/Sqlite.h"
#include "platform/system/Text.h"

namespace fs = std::filesystem;

namespace win {

namespace {

std::uint16_t U16(const std::vector<std::uint8_t>& d, size_t at) {
  return std::uint16_t(d[at] << 8 | d[at + 1]);
}
std::uint32_t U32(const std::vector<std::uint8_t>& d, size_t at) {
  return std::uint32_t(d[at]) << 24 | std::uint32_t(d[at + 1]) << 16 |
         std::uint32_t(d[at + 2]) << 8 | d[at + 3];
}

std::string FromUtf16Be(const std::vector<std::uint8_t>& d, size_t at, size_t len) {
  std::u16string units;
  for (size_t i = 0; i + 1 < len; i += 2) units += char16_t(U16(d, at + i));
  return Utf16ToUtf8(units);
}

std::string FromLatin1(const std::vector<std::uint8_t>& d, size_t at, size_t len) {
  std::string out;
  for (size_t i = 0; i < len; ++i) AppendUtf8(out, d[at + i]);
  return out;
}

std::string FontsKey() {
  return Machine::Current().IsNT() ? "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"
                                   : "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
}

SqliteDb& Db() { return Machine::Current().State(); }

bool ReadFile(const fs::path& host, std::vector<std::uint8_t>& data) {
  std::ifstream in(host, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// The family of a font file given by its Windows path.
std::optional<std::string> FamilyOfFile(const std::string& winPath) {
  Machine::Resolved r;
  if (!Machine::Current().Resolve(winPath, r)) return std::nullopt;
  std::vector<std::uint8_t> data;
  std::error_code ec;
  if (!fs::is_regular_file(r.host, ec) || !ReadFile(r.host, data)) return std::nullopt;
  return TrueTypeFamilyName(data);
}

const char* MessageName(UINT m) {
  switch (m) {
    case 0x001A:
      return "WM_SETTINGCHANGE";
    case 0x001D:
      return "WM_FONTCHANGE";
    case 0x0219:
      return "WM_DEVICECHANGE";
    default:
      return nullptr;
  }
}

}  // namespace

std::optional<std::string> TrueTypeFamilyName(const std::vector<std::uint8_t>& d) {
  if (d.size() < 12) return std::nullopt;
  std::uint32_t version = U32(d, 0);
  if (version != 0x00010000 && version != 0x74727565 /* 'true' */) return std::nullopt;
  size_t tables = U16(d, 4);
  if (d.size() < 12 + 16 * tables) return std::nullopt;
  size_t nameAt = 0, nameLen = 0;
  for (size_t i = 0; i < tables; ++i) {
    size_t rec = 12 + 16 * i;
    if (std::memcmp(&d[rec], "name", 4) == 0) {
      nameAt = U32(d, rec + 8);
      nameLen = U32(d, rec + 12);
    }
  }
  if (!nameLen || nameAt + nameLen > d.size() || nameLen < 6) return std::nullopt;
  size_t count = U16(d, nameAt + 2);
  size_t strings = nameAt + U16(d, nameAt + 4);
  if (6 + 12 * count > nameLen) return std::nullopt;
  // The best record: Windows Unicode US English, then any Windows Unicode, then Macintosh.
  int bestRank = 0;
  std::string best;
  for (size_t i = 0; i < count; ++i) {
    size_t rec = nameAt + 6 + 12 * i;
    std::uint16_t platform = U16(d, rec), encoding = U16(d, rec + 2), language = U16(d, rec + 4),
                  id = U16(d, rec + 6), len = U16(d, rec + 8), off = U16(d, rec + 10);
    if (id != 1 || strings + off + len > d.size() || len == 0) continue;
    int rank = 0;
    std::string text;
    if (platform == 3 && (encoding == 1 || encoding == 0)) {
      rank = language == 0x0409 ? 3 : 2;
      text = FromUtf16Be(d, strings + off, len);
    } else if (platform == 0) {
      rank = 2;
      text = FromUtf16Be(d, strings + off, len);
    } else if (platform == 1 && encoding == 0) {
      rank = 1;
      text = FromLatin1(d, strings + off, len);
    }
    if (rank > bestRank && !text.empty()) {
      bestRank = rank;
      best = text;
    }
  }
  if (best.empty()) return std::nullopt;
  return best;
}

int AddFontResource(const std::string& fileName) {
  try {
    Machine& m = Machine::Current();
    std::string path = fileName;
    // A bare name is a file of the Fonts folder, as Windows looks for it.
    if (path.find_first_of("\\/:") == std::string::npos) {
      Machine::Resolved here;
      std::error_code ec;
      if (!m.Resolve(path, here) || !fs::is_regular_file(here.host, ec))
        path = m.Settings().WindowsDir() + "\\Fonts\\" + path;
    }
    Machine::Resolved r;
    if (!m.Resolve(path, r)) return 0;  // last error set by Resolve
    std::error_code ec;
    if (!fs::is_regular_file(r.host, ec)) {
      SetLastError(fs::is_directory(Machine::HostFolderOf(r.host), ec) ? ERROR_FILE_NOT_FOUND
                                                                       : ERROR_PATH_NOT_FOUND);
      return 0;
    }
    std::vector<std::uint8_t> data;
    if (!ReadFile(r.host, data)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    auto family = TrueTypeFamilyName(data);
    if (!family) {
      SetLastError(ERROR_INVALID_DATA);
      return 0;
    }
    auto st = Db().Prepare(
        "INSERT INTO session_fonts(path, family, count) VALUES(?,?,1)"
        " ON CONFLICT(path) DO UPDATE SET count = count + 1, family = excluded.family");
    st.Bind(1, FoldCase(r.windows)).Bind(2, *family);
    st.Step();
    m.Journal("font", "loaded " + r.windows + " (" + *family + ")");
    SetLastError(0);
    return 1;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return 0;
  }
}

BOOL RemoveFontResource(const std::string& fileName) {
  try {
    Machine& m = Machine::Current();
    std::string full = m.FullPathName(fileName.find_first_of("\\/:") == std::string::npos
                                          ? m.Settings().WindowsDir() + "\\Fonts\\" + fileName
                                          : fileName);
    Machine::Resolved r;
    if (!m.Resolve(full, r)) return FALSE;
    SqliteDb& db = Db();
    auto up = db.Prepare("UPDATE session_fonts SET count = count - 1 WHERE path = ?");
    up.Bind(1, FoldCase(r.windows));
    up.Step();
    if (db.Changes() == 0) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    db.Exec("DELETE FROM session_fonts WHERE count <= 0");
    SetLastError(0);
    return TRUE;
  } catch (const std::exception&) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
}

std::vector<std::string> FontFamilies() {
  std::vector<std::string> names;
  Machine& m = Machine::Current();
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, FontsKey(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    std::string fontsDir = m.Settings().WindowsDir() + "\\Fonts\\";
    for (DWORD i = 0;; ++i) {
      char name[512];
      BYTE data[1024];
      DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
      if (RegEnumValue(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS)
        break;
      if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
      std::string file(reinterpret_cast<char*>(data),
                       strnlen(reinterpret_cast<char*>(data), dataSize));
      std::string path = file.find_first_of("\\/:") == std::string::npos ? fontsDir + file : file;
      auto family = FamilyOfFile(path);
      if (!family) {
        // A file we cannot read: the registry name tells the face, "Arial (TrueType)".
        std::string n(name, nameSize);
        if (size_t paren = n.rfind(" ("); paren != std::string::npos) n.erase(paren);
        family = n;
      }
      if (!family->empty()) names.push_back(*family);
    }
    RegCloseKey(key);
  }
  auto st = Db().Prepare("SELECT family FROM session_fonts");
  while (st.Step()) names.push_back(st.ColumnText(0));
  std::sort(names.begin(), names.end(), [](auto& a, auto& b) { return FoldCase(a) < FoldCase(b); });
  names.erase(
      std::unique(names.begin(), names.end(), [](auto& a, auto& b) { return SameText(a, b); }),
      names.end());
  return names;
}

void RecordBroadcast(UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    auto st =
        Db().Prepare("INSERT INTO broadcasts(program, message, wparam, lparam) VALUES(?,?,?,?)");
    st.Bind(1, Machine::ProgramName()).Bind(2, std::int64_t(message)).Bind(3, std::int64_t(wParam));
    st.Bind(4, std::int64_t(lParam));
    st.Step();
    const char* name = MessageName(message);
    Machine::Current().Journal(
        "message", std::string(name ? name : "message " + std::to_string(message)) + " broadcast");
  } catch (const std::exception&) {
    // A broadcast nobody can record is still a broadcast sent.
  }
}

std::vector<BroadcastRecord> Broadcasts() {
  std::vector<BroadcastRecord> out;
  auto st = Db().Prepare("SELECT program, message, wparam, lparam FROM broadcasts ORDER BY id");
  while (st.Step())
    out.push_back({st.ColumnText(0), UINT(st.ColumnInt(1)), WPARAM(st.ColumnInt(2)),
                   LPARAM(st.ColumnInt(3))});
  return out;
}

void BootFonts() { Db().Exec("DELETE FROM session_fonts"); }

}  // namespace win
