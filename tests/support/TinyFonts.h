#pragma once
// Font files small enough to write in a test.
#include <string>

namespace testfonts {

// A minimal TrueType file: the offset table and one "name" table holding the family name
// as a Windows Unicode record.
inline std::string TinyTrueType(const std::string& family) {
  std::string out;
  auto u16 = [&](unsigned v) { out += char(v >> 8), out += char(v & 0xFF); };
  auto u32 = [&](unsigned long v) { u16(unsigned(v >> 16)), u16(unsigned(v & 0xFFFF)); };
  const unsigned nameOffset = 12 + 16, stringLen = unsigned(family.size() * 2);
  const unsigned nameLen = 6 + 12 + stringLen;
  u32(0x00010000);
  u16(1), u16(16), u16(0), u16(0);
  out += "name";
  u32(0), u32(nameOffset), u32(nameLen);
  u16(0), u16(1), u16(6 + 12);  // format, count, string offset
  u16(3), u16(1), u16(0x409), u16(1), u16(stringLen), u16(0);
  for (char c : family) u16(unsigned(c));
  return out;
}

}  // namespace testfonts
