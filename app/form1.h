// SPDX-License-Identifier: MIT
// form1, the program's only main window.
//
// Three bands: seven picture buttons along the top (Command5 Add Folder, Command1 Add Word,
// Command2 Remove File, Command6 Convert, Command8 Help, Command7 HomePage, Command9 Exit); the
// source list ListView1 and the document list ListView2 with the arrow buttons Command3 and
// Command4 between them; the output-folder row (Label1, Combo2, Command10 Browse, Command11
// View) above ProgressBar1. The menu bar repeats most commands.
//
// The window owns its widgets, and the lists live only in them. The module procedures of core/
// never see a widget: they work on core::MainControls, the adapters over ListView1, ListView2,
// Combo2, ProgressBar1 and the window itself (mouse pointer and handle). A handler here reads
// its input from the controls, calls into core/ with controls(), and core/ writes its results
// back through the same adapters; Convert, for instance, reads the boxes of ListView2 and the
// text of Combo2 and drives ProgressBar1 and the hourglass.
//
// The document list always shows the documents of the selected source entry: every change of
// the selection that the user makes (a click, the arrow keys, Home, End, Page Up and Down,
// type-ahead, Ctrl+click leaving nothing selected) runs ListView1_ItemClick, and a click on the
// entry that is already selected runs it too, once per click. The commands that select an entry
// themselves list it themselves, once.
//
// Start: the constructor builds the window and runs Form_Load, which restores the source list
// and the output-folder history from the state files. Stop: however the window is closed
// (Exit, the title bar, a termination signal, the end of the session), closeEvent runs
// Form_Unload once, which saves the lists as set.txt says.
#pragma once

#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/imagelist.h"
#include "core/controls.h"
#include "core/module1.h"
#include "core/runguard.h"
#include "platform/window.h"
#include "state/statefiles.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace app {

class ComboBoxAdapter;
class FormAdapter;
class ListViewAdapter;
class ProgressBarAdapter;

class form1 : public QMainWindow, public platform::WindowOwner {
    Q_OBJECT

 public:
    // Builds the window and runs Form_Load with the state files in the given folder.
    explicit form1(state::StateFiles stateFiles, QWidget* parent = nullptr);
    ~form1() override;

    // Adds paths given from outside the window (the command line, another start of the program,
    // a drop) to the source list as Add Word and Add Folder would, and lists the last one. While
    // a run is under way they wait until it has ended, so that a run's lists never change under
    // it.
    void AddPaths(const std::vector<std::string>& paths);

    // The controls as the module procedures see them.
    core::MainControls controls();
    const state::StateFiles& stateFiles() const { return m_stateFiles; }
    platform::Hwnd hWnd() const override;

    // The controls by their names in the program; the window owns them.
    QToolButton* Command5 = nullptr;   // "Add Folder"
    QToolButton* Command1 = nullptr;   // "Add Word"
    QToolButton* Command2 = nullptr;   // "Remove File"
    QToolButton* Command6 = nullptr;   // "Convert"
    QToolButton* Command8 = nullptr;   // "Help"
    QToolButton* Command7 = nullptr;   // "HomePage"
    QToolButton* Command9 = nullptr;   // "Exit"
    QTreeWidget* ListView1 = nullptr;  // source list
    QTreeWidget* ListView2 = nullptr;  // document list, with check boxes
    QToolButton* Command3 = nullptr;   // move the selected source entry up
    QToolButton* Command4 = nullptr;   // move it down
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Command11 = nullptr;  // "View"
    QPushButton* Command10 = nullptr;  // "Browse"
    QComboBox* Combo2 = nullptr;       // output folder and its history
    QLabel* Label1 = nullptr;
    // Small icons of ListView1, numbered from 1.
    ImageList ImageList1;
    static constexpr int kImageDocument = 1;  // an existing file
    static constexpr int kImageFolder = 2;    // an existing folder
    static constexpr int kImageMissing = 3;   // a path that names nothing

    // The menu bar, by the names of its entries.
    QMenu* EE = nullptr;  // "File"
    QAction* AddFolder = nullptr;
    QAction* AddExcel = nullptr;
    QMenu* FF = nullptr;  // "Edit"
    QAction* RemoveItem = nullptr;
    QAction* RemoveAll = nullptr;
    QAction* Removeoutput = nullptr;
    QAction* RemoveAllOutput = nullptr;
    QMenu* Actions = nullptr;
    QAction* Separate = nullptr;
    QAction* Settings = nullptr;  // a top-level entry without items
    QMenu* Help = nullptr;
    QAction* Help1 = nullptr;
    QAction* HomePage = nullptr;
    QAction* About = nullptr;

 public Q_SLOTS:
    // Source and document lists.
    void Command1_Click();
    void Command5_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void ListView1_ItemClick();
    void RemoveAll_Click();
    void RemoveItem_Click();
    void AddExcel_Click();
    void AddFolder_Click();
    // Conversion.
    void Command6_Click();
    void Separate_Click();
    // Output folders.
    void Command10_Click();
    void Command11_Click();
    void Removeoutput_Click();
    void RemoveAllOutput_Click();
    // Help, home page, settings, About and Exit.
    void Command8_Click();
    void Help1_Click();
    void Command7_Click();
    void HomePage_Click();
    void Settings_Click();
    void About_Click();
    void Command9_Click();

 protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

 private:
    void createControls();
    void createMenus();
    void placeControls();
    void Form_Load();
    void Form_Unload();
    void connectCommands();
    void describeControls();
    // A click on a source entry that did not change the selection lists the entry again.
    void sourceItemClicked();

    state::StateFiles m_stateFiles;
    std::unique_ptr<ListViewAdapter> m_listView1;
    std::unique_ptr<ListViewAdapter> m_listView2;
    std::unique_ptr<ComboBoxAdapter> m_combo2;
    std::unique_ptr<ProgressBarAdapter> m_progressBar1;
    std::unique_ptr<FormAdapter> m_form;
    std::unique_ptr<core::Module1> m_module1;
    bool m_unloaded = false;
    // Listings of the selected source entry so far, and their number when the mouse button last
    // went down on the source list: a click whose press already listed the entry (by selecting
    // it) does not list it a second time.
    int m_sourceListings = 0;
    int m_sourceListingsAtPress = 0;
    // The Convert run under way, if any, and what the user asked for during it.
    core::RunGuard m_run;
    // Whether an event is input to this window, which waits during a run.
    bool isInputToThisWindow(QObject* watched, QEvent* event) const;
};

}  // namespace app
