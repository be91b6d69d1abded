#pragma once
// The system's font table: fonts registered under the machine's Fonts key (HKLM
// "Software\Microsoft\Windows NT\CurrentVersion\Fonts" on NT,
// "Software\Microsoft\Windows\CurrentVersion\Fonts" on 9x) and fonts loaded for the
// session by AddFontResource (kept in state.db until the next boot). Family names are
// read from the TrueType file's name table.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

// The number of fonts added (1), or 0 with the last error: 2 or 3 when the file is
// missing, 13 when it is not a TrueType font.
int AddFontResource(const std::string& fileName);
// Undoes one AddFontResource of that file; FALSE with 2 when it was not loaded.
BOOL RemoveFontResource(const std::string& fileName);

// The family name (name id 1) of TrueType font data, or nothing when the data is not a
// TrueType font or has no family name.
std::optional<std::string> TrueTypeFamilyName(const std::vector<std::uint8_t>& data);

// Every font family the screen knows: the registered fonts and the session's, sorted
// without regard to case, each once.
std::vector<std::string> FontFamilies();

// Messages sent to every top-level window (HWND_BROADCAST). The toolkit's SendMessage and
// PostMessage hand them here; the machine's journal records them ("message" entries, e.g.
// "WM_FONTCHANGE broadcast").
void RecordBroadcast(UINT message, WPARAM wParam, LPARAM lParam);
struct BroadcastRecord {
  std::string program;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};
std::vector<BroadcastRecord> Broadcasts();

// What a restart does to the font table: the session's fonts are gone.
void BootFonts();

}  // namespace win
