// SPDX-License-Identifier: MIT
// pavendel.exe as a user meets it, for the Windows tests: started from a program folder of its own
// with arguments, driven from outside through window messages to its controls, its message boxes
// read and answered.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/widetext_win32.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace testsupport {

using namespace std::chrono_literals;

// The main window's class and the identifiers of its controls.
constexpr const wchar_t* kForm1Class = L"PavendelForm1";
constexpr int kCommand2 = 102;
constexpr int kCommand6 = 106;
constexpr int kListView1 = 201;
constexpr int kListView2 = 202;
constexpr int kCombo2 = 203;
constexpr int kProgressBar1 = 204;

// Waits until the condition holds; false when it did not within the time.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::seconds patience = 60s) {
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
inline std::string quoted(const std::string& argument) {
    std::string text(1, '"');
    text += argument;
    text += '"';
    return text;
}

// A visible top-level window of the process with the class, or null.
inline HWND topLevelWindow(DWORD process, const wchar_t* windowClass) {
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
inline std::string messageText(HWND box) {
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
    // environment: variables the program gets on top of the test's own.
    Program(const std::string& folder, const std::string& arguments,
            const std::vector<std::pair<std::wstring, std::wstring>>& environment = {}) {
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
        for (const auto& [name, value] : environment) {
            SetEnvironmentVariableW(name.c_str(), value.c_str());
        }
        const BOOL created = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                                            0, nullptr, nullptr, &startup, &started);
        for (const auto& [name, value] : environment) {
            SetEnvironmentVariableW(name.c_str(), nullptr);
        }
        if (!created) {
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
    void press(int button) {
        m_pressed = std::chrono::steady_clock::now();
        PostMessageW(control(button), BM_CLICK, 0, 0);
    }
    // Seconds from the last press to the first message box answered since; -1 when none came.
    double secondsToFirstMessage() const {
        if (m_firstBox < m_pressed) {
            return -1;
        }
        return std::chrono::duration<double>(m_firstBox - m_pressed).count();
    }

    // Answers each message box of the program (a question with the answer, IDYES or IDNO; any
    // other with OK) until the condition holds; the texts of the boxes it answered, in order.
    std::vector<std::string> answerBoxesUntil(
        const std::function<bool(const std::vector<std::string>&)>& done,
        std::chrono::seconds patience = 60s, int answer = IDYES) {
        std::vector<std::string> shown;
        waitFor(
            [&] {
                if (HWND box = topLevelWindow(m_id, L"#32770")) {
                    if (m_firstBox < m_pressed) {
                        m_firstBox = std::chrono::steady_clock::now();
                    }
                    // Read once the box has its text, then answered.
                    std::this_thread::sleep_for(200ms);
                    shown.push_back(messageText(box));
                    PostMessageW(box, WM_COMMAND, GetDlgItem(box, IDYES) != nullptr ? answer : IDOK,
                                 0);
                    waitFor([box] { return !IsWindow(box); }, 10s);
                    return false;
                }
                return done(shown);
            },
            patience);
        return shown;
    }

    // Whether the program has ended; its exit status then.
    bool ended(int& status) const {
        DWORD code = 0;
        if (WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_process, &code)) {
            return false;
        }
        status = static_cast<int>(code);
        return true;
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
    std::chrono::steady_clock::time_point m_pressed;
    std::chrono::steady_clock::time_point m_firstBox;
};

}  // namespace testsupport
