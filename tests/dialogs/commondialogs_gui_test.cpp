// SPDX-License-Identifier: MIT
// CCommonDialogs over the real Qt dialogs. A short timer finds each dialog once it is modal,
// reads what it shows and closes it the way a user would; the checks run after the call returns.
// With PAVENDEL_DIALOG_SHOTS naming a folder, a picture of each dialog is kept there.
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "dialogs/commondialogs.h"
#include "platform/gui/qtcommondialogs.h"
#include "platform/gui/qtplatform.h"
#include "support/recorders.h"

using platform::gui::FromQString;
using platform::gui::ToQString;

namespace {

class OwnerForm : public QWidget, public platform::WindowOwner {
 public:
    platform::Hwnd hWnd() const override {
        return platform::gui::HwndOf(const_cast<OwnerForm*>(this));
    }
};

// Confirms a dialog as its OK button does (QFileDialog keeps its own accept() protected). One
// that refuses to close is cancelled, so that a wrong answer fails the test instead of hanging it.
void accept(QDialog* dialog) {
    dialog->accept();
    if (dialog->isVisible()) {
        dialog->reject();
    }
}

// Opens the file's folder, drops the selection in the file list and types the name, as a user
// does. (selectFile() leaves the name field alone while it has the focus.)
void typeFileName(QFileDialog* dialog, const QString& path) {
    const QFileInfo file(path);
    dialog->setDirectory(file.absolutePath());
    for (QAbstractItemView* view : dialog->findChildren<QAbstractItemView*>()) {
        view->clearSelection();
    }
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QVERIFY(name != nullptr);
    name->setText(file.fileName());
}

void keepPicture(QWidget* dialog, const QString& name) {
    const QString folder = qEnvironmentVariable("PAVENDEL_DIALOG_SHOTS");
    if (folder.isEmpty()) {
        return;
    }
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCoreApplication::processEvents();
    // The window frame too, where a window manager draws one with the caption.
    const QRect frame = dialog->frameGeometry();
    QPixmap picture =
        dialog->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull()) {
        picture = dialog->grab();
    }
    QVERIFY(picture.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

}  // namespace

class CommonDialogsGuiTest : public QObject {
    Q_OBJECT

 private:
    // Hands the next modal dialog of type Dialog to handle once it shows. Any other modal widget
    // is noted and closed, so that a wrong dialog cannot block the test.
    template <typename Dialog>
    void whenShown(std::function<void(Dialog*)> handle) {
        auto* timer = new QTimer(this);
        timer->setInterval(10);
        connect(timer, &QTimer::timeout, this, [this, timer, handle] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) {
                return;
            }
            timer->stop();
            timer->deleteLater();
            if (auto* dialog = qobject_cast<Dialog*>(modal)) {
                handle(dialog);
            } else {
                m_unexpected.append(QString::fromLatin1(modal->metaObject()->className()));
                modal->close();
            }
        });
        timer->start();
    }

    OwnerForm* m_owner = nullptr;
    QTemporaryDir m_temp;
    QStringList m_unexpected;

 private Q_SLOTS:
    void initTestCase() {
        platform::gui::InstallQtCommonDialogs();
        QVERIFY(m_temp.isValid());
        QVERIFY(QDir(m_temp.path()).mkpath(QStringLiteral("Briefe und Berichte/Ausgabe")));
        for (const char* name :
             {"Briefe und Berichte/Grüße an Ana.doc", "Briefe und Berichte/b.docx", "notes.txt"}) {
            QFile file(m_temp.filePath(QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    void init() {
        m_unexpected.clear();
        m_owner = new OwnerForm;
        m_owner->show();
    }

    void cleanup() {
        delete m_owner;
        m_owner = nullptr;
        QCOMPARE(m_unexpected, QStringList());
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), 0);
    }

    void openDialogShowsTheRecordAndReturnsTheChosenFile() {
        const QString folder = m_temp.filePath(QStringLiteral("Briefe und Berichte"));
        const QString initial = folder + QStringLiteral("/Grüße an Ana.doc");
        const QString chosen = folder + QStringLiteral("/b.docx");
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetTitle("Select Word File");
        dialogs.SetFilter("Text|*.txt");
        dialogs.SetFileName(FromQString(initial));
        QString caption, shownFilter, directory;
        QStringList filters, selected;
        QWidget* parent = nullptr;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            caption = dialog->windowTitle();
            filters = dialog->nameFilters();
            if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
                shownFilter = combo->currentText();
            }
            directory = dialog->directory().absolutePath();
            selected = dialog->selectedFiles();
            parent = dialog->parentWidget();
            mode = dialog->fileMode();
            keepPicture(dialog, QStringLiteral("open-file-dialog"));
            typeFileName(dialog, chosen);
            accept(dialog);
        });
        QVERIFY(dialogs.ShowOpen());
        QCOMPARE(caption, QStringLiteral("Select Word File"));
        QCOMPARE(filters, QStringList{QStringLiteral("Word File(*.doc;*.docx) (*.doc *.docx)")});
        QCOMPARE(shownFilter, QStringLiteral("Word File(*.doc;*.docx)"));
        QCOMPARE(directory, folder);
        QCOMPARE(selected, QStringList{initial});
        QCOMPARE(parent, m_owner);
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QCOMPARE(ToQString(dialogs.FileName()), chosen);
        QCOMPARE(ToQString(dialogs.FileTitle()), QStringLiteral("b.docx"));
        QCOMPARE(ToQString(dialogs.Path()), folder);
    }

    void openDialogRefusesAFileThatDoesNotExist() {
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetFileName("/in/a.doc");
        bool warned = false;
        bool stillOpen = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            whenShown<QMessageBox>([&](QMessageBox* box) {
                warned = true;
                box->close();
            });
            typeFileName(dialog, m_temp.filePath(QStringLiteral("missing.doc")));
            static_cast<QDialog*>(dialog)->accept();
            stillOpen = dialog->isVisible();
            dialog->reject();
        });
        QVERIFY(!dialogs.ShowOpen());
        QVERIFY(warned);
        QVERIFY(stillOpen);
        QCOMPARE(dialogs.FileName(), std::string("/in/a.doc"));
    }

    void saveDialogStartsInPathWithTheFilterPieces() {
        const QString existing = m_temp.filePath(QStringLiteral("notes.txt"));
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetPath(FromQString(m_temp.path()));
        dialogs.SetFilter("Text files|*.txt|Everything|*.*");
        QString caption, directory, selectedFilter;
        QStringList filters;
        bool confirmsOverwrite = true;
        QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            caption = dialog->windowTitle();
            directory = dialog->directory().absolutePath();
            filters = dialog->nameFilters();
            selectedFilter = dialog->selectedNameFilter();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            mode = dialog->acceptMode();
            typeFileName(dialog, existing);
            accept(dialog);
        });
        QVERIFY(dialogs.ShowSave());
        QCOMPARE(caption, QStringLiteral("Save"));
        QCOMPARE(directory, m_temp.path());
        QCOMPARE(filters, (QStringList{QStringLiteral("Text files (*.txt)"),
                                       QStringLiteral("Everything (*.*)")}));
        QCOMPARE(selectedFilter, QStringLiteral("Text files"));
        QVERIFY(!confirmsOverwrite);
        QCOMPARE(mode, QFileDialog::AcceptSave);
        QCOMPARE(ToQString(dialogs.FileName()), existing);
        QCOMPARE(ToQString(dialogs.Path()), m_temp.path());
    }

    void folderDialogReturnsTheChosenFolder() {
        const QString chosen = m_temp.filePath(QStringLiteral("Briefe und Berichte/Ausgabe"));
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetTitle("Add all word files in folder");
        dialogs.SetFileName("/in/a.doc");
        QString caption;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        bool dirsOnly = false;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            caption = dialog->windowTitle();
            mode = dialog->fileMode();
            dirsOnly = dialog->testOption(QFileDialog::ShowDirsOnly);
            dialog->setDirectory(m_temp.path());
            keepPicture(dialog, QStringLiteral("folder-dialog"));
            dialog->setDirectory(chosen);
            accept(dialog);
        });
        QVERIFY(dialogs.ShowFolder());
        QCOMPARE(caption, QStringLiteral("Add all word files in folder"));
        QCOMPARE(mode, QFileDialog::Directory);
        QVERIFY(dirsOnly);
        QCOMPARE(ToQString(dialogs.Path()), chosen);
        QCOMPARE(dialogs.FileName(), std::string());
    }

    // Qt shows a name that is not UTF-8 with U+FFFD, and the path it would hand back names
    // nothing: such a choice is refused with a message instead of giving another path. A name
    // that holds U+FFFD for real is handed back as it is.
    void choiceThatCannotBeHandedBackExactlyIsRefused() {
        using platform::gui::ExactChosenPath;
        const std::string latin = FromQString(m_temp.path()) + "/caf\xe9";
        QVERIFY(::mkdir(latin.c_str(), 0700) == 0);
        // QTemporaryDir cannot remove a name that is not UTF-8.
        const std::unique_ptr<const std::string, void (*)(const std::string*)> removeLatin(
            &latin, [](const std::string* path) { ::rmdir(path->c_str()); });
        const QString shown = m_temp.filePath(QStringLiteral("caf\uFFFD"));
        testsupport::MessageRecorder messages;
        QCOMPARE(ExactChosenPath(shown, false), std::nullopt);
        QCOMPARE(ExactChosenPath(shown + QStringLiteral("/new.rtf"), true), std::nullopt);
        QCOMPARE(messages.messages.size(), std::size_t{2});
        QCOMPARE(messages.messages[0].style, platform::vbCritical);
        QVERIFY(messages.messages[0].prompt.find("not valid UTF-8") != std::string::npos);

        messages.messages.clear();
        const QString real = m_temp.filePath(QStringLiteral("odd\uFFFD.doc"));
        QFile file(real);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(ExactChosenPath(real, false), FromQString(real));
        const QString fresh = m_temp.filePath(QStringLiteral("new \uFFFD.rtf"));
        QCOMPARE(ExactChosenPath(fresh, true), FromQString(fresh));
        QVERIFY(messages.messages.empty());
    }

    // A file name that looks like markup is shown as written, not rendered.
    void messageBoxesShowFileNamesLiterally() {
        testsupport::MessageRecorder restore;
        platform::gui::InstallQtBackends();
        QString shown;
        Qt::TextFormat format = Qt::AutoText;
        whenShown<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            format = box->textFormat();
            box->accept();
        });
        platform::MsgBox("Convert <b>x</b> file failed!", platform::vbCritical, "Pavendel");
        QCOMPARE(shown, QStringLiteral("Convert <b>x</b> file failed!"));
        QCOMPARE(format, Qt::PlainText);
    }

    // Every dialog kind, closed without confirming, returns false and changes nothing.
    void cancelledDialogsChangeNothing_data() {
        QTest::addColumn<int>("kind");
        const char* names[] = {"open", "save", "folder", "colour", "font", "print"};
        for (int kind = 0; kind < 6; ++kind) {
            QTest::newRow(names[kind]) << kind;
        }
    }

    void cancelledDialogsChangeNothing() {
        QFETCH(int, kind);
        const std::string folder = FromQString(m_temp.path()) + "/";
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetPath(folder);
        dialogs.SetFileName("/in/a.doc");
        dialogs.SetColor(0x00336699);
        dialogs.SetFontName("DejaVu Serif");
        dialogs.SetFontSize(12);
        bool shown = false;
        whenShown<QDialog>([&](QDialog* dialog) {
            shown = true;
            dialog->reject();
        });
        const std::function<bool()> show[] = {
            [&] { return dialogs.ShowOpen(); },   [&] { return dialogs.ShowSave(); },
            [&] { return dialogs.ShowFolder(); }, [&] { return dialogs.ShowColor(true); },
            [&] { return dialogs.ShowFont(); },   [&] { return dialogs.ShowPrinter(); }};
        QVERIFY(!show[kind]());
        QVERIFY(shown);
        QCOMPARE(dialogs.Path(), folder);
        QCOMPARE(dialogs.FileName(), std::string("/in/a.doc"));
        QCOMPARE(dialogs.Color(), platform::COLORREF{0x00336699});
        QCOMPARE(dialogs.FontName(), std::string("DejaVu Serif"));
        QCOMPARE(dialogs.FontSize(), std::int16_t{12});
    }

    void colourDialogStartsFromColorAndReturnsTheChoice() {
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetColor(0x00336699);
        QColor initial;
        whenShown<QColorDialog>([&](QColorDialog* dialog) {
            initial = dialog->currentColor();
            dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
            accept(dialog);
        });
        QVERIFY(dialogs.ShowColor(false));
        QCOMPARE(initial, QColor(0x99, 0x66, 0x33));
        QCOMPARE(dialogs.Color(), platform::COLORREF{0x00302010});
    }

    void fontDialogStartsFromTheFontAndReturnsTheChoice() {
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        dialogs.SetFontName("DejaVu Serif");
        dialogs.SetFontSize(12);
        dialogs.SetFontBold(true);
        dialogs.SetFontUnderline(true);
        QFont initial;
        bool effectsShown = true;
        whenShown<QFontDialog>([&](QFontDialog* dialog) {
            initial = dialog->currentFont();
            effectsShown = dialog->findChild<QCheckBox*>()->isVisibleTo(dialog);
            QFont chosen(QStringLiteral("Liberation Sans"));
            chosen.setPointSize(14);
            chosen.setItalic(true);
            dialog->setCurrentFont(chosen);
            accept(dialog);
        });
        QVERIFY(dialogs.ShowFont());
        QCOMPARE(initial.family(), QStringLiteral("DejaVu Serif"));
        QCOMPARE(initial.pointSize(), 12);
        QVERIFY(initial.bold());
        QVERIFY(!effectsShown);
        QCOMPARE(dialogs.FontName(), std::string("Liberation Sans"));
        QCOMPARE(dialogs.FontSize(), std::int16_t{14});
        QVERIFY(!dialogs.FontBold());
        QVERIFY(dialogs.FontItalic());
        QVERIFY(dialogs.FontUnderline());
    }

    void printDialogReturnsTrueWhenConfirmed() {
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        bool printToFile = true;
        whenShown<QPrintDialog>([&](QPrintDialog* dialog) {
            printToFile = dialog->testOption(QAbstractPrintDialog::PrintToFile);
            accept(dialog);
        });
        QVERIFY(dialogs.ShowPrinter());
        QVERIFY(!printToFile);
    }

    void withoutAPrinterNothingIsShown() {
        if (!QPrinterInfo::availablePrinterNames().isEmpty()) {
            QSKIP("a printer is installed here");
        }
        CCommonDialogs dialogs;
        dialogs.Init(*m_owner);
        bool shown = false;
        whenShown<QDialog>([&](QDialog* dialog) {
            shown = true;
            dialog->reject();
        });
        QVERIFY(!dialogs.ShowPrinterProperties());
        QCoreApplication::processEvents();
        QVERIFY(!shown);
        QCOMPARE(platform::DefaultPrinterName(), std::string());
        QCOMPARE(platform::DefaultPrinterDC(), platform::HDC{0});
        qDeleteAll(findChildren<QTimer*>());
    }
};

QTEST_MAIN(CommonDialogsGuiTest)
#include "commondialogs_gui_test.moc"
