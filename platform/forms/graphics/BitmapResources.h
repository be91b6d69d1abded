#pragma once
// In-program bitmap resources, found by name (case-insensitive) as a program's resource
// section would give them. Units register their glyph strips at start-up.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/forms/graphics/Gdi.h"

namespace win {

// A text pixel map (see ParsePixelMap). Throws Exception for a malformed map.
void RegisterBitmapResource(const std::string& name, const std::string& pixelMap);
// A pixel map made by make when the resource is first asked for: a unit's strips cost the
// programs that never show them nothing at start.
void RegisterBitmapResourceSource(const std::string& name, std::function<std::string()> make);
// BMP file data.
void RegisterBitmapResourceData(const std::string& name, const std::vector<std::uint8_t>& bmp);
std::optional<Surface> FindBitmapResource(const std::string& name);

}  // namespace win
