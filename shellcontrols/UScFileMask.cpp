#include "shellcontrols/UScFileMask.h"

#include "platform/system/Files.h"
#include "platform/system/LastError.h"
#include "platform/system/Text.h"
#include "shellcontrols/UScShellControls.h"

using namespace win;

void TScFileMask::SetText(const std::string& Value) {
  FText = Value;
  FPatterns.clear();
  for (const std::string& piece : SplitTerminated(Value, ';')) {
    std::string part = TrimSpacesAndTabs(piece);
    if (!part.empty()) FPatterns.push_back(part);
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
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) FFilter->Add(AsciiUpper(fd.cFileName));
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
  return FFilter->Find(AsciiUpper(Name), index);
}
