#include "shellcontrols/UScShellListColumns.h"

#include <algorithm>
#include <cstring>

#include "platform/system/Registry.h"
#include "platform/system/Text.h"
#include "shellcontrols/UScShConsts.h"
#include "shellcontrols/UScShellControls.h"

using namespace win;

namespace {
const char* const kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
}  // namespace

void SaveColumnWidths(TListColumns* Columns) {
  ColumnWidthStore.clear();
  ColumnWidthStore.push_back(std::int32_t(Columns->Count()));
  for (int i = 0; i < Columns->Count(); ++i) ColumnWidthStore.push_back(Columns->Items(i)->Width());
}

void RestoreColumnWidths(TListColumns* Columns) {
  if (ColumnWidthStore.empty()) return;  // fewer than 4 bytes: not even a count
  for (int i = 0; i < Columns->Count() && size_t(i) + 1 < ColumnWidthStore.size(); ++i)
    Columns->Items(i)->SetWidth(ColumnWidthStore[size_t(i) + 1]);
}

void AddFileColumns(TListColumns* Columns) {
  std::uint8_t block[22] = {};
  const std::uint16_t defaults[5] = {200, 60, 100, 120, 50};
  for (size_t i = 0; i < 5; ++i) {
    block[2 * i] = std::uint8_t(defaults[i] & 0xFF);
    block[2 * i + 1] = std::uint8_t(defaults[i] >> 8);
  }
  std::int32_t length = 10;
  try {
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, kExplorerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      DWORD type = 0, size = 0;
      if (RegQueryValueEx(key, "DirectoryCols", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
          size <= 22) {
        DWORD got = 22;
        std::uint8_t buffer[22] = {};
        if (RegQueryValueEx(key, "DirectoryCols", nullptr, &type, buffer, &got) == ERROR_SUCCESS) {
          std::memcpy(block, buffer, std::min<DWORD>(got, 22));
          length = std::int32_t(got);
        }
      }
      RegCloseKey(key);
    }
  } catch (...) {
    // Registry trouble: the default widths.
  }
  const char* captions[4] = {SScColName, SScColSize, SScColType, SScColModified};
  for (int i = 0; i < 4; ++i) {
    TListColumn* column = Columns->Add();
    column->SetCaption(GetShellResString(captions[i]));
    if (i == 1) column->SetAlignment(taRightJustify);
  }
  auto word = [&block](size_t i) { return int(block[2 * i] | (block[2 * i + 1] << 8)); };
  bool same = RememberedDirectoryCols.Length > 0 && RememberedDirectoryCols.Length == length;
  for (size_t i = 0; same && i < size_t(length) / 2; ++i)
    same = RememberedDirectoryCols.Data[2 * i] == block[2 * i] &&
           RememberedDirectoryCols.Data[2 * i + 1] == block[2 * i + 1];
  if (same && !ColumnWidthStore.empty()) {
    RestoreColumnWidths(Columns);
  } else {
    for (int i = 0; i < 4; ++i) Columns->Items(i)->SetWidth(word(size_t(i)));
  }
  std::memcpy(RememberedDirectoryCols.Data, block, 22);
  RememberedDirectoryCols.Length = length;
}

void AddDetailsColumns(TListColumns* Columns, IShellDetails* Details, bool FileSystem) {
  bool storeEmpty = ColumnWidthStore.empty();
  for (UINT index = 0;; ++index) {
    SHELLDETAILS sd;
    if (FAILED(Details->GetDetailsOf(nullptr, index, &sd))) break;
    std::string text;
    StrRetToString(nullptr, sd.str, text);
    TListColumn* column = Columns->Add();
    column->SetCaption(text);
    // Width in characters: counted as code points of the caption.
    const int w = int(CountUtf8Characters(text));
    if (!FileSystem || storeEmpty) column->SetWidth(w * 7);
    switch (sd.fmt & LVCFMT_JUSTIFYMASK) {
      case LVCFMT_RIGHT:
        column->SetAlignment(taRightJustify);
        break;
      case LVCFMT_CENTER:
        column->SetAlignment(taCenter);
        break;
      default:
        column->SetAlignment(taLeftJustify);
        break;
    }
  }
  if (FileSystem && !storeEmpty) RestoreColumnWidths(Columns);
}
