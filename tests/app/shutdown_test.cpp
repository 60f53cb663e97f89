// SPDX-License-Identifier: MIT
// A termination signal closes the main window the normal way, so the lists are saved, also when
// message boxes are open in nested event loops.
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "app/shutdownwatcher.h"
#include "platform/gui/qtplatform.h"
#include "platform/msgbox.h"
#include "support/tempfolder.h"

namespace {

// The desktop's message boxes for as long as the object lives.
class RealMessageBoxes {
 public:
    RealMessageBoxes() : m_previous(platform::SetMessageBoxBackend(nullptr)) {
        platform::gui::InstallQtBackends();
    }
    ~RealMessageBoxes() { platform::SetMessageBoxBackend(m_previous); }
    RealMessageBoxes(const RealMessageBoxes&) = delete;
    RealMessageBoxes& operator=(const RealMessageBoxes&) = delete;

 private:
    platform::MessageBoxBackend m_previous;
};

}  // namespace

class ShutdownTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void stopSignalsCloseTheWindowAndSaveTheLists_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void stopSignalsCloseTheWindowAndSaveTheLists() {
        QFETCH(int, signal);
        testsupport::TempFolder dir;
        dir.write("set.txt", "1\r\n1\r\n");
        app::ShutdownWatcher watcher;
        QSignalSpy requests(&watcher, &app::ShutdownWatcher::shutdownRequested);
        app::form1 window(state::StateFiles(dir.path()));
        window.controls().ListView1.append("/saved on signal");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(::raise(signal), 0);
        QVERIFY(requests.wait());
        QCOMPARE(requests.count(), 1);
        QVERIFY(!window.isVisible());
        QCOMPARE(dir.read("EXCEL.txt"), std::string("/saved on signal\r\n"));
    }

    // Paths handed to the window while a modal box or dialog is open raise a "not found" box of
    // their own in a nested event loop, three deep here. One stop signal, delivered to the third,
    // closes all three, no box follows for the paths still to come, the lists are saved and the
    // application's event loop ends, as it does in the program.
    void oneStopSignalClosesEveryBoxAndEndsTheProgram_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("settingsFirst");
        QTest::newRow("SIGTERM, boxes only") << SIGTERM << false;
        QTest::newRow("SIGHUP, boxes over the settings dialog") << SIGHUP << true;
        QTest::newRow("SIGINT, boxes only") << SIGINT << false;
    }

    void oneStopSignalClosesEveryBoxAndEndsTheProgram() {
        QFETCH(int, signal);
        QFETCH(bool, settingsFirst);
        testsupport::TempFolder dir;
        dir.write("set.txt", "1\r\n1\r\n");
        dir.write("docs/a.doc");
        const RealMessageBoxes boxes;
        app::ShutdownWatcher watcher;
        app::form1 window(state::StateFiles(dir.path()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.AddPaths({dir / "docs"});
        window.controls().Combo2.insert(0, dir / "out");
        const auto handed = [&dir](int n) {
            const std::string name = std::to_string(n);
            return std::vector<std::string>{dir / ("missing" + name), dir / "docs/a.doc",
                                            dir / ("also missing" + name)};
        };

        // Each box, once shown, hands the window more paths; the third one gets the signal. A box
        // that shows after the signal is noted and closed.
        std::vector<QPointer<QWidget>> shown;
        QStringList texts;
        QStringList later;
        bool raised = false;
        bool returned = false;
        int polls = 0;
        std::function<void()> watch = [&] {
            if (returned || ++polls > 2000) {
                return;
            }
            QTimer::singleShot(10, watch);
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || (!shown.empty() && shown.back() == modal)) {
                return;
            }
            shown.emplace_back(modal);
            const auto* box = qobject_cast<QMessageBox*>(modal);
            const QString text = box != nullptr ? box->text() : modal->windowTitle();
            if (raised) {
                later.push_back(text);
                modal->close();
                return;
            }
            texts.push_back(text);
            if (texts.size() == 3) {
                raised = true;
                QCOMPARE(::raise(signal), 0);
                return;
            }
            window.AddPaths(handed(static_cast<int>(texts.size())));
        };
        QTimer::singleShot(0, watch);
        QTimer::singleShot(0, [&] {
            if (settingsFirst) {
                window.Settings_Click();
            } else {
                window.AddPaths(handed(0));
            }
            returned = true;
        });
        // Should the program not end, the test does with a failure rather than waiting for ever.
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        deadline.start(20000);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(returned);

        QCOMPARE(texts.size(), 3);
        QVERIFY2(texts[0].contains(settingsFirst ? QStringLiteral("Setting")
                                                 : QStringLiteral("missing0\"")),
                 qPrintable(texts[0]));
        QVERIFY2(texts[1].contains(QStringLiteral("missing1\"")), qPrintable(texts[1]));
        QVERIFY2(texts[2].contains(QStringLiteral("missing2\"")), qPrintable(texts[2]));
        for (const QPointer<QWidget>& modal : shown) {
            QVERIFY(modal == nullptr || !modal->isVisible());
        }
        QVERIFY2(later.isEmpty(), qPrintable(later.join(u'\n')));
        QVERIFY(!window.isVisible());
        QCOMPARE(dir.read("EXCEL.txt"), dir / "docs" + "\r\n");
        QCOMPARE(dir.read("output.txt"), dir / "out" + "\r\n");
        // The settings dialog was closed, not confirmed.
        QCOMPARE(dir.read("set.txt"), std::string("1\r\n1\r\n"));
    }
};

QTEST_MAIN(ShutdownTest)
#include "shutdown_test.moc"
