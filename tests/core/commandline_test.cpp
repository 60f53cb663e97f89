// SPDX-License-Identifier: MIT
// The command line with an in-process office: what it converts, the names and lines it gives,
// its exit statuses, and a run stopped by a signal.
#include "core/commandline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
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

    // On a terminal: the progress line on err, within that many columns.
    bool progress = false;
    int columns = 0;
    // The run's clock, which tests move on.
    std::chrono::steady_clock::time_point clock;

    int run(const std::vector<std::string>& arguments) { return run(arguments, out); }
    int run(const std::vector<std::string>& arguments, std::ostream& output) {
        out.str({});
        err.str({});
        const core::CommandLineIo io{output,
                                     err,
                                     progress,
                                     [this] {
                                         int opened = 0;
                                         for (const std::string& event : word.events) {
                                             opened += event.rfind("Open ", 0) == 0 ? 1 : 0;
                                         }
                                         return stopAfter >= 0 && opened >= stopAfter ? stopSignal
                                                                                      : 0;
                                     },
                                     columns,
                                     [this] { return clock; }};
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
    EXPECT_THAT(err.str(), HasSubstr("elapsed: \\x1b]0;owned\\x07.doc"));
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
             {"--recursive", "--skip-converted", docs},
             {"--convert-to", "rtf", "--outdir", dir / "no/such/parent", docs},
             {"--convert-to", "rtf", "--outdir", dir / "afile", docs}}) {
        EXPECT_EQ(run(arguments), core::kExitUsage) << testing::PrintToString(arguments);
        EXPECT_THAT(err.str(), HasSubstr("pavendel: ")) << testing::PrintToString(arguments);
        if (std::find(arguments.begin(), arguments.end(), "--convert-to") == arguments.end()) {
            EXPECT_THAT(err.str(), HasSubstr(arguments[0] + " needs --convert-to rtf"));
        }
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

// Folder trees (--recursive) and resumed runs (--skip-converted): each case is a series of runs
// over one archive, with what the user does between them; after the last, every RTF file in the
// output tree is one that a line named, so nothing was converted twice or overwritten.
TEST_F(CommandLine, TreesAndResumedRunsConvertEveryDocumentOnce) {
    struct Run {
        std::function<void()> before;  // what changes before the run
        std::vector<std::string> options;
        int stopAfter;  // documents opened before Ctrl+C; -1 for none
        int status;
        std::vector<std::string> lines;  // "SOURCE STATUS OUTPUT", paths below the test folder
        bool respelled = false;          // the paths given as "./PATH/"
    };
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::vector<std::string> paths;
        std::string outdir;
        std::vector<Run> runs;
        std::vector<std::string> absent;  // what the output tree must not hold
    };
    const std::vector<std::string> recursive = {"--recursive"};
    const std::vector<std::string> resume = {"--recursive", "--skip-converted"};
    const auto archive = [this] {
        dir.write("arch/Report.doc");
        dir.write("arch/Report.docx");
        dir.write("arch/notes.txt");
        dir.write("arch/2019/Report.doc");
        dir.write("arch/2019/empty/readme.txt");
        dir.write("arch/2019/Letters/To Bob.doc");
        dir.write("arch/.hidden/secret.doc");
        dir.write("arch/2020/A.B.doc");
        dir.write("arch/2020/AB.doc");
        fs::create_directory_symlink("../..", dir / "arch/2020/loop");
        dir.write("arch/caf\xe9/x.doc");  // a Latin-1 name, not UTF-8
    };
    const std::vector<std::string> rest = {
        "arch/2019/Report.doc converted out/2019/Report.rtf",
        "arch/2019/Letters/To Bob.doc converted out/2019/Letters/ToBob.rtf",
        "arch/2020/A.B.doc converted out/2020/AB.rtf",
        "arch/2020/AB.doc converted out/2020/AB1.rtf",
        "arch/caf\xe9/x.doc converted out/caf\xe9/x.rtf"};
    const auto with = [](std::vector<std::string> first, const std::vector<std::string>& then) {
        first.insert(first.end(), then.begin(), then.end());
        return first;
    };
    const auto skipped = [](const std::vector<std::string>& lines) {
        std::vector<std::string> result;
        for (std::string line : lines) {
            line.replace(line.find(" converted "), 11, " skipped ");
            result.push_back(line);
        }
        return result;
    };
    const std::vector<Case> cases = {
        {"a tree stopped between Report.doc and Report.docx, then resumed",
         archive,
         {"arch"},
         "out",
         {{{}, recursive, 1, 128 + SIGINT, {"arch/Report.doc converted out/Report.rtf"}},
          {{},
           resume,
           -1,
           core::kExitConverted,
           with({"arch/Report.doc skipped out/Report.rtf",
                 "arch/Report.docx converted out/Report1.rtf"},
                rest)},
          {{},
           resume,
           -1,
           core::kExitConverted,
           skipped(with({"arch/Report.doc converted out/Report.rtf",
                         "arch/Report.docx converted out/Report1.rtf"},
                        rest)),
           true}},
         {"out/2019/empty", "out/.hidden", "out/2020/loop", "out/arch"}},
        {"a source changed, an output removed, and a run without --skip-converted",
         [this] {
             dir.write("arch/a.doc");
             dir.write("arch/b.doc");
             dir.write("arch/c.doc");
         },
         {"arch"},
         "out",
         {{{},
           {},
           -1,
           core::kExitConverted,
           {"arch/a.doc converted out/a.rtf", "arch/b.doc converted out/b.rtf",
            "arch/c.doc converted out/c.rtf"}},
          {[this] {
               dir.write("arch/a.doc", "edited, and longer than before");
               fs::remove(dir / "out/b.rtf");
           },
           {"--skip-converted"},
           -1,
           core::kExitConverted,
           {"arch/a.doc converted out/a1.rtf", "arch/b.doc converted out/b.rtf",
            "arch/c.doc skipped out/c.rtf"}},
          {{},
           {},
           -1,
           core::kExitConverted,
           {"arch/a.doc converted out/a12.rtf", "arch/b.doc converted out/b1.rtf",
            "arch/c.doc converted out/c1.rtf"}}},
         {}},
        {"two paths whose subfolders share names share those output folders",
         [this] {
             dir.write("one/x.doc");
             dir.write("one/sub/x.doc");
             dir.write("two/sub/x.docx");
         },
         {"one", "two"},
         "out",
         {{{},
           recursive,
           -1,
           core::kExitConverted,
           {"one/x.doc converted out/x.rtf", "one/sub/x.doc converted out/sub/x.rtf",
            "two/sub/x.docx converted out/sub/x1.rtf"}},
          {{},
           resume,
           -1,
           core::kExitConverted,
           {"one/x.doc skipped out/x.rtf", "one/sub/x.doc skipped out/sub/x.rtf",
            "two/sub/x.docx skipped out/sub/x1.rtf"}}},
         {}},
        {"a record cut short by a run that was killed spoils only its own line",
         [this] { dir.write("arch/a.doc"); },
         {"arch"},
         "out",
         {{{}, resume, -1, core::kExitConverted, {"arch/a.doc converted out/a.rtf"}},
          {[this] {
               std::ofstream(dir / "out/.pavendel-converted", std::ios::app) << "/cut\t12";
               dir.write("arch/b.doc");
           },
           resume,
           -1,
           core::kExitConverted,
           {"arch/a.doc skipped out/a.rtf", "arch/b.doc converted out/b.rtf"}},
          {{},
           resume,
           -1,
           core::kExitConverted,
           {"arch/a.doc skipped out/a.rtf", "arch/b.doc skipped out/b.rtf"}}},
         {}},
        {"a link planted in the output tree is refused, not followed",
         [this] {
             dir.write("arch/2019/a.doc");
             dir.write("arch/2020/b.doc");
             dir.mkdir("out");
             dir.mkdir("elsewhere");
             fs::create_directory_symlink(dir / "elsewhere", dir / "out/2019");
         },
         {"arch"},
         "out",
         {{{},
           recursive,
           -1,
           core::kExitFailed,
           {"arch/2019/a.doc failed The output folder out/2019 cannot be used: Not a directory.",
            "arch/2020/b.doc converted out/2020/b.rtf"}}},
         {"elsewhere/a.rtf"}},
        {"the output folder inside the tree is left out of it",
         [this] {
             dir.write("arch/a.doc");
             dir.write("arch/out/old.doc");
         },
         {"arch"},
         "arch/out",
         {{{}, recursive, -1, core::kExitConverted, {"arch/a.doc converted arch/out/a.rtf"}}},
         {"arch/out/out"}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir.path());
        fs::create_directory(dir.path());
        c.setup();
        const std::string output = dir / c.outdir;
        // Each line with the test folder's path taken off, and tabs as spaces.
        const auto relative = [this](std::string line) {
            for (std::size_t at; (at = line.find(dir.path() + "/")) != std::string::npos;) {
                line.erase(at, dir.path().size() + 1);
            }
            if (line.rfind("./", 0) == 0) {
                line.erase(0, 2);
            }
            std::replace(line.begin(), line.end(), '\t', ' ');
            return line;
        };
        std::set<std::string> named;
        for (const Run& r : c.runs) {
            if (r.before) {
                r.before();
            }
            std::vector<std::string> arguments = {"--convert-to", "rtf", "--outdir", output};
            arguments.insert(arguments.end(), r.options.begin(), r.options.end());
            for (const std::string& path : c.paths) {
                arguments.push_back(r.respelled ? dir / ("./" + path + "/") : dir / path);
            }
            word.events.clear();
            stopAfter = r.stopAfter;
            EXPECT_EQ(run(arguments), r.status) << err.str();
            std::vector<std::string> got;
            for (const std::string& line : lines()) {
                got.push_back(relative(line));
                if (line.find("\tconverted\t") != std::string::npos) {
                    named.insert(line.substr(line.rfind('\t') + 1));
                }
            }
            EXPECT_EQ(got, r.lines);
        }
        std::set<std::string> made;
        for (const auto& entry : fs::recursive_directory_iterator(output)) {
            if (entry.path().extension() == ".rtf") {
                made.insert(entry.path().string());
            }
        }
        EXPECT_EQ(made, named);
        for (const std::string& path : c.absent) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(dir / path))) << path;
        }
    }
}

// On a terminal the progress line tells the document's place, the time since the run began and,
// from the pace so far, the time left; it keeps within the terminal's width, and --quiet leaves
// only the result lines.
TEST_F(CommandLine, TheProgressLineEstimatesTheTimeLeftAndQuietLeavesOnlyTheResults) {
    dir.write("docs/a.doc");
    dir.write("docs/b.doc");
    dir.write("docs/c.doc");
    dir.write("docs/d with a name longer than the terminal is wide.doc");
    progress = true;
    columns = 60;
    word.whileOpening = [this] { clock += std::chrono::seconds(20); };
    EXPECT_EQ(run({"--convert-to", "rtf", "--outdir", dir / "out", dir / "docs"}),
              core::kExitConverted);
    std::vector<std::string> shown;
    std::string text = err.str();
    for (std::size_t at; (at = text.find("\r\x1b[K")) != std::string::npos;) {
        shown.push_back(text.substr(0, at));
        text.erase(0, at + 4);
    }
    shown.erase(std::remove(shown.begin(), shown.end(), ""), shown.end());
    EXPECT_THAT(shown, ElementsAre("[1/4] 0:00 elapsed: a.doc",
                                   "[2/4] 0:20 elapsed, about 1:00 left: b.doc",
                                   "[3/4] 0:40 elapsed, about 0:40 left: c.doc",
                                   "[4/4] 1:00 elapsed, about 0:20 left: d with a name longer t"));
    EXPECT_EQ(lines().size(), 4u);

    EXPECT_EQ(run({"--convert-to", "rtf", "--quiet", "--outdir", dir / "out", dir / "docs"}),
              core::kExitConverted);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(lines().size(), 4u);
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
