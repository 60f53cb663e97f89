// SPDX-License-Identifier: MIT
#include "core/listcommands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/memorycontrols.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;
using testing::UnorderedElementsAreArray;

class SourceListTest : public testing::Test {
 protected:
    testsupport::TempFolder dir;
    testsupport::MemoryWindow window;
    core::Module1 module{window.controls()};

    void SetUp() override {
        dir.write("one/a.doc");
        dir.write("one/b.docx");
        dir.write("two/c.doc");
        dir.write("three/d.doc");
        dir.write("empty/readme.txt");
    }
    void addFolders(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            core::AddSourceFolder(module, window.controls(), dir / name);
        }
    }
};

TEST_F(SourceListTest, AddingAFileAppendsIconOneSelectsAndListsIt) {
    const std::string file = dir / "one/a.doc";
    core::AddSourceFile(module, window.controls(), file);
    core::AddSourceFile(module, window.controls(), file);
    EXPECT_THAT(window.ListView1.texts(), ElementsAre(file, file));
    EXPECT_THAT(window.ListView1.icons(), ElementsAre(1, 1));
    EXPECT_EQ(window.ListView1.selected, 2);
    EXPECT_EQ(window.ListView1.visible, 2);
    EXPECT_THAT(window.ListView2.texts(), ElementsAre("a.doc"));
    EXPECT_TRUE(window.ListView2.allChecked());
    EXPECT_THAT(window.form1.pointers, ElementsAre(11, 0, 11, 0));
}

TEST_F(SourceListTest, AddingAFolderWithoutDocumentsSelectsItAndListsNothing) {
    addFolders({"one", "empty"});
    EXPECT_THAT(window.ListView1.icons(), ElementsAre(2, 2));
    EXPECT_EQ(window.ListView1.selected, 2);
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    EXPECT_EQ(window.form1.pointer, 0);
}

struct RemoveCase {
    const char* name;
    int removed;
    int selectedAfter;
    std::vector<std::string> listedAfter;
};

class RemoveSourceTest : public SourceListTest, public testing::WithParamInterface<RemoveCase> {};

TEST_P(RemoveSourceTest, SelectsAndListsTheEntryBeforeTheRemovedOne) {
    addFolders({"one", "two", "three"});
    window.ListView1.select(GetParam().removed);
    core::RemoveSelectedSource(module, window.controls());
    EXPECT_EQ(window.ListView1.count(), 2);
    EXPECT_EQ(window.ListView1.selected, GetParam().selectedAfter);
    EXPECT_THAT(window.ListView2.texts(), UnorderedElementsAreArray(GetParam().listedAfter));
    EXPECT_EQ(window.form1.pointer, 0);
}

INSTANTIATE_TEST_SUITE_P(Positions, RemoveSourceTest,
                         testing::Values(RemoveCase{"First", 1, 1, {"c.doc"}},
                                         RemoveCase{"Middle", 2, 1, {"a.doc", "b.docx"}},
                                         RemoveCase{"Last", 3, 2, {"c.doc"}}),
                         [](const testing::TestParamInfo<RemoveCase>& row) {
                             return row.param.name;
                         });

TEST_F(SourceListTest, RemovingTheOnlyEntryEmptiesBothListsAndNoSelectionChangesNothing) {
    addFolders({"one"});
    window.ListView1.selected = 0;
    core::RemoveSelectedSource(module, window.controls());
    EXPECT_EQ(window.ListView1.count(), 1);
    window.ListView1.select(1);
    core::RemoveSelectedSource(module, window.controls());
    EXPECT_THAT(window.ListView1.texts(), IsEmpty());
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    core::RemoveSelectedSource(module, window.controls());  // empty list: nothing happens
    EXPECT_EQ(window.form1.pointer, 0);
}

TEST_F(SourceListTest, RemovingADuplicateLeavesTheOther) {
    const std::string file = dir / "one/a.doc";
    core::AddSourceFile(module, window.controls(), file);
    core::AddSourceFile(module, window.controls(), file);
    core::RemoveSelectedSource(module, window.controls());
    EXPECT_THAT(window.ListView1.texts(), ElementsAre(file));
}

TEST_F(SourceListTest, MovesKeepTextIconAndSelectionAndStopAtTheEnds) {
    addFolders({"one", "two"});
    window.ListView1.append(dir / "gone");
    window.ListView1.setSmallIcon(3, 3);
    window.ListView1.select(3);
    window.ListView2.entries = {{"shown.doc", 0, true}};

    core::MoveSelectedSourceDown(window.controls());  // already last
    EXPECT_THAT(window.ListView1.icons(), ElementsAre(2, 2, 3));
    core::MoveSelectedSourceUp(window.controls());
    core::MoveSelectedSourceUp(window.controls());
    EXPECT_THAT(window.ListView1.texts(), ElementsAre(dir / "gone", dir / "one", dir / "two"));
    EXPECT_THAT(window.ListView1.icons(), ElementsAre(3, 2, 2));
    EXPECT_EQ(window.ListView1.selected, 1);
    EXPECT_EQ(window.ListView1.visible, 1);
    core::MoveSelectedSourceUp(window.controls());  // already first
    EXPECT_EQ(window.ListView1.selected, 1);
    core::MoveSelectedSourceDown(window.controls());
    EXPECT_THAT(window.ListView1.texts(), ElementsAre(dir / "one", dir / "gone", dir / "two"));
    EXPECT_EQ(window.ListView1.selected, 2);
    EXPECT_THAT(window.ListView2.texts(), ElementsAre("shown.doc"));

    window.ListView1.selected = 0;  // nothing selected: nothing moves
    core::MoveSelectedSourceDown(window.controls());
    core::MoveSelectedSourceUp(window.controls());
    EXPECT_THAT(window.ListView1.texts(), ElementsAre(dir / "one", dir / "gone", dir / "two"));
}

TEST_F(SourceListTest, ClickingAnEntryListsItAgainWithEveryBoxTicked) {
    addFolders({"one"});
    window.ListView2.setChecked(1, false);
    core::ListSelectedSource(module, window.controls());
    EXPECT_THAT(window.ListView2.texts(), UnorderedElementsAre("a.doc", "b.docx"));
    EXPECT_TRUE(window.ListView2.allChecked());

    window.ListView1.append(dir / "gone");
    window.ListView1.select(2);
    core::ListSelectedSource(module, window.controls());
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
}

TEST_F(SourceListTest, RemoveAllEmptiesBothLists) {
    addFolders({"one", "two"});
    core::RemoveAllSources(window.controls());
    EXPECT_THAT(window.ListView1.texts(), IsEmpty());
    EXPECT_THAT(window.ListView2.texts(), IsEmpty());
    core::RemoveAllSources(window.controls());
    EXPECT_THAT(window.ListView1.texts(), IsEmpty());
}

TEST(IconForPath, FileFolderOrMissing) {
    testsupport::TempFolder dir;
    EXPECT_EQ(core::IconForPath(dir.write("a.doc")), 1);
    EXPECT_EQ(core::IconForPath(dir.path()), 2);
    EXPECT_EQ(core::IconForPath(dir / "missing"), 3);
    EXPECT_EQ(core::IconForPath(""), 3);
}

class OutputHistoryTest : public testing::Test {
 protected:
    testsupport::MemoryComboBox combo;
    void abc(int current) {
        combo.items = {"A", "B", "C"};
        combo.setCurrentPosition(current);
    }
};

TEST_F(OutputHistoryTest, BrowsingPutsTheFolderOnTopAndReplacesTypedText) {
    combo.type("/typed");
    core::AddOutputFolder(combo, "/chosen");
    core::AddOutputFolder(combo, "/chosen");
    EXPECT_THAT(combo.items, ElementsAre("/chosen", "/chosen"));
    EXPECT_EQ(combo.current, 0);
    EXPECT_EQ(combo.text, "/chosen");
}

struct RemoveCurrentCase {
    const char* name;
    int current;
    std::vector<std::string> left;
    int currentAfter;
};

class RemoveCurrentOutput : public OutputHistoryTest,
                            public testing::WithParamInterface<RemoveCurrentCase> {};

TEST_P(RemoveCurrentOutput, TheFollowingOrNewLastEntryBecomesCurrent) {
    abc(GetParam().current);
    core::RemoveCurrentOutputFolder(combo);
    EXPECT_EQ(combo.items, GetParam().left);
    EXPECT_EQ(combo.current, GetParam().currentAfter);
    EXPECT_EQ(combo.text, combo.items[static_cast<std::size_t>(combo.current)]);
}

INSTANTIATE_TEST_SUITE_P(ABC, RemoveCurrentOutput,
                         testing::Values(RemoveCurrentCase{"A", 0, {"B", "C"}, 0},
                                         RemoveCurrentCase{"B", 1, {"A", "C"}, 1},
                                         RemoveCurrentCase{"C", 2, {"A", "B"}, 1}),
                         [](const testing::TestParamInfo<RemoveCurrentCase>& row) {
                             return std::string(row.param.name) + "Current";
                         });

TEST_F(OutputHistoryTest, RemovingTheOnlyEntryLeavesNothingCurrentAndTypedTextIsNoEntry) {
    combo.items = {"A"};
    combo.setCurrentPosition(0);
    core::RemoveCurrentOutputFolder(combo);
    EXPECT_THAT(combo.items, IsEmpty());
    EXPECT_EQ(combo.current, -1);

    abc(1);
    combo.type("/typed");
    core::RemoveCurrentOutputFolder(combo);
    EXPECT_THAT(combo.items, ElementsAre("A", "B", "C"));
}

TEST_F(OutputHistoryTest, RemoveAllEmptiesTheHistory) {
    core::RemoveAllOutputFolders(combo);
    EXPECT_THAT(combo.items, IsEmpty());
    abc(2);
    core::RemoveAllOutputFolders(combo);
    EXPECT_THAT(combo.items, IsEmpty());
}

TEST(ViewOutputFolder, OpensOnlyAnExistingFolderWithTheWindowAsOwner) {
    testsupport::TempFolder dir;
    testsupport::ShellRecorder shell;
    testsupport::MemoryComboBox combo;
    for (const std::string& text : {std::string(), dir / "missing", dir.write("file.doc")}) {
        combo.type(text);
        core::ViewOutputFolder(combo, 7);
    }
    EXPECT_THAT(shell.calls, IsEmpty());
#ifndef _WIN32
    // (Windows drops the space at the end of a path, so there it is the same folder.)
    combo.type(dir.path() + " ");  // a different, missing path
    core::ViewOutputFolder(combo, 7);
    EXPECT_THAT(shell.calls, IsEmpty());
#endif
    combo.type(dir.path());
    core::ViewOutputFolder(combo, 7);
    EXPECT_THAT(shell.calls, ElementsAre(testsupport::ShellCall{7, "open", dir.path(), "", "", 5}));
}
