// SPDX-License-Identifier: MIT
#include "platform/textfile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/error.h"
#include "support/tempfolder.h"

using testing::ElementsAre;

TEST(SplitLines, AcceptsCrLfAndLfAndAnUnterminatedLastLine) {
    EXPECT_THAT(platform::SplitLines("a\r\nb\r\n"), ElementsAre("a", "b"));
    EXPECT_THAT(platform::SplitLines("a\nb\n"), ElementsAre("a", "b"));
    EXPECT_THAT(platform::SplitLines("a\r\nb"), ElementsAre("a", "b"));
    EXPECT_THAT(platform::SplitLines("a\r\n\r\nb\r\n"), ElementsAre("a", "", "b"));
    EXPECT_THAT(platform::SplitLines("  padded  \r\n"), ElementsAre("  padded  "));
    EXPECT_TRUE(platform::SplitLines("").empty());
    EXPECT_THAT(platform::SplitLines("\r\n"), ElementsAre(""));
}

TEST(TextFile, WritesCrLfAfterEveryLineAndReadsItBack) {
    testsupport::TempFolder dir;
    const std::string file = dir / "list.txt";
    platform::WriteLines(file, {"C:/one", "", "\xc3\xa9t\xc3\xa9 two"});
    EXPECT_EQ(dir.read("list.txt"), "C:/one\r\n\r\n\xc3\xa9t\xc3\xa9 two\r\n");
    EXPECT_THAT(*platform::ReadLines(file), ElementsAre("C:/one", "", "\xc3\xa9t\xc3\xa9 two"));
    platform::WriteLines(file, {});
    EXPECT_EQ(dir.read("list.txt"), "");
}

TEST(TextFile, DropsAByteOrderMarkAtTheStartOfTheFileOnly) {
    testsupport::TempFolder dir;
    dir.write("list.txt", "\xEF\xBB\xBF/home/a.doc\r\n\xEF\xBB\xBF/b.doc\r\n");
    EXPECT_THAT(*platform::ReadLines(dir / "list.txt"),
                ElementsAre("/home/a.doc", "\xEF\xBB\xBF/b.doc"));
}

TEST(TextFile, MissingFileReadsAsNothing) {
    testsupport::TempFolder dir;
    EXPECT_FALSE(platform::ReadLines(dir / "missing.txt").has_value());
}

TEST(TextFile, ReplacementIsAtomicAndLeavesNoTemporaryFile) {
    testsupport::TempFolder dir;
    const std::string file = dir.write("list.txt", "old\r\n");
    platform::WriteLines(file, {"new"});
    EXPECT_EQ(dir.read("list.txt"), "new\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IRGRP, 0u) << "written with the usual permissions";
}

TEST(TextFile, FailedWriteKeepsTheOldFileAndReportsThePath) {
    testsupport::TempFolder dir;
    // A folder stands where the file would be renamed to: the rename fails.
    dir.mkdir("taken.txt");
    dir.write("taken.txt/inside", "keep");
    try {
        platform::WriteLines(dir / "taken.txt", {"x"});
        FAIL() << "expected an error";
    } catch (const platform::SystemError& error) {
        EXPECT_EQ(error.path(), dir / "taken.txt");
    }
    EXPECT_EQ(dir.read("taken.txt/inside"), "keep");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_THROW(platform::WriteLines(dir / "no/such/folder.txt", {"x"}), platform::SystemError);
}
