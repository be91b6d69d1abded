#pragma once
// The registry editor's text files: a key and everything below it written as text, and
// such a text merged into the registry.
#include <string>

namespace win {

// REGEDIT4 text of a key and everything below it ("HKEY_LOCAL_MACHINE\\SOFTWARE\\..."),
// or of the whole registry when key is empty; and its reading back.
std::string RegExportText(const std::string& key);
// Throws std::runtime_error naming the line on malformed text; nothing is written then.
// Keys "[-KEY]" and values "name"=- are deleted, as regedit does.
void RegImportText(const std::string& text);

}  // namespace win
