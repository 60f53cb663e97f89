// SPDX-License-Identifier: MIT
// A termination signal closes the main window the normal way, so the lists are saved.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <csignal>

#include "app/form1.h"
#include "app/shutdownwatcher.h"
#include "support/tempfolder.h"

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
};

QTEST_MAIN(ShutdownTest)
#include "shutdown_test.moc"
