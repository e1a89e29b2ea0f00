#include "support/mask.h"

#include <gtest/gtest.h>

namespace ferry {
namespace {

TEST(MatchesMask, Wildcards) {
    EXPECT_TRUE(matchesMask("Unit1.PAS", "*.pas"));
    EXPECT_TRUE(matchesMask("unit1.pas", "u?it*.p*"));
    EXPECT_TRUE(matchesMask("a", "a*"));
    EXPECT_FALSE(matchesMask("a", "a?"));
    EXPECT_TRUE(matchesMask("xyz", "*y*"));
    EXPECT_TRUE(matchesMask("abcbd", "a*b?"));
    EXPECT_FALSE(matchesMask("abcbde", "a*b?"));
    EXPECT_TRUE(matchesMask("aaa", "*a*a*a*"));
    EXPECT_FALSE(matchesMask("aa", "*a*a*a*"));
}

TEST(MatchesMask, EmptyNameMatchesNothing) {
    EXPECT_FALSE(matchesMask("", "*"));
    EXPECT_FALSE(matchesMask("", ""));
}

TEST(MatchesMask, EmptyMaskReturnsNormally) {
    EXPECT_FALSE(matchesMask("a", ""));
}

TEST(MatchesMask, DotIsOrdinary) {
    EXPECT_FALSE(matchesMask("readme", "*.*"));
    EXPECT_TRUE(matchesMask("readme.", "*.*"));
    EXPECT_TRUE(matchesMask("a.b.c", "*.*"));
    EXPECT_TRUE(matchesMask("README", "readme"));
    EXPECT_FALSE(matchesMask("readme2", "readme"));
}

TEST(MatchesMask, QuestionMarkIsOneCodePoint) {
    EXPECT_TRUE(matchesMask("\xC3\xA4.txt", "?.txt"));  // ä is two bytes, one letter
    EXPECT_FALSE(matchesMask("\xC3\xA4.txt", "??.txt"));
    EXPECT_TRUE(
        matchesMask("\xE2\x82\xAC"
                    "1",
                    "?1"));  // €1
}

TEST(MatchesMask, CaseFoldingBeyondAscii) {
    EXPECT_TRUE(matchesMask("\xC3\x84RGER.TXT", "\xC3\xA4*.txt"));
    EXPECT_TRUE(matchesMask("\xD0\x94\xD0\x90.doc", "\xD0\xB4\xD0\xB0.*"));  // ДА vs да
}

TEST(MatchesMask, SeparatorsAreNotSpecial) {
    EXPECT_TRUE(matchesMask("a/b", "a*b"));
}

}  // namespace
}  // namespace ferry
