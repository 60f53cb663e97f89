// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "dialogs/dialog1.h"
#include "dialogs/links.h"
#include "dialogs/programicon.h"
#include "dialogs/setting.h"
#include "platform/gui/qtplatform.h"
#include "state/statefiles.h"
#include "support/modal.h"
#include "support/recorders.h"
#include "support/tempfolder.h"

using platform::gui::ToQString;

namespace {

constexpr platform::Hwnd kMainWindow = 0x5eed;

void click(QWidget* dialog, const char* name) {
    QWidget* control = dialog->findChild<QWidget*>(QLatin1String(name));
    QVERIFY2(control != nullptr, name);
    QTest::mouseClick(control, Qt::LeftButton);
}

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    // Pixel positions at the offscreen screen's 96 dots per inch: twips / 15, rounded. A null
    // text stands for a notice whose wording may change; it must show something.
    void layout() {
        dialogs::Dialog1 box;
        QCOMPARE(box.logicalDpiX(), 96);
        QCOMPARE(box.windowTitle(), QStringLiteral("About us"));
        QCOMPARE(box.geometry(), QRect(184, 240, 327, 274));
        QCOMPARE(box.minimumSize(), box.maximumSize());
        const struct {
            const char* name;
            const char* parent;
            const char* text;
            QRect geometry;
            qreal points;
        } controls[] = {
            {"OKButton", "", "OK", QRect(8, 240, 81, 25), 8.4},
            {"Label1", "", "Pavendel", QRect(56, 16, 137, 17), 8.4},
            {"Label4", "", "Version:2009.9.9", QRect(56, 32, 97, 17), 8.4},
            {"Label5", "", nullptr, QRect(8, 152, 313, 73), 8.4},
            {"Frame1", "", "", QRect(16, 64, 297, 73), 8.4},
            {"Label3", "Frame1", "Technical Support:", QRect(8, 16, 113, 17), 8.4},
            {"Label2", "Frame1", "support@example.org", QRect(120, 16, 153, 17), 9},
            {"Label7", "Frame1", " Website:", QRect(8, 32, 57, 17), 8.4},
            {"Label8", "Frame1", "pavendel.example.org/", QRect(120, 32, 129, 17), 9},
            {"Label6", "Frame1", nullptr, QRect(8, 48, 209, 17), 9},
        };
        for (const auto& control : controls) {
            QWidget* widget = box.findChild<QWidget*>(QLatin1String(control.name));
            QVERIFY2(widget != nullptr, control.name);
            QCOMPARE(widget->parentWidget()->objectName(), QLatin1String(control.parent));
            QCOMPARE(widget->geometry(), control.geometry);
            QCOMPARE(widget->font().pointSizeF(), control.points);
            const QString shown =
                widget->property(widget->inherits("QGroupBox") ? "title" : "text").toString();
            if (control.text == nullptr) {
                QVERIFY2(!shown.trimmed().isEmpty(), control.name);
            } else {
                QCOMPARE(shown, QLatin1String(control.text));
            }
            // Nothing a label shows may be cut off at its edge.
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                const QRect needed = label->fontMetrics().boundingRect(
                    label->contentsRect(), label->wordWrap() ? Qt::TextWordWrap : 0, shown);
                QVERIFY2(label->contentsRect().contains(needed), control.name);
            }
        }
    }

    void iconIsDrawnAtTheTopLeft() {
        dialogs::Dialog1 box;
        const QImage shown = box.grab(QRect(0, 0, 48, 48)).toImage();
        const QImage icon = dialogs::ProgramPixmap(48).toImage();
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 48; ++x) {
                if (qAlpha(icon.pixel(x, y)) == 255) {
                    QCOMPARE(shown.pixel(x, y), icon.pixel(x, y));
                }
            }
        }
    }

    void links_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("showCommand");
        QTest::newRow("support") << "Label2"
                                 << "mailto:support@example.org" << platform::SW_SHOWMAXIMIZED;
        QTest::newRow("home page") << "Label8"
                                   << "https://pavendel.example.org/" << platform::SW_SHOW;
    }
    void links() {
        QFETCH(QString, name);
        QFETCH(QString, file);
        QFETCH(int, showCommand);
        testsupport::ShellRecorder shell;
        dialogs::Dialog1 box;
        box.show();
        auto* link = box.findChild<QLabel*>(name);
        QVERIFY(link != nullptr);
        QCOMPARE(link->palette().color(QPalette::WindowText),
                 QApplication::palette().color(QPalette::Highlight));
        QCOMPARE(link->cursor().hotSpot(), QPoint(12, 1));
        const QImage hand = link->cursor().pixmap().toImage();
        QCOMPARE(hand.size(), QSize(32, 32));
        QCOMPARE(qAlpha(hand.pixel(12, 1)), 255);  // the fingertip, not a transparent pixel

        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(shell.calls.size(), 1u);
        QCOMPARE(shell.calls[0].owner, platform::gui::HwndOf(&box));
        QCOMPARE(shell.calls[0].operation, std::string("open"));
        QCOMPARE(ToQString(shell.calls[0].file), file);
        QCOMPARE(shell.calls[0].parameters + shell.calls[0].directory, std::string());
        QCOMPARE(shell.calls[0].show, showCommand);
    }

    void mainWindowCommands_data() {
        QTest::addColumn<QString>("folder");  // null: the home page instead of the help file
        QTest::addColumn<QString>("file");
        QTest::newRow("help beside the program")
            << QString() << QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm");
        QTest::newRow("help in a folder with spaces") << "/opt/My Programs/Pavendel 2"
                                                      << "/opt/My Programs/Pavendel 2/help.chm";
        QTest::newRow("home page") << QString() << "https://pavendel.example.org/";
    }
    void mainWindowCommands() {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        testsupport::ShellRecorder shell;
        if (file.startsWith(QLatin1String("https:"))) {
            dialogs::OpenHomePage(kMainWindow);
        } else if (folder.isNull()) {
            dialogs::OpenHelpFile(kMainWindow);
        } else {
            dialogs::OpenHelpFile(kMainWindow, platform::gui::FromQString(folder));
        }
        QCOMPARE(shell.calls.size(), 1u);
        QCOMPARE(shell.calls[0].owner, kMainWindow);
        QCOMPARE(shell.calls[0].operation, std::string("open"));
        QCOMPARE(ToQString(shell.calls[0].file), file);
        QCOMPARE(shell.calls[0].parameters + shell.calls[0].directory, std::string());
        QCOMPARE(shell.calls[0].show, platform::SW_SHOW);
    }

    // The desktop's own backend fails on a folder without help.chm; the user is told nothing.
    void missingHelpFileIsNotReported() {
        testsupport::ShellRecorder restoreShell;
        testsupport::MessageRecorder restoreMessages;
        platform::gui::InstallQtBackends();
        testsupport::MessageRecorder messages;
        testsupport::TempFolder folder;
        dialogs::OpenHelpFile(kMainWindow, folder.path());
        QVERIFY(messages.messages.empty());
    }

    // Each opening is a new dialog without owner that blocks the application and reads set.txt.
    void settingsOpenModallyAndAnew() {
        testsupport::TempFolder folder;
        folder.write("set.txt", "1\r\n0\r\n");
        for (const bool ticked : {false, true}) {
            bool seen = false;
            testsupport::WhenModal([&seen, ticked](QWidget* dialog) {
                seen = true;
                QCOMPARE(dialog->windowTitle(), QStringLiteral("Setting"));
                QCOMPARE(dialog->parentWidget(), nullptr);
                QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
                auto* check2 = dialog->findChild<QCheckBox*>(QStringLiteral("Check2"));
                QCOMPARE(check2->isChecked(), ticked);
                QTest::mouseClick(check2, Qt::LeftButton);
                click(dialog, ticked ? "CancelButton" : "OKButton");
            });
            dialogs::ShowSettings(state::StateFiles(folder.path()));
            QVERIFY(seen);
            QCOMPARE(folder.read("set.txt"), std::string("1\r\n1\r\n"));
        }
    }

    void aboutReopensAtTheSamePlace() {
        QList<QRect> places;
        for (int opening = 0; opening < 2; ++opening) {
            testsupport::WhenModal([&places](QWidget* dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("About us"));
                QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
                places << dialog->geometry();
                click(dialog, "OKButton");
                QVERIFY(!dialog->isVisible());
            });
            dialogs::ShowAbout();
        }
        QCOMPARE(places.size(), 2);
        QCOMPARE(places[0].topLeft(), QPoint(184, 240));
        QCOMPARE(places[1], places[0]);
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
