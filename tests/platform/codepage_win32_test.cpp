// SPDX-License-Identifier: MIT
// The state files under an ANSI code page, run under Wine once per code page: CTest starts this
// program with the locale that gives Wine that code page and names the code page in
// PAVENDEL_EXPECTED_CODE_PAGE (tests/platform/CMakeLists.txt). Lists that older programs wrote
// in the code page must read as the names they meant, and lists this program writes must read
// back as written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/textfile.h"
#include "support/tempfolder.h"

#include <windows.h>

namespace {

using testing::ElementsAre;

// Names as the program keeps them (UTF-8) and as the code page writes them.
struct CodePageNames {
    unsigned codePage;
    // A name whose bytes in the code page are also valid UTF-8, of another text.
    std::string twoReadings;
    std::string twoReadingsBytes;
    // A name whose bytes in the code page are not UTF-8.
    std::string oneReading;
    std::string oneReadingBytes;
};

const CodePageNames kNames[] = {
    // Simplified Chinese: "小说" (a novel) is D0 A1 CB B5, which as UTF-8 reads "Сʵ";
    // "中文" is D6 D0 CE C4.
    {936, "\xE5\xB0\x8F\xE8\xAF\xB4", "\xD0\xA1\xCB\xB5", "\xE4\xB8\xAD\xE6\x96\x87",
     "\xD6\xD0\xCE\xC4"},
    // Western European: "Ã©" is C3 A9, which as UTF-8 reads "é"; "Grüße" is not UTF-8.
    {1252, "\xC3\x83\xC2\xA9", "\xC3\xA9",
     "Gr\xC3\xBC\xC3\x9F"
     "e",
     "Gr\xFC\xDF"
     "e"},
};

// A name outside both code pages.
const std::string kEmoji = "\xF0\x9F\x93\x84";

class CodePageTest : public ::testing::Test {
 protected:
    void SetUp() override {
        const unsigned codePage = ::GetACP();
        if (const char* expected = std::getenv("PAVENDEL_EXPECTED_CODE_PAGE")) {
            ASSERT_EQ(codePage, std::strtoul(expected, nullptr, 10))
                << "Wine runs in another code page than the test asks for: is the locale in "
                   "LC_ALL installed (scripts/test.sh generates it)?";
        }
        const auto found =
            std::find_if(std::begin(kNames), std::end(kNames),
                         [&](const CodePageNames& n) { return n.codePage == codePage; });
        if (found == std::end(kNames)) {
            GTEST_SKIP() << "no names for code page " << codePage;
        }
        names = *found;
        // The lines below put the folder's path into files as it is, as the code page would.
        ASSERT_TRUE(std::all_of(dir.path().begin(), dir.path().end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x80;
        })) << dir.path();
    }

    std::vector<std::string> read(const std::string& name) const {
        return platform::ReadLines(dir / name).value_or(std::vector<std::string>{"unreadable"});
    }

    CodePageNames names;
    testsupport::TempFolder dir;
};

TEST_F(CodePageTest, ALineWithTwoReadingsIsThePathThatExists) {
    struct Case {
        const char* what;
        bool ansiExists, utf8Exists, expectAnsi;
    };
    // Where neither or both exist the line stays UTF-8: this program never writes such a line
    // in the code page, and bytes in a code page are seldom valid UTF-8 by chance.
    for (const Case& c :
         {Case{"neither", false, false, false}, Case{"ANSI only", true, false, true},
          Case{"UTF-8 only", false, true, false}, Case{"both", true, true, false}}) {
        const testsupport::TempFolder folder;
        const std::string ansiName = folder / (names.twoReadings + ".doc");
        const std::string utf8Name = folder / (names.twoReadingsBytes + ".doc");
        if (c.ansiExists) {
            folder.write(names.twoReadings + ".doc");
        }
        if (c.utf8Exists) {
            folder.write(names.twoReadingsBytes + ".doc");
        }
        const std::string line = folder.path() + "\\" + names.twoReadingsBytes + ".doc";
        folder.write("EXCEL.txt", line + "\r\n");
        EXPECT_THAT(platform::ReadLines(folder / "EXCEL.txt").value_or(std::vector<std::string>{}),
                    ElementsAre(c.expectAnsi ? ansiName : utf8Name))
            << c.what;
    }
}

TEST_F(CodePageTest, EachLineIsReadByItselfAndAByteOrderMarkIsDropped) {
    // A list an older program began in the code page, and this program went on in UTF-8.
    dir.write("output.txt", "C:\\" + names.oneReadingBytes + "\r\nC:\\" + kEmoji + "\r\n");
    EXPECT_THAT(read("output.txt"), ElementsAre("C:\\" + names.oneReading, "C:\\" + kEmoji));
    // A list saved as UTF-8 by an editor that marks it so.
    dir.write("EXCEL.txt",
              "\xEF\xBB\xBF"
              "C:\\" +
                  names.oneReading + "\r\nC:\\b.doc\r\n");
    EXPECT_THAT(read("EXCEL.txt"), ElementsAre("C:\\" + names.oneReading, "C:\\b.doc"));
    dir.write("set.txt",
              "\xEF\xBB\xBF"
              "1\r\n0\r\n");
    EXPECT_THAT(read("set.txt"), ElementsAre("1", "0"));
}

TEST_F(CodePageTest, WritesTheCodePageOnlyWhereEveryLineReadsBackWhateverExists) {
    const std::string plain = "C:\\" + names.oneReading + "\\a.doc";
    platform::WriteLines(dir / "EXCEL.txt", {plain, "C:\\b.doc"});
    EXPECT_EQ(dir.read("EXCEL.txt"), "C:\\" + names.oneReadingBytes + "\\a.doc\r\nC:\\b.doc\r\n");
    EXPECT_THAT(read("EXCEL.txt"), ElementsAre(plain, "C:\\b.doc"));

    // In the code page the second line would read as UTF-8 as long as its file is missing: the
    // whole list is written as UTF-8.
    const std::string missing = "C:\\" + names.twoReadings + ".doc";
    platform::WriteLines(dir / "output.txt", {plain, missing});
    EXPECT_EQ(dir.read("output.txt"), plain + "\r\n" + missing + "\r\n");
    EXPECT_THAT(read("output.txt"), ElementsAre(plain, missing));
}

}  // namespace
