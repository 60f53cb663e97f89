// SPDX-License-Identifier: MIT
// The program on Windows: the main window, with the paths given on the command line added to
// its source list, and the message loop.
#include <windows.h>
// (windows.h first: the headers below need its declarations.)
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "app/win32/form1_win32.h"
#include "automation/systemobject.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/widetext_win32.h"
#include "state/statefiles.h"

namespace {

// The command line's arguments after the program's own name, as full paths: the source list
// outlives the working folder.
std::vector<std::string> givenPaths() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> paths;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        std::wstring argument = arguments[i];
        if (argument.empty()) {
            continue;
        }
        std::wstring full(MAX_PATH, L'\0');
        DWORD length = GetFullPathNameW(argument.c_str(), static_cast<DWORD>(full.size()),
                                        full.data(), nullptr);
        if (length > full.size()) {
            full.resize(length);
            length = GetFullPathNameW(argument.c_str(), length, full.data(), nullptr);
        }
        full.resize(length);
        paths.push_back(platform::Narrow(length != 0 ? full : argument));
    }
    LocalFree(arguments);
    return paths;
}

int run() {
    // Shorter deadlines for Word, for tests and diagnosis.
    wchar_t deadlines[64] = {};
    if (GetEnvironmentVariableW(L"PAVENDEL_WORD_DEADLINES", deadlines, 64) > 0) {
        if (const auto chosen = automation::ParseWordDeadlines(platform::Narrow(deadlines))) {
            automation::SetSystemObjectDeadlines(*chosen);
        }
    }
    // The window's thread is a single-threaded apartment, as Word's automation and the folder
    // browser need.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    state::StateFiles stateFiles(platform::stateFolder());
    stateFiles.CreateOnFirstStart();
    int result = 0;
    {
        app::win32::form1 window(std::move(stateFiles));
        ShowWindow(window.handle(), SW_SHOWNORMAL);
        UpdateWindow(window.handle());
        if (const std::vector<std::string> paths = givenPaths(); !paths.empty()) {
            window.AddPaths(paths);
        }
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (!window.preTranslate(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        result = static_cast<int>(message.wParam);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return run();
    } catch (const std::exception& error) {
        platform::MsgBox(std::string("Pavendel could not start: ") + error.what(),
                         platform::vbCritical, "Pavendel");
        return 1;
    }
}
