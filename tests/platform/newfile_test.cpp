// SPDX-License-Identifier: MIT
// The RTF file is put in place without ever replacing a file that is already there, by each of
// the methods a file system may offer; a run that starts at a later method stands for a file
// system that refuses the earlier ones. A state file is replaced whole or not at all.
#include "platform/newfile.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

using platform::NewFileMethod;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

// The target and the reason of the SystemError the save raises; a test failure when it raises
// none.
std::string saveFailure(const std::function<void()>& save) {
    try {
        save();
    } catch (const platform::SystemError& error) {
        return error.path() + ": " + error.reason();
    }
    ADD_FAILURE() << "no SystemError was raised";
    return {};
}

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
        saveFailure([&] { platform::writeNewFile(source, folder / "out/report.rtf", GetParam()); }),
        HasSubstr("out/report.rtf: a file of that name is already there"));
    EXPECT_EQ(folder.read("out/report.rtf"), "the user's own file");
    EXPECT_EQ(entriesIn(folder / "out"), 1u);

    // A dangling symbolic link is a name that is taken too: nothing is written through it.
    fs::create_symlink(folder / "elsewhere.rtf", folder / "out/link.rtf");
    EXPECT_THAT(
        saveFailure([&] { platform::writeNewFile(source, folder / "out/link.rtf", GetParam()); }),
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
        return saveFailure([&] { platform::writeNewFile(from, to, GetParam()); });
    };
    EXPECT_THAT(save(source, folder / "out/taken.rtf"),
                HasSubstr("out/taken.rtf: a folder of that name is in the way"));
    EXPECT_THAT(save(source, folder / "nowhere/a.rtf"),
                HasSubstr("the folder \"" + (folder / "nowhere") + "\" does not exist"));
    EXPECT_THAT(save(folder / "vanished.rtf", folder / "out/b.rtf"),
                HasSubstr("out/b.rtf: No such file or directory"));
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

// What makes the replacing mode safe for the state files: a program that reads the old file
// while it is replaced reads the old file whole, never a mix, and the new file is complete.
TEST(ReplaceFile, ReplacesTheWholeFileWithTheUsualPermissions) {
    testsupport::TempFolder folder;
    const std::string target = folder.write("out/list.txt", "old contents");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    const int reader = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const mode_t mask = ::umask(022);
    platform::replaceFile(target, "new");
    platform::replaceFile(folder / "out/made.txt", "made where there was no file");
    ::umask(mask);

    EXPECT_EQ(folder.read("out/list.txt"), "new");
    EXPECT_EQ(folder.read("out/made.txt"), "made where there was no file");
    char old[32] = {};
    EXPECT_EQ(::pread(reader, old, sizeof old - 1, 0), 12);
    EXPECT_STREQ(old, "old contents") << "the old file was written over where it was";
    ::close(reader);
    for (const char* name : {"out/list.txt", "out/made.txt"}) {
        EXPECT_EQ(fs::status(folder / name).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read)
            << name;
    }
    EXPECT_EQ(entriesIn(folder / "out"), 2u);
}

struct Child {
    pid_t pid;
    int status;
};

// Runs the action in a child process whose file size limit is 4 bytes, so that a write of more
// fails half-way, and returns the child's number and wait status. With `killed`, the child takes
// the signal that the limit raises and dies in the middle of the write; otherwise the write fails
// with EFBIG and the child exits with 0 when the action threw SystemError for `target`.
Child withFileSizeLimit(const std::function<void()>& action, const std::string& target,
                        bool killed) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::prctl(PR_SET_DUMPABLE, 0);
        ::signal(SIGXFSZ, killed ? SIG_DFL : SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            action();
        } catch (const platform::SystemError& error) {
            const bool named = error.error() == EFBIG && error.path() == target &&
                               std::string(error.what()).rfind("write \"", 0) == 0;
            ::_exit(named ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {child, status};
}

// Whatever step fails, the old file stays as it was and no temporary file is left, and the
// error names the target and the step.
TEST(ReplaceFile, AFailureAtAnyStepLeavesTheOldFileAndNoTemporary) {
    testsupport::TempFolder folder;
    const std::string target = folder.write("out/list.txt", "old");
    const std::string contents(65536, 'n');

    const int status =
        withFileSizeLimit([&] { platform::replaceFile(target, contents); }, target, false).status;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the write did not fail with EFBIG for the target: status " << status;
    EXPECT_EQ(folder.read("out/list.txt"), "old");
    EXPECT_EQ(entriesIn(folder / "out"), 1u);

    // A folder in the way of the rename, and a folder that is not there.
    folder.write("out/taken/inside", "keep");
    try {
        platform::replaceFile(folder / "out/taken", contents);
        ADD_FAILURE() << "replaced a folder";
    } catch (const platform::SystemError& error) {
        EXPECT_THAT(error.what(), StartsWith("replace \"" + (folder / "out/taken") + "\""));
    }
    EXPECT_EQ(folder.read("out/taken/inside"), "keep");
    try {
        platform::replaceFile(folder / "nowhere/list.txt", contents);
        ADD_FAILURE() << "wrote into a folder that is not there";
    } catch (const platform::SystemError& error) {
        EXPECT_THAT(error.what(), StartsWith("create \"" + (folder / "nowhere/list.txt") + "\""));
    }
    EXPECT_EQ(entriesIn(folder / "out"), 2u);
}

// A replacing write killed half-way leaves the old file and a hidden temporary file under the
// name both modes use, so that the next write of either mode in that folder removes it.
TEST(ReplaceFile, AWriteKilledHalfWayLeavesALeftoverThatTheNextWriteOfEitherModeRemoves) {
    const std::vector<std::pair<const char*, std::function<void(const testsupport::TempFolder&)>>>
        nextWrites = {
            {"replaceFile",
             [](const testsupport::TempFolder& folder) {
                 platform::replaceFile(folder / "out/list.txt", "new");
             }},
            {"writeNewFile",
             [](const testsupport::TempFolder& folder) {
                 platform::writeNewFile(folder.write("new.rtf", "{\\rtf1 new}"),
                                        folder / "out/report.rtf");
             }},
        };
    for (const auto& [name, nextWrite] : nextWrites) {
        SCOPED_TRACE(name);
        testsupport::TempFolder folder;
        const std::string target = folder.write("out/list.txt", "old");
        const Child writer = withFileSizeLimit(
            [&] { platform::replaceFile(target, std::string(65536, 'n')); }, target, true);
        ASSERT_TRUE(WIFSIGNALED(writer.status) && WTERMSIG(writer.status) == SIGXFSZ)
            << "status " << writer.status;
        EXPECT_EQ(folder.read("out/list.txt"), "old");
        ASSERT_EQ(entriesIn(folder / "out"), 2u);
        fs::path leftover;
        for (const auto& entry : fs::directory_iterator(folder / "out")) {
            if (entry.path().filename() != "list.txt") {
                leftover = entry.path();
            }
        }
        const std::string prefix = ".pavendel-" + std::to_string(writer.pid) + "-";
        EXPECT_THAT(leftover.filename().string(), StartsWith(prefix));
        EXPECT_EQ(leftover.filename().string().size(), prefix.size() + 6);
        fs::last_write_time(leftover, fs::file_time_type::clock::now() - std::chrono::minutes(5));

        nextWrite(folder);
        EXPECT_FALSE(fs::exists(leftover));
        EXPECT_EQ(entriesIn(folder / "out"), name == std::string("replaceFile") ? 1u : 2u);
    }
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
