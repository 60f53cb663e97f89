// SPDX-License-Identifier: MIT
#include "state/statefiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "support/tempfolder.h"

using testing::ElementsAre;

class StateFilesTest : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    state::StateFiles files{dir.path()};
};

TEST_F(StateFilesTest, ListsRoundTripInOrderWithDuplicatesEmptyLinesAndSpaces) {
    const std::vector<std::string> entries = {"/home/a b/x.doc", "/home/a b/x.doc", "", " /lead",
                                              "/\xc3\xa9t\xc3\xa9"};
    files.WriteSourceList(entries);
    EXPECT_EQ(files.ReadSourceList(), entries);
#ifndef _WIN32
    // (On Windows the bytes are in the ANSI code page, which the Win32 tests check.)
    EXPECT_EQ(dir.read("EXCEL.txt"),
              "/home/a b/x.doc\r\n/home/a b/x.doc\r\n\r\n /lead\r\n/\xc3\xa9t\xc3\xa9\r\n");
#endif
    files.WriteSourceList({});
    EXPECT_EQ(dir.read("EXCEL.txt"), "");
    EXPECT_TRUE(files.ReadSourceList().empty());
}

TEST_F(StateFilesTest, OutputHistoryKeepsTheFirst201EntriesWhenWrittenButReadsAnyLength) {
    std::vector<std::string> entries;
    for (int i = 0; i < 300; ++i) {
        entries.push_back("/out/" + std::to_string(i));
    }
    files.WriteOutputHistory(entries);
    const std::vector<std::string> back = files.ReadOutputHistory();
    ASSERT_EQ(back.size(), 201u);
    EXPECT_EQ(back.front(), "/out/0");
    EXPECT_EQ(back.back(), "/out/200");

    std::string handWritten;
    for (int i = 0; i < 300; ++i) {
        handWritten += "/hand/" + std::to_string(i) + "\n";
    }
    dir.write("output.txt", handWritten);
    EXPECT_EQ(files.ReadOutputHistory().size(), 300u);
}

TEST_F(StateFilesTest, ListWrittenByHandWithLfOrWithoutLastTerminatorReadsTheSame) {
    dir.write("EXCEL.txt", "/a\n/b");
    EXPECT_THAT(files.ReadSourceList(), ElementsAre("/a", "/b"));
    dir.write("EXCEL.txt", "/a\r\n/b\r\n");
    EXPECT_THAT(files.ReadSourceList(), ElementsAre("/a", "/b"));
}

struct SettingsCase {
    const char* name;
    const char* contents;
    bool saveSourceList;
    bool saveOutputHistory;
};

class SettingsFile : public testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsFile, ASettingIsOnOnlyWhenItsLineIsExactlyOne) {
    testsupport::TempFolder dir;
    dir.write("set.txt", GetParam().contents);
    const state::Settings settings = state::StateFiles(dir.path()).ReadSettings();
    EXPECT_EQ(settings.saveSourceList, GetParam().saveSourceList);
    EXPECT_EQ(settings.saveOutputHistory, GetParam().saveOutputHistory);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SettingsFile,
    testing::Values(SettingsCase{"BothOn", "1\r\n1\r\n", true, true},
                    SettingsCase{"FirstOnly", "1\r\n0\r\n", true, false},
                    SettingsCase{"SecondOnly", "0\r\n1\r\n", false, true},
                    SettingsCase{"SingleLineWithEnd", "1\r\n", true, false},
                    SettingsCase{"SingleLineWithoutEnd", "1", true, false},
                    SettingsCase{"Empty", "", false, false},
                    SettingsCase{"TrailingSpace", "1 \r\n1\r\n", false, true},
                    SettingsCase{"LeadingZero", "01\r\n1\r\n", false, true},
                    SettingsCase{"Word", "true\r\ntrue\r\n", false, false},
                    SettingsCase{"LfOnly", "1\n1\n", true, true},
                    SettingsCase{"ExtraLinesIgnored", "0\r\n1\r\n1\r\n", false, true}),
    [](const testing::TestParamInfo<SettingsCase>& row) { return row.param.name; });

TEST_F(StateFilesTest, MissingFilesReadAsEmptyListsAndSettingsOff) {
    EXPECT_TRUE(files.ReadSourceList().empty());
    EXPECT_TRUE(files.ReadOutputHistory().empty());
    EXPECT_FALSE(files.ReadSettings().saveSourceList);
    EXPECT_FALSE(files.ReadSettings().saveOutputHistory);
    EXPECT_FALSE(files.ReadSettingsLines().hasLine1);
}

TEST_F(StateFilesTest, SettingsAreWrittenAsTwoLinesOfOneOrZero) {
    dir.write("set.txt", "1\r\n1\r\nextra\r\n");
    files.WriteSettings({true, false});
    EXPECT_EQ(dir.read("set.txt"), "1\r\n0\r\n");
}

TEST_F(StateFilesTest, FirstStartCreatesTheThreeFilesWithBothSettingsOn) {
    files.CreateOnFirstStart();
    EXPECT_EQ(dir.read("EXCEL.txt"), "");
    EXPECT_EQ(dir.read("output.txt"), "");
    EXPECT_EQ(dir.read("set.txt"), "1\r\n1\r\n");
}

TEST_F(StateFilesTest, LaterStartsLeaveExistingFilesAlone) {
    dir.write("set.txt", "0\r\n0\r\n");
    files.CreateOnFirstStart();
    EXPECT_EQ(dir.read("set.txt"), "0\r\n0\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "EXCEL.txt"));
}

TEST_F(StateFilesTest, UnwritableLocationIsAnErrorThatNamesTheFile) {
    state::StateFiles nowhere(dir / "missing-folder");
    try {
        nowhere.WriteSourceList({"/a"});
        FAIL() << "expected an error";
    } catch (const platform::SystemError& error) {
        EXPECT_EQ(error.path(), dir / "missing-folder/EXCEL.txt");
    }
}
