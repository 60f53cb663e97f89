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

    // On a terminal: the progress line on err.
    bool progress = false;

    int run(const std::vector<std::string>& arguments) { return run(arguments, out); }
    int run(const std::vector<std::string>& arguments, std::ostream& output) {
        out.str({});
        err.str({});
        const core::CommandLineIo io{output, err, progress, [this] {
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

// Every control character of a name is escaped, on standard output and standard error alike: a
// terminal shown the raw name would act on it (clear the line, retitle the window, move the
// cursor). Only bytes that make up such a character are touched.
TEST(EscapeField, WritesControlCharactersSoThatATerminalShowsThemAsText) {
    const struct {
        const char* name;
        std::string field;
        std::string escaped;
    } cases[] = {
        {"a line cleared", "\x1b[2Kquiet.doc", "\\x1b[2Kquiet.doc"},
        {"a window retitled", "\x1b]0;root\x07.doc", "\\x1b]0;root\\x07.doc"},
        {"a cursor moved back", "a\bb\x7f.doc", "a\\x08b\\x7f.doc"},
        {"C1 as a character",
         "\xc2\x9b"
         "2J.doc",
         "\\xc2\\x9b"
         "2J.doc"},
        {"C1 as a byte of a Latin-1 name",
         "\x9b"
         "2J caf\xe9.doc",
         "\\x9b"
         "2J caf\xe9.doc"},
        {"letters stay",
         "Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac\xc2\xa0.doc",
         "Gr\xc3\xbc\xc3\x9f"
         "e \xe2\x82\xac\xc2\xa0.doc"},
        {"an escape's text is told apart", "\\x1b.doc", "\\\\x1b.doc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(core::EscapeField(c.field), c.escaped) << c.name;
    }
}

TEST_F(CommandLine, NamesReachNeitherOutputNorProgressLineWithTheirControlCharacters) {
    dir.write("docs/\x1b]0;owned\x07.doc");
    progress = true;
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "docs",
                   dir / "gone\x1b[8m.doc"}),
              core::kExitFailed);
    EXPECT_THAT(out.str(), HasSubstr("docs/\\x1b]0;owned\\x07.doc\tconverted\t"));
    EXPECT_THAT(err.str(), HasSubstr("] \\x1b]0;owned\\x07.doc"));
    EXPECT_THAT(err.str(), HasSubstr("gone\\x1b[8m.doc: no such file or folder"));
    // The progress line's own "clear the line" is the only sequence left on the terminal.
    std::string rest = err.str();
    for (std::size_t at; (at = rest.find("\r\x1b[K")) != std::string::npos;) {
        rest.erase(at, 4);
    }
    EXPECT_EQ(rest.find('\x1b'), std::string::npos);
    EXPECT_EQ(rest.find('\x07'), std::string::npos);
    EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
}

// Standard output that takes nothing, as a full disk's file does.
class FullOutput : public std::streambuf {
 protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

TEST_F(CommandLine, OutputThatCannotBeWrittenFailsTheRunAndStopsIt) {
    for (const char* name : {"a.doc", "b.doc", "c.doc"}) {
        dir.write(std::string("docs/") + name);
    }
    FullOutput full;
    std::ostream output(&full);
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "docs"}, output),
              core::kExitFailed);
    EXPECT_THAT(err.str(), HasSubstr("cannot write to standard output"));
    EXPECT_THAT(err.str(), HasSubstr("stopped after 1 of 3 documents"));
    EXPECT_TRUE(fs::exists(dir / "out/a.rtf"));
    EXPECT_FALSE(fs::exists(dir / "out/b.rtf"));

    for (const char* option : {"--help", "--version"}) {
        std::ostream again(&full);
        EXPECT_EQ(run({option}, again), core::kExitFailed) << option;
    }
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
