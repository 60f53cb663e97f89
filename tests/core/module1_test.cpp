// SPDX-License-Identifier: MIT
#include "core/module1.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "core/documents.h"
#include "platform/paths.h"
#include "support/memorycontrols.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;
using testsupport::Message;

class ListDocumentsTest : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    testsupport::MemoryWindow window;
    core::Module1 module{window.controls()};
};

TEST_F(ListDocumentsTest, FileEntryListsTheFileNameAloneTicked) {
    const std::string file = dir.write("My Report.docx");
    module.ListDocuments(file);
    EXPECT_THAT(window.ListView2.texts(), ElementsAre("My Report.docx"));
    EXPECT_TRUE(window.ListView2.allChecked());
    EXPECT_EQ(window.ListView2.refreshes, 1);
}

TEST_F(ListDocumentsTest, FolderListsItsWordDocumentsOnlyEveryBoxTicked) {
    dir.write("docs/a.doc");
    dir.write("docs/B.DOC");
    dir.write("docs/c.docx");
    dir.write("docs/notes.txt");
    dir.write("docs/.hidden.doc");
    dir.write("docs/sub/inner.doc");
    dir.mkdir("docs/folder.doc");
    module.ListDocuments(dir / "docs");
    EXPECT_THAT(window.ListView2.texts(), UnorderedElementsAre("a.doc", "B.DOC", "c.docx"));
    EXPECT_TRUE(window.ListView2.allChecked());
}

TEST_F(ListDocumentsTest, ListingAgainReplacesTheListAndTicksEveryBoxAgain) {
    dir.write("docs/a.doc");
    dir.write("docs/b.doc");
    module.ListDocuments(dir / "docs");
    window.ListView2.setChecked(1, false);
    module.ListDocuments(dir / "docs");
    EXPECT_EQ(window.ListView2.count(), 2);
    EXPECT_TRUE(window.ListView2.allChecked());
}

TEST_F(ListDocumentsTest, NothingListedForMissingEmptyOrWordlessFoldersAndStillRedrawn) {
    window.ListView2.append("stale.doc");
    module.ListDocuments(dir / "missing");
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    module.ListDocuments(dir.mkdir("empty"));
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    dir.write("text-only/readme.txt");
    module.ListDocuments(dir / "text-only");
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    // A folder holding only subfolders has no normal file, so nothing is searched.
    dir.write("only-sub/sub/a.doc");
    module.ListDocuments(dir / "only-sub");
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    EXPECT_EQ(window.ListView2.refreshes, 4);
}

TEST_F(ListDocumentsTest, PathsWithSpacesQuotesDashesAndAccentsAreUsedUnchanged) {
    const std::string name =
        std::string("-dash ") + testsupport::kQuoteInName + "q \xc3\xa9t\xc3\xa9";
    const std::string folder = dir.mkdir(name);
    dir.write(name + "/r\xc3\xa9sum\xc3\xa9 'x'.doc");
    module.ListDocuments(folder);
    EXPECT_THAT(window.ListView2.texts(), ElementsAre("r\xc3\xa9sum\xc3\xa9 'x'.doc"));
}

TEST_F(ListDocumentsTest, RootFolderWithTrailingSeparatorIsListedWithoutFailing) {
    module.ListDocuments(testsupport::kRoot);
    EXPECT_EQ(window.ListView2.refreshes, 1);
}

TEST(CleanFileName, RemovesEverySpaceAndFullStopAndNothingElse) {
    EXPECT_EQ(core::CleanFileName(""), "");
    EXPECT_EQ(core::CleanFileName("My Report.final"), "MyReportfinal");
    EXPECT_EQ(core::CleanFileName(" . .. "), "");
    EXPECT_EQ(core::CleanFileName("a-b_c(1)\xc3\xa9"), "a-b_c(1)\xc3\xa9");
    EXPECT_EQ(core::CleanFileName("tab\there"), "tab\there");
}

class CheckOutputFolderTest : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    testsupport::MemoryWindow window;
    core::Module1 module{window.controls()};
    testsupport::MessageRecorder messages;

    void history(const std::string& folder) {
        window.Combo2.items = {folder};
        window.Combo2.setCurrentPosition(0);
    }
};

TEST_F(CheckOutputFolderTest, EmptyBoxAsksForAFolder) {
    EXPECT_FALSE(module.CheckOutputFolder());
    EXPECT_THAT(messages.messages,
                ElementsAre(Message{"Please select output folder", 64, "Pavendel"}));
}

TEST_F(CheckOutputFolderTest, ExistingFolderGetsExactlyOneTrailingSeparator) {
    const std::string out = dir.mkdir("out");
    for (const std::string& text : {out, dir / "out/", dir / "out///"}) {
        window.Combo2.type(text);
        EXPECT_TRUE(module.CheckOutputFolder()) << text;
        EXPECT_EQ(module.OutputFolder, dir / "out/");
        history(text);
        EXPECT_TRUE(module.CheckOutputFolder()) << text;
        EXPECT_EQ(module.OutputFolder, dir / "out/");
    }
    EXPECT_THAT(messages.messages, IsEmpty());
}

TEST_F(CheckOutputFolderTest, TypedNewFolderIsCreatedOneLevelSilently) {
    window.Combo2.type(dir / "new folder \xc3\xa9");
    EXPECT_TRUE(module.CheckOutputFolder());
    EXPECT_TRUE(std::filesystem::is_directory(platform::ToFsPath(dir / "new folder \xc3\xa9")));
    EXPECT_EQ(module.OutputFolder, dir / "new folder \xc3\xa9/");
    EXPECT_THAT(messages.messages, IsEmpty());
}

TEST_F(CheckOutputFolderTest, TypedFolderWithTrailingSeparatorsIsCreatedWithoutThem) {
    window.Combo2.type(dir / "made//");
    EXPECT_TRUE(module.CheckOutputFolder());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "made"));
    EXPECT_EQ(module.OutputFolder, dir / "made/");
}

TEST_F(CheckOutputFolderTest, MissingParentOrAFileInTheWayFailsToCreate) {
    window.Combo2.type(dir / "a/b");
    EXPECT_FALSE(module.CheckOutputFolder());
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    window.Combo2.type(dir.write("file.txt"));
    EXPECT_FALSE(module.CheckOutputFolder());
    const Message failed{"Failed to create folder!", 16, "Pavendel"};
    EXPECT_THAT(messages.messages, ElementsAre(failed, failed));
}

TEST_F(CheckOutputFolderTest, CurrentHistoryEntryThatVanishedIsNeverCreated) {
    history(dir / "deleted");
    EXPECT_FALSE(module.CheckOutputFolder());
    EXPECT_FALSE(std::filesystem::exists(dir / "deleted"));
    EXPECT_THAT(messages.messages, ElementsAre(Message{"Folder does not exist!", 16, "Pavendel"}));
}

TEST_F(CheckOutputFolderTest, RootFolderIsNeverStrippedToNothing) {
    const std::string root = testsupport::kRoot;
    window.Combo2.type(root + platform::kPathSeparator + platform::kPathSeparator);
    EXPECT_TRUE(module.CheckOutputFolder());
    EXPECT_EQ(module.OutputFolder, root);
    history(root);
    EXPECT_TRUE(module.CheckOutputFolder());
    EXPECT_EQ(module.OutputFolder, root);
}

class OutputBasePathTest : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    testsupport::MemoryWindow window;
    core::Module1 module{window.controls()};

    std::string basePathFor(const std::string& item) {
        window.ListView2.entries = {{item, 0, true}};
        lastName = module.MakeOutputBasePath(1);
        return module.OutputBasePath;
    }
    std::string lastName;
};

TEST_F(OutputBasePathTest, BaseNameLosesItsExtensionSpacesAndFullStops) {
    module.OutputFolder = dir / "";
    EXPECT_EQ(basePathFor("My Report.final.doc"), dir / "MyReportfinal");
    EXPECT_EQ(lastName, "MyReportfinal");
    EXPECT_EQ(basePathFor("archive.tar.doc"), dir / "archivetar");
    EXPECT_EQ(basePathFor("no extension here"), dir / "noextensionhere");
    EXPECT_EQ(basePathFor("\xc3\xa9t\xc3\xa9 2026.docx"), dir /
                                                              "\xc3\xa9t\xc3\xa9"
                                                              "2026");
}

TEST_F(OutputBasePathTest, NameOfOnlySpacesAndFullStopsStartsFromTheFolderItself) {
    module.OutputFolder = dir / "";
    // The folder itself is taken, so the counter's digits make the name.
    EXPECT_EQ(basePathFor(" . .doc"), dir / "1");
    EXPECT_EQ(lastName, "");
}

TEST_F(OutputBasePathTest, TakenCandidatesGetAccumulatingDigits) {
    module.OutputFolder = dir / "";
    dir.mkdir("Report");
    EXPECT_EQ(basePathFor("Report.doc"), dir / "Report1");
    dir.write("Report1.rtf");
    EXPECT_EQ(basePathFor("Report.doc"), dir / "Report12");
    dir.mkdir("Report12");
    EXPECT_EQ(basePathFor("Report.docx"), dir / "Report123");
    EXPECT_EQ(lastName, "Report");
}

TEST_F(OutputBasePathTest, ExistingOutputFileIsTakenSoNothingIsOverwritten) {
    module.OutputFolder = dir / "";
    dir.write("Report.rtf", "user's own file");
    EXPECT_EQ(basePathFor("Report.doc"), dir / "Report1");
    // A file named like the candidate without ".rtf" does not take it.
    dir.write("Plain", "x");
    EXPECT_EQ(basePathFor("Plain.doc"), dir / "Plain");
}

#ifndef _WIN32
// A name the save could not write (a link, one that leads nowhere too, or a FIFO) is taken like a
// file; a link without ".rtf" takes the candidate only when it leads to a folder.
TEST_F(OutputBasePathTest, LinksAndFifosTakeTheirNames) {
    module.OutputFolder = dir / "";
    std::filesystem::create_symlink(dir / "gone.rtf", dir / "Report.rtf");
    ASSERT_EQ(::mkfifo((dir / "Report1.rtf").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "gone", dir / "Report12");
    EXPECT_EQ(basePathFor("Report.doc"), dir / "Report12");
    std::filesystem::create_symlink(dir.path(), dir / "Memo");
    EXPECT_EQ(basePathFor("Memo.doc"), dir / "Memo1");
}
#endif

// The save found the chosen name taken after all: the next name goes on from it by the same
// counter, past whatever was made meanwhile.
TEST(OutputName, TheNextNameGoesOnByTheCounterPastWhatIsTakenMeanwhile) {
    testsupport::TempFolder dir;
    core::OutputName name(nullptr, dir / "", "Report.doc");
    EXPECT_EQ(name.basePath(), dir / "Report");
    dir.write("Report.rtf");
    dir.write("Report1.rtf");
    EXPECT_EQ(name.next(), dir / "Report12");
    EXPECT_EQ(name.basePath(), dir / "Report12");
    // Free as far as the folder shows, yet taken at the save: the counter still moves on.
    EXPECT_EQ(name.next(), dir / "Report123");
}
