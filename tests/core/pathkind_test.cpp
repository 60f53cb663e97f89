// SPDX-License-Identifier: MIT
#include "core/pathkind.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/tempfolder.h"

using core::GetPathKind;
using core::kPathFile;
using core::kPathFolder;
using core::kPathNothing;

TEST(GetPathKind, FoldersWithOrWithoutTrailingSeparatorsEmptyOrNot) {
    testsupport::TempFolder dir;
    const std::string full = dir.mkdir("full");
    dir.write("full/a.doc");
    const std::string empty = dir.mkdir("empty");
    EXPECT_EQ(GetPathKind(full), kPathFolder);
    EXPECT_EQ(GetPathKind(full + "/"), kPathFolder);
    EXPECT_EQ(GetPathKind(empty), kPathFolder);
    EXPECT_EQ(GetPathKind(empty + "/"), kPathFolder);
    EXPECT_EQ(GetPathKind("/"), kPathFolder);
    EXPECT_EQ(GetPathKind(dir.mkdir("with space \xc3\xa9")), kPathFolder);
}

TEST(GetPathKind, FilesWhateverTheirExtension) {
    testsupport::TempFolder dir;
    EXPECT_EQ(GetPathKind(dir.write("a.doc")), kPathFile);
    EXPECT_EQ(GetPathKind(dir.write("notes.txt")), kPathFile);
    EXPECT_EQ(GetPathKind(dir.write("noextension")), kPathFile);
    EXPECT_EQ(GetPathKind(dir.write(std::string("-dash ") + testsupport::kQuoteInName + "q.docx")),
              kPathFile);
}

TEST(GetPathKind, NothingForMissingHiddenPatternsEmptyAndMalformedPaths) {
    testsupport::TempFolder dir;
    dir.write("a.doc");
    dir.write(".hidden.doc");
    dir.mkdir(".hiddenfolder");
    EXPECT_EQ(GetPathKind(dir / "missing.doc"), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / "missing/"), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / ".hidden.doc"), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / ".hiddenfolder"), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / "*.doc"), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / "?.doc"), kPathNothing);
    EXPECT_EQ(GetPathKind(""), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / "a.doc/"), kPathNothing);
    EXPECT_EQ(GetPathKind(std::string("/tmp\0x", 6)), kPathNothing);
    EXPECT_EQ(GetPathKind(dir / std::string(300, 'n')), kPathNothing);
    EXPECT_EQ(GetPathKind("/proc/self/fd/0/nonsense"), kPathNothing);
}

TEST(GetPathKind, DevicesAndPipesAreNotFiles) {
    EXPECT_EQ(GetPathKind("/dev/null"), kPathNothing);
}
