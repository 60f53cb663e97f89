// SPDX-License-Identifier: MIT
#include "platform/systemtext.h"

#include <gtest/gtest.h>

namespace {

struct Utf8Case {
    const char* name;
    std::string text;
    std::size_t validPrefix;
    // Characters as Windows counts them.
    std::size_t utf16Length;
};

class SystemText : public testing::TestWithParam<Utf8Case> {};

TEST_P(SystemText, ValidUtf8PrefixStopsAtTheFirstByteThatIsNotUtf8) {
    EXPECT_EQ(platform::ValidUtf8Prefix(GetParam().text), GetParam().validPrefix);
    EXPECT_EQ(platform::IsValidUtf8(GetParam().text),
              GetParam().validPrefix == GetParam().text.size());
}

TEST_P(SystemText, Utf16LengthCountsCharactersNotBytes) {
    EXPECT_EQ(platform::Utf16Length(GetParam().text), GetParam().utf16Length);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SystemText,
    testing::Values(Utf8Case{"Ascii", "report.doc", 10, 10},
                    // é and € are one unit each, the emoji beyond U+FFFF two.
                    Utf8Case{"TwoThreeAndFourByteLetters", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
                             9, 4},
                    Utf8Case{"Cyrillic", "\xd0\x94\xd0\xbe\xd0\xba", 6, 3},
                    Utf8Case{"Latin1Name", "caf\xe9.doc", 3, 8},
                    Utf8Case{"LoneContinuationByte", "a\x80", 1, 2},
                    Utf8Case{"OverlongSlash", "\xc0\xaf", 0, 2},
                    Utf8Case{"OverlongThreeBytes", "\xe0\x80\xaf", 0, 3},
                    Utf8Case{"Surrogate", "x\xed\xa0\x80", 1, 4},
                    Utf8Case{"AboveTheLastCodePoint", "\xf4\x90\x80\x80", 0, 4},
                    Utf8Case{"CutShort", "ab\xe2\x82", 2, 4}, Utf8Case{"Empty", "", 0, 0}),
    [](const testing::TestParamInfo<Utf8Case>& row) { return row.param.name; });

}  // namespace
