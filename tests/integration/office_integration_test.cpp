// SPDX-License-Identifier: MIT
// The real pavendel-office and LibreOffice on the shared corpus: every document LibreOffice's own
// conversion converts comes out as RTF holding its text, every other one fails with a fitting
// description, the source folder stays as it was, and no process is left behind.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "automation/automation.h"
#include "office/client/officeclient.h"
#include "support/automationtest.h"
#include "support/clientprogram.h"
#include "support/convertwithword.h"
#include "support/processes.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

using testsupport::ScopedEnv;

using automation::AutomationError;
using automation::ObjectPtr;
using testing::HasSubstr;

std::string corpusFolder() {
    const char* chosen = std::getenv("PAVENDEL_CORPUS");
    return chosen && *chosen ? chosen : PAVENDEL_DEFAULT_CORPUS;
}

struct CorpusEntry {
    std::string name;
    bool converts = false;
};

void PrintTo(const CorpusEntry& entry, std::ostream* out) {
    *out << entry.name;
}

std::vector<CorpusEntry> corpus() {
    std::vector<CorpusEntry> entries;
    std::ifstream in(fs::path(corpusFolder()) / "EXPECTED.tsv");
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            entries.push_back({line.substr(0, tab), line.substr(tab + 1) == "converts"});
        }
    }
    return entries;
}

// Text known to be in each convertible document of the shared corpus (its words, or for a
// document without words the picture, shape or property it holds), as it reads in the RTF once
// \uN escapes are decoded.
const std::map<std::string, std::string> kPhrases{
    {"52420.doc", "Министерство образования Республики Беларусь"},
    {"57843.doc", "Harold Koplow"},
    {"58067.docx", "This is another Test"},
    {"59322.doc", "Complete"},
    {"60316.docx", "résumé doesn’t have to be"},
    {"Bug47742.doc", "The Aaa phrase"},
    {"Bug48075.doc", "Приложение №2"},
    {"Bug50936_2.doc", "EXPLOITATIONS DE SITES INTERNET"},
    {"Bug51170.docx", "CONSELHO NACIONAL DA INDUSTRIA DO GOLFE"},
    {"FldSimple.docx", "FldSimple.docx"},
    {"PageSpecificHeadFoot.docx", "It has a 2 column heading"},
    {"Picture_Alternative_Text.doc", "{\\pict"},
    {"SimpleMacro.docm", "This is a macro word processing document"},
    {"ThreeColHead.docx", "HEADING TEXT"},
    {"WithArtShapes.doc", "{\\shp"},
    {"WithGIF.docx", "Lorem ipsum dolor sit amet"},
    {"bug65649.docx", "Комитет по информатизации и связи"},
    {"comment.docx", "This is the first line"},
    {"delins.docx", "A nickname for Petrika"},
    {"documentProtection_forms_no_password.docx", "Filling forms senza password"},
    {"empty.doc", "Bob Otterberg"},
    {"equation.doc", "{\\pict"},
    {"footnote.doc", "TestComment"},
    {"simple-list.doc", "First item in list"},
    {"simple-table.doc", "This is a Word document that was created"},
    {"simple.doc", "This is a simple file created with Word 97"},
    {"table_footnotes.docx", "slove"},
    {"test.dotx", "Anton Trekin"},
    {"test2.doc", "This bit is in a different font and size"},
    {"two_images.doc", "the png file"},
    {"unicode-path.docx", "\\creatim\\yr2024\\mo2\\dy19"},
    {"zero-length.docx", "{\\pict"},
};

// The RTF with every \uN (and the one fallback character after it) turned into UTF-8.
std::string decodeUnicode(const std::string& rtf) {
    static const std::regex escape(R"(\\u(-?[0-9]+) ?(\\'[0-9a-fA-F]{2}|\?)?)");
    std::string text;
    auto last = rtf.cbegin();
    for (std::sregex_iterator it(rtf.begin(), rtf.end(), escape), end; it != end; ++it) {
        text.append(last, (*it)[0].first);
        long code = std::stol((*it)[1].str());
        code = code < 0 ? code + 65536 : code;
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
        last = (*it)[0].second;
    }
    text.append(last, rtf.cend());
    return text;
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

// The program's conversion of one document: create, Documents.Open, ActiveDocument.SaveAs with
// FileFormat 6, Quit; after an error Quit is still asked of a started instance. Gives the error's
// description, or "" on success.
std::string convert(const std::string& source, const std::string& target) {
    return testsupport::convertWithWord(source, target).value_or(std::string());
}

class OfficeIntegration : public testing::Test {
 protected:
    void SetUp() override {
        office::client::OfficeOptions options;
        options.serverPath = PAVENDEL_OFFICE_SERVER;
        m_previous = automation::RegisterProvider("Word.Application",
                                                  office::client::officeProvider(options));
        m_source = m_folder.mkdir("source documents");
        m_output = m_folder.mkdir("output");
    }
    void TearDown() override {
        endProvider();
        // Every server and engine process carries the mark, however deep it was started.
        EXPECT_THAT(testsupport::processesWithEnvironment(m_mark), testing::IsEmpty());
    }

    // Puts the provider of before back; the test's provider ends with its launcher.
    void endProvider() { automation::RegisterProvider("Word.Application", m_previous); }

    // A copy of a corpus document in the source folder.
    std::string fromCorpus(const std::string& name) {
        const std::string path = m_source + "/" + name;
        fs::copy_file(fs::path(corpusFolder()) / name, path);
        return path;
    }
    std::string target(const std::string& name) {
        return m_output + "/" + fs::path(name).stem().string() + ".rtf";
    }

    // Converts and checks what every conversion must leave: an untouched source folder and,
    // besides the RTF on success, nothing in the output folder.
    std::string convertChecked(const std::string& source) {
        const auto before = snapshot(m_source);
        const std::string description = convert(source, target(source));
        EXPECT_EQ(snapshot(m_source), before) << "the source folder changed";
        const auto written = snapshot(m_output);
        if (description.empty()) {
            EXPECT_EQ(written.size(), 1u);
        } else {
            EXPECT_TRUE(written.empty()) << "a failed conversion left a file behind";
        }
        return description;
    }

    std::string rtfOf(const std::string& source) {
        std::ifstream in(target(source), std::ios::binary);
        return decodeUnicode(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }

    testsupport::TempFolder m_folder;
    const std::string m_mark = "PAVENDEL_TEST_MARK=" + std::to_string(::getpid()) + "-" +
                               testing::UnitTest::GetInstance()->current_test_info()->name();
    ScopedEnv m_markEnv{"PAVENDEL_TEST_MARK", m_mark.substr(m_mark.find('=') + 1)};
    automation::ObjectProvider m_previous;
    std::string m_source;
    std::string m_output;
};

class CorpusDocument : public OfficeIntegration, public testing::WithParamInterface<CorpusEntry> {};

TEST_P(CorpusDocument, ConvertsWhenLibreOfficeDoesAndFailsCleanlyOtherwise) {
    const CorpusEntry& entry = GetParam();
    const std::string description = convertChecked(fromCorpus(entry.name));
    if (entry.converts) {
        ASSERT_EQ(description, "");
        const std::string rtf = rtfOf(entry.name);
        EXPECT_THAT(rtf, testing::StartsWith("{\\rtf1"));
        const auto phrase = kPhrases.find(entry.name);
        if (phrase != kPhrases.end()) {
            EXPECT_THAT(rtf, HasSubstr(phrase->second));
        }
        return;
    }
    EXPECT_THAT(description, HasSubstr("\"" + entry.name + "\""));
    if (entry.name.find("assword") != std::string::npos) {
        EXPECT_THAT(description, HasSubstr("protected with a password"));
    } else {
        EXPECT_THAT(description, HasSubstr("could not be opened: it is damaged"));
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusDocument, testing::ValuesIn(corpus()),
                         [](const testing::TestParamInfo<CorpusEntry>& row) {
                             std::string name = row.param.name;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(Corpus, IsThere) {
    EXPECT_GT(corpus().size(), 0u) << "no EXPECTED.tsv in " << corpusFolder();
}

struct LookalikeCase {
    const char* name;
    const char* file;
    std::string bytes;
    const char* expected;  // in the RTF, or in the description when the conversion must fail
    bool converts;
};

void PrintTo(const LookalikeCase& row, std::ostream* out) {
    *out << row.name;
}

class Lookalike : public OfficeIntegration, public testing::WithParamInterface<LookalikeCase> {};

// Files named .doc that are no Word documents: what Word opens converts, junk fails.
TEST_P(Lookalike, ConvertsWhatWordOpensAndRefusesJunk) {
    const std::string source = m_source + "/" + GetParam().file;
    std::ofstream(source, std::ios::binary) << GetParam().bytes;
    const std::string description = convertChecked(source);
    if (GetParam().converts) {
        ASSERT_EQ(description, "");
        EXPECT_THAT(rtfOf(GetParam().file), HasSubstr(GetParam().expected));
    } else {
        EXPECT_THAT(description, HasSubstr(GetParam().expected));
    }
}

std::string noise() {
    std::string bytes(4000, '\0');
    unsigned state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245 + 12345;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

// A Word for Windows 2.0 document, the oldest Word format the engine reads on its own: the file
// information block (identifier 0xA5DB, format 45) and the text, which it locates by its first
// and last byte and its length.
std::string winWord2Document(const std::string& text) {
    std::string bytes(0x300, '\0');
    const auto put = [&bytes](std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes[at + i] = static_cast<char>(value >> (8 * i));
        }
    };
    const auto length = static_cast<std::uint32_t>(text.size());
    put(0x00, 0xA5DB, 2);
    put(0x02, 45, 2);
    put(0x18, 0x300, 4);           // the text's first byte
    put(0x1C, 0x300 + length, 4);  // and the byte after its last
    put(0x34, length, 4);          // its length in characters
    return bytes + text;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Lookalike,
    testing::Values(
        LookalikeCase{"PlainText", "notes.doc", "Meeting notes\nSecond line\n", "Meeting notes",
                      true},
        LookalikeCase{"TextWithNonAsciiName", "Grüße aus Köln.doc", "Viele Grüße\n", "Viele Grüße",
                      true},
        LookalikeCase{"Html", "page.doc",
                      "<html><head><title>t</title></head><body><p>Saved as a web page</p>"
                      "</body></html>",
                      "Saved as a web page", true},
        LookalikeCase{"WinWord2", "memo.doc", winWord2Document("Written with WinWord 2.0\r"),
                      "Written with WinWord 2.0", true},
        LookalikeCase{"Rtf", "letter.doc", "{\\rtf1\\ansi Dear reader\\par}", "Dear reader", true},
        LookalikeCase{"RandomBytes", "noise.doc", noise(), "\"noise.doc\" is not a Word document",
                      false},
        LookalikeCase{"Png", "photo.doc",
                      std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\1\0\0\0\1\x08\0\0\0\0", 25),
                      "\"photo.doc\" is a PNG picture, not a Word document", false}),
    [](const testing::TestParamInfo<LookalikeCase>& row) { return row.param.name; });

TEST_F(OfficeIntegration, FetchesNoRemoteContent) {
    // A listening socket on this machine: a fetch by the engine would queue a connection, as the
    // engine with its default settings does for the picture of this page.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 8), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url =
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/picture.png";

    const std::string page = m_source + "/linked.doc";
    std::ofstream(page) << "<html><body><p>Linked picture</p><img src=\"" << url
                        << "\"></body></html>";
    EXPECT_EQ(convertChecked(page), "");

    pollfd entry{listener, POLLIN, 0};
    EXPECT_EQ(::poll(&entry, 1, 0), 0) << "the engine connected to " << url;
    ::close(listener);
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A wrapper in place of the engine program that stops itself before it becomes soffice.bin (while
// the file "go-on" is not beside it), so that the test can look at the engine process or kill it.
// The engine may write nothing outside its own folders, so it tells the test nothing itself. With
// no engine library beside it, every document takes the full conversion, whose processes are the
// ones started with an environment and limits of their own.
std::string stoppingEngine(const fs::path& folder) {
    const fs::path real = "/usr/lib/libreoffice/program/soffice.bin";
    fs::create_directories(folder);
    const std::string wrapper = folder / "soffice.bin";
    std::ofstream(wrapper) << "#!/bin/sh\n"
                              "case \"$*\" in *--convert-to*)\n"
                              "    [ -e '"
                           << (folder / "go-on").string()
                           << "' ] || kill -STOP $$ ;;\n"
                              "esac\n"
                              "exec '"
                           << real.string() << "' \"$@\"\n";
    ::chmod(wrapper.c_str(), 0755);
    // Same version files as the real engine, so that the profile is prepared the same way.
    fs::create_symlink(real.parent_path() / "bootstraprc", folder / "bootstraprc");
    fs::create_symlink(real.parent_path() / "versionrc", folder / "versionrc");
    return wrapper;
}

TEST_F(OfficeIntegration, ReportsAnEngineKilledMidCallAndConvertsTheNextDocument) {
    // The test kills the first engine while Open waits for it; the next one goes on.
    const std::string wrapper = stoppingEngine(m_folder / "engine");
    const std::string source = fromCorpus("simple.doc");
    std::thread killer([&wrapper] {
        const pid_t engine = testsupport::stoppedProcessRunning(wrapper, std::chrono::seconds(60));
        std::ofstream(fs::path(wrapper).parent_path() / "go-on");
        if (engine > 0) {
            ::kill(engine, SIGKILL);
        }
    });
    std::string description;
    {
        ScopedEnv engine("PAVENDEL_OFFICE_ENGINE", wrapper);
        description = convertChecked(source);
    }
    killer.join();
    EXPECT_EQ(description,
              "The office engine stopped unexpectedly while opening the document \"simple.doc\".");

    const std::string next = fromCorpus("simple-list.doc");
    EXPECT_EQ(convertChecked(next), "");
    EXPECT_THAT(rtfOf("simple-list.doc"), HasSubstr("First item in list"));
}

TEST_F(OfficeIntegration, TheEngineRunsWithACleanedEnvironmentAndItsLimits) {
    const std::string wrapper = stoppingEngine(m_folder / "engine");
    const std::string source = fromCorpus("simple.doc");
    std::string environment;
    std::string limits;
    std::string oom;
    std::thread looker([&] {
        const pid_t engine = testsupport::stoppedProcessRunning(wrapper, std::chrono::seconds(60));
        if (engine > 0) {
            const std::string proc = "/proc/" + std::to_string(engine);
            environment = readAll(proc + "/environ");
            std::replace(environment.begin(), environment.end(), '\0', '\n');
            limits = readAll(proc + "/limits");
            oom = readAll(proc + "/oom_score_adj");
            ::kill(engine, SIGCONT);
        }
    });
    {
        ScopedEnv engine("PAVENDEL_OFFICE_ENGINE", wrapper);
        ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus");
        ScopedEnv proxy("http_proxy", "http://proxy.example:3128");
        ScopedEnv display("DISPLAY", ":0");
        ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
        EXPECT_EQ(convertChecked(source), "");
    }
    looker.join();
    EXPECT_THAT(rtfOf("simple.doc"), HasSubstr("This is a simple file created with Word 97"));
    ASSERT_EQ(oom, "1000\n");
    EXPECT_THAT(environment, testing::Not(HasSubstr("DBUS_SESSION_BUS_ADDRESS")));
    EXPECT_THAT(environment, testing::Not(HasSubstr("proxy.example")));
    EXPECT_THAT(environment, testing::Not(HasSubstr("DISPLAY=")));
    EXPECT_THAT(environment, testing::Not(HasSubstr("XDG_RUNTIME_DIR=/run/user")));
    // The runtime folder is the engine's private temporary folder.
    EXPECT_THAT(environment,
                testing::ContainsRegex("XDG_RUNTIME_DIR=/[^\n]*/pavendel/run-[^\n]*/tmp\n"));
    // A limit on the address space (none in a sanitizer build) and on the size of a file.
    EXPECT_THAT(limits, testing::ContainsRegex("Max file size +2147483648 +2147483648"));
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_THAT(limits, testing::Not(testing::ContainsRegex("Max address space +unlimited")));
#endif
}

TEST_F(OfficeIntegration, FailsCreationNamingThePackageWhenLibreOfficeIsMissing) {
    ScopedEnv engine("PAVENDEL_OFFICE_ENGINE", "/nonexistent/program/soffice.bin");
    try {
        automation::CreateObject("Word.Application");
        FAIL() << "created an office instance without an engine";
    } catch (const AutomationError& error) {
        EXPECT_THAT(error.description(), HasSubstr("LibreOffice"));
        EXPECT_THAT(error.description(), HasSubstr("libreoffice-writer-nogui"));
    }
}

// A fault provoked in the engine instance or the server (office/server/testfault.h) on one
// document, between two documents that convert.
struct FaultCase {
    const char* name;
    const char* fault;    // PAVENDEL_OFFICE_FAULT for simple.doc
    std::string outcome;  // "" when the document still converts, else part of the description
};

void PrintTo(const FaultCase& row, std::ostream* out) {
    *out << row.name;
}

class InstanceFault : public OfficeIntegration, public testing::WithParamInterface<FaultCase> {};

TEST_P(InstanceFault, CostsAtMostThatDocument) {
    ScopedEnv fault("PAVENDEL_OFFICE_FAULT", GetParam().fault);
    ScopedEnv cache("XDG_CACHE_HOME", m_folder.mkdir("cache"));
    office::client::OfficeOptions options;
    options.serverPath = PAVENDEL_OFFICE_SERVER;
    // Room for a stalled instance (stopped after 10 s without work) and then the full
    // conversion, on a loaded machine too.
    options.deadlines.document = std::chrono::seconds(20);
    automation::RegisterProvider("Word.Application", office::client::officeProvider(options));

    EXPECT_EQ(convertChecked(fromCorpus("test2.doc")), "");
    fs::remove(target("test2.doc"));
    const std::string description = convertChecked(fromCorpus("simple.doc"));
    if (GetParam().outcome.empty()) {
        EXPECT_EQ(description, "");
        EXPECT_THAT(rtfOf("simple.doc"), HasSubstr("This is a simple file created with Word 97"));
        fs::remove(target("simple.doc"));
    } else {
        EXPECT_THAT(description, HasSubstr(GetParam().outcome));
    }
    EXPECT_EQ(convertChecked(fromCorpus("simple-list.doc")), "");
    EXPECT_THAT(rtfOf("simple-list.doc"), HasSubstr("First item in list"));

    // A server killed at its deadline leaves no private copy behind once the run has ended.
    endProvider();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_folder / "cache/pavendel")) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_THAT(left, testing::ElementsAre(testing::StartsWith("profile-")));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InstanceFault,
    testing::Values(
        // The engine library aborts, or stops working: the full conversion takes the document
        // over.
        FaultCase{"EngineCrashes", "engine-crash:simple.doc", ""},
        FaultCase{"EngineHangs", "engine-hang:simple.doc", ""},
        FaultCase{"ServerHangs", "server-hang:simple.doc",
                  "The document \"simple.doc\" took too long to open (more than 20 seconds)"},
        FaultCase{"ServerCrashes", "server-crash:simple.doc",
                  "The office engine stopped unexpectedly while opening the document "
                  "\"simple.doc\""},
        // The process that makes the servers ends after the first: the launcher makes the
        // rest itself.
        FaultCase{"ServerMakerCrashes", "maker-crash:2", ""}),
    [](const testing::TestParamInfo<FaultCase>& row) { return row.param.name; });

TEST_F(OfficeIntegration, LeavesNoProcessBehindWhenTheProgramIsKilled) {
    const std::string mark = m_mark + "-client";
    testsupport::ClientProgram client(
        {OFFICE_CLIENT_HELPER_PATH, PAVENDEL_OFFICE_SERVER, fromCorpus("simple.doc"), "wait"},
        mark);
    ASSERT_EQ(client.firstLine(std::chrono::seconds(60)), "ready");
    client.signal(SIGKILL);
    EXPECT_TRUE(client.ends(std::chrono::seconds(10)));
    EXPECT_TRUE(testsupport::allEndWithin(mark, std::chrono::seconds(10)));
}

TEST_F(OfficeIntegration, SaysWhenTheOutputFolderIsMissingAndStillQuits) {
    const std::string source = fromCorpus("simple.doc");
    EXPECT_THAT(convert(source, m_folder / "missing/simple.rtf"),
                HasSubstr("\"simple.rtf\" could not be saved: the folder"));
}

// The output name was free when it was chosen; another program writes a file of that name while
// the document converts (after Open, before SaveAs). That file stays as it was.
TEST_F(OfficeIntegration, NeverReplacesAFileMadeWhileTheDocumentConverts) {
    const std::string source = fromCorpus("simple.doc");
    ObjectPtr word = automation::CreateObject("Word.Application");
    word->get("Documents").asObject()->call("Open", {source});
    std::ofstream(target(source)) << "written meanwhile by another program";
    const std::string description = testsupport::descriptionOf([&] {
        word->get("ActiveDocument")
            .asObject()
            ->call("SaveAs", {target(source)}, {{"FileFormat", std::int32_t{6}}});
    });
    word->call("Quit");
    EXPECT_THAT(description, HasSubstr("\"simple.rtf\" could not be saved: a file of that name is "
                                       "already there"));
    EXPECT_EQ(snapshot(m_output), (std::map<std::string, std::string>{
                                      {target(source), "written meanwhile by another program"}}));
}

TEST_F(OfficeIntegration, PreparesAFreshCacheOnceAndLeavesOnlyTheProfile) {
    ScopedEnv cache("XDG_CACHE_HOME", m_folder.mkdir("cache"));
    for (const char* name : {"simple.doc", "comment.docx"}) {
        EXPECT_EQ(convertChecked(fromCorpus(name)), "");
        fs::remove(target(name));
    }
    // The launcher keeps its working folder while the program may convert more.
    endProvider();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_folder / "cache/pavendel")) {
        left.push_back(entry.path().filename().string());
    }
    ASSERT_EQ(left.size(), 1u);
    EXPECT_THAT(left[0], testing::StartsWith("profile-"));
}

}  // namespace
