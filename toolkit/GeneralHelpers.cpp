#include "toolkit/GeneralHelpers.h"

#include <vector>

#include "platform/system/Exceptions.h"
#include "platform/system/Files.h"
#include "platform/system/Machine.h"
#include "platform/system/Program.h"
#include "platform/system/Text.h"

void SplitString(const std::string& Text, std::vector<std::string>& List, char Separator) {
  List = win::SplitTerminated(Text, Separator);
}

void ExtractParentDir(const std::string& Path, std::string& Parent) {
  // 0-based i runs over the 1-based positions Length .. 2, a final backslash not counted.
  for (std::size_t i = Path.size(); i-- > 1;) {
    if (Path[i] == '\\' && i + 1 != Path.size()) {
      Parent = Path.substr(0, i + 1);
      return;
    }
  }
  constexpr std::size_t kRootLength = wi::kIsTolvane ? 1 : 3;
  Parent = Path.substr(0, kRootLength);
}

void GetSystemDir(std::string& Dir) {
  win::UINT needed = win::GetSystemDirectory(nullptr, 0);
  if (needed == 0) ReportLastError("");
  std::vector<char> buffer(needed + 1, '\0');
  if (win::GetSystemDirectory(buffer.data(), needed) == 0) ReportLastError("");
  Dir.assign(buffer.data());  // up to the first zero
  AddBackslash(Dir);
}

void GetWindowsDir(std::string& Dir) {
  char buffer[win::MAX_PATH];
  win::UINT len = win::GetWindowsDirectory(buffer, win::MAX_PATH);
  if (len < 1 || len > win::MAX_PATH - 1) {
    Dir.clear();
    return;
  }
  Dir.assign(buffer, len);
  AddBackslash(Dir);
}

void AddBackslash(std::string& Path) {
  if (!Path.empty() && Path.back() != '\\') Path += '\\';
}

namespace {
bool IsFolder(const std::string& path) {
  win::DWORD a = win::GetFileAttributes(path);
  return a != win::INVALID_FILE_ATTRIBUTES && (a & win::FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void CreateDirectories(const std::string& Path) {
  std::vector<std::string> pieces;
  SplitString(Path, pieces, '\\');
  if (pieces.empty()) throw Exception("CreateDirectories");
  std::string current = pieces[0];
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    current += "\\" + pieces[i];
    if (!IsFolder(current) && !win::CreateDirectory(current)) ReportLastError(current);
  }
}

void ListFilesByExt(const std::string& Dir, const std::string& Ext,
                    std::vector<std::string>& List) {
  std::string dir = Dir;
  AddBackslash(dir);
  std::string ext = Ext;
  auto lastDot = ext.rfind('.');
  if (lastDot != std::string::npos) ext.erase(0, lastDot + 1);
  ext = "." + ext;
  const bool all = ext == ".*";
  const std::string wanted = win::FoldCase(ext);

  win::WIN32_FIND_DATA data;
  win::HANDLE find = win::FindFirstFile(dir + "*.*", &data);
  if (find == win::INVALID_HANDLE_VALUE) return;
  do {
    if (data.dwFileAttributes & win::FILE_ATTRIBUTE_DIRECTORY) continue;
    if (data.cFileName == "." || data.cFileName == "..") continue;
    if (!all) {
      auto dot = data.cFileName.rfind('.');
      if (dot == std::string::npos) continue;
      if (win::FoldCase(data.cFileName.substr(dot)) != wanted) continue;
    }
    List.push_back(dir + data.cFileName);
  } while (win::FindNextFile(find, &data));
  win::FindClose(find);
}
