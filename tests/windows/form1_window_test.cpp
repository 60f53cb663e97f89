// SPDX-License-Identifier: MIT
// The Windows main window in the test's own process, for what cannot be driven from outside:
// files dropped from Explorer (a drop's memory belongs to the receiving process), the keyboard on
// the source list, and what the window draws.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/win32/form1_win32.h"
#include "platform/widetext_win32.h"
#include "state/statefiles.h"
#include "support/tempfolder.h"
#include "windows/pixels.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

using testing::ElementsAre;
using testsupport::Pixels;

// Runs the messages waiting in the queue, as the program's loop would.
void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::vector<std::string> texts(core::ListView& list) {
    std::vector<std::string> all;
    for (int position = 1; position <= list.count(); ++position) {
        all.push_back(list.text(position));
    }
    return all;
}

// What Explorer hands a window when files are dropped on it: a DROPFILES block followed by the
// wide paths, each ending in a NUL, and a final NUL.
HDROP dropOf(const std::vector<std::string>& paths) {
    std::wstring names;
    for (const std::string& path : paths) {
        names += platform::Widen(path);
        names.push_back(L'\0');
    }
    names.push_back(L'\0');
    const SIZE_T size = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
                names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

class Form1Window : public testing::Test {
 protected:
    void SetUp() override {
        dir.write("one/a.doc");
        dir.write("one/b.docx");
        dir.write("two/c.doc");
        window = std::make_unique<app::win32::form1>(state::StateFiles(dir.mkdir("state")));
        ShowWindow(window->handle(), SW_SHOW);
        pumpMessages();
    }
    void TearDown() override { window.reset(); }

    HWND control(int id) const { return GetDlgItem(window->handle(), id); }

    testsupport::TempFolder dir;
    std::unique_ptr<app::win32::form1> window;
};

TEST_F(Form1Window, FilesDroppedOnTheSourceListAreAddedAndTheLastIsListed) {
    const std::string folder = dir / "one";
    const std::string file = dir / "two/c.doc";
    SendMessageW(control(app::win32::kListView1), WM_DROPFILES,
                 reinterpret_cast<WPARAM>(dropOf({folder, file})), 0);
    pumpMessages();
    core::MainControls controls = window->controls();
    EXPECT_THAT(texts(controls.ListView1), ElementsAre(folder, file));
    EXPECT_EQ(controls.ListView1.selectedPosition(), 2);
    EXPECT_THAT(texts(controls.ListView2), ElementsAre("c.doc"));
}

TEST_F(Form1Window, ArrowKeysOnTheSourceListListTheEntryTheyReach) {
    const std::string first = dir / "one";
    const std::string second = dir / "two";
    window->AddPaths({first, second});
    pumpMessages();
    core::MainControls controls = window->controls();
    ASSERT_THAT(texts(controls.ListView2), ElementsAre("c.doc"));

    HWND list = control(app::win32::kListView1);
    SetFocus(list);
    SendMessageW(list, WM_KEYDOWN, VK_UP, 0);
    SendMessageW(list, WM_KEYUP, VK_UP, 0);
    pumpMessages();
    EXPECT_EQ(controls.ListView1.selectedPosition(), 1);
    EXPECT_THAT(texts(controls.ListView2), ElementsAre("a.doc", "b.docx"));

    SendMessageW(list, WM_KEYDOWN, VK_END, 0);
    SendMessageW(list, WM_KEYUP, VK_END, 0);
    pumpMessages();
    EXPECT_EQ(controls.ListView1.selectedPosition(), 2);
    EXPECT_THAT(texts(controls.ListView2), ElementsAre("c.doc"));
}

TEST_F(Form1Window, HasAFixedBorderWithNeitherMinimiseNorMaximiseBoxAndTheProgramIcon) {
    HWND main = window->handle();
    const LONG_PTR style = GetWindowLongPtrW(main, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & WS_MINIMIZEBOX, 0) << "a minimise box";
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0) << "a maximise box";
    // Neither an edge nor a corner of the frame offers to resize the window.
    RECT frame;
    GetWindowRect(main, &frame);
    const LONG middleX = (frame.left + frame.right) / 2;
    const LONG middleY = (frame.top + frame.bottom) / 2;
    for (const POINT at :
         {POINT{frame.left, middleY}, POINT{frame.right - 1, middleY},
          POINT{middleX, frame.bottom - 1}, POINT{frame.right - 1, frame.bottom - 1}}) {
        EXPECT_EQ(SendMessageW(main, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)), HTBORDER)
            << "at " << at.x << ", " << at.y;
    }
    const int size = GetSystemMetrics(SM_CXSMICON);
    HICON icon = testsupport::CaptionIcon(main);
    ASSERT_NE(icon, nullptr);
    const Pixels program = testsupport::ProgramIconPixels(size, RGB(0, 128, 0));
    ASSERT_FALSE(program.colours.empty());
    EXPECT_TRUE(testsupport::IconPixels(icon, size, RGB(0, 128, 0)) == program);
}

TEST_F(Form1Window, APictureButtonsFocusMarkCrossesNoLetterOfItsCaption) {
    for (const int id : {app::win32::kCommand5, app::win32::kCommand1, app::win32::kCommand2,
                         app::win32::kCommand6, app::win32::kCommand8, app::win32::kCommand7,
                         app::win32::kCommand9}) {
        HWND button = control(id);
        wchar_t caption[64] = {};
        GetWindowTextW(button, caption, 64);
        SCOPED_TRACE(platform::Narrow(caption));
        SetFocus(button);
        pumpMessages();
        ASSERT_EQ(GetFocus(), button);
        const Pixels focused = testsupport::WindowPixels(button);
        SetFocus(control(app::win32::kListView1));
        pumpMessages();
        const Pixels plain = testsupport::WindowPixels(button);
        // A caption of one space keeps the layout of a button with a caption and draws no letter.
        SetWindowTextW(button, L" ");
        const Pixels blank = testsupport::WindowPixels(button);
        SetWindowTextW(button, caption);

        // The letters' box: every pixel that the caption changes on the face.
        RECT letters{plain.width, plain.height, -1, -1};
        for (int y = 0; y < plain.height; ++y) {
            for (int x = 0; x < plain.width; ++x) {
                if (plain.at(x, y) != blank.at(x, y)) {
                    letters =
                        RECT{std::min<LONG>(letters.left, x), std::min<LONG>(letters.top, y),
                             std::max<LONG>(letters.right, x), std::max<LONG>(letters.bottom, y)};
                }
            }
        }
        ASSERT_LE(letters.left, letters.right) << "no caption drawn";
        int marks = 0;
        int crossings = 0;
        for (int y = 0; y < plain.height; ++y) {
            for (int x = 0; x < plain.width; ++x) {
                if (focused.at(x, y) != plain.at(x, y)) {
                    ++marks;
                    const POINT at{x, y};
                    const RECT box{letters.left, letters.top, letters.right + 1,
                                   letters.bottom + 1};
                    crossings += PtInRect(&box, at) != 0 ? 1 : 0;
                }
            }
        }
        EXPECT_GT(marks, 0) << "no focus mark";
        EXPECT_EQ(crossings, 0) << "focus mark pixels within the caption's letters, which span "
                                << letters.left << "," << letters.top << " to " << letters.right
                                << "," << letters.bottom;
    }
}

}  // namespace
