// SPDX-License-Identifier: MIT
// form1 on Windows: the program's main window drawn with the system's own controls, at the
// places the form was laid out in (core/form1layout.h), with the same commands as the Qt window
// and the same module procedures behind them.
//
// Seven picture buttons along the top, the source list ListView1 and the document list ListView2
// (with check boxes) with the arrow buttons between them, the output-folder row (Label1, Combo2,
// Browse, View) above ProgressBar1, and the menu bar. Every change of the source list's
// selection that the user makes lists the selected entry's documents, once; a click on the entry
// that is already selected lists it again.
//
// During a run the window repaints and its progress bar moves, but input to its controls and
// its commands are held back; Esc or closing the window asks at the next document whether to
// stop, and a close is carried out when the run stops or ends.
#pragma once

#include <windows.h>
// (windows.h first: the declarations below use its types.)
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "app/win32/controls_win32.h"
#include "core/controls.h"
#include "core/module1.h"
#include "core/runguard.h"
#include "platform/window.h"
#include "state/statefiles.h"

namespace app::win32 {

// The window class, by which tests and later starts find the window.
inline constexpr const wchar_t* kForm1Class = L"PavendelForm1";

// Control identifiers: the commands keep the numbers of their names.
enum ControlId : int {
    kCommand1 = 101,
    kCommand2,
    kCommand3,
    kCommand4,
    kCommand5,
    kCommand6,
    kCommand7,
    kCommand8,
    kCommand9,
    kCommand10,
    kCommand11,
    kListView1 = 201,
    kListView2,
    kCombo2,
    kProgressBar1,
    kLabel1,
};

// Menu entries.
enum MenuId : int {
    kAddFolder = 301,
    kAddExcel,
    kRemoveItem,
    kRemoveAll,
    kRemoveoutput,
    kRemoveAllOutput,
    kSeparate,
    kSettings,
    kHelp1,
    kHomePage,
    kAbout,
};

class form1 final : public platform::WindowOwner {
 public:
    // Creates the window (hidden) and runs Form_Load with the state files in the given folder.
    explicit form1(state::StateFiles stateFiles);
    ~form1() override;
    form1(const form1&) = delete;
    form1& operator=(const form1&) = delete;

    HWND handle() const { return m_window; }
    platform::Hwnd hWnd() const override;
    core::MainControls controls();

    // Adds paths given from outside the window (the command line, a drop) as Add Word and Add
    // Folder would; during a run they wait until it has ended.
    void AddPaths(const std::vector<std::string>& paths);

    // Hands a message of the program's message loop to the window's keyboard navigation (Tab
    // between the controls); true when it was handled there.
    bool preTranslate(MSG& message);

 private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    static LRESULT CALLBACK controlProcedure(HWND control, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR data);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleControl(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    void createControls();
    void createMenus();
    void Form_Load();
    void Form_Unload();
    void command(int id, int code);
    void notify(const NMHDR& header);
    void drawPictureButton(const DRAWITEMSTRUCT& item);

    // Source and document lists.
    void Command1_Click();
    void Command5_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void ListView1_ItemClick();
    void RemoveAll_Click();
    // Conversion.
    void Command6_Click();
    // Output folders.
    void Command10_Click();
    void Command11_Click();
    void Removeoutput_Click();
    void RemoveAllOutput_Click();
    // Help, home page, settings, About and Exit.
    void Command8_Click();
    void Command7_Click();
    void Settings_Click();
    void About_Click();
    void Command9_Click();

    // Runs the messages waiting in the queue: the window repaints, and its held-back input is
    // dropped by the controls themselves.
    void pumpMessages();
    void close();

    HWND m_window = nullptr;
    state::StateFiles m_stateFiles;
    HFONT m_buttonFont = nullptr;
    HFONT m_listFont = nullptr;
    HFONT m_labelFont = nullptr;
    HIMAGELIST m_smallIcons = nullptr;
    struct Picture {
        HWND button;
        HICON icon;
        int size;
    };
    std::vector<Picture> m_pictures;
    std::unique_ptr<ListViewControl> m_listView1;
    std::unique_ptr<ListViewControl> m_listView2;
    std::unique_ptr<ComboBoxControl> m_combo2;
    std::unique_ptr<ProgressBarControl> m_progressBar1;
    std::unique_ptr<FormControl> m_form;
    std::unique_ptr<core::Module1> m_module1;
    bool m_unloaded = false;
    // Listings of the selected source entry so far, and their number when the mouse button last
    // went down on the source list; a listing for a change of selection is posted, so that the
    // two notifications of one change list the entry once.
    int m_sourceListings = 0;
    int m_sourceListingsAtPress = 0;
    bool m_listingPosted = false;
    // The Convert run under way, if any, and what the user asked for during it.
    core::RunGuard m_run;
};

}  // namespace app::win32
