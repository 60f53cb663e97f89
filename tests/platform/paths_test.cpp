// SPDX-License-Identifier: MIT
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "support/ordinaryuser.h"
#include "support/tempfolder.h"

TEST(ProgramFolder, IsTheFolderOfTheRunningExecutable) {
    const std::string folder = platform::programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(folder + "/platform_tests"));
}

TEST(StateFolder, IsTheProgramFolderWhenWritableElseThePerUserFolder) {
    testsupport::TempFolder dir;
    const std::string program = dir.mkdir("program");
    EXPECT_EQ(platform::stateFolderFor(program), program);

    const std::string config = dir.mkdir("config");
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_EQ(platform::stateFolderFor(dir / "missing-program-folder"), config + "/pavendel");
    EXPECT_TRUE(std::filesystem::is_directory(config + "/pavendel"));
    std::filesystem::permissions(
        program, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    testsupport::AsOrdinaryUser(
        dir.path(), [&] { EXPECT_EQ(platform::stateFolderFor(program), config + "/pavendel"); });
    if (saved) {
        ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(InFolder, JoinsWithOneSeparator) {
    EXPECT_EQ(platform::inFolder("/opt/pavendel", "set.txt"), "/opt/pavendel/set.txt");
    EXPECT_EQ(platform::inFolder("/", "set.txt"), "/set.txt");
}
