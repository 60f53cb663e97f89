// SPDX-License-Identifier: MIT
// The state files under an ANSI code page. CTest runs this program under Wine once per code page,
// with the locale that gives it and the code page as --code-page=N
// (tests/platform/CMakeLists.txt).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/textfile.h"
#include "support/tempfolder.h"

#include <windows.h>

namespace {

using testing::ElementsAre;

// The code page the test is meant to run in; 0 when it was not told.
unsigned long expectedCodePage = 0;

// Names as the program keeps them (UTF-8) and as the code page writes them: one whose bytes are
// also valid UTF-8 of another text, and one whose bytes are not UTF-8.
struct CodePageNames {
    std::string twoReadings, twoReadingsBytes, oneReading, oneReadingBytes;
};

CodePageNames namesOf(unsigned codePage) {
    if (codePage == 936) {
        // "小说" is D0 A1 CB B5, as UTF-8 "Сʵ"; "中文" is D6 D0 CE C4.
        return {"\xE5\xB0\x8F\xE8\xAF\xB4", "\xD0\xA1\xCB\xB5", "\xE4\xB8\xAD\xE6\x96\x87",
                "\xD6\xD0\xCE\xC4"};
    }
    // 1252: "Ã©" is C3 A9, as UTF-8 "é"; "Grüße" is 47 72 FC DF 65.
    return {"\xC3\x83\xC2\xA9", "\xC3\xA9", "Gr\xC3\xBC\xC3\x9F", "Gr\xFC\xDF"};
}

class CodePageTest : public ::testing::Test {
 protected:
    void SetUp() override {
        ASSERT_NE(expectedCodePage, 0u) << "run with --code-page=N, as CTest does";
        ASSERT_EQ(::GetACP(), expectedCodePage)
            << "Wine runs in another code page: is the locale in LC_ALL installed?";
        names = namesOf(::GetACP());
    }

    std::vector<std::string> read(const testsupport::TempFolder& folder) const {
        return platform::ReadLines(folder / "EXCEL.txt").value_or(std::vector<std::string>{"-"});
    }

    CodePageNames names;
};

TEST_F(CodePageTest, ALineWithTwoReadingsIsThePathThatExists) {
    struct Case {
        bool ansiExists, utf8Exists, expectAnsi;
    };
    // Where neither or both exist the line stays UTF-8: this program never writes such a line
    // in the code page, and bytes in a code page are seldom valid UTF-8 by chance.
    for (const Case& c : {Case{false, false, false}, Case{true, false, true},
                          Case{false, true, false}, Case{true, true, false}}) {
        const testsupport::TempFolder folder;
        if (c.ansiExists) {
            folder.write(names.twoReadings);
        }
        if (c.utf8Exists) {
            folder.write(names.twoReadingsBytes);
        }
        // The temporary folder's path is ASCII, the same in either reading.
        folder.write("EXCEL.txt", folder.path() + "\\" + names.twoReadingsBytes + "\r\n");
        EXPECT_THAT(read(folder), ElementsAre(folder / (c.expectAnsi ? names.twoReadings
                                                                     : names.twoReadingsBytes)))
            << c.ansiExists << c.utf8Exists;
    }
}

TEST_F(CodePageTest, EachLineIsReadByItselfAfterAByteOrderMark) {
    const testsupport::TempFolder folder;
    // An editor's UTF-8 mark, a line an older program wrote, one this program wrote in UTF-8.
    folder.write("EXCEL.txt",
                 "\xEF\xBB\xBF"
                 "C:\\" +
                     names.oneReadingBytes + "\r\nC:\\" + names.oneReading + "\r\n");
    EXPECT_THAT(read(folder), ElementsAre("C:\\" + names.oneReading, "C:\\" + names.oneReading));
}

TEST_F(CodePageTest, WritesTheCodePageOnlyWhereEveryLineReadsBackWhateverExists) {
    const testsupport::TempFolder folder;
    const std::string plain = "C:\\" + names.oneReading;
    platform::WriteLines(folder / "EXCEL.txt", {plain});
    EXPECT_EQ(folder.read("EXCEL.txt"), "C:\\" + names.oneReadingBytes + "\r\n");
    // In the code page this line would read as UTF-8 while its file is missing: the list is
    // written in UTF-8.
    const std::string missing = "C:\\" + names.twoReadings;
    platform::WriteLines(folder / "EXCEL.txt", {plain, missing});
    EXPECT_EQ(folder.read("EXCEL.txt"), plain + "\r\n" + missing + "\r\n");
    EXPECT_THAT(read(folder), ElementsAre(plain, missing));
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.substr(0, 12) == "--code-page=") {
            expectedCodePage = std::strtoul(argv[i] + 12, nullptr, 10);
        }
    }
    return RUN_ALL_TESTS();
}
