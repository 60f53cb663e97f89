// SPDX-License-Identifier: MIT
// The Windows main window in the test's own process, for what cannot be driven from outside:
// files dropped from Explorer (a drop's memory belongs to the receiving process) and the
// keyboard on the source list.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/win32/form1_win32.h"
#include "platform/widetext_win32.h"
#include "state/statefiles.h"
#include "support/tempfolder.h"

#include <shellapi.h>
#include <shlobj.h>

namespace {

using testing::ElementsAre;

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

}  // namespace
