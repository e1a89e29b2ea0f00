#include "support/text.h"

#include <gtest/gtest.h>

#include <climits>

namespace ferry {
namespace {

TEST(IntToDecimal, SignedValues) {
    EXPECT_EQ(intToDecimal(-5), "-5");
    EXPECT_EQ(intToDecimal(0), "0");
    EXPECT_EQ(intToDecimal(INT32_MIN), "-2147483648");
    EXPECT_EQ(intToDecimal(INT32_MAX), "2147483647");
}

TEST(IntToHex, FillsButNeverCuts) {
    EXPECT_EQ(intToHex(0x1A2B, 4), "1A2B");
    EXPECT_EQ(intToHex(10, 4), "000A");
    EXPECT_EQ(intToHex(0x12345, 4), "12345");
    EXPECT_EQ(intToHex(0, 0), "0");
    EXPECT_EQ(intToHex(0xFFFFFFFFu, 0), "FFFFFFFF");
    EXPECT_EQ(intToHex(1, 15), "000000000000001");
    EXPECT_EQ(intToHex(0xABCu, -3), "ABC");
}

TEST(TrimBlanks, BothEndsAndControlCharacters) {
    EXPECT_EQ(trimBlanks("  a b\r\n"), "a b");
    EXPECT_EQ(trimBlanks(" \t\x01 "), "");
    EXPECT_EQ(trimBlanks(""), "");
    // Stops at an embedded NUL as a C string would.
    EXPECT_EQ(trimBlanks(std::string_view(" ab\0cd", 6)), "ab");
    // Bytes of UTF-8 letters are not blanks.
    EXPECT_EQ(trimBlanks(" \xC3\xA9 "), "\xC3\xA9");
}

TEST(TailFrom, ClampsPosition) {
    EXPECT_EQ(tailFrom("xyz", 0), "xyz");
    EXPECT_EQ(tailFrom("xyz", -7), "xyz");
    EXPECT_EQ(tailFrom("xyz", 3), "z");
    EXPECT_EQ(tailFrom("xyz", 4), "");
}

TEST(TakeToken, SplitsAtFirstSeparator) {
    std::string text = "a;;b";
    EXPECT_EQ(takeToken(text, ";"), "a");
    EXPECT_EQ(takeToken(text, ";"), "");
    EXPECT_EQ(takeToken(text, ";"), "b");
    EXPECT_EQ(text, "");

    text = "a;";
    EXPECT_EQ(takeToken(text, ";"), "a");
    EXPECT_EQ(text, "") << "no trailing empty token";

    text = "";
    EXPECT_EQ(takeToken(text, ";"), "");
    EXPECT_EQ(text, "");

    text = "x,y;z";
    EXPECT_EQ(takeToken(text, ";,"), "x");
    EXPECT_EQ(text, "y;z");
}

TEST(LowerText, FoldsLettersBeyondAscii) {
    EXPECT_EQ(lowerText("Unit1.PAS"), "unit1.pas");
    EXPECT_EQ(lowerText("\xC3\x84RGER"), "\xC3\xA4rger");  // Ärger
    EXPECT_EQ(lowerText("\xC5\x81\xC3\x93"
                        "D\xC5\xBB"),
              "\xC5\x82\xC3\xB3"
              "d\xC5\xBC");                                                        // ŁÓDŻ
    EXPECT_EQ(lowerText("\xD0\x9C\xD0\x98\xD0\xA0"), "\xD0\xBC\xD0\xB8\xD1\x80");  // МИР
    EXPECT_EQ(lowerText("\xCE\xA3\xCE\x91"), "\xCF\x83\xCE\xB1");                  // ΣΑ
    // Bytes that are not UTF-8 pass through unchanged.
    EXPECT_EQ(lowerText("A\xFF\xC3"), "a\xFF\xC3");
    EXPECT_EQ(lowerText("\xC3\x97"), "\xC3\x97");  // the multiplication sign is no letter
}

TEST(CompareTextAscii, FoldsOnlyAsciiLetters) {
    EXPECT_EQ(compareTextAscii("ABC", "abc"), 0);
    EXPECT_LT(compareTextAscii("abc", "abd"), 0);
    EXPECT_GT(compareTextAscii("abd", "ABC"), 0);
    EXPECT_EQ(compareTextAscii("a", "b"), 'A' - 'B');
    EXPECT_LT(compareTextAscii("ab", "abc"), 0);
    EXPECT_GT(compareTextAscii("abc", "ab"), 0);
    EXPECT_NE(compareTextAscii("\xC3\xA4", "\xC3\x84"), 0) << "ä and Ä differ";
    EXPECT_GT(compareTextAscii("\xC3\xA4", "a"), 0) << "high bytes count as 128-255";
}

}  // namespace
}  // namespace ferry
