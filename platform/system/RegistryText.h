#pragma once
// The registry editor's text files: a key and everything below it written as text, and
// such a text merged into the registry.
#include <istream>
#include <string>

namespace win {

// REGEDIT4 text of a key and everything below it ("HKEY_LOCAL_MACHINE\\SOFTWARE\\..."),
// or of the whole registry when key is empty; and its reading back.
std::string RegExportText(const std::string& key);
// Merges a text into the registry: REGEDIT4, or what the registry editor writes ("Windows
// Registry Editor Version 5.00" in UTF-16 LE, or UTF-8 with its mark). Keys "[-KEY]" and
// values "name"=- are deleted, as the editor does. Throws std::runtime_error naming the
// line of malformed text; nothing is written then. The journal gets the deletions and a
// count of what was made.
void RegImportText(const std::string& text);
// The same, read as it goes: a whole exported registry of hundreds of megabytes.
void RegImportStream(std::istream& in);

}  // namespace win
