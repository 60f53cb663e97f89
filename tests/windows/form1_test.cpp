// SPDX-License-Identifier: MIT
// The Windows program as a user meets it: pavendel.exe started from a program folder of its
// own with a folder of documents on its command line, driven from outside through window
// messages to its controls, converting through the test server that stands in for Word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/tempfolder.h"
#include "windows/program.h"
#include "windows/wordserver.h"

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;
using testsupport::kCommand2;
using testsupport::kCommand6;
using testsupport::kListView1;
using testsupport::kListView2;
using testsupport::Program;
using testsupport::quoted;
using testsupport::waitFor;

class Form1 : public testing::Test {
 protected:
    void TearDown() override {
        if (m_registered) {
            testsupport::runServer(L"/unregserver");
        }
    }
    void registerWord() {
        ASSERT_EQ(testsupport::runServer(L"/regserver"), 0u);
        m_registered = true;
    }

    testsupport::TempFolder dir;
    bool m_registered = false;
};

TEST_F(Form1, ConvertsAFolderEndToEndReportingTheFailingDocumentAndKeepsTheListsOnClose) {
    registerWord();
    dir.write("docs/a.doc");
    dir.write("docs/b fail.doc");
    dir.write("docs/c \xC3\xBC.docx");
    const std::string out = dir.mkdir("out");
    const std::string docs = dir / "docs";
    Program program(dir.mkdir("program"), quoted(docs));
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    // The folder from the command line is the source entry, listed with its three documents.
    ASSERT_TRUE(waitFor([&] { return program.listCount(kListView2) == 3; }));
    EXPECT_EQ(program.listCount(kListView1), 1);

    program.setOutputFolder(out);
    program.press(kCommand6);
    const std::vector<std::string> shown = program.answerBoxesUntil([&](const auto&) {
        return std::filesystem::exists(std::filesystem::u8path(out + "\\c\xC3\xBC.rtf")) &&
               program.progress() == 0;
    });
    // The server's own words for the failing document, then the run's message for it.
    EXPECT_THAT(shown, ElementsAre(HasSubstr("Word experienced an error trying to open the file."),
                                   "Convert bfail file failed!"));
    EXPECT_EQ(dir.read("out/a.rtf"), "{\\rtf1 converted from " + docs + "\\a.doc}");
    EXPECT_EQ(dir.read("out/c\xC3\xBC.rtf"),
              "{\\rtf1 converted from " + docs + "\\c \xC3\xBC.docx}");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(out + "\\bfail.rtf")));

    ASSERT_EQ(program.close(), 0);
    // The lists were saved beside the program as its settings ask (both on at first start).
    EXPECT_THAT(dir.read("program/EXCEL.txt"), HasSubstr(docs));
}

TEST_F(Form1, WithoutWordEveryDocumentSaysThatNoProgramProvidesIt) {
    dir.write("docs/only.doc");
    const std::string out = dir.mkdir("out");
    Program program(dir.mkdir("program"), quoted(dir / "docs"));
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    ASSERT_TRUE(waitFor([&] { return program.listCount(kListView2) == 1; }));
    program.setOutputFolder(out);
    program.press(kCommand6);
    const std::vector<std::string> shown =
        program.answerBoxesUntil([&](const std::vector<std::string>& answered) {
            return answered.size() >= 2 && program.progress() == 0;
        });
    EXPECT_THAT(shown, ElementsAre("Cannot create the object \"Word.Application\": no program that "
                                   "provides it is installed.",
                                   "Convert only file failed!"));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::u8path(out)));
    EXPECT_EQ(program.close(), 0);
}

TEST_F(Form1, HoldsInputBackDuringARunAndStopsThereWhenEscIsAnswered) {
    registerWord();
    for (const char* name :
         {"docs/a.doc", "docs/b.doc", "docs/c.doc", "docs/d.doc", "docs/e.doc"}) {
        dir.write(name);
    }
    const std::string out = dir.mkdir("out");
    Program program(dir.mkdir("program"), quoted(dir / "docs"));
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    ASSERT_TRUE(waitFor([&] { return program.listCount(kListView2) == 5; }));
    program.setOutputFolder(out);
    program.press(kCommand6);
    ASSERT_TRUE(waitFor([&] { return program.progress() >= 1; })) << "the run did not start";
    // Remove File during the run is held back; Esc asks at the next document.
    program.press(kCommand2);
    PostMessageW(program.control(kListView2), WM_KEYDOWN, VK_ESCAPE, 0);
    const std::vector<std::string> shown =
        program.answerBoxesUntil([&](const std::vector<std::string>& answered) {
            return !answered.empty() && program.progress() == 0;
        });
    EXPECT_THAT(shown, ElementsAre("Stop converting after the current document?"));
    const auto converted =
        std::distance(std::filesystem::directory_iterator(std::filesystem::u8path(out)),
                      std::filesystem::directory_iterator());
    EXPECT_GE(converted, 1);
    EXPECT_LT(converted, 5) << "the run went on after the user chose to stop";
    EXPECT_EQ(program.listCount(kListView1), 1) << "Remove File acted during the run";
    EXPECT_EQ(program.close(), 0);
}

// Closing the window during a run is never cancelled: answered No, the run converts to its end
// and the window closes then, saving the lists.
TEST_F(Form1, ClosedDuringARunAndAnsweredNoItConvertsEverythingAndThenCloses) {
    registerWord();
    for (const char* name : {"docs/a.doc", "docs/b.doc", "docs/c.doc", "docs/d.doc"}) {
        dir.write(name);
    }
    const std::string out = dir.mkdir("out");
    Program program(dir.mkdir("program"), quoted(dir / "docs"));
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    ASSERT_TRUE(waitFor([&] { return program.listCount(kListView2) == 4; }));
    program.setOutputFolder(out);
    program.press(kCommand6);
    ASSERT_TRUE(waitFor([&] { return program.progress() >= 1; })) << "the run did not start";
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    int status = -1;
    const std::vector<std::string> shown = program.answerBoxesUntil(
        [&](const std::vector<std::string>&) { return program.ended(status); }, 60s, IDNO);
    EXPECT_THAT(shown, ElementsAre("Stop converting after the current document?"));
    EXPECT_EQ(status, 0) << "the window did not close";
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(out + "\\d.rtf")))
        << "the run stopped although the user answered No";
    EXPECT_THAT(dir.read("program/EXCEL.txt"), HasSubstr(dir / "docs"));
}

TEST_F(Form1, EndsAWordThatHangsAfterTheOpenDeadlineAndConvertsTheNextDocument) {
    // The deadline for Open is two minutes, as the user meets it; the test waits it out.
    registerWord();
    dir.write("docs/a hang.doc");
    dir.write("docs/b.doc");
    const std::string out = dir.mkdir("out");
    Program program(dir.mkdir("program"), quoted(dir / "docs"));
    ASSERT_NE(program.window(), nullptr) << "the main window did not appear";
    ASSERT_TRUE(waitFor([&] { return program.listCount(kListView2) == 2; }));
    program.setOutputFolder(out);
    program.press(kCommand6);
    const std::vector<std::string> shown = program.answerBoxesUntil(
        [&](const std::vector<std::string>&) {
            return std::filesystem::exists(std::filesystem::u8path(out + "\\b.rtf")) &&
                   program.progress() == 0;
        },
        240s);
    EXPECT_THAT(shown, ElementsAre(HasSubstr("took too long to open (more than 120 seconds)"),
                                   "Convert ahang file failed!"));
    EXPECT_EQ(program.close(), 0);
}

}  // namespace
