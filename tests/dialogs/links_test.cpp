// SPDX-License-Identifier: MIT
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include "dialogs/links.h"
#include "dialogs/recorders.h"
#include "platform/gui/qtplatform.h"
#include "state/statefiles.h"
#include "support/tempfolder.h"

namespace {

constexpr platform::Hwnd kMainWindow = 0x5eed;

enum class Command { Help, HelpIn, HomePage };

void click(QWidget* dialog, const char* name) {
    auto* button = dialog->findChild<QAbstractButton*>(QLatin1String(name));
    QVERIFY2(button != nullptr, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

Q_DECLARE_METATYPE(Command)

class LinksTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void cleanup() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    void openCommands_data() {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::newRow("help beside the program")
            << Command::Help << QString()
            << QCoreApplication::applicationDirPath() + QStringLiteral("/help.chm");
        QTest::newRow("help in a folder with spaces")
            << Command::HelpIn << "/opt/My Programs/Pavendel 2"
            << "/opt/My Programs/Pavendel 2/help.chm";
        QTest::newRow("help in a folder with a trailing separator")
            << Command::HelpIn << "/opt/pavendel/"
            << "/opt/pavendel/help.chm";
        QTest::newRow("home page")
            << Command::HomePage << QString() << "https://pavendel.example.org/";
    }
    void openCommands() {
        QFETCH(Command, command);
        QFETCH(QString, folder);
        QFETCH(QString, file);
        testsupport::ShellRecorder shell;
        switch (command) {
            case Command::Help:
                dialogs::OpenHelpFile(kMainWindow);
                break;
            case Command::HelpIn:
                dialogs::OpenHelpFile(kMainWindow, platform::gui::FromQString(folder));
                break;
            case Command::HomePage:
                dialogs::OpenHomePage(kMainWindow);
                break;
        }
        QCOMPARE(shell.calls().size(), 1u);
        const testsupport::ShellCall& call = shell.calls().front();
        QCOMPARE(call.owner, kMainWindow);
        QCOMPARE(call.operation, std::string("open"));
        QCOMPARE(platform::gui::ToQString(call.file), file);
        QCOMPARE(call.parameters, std::string());
        QCOMPARE(call.directory, std::string());
        QCOMPARE(call.showCommand, platform::SW_SHOW);
    }

    // With the desktop's own backend, a missing help file fails to open; the user is told
    // nothing, as when the browser cannot be started.
    void failuresAreNotReported() {
        // The outer recorders only bring back the initial backends when the test ends.
        testsupport::ShellRecorder restoreShell;
        testsupport::MessageBoxRecorder restoreMessages;
        platform::gui::InstallQtBackends();
        testsupport::MessageBoxRecorder messages;
        testsupport::TempFolder folder;
        dialogs::OpenHelpFile(kMainWindow, folder.path());
        {
            testsupport::ShellRecorder failingShell(2);
            dialogs::OpenHomePage(kMainWindow);
            QCOMPARE(failingShell.calls().size(), 1u);
        }
        QVERIFY(messages.calls().empty());
    }

    // Every opening reads set.txt again, and the dialog has no owner and blocks the application.
    void settingsAreShownModallyAndAnew() {
        testsupport::TempFolder folder;
        folder.write("set.txt", "1\r\n0\r\n");
        const state::StateFiles files(folder.path());
        bool seen = false;
        testsupport::WhenModal([&seen](QWidget* dialog) {
            seen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Setting"));
            QCOMPARE(dialog->parentWidget(), nullptr);
            QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
            auto* check2 = dialog->findChild<QCheckBox*>(QStringLiteral("Check2"));
            QVERIFY(check2 != nullptr && !check2->isChecked());
            QTest::mouseClick(check2, Qt::LeftButton);
            click(dialog, "OKButton");
        });
        dialogs::ShowSettings(files);
        QVERIFY(seen);
        QCOMPARE(folder.read("set.txt"), std::string("1\r\n1\r\n"));

        seen = false;
        testsupport::WhenModal([&seen](QWidget* dialog) {
            seen = true;
            auto* check2 = dialog->findChild<QCheckBox*>(QStringLiteral("Check2"));
            QVERIFY(check2 != nullptr && check2->isChecked());
            click(dialog, "CancelButton");
        });
        dialogs::ShowSettings(files);
        QVERIFY(seen);
        QCOMPARE(folder.read("set.txt"), std::string("1\r\n1\r\n"));
    }

    void aboutReopensAtTheSamePlace() {
        QList<QRect> places;
        for (int opening = 0; opening < 2; ++opening) {
            testsupport::WhenModal([&places](QWidget* dialog) {
                QCOMPARE(dialog->windowTitle(), QStringLiteral("About us"));
                QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
                places << dialog->geometry();
                click(dialog, "OKButton");
            });
            dialogs::ShowAbout();
        }
        QCOMPARE(places.size(), 2);
        QCOMPARE(places[1], places[0]);
        QCOMPARE(places[0].topLeft(), QPoint(184, 240));
    }
};

QTEST_MAIN(LinksTest)
#include "links_test.moc"
