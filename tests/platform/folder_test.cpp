// SPDX-License-Identifier: MIT
// A folder held open: what counts as an entry of a name, and saves that go into the folder that
// was opened, whatever its path names by the time of the save.
#include "platform/folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/error.h"
#include "platform/newfile.h"
#include "support/tempfolder.h"

namespace fs = std::filesystem;

namespace {

// How a save ended: "saved", "taken" (NameTaken) or "failed" (any other SystemError).
std::string outcome(const std::function<void()>& save) {
    try {
        save();
    } catch (const platform::NameTaken&) {
        return "taken";
    } catch (const platform::SystemError&) {
        return "failed";
    }
    return "saved";
}

// Every kind of entry a save must not write through or over, each under its own name.
void makeEveryKindOfEntry(const testsupport::TempFolder& folder) {
    folder.write("out/file.rtf");
    folder.mkdir("out/folder.rtf");
    fs::create_symlink(folder / "nowhere", folder / "out/dangling.rtf");
    fs::create_symlink(folder / "out/folder.rtf", folder / "out/tofolder.rtf");
    ASSERT_EQ(::mkfifo((folder / "out/fifo.rtf").c_str(), 0600), 0);
}

TEST(HeldFolder, EveryKindOfEntryHasItsNameAndOnlyFoldersCountAsFolders) {
    testsupport::TempFolder folder;
    makeEveryKindOfEntry(folder);
    const platform::Folder out(folder / "out");
    for (const char* name :
         {"file.rtf", "folder.rtf", "dangling.rtf", "tofolder.rtf", "fifo.rtf"}) {
        EXPECT_TRUE(out.hasEntry(name)) << name;
    }
    EXPECT_FALSE(out.hasEntry("missing.rtf"));
    // A name with a separator is no name in this folder, even where the path leads somewhere.
    EXPECT_FALSE(out.hasEntry("folder.rtf/.."));
    EXPECT_FALSE(out.hasEntry(""));

    EXPECT_TRUE(out.hasFolder("folder.rtf"));
    EXPECT_TRUE(out.hasFolder("tofolder.rtf"));
    EXPECT_TRUE(out.hasFolder(""));
    for (const char* name : {"file.rtf", "dangling.rtf", "fifo.rtf", "missing.rtf"}) {
        EXPECT_FALSE(out.hasFolder(name)) << name;
    }
}

// A FIFO would block an open that reads or writes it, a link would lead the file elsewhere: the
// save opens neither, and the caller learns that the name is taken, not that the save failed.
TEST(HeldFolder, ASaveOverAFifoOrADanglingLinkFindsTheNameTakenAndLeavesThem) {
    testsupport::TempFolder folder;
    makeEveryKindOfEntry(folder);
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    const platform::Folder out(folder / "out");
    for (const platform::NewFileMethod method :
         {platform::NewFileMethod::UnnamedFile, platform::NewFileMethod::RenameNoReplace,
          platform::NewFileMethod::LinkThenUnlink, platform::NewFileMethod::ExclusiveCreate}) {
        for (const char* name : {"fifo.rtf", "dangling.rtf", "file.rtf", "folder.rtf"}) {
            EXPECT_EQ(outcome([&] { platform::writeNewFile(source, out, name, method); }), "taken")
                << name << " by method " << static_cast<int>(method);
        }
        // Any other failure is no taken name: the caller must not look for another one.
        EXPECT_EQ(outcome([&] {
                      platform::writeNewFile(folder / "vanished.rtf", out, "new.rtf", method);
                  }),
                  "failed");
    }
    EXPECT_TRUE(fs::is_fifo(folder / "out/fifo.rtf"));
    EXPECT_FALSE(fs::exists(folder / "nowhere"));
    EXPECT_EQ(folder.read("out/file.rtf"), "x");
}

// The folder is renamed and a link to another folder put in its place while a run holds it: the
// run's saves still go into the folder it opened, by its name and through its path alike.
TEST(HeldFolder, SavesIntoTheFolderItOpenedAfterItsPathIsSwappedForALink) {
    testsupport::TempFolder folder;
    const std::string source = folder.write("new.rtf", "{\\rtf1 new}");
    folder.mkdir("out");
    folder.mkdir("decoy");
    auto held = std::make_shared<const platform::Folder>(folder / "out/");
    {
        const platform::FolderInUse inUse(held);
        fs::rename(folder / "out", folder / "moved");
        fs::create_symlink(folder / "decoy", folder / "out");

        folder.write("decoy/taken.rtf", "in the decoy only");
        EXPECT_FALSE(held->hasEntry("taken.rtf")) << "looked up through the path";

        platform::writeNewFile(source, *held, "byname.rtf");
        platform::writeNewFile(source, folder / "out/bypath.rtf");
        EXPECT_EQ(platform::FolderAt(folder / "out").get(), held.get());
    }
    EXPECT_EQ(folder.read("moved/byname.rtf"), "{\\rtf1 new}");
    EXPECT_EQ(folder.read("moved/bypath.rtf"), "{\\rtf1 new}");
    EXPECT_FALSE(fs::exists(folder / "decoy/byname.rtf"));
    EXPECT_FALSE(fs::exists(folder / "decoy/bypath.rtf"));
    // Held no longer, the path is what it names now.
    EXPECT_NE(platform::FolderAt(folder / "out").get(), held.get());
}

}  // namespace
