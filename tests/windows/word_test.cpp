// SPDX-License-Identifier: MIT
// pavendel.exe against a Word that behaves as Word's documentation says it does
// (fakewordserver.cpp): questions in windows nobody sees, macros that run on opening, owner
// files beside the documents it opens read-write, a list of recent files, a slow first start, a
// 32-bit registration. Each scenario converts a folder through the real window and checks what a
// user would notice: the messages and when the first came, the RTF files, and that Word asked
// nothing, ran no macro, left nothing beside the sources, remembered nothing and was ended.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tempfolder.h"
#include "windows/program.h"
#include "windows/wordserver.h"

// After windows.h (which the headers above bring), which it needs.
#include <tlhelp32.h>

namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;
using testing::Not;

constexpr const char* kOpenDeadline =
    "took too long to open (more than 5 seconds), so Word was stopped. Word may have been waiting "
    "for an answer in a window of its own.";

struct Scenario {
    const char* name;
    // Created in the source folder, converted in name order.
    std::vector<const char*> documents;
    // Parts of the messages the user sees, in order.
    std::vector<std::string> messages;
    // The RTF files the run writes, each naming the document it was converted from.
    std::vector<std::pair<const char*, const char*>> converted;
    // How the stand-in starts (word-cue.txt), and whether it is registered as a 32-bit program.
    const char* cue = "";
    bool thirtyTwoBit = false;
    // Shorter deadlines, so that a scenario that waits one out takes seconds.
    const wchar_t* deadlines = L"5,5,30";
    // A question the stand-in is expected to have asked, which no argument avoids.
    const char* asked = "";
};

std::string besideTest(const char* name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return platform::Narrow((std::filesystem::path(self).parent_path() / name).wstring());
}

std::string readFile(const std::string& path) {
    std::string text;
    if (FILE* file = _wfopen(platform::Widen(path).c_str(), L"rb")) {
        char buffer[4096];
        for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, read);
        }
        std::fclose(file);
    }
    return text;
}

int standInsRunning() {
    int running = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        running += _wcsicmp(entry.szExeFile, L"fakewordserver.exe") == 0;
    }
    CloseHandle(snapshot);
    return running;
}

class WordAsDocumented : public testing::TestWithParam<Scenario> {
 protected:
    void SetUp() override {
        DeleteFileW(platform::Widen(besideTest("word-log.txt")).c_str());
        if (*GetParam().cue != '\0') {
            std::FILE* cue = _wfopen(platform::Widen(besideTest("word-cue.txt")).c_str(), L"wb");
            std::fputs(GetParam().cue, cue);
            std::fclose(cue);
        }
        ASSERT_EQ(testsupport::runServer(GetParam().thirtyTwoBit ? L"/regserver32" : L"/regserver"),
                  0u);
    }
    void TearDown() override {
        testsupport::runServer(L"/unregserver");
        DeleteFileW(platform::Widen(besideTest("word-cue.txt")).c_str());
    }

    testsupport::TempFolder dir;
};

TEST_P(WordAsDocumented, ConvertsWithoutAQuestionAMacroOrATraceAndEndsEveryWord) {
    const Scenario& scenario = GetParam();
    for (const char* document : scenario.documents) {
        dir.write(std::string("docs/") + document);
    }
    const std::string out = dir.mkdir("out");
    testsupport::Program program(dir.mkdir("program"), testsupport::quoted(dir / "docs"),
                                 {{L"PAVENDEL_WORD_DEADLINES", scenario.deadlines}});
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    ASSERT_TRUE(testsupport::waitFor([&] {
        return program.listCount(testsupport::kListView2) ==
               static_cast<int>(scenario.documents.size());
    }));
    program.setOutputFolder(out);
    program.press(testsupport::kCommand6);
    const auto finished = [&](const std::vector<std::string>& shown) {
        for (const auto& [rtf, from] : scenario.converted) {
            if (!std::filesystem::exists(std::filesystem::u8path(out + "\\" + rtf))) {
                return false;
            }
        }
        return shown.size() >= scenario.messages.size() && program.progress() == 0 &&
               standInsRunning() == 0;
    };
    const auto pressed = std::chrono::steady_clock::now();
    const std::vector<std::string> shown = program.answerBoxesUntil(finished, 60s);
    // For the record of how long the user waits.
    std::printf("seconds until the first message: %.1f, for the run: %.1f\n",
                program.secondsToFirstMessage(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count());

    ASSERT_EQ(shown.size(), scenario.messages.size()) << testing::PrintToString(shown);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_THAT(shown[i], HasSubstr(scenario.messages[i]));
    }
    for (const auto& [rtf, from] : scenario.converted) {
        EXPECT_EQ(dir.read(std::string("out/") + rtf),
                  "{\\rtf1 converted from " + (dir / "docs") + "\\" + from + "}");
    }
    const std::string log = readFile(besideTest("word-log.txt"));
    if (*scenario.asked != '\0') {
        EXPECT_THAT(log, HasSubstr(scenario.asked));
    } else {
        EXPECT_THAT(log, Not(HasSubstr("asked:"))) << "Word waited for an answer nobody saw";
    }
    EXPECT_THAT(log, Not(HasSubstr("macro ran")));
    EXPECT_THAT(log, Not(HasSubstr("recent:"))) << "the conversion is in Word's recent files";
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::u8path(dir / "docs"))) {
        EXPECT_NE(entry.path().filename().wstring().rfind(L"~$", 0), 0u)
            << "an owner file was left beside the sources";
    }
    EXPECT_EQ(standInsRunning(), 0) << "a Word was left running";
    EXPECT_EQ(program.close(), 0);
}

// Word takes paths of at most 255 characters and fails on longer ones with words that do not say
// why: such a document is not handed to it, and the user is told what is wrong.
TEST(WordAndLongPaths, ADocumentWhosePathWordCannotTakeIsReportedAndTheNextConverts) {
    testsupport::TempFolder dir;
    ASSERT_EQ(testsupport::runServer(L"/regserver"), 0u);
    DeleteFileW(platform::Widen(besideTest("word-log.txt")).c_str());
    // A folder of about 240 characters: "a.doc" in it is a path Word takes, the long name is not.
    std::string deep = "docs";
    while (dir.path().size() + deep.size() < 200) {
        deep.append("/").append(20, 'f');
    }
    deep.append("/").append(240 - dir.path().size() - deep.size(), 'f');
    const std::string stem(40, 'l');
    const std::string longName = std::string(stem).append(".doc");
    dir.write(std::string(deep).append("/").append(longName));
    dir.write(std::string(deep).append("/a.doc"));
    const std::string out = dir.mkdir("out");
    testsupport::Program program(dir.mkdir("program"), testsupport::quoted(dir / deep));
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    ASSERT_TRUE(
        testsupport::waitFor([&] { return program.listCount(testsupport::kListView2) == 2; }));
    program.setOutputFolder(out);
    program.press(testsupport::kCommand6);
    const std::vector<std::string> shown = program.answerBoxesUntil([&](const auto& answered) {
        return answered.size() >= 2 && program.progress() == 0 && standInsRunning() == 0;
    });
    testsupport::runServer(L"/unregserver");
    ASSERT_EQ(shown.size(), 2u) << testing::PrintToString(shown);
    EXPECT_THAT(shown[0], HasSubstr(longName));
    const std::size_t characters = dir.path().size() + 1 + deep.size() + 1 + longName.size();
    EXPECT_THAT(shown[0], HasSubstr(std::string("is too long for Word: it has ")
                                        .append(std::to_string(characters))
                                        .append(" characters, and Word takes at most 255.")));
    EXPECT_EQ(shown[1], std::string("Convert ").append(stem).append(" file failed!"));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(out + "\\a.rtf")))
        << "the document with a shorter name was not converted";
    EXPECT_EQ(program.close(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, WordAsDocumented,
    testing::Values(
        Scenario{"EncryptedDocument",
                 {"password.doc"},
                 {"The document \"password.doc\" is protected with a password, so it cannot be "
                  "opened.",
                  "Convert password file failed!"},
                 {}},
        Scenario{"PasswordToModify",
                 {"writeprotected.doc"},
                 {},
                 {{"writeprotected.rtf", "writeprotected.doc"}}},
        Scenario{"ReadOnlyRecommended",
                 {"recommended.doc"},
                 {},
                 {{"recommended.rtf", "recommended.doc"}}},
        Scenario{"InUseByAnotherUser", {"inuse.doc"}, {}, {{"inuse.rtf", "inuse.doc"}}},
        Scenario{"UnreadableContent", {"damaged.doc"}, {}, {{"damaged.rtf", "damaged.doc"}}},
        Scenario{"TextNeedingAnEncoding", {"encoded.doc"}, {}, {{"encoded.rtf", "encoded.doc"}}},
        Scenario{"AnotherFormatToConfirm", {"foreign.doc"}, {}, {{"foreign.rtf", "foreign.doc"}}},
        Scenario{"AQuestionNoArgumentAvoids",
                 {"asks.doc", "next.doc"},
                 {std::string("The document \"asks.doc\" ") + kOpenDeadline,
                  "Convert asks file failed!"},
                 {{"next.rtf", "next.doc"}},
                 "",
                 false,
                 L"5,5,30",
                 "asked: A question no argument avoids."},
        Scenario{"AutoOpenMacro", {"macro.doc"}, {}, {{"macro.rtf", "macro.doc"}}},
        Scenario{"WordEndsWhileSaving",
                 {"next.doc", "savecrash.doc"},
                 {"(0x800706BE)", "Convert savecrash file failed!"},
                 {{"next.rtf", "next.doc"}}},
        Scenario{"SavePromptOnQuit", {"dirty.doc"}, {}, {{"dirty.rtf", "dirty.doc"}}},
        Scenario{"BusyForAFewSeconds", {"busy.doc"}, {}, {{"busy.rtf", "busy.doc"}}},
        Scenario{"SlowFirstStart",
                 {"report.doc"},
                 {},
                 {{"report.rtf", "report.doc"}},
                 "slow-start",
                 false,
                 L"120,10,60"},
        Scenario{"NeverStarts",
                 {"report.doc"},
                 {"Word did not start in time (more than 5 seconds), so it was stopped.",
                  "Convert report file failed!"},
                 {},
                 "never-start",
                 false,
                 L"120,10,5"},
        Scenario{"CreationRefused",
                 {"report.doc"},
                 // The system's words where it has some ("No such interface supported"), and
                 // the number as Windows writes it.
                 {"0x80004002", "Convert report file failed!"},
                 {},
                 "no-dispatch"},
        Scenario{"ThirtyTwoBitWordThatHangs",
                 {"asks.doc"},
                 {std::string("The document \"asks.doc\" ") + kOpenDeadline,
                  "Convert asks file failed!"},
                 {},
                 "",
                 true,
                 L"5,5,30",
                 "asked: A question no argument avoids."}),
    [](const testing::TestParamInfo<Scenario>& row) { return std::string(row.param.name); });

}  // namespace
