// SPDX-License-Identifier: MIT
// The Win32 side of platform/, run under Wine: the same promises as on POSIX systems, kept with
// what Windows does differently (wide-character names, attributes instead of leading dots, drive
// roots, files that cannot be renamed over).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/automation.h"
#include "platform/dirsearch.h"
#include "platform/error.h"
#include "platform/fileattr.h"
#include "platform/msgbox.h"
#include "platform/newfile.h"
#include "platform/newfile_names.h"
#include "platform/paths.h"
#include "platform/textfile.h"
#include "platform/widetext_win32.h"
#include "support/tempfolder.h"

#include <windows.h>

namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::HasSubstr;

// Names outside any ANSI code page: accents, CJK and a character beyond the 16-bit range.
const std::string kGreeting =
    "Gr\xC3\xBC\xC3\x9F"
    "e";
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC";
const std::string kEmoji = "\xF0\x9F\x93\x84";

std::vector<std::string> search(const std::string& pattern, int attributes) {
    std::vector<std::string> names;
    platform::DirSearch found(pattern, attributes);
    while (std::optional<std::string> name = found.next()) {
        names.push_back(*name);
    }
    return names;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(platform::ToFsPath(folder))) {
        names.push_back(platform::FromFsPath(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

void setAttribute(const std::string& path, DWORD attribute) {
    const std::wstring wide = platform::Widen(path);
    ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), ::GetFileAttributesW(wide.c_str()) | attribute));
}

TEST(Win32Text, KeepsEveryCharacterBetweenUtf8AndTheWideCalls) {
    for (const std::string& text : {kGreeting, kJapanese, kEmoji, std::string("plain")}) {
        EXPECT_EQ(platform::Narrow(platform::Widen(text)), text);
    }
    EXPECT_EQ(platform::Widen(kEmoji).size(), 2u) << "one surrogate pair";
    EXPECT_EQ(platform::Widen("a\xFF"
                              "b"),
              std::wstring(L"a\uFFFDb"));
    const platform::SystemError error("read attributes of", "C:\\x", ERROR_FILE_NOT_FOUND);
    EXPECT_THAT(error.what(), HasSubstr("read attributes of \"C:\\x\": "));
    EXPECT_FALSE(error.reason().empty());
    EXPECT_NE(error.reason().back(), '\n');
    EXPECT_NE(error.reason().back(), '.');
}

TEST(Win32Search, ListsWordDocumentsByTheProgramsRulesWithTheirWideNames) {
    testsupport::TempFolder dir;
    for (const std::string& name :
         {kGreeting + ".doc", kJapanese + ".docx", kEmoji + ".doc", std::string("B.DOC"),
          std::string("a.doc"), std::string("notes.txt")}) {
        dir.write("docs/" + name);
    }
    dir.mkdir("docs/folder.doc");
    setAttribute(dir.write("docs/hidden.doc"), FILE_ATTRIBUTE_HIDDEN);
    setAttribute(dir.write("docs/system.doc"), FILE_ATTRIBUTE_SYSTEM);
    // "*.doc" takes ".docx" too, whether or not the volume keeps short names; neither hidden nor
    // system files nor folders come with normal files; names in the program's order.
    EXPECT_THAT(
        search(dir / "docs/*.doc", platform::kAttrNormal),
        ElementsAre("a.doc", "B.DOC", kGreeting + ".doc", kJapanese + ".docx", kEmoji + ".doc"));
    EXPECT_THAT(search(dir / "docs/*.doc", platform::kAttrHidden), testing::Contains("hidden.doc"));
    EXPECT_THAT(search(dir / "docs/*.doc", platform::kAttrDirectory),
                testing::Contains("folder.doc"));
    // Either separator, and a name given exactly.
    EXPECT_THAT(search(dir.path() + "/docs/" + kJapanese + ".docx", platform::kAttrNormal),
                ElementsAre(kJapanese + ".docx"));
    EXPECT_TRUE(search(dir / "missing/*.doc", platform::kAttrNormal).empty());
    EXPECT_TRUE(search(dir / "docs/nothing*.doc", platform::kAttrNormal).empty());
}

TEST(Win32Attributes, ReportsTheSystemsAttributesAndMakesWideFolders) {
    testsupport::TempFolder dir;
    const std::string file = dir.write("a.doc");
    EXPECT_EQ(platform::GetAttr(file) & platform::kAttrDirectory, 0);
    setAttribute(file, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(platform::GetAttr(file) & (platform::kAttrHidden | platform::kAttrReadOnly),
              platform::kAttrHidden | platform::kAttrReadOnly);
    const std::string folder = dir / (kJapanese + " " + kEmoji);
    platform::MkDir(folder);
    EXPECT_NE(platform::GetAttr(folder) & platform::kAttrDirectory, 0);
    EXPECT_THAT(namesIn(dir.path()), testing::Contains(kJapanese + " " + kEmoji));
    EXPECT_THROW(platform::MkDir(folder), platform::SystemError);
    EXPECT_THROW(platform::MkDir(dir / "no/such"), platform::SystemError);
    try {
        platform::GetAttr(dir / "missing.doc");
        FAIL() << "expected an error";
    } catch (const platform::SystemError& error) {
        EXPECT_EQ(error.path(), dir / "missing.doc");
    }
}

TEST(Win32Paths, KeepDriveRootsAndFindTheProgramAndStateFolders) {
    EXPECT_EQ(platform::WithoutTrailingSeparators("C:\\\\"), "C:\\");
    EXPECT_EQ(platform::WithoutTrailingSeparators("C:/"), "C:/");
    EXPECT_EQ(platform::WithoutTrailingSeparators("C:\\out\\/\\"), "C:\\out");
    EXPECT_EQ(platform::WithoutTrailingSeparators("\\\\"), "\\");
    EXPECT_EQ(platform::inFolder("C:\\Program Files\\Pavendel", "set.txt"),
              "C:\\Program Files\\Pavendel\\set.txt");
    EXPECT_EQ(platform::inFolder("C:\\", "set.txt"), "C:\\set.txt");

    const std::string program = platform::programFolder();
    ASSERT_FALSE(program.empty());
    EXPECT_NE(program.back(), '\\');
    EXPECT_TRUE(fs::exists(platform::ToFsPath(program + "\\platform_tests.exe")));

    testsupport::TempFolder dir;
    const std::string writable = dir.mkdir(kGreeting);
    EXPECT_EQ(platform::stateFolderFor(writable), writable);
    // A folder the user cannot write in sends the state files to the roaming application data.
    const std::string elsewhere = platform::stateFolderFor(dir / "missing-program-folder");
    EXPECT_THAT(elsewhere, testing::EndsWith("\\Pavendel"));
    EXPECT_TRUE(fs::is_directory(platform::ToFsPath(elsewhere)));
}

TEST(Win32NewFile, PlacesWholeFilesUnderWideNamesAndNeverReplacesOne) {
    testsupport::TempFolder dir;
    const std::string source = dir.write("engine.rtf", "{\\rtf1 converted}");
    const std::string target = dir.mkdir("out") + "\\" + kJapanese + kEmoji + ".rtf";
    platform::writeNewFile(source, target);
    EXPECT_EQ(dir.read("out/" + kJapanese + kEmoji + ".rtf"), "{\\rtf1 converted}");
    // Another program made the name meanwhile: its file stays as it is.
    dir.write("out/taken.rtf", "the user's own");
    try {
        platform::writeNewFile(source, dir / "out/taken.rtf");
        FAIL() << "expected an error";
    } catch (const platform::AutomationError& error) {
        EXPECT_THAT(error.description(), HasSubstr("already there"));
    }
    EXPECT_EQ(dir.read("out/taken.rtf"), "the user's own");
    EXPECT_THROW(platform::writeNewFile(source, dir / "missing/a.rtf"), platform::AutomationError);
    EXPECT_THROW(platform::writeNewFile(dir / "gone.rtf", dir / "out/b.rtf"),
                 platform::AutomationError);
    EXPECT_THAT(namesIn(dir / "out"), ElementsAre("taken.rtf", kJapanese + kEmoji + ".rtf"));
}

TEST(Win32NewFile, ReplacesStateFilesWholeOrLeavesThemAsTheyWere) {
    testsupport::TempFolder dir;
    const std::string list = dir.write(kGreeting + ".txt", "old\r\n");
    platform::WriteLines(list, {"C:\\" + kJapanese + "\\a.doc", "b"});
    EXPECT_EQ(dir.read(kGreeting + ".txt"), "C:\\" + kJapanese + "\\a.doc\r\nb\r\n");
    EXPECT_THAT(platform::ReadLines(list).value_or(std::vector<std::string>{}),
                ElementsAre("C:\\" + kJapanese + "\\a.doc", "b"));
    // A folder in the way of the rename: the error names the file and nothing is left behind.
    dir.mkdir("set.txt");
    try {
        platform::WriteLines(dir / "set.txt", {"1", "1"});
        FAIL() << "expected an error";
    } catch (const platform::SystemError& error) {
        EXPECT_EQ(error.path(), dir / "set.txt");
    }
    EXPECT_THAT(namesIn(dir.path()), ElementsAre(kGreeting + ".txt", "set.txt"));
}

TEST(Win32TextFile, StateFilesStayInTheAnsiCodePageWhereverItHoldsThem) {
    // The checks of the bytes are for the Western European code page that Wine and most Western
    // systems have; every code page must give the texts back as they were written.
    const bool western = ::GetACP() == 1252;
    testsupport::TempFolder dir;
    const std::string accented = "C:\\caf\xC3\xA9\\r\xC3\xA9sum\xC3\xA9.doc";
    platform::WriteLines(dir / "EXCEL.txt", {accented, "C:\\plain.doc"});
    if (western) {
        EXPECT_EQ(dir.read("EXCEL.txt"), "C:\\caf\xE9\\r\xE9sum\xE9.doc\r\nC:\\plain.doc\r\n");
    }
    EXPECT_THAT(platform::ReadLines(dir / "EXCEL.txt").value_or(std::vector<std::string>{}),
                ElementsAre(accented, "C:\\plain.doc"));
    // One path the code page cannot hold: the whole file is UTF-8, and nothing turns into a
    // look-alike of another name.
    const std::string japanese = "C:\\" + kJapanese + ".doc";
    platform::WriteLines(dir / "output.txt", {accented, japanese});
    EXPECT_EQ(dir.read("output.txt"), accented + "\r\n" + japanese + "\r\n");
    EXPECT_THAT(platform::ReadLines(dir / "output.txt").value_or(std::vector<std::string>{}),
                ElementsAre(accented, japanese));
    // A list an older program wrote in the code page reads as the names it meant.
    if (western) {
        dir.write("old.txt",
                  "D:\\Briefe\\Gr\xFC\xDF"
                  "e.doc\r\n");
        EXPECT_THAT(platform::ReadLines(dir / "old.txt").value_or(std::vector<std::string>{}),
                    ElementsAre("D:\\Briefe\\" + kGreeting + ".doc"));
    }
}

TEST(Win32NewFile, TheNextWriteRemovesOnlyOldLeftoversOfWritersThatEnded) {
    testsupport::TempFolder dir;
    const auto leftover = [&](const std::string& writer, bool old) {
        const std::string name = platform::kTemporaryPrefix + writer + "-abc123";
        const std::string path = dir.write(name, "half");
        if (old) {
            fs::last_write_time(platform::ToFsPath(path),
                                fs::file_time_type::clock::now() - std::chrono::minutes(5));
        }
        return name;
    };
    // No process has a number this high: its writer has ended.
    const std::string ended = leftover("2147483000", true);
    const std::string young = leftover("2147483001", false);
    const std::string running = leftover(std::to_string(::GetCurrentProcessId()), true);
    platform::WriteLines(dir / "EXCEL.txt", {});
    EXPECT_THAT(namesIn(dir.path()), testing::UnorderedElementsAre("EXCEL.txt", young, running));
}

TEST(Win32MessageBox, AsksWithTheSystemsBoxAndHandsBackTheAnswer) {
    // (Needs a display: the tests run under Xvfb.)
    const std::string title = "Pavendel " + kJapanese;
    const std::string prompt = "Convert " + kGreeting + "?";
    std::wstring shown;
    std::thread user([&] {
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (const HWND box = ::FindWindowW(L"#32770", platform::Widen(title).c_str())) {
                wchar_t text[256]{};
                ::GetDlgItemTextW(box, 0xFFFF, text, 256);
                shown = text;
                ::PostMessageW(box, WM_COMMAND, IDNO, 0);
                return;
            }
            ::Sleep(50);
        }
    });
    const int answer = platform::MsgBox(prompt, platform::vbYesNo | platform::vbQuestion, title);
    user.join();
    EXPECT_EQ(answer, platform::vbNo);
    EXPECT_EQ(shown, platform::Widen(prompt));
}

}  // namespace
