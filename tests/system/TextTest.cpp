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

TEST(Text, Utf8CharactersAreCountedByTheBytesThatStartThem) {
  EXPECT_EQ(CountUtf8Characters(""), 0u);
  EXPECT_EQ(CountUtf8Characters("aé€\xF0\x9F\x98\x80"), 4u);
  EXPECT_EQ(CountUtf8Characters("\x80\xBF"
                                "a"),
            1u)
      << "stray continuation bytes";
  EXPECT_EQ(CountUtf8Characters("\xE2\x82"), 1u) << "a cut character";
  EXPECT_EQ(CountUtf8Characters("\xFF\xFE"), 2u);
}
