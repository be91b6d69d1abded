#pragma once
// In-program bitmap resources, found by name (case-insensitive) as a program's resource
// section would give them. Units register their glyph strips at start-up.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/forms/graphics/Gdi.h"

namespace win {

// A text pixel map (see ParsePixelMap). Throws Exception for a malformed map.
void RegisterBitmapResource(const std::string& name, const std::string& pixelMap);
// BMP file data.
void RegisterBitmapResourceData(const std::string& name, const std::vector<std::uint8_t>& bmp);
std::optional<Surface> FindBitmapResource(const std::string& name);

}  // namespace win
