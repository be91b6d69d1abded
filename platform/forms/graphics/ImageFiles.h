#pragma once
// Surfaces to and from files: PNG (snapshots, tests), BMP (the format stored bitmaps use)
// and text pixel maps (glyph strips kept readable in the source).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/forms/graphics/Gdi.h"

namespace win {

// Throw Exception with a clear message on failure.
std::vector<std::uint8_t> EncodePng(const Surface& s);
Surface DecodePng(const std::vector<std::uint8_t>& data);
// Written through a temporary file, so a crash never leaves half a picture.
void SavePng(const Surface& s, const std::filesystem::path& path);
Surface LoadPng(const std::filesystem::path& path);

// 24-bit for colour surfaces, 1-bit for monochrome ones; the file header is included.
std::vector<std::uint8_t> EncodeBmp(const Surface& s);
// Reads 1, 4, 8, 24 and 32-bit uncompressed bitmaps (top-down or bottom-up). A 1-bit
// bitmap whose palette is black and white gives a monochrome surface.
Surface DecodeBmp(const std::vector<std::uint8_t>& data);

// A text pixel map: lines "c RRGGBB" give each character its colour, then a blank line,
// then the rows, one character per pixel, all of the same length. Example:
//   ". 808000\n# 000000\n\n.#.\n###\n"
Surface ParsePixelMap(const std::string& text);

}  // namespace win
