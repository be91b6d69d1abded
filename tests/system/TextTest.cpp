// The shared text helpers at their edges: empty and all-blank texts, the bytes of UTF-8
// characters (never blank, never case-folded), invalid UTF-8, and final separators.
#include <gtest/gtest.h>

#include "platform/system/Text.h"

using namespace win;
using Pieces = std::vector<std::string>;

TEST(Text, TrimmingDropsOnlyItsOwnBlanksAndNeverAByteOfACharacter) {
  EXPECT_EQ(TrimSpacesAndTabs(""), "");
  EXPECT_EQ(TrimSpacesAndTabs(" \t \t"), "");
  EXPECT_EQ(TrimSpacesAndTabs("\t a b \t"), "a b");
  EXPECT_EQ(TrimSpacesAndTabs(" a\r\n"), "a\r\n") << "a line end is text here";

  EXPECT_EQ(TrimSpacesAndControls(""), "");
  EXPECT_EQ(TrimSpacesAndControls(" \t\r\n\x01\x1f"), "");
  EXPECT_EQ(TrimSpacesAndControls("\r\n\x01[rename] \x7f\x1f\t"), "[rename] \x7f");
  // é ends in 0xA9 and a no-break space is C2 A0: as signed chars both are "below" a space.
  EXPECT_EQ(TrimSpacesAndControls("\t\xC2\xA0"
                                  "é\n"),
            "\xC2\xA0"
            "é");
  EXPECT_EQ(TrimSpacesAndTabs(" é "), "é");

  EXPECT_EQ(TrimWhiteSpace(" \t\r\n"), "");
  EXPECT_EQ(TrimWhiteSpace("\r\n\t a b\x01\n "), "a b\x01") << "other controls are text";
  EXPECT_EQ(TrimWhiteSpace("\n\xC2\xA0é\xC2\x85\r"), "\xC2\xA0é\xC2\x85");
}

TEST(Text, AsciiCaseLeavesEveryOtherCharacterAsItIs) {
  EXPECT_EQ(AsciiUpper(""), "");
  EXPECT_EQ(AsciiUpper("az-AZ_09 àÿé@[`{"), "AZ-AZ_09 àÿé@[`{");
  EXPECT_EQ(AsciiLower("AZ-az ÀÉ@[`{"), "az-az ÀÉ@[`{");
  EXPECT_TRUE(AsciiSameText("FbServer.EXE", "fbserver.exe"));
  EXPECT_TRUE(AsciiSameText("", ""));
  EXPECT_FALSE(AsciiSameText("été", "ÉTÉ"));
  EXPECT_FALSE(AsciiSameText("@", "`")) << "0x40 and 0x60 differ by the case bit only";
  EXPECT_FALSE(AsciiSameText("a", "a "));

  EXPECT_EQ(Latin1Upper("àéþÿ×÷ az@`"), "ÀÉÞÿ×÷ AZ@`") << "ÿ's capital is no Latin-1 letter";
  EXPECT_EQ(Latin1Lower("ÀÉÞ×÷Ÿ AZ"), "àéþ×÷Ÿ az");
  EXPECT_EQ(Latin1Lower("\xC3"
                        "A\xC3"),
            "\xC3"
            "A\xC3")
      << "the byte after C3 is its second byte, a cut C3 stays";
}

TEST(Text, TheMachinesNamesFoldEveryLatinLetterAndNoInvalidByte) {
  EXPECT_EQ(FoldCase("aé\u0153\u00FF\u0131"), "AÉ\u0152\u0178\u0131") << "dotless i stays";
  // F8..FF start no character: such bytes stay as they are, never read as a four-byte
  // character that would fold onto another name.
  EXPECT_EQ(FoldCase("\xF8\x88\x80\x80"), "\xF8\x88\x80\x80");
  EXPECT_FALSE(SameText("\xF8\x88\x80\x80", "\xE8\x80\x80"));
  EXPECT_EQ(EscapeBytes("é\x01\xF8\x88\x80\x80"), "é\\x01\\xF8\\x88\\x80\\x80");
}

TEST(Text, SplittingTakesEachSeparatorAsTheEndOfAPiece) {
  EXPECT_EQ(SplitTerminated("", ';'), Pieces{});
  EXPECT_EQ(SplitTerminated("a;;b;", ';'), (Pieces{"a", "", "b"}));
  EXPECT_EQ(SplitTerminated(";a", ';'), (Pieces{"", "a"}));
  EXPECT_EQ(SplitTerminated(";", ';'), Pieces{""});
  EXPECT_EQ(SplitTerminated("C:\\A\\", '\\'), (Pieces{"C:", "A"}));

  EXPECT_EQ(SplitTerminatedLines(""), Pieces{});
  EXPECT_EQ(SplitTerminatedLines("a\r\nb\rc\nd"), (Pieces{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTerminatedLines("a\n\rb\r\n"), (Pieces{"a", "", "b"})) << "LF CR is two ends";
  EXPECT_EQ(SplitTerminatedLines("\r\n\r\n"), (Pieces{"", ""}));
  EXPECT_EQ(SplitTerminatedLines("é\r"), Pieces{"é"});
}

TEST(Text, SplittingPutsAPieceOnBothSidesOfEachSeparator) {
  EXPECT_EQ(Split("", ';'), Pieces{""});
  EXPECT_EQ(Split(";", ';'), (Pieces{"", ""}));
  EXPECT_EQ(Split("a;;b;", ';'), (Pieces{"a", "", "b", ""}));
  EXPECT_EQ(Split("*.txt", ';'), Pieces{"*.txt"});

  EXPECT_EQ(SplitLines(""), Pieces{""});
  EXPECT_EQ(SplitLines("a\r\nb\rc\n"), (Pieces{"a", "b", "c", ""}));
  EXPECT_EQ(SplitLines("\n\r"), (Pieces{"", "", ""})) << "LF CR is two ends";
}

TEST(Text, PathAndLfSplitsHaveTheirOwnEdges) {
  EXPECT_EQ(SplitNonEmpty("", '\\'), Pieces{});
  EXPECT_EQ(SplitNonEmpty("\\\\", '\\'), Pieces{});
  EXPECT_EQ(SplitNonEmpty("\\a\\\\é\\", '\\'), (Pieces{"a", "é"}));

  EXPECT_EQ(SplitLfLines(""), Pieces{});
  EXPECT_EQ(SplitLfLines("a\r\n\r\nb\rc\r"), (Pieces{"a", "", "b\rc"})) << "a lone CR is text";
  EXPECT_EQ(SplitLfLines("a\r\r\n\n"), (Pieces{"a\r", ""})) << "one CR goes with the LF";
}

TEST(Text, Utf8CharactersAreCountedByTheBytesThatStartThem) {
  EXPECT_EQ(CountUtf8Characters(""), 0u);
  EXPECT_EQ(CountUtf8Characters("aé€\xF0\x9F\x98\x80"), 4u);
  EXPECT_EQ(CountUtf8Characters("\x80\xBF"
                                "a"),
            1u)
      << "stray continuation bytes";
  EXPECT_EQ(CountUtf8Characters("\xE2\x82"), 1u) << "a cut character";
  EXPECT_EQ(CountUtf8Characters("\xFF\xFE"), 2u);
  EXPECT_EQ(CountUtf16Units("aé€\U0001F600\x80"), 5u) << "a character past U+FFFF takes two";
}

TEST(Text, Utf8StepsAndOffsetsAgreeWithTheCount) {
  const std::string s =
      "\x80"
      "aé€";  // a stray continuation byte first
  EXPECT_EQ(Utf8ByteOf(s, 0), 1u);
  EXPECT_EQ(Utf8ByteOf(s, 2), 4u);
  EXPECT_EQ(Utf8ByteOf(s, 3), s.size());
  EXPECT_EQ(Utf8ByteOf(s, 99), s.size());
  for (std::size_t n = 0; n <= 3; ++n)
    EXPECT_EQ(CountUtf8Characters(s.substr(0, Utf8ByteOf(s, n))), n) << n;

  EXPECT_EQ(Utf8NextChar(s, 0), 1u);
  EXPECT_EQ(Utf8NextChar(s, 2), 4u);
  EXPECT_EQ(Utf8NextChar(s, 4), s.size());
  EXPECT_EQ(Utf8NextChar(s, 99), s.size());
  EXPECT_EQ(Utf8PrevChar(s, s.size()), 4u);
  EXPECT_EQ(Utf8PrevChar(s, 4), 2u);
  EXPECT_EQ(Utf8PrevChar(s, 1), 0u);
  EXPECT_EQ(Utf8PrevChar(s, 0), 0u);
}

TEST(Text, DecodingKeepsEveryByteOfInvalidUtf8) {
  EXPECT_EQ(Utf8ToUtf32(""), U"");
  EXPECT_EQ(Utf8ToUtf32("aé€\xF0\x9F\x98\x80"), U"aé€\U0001F600");
  EXPECT_EQ(Utf8ToUtf32("\xC3("), U"\u00C3(") << "a lead byte takes no ASCII";
  // A stray continuation byte, then a character cut short by the end of the view.
  EXPECT_EQ(Utf8ToUtf32(std::string_view("\x80\xE2\x82\xAC", 3)), U"\u0080\u00E2\u0082");
  EXPECT_EQ(Utf8ToUtf32("\xF8\x88\x80\x80"), U"\u00F8\u0088\u0080\u0080");
  EXPECT_EQ(Utf8ToUtf32("\xC0\x80"), std::u32string(1, U'\0')) << "overlong, as it comes";
  EXPECT_EQ(Utf8ToUtf32("\xF4\x90\x80\x80"), std::u32string(1, char32_t(0x110000)));

  // To UTF-16 only valid characters pass, each byte of the rest giving one U+FFFD: an
  // overlong NUL or slash is no NUL or slash.
  EXPECT_EQ(Utf8ToUtf16("a\xED\xA0\x80\xF4\x90\x80\x80\xC3(\xF8é\U0001F600\xE2\x82"),
            u"a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD(\uFFFDé\U0001F600\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80\xE0\x80\xAF\xF0\x80\x80\x80"), std::u16string(9, u'\uFFFD'));
  EXPECT_EQ(Utf8ToUtf16("\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"), u"\u0080\u0800\U00010000");

  EXPECT_EQ(Utf16LeBytes(u""), "");
  const std::uint8_t le[] = {'a', 0, 0xE9, 0, 0x3D, 0xD8, 0, 0, 'b', 0};
  EXPECT_EQ(Utf16FromLeBytes(le, sizeof le), u"aé\xD83D") << "up to the NUL unit";
  EXPECT_EQ(Utf16FromLeBytes(le, 5), u"aé") << "half a unit at the end is left";
  EXPECT_EQ(Utf16FromLeBytes(le, 0), u"");
  EXPECT_EQ(Utf16LeBytes(std::u16string_view(u"a\0é\U0001F600", 5)),
            std::string("a\0\0\0\xE9\0\x3D\xD8\x00\xDE", 10));
}
