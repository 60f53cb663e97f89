// SPDX-License-Identifier: MIT
// The Win32 side of platform/, run under Wine: the same promises as on POSIX systems, kept with
// what Windows does differently (wide-character names, attributes instead of leading dots, drive
// roots, files that cannot be renamed over).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "platform/commdlg.h"
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
// After windows.h, which it needs.
#include <commctrl.h>
#include <dlgs.h>

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

TEST(Win32Paths, WidePathPrefixesAbsolutePathsFromTheClassicLimitOn) {
    std::string deep;  // 287 characters
    for (int level = 0; level < 7; ++level) {
        deep += "\\" + std::string(39, 'd') + std::to_string(level);
    }
    const std::wstring wideDeep = platform::Widen(deep);
    std::string slashed = deep;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    // From 248 characters on: a folder needs room for an 8.3 name below the 260.
    const std::string under = "C:\\" + std::string(244, 'u');
    struct Case {
        std::string path;
        std::wstring expected;
    };
    for (const Case& c :
         {Case{under, platform::Widen(under)},
          Case{under + "u", L"\\\\?\\" + platform::Widen(under + "u")},
          // Normalised first, as the prefix takes a path verbatim.
          Case{"C:" + slashed + "/./x/../a.doc", L"\\\\?\\C:" + wideDeep + L"\\a.doc"},
          Case{"\\\\server\\share" + deep, L"\\\\?\\UNC\\server\\share" + wideDeep},
          Case{"relative" + deep, L"relative" + wideDeep},
          Case{"\\\\?\\C:" + deep, L"\\\\?\\C:" + wideDeep}}) {
        EXPECT_EQ(platform::WidePath(c.path), c.expected) << c.path;
    }
}

TEST(Win32Search, ListsAndExaminesFilesBeyondTheClassicPathLimit) {
    testsupport::TempFolder dir;
    std::string relative = kGreeting;
    for (int depth = 0; depth < 6; ++depth) {
        relative += "/" + std::string(40, 'd') + std::to_string(depth);
    }
    const std::string folder = dir.mkdir(relative);
    ASSERT_GT(folder.size(), 260u);
    const std::string file = dir.write(relative + "/" + kJapanese + ".docx");
    std::string slashed = folder;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    EXPECT_THAT(search(slashed + "/*.doc", platform::kAttrNormal),
                ElementsAre(kJapanese + ".docx"));
    EXPECT_EQ(platform::GetAttr(file) & platform::kAttrDirectory, 0);
    EXPECT_NO_THROW(platform::MkDir(folder + "\\new"));
}

TEST(Win32Search, TakesAName255CharactersLongHoweverManyBytesItsUtf8Has) {
    testsupport::TempFolder dir;
    std::string cyrillic;  // 251 characters in 502 bytes
    for (int i = 0; i < 251; ++i) {
        cyrillic += "\xD0\xB4";
    }
    EXPECT_NO_THROW(search(dir / (cyrillic + ".doc"), platform::kAttrNormal));
    EXPECT_THROW(search(dir / (cyrillic + "x.doc"), platform::kAttrNormal), platform::SystemError);
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
    } catch (const platform::SystemError& error) {
        EXPECT_THAT(error.reason(), HasSubstr("already there"));
    }
    EXPECT_EQ(dir.read("out/taken.rtf"), "the user's own");
    EXPECT_THROW(platform::writeNewFile(source, dir / "missing/a.rtf"), platform::SystemError);
    EXPECT_THROW(platform::writeNewFile(dir / "gone.rtf", dir / "out/b.rtf"),
                 platform::SystemError);
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

// The program's common dialogs shown for real: a user on a thread of its own finds the dialog
// that the test's thread shows, and acts on it as a person would. (windows.h makes a macro of
// LOGFONT; the program's font record is named through the record that points to it.)
using ProgramFont = std::remove_pointer_t<decltype(platform::CHOOSEFONT::lpLogFont)>;

std::wstring windowText(HWND window) {
    std::array<wchar_t, 512> text{};
    ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::wstring itemText(HWND dialog, int item) {
    return windowText(::GetDlgItem(dialog, item));
}

// The visible dialog of a thread, or nullptr when it shows none.
HWND dialogOf(DWORD thread) {
    HWND found = nullptr;
    ::EnumThreadWindows(
        thread,
        [](HWND window, LPARAM out) -> BOOL {
            std::array<wchar_t, 16> name{};
            ::GetClassNameW(window, name.data(), static_cast<int>(name.size()));
            if (std::wstring_view(name.data()) == L"#32770" && ::IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Acts on the next dialog the constructing thread shows, within 20 seconds. A dialog still open
// ten seconds after the act (a warning box on top of it, a button that did nothing) is cancelled
// with everything on top of it, so that a broken dialog fails the test instead of hanging it.
class DialogUser {
 public:
    explicit DialogUser(std::function<void(HWND)> act)
        : m_thread(
              [this, owner = ::GetCurrentThreadId(), act = std::move(act)] { run(owner, act); }) {}
    ~DialogUser() { finish(); }
    DialogUser(const DialogUser&) = delete;
    DialogUser& operator=(const DialogUser&) = delete;

    // Waits for the user to be done; then whether a dialog came and closed as the act meant.
    void finish() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool found() const { return m_found; }
    bool closedByAct() const { return m_closedByAct; }

 private:
    void run(DWORD owner, const std::function<void(HWND)>& act) {
        using Clock = std::chrono::steady_clock;
        const auto waitUntil = [](Clock::time_point deadline, const auto& done) {
            while (!done()) {
                if (Clock::now() > deadline) {
                    return false;
                }
                ::Sleep(50);
            }
            return true;
        };
        HWND dialog = nullptr;
        if (!waitUntil(Clock::now() + std::chrono::seconds(20),
                       [&] { return (dialog = dialogOf(owner)) != nullptr; })) {
            return;
        }
        m_found = true;
        act(dialog);
        m_closedByAct =
            waitUntil(Clock::now() + std::chrono::seconds(10), [&] { return !::IsWindow(dialog); });
        waitUntil(Clock::now() + std::chrono::seconds(10), [&] {
            if (const HWND open = dialogOf(owner)) {
                ::PostMessageW(open, WM_COMMAND, IDCANCEL, 0);
                return false;
            }
            return true;
        });
    }

    std::atomic<bool> m_found{false};
    std::atomic<bool> m_closedByAct{false};
    std::thread m_thread;
};

void pressOk(HWND dialog) {
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}
void pressCancel(HWND dialog) {
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// An open or save record with its buffers, filled as the program fills it for its open dialog.
struct FileRecord {
    static constexpr platform::DWORD kChars = 261;
    std::string file = padded(std::string(260, ' '));
    std::string fileTitle = padded(std::string(260, ' '));
    platform::OPENFILENAME record;
    FileRecord(const char* title, const std::string& initialDir) {
        record.lStructSize = platform::OPENFILENAME_SIZE_VERSION_400;
        record.lpstrFilter = "Word File(*.doc;*.docx)\0*.doc;*.docx\0";
        record.lpstrFile = file.data();
        record.nMaxFile = kChars;
        record.lpstrFileTitle = fileTitle.data();
        record.nMaxFileTitle = kChars;
        record.lpstrInitialDir = initialDir.c_str();
        record.lpstrTitle = title;
        record.Flags =
            platform::OFN_LONGNAMES | platform::OFN_FILEMUSTEXIST | platform::OFN_HIDEREADONLY;
    }
    std::string chosen() const { return file.substr(0, file.find('\0')); }
    // A buffer for kChars characters holding the text.
    static std::string padded(std::string text) {
        text.resize(platform::CharBufferBytes(kChars), '\0');
        return text;
    }
};

TEST(Win32CommonDialogs, OpenHandsBackTheTypedWideNameWithItsOffsets) {
    testsupport::TempFolder dir;
    const std::string name =
        "\xC3\x9C"
        "berblick \xC3\xBC.docx";
    dir.write(name);
    const std::string title = "Dokument " + kJapanese +
                              " \xC3\xB6"
                              "ffnen";
    const std::string initialDir = dir.path();
    FileRecord open(title.c_str(), initialDir);
    std::wstring shownTitle;
    std::wstring shownFilter;
    DialogUser user([&](HWND dialog) {
        shownTitle = windowText(dialog);
        shownFilter = itemText(dialog, cmb1);
        // The name alone: the dialog must have opened in the initial folder.
        ::SetDlgItemTextW(dialog, cmb13, platform::Widen(name).c_str());
        pressOk(dialog);
    });
    const platform::BOOL confirmed = platform::GetOpenFileNameA(&open.record);
    user.finish();
    ASSERT_TRUE(user.found());
    EXPECT_TRUE(user.closedByAct());
    EXPECT_EQ(shownTitle, platform::Widen(title));
    EXPECT_EQ(shownFilter, L"Word File(*.doc;*.docx)");
    ASSERT_EQ(confirmed, 1);
    EXPECT_EQ(open.chosen(), dir / name);
    EXPECT_EQ(open.fileTitle.substr(0, open.fileTitle.find('\0')), name);
    // Byte offsets into the UTF-8 path: "Ü" and "ü" take two bytes each.
    EXPECT_EQ(open.record.nFileOffset, dir.path().size() + 1);
    EXPECT_EQ(open.record.nFileExtension, dir.path().size() + 1 + name.size() - 4);
}

TEST(Win32CommonDialogs, SaveAppendsTheDefaultExtensionAndCancelChoosesNothing) {
    testsupport::TempFolder dir;
    const std::string initialDir = dir.mkdir(kGreeting);
    FileRecord save("Save", initialDir);
    save.record.Flags = platform::OFN_LONGNAMES | platform::OFN_HIDEREADONLY;
    save.record.lpstrFilter = "Rich Text\0*.rtf\0All\0*.*\0";
    save.record.nFilterIndex = 1;
    save.record.lpstrDefExt = "rtf";
    DialogUser typing([&](HWND dialog) {
        ::SetDlgItemTextW(dialog, cmb13, platform::Widen(kEmoji + " Bericht").c_str());
        pressOk(dialog);
    });
    ASSERT_EQ(platform::GetSaveFileNameA(&save.record), 1);
    typing.finish();
    EXPECT_TRUE(typing.closedByAct());
    EXPECT_EQ(save.chosen(), dir / (kGreeting + "/" + kEmoji + " Bericht.rtf"));

    FileRecord open("Cancelled", initialDir);
    DialogUser cancelling(pressCancel);
    EXPECT_EQ(platform::GetOpenFileNameA(&open.record), 0);
    cancelling.finish();
    EXPECT_TRUE(cancelling.found());
    EXPECT_EQ(open.file, FileRecord::padded(std::string(260, ' ')));
}

TEST(Win32CommonDialogs, FolderBrowserHandsBackTheFolderTheUserSelects) {
    testsupport::TempFolder dir;
    const std::string folder = dir.mkdir(kGreeting + " " + kJapanese);
    const std::wstring wideFolder = platform::Widen(folder);
    // The browser's own message that selects a folder, as clicking through the tree would.
    constexpr UINT kSetSelection = WM_USER + 103;
    std::string display(platform::CharBufferBytes(MAX_PATH), '\0');
    platform::BROWSEINFO info;
    info.pszDisplayName = display.data();
    info.lpszTitle = "Ausgabeordner w\xC3\xA4hlen";
    info.ulFlags = platform::BIF_RETURNONLYFSDIRS | platform::BIF_DONTGOBELOWDOMAIN;
    std::wstring shownPrompt;
    bool newStyle = true;
    DialogUser user([&](HWND dialog) {
        // The flags as given (3) show the classic browser: a fixed frame and no "Make New
        // Folder" button, which only the newer style (BIF_NEWDIALOGSTYLE) has.
        constexpr int kMakeNewFolder = 14150;
        newStyle = (::GetWindowLongW(dialog, GWL_STYLE) & WS_THICKFRAME) != 0 ||
                   ::GetDlgItem(dialog, kMakeNewFolder) != nullptr;
        // The prompt is the one static text that is not empty above the tree.
        ::EnumChildWindows(
            dialog,
            [](HWND child, LPARAM out) -> BOOL {
                std::array<wchar_t, 16> name{};
                ::GetClassNameW(child, name.data(), static_cast<int>(name.size()));
                const std::wstring text = windowText(child);
                if (std::wstring_view(name.data()) == L"Static" && !text.empty()) {
                    *reinterpret_cast<std::wstring*>(out) = text;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&shownPrompt));
        // The tree may still be filling when the dialog shows: select until it has taken.
        const HWND tree = ::FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr);
        for (int attempt = 0; attempt < 100; ++attempt) {
            ::SendMessageW(dialog, kSetSelection, TRUE,
                           reinterpret_cast<LPARAM>(wideFolder.c_str()));
            std::array<wchar_t, 260> selected{};
            TVITEMW item{};
            item.mask = TVIF_TEXT;
            item.hItem =
                reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
            item.pszText = selected.data();
            item.cchTextMax = static_cast<int>(selected.size());
            if (item.hItem != nullptr &&
                ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) &&
                platform::Narrow(selected.data()) == kGreeting + " " + kJapanese) {
                break;
            }
            ::Sleep(100);
        }
        pressOk(dialog);
    });
    const platform::ItemIdList chosen = platform::SHBrowseForFolder(&info);
    user.finish();
    ASSERT_TRUE(user.found());
    EXPECT_EQ(shownPrompt, platform::Widen(info.lpszTitle));
    EXPECT_FALSE(newStyle);
    ASSERT_NE(chosen, nullptr);
    std::string path(platform::CharBufferBytes(MAX_PATH), '\0');
    EXPECT_EQ(platform::SHGetPathFromIDList(chosen.get(), path.data()), 1);
    EXPECT_EQ(std::string(path.data()), folder);
    EXPECT_EQ(std::string(display.data()), kGreeting + " " + kJapanese);

    DialogUser cancelling(pressCancel);
    EXPECT_EQ(platform::SHBrowseForFolder(&info), nullptr);
    cancelling.finish();
    EXPECT_TRUE(cancelling.found());
}

TEST(Win32CommonDialogs, ColourAndFontDialogsConfirmedUnchangedHandBackWhatTheyWereGiven) {
    std::array<platform::COLORREF, 16> custom{};
    custom[3] = 0x00123456;
    platform::CHOOSECOLOR color;
    color.lStructSize = platform::kChooseColorSize;
    color.rgbResult = 0x00336699;
    color.lpCustColors = custom.data();
    color.Flags = platform::CC_RGBINIT | platform::CC_FULLOPEN;
    DialogUser colorUser(pressOk);
    ASSERT_EQ(platform::ChooseColorA(&color), 1);
    colorUser.finish();
    EXPECT_EQ(color.rgbResult, 0x00336699u);
    EXPECT_EQ(custom[3], 0x00123456u);

    // As the program asks: the printer's fonts too, with the default printer's context, which
    // is none where there is no printer.
    ProgramFont font;
    font.lfHeight = -16;  // 12 points at 96 pixels per inch
    font.lfWeight = FW_BOLD;
    platform::SetFaceName(font, "Liberation Sans");
    platform::CHOOSEFONT record;
    record.lStructSize = platform::kChooseFontSize;
    record.hDC = platform::DefaultPrinterDC();
    record.lpLogFont = &font;
    record.Flags = platform::CF_SCREENFONTS | platform::CF_PRINTERFONTS |
                   platform::CF_INITTOLOGFONTSTRUCT | platform::CF_FORCEFONTEXIST;
    DialogUser fontUser(pressOk);
    ASSERT_EQ(platform::ChooseFontA(&record), 1);
    fontUser.finish();
    EXPECT_EQ(platform::FaceName(font), "Liberation Sans");
    EXPECT_EQ(record.iPointSize, 120);
    EXPECT_EQ(font.lfHeight, -16);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_NE(record.nFontType & platform::BOLD_FONTTYPE, 0);
    EXPECT_EQ(record.nFontType & platform::ITALIC_FONTTYPE, 0);
}

TEST(Win32CommonDialogs, ScreenAndPrintersAreTheSystems) {
    const platform::Hwnd desktop = platform::GetDesktopWindow();
    EXPECT_EQ(reinterpret_cast<HWND>(desktop), ::GetDesktopWindow());
    const platform::HDC screen = platform::GetDC(desktop);
    ASSERT_NE(screen, 0u);
    EXPECT_EQ(platform::GetDeviceCaps(screen, LOGPIXELSY),
              ::GetDeviceCaps(reinterpret_cast<HDC>(screen), LOGPIXELSY));
    EXPECT_EQ(platform::ReleaseDC(desktop, screen), 1);

    platform::HANDLE printer = 0;
    EXPECT_EQ(platform::OpenPrinterA(("No printer " + kJapanese).c_str(), &printer, nullptr), 0);
    EXPECT_EQ(printer, 0u);
    const std::string name = platform::DefaultPrinterName();
    if (name.empty()) {
        EXPECT_EQ(platform::DefaultPrinterDC(), 0u);
        return;
    }
    const platform::HDC context = platform::DefaultPrinterDC();
    ASSERT_NE(context, 0u);
    EXPECT_EQ(platform::DefaultPrinterDC(), context) << "one context for the program's life";
    EXPECT_GT(platform::GetDeviceCaps(context, LOGPIXELSY), 0);
    ASSERT_EQ(platform::OpenPrinterA(name.c_str(), &printer, nullptr), 1);
    EXPECT_EQ(platform::ClosePrinter(printer), 1);
}

}  // namespace
