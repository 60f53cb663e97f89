// SPDX-License-Identifier: MIT
// The command line with an in-process office: what it converts, the names and lines it gives,
// its exit statuses, and a run stopped by a signal.
#include "core/commandline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <sstream>

#include "support/fakeword.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

class CommandLine : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    testsupport::FakeWord word;
    // Any message box would be a fault: the command line has no window.
    testsupport::MessageRecorder messages;
    std::ostringstream out;
    std::ostringstream err;
    int stopAfter = -1;  // documents converted before a stop is asked
    int stopSignal = SIGINT;

    int run(const std::vector<std::string>& arguments) {
        out.str({});
        err.str({});
        const core::CommandLineIo io{out, err, false, [this] {
                                         int opened = 0;
                                         for (const std::string& event : word.events) {
                                             opened += event.rfind("Open ", 0) == 0 ? 1 : 0;
                                         }
                                         return stopAfter >= 0 && opened >= stopAfter ? stopSignal
                                                                                      : 0;
                                     }};
        return core::RunCommandLine(arguments, io);
    }

    // The targets SaveAs was asked to save as, in order.
    std::vector<std::string> saveTargets() const {
        std::vector<std::string> targets;
        for (const std::string& event : word.events) {
            if (event.rfind("SaveAs ", 0) == 0) {
                targets.push_back(event.substr(7, event.find(" FileFormat=") - 7));
            }
        }
        return targets;
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> result;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }
};

TEST_F(CommandLine, ConvertsAFolderAndAFileWithTheWindowsNamesAndNeverOverwrites) {
    dir.write("docs/Annual Report.doc");
    dir.write("docs/Annual Report.docx");
    dir.write("docs/notes.txt");
    dir.write("single/memo.v2.doc");
    dir.write("out/memov2.rtf", "the user's own file");
    const std::string output = dir / "out";
    EXPECT_EQ(
        run({"--convert-to", "rtf", "--outdir", output, dir / "docs", dir / "single/memo.v2.doc"}),
        core::kExitConverted);
    EXPECT_THAT(
        lines(),
        ElementsAre(
            dir / "docs/Annual Report.doc" + "\tconverted\t" + output + "/AnnualReport.rtf",
            dir / "docs/Annual Report.docx" + "\tconverted\t" + output + "/AnnualReport1.rtf",
            dir / "single/memo.v2.doc" + "\tconverted\t" + output + "/memov21.rtf"));
    EXPECT_EQ(dir.read("out/memov2.rtf"), "the user's own file");
    EXPECT_THAT(messages.messages, IsEmpty());
}

// Another run takes the chosen name while the document converts, and the names the counter gives
// next are a FIFO and a link that leads nowhere: the file gets the first name that is free, never
// another's, and the line names it.
TEST_F(CommandLine, ANameTakenBeforeTheSaveGivesWayToTheNextFreeNameAndTheLineNamesIt) {
    dir.write("docs/Report.doc");
    dir.mkdir("out");
    const std::string output = dir / "out";
    word.whileSaving = [this](const std::string&) {
        if (!fs::exists(dir / "out/Report.rtf")) {
            dir.write("out/Report.rtf", "another run's file");
            ASSERT_EQ(::mkfifo((dir / "out/Report1.rtf").c_str(), 0600), 0);
            fs::create_symlink(dir / "nowhere", dir / "out/Report12.rtf");
        }
    };
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", output, dir / "docs"}), core::kExitConverted);
    EXPECT_THAT(lines(),
                ElementsAre(dir / "docs/Report.doc" + "\tconverted\t" + output + "/Report123.rtf"));
    EXPECT_THAT(saveTargets(), ElementsAre(output + "/Report.rtf", output + "/Report123.rtf"));
    EXPECT_EQ(dir.read("out/Report.rtf"), "another run's file");
    EXPECT_EQ(dir.read("out/Report123.rtf"), "{\\rtf1 converted}");
    EXPECT_TRUE(fs::is_fifo(dir / "out/Report1.rtf"));
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
}

// The output folder is renamed and a link to another folder put in its place after the first
// document: every name is still chosen, and every file saved, in the folder the run opened.
TEST_F(CommandLine, AnOutputFolderSwappedForALinkMidRunStillGetsEveryOutput) {
    dir.write("docs/a.doc");
    dir.write("docs/b.doc");
    dir.write("decoy/b.rtf", "the decoy's own file");
    const std::string output = dir / "out";
    dir.mkdir("out");
    word.whileOpening = [this] {
        if (!fs::exists(dir / "moved")) {
            fs::rename(dir / "out", dir / "moved");
            fs::create_symlink(dir / "decoy", dir / "out");
        }
    };
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", output, dir / "docs"}), core::kExitConverted);
    EXPECT_THAT(lines(), ElementsAre(dir / "docs/a.doc" + "\tconverted\t" + output + "/a.rtf",
                                     dir / "docs/b.doc" + "\tconverted\t" + output + "/b.rtf"));
    EXPECT_EQ(dir.read("moved/a.rtf"), "{\\rtf1 converted}");
    EXPECT_EQ(dir.read("moved/b.rtf"), "{\\rtf1 converted}");
    EXPECT_EQ(dir.read("decoy/b.rtf"), "the decoy's own file");
    EXPECT_FALSE(fs::exists(dir / "decoy/a.rtf"));
}

TEST_F(CommandLine, ReportsEachFailureOnItsLineAndGoesOn) {
    dir.write("docs/a.doc");
    dir.write("docs/b.doc");
    word.unreadable.insert(dir / "docs/a.doc");
    EXPECT_EQ(run({"--convert-to=rtf", "--outdir=" + (dir / "out"), dir / "docs"}),
              core::kExitFailed);
    EXPECT_THAT(lines(),
                ElementsAre(dir / "docs/a.doc" + "\tfailed\tThe document cannot be opened.",
                            dir / "docs/b.doc" + "\tconverted\t" + dir / "out/b.rtf"));
    // The output folder was made (one level).
    EXPECT_TRUE(fs::is_directory(dir / "out"));
    EXPECT_THAT(messages.messages, IsEmpty());
}

TEST_F(CommandLine, WritesTabsNewlinesAndBackslashesInNamesSoThatEachLineStaysOneRecord) {
    dir.write("docs/tab\there.doc");
    dir.write("docs/line\nbreak.doc");
    dir.write("docs/back\\slash.doc");
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "docs"}),
              core::kExitConverted);
    ASSERT_EQ(lines().size(), 3u);
    EXPECT_THAT(out.str(), HasSubstr("docs/back\\\\slash.doc\tconverted\t"));
    EXPECT_THAT(out.str(), HasSubstr("docs/line\\nbreak.doc\tconverted\t"));
    EXPECT_THAT(out.str(), HasSubstr("docs/tab\\there.doc\tconverted\t"));
    EXPECT_EQ(core::EscapeField("a\tb\nc\\d\re"), "a\\tb\\nc\\\\d\\re");
}

TEST_F(CommandLine, APathThatNamesNothingToConvertFailsTheRunButNotTheOthers) {
    dir.write("empty/readme.txt");
    dir.write("docs/a.doc");
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "missing.doc",
                   dir / "empty", dir / "docs"}),
              core::kExitFailed);
    EXPECT_THAT(err.str(), HasSubstr("missing.doc: no such file or folder"));
    EXPECT_THAT(err.str(), HasSubstr("empty: no Word documents to convert"));
    EXPECT_THAT(lines(), ElementsAre(dir / "docs/a.doc" + "\tconverted\t" + dir / "out/a.rtf"));
}

TEST_F(CommandLine, UsageErrorsConvertNothing) {
    dir.write("docs/a.doc");
    dir.write("afile", "x");
    const std::string docs = dir / "docs";
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--convert-to", "pdf", docs},
             {"--convert-to", "rtf"},
             {"--convert-to"},
             {"--outdir", dir / "out", "--convert-to", "rtf", "--bogus", docs},
             {"--outdir", dir / "out", docs},
             {"--convert-to", "rtf", "--outdir", dir / "no/such/parent", docs},
             {"--convert-to", "rtf", "--outdir", dir / "afile", docs}}) {
        EXPECT_EQ(run(arguments), core::kExitUsage) << testing::PrintToString(arguments);
        EXPECT_THAT(err.str(), HasSubstr("pavendel: ")) << testing::PrintToString(arguments);
        EXPECT_TRUE(out.str().empty());
    }
    EXPECT_THAT(word.events, IsEmpty());
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_FALSE(fs::exists(dir / "no"));
}

TEST_F(CommandLine, HelpAndVersionAnswerAndConvertNothing) {
    EXPECT_EQ(run({"--help"}), core::kExitConverted);
    EXPECT_THAT(out.str(), HasSubstr("--convert-to rtf"));
    EXPECT_THAT(out.str(), HasSubstr("Exit status"));
    EXPECT_EQ(run({"--version"}), core::kExitConverted);
    EXPECT_THAT(out.str(), testing::StartsWith("pavendel "));
    EXPECT_THAT(word.events, IsEmpty());
}

TEST_F(CommandLine, AStopSignalEndsTheRunAfterTheCurrentDocument) {
    for (const char* name : {"a.doc", "b.doc", "c.doc"}) {
        dir.write(std::string("docs/") + name);
    }
    stopAfter = 2;
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "docs"}), 128 + SIGINT);
    EXPECT_EQ(lines().size(), 2u);
    EXPECT_TRUE(fs::exists(dir / "out/b.rtf"));
    EXPECT_FALSE(fs::exists(dir / "out/c.rtf"));
    stopSignal = SIGTERM;
    stopAfter = 0;
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "docs"}), 128 + SIGTERM);
}

TEST(CommandLineRequest, OptionsAskForTheCommandLineAndPathsAloneForTheWindow) {
    EXPECT_TRUE(core::WantsCommandLine({"--convert-to", "rtf", "a.doc"}));
    EXPECT_TRUE(core::WantsCommandLine({"a.doc", "--help"}));
    EXPECT_TRUE(core::WantsCommandLine({"--version"}));
    EXPECT_TRUE(core::WantsCommandLine({"--bogus"}));
    EXPECT_FALSE(core::WantsCommandLine({}));
    EXPECT_FALSE(core::WantsCommandLine({"a.doc", "folder"}));
    EXPECT_FALSE(core::WantsCommandLine({"--", "--convert-to.doc"}));
}

}  // namespace
