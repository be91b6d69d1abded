// A font's family name read from its name table, whatever the table holds.
#include <gtest/gtest.h>

#include "platform/system/Fonts.h"

using namespace win;

namespace {

// A font file of one table, "name", holding one Windows Unicode family name of these units.
std::vector<std::uint8_t> FontNamed(const std::u16string& units) {
  const std::size_t len = 2 * units.size();
  std::vector<std::uint8_t> d;
  auto put16 = [&](std::size_t v) {
    d.push_back(std::uint8_t(v >> 8)), d.push_back(std::uint8_t(v));
  };
  // Version 1.0 with one table, "name" at 28 of 18 + len bytes, holding one record.
  const std::size_t head[] = {1, 0,        1, 0, 0,  0, 0x6E61, 0x6D65, 0, 0,   0, 28,
                              0, 18 + len, 0, 1, 18, 3, 1,      0x409,  1, len, 0};
  for (std::size_t v : head) put16(v);
  for (char16_t u : units) put16(u);
  return d;
}

}  // namespace

TEST(FontName, UnicodeNamesBecomeValidUtf8) {
  EXPECT_EQ(TrueTypeFamilyName(FontNamed(u"Dé\U0001F600")), "Dé\U0001F600");
  // A surrogate without its other half is no character: it reads as U+FFFD, never as a
  // code point made of it and the unit after it.
  EXPECT_EQ(TrueTypeFamilyName(FontNamed({0xD800, u'A', 0xDC00})), "\uFFFDA\uFFFD");
}
