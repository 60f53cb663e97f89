// SPDX-License-Identifier: MIT
// What the office processes write reaches standard error as whole lines with the terminal's
// control characters escaped, however the writes are cut.
#include "office/client/diagnosticsrelay.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using office::client::DiagnosticLines;

TEST(DiagnosticLines, EscapesWhatATerminalWouldActOnAndKeepsTheRest) {
    DiagnosticLines lines;
    // A retitle, a clear screen hidden behind a carriage return, a C1 introducer, a bell.
    EXPECT_EQ(lines.take("\x1b]0;owned\x07 title\n"), "\\x1b]0;owned\\x07 title\n");
    EXPECT_EQ(lines.take("done\r\x1b[2Jhidden\n"), "done\\x0d\\x1b[2Jhidden\n");
    EXPECT_EQ(lines.take("c1 \xc2\x9b"
                         "31m and raw \x9b"
                         "1m\n"),
              "c1 \\xc2\\x9b31m and raw \\x9b1m\n");
    EXPECT_EQ(lines.take("tab\tand \xc3\xa9t\xc3\xa9 stay\n"), "tab\tand \xc3\xa9t\xc3\xa9 stay\n");
}

TEST(DiagnosticLines, ALineWaitsForItsEndAndALongOneIsCut) {
    DiagnosticLines lines;
    // An escape sequence split between two reads is still escaped as a whole line.
    EXPECT_EQ(lines.take("warn: \x1b"), "");
    EXPECT_EQ(lines.take("[1mbold\nnext"), "warn: \\x1b[1mbold\n");
    EXPECT_EQ(lines.take("\n"), "next\n");

    const std::string endless(DiagnosticLines::kLongestLine * 2 + 10, 'a');
    const std::string out = lines.take(endless);
    EXPECT_EQ(out, std::string(DiagnosticLines::kLongestLine, 'a') + '\n' +
                       std::string(DiagnosticLines::kLongestLine, 'a') + '\n');
    EXPECT_EQ(lines.take("\n"), std::string(10, 'a') + '\n');
}

}  // namespace
