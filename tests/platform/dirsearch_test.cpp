// SPDX-License-Identifier: MIT
#include "platform/dirsearch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/error.h"
#include "platform/fileattr.h"
#include "support/ordinaryuser.h"
#include "support/tempfolder.h"

using platform::DirSearch;
using platform::kAttrDirectory;
using platform::kAttrNormal;
using platform::MatchesNamePattern;
using testing::ElementsAre;
using testing::UnorderedElementsAre;

namespace {

std::vector<std::string> all(const std::string& pattern, int attributes,
                             platform::NameMatch match = platform::NameMatch::Pattern) {
    std::vector<std::string> names;
    DirSearch search(pattern, attributes, match);
    while (auto name = search.next()) {
        names.push_back(*name);
    }
    return names;
}

}  // namespace

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

class NamePattern : public testing::TestWithParam<MatchCase> {};

TEST_P(NamePattern, MatchesAsTheDesktopDoes) {
    EXPECT_EQ(MatchesNamePattern(GetParam().pattern, GetParam().name), GetParam().matches)
        << GetParam().pattern << " against " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NamePattern,
    testing::Values(MatchCase{"*.doc", "a.doc", true}, MatchCase{"*.doc", "A.DOC", true},
                    MatchCase{"*.doc", "report.docx", true},  // the short-name rule
                    MatchCase{"*.doc", "report.docm", true}, MatchCase{"*.doc", "a.do", false},
                    MatchCase{"*.doc", "a.txt", false}, MatchCase{"*.doc", "doc", false},
                    MatchCase{"*.docx", "a.doc", false}, MatchCase{"*.docx", "a.docxx", false},
                    MatchCase{"*.doc", "a.doc.txt", false}, MatchCase{"*.doc", "a.txt.doc", true},
                    MatchCase{"?.doc", "a.doc", true}, MatchCase{"?.doc", "ab.doc", false},
                    MatchCase{"?.doc", "\xc3\xa9.doc", true},  // ? is one character, not one byte
                    MatchCase{"*", "anything", true}, MatchCase{"*.*", "noextension", true},
                    MatchCase{"r*t.doc", "Report.doc", true}, MatchCase{"*.doc", ".doc", true},
                    MatchCase{"\xc3\x89t\xc3\xa9.doc", "\xc3\x89t\xc3\xa9.doc", true}),
    [](const testing::TestParamInfo<MatchCase>& row) {
        return "Case" + std::to_string(row.index);
    });

TEST(DirSearch, ListsMatchingFilesOnlyAndLeavesOutFoldersHiddenAndSubfolderFiles) {
    testsupport::TempFolder dir;
    dir.write("a.doc");
    dir.write("B.DOC");
    dir.write("c.docx");
    dir.write("d.txt");
    dir.write(".hidden.doc");
    dir.write("sub/inner.doc");
    dir.mkdir("folder.doc");
    EXPECT_THAT(all(dir / "*.doc", kAttrNormal), UnorderedElementsAre("a.doc", "B.DOC", "c.docx"));
    EXPECT_THAT(all(dir / "*.doc", kAttrDirectory),
                UnorderedElementsAre("a.doc", "B.DOC", "c.docx", "folder.doc"));
}

TEST(DirSearch, EmptyNamePartListsEveryEntryAndFoldersBringTheirOwnDotEntries) {
    testsupport::TempFolder dir;
    dir.write("one.txt");
    dir.mkdir("inner");
    EXPECT_THAT(all(dir.path() + "/", kAttrNormal), UnorderedElementsAre("one.txt"));
    EXPECT_THAT(all(dir.path() + "/", kAttrDirectory),
                UnorderedElementsAre(".", "..", "one.txt", "inner"));
}

TEST(DirSearch, EmptyFolderYieldsNoFileButItsOwnEntriesWhenFoldersAreAsked) {
    testsupport::TempFolder dir;
    const std::string empty = dir.mkdir("empty");
    EXPECT_TRUE(all(empty + "/", kAttrNormal).empty());
    EXPECT_THAT(all(empty + "/", kAttrDirectory), UnorderedElementsAre(".", ".."));
}

TEST(DirSearch, LiteralNameNamesOneEntryExactly) {
    testsupport::TempFolder dir;
    dir.write("My Report.doc");
    dir.mkdir("folder");
    EXPECT_THAT(all(dir / "My Report.doc", kAttrNormal), UnorderedElementsAre("My Report.doc"));
    EXPECT_TRUE(all(dir / "my report.doc", kAttrNormal).empty());
    EXPECT_TRUE(all(dir / "folder", kAttrNormal).empty());
    EXPECT_THAT(all(dir / "folder", kAttrDirectory), UnorderedElementsAre("folder"));
    EXPECT_TRUE(all(dir / "missing.doc", kAttrDirectory).empty());
}

TEST(DirSearch, MissingFolderYieldsNothing) {
    testsupport::TempFolder dir;
    EXPECT_TRUE(all(dir / "gone/*.doc", kAttrNormal).empty());
    EXPECT_TRUE(all(dir / "gone/", kAttrDirectory).empty());
}

TEST(DirSearch, FailuresAreErrorsNotEmptyResults) {
    testsupport::TempFolder dir;
    EXPECT_THROW(all(std::string("a\0b", 3), kAttrNormal), platform::SystemError);
    const std::string locked = dir.mkdir("locked");
    dir.write("locked/a.doc");
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    testsupport::AsOrdinaryUser(dir.path(), [&] {
        EXPECT_THROW(all(locked + "/*.doc", kAttrNormal), platform::SystemError);
    });
}

TEST(DirSearch, NamesWithSpacesQuotesDashesAndLongNamesAreYieldedUnchanged) {
    testsupport::TempFolder dir;
    const std::string longName = std::string(251, 'x') + ".doc";
    dir.write("-dash \"quoted\" 'single'.doc");
    dir.write(longName);
    dir.write("\xc3\xa9t\xc3\xa9.doc");
    EXPECT_THAT(
        all(dir / "*.doc", kAttrNormal),
        UnorderedElementsAre("-dash \"quoted\" 'single'.doc", longName, "\xc3\xa9t\xc3\xa9.doc"));
}

// The order the desktop's own file system gives: neither a plain byte sort nor folding to lower
// case gives this one.
TEST(DirSearch, YieldsNamesInTheDesktopsNameOrder) {
    testsupport::TempFolder dir;
    for (const char* name : {"beta.doc", "Alpha.doc", "Gamma.docx", "alpha2.doc", "a_b.doc"}) {
        dir.write(name);
    }
    EXPECT_THAT(all(dir / "*.doc", kAttrNormal),
                ElementsAre("Alpha.doc", "alpha2.doc", "a_b.doc", "beta.doc", "Gamma.docx"));
    // Names equal but for letter case come in byte order, whichever was created first.
    testsupport::TempFolder cases;
    cases.write("report.doc");
    cases.write("REPORT.doc");
    cases.write("Report.doc");
    EXPECT_THAT(all(cases / "*.doc", kAttrNormal),
                ElementsAre("REPORT.doc", "Report.doc", "report.doc"));
}

// Names this file system allows and the desktop's did not: wildcards in a folder's name are
// characters of that name, and an exact search names one file even when its name holds them.
TEST(DirSearch, WildcardCharactersInNamesAreTakenLiterallyWhereTheyAreNoPattern) {
    testsupport::TempFolder dir;
    dir.write("wild*card?/inside.doc");
    dir.write("wildXcardY/other.doc");
    EXPECT_THAT(all(dir / "wild*card?/*.doc", kAttrNormal), ElementsAre("inside.doc"));
    EXPECT_TRUE(all(dir / "*/inside.doc", kAttrNormal).empty());

    dir.write("ab.doc");
    dir.write("a?.doc");
    const auto exact = [&](const std::string& name) {
        return all(dir / name, kAttrNormal, platform::NameMatch::Exact);
    };
    EXPECT_THAT(exact("a?.doc"), ElementsAre("a?.doc"));
    EXPECT_THAT(all(dir / "a?.doc", kAttrNormal), ElementsAre("a?.doc", "ab.doc"));
    std::filesystem::remove(dir / "a?.doc");
    EXPECT_TRUE(exact("a?.doc").empty());
}

TEST(DirSearch, SymbolicLinksCountAsWhatTheyPointToAndBrokenOnesAreLeftOut) {
    testsupport::TempFolder dir;
    const std::string target = dir.write("real.doc");
    std::filesystem::create_symlink(target, dir / "link.doc");
    std::filesystem::create_symlink(dir / "nowhere", dir / "broken.doc");
    EXPECT_THAT(all(dir / "*.doc", kAttrNormal), UnorderedElementsAre("real.doc", "link.doc"));
}

TEST(FileAttributes, FolderBitAndHiddenNamesAndErrors) {
    testsupport::TempFolder dir;
    EXPECT_EQ(platform::GetAttr(dir.write("a.doc")) & kAttrDirectory, 0);
    EXPECT_NE(platform::GetAttr(dir.mkdir("f")) & kAttrDirectory, 0);
    EXPECT_NE(platform::GetAttr(dir / "f/") & kAttrDirectory, 0);
    EXPECT_NE(platform::GetAttr(dir.write(".secret")) & platform::kAttrHidden, 0);
    EXPECT_THROW(platform::GetAttr(dir / "missing"), platform::SystemError);
    EXPECT_THROW(platform::GetAttr(""), platform::SystemError);
}

TEST(MkDir, CreatesOneLevelOnly) {
    testsupport::TempFolder dir;
    EXPECT_NO_THROW(platform::MkDir(dir / "new"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "new"));
    EXPECT_THROW(platform::MkDir(dir / "a/b"), platform::SystemError);
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));
    EXPECT_THROW(platform::MkDir(dir / "new"), platform::SystemError);
    EXPECT_THROW(platform::MkDir(dir.write("file")), platform::SystemError);
}
