// SPDX-License-Identifier: MIT
// Converting through Word over COM, with the test server of fakewordserver.cpp registered as
// "Word.Application" in the test's Wine prefix (or Windows) for the time of each test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "automation/automation.h"
#include "automation/systemobject.h"
#include "platform/widetext_win32.h"
#include "support/convertwithword.h"
#include "support/tempfolder.h"
#include "windows/wordserver.h"

#include <windows.h>

namespace {

using testing::HasSubstr;

class WordOverCom : public testing::Test {
 protected:
    void SetUp() override { ASSERT_EQ(testsupport::runServer(L"/regserver"), 0u); }
    void TearDown() override { testsupport::runServer(L"/unregserver"); }

    testsupport::TempFolder dir;
};

TEST(CreateObject, SaysSoWhenNoProgramProvidesTheObject) {
    try {
        automation::CreateObject("Pavendel.NoSuchProgram");
        FAIL() << "expected an error";
    } catch (const automation::AutomationError& error) {
        EXPECT_THAT(error.description(), HasSubstr("no program that provides it is installed"));
    }
}

TEST_F(WordOverCom, ConvertsADocumentWithAWideNameThroughOpenSaveAsAndQuit) {
    const std::string source = dir.write("docs/R\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5.doc");
    const std::string target = dir.mkdir("out") + "\\R\xC3\xA9sum\xC3\xA9.rtf";
    EXPECT_EQ(testsupport::convertWithWord(source, target), std::nullopt);
    EXPECT_EQ(dir.read("out/R\xC3\xA9sum\xC3\xA9.rtf"), "{\\rtf1 converted from " + source + "}");
}

TEST_F(WordOverCom, ReportsTheServersOwnWordsAndSurvivesAServerThatDies) {
    std::string shown;
    const auto failure =
        testsupport::convertWithWord(dir.write("fail.doc"), dir / "fail.rtf",
                                     [&shown](const std::string& text) { shown = text; });
    EXPECT_EQ(failure, "Word experienced an error trying to open the file.");
    EXPECT_EQ(shown, *failure);
    // A server that ends in the middle of a call is a failure of that document alone.
    EXPECT_NE(testsupport::convertWithWord(dir.write("crash.doc"), dir / "crash.rtf"),
              std::nullopt);
    EXPECT_EQ(testsupport::convertWithWord(dir.write("after.doc"), dir / "after.rtf"),
              std::nullopt);
}

TEST_F(WordOverCom, EndsTheWordThatHangsAfterItsDeadlineAndNoOtherProgram) {
    // Another program of the same name, which this conversion did not start.
    const HANDLE bystander = testsupport::startServer(L"/idle");
    ASSERT_NE(bystander, nullptr);
    const auto previous =
        automation::SetSystemObjectDeadlines({std::chrono::seconds(2), std::chrono::seconds(2)});
    const auto started = std::chrono::steady_clock::now();
    const auto failure = testsupport::convertWithWord(dir.write("hang.doc"), dir / "hang.rtf");
    const auto took = std::chrono::steady_clock::now() - started;
    automation::SetSystemObjectDeadlines(previous);
    EXPECT_THAT(failure.value_or(""), HasSubstr("took too long to open (more than 2 seconds)"));
    EXPECT_LT(took, std::chrono::seconds(60)) << "the hanging Word was ended";
    EXPECT_EQ(::WaitForSingleObject(bystander, 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the other program runs on";
    ::TerminateProcess(bystander, 0);
    ::CloseHandle(bystander);
    EXPECT_EQ(testsupport::convertWithWord(dir.write("next.doc"), dir / "next.rtf"), std::nullopt);
}

}  // namespace
