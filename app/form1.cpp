// SPDX-License-Identifier: MIT
#include "app/form1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/comboboxadapter.h"
#include "app/fonts.h"
#include "app/formadapter.h"
#include "app/listviewadapter.h"
#include "app/picturebutton.h"
#include "app/pictures.h"
#include "app/progressbaradapter.h"
#include "app/shutdownwatcher.h"
#include "core/form1layout.h"
#include "core/listcommands.h"
#include "core/twips.h"
#include "core/windowlists.h"
#include "dialogs/choosers.h"
#include "dialogs/dialog1.h"
#include "dialogs/links.h"
#include "dialogs/programicon.h"
#include "dialogs/setting.h"
#include "dialogs/twips.h"
#include "platform/error.h"
#include "platform/gui/qtplatform.h"
#include "platform/msgbox.h"

namespace app {

namespace {

const char* const kCaption = "Pavendel";

constexpr int kLargeIcon = 48;
constexpr int kSmallIcon = 32;
constexpr int kListImage = 16;

QToolButton* pictureButton(QWidget* parent, const char* name, const char* caption,
                           const char* picture, int iconSize) {
    auto* button = new PictureButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(QLatin1String(caption));
    button->setIcon(PictureIcon(picture, {iconSize}));
    button->setIconSize(QSize(iconSize, iconSize));
    button->setFont(ArialFont(9.6));
    return button;
}

// The arrow buttons are narrower than the large arrow, so they show its small variant.
QToolButton* arrowButton(QWidget* parent, const char* name, const char* picture) {
    auto* button = new PictureButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(PictureIcon(picture, {kListImage, kSmallIcon}));
    button->setIconSize(QSize(kListImage, kListImage));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setFont(MsSansSerifFont(7.8));
    return button;
}

QTreeWidget* listView(QWidget* parent, const char* name) {
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setFont(ArialFont(8.4));
    tree->setAllColumnsShowFocus(true);
    return tree;
}

QMenu* menu(QMenuBar* bar, const char* name, const char* caption) {
    QMenu* entry = bar->addMenu(QLatin1String(caption));
    entry->setObjectName(QLatin1String(name));
    entry->menuAction()->setObjectName(QLatin1String(name));
    return entry;
}

QAction* item(QMenu* parent, const char* name, const char* caption) {
    QAction* action = parent->addAction(QLatin1String(caption));
    action->setObjectName(QLatin1String(name));
    return action;
}

}  // namespace

form1::form1(state::StateFiles stateFiles, QWidget* parent)
    : QMainWindow(parent),
      ImageList1(QSize(kListImage, kListImage)),
      m_stateFiles(std::move(stateFiles)) {
    UseMetricCompatibleFonts();
    setObjectName(QStringLiteral("form1"));
    setWindowTitle(QLatin1String(kCaption));
    setWindowIcon(dialogs::ProgramIcon());
    // A fixed single border: a title bar with the system menu and the close button only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFont(ArialFont(8.4));

    ImageList1.add(PictureIcon(pictures::kListDocument, {kListImage}));
    ImageList1.add(PictureIcon(pictures::kListFolder, {kListImage}));
    ImageList1.add(PictureIcon(pictures::kListMissing, {kListImage}));

    createControls();
    createMenus();
    placeControls();

    m_listView1 =
        std::make_unique<ListViewAdapter>(ListView1, ListViewAdapter::CheckBoxes::Without);
    m_listView2 = std::make_unique<ListViewAdapter>(ListView2, ListViewAdapter::CheckBoxes::With);
    m_combo2 = std::make_unique<ComboBoxAdapter>(Combo2);
    m_progressBar1 = std::make_unique<ProgressBarAdapter>(ProgressBar1);
    m_form = std::make_unique<FormAdapter>(this);
    m_module1 = std::make_unique<core::Module1>(controls());
    m_module1->SetStopCheck([this] { return m_run.stopHere(); });

    connectCommands();
    describeControls();

    Command5->setFocus();
    Form_Load();
}

form1::~form1() = default;

core::MainControls form1::controls() {
    return core::MainControls{*m_listView1, *m_listView2, *m_combo2, *m_progressBar1, *m_form};
}

platform::Hwnd form1::hWnd() const {
    return m_form->hWnd();
}

void form1::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Command5 = pictureButton(client, "Command5", "Add Folder", pictures::kAddFolder, kLargeIcon);
    Command1 = pictureButton(client, "Command1", "Add Word", pictures::kAddWord, kLargeIcon);
    Command2 = pictureButton(client, "Command2", "Remove File", pictures::kRemoveFile, kSmallIcon);
    Command6 = pictureButton(client, "Command6", "Convert", pictures::kConvert, kLargeIcon);
    Command8 = pictureButton(client, "Command8", "Help", pictures::kHelp, kSmallIcon);
    Command7 = pictureButton(client, "Command7", "HomePage", pictures::kHomePage, kLargeIcon);
    Command9 = pictureButton(client, "Command9", "Exit", pictures::kExit, kSmallIcon);

    ListView1 = listView(client, "ListView1");
    ListView2 = listView(client, "ListView2");

    Command3 = arrowButton(client, "Command3", pictures::kArrowUp);
    Command4 = arrowButton(client, "Command4", pictures::kArrowDown);

    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));

    Command11 = new QPushButton(QStringLiteral("View"), client);
    Command11->setObjectName(QStringLiteral("Command11"));
    Command11->setFont(ArialFont(8.4));
    Command11->setAutoDefault(false);

    Command10 = new QPushButton(QStringLiteral("Browse"), client);
    Command10->setObjectName(QStringLiteral("Command10"));
    Command10->setFont(ArialFont(9));
    Command10->setAutoDefault(false);

    Combo2 = new QComboBox(client);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setFont(ArialFont(8.4));

    Label1 = new QLabel(QStringLiteral("Select  output directory:"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(ArialFont(9));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void form1::createMenus() {
    QMenuBar* bar = menuBar();
    // Menus keep the desktop's menu font; the window's font is for its controls.
    bar->setFont(QApplication::font(bar));

    EE = menu(bar, "EE", "File");
    AddFolder = item(EE, "AddFolder", "Add Folder");
    AddExcel = item(EE, "AddExcel", "Add Word");

    FF = menu(bar, "FF", "Edit");
    RemoveItem = item(FF, "RemoveItem", "Remove Item");
    RemoveAll = item(FF, "RemoveAll", "Remove All Items");
    Removeoutput = item(FF, "Removeoutput", "Remove Current Output Directory");
    RemoveAllOutput = item(FF, "RemoveAllOutput", "Remove All Output Directory");

    Actions = menu(bar, "Actions", "Actions");
    Separate = item(Actions, "Separate", "Convert");

    // An entry of the bar itself: it acts when clicked and opens nothing.
    Settings = bar->addAction(QStringLiteral("Settings"));
    Settings->setObjectName(QStringLiteral("Settings"));

    Help = menu(bar, "Help", "Help");
    Help1 = item(Help, "Help1", "Help");
    HomePage = item(Help, "HomePage", "HomePage");
    About = item(Help, "About", "About");
}

void form1::placeControls() {
    const int dpiX = logicalDpiX();
    const int dpiY = logicalDpiY();
    QWidget* previous = nullptr;
    for (const core::ControlPlacement& p : core::kForm1Placements) {
        auto* widget = centralWidget()->findChild<QWidget*>(QLatin1String(p.name));
        widget->setGeometry(dialogs::TwipsRect(*this, p.left, p.top, p.width, p.height));
        if (previous != nullptr) {
            setTabOrder(previous, widget);
        }
        previous = widget;
    }

    const QSize client(core::TwipsToPixels(core::kForm1ClientWidth, dpiX),
                       core::TwipsToPixels(core::kForm1ClientHeight, dpiY));
    centralWidget()->setFixedSize(client);
    const int menuHeight =
        menuBar()->isNativeMenuBar() ? 0 : menuBar()->heightForWidth(client.width());
    setFixedSize(client.width(), client.height() + menuHeight);
}

void form1::Form_Load() {
    m_listView1->setSmallIcons(&ImageList1);

    const int dpiX = logicalDpiX();
    const auto addColumn = [dpiX](QTreeWidget* tree, const char* text, int widthTwips) {
        tree->headerItem()->setText(0, QLatin1String(text));
        tree->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
        tree->setColumnWidth(0, core::TwipsToPixels(widthTwips, dpiX));
    };
    addColumn(ListView1, core::kListView1Column, core::kListView1ColumnWidth);
    addColumn(ListView2, core::kListView2Column, core::kListView2ColumnWidth);

    core::RestoreLists(controls(), m_stateFiles);
}

void form1::Form_Unload() {
    const std::string message = core::SaveLists(controls(), m_stateFiles);
    // The window closes all the same: the user learns which list is lost, once.
    if (!message.empty()) {
        platform::MsgBox(message, platform::vbCritical, kCaption);
    }
}

void form1::connectCommands() {
    connect(Command1, &QToolButton::clicked, this, &form1::Command1_Click);
    connect(AddExcel, &QAction::triggered, this, &form1::AddExcel_Click);
    connect(Command5, &QToolButton::clicked, this, &form1::Command5_Click);
    connect(AddFolder, &QAction::triggered, this, &form1::AddFolder_Click);
    connect(Command10, &QPushButton::clicked, this, &form1::Command10_Click);
    connect(Command6, &QToolButton::clicked, this, &form1::Command6_Click);
    connect(Separate, &QAction::triggered, this, &form1::Separate_Click);
    connect(Command2, &QToolButton::clicked, this, &form1::Command2_Click);
    connect(Command3, &QToolButton::clicked, this, &form1::Command3_Click);
    connect(Command4, &QToolButton::clicked, this, &form1::Command4_Click);
    m_listView1->onUserSelectionChange([this] { ListView1_ItemClick(); });
    ListView1->viewport()->installEventFilter(this);
    ListView1->setAcceptDrops(true);
    ListView1->viewport()->setAcceptDrops(true);
    connect(ListView1, &QTreeWidget::itemClicked, this, &form1::sourceItemClicked);
    connect(RemoveItem, &QAction::triggered, this, &form1::RemoveItem_Click);
    connect(RemoveAll, &QAction::triggered, this, &form1::RemoveAll_Click);
    connect(Command11, &QPushButton::clicked, this, &form1::Command11_Click);
    connect(Removeoutput, &QAction::triggered, this, &form1::Removeoutput_Click);
    connect(RemoveAllOutput, &QAction::triggered, this, &form1::RemoveAllOutput_Click);
    connect(Command8, &QToolButton::clicked, this, &form1::Command8_Click);
    connect(Help1, &QAction::triggered, this, &form1::Help1_Click);
    connect(Command7, &QToolButton::clicked, this, &form1::Command7_Click);
    connect(HomePage, &QAction::triggered, this, &form1::HomePage_Click);
    connect(Settings, &QAction::triggered, this, &form1::Settings_Click);
    connect(About, &QAction::triggered, this, &form1::About_Click);
    connect(Command9, &QToolButton::clicked, this, &form1::Command9_Click);
}

// Names and descriptions for assistive technology; the caption-less arrow buttons also show
// theirs as tool tips.
void form1::describeControls() {
    struct Description {
        QWidget* widget;
        const char* name;
        const char* description;
    };
    const Description descriptions[] = {
        {Command5, "Add Folder", "Adds a folder to the source list and lists its Word documents"},
        {Command1, "Add Word", "Adds one Word file to the source list"},
        {Command2, "Remove File", "Removes the selected entry from the source list"},
        {Command6, "Convert",
         "Converts every ticked document into an RTF file in the output directory"},
        {Command8, "Help", "Opens the help"},
        {Command7, "HomePage", "Opens the program's home page"},
        {Command9, "Exit", "Saves the lists as the settings say and closes the program"},
        {ListView1, "Word files and folders to convert",
         "The selected entry's documents are listed beside it; the arrow keys, Home and End "
         "select another entry"},
        {ListView2, "Word documents",
         "Ticked documents are converted; Space ticks or clears the current document"},
        {Command3, "Move up", "Moves the selected source entry one place up"},
        {Command4, "Move down", "Moves the selected source entry one place down"},
        {ProgressBar1, "Conversion progress", "Documents of the current run done so far"},
        {Combo2, "Output directory",
         "The folder the RTF files are written to; the list holds earlier output directories"},
        {Command10, "Browse", "Chooses the output directory"},
        {Command11, "View", "Opens the output directory"},
        {Label1, "Select output directory", "Names the output directory box"},
    };
    for (const Description& d : descriptions) {
        d.widget->setAccessibleName(QLatin1String(d.name));
        d.widget->setAccessibleDescription(QLatin1String(d.description));
    }
    Command3->setToolTip(QStringLiteral("Move up"));
    Command4->setToolTip(QStringLiteral("Move down"));
    Label1->setBuddy(Combo2);
}

// The dialogs' failures end a command silently: the lists keep what was already done.
void form1::Command1_Click() {
    try {
        if (const std::optional<std::string> file = dialogs::ChooseWordFile(*this)) {
            core::AddSourceFile(*m_module1, controls(), *file);
        }
    } catch (const std::exception&) {
        m_form->setMousePointer(core::vbDefault);
    }
}

void form1::AddExcel_Click() {
    Command1_Click();
}

void form1::Command5_Click() {
    try {
        if (const std::optional<std::string> folder = dialogs::ChooseFolder(*this)) {
            core::AddSourceFolder(*m_module1, controls(), *folder);
        }
    } catch (const std::exception&) {
        m_form->setMousePointer(core::vbDefault);
    }
}

void form1::AddFolder_Click() {
    Command5_Click();
}

void form1::Command10_Click() {
    try {
        if (const std::optional<std::string> folder = dialogs::ChooseFolder(*this)) {
            core::AddOutputFolder(*m_combo2, *folder);
        }
    } catch (const std::exception&) {
        // A failing folder browser changes nothing.
    }
}

void form1::Command6_Click() {
    if (m_run.running()) {
        return;
    }
    {
        // While a document converts the window repaints and takes input, but input to this
        // window is held back (eventFilter) apart from Esc, which asks to stop; message boxes
        // of the run take their input as usual.
        const core::RunGuard::Scope run(
            m_run, [] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
        qApp->installEventFilter(this);
        m_module1->ConvertCheckedDocuments();
        qApp->removeEventFilter(this);
    }
    const core::RunGuard::After after = m_run.takeAfter();
    if (after.close) {
        close();
        return;
    }
    if (!after.paths.empty()) {
        AddPaths(after.paths);
    }
}

void form1::AddPaths(const std::vector<std::string>& paths) {
    if (m_run.holdBack(paths)) {
        return;
    }
    try {
        core::AddSourcePaths(*m_module1, controls(), paths);
    } catch (const std::exception&) {
        m_form->setMousePointer(core::vbDefault);
    }
}

void form1::Separate_Click() {
    Command6_Click();
}

void form1::Command2_Click() {
    core::RemoveSelectedSource(*m_module1, controls());
}

void form1::RemoveItem_Click() {
    Command2_Click();
}

void form1::Command3_Click() {
    core::MoveSelectedSourceUp(controls());
}

void form1::Command4_Click() {
    core::MoveSelectedSourceDown(controls());
}

void form1::ListView1_ItemClick() {
    ++m_sourceListings;
    core::ListSelectedSource(*m_module1, controls());
}

void form1::sourceItemClicked() {
    if (m_sourceListings == m_sourceListingsAtPress) {
        ListView1_ItemClick();
    }
}

namespace {

// The local files and folders of a drag, as paths; nothing when it carries anything else (text,
// addresses that are not local files), so that the drop cursor refuses it.
std::optional<std::vector<std::string>> droppedPaths(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().isEmpty()) {
        return std::nullopt;
    }
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty()) {
            return std::nullopt;
        }
        // The file system's own bytes, also for a name that is not UTF-8.
        paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    return paths;
}

}  // namespace

bool form1::isInputToThisWindow(QObject* watched, QEvent* event) const {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            break;
        default:
            return false;
    }
    // The window's own widgets, and its actions (shortcuts, menu entries); a message box of the
    // run is a window of its own.
    if (const auto* widget = qobject_cast<const QWidget*>(watched)) {
        return widget->window() == this;
    }
    return qobject_cast<const QAction*>(watched) != nullptr;
}

bool form1::eventFilter(QObject* watched, QEvent* event) {
    if (m_run.running() && isInputToThisWindow(watched, event)) {
        const auto* key =
            event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
        if (key != nullptr && key->key() == Qt::Key_Escape) {
            m_run.requestStop();
        }
        return true;
    }
    if (watched == ListView1->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                             event->type() == QEvent::MouseButtonDblClick)) {
        m_sourceListingsAtPress = m_sourceListings;
    }
    // Files and folders dropped from a file manager onto the source list, never during a run.
    if (watched == ListView1->viewport() &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<std::vector<std::string>> paths = droppedPaths(drop->mimeData());
        if (!paths || m_run.running()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop) {
            AddPaths(*paths);
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void form1::RemoveAll_Click() {
    core::RemoveAllSources(controls());
}

void form1::Command11_Click() {
    core::ViewOutputFolder(*m_combo2, hWnd());
}

void form1::Removeoutput_Click() {
    core::RemoveCurrentOutputFolder(*m_combo2);
}

void form1::RemoveAllOutput_Click() {
    core::RemoveAllOutputFolders(*m_combo2);
}

void form1::Command8_Click() {
    dialogs::OpenHelpFile(hWnd());
}

void form1::Help1_Click() {
    Command8_Click();
}

void form1::Command7_Click() {
    dialogs::OpenHomePage(hWnd());
}

void form1::HomePage_Click() {
    Command7_Click();
}

void form1::Settings_Click() {
    dialogs::ShowSettings(m_stateFiles);
}

void form1::About_Click() {
    dialogs::ShowAbout();
}

void form1::Command9_Click() {
    close();
}

void form1::closeEvent(QCloseEvent* event) {
    // During a run the window closes when the run has ended. The user who closes it is asked
    // at the next document whether to stop there; the end of the session (or a termination
    // request) lets the run finish.
    if (m_run.running()) {
        m_run.requestClose(qApp->property(kShuttingDown).toBool());
        event->ignore();
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
}

}  // namespace app
