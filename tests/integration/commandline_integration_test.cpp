// SPDX-License-Identifier: MIT
// The program's command line as users run it: the real pavendel executable with no display, the
// real office server and engine, the shared corpus.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "support/clientprogram.h"
#include "support/processes.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

extern char** environ;

using testing::HasSubstr;

namespace {

std::string corpusFolder() {
    const char* chosen = std::getenv("PAVENDEL_CORPUS");
    return chosen && *chosen ? chosen : PAVENDEL_DEFAULT_CORPUS;
}

// Which corpus documents LibreOffice's own conversion converts, by name.
std::map<std::string, bool> expectations() {
    std::map<std::string, bool> converts;
    std::ifstream in(fs::path(corpusFolder()) / "EXPECTED.tsv");
    for (std::string line; std::getline(in, line);) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            converts[line.substr(0, tab)] = line.substr(tab + 1) == "converts";
        }
    }
    return converts;
}

// The program started with the arguments, without any display, its standard output on a pipe
// and its standard error in a file; every process it starts carries the mark.
class Program {
 public:
    Program(const std::vector<std::string>& arguments, const std::string& errorFile,
            const std::string& mark, const std::vector<std::string>& extraEnvironment = {}) {
        std::vector<std::string> environment{mark};
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable(*entry);
            const std::string name = variable.substr(0, variable.find('='));
            if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM" &&
                name != "PAVENDEL_CONVERSIONS") {
                environment.push_back(variable);
            }
        }
        std::vector<std::string> all{PAVENDEL_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& variable : environment) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        int output[2];
        if (::pipe2(output, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        m_output = output[0];
    }
    ~Program() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_output);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The next line of standard output, or nothing when none comes (the output ended).
    std::optional<std::string> line() {
        for (;;) {
            if (const std::size_t end = m_buffer.find('\n'); end != std::string::npos) {
                std::string text = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return text;
            }
            char chunk[4096];
            const ssize_t n = ::read(m_output, chunk, sizeof chunk);
            if (n <= 0) {
                return std::nullopt;
            }
            m_buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }
    std::vector<std::string> remainingLines() {
        std::vector<std::string> lines;
        while (std::optional<std::string> next = line()) {
            lines.push_back(*next);
        }
        return lines;
    }
    void signal(int number) { ::kill(m_pid, number); }
    // The exit status (or 128 + the signal that ended it).
    int status() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

 private:
    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_buffer;
};

struct Line {
    std::string source;
    std::string outcome;
    std::string detail;
};

// A field as it was before the program escaped it.
std::string unescape(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char next = field[++i];
        text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

Line split(const std::string& text) {
    Line line;
    std::istringstream in(text);
    std::getline(in, line.source, '\t');
    std::getline(in, line.outcome, '\t');
    std::getline(in, line.detail);
    line.source = unescape(line.source);
    line.detail = unescape(line.detail);
    return line;
}

std::string read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The RTF files in the folder (beside them lies the record of what was converted).
std::size_t rtfFilesIn(const std::string& folder) {
    return static_cast<std::size_t>(std::count_if(
        fs::directory_iterator(folder), fs::directory_iterator(),
        [](const fs::directory_entry& entry) { return entry.path().extension() == ".rtf"; }));
}

class CommandLineRun : public testing::Test {
 protected:
    void TearDown() override {
        EXPECT_TRUE(testsupport::allEndWithin(m_mark, std::chrono::seconds(10)))
            << "a process of the run outlived it";
        // Only the RTF files and the record of what was converted: no temporary file of a save
        // is left in the output folder.
        if (fs::exists(m_output)) {
            for (const auto& entry : fs::directory_iterator(m_output)) {
                if (entry.path().filename() != ".pavendel-converted") {
                    EXPECT_EQ(entry.path().extension(), ".rtf") << entry.path();
                }
            }
        }
    }

    std::string errors() const { return read(m_folder / "stderr"); }

    testsupport::TempFolder m_folder;
    const std::string m_output = m_folder / "out";
    const std::string m_mark = "PAVENDEL_TEST_MARK=command-line-" + std::to_string(::getpid()) +
                               "-" + testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(CommandLineRun, ConvertsTheCorpusWithoutADisplayAndReportsEveryDocument) {
    const std::string source = m_folder.mkdir("corpus");
    const auto converts = expectations();
    for (const auto& [name, converted] : converts) {
        fs::copy_file(fs::path(corpusFolder()) / name, fs::path(source) / name);
    }
    Program program({"--convert-to", "rtf", "--outdir", m_output, source}, m_folder / "stderr",
                    m_mark);
    const std::vector<std::string> lines = program.remainingLines();
    // Some corpus documents fail (password, damage): the run says so in its status.
    EXPECT_EQ(program.status(), 1) << errors();

    // One line per document the folder lists (the "*.doc" pattern: .doc, .docx, .docm, not
    // .dotx), in name order, each converted exactly when LibreOffice converts it.
    std::size_t listed = 0;
    for (const auto& [name, converted] : converts) {
        listed += fs::path(name).extension().string().rfind(".doc", 0) == 0 ? 1 : 0;
    }
    ASSERT_EQ(lines.size(), listed) << errors();
    std::size_t rtfs = 0;
    for (const std::string& text : lines) {
        const Line line = split(text);
        const std::string name = fs::path(line.source).filename().string();
        ASSERT_EQ(converts.count(name), 1u) << text;
        EXPECT_EQ(line.outcome, converts.at(name) ? "converted" : "failed") << text;
        if (line.outcome == "converted") {
            ++rtfs;
            EXPECT_EQ(read(line.detail).rfind("{\\rtf1", 0), 0u) << text;
        } else {
            EXPECT_FALSE(line.detail.empty()) << text;
        }
    }
    EXPECT_EQ(rtfFilesIn(m_output), rtfs);
    // Standard error is no terminal here: no progress line, only what is worth saying.
    EXPECT_THAT(errors(), testing::Not(HasSubstr("\r")));
}

// The RTF with every font and colour named by its value wherever a number stands for one, and
// the font and colour tables themselves as sorted lists. The engine numbers fonts and colours in
// the order its layout meets them, which depends on its timing: the same document gives
// differently numbered tables on a busy machine, one conversion at a time as well.
std::string withTablesByValue(const std::string& rtf) {
    const auto groupEnd = [&rtf](std::size_t open) {
        int depth = 0;
        for (std::size_t at = open; at < rtf.size(); ++at) {
            if (rtf[at] == '\\') {
                ++at;
            } else if (rtf[at] == '{') {
                ++depth;
            } else if (rtf[at] == '}' && --depth == 0) {
                return at;
            }
        }
        return rtf.size();
    };
    const auto sorted = [](const std::map<std::string, std::string>& table) {
        std::vector<std::string> values;
        for (const auto& [number, value] : table) {
            values.push_back(value);
        }
        std::sort(values.begin(), values.end());
        std::string list;
        for (const std::string& value : values) {
            list += value + "|";
        }
        return list;
    };
    // Fonts: "{\fonttbl{\f0 ...;}{\f1 ...;}}", numbered by their \fN.
    std::map<std::string, std::string> fonts;
    const std::size_t fontTable = rtf.find("{\\fonttbl");
    const std::size_t fontTableEnd = fontTable == std::string::npos ? 0 : groupEnd(fontTable);
    for (std::size_t at = rtf.find("{\\f", fontTable + 1);
         fontTable != std::string::npos && at < fontTableEnd; at = rtf.find("{\\f", at + 1)) {
        std::size_t digits = at + 3;
        while (digits < fontTableEnd && std::isdigit(static_cast<unsigned char>(rtf[digits]))) {
            ++digits;
        }
        const std::size_t end = groupEnd(at);
        fonts[rtf.substr(at + 3, digits - at - 3)] = rtf.substr(digits, end - digits);
        at = end;
    }
    // Colours: "{\colortbl;\red0\green0\blue0;...}", numbered by their place from 0.
    std::map<std::string, std::string> colours;
    const std::size_t colourTable = rtf.find("{\\colortbl");
    const std::size_t colourTableEnd = colourTable == std::string::npos ? 0 : groupEnd(colourTable);
    if (colourTable != std::string::npos) {
        std::istringstream entries(rtf.substr(colourTable + 10, colourTableEnd - colourTable - 10));
        std::string entry;
        for (int number = 0; std::getline(entries, entry, ';'); ++number) {
            colours[std::to_string(number)] = entry;
        }
    }
    static const std::set<std::string> fontWords{"deff",      "af",        "f",      "stshfdbch",
                                                 "stshfloch", "stshfhich", "stshfbi"};
    static const std::set<std::string> colourWords{"cf",      "cb",         "chcbpat",   "chcfpat",
                                                   "cbpat",   "cfpat",      "clcbpat",   "clcfpat",
                                                   "brdrcf",  "highlight",  "ulc",       "trcbpat",
                                                   "trcfpat", "clcbpatraw", "clcfpatraw"};
    std::string result;
    for (std::size_t at = 0; at < rtf.size();) {
        if (at == fontTable) {
            result += "{fonts:" + sorted(fonts) + "}";
            at = fontTableEnd + 1;
            continue;
        }
        if (at == colourTable) {
            result += "{colours:" + sorted(colours) + "}";
            at = colourTableEnd + 1;
            continue;
        }
        if (rtf[at] != '\\' || at + 1 >= rtf.size() ||
            !std::isalpha(static_cast<unsigned char>(rtf[at + 1]))) {
            // Plain text, or a control symbol such as "\\" or "\{" kept whole.
            result += rtf.substr(at, rtf[at] == '\\' ? 2 : 1);
            at += rtf[at] == '\\' ? 2 : 1;
            continue;
        }
        std::size_t letters = at + 1;
        while (letters < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[letters]))) {
            ++letters;
        }
        std::size_t digits = letters;
        while (digits < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[digits]))) {
            ++digits;
        }
        const std::string word = rtf.substr(at + 1, letters - at - 1);
        const std::string number = rtf.substr(letters, digits - letters);
        const std::map<std::string, std::string>* table = number.empty()                 ? nullptr
                                                          : fontWords.count(word) != 0   ? &fonts
                                                          : colourWords.count(word) != 0 ? &colours
                                                                                         : nullptr;
        if (table != nullptr) {
            const auto value = table->find(number);
            result += "\\" + word + "<" + (value != table->end() ? value->second : "?") + ">";
        } else {
            result += rtf.substr(at, digits - at);
        }
        at = digits;
    }
    return result;
}

// Runs of the whole corpus under different settings of the office engine, compared: what each
// run reports, with its output folder taken out, and the files it wrote.
class CorpusRuns : public CommandLineRun {
 protected:
    struct Run {
        std::vector<std::string> lines;
        std::map<std::string, std::string> files;  // by name, tables by value
        std::string errors;
    };

    void SetUp() override {
        for (const auto& [name, converted] : expectations()) {
            fs::copy_file(fs::path(corpusFolder()) / name, fs::path(m_source) / name);
            m_converts += converted ? 1 : 0;
        }
    }

    Run run(const std::string& label, const std::vector<std::string>& environment) {
        const std::string output = m_folder.mkdir("out-" + label);
        std::vector<std::string> arguments{"--convert-to", "rtf", "--outdir", output};
        for (const auto& entry : fs::directory_iterator(m_source)) {
            arguments.push_back(entry.path().string());
        }
        std::sort(arguments.begin() + 4, arguments.end());
        Run result;
        Program program(arguments, m_folder / ("stderr-" + label), m_mark, environment);
        result.lines = program.remainingLines();
        EXPECT_EQ(program.status(), 1);
        result.errors = read(m_folder / ("stderr-" + label));
        for (std::string& text : result.lines) {
            if (const std::size_t at = text.find(output); at != std::string::npos) {
                text.replace(at, output.size(), "OUT");
            }
        }
        for (const auto& entry : fs::directory_iterator(output)) {
            if (entry.path().extension() != ".rtf") {
                continue;
            }
            result.files[entry.path().filename().string()] =
                withTablesByValue(read(entry.path().string()));
        }
        return result;
    }

    static void expectSame(const Run& run, const Run& reference) {
        EXPECT_EQ(run.lines, reference.lines);
        // Compared one by one, so that a difference names its file and not the whole corpus.
        ASSERT_EQ(run.files.size(), reference.files.size());
        for (const auto& [name, contents] : reference.files) {
            EXPECT_TRUE(run.files.count(name) != 0 && run.files.at(name) == contents)
                << name << " differs";
        }
    }

    const std::string m_source = m_folder.mkdir("corpus");
    std::size_t m_converts = 0;
};

TEST_F(CorpusRuns, TwoAtATimeWriteTheSameFilesAsOneAtATime) {
    const Run one = run("1", {"PAVENDEL_CONVERSIONS=1"});
    const Run two = run("2", {"PAVENDEL_CONVERSIONS=2"});
    expectSame(two, one);
    EXPECT_EQ(one.files.size(), m_converts);
}

// The launcher converts the engine's own blank document before it forks any instance, so that
// no instance pays for the engine's first document. Nothing of that may reach a user's document,
// and it must not keep the launcher from forking its instances.
TEST_F(CorpusRuns, TheEnginesWarmUpChangesNoDocument) {
    const Run cold = run("cold", {"PAVENDEL_OFFICE_WARMUP=0"});
    const Run warm = run("warm", {});
    expectSame(warm, cold);
    EXPECT_EQ(warm.files.size(), m_converts);
    EXPECT_THAT(warm.errors, testing::Not(HasSubstr("starts no server by forking")));
}

TEST_F(CommandLineRun, ConvertsDocumentsWithAwkwardNames) {
    const std::string source = m_folder.mkdir("awkward");
    const fs::path simple = fs::path(corpusFolder()) / "simple.doc";
    const std::vector<std::string> names{"with space.doc", "-leading dash.doc",
                                         "Grüße.doc",      "a?b*.doc",
                                         "tab\there.doc",  std::string("caf\xE9.doc")};
    for (const std::string& name : names) {
        fs::copy_file(simple, fs::path(source) / name);
    }
    // A file named on its own, by a relative path from the folder it is in.
    Program program({"--convert-to", "rtf", "--outdir", m_output, "--", source,
                     fs::path(source) / "-leading dash.doc"},
                    m_folder / "stderr", m_mark);
    const std::vector<std::string> lines = program.remainingLines();
    EXPECT_EQ(program.status(), 0) << errors();
    ASSERT_EQ(lines.size(), names.size() + 1) << errors();
    for (const std::string& text : lines) {
        const Line line = split(text);
        EXPECT_EQ(line.outcome, "converted") << text;
        EXPECT_THAT(read(line.detail), HasSubstr("This is a simple file")) << text;
    }
    // The tab in a name is written escaped, so that the line keeps its three fields.
    EXPECT_THAT(lines, testing::Contains(HasSubstr("/tab\\there.doc\tconverted\t")));
}

// An archive split between two runs at once on this machine, as the README shows: xargs gives
// each top-level folder (with its subfolders) to a run of its own, and the top level's own
// documents to one more. Every document is converted once into the mirrored tree, none is
// written over, the combined exit status says whether every run succeeded, and the same command
// given again converts only what is new or changed.
TEST_F(CommandLineRun, TwoShardsAtOnceConvertAnArchiveOnceAndStartedAgainOnlyTheRest) {
    const fs::path archive = m_folder.mkdir("archive");
    const std::map<std::string, std::string> copies{
        {"Report.doc", "simple.doc"},           {"Report.docx", "ThreeColHead.docx"},
        {"2019/one.doc", "simple-table.doc"},   {"2019/Letters/two.doc", "simple-list.doc"},
        {"2020/one.doc", "test2.doc"},          {"2020/three.docx", "delins.docx"},
        {"2020/.hidden/four.doc", "simple.doc"}};
    for (const auto& [name, corpus] : copies) {
        fs::create_directories((archive / name).parent_path());
        fs::copy_file(fs::path(corpusFolder()) / corpus, archive / name);
    }
    fs::create_directory_symlink("..", archive / "2020/up");
    const std::string tree = m_folder.mkdir("rtf");
    const std::string script =
        "cd '" + archive.string() +
        "' && status=0 && "
        "{ find . -mindepth 1 -maxdepth 1 -type d ! -name '.*' -printf '%P\\0' | "
        "xargs -0 -P 2 -I DIR '" PAVENDEL_PROGRAM
        "' --convert-to rtf --recursive "
        "--skip-converted --quiet --outdir '" +
        tree +
        "/DIR' DIR || status=$?; } && "
        "{ '" PAVENDEL_PROGRAM "' --convert-to rtf --skip-converted --quiet --outdir '" +
        tree + "' . || status=$?; } ; exit $status";
    const auto runShards = [&](const std::string& label, std::vector<Line>& lines) {
        const std::string command = "env " + m_mark + " sh -c \"$PAVENDEL_SHARDS\" > '" +
                                    (m_folder / ("out-" + label)) + "' 2> '" +
                                    (m_folder / ("err-" + label)) + "'";
        ::setenv("PAVENDEL_SHARDS", script.c_str(), 1);
        const int status = std::system(command.c_str());
        std::istringstream in(read(m_folder / ("out-" + label)));
        for (std::string text; std::getline(in, text);) {
            lines.push_back(split(text));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const auto rtfFilesInTree = [&tree] {
        std::set<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(tree)) {
            if (entry.path().extension() == ".rtf") {
                files.insert(fs::relative(entry.path(), tree).string());
            }
        }
        return files;
    };

    std::vector<Line> first;
    ASSERT_EQ(runShards("first", first), 0) << read(m_folder / "err-first");
    std::map<std::string, std::string> madeBy;  // output, relative to the tree: its source
    for (const Line& line : first) {
        EXPECT_EQ(line.outcome, "converted") << line.source << " " << line.detail;
        EXPECT_TRUE(madeBy
                        .emplace(fs::relative(line.detail, tree).lexically_normal().string(),
                                 fs::path(line.source).lexically_normal().string())
                        .second)
            << "written twice: " << line.detail;
        EXPECT_EQ(read(line.detail).rfind("{\\rtf1", 0), 0u) << line.detail;
    }
    EXPECT_EQ(madeBy,
              (std::map<std::string, std::string>{{"Report.rtf", "Report.doc"},
                                                  {"Report1.rtf", "Report.docx"},
                                                  {"2019/one.rtf", "2019/one.doc"},
                                                  {"2019/Letters/two.rtf", "2019/Letters/two.doc"},
                                                  {"2020/one.rtf", "2020/one.doc"},
                                                  {"2020/three.rtf", "2020/three.docx"}}));
    EXPECT_EQ(rtfFilesInTree().size(), 6u);
    EXPECT_THAT(read(tree + "/2020/one.rtf"), HasSubstr("very very boring"));
    EXPECT_THAT(read(tree + "/2019/one.rtf"), HasSubstr("below the table"));

    // Again, with a document changed and one that cannot be converted added: the changed one is
    // converted again beside its old output, the other fails its run, and so the whole command.
    fs::copy_file(fs::path(corpusFolder()) / "simple-list.doc", archive / "2019/one.doc",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(fs::path(corpusFolder()) / "PasswordProtected.doc", archive / "2020/damaged.doc");
    std::vector<Line> again;
    EXPECT_NE(runShards("again", again), 0);
    std::map<std::string, std::string> outcomes;
    for (const Line& line : again) {
        outcomes[fs::path(line.source).lexically_normal().string()] = line.outcome;
    }
    EXPECT_EQ(outcomes, (std::map<std::string, std::string>{{"Report.doc", "skipped"},
                                                            {"Report.docx", "skipped"},
                                                            {"2019/one.doc", "converted"},
                                                            {"2019/Letters/two.doc", "skipped"},
                                                            {"2020/damaged.doc", "failed"},
                                                            {"2020/one.doc", "skipped"},
                                                            {"2020/three.docx", "skipped"}}));
    EXPECT_EQ(rtfFilesInTree().size(), 7u);
    EXPECT_THAT(read(tree + "/2019/one1.rtf"), HasSubstr("Third item in list"));
    EXPECT_THAT(read(tree + "/2019/one.rtf"), HasSubstr("below the table"));
}

// Two runs at once convert documents of the same names into one folder. Each run chooses a name
// while it is free, and the other run may save under it first: every document still gets a file
// of its own by the counter rule, none is written over, and each line names the file that holds
// its document.
TEST_F(CommandLineRun, TwoRunsAtOnceIntoOneFolderEachWriteEveryDocumentUnderItsOwnName) {
    struct Source {
        const char* run;
        const char* name;
        const char* corpus;
        const char* text;  // in this document only
    };
    const std::vector<Source> sources{
        {"first", "one.doc", "simple.doc", "simple file created"},
        {"first", "two.doc", "simple-table.doc", "below the table"},
        {"first", "three.doc", "simple-list.doc", "Third item in list"},
        {"second", "one.doc", "test2.doc", "very very boring"},
        {"second", "two.docx", "ThreeColHead.docx", "three column heading"},
        {"second", "three.docx", "delins.docx", "Nepalese"}};
    std::map<std::string, std::string> textOf;
    for (const Source& source : sources) {
        const fs::path copy = fs::path(m_folder.mkdir(source.run)) / source.name;
        fs::copy_file(fs::path(corpusFolder()) / source.corpus, copy);
        textOf[copy.string()] = source.text;
    }
    m_folder.mkdir("out");
    Program first({"--convert-to", "rtf", "--outdir", m_output, m_folder / "first"},
                  m_folder / "stderr-first", m_mark);
    Program second({"--convert-to", "rtf", "--outdir", m_output, m_folder / "second"},
                   m_folder / "stderr-second", m_mark);
    std::vector<std::string> lines = first.remainingLines();
    const std::vector<std::string> secondLines = second.remainingLines();
    EXPECT_EQ(first.status(), 0) << read(m_folder / "stderr-first");
    EXPECT_EQ(second.status(), 0) << read(m_folder / "stderr-second");
    ASSERT_EQ(lines.size(), 3u) << read(m_folder / "stderr-first");
    ASSERT_EQ(secondLines.size(), 3u) << read(m_folder / "stderr-second");
    lines.insert(lines.end(), secondLines.begin(), secondLines.end());

    std::set<std::string> written;
    for (const std::string& text : lines) {
        const Line line = split(text);
        ASSERT_EQ(line.outcome, "converted") << text;
        ASSERT_EQ(textOf.count(line.source), 1u) << text;
        EXPECT_EQ(fs::path(line.detail).parent_path(), fs::path(m_output)) << text;
        EXPECT_THAT(read(line.detail), HasSubstr(textOf.at(line.source))) << text;
        written.insert(fs::path(line.detail).filename().string());
    }
    // Six files, each named once, by the counter rule: each name and the name with a 1.
    EXPECT_EQ(written, (std::set<std::string>{"one.rtf", "one1.rtf", "two.rtf", "two1.rtf",
                                              "three.rtf", "three1.rtf"}));
    EXPECT_EQ(rtfFilesIn(m_output), 6u);

    // Both runs noted their documents in the folder's one record at once: a run over both
    // folders with --skip-converted finds every line whole and skips every document, each
    // with the file its own run named.
    std::map<std::string, std::string> outputOf;
    for (const std::string& text : lines) {
        outputOf[split(text).source] = split(text).detail;
    }
    Program resumed({"--convert-to", "rtf", "--skip-converted", "--outdir", m_output,
                     m_folder / "first", m_folder / "second"},
                    m_folder / "stderr-resumed", m_mark);
    const std::vector<std::string> skipped = resumed.remainingLines();
    EXPECT_EQ(resumed.status(), 0) << read(m_folder / "stderr-resumed");
    ASSERT_EQ(skipped.size(), 6u) << read(m_folder / "stderr-resumed");
    for (const std::string& text : skipped) {
        const Line line = split(text);
        EXPECT_EQ(line.outcome, "skipped") << text;
        EXPECT_EQ(line.detail, outputOf[line.source]) << text;
    }
    EXPECT_EQ(rtfFilesIn(m_output), 6u);
}

// On a terminal the run shows which document is under way, and clears that line again.
TEST_F(CommandLineRun, ShowsProgressOnlyOnATerminal) {
    fs::copy_file(fs::path(corpusFolder()) / "simple.doc", m_folder / "simple.doc");
    // script(1) gives the program a terminal for its standard streams.
    const std::string command = std::string("script -qec '") + PAVENDEL_PROGRAM +
                                " --convert-to rtf --outdir " + m_output + " " +
                                (m_folder / "simple.doc") + "' /dev/null";
    const std::string marked = "env " + m_mark + " " + command + " > " + (m_folder / "tty");
    ASSERT_EQ(std::system(marked.c_str()), 0);
    const std::string seen = read(m_folder / "tty");
    EXPECT_THAT(seen, HasSubstr("[1/1] 0:00 elapsed: simple.doc"));
    EXPECT_THAT(seen, HasSubstr("\tconverted\t"));
}

TEST_F(CommandLineRun, UsageErrorsEndWithStatusTwoAndStartNothing) {
    const std::string document = m_folder.write("a.doc", "x");
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--convert-to", "pdf", document},
             {"--convert-to", "rtf"},
             {"--frobnicate", document},
             {"--convert-to", "rtf", "--outdir", m_folder / "no/such/parent", document}}) {
        Program program(arguments, m_folder / "stderr", m_mark);
        EXPECT_TRUE(program.remainingLines().empty());
        EXPECT_EQ(program.status(), 2) << testing::PrintToString(arguments);
        EXPECT_THAT(errors(), HasSubstr("pavendel: "));
    }
    Program help({"--help"}, m_folder / "stderr", m_mark);
    const std::vector<std::string> text = help.remainingLines();
    EXPECT_EQ(help.status(), 0);
    EXPECT_FALSE(text.empty());
}

TEST_F(CommandLineRun, CtrlCStopsAfterTheCurrentDocumentAndLeavesNothingBehind) {
    const std::string source = m_folder.mkdir("many");
    const fs::path simple = fs::path(corpusFolder()) / "simple.doc";
    constexpr std::size_t kDocuments = 8;
    for (std::size_t i = 0; i < kDocuments; ++i) {
        fs::copy_file(simple, fs::path(source) / ("doc" + std::to_string(i) + ".doc"));
    }
    // One document at a time, the signal comes while the second document converts. With the
    // documents converting ahead, several results may be waiting when the first line is out and
    // be placed before the signal arrives: there the run must still stop well before the end.
    for (const std::string conversions : {"1", "default"}) {
        SCOPED_TRACE("conversions: " + conversions);
        const std::string output = conversions == "1" ? m_output : m_folder.mkdir("out-ahead");
        fs::create_directories(output);
        Program program({"--convert-to", "rtf", "--outdir", output, source}, m_folder / "stderr",
                        m_mark,
                        conversions == "1" ? std::vector<std::string>{"PAVENDEL_CONVERSIONS=1"}
                                           : std::vector<std::string>{});
        const std::optional<std::string> first = program.line();
        ASSERT_TRUE(first) << errors();
        program.signal(SIGINT);
        std::vector<std::string> lines{*first};
        for (const std::string& text : program.remainingLines()) {
            lines.push_back(text);
        }
        EXPECT_EQ(program.status(), 130) << errors();
        if (conversions == "1") {
            // At most the document under way when the signal came was finished after it.
            EXPECT_LE(lines.size(), 2u);
        } else {
            EXPECT_LT(lines.size(), kDocuments);
        }
        EXPECT_THAT(errors(), HasSubstr("stopped after"));
        for (const std::string& text : lines) {
            const Line line = split(text);
            EXPECT_EQ(line.outcome, "converted") << text;
            EXPECT_TRUE(fs::exists(line.detail)) << text;
        }
        // Nothing converted ahead is placed unless the run reached it.
        EXPECT_EQ(rtfFilesIn(output), lines.size());
    }
}

}  // namespace
