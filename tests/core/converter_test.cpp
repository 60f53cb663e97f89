// SPDX-License-Identifier: MIT
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "core/module1.h"
#include "support/fakeword.h"
#include "support/memorycontrols.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Message boxes go into the fake's event log, so that their order against the calls shows.
class LoggedMessages {
 public:
    explicit LoggedMessages(testsupport::FakeWord& word)
        : m_previous(platform::SetMessageBoxBackend(
              [&word, this](const std::string& prompt, int style, const std::string& title) {
                  word.events.push_back("message " + std::to_string(style) + " " + prompt);
                  titles.push_back(title);
                  return platform::vbOK;
              })) {}
    ~LoggedMessages() { platform::SetMessageBoxBackend(m_previous); }
    std::vector<std::string> titles;

 private:
    platform::MessageBoxBackend m_previous;
};

}  // namespace

class ConverterTest : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    testsupport::MemoryWindow window;
    core::Module1 module{window.controls()};
    testsupport::FakeWord word;
    LoggedMessages messages{word};

    // A source folder with documents, selected and listed, and an output folder typed in.
    void prepare(const std::vector<std::string>& names) {
        for (const std::string& name : names) {
            dir.write("docs/" + name);
        }
        window.ListView1.append(dir / "docs");
        window.ListView1.select(1);
        module.ListDocuments(dir / "docs");
        window.Combo2.type(dir / "out");
    }
};

TEST_F(ConverterTest, ConvertedDocumentGoesThroughTheCallsInOrder) {
    prepare({"My Report.doc"});
    dir.mkdir("out");
    module.OutputFolder = dir / "out/";
    module.MakeOutputBasePath(1);
    EXPECT_EQ(module.ConvertDocument(1), core::kConverted);
    EXPECT_THAT(
        word.events,
        ElementsAre("create", "DisplayAlerts=0", "AutomationSecurity=3", "Documents",
                    "Open " + (dir / "docs/My Report.doc"), "ActiveDocument",
                    "SaveAs " + (dir / "out/MyReport.rtf") + " FileFormat=6 AddToRecentFiles=False",
                    "Quit SaveChanges=0"));
}

TEST_F(ConverterTest, FailedOpenShowsTheDescriptionBeforeQuitting) {
    prepare({"bad.doc"});
    word.unreadable.insert(dir / "docs/bad.doc");
    module.OutputBasePath = dir / "out/bad";
    EXPECT_EQ(module.ConvertDocument(1), core::kAutomationFailed);
    EXPECT_THAT(word.events,
                ElementsAre("create", "DisplayAlerts=0", "AutomationSecurity=3", "Documents",
                            "Open " + (dir / "docs/bad.doc"),
                            "message 0 The document cannot be opened.", "Quit SaveChanges=0"));
    EXPECT_THAT(messages.titles, ElementsAre("Pavendel"));
}

TEST_F(ConverterTest, FailedCreationShowsOneMessageAndMakesNoQuitRequest) {
    prepare({"a.doc"});
    word.failCreation = true;
    module.OutputBasePath = dir / "out/a";
    EXPECT_EQ(module.ConvertDocument(1), core::kAutomationFailed);
    EXPECT_THAT(word.events,
                ElementsAre("create", "message 0 The office engine is not installed."));
}

TEST_F(ConverterTest, DeletedDocumentGivesThreeWithNothingStartedOrShown) {
    prepare({"a.doc"});
    std::filesystem::remove(dir / "docs/a.doc");
    EXPECT_EQ(module.ConvertDocument(1), core::kNoSourceDocument);
    EXPECT_THAT(word.events, IsEmpty());
}

TEST_F(ConverterTest, DocumentPathComesFromTheListedSourceEntry) {
    prepare({"a.doc", "b.doc"});
    EXPECT_EQ(module.GetDocumentPath(2), dir / "docs/b.doc");
    // A folder entry that keeps its trailing separator (as a root folder does) gets another.
    module.ListDocuments(dir / "docs/");
    EXPECT_EQ(module.GetDocumentPath(1), dir / "docs//a.doc");
    // A file entry is the document whatever the position.
    module.ListDocuments(dir / "docs/b.doc");
    EXPECT_EQ(module.GetDocumentPath(1), dir / "docs/b.doc");
    EXPECT_EQ(module.GetDocumentPath(99), dir / "docs/b.doc");
    // An entry that names nothing: no document.
    module.ListDocuments(dir / "gone");
    EXPECT_EQ(module.GetDocumentPath(1), "");
}

// A document list that has fallen behind the selection still converts the documents it shows,
// each from its own folder: one entry's names are never paired with another entry's path.
TEST_F(ConverterTest, StaleDocumentListConvertsTheEntryItWasListedFrom) {
    testsupport::ShellRecorder shell;
    prepare({"a.doc", "b.doc"});
    dir.write("single.doc", "the single file");
    window.ListView1.append(dir / "single.doc");
    window.ListView1.select(2);  // selected without being listed
    module.ConvertCheckedDocuments();
    EXPECT_THAT(word.events, testing::IsSupersetOf(
                                 {"Open " + (dir / "docs/a.doc"), "Open " + (dir / "docs/b.doc")}));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/a.rtf"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/b.rtf"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/single.rtf"));
}

// Names with wildcards, which are valid here though the desktop the program was written for
// refused them: each lists, converts from its own path and gives an output name of its own.
TEST_F(ConverterTest, NamesWithWildcardsConvertUnderTheirOwnNames) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows allows no * or ? in a file name";
#endif
    testsupport::ShellRecorder shell;
    window.Combo2.type(dir / "out");
    const auto convertEntry = [&](const std::string& entry) {
        word.events.clear();
        module.ListDocuments(entry);
        module.ConvertCheckedDocuments();
        std::vector<std::string> opened;
        for (const std::string& event : word.events) {
            if (event.rfind("Open ", 0) == 0) {
                opened.push_back(event.substr(5));
            }
        }
        return opened;
    };

    dir.write("wild*card?/inside.doc");
    EXPECT_THAT(convertEntry(dir / "wild*card?"), ElementsAre(dir / "wild*card?/inside.doc"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/inside.rtf"));

    // A file entry whose name is a pattern that another file matches as well.
    dir.write("files/ab.doc");
    dir.write("files/a?.doc");
    EXPECT_THAT(convertEntry(dir / "files/a?.doc"), ElementsAre(dir / "files/a?.doc"));
    EXPECT_THAT(window.ListView2.texts(), ElementsAre("a?.doc"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/a?.rtf"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/ab.rtf"));
}

TEST_F(ConverterTest, BatchConvertsTickedItemsAdvancesForEveryItemAndOpensTheFolderOnce) {
    testsupport::ShellRecorder shell;
    prepare({"a.doc", "b.doc", "c.docx"});
    window.ListView2.setChecked(2, false);
    module.ConvertCheckedDocuments();
    EXPECT_EQ(word.instances, 2);
    EXPECT_TRUE(std::filesystem::exists(dir / "out/a.rtf"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/b.rtf"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/c.rtf"));
    EXPECT_EQ(window.ProgressBar1.max, 3);
    EXPECT_THAT(window.ProgressBar1.values, ElementsAre(1, 2, 3, 0));
    EXPECT_THAT(window.form1.pointers, ElementsAre(11, 0));
    EXPECT_THAT(shell.calls,
                ElementsAre(testsupport::ShellCall{0x1234, "open", dir / "out/", "", "", 5}));
}

TEST_F(ConverterTest, FailureOfTheFirstDocumentIsReportedAndTheSecondStillConverts) {
    testsupport::ShellRecorder shell;
    prepare({"My bad.doc", "good.doc"});
    word.unreadable.insert(dir / "docs/My bad.doc");
    module.ConvertCheckedDocuments();
    EXPECT_THAT(word.events, testing::IsSupersetOf({"message 0 The document cannot be opened.",
                                                    "message 16 Convert Mybad file failed!"}));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/good.rtf"));
    EXPECT_EQ(shell.calls.size(), 1u);
}

TEST_F(ConverterTest, SameNameWithOtherExtensionsNeverOverwritesEarlierOutput) {
    testsupport::ShellRecorder shell;
    prepare({"Report.doc", "Report.docx"});
    dir.write("out/Report.rtf", "the user's own file");
    module.ConvertCheckedDocuments();
    EXPECT_EQ(dir.read("out/Report.rtf"), "the user's own file");
    EXPECT_TRUE(std::filesystem::exists(dir / "out/Report1.rtf"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/Report12.rtf"));
}

TEST_F(ConverterTest, EmptyListOrBadOutputFolderEndsTheRunWithoutConverting) {
    testsupport::ShellRecorder shell;
    module.ConvertCheckedDocuments();
    EXPECT_THAT(word.events, ElementsAre("message 64 Please select word at fast!"));
    EXPECT_THAT(window.form1.pointers, ElementsAre(0));
    EXPECT_THAT(window.ProgressBar1.values, ElementsAre(0));

    word.events.clear();
    prepare({"a.doc"});
    window.Combo2.type(dir / "missing/out");
    module.ConvertCheckedDocuments();
    EXPECT_THAT(word.events, ElementsAre("message 16 Failed to create folder!"));
    EXPECT_THAT(shell.calls, IsEmpty());
}

TEST_F(ConverterTest, NothingTickedStillChecksAndOpensTheOutputFolder) {
    testsupport::ShellRecorder shell;
    prepare({"a.doc"});
    window.ListView2.setChecked(1, false);
    module.ConvertCheckedDocuments();
    EXPECT_EQ(word.instances, 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "out"));
    EXPECT_EQ(shell.calls.size(), 1u);
}

// Another program makes a file of the chosen name while the document converts: the output gets
// the next name, OutputBasePath names the file really written, and nothing is reported.
TEST_F(ConverterTest, ANameTakenWhileTheDocumentConvertsGoesToTheNextName) {
    prepare({"Report.doc"});
    dir.mkdir("out");
    module.OutputFolder = dir / "out/";
    word.whileSaving = [this](const std::string&) {
        if (!std::filesystem::exists(dir / "out/Report.rtf")) {
            dir.write("out/Report.rtf", "another program's file");
        }
    };
    EXPECT_EQ(module.MakeOutputBasePath(1), "Report");
    EXPECT_EQ(module.ConvertDocument(1), core::kConverted);
    EXPECT_EQ(module.OutputBasePath, dir / "out/Report1");
    EXPECT_EQ(dir.read("out/Report.rtf"), "another program's file");
    EXPECT_EQ(dir.read("out/Report1.rtf"), "{\\rtf1 converted}");
    EXPECT_THAT(
        word.events,
        testing::IsSupersetOf(
            {"SaveAs " + (dir / "out/Report.rtf") + " FileFormat=6 AddToRecentFiles=False",
             "SaveAs " + (dir / "out/Report1.rtf") + " FileFormat=6 AddToRecentFiles=False"}));
    for (const std::string& event : word.events) {
        EXPECT_NE(event.rfind("message", 0), 0u) << event;
    }
}

#ifndef _WIN32
// The output folder is renamed and a link to another folder put in its place during the run:
// names are still chosen, and files saved, in the folder the check opened.
TEST_F(ConverterTest, AnOutputFolderSwappedForALinkDuringTheRunStillGetsEveryOutput) {
    testsupport::ShellRecorder shell;
    prepare({"a.doc", "b.doc"});
    dir.mkdir("out");
    dir.write("decoy/b.rtf", "the decoy's own file");
    word.whileOpening = [this] {
        if (!std::filesystem::exists(dir / "moved")) {
            std::filesystem::rename(dir / "out", dir / "moved");
            std::filesystem::create_symlink(dir / "decoy", dir / "out");
        }
    };
    module.ConvertCheckedDocuments();
    EXPECT_EQ(dir.read("moved/a.rtf"), "{\\rtf1 converted}");
    EXPECT_EQ(dir.read("moved/b.rtf"), "{\\rtf1 converted}");
    EXPECT_EQ(dir.read("decoy/b.rtf"), "the decoy's own file");
    EXPECT_FALSE(std::filesystem::exists(dir / "decoy/a.rtf"));
}
#endif
