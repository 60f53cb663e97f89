// SPDX-License-Identifier: MIT
// The RTF file is put in place without ever replacing a file that is already there, by each of
// the methods a file system may offer; a run that starts at a later method stands for a file
// system that refuses the earlier ones.
#include "platform/newfile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "support/automationtest.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

using platform::NewFileMethod;
using testing::HasSubstr;
using testsupport::descriptionOf;

namespace {

std::size_t entriesIn(const std::string& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class NewFile : public testing::TestWithParam<NewFileMethod> {};

TEST_P(NewFile, WritesTheWholeFileWithTheUsualPermissions) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    folder.mkdir("out");
    const mode_t mask = ::umask(022);
    platform::writeNewFile(source, folder / "out/report.rtf", GetParam());
    ::umask(mask);
    EXPECT_EQ(folder.read("out/report.rtf"), "{\\rtf1 new}");
    EXPECT_EQ(fs::status(folder / "out/report.rtf").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(entriesIn(folder / "out"), 1u);
}

// The name was free when the program chose it; another program made a file of that name while
// the document converted. That file stays as it was, and the failure names it.
TEST_P(NewFile, NeverReplacesAFileMadeInTheMeantime) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    folder.write("out/report.rtf", "the user's own file");
    EXPECT_THAT(
        descriptionOf(
            [&] { platform::writeNewFile(source, folder / "out/report.rtf", GetParam()); }),
        HasSubstr("\"report.rtf\" could not be saved: a file of that name is already there"));
    EXPECT_EQ(folder.read("out/report.rtf"), "the user's own file");
    EXPECT_EQ(entriesIn(folder / "out"), 1u);

    // A dangling symbolic link is a name that is taken too: nothing is written through it.
    fs::create_symlink(folder / "elsewhere.rtf", folder / "out/link.rtf");
    EXPECT_THAT(
        descriptionOf([&] { platform::writeNewFile(source, folder / "out/link.rtf", GetParam()); }),
        HasSubstr("a file of that name is already there"));
    EXPECT_FALSE(fs::exists(folder / "elsewhere.rtf"));
}

// A name at the file system's limit still saves: the temporary name is short and fixed.
TEST_P(NewFile, SavesANameAtTheLengthLimit) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    const std::string name = std::string(251, 'x') + ".rtf";
    folder.mkdir("out");
    platform::writeNewFile(source, folder / ("out/" + name), GetParam());
    EXPECT_EQ(folder.read("out/" + name), "{\\rtf1 new}");
    EXPECT_EQ(entriesIn(folder / "out"), 1u);
}

TEST_P(NewFile, LeavesNothingBehindWhenItCannotSave) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    folder.mkdir("out/taken.rtf");
    const auto save = [&](const std::string& from, const std::string& to) {
        return descriptionOf([&] { platform::writeNewFile(from, to, GetParam()); });
    };
    EXPECT_THAT(save(source, folder / "out/taken.rtf"),
                HasSubstr("\"taken.rtf\" could not be saved: a folder of that name is in the way"));
    EXPECT_THAT(save(source, folder / "nowhere/a.rtf"),
                HasSubstr("the folder \"" + (folder / "nowhere") + "\" does not exist"));
    EXPECT_THAT(save(folder / "vanished.rtf", folder / "out/b.rtf"),
                HasSubstr("\"b.rtf\" could not be saved"));
    EXPECT_EQ(entriesIn(folder / "out"), 1u);
}

// A save killed half-way leaves its hidden temporary file in the user's folder; the next save
// there removes it, but never the file of a save still under way in another process, a file that
// only looks like one of ours, or a leftover so new that its writer may be on another machine.
TEST(NewFileLeftovers, TheNextSaveRemovesOnlyLeftoversOfSavesThatEnded) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ::waitpid(ended, nullptr, 0);
    const std::string gone = ".pavendel-" + std::to_string(ended) + "-a1B2c3";
    const std::string fresh = ".pavendel-" + std::to_string(ended) + "-d4E5f6";
    const std::string underWay = ".pavendel-" + std::to_string(::getppid()) + "-g7H8i9";
    const std::string lookalike = ".pavendel-" + std::to_string(ended) + "-notes.txt";
    const std::string linked = ".pavendel-" + std::to_string(ended) + "-j0K1l2";
    for (const std::string& name : {gone, fresh, underWay, lookalike}) {
        folder.write("out/" + name, "partial");
    }
    fs::create_symlink(folder / "new.rtf", folder / ("out/" + linked));
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    for (const std::string& name : {gone, underWay, lookalike}) {
        fs::last_write_time(folder / ("out/" + name), old);
    }

    platform::writeNewFile(source, folder / "out/report.rtf", NewFileMethod::RenameNoReplace);
    EXPECT_FALSE(fs::exists(folder / ("out/" + gone)));
    for (const std::string& name : {fresh, underWay, lookalike, linked}) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(folder / ("out/" + name)))) << name;
    }
    EXPECT_EQ(folder.read("out/report.rtf"), "{\\rtf1 new}");
    EXPECT_EQ(entriesIn(folder / "out"), 5u);
}

std::string methodName(const testing::TestParamInfo<NewFileMethod>& info) {
    switch (info.param) {
        case NewFileMethod::UnnamedFile:
            return "UnnamedFile";
        case NewFileMethod::RenameNoReplace:
            return "RenameNoReplace";
        case NewFileMethod::LinkThenUnlink:
            return "LinkThenUnlink";
        case NewFileMethod::ExclusiveCreate:
            return "ExclusiveCreate";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Methods, NewFile,
                         testing::Values(NewFileMethod::UnnamedFile, NewFileMethod::RenameNoReplace,
                                         NewFileMethod::LinkThenUnlink,
                                         NewFileMethod::ExclusiveCreate),
                         methodName);

}  // namespace
