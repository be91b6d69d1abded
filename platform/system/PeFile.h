#pragma once
// Small but valid PE32 images carrying a version resource, and the reading of that
// resource back from any PE file. The writer makes the sample system libraries of new
// machines and test media; the reader serves GetFileVersionInfo.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/system/WinTypes.h"

namespace win {

struct PeVersionSpec {
  WORD major = 1, minor = 0, release = 0, build = 0;
  bool dll = true;
  std::string company, description, product, originalName;
  std::string internalName;    // empty: originalName without its extension
  std::string copyright;       // LegalCopyright, left out when empty
  std::string fileVersion;     // empty: "major.minor.release.build"
  std::string productVersion;  // empty: the file version text
  // Product version numbers; all zero: the file version.
  WORD productMajor = 0, productMinor = 0, productRelease = 0, productBuild = 0;
  // The string table: 0x040C/1252 ("040C04E4") or 0x0409/1200 ("040904B0").
  WORD language = 0x040C;
  WORD codePage = 1252;
  // The file is grown to at least this many bytes (data after the last section).
  size_t padTo = 0;
};

// Texts that together do not fit in a version resource (its lengths are 16-bit).
struct PeTextTooLong : std::length_error {
  using std::length_error::length_error;
};

// The whole PE file. Both throw PeTextTooLong.
std::vector<std::uint8_t> BuildPeFile(const PeVersionSpec& spec);
// The VS_VERSIONINFO block alone, as it is stored in the resource section.
std::vector<std::uint8_t> BuildVersionBlock(const PeVersionSpec& spec);

enum class PeVersionRead {
  Found,
  NotPe,      // no MZ header at all
  BadFormat,  // MZ but broken or truncated headers
  NoVersion,  // a PE file without a usable RT_VERSION resource
};

// Walks the resource directory of a PE file (PE32 or PE32+) to the first RT_VERSION
// resource and copies its block (trimmed to the block's own length). Never reads outside
// data[0, size).
PeVersionRead ReadPeVersionBlock(const std::uint8_t* data, size_t size,
                                 std::vector<std::uint8_t>& block);

// One node of a version block (VS_VERSIONINFO, StringFileInfo, StringTable, String, Var...).
struct VersionNode {
  std::string key;            // UTF-8
  size_t offset = 0;          // of the node in the block
  size_t length = 0;          // wLength, bounded by the parent
  size_t valueOffset = 0;     // of the value in the block
  size_t valueSize = 0;       // in bytes, bounded by the node
  WORD type = 0;              // 1: text (UTF-16), 0: binary
  size_t childrenOffset = 0;  // first child; children run to offset + length
};

// Parses the node at offset of block[0, limit); false when it is malformed.
bool ParseVersionNode(const std::uint8_t* block, size_t limit, size_t offset, VersionNode& node);
// The children of a node; malformed trailing children are dropped.
std::vector<VersionNode> VersionNodeChildren(const std::uint8_t* block, const VersionNode& node);

}  // namespace win
