// SPDX-License-Identifier: MIT
// The settings dialog and the About box of the Windows build, shown for real (under Wine in the
// Windows test run). Each dialog runs its modal loop on the test's thread while a helper thread
// works it as a user would: keys and clicks are posted to its controls, so they pass through the
// dialog's own loop, and the helper waits for what they do with a time limit.
#include "dialogs/links.h"
#include "platform/msgbox.h"
#include "platform/shell.h"
#include "state/statefiles.h"
#include "support/tempfolder.h"

// After shell.h, whose show commands windows.h defines as macros of the same names and values;
// before the program's Win32 headers, which need it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/win32/dialog1_win32.h"
#include "app/win32/setting_win32.h"
#include "core/twips.h"
#include "dialogs/resources/hand.xpm"
#include "platform/widetext_win32.h"
#include "platform/window_win32.h"
#include "windows/pixels.h"

namespace {

using testsupport::Pixels;

constexpr auto kTimeLimit = std::chrono::seconds(20);
constexpr COLORREF kGreen = RGB(0, 128, 0);

// Polls condition() until it holds or the time limit has passed; returns whether it held.
bool waitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kTimeLimit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

struct TitleSearch {
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TitleSearch*>(param);
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    if (IsWindowVisible(window) != 0 && std::wstring(text) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND shownWindow(DWORD thread, const wchar_t* title) {
    TitleSearch search{title, nullptr};
    EnumThreadWindows(thread, matchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND focusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) != 0 ? info.hwndFocus : nullptr;
}

// A control of the dialog by its text; a missing one fails the test.
HWND control(HWND dialog, const wchar_t* text) {
    HWND found = FindWindowExW(dialog, nullptr, nullptr, text);
    EXPECT_NE(found, nullptr) << platform::Narrow(text);
    return found;
}

void postKey(HWND target, WPARAM key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

void pressCloseBox(HWND dialog) {
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool ticked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Shows a dialog with show() on this thread while drive() works it from a helper thread, given
// the dialog's window once it is shown. The dialog must be gone when drive() returns or soon
// after; otherwise the test fails and a WM_QUIT ends the dialog's loop.
void driveDialog(const wchar_t* title, const std::function<void()>& show,
                 const std::function<void(HWND dialog)>& drive) {
    const DWORD thread = GetCurrentThreadId();
    std::thread helper([&] {
        HWND dialog = nullptr;
        if (!waitFor([&] { return (dialog = shownWindow(thread, title)) != nullptr; })) {
            ADD_FAILURE() << "no dialog appeared";
            return;
        }
        drive(dialog);
        if (!waitFor([&] { return IsWindow(dialog) == 0; })) {
            ADD_FAILURE() << "the dialog did not close";
            PostThreadMessageW(thread, WM_QUIT, 0, 0);
        }
    });
    show();
    helper.join();
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

std::optional<std::string> storedSettings(const testsupport::TempFolder& folder) {
    if (GetFileAttributesW(platform::Widen(folder / "set.txt").c_str()) ==
        INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return folder.read("set.txt");
}

constexpr const wchar_t* kCheck1 = L"Automatically save the current file";
constexpr const wchar_t* kCheck2 = L"Automatically save the output directory";

TEST(SettingsDialog, ShowsTheStoredSettingsAndOkStoresTheBoxTickedWithTheKeyboard) {
    struct Case {
        std::optional<std::string> before;
        bool shown1, shown2;
        std::string after;
    };
    for (const Case& c :
         {Case{"1\r\n0\r\n", true, false, "1\r\n1\r\n"}, Case{"0\n1\n", false, true, "0\r\n0\r\n"},
          Case{"true\r\n1 \r\n", false, false, "0\r\n1\r\n"}, Case{"1", true, false, "1\r\n1\r\n"},
          Case{std::nullopt, false, false, "0\r\n1\r\n"}}) {
        SCOPED_TRACE(c.before.value_or("(no file)"));
        testsupport::TempFolder folder;
        if (c.before) {
            folder.write("set.txt", *c.before);
        }
        const DWORD thread = GetCurrentThreadId();
        driveDialog(
            L"Setting", [&] { app::win32::ShowSettings(state::StateFiles(folder.path())); },
            [&](HWND dialog) {
                HWND ok = control(dialog, L"OK");
                HWND check2 = control(dialog, kCheck2);
                EXPECT_EQ(ticked(control(dialog, kCheck1)), c.shown1);
                EXPECT_EQ(ticked(check2), c.shown2);
                // Tab goes from OK to Cancel, the first box and the second; Space ticks it.
                EXPECT_TRUE(waitFor([&] { return focusOf(thread) == ok; }));
                for (const wchar_t* next : {L"Cancel", kCheck1, kCheck2}) {
                    postKey(focusOf(thread), VK_TAB);
                    EXPECT_TRUE(waitFor([&] { return focusOf(thread) == control(dialog, next); }))
                        << platform::Narrow(next);
                }
                postKey(check2, VK_SPACE);
                EXPECT_TRUE(waitFor([&] { return ticked(check2) != c.shown2; }));
                PostMessageW(ok, BM_CLICK, 0, 0);
            });
        EXPECT_EQ(storedSettings(folder), c.after);
    }
}

TEST(SettingsDialog, CancelAndTheCloseBoxStoreNothing) {
    for (const bool byCancel : {true, false}) {
        SCOPED_TRACE(byCancel ? "Cancel" : "close box");
        testsupport::TempFolder folder;
        folder.write("set.txt", "1\r\n0\r\n");
        driveDialog(
            L"Setting", [&] { app::win32::ShowSettings(state::StateFiles(folder.path())); },
            [&](HWND dialog) {
                HWND check1 = control(dialog, kCheck1);
                PostMessageW(check1, BM_CLICK, 0, 0);
                PostMessageW(control(dialog, kCheck2), BM_CLICK, 0, 0);
                EXPECT_TRUE(waitFor([&] { return !ticked(check1); }));
                if (byCancel) {
                    PostMessageW(control(dialog, L"Cancel"), BM_CLICK, 0, 0);
                } else {
                    pressCloseBox(dialog);
                }
            });
        EXPECT_EQ(storedSettings(folder), "1\r\n0\r\n");
    }
}

TEST(SettingsDialog, EnterAndEscapePressNoButton) {
    testsupport::TempFolder folder;
    folder.write("set.txt", "0\r\n0\r\n");
    driveDialog(
        L"Setting", [&] { app::win32::ShowSettings(state::StateFiles(folder.path())); },
        [&](HWND dialog) {
            HWND check1 = control(dialog, kCheck1);
            for (const wchar_t* name : {L"OK", L"Cancel", kCheck1}) {
                for (const WPARAM key : {VK_ESCAPE, VK_RETURN}) {
                    postKey(control(dialog, name), key);
                }
            }
            // Posted messages are handled in order: once the box is ticked, the keys are done.
            PostMessageW(check1, BM_CLICK, 0, 0);
            EXPECT_TRUE(waitFor([&] { return ticked(check1); }));
            EXPECT_TRUE(IsWindowVisible(dialog));
            pressCloseBox(dialog);
        });
    EXPECT_EQ(storedSettings(folder), "0\r\n0\r\n");
}

TEST(SettingsDialog, ReportsASettingsFileItCannotWriteAndCloses) {
    testsupport::TempFolder folder;
    const std::string missing = folder / "no such folder";
    std::vector<std::string> messages;
    const platform::MessageBoxBackend previous = platform::SetMessageBoxBackend(
        [&](const std::string& prompt, int style, const std::string& title) {
            EXPECT_EQ(style, platform::vbCritical);
            EXPECT_EQ(title, "Pavendel");
            messages.push_back(prompt);
            return platform::vbOK;
        });
    driveDialog(
        L"Setting", [&] { app::win32::ShowSettings(state::StateFiles(missing)); },
        [&](HWND dialog) { PostMessageW(control(dialog, L"OK"), BM_CLICK, 0, 0); });
    platform::SetMessageBoxBackend(previous);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("The settings could not be saved to " + missing, 0), 0u)
        << messages[0];
}

TEST(SettingsDialog, DisablesTheThreadsOtherWindowsWhileShown) {
    const auto topLevel = [](bool enabled) {
        return CreateWindowExW(0, L"STATIC", L"other",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE | (enabled ? 0 : WS_DISABLED), 0, 0,
                               200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    };
    HWND mainWindow = topLevel(true);
    HWND alreadyDisabled = topLevel(false);
    ASSERT_NE(mainWindow, nullptr);
    testsupport::TempFolder folder;
    driveDialog(
        L"Setting", [&] { app::win32::ShowSettings(state::StateFiles(folder.path())); },
        [&](HWND dialog) {
            EXPECT_FALSE(IsWindowEnabled(mainWindow));
            EXPECT_TRUE(IsWindowEnabled(dialog));
            PostMessageW(control(dialog, L"Cancel"), BM_CLICK, 0, 0);
        });
    EXPECT_TRUE(IsWindowEnabled(mainWindow));
    EXPECT_FALSE(IsWindowEnabled(alreadyDisabled));
    DestroyWindow(alreadyDisabled);
    DestroyWindow(mainWindow);
}

// Twips as pixels at the screen's resolution.
int pixels(int twips) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return core::TwipsToPixels(twips, dpi);
}

struct FixedDialog {
    const wchar_t* title;
    std::function<void()> show;
    int left, top, width, height;
};

TEST(FixedDialogs, OpenAtTheirPlaceOnTheScreenWithTheProgramIconAndOnlyACloseBox) {
    testsupport::TempFolder folder;
    const FixedDialog dialogs[] = {
        {L"Setting", [&] { app::win32::ShowSettings(state::StateFiles(folder.path())); }, 2760,
         3756, 3732, 1560},
        {L"About us", app::win32::ShowAbout, 2760, 3600, 4908, 4116},
    };
    const int iconSize = GetSystemMetrics(SM_CXSMICON);
    const Pixels programIcon = testsupport::ProgramIconPixels(iconSize, kGreen);
    ASSERT_FALSE(programIcon.colours.empty()) << "the test program has no program icon";
    for (const FixedDialog& d : dialogs) {
        SCOPED_TRACE(platform::Narrow(d.title));
        driveDialog(d.title, d.show, [&](HWND dialog) {
            POINT corner{0, 0};
            ClientToScreen(dialog, &corner);
            EXPECT_EQ(corner.x, pixels(d.left));
            EXPECT_EQ(corner.y, pixels(d.top));
            RECT client;
            GetClientRect(dialog, &client);
            EXPECT_EQ(client.right, pixels(d.width));
            EXPECT_EQ(client.bottom, pixels(d.height));
            const LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
            EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
            EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
            HICON icon = testsupport::CaptionIcon(dialog);
            EXPECT_TRUE(icon != nullptr &&
                        testsupport::IconPixels(icon, iconSize, kGreen) == programIcon);
            pressCloseBox(dialog);
        });
    }
}

// The hand of the Qt build (dialogs/resources/hand.xpm: a size line, a line per colour, then
// the rows) over the background, as a pointer made from it looks.
Pixels handPicture(COLORREF background) {
    int width = 0;
    int height = 0;
    int colours = 0;
    std::sscanf(hand_xpm[0], "%d %d %d", &width, &height, &colours);
    std::map<char, COLORREF> colourOf;
    for (int c = 1; c <= colours; ++c) {
        const std::string entry = hand_xpm[c];
        const std::size_t hash = entry.find('#');
        const unsigned long rgb =
            hash == std::string::npos ? 0 : std::stoul(entry.substr(hash + 1), nullptr, 16);
        colourOf[entry[0]] =
            hash == std::string::npos ? background : RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    Pixels picture{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            picture.colours.push_back(colourOf[hand_xpm[1 + colours + y][x]]);
        }
    }
    return picture;
}

HCURSOR shownPointer() {
    CURSORINFO info{};
    info.cbSize = sizeof(info);
    return GetCursorInfo(&info) != 0 ? info.hCursor : nullptr;
}

// Moves the pointer onto the middle of window by way of the screen's corner: a move to where
// the pointer already is asks no window for its pointer.
void movePointerOnto(HWND window) {
    RECT area;
    GetWindowRect(window, &area);
    SetCursorPos(0, 0);
    SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
}

TEST(AboutBox, LinksAreInTheHighlightColourAndShowTheHandPointer) {
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    driveDialog(L"About us", app::win32::ShowAbout, [&](HWND dialog) {
        HWND ok = control(dialog, L"OK");
        // The pointer shown is the one the foreground window's thread asks for; a window that a
        // process ending just before left in front would otherwise keep it.
        SetForegroundWindow(dialog);
        EXPECT_TRUE(waitFor([&] { return GetForegroundWindow() == dialog; }));
        for (HWND link :
             {control(dialog, L"support@example.org"), control(dialog, L"pavendel.example.org/")}) {
            const Pixels shown = testsupport::WindowPixels(link);
            int highlighted = 0;
            int black = 0;
            for (const COLORREF colour : shown.colours) {
                highlighted += colour == highlight ? 1 : 0;
                black += colour == text ? 1 : 0;
            }
            EXPECT_GT(highlighted, 10) << "letters in the highlight colour";
            EXPECT_EQ(black, 0) << "letters in the text colour";

            movePointerOnto(ok);
            EXPECT_TRUE(waitFor([&] { return shownPointer() == arrow; })) << "no arrow over OK";
            movePointerOnto(link);
            ASSERT_TRUE(waitFor([&] { return shownPointer() != arrow; }))
                << "the pointer did not change over the link";
            HCURSOR hand = shownPointer();
            ICONINFO info{};
            ASSERT_NE(GetIconInfo(hand, &info), 0);
            EXPECT_FALSE(info.fIcon);
            EXPECT_EQ(info.xHotspot, 12u) << "the fingertip is the hot spot";
            EXPECT_EQ(info.yHotspot, 1u);
            DeleteObject(info.hbmMask);
            DeleteObject(info.hbmColor);
            EXPECT_TRUE(testsupport::IconPixels(hand, 32, kGreen) == handPicture(kGreen));
        }
        PostMessageW(ok, BM_CLICK, 0, 0);
    });
}

struct ShellCall {
    platform::Hwnd owner;
    std::string operation, file;
    int showCommand;
};

TEST(AboutBox, LinksOpenTheMailAndTheHomePageOnAClick) {
    std::vector<ShellCall> calls;
    const platform::ShellBackend previous = platform::SetShellBackend(
        [&](platform::Hwnd owner, const std::string& operation, const std::string& file,
            const std::string&, const std::string&, int showCommand) -> std::intptr_t {
            calls.push_back({owner, operation, file, showCommand});
            return 33;
        });
    HWND shown = nullptr;
    driveDialog(L"About us", app::win32::ShowAbout, [&](HWND dialog) {
        shown = dialog;
        HWND support = control(dialog, L"support@example.org");
        HWND homePage = control(dialog, L"pavendel.example.org/");
        RECT area;
        GetClientRect(support, &area);
        // Released off the link: no click.
        PostMessageW(support, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(support, WM_LBUTTONUP, 0, MAKELPARAM(area.right + 5, 2));
        for (HWND link : {support, homePage}) {
            PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        }
        PostMessageW(control(dialog, L"OK"), BM_CLICK, 0, 0);
    });
    platform::SetShellBackend(previous);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].owner, platform::FromHWND(shown));
    EXPECT_EQ(calls[0].operation, "open");
    EXPECT_EQ(calls[0].file, std::string("mailto:") + dialogs::kSupportAddress);
    EXPECT_EQ(calls[0].showCommand, SW_SHOWMAXIMIZED);
    EXPECT_EQ(calls[1].operation, "open");
    EXPECT_EQ(calls[1].file, dialogs::kHomePage);
    EXPECT_EQ(calls[1].showCommand, SW_SHOW);
}

TEST(AboutBox, OkEnterEscapeAndTheCloseBoxCloseIt) {
    const DWORD thread = GetCurrentThreadId();
    const std::function<void(HWND)> ways[] = {
        [](HWND dialog) { PostMessageW(control(dialog, L"OK"), BM_CLICK, 0, 0); },
        [&](HWND dialog) {
            // OK has the focus, so Enter reaches it.
            HWND ok = control(dialog, L"OK");
            EXPECT_TRUE(waitFor([&] { return focusOf(thread) == ok; }));
            postKey(ok, VK_RETURN);
        },
        [](HWND dialog) { postKey(control(dialog, L"OK"), VK_ESCAPE); },
        pressCloseBox,
    };
    for (const auto& close : ways) {
        driveDialog(L"About us", app::win32::ShowAbout, close);
    }
}

}  // namespace
