// SPDX-License-Identifier: MIT
#include "platform/systemtext.h"

#include <gtest/gtest.h>

namespace {

struct Utf8Case {
    const char* name;
    std::string text;
    std::size_t validPrefix;
};

class ValidUtf8Prefix : public testing::TestWithParam<Utf8Case> {};

TEST_P(ValidUtf8Prefix, StopsAtTheFirstByteThatIsNotUtf8) {
    EXPECT_EQ(platform::ValidUtf8Prefix(GetParam().text), GetParam().validPrefix);
    EXPECT_EQ(platform::IsValidUtf8(GetParam().text),
              GetParam().validPrefix == GetParam().text.size());
}

INSTANTIATE_TEST_SUITE_P(
    Names, ValidUtf8Prefix,
    testing::Values(
        Utf8Case{"Ascii", "report.doc", 10},
        Utf8Case{"TwoThreeAndFourByteLetters", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", 9},
        Utf8Case{"Latin1Name", "caf\xe9.doc", 3}, Utf8Case{"LoneContinuationByte", "a\x80", 1},
        Utf8Case{"OverlongSlash", "\xc0\xaf", 0}, Utf8Case{"OverlongThreeBytes", "\xe0\x80\xaf", 0},
        Utf8Case{"Surrogate", "x\xed\xa0\x80", 1},
        Utf8Case{"AboveTheLastCodePoint", "\xf4\x90\x80\x80", 0},
        Utf8Case{"CutShort", "ab\xe2\x82", 2}, Utf8Case{"Empty", "", 0}),
    [](const testing::TestParamInfo<Utf8Case>& row) { return row.param.name; });

}  // namespace
