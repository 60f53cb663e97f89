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

#include "platform/widetext_win32.h"
#include "support/tempfolder.h"
#include "windows/wordserver.h"

#include <commctrl.h>

namespace {

using namespace std::chrono_literals;
using testing::ElementsAre;
using testing::HasSubstr;

// The main window's class and the identifiers of its controls.
constexpr const wchar_t* kForm1Class = L"PavendelForm1";
constexpr int kCommand2 = 102;
constexpr int kCommand6 = 106;
constexpr int kListView1 = 201;
constexpr int kListView2 = 202;
constexpr int kCombo2 = 203;
constexpr int kProgressBar1 = 204;

// Waits until the condition holds; false when it did not within the time.
bool waitFor(const std::function<bool()>& condition, std::chrono::seconds patience = 60s) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

struct Search {
    DWORD process;
    const wchar_t* windowClass;
    HWND found = nullptr;
};

// A command-line argument in quotes.
std::string quoted(const std::string& argument) {
    std::string text(1, '"');
    text += argument;
    text += '"';
    return text;
}

// A visible top-level window of the process with the class, or null.
HWND topLevelWindow(DWORD process, const wchar_t* windowClass) {
    Search search{process, windowClass};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (owner == s->process && std::wstring(name) == s->windowClass &&
                IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The texts of a message box's static controls, joined by line breaks.
std::string messageText(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM param) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            wchar_t caption[1024] = {};
            GetWindowTextW(child, caption, 1024);
            if (_wcsicmp(name, L"Static") == 0 && caption[0] != L'\0') {
                auto* all = reinterpret_cast<std::wstring*>(param);
                if (!all->empty()) {
                    all->push_back(L'\n');
                }
                all->append(caption);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return platform::Narrow(text);
}

// pavendel.exe in a program folder of its own (its state files are kept beside it), started
// with the given arguments.
class Program {
 public:
    Program(const std::string& folder, const std::string& arguments) {
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::filesystem::path built(self);
        built = built.parent_path().parent_path().parent_path() / L"bin" / L"pavendel.exe";
        const std::wstring program = platform::Widen(folder) + L"\\pavendel.exe";
        if (!CopyFileW(built.c_str(), program.c_str(), FALSE)) {
            throw std::runtime_error("cannot copy pavendel.exe");
        }
        std::wstring line = L"\"" + program + L"\" " + platform::Widen(arguments);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &started)) {
            throw std::runtime_error("cannot start pavendel.exe");
        }
        CloseHandle(started.hThread);
        m_process = started.hProcess;
        m_id = started.dwProcessId;
        waitFor([this] { return (m_window = topLevelWindow(m_id, kForm1Class)) != nullptr; });
    }
    ~Program() {
        if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_process, 1);
        }
        CloseHandle(m_process);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    HWND window() const { return m_window; }
    HWND control(int id) const { return GetDlgItem(m_window, id); }
    int listCount(int id) const {
        return static_cast<int>(SendMessageW(control(id), LVM_GETITEMCOUNT, 0, 0));
    }
    int progress() const {
        return static_cast<int>(SendMessageW(control(kProgressBar1), PBM_GETPOS, 0, 0));
    }
    void setOutputFolder(const std::string& folder) const {
        const std::wstring text = platform::Widen(folder);
        SendMessageW(control(kCombo2), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void press(int button) const { PostMessageW(control(button), BM_CLICK, 0, 0); }

    // Answers each message box of the program (Yes or OK) until the condition holds; the texts of
    // the boxes it answered, in order.
    std::vector<std::string> answerBoxesUntil(
        const std::function<bool(const std::vector<std::string>&)>& done,
        std::chrono::seconds patience = 60s) const {
        std::vector<std::string> shown;
        waitFor(
            [&] {
                if (HWND box = topLevelWindow(m_id, L"#32770")) {
                    // Read once the box has its text, then answered.
                    std::this_thread::sleep_for(200ms);
                    shown.push_back(messageText(box));
                    // Yes for a question, OK otherwise.
                    PostMessageW(box, WM_COMMAND, GetDlgItem(box, IDYES) != nullptr ? IDYES : IDOK,
                                 0);
                    waitFor([box] { return !IsWindow(box); }, 10s);
                    return false;
                }
                return done(shown);
            },
            patience);
        return shown;
    }

    // Closes the window as the title bar's close button does; the exit status, or -1 when the
    // program did not end.
    int close() const {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_process, 30000) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD status = 0;
        GetExitCodeProcess(m_process, &status);
        return static_cast<int>(status);
    }

 private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
    HWND m_window = nullptr;
};

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
