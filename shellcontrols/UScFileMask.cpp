#include "shellcontrols/UScFileMask.h"

#include <cctype>

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "shellcontrols/UScShellControls.h"

using namespace win;

namespace {
std::string UpperAscii(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}
}  // namespace

void TScFileMask::SetText(const std::string& Value) {
  FText = Value;
  FPatterns.clear();
  size_t start = 0;
  while (start <= Value.size()) {
    size_t end = Value.find(';', start);
    if (end == std::string::npos) end = Value.size();
    std::string part = Trim(Value.substr(start, end - start));
    if (!part.empty()) FPatterns.push_back(part);
    start = end + 1;
  }
}

void TScFileMask::Build(const std::string& FolderPath) {
  Free();
  if (FolderPath.empty() || FText.empty() || FText == "*" || FText == "*.*") return;
  CreateSortedStringList(FFilter);
  TScNoCriticalErrors noBoxes;
  for (const std::string& pattern : FPatterns) {
    WIN32_FIND_DATA fd;
    HANDLE h = FindFirstFile(IncludeTrailingChar(FolderPath, '\\') + pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() != ERROR_FILE_NOT_FOUND) break;
      continue;
    }
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) FFilter->Add(UpperAscii(fd.cFileName));
    } while (FindNextFile(h, &fd));
    FindClose(h);
  }
}

void TScFileMask::Free() {
  delete FFilter;
  FFilter = nullptr;
}

bool TScFileMask::Matches(const std::string& Name, DWORD Attributes) const {
  if (Attributes & SFGAO_FOLDER) return true;
  if (!FFilter) return true;
  int index = 0;
  return FFilter->Find(UpperAscii(Name), index);
}
