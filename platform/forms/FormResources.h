#pragma once
// Stored form descriptions embedded into the program (see cmake/EmbedForms.cmake). The
// generated source registers each file under its file name, e.g. "frmMainUnit.form".
#include <cstddef>
#include <string>
#include <vector>

namespace forms {

// Called by the generated registration code before main; later registrations of the same
// name replace earlier ones.
void RegisterFormResource(const char* name, const char* data, std::size_t size);
// Looks a description up by file name (case-insensitive; ".form" may be left out).
bool FindFormResource(const std::string& name, std::string& text);
std::vector<std::string> FormResourceNames();

}  // namespace forms
